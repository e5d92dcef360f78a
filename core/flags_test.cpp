#include "core/flags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quen {
namespace {

class FlagValueTest : public ::testing::Test {};

TEST_F(FlagValueTest, DecidingCharacterAfterSpaceSignAndZeros) {
  const struct {
    std::string_view value;
    bool expected;
  } rows[] = {
      {"true", true}, {"YES", true}, {"yes", true}, {"1", true}, {"t", true}, {"7", true},
      {"01", true}, {"-1", true}, {" 1", true}, {" +0009", true}, {"Yx", true}, {"T", true},
      {"y", true}, {"\t\n\v\f\r 1", true}, {"+1", true}, {"000000000000000000001", true},
      {"9abc", true}, {"yfalse", true}, {"1\xFF\xFE", true}, {std::string_view("1\0", 2), true},
      {"false", false}, {"NO", false}, {"no", false}, {"0", false}, {"00", false}, {"-0", false},
      {"on", false}, {"off", false}, {"", false}, {"n", false}, {" ", false}, {"+", false},
      {"-", false}, {"+-1", false}, {"--1", false}, {"0x1", false}, {"--argTitleNeeded", false},
      {"0.5", false}, {"\xC2\xA0" "1", false}, {"ntrue", false}, {"0 1", false},
      {std::string_view("\0" "1", 2), false}};
  for (const auto& row : rows)
    EXPECT_EQ(flagValueIsTrue(row.value), row.expected) << '"' << row.value << '"';
}

// A three-flag table like the focus agent's, built here so that the scan is tested apart
// from the agents' own tables.
class ArgumentScanTest : public ::testing::Test {
 protected:
  // Per flag (title, url, permission): 'T' or 'F' as set by the scan, '-' left untouched.
  // Each row runs from all flags false and again from all flags true.
  void expectScan(const std::vector<std::string>& arguments, std::string_view expected) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    for (const bool start : {false, true}) {
      bool flags[3] = {start, start, start};
      const FlagBinding table[] = {{"--argTitleNeeded", &flags[0]},
                                   {"--argUrlNeeded", &flags[1]},
                                   {"--argForceReqPerm", &flags[2]}};
      scanArguments(static_cast<int>(argv.size()), argv.data(), table, 3);
      for (int flag = 0; flag < 3; ++flag)
        EXPECT_EQ(flags[flag], expected[flag] == '-' ? start : expected[flag] == 'T')
            << "flag " << flag << " from " << start;
    }
  }
};

TEST_F(ArgumentScanTest, CasesOfTheScan) {
  const struct {
    const char* what;
    std::vector<std::string> arguments;
    std::string_view expected;
  } rows[] = {
      {"all pairs, any order",
       {"agent", "--argForceReqPerm", "0", "--argTitleNeeded", "YES", "--argUrlNeeded", "1"},
       "TTF"},
      {"no arguments", {}, "---"},
      {"too few", {"agent", "--argTitleNeeded", "1"}, "---"},
      {"one too few", {"agent", "--argTitleNeeded", "1", "--argUrlNeeded", "1", "x"}, "---"},
      {"count alone decides", {"agent", "a", "b", "c", "d", "--argUrlNeeded", "1"}, "-T-"},
      {"value that is a flag name",
       {"agent", "--argTitleNeeded", "--argUrlNeeded", "1", "--argForceReqPerm", "0", "x"},
       "FTF"},
      {"flag given last", {"agent", "--argUrlNeeded", "1", "a", "b", "c", "--argTitleNeeded"},
       "-T-"},
      {"later occurrence wins", {"agent", "--argUrlNeeded", "1", "x", "y", "--argUrlNeeded", "no"},
       "-F-"},
      {"later occurrence wins", {"agent", "--argUrlNeeded", "no", "x", "y", "--argUrlNeeded", "t"},
       "-T-"},
      {"program path is examined", {"--argTitleNeeded", "1", "a", "b", "c", "d", "e"}, "T--"},
      {"whole names only",
       {"agent", "--argTitleNeeded=1", "1", "--argurlneeded", "1", "--argForceReqPerm ", "1"},
       "---"},
      {"whole names only",
       {"agent", "-argTitleNeeded", "1", "--argUrlNeededX", "1", "argForceReqPerm", "1"}, "---"},
      {"value rule",
       {"agent", "--argTitleNeeded", " +0009", "--argUrlNeeded", "on", "--argForceReqPerm", "t"},
       "TFT"},
      {"bytes that are not UTF-8",
       {"\xFF\xFE", "--argTitleNeeded", "1\x80\xC0", "\xC0\xAF--argUrlNeeded", "1",
        "--argForceReqPerm", "\xE2\x82"},
       "T-F"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    expectScan(row.arguments, row.expected);
  }
}

}  // namespace
}  // namespace quen
