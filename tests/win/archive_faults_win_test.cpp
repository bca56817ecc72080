// The archive's error paths against the real Win32 file layer, where a file
// still open without sharing cannot be deleted, and links are reparse points.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>

#include "app/file_list.h"
#include "app/zip_writer.h"
#include "platform/file_io.h"
#include "platform/folder_enum.h"
#include "platform/handles_win.h"
#include "scratch_folder_win.h"

namespace velto {
namespace {

UString Root() { return testing_win::ScratchFolder(u"velto_archive_faults"); }

void Wipe(const UString& folder) { testing_win::WipeFolder(folder); }

class ArchiveFaultsWin : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = Root();
    ASSERT_FALSE(root_.empty());
    Wipe(root_);
    ASSERT_TRUE(ForceDirectories(root_ + u"in"));
  }
  void TearDown() override {
    Wipe(root_);
    RemoveDirectoryW(WidePtr(ExcludeTrailingBackslash(root_)));
  }
  UString root_;
};

TEST_F(ArchiveFaultsWin, ArchiveFailingPartWayIsRemoved) {
  std::mt19937 rng(3);
  std::string noise(3 << 20, '\0');
  for (auto& c : noise) c = static_cast<char>(rng());
  ASSERT_TRUE(WriteWholeFile(root_ + u"in\\a.txt", "small"));
  ASSERT_TRUE(WriteWholeFile(root_ + u"in\\noise.bin", noise));
  const auto candidates = ExpandFileList({root_ + u"in\\a.txt", root_ + u"in\\noise.bin"}, u"", {});
  ASSERT_EQ(candidates.size(), 2u);
  ZipOptions options;
  options.archive_size_limit = 1 << 20;  // the disk fills up inside noise.bin
  const UString archive = root_ + u"out.zip";
  EXPECT_THROW(WriteZipArchive(candidates, archive, options), ZipError);
  // The archive is opened without sharing: had it still been open when it
  // was deleted, the delete would have failed and the partial file stayed.
  EXPECT_FALSE(FileExists(archive));
  EXPECT_EQ(GetFileAttributesW(WidePtr(archive)), INVALID_FILE_ATTRIBUTES);
}

// Folder links cannot be made from here (Wine's CreateSymbolicLinkW does
// nothing, junctions are not supported); the test data script lays Unix links
// into the prefix, which Wine shows as reparse points: C:\velto_links holds
// real\probe.txt, alias -> real and loop -> itself. Followed, the probe would
// be taken once per link and the loop would run until the path length ends it.
TEST(ArchiveLinksWin, LinkedFoldersAreNotEntered) {
  const UString root = u"C:\\velto_links\\";
  ASSERT_TRUE(DirectoryExists(root + u"real"))
      << "run tests/win/prepare_archive_links.sh <prefix> before this test";
  ASSERT_NE(GetAttributes(root + u"loop") & kAttrReparsePoint, 0u);
  const auto found = ExpandFileList({root + u"*.txt"}, u"", {});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(SameText(found[0].path, root + u"real\\probe.txt")) << ToUtf8(found[0].path);
}

}  // namespace
}  // namespace velto
