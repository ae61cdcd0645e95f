// Exact maximum weight independent set of a kernel component by branch and
// reduce: the reductions of mwis.h to a fixpoint, the components apart, and
// on a component left over a branch on a vertex of largest degree (taken:
// its closed neighbourhood goes; dropped: it goes), each branch reduced
// again.  A branch whose upper bound (a greedy weighted clique cover: an
// independent set holds at most one vertex of each clique, so the heaviest
// vertex of each bounds it) cannot beat the best set known is cut.
#pragma once

#include <cstdint>
#include <vector>

#include "graph/sparse.h"
#include "mavu/reduce/mwis.h"

namespace mavu::reduce {

// Sum over the cliques of a greedy cover (vertices by decreasing weight, each
// into the first clique it is adjacent to whole) of each clique's heaviest
// weight: no independent set of g weighs more.
template <class V>
double clique_cover_bound(const SparseConflictGraph<V>& g);

// The optimum of g when some set weighs more than `lower`: true with the set
// (ascending, g's numbering) and its weight; true with an empty set and
// weight -infinity when no set weighs more than `lower`; false when the
// work would exceed `budget` (counted down across the call: each branch
// costs 1 plus the vertices and edges of its graph, each reduction the list
// entries it walks).  The
// reductions run with `options` (its mask solver settings; the branching is
// this function's own).  False at once, too, when `deadline` (may be null)
// expires.
bool branch_and_reduce(const SparseConflictGraph<uint32_t>& g, double lower, long& budget, std::vector<int>& set,
                       double& weight, const MwisOptions& options = {}, Deadline* deadline = nullptr);

}  // namespace mavu::reduce
