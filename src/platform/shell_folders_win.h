// The folder paths Explorer records under
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders".
#pragma once

#include <windows.h>

#include "platform/text.h"

namespace velto {

// Text of a string value (REG_SZ or REG_EXPAND_SZ, unexpanded) under the
// Shell Folders key of `root`, opened for querying only, in the process's
// default view. Empty when the key or value is missing, is not a string or
// is implausibly long; the text ends at the first NUL or with the data.
UString ReadShellFoldersValue(HKEY root, const wchar_t* valueName);

}  // namespace velto
