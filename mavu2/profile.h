// mavu2: conflict-threshold partition, sampled last list, its constants and output words.
#pragma once

#include <limits>

#include "core/partition.h"
#include "frontend/report.h"

struct Mavu2Profile : ConflictThresholdPartition {
  // The running best of a selection starts below every gain, so the first
  // eligible member opens the run whatever the magnitude of the weights.
  static constexpr double kStartBest = -std::numeric_limits<double>::infinity();
  static constexpr double kTieTolerance = 1e-5;
  static constexpr int kRestSample = 50;              // draws from rest_lst per selection
  static constexpr ProgramText kText = {
      "mavu2",
      "@solver=mavu2",
      "#objv=%.5f\n",
      "ITER %d, best size %d  best weight %.4f\n",
      false,
      1e-5,
  };
};
