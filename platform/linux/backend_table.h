#pragma once

// The Linux backends an agent can run on, tried in order once at start: the first one that
// can reach its display server is used for the life of the process. An entry that finds
// nothing to talk to (no compositor, or one without the protocol it needs) steps aside so
// that the next one is tried; the last entry's failure is the one reported.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace quen::linux_platform {

struct BackendEntry {
  std::string_view name;
  // The backend, or null: with a one-line cause in `error` when its server was there and
  // failed, with `error` empty when there is nothing for it here.
  std::unique_ptr<platform::Backend> (*open)(std::string& error);
};

// The first backend of `table` that opens. Null when none does, with the cause the last
// entry that reported one gave.
std::unique_ptr<platform::Backend> openFirstBackend(std::span<const BackendEntry> table,
                                                    std::string& error);

}  // namespace quen::linux_platform
