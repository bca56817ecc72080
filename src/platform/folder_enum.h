// Folder listing, the process's current folder, local-time conversion of file
// times and file replacement: the few file-system services the report archive
// needs beyond file_io.h. Win32 in folder_enum_win.cpp, POSIX stand-ins for
// the native build in folder_enum_posix.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace velto {

struct FolderEntry {
  UString name;         // the entry's own name, no path
  uint32_t attributes;  // Windows attribute bits (kAttrDirectory, kAttrHidden, ...)
  uint64_t last_write;  // FILETIME value, UTC
};

// Every entry of `folder` (trailing backslash optional) except "." and "..",
// in the order the file system yields them. False when the folder cannot be
// listed; an empty folder gives true and no entries.
bool ReadFolderEntries(const UString& folder, std::vector<FolderEntry>* entries);

// The process's current folder, with a trailing backslash; empty on failure.
UString GetCurrentFolder();

// Local calendar time of a FILETIME value (UTC, 100 ns since 1601).
struct LocalTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
bool FileTimeToLocal(uint64_t filetime, LocalTime* local);

// Moves `from` onto `to`, replacing `to` if it exists.
bool ReplaceFileWith(const UString& from, const UString& to);

}  // namespace velto
