// Fuzz target of the instance loader: arbitrary bytes as an instance file.
// The bytes go through a real file descriptor (memfd) so that the loader's own
// read path is used.  A load either fails with a diagnostic or leaves a
// conflict graph that satisfies every loader invariant; anything else aborts.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "readers/loader.h"

namespace {

// The largest vertex count this target loads.  The matrix is quadratic in n,
// so a handful of bytes could otherwise ask for gigabytes per input; the
// loader's behaviour above this size is the same code with larger numbers.
constexpr long long kFuzzMaxVertices = 2000;

bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Cheap pre-scan: the counts of the first line that starts with 'p'.
// Returns false when there is no such line or its vertex count is unreadable.
bool announced_counts(const uint8_t* data, size_t size, long long& n, long long& m) {
  size_t pos = 0;
  while (pos < size && data[pos] != 'p') {
    const void* nl = std::memchr(data + pos, '\n', size - pos);
    if (!nl) return false;
    pos = static_cast<size_t>(static_cast<const uint8_t*>(nl) - data) + 1;
  }
  if (pos >= size) return false;
  size_t end = pos;
  while (end < size && data[end] != '\n') end++;
  const uint8_t* words[4];
  size_t lens[4];
  int count = 0;
  for (size_t i = pos; i < end && count < 4;) {
    while (i < end && is_space(data[i])) i++;
    if (i == end) break;
    size_t start = i;
    while (i < end && !is_space(data[i])) i++;
    words[count] = data + start;
    lens[count++] = i - start;
  }
  if (count < 3 || !parse_count_word(reinterpret_cast<const char*>(words[2]), lens[2], n)) return false;
  m = 0;
  if (count == 4 && !parse_count_word(reinterpret_cast<const char*>(words[3]), lens[3], m)) m = -1;
  return true;
}

[[noreturn]] void violated(const char* what, long a, long b) {
  std::fprintf(stderr, "loader invariant violated: %s (%ld, %ld)\n", what, a, b);
  std::abort();
}

void check_graph(const ConflictGraph& g, long long n, long long m) {
  if (g.n_vertex != n) violated("n_vertex differs from the problem line", g.n_vertex, static_cast<long>(n));
  if (g.n_edge != n * (n - 1) / 2 - m) violated("n_edge is not n(n-1)/2 - m", g.n_edge, static_cast<long>(m));
  long long degree_sum = 0;
  for (int i = 0; i < g.n_vertex; i++) {
    if (g.conflict(i, i)) violated("diagonal entry set", i, i);
    int deg = 0;
    for (int j = 0; j < g.n_vertex; j++) {
      if (g.conflict(i, j) != g.conflict(j, i)) violated("matrix not symmetric", i, j);
      if (!g.conflict(i, j)) continue;
      if (deg >= g.v_edge_count[i] || g.v_adj[i][deg] != j) violated("v_adj is not the ascending row", i, j);
      deg++;
    }
    if (deg != g.v_edge_count[i]) violated("v_edge_count differs from the row", i, deg);
    degree_sum += deg;
    const double w = g.v_weight[i];
    if (!std::isfinite(w) || !(w > 0)) violated("weight not finite and positive", i, 0);
  }
  if (degree_sum != 2LL * g.n_edge) violated("degrees do not add up to 2 n_edge", static_cast<long>(degree_sum), g.n_edge);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  long long n = 0, m = 0;
  const bool announced = announced_counts(data, size, n, m);
  if (announced && n > kFuzzMaxVertices && n <= kMaxVertices) return -1;  // not added to the corpus

  static int fd = -1;
  if (fd < 0) {
    fd = memfd_create("instance", 0);
    if (fd < 0) {
      std::perror("memfd_create");
      std::abort();
    }
  }
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
    std::perror("writing the instance");
    std::abort();
  }
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

  ConflictGraph g;
  const LoadStatus st = load_conflict_graph(path, g).status;
  if (st == LoadStatus::cannot_open) violated("an existing file was not opened", 0, 0);
  if (st == LoadStatus::ok) {
    if (!announced) violated("loaded without a readable problem line", 0, 0);
    check_graph(g, n, m);
  }
  return 0;
}
