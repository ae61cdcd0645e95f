// The kernel local search alone: reads an independent-set file (as -c 1),
// reduces it with the rules (or not: --reduce 0), and runs the local search
// on every part left, printing the total weight (decided + parts) at each
// report interval of CPU time.
//
//   ils [--reduce 0|1] [--seconds S] [--seed N] [--every S] [--work W] [--iterations I] [--set OUT] FILE
//
// --set writes the best set found, 0-based in the file's numbering, one
// line, to OUT (bench/exact_weight.py sums it exactly).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "core/deadline.h"
#include "mavu/ils/local_search.h"
#include "mavu/reduce/mwis.h"
#include "readers/loader.h"

namespace {
double cpu() { return static_cast<double>(cpu_ticks(CLOCK_PROCESS_CPUTIME_ID)) / 1e6; }
}  // namespace

int main(int argc, char** argv) {
  bool reduce = true;
  double seconds = 10, every = 1;
  unsigned long long seed = 1;
  long iterations = 0;
  long long work = 0;  // > 0: reports every `work` / 10 units of the searches' work
  const char* set_file = nullptr;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    if (!std::strcmp(argv[i], "--reduce")) reduce = std::atoi(argv[i + 1]) != 0;
    else if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--every")) every = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--seed")) seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (!std::strcmp(argv[i], "--iterations")) iterations = std::atol(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--work")) work = std::atoll(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--set")) set_file = argv[i + 1];
  }
  if (i >= argc) return 2;
  LoadedGraph g;
  LoadOptions lo;
  lo.mode = InstanceMode::independent_set;
  lo.layout = LayoutRequest::sparse;
  const LoadResult lr = load_graph(argv[i], g, lo);
  if (lr.status != LoadStatus::ok) {
    std::fprintf(stderr, "%s\n", lr.message.c_str());
    return 1;
  }
  std::printf("load %.3f s\n", cpu());
  double fixed = 0;
  std::vector<std::unique_ptr<SparseConflictGraph<uint32_t>>> parts;
  mavu::reduce::MwisReduction r;
  if (reduce) {
    if (!visit_layout(g, [&](const auto& gg) { return r.run(gg); })) return 1;
    fixed = r.fixed_weight();
    for (int p = 0; p < static_cast<int>(r.parts().size()); p++) {
      const auto& members = r.parts()[static_cast<size_t>(p)];
      std::vector<double> w(members.size());
      for (size_t k = 0; k < members.size(); k++) w[k] = r.weight(members[k]);
      const auto pairs = r.part_pairs(p);
      auto pg = std::make_unique<SparseConflictGraph<uint32_t>>();
      sparse_from_pairs(*pg, static_cast<int>(members.size()), pairs.data(), static_cast<long long>(pairs.size()),
                        w.data());
      parts.push_back(std::move(pg));
    }
    std::printf("reduced %.3f s: decided %.17g, %zu parts\n", cpu(), fixed, parts.size());
  } else {
    // The whole graph as one part (32-bit lists).
    auto pg = std::make_unique<SparseConflictGraph<uint32_t>>();
    std::vector<ConflictPair> pairs;
    std::vector<double> w;
    visit_layout(g, [&](const auto& gg) {
      for (int v = 0; v < gg.n_vertex; v++) {
        w.push_back(gg.v_weight[v]);
        for (int k = 0; k < gg.v_edge_count[v]; k++)
          if (static_cast<int>(gg.v_adj[v][k]) > v) pairs.push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(gg.v_adj[v][k])});
      }
    });
    sparse_from_pairs(*pg, static_cast<int>(w.size()), pairs.data(), static_cast<long long>(pairs.size()), w.data());
    parts.push_back(std::move(pg));
  }
  std::vector<std::unique_ptr<mavu::ils::LocalSearch<uint32_t>>> searches;
  for (auto& pg : parts) {
    auto s = std::make_unique<mavu::ils::LocalSearch<uint32_t>>();
    mavu::ils::SearchOptions o;
    o.seed = seed;
    if (!s->init(*pg, o)) return 1;
    searches.push_back(std::move(s));
  }
  auto write_set = [&] {
    if (set_file == nullptr) return 0;
    std::vector<int> out;
    if (reduce) {
      std::vector<int> chosen;
      for (size_t p = 0; p < searches.size(); p++)
        for (int v : searches[p]->best_set()) chosen.push_back(r.parts()[p][static_cast<size_t>(v)]);
      out = r.lift(chosen);
    } else {
      out = searches[0]->best_set();
    }
    FILE* f = std::fopen(set_file, "w");
    if (f == nullptr) return 1;
    for (int v : out) std::fprintf(f, "%d ", v);
    std::fprintf(f, "\n");
    return std::fclose(f) == 0 ? 0 : 1;
  };
  auto total = [&] {
    double t = fixed;
    for (auto& s : searches) t += s->best_weight();
    return t;
  };
  std::printf("init %.3f s: %.17g\n", cpu(), total());
  if (work > 0) {
    for (int k = 1; k <= 10; k++) {
      Deadline none;
      for (auto& s : searches) s->run(none, 1L << 62, work / 10 * k);
      long its = 0;
      for (auto& s : searches) its += s->iterations();
      std::printf("work %lld, %ld iterations, %.2f s: %.17g\n", work / 10 * k, its, cpu(), total());
      std::fflush(stdout);
    }
    return write_set();
  }
  if (iterations > 0) {
    for (int k = 1; k <= 10; k++) {
      Deadline none;
      for (auto& s : searches) s->run(none, iterations / 10 * k);
      std::printf("%ld iterations, %.2f s: %.17g\n", iterations / 10 * k, cpu(), total());
      std::fflush(stdout);
    }
    return write_set();
  }
  for (double at = every; at <= seconds + 1e-9; at += every) {
    long its = 0;
    for (size_t p = 0; p < searches.size(); p++) {
      const double share = at - cpu();
      Deadline d(CLOCK_PROCESS_CPUTIME_ID, 0, cpu() + share / static_cast<double>(searches.size() - p));
      its += searches[p]->run(d, 1L << 62);
    }
    std::printf("%.2f s: %.17g  (%ld iterations this interval)\n", cpu(), total(), its);
    std::fflush(stdout);
  }
  return write_set();
}
