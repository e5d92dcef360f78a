#include "FocusTrail/src/QuenAppDelegate.h"

#include <utility>

#include "FocusTrail/src/accessible_url_source.h"
#include "FocusTrail/src/applescript.h"
#include "FocusTrail/src/config.h"
#include "FocusTrail/src/focus_record.h"
#include "FocusTrail/src/url_answer_wait.h"
#include "FocusTrail/src/window_choice.h"
#include "FocusTrail/src/window_url_route.h"
#include "core/feature_flags.h"
#include "core/permissions.h"

namespace quen::focus {

namespace {

// A callback that calls `method` on the delegate while the delegate exists.
template <typename Method>
auto whileAlive(const std::shared_ptr<QuenAppDelegate>& target, Method method) {
  return [weakTarget = std::weak_ptr<QuenAppDelegate>(target), method](auto&&... arguments) {
    if (const std::shared_ptr<QuenAppDelegate> delegate = weakTarget.lock())
      ((*delegate).*method)(std::forward<decltype(arguments)>(arguments)...);
  };
}

}  // namespace

QuenAppDelegate::QuenAppDelegate(platform::Backend& backend, UrlWorkerFactory makeUrlWorker)
    : backend_(backend),
      stream_(DICT_SCHEMA, "FocusTrail/json", backend.standardOutput()),
      callbackTarget_(this, [](QuenAppDelegate*) {}),
      makeUrlWorker_(std::move(makeUrlWorker)) {}

QuenAppDelegate::~QuenAppDelegate() {
  urlWait_.reset();
  urlWorker_.reset();
}

void QuenAppDelegate::permissionsScreenUpdate() {
  permissionsRunningScreen = hasPermissionScreenRecordingShowPromt(backend_.screenCapture());
}

void QuenAppDelegate::permissionsAccessUpdate() {
  permissionsRunningAccessibility = isAccessibilityTrusted(backend_.accessibility());
}

void QuenAppDelegate::permissionsAllUpdate() {
  if (FEAT_PERMISSIONS_USE_SCREEN) permissionsScreenUpdate();
}

void QuenAppDelegate::appChangedClbk(
    const std::optional<platform::RunningApplication>& application) {
  if (application) collectData(*application);
  else reportHiddenApplication();
}

void QuenAppDelegate::appSilentMetaClbk() {
  if (const std::optional<platform::RunningApplication> front =
          backend_.workspace().frontmostApplication())
    collectData(*front);
  else
    reportHiddenApplication();
}

void QuenAppDelegate::reportHiddenApplication() {
  const platform::HiddenFront reason = backend_.workspace().frontApplicationHidden();
  if (reason == platform::HiddenFront::None) return;
  report_.set("appName", UNKNOWN_APP_NAME);
  report_.set("appIdentifier", UNKNOWN_APP_IDENTIFIER);
  report_.set("appPath", UNKNOWN_APP_BUNDLE_URL_PATH);
  report_.set("winTitle", false);
  report_.set("winUrl", false);
  report_.set("error",
              hiddenApplicationErrorList(permissionsRunningScreen, permissionsRunningAccessibility,
                                         reason));
  stream_.dictMergeAndOutput(report_, /*flush=*/true, /*onlyIfDiffers=*/true);
}

void QuenAppDelegate::collectData(const platform::RunningApplication& application) {
  Value appName = identityValue(application.localizedName, UNKNOWN_APP_NAME);
  if (FEAT_FLAG__URL_NEEDED && !urlWorker_) openUrlQueries();
  const bool asksUrl = asksUrlOf(appName, application);
  // The list is walked on every report, whether or not the title is wanted. The bus route
  // reads the title to tell a browser's windows apart.
  WindowChoice window = chooseWindow(backend_.windowList(), application.processIdentifier,
                                     FEAT_FLAG__TITLE_NEEDED || (asksUrl && urlPerWindow_));
  UrlAnswer answer{false, false};
  if (FEAT_FLAG__URL_NEEDED && !appName.isText()) {
    answer = {false, Value(ERROR_SCHEMA.codeFor("APP_NONAME"))};
  } else if (asksUrl) {
    const UrlRequest request{appName.asText(), application.processIdentifier, window.identity,
                             window.title.isText() ? window.title.asText() : std::string()};
    std::optional<UrlAnswer> known = urlWait_->answerFor(request);
    if (!known) return;  // written with its answer
    answer = std::move(*known);
  } else if (urlWait_) {
    urlWait_->clear();
  }
  if (!FEAT_FLAG__TITLE_NEEDED) window.title = false;

  report_.set("appName", std::move(appName));
  report_.set("appIdentifier", identityValue(application.bundleIdentifier, UNKNOWN_APP_IDENTIFIER));
  report_.set("appPath", identityValue(application.bundlePath, UNKNOWN_APP_BUNDLE_URL_PATH));
  report_.set("winTitle", std::move(window.title));
  report_.set("winUrl", urlValue(answer.url));
  report_.set("error",
              errorList(permissionsRunningScreen, permissionsRunningAccessibility, answer.error));
  stream_.dictMergeAndOutput(report_, /*flush=*/true, /*onlyIfDiffers=*/true);
}

bool QuenAppDelegate::asksUrlOf(const Value& appName,
                                const platform::RunningApplication& application) const {
  if (!urlWorker_ || !appName.isText()) return false;
  if (!urlPerWindow_) return isScriptableBrowser(appName.asText());
  return isAccessibleBrowser(appName, application.bundleIdentifier);
}

void QuenAppDelegate::openUrlQueries() {
  std::unique_ptr<platform::AccessibilityBus> bus = backend_.openAccessibilityBus();
  std::unique_ptr<platform::WindowAccessibility> elements =
      bus ? nullptr : backend_.openWindowAccessibility();
  urlPerWindow_ = bus != nullptr || elements != nullptr;
  UrlSource source = bus        ? accessibleUrlSource(std::move(bus))
                     : elements ? windowUrlSource(std::move(elements))
                                : scriptUrlSource(backend_.scripts());
  const auto recollect = whileAlive(callbackTarget_, &QuenAppDelegate::appSilentMetaClbk);
  urlWorker_ = makeUrlWorker_(std::move(source), backend_.mainLoopWaker(recollect));
  urlWait_ = std::make_unique<UrlAnswerWait>(*urlWorker_, backend_.runLoop(), recollect);
}

void QuenAppDelegate::applicationDidFinishLaunching() {
  appNapHourlet =
      backend_.activity().beginActivity(APP_NAP_ACTIVITY_OPTIONS, APP_NAP_ACTIVITY_REASON);
  platform::RunLoop& loop = backend_.runLoop();
  if (FEAT_PERMISSIONS_USE_ANY)
    loop.scheduleRepeating(PERMISSIONS_MANUAL_CHECK_INTERVAL,
                           whileAlive(callbackTarget_, &QuenAppDelegate::permissionsAllUpdate));
  if (FEAT_PERMISSIONS_USE_SCREEN) permissionsScreenUpdate();
  backend_.workspace().observeActivation(
      whileAlive(callbackTarget_, &QuenAppDelegate::appChangedClbk));
  loop.scheduleRepeating(SILENT_META_CHANGE_INTERVAL,
                         whileAlive(callbackTarget_, &QuenAppDelegate::appSilentMetaClbk));
}

}  // namespace quen::focus
