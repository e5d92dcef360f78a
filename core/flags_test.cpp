#include "core/flags.h"

#include <gtest/gtest.h>

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
      {"+1", true}, {"-1", true}, {"\t\n\v\f\r 1", true}, {" +0009", true}, {"", false},
      {"0", false}, {"-0", false}, {"+-1", false}, {"NO", false}, {"false", false}, {"on", false},
      {":", false}, {"0x1", false}, {"0.5", false}, {"\xC2\xA0" "1", false}, {"0 1", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(flagValueIsTrue(row.value), row.expected) << '"' << row.value << '"';
}

// A table of three flags (title, url, permission) like the focus agent's, so that the scan
// is tested apart from the agents' own tables. A row expects 'T' or 'F' per flag as set by
// the scan, or '-' for untouched, and runs from all flags false and from all flags true.
TEST(ArgumentScanTest, CasesOfTheScan) {
  const struct {
    std::vector<const char*> argv;
    std::string_view expected;
  } rows[] = {
      {{"agent", "--argForceReqPerm", "0", "--argTitleNeeded", "YES", "--argUrlNeeded", "1"},
       "TTF"},
      {{"agent", "--argTitleNeeded", "1", "--argUrlNeeded", "1", "x"}, "---"},  // one too few
      {{"agent", "a", "b", "c", "d", "--argUrlNeeded", "1"}, "-T-"},  // the count alone decides
      {{"agent", "--argTitleNeeded", "--argUrlNeeded", "1", "--argForceReqPerm", "0", "x"},
       "FTF"},  // a value that is a flag name is also a flag
      {{"agent", "--argUrlNeeded", "1", "a", "b", "c", "--argTitleNeeded"}, "-T-"},  // no value
      {{"agent", "--argUrlNeeded", "1", "x", "y", "--argUrlNeeded", "no"}, "-F-"},  // later wins
      {{"--argTitleNeeded", "1", "a", "b", "c", "d", "e"}, "T--"},  // program path examined
      {{"agent", "--argTitleNeeded=1", "1", "--argurlneeded", "1", "argForceReqPerm", "1",
        "-argTitleNeeded", "1", "--argUrlNeededX", "1", "--argForceReqPerm ", "1"},
       "---"},  // whole names only
      {{"agent", "--argTitleNeeded", " +0009", "--argUrlNeeded", "on", "--argForceReqPerm", "t"},
       "TFT"},  // the value rule
      {{"\xFF\xFE", "--argTitleNeeded", "1\x80\xC0", "\xC0\xAF--argUrlNeeded", "1",
        "--argForceReqPerm", "\xE2\x82"},
       "T-F"},  // bytes that are not UTF-8
  };
  for (std::size_t index = 0; index < std::size(rows); ++index) {
    for (const bool start : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "row " << index << " from " << start);
      bool flags[3] = {start, start, start};
      const FlagBinding table[] = {{"--argTitleNeeded", &flags[0]},
                                   {"--argUrlNeeded", &flags[1]},
                                   {"--argForceReqPerm", &flags[2]}};
      const auto& row = rows[index];
      scanArguments(static_cast<int>(row.argv.size()), row.argv.data(), table, 3);
      for (int flag = 0; flag < 3; ++flag)
        EXPECT_EQ(flags[flag], row.expected[flag] == '-' ? start : row.expected[flag] == 'T');
    }
  }
}

}  // namespace
}  // namespace quen
