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
// Each iteration perturbs S by forcing a vertex in (its S-neighbours go out;
// a forced vertex stays until the iteration ends), runs the local search
// from the vertices the perturbation touched and keeps the result when it
// weighs at least what S weighed, or, once the search has spent enough
// iterations per vertex of its region, with a probability that falls with
// the loss and with the distance to the best; otherwise the changes are
// undone from a log.  The best set is kept as the differences from the
// current one, so recording it costs only the vertices that changed since.
//
// Concurrent solutions.  Once the single search has run a number of
// iterations per vertex, it goes on with several solutions (copies of the
// current one that drift apart), run in turn on one thread in slices of
// iterations, in rounds that alternate between
//   - the whole graph, and
//   - the core: the vertices outside every solution's common part C and
//     outside C's neighbourhood; C is fixed (no move may remove it) and the
//     perturbation draws only core vertices, so the search concentrates on
//     where the solutions disagree.
// Every solution is C plus its restriction to the core, and the core's
// connected components are independent of one another, so the best
// restriction of each component, taken from any solution, together with C
// is an independent set at least as heavy as every solution: after each
// phase it replaces the worst solution other than the active one.  Only the
// active solution has the full state; the others are bit sets, and
// switching between two costs the degrees of the vertices where they
// differ.
//
// Everything is determined by the seed and the iterations run: slices,
// rounds and draws count iterations, never time.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "core/deadline.h"
#include "core/rng.h"
#include "graph/sparse.h"

namespace mavu::ils {

// A small, fast generator of the search's own (splitmix64): the same
// sequence on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed = 1) { this->seed(seed); }
  void seed(uint64_t s) {
    state_ = s + 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 4; i++) next();
  }
  uint64_t next() { return splitmix64(state_); }
  // Uniform in 0 .. n-1 (n > 0), by the multiply-shift reduction.
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * static_cast<uint64_t>(n)) >> 32); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_ = 0;
};

// A sum of weights kept as an unevaluated pair of doubles (the rounding
// error of every addition is carried in `lo`), so that the weight of a set
// of vertices whose weights span many orders of magnitude (1e20 beside
// 0.69) still changes by the small ones.
struct WeightSum {
  double hi = 0, lo = 0;
  void add(double x) {
    const double s = hi + x;
    const double bp = s - hi;
    lo += (hi - (s - bp)) + (x - bp);
    hi = s;
  }
  double value() const { return hi + lo; }
};
// a - b, accurate to the rounding of the result.
inline double minus(const WeightSum& a, const WeightSum& b) { return (a.hi - b.hi) + (a.lo - b.lo); }

struct SearchOptions {
  uint64_t seed = 1;
  // Largest number of 1-tight neighbours a (1,*)-swap considers (the
  // heaviest ones): hubs have many.
  int max_one_tight = 24;
  // Concurrent solutions: 0 chooses by rule, 1 keeps the single search.
  int solutions = 0;
  // Iterations per vertex of the single search before the concurrent rounds
  // begin; negative: by rule.
  double concurrent_after = -1;
};

template <class V>
class LocalSearch {
 public:
  using Graph = SparseConflictGraph<V>;

  LocalSearch() = default;
  LocalSearch(const LocalSearch&) = delete;
  LocalSearch& operator=(const LocalSearch&) = delete;

  // Allocates the state for g (which must outlive this object) and builds a
  // first set: `start` when given (an independent set of g; vertices that
  // conflict with earlier ones are left out), else greedy by weight over
  // degree; then made maximal and locally optimal.  False when memory is
  // short.
  bool init(const Graph& g, const SearchOptions& options, const std::vector<int>* start = nullptr);

  // Runs iterations until the deadline expires, `max_iterations` have run in
  // all or the work (entries of adjacency lists walked) reaches `max_work`;
  // returns the iterations run by this call.  Calls may be split anywhere:
  // the iterations made depend only on the totals.
  long run(Deadline& deadline, long max_iterations, long long max_work = INT64_MAX);

  double weight() const { return cur_.value(); }
  double best_weight() const { return best_w_.value(); }
  long iterations() const { return iter_; }
  long long work() const { return work_; }
  long best_iteration() const { return best_iter_; }
  // The best set, ascending.
  std::vector<int> best_set() const;
  bool in_best(int v) const { return (best_[static_cast<size_t>(v) >> 6] >> (v & 63)) & 1; }
  // Solutions in use (1 until the concurrent rounds begin).
  int solutions() const { return concurrent_ ? solutions_ : 1; }
  // Core phases begun so far.
  long core_phases() const { return core_phases_; }

  // Recomputes every kept quantity from the graph and the sets and compares
  // (for tests): false with the first difference in *why.
  bool check(std::string* why) const;

  // Memory of the state beyond the graph, per vertex (nothing per edge):
  // node 32; queue 4; scratch marks 4; changed-since-best flag 1 and list
  // (at most every vertex) 4; best set 1/8; with concurrent solutions, each
  // solution's bit set 1/8, core component ids 4 and the core's vertex list
  // 4.  With the default 8 solutions: 54.1 bytes per vertex, within the
  // budget of 64 per vertex and 8 per edge.  The undo log and the scratch
  // lists hold the vertices one iteration touches.
  static constexpr double kBytesPerVertex = 32 + 4 + 4 + 1 + 4 + 0.125 + 4 + 4;

 private:
  // What a move reads and writes of a vertex, together: one cache line
  // holds two vertices, and a move touches vertices all over the graph.
  struct Node {
    double nbw;      // weight of the S-neighbours (kept incrementally; summed afresh before a move)
    double w;        // the vertex's weight
    int32_t tight;   // S-neighbours; -1 for members of S (no move changes a member's count)
    int32_t sx;      // XOR of the S-neighbours' numbers
    uint32_t forced; // == stamp_: forced in during this iteration; kFixed: common to every solution (core phase)
    uint32_t queued : 1;      // in the queue
    uint32_t one_tight : 31;  // members: neighbours whose only S-neighbour this is (a (1,*)-swap needs two)
  };
  static_assert(sizeof(Node) == 32);
  static constexpr uint32_t kFixed = 0xFFFFFFFFu;

  int degree(int v) const { return g_->v_edge_count[static_cast<size_t>(v)]; }
  // Every list walk goes through here: work_ counts the entries walked, the
  // search's measure of effort (memory-bound, so close to proportional to
  // time, and the same on every machine).
  const V* adj(int v) {
    work_ += degree(v) + 1;
    return g_->v_adj[static_cast<size_t>(v)];
  }
  Node& node(int v) { return node_[static_cast<size_t>(v)]; }
  const Node& node(int v) const { return node_[static_cast<size_t>(v)]; }
  double w(int v) const { return node(v).w; }
  bool in(int v) const { return node(v).tight < 0; }
  bool forced(int v) const { return node(v).forced == stamp_ || node(v).forced == kFixed; }
  // Gains within the rounding of the sums they come from are no gains.
  double tolerance(double magnitude) const { return exact_ ? 0.0 : 1e-12 * magnitude; }

  void insert(int v);
  void remove(int v);
  void flip_bit(int v) {
    if (track_) bits_[static_cast<size_t>(active_) * words_ + (static_cast<size_t>(v) >> 6)] ^= 1ull << (v & 63);
  }
  void push(int v) {
    if (node(v).queued) return;
    node(v).queued = 1;
    queue_[qtail_] = v;
    qtail_ = qtail_ + 1 == queue_.size() ? 0 : qtail_ + 1;
    qcount_++;
  }
  int pop() {
    const int v = queue_[qhead_];
    qhead_ = qhead_ + 1 == queue_.size() ? 0 : qhead_ + 1;
    qcount_--;
    node(v).queued = 0;
    return v;
  }
  void push_around(int y);
  void local_search();
  bool leavers(int v, std::vector<int>& out, double& s);
  bool try_omega(int v);
  bool try_one_star(int x);
  void force(int v);
  int draw_vertex();
  void perturb();
  void iterate();
  void undo();
  void new_stamp();
  void mark_changed(int v) {
    if (!diff_[static_cast<size_t>(v)]) {
      diff_[static_cast<size_t>(v)] = 1;
      diff_list_.push_back(v);
    }
  }
  void record_best();
  void record_best_from_slot(int s);

  // The concurrent rounds.
  void next_slice();
  bool start_concurrent();
  void switch_to(int s);
  void build_core();
  void release_core();
  void merge();
  bool slot_has(int s, int v) const {
    return (bits_[static_cast<size_t>(s) * words_ + (static_cast<size_t>(v) >> 6)] >> (v & 63)) & 1;
  }

  const Graph* g_ = nullptr;
  int n_ = 0;
  SearchOptions options_;
  Rng rng_;
  bool exact_ = true;  // integral weights whose total is below 2^53: sums are exact
  double resolution_ = 0;  // changes of the total weight at most this small are no changes
  double slack_ = 0;       // rounding the kept neighbour weights may carry
  double mean_w_ = 1;

  std::vector<Node> node_;
  std::vector<int> queue_;
  size_t qhead_ = 0, qtail_ = 0, qcount_ = 0;
  std::vector<uint32_t> mark_;    // scratch stamps
  uint32_t stamp_ = 0, mark_stamp_ = 0;
  std::vector<int> log_;          // vertices flipped during this iteration, in order
  bool logging_ = false;
  WeightSum cur_;

  std::vector<uint64_t> best_;    // the best set, a bit per vertex
  std::vector<uint8_t> diff_;     // 1: flipped since the best set was recorded
  std::vector<int> diff_list_;
  WeightSum best_w_;
  long iter_ = 0, best_iter_ = 0;
  long long work_ = 0;

  std::vector<int> scratch_, chosen_;

  // Concurrent solutions: bit sets of `words_` words each, the active one
  // kept up to date at every flip (track_).
  int solutions_ = 1;
  bool concurrent_ = false, track_ = false;
  size_t words_ = 0;
  std::vector<uint64_t> bits_;
  std::vector<WeightSum> sol_w_, sol_best_;
  int active_ = 0;
  int phase_ = 0;        // 0: whole graph, 1: core
  int pos_ = 0;          // position of the active solution in the round
  long slice_left_ = 0;  // iterations left in the active slice
  long region_iter_ = 0; // iterations run in the current region (for the acceptance)
  std::vector<int> core_id_;   // component of a core vertex (1-based), 0 outside the core
  std::vector<int> core_list_; // core vertices, component by component
  long rounds_ = 0, core_phases_ = 0;
  double concurrent_after_ = 0;
};

}  // namespace mavu::ils
