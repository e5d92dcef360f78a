#pragma once

// A browser's record is written with its URL answer, never before it: the main thread asks
// the worker and, while no answer to that very query is there, writes nothing, for at most
// URL_ANSWER_WAIT_SECONDS. Past that the record carries the timeout code, and the browser
// is left alone for HANG_BACK_OFF_SECONDS: no query is sent to it meanwhile and its records
// carry the timeout code, unless the answer they were waiting for comes in. A query the
// worker itself answered with the timeout code leaves the browser alone alike. An answer
// with neither URL nor code (no document yet) is final only once the bound has passed.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "FocusTrail/src/url_answer.h"
#include "FocusTrail/src/url_worker.h"
#include "platform/platform.h"

namespace quen::focus {

// Long enough for a first query to a browser that answers (a few calls on the
// accessibility bus, or one Apple Event), short enough that a switch to a browser is
// reported within the same moment.
inline constexpr double URL_ANSWER_WAIT_SECONDS = 0.4;
// Within the wait, seconds before a browser without its document yet is asked again.
inline constexpr double REASK_SECONDS = 0.05;
// Seconds a browser that let a query time out is left alone.
inline constexpr double HANG_BACK_OFF_SECONDS = 5.0;

class UrlAnswerWait {
 public:
  // `recollect` is called on the main loop when a wait ends, to build the record again.
  UrlAnswerWait(UrlWorker& worker, platform::RunLoop& loop, std::function<void()> recollect);

  // The answer to `request` once it is known (the worker's, or the timeout code); none while
  // the record must wait. Only an answer given since `request` became the query counts. A
  // known answer also asks for a fresh one, so that a URL that changes under the same title
  // (a page that changed its address in place, another tab of the same name) is reported
  // with the next answer.
  std::optional<UrlAnswer> answerFor(const UrlRequest& request);
  // The front application is no browser: the next query starts afresh.
  void clear() { query_.reset(); }

 private:
  struct Query {
    UrlRequest request;
    std::uint64_t firstSequence = 0;  // earlier answers were given to earlier queries
    std::uint64_t usedSequence = 0;   // the answer last handed out
    std::uint64_t generation = 0;     // of the wait in progress, 0 when none is
    bool expired = false;             // the wait ended with no answer
    bool askingAgain = false;         // an empty answer came within the wait
  };
  std::optional<UrlAnswer> freshAnswer();
  void startWaiting();
  void askAgainSoon();
  bool leftAlone(std::int32_t pid) const { return leftAlone_.contains(pid); }
  void leaveAlone(std::int32_t pid);

  UrlWorker& worker_;
  platform::RunLoop& loop_;
  std::function<void()> recollect_;
  std::optional<Query> query_;
  std::uint64_t generations_ = 0;
  // Per pid, the generation of the back-off in force; a back-off ends when its timer fires
  // with the same generation.
  std::map<std::int32_t, std::uint64_t> leftAlone_;
  // Timers reach the wait only through this handle, which expires with it.
  std::shared_ptr<UrlAnswerWait> self_;
};

}  // namespace quen::focus
