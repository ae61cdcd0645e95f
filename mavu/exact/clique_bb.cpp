#include "mavu/exact/clique_bb.h"

#include <algorithm>
#include <climits>
#include <bit>
#include <cmath>
#include <new>

#include "graph/degeneracy.h"

namespace mavu::exact {

namespace {

using Word = uint64_t;

inline Word bit(int i) { return Word{1} << (static_cast<unsigned>(i) & 63); }
inline bool test(const Word* s, int i) { return (s[i >> 6] >> (static_cast<unsigned>(i) & 63)) & 1; }
inline int words_for(int n) { return (n + 63) / 64; }

// Work units (roughly word operations) between two polls of the deadline.
constexpr long kPollWork = 1 << 14;

}  // namespace

// Soundness of the pruning, stated once.  Let t be the weight a clique must
// exceed (the best known minus the weight of the clique being grown) and
// margin the rounding allowance (0 for integral weights whose total is below
// 2^53: every sum and difference formed is then an exact integer; else
// 1e-9 of the total weight, far above the rounding of any sum of at most a
// few thousand terms).  A set is pruned only when a bound b on the weight of
// each of its cliques satisfies b + margin <= t, so no clique heavier than
// the best known is ever pruned.  The bounds (weights of the vertices are at
// least 0; negative ones would count as 0 in the bounds):
//
//  - Peeling (kernel level): every clique through v lies in v and its
//    remaining neighbours, so it weighs at most w(v) + their weights.  A
//    vertex leaves the graph when that bound cannot beat the best, or when
//    its subproblem is done (degeneracy order only: every clique through it
//    then has its first vertex at or before it, so it was searched).
//  - Pair peeling (subproblem root v): a clique through v and u lies in v, u
//    and their common remaining candidates: w(v) + w(u) + their weights.
//  - Weighted colouring with splitting (every node): the candidates are
//    walked in a fixed order and each vertex's weight is spread over
//    independent sets: into each earlier set it has no neighbour in, a
//    copy of weight up to that set's weight, and what is left opens a new
//    set weighing that much.  A set's weight is at least each copy in it.
//    A clique meets an independent set in at most one vertex, so its
//    weight, the sum of its vertices' copies, is at most the sum of the
//    sets' weights.
//  - MaxSAT refinement: a vertex whose leftover would lift the sum above t
//    gets a set of its own (unit) and unit propagation runs: the unit forces
//    v; the sets v spilled into (it has no neighbour there) are satisfied by
//    v's copies and stay out; every open set loses the vertices not adjacent to a forced vertex
//    (a set meeting the forced vertex itself is satisfied and left alone);
//    a set left with one vertex forces it; a set left empty is a conflict.
//    By induction on the propagation steps, a clique meeting every set of
//    the conflict's reasons (the sets whose forced vertices emptied it,
//    transitively) cannot meet the emptied set: no clique meets all sets of
//    the conflict S.  Split every set of S into a part of weight d (the
//    smallest weight in S; copies capped at d) and the rest (copies reduced
//    by d): a clique takes at most |S| - 1 of the d-parts, so the sum of the
//    weights drops by d.  The rests keep their full vertex sets, which only
//    weakens later propagations.  Repeated until the sum is within t (the
//    vertex is absorbed), or no conflict is found, or maxsat_rounds
//    conflicts did not suffice (then every weight changed since the vertex
//    came is restored and the vertex is branched on).
//  - Branching: the absorbed vertices A have a bound within t, so a clique
//    heavier than t has a branching vertex; branching on b_m, ..., b_1 (the
//    reverse of the walk) with candidates those adjacent to b_i among A and
//    b_1..b_{i-1} finds every such clique in the branch of its last
//    branching vertex.
struct CliqueBB::State {
  CliqueBBOptions opt;
  ExactStatus status = ExactStatus::interrupted;
  CliqueBBStats stats;
  double lower = 0;
  std::vector<int> best;  // input numbers
  double margin = 0;
  bool sweep = true;  // peel every vertex again before the next subproblem

  // The graph, vertex i being the i-th of the degeneracy order; lists ascending.
  int k = 0;
  std::vector<int> orig;
  std::vector<double> w;
  std::vector<long long> off;
  std::vector<int> adj;
  std::vector<uint8_t> alive;
  std::vector<double> bound;  // w(v) + weights of the alive neighbours
  int next = 0;               // subproblems started before this one are done
  std::vector<int> stack;

  // The current subproblem: s vertices, rows of W words.
  int s = 0, W = 0;
  std::vector<int> sub_kernel;  // subproblem vertex -> graph vertex
  std::vector<Word> rows;
  std::vector<double> sw;       // weights (at least 0)
  std::vector<Word> cand, branch;  // per depth, W words each
  std::vector<int> path;
  int root = -1;
  // Colouring scratch, up to s + 1 sets.
  int KW = 0;
  std::vector<Word> M, F, R, reason;
  std::vector<double> Wt, saved;
  std::vector<int> join, queue_x, queue_q;
  std::vector<Word> conflict, open_bits, U, member_of;  // member_of: per vertex, the sets with a copy of it
  std::vector<int> count, left, changed;               // per set: members; members left; sets changed by a step
  std::vector<uint8_t> in_changed;
  std::vector<unsigned> touched_at;                    // per set: the propagation that copied it into R
  unsigned up_stamp = 0;
  // Setup scratch of a subproblem.
  std::vector<int> loc, L, order1;
  std::vector<Word> rows1, keep;
  std::vector<double> pair;
  std::vector<int> deg1;

  Deadline* deadline = nullptr;
  long work = 0;
  long long total_work = 0;   // work units over all calls (counted at the polls)
  long long work_limit = 0;   // this call ends once total_work reaches it
  bool stopped = false;

  bool removable(double b) const { return b + margin <= lower; }

  // The work limit is tested at the polls only, so a call that ends by it
  // ends at the same point on every machine.
  bool poll(long units) {
    work += units;
    if (work < kPollWork) return false;
    total_work += work;
    work = 0;
    if (total_work >= work_limit || deadline->expired()) stopped = true;
    return stopped;
  }

  // ---- the graph ----------------------------------------------------------

  template <class V>
  void build(const SparseConflictGraph<V>& g, const std::vector<int>& vertices) {
    k = static_cast<int>(vertices.size());
    std::vector<int> local(static_cast<size_t>(g.n_vertex), -1);
    for (int i = 0; i < k; i++) local[static_cast<size_t>(vertices[static_cast<size_t>(i)])] = i;
    // Lists in input order first.
    std::vector<long long> off0(static_cast<size_t>(k) + 1, 0);
    std::vector<int> adj0;
    for (int i = 0; i < k; i++) {
      const int v = vertices[static_cast<size_t>(i)];
      for (int e = 0; e < g.v_edge_count[static_cast<size_t>(v)]; e++) {
        const int u = local[static_cast<size_t>(g.v_adj[v][e])];
        if (u >= 0 && u != i) adj0.push_back(u);
      }
      off0[static_cast<size_t>(i) + 1] = static_cast<long long>(adj0.size());
    }
    std::vector<int>().swap(local);
    // Degeneracy order by bucket peeling (least remaining degree first).
    std::vector<int> deg, bin, pos, vert;
    core_peeling(k, off0.data(), adj0.data(), deg, vert, pos, bin);
    // Renumber by position; lists ascending.
    orig.assign(static_cast<size_t>(k), 0);
    w.assign(static_cast<size_t>(k), 0);
    off.assign(static_cast<size_t>(k) + 1, 0);
    adj.assign(adj0.size(), 0);
    for (int p = 0; p < k; p++) {
      const int i = vert[static_cast<size_t>(p)];
      const int v = vertices[static_cast<size_t>(i)];
      orig[static_cast<size_t>(p)] = v;
      w[static_cast<size_t>(p)] = g.v_weight[static_cast<size_t>(v)];
      long long at = off[static_cast<size_t>(p)];
      for (long long e = off0[static_cast<size_t>(i)]; e < off0[static_cast<size_t>(i) + 1]; e++)
        adj[static_cast<size_t>(at++)] = pos[static_cast<size_t>(adj0[static_cast<size_t>(e)])];
      off[static_cast<size_t>(p) + 1] = at;
      std::sort(adj.begin() + off[static_cast<size_t>(p)], adj.begin() + at);
    }
    alive.assign(static_cast<size_t>(k), 1);
    bound.assign(static_cast<size_t>(k), 0);
    bool integral = true;
    double total = 0;
    for (int v = 0; v < k; v++) {
      const double x = w[static_cast<size_t>(v)];
      integral = integral && x == std::floor(x);
      total += std::max(0.0, x);
    }
    margin = integral && total < 9.0e15 ? 0.0 : 1e-9 * total;
    for (int v = 0; v < k; v++) {
      double b = std::max(0.0, w[static_cast<size_t>(v)]);
      for (long long e = off[static_cast<size_t>(v)]; e < off[static_cast<size_t>(v) + 1]; e++)
        b += std::max(0.0, w[static_cast<size_t>(adj[static_cast<size_t>(e)])]);
      bound[static_cast<size_t>(v)] = b;
    }
    loc.assign(static_cast<size_t>(k), -1);
    stats.subproblems = k;
  }

  // A first clique by greed from the last vertices of the order (the
  // densest part): repeatedly the heaviest candidate joins.
  void greedy_start() {
    std::vector<int> cand, next_cand, clique;
    std::vector<uint8_t> mark(static_cast<size_t>(k), 0);
    for (int start = k - 1; start >= 0 && start >= k - 16; start--) {
      clique.assign(1, start);
      double cw = w[static_cast<size_t>(start)];
      cand.assign(adj.begin() + off[static_cast<size_t>(start)], adj.begin() + off[static_cast<size_t>(start) + 1]);
      while (!cand.empty()) {
        int pick = cand[0];
        for (int u : cand)
          if (w[static_cast<size_t>(u)] > w[static_cast<size_t>(pick)]) pick = u;
        clique.push_back(pick);
        cw += w[static_cast<size_t>(pick)];
        for (long long e = off[static_cast<size_t>(pick)]; e < off[static_cast<size_t>(pick) + 1]; e++)
          mark[static_cast<size_t>(adj[static_cast<size_t>(e)])] = 1;
        next_cand.clear();
        for (int u : cand)
          if (mark[static_cast<size_t>(u)]) next_cand.push_back(u);
        for (long long e = off[static_cast<size_t>(pick)]; e < off[static_cast<size_t>(pick) + 1]; e++)
          mark[static_cast<size_t>(adj[static_cast<size_t>(e)])] = 0;
        cand.swap(next_cand);
      }
      if (cw > lower) {
        lower = cw;
        best.clear();
        for (int v : clique) best.push_back(orig[static_cast<size_t>(v)]);
      }
    }
  }

  void remove(int v) {
    alive[static_cast<size_t>(v)] = 0;
    stack.push_back(v);
    while (!stack.empty()) {
      const int x = stack.back();
      stack.pop_back();
      const double wx = std::max(0.0, w[static_cast<size_t>(x)]);
      for (long long e = off[static_cast<size_t>(x)]; e < off[static_cast<size_t>(x) + 1]; e++) {
        const int u = adj[static_cast<size_t>(e)];
        if (!alive[static_cast<size_t>(u)]) continue;
        bound[static_cast<size_t>(u)] -= wx;
        if (removable(bound[static_cast<size_t>(u)])) {
          alive[static_cast<size_t>(u)] = 0;
          stack.push_back(u);
        }
      }
    }
  }

  void sweep_all() {
    for (int v = 0; v < k; v++)
      if (alive[static_cast<size_t>(v)] && removable(bound[static_cast<size_t>(v)])) remove(v);
    sweep = false;
  }

  // ---- one subproblem -----------------------------------------------------

  // Searches the cliques whose first vertex is v; false when the deadline
  // expired first.
  bool solve(int v) {
    root = v;
    // Candidates: the alive neighbours after v.
    L.clear();
    for (long long e = off[static_cast<size_t>(v)]; e < off[static_cast<size_t>(v) + 1]; e++) {
      const int u = adj[static_cast<size_t>(e)];
      if (u > v && alive[static_cast<size_t>(u)]) L.push_back(u);
    }
    const double wv = std::max(0.0, w[static_cast<size_t>(v)]);
    if (w[static_cast<size_t>(v)] > lower) record_path(0, w[static_cast<size_t>(v)]);
    const int s0 = static_cast<int>(L.size());
    if (s0 == 0) return true;
    const int W0 = words_for(s0);
    for (int i = 0; i < s0; i++) loc[static_cast<size_t>(L[static_cast<size_t>(i)])] = i;
    rows1.assign(static_cast<size_t>(s0) * static_cast<size_t>(W0), 0);
    long walked = 0;
    for (int i = 0; i < s0; i++) {
      const int u = L[static_cast<size_t>(i)];
      const int* b = adj.data() + off[static_cast<size_t>(u)];
      const int* e = adj.data() + off[static_cast<size_t>(u) + 1];
      b = std::upper_bound(b, e, v);
      walked += e - b;
      Word* r = rows1.data() + static_cast<size_t>(i) * static_cast<size_t>(W0);
      for (; b < e; b++) {
        const int j = loc[static_cast<size_t>(*b)];
        if (j >= 0) r[j >> 6] |= bit(j);
      }
    }
    for (int u : L) loc[static_cast<size_t>(u)] = -1;
    if (poll(walked + static_cast<long>(s0) * W0)) return false;
    // Pair peeling to a fixpoint.
    keep.assign(static_cast<size_t>(W0), 0);
    for (int i = 0; i < s0; i++) keep[static_cast<size_t>(i >> 6)] |= bit(i);
    pair.assign(static_cast<size_t>(s0), 0);
    auto lw = [&](int i) { return std::max(0.0, w[static_cast<size_t>(L[static_cast<size_t>(i)])]); };
    stack.clear();
    for (int i = 0; i < s0; i++) {
      double b = wv + lw(i);
      const Word* r = rows1.data() + static_cast<size_t>(i) * static_cast<size_t>(W0);
      for (int q = 0; q < W0; q++)
        for (Word x = r[q]; x; x &= x - 1) b += lw(q * 64 + std::countr_zero(x));
      pair[static_cast<size_t>(i)] = b;
      if (removable(b)) {
        keep[static_cast<size_t>(i >> 6)] &= ~bit(i);
        stack.push_back(i);
      }
    }
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      const Word* r = rows1.data() + static_cast<size_t>(i) * static_cast<size_t>(W0);
      for (int q = 0; q < W0; q++)
        for (Word x = r[q] & keep[static_cast<size_t>(q)]; x; x &= x - 1) {
          const int j = q * 64 + std::countr_zero(x);
          pair[static_cast<size_t>(j)] -= lw(i);
          if (removable(pair[static_cast<size_t>(j)])) {
            keep[static_cast<size_t>(q)] &= ~bit(j);
            stack.push_back(j);
          }
        }
    }
    // Order of the survivors: repeatedly the least degree (then the
    // lightest) goes last, so the walk of the colouring meets the dense part
    // first and branches on the sparse end.
    deg1.assign(static_cast<size_t>(s0), -1);
    int s1 = 0;
    for (int i = 0; i < s0; i++)
      if (test(keep.data(), i)) {
        const Word* r = rows1.data() + static_cast<size_t>(i) * static_cast<size_t>(W0);
        int d = 0;
        for (int q = 0; q < W0; q++) d += std::popcount(r[q] & keep[static_cast<size_t>(q)]);
        deg1[static_cast<size_t>(i)] = d;
        s1++;
      }
    if (s1 == 0) return true;
    stats.largest = std::max(stats.largest, s1);
    order1.assign(static_cast<size_t>(s1), 0);
    for (int t = s1 - 1; t >= 0; t--) {
      int pick = -1;
      for (int i = 0; i < s0; i++) {
        const int d = deg1[static_cast<size_t>(i)];
        if (d < 0) continue;
        if (pick < 0 || d < deg1[static_cast<size_t>(pick)] || (d == deg1[static_cast<size_t>(pick)] && lw(i) < lw(pick)))
          pick = i;
      }
      order1[static_cast<size_t>(t)] = pick;
      deg1[static_cast<size_t>(pick)] = -1;
      const Word* r = rows1.data() + static_cast<size_t>(pick) * static_cast<size_t>(W0);
      for (int q = 0; q < W0; q++)
        for (Word x = r[q]; x; x &= x - 1) {
          const int j = q * 64 + std::countr_zero(x);
          if (deg1[static_cast<size_t>(j)] > 0) deg1[static_cast<size_t>(j)]--;
        }
    }
    if (poll(static_cast<long>(s1) * s0)) return false;
    // The subproblem's rows in that order.
    s = s1;
    W = words_for(s);
    KW = words_for(s + 1);
    std::vector<int>& newpos = deg1;  // reused: old index -> new index
    std::fill(newpos.begin(), newpos.end(), -1);
    for (int t = 0; t < s; t++) newpos[static_cast<size_t>(order1[static_cast<size_t>(t)])] = t;
    const size_t sw_words = static_cast<size_t>(s) * static_cast<size_t>(W);
    if (rows.size() < sw_words) rows.resize(sw_words);
    std::fill(rows.begin(), rows.begin() + static_cast<long>(sw_words), 0);
    if (sub_kernel.size() < static_cast<size_t>(s)) sub_kernel.resize(static_cast<size_t>(s));
    if (sw.size() < static_cast<size_t>(s)) sw.resize(static_cast<size_t>(s));
    for (int t = 0; t < s; t++) {
      const int i = order1[static_cast<size_t>(t)];
      sub_kernel[static_cast<size_t>(t)] = L[static_cast<size_t>(i)];
      sw[static_cast<size_t>(t)] = lw(i);
      const Word* r = rows1.data() + static_cast<size_t>(i) * static_cast<size_t>(W0);
      Word* out = rows.data() + static_cast<size_t>(t) * static_cast<size_t>(W);
      for (int q = 0; q < W0; q++)
        for (Word x = r[q]; x; x &= x - 1) {
          const int j = newpos[static_cast<size_t>(q * 64 + std::countr_zero(x))];
          if (j >= 0) out[j >> 6] |= bit(j);
        }
    }
    // Buffers: per depth (at most s + 1 levels) and per set (at most s + 1).
    const size_t depth_words = (static_cast<size_t>(s) + 2) * static_cast<size_t>(W);
    if (cand.size() < depth_words) cand.resize(depth_words);
    if (branch.size() < depth_words) branch.resize(depth_words);
    if (path.size() < static_cast<size_t>(s) + 2) path.resize(static_cast<size_t>(s) + 2);
    const size_t sets = static_cast<size_t>(s) + 1;
    if (M.size() < sets * static_cast<size_t>(W)) {
      M.resize(sets * static_cast<size_t>(W));
      F.resize(sets * static_cast<size_t>(W));
      R.resize(sets * static_cast<size_t>(W));
    }
    if (reason.size() < sets * static_cast<size_t>(KW)) reason.resize(sets * static_cast<size_t>(KW));
    if (conflict.size() < static_cast<size_t>(KW)) {
      conflict.resize(static_cast<size_t>(KW));
      open_bits.resize(static_cast<size_t>(KW));
    }
    if (U.size() < static_cast<size_t>(W)) U.resize(static_cast<size_t>(W));
    if (member_of.size() < static_cast<size_t>(s) * static_cast<size_t>(KW))
      member_of.resize(static_cast<size_t>(s) * static_cast<size_t>(KW));
    if (Wt.size() < sets) {
      Wt.resize(sets);
      saved.resize(sets);
      join.resize(sets);
      queue_x.resize(sets);
      queue_q.resize(sets);
      count.resize(sets);
      left.resize(sets);
      changed.resize(sets);
      in_changed.resize(sets, 0);
      touched_at.resize(sets, 0);
    }
    Word* C = cand.data();
    std::fill(C, C + W, 0);
    for (int t = 0; t < s; t++) C[t >> 6] |= bit(t);
    return expand(0, w[static_cast<size_t>(v)]);
  }

  Word* row(int i) { return rows.data() + static_cast<size_t>(i) * static_cast<size_t>(W); }

  void record_path(int depth, double cw) {
    int* p = path.data();
    // path[0..depth) are subproblem vertices; the clique is the root and them.
    lower = cw;
    best.clear();
    best.push_back(orig[static_cast<size_t>(root)]);
    for (int i = 0; i < depth; i++) best.push_back(orig[static_cast<size_t>(sub_kernel[static_cast<size_t>(p[i])])]);
    sweep = true;
  }

  bool expand(int depth, double cw) {
    if (cw > lower) record_path(depth, cw);
    Word* C = cand.data() + static_cast<size_t>(depth) * static_cast<size_t>(W);
    Word* B = branch.data() + static_cast<size_t>(depth) * static_cast<size_t>(W);
    stats.nodes++;
    if (colour(C, lower - cw, B)) return false;
    Word* next = C + W;
    for (int q = W; q-- > 0;) {
      while (B[q] != 0) {
        const int hb = 63 - std::countl_zero(B[q]);
        B[q] &= ~bit(hb);
        const int b = q * 64 + hb;
        const Word* rb = row(b);
        for (int x = 0; x < W; x++) next[x] = C[x] & rb[x];
        path[static_cast<size_t>(depth)] = b;
        if (!expand(depth + 1, cw + w[static_cast<size_t>(sub_kernel[static_cast<size_t>(b)])])) return false;
        C[q] &= ~bit(hb);
      }
    }
    return true;
  }

  // The bound of the node with candidates C that must beat t: the vertices
  // it cannot absorb go to B.  True when the deadline expired.
  bool colour(const Word* C, double t, Word* B) {
    return opt.maxsat_rounds > 0 ? colour_as<true>(C, t, B) : colour_as<false>(C, t, B);
  }

  // colour(); with MaxSAT the sets' members (M, count, member_of) are kept
  // for the propagation, without it they are not needed.
  template <bool MaxSat>
  bool colour_as(const Word* C, double t, Word* B) {
    std::fill(B, B + W, 0);
    int K = 0;
    double ub = 0;
    long units = W;
    for (int q = 0; q < W; q++)
      for (Word cw = C[q]; cw; cw &= cw - 1) {
        const int v = q * 64 + std::countr_zero(cw);
        double r = sw[static_cast<size_t>(v)];
        Word* mv = nullptr;  // v's sets, with MaxSat
        if constexpr (MaxSat) {
          mv = member_of.data() + static_cast<size_t>(v) * static_cast<size_t>(KW);
          std::fill(mv, mv + KW, 0);
        }
        int nj = 0;
        for (int j = 0; j < K && r > 0; j++)
          if (Wt[static_cast<size_t>(j)] > 0 && test(F.data() + static_cast<size_t>(j) * static_cast<size_t>(W), v)) {
            join[static_cast<size_t>(nj++)] = j;
            r -= Wt[static_cast<size_t>(j)];
          }
        units += K;
        if (r > 0) {
          if (ub + r + margin <= t) {
            Wt[static_cast<size_t>(K)] = r;
            ub += r;
          } else if (!MaxSat || !absorb(v, r, nj, K, ub, t, units)) {
            B[q] |= bit(v);
            continue;
          }
          Word* f = F.data() + static_cast<size_t>(K) * static_cast<size_t>(W);
          const Word* rv = row(v);
          for (int x = 0; x < W; x++) f[x] = C[x] & ~rv[x];
          if constexpr (MaxSat) {
            Word* m = M.data() + static_cast<size_t>(K) * static_cast<size_t>(W);
            std::fill(m, m + W, 0);
            m[q] = bit(v);
            count[static_cast<size_t>(K)] = 1;
            mv[K >> 6] |= bit(K);
          }
          K++;
          units += W;
        }
        const Word* rv = row(v);
        for (int i = 0; i < nj; i++) {
          const size_t j = static_cast<size_t>(join[static_cast<size_t>(i)]);
          Word* f = F.data() + j * static_cast<size_t>(W);
          if constexpr (MaxSat) {
            M[j * static_cast<size_t>(W) + static_cast<size_t>(q)] |= bit(v);
            count[j]++;
            mv[j >> 6] |= bit(static_cast<int>(j));
          }
          for (int x = 0; x < W; x++) f[x] &= ~rv[x];
        }
        units += static_cast<long>(nj) * W;
      }
    return poll(units);
  }

  // MaxSAT refinement for v, whose leftover r would lift ub above t: a unit
  // set {v} of weight r (index K), then conflicts by unit propagation until
  // the sum is within t.  True with set K's weight in Wt[K] and ub updated;
  // false with every weight as before.
  bool absorb(int v, double r, int nj, int K, double& ub, double t, long& units) {
    const int u = K;
    for (int j = 0; j < K; j++) saved[static_cast<size_t>(j)] = Wt[static_cast<size_t>(j)];
    Wt[static_cast<size_t>(u)] = r;
    Word* mu = M.data() + static_cast<size_t>(u) * static_cast<size_t>(W);
    std::fill(mu, mu + W, 0);
    mu[v >> 6] = bit(v);
    double reduced = 0;
    for (int round = 0; round < opt.maxsat_rounds && Wt[static_cast<size_t>(u)] > 0; round++) {
      if (!propagate(v, u, nj, K + 1, units)) break;
      double d = Wt[static_cast<size_t>(u)];
      for (int q = 0; q < KW; q++)
        for (Word x = conflict[static_cast<size_t>(q)]; x; x &= x - 1)
          d = std::min(d, Wt[static_cast<size_t>(q * 64 + std::countr_zero(x))]);
      for (int q = 0; q < KW; q++)
        for (Word x = conflict[static_cast<size_t>(q)]; x; x &= x - 1) Wt[static_cast<size_t>(q * 64 + std::countr_zero(x))] -= d;
      reduced += d;
      if (ub + r - reduced + margin <= t) {
        ub += r - reduced;
        return true;
      }
    }
    for (int j = 0; j < K; j++) Wt[static_cast<size_t>(j)] = saved[static_cast<size_t>(j)];
    return false;
  }

  // Unit propagation from the unit set u = {v} over the sets 0..n-1 of
  // positive weight, except the first nj of join (they would hold a copy of
  // v: satisfied).  True with a conflict in `conflict`.
  //
  // A forced vertex x removes its non-neighbours from every open set at
  // once: the open members not adjacent to x (a word operation over U, the
  // union of the open sets' members) are looked up in member_of, the sets
  // each vertex has a copy in.  A set's remaining members R_j are copied
  // from M_j on its first change (stamp), so untouched sets cost nothing.
  bool propagate(int v, int u, int nj, int n, long& units) {
    Word* open_set = open_bits.data();
    std::fill(open_set, open_set + KW, 0);
    std::fill(U.begin(), U.begin() + W, 0);
    for (int j = 0; j < n; j++)
      if (Wt[static_cast<size_t>(j)] > 0 && j != u) {
        open_set[j >> 6] |= bit(j);
        const Word* m = M.data() + static_cast<size_t>(j) * static_cast<size_t>(W);
        for (int q = 0; q < W; q++) U[static_cast<size_t>(q)] |= m[q];
      }
    for (int i = 0; i < nj; i++) open_set[join[static_cast<size_t>(i)] >> 6] &= ~bit(join[static_cast<size_t>(i)]);
    if (++up_stamp == 0) {
      std::fill(touched_at.begin(), touched_at.end(), 0u);
      up_stamp = 1;
    }
    Word* why_u = reason.data() + static_cast<size_t>(u) * static_cast<size_t>(KW);
    std::fill(why_u, why_u + KW, 0);
    units += static_cast<long>(n) * W;
    int qh = 0, qt = 0;
    queue_x[static_cast<size_t>(qt)] = v;
    queue_q[static_cast<size_t>(qt++)] = u;
    while (qh < qt) {
      const int x = queue_x[static_cast<size_t>(qh)];
      const int src = queue_q[static_cast<size_t>(qh++)];
      const Word* rx = row(x);
      const Word* why = reason.data() + static_cast<size_t>(src) * static_cast<size_t>(KW);
      // Sets holding x itself are satisfied.
      const Word* mx = member_of.data() + static_cast<size_t>(x) * static_cast<size_t>(KW);
      for (int q = 0; q < KW; q++)
        for (Word y = mx[q] & open_set[q]; y; y &= y - 1) {
          const int j = q * 64 + std::countr_zero(y);
          if (touched_at[static_cast<size_t>(j)] != up_stamp ||
              test(R.data() + static_cast<size_t>(j) * static_cast<size_t>(W), x))
            open_set[q] &= ~bit(j);
        }
      // Every open member not adjacent to x leaves its sets.
      int ntouched = 0;
      units += W + KW;
      for (int q = 0; q < W; q++) {
        Word gone = U[static_cast<size_t>(q)] & ~rx[q];
        U[static_cast<size_t>(q)] &= rx[q];
        for (; gone; gone &= gone - 1) {
          const int y = q * 64 + std::countr_zero(gone);
          const Word* my = member_of.data() + static_cast<size_t>(y) * static_cast<size_t>(KW);
          for (int a = 0; a < KW; a++)
            for (Word js = my[a] & open_set[a]; js; js &= js - 1) {
              const int j = a * 64 + std::countr_zero(js);
              Word* rj = R.data() + static_cast<size_t>(j) * static_cast<size_t>(W);
              if (touched_at[static_cast<size_t>(j)] != up_stamp) {
                touched_at[static_cast<size_t>(j)] = up_stamp;
                const Word* m = M.data() + static_cast<size_t>(j) * static_cast<size_t>(W);
                std::copy(m, m + W, rj);
                left[static_cast<size_t>(j)] = count[static_cast<size_t>(j)];
                Word* rs = reason.data() + static_cast<size_t>(j) * static_cast<size_t>(KW);
                std::fill(rs, rs + KW, 0);
                units += W + KW;
              }
              if (!test(rj, y)) continue;
              rj[q] &= ~bit(y);
              left[static_cast<size_t>(j)]--;
              if (!in_changed[static_cast<size_t>(j)]) {
                in_changed[static_cast<size_t>(j)] = 1;
                changed[static_cast<size_t>(ntouched++)] = j;
              }
            }
        }
      }
      // The sets changed by x: their reasons grow; empty is a conflict,
      // one member left forces it.
      for (int i = 0; i < ntouched; i++) {
        const int j = changed[static_cast<size_t>(i)];
        in_changed[static_cast<size_t>(j)] = 0;
        Word* rs = reason.data() + static_cast<size_t>(j) * static_cast<size_t>(KW);
        for (int a = 0; a < KW; a++) rs[a] |= why[a];
        rs[src >> 6] |= bit(src);
        units += KW;
        if (!test(open_set, j)) continue;
        if (left[static_cast<size_t>(j)] == 0) {
          for (int a = i + 1; a < ntouched; a++) in_changed[static_cast<size_t>(changed[static_cast<size_t>(a)])] = 0;
          std::copy(rs, rs + KW, conflict.data());
          conflict[static_cast<size_t>(j >> 6)] |= bit(j);
          return true;
        }
        if (left[static_cast<size_t>(j)] == 1) {
          open_set[j >> 6] &= ~bit(j);
          const Word* rj = R.data() + static_cast<size_t>(j) * static_cast<size_t>(W);
          int y = -1;
          for (int q = 0; q < W && y < 0; q++)
            if (rj[q] != 0) y = q * 64 + std::countr_zero(rj[q]);
          queue_x[static_cast<size_t>(qt)] = y;
          queue_q[static_cast<size_t>(qt++)] = j;
        }
      }
    }
    return false;
  }
};

CliqueBB::CliqueBB() = default;
CliqueBB::~CliqueBB() = default;

template <class V>
bool CliqueBB::init(const SparseConflictGraph<V>& input, const std::vector<int>& vertices, double lower,
                    const std::vector<int>& lower_set, const CliqueBBOptions& options) {
  try {
    s_ = std::make_unique<State>();
    s_->opt = options;
    s_->lower = lower;
    s_->best = lower_set;
    s_->build(input, vertices);
    if (options.greedy_start) s_->greedy_start();
    return true;
  } catch (const std::bad_alloc&) {
    s_.reset();
    try {
      s_ = std::make_unique<State>();
      s_->status = ExactStatus::no_memory;
      s_->lower = lower;
      s_->best = lower_set;
    } catch (const std::bad_alloc&) {
    }
    return false;
  }
}

template <class V>
bool CliqueBB::init_whole(const SparseConflictGraph<V>& input, double lower, const std::vector<int>& lower_set,
                          const CliqueBBOptions& options) {
  std::vector<int> all;
  try {
    all.resize(static_cast<size_t>(input.n_vertex));
  } catch (const std::bad_alloc&) {
    s_.reset();
    return false;
  }
  for (int v = 0; v < input.n_vertex; v++) all[static_cast<size_t>(v)] = v;
  return init(input, all, lower, lower_set, options);
}

bool CliqueBB::init(const LoadedGraph& input, const std::vector<int>& vertices, double lower,
                    const std::vector<int>& lower_set, const CliqueBBOptions& options) {
  if (input.layout == GraphLayout::sparse16) return init(input.sparse16, vertices, lower, lower_set, options);
  if (input.layout == GraphLayout::sparse32) return init(input.sparse32, vertices, lower, lower_set, options);
  return false;
}

void CliqueBB::raise_lower(double weight, const std::vector<int>& set) {
  if (!s_ || !(weight > s_->lower)) return;
  try {
    s_->best = set;
  } catch (const std::bad_alloc&) {
    return;
  }
  s_->lower = weight;
  s_->sweep = true;
}

ExactStatus CliqueBB::run(Deadline& deadline, long long max_work) {
  if (!s_) return ExactStatus::no_memory;
  State& st = *s_;
  if (st.status != ExactStatus::interrupted) return st.status;
  st.deadline = &deadline;
  st.stopped = false;
  st.work_limit = max_work >= LLONG_MAX - st.total_work ? LLONG_MAX : st.total_work + max_work;
  try {
    while (st.next < st.k) {
      if (st.total_work >= st.work_limit || deadline.expired()) return st.status;
      if (st.sweep) st.sweep_all();
      const bool forward = st.opt.order == SubproblemOrder::degeneracy;
      const int v = forward ? st.next : st.k - 1 - st.next;
      if (!st.alive[static_cast<size_t>(v)] || st.removable(st.bound[static_cast<size_t>(v)])) {
        if (st.alive[static_cast<size_t>(v)]) st.remove(v);
        st.stats.skipped++;
        st.next++;
        continue;
      }
      if (!st.solve(v)) return st.status;
      st.stats.solved++;
      // In the degeneracy order every clique through v has now been seen.
      if (forward) st.remove(v);
      st.next++;
    }
    st.status = ExactStatus::proven;
  } catch (const std::bad_alloc&) {
    st.status = ExactStatus::no_memory;
  }
  return st.status;
}

ExactStatus CliqueBB::status() const { return s_ ? s_->status : ExactStatus::no_memory; }
double CliqueBB::best_weight() const { return s_ ? s_->lower : 0.0; }
const std::vector<int>& CliqueBB::best_set() const {
  static const std::vector<int> none;
  return s_ ? s_->best : none;
}
long long CliqueBB::work() const { return s_ ? s_->total_work : 0; }
const CliqueBBStats& CliqueBB::stats() const {
  static const CliqueBBStats none;
  return s_ ? s_->stats : none;
}

template bool CliqueBB::init(const SparseConflictGraph<uint16_t>&, const std::vector<int>&, double,
                             const std::vector<int>&, const CliqueBBOptions&);
template bool CliqueBB::init(const SparseConflictGraph<uint32_t>&, const std::vector<int>&, double,
                             const std::vector<int>&, const CliqueBBOptions&);
template bool CliqueBB::init_whole(const SparseConflictGraph<uint16_t>&, double, const std::vector<int>&,
                                   const CliqueBBOptions&);
template bool CliqueBB::init_whole(const SparseConflictGraph<uint32_t>&, double, const std::vector<int>&,
                                   const CliqueBBOptions&);

}  // namespace mavu::exact
