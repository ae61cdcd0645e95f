#include "mavu/reduce/mwis.h"

#include "mavu/reduce/exact.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

namespace mavu::reduce {

namespace {

// A vertex of more than this many live neighbours is not tested as the dominating one
// (hubs dominate almost never, and testing them costs the sum of their
// neighbours' degrees each time a neighbour changes).
constexpr int kDominationMaxDegree = 256;

// Exact maximum weight independent set of a graph of at most 64 vertices
// (adjacency masks), by branch and bound.  In every node the vertices at
// least as heavy as their remaining neighbourhood are taken (neighbourhood
// removal: some optimum of the node contains them, as in the reduction), the
// bound is the node's weight plus the weight of every vertex still
// available, and the branch is on a vertex of largest remaining degree: take
// it (dropping its neighbours) or drop it.  Gives up after `budget` nodes.
struct SmallMwis {
  const uint64_t* adj;
  const double* w;
  double best = -std::numeric_limits<double>::infinity();
  uint64_t best_set = 0;
  long nodes = 0, budget = 0;
  bool aborted = false;

  void go(uint64_t avail, uint64_t cur, double cw) {
    if (aborted) return;
    if (++nodes > budget) {
      aborted = true;
      return;
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (uint64_t q = avail; q; q &= q - 1) {
        const int v = std::countr_zero(q);
        if (!(avail >> v & 1)) continue;
        const uint64_t nb = adj[v] & avail;
        double s = 0;
        for (uint64_t r = nb; r; r &= r - 1) s += w[std::countr_zero(r)];
        if (w[v] >= s) {
          cur |= uint64_t{1} << v;
          cw += w[v];
          avail &= ~(nb | uint64_t{1} << v);
          changed = true;
        }
      }
    }
    double bound = cw;
    for (uint64_t q = avail; q; q &= q - 1) bound += w[std::countr_zero(q)];
    if (bound <= best) return;
    if (!avail) {
      best = cw;
      best_set = cur;
      return;
    }
    int pick = -1, pick_deg = -1;
    for (uint64_t q = avail; q; q &= q - 1) {
      const int v = std::countr_zero(q);
      const int d = std::popcount(adj[v] & avail);
      if (d > pick_deg) pick = v, pick_deg = d;
    }
    const uint64_t bit = uint64_t{1} << pick;
    go(avail & ~adj[pick] & ~bit, cur | bit, cw + w[pick]);
    go(avail & ~bit, cur, cw);
  }
};

}  // namespace

template <class F>
void MwisReduction::for_live(int v, F&& f) {
  // Walks v's live neighbours and drops the dead entries from the list on
  // the way, so each dead entry is walked over at most once per list.
  int* a = adj_.data() + beg_[static_cast<size_t>(v)];
  const int len = len_[static_cast<size_t>(v)];
  work_ += len;
  int k = 0;
  for (int i = 0; i < len; i++) {
    const int y = a[i];
    if (state_[static_cast<size_t>(y)] != kAlive) continue;
    a[k++] = y;
  }
  len_[static_cast<size_t>(v)] = k;
  for (int i = 0; i < k; i++) f(a[i]);
}

bool MwisReduction::init(int n, long long adj_entries) {
  n_ = n;
  const size_t nn = static_cast<size_t>(n);
  w_.assign(nn, 0);
  nw_.assign(nn, 0);
  deg_.assign(nn, 0);
  beg_.assign(nn, 0);
  len_.assign(nn, 0);
  arena_limit_ = adj_entries / 2;
  adj_.reserve(static_cast<size_t>(adj_entries + arena_limit_));
  adj_.resize(static_cast<size_t>(adj_entries));
  state_.assign(nn, kAlive);
  queued_.assign(nn, 1);
  queue_.resize(nn);
  for (int v = 0; v < n; v++) queue_[static_cast<size_t>(v)] = v;
  head_ = 0;
  count_ = nn;
  mark_.assign(nn, 0);
  stamp_ = 0;
  return true;
}

template <class G>
bool MwisReduction::run(const G& g, const MwisOptions& options) {
  try {
    long long entries = 0;
    for (int v = 0; v < g.n_vertex; v++) entries += g.v_edge_count[v];
    init(g.n_vertex, entries);
    long long at = 0;
    for (int v = 0; v < g.n_vertex; v++) {
      const size_t sv = static_cast<size_t>(v);
      w_[sv] = g.v_weight[v];
      beg_[sv] = at;
      len_[sv] = deg_[sv] = g.v_edge_count[v];
      for (int i = 0; i < g.v_edge_count[v]; i++) adj_[static_cast<size_t>(at++)] = static_cast<int>(g.v_adj[v][i]);
    }
    for (int v = 0; v < g.n_vertex; v++) {
      double s = 0;
      for (int i = 0; i < g.v_edge_count[v]; i++) s += w_[g.v_adj[v][i]];
      nw_[static_cast<size_t>(v)] = s;
    }
    reduce_all();
    split_and_solve(options);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void MwisReduction::push(int v) {
  if (queued_[static_cast<size_t>(v)] || state_[static_cast<size_t>(v)] != kAlive) return;
  queued_[static_cast<size_t>(v)] = 1;
  queue_[(head_ + count_) % queue_.size()] = v;
  count_++;
}

void MwisReduction::reduce_all() {
  // Every vertex is examined once; afterwards only those a change touched
  // (a neighbour removed, folded or reweighted) are examined again.
  while (count_ > 0) {
    const int v = queue_[head_];
    head_ = (head_ + 1) % queue_.size();
    count_--;
    queued_[static_cast<size_t>(v)] = 0;
    if (state_[static_cast<size_t>(v)] == kAlive) examine(v);
  }
}

// Removed: v belongs to no optimum that the rules keep (or to one of equal
// weight that avoids it).  Its neighbours lose it.
void MwisReduction::remove(int v) {
  state_[static_cast<size_t>(v)] = kRemoved;
  stats_.removed++;
  const double wv = w_[static_cast<size_t>(v)];
  for_live(v, [&](int y) {
    deg_[static_cast<size_t>(y)]--;
    nw_[static_cast<size_t>(y)] -= wv;
    push(y);
  });
}

// Taken: some optimum contains v, so its neighbours belong to none of those.
void MwisReduction::take(int v) {
  state_[static_cast<size_t>(v)] = kTaken;
  stats_.taken++;
  chosen_.push_back(v);
  fixed_weight_ += w_[static_cast<size_t>(v)];
  scratch_.clear();
  for_live(v, [&](int y) { scratch_.push_back(y); });
  for (int y : scratch_)
    if (state_[static_cast<size_t>(y)] == kAlive) remove(y);
}

bool MwisReduction::examine(int v) {
  const size_t sv = static_cast<size_t>(v);
  // Neighbourhood removal (isolated vertices included): when w(v) >= w(N(v)),
  // any independent set S without v can trade S ∩ N(v) for v and lose
  // nothing, so some optimum contains v.  The kept sum may have drifted by
  // rounding: it is summed afresh before the rule fires.
  if (w_[sv] >= nw_[sv]) {
    double s = 0;
    for_live(v, [&](int y) { s += w_[static_cast<size_t>(y)]; });
    nw_[sv] = s;
    if (w_[sv] >= s) {
      take(v);
      return true;
    }
  }
  if (deg_[sv] == 2) {
    int u = -1, x = -1;
    for_live(v, [&](int y) { (u < 0 ? u : x) = y; });
    const int small = deg_[static_cast<size_t>(u)] <= deg_[static_cast<size_t>(x)] ? u : x;
    const int other = small == u ? x : u;
    bool adjacent = false;
    for_live(small, [&](int y) { adjacent |= y == other; });
    if (!adjacent && w_[sv] >= std::max(w_[static_cast<size_t>(u)], w_[static_cast<size_t>(x)]) && fold(v, u, x))
      return true;
  }
  return edge_rules(v);
}

// The weighted degree-two fold: v has exactly the neighbours u and x, not
// adjacent, with max(w(u), w(x)) <= w(v) < w(u) + w(x).  Some optimum holds
// either v alone or both u and x: one holding only u (or only x) can swap it
// for v, whose only neighbours are u and x, and weigh no less.  So v, u and
// x become one vertex u' of weight w(u) + w(x) - w(v) adjacent to
// N(u) ∪ N(x) minus v, and w(v) is counted as fixed: a set with u' lifts to
// one with u and x, a set without u' to one with v, each weighing w(v) more.
bool MwisReduction::fold(int v, int u, int x) {
  const size_t su = static_cast<size_t>(u), sx = static_cast<size_t>(x);
  const long long need = deg_[su] + deg_[sx];
  // The merged list goes to the arena, reserved up front (never reallocated:
  // lists are walked through pointers into it); when it is full, no fold.
  if (static_cast<long long>(adj_.size()) + need > static_cast<long long>(adj_.capacity())) return false;
  const double wu = w_[su], wx = w_[sx], wv = w_[static_cast<size_t>(v)];
  const double wn = wu + wx - wv;
  state_[static_cast<size_t>(v)] = kFoldedAway;
  state_[sx] = kFoldedAway;
  const long long nb = static_cast<long long>(adj_.size());
  const int stamp = ++stamp_;
  // N(u) without v.
  for_live(u, [&](int y) {
    mark_[static_cast<size_t>(y)] = stamp;
    adj_.push_back(y);
  });
  const long long from_u = static_cast<long long>(adj_.size()) - nb;
  // N(x) without v: common neighbours lose x; the others get u in its place.
  for_live(x, [&](int y) {
    const size_t sy = static_cast<size_t>(y);
    if (mark_[sy] == stamp) {
      deg_[sy]--;
      nw_[sy] -= wx;
      return;
    }
    adj_.push_back(y);
    int* a = adj_.data() + beg_[sy];
    for (int i = 0; i < len_[sy]; i++)
      if (a[i] == x) {
        a[i] = u;
        break;
      }
    nw_[sy] += wn - wx;
  });
  for (long long i = nb; i < nb + from_u; i++) nw_[static_cast<size_t>(adj_[static_cast<size_t>(i)])] += wn - wu;
  w_[su] = wn;
  beg_[su] = nb;
  len_[su] = deg_[su] = static_cast<int>(static_cast<long long>(adj_.size()) - nb);
  double s = 0;
  for (long long i = nb; i < static_cast<long long>(adj_.size()); i++) s += w_[static_cast<size_t>(adj_[static_cast<size_t>(i)])];
  nw_[su] = s;
  undo_.push_back({v, u, x, 0, 0});
  fixed_weight_ += wv;
  stats_.folds++;
  push(u);
  for (long long i = nb; i < static_cast<long long>(adj_.size()); i++) push(adj_[static_cast<size_t>(i)]);
  return true;
}

// The rules over the edges at v.  With W = w(N(v)), for a neighbour u of v:
//
// - Single edge (domination generalised): if w(v) >= W - w(N(v) ∩ N(u)),
//   i.e. w(v) >= w(u) + w(N(v) \ N[u]), u is removed.  A set S holding u
//   meets N(v) only in u and in N(v) \ N[u]; trading S ∩ N(v) for v keeps S
//   independent and loses nothing.  Domination (N[v] ⊆ N[u], w(u) <= w(v))
//   is the case N(v) \ N[u] empty.  Removing one such u keeps the condition
//   for the others (N(v) only shrinks outside N(u)), so all are removed.
// - Extended single edge: if w(v) + w(u) >= W, the common neighbours of u
//   and v are removed.  A set holding a common neighbour holds neither u
//   nor v, so S ∩ N(v) weighs at most W - w(u) <= w(v): trading it for v
//   loses nothing.  Tried with u the heaviest neighbour, where it is weakest.
// - Simplicial vertex: when every neighbour u has N[v] ⊆ N[u], N(v) is a
//   clique and an optimum holds at most one vertex of N[v].  If v is at
//   least as heavy as each neighbour it is taken; otherwise its weight is
//   transferred (see transfer).
bool MwisReduction::edge_rules(int v) {
  const size_t sv = static_cast<size_t>(v);
  const int d = deg_[sv];
  if (d == 0 || d > kDominationMaxDegree) return false;
  const int stamp = ++stamp_;
  scratch_.clear();
  double total = 0;  // W, summed afresh
  for_live(v, [&](int y) {
    mark_[static_cast<size_t>(y)] = stamp;
    scratch_.push_back(y);
    total += w_[static_cast<size_t>(y)];
  });
  nw_[sv] = total;
  scratch2_.clear();
  // Only the lists that can matter are walked: the single-edge rule can hold
  // for u only when w(u) <= w(v) and w(N(u)) >= W (the common part weighs at
  // most W - w(u) and at most w(N(u)) - w(v)); the clique test needs every
  // list, and fails at once when a neighbour has fewer than d neighbours.
  // (The kept sums only decide what to walk; the rule uses the sums walked.)
  bool clique = true;
  int heaviest = scratch_[0];
  for (int u : scratch_) {
    const size_t su = static_cast<size_t>(u);
    if (w_[su] > w_[static_cast<size_t>(heaviest)]) heaviest = u;
    clique &= deg_[su] >= d;
  }
  for (int u : scratch_) {
    const size_t su = static_cast<size_t>(u);
    const bool candidate = w_[su] <= w_[sv] && nw_[su] >= total * (1 - 1e-9);
    if (!candidate && !clique) continue;
    int found = 0;
    double common = 0;
    for_live(u, [&](int y) {
      if (mark_[static_cast<size_t>(y)] == stamp) {
        found++;
        common += w_[static_cast<size_t>(y)];
      }
    });
    clique &= found == d - 1;
    if (candidate && w_[sv] + common >= total) scratch2_.push_back(u);
  }
  if (clique) {
    if (w_[sv] >= w_[static_cast<size_t>(heaviest)]) {
      take(v);
    } else {
      for (int u : scratch_)  // the neighbours no heavier than v are dominated by it
        if (w_[static_cast<size_t>(u)] <= w_[sv]) remove(u);
      transfer(v);
    }
    return true;
  }
  bool changed = !scratch2_.empty();
  for (int u : scratch2_)
    if (state_[static_cast<size_t>(u)] == kAlive) remove(u);
  if (state_[static_cast<size_t>(heaviest)] == kAlive && w_[sv] + w_[static_cast<size_t>(heaviest)] >= total) {
    // total only shrank with the removals above, so the condition still holds.
    scratch2_.clear();
    for_live(heaviest, [&](int y) {
      if (mark_[static_cast<size_t>(y)] == stamp) scratch2_.push_back(y);
    });
    for (int z : scratch2_)
      if (state_[static_cast<size_t>(z)] == kAlive) remove(z);
    changed |= !scratch2_.empty();
  }
  return changed;
}

// Weight transfer from a simplicial vertex v lighter than each of its
// neighbours (N(v) a clique).  Some optimum holds exactly one vertex of
// N[v] (at most one, as N[v] is a clique; at least one, or v could be
// added).  Holding v is worth w(v), holding neighbour u is worth w(u), so
// removing v, lowering each neighbour by w(v) (still positive) and counting
// w(v) as fixed keeps every such set's weight: a set of the reduced graph
// with a neighbour of v lifts to itself, one without any lifts to itself
// plus v.
void MwisReduction::transfer(int v) {
  const size_t sv = static_cast<size_t>(v);
  const double wv = w_[sv];
  state_[sv] = kFoldedAway;
  const long long lo = static_cast<long long>(members_.size());
  scratch_.clear();
  for_live(v, [&](int u) { scratch_.push_back(u); });
  for (int u : scratch_) {
    members_.push_back(u);
    const size_t su = static_cast<size_t>(u);
    deg_[su]--;
    nw_[su] -= wv;
    w_[su] -= wv;
    push(u);
    for_live(u, [&](int y) {
      nw_[static_cast<size_t>(y)] -= wv;
      push(y);
    });
  }
  undo_.push_back({v, -1, -1, lo, static_cast<long long>(members_.size())});
  fixed_weight_ += wv;
  stats_.transfers++;
}

void MwisReduction::split_and_solve(const MwisOptions& options) {
  // Components in ascending order of their smallest vertex, each ascending.
  // mark_ becomes the position of a kernel vertex in its component.
  std::fill(mark_.begin(), mark_.end(), -1);
  std::vector<int> comp;
  std::vector<uint64_t> masks;
  for (int s = 0; s < n_; s++) {
    if (state_[static_cast<size_t>(s)] != kAlive || mark_[static_cast<size_t>(s)] != -1) continue;
    comp.clear();
    comp.push_back(s);
    mark_[static_cast<size_t>(s)] = 0;
    for (size_t i = 0; i < comp.size(); i++)
      for_live(comp[i], [&](int y) {
        if (mark_[static_cast<size_t>(y)] == -1) {
          mark_[static_cast<size_t>(y)] = 0;
          comp.push_back(y);
        }
      });
    std::sort(comp.begin(), comp.end());
    const int k = static_cast<int>(comp.size());
    for (int i = 0; i < k; i++) mark_[static_cast<size_t>(comp[static_cast<size_t>(i)])] = i;
    stats_.kernel += k;
    stats_.components++;
    stats_.largest = std::max(stats_.largest, k);
    bool solved = false;
    if (k <= std::min(options.exact_max_vertices, 64)) {
      masks.assign(static_cast<size_t>(k), 0);
      std::vector<double> cw(static_cast<size_t>(k));
      for (int i = 0; i < k; i++) {
        cw[static_cast<size_t>(i)] = w_[static_cast<size_t>(comp[static_cast<size_t>(i)])];
        for_live(comp[static_cast<size_t>(i)],
                 [&](int y) { masks[static_cast<size_t>(i)] |= uint64_t{1} << mark_[static_cast<size_t>(y)]; });
      }
      SmallMwis bb{masks.data(), cw.data()};
      bb.budget = options.exact_node_budget;
      bb.go(k == 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1, 0, 0);
      if (!bb.aborted) {
        solved = true;
        stats_.exact++;
        for (uint64_t q = bb.best_set; q; q &= q - 1) {
          const int v = comp[static_cast<size_t>(std::countr_zero(q))];
          chosen_.push_back(v);
          fixed_weight_ += w_[static_cast<size_t>(v)];
        }
      }
    }
    if (!solved && k <= options.branch_max_vertices) {
      std::vector<double> cw(static_cast<size_t>(k));
      std::vector<ConflictPair> pairs;
      for (int i = 0; i < k; i++) {
        const int v = comp[static_cast<size_t>(i)];
        cw[static_cast<size_t>(i)] = w_[static_cast<size_t>(v)];
        for_live(v, [&](int y) {
          if (y > v) pairs.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(mark_[static_cast<size_t>(y)])});
        });
      }
      SparseConflictGraph<uint32_t> cg;
      std::vector<int> set;
      double weight = 0;
      long budget = options.branch_budget;
      if (sparse_from_pairs(cg, k, pairs.data(), static_cast<long long>(pairs.size()), cw.data()) == 0 &&
          branch_and_reduce(cg, -std::numeric_limits<double>::infinity(), budget, set, weight, options)) {
        solved = true;
        stats_.exact++;
        stats_.branched++;
        for (int i : set) {
          const int v = comp[static_cast<size_t>(i)];
          chosen_.push_back(v);
          fixed_weight_ += w_[static_cast<size_t>(v)];
        }
      }
    }
    if (!solved) {
      stats_.searched += k;
      parts_.push_back(comp);
    }
  }
}

std::vector<ConflictPair> MwisReduction::part_pairs(int p) const {
  std::vector<ConflictPair> pairs;
  const auto& part = parts_[static_cast<size_t>(p)];
  for (size_t i = 0; i < part.size(); i++) {
    const int v = part[i];
    const int* a = adj_.data() + beg_[static_cast<size_t>(v)];
    for (int j = 0; j < len_[static_cast<size_t>(v)]; j++) {
      const int y = a[j];
      if (state_[static_cast<size_t>(y)] == kAlive && y > v)
        pairs.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(mark_[static_cast<size_t>(y)])});
    }
  }
  return pairs;
}

std::vector<int> MwisReduction::lift(const std::vector<int>& chosen) const {
  std::vector<uint8_t> in(static_cast<size_t>(n_), 0);
  for (int v : chosen_) in[static_cast<size_t>(v)] = 1;
  for (int v : chosen) in[static_cast<size_t>(v)] = 1;
  for (size_t i = undo_.size(); i-- > 0;) {
    const Undo& f = undo_[i];
    if (f.x >= 0) {
      if (in[static_cast<size_t>(f.u)])
        in[static_cast<size_t>(f.x)] = 1;
      else
        in[static_cast<size_t>(f.v)] = 1;
    } else {
      bool any = false;
      for (long long k = f.lo; k < f.hi; k++) any |= in[static_cast<size_t>(members_[static_cast<size_t>(k)])] != 0;
      if (!any) in[static_cast<size_t>(f.v)] = 1;
    }
  }
  std::vector<int> out;
  for (int v = 0; v < n_; v++)
    if (in[static_cast<size_t>(v)]) out.push_back(v);
  return out;
}

template <class G>
bool is_independent(const G& g, const std::vector<int>& vertices) {
  std::vector<uint8_t> in(static_cast<size_t>(g.n_vertex), 0);
  for (int v : vertices) {
    if (v < 0 || v >= g.n_vertex || in[static_cast<size_t>(v)]) return false;
    in[static_cast<size_t>(v)] = 1;
  }
  for (int v : vertices)
    for (int i = 0; i < g.v_edge_count[v]; i++)
      if (in[g.v_adj[v][i]]) return false;
  return true;
}

template bool MwisReduction::run(const ConflictGraph&, const MwisOptions&);
template bool MwisReduction::run(const SparseConflictGraph<uint16_t>&, const MwisOptions&);
template bool MwisReduction::run(const SparseConflictGraph<uint32_t>&, const MwisOptions&);
template bool is_independent(const ConflictGraph&, const std::vector<int>&);
template bool is_independent(const SparseConflictGraph<uint16_t>&, const std::vector<int>&);
template bool is_independent(const SparseConflictGraph<uint32_t>&, const std::vector<int>&);

}  // namespace mavu::reduce
