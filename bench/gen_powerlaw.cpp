// Writes a Chung-Lu power-law graph with a planted heavy clique, in DIMACS:
//
//   gen_powerlaw N M K SEED OUT
//
// N vertices, about M distinct edges (M endpoint pairs are drawn, each end
// with probability proportional to i^(-1/(beta-1)), beta = 2.5, for vertex
// i in a shuffled order; repeats and loops are dropped), plus a clique on K
// vertices drawn uniformly.  No weight records: the default weights
// (i mod 200) + 1 apply.  Deterministic for its arguments (its own generator; no
// library distribution).  The comment line names the planted clique's weight,
// a lower bound of the optimum.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/rng.h"

namespace {

struct SplitMix {
  uint64_t s;
  uint64_t next() { return splitmix64(s); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  uint64_t below(uint64_t n) { return next() % n; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: gen_powerlaw N M K SEED OUT\n");
    return 2;
  }
  const long long n = std::atoll(argv[1]), m = std::atoll(argv[2]), k = std::atoll(argv[3]);
  SplitMix rng{static_cast<uint64_t>(std::atoll(argv[4]))};
  if (n < 2 || n > 4294967295LL || m < 0 || k < 0 || k > n) {
    std::fprintf(stderr, "gen_powerlaw: need 2 <= N < 2^32, M >= 0, 0 <= K <= N\n");
    return 2;
  }
  // Expected degrees i^(-1/(beta-1)) over a shuffled vertex order; cumulative for the draws.
  std::vector<uint32_t> order(static_cast<size_t>(n));
  for (long long i = 0; i < n; i++) order[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
  for (long long i = n - 1; i > 0; i--) std::swap(order[static_cast<size_t>(i)], order[rng.below(static_cast<uint64_t>(i + 1))]);
  std::vector<double> cumulative(static_cast<size_t>(n));
  double total = 0;
  for (long long i = 0; i < n; i++) cumulative[static_cast<size_t>(i)] = total += std::pow(static_cast<double>(i + 1), -1.0 / 1.5);
  auto draw = [&] {
    const double x = rng.unit() * total;
    const size_t i = static_cast<size_t>(std::upper_bound(cumulative.begin(), cumulative.end(), x) - cumulative.begin());
    return order[std::min(i, static_cast<size_t>(n - 1))];
  };
  std::vector<uint64_t> keys;
  keys.reserve(static_cast<size_t>(m + k * k / 2));
  for (long long e = 0; e < m; e++) {
    const uint64_t a = draw(), b = draw();
    if (a != b) keys.push_back(std::min(a, b) << 32 | std::max(a, b));
  }
  // The planted clique: K distinct 0-based vertices (file vertex v + 1 weighs ((v + 1) mod 200) + 1).
  std::vector<uint64_t> clique;
  long long weight = 0;
  while (static_cast<long long>(clique.size()) < k) {
    const uint64_t v = rng.below(static_cast<uint64_t>(n));
    if (std::find(clique.begin(), clique.end(), v) != clique.end()) continue;
    clique.push_back(v);
    weight += static_cast<long long>((v + 1) % 200) + 1;
  }
  for (size_t i = 0; i < clique.size(); i++)
    for (size_t j = i + 1; j < clique.size(); j++)
      keys.push_back(std::min(clique[i], clique[j]) << 32 | std::max(clique[i], clique[j]));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  FILE* out = std::fopen(argv[5], "w");
  if (!out) return 1;
  std::fprintf(out, "c Chung-Lu beta 2.5, %lld vertices, %lld draws, seed %s; planted clique of %lld vertices weighing %lld\n",
               n, m, argv[4], k, weight);
  std::fprintf(out, "p edge %lld %zu\n", n, keys.size());
  for (uint64_t key : keys) std::fprintf(out, "e %llu %llu\n", (unsigned long long)(key >> 32) + 1, (unsigned long long)(key & 0xffffffffu) + 1);
  return std::fclose(out) == 0 ? 0 : 1;
}
