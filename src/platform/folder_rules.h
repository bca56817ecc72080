// Decision tables behind the well-known folders: which source answers a
// folder kind, how the 32-bit view of Program Files is turned into the native
// one, and the fallback paths used when the shell gives no usable answer.
// Plain data in and out, so the rules are the same on every build.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/text.h"

namespace velto {

// CSIDL numbers this system uses.
enum : int {
  kCsidlPrograms = 2,
  kCsidlPersonal = 5,
  kCsidlFavorites = 6,
  kCsidlStartup = 7,
  kCsidlRecent = 8,
  kCsidlSendTo = 9,
  kCsidlStartMenu = 11,
  kCsidlMyMusic = 13,
  kCsidlMyVideo = 14,
  kCsidlDesktopDirectory = 16,
  kCsidlNetHood = 19,
  kCsidlFonts = 20,
  kCsidlTemplates = 21,
  kCsidlCommonStartMenu = 22,
  kCsidlCommonPrograms = 23,
  kCsidlCommonStartup = 24,
  kCsidlCommonDesktopDirectory = 25,
  kCsidlAppData = 26,
  kCsidlPrintHood = 27,
  kCsidlLocalAppData = 28,
  kCsidlCommonFavorites = 31,
  kCsidlInternetCache = 32,
  kCsidlCookies = 33,
  kCsidlHistory = 34,
  kCsidlCommonAppData = 35,
  kCsidlProgramFiles = 38,
  kCsidlMyPictures = 39,
  kCsidlProfile = 40,
  kCsidlSystemX86 = 41,
  kCsidlProgramFilesX86 = 42,
  kCsidlProgramFilesCommon = 43,
  kCsidlProgramFilesCommonX86 = 44,
  kCsidlCommonTemplates = 45,
  kCsidlCommonDocuments = 46,
  kCsidlCommonAdminTools = 47,
  kCsidlAdminTools = 48,
  kCsidlCommonMusic = 53,
  kCsidlCommonPictures = 54,
  kCsidlCommonVideo = 55,
  kCsidlResources = 56,
  kCsidlCdBurnArea = 59,
};

// Folder kinds of GetFolderPath that other code names directly.
enum : int32_t {
  kFolderWindows = 0,
  kFolderSystem = 1,
  kFolderTemp = 2,
  kFolderDesktop = 7,
  kFolderStartup = 10,
  kFolderProfile = 11,
  kFolderAppData = 12,
  kFolderLocalAppData = 13,
  kFolderProgramFiles = 15,
  kFolderCommonFiles = 16,
  kFolderStartMenu = 17,
  kFolderCommonAppData = 18,
  kFolderNativeProgramFiles = 291,
  kFolderNativeCommonFiles = 311,
};

struct FolderSource {
  enum class From {
    kNone,              // the kind has no folder: empty result
    kWindowsDirectory,  // GetWindowsDirectoryW
    kSystemDirectory,   // GetSystemDirectoryW
    kTempPath,          // GetTempPathW (ends with a backslash)
    kShell,             // the shell's special folder `csidl`
  };
  enum class Adjust {
    kNone,
    kDropX86Suffix,     // delete a final " (x86)"
    kDropFirstX86,      // delete the first " (x86)" wherever it stands
  };
  From from = From::kNone;
  int csidl = -1;
  Adjust adjust = Adjust::kNone;
};

// Where folder kind `kind` comes from; From::kNone for every unknown kind.
FolderSource FolderSourceOfKind(int32_t kind);

// Applies the source's adjustment to the raw answer.
UString AdjustFolderPath(const UString& path, FolderSource::Adjust adjust);

// Deletes the last six characters when they are " (x86)" in any letter case.
UString DropX86Suffix(const UString& path);
// Deletes the first " (x86)" (any letter case) wherever it stands.
UString DropFirstX86(const UString& path);

// CSIDL of an all-users folder kind 0..12; -1 for any other kind.
int CommonFolderCsidl(int32_t kind);

// What the fallback for a special folder needs to know about the machine.
struct FallbackFacts {
  // Reads an environment variable (raw, untrimmed); empty when unset.
  std::function<UString(const UString& name)> environment;
  UString systemDrive;  // "C:" from the loaded kernel32.dll
  bool newLayout = true;  // Windows major version above 5 (Vista and later)
  UString user;         // account that runs this process
  bool wow64 = false;   // 32-bit process on 64-bit Windows
};

// Environment variable consulted for `csidl`; empty when the CSIDL has no
// fallback row.
UString FallbackEnvironmentName(int csidl, bool wow64);

// Fixed path (system drive + tail) for `csidl`; empty when it has no row.
UString FallbackFixedPath(int csidl, const FallbackFacts& facts);

// The final answer of GetSpecialFolderWithFallback from the shell's answer
// (empty when the shell call failed). An answer longer than two characters
// stands; otherwise CSIDLs with a fallback row take the trimmed environment
// variable, and when that is empty too the fixed path.
UString ChooseSpecialFolder(int csidl, const UString& shellAnswer, const FallbackFacts& facts);

// Last resort of GetAppDataFolder: the fixed application-data folder on the
// Windows drive.
UString AppDataFixedPath(bool common, const UString& windowsDrive, bool newLayout, const UString& user);

// One entry of a folder enumeration, as GetFolderSize sees it.
struct FolderEntry {
  UString name;
  uint32_t attributes = 0;
  uint64_t size = 0;
};

// Calls `visit` for each entry matching `mask` while the enumeration is open,
// until `visit` returns false; closes the enumeration before returning.
using EnumerateFolder =
    std::function<void(const UString& mask, const std::function<bool(const FolderEntry&)>& visit)>;

// Bytes under `mask` (a folder followed by "\*.*", or one file). Only
// subfolders whose attributes are exactly "directory" are entered, so a
// hidden, system, read-only or otherwise marked folder is counted as 0, and
// names beginning with "." are never entered.
uint64_t SumFolderSize(const UString& mask, const EnumerateFolder& enumerate);

// Whether GetFolderSize descends into an entry.
bool IsPlainSubfolder(const FolderEntry& entry);

}  // namespace velto
