// The conflict graph: the complement of the input graph, on which the whole
// search works.  Two distinct vertices conflict exactly when the input has no
// edge between them, so a clique of the input is a conflict-free set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Largest vertex count whose n*(n-1) still fits a 32-bit signed int.
inline constexpr int kMaxVertices = 46341;

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
    size_t bytes = (n ? n : 1) * sizeof(T);
    p_ = static_cast<T*>(zero ? std::calloc(n ? n : 1, sizeof(T)) : std::malloc(bytes));
    n_ = p_ ? n : 0;
    return p_ != nullptr;
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
  int n_vertex = 0;                  // vertices 0 .. n_vertex-1 (the file numbers them from 1)
  int n_edge = 0;                    // conflict edges: n(n-1)/2 - m
  HeapArray<int32_t> matrix_adj;     // row-major n x n conflict matrix, 1 = conflict
  HeapArray<double> v_weight;        // weight of each vertex
  HeapArray<int> v_edge_count;       // conflict degree
  HeapArray<int*> v_adj;             // conflict neighbours of v, ascending, v_edge_count[v] of them
  HeapArray<int> adj_store;          // storage behind v_adj

  bool conflict(int i, int j) const {
    return matrix_adj[static_cast<size_t>(i) * static_cast<size_t>(n_vertex) + static_cast<size_t>(j)] != 0;
  }
};
