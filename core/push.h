// Conflict lookup and the push with tabu: the step of the search.  A push of
// non-member v drops the members of C that conflict with v, making each tabu,
// then adds v.
#pragma once

#include <cassert>

#include "core/moves.h"

// Members of C are walked instead of v's conflict neighbours when C is the
// shorter side, so a lookup costs min(|C|, conflict degree of v).
template <class P, class R>
bool scan_members_of_c(const SearchState<P, R>& s, int v) {
  return s.cur_c_set->vnum < s.g->v_edge_count[v];
}

// The one member conflicting with non-member v.  The pre_adj hint is tried
// first and always re-validated, so a stale hint costs only the scan.
template <class P, class R>
int find_inside_adj(SearchState<P, R>& s, int v) {
  const member_flag* is_in_c = s.is_in_c.data();
  const auto* adj_num_in_c = s.adj_num_in_c.data();
  assert(is_in_c[v] == 0);
  assert(adj_num_in_c[v] == 1);
  (void)adj_num_in_c;
  const int h = s.pre_adj[v];
  if (is_in_c[h] == 1 && s.g->conflict(h, v)) return h;
  if (scan_members_of_c(s, v)) {
    const ST_RandAccessList* c = s.cur_c_set;
    for (int i = 0; i < c->vnum; i++) {
      const int u = c->vlist[i];
      if (s.g->conflict(u, v)) return s.pre_adj[v] = u;
    }
  } else {
    const adj_vertex* adj = s.g->v_adj[v];
    for (int i = 0; i < s.g->v_edge_count[v]; i++)
      if (is_in_c[adj[i]]) return s.pre_adj[v] = adj[i];
  }
  return -1;
}

// The two members conflicting with non-member v, the first met in scan order first.
template <class P, class R>
void find_two_neighbor(SearchState<P, R>& s, int v, int& first, int& second) {
  const member_flag* is_in_c = s.is_in_c.data();
  const auto* adj_num_in_c = s.adj_num_in_c.data();
  assert(adj_num_in_c[v] == 2);
  assert(is_in_c[v] == 0);
  (void)adj_num_in_c;
  first = second = -1;
  auto found = [&](int u) { (first == -1 ? first : second) = u; };
  if (scan_members_of_c(s, v)) {
    const ST_RandAccessList* c = s.cur_c_set;
    for (int i = 0; i < c->vnum; i++)
      if (s.g->conflict(c->vlist[i], v)) found(c->vlist[i]);
  } else {
    const adj_vertex* adj = s.g->v_adj[v];
    for (int i = 0; i < s.g->v_edge_count[v]; i++)
      if (is_in_c[adj[i]]) found(adj[i]);
  }
}

// Tenure of a dropped member: tt > 0 is fixed; tt = 0 draws 7 .. 6+n, where n
// is the number of vertices sharing v's conflict count (counted only when
// the tenure is drawn).  Wraps instead of
// overflowing near the end of the int range.
template <class P, class R>
void set_tenure(SearchState<P, R>& s, int u, int tt, int n) {
  const unsigned extra = tt != 0 ? static_cast<unsigned>(tt) : 7u + s.divisor.mod(static_cast<uint32_t>(s.rng()), n);
  s.tabu_lst[u] = static_cast<int>(static_cast<unsigned>(s.cur_iter) + extra);
}

// Pushes non-member v with tenure tt (0: randomised).  Tenure draws happen in
// the order the members are dropped.
template <class P, class R>
void pushWithTabu(SearchState<P, R>& s, int v, int tt) {
  const member_flag* is_in_c = s.is_in_c.data();
  assert(!is_in_c[v]);
  (void)is_in_c;
  const int k = s.adj_num_in_c[v];
  if (k == 0) {
    expand(s, v);
  } else if (k == 1) {
    const int u = find_inside_adj(s, v);
    set_tenure(s, u, tt, tt != 0 ? 0 : num_v_adj(s, 1));
    drop(s, u);
    expand(s, v);
  } else if (k == 2) {
    int u1, u2;
    find_two_neighbor(s, v, u1, u2);
    const int n = tt != 0 ? 0 : num_v_adj(s, 2);
    set_tenure(s, u1, tt, n);
    set_tenure(s, u2, tt, n);
    drop(s, u1);
    drop(s, u2);
    expand(s, v);
  } else {
    const int n = tt != 0 ? 0 : num_v_adj(s, k);
    if (scan_members_of_c(s, v)) {
      ST_RandAccessList* c = s.cur_c_set;
      int i = 0;
      while (i < c->vnum) {
        const int u = c->vlist[i];
        if (s.g->conflict(u, v)) {
          set_tenure(s, u, tt, n);
          drop(s, u);  // the last member now sits at position i
        } else {
          i++;
        }
      }
    } else {
      const adj_vertex* adj = s.g->v_adj[v];
      for (int i = 0; i < s.g->v_edge_count[v]; i++) {
        const int a = adj[i];
        if (s.is_in_c[a]) {
          set_tenure(s, a, tt, n);
          drop(s, a);
        }
      }
    }
    expand(s, v);
  }
}
