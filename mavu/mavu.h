// mavu: maximum weight clique (or independent set) by restart-based tabu
// search, the search of the programs mavu1 and mavu2 as a library.
//
//   mavu::Graph g = mavu::Graph::from_file("data/C125.9.clq");
//   mavu::Options o;
//   o.seed = 5;
//   o.max_iterations = 20000;
//   mavu::Result r = mavu::solve(g, o);
//   if (!r.ok()) std::fprintf(stderr, "%s\n", r.message.c_str());
//
// A solve with the options of a program's command line gives that program's
// run: the same set (printed in the same order), weight and best iteration.
// Times are the CPU time of the calling thread since the solve started.
//
// Nothing throws: a failure is a Status with the message the program prints
// for the same input.  A Graph is immutable and cheap to copy; solves on one
// Graph may run in several threads at once and give the same results as one
// after the other.
#pragma once

#include <atomic>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
  invalid_options,  // an option outside its range
  check_failed,     // the best set did not pass the final check (a fault of the search)
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
  // numbered from 1 in the file, from 0 here).  With independent_set, the
  // file is read for independent-set solves, as the programs' -c 1 reads it:
  // its edges are the conflicts, so sparse graphs of millions of vertices
  // load.  A Graph solves in either mode; the mode it was not read for is
  // built as the complement, for at most 46341 vertices.
  static Graph from_file(const std::string& path, bool independent_set = false);

  // n vertices, edges as 0-based pairs (distinct, no loops), one weight per
  // vertex (finite, positive), or no weights: vertex i weighs (i mod 200) + 1.
  static Graph from_edges(int n, const std::vector<std::pair<int, int>>& edges,
                          const std::vector<double>& weights = {});

  bool ok() const { return status_ == Status::ok; }
  Status status() const { return status_; }
  const std::string& message() const { return message_; }
  int vertex_count() const;
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

// Whether a clique solve reduces the graph first (the programs' -r; see
// docs/reduction.md): peel the vertices that cannot be in a heavier clique
// than a first greedy one, search only the kernel left.
enum class Reduce {
  automatic,  // only a graph too large for its conflict graph (above 46341 vertices or 2 GiB)
  on,
  off,
};

// Defaults are the programs' defaults.
struct Options {
  Program program = Program::mavu1;
  int seed = 533875888;              // -s
  int max_iterations = 100000000;    // -i
  double time_limit = 999999999;     // CPU seconds of the solve; above 1e9 counts as 1e9
  // -o: stop once the best set weighs at least this; the default is no target.
  double target = std::numeric_limits<double>::infinity();
  int depth = 4000;                  // -l: restart after this many iterations without a new best
  int directed_percent = 70;         // -p: percent of restarts that are directed
  bool independent_set = false;      // maximum weight independent set instead of clique
  // Independent-set solves reduce only with on (automatic: as off): the
  // kernel's small components solved exactly, the others searched (the
  // programs' -c 1 -r 1, docs/reduction-mis.md).
  Reduce reduce = Reduce::automatic;
  const StopToken* stop = nullptr;   // optional; must outlive the solve
};

struct Result {
  Status status = Status::ok;
  std::string message;         // empty when ok
  std::vector<int> vertices;   // the best set, 0-based, ascending (the programs' order)
  double weight = 0;           // its weight
  int best_iteration = 0;      // iteration at which it was found
  double best_time = 0;        // CPU seconds of the solve when it was found
  bool stopped = false;        // the StopToken ended the solve
  // Vertices left for the search by a reduction (independent-set solves:
  // left after the rules, the exactly solved components included); -1: no
  // reduction ran.
  long long kernel_vertices = -1;
  bool proven_optimal = false;     // the reduction proved the set optimal
  bool ok() const { return status == Status::ok; }
};

MAVU_API Result solve(const Graph& graph, const Options& options = {});

// The name of a status, e.g. "cannot_open".
MAVU_API const char* to_string(Status status);

}  // namespace mavu
