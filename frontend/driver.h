// The run driver shared by both programs: parse, echo, load, search, verify,
// print.  `Program` supplies the output words (Program::kText), the loader
// under the program's own name, and solve() with its search state type.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "frontend/interrupt.h"
#include "frontend/loader.h"
#include "frontend/params.h"
#include "frontend/report.h"

// Search, verification and report on a loaded graph of layout G.
template <class Program, class G>
int search_and_report(const G& graph, const RunParams& params) {
  const ProgramText& text = Program::kText;
  interrupt_stops_search();
  auto state = std::make_unique<typename Program::template State<G>>();
  Program::solve(*state, graph, params);

  BestRecord best{state->best_vertex.data(), state->best_size, state->best_weight,
                  state->best_iter,          state->best_end_time, state->start_time};
  // The check sees the set in the order the search recorded it.
  if (!check_solution(graph, best.best_vertex, best.size, best.best_weight, text.check_tolerance)) {
    std::printf("check ERROR \n");
    flush_output(text.name);
    return 1;
  }
  print_final_set(text, best, stdout);
  report_result(text, params, best, stdout);
  const bool written = flush_output(text.name);
  const int sig = interrupt_signal();
  if (sig != 0) report_interrupted(text.name, sig, written);
  if (!written) return kOutputFailedStatus;
  return sig != 0 ? 128 + sig : 0;
}

template <class Program>
int run_program(int argc, char** argv) {
  const ProgramText& text = Program::kText;
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
  switch (Program::load(params.para_file, layout, graph)) {
    case LoadStatus::ok: break;
    case LoadStatus::cannot_open:
      std::printf("File %s not found \n", params.para_file);
      flush_output(text.name);
      return -1;
    case LoadStatus::invalid: return 1;
  }
  // The one run-time choice of layout: each branch is a search compiled for it.
  switch (graph.layout) {
    case GraphLayout::dense: return search_and_report<Program>(graph.dense, params);
    case GraphLayout::sparse16: return search_and_report<Program>(graph.sparse16, params);
    case GraphLayout::sparse32: return search_and_report<Program>(graph.sparse32, params);
  }
  return 1;
}
