#include "InputTrail/src/QuenAppDelegate.h"

#include "InputTrail/src/accumulator.h"
#include "InputTrail/src/config.h"
#include "core/feature_flags.h"
#include "core/permissions.h"

namespace quen::input {

Value errorAttachmentFor(bool permissionsRunningScreen, bool permissionsRunningAccessibility,
                         bool inputNotVisible) {
  Array codes;
  if (!permissionsRunningScreen)
    codes.emplace_back(ERROR_SCHEMA.codeFor("PERMISSIONS_SCREENRECORD"));
  if (!permissionsRunningAccessibility)
    codes.emplace_back(ERROR_SCHEMA.codeFor("PERMISSIONS_ACCESSIBILITY"));
  if (inputNotVisible) codes.emplace_back(ERROR_SCHEMA.codeFor("INPUT_NOT_VISIBLE"));
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
      keyPressPartial_{{"error", errorAttachment_}, {"evKeyPress", true}},
      unseenAttachment_(
          errorAttachmentFor(permissionsRunningScreen, permissionsRunningAccessibility, true)),
      markedSecond_(DICT_SCHEMA) {
  markedSecond_.set("error", unseenAttachment_);
}

void QuenAppDelegate::applicationDidFinishLaunching() {
  // Never ended: the exemption lasts for the life of the process.
  appNapHourlet =
      backend_.activity().beginActivity(APP_NAP_ACTIVITY_OPTIONS, APP_NAP_ACTIVITY_REASON);
  schedulePermissionChecks();
  backend_.runLoop().scheduleRepeating(ACCUMULATOR_INTERVAL, [this] { accumulatorUpdate(); });
  createMonitors();
  unseenInput_.start(backend_.unseenInput(), ACCUMULATOR_INTERVAL);
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
  stream_.dictMergeAndOutput(
      unseenInput_.endSecond() ? withUnseenInputCode() : ACCUMULATOR_CURR, true, true);
  // Assigning keeps the accumulator's storage: the reset allocates nothing.
  ACCUMULATOR_CURR = DICT_SCHEMA;
}

// ACCUMULATOR_CURR with E_INPUT_NOT_VISIBLE after the codes of the second's last event, or
// after the current ones when the monitors saw nothing.
const Record& QuenAppDelegate::withUnseenInputCode() {
  bool monitorsSawInput = false;
  for (const Record::Member& member : ACCUMULATOR_CURR.members()) {
    if (member.first == "error") continue;
    *markedSecond_.find(member.first) = member.second;
    monitorsSawInput = monitorsSawInput || member.second == Value(true);
  }
  const Value& lastEvent = *ACCUMULATOR_CURR.find("error");
  Value& marked = *markedSecond_.find("error");
  if (!monitorsSawInput || lastEvent == errorAttachment_) {
    marked = unseenAttachment_;
  } else {  // the permissions changed after the second's last event
    Array codes = lastEvent.isArray() ? lastEvent.asArray() : Array();
    codes.emplace_back(ERROR_SCHEMA.codeFor("INPUT_NOT_VISIBLE"));
    marked = Value(std::move(codes));
  }
  return markedSecond_;
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
  unseenAttachment_ =
      errorAttachmentFor(permissionsRunningScreen, permissionsRunningAccessibility, true);
}

}  // namespace quen::input
