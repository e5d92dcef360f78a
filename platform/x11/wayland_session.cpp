#include "platform/x11/wayland_session.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quen::x11 {

namespace {

bool compositorListens() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
  if (display == nullptr || *display == '\0') return false;
  std::string path = display;
  if (path.front() != '/') {
    if (runtimeDirectory == nullptr || *runtimeDirectory == '\0') return false;
    path = std::string(runtimeDirectory) + "/" + display;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket < 0) return false;
  // EAGAIN: someone listens, with a full backlog.
  const bool listens =
      ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
      errno == EAGAIN;
  close(socket);
  return listens;
}

}  // namespace

bool inWaylandSession() {
  const char* sessionType = std::getenv("XDG_SESSION_TYPE");
  if (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0) return true;
  return compositorListens();
}

}  // namespace quen::x11
