// The check of a reported set against the conflict graph, the step between
// the search and the report, for the programs and the library alike.
#pragma once

#include "graph/dense.h"

// 1 when the listed vertices are pairwise conflict-free and their weights, summed
// in list order, lie strictly within `tolerance` of `weight`; else 0.
int check_solution(const ConflictGraph& g, const int* vertices, int count, double weight, double tolerance);

// The tolerance of the final check of a set recorded at iteration best_iter
// on the n given weights: `base` while rounding cannot reach it, else a bound
// on the rounding of the search's running set weight (see check.cpp).
double check_tolerance(double base, const double* weights, int n, int best_iter);
