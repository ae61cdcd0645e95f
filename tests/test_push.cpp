// Conflict lookup and push with tabu: which members are found, in which
// order, and the number, order and modulus of the tenure draws.
#include "core_fixture.h"

template <class P>
class Push : public ::testing::Test {};
TYPED_TEST_SUITE(Push, CoreProfiles);

namespace {

// 0 conflicts with 1..5, which are free among themselves: with C = {0} all
// five have conflict count 1.
InputGraph star() { return with_conflicts(6, {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}, {10, 3, 3, 3, 3, 3}); }

// v = 2 conflicts with members 0 and 1; 3 and 4 also conflict with both, so
// num_v_adj(s, 2) = 3 once C = {1, 0}.  With `long_v`, 2 also conflicts with the
// free vertex 5, and C (2 members) becomes the shorter side to walk.
InputGraph two_conflicts(bool long_v) {
  std::vector<std::pair<int, int>> conf = {{2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {4, 1}};
  if (long_v) conf.push_back({2, 5});
  return with_conflicts(6, conf, {4, 4, 5, 1, 1, 1});
}

// v = 0 conflicts with members 1, 3, 5 of C = [1, 2, 3, 4, 5]; 6 and 7 share
// those conflicts (num_v_adj(s, 3) = 3).  With `long_v`, 0 also conflicts with
// 8..19, so C is walked; otherwise 0's neighbours are.
InputGraph three_conflicts(bool long_v) {
  std::vector<std::pair<int, int>> conf;
  for (int a : {0, 6, 7})
    for (int m : {1, 3, 5}) conf.push_back({a, m});
  if (long_v)
    for (int x = 8; x < 20; x++) conf.push_back({0, x});
  return with_conflicts(long_v ? 20 : 8, conf, std::vector<double>(long_v ? 20 : 8, 2.0));
}

}  // namespace

TYPED_TEST(Push, WithoutConflictsNoDrawAndNoTenure) {
  Core<TypeParam> c(star());
  c.s.cur_iter = 50;
  c.add({1});
  pushWithTabu(c.s, 2, 0);
  EXPECT_EQ(c.rng().draws(), 0u);
  EXPECT_EQ(c.s.tabu_lst, std::vector<int>(6, 0));
  EXPECT_EQ(c.members(), (std::vector<int>{1, 2}));
}

TYPED_TEST(Push, OneConflictTenureIsSevenPlusDrawModuloCountOfOnes) {
  const std::pair<int, int> cases[] = {{0, 107}, {4, 111}, {5, 107}, {13, 110}, {2147483647, 109}};
  for (auto [r, tenure] : cases) {
    Core<TypeParam> c(star());
    auto& s = c.s;
    c.add({0});
    ASSERT_EQ(num_v_adj(s, 1), 5);
    s.cur_iter = 100;
    c.rng().script = {r};
    pushWithTabu(s, 1, 0);
    EXPECT_EQ(c.rng().draws(), 1u);
    EXPECT_EQ(s.tabu_lst[0], tenure) << "draw " << r;
    EXPECT_EQ(c.members(), (std::vector<int>{1}));
  }
}

TYPED_TEST(Push, TwoConflictsDrawTwiceModuloTheCountBeforeTheDrops) {
  for (bool long_v : {false, true}) {
    Core<TypeParam> c(two_conflicts(long_v));
    auto& s = c.s;
    c.add({1, 0});
    ASSERT_EQ(num_v_adj(s, 2), 3);
    int first = 7, second = 7;
    find_two_neighbor(s, 2, first, second);
    // Walking C meets 1 first; walking 2's neighbours (ascending) meets 0 first.
    const int u1 = long_v ? 1 : 0, u2 = long_v ? 0 : 1;
    EXPECT_EQ(first, u1);
    EXPECT_EQ(second, u2);

    s.cur_iter = 100;
    c.rng().script = {4, 5};  // 4 mod 3 = 1, 5 mod 3 = 2
    pushWithTabu(s, 2, 0);
    EXPECT_EQ(c.rng().draws(), 2u);
    EXPECT_EQ(s.tabu_lst[u1], 108) << "long_v " << long_v;
    EXPECT_EQ(s.tabu_lst[u2], 109) << "long_v " << long_v;
    EXPECT_EQ(c.members(), (std::vector<int>{2}));
  }
}

TYPED_TEST(Push, ManyConflictsDrawInDropOrder) {
  for (bool long_v : {false, true}) {
    Core<TypeParam> c(three_conflicts(long_v));
    auto& s = c.s;
    c.add({1, 2, 3, 4, 5});
    ASSERT_EQ(num_v_adj(s, 3), 3);
    c.rng().script = {3, 4, 5};  // tenures 7, 8, 9 modulo 3
    pushWithTabu(s, 0, 0);
    EXPECT_EQ(c.rng().draws(), 3u);
    // Walking C drops 1, then 5 (moved into position 0), then 3; walking
    // 0's neighbours drops 1, 3, 5.
    const int order[3] = {1, long_v ? 5 : 3, long_v ? 3 : 5};
    for (int i = 0; i < 3; i++) EXPECT_EQ(s.tabu_lst[order[i]], 7 + i) << "long_v " << long_v;
    EXPECT_EQ(sorted(c.members()), (std::vector<int>{0, 2, 4}));
  }
}

TYPED_TEST(Push, FixedTenureDrawsNothing) {
  Core<TypeParam> one(star());
  one.add({0});
  one.s.cur_iter = 41;
  pushWithTabu(one.s, 3, 1);
  EXPECT_EQ(one.s.tabu_lst[0], 42);

  Core<TypeParam> two(two_conflicts(false));
  two.add({1, 0});
  two.s.cur_iter = 41;
  pushWithTabu(two.s, 2, 1);
  EXPECT_EQ(two.s.tabu_lst[0], 42);
  EXPECT_EQ(two.s.tabu_lst[1], 42);

  Core<TypeParam> three(three_conflicts(true));
  three.add({1, 2, 3, 4, 5});
  three.s.cur_iter = 41;
  pushWithTabu(three.s, 0, 1);
  for (int u : {1, 3, 5}) EXPECT_EQ(three.s.tabu_lst[u], 42);
  for (int u : {2, 4}) EXPECT_EQ(three.s.tabu_lst[u], 0);

  EXPECT_EQ(one.rng().draws() + two.rng().draws() + three.rng().draws(), 0u);
}

// 4 conflicts with 0, 1 and 3; C holds 1 and 2, plus the free vertex 5 when
// 4's neighbours are to be walked instead of C.
TYPED_TEST(Push, LookupRevalidatesTheHint) {
  for (bool walk_c : {true, false}) {
    for (int hint : {0, 2, 3, 4, 5, 1}) {  // non-members, a non-conflicting member, the valid one
      Core<TypeParam> c(with_conflicts(6, {{4, 0}, {4, 1}, {4, 3}}, {1, 1, 1, 1, 1, 1}));
      auto& s = c.s;
      c.add({2, 1});
      if (!walk_c) c.add({5});
      ASSERT_EQ(scan_members_of_c(s, 4), walk_c);
      s.pre_adj[4] = hint;
      EXPECT_EQ(find_inside_adj(s, 4), 1) << "hint " << hint;
      EXPECT_EQ(s.pre_adj[4], 1) << "hint " << hint;
    }
  }
}
