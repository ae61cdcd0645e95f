// The one source of randomness: the C library's rand() sequence, seeded once.
// Users compare runs draw for draw, so every draw of the search goes through
// the generator object of the search state; tests substitute a scripted one.
//
// Two generators give that sequence:
//  - FeedbackRand carries the sequence of the GNU C library's rand() in the
//    object itself: no lock per draw, and searches in one process do not
//    share a stream.
//  - CRand calls srand()/rand(), for C libraries whose sequence differs.
// feedback_rand_matches_c_library() tells at start-up which one applies; the
// engine (mavu/engine_run.h) then runs the search compiled for it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

struct CRand {
  void seed(unsigned s) { std::srand(s); }
  int operator()() { return std::rand(); }
};

// Additive lagged feedback generator r[i] = r[i-3] + r[i-31] (mod 2^32),
// output r[i] >> 1.  The 31 initial words come from the seed by the
// multiplicative congruential step 16807 * x mod (2^31 - 1) in signed 32-bit
// arithmetic (Schrage's method), and the first 310 outputs are discarded.
// The last 32 words sit in a ring indexed by the low five bits of a running
// counter, so a draw is two loads, an add and a store without a branch.
class FeedbackRand {
 public:
  void seed(unsigned s) {
    int32_t init[34];
    init[0] = static_cast<int32_t>(s == 0 ? 1u : s);
    for (int i = 1; i < 31; i++) {
      const int64_t word = init[i - 1];
      const int64_t hi = word / 127773, lo = word % 127773;
      int64_t next = 16807 * lo - 2836 * hi;
      if (next < 0) next += 2147483647;
      init[i] = static_cast<int32_t>(next);
    }
    // The recurrence starts at r[34]; r[31..33] repeat r[0..2].
    for (int i = 31; i < 34; i++) init[i] = init[i - 31];
    for (int i = 2; i < 34; i++) ring_[i & 31] = static_cast<uint32_t>(init[i]);
    next_ = 34;
    for (int i = 0; i < 310; i++) (*this)();
  }

  int operator()() {
    const uint32_t value = ring_[(next_ - 3) & 31] + ring_[(next_ - 31) & 31];
    ring_[next_ & 31] = value;
    next_++;  // wraps at 2^32, a multiple of the ring size
    return static_cast<int>(value >> 1);
  }

 private:
  uint32_t ring_[32] = {};
  uint32_t next_ = 34;  // index of the next word of the sequence
};

// True when FeedbackRand seeded with `seed` gives the same first draws as the
// C library's srand(seed)/rand().  The C library is seeded again afterwards,
// so a caller that goes on with rand() sees the stream from its start.
inline bool feedback_rand_matches_c_library(unsigned seed) {
  constexpr int kDraws = 64;
  FeedbackRand own;
  own.seed(seed);
  std::srand(seed);
  bool same = true;
  for (int i = 0; i < kDraws; i++) same &= own() == std::rand();
  std::srand(seed);
  return same;
}

// Remainders of draws by small divisors without a division instruction.
// With c = ceil(2^64 / k), for every 32-bit x and k >= 1 (Lemire, Kaser and
// Kurz, "Faster remainder by direct computation", 2019):
//  - x % k == 0 exactly when x * c mod 2^64 < c (one multiplication);
//  - x % k is the high 64 bits of (x * c mod 2^64) * k.
// The divisors of the search are counts bounded by the vertex count, so a
// table of c replaces a division per draw.
class DivisorTable {
 public:
  // Divisors 1 .. max_k.  False when memory is short.
  [[nodiscard]] bool init(int max_k) {
    try {
      c_.resize(static_cast<size_t>(max_k) + 1);
    } catch (const std::bad_alloc&) {
      return false;
    }
    c_[0] = 0;
    for (size_t k = 1; k < c_.size(); k++) c_[k] = UINT64_MAX / k + 1;
    return true;
  }
  bool divides(int k, uint32_t x) const { return x * c_[k] <= c_[k] - 1; }
  uint32_t mod(uint32_t x, int k) const {
    const uint64_t low = x * c_[k];
    return static_cast<uint32_t>((static_cast<unsigned __int128>(low) * static_cast<uint64_t>(k)) >> 64);
  }

 private:
  std::vector<uint64_t> c_;
};

// splitmix64: one step of the sequence the stages outside the specified
// searches draw from (the kernel local search, and the generators of test and
// benchmark graphs); the same on every platform.
inline uint64_t splitmix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
