#include <gtest/gtest.h>

#include <memory>

#include "platform/macos/macos_services.h"

namespace quen::macos {
namespace {

using platform::OsValue;
using platform::ScriptRun;

// Scripts that send no Apple Event to another application, so that they run without any
// automation grant.
class ScriptServiceTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::ScriptService> scripts = makeScriptService();
};

TEST_F(ScriptServiceTest, ATextResultIsHandedOverExactly) {
  const ScriptRun run = scripts->run("  set appUrl to \"https://example.com/a b\"\n  return appUrl");
  ASSERT_EQ(run.stage, ScriptRun::Stage::Executed);
  ASSERT_TRUE(run.resultText.has_value());
  EXPECT_EQ(*run.resultText, "https://example.com/a b");
  EXPECT_FALSE(run.hasErrorInformation);
}

TEST_F(ScriptServiceTest, AnEmptyTextIsStillAText) {
  const ScriptRun run = scripts->run("return \"\"");
  ASSERT_EQ(run.stage, ScriptRun::Stage::Executed);
  ASSERT_TRUE(run.resultText.has_value());
  EXPECT_EQ(*run.resultText, "");
}

TEST_F(ScriptServiceTest, NonAsciiTextComesBackAsUtf8) {
  const ScriptRun run = scripts->run("return \"caf\xC3\xA9 \xF0\x9F\x98\x80\"");
  ASSERT_TRUE(run.resultText.has_value());
  EXPECT_EQ(*run.resultText, "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

TEST_F(ScriptServiceTest, ASyntaxErrorDoesNotCompile) {
  EXPECT_EQ(scripts->run("return (").stage, ScriptRun::Stage::NotCompiled);
}

TEST_F(ScriptServiceTest, AnErrorNumberIsHandedOverAsAnInteger) {
  const ScriptRun run = scripts->run("error \"no such window\" number -1728");
  ASSERT_EQ(run.stage, ScriptRun::Stage::Executed);
  EXPECT_FALSE(run.resultText.has_value());
  ASSERT_TRUE(run.hasErrorInformation);
  EXPECT_EQ(run.errorNumber.kind, OsValue::Kind::Integer);
  EXPECT_EQ(run.errorNumber.integer, -1728);
}

TEST_F(ScriptServiceTest, AnErrorWithoutItsOwnNumberStillHasOne) {
  const ScriptRun run = scripts->run("error \"failed\"");
  ASSERT_TRUE(run.hasErrorInformation);
  EXPECT_EQ(run.errorNumber.kind, OsValue::Kind::Integer);
}

}  // namespace
}  // namespace quen::macos
