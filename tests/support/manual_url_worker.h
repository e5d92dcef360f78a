#pragma once

// A URL worker that tests drive on their own thread: a query is answered when the test says
// (answer()), or, for tests of everything but the wait, when the main thread next reads
// the latest answer, as if the worker had just finished.

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "FocusTrail/src/url_worker.h"

namespace quen::focus {

class ManualUrlWorker final : public UrlWorker {
 public:
  ManualUrlWorker(UrlSource source, std::function<void()> wake, bool answerWhenRead)
      : source_(std::move(source)), wake_(std::move(wake)), answerWhenRead_(answerWhenRead) {}

  void ask(const UrlRequest& request) override {
    asked = request;
    ++asks;
  }
  std::optional<AnsweredUrl> latest() override {
    if (answerWhenRead_ && asked) answer();
    return latest_;
  }
  // Answers the query asked last, and wakes the main loop when the answer is new.
  void answer() {
    if (asked) answer(source_(*asked, {}));
  }
  // Answers the query asked last with `answer`.
  void answer(UrlAnswer answer) {
    if (!asked) return;
    const bool changed = !latest_ || !(latest_->request == *asked) || !(latest_->answer == answer);
    latest_ = AnsweredUrl{std::move(*asked), std::move(answer), ++answers_};
    asked.reset();
    if (changed && wake_ && !answerWhenRead_) wake_();
  }

  std::optional<UrlRequest> asked;  // not yet answered
  std::size_t asks = 0;

 private:
  UrlSource source_;
  std::function<void()> wake_;
  bool answerWhenRead_;
  std::optional<AnsweredUrl> latest_;
  std::uint64_t answers_ = 0;
};

// Makes ManualUrlWorkers and keeps a pointer to the last one made.
inline UrlWorkerFactory manualUrlWorkers(bool answerWhenRead, ManualUrlWorker** made = nullptr) {
  return [answerWhenRead, made](UrlSource source, std::function<void()> wake) {
    auto worker =
        std::make_unique<ManualUrlWorker>(std::move(source), std::move(wake), answerWhenRead);
    if (made != nullptr) *made = worker.get();
    return std::unique_ptr<UrlWorker>(std::move(worker));
  };
}

}  // namespace quen::focus
