#include "mavu/reduce/independent.h"

#include <memory>
#include <new>

#include "core/cpu_clock.h"
#include "mavu/reduce/exact.h"
#include "readers/graph_builder.h"

namespace mavu::reduce {

namespace {

// The conflict graph of one part, in the layout chosen for its size, built
// from its pairs; false when memory is short.
template <class V>
bool build_sparse(SparseConflictGraph<V>& g, int k, const std::vector<ConflictPair>& pairs,
                  const std::vector<double>& w) {
  return sparse_from_pairs(g, k, pairs.data(), static_cast<long long>(pairs.size()), w.data()) == 0;
}

bool build_part(LoadedGraph& g, int k, const std::vector<ConflictPair>& pairs, const std::vector<double>& w,
                LayoutRequest request, double& bound) {
  g.layout = choose_layout(k, static_cast<long long>(pairs.size()), request);
  SparseConflictGraph<uint32_t> wide;
  switch (g.layout) {
    case GraphLayout::sparse16:
      if (!build_sparse(g.sparse16, k, pairs, w)) return false;
      bound = clique_cover_bound(g.sparse16);
      return true;
    case GraphLayout::sparse32:
      if (!build_sparse(g.sparse32, k, pairs, w)) return false;
      bound = clique_cover_bound(g.sparse32);
      return true;
    case GraphLayout::dense: break;
  }
  if (!build_sparse(wide, k, pairs, w)) return false;
  bound = clique_cover_bound(wide);
  DenseGraphBuilder<InstanceMode::independent_set> b(g.dense);
  bool ok = b.begin(k, static_cast<long long>(pairs.size()));
  for (int i = 0; ok && i < k; i++) b.set_weight(i, w[static_cast<size_t>(i)]);
  for (size_t e = 0; ok && e < pairs.size(); e++) ok = b.add_edge(static_cast<int>(pairs[e].a), static_cast<int>(pairs[e].b));
  return ok && b.finish();
}

}  // namespace

IndependentReport reduce_independent_set(const LoadedGraph& input, const IndependentOptions& options, Reduced& out) {
  IndependentReport rep;
  auto r = std::make_shared<MwisReduction>();
  const bool ran = visit_layout(input, [&](const auto& g) { return r->run(g, options.rules, options.deadline); });
  if (!ran) return {false, "cannot allocate memory for the reduction", 0, false, {}};
  rep.stats = r->stats();
  rep.kernel = rep.stats.kernel;
  rep.cut = r->stopped();
  out.exact = true;
  out.decided.clear();
  out.decided_weight = r->fixed_weight();
  out.incumbent = r->lift({});
  out.incumbent_weight = r->fixed_weight();
  double bound = r->fixed_weight();
  try {
    for (int p = 0; p < static_cast<int>(r->parts().size()); p++) {
      const auto& members = r->parts()[static_cast<size_t>(p)];
      auto part = std::make_unique<SubInstance>();
      part->original = members;  // kernel vertices; lift maps them on
      std::vector<double> w(members.size());
      for (size_t i = 0; i < members.size(); i++) w[i] = r->weight(members[i]);
      double part_bound = 0;
      if (!build_part(part->graph, static_cast<int>(members.size()), r->part_pairs(p), w, options.layout, part_bound))
        return {false, "cannot allocate memory for the reduced instance", rep.kernel, false, rep.stats};
      bound += part_bound;
      part->bound = part_bound;
      out.parts.push_back(std::move(part));
    }
  } catch (const std::bad_alloc&) {
    return {false, "cannot allocate memory for the reduced instance", rep.kernel, false, rep.stats};
  }
  out.lift = [r](const Reduced& red, const std::vector<std::vector<int>>& part_sets) {
    std::vector<int> chosen;
    for (size_t p = 0; p < part_sets.size() && p < red.parts.size(); p++)
      for (int v : part_sets[p]) chosen.push_back(red.parts[p]->original[static_cast<size_t>(v)]);
    return r->lift(chosen);
  };
  out.bound_check = [bound](double w) { return w >= bound; };
  out.incumbent_ticks = cpu_ticks(options.clock);
  return rep;
}

int iteration_share(int max_iter, long long part, long long total) {
  if (total <= 0) return max_iter;
  const long long share = static_cast<long long>(max_iter) * part / total;
  return share < 1 ? 1 : static_cast<int>(share);
}

}  // namespace mavu::reduce
