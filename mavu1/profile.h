// mavu1: gain-threshold partition, full scans, its constants and output words.
#pragma once

#include <limits>

#include "core/partition.h"
#include "frontend/report.h"

struct Mavu1Profile : GainThresholdPartition {
  // The running best of a selection starts below every gain, so the first
  // eligible member opens the run whatever the magnitude of the weights.
  static constexpr double kStartBest = -std::numeric_limits<double>::infinity();
  static constexpr double kTieTolerance = 1e-8;
  static constexpr ProgramText kText = {
      "mavu1",
      "@solver=mwcp",
      "#objv=%f\n",
      "ITER %d, best size %d  best weight %f\n",
      true,
      1e-8,
  };
};
