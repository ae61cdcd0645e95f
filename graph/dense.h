// The conflict graph: the complement of the input graph, on which the whole
// search works.  Two distinct vertices conflict exactly when the input has no
// edge between them, so a clique of the input is a conflict-free set.
//
// Layout: a bit matrix (n^2/8 bytes) answers "do i and j conflict?" with one
// load; the conflict lists hold 16-bit vertex numbers (n never exceeds
// 46341) in one block, so one neighbour walk streams through half the bytes
// of an int list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Largest vertex count whose n*(n-1) still fits a 32-bit signed int.
inline constexpr int kMaxVertices = 46341;

// Vertex number as stored in the conflict lists.
using adj_vertex = uint16_t;

// Owning heap array with no exceptions: allocation failure is reported by
// alloc() returning false, so the loader can tell the user what was needed.
template <class T>
class HeapArray {
 public:
  HeapArray() = default;
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  ~HeapArray() { std::free(p_); }

  bool alloc(size_t n, bool zero) {
    std::free(p_);
    p_ = static_cast<T*>(zero ? std::calloc(n ? n : 1, sizeof(T)) : std::malloc((n ? n : 1) * sizeof(T)));
    n_ = p_ ? n : 0;
    return p_ != nullptr;
  }
  void release() {
    std::free(p_);
    p_ = nullptr;
    n_ = 0;
  }
  T& operator[](size_t i) { return p_[i]; }
  const T& operator[](size_t i) const { return p_[i]; }
  T* data() { return p_; }
  const T* data() const { return p_; }
  size_t size() const { return n_; }

 private:
  T* p_ = nullptr;
  size_t n_ = 0;
};

struct ConflictGraph {
  int n_vertex = 0;                 // vertices 0 .. n_vertex-1 (the file numbers them from 1)
  int n_edge = 0;                   // conflict edges: n(n-1)/2 - m
  size_t row_words = 0;             // 64-bit words per matrix row
  HeapArray<uint64_t> matrix_adj;   // bit (i, j) set when i and j conflict; symmetric, zero diagonal
  HeapArray<double> v_weight;       // weight of each vertex
  HeapArray<int> v_edge_count;      // conflict degree
  HeapArray<adj_vertex*> v_adj;     // conflict neighbours of v, ascending, v_edge_count[v] of them
  HeapArray<adj_vertex> adj_store;  // storage behind v_adj

  bool conflict(int i, int j) const {
    const uint64_t word = matrix_adj[static_cast<size_t>(i) * row_words + (static_cast<unsigned>(j) >> 6)];
    return (word >> (static_cast<unsigned>(j) & 63)) & 1;
  }
  const uint64_t* row(int i) const { return matrix_adj.data() + static_cast<size_t>(i) * row_words; }
};

// Bytes the conflict graph of n vertices and n_edge conflict edges occupies.
inline unsigned long long conflict_graph_bytes(long long n, long long n_edge) {
  const unsigned long long nn = static_cast<unsigned long long>(n);
  const unsigned long long words = (nn + 63) / 64;
  return nn * words * 8 + nn * (sizeof(double) + sizeof(int) + sizeof(adj_vertex*)) +
         2ull * static_cast<unsigned long long>(n_edge) * sizeof(adj_vertex);
}

// Building a conflict graph: graph_begin() allocates the matrix, with every
// pair conflicting (the file's edges are the pairs that do not conflict) or
// with none (the file's edges are the conflicts), and the default weights;
// graph_clear_pair() or graph_set_pair() records one file edge;
// graph_finish() completes the matrix and builds the conflict lists.  Both
// allocating steps return false when memory is short.
bool graph_begin(ConflictGraph& g, int n, bool every_pair_conflicts);

// Records the file edge {a, b} (0-based, a != b, both in range) as a pair
// that does not conflict.  Returns false when the edge was recorded before
// (in either direction).  Only the upper triangle is written here;
// graph_finish() mirrors it.
inline bool graph_clear_pair(ConflictGraph& g, int a, int b) {
  const unsigned lo = static_cast<unsigned>(a < b ? a : b), hi = static_cast<unsigned>(a < b ? b : a);
  uint64_t& word = g.matrix_adj[lo * g.row_words + (hi >> 6)];
  const uint64_t bit = uint64_t{1} << (hi & 63);
  if (!(word & bit)) return false;
  word &= ~bit;
  return true;
}

// The same for a file edge that is a conflict.
inline bool graph_set_pair(ConflictGraph& g, int a, int b) {
  const unsigned lo = static_cast<unsigned>(a < b ? a : b), hi = static_cast<unsigned>(a < b ? b : a);
  uint64_t& word = g.matrix_adj[lo * g.row_words + (hi >> 6)];
  const uint64_t bit = uint64_t{1} << (hi & 63);
  if (word & bit) return false;
  word |= bit;
  return true;
}

// Completes the graph; `conflict_edges` is the number of conflicting pairs
// recorded in the upper triangle, which the degrees must add up to.
bool graph_finish(ConflictGraph& g, long long conflict_edges);
