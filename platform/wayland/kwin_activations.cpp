#include "platform/wayland/kwin_activations.h"

namespace quen::wayland {

bool KwinActivations::windowActivated(const KwinWindow& window) {
  heldEmpty_ = 0;
  if (!front_ || window.internalId != frontInternalId_) {
    forgetAll();
    front_ = nextId_++;
    frontInternalId_ = window.internalId;
  }
  // A native window's desktop file name is its app id; XWayland windows mostly have none,
  // and KWin's app id for them is the WM_CLASS class it keeps, in lower case.
  tracker_.setAppId(*front_, window.desktopFileName.empty() ? window.resourceClass
                                                            : window.desktopFileName);
  tracker_.setTitle(*front_, window.caption);
  if (window.pid > 0) tracker_.setPid(*front_, window.pid);
  tracker_.setActivated(*front_, true);
  tracker_.done(*front_);
  return true;
}

bool KwinActivations::captionChanged(const std::string& internalId, const std::string& caption) {
  // A late call of a window no longer active: its caption is sent again when it is.
  if (!front_ || internalId != frontInternalId_) return false;
  tracker_.setTitle(*front_, caption);
  tracker_.done(*front_);
  return true;
}

std::uint64_t KwinActivations::nothingActivated() { return heldEmpty_ = ++emptyCount_; }

bool KwinActivations::settleNothing(std::uint64_t token) {
  if (token == 0 || token != heldEmpty_) return false;
  heldEmpty_ = 0;
  return forgetAll();
}

bool KwinActivations::forgetAll() {
  if (!front_) return false;
  tracker_.closed(*front_);
  front_.reset();
  frontInternalId_.clear();
  return true;
}

}  // namespace quen::wayland
