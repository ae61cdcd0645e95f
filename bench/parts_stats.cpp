// A reduced run with what its stages did: reads a file (clique mode, or
// independent-set mode with --mis), runs the reduced run of mavu1 or mavu2
// with the given CPU limit and seed (and optionally an iteration limit), and
// prints the weight, whether it is proven, the kernel, and the stages'
// figures (reduction and exact seconds, parts solved by which solver,
// searched by which search).
//
//   parts_stats [--mis] [--mavu2] [--seconds S] [--seed N] [--iterations I] FILE...
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/cpu_clock.h"
#include "mavu/parts/run.h"
#include "readers/loader.h"

int main(int argc, char** argv) {
  bool mis = false, mavu2 = false;
  SearchParams params;
  params.para_max_seond = 10;
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; i++) {
    if (!std::strcmp(argv[i], "--mis")) mis = true;
    else if (!std::strcmp(argv[i], "--mavu2")) mavu2 = true;
    else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) params.para_max_seond = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) params.para_seed = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--iterations") && i + 1 < argc) params.para_max_iter = std::atoi(argv[++i]);
  }
  std::printf("%-28s %12s %-5s %8s %7s %7s %5s %5s %5s %5s %5s %9s %7s %7s\n", "file", "weight", "proof", "kernel",
              "red_s", "exact_s", "parts", "dp", "br", "local", "tabu", "searched", "best_s", "cpu_s");
  for (; i < argc; i++) {
    const long start = cpu_ticks(CLOCK_PROCESS_CPUTIME_ID);
    LoadedGraph g;
    LoadOptions lo;
    lo.mode = mis ? InstanceMode::independent_set : InstanceMode::clique;
    if (!mis) lo.clique_read = CliqueRead::input_graph;
    const LoadResult lr = load_graph(argv[i], g, lo);
    if (lr.status != LoadStatus::ok) {
      std::fprintf(stderr, "%s\n", lr.message.c_str());
      return 1;
    }
    SearchEnv env;
    env.from_process_start = false;
    using mavu::engine::Variant;
    const auto gen = mavu::engine::Generator::own;
    mavu::parts::RunResult r =
        mis ? (mavu2 ? mavu::parts::run_independent<Variant::mavu2>(g, params, env, gen, LayoutRequest::automatic)
                     : mavu::parts::run_independent<Variant::mavu1>(g, params, env, gen, LayoutRequest::automatic))
            : (mavu2 ? mavu::parts::run_clique<Variant::mavu2>(g, params, env, gen, LayoutRequest::automatic)
                     : mavu::parts::run_clique<Variant::mavu1>(g, params, env, gen, LayoutRequest::automatic));
    const double cpu = static_cast<double>(cpu_ticks(CLOCK_PROCESS_CPUTIME_ID) - start) / 1e6;
    if (!r.ok) {
      std::fprintf(stderr, "%s: %s\n", argv[i], r.message.c_str());
      return 1;
    }
    const char* base = std::strrchr(argv[i], '/');
    const auto& s = r.stats;
    std::printf("%-28s %12.10g %-5s %8lld %7.3f %7.3f %5d %5d %5d %5d %5d %9lld %7.3f %7.3f\n", base ? base + 1 : argv[i],
                r.weight, r.optimal ? "yes" : "no", r.kernel, s.reduce_seconds, s.exact_seconds, s.parts, s.solved_dp,
                s.solved_branch + s.solved_clique, s.searched_local, s.searched_tabu, s.searched_vertices,
                static_cast<double>(r.best_ticks - r.start_ticks) / 1e6, cpu);
  }
  return 0;
}
