#include "mavu/mavu.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

#include "mavu/engine.h"
#include "mavu/parts/run.h"
#include "mavu/reduce/clique.h"
#include "readers/graph_builder.h"
#include "readers/loader.h"
#include "verify/check.h"

namespace mavu {

namespace detail {

// The search works on the conflict graph: the complement of the graph for a
// clique, the graph itself for an independent set.  A Graph holds the one of
// the mode it was loaded for (from_file's independent_set; edge lists and
// clique files: the clique's), in the layout the programs would choose for
// it; the other is its complement, built in the bit-matrix layout (at most
// 46341 vertices) the first time a solve asks for it, and kept: a Graph is
// shared by its copies and may be solved in several threads at once.  The
// search is the same draw for draw in either layout.
struct GraphData {
  int n = 0;                         // vertices of the caller's graph
  // The search runs on the vertices of positive weight: a zero-weight vertex
  // adds nothing to a set, and the search's candidate lists assume every
  // vertex has a gain when it is free.  `original` maps a searched vertex to
  // the caller's (empty: all are searched, same numbers); `weights` then
  // holds the caller's weights.
  std::vector<int> original;
  std::vector<double> weights;
  int searched = 0;                  // vertices searched; 0: no layout is built
  bool primary_independent = false;  // `primary` is the independent-set mode's conflict graph
  LoadedGraph primary;
  mutable std::once_flag other_once;
  mutable LoadedGraph other;  // layout: dense
  mutable bool other_ok = false;

  const LoadedGraph* conflict_graph(bool independent_set) const {
    if (independent_set == primary_independent) return &primary;
    std::call_once(other_once, [this] { other_ok = build_complement(); });
    return other_ok ? &other : nullptr;
  }

  // Every pair that does not conflict in `primary` conflicts in `other`:
  // primary's conflicts are the edges of a file whose clique graph is other.
  bool build_complement() const {
    return visit_layout(primary, [this](const auto& g) {
      if (g.n_vertex > kMaxVertices) return false;
      other.layout = GraphLayout::dense;
      DenseGraphBuilder<InstanceMode::clique> b(other.dense);
      if (!b.begin(g.n_vertex, static_cast<long long>(g.n_edge))) return false;
      for (int v = 0; v < g.n_vertex; v++) {
        b.set_weight(v, g.v_weight[static_cast<size_t>(v)]);
        for (int k = 0; k < g.v_edge_count[static_cast<size_t>(v)]; k++) {
          const int u = static_cast<int>(g.v_adj[static_cast<size_t>(v)][k]);
          if (u > v) b.add_edge(v, u);
        }
      }
      return b.finish();
    });
  }

  // The input graph of clique mode as lists (the reduction's input): the
  // primary when it was read for independent-set solves in the compressed
  // layout, else built once from the primary (at most 46341 vertices).
  mutable std::once_flag input_once;
  mutable LoadedGraph input;
  mutable bool input_ok = false;

  const LoadedGraph* input_graph() const {
    if (primary_independent && primary.layout != GraphLayout::dense) return &primary;
    std::call_once(input_once, [this] { input_ok = build_input(); });
    return input_ok ? &input : nullptr;
  }

  // The input graph's edges are primary's conflicts (independent-set
  // primary) or the pairs that do not conflict (clique primary).
  bool build_input() const {
    std::vector<ConflictPair> pairs;
    const int n = vertex_count();
    visit_layout(primary, [&](const auto& g) {
      for (int v = 0; v < n; v++)
        for (int u = v + 1; u < n; u++)
          if (g.conflict(v, u) == primary_independent) pairs.push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(u)});
    });
    input.layout = GraphLayout::sparse16;
    input.input_graph = true;
    return visit_layout(primary, [&](const auto& g) {
      return sparse_from_pairs(input.sparse16, n, pairs.data(), static_cast<long long>(pairs.size()),
                               g.v_weight.data()) == 0;
    });
  }

  long long edge_count_of_input() const {
    return visit_layout(primary, [this](const auto& g) {
      const long long n = g.n_vertex, conflicts = static_cast<long long>(g.n_edge);
      return primary_independent ? conflicts : n * (n - 1) / 2 - conflicts;
    });
  }

  int vertex_count() const {
    return visit_layout(primary, [](const auto& g) { return g.n_vertex; });
  }
  double weight(int v) const {
    if (!original.empty()) return weights[static_cast<size_t>(v)];
    return visit_layout(primary, [v](const auto& g) { return g.v_weight[static_cast<size_t>(v)]; });
  }
};

struct GraphAccess {
  static Graph make(std::shared_ptr<const GraphData> data, Status status, std::string message) {
    Graph g;
    g.data_ = std::move(data);
    g.status_ = status;
    g.message_ = std::move(message);
    return g;
  }
  static const GraphData& data(const Graph& g) { return *g.data_; }
};

}  // namespace detail

namespace {

Graph failed_graph(Status status, std::string message) {
  return detail::GraphAccess::make(nullptr, status, std::move(message));
}

Graph built_graph(std::shared_ptr<const detail::GraphData> data) {
  return detail::GraphAccess::make(std::move(data), Status::ok, {});
}

std::string format(const char* fmt, long long a, long long b = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

engine::Variant variant_of(Program p) { return p == Program::mavu2 ? engine::Variant::mavu2 : engine::Variant::mavu1; }

Result failure(Status status, std::string message) {
  Result r;
  r.status = status;
  r.message = std::move(message);
  return r;
}

}  // namespace

Graph::Graph() : status_(Status::invalid_input), message_("no graph") {}

namespace {

Graph read_file(const std::string& path, bool independent_set) {
  auto data = std::make_shared<detail::GraphData>();
  LoadOptions options;
  if (independent_set) options.mode = InstanceMode::independent_set;
  // A clique file that solves reduce by default is read as its input graph,
  // which is the conflict graph of the independent-set mode.
  options.clique_read = CliqueRead::input_graph_if_reduced;
  LoadResult loaded = load_graph(path.c_str(), data->primary, options);
  data->primary_independent = independent_set || data->primary.input_graph;
  switch (loaded.status) {
    case LoadStatus::ok: break;
    case LoadStatus::cannot_open: return failed_graph(Status::cannot_open, std::move(loaded.message));
    case LoadStatus::invalid: return failed_graph(Status::invalid_input, std::move(loaded.message));
    case LoadStatus::out_of_memory: return failed_graph(Status::out_of_memory, std::move(loaded.message));
  }
  data->n = data->searched = visit_layout(data->primary, [](const auto& g) { return g.n_vertex; });
  return built_graph(std::move(data));
}

// The pairs of an independent-set graph straight into the compressed layout
// (the programs' -c 1 path for sparse graphs), without a bit matrix.
template <class V>
Graph sparse_independent(std::shared_ptr<detail::GraphData> data, SparseConflictGraph<V>& g, int n,
                         std::span<const std::pair<int, int>> edges, const double* weights,
                         const std::vector<long long>& edge_of) {
  HeapArray<ConflictPair> pairs;
  if (!pairs.alloc(edges.size(), false)) return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  for (size_t k = 0; k < edges.size(); k++)
    pairs[k] = {static_cast<uint32_t>(edges[k].first), static_cast<uint32_t>(edges[k].second)};
  const long long r = sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(edges.size()), weights);
  if (r < 0) return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  if (r > 0)
    return failed_graph(Status::invalid_input,
                        format("edge %lld repeats an earlier edge", edge_of.empty() ? r - 1 : edge_of[r - 1]));
  return built_graph(std::move(data));
}

Graph read_edges(int n, std::span<const std::pair<int, int>> edges, std::span<const double> weights,
                 bool independent_set) {
  const long long max_n = kMaxVerticesSparse;
  if (n < 0 || n > max_n)
    return failed_graph(Status::invalid_input, format("the vertex count %lld is not between 0 and %lld", n, max_n));
  if (!weights.empty() && weights.size() != static_cast<size_t>(n))
    return failed_graph(Status::invalid_input,
                        format("%lld weights for %lld vertices", static_cast<long long>(weights.size()), n));
  double total = 0;
  for (size_t v = 0; v < weights.size(); v++) {
    if (!std::isfinite(weights[v]))
      return failed_graph(Status::invalid_input,
                          format("the weight of vertex %lld is not a finite number", static_cast<long long>(v)));
    if (weights[v] < 0)
      return failed_graph(Status::invalid_input, format("the weight of vertex %lld is negative", static_cast<long long>(v)));
    total += weights[v];
  }
  if (!std::isfinite(total))
    return failed_graph(Status::invalid_input, "the vertex weights add up to more than a double can hold");
  for (size_t k = 0; k < edges.size(); k++) {
    const auto [x, y] = edges[k];
    if (x < 0 || x >= n || y < 0 || y >= n)
      return failed_graph(Status::invalid_input,
                          format("edge %lld has a vertex outside 0 .. %lld", static_cast<long long>(k), n - 1LL));
    if (x == y)
      return failed_graph(Status::invalid_input, format("edge %lld is a loop on vertex %lld", static_cast<long long>(k), x));
  }

  // Both modes hold the edges as given: the conflicts of independent sets,
  // or the input graph of cliques as lists (what the reduction reads; a
  // clique solve without reduction builds the complement when it asks).
  auto data = std::make_shared<detail::GraphData>();
  data->n = n;
  data->primary_independent = true;
  // Without weights every vertex weighs 1 (the files' default weights belong to the files).
  std::vector<double> ones;
  if (weights.empty()) {
    ones.assign(static_cast<size_t>(n), 1.0);
    weights = ones;
  }
  // Zero-weight vertices are left out of the search (their edges with them).
  std::vector<std::pair<int, int>> kept_edges;
  std::vector<double> kept_weights;
  std::vector<long long> edge_of;  // position of a kept edge among the caller's
  if (std::find(weights.begin(), weights.end(), 0.0) != weights.end()) {
    std::vector<int> number(static_cast<size_t>(n), -1);
    for (int v = 0; v < n; v++)
      if (weights[static_cast<size_t>(v)] > 0) {
        number[static_cast<size_t>(v)] = static_cast<int>(data->original.size());
        data->original.push_back(v);
        kept_weights.push_back(weights[static_cast<size_t>(v)]);
      }
    for (size_t k = 0; k < edges.size(); k++) {
      const int x = number[static_cast<size_t>(edges[k].first)], y = number[static_cast<size_t>(edges[k].second)];
      if (x >= 0 && y >= 0) kept_edges.push_back({x, y}), edge_of.push_back(static_cast<long long>(k));
    }
    data->weights.assign(weights.begin(), weights.end());
    if (data->original.empty()) data->original.push_back(-1);  // none searched; the mapping is not the identity
    edges = kept_edges;
    weights = kept_weights;
  }
  const int searched = data->searched = static_cast<int>(weights.size());
  if (searched == 0) return built_graph(std::move(data));
  auto edge_position = [&](size_t k) { return static_cast<long long>(edge_of.empty() ? k : edge_of[k]); };

  LoadedGraph& g = data->primary;
  if (independent_set) {
    g.layout = choose_layout(searched, static_cast<long long>(edges.size()), LayoutRequest::automatic);
  } else {
    g.input_graph = true;
    g.layout = searched <= kMaxVertices16 ? GraphLayout::sparse16 : GraphLayout::sparse32;
  }
  if (g.layout == GraphLayout::sparse16)
    return sparse_independent(data, g.sparse16, searched, edges, weights.data(), edge_of);
  if (g.layout == GraphLayout::sparse32)
    return sparse_independent(data, g.sparse32, searched, edges, weights.data(), edge_of);
  auto build = [&](auto&& b) {
    if (!b.begin(searched, static_cast<long long>(edges.size())))
      return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
    for (int v = 0; v < searched; v++) b.set_weight(v, weights[static_cast<size_t>(v)]);
    for (size_t k = 0; k < edges.size(); k++)
      if (!b.add_edge(edges[k].first, edges[k].second))
        return failed_graph(Status::invalid_input, format("edge %lld repeats an earlier edge", edge_position(k)));
    if (!b.finish()) return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
    return built_graph(data);
  };
  return build(DenseGraphBuilder<InstanceMode::independent_set>(g.dense));
}

}  // namespace

// The containers of the library report a lack of memory by std::bad_alloc;
// the public entry points turn it into a status, so nothing is thrown past
// the API.
Graph Graph::from_file(const std::string& path, bool independent_set) {
  try {
    return read_file(path, independent_set);
  } catch (const std::bad_alloc&) {
    return failed_graph(Status::out_of_memory, path + ": cannot allocate memory to read the instance");
  }
}

Graph Graph::from_edges(int n, std::span<const std::pair<int, int>> edges, std::span<const double> weights,
                        bool independent_set) {
  try {
    return read_edges(n, edges, weights, independent_set);
  } catch (const std::bad_alloc&) {
    return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  }
}

int Graph::vertex_count() const { return data_ ? data_->n : 0; }

double Graph::weight(int v) const {
  return data_ && v >= 0 && v < data_->n ? data_->weight(v) : std::numeric_limits<double>::quiet_NaN();
}

std::string check_option(OptionId option, double value) {
  const OptionSpec& o = option_spec(option);
  if (value >= o.min && value <= o.max) return {};
  char text[64];
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e18)
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  else
    std::snprintf(text, sizeof text, "%g", value);
  return std::string(o.name) + " = " + text + " is outside its range " + o.range_text;
}

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

std::string check_options(const Options& o) {
  const std::pair<OptionId, double> values[] = {
      {OptionId::seed, o.seed},
      {OptionId::max_iterations, o.max_iterations},
      {OptionId::time_limit, o.time_limit},
      {OptionId::wall_time_limit, o.wall_time_limit},
      {OptionId::target, o.target},
      {OptionId::depth, o.depth},
      {OptionId::directed_percent, o.directed_percent},
      {OptionId::threads, o.threads},
  };
  for (const auto& [id, value] : values)
    if (std::string m = check_option(id, value); !m.empty()) return m;
  if (o.program != Program::mavu1 && o.program != Program::mavu2)
    return std::string("program is outside its range ") + option_spec(OptionId::program).range_text;
  return {};
}

// What the solving thread reports through Options::progress.
struct TickContext {
  const Options* options;
  int seed;
};

void tick(void* ctx, int iter, double best_weight, double seconds) {
  const auto* t = static_cast<const TickContext*>(ctx);
  t->options->progress(Progress{t->seed, iter, best_weight, seconds});
}

// One solve with one seed; the options are checked.
Result solve_one(const Graph& graph, const Options& o, int seed) {
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
  TickContext tick_context{&o, seed};
  if (o.progress) {
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
Result solve_seeds(const Graph& graph, const Options& o) {
  const size_t count = o.seeds.size();
  size_t threads = o.threads > 0 ? static_cast<size_t>(o.threads) : std::max(1u, std::thread::hardware_concurrency());
  threads = std::min(threads, count);
  std::vector<Result> runs(count);
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < count;) runs[i] = solve_one(graph, o, o.seeds[i]);
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
  size_t best = 0;
  for (size_t i = 0; i < count; i++) {
    if (!runs[i].ok()) return runs[i];
    if (runs[i].weight > runs[best].weight) best = i;
  }
  Result r = runs[best];
  r.runs = std::move(runs);
  return r;
}

Result solve_checked(const Graph& graph, const Options& o) {
  if (!graph.ok()) return failure(graph.status(), graph.message());
  if (std::string m = check_options(o); !m.empty()) return failure(Status::invalid_options, std::move(m));
  if (o.seeds.empty()) return solve_one(graph, o, o.seed);
  return solve_seeds(graph, o);
}

}  // namespace

// The containers of the library report a lack of memory by std::bad_alloc;
// solve turns it into a status, so nothing is thrown past the API.
Result solve(const Graph& graph, const Options& o) {
  try {
    return solve_checked(graph, o);
  } catch (const std::bad_alloc&) {
    return failure(Status::out_of_memory, "cannot allocate memory for the search");
  }
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
