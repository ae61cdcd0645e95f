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
    s_->best(best_);
  }
  double best_weight() const override { return s_->best_weight(); }
  long iterations() const override { return s_->iterations(); }
  long best_iteration() const override { return best_.iteration; }
  long best_ticks() const override { return best_.end_ticks; }
  std::vector<int> best_set() const override { return best_.vertices; }
  SearchKind kind() const override { return SearchKind::tabu; }

  void sync() { s_->best(best_); }

 private:
  std::unique_ptr<engine::Session> s_;
  engine::BestSet best_;
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
  SearchKind kind() const override { return SearchKind::local; }

 private:
  ils::LocalSearch<uint32_t> s_;
  clockid_t clock_;
  long best_ticks_ = 0;
};

}  // namespace

template <engine::Variant V>
std::unique_ptr<PartSearch> start_tabu(const LoadedGraph& graph, engine::Generator generator, const SearchParams& params,
                                       const SearchEnv& env, bool& out_of_memory) {
  out_of_memory = false;
  std::unique_ptr<engine::Session> session;
  if (engine::start_session<V>(generator, graph, params, env, session) != engine::RunStatus::ok) {
    out_of_memory = true;
    return nullptr;
  }
  auto part = std::unique_ptr<TabuPart>(new (std::nothrow) TabuPart(std::move(session)));
  if (!part) {
    out_of_memory = true;
    return nullptr;
  }
  part->sync();
  return part;
}

std::unique_ptr<PartSearch> start_local(const SparseConflictGraph<uint32_t>& lists, unsigned seed, clockid_t clock) {
  auto part = std::unique_ptr<LocalPart>(new (std::nothrow) LocalPart(clock));
  if (!part || !part->start(lists, seed)) return nullptr;
  return part;
}

template std::unique_ptr<PartSearch> start_tabu<engine::Variant::mavu1>(const LoadedGraph&, engine::Generator,
                                                                        const SearchParams&, const SearchEnv&, bool&);
template std::unique_ptr<PartSearch> start_tabu<engine::Variant::mavu2>(const LoadedGraph&, engine::Generator,
                                                                        const SearchParams&, const SearchEnv&, bool&);

}  // namespace mavu::parts
