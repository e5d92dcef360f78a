#include "FocusTrail/src/url_answer_wait.h"

#include <utility>

namespace quen::focus {

UrlAnswerWait::UrlAnswerWait(UrlWorker& worker, platform::RunLoop& loop,
                             std::function<void()> recollect)
    : worker_(worker),
      loop_(loop),
      recollect_(std::move(recollect)),
      self_(this, [](UrlAnswerWait*) {}) {}

std::optional<UrlAnswer> UrlAnswerWait::answerFor(const UrlRequest& request) {
  if (!query_ || !(query_->request == request)) {
    const std::optional<AnsweredUrl> latest = worker_.latest();
    query_ = Query{request, latest ? latest->sequence + 1 : 0};
  }
  if (std::optional<UrlAnswer> answer = freshAnswer()) return answer;
  if (leftAlone(request.pid)) return timedOutAnswer();
  if (query_->expired) {
    query_->expired = false;
    leaveAlone(request.pid);
    return timedOutAnswer();
  }
  if (query_->generation == 0) {
    startWaiting();
    // A worker that answers at once is read again before waiting.
    if (std::optional<UrlAnswer> answer = freshAnswer()) return answer;
  }
  return std::nullopt;
}

std::optional<UrlAnswer> UrlAnswerWait::freshAnswer() {
  std::optional<AnsweredUrl> latest = worker_.latest();
  if (!latest || !(latest->request == query_->request) ||
      latest->sequence < query_->firstSequence)
    return std::nullopt;
  // Within the wait, an answer with neither URL nor code is a browser that has not built
  // the document yet (it does so lazily): asked again shortly, until the bound.
  if (query_->generation != 0 && latest->answer == UrlAnswer{false, false}) {
    if (!query_->askingAgain) {
      query_->askingAgain = true;
      askAgainSoon();
    }
    return std::nullopt;
  }
  const std::int32_t pid = query_->request.pid;
  query_->generation = 0;
  query_->expired = false;
  if (latest->sequence != query_->usedSequence) {
    query_->usedSequence = latest->sequence;
    if (isTimedOut(latest->answer)) leaveAlone(pid);
    else leftAlone_.erase(pid);
  }
  if (!leftAlone(pid)) worker_.ask(query_->request);
  return std::move(latest->answer);
}

void UrlAnswerWait::startWaiting() {
  const std::uint64_t generation = query_->generation = ++generations_;
  worker_.ask(query_->request);
  loop_.scheduleOnce(URL_ANSWER_WAIT_SECONDS, [weak = std::weak_ptr(self_), generation] {
    const std::shared_ptr<UrlAnswerWait> wait = weak.lock();
    if (!wait || !wait->query_ || wait->query_->generation != generation) return;
    wait->query_->generation = 0;
    wait->query_->expired = true;
    wait->recollect_();
  });
}

// Asks again every REASK_SECONDS for as long as the wait lasts: an answer that is still
// empty does not wake the main loop, so the asking cannot wait for one.
void UrlAnswerWait::askAgainSoon() {
  loop_.scheduleOnce(REASK_SECONDS, [weak = std::weak_ptr(self_), generation = query_->generation] {
    const std::shared_ptr<UrlAnswerWait> wait = weak.lock();
    if (!wait || !wait->query_ || wait->query_->generation != generation) return;
    wait->worker_.ask(wait->query_->request);
    wait->askAgainSoon();
  });
}

void UrlAnswerWait::leaveAlone(std::int32_t pid) {
  const std::uint64_t generation = ++generations_;
  leftAlone_[pid] = generation;
  loop_.scheduleOnce(HANG_BACK_OFF_SECONDS, [weak = std::weak_ptr(self_), pid, generation] {
    const std::shared_ptr<UrlAnswerWait> wait = weak.lock();
    if (!wait) return;
    const auto entry = wait->leftAlone_.find(pid);
    if (entry != wait->leftAlone_.end() && entry->second == generation)
      wait->leftAlone_.erase(entry);
  });
}

}  // namespace quen::focus
