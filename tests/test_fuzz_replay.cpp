// Replays the fuzzers' seeds and every kept regression input through the
// fuzz targets' own checks, so that the ordinary test suite (and its
// sanitizer build) guards against the faults fuzzing has found.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#define LLVMFuzzerTestOneInput fuzz_loader_one_input
#include "fuzz/fuzz_loader.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzz_cmdline_one_input
#include "fuzz/fuzz_cmdline.cpp"
#undef LLVMFuzzerTestOneInput

namespace {

const std::string kFuzzDir = std::string(MAVU_TESTS_DIR) + "/../fuzz";

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.' && std::string(e->d_name) != "README.md") out.push_back(dir + "/" + e->d_name);
    closedir(d);
  }
  return out;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Splits the bytes into arguments the way the command-line target does.
ParseOutcome parse_bytes(const std::string& bytes, RunParams& p) {
  std::vector<std::string> args{"mavu1"};
  size_t start = 0;
  for (size_t i = 0; i <= bytes.size(); i++) {
    if (i == bytes.size() && start == i) break;
    if (i == bytes.size() || bytes[i] == '\0') {
      args.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return parse_parameters(static_cast<int>(args.size()), argv.data(), p);
}

TEST(FuzzReplay, LoaderSeedsAndRegressions) {
  const std::vector<std::string> seeds = files_in(kFuzzDir + "/seeds/loader");
  ASSERT_GT(seeds.size(), 20u);
  for (const std::string& f : seeds) {
    const std::string bytes = slurp(f);
    // The target aborts when a loaded graph breaks an invariant.
    fuzz_loader_one_input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ConflictGraph g;
    const LoadStatus st = load_conflict_graph(f.c_str(), g);
    const bool valid = base_name(f).rfind("valid_", 0) == 0;
    EXPECT_EQ(st, valid ? LoadStatus::ok : LoadStatus::invalid) << f;
  }
  for (const std::string& f : files_in(kFuzzDir + "/regressions/loader")) {
    const std::string bytes = slurp(f);
    SCOPED_TRACE(f);
    fuzz_loader_one_input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
}

TEST(FuzzReplay, CommandLineSeedsAndRegressions) {
  const std::map<std::string, ParseOutcome> expected = {
      {"normal", ParseOutcome::run},          {"repeated", ParseOutcome::run},
      {"numbers", ParseOutcome::run},         {"long_option", ParseOutcome::usage_ok},
      {"lone_word", ParseOutcome::usage_ok},  {"empty_arg", ParseOutcome::usage_ok},
      {"no_time", ParseOutcome::usage_error}, {"missing_value", ParseOutcome::usage_error},
      {"none", ParseOutcome::usage_error},
  };
  const std::vector<std::string> seeds = files_in(kFuzzDir + "/seeds/cmdline");
  ASSERT_EQ(seeds.size(), expected.size());
  for (const std::string& f : seeds) {
    const std::string bytes = slurp(f);
    fuzz_cmdline_one_input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    RunParams p;
    ASSERT_TRUE(expected.count(base_name(f))) << f;
    EXPECT_EQ(parse_bytes(bytes, p), expected.at(base_name(f))) << f;
  }
  for (const std::string& f : files_in(kFuzzDir + "/regressions/cmdline")) {
    const std::string bytes = slurp(f);
    SCOPED_TRACE(f);
    fuzz_cmdline_one_input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
}

}  // namespace
