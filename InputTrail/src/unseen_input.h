#pragma once

// Which seconds the compositor saw input in that the monitors did not (in a Wayland session:
// input to native Wayland windows). The compositor tells only "idle for the timeout" and
// "active again", so the watch runs with a timeout equal to the report interval (1 s), and a
// second counts as one with such input when
// - the compositor said "active again" during it, or
// - the user is active at its report tick: not idle for a whole timeout means input within
//   the last second.
// Known edges: input just before a tick may also mark the next second, when the compositor's
// "idle" comes after that tick (its timer and ours run apart by its latency); the tick one
// timeout after the watch began cannot tell "no news yet" from input, so the first second
// counts only a resume; and a compositor that honours an idle inhibitor (a playing video, a
// presentation) never says "idle" while it holds, so those seconds all count as active.

#include "platform/platform.h"

namespace quen::input {

class UnseenInputMarks {
 public:
  // Watches `watch` with the report interval as its timeout. A null watch (all input is seen
  // by the monitors) never marks a second; one that cannot tell marks every second.
  void start(platform::UnseenInputWatch* watch, platform::Seconds reportInterval);
  // Called at each report tick: whether the second that ends now had input only the
  // compositor saw. The next second begins.
  bool endSecond();

 private:
  enum class Knowledge { AllSeen, Unknown, Watched };
  Knowledge knowledge_ = Knowledge::AllSeen;
  bool idle_ = false;
  bool firstTickPassed_ = false;
  bool resumedThisSecond_ = false;
};

}  // namespace quen::input
