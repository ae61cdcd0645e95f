#include "mavu/reduce/mwis.h"

#include "mavu/reduce/exact.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
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
  Deadline* deadline = nullptr;

  void go(uint64_t avail, uint64_t cur, double cw) {
    if (aborted) return;
    if (++nodes > budget || ((nodes & 1023) == 0 && deadline != nullptr && deadline->expired())) {
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

// The LP relaxation of maximum weight independent set (maximise w·y with
// y_u + y_v <= 1 on every edge, 0 <= y <= 1) has an optimum with every y in
// {0, 1/2, 1}, and some maximum weight independent set contains every vertex
// at 1 of any optimal LP solution and no vertex at 0 (the persistency of the
// relaxation, shown for vertex covers, their complements).  An optimal
// solution comes from a minimum cut of the bipartite double cover: source ->
// L_v of capacity w(v), L_u -> R_v unbounded for each edge uv (both ways),
// R_v -> sink of capacity w(v).  With S the side of the source after a
// maximum flow (what the residual graph reaches), y_v = 1 when L_v is in S
// and R_v is not, 0 when R_v is in S and L_v is not, 1/2 otherwise.  The
// vertices at 1 are independent: L_u in S puts every R_v of a neighbour in S
// through the unbounded arcs.
//
// The graph is a compact copy (CSR over the vertices 0..k-1 given, with for
// each entry the entry of the reverse direction), and the flow on L_u -> R_v
// is kept per entry of u's list; the arc R_v -> L_u of the residual graph
// carries that flow back.  Maximum flow by blocking flows on level graphs;
// residual capacities below `tol` (a few units of the last place of the
// largest weight) count as none, so rounding of fractional weights cannot
// make an arc look open forever; integer weights below 2^50 stay exact.
struct LpFlow {
  int k = 0;
  std::vector<long long> off;  // k + 1
  std::vector<int> nb;         // neighbour per entry
  std::vector<int> rev;        // the entry of the same edge in the neighbour's list
  std::vector<double> w, f, out, in;
  std::vector<int> level, queue;
  std::vector<long long> cur;
  double tol = 0;
  long long work = 0, budget = 0;
  int t_level = 0;

  // Nodes: L_u is u, R_v is k + v.
  double source_res(int u) const { return w[static_cast<size_t>(u)] - out[static_cast<size_t>(u)]; }
  double sink_res(int v) const { return w[static_cast<size_t>(v)] - in[static_cast<size_t>(v)]; }

  // Levels from the source; with `to_sink`, stops at the sink's level.
  // Without, marks what the residual graph reaches.  1 when the sink was
  // reached, 0 when not, -1 when poll() ended it.
  template <class Poll>
  int bfs(bool to_sink, Poll&& poll) {
    std::fill(level.begin(), level.end(), -1);
    size_t qh = 0;
    queue.clear();
    for (int u = 0; u < k; u++)
      if (source_res(u) > tol) {
        level[static_cast<size_t>(u)] = 1;
        queue.push_back(u);
      }
    t_level = std::numeric_limits<int>::max();
    while (qh < queue.size()) {
      const int x = queue[qh++];
      const int lx = level[static_cast<size_t>(x)];
      if (to_sink && lx + 1 >= t_level) continue;
      if (x < k) {
        work += off[static_cast<size_t>(x) + 1] - off[static_cast<size_t>(x)];
        for (long long e = off[static_cast<size_t>(x)]; e < off[static_cast<size_t>(x) + 1]; e++) {
          const size_t r = static_cast<size_t>(k + nb[static_cast<size_t>(e)]);
          if (level[r] < 0) {
            level[r] = lx + 1;
            queue.push_back(static_cast<int>(r));
          }
        }
      } else {
        const int v = x - k;
        if (sink_res(v) > tol) t_level = std::min(t_level, lx + 1);
        work += off[static_cast<size_t>(v) + 1] - off[static_cast<size_t>(v)];
        for (long long e = off[static_cast<size_t>(v)]; e < off[static_cast<size_t>(v) + 1]; e++) {
          const int u = nb[static_cast<size_t>(e)];
          if (level[static_cast<size_t>(u)] < 0 && f[static_cast<size_t>(rev[static_cast<size_t>(e)])] > tol) {
            level[static_cast<size_t>(u)] = lx + 1;
            queue.push_back(u);
          }
        }
      }
      if ((qh & 1023) == 0 && poll(work)) return -1;
    }
    return t_level != std::numeric_limits<int>::max() ? 1 : 0;
  }

  // A blocking flow on the level graph, by depth-first search with current
  // arcs.  path holds the nodes from an L node after the source; arc[i] the
  // entry used to leave path[i].
  template <class Poll>
  bool blocking_flow(Poll&& poll) {
    for (int x = 0; x < 2 * k; x++) cur[static_cast<size_t>(x)] = x < k ? off[static_cast<size_t>(x)] : off[static_cast<size_t>(x - k)] - 1;
    std::vector<int> path;
    std::vector<long long> arc;
    for (int s = 0; s < k; s++) {
      if (level[static_cast<size_t>(s)] != 1) continue;
      path.assign(1, s);
      arc.clear();
      while (!path.empty() && source_res(path[0]) > tol) {
        if ((++work & 4095) == 0 && poll(work)) return false;
        const int x = path.back();
        const int lx = level[static_cast<size_t>(x)];
        long long& c = cur[static_cast<size_t>(x)];
        int next = -1;
        bool to_sink = false;
        const long long c0 = c;
        if (x < k) {
          for (; c < off[static_cast<size_t>(x) + 1]; c++) {
            const int r = k + nb[static_cast<size_t>(c)];
            if (level[static_cast<size_t>(r)] == lx + 1) {
              next = r;
              break;
            }
          }
        } else {
          const int v = x - k;
          if (c < off[static_cast<size_t>(v)]) {
            if (lx + 1 == t_level && sink_res(v) > tol) to_sink = true;
            else c = off[static_cast<size_t>(v)];
          }
          if (!to_sink)
            for (; c < off[static_cast<size_t>(v) + 1]; c++) {
              const int u = nb[static_cast<size_t>(c)];
              if (level[static_cast<size_t>(u)] == lx + 1 && f[static_cast<size_t>(rev[static_cast<size_t>(c)])] > tol) {
                next = u;
                break;
              }
            }
        }
        work += c - c0;
        if (to_sink) {
          augment(path, arc);
          // Back to the first node whose arc out closed (or the start).
          size_t keep = path.size();
          if (source_res(path[0]) <= tol) keep = 0;
          else
            for (size_t i = 0; i + 1 < path.size(); i++)
              if (!open(path[i], arc[i])) {
                keep = i + 1;
                break;
              }
          if (keep == path.size() && sink_res(path.back() - k) <= tol) cur[static_cast<size_t>(path.back())] = off[static_cast<size_t>(path.back() - k)];
          path.resize(keep);
          arc.resize(keep == 0 ? 0 : keep - 1);
          continue;
        }
        if (next < 0) {  // dead end
          level[static_cast<size_t>(x)] = -1;
          path.pop_back();
          if (!arc.empty()) {
            arc.pop_back();
            cur[static_cast<size_t>(path.back())]++;
          }
          continue;
        }
        arc.push_back(c);
        path.push_back(next);
      }
    }
    return true;
  }

  bool open(int x, long long e) const {
    if (x < k) return true;  // L -> R is unbounded
    return f[static_cast<size_t>(rev[static_cast<size_t>(e)])] > tol;
  }

  void augment(const std::vector<int>& path, const std::vector<long long>& arc) {
    double b = std::min(source_res(path[0]), sink_res(path.back() - k));
    for (size_t i = 0; i + 1 < path.size(); i++)
      if (path[i] >= k) b = std::min(b, f[static_cast<size_t>(rev[static_cast<size_t>(arc[i])])]);
    out[static_cast<size_t>(path[0])] += b;
    in[static_cast<size_t>(path.back() - k)] += b;
    for (size_t i = 0; i + 1 < path.size(); i++) {
      const size_t e = static_cast<size_t>(arc[i]);
      if (path[i] < k) f[e] += b;
      else f[static_cast<size_t>(rev[e])] -= b;
    }
  }

  // Maximum flow; false when the budget or the deadline ended it first.
  template <class Poll>
  bool max_flow(Poll&& poll) {
    const size_t entries = nb.size();
    f.assign(entries, 0);
    out.assign(static_cast<size_t>(k), 0);
    in.assign(static_cast<size_t>(k), 0);
    level.assign(2 * static_cast<size_t>(k), -1);
    cur.assign(2 * static_cast<size_t>(k), 0);
    double wmax = 0;
    for (double x : w) wmax = std::max(wmax, x);
    tol = std::ldexp(wmax, -50);
    auto stop = [&](long long wk) { return wk > budget || poll(wk); };
    for (;;) {
      const int reached = bfs(true, stop);
      if (reached <= 0) return reached == 0 && !stop(work);
      if (!blocking_flow(stop)) return false;
    }
  }
};

// Charges the list entries walked in a scope to one rule (MwisStats::walked).
struct WalkAs {
  int& at;
  int old;
  WalkAs(int& a, int rule) : at(a), old(a) { at = rule; }
  ~WalkAs() { at = old; }
  WalkAs(const WalkAs&) = delete;
  WalkAs& operator=(const WalkAs&) = delete;
};

}  // namespace

template <class F>
void MwisReduction::for_live(int v, F&& f) {
  // Walks v's live neighbours and drops the dead entries from the list on
  // the way, so each dead entry is walked over at most once per list.
  int* a = adj_.data() + vx_[static_cast<size_t>(v)].beg;
  const int len = vx_[static_cast<size_t>(v)].len;
  work_ += len;
  stats_.walked[walk_] += len;
  int k = 0;
  for (int i = 0; i < len; i++) {
    const int y = a[i];
    if (state_[static_cast<size_t>(y)] != kAlive) continue;
    a[k++] = y;
  }
  vx_[static_cast<size_t>(v)].len = k;
  for (int i = 0; i < k; i++) f(a[i]);
}

bool MwisReduction::listed(int v, int y) {
  const int* a = adj_.data() + vx_[static_cast<size_t>(v)].beg;
  const int len = vx_[static_cast<size_t>(v)].len;
  const int probes = std::bit_width(static_cast<unsigned>(len));
  work_ += probes;
  stats_.walked[walk_] += probes;
  return std::binary_search(a, a + len, y);
}

bool MwisReduction::search_pays(int v, int k) {
  const int len = vx_[static_cast<size_t>(v)].len;
  if (len <= options_.walk_max_entries || static_cast<long long>(k) * std::bit_width(static_cast<unsigned>(len)) >= len)
    return false;
  stats_.lookups++;
  return true;
}

void MwisReduction::rename(int y, int from, int to) {
  int* a = adj_.data() + vx_[static_cast<size_t>(y)].beg;
  const int len = vx_[static_cast<size_t>(y)].len;
  int* at = std::lower_bound(a, a + len, from);
  const int probes = std::bit_width(static_cast<unsigned>(len));
  work_ += probes;
  stats_.walked[walk_] += probes;
  if (at == a + len || *at != from) return;
  // `to` is not in the list (y is not a common neighbour): the entries
  // between the two places shift by one.
  if (to > from) {
    int* end = std::lower_bound(at + 1, a + len, to);
    std::copy(at + 1, end, at);
    *(end - 1) = to;
    work_ += end - at;
  } else {
    int* begin = std::lower_bound(a, at, to);
    std::copy_backward(begin, at, at + 1);
    *begin = to;
    work_ += at - begin;
  }
}

bool MwisReduction::init(int n, long long adj_entries) {
  n_ = n;
  const size_t nn = static_cast<size_t>(n);
  vx_.assign(nn, Vertex{});
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
  pos_.assign(nn, 0);
  stamp_ = 0;
  return true;
}

// True once the deadline has expired (polled every few thousand units of work).
bool MwisReduction::poll() {
  if (stopped_) return true;
  if (work_ < next_poll_) return false;
  next_poll_ = work_ + 4096;
  if (deadline_ != nullptr && deadline_->expired()) stopped_ = true;
  return stopped_;
}

template <class G>
bool MwisReduction::run(const G& g, const MwisOptions& options, Deadline* deadline) {
  options_ = options;
  deadline_ = deadline;
  try {
    long long entries = 0;
    for (int v = 0; v < g.n_vertex; v++) entries += g.v_edge_count[v];
    init(g.n_vertex, entries);
    long long at = 0;
    for (int v = 0; v < g.n_vertex; v++) {
      const size_t sv = static_cast<size_t>(v);
      vx_[sv].w = g.v_weight[v];
      vx_[sv].beg = at;
      vx_[sv].len = vx_[sv].deg = g.v_edge_count[v];
      int* const a = adj_.data() + at;
      for (int i = 0; i < g.v_edge_count[v]; i++) adj_[static_cast<size_t>(at++)] = static_cast<int>(g.v_adj[v][i]);
      if (!std::is_sorted(a, adj_.data() + at)) std::sort(a, adj_.data() + at);  // the layouts' lists are ascending already
    }
    for (int v = 0; v < g.n_vertex && !stopped_; v++) {
      double s = 0;
      for (int i = 0; i < g.v_edge_count[v]; i++) s += vx_[g.v_adj[v][i]].w;
      vx_[static_cast<size_t>(v)].nw = s;
      work_ += g.v_edge_count[v] + 1;
      poll();
    }
    // The local rules to their fixpoint; then the global ones (twins, then
    // the LP rule), each followed by the local rules again when it decided
    // something, at most options.lp_rounds times.
    for (int round = 0;; round++) {
      reduce_all();
      if (stopped_ || round >= options.lp_rounds) break;
      long long left = 0;
      for (int v = 0; v < n_; v++) left += state_[static_cast<size_t>(v)] == kAlive;
      if (left > options.lp_max_vertices) break;
      if (options.twin_max_degree >= 2 && twin_pass()) continue;
      if (stopped_) break;
      bool complete = false;
      if (lp_round(complete)) continue;
      lp_half_ = complete;
      break;
    }
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
  while (count_ > 0 && !poll()) {
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
  const WalkAs as(walk_, kWalkRemove);
  state_[static_cast<size_t>(v)] = kRemoved;
  stats_.removed++;
  const double wv = vx_[static_cast<size_t>(v)].w;
  for_live(v, [&](int y) {
    vx_[static_cast<size_t>(y)].deg--;
    vx_[static_cast<size_t>(y)].nw -= wv;
    push(y);
  });
}

// Taken: some optimum contains v, so its neighbours belong to none of those.
void MwisReduction::take(int v) {
  const WalkAs as(walk_, kWalkRemove);
  state_[static_cast<size_t>(v)] = kTaken;
  stats_.taken++;
  chosen_.push_back(v);
  fixed_weight_ += vx_[static_cast<size_t>(v)].w;
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
  if (vx_[sv].w >= vx_[sv].nw) {
    const WalkAs as(walk_, kWalkNeighbourhood);
    double s = 0;
    for_live(v, [&](int y) { s += vx_[static_cast<size_t>(y)].w; });
    vx_[sv].nw = s;
    if (vx_[sv].w >= s) {
      take(v);
      return true;
    }
  }
  if (vx_[sv].deg == 2) {
    const WalkAs as(walk_, kWalkDegreeTwo);
    int u = -1, x = -1;
    for_live(v, [&](int y) { (u < 0 ? u : x) = y; });
    if (vx_[sv].w >= std::max(vx_[static_cast<size_t>(u)].w, vx_[static_cast<size_t>(x)].w) && !adjacent(u, x) && fold(v, u, x))
      return true;
  }
  return edge_rules(v);
}

// Twins: u and v not adjacent with N(u) = N(v).  An independent set holding
// one of them can add the other (its neighbours are the same, all left
// out), so some optimum holds both or neither: u merges into v, which
// weighs w(u) + w(v); lifting adds u whenever v is in the set.  (Adjacent
// twins, N[u] = N[v], are domination.)  One pass over the live vertices of
// degree 2 to options_.twin_max_degree: equal neighbourhoods have equal
// degrees and equal sums of hashed neighbour numbers, so after sorting by
// those only equal runs are compared.  True when it merged some.
bool MwisReduction::twin_pass() {
  const WalkAs as(walk_, kWalkTwins);
  std::vector<std::pair<uint64_t, int>> keys;
  for (int v = 0; v < n_; v++) {
    const size_t sv = static_cast<size_t>(v);
    if (state_[sv] != kAlive || vx_[sv].deg < 2 || vx_[sv].deg > options_.twin_max_degree) continue;
    uint64_t h = static_cast<uint64_t>(vx_[sv].deg);
    for_live(v, [&](int y) {
      uint64_t z = static_cast<uint64_t>(y) + 0x9e3779b97f4a7c15ull;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
      h += z ^ (z >> 31);
    });
    keys.push_back({h, v});
    if (poll()) return false;
  }
  std::sort(keys.begin(), keys.end());
  bool merged = false;
  for (size_t i = 0; i < keys.size();) {
    size_t j = i + 1;
    while (j < keys.size() && keys[j].first == keys[i].first) j++;
    // Each of the run is compared with the first live one not yet merged away.
    for (size_t a = i; a + 1 < j; a++) {
      const int v = keys[a].second;
      const size_t sv = static_cast<size_t>(v);
      if (state_[sv] != kAlive) continue;
      const int d = vx_[sv].deg;
      const int stamp = ++stamp_;
      for_live(v, [&](int y) { mark_[static_cast<size_t>(y)] = stamp; });
      bool grew = false;
      for (size_t b = a + 1; b < j; b++) {
        const int u = keys[b].second;
        const size_t su = static_cast<size_t>(u);
        if (state_[su] != kAlive || vx_[su].deg != d) continue;
        int found = 0;
        for_live(u, [&](int y) { found += mark_[static_cast<size_t>(y)] == stamp; });
        if (found != d) continue;
        state_[su] = kFoldedAway;
        vx_[sv].w += vx_[su].w;
        for_live(u, [&](int y) {
          vx_[static_cast<size_t>(y)].deg--;  // y loses u; v, its twin, gains u's weight
          push(y);
        });
        undo_.push_back({u, v, -2, 0, 0});
        stats_.twins++;
        merged = grew = true;
      }
      if (grew) push(v);
    }
    i = j;
  }
  return merged;
}

// The weighted degree-two fold: v has exactly the neighbours u and x, not
// adjacent, with max(w(u), w(x)) <= w(v) < w(u) + w(x).  Some optimum holds
// either v alone or both u and x: one holding only u (or only x) can swap it
// for v, whose only neighbours are u and x, and weigh no less.  So v, u and
// x become one vertex u' of weight w(u) + w(x) - w(v) adjacent to
// N(u) ∪ N(x) minus v, and w(v) is counted as fixed: a set with u' lifts to
// one with u and x, a set without u' to one with v, each weighing w(v) more.
bool MwisReduction::fold(int v, int u, int x) {
  const WalkAs as(walk_, kWalkDegreeTwo);
  const size_t su = static_cast<size_t>(u), sx = static_cast<size_t>(x);
  const long long need = vx_[su].deg + vx_[sx].deg;
  // The merged list goes to the arena, reserved up front (never reallocated:
  // lists are walked through pointers into it); when it is full, no fold.
  if (static_cast<long long>(adj_.size()) + need > static_cast<long long>(adj_.capacity())) return false;
  const double wu = vx_[su].w, wx = vx_[sx].w, wv = vx_[static_cast<size_t>(v)].w;
  const double wn = wu + wx - wv;
  state_[static_cast<size_t>(v)] = kFoldedAway;
  state_[sx] = kFoldedAway;
  const long long nb = static_cast<long long>(adj_.size());
  const int stamp = ++stamp_;
  // N(u) without v, then N(x) without v and N(u), merged into u's new list
  // (both ascending, so is the merge).
  scratch_.clear();
  for_live(u, [&](int y) {
    mark_[static_cast<size_t>(y)] = stamp;
    scratch_.push_back(y);
  });
  // Common neighbours lose x; the others get u in its place.
  scratch2_.clear();
  for_live(x, [&](int y) {
    const size_t sy = static_cast<size_t>(y);
    if (mark_[sy] == stamp) {
      vx_[sy].deg--;
      vx_[sy].nw -= wx;
      return;
    }
    scratch2_.push_back(y);
    rename(y, x, u);
    vx_[sy].nw += wn - wx;
  });
  for (int y : scratch_) vx_[static_cast<size_t>(y)].nw += wn - wu;
  std::merge(scratch_.begin(), scratch_.end(), scratch2_.begin(), scratch2_.end(), std::back_inserter(adj_));
  vx_[su].w = wn;
  vx_[su].beg = nb;
  vx_[su].len = vx_[su].deg = static_cast<int>(static_cast<long long>(adj_.size()) - nb);
  double s = 0;
  for (long long i = nb; i < static_cast<long long>(adj_.size()); i++) s += vx_[static_cast<size_t>(adj_[static_cast<size_t>(i)])].w;
  vx_[su].nw = s;
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
  const WalkAs as(walk_, kWalkEdge);
  const size_t sv = static_cast<size_t>(v);
  const int d = vx_[sv].deg;
  if (d == 0 || d > kDominationMaxDegree) return false;
  const int stamp = ++stamp_;
  for_live(v, [](int) {});  // compacted: the list is N(v)
  const int* const list = adj_.data() + vx_[sv].beg;
  scratch_.assign(list, list + d);
  double total = 0;  // W, summed afresh
  for (int y : scratch_) {
    mark_[static_cast<size_t>(y)] = stamp;
    total += vx_[static_cast<size_t>(y)].w;
  }
  vx_[sv].nw = total;
  bool sorted = false;  // by_weight_ made
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
    if (vx_[su].w > vx_[static_cast<size_t>(heaviest)].w) heaviest = u;
    clique &= vx_[su].deg >= d;
  }
  // The clique-cover test, when v is at least as heavy as each neighbour.
  const bool cover = d <= std::min(options_.cover_max_degree, 64) && vx_[sv].w >= vx_[static_cast<size_t>(heaviest)].w;
  for (int i = 0; i < d; i++) {
    const int u = scratch_[static_cast<size_t>(i)];
    const size_t su = static_cast<size_t>(u);
    bool candidate = vx_[su].w <= vx_[sv].w && vx_[su].nw >= total * (1 - 1e-9);
    if (!candidate && !clique) continue;
    int found = 0;
    double common = 0;
    if (vx_[su].len > options_.walk_max_entries) {
      stats_.lookups++;
      // v's other neighbours y are looked up (binary search in the shorter
      // of the lists of u and y) rather than u's list walked, heaviest first, and only as long as a
      // rule can still hold: the clique test fails at the first one missing;
      // the single-edge rule needs w(v) + w(N(v) ∩ N(u)) >= W, i.e. the
      // weight of N(v) \ N[u] at most w(v) - w(u), so it fails once the
      // weight missing passes that (with a margin for rounding: giving up
      // on a rule is always sound).  The cost is a few searches of log(deg u)
      // each, not deg(u): hubs' lists are not walked for their many small
      // neighbours.
      if (!sorted) {  // N(v) heaviest first
        by_weight_.clear();
        for (int y : scratch_) by_weight_.push_back({-vx_[static_cast<size_t>(y)].w, y});
        std::sort(by_weight_.begin(), by_weight_.end());
        sorted = true;
      }
      const double slack = vx_[sv].w - vx_[su].w + 1e-9 * total;
      double missed = 0;
      for (const auto& [minus_w, y] : by_weight_) {
        if (y == u) continue;
        if (adjacent(u, y)) {
          found++;
          common -= minus_w;
          continue;
        }
        missed -= minus_w;
        if (missed > slack) candidate = false;
        if (!candidate) break;  // one missing: not a clique either
      }
    } else {
      for_live(u, [&](int y) {
        if (mark_[static_cast<size_t>(y)] == stamp) {
          found++;
          common += vx_[static_cast<size_t>(y)].w;
        }
      });
    }
    clique &= found == d - 1;
    if (candidate && vx_[sv].w + common >= total) scratch2_.push_back(u);
  }
  if (cover && !clique) {
    const WalkAs as_cover(walk_, kWalkCover);
    // Clique-cover neighbourhood removal: cliques C_1..C_k covering N(v)
    // (greedy, neighbours by decreasing weight, each into the first clique
    // it is adjacent to whole); an independent set meets each in at most
    // one vertex, so S ∩ N(v) weighs at most the sum of the cliques'
    // heaviest weights.  When w(v) reaches that sum, trading S ∩ N(v) for v
    // loses nothing: some optimum contains v.  Built heaviest first and
    // given up as soon as the sum passes w(v) (usually after two lists).
    // Unless v outweighs its two heaviest neighbours together, they must
    // share a clique: adjacent (tested first on the shorter list).
    int h2 = -1;  // the heaviest neighbour but `heaviest`
    for (int u : scratch_)
      if (u != heaviest && (h2 < 0 || vx_[static_cast<size_t>(u)].w > vx_[static_cast<size_t>(h2)].w)) h2 = u;
    bool viable = true;
    if (d >= 2 && vx_[sv].w < vx_[static_cast<size_t>(heaviest)].w + vx_[static_cast<size_t>(h2)].w) {
      viable = adjacent(heaviest, h2);
    }
    for (int i = 0; viable && i < d; i++) pos_[static_cast<size_t>(scratch_[static_cast<size_t>(i)])] = i;
    cliques_.clear();
    double bound = 0;
    uint64_t done = 0;
    int covered = 0;
    for (; viable && covered < d && bound <= vx_[sv].w; covered++) {
      int best = -1;
      for (int i = 0; i < d; i++)
        if (!(done >> i & 1) && (best < 0 || vx_[static_cast<size_t>(scratch_[static_cast<size_t>(i)])].w >
                                                 vx_[static_cast<size_t>(scratch_[static_cast<size_t>(best)])].w))
          best = i;
      done |= uint64_t{1} << best;
      uint64_t m = 0;
      const int b = scratch_[static_cast<size_t>(best)];
      if (search_pays(b, d - 1)) {
        for (int j = 0; j < d; j++)
          if (j != best && listed(b, scratch_[static_cast<size_t>(j)])) m |= uint64_t{1} << j;
      } else {
        for_live(b, [&](int y) {
          if (mark_[static_cast<size_t>(y)] == stamp) m |= uint64_t{1} << pos_[static_cast<size_t>(y)];
        });
      }
      bool joined = false;
      for (uint64_t& c : cliques_)
        if ((c & ~m) == 0) {
          c |= uint64_t{1} << best;
          joined = true;
          break;
        }
      if (!joined) {
        cliques_.push_back(uint64_t{1} << best);
        bound += vx_[static_cast<size_t>(scratch_[static_cast<size_t>(best)])].w;  // the heaviest of its clique
      }
    }
    if (viable && covered == d && bound <= vx_[sv].w) {
      stats_.clique_taken++;
      take(v);
      return true;
    }
  }
  if (clique) {
    if (vx_[sv].w >= vx_[static_cast<size_t>(heaviest)].w) {
      take(v);
    } else {
      for (int u : scratch_)  // the neighbours no heavier than v are dominated by it
        if (vx_[static_cast<size_t>(u)].w <= vx_[sv].w) remove(u);
      transfer(v);
    }
    return true;
  }
  bool changed = !scratch2_.empty();
  for (int u : scratch2_)
    if (state_[static_cast<size_t>(u)] == kAlive) remove(u);
  if (state_[static_cast<size_t>(heaviest)] == kAlive && vx_[sv].w + vx_[static_cast<size_t>(heaviest)].w >= total) {
    // total only shrank with the removals above, so the condition still holds.
    scratch2_.clear();
    if (search_pays(heaviest, d - 1)) {
      for (int y : scratch_)
        if (y != heaviest && state_[static_cast<size_t>(y)] == kAlive && listed(heaviest, y)) scratch2_.push_back(y);
    } else {
      for_live(heaviest, [&](int y) {
        if (mark_[static_cast<size_t>(y)] == stamp) scratch2_.push_back(y);
      });
    }
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
  const WalkAs as(walk_, kWalkTransfer);
  const size_t sv = static_cast<size_t>(v);
  const double wv = vx_[sv].w;
  state_[sv] = kFoldedAway;
  const long long lo = static_cast<long long>(members_.size());
  scratch_.clear();
  for_live(v, [&](int u) { scratch_.push_back(u); });
  for (int u : scratch_) {
    members_.push_back(u);
    const size_t su = static_cast<size_t>(u);
    vx_[su].deg--;
    vx_[su].nw -= wv;
    vx_[su].w -= wv;
    push(u);
    for_live(u, [&](int y) {
      vx_[static_cast<size_t>(y)].nw -= wv;
      push(y);
    });
  }
  undo_.push_back({v, -1, -1, lo, static_cast<long long>(members_.size())});
  fixed_weight_ += wv;
  stats_.transfers++;
}

// One round of the LP rule (see LpFlow) on the live vertices: the vertices
// at 1 are taken, those at 0 removed.  True when it decided something;
// `complete` when the flow ended and decided nothing (the LP optimum is then
// 1/2 everywhere).
bool MwisReduction::lp_round(bool& complete) {
  const WalkAs as(walk_, kWalkLp);
  complete = false;
  if (lp_id_.empty()) lp_id_.assign(static_cast<size_t>(n_), -1);
  std::vector<int> vert;  // LP numbering -> vertex
  for (int v = 0; v < n_; v++)
    if (state_[static_cast<size_t>(v)] == kAlive) {
      lp_id_[static_cast<size_t>(v)] = static_cast<int>(vert.size());
      vert.push_back(v);
      for_live(v, [](int) {});  // compacts the list
    }
  LpFlow lp;
  const int k = lp.k = static_cast<int>(vert.size());
  lp.off.assign(static_cast<size_t>(k) + 1, 0);
  lp.w.resize(static_cast<size_t>(k));
  for (int i = 0; i < k; i++) {
    const size_t v = static_cast<size_t>(vert[static_cast<size_t>(i)]);
    lp.w[static_cast<size_t>(i)] = vx_[v].w;
    lp.off[static_cast<size_t>(i) + 1] = lp.off[static_cast<size_t>(i)] + vx_[v].len;  // lists are compacted
  }
  bool decided = false;
  const long long entries = lp.off[static_cast<size_t>(k)];
  if (k > 0 && entries < std::numeric_limits<int>::max() && entries <= options_.lp_budget) {
    // Each list ascending in the LP numbering: u appended to its neighbours' lists in order.
    lp.nb.resize(static_cast<size_t>(entries));
    lp.rev.resize(static_cast<size_t>(entries));
    std::vector<long long> fill(lp.off.begin(), lp.off.end() - 1);
    for (int i = 0; i < k; i++) {
      const int v = vert[static_cast<size_t>(i)];
      const int* a = adj_.data() + vx_[static_cast<size_t>(v)].beg;
      for (int j = 0; j < vx_[static_cast<size_t>(v)].len; j++)
        lp.nb[static_cast<size_t>(fill[static_cast<size_t>(lp_id_[static_cast<size_t>(a[j])])]++)] = i;
    }
    // The reverse entries: the entries of v pointing below v come first, in
    // the order the smaller ends are met.
    std::copy(lp.off.begin(), lp.off.end() - 1, fill.begin());
    for (int u = 0; u < k; u++)
      for (long long e = lp.off[static_cast<size_t>(u)]; e < lp.off[static_cast<size_t>(u) + 1]; e++) {
        const int v = lp.nb[static_cast<size_t>(e)];
        if (v < u) continue;
        const long long e2 = fill[static_cast<size_t>(v)]++;
        lp.rev[static_cast<size_t>(e)] = static_cast<int>(e2);
        lp.rev[static_cast<size_t>(e2)] = static_cast<int>(e);
      }
    work_ += entries;
    lp.budget = options_.lp_budget;
    const long long base = work_;
    auto stop = [&](long long wk) {
      work_ = base + wk;
      return poll();
    };
    if (lp.max_flow(stop) && lp.bfs(false, stop) >= 0) {
      stats_.lp_rounds++;
      // Taken first (their neighbours are at 0), then the other vertices at 0.
      for (int i = 0; i < k; i++) {
        const int v = vert[static_cast<size_t>(i)];
        if (lp.level[static_cast<size_t>(i)] >= 0 && lp.level[static_cast<size_t>(k + i)] < 0 &&
            state_[static_cast<size_t>(v)] == kAlive) {
          take(v);
          stats_.lp_taken++;
          decided = true;
        }
      }
      for (int i = 0; i < k; i++) {
        const int v = vert[static_cast<size_t>(i)];
        if (lp.level[static_cast<size_t>(i)] < 0 && lp.level[static_cast<size_t>(k + i)] >= 0 &&
            state_[static_cast<size_t>(v)] == kAlive) {
          remove(v);
          stats_.lp_removed++;
          decided = true;
        }
      }
      complete = !decided;
    }
  }
  for (int v : vert) lp_id_[static_cast<size_t>(v)] = -1;
  return decided;
}

void MwisReduction::split_and_solve(const MwisOptions& options) {
  const WalkAs as(walk_, kWalkSplit);
  // Components in ascending order of their smallest vertex, each ascending.
  // mark_ becomes the position of a kernel vertex in its component (-1: not
  // reached yet, -2: in the component being gathered).
  std::fill(mark_.begin(), mark_.end(), -1);
  // Out of time: every live vertex not in a component yet goes into one
  // last part, ascending (not split: that would cost a walk of every list).
  auto rest = [&] {
    std::vector<int> left;
    for (int v = 0; v < n_; v++)
      if (state_[static_cast<size_t>(v)] == kAlive && mark_[static_cast<size_t>(v)] < 0) {
        mark_[static_cast<size_t>(v)] = static_cast<int>(left.size());
        left.push_back(v);
      }
    const int k = static_cast<int>(left.size());
    if (k == 0) return;
    stats_.kernel += k;
    stats_.components++;
    stats_.largest = std::max(stats_.largest, k);
    stats_.searched += k;
    parts_.push_back(std::move(left));
  };
  std::vector<int> comp;
  std::vector<uint64_t> masks;
  for (int s = 0; s < n_; s++) {
    if (state_[static_cast<size_t>(s)] != kAlive || mark_[static_cast<size_t>(s)] != -1) continue;
    if (poll()) return rest();
    comp.clear();
    comp.push_back(s);
    mark_[static_cast<size_t>(s)] = -2;
    for (size_t i = 0; i < comp.size(); i++) {
      for_live(comp[i], [&](int y) {
        if (mark_[static_cast<size_t>(y)] == -1) {
          mark_[static_cast<size_t>(y)] = -2;
          comp.push_back(y);
        }
      });
      if (poll()) return rest();
    }
    std::sort(comp.begin(), comp.end());
    const int k = static_cast<int>(comp.size());
    for (int i = 0; i < k; i++) mark_[static_cast<size_t>(comp[static_cast<size_t>(i)])] = i;
    stats_.kernel += k;
    stats_.components++;
    stats_.largest = std::max(stats_.largest, k);
    bool solved = false;
    if (!stopped_ && k <= std::min(options.exact_max_vertices, 64)) {
      masks.assign(static_cast<size_t>(k), 0);
      std::vector<double> cw(static_cast<size_t>(k));
      for (int i = 0; i < k; i++) {
        cw[static_cast<size_t>(i)] = vx_[static_cast<size_t>(comp[static_cast<size_t>(i)])].w;
        for_live(comp[static_cast<size_t>(i)],
                 [&](int y) { masks[static_cast<size_t>(i)] |= uint64_t{1} << mark_[static_cast<size_t>(y)]; });
      }
      SmallMwis bb{masks.data(), cw.data()};
      bb.budget = options.exact_node_budget;
      bb.deadline = deadline_;
      bb.go(k == 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1, 0, 0);
      if (!bb.aborted) {
        solved = true;
        stats_.exact++;
        for (uint64_t q = bb.best_set; q; q &= q - 1) {
          const int v = comp[static_cast<size_t>(std::countr_zero(q))];
          chosen_.push_back(v);
          fixed_weight_ += vx_[static_cast<size_t>(v)].w;
        }
      }
    }
    if (!solved && deadline_ != nullptr && deadline_->expired()) stopped_ = true;
    if (!solved && !stopped_ && k <= options.branch_max_vertices) {
      std::vector<double> cw(static_cast<size_t>(k));
      std::vector<ConflictPair> pairs;
      for (int i = 0; i < k; i++) {
        const int v = comp[static_cast<size_t>(i)];
        cw[static_cast<size_t>(i)] = vx_[static_cast<size_t>(v)].w;
        for_live(v, [&](int y) {
          if (y > v) pairs.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(mark_[static_cast<size_t>(y)])});
        });
      }
      SparseConflictGraph<uint32_t> cg;
      std::vector<int> set;
      double weight = 0;
      long budget = options.branch_budget;
      const bool settled =
          sparse_from_pairs(cg, k, pairs.data(), static_cast<long long>(pairs.size()), cw.data()) == 0 &&
          branch_and_reduce(cg, -std::numeric_limits<double>::infinity(), budget, set, weight, options, deadline_);
      stats_.branch_work += options.branch_budget - std::max(budget, 0L);
      if (settled) {
        solved = true;
        stats_.exact++;
        stats_.branched++;
        for (int i : set) {
          const int v = comp[static_cast<size_t>(i)];
          chosen_.push_back(v);
          fixed_weight_ += vx_[static_cast<size_t>(v)].w;
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
    const int* a = adj_.data() + vx_[static_cast<size_t>(v)].beg;
    for (int j = 0; j < vx_[static_cast<size_t>(v)].len; j++) {
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
    } else if (f.x == -2) {
      if (in[static_cast<size_t>(f.u)]) in[static_cast<size_t>(f.v)] = 1;
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

template bool MwisReduction::run(const ConflictGraph&, const MwisOptions&, Deadline*);
template bool MwisReduction::run(const SparseConflictGraph<uint16_t>&, const MwisOptions&, Deadline*);
template bool MwisReduction::run(const SparseConflictGraph<uint32_t>&, const MwisOptions&, Deadline*);
template bool is_independent(const ConflictGraph&, const std::vector<int>&);
template bool is_independent(const SparseConflictGraph<uint16_t>&, const std::vector<int>&);
template bool is_independent(const SparseConflictGraph<uint32_t>&, const std::vector<int>&);

}  // namespace mavu::reduce
