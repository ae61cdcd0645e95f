// Prints the set and weight of `mavu1 -f FILE -t ... -s 5 -i 20000` as mavu1 does;
// without FILE, the version of the header and of the CMake package it was built with.
#include <mavu/mavu.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc == 1) {
    std::printf("%s %s\n", MAVU_VERSION_STRING, MAVU_PACKAGE_VERSION);
    return 0;
  }
  if (argc != 2) return 2;
  mavu::Graph g = mavu::Graph::from_file(argv[1]);
  mavu::Options o;
  o.seed = 5;
  o.max_iterations = 20000;
  mavu::Result r = mavu::solve(g, o);
  if (!r.ok()) {
    std::fprintf(stderr, "%s\n", r.message.c_str());
    return 1;
  }
  for (int v : r.vertices) std::printf("%d ", v);
  std::printf("\n#objv=%f\n", r.weight);
  return 0;
}
