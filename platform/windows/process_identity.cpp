#include "platform/windows/process_identity.h"

#include <array>
#include <span>
#include <vector>

#include "platform/windows/win32_rules.h"

namespace quen::windows {
namespace {

// The executable's FileDescription in its version resource's first translation; empty when
// it has none.
std::wstring fileDescription(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation))
    return {};
  std::array<wchar_t, 64> key{};
  swprintf(key.data(), key.size(), L"\\StringFileInfo\\%04x%04x\\FileDescription",
           translations[0].language, translations[0].codePage);
  wchar_t* description = nullptr;
  if (!VerQueryValueW(data.data(), key.data(), reinterpret_cast<void**>(&description), &length) ||
      length == 0)
    return {};
  std::wstring text(description, length);
  while (!text.empty() && (text.back() == L'\0' || text.back() == L' ')) text.pop_back();
  return text;
}

// The AppUserModelID of a packaged app; empty for any other process. Looked up at run time:
// the call exists from Windows 8 on, and Wine lacks it.
std::wstring applicationUserModelId(HANDLE process) {
  using Function = LONG(WINAPI*)(HANDLE, UINT32*, PWSTR);
  static const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetApplicationUserModelId")));
  if (function == nullptr) return {};
  std::array<wchar_t, 130> id{};  // APPLICATION_USER_MODEL_ID_MAX_LENGTH
  auto length = static_cast<UINT32>(id.size());
  if (function(process, &length, id.data()) != ERROR_SUCCESS) return {};
  return std::wstring(id.data());
}

}  // namespace

std::string fromWide(std::wstring_view text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return utf16ToUtf8(std::span(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

ProcessIdentity readProcessIdentity(DWORD processId) {
  ProcessIdentity identity;
  identity.application.processIdentifier = static_cast<std::int32_t>(processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return identity;
  std::array<wchar_t, 32768> path{};
  auto length = static_cast<DWORD>(path.size());
  const bool havePath = QueryFullProcessImageNameW(process, 0, path.data(), &length) != 0;
  const std::wstring modelId = applicationUserModelId(process);
  CloseHandle(process);
  if (!havePath) return identity;

  const std::wstring fullPath(path.data(), length);
  const std::size_t slash = fullPath.find_last_of(L"\\/");
  const std::wstring fileName = slash == std::wstring::npos ? fullPath : fullPath.substr(slash + 1);
  const std::size_t dot = fileName.find_last_of(L'.');
  const std::wstring stem = dot == std::wstring::npos || dot == 0 ? fileName : fileName.substr(0, dot);
  const std::wstring description = fileDescription(fullPath);

  identity.fileName = fromWide(fileName);
  identity.application.bundlePath = fromWide(fullPath);
  identity.application.localizedName = fromWide(description.empty() ? stem : description);
  identity.application.bundleIdentifier = modelId.empty() ? identity.fileName : fromWide(modelId);
  return identity;
}

}  // namespace quen::windows
