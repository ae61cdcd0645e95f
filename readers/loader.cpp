#include "readers/loader.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <string>

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

LoadResult load_conflict_graph(const char* path, ConflictGraph& g, const LoadOptions& options) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {LoadStatus::cannot_open, std::string("Can not open file ") + path};
  InputText in(fd);
  if (!in.init()) return {LoadStatus::invalid, std::string(path) + ": " + in.failure()};
  std::string message;
  const bool ok = read_any_format(path, in, [&](auto& reader) {
    const bool read = read_graph(reader, g, options);
    message = std::move(reader.message());
    return read;
  });
  return {ok ? LoadStatus::ok : LoadStatus::invalid, std::move(message)};
}
