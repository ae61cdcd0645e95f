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

#include <algorithm>

#include "graph/dense.h"
#include "graph/sparse.h"

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
  static unsigned long long graph_bytes(long long n, long long n_edge) { return conflict_graph_bytes(n, n_edge); }
  // Frees what begin() took, after a failure.
  void release() {
    g_.matrix_adj.release();
    g_.adj_store.release();
  }

 private:
  ConflictGraph& g_;
  long long edges_ = 0;
};

// The compressed layout, for independent-set instances (the file's edges are
// the conflicts).  Edges are collected as pairs and turned into sorted lists
// by finish(), which also drops repeats: a repeat is found only there, so
// add_edge() accepts every pair and first_repeat() names the first repeated
// one by its position among the add_edge() calls (the loader then asks the
// reader again for its message, see readers/loader.cpp).
template <class V>
class SparseGraphBuilder {
 public:
  static constexpr bool kEdgesConflict = true;

  explicit SparseGraphBuilder(SparseConflictGraph<V>& g) : g_(g) {}

  bool begin(int n, long long m) {
    n_ = n;
    if (!weights_.alloc(static_cast<size_t>(n), false) || !pairs_.alloc(static_cast<size_t>(m), false)) return false;
    for (int j = 0; j < n; j++) weights_[static_cast<size_t>(j)] = default_weight(j);
    return true;
  }
  bool add_edge(int a, int b) {
    if (count_ == pairs_.size() && !grow()) return true;  // finish() reports the shortage
    ordered_ = ordered_ && (count_ == 0 || pairs_[count_ - 1].a <= static_cast<uint32_t>(a));
    pairs_[count_++] = {static_cast<uint32_t>(a), static_cast<uint32_t>(b)};
    return true;
  }
  // Whether a recorded pair has a first and b second.  Edges recorded in
  // ascending order of their first vertex (as METIS lines give them) are
  // found by a binary search for a's run; otherwise by a scan of all.
  bool has_edge(int a, int b) const {
    const ConflictPair* begin = pairs_.data();
    const ConflictPair* end = begin + count_;
    if (ordered_) {
      auto by_first = [](const ConflictPair& p, uint32_t v) { return p.a < v; };
      begin = std::lower_bound(begin, end, static_cast<uint32_t>(a), by_first);
    }
    for (const ConflictPair* p = begin; p != end && (!ordered_ || p->a == static_cast<uint32_t>(a)); ++p)
      if ((p->a == static_cast<uint32_t>(a) && p->b == static_cast<uint32_t>(b)) ||
          (p->a == static_cast<uint32_t>(b) && p->b == static_cast<uint32_t>(a)))
        return true;
    return false;
  }
  void set_weight(int v, double w) { weights_[static_cast<size_t>(v)] = w; }
  double weight(int v) const { return weights_[static_cast<size_t>(v)]; }
  bool finish() {
    if (lost_) return false;
    const long long r = sparse_from_pairs(g_, n_, pairs_.data(), static_cast<long long>(count_), weights_.data());
    pairs_.release();
    weights_.release();
    if (r < 0) return false;
    first_repeat_ = r;
    return true;
  }
  long long edges() const { return static_cast<long long>(count_); }
  long long first_repeat() const { return first_repeat_; }
  static long long conflict_edges(long long /*n*/, long long m) { return m; }
  static unsigned long long graph_bytes(long long n, long long n_edge) {
    // The collected pairs and the lists are both held while the lists are built.
    return sparse_graph_bytes<V>(n, n_edge) + static_cast<unsigned long long>(n_edge) * sizeof(ConflictPair) +
           static_cast<unsigned long long>(n) * sizeof(double);
  }
  void release() {
    pairs_.release();
    weights_.release();
    g_.adj_store.release();
  }

 private:
  bool grow() {
    HeapArray<ConflictPair> more;
    if (!more.alloc(pairs_.size() * 2 + 1024, false)) return !(lost_ = true);
    std::copy(pairs_.data(), pairs_.data() + count_, more.data());
    pairs_.swap(more);
    return true;
  }

  SparseConflictGraph<V>& g_;
  int n_ = 0;
  HeapArray<double> weights_;
  HeapArray<ConflictPair> pairs_;
  size_t count_ = 0;
  bool ordered_ = true, lost_ = false;
  long long first_repeat_ = 0;
};

// Stands in for a builder when a file is read again only to have the reader
// report the record of a repeated edge: add_edge() refuses the `stop`-th
// record (however often the reader retries it) and stores nothing.
struct RepeatLocator {
  static constexpr bool kEdgesConflict = true;
  long long stop, calls = 0;
  bool begin(int, long long) { return true; }
  bool add_edge(int, int) {
    if (calls + 1 == stop) return false;
    calls++;
    return true;
  }
  bool has_edge(int, int) const { return true; }
  void set_weight(int, double) {}
  double weight(int) const { return 1.0; }
  bool finish() { return true; }
  long long edges() const { return calls; }
  static long long conflict_edges(long long, long long m) { return m; }
  static unsigned long long graph_bytes(long long, long long) { return 0; }
  void release() {}
};
