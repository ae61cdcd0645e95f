// Fuzz target of the command line: the bytes, split at NUL bytes, are the
// arguments after the program name.  parse_parameters must accept or refuse
// any argument vector without reading outside it, and an accepted one must
// hold the mandatory options and a terminated, bounded file name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every argument in its own heap block, so that reading past one is caught.
  std::vector<char*> argv;
  argv.push_back(strdup("mavu1"));
  size_t start = 0;
  for (size_t i = 0; i <= size; i++) {
    if (i == size || data[i] == 0) {
      if (i == size && start == size) break;  // no empty argument after a final NUL
      char* arg = static_cast<char*>(std::malloc(i - start + 1));
      std::memcpy(arg, data + start, i - start);
      arg[i - start] = '\0';
      argv.push_back(arg);
      start = i + 1;
    }
  }
  const int argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);

  RunParams p;
  const ParseOutcome out = parse_parameters(argc, argv.data(), p);
  if (std::memchr(p.para_file, '\0', 1001) == nullptr) {
    std::fprintf(stderr, "para_file is not terminated within 1001 characters\n");
    std::abort();
  }
  if (out == ParseOutcome::run) {
    bool has_f = false, has_t = false;
    for (int i = 1; i + 1 < argc; i += 2) {
      has_f |= std::strcmp(argv[i], "-f") == 0;
      has_t |= std::strcmp(argv[i], "-t") == 0;
    }
    if (!has_f || !has_t) {
      std::fprintf(stderr, "accepted without -f and -t\n");
      std::abort();
    }
    // The echo and the usage line format every value; write them nowhere.
    static FILE* sink = std::fopen("/dev/null", "w");
    print_parameter_echo(p, sink);
    show_usage("mavu1", sink);
  }
  for (char* a : argv) std::free(a);
  return 0;
}
