#include <dispatch/dispatch.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/event.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string_view>

#include "platform/macos/macos_services.h"

namespace quen::macos {

namespace {

// SIGPIPE with its default action and not blocked, as a failed write to a pipe without a
// reader expects (the parent may have spawned the agent with it ignored or blocked).
void restoreBrokenPipeDefault() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  ::pthread_sigmask(SIG_UNBLOCK, &pipeSignal, nullptr);
}

// Ends the process as a failed write to a pipe without a reader would.
[[noreturn]] void endAsByBrokenPipe() {
  restoreBrokenPipeDefault();  // on this thread too: a dispatch worker blocks signals
  ::raise(SIGPIPE);
  ::_exit(128 + SIGPIPE);  // not reached: the default action ends the process
}

// Whether standard output has a reader that can leave: a pipe written to only, or a socket.
// A terminal or a file has none, and a FIFO opened for reading too is its own reader.
bool outputHasAReaderToLose() {
  struct stat status {};
  if (::fstat(STDOUT_FILENO, &status) != 0) return false;
  if (S_ISSOCK(status.st_mode)) return true;
  return S_ISFIFO(status.st_mode) && (::fcntl(STDOUT_FILENO, F_GETFL) & O_ACCMODE) == O_WRONLY;
}

// Watches standard output for the reader's hang-up and then ends the process at once, so
// that an agent whose parent is gone does not keep polling for hours before its next write.
//
// A kqueue holds one EVFILT_WRITE filter on standard output, edge-triggered (EV_CLEAR): it
// is reported when the reader has gone (EV_EOF: the pipe's read end is closed, or the
// socket can send no more) and otherwise only when the room in the buffer changes, that is
// a few times per record the reader takes in, never while the output merely stays
// writable. A dispatch write source is not used: it is re-armed after each handler and
// fires without pause while the output is writable. The kqueue's own descriptor is
// readable while it holds a reported event; a dispatch read source on it drains the
// reports on a background queue, so the process ends even while the main thread waits on
// a slow Apple Event. The kqueue and the source live until the process ends.
void watchForReaderHangup() {
  if (!outputHasAReaderToLose()) return;
  const int queue = ::kqueue();
  if (queue < 0) return;
  struct kevent change {};
  EV_SET(&change, STDOUT_FILENO, EVFILT_WRITE, EV_ADD | EV_CLEAR, 0, 0, nullptr);
  dispatch_source_t source =
      ::kevent(queue, &change, 1, nullptr, 0, nullptr) == 0
          ? dispatch_source_create(DISPATCH_SOURCE_TYPE_READ, static_cast<uintptr_t>(queue),
                                   0, dispatch_get_global_queue(QOS_CLASS_UTILITY, 0))
          : nullptr;
  if (source == nullptr) {
    ::close(queue);
    return;
  }
  dispatch_source_set_event_handler(source, ^{
    struct kevent reports[4];
    const timespec noWait{0, 0};
    const int count = ::kevent(queue, nullptr, 0, reports, 4, &noWait);
    for (int index = 0; index < count; ++index)
      if ((reports[index].flags & EV_EOF) != 0) endAsByBrokenPipe();
  });
  dispatch_resume(source);
}

// The C library's buffered standard output. SIGPIPE takes its default action from the
// start: a parent that closed the
// pipe ends the process at once through the hang-up watch, or at the latest at the next
// write; write errors need no check of their own.
class StdioOutput final : public platform::StandardOutput {
 public:
  StdioOutput() {
    restoreBrokenPipeDefault();
    watchForReaderHangup();
  }
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
