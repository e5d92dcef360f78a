// Loads the Wayland modules beside the executables (FocusTrail's backend, InputTrail's idle
// watch) only in a Wayland session, so that an agent on X11 never maps libwayland.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/wayland/wayland_module.h"

namespace quen::wayland {

namespace {

// The module's path: the executable's directory (from /proc/self/exe) and the module's name.
std::string modulePath(const char* fileName) {
  char executable[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  if (length <= 0) return {};
  const std::string path(executable, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + fileName;
}

// The module behind the open descriptor `file`, when its owner alone may write it. The
// descriptor is what dlopen reads, so the file judged is the file loaded.
void* loadTrustedModule(int file, uid_t owner) {
  struct stat status {};
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != owner ||
      (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return nullptr;
  return dlopen(("/proc/self/fd/" + std::to_string(file)).c_str(), RTLD_NOW | RTLD_LOCAL);
}

// The module at `path` when it is trusted and of the executable's ABI, else null.
void* openModuleFile(const std::string& path, uid_t owner) {
  // Non-blocking: the name may be anything, a FIFO included, which the check then refuses.
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file < 0) return nullptr;
  void* module = loadTrustedModule(file, owner);
  close(file);
  if (module == nullptr) return nullptr;
  const auto* abi = static_cast<const char*>(dlsym(module, QUEN_WAYLAND_MODULE_ABI_SYMBOL));
  if (abi != nullptr && std::strcmp(abi, QUEN_WAYLAND_MODULE_ABI) == 0) return module;
  dlclose(module);
  return nullptr;
}

}  // namespace

std::unique_ptr<platform::Backend> openWaylandModuleFile(const std::string& path, uid_t owner,
                                                         std::string& error) {
  void* module = openModuleFile(path, owner);
  if (module == nullptr) return nullptr;
  const auto open =
      reinterpret_cast<QuenOpenWaylandBackend>(dlsym(module, QUEN_WAYLAND_MODULE_SYMBOL));
  std::unique_ptr<platform::Backend> backend(open ? open(error) : nullptr);
  // A compositor without the toplevel list (GNOME, KDE): the agent goes on with X11, which
  // then carries nothing of the module. With a backend, the module stays for the process.
  if (!backend) dlclose(module);
  return backend;
}

std::unique_ptr<platform::Backend> openWaylandModule(std::string& error) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (display == nullptr || *display == '\0') return nullptr;
  struct stat executable {};
  const std::string path = modulePath(QUEN_WAYLAND_MODULE_FILE);
  if (path.empty() || stat("/proc/self/exe", &executable) != 0) return nullptr;
  return openWaylandModuleFile(path, executable.st_uid, error);
}

void* openModuleBesideExecutable(const char* fileName) {
  struct stat executable {};
  const std::string path = modulePath(fileName);
  if (path.empty() || stat("/proc/self/exe", &executable) != 0) return nullptr;
  return openModuleFile(path, executable.st_uid);
}

}  // namespace quen::wayland
