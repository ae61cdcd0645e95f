// Add and drop moves: the list transitions of a neighbour under each
// partition rule, the order left behind in the lists, and the debugging check
// of the partition.
#include <random>

#include "core_fixture.h"

namespace {

// Vertex 2 conflicts with 0, 1 and 3; those three are mutually free.
// Weights: 0 -> 5, 1 -> 15, 2 -> 3, 3 -> 9.
InputGraph gain_threshold_graph() { return with_conflicts(4, {{2, 0}, {2, 1}, {2, 3}}, {5, 15, 3, 9}); }

template <class S>
const ST_RandAccessList* home(const S& s, int v) {
  for (const ST_RandAccessList* l : {s.pos_lst, s.cand_lst, s.rest_lst})
    for (int i = 0; i < l->vnum; i++)
      if (l->vlist[i] == v) return l;
  return nullptr;
}

}  // namespace

TEST(GainThresholdMoves, NeighbourLosingWeight5MovesToCandAndOnToRest) {
  Core<Mavu1Profile> c(gain_threshold_graph());
  auto& s = c.s;
  s.cand_thresh = -10;
  expand(s, 0);  // gain of 2: 3 - 5 = -2, above the threshold
  EXPECT_EQ(s.dweight[2], -2.0);
  EXPECT_EQ(home(s, 2), s.cand_lst);
  EXPECT_EQ(s.pre_adj[2], 0);
  expand(s, 3);  // -11: at or below the threshold, and the hint names the vertex added
  EXPECT_EQ(home(s, 2), s.rest_lst);
  EXPECT_EQ(s.pre_adj[2], 3);
  drop(s, 3);  // back to -2
  EXPECT_EQ(home(s, 2), s.cand_lst);
  drop(s, 0);  // back to 3
  EXPECT_EQ(home(s, 2), s.pos_lst);
  EXPECT_EQ(audit_state(s), "");
}

TEST(GainThresholdMoves, NeighbourLosingWeight15GoesStraightToRest) {
  Core<Mavu1Profile> c(gain_threshold_graph());
  auto& s = c.s;
  s.cand_thresh = -10;
  s.pre_adj[2] = 3;
  expand(s, 1);  // 3 - 15 = -12
  EXPECT_EQ(home(s, 2), s.rest_lst);
  EXPECT_EQ(s.pre_adj[2], 3) << "leaving pos_lst records no hint";
  drop(s, 1);
  EXPECT_EQ(home(s, 2), s.pos_lst);
  EXPECT_EQ(audit_state(s), "");
}

TEST(ConflictThresholdMoves, CountRisingTo2MovesToRestAndFallingTo1ComesBack) {
  // Vertex 2 (weight 1) conflicts with 0 (weight 5) and 1 (weight 3).
  Core<Mavu2Profile> c(with_conflicts(3, {{2, 0}, {2, 1}}, {5, 3, 1}));
  auto& s = c.s;
  expand(s, 0);
  EXPECT_EQ(s.dweight[2], -4.0);
  EXPECT_EQ(home(s, 2), s.cand_lst);
  expand(s, 1);
  EXPECT_EQ(home(s, 2), s.rest_lst);
  EXPECT_EQ(s.pre_adj[2], 1);
  drop(s, 1);
  EXPECT_EQ(s.dweight[2], -4.0);
  EXPECT_EQ(home(s, 2), s.cand_lst);
  drop(s, 0);
  EXPECT_EQ(home(s, 2), s.pos_lst);
  EXPECT_EQ(audit_state(s), "");
}

TEST(ConflictThresholdMoves, TwoConflictsMeanRestWhateverTheGain) {
  // Vertex 2 (weight 10) conflicts with 0 (weight 4) and 1 (weight 7).
  Core<Mavu2Profile> c(with_conflicts(3, {{2, 0}, {2, 1}}, {4, 7, 10}));
  auto& s = c.s;
  expand(s, 0);
  EXPECT_EQ(home(s, 2), s.pos_lst);  // gain 6, one conflict
  expand(s, 1);                      // gain -1, two conflicts: straight from pos_lst to rest_lst
  EXPECT_EQ(home(s, 2), s.rest_lst);
  EXPECT_EQ(s.pre_adj[2], 0);
  drop(s, 0);  // gain 3 again, one conflict: back to pos_lst, out of rest_lst
  EXPECT_EQ(home(s, 2), s.pos_lst);
  EXPECT_EQ(audit_state(s), "");
}

template <class P>
class Moves : public ::testing::Test {};
TYPED_TEST_SUITE(Moves, CoreProfiles);

TYPED_TEST(Moves, DropAppendsToPosAndMovesTheLastMemberIntoTheGap) {
  Core<TypeParam> c(no_conflicts({1, 2, 3, 4, 5, 6}));
  auto& s = c.s;
  c.add({0, 1, 2, 3, 4});
  EXPECT_EQ(list_members(s.pos_lst), (std::vector<int>{5}));
  drop(s, 1);
  EXPECT_EQ(c.members(), (std::vector<int>{0, 4, 2, 3}));
  EXPECT_EQ(list_members(s.pos_lst), (std::vector<int>{5, 1}));
  drop(s, 0);
  EXPECT_EQ(c.members(), (std::vector<int>{3, 4, 2}));
  EXPECT_EQ(list_members(s.pos_lst), (std::vector<int>{5, 1, 0}));
  EXPECT_EQ(s.dweight[0], 1.0);
  EXPECT_EQ(s.cur_weight, 12.0);
}

TYPED_TEST(Moves, ExpandWithoutConflictNeighboursOnlyMovesTheVertex) {
  // 4 is free of conflicts; the others form a conflict path 0-1-2-3-5.
  Core<TypeParam> c(with_conflicts(6, {{0, 1}, {1, 2}, {2, 3}, {3, 5}}, {4, 3, 9, 2, 7, 5}));
  auto& s = c.s;
  c.add({1, 3});
  const auto gain = s.dweight;
  const auto count = s.adj_num_in_c;
  const auto cand = list_members(s.cand_lst), rest = list_members(s.rest_lst);
  expand(s, 4);
  auto expected_gain = gain;
  expected_gain[4] = -7;
  EXPECT_EQ(s.dweight, expected_gain);
  EXPECT_EQ(s.adj_num_in_c, count);
  EXPECT_EQ(list_members(s.cand_lst), cand);
  EXPECT_EQ(list_members(s.rest_lst), rest);
  EXPECT_EQ(c.members(), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(s.cur_weight, 12.0);
  EXPECT_EQ(home(s, 4), nullptr);
  EXPECT_EQ(audit_state(s), "");
}

TYPED_TEST(Moves, NeighbourFlaggedAsMemberIsReportedAndSkipped) {
  Core<TypeParam> c(with_conflicts(3, {{0, 1}, {0, 2}}, {5, 3, 1}));
  auto& s = c.s;
  s.is_in_c[1] = 1;  // broken on purpose: 1 claims membership without being in C
  ::testing::internal::CaptureStderr();
  expand(s, 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ERROR\n");
  EXPECT_EQ(s.dweight[1], 3.0);  // skipped
  EXPECT_EQ(s.dweight[2], -4.0);
  ::testing::internal::CaptureStderr();
  drop(s, 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error in drop 0\n");
  EXPECT_EQ(s.dweight[2], 1.0);
}

TYPED_TEST(Moves, CheckListHoldsOnConsistentStates) {
  Core<TypeParam> c(random_input_graph(30, 0.5, 9, true));
  auto& s = c.s;
  std::mt19937 pick(1);
  random_construction(s);
  check_list(s);
  for (int i = 0; i < 200; i++) {
    const int v = static_cast<int>(pick() % 30);
    if (s.is_in_c[v]) drop(s, v);
    else pushWithTabu(s, v, 0);
    check_list(s);  // aborts on the first violation
  }
  EXPECT_EQ(audit_state(s), "");
}

template <class P>
class MovesDeathTest : public ::testing::Test {};
TYPED_TEST_SUITE(MovesDeathTest, CoreProfiles);

TYPED_TEST(MovesDeathTest, CheckListAbortsOnAMisplacedVertex) {
  Core<TypeParam> c(no_conflicts({1, 2, 3}));
  auto& s = c.s;
  expand(s, 0);
  ral_delete(s.pos_lst, 2);
  ral_add(s.cand_lst, 2);  // gain 3 does not belong in cand_lst
  EXPECT_DEATH(check_list(s), "dweight\\[v\\] <= 0\\.0");
  ral_delete(s.cand_lst, 2);
  ral_add(s.pos_lst, 2);
  ral_add(s.pos_lst, 0);  // a member listed as a candidate
  EXPECT_DEATH(check_list(s), "!is_in_c\\[v\\]");
}
