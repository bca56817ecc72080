// Writers that turn a registry key and everything below it into lines in the
// style of a registry export: for every key an empty line and "[root\path]",
// then one line "\"name\"=data" per value, keys in pre-order depth first.
// They append to the caller's list and write no header line. Every key is
// opened for reading only (the first of KEY_READ, KEY_READ without KEY_NOTIFY
// and KEY_QUERY_VALUE that it grants), so keys the process may read but not
// write are written too; a caller's object is left with those read rights.
#pragma once

#include "platform/raw_registry.h"
#include "platform/registry.h"
#include "platform/string_list.h"

namespace velto {

// The uninstall dump: every value; strings quoted with backslashes doubled,
// other kinds as ValueAsText with its type prefix. `reg` is a view-aware
// object whose root the caller has selected; it is left closed or on the
// last key opened.
void ExportKeyTree(const UString& key_path, const UString& root_name, TRegistry& reg,
                   TStringList& out);

// The services dump: key lines always name HKEY_LOCAL_MACHINE; only strings
// (quoted, unescaped) and 32-bit integers are written.
void ExportServicesKeyTree(const UString& key_path, TRegistry& reg, TStringList& out);

// The browser-key dump: builds its own plain registry object per key in the
// 64-bit view when `view64` is set, else in the 32-bit view. The root is
// named exactly "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"
// or "HKEY_USERS"; any other name writes nothing. Strings are written bare and
// integers as dword:; other kinds are left out.
void ExportKeyTreeInView(IRawRegistry& raw, const UString& root_name, const UString& key_path,
                         bool view64, TStringList& out);

}  // namespace velto
