#include "platform/folder_rules.h"

namespace velto {
namespace {

const char16_t kX86[] = u" (x86)";
constexpr size_t kX86Chars = 6;

using From = FolderSource::From;
using Adjust = FolderSource::Adjust;

}  // namespace

FolderSource FolderSourceOfKind(int32_t kind) {
  // Kinds 3..35 in order; 0 marks kind 14, which has no folder.
  static const int kShellKinds[] = {
      kCsidlInternetCache, kCsidlCookies, kCsidlHistory, kCsidlRecent, kCsidlDesktopDirectory,
      kCsidlPrograms, kCsidlFavorites, kCsidlStartup, kCsidlProfile, kCsidlAppData,
      kCsidlLocalAppData, 0 /* 14 */, kCsidlProgramFiles, kCsidlProgramFilesCommon, kCsidlStartMenu,
      kCsidlCommonAppData, kCsidlLocalAppData, kCsidlFonts, kCsidlTemplates, kCsidlNetHood,
      kCsidlSendTo, kCsidlMyMusic, kCsidlMyVideo, kCsidlPrintHood, kCsidlMyPictures,
      kCsidlSystemX86, kCsidlProgramFilesX86, kCsidlProgramFilesCommon, kCsidlProgramFilesCommonX86,
      kCsidlAdminTools, kCsidlResources, kCsidlCdBurnArea, kCsidlPersonal,
  };
  FolderSource source;
  switch (kind) {
    case kFolderWindows: source.from = From::kWindowsDirectory; return source;
    case kFolderSystem: source.from = From::kSystemDirectory; return source;
    case kFolderTemp: source.from = From::kTempPath; return source;
    case kFolderNativeProgramFiles:
      source.from = From::kShell;
      source.csidl = kCsidlProgramFiles;
      source.adjust = Adjust::kDropX86Suffix;
      return source;
    case kFolderNativeCommonFiles:
      source.from = From::kShell;
      source.csidl = kCsidlProgramFilesCommon;
      source.adjust = Adjust::kDropFirstX86;
      return source;
    default: break;
  }
  const int32_t first = 3;
  const int32_t count = static_cast<int32_t>(sizeof(kShellKinds) / sizeof(kShellKinds[0]));
  if (kind >= first && kind < first + count && kShellKinds[kind - first] != 0) {
    source.from = From::kShell;
    source.csidl = kShellKinds[kind - first];
  }
  return source;
}

UString DropX86Suffix(const UString& path) {
  if (path.size() >= kX86Chars && SameText(path.substr(path.size() - kX86Chars), kX86))
    return path.substr(0, path.size() - kX86Chars);
  return path;
}

UString DropFirstX86(const UString& path) {
  const size_t pos = FindText(path, kX86);
  if (pos == UString::npos) return path;
  return path.substr(0, pos) + path.substr(pos + kX86Chars);
}

UString AdjustFolderPath(const UString& path, Adjust adjust) {
  switch (adjust) {
    case Adjust::kDropX86Suffix: return DropX86Suffix(path);
    case Adjust::kDropFirstX86: return DropFirstX86(path);
    case Adjust::kNone: break;
  }
  return path;
}

int CommonFolderCsidl(int32_t kind) {
  static const int kCommon[] = {
      kCsidlCommonAppData,   kCsidlCommonDesktopDirectory, kCsidlCommonPrograms, kCsidlCommonStartMenu,
      kCsidlCommonFavorites, kCsidlCommonStartMenu,        kCsidlCommonStartup,  kCsidlCommonTemplates,
      kCsidlCommonDocuments, kCsidlCommonAdminTools,       kCsidlCommonMusic,    kCsidlCommonPictures,
      kCsidlCommonVideo,
  };
  if (kind < 0 || kind >= static_cast<int32_t>(sizeof(kCommon) / sizeof(kCommon[0]))) return -1;
  return kCommon[kind];
}

UString FallbackEnvironmentName(int csidl, bool wow64) {
  switch (csidl) {
    case kCsidlAppData: return u"APPDATA";
    case kCsidlLocalAppData: return u"LOCALAPPDATA";
    case kCsidlCommonAppData: return u"ProgramData";
    case kCsidlProfile: return u"USERPROFILE";
    case kCsidlProgramFiles: return wow64 ? u"ProgramFiles(x86)" : u"ProgramFiles";
    case kCsidlProgramFilesCommon: return wow64 ? u"CommonProgramFiles(x86)" : u"CommonProgramFiles";
    default: return UString();
  }
}

UString FallbackFixedPath(int csidl, const FallbackFacts& facts) {
  const UString& user = facts.user;
  UString tail;
  switch (csidl) {
    case kCsidlAppData:
      tail = facts.newLayout ? u"\\Users\\" + user + u"\\AppData\\Roaming"
                             : u"\\Documents and Settings\\" + user + u"\\Application Data";
      break;
    case kCsidlLocalAppData:
      tail = facts.newLayout ? u"\\Users\\" + user + u"\\AppData\\Local"
                             : u"\\Documents and Settings\\" + user + u"\\Local Settings\\Application Data";
      break;
    case kCsidlCommonAppData:
      tail = facts.newLayout ? u"\\ProgramData" : u"\\Documents and Settings\\All Users\\Application Data";
      break;
    case kCsidlProfile:
      tail = facts.newLayout ? u"\\Users\\" + user : u"\\Documents and Settings\\" + user;
      break;
    case kCsidlProgramFiles:
      tail = facts.wow64 ? u"\\Program Files (x86)" : u"\\Program Files";
      break;
    case kCsidlProgramFilesCommon:
      tail = facts.wow64 ? u"\\Program Files (x86)\\Common Files" : u"\\Program Files\\Common Files";
      break;
    default: return UString();
  }
  return facts.systemDrive + tail;
}

UString ChooseSpecialFolder(int csidl, const UString& shellAnswer, const FallbackFacts& facts) {
  if (shellAnswer.size() > 2) return shellAnswer;
  const UString name = FallbackEnvironmentName(csidl, facts.wow64);
  if (name.empty()) return shellAnswer;
  const UString value = facts.environment ? Trim(facts.environment(name)) : UString();
  if (!value.empty()) return value;
  return FallbackFixedPath(csidl, facts);
}

UString AppDataFixedPath(bool common, const UString& windowsDrive, bool newLayout, const UString& user) {
  if (newLayout) return windowsDrive + (common ? UString(u"\\ProgramData") : u"\\Users\\" + user + u"\\AppData\\Roaming");
  return windowsDrive + (common ? UString(u"\\Documents and Settings\\All Users\\Application Data")
                                : u"\\Documents and Settings\\" + user + u"\\Application Data");
}

bool IsPlainSubfolder(const FolderEntry& entry) {
  return entry.attributes == 0x10 && !entry.name.empty() && entry.name[0] != u'.';
}

uint64_t SumFolderSize(const UString& mask, const EnumerateFolder& enumerate) {
  UString dir = ExtractFilePath(mask);
  if (!dir.empty() && dir.back() != u'\\' && dir.back() != u':') dir += u'\\';
  uint64_t total = 0;
  enumerate(mask, [&](const FolderEntry& entry) {
    if (entry.name.empty()) return false;
    total += entry.size;
    if (IsPlainSubfolder(entry)) total += SumFolderSize(dir + entry.name + u"\\*.*", enumerate);
    return true;
  });
  return total;
}

}  // namespace velto
