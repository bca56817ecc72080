// Text handling shared by the portable core and the Win32 layer.
//
// The system's text type is UTF-16 in a std::u16string on every build: Windows
// hands us UTF-16 and the files we write are UTF-16LE, while wchar_t is 32-bit
// on Linux, so std::wstring would give different code on the native test build.
// The Win32 layer crosses to wchar_t with WidePtr()/FromWide() (same layout).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velto {

using UString = std::u16string;

// UTF-8 <-> UTF-16. Invalid sequences become U+FFFD; unpaired surrogates are
// written to UTF-8 as U+FFFD as well.
UString FromUtf8(const std::string& utf8);
std::string ToUtf8(const UString& text);

// Simple case folding for case-insensitive comparisons of names and paths:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic (what Windows file and
// account names in practice hold). Other characters compare as they are.
char16_t FoldCase(char16_t c);
UString UpperCase(const UString& text);
UString LowerCase(const UString& text);
bool SameText(const UString& a, const UString& b);
bool StartsWithText(const UString& text, const UString& prefix);
bool EndsWithText(const UString& text, const UString& suffix);
// Position of the first case-insensitive occurrence at or after `from`, or npos.
size_t FindText(const UString& text, const UString& what, size_t from = 0);
// Replaces every case-insensitive occurrence of `what`, scanning left to right
// over the original text (replacements are not scanned again).
UString ReplaceAllText(const UString& text, const UString& what, const UString& with);

UString Trim(const UString& text);
UString IntToText(int64_t value);
UString UIntToText(uint64_t value);
// Upper-case hexadecimal with exactly `digits` digits (leading zeros kept).
UString HexUpper(uint64_t value, int digits);

// Path helpers on Windows-style paths ('\\' separators, "C:" drives).
UString IncludeTrailingBackslash(const UString& path);
UString ExcludeTrailingBackslash(const UString& path);
UString ExtractFilePath(const UString& path);  // up to and including the last '\\' or ':'
UString ExtractFileName(const UString& path);  // after the last '\\' or ':'

// Literal helper: ASCII text to UString (for fixed texts built at run time).
UString Ascii(const char* text);

}  // namespace velto
