#pragma once

// InputTrail's application delegate: on launch it takes the App Nap exemption, installs
// the global event monitors and the report timer, and from then on reports once a second,
// as one JSON line and only on change, which kinds of input arrived during that second.
// It follows accessibility trust: the keyboard monitor runs only while the process is
// trusted.

#include <memory>

#include "InputTrail/src/QuenEventMonitor.h"
#include "InputTrail/src/unseen_input.h"
#include "core/json.h"
#include "core/record.h"
#include "platform/platform.h"

namespace quen::input {

class QuenAppDelegate {
 public:
  // Sets the initial field values and does nothing else. `backend` must outlive the
  // delegate; the delegate must outlive every callback it schedules on the run loop.
  explicit QuenAppDelegate(platform::Backend& backend);

  QuenAppDelegate(const QuenAppDelegate&) = delete;
  QuenAppDelegate& operator=(const QuenAppDelegate&) = delete;

  // Runs the launch sequence once: activity, permission timer and trust observation (as
  // the flags ask), report timer, monitors, launch probe, launch line.
  void applicationDidFinishLaunching();

  // The report tick: writes ACCUMULATOR_CURR (with E_INPUT_NOT_VISIBLE after its codes when
  // the compositor saw input the monitors did not) when it differs from the last line
  // written, then resets it to the defaults.
  void accumulatorUpdate();

  // Boolean false when no permission is missing; otherwise the array of the codes of the
  // missing permissions (screen recording first, then accessibility).
  const Value& getErrorAttachment() const { return errorAttachment_; }

  // The monitors' handlers: each marks its kind of input as seen, with the current error
  // attachment. The event itself is not read.
  void mouseClickHandler(platform::EventType event);
  void mouseMoveHandler(platform::EventType event);
  void keyPressHandler(platform::EventType event);

  // Probes screen-recording access (never scheduled by this agent).
  void permissionsScreenUpdate();
  // Probes accessibility trust, with the OS's prompt unless `showPrompt` is false, then runs
  // the keyboard monitor exactly while the process is trusted.
  void permissionsAccessUpdate(bool showPrompt = true);
  // The periodic re-check: accessibility, when it matters to this agent.
  void permissionsAllUpdate();

 private:
  void storePermissions(bool screen, bool accessibility);
  void schedulePermissionChecks();
  void createMonitors();
  const Record& withUnseenInputCode();

  platform::Backend& backend_;
  RecordStream stream_;

  std::shared_ptr<void> appNapHourlet;
  std::shared_ptr<QuenEventMonitor> eventMonitorMouseClick;
  std::shared_ptr<QuenEventMonitor> eventMonitorMouseMove;
  std::shared_ptr<QuenEventMonitor> eventMonitorKeyboard;
  bool permissionsRunningScreen = true;
  bool permissionsRunningAccessibility = true;

  // Built from the permission fields whenever they change, so that an event costs no
  // allocation: the error attachment, and each handler's two-entry partial record.
  Value errorAttachment_;
  Record mouseClickPartial_;
  Record mouseMovePartial_;
  Record keyPressPartial_;

  UnseenInputMarks unseenInput_;
  // The attachment with E_INPUT_NOT_VISIBLE last, for the current permissions, and the record
  // of a marked second; its error stays an array, so a marked tick allocates nothing.
  Value unseenAttachment_;
  Record markedSecond_;
};

// The error attachment for the given permission state, with codes from ERROR_SCHEMA; with
// `inputNotVisible`, E_INPUT_NOT_VISIBLE follows the permission codes.
Value errorAttachmentFor(bool permissionsRunningScreen, bool permissionsRunningAccessibility,
                         bool inputNotVisible = false);

}  // namespace quen::input
