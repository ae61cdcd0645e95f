// Move selection: the eligible member of largest gain under the tabu rule
// with aspiration, ties broken by reservoir draws, the profile's start value
// and tolerance, and the sampled scan's draws.  Without conflicts every gain
// is the vertex weight and pos_lst lists the vertices in ascending order.
#include <type_traits>

#include "core_fixture.h"

template <class P>
class Select : public ::testing::Test {};
TYPED_TEST_SUITE(Select, CoreProfiles, CoreProfileNames);

namespace {

struct Pick {
  int found, vertex;
  size_t draws;
};

// A full scan of `list`, or with sample > 0 a sampled scan.
template <class P>
Pick scan(Core<P>& c, const ST_RandAccessList* list, std::deque<int> script = {}, int sample = 0) {
  c.rng().script = std::move(script);
  const size_t before = c.rng().draws();
  Pick p{0, -7, 0};
  p.found = sample > 0 ? evaluate_partiel_max(c.s, list, sample, p.vertex)
                       : evaluate_list_max(c.s, list, p.vertex);
  p.draws = c.rng().draws() - before;
  return p;
}

}  // namespace

TYPED_TEST(Select, LargestGainTiesAndTolerance) {
  constexpr bool m1 = std::derived_from<TypeParam, Mavu1Profile>;
  const struct {
    std::vector<double> gains;
    std::deque<int> script;
    int vertex, draws;  // in mavu1, and in mavu2 unless given below
    int vertex2 = -1, draws2 = -1;
  } cases[] = {
      {{2.9}, {}, 0, 0},
      // The k-th tied member is taken when its draw is 0 modulo k.
      {{3, 3}, {0}, 1, 1},
      {{3, 3}, {7}, 0, 1},
      // Ties at 2, 4, 5 with counts 2, 3, 4: keep 1 (3 mod 2), take 4 (3 mod 3), keep 4 (6 mod 4).
      {{2, 5, 5, 1, 5, 5}, {3, 3, 6}, 4, 3},
      // A higher gain starts over: the count is back to 1, so the tie at 3 draws modulo 2.
      {{5, 5, 7, 7}, {0, 3}, 2, 2},
      // A gain above the run's by less than the tolerance opens a new run without a draw;
      // the other way round it is a tie in both programs.
      {{5.0, 5.000000001}, {}, 1, 0},
      {{5.000000001, 5.0}, {0}, 1, 1},
      // 5e-6 apart: a tie only within mavu2's tolerance.
      {{5.0, 4.999995}, {0}, 0, 0, 1, 1},
      // Ties are measured against the opening gain: 4.999985 is within the tolerance of 4.999995, not of 5.0.
      {{5.0, 4.999995, 4.999985}, {1}, 0, 0, 0, 1},
  };
  for (const auto& c : cases) {
    Core<TypeParam> core(no_conflicts(c.gains));
    const Pick p = scan(core, core.s.pos_lst, c.script);
    SCOPED_TRACE(testing::PrintToString(c.gains) + " draws " + testing::PrintToString(c.script));
    EXPECT_EQ(p.found, 1);
    EXPECT_EQ(p.vertex, m1 || c.vertex2 < 0 ? c.vertex : c.vertex2);
    EXPECT_EQ(p.draws, static_cast<size_t>(m1 || c.draws2 < 0 ? c.draws : c.draws2));
  }
}

TYPED_TEST(Select, AnyGainOpensTheRunWithoutADraw) {
  // Vertex 1 (weight 1) conflicts with member 0, so its gain is 1 - w(0), far below -2^31.
  for (double w0 : {1e10, 0x1p62, 1e300}) {
    Core<TypeParam> c(with_conflicts(2, {{0, 1}}, {w0, 1}));
    c.add({0});
    const Pick p = scan(c, TypeParam::list_of(c.s, 1));
    EXPECT_EQ(p.found + p.vertex, 2) << w0;
    EXPECT_EQ(p.draws, 0u) << w0;
  }
}

TYPED_TEST(Select, TabuMemberIsEligibleOnlyIfItsPushBeatsTheBestStrictly) {
  Core<TypeParam> c(no_conflicts({4, 1, 6}));
  auto& s = c.s;
  c.add({2});  // cur_weight 6; pos_lst = [0, 1] with gains 4 and 1
  s.cur_iter = 10;
  s.tabu_lst[0] = 11;
  s.best_weight = 10;  // 6 + 4 == 10: passed over
  EXPECT_EQ(scan(c, s.pos_lst).vertex, 1);
  s.best_weight = 9.5;  // 6 + 4 > 9.5: aspirated
  EXPECT_EQ(scan(c, s.pos_lst).vertex, 0);
  s.best_weight = 1000;
  s.tabu_lst[0] = 10;  // free again at its own iteration
  EXPECT_EQ(scan(c, s.pos_lst).vertex, 0);
  s.tabu_lst[1] = s.tabu_lst[0] = 11;  // everything passed over: nothing found, drawn or written
  for (const ST_RandAccessList* l : {s.pos_lst, s.cand_lst}) {
    const Pick none = scan(c, l);
    EXPECT_EQ(none.found, 0);
    EXPECT_EQ(none.vertex, -7);
    EXPECT_EQ(none.draws, 0u);
  }
}

TEST(SampledScan, EachPositionDrawComesBeforeTheTieDrawItCauses) {
  const struct {
    std::vector<double> gains;
    int sample;
    std::deque<int> script;
    int tabu, vertex, draws;
  } cases[] = {
      {{4, 9, 3, 2, 1}, 5, {}, -1, 1, 0},  // a list not longer than the sample is scanned in full
      {{4, 9, 3, 2, 1, 8}, 5, {0, 2, 9, 16, 11}, -1, 5, 5},  // one draw per sample: 1, the best, is never drawn
      // Positions 1 and 4 tie; the draw after position 4 decides, the next one is a position.
      {{4, 9, 9, 2, 9}, 3, {1, 4, 7, 3}, -1, 1, 4},
      {{4, 9, 9, 2, 9}, 3, {1, 4, 6, 3}, -1, 4, 4},
      // A member drawn twice ties with itself (6 mod 5 = 1).
      {{4, 9, 3, 2, 1}, 2, {1, 6, 0}, -1, 1, 3},
      // A position draw that lands on a passed-over member still counts.
      {{4, 9, 3, 2, 1}, 2, {1, 0}, 1, 0, 2},
  };
  for (const auto& c : cases) {
    Core<Mavu2Profile> core(no_conflicts(c.gains));
    if (c.tabu >= 0) core.s.tabu_lst[c.tabu] = 1, core.s.best_weight = 100;
    const Pick p = scan(core, core.s.pos_lst, c.script, c.sample);
    EXPECT_EQ(p.draws, static_cast<size_t>(c.draws)) << testing::PrintToString(c.script);
    EXPECT_EQ(p.vertex, c.vertex) << testing::PrintToString(c.script);
  }
  Core<Mavu2Profile> empty(no_conflicts({1}));
  EXPECT_EQ(scan(empty, empty.s.cand_lst, {}, 50).found, 0);
}

// The scan against the rule written out literally, on random lists whose
// fractional gains sit within and around the tolerance of each other, with
// tabu members: same choice, same draws in the same order.
TYPED_TEST(Select, FullScanMatchesTheLiteralRuleOnRandomLists) {
  constexpr double tol = TypeParam::kTieTolerance;
  const double offsets[] = {0, 0, 0.4 * tol, -0.6 * tol, 0.9 * tol, 1.5 * tol, -3, 1e-3};
  std::mt19937 gen(5);
  for (int trial = 0; trial < 300; trial++) {
    std::vector<double> gains(1 + gen() % 40);
    for (double& g : gains) g = 7.25 + offsets[gen() % 8] + (gen() % 4 == 0 ? offsets[gen() % 8] : 0);
    Core<TypeParam> c(no_conflicts(gains));
    auto& s = c.s;
    s.cur_iter = 5, s.cur_weight = 1, s.best_weight = 8.25 + tol * (gen() % 3 - 1.0) / 2;
    for (int v = 0; v < static_cast<int>(gains.size()); v++) s.tabu_lst[v] = gen() % 3 == 0 ? 9 : 0;
    c.rng().fallback = gen();
    ScriptedRng literal_rng = c.rng();

    double best = TypeParam::kStartBest;
    int choice = -1, count = 0;
    for (int i = 0; i < s.pos_lst->vnum; i++) {
      const int u = s.pos_lst->vlist[i];
      if (s.cur_iter < s.tabu_lst[u] && s.best_weight >= s.cur_weight + s.dweight[u]) continue;
      const double d = s.dweight[u];
      if (d > best) {
        choice = u, best = d, count = 1;
      } else if (std::fabs(d - best) < tol) {
        count++;
        if (literal_rng() % count == 0) choice = u;
      }
    }
    const Pick p = scan(c, s.pos_lst);
    ASSERT_EQ(p.found ? p.vertex : -1, choice) << "trial " << trial;
    ASSERT_EQ(c.rng().drawn, literal_rng.drawn) << "trial " << trial;
  }
}
