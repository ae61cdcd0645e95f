#include "mavu/ils/local_search.h"

#include <cstring>

namespace mavu::ils {

namespace {
// Parameters, measured with fixed work budgets (entries walked) on a uniform
// graph of 10^6 vertices and 3*10^6 edges (3e8 work, unreduced) and on a
// Chung-Lu graph of 6,402 vertices and 251,230 edges (2e9 work, two seeds).
//
// Forced vertex: the least loss among this many random draws outside S
// (2 against 1: 46,539,851 against 46,532,448; 152,774/153,318 against
// 152,105/152,308).
constexpr int kDraws = 2;
// Acceptance of a loss d (in mean weights) at a distance ds below the best:
// with probability 1 / (1 + kAccept * d * ds), once the region has had
// kAcceptAfter iterations per vertex (earlier it ruins the large graph, where
// losses add up and are never repaired), and always in the core phases.
// Single search: 153,216/153,252 with it, 152,774/153,318 without.
constexpr double kAccept = 1;
constexpr double kAcceptAfter = 4;
// Concurrent solutions, begun after kConcurrentAfter iterations per vertex:
// 8 solutions reached 154,531/154,315 on the 6,402-vertex graph, 4 reached
// 154,416/153,506, one 153,216/153,252; the large graph is the same (it does
// not get that far within the budget).
constexpr int kSolutions = 8;
constexpr double kConcurrentAfter = 4;
// Slices of a solution's turn: half an iteration per vertex on the whole
// graph, two per core vertex in a core phase, at least kMinSlice iterations
// (so that a switch, which costs the degrees of the vertices where two
// solutions differ, stays a small share of the time).
constexpr double kSlice = 0.5;
constexpr double kCoreSlice = 2;
constexpr long kMinSlice = 1000;
}  // namespace

template <class V>
bool LocalSearch<V>::init(const Graph& g, const SearchOptions& options, const std::vector<int>* start) {
  g_ = &g;
  n_ = g.n_vertex;
  options_ = options;
  rng_.seed(options.seed);
  solutions_ = options.solutions > 0 ? options.solutions : kSolutions;
  concurrent_after_ = options.concurrent_after >= 0 ? options.concurrent_after : kConcurrentAfter;
  const size_t n = static_cast<size_t>(n_);
  words_ = (n + 63) / 64;
  try {
    node_.assign(n, Node{});
    for (size_t v = 0; v < n; v++) node_[v].w = g.v_weight[v];
    queue_.assign(n > 0 ? n : 1, 0);
    mark_.assign(n, 0);
    best_.assign(words_, 0);
    diff_.assign(n, 0);
    diff_list_.reserve(1024);
    log_.reserve(1024);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Gains of integral weights summing below 2^53 are exact; others carry
  // the rounding of the sums, and the resolution is the smallest change
  // that counts.
  bool integral = true;
  double total = 0, lightest = std::numeric_limits<double>::infinity(), heaviest = 0;
  for (int v = 0; v < n_; v++) {
    integral = integral && w(v) == std::floor(w(v));
    total += w(v);
    heaviest = std::max(heaviest, w(v));
    if (w(v) > 0) lightest = std::min(lightest, w(v));
  }
  exact_ = integral && total < 9.0e15;
  slack_ = exact_ ? 0.0 : 1e-9 * heaviest;
  resolution_ = exact_ ? 0.0 : std::max(1e-6 * (std::isfinite(lightest) ? lightest : 1.0), 1e-28 * total);
  mean_w_ = n_ > 0 && total > 0 ? total / n_ : 1;

  if (start != nullptr) {
    for (int v : *start)
      if (v >= 0 && v < n_ && node(v).tight == 0) insert(v);
  }
  // Then (or else) the vertices by decreasing weight over degree + 1 (the
  // ratio rounded to a float; ties: the lower number), each taken while
  // free; then the local search over every vertex.  Two stable counting
  // passes over 16 bits of the key sort them in O(n) (a comparison sort took
  // about a second of the start on 10^7 vertices).
  std::vector<uint64_t> order, tmp;
  std::vector<uint32_t> count;
  try {
    order.resize(n);
    tmp.resize(n);
    count.resize(1u << 16);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int v = 0; v < n_; v++) {
    const float r = static_cast<float>(w(v) / (degree(v) + 1));
    uint32_t bits;
    std::memcpy(&bits, &r, sizeof bits);  // non-negative floats order as their bit patterns
    order[static_cast<size_t>(v)] = static_cast<uint64_t>(~bits) << 32 | static_cast<uint32_t>(v);
  }
  for (int shift : {32, 48}) {
    std::fill(count.begin(), count.end(), 0u);
    for (uint64_t x : order) count[(x >> shift) & 0xFFFF]++;
    uint32_t sum = 0;
    for (uint32_t& c : count) {
      const uint32_t k = c;
      c = sum;
      sum += k;
    }
    for (uint64_t x : order) tmp[count[(x >> shift) & 0xFFFF]++] = x;
    order.swap(tmp);
  }
  tmp = {};
  count = {};
  for (uint64_t x : order) {
    const int v = static_cast<int>(static_cast<uint32_t>(x));
    if (node(v).tight == 0) insert(v);
  }
  for (uint64_t x : order) push(static_cast<int>(static_cast<uint32_t>(x)));
  local_search();
  record_best();
  return true;
}

template <class V>
void LocalSearch<V>::insert(int v) {
  Node& nv = node(v);
  nv.tight = -1;
  const double wv = nv.w;
  cur_.add(wv);
  mark_changed(v);
  flip_bit(v);
  if (logging_) log_.push_back(v);
  const V* a = adj(v);
  uint32_t ones = 0;
  for (int i = 0, d = degree(v); i < d; i++) {
    Node& nu = node_[a[i]];
    if (nu.tight == 0)
      ones++;  // 1-tight to v now
    else if (nu.tight == 1)
      node_[static_cast<size_t>(nu.sx)].one_tight--;  // no longer 1-tight to its one S-neighbour
    nu.tight++;
    nu.nbw += wv;
    nu.sx ^= v;
  }
  nv.one_tight = ones;
}

template <class V>
void LocalSearch<V>::remove(int v) {
  Node& nv = node(v);
  nv.tight = 0;
  nv.one_tight = 0;
  const double wv = nv.w;
  cur_.add(-wv);
  mark_changed(v);
  flip_bit(v);
  if (logging_) log_.push_back(v);
  const V* a = adj(v);
  for (int i = 0, d = degree(v); i < d; i++) {
    Node& nu = node_[a[i]];
    nu.sx ^= v;
    // No S-neighbour left: the kept sum is exactly 0 again (drops the
    // rounding it gathered).
    if (--nu.tight == 0) {
      nu.nbw = 0.0;
    } else {
      nu.nbw -= wv;
      if (nu.tight == 1) node_[static_cast<size_t>(nu.sx)].one_tight++;  // 1-tight to the one left
    }
  }
}

// After y left S: its neighbours outside S may be free now, may gain a
// (w,1)-swap, or may have become 1-tight (a (1,*)-swap of their one
// S-neighbour).
template <class V>
void LocalSearch<V>::push_around(int y) {
  const V* a = adj(y);
  for (int i = 0, d = degree(y); i < d; i++) {
    const int u = static_cast<int>(a[i]);
    const Node& nu = node(u);
    if (nu.tight < 0) continue;
    // Only what may gain: a free vertex, a (w,1)-swap the kept sum allows,
    // a (1,*)-swap of a member with two 1-tight neighbours.
    if (nu.tight == 0 || nu.w - nu.nbw > -slack_) push(u);
    if (nu.tight == 1 && node(nu.sx).one_tight >= 2) push(nu.sx);
  }
}

template <class V>
void LocalSearch<V>::local_search() {
  while (qcount_ > 0) {
    const int v = pop();
    work_++;
    if (in(v))
      try_one_star(v);
    else
      try_omega(v);
  }
}

// v's S-neighbours into out and their weight into s; false when one of them
// is forced.
template <class V>
bool LocalSearch<V>::leavers(int v, std::vector<int>& out, double& s) {
  out.clear();
  const V* a = adj(v);
  for (int i = 0, d = degree(v); i < d; i++) {
    const int u = static_cast<int>(a[i]);
    if (!in(u)) continue;
    if (forced(u)) return false;
    s += w(u);
    out.push_back(u);
  }
  return true;
}

template <class V>
bool LocalSearch<V>::try_omega(int v) {
  Node& nv = node(v);
  if (nv.tight == 0) {
    insert(v);
    push(v);
    return true;
  }
  // The kept sum filters; exact weights make it exact, others allow for its
  // rounding.
  if (nv.w - nv.nbw <= -slack_) return false;
  // Summed afresh; no forced vertex may leave.
  double s = 0;
  if (!leavers(v, scratch_, s)) return false;
  nv.nbw = s;
  if (nv.w - s <= tolerance(nv.w + s)) return false;
  for (int y : scratch_) remove(y);
  insert(v);
  push(v);
  for (int y : scratch_) push_around(y);
  return true;
}

template <class V>
bool LocalSearch<V>::try_one_star(int x) {
  if (node(x).one_tight < 2 || forced(x)) return false;
  std::vector<int>& l = scratch_;
  l.clear();
  const V* a = adj(x);
  for (int i = 0, d = degree(x); i < d; i++) {
    const int u = static_cast<int>(a[i]);
    if (node(u).tight == 1) l.push_back(u);  // outside S, x its only S-neighbour
  }
  if (l.size() < 2) return false;
  auto heavier = [&](int p, int q) { return w(p) > w(q) || (w(p) == w(q) && p < q); };
  const size_t k = std::min(l.size(), static_cast<size_t>(options_.max_one_tight));
  if (k < l.size())
    std::partial_sort(l.begin(), l.begin() + static_cast<long>(k), l.end(), heavier);
  else
    std::sort(l.begin(), l.end(), heavier);
  l.resize(k);
  // The heaviest non-adjacent pair: for each first member in weight order,
  // its partner is the first later one it is not adjacent to.
  double pair = -std::numeric_limits<double>::infinity();
  int bu = -1, bv = -1;
  for (size_t i = 0; i + 1 < k; i++) {
    const int u = l[i];
    if (w(u) + w(l[i + 1]) <= pair) break;
    const uint32_t st = ++mark_stamp_;
    const V* au = adj(u);
    for (int j = 0, d = degree(u); j < d; j++) mark_[au[j]] = st;
    for (size_t j = i + 1; j < k; j++) {
      const int v = l[j];
      if (w(u) + w(v) <= pair) break;
      if (mark_[static_cast<size_t>(v)] != st) {
        pair = w(u) + w(v);
        bu = u;
        bv = v;
        break;
      }
    }
  }
  if (bu < 0) return false;
  // Extended greedily by the other 1-tight neighbours, heaviest first.
  const uint32_t st = ++mark_stamp_;
  chosen_.clear();
  double total = 0;
  auto choose = [&](int z) {
    chosen_.push_back(z);
    total += w(z);
    mark_[static_cast<size_t>(z)] = st;
    const V* az = adj(z);
    for (int j = 0, d = degree(z); j < d; j++) mark_[az[j]] = st;
  };
  choose(bu);
  choose(bv);
  for (int z : l)
    if (mark_[static_cast<size_t>(z)] != st) choose(z);
  if (total - w(x) <= tolerance(total + w(x))) return false;
  remove(x);
  for (int z : chosen_) insert(z);
  for (int z : chosen_) push(z);
  push_around(x);
  return true;
}

// Forces v in (its S-neighbours out) unless one of them may not leave.
template <class V>
void LocalSearch<V>::force(int v) {
  std::vector<int>& out = chosen_;
  double s = 0;
  if (!leavers(v, out, s)) return;
  node(v).forced = stamp_;
  for (int y : out) remove(y);
  insert(v);
  for (int y : out) push_around(y);
}

template <class V>
int LocalSearch<V>::draw_vertex() {
  const bool core = concurrent_ && phase_ == 1;
  const uint32_t range = core ? static_cast<uint32_t>(core_list_.size()) : static_cast<uint32_t>(n_);
  int pick = -1;
  double pick_gain = 0;
  for (int tries = 0, good = 0; tries < 64 && good < kDraws; tries++) {
    const uint32_t r = rng_.below(range);
    const int v = core ? core_list_[r] : static_cast<int>(r);
    work_++;  // a draw reads a vertex anywhere in the graph, like a list entry
    const Node& nv = node(v);
    if (nv.tight < 0) continue;
    good++;
    // the least loss of forcing it in among the draws
    const double gain = nv.w - nv.nbw;
    if (pick < 0 || gain > pick_gain) {
      pick = v;
      pick_gain = gain;
    }
  }
  return pick;
}

template <class V>
void LocalSearch<V>::perturb() {
  const int v = draw_vertex();
  if (v < 0) return;
  force(v);
}

template <class V>
void LocalSearch<V>::new_stamp() {
  if (++stamp_ == kFixed) {
    for (Node& x : node_)
      if (x.forced != kFixed) x.forced = 0;
    stamp_ = 1;
  }
}

template <class V>
void LocalSearch<V>::undo() {
  for (size_t i = log_.size(); i-- > 0;) {
    const int v = log_[i];
    if (in(v))
      remove(v);
    else
      insert(v);
  }
  log_.clear();
}

template <class V>
void LocalSearch<V>::iterate() {
  iter_++;
  region_iter_++;
  const WeightSum before = cur_;
  log_.clear();
  logging_ = true;
  new_stamp();
  perturb();
  local_search();
  logging_ = false;
  const double delta = minus(cur_, before);
  if (minus(cur_, best_w_) > resolution_) record_best();
  WeightSum& own_best = concurrent_ ? sol_best_[static_cast<size_t>(active_)] : best_w_;
  if (concurrent_ && minus(cur_, own_best) > resolution_) own_best = cur_;
  bool keep = delta >= -resolution_;
  if (!keep && ((concurrent_ && phase_ == 1) ||
                static_cast<double>(region_iter_) >= kAcceptAfter * static_cast<double>(n_))) {
    const double d = -delta / mean_w_, ds = minus(own_best, cur_) / mean_w_;
    keep = rng_.unit() * (1 + kAccept * d * ds) < 1;
  }
  if (!keep) undo();
}

template <class V>
void LocalSearch<V>::record_best() {
  for (int v : diff_list_) {
    const uint64_t bit = 1ull << (v & 63);
    uint64_t& word = best_[static_cast<size_t>(v) >> 6];
    word = in(v) ? word | bit : word & ~bit;
    diff_[static_cast<size_t>(v)] = 0;
  }
  diff_list_.clear();
  best_w_ = cur_;
  best_iter_ = iter_;
}

// The best set becomes solution s (not the active one): the changed-since
// list becomes the vertices where the active set differs from it.
template <class V>
void LocalSearch<V>::record_best_from_slot(int s) {
  for (int v : diff_list_) diff_[static_cast<size_t>(v)] = 0;
  diff_list_.clear();
  const uint64_t* b = &bits_[static_cast<size_t>(s) * words_];
  const uint64_t* a = &bits_[static_cast<size_t>(active_) * words_];
  for (size_t i = 0; i < words_; i++) {
    best_[i] = b[i];
    for (uint64_t x = a[i] ^ b[i]; x != 0; x &= x - 1) {
      const int v = static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x)));
      diff_[static_cast<size_t>(v)] = 1;
      diff_list_.push_back(v);
    }
  }
  best_w_ = sol_w_[static_cast<size_t>(s)];
  best_iter_ = iter_;
}

template <class V>
bool LocalSearch<V>::start_concurrent() {
  const size_t n = static_cast<size_t>(n_);
  try {
    bits_.assign(static_cast<size_t>(solutions_) * words_, 0);
    sol_w_.assign(static_cast<size_t>(solutions_), cur_);
    sol_best_.assign(static_cast<size_t>(solutions_), cur_);
    core_id_.assign(n, 0);
    core_list_.reserve(1024);
  } catch (const std::bad_alloc&) {
    bits_ = {};
    sol_w_ = {};
    sol_best_ = {};
    core_id_ = {};
    solutions_ = 1;
    return false;
  }
  for (int v = 0; v < n_; v++)
    if (in(v)) bits_[static_cast<size_t>(v) >> 6] |= 1ull << (v & 63);
  for (int s = 1; s < solutions_; s++)
    std::copy(bits_.begin(), bits_.begin() + static_cast<long>(words_), bits_.begin() + static_cast<long>(static_cast<size_t>(s) * words_));
  active_ = 0;
  track_ = true;
  concurrent_ = true;
  return true;
}

template <class V>
void LocalSearch<V>::switch_to(int s) {
  if (s == active_) return;
  sol_w_[static_cast<size_t>(active_)] = cur_;
  track_ = false;
  const uint64_t* a = &bits_[static_cast<size_t>(active_) * words_];
  const uint64_t* b = &bits_[static_cast<size_t>(s) * words_];
  for (size_t i = 0; i < words_; i++)
    for (uint64_t x = a[i] & ~b[i]; x != 0; x &= x - 1) remove(static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x))));
  for (size_t i = 0; i < words_; i++)
    for (uint64_t x = b[i] & ~a[i]; x != 0; x &= x - 1) insert(static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x))));
  track_ = true;
  active_ = s;
  cur_ = sol_w_[static_cast<size_t>(s)];
}

// The core: C, the vertices of every solution, is fixed; the core is every
// vertex outside C and outside C's neighbourhood, listed component by
// component.
template <class V>
void LocalSearch<V>::build_core() {
  core_list_.clear();
  const size_t P = static_cast<size_t>(solutions_);
  for (size_t i = 0; i < words_; i++) {
    uint64_t inter = ~0ull;
    for (size_t s = 0; s < P; s++) inter &= bits_[s * words_ + i];
    for (uint64_t x = inter; x != 0; x &= x - 1) node(static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x)))).forced = kFixed;
  }
  for (size_t i = 0; i < words_; i++) {
    uint64_t inter = ~0ull, uni = 0;
    for (size_t s = 0; s < P; s++) {
      inter &= bits_[s * words_ + i];
      uni |= bits_[s * words_ + i];
    }
    // In some solutions but not all: never next to C (they share a solution
    // with it).
    for (uint64_t x = uni & ~inter; x != 0; x &= x - 1) {
      const int v = static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x)));
      core_id_[static_cast<size_t>(v)] = -1;
      core_list_.push_back(v);
    }
    // In none: in the core when no neighbour is in C.
    uint64_t none = ~uni;
    if (i + 1 == words_ && (n_ & 63) != 0) none &= (1ull << (n_ & 63)) - 1;
    for (uint64_t x = none; x != 0; x &= x - 1) {
      const int v = static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x)));
      const V* a = g_->v_adj[static_cast<size_t>(v)];
      int j = 0;
      const int d = degree(v);
      while (j < d && node(static_cast<int>(a[j])).forced != kFixed) j++;
      work_ += j + 1;
      if (j == d) {
        core_id_[static_cast<size_t>(v)] = -1;
        core_list_.push_back(v);
      }
    }
  }
  // Components, by breadth-first search; the queue's storage (empty between
  // iterations) holds the order.
  int comp = 0;
  size_t len = 0;
  for (int v : core_list_) {
    if (core_id_[static_cast<size_t>(v)] != -1) continue;
    comp++;
    core_id_[static_cast<size_t>(v)] = comp;
    size_t head = len;
    queue_[len++] = v;
    while (head < len) {
      const int x = queue_[head++];
      const V* a = adj(x);
      for (int j = 0, d = degree(x); j < d; j++) {
        const int u = static_cast<int>(a[j]);
        if (core_id_[static_cast<size_t>(u)] == -1) {
          core_id_[static_cast<size_t>(u)] = comp;
          queue_[len++] = u;
        }
      }
    }
  }
  std::copy(queue_.begin(), queue_.begin() + static_cast<long>(len), core_list_.begin());
}

template <class V>
void LocalSearch<V>::release_core() {
  for (int v : core_list_) core_id_[static_cast<size_t>(v)] = 0;
  core_list_.clear();
  const size_t P = static_cast<size_t>(solutions_);
  for (size_t i = 0; i < words_; i++) {
    uint64_t inter = ~0ull;
    for (size_t s = 0; s < P; s++) inter &= bits_[s * words_ + i];
    for (uint64_t x = inter; x != 0; x &= x - 1) {
      Node& nv = node(static_cast<int>(i * 64 + static_cast<size_t>(__builtin_ctzll(x))));
      if (nv.forced == kFixed) nv.forced = 0;
    }
  }
}

// Every solution is C plus its restriction to the core, and no edge joins
// two core components: the heaviest restriction of each component, from any
// solution, replaces the worst inactive solution's.
template <class V>
void LocalSearch<V>::merge() {
  if (core_list_.empty()) return;
  const size_t P = static_cast<size_t>(solutions_);
  int t = -1;
  for (int s = 0; s < solutions_; s++)
    if (s != active_ && (t < 0 || minus(sol_w_[static_cast<size_t>(s)], sol_w_[static_cast<size_t>(t)]) < 0)) t = s;
  if (t < 0) return;
  const size_t tt = static_cast<size_t>(t);
  double sums[64];
  // Calls f(first, last, b, sums) for every component [first, last) of the
  // core list whose heaviest restriction is solution b's (t's on ties).
  auto each_component = [&](auto&& f) {
    for (size_t i = 0; i < core_list_.size();) {
      const int comp = core_id_[static_cast<size_t>(core_list_[i])];
      size_t j = i;
      std::fill(sums, sums + P, 0.0);
      for (; j < core_list_.size() && core_id_[static_cast<size_t>(core_list_[j])] == comp; j++) {
        const int v = core_list_[j];
        for (size_t s = 0; s < P; s++)
          if (slot_has(static_cast<int>(s), v)) sums[s] += w(v);
      }
      size_t b = tt;
      for (size_t s = 0; s < P; s++)
        if (sums[s] - sums[b] > tolerance(sums[s] + sums[b]) + resolution_) b = s;
      f(i, j, b);
      i = j;
    }
  };
  WeightSum gain;
  each_component([&](size_t, size_t, size_t b) {
    if (b == tt) return;
    gain.add(sums[b]);
    gain.add(-sums[tt]);
  });
  if (gain.value() <= resolution_) return;
  WeightSum merged = sol_w_[tt];
  merged.add(gain.hi);
  merged.add(gain.lo);
  uint64_t* dst = &bits_[tt * words_];
  each_component([&](size_t first, size_t last, size_t b) {
    if (b == tt) return;
    for (size_t k = first; k < last; k++) {
      const int v = core_list_[k];
      const uint64_t bit = 1ull << (v & 63);
      uint64_t& word = dst[static_cast<size_t>(v) >> 6];
      word = slot_has(static_cast<int>(b), v) ? word | bit : word & ~bit;
    }
  });
  sol_w_[tt] = merged;
  if (minus(merged, sol_best_[tt]) > 0) sol_best_[tt] = merged;
  if (minus(merged, best_w_) > resolution_) record_best_from_slot(t);
}

template <class V>
void LocalSearch<V>::next_slice() {
  const double n = static_cast<double>(n_);
  if (!concurrent_) {
    if (solutions_ > 1 && static_cast<double>(iter_) >= concurrent_after_ * n && solutions_ <= 64 && start_concurrent()) {
      phase_ = 0;
      pos_ = 0;
      slice_left_ = std::max(kMinSlice, static_cast<long>(kSlice * n));
      region_iter_ = static_cast<long>(concurrent_after_ * n);
      return;
    }
    slice_left_ = solutions_ > 1 ? std::max(1L, static_cast<long>(concurrent_after_ * n) - iter_) : 1L << 40;
    return;
  }
  auto slice = [&] {
    return std::max(kMinSlice, static_cast<long>(phase_ == 0 ? kSlice * n : kCoreSlice * static_cast<double>(core_list_.size())));
  };
  const int P = solutions_;
  // Rounds visit the solutions forwards and backwards in turn, so that a
  // round begins with the solution the last one ended with.
  auto slot = [&](int p) { return rounds_ % 2 == 0 ? p : P - 1 - p; };
  if (++pos_ < P) {
    switch_to(slot(pos_));
    slice_left_ = slice();
    return;
  }
  rounds_++;
  pos_ = 0;
  if (phase_ == 0) {
    build_core();
    merge();
    if (!core_list_.empty()) {
      phase_ = 1;
      core_phases_++;
      switch_to(slot(0));
      region_iter_ = 0;
      slice_left_ = slice();
      return;
    }
    release_core();
  } else {
    merge();
    release_core();
  }
  phase_ = 0;
  switch_to(slot(0));
  slice_left_ = slice();
}

template <class V>
long LocalSearch<V>::run(Deadline& deadline, long max_iterations, long long max_work) {
  if (n_ == 0) return 0;
  const long start = iter_;
  int poll = 0;
  while (iter_ < max_iterations && work_ < max_work) {
    if ((++poll & 15) == 0 && deadline.expired()) break;
    if (slice_left_ <= 0) {
      next_slice();
      if (deadline.expired()) break;
    }
    iterate();
    slice_left_--;
  }
  return iter_ - start;
}

template <class V>
std::vector<int> LocalSearch<V>::best_set() const {
  std::vector<int> out;
  for (int v = 0; v < n_; v++)
    if (in_best(v)) out.push_back(v);
  return out;
}

template <class V>
bool LocalSearch<V>::check(std::string* why) const {
  auto fail = [&](const std::string& m) {
    if (why) *why = m;
    return false;
  };
  if (qcount_ != 0) return fail("queue not empty");
  WeightSum cur, best;
  const bool core = concurrent_ && phase_ == 1;
  for (int v = 0; v < n_; v++) {
    const Node& nv = node(v);
    const V* a = g_->v_adj[static_cast<size_t>(v)];
    int tight = 0, sx = 0, ones = 0;
    double nbw = 0;
    bool best_nb = false;
    for (int i = 0; i < degree(v); i++) {
      const int u = static_cast<int>(a[i]);
      if (in(u)) {
        tight++;
        sx ^= u;
        nbw += w(u);
      } else {
        int tu = 0;
        const V* au = g_->v_adj[static_cast<size_t>(u)];
        for (int j = 0; j < degree(u) && tu < 2; j++) tu += in(static_cast<int>(au[j]));
        ones += tu == 1;
      }
      best_nb = best_nb || in_best(u);
    }
    const std::string at = " at vertex " + std::to_string(v);
    if (nv.queued) return fail("queued flag" + at);
    if (nv.tight < -1) return fail("tightness below -1" + at);
    if (in(v)) {
      if (tight != 0) return fail("S not independent" + at);
      if (static_cast<int>(nv.one_tight) != ones) return fail("1-tight count" + at);
      cur.add(nv.w);
    } else {
      if (nv.tight != tight) return fail("tightness" + at);
      if (nv.sx != sx) return fail("xor" + at);
      if (std::abs(nv.nbw - nbw) > slack_)
        return fail("neighbour weight" + at + ": kept " + std::to_string(nv.nbw) + ", sum " + std::to_string(nbw));
      if (tight == 0) return fail("S not maximal" + at);
    }
    if (in_best(v)) {
      if (best_nb) return fail("best set not independent" + at);
      best.add(nv.w);
    }
    if (!diff_[static_cast<size_t>(v)] && in(v) != in_best(v)) return fail("changed-since-best list" + at);
    if (nv.forced == kFixed) {
      // Fixed: only in a core phase, and in every solution.
      if (!core) return fail("fixed outside a core phase" + at);
      for (int s = 0; s < solutions_; s++)
        if (!slot_has(s, v)) return fail("fixed but not in solution " + std::to_string(s) + at);
    }
    if (concurrent_) {
      if (slot_has(active_, v) != in(v)) return fail("active bit set" + at);
      const int id = core_id_[static_cast<size_t>(v)];
      if (id < 0 || (id > 0 && !core)) return fail("core id" + at);
      if (id > 0) {
        // A core vertex is neither fixed nor next to a fixed one, and its
        // neighbours in the core are of its component.
        if (nv.forced == kFixed) return fail("fixed core vertex" + at);
        for (int i = 0; i < degree(v); i++) {
          const int u = static_cast<int>(a[i]);
          if (node(u).forced == kFixed) return fail("core vertex next to a fixed one" + at);
          if (core_id_[static_cast<size_t>(u)] != 0 && core_id_[static_cast<size_t>(u)] != id) return fail("core component" + at);
        }
      }
    }
  }
  const double tol = 1e-9 * std::abs(best.value()) + resolution_ * 4;
  if (std::abs(cur.value() - weight()) > tol) return fail("current weight");
  if (std::abs(best.value() - best_weight()) > tol) return fail("best weight");
  if (weight() > best_weight() + tol) return fail("current above best");
  if (concurrent_) {
    for (int s = 0; s < solutions_; s++) {
      if (s == active_) continue;
      WeightSum ws;
      for (int v = 0; v < n_; v++) {
        if (!slot_has(s, v)) continue;
        ws.add(w(v));
        const V* a = g_->v_adj[static_cast<size_t>(v)];
        for (int i = 0; i < degree(v); i++)
          if (slot_has(s, static_cast<int>(a[i]))) return fail("solution " + std::to_string(s) + " not independent");
      }
      if (std::abs(ws.value() - sol_w_[static_cast<size_t>(s)].value()) > tol)
        return fail("solution " + std::to_string(s) + " weight");
      if (ws.value() > best_weight() + tol) return fail("solution above best");
    }
  }
  return true;
}

template class LocalSearch<uint16_t>;
template class LocalSearch<uint32_t>;

}  // namespace mavu::ils
