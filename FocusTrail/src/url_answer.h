#pragma once

// What a browser said of its frontmost tab, and what the agent asked it.

#include <atomic>
#include <cstdint>
#include <string>

#include "core/record.h"

namespace quen::focus {

// The answer of one query. (false, false) when no query was made, (URL text, false) on
// success, (false, error code) on failure; a URL and an error code never come together.
struct UrlAnswer {
  Value url;
  Value error;
  friend bool operator==(const UrlAnswer&, const UrlAnswer&) = default;
};

// One query: the browser's name and process, and the window in front with its title. Two
// queries that differ in anything are asked and answered apart, so that a record never
// pairs a window's title with the URL another window or another page gave.
struct UrlRequest {
  std::string appName;
  std::int32_t pid = 0;
  std::uint64_t window = 0;  // the OS's identity of the window; 0 when it gives none
  std::string title;
  friend bool operator==(const UrlRequest&, const UrlRequest&) = default;
};

// Whether the worker was asked to stop (the agent is ending); never, outside a worker.
class StopToken {
 public:
  StopToken() = default;
  explicit StopToken(const std::atomic<bool>* stopping) : stopping_(stopping) {}
  bool stopRequested() const { return stopping_ != nullptr && stopping_->load(); }

 private:
  const std::atomic<bool>* stopping_ = nullptr;
};

// The code a query that timed out gives, on every platform: the Apple Event Manager's
// errAETimeout (-1712), "E_AE_KNOWN_OTHER-1712".
UrlAnswer timedOutAnswer();
bool isTimedOut(const UrlAnswer& answer);
// The code a failed call to the browser gives: the Apple Event Manager's connectionInvalid
// (-609), "E_AE_KNOWN_OTHER-609".
UrlAnswer connectionInvalidAnswer();

// "E_AE_KNOWN_OTHER<number>", for an error number without a code of its own.
UrlAnswer otherErrorAnswer(std::int64_t number);

}  // namespace quen::focus
