#include "platform/wayland/toplevel_identity.h"

namespace quen::wayland {

platform::RunningApplication ToplevelIdentity::describe(const std::string& appId,
                                                        std::optional<std::int32_t> pid) {
  const std::int32_t process = pid.value_or(UNKNOWN_PROCESS);
  return naming_.name({appId, appId}, process, naming_.processFacts(process));
}

}  // namespace quen::wayland
