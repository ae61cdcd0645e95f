// Command line: outcomes of the argument loop, conversions of the values and
// the option table.  (The echo, the usage line and the last of repeated
// options winning are pinned end to end by the reference runs.)
#include <limits>
#include <tuple>

#include "frontend/params.h"
#include "support.h"

namespace {

ParseOutcome parse(std::vector<std::string> words, RunParams& p) {
  words.insert(words.begin(), "mavu1");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  return parse_parameters(static_cast<int>(words.size()), argv.data(), p);
}

using Fields = std::tuple<std::string, int, int, double, int, int, int, int>;  // f t s o l p i gama
Fields fields(const RunParams& p) {
  return {p.para_file,   p.para_max_seond, p.para_seed,     p.para_opt,
          p.para_depth, p.para_directed_prob, p.para_max_iter, p.para_gama};
}

TEST(Params, Outcomes) {
  constexpr ParseOutcome run = ParseOutcome::run, error = ParseOutcome::usage_error, ok = ParseOutcome::usage_ok;
  std::vector<std::pair<std::vector<std::string>, ParseOutcome>> cases = {
      {{"-t", "5", "-f", "g"}, run},
      {{"-f", "g", "-s", "3", "-i", "10"}, error},
      {{"-t", "5"}, error},
      {{"-f", "g", "-t"}, error},  // an option in the last position has no value
      {{"-f", "-t"}, error},       // "-t" is the file name: the time is missing
      {{"-f", "g", "-t", "5", "-q"}, error},
  };
  // Anything but a dash and exactly one character in an option position.
  for (const char* bad : {"", "-", "f", "--f", "-ff"}) cases.push_back({{"-f", "g", "-t", "5", bad, "1"}, ok});
  for (const auto& [args, want] : cases) {
    RunParams p;
    EXPECT_EQ(parse(args, p), want) << testing::PrintToString(args);
  }
}

TEST(Params, Values) {
  const double kNone = std::numeric_limits<double>::infinity();  // no target without -o
  const std::string kept(1000, 'b'), longer = kept + "tail";
  const std::pair<std::vector<std::string>, Fields> cases[] = {
      {{"-f", "g.clq", "-t", "5"}, {"g.clq", 5, 533875888, kNone, 4000, 70, 100000000, 100}},
      {{"-f", "a", "-t", "12", "-s", "99", "-o", "123.25", "-l", "17", "-p", "40", "-i", "5000"},
       {"a", 12, 99, 123.25, 17, 40, 5000, 100}},
      // Unknown letters are ignored with their value, even one that looks like an option; values
      // beginning with a dash are used unchanged.
      {{"-q", "5", "-f", "-t", "-t", "3", "-9", "-x", "-s", "-42", "-o", "-1.5"},
       {"-t", 3, -42, -1.5, 4000, 70, 100000000, 100}},
      // Conversion takes the leading number only (0 without one), skipping leading blanks.
      {{"-f", "g", "-t", "abc", "-s", "12xyz", "-l", " 8", "-p", "0", "-i", "-3", "-o", "2.5e1junk"},
       {"g", 0, 12, 25.0, 8, 0, -3, 100}},
      {{"-f", "g", "-t", "5", "-o", "x1"}, {"g", 5, 533875888, 0.0, 4000, 70, 100000000, 100}},
      // The file name keeps at most 1000 characters.
      {{"-f", longer, "-t", "1"}, {kept, 1, 533875888, kNone, 4000, 70, 100000000, 100}},
  };
  for (const auto& [args, want] : cases) {
    RunParams p;
    ASSERT_EQ(parse(args, p), ParseOutcome::run) << testing::PrintToString(args);
    EXPECT_EQ(fields(p), want) << testing::PrintToString(args);
  }
}

// Every letter of the option table is parsed and shown in the usage line; no other letter changes anything.
TEST(Params, OptionTableMatchesParserAndUsage) {
  const std::string usage = capture([](FILE* f) { show_usage("mavu1", f); });
  RunParams base;
  ASSERT_EQ(parse({"-f", "g", "-t", "5"}, base), ParseOutcome::run);
  for (int c = 33; c < 127; c++) {
    const std::string flag = std::string("-") + static_cast<char>(c);
    bool known = false, in_usage = false;
    for (const OptionInfo& o : kOptions)
      if (o.letter == c) known = true, in_usage = o.in_usage_line;
    RunParams p;
    ASSERT_EQ(parse({"-f", "g", "-t", "5", flag, "77"}, p), ParseOutcome::run) << flag;
    EXPECT_EQ(fields(p) != fields(base) || p.para_complement != base.para_complement ||
                  p.para_reduce != base.para_reduce,
              known) << flag;
    EXPECT_EQ(usage.find(flag + " <") != std::string::npos, in_usage) << flag;
  }
}

}  // namespace
