#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <numeric>

#include "core/cpu_clock.h"
#include "mavu/parts/part_search.h"
#include "mavu/parts/run.h"
#include "mavu/parts/schedule.h"
#include "mavu/exact/clique_bb.h"
#include "mavu/exact/tree_dp.h"
#include "mavu/reduce/exact.h"
#include "mavu/reduce/independent.h"

namespace mavu::parts {

namespace {

// Which search a part gets: the kernel local search where its conflict
// graph is sparse (the rule that picks the compressed layout: more than
// 46341 vertices, or an average degree below n/16), the program's tabu
// search where it is dense.  Measured at 2-3 s (docs/reduction-mis.md): the
// local search matches or beats the tabu search on every sparse part we
// have (the independent-set samples' kernels of 631-2195 vertices and
// average degree 3, power-law graphs of 6400 vertices and degree 70, grids,
// and every large part), and loses where the graph is dense (G(500, 0.5):
// 1739 against 1876; degree 72 on 300 vertices: 4026 against 4045), where
// a move of the tabu search costs no more than one of the local search.
bool searched_locally(const reduce::SubInstance& part) {
  const long long k = part.vertex_count();
  const long long m = visit_layout(part.graph, [](const auto& g) { return static_cast<long long>(g.n_edge); });
  return choose_layout(k, m, LayoutRequest::automatic) != GraphLayout::dense;
}

// The rules may take at most this share of the time left when they start:
// where they do not reach their fixpoint in it, what is left is searched.
// A large share, because a reduction that reaches its fixpoint may settle
// the graph (a proof), and the kernel search makes up quickly for the time
// it lost: a power-law graph of 10^7 edges reaches its fixpoint in about
// 5 s of -t 10 and its search still weighs 44.16·10^6 (44.30·10^6 when the
// rules had half of the time).
constexpr double kReduceShare = 0.75;
// After the rules, the parts' graphs are built and bounded: about 150 ns
// per input edge at most (a power-law graph of 10^7 edges: 2.1 s after
// rules that decided 2 % of it), taken from the rules' share.  After the
// searches, lifting, the check of the set, the report and freeing the graph
// take up to about 26 ns per vertex and edge of the input (0.08 s on a
// power-law graph of 1.1·10^7 whose kernel is 10^6 vertices; 1.05 s on a
// uniform graph of 4·10^7 whose kernel is 9·10^6): the searches end 30 ns
// per vertex and edge before the limit.
constexpr double kBuildSecondsPerEdge = 150e-9;
constexpr double kFinishSecondsPerEntry = 30e-9;

// Parts up to this many vertices get an exact attempt.
constexpr int kExactMaxVertices = 20000;
// The exact attempts together take at most this share of the time left
// when they start, each a part of it by its size; and branch and reduce at
// most this much work per vertex and list entry of its part (at least the
// minimum), so that a run under an iteration limit makes the same attempts
// on every machine.
constexpr double kExactShare = 0.5;
constexpr long long kBranchWorkPerEntry = 200;
constexpr long long kBranchMinWork = 2000000;

struct Part {
  reduce::SubInstance* sub = nullptr;
  PartLists lists;
  bool solved = false;
  std::vector<int> set;  // solved: the part's optimum (part numbering)
  double weight = 0;
  std::unique_ptr<PartSearch> search;
  long share = 0;        // iterations the part's search may run
};

// Dynamic programming over a tree decomposition runs where an elimination
// order of width at most kDpMaxWidth has at most kDpMaxEntries table
// entries.  It cannot fail but by time, and its time is about its entries
// times kDpSecondsPerEntry (bench/tree_dp, measured with the order: 24 ns
// per entry at width 14, Promedus_27; 66 ns at width 20, DBN_11, 2.2e7
// entries in 1.46 s), so it gets the time it needs, with a margin, beyond
// its part's share, as long as that leaves the search kDpLeftForSearch of
// the time left; a programme that does not fit is not started.
constexpr int kDpMaxWidth = 20;
constexpr double kDpMaxEntries = 1 << 27;
constexpr double kDpSecondsPerEntry = 70e-9;
constexpr double kDpMargin = 1.5;
constexpr double kDpLeftForSearch = 0.25;
// Dense parts (their independent sets are the cliques of a sparse
// complement) up to this size go to the exact clique search on the
// complement, within this much work per vertex squared (word operations).
constexpr int kCliqueMaxVertices = 5000;
constexpr long long kCliqueWorkPerPair = 64;

// The complement of g as lists: the input graph of the clique search whose
// cliques are g's independent sets.
bool complement_lists(const SparseConflictGraph<uint32_t>& g, SparseConflictGraph<uint32_t>& out) {
  const int k = g.n_vertex;
  std::vector<ConflictPair> pairs;
  std::vector<uint8_t> row(static_cast<size_t>(k), 0);
  try {
    for (int v = 0; v < k; v++) {
      for (int i = 0; i < g.v_edge_count[v]; i++) row[g.v_adj[v][i]] = 1;
      for (int u = v + 1; u < k; u++)
        if (!row[static_cast<size_t>(u)]) pairs.push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(u)});
      for (int i = 0; i < g.v_edge_count[v]; i++) row[g.v_adj[v][i]] = 0;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return sparse_from_pairs(out, k, pairs.data(), static_cast<long long>(pairs.size()), g.v_weight.data()) == 0;
}

// An exact attempt on one part: the optimum (true) or nothing.  Every
// attempt is bounded by work (so that a run makes the same attempts on
// every machine) and by `deadline` (its share of the time).
bool exact_attempt(const SparseConflictGraph<uint32_t>& g, Deadline& deadline, const Deadline& run,
                   std::vector<int>& set, double& weight, RunStats& stats) {
  if (deadline.expired()) return false;
  const long long k = g.n_vertex;
  const bool dense = choose_layout(k, g.n_edge, LayoutRequest::automatic) == GraphLayout::dense;
  if (dense) {
    if (k > kCliqueMaxVertices) return false;
    SparseConflictGraph<uint32_t> complement;
    exact::CliqueBB bb;
    if (!complement_lists(g, complement) || !bb.init_whole(complement, 0.0, {})) return false;
    if (bb.run(deadline, kCliqueWorkPerPair * k * k) != exact::ExactStatus::proven) return false;
    set = bb.best_set();
    std::sort(set.begin(), set.end());
    weight = 0;
    for (int v : set) weight += g.v_weight[static_cast<size_t>(v)];
    stats.solved_clique++;
    return true;
  }
  const exact::EliminationOrder order = exact::elimination_order(g, exact::Ordering::best, kDpMaxWidth, deadline);
  const double dp_seconds = order.entries * kDpSecondsPerEntry;
  const double dp_allowed = run.unlimited() ? Deadline::kNoLimit : (1 - kDpLeftForSearch) * run.remaining();
  if (order.status == exact::OrderStatus::ok && order.entries <= kDpMaxEntries && dp_seconds <= dp_allowed) {
    exact::TreeDpOptions options;
    options.max_width = kDpMaxWidth;
    Deadline dp = run.within(std::min(dp_allowed, std::max(deadline.remaining(), kDpMargin * dp_seconds)));
    exact::TreeDpResult r = exact::solve_tree_dp(g, order, dp, options);
    if (r.status == exact::TreeDpStatus::solved) {
      set = std::move(r.set);
      weight = r.weight;
      stats.solved_dp++;
      return true;
    }
  }
  if (deadline.expired()) return false;
  long budget = static_cast<long>(std::max(kBranchMinWork, kBranchWorkPerEntry * (g.n_vertex + 2 * g.n_edge)));
  reduce::MwisOptions options;
  if (!reduce::branch_and_reduce(g, -std::numeric_limits<double>::infinity(), budget, set, weight, options, &deadline))
    return false;
  stats.solved_branch++;
  return true;
}

}  // namespace

template <engine::Variant V>
RunResult run_independent_or_throw(const LoadedGraph& input, const SearchParams& params, const SearchEnv& env,
                                   engine::Generator generator, LayoutRequest layout) {
  RunResult res;
  res.start_ticks = env.from_process_start ? 0 : cpu_ticks(env.cpu_clock);
  Deadline deadline = run_deadline(params, env, res.start_ticks);
  const long t_reduce = cpu_ticks(env.cpu_clock);

  // The rules, the components, the small ones solved; branch and reduce
  // runs below, on the parts, with its share of the time.
  reduce::IndependentOptions options;
  options.layout = layout;
  options.clock = env.cpu_clock;
  options.rules.branch_max_vertices = 0;
  const long long input_n = visit_layout(input, [](const auto& g) { return static_cast<long long>(g.n_vertex); });
  const long long input_m = visit_layout(input, [](const auto& g) { return static_cast<long long>(g.n_edge); });
  Deadline reduce_deadline = deadline.within(
      deadline.unlimited() ? Deadline::kNoLimit
                           : std::max(0.0, kReduceShare * deadline.remaining() -
                                               kBuildSecondsPerEdge * static_cast<double>(input_m)));
  options.deadline = &reduce_deadline;
  reduce::Reduced reduced;
  const reduce::IndependentReport rep = reduce::reduce_independent_set(input, options, reduced);
  if (!rep.ok) return failed_run(rep.message);
  res.kernel = rep.kernel;
  res.stats.reduction_cut = rep.cut;
  res.stats.parts = static_cast<int>(reduced.parts.size());
  res.stats.reduce_seconds = static_cast<double>(cpu_ticks(env.cpu_clock) - t_reduce) / 1e6;

  std::vector<Part> parts(reduced.parts.size());
  for (size_t p = 0; p < parts.size(); p++) parts[p].sub = reduced.parts[p].get();
  res.vertices = reduced.incumbent;
  res.weight = reduced.incumbent_weight;
  res.best_ticks = reduced.incumbent_ticks;

  // Exact attempts, smallest part first.
  const long t_exact = cpu_ticks(env.cpu_clock);
  std::vector<size_t> order(parts.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return parts[a].sub->vertex_count() < parts[b].sub->vertex_count(); });
  long long left = 0;
  for (const Part& p : parts)
    if (p.sub->vertex_count() <= kExactMaxVertices) left += p.sub->vertex_count();
  double pool = deadline.unlimited() ? Deadline::kNoLimit : kExactShare * deadline.remaining();
  for (size_t idx : order) {
    Part& part = parts[idx];
    const int k = part.sub->vertex_count();
    if (k > kExactMaxVertices) continue;
    if (deadline.expired()) break;
    const double share = pool * static_cast<double>(k) / static_cast<double>(std::max(1LL, left));
    left -= k;
    const long t0 = cpu_ticks(env.cpu_clock);
    Deadline attempt = deadline.within(share);
    const SparseConflictGraph<uint32_t>* lists = part.lists.get(part.sub->graph);
    if (lists == nullptr) return failed_run(kNoMemoryMessage);
    part.solved = exact_attempt(*lists, attempt, deadline, part.set, part.weight, res.stats);
    if (!deadline.unlimited()) pool = std::max(0.0, pool - static_cast<double>(cpu_ticks(env.cpu_clock) - t0) / 1e6);
  }
  res.stats.exact_seconds = static_cast<double>(cpu_ticks(env.cpu_clock) - t_exact) / 1e6;

  // The decided weight, the solved parts and the bounds of the others.
  double fixed = reduced.decided_weight, bound = reduced.decided_weight;
  long long searched = 0;
  int searched_parts = 0;
  for (const Part& p : parts) {
    fixed += p.solved ? p.weight : 0.0;
    bound += p.solved ? p.weight : p.sub->bound;
    if (!p.solved) {
      searched += p.sub->vertex_count();
      searched_parts++;
    }
  }
  res.stats.searched_vertices = searched;

  // The searches (none when the time is up: the parts left keep empty
  // sets, and the set lifted from them is still independent).
  const bool search_time = !deadline.expired();
  SearchParams part_params = params;
  part_params.para_opt = searched_parts == 1 ? params.para_opt - fixed : std::numeric_limits<double>::infinity();
  SearchEnv part_env = env;
  part_env.tick = nullptr;  // the scheduler reports the whole run's progress
  for (size_t p = 0; p < parts.size(); p++) {
    Part& part = parts[p];
    if (part.solved || !search_time) continue;
    const int k = part.sub->vertex_count();
    part.share = reduce::iteration_share(params.para_max_iter, k, searched);
    if (searched_locally(*part.sub)) {
      const SparseConflictGraph<uint32_t>* lists = part.lists.get(part.sub->graph);
      if (lists != nullptr) part.search = start_local(*lists, static_cast<unsigned>(params.para_seed), env.cpu_clock);
      if (part.search == nullptr) return failed_run(local_search_memory_message(k));
      res.stats.searched_local++;
    } else {
      SearchParams pp = part_params;
      pp.para_max_iter = static_cast<int>(part.share);
      part.search = start_tabu<V>(part.sub->graph, generator, pp, part_env);
      if (part.search == nullptr) return failed_run(engine::search_memory_message(V, part.sub->graph));
      res.stats.searched_tabu++;
    }
  }

  const double finish = kFinishSecondsPerEntry * static_cast<double>(input_n + input_m);
  Deadline search_deadline =
      deadline.unlimited() ? deadline : deadline.within(std::max(0.0, deadline.remaining() - finish));
  Scheduler sched(search_deadline, env, params.para_opt, bound);
  for (Part& part : parts)
    if (part.search) sched.add(part.search.get(), part.sub->vertex_count(), part.share);
  sched.set_fixed(fixed);
  const ScheduleOutcome run = sched.run();
  res.iterations = run.iterations;
  res.wall_deadline_passed = run.wall_deadline_passed;

  // The lifted set, when it beats what the reduction had (the decided
  // vertices alone).
  const double total = fixed + run.searched_weight;
  if (total > res.weight) {
    std::vector<std::vector<int>> sets(parts.size());
    for (size_t p = 0; p < parts.size(); p++)
      if (parts[p].solved || parts[p].search) sets[p] = parts[p].solved ? parts[p].set : parts[p].search->best_set();
    res.vertices = reduced.lift ? reduced.lift(reduced, sets) : reduce::lift_by_map(reduced, sets);
    res.weight = total;
    res.best_iteration = run.best_iteration;
    res.best_ticks = searched_parts == 0 ? cpu_ticks(env.cpu_clock) : run.best_ticks;
  }
  res.weight = visit_layout(input, [&](const auto& g) { return set_weight(g.v_weight.data(), res.vertices); });
  res.optimal = searched_parts == 0 || res.weight >= bound;
  res.ended_by_proof = res.optimal && !run.limit_reached;
  return res;
}

template <engine::Variant V>
RunResult run_independent(const LoadedGraph& input, const SearchParams& params, const SearchEnv& env,
                          engine::Generator generator, LayoutRequest layout) {
  return catching_bad_alloc([&] { return run_independent_or_throw<V>(input, params, env, generator, layout); });
}

template RunResult run_independent<engine::Variant::mavu1>(const LoadedGraph&, const SearchParams&, const SearchEnv&,
                                                           engine::Generator, LayoutRequest);
template RunResult run_independent<engine::Variant::mavu2>(const LoadedGraph&, const SearchParams&, const SearchEnv&,
                                                           engine::Generator, LayoutRequest);

}  // namespace mavu::parts
