// Shared helpers of the test suite: a scripted generator that records its
// draws, input graphs built in memory, and capture of a function's output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/audit.h"
#include "readers/loader.h"

// Generator substitute: scripted values first, then a fixed sequence.  Every
// value returned is recorded, so tests check the number and order of draws.
struct ScriptedRng {
  std::deque<int> script;
  std::vector<int> drawn;
  unsigned fallback = 12345;

  void seed(unsigned) {}
  int operator()() {
    int r;
    if (!script.empty()) {
      r = script.front();
      script.pop_front();
    } else {
      fallback = fallback * 1103515245u + 12345u;
      r = static_cast<int>((fallback >> 1) & 0x7fffffff);
    }
    drawn.push_back(r);
    return r;
  }
  size_t draws() const { return drawn.size(); }
};

// Input graph: n vertices, 0-based input edges, weights (empty: the defaults).
struct InputGraph {
  int n = 0;
  std::vector<int> edges;  // pairs
  std::vector<double> weights;
  void add_edge(int a, int b) { edges.insert(edges.end(), {a, b}); }
};

inline void build(ConflictGraph& g, const InputGraph& in) {
  ASSERT_TRUE(build_conflict_graph(g, in.n, in.edges.data(), static_cast<long long>(in.edges.size() / 2),
                                   in.weights.empty() ? nullptr : in.weights.data()));
}

// The compressed layout is built from the conflicts themselves, listed in
// a scrambled order and direction, so its builder is exercised too.
template <class V>
void build(SparseConflictGraph<V>& g, const InputGraph& in) {
  std::vector<char> adjacent(static_cast<size_t>(in.n) * static_cast<size_t>(in.n), 0);
  for (size_t k = 0; k + 1 < in.edges.size(); k += 2)
    adjacent[static_cast<size_t>(in.edges[k]) * static_cast<size_t>(in.n) + static_cast<size_t>(in.edges[k + 1])] =
        adjacent[static_cast<size_t>(in.edges[k + 1]) * static_cast<size_t>(in.n) + static_cast<size_t>(in.edges[k])] =
            1;
  std::vector<ConflictPair> pairs;
  for (int i = 0; i < in.n; i++)
    for (int j = i + 1; j < in.n; j++)
      if (!adjacent[static_cast<size_t>(i) * static_cast<size_t>(in.n) + static_cast<size_t>(j)])
        pairs.push_back((i + j) % 2 ? ConflictPair{static_cast<uint32_t>(i), static_cast<uint32_t>(j)}
                                    : ConflictPair{static_cast<uint32_t>(j), static_cast<uint32_t>(i)});
  std::shuffle(pairs.begin(), pairs.end(), std::mt19937(static_cast<unsigned>(in.n)));
  ASSERT_EQ(sparse_from_pairs(g, in.n, pairs.data(), static_cast<long long>(pairs.size()),
                              in.weights.empty() ? nullptr : in.weights.data()),
            0);
}

// G(n, p) with integer weights 1..20, or fractional weights when `fractional`.
inline InputGraph random_input_graph(int n, double p, unsigned seed, bool fractional) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  InputGraph in;
  in.n = n;
  for (int i = 0; i < n; i++)
    for (int j = i + 1; j < n; j++)
      if (coin(gen) < p) in.add_edge(i, j);
  for (int i = 0; i < n; i++)
    in.weights.push_back(fractional ? 0.1 + std::uniform_real_distribution<double>(0.0, 10.0)(gen)
                                    : static_cast<double>(1 + gen() % 20));
  return in;
}

inline std::vector<int> items(const ST_RandAccessList* l) { return {l->vlist, l->vlist + l->vnum}; }

// What `write(FILE*)` writes.
template <class F>
std::string capture(F&& write) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  if (!f) return "<open_memstream failed>";
  write(f);
  std::fclose(f);
  std::string out(buf, len);
  std::free(buf);
  return out;
}

// The report that ends a run's standard output (default seed, depth and
// probability): the program's heading, the set in ascending order, which is a
// clique of `instance` whose weight is the block's #objv, and the result
// block.  Returns the report's lines from the heading on.
inline std::vector<std::string> verified_report(const std::string& out, const std::string& instance, bool mavu1) {
  std::vector<std::string> l;
  std::istringstream in(out.substr(std::min(out.size(), out.find("\nFinal") + 1)));
  for (std::string line; std::getline(in, line);) l.push_back(line);
  std::vector<int> set;
  std::istringstream set_line(l.size() == 11 ? l[1] : "");
  for (int v; set_line >> v;) set.push_back(v);
  EXPECT_TRUE(l.size() == 11 && !set.empty()) << out;
  if (l.size() != 11) return l;
  EXPECT_EQ(l[0], mavu1 ? "Final result(size " + std::to_string(set.size()) + "):" : "Final solution:");
  EXPECT_EQ(l[2] + "|" + l[3] + "|" + l[4] + "|" + l[5] + "|" + l[6] + "|" + l[7],
            std::string("|$seed=533875888|@solver=") + (mavu1 ? "mwcp" : "mavu2") + "|@para_file=" + instance +
                "|@para_depth=4000|@para_direct_prob=70");
  EXPECT_TRUE(l[8].starts_with("#objv=") && l[9].starts_with("#bestiter=") && l[10].starts_with("#besttime="));
  ConflictGraph g;
  EXPECT_EQ(load_conflict_graph(instance.c_str(), g).status, LoadStatus::ok);
  double weight = 0;
  for (size_t i = 0; i < set.size(); i++) {
    EXPECT_TRUE(set[i] >= 0 && set[i] < g.n_vertex && (i == 0 || set[i - 1] < set[i])) << l[1];
    if (set[i] < 0 || set[i] >= g.n_vertex) return l;
    for (size_t j = 0; j < i; j++) EXPECT_FALSE(g.conflict(set[i], set[j])) << set[i] << " " << set[j];
    weight += g.v_weight[static_cast<size_t>(set[i])];
  }
  EXPECT_NEAR(weight, std::atof(l[8].c_str() + 6), 1e-4);
  return l;
}

// The graph as a DIMACS file with one `n` record per vertex (1-based).
inline std::string dimacs(const InputGraph& in) {
  std::string s = "p edge " + std::to_string(in.n) + " " + std::to_string(in.edges.size() / 2) + "\n";
  char buf[64];
  for (size_t v = 0; v < in.weights.size(); v++) {
    std::snprintf(buf, sizeof buf, "n %zu %.17g\n", v + 1, in.weights[v]);
    s += buf;
  }
  for (size_t k = 0; k + 1 < in.edges.size(); k += 2)
    s += "e " + std::to_string(in.edges[k] + 1) + " " + std::to_string(in.edges[k + 1] + 1) + "\n";
  return s;
}

// m distinct random edges on n vertices, weights (i mod 200) + 1: a sparse
// graph whose kernel is large and hard for every exact method.
inline InputGraph sparse_random_input_graph(int n, long long m, unsigned seed) {
  std::mt19937_64 gen(seed);
  InputGraph in;
  in.n = n;
  std::vector<std::vector<int>> seen(static_cast<size_t>(n));
  while (static_cast<long long>(in.edges.size() / 2) < m) {
    int a = static_cast<int>(gen() % static_cast<unsigned>(n)), b = static_cast<int>(gen() % static_cast<unsigned>(n));
    if (a == b) continue;
    if (a > b) std::swap(a, b);
    auto& s = seen[static_cast<size_t>(a)];
    if (std::find(s.begin(), s.end(), b) != s.end()) continue;
    s.push_back(b);
    in.add_edge(a, b);
  }
  for (int i = 0; i < n; i++) in.weights.push_back(static_cast<double>(i % 200 + 1));
  return in;
}
