// Expansion of the archive's file list into the files that become members,
// in member order: first the plain file entries in list order, then for each
// mask entry ("folder\mask") in list order the matching files below that
// folder, depth first in the order the folder listing yields them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace velto {

struct ArchiveCandidate {
  UString path;           // full path as listed or found
  uint32_t attributes = 0;
  uint64_t last_write = 0;  // FILETIME, UTC
  bool folder_member = false;  // an entry ending in a backslash: a folder member, no data
};

// Entries without a folder part are taken relative to `current_folder`
// (trailing backslash). Missing files, folders given as plain entries,
// hidden or system files, and any path in `excluded` (the archive being
// written) are left out; hidden or system folders, and junctions or linked
// folders (reparse points), are not entered. Linked files are kept.
std::vector<ArchiveCandidate> ExpandFileList(const std::vector<UString>& list,
                                             const UString& current_folder,
                                             const std::vector<UString>& excluded);

// `path` made absolute against `current_folder` when it is relative.
UString AbsolutePath(const UString& path, const UString& current_folder);

}  // namespace velto
