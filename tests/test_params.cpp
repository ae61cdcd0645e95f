// Command line: outcomes of the argument loop, conversions of the values,
// the echo lines and the usage line of each program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "frontend/params.h"
#include "mavu1/profile.h"
#include "mavu2/profile.h"

namespace {

// argv with a program name in front and the terminating null pointer.
struct Args {
  std::vector<std::string> words;
  std::vector<char*> ptrs;
  Args(std::initializer_list<std::string> w) : words(w) {
    words.insert(words.begin(), "mavu1");
    for (auto& s : words) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words.size()); }
  char** argv() { return ptrs.data(); }
};

ParseOutcome parse(Args a, RunParams& p) { return parse_parameters(a.argc(), a.argv(), p); }

ParseOutcome parse(Args a) {
  RunParams p;
  return parse_parameters(a.argc(), a.argv(), p);
}

auto fields(const RunParams& p) {
  return std::make_tuple(std::string(p.para_file), p.para_max_seond, p.para_seed, p.para_opt, p.para_depth,
                         p.para_directed_prob, p.para_max_iter, p.para_gama);
}

template <class F>
std::string capture(F&& write) {
  FILE* f = std::tmpfile();
  if (!f) return "<tmpfile failed>";
  write(f);
  std::string out;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
  std::fclose(f);
  return out;
}

TEST(ParamsOutcome, MandatoryOptionsGiveRun) {
  EXPECT_EQ(parse({"-f", "g.clq", "-t", "5"}), ParseOutcome::run);
  EXPECT_EQ(parse({"-t", "5", "-f", "g.clq"}), ParseOutcome::run);
}

TEST(ParamsOutcome, MissingMandatoryOptionIsUsageError) {
  EXPECT_EQ(parse({}), ParseOutcome::usage_error);
  EXPECT_EQ(parse({"-f", "g.clq"}), ParseOutcome::usage_error);
  EXPECT_EQ(parse({"-t", "5"}), ParseOutcome::usage_error);
  EXPECT_EQ(parse({"-f", "g.clq", "-s", "3", "-i", "10"}), ParseOutcome::usage_error);
}

TEST(ParamsOutcome, OptionInLastPositionWithoutValueIsUsageError) {
  EXPECT_EQ(parse({"-f"}), ParseOutcome::usage_error);
  EXPECT_EQ(parse({"-f", "g.clq", "-t"}), ParseOutcome::usage_error);
  EXPECT_EQ(parse({"-f", "g.clq", "-t", "5", "-s"}), ParseOutcome::usage_error);
  EXPECT_EQ(parse({"-f", "g.clq", "-t", "5", "-q"}), ParseOutcome::usage_error);
}

TEST(ParamsOutcome, MalformedOptionWordIsUsageOk) {
  // Anything but a dash and exactly one character in an option position.
  for (const char* bad : {"", "-", "f", "--f", "-ff", "word"}) {
    EXPECT_EQ(parse({"-f", "g.clq", "-t", "5", bad, "1"}), ParseOutcome::usage_ok) << '"' << bad << '"';
    EXPECT_EQ(parse({bad, "1", "-f", "g.clq", "-t", "5"}), ParseOutcome::usage_ok) << '"' << bad << '"';
  }
}

TEST(ParamsOutcome, LoneWordAfterMandatoryOptionsIsUsageOk) {
  EXPECT_EQ(parse({"-f", "g.clq", "-t", "5", "extra"}), ParseOutcome::usage_ok);
}

TEST(ParamsValues, DefaultsWhenOnlyMandatoryOptionsGiven) {
  RunParams p;
  ASSERT_EQ(parse({"-f", "g.clq", "-t", "5"}, p), ParseOutcome::run);
  EXPECT_STREQ(p.para_file, "g.clq");
  EXPECT_EQ(p.para_max_seond, 5);
  EXPECT_EQ(p.para_seed, 533875888);
  EXPECT_EQ(p.para_opt, 999999999.0);
  EXPECT_EQ(p.para_depth, 4000);
  EXPECT_EQ(p.para_directed_prob, 70);
  EXPECT_EQ(p.para_max_iter, 100000000);
  EXPECT_EQ(p.para_gama, 100);
}

TEST(ParamsValues, EveryOptionSetsItsVariable) {
  RunParams p;
  ASSERT_EQ(parse({"-f", "a.clq", "-t", "12", "-s", "99", "-o", "123.25", "-l", "17", "-p", "40", "-i", "5000"}, p),
            ParseOutcome::run);
  EXPECT_STREQ(p.para_file, "a.clq");
  EXPECT_EQ(p.para_max_seond, 12);
  EXPECT_EQ(p.para_seed, 99);
  EXPECT_EQ(p.para_opt, 123.25);
  EXPECT_EQ(p.para_depth, 17);
  EXPECT_EQ(p.para_directed_prob, 40);
  EXPECT_EQ(p.para_max_iter, 5000);
  EXPECT_EQ(p.para_gama, 100);  // no option sets it
}

TEST(ParamsValues, LastOccurrenceWins) {
  RunParams p;
  ASSERT_EQ(parse({"-f", "first.clq", "-t", "5", "-s", "1", "-f", "second.clq", "-s", "2", "-t", "7"}, p),
            ParseOutcome::run);
  EXPECT_STREQ(p.para_file, "second.clq");
  EXPECT_EQ(p.para_seed, 2);
  EXPECT_EQ(p.para_max_seond, 7);
}

TEST(ParamsValues, UnknownLettersAreIgnoredWithTheirValue) {
  RunParams base, p;
  ASSERT_EQ(parse({"-f", "g.clq", "-t", "5"}, base), ParseOutcome::run);
  // The values here would be malformed option words if they were not consumed as values.
  ASSERT_EQ(parse({"-q", "5", "-f", "g.clq", "-F", "word", "-t", "5", "-9", "x", "--", "-", "-T", "3"}, p),
            ParseOutcome::run);
  EXPECT_EQ(fields(p), fields(base));
}

TEST(ParamsValues, ValueBeginningWithDashIsUsedUnchanged) {
  RunParams p;
  // "-f -t": the text -t is the file name, so the time option is still missing.
  EXPECT_EQ(parse({"-f", "-t"}, p), ParseOutcome::usage_error);
  RunParams q;
  ASSERT_EQ(parse({"-f", "-t", "-t", "3", "-s", "-42", "-o", "-1.5"}, q), ParseOutcome::run);
  EXPECT_STREQ(q.para_file, "-t");
  EXPECT_EQ(q.para_max_seond, 3);
  EXPECT_EQ(q.para_seed, -42);
  EXPECT_EQ(q.para_opt, -1.5);
}

TEST(ParamsValues, ConversionTakesTheLeadingNumberOnly) {
  RunParams p;
  ASSERT_EQ(parse({"-f", "g", "-t", "abc", "-s", "12xyz", "-l", " 8", "-p", "0", "-i", "-3", "-o", "2.5e1junk"}, p),
            ParseOutcome::run);
  EXPECT_EQ(p.para_max_seond, 0);  // no leading number
  EXPECT_EQ(p.para_seed, 12);
  EXPECT_EQ(p.para_depth, 8);  // leading blanks are skipped
  EXPECT_EQ(p.para_directed_prob, 0);
  EXPECT_EQ(p.para_max_iter, -3);  // negative values are accepted
  EXPECT_EQ(p.para_opt, 25.0);
  RunParams q;
  ASSERT_EQ(parse({"-f", "g", "-t", "5", "-o", "x1"}, q), ParseOutcome::run);
  EXPECT_EQ(q.para_opt, 0.0);
}

TEST(ParamsValues, FileNameKeepsAtMost1000Characters) {
  std::string exact(1000, 'a'), longer = std::string(1000, 'b') + "tail";
  RunParams p;
  ASSERT_EQ(parse({"-f", exact, "-t", "1"}, p), ParseOutcome::run);
  EXPECT_EQ(std::string(p.para_file), exact);
  RunParams q;
  std::memset(q.para_file, 'z', sizeof q.para_file);  // the terminator must come from the parser
  ASSERT_EQ(parse({"-f", longer, "-t", "1"}, q), ParseOutcome::run);
  EXPECT_EQ(std::strlen(q.para_file), 1000u);
  EXPECT_EQ(std::string(q.para_file), longer.substr(0, 1000));
}

TEST(ParamsTable, EveryTableLetterIsParsedAndShownInUsage) {
  const std::string usage = capture([](FILE* f) { show_usage("mavu1", f); });
  for (const OptionInfo& o : kOptions) {
    const std::string flag = std::string("-") + o.letter;
    EXPECT_NE(usage.find(flag + " <"), std::string::npos) << flag << " missing from the usage line";
    // The option changes the parameters (so it is not taken for an unknown letter).
    RunParams base, p;
    ASSERT_EQ(parse({"-f", "g.clq", "-t", "5"}, base), ParseOutcome::run);
    ASSERT_EQ(parse({"-f", "g.clq", "-t", "5", flag, "77"}, p), ParseOutcome::run);
    EXPECT_NE(fields(p), fields(base)) << flag << " was ignored by the parser";
  }
}

TEST(ParamsTable, NoLetterOutsideTheTableChangesAnything) {
  RunParams base;
  ASSERT_EQ(parse({"-f", "g.clq", "-t", "5"}, base), ParseOutcome::run);
  for (int c = 33; c < 127; c++) {
    bool known = false;
    for (const OptionInfo& o : kOptions) known = known || o.letter == c;
    if (known) continue;
    RunParams p;
    ASSERT_EQ(parse({"-f", "g.clq", "-t", "5", std::string("-") + static_cast<char>(c), "77"}, p), ParseOutcome::run)
        << static_cast<char>(c);
    EXPECT_EQ(fields(p), fields(base)) << "letter " << static_cast<char>(c);
  }
}

TEST(ParamsEcho, FourLinesInOrder) {
  RunParams p;
  ASSERT_EQ(parse({"-f", "g.clq", "-t", "5"}, p), ParseOutcome::run);
  EXPECT_EQ(capture([&](FILE* f) { print_parameter_echo(p, f); }),
            "stop condition: less than 5 seconds and 100000000 iterations\n"
            "seed: 533875888\n"
            "tabu depth: 4000\n"
            "direct start probability: 70/100\n");
}

TEST(ParamsEcho, ShowsGivenValuesButNotTargetOrGama) {
  RunParams p;
  ASSERT_EQ(parse({"-f", "g.clq", "-t", "x", "-s", "-7", "-l", "12", "-p", "101", "-i", "0", "-o", "31.5"}, p),
            ParseOutcome::run);
  const std::string echo = capture([&](FILE* f) { print_parameter_echo(p, f); });
  EXPECT_EQ(echo,
            "stop condition: less than 0 seconds and 0 iterations\n"
            "seed: -7\n"
            "tabu depth: 12\n"
            "direct start probability: 101/100\n");
}

TEST(ParamsUsage, TextPerProgram) {
  const char* rest =
      " -f <filename> -t <max time> [-s <seed> -o <best know result>] [-l <tabu depth>] [-p <rho * 100>] "
      "[-i <max iteration>]\n";
  EXPECT_EQ(capture([](FILE* f) { show_usage(Mavu1Profile::kText.name, f); }), std::string("mavu1") + rest);
  EXPECT_EQ(capture([](FILE* f) { show_usage(Mavu2Profile::kText.name, f); }), std::string("mavu2") + rest);
}

}  // namespace
