// The two candidate partitions.  A profile gives the core its list rule:
//  - list_of(s, v): the list that holds non-member v;
//  - Transitions: built from the state before a move's neighbour loop, its
//    after_expand / after_drop apply the list transition of neighbour a whose
//    gain went from `old` to `nw` and whose conflict count is now c (the
//    first matching row applies; the order of the list operations decides
//    later scans and draws).
#pragma once

#include "core/ral.h"

// What a list transition touches, copied from the state once per move.
struct CandidateLists {
  template <class S>
  explicit CandidateLists(S& s) : pos_(s.pos_lst), cand_(s.cand_lst), rest_(s.rest_lst), pre_adj_(s.pre_adj.data()) {}
  ST_RandAccessList* const pos_;
  ST_RandAccessList* const cand_;
  ST_RandAccessList* const rest_;
  int* const pre_adj_;
};

// Gain threshold: cand_lst holds cand_thresh < gain <= 0, rest_lst gain <= cand_thresh.
struct GainThresholdPartition {
  template <class S>
  static ST_RandAccessList* list_of(S& s, int v) {
    if (s.dweight[v] > 0) return s.pos_lst;
    return s.dweight[v] > s.cand_thresh ? s.cand_lst : s.rest_lst;
  }
  // Transitions of a neighbour a whose gain went from old to nw (count c).
  class Transitions : CandidateLists {
   public:
    template <class S>
    explicit Transitions(S& s)
        : CandidateLists(s), thresh_(s.cand_thresh), low_(s.cand_thresh < 0 ? s.cand_thresh : 0.0) {}
    // Both rows of each table cross 0 or the threshold, so a gain that stays
    // at or below the lower of the two (the common case) changes nothing.
    void after_expand(int a, double old, double nw, int /*c*/, int v) {
      if (old <= low_) return;
      if (old > 0 && nw <= 0) {
        ral_delete(pos_, a);
        ral_add(nw > thresh_ ? cand_ : rest_, a);
      } else if (old <= 0 && old > thresh_ && nw <= thresh_) {
        ral_delete(cand_, a);
        ral_add(rest_, a);
        pre_adj_[a] = v;
      }
    }
    void after_drop(int a, double old, double nw, int /*c*/) {
      if (nw <= low_) return;
      if (old <= 0 && nw > 0) {
        ral_add(pos_, a);
        ral_delete(old > thresh_ ? cand_ : rest_, a);
      } else if (old <= thresh_ && nw > thresh_ && nw <= 0) {
        ral_delete(rest_, a);
        ral_add(cand_, a);
      }
    }

   private:
    const double thresh_;
    const double low_;  // min(cand_thresh, 0)
  };
};

// Conflict threshold: cand_lst holds gain <= 0 with at most con_thresh
// conflicting members, rest_lst gain <= 0 with more.
struct ConflictThresholdPartition {
  template <class S>
  static ST_RandAccessList* list_of(S& s, int v) {
    if (s.dweight[v] > 0) return s.pos_lst;
    return static_cast<int>(s.adj_num_in_c[v]) > s.con_thresh ? s.rest_lst : s.cand_lst;
  }
  class Transitions : CandidateLists {
   public:
    template <class S>
    explicit Transitions(S& s) : CandidateLists(s), thresh_(s.con_thresh) {}
    void after_expand(int a, double old, double nw, int c, int v) {
      if (old > 0 && nw <= 0) {
        ral_delete(pos_, a);
        ral_add(c > thresh_ ? rest_ : cand_, a);
      } else if (old <= 0 && c == thresh_ + 1) {
        ral_delete(cand_, a);
        ral_add(rest_, a);
        pre_adj_[a] = v;
      }
    }
    void after_drop(int a, double old, double nw, int c) {
      if (old <= 0 && nw > 0) {
        ral_add(pos_, a);
        ral_delete(c < thresh_ ? cand_ : rest_, a);
      } else if (old <= 0 && nw <= 0 && c == thresh_) {
        ral_delete(rest_, a);
        ral_add(cand_, a);
      }
    }

   private:
    const int thresh_;
  };
};
