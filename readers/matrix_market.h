// Matrix Market coordinate files as graph collections ship them: the banner
// "%%MatrixMarket matrix coordinate <field> <symmetry>", '%' comment lines,
// the size line "<rows> <columns> <entries>" of a square matrix, then one
// entry "<i> <j> [values]" per line.  An entry is the edge {i, j} (1-based);
// its values are not read.  Diagonal entries, and an entry given again
// (mirrored or not), add nothing.  Vertices get the default weights.
#pragma once

#include <strings.h>

#include <string>

#include "readers/scanner.h"

class MatrixMarketReader : public RecordScanner {
 public:
  using RecordScanner::RecordScanner;

  bool read_header(long long& n, long long& m, int max_vertices) {
    const long banner_line = in_.line();
    std::string words[5];
    int count = 0;
    for (int c; (c = in_.peek()) >= 0 && c != '\n';) {
      if (InputText::is_blank(c)) {
        in_.get();
        continue;
      }
      std::string w;
      for (; (c = in_.peek()) >= 0 && !InputText::is_space(c); in_.get())
        if (w.size() < 64) w.push_back(static_cast<char>(c));
      if (count < 5) words[count++] = w;
    }
    in_.get();
    if (count < 5)
      return fail(banner_line,
                  "the Matrix Market banner is incomplete (expected \"%%%%MatrixMarket matrix coordinate <field> "
                  "<symmetry>\")");
    if (!one_of(words[1], {"matrix"}))
      return fail(banner_line, "the Matrix Market object \"%s\" is not a matrix", quoted(words[1]).c_str());
    if (!one_of(words[2], {"coordinate"}))
      return fail(banner_line, "the Matrix Market format \"%s\" is not coordinate (only coordinate files hold graphs)",
                  quoted(words[2]).c_str());
    if (!one_of(words[3], {"real", "double", "integer", "complex", "pattern"}))
      return fail(banner_line, "the Matrix Market field \"%s\" is not real, integer, complex or pattern",
                  quoted(words[3]).c_str());
    if (!one_of(words[4], {"general", "symmetric", "skew-symmetric", "hermitian"}))
      return fail(banner_line,
                  "the Matrix Market symmetry \"%s\" is not general, symmetric, skew-symmetric or hermitian",
                  quoted(words[4]).c_str());

    if (!next_content_line()) return fail(in_.line(), "the file ends before the size line");
    const long size_line = in_.line();
    long long rows = 0, cols = 0, nnz = 0;
    if (read_int_in_line(rows) != Tok::ok || read_int_in_line(cols) != Tok::ok || read_int_in_line(nnz) != Tok::ok)
      return fail(size_line, "the size line does not hold three numbers (rows, columns, entries)");
    in_.skip_blanks();
    if (in_.peek() >= 0 && in_.peek() != '\n') return fail(size_line, "the size line holds more than three numbers");
    in_.get();
    if (rows != cols) return fail(size_line, "the matrix is %lld x %lld; only a square matrix is a graph", rows, cols);
    if (!check_vertex_count(size_line, "the size line", rows, max_vertices)) return false;
    if (nnz < 0) return fail(size_line, "the size line announces %lld entries", nnz);
    n = rows;
    m = nnz;
    return true;
  }

  template <class Builder>
  bool read_records(Builder& b, long long n, long long nnz) {
    const long long max_m = n * (n - 1) / 2;
    if (!b.begin(static_cast<int>(n), nnz < max_m ? nnz : max_m)) return out_of_memory(b, n, nnz < max_m ? nnz : max_m);
    for (long long k = 1; k <= nnz; k++) {
      if (!next_content_line())
        return fail(in_.line(), "the file ends after %lld of the %lld announced entries", k - 1, nnz);
      long long i = 0, j = 0;
      if (read_int_in_line(i) != Tok::ok || read_int_in_line(j) != Tok::ok)
        return fail(in_.line(), "entry %lld does not begin with two vertex numbers", k);
      if (i < 1 || i > n || j < 1 || j > n)
        return fail(in_.line(), "entry %lld: vertex %lld lies outside 1..%lld", k, (i < 1 || i > n) ? i : j, n);
      in_.skip_line();
      if (i != j) b.add_edge(static_cast<int>(i - 1), static_cast<int>(j - 1));
    }
    if (next_content_line()) return fail(in_.line(), "the size line announces %lld entries; more follow", nnz);
    in_.drain();
    return finish_graph(b, n);
  }

 private:
  static bool one_of(const std::string& word, std::initializer_list<const char*> names) {
    for (const char* name : names)
      if (strcasecmp(word.c_str(), name) == 0) return true;
    return false;
  }
  // Skips blank lines and comment lines; false at the end of the input,
  // else the next line's first non-blank byte is next.
  bool next_content_line() {
    for (;;) {
      in_.skip_blanks();
      const int c = in_.peek();
      if (c < 0) return false;
      if (c != '\n' && c != '%') return true;
      in_.skip_line();
    }
  }
};
