// The data behind a mavu::Graph, shared by the Graph constructors
// (mavu/graph.cpp) and the solves (mavu/solve.cpp); not part of the public API.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mavu/mavu.h"
#include "readers/graph_builder.h"
#include "readers/loader.h"

namespace mavu {

namespace detail {


// The search works on the conflict graph: the complement of the graph for a
// clique, the graph itself for an independent set.  A Graph holds the one of
// the mode it was loaded for (from_file's independent_set; edge lists and
// clique files: the clique's), in the layout the programs would choose for
// it; the other is its complement, built in the bit-matrix layout (at most
// 46341 vertices) the first time a solve asks for it, and kept: a Graph is
// shared by its copies and may be solved in several threads at once.  The
// search is the same draw for draw in either layout.
struct GraphData {
  int n = 0;                         // vertices of the caller's graph
  // The search runs on the vertices of positive weight: a zero-weight vertex
  // adds nothing to a set, and the search's candidate lists assume every
  // vertex has a gain when it is free.  `original` maps a searched vertex to
  // the caller's (empty: all are searched, same numbers); `weights` then
  // holds the caller's weights.
  std::vector<int> original;
  std::vector<double> weights;
  int searched = 0;                  // vertices searched; 0: no layout is built
  bool primary_independent = false;  // `primary` is the independent-set mode's conflict graph
  // Built from edges given as conflicts (from_edges with independent_set):
  // solved for independent sets only.
  bool independent_set_only = false;
  LoadedGraph primary;
  mutable std::once_flag other_once;
  mutable LoadedGraph other;  // layout: dense
  mutable bool other_ok = false;

  const LoadedGraph* conflict_graph(bool independent_set) const {
    if (independent_set == primary_independent) return &primary;
    std::call_once(other_once, [this] { other_ok = build_complement(); });
    return other_ok ? &other : nullptr;
  }

  // Every pair that does not conflict in `primary` conflicts in `other`:
  // primary's conflicts are the edges of a file whose clique graph is other.
  bool build_complement() const {
    return visit_layout(primary, [this](const auto& g) {
      if (g.n_vertex > kMaxVertices) return false;
      other.layout = GraphLayout::dense;
      DenseGraphBuilder<InstanceMode::clique> b(other.dense);
      if (!b.begin(g.n_vertex, static_cast<long long>(g.n_edge))) return false;
      for (int v = 0; v < g.n_vertex; v++) {
        b.set_weight(v, g.v_weight[static_cast<size_t>(v)]);
        for (int k = 0; k < g.v_edge_count[static_cast<size_t>(v)]; k++) {
          const int u = static_cast<int>(g.v_adj[static_cast<size_t>(v)][k]);
          if (u > v) b.add_edge(v, u);
        }
      }
      return b.finish();
    });
  }

  // The input graph of clique mode as lists (the reduction's input): the
  // primary when it was read for independent-set solves in the compressed
  // layout, else built once from the primary (at most 46341 vertices).
  mutable std::once_flag input_once;
  mutable LoadedGraph input;
  mutable bool input_ok = false;

  const LoadedGraph* input_graph() const {
    if (primary_independent && primary.layout != GraphLayout::dense) return &primary;
    std::call_once(input_once, [this] { input_ok = build_input(); });
    return input_ok ? &input : nullptr;
  }

  // The input graph's edges are primary's conflicts (independent-set
  // primary) or the pairs that do not conflict (clique primary).
  bool build_input() const {
    std::vector<ConflictPair> pairs;
    const int n = vertex_count();
    visit_layout(primary, [&](const auto& g) {
      for (int v = 0; v < n; v++)
        for (int u = v + 1; u < n; u++)
          if (g.conflict(v, u) == primary_independent) pairs.push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(u)});
    });
    input.layout = GraphLayout::sparse16;
    input.input_graph = true;
    return visit_layout(primary, [&](const auto& g) {
      return sparse_from_pairs(input.sparse16, n, pairs.data(), static_cast<long long>(pairs.size()),
                               g.v_weight.data()) == 0;
    });
  }

  long long edge_count_of_input() const {
    return visit_layout(primary, [this](const auto& g) {
      const long long n = g.n_vertex, conflicts = static_cast<long long>(g.n_edge);
      return primary_independent ? conflicts : n * (n - 1) / 2 - conflicts;
    });
  }

  int vertex_count() const {
    return visit_layout(primary, [](const auto& g) { return g.n_vertex; });
  }
  double weight(int v) const {
    if (!original.empty()) return weights[static_cast<size_t>(v)];
    return visit_layout(primary, [v](const auto& g) { return g.v_weight[static_cast<size_t>(v)]; });
  }
};

struct GraphAccess {
  static Graph make(std::shared_ptr<const GraphData> data, Status status, std::string message) {
    Graph g;
    g.data_ = std::move(data);
    g.status_ = status;
    g.message_ = std::move(message);
    return g;
  }
  static const GraphData& data(const Graph& g) { return *g.data_; }
};


// A message with up to two integers in it.
inline std::string format(const char* fmt, long long a, long long b = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

}  // namespace detail

}  // namespace mavu
