// The exact clique solver against brute force: a proof claims the optimum,
// an interrupted run claims nothing, runs resume, raise_lower is taken, and
// the deadline is kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/cpu_clock.h"
#include "core/deadline.h"
#include "core/rng.h"
#include "mavu/exact/clique_bb.h"
#include "mavu/reduce/clique.h"

namespace {

using mavu::exact::CliqueBB;
using mavu::exact::CliqueBBOptions;
using mavu::exact::ExactStatus;

double uniform(uint64_t& x) { return static_cast<double>(splitmix64(x) >> 11) * 0x1.0p-53; }

enum class Weights { small, zeros, fractional, huge };

struct Instance {
  int n = 0;
  std::vector<std::vector<int>> adj;
  std::vector<uint64_t> mask;  // adjacency as bits, for n <= 64
  std::vector<double> w;
  SparseConflictGraph<uint16_t> g;  // lists = the edges

  Instance(int n_, double p, Weights kind, uint64_t seed) : n(n_), adj(static_cast<size_t>(n_)), w(static_cast<size_t>(n_)) {
    std::vector<ConflictPair> pairs;
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++)
        if (uniform(seed) < p) {
          pairs.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b)});
          adj[static_cast<size_t>(a)].push_back(b);
          adj[static_cast<size_t>(b)].push_back(a);
        }
    for (double& x : w) {
      const uint64_t r = splitmix64(seed);
      switch (kind) {
        case Weights::small: x = static_cast<double>(1 + r % 20); break;
        case Weights::zeros: x = static_cast<double>(r % 3); break;
        case Weights::fractional: x = 0.1 + 7.3 * uniform(seed); break;
        case Weights::huge: x = 1e17 + static_cast<double>(r % 1000) * 1e14; break;
      }
    }
    sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(pairs.size()), w.data());
    if (n <= 64) {
      mask.assign(static_cast<size_t>(n), 0);
      for (const ConflictPair& e : pairs) {
        mask[e.a] |= uint64_t{1} << e.b;
        mask[e.b] |= uint64_t{1} << e.a;
      }
    }
  }

  bool adjacent(int a, int b) const {
    const auto& l = adj[static_cast<size_t>(a)];
    return std::find(l.begin(), l.end(), b) != l.end();
  }
  double total() const {
    double t = 0;
    for (double x : w) t += x;
    return t;
  }
  // Weight of `set` when it is a clique of distinct vertices, else -1.
  double clique_weight(const std::vector<int>& set) const {
    double s = 0;
    for (size_t i = 0; i < set.size(); i++) {
      for (size_t j = 0; j < i; j++)
        if (set[i] == set[j] || !adjacent(set[i], set[j])) return -1;
      s += w[static_cast<size_t>(set[i])];
    }
    return s;
  }
  // Brute force over every clique inside `allowed` (n <= 64: bit masks).
  void enumerate(uint64_t cand, double weight, uint64_t cur, double& best, uint64_t& best_set) const {
    if (weight > best) {
      best = weight;
      best_set = cur;
    }
    for (uint64_t c = cand; c; c &= c - 1) {
      const int v = __builtin_ctzll(c);
      const uint64_t later = v == 63 ? 0 : ~uint64_t{0} << (v + 1);
      enumerate(cand & mask[static_cast<size_t>(v)] & later, weight + w[static_cast<size_t>(v)], cur | uint64_t{1} << v, best,
                best_set);
    }
  }
  // The same over lists, for sparse graphs of any size.
  void enumerate(const std::vector<int>& cand, double weight, double& best) const {
    best = std::max(best, weight);
    for (size_t i = 0; i < cand.size(); i++) {
      std::vector<int> next;
      for (size_t j = i + 1; j < cand.size(); j++)
        if (adjacent(cand[i], cand[j])) next.push_back(cand[j]);
      enumerate(next, weight + w[static_cast<size_t>(cand[i])], best);
    }
  }
  double optimum(const std::vector<int>& allowed, std::vector<int>& set) const {
    if (n > 64) {
      double best = 0;
      enumerate(allowed, 0, best);
      return best;
    }
    uint64_t cand = 0, best_set = 0;
    for (int v : allowed) cand |= uint64_t{1} << v;
    double best = 0;
    enumerate(cand, 0, 0, best, best_set);
    set.clear();
    for (int v = 0; v < n; v++)
      if (best_set >> v & 1) set.push_back(v);
    return best;
  }
};

Deadline thread_deadline(double seconds) {
  return Deadline(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), seconds);
}

// Runs with doubling CPU shares until proven; every interrupted call must
// say so.  Returns the number of calls.
int run_in_slices(CliqueBB& bb, double first_share) {
  int calls = 0;
  for (double share = first_share; bb.status() == ExactStatus::interrupted; share *= 2) {
    Deadline d = thread_deadline(share);
    const ExactStatus st = bb.run(d);
    calls++;
    EXPECT_TRUE(st == ExactStatus::proven || st == ExactStatus::interrupted);
    if (st == ExactStatus::interrupted) {
      EXPECT_TRUE(d.expired());
    }
  }
  return calls;
}

// How the lower bound is given.
// below: just below the optimum and without set (a proof must still find
// the optimum: every bound then prunes as hard as it can).
enum class Start { none, random_clique, optimum, below, raised_mid_way, reverse_order, no_maxsat, maxsat_one_round };

struct Case {
  std::string name;
  int n;
  double p;
  Weights weights;
  Start start;
};

class CliqueBBBrute : public ::testing::TestWithParam<Case> {};

TEST_P(CliqueBBBrute, ProvenMeansOptimal) {
  const Case& c = GetParam();
  for (uint64_t seed = 1; seed <= 8; seed++) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Instance in(c.n, c.p, c.weights, seed * 7919 + static_cast<uint64_t>(c.n));
    // Half the seeds search the whole graph, half a kernel of it.
    std::vector<int> vertices;
    uint64_t pick = seed;
    for (int v = 0; v < c.n; v++)
      if (seed % 2 == 0 || uniform(pick) < 0.8) vertices.push_back(v);
    std::vector<int> opt_set;
    const double opt = in.optimum(vertices, opt_set);
    const double tol = 1e-9 * in.total();

    CliqueBBOptions options;
    if (c.start == Start::reverse_order) options.order = mavu::exact::SubproblemOrder::reverse;
    // The refinement is on (unlimited rounds) but where said otherwise.
    options.maxsat_rounds = c.start == Start::no_maxsat ? 0 : c.start == Start::maxsat_one_round ? 1 : 1 << 30;
    options.greedy_start = seed % 3 != 0;
    double lower = 0;
    std::vector<int> lower_set;
    if (c.start == Start::random_clique && !vertices.empty()) {
      lower_set = {vertices[seed % vertices.size()]};  // one vertex: a clique
      lower = in.w[static_cast<size_t>(lower_set[0])];
    } else if (c.start == Start::optimum) {
      lower = opt;
      lower_set = opt_set;
    } else if (c.start == Start::below) {
      lower = opt - 1e-6 * opt - 1e-9;
      options.greedy_start = false;
    }
    CliqueBB bb;
    ASSERT_TRUE(bb.init(in.g, vertices, lower, lower_set, options));
    if (c.start == Start::raised_mid_way) {
      Deadline none_left = thread_deadline(0);
      EXPECT_EQ(bb.run(none_left), ExactStatus::interrupted);
      bb.raise_lower(opt, opt_set);
      bb.raise_lower(opt / 2, {});  // lighter: ignored
    }
    run_in_slices(bb, 1e-4);
    ASSERT_EQ(bb.status(), ExactStatus::proven);
    EXPECT_NEAR(bb.best_weight(), opt, tol);
    if (c.weights != Weights::fractional) {
      EXPECT_EQ(bb.best_weight(), opt);
    }
    const double got = in.clique_weight(bb.best_set());
    EXPECT_NEAR(got, bb.best_weight(), tol);
    for (int v : bb.best_set()) EXPECT_TRUE(std::binary_search(vertices.begin(), vertices.end(), v));
    if (c.start == Start::optimum) {  // the given set is kept (fractional sums may differ in the last bit)
      std::vector<int> got_set = bb.best_set();
      std::sort(got_set.begin(), got_set.end());
      EXPECT_EQ(got_set, opt_set);
    }
  }
}

std::vector<Case> brute_cases() {
  std::vector<Case> cases;
  const struct {
    int n;
    double p;
  } shapes[] = {{12, 0.5}, {20, 0.1}, {22, 0.6}, {22, 0.95}, {40, 0.3}, {48, 0.8}, {64, 0.6}};
  const struct {
    Weights w;
    const char* name;
  } kinds[] = {{Weights::small, "int"}, {Weights::zeros, "zeros"}, {Weights::fractional, "frac"}, {Weights::huge, "huge"}};
  const struct {
    Start s;
    const char* name;
  } starts[] = {{Start::none, "none"},        {Start::random_clique, "vertex"},   {Start::optimum, "optimum"}, {Start::below, "below"},
                {Start::raised_mid_way, "raised"}, {Start::reverse_order, "reverse"}, {Start::no_maxsat, "nomaxsat"},
                {Start::maxsat_one_round, "maxsat1"}};
  for (const auto& sh : shapes)
    for (const auto& k : kinds)
      for (const auto& st : starts) {
        const std::string name = "n" + std::to_string(sh.n) + "_p" + std::to_string(static_cast<int>(sh.p * 100)) + "_" +
                                 k.name + "_" + st.name;
        cases.push_back({name, sh.n, sh.p, k.w, st.s});
      }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Random, CliqueBBBrute, ::testing::ValuesIn(brute_cases()),
                         [](const ::testing::TestParamInfo<Case>& i) { return i.param.name; });

// The pipeline the programs will run: reduce a sparse graph with planted
// cliques, solve its kernel from the reduction's incumbent.
TEST(CliqueBBKernel, ReducedKernelProvesTheOptimum) {
  for (uint64_t seed = 1; seed <= 6; seed++) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Instance in(300, 0.04, Weights::small, seed);
    // Plant two cliques of 9 vertices among the lighter ones.
    uint64_t x = seed + 99;
    std::vector<ConflictPair> pairs;
    for (int v = 0; v < in.n; v++)
      for (int u : in.adj[static_cast<size_t>(v)])
        if (u > v) pairs.push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(u)});
    for (int c = 0; c < 2; c++) {
      std::vector<int> members;
      while (members.size() < 9) {
        const int v = static_cast<int>(splitmix64(x) % static_cast<uint64_t>(in.n));
        if (std::find(members.begin(), members.end(), v) == members.end()) members.push_back(v);
      }
      for (int a : members)
        for (int b : members)
          if (a < b && !in.adjacent(a, b)) {
            in.adj[static_cast<size_t>(a)].push_back(b);
            in.adj[static_cast<size_t>(b)].push_back(a);
            pairs.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b)});
          }
    }
    LoadedGraph loaded;
    loaded.layout = GraphLayout::sparse16;
    loaded.input_graph = true;
    sparse_from_pairs(loaded.sparse16, in.n, pairs.data(), static_cast<long long>(pairs.size()), in.w.data());
    mavu::reduce::Reduced r;
    mavu::reduce::CliqueOptions ro;
    ro.first_clique = seed % 2 == 0;  // odd seeds: no first clique, a large kernel
    ASSERT_EQ(mavu::reduce::reduce_clique(loaded, ro, r).status, mavu::reduce::ReduceStatus::ok);
    std::vector<int> all(static_cast<size_t>(in.n)), opt_set;
    for (int v = 0; v < in.n; v++) all[static_cast<size_t>(v)] = v;
    const double opt = in.optimum(all, opt_set);
    const std::vector<int> kernel = r.parts.empty() ? std::vector<int>{} : r.parts[0]->original;
    CliqueBB bb;
    ASSERT_TRUE(bb.init(loaded, kernel, r.incumbent_weight, r.incumbent));
    Deadline d;
    ASSERT_EQ(bb.run(d), ExactStatus::proven);
    EXPECT_EQ(bb.best_weight(), opt);
    EXPECT_EQ(in.clique_weight(bb.best_set()), opt);
  }
}

// A dense graph of 400 vertices cannot be finished in 20 ms: the run
// returns soon after, claims nothing, and goes on from there.
TEST(CliqueBBDeadline, StopsSoonAfterItsDeadline) {
  const Instance in(400, 0.9, Weights::small, 5);
  CliqueBB bb;
  ASSERT_TRUE(bb.init_whole(in.g, 0, {}));
  for (int call = 0; call < 3; call++) {
    const long t0 = cpu_ticks(CLOCK_THREAD_CPUTIME_ID);
    Deadline d = thread_deadline(0.02);
    EXPECT_EQ(bb.run(d), ExactStatus::interrupted);
    const double spent = static_cast<double>(cpu_ticks(CLOCK_THREAD_CPUTIME_ID) - t0) / 1e6;
    EXPECT_LT(spent, 0.06);
    EXPECT_EQ(bb.status(), ExactStatus::interrupted);
  }
  // What it holds is a clique of the weight it reports.
  EXPECT_GT(bb.best_weight(), 0);
  EXPECT_EQ(in.clique_weight(bb.best_set()), bb.best_weight());
}

}  // namespace
