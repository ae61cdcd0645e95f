// Conflict lookup and push with tabu: which members are found and dropped in
// which order, and the number, order and modulus of the tenure draws.
#include <tuple>

#include "core_fixture.h"

template <class P>
class Push : public ::testing::Test {};
TYPED_TEST_SUITE(Push, CoreProfiles, CoreProfileNames);

namespace {

// 0 conflicts with 1..5, which are free among themselves: with C = {0} all
// five have conflict count 1.
InputGraph star() { return with_conflicts(6, {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}}, {10, 3, 3, 3, 3, 3}); }

// v = 2 conflicts with members 0 and 1; 3 and 4 also conflict with both, so
// num_v_adj(s, 2) = 3 once C = {1, 0}.  With `walk_c`, 2 also conflicts with
// the free vertex 5, and C (2 members) becomes the shorter side to walk.
InputGraph two_conflicts(bool walk_c) {
  std::vector<std::pair<int, int>> conf = {{2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {4, 1}};
  if (walk_c) conf.push_back({2, 5});
  return with_conflicts(6, conf, {4, 4, 5, 1, 1, 1});
}

// v = 0 conflicts with members 1, 3, 5 of C = [1, 2, 3, 4, 5]; 6 and 7 share
// those conflicts (num_v_adj(s, 3) = 3).  With `walk_c`, 0 also conflicts with
// 8..19, so C is walked, by position while drops reorder it; otherwise 0's
// neighbours are.
InputGraph three_conflicts(bool walk_c) {
  std::vector<std::pair<int, int>> conf;
  for (int a : {0, 6, 7})
    for (int m : {1, 3, 5}) conf.push_back({a, m});
  if (walk_c)
    for (int x = 8; x < 20; x++) conf.push_back({0, x});
  return with_conflicts(walk_c ? 20 : 8, conf, std::vector<double>(walk_c ? 20 : 8, 2.0));
}

}  // namespace

// A push without conflicts draws nothing, a fixed tenure (tt > 0) neither.
TYPED_TEST(Push, OneConflictTenureIsSevenPlusDrawModuloCountOfOnes) {
  Core<TypeParam> none(star());
  none.add({1});
  pushWithTabu(none.s, 2, 0);
  EXPECT_EQ(none.rng().draws(), 0u);
  EXPECT_EQ(none.s.tabu_lst, std::vector<int>(6, 0));
  for (auto [r, tt, tenure] : {std::tuple{0, 0, 107}, {4, 0, 111}, {5, 0, 107}, {13, 0, 110}, {2147483647, 0, 109},
                               {4, 1, 101}, {4, 3, 103}}) {
    Core<TypeParam> c(star());
    auto& s = c.s;
    c.add({0});
    ASSERT_EQ(num_v_adj(s, 1), 5);
    s.cur_iter = 100;
    c.rng().script = {r};
    pushWithTabu(s, 1, tt);
    EXPECT_EQ(c.rng().draws(), tt == 0 ? 1u : 0u);
    EXPECT_EQ(s.tabu_lst[0], tenure) << "draw " << r << " tt " << tt;
    EXPECT_EQ(c.members(), (std::vector<int>{1}));
  }
}

// With two or more conflicts every dropped member's tenure is drawn (modulo
// the count of vertices sharing v's conflict count) before the drops, in drop
// order: walking C meets the members by position while drops reorder it,
// walking v's neighbours meets them in ascending order.  A fixed tenure draws nothing.
TYPED_TEST(Push, ManyConflictsDrawInDropOrder) {
  const struct {
    InputGraph in;
    std::vector<int> c;
    int v, k;
    bool walk_c;
    std::vector<int> order, after;
  } cases[] = {
      {two_conflicts(false), {1, 0}, 2, 2, false, {0, 1}, {2}},
      {two_conflicts(true), {1, 0}, 2, 2, true, {1, 0}, {2}},
      {three_conflicts(false), {1, 2, 3, 4, 5}, 0, 3, false, {1, 3, 5}, {4, 2, 0}},
      {three_conflicts(true), {1, 2, 3, 4, 5}, 0, 3, true, {1, 5, 3}, {4, 2, 0}},
  };
  for (int tt : {0, 1}) {
    for (const auto& c : cases) {
      Core<TypeParam> core(c.in);
      auto& s = core.s;
      for (int u : c.c) expand(s, u);
      ASSERT_EQ(scan_members_of_c(s, c.v), c.walk_c);
      ASSERT_EQ(num_v_adj(s, c.k), 3);
      s.cur_iter = 100;
      core.rng().script = {3, 4, 5};  // 7 + 0, 1, 2 modulo 3
      pushWithTabu(s, c.v, tt);
      SCOPED_TRACE(testing::Message() << c.k << " conflicts, walk_c " << c.walk_c << ", tt " << tt);
      EXPECT_EQ(core.rng().draws(), tt ? 0u : c.order.size());
      for (size_t i = 0; i < c.order.size(); i++) EXPECT_EQ(s.tabu_lst[c.order[i]], tt ? 101 : 107 + int(i));
      EXPECT_EQ(core.members(), c.after);
      EXPECT_EQ(audit_state(s), "");
    }
  }
}

// 4 conflicts with 0, 1 and 3; C holds 1 and 2, plus the free vertex 5 when
// 4's neighbours are to be walked instead of C.  A stale hint is re-validated.
TYPED_TEST(Push, LookupRevalidatesTheHint) {
  for (bool walk_c : {true, false}) {
    for (int hint : {0, 2, 3, 4, 5, 1}) {  // non-members, a non-conflicting member, the valid one
      Core<TypeParam> c(with_conflicts(6, {{4, 0}, {4, 1}, {4, 3}}, std::vector<double>(6, 1.0)));
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
