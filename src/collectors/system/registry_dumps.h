// The uninstall and services dumps: whole registry areas copied into the
// report as export-style text. Both append to the caller's list (the report
// worker writes the header of "uninstall.txt" and saves the lists) and never
// raise.
#pragma once

#include "platform/raw_registry.h"
#include "platform/string_list.h"

namespace velto {

// The vendor key, then the machine and the user uninstall keys; on 64-bit
// Windows the vendor key of the 32-bit view only, and each uninstall key in
// the 64-bit view followed by its Wow6432Node counterpart.
void CollectUninstallKeys(IRawRegistry& raw, TStringList& out);

// The section rule, then every service and driver key with its string and
// 32-bit integer values.
void CollectServicesKeys(IRawRegistry& raw, TStringList& out);

}  // namespace velto
