#include "mavu/engine.h"

#include <type_traits>

#include "mavu/search.h"

namespace mavu::engine {

double base_tolerance(Variant variant) {
  return variant == Variant::mavu1 ? Mavu1Profile::kCheckTolerance : Mavu2Profile::kCheckTolerance;
}

unsigned long long search_bytes(Variant variant, const LoadedGraph& loaded) {
  return visit_layout(loaded, [variant](const auto& g) {
    using G = std::remove_cvref_t<decltype(g)>;
    const long long max_degree = [&] {
      if constexpr (G::kDense) return 0LL;
      else return static_cast<long long>(g.max_degree);
    }();
    return variant == Variant::mavu1 ? search_state_bytes<WithLayout<Mavu1Profile, G>, FeedbackRand>(g.n_vertex, max_degree)
                                     : search_state_bytes<WithLayout<Mavu2Profile, G>, FeedbackRand>(g.n_vertex, max_degree);
  });
}

}  // namespace mavu::engine
