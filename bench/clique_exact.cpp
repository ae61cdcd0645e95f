// The exact clique solver timed on a file's reduced kernel or on random
// whole graphs (CPU seconds of the process).
//
//   clique_exact FILE [flags]
//     reads FILE as its input graph, reduces it (clique mode), runs the
//     exact solver on the kernel from the reduction's incumbent and prints
//       read=<s> reduce=<s> kernel=<k> exact=<s> optimum=<w> proven=<0|1> ...
//   clique_exact --gnp N P SEED [flags]
//     the whole random graph G(N, P) (own generator), weights (i mod 200) + 1
//     or, with --unit, 1; the time includes building the lists.
//
// flags: --reverse (subproblems last first), --maxsat ROUNDS, --no-greedy,
//        --from-zero (ignore the reduction's incumbent), --limit SECONDS,
//        --unit, --lower W (G(N, P): a lower bound without set).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/cpu_clock.h"
#include "core/deadline.h"
#include "core/rng.h"
#include "mavu/exact/clique_bb.h"
#include "mavu/reduce/clique.h"

namespace {

double now() { return static_cast<double>(cpu_ticks(CLOCK_PROCESS_CPUTIME_ID)) / 1e6; }


void print_stats(const mavu::exact::CliqueBB& bb) {
  const auto& st = bb.stats();
  std::printf(" solved=%lld skipped=%lld nodes=%lld largest=%d", st.solved, st.skipped, st.nodes, st.largest);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: clique_exact FILE [flags] | clique_exact --gnp N P SEED [flags]\n");
    return 2;
  }
  mavu::exact::CliqueBBOptions options;
  bool from_zero = false, unit = false;
  double given_lower = 0;
  double limit = Deadline::kNoLimit;
  const bool gnp = std::strcmp(argv[1], "--gnp") == 0;
  for (int i = gnp ? 5 : 2; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--reverse") options.order = mavu::exact::SubproblemOrder::reverse;
    else if (a == "--maxsat" && i + 1 < argc) options.maxsat_rounds = std::atoi(argv[++i]);
    else if (a == "--no-greedy") options.greedy_start = false;
    else if (a == "--from-zero") from_zero = true;
    else if (a == "--unit") unit = true;
    else if (a == "--lower" && i + 1 < argc) given_lower = std::atof(argv[++i]);
    else if (a == "--limit" && i + 1 < argc) limit = std::atof(argv[++i]);
    else {
      std::fprintf(stderr, "unknown flag %s\n", a.c_str());
      return 2;
    }
  }
  Deadline deadline = Deadline().within(limit);
  mavu::exact::CliqueBB bb;
  if (gnp) {
    if (argc < 5) return 2;
    const int n = std::atoi(argv[2]);
    const double p = std::atof(argv[3]);
    uint64_t seed = std::strtoull(argv[4], nullptr, 10);
    std::vector<ConflictPair> pairs;
    for (int a = 0; a < n; a++)
      for (int b = a + 1; b < n; b++)
        if (static_cast<double>(splitmix64(seed) >> 11) * 0x1.0p-53 < p)
          pairs.push_back({static_cast<uint32_t>(a), static_cast<uint32_t>(b)});
    std::vector<double> w(static_cast<size_t>(n));
    for (int v = 0; v < n; v++) w[static_cast<size_t>(v)] = unit ? 1.0 : default_weight(v);
    const double t0 = now();
    SparseConflictGraph<uint16_t> g;
    sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(pairs.size()), w.data());
    bb.init_whole(g, given_lower, {}, options);
    const mavu::exact::ExactStatus status = bb.run(deadline);
    const double t1 = now();
    std::printf("n=%d p=%.2f edges=%zu exact=%.4f optimum=%g size=%zu proven=%d", n, p, pairs.size(), t1 - t0,
                bb.best_weight(), bb.best_set().size(), status == mavu::exact::ExactStatus::proven);
    print_stats(bb);
    std::printf("\n");
    return 0;
  }
  const double t0 = now();
  static LoadedGraph input;
  LoadOptions o;
  o.clique_read = CliqueRead::input_graph;
  o.layout = LayoutRequest::sparse;
  const LoadResult loaded = load_graph(argv[1], input, o);
  if (loaded.status != LoadStatus::ok) {
    std::fprintf(stderr, "%s\n", loaded.message.c_str());
    return 1;
  }
  const double t1 = now();
  mavu::reduce::Reduced r;
  mavu::reduce::CliqueOptions ro;
  const mavu::reduce::ReduceReport rep = mavu::reduce::reduce_clique(input, ro, r);
  if (rep.status != mavu::reduce::ReduceStatus::ok) {
    std::fprintf(stderr, "%s\n", rep.message.c_str());
    return 1;
  }
  const double t2 = now();
  std::vector<int> kernel;
  if (!r.parts.empty()) kernel = r.parts[0]->original;
  const double lower = from_zero ? 0.0 : r.incumbent_weight;
  const std::vector<int> lower_set = from_zero ? std::vector<int>{} : r.incumbent;
  mavu::exact::ExactStatus status = mavu::exact::ExactStatus::no_memory;
  if (bb.init(input, kernel, lower, lower_set, options)) status = bb.run(deadline);
  const double t3 = now();
  // The set is checked against the file's graph.
  const std::vector<int>& set = bb.best_set();
  const bool valid = set.empty() ? from_zero : mavu::reduce::check_clique(input, set.data(), static_cast<int>(set.size()),
                                                                         bb.best_weight(), 1e-6 * (1 + bb.best_weight()));
  std::printf("read=%.3f reduce=%.3f kernel=%lld first=%g exact=%.3f optimum=%g proven=%d valid=%d total=%.3f",
              t1 - t0, t2 - t1, rep.kernel, r.incumbent_weight, t3 - t2, bb.best_weight(),
              status == mavu::exact::ExactStatus::proven, valid, t3 - t0);
  print_stats(bb);
  std::printf("\n");
  return valid ? 0 : 1;
}
