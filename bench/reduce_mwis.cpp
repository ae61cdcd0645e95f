// Independent-set reduction alone: per instance (read as with -c 1), the
// vertices and edges, the vertices left after the rules, the kernel's
// components (largest), those solved exactly, the vertices left for the
// search, the CPU seconds of the load and of the reduction, and the weight
// decided (the optimum when nothing is left for the search); then what each
// rule of note did: folds, twins merged, vertices taken by the clique-cover
// test, vertices taken and removed by the LP rule and its rounds, and the
// work of branch and reduce.
//
//   reduce_mwis [--exact-max K] [--budget B] [--branch-max K] [--branch-budget B] [--lp-max K] [--lp-budget B] [--lp-rounds R]
//               [--twin-max D] [--cover-max D] [--deadline S] [--load-only 1] [--walked 1] FILE...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "mavu/reduce/mwis.h"
#include "readers/loader.h"

int main(int argc, char** argv) {
  mavu::reduce::MwisOptions options;
  bool load_only = false;
  bool walked = false;     // --walked 1: list entries walked per rule, on a line after the instance's  // --load-only 1: read the file and stop (peak memory of the load alone)
  double deadline_s = -1;  // --deadline S: the reduction gets S CPU seconds from its start
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
    if (!std::strcmp(argv[i], "--exact-max")) options.exact_max_vertices = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--budget")) options.exact_node_budget = std::atol(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--branch-budget")) options.branch_budget = std::atol(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--branch-max")) options.branch_max_vertices = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--lp-max")) options.lp_max_vertices = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--lp-rounds")) options.lp_rounds = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--lp-budget")) options.lp_budget = std::atoll(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--twin-max")) options.twin_max_degree = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--cover-max")) options.cover_max_degree = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--walked")) walked = std::atoi(argv[i + 1]) != 0;
    else if (!std::strcmp(argv[i], "--load-only")) load_only = std::atoi(argv[i + 1]) != 0;
    else if (!std::strcmp(argv[i], "--deadline")) deadline_s = std::atof(argv[i + 1]);
  }
  std::printf("%-28s %9s %9s %8s %6s %7s %6s %8s %7s %7s %6s %6s %s\n", "file", "n", "m", "kernel", "comps", "largest",
              "exact", "searched", "load_s", "red_s", "folds", "proven", "decided_weight twins clique lp_taken lp_removed lp_rounds branch_work");
  for (; i < argc; i++) {
    LoadedGraph g;
    LoadOptions lo;
    lo.mode = InstanceMode::independent_set;
    const std::clock_t t0 = std::clock();
    const LoadResult lr = load_graph(argv[i], g, lo);
    const std::clock_t t1 = std::clock();
    if (lr.status != LoadStatus::ok) {
      std::fprintf(stderr, "%s\n", lr.message.c_str());
      return 1;
    }
    if (load_only) continue;
    mavu::reduce::MwisReduction r;
    Deadline d;
    if (deadline_s >= 0) d = Deadline(CLOCK_PROCESS_CPUTIME_ID, cpu_ticks(CLOCK_PROCESS_CPUTIME_ID), deadline_s);
    const bool ok = visit_layout(g, [&](const auto& gg) { return r.run(gg, options, &d); });
    const std::clock_t t2 = std::clock();
    if (!ok) return 1;
    const auto& s = r.stats();
    const long long n = visit_layout(g, [](const auto& gg) { return static_cast<long long>(gg.n_vertex); });
    const long long m = visit_layout(g, [](const auto& gg) { return static_cast<long long>(gg.n_edge); });
    const char* base = std::strrchr(argv[i], '/');
    std::printf("%-28s %9lld %9lld %8lld %6d %7d %6d %8lld %7.3f %7.3f %6lld %6s %.17g %lld %lld %lld %lld %d %lld\n",
                base ? base + 1 : argv[i], n, m, s.kernel, s.components, s.largest, s.exact, s.searched,
                double(t1 - t0) / CLOCKS_PER_SEC, double(t2 - t1) / CLOCKS_PER_SEC, s.folds,
                r.stopped() ? "stop" : r.parts().empty() ? "yes" : "no", r.fixed_weight(), s.twins, s.clique_taken, s.lp_taken, s.lp_removed,
                s.lp_rounds, s.branch_work);
    if (walked) {
      static const char* const names[] = {"neighbourhood", "degree_two", "edge", "cover", "transfer", "remove", "twins", "lp", "split"};
      static_assert(sizeof names / sizeof names[0] == mavu::reduce::kWalkCount);
      std::printf("  walked:");
      for (int k = 0; k < mavu::reduce::kWalkCount; k++) std::printf(" %s=%lld", names[k], s.walked[k]);
      std::printf(" total=%lld\n", r.work());
    }
  }
  return 0;
}
