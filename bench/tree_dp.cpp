// Dynamic programming over a tree decomposition on the components the
// independent-set rules leave: per instance (read as with -c 1), the rules
// run with no exact solver, then for each component of the kernel its
// vertices and edges, the width of the minimum-degree, minimum-fill and
// sweep orders (">L" when above the limit L of --order-max), the CPU seconds of
// solve_tree_dp with the default options (order included) and its status;
// a summary line per instance gives the total weight when every component
// was solved (the optimum).
//
// With --whole 1 the rules are skipped and the whole graph is one part.
//
//   tree_dp [--order-max L] [--max-width W] [--max-mib M] [--whole 1] [--quiet 1] FILE...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "mavu/exact/tree_dp.h"
#include "mavu/reduce/mwis.h"
#include "readers/loader.h"

namespace {

using namespace mavu::exact;

const char* status_name(TreeDpStatus s) {
  switch (s) {
    case TreeDpStatus::solved: return "solved";
    case TreeDpStatus::too_wide: return "too_wide";
    case TreeDpStatus::abandoned: return "abandoned";
    case TreeDpStatus::no_memory: return "no_memory";
  }
  return "?";
}

std::string width_text(const SparseConflictGraph<uint32_t>& g, Ordering o, int limit) {
  Deadline none;
  const EliminationOrder order = elimination_order(g, o, limit, none);
  if (order.status == OrderStatus::ok) return std::to_string(order.width);
  return ">" + std::to_string(limit);
}

}  // namespace

int main(int argc, char** argv) {
  int order_max = 64;
  bool quiet = false;
  bool whole = false;  // --whole 1: no rules, the graph is one part
  TreeDpOptions options;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    if (!std::strcmp(argv[i], "--order-max")) order_max = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--max-width")) options.max_width = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--max-mib")) options.max_table_bytes = std::strtoull(argv[i + 1], nullptr, 10) << 20;
    else if (!std::strcmp(argv[i], "--quiet")) quiet = std::atoi(argv[i + 1]) != 0;
    else if (!std::strcmp(argv[i], "--whole")) whole = std::atoi(argv[i + 1]) != 0;
  }
  for (; i < argc; i++) {
    LoadedGraph lg;
    LoadOptions lo;
    lo.mode = InstanceMode::independent_set;
    const LoadResult lr = load_graph(argv[i], lg, lo);
    if (lr.status != LoadStatus::ok) {
      std::fprintf(stderr, "%s\n", lr.message.c_str());
      return 1;
    }
    // The parts solved: the kernel's components, or with --whole 1 the
    // graph itself.
    mavu::reduce::MwisReduction r;
    std::vector<std::vector<ConflictPair>> part_pairs;
    std::vector<std::vector<double>> part_weights;
    if (whole) {
      part_pairs.emplace_back();
      part_weights.emplace_back();
      visit_layout(lg, [&](const auto& gg) {
        for (int v = 0; v < gg.n_vertex; v++) {
          part_weights.back().push_back(gg.v_weight[v]);
          for (int k = 0; k < gg.v_edge_count[v]; k++)
            if (static_cast<int>(gg.v_adj[v][k]) > v)
              part_pairs.back().push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(gg.v_adj[v][k])});
        }
        return 0;
      });
    } else {
      mavu::reduce::MwisOptions mo;
      mo.exact_max_vertices = 0;
      mo.branch_max_vertices = 0;
      if (!visit_layout(lg, [&](const auto& gg) { return r.run(gg, mo); })) return 1;
      for (int p = 0; p < static_cast<int>(r.parts().size()); p++) {
        part_pairs.push_back(r.part_pairs(p));
        part_weights.emplace_back();
        for (int v : r.parts()[static_cast<size_t>(p)]) part_weights.back().push_back(r.weight(v));
      }
    }
    const char* base = std::strrchr(argv[i], '/');
    base = base ? base + 1 : argv[i];
    if (!quiet) std::printf("%-24s %5s %6s %7s %6s %7s %6s %9s %10s %8s\n", "file", "part", "n", "m", "mindeg", "minfill", "sweep", "dp_s", "status", "MiB");
    double total_s = 0, weight = whole ? 0 : r.fixed_weight();
    int solved = 0, largest_width = 0;
    std::vector<int> chosen;
    const int parts = static_cast<int>(part_pairs.size());
    for (int p = 0; p < parts; p++) {
      const auto& pairs = part_pairs[static_cast<size_t>(p)];
      const auto& w = part_weights[static_cast<size_t>(p)];
      SparseConflictGraph<uint32_t> g;
      if (sparse_from_pairs(g, static_cast<int>(w.size()), pairs.data(), static_cast<long long>(pairs.size()),
                            w.data()) != 0)
        return 1;
      const std::string md = width_text(g, Ordering::min_degree, order_max);
      const std::string mf = width_text(g, Ordering::min_fill, order_max);
      const std::string sw = width_text(g, Ordering::sweep, order_max);
      Deadline none;
      const std::clock_t t0 = std::clock();
      const TreeDpResult res = solve_tree_dp(g, none, options);
      const double s = double(std::clock() - t0) / CLOCKS_PER_SEC;
      total_s += s;
      if (res.status == TreeDpStatus::solved) {
        if (!mavu::reduce::is_independent(g, res.set)) {
          std::fprintf(stderr, "%s part %d: the set is not independent\n", base, p);
          return 1;
        }
        solved++;
        weight += res.weight;
        largest_width = std::max(largest_width, res.width);
        for (int v : res.set) chosen.push_back(whole ? v : r.parts()[static_cast<size_t>(p)][static_cast<size_t>(v)]);
      }
      if (!quiet)
        std::printf("%-24s %5d %6d %7lld %6s %7s %6s %9.4f %10s %8.1f\n", base, p, g.n_vertex, g.n_edge, md.c_str(),
                    mf.c_str(), sw.c_str(), s, status_name(res.status), double(res.bytes) / (1 << 20));
    }
    const bool all = solved == parts;
    std::printf("%s: kernel %lld, %d components, %d solved (widest %d), dp %.3f s, %s %.17g\n", base,
                whole ? static_cast<long long>(part_weights[0].size()) : r.stats().kernel, parts, solved, largest_width, total_s,
                all ? "optimum" : "not all solved", all ? weight : 0.0);
    if (all) {
      // The lifted set must weigh what the parts add up to.
      const std::vector<int> set = whole ? chosen : r.lift(chosen);
      const bool independent = visit_layout(lg, [&](const auto& gg) { return mavu::reduce::is_independent(gg, set); });
      double lifted = 0;
      visit_layout(lg, [&](const auto& gg) {
        for (int v : set) lifted += gg.v_weight[v];
        return 0;
      });
      std::printf("%s: lifted set of %zu vertices, independent %s, weight %.17g\n", base, set.size(),
                  independent ? "yes" : "NO", lifted);
    }
  }
  return 0;
}
