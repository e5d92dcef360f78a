#pragma once

// What the real InputTrail writes in a Wayland session, whichever compositor runs it: input
// through XWayland by its kinds, input to native windows only as E_INPUT_NOT_VISIBLE.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/e2e/agent_harness.h"

namespace quen::testing {

inline Json inputRecord(const Json& error, bool click, bool key) {
  return Json{
      {"error", error}, {"evMouseClick", click}, {"evMouseMove", false}, {"evKeyPress", key}};
}

// The launch line; `xInput` (a click and a key through XWayland) by kind, then the quiet
// second; then each of `nativeInputs`, made two ticks after the last input (the compositor has
// long said "idle", so it is a resume), as a second with only the code, then a quiet one.
inline void expectXWaylandKindsThenNativeInputs(
    ChildProcess& agent, const std::function<void()>& xInput,
    const std::vector<std::function<void()>>& nativeInputs) {
  const Json quiet = inputRecord(false, false, false);
  EXPECT_EQ(agent.nextRecord().value_or(Json()), quiet) << "launch line";
  xInput();
  EXPECT_EQ(agent.nextRecord().value_or(Json()), inputRecord(false, true, true));
  EXPECT_EQ(agent.nextRecord().value_or(Json()), quiet);
  for (const std::function<void()>& input : nativeInputs) {
    input();
    EXPECT_EQ(agent.nextRecord().value_or(Json()),
              inputRecord(Json::array({"E_INPUT_NOT_VISIBLE"}), false, false));
    EXPECT_EQ(agent.nextRecord().value_or(Json()), quiet);
  }
}

}  // namespace quen::testing
