// The two search variants: everything in which mavu1's and mavu2's searches
// differ, as compile-time profiles of the one search loop (mavu/search.h).
//
//  - the partition of the non-improving moves into cand_lst and rest_lst
//    (GainThresholdPartition / ConflictThresholdPartition, mavu/partition.h);
//  - how rest_lst is searched when pos_lst and cand_lst yield nothing
//    (kRestSample: a full scan, or that many random draws);
//  - whether the gain threshold is estimated after the first construction and
//    moved every window of iterations (kAdaptiveThreshold);
//  - whether a directed restart starts from a cleared tabu list or clears it
//    after itself (kClearTabuBeforeDirected);
//  - the selection's start value and tie tolerance, and the tolerance of the
//    final check of the best set.
// The words the programs print belong to the report (frontend/report.h).
#pragma once

#include <limits>

#include "mavu/partition.h"

// mavu1: adaptive gain threshold, full scans.
struct Mavu1Profile : GainThresholdPartition {
  // The running best of a selection starts below every gain, so the first
  // eligible member opens the run whatever the magnitude of the weights.
  static constexpr double kStartBest = -std::numeric_limits<double>::infinity();
  static constexpr double kTieTolerance = 1e-8;
  static constexpr double kCheckTolerance = 1e-8;  // final check, ordinary weights
  static constexpr int kRestSample = 0;            // 0: rest_lst is scanned whole
  static constexpr bool kAdaptiveThreshold = true;
  // The directed restart sees the search's tabu marks; none survive it.
  static constexpr bool kClearTabuBeforeDirected = false;
};

// mavu2: fixed conflict-count threshold, sampled last list, for large
// real-life instances.
struct Mavu2Profile : ConflictThresholdPartition {
  static constexpr double kStartBest = -std::numeric_limits<double>::infinity();
  static constexpr double kTieTolerance = 1e-5;
  static constexpr double kCheckTolerance = 1e-5;
  static constexpr int kRestSample = 50;  // draws from rest_lst per selection
  static constexpr bool kAdaptiveThreshold = false;
  // The directed restart starts with no tabu vertex; its tenure-1 marks
  // survive into the next iteration.
  static constexpr bool kClearTabuBeforeDirected = true;
};
