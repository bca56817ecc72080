#include "app/file_list.h"

#include "app/zip_names.h"
#include "platform/file_io.h"
#include "platform/folder_enum.h"

namespace velto {

namespace {

constexpr uint32_t kSkipped = kAttrHidden | kAttrSystem;
// Nesting that deep means a link loop or a hostile tree; stop descending.
constexpr int kMaxDepth = 256;

bool IsExcluded(const UString& path, const std::vector<UString>& excluded) {
  for (const auto& e : excluded)
    if (SameText(path, e)) return true;
  return false;
}

void AddMatches(const UString& folder, const UString& mask, const std::vector<UString>& excluded,
                int depth, std::vector<ArchiveCandidate>* out) {
  if (depth > kMaxDepth) return;
  std::vector<FolderEntry> entries;
  if (!ReadFolderEntries(folder, &entries)) return;
  for (const auto& e : entries) {
    if (e.attributes & kSkipped) continue;
    const UString path = folder + e.name;
    if (e.attributes & kAttrDirectory) {
      // A junction or linked folder may point back up the tree or elsewhere
      // entirely: following it can archive the same files again and again.
      // Linked files are still taken; reading one reads its target once.
      if (!(e.attributes & kAttrReparsePoint)) AddMatches(path + u"\\", mask, excluded, depth + 1, out);
    } else if (MatchesMask(e.name, mask) && !IsExcluded(path, excluded)) {
      out->push_back(ArchiveCandidate{path, e.attributes, e.last_write, false});
    }
  }
}

}  // namespace

UString AbsolutePath(const UString& path, const UString& current_folder) {
  if (path.empty() || IsAbsolutePath(path)) return path;
  return IncludeTrailingBackslash(current_folder) + path;
}

std::vector<ArchiveCandidate> ExpandFileList(const std::vector<UString>& list,
                                             const UString& current_folder,
                                             const std::vector<UString>& excluded) {
  std::vector<ArchiveCandidate> out;
  std::vector<UString> masks;
  for (const auto& entry : list) {
    if (entry.empty()) continue;
    if (HasWildcard(entry)) {
      masks.push_back(entry);
      continue;
    }
    const UString path = AbsolutePath(entry, current_folder);
    if (path.back() == u'\\' || path.back() == u'/') {
      const uint32_t a = GetAttributes(path);
      if (a != kInvalidAttributes && (a & kAttrDirectory) && !(a & kSkipped))
        out.push_back(ArchiveCandidate{path, a, GetLastWriteTime(path), true});
      continue;
    }
    const uint32_t a = GetAttributes(path);
    if (a == kInvalidAttributes || (a & (kAttrDirectory | kSkipped)) || IsExcluded(path, excluded))
      continue;
    out.push_back(ArchiveCandidate{path, a, GetLastWriteTime(path), false});
  }
  for (const auto& entry : masks) {
    const UString path = AbsolutePath(entry, current_folder);
    // '/' counts as a separator too: Windows accepts it, and native paths use it.
    const size_t cut = path.find_last_of(u"\\/:");
    if (cut == UString::npos) continue;
    UString folder = path.substr(0, cut + 1);
    if (folder.back() == u':') folder += u'\\';
    AddMatches(folder, path.substr(cut + 1), excluded, 0, &out);
  }
  return out;
}

}  // namespace velto
