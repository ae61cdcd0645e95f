// The two search loops (mavu1/search.h, mavu2/search.h): stopping rules, the
// adaptive gain threshold of mavu1, the restart rule, the invariants kept
// across whole runs, and end-to-end determinism and quality of the programs.
#include "support.h"  // brings core/audit.h, whose MAVU_AUDIT_STATE is replaced below

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <type_traits>
#include <string>
#include <vector>

// Per-iteration hook: both loops end every iteration with MAVU_AUDIT_STATE(s).
// Debug builds abort there on a fault; here the hook records the first fault
// instead, so a failing test names it and the other tests still run.  The
// macro is expanded when the loop templates are read, hence the redefinition
// before the search headers.
namespace hook {
inline bool audit = false;  // audit after every iteration (small graphs only)
inline long calls = 0;      // iterations completed through the hook
inline std::string fault;   // first audit fault, with its iteration
}  // namespace hook

template <class P, class R>
void loop_hook(const SearchState<P, R>& s) {
  hook::calls++;
  if (!hook::audit || !hook::fault.empty()) return;
  const std::string e = audit_state(s);
  if (!e.empty()) hook::fault = "iteration " + std::to_string(s.cur_iter) + ": " + e;
}

#undef MAVU_AUDIT_STATE
#define MAVU_AUDIT_STATE(s) loop_hook(s)

#include "frontend/report.h"
#include "mavu1/search.h"
#include "mavu2/search.h"

namespace {

struct AuditEveryIteration {
  AuditEveryIteration() {
    hook::audit = true;
    hook::calls = 0;
    hook::fault.clear();
  }
  ~AuditEveryIteration() { hook::audit = false; }
};

SearchParams make_params(int max_iter, int depth = 4000, int prob = 70) {
  SearchParams p;
  p.para_max_iter = max_iter;
  p.para_depth = depth;
  p.para_directed_prob = prob;
  p.para_seed = 1;
  return p;
}

// Input graph in which every pair is adjacent: the first construction takes
// every vertex, and no list ever holds a vertex, so no iteration moves.
InputGraph complete_input(int n) {
  InputGraph in;
  in.n = n;
  for (int i = 0; i < n; i++) {
    for (int j = i + 1; j < n; j++) in.add_edge(i, j);
    in.weights.push_back(1.0 + i);
  }
  return in;
}

// A heavy triangle {0,1,2} (weight 10 each), a light triangle {3,4,5} and an
// isolated vertex 6 (weight 1 each).  With the construction scripted to start
// at vertex 0 the first set is the heavy triangle, already the optimum, so
// every later iteration is a stall.
InputGraph two_triangles_and_isolated() {
  InputGraph in;
  in.n = 7;
  for (int base : {0, 3})
    for (int i = 0; i < 3; i++)
      for (int j = i + 1; j < 3; j++) in.add_edge(base + i, base + j);
  in.weights = {10, 10, 10, 1, 1, 1, 1};
  return in;
}

std::vector<int> members(const ST_RandAccessList* l) { return std::vector<int>(l->vlist, l->vlist + l->vnum); }

template <class S>
std::vector<int> best_set(const S& s) {
  return std::vector<int>(s.best_vertex.begin(), s.best_vertex.begin() + s.best_size);
}

template <class S>
double weight_of_best(const S& s) {
  double w = 0;
  for (int v : best_set(s)) w += s.g->v_weight[v];
  return w;
}

// ---------------------------------------------------------------------------
// Rules shared by both loops, run for each program's state.

template <class S>
class BothLoops : public ::testing::Test {};
using LoopStates = ::testing::Types<Mavu1State<ScriptedRng>, Mavu2State<ScriptedRng>>;
class LoopNames {
 public:
  template <class S>
  static std::string GetName(int) {
    return std::is_same_v<typename S::Profile, Mavu1Profile> ? "mavu1" : "mavu2";
  }
};
TYPED_TEST_SUITE(BothLoops, LoopStates, LoopNames);

// Stopping rules ------------------------------------------------------------

TYPED_TEST(BothLoops, NoIterationBoundLeavesTheFirstConstructionAsBest) {
  ConflictGraph g;
  build(g, random_input_graph(40, 0.5, 7, false));
  // What the first construction alone produces and draws.
  TypeParam twin;
  init_data(twin, g, make_params(0));
  random_construction(twin);
  ASSERT_GT(twin.best_weight, 0.0);

  for (int bound : {0, -1, -1000}) {
    SCOPED_TRACE(bound);
    TypeParam s;
    solve(s, g, make_params(bound));
    EXPECT_EQ(s.cur_iter, 0);
    EXPECT_EQ(s.best_iter, 0);
    EXPECT_EQ(s.best_weight, twin.best_weight);
    EXPECT_EQ(best_set(s), best_set(twin));
    EXPECT_EQ(members(s.cur_c_set), members(twin.cur_c_set));
    EXPECT_EQ(s.rng.drawn, twin.rng.drawn);  // the loop drew nothing
    EXPECT_EQ(audit_state(s), "");
  }
}

TYPED_TEST(BothLoops, NoIterationWithTimeLimitZeroOrNegative) {
  ConflictGraph g;
  build(g, random_input_graph(40, 0.5, 8, true));
  for (int limit : {0, -5}) {
    SCOPED_TRACE(limit);
    TypeParam s;
    SearchParams p = make_params(1000000);
    p.para_max_seond = limit;
    solve(s, g, p);
    EXPECT_EQ(s.cur_iter, 0);
    EXPECT_EQ(s.best_iter, 0);
    EXPECT_GT(s.best_weight, 0.0);
    EXPECT_EQ(s.best_weight, s.cur_weight);
  }
}

TYPED_TEST(BothLoops, TargetReachedByTheConstructionDoesNotStopTheRun) {
  // On a complete input graph the construction is the optimum: a target at or
  // below its weight is met before the loop, which still runs to its bound.
  ConflictGraph g;
  build(g, complete_input(6));  // weight 1+2+...+6 = 21
  for (double target : {21.0, 5.0}) {
    SCOPED_TRACE(target);
    TypeParam s;
    SearchParams p = make_params(300, 20);
    p.para_opt = target;
    solve(s, g, p);
    EXPECT_EQ(s.best_weight, 21.0);
    EXPECT_EQ(s.best_iter, 0);
    EXPECT_EQ(s.cur_iter, 300);
  }
}

TYPED_TEST(BothLoops, IterationReachingTheTargetEndsTheLoopBeforeCounting) {
  int exercised = 0;
  for (unsigned seed = 1; seed <= 6; seed++) {
    SCOPED_TRACE(seed);
    ConflictGraph g;
    build(g, random_input_graph(60, 0.55, seed, seed % 2 == 0));
    // No restarts, so every best after the first construction comes from a push.
    TypeParam free_run;
    free_run.rng.fallback = seed;
    solve(free_run, g, make_params(3000, 1000000000));
    TypeParam first;
    first.rng.fallback = seed;
    init_data(first, g, make_params(0));
    random_construction(first);
    if (!(free_run.best_weight > first.best_weight)) continue;  // construction already optimal
    exercised++;

    // The same run with the final best weight as target stops in the
    // iteration that first reached it, with cur_iter not yet advanced.
    TypeParam s;
    s.rng.fallback = seed;
    SearchParams p = make_params(3000, 1000000000);
    p.para_opt = free_run.best_weight;
    solve(s, g, p);
    EXPECT_EQ(s.best_weight, free_run.best_weight);
    EXPECT_EQ(s.best_iter, free_run.best_iter);
    EXPECT_EQ(s.cur_iter, s.best_iter);
    EXPECT_GE(s.best_weight, p.para_opt);
    // It made exactly the moves of the free run up to there.
    ASSERT_LE(s.rng.draws(), free_run.rng.draws());
    EXPECT_TRUE(std::equal(s.rng.drawn.begin(), s.rng.drawn.end(), free_run.rng.drawn.begin()));
    EXPECT_EQ(best_set(s), std::vector<int>(free_run.best_vertex.begin(),
                                            free_run.best_vertex.begin() + free_run.best_size));

    // A target between two recorded bests stops at the first best above it.
    SearchParams q = p;
    q.para_opt = first.best_weight + 1e-3;
    TypeParam t;
    t.rng.fallback = seed;
    solve(t, g, q);
    EXPECT_GE(t.best_weight, q.para_opt);
    EXPECT_EQ(t.cur_iter, t.best_iter);
    EXPECT_LE(t.best_iter, free_run.best_iter);
  }
  EXPECT_GE(exercised, 3);
}

// Restart rule --------------------------------------------------------------
// On a complete input graph no iteration draws anything, so the draws after
// the first construction are exactly those of the restarts: one draw decides
// the kind; a directed restart finds nothing to push and draws no more; a
// random restart rebuilds all n vertices with one draw each.

template <class S>
size_t draws_after_construction(const ConflictGraph& g, const SearchParams& p, std::deque<int> script = {}) {
  S s;
  s.rng.script = std::move(script);
  solve(s, g, p);
  EXPECT_EQ(s.cur_iter, p.para_max_iter);
  EXPECT_EQ(audit_state(s), "");
  return s.rng.draws() - static_cast<size_t>(g.n_vertex);
}

TYPED_TEST(BothLoops, RestartWhenTheStallCounterExceedsTheDepth) {
  ConflictGraph g;
  const int n = 8;
  build(g, complete_input(n));
  const size_t random_restart_draws = 1 + n;
  // Depth 4: the stall counter reaches 5 in iteration 5, 10, ...
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(4, 4, 0)), 0u);
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(5, 4, 0)), random_restart_draws);
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(9, 4, 0)), random_restart_draws);
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(10, 4, 0)), 2 * random_restart_draws);
  // Depth 0 restarts after every iteration.
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(7, 0, 0)), 7 * random_restart_draws);
  // The built-in depth: the restart comes in iteration 4001.
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(4000, 4000, 0)), 0u);
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(4001, 4000, 0)), random_restart_draws);
}

TYPED_TEST(BothLoops, DirectedProbabilityDecidesTheKindOfRestart) {
  ConflictGraph g;
  const int n = 8;
  build(g, complete_input(n));
  const size_t directed = 1, random = 1 + n;
  for (int prob : {100, 150})  // every restart directed, whatever the draw
    EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(30, 2, prob)), 10 * directed) << prob;
  for (int prob : {0, -5})  // none directed
    EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(30, 2, prob)), 10 * random) << prob;

  // With 70, a draw of 69 (mod 100) is directed and 70 is not.
  const std::deque<int> construction(n, 0);
  auto script = [&](std::initializer_list<int> restart_draws_and_rest) {
    std::deque<int> d = construction;
    d.insert(d.end(), restart_draws_and_rest);
    return d;
  };
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(3, 2, 70), script({69})), directed);
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(3, 2, 70), script({70})), random);
  EXPECT_EQ(draws_after_construction<TypeParam>(g, make_params(6, 2, 70), script({169, 0, 0, 0, 0, 0, 0, 0, 0})),
            2 * directed);  // 169 % 100 = 69; the second draw, 0, is directed too
}

// The tabu marks after a directed restart: mavu1 clears tabu_lst after the
// restart, so the search resumes with no tabu vertex; mavu2 clears it before,
// so the restart's own drops (tenure 1) stay tabu for one more iteration.
TYPED_TEST(BothLoops, TabuMarksAfterADirectedRestart) {
  constexpr bool mavu1 = std::is_same_v<typename TypeParam::Profile, Mavu1Profile>;
  ConflictGraph g;
  build(g, two_triangles_and_isolated());
  TypeParam s;
  s.rng.script = {0, 0, 0};             // construction: the heavy triangle
  solve(s, g, make_params(1, 0, 100));  // one stalling iteration, then a directed restart
  ASSERT_EQ(s.cur_iter, 1);
  EXPECT_EQ(s.best_weight, 30.0);
  EXPECT_EQ(audit_state(s), "");
  // Iteration 1 pushed a light vertex (dropping the heavy triangle with
  // tenures of at least 7); the restart pushed one more vertex, dropping the
  // single member with tenure 1, i.e. tabu until cur_iter + 1.
  int cleared = 0, tenure_one = 0;
  for (int v = 0; v < g.n_vertex; v++) {
    if (s.tabu_lst[v] == 0) cleared++;
    if (s.tabu_lst[v] == s.cur_iter + 1) tenure_one++;
  }
  if (mavu1) {
    EXPECT_EQ(cleared, g.n_vertex);
  } else {
    EXPECT_EQ(tenure_one, 1);
    EXPECT_EQ(cleared, g.n_vertex - 1);
  }
  EXPECT_EQ(s.cur_c_set->vnum, 1);  // the restart's push replaced the single member
}

TYPED_TEST(BothLoops, RandomRestartRebuildsAMaximalSetFromScratch) {
  ConflictGraph g;
  build(g, two_triangles_and_isolated());
  TypeParam s;
  s.rng.script = {0, 0, 0};
  solve(s, g, make_params(1, 0, 0));  // one stalling iteration, then a random restart
  ASSERT_EQ(s.cur_iter, 1);
  EXPECT_EQ(audit_state(s), "");
  for (int v = 0; v < g.n_vertex; v++) EXPECT_EQ(s.tabu_lst[v], 0) << v;
  // Maximal: every non-member conflicts with some member.
  for (int v = 0; v < g.n_vertex; v++) {
    if (!s.is_in_c[v]) {
      EXPECT_GT(s.adj_num_in_c[v], 0) << v;
    }
  }
}

// Invariants under whole runs ------------------------------------------------

TYPED_TEST(BothLoops, InvariantsHoldAfterEveryIteration) {
  AuditEveryIteration guard;
  int runs = 0;
  for (bool fractional : {false, true})
    for (double density : {0.2, 0.5, 0.85})
      for (int depth : {3, 25})
        for (int prob : {0, 50, 100}) {
          const unsigned seed = static_cast<unsigned>(100 + runs);
          SCOPED_TRACE(::testing::Message() << "fractional " << fractional << " density " << density << " depth "
                                            << depth << " prob " << prob);
          ConflictGraph g;
          build(g, random_input_graph(35, density, seed, fractional));
          TypeParam s;
          s.rng.fallback = seed;
          hook::calls = 0;
          solve(s, g, make_params(1200, depth, prob));
          ASSERT_EQ(hook::fault, "");
          EXPECT_EQ(hook::calls, 1200);
          EXPECT_EQ(s.cur_iter, 1200);
          EXPECT_EQ(audit_state(s), "");
          // The best record is a conflict-free set of the recorded weight.
          EXPECT_TRUE(check_solution(g, s.best_vertex.data(), s.best_size, s.best_weight,
                                     TypeParam::Profile::kTieTolerance));
          EXPECT_NEAR(weight_of_best(s), s.best_weight, 1e-9);
          if constexpr (std::is_same_v<typename TypeParam::Profile, Mavu1Profile>) {
            EXPECT_EQ(s.cand_thresh, std::trunc(s.cand_thresh));
          } else {
            EXPECT_EQ(s.con_thresh, 1);
          }
          runs++;
        }
}

// ---------------------------------------------------------------------------
// mavu1's gain threshold.

TEST(Mavu1Window, StepFromTheHitsOfAWindow) {
  EXPECT_EQ(window_step(0), -1);
  EXPECT_EQ(window_step(949), -1);
  EXPECT_EQ(window_step(950), 0);
  EXPECT_EQ(window_step(970), 0);
  EXPECT_EQ(window_step(990), 0);
  EXPECT_EQ(window_step(991), 1);
  EXPECT_EQ(window_step(1000), 1);
}

TEST(Mavu1Window, WindowsEndOnMultiplesOfTheirLengthAcrossRestarts) {
  // Complete input graph: no iteration takes a vertex from any list, so every
  // window has 0 hits and lowers the threshold by one.  Restarts (every 11
  // iterations here, both kinds) do not reset the window.
  ConflictGraph g;
  build(g, complete_input(6));
  const std::map<int, double> expected = {{999, 0}, {1000, -1}, {1001, -1}, {2999, -2}, {3000, -3}};
  for (auto [iters, thresh] : expected) {
    Mavu1State<ScriptedRng> s;
    solve(s, g, make_params(iters, 10, 50));
    EXPECT_EQ(s.cand_thresh, thresh) << iters;
    EXPECT_EQ(audit_state(s), "");
  }
}

TEST(Mavu1Window, ThresholdMovesBothWaysOnAnEdgelessGraph) {
  // No input edge: C is one vertex and every other vertex, of equal weight,
  // has gain 0.  At threshold 0 they all sit in rest_lst (no hits: the
  // threshold drops to -1); at -1 they all sit in cand_lst and nearly every
  // move is a hit (the threshold rises back to 0).
  InputGraph in;
  in.n = 60;
  in.weights.assign(60, 2.0);
  ConflictGraph g;
  build(g, in);
  std::vector<double> seen;
  for (int windows = 1; windows <= 4; windows++) {
    Mavu1State<ScriptedRng> s;
    solve(s, g, make_params(1000 * windows, 1000000000, 100));
    seen.push_back(s.cand_thresh);
    EXPECT_EQ(audit_state(s), "");
  }
  EXPECT_EQ(seen, (std::vector<double>{-1, 0, -1, 0}));
}

// A state over an edgeless input graph whose lists and gains the test sets
// directly (adjust_thresh and estimate_init_thresh only read gains and the
// two lists they divide).
struct HandState {
  ConflictGraph g;
  Mavu1State<ScriptedRng> s;
  HandState(std::vector<int> cand, std::vector<int> rest, std::vector<double> gains, double thresh) {
    InputGraph in;
    in.n = static_cast<int>(gains.size());
    build(g, in);
    init_data(s, g, make_params(0));
    ral_clear(s.pos_lst);
    for (int v : cand) ral_add(s.cand_lst, v);
    for (int v : rest) ral_add(s.rest_lst, v);
    s.dweight = gains;
    s.cand_thresh = thresh;
  }
};

TEST(Mavu1Threshold, LoweringMovesRestMembersInScanOrder) {
  // Each removal brings the last member into the scanned position, which is
  // examined again: 0 moves, 3 takes its place and moves, then 2 does.
  HandState h({}, {0, 1, 2, 3}, {-1, -5, -1, -1}, 0.0);
  adjust_thresh(h.s, -2);
  EXPECT_EQ(h.s.cand_thresh, -2.0);
  EXPECT_EQ(members(h.s.cand_lst), (std::vector<int>{0, 3, 2}));
  EXPECT_EQ(members(h.s.rest_lst), (std::vector<int>{1}));
}

TEST(Mavu1Threshold, RaisingMovesCandMembersAtOrBelowIt) {
  HandState h({0, 1, 2, 3, 4}, {}, {-3, -1, -4, -1, -2}, -5.0);
  adjust_thresh(h.s, 3);  // threshold -2: gains -3, -4 and -2 leave cand_lst
  EXPECT_EQ(h.s.cand_thresh, -2.0);
  EXPECT_EQ(members(h.s.cand_lst), (std::vector<int>{3, 1}));
  EXPECT_EQ(members(h.s.rest_lst), (std::vector<int>{0, 4, 2}));
}

TEST(Mavu1Threshold, ZeroShiftMovesNothingWhileThePartitionHolds) {
  HandState h({1, 3}, {0, 2}, {-4, -1, -3, -2}, -3.0);
  adjust_thresh(h.s, 0);
  EXPECT_EQ(h.s.cand_thresh, -3.0);
  EXPECT_EQ(members(h.s.cand_lst), (std::vector<int>{1, 3}));
  EXPECT_EQ(members(h.s.rest_lst), (std::vector<int>{0, 2}));
}

TEST(Mavu1Threshold, ShiftsKeepThePartitionOfRealStates) {
  std::mt19937 pick(5);
  int calls = 0;
  for (unsigned seed = 1; seed <= 12; seed++) {
    ConflictGraph g;
    build(g, random_input_graph(45, 0.3 + 0.05 * seed, seed, seed % 2 == 1));
    Mavu1State<ScriptedRng> s;
    s.rng.fallback = seed;
    solve(s, g, make_params(static_cast<int>(pick() % 400), 15, 50));
    ASSERT_EQ(audit_state(s), "");
    const std::vector<int> c = members(s.cur_c_set), pos = members(s.pos_lst);
    for (int k = 0; k < 25; k++) {
      const int a = static_cast<int>(pick() % 13) - 6;  // -6 .. 6, zero included
      const double before = s.cand_thresh;
      const size_t draws = s.rng.draws();
      adjust_thresh(s, a);
      calls++;
      EXPECT_EQ(s.cand_thresh, before + a);
      ASSERT_EQ(audit_state(s), "") << "seed " << seed << " shift " << a;
      EXPECT_EQ(members(s.cur_c_set), c);
      EXPECT_EQ(members(s.pos_lst), pos);
      EXPECT_EQ(s.rng.draws(), draws);
    }
  }
  EXPECT_EQ(calls, 12 * 25);
}

TEST(Mavu1Threshold, EstimateWithEmptyRestListChangesNothing) {
  ConflictGraph g;
  build(g, complete_input(7));
  Mavu1State<ScriptedRng> s;
  init_data(s, g, make_params(0));
  random_restart(s);
  ASSERT_EQ(s.rest_lst->vnum, 0);
  const size_t draws = s.rng.draws();
  estimate_init_thresh(s);
  EXPECT_EQ(s.cand_thresh, 0.0);
  EXPECT_EQ(s.cand_lst->vnum, 0);
  EXPECT_EQ(s.pos_lst->vnum, 0);
  EXPECT_EQ(s.rng.draws(), draws);
}

TEST(Mavu1Threshold, EstimateTruncatesHalfTheMeanGainTowardZero) {
  {
    HandState h({}, {0, 1}, {-7.6, -7.6}, 0.0);  // half the mean -3.8: threshold -3, not -4
    estimate_init_thresh(h.s);
    EXPECT_EQ(h.s.cand_thresh, -3.0);
    EXPECT_EQ(members(h.s.rest_lst), (std::vector<int>{0, 1}));
  }
  {
    HandState h({}, {0, 1}, {-3.8, -3.8}, 0.0);  // -1.9: threshold -1, not -2
    estimate_init_thresh(h.s);
    EXPECT_EQ(h.s.cand_thresh, -1.0);
    EXPECT_EQ(h.s.cand_lst->vnum, 0);
  }
  {
    HandState h({}, {0, 1}, {-1.8, -0.2}, 0.0);  // -0.5: threshold 0, both stay in rest_lst
    estimate_init_thresh(h.s);
    EXPECT_EQ(h.s.cand_thresh, 0.0);
    EXPECT_EQ(h.s.rest_lst->vnum, 2);
  }
  {
    HandState h({}, {0, 1, 2, 3}, {-1, -20, -2, -9}, 0.0);  // mean -8, half -4: 0 and 2 move
    estimate_init_thresh(h.s);
    EXPECT_EQ(h.s.cand_thresh, -4.0);
    EXPECT_EQ(members(h.s.cand_lst), (std::vector<int>{0, 2}));
    EXPECT_EQ(members(h.s.rest_lst), (std::vector<int>{3, 1}));
  }
}

TEST(Mavu1Threshold, EstimateOnFirstConstructions) {
  for (unsigned seed = 1; seed <= 10; seed++) {
    ConflictGraph g;
    build(g, random_input_graph(50, 0.5, seed, seed % 2 == 0));
    Mavu1State<ScriptedRng> s;
    s.rng.fallback = seed;
    init_data(s, g, make_params(0));
    random_restart(s);
    ASSERT_GT(s.rest_lst->vnum, 0);
    double sum = 0;
    for (int v : members(s.rest_lst)) sum += s.dweight[v];
    const double expected = std::trunc(sum / s.rest_lst->vnum / 2.0);
    estimate_init_thresh(s);
    EXPECT_EQ(s.cand_thresh, expected) << seed;
    EXPECT_LE(s.cand_thresh, 0.0);
    EXPECT_EQ(audit_state(s), "") << seed;
  }
}

// ---------------------------------------------------------------------------
// The programs themselves.

std::string data_file(const std::string& name) { return std::string(MAVU_TEST_DATA_DIR) + "/" + name; }

// Standard output of a command, without the CPU-time line.
std::string run_stdout(const std::string& cmd, int* status = nullptr) {
  FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
  if (!p) return "popen failed";
  std::string out, line;
  char buf[4096];
  while (std::fgets(buf, sizeof buf, p)) {
    line = buf;
    if (line.rfind("#besttime=", 0) != 0) out += line;
  }
  const int st = pclose(p);
  if (status) *status = st;
  return out;
}

std::string field(const std::string& out, const std::string& key) {
  const size_t at = out.find("\n" + key);
  if (at == std::string::npos) return "";
  const size_t from = at + 1 + key.size();
  return out.substr(from, out.find('\n', from) - from);
}

TEST(Programs, SameCommandSameOutput) {
  for (const char* bin : {MAVU1_BIN, MAVU2_BIN}) {
    for (const char* extra : {"-p 100", "-p 0", "-l 50"}) {
      SCOPED_TRACE(std::string(bin) + " " + extra);
      const std::string cmd =
          std::string(bin) + " -f " + data_file("keller4.clq") + " -t 1000 -s 17 -i 30000 -l 300 " + extra;
      int st1 = -1, st2 = -1;
      const std::string a = run_stdout(cmd, &st1), b = run_stdout(cmd, &st2);
      EXPECT_EQ(st1, 0);
      EXPECT_EQ(st2, 0);
      EXPECT_NE(field(a, "#bestiter="), "");
      EXPECT_EQ(a, b);
    }
  }
}

// The in-process loop is the programs' loop: same seed and parameters, same
// best weight found in the same iteration.
TEST(Programs, InProcessRunMatchesTheProgram) {
  ConflictGraph g;
  ASSERT_EQ(load_conflict_graph(data_file("brock200_2.clq").c_str(), g), LoadStatus::ok);
  SearchParams p = make_params(20000, 200, 60);
  p.para_seed = 23;
  const std::string args = " -f " + data_file("brock200_2.clq") + " -t 1000 -s 23 -i 20000 -l 200 -p 60";

  Mavu1State<CRand> s1;
  solve(s1, g, p);
  const std::string out1 = run_stdout(std::string(MAVU1_BIN) + args);
  EXPECT_EQ(field(out1, "#bestiter="), std::to_string(s1.best_iter));
  char w1[64];
  std::snprintf(w1, sizeof w1, "%f", s1.best_weight);
  EXPECT_EQ(field(out1, "#objv="), w1);

  Mavu2State<CRand> s2;
  solve(s2, g, p);
  const std::string out2 = run_stdout(std::string(MAVU2_BIN) + args);
  EXPECT_EQ(field(out2, "#bestiter="), std::to_string(s2.best_iter));
  char w2[64];
  std::snprintf(w2, sizeof w2, "%.5f", s2.best_weight);
  EXPECT_EQ(field(out2, "#objv="), w2);
}

// Smoke test of search quality, not a benchmark: with fixed seeds and an
// iteration bound both loops reach the best-known weight of the bundled
// instances on which that takes a few thousand iterations.  MANN_a27 is left
// out: neither loop reaches its optimum within two million iterations.
std::map<std::string, double> best_known() {
  std::map<std::string, double> known;
  std::ifstream in(data_file("best_known.tsv"));
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string name, n, m, weight;
    std::getline(row, name, '\t');
    std::getline(row, n, '\t');
    std::getline(row, m, '\t');
    std::getline(row, weight, '\t');
    known[name] = std::stod(weight);
  }
  return known;
}

TEST(Quality, BothLoopsReachTheBestKnownWeights) {
  const std::map<std::string, double> known = best_known();
  int checked = 0;
  for (const char* name : {"C125.9", "brock200_2", "keller4", "hamming8-4"}) {
    ASSERT_EQ(known.count(name), 1u) << name;
    ConflictGraph g;
    ASSERT_EQ(load_conflict_graph(data_file(std::string(name) + ".clq").c_str(), g), LoadStatus::ok);
    for (int seed : {1, 2, 3}) {
      SCOPED_TRACE(::testing::Message() << name << " seed " << seed);
      SearchParams p = make_params(20000);
      p.para_seed = seed;
      Mavu1State<CRand> s1;
      solve(s1, g, p);
      EXPECT_EQ(s1.best_weight, known.at(name));
      Mavu2State<CRand> s2;
      solve(s2, g, p);
      EXPECT_EQ(s2.best_weight, known.at(name));
      checked++;
    }
  }
  EXPECT_EQ(checked, 12);
}

}  // namespace
