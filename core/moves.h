// Add and drop moves: the only operations that change C.  Each visits the
// moved vertex's conflict neighbours once, updating gain, conflict count and
// histogram, and lets the profile move every neighbour whose class changed
// between the candidate lists.  O(conflict degree); allocates nothing.
#pragma once

#include <cassert>
#include <cstdio>

#include "core/state.h"

// Adds non-member v, which must have no conflicting member.
template <class P, class R>
void expand(SearchState<P, R>& s, int v) {
  const int* is_in_c = s.is_in_c.data();
  const int* adj_num_in_c = s.adj_num_in_c.data();
  assert(is_in_c[v] == 0);
  assert(adj_num_in_c[v] == 0);
  (void)is_in_c, (void)adj_num_in_c;

  ral_delete(P::list_of(s, v), v);
  const double w = s.g->v_weight[v];
  const int* adj = s.g->v_adj[v];
  const int deg = s.g->v_edge_count[v];
  for (int i = 0; i < deg; i++) {
    const int a = adj[i];
    if (s.is_in_c[a]) {
      std::fprintf(stderr, "ERROR\n");
      continue;
    }
    const double old = s.dweight[a];
    const double nw = old - w;
    s.dweight[a] = nw;
    s.num_v_adj[s.adj_num_in_c[a]]--;
    const int c = ++s.adj_num_in_c[a];
    s.num_v_adj[c]++;
    P::after_expand(s, a, old, nw, c, v);
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
  const int* is_in_c = s.is_in_c.data();
  assert(is_in_c[u] == 1);
  (void)is_in_c;

  const double w = s.g->v_weight[u];
  const int* adj = s.g->v_adj[u];
  const int deg = s.g->v_edge_count[u];
  for (int i = 0; i < deg; i++) {
    const int a = adj[i];
    if (s.is_in_c[a]) {
      std::fprintf(stderr, "Error in drop %d\n", u);
      continue;
    }
    const double old = s.dweight[a];
    const double nw = w + old;
    s.dweight[a] = nw;
    s.num_v_adj[s.adj_num_in_c[a]]--;
    const int c = --s.adj_num_in_c[a];
    s.num_v_adj[c]++;
    P::after_drop(s, a, old, nw, c);
  }
  s.is_in_c[u] = 0;
  ral_add(s.pos_lst, u);
  ral_delete(s.cur_c_set, u);
  s.dweight[u] = w;
  s.cur_weight -= w;
}
