#include "platform/os_version.h"

namespace velto {

UString ShortOsName(const ShortOsFacts& facts) {
  if (!facts.isNt) return UString();
  const uint32_t major = facts.major, minor = facts.minor;
  if (major == 3 || major == 4) return u"Windows NT";
  if (major == 5) {
    if (minor == 0) return u"Windows 2000";
    if (minor == 1) return u"Windows XP";
    if (minor == 2) {
      // 64-bit XP shares version 5.2 with Server 2003.
      if (facts.productType == kProductWorkstation && facts.nativeArchitecture == kProcessorArchitectureAmd64)
        return u"Windows XP";
      return u"Windows 2003 Server";
    }
    return UString();
  }
  if (major == 6) {
    switch (minor) {
      case 0: return u"Windows Vista";
      case 1: return u"Windows 7";
      case 2:
      case 3: return u"Windows 8";
      case 4: return u"Windows 10";  // early Windows 10 previews reported 6.4
      default: return UString();
    }
  }
  if (major == 10) return u"Windows 10";
  return UString();
}

int OsFamilyCode(uint32_t major, uint32_t minor, uint32_t productType) {
  const bool workstation = productType == kProductWorkstation;
  if (major <= 3) return kFamilyNt3;
  if (major == 4) return kFamilyNt4;
  if (major == 5) {
    if (minor == 0) return kFamily2000;
    if (minor == 1) return kFamilyXp;
    return workstation ? kFamilyXp : kFamily2003;
  }
  if (major == 6) {
    switch (minor) {
      case 0: return workstation ? kFamilyVista : kFamily2008;
      case 1: return workstation ? kFamily7 : kFamily2008R2;
      case 2: return workstation ? kFamily8 : kFamily2012;
      case 3: return workstation ? kFamily81 : kFamily2012R2;
      default: return kFamilyNtNew;
    }
  }
  if (major == 10) return kFamily10;
  return kFamilyNtNew;
}

UString OsFamilyName(int familyCode) {
  switch (familyCode) {
    case kFamilyNt3: return u"Windows NT 3";
    case kFamilyNt4: return u"Windows NT 4";
    case kFamily2000: return u"Windows 2000";
    case kFamilyXp: return u"Windows XP";
    case kFamily2003: return u"Windows 2003";
    case kFamilyVista: return u"Windows Vista";
    case kFamily2008: return u"Windows 2008";
    case kFamily7: return u"Windows 7";
    case kFamily2008R2: return u"Windows 2008 R2";
    case kFamily8: return u"Windows 8";
    case kFamily2012: return u"Windows 2012";
    case kFamily81: return u"Windows 8.1";
    case kFamily2012R2: return u"Windows 2012 R2";
    case kFamily10: return u"Windows 10";
    case kFamilyNtNew: return u"Windows NT New";
    default: return UString();
  }
}

OsVersionRecord DescribeOs(const OsDescriptionFacts& facts) {
  OsVersionRecord record;
  record.Major = facts.major;
  record.Minor = facts.minor;
  record.Build = facts.build;
  record.ServicePack = facts.servicePack;
  record.IsNt = facts.isNt;
  record.IsX64 = facts.isX64;
  if (!facts.isNt) return record;
  record.FamilyCode = OsFamilyCode(facts.major, facts.minor, facts.productType);
  UString text = OsFamilyName(record.FamilyCode);
  if (facts.serverR2) text += u" R2";
  if (facts.tabletPc) text += u" Tablet PC";
  if (facts.starter) text += u" Starter";
  if (record.FamilyCode < kFamilyVista && facts.mediaCenter) text += u" Media Center";
  if (facts.isX64) text += u" x64";
  if (!facts.servicePack.empty()) text += u" " + facts.servicePack;
  record.Description = text;
  return record;
}

}  // namespace velto
