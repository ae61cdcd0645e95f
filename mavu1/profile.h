// mavu1: gain-threshold partition, full scans, its constants and output words.
#pragma once

#include "core/partition.h"
#include "frontend/report.h"

struct Mavu1Profile : GainThresholdPartition {
  static constexpr double kStartBest = -2147483648.0;  // running best of a selection starts at -2^31
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
