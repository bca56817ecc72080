// Who is at the machine, and who owns a process: the interactive user's
// session and name, process owners, account SIDs.
// None of these raises; platform failures give the empty or zero result.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace velto {

// Start-up: records whether this is Windows 2000 and, when it is not, looks up
// WTSGetActiveConsoleSessionId in kernel32. Call once before any helper below.
void InitWindows2000Test();
bool IsWindows2000();

UString GetInteractiveUserName();
uint32_t GetInteractiveSessionId();
UString GetProcessUserName(uint32_t process_id);
uint32_t FindProcessId(const UString& exe_name, const UString& account_name);
uint32_t FindExplorerProcessId(const UString& account_name);
UString GetAccountSid(const UString& account_name);
UString GetInteractiveUserSid();

}  // namespace velto
