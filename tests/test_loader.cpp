// Instance readers: every format and its records, the invariants of the
// conflict graph in both modes, the refusal of every bad input with one line
// naming the file and the fault, and the same run from every format.
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "support.h"

namespace {

using Edges = std::set<std::pair<int, int>>;  // input edges, smaller vertex first

// Every invariant of a built conflict graph, against the input edges it was
// built from (which are the conflicts in independent-set mode).
void expect_conflict_graph(const ConflictGraph& g, int n, const Edges& input_edges, bool edges_conflict = false) {
  ASSERT_EQ(g.n_vertex, n);
  const int m = static_cast<int>(input_edges.size());
  EXPECT_EQ(g.n_edge, edges_conflict ? m : n * (n - 1) / 2 - m);
  for (int i = 0; i < n; i++) {
    std::vector<int> expected;
    for (int j = 0; j < n; j++) {
      const bool conflict = i != j && input_edges.count({std::min(i, j), std::max(i, j)}) == edges_conflict;
      ASSERT_EQ(g.conflict(i, j), conflict) << i << "," << j;
      if (conflict) expected.push_back(j);
    }
    ASSERT_EQ(g.v_edge_count[i], static_cast<int>(expected.size())) << "vertex " << i;
    EXPECT_EQ(std::vector<int>(g.v_adj[i], g.v_adj[i] + g.v_edge_count[i]), expected) << "vertex " << i;
  }
}

// The text as one gzip member (members concatenated make a multi-member file).
std::string gzip(const std::string& text) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string buf(deflateBound(&z, text.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(buf.data());
  z.avail_out = static_cast<uInt>(buf.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  deflateEnd(&z);
  return buf.substr(0, z.total_out);
}

const std::string kMm = "%%MatrixMarket matrix coordinate pattern general\n";

class Loader : public testing::Test {
 protected:
  void TearDown() override { std::remove(path.c_str()); }
  // Loads the text; the message goes to err.
  LoadStatus load(const std::string& text, InstanceMode mode = InstanceMode::clique) {
    std::ofstream(path, std::ios::binary) << text;
    g = std::make_unique<ConflictGraph>();
    LoadResult r = load_conflict_graph(path.c_str(), *g, {mode});
    err = r.message;
    return r.status;
  }
  void load_ok(const std::string& text, InstanceMode mode = InstanceMode::clique) {
    ASSERT_EQ(load(text, mode), LoadStatus::ok) << err;
    EXPECT_EQ(err, "");
  }

  const std::string path =
      testing::TempDir() + "mavu_" + testing::UnitTest::GetInstance()->current_test_info()->name() + ".clq";
  std::string err;
  std::unique_ptr<ConflictGraph> g;
};

TEST_F(Loader, AcceptedInputs) {
  const std::string e99(99, 'e');
  const struct {
    std::string text;
    int n;
    Edges edges;
    std::vector<double> weights;  // of every vertex
  } cases[] = {
      // Header lines are skipped; the format word and words after the counts are not examined.
      {"c a comment\r\n\nx skipped\np whatever 3 1 trailing words\r\ne 1 2\r\n", 3, {{0, 1}}, {2, 3, 4}},
      {" p edge 9 0\n\tp edge 8 0\np edge 2 0\n", 2, {}, {2, 3}},  // only a line starting with p counts
      {"p edge 4\n", 4, {}, {2, 3, 4, 5}},                        // no edge count: no edges
      // Records are read token by token; only the first letter of the word counts.
      {"p edge 4 4\nedge 1 2 e\n3 4\n\n   e    4\t1 " + e99 + " 2 3\n", 4, {{0, 1}, {2, 3}, {0, 3}, {1, 2}},
       {2, 3, 4, 5}},
      // Weight records: the vertex number may follow the v directly; a later record overwrites.
      {"p edge 5 1\ne 1 2\nv 2 7.5\nv4 10\nv 5 0.25\nv 2 9\n", 5, {{0, 1}}, {2, 9, 4, 10, 0.25}},
      // A record of another kind ends the weights, and nothing after it is read;
      // comment lines between weight records do not.
      {"p edge 4 0\nv 1 3\nc note\nv 2 8\nx stop here\nv 999 -1 garbage\n", 4, {}, {3, 8, 4, 5}},
      {"p edge 4 1\ne 1 2\ne 3 4\nv 1 50\ne 99 99\n", 4, {{0, 1}}, {2, 3, 4, 5}},
      // At most n weight records are read, however bad the next one is, counted
      // wherever they stand; n records are weights too; a byte-order mark is skipped.
      {"p edge 3 0\nv 1 5\nv 2 6\nv 1 7\nv 3 8\nv 9 abc\n", 3, {}, {7, 6, 4}},
      {"\xEF\xBB\xBFp edge 3 1\nn 1 5\nn 2 6\ne 1 2\nn 3 7\nv 9 abc\n", 3, {{0, 1}}, {5, 6, 7}},
      // Weight and comment records among the edges.
      {"p edge 4 2\nn 1 5\nc e 3 4\ne 1 2\nv 3 7\nc\ne 3 4\nn 4 9\n", 4, {{0, 1}, {2, 3}}, {5, 3, 7, 9}},
      // Matrix Market: words of the banner in any case; values are not read.
      {"%%matrixmarket MATRIX Coordinate real general\r\n3 3 2\r\n1 3 0.5\r\n3 1 -2e3\r\n", 3, {{0, 2}}, {2, 3, 4}},
      // METIS: with weights, with sizes, edge weights and one constraint, with comments and an isolated vertex.
      {"3 1 10\n5 2\n6 1\n7.5\n", 3, {{0, 1}}, {5, 6, 7.5}},
      {"3 2 111 1\n9 5 2 1 3 4\n9 6 1 1\n% c\n9 7 1 4\n", 3, {{0, 1}, {0, 2}}, {5, 6, 7}},
      {"  3 1\r\n\r\n3\r\n2\r\n\n", 3, {{1, 2}}, {2, 3, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    load_ok(c.text, InstanceMode::independent_set);
    expect_conflict_graph(*g, c.n, c.edges, true);
    load_ok(c.text);
    expect_conflict_graph(*g, c.n, c.edges);
    EXPECT_EQ(std::vector<double>(g->v_weight.data(), g->v_weight.data() + c.n), c.weights);
  }
}

TEST_F(Loader, LongCommentWithPAtABufferBoundaryIsNotTheProblemLine) {
  for (size_t at : {999u, 1000u, 1023u, 1024u, 2047u}) {
    const std::string comment = "c" + std::string(at - 1, 'x') + "p edge 9 0" + std::string(50, 'y');
    SCOPED_TRACE(at);
    load_ok(comment + "\np edge 3 1\ne 1 3\n");
    EXPECT_EQ(g->n_vertex, 3);
    load_ok("c first\n" + comment + "\np edge 4 0\n");
    EXPECT_EQ(g->n_vertex, 4);
  }
}

// Every refusal: status invalid, exactly one line "<path>:...", naming the fault.
TEST_F(Loader, RefusesBadInputWithOneLine) {
  std::string bad_crc = gzip("p edge 3 0\n");
  bad_crc[bad_crc.size() - 6] ^= 0x55;  // the checksum no longer matches
  const std::pair<std::string, std::string> cases[] = {  // input, fragment of the message
      {"p edge\n", "lacks the vertex count"},
      {"p edge 3x 0\n", "vertex count \"3x\" of the problem line is not a number"},
      {"p edge 3 y\n", "edge count \"y\" of the problem line is not a number"},
      {"p edge 0 0\n", "announces 0 vertices; at least 1"},
      {"p edge 46342 0\n", "announces 46342 vertices; at most 46341"},
      {"p edge 4294967299 0\n", "announces 4294967299 vertices; at most 46341"},
      {"p edge 3 -1\n", "announces -1 edges; a graph of 3 vertices has between 0 and 3"},
      {"p edge 3 4\ne 1 2\ne 1 3\ne 2 3\ne 1 2\n", "announces 4 edges; a graph of 3 vertices has between 0 and 3"},
      {"p edge 46341 1073720971\n", "between 0 and 1073720970"},  // the bound itself must not overflow
      {"p edge 3 1\ne 0 2\n", "edge record 1: vertex 0 lies outside 1..3"},
      {"p edge 3 1\ne 1 4\n", "edge record 1: vertex 4 lies outside 1..3"},
      {"p edge 3 1\ne 1 99999999999\n", "vertex 99999999999 lies outside"},
      {"p edge 3 1\ne 2 2\n", "edge record 1: vertex 2 is joined to itself"},
      {"p edge 3 2\ne 1 2\ne 2 1\n", "edge record 2 repeats the edge 2-1"},
      {"p edge 3 2\ne 1 2\n", "the file ends after 1 of the 2 announced edge records"},
      {"p edge 3 1\ne 1\n", "the file ends inside edge record 1 of 1"},
      {"p edge 3 1\ne 1 x\n", "edge record 1: the vertex numbers are not integers"},
      {"p edge 3 2\ne 1 2\nx 2 3\n",
       "record 2 of the 2 announced edge records is not an edge record (it begins with 'x')"},
      {"p edge 3 1\nc 1 2\n", "the file ends after 0 of the 1 announced edge records"},
      {"p edge 3 1\nn 4 5\ne 1 2\n", "weight record 1: vertex 4 lies outside 1..3"},
      // Quoted input shows its bytes that are not printable as \xHH.
      {"p edge 3 1\n\x01 2 3\n", ":2: record 1 of the 1 announced edge records is not an edge record (it begins with '\\x01')"},
      {"p edge 3\xff 0\n", "the vertex count \"3\\xff\" of"},
      {"p edge 3 0\nv 2 5\x7f\n", "weight record 1: \"5\\x7f\" is not a number"},
      {"p edge 3 1\n" + std::string(100, 'e') + " 1 2\n", "first word is longer than 99 characters"},
      {"p edge 3 0\nv 1 5\nv 4 5\n", "weight record 2: vertex 4 lies outside 1..3"},
      {"p edge 3 0\nv x 5\n", "weight record 1: the vertex number is not an integer"},
      {"p edge 3 0\nv 2\n", "weight record 1: the file ends before its weight"},
      {"p edge 3 0\nv 2 5x\n", "\"5x\" is not a number"},
      {"p edge 3 0\nv 2 0\n", "the weight 0 of vertex 2 is not a finite positive number"},
      {"p edge 2 0\nv 1 1e308\nv 2 1e308\n", "the vertex weights add up to more than a double can hold"},
      {"p edge 3 0\nv 2 inf\n", "the weight inf of vertex 2 is not"},
      {"p edge 3 0\nv 2 nan\n", "the weight nan of vertex 2 is not"},
      // Matrix Market.
      {"%%MatrixMarket matrix coordinate\n", ":1: the Matrix Market banner is incomplete"},
      {"%%MatrixMarket matrix array real general\n3 3\n", ":1: the Matrix Market format \"array\" is not coordinate"},
      {"%%MatrixMarket vector coordinate real general\n", "object \"vector\" is not a matrix"},
      {"%%MatrixMarket matrix coordinate bool general\n", "field \"bool\" is not"},
      {"%%MatrixMarket matrix coordinate real diagonal\n", "symmetry \"diagonal\" is not"},
      {kMm + "% c\n3 4 1\n1 2\n", ":3: the matrix is 3 x 4; only a square matrix is a graph"},
      {kMm + "3 3\n", ":2: the size line does not hold three numbers"},
      {kMm + "3 3 0 1\n", "the size line holds more than three numbers"},
      {kMm + "46342 46342 0\n", "the size line announces 46342 vertices; at most 46341"},
      {kMm, "the file ends before the size line"},
      {kMm + "3 3 2\n1 2\n", ":4: the file ends after 1 of the 2 announced entries"},
      {kMm + "3 3 1\n1 4\n", ":3: entry 1: vertex 4 lies outside 1..3"},
      {kMm + "3 3 1\n1 x\n", ":3: entry 1 does not begin with two vertex numbers"},
      {kMm + "3 3 1\n1 2\n\n2 3\n", ":5: the size line announces 1 entries; more follow"},
      // METIS.
      {"3\n", ":1: the header lacks the edge count"},
      {"3 1 12\n", "the format code 12 of the header is not one of"},
      {"3 1 10 2\n", "the header gives 2 weights per vertex; only 1"},
      {"3 1 0 1 7\n", "the header holds more than four numbers"},
      {"3 1 x\n", "the header holds something other than numbers"},
      {"3 4\n", "the header announces 4 edges; a graph of 3 vertices has between 0 and 3"},
      {"0 0\n", "the header announces 0 vertices; at least 1"},
      {"3 1\n2\n", ":3: the file ends after 1 of the 3 vertex lines"},
      {"3 1\n2\n\n\n", ":3: vertex 2 lists 0 of the 1 lower vertices that list it"},
      {"3 1\n3\n\n2\n", ":4: vertex 3 lists 2, but vertex 2 does not list 3"},
      {"2 1\n2 2\n1\n", ":2: vertex 1 lists 2 twice"},
      {"2 1\n1\n2\n", ":2: vertex 1 lists itself"},
      {"2 1\n3\n", ":2: vertex 1: neighbour 3 lies outside 1..2"},
      {"2 1\n2x\n1\n", ":2: vertex 1: its line holds something other than vertex numbers"},
      {"2 1\n2\n1\n5\n", ":4: the file holds more lines than its 2 vertices"},
      {"3 2\n2\n1\n\n", ":1: the header announces 2 edges, but the vertex lines hold 1"},
      {"2 1 10\n\n", ":2: vertex 1: the line lacks its weight"},
      {"2 1 10\n0 2\n1 1\n", ":2: vertex 1: the weight 0 is not a finite positive number"},
      {"2 1 10\nw 2\n1 1\n", ":2: vertex 1: the weight \"w\" is not a number"},
      {"2 1 1\n2\n1 1\n", ":2: vertex 1: neighbour 2 lacks its edge weight"},
      {"2 1 100\n\n", ":2: vertex 1: the line lacks its size"},
      // gzip: the same messages with the lines of the text, and damaged data.
      {gzip("p edge 3 1\ne 1 4\n"), ":2: edge record 1: vertex 4 lies outside 1..3"},
      {gzip("p edge 3 0\n").substr(0, 20), ": the gzip data ends early (the file is truncated)"},
      {gzip("p edge 3 0\n") + "junk", ": the gzip data is damaged (incorrect header check)"},
      {bad_crc, ": the gzip data is damaged ("},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(load(text), LoadStatus::invalid) << text;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 0) << err;
    EXPECT_EQ(err.rfind(path + ":", 0), 0u) << err;
    EXPECT_NE(err.find(message), std::string::npos) << err;
  }
}

// One graph in every format and layout.  Weights are written as integers, so
// every format carries them exactly; Matrix Market carries none, so its
// graph keeps the default weights.
struct Layouts {
  int n;
  std::vector<std::pair<int, int>> edges;  // 1-based, smaller first
  std::vector<int> w;                      // of vertex i (1-based) at w[i-1]

  std::string dimacs(const std::string& kind, bool weights_first, bool interleaved, bool weighted = true) const {
    std::string t = "c one graph\np edge " + std::to_string(n) + " " + std::to_string(edges.size()) + "\n";
    std::string tail;
    for (int i = 1; i <= n && weighted; i++)
      (weights_first ? t : tail) += kind + " " + std::to_string(i) + " " + std::to_string(w[i - 1]) + "\n";
    for (size_t k = 0; k < edges.size(); k++) {
      t += "e " + std::to_string(edges[k].first) + " " + std::to_string(edges[k].second) + "\n";
      if (interleaved && k % 7 == 0 && !tail.empty()) {
        t += "c moved\n" + tail.substr(0, tail.find('\n') + 1);
        tail.erase(0, tail.find('\n') + 1);
      }
    }
    return t + tail;
  }
  std::string matrix_market() const {
    std::string t = "%%MatrixMarket matrix coordinate integer symmetric\n% one graph\n";
    std::string entries = "1 1 9\n";  // a diagonal entry and one mirrored: both add nothing
    for (auto [a, b] : edges) entries += std::to_string(b) + " " + std::to_string(a) + " 1\n";
    entries += std::to_string(edges[0].first) + " " + std::to_string(edges[0].second) + " 1\n";
    return t + std::to_string(n) + " " + std::to_string(n) + " " + std::to_string(edges.size() + 2) + "\n" + entries;
  }
  std::string metis(int fmt) const {
    std::vector<std::string> lines(static_cast<size_t>(n));
    for (int i = 1; i <= n; i++) {
      if (fmt >= 100) lines[i - 1] += "3 ";
      if (fmt / 10 % 10) lines[i - 1] += std::to_string(w[i - 1]) + " ";
    }
    for (auto [a, b] : edges) {
      const std::string ew = fmt % 10 ? " 1 " : " ";
      lines[a - 1] += std::to_string(b) + ew;
      lines[b - 1] += std::to_string(a) + ew;
    }
    std::string t = "% one graph\n" + std::to_string(n) + " " + std::to_string(edges.size()) + " " +
                    std::to_string(fmt) + "\n";
    for (const auto& l : lines) t += l + "\n";
    return t;
  }
};

// A program's standard output and error, the @para_file and time lines
// removed; its status after them.  `program` is a shell word (quoted, with
// any environment before it).
std::string run_output(const std::string& program, const std::string& file, const std::string& extra,
                       bool via_pipe) {
  const std::string args = " -t 1000 -s 7 -i 3000 -l 100" + extra + " 2>&1; echo status $?";
  const std::string cmd = via_pipe ? "cat '" + file + "' | " + program + " -f /dev/stdin" + args
                                   : program + " -f '" + file + "'" + args;
  FILE* p = popen(cmd.c_str(), "r");
  std::string text;
  for (char line[4096]; p && std::fgets(line, sizeof line, p);)
    if (!std::string_view(line).starts_with("@para_file=") && !std::string_view(line).starts_with("#besttime="))
      text += line;
  if (p) pclose(p);
  return text;
}

TEST(Layouts, EveryFormatAndLayoutOfOneGraphGivesTheSameRun) {
  const InputGraph g = random_input_graph(36, 0.6, 5, false);
  Layouts l{g.n, {}, {}};
  for (size_t k = 0; k < g.edges.size(); k += 2) l.edges.push_back({g.edges[k] + 1, g.edges[k + 1] + 1});
  for (double x : g.weights) l.w.push_back(static_cast<int>(x));
  Layouts c{l.n, {}, l.w};  // the complement, read in independent-set mode
  for (int a = 1; a <= l.n; a++)
    for (int b = a + 1; b <= l.n; b++)
      if (!std::count(l.edges.begin(), l.edges.end(), std::pair{a, b})) c.edges.push_back({a, b});
  const std::string nif = l.dimacs("n", true, true), half1 = nif.substr(0, nif.size() / 2);
  const std::string dir = testing::TempDir() + "mavu_layouts_" + std::to_string(getpid()) + "_";
  const struct {
    std::string name, text, same_as, extra;
    bool via_pipe = false;
  } cases[] = {
      {"plain.clq", l.dimacs("v", false, false), "", ""},
      {"v_interleaved.clq", l.dimacs("v", false, true), "plain.clq", ""},
      {"n_interleaved_first.clq", "\xEF\xBB\xBF" + nif, "plain.clq", ""},
      {"two_members.clq.gz", gzip(half1) + gzip(nif.substr(half1.size())), "plain.clq", ""},
      {"piped.gz", gzip(l.dimacs("v", false, false)), "plain.clq", "", true},
      {"weighted.graph", l.metis(10), "plain.clq", ""},
      {"sizes_edge_weights.graph", l.metis(111), "plain.clq", ""},
      {"complement.clq", c.dimacs("n", true, false), "plain.clq", " -c 1 -r 0"},
      {"complement.graph.gz", gzip(c.metis(10)), "plain.clq", " -c 1 -r 0"},
      {"unweighted.clq", l.dimacs("v", false, false, false), "", ""},
      {"unweighted.mtx", l.matrix_market(), "unweighted.clq", ""},
      {"unweighted.graph", l.metis(0), "unweighted.clq", ""},
  };
  // The graphs themselves: same weights, same conflict lists, in either layout.
  std::map<std::string, std::pair<std::vector<double>, std::vector<std::vector<int>>>> graphs;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    std::ofstream(dir + k.name, std::ios::binary) << k.text;
    for (LayoutRequest layout : {LayoutRequest::dense, LayoutRequest::sparse}) {
      LoadedGraph lg;
      LoadOptions options{k.extra.empty() ? InstanceMode::clique : InstanceMode::independent_set};
      options.layout = layout;
      const LoadResult r = load_graph((dir + k.name).c_str(), lg, options);
      ASSERT_EQ(r.status, LoadStatus::ok) << r.message;
      ASSERT_EQ(lg.layout, layout == LayoutRequest::dense ? GraphLayout::dense : GraphLayout::sparse16);
      std::pair<std::vector<double>, std::vector<std::vector<int>>> graph;
      auto read = [&](const auto& cg) {
        graph.first.assign(cg.v_weight.data(), cg.v_weight.data() + cg.n_vertex);
        for (int v = 0; v < cg.n_vertex; v++) graph.second.emplace_back(cg.v_adj[v], cg.v_adj[v] + cg.v_edge_count[v]);
      };
      layout == LayoutRequest::dense ? read(lg.dense) : read(lg.sparse16);
      if (layout == LayoutRequest::dense) graphs[k.name] = graph;
      EXPECT_TRUE(graph == graphs[k.same_as.empty() ? k.name : k.same_as]);
    }
  }
  // Every variant gives the plain file's output byte for byte, on each layout
  // (the independent-set mode adds its one line).
  for (const std::string layout : {"", "MAVU_LAYOUT=sparse "}) {
    for (const char* program : {MAVU1_BIN, MAVU2_BIN}) {
      std::map<std::string, std::string> outputs;
      for (const auto& k : cases) {
        SCOPED_TRACE(layout + program + " " + k.name);
        const std::string out = run_output(layout + "'" + program + "'", dir + k.name, k.extra, k.via_pipe);
        outputs[k.name] = out;
        EXPECT_TRUE(out.ends_with("status 0\n")) << out;
        if (k.same_as.empty()) continue;
        std::string expected = outputs[k.same_as];
        // The result block names the independent-set mode and nothing else differs.
        if (!k.extra.empty()) expected.insert(expected.find("#objv="), "@para_complement=1\n");
        EXPECT_EQ(out, expected);
      }
    }
  }
  for (const auto& k : cases) std::remove((dir + k.name).c_str());
}

}  // namespace
