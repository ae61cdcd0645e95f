// Maximum weight independent set over a tree decomposition: on many small
// random graphs (trees to dense, disconnected, tied, fractional and huge
// weights, each ordering) a solved set is independent, ascending, weighs
// what is reported and as much as brute force finds; on grids it matches a
// row-by-row dynamic programme of the test's own; the widths of graphs whose
// treewidth is known; the width and memory limits refuse without a set, and
// the deadline ends a run that cannot finish.  Every ordering is exercised.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "core/rng.h"
#include "mavu/exact/tree_dp.h"

namespace {

using mavu::exact::elimination_order;
using mavu::exact::Ordering;
using mavu::exact::OrderStatus;
using mavu::exact::solve_tree_dp;
using mavu::exact::TreeDpOptions;
using mavu::exact::TreeDpResult;
using mavu::exact::TreeDpStatus;
using Graph = SparseConflictGraph<uint32_t>;

constexpr Ordering kOrderings[] = {Ordering::min_degree, Ordering::min_fill, Ordering::sweep, Ordering::best};

struct SplitMix {
  uint64_t s;
  uint64_t next() { return splitmix64(s); }
  int below(int k) { return static_cast<int>(next() % static_cast<uint64_t>(k)); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
};

struct Edges {
  int n = 0;
  std::vector<ConflictPair> pairs;
  std::vector<double> w;
  void edge(int a, int b) { pairs.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b)}); }
};

// The graph is built in place (it cannot be moved).
struct Built {
  Graph g;
  explicit Built(const Edges& e) {
    EXPECT_GE(sparse_from_pairs(g, e.n, e.pairs.data(), static_cast<long long>(e.pairs.size()), e.w.data()), 0);
  }
};

Edges grid(int rows, int cols, SplitMix* rng) {
  Edges e;
  e.n = rows * cols;
  for (int r = 0; r < rows; r++)
    for (int c = 0; c < cols; c++) {
      if (c + 1 < cols) e.edge(r * cols + c, r * cols + c + 1);
      if (r + 1 < rows) e.edge(r * cols + c, (r + 1) * cols + c);
      e.w.push_back(rng ? 1 + rng->below(1000) : 1);
    }
  return e;
}

// Set, independence and weight of a solved result.
void expect_valid(const Graph& g, const TreeDpResult& r) {
  ASSERT_EQ(r.status, TreeDpStatus::solved);
  EXPECT_TRUE(std::is_sorted(r.set.begin(), r.set.end()));
  double sum = 0;
  for (size_t i = 0; i < r.set.size(); i++) {
    ASSERT_TRUE(r.set[i] >= 0 && r.set[i] < g.n_vertex);
    for (size_t j = i + 1; j < r.set.size(); j++) EXPECT_FALSE(g.conflict(r.set[i], r.set[j])) << r.set[i] << "-" << r.set[j];
    sum += g.v_weight[r.set[i]];
  }
  EXPECT_EQ(r.weight, sum);
}

// ---- random small graphs against brute force ----

enum class Shape { tree, random, pieces };
enum class Weights { integral, ties, fractional, huge };

struct RandomCase {
  const char* name;
  Shape shape;
  double p;  // edge probability (random, pieces)
  Weights weights;
  Ordering ordering;
};

void PrintTo(const RandomCase& c, std::ostream* os) { *os << c.name; }

double brute_force(const Edges& e) {
  std::vector<uint32_t> nb(static_cast<size_t>(e.n), 0);
  for (const auto& p : e.pairs) nb[p.a] |= 1u << p.b, nb[p.b] |= 1u << p.a;
  double best = 0;
  auto go = [&](auto&& self, int i, uint32_t blocked, double s) -> void {
    if (i == e.n) {
      best = std::max(best, s);
      return;
    }
    if (!(blocked >> i & 1)) self(self, i + 1, blocked | nb[static_cast<size_t>(i)], s + e.w[static_cast<size_t>(i)]);
    self(self, i + 1, blocked, s);
  };
  go(go, 0, 0, 0.0);
  return best;
}

Edges random_graph(const RandomCase& c, SplitMix& rng) {
  Edges e;
  e.n = rng.below(21);
  // Vertex i belongs to piece i % pieces; edges only inside a piece.
  const int pieces = c.shape == Shape::pieces ? 1 + rng.below(4) : 1;
  for (int b = 1; b < e.n; b++) {
    if (c.shape == Shape::tree) e.edge(rng.below(b), b);
    else
      for (int a = 0; a < b; a++)
        if (a % pieces == b % pieces && rng.unit() < c.p) e.edge(a, b);
  }
  for (int v = 0; v < e.n; v++) {
    switch (c.weights) {
      case Weights::integral: e.w.push_back(1 + rng.below(100)); break;
      case Weights::ties: e.w.push_back(1 + rng.below(3)); break;
      case Weights::fractional: e.w.push_back(0.001 + 10 * rng.unit()); break;
      case Weights::huge: e.w.push_back(std::ldexp(1 + rng.unit(), 60 + rng.below(17))); break;
    }
  }
  return e;
}

class TreeDpRandom : public ::testing::TestWithParam<RandomCase> {};

TEST_P(TreeDpRandom, SolvedSetIsIndependentAndAsHeavyAsBruteForce) {
  const RandomCase c = GetParam();
  uint64_t seed = 14695981039346656037ull;  // FNV-1a of the name: each case its own graphs
  for (const char* ch = c.name; *ch; ch++) seed = (seed ^ static_cast<unsigned char>(*ch)) * 1099511628211ull;
  SplitMix rng{seed};
  TreeDpOptions options;
  options.ordering = c.ordering;
  for (int trial = 0; trial < 300; trial++) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const Edges e = random_graph(c, rng);
    const Built built(e);
    const Graph& g = built.g;
    Deadline none;
    const TreeDpResult r = solve_tree_dp(g, none, options);
    ASSERT_NO_FATAL_FAILURE(expect_valid(g, r));
    const double best = brute_force(e);
    // Integer sums are exact; others may differ from brute force's in the
    // last bits only.
    EXPECT_NEAR(r.weight, best, c.weights == Weights::integral || c.weights == Weights::ties ? 0 : 1e-12 * best);
    EXPECT_LE(r.width, std::max(0, e.n - 1));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, TreeDpRandom,
    ::testing::Values(RandomCase{"trees_min_degree", Shape::tree, 0, Weights::integral, Ordering::min_degree},
                      RandomCase{"trees_sweep_fractional", Shape::tree, 0, Weights::fractional, Ordering::sweep},
                      RandomCase{"trees_min_fill_ties", Shape::tree, 0, Weights::ties, Ordering::min_fill},
                      RandomCase{"sparse_sweep", Shape::random, 0.12, Weights::integral, Ordering::sweep},
                      RandomCase{"sparse_min_fill_fractional", Shape::random, 0.15, Weights::fractional, Ordering::min_fill},
                      RandomCase{"medium_min_degree_ties", Shape::random, 0.3, Weights::ties, Ordering::min_degree},
                      RandomCase{"medium_min_fill_huge", Shape::random, 0.35, Weights::huge, Ordering::min_fill},
                      RandomCase{"dense_best_fractional", Shape::random, 0.75, Weights::fractional, Ordering::best},
                      RandomCase{"dense_min_fill_integral", Shape::random, 0.9, Weights::integral, Ordering::min_fill},
                      RandomCase{"pieces_best_huge", Shape::pieces, 0.4, Weights::huge, Ordering::best},
                      RandomCase{"pieces_sweep_ties", Shape::pieces, 0.6, Weights::ties, Ordering::sweep}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- grids against a row-by-row programme ----

// Maximum weight independent set of a grid, column by column over the
// independent masks of one column.
double grid_optimum(const Edges& e, int rows, int cols) {
  std::vector<int> masks;
  for (int m = 0; m < (1 << rows); m++)
    if ((m & (m >> 1)) == 0) masks.push_back(m);
  auto column = [&](int c, int m) {
    double s = 0;
    for (int r = 0; r < rows; r++)
      if (m >> r & 1) s += e.w[static_cast<size_t>(r * cols + c)];
    return s;
  };
  std::vector<double> best(masks.size()), next(masks.size());
  for (size_t i = 0; i < masks.size(); i++) best[i] = column(0, masks[i]);
  for (int c = 1; c < cols; c++) {
    for (size_t i = 0; i < masks.size(); i++) {
      double prev = 0;
      for (size_t j = 0; j < masks.size(); j++)
        if ((masks[i] & masks[j]) == 0) prev = std::max(prev, best[j]);
      next[i] = prev + column(c, masks[i]);
    }
    best.swap(next);
  }
  return *std::max_element(best.begin(), best.end());
}

struct GridCase {
  int rows, cols;
};

void PrintTo(const GridCase& c, std::ostream* os) { *os << c.rows << "x" << c.cols; }

class TreeDpGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(TreeDpGrid, MatchesTheRowProgramme) {
  const auto [rows, cols] = GetParam();
  SplitMix rng{static_cast<uint64_t>(rows * 1000 + cols)};
  const Edges e = grid(rows, cols, &rng);
  const Built built(e);
    const Graph& g = built.g;
  for (Ordering o : kOrderings) {
    Deadline none;
    const TreeDpResult r = solve_tree_dp(g, none, {.ordering = o});
    ASSERT_NO_FATAL_FAILURE(expect_valid(g, r));
    EXPECT_EQ(r.weight, grid_optimum(e, rows, cols));
    // No order is narrower than the treewidth: min(rows, cols), a path's 1, a vertex's 0.
    EXPECT_GE(r.width, rows == 1 || cols == 1 ? std::min(1, rows * cols - 1) : std::min(rows, cols));
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TreeDpGrid,
                         ::testing::Values(GridCase{1, 1}, GridCase{1, 37}, GridCase{2, 30}, GridCase{3, 3},
                                           GridCase{5, 40}, GridCase{6, 50}, GridCase{9, 20}, GridCase{12, 12}),
                         [](const auto& info) {
                           return std::to_string(info.param.rows) + "x" + std::to_string(info.param.cols);
                         });

// ---- widths, limits, deadline ----

struct WidthCase {
  const char* name;
  Edges graph;
  int width;  // the treewidth, which every ordering reaches on these graphs
};

TEST(TreeDpWidth, EveryOrderingReachesTheTreewidthOfSimpleGraphs) {
  auto make = [](int n, auto&& edges) {
    Edges e;
    e.n = n;
    e.w.assign(static_cast<size_t>(n), 1.0);
    edges(e);
    return e;
  };
  SplitMix rng{7};
  const std::vector<WidthCase> cases = {
      {"no edges", make(5, [](Edges&) {}), 0},
      {"path", make(12, [](Edges& e) { for (int i = 1; i < e.n; i++) e.edge(i - 1, i); }), 1},
      {"star", make(30, [](Edges& e) { for (int i = 1; i < e.n; i++) e.edge(0, i); }), 1},
      {"random tree", make(200, [&](Edges& e) { for (int i = 1; i < e.n; i++) e.edge(rng.below(i), i); }), 1},
      {"cycle", make(15, [](Edges& e) { for (int i = 0; i < e.n; i++) e.edge(i, (i + 1) % e.n); }), 2},
      {"ladder", grid(2, 40, nullptr), 2},
      {"complete", make(9, [](Edges& e) { for (int a = 0; a < e.n; a++) for (int b = a + 1; b < e.n; b++) e.edge(a, b); }), 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Built built(c.graph);
    const Graph& g = built.g;
    for (Ordering o : kOrderings) {
      Deadline none;
      const auto order = elimination_order(g, o, 64, none);
      ASSERT_EQ(order.status, OrderStatus::ok);
      EXPECT_EQ(order.width, c.width);
      std::vector<int> sorted = order.order;
      std::sort(sorted.begin(), sorted.end());
      for (int v = 0; v < g.n_vertex; v++) ASSERT_EQ(sorted[static_cast<size_t>(v)], v);  // a permutation
      // One below the treewidth no order exists.
      if (c.width > 0) {
        EXPECT_EQ(elimination_order(g, o, c.width - 1, none).status, OrderStatus::too_wide);
      }
    }
  }
}

TEST(TreeDpLimits, TooWideAndTooLargeAreRefusedWithoutASetAndTheLimitsAreExact) {
  SplitMix rng{3};
  const Built built(grid(8, 30, &rng));
    const Graph& g = built.g;  // treewidth 8
  Deadline none;
  for (Ordering o : kOrderings) {
    const TreeDpResult narrow = solve_tree_dp(g, none, {.max_width = 7, .ordering = o});
    EXPECT_EQ(narrow.status, TreeDpStatus::too_wide);
    EXPECT_GT(narrow.width, 7);
    EXPECT_TRUE(narrow.set.empty());
  }
  const TreeDpResult free = solve_tree_dp(g, none);
  ASSERT_EQ(free.status, TreeDpStatus::solved);
  EXPECT_EQ(solve_tree_dp(g, none, {.max_width = free.width}).status, TreeDpStatus::solved);
  EXPECT_EQ(solve_tree_dp(g, none, {.max_width = free.width - 1}).status, TreeDpStatus::too_wide);
  const TreeDpResult tight = solve_tree_dp(g, none, {.max_table_bytes = free.bytes});
  EXPECT_EQ(tight.status, TreeDpStatus::solved);
  EXPECT_EQ(tight.set, free.set);
  const TreeDpResult small = solve_tree_dp(g, none, {.max_table_bytes = free.bytes - 1});
  EXPECT_EQ(small.status, TreeDpStatus::no_memory);
  EXPECT_EQ(small.bytes, free.bytes);
  EXPECT_TRUE(small.set.empty());
}

struct DeadlineCase {
  const char* name;
  Edges graph;
  TreeDpOptions options;
};

TEST(TreeDpDeadline, EndsSoonAfterTheDeadlineOnGraphsItCannotFinish) {
  SplitMix rng{11};
  Edges sparse;  // random, average degree 6: treewidth in the thousands
  sparse.n = 20000;
  for (int i = 0; i < 3 * sparse.n; i++) {
    const int a = rng.below(sparse.n), b = rng.below(sparse.n);
    if (a != b) sparse.edge(a, b);
  }
  sparse.w.assign(static_cast<size_t>(sparse.n), 1.0);
  const std::vector<DeadlineCase> cases = {
      {"tables of a 16x300 grid", grid(16, 300, &rng), {.max_width = 24, .max_table_bytes = 1ull << 30, .ordering = Ordering::sweep}},
      {"minimum fill on a random graph", sparse, {.max_width = 5000, .ordering = Ordering::min_fill}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Built built(c.graph);
    const Graph& g = built.g;
    const long start = cpu_ticks(CLOCK_THREAD_CPUTIME_ID);
    Deadline d(CLOCK_THREAD_CPUTIME_ID, start, 0.03);
    const TreeDpResult r = solve_tree_dp(g, d, c.options);
    const double spent = static_cast<double>(cpu_ticks(CLOCK_THREAD_CPUTIME_ID) - start) / 1e6;
    EXPECT_EQ(r.status, TreeDpStatus::abandoned);
    EXPECT_TRUE(r.set.empty());
    EXPECT_LT(spent, 0.3);
  }
  // A stop asked for before the call ends it at once.
  std::atomic<int> stop{1};
  Deadline stopped(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), Deadline::kNoLimit, &stop);
  EXPECT_EQ(solve_tree_dp(Built(grid(3, 3, nullptr)).g, stopped).status, TreeDpStatus::abandoned);
}

}  // namespace
