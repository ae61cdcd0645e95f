// METIS graph files: the header "<n> <m> [<fmt> [<ncon>]]", then one line
// per vertex (an empty line is a vertex without neighbours) holding its size
// when fmt says so (skipped), its weight when fmt says so, then its
// neighbours (1-based), each followed by an edge weight when fmt says so
// (skipped).  Lines beginning with '%' are comments.  Every edge appears in
// the lines of both its ends, and m counts each edge once.
#pragma once

#include <string>
#include <vector>

#include "readers/scanner.h"

class MetisReader : public RecordScanner {
 public:
  using RecordScanner::RecordScanner;

  // The input stands at the header's first digit.
  bool read_header(long long& n, long long& m, int max_vertices) {
    header_line_ = in_.line();
    long long v[4] = {0, 0, 0, 1};
    int count = 0;
    for (Tok t; count < 4 && (t = read_int_in_line(v[count])) != Tok::eof; count++)
      if (t != Tok::ok) return fail(header_line_, "the header holds something other than numbers");
    in_.skip_blanks();
    if (in_.peek() >= 0 && in_.peek() != '\n') return fail(header_line_, "the header holds more than four numbers");
    in_.get();
    if (count < 2)
      return fail(header_line_, "the header lacks the edge count (expected \"<vertices> <edges> [<format> [<weights>]]\")");
    n = v[0];
    m = v[1];
    if (!check_vertex_count(header_line_, "the header", n, max_vertices)) return false;
    if (m < 0 || m > n * (n - 1) / 2)
      return fail(header_line_, "the header announces %lld edges; a graph of %lld vertices has between 0 and %lld", m,
                  n, n * (n - 1) / 2);
    const long long fmt = v[2];
    if (fmt < 0 || fmt > 111 || fmt % 10 > 1 || fmt / 10 % 10 > 1)
      return fail(header_line_, "the format code %lld of the header is not one of 0, 1, 10, 11, 100, 101, 110, 111",
                  fmt);
    sizes_ = fmt >= 100;
    weights_ = fmt / 10 % 10 == 1;
    edge_weights_ = fmt % 10 == 1;
    if (weights_ && v[3] != 1)
      return fail(header_line_, "the header gives %lld weights per vertex; only 1 is supported", v[3]);
    return true;
  }

  template <class Builder>
  bool read_records(Builder& b, long long n, long long m) {
    if (!b.begin(static_cast<int>(n), m)) return out_of_memory(b, n, m);
    // listed_by[v]: the vertex whose line last listed v (a repeat in one
    // line); below[v]: how many vertices below v list v.
    std::vector<int> listed_by(static_cast<size_t>(n) + 1, 0), below(static_cast<size_t>(n) + 1, 0);
    long long forward = 0;  // entries that name a higher vertex: the edges
    for (long long u = 1; u <= n; u++) {
      while (in_.peek() == '%') in_.skip_line();
      if (in_.peek() < 0) return fail(in_.line(), "the file ends after %lld of the %lld vertex lines", u - 1, n);
      const long line = in_.line();
      if (sizes_ && !skip_word_in_line()) return fail(line, "vertex %lld: the line lacks its size", u);
      if (weights_ && !read_vertex_weight(b, u, line)) return false;
      long long back = 0;  // entries that name a lower vertex
      for (long long v;;) {
        const Tok t = read_int_in_line(v);
        if (t == Tok::eof) break;
        if (t != Tok::ok) return fail(line, "vertex %lld: its line holds something other than vertex numbers", u);
        if (v < 1 || v > n) return fail(line, "vertex %lld: neighbour %lld lies outside 1..%lld", u, v, n);
        if (v == u) return fail(line, "vertex %lld lists itself", u);
        if (listed_by[static_cast<size_t>(v)] == u) return fail(line, "vertex %lld lists %lld twice", u, v);
        listed_by[static_cast<size_t>(v)] = static_cast<int>(u);
        if (edge_weights_ && !skip_word_in_line())
          return fail(line, "vertex %lld: neighbour %lld lacks its edge weight", u, v);
        if (v > u) {
          b.add_edge(static_cast<int>(u - 1), static_cast<int>(v - 1));
          below[static_cast<size_t>(v)]++;
          forward++;
        } else {
          if (!b.has_edge(static_cast<int>(v - 1), static_cast<int>(u - 1)))
            return fail(line, "vertex %lld lists %lld, but vertex %lld does not list %lld", u, v, v, u);
          back++;
        }
      }
      in_.get();
      if (back != below[static_cast<size_t>(u)])
        return fail(line, "vertex %lld lists %lld of the %d lower vertices that list it", u, back,
                    below[static_cast<size_t>(u)]);
    }
    for (;;) {  // only blank and comment lines may follow
      in_.skip_blanks();
      const int c = in_.peek();
      if (c < 0) break;
      if (c != '\n' && c != '%') return fail(in_.line(), "the file holds more lines than its %lld vertices", n);
      in_.skip_line();
    }
    if (forward != m)
      return fail(header_line_, "the header announces %lld edges, but the vertex lines hold %lld", m, forward);
    in_.drain();
    return finish_graph(b, n);
  }

 private:
  template <class Builder>
  bool read_vertex_weight(Builder& b, long long u, long line) {
    double w = 0;
    const Tok t = read_double(w, text_, true);
    if (t == Tok::eof) return fail(line, "vertex %lld: the line lacks its weight", u);
    if (t != Tok::ok) return fail(line, "vertex %lld: the weight \"%s\" is not a number", u, quoted(text_).c_str());
    if (!check_weight(w))
      return fail(line, "vertex %lld: the weight %s is not a finite positive number", u, quoted(text_).c_str());
    b.set_weight(static_cast<int>(u - 1), w);
    return true;
  }

  long header_line_ = 0;
  bool sizes_ = false, weights_ = false, edge_weights_ = false;
  std::string text_;
};
