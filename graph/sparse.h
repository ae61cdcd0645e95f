// The conflict graph in compressed adjacency: every conflict list ascending,
// all of them in one block, and nothing of size n^2.  Memory is
// 20 bytes per vertex plus 2 * sizeof(V) bytes per conflict edge, so a
// graph whose conflicts are few (an independent-set instance, or the
// complement of a nearly complete graph) fits where the bit matrix cannot.
//
// V is the stored vertex number: 16 bits while every vertex number fits
// (n <= 65536), 32 bits beyond, so the lists a move walks stay as short in
// bytes as the vertex count allows.  Conflict counts of the search use the
// same width: a count never exceeds n - 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graph/dense.h"
#include "graph/heap_array.h"

// Largest vertex count whose vertex numbers fit 16 bits.
inline constexpr long long kMaxVertices16 = 65536;
// Largest vertex count of the compressed layout: vertex numbers are ints.
inline constexpr long long kMaxVerticesSparse = 2147483647;

template <class V>
struct SparseConflictGraph {
  using vertex_type = V;
  using conflict_count = V;
  static constexpr bool kDense = false;

  int n_vertex = 0;
  long long n_edge = 0;         // conflict edges
  HeapArray<double> v_weight;   // weight of each vertex
  HeapArray<int> v_edge_count;  // conflict degree
  HeapArray<V*> v_adj;          // conflict neighbours of v, ascending, v_edge_count[v] of them
  HeapArray<V> adj_store;       // storage behind v_adj
  int max_degree = 0;           // largest conflict degree

  // Binary search in the shorter of the two lists: O(log min degree).
  bool conflict(int i, int j) const {
    if (v_edge_count[i] > v_edge_count[j]) {
      const int t = i;
      i = j;
      j = t;
    }
    const V* base = v_adj[i];
    size_t len = static_cast<size_t>(v_edge_count[i]);
    if (len == 0) return false;
    const V key = static_cast<V>(j);
    while (len > 1) {  // branch-free halving: base[0] <= key holds unless key is below the list
      const size_t half = len / 2;
      base = base[half] <= key ? base + half : base;
      len -= half;
    }
    return *base == key;
  }
};

// Bytes the compressed layout with V-sized vertex numbers needs for n
// vertices and n_edge conflict edges.
template <class V>
unsigned long long sparse_graph_bytes(long long n, long long n_edge) {
  const unsigned long long nn = static_cast<unsigned long long>(n);
  return nn * (sizeof(double) + sizeof(int) + sizeof(V*)) + 2ull * static_cast<unsigned long long>(n_edge) * sizeof(V);
}

// One conflict edge as collected by a builder: the two 0-based vertices.
struct ConflictPair {
  uint32_t a, b;
};

// Builds the compressed layout from conflict edges given directly: n
// vertices, `count` pairs (in range, no loops) and weights (nullptr: the
// default weights).  A pair given more than once (in either direction) is
// kept once.  Returns -1 when memory is short, else 0 when every pair was
// distinct, else k >= 1: pair k-1 (0-based) is the first in input order that
// repeats an earlier one.
template <class V>
long long sparse_from_pairs(SparseConflictGraph<V>& g, int n, const ConflictPair* pairs, long long count,
                            const double* weights);

// Builds the compressed layout from a built bit-matrix graph (same lists,
// same weights); `dense` is released on the way to keep the peak low.
// False when memory is short.
template <class V>
bool sparse_from_dense(SparseConflictGraph<V>& g, ConflictGraph& dense);

extern template long long sparse_from_pairs(SparseConflictGraph<uint16_t>&, int, const ConflictPair*, long long,
                                            const double*);
extern template long long sparse_from_pairs(SparseConflictGraph<uint32_t>&, int, const ConflictPair*, long long,
                                            const double*);
extern template bool sparse_from_dense(SparseConflictGraph<uint16_t>&, ConflictGraph&);
extern template bool sparse_from_dense(SparseConflictGraph<uint32_t>&, ConflictGraph&);
