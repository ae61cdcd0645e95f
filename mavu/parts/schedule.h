// The pieces the reduced runs share: the parts' lists for the exact solvers
// and the local search, and the scheduler that gives the searched parts
// their turns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/deadline.h"
#include "core/state.h"
#include "mavu/parts/part_search.h"
#include "readers/loader.h"

namespace mavu::parts {

// A part's conflict lists with 32-bit vertex numbers: the part's own graph
// when it is held so, else a copy made on first use (null when memory is
// short).
class PartLists {
 public:
  const SparseConflictGraph<uint32_t>* get(const LoadedGraph& g);

 private:
  std::unique_ptr<SparseConflictGraph<uint32_t>> own_;
  bool tried_ = false;
};

// The weight of `set` by `weights`, summed with compensation (Neumaier), so
// that it does not depend on the order of the set: the weight a reduced run
// prints, however its parts and searches added it up.
double set_weight(const double* weights, const std::vector<int>& set);

// "cannot allocate memory for the search: <k> vertices need <x> MiB more"
// for the local search of a part of k vertices.
std::string local_search_memory_message(long long k);

struct ScheduleOutcome {
  double searched_weight = 0;  // the searched parts' best weights together
  int iterations = 0;          // iterations of all parts
  int best_iteration = 0;      // iterations of all parts run when searched_weight was reached
  long best_ticks = 0;         // CPU ticks then
  bool wall_deadline_passed = false;
  bool limit_reached = false;  // the deadline ended the searches (CPU limit, stop, wall clock)
};

// Turns of the searched parts until each has spent its iteration share, or
// the deadline, or the target (fixed + the parts' best weights) is reached,
// or that sum reaches `bound` (then it is optimal).  One part runs to the
// end in one turn (in slices of the progress tick when the environment asks
// for ticks).  Several parts take turns in rounds; a turn's length is the
// part's share of the round by its vertices, doubled while its best keeps
// improving (a part that stopped improving yields its time to the others).
class Scheduler {
 public:
  Scheduler(Deadline& deadline, const SearchEnv& env, double target, double bound)
      : deadline_(deadline), env_(env), target_(target), bound_(bound) {}
  void add(PartSearch* search, int vertices, long share) { items_.push_back({search, vertices, share}); }
  void set_fixed(double w) { fixed_ = w; }
  ScheduleOutcome run();

 private:
  struct Item {
    PartSearch* search;
    int vertices;
    long share;
    int idle = 0;       // turns since its best last improved
    bool done = false;  // its iteration share is spent
  };
  double total() const;
  long iterations() const;
  void tick(int64_t now);

  Deadline& deadline_;
  const SearchEnv& env_;
  double target_, bound_;
  double fixed_ = 0;
  std::vector<Item> items_;
  int64_t next_tick_ns_ = 0;
};

}  // namespace mavu::parts
