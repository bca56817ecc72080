#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/file_io.h"
#include "platform/handles_win.h"
#include "platform/known_folders.h"
#include "platform/raw_registry_win.h"
#include "platform/shell_folders.h"

namespace velto {
namespace {

UString Shell(int csidl) {
  wchar_t buffer[MAX_PATH + 1] = {};
  return SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE) ? FromWide(buffer) : UString();
}

UString Env(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n > 0 && n < 1024 ? FromWide(buffer, n) : UString();
}

TEST(KnownFoldersWin, KindsAnswerAsTheirSources) {
  wchar_t windows[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  EXPECT_EQ(TAppFrame::GetFolderPath(0), FromWide(windows));
  EXPECT_TRUE(SameText(TAppFrame::GetFolderPath(1), FromWide(windows) + u"\\system32"));
  const UString temp = TAppFrame::GetFolderPath(2);
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_TRUE(DirectoryExists(temp));
  EXPECT_EQ(TAppFrame::GetFolderPath(7), Shell(CSIDL_DESKTOPDIRECTORY));
  EXPECT_EQ(TAppFrame::GetFolderPath(11), Env(L"USERPROFILE"));
  EXPECT_EQ(TAppFrame::GetFolderPath(12), Env(L"APPDATA"));
  EXPECT_EQ(TAppFrame::GetFolderPath(13), Env(L"LOCALAPPDATA"));
  EXPECT_EQ(TAppFrame::GetFolderPath(18), Env(L"ProgramData"));
  EXPECT_EQ(TAppFrame::GetFolderPath(15), Env(L"ProgramFiles"));
  EXPECT_EQ(TAppFrame::GetFolderPath(16), Env(L"CommonProgramFiles"));
  EXPECT_EQ(TAppFrame::GetFolderPath(29), Env(L"ProgramFiles(x86)"));
  EXPECT_EQ(TAppFrame::GetFolderPath(35), Shell(CSIDL_PERSONAL));
  EXPECT_EQ(TAppFrame::GetFolderPath(13), TAppFrame::GetFolderPath(19));
  EXPECT_EQ(TAppFrame::GetFolderPath(16), TAppFrame::GetFolderPath(30));
  EXPECT_FALSE(TAppFrame::GetFolderPath(17).empty());
  for (int32_t kind : {14, -1, 36, 290, 1000}) EXPECT_EQ(TAppFrame::GetFolderPath(kind), u"") << kind;
}

// This process sees the native folders, so 291 and 311 equal 15 and 16
// here; applied to the 32-bit folders they give the native ones as well.
TEST(KnownFoldersWin, NativeProgramFiles) {
  EXPECT_EQ(TAppFrame::GetFolderPath(291), TAppFrame::GetFolderPath(15));
  EXPECT_EQ(TAppFrame::GetFolderPath(311), TAppFrame::GetFolderPath(16));
  const UString x86 = TAppFrame::GetFolderPath(29);
  ASSERT_TRUE(EndsWithText(x86, u" (x86)"));
  EXPECT_EQ(DropX86Suffix(x86), TAppFrame::GetFolderPath(291));
  EXPECT_EQ(DropFirstX86(TAppFrame::GetFolderPath(31)), TAppFrame::GetFolderPath(311));
}

TEST(KnownFoldersWin, AllUsersAndFallbackFolders) {
  EXPECT_EQ(GetCommonFolderPath(0), Env(L"ProgramData"));
  EXPECT_EQ(GetCommonFolderPath(1), Shell(CSIDL_COMMON_DESKTOPDIRECTORY));
  EXPECT_EQ(GetCommonFolderPath(3), GetCommonFolderPath(5));
  EXPECT_EQ(GetCommonFolderPath(13), u"");
  EXPECT_EQ(GetCommonFolderPath(-1), u"");
  EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_STARTUP), Shell(CSIDL_COMMON_STARTUP));
  EXPECT_EQ(GetSpecialFolderWithFallback(nullptr, CSIDL_DESKTOPDIRECTORY), Shell(CSIDL_DESKTOPDIRECTORY));
  EXPECT_EQ(GetSpecialFolderWithFallback(nullptr, CSIDL_PROFILE), Env(L"USERPROFILE"));
  EXPECT_EQ(GetSpecialFolderPath(nullptr, 0x7F), u"");  // no such CSIDL
  EXPECT_EQ(GetSpecialFolderWithFallback(nullptr, 0x7F), u"");
}

TEST(KnownFoldersWin, SmallQueries) {
  const UString windows = GetWindowsFolder();
  ASSERT_GE(windows.size(), 3u);
  EXPECT_EQ(GetWindowsDrive(), windows.substr(0, 2));
  EXPECT_EQ(GetSystemFolder(), TAppFrame::GetFolderPath(1));
  EXPECT_EQ(GetTempFolder(), TAppFrame::GetFolderPath(2));
  EXPECT_TRUE(SameText(GetCurrentUserName(), Env(L"USERNAME")));
  EXPECT_FALSE(GetCurrentUserName().empty());
  const std::string language = GetSystemLanguageName();
  EXPECT_FALSE(language.empty());
  for (char c : language) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ') << language;
}

TEST(KnownFoldersWin, AppFrameAndAppDataFolders) {
  EXPECT_EQ(GetAppDataFolder(false), Env(L"APPDATA"));
  EXPECT_EQ(GetAppDataFolder(true), Env(L"ProgramData"));
  TAppFrame frame;
  EXPECT_EQ(frame.AppDataPath, Env(L"APPDATA"));
  EXPECT_EQ(frame.CommonAppDataPath, Env(L"ProgramData"));
  ASSERT_FALSE(frame.ExePath.empty());
  EXPECT_EQ(frame.ExePath.back(), u'\\');
  EXPECT_TRUE(FileExists(frame.ExePath + u"velto_win_tests.exe"));
  EXPECT_TRUE(SameText(ProgramFilePath(), frame.ExePath + u"velto_win_tests.exe")) << ToUtf8(ProgramFilePath());
  EXPECT_EQ(&SharedAppFrame(), &SharedAppFrame());
  EXPECT_EQ(SharedAppFrame().ExePath, frame.ExePath);
}

// Shell Folders values are read from a scratch key that stands in for HKCU,
// so damaged data can be offered without touching the real profile.
class ShellFoldersValue : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VeltoTests\\ShellFoldersRoot", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, scratch_.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(scratch_.get(), L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, folders_.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_.get()), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    folders_.reset();
    scratch_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VeltoTests");
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(folders_.get(), name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
  }
  UniqueRegKey scratch_, folders_;
};

UString UserAppData() { return ReadShellFoldersAppData(SystemRegistry(), false); }

TEST_F(ShellFoldersValue, DecodesDefensively) {
  const wchar_t good[] = L"C:\\Data\\Roaming";
  Set(L"AppData", REG_SZ, good, sizeof(good));
  EXPECT_EQ(UserAppData(), u"C:\\Data\\Roaming");
  Set(L"AppData", REG_EXPAND_SZ, L"%X%\\y", 12);  // no terminator stored
  EXPECT_EQ(UserAppData(), u"%X%\\y");
  Set(L"AppData", REG_SZ, L"ab\0cd", 11);  // odd byte count, inner NUL
  EXPECT_EQ(UserAppData(), u"ab");
  Set(L"AppData", REG_SZ, L"abc", 5);  // odd byte count: half a character dropped
  EXPECT_EQ(UserAppData(), u"ab");
  Set(L"AppData", REG_BINARY, good, sizeof(good));
  EXPECT_EQ(UserAppData(), u"");
  Set(L"AppData", REG_SZ, L"", 0);
  EXPECT_EQ(UserAppData(), u"");
  ASSERT_EQ(RegDeleteValueW(folders_.get(), L"AppData"), ERROR_SUCCESS);
  EXPECT_EQ(UserAppData(), u"");
  folders_.reset();
  ASSERT_EQ(RegDeleteKeyW(scratch_.get(), L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
            ERROR_SUCCESS);
  EXPECT_EQ(UserAppData(), u"");
}

// The all-users value is read where the 32-bit program reads it: the 32-bit
// view of HKLM\SOFTWARE. Both views are seeded with different texts and put
// back afterwards.
TEST(ShellFoldersCommon, ReadsThe32BitView) {
  const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  struct Saved {
    REGSAM view;
    UniqueRegKey key;
    bool had = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  } views[2];
  views[0].view = KEY_WOW64_32KEY;
  views[1].view = KEY_WOW64_64KEY;
  for (Saved& v : views) {
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS | v.view, nullptr,
                              v.key.put(), nullptr),
              ERROR_SUCCESS);
    DWORD bytes = 0;
    if (RegQueryValueExW(v.key.get(), L"Common AppData", nullptr, &v.type, nullptr, &bytes) == ERROR_SUCCESS) {
      v.data.assign(bytes + 2, 0);
      v.had = RegQueryValueExW(v.key.get(), L"Common AppData", nullptr, &v.type, v.data.data(), &bytes) ==
              ERROR_SUCCESS;
      v.data.resize(bytes);
    }
  }
  const wchar_t in32[] = L"C:\\Seeded32";
  const wchar_t in64[] = L"C:\\Seeded64";
  ASSERT_EQ(RegSetValueExW(views[0].key.get(), L"Common AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(in32),
                           sizeof(in32)),
            ERROR_SUCCESS);
  // Written last, so a key both views shared would answer with this text.
  ASSERT_EQ(RegSetValueExW(views[1].key.get(), L"Common AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(in64),
                           sizeof(in64)),
            ERROR_SUCCESS);
  const UString got = ReadShellFoldersAppData(SystemRegistry(), true);
  for (Saved& v : views) {
    if (v.had)
      RegSetValueExW(v.key.get(), L"Common AppData", 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    else
      RegDeleteValueW(v.key.get(), L"Common AppData");
  }
  EXPECT_EQ(got, u"C:\\Seeded32");
}

class FolderSizeWin : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = GetTempFolder() + u"velto_size_test";
    Clean();
    ASSERT_TRUE(ForceDirectories(root_ + u"\\sub\\deep"));
    ASSERT_TRUE(ForceDirectories(root_ + u"\\hid"));
    ASSERT_TRUE(WriteWholeFile(root_ + u"\\a.bin", std::string(10, 'a')));
    ASSERT_TRUE(WriteWholeFile(root_ + u"\\sub\\b.bin", std::string(200, 'b')));
    ASSERT_TRUE(WriteWholeFile(root_ + u"\\sub\\deep\\c.bin", std::string(3000, 'c')));
    ASSERT_TRUE(WriteWholeFile(root_ + u"\\hid\\d.bin", std::string(40000, 'd')));
  }
  void TearDown() override { Clean(); }
  void Clean() {
    SetFileAttributesW(WidePtr(root_ + u"\\hid"), FILE_ATTRIBUTE_NORMAL);
    for (const char16_t* f : {u"\\hid\\d.bin", u"\\sub\\deep\\c.bin", u"\\sub\\b.bin", u"\\a.bin"}) RemoveFile(root_ + f);
    for (const char16_t* d : {u"\\hid", u"\\sub\\deep", u"\\sub", u""}) RemoveDirectoryW(WidePtr(root_ + d));
  }
  UString root_;
};

TEST_F(FolderSizeWin, HiddenSubfolderIsNotCounted) {
  EXPECT_EQ(GetFolderSize(root_ + u"\\*.*"), 10u + 200 + 3000 + 40000);
  ASSERT_TRUE(SetFileAttributesW(WidePtr(root_ + u"\\hid"), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(GetFileAttributesW(WidePtr(root_ + u"\\hid")), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFolderSize(root_ + u"\\*.*"), 10u + 200 + 3000);
  EXPECT_EQ(GetFolderSize(root_ + u"\\sub\\b.bin"), 200u);
  EXPECT_EQ(GetFolderSize(root_ + u"\\missing.bin"), 0u);
  EXPECT_EQ(GetFolderSize(root_ + u"\\nowhere\\*.*"), 0u);
  EXPECT_EQ(GetFolderSize(u""), 0u);
}

}  // namespace
}  // namespace velto
