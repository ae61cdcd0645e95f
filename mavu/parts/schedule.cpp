#include "mavu/parts/schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "core/cpu_clock.h"
#include "mavu/ils/local_search.h"
#include "mavu/parts/run.h"

namespace mavu::parts {

Deadline run_deadline(const SearchParams& params, const SearchEnv& env, long start_ticks) {
  const double seconds = env.has_time_limit ? env.time_limit : static_cast<double>(params.para_max_seond);
  int64_t wall = INT64_MAX;
  if (env.wall_time_limit < 1e9)
    wall = cpu_clock_detail::coarse_now_ns() + static_cast<int64_t>(env.wall_time_limit * 1e9);
  return Deadline(env.cpu_clock, start_ticks, seconds, env.stop, wall, env.abort);
}

const SparseConflictGraph<uint32_t>* PartLists::get(const LoadedGraph& g) {
  if (g.layout == GraphLayout::sparse32) return &g.sparse32;
  if (tried_) return own_.get();
  tried_ = true;
  try {
    auto lists = std::make_unique<SparseConflictGraph<uint32_t>>();
    std::vector<ConflictPair> pairs;
    std::vector<double> w;
    const bool built = visit_layout(g, [&](const auto& gg) {
      w.assign(gg.v_weight.data(), gg.v_weight.data() + gg.n_vertex);
      pairs.reserve(static_cast<size_t>(gg.n_edge));
      for (int v = 0; v < gg.n_vertex; v++)
        for (int k = 0; k < gg.v_edge_count[v]; k++) {
          const int u = static_cast<int>(gg.v_adj[v][k]);
          if (u > v) pairs.push_back({static_cast<uint32_t>(v), static_cast<uint32_t>(u)});
        }
      return sparse_from_pairs(*lists, gg.n_vertex, pairs.data(), static_cast<long long>(pairs.size()), w.data()) == 0;
    });
    if (built) own_ = std::move(lists);
  } catch (const std::bad_alloc&) {
    own_.reset();
  }
  return own_.get();
}

double set_weight(const double* weights, const std::vector<int>& set) {
  double sum = 0, c = 0;
  for (int v : set) {
    const double x = weights[static_cast<size_t>(v)];
    const double t = sum + x;
    c += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
    sum = t;
  }
  return sum + c;
}

std::string local_search_memory_message(long long k) {
  char text[128];
  std::snprintf(text, sizeof text, "cannot allocate memory for the search: %lld vertices need %.1f MiB more", k,
                static_cast<double>(k) * static_cast<double>(ils::LocalSearch<uint32_t>::kBytesPerVertex) /
                    (1024.0 * 1024.0));
  return text;
}

double Scheduler::total() const {
  double t = fixed_;
  for (const Item& it : items_) t += it.search->best_weight();
  return t;
}

long Scheduler::iterations() const {
  long c = 0;
  for (const Item& it : items_) c += it.search->iterations();
  return c;
}

void Scheduler::tick(int64_t now) {
  if (env_.tick == nullptr || now < next_tick_ns_) return;
  env_.tick(env_.tick_ctx, static_cast<int>(std::min<long>(iterations(), INT32_MAX)), total(), deadline_.elapsed());
  next_tick_ns_ = now + static_cast<int64_t>(env_.tick_seconds * 1e9) + cpu_clock_detail::coarse_lag_ns();
}

ScheduleOutcome Scheduler::run() {
  ScheduleOutcome out;
  // The starting sets (first constructions) count as found when the searches start.
  for (const Item& it : items_) out.best_ticks = std::max(out.best_ticks, it.search->best_ticks());
  double best = total();
  if (env_.tick != nullptr) next_tick_ns_ = cpu_clock_detail::coarse_now_ns() + static_cast<int64_t>(env_.tick_seconds * 1e9);
  const double tick_slice = env_.tick != nullptr ? env_.tick_seconds : Deadline::kNoLimit;
  bool stop = best >= target_ || best >= bound_;
  while (!stop) {
    long long active_vertices = 0;
    int active = 0;
    for (const Item& it : items_)
      if (!it.done) {
        active_vertices += it.vertices;
        active++;
      }
    if (active == 0 || deadline_.expired()) break;
    // A round: long enough that a turn is worth its switch, short enough
    // that several parts all advance.
    const double round = active == 1 ? tick_slice
                                     : std::min({0.25, std::max(0.005, deadline_.remaining() / 20), tick_slice});
    for (Item& it : items_) {
      if (it.done) continue;
      double turn = round;
      if (active > 1) turn *= static_cast<double>(it.vertices) / static_cast<double>(active_vertices) * (it.idle < 2 ? 2 : 1);
      Deadline slice = deadline_.within(turn);
      const double before = it.search->best_weight();
      it.search->run(slice, it.share);
      if (it.search->iterations() >= it.share) it.done = true;
      if (it.search->best_weight() > before) {
        it.idle = 0;
        const double now_total = total();
        if (now_total > best) {
          best = now_total;
          out.best_iteration =
              static_cast<int>(std::min<long>(iterations() - it.search->iterations() + it.search->best_iteration(), INT32_MAX));
          out.best_ticks = it.search->best_ticks();
        }
      } else {
        it.idle++;
      }
      tick(cpu_clock_detail::coarse_now_ns());
      if (best >= target_ || best >= bound_) {
        stop = true;
        break;
      }
      if (deadline_.expired()) break;
    }
  }
  out.iterations = static_cast<int>(std::min<long>(iterations(), INT32_MAX));
  for (const Item& it : items_) out.searched_weight += it.search->best_weight();
  out.limit_reached = deadline_.expired();
  out.wall_deadline_passed = cpu_clock_detail::coarse_now_ns() >= deadline_.wall_deadline_ns();
  return out;
}

}  // namespace mavu::parts
