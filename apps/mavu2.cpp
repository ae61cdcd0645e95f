// mavu2: maximum weight clique by tabu search with a conflict-count partition
// and a sampled last list, for large real-life instances.
#include "frontend/driver.h"

int main(int argc, char** argv) { return run_program<mavu::engine::Variant::mavu2>(argc, argv); }
