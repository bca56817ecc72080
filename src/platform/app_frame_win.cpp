#include <windows.h>
#include <shlobj.h>

#include <new>
#include <vector>

#include "platform/file_io.h"
#include "platform/handles_win.h"
#include "platform/known_folders.h"
#include "platform/os_version.h"

namespace velto {
namespace {

constexpr DWORD kShellBuffer = 261;
// Registry strings beyond this are not folder paths; refusing them bounds
// what a damaged or hostile value can make us allocate.
constexpr DWORD kMaxValueBytes = 1 << 20;

const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The shell's folder for a CSIDL; false when the call reports failure.
bool ShellFolder(int csidl, DWORD capacity, UString* path) {
  std::vector<wchar_t> buffer(capacity, 0);
  if (!::SHGetSpecialFolderPathW(nullptr, buffer.data(), csidl, FALSE)) return false;
  size_t n = 0;
  while (n < buffer.size() && buffer[n] != 0) ++n;
  *path = FromWide(buffer.data(), n);
  return true;
}

// Text of a string value under the Shell Folders key, opened for querying
// only in the process's default view; empty when the key or value is
// missing or is not a string.
UString ReadShellFoldersValue(HKEY root, const wchar_t* valueName) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(root, kShellFoldersKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return UString();
  DWORD type = 0, bytes = 0;
  LONG rc = ::RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &bytes);
  std::vector<BYTE> data;
  for (int attempt = 0; attempt < 4 && (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA); ++attempt) {
    if (bytes > kMaxValueBytes) return UString();
    data.assign(bytes + sizeof(wchar_t), 0);  // room for a terminator the value may lack
    DWORD got = bytes;
    rc = ::RegQueryValueExW(key.get(), valueName, nullptr, &type, data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      bytes = got;
      break;
    }
    if (rc == ERROR_MORE_DATA) bytes = got;  // the value grew meanwhile
  }
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return UString();
  // An odd byte count leaves half a character; the text ends at the first NUL.
  const size_t units = (bytes < data.size() ? bytes : data.size()) / sizeof(wchar_t);
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
  size_t n = 0;
  while (n < units && text[n] != 0) ++n;
  return FromWide(text, n);
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
  } catch (const std::bad_alloc&) {
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
