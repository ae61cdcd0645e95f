// The solves: plain, reduced, reduced independent-set, and several seeds.
#include "mavu/mavu.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include "mavu/check_options.h"
#include "mavu/engine.h"
#include "mavu/graph_data.h"
#include "mavu/parts/run.h"
#include "mavu/reduce/clique.h"
#include "verify/check.h"

namespace mavu {

using detail::check_options;
using detail::format;

namespace {

engine::Variant variant_of(Program p) { return p == Program::mavu2 ? engine::Variant::mavu2 : engine::Variant::mavu1; }

Result failure(Status status, std::string message) {
  Result r;
  r.status = status;
  r.message = std::move(message);
  return r;
}

}  // namespace

namespace {

// The defaults of the search parameters are the option table's.
static_assert(SearchParams{}.para_seed == option_default<int>(OptionId::seed));
static_assert(SearchParams{}.para_max_iter == option_default<int>(OptionId::max_iterations));
static_assert(SearchParams{}.para_max_seond == option_default<int>(OptionId::time_limit));
static_assert(SearchParams{}.para_depth == option_default<int>(OptionId::depth));
static_assert(SearchParams{}.para_directed_prob == option_default<int>(OptionId::directed_percent));
static_assert(SearchParams{}.para_opt == option_default<double>(OptionId::target));

// Why a solve ended, from the loop tests in their order: the target (tested
// when a set is recorded), the iteration limit, the stop token, then the
// clocks.
StopReason stop_reason(const Result& r, const Options& o, bool wall_deadline_passed) {
  if (r.weight >= o.target) return StopReason::target;
  if (r.iterations >= o.max_iterations) return StopReason::iterations;
  if (o.stop && o.stop->stop_requested()) return StopReason::stop_requested;
  if (wall_deadline_passed) return StopReason::wall_time_limit;
  return StopReason::time_limit;
}

// The end of a reduced solve: out_of_memory when something did not fit;
// else the lifted set, checked by `check`, as a Result in the caller's
// numbering.
template <class Check>
Result reduced_result(const detail::GraphData& data, parts::RunResult& out, engine::Variant variant, const Options& o,
                      int seed, Check&& check) {
  if (!out.ok) return failure(Status::out_of_memory, out.message);
  if (!check(out, engine::base_tolerance(variant))) return failure(Status::check_failed, "check ERROR");
  Result r;
  r.vertices = std::move(out.vertices);
  if (!data.original.empty())
    for (int& v : r.vertices) v = data.original[static_cast<size_t>(v)];
  std::sort(r.vertices.begin(), r.vertices.end());
  r.weight = out.weight;
  r.best_iteration = out.best_iteration;
  r.best_time = static_cast<double>(out.best_ticks - out.start_ticks) / 1e6;
  r.iterations = out.iterations;
  r.seed = seed;
  r.stopped = out.ended_by_proof ? StopReason::proven : stop_reason(r, o, out.wall_deadline_passed);
  r.kernel_vertices = out.kernel;
  r.proven_optimal = out.optimal;
  return r;
}

// A clique solve through the reduction (the programs' -r 1): the same
// kernel, the same search and exact search on it, the set checked against
// the input graph.  Times count the reduction; so does the time limit.
Result solve_reduced(const detail::GraphData& data, const Options& o, const SearchParams& p, const SearchEnv& env,
                     int seed) {
  const LoadedGraph* input = data.input_graph();
  if (!input) return failure(Status::out_of_memory, "cannot allocate memory for the input graph's lists");
  const engine::Variant variant = variant_of(o.program);
  parts::RunResult out = variant == engine::Variant::mavu1
                             ? parts::run_clique<engine::Variant::mavu1>(*input, p, env, engine::Generator::own,
                                                                          LayoutRequest::automatic)
                             : parts::run_clique<engine::Variant::mavu2>(*input, p, env, engine::Generator::own,
                                                                          LayoutRequest::automatic);
  return reduced_result(data, out, variant, o, seed, [&](const parts::RunResult& found, double base) {
    const double tolerance = visit_layout(*input, [&](const auto& g) {
      return ::check_tolerance(base, g.v_weight.data(), g.n_vertex, found.best_iteration);
    });
    return reduce::check_clique(*input, found.vertices.data(), static_cast<int>(found.vertices.size()), found.weight,
                                tolerance) != 0;
  });
}

// An independent-set solve through the reduction (the programs' -c 1 -r 1):
// the same rules, parts, exact attempts and searches, the lifted set checked
// against the graph.  Times count the reduction; so does the time limit.
Result solve_reduced_independent(const detail::GraphData& data, const LoadedGraph& loaded, const Options& o,
                                 const SearchParams& p, const SearchEnv& env, int seed) {
  const engine::Variant variant = variant_of(o.program);
  parts::RunResult out = variant == engine::Variant::mavu1
                             ? parts::run_independent<engine::Variant::mavu1>(loaded, p, env, engine::Generator::own,
                                                                               LayoutRequest::automatic)
                             : parts::run_independent<engine::Variant::mavu2>(loaded, p, env, engine::Generator::own,
                                                                               LayoutRequest::automatic);
  return reduced_result(data, out, variant, o, seed, [&](const parts::RunResult& found, double base) {
    return visit_layout(loaded, [&](const auto& g) {
      const double tolerance = ::check_tolerance(base, g.v_weight.data(), g.n_vertex, found.best_iteration);
      return check_solution(g, found.vertices.data(), static_cast<int>(found.vertices.size()), found.weight,
                            tolerance) != 0;
    });
  });
}

// The first exception thrown by the progress callback of any run of a solve.
// It ends every run (the callback is not called again) and is rethrown to
// the caller once every thread has joined.
struct CallbackError {
  std::mutex m;
  std::exception_ptr error;
  // Set once a callback has thrown: the stop flag of the runs when the
  // caller gave no StopToken, and with one the second flag of the reduced
  // runs' stages, so that reduced runs end at once as well.
  std::atomic<int> stop{0};

  void record(std::exception_ptr e) {
    std::lock_guard<std::mutex> lock(m);
    if (!error) error = std::move(e);
    stop.store(1, std::memory_order_relaxed);
  }
  bool failed() const { return stop.load(std::memory_order_relaxed) != 0; }
};

// What the solving thread reports through Options::progress.
struct TickContext {
  const Options* options;
  int seed;
  CallbackError* callback_error;
};

// False (the search ends) once a callback has thrown, in this run or another.
bool tick(void* ctx, int iter, double best_weight, double seconds) {
  const auto* t = static_cast<const TickContext*>(ctx);
  if (t->callback_error->failed()) return false;
  try {
    t->options->progress(Progress{t->seed, iter, best_weight, seconds});
    return true;
  } catch (...) {
    t->callback_error->record(std::current_exception());
    return false;
  }
}

// One solve with one seed; the options are checked.
Result solve_one(const Graph& graph, const Options& o, int seed, CallbackError& callback_error) {
  Result empty;
  empty.seed = seed;
  const detail::GraphData* data = &detail::GraphAccess::data(graph);
  if (data->searched == 0) {  // no vertex, or none of positive weight
    empty.stopped = StopReason::empty_graph;
    return empty;
  }
  SearchParams p;
  p.para_seed = seed;
  p.para_max_iter = o.max_iterations;
  p.para_opt = o.target;
  p.para_depth = o.depth;
  p.para_directed_prob = o.directed_percent;
  SearchEnv env;
  env.cpu_clock = CLOCK_THREAD_CPUTIME_ID;
  env.from_process_start = false;
  env.has_time_limit = true;
  env.time_limit = std::min(o.time_limit, 1e9);
  env.wall_time_limit = std::min(o.wall_time_limit, 1e9);
  if (o.stop) env.stop = &o.stop->flag();
  TickContext tick_context{&o, seed, &callback_error};
  if (o.progress) {
    if (!o.stop) env.stop = &callback_error.stop;
    env.abort = &callback_error.stop;  // the stages of a reduced run watch it next to a caller's token
    env.tick = tick;
    env.tick_ctx = &tick_context;
    env.tick_seconds = 0.1;
  }

  // Independent sets reduce unless told not to; cliques where the programs
  // reduce by default, and small graphs, whose optimum the exact search
  // proves (see Reduce).
  const bool reduce =
      o.independent_set
          ? o.reduce != Reduce::off
          : o.reduce == Reduce::on ||
                (o.reduce == Reduce::automatic &&
                 (data->searched <= kSmallGraphVertices ||
                  (data->primary_independent &&
                   reduced_by_default(data->vertex_count(), data->edge_count_of_input()))));
  if (!o.independent_set && reduce) return solve_reduced(*data, o, p, env, seed);
  const LoadedGraph* loaded = data->conflict_graph(o.independent_set);
  if (loaded && o.independent_set && reduce) return solve_reduced_independent(*data, *loaded, o, p, env, seed);
  if (!loaded) {
    const int n = graph.vertex_count();
    if (n > kMaxVertices)
      return failure(Status::invalid_input,
                     format(o.independent_set
                                ? "a graph of %lld vertices loaded for cliques can be solved for independent sets only "
                                  "up to %lld vertices (load it for this mode: Graph::from_file(path, true))"
                                : "a graph of %lld vertices can be solved for cliques without reduction only up to "
                                  "%lld vertices (solve it with reduce on or automatic)",
                            n, kMaxVertices));
    return failure(Status::out_of_memory, "cannot allocate memory for the graph of the other mode");
  }
  const engine::Variant variant = variant_of(o.program);
  // The library never touches the C library's generator: its draws come from
  // the state's own copy of the GNU C library's sequence (the programs' runs
  // wherever the C library is GNU's).
  engine::BestSet best;
  const engine::RunStatus ran =
      variant == engine::Variant::mavu1
          ? engine::run<engine::Variant::mavu1>(engine::Generator::own, *loaded, p, env, best)
          : engine::run<engine::Variant::mavu2>(engine::Generator::own, *loaded, p, env, best);
  if (ran != engine::RunStatus::ok) return failure(Status::out_of_memory, engine::search_memory_message(variant, *loaded));
  // The programs' final check, with their tolerance.
  const bool checked = visit_layout(*loaded, [&](const auto& g) {
    const double tolerance =
        ::check_tolerance(engine::base_tolerance(variant), g.v_weight.data(), g.n_vertex, best.iteration);
    return check_solution(g, best.vertices.data(), static_cast<int>(best.vertices.size()), best.weight, tolerance) != 0;
  });
  if (!checked) return failure(Status::check_failed, "check ERROR");

  Result r;
  r.vertices = std::move(best.vertices);
  if (!data->original.empty())
    for (int& v : r.vertices) v = data->original[static_cast<size_t>(v)];
  std::sort(r.vertices.begin(), r.vertices.end());
  r.weight = best.weight;
  r.best_iteration = best.iteration;
  r.best_time = static_cast<double>(best.end_ticks - best.start_ticks) / 1e6;
  r.iterations = best.iterations;
  r.seed = seed;
  r.stopped = stop_reason(r, o, best.wall_deadline_passed);
  return r;
}

// One solve per seed in `threads` threads; the best, the first listed among equals.
Result solve_seeds(const Graph& graph, const Options& o, CallbackError& callback_error) {
  const size_t count = o.seeds.size();
  size_t threads = o.threads > 0 ? static_cast<size_t>(o.threads) : std::max(1u, std::thread::hardware_concurrency());
  threads = std::min(threads, count);
  std::vector<Result> runs(count);
  std::atomic<size_t> next{0};
  // An exception of a run (a lack of memory) is kept and rethrown here once
  // every thread has joined; the runs not started by then are skipped.
  std::mutex error_mutex;
  std::exception_ptr error;
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < count;) {
      if (callback_error.failed()) break;  // the solve is over: no run starts
      try {
        runs[i] = solve_one(graph, o, o.seeds[i], callback_error);
      } catch (...) {
        std::lock_guard<std::mutex> lock(error_mutex);
        if (!error) error = std::current_exception();
        next.store(count);
      }
    }
  };
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; t++) {
    try {
      pool.emplace_back(work);
    } catch (...) {  // no thread to be had: the others (and this one) do the work
      break;
    }
  }
  work();
  for (auto& t : pool) t.join();
  if (error) std::rethrow_exception(error);
  size_t best = 0;
  for (size_t i = 0; i < count; i++) {
    if (!runs[i].ok()) return runs[i];
    if (runs[i].weight > runs[best].weight) best = i;
  }
  Result r = runs[best];
  r.runs = std::move(runs);
  return r;
}

Result solve_checked(const Graph& graph, const Options& o, CallbackError& callback_error) {
  if (!graph.ok()) return failure(graph.status(), graph.message());
  if (std::string m = check_options(o); !m.empty()) return failure(Status::invalid_options, std::move(m));
  if (detail::GraphAccess::data(graph).independent_set_only && !o.independent_set)
    return failure(Status::invalid_options,
                   "the graph was built for independent sets (from_edges with independent_set = true): "
                   "solve it with Options::independent_set = true");
  if (o.seeds.empty()) return solve_one(graph, o, o.seed, callback_error);
  return solve_seeds(graph, o, callback_error);
}

}  // namespace

// The containers of the library report a lack of memory by std::bad_alloc;
// solve turns it into a status.  The one exception that leaves it is the
// progress callback's own, rethrown once the solve has ended.
Result solve(const Graph& graph, const Options& o) {
  CallbackError callback_error;
  Result r;
  try {
    r = solve_checked(graph, o, callback_error);
  } catch (const std::bad_alloc&) {
    r = failure(Status::out_of_memory, "cannot allocate memory for the search");
  }
  if (callback_error.error) std::rethrow_exception(callback_error.error);
  return r;
}

const char* to_string(Status status) {
  switch (status) {
    case Status::ok: return "ok";
    case Status::cannot_open: return "cannot_open";
    case Status::invalid_input: return "invalid_input";
    case Status::out_of_memory: return "out_of_memory";
    case Status::invalid_options: return "invalid_options";
    case Status::check_failed: return "check_failed";
  }
  return "unknown";
}

const char* to_string(StopReason reason) {
  switch (reason) {
    case StopReason::none: return "none";
    case StopReason::iterations: return "iterations";
    case StopReason::time_limit: return "time_limit";
    case StopReason::wall_time_limit: return "wall_time_limit";
    case StopReason::target: return "target";
    case StopReason::stop_requested: return "stop_requested";
    case StopReason::empty_graph: return "empty_graph";
    case StopReason::proven: return "proven";
  }
  return "unknown";
}

}  // namespace mavu
