// Which Windows the program runs on: the short family name used by the disk
// report and the description printed in the system summary. The rules work
// on plain records; os_version_win.cpp fills them from the platform.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace velto {

// Product types and processor architecture as Windows reports them.
enum : uint32_t {
  kProductWorkstation = 1,
  kProcessorArchitectureAmd64 = 9,
};

// Family codes of OsVersionRecord::FamilyCode.
enum : int {
  kFamilyNone = 0,  // not an NT platform
  kFamilyNt3 = 7,
  kFamilyNt4 = 8,
  kFamily2000 = 9,
  kFamilyXp = 10,
  kFamily2003 = 11,
  kFamilyVista = 12,
  kFamily2008 = 13,
  kFamily7 = 14,
  kFamily2008R2 = 15,
  kFamily8 = 16,
  kFamily2012 = 17,
  kFamily81 = 18,
  kFamily2012R2 = 19,
  kFamily10 = 20,
  kFamilyNtNew = 21,
};

struct OsVersionRecord {
  uint32_t Major = 0;
  uint32_t Minor = 0;
  uint32_t Build = 0;
  UString ServicePack;
  bool IsNt = false;
  int FamilyCode = kFamilyNone;
  bool IsX64 = false;  // the native processor is x64
  UString Description;
};

struct TrueOsVersion {
  uint32_t Major = 0;
  uint32_t Minor = 0;
  uint32_t Build = 0;
};

// What the short name is decided from.
struct ShortOsFacts {
  bool isNt = false;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t productType = 0;
  uint32_t nativeArchitecture = 0;
};

// "Windows XP", "Windows 7", "Windows 10" ...; empty off the NT platform or
// for versions outside the table.
UString ShortOsName(const ShortOsFacts& facts);

// Family code on the NT platform from the version and product type.
int OsFamilyCode(uint32_t major, uint32_t minor, uint32_t productType);

// Name of a family code ("Windows 8.1", "Windows 2012 R2" ...); empty for
// codes without a name.
UString OsFamilyName(int familyCode);

// Everything the description is decided from.
struct OsDescriptionFacts {
  bool isNt = false;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t productType = 0;
  UString servicePack;
  bool isX64 = false;
  // GetSystemMetrics answers (non-zero = set).
  bool serverR2 = false;
  bool tabletPc = false;
  bool starter = false;
  bool mediaCenter = false;
};

// Fills the record: family code, name, then " R2", " Tablet PC", " Starter",
// " Media Center" (families before Vista only), " x64" and the service pack.
OsVersionRecord DescribeOs(const OsDescriptionFacts& facts);

// --- answers from the running system (Windows builds) --------------------

// Short family name; with `useTrueVersion` the version numbers come from
// GetTrueOsVersion instead of GetVersionExW.
UString GetShortOsName(bool useTrueVersion);

// The real version numbers, which compatibility shims do not alter; computed
// once per process.
TrueOsVersion GetTrueOsVersion();

// The version record, computed once per process.
const OsVersionRecord& GetOsDescription();

// Major version as GetVersionExW reported it when the program started.
uint32_t StartupOsMajorVersion();
// Minor version and build as reported at start-up.
TrueOsVersion StartupOsVersion();

}  // namespace velto
