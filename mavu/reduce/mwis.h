// Data reduction for maximum weight independent set: rules that decide part
// of the graph with certainty and shrink the rest, applied to a fixpoint,
// then the kernel split into connected components, the small ones solved
// exactly, the others left for the search; lifting undoes the decisions.
//
// The graph reduced is the conflict graph of an independent-set run (the
// file's own graph); an independent set is a conflict-free set.
//
// Rules (each says why it keeps an optimum in the reduced graph, in
// mwis.cpp): neighbourhood removal (which covers isolated vertices) and its
// clique-cover generalisation, domination and its weighted generalisations
// over one edge, simplicial vertices (taken, or their weight transferred to
// heavier neighbours: this settles trees and degree-one vertices), twins
// (merged), the weighted degree-two fold, and, once the local rules have
// stalled, the LP rule: the half-integral LP relaxation solved by a maximum
// flow on the bipartite double cover, whose vertices at 1 are taken and at 0
// removed.
//
// Memory, besides the input graph: a copy of the adjacency as int lists
// (8 bytes per edge) plus an arena for the lists of folded vertices (at most
// 4 bytes per edge more: folds stop when it is full), and about 60 bytes per
// vertex (weights, neighbourhood weights, degrees, list offsets, state,
// queue, marks, undo stack); the compressed layout itself takes 20 bytes per
// vertex and 4 or 8 bytes per edge.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/deadline.h"
#include "graph/dense.h"
#include "graph/sparse.h"

namespace mavu::reduce {

struct MwisOptions {
  // Components of the kernel up to this many vertices are solved exactly by
  // branch and bound (at most 64: the solver works on 64-bit masks)...
  int exact_max_vertices = 64;
  // ... within this many branch-and-bound nodes each; a component that needs
  // more is left for the search.
  long exact_node_budget = 200000;
  // Larger components up to this many vertices are solved by branch and
  // reduce (exact.h) within this budget of work each (list entries walked
  // and subgraph sizes built, see exact.h); one that needs more is left for
  // the search.
  int branch_max_vertices = 5000;
  long branch_budget = 5000000;
  // The global rules (twins, then the LP rule) run each time the local
  // rules have reached their fixpoint with at most lp_max_vertices vertices
  // left (0: never), at most lp_rounds times in all; the LP rule within
  // lp_budget of work per round (arcs walked by the flow; a round that needs
  // more decides nothing).
  int lp_max_vertices = 200000;
  long long lp_budget = 100000000;
  int lp_rounds = 16;
  // Twins are looked for at vertices of at most this degree, the
  // clique-cover test at vertices of at most this degree (at most 64).
  int twin_max_degree = 32;
  int cover_max_degree = 64;
  // The edge rules walk a neighbour's list up to this long (sequential,
  // cheap); longer ones (hubs') are searched for the examined vertex's
  // other neighbours, at a cost of log(length) each, not the length.
  int walk_max_entries = 16;
};

// Where the rules' work goes: list entries walked (binary searches count
// their probes) per rule, indexing MwisStats::walked.
enum MwisWork : int {
  kWalkNeighbourhood,  // neighbourhood removal (the sum afresh)
  kWalkDegreeTwo,      // degree-two fold: the adjacency test and the fold itself
  kWalkEdge,           // single edge, extended single edge, simplicial test
  kWalkCover,          // clique-cover neighbourhood removal
  kWalkTransfer,       // weight transfers
  kWalkRemove,         // vertices taken or removed: their neighbours updated
  kWalkTwins,          // the twin pass
  kWalkLp,             // the LP rule
  kWalkSplit,          // components and exact solves
  kWalkCount
};

struct MwisStats {
  long long taken = 0;      // vertices taken by a rule
  long long removed = 0;    // vertices removed by a rule (not in some optimum)
  long long folds = 0;      // degree-two folds
  long long transfers = 0;  // weight transfers from simplicial vertices
  long long twins = 0;      // twins merged
  long long clique_taken = 0;  // vertices taken by the clique-cover bound of their neighbourhood
  long long lp_taken = 0;   // vertices taken by the LP rule
  long long lp_removed = 0; // vertices removed by the LP rule
  int lp_rounds = 0;        // rounds of the LP rule run to the end
  long long kernel = 0;     // vertices left after the rules (folded vertices counted once)
  int components = 0;       // connected components of the kernel
  int largest = 0;          // vertices of the largest
  int exact = 0;            // components solved exactly (by either solver)
  int branched = 0;         // of them, components solved by branch and reduce
  long long branch_work = 0;  // work of branch and reduce (see exact.h), settled or not
  long long searched = 0;   // vertices of the components left for the search
  long long lookups = 0;    // neighbours tested by binary searches rather than a walk of their lists
  long long walked[kWalkCount] = {};  // list entries walked per rule (MwisWork)
};

class MwisReduction {
 public:
  // Reduces the graph (any conflict-graph layout: v_adj, v_edge_count,
  // v_weight).  False when memory is short.  When `deadline` (may be null)
  // expires the rules stop, no further component is solved, and what is
  // left is a valid partial reduction: parts() lists everything left (what
  // was not split into components yet as one last part) and lift() gives an
  // independent set (stopped() tells).
  template <class G>
  bool run(const G& g, const MwisOptions& options = {}, Deadline* deadline = nullptr);
  // True when the deadline ended the run early (rules or exact solves left undone).
  bool stopped() const { return stopped_; }
  // True when the LP relaxation of what is left (the parts and the
  // components solved exactly) is optimal at 1/2 on every vertex: each
  // part's LP bound is then half its weight.
  bool lp_half() const { return lp_half_; }

  // The components left for the search: each an ascending list of kernel
  // vertices (numbered among 0..n-1; a folded vertex keeps one of its
  // vertices' numbers).  Empty when everything was decided: the lifted set
  // of lift({}) is then optimal.
  const std::vector<std::vector<int>>& parts() const { return parts_; }
  // Weight of kernel vertex v (a folded vertex weighs what the fold gave it).
  double weight(int v) const { return vx_[static_cast<size_t>(v)].w; }
  // Conflict pairs of part p in its own numbering (position in parts()[p]),
  // each once, smaller first.
  std::vector<ConflictPair> part_pairs(int p) const;
  // What every lifted set weighs beyond its part sets: the vertices taken,
  // the folds' offsets and the exact components' optima.
  double fixed_weight() const { return fixed_weight_; }
  // The set of the input, ascending, in input numbering, for the given
  // kernel vertices chosen in the parts (an independent set of each part);
  // it weighs fixed_weight() plus their weights.
  std::vector<int> lift(const std::vector<int>& chosen) const;
  const MwisStats& stats() const { return stats_; }
  // List entries walked so far: the measure of the work done.
  long long work() const { return work_; }

 private:
  enum : uint8_t { kAlive = 0, kTaken = 1, kRemoved = 2, kFoldedAway = 3 };
  // One step lifting undoes, in reverse order: a fold (x >= 0) of v of
  // degree two with its neighbours u and x into u, a weight transfer
  // (x == -1) from simplicial v to its neighbours members_[lo, hi), or a
  // twin v merged into u (x == -2).
  struct Undo {
    int v, u, x;
    long long lo, hi;
  };

  bool init(int n, long long adj_entries);
  void reduce_all();
  bool examine(int v);
  void take(int v);
  void remove(int v);
  bool fold(int v, int u, int x);
  bool edge_rules(int v);
  void transfer(int v);
  bool twin_pass();
  bool lp_round(bool& complete);
  bool poll();
  void push(int v);
  void split_and_solve(const MwisOptions& options);
  template <class F>
  void for_live(int v, F&& f);
  // Lists stay ascending (dead entries included: only compaction and
  // rename() move entries), so membership is a binary search.  listed():
  // y in v's list; search_pays(): k such searches cost less than a walk of
  // v's list; rename(): `from` becomes `to` in y's list, kept ascending.
  bool listed(int v, int y);
  bool search_pays(int v, int k);  // counted in stats_.lookups when it does
  void rename(int y, int from, int to);
  bool adjacent(int a, int b) { return vx_[static_cast<size_t>(a)].len <= vx_[static_cast<size_t>(b)].len ? listed(a, b) : listed(b, a); }

  int n_ = 0;
  // What the rules read of a vertex, in one place: testing a neighbour
  // touches one cache line rather than one per array.
  struct alignas(32) Vertex {
    double w = 0;       // current weight
    double nw = 0;      // weight of the live neighbourhood (kept incrementally, checked before use)
    long long beg = 0;  // start of its list in adj_
    int deg = 0;        // live degree
    int len = 0;        // raw length of its list (live entries and not yet compacted dead ones)
  };
  std::vector<Vertex> vx_;
  std::vector<int> adj_;        // lists; folded vertices get theirs at the end (the arena)
  long long arena_limit_ = 0;
  std::vector<uint8_t> state_;
  std::vector<uint8_t> queued_;
  std::vector<int> queue_;  // ring of n_ slots
  size_t head_ = 0, count_ = 0;
  std::vector<int> mark_;  // stamp per vertex; after the split, the position in its part
  std::vector<int> scratch_, scratch2_;
  std::vector<std::pair<double, int>> by_weight_;  // the examined vertex's neighbours (minus weight, vertex), heaviest first
  std::vector<int> lp_id_;  // the LP rule's numbering (-1: not in its flow)
  std::vector<int> pos_;  // position of a neighbour in scratch_ (clique-cover test)
  std::vector<uint64_t> cliques_;
  int stamp_ = 0;
  std::vector<Undo> undo_;
  std::vector<int> members_;
  std::vector<int> chosen_;  // taken vertices and exact components' choices (kernel numbering)
  double fixed_weight_ = 0;
  std::vector<std::vector<int>> parts_;
  MwisStats stats_;
  long long work_ = 0;
  int walk_ = kWalkNeighbourhood;  // the rule for_live() charges (stats_.walked)
  MwisOptions options_;
  Deadline* deadline_ = nullptr;
  long long next_poll_ = 0;
  bool stopped_ = false;
  bool lp_half_ = false;
};

// 1 when `vertices` (0-based, no repeats) are pairwise non-adjacent in the
// conflict graph `g`.
template <class G>
bool is_independent(const G& g, const std::vector<int>& vertices);

}  // namespace mavu::reduce
