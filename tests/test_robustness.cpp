// The built programs under hostile conditions: interrupted runs, standard
// output that cannot be written, and instance paths that are not regular
// instance files.  Every case runs the real program in a child process.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "mavu/mavu.h"
#include "support.h"

extern "C" void __asan_init() __attribute__((weak));  // defined when built with AddressSanitizer

namespace {

const std::string kC125 = std::string(MAVU_TEST_DATA_DIR) + "/C125.9.clq";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string q(const std::string& word) { return "'" + word + "'"; }  // quoted for sh

// A scratch folder, removed with its files at the end of the test.
struct TempDir {
  std::string path = testing::TempDir() + "mavu-robust-XXXXXX";
  TempDir() { mkdtemp(path.data()); }
  ~TempDir() { std::system(("rm -rf " + q(path)).c_str()); }
  std::string file(const std::string& name, const std::string& content) const {
    std::ofstream(path + "/" + name, std::ios::binary) << content;
    return path + "/" + name;
  }
};

// Waits a generous while for `cond`.
template <class Cond>
bool eventually(Cond cond) {
  for (int i = 0; i < 12000 && !cond(); i++) usleep(10000);
  return cond();
}

// `sh -c script` in a child process with default signal dispositions,
// /dev/null as standard input, standard output into `out` or (when -1) a pipe
// read here, and standard error into a pipe read here.  A script that ends in
// `exec program` leaves the program with the child's process id.
struct Child {
  pid_t pid;
  int from_out = -1, from_err = -1;
  int status = -1;  // exit status, or 1000 + the signal that killed the process
  std::string out, err;
  explicit Child(const std::string& script, int out_fd = -1) {
    int o[2] = {-1, -1}, e[2] = {-1, -1};
    if (out_fd < 0 && pipe(o) == 0) from_out = o[0];
    if (pipe(e) == 0) from_err = e[0];
    if ((pid = fork()) == 0) {
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(out_fd >= 0 ? out_fd : o[1], 1);
      dup2(e[1], 2);
      for (int fd = 3; fd < 256; fd++) close(fd);
      for (int sig : {SIGINT, SIGTERM, SIGPIPE}) signal(sig, SIG_DFL);
      execl("/bin/sh", "sh", "-c", script.c_str(), nullptr);
      _exit(127);
    }
    close(o[1]);
    close(e[1]);
  }
  // Reads both outputs to their end, then reaps the process.
  Child& wait() {
    for (auto [fd, text] : {std::pair{&from_out, &out}, {&from_err, &err}}) {
      char buf[4096];
      for (ssize_t r; *fd >= 0 && (r = read(*fd, buf, sizeof buf)) > 0;) text->append(buf, static_cast<size_t>(r));
      if (*fd >= 0) close(std::exchange(*fd, -1));
    }
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    status = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
    return *this;
  }
  // Field `k` (as numbered in proc(5)) of /proc/<pid>/stat.
  long stat(int k) const {
    const std::string s = slurp("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream ss(s.substr(std::min(s.size(), s.rfind(')') + 2)));
    std::string f;
    for (int i = 3; i <= k && ss >> f;) i++;
    return k == 3 ? f[0] : std::atol(f.c_str());
  }
  // The echo leaves before the instance is read, so it cannot tell loading
  // from searching; the CPU time can: loading the bundled instance takes
  // milliseconds, and a busy machine delays the wall clock, not this one.
  bool searching() const {
    return eventually([&] { return stat(14) + stat(15) >= sysconf(_SC_CLK_TCK) * 3 / 10; });
  }
};

std::string exec(const char* bin, const std::string& args) { return "exec " + q(bin) + " " + args; }

// Limits no run reaches: only a signal ends this search.
const std::string kLongRun = "-f " + q(kC125) + " -t 100000 -i 2000000000";

TEST(Interrupt, SignalDuringTheSearchReportsTheBestSet) {
  const std::string reported = "; the best set found so far was reported\n";
  struct { std::string shell_setup; const char* bin; int sig; bool reader_gone; int status; std::string err; } cases[] = {
      {"", MAVU1_BIN, SIGTERM, false, 143, "mavu1: interrupted by signal 15 (SIGTERM)" + reported},
      {"", MAVU2_BIN, SIGINT, false, 130, "mavu2: interrupted by signal 2 (SIGINT)" + reported},
      // An inherited ignored SIGINT stays ignored; SIGTERM is then the first signal.
      {"trap '' INT; ", MAVU2_BIN, SIGTERM, false, 143, "mavu2: interrupted by signal 15 (SIGTERM)" + reported},
      // The reader went away during the search: the report fails and says so.
      {"", MAVU1_BIN, SIGTERM, true, 74, "mavu1: cannot write to standard output: Broken pipe\nmavu1: "
       "interrupted by signal 15 (SIGTERM); the best set found so far could not be written\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shell_setup + c.err);
    Child p(c.shell_setup + exec(c.bin, kLongRun));
    ASSERT_TRUE(p.searching());
    if (!c.shell_setup.empty()) kill(p.pid, SIGINT);
    if (c.reader_gone) close(std::exchange(p.from_out, -1));
    kill(p.pid, c.sig);
    const bool ended = eventually([&] { return p.stat(3) == 'Z'; });  // its output fits in the pipe
    if (!ended) kill(p.pid, SIGKILL);
    p.wait();
    ASSERT_TRUE(ended) << "the search went on after the signal";
    EXPECT_EQ(p.status, c.status);
    EXPECT_EQ(p.err, c.err);
    if (c.reader_gone) continue;
    EXPECT_TRUE(p.out.starts_with("stop condition: less than 100000 seconds and 2000000000 iterations\n"));
    verified_report(p.out, kC125, c.bin == std::string(MAVU1_BIN));
  }
}

TEST(Interrupt, SecondSignalCutsABlockedReportShort) {
  Child p(exec(MAVU1_BIN, kLongRun));
  ASSERT_TRUE(p.searching());
  // Fill the output pipe through a non-blocking description of its own, so
  // that the report blocks in its write after the first signal.
  const int filler = open(("/proc/self/fd/" + std::to_string(p.from_out)).c_str(), O_WRONLY | O_NONBLOCK);
  for (size_t chunk : {4096, 1})
    while (write(filler, std::string(chunk, 'x').data(), chunk) > 0) {
    }
  close(filler);
  kill(p.pid, SIGTERM);
  EXPECT_TRUE(eventually([&] { return p.stat(3) == 'S'; }));  // asleep in the write
  kill(p.pid, SIGINT);
  EXPECT_EQ(p.wait().status, 130);
  EXPECT_EQ(p.err, "mavu1: interrupted by signal 2 (SIGINT) again; the report was cut short\n");
}

TEST(Interrupt, SignalWhileLoadingEndsAtOnce) {
  // The instance is a FIFO held open here: the loader waits for the rest of it.
  TempDir dir;
  const std::string fifo = dir.path + "/instance.clq";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Child p(exec(MAVU1_BIN, "-f " + q(fifo) + " -t 100000"));
  const int w = open(fifo.c_str(), O_WRONLY);  // returns once the loader has opened it
  ASSERT_EQ(write(w, "c half an instance\np edge 5", 27), 27);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(p.wait().status, 143);
  close(w);
  EXPECT_EQ(p.err, "mavu1: interrupted by signal 15 (SIGTERM) while loading the instance; nothing was searched\n");
  EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '\n'), 4);  // the echo only
}

TEST(OutputFailure, FullDeviceOrPipeWithoutReaderEndsWithStatus74) {
  for (const char* bin : {MAVU1_BIN, MAVU2_BIN}) {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    close(p[0]);
    const std::string name = std::string(bin).substr(std::string(bin).rfind('/') + 1);
    for (auto [fd, why] : {std::pair{open("/dev/full", O_WRONLY), "No space left on device"}, {p[1], "Broken pipe"}}) {
      const Child r = Child(exec(bin, "-f " + q(kC125) + " -t 100 -i 1000"), fd).wait();
      EXPECT_EQ(r.status, 74) << why;  // for the pipe: not killed by SIGPIPE
      EXPECT_EQ(r.err, name + ": cannot write to standard output: " + why + "\n");
      close(fd);
    }
  }
}

TEST(BadInstancePath, DirectoryEmptyAndGarbageGetOneLineAndStatus1) {
  TempDir dir;
  std::string garbage;
  for (int i = 0; i < 5000; i++) garbage.push_back(static_cast<char>(i * 7 % 255 + 'p' + 1));  // every byte but 'p'
  const std::string no_p = ": no problem line (\"p <format> <vertices> <edges>\") found\n";
  for (auto [path, message] : {std::pair{dir.path, dir.path + ": cannot read the file: Is a directory\n"},
                               {dir.file("empty.clq", ""), dir.path + "/empty.clq" + no_p},
                               {dir.file("junk.bin", garbage), dir.path + "/junk.bin" + no_p}}) {
    for (const char* bin : {MAVU1_BIN, MAVU2_BIN}) {
      const Child r = Child(exec(bin, "-f " + q(path) + " -t 5")).wait();
      EXPECT_EQ(r.status, 1) << bin << " " << path;
      EXPECT_EQ(r.err, message);
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4) << r.out;  // the echo, nothing after it
    }
  }
}

TEST(BadInstancePath, PipedInstanceLoadsLikeTheFile) {
  // As in: zcat x.clq.gz | mavu1 -f /dev/stdin -t 10 (the file is larger than
  // a pipe's buffer).  The same run; only the time line may differ.
  const std::string run = exec(MAVU1_BIN, "-f /dev/stdin -t 100 -i 3000");
  Child from_file(run + " <" + q(kC125)), piped("cat " + q(kC125) + " | (" + run + ")");
  EXPECT_EQ(from_file.wait().status, 0);
  EXPECT_EQ(piped.wait().status, 0);
  const size_t end = piped.out.find("\n#besttime=");
  ASSERT_NE(end, std::string::npos) << piped.out;
  EXPECT_EQ(piped.out.substr(0, end), from_file.out.substr(0, from_file.out.find("\n#besttime=")));
}

TEST(BadInstancePath, InstanceLargerThanMemoryGetsTheAmountNeeded) {
  if (__asan_init) GTEST_SKIP() << "the sanitizer runtime reserves more address space than the limit allows";
  // 1 GiB of address space holds neither the matrix nor the conflict lists of
  // 40000 vertices without edges, whatever the layout (with -r 0; without
  // it, such a graph is reduced: the heaviest vertex is proven optimal).
  TempDir dir;
  for (const std::string layout : {"", "MAVU_LAYOUT=sparse "}) {
    for (const std::string n : {"40000", "46341"}) {
      const std::string f = dir.file("big.clq", "p edge " + n + " 0\n");
      const Child reduced = Child("ulimit -v 1048576; " + layout + exec(MAVU1_BIN, "-f " + q(f) + " -t 5")).wait();
      EXPECT_EQ(reduced.status, 0) << reduced.err;
      EXPECT_NE(reduced.out.find("#objv=200.000000\n#bestiter=0\n"), std::string::npos) << reduced.out;
      EXPECT_TRUE(reduced.out.ends_with("#kernel=0\n#optimal=1\n")) << reduced.out;
      const Child r = Child("ulimit -v 1048576; " + layout + exec(MAVU1_BIN, "-f " + q(f) + " -t 5 -r 0")).wait();
      EXPECT_EQ(r.status, 1) << layout << n;
      EXPECT_TRUE(r.err.starts_with(f + ": cannot allocate memory for the instance: " + n + " vertices and ")) << r.err;
      EXPECT_NE(r.err.find(" conflict edges need "), std::string::npos) << r.err;
      EXPECT_TRUE(r.err.ends_with(" MiB\n") && std::count(r.err.begin(), r.err.end(), '\n') == 1) << r.err;
    }
  }
}

// Independent-set instances: vertex numbers are ints, the edge count is read
// in 64 bits; what memory cannot hold gets the amount needed.
TEST(BadInstancePath, LargeIndependentSetCounts) {
  if (__asan_init) GTEST_SKIP() << "the sanitizer runtime reserves more address space than the limit allows";
  TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"p edge 2147483648 0\n", "announces 2147483648 vertices; at most 2147483647 are supported"},
      {"p edge 2147483647 0\n", "cannot allocate memory for the instance: 2147483647 vertices and 0 conflict edges"},
      {"p edge 100000 4294967296\n", "cannot allocate memory for the instance: 100000 vertices and 4294967296 conflict"},
      {"p edge 100000 4999950001\n", "announces 4999950001 edges; a graph of 100000 vertices has between 0 and"},
  };
  for (const auto& [text, fragment] : cases) {
    const std::string f = dir.file("big.clq", text);
    const Child r = Child("ulimit -v 1048576; " + exec(MAVU2_BIN, "-f " + q(f) + " -t 5 -c 1")).wait();
    EXPECT_EQ(r.status, 1) << text;
    EXPECT_TRUE(r.err.starts_with(f + ":") && r.err.find(fragment) != std::string::npos) << r.err;
  }
}

TEST(BadInstancePath, UnknownLayoutIsRefusedBeforeLoading) {
  const Child r = Child("MAVU_LAYOUT=bitmatrix " + exec(MAVU2_BIN, "-f " + q(kC125) + " -t 5")).wait();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mavu2: MAVU_LAYOUT=bitmatrix names no graph layout (auto, dense or sparse)\n");
}

}  // namespace

// A circulant graph: each of 400000 vertices adjacent to the next three,
// 1.2 M distinct edges; as an independent-set instance it loads in about
// 30 MiB and its search state needs about as much again.
std::string circulant_instance(TempDir& dir) {
  const int n = 400000;
  std::string text = "p edge " + std::to_string(n) + " " + std::to_string(3 * n) + "\n";
  for (int d = 1; d <= 3; d++)
    for (int v = 0; v < n; v++) {
      const int u = (v + d) % n;
      text += "e " + std::to_string(std::min(u, v) + 1) + " " + std::to_string(std::max(u, v) + 1) + "\n";
    }
  return dir.file("circulant.clq", text);
}

// Under any address-space limit a run either ends normally or says in one
// line that memory is short (status 1): never an abort or a core dump,
// whichever allocation fails first.  The sweep of limits must reach the
// loading and what comes after it (the search state; with the reduction,
// its working lists, the parts or the search state), and a limit under
// which the run goes through.
TEST(MemoryLimit, EveryAllocationFailureIsOneLineAndStatusOne) {
  if (__asan_init) GTEST_SKIP() << "the sanitizer runtime reserves more address space than the limit allows";
  TempDir dir;
  const std::string f = circulant_instance(dir);
  for (const char* reduce : {"-r 0", ""}) {
    SCOPED_TRACE(reduce);
    std::set<std::string> failures;
    bool went_through = false;
    for (int mib = 20; mib <= 120; mib += 4) {
      const Child r = Child("ulimit -v " + std::to_string(mib * 1024) + "; " +
                            exec(MAVU2_BIN, "-f " + q(f) + " -t 5 -i 10 -c 1 " + reduce))
                          .wait();
      SCOPED_TRACE(std::to_string(mib) + " MiB: " + r.err);
      ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status;
      if (r.status == 0) {
        went_through = true;
        continue;
      }
      EXPECT_TRUE(r.err.starts_with(f + ": cannot allocate memory"));
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
      failures.insert(r.err.find("for the search") != std::string::npos ? "search"
                      : r.err.find("reduc") != std::string::npos         ? "reduction"
                                                                         : "load");
    }
    EXPECT_TRUE(went_through);
    EXPECT_TRUE(failures.count("load"));
    EXPECT_TRUE(failures.count(*reduce ? "search" : "reduction") || failures.count("search"));
  }
}

// The library under the same limits: a status, never an exception or an
// abort, in a child process of its own.
TEST(MemoryLimit, TheLibraryReturnsOutOfMemory) {
  if (__asan_init) GTEST_SKIP() << "the sanitizer runtime reserves more address space than the limit allows";
  TempDir dir;
  const std::string f = circulant_instance(dir);
  enum { solved = 0, load_short = 2, search_short = 4, other = 6 };
  std::set<int> outcomes;
  for (int mib = 20; mib <= 100; mib += 4) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      const rlimit limit{static_cast<rlim_t>(mib) << 20, static_cast<rlim_t>(mib) << 20};
      setrlimit(RLIMIT_AS, &limit);
      const mavu::Graph g = mavu::Graph::from_file(f, true);
      if (!g.ok()) _exit(g.status() == mavu::Status::out_of_memory ? load_short : other);
      mavu::Options o;
      o.independent_set = true;
      o.max_iterations = 10;
      const mavu::Result r = mavu::solve(g, o);
      _exit(r.ok() ? solved : r.status == mavu::Status::out_of_memory ? search_short : other);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << mib << " MiB: signal " << WTERMSIG(status);
    EXPECT_NE(WEXITSTATUS(status), other) << mib << " MiB";
    outcomes.insert(WEXITSTATUS(status));
  }
  EXPECT_EQ(outcomes, (std::set<int>{solved, load_short, search_short}));
}
