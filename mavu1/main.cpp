// mavu1: maximum weight clique by tabu search with an adaptive gain threshold.
#include "frontend/driver.h"
#include "mavu1/search.h"

namespace {

struct Mavu1 : Mavu1Profile {
  template <class R, class G>
  using State = Mavu1State<R, G>;
  static LoadResult load(const char* path, LoadedGraph& g, const LoadOptions& o) { return load_instance(path, g, o); }
  static LoadResult load_instance(const char* path, LoadedGraph& g, const LoadOptions& o) {
    return load_graph(path, g, o);
  }
  template <class S, class G>
  static int solve(S& s, const G& g, const SearchParams& p) {
    return ::solve(s, g, p);
  }
};

}  // namespace

int main(int argc, char** argv) { return run_program<Mavu1>(argc, argv); }
