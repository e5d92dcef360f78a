// quen_test_toplevel: one xdg-shell toplevel with a chosen app id and title, for the
// Wayland end-to-end tests. Usage: quen_test_toplevel <app_id> <title>. It prints "mapped"
// once the compositor has configured it and it has shown its first buffer, then obeys one
// command per line on standard input: "title <text>" (with \xNN for any byte, so that a
// test can send invalid UTF-8) retitles it; end of input closes it.

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "xdg-shell-client-protocol.h"

namespace {

constexpr int SIDE = 120;

struct Client {
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* shell = nullptr;
  bool configured = false;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  auto& client = *static_cast<Client*>(data);
  const auto bind = [&](const wl_interface* wanted) {
    return wl_registry_bind(registry, name, wanted, 1);
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0)
    client.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface));
  else if (std::strcmp(interface, wl_shm_interface.name) == 0)
    client.shm = static_cast<wl_shm*>(bind(&wl_shm_interface));
  else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
    client.shell = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface));
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
void onPing(void*, xdg_wm_base* shell, std::uint32_t serial) { xdg_wm_base_pong(shell, serial); }
void onSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
  xdg_surface_ack_configure(surface, serial);
  static_cast<Client*>(data)->configured = true;
}
void onToplevelConfigure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {}
void onToplevelClose(void*, xdg_toplevel*) {}

wl_buffer* whiteBuffer(wl_shm* shm) {
  const int size = SIDE * SIDE * 4;
  const int fd = memfd_create("quen-test-toplevel", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
  void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) return nullptr;
  std::memset(pixels, 0xff, size);
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
  wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, SIDE, SIDE, SIDE * 4, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

std::string unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text.compare(at, 2, "\\x") == 0 && at + 3 < text.size()) {
      bytes.push_back(static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16)));
      at += 3;
    } else {
      bytes.push_back(text[at]);
    }
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quen_test_toplevel <app_id> <title>\n");
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return 1;
  Client client;
  static const wl_registry_listener registryListener{&onGlobal, &onGlobalRemove};
  wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &client);
  wl_display_roundtrip(display);
  if (!client.compositor || !client.shm || !client.shell) return 1;
  static const xdg_wm_base_listener shellListener{&onPing};
  xdg_wm_base_add_listener(client.shell, &shellListener, nullptr);

  wl_surface* surface = wl_compositor_create_surface(client.compositor);
  xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(client.shell, surface);
  static const xdg_surface_listener surfaceListener{&onSurfaceConfigure};
  xdg_surface_add_listener(shellSurface, &surfaceListener, &client);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
  static const xdg_toplevel_listener toplevelListener{&onToplevelConfigure, &onToplevelClose,
                                                      nullptr, nullptr};
  xdg_toplevel_add_listener(toplevel, &toplevelListener, nullptr);
  xdg_toplevel_set_app_id(toplevel, argv[1]);
  xdg_toplevel_set_title(toplevel, unescape(argv[2]).c_str());
  wl_surface_commit(surface);
  while (!client.configured && wl_display_dispatch(display) >= 0) {
  }
  wl_surface_attach(surface, whiteBuffer(client.shm), 0, 0);
  wl_surface_commit(surface);
  wl_display_roundtrip(display);
  std::printf("mapped\n");
  std::fflush(stdout);

  std::string line;
  pollfd descriptors[2] = {{wl_display_get_fd(display), POLLIN, 0}, {0, POLLIN, 0}};
  for (;;) {
    wl_display_flush(display);
    if (poll(descriptors, 2, -1) < 0) continue;
    if (descriptors[0].revents && wl_display_dispatch(display) < 0) return 1;
    if (!descriptors[1].revents) continue;
    char chunk[512];
    const ssize_t got = read(0, chunk, sizeof chunk);
    if (got <= 0) return 0;
    line.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = line.find('\n')) != std::string::npos; line.erase(0, end + 1))
      if (line.compare(0, 6, "title ") == 0)
        xdg_toplevel_set_title(toplevel, unescape(line.substr(6, end - 6)).c_str());
  }
}
