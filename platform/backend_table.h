#pragma once

// The backends an agent can run on, tried in order once at start: the first one that can
// reach its display server is used for the life of the process. An entry that finds
// nothing to talk to (no compositor, or one without the protocol it needs) steps aside so
// that the next one is tried; the last entry's failure is the one reported. Each agent
// keeps its own table beside it (FocusTrail/src/backends.cpp, InputTrail/src/backends.cpp).

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"

namespace quen::platform {

struct BackendEntry {
  std::string_view name;
  // The backend, or null: with a one-line cause in `error` when its server was there and
  // failed, with `error` empty when there is nothing for it here.
  std::unique_ptr<Backend> (*open)(std::string& error);
};

// The first backend of `table` that opens. Null when none does, with the cause the last
// entry that reported one gave.
inline std::unique_ptr<Backend> openFirstBackend(std::span<const BackendEntry> table,
                                                 std::string& error) {
  error.clear();
  for (const BackendEntry& entry : table) {
    std::string cause;
    if (std::unique_ptr<Backend> backend = entry.open(cause)) {
      error.clear();
      return backend;
    }
    if (!cause.empty()) error = std::move(cause);
  }
  return nullptr;
}

// The backend the agent runs on, from its table. Returns null, with a one-line cause in
// `error`, when the OS cannot be reached (no X display, say).
std::unique_ptr<Backend> openSystemBackend(std::string& error);

}  // namespace quen::platform
