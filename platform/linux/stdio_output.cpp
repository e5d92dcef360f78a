#include "platform/linux/stdio_output.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>

namespace quen::linux_platform {

void StdioOutput::writeLine(std::string_view line) {
  if (closed_) return;
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void StdioOutput::flush() {
  if (!closed_) std::fflush(stdout);
}

int StandardOutputHangupWatch::descriptorToWatch() {
  struct stat status {};
  if (::fstat(STDOUT_FILENO, &status) != 0) return -1;
  // The write end of a pipe is never readable: only POLLERR (no reader left) wakes the loop.
  // A FIFO opened for reading too would be readable with the agent's own output.
  if (S_ISFIFO(status.st_mode))
    return (::fcntl(STDOUT_FILENO, F_GETFL) & O_ACCMODE) == O_WRONLY ? STDOUT_FILENO : -1;
  // A socket can become readable without its reader leaving: watch a copy of the
  // descriptor, which can be replaced by one that never becomes ready.
  if (S_ISSOCK(status.st_mode)) return ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  return -1;
}

void StandardOutputHangupWatch::onReady(int descriptor) {
  pollfd check{descriptor, 0, 0};  // no events asked: only POLLERR, POLLHUP and POLLNVAL
  if (::poll(&check, 1, 0) == 1 && (check.revents & (POLLERR | POLLHUP)) != 0) {
    std::signal(SIGPIPE, SIG_DFL);
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::sigprocmask(SIG_UNBLOCK, &pipeSignal, nullptr);
    ::raise(SIGPIPE);
    return;
  }
  // Data the reader sent into the socket is dropped; a socket whose peer will send no more
  // stays readable for good, so the watched copy is replaced by a never-ready descriptor.
  std::array<char, 512> discard{};
  const ssize_t received = ::recv(descriptor, discard.data(), discard.size(), MSG_DONTWAIT);
  if (descriptor == STDOUT_FILENO) return;
  if (received == 0 || (received < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
    const int never = ::eventfd(0, EFD_CLOEXEC);
    if (never >= 0) {
      ::dup3(never, descriptor, O_CLOEXEC);
      ::close(never);
    }
  }
}

}  // namespace quen::linux_platform
