// The two graph layouts side by side: for each instance and program, the
// same search on the bit matrix and on the compressed layout, their results
// (which must be identical) and iterations per CPU second.
//
//   layouts ITERATIONS REPEAT SOURCE...
//
// SOURCE is a clique instance file, or gen:N:DEGREE:SEED, a random conflict
// graph of N vertices and N*DEGREE/2 distinct conflict edges with the default
// weights (built in memory: its complement as a file would be too large).
// The bit matrix is skipped above 46341 vertices.  Prints one line per
// instance, program and layout: the median CPU seconds of REPEAT searches,
// iterations per second, the best weight and iteration, and whether the
// result equals the bit matrix's.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "readers/loader.h"
#include "mavu/search.h"

namespace {

FILE* out = stdout;

struct Result {
  double seconds = 0, weight = 0;
  int iter = 0;
  std::vector<int> set;
};

template <class State, class G>
Result search(const G& g, int iterations, int repeat) {
  std::vector<double> times;
  Result r;
  for (int k = 0; k < repeat; k++) {
    auto s = std::make_unique<State>();
    SearchParams p;
    p.para_max_iter = iterations;
    const std::clock_t t0 = std::clock();
    solve(*s, g, p);
    times.push_back(static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC);
    r.weight = s->best_weight;
    r.iter = s->best_iter;
    r.set.assign(s->best_vertex.begin(), s->best_vertex.begin() + s->best_size);
  }
  std::sort(times.begin(), times.end());
  r.seconds = times[times.size() / 2];
  return r;
}

void report(const std::string& source, const char* program, const char* layout, const Result& r, int iterations,
            const Result* dense) {
  std::fprintf(out, "%-28s %-6s %-9s %8.3f s %10.0f it/s  best %.5f at %d  %s\n", source.c_str(), program, layout,
               r.seconds, iterations / r.seconds, r.weight, r.iter,
               !dense ? "-" : (dense->weight == r.weight && dense->iter == r.iter && dense->set == r.set) ? "same"
                                                                                                         : "DIFFERENT");
}

template <class Sparse>
void compare(const std::string& source, const ConflictGraph* dense, const Sparse& sparse, int iterations, int repeat,
             const char* sparse_name) {
  Result d1, d2;
  if (dense) {
    d1 = search<Mavu1State<CRand>>(*dense, iterations, repeat);
    report(source, "mavu1", "dense", d1, iterations, nullptr);
  }
  const Result s1 = search<Mavu1State<CRand, Sparse>>(sparse, iterations, repeat);
  report(source, "mavu1", sparse_name, s1, iterations, dense ? &d1 : nullptr);
  if (dense) {
    d2 = search<Mavu2State<CRand>>(*dense, iterations, repeat);
    report(source, "mavu2", "dense", d2, iterations, nullptr);
  }
  const Result s2 = search<Mavu2State<CRand, Sparse>>(sparse, iterations, repeat);
  report(source, "mavu2", sparse_name, s2, iterations, dense ? &d2 : nullptr);
}

// Distinct random conflict pairs.
std::vector<ConflictPair> random_pairs(int n, long long count, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::set<std::pair<uint32_t, uint32_t>> seen;
  std::vector<ConflictPair> pairs;
  while (static_cast<long long>(pairs.size()) < count) {
    uint32_t a = static_cast<uint32_t>(gen() % static_cast<uint64_t>(n)),
             b = static_cast<uint32_t>(gen() % static_cast<uint64_t>(n));
    if (a == b || !seen.insert({std::min(a, b), std::max(a, b)}).second) continue;
    pairs.push_back({a, b});
  }
  return pairs;
}

// The bit matrix of given conflicts: only those bits set in the upper triangle.
bool dense_from_pairs(ConflictGraph& g, int n, const std::vector<ConflictPair>& pairs) {
  if (!graph_begin(g, n, false)) return false;
  for (const ConflictPair& p : pairs) {
    const uint32_t lo = std::min(p.a, p.b), hi = std::max(p.a, p.b);
    g.matrix_adj[lo * g.row_words + (hi >> 6)] |= uint64_t{1} << (hi & 63);
  }
  const long long all = static_cast<long long>(n) * (n - 1) / 2;
  return graph_finish(g, all - static_cast<long long>(pairs.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: layouts ITERATIONS REPEAT SOURCE...\n");
    return 2;
  }
  // The searches' progress lines go nowhere; the table goes to standard output.
  out = fdopen(dup(1), "w");
  if (!out || !std::freopen("/dev/null", "w", stdout)) return 2;
  const int iterations = std::atoi(argv[1]), repeat = std::atoi(argv[2]);
  for (int k = 3; k < argc; k++) {
    const std::string source = argv[k];
    if (source.starts_with("gen:")) {
      int n = 0, degree = 0;
      unsigned seed = 0;
      if (std::sscanf(source.c_str(), "gen:%d:%d:%u", &n, &degree, &seed) != 3) return 2;
      const std::vector<ConflictPair> pairs = random_pairs(n, static_cast<long long>(n) * degree / 2, seed);
      ConflictGraph dense;
      const bool with_dense = n <= kMaxVertices && dense_from_pairs(dense, n, pairs);
      if (n <= kMaxVertices16) {
        SparseConflictGraph<uint16_t> g;
        if (sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(pairs.size()), nullptr) != 0) return 1;
        compare(source, with_dense ? &dense : nullptr, g, iterations, repeat, "sparse16");
      } else {
        SparseConflictGraph<uint32_t> g;
        if (sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(pairs.size()), nullptr) != 0) return 1;
        compare(source, nullptr, g, iterations, repeat, "sparse32");
      }
    } else {
      ConflictGraph dense, copy;
      SparseConflictGraph<uint16_t> g;
      if (load_conflict_graph(source.c_str(), dense).status != LoadStatus::ok ||
          load_conflict_graph(source.c_str(), copy).status != LoadStatus::ok || !sparse_from_dense(g, copy))
        return 1;
      compare(source.substr(source.rfind('/') + 1), &dense, g, iterations, repeat, "sparse16");
    }
    std::fflush(out);
  }
  return 0;
}
