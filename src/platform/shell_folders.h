// The folder paths Explorer records under
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders": the
// second place the application-data folders are looked up when the shell
// gives none.
#pragma once

#include "platform/raw_registry.h"
#include "platform/text.h"

namespace velto {

// The recorded application-data folder, unexpanded: "Common AppData" below
// HKEY_LOCAL_MACHINE when `common`, else "AppData" below HKEY_CURRENT_USER,
// read in the process's default view. Empty when the key or value is missing,
// empty or not a string, or the registry refuses the read.
UString ReadShellFoldersAppData(IRawRegistry& registry, bool common);

}  // namespace velto
