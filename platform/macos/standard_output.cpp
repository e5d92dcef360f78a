#include <cstdio>
#include <memory>
#include <string_view>

#include "platform/macos/macos_services.h"

namespace quen::macos {

namespace {

// The C library's buffered standard output. Errors are not examined: a parent that closed
// the pipe ends the process with SIGPIPE at the next write.
class StdioOutput final : public platform::StandardOutput {
 public:
  void writeLine(std::string_view line) override {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  void flush() override { std::fflush(stdout); }
};

}  // namespace

std::unique_ptr<platform::StandardOutput> makeStandardOutput() {
  return std::make_unique<StdioOutput>();
}

}  // namespace quen::macos
