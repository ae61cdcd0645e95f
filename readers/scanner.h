// What every format reader shares: the words and numbers of records, the
// one-line messages "<path>:<line>: <what>", and the checks that follow the
// records whatever the format.
#pragma once

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "graph/dense.h"
#include "readers/input.h"

// A count word of the problem line: optional sign, then digits only
// (saturating far beyond any valid count).  False when it is not such a word.
bool parse_count_word(const char* s, size_t len, long long& out);

class RecordScanner {
 public:
  RecordScanner(const char* path, InputText& in) : path_(path), in_(in) {}
  std::string& message() { return message_; }
  const char* path() const { return path_; }
  // The reading failed for want of memory, not for a fault of the input.
  bool memory_short() const { return memory_short_ || in_.memory_short(); }
  void set_memory_short() { memory_short_ = true; }

 protected:
  enum class Tok { ok, eof, bad, too_long };

  // Always false, so that readers can `return fail(...)`.  A failure of the
  // input itself (a read error, damaged compressed data) takes precedence:
  // whatever the records seem to say then is a consequence of it.
  bool fail(long line, const char* fmt, ...) __attribute__((format(printf, 3, 4))) {
    message_ = path_;
    message_ += ':';
    if (in_.failed()) {
      message_ += ' ';
      message_ += in_.failure();
      return false;
    }
    if (line > 0) message_ += std::to_string(line) + ':';
    message_ += ' ';
    char text[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    message_ += text;
    return false;
  }

  // Numbers end at a blank, a line end or the end of the input; anything
  // else glued to them makes them malformed (Tok::bad).  Integers saturate
  // far beyond any valid count or vertex number.
  Tok read_int(long long& value) {
    in_.skip_space();
    return read_int_here(value);
  }
  // The same without passing the end of the line (Tok::eof there).
  Tok read_int_in_line(long long& value) {
    in_.skip_blanks();
    if (in_.peek() == '\n') return Tok::eof;
    return read_int_here(value);
  }
  Tok read_int_here(long long& value) {
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
    if (c >= 0 && !InputText::is_space(c)) return Tok::bad;
    value = neg ? -v : v;
    return Tok::ok;
  }
  // A word (kept up to 400 bytes, then Tok::bad) read as a double.
  Tok read_double(double& value, std::string& text, bool in_line) {
    if (in_line) {
      in_.skip_blanks();
      if (in_.peek() == '\n') return Tok::eof;
    } else {
      in_.skip_space();
    }
    int c = in_.peek();
    if (c < 0) return Tok::eof;
    text.clear();
    while ((c = in_.peek()) >= 0 && !InputText::is_space(c)) {
      if (text.size() < 400) text.push_back(static_cast<char>(c));
      in_.get();
    }
    if (text.size() >= 400) return Tok::bad;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return (end == text.c_str() + text.size()) ? Tok::ok : Tok::bad;
  }
  // Skips one word of the current line; false at the line's end.
  bool skip_word_in_line() {
    in_.skip_blanks();
    int c = in_.peek();
    if (c < 0 || c == '\n') return false;
    while ((c = in_.peek()) >= 0 && !InputText::is_space(c)) in_.get();
    return true;
  }

  // The first 40 bytes of a word as messages quote it.
  static std::string quoted(const std::string& word) { return quote_bytes(word.data(), word.size() < 40 ? word.size() : 40); }

  // A vertex count announced by `where` ("the problem line", ...).
  bool check_vertex_count(long line, const char* where, long long n, int max_vertices) {
    if (n <= 0) return fail(line, "%s announces %lld vertices; at least 1 is needed", where, n);
    if (n > max_vertices) return fail(line, "%s announces %lld vertices; at most %d are supported", where, n, max_vertices);
    return true;
  }

  bool check_weight(double w) { return std::isfinite(w) && w > 0; }

  // The checks after the records: weights whose total fits a double (the
  // search adds and subtracts them incrementally; an infinite total would
  // turn gains into infinities that never come back), then the graph.
  template <class Builder>
  bool finish_graph(Builder& b, long long n) {
    if (in_.failed()) return fail(0, "%s", in_.failure().c_str());
    double total = 0;
    for (long long v = 0; v < n; v++) total += b.weight(static_cast<int>(v));
    if (!std::isfinite(total)) return fail(0, "the vertex weights add up to more than a double can hold");
    if (!b.finish()) return out_of_memory(b, n, b.edges());
    return true;
  }
  // n vertices, m file edges.
  template <class Builder>
  bool out_of_memory(Builder& b, long long n, long long m) {
    b.release();
    memory_short_ = true;
    const long long n_edge = Builder::conflict_edges(n, m);
    return fail(0, "cannot allocate memory for the instance: %lld vertices and %lld conflict edges need %.1f MiB", n,
                n_edge, static_cast<double>(Builder::graph_bytes(n, n_edge)) / (1024.0 * 1024.0));
  }

  const char* path_;
  InputText& in_;
  std::string message_;
  bool memory_short_ = false;
};
