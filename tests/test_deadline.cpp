// The deadline every stage polls: a share never outlives the whole, a stop
// request ends it at once, and it ends within a poll of its limit.
#include <gtest/gtest.h>

#include <atomic>

#include "core/deadline.h"

namespace {

// Spins on the thread's CPU clock until d expires; the CPU seconds it took.
double spin_until_expired(Deadline& d) {
  const long start = cpu_ticks(CLOCK_THREAD_CPUTIME_ID);
  volatile unsigned sink = 0;
  while (!d.expired())
    for (int i = 0; i < 1000; i++) sink = sink + static_cast<unsigned>(i);
  return static_cast<double>(cpu_ticks(CLOCK_THREAD_CPUTIME_ID) - start) / 1e6;
}

TEST(Deadline, EndsAtItsLimitAndAShareEndsNoLaterThanTheWhole) {
  const long now = cpu_ticks(CLOCK_THREAD_CPUTIME_ID);
  Deadline whole(CLOCK_THREAD_CPUTIME_ID, now, 0.05);
  Deadline longer_share = whole.within(10.0);
  EXPECT_LE(longer_share.limit(), whole.limit());
  const double spent = spin_until_expired(longer_share);
  EXPECT_GE(spent, 0.049);
  EXPECT_LT(spent, 0.5);
  EXPECT_TRUE(whole.expired());
  Deadline share = Deadline(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), 100.0).within(0.02);
  const double share_spent = spin_until_expired(share);
  EXPECT_GE(share_spent, 0.019);
  EXPECT_LT(share_spent, 0.5);
}

TEST(Deadline, AStopRequestEndsEveryShareAndNoLimitNeverEnds) {
  std::atomic<int> stop{0};
  Deadline d(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), Deadline::kNoLimit, &stop);
  Deadline share = d.within(Deadline::kNoLimit);
  EXPECT_TRUE(share.unlimited());
  EXPECT_FALSE(d.expired());
  EXPECT_FALSE(share.expired());
  stop = 2;
  EXPECT_TRUE(share.expired());
  EXPECT_TRUE(d.expired());
  EXPECT_TRUE(d.stop_requested());
  EXPECT_FALSE(Deadline().expired());
  EXPECT_TRUE(Deadline(CLOCK_THREAD_CPUTIME_ID, cpu_ticks(CLOCK_THREAD_CPUTIME_ID), 0).expired());
}

}  // namespace
