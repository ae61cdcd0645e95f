#include "frontend/params.h"

#include <cstdlib>
#include <cstring>

ParseOutcome parse_parameters(int argc, char** argv, RunParams& p) {
  bool has_file = false, has_time = false;
  for (int i = 1; i < argc; i += 2) {
    const char* opt = argv[i];
    if (opt[0] != '-' || opt[1] == '\0' || opt[2] != '\0') return ParseOutcome::usage_ok;
    // An option in the last position has no value: refuse rather than read past argv.
    if (i + 1 >= argc) return ParseOutcome::usage_error;
    const char* val = argv[i + 1];
    switch (opt[1]) {
      case 'f':
        std::strncpy(p.para_file, val, 1000);
        p.para_file[1000] = '\0';
        has_file = true;
        break;
      case 's': p.para_seed = std::atoi(val); break;
      case 'o': p.para_opt = std::atof(val); break;
      case 'l': p.para_depth = std::atoi(val); break;
      case 'p': p.para_directed_prob = std::atoi(val); break;
      case 't':
        p.para_max_seond = std::atoi(val);
        has_time = true;
        break;
      case 'i': p.para_max_iter = std::atoi(val); break;
      case 'c': p.para_complement = std::atoi(val); break;
      case 'r': p.para_reduce = std::atoi(val); break;
      default: break;  // unknown letters are ignored with their value
    }
  }
  return (has_file && has_time) ? ParseOutcome::run : ParseOutcome::usage_error;
}

void show_usage(const char* program, FILE* out) {
  std::fprintf(out,
               "%s -f <filename> -t <max time> [-s <seed> -o <best know result>] [-l <tabu depth>] "
               "[-p <rho * 100>] [-i <max iteration>]\n",
               program);
}

void print_parameter_echo(const RunParams& p, FILE* out) {
  std::fprintf(out, "stop condition: less than %d seconds and %d iterations\n", p.para_max_seond, p.para_max_iter);
  std::fprintf(out, "seed: %d\n", p.para_seed);
  std::fprintf(out, "tabu depth: %d\n", p.para_depth);
  std::fprintf(out, "direct start probability: %d/100\n", p.para_directed_prob);
}

void read_parameters(int argc, char** argv, RunParams& p, const char* program) {
  switch (parse_parameters(argc, argv, p)) {
    case ParseOutcome::usage_ok: show_usage(program, stderr); std::exit(0);
    case ParseOutcome::usage_error: show_usage(program, stderr); std::exit(1);
    case ParseOutcome::run: break;
  }
  print_parameter_echo(p, stdout);
}
