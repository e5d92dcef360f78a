#include "platform/wayland/toplevel_workspace.h"

#include <utility>

namespace quen::wayland {

namespace {

// Large enough for any size rule; Wayland does not say how large the window is.
constexpr double NOMINAL_SIDE = 10000.0;

class FrontToplevelWindow final : public platform::WindowDescription {
 public:
  FrontToplevelWindow(ToplevelId id, std::int32_t pid, const std::string& title)
      : id_(id), pid_(pid), title_(title) {}
  platform::OsValue ownerPid() const override { return platform::OsValue::ofInteger(pid_); }
  platform::OsValue alpha() const override { return platform::OsValue::ofReal(1.0); }
  platform::OsValue bounds() const override {
    return platform::OsValue::ofDictionary({{"X", platform::OsValue::ofReal(0)},
                                            {"Y", platform::OsValue::ofReal(0)},
                                            {"Width", platform::OsValue::ofReal(NOMINAL_SIDE)},
                                            {"Height", platform::OsValue::ofReal(NOMINAL_SIDE)}});
  }
  // The protocol's strings need not be valid UTF-8 (an XWayland window's Latin-1 WM_NAME
  // arrives as is): the record writer replaces each bad sequence with U+FFFD.
  platform::OsValue name() const override { return platform::OsValue::ofText(title_); }
  std::uint64_t identity() const override { return id_; }

 private:
  ToplevelId id_;
  std::int32_t pid_;
  const std::string& title_;
};

}  // namespace

ToplevelWorkspace::ToplevelWorkspace(const ToplevelTracker& tracker,
                                     const SwayWindows& sway)
    : tracker_(tracker), sway_(sway) {}

std::optional<std::int32_t> ToplevelWorkspace::frontPid() const {
  const std::optional<ToplevelId> front = tracker_.front();
  const Toplevel* toplevel = front ? tracker_.find(*front) : nullptr;
  if (toplevel == nullptr) return std::nullopt;
  if (toplevel->pid) return toplevel->pid;
  return sway_.pidOf(toplevel->appId, toplevel->title);
}

std::optional<platform::RunningApplication> ToplevelWorkspace::frontmostApplication() {
  const std::optional<ToplevelId> front = tracker_.front();
  const Toplevel* toplevel = front ? tracker_.find(*front) : nullptr;
  if (toplevel == nullptr) return std::nullopt;
  return identity_.describe(toplevel->appId, frontPid());
}

platform::HiddenFront ToplevelWorkspace::frontApplicationHidden() {
  return busSource_ != nullptr ? busSource_->frontHidden() : platform::HiddenFront::None;
}

void ToplevelWorkspace::observeActivation(
    std::function<void(const std::optional<platform::RunningApplication>&)> callback) {
  observers_.push_back(std::move(callback));
}

bool ToplevelWorkspace::walkOnScreenWindows(
    const std::function<bool(const platform::WindowDescription&)>& visit) {
  const std::optional<ToplevelId> front = tracker_.front();
  const Toplevel* toplevel = front ? tracker_.find(*front) : nullptr;
  if (toplevel != nullptr)
    visit(FrontToplevelWindow(*front, frontPid().value_or(UNKNOWN_PROCESS), toplevel->title));
  return true;
}

void ToplevelWorkspace::deliverActivation(bool frontChanged) {
  const std::optional<std::int32_t> pid = frontPid();
  // sway's news alone announces a process it names, never the loss of one: sway reports a
  // window closed before the compositor does, and the poll reads the process anyway.
  if (!frontChanged && (!pid || pid == announcedPid_)) return;
  announcedPid_ = pid;
  const std::optional<platform::RunningApplication> application = frontmostApplication();
  for (const auto& observer : observers_) observer(application);
}

}  // namespace quen::wayland
