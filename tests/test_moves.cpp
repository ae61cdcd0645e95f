// Add and drop moves: the list transitions of a neighbour under each
// partition rule, the pre_adj hint they leave, and the order they leave in
// the lists.
#include "core_fixture.h"

namespace {

// One move and where vertex 2 must be afterwards ('p', 'c', 'r': pos_lst,
// cand_lst, rest_lst) with its pre_adj hint.
struct Step {
  char move;  // '+' expand, '-' drop
  int v;
  char home;
  int hint;
};

template <class P>
void run_steps(Core<P>& c, const std::vector<Step>& steps) {
  auto& s = c.s;
  s.pre_adj[2] = 2;  // a hint no move records: only a recording move changes it
  for (const Step& st : steps) {
    if (st.move == '+') expand(s, st.v);
    else drop(s, st.v);
    const ST_RandAccessList* want = st.home == 'p' ? s.pos_lst : st.home == 'c' ? s.cand_lst : s.rest_lst;
    EXPECT_EQ(P::list_of(s, 2), want) << st.move << st.v;  // and the auditor finds it there
    EXPECT_EQ(s.pre_adj[2], st.hint) << st.move << st.v;
    ASSERT_EQ(audit_state(s), "") << st.move << st.v;
  }
}

}  // namespace

// Only a move from cand_lst to rest_lst records the added vertex as the hint.
TEST(GainThresholdMoves, NeighbourCrossesZeroAndTheThreshold) {
  // 2 (weight 3) conflicts with 0, 1 and 3 (weights 5, 15, 9), which are mutually free.
  Core<Mavu1Profile> c(with_conflicts(4, {{2, 0}, {2, 1}, {2, 3}}, {5, 15, 3, 9}));
  c.s.cand_thresh = -10;
  run_steps(c, {{'+', 0, 'c', 2},   // gain -2: above the threshold
                {'+', 3, 'r', 3},   // -11: at or below it
                {'-', 3, 'c', 3},
                {'-', 0, 'p', 3},
                {'+', 1, 'r', 3},   // -12: straight from pos_lst, no hint
                {'-', 1, 'p', 3}});
}

TEST(ConflictThresholdMoves, NeighbourCrossesZeroAndTheCount) {
  // 2 conflicts with 0 and 1; weights 5, 3, 1: every gain of 2 is negative.
  Core<Mavu2Profile> c(with_conflicts(3, {{2, 0}, {2, 1}}, {5, 3, 1}));
  run_steps(c, {{'+', 0, 'c', 2}, {'+', 1, 'r', 1}, {'-', 1, 'c', 1}, {'-', 0, 'p', 1}});
  // Weights 4, 7, 10: two conflicts mean rest_lst whatever the gain (straight from pos_lst, no hint).
  Core<Mavu2Profile> d(with_conflicts(3, {{2, 0}, {2, 1}}, {4, 7, 10}));
  run_steps(d, {{'+', 0, 'p', 2}, {'+', 1, 'r', 2}, {'-', 0, 'p', 2}});
}

template <class P>
class Moves : public ::testing::Test {};
TYPED_TEST_SUITE(Moves, CoreProfiles, CoreProfileNames);

TYPED_TEST(Moves, DropAppendsToPosAndMovesTheLastMemberIntoTheGap) {
  Core<TypeParam> c(no_conflicts({1, 2, 3, 4, 5, 6}));
  auto& s = c.s;
  c.add({0, 1, 2, 3, 4});
  EXPECT_EQ(items(s.pos_lst), (std::vector<int>{5}));
  drop(s, 1);
  EXPECT_EQ(c.members(), (std::vector<int>{0, 4, 2, 3}));
  drop(s, 0);
  EXPECT_EQ(c.members(), (std::vector<int>{3, 4, 2}));
  EXPECT_EQ(items(s.pos_lst), (std::vector<int>{5, 1, 0}));
  EXPECT_EQ(s.dweight[0], 1.0);
  EXPECT_EQ(s.cur_weight, 12.0);
  expand(s, 1);
  EXPECT_EQ(c.members(), (std::vector<int>{3, 4, 2, 1}));
  EXPECT_EQ(items(s.pos_lst), (std::vector<int>{5, 0}));
}
