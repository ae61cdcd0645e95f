// When a stage of a run must end: a CPU-time limit on a clock, counted from a
// start, together with the run's stop flag and wall-clock deadline.  Every
// stage that can take long (reductions, exact solvers, searches, lifting)
// polls expired() every few thousand units of its work; a poll costs a read
// of the coarse monotonic clock while the limit is far and one exact read of
// the CPU clock when it is near (see cpu_clock.h), so a poll every
// microsecond or so is cheap.
//
// A stage given a share of the time gets within(seconds): the same clock,
// start, stop flag and wall deadline, and a limit that is the earlier of its
// share and the whole run's.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "core/cpu_clock.h"

class Deadline {
 public:
  // Limits above this many seconds count as none (the clock's float test
  // keeps single precision).
  static constexpr double kNoLimit = 1e9;

  // Never expires.
  Deadline() : Deadline(CLOCK_PROCESS_CPUTIME_ID, 0, kNoLimit) {}

  // `seconds` of CPU time on `clock` counted from `start_ticks` (ticks of
  // that clock, as cpu_ticks gives them; 0 for a process clock counts from
  // process start); `stop`, when given, ends it once nonzero;
  // `wall_deadline_ns`, a reading of the coarse monotonic clock, ends it too.
  // `abort`, when given, ends it once nonzero like `stop` (a second flag:
  // the library's own, next to a caller's stop token).
  Deadline(clockid_t clock, long start_ticks, double seconds, const std::atomic<int>* stop = nullptr,
           int64_t wall_deadline_ns = INT64_MAX, const std::atomic<int>* abort = nullptr)
      : stop_(stop), abort_(abort) {
    seconds_ = std::isnan(seconds) ? 0 : std::clamp(seconds, 0.0, kNoLimit);
    limit_ = make_cpu_limit(static_cast<float>(seconds_), clock, start_ticks);
    limit_.wall_deadline_ns = wall_deadline_ns;
  }

  // True once the limit is reached, the wall deadline has come or a stop
  // was asked for.  Once true it stays true (the clocks only advance; a stop
  // flag is not reset during a run).
  bool expired() {
    if (expired_) return true;
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed) != 0) return expired_ = true;
    if (abort_ != nullptr && abort_->load(std::memory_order_relaxed) != 0) return expired_ = true;
    if (!cpu_time_below_limit(limit_)) return expired_ = true;
    return false;
  }

  // True when a stop was asked for (not the clocks).
  bool stop_requested() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed) != 0; }

  // CPU seconds since the start of the measure.
  double elapsed() const {
    return static_cast<double>(cpu_ticks(limit_.clock) - limit_.start_ticks) / 1e6;
  }
  // CPU seconds left before the limit (0 when passed; kNoLimit or more when none).
  double remaining() const { return std::max(0.0, seconds_ - elapsed()); }
  // The limit, in CPU seconds from the start of the measure.
  double limit() const { return seconds_; }
  bool unlimited() const { return seconds_ >= kNoLimit; }

  // A deadline `seconds` of CPU from now, or this one when it comes first;
  // same clock, start, stop flag and wall deadline.
  Deadline within(double seconds) const {
    const double at = unlimited() && seconds >= kNoLimit ? kNoLimit : elapsed() + std::max(0.0, seconds);
    return Deadline(limit_.clock, limit_.start_ticks, std::min(seconds_, at), stop_, limit_.wall_deadline_ns, abort_);
  }

  clockid_t clock() const { return limit_.clock; }
  long start_ticks() const { return limit_.start_ticks; }
  const std::atomic<int>* stop_flag() const { return stop_; }
  int64_t wall_deadline_ns() const { return limit_.wall_deadline_ns; }

 private:
  CpuTimeLimit limit_;
  double seconds_ = kNoLimit;
  const std::atomic<int>* stop_ = nullptr;
  const std::atomic<int>* abort_ = nullptr;
  bool expired_ = false;
};
