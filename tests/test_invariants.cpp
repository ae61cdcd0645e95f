// Search state: every move, restart and threshold change keeps the
// incrementally maintained counters, gains and partition exact (as recomputed
// by the auditor), and the auditor itself notices a broken state.
#include <random>
#include <string>
#include <type_traits>

#include "core_fixture.h"

template <class P>
class Invariants : public ::testing::Test {};
TYPED_TEST_SUITE(Invariants, CoreProfiles);

namespace {

struct Shape {
  int n;
  double p;  // input edge probability: high p = few conflicts
  bool fractional;
};
const Shape kShapes[] = {{8, 0.2, false}, {20, 0.5, true}, {35, 0.8, false},
                         {50, 0.3, true}, {60, 0.9, true},  {40, 0.05, false}};

template <class S>
std::vector<int> non_members(const S& s) {
  std::vector<int> out;
  for (int v = 0; v < s.n_vertex; v++)
    if (!s.is_in_c[v]) out.push_back(v);
  return out;
}

}  // namespace

TYPED_TEST(Invariants, RandomMoveSequencesKeepEveryInvariant) {
  using P = TypeParam;
  constexpr bool gain_threshold = std::is_same_v<P, Mavu1Profile>;
  int steps = 0, pushes_by_k[4] = {0, 0, 0, 0};
  for (unsigned seed = 1; seed <= 10; seed++) {
    for (const Shape& sh : kShapes) {
      Core<P> c(random_input_graph(sh.n, sh.p, seed, sh.fractional));
      auto& s = c.s;
      std::mt19937 pick(seed * 7919u + static_cast<unsigned>(sh.n));
      auto uniform = [&](int k) { return static_cast<int>(pick() % static_cast<unsigned>(k)); };
      for (int step = 0; step < 300; step++, steps++) {
        const char* what = "";
        switch (uniform(12)) {
          case 0: case 1: case 2: case 3: {
            const std::vector<int> out = non_members(s);
            if (out.empty()) break;
            const int v = out[uniform(static_cast<int>(out.size()))];
            pushes_by_k[std::min<int>(s.adj_num_in_c[v], 3)]++;
            pushWithTabu(s, v, uniform(2));
            s.cur_iter++;
            what = "push";
            break;
          }
          case 4: case 5:
            if (s.cur_c_set->vnum == 0) break;
            drop(s, s.cur_c_set->vlist[uniform(s.cur_c_set->vnum)]);
            what = "drop";
            break;
          case 6:
            random_construction(s);
            what = "construction";
            if constexpr (gain_threshold) {
              if (uniform(2)) estimate_init_thresh(s), what = "construction + estimate_init_thresh";
            }
            break;
          case 7:
            directed_restart(s);
            what = "directed_restart";
            break;
          case 8:
            if (uniform(3) == 0) reinit_data(s), what = "reinit_data";
            break;
          case 9:
            if constexpr (gain_threshold) adjust_thresh(s, uniform(3) - 1), what = "adjust_thresh";
            break;
          default: {  // a search-loop step: best of pos_lst, else cand_lst, else rest_lst
            int v = -1, gain = 0;
            if (evaluate_list_max(s, s.pos_lst, v, gain) || evaluate_list_max(s, s.cand_lst, v, gain) ||
                evaluate_list_max(s, s.rest_lst, v, gain)) {
              pushes_by_k[std::min<int>(s.adj_num_in_c[v], 3)]++;
              pushWithTabu(s, v, 0);
            }
            s.cur_iter++;
            what = "selected push";
          }
        }
        ASSERT_EQ(audit_state(s), "") << "after " << what << ", step " << step << ", n " << sh.n << ", seed " << seed;
      }
    }
  }
  EXPECT_EQ(steps, 10 * 6 * 300);
  // Every push case was exercised, so the loop above cannot pass vacuously.
  for (int k = 0; k < 4; k++) EXPECT_GT(pushes_by_k[k], 20) << "pushes with " << k << " conflicts";
}

TYPED_TEST(Invariants, DropThenExpandRestoresCountersAndGainsExactly) {
  int checked = 0;
  for (unsigned seed = 1; seed <= 6; seed++) {
    Core<TypeParam> c(random_input_graph(30, 0.6, seed, false));
    auto& s = c.s;
    std::mt19937 pick(seed);
    random_construction(s);
    for (int i = 0; i < 40; i++) {  // move away from a maximal set
      const std::vector<int> out = non_members(s);
      pushWithTabu(s, out[pick() % out.size()], 0);
    }
    for (int u : c.members()) {
      const auto adj = s.adj_num_in_c;
      const auto in_c = s.is_in_c;
      const auto gain = s.dweight;
      const double weight = s.cur_weight;
      const auto before = sorted(c.members());
      drop(s, u);
      expand(s, u);
      EXPECT_EQ(s.adj_num_in_c, adj);
      EXPECT_EQ(s.is_in_c, in_c);
      EXPECT_EQ(s.dweight, gain);  // exact: whole-number weights
      EXPECT_EQ(s.cur_weight, weight);
      EXPECT_EQ(sorted(c.members()), before);
      EXPECT_EQ(c.members().back(), u);
      ASSERT_EQ(audit_state(s), "");
      checked++;
    }
  }
  EXPECT_GT(checked, 12);
}

TYPED_TEST(Invariants, PushChangesWeightByItsGainAndSwapsExactlyTheConflicts) {
  Core<TypeParam> c(random_input_graph(40, 0.5, 11, false));
  auto& s = c.s;
  std::mt19937 pick(3);
  for (int i = 0; i < 400; i++) {
    const std::vector<int> out = non_members(s);
    const int v = out[pick() % out.size()];
    const double gain = s.dweight[v], weight = s.cur_weight;
    const int k = s.adj_num_in_c[v], size = s.cur_c_set->vnum;
    pushWithTabu(s, v, static_cast<int>(pick() % 2));
    EXPECT_EQ(s.cur_weight, weight + gain);
    EXPECT_EQ(s.cur_c_set->vnum, size - k + 1);
    EXPECT_EQ(s.is_in_c[v], 1);
  }
  EXPECT_EQ(audit_state(s), "");
}

// v = 0 conflicts with members 1, 3, 5 and with 6..19, so C (5 members) is
// the shorter side and is walked by position while drops reorder it.
TYPED_TEST(Invariants, PushWalkingTheMembersDropsEveryConflictDespiteReordering) {
  std::vector<std::pair<int, int>> conf = {{0, 1}, {0, 3}, {0, 5}};
  for (int x = 6; x < 20; x++) conf.push_back({0, x});
  Core<TypeParam> c(with_conflicts(20, conf, std::vector<double>(20, 2.0)));
  auto& s = c.s;
  c.add({1, 2, 3, 4, 5});
  ASSERT_LT(s.cur_c_set->vnum, c.g.v_edge_count[0]);
  ASSERT_EQ(s.adj_num_in_c[0], 3);
  pushWithTabu(s, 0, 1);
  // Drops: 1 (5 moves to position 0), 5 (4 moves there), then 3.
  EXPECT_EQ(c.members(), (std::vector<int>{4, 2, 0}));
  for (int u : {1, 3, 5}) EXPECT_EQ(s.tabu_lst[u], 1) << u;
  EXPECT_EQ(audit_state(s), "");
}

TYPED_TEST(Invariants, StateAfterInitAndRecord) {
  SearchParams params;
  params.para_seed = 77;
  Core<TypeParam> c(with_conflicts(6, {{0, 1}}, {1, 2, 3, 4, 5, 6}), params);
  auto& s = c.s;
  EXPECT_EQ(list_members(s.pos_lst), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(s.cand_lst->vnum + s.rest_lst->vnum + s.cur_c_set->vnum, 0);
  EXPECT_EQ(s.best_weight, 0.0);
  EXPECT_EQ(s.rng.seeded, 77u);
  EXPECT_EQ(s.rng.seeds, 1);
  EXPECT_EQ(audit_state(s), "");

  s.best_vertex.assign(6, -9);
  c.add({4, 2, 0});
  s.cur_iter = 31;
  record_current(s);
  EXPECT_EQ(s.best_vertex, (std::vector<int>{4, 2, 0, -9, -9, -9}));
  EXPECT_EQ(s.best_size, 3);
  EXPECT_EQ(s.best_weight, 9.0);
  EXPECT_EQ(s.best_iter, 31);
}

// The auditor must fail on a broken state, or the checks above prove nothing.
TYPED_TEST(Invariants, AuditorReportsEachKindOfCorruption) {
  Core<TypeParam> c(random_input_graph(25, 0.5, 5, true));
  auto& s = c.s;
  random_construction(s);
  ASSERT_EQ(audit_state(s), "");
  ASSERT_GT(s.pos_lst->vnum + s.cand_lst->vnum + s.rest_lst->vnum, 0);
  int outsider = -1;
  for (int v = 0; v < s.n_vertex && outsider < 0; v++)
    if (!s.is_in_c[v] && s.adj_num_in_c[v] > 0) outsider = v;
  ASSERT_GE(outsider, 0);
  const int member = s.cur_c_set->vlist[0];

  auto caught = [&](const char* what, auto&& corrupt, auto&& repair) {
    corrupt();
    const std::string report = audit_state(s);
    EXPECT_NE(report, "") << what << " went unnoticed";
    repair();
    EXPECT_EQ(audit_state(s), "") << "after repairing " << what;
  };
  caught("conflict count", [&] { s.adj_num_in_c[outsider]++; }, [&] { s.adj_num_in_c[outsider]--; });
  caught("member's count", [&] { s.adj_num_in_c[member] = 1; }, [&] { s.adj_num_in_c[member] = 0; });
  caught("gain", [&] { s.dweight[outsider] += 0.5; }, [&] { s.dweight[outsider] -= 0.5; });
  caught("weight", [&] { s.cur_weight += 1.0; }, [&] { s.cur_weight -= 1.0; });
  caught("membership flag", [&] { s.is_in_c[outsider] = 1; }, [&] { s.is_in_c[outsider] = 0; });
  ST_RandAccessList* home = TypeParam::list_of(s, outsider);
  ST_RandAccessList* wrong = home == s.rest_lst ? s.pos_lst : s.rest_lst;
  caught("wrong list", [&] { ral_delete(home, outsider), ral_add(wrong, outsider); },
         [&] { ral_delete(wrong, outsider), ral_add(home, outsider); });
  caught("listed twice", [&] { ral_add(wrong, outsider); }, [&] { ral_delete(wrong, outsider); });
  caught("position index", [&] { home->vpos[outsider]++; }, [&] { home->vpos[outsider]--; });
}
