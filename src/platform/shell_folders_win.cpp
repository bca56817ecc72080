#include "platform/shell_folders_win.h"

#include <vector>

#include "platform/handles_win.h"

namespace velto {
namespace {

// Registry strings beyond this are not folder paths; refusing them bounds
// what a damaged or hostile value can make us allocate.
constexpr DWORD kMaxValueBytes = 1 << 20;

const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

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

}  // namespace velto
