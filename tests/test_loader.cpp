// Instance loader: problem line search, edge and weight records, the
// invariants of the conflict graph, and the refusal of every bad input with a
// one-line message naming the file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace {

// Every invariant of a built conflict graph, against the input edges it was built from.
void expect_conflict_graph(const ConflictGraph& g, int n, const std::set<std::pair<int, int>>& input_edges) {
  ASSERT_EQ(g.n_vertex, n);
  EXPECT_EQ(g.n_edge, n * (n - 1) / 2 - static_cast<int>(input_edges.size()));
  long long degree_sum = 0;
  for (int i = 0; i < n; i++) {
    std::vector<int> expected;
    for (int j = 0; j < n; j++) {
      bool adjacent = input_edges.count({std::min(i, j), std::max(i, j)}) > 0;
      int want = (i != j && !adjacent) ? 1 : 0;
      ASSERT_EQ(g.conflict(i, j) ? 1 : 0, want) << i << "," << j;
      if (want) expected.push_back(j);
    }
    ASSERT_EQ(g.v_edge_count[i], static_cast<int>(expected.size())) << "vertex " << i;
    EXPECT_EQ(std::vector<int>(g.v_adj[i], g.v_adj[i] + g.v_edge_count[i]), expected) << "vertex " << i;
    degree_sum += g.v_edge_count[i];
  }
  EXPECT_EQ(degree_sum, 2LL * g.n_edge);
}

double default_weight(int v) { return ((v + 1) % 200) + 1; }

class LoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/mavu_loader_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    for (const auto& f : files_) std::remove(f.c_str());
    rmdir(dir_.c_str());
  }

  std::string write(const std::string& text) {
    std::string path = dir_ + "/g" + std::to_string(files_.size()) + ".clq";
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    files_.push_back(path);
    return path;
  }

  // Loads the text; stderr is captured into err.
  LoadStatus load(const std::string& text) {
    path = write(text);
    g = std::make_unique<ConflictGraph>();
    testing::internal::CaptureStderr();
    LoadStatus st = load_conflict_graph(path.c_str(), *g);
    err = testing::internal::GetCapturedStderr();
    return st;
  }

  // The text loads and writes nothing to stderr.
  void load_ok(const std::string& text) {
    ASSERT_EQ(load(text), LoadStatus::ok) << err;
    EXPECT_EQ(err, "");
  }

  // The text is refused with exactly one line on stderr naming the file.
  void expect_invalid(const std::string& text, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(load(text), LoadStatus::invalid);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(err.empty() || err.back() != '\n') << err;
    EXPECT_NE(err.find(path), std::string::npos) << err;
  }

  std::string dir_, path, err;
  std::vector<std::string> files_;
  std::unique_ptr<ConflictGraph> g;
};

// --- Problem line ----------------------------------------------------------

using LoaderProblemLine = LoaderTest;

TEST_F(LoaderProblemLine, FirstLineMayBeTheProblemLine) {
  load_ok("p edge 3 1\ne 1 3\n");
  expect_conflict_graph(*g, 3, {{0, 2}});
}

TEST_F(LoaderProblemLine, CommentLinesBeforeItAreSkipped) {
  load_ok("c a comment\nc another one\n\nx not a comment but skipped too\np edge 3 1\ne 1 3\n");
  expect_conflict_graph(*g, 3, {{0, 2}});
}

TEST_F(LoaderProblemLine, LongCommentWithPAtAChunkBoundaryIsNotTheProblemLine) {
  // Read in fixed chunks, the tail of a long comment would start with this 'p'
  // and be taken for the problem line.  Try the boundaries of both limits.
  for (size_t at : {999u, 1000u, 1023u, 1024u, 2047u}) {
    std::string comment = "c" + std::string(at - 1, 'x') + "p edge 9 0" + std::string(50, 'y');
    ASSERT_EQ(comment[at], 'p');
    SCOPED_TRACE(at);
    load_ok(comment + "\np edge 3 1\ne 1 3\n");
    EXPECT_EQ(g->n_vertex, 3);
    // Also as a later line (after a short first line).
    load_ok("c first\n" + comment + "\np edge 4 0\n");
    EXPECT_EQ(g->n_vertex, 4);
  }
}

TEST_F(LoaderProblemLine, LineWithLeadingBlankBeforePIsSkipped) {
  load_ok(" p edge 9 0\n\tp edge 8 0\np edge 2 0\n");
  EXPECT_EQ(g->n_vertex, 2);
}

TEST_F(LoaderProblemLine, AnyFormatWordIsAccepted) {
  for (const char* word : {"edge", "col", "clq", "whatever"}) {
    load_ok(std::string("p ") + word + " 3 1\ne 2 3\n");
    expect_conflict_graph(*g, 3, {{1, 2}});
  }
}

TEST_F(LoaderProblemLine, MissingEdgeCountMeansNoEdges) {
  load_ok("p edge 4\n");
  expect_conflict_graph(*g, 4, {});
  EXPECT_EQ(g->n_edge, 6);
}

TEST_F(LoaderProblemLine, WordsAfterTheCountsAndCrLfAreIgnored) {
  load_ok("c dos file\r\np edge 3 1 trailing words\r\ne 1 2\r\n");
  expect_conflict_graph(*g, 3, {{0, 1}});
}

// --- Edge records ----------------------------------------------------------

using LoaderEdges = LoaderTest;

TEST_F(LoaderEdges, NoEdgesMeansEveryPairConflicts) {
  load_ok("p edge 5 0\n");
  expect_conflict_graph(*g, 5, {});
  EXPECT_EQ(g->n_edge, 10);
  for (int v = 0; v < 5; v++) EXPECT_EQ(g->v_weight[v], v + 2.0) << v;
}

TEST_F(LoaderEdges, CompleteGraphHasNoConflicts) {
  load_ok("p edge 4 6\ne 1 2\ne 1 3\ne 1 4\ne 2 3\ne 2 4\ne 3 4\n");
  expect_conflict_graph(*g, 4, {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}});
  EXPECT_EQ(g->n_edge, 0);
}

TEST_F(LoaderEdges, OneEdgeBetweenFirstAndLast) {
  load_ok("p edge 3 1\ne 1 3\n");
  EXPECT_FALSE(g->conflict(0, 2));
  EXPECT_FALSE(g->conflict(2, 0));
  EXPECT_EQ(g->n_edge, 2);
  ASSERT_EQ(g->v_edge_count[1], 2);
  EXPECT_EQ(g->v_adj[1][0], 0);
  EXPECT_EQ(g->v_adj[1][1], 2);
}

TEST_F(LoaderEdges, RecordsAreReadTokenByTokenAndOnlyTheFirstLetterCounts) {
  load_ok("p edge 4 3\nedge 1 2 e\n3 4\n\n   e    4\t1\n");
  expect_conflict_graph(*g, 4, {{0, 1}, {2, 3}, {0, 3}});
}

TEST_F(LoaderEdges, EdgeWordOf99CharactersIsAccepted) {
  load_ok("p edge 3 1\n" + std::string(99, 'e') + " 1 2\n");
  expect_conflict_graph(*g, 3, {{0, 1}});
}

TEST_F(LoaderEdges, ExtraEdgeRecordsBeyondTheCountAreIgnored) {
  // The first extra record also ends the weight records: nothing after it counts.
  load_ok("p edge 4 1\ne 1 2\ne 3 4\nv 1 50\ne 99 99\n");
  expect_conflict_graph(*g, 4, {{0, 1}});
  EXPECT_EQ(g->v_weight[0], default_weight(0));
}

// --- Weights ---------------------------------------------------------------

using LoaderWeights = LoaderTest;

TEST_F(LoaderWeights, DefaultWeightsCycleThrough200) {
  load_ok("p edge 250 0\n");
  EXPECT_EQ(g->v_weight[0], 2.0);
  EXPECT_EQ(g->v_weight[198], 200.0);
  EXPECT_EQ(g->v_weight[199], 1.0);
  EXPECT_EQ(g->v_weight[200], 2.0);
  EXPECT_EQ(g->v_weight[249], 51.0);
}

TEST_F(LoaderWeights, WeightRecordSetsOnlyItsVertex) {
  load_ok("p edge 4 0\nv 2 7.5\n");
  EXPECT_EQ(g->v_weight[1], 7.5);
  for (int v : {0, 2, 3}) EXPECT_EQ(g->v_weight[v], default_weight(v)) << v;
}

TEST_F(LoaderWeights, VertexNumberMayFollowTheVWithoutBlank) {
  load_ok("p edge 5 1\ne 1 2\nv4 10\nv 5 0.25\n");
  EXPECT_EQ(g->v_weight[3], 10.0);
  EXPECT_EQ(g->v_weight[4], 0.25);
}

TEST_F(LoaderWeights, LaterRecordOverwritesEarlier) {
  load_ok("p edge 3 0\nv 1 4\nv 1 9\n");
  EXPECT_EQ(g->v_weight[0], 9.0);
}

TEST_F(LoaderWeights, RecordOfAnotherKindStopsTheWeights) {
  // Nothing after the stopping record is read, not even malformed text.
  load_ok("p edge 4 0\nv 1 3\nc stop here\nv 2 8\nv 999 -1 garbage\n");
  EXPECT_EQ(g->v_weight[0], 3.0);
  EXPECT_EQ(g->v_weight[1], default_weight(1));
}

TEST_F(LoaderWeights, AtMostNRecordsAreRead) {
  // The fourth record of a 3-vertex file is never read, however bad it is.
  load_ok("p edge 3 0\nv 1 5\nv 2 6\nv 1 7\nv 3 8\nv 9 abc\n");
  EXPECT_EQ(g->v_weight[0], 7.0);
  EXPECT_EQ(g->v_weight[1], 6.0);
  EXPECT_EQ(g->v_weight[2], default_weight(2));
}

// --- Bad input ---------------------------------------------------------------

using LoaderBadInput = LoaderTest;

TEST_F(LoaderBadInput, NoProblemLine) {
  expect_invalid("", "empty file");
  expect_invalid("c only comments\nc here\n", "comments only");
  expect_invalid("c\n e 1 2\n", "indented p only");
}

TEST_F(LoaderBadInput, CountsMissingOrNotNumbersOrNegative) {
  expect_invalid("p\n", "nothing after p");
  expect_invalid("p edge\n", "no vertex count");
  expect_invalid("p edge x 0\n", "vertex count not a number");
  expect_invalid("p edge 3x 0\n", "vertex count with trailing letters");
  expect_invalid("p edge 3 y\n", "edge count not a number");
  expect_invalid("p edge -3 0\n", "negative vertex count");
  expect_invalid("p edge 3 -1\n", "negative edge count");
}

TEST_F(LoaderBadInput, VertexCountOutOfRange) {
  expect_invalid("p edge 0 0\n", "n = 0");
  expect_invalid("p edge 46342 0\n", "n above 46341");
  expect_invalid("p edge 4294967299 0\n", "n beyond 32 bits");
}

TEST_F(LoaderBadInput, MoreEdgesThanPairs) {
  expect_invalid("p edge 3 4\ne 1 2\ne 1 3\ne 2 3\ne 1 2\n", "m > n(n-1)/2");
  expect_invalid("p edge 1 1\n", "one vertex, one edge");
  // At the largest n the bound itself must not overflow (refused before any allocation).
  expect_invalid("p edge 46341 1073720971\n", "m just above the bound at the largest n");
}

TEST_F(LoaderBadInput, VertexOutsideRangeInEdgeRecord) {
  expect_invalid("p edge 3 1\ne 0 2\n", "vertex 0");
  expect_invalid("p edge 3 1\ne 1 4\n", "vertex n+1");
  expect_invalid("p edge 3 1\ne -1 2\n", "negative vertex");
  expect_invalid("p edge 3 1\ne 1 99999999999\n", "vertex beyond 32 bits");
}

TEST_F(LoaderBadInput, VertexOutsideRangeInWeightRecord) {
  expect_invalid("p edge 3 0\nv 0 5\n", "weight of vertex 0");
  expect_invalid("p edge 3 0\nv 4 5\n", "weight of vertex n+1");
}

TEST_F(LoaderBadInput, RepeatedEdge) {
  expect_invalid("p edge 3 2\ne 1 2\ne 1 2\n", "same direction");
  expect_invalid("p edge 3 2\ne 1 2\ne 2 1\n", "reversed direction");
}

TEST_F(LoaderBadInput, SelfLoop) { expect_invalid("p edge 3 1\ne 2 2\n", "self-loop"); }

TEST_F(LoaderBadInput, FewerEdgeRecordsThanAnnounced) {
  expect_invalid("p edge 3 2\ne 1 2\n", "one record missing");
  expect_invalid("p edge 3 1\ne 1\n", "record cut short");
  expect_invalid("p edge 3 1\ne 1 x\n", "vertex number not an integer");
}

TEST_F(LoaderBadInput, RecordOfAnotherKindAmongTheAnnouncedEdges) {
  expect_invalid("p edge 3 2\ne 1 2\nc 2 3\n", "comment record");
  expect_invalid("p edge 3 2\nv 1 5\ne 2 3\n", "weight record");
}

TEST_F(LoaderBadInput, WeightNotFiniteAndPositive) {
  for (const char* w : {"0", "-1", "inf", "nan", "abc", "1e999", "5x"}) {
    expect_invalid(std::string("p edge 3 1\ne 1 2\nv 2 ") + w + "\n", w);
  }
  expect_invalid("p edge 3 0\nv 2\n", "weight missing at the end of the file");
}

TEST_F(LoaderBadInput, EdgeRecordWordLongerThan99Characters) {
  expect_invalid("p edge 3 1\n" + std::string(100, 'e') + " 1 2\n", "100-character word");
}

TEST_F(LoaderBadInput, MissingFileCannotBeOpened) {
  std::string missing = dir_ + "/does-not-exist.clq";
  ConflictGraph cg;
  testing::internal::CaptureStderr();
  EXPECT_EQ(load_conflict_graph(missing.c_str(), cg), LoadStatus::cannot_open);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can not open file " + missing + "\n");
}

// --- In-memory builder -------------------------------------------------------

using LoaderBuilder = LoaderTest;

TEST_F(LoaderBuilder, AgreesWithLoadingTheSameGraphFromText) {
  InputGraph in = random_input_graph(30, 0.6, 5, true);
  char buf[64];
  std::string text = "p edge 30 " + std::to_string(in.edges.size() / 2) + "\n";
  std::set<std::pair<int, int>> edges;
  for (size_t k = 0; k < in.edges.size(); k += 2) {
    int a = in.edges[k], b = in.edges[k + 1];
    edges.insert({std::min(a, b), std::max(a, b)});
    if (k % 4) std::swap(a, b);  // half of them written in the reverse direction
    text += "e " + std::to_string(a + 1) + " " + std::to_string(b + 1) + "\n";
  }
  for (int v = 0; v < in.n; v++) {
    std::snprintf(buf, sizeof buf, "v %d %.17g\n", v + 1, in.weights[v]);
    text += buf;
  }
  load_ok(text);
  expect_conflict_graph(*g, 30, edges);
  ConflictGraph built;
  build(built, in);
  ASSERT_EQ(built.n_vertex, g->n_vertex);
  EXPECT_EQ(built.n_edge, g->n_edge);
  for (int i = 0; i < in.n; i++) {
    EXPECT_EQ(built.v_weight[i], g->v_weight[i]) << i;
    ASSERT_EQ(built.v_edge_count[i], g->v_edge_count[i]) << i;
    EXPECT_EQ(std::vector<int>(built.v_adj[i], built.v_adj[i] + built.v_edge_count[i]),
              std::vector<int>(g->v_adj[i], g->v_adj[i] + g->v_edge_count[i]))
        << i;
    for (int j = 0; j < in.n; j++) ASSERT_EQ(built.conflict(i, j), g->conflict(i, j)) << i << "," << j;
  }
}

TEST_F(LoaderBuilder, DefaultWeightsMatchTheLoader) {
  InputGraph in;
  in.n = 210;
  in.add_edge(0, 209);
  ConflictGraph built;
  build(built, in);
  load_ok("p edge 210 1\ne 1 210\n");
  for (int v = 0; v < in.n; v++) ASSERT_EQ(built.v_weight[v], g->v_weight[v]) << v;
  EXPECT_EQ(built.n_edge, g->n_edge);
}

}  // namespace
