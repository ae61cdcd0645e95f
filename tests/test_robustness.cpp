// The built programs under hostile conditions: interrupted runs, standard
// output that cannot be written, and instance paths that are not regular
// instance files.  Every case runs the real program in a child process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/graph.h"
#include "frontend/loader.h"

#if defined(__SANITIZE_ADDRESS__)
#define MAVU_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MAVU_UNDER_ASAN 1
#endif
#endif

namespace {

const std::string kC125 = std::string(MAVU_TEST_DATA_DIR) + "/C125.9.clq";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream ss(text);
  for (std::string l; std::getline(ss, l);) out.push_back(l);
  return out;
}

// A scratch folder, removed with its files at the end of the test.
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/mavu-robust-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string file(const std::string& name, const std::string& content) const {
    std::string p = path + "/" + name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
};

struct ChildSetup {
  int in_fd = -1, out_fd = -1, err_fd = -1;  // -1: /dev/null
  bool ignore_sigint = false;                // as a background job inherits it
  long long address_space_limit = 0;         // bytes; 0: none (ulimit -v)
};

// Starts `args` with default signal dispositions (whatever the test runner
// inherited) and the given standard streams.
pid_t start(const std::vector<std::string>& args, const ChildSetup& setup) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  int null_fd = open("/dev/null", O_RDWR);
  dup2(setup.in_fd >= 0 ? setup.in_fd : null_fd, 0);
  dup2(setup.out_fd >= 0 ? setup.out_fd : null_fd, 1);
  dup2(setup.err_fd >= 0 ? setup.err_fd : null_fd, 2);
  for (int fd = 3; fd < 256; fd++) close(fd);
  for (int sig : {SIGINT, SIGTERM, SIGPIPE}) signal(sig, SIG_DFL);
  if (setup.ignore_sigint) signal(SIGINT, SIG_IGN);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (setup.address_space_limit > 0) {
    rlimit lim{static_cast<rlim_t>(setup.address_space_limit), static_cast<rlim_t>(setup.address_space_limit)};
    setrlimit(RLIMIT_AS, &lim);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

// Exit status, or 1000 + the signal when the child was killed by one.
int wait_status(pid_t pid) {
  int st = 0;
  while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
}

// Field `k` (1-based, after the command name) of /proc/<pid>/stat; "" when gone.
std::string proc_stat_field(pid_t pid, int k) {
  std::string s = slurp("/proc/" + std::to_string(pid) + "/stat");
  size_t close_paren = s.rfind(')');
  if (close_paren == std::string::npos) return "";
  std::stringstream ss(s.substr(close_paren + 2));
  std::string f;
  for (int i = 3; i <= k && ss >> f;) i++;
  return f;
}

// Waits (a generous bounded while) until `cond` holds; false if it never does.
template <class Cond>
bool eventually(Cond cond) {
  for (int i = 0; i < 6000; i++) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// The child is searching once it has used 0.3 s of CPU: loading the bundled
// instance takes a few milliseconds, everything after it is the search.
bool searching(pid_t pid) {
  return eventually([&] {
    std::string ut = proc_stat_field(pid, 14), st = proc_stat_field(pid, 15);
    return !ut.empty() && std::atol(ut.c_str()) + std::atol(st.c_str()) >= 0.3 * sysconf(_SC_CLK_TCK);
  });
}

struct Finished {
  int status;
  std::string out, err;
};

// Runs `args` to the end with stdout and stderr captured in files.
Finished run(const TempDir& dir, const std::vector<std::string>& args, ChildSetup setup = {}) {
  std::string out = dir.path + "/stdout", err = dir.path + "/stderr";
  setup.out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start(args, setup);
  close(setup.out_fd);
  close(setup.err_fd);
  int status = wait_status(pid);
  return {status, slurp(out), slurp(err)};
}

// Runs a long search and sends `sig` once it is searching.
Finished interrupt_search(const TempDir& dir, const char* bin, int sig) {
  std::string out = dir.path + "/stdout", err = dir.path + "/stderr";
  ChildSetup setup;
  setup.out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({bin, "-f", kC125, "-t", "100"}, setup);
  close(setup.out_fd);
  close(setup.err_fd);
  EXPECT_TRUE(searching(pid));
  kill(pid, sig);
  int status = wait_status(pid);
  return {status, slurp(out), slurp(err)};
}

// Checks the report that follows the search: heading, the set, the result
// block, and that the set is a clique of the instance of the reported weight.
void expect_verified_report(const std::string& out, bool mavu1) {
  std::vector<std::string> l = lines_of(out);
  size_t h = 0;
  while (h < l.size() && l[h].rfind("Final", 0) != 0) h++;
  ASSERT_LT(h + 10, l.size()) << out;
  std::vector<int> set;
  std::stringstream ss(l[h + 1]);
  for (int v; ss >> v;) set.push_back(v);
  ASSERT_FALSE(set.empty());
  if (mavu1)
    EXPECT_EQ(l[h], "Final result(size " + std::to_string(set.size()) + "):");
  else
    EXPECT_EQ(l[h], "Final solution:");
  EXPECT_EQ(l[h + 2], "");
  EXPECT_EQ(l[h + 3], "$seed=533875888");
  EXPECT_EQ(l[h + 4], mavu1 ? "@solver=mwcp" : "@solver=mavu2");
  EXPECT_EQ(l[h + 5], "@para_file=" + kC125);
  ASSERT_EQ(l[h + 8].rfind("#objv=", 0), 0u);
  EXPECT_EQ(l[h + 9].rfind("#bestiter=", 0), 0u);
  EXPECT_EQ(l[h + 10].rfind("#besttime=", 0), 0u);
  EXPECT_EQ(h + 11, l.size());
  const double objv = std::atof(l[h + 8].c_str() + 6);

  ConflictGraph g;
  ASSERT_EQ(load_conflict_graph(kC125.c_str(), g), LoadStatus::ok);
  double sum = 0;
  for (size_t i = 0; i < set.size(); i++) {
    ASSERT_TRUE(set[i] >= 0 && set[i] < g.n_vertex);
    if (i > 0) {
      EXPECT_LT(set[i - 1], set[i]);
    }
    for (size_t j = i + 1; j < set.size(); j++) EXPECT_FALSE(g.conflict(set[i], set[j])) << set[i] << " " << set[j];
    sum += g.v_weight[static_cast<size_t>(set[i])];
  }
  EXPECT_NEAR(sum, objv, 1e-4);
}

// ---- Interrupted runs -------------------------------------------------------

TEST(Interrupt, SigtermStopsTheSearchAndReportsTheBestSet) {
  TempDir dir;
  Finished r = interrupt_search(dir, MAVU1_BIN, SIGTERM);
  EXPECT_EQ(r.status, 143);
  EXPECT_EQ(lines_of(r.out).at(0), "stop condition: less than 100 seconds and 100000000 iterations");
  expect_verified_report(r.out, true);
  EXPECT_EQ(r.err, "mavu1: interrupted by signal 15 (SIGTERM); the best set found so far was reported\n");
}

TEST(Interrupt, SigintStopsMavu2TheSameWay) {
  TempDir dir;
  Finished r = interrupt_search(dir, MAVU2_BIN, SIGINT);
  EXPECT_EQ(r.status, 130);
  expect_verified_report(r.out, false);
  EXPECT_EQ(r.err, "mavu2: interrupted by signal 2 (SIGINT); the best set found so far was reported\n");
}

TEST(Interrupt, SignalWhileLoadingEndsAtOnce) {
  // The instance is a FIFO that this test holds open: the program is inside
  // the loader, waiting for the rest of the file, when the signal comes.
  TempDir dir;
  std::string fifo = dir.path + "/instance.clq";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string out = dir.path + "/stdout", err = dir.path + "/stderr";
  ChildSetup setup;
  setup.out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({MAVU1_BIN, "-f", fifo, "-t", "100"}, setup);
  close(setup.out_fd);
  close(setup.err_fd);
  int w = open(fifo.c_str(), O_WRONLY);  // returns once the loader has opened it
  ASSERT_GE(w, 0);
  ASSERT_EQ(write(w, "c half an instance\np edge 5", 27), 27);
  kill(pid, SIGTERM);
  EXPECT_EQ(wait_status(pid), 143);
  close(w);
  EXPECT_EQ(slurp(err), "mavu1: interrupted by signal 15 (SIGTERM) while loading the instance; nothing was searched\n");
  EXPECT_EQ(lines_of(slurp(out)).size(), 4u);  // the echo only
}

TEST(Interrupt, SecondSignalCutsTheReportShort) {
  // Standard output is a pipe that nobody reads and that this test fills, so
  // the report blocks in its write after the first signal.
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  TempDir dir;
  std::string err = dir.path + "/stderr";
  ChildSetup setup;
  setup.out_fd = p[1];
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({MAVU1_BIN, "-f", kC125, "-t", "100"}, setup);
  close(setup.err_fd);
  ASSERT_TRUE(searching(pid));
  // A separate non-blocking description of the same pipe, so that the
  // program's own stays blocking.
  int filler = open(("/proc/self/fd/" + std::to_string(p[1])).c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(filler, 0);
  std::vector<char> page(4096, 'x');
  while (write(filler, page.data(), page.size()) > 0) {
  }
  while (write(filler, page.data(), 1) > 0) {
  }
  close(filler);
  kill(pid, SIGTERM);
  // Blocked in the write of the report: sleeping instead of running.
  EXPECT_TRUE(eventually([&] { return proc_stat_field(pid, 3) == "S"; }));
  kill(pid, SIGINT);
  const int status = wait_status(pid);
  close(p[0]);
  close(p[1]);
  EXPECT_EQ(status, 130);
  EXPECT_EQ(slurp(err), "mavu1: interrupted by signal 2 (SIGINT) again; the report was cut short\n");
}

TEST(Interrupt, InheritedIgnoredSigintStaysIgnored) {
  // A background job started by a shell ignores SIGINT; the program keeps it
  // so, and SIGTERM is then the first signal.
  TempDir dir;
  std::string out = dir.path + "/stdout", err = dir.path + "/stderr";
  ChildSetup setup;
  setup.ignore_sigint = true;
  setup.out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({MAVU2_BIN, "-f", kC125, "-t", "100"}, setup);
  close(setup.out_fd);
  close(setup.err_fd);
  ASSERT_TRUE(searching(pid));
  kill(pid, SIGINT);
  kill(pid, SIGTERM);
  EXPECT_EQ(wait_status(pid), 143);
  expect_verified_report(slurp(out), false);
  EXPECT_EQ(slurp(err), "mavu2: interrupted by signal 15 (SIGTERM); the best set found so far was reported\n");
}

// ---- Standard output that cannot be written ----------------------------------

TEST(OutputFailure, FullDeviceIsReportedBeforeTheSearch) {
  TempDir dir;
  for (const char* bin : {MAVU1_BIN, MAVU2_BIN}) {
    ChildSetup setup;
    setup.out_fd = open("/dev/full", O_WRONLY);
    ASSERT_GE(setup.out_fd, 0);
    std::string err = dir.path + "/stderr";
    setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = start({bin, "-f", kC125, "-t", "100", "-i", "1000"}, setup);
    close(setup.out_fd);
    close(setup.err_fd);
    EXPECT_EQ(wait_status(pid), 74);
    const std::string name = std::string(bin).substr(std::string(bin).rfind('/') + 1);
    EXPECT_EQ(slurp(err), name + ": cannot write to standard output: No space left on device\n");
  }
}

TEST(OutputFailure, PipeWithoutReaderIsAnErrorNotASilentDeath) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  close(p[0]);
  TempDir dir;
  std::string err = dir.path + "/stderr";
  ChildSetup setup;
  setup.out_fd = p[1];
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({MAVU1_BIN, "-f", kC125, "-t", "100", "-i", "1000"}, setup);
  close(p[1]);
  close(setup.err_fd);
  EXPECT_EQ(wait_status(pid), 74);  // not killed by SIGPIPE
  EXPECT_EQ(slurp(err), "mavu1: cannot write to standard output: Broken pipe\n");
}

TEST(OutputFailure, ReaderGoneBeforeTheReport) {
  // The reader takes the echo, then goes away while the search runs; the
  // report then fails, and an interrupted run says its set was not written.
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  TempDir dir;
  std::string err = dir.path + "/stderr";
  ChildSetup setup;
  setup.out_fd = p[1];
  setup.err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({MAVU2_BIN, "-f", kC125, "-t", "100"}, setup);
  close(p[1]);
  close(setup.err_fd);
  std::string echo;
  char buf[512];
  while (std::count(echo.begin(), echo.end(), '\n') < 4) {
    ssize_t r = read(p[0], buf, sizeof buf);
    ASSERT_GT(r, 0);
    echo.append(buf, static_cast<size_t>(r));
  }
  close(p[0]);
  ASSERT_TRUE(searching(pid));
  kill(pid, SIGTERM);
  EXPECT_EQ(wait_status(pid), 74);
  EXPECT_EQ(slurp(err),
            "mavu2: cannot write to standard output: Broken pipe\n"
            "mavu2: interrupted by signal 15 (SIGTERM); the best set found so far could not be written\n");
}

// ---- Instance paths that are not instance files --------------------------------

TEST(BadInstancePath, DirectoryEmptyAndGarbageGetOneLineAndStatus1) {
  TempDir dir;
  std::mt19937 gen(5);
  std::string garbage;
  for (int i = 0; i < 5000; i++) {
    char c = static_cast<char>(gen() & 0xff);
    garbage.push_back(c == 'p' ? 'q' : c);  // no line may be taken for the problem line
  }
  const std::string empty = dir.file("empty.clq", ""), junk = dir.file("junk.bin", garbage);
  struct Case {
    std::string path, message;
  } cases[] = {
      {dir.path, dir.path + ": cannot read the file: Is a directory\n"},
      {empty, empty + ": no problem line (\"p <format> <vertices> <edges>\") found\n"},
      {junk, junk + ": no problem line (\"p <format> <vertices> <edges>\") found\n"},
  };
  for (const Case& c : cases) {
    Finished r = run(dir, {MAVU1_BIN, "-f", c.path, "-t", "5"});
    EXPECT_EQ(r.status, 1) << c.path;
    EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(lines_of(r.out).size(), 4u) << r.out;  // the echo, nothing after it
  }
}

TEST(BadInstancePath, UnreadableFileCannotBeOpened) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root from reading";
  TempDir dir;
  const std::string f = dir.file("locked.clq", "p edge 3 0\n");
  chmod(f.c_str(), 0);
  Finished r = run(dir, {MAVU2_BIN, "-f", f, "-t", "5"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "Can not open file " + f + "\n");
  EXPECT_NE(r.out.find("File " + f + " not found \n"), std::string::npos);
}

TEST(BadInstancePath, PipedInstanceLoadsLikeTheFile) {
  // As in: zcat x.clq.gz | mavu1 -f /dev/stdin -t 10
  TempDir dir;
  Finished from_file = run(dir, {MAVU1_BIN, "-f", kC125, "-t", "100", "-i", "3000"});
  ASSERT_EQ(from_file.status, 0);

  int p[2];
  ASSERT_EQ(pipe(p), 0);
  std::string out = dir.path + "/stdout";
  ChildSetup setup;
  setup.in_fd = p[0];
  setup.out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = start({MAVU1_BIN, "-f", "/dev/stdin", "-t", "100", "-i", "3000"}, setup);
  close(p[0]);
  close(setup.out_fd);
  const std::string text = slurp(kC125);  // larger than a pipe's buffer
  for (size_t done = 0; done < text.size();) {
    ssize_t w = write(p[1], text.data() + done, text.size() - done);
    ASSERT_GT(w, 0);
    done += static_cast<size_t>(w);
  }
  close(p[1]);
  ASSERT_EQ(wait_status(pid), 0);
  std::string piped = slurp(out);
  // Same run; only the path and the time line may differ.
  auto comparable = [](const std::string& s) {
    std::string keep;
    for (const std::string& l : lines_of(s))
      if (l.rfind("@para_file=", 0) != 0 && l.rfind("#besttime=", 0) != 0) keep += l + "\n";
    return keep;
  };
  EXPECT_EQ(comparable(piped), comparable(from_file.out));
  EXPECT_NE(piped.find("@para_file=/dev/stdin\n"), std::string::npos);
}

TEST(BadInstancePath, InstanceLargerThanMemoryGetsTheAmountNeeded) {
#ifdef MAVU_UNDER_ASAN
  GTEST_SKIP() << "the sanitizer runtime reserves more address space than the limit allows";
#else
  // 1 GiB of address space (ulimit -v 1048576) holds neither the matrix nor
  // the conflict lists of 40000 vertices without edges.
  TempDir dir;
  for (const char* n : {"40000", "46341"}) {
    const std::string f = dir.file("big.clq", std::string("p edge ") + n + " 0\n");
    ChildSetup setup;
    setup.address_space_limit = 1LL << 30;
    Finished r = run(dir, {MAVU1_BIN, "-f", f, "-t", "5"}, setup);
    EXPECT_EQ(r.status, 1) << n;
    const std::string expected =
        f + ": cannot allocate memory for the instance: " + n + " vertices and ";
    EXPECT_EQ(r.err.rfind(expected, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" conflict edges need "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - 5), " MiB\n") << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  }
  // One vertex more than the 32-bit arithmetic of the format allows is refused
  // before anything is allocated.
  const std::string f = dir.file("too_big.clq", "p edge 46342 0\n");
  Finished r = run(dir, {MAVU1_BIN, "-f", f, "-t", "5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, f + ":1: the problem line announces 46342 vertices; at most 46341 are supported\n");
#endif
}

}  // namespace
