#include "graph/sparse.h"

#include <algorithm>

namespace {

// Gives every vertex its list inside one block of 2 * n_edge entries, from
// the degrees already in v_edge_count; v_adj[v] points at the start of v's
// list.  False when memory is short.
template <class V>
bool lay_out_lists(SparseConflictGraph<V>& g, int n) {
  if (!g.v_adj.alloc(static_cast<size_t>(n), false) || !g.adj_store.alloc(static_cast<size_t>(2 * g.n_edge), false))
    return false;
  V* at = g.adj_store.data();
  g.max_degree = 0;
  for (int v = 0; v < n; v++) {
    g.v_adj[v] = at;
    at += g.v_edge_count[v];
  }
  return true;
}

uint64_t pair_key(const ConflictPair& p) {
  const uint64_t lo = std::min(p.a, p.b), hi = std::max(p.a, p.b);
  return lo << 32 | hi;
}

// The first pair in input order equal to an earlier one; called only once a
// repeat is known to exist.  -1 when memory is short.
long long first_repeat(const ConflictPair* pairs, long long count) {
  HeapArray<uint64_t> order;
  if (!order.alloc(static_cast<size_t>(count), false)) return -1;
  for (long long k = 0; k < count; k++) order[static_cast<size_t>(k)] = static_cast<uint64_t>(k);
  std::sort(order.data(), order.data() + count, [&](uint64_t x, uint64_t y) {
    const uint64_t kx = pair_key(pairs[x]), ky = pair_key(pairs[y]);
    return kx != ky ? kx < ky : x < y;
  });
  // Every pair equal to its predecessor in this order repeats an earlier one;
  // the smallest such index is the first repeat of the input.
  uint64_t first = static_cast<uint64_t>(count);
  for (long long k = 1; k < count; k++) {
    const uint64_t x = order[static_cast<size_t>(k - 1)], y = order[static_cast<size_t>(k)];
    if (pair_key(pairs[x]) == pair_key(pairs[y])) first = std::min(first, y);
  }
  return static_cast<long long>(first) + 1;
}

}  // namespace

template <class V>
long long sparse_from_pairs(SparseConflictGraph<V>& g, int n, const ConflictPair* pairs, long long count,
                            const double* weights) {
  g.n_vertex = n;
  g.n_edge = count;
  if (!g.v_weight.alloc(static_cast<size_t>(n), false) || !g.v_edge_count.alloc(static_cast<size_t>(n), true))
    return -1;
  for (int j = 0; j < n; j++) g.v_weight[j] = weights ? weights[j] : default_weight(j);
  for (long long k = 0; k < count; k++) {
    g.v_edge_count[pairs[k].a]++;
    g.v_edge_count[pairs[k].b]++;
  }
  if (!lay_out_lists(g, n)) return -1;
  // Fill with v_adj as the write cursor, then move each cursor back to the start.
  for (long long k = 0; k < count; k++) {
    *g.v_adj[pairs[k].a]++ = static_cast<V>(pairs[k].b);
    *g.v_adj[pairs[k].b]++ = static_cast<V>(pairs[k].a);
  }
  // Sorted lists; a repeat shows as equal neighbours and is dropped.
  long long degree_sum = 0;
  for (int v = 0; v < n; v++) {
    V* const end = g.v_adj[v];
    V* const begin = g.v_adj[v] = end - g.v_edge_count[v];
    std::sort(begin, end);
    g.v_edge_count[v] = static_cast<int>(std::unique(begin, end) - begin);
    degree_sum += g.v_edge_count[v];
    g.max_degree = std::max(g.max_degree, g.v_edge_count[v]);
  }
  g.n_edge = degree_sum / 2;
  return g.n_edge == count ? 0 : first_repeat(pairs, count);
}

template <class V>
bool sparse_from_dense(SparseConflictGraph<V>& g, ConflictGraph& dense) {
  const int n = g.n_vertex = dense.n_vertex;
  g.n_edge = dense.n_edge;
  dense.matrix_adj.release();
  if (!g.v_weight.alloc(static_cast<size_t>(n), false) || !g.v_edge_count.alloc(static_cast<size_t>(n), false))
    return false;
  for (int v = 0; v < n; v++) {
    g.v_weight[v] = dense.v_weight[v];
    g.v_edge_count[v] = dense.v_edge_count[v];
  }
  if (!lay_out_lists(g, n)) return false;
  for (int v = 0; v < n; v++) g.max_degree = std::max(g.max_degree, g.v_edge_count[v]);
  for (int v = 0; v < n; v++) std::copy(dense.v_adj[v], dense.v_adj[v] + dense.v_edge_count[v], g.v_adj[v]);
  dense.adj_store.release();
  dense.v_adj.release();
  return true;
}

template long long sparse_from_pairs(SparseConflictGraph<uint16_t>&, int, const ConflictPair*, long long,
                                     const double*);
template long long sparse_from_pairs(SparseConflictGraph<uint32_t>&, int, const ConflictPair*, long long,
                                     const double*);
template bool sparse_from_dense(SparseConflictGraph<uint16_t>&, ConflictGraph&);
template bool sparse_from_dense(SparseConflictGraph<uint32_t>&, ConflictGraph&);
