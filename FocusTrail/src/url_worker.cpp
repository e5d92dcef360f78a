#include "FocusTrail/src/url_worker.h"

#include <utility>

namespace quen::focus {

ThreadUrlWorker::ThreadUrlWorker(UrlSource source, std::function<void()> wake)
    : source_(std::move(source)),
      wake_(std::move(wake)),
      worker_([this] { serve(); }) {}

ThreadUrlWorker::~ThreadUrlWorker() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  requested_.notify_one();
  worker_.join();
}

void ThreadUrlWorker::ask(const UrlRequest& request) {
  {
    const std::lock_guard lock(mutex_);
    request_ = request;
  }
  requested_.notify_one();
}

std::optional<AnsweredUrl> ThreadUrlWorker::latest() {
  const std::lock_guard lock(mutex_);
  return latest_;
}

void ThreadUrlWorker::serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    requested_.wait(lock, [this] { return stopping_ || request_.has_value(); });
    if (stopping_) return;
    UrlRequest request = std::move(*request_);
    request_.reset();
    lock.unlock();
    UrlAnswer answer = source_(request, StopToken(&stopping_));
    lock.lock();
    if (stopping_) return;
    const bool changed =
        !latest_ || !(latest_->request == request) || !(latest_->answer == answer);
    latest_ = AnsweredUrl{std::move(request), std::move(answer), ++answers_};
    if (changed && wake_) {
      lock.unlock();
      wake_();
      lock.lock();
    }
  }
}

std::unique_ptr<UrlWorker> makeThreadUrlWorker(UrlSource source, std::function<void()> wake) {
  return std::make_unique<ThreadUrlWorker>(std::move(source), std::move(wake));
}

}  // namespace quen::focus
