#include <windows.h>

#include "platform/folder_enum.h"
#include "platform/handles_win.h"

namespace velto {

bool ReadFolderEntries(const UString& folder, std::vector<FolderEntry>* entries) {
  entries->clear();
  const UString pattern = IncludeTrailingBackslash(folder) + u"*";
  WIN32_FIND_DATAW data;
  UniqueFind find(::FindFirstFileW(WidePtr(pattern), &data));
  if (!find.valid()) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const UString name = FromWide(data.cFileName);
    if (name == u"." || name == u"..") continue;
    const uint64_t written = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime;
    entries->push_back(FolderEntry{name, static_cast<uint32_t>(data.dwFileAttributes), written});
  } while (::FindNextFileW(find.get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
}

UString GetCurrentFolder() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return UString();
  std::wstring buffer(needed, L'\0');
  const DWORD got = ::GetCurrentDirectoryW(needed, &buffer[0]);
  if (got == 0 || got >= needed) return UString();
  return IncludeTrailingBackslash(FromWide(buffer.data(), got));
}

bool FileTimeToLocal(uint64_t filetime, LocalTime* local) {
  FILETIME utc, here;
  utc.dwLowDateTime = static_cast<DWORD>(filetime);
  utc.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  SYSTEMTIME st;
  if (!::FileTimeToLocalFileTime(&utc, &here) || !::FileTimeToSystemTime(&here, &st)) return false;
  local->year = st.wYear;
  local->month = st.wMonth;
  local->day = st.wDay;
  local->hour = st.wHour;
  local->minute = st.wMinute;
  local->second = st.wSecond;
  return true;
}

bool ReplaceFileWith(const UString& from, const UString& to) {
  return ::MoveFileExW(WidePtr(from), WidePtr(to),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace velto
