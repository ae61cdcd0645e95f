// The options of a solve, written once: name, command-line letter, default,
// range and meaning.  The programs' command line (parser and usage line), the
// library's Options defaults and range checks, the Python module's defaults
// and the documentation's option table are all read from here.
//
// Ranges are what the library and the Python module accept; out of range,
// they refuse with Status::invalid_options (ValueError) and a message that
// names the option and its range.  The programs read their values with
// atoi/atof and keep whatever they get, as they always have.
#pragma once

#include <climits>
#include <limits>

namespace mavu {

enum class OptionId {
  file,
  time_limit,
  seed,
  target,
  depth,
  directed_percent,
  max_iterations,
  independent_set,
  reduce,
  program,
  wall_time_limit,
  threads,
};

struct OptionSpec {
  OptionId id;
  const char* name;          // member of mavu::Options and Python keyword
  char letter;               // the programs' option letter; 0: library only
  double default_value;      // NaN: no numeric default (a path, a program name)
  double min, max;           // accepted range, both ends included
  const char* default_text;  // the default as the documentation shows it
  const char* range_text;    // the range as messages and documentation show it
  const char* meaning;
  const char* usage;         // its part of the programs' usage line ("" when absent)
};

// The iteration counter of the search is an int, so the largest iteration
// limit, 2^31 - 1, is also "no limit": about 30 minutes at 1.2 million
// iterations per second.  Python's max_iterations=None stands for it.
inline constexpr int kNoIterationLimit = INT_MAX;

namespace option_detail {
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kIntMax = INT_MAX;
inline constexpr double kIntMin = INT_MIN;
}  // namespace option_detail

// In the order of the usage line; OptionId indexes it.
inline constexpr OptionSpec kOptionTable[] = {
    {OptionId::file, "file", 'f', option_detail::kNone, 0, 0, "none", "a path",
     "instance file: DIMACS, Matrix Market or METIS, plain or gzip-compressed (mandatory)", " -f <filename>"},
    {OptionId::time_limit, "time_limit", 't', 999999999, 0, option_detail::kInf, "none", "0 .. inf",
     "limit of process CPU time in seconds, loading included (mandatory)", " -t <max time>"},
    {OptionId::seed, "seed", 's', 533875888, option_detail::kIntMin, option_detail::kIntMax, "533875888",
     "-2147483648 .. 2147483647", "seed of the C library's random generator", " [-s <seed>"},
    {OptionId::target, "target", 'o', option_detail::kInf, -option_detail::kInf, option_detail::kInf, "none",
     "any number", "target weight: stop as soon as a new best set reaches it", " -o <best know result>]"},
    {OptionId::depth, "depth", 'l', 4000, 0, option_detail::kIntMax, "4000", "0 .. 2147483647",
     "tabu depth: restart after more than this many iterations without a new best", " [-l <tabu depth>]"},
    {OptionId::directed_percent, "directed_percent", 'p', 70, 0, 100, "70", "0 .. 100",
     "percent of restarts that are directed (the rest restart from scratch)", " [-p <rho * 100>]"},
    {OptionId::max_iterations, "max_iterations", 'i', 100000000, 0, option_detail::kIntMax, "100000000",
     "0 .. 2147483647", "iteration limit", " [-i <max iteration>]"},
    {OptionId::independent_set, "independent_set", 'c', 0, 0, 1, "0", "0 .. 1",
     "1: the file's edges are conflicts: search a maximum weight independent set of the file's graph", ""},
    {OptionId::reduce, "reduce", 'r', option_detail::kNone, 0, 1, "with -c 1; cliques: sparse (1000 vertices or more, average degree below n/20) or very large graphs",
     "0 .. 1, or none (automatic)",
     "1: reduce the graph first, solve exactly or search only the kernel, end at the proof; 0: never (the search of the whole conflict graph)", ""},
    {OptionId::program, "program", 0, option_detail::kNone, 0, 0, "mavu1", "mavu1 or mavu2",
     "the search: mavu1 (adaptive gain threshold) or mavu2 (for large sparse graphs)", ""},
    {OptionId::wall_time_limit, "wall_time_limit", 0, option_detail::kInf, 0, option_detail::kInf, "none",
     "0 .. inf", "limit of wall-clock seconds of the solve", ""},
    {OptionId::threads, "threads", 0, 0, 0, 1024, "0", "0 .. 1024",
     "threads of a solve with several seeds; 0: one per processor core", ""},
};

inline constexpr int kOptionCount = static_cast<int>(sizeof kOptionTable / sizeof kOptionTable[0]);

constexpr const OptionSpec& option_spec(OptionId id) { return kOptionTable[static_cast<int>(id)]; }

// The default of a numeric option, converted to the type of its member.
template <class T>
constexpr T option_default(OptionId id) {
  return static_cast<T>(option_spec(id).default_value);
}

static_assert([] {
  for (int i = 0; i < kOptionCount; i++)
    if (static_cast<int>(kOptionTable[i].id) != i) return false;
  return true;
}(), "kOptionTable is indexed by OptionId");

}  // namespace mavu
