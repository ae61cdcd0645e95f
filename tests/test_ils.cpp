// Kernel local search (mavu/ils): on random graphs of several shapes and
// weightings the kept state agrees with a recomputation after every
// iteration, through the concurrent rounds and the core phases; a run is the
// same for the same seed however its calls are split; the deadline stops it
// promptly on a large graph; on small graphs it reaches the brute-force
// optimum.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/cpu_clock.h"
#include "core/deadline.h"
#include "mavu/ils/local_search.h"

namespace {

using mavu::ils::LocalSearch;
using mavu::ils::Rng;
using mavu::ils::SearchOptions;

enum class Weights { spread, equal, mixed };

struct Shape {
  const char* name;
  int n;
  long edges;  // drawn (repeats and loops dropped)
  int skew;    // 1: uniform endpoints; k > 1: endpoint n * u^k (a few hubs)
  Weights weights;
};

template <class V>
std::unique_ptr<SparseConflictGraph<V>> make_graph(const Shape& s, uint64_t seed) {
  Rng r(seed);
  auto endpoint = [&] {
    double u = r.unit(), x = u;
    for (int k = 1; k < s.skew; k++) x *= u;
    return static_cast<uint32_t>(x * s.n);
  };
  std::vector<ConflictPair> pairs;
  for (long e = 0; e < s.edges; e++) {
    const uint32_t a = endpoint(), b = endpoint();
    if (a != b) pairs.push_back({a, b});
  }
  std::vector<double> w(static_cast<size_t>(s.n));
  for (double& x : w) {
    switch (s.weights) {
      case Weights::spread: x = 1 + r.below(200); break;
      case Weights::equal: x = 1; break;
      // Two scales in one graph: multiples of 1e20 beside small non-integral weights.
      case Weights::mixed: x = r.below(2) ? 1e20 * (1 + r.below(7)) : 0.1 + 10 * r.unit(); break;
    }
  }
  auto g = std::make_unique<SparseConflictGraph<V>>();
  EXPECT_GE(sparse_from_pairs(*g, s.n, pairs.data(), static_cast<long long>(pairs.size()), w.data()), 0);
  return g;
}

const Shape kShapes[] = {
    {"uniform", 1500, 4500, 1, Weights::spread},
    {"hubs", 1200, 9000, 3, Weights::spread},
    {"dense", 150, 3000, 1, Weights::spread},
    {"equal_weights", 1000, 3000, 1, Weights::equal},
    {"mixed_scales", 800, 2400, 2, Weights::mixed},
};

struct Config {
  int solutions;
  double concurrent_after;
};

class Invariants : public ::testing::TestWithParam<std::tuple<Shape, Config>> {};

TEST_P(Invariants, HoldAfterEveryIteration) {
  const auto& [shape, config] = GetParam();
  auto g = make_graph<uint16_t>(shape, 7);
  LocalSearch<uint16_t> ls;
  SearchOptions o;
  o.seed = 3;
  o.solutions = config.solutions;
  o.concurrent_after = config.concurrent_after;
  ASSERT_TRUE(ls.init(*g, o));
  std::string why;
  ASSERT_TRUE(ls.check(&why)) << why;
  Deadline none;
  const long iterations = config.solutions > 1 ? 10000 : 4000;
  for (long i = 1; i <= iterations; i++) {
    ASSERT_EQ(ls.run(none, i), 1);
    ASSERT_TRUE(ls.check(&why)) << why << " after iteration " << i;
  }
  if (config.solutions > 1) {
    EXPECT_EQ(ls.solutions(), config.solutions);
    EXPECT_GE(ls.core_phases(), 1) << "the rounds never reached a core";
  }
}

std::string name_of(const ::testing::TestParamInfo<std::tuple<Shape, Config>>& info) {
  const auto& [shape, config] = info.param;
  return std::string(shape.name) + "_" + std::to_string(config.solutions) + "_solutions";
}

INSTANTIATE_TEST_SUITE_P(Shapes, Invariants,
                         ::testing::Combine(::testing::ValuesIn(kShapes), ::testing::Values(Config{1, 0}, Config{4, 0.5})),
                         name_of);

// The same seed and the same totals give the same run, in one call or many.
TEST(Determinism, SplitCallsRepeatTheRun) {
  for (const Shape& shape : kShapes) {
    auto g = make_graph<uint16_t>(shape, 11);
    SearchOptions o;
    o.seed = 5;
    o.solutions = 4;
    o.concurrent_after = 1;
    LocalSearch<uint16_t> a, b;
    ASSERT_TRUE(a.init(*g, o));
    ASSERT_TRUE(b.init(*g, o));
    Deadline none;
    a.run(none, 20000);
    for (long i = 7; i < 20000; i += 7) b.run(none, i);
    b.run(none, 20000);
    EXPECT_EQ(a.iterations(), b.iterations()) << shape.name;
    EXPECT_EQ(a.work(), b.work()) << shape.name;
    EXPECT_EQ(a.best_weight(), b.best_weight()) << shape.name;
    EXPECT_EQ(a.best_iteration(), b.best_iteration()) << shape.name;
    EXPECT_EQ(a.best_set(), b.best_set()) << shape.name;
    // A work limit is a total too.
    LocalSearch<uint16_t> c, d;
    ASSERT_TRUE(c.init(*g, o));
    ASSERT_TRUE(d.init(*g, o));
    const long long limit = c.work() + 3000000;
    c.run(none, 1L << 40, limit);
    d.run(none, 1L << 40, limit / 2);
    d.run(none, 1L << 40, limit);
    EXPECT_EQ(c.iterations(), d.iterations()) << shape.name;
    EXPECT_EQ(c.best_set(), d.best_set()) << shape.name;
  }
}

// A run on a graph it cannot finish stops soon after its deadline, also
// while the concurrent rounds switch between solutions and build cores.
TEST(Deadline, StopsPromptlyOnALargeGraph) {
  const Shape big{"big", 400000, 1200000, 1, Weights::spread};
  auto g = make_graph<uint32_t>(big, 13);
  for (double after : {100.0, 0.05}) {
    LocalSearch<uint32_t> ls;
    SearchOptions o;
    o.solutions = 4;
    o.concurrent_after = after;
    ASSERT_TRUE(ls.init(*g, o));
    const double limit = 0.3;
    Deadline d(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), limit);
    ls.run(d, 1L << 40);
    const double spent = d.elapsed();
    EXPECT_GE(spent, limit);
    EXPECT_LT(spent, limit + 0.1) << "concurrent after " << after << " iterations per vertex";
    EXPECT_GT(ls.iterations(), 0);
    if (after < 1) {
      EXPECT_EQ(ls.solutions(), 4);
    }
    std::string why;
    EXPECT_TRUE(ls.check(&why)) << why;
  }
}

// Brute force over all subsets by branching on each vertex in turn.
double brute_force(const SparseConflictGraph<uint16_t>& g) {
  const int n = g.n_vertex;
  std::vector<uint32_t> nb(static_cast<size_t>(n), 0);
  for (int v = 0; v < n; v++)
    for (int i = 0; i < g.v_edge_count[v]; i++) nb[static_cast<size_t>(v)] |= 1u << g.v_adj[v][i];
  double best = 0;
  auto go = [&](auto&& self, int i, uint32_t blocked, double s) -> void {
    if (i == n) {
      best = std::max(best, s);
      return;
    }
    if (!(blocked >> i & 1)) self(self, i + 1, blocked | nb[static_cast<size_t>(i)], s + g.v_weight[i]);
    self(self, i + 1, blocked, s);
  };
  go(go, 0, 0, 0.0);
  return best;
}

TEST(Optimum, SmallGraphsReachBruteForce) {
  const Shape small[] = {
      {"sparse", 24, 36, 1, Weights::spread},
      {"medium", 22, 70, 1, Weights::spread},
      {"hubs", 24, 60, 3, Weights::spread},
      {"dense", 20, 120, 1, Weights::spread},
  };
  int cases = 0;
  for (const Shape& shape : small) {
    for (uint64_t seed = 1; seed <= 15; seed++) {
      auto g = make_graph<uint16_t>(shape, seed);
      const double opt = brute_force(*g);
      for (int solutions : {1, 4}) {
        LocalSearch<uint16_t> ls;
        SearchOptions o;
        o.seed = seed;
        o.solutions = solutions;
        ASSERT_TRUE(ls.init(*g, o));
        Deadline none;
        ls.run(none, 20000);
        EXPECT_EQ(ls.best_weight(), opt) << shape.name << " seed " << seed << " solutions " << solutions;
        double w = 0;
        for (int v : ls.best_set()) w += g->v_weight[v];
        EXPECT_EQ(w, ls.best_weight());
        cases++;
      }
    }
  }
  EXPECT_EQ(cases, 120);
}

// A given start set is kept (where independent), completed and improved.
TEST(Start, FromAGivenSet) {
  auto g = make_graph<uint16_t>(kShapes[0], 17);
  LocalSearch<uint16_t> first;
  ASSERT_TRUE(first.init(*g, SearchOptions{}));
  Deadline none;
  first.run(none, 20000);
  const std::vector<int> set = first.best_set();
  LocalSearch<uint16_t> again;
  ASSERT_TRUE(again.init(*g, SearchOptions{}, &set));
  EXPECT_GE(again.best_weight(), first.best_weight());
  std::string why;
  EXPECT_TRUE(again.check(&why)) << why;
}

}  // namespace
