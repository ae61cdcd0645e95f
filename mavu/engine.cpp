#include "mavu/engine.h"

#include <cstdio>
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

std::string search_memory_message(Variant variant, const LoadedGraph& loaded) {
  const int n = visit_layout(loaded, [](const auto& g) { return g.n_vertex; });
  char text[128];
  std::snprintf(text, sizeof text, "cannot allocate memory for the search: %d vertices need %.1f MiB more", n,
                static_cast<double>(search_bytes(variant, loaded)) / (1024.0 * 1024.0));
  return text;
}

}  // namespace mavu::engine
