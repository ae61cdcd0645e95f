// Exact maximum weight independent set by dynamic programming over a tree
// decomposition, for graphs of small treewidth (grids, road networks) that
// defeat branching.
//
// The decomposition is an elimination ordering: eliminating a vertex joins
// its remaining neighbours into a clique, and the width is the largest
// number of remaining neighbours a vertex has when it goes.  Three greedy
// rules build it, each stopping as soon as the width would exceed a limit:
// minimum degree (eliminate a vertex of fewest remaining neighbours),
// minimum fill (fewest missing edges among them, ties by degree), and a
// sweep (farthest from one end of the graph first, ties by degree).
//
// The dynamic programme is variable elimination: eliminating v combines the
// tables whose earliest vertex is v with v's own weight and conflicts into
// one table over v's later neighbours (2^k doubles for k of them: for each
// choice of those neighbours, the best weight of the vertices eliminated so
// far that hang below them), keeps one bit per entry (v taken or not) for the
// reconstruction of the set, and frees the tables it used.  Sums are rounded
// doubles: exact while the weights are integers whose total stays below 2^53;
// otherwise "optimal" holds up to that rounding.
#pragma once

#include <cstdint>
#include <vector>

#include "core/deadline.h"
#include "graph/sparse.h"

namespace mavu::exact {

enum class Ordering {
  min_degree,
  min_fill,
  // A sweep across the graph: by decreasing breadth-first distance from a
  // far vertex (on grids it beats both greedy rules).
  sweep,
  // Minimum degree, the sweep, then minimum fill when the width so far is
  // large enough for it to pay: the one of the smallest width wins, then of
  // fewer table entries, the earlier on a tie.
  best,
};

enum class OrderStatus { ok, too_wide, abandoned, no_memory };

struct EliminationOrder {
  OrderStatus status = OrderStatus::abandoned;
  // ok: the width of the order.  too_wide: the number of neighbours of the
  // vertex that would have gone next (above the limit; a lower bound of
  // nothing but this heuristic's width).  Otherwise -1.
  int width = -1;
  // Table entries of the dynamic programme along this order: the sum over
  // the vertices of 2^(neighbours left when it goes).
  double entries = 0;
  std::vector<int> order;  // every vertex, in elimination order (ok only)
};

// An elimination order of g of width at most max_width by `heuristic`.
// Costs about the sum over the vertices of (neighbours left)^2 for minimum
// degree and the sweep, ^3 for minimum fill, plus n log n, and memory for
// the edges the eliminations add; polls `deadline` and returns abandoned
// once it expires, no_memory when an allocation fails.
EliminationOrder elimination_order(const SparseConflictGraph<uint32_t>& g, Ordering heuristic, int max_width,
                                   Deadline& deadline);

// Widths above this are refused whatever the options: a table of 2^40
// doubles is beyond any memory.
inline constexpr int kTreeDpWidthCeiling = 40;

struct TreeDpOptions {
  // Widest elimination order the dynamic programme runs on (at most
  // kTreeDpWidthCeiling).  Measured (bench/tree_dp --whole 1, release build,
  // CPU seconds, medians of 3 on a loaded machine): grids of r x 250 with
  // random weights, where the sweep reaches width r, take 0.05 s (r = 12),
  // 0.15 s (14), 2.2 s and 145 MiB (18), and 8.7 s and 600 MiB of tables
  // (20: refused by the default memory cap); a 16 x 300 grid 0.67 s.  About
  // 2 ns per table entry; the memory cap, not the width, bounds a
  // 5000-vertex component.  Width 20 still solves the 631-vertex kernel of
  // DBN_11 of the shared sample (0.9 to 1.6 s, 163 MiB), where branch and reduce
  // gives up; one more doubles every table.
  int max_width = 20;
  // Memory the tables may take at once: the live tables at their peak plus
  // the reconstruction bits of every table.  An order that needs more is
  // refused before anything is allocated.
  unsigned long long max_table_bytes = 256ull << 20;
  Ordering ordering = Ordering::best;
};

enum class TreeDpStatus {
  solved,     // set is a maximum weight independent set
  too_wide,   // no order within max_width was found
  abandoned,  // the deadline expired (or a stop was asked for)
  no_memory,  // the tables would need more than max_table_bytes, or an allocation failed
};

struct TreeDpResult {
  TreeDpStatus status = TreeDpStatus::abandoned;
  int width = -1;                 // as EliminationOrder::width
  unsigned long long bytes = 0;   // memory the tables need (0 before the order is known)
  std::vector<int> set;           // solved: ascending, g's numbering; empty otherwise
  double weight = 0;              // solved: the sum of the set's weights in ascending order
};

// A maximum weight independent set of the conflict graph g (weights
// nonnegative; a vertex of weight 0 is left out).  Deterministic: the same
// graph and options give the same set.  Never throws: short memory is
// no_memory.
TreeDpResult solve_tree_dp(const SparseConflictGraph<uint32_t>& g, Deadline& deadline,
                           const TreeDpOptions& options = {});

// The same along `order`, an order of g that elimination_order() gave
// (options.ordering is then not used).
TreeDpResult solve_tree_dp(const SparseConflictGraph<uint32_t>& g, const EliminationOrder& order, Deadline& deadline,
                           const TreeDpOptions& options = {});

}  // namespace mavu::exact
