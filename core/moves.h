// Add and drop moves: the only operations that change C.  Each visits the
// moved vertex's conflict neighbours once, updating gain and conflict count,
// and lets the profile move every neighbour whose class changed
// between the candidate lists.  O(conflict degree); allocates nothing.
//
// The arrays are read through local restrict pointers and the profile's
// transition object keeps its threshold and lists in locals: a store to a
// gain can then not force a reload of the state's fields, which otherwise
// dominates the neighbour loop.  Floating-point operations keep their order:
// new = old - w in expand, new = w + old in drop.
#pragma once

#include <cassert>
#include <cstdio>

#include "core/state.h"

// A member of C among the conflict neighbours of a vertex being added or
// dropped would mean the state is corrupt, which the auditor rules out after
// every move.  Only builds with the auditor (MAVU_AUDIT) test for it in the
// neighbour loops and report it; elsewhere the test would cost a load and a
// branch per neighbour that can never fire.
#ifdef MAVU_AUDIT
inline constexpr bool kReportMemberNeighbours = true;
#else
inline constexpr bool kReportMemberNeighbours = false;
#endif

// Adds non-member v, which must have no conflicting member.
template <class P, class R>
void expand(SearchState<P, R>& s, int v) {
  {
    const member_flag* is_in_c = s.is_in_c.data();
    const auto* adj_num_in_c = s.adj_num_in_c.data();
    assert(is_in_c[v] == 0);
    assert(adj_num_in_c[v] == 0);
    (void)is_in_c, (void)adj_num_in_c;
  }
  ral_delete(P::list_of(s, v), v);

  const ConflictGraph& g = *s.g;
  const double w = g.v_weight[v];
  const adj_vertex* adj = g.v_adj[v];
  const adj_vertex* const adj_end = adj + g.v_edge_count[v];
  [[maybe_unused]] const member_flag* __restrict is_in_c = s.is_in_c.data();
  double* __restrict dweight = s.dweight.data();
  conflict_count* __restrict count = s.adj_num_in_c.data();
  typename P::Transitions move(s);
#pragma GCC unroll 4
  for (; adj != adj_end; ++adj) {
    const int a = *adj;
    if (kReportMemberNeighbours && is_in_c[a]) {
      std::fprintf(stderr, "ERROR\n");
      continue;
    }
    const double old = dweight[a];
    const double nw = old - w;
    dweight[a] = nw;
    const int c = count[a] + 1;
    count[a] = static_cast<conflict_count>(c);
    move.after_expand(a, old, nw, c, v);
  }
  s.is_in_c[v] = 1;
  ral_add(s.cur_c_set, v);
  s.dweight[v] = -s.dweight[v];
  s.cur_weight += w;
}

// Removes member u; it goes to the end of pos_lst, and the last member of C
// takes its position in cur_c_set.
template <class P, class R>
void drop(SearchState<P, R>& s, int u) {
  {
    const member_flag* is_in_c = s.is_in_c.data();
    assert(is_in_c[u] == 1);
    (void)is_in_c;
  }
  const ConflictGraph& g = *s.g;
  const double w = g.v_weight[u];
  const adj_vertex* adj = g.v_adj[u];
  const adj_vertex* const adj_end = adj + g.v_edge_count[u];
  [[maybe_unused]] const member_flag* __restrict is_in_c = s.is_in_c.data();
  double* __restrict dweight = s.dweight.data();
  conflict_count* __restrict count = s.adj_num_in_c.data();
  typename P::Transitions move(s);
#pragma GCC unroll 4
  for (; adj != adj_end; ++adj) {
    const int a = *adj;
    if (kReportMemberNeighbours && is_in_c[a]) {
      std::fprintf(stderr, "Error in drop %d\n", u);
      continue;
    }
    const double old = dweight[a];
    const double nw = w + old;
    dweight[a] = nw;
    const int c = count[a] - 1;
    count[a] = static_cast<conflict_count>(c);
    move.after_drop(a, old, nw, c);
  }
  s.is_in_c[u] = 0;
  ral_add(s.pos_lst, u);
  ral_delete(s.cur_c_set, u);
  s.dweight[u] = w;
  s.cur_weight -= w;
}
