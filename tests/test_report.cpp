// Verification of the best set and the printed report, in the words and
// precisions of each program.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "mavu1/profile.h"
#include "mavu2/profile.h"
#include "support.h"

namespace {

const ProgramText& kMavu1 = Mavu1Profile::kText;
const ProgramText& kMavu2 = Mavu2Profile::kText;

template <class F>
std::string capture(F&& write) {
  FILE* f = std::tmpfile();
  if (!f) return "<tmpfile failed>";
  write(f);
  std::string out;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
  std::fclose(f);
  return out;
}

// Vertices 0..3 pairwise adjacent in the input (no conflicts among them);
// vertex 4 adjacent to none, so it conflicts with all.
struct CheckFixture : testing::Test {
  ConflictGraph g;
  void SetUp() override {
    InputGraph in;
    in.n = 5;
    for (int a = 0; a < 4; a++)
      for (int b = a + 1; b < 4; b++) in.add_edge(a, b);
    in.weights = {1.5, 2.25, 3.0, 10.0, 7.0};
    build(g, in);
  }
  int check(std::vector<int> set, double weight, double tol) {
    return check_solution(g, set.data(), static_cast<int>(set.size()), weight, tol);
  }
};

using ReportCheck = CheckFixture;

TEST_F(ReportCheck, ConflictFreeSetWithItsWeightPasses) {
  EXPECT_EQ(check({0, 1, 2, 3}, 16.75, kMavu1.check_tolerance), 1);
  EXPECT_EQ(check({3, 1}, 12.25, kMavu1.check_tolerance), 1);
  EXPECT_EQ(check({4}, 7.0, kMavu1.check_tolerance), 1);
}

TEST_F(ReportCheck, ConflictFails) {
  // The weight is right, so only the conflict can fail it; the pair is checked in any position.
  EXPECT_EQ(check({0, 4}, 8.5, 1.0), 0);
  EXPECT_EQ(check({4, 0, 1}, 10.75, 1.0), 0);
  EXPECT_EQ(check({0, 1, 2, 4}, 13.75, 1.0), 0);
}

TEST_F(ReportCheck, WrongWeightFails) {
  EXPECT_EQ(check({0, 1}, 3.0, kMavu2.check_tolerance), 0);
  EXPECT_EQ(check({0, 1}, 4.75, kMavu2.check_tolerance), 0);
}

TEST_F(ReportCheck, DifferenceMustBeStrictlyBelowTolerance) {
  EXPECT_EQ(check({0, 1}, 3.75 + 0.25, 0.25), 0);
  EXPECT_EQ(check({0, 1}, 3.75 + 0.125, 0.25), 1);
  EXPECT_EQ(check({0, 1}, 3.75 - 0.25, 0.25), 0);
}

TEST_F(ReportCheck, ToleranceOfEachProgram) {
  const double off = 16.75 + 1e-6;
  EXPECT_EQ(check({0, 1, 2, 3}, off, kMavu2.check_tolerance), 1);
  EXPECT_EQ(check({0, 1, 2, 3}, off, kMavu1.check_tolerance), 0);
  EXPECT_EQ(kMavu1.check_tolerance, 1e-8);
  EXPECT_EQ(kMavu2.check_tolerance, 1e-5);
}

TEST_F(ReportCheck, EmptySetPassesOnlyNearZero) {
  int dummy = 0;
  EXPECT_EQ(check_solution(g, &dummy, 0, 0.0, kMavu1.check_tolerance), 1);
  EXPECT_EQ(check_solution(g, &dummy, 0, 5e-9, kMavu1.check_tolerance), 1);
  EXPECT_EQ(check_solution(g, &dummy, 0, 1e-6, kMavu1.check_tolerance), 0);
  EXPECT_EQ(check_solution(g, &dummy, 0, 1e-6, kMavu2.check_tolerance), 1);
}

TEST_F(ReportCheck, NotANumberFails) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(check({0, 1}, nan, kMavu2.check_tolerance), 0);
  EXPECT_EQ(check({}, nan, kMavu2.check_tolerance), 0);
  EXPECT_EQ(check({0, 1}, std::numeric_limits<double>::infinity(), kMavu2.check_tolerance), 0);
}

TEST(ReportCheckOrder, WeightsAreSummedInListOrder) {
  // 1e16 + 1 rounds back to 1e16, so the sum depends on the order of the terms.
  InputGraph in;
  in.n = 3;
  in.add_edge(0, 1);
  in.add_edge(0, 2);
  in.add_edge(1, 2);
  in.weights = {1e16, 1.0, 1.0};
  ConflictGraph g;
  build(g, in);
  int big_first[] = {0, 1, 2}, big_last[] = {1, 2, 0};
  EXPECT_EQ(check_solution(g, big_first, 3, 1e16, 1e-5), 1);
  EXPECT_EQ(check_solution(g, big_first, 3, 1e16 + 2, 1e-5), 0);
  EXPECT_EQ(check_solution(g, big_last, 3, 1e16 + 2, 1e-5), 1);
  EXPECT_EQ(check_solution(g, big_last, 3, 1e16, 1e-5), 0);
}

// --- Final set -------------------------------------------------------------

TEST(ReportFinalSet, SortedAscendingInPlaceWithHeadingPerProgram) {
  int v1[] = {7, 2, 5};
  BestRecord b1{v1, 3, 0.0, 0, 0, 0};
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu1, b1, f); }), "Final result(size 3):\n2 5 7 \n");
  EXPECT_EQ(v1[0], 2);
  EXPECT_EQ(v1[1], 5);
  EXPECT_EQ(v1[2], 7);

  int v2[] = {7, 2, 5};
  BestRecord b2{v2, 3, 0.0, 0, 0, 0};
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu2, b2, f); }), "Final solution:\n2 5 7 \n");
}

TEST(ReportFinalSet, EmptySetGivesAnEmptyLine) {
  int v[] = {42};
  BestRecord b{v, 0, 0.0, 0, 0, 0};
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu1, b, f); }), "Final result(size 0):\n\n");
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu2, b, f); }), "Final solution:\n\n");
}

// --- Result block ----------------------------------------------------------

struct ReportBlock : testing::Test {
  RunParams p;
  int v[1] = {0};
  BestRecord best{v, 1, 12.5, 4321, 2345678, 0};
  void SetUp() override {
    std::snprintf(p.para_file, sizeof p.para_file, "%s", "data/x.clq");
    p.para_seed = 17;
    p.para_depth = 250;
    p.para_directed_prob = 35;
  }
  std::string block(const ProgramText& t) {
    return capture([&](FILE* f) { report_result(t, p, best, f); });
  }
  // The value of the line beginning with `key` in the block.
  std::string line(const ProgramText& t, const std::string& key) {
    std::string b = block(t);
    size_t at = b.find("\n" + key);
    if (at == std::string::npos) return "<missing " + key + ">";
    at += 1 + key.size();
    return b.substr(at, b.find('\n', at) - at);
  }
};

TEST_F(ReportBlock, LinesAndOrderForMavu1) {
  EXPECT_EQ(block(kMavu1),
            "\n"
            "$seed=17\n"
            "@solver=mwcp\n"
            "@para_file=data/x.clq\n"
            "@para_depth=250\n"
            "@para_direct_prob=35\n"
            "#objv=12.500000\n"
            "#bestiter=4321\n"
            "#besttime=2.346\n");
}

TEST_F(ReportBlock, LinesAndOrderForMavu2) {
  EXPECT_EQ(block(kMavu2),
            "\n"
            "$seed=17\n"
            "@solver=mavu2\n"
            "@para_file=data/x.clq\n"
            "@para_depth=250\n"
            "@para_direct_prob=35\n"
            "#objv=12.50000\n"
            "#bestiter=4321\n"
            "#besttime=2.346\n");
}

TEST_F(ReportBlock, TimeIsRoundedToSinglePrecisionBeforePrinting) {
  // In double precision 99.9995 s would print as 99.999.
  best.best_end_time = 99999500;
  EXPECT_EQ(line(kMavu1, "#besttime="), "100.000");
  EXPECT_EQ(line(kMavu2, "#besttime="), "100.000");
  best.best_end_time = 0;
  EXPECT_EQ(line(kMavu1, "#besttime="), "0.000");
}

TEST_F(ReportBlock, TimeIsMeasuredFromStartTime) {
  best.start_time = 1000000;
  best.best_end_time = 3345678;
  EXPECT_EQ(line(kMavu1, "#besttime="), "2.346");
}

}  // namespace
