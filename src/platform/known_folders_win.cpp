#include <windows.h>
#include <shlobj.h>

#include <exception>
#include <functional>
#include <vector>

#include "platform/handles_win.h"
#include "platform/known_folders.h"
#include "platform/wow64.h"
#include "platform/os_version.h"

namespace velto {
namespace {

constexpr DWORD kDirectoryBuffer = 255;  // longer paths count as failure
constexpr DWORD kShellBuffer = 261;      // MAX_PATH and one spare

template <typename Call>
UString DirectoryFromCall(Call call) {
  wchar_t buffer[kDirectoryBuffer] = {};
  const UINT n = call(buffer, kDirectoryBuffer);
  // A too-small buffer makes these functions return the size they need.
  if (n == 0 || n >= kDirectoryBuffer) return UString();
  return FromWideBounded(buffer, n);
}

UString EnvironmentValue(const UString& name) {
  std::vector<wchar_t> buffer(256);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = ::GetEnvironmentVariableW(WidePtr(name), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return UString();
    if (n < buffer.size()) return FromWideBounded(buffer.data(), n);
    buffer.assign(n + 1, 0);  // the value changed size between the calls: ask again
  }
  return UString();
}

// Drive of the loaded kernel32.dll, which is where Windows itself lives.
UString SystemDrive() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = kernel ? ::GetModuleFileNameW(kernel, path, MAX_PATH + 1) : 0;
  if (n < 2 || n > MAX_PATH || path[1] != L':') return UString();
  return FromWide(path, 2);
}

}  // namespace

UString GetWindowsFolder() {
  return DirectoryFromCall([](wchar_t* b, UINT n) { return ::GetWindowsDirectoryW(b, n); });
}

UString GetSystemFolder() {
  return DirectoryFromCall([](wchar_t* b, UINT n) { return ::GetSystemDirectoryW(b, n); });
}

UString GetTempFolder() {
  return DirectoryFromCall([](wchar_t* b, UINT n) { return static_cast<UINT>(::GetTempPathW(n, b)); });
}

UString GetWindowsDrive() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT n = ::GetWindowsDirectoryW(buffer, MAX_PATH);
  if (n < 2 || n >= MAX_PATH) return UString();
  return FromWide(buffer, 2);
}

bool TryGetSpecialFolderPath(void* ownerWindow, int csidl, UString* path) {
  path->clear();
  wchar_t buffer[kShellBuffer] = {};
  if (!::SHGetSpecialFolderPathW(static_cast<HWND>(ownerWindow), buffer, csidl, FALSE)) return false;
  *path = FromWideBounded(buffer, kShellBuffer);
  return true;
}

UString GetSpecialFolderPath(void* ownerWindow, int csidl) {
  UString path;
  TryGetSpecialFolderPath(ownerWindow, csidl, &path);
  return path;
}

UString GetSpecialFolderWithFallback(void* ownerWindow, int csidl) {
  const UString shellAnswer = GetSpecialFolderPath(ownerWindow, csidl);
  if (shellAnswer.size() > 2 || FallbackEnvironmentName(csidl, false).empty()) return shellAnswer;
  FallbackFacts facts;
  facts.environment = EnvironmentValue;
  facts.systemDrive = SystemDrive();
  facts.newLayout = StartupOsMajorVersion() > 5;
  facts.user = GetCurrentUserName();
  facts.wow64 = IsWow64();
  return ChooseSpecialFolder(csidl, shellAnswer, facts);
}

UString TAppFrame::GetFolderPath(int32_t kind) {
  const FolderSource source = FolderSourceOfKind(kind);
  switch (source.from) {
    case FolderSource::From::kWindowsDirectory: return GetWindowsFolder();
    case FolderSource::From::kSystemDirectory: return GetSystemFolder();
    case FolderSource::From::kTempPath: return GetTempFolder();
    case FolderSource::From::kShell:
      return AdjustFolderPath(GetSpecialFolderPath(nullptr, source.csidl), source.adjust);
    case FolderSource::From::kNone: break;
  }
  return UString();
}

UString GetCommonFolderPath(int32_t kind) {
  const int csidl = CommonFolderCsidl(kind);
  return csidl < 0 ? UString() : GetSpecialFolderPath(nullptr, csidl);
}

uint64_t GetFolderSize(const UString& mask) {
  const EnumerateFolder enumerate = [](const UString& pattern,
                                       const std::function<bool(const FolderEntry&)>& visit) {
    if (pattern.empty()) return;
    WIN32_FIND_DATAW data;
    // One open enumeration per level; the owner closes it on every path.
    UniqueFind find(::FindFirstFileW(WidePtr(pattern), &data));
    if (!find) return;
    do {
      FolderEntry entry;
      entry.name = FromWideBounded(data.cFileName, MAX_PATH);
      entry.attributes = data.dwFileAttributes;
      entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      if (!visit(entry)) break;
    } while (::FindNextFileW(find.get(), &data));
  };
  try {
    return SumFolderSize(mask, enumerate);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace velto
