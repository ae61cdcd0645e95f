// The search loop of both programs: a tabu search that pushes one vertex per
// iteration (the best eligible vertex of pos_lst, else of cand_lst, else of
// rest_lst), records every new best set and restarts after more than
// para_depth iterations without one.  What differs between mavu1 and mavu2
// comes in through the profile (mavu/variants.h): mavu1 moves its gain
// threshold between cand_lst and rest_lst by one unit at the end of every
// window of 1000 iterations and scans rest_lst whole; mavu2 keeps its
// conflict threshold and samples rest_lst.
#pragma once

#include <algorithm>
#include <cmath>

#include "core/audit.h"
#include "core/restart.h"
#include "mavu/variants.h"

// A program's search state on graph layout G (the bit matrix unless named).
template <class R, class G = ConflictGraph>
using Mavu1State = SearchState<WithLayout<Mavu1Profile, G>, R>;
template <class R, class G = ConflictGraph>
using Mavu2State = SearchState<WithLayout<Mavu2Profile, G>, R>;

// Iterations between two progress reports.
inline constexpr int kProgressInterval = 100000;

// Iterations per adaptation window of cand_thresh (adaptive threshold).
inline constexpr int kWindowLength = 1000;

// Adds a (a whole number) to cand_thresh and re-divides cand_lst / rest_lst
// in place: lowering (or keeping) it moves rest_lst members above it to
// cand_lst, raising it moves cand_lst members at or below it to rest_lst.
template <class P, class R>
  requires(P::kAdaptiveThreshold)
void adjust_thresh(SearchState<P, R>& s, double a) {
  s.cand_thresh = s.cand_thresh + a;
  ST_RandAccessList* from = a <= 0 ? s.rest_lst : s.cand_lst;
  ST_RandAccessList* to = a <= 0 ? s.cand_lst : s.rest_lst;
  int i = 0;
  while (i < from->vnum) {
    const int v = from->vlist[i];
    const bool moves = a <= 0 ? s.dweight[v] > s.cand_thresh : s.dweight[v] <= s.cand_thresh;
    if (moves) {
      ral_delete(from, v);  // the last member now sits at position i
      ral_add(to, v);
    } else {
      i++;
    }
  }
}

// Starting threshold: half the mean gain of rest_lst, truncated toward zero.
// With rest_lst empty there is no mean and the threshold stays at 0.
template <class P, class R>
  requires(P::kAdaptiveThreshold)
void estimate_init_thresh(SearchState<P, R>& s) {
  const ST_RandAccessList* rest = s.rest_lst;
  if (rest->vnum == 0) return;
  double sum = 0.0;
  for (int i = 0; i < rest->vnum; i++) sum += s.dweight[rest->vlist[i]];
  // Truncated in double, so weights beyond the int range (10^11 and more) get
  // their own estimate; inside it trunc() equals the conversion to int.
  adjust_thresh(s, std::trunc(sum / rest->vnum / 2.0));
}

// The threshold step at the end of a window, from the window hits (moves
// taken from pos_lst or cand_lst).  Too few hits mean the search keeps falling
// through to rest_lst: lower the threshold by one, widening cand_lst.  Almost
// only hits mean cand_lst is too easy: raise it, narrowing cand_lst.  The
// share is compared in double, so 950 and 990 hits (exactly 0.95 and 0.99)
// leave the threshold where it is.
inline int window_step(int hits) {
  const double share = static_cast<double>(hits) / 1000.0;
  if (share < 0.95) return -1;
  if (share > 0.99) return 1;
  return 0;
}

// The last resort of an iteration: rest_lst scanned whole, or sampled.
template <class P, class R>
int evaluate_rest(SearchState<P, R>& s, int& vertex_out) {
  if constexpr (P::kRestSample > 0)
    return evaluate_partiel_max(s, s.rest_lst, P::kRestSample, vertex_out);
  else
    return evaluate_list_max(s, s.rest_lst, vertex_out);
}

// Runs the loop until max_iter iterations (counted over the whole search),
// the target, a stop or the time limit.  The loop's counters come from and
// go back to s.loop, so a search run in several calls makes the same moves
// as one run in one call.
template <class P, class R>
void tabu_search(SearchState<P, R>& s, int max_iter) {
  const SearchParams& p = s.params;
  int stall = s.loop.stall;
  [[maybe_unused]] int window_len = s.loop.window_len, window_hits = s.loop.window_hits;  // adaptive threshold only
  auto keep_counters = [&] { s.loop = {stall, window_len, window_hits}; };
  // A best set that already meets the target (the first construction's)
  // ends the run before its first iteration.
  if (s.best_weight >= p.para_opt) return;
  for (;;) {
    if (!loop_continues(s, max_iter)) return keep_counters();
    int v = -1;
    if (evaluate_list_max(s, s.pos_lst, v)) {
      if constexpr (P::kAdaptiveThreshold) window_hits++;
      pushWithTabu(s, v, 0);
      if (s.cur_weight > s.best_weight) {
        stall = 0;
        record_current(s);
        if (s.cur_weight >= p.para_opt) return keep_counters();
      } else {
        stall++;
      }
    } else {
      int found = 0;
      if (s.cand_lst->vnum > 0) found = evaluate_list_max(s, s.cand_lst, v);
      if constexpr (P::kAdaptiveThreshold) {
        if (found) window_hits++;
      }
      if (!found) found = evaluate_rest(s, v);
      if (found) pushWithTabu(s, v, 0);
      stall++;
    }
    s.cur_iter++;

    if constexpr (P::kAdaptiveThreshold) {
      if (++window_len % kWindowLength == 0) {
        const int step = window_step(window_hits);
        if (step != 0) adjust_thresh(s, step);
        window_len = window_hits = 0;
      }
    }
    if (s.cur_iter % kProgressInterval == 0) report_progress(s);
    if (stall > p.para_depth) {
      if (s.rng() % 100 < p.para_directed_prob) {
        if constexpr (P::kClearTabuBeforeDirected) std::fill(s.tabu_lst.begin(), s.tabu_lst.end(), 0);
        directed_restart(s);
        if constexpr (!P::kClearTabuBeforeDirected) std::fill(s.tabu_lst.begin(), s.tabu_lst.end(), 0);
      } else {
        reinit_data(s);
        random_construction(s);
      }
      stall = 0;
    }
    MAVU_AUDIT_STATE(s);
  }
}

// The start of a search: initial state, first construction (and, with the
// adaptive threshold, its starting estimate).  False when the state could
// not be allocated (nothing was searched).
template <class P, class R>
bool start_search(SearchState<P, R>& s, const graph_of_t<P>& g, const SearchParams& params, const SearchEnv& env = {}) {
  if (!init_data(s, g, params, env)) return false;
  random_construction(s);
  if constexpr (P::kAdaptiveThreshold) estimate_init_thresh(s);
  return true;
}

// One search: its start, then the loop.
template <class P, class R>
bool solve(SearchState<P, R>& s, const graph_of_t<P>& g, const SearchParams& params, const SearchEnv& env = {}) {
  if (!start_search(s, g, params, env)) return false;
  tabu_search(s, params.para_max_iter);
  return true;
}
