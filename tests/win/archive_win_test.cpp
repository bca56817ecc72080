// The report archive against the real Win32 file layer: attributes as NTFS
// reports them, FindFirstFileW enumeration, shared reading of files another
// handle writes, drive-less member names, and the package read back.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/archive_io.h"
#include "app/package_reader.h"
#include "app/report_archive.h"
#include "app/zip_format.h"
#include "platform/file_io.h"
#include "platform/folder_enum.h"
#include "platform/handles_win.h"
#include "scratch_folder_win.h"

namespace velto {
namespace {

UString TempRoot() { return testing_win::ScratchFolder(u"velto_archive_win"); }

void Put(const UString& path, const std::string& bytes) {
  ForceDirectories(ExtractFilePath(path));
  ASSERT_TRUE(WriteWholeFile(path, bytes));
}

void Wipe(const UString& folder) { testing_win::WipeFolder(folder); }

TEST(ArchiveWin, HiddenAndSystemLeftOutSharedFilesReadNamesWithoutDrive) {
  const UString root = TempRoot();
  ASSERT_FALSE(root.empty());
  Wipe(root);
  Put(root + u"work\\GetInfoDir\\report.txt", "report");
  Put(root + u"work\\GetInfoDir\\sub\\disk.txt", "disk");
  Put(root + u"work\\GetInfoDir\\hidden.txt", "h");
  Put(root + u"work\\GetInfoDir\\hidden_dir\\inside.txt", "never entered");
  Put(root + u"prod\\system.dat", "s");
  Put(root + u"prod\\busy.log", "written by someone else");
  ASSERT_TRUE(SetFileAttributesW(WidePtr(root + u"work\\GetInfoDir\\hidden.txt"), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(WidePtr(root + u"work\\GetInfoDir\\hidden_dir"), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(WidePtr(root + u"prod\\system.dat"), FILE_ATTRIBUTE_SYSTEM));
  // Another program keeps the log open for writing, sharing reads and writes.
  UniqueFile busy(CreateFileW(WidePtr(root + u"prod\\busy.log"), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(busy.valid());

  PackContext ctx;
  ctx.program_folder = root + u"prog\\";
  ctx.output_file_name = root + u"desk\\qn_logs_20261209.log";
  ctx.local_date_text = [] { return UString(u"20261209"); };
  ForceDirectories(ctx.program_folder);
  ForceDirectories(root + u"desk");
  const std::vector<UString> list = {root + u"prod\\system.dat", root + u"work\\GetInfoDir\\*.*",
                                     root + u"prod\\busy.log"};
  EXPECT_EQ(PackReport(list, ctx), 3);
  EXPECT_FALSE(FileExists(ctx.program_folder + u"info.data"));

  auto file = std::make_unique<FileRandomReader>();
  ASSERT_TRUE(file->Open(ctx.output_file_name));
  PackageReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(std::move(file), &error)) << error;
  ASSERT_EQ(reader.kind(), PackageKind::kEncrypted);
  ASSERT_EQ(reader.members().size(), 3u);
  const UString expected_prefix = ReplaceAllText(root.substr(3), u"\\", u"/");  // no "C:\"
  EXPECT_TRUE(SameText(reader.MemberName(0), expected_prefix + u"prod/busy.log"))
      << ToUtf8(reader.MemberName(0));
  for (size_t i = 0; i < reader.members().size(); ++i) {
    const UString name = reader.MemberName(i);
    EXPECT_EQ(FindText(name, u"hidden"), UString::npos) << ToUtf8(name);
    EXPECT_EQ(FindText(name, u"system"), UString::npos) << ToUtf8(name);
    EXPECT_NE(name.substr(0, 2), u"C:");
    const ZipMember& m = reader.members()[i];
    EXPECT_EQ(m.flags & kFlagMaximum, kFlagMaximum);
    EXPECT_EQ(m.external_attributes & (kAttrHidden | kAttrSystem | kAttrDirectory), 0u);
    if (i == 0) {
      EXPECT_EQ(m.external_attributes, GetFileAttributesW(WidePtr(root + u"prod\\busy.log")));
    }
    EXPECT_TRUE(reader.ReadMember(i, [](const uint8_t*, size_t) { return true; }, &error)) << error;
  }
  busy.reset();
  Wipe(root);
  RemoveDirectoryW(WidePtr(ExcludeTrailingBackslash(root)));
}

TEST(ArchiveWin, DosTimeFollowsLocalLastWriteTime) {
  const UString root = TempRoot();
  Wipe(root);
  const UString path = root + u"t.txt";
  Put(path, "t");
  SYSTEMTIME local = {};
  local.wYear = 2019; local.wMonth = 7; local.wDay = 14; local.wHour = 13; local.wMinute = 5; local.wSecond = 31;
  FILETIME lft, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &lft));
  ASSERT_TRUE(LocalFileTimeToFileTime(&lft, &utc));
  {
    UniqueFile h(CreateFileW(WidePtr(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.valid());
    ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &utc));
  }
  const UString archive = root + u"t.zip";
  ASSERT_EQ(ZipFiles({path}, archive, 8, false), 1);
  FileRandomReader in;
  ASSERT_TRUE(in.Open(archive));
  std::vector<ZipMember> members;
  std::string error;
  ASSERT_TRUE(ReadZipDirectory(in, &members, &error)) << error;
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].dos_time >> 16, ((2019u - 1980) << 9) | (7 << 5) | 14);
  EXPECT_EQ(members[0].dos_time & 0xFFFF, (13u << 11) | (5 << 5) | 15);
  in = FileRandomReader();
  Wipe(root);
}

}  // namespace
}  // namespace velto
