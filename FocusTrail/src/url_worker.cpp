#include "FocusTrail/src/url_worker.h"

#include <utility>

namespace quen::focus {

ThreadUrlWorker::ThreadUrlWorker(UrlSource source, std::function<void()> wake)
    : source_(std::move(source)),
      wake_(std::move(wake)),
      worker_([this](std::stop_token stop) { serve(std::move(stop)); }) {}

ThreadUrlWorker::~ThreadUrlWorker() {
  worker_.request_stop();
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

void ThreadUrlWorker::serve(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (requested_.wait(lock, stop, [this] { return request_.has_value(); })) {
    UrlRequest request = std::move(*request_);
    request_.reset();
    lock.unlock();
    UrlAnswer answer = source_(request, stop);
    lock.lock();
    if (stop.stop_requested()) return;
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
