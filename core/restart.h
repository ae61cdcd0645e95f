// The two ways the search (re)starts: the random greedy construction from an
// empty C, and the directed restart that perturbs the current C.
#pragma once

#include <cstdlib>

#include "core/push.h"
#include "core/select.h"

// Grows C by vertices drawn uniformly among the members of pos_lst without
// conflicts until C is maximal (one draw per added vertex), then records C
// if it beats the best set.  The candidates are re-collected in list order
// after every addition.
template <class P, class R>
void random_construction(SearchState<P, R>& s) {
  int* scratch = static_cast<int*>(std::malloc(sizeof(int) * static_cast<size_t>(s.n_vertex > 0 ? s.n_vertex : 1)));
  if (!scratch) std::abort();
  while (s.pos_lst->vnum > 0) {
    int count = 0;
    for (int j = 0; j < s.pos_lst->vnum; j++) {
      const int v = s.pos_lst->vlist[j];
      if (s.adj_num_in_c[v] == 0) scratch[count++] = v;
    }
    if (count == 0) break;
    expand(s, scratch[s.divisor.mod(static_cast<uint32_t>(s.rng()), count)]);
  }
  if (s.cur_weight > s.best_weight) record_current(s);
  std::free(scratch);
}

// At most L = |C| * para_gama / 100 forced non-improving pushes with tenure 1,
// each the best eligible member of cand_lst, else of rest_lst.  pos_lst is
// never consulted.  Returns the number of pushes made.
template <class P, class R>
int directed_restart(SearchState<P, R>& s) {
  const int L = (s.cur_c_set->vnum * s.params.para_gama) / 100;
  int pushes = 0;
  while (pushes < L) {
    int v = -1, gain = 0, found = 0;
    if (s.cand_lst->vnum > 0) found = evaluate_list_max(s, s.cand_lst, v, gain);
    if (!found) found = evaluate_list_max(s, s.rest_lst, v, gain);
    if (!found) break;
    pushWithTabu(s, v, 1);
    pushes++;
  }
  return pushes;
}
