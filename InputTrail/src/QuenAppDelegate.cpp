#include "InputTrail/src/QuenAppDelegate.h"

#include "InputTrail/src/accumulator.h"
#include "InputTrail/src/config.h"
#include "core/feature_flags.h"
#include "core/permissions.h"

namespace quen::input {

Value errorAttachmentFor(bool permissionsRunningScreen, bool permissionsRunningAccessibility) {
  Array codes;
  if (!permissionsRunningScreen)
    codes.emplace_back(ERROR_SCHEMA.codeFor("PERMISSIONS_SCREENRECORD"));
  if (!permissionsRunningAccessibility)
    codes.emplace_back(ERROR_SCHEMA.codeFor("PERMISSIONS_ACCESSIBILITY"));
  if (codes.empty()) return Value(false);
  return Value(std::move(codes));
}

QuenAppDelegate::QuenAppDelegate(platform::Backend& backend)
    : backend_(backend),
      stream_(DICT_SCHEMA, "InputTrail/json", backend.standardOutput()),
      errorAttachment_(
          errorAttachmentFor(permissionsRunningScreen, permissionsRunningAccessibility)),
      mouseClickPartial_{{"error", errorAttachment_}, {"evMouseClick", true}},
      mouseMovePartial_{{"error", errorAttachment_}, {"evMouseMove", true}},
      keyPressPartial_{{"error", errorAttachment_}, {"evKeyPress", true}} {}

void QuenAppDelegate::applicationDidFinishLaunching() {
  // Never ended: the exemption lasts for the life of the process.
  appNapHourlet =
      backend_.activity().beginActivity(APP_NAP_ACTIVITY_OPTIONS, APP_NAP_ACTIVITY_REASON);
  schedulePermissionChecks();
  backend_.runLoop().scheduleRepeating(ACCUMULATOR_INTERVAL, [this] { accumulatorUpdate(); });
  createMonitors();
  // Starts the keyboard monitor when the process is trusted already.
  if (FEAT_PERMISSIONS_USE_ACCESS) permissionsAccessUpdate();
  // The schema's defaults, written whatever the last line was; the change test's memory
  // is left as it was.
  stream_.dictMergeAndOutput(Record(), true, false);
}

void QuenAppDelegate::schedulePermissionChecks() {
  if (!FEAT_PERMISSIONS_USE_ANY) return;
  backend_.runLoop().scheduleRepeating(PERMISSIONS_MANUAL_CHECK_INTERVAL,
                                       [this] { permissionsAllUpdate(); });
  if (!FEAT_PERMISSIONS_USE_ACCESS) return;
  // Each announcement gets its own re-check; announcements are not merged. The OS posts
  // the news before the new trust state can be read, hence the delay. Any application's
  // trust change is announced, so this re-check never shows the prompt: the launch check and
  // the periodic one do.
  backend_.accessibility().observeTrustChanges([this] {
    backend_.runLoop().scheduleOnce(TRUST_CHANGE_RECHECK_DELAY,
                                    [this] { permissionsAccessUpdate(false); });
  });
}

void QuenAppDelegate::createMonitors() {
  platform::EventSource& events = backend_.eventSource();
  eventMonitorMouseClick = std::make_shared<QuenEventMonitor>(
      events, MOUSE_CLICK_MASK, [this](platform::EventType event) { mouseClickHandler(event); });
  eventMonitorMouseClick->startIfNotRunning();
  eventMonitorMouseMove = std::make_shared<QuenEventMonitor>(
      events, MOUSE_MOVE_MASK, [this](platform::EventType event) { mouseMoveHandler(event); });
  eventMonitorMouseMove->startIfNotRunning();
  // Runs only while the process is trusted; permissionsAccessUpdate starts it.
  if (FEAT_FLAG__KEYS_NEEDED)
    eventMonitorKeyboard = std::make_shared<QuenEventMonitor>(
        events, KEY_RELEASE_MASK, [this](platform::EventType event) { keyPressHandler(event); });
}

void QuenAppDelegate::accumulatorUpdate() {
  stream_.dictMergeAndOutput(ACCUMULATOR_CURR, true, true);
  // Assigning keeps the accumulator's storage: the reset allocates nothing.
  ACCUMULATOR_CURR = DICT_SCHEMA;
}

void QuenAppDelegate::mouseClickHandler(platform::EventType) {
  accumulateMerge(mouseClickPartial_);
}

void QuenAppDelegate::mouseMoveHandler(platform::EventType) { accumulateMerge(mouseMovePartial_); }

void QuenAppDelegate::keyPressHandler(platform::EventType) { accumulateMerge(keyPressPartial_); }

void QuenAppDelegate::permissionsScreenUpdate() {
  storePermissions(hasPermissionScreenRecordingShowPromt(backend_.screenCapture()),
                   permissionsRunningAccessibility);
}

void QuenAppDelegate::permissionsAccessUpdate(bool showPrompt) {
  storePermissions(permissionsRunningScreen,
                   isAccessibilityTrusted(backend_.accessibility(), showPrompt));
  if (!eventMonitorKeyboard) return;
  if (permissionsRunningAccessibility)
    eventMonitorKeyboard->startIfNotRunning();
  else
    eventMonitorKeyboard->stop();
}

void QuenAppDelegate::permissionsAllUpdate() {
  if (FEAT_PERMISSIONS_USE_ACCESS) permissionsAccessUpdate();
}

void QuenAppDelegate::storePermissions(bool screen, bool accessibility) {
  if (screen == permissionsRunningScreen && accessibility == permissionsRunningAccessibility)
    return;
  permissionsRunningScreen = screen;
  permissionsRunningAccessibility = accessibility;
  errorAttachment_ = errorAttachmentFor(permissionsRunningScreen, permissionsRunningAccessibility);
  mouseClickPartial_.set("error", errorAttachment_);
  mouseMovePartial_.set("error", errorAttachment_);
  keyPressPartial_.set("error", errorAttachment_);
}

}  // namespace quen::input
