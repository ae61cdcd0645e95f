// mavu2: maximum weight clique by tabu search with a conflict-count partition
// and a sampled last list, for large real-life instances.
#include "frontend/driver.h"
#include "mavu2/search.h"

namespace {

struct Mavu2 : Mavu2Profile {
  template <class G>
  using State = Mavu2State<CRand, G>;
  static LoadStatus load(const char* path, LayoutRequest layout, LoadedGraph& g) {
    return load_real_life_instance(path, layout, g);
  }
  static LoadStatus load_real_life_instance(const char* path, LayoutRequest layout, LoadedGraph& g) {
    return load_graph(path, layout, g);
  }
  template <class S, class G>
  static int solve(S& s, const G& g, const SearchParams& p) {
    return ::solve(s, g, p);
  }
};

}  // namespace

int main(int argc, char** argv) { return run_program<Mavu2>(argc, argv); }
