// Run parameters and the command line.
#pragma once

#include <cstdio>

#include "core/params.h"

// The search parameters plus the instance path.
struct RunParams : SearchParams {
  char para_file[1024] = "";  // -f: instance path (at most 1000 characters kept)
  int para_complement = 0;    // -c: nonzero: the file's edges are conflicts (independent-set mode)
  // -r: nonzero: reduce a clique instance before the search; 0: never;
  // not given (kReduceAutomatic): only an instance too large for its conflict graph.
  int para_reduce = kReduceAutomatic;
  static constexpr int kReduceAutomatic = -2147483647 - 1;
};

// Every option's letter, help and default in one table; the usage line and
// the README are checked against it.

struct OptionInfo {
  char letter;
  const char* help;
  const char* default_text;
  bool in_usage_line = true;  // the usage line predates the later options and stays as it is
};
inline constexpr OptionInfo kOptions[] = {
    {'f', "instance file: DIMACS, Matrix Market or METIS, plain or gzip-compressed (mandatory)", "none"},
    {'t', "limit of process CPU time in seconds, loading included (mandatory)", "none"},
    {'s', "seed of the C library's random generator", "533875888"},
    {'o', "target weight: stop as soon as a new best set reaches it", "none"},
    {'l', "tabu depth: restart after more than this many iterations without a new best", "4000"},
    {'p', "percent of restarts that are directed (the rest restart from scratch)", "70"},
    {'i', "iteration limit", "100000000"},
    {'c', "1: search a maximum weight independent set of the file's graph (its edges are the conflicts)", "0",
     false},
    {'r', "1: reduce the clique instance first and search only the kernel; 0: never", "only graphs too large otherwise",
     false},
};

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
