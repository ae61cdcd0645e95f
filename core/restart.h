// The two ways the search (re)starts: the random greedy construction from an
// empty C, and the directed restart that perturbs the current C.
#pragma once

#include "core/candidate_index.h"
#include "core/push.h"
#include "core/select.h"

// Grows C by vertices drawn uniformly among the members of pos_lst without
// conflicts until C is maximal (one draw per added vertex), then records C
// if it beats the best set.  The candidates are the members of pos_lst with
// conflict count 0 in pos_lst position order; draw r picks candidate r mod
// their number.
//
// The bit-matrix layout (n <= 46341) re-collects them after every addition:
// O(n) per addition.  The compressed layout, made for millions of vertices,
// keeps them in a CandidateIndex instead: O(degree * log n) per addition,
// same candidates, same order, same draws.
//
// As a restart (cur_iter > 0) it ends early, C not maximal, once the run must
// end (see run_must_end).  The first construction, before any iteration,
// always completes, so that every run reports a maximal set, even one whose
// limit is spent before its search starts (-t 0).
template <class P, class R>
[[gnu::noinline]] void random_construction(SearchState<P, R>& s) {
  const bool may_end_early = s.cur_iter > 0;
  if constexpr (SearchState<P, R>::Graph::kDense) {
    int* const scratch = s.construction_scratch.data();
    while (s.pos_lst->vnum > 0) {
      int count = 0;
      for (int j = 0; j < s.pos_lst->vnum; j++) {
        const int v = s.pos_lst->vlist[j];
        if (s.adj_num_in_c[v] == 0) scratch[count++] = v;
      }
      if (count == 0) break;
      expand(s, scratch[s.divisor.mod(static_cast<uint32_t>(s.rng()), count)]);
      if (may_end_early && run_must_end(s)) break;
    }
  } else {
    CandidateIndex& index = s.candidates;
    const ST_RandAccessList* pos = s.pos_lst;
    const auto* count = s.adj_num_in_c.data();
    auto candidate_at = [&](int p) { return p < pos->vnum && count[pos->vlist[p]] == 0; };
    index.build(candidate_at);
    int* const touched = index.scratch();
    while (pos->vnum > 0 && index.total() > 0) {
      const int v = pos->vlist[index.find(static_cast<int>(s.divisor.mod(static_cast<uint32_t>(s.rng()), index.total())))];
      // The positions whose occupant or candidacy an addition can change:
      // v's, its neighbours' in pos_lst (deletions fill them from the end of
      // the list, the others change count), and the vacated end.
      int t = 0;
      touched[t++] = pos->vpos[v];
      const auto* adj = s.g->v_adj[v];
      for (int i = 0; i < s.g->v_edge_count[v]; i++) {
        const int p = pos->vpos[adj[i]];
        if (p < pos->vnum && pos->vlist[p] == static_cast<int>(adj[i])) touched[t++] = p;
      }
      const int old_size = pos->vnum;
      expand(s, v);
      for (int i = 0; i < t; i++) index.refresh(touched[i], candidate_at);
      for (int p = pos->vnum; p < old_size; p++) index.refresh(p, candidate_at);
      if (may_end_early && run_must_end(s)) break;
    }
  }
  if (s.cur_weight > s.best_weight) record_current(s);
}

// At most L = |C| * para_gama / 100 forced non-improving pushes with tenure 1,
// each the best eligible member of cand_lst, else of rest_lst.  pos_lst is
// never consulted.  Returns the number of pushes made.  Both end early once
// the run must end (a stop request, the time limit: see run_must_end).
//
// Kept out of line (it runs once per restart, so the call costs nothing), so
// that profiles show what restarts cost apart from the search loop.
template <class P, class R>
[[gnu::noinline]] int directed_restart(SearchState<P, R>& s) {
  const int L = (s.cur_c_set->vnum * s.params.para_gama) / 100;
  int pushes = 0;
  while (pushes < L) {
    int v = -1, found = 0;
    if (s.cand_lst->vnum > 0) found = evaluate_list_max(s, s.cand_lst, v);
    if (!found) found = evaluate_list_max(s, s.rest_lst, v);
    if (!found) break;
    pushWithTabu(s, v, 1);
    pushes++;
    if (run_must_end(s)) break;
  }
  return pushes;
}
