// Verification of the best set and the printed report, in the words and
// precisions of each program.
#include <limits>

#include "frontend/report.h"
#include "verify/check.h"
#include "support.h"

namespace {

const ProgramText& kMavu1 = kMavu1Text;
const ProgramText& kMavu2 = kMavu2Text;

// The same verdicts on either layout (the compressed one walks conflict lists
// instead of testing pairs).
template <class G>
void expect_check_verdicts() {
  // Vertices 0..3 pairwise adjacent in the input; 4 adjacent to none, so it conflicts with all.
  G g;
  build(g, InputGraph{5, {0, 1, 0, 2, 0, 3, 1, 2, 1, 3, 2, 3}, {1.5, 2.25, 3.0, 10.0, 7.0}});
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const double t1 = mavu::engine::base_tolerance(mavu::engine::Variant::mavu1),
               t2 = mavu::engine::base_tolerance(mavu::engine::Variant::mavu2);
  const struct {
    std::vector<int> set;
    double weight, tolerance;
    int want;
  } cases[] = {
      {{0, 1, 2, 3}, 16.75, t1, 1},
      {{3, 1}, 12.25, t1, 1},
      {{4}, 7.0, t1, 1},
      {{0, 4}, 8.5, 1.0, 0},  // right weight, but a conflict, in any position
      {{0, 1, 2, 4}, 13.75, 1.0, 0},
      {{0, 1}, 3.0, t2, 0},
      {{0, 1}, 3.75 + 0.25, 0.25, 0},  // the difference must be strictly below the tolerance
      {{0, 1}, 3.75 + 0.125, 0.25, 1},
      {{0, 1, 2, 3}, 16.75 + 1e-6, t2, 1},  // each program's tolerance
      {{0, 1, 2, 3}, 16.75 + 1e-6, t1, 0},
      {{0, 1, 2, 3}, 16.75 + 5e-9, t1, 1},
      {{}, 1e-6, t1, 0},
      {{}, 1e-6, t2, 1},
      {{0, 1}, nan, t2, 0},
      {{0, 1}, inf, t2, 0},
      {{2, 2}, 6.0, t1, 1},  // a repeated vertex does not conflict with itself
      {{4, 1, 4}, 16.25, t1, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(check_solution(g, c.set.data(), static_cast<int>(c.set.size()), c.weight, c.tolerance), c.want)
        << testing::PrintToString(c.set) << " weight " << c.weight << " tolerance " << c.tolerance;

  // The weights are summed in list order: 1e16 + 1 rounds back to 1e16.
  G h;
  build(h, InputGraph{3, {0, 1, 0, 2, 1, 2}, {1e16, 1.0, 1.0}});
  int big_first[] = {0, 1, 2}, big_last[] = {1, 2, 0};
  EXPECT_EQ(check_solution(h, big_first, 3, 1e16, 1e-5), 1);
  EXPECT_EQ(check_solution(h, big_last, 3, 1e16 + 2, 1e-5), 1);
}

TEST(Report, CheckSolution) {
  expect_check_verdicts<ConflictGraph>();
  expect_check_verdicts<SparseConflictGraph<uint16_t>>();
}

// The ordinary tolerance stands while no sum can round: integer weights up to
// a total below 2^53 in any run, and small fractional weights early on; beyond
// that it grows with the total weight and the iteration of the record.
TEST(Report, CheckToleranceGrowsOnlyWhereSumsCanRound) {
  const double u = 0x1p-53;
  const struct {
    std::vector<double> weights;
    int best_iter;
    double base, want;
  } cases[] = {
      {{4e11, 7e10, 1}, 2000000000, 1e-8, 1e-8},
      {{0x1p52, 0x1p52 - 1}, 2000000000, 1e-5, 1e-5},
      {{0x1p52, 0x1p52, 1}, 0, 1e-8, 2 * u * (0x1p53 + 1) * (2 * 4 + 3)},
      {{0.5, 1.25}, 0, 1e-8, 1e-8},
      {{0.5, 1.25}, 99999999, 1e-8, 2 * u * 1.75 * (2e8 * 3 + 2)},
      {{0.5, 1.25}, 99999999, 1e-5, 1e-5},
      {{1e22, 0.05}, 9, 1e-5, 2 * u * (1e22 + 0.05) * (20 * 3 + 2)},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(check_tolerance(c.base, c.weights.data(), static_cast<int>(c.weights.size()), c.best_iter), c.want)
        << testing::PrintToString(c.weights) << " at iteration " << c.best_iter;
}

TEST(Report, FinalSetSortedInPlaceUnderEachProgramsHeading) {
  BestSet b1{{7, 2, 5}}, b2{{7, 2, 5}}, empty;
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu1, b1, f); }), "Final result(size 3):\n2 5 7 \n");
  EXPECT_EQ(b1.vertices, (std::vector<int>{2, 5, 7}));
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu2, b2, f); }), "Final solution:\n2 5 7 \n");
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu1, empty, f); }), "Final result(size 0):\n\n");
  EXPECT_EQ(capture([&](FILE* f) { print_final_set(kMavu2, empty, f); }), "Final solution:\n\n");
}

TEST(Report, ResultBlockOfEachProgram) {
  RunParams p;
  std::snprintf(p.para_file, sizeof p.para_file, "%s", "data/x.clq");
  p.para_seed = 17, p.para_depth = 250, p.para_directed_prob = 35;
  const BestSet best{{0}, 12.5, 4321, 3345678, 1000000};  // time measured from start_time
  const std::string head = "\n$seed=17\n", tail = "@para_file=data/x.clq\n@para_depth=250\n@para_direct_prob=35\n";
  EXPECT_EQ(capture([&](FILE* f) { report_result(kMavu1, p, best, f); }),
            head + "@solver=mwcp\n" + tail + "#objv=12.500000\n#bestiter=4321\n#besttime=2.346\n");
  EXPECT_EQ(capture([&](FILE* f) { report_result(kMavu2, p, best, f); }),
            head + "@solver=mavu2\n" + tail + "#objv=12.50000\n#bestiter=4321\n#besttime=2.346\n");
}

TEST(Report, TimeIsRoundedToSinglePrecisionBeforePrinting) {
  RunParams p;
  // In double precision 99.9995 s would print as 99.999.
  for (auto [ticks, shown] : {std::pair{99999500L, "100.000"}, {0L, "0.000"}}) {
    const BestSet best{{0}, 1.0, 0, ticks, 0};
    const std::string block = capture([&](FILE* f) { report_result(kMavu2, p, best, f); });
    EXPECT_NE(block.find(std::string("\n#besttime=") + shown + "\n"), std::string::npos) << block;
  }
}

}  // namespace
