#include <gtest/gtest.h>

#include "platform/os_version.h"

namespace velto {
namespace {

UString Short(uint32_t major, uint32_t minor, uint32_t product = kProductWorkstation, uint32_t arch = 0, bool nt = true) {
  ShortOsFacts f;
  f.isNt = nt;
  f.major = major;
  f.minor = minor;
  f.productType = product;
  f.nativeArchitecture = arch;
  return ShortOsName(f);
}

TEST(ShortOsName, Table) {
  EXPECT_EQ(Short(3, 51), u"Windows NT");
  EXPECT_EQ(Short(4, 0), u"Windows NT");
  EXPECT_EQ(Short(5, 0), u"Windows 2000");
  EXPECT_EQ(Short(5, 1), u"Windows XP");
  EXPECT_EQ(Short(5, 2, kProductWorkstation, kProcessorArchitectureAmd64), u"Windows XP");
  EXPECT_EQ(Short(5, 2, kProductWorkstation, 0), u"Windows 2003 Server");
  EXPECT_EQ(Short(5, 2, 3, kProcessorArchitectureAmd64), u"Windows 2003 Server");
  EXPECT_EQ(Short(6, 0), u"Windows Vista");
  EXPECT_EQ(Short(6, 1), u"Windows 7");
  EXPECT_EQ(Short(6, 2), u"Windows 8");
  EXPECT_EQ(Short(6, 3), u"Windows 8");
  EXPECT_EQ(Short(6, 4), u"Windows 10");
  EXPECT_EQ(Short(10, 0, 3), u"Windows 10");  // Server 2016 and later
  EXPECT_EQ(Short(10, 7), u"Windows 10");
  EXPECT_EQ(Short(6, 5), u"");
  EXPECT_EQ(Short(5, 3), u"");
  EXPECT_EQ(Short(2, 0), u"");
  EXPECT_EQ(Short(11, 0), u"");
  EXPECT_EQ(Short(10, 0, 1, 9, false), u"");
}

TEST(OsFamily, CodesByVersionAndProductType) {
  const uint32_t ws = kProductWorkstation, server = 3, dc = 2;
  EXPECT_EQ(OsFamilyCode(0, 0, ws), 7);
  EXPECT_EQ(OsFamilyCode(3, 51, server), 7);
  EXPECT_EQ(OsFamilyCode(4, 0, server), 8);
  EXPECT_EQ(OsFamilyCode(5, 0, server), 9);
  EXPECT_EQ(OsFamilyCode(5, 1, server), 10);
  EXPECT_EQ(OsFamilyCode(5, 2, ws), 10);
  EXPECT_EQ(OsFamilyCode(5, 2, server), 11);
  const int ws6[] = {12, 14, 16, 18}, srv6[] = {13, 15, 17, 19};
  for (uint32_t minor = 0; minor < 4; ++minor) {
    EXPECT_EQ(OsFamilyCode(6, minor, ws), ws6[minor]);
    EXPECT_EQ(OsFamilyCode(6, minor, dc), srv6[minor]);
  }
  EXPECT_EQ(OsFamilyCode(6, 4, ws), 21);
  EXPECT_EQ(OsFamilyCode(8, 0, ws), 21);
  EXPECT_EQ(OsFamilyCode(10, 0, server), 20);
  EXPECT_EQ(OsFamilyCode(10, 3, ws), 20);
  EXPECT_EQ(OsFamilyCode(11, 0, ws), 21);
  EXPECT_EQ(OsFamilyName(18), u"Windows 8.1");
  EXPECT_EQ(OsFamilyName(19), u"Windows 2012 R2");
  EXPECT_EQ(OsFamilyName(21), u"Windows NT New");
  EXPECT_EQ(OsFamilyName(0), u"");
}

TEST(OsDescription, SuffixesInOrder) {
  OsDescriptionFacts f;
  f.isNt = true;
  f.major = 5;
  f.minor = 1;
  f.productType = kProductWorkstation;
  f.serverR2 = f.tabletPc = f.starter = f.mediaCenter = f.isX64 = true;
  f.servicePack = u"Service Pack 3";
  OsVersionRecord r = DescribeOs(f);
  EXPECT_EQ(r.Description, u"Windows XP R2 Tablet PC Starter Media Center x64 Service Pack 3");
  EXPECT_EQ(r.FamilyCode, 10);
  // Media Center is named only before Vista.
  f.major = 6;
  f.minor = 1;
  r = DescribeOs(f);
  EXPECT_EQ(r.Description, u"Windows 7 R2 Tablet PC Starter x64 Service Pack 3");
}

TEST(OsDescription, TypicalSystems) {
  OsDescriptionFacts f;
  f.isNt = true;
  f.major = 10;
  f.build = 14393;
  f.productType = 3;
  f.isX64 = true;
  OsVersionRecord r = DescribeOs(f);
  EXPECT_EQ(r.Description, u"Windows 10 x64");
  EXPECT_EQ(r.Build, 14393u);
  EXPECT_TRUE(r.IsX64);
  f.major = 6;
  f.minor = 1;
  f.productType = kProductWorkstation;
  f.servicePack = u"Service Pack 1";
  EXPECT_EQ(DescribeOs(f).Description, u"Windows 7 x64 Service Pack 1");
  f.minor = 3;
  f.productType = 3;
  f.isX64 = false;
  f.servicePack.clear();
  EXPECT_EQ(DescribeOs(f).Description, u"Windows 2012 R2");
  f.isNt = false;
  r = DescribeOs(f);
  EXPECT_EQ(r.Description, u"");
  EXPECT_EQ(r.FamilyCode, kFamilyNone);
}

}  // namespace
}  // namespace velto
