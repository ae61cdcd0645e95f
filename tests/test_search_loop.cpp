// The search loop of both programs (mavu/search.h): stopping rules, the
// restart rule and the adaptive gain threshold of mavu1.  (The moves and
// restarts they call are audited in test_invariants; whole trajectories,
// tabu marks and search quality are pinned by the reference runs.)
#include <limits>

#include "mavu/search.h"
#include "support.h"

namespace {

SearchParams make_params(int max_iter, int depth = 4000, int prob = 70,
                         double target = std::numeric_limits<double>::infinity()) {
  SearchParams p;
  p.para_max_iter = max_iter, p.para_depth = depth, p.para_directed_prob = prob, p.para_opt = target;
  p.para_seed = 1;
  return p;
}

template <class S>
class BothLoops : public ::testing::Test {};
using LoopStates = ::testing::Types<Mavu1State<ScriptedRng>, Mavu2State<ScriptedRng>>;
TYPED_TEST_SUITE(BothLoops, LoopStates);

TYPED_TEST(BothLoops, NoIterationWithoutIterationsOrTime) {
  ConflictGraph g;
  build(g, random_input_graph(40, 0.5, 7, false));
  TypeParam twin;  // what the first construction alone produces and draws
  ASSERT_TRUE(init_data(twin, g, make_params(0)));
  random_construction(twin);
  for (auto [bound, seconds] : {std::pair{0, 100}, {-1, 100}, {1000000, 0}, {1000000, -5}}) {
    TypeParam s;
    SearchParams p = make_params(bound);
    p.para_max_seond = seconds;
    solve(s, g, p);
    EXPECT_EQ(s.cur_iter, 0) << "bound " << bound << " seconds " << seconds;
    EXPECT_EQ(s.best_weight, twin.best_weight);
    EXPECT_EQ(s.rng.drawn, twin.rng.drawn);  // the loop drew nothing
  }
}

// The target is tested after a push that sets a new best, and that iteration
// ends the loop before cur_iter advances; a first construction reaching it
// ends the run before its first iteration.
TYPED_TEST(BothLoops, TargetEndsTheLoopInTheIterationThatReachesIt) {
  // A heavy triangle {0,1,2} (weight 10 each), a light one {3,4,5} and an
  // isolated vertex 6 (weight 1 each): a construction scripted {0, 0, 0}
  // takes the heavy triangle, one scripted {3, 0, 0} the light one.
  ConflictGraph g;
  build(g, InputGraph{7, {0, 1, 0, 2, 1, 2, 3, 4, 3, 5, 4, 5}, {10, 10, 10, 1, 1, 1, 1}});
  const struct {
    int first;  // first vertex of the construction
    double target;
    int iters, best_iter;
    double best;
  } cases[] = {{0, 30, 0, 0, 30}, {0, 31, 50, 0, 30}, {3, 10, 0, 0, 10}, {3, 25, 2, 2, 30}, {3, 1e9, 50, 2, 30}};
  for (const auto& c : cases) {
    TypeParam s;
    s.rng.script = {c.first, 0, 0};
    solve(s, g, make_params(50, 1000, 0, c.target));
    EXPECT_EQ(s.cur_iter, c.iters) << "target " << c.target;
    EXPECT_EQ(s.best_iter, c.best_iter) << "target " << c.target;
    EXPECT_EQ(s.best_weight, c.best) << "target " << c.target;
  }
}

// Integer weights times a power of two: every gain, sum and comparison scales
// exactly, and mavu2's rules read only gains and conflict counts, so the run
// is the same.  The scaled gains fall far below -2^31, and the scaled sets
// weigh more than 999,999,999 long before the iteration bound.
TEST(Mavu2Scale, WeightsTimesAPowerOfTwoGiveTheSameRun) {
  InputGraph in = random_input_graph(300, 0.5, 11, false);
  ConflictGraph g, scaled_g;
  build(g, in);
  for (double& w : in.weights) w *= 0x1p30;
  build(scaled_g, in);
  Mavu2State<CRand> s, scaled;
  solve(s, g, make_params(200000));
  solve(scaled, scaled_g, make_params(200000));
  EXPECT_EQ(scaled.cur_iter, 200000);
  EXPECT_EQ(scaled.best_iter, s.best_iter);
  EXPECT_EQ(scaled.best_weight, s.best_weight * 0x1p30);
  EXPECT_EQ(scaled.best_vertex, s.best_vertex);
}

// On a complete input graph the draws after the first construction are
// exactly those of the restarts: one draw decides the kind; a directed
// restart finds nothing to push; a random restart draws once per vertex.
template <class S>
size_t restart_draws(int iters, int depth, int prob, std::initializer_list<int> kind_draws = {}) {
  ConflictGraph g;
  build(g, random_input_graph(8, 1.0, 1, false));
  S s;
  s.rng.script.assign(8, 0);
  s.rng.script.insert(s.rng.script.end(), kind_draws);
  solve(s, g, make_params(iters, depth, prob));
  EXPECT_EQ(s.cur_iter, iters);
  return s.rng.draws() - 8;
}

// A restart comes when the stall counter exceeds the depth; its first draw
// (mod 100) below the directed probability makes it directed.
TYPED_TEST(BothLoops, RestartRule) {
  const size_t directed = 1, random = 1 + 8;
  const struct {
    int iters, depth, prob;
    std::initializer_list<int> kind_draws;
    size_t draws;
  } cases[] = {
      {4, 4, 0, {}, 0},          {5, 4, 0, {}, random},           {9, 4, 0, {}, random},
      {10, 4, 0, {}, 2 * random}, {7, 0, 0, {}, 7 * random},       {30, 2, 100, {}, 10 * directed},
      {30, 2, 150, {}, 10 * directed}, {30, 2, -5, {}, 10 * random}, {3, 2, 70, {69}, directed},
      {3, 2, 70, {70}, random},   {6, 2, 70, {169, 0}, 2 * directed},
  };
  for (const auto& c : cases)
    EXPECT_EQ(restart_draws<TypeParam>(c.iters, c.depth, c.prob, c.kind_draws), c.draws)
        << c.iters << " iterations, depth " << c.depth << ", probability " << c.prob;
}

// mavu1's gain threshold ------------------------------------------------------

TEST(Mavu1Window, StepFromTheHitsOfAWindow) {
  for (auto [hits, step] : {std::pair{0, -1}, {949, -1}, {950, 0}, {970, 0}, {990, 0}, {991, 1}, {1000, 1}})
    EXPECT_EQ(window_step(hits), step) << hits;
}

// adjust_thresh (shift) and estimate_init_thresh read only the gains and the
// two lists they divide, which the test sets by hand.
TEST(Mavu1Threshold, ShiftsAndEstimatesMoveMembersInScanOrder) {
  constexpr int kEstimate = 99;
  const struct {
    std::vector<int> cand, rest;
    std::vector<double> gains;
    double thresh;
    int shift;
    double want_thresh;
    std::vector<int> want_cand, want_rest;
  } cases[] = {
      // A removal brings the last member into the scanned position, which is examined again.
      {{}, {0, 1, 2, 3}, {-1, -5, -1, -1}, 0, -2, -2, {0, 3, 2}, {1}},
      {{0, 1, 2, 3, 4}, {}, {-3, -1, -4, -1, -2}, -5, 3, -2, {3, 1}, {0, 4, 2}},  // at or below it: out
      // The estimate: half the mean gain of rest_lst, truncated toward zero; 0 for an empty rest_lst.
      {{}, {0, 1}, {-7.6, -7.6}, 0, kEstimate, -3, {}, {0, 1}},
      {{}, {0, 1, 2, 3}, {-1, -20, -2, -9}, 0, kEstimate, -4, {0, 2}, {3, 1}},
      {{0}, {}, {-1, -2}, 0, kEstimate, 0, {0}, {}},
      {{}, {0, 1}, {-1e11, -3e11 - 3}, 0, kEstimate, -100000000000.0, {}, {0, 1}},  // beyond the int range
  };
  for (const auto& c : cases) {
    ConflictGraph g;
    build(g, InputGraph{static_cast<int>(c.gains.size()), {}, {}});
    Mavu1State<ScriptedRng> s;
    ASSERT_TRUE(init_data(s, g, make_params(0)));
    ral_clear(s.pos_lst);
    for (int v : c.cand) ral_add(s.cand_lst, v);
    for (int v : c.rest) ral_add(s.rest_lst, v);
    s.dweight = c.gains;
    s.cand_thresh = c.thresh;
    if (c.shift == kEstimate) estimate_init_thresh(s);
    else adjust_thresh(s, c.shift);
    SCOPED_TRACE(testing::PrintToString(c.gains) + " shift " + std::to_string(c.shift));
    EXPECT_EQ(s.cand_thresh, c.want_thresh);
    EXPECT_EQ(items(s.cand_lst), c.want_cand);
    EXPECT_EQ(items(s.rest_lst), c.want_rest);
  }
}

}  // namespace
