// DIMACS graph files: lines before the problem line "p <format> <n> <m>",
// then exactly m edge records "e <a> <b>", with weight records "n <i> <w>" or
// "v <i> <w>" and comment lines "c ..." anywhere among them.  After the m-th
// edge, weight records (and comment lines) go on until a record of another
// kind or until n weight records have been read in the whole file; nothing
// after that is read.  (Files with their weights after the edges thus read exactly as
// before weights could come first, and a file holds the same graph wherever
// its n weight records stand.)
#pragma once

#include <string>

#include "readers/scanner.h"

class DimacsReader : public RecordScanner {
 public:
  // `inside_first_line`: the first line has been entered already (it began
  // with blanks), so it cannot be the problem line.
  DimacsReader(const char* path, InputText& in, bool inside_first_line)
      : RecordScanner(path, in), inside_first_line_(inside_first_line) {}

  // Finds and checks the problem line: n vertices (1..max_vertices), m edges.
  bool read_header(long long& n, long long& m, int max_vertices) {
    std::string pline;
    if (!find_problem_line(pline)) return fail(0, "no problem line (\"p <format> <vertices> <edges>\") found");
    return parse_problem_line(pline, n, m, max_vertices);
  }

  template <class Builder>
  bool read_records(Builder& b, long long n, long long m) {
    if (!b.begin(static_cast<int>(n), m)) return out_of_memory(b, n, m);
    long long weights = 0;  // weight records read so far, wherever they stood
    for (long long rec = 1; rec <= m;) {
      if (fast_edge_record(b, n)) {
        rec++;
        continue;
      }
      in_.skip_space();
      const int c = in_.peek();
      if (c == 'n' || c == 'v') {
        in_.get();
        if (!read_weight_record(b, n, ++weights)) return false;
        continue;
      }
      if (c == 'c') {
        in_.skip_line();
        continue;
      }
      if (!general_edge_record(b, n, m, rec)) return false;
      rec++;
    }
    while (weights < n) {
      in_.skip_space();
      const int c = in_.get();
      if (c == 'c') {  // a comment between weight records does not hide the ones after it
        in_.skip_line();
        continue;
      }
      if (c != 'v' && c != 'n') break;
      if (!read_weight_record(b, n, ++weights)) return false;
    }
    in_.drain();
    return finish_graph(b, n);
  }

 private:
  // Header lines are read whole, whatever their length, so that a long
  // comment can never be taken for the problem line.  Only a line whose first
  // character is 'p' is the problem line.  The problem line itself is kept up
  // to a sane length; its counts lie at its start.
  bool find_problem_line(std::string& line) {
    constexpr size_t kKeep = 1 << 16;
    if (inside_first_line_) in_.skip_line();
    for (;;) {
      problem_line_no_ = in_.line();
      int c = in_.get();
      if (c < 0) return false;
      const bool problem = (c == 'p');
      line.clear();
      while (c >= 0 && c != '\n') {
        if (problem && line.size() < kKeep) line.push_back(static_cast<char>(c));
        c = in_.get();
      }
      if (problem) return true;
    }
  }

  bool parse_problem_line(const std::string& line, long long& n, long long& m, int max_vertices) {
    // Words: "p", the format word (not examined), n, and m (0 when absent).
    const char* s = line.c_str();
    size_t len = line.size(), i = 0;
    std::string words[4];
    int count = 0;
    while (count < 4) {
      while (i < len && InputText::is_space(static_cast<unsigned char>(s[i]))) i++;
      if (i == len) break;
      const size_t start = i;
      while (i < len && !InputText::is_space(static_cast<unsigned char>(s[i]))) i++;
      words[count++].assign(s + start, i - start);
    }
    const long pline = problem_line_no_;
    if (count < 3)
      return fail(pline, "the problem line lacks the vertex count (expected \"p <format> <vertices> <edges>\")");
    if (!parse_count_word(words[2].data(), words[2].size(), n))
      return fail(pline, "the vertex count \"%s\" of the problem line is not a number", quoted(words[2]).c_str());
    m = 0;
    if (count == 4 && !parse_count_word(words[3].data(), words[3].size(), m))
      return fail(pline, "the edge count \"%s\" of the problem line is not a number", quoted(words[3]).c_str());
    if (!check_vertex_count(pline, "the problem line", n, max_vertices)) return false;
    const long long max_m = n * (n - 1) / 2;
    if (m < 0 || m > max_m)
      return fail(pline, "the problem line announces %lld edges; a graph of %lld vertices has between 0 and %lld", m,
                  n, max_m);
    return true;
  }

  // A word (its first character kept), at most 99 characters long.
  Tok read_word(char& first) {
    in_.skip_space();
    int c = in_.get();
    if (c < 0) return Tok::eof;
    first = static_cast<char>(c);
    int len = 1;
    while ((c = in_.peek()) >= 0 && !InputText::is_space(c)) {
      in_.get();
      len++;
    }
    return len > 99 ? Tok::too_long : Tok::ok;
  }

  template <class Builder>
  bool general_edge_record(Builder& b, long long n, long long m, long long rec) {
    char kind = 0;
    long long a = 0, c = 0;
    const Tok t = read_word(kind);
    if (t == Tok::eof)
      return fail(in_.line(), "the file ends after %lld of the %lld announced edge records", rec - 1, m);
    const long line = in_.line();
    if (t == Tok::too_long) return fail(line, "edge record %lld: its first word is longer than 99 characters", rec);
    if (kind != 'e')
      return fail(line, "record %lld of the %lld announced edge records is not an edge record (it begins with '%s')",
                  rec, m, quote_bytes(&kind, 1).c_str());
    const Tok ta = read_int(a);
    const Tok tb = (ta == Tok::ok) ? read_int(c) : ta;
    if (ta == Tok::eof || tb == Tok::eof) return fail(in_.line(), "the file ends inside edge record %lld of %lld", rec, m);
    if (ta != Tok::ok || tb != Tok::ok)
      return fail(in_.line(), "edge record %lld: the vertex numbers are not integers", rec);
    if (a < 1 || a > n || c < 1 || c > n)
      return fail(in_.line(), "edge record %lld: vertex %lld lies outside 1..%lld", rec, (a < 1 || a > n) ? a : c, n);
    if (a == c) return fail(in_.line(), "edge record %lld: vertex %lld is joined to itself", rec, a);
    if (!b.add_edge(static_cast<int>(a - 1), static_cast<int>(c - 1)))
      return fail(in_.line(), "edge record %lld repeats the edge %lld-%lld", rec, a, c);
    return true;
  }

  // The common record "e <a> <b>\n" (single blanks, vertex numbers of at
  // most five digits).  Any other shape returns false without consuming
  // anything, and the general record reader takes over, so both accept
  // exactly the same input.  Plain digit loops beat branch-free (SWAR)
  // parsing here: with predicted branches the next record's position does not
  // wait for the digits to be decoded.
  template <class Builder>
  bool fast_edge_record(Builder& b, long long n) {
    in_.ensure(64);  // a whole fast-path record (at most 16 bytes) is buffered unless the input ends first
    const char* p = in_.p;
    if (p[0] != 'e' || p[1] != ' ') return false;
    unsigned a = 0, c = 0, la = 0, lb = 0;
    const char* const pa = p + 2;  // the sentinel or any non-digit ends a number
    while (la < 6 && pa[la] >= '0' && pa[la] <= '9') a = a * 10 + static_cast<unsigned>(pa[la++] - '0');
    if (la == 0 || la > 5 || pa[la] != ' ') return false;
    const char* const q = pa + la + 1;
    while (lb < 6 && q[lb] >= '0' && q[lb] <= '9') c = c * 10 + static_cast<unsigned>(q[lb++] - '0');
    if (lb == 0 || lb > 5 || q[lb] != '\n') return false;
    if (a < 1 || a > n || c < 1 || c > n || a == c) return false;  // let the general path report it
    if (!b.add_edge(static_cast<int>(a - 1), static_cast<int>(c - 1))) return false;
    in_.p = q + lb + 1;
    in_.count_line();
    return true;
  }

  // The rest of a weight record whose kind letter was read: "<i> <w>".
  template <class Builder>
  bool read_weight_record(Builder& b, long long n, long long rec) {
    long long i = 0;
    double w = 0;
    const Tok ti = read_int(i);
    if (ti != Tok::ok)
      return fail(in_.line(), "weight record %lld: %s", rec,
                  ti == Tok::eof ? "the file ends before its vertex number" : "the vertex number is not an integer");
    if (i < 1 || i > n) return fail(in_.line(), "weight record %lld: vertex %lld lies outside 1..%lld", rec, i, n);
    const Tok tw = read_double(w, text_, false);
    if (tw == Tok::eof) return fail(in_.line(), "weight record %lld: the file ends before its weight", rec);
    if (tw != Tok::ok) return fail(in_.line(), "weight record %lld: \"%s\" is not a number", rec, quoted(text_).c_str());
    if (!check_weight(w))
      return fail(in_.line(), "weight record %lld: the weight %s of vertex %lld is not a finite positive number", rec,
                  quoted(text_).c_str(), i);
    b.set_weight(static_cast<int>(i - 1), w);
    return true;
  }

  bool inside_first_line_;
  long problem_line_no_ = 0;
  std::string text_;  // scratch for weight words
};
