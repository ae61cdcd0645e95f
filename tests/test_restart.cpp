// Construction and directed restart: the draws of the random greedy
// construction, when it records a best, and the length, list preference and
// side effects of the directed restart; what reinit_data keeps.
#include <atomic>
#include <tuple>
#include <type_traits>

#include "core_fixture.h"

template <class P>
class Restart : public ::testing::Test {};
TYPED_TEST_SUITE(Restart, CoreProfiles, CoreProfileNames);

TYPED_TEST(Restart, ConstructionDrawsOncePerVertexAndRecordsOnlyAStrictlyHeavierSet) {
  Core<TypeParam> c(no_conflicts({1, 2, 3, 4}));
  auto& s = c.s;
  s.cur_iter = 9;
  // Candidates [0 1 2 3] -> 5 mod 4 = 1; [0 3 2] -> 0; [2 3] -> 7 mod 2 = 1; [2] -> 123 mod 1 = 0.
  c.rng().script = {5, 0, 7, 123};
  random_construction(s);
  EXPECT_EQ(c.members(), (std::vector<int>{1, 0, 3, 2}));
  EXPECT_EQ(c.rng().draws(), 4u);
  EXPECT_EQ(std::vector<int>(s.best_vertex.begin(), s.best_vertex.begin() + 4), c.members());
  EXPECT_EQ(s.best_weight, 10.0);
  EXPECT_EQ(s.best_iter, 9);

  reinit_data(s);  // same weight again: nothing recorded
  s.cur_iter = 42;
  c.rng().script = {0, 0, 0, 0};
  random_construction(s);
  EXPECT_EQ(c.members(), (std::vector<int>{0, 3, 2, 1}));
  EXPECT_EQ(s.best_iter, 9);
  EXPECT_EQ(s.best_vertex[0], 1);

  reinit_data(s);  // strictly heavier: recorded
  s.best_weight = 9.5;
  random_construction(s);
  EXPECT_EQ(s.best_iter, 42);
  EXPECT_EQ(s.best_weight, 10.0);

  InputGraph edgeless;  // every pair conflicts: one vertex, one draw
  edgeless.n = 7;
  Core<TypeParam> e(edgeless);
  e.rng().script = {10};  // 10 mod 7 = 3
  random_construction(e.s);
  EXPECT_EQ(e.members(), (std::vector<int>{3}));
  EXPECT_EQ(e.rng().draws(), 1u);
}

// C = {0, 1} (weight 5 each); 2..5 (weights 3 6 6 2) conflict with both and
// with each other, so with either partition they all start in rest_lst.
TYPED_TEST(Restart, DirectedRestartMakesLPushesWithLFixedAtEntry) {
  Core<TypeParam> c(with_conflicts(6, {{0, 2}, {0, 3}, {0, 4}, {0, 5}, {1, 2}, {1, 3}, {1, 4}, {1, 5},
                                       {2, 3}, {2, 4}, {2, 5}, {3, 4}, {3, 5}, {4, 5}},
                                   {5, 5, 3, 6, 6, 2}));
  auto& s = c.s;
  EXPECT_EQ(directed_restart(s), 0);  // empty C: L = 0
  c.add({0, 1});
  ASSERT_EQ(s.cand_lst->vnum, 0);
  s.best_weight = 10;
  s.cur_iter = 20;
  // Step 1 (from rest_lst): 3 and 4 tie at -4; the odd draw keeps 3, which
  // drops both members, leaving |C| = 1.  Step 2: 0 and 1 are tabu; 4 (gain 0) beats 2 and 5.
  c.rng().script = {1};
  EXPECT_EQ(directed_restart(s), 2);
  EXPECT_EQ(c.rng().draws(), 1u);
  EXPECT_EQ(c.members(), (std::vector<int>{4}));
  for (int u : {0, 1, 3}) EXPECT_EQ(s.tabu_lst[u], 21) << u;
  EXPECT_EQ(s.cur_iter, 20);
  EXPECT_EQ(s.best_weight, 10.0);
  EXPECT_EQ(audit_state(s), "");
}

// 2 conflicts only with member 0 (gain -3), 3 with both members (gain -1),
// 4 with nothing (gain 7, never consulted).  Only the conflict partition
// puts 2 in cand_lst, which is tried before rest_lst.
TYPED_TEST(Restart, DirectedRestartPrefersCandAndIgnoresPos) {
  SearchParams params;
  params.para_gama = 50;  // L = 2 * 50 / 100 = 1
  Core<TypeParam> c(with_conflicts(5, {{0, 2}, {0, 3}, {1, 3}}, {5, 5, 2, 9, 7}), params);
  c.add({0, 1});
  EXPECT_EQ(directed_restart(c.s), 1);
  const int pushed = std::derived_from<TypeParam, Mavu2Profile> ? 2 : 3;
  EXPECT_EQ(c.s.is_in_c[pushed], 1);
  EXPECT_EQ(c.s.is_in_c[4], 0);
  EXPECT_EQ(c.rng().draws(), 0u);
}

// reinit_data empties C and puts every vertex back in pos_lst in ascending
// order, and keeps cur_iter, the best record, the hints and the threshold.
TYPED_TEST(Restart, ReinitKeepsIterationBestHintsAndThreshold) {
  Core<TypeParam> c(random_input_graph(20, 0.4, 8, false));
  auto& s = c.s;
  random_construction(s);
  for (int v = 0; v < 20; v++, s.cur_iter++)
    if (!s.is_in_c[v]) pushWithTabu(s, v, 0);
  s.cand_thresh = -3;
  ASSERT_NE(s.pre_adj, std::vector<int>(20, 0));
  const auto kept = std::tuple(s.cur_iter, s.best_weight, s.best_iter, s.best_size, s.best_vertex, s.pre_adj);
  reinit_data(s);
  EXPECT_EQ(std::tuple(s.cur_iter, s.best_weight, s.best_iter, s.best_size, s.best_vertex, s.pre_adj), kept);
  EXPECT_EQ(s.cand_thresh, -3.0);
  std::vector<int> all(20);
  for (int v = 0; v < 20; v++) all[v] = v;
  EXPECT_EQ(items(s.pos_lst), all);
  EXPECT_EQ(s.tabu_lst, std::vector<int>(20, 0));
  EXPECT_EQ(audit_state(s), "");
}

// A stop request or a spent time limit ends a directed restart and a
// construction made as a restart after their first push (on large independent-set instances either
// would otherwise make |C| pushes past the limit), leaving a valid state.
TYPED_TEST(Restart, ConstructionAndDirectedRestartEndAtAStopOrTheTimeLimit) {
  for (const bool by_stop : {true, false}) {
    SCOPED_TRACE(by_stop ? "stop request" : "time limit");
    std::vector<std::pair<int, int>> pairs;  // 2i conflicts with 2i + 1: C maximal at 15
    for (int i = 0; i < 30; i += 2) pairs.push_back({i, i + 1});
    Core<TypeParam> c(with_conflicts(30, pairs, std::vector<double>(30, 1.0)));
    auto& s = c.s;
    std::atomic<int> stop{0};
    s.env.stop = &stop;
    if (by_stop)
      stop.store(1);
    else
      s.time_limit = make_cpu_limit(0.0f, s.env.cpu_clock, s.start_time);
    random_construction(s);  // the first one, before any iteration, completes
    ASSERT_EQ(s.cur_c_set->vnum, 15);
    EXPECT_EQ(directed_restart(s), 1);
    reinit_data(s);
    s.cur_iter = 1;  // a restart
    random_construction(s);
    EXPECT_EQ(s.cur_c_set->vnum, 1);
    EXPECT_EQ(audit_state(s), "");
  }
}
