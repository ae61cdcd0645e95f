// The search state's own generator against the C library's rand(): same
// stream for every seed, over a long run, and the start-up check leaves the
// C library's stream where a fresh srand() puts it.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "core/rng.h"

namespace {

#ifdef __GLIBC__
constexpr bool kCLibraryIsGnu = true;
#else
constexpr bool kCLibraryIsGnu = false;
#endif

// Index of the first draw that differs from rand(), or -1.
long first_difference(unsigned seed, long draws) {
  FeedbackRand own;
  own.seed(seed);
  std::srand(seed);
  for (long i = 0; i < draws; i++)
    if (own() != std::rand()) return i;
  return -1;
}

TEST(FeedbackRand, ReproducesTheCLibraryStream) {
  if (!kCLibraryIsGnu) GTEST_SKIP() << "the C library's rand() is another generator";
  std::vector<unsigned> seeds = {0u, 1u, 2u, 31u, 127773u, 2147483646u, static_cast<unsigned>(INT_MAX),
                                 static_cast<unsigned>(INT_MIN), static_cast<unsigned>(-1),
                                 static_cast<unsigned>(-127773), UINT_MAX - 1};
  std::mt19937 gen(2024);
  for (int i = 0; i < 200; i++) seeds.push_back(gen());
  for (unsigned seed : seeds) EXPECT_EQ(first_difference(seed, 2000), -1) << "seed " << seed;
  // A long stream wraps the ring's counter index many times over.
  EXPECT_EQ(first_difference(1u, 5'000'000), -1);
  EXPECT_EQ(first_difference(static_cast<unsigned>(-7), 5'000'000), -1);
}

TEST(FeedbackRand, StartUpCheckChoosesItAndRestartsTheCLibraryStream) {
  for (unsigned seed : {0u, 1u, 77u, static_cast<unsigned>(-3)}) {
    std::srand(seed);
    const int first = std::rand(), second = std::rand();
    std::srand(seed + 1);
    EXPECT_EQ(feedback_rand_matches_c_library(seed), kCLibraryIsGnu);
    EXPECT_EQ(std::rand(), first) << "seed " << seed;
    EXPECT_EQ(std::rand(), second) << "seed " << seed;
  }
}

// Two generators in one process draw independent streams.
TEST(FeedbackRand, StreamsOfTwoObjectsDoNotInterfere) {
  FeedbackRand a, b, alone;
  a.seed(5), b.seed(6), alone.seed(5);
  for (int i = 0; i < 1000; i++) {
    b();
    ASSERT_EQ(a(), alone()) << "draw " << i;
  }
}

}  // namespace

namespace {

TEST(DivisorTable, RemaindersAndDivisibilityMatchTheDivision) {
  DivisorTable div;
  ASSERT_TRUE(div.init(46342));
  std::mt19937 gen(11);
  for (uint32_t k = 1; k <= 46342; k += k < 400 ? 1 : 89) {
    for (uint32_t x : {0u, 1u, k - 1, k, k + 1, 2 * k, 2147483647u, UINT32_MAX, static_cast<uint32_t>(gen()),
                       static_cast<uint32_t>(gen()) / k * k}) {
      ASSERT_EQ(div.mod(x, static_cast<int>(k)), x % k) << x << " mod " << k;
      ASSERT_EQ(div.divides(static_cast<int>(k), x), x % k == 0) << x << " mod " << k;
    }
  }
}

}  // namespace
