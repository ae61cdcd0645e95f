// The CPU-time limit of the search loop, tested exactly but read cheaply.
//
// The loop ends at the first iteration at which the process CPU time, as
// clock() ticks converted to single precision, is no longer below the limit.
// clock() is a system call (about 0.65 us here), far too dear for every
// iteration.  The CPU time of a single-threaded process cannot advance faster
// than a monotonic wall clock, so after each exact read we know a span of
// wall-clock time during which the limit cannot be reached, and skip the
// exact read while a coarse monotonic clock (a memory read through the vDSO)
// shows we are inside it.  Margins cover the coarse clock's lag (two of its
// ticks) and a rate difference of up to 0.1 % between the two clocks.  The
// outcome is the same as reading clock() at every iteration.
#pragma once

#include <climits>
#include <cstdint>
#include <ctime>

struct CpuTimeLimit {
  int seconds = INT_MIN;                // limit the fields below were computed for
  long limit_ticks = 0;                 // smallest tick count at which the limit is reached
  int64_t safe_until_ns = INT64_MIN;    // coarse clock reading before which it cannot be
};

namespace cpu_clock_detail {

// The exact test, as the loop states it.
inline bool below_limit(int seconds, long ticks) {
  return static_cast<float>(seconds) > static_cast<float>(ticks) / 1000000.0f;
}

// Smallest tick count for which the exact test fails (it is monotone in ticks).
inline long first_tick_at_limit(int seconds) {
  if (!below_limit(seconds, 0)) return 0;
  long lo = 0, hi = 1;  // below_limit(lo) holds; find hi where it fails
  while (below_limit(seconds, hi)) hi *= 2;
  while (hi - lo > 1) {
    const long mid = lo + (hi - lo) / 2;
    (below_limit(seconds, mid) ? lo : hi) = mid;
  }
  return hi;
}

inline int64_t coarse_now_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

inline int64_t coarse_lag_ns() {
  static const int64_t lag = [] {
    timespec r;
    if (clock_getres(CLOCK_MONOTONIC_COARSE, &r) != 0) return int64_t{100000000};
    return 2 * (static_cast<int64_t>(r.tv_sec) * 1000000000 + r.tv_nsec);
  }();
  return lag;
}

}  // namespace cpu_clock_detail

// True while the process CPU time since start_time is below `seconds`.
inline bool cpu_time_below_limit(CpuTimeLimit& c, int seconds, long start_time) {
  using namespace cpu_clock_detail;
  const int64_t now = coarse_now_ns();
  if (now < c.safe_until_ns && c.seconds == seconds) return true;
  const long ticks = static_cast<long>(std::clock()) - start_time;
  if (!below_limit(seconds, ticks)) return false;
  if (c.seconds != seconds) {
    c.seconds = seconds;
    c.limit_ticks = first_tick_at_limit(seconds);
  }
  // clock() truncates to whole ticks, so less than one tick may already be spent.
  const int64_t remaining_ns = (static_cast<int64_t>(c.limit_ticks) - ticks - 1) * 1000;
  const int64_t span = remaining_ns - remaining_ns / 1000 - coarse_lag_ns();
  c.safe_until_ns = span > 0 ? now + span : INT64_MIN;
  return true;
}
