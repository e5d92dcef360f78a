#include "platform/wayland/sway_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace quen::wayland {

namespace {

// A non-blocking socket connected to `path`, with the first requests sent; -1 when no one
// listens there or the requests do not go out whole at once.
int connectAndAsk(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return -1;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket < 0) return -1;
  const std::string requests = subscribeAndGetTree();
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      send(socket, requests.data(), requests.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(requests.size())) {
    close(socket);
    return -1;
  }
  return socket;
}

}  // namespace

SwayConnection::SwayConnection(linux_platform::PollRunLoop& loop, SwayWindows& windows,
                               std::string socketPath, std::function<void()> onChange,
                               SwayConnectionTiming timing)
    : loop_(loop),
      windows_(windows),
      socketPath_(std::move(socketPath)),
      onChange_(std::move(onChange)),
      timing_(timing) {}

SwayConnection::~SwayConnection() {
  if (socket_ >= 0) close(socket_);
}

void SwayConnection::open() {
  if (socketPath_.empty()) return;
  socket_ = connectAndAsk(socketPath_);
  if (socket_ < 0) return retryLater();
  windows_.clear();
  loop_.watchFileDescriptor(socket_, [this] { onReadable(); });
  loop_.scheduleOnce(timing_.replyDeadline, [this, attempt = ++attempt_] {
    if (attempt == attempt_ && socket_ >= 0 && !windows_.hasTree()) lose();
  });
}

void SwayConnection::awaitTree() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(timing_.replyDeadline));
  while (socket_ >= 0 && !windows_.hasTree()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;  // the deadline's timer ends the connection on the loop
    pollfd ready{socket_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) > 0 && !receiveAvailable()) lose();
  }
}

void SwayConnection::onReadable() {
  if (!receiveAvailable()) lose();
  onChange_();
}

// Reads until the socket has nothing more; false once the connection ended or broke.
bool SwayConnection::receiveAvailable() {
  char chunk[16384];
  for (;;) {
    const ssize_t got = recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) {
      if (!windows_.receive(std::string_view(chunk, static_cast<std::size_t>(got)))) return false;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

void SwayConnection::lose() {
  loop_.unwatchFileDescriptor(socket_);
  close(socket_);
  socket_ = -1;
  windows_.clear();
  retryLater();
}

void SwayConnection::retryLater() {
  loop_.scheduleOnce(timing_.retryInterval, [this] { open(); });
}

}  // namespace quen::wayland
