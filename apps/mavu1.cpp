// mavu1: maximum weight clique by tabu search with an adaptive gain threshold.
#include "frontend/driver.h"

int main(int argc, char** argv) { return run_program<mavu::engine::Variant::mavu1>(argc, argv); }
