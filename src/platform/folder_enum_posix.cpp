// POSIX stand-ins: readdir order, attributes as file_io_posix.cpp reports
// them ('.'-names hidden), symbolic links marked the way Windows marks its
// links (kAttrReparsePoint), so the callers' rules for them apply here too.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <memory>

#include "platform/file_io.h"
#include "platform/native_path_posix.h"
#include "platform/folder_enum.h"

namespace velto {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

bool ReadFolderEntries(const UString& folder, std::vector<FolderEntry>* entries) {
  entries->clear();
  const UString base = IncludeTrailingBackslash(folder);
  std::unique_ptr<DIR, DirCloser> dir(opendir(NativePath(base).c_str()));
  if (!dir) return false;
  while (const dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const UString uname = FromUtf8(name);
    struct stat link;
    if (lstat(NativePath(base + uname).c_str(), &link) != 0) continue;
    uint32_t attrs = GetAttributes(base + uname);
    if (attrs == kInvalidAttributes) continue;
    if (S_ISLNK(link.st_mode)) attrs |= kAttrReparsePoint;  // as Windows marks links
    entries->push_back(FolderEntry{uname, attrs, GetLastWriteTime(base + uname)});
  }
  return true;
}

UString GetCurrentFolder() {
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return UString();
  return IncludeTrailingBackslash(FromUtf8(buffer));
}

bool FileTimeToLocal(uint64_t filetime, LocalTime* local) {
  const uint64_t kEpochDelta = 116444736000000000ULL;
  if (filetime < kEpochDelta) return false;
  const time_t t = static_cast<time_t>((filetime - kEpochDelta) / 10000000ULL);
  struct tm tm;
  if (!localtime_r(&t, &tm)) return false;
  local->year = tm.tm_year + 1900;
  local->month = tm.tm_mon + 1;
  local->day = tm.tm_mday;
  local->hour = tm.tm_hour;
  local->minute = tm.tm_min;
  local->second = tm.tm_sec;
  return true;
}

bool ReplaceFileWith(const UString& from, const UString& to) {
  return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

}  // namespace velto
