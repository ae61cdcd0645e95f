#include "frontend/params.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const mavu::OptionSpec* option_of_letter(char letter) {
  for (const mavu::OptionSpec& o : mavu::kOptionTable)
    if (o.letter != 0 && o.letter == letter) return &o;
  return nullptr;
}

}  // namespace

ParseOutcome parse_parameters(int argc, char** argv, RunParams& p) {
  bool has_file = false, has_time = false;
  for (int i = 1; i < argc; i += 2) {
    const char* opt = argv[i];
    if (opt[0] != '-' || opt[1] == '\0' || opt[2] != '\0') return ParseOutcome::usage_ok;
    // An option in the last position has no value: refuse rather than read past argv.
    if (i + 1 >= argc) return ParseOutcome::usage_error;
    const char* val = argv[i + 1];
    const mavu::OptionSpec* o = option_of_letter(opt[1]);
    if (!o) continue;  // unknown letters are ignored with their value
    // Values are read as atoi/atof read them and kept as they are, in range or not.
    switch (o->id) {
      case mavu::OptionId::file:
        std::strncpy(p.para_file, val, 1000);
        p.para_file[1000] = '\0';
        has_file = true;
        break;
      case mavu::OptionId::seed: p.para_seed = std::atoi(val); break;
      case mavu::OptionId::target: p.para_opt = std::atof(val); break;
      case mavu::OptionId::depth: p.para_depth = std::atoi(val); break;
      case mavu::OptionId::directed_percent: p.para_directed_prob = std::atoi(val); break;
      case mavu::OptionId::time_limit:
        p.para_max_seond = std::atoi(val);
        has_time = true;
        break;
      case mavu::OptionId::max_iterations: p.para_max_iter = std::atoi(val); break;
      case mavu::OptionId::independent_set: p.para_complement = std::atoi(val); break;
      case mavu::OptionId::reduce: p.para_reduce = std::atoi(val); break;
      default: break;  // the library's options have no letter
    }
  }
  return (has_file && has_time) ? ParseOutcome::run : ParseOutcome::usage_error;
}

void show_usage(const char* program, FILE* out) {
  std::string line = program;
  for (const mavu::OptionSpec& o : mavu::kOptionTable) line += o.usage;
  std::fprintf(out, "%s\n", line.c_str());
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
