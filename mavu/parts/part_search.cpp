#include "mavu/parts/part_search.h"

#include <climits>
#include <new>

#include "core/cpu_clock.h"
#include "mavu/ils/local_search.h"

namespace mavu::parts {

namespace {

class TabuPart final : public PartSearch {
 public:
  explicit TabuPart(std::unique_ptr<engine::Session> s) : s_(std::move(s)) {}
  void run(Deadline& deadline, long max_iterations) override {
    s_->run_until(static_cast<int>(std::min<long>(max_iterations, INT_MAX)), deadline);
  }
  double best_weight() const override { return s_->best_weight(); }
  long iterations() const override { return s_->iterations(); }
  long best_iteration() const override { return s_->best_iteration(); }
  long best_ticks() const override { return s_->best_ticks(); }
  std::vector<int> best_set() const override {
    engine::BestSet best;
    s_->best(best);
    return std::move(best.vertices);
  }

 private:
  std::unique_ptr<engine::Session> s_;
};

// The local search runs in chunks of iterations; the clock is read after a
// chunk in which the best set improved, so the time of the best is known to
// within a chunk (a few milliseconds) without a clock read per improvement.
class LocalPart final : public PartSearch {
 public:
  LocalPart(clockid_t clock) : clock_(clock) {}
  bool start(const SparseConflictGraph<uint32_t>& g, unsigned seed) {
    ils::SearchOptions o;
    o.seed = seed;
    if (!s_.init(g, o)) return false;
    best_ticks_ = cpu_ticks(clock_);
    return true;
  }
  void run(Deadline& deadline, long max_iterations) override {
    constexpr long kChunk = 1024;
    while (s_.iterations() < max_iterations && !deadline.expired()) {
      const double before = s_.best_weight();
      s_.run(deadline, std::min(max_iterations, s_.iterations() + kChunk));
      if (s_.best_weight() > before) best_ticks_ = cpu_ticks(clock_);
    }
  }
  double best_weight() const override { return s_.best_weight(); }
  long iterations() const override { return s_.iterations(); }
  long best_iteration() const override { return s_.best_iteration(); }
  long best_ticks() const override { return best_ticks_; }
  std::vector<int> best_set() const override { return s_.best_set(); }

 private:
  ils::LocalSearch<uint32_t> s_;
  clockid_t clock_;
  long best_ticks_ = 0;
};

}  // namespace

template <engine::Variant V>
std::unique_ptr<PartSearch> start_tabu(const LoadedGraph& graph, engine::Generator generator, const SearchParams& params,
                                       const SearchEnv& env) {
  std::unique_ptr<engine::Session> session;
  if (engine::start_session<V>(generator, graph, params, env, session) != engine::RunStatus::ok) return nullptr;
  return std::unique_ptr<TabuPart>(new (std::nothrow) TabuPart(std::move(session)));
}

std::unique_ptr<PartSearch> start_local(const SparseConflictGraph<uint32_t>& lists, unsigned seed, clockid_t clock) {
  auto part = std::unique_ptr<LocalPart>(new (std::nothrow) LocalPart(clock));
  if (!part || !part->start(lists, seed)) return nullptr;
  return part;
}

template std::unique_ptr<PartSearch> start_tabu<engine::Variant::mavu1>(const LoadedGraph&, engine::Generator,
                                                                        const SearchParams&, const SearchEnv&);
template std::unique_ptr<PartSearch> start_tabu<engine::Variant::mavu2>(const LoadedGraph&, engine::Generator,
                                                                        const SearchParams&, const SearchEnv&);

}  // namespace mavu::parts
