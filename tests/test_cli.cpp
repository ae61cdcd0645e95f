// End-to-end runs of both built programs: exit statuses, what goes to
// standard output and standard error, and repeatability of a run.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/loader.h"

namespace {

const std::string kC125 = std::string(MAVU_TEST_DATA_DIR) + "/C125.9.clq";

const char* kUsageTail =
    " -f <filename> -t <max time> [-s <seed> -o <best know result>] [-l <tabu depth>] [-p <rho * 100>] "
    "[-i <max iteration>]\n";

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string slurp(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  std::fclose(f);
  return out;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

struct Program {
  const char* name;
  const char* bin;
};
const Program kMavu1{"mavu1", MAVU1_BIN};
const Program kMavu2{"mavu2", MAVU2_BIN};

class CliTest : public testing::TestWithParam<Program> {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/mavu_cli_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    for (const char* f : {"/out", "/err", "/bad.clq"}) std::remove((dir_ + f).c_str());
    rmdir(dir_.c_str());
  }

  // Runs the program with the given arguments (each quoted for the shell).
  RunResult run(const std::vector<std::string>& args) {
    std::string cmd = quote(GetParam().bin);
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote(dir_ + "/out") + " 2>" + quote(dir_ + "/err") + " </dev/null";
    RunResult r;
    int raw = std::system(cmd.c_str());
    r.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir_ + "/out");
    r.err = slurp(dir_ + "/err");
    return r;
  }

  std::string usage() const { return GetParam().name + std::string(kUsageTail); }
  bool is_mavu1() const { return std::string(GetParam().name) == "mavu1"; }

  std::string echo(int seconds, int iterations) const {
    return "stop condition: less than " + std::to_string(seconds) + " seconds and " + std::to_string(iterations) +
           " iterations\nseed: 533875888\ntabu depth: 4000\ndirect start probability: 70/100\n";
  }

  std::string write_bad_instance() {
    std::string path = dir_ + "/bad.clq";
    FILE* f = std::fopen(path.c_str(), "w");
    if (f) {
      std::fputs("p edge 3 2\ne 1 2\ne 2 1\n", f);
      std::fclose(f);
    }
    return path;
  }

  std::string dir_;
};

TEST_P(CliTest, NoArgumentsGivesUsageAndStatus1) {
  RunResult r = run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, usage());
  EXPECT_EQ(r.out, "");
}

TEST_P(CliTest, MissingMandatoryOptionGivesUsageAndStatus1) {
  for (auto args : {std::vector<std::string>{"-f", kC125}, std::vector<std::string>{"-t", "5"},
                    std::vector<std::string>{"-f", kC125, "-i", "10"}}) {
    RunResult r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, usage());
    EXPECT_EQ(r.out, "");
  }
}

TEST_P(CliTest, LoneWordAfterMandatoryOptionsGivesUsageAndStatus0) {
  RunResult r = run({"-f", kC125, "-t", "5", "extra"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, usage());
  EXPECT_EQ(r.out, "");  // not even the echo
}

TEST_P(CliTest, OptionInLastPositionWithoutValueGivesUsageAndStatus1) {
  RunResult r = run({"-f", kC125, "-t", "5", "-i"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, usage());
  EXPECT_EQ(r.out, "");
}

TEST_P(CliTest, MissingFileGivesStatus255AndBothMessages) {
  std::string missing = dir_ + "/nope.clq";
  RunResult r = run({"-f", missing, "-t", "5"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "Can not open file " + missing + "\n");
  EXPECT_EQ(r.out, echo(5, 100000000) + "File " + missing + " not found \n");
}

TEST_P(CliTest, BadInstanceGivesStatus1AndOneLineOnStderr) {
  std::string bad = write_bad_instance();
  RunResult r = run({"-f", bad, "-t", "5", "-i", "10"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
  EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
  EXPECT_EQ(r.out, echo(5, 10));  // no set and no result block
}

// The set printed after the heading is a clique of the instance with the reported weight.
TEST_P(CliTest, NormalShortRun) {
  RunResult r = run({"-f", kC125, "-t", "60", "-i", "1000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> L = lines_of(r.out);
  ASSERT_EQ(L.size(), 4u + 2u + 9u) << r.out;
  EXPECT_EQ(r.out.substr(0, echo(60, 1000).size()), echo(60, 1000));

  // The set: ascending 0-based vertex numbers, each followed by one blank.
  std::vector<int> set;
  {
    std::istringstream in(L[5]);
    for (int v; in >> v;) set.push_back(v);
  }
  ASSERT_FALSE(set.empty());
  std::string rebuilt;
  for (size_t k = 0; k < set.size(); k++) {
    rebuilt += std::to_string(set[k]) + " ";
    EXPECT_GE(set[k], 0);
    EXPECT_LT(set[k], 125);
    if (k) {
      EXPECT_LT(set[k - 1], set[k]);
    }
  }
  EXPECT_EQ(L[5], rebuilt);
  EXPECT_EQ(L[4], is_mavu1() ? "Final result(size " + std::to_string(set.size()) + "):" : "Final solution:");

  ConflictGraph g;
  testing::internal::CaptureStderr();
  ASSERT_EQ(load_conflict_graph(kC125.c_str(), g), LoadStatus::ok);
  testing::internal::GetCapturedStderr();
  double weight = 0;
  for (size_t a = 0; a < set.size(); a++) {
    weight += g.v_weight[set[a]];
    for (size_t b = a + 1; b < set.size(); b++) EXPECT_FALSE(g.conflict(set[a], set[b])) << set[a] << "," << set[b];
  }
  char objv[64];
  std::snprintf(objv, sizeof objv, is_mavu1() ? "#objv=%f" : "#objv=%.5f", weight);

  EXPECT_EQ(L[6], "");
  EXPECT_EQ(L[7], "$seed=533875888");
  EXPECT_EQ(L[8], is_mavu1() ? "@solver=mwcp" : "@solver=mavu2");
  EXPECT_EQ(L[9], "@para_file=" + kC125);
  EXPECT_EQ(L[10], "@para_depth=4000");
  EXPECT_EQ(L[11], "@para_direct_prob=70");
  EXPECT_EQ(L[12], objv);
  ASSERT_EQ(L[13].rfind("#bestiter=", 0), 0u) << L[13];
  int best_iter = std::atoi(L[13].c_str() + 10);
  EXPECT_GE(best_iter, 0);
  EXPECT_LT(best_iter, 1000);
  EXPECT_EQ(L[14].rfind("#besttime=", 0), 0u) << L[14];
}

TEST_P(CliTest, SameCommandTwiceGivesSameOutputExceptTime) {
  const std::vector<std::string> args = {"-f", kC125, "-t", "60", "-i", "3000", "-s", "7", "-l", "200"};
  RunResult a = run(args), b = run(args);
  ASSERT_EQ(a.status, 0);
  ASSERT_EQ(b.status, 0);
  std::vector<std::string> la = lines_of(a.out), lb = lines_of(b.out);
  ASSERT_EQ(la.size(), lb.size());
  int time_lines = 0;
  for (size_t k = 0; k < la.size(); k++) {
    if (la[k].rfind("#besttime=", 0) == 0) {
      time_lines++;
      continue;
    }
    EXPECT_EQ(la[k], lb[k]) << "line " << k;
  }
  EXPECT_EQ(time_lines, 1);
}

TEST_P(CliTest, UnknownOptionIgnoredAndLastFileWins) {
  std::string bad = write_bad_instance();
  RunResult r = run({"-f", bad, "-q", "5", "-t", "60", "-f", kC125, "-i", "0"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("@para_file=" + kC125 + "\n"), std::string::npos) << r.out;
}

TEST_P(CliTest, NoIterationsStillReportsTheFirstConstructedSet) {
  RunResult r = run({"-f", kC125, "-t", "60", "-i", "0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n#bestiter=0\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("#objv=0.0"), std::string::npos) << r.out;  // a non-empty set was built
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, CliTest, testing::Values(kMavu1, kMavu2),
                         [](const testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

}  // namespace
