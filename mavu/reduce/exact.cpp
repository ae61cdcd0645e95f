#include "mavu/reduce/exact.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "mavu/reduce/mwis.h"

namespace mavu::reduce {

namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();

// The subgraph of g induced by the vertices with keep[v] set, numbered in
// ascending order; old_of[i] is the vertex of g that i stands for.
bool induced(const SparseConflictGraph<uint32_t>& g, const std::vector<uint8_t>& keep,
             SparseConflictGraph<uint32_t>& out, std::vector<int>& old_of) {
  std::vector<int> new_of(static_cast<size_t>(g.n_vertex), -1);
  old_of.clear();
  std::vector<double> w;
  for (int v = 0; v < g.n_vertex; v++)
    if (keep[static_cast<size_t>(v)]) {
      new_of[static_cast<size_t>(v)] = static_cast<int>(old_of.size());
      old_of.push_back(v);
      w.push_back(g.v_weight[v]);
    }
  std::vector<ConflictPair> pairs;
  for (int v : old_of)
    for (int i = 0; i < g.v_edge_count[v]; i++) {
      const int y = static_cast<int>(g.v_adj[v][i]);
      if (y > v && keep[static_cast<size_t>(y)])
        pairs.push_back({static_cast<uint32_t>(new_of[static_cast<size_t>(v)]), static_cast<uint32_t>(new_of[static_cast<size_t>(y)])});
    }
  return sparse_from_pairs(out, static_cast<int>(old_of.size()), pairs.data(), static_cast<long long>(pairs.size()),
                           w.data()) == 0;
}

// Branches nested deeper than this give up: every level holds its graphs
// and its reduction, so the depth bounds the memory (a small multiple of
// the component's size per level).
constexpr int kMaxDepth = 400;

bool reduce_and_branch(const SparseConflictGraph<uint32_t>& g, double lower, long& budget, std::vector<int>& set,
                       double& weight, const MwisOptions& options, int depth, Deadline* deadline);

// Branches on a component g of a reduced graph whose upper bound (no
// independent set of g weighs more) is `bound`.
bool branch_component(const SparseConflictGraph<uint32_t>& g, double bound, double lower, long& budget,
                      std::vector<int>& set, double& weight, const MwisOptions& options, int depth,
                      Deadline* deadline) {
  if (depth > kMaxDepth || (deadline != nullptr && deadline->expired())) return false;
  set.clear();
  weight = kNone;
  // The two subgraphs a branch builds cost about its graph's size.
  budget -= 1 + g.n_vertex + g.n_edge;
  if (budget < 0) return false;
  if (bound <= lower) return true;
  int v = 0;
  for (int u = 1; u < g.n_vertex; u++)
    if (g.v_edge_count[u] > g.v_edge_count[v]) v = u;
  std::vector<uint8_t> keep(static_cast<size_t>(g.n_vertex), 1);
  SparseConflictGraph<uint32_t> sub;
  std::vector<int> old_of, sub_set;
  double sub_weight = 0;
  // Taken: v's closed neighbourhood goes.
  keep[static_cast<size_t>(v)] = 0;
  for (int i = 0; i < g.v_edge_count[v]; i++) keep[g.v_adj[v][i]] = 0;
  const double wv = g.v_weight[v];
  if (!induced(g, keep, sub, old_of) || !reduce_and_branch(sub, lower - wv, budget, sub_set, sub_weight, options, depth + 1, deadline)) return false;
  if (sub_weight != kNone) {
    weight = wv + sub_weight;
    lower = std::max(lower, weight);
    set.push_back(v);
    for (int i : sub_set) set.push_back(old_of[static_cast<size_t>(i)]);
  }
  // Dropped: only v goes.
  std::fill(keep.begin(), keep.end(), 1);
  keep[static_cast<size_t>(v)] = 0;
  SparseConflictGraph<uint32_t> sub2;
  if (!induced(g, keep, sub2, old_of) || !reduce_and_branch(sub2, lower, budget, sub_set, sub_weight, options, depth + 1, deadline)) return false;
  if (sub_weight != kNone && sub_weight > weight) {
    weight = sub_weight;
    set.clear();
    for (int i : sub_set) set.push_back(old_of[static_cast<size_t>(i)]);
  }
  std::sort(set.begin(), set.end());
  return true;
}

}  // namespace

template <class V>
double clique_cover_bound(const SparseConflictGraph<V>& g) {
  const int n = g.n_vertex;
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return g.v_weight[a] > g.v_weight[b]; });
  std::vector<int> clique_of(static_cast<size_t>(n), -1), size, hits;
  std::vector<double> top;
  for (int v : order) {
    // hits[c]: members of clique c adjacent to v, counted afresh for v.
    for (int i = 0; i < g.v_edge_count[v]; i++) {
      const int c = clique_of[g.v_adj[v][i]];
      if (c >= 0) hits[static_cast<size_t>(c)]++;
    }
    int join = -1;
    for (int i = 0; i < g.v_edge_count[v] && join < 0; i++) {
      const int c = clique_of[g.v_adj[v][i]];
      if (c >= 0 && hits[static_cast<size_t>(c)] == size[static_cast<size_t>(c)]) join = c;
    }
    for (int i = 0; i < g.v_edge_count[v]; i++) {
      const int c = clique_of[g.v_adj[v][i]];
      if (c >= 0) hits[static_cast<size_t>(c)] = 0;
    }
    if (join < 0) {
      join = static_cast<int>(size.size());
      size.push_back(0);
      hits.push_back(0);
      top.push_back(g.v_weight[v]);  // the first member is the heaviest
    }
    clique_of[static_cast<size_t>(v)] = join;
    size[static_cast<size_t>(join)]++;
  }
  double bound = 0;
  for (double t : top) bound += t;
  return bound;
}

bool branch_and_reduce(const SparseConflictGraph<uint32_t>& g, double lower, long& budget, std::vector<int>& set,
                       double& weight, const MwisOptions& options, Deadline* deadline) {
  return reduce_and_branch(g, lower, budget, set, weight, options, 0, deadline);
}

namespace {

bool reduce_and_branch(const SparseConflictGraph<uint32_t>& g, double lower, long& budget, std::vector<int>& set,
                       double& weight, const MwisOptions& options, int depth, Deadline* deadline) {
  set.clear();
  weight = kNone;
  MwisReduction r;
  MwisOptions inner = options;
  inner.branch_max_vertices = 0;  // the branching is here
  if (!r.run(g, inner, deadline) || r.stopped()) return false;
  budget -= r.work();
  if (budget < 0) return false;
  const auto& parts = r.parts();
  // Each part's upper bound: its clique cover, or half its weight when the
  // LP relaxation is at 1/2 everywhere (its optimum, then, is half of every
  // part's weight).  A part is solved against what the rest leaves it:
  // `lower` less the weight decided, the optima of the parts before it and
  // the bounds of those after it; if no set of it beats that, no set of the
  // whole beats `lower`.
  const int np = static_cast<int>(parts.size());
  std::vector<SparseConflictGraph<uint32_t>> graphs(static_cast<size_t>(np));
  std::vector<double> bounds(static_cast<size_t>(np));
  double rest = 0;  // bounds of the parts not solved yet
  for (int p = 0; p < np; p++) {
    const auto& part = parts[static_cast<size_t>(p)];
    std::vector<double> w(part.size());
    double half = 0;
    for (size_t i = 0; i < part.size(); i++) half += (w[i] = r.weight(part[i])) / 2;
    const std::vector<ConflictPair> pairs = r.part_pairs(p);
    SparseConflictGraph<uint32_t>& pg = graphs[static_cast<size_t>(p)];
    if (sparse_from_pairs(pg, static_cast<int>(part.size()), pairs.data(), static_cast<long long>(pairs.size()),
                          w.data()) != 0)
      return false;
    double b = clique_cover_bound(pg);
    if (r.lp_half()) b = std::min(b, half);
    bounds[static_cast<size_t>(p)] = b;
    rest += b;
  }
  std::vector<int> chosen, part_set;
  double total = r.fixed_weight();
  if (!(total + rest > lower)) return true;
  for (int p = 0; p < np; p++) {
    const auto& part = parts[static_cast<size_t>(p)];
    rest -= bounds[static_cast<size_t>(p)];
    double part_weight = 0;
    if (!branch_component(graphs[static_cast<size_t>(p)], bounds[static_cast<size_t>(p)], lower - total - rest, budget,
                          part_set, part_weight, options, depth, deadline))
      return false;
    if (part_weight == kNone) return true;  // nothing beats `lower`
    total += part_weight;
    for (int i : part_set) chosen.push_back(part[static_cast<size_t>(i)]);
  }
  if (!(total > lower)) return true;
  set = r.lift(chosen);
  weight = total;
  return true;
}

}  // namespace

template double clique_cover_bound(const SparseConflictGraph<uint16_t>&);
template double clique_cover_bound(const SparseConflictGraph<uint32_t>&);

}  // namespace mavu::reduce
