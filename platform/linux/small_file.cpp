#include "platform/linux/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quen::linux_platform {

namespace {

constexpr std::size_t MINIMUM_BUFFER = 256;

class Descriptor {
 public:
  explicit Descriptor(int value) : value_(value) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (value_ >= 0) ::close(value_);
  }
  int get() const { return value_; }

 private:
  int value_;
};

}  // namespace

std::optional<std::string> readSmallRegularFile(const std::string& path, std::size_t limit,
                                                FinalLink finalLink) {
  // O_PATH finds the file without opening it: opening a FIFO waits for a writer, and opening
  // a device may act on it. With O_NOFOLLOW a link is found as itself, and refused below.
  const int locateFlags = O_PATH | O_CLOEXEC | (finalLink == FinalLink::Refuse ? O_NOFOLLOW : 0);
  const Descriptor located(::open(path.c_str(), locateFlags));
  struct stat status {};
  if (located.get() < 0 || ::fstat(located.get(), &status) != 0 || !S_ISREG(status.st_mode))
    return std::nullopt;
  // Opened through the descriptor, it is the file just checked, whatever now has its name.
  // O_NONBLOCK: a lease another process holds fails the open instead of delaying it.
  const std::string checked = "/proc/self/fd/" + std::to_string(located.get());
  const Descriptor file(::open(checked.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  // Sized by the file's size, plus a byte to see its end; /proc's files say 0.
  const std::size_t expected = static_cast<std::size_t>(std::max<off_t>(status.st_size, 0)) + 1;
  std::string text;
  std::size_t filled = 0;
  while (filled < limit) {
    if (filled == text.size())
      text.resize(std::min(limit, std::max({filled * 2, expected, MINIMUM_BUFFER})));
    const ssize_t count = ::read(file.get(), text.data() + filled, text.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    filled += static_cast<std::size_t>(count);
  }
  text.resize(filled);
  return text;
}

}  // namespace quen::linux_platform
