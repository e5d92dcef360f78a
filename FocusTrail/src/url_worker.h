#pragma once

// The browser URL queries on one thread of their own, so that a browser that hangs, or an
// Automation consent prompt the user has not answered, never stalls the agent. The main
// thread asks and reads the latest answer without waiting; the worker wakes the main loop
// when it has an answer the main thread has not seen.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "FocusTrail/src/url_answer.h"

namespace quen::focus {

// Answers one query on the worker's thread. It may take as long as the browser does; a
// source that makes several calls stops between them once `stop` is requested.
using UrlSource = std::function<UrlAnswer(const UrlRequest& request, StopToken stop)>;

struct AnsweredUrl {
  UrlRequest request;
  UrlAnswer answer;
  std::uint64_t sequence = 0;  // counts the worker's answers, from 1
};

// Where queries are answered: a thread of its own in the agents, by hand in tests.
class UrlWorker {
 public:
  virtual ~UrlWorker() = default;
  // Asks for a fresh answer to `request`; replaces a request not yet taken up.
  virtual void ask(const UrlRequest& request) = 0;
  // The last answer given, and to which request; none before the first.
  virtual std::optional<AnsweredUrl> latest() = 0;
};

// Makes the worker for `source`; `wake` is called on the worker's thread after each answer
// that differs from the one before, and may be empty.
using UrlWorkerFactory =
    std::function<std::unique_ptr<UrlWorker>(UrlSource source, std::function<void()> wake)>;

class ThreadUrlWorker final : public UrlWorker {
 public:
  ThreadUrlWorker(UrlSource source, std::function<void()> wake);
  // Stops the source between two of its calls and joins the thread: an agent that ends
  // waits for at most one call in progress.
  ~ThreadUrlWorker() override;

  void ask(const UrlRequest& request) override;
  std::optional<AnsweredUrl> latest() override;

 private:
  void serve();

  UrlSource source_;
  std::function<void()> wake_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable requested_;
  std::optional<UrlRequest> request_;
  std::optional<AnsweredUrl> latest_;
  std::uint64_t answers_ = 0;
  std::thread worker_;  // last: started once every member above exists
};

// The thread worker, as the agent makes it.
std::unique_ptr<UrlWorker> makeThreadUrlWorker(UrlSource source, std::function<void()> wake);

}  // namespace quen::focus
