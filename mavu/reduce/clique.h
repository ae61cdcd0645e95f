// Clique-mode reduction of a large sparse input graph: a first clique by a
// greedy construction, then peeling of every vertex that cannot belong to a
// heavier clique, to a fixpoint; what is left is the kernel, whose conflict
// graph (the complement of the induced subgraph) is small enough for the
// search.  See mavu/reduce/kernel.h for the pipeline this feeds.
#pragma once

#include <ctime>
#include <string>

#include "core/deadline.h"
#include "mavu/reduce/kernel.h"
#include "readers/loader.h"

namespace mavu::reduce {

struct CliqueOptions {
  LayoutRequest layout = LayoutRequest::automatic;     // of the kernel's conflict graph
  unsigned long long max_kernel_bytes = kMaxConflictBytes;  // a larger kernel conflict graph is refused
  clockid_t clock = CLOCK_PROCESS_CPUTIME_ID;          // for Reduced::incumbent_ticks
  // A clique weight known beforehand: the kernel keeps only what could beat
  // the larger of it and the first clique.
  double known_weight = 0;
  bool first_clique = true;  // false: no greedy construction (the incumbent stays empty)
  // When it expires, the reduction ends with the first clique and no kernel
  // (ReduceReport::cut): what was not peeled yet is not searched.
  Deadline* deadline = nullptr;
};

enum class ReduceStatus {
  ok,
  kernel_too_large,  // the kernel's conflict graph would need more than max_kernel_bytes (or 46341 vertices)
  no_memory,         // an allocation failed
};

struct ReduceReport {
  ReduceStatus status = ReduceStatus::ok;
  std::string message;  // one line, without the file name, when not ok
  long long kernel = 0;  // kernel vertices
  unsigned long long kernel_bytes = 0;  // bytes of the kernel's conflict graph
  int rounds = 0;       // peeling rounds run
  bool cut = false;     // the deadline ended the reduction: no kernel was built
};

// Reduces the clique instance whose input graph is `input`: an
// independent-set load (its lists are the input graph's adjacency, in the
// sparse16 or sparse32 layout).  `input` must outlive `out` (bound_check
// reads it).  The kernel becomes the only part of `out`, numbered in
// ascending original order; with no kernel, `out.parts` is empty and the
// incumbent is optimal.
ReduceReport reduce_clique(const LoadedGraph& input, const CliqueOptions& options, Reduced& out);

// 1 when `vertices` are pairwise adjacent in the input graph `input` (loaded
// as for reduce_clique) and their weights, summed in list order, lie strictly
// within `tolerance` of `weight`.
bool check_clique(const LoadedGraph& input, const int* vertices, int count, double weight, double tolerance);

}  // namespace mavu::reduce
