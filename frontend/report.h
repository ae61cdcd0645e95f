// Verification of the best set and the report that experiment scripts collect.
#pragma once

#include <cstdio>

#include "graph/dense.h"
#include "frontend/params.h"

// The words and precisions in which the two programs' outputs differ.
struct ProgramText {
  const char* name;          // first word of the usage line
  const char* solver_line;   // "@solver=..." line of the result block
  const char* objv_format;   // "#objv=..." line with the program's precision
  const char* progress_format;  // line every 100000 iterations: iteration, best size, best weight
  bool heading_with_size;    // "Final result(size %d):" rather than "Final solution:"
  double check_tolerance;    // tolerance of the final weight check for ordinary weights
};

// 1 when the listed vertices are pairwise conflict-free and their weights, summed
// in list order, lie strictly within `tolerance` of `weight`; else 0.
int check_solution(const ConflictGraph& g, const int* vertices, int count, double weight, double tolerance);

// The tolerance of the final check of a set recorded at iteration best_iter
// on the n given weights: `base` while rounding cannot reach it, else a bound
// on the rounding of the search's running set weight (see report.cpp).
double check_tolerance(double base, const double* weights, int n, int best_iter);

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
