// Helpers of the search-core tests: input graphs described by their
// conflicts (the complement is what the search sees) and an initialised
// search state with the scripted generator.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mavu/search.h"
#include "support.h"

using Sparse16 = SparseConflictGraph<uint16_t>;
using Sparse32 = SparseConflictGraph<uint32_t>;

// Both programs on the bit matrix, and on the compressed layout in either width.
using CoreProfiles = ::testing::Types<Mavu1Profile, Mavu2Profile, WithLayout<Mavu1Profile, Sparse16>,
                                      WithLayout<Mavu2Profile, Sparse32>>;
struct CoreProfileNames {
  template <class P>
  static std::string GetName(int) {
    const std::string program = std::derived_from<P, Mavu1Profile> ? "Mavu1" : "Mavu2";
    using G = graph_of_t<P>;
    return program + (G::kDense ? "Dense" : sizeof(typename G::vertex_type) == 2 ? "Sparse16" : "Sparse32");
  }
};

// Input graph on n vertices whose conflict graph has exactly the given pairs.
inline InputGraph with_conflicts(int n, const std::vector<std::pair<int, int>>& conflicts,
                                 std::vector<double> weights) {
  std::set<std::pair<int, int>> c;
  for (auto [a, b] : conflicts) c.insert({std::min(a, b), std::max(a, b)});
  InputGraph in;
  in.n = n;
  in.weights = std::move(weights);
  for (int i = 0; i < n; i++)
    for (int j = i + 1; j < n; j++)
      if (!c.count({i, j})) in.add_edge(i, j);
  return in;
}

// No conflicts: every gain is the vertex weight, and after init_data every
// vertex waits in pos_lst in ascending order, so weights script a list's gains.
inline InputGraph no_conflicts(std::vector<double> weights) {
  const int n = static_cast<int>(weights.size());
  return with_conflicts(n, {}, std::move(weights));
}

template <class P>
struct Core {
  graph_of_t<P> g;
  SearchState<P, ScriptedRng> s;

  explicit Core(const InputGraph& in, const SearchParams& params = {}) {
    build(g, in);
    EXPECT_TRUE(init_data(s, g, params));
  }
  void add(std::initializer_list<int> vs) {
    for (int v : vs) expand(s, v);
  }
  std::vector<int> members() const { return items(s.cur_c_set); }
  ScriptedRng& rng() { return s.rng; }
};
