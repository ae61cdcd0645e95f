// The run driver shared by both programs: parse, echo, load, search, verify,
// print.  The program is the library's search variant V; its output words
// are the report's (program_text).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/rng.h"
#include "frontend/interrupt.h"
#include "frontend/params.h"
#include "frontend/report.h"
#include "mavu/engine.h"
#include "mavu/parts/run.h"
#include "mavu/reduce/clique.h"
#include "verify/check.h"
#include "readers/loader.h"

inline void print_progress(void* format, int iter, int best_size, double best_weight) {
  std::printf(static_cast<const char*>(format), iter, best_size, best_weight);
}

// The end of a run: print the set, report, flush; the status.
inline int print_and_finish(const ProgramText& text, BestSet& best, const RunParams& params,
                            const ReductionSummary* reduction) {
  print_final_set(text, best, stdout);
  report_result(text, params, best, stdout, reduction);
  const bool written = flush_output(text.name);
  const int sig = interrupt_signal();
  if (sig != 0) report_interrupted(text.name, sig, written);
  if (!written) return kOutputFailedStatus;
  return sig != 0 ? 128 + sig : 0;
}

// The end of a run: verify the best set, print it and the report line.
template <mavu::engine::Variant V, class G>
int verify_and_report(BestSet& best, const G& graph, const RunParams& params) {
  const ProgramText& text = program_text(V);
  // The check sees the set in the order the search recorded it.
  const double tolerance =
      check_tolerance(mavu::engine::base_tolerance(V), graph.v_weight.data(), graph.n_vertex, best.iteration);
  if (!check_solution(graph, best.vertices.data(), static_cast<int>(best.vertices.size()), best.weight, tolerance)) {
    std::printf("check ERROR \n");
    flush_output(text.name);
    return 1;
  }
  return print_and_finish(text, best, params, nullptr);
}

// The end of a reduced run: one line and status 1 when something did not
// fit; else the lifted set, checked by `check` (in original numbers),
// printed with the reduction's lines.
template <mavu::engine::Variant V, class Check>
int finish_reduced(mavu::parts::RunResult& out, const RunParams& params, Check&& check) {
  const ProgramText& text = program_text(V);
  if (!out.ok) {
    std::fprintf(stderr, "%s: %s\n", params.para_file, out.message.c_str());
    return 1;
  }
  BestSet best{.vertices = std::move(out.vertices), .weight = out.weight, .iteration = out.best_iteration,
               .end_ticks = out.best_ticks, .start_ticks = out.start_ticks};
  if (!check(best, mavu::engine::base_tolerance(V))) {
    std::printf("check ERROR \n");
    flush_output(text.name);
    return 1;
  }
  const ReductionSummary summary{out.kernel, out.optimal};
  return print_and_finish(text, best, params, &summary);
}

// A clique run on the input graph: reduce, search the kernel with the run's
// seed and parameters while the exact search tries to prove it, and check
// the set (in original numbers) against the input graph.
template <mavu::engine::Variant V>
int run_reduced(const LoadedGraph& input, const RunParams& params, LayoutRequest layout, const SearchEnv& env,
                mavu::engine::Generator generator) {
  mavu::parts::RunResult out = mavu::parts::run_clique<V>(input, params, env, generator, layout);
  return finish_reduced<V>(out, params, [&](const BestSet& best, double base) {
    const double tolerance = visit_layout(input, [&](const auto& g) {
      return check_tolerance(base, g.v_weight.data(), g.n_vertex, best.iteration);
    });
    return mavu::reduce::check_clique(input, best.vertices.data(), static_cast<int>(best.vertices.size()),
                                      best.weight, tolerance) != 0;
  });
}

// An independent-set run with reduction: the rules, the parts solved
// exactly or searched in turns within the run's limits, and the lifted set
// checked against the file's graph.
template <mavu::engine::Variant V, class G>
int run_reduced_independent(const LoadedGraph& input, const G& graph, const RunParams& params, LayoutRequest layout,
                            const SearchEnv& env, mavu::engine::Generator generator) {
  mavu::parts::RunResult out = mavu::parts::run_independent<V>(input, params, env, generator, layout);
  return finish_reduced<V>(out, params, [&](const BestSet& best, double base) {
    const double tolerance = check_tolerance(base, graph.v_weight.data(), graph.n_vertex, best.iteration);
    return check_solution(graph, best.vertices.data(), static_cast<int>(best.vertices.size()), best.weight,
                          tolerance) != 0;
  });
}

template <mavu::engine::Variant V>
int run_program(int argc, char** argv) {
  const ProgramText& text = program_text(V);
  install_interrupt_handlers(text.name);
  static RunParams params;
  read_parameters(argc, argv, params, text.name);
  // The echo leaves before the instance is read: an output that cannot be
  // written ends the run before any search time is spent on it.
  if (!flush_output(text.name)) return kOutputFailedStatus;

  LayoutRequest layout;
  if (!parse_layout_request(std::getenv("MAVU_LAYOUT"), layout)) {
    std::fprintf(stderr, "%s: MAVU_LAYOUT=%s names no graph layout (auto, dense or sparse)\n", text.name,
                 std::getenv("MAVU_LAYOUT"));
    return 1;
  }
  static LoadedGraph graph;
  LoadOptions load_options;
  if (params.para_complement != 0) load_options.mode = InstanceMode::independent_set;
  load_options.layout = layout;
  // Clique mode: -r 1 reads the input graph for the reduction; without -r,
  // only an instance that the run reduces by default (a sparse graph, or one
  // too large for its conflict graph) is.
  if (params.para_reduce != 0)
    load_options.clique_read = params.para_reduce == RunParams::kReduceAutomatic ? CliqueRead::input_graph_if_reduced
                                                                                 : CliqueRead::input_graph;
  const LoadResult loaded = load_graph(params.para_file, graph, load_options);
  if (loaded.status != LoadStatus::ok) std::fprintf(stderr, "%s\n", loaded.message.c_str());
  switch (loaded.status) {
    case LoadStatus::ok: break;
    case LoadStatus::cannot_open:
      std::printf("File %s not found \n", params.para_file);
      flush_output(text.name);
      return -1;
    case LoadStatus::invalid:
    case LoadStatus::out_of_memory: return 1;
  }

  interrupt_stops_search();
  // Process CPU time from process start, the signal handlers' stop flag and
  // the progress lines on standard output; the generator that reproduces the
  // C library's sequence for this seed.  The search is compiled once per
  // generator and graph layout; both are picked outside the loops.
  SearchEnv env;
  env.stop = &interrupt_stop_flag();
  env.progress = print_progress;
  env.progress_ctx = const_cast<char*>(text.progress_format);
  const mavu::engine::Generator generator = feedback_rand_matches_c_library(static_cast<unsigned>(params.para_seed))
                                                ? mavu::engine::Generator::own
                                                : mavu::engine::Generator::c_library;
  if (graph.input_graph) return run_reduced<V>(graph, params, layout, env, generator);
  // Independent-set runs reduce unless -r 0 says not to.
  if (params.para_complement != 0 && params.para_reduce != 0)
    return visit_layout(graph, [&](const auto& g) {
      return run_reduced_independent<V>(graph, g, params, layout, env, generator);
    });
  BestSet found;
  if (mavu::engine::run<V>(generator, graph, params, env, found) != mavu::engine::RunStatus::ok) {
    std::fprintf(stderr, "%s: %s\n", params.para_file, mavu::engine::search_memory_message(V, graph).c_str());
    return 1;
  }
  return visit_layout(graph, [&](const auto& g) { return verify_and_report<V>(found, g, params); });
}
