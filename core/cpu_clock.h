// The CPU-time limit of the search loop, tested exactly but read cheaply.
//
// The loop ends at the first iteration at which the CPU time spent since the
// start, as microsecond ticks converted to single precision, is no longer
// below the limit.  The clock is the process's CPU clock for the programs
// (ticks equal to clock()'s, counted from process start) and the calling
// thread's CPU clock for a library solve (counted from the solve's start), so
// that solves in several threads do not share a clock.  Reading it is a
// system call (about 0.65 us here), far too dear for every iteration.  The
// CPU time of one thread, and of a single-threaded process, cannot advance
// faster than a monotonic wall clock, so after each exact read we know a span of
// wall-clock time during which the limit cannot be reached, and skip the
// exact read while a coarse monotonic clock (a memory read through the vDSO)
// shows we are inside it.  Margins cover the coarse clock's lag (two of its
// ticks) and a rate difference of up to 0.1 % between the two clocks.  The
// outcome is the same as reading clock() at every iteration.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <ctime>

// Microsecond ticks of a CPU clock; for CLOCK_PROCESS_CPUTIME_ID the value
// clock() returns.
inline long cpu_ticks(clockid_t clock) {
  timespec ts;
  if (clock_gettime(clock, &ts) != 0) return -1;
  return static_cast<long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

struct CpuTimeLimit {
  float seconds = 0;                    // the limit; the test compares in single precision
  clockid_t clock = CLOCK_PROCESS_CPUTIME_ID;
  long start_ticks = 0;                 // ticks of `clock` at the start of the measure
  long limit_ticks = 0;                 // smallest tick count since the start at which the limit is reached
  int64_t safe_until_ns = INT64_MIN;    // coarse clock reading before which it cannot be
  int64_t wall_deadline_ns = INT64_MAX; // coarse clock reading at which the loop ends
  int64_t next_tick_ns = INT64_MAX;     // coarse clock reading at which the next tick is due
  int64_t tick_interval_ns = 0;
};

namespace cpu_clock_detail {

// The exact test, as the loop states it.
inline bool below_limit(float seconds, long ticks) { return seconds > static_cast<float>(ticks) / 1000000.0f; }

// Smallest tick count for which the exact test fails (it is monotone in ticks).
// Limits up to 1e9 seconds are meant; callers clamp larger ones.
inline long first_tick_at_limit(float seconds) {
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

// The limit of `seconds` of CPU time on `clock`, counted from `start_ticks`.
inline CpuTimeLimit make_cpu_limit(float seconds, clockid_t clock, long start_ticks) {
  CpuTimeLimit c;
  c.seconds = seconds;
  c.clock = clock;
  c.start_ticks = start_ticks;
  c.limit_ticks = cpu_clock_detail::first_tick_at_limit(seconds);
  return c;
}

// Ends the loop `wall_seconds` of wall-clock time from now, and calls a tick
// every `tick_seconds` (0: none).
inline void set_wall_limits(CpuTimeLimit& c, double wall_seconds, double tick_seconds) {
  const int64_t now = cpu_clock_detail::coarse_now_ns();
  if (wall_seconds < 1e9) c.wall_deadline_ns = now + static_cast<int64_t>(wall_seconds * 1e9);
  if (tick_seconds > 0) {
    c.tick_interval_ns = static_cast<int64_t>(tick_seconds * 1e9);
    c.next_tick_ns = now + c.tick_interval_ns;
  }
}

struct NoTick {
  void operator()(long) const {}
};

namespace cpu_clock_detail {

// The exact read once the coarse clock has left the span known to be safe:
// rare (once for a long limit, every tick with a tick), so kept out of line,
// away from the loop.
template <class OnTick>
[[gnu::noinline, gnu::cold]] bool read_exactly(CpuTimeLimit& c, int64_t now, OnTick& on_tick) {
  if (now >= c.wall_deadline_ns) return false;
  const long ticks = cpu_ticks(c.clock) - c.start_ticks;
  if (!below_limit(c.seconds, ticks)) return false;
  if (now >= c.next_tick_ns) {
    on_tick(ticks);
    // The coarse clock may lag: its lag added, ticks are never closer than the interval.
    c.next_tick_ns = now + c.tick_interval_ns + coarse_lag_ns();
  }
  // The clock truncates to whole ticks, so less than one tick may already be spent.
  const int64_t remaining_ns = (static_cast<int64_t>(c.limit_ticks) - ticks - 1) * 1000;
  const int64_t span = remaining_ns - remaining_ns / 1000 - coarse_lag_ns();
  c.safe_until_ns = span > 0 ? std::min({now + span, c.wall_deadline_ns, c.next_tick_ns}) : INT64_MIN;
  return true;
}

}  // namespace cpu_clock_detail

// True while the CPU time since the start is below the limit (and the
// wall-clock deadline not reached); calls on_tick(CPU ticks since the start)
// when a tick is due.
template <class OnTick = NoTick>
inline bool cpu_time_below_limit(CpuTimeLimit& c, OnTick&& on_tick = {}) {
  const int64_t now = cpu_clock_detail::coarse_now_ns();
  if (now < c.safe_until_ns) [[likely]] return true;
  return cpu_clock_detail::read_exactly(c, now, on_tick);
}
