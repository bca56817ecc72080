// Where the package lands: the Desktop of the person at the machine, even
// when the program runs under another account.
#pragma once

#include "platform/text.h"

namespace velto {

// The facts the choice is made from, gathered by the Win32 layer.
struct OutputLocationFacts {
  UString desktop_folder;    // the running account's Desktop, empty when the shell cannot tell
  UString program_folder;    // folder of the program file
  UString interactive_user;  // account at the console, empty when unknown
  UString process_owner;     // account that runs this process, empty when unknown
  UString date_text;         // "yyyymmdd", or "0" when the date cannot be formatted
};

// The folder that receives the package. The running account's Desktop is
// moved to the interactive user's by replacing every "\owner\" path segment.
// When either name is unknown the Desktop is kept as it is: replacing a
// segment by a bare backslash (or an empty segment) would give a broken path.
UString ChooseOutputFolder(const OutputLocationFacts& facts);

// "qn_logs_<date>.log" in the chosen folder (not yet made absolute).
UString ComposeOutputFileName(const OutputLocationFacts& facts);

// The process-wide package path, set once when the button is pressed.
const UString& OutputFileName();
void SetOutputFileName(const UString& path);

}  // namespace velto
