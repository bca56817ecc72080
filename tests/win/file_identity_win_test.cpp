#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_identity.h"
#include "platform/file_io.h"
#include "platform/handles_win.h"

namespace velto {
namespace {

const char kEmptyDigest[] = "d41d8cd98f00b204e9800998ecf8427e";

UString OwnPath() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  return FromWide(path, n);
}

UString TempPath(const char16_t* name) {
  wchar_t tmp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, tmp);
  return FromWide(tmp) + name;
}

// The test program carries a version resource whose translation entry
// (0409/04B0) names a table it does not have: its only table is 041904E3.
TEST(FileIdentityWin, OwnVersionResourceThroughTheFirstTable) {
  TFileInfo info;
  ASSERT_TRUE(ReadFileInfo(OwnPath(), &info, u"WOW Version"));
  EXPECT_EQ(info.CompanyName, u"Fixture Company");
  EXPECT_EQ(info.FileDescription, u"Fixture program");
  EXPECT_EQ(info.FileVersion, u"10.2.200.1-fixture");
  EXPECT_EQ(info.ProductName, u"Fixture Product");
  EXPECT_EQ(info.OriginalFileName, u"velto_win_tests.exe");  // stored as "OriginalFilename"
  EXPECT_EQ(info.InternalName, u"");
  EXPECT_EQ(info.ExtraValue, u"wow-fixture");
  EXPECT_EQ(info.FixedInfo[0], 0xFEEF04BDu);
  EXPECT_EQ(info.FixedInfo[2], 0x000A0002u);
  EXPECT_EQ(info.FixedInfo[3], 0x00C80001u);
  EXPECT_EQ(info.FixedInfo[4], 0xFFFF0000u);
  EXPECT_EQ(info.FixedInfo[5], 0x0007FFFFu);
  EXPECT_EQ(info.FixedInfo[9], static_cast<uint32_t>(VFT_APP));
}

TEST(FileIdentityWin, FileInfoStringAndDefaults) {
  const UString self = OwnPath();
  EXPECT_EQ(GetFileInfoString(self, 3, u"Unknown"), u"10.2.200.1-fixture");
  EXPECT_EQ(GetFileInfoString(self, 4, u"Unknown"), u"");  // lacking string: empty, not the default
  EXPECT_EQ(GetFileInfoString(self, 10, u"Unknown"), u"wow-fixture");
  EXPECT_EQ(GetFileInfoString(self, 11, u"Unknown"), u"");
  EXPECT_EQ(FixedFileVersion(self), u"10.2.200.1");

  const UString text = TempPath(u"velto_identity.txt");
  ASSERT_TRUE(WriteWholeFile(text, "no version here"));
  EXPECT_EQ(GetFileInfoString(text, 3, u"Unknown"), u"Unknown");
  EXPECT_EQ(FixedFileVersion(text), u"");
  TFileInfo info;
  EXPECT_FALSE(ReadFileInfo(text, &info, u""));
  EXPECT_TRUE(RemoveFile(text));
  EXPECT_EQ(GetFileInfoString(u"C:\\velto\\missing.exe", 3, u"Unknown"), u"Unknown");
  EXPECT_EQ(FixedFileVersion(u""), u"");
}

TEST(FileIdentityWin, UnreadableFilesGiveTheEmptyDigest) {
  EXPECT_EQ(ToUtf8(FileMD5(u"C:\\velto\\missing.bin")), kEmptyDigest);
  const UString empty = TempPath(u"velto_md5_empty.bin");
  ASSERT_TRUE(WriteWholeFile(empty, ""));
  EXPECT_EQ(ToUtf8(FileMD5(empty)), kEmptyDigest);
  EXPECT_TRUE(RemoveFile(empty));

  const UString locked = TempPath(u"velto_md5_locked.bin");
  ASSERT_TRUE(WriteWholeFile(locked, "abc"));
  EXPECT_EQ(ToUtf8(FileMD5(locked)), "900150983cd24fb0d6963f7d28e17f72");
  {
    UniqueFile exclusive(CreateFileW(WidePtr(locked), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(exclusive.valid());
    EXPECT_EQ(ToUtf8(FileMD5(locked)), kEmptyDigest);
  }
  // A writer that shares reading does not stop the digest.
  {
    UniqueFile writer(CreateFileW(WidePtr(locked), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_EQ(ToUtf8(FileMD5(locked)), "900150983cd24fb0d6963f7d28e17f72");
  }
  EXPECT_TRUE(RemoveFile(locked));
}

// Files and their md5sum digests laid into the prefix beforehand by
// tests/win/prepare_platform_data.sh.
TEST(FileIdentityWin, DigestsEqualMd5sum) {
  wchar_t configured[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"VELTO_PLATFORM_DATA", configured, MAX_PATH);
  const UString base = n > 0 && n < MAX_PATH ? IncludeTrailingBackslash(FromWide(configured, n))
                                             : UString(u"C:\\velto_platform_data\\");
  const UString dir = base + u"md5\\";
  std::string listing;
  ASSERT_TRUE(ReadWholeFile(dir + u"digests.txt", &listing))
      << "missing " << ToUtf8(dir) << "digests.txt: run tests/win/prepare_platform_data.sh <prefix> first";
  std::istringstream lines(listing);
  std::string line;
  int checked = 0;
  uint64_t largest = 0;
  while (std::getline(lines, line)) {
    if (line.size() < 35) continue;
    const std::string expected = line.substr(0, 32);
    const UString path = dir + FromUtf8(line.substr(34));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data)) << line;
    const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    largest = std::max(largest, size);
    EXPECT_EQ(ToUtf8(FileMD5(path)), expected) << line.substr(34) << " (" << size << " bytes)";
    ++checked;
  }
  EXPECT_GE(checked, 5);
  EXPECT_GT(largest, 64u << 20) << "the data should hold a file above 64 MiB";
}

}  // namespace
}  // namespace velto
