// Invariant auditor: recomputes from scratch everything the moves keep
// incrementally (conflict-freeness of C, conflict counts, histogram, gains,
// weight, the partition of the non-members and every list's position index)
// and describes the first discrepancy.  A test and debug facility: release
// builds never call it.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/state.h"

namespace audit_detail {

inline std::string fmt(const char* f, long a = 0, long b = 0, long c = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, f, a, b, c);
  return buf;
}

// Checks that `l` is a well-formed indexed list and marks its members with `tag`.
inline std::string walk_list(const ST_RandAccessList* l, const char* name, int n, int tag, std::vector<int>& where) {
  if (l->vnum < 0 || l->vnum > n || l->capacity != n) return std::string(name) + ": bad size or capacity";
  for (int p = 0; p < l->vnum; p++) {
    const int v = l->vlist[p];
    if (v < 0 || v >= n) return std::string(name) + fmt(": member %ld out of range at position %ld", v, p);
    if (l->vpos[v] != p) return std::string(name) + fmt(": vpos[%ld] = %ld, member stands at %ld", v, l->vpos[v], p);
    if (where[v] != -1) return std::string(name) + fmt(": vertex %ld is listed twice (also in list %ld)", v, where[v]);
    where[v] = tag;
  }
  return {};
}

}  // namespace audit_detail

template <class P, class R>
std::string audit_state(const SearchState<P, R>& s) {
  using audit_detail::fmt;
  const auto& g = *s.g;
  const int n = s.n_vertex;
  std::vector<int> where(n, -1);  // 0 = C, 1 = pos, 2 = cand, 3 = rest
  const ST_RandAccessList* lists[4] = {s.cur_c_set, s.pos_lst, s.cand_lst, s.rest_lst};
  const char* names[4] = {"cur_c_set", "pos_lst", "cand_lst", "rest_lst"};
  for (int t = 0; t < 4; t++) {
    std::string e = audit_detail::walk_list(lists[t], names[t], n, t, where);
    if (!e.empty()) return e;
  }
  double total = 0.0, scale = 1.0;
  for (int v = 0; v < n; v++) scale += std::fabs(g.v_weight[v]);
  const double tol = 1e-9 * scale;

  std::vector<int> hist(static_cast<size_t>(n) + 1, 0);
  for (int v = 0; v < n; v++) {
    const bool member = where[v] == 0;
    if (s.is_in_c[v] != (member ? 1 : 0)) return fmt("is_in_c[%ld] = %ld disagrees with cur_c_set", v, s.is_in_c[v]);
    if (where[v] == -1) return fmt("non-member %ld is in no candidate list", v);
    int count = 0;
    double gain = g.v_weight[v];
    for (int i = 0; i < s.cur_c_set->vnum; i++) {
      const int u = s.cur_c_set->vlist[i];
      if (u != v && g.conflict(u, v)) {
        count++;
        gain -= g.v_weight[u];
      }
    }
    if (member) {
      total += g.v_weight[v];
      if (count != 0) return fmt("members %ld and another member of C conflict", v);
      if (s.adj_num_in_c[v] != 0) return fmt("member %ld has adj_num_in_c = %ld", v, s.adj_num_in_c[v]);
      if (std::fabs(s.dweight[v] + g.v_weight[v]) > tol) return fmt("member %ld has a gain other than minus its weight", v);
      continue;
    }
    if (static_cast<long>(s.adj_num_in_c[v]) != count)
      return fmt("adj_num_in_c[%ld] = %ld, recomputed %ld", v, s.adj_num_in_c[v], count);
    hist[count]++;
    if (std::fabs(s.dweight[v] - gain) > tol) return fmt("dweight[%ld] differs from its recomputed gain", v);
    const ST_RandAccessList* expected = P::list_of(const_cast<SearchState<P, R>&>(s), v);
    if (expected != lists[where[v]])
      return fmt("non-member %ld is in list %ld against the partition rule", v, where[v]);
  }
  for (int k = 1; k <= n; k++)
    if (num_v_adj(s, k) != hist[k]) return fmt("num_v_adj(%ld) = %ld, recomputed %ld", k, num_v_adj(s, k), hist[k]);
  if (std::fabs(s.cur_weight - total) > tol) return "cur_weight differs from the weight of C";
  return {};
}

// Debug builds (MAVU_AUDIT) audit the state at the end of every
// MAVU_AUDIT_EVERY-th search iteration and abort on the first fault.
#ifdef MAVU_AUDIT
#ifndef MAVU_AUDIT_EVERY
#define MAVU_AUDIT_EVERY 1
#endif
template <class P, class R>
void audit_or_abort(const SearchState<P, R>& s) {
  if (s.cur_iter % MAVU_AUDIT_EVERY != 0) return;
  const std::string e = audit_state(s);
  if (!e.empty()) {
    std::fprintf(stderr, "audit failed at iteration %d: %s\n", s.cur_iter, e.c_str());
    std::abort();
  }
}
#define MAVU_AUDIT_STATE(s) audit_or_abort(s)
#else
#define MAVU_AUDIT_STATE(s) ((void)0)
#endif
