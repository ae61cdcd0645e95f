// Instance loader: reads an instance file (DIMACS, Matrix Market coordinate
// or METIS graph, recognised by their content, any of them gzip-compressed)
// into the conflict graph.
#pragma once

#include <string>

#include "graph/dense.h"
#include "graph/sparse.h"
#include "readers/graph_builder.h"

enum class LoadStatus {
  ok,           // the conflict graph is built
  cannot_open,  // the message is "Can not open file <path>"
  invalid,      // the message is one line naming the file and the fault
  out_of_memory,  // the graph does not fit: one line naming the file and the memory it needs
};

// The outcome of a load.  The loader prints nothing: the caller decides where
// the message goes (the programs write it to standard error, with a newline).
struct LoadResult {
  LoadStatus status = LoadStatus::ok;
  std::string message;  // empty when the load succeeded; never ends with a newline
};

// The layout a run asks for: MAVU_LAYOUT=dense|sparse forces one; unset, empty
// or auto, the loader chooses (see choose_layout).
enum class LayoutRequest { automatic, dense, sparse };
// False when `text` names no layout.
bool parse_layout_request(const char* text, LayoutRequest& out);

enum class GraphLayout { dense, sparse16, sparse32 };

// The layout of a conflict graph of n vertices and n_edge conflict edges:
// the request when it forces one, else the bit matrix where both layouts
// can hold the graph and the average conflict degree is at least
// n / kSparseDegreeDivisor (there it is the faster, see docs/layouts.md), else the compressed layout, with 16-bit vertex numbers while
// n <= 65536.
inline constexpr long long kSparseDegreeDivisor = 16;
GraphLayout choose_layout(long long n, long long n_edge, LayoutRequest request);

// Conflict graphs of more than this many bytes are not built for a clique
// instance read with CliqueRead::input_graph_if_reduced.
inline constexpr unsigned long long kMaxConflictBytes = 2ull << 30;

// Whether the conflict graph of a clique instance of n vertices and m edges
// is too large to build: more than kMaxVertices vertices, or more than
// kMaxConflictBytes in the bit-matrix layout the loader builds it in.
bool conflict_graph_too_large(long long n, long long m);

// Whether a clique instance of n vertices and m edges is reduced when the
// run does not say (no -r): when its conflict graph is too large, and when
// the graph is sparse (an average degree below n / kReduceDegreeDivisor) and
// has at least kReduceMinVertices vertices.  Measured (docs/reduction.md):
// on such graphs the reduction leaves a small kernel, or none, and proves
// the optimum, where the search on the complement takes hundreds of
// megabytes and seconds; every classic dense benchmark graph (the DIMACS
// and BHOSLIB sets, the sparsest a c-fat graph of 500 vertices and average
// degree 18) stays on the search of its conflict graph.
inline constexpr long long kReduceMinVertices = 1000;
inline constexpr long long kReduceDegreeDivisor = 32;
bool reduced_by_default(long long n, long long m);

// What load_graph builds for a clique instance: its conflict graph (the
// search's input), or its input graph (the compressed layout holding the
// file's edges as lists, as for an independent-set instance, for the
// reduction of mavu/reduce/), or the input graph only where the run reduces
// by default (reduced_by_default).
enum class CliqueRead { conflict_graph, input_graph, input_graph_if_reduced };

struct LoadOptions {
  InstanceMode mode = InstanceMode::clique;
  int max_vertices = kMaxVertices;  // larger graphs are refused with a message (load_conflict_graph)
  LayoutRequest layout = LayoutRequest::automatic;  // load_graph
  CliqueRead clique_read = CliqueRead::conflict_graph;  // load_graph, clique instances
};

// The conflict graph in the layout the loader chose; only that member is built.
struct LoadedGraph {
  GraphLayout layout = GraphLayout::dense;
  bool input_graph = false;  // a clique instance's input graph (CliqueRead): the lists are the file's edges
  ConflictGraph dense;
  SparseConflictGraph<uint16_t> sparse16;
  SparseConflictGraph<uint32_t> sparse32;
};

// Calls f with the member of `g` that the loader built (the search and the
// check are compiled once per layout; this is the one place that picks).
template <class F>
decltype(auto) visit_layout(const LoadedGraph& g, F&& f) {
  switch (g.layout) {
    case GraphLayout::sparse16: return f(g.sparse16);
    case GraphLayout::sparse32: return f(g.sparse32);
    case GraphLayout::dense: break;
  }
  return f(g.dense);
}

// Loads `path` into the layout chosen for it from the counts of its header.
// A clique instance is built through the bit matrix (at most 46341
// vertices); an independent-set instance (-c 1) in the compressed layout
// goes straight from the file's edges to the lists, up to 2^31 - 1 vertices.
LoadResult load_graph(const char* path, LoadedGraph& g, const LoadOptions& options);

// Loads `path` into `g`, always the bit-matrix layout.
LoadResult load_conflict_graph(const char* path, ConflictGraph& g, const LoadOptions& options = {});

// Builds the conflict graph of an input graph given in memory: n vertices,
// `m` input edges as 0-based pairs (edges[2k], edges[2k+1]), distinct and
// without loops, and optional weights (nullptr: the default weights).
// Returns false when the input is not such a graph or memory is short.
bool build_conflict_graph(ConflictGraph& g, int n, const int* edges, long long m, const double* weights);
