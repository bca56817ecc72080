#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/folder_rules.h"

namespace velto {
namespace {

using From = FolderSource::From;
using Adjust = FolderSource::Adjust;

TEST(FolderKinds, KnownKindsAndTheirSources) {
  EXPECT_EQ(FolderSourceOfKind(0).from, From::kWindowsDirectory);
  EXPECT_EQ(FolderSourceOfKind(1).from, From::kSystemDirectory);
  EXPECT_EQ(FolderSourceOfKind(2).from, From::kTempPath);
  const std::map<int32_t, int> shell = {
      {3, 32}, {4, 33},  {5, 34},  {6, 8},   {7, 16},  {8, 2},   {9, 6},   {10, 7},  {11, 40},
      {12, 26}, {13, 28}, {15, 38}, {16, 43}, {17, 11}, {18, 35}, {19, 28}, {20, 20}, {21, 21},
      {22, 19}, {23, 9},  {24, 13}, {25, 14}, {26, 27}, {27, 39}, {28, 41}, {29, 42}, {30, 43},
      {31, 44}, {32, 48}, {33, 56}, {34, 59}, {35, 5},  {291, 38}, {311, 43}};
  for (const auto& [kind, csidl] : shell) {
    const FolderSource s = FolderSourceOfKind(kind);
    EXPECT_EQ(s.from, From::kShell) << kind;
    EXPECT_EQ(s.csidl, csidl) << kind;
  }
  EXPECT_EQ(FolderSourceOfKind(291).adjust, Adjust::kDropX86Suffix);
  EXPECT_EQ(FolderSourceOfKind(311).adjust, Adjust::kDropFirstX86);
  EXPECT_EQ(FolderSourceOfKind(15).adjust, Adjust::kNone);
  // 13 and 19, 16 and 30 name the same folder.
  EXPECT_EQ(FolderSourceOfKind(13).csidl, FolderSourceOfKind(19).csidl);
  EXPECT_EQ(FolderSourceOfKind(16).csidl, FolderSourceOfKind(30).csidl);
}

TEST(FolderKinds, UnknownKindsHaveNoFolder) {
  for (int32_t kind : {14, -1, -2147483647 - 1, 36, 37, 290, 292, 310, 312, 2147483647})
    EXPECT_EQ(FolderSourceOfKind(kind).from, From::kNone) << kind;
}

TEST(FolderKinds, AllUsersKinds) {
  const int expected[] = {35, 25, 23, 22, 31, 22, 24, 45, 46, 47, 53, 54, 55};
  for (int32_t kind = 0; kind < 13; ++kind) EXPECT_EQ(CommonFolderCsidl(kind), expected[kind]) << kind;
  EXPECT_EQ(CommonFolderCsidl(-1), -1);
  EXPECT_EQ(CommonFolderCsidl(13), -1);
}

TEST(FolderKinds, NativeProgramFilesDropsOnlyAFinalX86) {
  EXPECT_EQ(DropX86Suffix(u"C:\\Program Files (x86)"), u"C:\\Program Files");
  EXPECT_EQ(DropX86Suffix(u"C:\\Program Files (X86)"), u"C:\\Program Files");
  EXPECT_EQ(DropX86Suffix(u"C:\\Program Files"), u"C:\\Program Files");
  EXPECT_EQ(DropX86Suffix(u"C:\\Program Files (x86)\\"), u"C:\\Program Files (x86)\\");
  EXPECT_EQ(DropX86Suffix(u" (x86)"), u"");
  EXPECT_EQ(DropX86Suffix(u"x86)"), u"x86)");
  EXPECT_EQ(AdjustFolderPath(u"D:\\Apps (x86)", Adjust::kDropX86Suffix), u"D:\\Apps");
}

TEST(FolderKinds, NativeCommonFilesDropsTheFirstX86Only) {
  EXPECT_EQ(DropFirstX86(u"C:\\Program Files (x86)\\Common Files"), u"C:\\Program Files\\Common Files");
  EXPECT_EQ(DropFirstX86(u"C:\\A (X86)\\B (x86)"), u"C:\\A\\B (x86)");
  EXPECT_EQ(DropFirstX86(u"C:\\Program Files\\Common Files"), u"C:\\Program Files\\Common Files");
  EXPECT_EQ(AdjustFolderPath(u"C:\\P (x86)\\C", Adjust::kDropFirstX86), u"C:\\P\\C");
  EXPECT_EQ(AdjustFolderPath(u"C:\\P (x86)", Adjust::kNone), u"C:\\P (x86)");
}

class Fallback : public ::testing::Test {
 protected:
  FallbackFacts Facts() {
    FallbackFacts f;
    f.environment = [this](const UString& name) {
      asked.push_back(name);
      const auto it = env.find(name);
      return it == env.end() ? UString() : it->second;
    };
    f.systemDrive = u"D:";
    f.user = u"ann";
    return f;
  }
  std::map<UString, UString> env;
  std::vector<UString> asked;
};

TEST_F(Fallback, ShortShellAnswerTakesTheEnvironment) {
  env[u"USERPROFILE"] = u"  E:\\Profiles\\ann \t";
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProfile, u"C:", Facts()), u"E:\\Profiles\\ann");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProfile, u"", Facts()), u"E:\\Profiles\\ann");
  // Three characters are a usable answer.
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProfile, u"C:\\", Facts()), u"C:\\");
  EXPECT_EQ(asked.size(), 2u);
}

TEST_F(Fallback, BlankEnvironmentBuildsTheFixedPath) {
  env[u"APPDATA"] = u"   ";
  FallbackFacts f = Facts();
  EXPECT_EQ(ChooseSpecialFolder(kCsidlAppData, u"", f), u"D:\\Users\\ann\\AppData\\Roaming");
  f.newLayout = false;
  EXPECT_EQ(ChooseSpecialFolder(kCsidlAppData, u"", f), u"D:\\Documents and Settings\\ann\\Application Data");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlLocalAppData, u"", f),
            u"D:\\Documents and Settings\\ann\\Local Settings\\Application Data");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlCommonAppData, u"", f),
            u"D:\\Documents and Settings\\All Users\\Application Data");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProfile, u"", f), u"D:\\Documents and Settings\\ann");
  f.newLayout = true;
  EXPECT_EQ(ChooseSpecialFolder(kCsidlLocalAppData, u"", f), u"D:\\Users\\ann\\AppData\\Local");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlCommonAppData, u"", f), u"D:\\ProgramData");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProfile, u"", f), u"D:\\Users\\ann");
}

TEST_F(Fallback, ProgramFilesFollowWow64) {
  env[u"ProgramFiles"] = u"C:\\PF";
  env[u"ProgramFiles(x86)"] = u"C:\\PF86";
  FallbackFacts f = Facts();
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFiles, u"", f), u"C:\\PF");
  f.wow64 = true;
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFiles, u"", f), u"C:\\PF86");
  env.clear();
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFiles, u"", f), u"D:\\Program Files (x86)");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFilesCommon, u"", f), u"D:\\Program Files (x86)\\Common Files");
  f.newLayout = false;  // the layout does not matter for these two
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFilesCommon, u"", f), u"D:\\Program Files (x86)\\Common Files");
  f.wow64 = false;
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFiles, u"", f), u"D:\\Program Files");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlProgramFilesCommon, u"", f), u"D:\\Program Files\\Common Files");
  EXPECT_EQ(FallbackEnvironmentName(kCsidlProgramFilesCommon, true), u"CommonProgramFiles(x86)");
  EXPECT_EQ(FallbackEnvironmentName(kCsidlProgramFilesCommon, false), u"CommonProgramFiles");
  EXPECT_EQ(FallbackEnvironmentName(kCsidlCommonAppData, false), u"ProgramData");
}

TEST_F(Fallback, OtherCsidlsKeepTheShellAnswer) {
  env[u"APPDATA"] = u"X:\\never";
  EXPECT_EQ(ChooseSpecialFolder(kCsidlDesktopDirectory, u"", Facts()), u"");
  EXPECT_EQ(ChooseSpecialFolder(kCsidlCommonStartup, u"C:", Facts()), u"C:");
  EXPECT_TRUE(asked.empty());
}

TEST(AppDataFixedPath, LayoutsAndCommon) {
  EXPECT_EQ(AppDataFixedPath(true, u"C:", true, u"bo"), u"C:\\ProgramData");
  EXPECT_EQ(AppDataFixedPath(false, u"C:", true, u"bo"), u"C:\\Users\\bo\\AppData\\Roaming");
  EXPECT_EQ(AppDataFixedPath(true, u"C:", false, u"bo"), u"C:\\Documents and Settings\\All Users\\Application Data");
  EXPECT_EQ(AppDataFixedPath(false, u"C:", false, u"bo"), u"C:\\Documents and Settings\\bo\\Application Data");
}

// A tiny folder tree for the size walk: mask -> entries.
class FakeTree {
 public:
  std::map<UString, std::vector<FolderEntry>> entries;
  std::vector<UString> opened;
  int open = 0, maxOpen = 0;

  EnumerateFolder Enumerator() {
    return [this](const UString& mask, const std::function<bool(const FolderEntry&)>& visit) {
      opened.push_back(mask);
      const auto it = entries.find(mask);
      if (it == entries.end()) return;
      ++open;
      maxOpen = std::max(maxOpen, open);
      for (const FolderEntry& e : it->second)
        if (!visit(e)) break;
      --open;
    };
  }
};

FolderEntry Entry(const UString& name, uint32_t attributes, uint64_t size = 0) { return FolderEntry{name, attributes, size}; }

TEST(FolderSize, EntersOnlyPlainFolders) {
  FakeTree tree;
  tree.entries[u"C:\\p\\*.*"] = {Entry(u".", 0x10), Entry(u"..", 0x10), Entry(u"a.bin", 0x20, 5000000000ULL),
                                 Entry(u"sub", 0x10), Entry(u"hidden", 0x12), Entry(u"ro", 0x11),
                                 Entry(u".git", 0x10), Entry(u"b.txt", 0x80, 7)};
  tree.entries[u"C:\\p\\sub\\*.*"] = {Entry(u".", 0x10), Entry(u"c", 0x20, 100), Entry(u"deep", 0x10)};
  tree.entries[u"C:\\p\\sub\\deep\\*.*"] = {Entry(u"d", 0x20, 1)};
  tree.entries[u"C:\\p\\hidden\\*.*"] = {Entry(u"x", 0x20, 999)};
  EXPECT_EQ(SumFolderSize(u"C:\\p\\*.*", tree.Enumerator()), 5000000000ULL + 7 + 100 + 1);
  EXPECT_EQ(tree.maxOpen, 3);  // depth-first, one enumeration per level
  for (const UString& m : tree.opened) EXPECT_EQ(FindText(m, u"hidden"), UString::npos);
}

TEST(FolderSize, StopsAtAnEmptyNameAndHandlesFilesAndMisses) {
  FakeTree tree;
  tree.entries[u"C:\\q\\*.*"] = {Entry(u"a", 0x20, 3), Entry(u"", 0x20, 50), Entry(u"b", 0x20, 4)};
  tree.entries[u"C:\\q\\one.dat"] = {Entry(u"one.dat", 0x20, 42)};
  EXPECT_EQ(SumFolderSize(u"C:\\q\\*.*", tree.Enumerator()), 3u);
  EXPECT_EQ(SumFolderSize(u"C:\\q\\one.dat", tree.Enumerator()), 42u);
  EXPECT_EQ(SumFolderSize(u"C:\\q\\none\\*.*", tree.Enumerator()), 0u);
}

}  // namespace
}  // namespace velto
