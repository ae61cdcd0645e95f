// Iterated local search for maximum weight independent sets on large sparse
// conflict graphs (kernel parts of millions of vertices): every move costs
// time proportional to the degrees it touches, never a scan of the graph.
//
// The state is one independent set S with, for every vertex outside S, its
// tightness (how many neighbours it has in S), the weight of those
// neighbours and the XOR of their numbers (which names the one neighbour of
// a 1-tight vertex without a walk).  Two improving moves:
//   - (w,1)-swap: a vertex v outside S whose S-neighbours weigh less than
//     w(v) goes in and they go out (a free vertex, of tightness 0, is the
//     case of no neighbour);
//   - (1,*)-swap: a vertex x of S goes out and an independent set of its
//     1-tight neighbours (the vertices whose only S-neighbour is x) heavier
//     than x comes in: the heaviest pair exactly, extended greedily.
// The local search examines only the vertices a change touched (a queue with
// in-queue flags), so it is O(sum of the degrees around the changes).
//
// Each iteration perturbs S by forcing a few vertices in (their
// S-neighbours go out; a forced vertex stays until the iteration ends), runs
// the local search from the vertices the perturbation touched and keeps the
// result when it weighs at least what S weighed (or, now and then, a little
// less); otherwise the changes are undone from a log.  The best set is kept
// as the differences from the current one, so recording it costs only the
// vertices that changed since.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "core/deadline.h"
#include "graph/sparse.h"

namespace mavu::ils {

// A small, fast generator of the search's own (splitmix64 state, xorshift
// output): the same sequence on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed = 1) { this->seed(seed); }
  void seed(uint64_t s) {
    state_ = s + 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 4; i++) next();
  }
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in 0 .. n-1 (n > 0), by the multiply-shift reduction.
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * static_cast<uint64_t>(n)) >> 32); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_ = 0;
};

struct SearchOptions {
  uint64_t seed = 1;
  // Largest number of 1-tight neighbours a (1,*)-swap considers (the
  // heaviest ones): hubs have many.
  int max_one_tight = 24;
};

template <class V>
class LocalSearch {
 public:
  using Graph = SparseConflictGraph<V>;

  LocalSearch() = default;
  LocalSearch(const LocalSearch&) = delete;
  LocalSearch& operator=(const LocalSearch&) = delete;

  // Allocates the state for g (which must outlive this object) and builds a
  // first set: greedy by weight over degree, then the local search.  False
  // when memory is short.
  bool init(const Graph& g, const SearchOptions& options);

  // Runs iterations until the deadline expires or `max_iterations` have run
  // in all; returns the iterations run by this call.
  long run(Deadline& deadline, long max_iterations, long long max_work = INT64_MAX);

  double weight() const { return cur_w_; }
  double best_weight() const { return best_w_; }
  long iterations() const { return iter_; }
  long long work() const { return work_; }
  long best_iteration() const { return best_iter_; }
  // The best set, ascending.
  std::vector<int> best_set() const;
  bool in_best(int v) const { return best_[static_cast<size_t>(v)] != 0; }
  // Bytes of the state per vertex (for the memory budget).
  static constexpr size_t kBytesPerVertex = 32 + 4 + 4 + 1 + 1 + 4;

 private:
  int degree(int v) const { return g_->v_edge_count[static_cast<size_t>(v)]; }
  // Every list walk goes through here: work_ counts the entries walked, the
  // search's measure of effort (memory-bound, so close to proportional to
  // time, and the same on every machine).
  const V* adj(int v) {
    work_ += degree(v) + 1;
    return g_->v_adj[static_cast<size_t>(v)];
  }
  double w(int v) const { return node_[static_cast<size_t>(v)].w; }

  void insert(int v);
  void remove(int v);
  void push(int v) {
    if (node_[static_cast<size_t>(v)].queued) return;
    node_[static_cast<size_t>(v)].queued = 1;
    queue_[qtail_] = v;
    qtail_ = qtail_ + 1 == queue_.size() ? 0 : qtail_ + 1;
    qcount_++;
  }
  int pop() {
    const int v = queue_[qhead_];
    qhead_ = qhead_ + 1 == queue_.size() ? 0 : qhead_ + 1;
    qcount_--;
    node_[static_cast<size_t>(v)].queued = 0;
    return v;
  }
  void local_search();
  bool try_omega(int v);
  bool try_one_star(int x);
  void force(int v);
  void perturb();
  void undo();
  void mark_changed(int v) {
    if (!diff_[static_cast<size_t>(v)]) {
      diff_[static_cast<size_t>(v)] = 1;
      diff_list_.push_back(v);
    }
  }
  void record_best();
  void restore_best();
  bool forced(int v) const { return node_[static_cast<size_t>(v)].forced == stamp_; }
  void recompute();

  const Graph* g_ = nullptr;
  int n_ = 0;
  SearchOptions options_;
  Rng rng_;
  double eps_ = 0;  // gains above it are improvements
  double mean_w_ = 1;
  long last_restore_ = 0;

  // What a move reads and writes of a vertex, together: one cache line
  // holds two vertices, and a move touches vertices all over the graph.
  struct Node {
    double nbw;      // weight of the S-neighbours (kept incrementally; summed afresh before a move)
    double w;        // the vertex's weight
    int32_t tight;   // S-neighbours (0 for members of S)
    int32_t sx;      // XOR of the S-neighbours' numbers
    uint32_t forced; // == stamp_: forced in during this iteration
    uint8_t in;      // 1: in S
    uint8_t queued;  // 1: in the queue
  };
  static_assert(sizeof(Node) == 32);
  std::vector<Node> node_;
  std::vector<int> queue_;
  size_t qhead_ = 0, qtail_ = 0, qcount_ = 0;
  std::vector<uint32_t> mark_;    // scratch stamps
  uint32_t stamp_ = 0, mark_stamp_ = 0;
  std::vector<int> log_;          // vertices flipped during this iteration, in order
  bool logging_ = false;
  double cur_w_ = 0;

  std::vector<uint8_t> best_;     // the best set
  std::vector<uint8_t> diff_;     // 1: flipped since the best set was recorded
  std::vector<int> diff_list_;
  double best_w_ = -1;
  long iter_ = 0, best_iter_ = 0;
  long long work_ = 0;

  std::vector<int> scratch_, chosen_;
  long improve_count_ = 0;
};

}  // namespace mavu::ils
