#include "platform/wayland/toplevel_tracker.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quen::wayland {
namespace {

// One protocol event of one toplevel, as the foreign toplevel glue hands it over.
struct Event {
  enum Kind { Title, AppId, Activated, Deactivated, Done, Closed } kind;
  ToplevelId id;
  std::string text = {};
};

void replay(ToplevelTracker& tracker, const std::vector<Event>& events) {
  for (const Event& event : events) {
    switch (event.kind) {
      case Event::Title: tracker.setTitle(event.id, event.text); break;
      case Event::AppId: tracker.setAppId(event.id, event.text); break;
      case Event::Activated: tracker.setActivated(event.id, true); break;
      case Event::Deactivated: tracker.setActivated(event.id, false); break;
      case Event::Done: tracker.done(event.id); break;
      case Event::Closed: tracker.closed(event.id); break;
    }
  }
}

// Before each case: toplevel 1 ("editor", activated) and toplevel 2 ("terminal"), both
// committed, and a first batch already decided.
const std::vector<Event> TWO_TOPLEVELS = {
    {Event::AppId, 1, "editor"}, {Event::Title, 1, "notes"}, {Event::Activated, 1},
    {Event::Done, 1},           {Event::AppId, 2, "terminal"}, {Event::Title, 2, "shell"},
    {Event::Done, 2}};

struct BatchCase {
  const char* name;
  std::vector<Event> batch;
  std::optional<ToplevelId> front;
  bool changed;
  std::string frontTitle = {};
};

void PrintTo(const BatchCase& row, std::ostream* out) { *out << row.name; }

class ToplevelBatchTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(ToplevelBatchTest, FrontIsDecidedOnceTheWholeBatchIsIn) {
  const BatchCase& row = GetParam();
  ToplevelTracker tracker;
  replay(tracker, TWO_TOPLEVELS);
  ASSERT_TRUE(tracker.finishBatch());
  replay(tracker, row.batch);
  EXPECT_EQ(tracker.finishBatch(), row.changed);
  EXPECT_EQ(tracker.front(), row.front);
  if (row.front) {
    ASSERT_NE(tracker.find(*row.front), nullptr);
    if (!row.frontTitle.empty()) {
      EXPECT_EQ(tracker.find(*row.front)->title, row.frontTitle);
    }
  }
  EXPECT_FALSE(tracker.finishBatch()) << "a batch without events changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ToplevelBatchTest,
    ::testing::Values(
        BatchCase{"NativeSwitchDeactivatesTheOldOneFirst",
                  {{Event::Deactivated, 1}, {Event::Done, 1}, {Event::Activated, 2},
                   {Event::Done, 2}},
                  2, true},
        BatchCase{"XWaylandSwitchActivatesTheNewOneFirst",
                  {{Event::Activated, 2}, {Event::Done, 2}, {Event::Deactivated, 1},
                   {Event::Done, 1}},
                  2, true},
        BatchCase{"TwoActivatedAtOnceTheLaterCounts",
                  {{Event::Activated, 2}, {Event::Done, 2}}, 2, true},
        BatchCase{"EmptyWorkspaceLeavesNone", {{Event::Deactivated, 1}, {Event::Done, 1}},
                  std::nullopt, true},
        BatchCase{"ClosingTheFrontLeavesNone", {{Event::Closed, 1}}, std::nullopt, true},
        BatchCase{"ClosingAnotherChangesNothing", {{Event::Closed, 2}}, 1, false},
        BatchCase{"TitleChangeIsNoActivation", {{Event::Title, 1, "draft"}, {Event::Done, 1}},
                  1, false, "draft"},
        BatchCase{"UncommittedTitleIsNotSeen", {{Event::Title, 1, "draft"}}, 1, false,
                  "notes"},
        BatchCase{"DoneWithoutChangeChangesNothing", {{Event::Done, 1}}, 1, false},
        BatchCase{"UncommittedActivationDoesNotCount", {{Event::Activated, 2}}, 1, false},
        BatchCase{"AppIdChangeOfTheFrontIsAnActivation",
                  {{Event::AppId, 1, "viewer"}, {Event::Done, 1}}, 1, true},
        BatchCase{"NewToplevelMappedActivated",
                  {{Event::AppId, 3, "player"}, {Event::Title, 3, "song"}, {Event::Activated, 3},
                   {Event::Done, 3}, {Event::Deactivated, 1}, {Event::Done, 1}},
                  3, true, "song"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace quen::wayland
