// Owning array for the large per-vertex and per-edge blocks of a graph.
#pragma once

#include <cstddef>
#include <cstdlib>

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
  void swap(HeapArray& o) {
    T* p = p_;
    p_ = o.p_;
    o.p_ = p;
    const size_t n = n_;
    n_ = o.n_;
    o.n_ = n;
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
