// Fuzz target of the instance readers: arbitrary bytes as an instance file.
// The bytes go through a real file descriptor (memfd) so that the loader's own
// read path is used.  Each input is loaded three times: as given, in
// independent-set mode, and gzip-compressed (unless it is gzip data already).
// The three loads must agree: the same status and message, complementary
// conflict graphs in the two modes, the same graph from the compressed text;
// and a built graph must keep every loader invariant.  Anything else aborts.
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "readers/loader.h"

namespace {

// The largest vertex count this target loads.  The matrix is quadratic in n,
// so a handful of bytes could otherwise ask for gigabytes per input; the
// loader's behaviour above this size is the same code with larger numbers.
constexpr int kFuzzMaxVertices = 2000;

[[noreturn]] void violated(const char* what, long a, long b) {
  std::fprintf(stderr, "loader invariant violated: %s (%ld, %ld)\n", what, a, b);
  std::abort();
}

void check_graph(const ConflictGraph& g) {
  const long long n = g.n_vertex;
  if (n < 1 || n > kFuzzMaxVertices) violated("vertex count out of range", g.n_vertex, 0);
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

// The loader's message names the file; the three loads read different files.
std::string without_path(const std::string& message, const char* path) {
  const size_t len = std::strlen(path);
  return message.compare(0, len, path) == 0 ? message.substr(len) : "<no path> " + message;
}

struct Load {
  LoadResult result;
  ConflictGraph g;
};

void load_bytes(const uint8_t* data, size_t size, InstanceMode mode, Load& out) {
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
  out.result = load_conflict_graph(path, out.g, {mode, kFuzzMaxVertices});
  if (out.result.status == LoadStatus::cannot_open) violated("an existing file was not opened", 0, 0);
  if (out.result.status == LoadStatus::ok) check_graph(out.g);
  out.result.message = without_path(out.result.message, path);
}

std::vector<uint8_t> gzip(const uint8_t* data, size_t size) {
  z_stream z{};
  if (deflateInit2(&z, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
  std::vector<uint8_t> out(deflateBound(&z, size) + 64);
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool same_graph(const ConflictGraph& a, const ConflictGraph& b, bool complementary) {
  if (a.n_vertex != b.n_vertex) return false;
  for (int i = 0; i < a.n_vertex; i++) {
    if (a.v_weight[i] != b.v_weight[i]) return false;
    for (int j = 0; j < a.n_vertex; j++)
      if (i != j && (a.conflict(i, j) != b.conflict(i, j)) != complementary) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Load plain, independent, compressed;
  load_bytes(data, size, InstanceMode::clique, plain);
  load_bytes(data, size, InstanceMode::independent_set, independent);
  if (plain.result.status != independent.result.status || plain.result.message != independent.result.message)
    violated("the two modes disagree on the input", static_cast<long>(plain.result.status),
             static_cast<long>(independent.result.status));
  if (plain.result.status == LoadStatus::ok && !same_graph(plain.g, independent.g, true))
    violated("the independent-set mode's graph is not the complement", plain.g.n_vertex, 0);
  if (size >= 2 && data[0] == 0x1f && data[1] == 0x8b) return 0;
  const std::vector<uint8_t> gz = gzip(data, size);
  load_bytes(gz.data(), gz.size(), InstanceMode::clique, compressed);
  if (plain.result.status != compressed.result.status || plain.result.message != compressed.result.message) {
    std::fprintf(stderr, "plain: %s\ngzip:  %s\n", plain.result.message.c_str(), compressed.result.message.c_str());
    violated("the compressed text loads differently", static_cast<long>(plain.result.status),
             static_cast<long>(compressed.result.status));
  }
  if (plain.result.status == LoadStatus::ok && !same_graph(plain.g, compressed.g, false))
    violated("the compressed text gives another graph", plain.g.n_vertex, 0);
  return 0;
}
