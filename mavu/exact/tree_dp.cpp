#include "mavu/exact/tree_dp.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

namespace mavu::exact {

namespace {

// Minimum fill is tried after the cheaper orders only from this width on.
// Below it the tables cost less than its search: with it always tried, the
// solves of bench/tree_dp took 0.026 s instead of 0.016 s on the 61 kernel
// components of 40 6x50 grids (widths up to 7) and 0.004 s instead of
// 0.002 s on road-luxembourg-osm's 77; from 10 on it can pay (Promedus_27's
// kernel: 18 against minimum degree's 19).
constexpr int kMinFillFrom = 10;

// Work units (edge look-ups, list entries, table entries) between two polls
// of the deadline.
constexpr long kPollEvery = 4096;

class Poll {
 public:
  explicit Poll(Deadline& deadline) : deadline_(deadline) {}
  // True once the deadline has expired; looks at it after every
  // kPollEvery units of work.
  bool expired(long work) {
    left_ -= work;
    if (left_ > 0) return false;
    left_ = kPollEvery;
    return deadline_.expired();
  }

 private:
  Deadline& deadline_;
  long left_ = 0;
};

// The edges between vertices of the elimination graph: open addressing on
// the ordered pair, never erased (a pair with an eliminated end is simply
// never asked for again).
class EdgeSet {
 public:
  explicit EdgeSet(size_t expected) {
    size_t cap = 16;
    while (cap < 2 * expected + 2) cap *= 2;
    slots_.assign(cap, kEmpty);
  }
  bool contains(uint32_t a, uint32_t b) const {
    const uint64_t k = key(a, b);
    for (size_t i = hash(k) & mask();; i = (i + 1) & mask()) {
      if (slots_[i] == k) return true;
      if (slots_[i] == kEmpty) return false;
    }
  }
  // True when the pair was not there.
  bool insert(uint32_t a, uint32_t b) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    const uint64_t k = key(a, b);
    size_t i = hash(k) & mask();
    for (; slots_[i] != kEmpty; i = (i + 1) & mask())
      if (slots_[i] == k) return false;
    slots_[i] = k;
    count_++;
    return true;
  }

 private:
  static constexpr uint64_t kEmpty = ~0ull;  // no pair: a < b always leaves a low word below 2^32 - 1 or b above a
  static uint64_t key(uint32_t a, uint32_t b) {
    return a < b ? (uint64_t{a} << 32 | b) : (uint64_t{b} << 32 | a);
  }
  static size_t hash(uint64_t k) {  // the finaliser of splitmix64
    k = (k ^ (k >> 30)) * 0xbf58476d1ce4e5b9ull;
    k = (k ^ (k >> 27)) * 0x94d049bb133111ebull;
    return static_cast<size_t>(k ^ (k >> 31));
  }
  size_t mask() const { return slots_.size() - 1; }
  void grow() {
    std::vector<uint64_t> old(slots_.size() * 2, kEmpty);
    old.swap(slots_);
    for (uint64_t k : old)
      if (k != kEmpty) {
        size_t i = hash(k) & mask();
        while (slots_[i] != kEmpty) i = (i + 1) & mask();
        slots_[i] = k;
      }
  }

  std::vector<uint64_t> slots_;
  size_t count_ = 0;
};

// A candidate of the greedy order: smaller (key, degree, vertex) first.
// Entries whose key or degree is out of date stay in the heap and are
// skipped.
struct Candidate {
  int key, degree, v;
  bool operator<(const Candidate& o) const {  // the heap's top is the smallest
    if (key != o.key) return key > o.key;
    if (degree != o.degree) return degree > o.degree;
    return v > o.v;
  }
};

enum class Rule { min_degree, min_fill, sweep };

// Greedy elimination within width max_width.  The key of a vertex is its
// degree (minimum degree), the number of missing edges among its neighbours
// (minimum fill; only vertices of degree at most max_width are candidates)
// or minus its distance in `distance` (sweep: the farthest first; among
// equally far ones the least degree, which keeps a frontier from
// thickening); the smallest key goes first, ties to the least degree, then
// the smaller vertex.
template <Rule kRule>
EliminationOrder eliminate(const SparseConflictGraph<uint32_t>& g, const std::vector<int>& distance, int max_width,
                           Deadline& deadline) {
  EliminationOrder out;
  const int n = g.n_vertex;
  std::vector<std::vector<uint32_t>> adj(static_cast<size_t>(n));
  std::vector<int> deg(static_cast<size_t>(n));
  std::vector<uint8_t> alive(static_cast<size_t>(n), 1), in_clique(static_cast<size_t>(n), 0);
  EdgeSet edges(static_cast<size_t>(g.n_edge));
  for (int v = 0; v < n; v++) {
    adj[static_cast<size_t>(v)].assign(g.v_adj[v], g.v_adj[v] + g.v_edge_count[v]);
    deg[static_cast<size_t>(v)] = g.v_edge_count[v];
    for (int i = 0; i < g.v_edge_count[v]; i++)
      if (g.v_adj[v][i] > static_cast<uint32_t>(v)) edges.insert(static_cast<uint32_t>(v), g.v_adj[v][i]);
  }
  // The live neighbours of v, its list compacted on the way.
  auto live = [&](int v) -> std::vector<uint32_t>& {
    auto& list = adj[static_cast<size_t>(v)];
    std::erase_if(list, [&](uint32_t u) { return !alive[u]; });
    return list;
  };
  constexpr int kNoKey = -1;
  std::vector<int> key(static_cast<size_t>(n), kNoKey);
  // Missing edges among the neighbours of v (degree at most max_width).
  auto missing = [&](int v) {
    const auto& list = live(v);
    int count = 0;
    for (size_t i = 0; i < list.size(); i++)
      for (size_t j = i + 1; j < list.size(); j++) count += !edges.contains(list[i], list[j]);
    return count;
  };
  std::vector<Candidate> heap;
  Poll poll(deadline);
  auto update = [&](int v) {
    const int d = deg[static_cast<size_t>(v)];
    if constexpr (kRule == Rule::sweep) {
      key[static_cast<size_t>(v)] = -distance[static_cast<size_t>(v)];
    } else if constexpr (kRule == Rule::min_fill) {
      if (d > max_width) {
        key[static_cast<size_t>(v)] = kNoKey;
        return;
      }
      key[static_cast<size_t>(v)] = missing(v);
    } else {
      key[static_cast<size_t>(v)] = d;
    }
    heap.push_back({key[static_cast<size_t>(v)], d, v});
    std::push_heap(heap.begin(), heap.end());
  };
  for (int v = 0; v < n; v++) {
    update(v);
    const long d = deg[static_cast<size_t>(v)];
    if (poll.expired(1 + d + (kRule == Rule::min_fill && d <= max_width ? d * d : 0))) return out;
  }
  std::vector<uint32_t> clique;
  std::vector<std::pair<uint32_t, uint32_t>> added;
  out.order.reserve(static_cast<size_t>(n));
  int width = 0;
  while (static_cast<int>(out.order.size()) < n) {
    // The best candidate whose entry is up to date.
    int v = -1;
    while (!heap.empty()) {
      const Candidate c = heap.front();
      std::pop_heap(heap.begin(), heap.end());
      heap.pop_back();
      if (alive[static_cast<size_t>(c.v)] && key[static_cast<size_t>(c.v)] == c.key &&
          deg[static_cast<size_t>(c.v)] == c.degree) {
        v = c.v;
        break;
      }
    }
    if (v < 0 || deg[static_cast<size_t>(v)] > max_width) {
      // Minimum fill runs out of candidates when every vertex left has more
      // than max_width neighbours.
      int least = std::numeric_limits<int>::max();
      for (int u = 0; u < n; u++)
        if (alive[static_cast<size_t>(u)]) least = std::min(least, deg[static_cast<size_t>(u)]);
      out.status = OrderStatus::too_wide;
      out.width = v < 0 ? least : deg[static_cast<size_t>(v)];
      out.order.clear();
      return out;
    }
    clique = live(v);
    const int d = static_cast<int>(clique.size());
    width = std::max(width, d);
    out.entries += std::ldexp(1.0, d);
    out.order.push_back(v);
    alive[static_cast<size_t>(v)] = 0;
    added.clear();
    for (int i = 0; i < d; i++)
      for (int j = i + 1; j < d; j++) {
        const uint32_t a = clique[static_cast<size_t>(i)], b = clique[static_cast<size_t>(j)];
        if (edges.insert(a, b)) {
          adj[a].push_back(b);
          adj[b].push_back(a);
          deg[a]++;
          deg[b]++;
          added.emplace_back(a, b);
        }
      }
    for (uint32_t u : clique) deg[u]--;
    long work = 1 + static_cast<long>(d) * d;
    if constexpr (kRule == Rule::min_fill) {
      // A new edge a-b completes one pair among the neighbours of each
      // common neighbour of a and b; the clique's own vertices are counted
      // afresh below.
      for (uint32_t u : clique) in_clique[u] = 1;
      for (const auto& [a, b] : added) {
        const bool a_shorter = deg[a] <= deg[b];
        const uint32_t walk = a_shorter ? a : b, other = a_shorter ? b : a;
        for (uint32_t x : live(static_cast<int>(walk)))
          if (!in_clique[x] && key[x] != kNoKey && edges.contains(x, other)) {
            key[x]--;
            heap.push_back({key[x], deg[x], static_cast<int>(x)});
            std::push_heap(heap.begin(), heap.end());
          }
        work += deg[walk];
      }
      for (uint32_t u : clique) in_clique[u] = 0;
      work += static_cast<long>(d) * d * d;
    }
    for (uint32_t u : clique) update(static_cast<int>(u));
    if (poll.expired(work)) {
      out.order.clear();
      return out;
    }
  }
  out.status = OrderStatus::ok;
  out.width = width;
  return out;
}

// Breadth-first distance of every vertex from a vertex far out in its
// component (the end of the last of a few searches, each from the farthest
// vertex of the one before).
std::vector<int> sweep_distance(const SparseConflictGraph<uint32_t>& g) {
  const int n = g.n_vertex;
  std::vector<int> dist(static_cast<size_t>(n), -1), queue(static_cast<size_t>(n)), seen(static_cast<size_t>(n), -1);
  // Searches from s; the last vertex reached.  keep: the distances are kept.
  auto bfs = [&](int s, int stamp, bool keep) {
    size_t head = 0, tail = 0;
    queue[tail++] = s;
    seen[static_cast<size_t>(s)] = stamp;
    if (keep) dist[static_cast<size_t>(s)] = 0;
    int last = s;
    while (head < tail) {
      const int v = queue[head++];
      last = v;
      for (int i = 0; i < g.v_edge_count[v]; i++) {
        const int u = static_cast<int>(g.v_adj[v][i]);
        if (seen[static_cast<size_t>(u)] == stamp) continue;
        seen[static_cast<size_t>(u)] = stamp;
        if (keep) dist[static_cast<size_t>(u)] = dist[static_cast<size_t>(v)] + 1;
        queue[tail++] = u;
      }
    }
    return last;
  };
  int stamp = 0;
  for (int s = 0; s < n; s++) {
    if (dist[static_cast<size_t>(s)] >= 0) continue;
    int far = s;
    for (int round = 0; round < 3; round++) far = bfs(far, stamp++, false);
    bfs(far, stamp++, true);
  }
  return dist;
}

// Adds without wrapping: the sizes below can exceed 2^64 on paper.
unsigned long long saturating_add(unsigned long long a, unsigned long long b) {
  return a > std::numeric_limits<unsigned long long>::max() - b ? std::numeric_limits<unsigned long long>::max()
                                                                   : a + b;
}

// What the dynamic programme needs along an order, worked out before any
// table exists.  Message p is the table made when order[p] goes; its scope
// (the vertices it is a function of) is sorted by position, and it is used
// when the first of them goes.
struct Plan {
  std::vector<int> pos;               // position of each vertex in the order
  std::vector<size_t> scope_begin;    // scope of message p: scopes[scope_begin[p], scope_begin[p + 1])
  std::vector<int> scopes;
  std::vector<int> bucket_head;       // per vertex: a message used when it goes (-1: none)
  std::vector<int> bucket_next;       // per message: the next message of the same bucket
  std::vector<unsigned long long> choice_at;  // per message: its first reconstruction bit
  unsigned long long choice_words = 0;
  unsigned long long bytes = 0;       // reconstruction bits plus the peak of the live tables
  int width = 0;
};

Plan make_plan(const SparseConflictGraph<uint32_t>& g, const std::vector<int>& order) {
  const int n = g.n_vertex;
  Plan plan;
  plan.pos.resize(static_cast<size_t>(n));
  for (int p = 0; p < n; p++) plan.pos[static_cast<size_t>(order[static_cast<size_t>(p)])] = p;
  plan.scope_begin.assign(static_cast<size_t>(n) + 1, 0);
  plan.bucket_head.assign(static_cast<size_t>(n), -1);
  plan.bucket_next.assign(static_cast<size_t>(n), -1);
  plan.choice_at.assign(static_cast<size_t>(n), 0);
  std::vector<int> mark(static_cast<size_t>(n), -1);
  unsigned long long choice_bits = 0, live = 0, peak = 0;
  auto table_bytes = [](size_t k) { return sizeof(double) << k; };
  for (int p = 0; p < n; p++) {
    const int v = order[static_cast<size_t>(p)];
    const size_t begin = plan.scopes.size();
    auto add = [&](int u) {
      if (mark[static_cast<size_t>(u)] != p) {
        mark[static_cast<size_t>(u)] = p;
        plan.scopes.push_back(u);
      }
    };
    for (int i = 0; i < g.v_edge_count[v]; i++) {
      const int u = static_cast<int>(g.v_adj[v][i]);
      if (plan.pos[static_cast<size_t>(u)] > p) add(u);
    }
    unsigned long long freed = 0;
    for (int q = plan.bucket_head[static_cast<size_t>(v)]; q >= 0; q = plan.bucket_next[static_cast<size_t>(q)]) {
      for (size_t i = plan.scope_begin[static_cast<size_t>(q)] + 1; i < plan.scope_begin[static_cast<size_t>(q) + 1]; i++)
        add(plan.scopes[i]);
      freed += table_bytes(plan.scope_begin[static_cast<size_t>(q) + 1] - plan.scope_begin[static_cast<size_t>(q)]);
    }
    std::sort(plan.scopes.begin() + static_cast<long>(begin), plan.scopes.end(),
              [&](int a, int b) { return plan.pos[static_cast<size_t>(a)] < plan.pos[static_cast<size_t>(b)]; });
    plan.scope_begin[static_cast<size_t>(p) + 1] = plan.scopes.size();
    const size_t k = plan.scopes.size() - begin;
    plan.width = std::max(plan.width, static_cast<int>(k));
    if (k > static_cast<size_t>(kTreeDpWidthCeiling)) return plan;  // refused by the caller
    plan.choice_at[static_cast<size_t>(p)] = choice_bits;
    choice_bits = saturating_add(choice_bits, 1ull << k);
    // The new table exists while the ones it used are still there.
    if (k > 0) {
      live = saturating_add(live, table_bytes(k));
      const int first = plan.scopes[begin];
      plan.bucket_next[static_cast<size_t>(p)] = plan.bucket_head[static_cast<size_t>(first)];
      plan.bucket_head[static_cast<size_t>(first)] = p;
    }
    peak = std::max(peak, live);
    live -= std::min(live, freed);
  }
  plan.choice_words = choice_bits / 64 + 1;
  plan.bytes = saturating_add(plan.choice_words * sizeof(uint64_t), peak);
  return plan;
}

// The tables along the plan, then the set they choose.  False when the
// deadline expired (status abandoned) or an allocation failed (no_memory).
bool run_plan(const SparseConflictGraph<uint32_t>& g, const std::vector<int>& order, const Plan& plan,
              Deadline& deadline, TreeDpResult& result) {
  const int n = g.n_vertex;
  std::vector<uint64_t> choice(static_cast<size_t>(plan.choice_words), 0);
  std::vector<std::unique_ptr<double[]>> table(static_cast<size_t>(n));
  // Index contributions of the tables being combined: for table j, lo[j]
  // maps the low kLow bits of an entry of the new table to the index in
  // table j, hi[j] the bits above.
  constexpr int kLow = 10;
  std::vector<uint64_t> lo, hi;
  std::vector<const double*> source;
  std::vector<uint64_t> contribution;
  std::vector<int> slot(static_cast<size_t>(n), -1);
  double acc0[1 << kLow], acc1[1 << kLow];
  Poll poll(deadline);
  for (int p = 0; p < n; p++) {
    const int v = order[static_cast<size_t>(p)];
    const int* scope = plan.scopes.data() + plan.scope_begin[static_cast<size_t>(p)];
    const int k = static_cast<int>(plan.scope_begin[static_cast<size_t>(p) + 1] - plan.scope_begin[static_cast<size_t>(p)]);
    for (int i = 0; i < k; i++) slot[static_cast<size_t>(scope[i])] = i;
    // Taking v needs its later conflicting neighbours out.
    uint64_t conflicts = 0;
    for (int i = 0; i < g.v_edge_count[v]; i++) {
      const int u = static_cast<int>(g.v_adj[v][i]);
      if (plan.pos[static_cast<size_t>(u)] > p) conflicts |= uint64_t{1} << slot[static_cast<size_t>(u)];
    }
    const int low = std::min(k, kLow), high = k - low;
    const uint64_t low_size = uint64_t{1} << low, high_size = uint64_t{1} << high;
    source.clear();
    lo.clear();
    hi.clear();
    for (int q = plan.bucket_head[static_cast<size_t>(v)]; q >= 0; q = plan.bucket_next[static_cast<size_t>(q)]) {
      // Table q's index: bit 0 is v (its earliest vertex), bit i its i-th.
      const int* qs = plan.scopes.data() + plan.scope_begin[static_cast<size_t>(q)];
      const int qk = static_cast<int>(plan.scope_begin[static_cast<size_t>(q) + 1] - plan.scope_begin[static_cast<size_t>(q)]);
      contribution.assign(static_cast<size_t>(k), 0);
      for (int i = 1; i < qk; i++) contribution[static_cast<size_t>(slot[static_cast<size_t>(qs[i])])] = uint64_t{1} << i;
      const size_t lo_at = lo.size(), hi_at = hi.size();
      lo.resize(lo_at + low_size);
      hi.resize(hi_at + high_size);
      for (uint64_t a = 1; a < low_size; a++)
        lo[lo_at + a] = lo[lo_at + (a & (a - 1))] + contribution[static_cast<size_t>(std::countr_zero(a))];
      for (uint64_t a = 1; a < high_size; a++)
        hi[hi_at + a] = hi[hi_at + (a & (a - 1))] + contribution[static_cast<size_t>(low + std::countr_zero(a))];
      source.push_back(table[static_cast<size_t>(q)].get());
    }
    double constant = 0;  // with no later neighbour the value is not needed
    double* out = &constant;
    std::unique_ptr<double[]> made;
    if (k > 0) {
      made.reset(new (std::nothrow) double[uint64_t{1} << k]);
      if (!made) {
        result.status = TreeDpStatus::no_memory;
        return false;
      }
      out = made.get();
    }
    const double wv = g.v_weight[v];
    const unsigned long long bits = plan.choice_at[static_cast<size_t>(p)];
    const size_t tables = source.size();
    for (uint64_t h = 0; h < high_size; h++) {
      if (poll.expired(static_cast<long>(low_size * (tables + 1)))) {
        result.status = TreeDpStatus::abandoned;
        return false;
      }
      if (tables == 0) {
        for (uint64_t a = 0; a < low_size; a++) acc0[a] = 0, acc1[a] = wv;
      } else {  // the first table starts the sums (0 + x is x exactly)
        const double* t = source[0] + hi[h];
        for (uint64_t a = 0; a < low_size; a++) {
          acc0[a] = t[lo[a]];
          acc1[a] = wv + t[lo[a] + 1];
        }
      }
      for (size_t j = 1; j < tables; j++) {
        const double* t = source[j] + hi[j * high_size + h];
        const uint64_t* lj = lo.data() + j * low_size;
        for (uint64_t a = 0; a < low_size; a++) {
          acc0[a] += t[lj[a]];
          acc1[a] += t[lj[a] + 1];
        }
      }
      const uint64_t entry0 = h << low;
      const bool high_free = (entry0 & conflicts) == 0;
      for (uint64_t a0 = 0; a0 < low_size; a0 += 64) {
        const uint64_t end = std::min(low_size, a0 + 64);
        uint64_t word = 0;  // the choice bits of entries a0.. in order
        for (uint64_t a = a0; a < end; a++) {
          // Ties leave v out: the larger value must be larger as computed.
          const bool take = high_free && (a & conflicts) == 0 && acc1[a] > acc0[a];
          out[entry0 | a] = take ? acc1[a] : acc0[a];
          word |= uint64_t{take} << (a - a0);
        }
        if (word != 0) {
          const unsigned long long b = bits + (entry0 | a0);
          choice[b >> 6] |= word << (b & 63);
          if ((b & 63) != 0 && (b & 63) + (end - a0) > 64) choice[(b >> 6) + 1] |= word >> (64 - (b & 63));
        }
      }
    }
    for (int q = plan.bucket_head[static_cast<size_t>(v)]; q >= 0; q = plan.bucket_next[static_cast<size_t>(q)])
      table[static_cast<size_t>(q)].reset();
    table[static_cast<size_t>(p)] = std::move(made);
  }
  // Backwards: every vertex of a scope goes after its table's vertex, so it
  // is decided when the bit of that vertex is read.
  std::vector<uint8_t> in_set(static_cast<size_t>(n), 0);
  for (int p = n - 1; p >= 0; p--) {
    const int* scope = plan.scopes.data() + plan.scope_begin[static_cast<size_t>(p)];
    const int k = static_cast<int>(plan.scope_begin[static_cast<size_t>(p) + 1] - plan.scope_begin[static_cast<size_t>(p)]);
    uint64_t entry = 0;
    for (int i = 0; i < k; i++) entry |= uint64_t{in_set[static_cast<size_t>(scope[i])]} << i;
    const unsigned long long b = plan.choice_at[static_cast<size_t>(p)] + entry;
    in_set[static_cast<size_t>(order[static_cast<size_t>(p)])] = (choice[b >> 6] >> (b & 63)) & 1;
  }
  result.set.clear();
  result.weight = 0;
  for (int v = 0; v < n; v++)
    if (in_set[static_cast<size_t>(v)]) {
      result.set.push_back(v);
      result.weight += g.v_weight[v];
    }
  result.status = TreeDpStatus::solved;
  return true;
}

EliminationOrder find_order(const SparseConflictGraph<uint32_t>& g, Ordering heuristic, int max_width,
                            Deadline& deadline) {
  const std::vector<int> none;
  auto sweep = [&](int limit) { return eliminate<Rule::sweep>(g, sweep_distance(g), limit, deadline); };
  switch (heuristic) {
    case Ordering::min_degree: return eliminate<Rule::min_degree>(g, none, max_width, deadline);
    case Ordering::min_fill: return eliminate<Rule::min_fill>(g, none, max_width, deadline);
    case Ordering::sweep: return sweep(max_width);
    case Ordering::best: break;
  }
  // Each next heuristic only needs to match the best width so far.
  EliminationOrder best = eliminate<Rule::min_degree>(g, none, max_width, deadline);
  auto consider = [&](EliminationOrder&& other) {
    if (other.status == OrderStatus::abandoned) {
      best = std::move(other);
    } else if (other.status == OrderStatus::ok) {
      if (best.status != OrderStatus::ok || other.width < best.width ||
          (other.width == best.width && other.entries < best.entries))
        best = std::move(other);
    } else if (best.status == OrderStatus::too_wide) {
      best.width = std::min(best.width, other.width);
    }
  };
  auto limit = [&] { return best.status == OrderStatus::ok ? best.width : max_width; };
  if (best.status != OrderStatus::abandoned) consider(sweep(limit()));
  if (best.status == OrderStatus::too_wide || (best.status == OrderStatus::ok && best.width >= kMinFillFrom))
    consider(eliminate<Rule::min_fill>(g, none, limit(), deadline));
  return best;
}

int width_limit(const TreeDpOptions& options) { return std::clamp(options.max_width, 0, kTreeDpWidthCeiling); }

TreeDpResult solve_along(const SparseConflictGraph<uint32_t>& g, const EliminationOrder& order, Deadline& deadline,
                         const TreeDpOptions& options) {
  TreeDpResult result;
  const int max_width = width_limit(options);
  result.width = order.width;
  switch (order.status) {
    case OrderStatus::ok: break;
    case OrderStatus::abandoned: return result;
    case OrderStatus::too_wide: result.status = TreeDpStatus::too_wide; return result;
    case OrderStatus::no_memory: result.status = TreeDpStatus::no_memory; return result;
  }
  const Plan plan = make_plan(g, order.order);
  if (plan.width > max_width) {  // the scopes never exceed the order's width; kept as a guard
    result.status = TreeDpStatus::too_wide;
    result.width = plan.width;
    return result;
  }
  result.bytes = plan.bytes;
  if (plan.bytes > options.max_table_bytes || plan.bytes == std::numeric_limits<unsigned long long>::max()) {
    result.status = TreeDpStatus::no_memory;
    return result;
  }
  run_plan(g, order.order, plan, deadline, result);
  return result;
}

}  // namespace

EliminationOrder elimination_order(const SparseConflictGraph<uint32_t>& g, Ordering heuristic, int max_width,
                                   Deadline& deadline) {
  try {
    return find_order(g, heuristic, max_width, deadline);
  } catch (const std::bad_alloc&) {
    EliminationOrder out;
    out.status = OrderStatus::no_memory;
    return out;
  }
}

TreeDpResult solve_tree_dp(const SparseConflictGraph<uint32_t>& g, Deadline& deadline, const TreeDpOptions& options) {
  return solve_tree_dp(g, elimination_order(g, options.ordering, width_limit(options), deadline), deadline, options);
}

TreeDpResult solve_tree_dp(const SparseConflictGraph<uint32_t>& g, const EliminationOrder& order, Deadline& deadline,
                           const TreeDpOptions& options) {
  try {
    return solve_along(g, order, deadline, options);
  } catch (const std::bad_alloc&) {
    TreeDpResult result;
    result.status = TreeDpStatus::no_memory;
    return result;
  }
}

}  // namespace mavu::exact
