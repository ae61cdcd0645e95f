#include "mavu/ils/local_search.h"

#include <cstdlib>
#include <numeric>

namespace mavu::ils {

namespace {
double knob(const char* name, double def) {
  const char* v = std::getenv(name);
  return v ? std::atof(v) : def;
}
const double kAccept = knob("MAVU_ILS_ACCEPT", 0);
const double kK2 = knob("MAVU_ILS_K2", 0);
const int kPick = static_cast<int>(knob("MAVU_ILS_PICK", 0));
const int kPickTries = static_cast<int>(knob("MAVU_ILS_PICKTRIES", 4));
const double kDeep = knob("MAVU_ILS_DEEP", 0);
const int kDepth = static_cast<int>(knob("MAVU_ILS_DEPTH", 4));
const double kArw = knob("MAVU_ILS_ARW", 0);
const double kRestore = knob("MAVU_ILS_RESTORE", 0);
const double kArwAfter = knob("MAVU_ILS_ARWAFTER", 0);
}  // namespace

template <class V>
bool LocalSearch<V>::init(const Graph& g, const SearchOptions& options) {
  g_ = &g;
  n_ = g.n_vertex;
  options_ = options;
  rng_.seed(options.seed);
  const size_t n = static_cast<size_t>(n_);
  try {
    node_.assign(n, Node{});
    for (size_t v = 0; v < n; v++) node_[v].w = g.v_weight[v];
    queue_.assign(n > 0 ? n : 1, 0);
    mark_.assign(n, 0);
    best_.assign(n, 0);
    diff_.assign(n, 0);
    diff_list_.reserve(1024);
    log_.reserve(1024);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Gains of integral weights summing below 2^53 are exact; others carry
  // the rounding of the kept sums, and a gain within it is no improvement.
  bool integral = true;
  double total = 0, heaviest = 0;
  for (int v = 0; v < n_; v++) {
    integral = integral && w(v) == std::floor(w(v));
    total += w(v);
    heaviest = std::max(heaviest, w(v));
  }
  eps_ = integral && total < 9.0e15 ? 0.0 : 1e-9 * heaviest;
  mean_w_ = n_ > 0 && total > 0 ? total / n_ : 1;

  // A first set: the vertices by decreasing weight over degree + 1 (ties:
  // the lower number), each taken while free; then the local search over
  // every vertex.
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return w(a) * (degree(b) + 1) > w(b) * (degree(a) + 1);
  });
  for (int v : order)
    if (node_[static_cast<size_t>(v)].tight == 0 && !node_[static_cast<size_t>(v)].in) insert(v);
  for (int v : order) push(v);
  local_search();
  record_best();
  return true;
}

template <class V>
void LocalSearch<V>::insert(int v) {
  Node& nv = node_[static_cast<size_t>(v)];
  nv.in = 1;
  const double wv = nv.w;
  cur_w_ += wv;
  mark_changed(v);
  if (logging_) log_.push_back(v);
  const V* a = adj(v);
  for (int i = 0, d = degree(v); i < d; i++) {
    Node& nu = node_[a[i]];
    nu.tight++;
    nu.nbw += wv;
    nu.sx ^= v;
  }
}

template <class V>
void LocalSearch<V>::remove(int v) {
  Node& nv = node_[static_cast<size_t>(v)];
  nv.in = 0;
  const double wv = nv.w;
  cur_w_ -= wv;
  mark_changed(v);
  if (logging_) log_.push_back(v);
  const V* a = adj(v);
  for (int i = 0, d = degree(v); i < d; i++) {
    Node& nu = node_[a[i]];
    nu.tight--;
    nu.nbw -= wv;
    nu.sx ^= v;
  }
}

template <class V>
void LocalSearch<V>::local_search() {
  while (qcount_ > 0) {
    const int v = pop();
    work_++;
    if (node_[static_cast<size_t>(v)].in)
      try_one_star(v);
    else
      try_omega(v);
  }
}

// After vertices left S: their neighbours outside S may be free now, may
// gain a (w,1)-swap, or may have become 1-tight (a (1,*)-swap of their one
// S-neighbour).
#define MAVU_ILS_PUSH_AROUND(y)                                   \
  do {                                                            \
    const V* a_ = adj(y);                                         \
    for (int i_ = 0, d_ = degree(y); i_ < d_; i_++) {             \
      const int u_ = static_cast<int>(a_[i_]);                    \
      if (node_[static_cast<size_t>(u_)].in) continue;                 \
      push(u_);                                                   \
      if (node_[static_cast<size_t>(u_)].tight == 1) push(node_[static_cast<size_t>(u_)].sx); \
    }                                                             \
  } while (0)

template <class V>
bool LocalSearch<V>::try_omega(int v) {
  Node& nv = node_[static_cast<size_t>(v)];
  if (nv.tight == 0) {
    insert(v);
    push(v);
    return true;
  }
  if (nv.w - nv.nbw <= eps_) return false;
  // The kept sum says it gains: sum afresh, and no forced vertex may leave.
  double s = 0;
  scratch_.clear();
  const V* a = adj(v);
  for (int i = 0, d = degree(v); i < d; i++) {
    const int u = static_cast<int>(a[i]);
    if (!node_[static_cast<size_t>(u)].in) continue;
    if (forced(u)) return false;
    s += w(u);
    scratch_.push_back(u);
  }
  nv.nbw = s;
  if (nv.w - s <= eps_) return false;
  for (int y : scratch_) remove(y);
  insert(v);
  push(v);
  for (int y : scratch_) MAVU_ILS_PUSH_AROUND(y);
  return true;
}

template <class V>
bool LocalSearch<V>::try_one_star(int x) {
  if (forced(x)) return false;
  std::vector<int>& l = scratch_;
  l.clear();
  const V* a = adj(x);
  for (int i = 0, d = degree(x); i < d; i++) {
    const int u = static_cast<int>(a[i]);
    if (node_[static_cast<size_t>(u)].tight == 1) l.push_back(u);  // outside S, x its only S-neighbour
  }
  if (l.size() < 2) return false;
  auto heavier = [&](int p, int q) { return w(p) > w(q) || (w(p) == w(q) && p < q); };
  const size_t k = std::min(l.size(), static_cast<size_t>(options_.max_one_tight));
  if (k < l.size()) std::partial_sort(l.begin(), l.begin() + static_cast<long>(k), l.end(), heavier);
  else std::sort(l.begin(), l.end(), heavier);
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
  if (total - w(x) <= eps_) return false;
  remove(x);
  for (int z : chosen_) insert(z);
  for (int z : chosen_) push(z);
  MAVU_ILS_PUSH_AROUND(x);
  return true;
}

template <class V>
void LocalSearch<V>::force(int v) {
  node_[static_cast<size_t>(v)].forced = stamp_;
  std::vector<int>& out = chosen_;
  out.clear();
  const V* a = adj(v);
  for (int i = 0, d = degree(v); i < d; i++) {
    const int u = static_cast<int>(a[i]);
    if (node_[static_cast<size_t>(u)].in) out.push_back(u);
  }
  for (int y : out) remove(y);
  insert(v);
  for (int y : out) MAVU_ILS_PUSH_AROUND(y);
}

template <class V>
void LocalSearch<V>::perturb() {
  if (++stamp_ == 0) {
    for (Node& x : node_) x.forced = 0;
    stamp_ = 1;
  }
  int pick = -1;
  for (int tries = 0, good = 0; tries < 64; tries++) {
    const int v = static_cast<int>(rng_.below(static_cast<uint32_t>(n_)));
    const Node& nv = node_[static_cast<size_t>(v)];
    if (nv.in) continue;
    if (kPick == 0) { pick = v; break; }
    // the least loss of forcing it in among a few draws
    if (pick < 0 || nv.w - nv.nbw > node_[static_cast<size_t>(pick)].w - node_[static_cast<size_t>(pick)].nbw) pick = v;
    if (++good >= kPickTries) break;
  }
  if (pick < 0) return;
  force(pick);
  if (kK2 > 0 && rng_.unit() < kK2) {
    // a second vertex two steps away: a neighbour of one of pick's removed neighbours
    const V* a = adj(pick);
    const int d = degree(pick);
    if (d > 0) {
      const int y = static_cast<int>(a[rng_.below(static_cast<uint32_t>(d))]);
      const int dy = degree(y);
      if (dy > 0) {
        const int z = static_cast<int>(adj(y)[rng_.below(static_cast<uint32_t>(dy))]);
        if (!node_[static_cast<size_t>(z)].in && z != pick) force(z);
      }
    }
  }
}

template <class V>
void LocalSearch<V>::undo() {
  for (size_t i = log_.size(); i-- > 0;) {
    const int v = log_[i];
    if (node_[static_cast<size_t>(v)].in)
      remove(v);
    else
      insert(v);
  }
  log_.clear();
}

template <class V>
void LocalSearch<V>::restore_best() {
  // S becomes the best set: first out what the best lacks, then in what it has.
  for (int v : diff_list_)
    if (node_[static_cast<size_t>(v)].in && !best_[static_cast<size_t>(v)]) remove(v);
  for (int v : diff_list_)
    if (!node_[static_cast<size_t>(v)].in && best_[static_cast<size_t>(v)]) insert(v);
  for (int v : diff_list_) diff_[static_cast<size_t>(v)] = 0;
  diff_list_.clear();
  cur_w_ = best_w_;
}

template <class V>
void LocalSearch<V>::record_best() {
  for (int v : diff_list_) {
    best_[static_cast<size_t>(v)] = node_[static_cast<size_t>(v)].in;
    diff_[static_cast<size_t>(v)] = 0;
  }
  diff_list_.clear();
  best_w_ = cur_w_;
  best_iter_ = iter_;
}

template <class V>
long LocalSearch<V>::run(Deadline& deadline, long max_iterations, long long max_work) {
  if (n_ == 0) return 0;
  const long start = iter_;
  while (iter_ < max_iterations && work_ < max_work) {
    if ((iter_ & 15) == 0 && deadline.expired()) break;
    iter_++;
    const double before = cur_w_;
    log_.clear();
    logging_ = true;
    perturb();
    local_search();
    if (kDeep > 0 && cur_w_ < before - eps_ && rng_.unit() < kDeep) {
      // Deeper: more kicks near the changes just made, each followed by the
      // local search, until the set weighs at least what it did.
      for (int k = 1; k < kDepth && cur_w_ < before - eps_; k++) {
        if (++stamp_ == 0) stamp_ = 1;
        const int y = log_[rng_.below(static_cast<uint32_t>(log_.size()))];
        const int dy = degree(y);
        if (dy == 0) continue;
        const int z = static_cast<int>(adj(y)[rng_.below(static_cast<uint32_t>(dy))]);
        if (node_[static_cast<size_t>(z)].in) continue;
        force(z);
        local_search();
      }
    }
    logging_ = false;
    if (cur_w_ > best_w_ + eps_) record_best();
    bool keep = cur_w_ >= before - eps_ || (kAccept > 0 && rng_.unit() < kAccept);
    if (!keep && kArw > 0 && iter_ > kArwAfter * n_) {
      const double d = (before - cur_w_) / mean_w_, ds = (best_w_ - cur_w_) / mean_w_;
      keep = rng_.unit() * (1 + kArw * d * ds) < 1;
    }
    if (!keep) undo();
    if (kRestore > 0 && cur_w_ < best_w_ - eps_ && iter_ - best_iter_ > kRestore * n_ && iter_ - last_restore_ > kRestore * n_) {
      restore_best();
      last_restore_ = iter_;
    }
  }
  return iter_ - start;
}

template <class V>
std::vector<int> LocalSearch<V>::best_set() const {
  std::vector<int> out;
  for (int v = 0; v < n_; v++)
    if (best_[static_cast<size_t>(v)]) out.push_back(v);
  return out;
}

template class LocalSearch<uint16_t>;
template class LocalSearch<uint32_t>;

}  // namespace mavu::ils
