// Well-known folders of the machine and of the current user, by the folder
// kinds every collector uses. Answers follow the live system: nothing but the
// start-up version and the shared TAppFrame is cached. No operation raises;
// the platform's failures give an empty path or zero.
#pragma once

#include <cstdint>
#include <string>

#include "platform/folder_rules.h"
#include "platform/text.h"

namespace velto {

// Application folders, filled once by the constructor.
class TAppFrame {
 public:
  TAppFrame();

  // Folder of a kind (0..35, 291, 311; see FolderSourceOfKind); empty for any
  // other kind or when the platform gives nothing.
  static UString GetFolderPath(int32_t kind);

  UString AppDataPath;        // the user's roaming application data, no trailing backslash
  UString CommonAppDataPath;  // all-users application data, no trailing backslash
  UString ExePath;            // folder of the running program, with trailing backslash
};

// The instance shared by the whole process; created on first use, which the
// entry point makes happen before the main window exists.
TAppFrame& SharedAppFrame();

// Full path of the running program file; empty on failure.
UString ProgramFilePath();

// All-users folder of a kind 0..12 (CommonFolderCsidl); empty otherwise.
UString GetCommonFolderPath(int32_t kind);

// The shell's answer for a CSIDL, without creating the folder; empty on failure.
UString GetSpecialFolderPath(void* ownerWindow, int csidl);
// The same, telling failure apart from an empty answer; `path` is emptied on failure.
bool TryGetSpecialFolderPath(void* ownerWindow, int csidl, UString* path);

// As GetSpecialFolderPath, with an environment variable and then a fixed path
// for the few CSIDLs whose shell answer can be missing or a bare drive.
UString GetSpecialFolderWithFallback(void* ownerWindow, int csidl);

// An existing application-data folder (all users when `common`): the shell's,
// else the one the Shell Folders key records, else the fixed default; empty
// when none of them exists.
UString GetAppDataFolder(bool common);

UString GetWindowsFolder();
UString GetSystemFolder();
UString GetTempFolder();  // ends with a backslash
// Drive letter and colon of the Windows folder; empty on failure.
UString GetWindowsDrive();
// Account that runs this process (may differ from the interactive user).
UString GetCurrentUserName();

// Bytes under a folder mask ("C:\dir\*.*") or one file path; 0 when nothing
// matches. Folders marked hidden, system, read-only etc. are not entered.
uint64_t GetFolderSize(const UString& mask);

// English name of the system default locale's language in the ANSI code
// page ("English", "German"); empty on failure.
std::string GetSystemLanguageName();

}  // namespace velto
