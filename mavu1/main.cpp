// mavu1: maximum weight clique by tabu search with an adaptive gain threshold.
#include "frontend/driver.h"
#include "mavu1/search.h"

namespace {

struct Mavu1 : Mavu1Profile {
  template <class G>
  using State = Mavu1State<CRand, G>;
  static LoadStatus load(const char* path, LayoutRequest layout, LoadedGraph& g) {
    return load_instance(path, layout, g);
  }
  static LoadStatus load_instance(const char* path, LayoutRequest layout, LoadedGraph& g) {
    return load_graph(path, layout, g);
  }
  template <class S, class G>
  static int solve(S& s, const G& g, const SearchParams& p) {
    return ::solve(s, g, p);
  }
};

}  // namespace

int main(int argc, char** argv) { return run_program<Mavu1>(argc, argv); }
