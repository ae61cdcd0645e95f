// Search state: every move, restart and threshold change keeps the
// incrementally maintained counters, gains and partition exact (as recomputed
// by the auditor), the current set passes the final check, and the auditor
// itself notices a broken state.
#include <cmath>
#include <random>
#include <tuple>
#include <type_traits>

#include "core_fixture.h"
#include "verify/check.h"

template <class P>
class Invariants : public ::testing::Test {};
TYPED_TEST_SUITE(Invariants, CoreProfiles, CoreProfileNames);

// One random operation on the search state: a push or drop of a random
// vertex, a construction, a directed restart, a reinitialisation, a threshold
// change or a search-loop step.  Returns the operation's number.
template <class S>
int random_operation(S& s, std::mt19937& pick, int pushes_by_k[4]) {
  auto uniform = [&](int k) { return static_cast<int>(pick() % static_cast<unsigned>(k)); };
  auto push = [&](int v, int tt) {
    pushes_by_k[std::min<int>(static_cast<int>(s.adj_num_in_c[v]), 3)]++;
    pushWithTabu(s, v, tt);
    s.cur_iter++;
  };
  const int op = uniform(12);
  if (op < 6) {  // a random vertex: dropped if a member, else pushed with a random or fixed tenure
    const int v = uniform(s.n_vertex);
    if (s.is_in_c[v]) drop(s, v);
    else push(v, uniform(2));
  } else if (op == 6) {
    random_construction(s);
    if constexpr (std::derived_from<typename S::Profile, Mavu1Profile>) {
      if (uniform(2)) estimate_init_thresh(s);
    }
  } else if (op == 7) {
    directed_restart(s);
  } else if (op == 8) {
    if (uniform(3) == 0) reinit_data(s);
  } else if (op == 9) {
    if constexpr (std::derived_from<typename S::Profile, Mavu1Profile>) adjust_thresh(s, uniform(13) - 6);
  } else {  // a search-loop step: best of pos_lst, else cand_lst, else rest_lst
    int v = -1;
    if (evaluate_list_max(s, s.pos_lst, v) || evaluate_list_max(s, s.cand_lst, v) ||
        evaluate_list_max(s, s.rest_lst, v))
      push(v, 0);
  }
  return op;
}

struct Shape {
  int n;
  double p;  // input edge probability: high p = few conflicts
  bool fractional;
  bool wide = false;  // weights spread over 10^-2 .. 10^22, where sums round
};

TYPED_TEST(Invariants, RandomMoveSequencesKeepEveryInvariant) {
  const Shape shapes[] = {{8, 0.2, false}, {20, 0.5, true}, {35, 0.8, false},   {50, 0.3, true},
                          {60, 0.9, true}, {40, 0.05, false}, {30, 0.6, true, true}};
  int pushes_by_k[4] = {0, 0, 0, 0}, beyond_base = 0;
  for (unsigned seed = 1; seed <= 10; seed++) {
    for (const auto& sh : shapes) {
      std::mt19937 pick(seed * 7919u + static_cast<unsigned>(sh.n));
      InputGraph in = random_input_graph(sh.n, sh.p, seed, sh.fractional);
      if (sh.wide)
        for (double& w : in.weights) w *= std::pow(10.0, static_cast<int>(pick() % 25) - 2);
      Core<TypeParam> c(in);
      auto& s = c.s;
      for (int step = 0; step < 300; step++) {
        const int op = random_operation(s, pick, pushes_by_k);
        ASSERT_EQ(audit_state(s), "") << "after operation " << op << ", step " << step << ", n " << sh.n
                                      << ", seed " << seed;
        // No step adds more vertices than an iteration with a restart, so the
        // step count stands for the iteration in the check's rounding bound.
        const double base = TypeParam::kCheckTolerance;
        const int* set = s.cur_c_set->vlist;
        ASSERT_TRUE(check_solution(c.g, set, s.cur_c_set->vnum, s.cur_weight,
                                   check_tolerance(base, c.g.v_weight.data(), s.n_vertex, step)))
            << "step " << step << ", n " << sh.n << ", seed " << seed;
        beyond_base += !check_solution(c.g, set, s.cur_c_set->vnum, s.cur_weight, base);
      }
    }
  }
  // Every push case was exercised, and rounding did exceed the ordinary
  // tolerance, so the loop above cannot pass vacuously.
  for (int k = 0; k < 4; k++) EXPECT_GT(pushes_by_k[k], 20) << "pushes with " << k << " conflicts";
  EXPECT_GT(beyond_base, 0);
}

// Every layout gives the same run: after every operation of a random
// sequence, the same members and list members in the same order, the same
// gains and the same draws (the construction of the compressed layout finds
// its candidates by a different method from the plain scan).
template <class P>
void expect_same_run_on_every_layout() {
  {
    const Shape shapes[] = {{40, 0.5, true}, {90, 0.95, false}, {300, 0.99, false}};
    int pushes_by_k[4] = {0, 0, 0, 0};
    for (unsigned seed = 1; seed <= 4; seed++) {
      for (const auto& sh : shapes) {
        const InputGraph in = random_input_graph(sh.n, sh.p, seed, sh.fractional);
        Core<P> dense(in);
        Core<WithLayout<P, Sparse16>> narrow(in);
        Core<WithLayout<P, Sparse32>> wide(in);
        std::mt19937 pick1(seed), pick2(seed), pick3(seed);
        auto state = [](const auto& c) {
          const auto& s = c.s;
          return std::tuple(items(s.cur_c_set), items(s.pos_lst), items(s.cand_lst), items(s.rest_lst), s.dweight,
                            s.rng.drawn, s.tabu_lst, s.cur_weight);
        };
        for (int step = 0; step < 200; step++) {
          random_operation(dense.s, pick1, pushes_by_k);
          random_operation(narrow.s, pick2, pushes_by_k);
          random_operation(wide.s, pick3, pushes_by_k);
          ASSERT_TRUE(state(dense) == state(narrow) && state(dense) == state(wide))
              << "step " << step << ", n " << sh.n << ", seed " << seed;
        }
        EXPECT_GT(dense.rng().draws(), 50u);
      }
    }
  }
}

TEST(Layouts, EveryLayoutGivesTheSameRun) {
  expect_same_run_on_every_layout<Mavu1Profile>();
  expect_same_run_on_every_layout<Mavu2Profile>();
}

// The auditor must fail on a broken state, or the checks above prove nothing.
TYPED_TEST(Invariants, AuditorReportsEachKindOfCorruption) {
  Core<TypeParam> c(random_input_graph(25, 0.5, 5, true));
  auto& s = c.s;
  random_construction(s);
  ASSERT_EQ(audit_state(s), "");
  int outsider = -1;
  for (int v = 0; v < s.n_vertex && outsider < 0; v++)
    if (!s.is_in_c[v] && s.adj_num_in_c[v] > 0) outsider = v;
  ASSERT_GE(outsider, 0);
  const int member = s.cur_c_set->vlist[0];

  auto caught = [&](const char* what, auto&& corrupt, auto&& repair) {
    corrupt();
    EXPECT_NE(audit_state(s), "") << what << " went unnoticed";
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
