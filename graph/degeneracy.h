// Core numbers and the degeneracy order of a graph given as lists, by bucket
// peeling: the vertex of least remaining degree goes next.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Vertices 0..k-1, the list of i at adj[off[i] .. off[i+1]).  Gives core[i],
// the core number of i; vert, the vertices in peeling order; pos[i], the
// place of i in vert.  bin is scratch.
inline void core_peeling(int k, const long long* off, const int* adj, std::vector<int>& core,
                         std::vector<int>& vert, std::vector<int>& pos, std::vector<int>& bin) {
  const size_t n = static_cast<size_t>(k);
  core.assign(n, 0);
  int max_deg = 0;
  for (size_t i = 0; i < n; i++) {
    core[i] = static_cast<int>(off[i + 1] - off[i]);
    max_deg = std::max(max_deg, core[i]);
  }
  bin.assign(static_cast<size_t>(max_deg) + 1, 0);
  for (size_t i = 0; i < n; i++) bin[static_cast<size_t>(core[i])]++;
  for (int d = 0, start = 0; d <= max_deg; d++) {
    const int c = bin[static_cast<size_t>(d)];
    bin[static_cast<size_t>(d)] = start;
    start += c;
  }
  pos.assign(n, 0);
  vert.assign(n, 0);
  for (size_t i = 0; i < n; i++) {
    pos[i] = bin[static_cast<size_t>(core[i])]++;
    vert[static_cast<size_t>(pos[i])] = static_cast<int>(i);
  }
  for (int d = max_deg; d > 0; d--) bin[static_cast<size_t>(d)] = bin[static_cast<size_t>(d) - 1];
  bin[0] = 0;
  for (size_t p = 0; p < n; p++) {
    const size_t i = static_cast<size_t>(vert[p]);
    for (long long e = off[i]; e < off[i + 1]; e++) {
      const size_t u = static_cast<size_t>(adj[e]);
      const int du = core[u];
      if (du > core[i]) {
        const int pu = pos[u], pw = bin[static_cast<size_t>(du)];
        const int x = vert[static_cast<size_t>(pw)];
        if (u != static_cast<size_t>(x)) {
          pos[u] = pw;
          vert[static_cast<size_t>(pu)] = x;
          pos[static_cast<size_t>(x)] = pu;
          vert[static_cast<size_t>(pw)] = static_cast<int>(u);
        }
        bin[static_cast<size_t>(du)]++;
        core[u]--;
      }
    }
  }
}
