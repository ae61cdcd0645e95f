// Shared helpers of the test suite: small and random graphs, a scripted
// random generator that counts its draws, and state builders.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/audit.h"
#include "core/graph.h"
#include "frontend/loader.h"

// Generator substitute: returns scripted values first (then falls back to a
// fixed sequence), and records every draw, so tests can check the number and
// order of draws.
struct ScriptedRng {
  std::deque<int> script;   // values returned first, in order
  std::vector<int> drawn;   // every value returned
  unsigned seeded = 0;
  int seeds = 0;
  unsigned fallback = 12345;

  void seed(unsigned s) {
    seeded = s;
    seeds++;
  }
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

// Input graph in memory: n vertices, 0-based input edges, optional weights.
struct InputGraph {
  int n = 0;
  std::vector<int> edges;  // pairs
  std::vector<double> weights;

  void add_edge(int a, int b) {
    edges.push_back(a);
    edges.push_back(b);
  }
};

// Builds the conflict graph of `in` into g (asserting success).
inline void build(ConflictGraph& g, const InputGraph& in) {
  ASSERT_TRUE(build_conflict_graph(g, in.n, in.edges.data(), static_cast<long long>(in.edges.size() / 2),
                                   in.weights.empty() ? nullptr : in.weights.data()));
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
