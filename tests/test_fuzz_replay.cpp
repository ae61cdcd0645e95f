// Replays the fuzzers' seeds and every kept regression input through the
// fuzz targets' own checks (their sources are compiled in here), so that the
// ordinary test suite and its sanitizer build guard against the faults
// fuzzing has found.  A target aborts when an input breaks an invariant.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#define LLVMFuzzerTestOneInput fuzz_loader_one_input
#include "fuzz/fuzz_loader.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput fuzz_cmdline_one_input
#include "fuzz/fuzz_cmdline.cpp"
#undef LLVMFuzzerTestOneInput

namespace {

namespace fs = std::filesystem;
const fs::path kFuzzDir = fs::path(MAVU_TESTS_DIR) / ".." / "fuzz";

// Feeds every input of `target` to `one_input`; returns the number fed.
template <class F>
int replay(const std::string& target, F one_input) {
  int fed = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    if (!fs::is_directory(kFuzzDir / kind / target)) continue;
    for (const fs::directory_entry& e : fs::directory_iterator(kFuzzDir / kind / target)) {
      std::ifstream in(e.path(), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      SCOPED_TRACE(e.path().string());
      one_input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      fed++;
    }
  }
  return fed;
}

TEST(FuzzReplay, LoaderSeedsAndRegressions) {
  EXPECT_GT(replay("loader", fuzz_loader_one_input), 20);
  // The seeds are named for what the loader must do with them.
  for (const fs::directory_entry& e : fs::directory_iterator(kFuzzDir / "seeds" / "loader")) {
    ConflictGraph g;
    const bool valid = e.path().filename().string().starts_with("valid_");
    EXPECT_EQ(load_conflict_graph(e.path().c_str(), g).status, valid ? LoadStatus::ok : LoadStatus::invalid) << e.path();
  }
}

TEST(FuzzReplay, CommandLineSeedsAndRegressions) { EXPECT_GE(replay("cmdline", fuzz_cmdline_one_input), 9); }

}  // namespace
