// The clique-mode reduction alone, timed: reads FILE as the programs do for
// reduction (its edges as lists), reduces, and prints one line
//
// KNOWN_WEIGHT: a clique weight known beforehand (what the kernel would be
// with it).
//
//   vertices=<n> edges=<m> read=<s> reduce=<s> kernel=<k> first=<weight> kernel_mib=<MiB> rounds=<r>
//
// (CPU seconds of the process).  bench/reduction.py runs it per graph.
#include <cstdio>
#include <cstdlib>

#include "core/cpu_clock.h"
#include "mavu/reduce/clique.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: reduce_stats FILE [KNOWN_WEIGHT]\n");
    return 2;
  }
  const long t0 = cpu_ticks(CLOCK_PROCESS_CPUTIME_ID);
  static LoadedGraph input;
  LoadOptions o;
  o.mode = InstanceMode::independent_set;
  o.layout = LayoutRequest::sparse;
  const LoadResult loaded = load_graph(argv[1], input, o);
  if (loaded.status != LoadStatus::ok) {
    std::fprintf(stderr, "%s\n", loaded.message.c_str());
    return 1;
  }
  const long t1 = cpu_ticks(CLOCK_PROCESS_CPUTIME_ID);
  mavu::reduce::Reduced r;
  mavu::reduce::CliqueOptions options;
  if (argc == 3) options.known_weight = std::atof(argv[2]);
  const mavu::reduce::ReduceReport rep = mavu::reduce::reduce_clique(input, options, r);
  const long t2 = cpu_ticks(CLOCK_PROCESS_CPUTIME_ID);
  const long long n = visit_layout(input, [](const auto& g) { return static_cast<long long>(g.n_vertex); });
  const long long m = visit_layout(input, [](const auto& g) { return static_cast<long long>(g.n_edge); });
  std::printf("vertices=%lld edges=%lld read=%.3f reduce=%.3f kernel=%lld first=%g kernel_mib=%.1f rounds=%d%s%s\n", n,
              m, (t1 - t0) / 1e6, (t2 - t1) / 1e6, rep.kernel, r.incumbent_weight,
              static_cast<double>(rep.kernel_bytes) / (1024.0 * 1024.0), rep.rounds,
              rep.status == mavu::reduce::ReduceStatus::ok ? "" : " failed: ", rep.message.c_str());
  return rep.status == mavu::reduce::ReduceStatus::ok ? 0 : 1;
}
