// Clique-mode reduction against brute force on small random graphs: the
// first clique is a clique, the kernel keeps every clique heavier than it
// (the optimum of the input equals the better of the first clique and the
// optimum of the kernel's conflict graph, found by exhaustive search), the
// search through the pipeline reaches the optimum, and the bound check never
// claims a weight below the optimum.
#include <cstdint>
#include <random>

#include "mavu/parts/run.h"
#include "mavu/reduce/clique.h"
#include "support.h"

namespace {

struct Family {
  const char* name;
  int n;
  double p;             // edge probability
  int planted;          // vertices of a planted clique (0: none)
  int weights;          // 0: default weights, 1: integers 1..20, 2: fractional, 3: all 1
};

InputGraph make(const Family& f, unsigned seed) {
  InputGraph in = random_input_graph(f.n, f.p, seed, f.weights == 2);
  std::mt19937 gen(seed * 7919u + 1);
  if (f.planted > 0) {
    std::vector<int> order(static_cast<size_t>(f.n));
    for (int i = 0; i < f.n; i++) order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), gen);
    std::vector<char> has(static_cast<size_t>(f.n * f.n), 0);
    for (size_t k = 0; k < in.edges.size(); k += 2)
      has[static_cast<size_t>(in.edges[k] * f.n + in.edges[k + 1])] = 1;
    for (int a = 0; a < f.planted; a++)
      for (int b = a + 1; b < f.planted; b++) {
        const int x = std::min(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]);
        const int y = std::max(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]);
        if (!has[static_cast<size_t>(x * f.n + y)]) in.add_edge(x, y);
      }
  }
  if (f.weights == 0) in.weights.clear();
  if (f.weights == 3) in.weights.assign(static_cast<size_t>(f.n), 1.0);
  return in;
}

// The input graph as the reduction reads it: its edges are the lists.
void load_input(LoadedGraph& g, const InputGraph& in) {
  std::vector<ConflictPair> pairs;
  for (size_t k = 0; k < in.edges.size(); k += 2)
    pairs.push_back({static_cast<uint32_t>(in.edges[k + 1]), static_cast<uint32_t>(in.edges[k])});
  g.layout = GraphLayout::sparse16;
  ASSERT_EQ(sparse_from_pairs(g.sparse16, in.n, pairs.data(), static_cast<long long>(pairs.size()),
                              in.weights.empty() ? nullptr : in.weights.data()),
            0);
}

// Heaviest set of vertices 0..n-1 in which `joined(i, j)` holds for every pair.
template <class Joined>
double brute_force(int n, const std::vector<double>& w, Joined&& joined) {
  std::vector<uint32_t> adj(static_cast<size_t>(n), 0);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
      if (i != j && joined(i, j)) adj[static_cast<size_t>(i)] |= 1u << j;
  const uint32_t full = n == 32 ? ~0u : (1u << n) - 1;
  std::vector<double> weight(static_cast<size_t>(full) + 1, 0);
  std::vector<char> ok(static_cast<size_t>(full) + 1, 1);
  double best = 0;
  for (uint32_t m = 1; m <= full && m != 0; m++) {
    const int v = __builtin_ctz(m);
    const uint32_t rest = m & (m - 1);
    ok[m] = ok[rest] && (adj[static_cast<size_t>(v)] & rest) == rest;
    weight[m] = weight[rest] + w[static_cast<size_t>(v)];
    if (ok[m]) best = std::max(best, weight[m]);
  }
  return best;
}

class Reduction : public ::testing::TestWithParam<Family> {};

TEST_P(Reduction, KeepsTheOptimum) {
  const Family f = GetParam();
  int emptied = 0;
  for (unsigned seed = 1; seed <= 40; seed++) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const InputGraph in = make(f, seed);
    LoadedGraph input;
    load_input(input, in);
    const auto& g = input.sparse16;
    std::vector<double> w(g.v_weight.data(), g.v_weight.data() + f.n);
    const double opt = brute_force(f.n, w, [&](int i, int j) { return g.conflict(i, j); });

    // Alone, the peeling keeps every clique heavier than the weight it is
    // given: just below the optimum, the kernel holds an optimum clique.
    {
      mavu::reduce::CliqueOptions alone;
      alone.first_clique = false;
      alone.known_weight = opt - (f.weights == 2 ? 1e-6 : 1);
      mavu::reduce::Reduced r;
      ASSERT_EQ(mavu::reduce::reduce_clique(input, alone, r).status, mavu::reduce::ReduceStatus::ok);
      ASSERT_EQ(r.parts.size(), 1u);
      const mavu::reduce::SubInstance& part = *r.parts[0];
      std::vector<double> kw;
      for (int v : part.original) kw.push_back(w[static_cast<size_t>(v)]);
      EXPECT_NEAR(brute_force(part.vertex_count(), kw,
                              [&](int i, int j) {
                                return g.conflict(part.original[static_cast<size_t>(i)],
                                                  part.original[static_cast<size_t>(j)]);
                              }),
                  opt, 1e-9);
    }

    mavu::reduce::Reduced r;
    const mavu::reduce::ReduceReport rep = mavu::reduce::reduce_clique(input, {}, r);
    ASSERT_EQ(rep.status, mavu::reduce::ReduceStatus::ok);
    ASSERT_TRUE(mavu::reduce::check_clique(input, r.incumbent.data(), static_cast<int>(r.incumbent.size()),
                                           r.incumbent_weight, 1e-9));
    ASSERT_LE(r.incumbent_weight, opt + 1e-9);
    ASSERT_EQ(rep.kernel, r.kernel_vertices());
    if (r.parts.empty()) {
      EXPECT_NEAR(r.incumbent_weight, opt, 1e-9);
      emptied++;
      continue;
    }
    const mavu::reduce::SubInstance& part = *r.parts[0];
    const int k = part.vertex_count();
    ASSERT_TRUE(std::is_sorted(part.original.begin(), part.original.end()));
    // The kernel's conflict graph is the complement of the induced subgraph, with the input's weights.
    std::vector<double> kw;
    visit_layout(part.graph, [&](const auto& kg) {
      ASSERT_EQ(kg.n_vertex, k);
      for (int i = 0; i < k; i++) {
        kw.push_back(kg.v_weight[static_cast<size_t>(i)]);
        EXPECT_EQ(kw.back(), w[static_cast<size_t>(part.original[static_cast<size_t>(i)])]);
        for (int j = 0; j < k; j++) {
          if (i != j) {
            EXPECT_NE(kg.conflict(i, j),
                      g.conflict(part.original[static_cast<size_t>(i)], part.original[static_cast<size_t>(j)]));
          }
        }
      }
    });
    const double kernel_opt =
        visit_layout(part.graph, [&](const auto& kg) { return brute_force(k, kw, [&](int i, int j) { return !kg.conflict(i, j); }); });
    EXPECT_NEAR(std::max(kernel_opt, r.incumbent_weight), opt, 1e-9);

    // A proof never claims a weight the optimum exceeds (a reduced run asks
    // again with the weight it found).
    if (f.weights != 2 && r.incumbent_weight < opt) {
      EXPECT_FALSE(r.bound_check(opt - 1));
    }
    // Through the reduced run, with the unchanged search on the kernel.
    SearchParams params;
    params.para_max_iter = 20000;
    const mavu::parts::RunResult out = mavu::parts::run_clique<mavu::engine::Variant::mavu1>(
        input, params, SearchEnv{}, mavu::engine::Generator::own, LayoutRequest::automatic);
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_NEAR(out.weight, opt, 1e-9);
    EXPECT_TRUE(mavu::reduce::check_clique(input, out.vertices.data(), static_cast<int>(out.vertices.size()),
                                           out.weight, 1e-9));
  }
  // A planted clique is found and proven by the reduction alone at least once.
  if (f.planted > 0) {
    EXPECT_GT(emptied, 0);
  }
}

const Family kFamilies[] = {
    {"single_vertex", 1, 0.0, 0, 1},
    {"sparse_default_weights", 18, 0.15, 0, 0},
    {"sparse_planted", 18, 0.15, 6, 1},
    {"medium_integer", 16, 0.4, 0, 1},
    {"medium_fractional", 16, 0.4, 0, 2},
    {"medium_unit", 16, 0.4, 0, 3},
    {"dense_integer", 14, 0.8, 0, 1},
    {"dense_planted_unit", 16, 0.5, 8, 3},
    {"complete", 10, 1.0, 0, 1},
    {"empty", 12, 0.0, 0, 2},
    {"disjoint_cliques", 18, 0.0, 7, 1},
    {"sparse_planted_default", 20, 0.2, 5, 0},
};
INSTANTIATE_TEST_SUITE_P(Graphs, Reduction, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A kernel whose conflict graph exceeds the limit is refused with its size and the memory it needs.
TEST(ReductionLimits, AKernelTooLargeIsRefusedWithItsSize) {
  const InputGraph in = make({"dense", 14, 0.8, 0, 1}, 17);
  LoadedGraph input;
  load_input(input, in);
  mavu::reduce::CliqueOptions o;
  mavu::reduce::Reduced unlimited;
  const long long k = mavu::reduce::reduce_clique(input, o, unlimited).kernel;
  ASSERT_GT(k, 0);
  o.max_kernel_bytes = conflict_graph_bytes(k, 0) - 1;
  mavu::reduce::Reduced r;
  const mavu::reduce::ReduceReport rep = mavu::reduce::reduce_clique(input, o, r);
  EXPECT_EQ(rep.status, mavu::reduce::ReduceStatus::kernel_too_large);
  EXPECT_TRUE(rep.message.starts_with("the reduced instance keeps " + std::to_string(k) + " vertices;")) << rep.message;
  EXPECT_TRUE(rep.message.ends_with(" MiB")) << rep.message;
  EXPECT_TRUE(r.parts.empty());
}

}  // namespace
