// Instance loader: problem line search, edge and weight records, the
// invariants of the conflict graph, and the refusal of every bad input with
// one line naming the file and the fault.
#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <utility>

#include "support.h"

namespace {

using Edges = std::set<std::pair<int, int>>;  // input edges, smaller vertex first

// Every invariant of a built conflict graph, against the input edges it was built from.
void expect_conflict_graph(const ConflictGraph& g, int n, const Edges& input_edges) {
  ASSERT_EQ(g.n_vertex, n);
  EXPECT_EQ(g.n_edge, n * (n - 1) / 2 - static_cast<int>(input_edges.size()));
  for (int i = 0; i < n; i++) {
    std::vector<int> expected;
    for (int j = 0; j < n; j++) {
      const bool conflict = i != j && !input_edges.count({std::min(i, j), std::max(i, j)});
      ASSERT_EQ(g.conflict(i, j), conflict) << i << "," << j;
      if (conflict) expected.push_back(j);
    }
    ASSERT_EQ(g.v_edge_count[i], static_cast<int>(expected.size())) << "vertex " << i;
    EXPECT_EQ(std::vector<int>(g.v_adj[i], g.v_adj[i] + g.v_edge_count[i]), expected) << "vertex " << i;
  }
}

class Loader : public testing::Test {
 protected:
  void TearDown() override { std::remove(path.c_str()); }
  // Loads the text; the message goes to err.
  LoadStatus load(const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    g = std::make_unique<ConflictGraph>();
    LoadResult r = load_conflict_graph(path.c_str(), *g);
    err = r.message;
    return r.status;
  }
  void load_ok(const std::string& text) {
    ASSERT_EQ(load(text), LoadStatus::ok) << err;
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
      {"p edge 3 1\ne 1 3\n", 3, {{0, 2}}, {2, 3, 4}},
      // Header lines are skipped; the format word and words after the counts are not examined.
      {"c a comment\r\n\nx skipped\np whatever 3 1 trailing words\r\ne 1 2\r\n", 3, {{0, 1}}, {2, 3, 4}},
      {" p edge 9 0\n\tp edge 8 0\np edge 2 0\n", 2, {}, {2, 3}},  // only a line starting with p counts
      {"p edge 4\n", 4, {}, {2, 3, 4, 5}},                        // no edge count: no edges
      {"p edge 4 6\ne 1 2\ne 1 3\ne 1 4\ne 2 3\ne 2 4\ne 3 4\n", 4,
       {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}, {2, 3, 4, 5}},
      // Records are read token by token; only the first letter of the word counts.
      {"p edge 4 4\nedge 1 2 e\n3 4\n\n   e    4\t1 " + e99 + " 2 3\n", 4, {{0, 1}, {2, 3}, {0, 3}, {1, 2}},
       {2, 3, 4, 5}},
      // Weight records: the vertex number may follow the v directly; a later record overwrites.
      {"p edge 5 1\ne 1 2\nv 2 7.5\nv4 10\nv 5 0.25\nv 2 9\n", 5, {{0, 1}}, {2, 9, 4, 10, 0.25}},
      // A record of another kind ends the weights, and nothing after it is read.
      {"p edge 4 0\nv 1 3\nc stop here\nv 2 8\nv 999 -1 garbage\n", 4, {}, {3, 3, 4, 5}},
      {"p edge 4 1\ne 1 2\ne 3 4\nv 1 50\ne 99 99\n", 4, {{0, 1}}, {2, 3, 4, 5}},
      // At most n weight records are read, however bad the next one is.
      {"p edge 3 0\nv 1 5\nv 2 6\nv 1 7\nv 3 8\nv 9 abc\n", 3, {}, {7, 6, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    load_ok(c.text);
    expect_conflict_graph(*g, c.n, c.edges);
    EXPECT_EQ(std::vector<double>(g->v_weight.data(), g->v_weight.data() + c.n), c.weights);
    // The in-memory builder the search tests use gives the same graph.
    InputGraph in{c.n, {}, c.weights};
    for (auto [a, b] : c.edges) in.add_edge(b, a);
    ConflictGraph built;
    build(built, in);
    expect_conflict_graph(built, c.n, c.edges);
    EXPECT_EQ(std::vector<double>(built.v_weight.data(), built.v_weight.data() + c.n), c.weights);
  }
}

TEST_F(Loader, DefaultWeightsCycleThrough200) {
  load_ok("p edge 250 0\n");
  for (auto [v, w] : {std::pair{0, 2.0}, {198, 200.0}, {199, 1.0}, {200, 2.0}, {249, 51.0}})
    EXPECT_EQ(g->v_weight[v], w) << v;
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
  const std::pair<std::string, std::string> cases[] = {  // input, fragment of the message
      {"", "no problem line"},
      {"c\n p edge 3 0\n", "no problem line"},
      {"p\n", "lacks the vertex count"},
      {"p edge\n", "lacks the vertex count"},
      {"p edge x 0\n", "vertex count \"x\" of the problem line is not a number"},
      {"p edge 3x 0\n", "vertex count \"3x\" of the problem line is not a number"},
      {"p edge 3 y\n", "edge count \"y\" of the problem line is not a number"},
      {"p edge -3 0\n", "announces -3 vertices; at least 1"},
      {"p edge 0 0\n", "announces 0 vertices; at least 1"},
      {"p edge 46342 0\n", "announces 46342 vertices; at most 46341"},
      {"p edge 4294967299 0\n", "announces 4294967299 vertices; at most 46341"},
      {"p edge 3 -1\n", "announces -1 edges; a graph of 3 vertices has between 0 and 3"},
      {"p edge 3 4\ne 1 2\ne 1 3\ne 2 3\ne 1 2\n", "announces 4 edges; a graph of 3 vertices has between 0 and 3"},
      {"p edge 46341 1073720971\n", "between 0 and 1073720970"},  // the bound itself must not overflow
      {"p edge 3 1\ne 0 2\n", "edge record 1: vertex 0 lies outside 1..3"},
      {"p edge 3 1\ne 1 4\n", "edge record 1: vertex 4 lies outside 1..3"},
      {"p edge 3 1\ne -1 2\n", "vertex -1 lies outside"},
      {"p edge 3 1\ne 1 99999999999\n", "vertex 99999999999 lies outside"},
      {"p edge 3 1\ne 2 2\n", "edge record 1: vertex 2 is joined to itself"},
      {"p edge 3 2\ne 1 2\ne 1 2\n", "edge record 2 repeats the edge 1-2"},
      {"p edge 3 2\ne 1 2\ne 2 1\n", "edge record 2 repeats the edge 2-1"},
      {"p edge 3 2\ne 1 2\n", "the file ends after 1 of the 2 announced edge records"},
      {"p edge 3 1\ne 1\n", "the file ends inside edge record 1 of 1"},
      {"p edge 3 1\ne 1 x\n", "edge record 1: the vertex numbers are not integers"},
      {"p edge 3 2\ne 1 2\nc 2 3\n",
       "record 2 of the 2 announced edge records is not an edge record (it begins with 'c')"},
      {"p edge 3 2\nv 1 5\ne 2 3\n", "is not an edge record (it begins with 'v')"},
      {"p edge 3 1\n" + std::string(100, 'e') + " 1 2\n", "first word is longer than 99 characters"},
      {"p edge 3 0\nv 0 5\n", "weight record 1: vertex 0 lies outside 1..3"},
      {"p edge 3 0\nv 1 5\nv 4 5\n", "weight record 2: vertex 4 lies outside 1..3"},
      {"p edge 3 0\nv x 5\n", "weight record 1: the vertex number is not an integer"},
      {"p edge 3 0\nv 2\n", "weight record 1: the file ends before its weight"},
      {"p edge 3 0\nv 2 abc\n", "weight record 1: \"abc\" is not a number"},
      {"p edge 3 0\nv 2 5x\n", "\"5x\" is not a number"},
      {"p edge 3 0\nv 2 0\n", "the weight 0 of vertex 2 is not a finite positive number"},
      {"p edge 2 0\nv 1 1e308\nv 2 1e308\n", "the vertex weights add up to more than a double can hold"},
      {"p edge 3 0\nv 2 inf\n", "the weight inf of vertex 2 is not"},
      {"p edge 3 0\nv 2 nan\n", "the weight nan of vertex 2 is not"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(load(text), LoadStatus::invalid) << text;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 0) << err;
    EXPECT_EQ(err.rfind(path + ":", 0), 0u) << err;
    EXPECT_NE(err.find(message), std::string::npos) << err;
  }
}

TEST_F(Loader, MissingFileCannotBeOpened) {
  const std::string missing = path + ".missing";
  ConflictGraph cg;
  const LoadResult r = load_conflict_graph(missing.c_str(), cg);
  EXPECT_EQ(r.status, LoadStatus::cannot_open);
  EXPECT_EQ(r.message, "Can not open file " + missing);
}

}  // namespace
