// The two search loops (mavu1/search.h, mavu2/search.h): stopping rules, the
// restart rule, the adaptive gain threshold of mavu1, and the quality the
// programs should reach.  (The moves and restarts they call are audited in
// test_invariants.)
#include <algorithm>
#include <fstream>
#include <limits>
#include <map>
#include <type_traits>

#include "mavu1/search.h"
#include "mavu2/search.h"
#include "support.h"

namespace {

SearchParams make_params(int max_iter, int depth = 4000, int prob = 70,
                         double target = std::numeric_limits<double>::infinity()) {
  SearchParams p;
  p.para_max_iter = max_iter, p.para_depth = depth, p.para_directed_prob = prob, p.para_opt = target;
  p.para_seed = 1;
  return p;
}

// Every pair adjacent: the first construction takes every vertex, and no
// list ever holds a vertex, so no iteration moves or draws.
InputGraph complete_input(int n) {
  InputGraph in;
  in.n = n;
  for (int i = 0; i < n; i++) {
    for (int j = i + 1; j < n; j++) in.add_edge(i, j);
    in.weights.push_back(1.0 + i);
  }
  return in;
}

// A heavy triangle {0,1,2} (weight 10 each), a light one {3,4,5} and an
// isolated vertex 6 (weight 1 each).  A construction scripted {0, 0, 0}
// takes the heavy triangle, one scripted {3, 0, 0} the light one.
InputGraph triangles() {
  InputGraph in;
  in.n = 7;
  in.edges = {0, 1, 0, 2, 1, 2, 3, 4, 3, 5, 4, 5};
  in.weights = {10, 10, 10, 1, 1, 1, 1};
  return in;
}

template <class S>
class BothLoops : public ::testing::Test {};
using LoopStates = ::testing::Types<Mavu1State<ScriptedRng>, Mavu2State<ScriptedRng>>;
TYPED_TEST_SUITE(BothLoops, LoopStates);

TYPED_TEST(BothLoops, NoIterationWithoutIterationsOrTime) {
  ConflictGraph g;
  build(g, random_input_graph(40, 0.5, 7, false));
  TypeParam twin;  // what the first construction alone produces and draws
  init_data(twin, g, make_params(0));
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
// ends the loop before cur_iter advances; a construction reaching it does not.
TYPED_TEST(BothLoops, TargetEndsTheLoopInTheIterationThatReachesIt) {
  ConflictGraph g;
  build(g, triangles());
  const struct {
    int first;  // first vertex of the construction
    double target;
    int iters, best_iter;
    double best;
  } cases[] = {{0, 30, 50, 0, 30}, {3, 10, 0, 0, 10}, {3, 25, 2, 2, 30}, {3, 1e9, 50, 2, 30}};
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
  build(g, complete_input(8));
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
      {4, 4, 0, {}, 0},           {5, 4, 0, {}, random},          {9, 4, 0, {}, random},
      {10, 4, 0, {}, 2 * random}, {7, 0, 0, {}, 7 * random},      {4000, 4000, 0, {}, 0},
      {4001, 4000, 0, {}, random}, {30, 2, 100, {}, 10 * directed}, {30, 2, 150, {}, 10 * directed},
      {30, 2, -5, {}, 10 * random}, {3, 2, 70, {69}, directed},    {3, 2, 70, {70}, random},
      {6, 2, 70, {169, 0}, 2 * directed},
  };
  for (const auto& c : cases)
    EXPECT_EQ(restart_draws<TypeParam>(c.iters, c.depth, c.prob, c.kind_draws), c.draws)
        << c.iters << " iterations, depth " << c.depth << ", probability " << c.prob;
}

// mavu1 clears tabu_lst after a directed restart, so the search resumes with
// no tabu vertex; mavu2 clears it before, so the restart's own drop (tenure
// 1) stays tabu for one more iteration.
TYPED_TEST(BothLoops, TabuMarksAfterADirectedRestart) {
  ConflictGraph g;
  build(g, triangles());
  TypeParam s;
  s.rng.script = {0, 0, 0};
  // Iteration 1 pushes a light vertex (dropping the heavy triangle with
  // tenures of at least 7), then a directed restart pushes once more.
  solve(s, g, make_params(1, 0, 100));
  ASSERT_EQ(s.cur_c_set->vnum, 1);
  const long cleared = std::count(s.tabu_lst.begin(), s.tabu_lst.end(), 0);
  const long tenure_one = std::count(s.tabu_lst.begin(), s.tabu_lst.end(), s.cur_iter + 1);
  constexpr bool mavu1 = std::is_same_v<typename TypeParam::Profile, Mavu1Profile>;
  EXPECT_EQ(cleared, mavu1 ? 7 : 6);
  EXPECT_EQ(tenure_one, mavu1 ? 0 : 1);
}

// mavu1's gain threshold ------------------------------------------------------

TEST(Mavu1Window, StepFromTheHitsOfAWindow) {
  for (auto [hits, step] : {std::pair{0, -1}, {949, -1}, {950, 0}, {970, 0}, {990, 0}, {991, 1}, {1000, 1}})
    EXPECT_EQ(window_step(hits), step) << hits;
}

// On a complete input graph no iteration takes a vertex from a list: every
// window has 0 hits and lowers the threshold, and restarts (every 11
// iterations, both kinds) do not reset the window.  On an edgeless one C is
// one vertex and every other vertex, of equal weight, has gain 0: at
// threshold 0 they sit in rest_lst (no hits: down to -1), at -1 in cand_lst,
// where nearly every move is a hit (back up to 0).
TEST(Mavu1Window, ThresholdStepsAtTheEndOfEachWindow) {
  ConflictGraph complete, edgeless;
  build(complete, complete_input(6));
  InputGraph in{60, {}, std::vector<double>(60, 2.0)};
  build(edgeless, in);
  const struct {
    const ConflictGraph* g;
    int iters, depth, prob;
    double thresh;
  } cases[] = {{&complete, 999, 10, 50, 0},           {&complete, 1000, 10, 50, -1},
               {&complete, 3000, 10, 50, -3},          {&edgeless, 1000, 1000000000, 100, -1},
               {&edgeless, 2000, 1000000000, 100, 0},  {&edgeless, 3000, 1000000000, 100, -1}};
  for (const auto& c : cases) {
    Mavu1State<ScriptedRng> s;
    solve(s, *c.g, make_params(c.iters, c.depth, c.prob));
    EXPECT_EQ(s.cand_thresh, c.thresh) << c.iters << (c.g == &complete ? " complete" : " edgeless");
  }
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
      {{}, {0, 1}, {-1.8, -0.2}, 0, kEstimate, 0, {}, {0, 1}},
      {{}, {0, 1, 2, 3}, {-1, -20, -2, -9}, 0, kEstimate, -4, {0, 2}, {3, 1}},
      {{0}, {}, {-1, -2}, 0, kEstimate, 0, {0}, {}},
      {{}, {0, 1}, {-1e11, -3e11 - 3}, 0, kEstimate, -100000000000.0, {}, {0, 1}},  // beyond the int range
  };
  for (const auto& c : cases) {
    InputGraph in;
    in.n = static_cast<int>(c.gains.size());
    ConflictGraph g;
    build(g, in);
    Mavu1State<ScriptedRng> s;
    init_data(s, g, make_params(0));
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

// Smoke test of search quality, not a benchmark: with fixed seeds and an
// iteration bound both loops reach the best-known weight of the bundled
// instances on which that takes a few thousand iterations.
TEST(Quality, BothLoopsReachTheBestKnownWeights) {
  const std::string data = MAVU_TEST_DATA_DIR;
  std::map<std::string, double> known;
  std::ifstream in(data + "/best_known.tsv");
  std::string name, n, m, weight, rest;
  std::getline(in, rest);  // header
  while (in >> name >> n >> m >> weight && std::getline(in, rest)) known[name] = std::stod(weight);
  for (const std::string instance : {"C125.9", "brock200_2", "keller4", "hamming8-4"}) {
    ASSERT_EQ(known.count(instance), 1u) << instance;
    ConflictGraph g;
    ASSERT_EQ(load_conflict_graph((data + "/" + instance + ".clq").c_str(), g).status, LoadStatus::ok);
    for (int seed : {1, 2, 3}) {
      SearchParams p = make_params(20000);
      p.para_seed = seed;
      Mavu1State<CRand> s1;
      Mavu2State<CRand> s2;
      solve(s1, g, p), solve(s2, g, p);
      EXPECT_EQ(s1.best_weight, known.at(instance)) << instance << " seed " << seed;
      EXPECT_EQ(s2.best_weight, known.at(instance)) << instance << " seed " << seed;
    }
  }
}

}  // namespace
