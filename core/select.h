// Move selection: the eligible list member of largest push gain, ties broken
// uniformly at random (reservoir style: the k-th tied member replaces the
// choice with probability 1/k).  Changes no state; draws only for ties and,
// in the sampled scan, for positions.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/state.h"

// What the tabu rule reads, copied into locals once per scan: the tie draw
// calls into the C library, after which fields of the state would otherwise
// be reloaded for every member.
struct TabuView {
  const int* tabu_lst;
  const double* dweight;
  int cur_iter;
  double cur_weight;
  double best_weight;

  template <class S>
  explicit TabuView(const S& s)
      : tabu_lst(s.tabu_lst.data()),
        dweight(s.dweight.data()),
        cur_iter(s.cur_iter),
        cur_weight(s.cur_weight),
        best_weight(s.best_weight) {}
  // The tabu rule with aspiration: a tabu member is passed over unless pushing
  // it would beat the best set, strictly.
  bool passed_over(int u) const { return cur_iter < tabu_lst[u] && best_weight >= cur_weight + dweight[u]; }
};

// Running maximum with the profile's start value and tie tolerance.  The
// strictly-greater test comes first, so a gain above the run's opening gain by
// less than the tolerance opens a new run; ties are measured against the
// opening gain.  The k-th member of a run (counting from its opening, or from
// 1 when the start value itself is tied) replaces the choice when its draw is
// 0 modulo k.
template <class P>
struct MaxRun {
  double best = P::kStartBest;
  int choice = -1;
  int count = 0;

  template <class Rng>
  void consider(Rng& rng, const DivisorTable& div, int u, double d) {
    if (d > best) {
      choice = u;
      best = d;
      count = 1;
    } else if (std::fabs(d - best) < P::kTieTolerance) {
      count++;
      if (div.divides(count, static_cast<uint32_t>(rng()))) choice = u;
    }
  }
  int result(int& vertex_out) const {
    if (choice == -1) return 0;
    vertex_out = choice;
    return 1;
  }
};

// Full scan of `list` in position order.  The generator works on a local
// copy, so its position stays in a register across the tie draws.
template <class P, class R>
int evaluate_list_max(SearchState<P, R>& s, const ST_RandAccessList* list, int& vertex_out) {
  const TabuView t(s);
  const int* const members = list->vlist;
  const int n = list->vnum;
  R rng = s.rng;
  MaxRun<P> run;
  for (int i = 0; i < n; i++) {
    const int u = members[i];
    if (t.passed_over(u)) continue;
    run.consider(rng, s.divisor, u, t.dweight[u]);
  }
  s.rng = rng;
  return run.result(vertex_out);
}

// Sampled scan: sample_size members drawn with replacement; a full scan when
// the list is not longer than the sample.  Each position draw comes before the
// tie draw it may cause.
template <class P, class R>
int evaluate_partiel_max(SearchState<P, R>& s, const ST_RandAccessList* list, int sample_size, int& vertex_out) {
  if (sample_size >= list->vnum) return evaluate_list_max(s, list, vertex_out);
  const TabuView t(s);
  const int* const members = list->vlist;
  const int n = list->vnum;
  R rng = s.rng;
  MaxRun<P> run;
  for (int k = 0; k < sample_size; k++) {
    const int u = members[s.divisor.mod(static_cast<uint32_t>(rng()), n)];
    if (t.passed_over(u)) continue;
    run.consider(rng, s.divisor, u, t.dweight[u]);
  }
  s.rng = rng;
  return run.result(vertex_out);
}
