// End-to-end runs of both built programs: exit statuses, what goes to
// standard output and standard error, and repeatability of a run.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

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

using Program = std::pair<std::string, std::string>;  // name, path (strings, so test listings show them)

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
    for (const char* f : {"out", "err"}) std::remove((dir + f).c_str());
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

// The printed set is a clique of the instance whose weight the block reports.
TEST_P(Cli, NormalRun) {
  const std::string file = kData + "/C125.9.clq";
  const RunResult r = run({"-f", file, "-t", "60", "-i", "1000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.out.rfind(echo(60, 1000) + "Final", 0), 0u) << r.out;
  const std::vector<std::string> l = verified_report(r.out, file, mavu1());
  ASSERT_EQ(l.size(), 11u);
  EXPECT_EQ(l[8].size() - l[8].find('.'), mavu1() ? 7u : 6u) << l[8];  // six or five decimals
  EXPECT_LT(std::atoi(l[9].c_str() + 10), 1000) << l[9];
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
                         [](const testing::TestParamInfo<Program>& info) { return info.param.first; });

}  // namespace
