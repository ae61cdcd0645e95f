// Instance loader: reads an instance file (DIMACS, Matrix Market coordinate
// or METIS graph, recognised by their content, any of them gzip-compressed)
// into the conflict graph.
#pragma once

#include <string>

#include "graph/dense.h"
#include "readers/graph_builder.h"

enum class LoadStatus {
  ok,           // the conflict graph is built
  cannot_open,  // the message is "Can not open file <path>"
  invalid,      // the message is one line naming the file and the fault
};

// The outcome of a load.  The loader prints nothing: the caller decides where
// the message goes (the programs write it to standard error, with a newline).
struct LoadResult {
  LoadStatus status = LoadStatus::ok;
  std::string message;  // empty when the load succeeded; never ends with a newline
};

struct LoadOptions {
  InstanceMode mode = InstanceMode::clique;
  int max_vertices = kMaxVertices;  // larger graphs are refused with a message
};

// Loads `path` into `g`.
LoadResult load_conflict_graph(const char* path, ConflictGraph& g, const LoadOptions& options = {});

// Builds the conflict graph of an input graph given in memory: n vertices,
// `m` input edges as 0-based pairs (edges[2k], edges[2k+1]), distinct and
// without loops, and optional weights (nullptr: the default weights).
// Returns false when the input is not such a graph or memory is short.
bool build_conflict_graph(ConflictGraph& g, int n, const int* edges, long long m, const double* weights);

// A count word of the problem line: optional sign, then digits only
// (saturating far beyond any valid count).  False when it is not such a word.
bool parse_count_word(const char* s, size_t len, long long& out);
