// Weighted independent-set reduction against brute force: on many small
// random graphs of several shapes (sparse, paths and cycles for the folds,
// dense, equal weights for the ties of domination), the optimum through
// reduction, exact components (masks, or branch and reduce), the parts' own
// optima and lifting equals the brute-force optimum, and the lifted set is
// independent and weighs what the reduction says; branch and reduce with a
// lower bound finds the optimum only when it beats the bound, and the clique
// cover bound is never below the optimum.  Shapes made for a rule (twins
// copied, bipartite graphs for the LP rule, heavy hubs for the clique-cover
// test) check that the rule fired.  A deadline stops the reduction and
// branch and reduce promptly, leaving a valid partial reduction.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "mavu/reduce/exact.h"
#include "mavu/reduce/mwis.h"

namespace {

using mavu::reduce::MwisOptions;
using mavu::reduce::MwisReduction;
using Graph = SparseConflictGraph<uint16_t>;

// The rule a shape is made for: it must fire in some trial.
enum class Fires { any, twins, clique, lp, lookups };

struct Shape {
  const char* name;
  int n;
  double edge_prob;  // random edges
  bool path;         // plus a path 0-1-...-(n-1) (degree-two vertices)
  int max_weight;    // weights 1..max_weight
  int exact_max;     // components solved by the mask branch and bound up to this size
  bool branch;       // larger ones by branch and reduce (else all left as parts)
  long budget;       // branches of branch and reduce per component
  bool bipartite = false;  // edges only between the two halves (even and odd vertices)
  int twins = 0;           // vertices turned into twins of others (same neighbours, not adjacent)
  int hubs = 0;            // vertices made heavy (weight times the number of vertices)
  Fires fires = Fires::any;
  int dense_hubs = 0;      // vertices adjacent to each other one with probability 0.9
  int walk_max = 16;       // MwisOptions::walk_max_entries: longer lists are searched, not walked
};

// Brute force over the independent sets of the vertices in `vs` (enumerated
// by branching on each vertex in turn), returning the optimum; its set is
// appended to *best_set.
double brute_force(const std::vector<std::vector<char>>& adj, const std::vector<double>& w,
                   const std::vector<int>& vs, std::vector<int>* best_set = nullptr) {
  const int k = static_cast<int>(vs.size());
  std::vector<uint32_t> nb(static_cast<size_t>(k), 0);
  for (int i = 0; i < k; i++)
    for (int j = 0; j < k; j++)
      if (adj[static_cast<size_t>(i)][static_cast<size_t>(j)]) nb[static_cast<size_t>(i)] |= 1u << j;
  double best = 0;
  uint32_t best_mask = 0;
  auto go = [&](auto&& self, int i, uint32_t blocked, uint32_t set, double s) -> void {
    if (i == k) {
      if (s > best) best = s, best_mask = set;
      return;
    }
    if (!(blocked >> i & 1)) self(self, i + 1, blocked | nb[static_cast<size_t>(i)], set | 1u << i, s + w[static_cast<size_t>(i)]);
    self(self, i + 1, blocked, set, s);
  };
  go(go, 0, 0, 0, 0.0);
  if (best_set)
    for (int i = 0; i < k; i++)
      if (best_mask >> i & 1) best_set->push_back(vs[static_cast<size_t>(i)]);
  return best;
}

void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

class MwisReduce : public ::testing::TestWithParam<Shape> {};

TEST_P(MwisReduce, OptimumThroughKernelAndLiftingEqualsBruteForce) {
  const Shape sh = GetParam();
  std::mt19937 gen(12345);
  long long fired = 0;
  for (int trial = 0; trial < 1000; trial++) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const int n = sh.n;
    std::vector<std::vector<char>> adj(static_cast<size_t>(n), std::vector<char>(static_cast<size_t>(n), 0));
    std::bernoulli_distribution coin(sh.edge_prob), hub_coin(0.9);
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++)
        if ((sh.path && b == a + 1) || ((!sh.bipartite || (a + b) % 2 == 1) && coin(gen)) ||
            (a < sh.dense_hubs && hub_coin(gen)))
          adj[static_cast<size_t>(a)][static_cast<size_t>(b)] = adj[static_cast<size_t>(b)][static_cast<size_t>(a)] = 1;
    for (int t = 0; t < sh.twins; t++) {  // vertex c becomes a twin of vertex o
      const int c = static_cast<int>(gen() % static_cast<unsigned>(n)), o = static_cast<int>(gen() % static_cast<unsigned>(n));
      if (c == o) continue;
      for (int y = 0; y < n; y++) {
        const char e = y != c && y != o && adj[static_cast<size_t>(o)][static_cast<size_t>(y)];
        adj[static_cast<size_t>(c)][static_cast<size_t>(y)] = adj[static_cast<size_t>(y)][static_cast<size_t>(c)] = e;
      }
    }
    std::vector<ConflictPair> pairs;
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++)
        if (adj[static_cast<size_t>(a)][static_cast<size_t>(b)]) pairs.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b)});
    std::vector<double> w(static_cast<size_t>(n));
    std::uniform_int_distribution<int> weight(1, sh.max_weight);
    for (auto& x : w) x = weight(gen);
    for (int h = 0; h < sh.hubs; h++) w[gen() % static_cast<unsigned>(n)] *= n;
    Graph g;
    ASSERT_EQ(sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(pairs.size()), w.data()), 0);
    std::vector<int> all(static_cast<size_t>(n));
    for (int v = 0; v < n; v++) all[static_cast<size_t>(v)] = v;
    const double optimum = brute_force(adj, w, all);
    if (sh.branch) {  // the bound and the cut of branch and reduce on the whole graph
      SparseConflictGraph<uint32_t> g32;
      ASSERT_EQ(sparse_from_pairs(g32, n, pairs.data(), static_cast<long long>(pairs.size()), w.data()), 0);
      EXPECT_GE(mavu::reduce::clique_cover_bound(g32), optimum);
      for (const double lower : {optimum - 1, optimum}) {
        long budget = 1000000;
        std::vector<int> set;
        double weight = 0;
        MwisOptions masks_off;
        masks_off.exact_max_vertices = 0;
        ASSERT_TRUE(mavu::reduce::branch_and_reduce(g32, lower, budget, set, weight, masks_off));
        if (lower < optimum) {
          EXPECT_EQ(weight, optimum);
          EXPECT_TRUE(mavu::reduce::is_independent(g32, set));
        } else {
          EXPECT_TRUE(set.empty() && weight < 0) << "nothing beats the optimum";
        }
      }
    }

    MwisReduction r;
    MwisOptions options;
    options.exact_max_vertices = sh.exact_max;
    options.branch_max_vertices = sh.branch ? 1000 : 0;
    options.branch_budget = sh.budget;
    options.walk_max_entries = sh.walk_max;
    ASSERT_TRUE(r.run(g, options));
    const auto& st = r.stats();
    fired += sh.fires == Fires::twins ? st.twins
           : sh.fires == Fires::clique ? st.clique_taken
           : sh.fires == Fires::lp     ? st.lp_taken + st.lp_removed
           : sh.fires == Fires::lookups ? (st.lookups > 0 && st.taken + st.removed + st.transfers > 0)
                                       : 1;
    // Each part solved by brute force on its own kernel graph.
    double total = r.fixed_weight();
    std::vector<int> chosen;
    long long part_vertices = 0;
    for (int p = 0; p < static_cast<int>(r.parts().size()); p++) {
      const auto& part = r.parts()[static_cast<size_t>(p)];
      const size_t k = part.size();
      part_vertices += static_cast<long long>(k);
      ASSERT_LE(k, 32u);  // brute force on 32-bit masks
      std::vector<std::vector<char>> padj(k, std::vector<char>(k, 0));
      for (const ConflictPair& e : r.part_pairs(p)) {
        ASSERT_LT(e.a, e.b);
        ASSERT_LT(e.b, k);
        padj[e.a][e.b] = padj[e.b][e.a] = 1;
      }
      std::vector<double> pw(k);
      for (size_t i = 0; i < k; i++) pw[i] = r.weight(part[i]);
      total += brute_force(padj, pw, part, &chosen);
    }
    EXPECT_EQ(part_vertices, r.stats().searched);
    EXPECT_EQ(total, optimum);
    const std::vector<int> set = r.lift(chosen);
    EXPECT_TRUE(mavu::reduce::is_independent(g, set));
    double weight_of_set = 0;
    for (int v : set) weight_of_set += w[static_cast<size_t>(v)];
    EXPECT_EQ(weight_of_set, total);
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(fired, 0) << "the rule the shape is made for never fired";
}

const Shape kShapes[] = {
    {"Sparse", 24, 0.12, false, 20, 0, false, 0},
    {"SparseMasks", 24, 0.12, false, 20, 64, false, 0},
    {"SparseBranchAndReduce", 24, 0.12, false, 20, 0, true, 1000},
    {"PathPlusChords", 24, 0.05, true, 10, 0, false, 0},
    {"PathPlusChordsMasks", 24, 0.05, true, 10, 64, false, 0},
    {"Medium", 16, 0.3, false, 30, 0, false, 0},
    {"MediumBranchAndReduce", 22, 0.3, false, 30, 0, true, 1000},
    {"DenseMasks", 16, 0.6, false, 30, 64, false, 0},
    {"EqualWeights", 18, 0.15, false, 1, 0, false, 0},
    {"EqualWeightsBranchAndReduce", 24, 0.15, false, 1, 0, true, 1000},
    {"TwoWeights", 18, 0.2, true, 2, 0, false, 0},
    {"TinyBudgets", 20, 0.15, false, 50, 8, true, 3},
    {"HardBranchAndReduce", 32, 0.2, false, 100, 0, true, 100000},
    {"Twins", 22, 0.2, false, 20, 0, false, 0, false, 6, 0, Fires::twins},
    {"TwinsBranchAndReduce", 24, 0.25, false, 20, 0, true, 100000, false, 6, 0, Fires::twins},
    {"Bipartite", 24, 0.2, false, 30, 0, false, 0, true, 0, 0, Fires::lp},
    {"BipartiteEqualWeights", 24, 0.2, false, 1, 0, false, 0, true, 0, 0, Fires::lp},
    {"BipartiteBranchAndReduce", 28, 0.25, false, 30, 0, true, 100000, true, 0, 0, Fires::lp},
    {"HeavyHubs", 20, 0.35, false, 10, 0, false, 0, false, 0, 3, Fires::clique},
    {"HeavyHubsBranchAndReduce", 24, 0.35, false, 10, 0, true, 100000, false, 0, 3, Fires::clique},
    // Hubs adjacent to most vertices among many of low degree: the edge
    // rules look neighbours up in the hubs' ascending lists (every list
    // searched when walk_max is 0), folds rename entries keeping them
    // ascending.
    {"DenseHubs", 24, 0.06, false, 20, 0, false, 0, false, 0, 0, Fires::lookups, 3},
    {"DenseHubsSearchAll", 24, 0.06, false, 20, 0, false, 0, false, 0, 0, Fires::lookups, 3, 0},
    {"DenseHubsPathSearchAll", 24, 0.04, true, 10, 0, false, 0, false, 0, 0, Fires::lookups, 2, 0},
    {"DenseHubsEqualWeights", 22, 0.06, false, 1, 0, false, 0, false, 0, 0, Fires::lookups, 4},
    {"DenseHubsHeavySearchAll", 22, 0.08, false, 10, 0, false, 0, false, 0, 2, Fires::lookups, 3, 0},
    {"DenseHubsBranchAndReduceSearchAll", 24, 0.08, false, 20, 0, true, 100000, false, 0, 0, Fires::lookups, 3, 0},
};

INSTANTIATE_TEST_SUITE_P(Shapes, MwisReduce, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

// A random graph of n vertices and about m edges, weights 1..1000.
void random_graph(SparseConflictGraph<uint32_t>& g, int n, long long m, uint64_t seed) {
  std::mt19937_64 gen(seed);
  std::vector<ConflictPair> pairs;
  for (long long e = 0; e < m; e++) {
    const uint32_t a = static_cast<uint32_t>(gen() % static_cast<uint64_t>(n)), b = static_cast<uint32_t>(gen() % static_cast<uint64_t>(n));
    if (a != b) pairs.push_back({std::min(a, b), std::max(a, b)});
  }
  std::sort(pairs.begin(), pairs.end(), [](auto x, auto y) { return x.a != y.a ? x.a < y.a : x.b < y.b; });
  pairs.erase(std::unique(pairs.begin(), pairs.end(), [](auto x, auto y) { return x.a == y.a && x.b == y.b; }), pairs.end());
  std::vector<double> w(static_cast<size_t>(n));
  for (auto& x : w) x = static_cast<double>(1 + gen() % 1000);
  ASSERT_EQ(sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(pairs.size()), w.data()), 0);
}

double thread_seconds() { return static_cast<double>(cpu_ticks(CLOCK_THREAD_CPUTIME_ID)) / 1e6; }

// The reduction of a graph it needs far longer than 20 ms for stops within
// a few milliseconds of the deadline; what it leaves lifts to independent sets.
TEST(MwisDeadline, TheReductionStopsPromptlyAndLeavesAValidPartialReduction) {
  SparseConflictGraph<uint32_t> g;
  random_graph(g, 400000, 1600000, 7);
  MwisReduction r;
  const double start = thread_seconds();
  Deadline d(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), 0.02);
  ASSERT_TRUE(r.run(g, MwisOptions{}, &d));
  const double spent = thread_seconds() - start;
  EXPECT_TRUE(r.stopped());
  EXPECT_LT(spent, 0.02 + 0.2) << "the split of what is left included";
  ASSERT_FALSE(r.parts().empty());
  EXPECT_TRUE(mavu::reduce::is_independent(g, r.lift({})));
  // A maximal independent set of each part (greedy in part order) lifts to an independent set.
  std::vector<int> chosen;
  std::vector<char> blocked(static_cast<size_t>(g.n_vertex), 0);
  for (int p = 0; p < static_cast<int>(r.parts().size()); p++) {
    const auto& part = r.parts()[static_cast<size_t>(p)];
    std::vector<std::vector<int>> nb(part.size());
    for (const ConflictPair& e : r.part_pairs(p)) {
      nb[e.a].push_back(static_cast<int>(e.b));
      nb[e.b].push_back(static_cast<int>(e.a));
    }
    std::vector<char> out(part.size(), 0);
    for (size_t i = 0; i < part.size(); i++)
      if (!out[i]) {
        chosen.push_back(part[i]);
        for (int j : nb[i]) out[static_cast<size_t>(j)] = 1;
      }
  }
  EXPECT_TRUE(mavu::reduce::is_independent(g, r.lift(chosen)));
}

// Branch and reduce on a component it cannot settle gives up within a few
// milliseconds of the deadline, however large its budget.
TEST(MwisDeadline, BranchAndReduceGivesUpPromptly) {
  SparseConflictGraph<uint32_t> g;
  random_graph(g, 3000, 12000, 11);
  long budget = 1L << 40;
  std::vector<int> set;
  double weight = 0;
  const double start = thread_seconds();
  Deadline d(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), 0.02);
  EXPECT_FALSE(mavu::reduce::branch_and_reduce(g, -1, budget, set, weight, MwisOptions{}, &d));
  EXPECT_LT(thread_seconds() - start, 0.02 + 0.03);
  EXPECT_TRUE(d.expired());
}

}  // namespace
