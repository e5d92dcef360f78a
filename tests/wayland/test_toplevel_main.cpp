// quen_test_toplevel <app_id> <title> [<next title>]: one xdg-shell toplevel for the
// Wayland end-to-end tests. Prints "mapped" once it shows its first buffer; SIGUSR1 retitles
// it with the next title (\xNN in a title stands for any byte, so that a test can send
// invalid UTF-8). SIGTERM closes it.

#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "xdg-shell-client-protocol.h"

namespace {

constexpr int SIDE = 120;
int retitlePipe[2];

struct Globals {
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* shell = nullptr;
  bool configured = false;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  auto& globals = *static_cast<Globals*>(data);
  const auto is = [interface](const wl_interface& wanted) {
    return std::strcmp(interface, wanted.name) == 0;
  };
  if (is(wl_compositor_interface))
    globals.compositor = static_cast<wl_compositor*>(
        wl_registry_bind(registry, name, &wl_compositor_interface, 1));
  if (is(wl_shm_interface))
    globals.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  if (is(xdg_wm_base_interface))
    globals.shell = static_cast<xdg_wm_base*>(
        wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
}

wl_buffer* whiteBuffer(wl_shm* shm) {
  const int size = SIDE * SIDE * 4;
  const int fd = memfd_create("quen-test-toplevel", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
  void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) return nullptr;
  std::memset(pixels, 0xff, size);
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
  wl_buffer* buffer =
      wl_shm_pool_create_buffer(pool, 0, SIDE, SIDE, SIDE * 4, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

std::string unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool escape = text.compare(at, 2, "\\x") == 0 && at + 3 < text.size();
    bytes.push_back(escape ? static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16))
                           : text[at]);
    if (escape) at += 3;
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  wl_display* display = argc >= 3 ? wl_display_connect(nullptr) : nullptr;
  if (display == nullptr) return 1;
  Globals globals;
  static const wl_registry_listener registryListener{&onGlobal,
                                                     [](void*, wl_registry*, std::uint32_t) {}};
  wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &globals);
  wl_display_roundtrip(display);
  if (!globals.compositor || !globals.shm || !globals.shell) return 1;
  static const xdg_wm_base_listener shellListener{
      [](void*, xdg_wm_base* shell, std::uint32_t serial) { xdg_wm_base_pong(shell, serial); }};
  xdg_wm_base_add_listener(globals.shell, &shellListener, nullptr);

  wl_surface* surface = wl_compositor_create_surface(globals.compositor);
  xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(globals.shell, surface);
  static const xdg_surface_listener surfaceListener{
      [](void* data, xdg_surface* configured, std::uint32_t serial) {
        xdg_surface_ack_configure(configured, serial);
        static_cast<Globals*>(data)->configured = true;
      }};
  xdg_surface_add_listener(shellSurface, &surfaceListener, &globals);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
  xdg_toplevel_set_app_id(toplevel, argv[1]);
  xdg_toplevel_set_title(toplevel, unescape(argv[2]).c_str());
  wl_surface_commit(surface);
  while (!globals.configured && wl_display_dispatch(display) >= 0) {
  }
  wl_surface_attach(surface, whiteBuffer(globals.shm), 0, 0);
  wl_surface_commit(surface);
  wl_display_roundtrip(display);
  std::printf("mapped\n");
  std::fflush(stdout);

  // The signal only wakes the loop; the request is made outside the handler.
  if (pipe(retitlePipe) != 0) return 1;
  signal(SIGUSR1, [](int) { (void)!write(retitlePipe[1], "", 1); });
  pollfd descriptors[2] = {{wl_display_get_fd(display), POLLIN, 0}, {retitlePipe[0], POLLIN, 0}};
  for (char byte;;) {
    wl_display_flush(display);
    if (poll(descriptors, 2, -1) < 0) continue;
    if (descriptors[0].revents && wl_display_dispatch(display) < 0) return 1;
    if (descriptors[1].revents && read(retitlePipe[0], &byte, 1) == 1 && argc == 4)
      xdg_toplevel_set_title(toplevel, unescape(argv[3]).c_str());
  }
}
