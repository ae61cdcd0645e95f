// End-to-end runs of both built programs: exit statuses, what goes to
// standard output and standard error, and repeatability of a run.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "frontend/report.h"
#include "support.h"

namespace {

const std::string kData = MAVU_TEST_DATA_DIR;

struct RunResult {
  int status;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string echo(int seconds, int iterations) {
  return "stop condition: less than " + std::to_string(seconds) + " seconds and " + std::to_string(iterations) +
         " iterations\nseed: 533875888\ntabu depth: 4000\ndirect start probability: 70/100\n";
}

using Program = std::pair<const char*, const char*>;  // name, path

class Cli : public testing::TestWithParam<Program> {
 protected:
  // Runs the program with the given arguments, quoted for the shell.
  RunResult run(const std::vector<std::string>& args) {
    std::string cmd = std::string("'") + GetParam().second + "'";
    for (const auto& a : args) cmd += " '" + a + "'";
    cmd += " >'" + dir + "out' 2>'" + dir + "err' </dev/null";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir + "out"), slurp(dir + "err")};
  }
  void TearDown() override {
    for (const char* f : {"out", "err", "bad.clq"}) std::remove((dir + f).c_str());
  }
  bool mavu1() const { return std::string(GetParam().first) == "mavu1"; }
  // Scratch files of this process (ctest runs every test in a process of its own).
  const std::string dir = testing::TempDir() + "mavu_cli_" + std::to_string(getpid()) + "_";
};

TEST_P(Cli, UsageWithStatus1WhenAMandatoryOptionIsMissingAnd0WhenAWordIsMalformed) {
  const std::string usage = GetParam().first + std::string(" -f <filename> -t <max time> [-s <seed> -o <best know "
                                                          "result>] [-l <tabu depth>] [-p <rho * 100>] "
                                                          "[-i <max iteration>]\n");
  for (auto [args, status] : {std::pair{std::vector<std::string>{}, 1}, {{"-f", "x.clq", "-i", "10"}, 1},
                              {{"-f", "x.clq", "-t", "5", "extra"}, 0}}) {
    const RunResult r = run(args);
    EXPECT_EQ(r.status, status) << testing::PrintToString(args);
    EXPECT_EQ(r.err, usage);
    EXPECT_EQ(r.out, "");  // not even the echo
  }
}

TEST_P(Cli, MissingFileGivesStatus255AndBothMessages) {
  const RunResult r = run({"-f", dir + "nope.clq", "-t", "5"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "Can not open file " + dir + "nope.clq\n");
  EXPECT_EQ(r.out, echo(5, 100000000) + "File " + dir + "nope.clq not found \n");
}

TEST_P(Cli, BadInstanceGivesStatus1AndOneLineOnStderr) {
  std::ofstream(dir + "bad.clq") << "p edge 3 2\ne 1 2\ne 2 1\n";
  const RunResult r = run({"-f", dir + "bad.clq", "-t", "5", "-i", "10"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind(dir + "bad.clq:", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.out, echo(5, 10));  // no set and no result block
}

// The printed set is a clique of the instance whose weight the block reports.
TEST_P(Cli, NormalRun) {
  const std::string file = kData + "/C125.9.clq";
  const RunResult r = run({"-f", file, "-t", "60", "-i", "1000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.out.rfind(echo(60, 1000), 0), 0u) << r.out;
  std::istringstream out(r.out.substr(echo(60, 1000).size()));
  std::string heading, set_line, rest;
  std::getline(out, heading), std::getline(out, set_line), std::getline(out, rest, '\0');
  std::vector<int> set;
  std::istringstream in(set_line);
  for (int v; in >> v;) set.push_back(v);
  EXPECT_EQ(heading, mavu1() ? "Final result(size " + std::to_string(set.size()) + "):" : "Final solution:");
  ConflictGraph g;
  ASSERT_EQ(load_conflict_graph(file.c_str(), g), LoadStatus::ok);
  ASSERT_FALSE(set.empty());
  for (int v : set) ASSERT_TRUE(v >= 0 && v < 125) << v;
  double weight = 0;
  for (int v : set) weight += g.v_weight[v];
  EXPECT_EQ(check_solution(g, set.data(), static_cast<int>(set.size()), weight, 1e-9), 1);
  char objv[64];
  std::snprintf(objv, sizeof objv, mavu1() ? "%f" : "%.5f", weight);
  const std::string block = "\n$seed=533875888\n@solver=" + std::string(mavu1() ? "mwcp" : "mavu2") +
                            "\n@para_file=" + file + "\n@para_depth=4000\n@para_direct_prob=70\n#objv=" + objv;
  ASSERT_EQ(rest.substr(0, block.size()), block);
  int best_iter = -1;
  float seconds = -1;
  EXPECT_EQ(std::sscanf(rest.c_str() + block.size(), "\n#bestiter=%d\n#besttime=%f", &best_iter, &seconds), 2);
  EXPECT_TRUE(best_iter >= 0 && best_iter < 1000) << rest;
}

// Same command, same output (the CPU-time line excepted), over restarts of both kinds.
TEST_P(Cli, SameCommandTwiceGivesTheSameOutput) {
  const std::vector<std::string> args = {"-f", kData + "/keller4.clq", "-t", "1000", "-s", "17", "-i", "30000",
                                         "-l", "300", "-p", "60"};
  const RunResult a = run(args), b = run(args);
  EXPECT_EQ(a.status + b.status, 0);
  const size_t at = a.out.find("\n#besttime=");
  ASSERT_NE(at, std::string::npos) << a.out;
  EXPECT_EQ(a.out.substr(0, at), b.out.substr(0, b.out.find("\n#besttime=")));
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, Cli, testing::Values(Program{"mavu1", MAVU1_BIN}, Program{"mavu2", MAVU2_BIN}),
                         [](const testing::TestParamInfo<Program>& info) { return std::string(info.param.first); });

}  // namespace
