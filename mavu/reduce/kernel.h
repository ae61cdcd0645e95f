// The reduction pipeline: an instance too large (or too easy) for the search
// on its whole conflict graph is first reduced on its input graph, the search
// runs on what is left, and the sets it finds are lifted back.
//
// Contract of a reduction (every reduction, of either mode, fills a Reduced):
//
//   incumbent   a set of the input (original 0-based vertex numbers) that is
//               valid for the mode (a clique of the input graph, or an
//               independent set), with its weight; may be empty.
//   parts       the sub-instances left for the search, each a conflict graph
//               (vertices 0..k-1, built in the layout the programs choose)
//               plus `original`, the input vertex each of its vertices
//               stands for.  A valid set of a part is conflict-free in the
//               part's conflict graph.
//   lift        given one valid set per part (part numbering, same order as
//               `parts`), returns a valid set of the input in original
//               numbers; its weight is `decided_weight` plus the weights of
//               the part sets.  A reduction with no lifting step of its own
//               leaves it empty: the part sets are mapped through `original`
//               and joined with `decided` (lift_by_map).
//   decided     input vertices that every lifted set contains (independent-
//               set reductions that take a vertex for sure); empty in clique
//               mode.
//   exact       true when every rule applied was exact: the optimum of the
//               input is the larger of the incumbent's weight and
//               decided_weight plus the sum of the parts' optima.  With no
//               parts left, the better of the incumbent and the lifted
//               empty sets is then optimal.
//   bound_check optional: bound_check(w) is true when no valid set of the
//               input weighs more than w or the incumbent, or than a weight
//               given to an earlier call (it may keep its state; a reduction that can peel again
//               with a better weight known; used after the search to prove
//               its set optimal).
//
// Clique mode is the case of one part and no decided vertex.  The reduced
// runs (mavu/parts) search or solve every part, lift, and keep the heavier of
// the lifted set and the incumbent.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "readers/loader.h"

namespace mavu::reduce {

struct SubInstance {
  LoadedGraph graph;          // the part's conflict graph
  std::vector<int> original;  // original[i]: the input vertex of part vertex i, ascending
  // No valid set of the part weighs more (independent-set parts: a clique
  // cover bound); infinity when unknown.
  double bound = std::numeric_limits<double>::infinity();
  int vertex_count() const { return static_cast<int>(original.size()); }
};

struct Reduced {
  std::vector<int> incumbent;
  double incumbent_weight = 0;
  long incumbent_ticks = 0;  // CPU-clock ticks (the caller's clock) when the incumbent was found
  std::vector<int> decided;
  double decided_weight = 0;
  std::vector<std::unique_ptr<SubInstance>> parts;
  bool exact = true;
  std::function<std::vector<int>(const Reduced&, const std::vector<std::vector<int>>&)> lift;
  std::function<bool(double)> bound_check;

  // Vertices left for the search, over all parts.
  long long kernel_vertices() const {
    long long k = 0;
    for (const auto& p : parts) k += p->vertex_count();
    return k;
  }
};

// The default lifting: decided vertices plus every part set through its map.
std::vector<int> lift_by_map(const Reduced& r, const std::vector<std::vector<int>>& part_sets);

}  // namespace mavu::reduce
