// Construction and directed restart: the draws of the random greedy
// construction, when it records a best, and the length, list preference and
// side effects of the directed restart; what reinit_data keeps.
#include <random>
#include <type_traits>

#include "core_fixture.h"

template <class P>
class Restart : public ::testing::Test {};
TYPED_TEST_SUITE(Restart, CoreProfiles);

namespace {

// Conflict graph C of the edgeless input: every pair conflicts.
InputGraph all_conflicting(int n) {
  InputGraph in;
  in.n = n;
  in.weights = ascending_weights(n);
  return in;
}

}  // namespace

TYPED_TEST(Restart, ConstructionOnEdgelessInputAddsOneVertexWithOneDraw) {
  Core<TypeParam> c(all_conflicting(7));
  c.rng().script = {10};  // 10 mod 7 = 3
  random_construction(c.s);
  EXPECT_EQ(c.members(), (std::vector<int>{3}));
  EXPECT_EQ(c.rng().draws(), 1u);
  EXPECT_EQ(c.s.best_size, 1);
  EXPECT_EQ(c.s.best_weight, 4.0);
}

TYPED_TEST(Restart, ConstructionOnCompleteInputAddsEveryVertexOneDrawEach) {
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
  EXPECT_EQ(s.cur_iter, 9);
  EXPECT_EQ(s.tabu_lst, std::vector<int>(4, 0));

  // Same weight again: nothing recorded.
  reinit_data(s);
  s.cur_iter = 42;
  c.rng().script = {0, 0, 0, 0};
  random_construction(s);
  EXPECT_EQ(c.members(), (std::vector<int>{0, 3, 2, 1}));
  EXPECT_EQ(s.best_iter, 9);
  EXPECT_EQ(s.best_vertex[0], 1);

  // Strictly heavier: recorded.
  reinit_data(s);
  s.best_weight = 9.5;
  random_construction(s);
  EXPECT_EQ(s.best_iter, 42);
  EXPECT_EQ(s.best_weight, 10.0);
}

TYPED_TEST(Restart, DirectedRestartOfEmptySetDoesNothing) {
  Core<TypeParam> c(no_conflicts({1, 2, 3}));
  EXPECT_EQ(directed_restart(c.s), 0);
  EXPECT_EQ(c.rng().draws(), 0u);
  EXPECT_EQ(c.s.cur_c_set->vnum, 0);
}

// C = {0, 1} (weight 5 each); 2..5 (weights 3 6 6 2) conflict with both and
// with each other, so with either partition they all start in rest_lst and
// cand_lst is empty.
TYPED_TEST(Restart, DirectedRestartMakesLPushesFixedAtEntry) {
  Core<TypeParam> c(with_conflicts(6, {{0, 2}, {0, 3}, {0, 4}, {0, 5}, {1, 2}, {1, 3}, {1, 4}, {1, 5},
                                       {2, 3}, {2, 4}, {2, 5}, {3, 4}, {3, 5}, {4, 5}},
                                   {5, 5, 3, 6, 6, 2}));
  auto& s = c.s;
  c.add({0, 1});
  ASSERT_EQ(s.cand_lst->vnum, 0);
  s.best_weight = 10;
  s.cur_iter = 20;
  // Step 1 (from rest_lst): 3 and 4 tie at -4; the odd draw keeps 3, which
  // drops both members.  Step 2: 0 and 1 are tabu; 4 (gain 0) beats 2 and 5.
  c.rng().script = {1};
  EXPECT_EQ(directed_restart(s), 2);
  EXPECT_EQ(c.rng().draws(), 1u);
  EXPECT_EQ(c.members(), (std::vector<int>{4}));
  EXPECT_EQ(s.tabu_lst[0], 21);
  EXPECT_EQ(s.tabu_lst[1], 21);
  EXPECT_EQ(s.tabu_lst[3], 21);
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
  const int pushed = std::is_same_v<TypeParam, Mavu2Profile> ? 2 : 3;
  EXPECT_EQ(c.s.is_in_c[pushed], 1);
  EXPECT_EQ(c.s.is_in_c[4], 0);
  EXPECT_EQ(c.rng().draws(), 0u);
}

TYPED_TEST(Restart, DirectedRestartNeverExceedsTheSizeOfC) {
  int kept_length_while_shrinking = 0;
  for (unsigned seed = 1; seed <= 30; seed++) {
    Core<TypeParam> c(random_input_graph(30, 0.7, seed, seed % 2 == 1));
    auto& s = c.s;
    random_construction(s);
    const int size = s.cur_c_set->vnum, iter = s.cur_iter, best_iter = s.best_iter;
    const double weight = s.cur_weight, best = s.best_weight;
    const int pushes = directed_restart(s);
    EXPECT_LE(pushes, size);
    EXPECT_LE(s.cur_weight, weight);
    EXPECT_EQ(s.best_weight, best);
    EXPECT_EQ(s.best_iter, best_iter);
    EXPECT_EQ(s.cur_iter, iter);
    ASSERT_EQ(audit_state(s), "");
    if (pushes == size && s.cur_c_set->vnum < size) kept_length_while_shrinking++;
  }
  EXPECT_GT(kept_length_while_shrinking, 0);
}

TYPED_TEST(Restart, DirectedRestartWithEveryCandidateTabuChangesNothing) {
  Core<TypeParam> c(random_input_graph(25, 0.5, 4, true));
  auto& s = c.s;
  random_construction(s);
  ASSERT_EQ(s.best_weight, s.cur_weight);  // no non-positive push can beat it
  s.cur_iter = 3;
  std::fill(s.tabu_lst.begin(), s.tabu_lst.end(), 4);
  const auto members = c.members(), cand = list_members(s.cand_lst), rest = list_members(s.rest_lst);
  const auto gain = s.dweight;
  const size_t draws = c.rng().draws();
  EXPECT_EQ(directed_restart(s), 0);
  EXPECT_EQ(c.rng().draws(), draws);
  EXPECT_EQ(c.members(), members);
  EXPECT_EQ(list_members(s.cand_lst), cand);
  EXPECT_EQ(list_members(s.rest_lst), rest);
  EXPECT_EQ(s.dweight, gain);
  EXPECT_EQ(s.tabu_lst, std::vector<int>(25, 4));
}

TYPED_TEST(Restart, ReinitKeepsIterationBestHintsAndThreshold) {
  Core<TypeParam> c(random_input_graph(20, 0.4, 8, false));
  auto& s = c.s;
  random_construction(s);
  std::mt19937 pick(2);
  for (int i = 0; i < 30; i++, s.cur_iter++) {
    const int v = static_cast<int>(pick() % 20);
    if (!s.is_in_c[v]) pushWithTabu(s, v, 0);
  }
  s.cand_thresh = -3;  // as adapted by the gain-threshold loop; the conflict threshold stays 1
  ASSERT_NE(s.pre_adj, std::vector<int>(20, 0));
  const auto hints = s.pre_adj, best_vertex = s.best_vertex;
  const int iter = s.cur_iter, best_iter = s.best_iter, best_size = s.best_size;
  const double best = s.best_weight;
  reinit_data(s);
  EXPECT_EQ(s.cur_iter, iter);
  EXPECT_EQ(s.best_weight, best);
  EXPECT_EQ(s.best_iter, best_iter);
  EXPECT_EQ(s.best_size, best_size);
  EXPECT_EQ(s.best_vertex, best_vertex);
  EXPECT_EQ(s.pre_adj, hints);
  EXPECT_EQ(s.cand_thresh, -3.0);
  EXPECT_EQ(s.con_thresh, 1);
  // Everything else is back to the empty set.
  EXPECT_EQ(list_members(s.pos_lst), sorted(list_members(s.pos_lst)));
  EXPECT_EQ(s.pos_lst->vnum, 20);
  EXPECT_EQ(s.cur_c_set->vnum, 0);
  EXPECT_EQ(s.cur_weight, 0.0);
  EXPECT_EQ(s.tabu_lst, std::vector<int>(20, 0));
  EXPECT_EQ(audit_state(s), "");
}
