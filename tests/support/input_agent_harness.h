#pragma once

// What the delegate tests share: a fresh process state, an agent launched on the fake OS
// with chosen flags, and the records of the stream as the parent reads them.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "InputTrail/src/QuenAppDelegate.h"
#include "InputTrail/src/accumulator.h"
#include "InputTrail/src/config.h"
#include "core/feature_flags.h"
#include "platform/fake/fake_system.h"

namespace quen::input::testing {

using Json = nlohmann::json;
using platform::EventType;

// One record as the parent expects to read it.
inline Json report(bool click, bool move, bool key, bool accessibilityMissing = false) {
  return Json{
      {"error", accessibilityMissing ? Json::array({"E_PERMISSION_ACCESSIBILITY"}) : Json(false)},
      {"evMouseClick", click},
      {"evMouseMove", move},
      {"evKeyPress", key}};
}
inline Json defaults() { return report(false, false, false); }

// An agent on the fake OS. Time starts at 0 with the launch; report ticks fall on whole
// seconds.
class InputAgentTest : public ::testing::Test {
 protected:
  // Resets the flags and the accumulator to their values before main runs, sets the
  // feature flags as the launch arguments would, derives the permission flags and launches.
  void launch(bool keysNeeded, bool forcePermissions) {
    FEAT_PERMISSIONS_USE_SCREEN = FEAT_PERMISSIONS_USE_ACCESS = FEAT_PERMISSIONS_USE_ANY = false;
    ACCUMULATOR_CURR = DICT_SCHEMA;
    FEAT_FLAG__KEYS_NEEDED = keysNeeded;
    FEAT_FLAG__REQ_PERM = forcePermissions;
    deriveFeaturePermissions();
    delegate = std::make_unique<QuenAppDelegate>(system);
    system.runLoop().run([this] { delegate->applicationDidFinishLaunching(); });
  }

  // From a whole second: runs `activity` half-way through the second, then reaches the
  // report tick at its end.
  void second(const std::function<void()>& activity = {}) {
    system.advance(0.5);
    if (activity) activity();
    system.advance(0.5);
  }
  // Every line written so far, parsed.
  std::vector<Json> records() const {
    std::vector<Json> parsed;
    for (const std::string& line : system.lines) parsed.push_back(Json::parse(line));
    return parsed;
  }

  fake::FakeSystem system;
  std::unique_ptr<QuenAppDelegate> delegate;
};

}  // namespace quen::input::testing
