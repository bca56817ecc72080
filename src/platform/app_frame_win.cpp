#include <windows.h>

#include <exception>
#include <vector>

#include "platform/file_io.h"
#include "platform/handles_win.h"
#include "platform/known_folders.h"
#include "platform/os_version.h"
#include "platform/raw_registry_win.h"
#include "platform/shell_folders.h"

namespace velto {
namespace {

UString ProgramFolder() {
  const UString file = ProgramFilePath();
  return file.empty() ? UString() : ExtractFilePath(file);
}

}  // namespace

UString ProgramFilePath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return UString();
    if (n < buffer.size()) return FromWide(buffer.data(), n);
    buffer.resize(buffer.size() * 4);  // truncated: long-path aware systems allow 32767 characters
  }
  return UString();
}

UString GetAppDataFolder(bool common) {
  try {
    UString path;
    if (TryGetSpecialFolderPath(nullptr, common ? kCsidlCommonAppData : kCsidlAppData, &path) &&
        DirectoryExists(path))
      return path;
    path = ReadShellFoldersAppData(SystemRegistry(), common);
    if (!path.empty() && DirectoryExists(path)) return path;
    path = AppDataFixedPath(common, GetWindowsDrive(), StartupOsMajorVersion() > 5, GetCurrentUserName());
    return DirectoryExists(path) ? path : UString();
  } catch (const std::exception&) {
    return UString();
  }
}

TAppFrame::TAppFrame() {
  if (!TryGetSpecialFolderPath(nullptr, kCsidlCommonAppData, &CommonAppDataPath))
    CommonAppDataPath = GetAppDataFolder(true);
  if (!TryGetSpecialFolderPath(nullptr, kCsidlAppData, &AppDataPath)) AppDataPath = GetAppDataFolder(false);
  ExePath = ProgramFolder();
}

TAppFrame& SharedAppFrame() {
  static TAppFrame frame;
  return frame;
}

}  // namespace velto
