#include "graph/dense.h"

#include <cstring>

bool graph_begin(ConflictGraph& g, int n, bool every_pair_conflicts) {
  const size_t nn = static_cast<size_t>(n);
  g.n_vertex = n;
  g.row_words = (nn + 63) / 64;
  if (!g.matrix_adj.alloc(nn * g.row_words, false) || !g.v_weight.alloc(nn, false) ||
      !g.v_edge_count.alloc(nn, false) || !g.v_adj.alloc(nn, false)) {
    g.matrix_adj.release();
    return false;
  }
  std::memset(g.matrix_adj.data(), every_pair_conflicts ? 0xff : 0, nn * g.row_words * sizeof(uint64_t));
  // Default weights: file vertex i (1-based) weighs (i mod 200) + 1.
  for (int j = 0; j < n; j++) g.v_weight[j] = ((j + 1) % 200) + 1;
  return true;
}

namespace {

// In-place transpose of a 64x64 bit block: a[r] bit c becomes a[c] bit r.
void transpose64(uint64_t a[64]) {
  uint64_t m = 0x00000000FFFFFFFFull;
  for (int j = 32; j != 0; j >>= 1, m ^= (m << j)) {
    for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
      const uint64_t t = ((a[k] >> j) ^ a[k | j]) & m;
      a[k] ^= t << j;
      a[k | j] ^= t;
    }
  }
}

// Makes the matrix symmetric from its strict upper triangle: zero diagonal,
// zero padding bits past column n-1, lower triangle = transposed upper one.
void mirror_upper_triangle(ConflictGraph& g) {
  const size_t n = static_cast<size_t>(g.n_vertex), words = g.row_words;
  uint64_t* m = g.matrix_adj.data();
  uint64_t block[64];
  for (size_t bi = 0; bi < words; bi++) {  // block row
    const size_t r0 = bi * 64, rows = n - r0 < 64 ? n - r0 : 64;
    for (size_t bj = bi; bj < words; bj++) {  // block column, on or right of the diagonal
      const size_t c0 = bj * 64, cols = n - c0 < 64 ? n - c0 : 64;
      const uint64_t col_mask = cols == 64 ? ~uint64_t{0} : (uint64_t{1} << cols) - 1;
      for (size_t r = 0; r < 64; r++) {
        uint64_t w = r < rows ? m[(r0 + r) * words + bj] & col_mask : 0;
        if (bi == bj) w &= (r >= 63) ? 0 : ~((uint64_t{2} << r) - 1);  // strictly above the diagonal
        block[r] = w;
      }
      if (bi == bj) {
        uint64_t t[64];
        std::memcpy(t, block, sizeof t);
        transpose64(t);
        for (size_t r = 0; r < rows; r++) m[(r0 + r) * words + bj] = block[r] | t[r];
      } else {
        for (size_t r = 0; r < rows; r++) m[(r0 + r) * words + bj] = block[r];
        transpose64(block);
        for (size_t c = 0; c < cols; c++) m[(c0 + c) * words + bi] = block[c];
      }
    }
  }
}

}  // namespace

bool graph_finish(ConflictGraph& g, long long conflict_edges) {
  const int n = g.n_vertex;
  mirror_upper_triangle(g);
  long long degree_sum = 0;
  for (int i = 0; i < n; i++) {
    const uint64_t* row = g.row(i);
    int deg = 0;
    for (size_t w = 0; w < g.row_words; w++) deg += __builtin_popcountll(row[w]);
    g.v_edge_count[i] = deg;
    degree_sum += deg;
  }
  g.n_edge = static_cast<int>(conflict_edges);
  // Every recorded edge was distinct and in range, so the degrees count each
  // conflicting pair twice.
  if (degree_sum != 2LL * g.n_edge) return false;
  if (!g.adj_store.alloc(static_cast<size_t>(degree_sum), false)) return false;
  // Walking each row's bits in ascending order leaves every list ascending.
  adj_vertex* out = g.adj_store.data();
  for (int i = 0; i < n; i++) {
    g.v_adj[i] = out;
    const uint64_t* row = g.row(i);
    for (size_t w = 0; w < g.row_words; w++) {
      uint64_t bits = row[w];
      const unsigned base = static_cast<unsigned>(w * 64);
      while (bits) {
        *out++ = static_cast<adj_vertex>(base + static_cast<unsigned>(__builtin_ctzll(bits)));
        bits &= bits - 1;
      }
    }
  }
  return true;
}
