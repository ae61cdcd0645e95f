#include "readers/loader.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "readers/dimacs.h"
#include "readers/input.h"
#include "readers/matrix_market.h"
#include "readers/metis.h"

namespace {

// Reads the header, lets the caller's choice of builder store the records.
// (A second graph layout would be chosen here, from the counts of the header.)
template <class Reader>
bool read_graph(Reader& reader, ConflictGraph& g, const LoadOptions& options) {
  long long n = 0, m = 0;
  if (!reader.read_header(n, m, options.max_vertices)) return false;
  if (options.mode == InstanceMode::independent_set) {
    DenseGraphBuilder<InstanceMode::independent_set> b(g);
    return reader.read_records(b, n, m);
  }
  DenseGraphBuilder<InstanceMode::clique> b(g);
  return reader.read_records(b, n, m);
}

// The format is recognised by the content: the Matrix Market banner on the
// first line (in any case, as its keywords); a METIS header (digits) as the first line that is neither
// blank nor a '%' comment; anything else is DIMACS, whose lines before the
// problem line may hold anything.  A UTF-8 byte-order mark is skipped.
template <class Run>
bool read_any_format(const char* path, InputText& in, Run&& run) {
  if (in.ensure(3) && std::memcmp(in.p, "\xEF\xBB\xBF", 3) == 0) in.p += 3;
  static constexpr char kBanner[] = "%%MatrixMarket";
  constexpr size_t kBannerLen = sizeof kBanner - 1;
  if (in.ensure(kBannerLen + 1) && strncasecmp(in.p, kBanner, kBannerLen) == 0 &&
      InputText::is_space(static_cast<unsigned char>(in.p[kBannerLen]))) {
    MatrixMarketReader reader(path, in);
    return run(reader);
  }
  bool inside_line = false;  // blanks of the current line were skipped
  for (int c; (c = in.peek()) >= 0;) {
    if (c == '%' && !inside_line) {
      in.skip_line();
    } else if (c == '\n') {
      in.get();
      inside_line = false;
    } else if (InputText::is_blank(c)) {
      in.get();
      inside_line = true;
    } else {
      break;
    }
  }
  const int c = in.peek();
  if (c >= '0' && c <= '9') {
    MetisReader reader(path, in);
    return run(reader);
  }
  DimacsReader reader(path, in, inside_line);
  return run(reader);
}

}  // namespace

bool parse_count_word(const char* s, size_t len, long long& out) {
  size_t i = 0;
  bool neg = false;
  if (i < len && (s[i] == '+' || s[i] == '-')) neg = (s[i++] == '-');
  if (i == len) return false;
  long long v = 0;
  for (; i < len; i++) {
    if (s[i] < '0' || s[i] > '9') return false;
    if (v < (1LL << 40)) v = v * 10 + (s[i] - '0');
  }
  out = neg ? -v : v;
  return true;
}

bool build_conflict_graph(ConflictGraph& g, int n, const int* edges, long long m, const double* weights) {
  if (n < 1 || n > kMaxVertices || m < 0 || m > static_cast<long long>(n) * (n - 1) / 2) return false;
  DenseGraphBuilder<InstanceMode::clique> b(g);
  if (!b.begin(n, m)) return false;
  if (weights)
    for (int j = 0; j < n; j++) b.set_weight(j, weights[j]);
  for (long long k = 0; k < m; k++) {
    const int x = edges[2 * k], y = edges[2 * k + 1];
    if (x < 0 || x >= n || y < 0 || y >= n || x == y) return false;
    if (!b.add_edge(x, y)) return false;
  }
  return b.finish();
}

bool parse_layout_request(const char* text, LayoutRequest& out) {
  if (!text || !*text || std::strcmp(text, "auto") == 0) out = LayoutRequest::automatic;
  else if (std::strcmp(text, "dense") == 0) out = LayoutRequest::dense;
  else if (std::strcmp(text, "sparse") == 0) out = LayoutRequest::sparse;
  else return false;
  return true;
}

bool conflict_graph_too_large(long long n, long long m) {
  if (n > kMaxVertices) return true;
  const long long pairs = n * (n - 1) / 2;
  return conflict_graph_bytes(n, pairs - std::min(std::max(m, 0LL), pairs)) > kMaxConflictBytes;
}

bool reduced_by_default(long long n, long long m) {
  if (conflict_graph_too_large(n, m)) return true;
  return n >= kReduceMinVertices && 2 * m * kReduceDegreeDivisor < n * n;
}

GraphLayout choose_layout(long long n, long long n_edge, LayoutRequest request) {
  const GraphLayout sparse = n <= kMaxVertices16 ? GraphLayout::sparse16 : GraphLayout::sparse32;
  if (request == LayoutRequest::dense) return GraphLayout::dense;
  if (request == LayoutRequest::sparse || n > kMaxVertices) return sparse;
  // Measured (docs/layouts.md): the compressed layout is the faster
  // one about where its lists take less room than the bit matrix, that is
  // where the average conflict degree is below n/16.
  return 2 * n_edge * kSparseDegreeDivisor < n * n ? sparse : GraphLayout::dense;
}

namespace {

std::string no_memory(const char* path, long long n, long long n_edge, unsigned long long bytes) {
  char buf[160];
  std::snprintf(buf, sizeof buf, ": cannot allocate memory for the instance: %lld vertices and %lld conflict edges need %.1f MiB",
                n, n_edge, static_cast<double>(bytes) / (1024.0 * 1024.0));
  return path + std::string(buf);
}

// Reads one file into the layout chosen from its header.  `repeat` is set to
// the record of the first repeated edge when the compressed layout found one
// in a format that forbids repeats (the caller then has the reader name it).
template <class Reader>
bool read_any_layout(Reader& reader, LoadedGraph& g, const LoadOptions& options, long long& repeat) {
  long long n = 0, m = 0;
  const bool independent = options.mode == InstanceMode::independent_set;
  const bool may_read_input = !independent && options.clique_read != CliqueRead::conflict_graph;
  const int max_vertices =
      (independent && options.layout != LayoutRequest::dense) || may_read_input ? 2147483647 : kMaxVertices;
  if (!reader.read_header(n, m, max_vertices)) return false;
  g.input_graph = may_read_input && (options.clique_read == CliqueRead::input_graph || reduced_by_default(n, m));
  if (!independent && !g.input_graph) {
    g.layout = choose_layout(n, n * (n - 1) / 2 - m, options.layout);
    DenseGraphBuilder<InstanceMode::clique> b(g.dense);
    if (!reader.read_records(b, n, m)) return false;
    if (g.layout == GraphLayout::dense) return true;
    // The bit matrix built the conflict lists; they move to the compressed layout.
    g.layout = GraphLayout::sparse16;
    const long long n_edge = g.dense.n_edge;
    if (sparse_from_dense(g.sparse16, g.dense)) return true;
    reader.message() = no_memory(reader.path(), n, n_edge,
                                 conflict_graph_bytes(n, n_edge) + sparse_graph_bytes<uint16_t>(n, n_edge));
    reader.set_memory_short();
    return false;
  }
  g.layout = choose_layout(n, m, g.input_graph ? LayoutRequest::sparse : options.layout);
  auto read_sparse = [&](auto& graph) {
    SparseGraphBuilder<typename std::remove_reference_t<decltype(graph)>::vertex_type> b(graph);
    if (!reader.read_records(b, n, m)) return false;
    if constexpr (std::is_same_v<Reader, DimacsReader>) repeat = b.first_repeat();
    return repeat == 0;
  };
  if (g.layout == GraphLayout::sparse16) return read_sparse(g.sparse16);
  if (g.layout == GraphLayout::sparse32) return read_sparse(g.sparse32);
  DenseGraphBuilder<InstanceMode::independent_set> b(g.dense);
  return reader.read_records(b, n, m);
}

}  // namespace

namespace {

// Opens `path` and has `read(reader)` read it with the reader of its format;
// the reader's message becomes the result's.
template <class Read>
LoadResult read_file(const char* path, Read&& read) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {LoadStatus::cannot_open, std::string("Can not open file ") + path};
  InputText in(fd);
  if (!in.init()) return {LoadStatus::out_of_memory, std::string(path) + ": " + in.failure()};
  std::string message;
  bool memory_short = false;
  bool ok = false;
  // The readers' own containers report a lack of memory by std::bad_alloc;
  // it ends the reading here, as a status like every other.
  try {
    ok = read_any_format(path, in, [&](auto& reader) {
      const bool done = read(reader);
      message = std::move(reader.message());
      memory_short = reader.memory_short();
      return done;
    });
  } catch (const std::bad_alloc&) {
    return {LoadStatus::out_of_memory, std::string(path) + ": cannot allocate memory to read the instance"};
  }
  if (ok) return {LoadStatus::ok, {}};
  return {memory_short ? LoadStatus::out_of_memory : LoadStatus::invalid, std::move(message)};
}

}  // namespace

LoadResult load_graph(const char* path, LoadedGraph& g, const LoadOptions& options) {
  long long repeat = 0;
  LoadResult first = read_file(path, [&](auto& reader) { return read_any_layout(reader, g, options, repeat); });
  if (first.status == LoadStatus::ok || repeat == 0) return first;
  // The same file again, to have the reader report the repeat where it stands.
  bool located = false;
  LoadResult second = read_file(path, [&](auto& reader) {
    long long n = 0, m = 0;
    RepeatLocator locate{repeat};
    const bool read = reader.read_header(n, m, 2147483647) && reader.read_records(locate, n, m);
    located = locate.calls + 1 == repeat;
    return read;
  });
  if (located) return second;
  // A pipe, or a file that changed: it cannot be read as before.
  return {LoadStatus::invalid, std::string(path) + ": edge record " + std::to_string(repeat) +
                                   " repeats an earlier edge (the input could not be read a second time to name its line)"};
}

LoadResult load_conflict_graph(const char* path, ConflictGraph& g, const LoadOptions& options) {
  return read_file(path, [&](auto& reader) { return read_graph(reader, g, options); });
}
