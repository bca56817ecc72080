#include <windows.h>
#include <shlobj.h>

#include <exception>
#include <vector>

#include "platform/file_io.h"
#include "platform/handles_win.h"
#include "platform/known_folders.h"
#include "platform/os_version.h"
#include "platform/shell_folders_win.h"

namespace velto {
namespace {

constexpr DWORD kShellBuffer = 261;
// The shell's folder for a CSIDL; false when the call reports failure.
bool ShellFolder(int csidl, DWORD capacity, UString* path) {
  std::vector<wchar_t> buffer(capacity, 0);
  if (!::SHGetSpecialFolderPathW(nullptr, buffer.data(), csidl, FALSE)) return false;
  size_t n = 0;
  while (n < buffer.size() && buffer[n] != 0) ++n;
  *path = FromWide(buffer.data(), n);
  return true;
}

UString ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return UString();
    if (n < buffer.size()) return ExtractFilePath(FromWide(buffer.data(), n));
    buffer.resize(buffer.size() * 4);  // truncated: long-path aware systems allow 32767 characters
  }
  return UString();
}

}  // namespace

UString GetAppDataFolder(bool common) {
  try {
    UString path;
    if (ShellFolder(common ? kCsidlCommonAppData : kCsidlAppData, MAX_PATH, &path) && DirectoryExists(path))
      return path;
    path = ReadShellFoldersValue(common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                 common ? L"Common AppData" : L"AppData");
    if (!path.empty() && DirectoryExists(path)) return path;
    path = AppDataFixedPath(common, GetWindowsDrive(), StartupOsMajorVersion() > 5, GetCurrentUserName());
    return DirectoryExists(path) ? path : UString();
  } catch (const std::exception&) {
    return UString();
  }
}

TAppFrame::TAppFrame() {
  if (!ShellFolder(kCsidlCommonAppData, kShellBuffer, &CommonAppDataPath)) CommonAppDataPath = GetAppDataFolder(true);
  if (!ShellFolder(kCsidlAppData, kShellBuffer, &AppDataPath)) AppDataPath = GetAppDataFolder(false);
  ExePath = ProgramFolder();
}

TAppFrame& SharedAppFrame() {
  static TAppFrame frame;
  return frame;
}

}  // namespace velto
