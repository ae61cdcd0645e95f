// The check of a reported set against the conflict graph, the step between
// the search and the report, for the programs and the library alike.
#pragma once

#include <cmath>
#include <cstdint>

#include "graph/dense.h"
#include "graph/sparse.h"

// 1 when the listed vertices are pairwise conflict-free and their weights, summed
// in list order, lie strictly within `tolerance` of `weight`; else 0.
// The bit matrix tests every pair (O(count^2) lookups); the compressed
// layout marks the listed vertices and walks their conflict lists instead
// (O(n + their degrees)), which gives the same verdict for any list.
template <class G>
int check_solution(const G& g, const int* vertices, int count, double weight, double tolerance) {
  bool marked = false;
  HeapArray<uint8_t> mark;
  if constexpr (!G::kDense) marked = mark.alloc(static_cast<size_t>(g.n_vertex), true);
  if (marked) {
    for (int i = 0; i < count; i++) mark[static_cast<size_t>(vertices[i])] = 1;
    for (int i = 0; i < count; i++) {
      const auto* adj = g.v_adj[vertices[i]];
      for (int k = 0; k < g.v_edge_count[vertices[i]]; k++)
        if (mark[adj[k]]) return 0;
    }
  } else {
    for (int i = 0; i < count; i++)
      for (int j = i + 1; j < count; j++)
        if (g.conflict(vertices[i], vertices[j])) return 0;
  }
  double sum = 0.0;
  for (int i = 0; i < count; i++) sum += g.v_weight[static_cast<size_t>(vertices[i])];
  // A difference that is not a number fails too.
  return std::fabs(sum - weight) < tolerance ? 1 : 0;
}

// The tolerance of the final check of a set recorded at iteration best_iter
// on the n given weights: `base` while rounding cannot reach it, else a bound
// on the rounding of the search's running set weight (see check.cpp).
double check_tolerance(double base, const double* weights, int n, int best_iter);
