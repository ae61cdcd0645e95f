// Where the readers store what they read.  A reader is a template over its
// builder, so storing an edge is an inlined bit operation: no call through a
// pointer per record.  The readers parse; builders store:
//
//   begin(n, m)        allocates for n vertices and (about) m file edges;
//                      every vertex has its default weight
//   add_edge(a, b)     records the file edge {a, b} (0-based, a != b); false
//                      when the pair was recorded before, in either direction
//   has_edge(a, b)     whether the pair was recorded
//   set_weight(v, w)   the weight of vertex v
//   weight(v)          the weight of vertex v
//   finish()           completes the conflict graph
//   edges()            the number of distinct file edges recorded
//
// begin() and finish() return false when memory is short.
#pragma once

#include "graph/dense.h"

// Whether the file's edges join vertices that may share a set (the search
// looks for a clique of the file's graph) or vertices that conflict (it looks
// for an independent set of the file's graph).
enum class InstanceMode { clique, independent_set };

// The dense layout: the conflict bit matrix plus the conflict lists.  The
// mode is a compile-time parameter: it decides which way an edge flips a bit.
template <InstanceMode kMode>
class DenseGraphBuilder {
 public:
  static constexpr bool kEdgesConflict = kMode == InstanceMode::independent_set;

  explicit DenseGraphBuilder(ConflictGraph& g) : g_(g) {}

  bool begin(int n, long long /*m*/) { return graph_begin(g_, n, !kEdgesConflict); }
  bool add_edge(int a, int b) {
    const bool added = kEdgesConflict ? graph_set_pair(g_, a, b) : graph_clear_pair(g_, a, b);
    edges_ += added;
    return added;
  }
  bool has_edge(int a, int b) const { return g_.conflict(a < b ? a : b, a < b ? b : a) == kEdgesConflict; }
  void set_weight(int v, double w) { g_.v_weight[static_cast<size_t>(v)] = w; }
  double weight(int v) const { return g_.v_weight[static_cast<size_t>(v)]; }
  bool finish() {
    const long long n = g_.n_vertex;
    return graph_finish(g_, conflict_edges(n, edges_));
  }
  long long edges() const { return edges_; }
  // Conflict edges of a graph of n vertices whose file has m edges.
  static long long conflict_edges(long long n, long long m) { return kEdgesConflict ? m : n * (n - 1) / 2 - m; }
  // Frees what begin() took, after a failure.
  void release() {
    g_.matrix_adj.release();
    g_.adj_store.release();
  }

 private:
  ConflictGraph& g_;
  long long edges_ = 0;
};
