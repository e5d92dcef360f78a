#include "core/flags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quen {
namespace {

class FlagValueTest : public ::testing::Test {};

TEST_F(FlagValueTest, TrueValues) {
  for (const char* value : {"true", "YES", "yes", "1", "t", "7", "01", "-1", " 1", " +0009", "Yx",
                            "T", "y", "\t\n\v\f\r 1", "+1", "000000000000000000001", "9abc"})
    EXPECT_TRUE(flagValueIsTrue(value)) << '"' << value << '"';
}

TEST_F(FlagValueTest, FalseValues) {
  for (const char* value : {"false", "NO", "no", "0", "00", "-0", "on", "off", "", "n", " ", "+",
                            "-", "+-1", "--1", "0x1", "--argTitleNeeded", "--argKeysNeeded", "0.5",
                            "\xC2\xA0" "1"})
    EXPECT_FALSE(flagValueIsTrue(value)) << '"' << value << '"';
}

TEST_F(FlagValueTest, OnlyTheDecidingCharacterCounts) {
  EXPECT_TRUE(flagValueIsTrue("yfalse"));
  EXPECT_TRUE(flagValueIsTrue("1\xFF\xFE"));
  EXPECT_FALSE(flagValueIsTrue("ntrue"));
  EXPECT_FALSE(flagValueIsTrue("0 1"));
}

TEST_F(FlagValueTest, EmbeddedNulEndsNothingButDecidesFalse) {
  EXPECT_FALSE(flagValueIsTrue(std::string_view("\0" "1", 2)));
  EXPECT_TRUE(flagValueIsTrue(std::string_view("1\0", 2)));
}

// A three-flag table like the focus agent's, built here so that the scan is tested apart
// from the agents' own tables.
class ArgumentScanTest : public ::testing::Test {
 protected:
  static constexpr int COUNT_EXPECTED = 3;

  void scan(std::vector<std::string> arguments) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    scanArguments(static_cast<int>(argv.size()), argv.data(), table_, COUNT_EXPECTED);
  }
  void scanAfterProgram(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "/Applications/Agent.app/Contents/MacOS/Agent");
    scan(std::move(arguments));
  }

  bool title_ = false;
  bool url_ = false;
  bool permission_ = false;
  const FlagBinding table_[3] = {
      {"--argTitleNeeded", &title_},
      {"--argUrlNeeded", &url_},
      {"--argForceReqPerm", &permission_}};
};

TEST_F(ArgumentScanTest, AllPairsInAnyOrder) {
  scanAfterProgram({"--argForceReqPerm", "0", "--argTitleNeeded", "YES", "--argUrlNeeded", "1"});
  EXPECT_TRUE(title_);
  EXPECT_TRUE(url_);
  EXPECT_FALSE(permission_);
}

TEST_F(ArgumentScanTest, TooFewArgumentsReadNothing) {
  scanAfterProgram({"--argTitleNeeded", "1"});
  scanAfterProgram({"--argTitleNeeded", "1", "--argUrlNeeded", "1", "x"});
  EXPECT_FALSE(title_);
  EXPECT_FALSE(url_);
}

TEST_F(ArgumentScanTest, CountAloneDecides) {
  scanAfterProgram({"a", "b", "c", "d", "--argUrlNeeded", "1"});
  EXPECT_TRUE(url_);
}

TEST_F(ArgumentScanTest, ValueThatIsAFlagNameIsAlsoExaminedAsAFlag) {
  scanAfterProgram({"--argTitleNeeded", "--argUrlNeeded", "1", "--argForceReqPerm", "0", "x"});
  EXPECT_FALSE(title_);
  EXPECT_TRUE(url_);
  EXPECT_FALSE(permission_);
}

TEST_F(ArgumentScanTest, FlagGivenLastHasNoEffect) {
  title_ = true;
  scanAfterProgram({"--argUrlNeeded", "1", "a", "b", "c", "--argTitleNeeded"});
  EXPECT_TRUE(url_);
  EXPECT_TRUE(title_) << "a flag without a value must not be touched";
}

TEST_F(ArgumentScanTest, LaterOccurrenceWins) {
  scanAfterProgram({"--argUrlNeeded", "1", "x", "y", "--argUrlNeeded", "no"});
  EXPECT_FALSE(url_);
  scanAfterProgram({"--argUrlNeeded", "no", "x", "y", "--argUrlNeeded", "yes"});
  EXPECT_TRUE(url_);
}

TEST_F(ArgumentScanTest, ProgramPathIsExaminedLikeAnyArgument) {
  scan({"--argTitleNeeded", "1", "a", "b", "c", "d", "e"});
  EXPECT_TRUE(title_);
}

TEST_F(ArgumentScanTest, NamesMatchWholeAndCaseSensitive) {
  scanAfterProgram({"--argTitleNeeded=1", "1", "--argurlneeded", "1", "--argForceReqPerm ", "1"});
  scanAfterProgram({"-argTitleNeeded", "1", "--argUrlNeededX", "1", "argForceReqPerm", "1"});
  EXPECT_FALSE(title_);
  EXPECT_FALSE(url_);
  EXPECT_FALSE(permission_);
}

TEST_F(ArgumentScanTest, ValueFollowsTheFlagValueRule) {
  scanAfterProgram(
      {"--argTitleNeeded", " +0009", "--argUrlNeeded", "on", "--argForceReqPerm", "t"});
  EXPECT_TRUE(title_);
  EXPECT_FALSE(url_);
  EXPECT_TRUE(permission_);
}

TEST_F(ArgumentScanTest, NoArgumentsAtAll) {
  scanArguments(0, nullptr, table_, COUNT_EXPECTED);
  const char* const onlyProgram[] = {"agent"};
  scanArguments(1, onlyProgram, table_, 0);
  EXPECT_FALSE(title_);
  EXPECT_FALSE(url_);
  EXPECT_FALSE(permission_);
}

TEST_F(ArgumentScanTest, BytesThatAreNotUtf8) {
  scanAfterProgram({"\xFF\xFE", "--argTitleNeeded", "1\x80\xC0", "\xC0\xAF--argUrlNeeded", "1",
                    "--argForceReqPerm", "\xE2\x82"});
  EXPECT_TRUE(title_);
  EXPECT_FALSE(url_);
  EXPECT_FALSE(permission_);
}

}  // namespace
}  // namespace quen
