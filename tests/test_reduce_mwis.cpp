// Weighted independent-set reduction against brute force: on many small
// random graphs of several shapes (sparse, paths and cycles for the folds,
// dense, equal weights for the ties of domination), the optimum through
// reduction, exact components (masks, or branch and reduce), the parts' own
// optima and lifting equals the brute-force optimum, and the lifted set is
// independent and weighs what the reduction says; branch and reduce with a
// lower bound finds the optimum only when it beats the bound, and the clique
// cover bound is never below the optimum.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mavu/reduce/exact.h"
#include "mavu/reduce/mwis.h"

namespace {

using mavu::reduce::MwisOptions;
using mavu::reduce::MwisReduction;
using Graph = SparseConflictGraph<uint16_t>;

struct Shape {
  const char* name;
  int n;
  double edge_prob;  // random edges
  bool path;         // plus a path 0-1-...-(n-1) (degree-two vertices)
  int max_weight;    // weights 1..max_weight
  int exact_max;     // components solved by the mask branch and bound up to this size
  bool branch;       // larger ones by branch and reduce (else all left as parts)
  long budget;       // branches of branch and reduce per component
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
  for (int trial = 0; trial < 1000; trial++) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const int n = sh.n;
    std::vector<std::vector<char>> adj(static_cast<size_t>(n), std::vector<char>(static_cast<size_t>(n), 0));
    std::vector<ConflictPair> pairs;
    std::bernoulli_distribution coin(sh.edge_prob);
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++)
        if ((sh.path && b == a + 1) || coin(gen)) {
          adj[static_cast<size_t>(a)][static_cast<size_t>(b)] = adj[static_cast<size_t>(b)][static_cast<size_t>(a)] = 1;
          pairs.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b)});
        }
    std::vector<double> w(static_cast<size_t>(n));
    std::uniform_int_distribution<int> weight(1, sh.max_weight);
    for (auto& x : w) x = weight(gen);
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
    ASSERT_TRUE(r.run(g, options));
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
};

INSTANTIATE_TEST_SUITE_P(Shapes, MwisReduce, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
