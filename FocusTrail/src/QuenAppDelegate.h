#pragma once

// The focus agent's application delegate: at launch it keeps the agent out of App Nap and
// installs the sources of its reports (application activation, the one-second focus poll,
// and the optional permission re-check); each report is built by collectData and written
// only when it changed.

#include <cstdint>
#include <memory>
#include <optional>

#include "FocusTrail/src/url_worker.h"
#include "core/json.h"
#include "core/record.h"
#include "platform/platform.h"

namespace quen::focus {

class UrlAnswerWait;

// The App Nap exemption: NSActivityUserInitiatedAllowingIdleSystemSleep.
inline constexpr std::uint64_t APP_NAP_ACTIVITY_OPTIONS = 0x00EFFFFF;
inline constexpr std::string_view APP_NAP_ACTIVITY_REASON = "Hourlet collecting meta information";

class QuenAppDelegate {
 public:
  // `backend` must outlive the delegate. Browser URLs are asked on the worker
  // `makeUrlWorker` makes (a thread of its own in the agent).
  explicit QuenAppDelegate(platform::Backend& backend,
                           UrlWorkerFactory makeUrlWorker = makeThreadUrlWorker);
  // After destruction no timer or observer installed by the delegate reaches it again.
  ~QuenAppDelegate();
  QuenAppDelegate(const QuenAppDelegate&) = delete;
  QuenAppDelegate& operator=(const QuenAppDelegate&) = delete;

  // The token of the App Nap exemption, held for the delegate's life.
  std::shared_ptr<void> appNapHourlet;
  bool permissionsRunningScreen = true;         // screen recording, as last probed
  bool permissionsRunningAccessibility = true;  // accessibility trust, as last checked

  // Re-probes screen recording (the probe prompts when access is missing).
  void permissionsScreenUpdate();
  // Re-checks accessibility trust, with the prompt.
  void permissionsAccessUpdate();
  // The re-check timer's target: re-probes screen recording when it matters to the agent.
  void permissionsAllUpdate();

  // An application became active: reports it. An activation that names no application
  // reports nothing, unless the OS hides the one in front (see reportHiddenApplication).
  void appChangedClbk(const std::optional<platform::RunningApplication>& application);
  // The focus poll: reports the frontmost application; with none in front, nothing, unless
  // the OS hides the one in front.
  void appSilentMetaClbk();
  // With no application in front: reports one in front that the OS does not show the agent,
  // if there is one: the unknown identity, no title, no URL and the code of the reason
  // (see hiddenApplicationErrorList); written when it differs.
  void reportHiddenApplication();
  // Builds the complete record for `application` and writes it when it differs from the
  // last line written. A browser's record waits for its URL answer (see UrlAnswerWait):
  // nothing is written until the answer, or its timeout, is there.
  void collectData(const platform::RunningApplication& application);

  // Takes the App Nap exemption, installs the permission re-check when some permission
  // matters, probes screen recording when it matters, observes activations and starts the
  // focus poll, in that order. Writes no record.
  void applicationDidFinishLaunching();

 private:
  platform::Backend& backend_;
  RecordStream stream_;
  // Reused from report to report; every report sets all of its keys.
  Record report_;
  // Timers and observers reach the delegate only through this handle, which expires with
  // the delegate, since the platform offers no way to remove them.
  std::shared_ptr<QuenAppDelegate> callbackTarget_;
  // The browser URL queries: through the accessibility bus where the backend offers one,
  // else through the window's accessible elements (Windows), else through scripts. Set up on the first report that wants a URL, so that an agent
  // without the feature never loads either.
  void openUrlQueries();
  // Whether the URL of `application`, named `appName`, is asked for.
  bool asksUrlOf(const Value& appName, const platform::RunningApplication& application) const;
  UrlWorkerFactory makeUrlWorker_;
  bool urlPerWindow_ = false;  // through the bus or the window's elements: accessibility
  std::unique_ptr<UrlWorker> urlWorker_;
  std::unique_ptr<UrlAnswerWait> urlWait_;  // after the worker it waits on
};

}  // namespace quen::focus
