// mavu2: maximum weight clique by tabu search with a conflict-count partition
// and a sampled last list, for large real-life instances.
#include "frontend/driver.h"
#include "mavu2/profile.h"

namespace {

struct Mavu2 : Mavu2Profile {
  static constexpr mavu::engine::Variant kVariant = mavu::engine::Variant::mavu2;
  static LoadResult load(const char* path, LoadedGraph& g, const LoadOptions& o) { return load_real_life_instance(path, g, o); }
  static LoadResult load_real_life_instance(const char* path, LoadedGraph& g, const LoadOptions& o) {
    return load_graph(path, g, o);
  }
};

}  // namespace

int main(int argc, char** argv) { return run_program<Mavu2>(argc, argv); }
