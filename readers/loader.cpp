#include "readers/loader.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Reads the input in large blocks (works for pipes too).  The unread bytes
// are [p, end) and *end is always a NUL sentinel, so scanners stop at the end
// of the buffer without a bounds test.
class Reader {
 public:
  explicit Reader(int fd) : fd_(fd) {}
  ~Reader() {
    std::free(buf_);
    if (fd_ >= 0) ::close(fd_);
  }
  bool init() {
    buf_ = static_cast<char*>(std::malloc(kBlock + 1));
    if (!buf_) return false;
    p = end = buf_;
    *end = '\0';
    return true;
  }
  // Makes at least `want` unread bytes available unless the input ends first.
  bool ensure(size_t want) {
    if (static_cast<size_t>(end - p) >= want) return true;
    if (eof_) return false;
    const size_t have = static_cast<size_t>(end - p);
    std::memmove(buf_, p, have);  // p points into buf_
    p = buf_;
    end = buf_ + have;
    while (static_cast<size_t>(end - p) < want && !eof_) {
      ssize_t r = ::read(fd_, end, kBlock - static_cast<size_t>(end - buf_));
      if (r > 0) {
        end += r;
      } else if (r < 0 && errno == EINTR) {
        continue;
      } else {
        if (r < 0) read_errno_ = errno;
        eof_ = true;
      }
    }
    *end = '\0';
    return static_cast<size_t>(end - p) >= want;
  }
  // Next byte without consuming it, or -1 at the end of the input.
  int peek() {
    if (p == end && !ensure(1)) return -1;
    return static_cast<unsigned char>(*p);
  }
  int get() {
    int c = peek();
    if (c >= 0) {
      p++;
      if (c == '\n') line_++;
    }
    return c;
  }
  void skip_space() {
    for (;;) {
      int c = peek();
      if (c < 0 || !is_space(c)) return;
      get();
    }
  }
  void count_line() { line_++; }
  long line() const { return line_; }
  int read_errno() const { return read_errno_; }

  static bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

  static constexpr size_t kBlock = 1 << 20;
  const char* p = nullptr;  // next unread byte
  char* end = nullptr;      // end of the unread bytes (points at the sentinel)

 private:
  int fd_;
  char* buf_ = nullptr;
  bool eof_ = false;
  int read_errno_ = 0;
  long line_ = 1;
};

class Loader {
 public:
  Loader(const char* path, ConflictGraph& g, Reader& in) : path_(path), g_(g), in_(in) {}
  LoadStatus run();
  std::string& message() { return message_; }

 private:
  LoadStatus fail(long line, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  bool find_problem_line(std::string& line);
  bool parse_problem_line(const std::string& line, long long& n, long long& m);
  // Record parsing; every number must be followed by a blank, a line end or the end of the file.
  enum class Tok { ok, eof, bad, too_long };
  Tok read_word(char& first);
  Tok read_int(long long& value);
  Tok read_double(double& value, std::string& text);
  bool out_of_memory(long long n, long long m);
  bool fast_edge_record(long long n);

  const char* path_;
  ConflictGraph& g_;
  Reader& in_;
  long problem_line_no_ = 0;
  std::string message_;
};

LoadStatus Loader::fail(long line, const char* fmt, ...) {
  message_ = path_;
  message_ += ':';
  if (line > 0) message_ += std::to_string(line) + ':';
  message_ += ' ';
  char text[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  message_ += text;
  return LoadStatus::invalid;
}

// Header lines are read whole, whatever their length, so that a long comment
// can never be taken for the problem line.  Only a line whose first character
// is 'p' is the problem line.  The problem line itself is kept up to a sane
// length; its counts lie at its start.
bool Loader::find_problem_line(std::string& line) {
  constexpr size_t kKeep = 1 << 16;
  for (;;) {
    problem_line_no_ = in_.line();
    int c = in_.get();
    if (c < 0) return false;
    bool problem = (c == 'p');
    line.clear();
    while (c >= 0 && c != '\n') {
      if (problem && line.size() < kKeep) line.push_back(static_cast<char>(c));
      c = in_.get();
    }
    if (problem) return true;
  }
}


bool Loader::parse_problem_line(const std::string& line, long long& n, long long& m) {
  // Words: "p", the format word (not examined), n, and m (0 when absent).
  const char* s = line.c_str();
  size_t len = line.size(), i = 0;
  std::string words[4];
  int count = 0;
  while (count < 4) {
    while (i < len && Reader::is_space(static_cast<unsigned char>(s[i]))) i++;
    if (i == len) break;
    size_t start = i;
    while (i < len && !Reader::is_space(static_cast<unsigned char>(s[i]))) i++;
    words[count++].assign(s + start, i - start);
  }
  long pline = problem_line_no_;
  if (count < 3) {
    fail(pline, "the problem line lacks the vertex count (expected \"p <format> <vertices> <edges>\")");
    return false;
  }
  if (!parse_count_word(words[2].data(), words[2].size(), n)) {
    fail(pline, "the vertex count \"%.40s\" of the problem line is not a number", words[2].c_str());
    return false;
  }
  m = 0;
  if (count == 4 && !parse_count_word(words[3].data(), words[3].size(), m)) {
    fail(pline, "the edge count \"%.40s\" of the problem line is not a number", words[3].c_str());
    return false;
  }
  if (n <= 0) {
    fail(pline, "the problem line announces %lld vertices; at least 1 is needed", n);
    return false;
  }
  if (n > kMaxVertices) {
    fail(pline, "the problem line announces %lld vertices; at most %d are supported", n, kMaxVertices);
    return false;
  }
  long long max_m = n * (n - 1) / 2;
  if (m < 0 || m > max_m) {
    fail(pline, "the problem line announces %lld edges; a graph of %lld vertices has between 0 and %lld", m, n,
         max_m);
    return false;
  }
  return true;
}

Loader::Tok Loader::read_word(char& first) {
  in_.skip_space();
  int c = in_.get();
  if (c < 0) return Tok::eof;
  first = static_cast<char>(c);
  int len = 1;
  while ((c = in_.peek()) >= 0 && !Reader::is_space(c)) {
    in_.get();
    len++;
  }
  return len > 99 ? Tok::too_long : Tok::ok;
}

Loader::Tok Loader::read_int(long long& value) {
  in_.skip_space();
  int c = in_.peek();
  if (c < 0) return Tok::eof;
  bool neg = false;
  if (c == '+' || c == '-') {
    neg = (c == '-');
    in_.get();
    c = in_.peek();
  }
  if (c < '0' || c > '9') return Tok::bad;
  long long v = 0;
  while (c >= '0' && c <= '9') {
    if (v < (1LL << 40)) v = v * 10 + (c - '0');
    in_.get();
    c = in_.peek();
  }
  if (c >= 0 && !Reader::is_space(c)) return Tok::bad;
  value = neg ? -v : v;
  return Tok::ok;
}

Loader::Tok Loader::read_double(double& value, std::string& text) {
  in_.skip_space();
  int c = in_.peek();
  if (c < 0) return Tok::eof;
  text.clear();
  while ((c = in_.peek()) >= 0 && !Reader::is_space(c)) {
    if (text.size() < 400) text.push_back(static_cast<char>(c));
    in_.get();
  }
  if (text.size() >= 400) return Tok::bad;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return (end == text.c_str() + text.size()) ? Tok::ok : Tok::bad;
}

bool Loader::out_of_memory(long long n, long long m) {
  g_.matrix_adj.release();
  g_.adj_store.release();
  const long long n_edge = n * (n - 1) / 2 - m;
  fail(0, "cannot allocate memory for the instance: %lld vertices and %lld conflict edges need %.1f MiB", n, n_edge,
       static_cast<double>(conflict_graph_bytes(n, n_edge)) / (1024.0 * 1024.0));
  return false;
}

// The common record "e <a> <b>\n" (single blanks, vertex numbers of at most
// five digits).  Any other shape returns false without consuming anything,
// and the general record reader takes over, so both accept exactly the same
// input.  Plain digit loops beat branch-free (SWAR) parsing here: with
// predicted branches the next record's position does not wait for the
// digits to be decoded.
bool Loader::fast_edge_record(long long n) {
  in_.ensure(64);  // a whole fast-path record (at most 16 bytes) is buffered unless the input ends first
  const char* p = in_.p;
  if (p[0] != 'e' || p[1] != ' ') return false;
  unsigned a = 0, b = 0, la = 0, lb = 0;
  const char* const pa = p + 2;  // the sentinel or any non-digit ends a number
  while (la < 6 && pa[la] >= '0' && pa[la] <= '9') a = a * 10 + static_cast<unsigned>(pa[la++] - '0');
  if (la == 0 || la > 5 || pa[la] != ' ') return false;
  const char* const q = pa + la + 1;
  while (lb < 6 && q[lb] >= '0' && q[lb] <= '9') b = b * 10 + static_cast<unsigned>(q[lb++] - '0');
  if (lb == 0 || lb > 5 || q[lb] != '\n') return false;
  if (a < 1 || a > n || b < 1 || b > n || a == b) return false;  // let the general path report it
  if (!graph_clear_pair(g_, static_cast<int>(a - 1), static_cast<int>(b - 1))) return false;
  in_.p = q + lb + 1;
  in_.count_line();
  return true;
}

LoadStatus Loader::run() {
  std::string pline;
  if (!find_problem_line(pline)) {
    if (in_.read_errno()) return fail(0, "cannot read the file: %s", std::strerror(in_.read_errno()));
    return fail(0, "no problem line (\"p <format> <vertices> <edges>\") found");
  }
  long long n = 0, m = 0;
  if (!parse_problem_line(pline, n, m)) return LoadStatus::invalid;
  if (!graph_begin(g_, static_cast<int>(n))) {
    out_of_memory(n, m);
    return LoadStatus::invalid;
  }

  // Exactly m edge records: a word whose first letter is 'e' and two vertex numbers.
  for (long long rec = 1; rec <= m; rec++) {
    if (fast_edge_record(n)) continue;
    char kind = 0;
    long long a = 0, b = 0;
    Tok t = read_word(kind);
    if (t == Tok::eof)
      return fail(in_.line(), "the file ends after %lld of the %lld announced edge records", rec - 1, m);
    long line = in_.line();
    if (t == Tok::too_long) return fail(line, "edge record %lld: its first word is longer than 99 characters", rec);
    if (kind != 'e')
      return fail(line, "record %lld of the %lld announced edge records is not an edge record (it begins with '%c')",
                  rec, m, kind);
    Tok ta = read_int(a);
    Tok tb = (ta == Tok::ok) ? read_int(b) : ta;
    if (ta == Tok::eof || tb == Tok::eof)
      return fail(in_.line(), "the file ends inside edge record %lld of %lld", rec, m);
    if (ta != Tok::ok || tb != Tok::ok)
      return fail(in_.line(), "edge record %lld: the vertex numbers are not integers", rec);
    if (a < 1 || a > n || b < 1 || b > n)
      return fail(in_.line(), "edge record %lld: vertex %lld lies outside 1..%lld", rec, (a < 1 || a > n) ? a : b, n);
    if (a == b) return fail(in_.line(), "edge record %lld: vertex %lld is joined to itself", rec, a);
    if (!graph_clear_pair(g_, static_cast<int>(a - 1), static_cast<int>(b - 1)))
      return fail(in_.line(), "edge record %lld repeats the edge %lld-%lld", rec, a, b);
  }

  // At most n weight records "v <vertex> <weight>"; the first record of another
  // kind (or the end of the file) ends them and nothing after it is read.
  std::string text;
  for (long long rec = 1; rec <= n; rec++) {
    in_.skip_space();
    int c = in_.get();
    if (c != 'v') break;
    long long i = 0;
    double w = 0;
    Tok ti = read_int(i);
    if (ti != Tok::ok)
      return fail(in_.line(), "weight record %lld: %s", rec,
                  ti == Tok::eof ? "the file ends before its vertex number" : "the vertex number is not an integer");
    if (i < 1 || i > n) return fail(in_.line(), "weight record %lld: vertex %lld lies outside 1..%lld", rec, i, n);
    Tok tw = read_double(w, text);
    if (tw == Tok::eof) return fail(in_.line(), "weight record %lld: the file ends before its weight", rec);
    if (tw != Tok::ok) return fail(in_.line(), "weight record %lld: \"%.40s\" is not a number", rec, text.c_str());
    if (!std::isfinite(w) || !(w > 0))
      return fail(in_.line(), "weight record %lld: the weight %.40s of vertex %lld is not a finite positive number",
                  rec, text.c_str(), i);
    g_.v_weight[static_cast<size_t>(i - 1)] = w;
  }
  if (in_.read_errno()) return fail(0, "cannot read the file: %s", std::strerror(in_.read_errno()));
  // The search adds and subtracts weights incrementally; a total that does not
  // fit a double would turn gains into infinities that never come back.
  double total = 0;
  for (long long v = 0; v < n; v++) total += g_.v_weight[static_cast<size_t>(v)];
  if (!std::isfinite(total)) return fail(0, "the vertex weights add up to more than a double can hold");

  if (!graph_finish(g_, m)) {
    out_of_memory(n, m);
    return LoadStatus::invalid;
  }
  return LoadStatus::ok;
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
  if (!graph_begin(g, n)) return false;
  if (weights)
    for (int j = 0; j < n; j++) g.v_weight[j] = weights[j];
  for (long long k = 0; k < m; k++) {
    const int a = edges[2 * k], b = edges[2 * k + 1];
    if (a < 0 || a >= n || b < 0 || b >= n || a == b) return false;
    if (!graph_clear_pair(g, a, b)) return false;
  }
  return graph_finish(g, m);
}

LoadResult load_conflict_graph(const char* path, ConflictGraph& g) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {LoadStatus::cannot_open, std::string("Can not open file ") + path};
  Reader in(fd);
  if (!in.init()) return {LoadStatus::invalid, std::string(path) + ": cannot allocate the read buffer"};
  Loader loader(path, g, in);
  const LoadStatus st = loader.run();
  return {st, std::move(loader.message())};
}
