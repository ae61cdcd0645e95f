// Move selection: the eligible member of largest gain under the tabu rule
// with aspiration, ties broken by reservoir draws, the profile's start value
// and tolerance, and the sampled scan's draws.
//
// Without conflicts every gain is the vertex weight and pos_lst lists the
// vertices in ascending order, so weights script the gains of a list.
#include <type_traits>

#include "core_fixture.h"

template <class P>
class Select : public ::testing::Test {};
TYPED_TEST_SUITE(Select, CoreProfiles);

namespace {

struct Pick {
  int found, vertex, gain;
  size_t draws;
};

template <class P>
Pick full_scan(Core<P>& c, const ST_RandAccessList* list, std::deque<int> script = {}) {
  c.rng().script = std::move(script);
  const size_t before = c.rng().draws();
  Pick p{0, -7, -7, 0};
  p.found = evaluate_list_max(c.s, list, p.vertex, p.gain);
  p.draws = c.rng().draws() - before;
  return p;
}

Pick sampled(Core<Mavu2Profile>& c, int sample, std::deque<int> script = {}) {
  c.rng().script = std::move(script);
  Pick p{0, -7, -7, 0};
  p.found = evaluate_partiel_max(c.s, c.s.pos_lst, sample, p.vertex, p.gain);
  p.draws = c.rng().draws();
  return p;
}

}  // namespace

TYPED_TEST(Select, EmptyListYieldsNothingWithoutDrawOrWrite) {
  Core<TypeParam> c(no_conflicts({1, 2}));
  const Pick p = full_scan(c, c.s.cand_lst);
  EXPECT_EQ(p.found, 0);
  EXPECT_EQ(p.vertex, -7);
  EXPECT_EQ(p.gain, -7);
  EXPECT_EQ(p.draws, 0u);
}

TYPED_TEST(Select, SingleEligibleMemberNeedsNoDraw) {
  Core<TypeParam> c(no_conflicts({4, 9, 6}));
  auto& s = c.s;
  s.cur_iter = 5;
  s.best_weight = 100;
  s.tabu_lst[0] = s.tabu_lst[1] = 6;
  const Pick p = full_scan(c, s.pos_lst);
  EXPECT_EQ(p.found, 1);
  EXPECT_EQ(p.vertex, 2);
  EXPECT_EQ(p.gain, 6);
  EXPECT_EQ(p.draws, 0u);
}

TYPED_TEST(Select, SecondOfTwoEqualGainsIsTakenOnAnEvenDraw) {
  for (int r : {0, 1, 2, 7}) {
    Core<TypeParam> c(no_conflicts({3, 3}));
    const Pick p = full_scan(c, c.s.pos_lst, {r});
    EXPECT_EQ(p.vertex, r % 2 == 0 ? 1 : 0) << "draw " << r;
    EXPECT_EQ(p.draws, 1u);
  }
}

TYPED_TEST(Select, EachTieDrawsOnceModuloTheRaisedCount) {
  // Gains 2 5 5 1 5 5: the run opens at 1, ties at 2, 4, 5 with counts 2, 3, 4.
  // Draws 3, 3, 6: keep 1 (3 mod 2), take 4 (3 mod 3), keep 4 (6 mod 4).
  Core<TypeParam> c(no_conflicts({2, 5, 5, 1, 5, 5}));
  const Pick p = full_scan(c, c.s.pos_lst, {3, 3, 6});
  EXPECT_EQ(p.vertex, 4);
  EXPECT_EQ(p.gain, 5);
  EXPECT_EQ(c.rng().drawn, (std::vector<int>{3, 3, 6}));

  // A higher gain starts over: count back to 1, so the tie at 3 draws modulo 2.
  Core<TypeParam> d(no_conflicts({5, 5, 7, 7}));
  const Pick q = full_scan(d, d.s.pos_lst, {0, 3});
  EXPECT_EQ(q.vertex, 2);
  EXPECT_EQ(q.draws, 2u);
}

TYPED_TEST(Select, GainJustAboveTheRunOpensANewRunWithoutDraw) {
  Core<TypeParam> c(no_conflicts({5.0, 5.000000001}));
  const Pick p = full_scan(c, c.s.pos_lst);
  EXPECT_EQ(p.vertex, 1);
  EXPECT_EQ(p.draws, 0u);
  // The other way round it is a tie in both programs.
  Core<TypeParam> d(no_conflicts({5.000000001, 5.0}));
  EXPECT_EQ(full_scan(d, d.s.pos_lst, {0}).draws, 1u);
}

TYPED_TEST(Select, TieToleranceIsTheProfiles) {
  Core<TypeParam> c(no_conflicts({5.0, 4.999995}));
  const Pick p = full_scan(c, c.s.pos_lst, {0});
  if constexpr (std::is_same_v<TypeParam, Mavu2Profile>) {
    EXPECT_EQ(p.draws, 1u);
    EXPECT_EQ(p.vertex, 1);
    // Ties are measured against the gain that opened the run: 4.999985 lies
    // within the tolerance of 4.999995 but not of 5.0.
    Core<TypeParam> d(no_conflicts({5.0, 4.999995, 4.999985}));
    const Pick q = full_scan(d, d.s.pos_lst, {1});
    EXPECT_EQ(q.draws, 1u);
    EXPECT_EQ(q.vertex, 0);
  } else {
    EXPECT_EQ(p.draws, 0u);
    EXPECT_EQ(p.vertex, 0);
  }
}

TYPED_TEST(Select, StartValueIsReachedOnlyThroughTheTieBranch) {
  const double start = TypeParam::kStartBest;
  // Vertex 1 (weight 1) conflicts with member 0, so its gain is 1 - w(0).
  Core<TypeParam> at(with_conflicts(2, {{0, 1}}, {1 - start, 1}));
  at.add({0});
  ASSERT_EQ(at.s.dweight[1], start);
  const Pick p = full_scan(at, TypeParam::list_of(at.s, 1), {12345});  // odd, yet r mod 1 = 0
  EXPECT_EQ(p.found, 1);
  EXPECT_EQ(p.vertex, 1);
  EXPECT_EQ(p.draws, 1u);

  Core<TypeParam> below(with_conflicts(2, {{0, 1}}, {2 - start, 1}));
  below.add({0});
  ASSERT_EQ(below.s.dweight[1], start - 1);
  const Pick q = full_scan(below, TypeParam::list_of(below.s, 1));
  EXPECT_EQ(q.found, 0);
  EXPECT_EQ(q.draws, 0u);
}

TYPED_TEST(Select, TabuMemberIsEligibleOnlyIfItsPushBeatsTheBestStrictly) {
  Core<TypeParam> c(no_conflicts({4, 1, 6}));
  auto& s = c.s;
  c.add({2});  // cur_weight 6; pos_lst = [0, 1] with gains 4 and 1
  s.cur_iter = 10;
  s.tabu_lst[0] = 11;
  s.best_weight = 10;  // 6 + 4 == 10: passed over
  EXPECT_EQ(full_scan(c, s.pos_lst).vertex, 1);
  s.best_weight = 9.5;  // 6 + 4 > 9.5: aspirated
  EXPECT_EQ(full_scan(c, s.pos_lst).vertex, 0);
  s.best_weight = 1000;
  s.tabu_lst[0] = 10;  // free again at its own iteration
  EXPECT_EQ(full_scan(c, s.pos_lst).vertex, 0);
  s.tabu_lst[1] = 11;
  s.tabu_lst[0] = 11;  // everything passed over
  EXPECT_EQ(full_scan(c, s.pos_lst).found, 0);
}

TYPED_TEST(Select, ReportedGainIsTruncatedTowardZero) {
  Core<TypeParam> c(no_conflicts({2.9}));
  EXPECT_EQ(full_scan(c, c.s.pos_lst).gain, 2);
  Core<TypeParam> d(with_conflicts(2, {{0, 1}}, {10, 6.3}));
  d.add({0});
  const Pick p = full_scan(d, TypeParam::list_of(d.s, 1));
  EXPECT_EQ(p.vertex, 1);
  EXPECT_EQ(p.gain, -3);
}

TEST(SampledScan, NotLongerThanTheSampleIsAFullScan) {
  Core<Mavu2Profile> c(no_conflicts(ascending_weights(50)));
  const Pick p = sampled(c, 50);
  EXPECT_EQ(p.vertex, 49);
  EXPECT_EQ(p.draws, 0u);
  int v = -7, g = -7;
  EXPECT_EQ(evaluate_partiel_max(c.s, c.s.cand_lst, 50, v, g), 0);  // empty
  EXPECT_EQ(v, -7);
  EXPECT_EQ(c.rng().draws(), 0u);
}

TEST(SampledScan, LongerListDrawsOnePositionPerSample) {
  Core<Mavu2Profile> c(no_conflicts(ascending_weights(51)));
  std::deque<int> positions;  // 0..49 in disguise: member 50, the best, is never drawn
  for (int i = 0; i < 50; i++) positions.push_back(i + 51 * (i % 7));
  const Pick p = sampled(c, 50, positions);
  EXPECT_EQ(p.draws, 50u);
  EXPECT_EQ(p.vertex, 49);
}

TEST(SampledScan, TieDrawFollowsItsPositionDraw) {
  // Gains 4 9 9 2 9, three samples.  Positions 1 and 4 tie; the draw after
  // position 4 decides the tie, the next one is the third position (3).
  for (auto [tie, chosen] : {std::pair{7, 1}, std::pair{6, 4}}) {
    Core<Mavu2Profile> c(no_conflicts({4, 9, 9, 2, 9}));
    const Pick p = sampled(c, 3, {1, 4, tie, 3});
    EXPECT_EQ(p.draws, 4u);
    EXPECT_EQ(p.vertex, chosen) << "tie draw " << tie;
  }
}

TEST(SampledScan, RepeatedMemberTiesWithItself) {
  for (int tie : {0, 1}) {
    Core<Mavu2Profile> c(no_conflicts({4, 9, 3, 2, 1}));
    const Pick p = sampled(c, 2, {1, 6, tie});
    EXPECT_EQ(p.draws, 3u);
    EXPECT_EQ(p.vertex, 1);
  }
}

TEST(SampledScan, PassedOverDrawStillCounts) {
  Core<Mavu2Profile> c(no_conflicts({4, 9, 3, 2, 1}));
  c.s.tabu_lst[1] = 1;
  c.s.best_weight = 100;
  const Pick p = sampled(c, 2, {1, 0});
  EXPECT_EQ(p.draws, 2u);
  EXPECT_EQ(p.vertex, 0);
}
