#include "InputTrail/src/unseen_input.h"

namespace quen::input {

void UnseenInputMarks::start(platform::UnseenInputWatch* watch,
                             platform::Seconds reportInterval) {
  if (watch == nullptr) return;
  const bool watched = watch->start(reportInterval, [this](bool idle) {
    if (idle_ && !idle) resumedThisSecond_ = true;
    idle_ = idle;
  });
  knowledge_ = watched ? Knowledge::Watched : Knowledge::Unknown;
}

bool UnseenInputMarks::endSecond() {
  if (knowledge_ != Knowledge::Watched) return knowledge_ == Knowledge::Unknown;
  // Active at the first tick may only mean that the watch's first "idle" is not in yet.
  const bool activeAtTick = !idle_ && firstTickPassed_;
  const bool marked = resumedThisSecond_ || activeAtTick;
  resumedThisSecond_ = false;
  firstTickPassed_ = true;
  return marked;
}

}  // namespace quen::input
