#include <windows.h>

#include <gtest/gtest.h>

#include "platform/os_version.h"

namespace velto {
namespace {

RTL_OSVERSIONINFOEXW RealVersion() {
  using RtlGetVersionFn = LONG(NTAPI*)(RTL_OSVERSIONINFOEXW*);
  RTL_OSVERSIONINFOEXW v = {};
  v.dwOSVersionInfoSize = sizeof(v);
  const auto fn = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (fn) fn(&v);
  return v;
}

// The true version agrees with the kernel's answer, which no shim alters.
TEST(OsVersionWin, TrueVersionIsTheKernelsVersion) {
  const RTL_OSVERSIONINFOEXW real = RealVersion();
  ASSERT_GT(real.dwMajorVersion, 0u);
  const TrueOsVersion v = GetTrueOsVersion();
  EXPECT_EQ(v.Major, real.dwMajorVersion);
  EXPECT_EQ(v.Minor, real.dwMinorVersion);
  EXPECT_EQ(v.Build, real.dwBuildNumber & 0xFFFF);
  EXPECT_GT(StartupOsMajorVersion(), 5u);
}

TEST(OsVersionWin, Windows10Prefix) {
  const RTL_OSVERSIONINFOEXW real = RealVersion();
  if (real.dwMajorVersion != 10) GTEST_SKIP() << "prefix is not set to Windows 10";
  const OsVersionRecord& record = GetOsDescription();
  EXPECT_EQ(record.Description, u"Windows 10 x64");
  EXPECT_EQ(record.FamilyCode, kFamily10);
  EXPECT_EQ(record.Build, real.dwBuildNumber);
  EXPECT_TRUE(record.IsNt);
  EXPECT_TRUE(record.IsX64);
  EXPECT_EQ(&GetOsDescription(), &record);
  EXPECT_EQ(GetShortOsName(true), u"Windows 10");
  // This test program declares no supported OS, so GetVersionExW answers
  // 6.2 here: only the true version sees Windows 10.
  OSVERSIONINFOEXW shown = {};
  shown.dwOSVersionInfoSize = sizeof(shown);
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&shown)));
  if (shown.dwMajorVersion == 6 && shown.dwMinorVersion == 2) {
    EXPECT_EQ(GetShortOsName(false), u"Windows 8");
  }
}

}  // namespace
}  // namespace velto
