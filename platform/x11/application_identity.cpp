#include "platform/x11/application_identity.h"

#include "platform/linux/process_info.h"
#include "platform/x11/client_pids.h"
#include "platform/x11/x11_reply.h"

namespace quen::x11 {

namespace {

// WM_CLASS is two short names; a longer property is read only this far.
constexpr std::uint32_t WINDOW_CLASS_LONGS = 256;
// Processes whose facts are kept; the table starts over when it grows past this.
constexpr std::size_t REMEMBERED_PROCESSES = 64;

}  // namespace

WindowClass parseWindowClass(std::string_view bytes) {
  WindowClass parsed;
  const std::size_t separator = bytes.find('\0');
  parsed.instance = std::string(bytes.substr(0, separator));
  if (separator != std::string_view::npos) {
    const std::string_view rest = bytes.substr(separator + 1);
    parsed.className = std::string(rest.substr(0, rest.find('\0')));
  }
  return parsed;
}

ApplicationIdentity::ApplicationIdentity(Connection& connection) : connection_(connection) {}

std::optional<OwnerFacts> ApplicationIdentity::readOwner(xcb_window_t client) {
  xcb_connection_t* x = connection_.get();
  // The server answers in request order: a window that still exists at the WM_CLASS request
  // (an error means it does not) existed at the XRes request before it, so the pid is that
  // window's client's.
  ClientPidQuery clientPids;
  clientPids.send(connection_, std::span<const xcb_window_t>(&client, 1));
  const auto pidCookie =
      xcb_get_property(x, 0, client, connection_.atoms().netWmPid, XCB_ATOM_CARDINAL, 0, 1);
  const auto classCookie =
      xcb_get_property(x, 0, client, XCB_ATOM_WM_CLASS, XCB_ATOM_ANY, 0, WINDOW_CLASS_LONGS);

  clientPids.collect();
  auto publishedPid = own(xcb_get_property_reply(x, pidCookie, nullptr));
  auto classReply = own(xcb_get_property_reply(x, classCookie, nullptr));
  if (!classReply || !connection_.alive()) return std::nullopt;

  OwnerFacts owner;
  owner.pid = clientPids.ownerOf(client, publishedPid.get());
  if (const auto classBytes = propertyBytes(classReply.get()))
    owner.windowClass = parseWindowClass(*classBytes);
  if (owner.pid > 0) owner.process = factsOf(owner.pid);
  return owner;
}

const linux_platform::ProcessFacts& ApplicationIdentity::factsOf(std::int32_t pid) {
  std::optional<std::string> path = linux_platform::executablePath(pid);
  const auto known = processFacts_.find(pid);
  if (known != processFacts_.end() && known->second.executablePath == path) return known->second;
  if (processFacts_.size() >= REMEMBERED_PROCESSES) processFacts_.clear();
  linux_platform::ProcessFacts& facts = processFacts_[pid];
  facts.executablePath = std::move(path);
  facts.processName = linux_platform::processName(pid);
  facts.sandboxAppId = linux_platform::sandboxApplicationId(pid);
  return facts;
}

platform::RunningApplication ApplicationIdentity::nameApplication(const OwnerFacts& owner) {
  const WindowClass& windowClass = owner.windowClass;
  const linux_platform::ProcessFacts& facts = owner.process;
  platform::RunningApplication application;
  application.processIdentifier = owner.pid;
  linux_platform::ProgramClues clues;
  clues.windowClass = windowClass.className;
  clues.windowInstance = windowClass.instance;
  application.bundlePath = facts.executablePath;
  if (facts.executablePath)
    clues.executableName = facts.executablePath->substr(facts.executablePath->rfind('/') + 1);
  clues.processName = facts.processName;
  clues.sandboxAppId = facts.sandboxAppId;
  if (!desktopEntries_)
    desktopEntries_ = std::make_unique<linux_platform::DesktopEntryIndex>(
        linux_platform::DesktopEntryIndex::applicationDirectoriesFromEnvironment(),
        linux_platform::messagesLocaleFromEnvironment());
  const linux_platform::DesktopEntry* entry = desktopEntries_->find(clues);

  if (entry != nullptr && entry->name) application.localizedName = entry->name;
  else if (!windowClass.className.empty()) application.localizedName = windowClass.className;
  else if (!clues.processName.empty()) application.localizedName = clues.processName;

  if (entry != nullptr) application.bundleIdentifier = entry->id;
  else if (!windowClass.instance.empty()) application.bundleIdentifier = windowClass.instance;
  return application;
}

}  // namespace quen::x11
