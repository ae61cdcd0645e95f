// The construction's candidates on a large graph: which positions of a list
// hold a candidate, with their number and the k-th of them in position order
// in O(log n), and O(log n) to refresh one position.  A Fenwick tree over the
// positions, whose indicator is 1 exactly at the positions of candidates.
#pragma once

#include <cstdint>

#include "graph/heap_array.h"

class CandidateIndex {
 public:
  // Room for positions 0 .. n-1.  False when memory is short.
  bool init(int n) {
    n_ = n;
    top_ = 1;
    while (top_ * 2 <= n) top_ *= 2;
    const size_t size = static_cast<size_t>(n) + 1;
    return tree_.alloc(size, false) && flag_.alloc(size, false) && scratch_.alloc(size, false);
  }
  // Indicator of every position from is_candidate(p); O(n).
  template <class F>
  void build(F&& is_candidate) {
    total_ = 0;
    for (int i = 1; i <= n_; i++) {
      flag_[static_cast<size_t>(i - 1)] = is_candidate(i - 1) ? 1 : 0;
      tree_[static_cast<size_t>(i)] = flag_[static_cast<size_t>(i - 1)];
      total_ += flag_[static_cast<size_t>(i - 1)];
    }
    for (int i = 1; i <= n_; i++) {
      const int parent = i + (i & -i);
      if (parent <= n_) tree_[static_cast<size_t>(parent)] += tree_[static_cast<size_t>(i)];
    }
  }
  int total() const { return total_; }
  // Position of the k-th candidate (0-based, k < total()).
  int find(int k) const {
    int pos = 0, rest = k + 1;
    for (int step = top_; step > 0; step >>= 1) {
      if (pos + step <= n_ && tree_[static_cast<size_t>(pos + step)] < rest) {
        pos += step;
        rest -= tree_[static_cast<size_t>(pos)];
      }
    }
    return pos;
  }
  // Re-reads the indicator of position p.
  template <class F>
  void refresh(int p, F&& is_candidate) {
    const uint8_t now = is_candidate(p) ? 1 : 0;
    if (now == flag_[static_cast<size_t>(p)]) return;
    flag_[static_cast<size_t>(p)] = now;
    const int delta = now ? 1 : -1;
    total_ += delta;
    for (int i = p + 1; i <= n_; i += i & -i) tree_[static_cast<size_t>(i)] += delta;
  }
  // n + 1 ints of working space for the caller.
  int* scratch() { return scratch_.data(); }

 private:
  int n_ = 0, top_ = 1, total_ = 0;
  HeapArray<int> tree_;  // 1-based Fenwick tree
  HeapArray<uint8_t> flag_;
  HeapArray<int> scratch_;
};
