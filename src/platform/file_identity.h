// Identifying files by the version information they carry and by a digest of
// their content. The operations keep no state and never raise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/text.h"

namespace velto {

// Version strings and the fixed version block of one executable file. A
// string the file does not carry stays empty; a missing fixed block stays zero.
struct TFileInfo {
  UString CompanyName;
  UString FileDescription;
  UString FileVersion;
  UString InternalName;
  UString LegalCopyright;
  UString LegalTrademarks;
  UString OriginalFileName;
  UString ProductName;
  UString ProductVersion;
  UString Comments;
  // VS_FIXEDFILEINFO as stored: signature, structure version, file version
  // high/low, product version high/low, flags mask, flags, OS, type, subtype,
  // date high/low.
  std::array<uint32_t, 13> FixedInfo{};
  UString ExtraValue;  // the string named by the caller's extra key
};

enum : int {
  kFixedFileVersionMS = 2,
  kFixedFileVersionLS = 3,
};

// Reads the version information of `path` into `info`; true when it could be
// read. `extraKey` (may be empty) names one more string for ExtraValue.
bool ReadFileInfo(const UString& path, TFileInfo* info, const UString& extraKey);

// One string of the version information by kind (0 Comments, 1 CompanyName,
// 2 FileDescription, 3 FileVersion, 4 InternalName, 5 LegalCopyright,
// 6 LegalTrademarks, 7 OriginalFileName, 8 ProductName, 9 ProductVersion,
// 10 the "WOW Version" string). `defaultText` only when the file has no
// readable version information; a string the file lacks gives empty text.
UString GetFileInfoString(const UString& path, int kind, const UString& defaultText);

// The fixed file version as "major.minor.release.build"; empty when the file
// has no version information.
UString FixedFileVersion(const UString& path);

// MD5 of the whole file as 32 lower-case hexadecimal digits. A file that
// cannot be opened or read (missing, locked, access denied) gives the digest
// of empty input; the function never fails.
UString FileMD5(const UString& path);

// --- pieces that work on plain data --------------------------------------

// Fills `info` from a version-information block as GetFileVersionInfoW
// returns it. False when the block is malformed or has no translation table;
// fields found before the failure keep their values.
bool ReadFileInfoFromBlock(const uint8_t* block, size_t size, const UString& extraKey, TFileInfo* info);

// The fixed file version of a block; false when the root block is missing.
bool FixedFileVersionFromBlock(const uint8_t* block, size_t size, UString* version);

// "a.b.c.d" from the two 32-bit file-version words, each half unsigned.
UString FormatFileVersion(uint32_t versionMS, uint32_t versionLS);

// The field that GetFileInfoString returns for `kind`; empty outside 0..10.
UString FileInfoStringOfKind(const TFileInfo& info, int kind);

// The extra key GetFileInfoString asks for (kind 10).
extern const char16_t kWowVersionKey[];

}  // namespace velto
