#include "platform/wayland/kwin_activations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wayland/kwin_window_script.h"

namespace quen::wayland {
namespace {

// One call of the KWin script, or the bound passing after the latest empty activation.
struct Call {
  enum Kind { Window, Nothing, Caption, BoundPassed } kind;
  KwinWindow window = {};
};

const KwinWindow EDITOR{"{e}", "notes", "quen.editor", "quen.editor", 41};
const KwinWindow EDITOR_RETITLED{"{e}", "draft", "quen.editor", "quen.editor", 41};
const KwinWindow VIEWER{"{v}", "photo", "quen.viewer", "python3", 42};
const KwinWindow XTERM{"{x}", "x window", "", "quenxtest", 0};

std::string describeFront(const ToplevelTracker& tracker) {
  if (!tracker.front()) return "none";
  const Toplevel* front = tracker.find(*tracker.front());
  if (front == nullptr) return "uncommitted";
  return front->appId + "|" + front->title + "|" + (front->pid ? std::to_string(*front->pid) : "");
}

TEST(KwinActivationTest, RecordedCallsAnnounceEachRealSwitchOnce) {
  const struct {
    const char* name;
    std::vector<Call> calls;
    // Each front the tracker's batch announced: "app id|title|pid", or "none".
    std::vector<std::string> announced;
  } rows[] = {
      {"an empty activation before each window is never announced",
       {{Call::Window, EDITOR}, {Call::Nothing}, {Call::Window, VIEWER}, {Call::BoundPassed}},
       {"quen.editor|notes|41", "quen.viewer|photo|42", "now quen.viewer|photo|42"}},
      {"the last window closed counts once the bound passes",
       {{Call::Window, EDITOR}, {Call::Nothing}, {Call::BoundPassed}},
       {"quen.editor|notes|41", "none", "now none"}},
      {"only the latest empty activation settles",
       {{Call::Window, EDITOR}, {Call::Nothing}, {Call::Window, EDITOR}, {Call::Nothing},
        {Call::Window, VIEWER}, {Call::BoundPassed}},
       {"quen.editor|notes|41", "quen.viewer|photo|42", "now quen.viewer|photo|42"}},
      {"the same window again is no switch",
       {{Call::Window, EDITOR}, {Call::Nothing}, {Call::Window, EDITOR}},
       {"quen.editor|notes|41", "now quen.editor|notes|41"}},
      {"an XWayland window is named by its class, an unknown pid is none",
       {{Call::Window, XTERM}}, {"quenxtest|x window|", "now quenxtest|x window|"}},
      {"the caption of the active window is its title",
       {{Call::Window, EDITOR}, {Call::Caption, EDITOR_RETITLED}},
       {"quen.editor|notes|41", "now quen.editor|draft|41"}},
      {"a late caption of a window no longer active is ignored",
       {{Call::Window, EDITOR}, {Call::Window, VIEWER}, {Call::Caption, EDITOR_RETITLED}},
       {"quen.editor|notes|41", "quen.viewer|photo|42", "now quen.viewer|photo|42"}},
      {"nothing active when the script runs", {{Call::Nothing}, {Call::BoundPassed}},
       {"now none"}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ToplevelTracker tracker;
    KwinActivations activations(tracker);
    std::uint64_t held = 0;
    std::vector<std::string> announced;
    for (const Call& call : row.calls) {
      bool changed = false;
      switch (call.kind) {
        case Call::Window: changed = activations.windowActivated(call.window); break;
        case Call::Caption:
          changed = activations.captionChanged(call.window.internalId, call.window.caption);
          break;
        case Call::Nothing: held = activations.nothingActivated(); break;
        case Call::BoundPassed: changed = activations.settleNothing(held); break;
      }
      // The backend finishes the batch after each change; a title change announces nothing,
      // and the poll reads the title.
      if (changed && tracker.finishBatch()) announced.push_back(describeFront(tracker));
    }
    announced.push_back("now " + describeFront(tracker));
    EXPECT_EQ(announced, row.announced);
  }
}

TEST(KwinWindowScriptTest, OnlyAUniqueBusNameIsWrittenIntoTheText) {
  const std::string text = kwinScriptText(":1.128");
  EXPECT_NE(text.find("const agent = \":1.128\""), std::string::npos);
  EXPECT_NE(text.find("name = \"focustrail-1-128\""), std::string::npos);
  EXPECT_EQ(text.find('@'), std::string::npos) << "every marker replaced";
  for (const char* name : {"org.quen.FocusTrail", ":1.2\", evil()", "", ":"})
    EXPECT_EQ(kwinScriptText(name), "") << name;
}

}  // namespace
}  // namespace quen::wayland
