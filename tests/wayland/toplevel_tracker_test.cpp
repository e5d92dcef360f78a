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

TEST(ToplevelBatchTest, FrontIsDecidedOnceTheWholeBatchIsIn) {
  const struct {
    const char* name;
    std::vector<Event> batch;
    std::optional<ToplevelId> front;
    bool changed;
    std::string frontTitle = {};
  } rows[] = {
      {"native switch: the old one deactivated first",
       {{Event::Deactivated, 1}, {Event::Done, 1}, {Event::Activated, 2}, {Event::Done, 2}}, 2,
       true},
      {"XWayland switch: the new one activated first",
       {{Event::Activated, 2}, {Event::Done, 2}, {Event::Deactivated, 1}, {Event::Done, 1}}, 2,
       true},
      {"two activated at once: the later counts", {{Event::Activated, 2}, {Event::Done, 2}}, 2,
       true},
      {"empty workspace", {{Event::Deactivated, 1}, {Event::Done, 1}}, std::nullopt, true},
      {"closing the front", {{Event::Closed, 1}}, std::nullopt, true},
      {"closing another", {{Event::Closed, 2}}, 1, false},
      {"title change is no activation", {{Event::Title, 1, "draft"}, {Event::Done, 1}}, 1, false,
       "draft"},
      {"uncommitted title is not seen", {{Event::Title, 1, "draft"}}, 1, false, "notes"},
      {"done without change", {{Event::Done, 1}}, 1, false},
      {"uncommitted activation", {{Event::Activated, 2}}, 1, false},
      {"app id change of the front is an activation",
       {{Event::AppId, 1, "viewer"}, {Event::Done, 1}}, 1, true},
      {"new toplevel mapped activated",
       {{Event::AppId, 3, "player"}, {Event::Title, 3, "song"}, {Event::Activated, 3},
        {Event::Done, 3}, {Event::Deactivated, 1}, {Event::Done, 1}},
       3, true, "song"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ToplevelTracker tracker;
    replay(tracker, TWO_TOPLEVELS);
    ASSERT_TRUE(tracker.finishBatch());
    replay(tracker, row.batch);
    EXPECT_EQ(tracker.finishBatch(), row.changed);
    EXPECT_EQ(tracker.front(), row.front);
    const Toplevel* front = row.front ? tracker.find(*row.front) : nullptr;
    EXPECT_EQ(front != nullptr, row.front.has_value()) << "the front is a committed toplevel";
    if (front != nullptr && !row.frontTitle.empty()) {
      EXPECT_EQ(front->title, row.frontTitle);
    }
    EXPECT_FALSE(tracker.finishBatch()) << "a batch without events changes nothing";
  }
}

}  // namespace
}  // namespace quen::wayland
