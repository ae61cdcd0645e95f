#include "mavu/reduce/clique.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "graph/degeneracy.h"
#include "graph/heap_array.h"
#include "readers/graph_builder.h"

namespace mavu::reduce {

namespace {

// The state of the peeling on the input graph g (g's lists are the input
// edges).  Invariant: every clique of the input heavier than both best_ and
// known_ lies
// inside the alive vertices.  Each rule removes a vertex only with a bound
// on the weight of every clique containing it that does not exceed best_,
// so the invariant holds after every removal, and removals in a batch (all
// judged on the same alive set) keep it too: a removed vertex was in no
// heavier clique of that set, and a heavier clique has all its vertices in
// it.
template <class V>
class CliquePeeler {
 public:
  // Rule 3 runs while the sum over the alive edges of the smaller alive
  // degree is at most this many times the input's size.  Measured: at 16
  // it also runs on email-Enron's 1422 vertices left (kernel 1021, but the
  // reduction takes 0.25 s instead of 0.04 s); at 8 it still empties the
  // road and social graphs of the sample.
  static constexpr long long kEdgeRuleBudget = 8;

  using Graph = SparseConflictGraph<V>;

  CliquePeeler(const Graph& g, clockid_t clock, Deadline* deadline)
      : g_(g), n_(g.n_vertex), clock_(clock), deadline_(deadline) {}

  // Whether the deadline has stopped the peeling (no clock read).
  bool was_cut() const { return cut_; }
  // True once the deadline has expired: polled every few thousand list
  // entries walked; the peeling then stops where it is.
  bool cut() {
    if (cut_ || deadline_ == nullptr) return cut_;
    if (++polls_ < 64) return false;
    polls_ = 0;
    return cut_ = deadline_->expired();
  }

  bool init() {
    const size_t n = static_cast<size_t>(n_);
    if (!alive_.alloc(n, false) || !bound_.alloc(n, false) || !stamp_.alloc(n, true) || !local_.alloc(n, false))
      return false;
    bool integral = true;
    double total = 0;
    for (int v = 0; v < n_; v++) {
      const double w = g_.v_weight[static_cast<size_t>(v)];
      integral = integral && w == std::floor(w);
      total += w;
    }
    // Sums of integral weights below 2^53 are exact, so the bounds updated by
    // subtraction are exact; other weights keep a margin for the rounding of
    // the sums, so that no vertex is removed on a bound rounded down.
    margin_ = integral && total < 9.0e15 ? 0.0 : 1e-9 * total;
    for (int v = 0; v < n_; v++) {
      alive_[static_cast<size_t>(v)] = 1;
      double b = g_.v_weight[static_cast<size_t>(v)];
      for (int k = 0; k < degree(v); k++) b += weight(g_.v_adj[v][k]);
      bound_[static_cast<size_t>(v)] = b;
    }
    alive_list_.reserve(n);
    for (int v = 0; v < n_; v++) alive_list_.push_back(v);
    return true;
  }

  // Greedy cliques, then peeling to the fixpoint; again while the greedy
  // construction on what is left finds a heavier clique.
  int reduce(double known_weight, bool construct) {
    int rounds = 0;
    // List entries the greedy construction may walk per call: measured on
    // the sample and a power-law graph of 10^7 edges, four times the input
    // finds the same first cliques as eight times, in less time; once finds
    // lighter ones on two graphs of the sample.
    const long long budget = 4 * (2 * g_.n_edge + 2LL * n_);
    known_ = known_weight;
    if (construct) greedy(alive_list_, budget);
    for (;;) {
      rounds++;
      peel();
      if (cut_) break;
      const double before = best_;
      if (construct) greedy(alive_list_, budget);
      if (best_ == before) break;
    }
    return rounds;
  }

  // Peels to the fixpoint with `w` as the weight to beat; true when nothing is left.
  bool empties_at(double w) {
    known_ = std::max(known_, w);
    peel();
    return alive_list_.empty();
  }

  const std::vector<int>& alive() const { return alive_list_; }
  const std::vector<int>& best_set() const { return best_set_; }
  double best() const { return best_; }
  long best_ticks() const { return best_ticks_; }

 private:
  int degree(int v) const { return g_.v_edge_count[static_cast<size_t>(v)]; }
  double weight(int v) const { return g_.v_weight[static_cast<size_t>(v)]; }
  bool removable(double bound) const { return bound + margin_ <= std::max(best_, known_); }

  // Removes v (alive) and every vertex whose neighbourhood bound drops to
  // best_ as a consequence.
  void remove_cascade(int v) {
    alive_[static_cast<size_t>(v)] = 0;
    stack_.push_back(v);
    while (!stack_.empty()) {
      const int x = stack_.back();
      stack_.pop_back();
      const double wx = weight(x);
      for (int k = 0; k < degree(x); k++) {
        const int u = g_.v_adj[x][k];
        if (!alive_[static_cast<size_t>(u)]) continue;
        bound_[static_cast<size_t>(u)] -= wx;
        if (removable(bound_[static_cast<size_t>(u)])) {
          alive_[static_cast<size_t>(u)] = 0;
          stack_.push_back(u);
        }
      }
    }
  }

  void compact() {
    size_t k = 0;
    for (int v : alive_list_)
      if (alive_[static_cast<size_t>(v)]) alive_list_[k++] = v;
    alive_list_.resize(k);
  }

  // Rule 1 (neighbourhood weight): a clique containing v lies in v and its
  // alive neighbours, so it weighs at most bound_[v] = w(v) + the weights of
  // v's alive neighbours.  Kept up to date by every removal: O(m) in all.
  // Rule 2 (core and colours): a clique of s vertices containing v leaves
  // each of its members s - 1 neighbours inside it, so all its members
  // belong to the (s-1)-core of the alive graph: s - 1 <= core(v).  Its other
  // members are alive neighbours of v of pairwise distinct colours in a
  // proper colouring of the alive graph, so each colour gives at most its
  // heaviest such neighbour: the clique weighs at most w(v) + the core(v)
  // largest of these per-colour maxima.  Core numbers by bucket peeling and
  // the colouring in the reverse peeling order, O(m) per round; the largest
  // values by selection, O(degree).
  // Rule 3 (edge): a clique of s >= 2 vertices containing v contains an
  // edge {v, u}, and its other vertices are common alive neighbours of v and
  // u, of distinct colours; as in rule 2, s - 1 <= min(core(v), core(u)).
  // So it weighs at most w(v) + w(u) + the min(core(v), core(u)) - 1
  // largest per-colour maxima of the common neighbours, and the clique {v}
  // weighs w(v): v goes when the largest of these over its alive neighbours
  // u cannot beat the best.  Costs about the alive degrees times the core
  // numbers, so it runs only while that stays within a budget of the
  // input's size (in practice on what rules 1 and 2 left).
  void peel() {
    for (;;) {
      for (int v : alive_list_)
        if (alive_[static_cast<size_t>(v)] && removable(bound_[static_cast<size_t>(v)])) remove_cascade(v);
      compact();
      if (alive_list_.empty() || cut()) return;
      refresh_local();
      core_numbers();
      std::vector<int> out;
      for (size_t i = 0; i < lvert_.size(); i++) {
        if ((i & 1023) == 0 && cut()) return;
        colour_maxima(static_cast<int>(i), [](int) { return true; });
        if (removable(weight(lvert_[i]) + top_sum(core_[i]))) out.push_back(lvert_[i]);
      }
      if (out.empty()) edge_rule(out);
      if (out.empty()) return;
      for (int v : out)
        if (alive_[static_cast<size_t>(v)]) remove_cascade(v);
      compact();
    }
  }

  // The subgraph induced by the alive vertices, in local numbers (index in
  // alive_list_, so ascending lists): rules 2 and 3 walk only alive
  // neighbours, however large the input degrees of the alive vertices.
  // Built from the input's lists once, then from the previous one.
  void refresh_local() {
    const size_t k = alive_list_.size();
    if (!have_local_) {
      for (int v = 0; v < n_; v++) local_[static_cast<size_t>(v)] = -1;
      for (size_t i = 0; i < k; i++) local_[static_cast<size_t>(alive_list_[i])] = static_cast<int>(i);
      ladj_.clear();
      loff_.assign(1, 0);
      for (int v : alive_list_) {
        for (int j = 0; j < degree(v); j++) {
          const int u = g_.v_adj[v][j];
          if (alive_[static_cast<size_t>(u)]) ladj_.push_back(local_[static_cast<size_t>(u)]);
        }
        loff_.push_back(static_cast<long long>(ladj_.size()));
      }
      lvert_ = alive_list_;
      have_local_ = true;
      return;
    }
    if (lvert_.size() == k) return;
    std::vector<int> renumber(lvert_.size(), -1);
    int next = 0;
    for (size_t i = 0; i < lvert_.size(); i++) {
      if (alive_[static_cast<size_t>(lvert_[i])]) renumber[i] = next++;
      local_[static_cast<size_t>(lvert_[i])] = renumber[i];
    }
    size_t at = 0;
    std::vector<long long> off(1, 0);
    for (size_t i = 0; i < lvert_.size(); i++) {
      if (renumber[i] < 0) continue;
      for (long long e = loff_[i]; e < loff_[i + 1]; e++) {
        const int x = renumber[static_cast<size_t>(ladj_[static_cast<size_t>(e)])];
        if (x >= 0) ladj_[at++] = x;
      }
      off.push_back(static_cast<long long>(at));
    }
    ladj_.resize(at);
    loff_.swap(off);
    lvert_ = alive_list_;
  }

  int ldegree(int i) const { return static_cast<int>(loff_[static_cast<size_t>(i) + 1] - loff_[static_cast<size_t>(i)]); }
  const int* ladj(int i) const { return ladj_.data() + loff_[static_cast<size_t>(i)]; }

  // scratch_ = for each colour, the largest weight among the local
  // neighbours x of i with keep(x): the most a clique can take from that
  // colour.
  template <class Keep>
  void colour_maxima(int i, Keep&& keep) {
    touched_.clear();
    if (++colour_round_ == 0) {
      std::fill(colour_seen_.begin(), colour_seen_.end(), 0u);
      colour_round_ = 1;
    }
    const int* a = ladj(i);
    for (int j = 0; j < ldegree(i); j++) {
      const int x = a[j];
      if (!keep(x)) continue;
      const size_t c = static_cast<size_t>(colour_[static_cast<size_t>(x)]);
      const double w = weight(lvert_[static_cast<size_t>(x)]);
      if (colour_seen_[c] != colour_round_) {
        colour_seen_[c] = colour_round_;
        colour_max_[c] = w;
        touched_.push_back(static_cast<int>(c));
      } else if (w > colour_max_[c]) {
        colour_max_[c] = w;
      }
    }
    scratch_.clear();
    for (int c : touched_) scratch_.push_back(colour_max_[static_cast<size_t>(c)]);
  }

  // The sum of the c largest values in scratch_ (all of them when fewer).
  double top_sum(int c) {
    if (c < 0) c = 0;
    if (static_cast<size_t>(c) < scratch_.size())
      std::nth_element(scratch_.begin(), scratch_.begin() + c, scratch_.end(), std::greater<double>());
    double b = 0;
    for (size_t k = 0; k < scratch_.size() && k < static_cast<size_t>(c); k++) b += scratch_[k];
    return b;
  }

  // Rule 3 on the local graph; vertices to remove go to `out`.  The common
  // neighbours of i and j are found from the shorter of the two lists (a
  // walk of j's list against i's marks, or binary searches in j's list).
  void edge_rule(std::vector<int>& out) {
    const int k = static_cast<int>(lvert_.size());
    long long work = 0;
    for (int i = 0; i < k; i++)
      for (int e = 0; e < ldegree(i); e++) work += std::min(ldegree(i), ldegree(ladj(i)[e]));
    if (work > kEdgeRuleBudget * (static_cast<long long>(n_) + 2 * g_.n_edge)) return;
    for (int i = 0; i < k; i++) {
      if (cut()) return;
      const int v = lvert_[static_cast<size_t>(i)];
      stamp_round();
      for (int e = 0; e < ldegree(i); e++) stamp_[static_cast<size_t>(ladj(i)[e])] = stamp_now_;
      double b = weight(v);
      for (int e = 0; e < ldegree(i) && removable(b); e++) {
        const int j = ladj(i)[e];
        if (ldegree(j) <= ldegree(i)) {
          colour_maxima(j, [&](int x) { return stamp_[static_cast<size_t>(x)] == stamp_now_; });
        } else {
          const int* lo = ladj(j);
          const int* hi = lo + ldegree(j);
          colour_maxima(i, [&](int x) { return std::binary_search(lo, hi, x); });
        }
        const int c = std::min(core_[static_cast<size_t>(i)], core_[static_cast<size_t>(j)]) - 1;
        b = std::max(b, weight(v) + weight(lvert_[static_cast<size_t>(j)]) + top_sum(c));
      }
      if (removable(b)) out.push_back(v);
    }
  }

  // Core numbers of the local graph, core_[i] (bucket peeling in order of
  // degree; vert_ keeps the peeling order).
  void core_numbers() {
    core_peeling(static_cast<int>(lvert_.size()), loff_.data(), ladj_.data(), core_, vert_, pos_, bin_);
    colour();
  }

  // A proper colouring of the local graph, colour_[i]: greedy, smallest
  // free colour, in the reverse of the core peeling order (at most
  // degeneracy + 1 colours).
  void colour() {
    const size_t k = lvert_.size();
    colour_.assign(k, -1);
    int colours = 0;
    for (size_t p = k; p-- > 0;) {
      const int i = vert_[p];
      stamp_round();
      const int* a = ladj(i);
      for (int e = 0; e < ldegree(i); e++) {
        const int c = colour_[static_cast<size_t>(a[e])];
        if (c >= 0) colour_used_[static_cast<size_t>(c)] = stamp_now_;
      }
      int c = 0;
      while (c < colours && colour_used_[static_cast<size_t>(c)] == stamp_now_) c++;
      if (c == colours) {
        colours++;
        if (colour_used_.size() < static_cast<size_t>(colours)) colour_used_.resize(static_cast<size_t>(colours) * 2, 0);
      }
      colour_[static_cast<size_t>(i)] = c;
    }
    if (colour_max_.size() < static_cast<size_t>(colours)) colour_max_.resize(static_cast<size_t>(colours), 0);
    if (colour_seen_.size() < static_cast<size_t>(colours)) colour_seen_.resize(static_cast<size_t>(colours), 0);
  }

  // Greedy cliques from the alive vertices in descending order of their
  // bound (ties: the lower number first), while the work (list entries
  // walked) stays within `budget`.  From start v: the candidates are v's
  // alive neighbours; repeatedly the candidate u of largest w(u) + the weight
  // of its candidate neighbours joins (the plain weight when scoring would
  // walk too many lists), and the candidates shrink to u's neighbours.  A
  // start is abandoned once the clique plus all its candidates cannot beat
  // the best.  Deterministic: no draw, no clock.
  void greedy(const std::vector<int>& from, long long budget) {
    std::vector<int> starts(from);
    std::stable_sort(starts.begin(), starts.end(), [&](int a, int b) {
      return bound_[static_cast<size_t>(a)] > bound_[static_cast<size_t>(b)];
    });
    long long work = 0;
    std::vector<int> cand, clique, next;
    std::vector<double> score;
    for (int v : starts) {
      if (work > budget || cut()) break;
      if (!alive_[static_cast<size_t>(v)] || removable(bound_[static_cast<size_t>(v)])) continue;
      cand.clear();
      clique.assign(1, v);
      double cw = weight(v), cand_w = 0;
      for (int k = 0; k < degree(v); k++) {
        const int u = g_.v_adj[v][k];
        if (alive_[static_cast<size_t>(u)] && !removable(bound_[static_cast<size_t>(u)])) {
          cand.push_back(u);
          cand_w += weight(u);
        }
      }
      work += degree(v);
      while (!cand.empty() && !removable(cw + cand_w)) {
        // Mark the candidates; score each by its candidate neighbours' weight
        // when that walk is cheap enough.
        stamp_round();
        for (int u : cand) stamp_[static_cast<size_t>(u)] = stamp_now_;
        long long walk = 0;
        for (int u : cand) walk += degree(u);
        const bool scored = walk <= 4096 + 8LL * static_cast<long long>(cand.size());
        int pick = cand[0];
        double pick_score = -1;
        for (int u : cand) {
          double s = weight(u);
          if (scored)
            for (int k = 0; k < degree(u); k++) {
              const int x = g_.v_adj[u][k];
              if (stamp_[static_cast<size_t>(x)] == stamp_now_) s += weight(x);
            }
          if (s > pick_score || (s == pick_score && u < pick)) {
            pick = u;
            pick_score = s;
          }
        }
        if (scored) work += walk;
        clique.push_back(pick);
        cw += weight(pick);
        // Candidates that stay: the marked neighbours of pick.
        stamp_round();
        for (int k = 0; k < degree(pick); k++) stamp_[static_cast<size_t>(g_.v_adj[pick][k])] = stamp_now_;
        work += degree(pick) + static_cast<long long>(cand.size());
        next.clear();
        cand_w = 0;
        for (int u : cand)
          if (u != pick && stamp_[static_cast<size_t>(u)] == stamp_now_) {
            next.push_back(u);
            cand_w += weight(u);
          }
        cand.swap(next);
      }
      if (cw > best_) {
        best_ = cw;
        best_set_ = clique;
        best_ticks_ = cpu_ticks(clock_);
      }
    }
  }

  void stamp_round() {
    if (++stamp_now_ == 0) {
      for (int v = 0; v < n_; v++) stamp_[static_cast<size_t>(v)] = 0;
      stamp_now_ = 1;
    }
  }

  const Graph& g_;
  const int n_;
  const clockid_t clock_;
  Deadline* deadline_;
  bool cut_ = false;
  int polls_ = 0;
  double margin_ = 0;
  double best_ = 0;   // the weight of best_set_
  double known_ = 0;  // a weight known from outside
  std::vector<int> best_set_;
  long best_ticks_ = 0;
  HeapArray<uint8_t> alive_;
  HeapArray<double> bound_;  // rule 1's bound, kept for the alive vertices
  HeapArray<unsigned> stamp_;
  unsigned stamp_now_ = 0;
  unsigned colour_round_ = 0;
  HeapArray<int> local_;     // input vertex -> its local number, -1 outside the local graph
  bool have_local_ = false;
  std::vector<int> lvert_, ladj_;  // the local graph: local vertex -> input vertex; lists
  std::vector<long long> loff_;    // list offsets
  std::vector<int> alive_list_, stack_, core_, bin_, pos_, vert_, colour_;
  std::vector<unsigned> colour_used_, colour_seen_;
  std::vector<double> colour_max_;
  std::vector<int> touched_;
  std::vector<double> scratch_;
};

// The reduction's working memory at most: per vertex the flags, bounds,
// marks, numbers, lists and colours (about 64 bytes), and the alive
// subgraph's lists (at most 4 bytes per list entry of the input).
template <class G>
std::string reduction_memory_message(const G& g) {
  const double bytes = 64.0 * g.n_vertex + 8.0 * static_cast<double>(g.n_edge);
  char buf[160];
  std::snprintf(buf, sizeof buf, "cannot allocate memory for the reduction: %d vertices and %lld edges need about %.1f MiB",
                g.n_vertex, static_cast<long long>(g.n_edge), bytes / (1024.0 * 1024.0));
  return buf;
}

std::string kernel_message(long long k, unsigned long long bytes) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "the reduced instance keeps %lld vertices; their conflict graph would need %.1f MiB", k,
                static_cast<double>(bytes) / (1024.0 * 1024.0));
  return buf;
}

// The kernel's conflict graph: the complement of the subgraph induced by
// `alive` (ascending), vertex i standing for alive[i].
template <class V>
ReduceReport build_kernel(const SparseConflictGraph<V>& g, const std::vector<int>& alive,
                          const CliqueOptions& options, SubInstance& part) {
  ReduceReport rep;
  const long long k = static_cast<long long>(alive.size());
  rep.kernel = k;
  HeapArray<int> local;
  if (!local.alloc(static_cast<size_t>(g.n_vertex), false)) return {ReduceStatus::no_memory, "cannot allocate memory for the reduction", k};
  for (int v = 0; v < g.n_vertex; v++) local[static_cast<size_t>(v)] = -1;
  for (long long i = 0; i < k; i++) local[static_cast<size_t>(alive[static_cast<size_t>(i)])] = static_cast<int>(i);
  long long m = 0;
  for (int v : alive)
    for (int j = 0; j < g.v_edge_count[static_cast<size_t>(v)]; j++) {
      const int u = g.v_adj[v][j];
      m += u > v && local[static_cast<size_t>(u)] >= 0;
    }
  const long long n_edge = k * (k - 1) / 2 - m;
  const GraphLayout layout = choose_layout(k, n_edge, options.layout);
  rep.kernel_bytes = conflict_graph_bytes(k, n_edge);
  if (layout != GraphLayout::dense) rep.kernel_bytes += sparse_graph_bytes<uint16_t>(k, n_edge);
  if (k > kMaxVertices || rep.kernel_bytes > options.max_kernel_bytes) {
    rep.status = ReduceStatus::kernel_too_large;
    rep.message = kernel_message(k, rep.kernel_bytes);
    return rep;
  }
  part.original = alive;
  DenseGraphBuilder<InstanceMode::clique> b(part.graph.dense);
  bool ok = b.begin(static_cast<int>(k), m);
  for (long long i = 0; ok && i < k; i++) {
    const int v = alive[static_cast<size_t>(i)];
    b.set_weight(static_cast<int>(i), g.v_weight[static_cast<size_t>(v)]);
    for (int j = 0; j < g.v_edge_count[static_cast<size_t>(v)]; j++) {
      const int u = g.v_adj[v][j];
      const int lu = local[static_cast<size_t>(u)];
      if (u > v && lu >= 0) b.add_edge(static_cast<int>(i), lu);
    }
  }
  ok = ok && b.finish();
  part.graph.layout = GraphLayout::dense;
  if (ok && layout != GraphLayout::dense) {
    part.graph.layout = GraphLayout::sparse16;
    ok = sparse_from_dense(part.graph.sparse16, part.graph.dense);
  }
  if (!ok) {
    rep.status = ReduceStatus::no_memory;
    rep.message = kernel_message(k, rep.kernel_bytes);
  }
  return rep;
}

template <class V>
ReduceReport reduce_on(const SparseConflictGraph<V>& g, const CliqueOptions& options, Reduced& out) {
  auto peeler = std::make_shared<CliquePeeler<V>>(g, options.clock, options.deadline);
  if (!peeler->init()) return {ReduceStatus::no_memory, reduction_memory_message(g)};
  ReduceReport rep;
  rep.rounds = peeler->reduce(options.known_weight, options.first_clique);
  out = Reduced{};
  out.incumbent = peeler->best_set();
  out.incumbent_weight = peeler->best();
  out.incumbent_ticks = peeler->best_ticks();
  out.exact = true;
  rep.cut = peeler->was_cut();
  if (rep.cut) {
    rep.kernel = static_cast<long long>(peeler->alive().size());
    return rep;
  }
  if (!peeler->alive().empty()) {
    auto part = std::make_unique<SubInstance>();
    const int rounds = rep.rounds;
    rep = build_kernel(g, peeler->alive(), options, *part);
    rep.rounds = rounds;
    if (rep.status != ReduceStatus::ok) return rep;
    out.parts.push_back(std::move(part));
    out.bound_check = [peeler](double w) { return peeler->empties_at(w); };
  }
  return rep;
}

template <class V>
bool check_on(const SparseConflictGraph<V>& g, const int* vertices, int count, double weight, double tolerance) {
  for (int i = 0; i < count; i++) {
    if (vertices[i] < 0 || vertices[i] >= g.n_vertex) return false;
    for (int j = i + 1; j < count; j++)
      if (!g.conflict(vertices[i], vertices[j])) return false;  // the lists are the input's edges
  }
  double sum = 0.0;
  for (int i = 0; i < count; i++) sum += g.v_weight[static_cast<size_t>(vertices[i])];
  return std::fabs(sum - weight) < tolerance;
}

}  // namespace

ReduceReport reduce_clique(const LoadedGraph& input, const CliqueOptions& options, Reduced& out) {
  if (input.layout == GraphLayout::dense) return {ReduceStatus::no_memory, "the input graph was not read as lists"};
  // The working lists are standard containers: a shortage there ends the
  // reduction here, as a status with the amount, and goes no further.
  try {
    if (input.layout == GraphLayout::sparse16) return reduce_on(input.sparse16, options, out);
    return reduce_on(input.sparse32, options, out);
  } catch (const std::bad_alloc&) {
    out = Reduced{};
    return visit_layout(input, [](const auto& g) { return ReduceReport{ReduceStatus::no_memory, reduction_memory_message(g)}; });
  }
}

bool check_clique(const LoadedGraph& input, const int* vertices, int count, double weight, double tolerance) {
  if (input.layout == GraphLayout::sparse16) return check_on(input.sparse16, vertices, count, weight, tolerance);
  return check_on(input.sparse32, vertices, count, weight, tolerance);
}

}  // namespace mavu::reduce
