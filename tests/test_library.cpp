// The library against the programs: the same runs from a file, from an edge
// list and in independent-set mode (-c 1, and on the complement); solves in threads;
// errors as values; a solve stopped from another thread.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "mavu/mavu.h"
#include "support.h"

namespace {

const std::string kData = MAVU_TEST_DATA_DIR;
const std::string kInstances = std::string(MAVU_TESTS_DIR) + "/regression/instances";

struct LibRun {
  const char* name;
  std::string file;
  mavu::Program program;
  int seed, iterations, depth, directed;
  double target;
};

// The set, the #objv and #bestiter lines of the program's run with these
// options (without reduction unless `more` says otherwise).
std::string program_run(const LibRun& r, int complement = 0, const char* more = "-r 0") {
  char cmd[2048];
  std::snprintf(cmd, sizeof cmd, "'%s' -f '%s' -t 1000 -s %d -i %d -l %d -p %d -o %.17g -c %d %s",
                r.program == mavu::Program::mavu1 ? MAVU1_BIN : MAVU2_BIN, r.file.c_str(), r.seed, r.iterations,
                r.depth, r.directed, r.target, complement, more);
  FILE* p = popen(cmd, "r");
  std::string out, summary;
  for (char buf[4096]; p && std::fgets(buf, sizeof buf, p);) out += buf;
  if (p) pclose(p);
  std::istringstream in(out.substr(std::min(out.size(), out.find("\nFinal") + 1)));
  for (std::string line; std::getline(in, line);)
    if (!line.starts_with("Final") && !line.starts_with("#besttime") && !line.starts_with("$") &&
        !line.starts_with("@") && !line.empty())
      summary += line + "\n";
  return summary;
}

// The same three lines from the library's result.
std::string library_run(const LibRun& r, const mavu::Result& res) {
  std::string s;
  for (int v : res.vertices) s += std::to_string(v) + " ";
  char objv[64];
  std::snprintf(objv, sizeof objv, r.program == mavu::Program::mavu1 ? "#objv=%f" : "#objv=%.5f", res.weight);
  return s + "\n" + objv + "\n#bestiter=" + std::to_string(res.best_iteration) + "\n";
}

mavu::Options options(const LibRun& r) {
  mavu::Options o;
  o.program = r.program;
  o.seed = r.seed;
  o.max_iterations = r.iterations;
  o.depth = r.depth;
  o.directed_percent = r.directed;
  o.target = r.target;
  o.reduce = mavu::Reduce::off;
  return o;
}

// The file's graph read independently of the library's loader ("e a b" and "v a w" records):
// its edges, its complement's, or its edges as the conflicts of an independent-set graph.
enum class Form { edges, complement, conflicts };
mavu::Graph from_edge_list(const std::string& file, Form form) {
  std::ifstream in(file);
  int n = 0;
  std::vector<std::pair<int, int>> edges;
  std::vector<std::vector<bool>> adj;
  std::vector<double> weights;
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    std::string tag, word;
    f >> tag;
    if (tag == "p") {
      f >> word >> n;
      adj.assign(n, std::vector<bool>(n));
      for (int i = 0; i < n; i++) weights.push_back((i + 1) % 200 + 1);
    } else if (int a, b; tag == "e" && f >> a >> b) {
      adj[a - 1][b - 1] = adj[b - 1][a - 1] = true;
      edges.push_back({a - 1, b - 1});
    } else if (double w; tag == "v" && f >> a >> w) {
      weights[a - 1] = w;
    }
  }
  if (form == Form::complement) {
    edges.clear();
    for (int i = 0; i < n; i++)
      for (int j = i + 1; j < n; j++)
        if (!adj[i][j]) edges.push_back({j, i});
  }
  return mavu::Graph::from_edges(n, edges, weights, form == Form::conflicts);
}

const LibRun kRuns[] = {
    {"C125_mavu1", kData + "/C125.9.clq", mavu::Program::mavu1, 5, 20000, 4000, 70, 999999999.0},
    {"C125_mavu2", kData + "/C125.9.clq", mavu::Program::mavu2, 7, 20000, 4000, 70, 999999999.0},
    {"brock_mavu1_shallow", kData + "/brock200_2.clq", mavu::Program::mavu1, 3, 30000, 50, 100, 999999999.0},
    {"keller4_mavu2_random_restarts", kData + "/keller4.clq", mavu::Program::mavu2, 11, 30000, 200, 0, 999999999.0},
    {"frac_mavu2_target", kInstances + "/g40_frac.clq", mavu::Program::mavu2, 2, 50000, 30, 50, 20.0},
    {"p_hat300_mavu1", kInstances + "/p_hat300-1.clq", mavu::Program::mavu1, 1, 50000, 4000, 70, 999999999.0},
};

class Library : public testing::TestWithParam<LibRun> {};

TEST_P(Library, FileEdgeListAndIndependentSetModeGiveTheProgramsRun) {
  const LibRun& r = GetParam();
  const std::string expected = program_run(r);
  ASSERT_NE(expected, "");
  mavu::Options o = options(r);
  const mavu::Result from_file = mavu::solve(mavu::Graph::from_file(r.file), o);
  ASSERT_TRUE(from_file.ok()) << from_file.message;
  EXPECT_EQ(library_run(r, from_file), expected);
  EXPECT_EQ(library_run(r, mavu::solve(from_edge_list(r.file, Form::edges), o)), expected);
  o.independent_set = true;
  EXPECT_EQ(library_run(r, mavu::solve(from_edge_list(r.file, Form::complement), o)), expected);
  const std::string independent = program_run(r, 1);  // -c 1
  EXPECT_EQ(library_run(r, mavu::solve(mavu::Graph::from_file(r.file), o)), independent);
  EXPECT_EQ(library_run(r, mavu::solve(from_edge_list(r.file, Form::conflicts), o)), independent);
  // Read for the independent-set mode (in the layout the programs choose), then solved in both modes.
  const mavu::Graph read_for_is = mavu::Graph::from_file(r.file, true);
  EXPECT_EQ(library_run(r, mavu::solve(read_for_is, o)), independent);
  o.independent_set = false;
  EXPECT_EQ(library_run(r, mavu::solve(read_for_is, o)), expected);
}

INSTANTIATE_TEST_SUITE_P(Runs, Library, testing::ValuesIn(kRuns), [](const auto& info) { return info.param.name; });

// A sparse file read for independent sets takes the compressed layout; the
// clique mode's graph is then built from it.  Both give the programs' runs.
TEST(LibraryLayouts, ASparseGraphReadForIndependentSetsSolvesInBothModes) {
  const std::string file = testing::TempDir() + "mavu_lib_sparse_" + std::to_string(getpid()) + ".clq";
  std::string edges;
  int m = 0;
  for (int a = 1; a <= 400; a++)
    for (int b = a + 1; b <= 400; b++)
      if ((a * 7919 + b * 104729) % 97 == 0) edges += "e " + std::to_string(a) + " " + std::to_string(b) + "\n", m++;
  std::ofstream(file) << "p edge 400 " << m << "\n" << edges;
  const LibRun r{"sparse", file, mavu::Program::mavu2, 4, 20000, 4000, 70, 999999999.0};
  const mavu::Graph g = mavu::Graph::from_file(file, true);
  mavu::Options o = options(r);
  o.independent_set = true;
  EXPECT_EQ(library_run(r, mavu::solve(g, o)), program_run(r, 1));
  EXPECT_EQ(library_run(r, mavu::solve(from_edge_list(file, Form::conflicts), o)), program_run(r, 1));
  o.independent_set = false;
  EXPECT_EQ(library_run(r, mavu::solve(g, o)), program_run(r));
  std::remove(file.c_str());
}

// Reduced solves give the programs' -r 1 runs (set, weight, iteration,
// kernel, proof) from a file read for either mode and from an edge list;
// Reduce::off gives the run without -r.
TEST(LibraryReduce, ReducedSolvesGiveTheProgramsRuns) {
  const std::string planted = testing::TempDir() + "mavu_lib_planted_" + std::to_string(getpid()) + ".clq";
  {
    std::string edges;
    int m = 0;
    for (int a = 1; a <= 2000; a++)
      for (int b = a + 1; b <= 2000; b++)
        if ((a <= 12 && b <= 12) || (a * 7919 + b * 104729) % 331 == 0)
          edges += "e " + std::to_string(a) + " " + std::to_string(b) + "\n", m++;
    std::ofstream(planted) << "p edge 2000 " << m << "\n" << edges;
  }
  const LibRun runs[] = {
      {"planted", planted, mavu::Program::mavu1, 3, 20000, 4000, 70, 999999999.0},
      {"p_hat300", kInstances + "/p_hat300-1.clq", mavu::Program::mavu2, 1, 50000, 4000, 70, 999999999.0},
  };
  for (const LibRun& r : runs) {
    SCOPED_TRACE(r.name);
    const std::string expected = program_run(r, 0, "-r 1");
    ASSERT_NE(expected.find("#kernel="), std::string::npos) << expected;
    mavu::Options o = options(r);
    o.reduce = mavu::Reduce::on;
    for (const mavu::Graph& g :
         {mavu::Graph::from_file(r.file), mavu::Graph::from_file(r.file, true), from_edge_list(r.file, Form::edges)}) {
      const mavu::Result res = mavu::solve(g, o);
      ASSERT_TRUE(res.ok()) << res.message;
      EXPECT_EQ(library_run(r, res) + "#kernel=" + std::to_string(res.kernel_vertices) +
                    "\n#optimal=" + std::to_string(res.proven_optimal) + "\n",
                expected);
    }
    o.reduce = mavu::Reduce::off;
    const mavu::Result plain = mavu::solve(mavu::Graph::from_file(r.file), o);
    EXPECT_EQ(library_run(r, plain), program_run(r, 0, "-r 0"));
    EXPECT_EQ(plain.kernel_vertices, -1);
  }
  std::remove(planted.c_str());
}

// Independent-set solves with Reduce::on give the programs' -c 1 -r 1 runs,
// and Reduce::automatic their -c 1 runs: one dense part (p_hat300-1: no rule
// applies, searched by the tabu search), two of them (two disjoint copies:
// each gets half the iterations), and a graph the reduction and the exact
// search settle (MANN_a27, proven optimal).
TEST(LibraryReduce, IndependentSetSolvesGiveTheProgramsReducedRuns) {
  const std::string twice = testing::TempDir() + "mavu_lib_twice_" + std::to_string(getpid()) + ".clq";
  {
    std::ifstream in(kInstances + "/p_hat300-1.clq");
    std::string edges;
    int m = 0;
    for (std::string line; std::getline(in, line);)
      if (int a, b; line.starts_with("e ") && std::sscanf(line.c_str(), "e %d %d", &a, &b) == 2) {
        edges += "e " + std::to_string(a) + " " + std::to_string(b) + "\ne " + std::to_string(a + 300) + " " +
                 std::to_string(b + 300) + "\n";
        m += 2;
      }
    std::ofstream(twice) << "p edge 600 " << m << "\n" << edges;
  }
  const LibRun runs[] = {
      {"p_hat300", kInstances + "/p_hat300-1.clq", mavu::Program::mavu2, 1, 30000, 4000, 70, 999999999.0},
      {"two_parts", twice, mavu::Program::mavu1, 5, 40000, 4000, 70, 999999999.0},
      {"MANN_a27_proven", kData + "/MANN_a27.clq", mavu::Program::mavu1, 2, 1000, 4000, 70, 999999999.0},
  };
  for (const LibRun& r : runs) {
    SCOPED_TRACE(r.name);
    const std::string expected = program_run(r, 1, "-r 1");
    ASSERT_NE(expected.find("#kernel="), std::string::npos) << expected;
    mavu::Options o = options(r);
    o.independent_set = true;
    o.reduce = mavu::Reduce::on;
    const mavu::Result res = mavu::solve(mavu::Graph::from_file(r.file, true), o);
    ASSERT_TRUE(res.ok()) << res.message;
    EXPECT_EQ(library_run(r, res) + "#kernel=" + std::to_string(res.kernel_vertices) +
                  "\n#optimal=" + std::to_string(res.proven_optimal) + "\n",
              expected);
    o.reduce = mavu::Reduce::automatic;  // independent-set solves reduce unless told not to, as -c 1 alone
    const mavu::Result automatic = mavu::solve(mavu::Graph::from_file(r.file, true), o);
    EXPECT_EQ(library_run(r, automatic) + "#kernel=" + std::to_string(automatic.kernel_vertices) +
                  "\n#optimal=" + std::to_string(automatic.proven_optimal) + "\n",
              program_run(r, 1, ""));
    o.reduce = mavu::Reduce::off;
    const mavu::Result plain = mavu::solve(mavu::Graph::from_file(r.file, true), o);
    EXPECT_EQ(library_run(r, plain), program_run(r, 1));
    EXPECT_EQ(plain.kernel_vertices, -1);
  }
  std::remove(twice.c_str());
}

// The two clique runs find their best late (after 166040 and 245839
// iterations), so they overlap while they draw; the third builds the
// independent-set graph of the shared Graph at the same time.
TEST(LibraryThreads, SolvesAtOnceGiveTheSequentialResults) {
  const mavu::Graph g = mavu::Graph::from_file(kData + "/MANN_a27.clq");
  mavu::Options o[3];
  o[0].seed = 4, o[0].max_iterations = 300000, o[0].depth = 50;
  o[1].seed = 2, o[1].max_iterations = 300000, o[1].depth = 50, o[1].program = mavu::Program::mavu2;
  o[2].seed = 1, o[2].max_iterations = 20000, o[2].independent_set = true;
  mavu::Result par[3];
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; i++) threads.emplace_back([&, i] { par[i] = mavu::solve(g, o[i]); });
  for (auto& t : threads) t.join();
  for (int i = 0; i < 3; i++) {
    const mavu::Result seq = mavu::solve(g, o[i]);
    EXPECT_EQ(par[i].vertices, seq.vertices) << i;
    EXPECT_EQ(par[i].weight, seq.weight) << i;
    EXPECT_EQ(par[i].best_iteration, seq.best_iteration) << i;
  }
}

TEST(LibraryErrors, StatusAndTheProgramsMessage) {
  const std::string bad = testing::TempDir() + "mavu_bad.clq";
  std::ofstream(bad) << "p edge 3 1\ne 1 9\n";
  const std::string missing = testing::TempDir() + "mavu_missing.clq";
  mavu::Options nan_limit;
  nan_limit.time_limit = std::nan("");
  const struct {
    mavu::Result r;
    mavu::Status status;
    std::string message;
  } cases[] = {
      {mavu::solve(mavu::Graph::from_file(missing)), mavu::Status::cannot_open, "Can not open file " + missing},
      {mavu::solve(mavu::Graph::from_file(bad)), mavu::Status::invalid_input, ""},
      {mavu::solve(mavu::Graph()), mavu::Status::invalid_input, "no graph"},
      {mavu::solve(mavu::Graph::from_edges(3, {{0, 3}})), mavu::Status::invalid_input, "edge 0 has a vertex outside 0 .. 2"},
      {mavu::solve(mavu::Graph::from_edges(3, {{0, 1}, {1, 0}})), mavu::Status::invalid_input, "edge 1 repeats an earlier edge"},
      {mavu::solve(mavu::Graph::from_edges(2, {}, {1.0, -1.0})), mavu::Status::invalid_input,
       "the weight of vertex 1 is negative"},
      {mavu::solve(mavu::Graph::from_edges(4, {}, {1.0, 2.0, 3.0})), mavu::Status::invalid_input, "3 weights for 4 vertices"},
      {mavu::solve(mavu::Graph::from_edges(3, {{0, 1}, {2, 2}}, {}, true)), mavu::Status::invalid_input,
       "edge 1 is a loop on vertex 2"},
      {mavu::solve(mavu::Graph::from_edges(2, {}), nan_limit), mavu::Status::invalid_options,
       "time_limit = nan is outside its range 0 .. inf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mavu::to_string(c.r.status), mavu::to_string(c.status)) << c.message;
    EXPECT_TRUE(c.r.vertices.empty());
    if (!c.message.empty()) {
      EXPECT_EQ(c.r.message, c.message);
    }
  }
  // The loader's line, as the program writes it on standard error.
  FILE* p = popen(("'" MAVU1_BIN "' -f '" + bad + "' -t 5 2>&1 >/dev/null").c_str(), "r");
  char line[512] = "";
  if (p && !std::fgets(line, sizeof line, p)) line[0] = '\0';
  if (p) pclose(p);
  EXPECT_EQ(cases[1].r.message + "\n", line);
  std::remove(bad.c_str());
}

TEST(LibraryStop, AStopFromAnotherThreadEndsTheSolveWithItsBestSet) {
  const mavu::Graph g = mavu::Graph::from_file(kData + "/keller4.clq");
  mavu::StopToken stop;
  mavu::Options o;
  o.reduce = mavu::Reduce::off;  // the search alone (the exact search would prove keller4 at once)
  o.stop = &stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  const mavu::Result r = mavu::solve(g, o);  // 10^8 iterations (about a minute) unless stopped
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stopper.join();
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.stopped, mavu::StopReason::stop_requested);
  EXPECT_GT(r.weight, 0);
  EXPECT_LT(seconds, 10.0);
  // Stopped before the first iteration: the starting set, as after -i 0.
  mavu::Options zero;
  zero.reduce = mavu::Reduce::off;
  zero.max_iterations = 0;
  const mavu::Result at_start = mavu::solve(g, o), no_iterations = mavu::solve(g, zero);
  EXPECT_EQ(at_start.stopped, mavu::StopReason::stop_requested);
  EXPECT_EQ(at_start.vertices, no_iterations.vertices);
  EXPECT_EQ(at_start.best_iteration, 0);
}

// Every bound of the option table is enforced, with the option's name and range.
TEST(LibraryOptions, ValuesOutOfRangeAreRefusedNamingTheOptionAndItsRange) {
  const mavu::Graph g = mavu::Graph::from_edges(2, {{0, 1}});
  const std::pair<void (*)(mavu::Options&), std::string> cases[] = {
      {[](mavu::Options& o) { o.depth = -1; }, "depth = -1 is outside its range 0 .. 2147483647"},
      {[](mavu::Options& o) { o.directed_percent = 101; }, "directed_percent = 101 is outside its range 0 .. 100"},
      {[](mavu::Options& o) { o.directed_percent = -1; }, "directed_percent = -1 is outside its range 0 .. 100"},
      {[](mavu::Options& o) { o.max_iterations = -5; }, "max_iterations = -5 is outside its range 0 .. 2147483647"},
      {[](mavu::Options& o) { o.time_limit = -1; }, "time_limit = -1 is outside its range 0 .. inf"},
      {[](mavu::Options& o) { o.wall_time_limit = -0.5; }, "wall_time_limit = -0.5 is outside its range 0 .. inf"},
      {[](mavu::Options& o) { o.target = std::nan(""); }, "target = nan is outside its range any number"},
      {[](mavu::Options& o) { o.threads = 5000; }, "threads = 5000 is outside its range 0 .. 1024"},
  };
  for (const auto& [set, message] : cases) {
    mavu::Options o;
    o.max_iterations = 10;
    set(o);
    const mavu::Result r = mavu::solve(g, o);
    EXPECT_EQ(r.status, mavu::Status::invalid_options) << message;
    EXPECT_EQ(r.message, message);
  }
  mavu::Options edge;  // both ends of each range are in it
  edge.max_iterations = 0, edge.depth = 0, edge.directed_percent = 100, edge.time_limit = 0;
  EXPECT_TRUE(mavu::solve(g, edge).ok());
}

// Each limit ends the solve and is named; the progress callback reports at
// most every 0.1 s, and a stop requested from it ends the solve.
TEST(LibraryStop, TheResultSaysWhyItStoppedAndAfterHowManyIterations) {
  const mavu::Graph g = mavu::Graph::from_file(kData + "/keller4.clq");
  mavu::StopToken token;
  std::vector<std::pair<std::chrono::steady_clock::time_point, mavu::Progress>> calls;
  const std::pair<void (*)(mavu::Options&), mavu::StopReason> cases[] = {
      {[](mavu::Options& o) { o.max_iterations = 1000; }, mavu::StopReason::iterations},
      {[](mavu::Options& o) { o.time_limit = 0.2; }, mavu::StopReason::time_limit},
      {[](mavu::Options& o) { o.wall_time_limit = 0.2, o.max_iterations = mavu::kNoIterationLimit; },
       mavu::StopReason::wall_time_limit},
      {[](mavu::Options& o) { o.target = 10; }, mavu::StopReason::target},
      {nullptr, mavu::StopReason::stop_requested},
  };
  for (const auto& [set, reason] : cases) {
    mavu::Options o;
    o.reduce = mavu::Reduce::off;  // the search alone (the exact search would prove keller4 at once)
    if (set) {
      set(o);
    } else {
      o.stop = &token;
      o.progress = [&](const mavu::Progress& p) {
        calls.push_back({std::chrono::steady_clock::now(), p});
        if (calls.size() == 4) token.request_stop();
      };
    }
    const mavu::Result r = mavu::solve(g, o);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.stopped, reason) << mavu::to_string(reason);
    EXPECT_LE(r.best_iteration, r.iterations);
    if (reason == mavu::StopReason::iterations) {
      EXPECT_EQ(r.iterations, 1000);
    }
  }
  ASSERT_EQ(calls.size(), 4u);
  for (size_t i = 1; i < calls.size(); i++) {
    EXPECT_GE(calls[i].first - calls[i - 1].first, std::chrono::milliseconds(99));
    EXPECT_GT(calls[i].second.iterations, calls[i - 1].second.iterations);
    EXPECT_GE(calls[i].second.best_weight, calls[i - 1].second.best_weight);
  }
}

// Several seeds in threads give each seed's own run; the best is the first
// listed among the heaviest.
TEST(LibrarySeeds, ParallelSeedsAreTheSequentialRunsAndTheFirstBestWins) {
  const mavu::Graph g = mavu::Graph::from_file(kData + "/brock200_2.clq");
  mavu::Options o;
  o.max_iterations = 20000, o.depth = 50;
  o.seeds = {3, 1, 4, 1, 5, 9};
  o.threads = 2;
  const mavu::Result r = mavu::solve(g, o);
  ASSERT_TRUE(r.ok()) << r.message;
  ASSERT_EQ(r.runs.size(), o.seeds.size());
  size_t best = 0;
  for (size_t i = 0; i < o.seeds.size(); i++) {
    mavu::Options one = o;
    one.seeds.clear();
    one.seed = o.seeds[i];
    const mavu::Result alone = mavu::solve(g, one);
    EXPECT_EQ(r.runs[i].seed, o.seeds[i]);
    EXPECT_EQ(r.runs[i].vertices, alone.vertices) << i;
    EXPECT_EQ(r.runs[i].best_iteration, alone.best_iteration) << i;
    if (alone.weight > r.runs[best].weight) best = i;
  }
  EXPECT_EQ(r.seed, o.seeds[best]);
  EXPECT_EQ(r.vertices, r.runs[best].vertices);
}

// Zero weights are accepted and never taken; an empty graph has the empty
// set; a weight outside the graph is NaN.
TEST(LibraryGraphs, ZeroWeightsEmptyGraphsAndWeightsOutsideTheGraph) {
  const std::vector<std::pair<int, int>> triangle_and_tail = {{0, 1}, {1, 2}, {0, 2}, {2, 3}};
  const std::vector<double> w = {2, 0, 3, 4};
  mavu::Options o;
  o.max_iterations = 1000;
  EXPECT_EQ(mavu::solve(mavu::Graph::from_edges(4, triangle_and_tail, w), o).vertices, (std::vector<int>{2, 3}));
  o.independent_set = true;
  EXPECT_EQ(mavu::solve(mavu::Graph::from_edges(4, triangle_and_tail, w, true), o).vertices, (std::vector<int>{0, 3}));
  const mavu::Result empty = mavu::solve(mavu::Graph::from_edges(0, {}), o);
  EXPECT_TRUE(empty.ok() && empty.vertices.empty() && empty.stopped == mavu::StopReason::empty_graph);
  const mavu::Graph g = mavu::Graph::from_edges(4, triangle_and_tail, w);
  EXPECT_EQ(g.weight(3), 4);
  EXPECT_EQ(g.weight(1), 0);
  EXPECT_TRUE(std::isnan(g.weight(4)) && std::isnan(g.weight(-1)) && std::isnan(mavu::Graph().weight(0)));
}

// A graph built from conflicts (from_edges with independent_set) is solved
// for independent sets only: a clique solve is refused, not answered with a
// clique of the conflicts.
TEST(LibraryGraphs, AGraphBuiltForIndependentSetsRefusesCliqueSolves) {
  const mavu::Graph g = mavu::Graph::from_edges(4, {{0, 1}, {1, 2}, {2, 3}}, {1, 2.5, 2.5, 1}, true);
  const mavu::Result clique = mavu::solve(g);
  EXPECT_EQ(clique.status, mavu::Status::invalid_options);
  EXPECT_NE(clique.message.find("built for independent sets"), std::string::npos) << clique.message;
  mavu::Options o;
  o.independent_set = true;
  o.max_iterations = 10000;
  for (mavu::Reduce reduce : {mavu::Reduce::automatic, mavu::Reduce::off}) {
    o.reduce = reduce;
    const mavu::Result r = mavu::solve(g, o);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.weight, 3.5);
  }
  // Built for cliques, a graph still solves both problems.
  EXPECT_EQ(mavu::solve(mavu::Graph::from_edges(4, {{0, 1}, {1, 2}, {2, 3}}, {1, 2.5, 2.5, 1}), o).weight, 3.5);
}

// A target that the first construction's set already meets ends the run at
// iteration 0, in both programs and both modes.
TEST(LibraryStop, ATargetMetByTheFirstConstructionEndsTheRun) {
  for (mavu::Program program : {mavu::Program::mavu1, mavu::Program::mavu2}) {
    mavu::Options o;
    o.program = program;
    o.reduce = mavu::Reduce::off;
    o.target = 3;
    const mavu::Result r = mavu::solve(mavu::Graph::from_edges(3, {{0, 1}, {1, 2}, {0, 2}}, {2, 3, 4}), o);
    EXPECT_EQ(r.weight, 9);
    EXPECT_EQ(r.stopped, mavu::StopReason::target);
    EXPECT_EQ(r.iterations, 0);
    o.independent_set = true;
    const mavu::Result s = mavu::solve(mavu::Graph::from_edges(3, {{0, 1}}, {2, 3, 4}, true), o);
    EXPECT_EQ(s.stopped, mavu::StopReason::target);
    EXPECT_EQ(s.iterations, 0);
  }
}

// A progress callback that throws: the solve ends soon (its limits would
// take a minute), every thread joined, and the caller gets the exception;
// with one seed or several, with or without a stop token, reduced or not.
TEST(LibraryStop, AThrowingProgressCallbackEndsTheSolveAndReachesTheCaller) {
  struct CallbackFailed {};
  const mavu::Graph c125 = mavu::Graph::from_file(kData + "/C125.9.clq");
  const mavu::Graph frb = mavu::Graph::from_file(kInstances + "/frb30-15-1.clq");  // no proof in a minute
  mavu::StopToken token;
  struct Case {
    const char* name;
    const mavu::Graph* graph;
    std::vector<int> seeds;
    mavu::Reduce reduce;
    const mavu::StopToken* stop;
  };
  const Case cases[] = {
      {"one seed", &c125, {}, mavu::Reduce::off, nullptr},
      {"four seeds", &c125, {1, 2, 3, 4}, mavu::Reduce::off, nullptr},
      {"four seeds, stop token", &c125, {1, 2, 3, 4}, mavu::Reduce::off, &token},
      {"reduced, one seed", &frb, {}, mavu::Reduce::on, nullptr},
      {"reduced, four seeds", &frb, {1, 2, 3, 4}, mavu::Reduce::on, nullptr},
      {"reduced, four seeds, stop token", &frb, {1, 2, 3, 4}, mavu::Reduce::on, &token},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::atomic<int> calls{0};
    mavu::Options o;
    o.max_iterations = mavu::kNoIterationLimit;
    o.wall_time_limit = 60;
    o.seeds = c.seeds;
    o.threads = 2;
    o.reduce = c.reduce;
    o.stop = c.stop;
    o.progress = [&](const mavu::Progress&) {
      calls++;
      throw CallbackFailed{};
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW((void)mavu::solve(*c.graph, o), CallbackFailed);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
    EXPECT_GE(calls.load(), 1);
    EXPECT_LE(calls.load(), 2);  // at most one per thread: none after a throw was seen
  }
  EXPECT_FALSE(token.stop_requested());
}

}  // namespace
