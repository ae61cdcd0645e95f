// The two candidate partitions.  A profile gives the core its list rule:
//  - list_of(s, v): the list that holds non-member v;
//  - after_expand / after_drop: the list transition of neighbour a whose gain
//    went from `old` to `nw` and whose conflict count is now c (the first
//    matching row applies; the order of the list operations decides later
//    scans and draws);
//  - check_cand_member / check_rest_member: the debugging assertions.
#pragma once

#include <cassert>

#include "core/ral.h"

// Gain threshold: cand_lst holds cand_thresh < gain <= 0, rest_lst gain <= cand_thresh.
struct GainThresholdPartition {
  template <class S>
  static ST_RandAccessList* list_of(S& s, int v) {
    if (s.dweight[v] > 0) return s.pos_lst;
    return s.dweight[v] > s.cand_thresh ? s.cand_lst : s.rest_lst;
  }
  template <class S>
  static void after_expand(S& s, int a, double old, double nw, int /*c*/, int v) {
    if (old > 0 && nw <= 0) {
      ral_delete(s.pos_lst, a);
      ral_add(nw > s.cand_thresh ? s.cand_lst : s.rest_lst, a);
    } else if (old <= 0 && old > s.cand_thresh && nw <= s.cand_thresh) {
      ral_delete(s.cand_lst, a);
      ral_add(s.rest_lst, a);
      s.pre_adj[a] = v;
    }
  }
  template <class S>
  static void after_drop(S& s, int a, double old, double nw, int /*c*/) {
    if (old <= 0 && nw > 0) {
      ral_add(s.pos_lst, a);
      ral_delete(old > s.cand_thresh ? s.cand_lst : s.rest_lst, a);
    } else if (old <= s.cand_thresh && nw > s.cand_thresh && nw <= 0) {
      ral_delete(s.rest_lst, a);
      ral_add(s.cand_lst, a);
    }
  }
  template <class S>
  static void check_cand_member(const S& s, int v) {
    const double* dweight = s.dweight.data();
    const double cand_thresh = s.cand_thresh;
    assert(dweight[v] <= 0.0 && dweight[v] > cand_thresh);
    (void)dweight, (void)cand_thresh, (void)v;
  }
  template <class S>
  static void check_rest_member(const S& s, int v) {
    const double* dweight = s.dweight.data();
    const double cand_thresh = s.cand_thresh;
    assert(dweight[v] <= cand_thresh);
    (void)dweight, (void)cand_thresh, (void)v;
  }
};

// Conflict threshold: cand_lst holds gain <= 0 with at most con_thresh
// conflicting members, rest_lst gain <= 0 with more.
struct ConflictThresholdPartition {
  template <class S>
  static ST_RandAccessList* list_of(S& s, int v) {
    if (s.dweight[v] > 0) return s.pos_lst;
    return s.adj_num_in_c[v] > s.con_thresh ? s.rest_lst : s.cand_lst;
  }
  template <class S>
  static void after_expand(S& s, int a, double old, double nw, int c, int v) {
    if (old > 0 && nw <= 0) {
      ral_delete(s.pos_lst, a);
      ral_add(c > s.con_thresh ? s.rest_lst : s.cand_lst, a);
    } else if (old <= 0 && c == s.con_thresh + 1) {
      ral_delete(s.cand_lst, a);
      ral_add(s.rest_lst, a);
      s.pre_adj[a] = v;
    }
  }
  template <class S>
  static void after_drop(S& s, int a, double old, double nw, int c) {
    if (old <= 0 && nw > 0) {
      ral_add(s.pos_lst, a);
      ral_delete(c < s.con_thresh ? s.cand_lst : s.rest_lst, a);
    } else if (old <= 0 && nw <= 0 && c == s.con_thresh) {
      ral_delete(s.rest_lst, a);
      ral_add(s.cand_lst, a);
    }
  }
  template <class S>
  static void check_cand_member(const S& s, int v) {
    const double* dweight = s.dweight.data();
    const int* adj_num_in_c = s.adj_num_in_c.data();
    const int con_thresh = s.con_thresh;
    assert(dweight[v] <= 0.0);
    assert(adj_num_in_c[v] <= con_thresh);
    (void)dweight, (void)adj_num_in_c, (void)con_thresh, (void)v;
  }
  template <class S>
  static void check_rest_member(const S& s, int v) {
    const double* dweight = s.dweight.data();
    const int* adj_num_in_c = s.adj_num_in_c.data();
    const int con_thresh = s.con_thresh;
    assert(dweight[v] <= 0.0);
    assert(adj_num_in_c[v] > con_thresh);
    (void)dweight, (void)adj_num_in_c, (void)con_thresh, (void)v;
  }
};
