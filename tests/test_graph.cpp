// The compressed layout: the same graph as the bit matrix, the first repeated
// conflict named, the 16/32-bit boundary, the loader's choice of layout, and
// conflict counts beyond 16 bits.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "core_fixture.h"

namespace {

TEST(SparseGraph, HoldsTheSameGraphAsTheBitMatrix) {
  for (unsigned seed = 1; seed <= 6; seed++) {
    const InputGraph in = random_input_graph(20 + 15 * static_cast<int>(seed), 0.15 * seed, seed, seed % 2);
    ConflictGraph dense;
    Sparse16 narrow;
    Sparse32 wide;
    build(dense, in);
    build(narrow, in);
    build(wide, in);
    ASSERT_EQ(narrow.n_edge, dense.n_edge);
    ASSERT_EQ(wide.n_edge, dense.n_edge);
    for (int i = 0; i < in.n; i++) {
      const std::vector<int> list(dense.v_adj[i], dense.v_adj[i] + dense.v_edge_count[i]);
      EXPECT_EQ(std::vector<int>(narrow.v_adj[i], narrow.v_adj[i] + narrow.v_edge_count[i]), list) << i;
      EXPECT_EQ(std::vector<int>(wide.v_adj[i], wide.v_adj[i] + wide.v_edge_count[i]), list) << i;
      EXPECT_EQ(narrow.v_weight[i], dense.v_weight[i]);
      for (int j = 0; j < in.n; j++)
        ASSERT_TRUE(narrow.conflict(i, j) == dense.conflict(i, j) && wide.conflict(i, j) == dense.conflict(i, j))
            << i << "," << j;
    }
    // What the loader does for a clique instance: the same lists, moved.
    Sparse16 moved;
    ASSERT_TRUE(sparse_from_dense(moved, dense));
    for (int i = 0; i < in.n; i++)
      ASSERT_TRUE(std::equal(moved.v_adj[i], moved.v_adj[i] + moved.v_edge_count[i], narrow.v_adj[i],
                             narrow.v_adj[i] + narrow.v_edge_count[i]));
    EXPECT_EQ(dense.matrix_adj.data(), nullptr);
  }
}

TEST(SparseGraph, NamesTheFirstRepeatedConflictInInputOrder) {
  const struct {
    int n;
    std::vector<ConflictPair> pairs;
    long long want;  // 1-based record of the first repeat, 0 for none
  } cases[] = {
      {3, {{0, 1}, {1, 2}, {0, 2}}, 0},
      {3, {{0, 1}, {1, 2}, {2, 1}}, 3},
      {4, {{3, 2}, {0, 1}, {2, 3}, {0, 1}}, 3},
      {4, {{0, 1}, {0, 1}, {1, 0}, {2, 3}}, 2},
      {2, {{0, 1}, {1, 0}}, 2},
      {3, {{0, 1}, {0, 2}, {2, 0}, {1, 0}, {0, 1}}, 3},
  };
  for (const auto& c : cases) {
    Sparse32 g;
    EXPECT_EQ(sparse_from_pairs(g, c.n, c.pairs.data(), static_cast<long long>(c.pairs.size()), nullptr), c.want)
        << c.n << " vertices, " << c.pairs.size() << " pairs";
  }
}

// Loads text in the independent-set mode with the layout asked for.
LoadResult load_text(const std::string& text, LayoutRequest layout, LoadedGraph& g) {
  const std::string path = testing::TempDir() + "mavu_sparse_" + std::to_string(getpid()) + ".clq";
  std::ofstream(path, std::ios::binary) << text;
  LoadOptions options{InstanceMode::independent_set};
  options.layout = layout;
  const LoadResult r = load_graph(path.c_str(), g, options);
  std::remove(path.c_str());
  return r;
}

TEST(SparseGraph, VertexNumbersAreSixteenBitsUpTo65536Vertices) {
  for (const int n : {65535, 65536, 65537}) {
    const std::string N = std::to_string(n), N1 = std::to_string(n - 1);
    LoadedGraph lg;
    ASSERT_EQ(load_text("p edge " + N + " 2\ne " + N + " 1\nn " + N + " 7\ne " + N1 + " " + N + "\n",
                        LayoutRequest::automatic, lg)
                  .status,
              LoadStatus::ok);
    EXPECT_EQ(lg.layout, n <= 65536 ? GraphLayout::sparse16 : GraphLayout::sparse32) << n;
    auto check = [&](const auto& g) {
      EXPECT_TRUE(g.conflict(n - 1, 0) && g.conflict(0, n - 1) && g.conflict(n - 2, n - 1)) << n;
      EXPECT_FALSE(g.conflict(0, n - 2) || g.conflict(1, n - 1)) << n;
      EXPECT_EQ(std::vector<int>(g.v_adj[n - 1], g.v_adj[n - 1] + g.v_edge_count[n - 1]), (std::vector<int>{0, n - 2}));
      EXPECT_EQ(g.v_weight[n - 1], 7.0);
      EXPECT_EQ(g.v_weight[n - 2], default_weight(n - 2));
    };
    lg.layout == GraphLayout::sparse16 ? check(lg.sparse16) : check(lg.sparse32);
  }
}

// A repeated edge is named alike whatever the layout (the compressed layout
// finds it only after reading, then has the reader name it).
TEST(SparseGraph, RepeatedEdgeGetsTheSameMessageOnEitherLayout) {
  const std::pair<std::string, std::string> cases[] = {
      {"p edge 4 3\ne 1 2\ne 3 4\ne 2 1\n", "edge record 3 repeats the edge 2-1"},
      {"p edge 4 4\ne 1 2\nc x\nn 1 5\ne 1 2\ne 3 4\ne 3 4\n", "edge record 2 repeats the edge 1-2"},
      {"p edge 3000 3\ne 1 2\ne 3000 3\ne 3  3000\n", "edge record 3 repeats the edge 3-3000"},
  };
  for (const auto& [text, fragment] : cases) {
    LoadedGraph dense, sparse;
    const LoadResult d = load_text(text, LayoutRequest::dense, dense), s = load_text(text, LayoutRequest::sparse, sparse);
    EXPECT_EQ(s.status, LoadStatus::invalid) << text;
    EXPECT_EQ(s.message, d.message) << text;
    EXPECT_NE(s.message.find(fragment), std::string::npos) << s.message;
  }
  // Input that cannot be read twice (a pipe) still gets the record, without its line.
  const std::string cmd = "printf 'p edge 4 3\\ne 1 2\\ne 3 4\\ne 2 1\\n' | MAVU_LAYOUT=sparse '" MAVU1_BIN
                          "' -f /dev/stdin -t 5 -c 1 2>&1 >/dev/null";
  std::string err;
  FILE* p = popen(cmd.c_str(), "r");
  for (char line[512]; p && std::fgets(line, sizeof line, p);) err += line;
  EXPECT_EQ(p ? pclose(p) : -1, 1 << 8);
  EXPECT_EQ(err, "/dev/stdin: edge record 3 repeats an earlier edge (the input could not be read a second time to name its line)\n");
  // Matrix Market entries may repeat: kept once.
  LoadedGraph g;
  ASSERT_EQ(load_text("%%MatrixMarket matrix coordinate pattern general\n3 3 3\n1 2\n2 1\n1 2\n",
                      LayoutRequest::sparse, g)
                .status,
            LoadStatus::ok);
  EXPECT_EQ(g.sparse16.n_edge, 1);
}

TEST(SparseGraph, LayoutRule) {
  // Average degree n/16 = 62.5 at 1000 vertices: 31250 conflict edges.
  const long long dense_max = kMaxVertices, few = 31249, many = 31250;
  const struct {
    long long n, n_edge;
    LayoutRequest request;
    GraphLayout want;
  } cases[] = {
      {1000, many, LayoutRequest::automatic, GraphLayout::dense},
      {1000, few, LayoutRequest::automatic, GraphLayout::sparse16},
      {1000, 0, LayoutRequest::dense, GraphLayout::dense},
      {1000, 499500, LayoutRequest::sparse, GraphLayout::sparse16},
      {dense_max, dense_max * (dense_max - 1) / 2, LayoutRequest::automatic, GraphLayout::dense},
      {dense_max + 1, dense_max * dense_max, LayoutRequest::automatic, GraphLayout::sparse16},
      {10000000, 100000000, LayoutRequest::automatic, GraphLayout::sparse32},
      {10000000, 100000000, LayoutRequest::dense, GraphLayout::dense},  // refused by the loader
  };
  for (const auto& c : cases) EXPECT_EQ(choose_layout(c.n, c.n_edge, c.request), c.want) << c.n << " " << c.n_edge;
  const std::pair<const char*, bool> words[] = {{nullptr, true},  {"", true},        {"auto", true},   {"dense", true},
                                                {"sparse", true}, {"Sparse", false}, {"dense ", false}};
  for (auto [text, ok] : words) {
    LayoutRequest r;
    EXPECT_EQ(parse_layout_request(text, r), ok) << (text ? text : "(unset)");
  }
}

// A star whose centre conflicts with 70,000 members: a count 16 bits cannot hold.
TEST(SparseGraph, ConflictCountsBeyondSixteenBits) {
  const int leaves = 70000;
  std::vector<ConflictPair> pairs;
  for (int v = 1; v <= leaves; v++) pairs.push_back({0, static_cast<uint32_t>(v)});
  Sparse32 g;
  ASSERT_EQ(sparse_from_pairs(g, leaves + 1, pairs.data(), leaves, nullptr), 0);
  Mavu2State<ScriptedRng, Sparse32> s;
  ASSERT_TRUE(init_data(s, g, SearchParams{}));
  for (int v = 1; v <= leaves; v++) expand(s, v);
  EXPECT_EQ(s.adj_num_in_c[0], static_cast<uint32_t>(leaves));
  EXPECT_EQ(num_v_adj(s, leaves), 1);
  pushWithTabu(s, 0, 1);
  EXPECT_EQ(items(s.cur_c_set), std::vector<int>{0});
  EXPECT_EQ(audit_state(s), "");
}

}  // namespace
