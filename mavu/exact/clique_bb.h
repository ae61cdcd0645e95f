// Exact maximum weight clique of a graph given as adjacency lists (the input
// graph of a clique instance, or the kernel the clique-mode reduction left
// of it), by branch and bound, resumable and time-shared.
//
// The vertices get a degeneracy order (repeatedly the vertex of least
// remaining degree); every clique has a first vertex v in it, so the cliques
// are searched in one subproblem per vertex v: v together with its
// neighbours later in the order (at most core(v) of them).  Subproblems run
// in that order, and once v's is done v leaves the graph: no clique through
// v is left to look at.  A vertex whose weight plus its remaining
// neighbours' weights cannot beat the best known weight leaves too (with
// those it takes along), so its subproblem is skipped without being built;
// a better weight given mid-way (raise_lower) peels again at once.
//
// Inside a subproblem: bitsets over its vertices; a node (a clique Q, the
// candidates C adjacent to all of Q) bounds the cliques of C by a weighted
// colouring with vertex splitting refined by MaxSAT-style reasoning (unit
// propagation finds sets of colour classes that no clique meets all of;
// optional, see CliqueBBOptions), branches only on the candidates that the
// bound could not absorb.  The
// bounds and their soundness arguments are in clique_bb.cpp.
//
// run(Deadline&) works until the proof is complete or the deadline expires;
// a later call continues with the subproblem that was interrupted (started
// over) and skips the finished ones.  Nothing in the search allocates; the
// buffers grow with the largest subproblem and are kept.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/deadline.h"
#include "graph/sparse.h"
#include "readers/loader.h"

namespace mavu::exact {

enum class ExactStatus {
  interrupted,  // the deadline expired (or run was not called yet): the proof is not complete
  proven,       // no clique weighs more than best_weight()
  no_memory,    // an allocation failed; the object holds nothing usable but best_set()
};

// The order in which the per-vertex subproblems run (kept as an option to
// measure; see docs/performance.md).  `degeneracy`: first vertex of the
// degeneracy order first, each finished vertex leaving the graph.
// `reverse`: the last first (the densest part first, so the best clique is
// met early when no good one is given); nothing leaves the graph but what
// the weight bound peels.
enum class SubproblemOrder { degeneracy, reverse };

struct CliqueBBOptions {
  SubproblemOrder order = SubproblemOrder::degeneracy;
  // Conflicts sought by unit propagation (the MaxSAT refinement of the
  // colouring bound) for each vertex the colouring cannot absorb; 0: the
  // colouring bound alone.  Measured (bench/clique_exact): the refinement
  // cuts the nodes by up to 3.4 times (C125.9 weighted) but costs more time
  // than it saves on random graphs G(200, p) and DIMACS graphs but two; the
  // kernels of the real graphs need it not at all.  So off by default.
  int maxsat_rounds = 0;
  bool greedy_start = true;   // a greedy clique as a first lower bound when it beats the given one
};

struct CliqueBBStats {
  long long subproblems = 0;  // vertices of the graph searched (one subproblem each)
  long long solved = 0;       // subproblems searched to the end
  long long skipped = 0;      // subproblems whose vertex the weight bound peeled first
  long long nodes = 0;        // branch-and-bound nodes, over all calls (interrupted subproblems included)
  int largest = 0;            // most candidates of a subproblem after its own peeling
};

class CliqueBB {
 public:
  CliqueBB();
  ~CliqueBB();
  CliqueBB(const CliqueBB&) = delete;
  CliqueBB& operator=(const CliqueBB&) = delete;

  // Sets up on the subgraph of `input` (its lists are the input graph's
  // edges) induced by `vertices` (input numbers, ascending, distinct), with
  // the clique `lower_set` (input numbers) of weight `lower` as the best
  // known; `lower_set` may be empty with any `lower` (then a proof says that
  // no clique weighs more than `lower`).  Reads `input` only here.  False
  // when memory is short (status no_memory).
  template <class V>
  bool init(const SparseConflictGraph<V>& input, const std::vector<int>& vertices, double lower,
            const std::vector<int>& lower_set, const CliqueBBOptions& options = {});
  // The same on every vertex of `input`.
  template <class V>
  bool init_whole(const SparseConflictGraph<V>& input, double lower, const std::vector<int>& lower_set,
                  const CliqueBBOptions& options = {});
  // The same for a loaded input graph (sparse16 or sparse32; false for a
  // bit-matrix load, which holds the complement).
  bool init(const LoadedGraph& input, const std::vector<int>& vertices, double lower,
            const std::vector<int>& lower_set, const CliqueBBOptions& options = {});

  // A clique found elsewhere (input numbers); kept when heavier than the
  // best known, and the graph is peeled again with its weight.
  void raise_lower(double weight, const std::vector<int>& set);

  // Works until the proof is complete (proven), `deadline` expires or the
  // call has done `max_work` units of work (interrupted; call again to go
  // on).  Polls the deadline every few thousand word operations, in the
  // search of a subproblem as between them; the work units (word operations,
  // roughly) are counted at the same polls, so a call ended by its work
  // limit ends at the same point on every machine.
  ExactStatus run(Deadline& deadline, long long max_work = LLONG_MAX);
  // Work units done over all calls.
  long long work() const;

  ExactStatus status() const;
  double best_weight() const;
  // The heaviest clique known (input numbers; the given set while nothing
  // heavier was found).  With status proven it is a maximum weight clique,
  // or empty when the given lower bound was not beaten and came without set.
  const std::vector<int>& best_set() const;
  const CliqueBBStats& stats() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

extern template bool CliqueBB::init(const SparseConflictGraph<uint16_t>&, const std::vector<int>&, double,
                                    const std::vector<int>&, const CliqueBBOptions&);
extern template bool CliqueBB::init(const SparseConflictGraph<uint32_t>&, const std::vector<int>&, double,
                                    const std::vector<int>&, const CliqueBBOptions&);
extern template bool CliqueBB::init_whole(const SparseConflictGraph<uint16_t>&, double, const std::vector<int>&,
                                          const CliqueBBOptions&);
extern template bool CliqueBB::init_whole(const SparseConflictGraph<uint32_t>&, double, const std::vector<int>&,
                                          const CliqueBBOptions&);

}  // namespace mavu::exact
