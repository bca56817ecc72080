// Scratch folders for the Windows tests: a named folder in the temp folder,
// and a wipe that clears attributes first and never follows linked folders.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/file_io.h"
#include "platform/folder_enum.h"
#include "platform/handles_win.h"

namespace velto {
namespace testing_win {

inline UString ScratchFolder(const char16_t* name) {
  wchar_t tmp[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, tmp);
  if (n == 0 || n >= MAX_PATH) return UString();
  return FromWide(tmp) + name + u"\\";
}

inline void WipeFolder(const UString& folder) {
  std::vector<FolderEntry> entries;
  if (!ReadFolderEntries(folder, &entries)) return;
  for (const auto& e : entries) {
    const UString p = IncludeTrailingBackslash(folder) + e.name;
    SetFileAttributesW(WidePtr(p), FILE_ATTRIBUTE_NORMAL);
    if ((e.attributes & kAttrDirectory) && !(e.attributes & kAttrReparsePoint)) WipeFolder(p);
    if (e.attributes & kAttrDirectory) {
      RemoveDirectoryW(WidePtr(p));
    } else {
      DeleteFileW(WidePtr(p));
    }
  }
}

}  // namespace testing_win
}  // namespace velto
