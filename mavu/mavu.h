// mavu: maximum weight clique (or independent set) by restart-based tabu
// search, the search of the programs mavu1 and mavu2 as a library.
//
//   const mavu::Graph g = mavu::Graph::from_file("data/C125.9.clq");
//   mavu::Options o;
//   o.seed = 5;
//   o.max_iterations = 20000;
//   const mavu::Result r = mavu::solve(g, o);
//   if (!r.ok()) std::fprintf(stderr, "%s\n", r.message.c_str());
//
// A solve with the options of a program's command line gives that program's
// run: the same set (printed in the same order), weight and best iteration.
// Times are the CPU time of the calling thread since the solve started.
//
// Nothing throws but the caller's own progress callback: a failure is a
// Status with the message the program prints for the same input, or one
// naming the option and its range.  A Graph is immutable and cheap to copy;
// solves on one Graph may run in several threads at once and give the same
// results as one after the other.  The header needs C++20 (std::span); the
// CMake package's target mavu::mavu asks for it.
#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "mavu/options.h"
#include <mavu/version.h>  // MAVU_VERSION_MAJOR, _MINOR, _PATCH, _STRING

#if defined(MAVU_BUILDING_LIBRARY)
#define MAVU_API __attribute__((visibility("default")))
#else
#define MAVU_API
#endif

namespace mavu {

enum class Status {
  ok,
  cannot_open,      // the instance file could not be opened
  invalid_input,    // the file or the edge list is not a valid graph
  out_of_memory,    // the graph does not fit in memory
  invalid_options,  // an option outside its range (mavu/options.h)
  check_failed,     // the best set did not pass the final check (a fault of the search)
};

// Why a solve ended.
enum class StopReason {
  none,             // it did not run (a failed Result)
  iterations,       // max_iterations reached
  time_limit,       // the CPU-time limit reached
  wall_time_limit,  // the wall-clock limit reached
  target,           // a set reached the target weight
  stop_requested,   // the StopToken asked it to stop
  empty_graph,      // a graph without vertices: nothing to search
  proven,           // the set was proven optimal (reduced solves end there)
};

namespace detail {
struct GraphData;
struct GraphAccess;
}

// An undirected vertex-weighted graph on vertices 0 .. vertex_count()-1.
// A Graph that failed to build carries its status and message; solving it
// returns them.
class MAVU_API Graph {
 public:
  Graph();  // no graph: status invalid_input

  // Reads an instance file in any format the programs read (vertices
  // numbered from 1 in the file, from 0 here; a vertex without a weight
  // record weighs ((i + 1) mod 200) + 1, the files' convention).  With
  // independent_set, the file is read for independent-set solves, as the
  // programs' -c 1 reads it: its edges are the conflicts, so sparse graphs of
  // millions of vertices load; so does a clique file that the solves
  // reduce by default (a sparse graph of 1000 vertices or more, see
  // docs/reduction.md), as its edge lists.  A Graph solves in either mode;
  // the conflict graph a solve needs and the Graph does not hold is built
  // as the complement, for at most 46341 vertices (a reduced solve needs
  // none: it works on the edge lists).
  [[nodiscard]] static Graph from_file(const std::string& path, bool independent_set = false);

  // n vertices, edges as 0-based pairs (distinct; a loop is refused), one
  // weight per vertex (finite, zero or more; a zero-weight vertex adds
  // nothing to a set: it is left out of the search and never in the
  // result), or no weights: every vertex weighs 1.  Up to 2^31 - 1 vertices.  For cliques (independent_set
  // false) the edges are held as lists, as the reduction reads them, and the
  // conflict graph of a solve without reduction is built when it first asks
  // (at most 46341 vertices); for independent sets the edges are the
  // conflicts and are held in the layout the programs' -c 1 chooses
  // (compressed lists for sparse graphs), and the graph is solved for
  // independent sets only: a solve without Options::independent_set returns
  // Status::invalid_options.  n = 0 gives an empty graph, whose solve
  // returns the empty set.
  [[nodiscard]] static Graph from_edges(int n, std::span<const std::pair<int, int>> edges,
                                        std::span<const double> weights = {}, bool independent_set = false);
  // The same with the edges and weights written in braces.
  [[nodiscard]] static Graph from_edges(int n, std::initializer_list<std::pair<int, int>> edges,
                                        std::initializer_list<double> weights = {}, bool independent_set = false) {
    return from_edges(n, std::span(edges.begin(), edges.size()), std::span(weights.begin(), weights.size()),
                      independent_set);
  }

  bool ok() const { return status_ == Status::ok; }
  Status status() const { return status_; }
  const std::string& message() const { return message_; }
  int vertex_count() const;
  // The weight of vertex v; NaN when v is not a vertex of the graph.
  double weight(int v) const;

 private:
  friend struct detail::GraphAccess;
  std::shared_ptr<const detail::GraphData> data_;
  Status status_;
  std::string message_;
};

// Asks running solves to stop.  Shared by reference: the solves given it stop
// at their next iteration and return the best set found so far.
class MAVU_API StopToken {
 public:
  void request_stop() noexcept { flag_.store(1, std::memory_order_relaxed); }
  bool stop_requested() const noexcept { return flag_.load(std::memory_order_relaxed) != 0; }
  void reset() noexcept { flag_.store(0, std::memory_order_relaxed); }
  const std::atomic<int>& flag() const noexcept { return flag_; }

 private:
  std::atomic<int> flag_{0};
};

enum class Program {
  mavu1,  // adaptive gain threshold (the default)
  mavu2,  // conflict-count partition with a sampled last list, for large sparse instances
};

// Whether a solve reduces the graph first (the programs' -r; see
// docs/reduction.md and docs/reduction-mis.md) and solves exactly what it
// can of the kernel, searching the rest; a reduced solve ends as soon as
// its set is proven optimal (StopReason::proven).
enum class Reduce {
  // Independent sets: always.  Cliques: where the programs reduce by
  // default (a sparse graph of 1000 vertices or more, or one too large for
  // its conflict graph), and every graph of at most kSmallGraphVertices
  // vertices, whose optimum the exact search usually proves in milliseconds.
  automatic,
  on,
  off,  // the programs' -r 0: the search of the whole conflict graph
};

// Graphs up to this many vertices are solved through the reduction and the
// exact search by Reduce::automatic, whatever their density.
inline constexpr int kSmallGraphVertices = 500;

// What a progress callback is told.
struct Progress {
  int seed;            // the seed of the solve reporting
  int iterations;      // iterations so far
  double best_weight;  // weight of the best set so far
  double seconds;      // CPU seconds of the solve so far
};

// Defaults, ranges and meanings: the option table, mavu/options.h (the
// programs' defaults).  A value out of range makes solve() return
// Status::invalid_options with a message naming the option and its range.
struct Options {
  Program program = Program::mavu1;
  int seed = option_default<int>(OptionId::seed);  // -s
  // -i; kNoIterationLimit (2^31 - 1, the iteration counter's ceiling) is no limit.
  int max_iterations = option_default<int>(OptionId::max_iterations);
  // CPU seconds of the solve; above 1e9 counts as 1e9.
  double time_limit = option_default<double>(OptionId::time_limit);
  // Wall-clock seconds of the solve; infinity: no limit.
  double wall_time_limit = option_default<double>(OptionId::wall_time_limit);
  // -o: stop as soon as the best set weighs at least this (the first
  // construction's set included); the default is no target.
  double target = option_default<double>(OptionId::target);
  int depth = option_default<int>(OptionId::depth);                        // -l
  int directed_percent = option_default<int>(OptionId::directed_percent);  // -p
  bool independent_set = false;      // maximum weight independent set instead of clique
  // -r (see Reduce).
  Reduce reduce = Reduce::automatic;
  const StopToken* stop = nullptr;   // optional; must outlive the solve
  // Optional: called from the solving thread at most every 0.1 s of wall
  // time, at the search's clock read (no cost to the iterations between).
  // With several seeds it is called from each solving thread, concurrently.
  // An exception it throws ends the solve (every run; the callback is not
  // called again) and, once every thread has joined, solve() rethrows it.
  std::function<void(const Progress&)> progress;
  // Several seeds: one solve per seed (the seed above is then unused), run in
  // `threads` threads at once (0: one per processor core); the result is the
  // best of them, the first listed among equal weights, and holds them all
  // in `runs`.  Each run is that of its seed alone, whatever the threads.
  std::vector<int> seeds;
  int threads = option_default<int>(OptionId::threads);
};

struct [[nodiscard]] Result {
  Status status = Status::ok;
  std::string message;         // empty when ok
  std::vector<int> vertices;   // the best set, 0-based, ascending (the programs' order)
  double weight = 0;           // its weight
  int best_iteration = 0;      // iteration at which it was found
  double best_time = 0;        // CPU seconds of the solve when it was found
  int iterations = 0;          // iterations the search ran
  StopReason stopped = StopReason::none;  // why it ended
  int seed = 0;                // the seed of the run
  std::vector<Result> runs;    // several seeds: every run, in the order of the seeds
  // Vertices left for the search by a reduction (independent-set solves:
  // left after the rules, the exactly solved components included); -1: no
  // reduction ran.
  long long kernel_vertices = -1;
  bool proven_optimal = false;     // the set is proven optimal (reduced solves)
  bool ok() const { return status == Status::ok; }
};

[[nodiscard]] MAVU_API Result solve(const Graph& graph, const Options& options = {});

// Empty when `value` lies in the option's range, else the message solve()
// gives for it.
[[nodiscard]] MAVU_API std::string check_option(OptionId option, double value);

// The name of a status or a stop reason, e.g. "cannot_open", "time_limit".
MAVU_API const char* to_string(Status status);
MAVU_API const char* to_string(StopReason reason);

}  // namespace mavu
