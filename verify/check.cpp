#include "verify/check.h"

#include <algorithm>
#include <cmath>

// The search keeps the weight of C as a running sum, one rounded addition or
// subtraction of a vertex weight per vertex added or dropped, and resets it
// to 0 only on a random restart.  Every partial sum is the weight of a set,
// at most W, the total of all weights.
//  - Integer weights with W < 2^53: every partial sum is an integer that a
//    double holds exactly, in the search and in check_solution; nothing
//    rounds and `base` stands.  (Rounding is monotone, so the total computed
//    here is below 2^53 exactly when W is.)
//  - Otherwise each operation errs by at most u*W (u = 2^-53, plus the error
//    so far, which stays far below W).  Up to the record at best_iter there
//    were at most best_iter + 1 restarts, each adding at most n vertices,
//    and one added vertex per iteration; no vertex is dropped more often than
//    added, so k = 2(best_iter + 1)(n + 1) operations at most, and check_solution
//    adds n more.  While k*u <= 1/2 (best_iter < 2^31 and n below 10^6) the
//    error, at most k*u*W / (1 - k*u) plus n*u*W for the check's own sum, is
//    below 2*u*W*(k + n): the bound returned when it exceeds `base`.
double check_tolerance(double base, const double* weights, int n, int best_iter) {
  double total = 0.0;
  bool integral = true;
  for (int i = 0; i < n; i++) {
    total += std::fabs(weights[i]);
    integral = integral && std::trunc(weights[i]) == weights[i];
  }
  constexpr double kExactLimit = 9007199254740992.0;  // 2^53
  constexpr double kUnitRoundoff = 0x1p-53;
  if (integral && total < kExactLimit) return base;
  const double ops = 2.0 * (static_cast<double>(best_iter) + 1.0) * (n + 1.0) + n;
  return std::max(base, 2.0 * kUnitRoundoff * total * ops);
}
