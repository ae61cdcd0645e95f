// mavu2: maximum weight clique by tabu search with a conflict-count partition
// and a sampled last list, for large real-life instances.
#include "frontend/driver.h"
#include "mavu2/search.h"

namespace {

struct Mavu2 : Mavu2Profile {
  template <class R, class G>
  using State = Mavu2State<R, G>;
  static LoadResult load(const char* path, LoadedGraph& g, const LoadOptions& o) { return load_real_life_instance(path, g, o); }
  static LoadResult load_real_life_instance(const char* path, LoadedGraph& g, const LoadOptions& o) {
    return load_graph(path, g, o);
  }
  template <class S, class G>
  static int solve(S& s, const G& g, const SearchParams& p) {
    return ::solve(s, g, p);
  }
};

}  // namespace

int main(int argc, char** argv) { return run_program<Mavu2>(argc, argv); }
