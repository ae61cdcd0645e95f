// Run parameters and the command line.
#pragma once

#include <cstdio>

#include "core/params.h"
#include "mavu/options.h"

// The search parameters plus the instance path.
struct RunParams : SearchParams {
  char para_file[1024] = "";  // -f: instance path (at most 1000 characters kept)
  int para_complement = 0;    // -c: nonzero: the file's edges are conflicts (independent-set mode)
  // -r: nonzero: reduce the instance before the search; 0: never;
  // not given (kReduceAutomatic): independent-set runs are reduced, clique runs
  // where the graph is sparse or too large for its conflict graph
  // (reduced_by_default).
  int para_reduce = kReduceAutomatic;
  static constexpr int kReduceAutomatic = -2147483647 - 1;
};

// The options, their letters, meanings, defaults and usage-line parts are
// the table of mavu/options.h; the parser and the usage line read it.

enum class ParseOutcome {
  run,          // parameters accepted
  usage_ok,     // malformed option: usage line, exit status 0
  usage_error,  // a mandatory option missing or a value missing: usage line, exit status 1
};

// Parses argv into p without printing anything.
ParseOutcome parse_parameters(int argc, char** argv, RunParams& p);

// The usage line of the program named `program` ("mavu1" or "mavu2").
void show_usage(const char* program, FILE* out);

// The four echo lines of an accepted command line.
void print_parameter_echo(const RunParams& p, FILE* out);

// Parses, and on a malformed command line prints the usage line and ends the
// process (status 0 or 1); otherwise prints the echo and returns.
void read_parameters(int argc, char** argv, RunParams& p, const char* program);
