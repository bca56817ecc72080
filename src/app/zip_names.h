// Naming rules of the report archive: which list entries are folder masks,
// which file names a mask matches, and how a file path becomes a member name
// and the bytes stored for it.
#pragma once

#include <string>

#include "platform/text.h"

namespace velto {

// True when the entry holds a wildcard: "*", "?", or one of "<", ">", "|".
bool HasWildcard(const UString& entry);

// Case-insensitive wildcard match of a file name against a mask ("*" any run,
// "?" one character; "<" and ">" behave as "*" and "?"). A mask ending in
// ".*" also matches names without a dot, so "*.*" matches every name.
bool MatchesMask(const UString& name, const UString& mask);

// True for "C:\...", "\\server\...", "\..." (and "/..." on the native build).
bool IsAbsolutePath(const UString& path);

// The member name of a file: the full path without its drive ("C:") or its
// network server and share ("\\server\share"), without one leading
// separator, with every backslash turned into "/".
UString MemberNameFromPath(const UString& path);

// The bytes stored for a member name: the OEM code page when the name
// survives UTF-16 -> ANSI -> OEM and back unchanged, otherwise UTF-8 (which
// the archive marks with general-purpose flag bit 11).
struct EncodedName {
  std::string bytes;
  bool utf8 = false;
};
EncodedName EncodeMemberName(const UString& name);

// Inverse of EncodeMemberName for readers: UTF-8 when `utf8`, else OEM.
UString DecodeMemberName(const std::string& bytes, bool utf8);

}  // namespace velto
