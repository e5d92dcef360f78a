#include "platform/linux/backend_table.h"

namespace quen::linux_platform {

std::unique_ptr<platform::Backend> openFirstBackend(std::span<const BackendEntry> table,
                                                    std::string& error) {
  error.clear();
  for (const BackendEntry& entry : table) {
    std::string cause;
    if (std::unique_ptr<platform::Backend> backend = entry.open(cause)) {
      error.clear();
      return backend;
    }
    if (!cause.empty()) error = std::move(cause);
  }
  return nullptr;
}

}  // namespace quen::linux_platform
