// Search state: the current conflict-free set C with its incrementally kept
// counters and gains, the tabu expiries, the three candidate lists that divide
// the non-members, and the record of the best set found.
//
// Invariants between moves (see core/audit.h, which recomputes them):
//  1. C is conflict-free.
//  2. adj_num_in_c[v] = members of C conflicting with v (0 for members).
//  3. dweight[v] = weight change of pushing v: w(v) minus the weights of its
//     conflicting members for a non-member; -w(v) for a member.
//  4. cur_weight = weight of C.
//  5. num_v_adj(s, k) = non-members whose conflict count is k.  With the
//     bit-matrix layout it is counted from adj_num_in_c when a push needs it,
//     which is cheaper than updating a histogram for every neighbour of every
//     move while n is at most 46341; with the compressed layout, made for
//     millions of vertices, count_hist keeps it incrementally.
//  6. Every non-member is in exactly one of pos_lst / cand_lst / rest_lst,
//     chosen by the program's partition rule (profile P); members in none.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <ctime>
#include <type_traits>
#include <vector>

#include "core/candidate_index.h"
#include "core/count.h"
#include "core/cpu_clock.h"
#include "graph/dense.h"
#include "graph/sparse.h"
#include "core/params.h"
#include "core/ral.h"
#include "core/rng.h"

// Per-vertex flags and counts are kept narrow (the graph layout names the
// count type: 16 bits while n - 1 fits) so the arrays a move touches stay in
// the first-level cache for graphs of thousands of vertices.
using member_flag = uint8_t;

// The graph layout of a program profile: P::Graph when the profile names
// one, the bit-matrix layout otherwise.
template <class P>
struct graph_of {
  using type = ConflictGraph;
};
template <class P>
  requires requires { typename P::Graph; }
struct graph_of<P> {
  using type = typename P::Graph;
};
template <class P>
using graph_of_t = typename graph_of<P>::type;

// Program profile P searching graph layout G; the bit-matrix layout is the
// profile itself, so that both name one type.
template <class P, class G>
struct WithLayoutProfile : P {
  using Graph = G;
};
template <class P, class G>
using WithLayout = std::conditional_t<std::is_same_v<G, ConflictGraph>, P, WithLayoutProfile<P, G>>;

// A stop flag nobody sets, for searches that cannot be stopped from outside.
inline const std::atomic<int> kNeverStopped{0};
// The stop flag of a search whose tick asked it to end.
inline const std::atomic<int> kStopNow{1};

inline void no_progress(void*, int, int, double) {}

// Everything a search reads from outside its own state besides the graph and
// the parameters: where its CPU time is measured, who may stop it, and where
// its progress goes.  Nothing of it is global, so searches may run in several
// threads at once.
struct SearchEnv {
  // CPU time is counted on `cpu_clock`, from process start (the programs: the
  // limit includes loading, as their command line says) or from the start of
  // the search (a library solve, on the calling thread's clock).
  clockid_t cpu_clock = CLOCK_PROCESS_CPUTIME_ID;
  bool from_process_start = true;
  // The CPU-time limit in seconds; unset: the parameters' whole seconds.
  // Callers keep it at most 1e9.
  bool has_time_limit = false;
  double time_limit = 0;
  // Nonzero asks the search to stop at its next loop test (the programs'
  // signal handler stores the signal number).
  const std::atomic<int>* stop = &kNeverStopped;
  // A second flag that ends the stages of a reduced run like `stop` (the
  // library's, set when a progress callback threw; null: none).
  const std::atomic<int>* abort = nullptr;
  // Called every 100000 iterations with the iteration, the best set's size and weight.
  void (*progress)(void* ctx, int iter, int best_size, double best_weight) = no_progress;
  void* progress_ctx = nullptr;
  // A wall-clock limit of the search in seconds (1e9 or more: none), and a
  // tick every tick_seconds of wall time (0: none) with the iteration, the
  // best weight and the CPU seconds of the measure; both are checked at the
  // loop's clock read.  A tick that returns false ends the search as a stop
  // request does.
  double wall_time_limit = 1e9;
  double tick_seconds = 0;
  bool (*tick)(void* ctx, int iter, double best_weight, double seconds) = nullptr;
  void* tick_ctx = nullptr;
};

template <class P, class R = CRand>
struct SearchState {
  using Profile = P;
  using Graph = graph_of_t<P>;
  using Count = typename Graph::conflict_count;
  // Whether num_v_adj is kept incrementally (see invariant 5).
  static constexpr bool kKeepsHistogram = !Graph::kDense;

  // Instance and parameters, read only.
  const Graph* g = nullptr;
  SearchParams params;
  int n_vertex = 0;

  // The current set C.
  ST_RandAccessList* cur_c_set = nullptr;  // members, in list order
  std::vector<member_flag> is_in_c;        // 1 exactly for members
  std::vector<Count> adj_num_in_c;         // conflict count
  std::vector<int> count_hist;             // count_hist[k] = vertices of count k (kKeepsHistogram only)
  std::vector<double> dweight;             // push gain
  double cur_weight = 0;                   // weight of C
  int cur_iter = 0;                        // search-loop iterations over all restarts

  // Tabu and lookup hint.
  std::vector<int> tabu_lst;  // tabu while cur_iter < tabu_lst[v]
  std::vector<int> pre_adj;   // last member seen conflicting with v; re-validated before use

  // Candidate lists: improving, mildly worsening, the rest.
  ST_RandAccessList* pos_lst = nullptr;
  ST_RandAccessList* cand_lst = nullptr;
  ST_RandAccessList* rest_lst = nullptr;
  double cand_thresh = 0.0;  // gain threshold (gain-threshold partition)
  int con_thresh = 1;        // conflict-count threshold (conflict-threshold partition)

  // CPU-time limit of the loop test (exact, with few clock reads).
  CpuTimeLimit time_limit;

  // Best record.
  long start_time = 0;       // CPU-clock ticks at the start of the measure (0: process start)
  double best_weight = 0;
  int best_iter = 0;
  long best_end_time = 0;    // CPU-clock ticks when the best was recorded
  int best_size = 0;         // members of the best set
  std::vector<int> best_vertex;

  R rng;
  DivisorTable divisor;  // modulus test of the tie draws (counts 1 .. n + 1)

  // Clock, stop flag and progress of this search.  Kept after the fields
  // the moves read, whose offsets it would otherwise change.
  SearchEnv env;

  // The construction's candidates: a scratch list (bit-matrix layout) or a
  // CandidateIndex (compressed layout), allocated once with the state.
  HeapArray<int> construction_scratch;
  CandidateIndex candidates;

  // The search loop's own counters between two calls of it (a search run
  // in slices resumes where it stopped): iterations without a new best, and
  // the adaptation window's length and hits.
  struct LoopCounters {
    int stall = 0;
    int window_len = 0;
    int window_hits = 0;
  } loop;

  SearchState() = default;
  SearchState(const SearchState&) = delete;
  SearchState& operator=(const SearchState&) = delete;
  ~SearchState() {
    ral_release(cur_c_set);
    ral_release(pos_lst);
    ral_release(cand_lst);
    ral_release(rest_lst);
  }
};

// Number of vertices whose conflict count is k (k >= 1; members count 0).
// The bit-matrix layout counts it with the widest vector unit of the
// processor (core/count.cpp); the compressed layout keeps it incrementally.
template <class P, class R>
int num_v_adj(const SearchState<P, R>& s, int k) {
  if constexpr (SearchState<P, R>::kKeepsHistogram) {
    return static_cast<size_t>(k) < s.count_hist.size() ? s.count_hist[static_cast<size_t>(k)] : 0;
  } else {
    static_assert(sizeof(typename SearchState<P, R>::Count) == sizeof(uint16_t));
    return mavu::detail::count_equal_u16(s.adj_num_in_c.data(), s.n_vertex, static_cast<uint16_t>(k));
  }
}

// Bytes init_data allocates for n vertices and a largest conflict degree
// max_degree: what a search needs beside its graph.
template <class P, class R>
unsigned long long search_state_bytes(long long n, long long max_degree) {
  using S = SearchState<P, R>;
  const unsigned long long v = static_cast<unsigned long long>(n) + 1;
  unsigned long long per_vertex = 4 * 2 * sizeof(int)  // four lists: members and positions
                                  + sizeof(member_flag) + sizeof(typename S::Count) + sizeof(double)  // is_in_c, count, gain
                                  + 3 * sizeof(int)                                                   // tabu, hint, best set
                                  + sizeof(uint64_t);                                                 // divisor table
  per_vertex += S::Graph::kDense ? sizeof(int) : 3 * sizeof(int);  // construction: scratch, or index
  unsigned long long total = v * per_vertex;
  if constexpr (S::kKeepsHistogram) total += static_cast<unsigned long long>(max_degree + 1) * sizeof(int);
  return total;
}

// One-time initialisation after loading: empty C, every vertex waiting in
// pos_lst in ascending order, generator seeded, empty best record.  False,
// with the state unusable, when memory is short.
template <class P, class R>
[[nodiscard]] bool init_data(SearchState<P, R>& s, const graph_of_t<P>& g, const SearchParams& params,
                             const SearchEnv& env = {}) {
  s.g = &g;
  s.params = params;
  s.env = env;
  const int n = s.n_vertex = g.n_vertex;
  // The containers report a lack of memory by std::bad_alloc: it becomes
  // the result here, and nothing is thrown past the state.
  try {
    s.dweight.assign(g.v_weight.data(), g.v_weight.data() + n);
    s.pre_adj.assign(n, 0);
    s.is_in_c.assign(n, 0);
    s.adj_num_in_c.assign(n, 0);
    if constexpr (SearchState<P, R>::kKeepsHistogram) {
      // Counts range over 0 .. max degree; every vertex starts at 0.
      s.count_hist.assign(static_cast<size_t>(g.max_degree) + 1, 0);
      s.count_hist[0] = n;
    }
    s.tabu_lst.assign(n, 0);
    s.best_vertex.assign(n, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  s.pos_lst = ral_init(n);
  s.cand_lst = ral_init(n);
  s.rest_lst = ral_init(n);
  s.cur_c_set = ral_init(n);
  s.cand_thresh = 0.0;
  if (!s.pos_lst || !s.cand_lst || !s.rest_lst || !s.cur_c_set || !s.divisor.init(n + 1)) return false;
  if constexpr (SearchState<P, R>::Graph::kDense) {
    if (!s.construction_scratch.alloc(static_cast<size_t>(n > 0 ? n : 1), false)) return false;
  } else {
    if (!s.candidates.init(n)) return false;
  }
  for (int v = 0; v < n; v++) ral_add(s.pos_lst, v);
  s.rng.seed(static_cast<unsigned>(params.para_seed));
  s.cur_weight = 0;
  s.cur_iter = 0;
  s.start_time = env.from_process_start ? 0 : cpu_ticks(env.cpu_clock);
  s.time_limit = make_cpu_limit(
      static_cast<float>(env.has_time_limit ? env.time_limit : static_cast<double>(params.para_max_seond)),
      env.cpu_clock, s.start_time);
  if (env.wall_time_limit < 1e9 || env.tick)
    set_wall_limits(s.time_limit, env.wall_time_limit, env.tick ? env.tick_seconds : 0);
  s.best_iter = 0;
  s.best_weight = 0;
  s.best_size = 0;
  return true;
}

// Back to the empty-C state before a random restart.  Keeps cur_iter, the best
// record, the pre_adj hints and the adapted threshold.
template <class P, class R>
void reinit_data(SearchState<P, R>& s) {
  const int n = s.n_vertex;
  for (int v = 0; v < n; v++) s.dweight[v] = s.g->v_weight[v];
  ral_clear(s.pos_lst);
  ral_clear(s.cand_lst);
  ral_clear(s.rest_lst);
  ral_clear(s.cur_c_set);
  std::fill(s.is_in_c.begin(), s.is_in_c.end(), 0);
  std::fill(s.adj_num_in_c.begin(), s.adj_num_in_c.end(), 0);
  if constexpr (SearchState<P, R>::kKeepsHistogram) {
    std::fill(s.count_hist.begin(), s.count_hist.end(), 0);
    s.count_hist[0] = n;
  }
  s.cur_weight = 0;
  std::fill(s.tabu_lst.begin(), s.tabu_lst.end(), 0);
  for (int v = 0; v < n; v++) ral_add(s.pos_lst, v);
}

// Makes C the best set.  Callers call it only when cur_weight > best_weight.
template <class P, class R>
void record_current(SearchState<P, R>& s) {
  s.best_weight = s.cur_weight;
  s.best_end_time = cpu_ticks(s.env.cpu_clock);
  s.best_iter = s.cur_iter;
  s.best_size = s.cur_c_set->vnum;
  for (int i = 0; i < s.cur_c_set->vnum; i++) s.best_vertex[i] = s.cur_c_set->vlist[i];
}

// The loop test of both search loops: go on while cur_iter is below the
// iteration bound and, only when it is, while no stop was asked for and the
// CPU time in single precision is below the limit.  (No clock is read once
// the bound is hit.)
template <class P, class R>
bool loop_continues(SearchState<P, R>& s, int max_iter) {
  if (!(s.cur_iter < max_iter)) return false;
  if (s.env.stop->load(std::memory_order_relaxed) != 0) return false;
  return cpu_time_below_limit(s.time_limit, [&s](long ticks) {
    if (!s.env.tick(s.env.tick_ctx, s.cur_iter, s.best_weight, static_cast<double>(ticks) / 1e6))
      s.env.stop = &kStopNow;
  });
}

// True once the run must end for a reason other than its iteration bound: a
// stop request or the CPU-time limit.  A construction or a directed restart
// tests it after every push, because on independent-set instances of 10^5
// vertices and more one of them makes tens of thousands of pushes, each
// scanning lists of that length, and would otherwise run for seconds past the
// limit.  The state stays valid at every push, so the caller just stops
// early and the loop test that follows ends the run.  Reading the clock draws
// nothing, so a run that ends by its iteration bound is unchanged.
template <class P, class R>
bool run_must_end(SearchState<P, R>& s) {
  if (s.env.stop->load(std::memory_order_relaxed) != 0) return true;
  return !cpu_time_below_limit(s.time_limit);
}

// Progress every 100000 iterations of the search loop.
template <class P, class R>
void report_progress(const SearchState<P, R>& s) {
  s.env.progress(s.env.progress_ctx, s.cur_iter, s.best_size, s.best_weight);
}
