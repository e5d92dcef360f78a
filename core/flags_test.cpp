#include "core/flags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quen {
namespace {

// After white space, one sign and zeros, Y, y, T, t or 1 to 9 decide true; nothing else does.
TEST(FlagValueTest, DecidingCharacterAfterSpaceSignAndZeros) {
  const struct {
    std::string_view value;
    bool expected;
  } rows[] = {
      {"YES", true}, {"yes", true}, {"true", true}, {"T", true}, {"1", true}, {"9abc", true},
      {"+1", true}, {"-1", true}, {"\t\n\v\f\r 1", true}, {" +0009", true}, {"0000000001", true},
      {"", false}, {" ", false}, {"0", false}, {"-0", false}, {"+", false}, {"+-1", false},
      {"--1", false}, {"NO", false}, {"false", false}, {"on", false}, {":", false},
      {"0x1", false}, {"0.5", false}, {"\xC2\xA0" "1", false}, {"0 1", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(flagValueIsTrue(row.value), row.expected) << '"' << row.value << '"';
}

// A three-flag table like the focus agent's, so that the scan is tested apart from the
// agents' own tables. Per flag (title, url, permission) the row expects 'T' or 'F' as set
// by the scan or '-' for untouched; each row runs from all flags false and from all true.
TEST(ArgumentScanTest, CasesOfTheScan) {
  const struct {
    const char* what;
    std::vector<const char*> argv;
    std::string_view expected;
  } rows[] = {
      {"all pairs, any order",
       {"agent", "--argForceReqPerm", "0", "--argTitleNeeded", "YES", "--argUrlNeeded", "1"},
       "TTF"},
      {"one too few", {"agent", "--argTitleNeeded", "1", "--argUrlNeeded", "1", "x"}, "---"},
      {"count alone decides", {"agent", "a", "b", "c", "d", "--argUrlNeeded", "1"}, "-T-"},
      {"value that is a flag name",
       {"agent", "--argTitleNeeded", "--argUrlNeeded", "1", "--argForceReqPerm", "0", "x"},
       "FTF"},
      {"flag given last", {"agent", "--argUrlNeeded", "1", "a", "b", "c", "--argTitleNeeded"},
       "-T-"},
      {"later occurrence wins", {"agent", "--argUrlNeeded", "1", "x", "y", "--argUrlNeeded", "no"},
       "-F-"},
      {"program path is examined", {"--argTitleNeeded", "1", "a", "b", "c", "d", "e"}, "T--"},
      {"whole names only",
       {"agent", "--argTitleNeeded=1", "1", "--argurlneeded", "1", "argForceReqPerm", "1",
        "-argTitleNeeded", "1", "--argUrlNeededX", "1", "--argForceReqPerm ", "1"},
       "---"},
      {"value rule",
       {"agent", "--argTitleNeeded", " +0009", "--argUrlNeeded", "on", "--argForceReqPerm", "t"},
       "TFT"},
      {"bytes that are not UTF-8",
       {"\xFF\xFE", "--argTitleNeeded", "1\x80\xC0", "\xC0\xAF--argUrlNeeded", "1",
        "--argForceReqPerm", "\xE2\x82"},
       "T-F"},
  };
  for (const auto& row : rows) {
    for (const bool start : {false, true}) {
      SCOPED_TRACE(::testing::Message() << row.what << ", flags " << start << " before");
      bool flags[3] = {start, start, start};
      const FlagBinding table[] = {{"--argTitleNeeded", &flags[0]},
                                   {"--argUrlNeeded", &flags[1]},
                                   {"--argForceReqPerm", &flags[2]}};
      scanArguments(static_cast<int>(row.argv.size()), row.argv.data(), table, 3);
      for (int flag = 0; flag < 3; ++flag)
        EXPECT_EQ(flags[flag], row.expected[flag] == '-' ? start : row.expected[flag] == 'T')
            << "flag " << flag;
    }
  }
}

}  // namespace
}  // namespace quen
