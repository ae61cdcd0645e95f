// mavu1: maximum weight clique by tabu search with an adaptive gain threshold.
#include "frontend/driver.h"
#include "mavu1/profile.h"

namespace {

struct Mavu1 : Mavu1Profile {
  static constexpr mavu::engine::Variant kVariant = mavu::engine::Variant::mavu1;
  static LoadResult load(const char* path, LoadedGraph& g, const LoadOptions& o) { return load_instance(path, g, o); }
  static LoadResult load_instance(const char* path, LoadedGraph& g, const LoadOptions& o) {
    return load_graph(path, g, o);
  }
};

}  // namespace

int main(int argc, char** argv) { return run_program<Mavu1>(argc, argv); }
