// mavu2's search: the tabu search with the fixed conflict-count partition
// (con_thresh = 1) and a sample of 50 draws from rest_lst, meant for large
// real-life instances.
#pragma once

#include <concepts>
#include <cstdio>

#include "core/audit.h"
#include "core/restart.h"
#include "mavu2/profile.h"

// mavu2's search state on graph layout G (the bit matrix unless named).
template <class R, class G = ConflictGraph>
using Mavu2State = SearchState<WithLayout<Mavu2Profile, G>, R>;

// The profiles mavu2's search loop runs with: its own on any layout.
template <class P>
concept Mavu2Search = std::derived_from<P, Mavu2Profile>;

template <class P, class R>
  requires Mavu2Search<P>
void init_solution(SearchState<P, R>& s) {
  random_construction(s);
}

template <class P, class R>
  requires Mavu2Search<P>
void tabu_search(SearchState<P, R>& s, int max_iter) {
  const SearchParams& p = s.params;
  int stall = 0;
  for (;;) {
    if (!loop_continues(s, max_iter)) return;
    int v = -1, gain = 0;
    if (evaluate_list_max(s, s.pos_lst, v, gain)) {
      pushWithTabu(s, v, 0);
      if (s.cur_weight > s.best_weight) {
        stall = 0;
        record_current(s);
        if (s.cur_weight >= p.para_opt) return;
      } else {
        stall++;
      }
    } else {
      int found = 0;
      if (s.cand_lst->vnum > 0) found = evaluate_list_max(s, s.cand_lst, v, gain);
      if (!found) found = evaluate_partiel_max(s, s.rest_lst, Mavu2Profile::kRestSample, v, gain);
      if (found) pushWithTabu(s, v, 0);
      stall++;
    }
    s.cur_iter++;

    if (s.cur_iter % 100000 == 0)
      report_progress(s);
    if (stall > p.para_depth) {
      // The directed restart starts with no tabu vertex; its tenure-1 marks
      // survive into the next iteration.
      if (s.rng() % 100 < p.para_directed_prob) {
        std::fill(s.tabu_lst.begin(), s.tabu_lst.end(), 0);
        directed_restart(s);
      } else {
        reinit_data(s);
        init_solution(s);
      }
      stall = 0;
    }
    MAVU_AUDIT_STATE(s);
  }
}

template <class P, class R>
  requires Mavu2Search<P>
int solve(SearchState<P, R>& s, const graph_of_t<P>& g, const SearchParams& params, const SearchEnv& env = {}) {
  init_data(s, g, params, env);
  init_solution(s);
  tabu_search(s, params.para_max_iter);
  return 0;
}
