// The report that experiment scripts collect (the check of the best set is
// in verify/check.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "frontend/params.h"
#include "mavu/engine.h"

// The words and precisions in which the two programs' outputs differ.
struct ProgramText {
  const char* name;          // first word of the usage line
  const char* solver_line;   // "@solver=..." line of the result block
  const char* objv_format;   // "#objv=..." line with the program's precision
  const char* progress_format;  // line every 100000 iterations: iteration, best size, best weight
  bool heading_with_size;    // "Final result(size %d):" rather than "Final solution:"
};

inline constexpr ProgramText kMavu1Text = {
    "mavu1", "@solver=mwcp", "#objv=%f\n", "ITER %d, best size %d  best weight %f\n", true,
};
inline constexpr ProgramText kMavu2Text = {
    "mavu2", "@solver=mavu2", "#objv=%.5f\n", "ITER %d, best size %d  best weight %.4f\n", false,
};
constexpr const ProgramText& program_text(mavu::engine::Variant v) {
  return v == mavu::engine::Variant::mavu1 ? kMavu1Text : kMavu2Text;
}

// Tick difference -> seconds, rounded to single precision as the result block shows it.
float ticks_to_seconds(long ticks);

// Heading, the set sorted ascending (sorted in place), then the result block.
using mavu::engine::BestSet;
void print_final_set(const ProgramText& text, BestSet& best, FILE* out);
// What a run that reduced its instance adds to the result block: the
// vertices left for the search and whether the set is proven optimal.
struct ReductionSummary {
  long long kernel = 0;
  bool optimal = false;
};
void report_result(const ProgramText& text, const RunParams& p, const BestSet& best, FILE* out,
                   const ReductionSummary* reduction = nullptr);
