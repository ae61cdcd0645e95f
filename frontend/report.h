// The report that experiment scripts collect (the check of the best set is
// in verify/check.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "graph/dense.h"
#include "graph/heap_array.h"
#include "frontend/params.h"
#include "verify/check.h"

// The words and precisions in which the two programs' outputs differ.
struct ProgramText {
  const char* name;          // first word of the usage line
  const char* solver_line;   // "@solver=..." line of the result block
  const char* objv_format;   // "#objv=..." line with the program's precision
  const char* progress_format;  // line every 100000 iterations: iteration, best size, best weight
  bool heading_with_size;    // "Final result(size %d):" rather than "Final solution:"
  double check_tolerance;    // tolerance of the final weight check for ordinary weights
};

// Tick difference -> seconds, rounded to single precision as the result block shows it.
float ticks_to_seconds(long ticks);

// The record of the best set as the search leaves it.
struct BestRecord {
  int* best_vertex;
  int size;
  double best_weight;
  int best_iter;
  long best_end_time;
  long start_time;
};

// Heading, the set sorted ascending (sorted in place), then the result block.
void print_final_set(const ProgramText& text, BestRecord& best, FILE* out);
void report_result(const ProgramText& text, const RunParams& p, const BestRecord& best, FILE* out);
