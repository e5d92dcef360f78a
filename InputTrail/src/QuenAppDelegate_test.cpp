// The stream as the parent reads it, over virtual time on the fake OS.

#include "InputTrail/src/QuenAppDelegate.h"

#include <gtest/gtest.h>

#include <vector>

#include "InputTrail/src/test_support/agent_harness.h"

namespace quen::input {
namespace {

using platform::EventType;
using testing::defaults;
using testing::Json;
using testing::report;

class InputStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::resetProcessWideState(); }

  void launch(bool keysNeeded, bool forcePermissions) {
    testing::setFeatureFlags(keysNeeded, forcePermissions);
    agent.launch();
  }

  testing::Agent agent;
};

TEST_F(InputStreamTest, LaunchLineIsTheSchemaDefaultsFlushedAtOnce) {
  launch(false, false);
  ASSERT_EQ(agent.system.lines().size(), 1u);
  EXPECT_EQ(agent.system.lines()[0],
            R"({"error":false,"evMouseClick":false,"evMouseMove":false,"evKeyPress":false})");
  EXPECT_EQ(agent.system.flushedLineCount(), 1u);
}

TEST_F(InputStreamTest, LaunchLineCarriesNoErrorEvenWhenTheLaunchProbeFindsNoTrust) {
  agent.system.setTrusted(false);
  launch(true, true);
  EXPECT_EQ(agent.records(), std::vector<Json>{defaults()});
}

TEST_F(InputStreamTest, QuietSecondsAfterLaunchWriteNothing) {
  launch(false, false);
  for (int i = 0; i < 5; ++i) agent.second();
  EXPECT_EQ(agent.records(), std::vector<Json>{defaults()});
}

TEST_F(InputStreamTest, ActiveSecondReportsTheKindsSeenAtItsTick) {
  launch(false, false);
  agent.system.advance(0.5);
  agent.inject(EventType::LeftMouseDown);
  agent.inject(EventType::MouseMoved);
  EXPECT_EQ(agent.system.lines().size(), 1u) << "nothing is written per event";
  agent.system.advance(0.5);
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(true, true, false)}));
  EXPECT_EQ(agent.system.flushedLineCount(), 2u);
}

TEST_F(InputStreamTest, EveryMouseButtonCountsAsAClick) {
  launch(false, false);
  agent.second([&] { agent.inject(EventType::RightMouseDown); });
  agent.second();
  agent.second([&] { agent.inject(EventType::OtherMouseDown); });
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(true, false, false), defaults(),
                                                report(true, false, false)}));
}

TEST_F(InputStreamTest, ActiveSecondsWithEqualReportsWriteOneLine) {
  launch(false, false);
  for (int i = 0; i < 4; ++i) agent.second([&] { agent.inject(EventType::MouseMoved); });
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, true, false)}));
}

TEST_F(InputStreamTest, EachChangeOfKindsIsWritten) {
  launch(false, false);
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  agent.second([&] { agent.inject(EventType::LeftMouseDown); });
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  EXPECT_EQ(agent.records(),
            (std::vector<Json>{defaults(), report(false, true, false), report(true, false, false),
                               report(false, true, false)}));
}

TEST_F(InputStreamTest, FirstQuietSecondAfterActivityWritesTheDefaultsOnce) {
  agent.system.setTrusted(false);
  launch(false, true);
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  for (int i = 0; i < 3; ++i) agent.second();
  EXPECT_EQ(agent.records(),
            (std::vector<Json>{defaults(), report(false, true, false, true), defaults()}));
}

TEST_F(InputStreamTest, ManyEventsOfOneKindGiveOneTrueFlagAndOneLine) {
  launch(false, false);
  agent.second([&] { agent.inject(EventType::MouseMoved, 5000); });
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, true, false)}));
}

TEST_F(InputStreamTest, LastEventOfTheSecondDecidesTheAttachment) {
  agent.system.setTrusted(false);
  launch(false, true);
  agent.second([&] {
    agent.inject(EventType::MouseMoved);
    agent.system.setTrusted(true);
    agent.delegate->permissionsAccessUpdate();
    agent.inject(EventType::LeftMouseDown);
  });
  agent.second([&] {
    agent.inject(EventType::MouseMoved);
    agent.system.setTrusted(false);
    agent.delegate->permissionsAccessUpdate();
    agent.inject(EventType::MouseMoved);
  });
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(true, true, false, false),
                                                report(false, true, false, true)}));
}

TEST_F(InputStreamTest, AttachmentChangeAloneIsWritten) {
  launch(false, true);
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  agent.system.setTrusted(false);
  agent.delegate->permissionsAccessUpdate();
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  EXPECT_EQ(agent.records(), (std::vector<Json>{defaults(), report(false, true, false),
                                                report(false, true, false, true)}));
}

TEST_F(InputStreamTest, MissingScreenRecordingComesBeforeAccessibilityInTheAttachment) {
  agent.system.setTrusted(false);
  agent.system.setScreenCaptureAllowed(false);
  launch(false, true);
  agent.delegate->permissionsScreenUpdate();
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  ASSERT_EQ(agent.records().size(), 2u);
  EXPECT_EQ(agent.records()[1]["error"],
            Json::array({"E_PERMISSION_SCREENRECORDING", "E_PERMISSION_ACCESSIBILITY"}));
}

TEST_F(InputStreamTest, EveryHandlerCarriesTheCurrentAttachment) {
  agent.system.setScreenCaptureAllowed(false);
  launch(true, false);
  agent.delegate->permissionsScreenUpdate();
  const Json screenMissing = Json::array({"E_PERMISSION_SCREENRECORDING"});
  for (EventType type : {EventType::KeyUp, EventType::RightMouseDown, EventType::MouseMoved}) {
    agent.second([&] { agent.inject(type); });
    agent.second();
  }
  const std::vector<Json> records = agent.records();
  ASSERT_EQ(records.size(), 7u);
  for (std::size_t line : {1u, 3u, 5u}) EXPECT_EQ(records[line]["error"], screenMissing) << line;
}

TEST_F(InputStreamTest, AttachmentFollowsThePermissionFields) {
  EXPECT_EQ(errorAttachmentFor(true, true), Value(false));
  EXPECT_EQ(errorAttachmentFor(true, false), Value(Array{Value("E_PERMISSION_ACCESSIBILITY")}));
  EXPECT_EQ(errorAttachmentFor(false, true), Value(Array{Value("E_PERMISSION_SCREENRECORDING")}));
}

TEST_F(InputStreamTest, ReportsAreTheActivityOfTheirOwnSecond) {
  launch(false, false);
  agent.second([&] { agent.inject(EventType::LeftMouseDown); });
  agent.second([&] {
    agent.inject(EventType::LeftMouseDown);
    agent.inject(EventType::MouseMoved);
  });
  agent.second([&] { agent.inject(EventType::MouseMoved); });
  EXPECT_EQ(agent.records(),
            (std::vector<Json>{defaults(), report(true, false, false), report(true, true, false),
                               report(false, true, false)}));
}

}  // namespace
}  // namespace quen::input
