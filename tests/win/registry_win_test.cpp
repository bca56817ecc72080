// The registry class, its exports and the dumps on the real registry, seeded
// at run time under scratch keys in both views. Wine's own reg.exe is the
// reference for what the registry holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "collectors/system/registry_dumps.h"
#include "platform/raw_registry_win.h"
#include "platform/registry.h"
#include "platform/registry_export.h"
#include "platform/wow64.h"
#include "registry_seed_win.h"

namespace velto {
namespace {

using testing_win::ExportedKey;
using testing_win::ScratchKey;

constexpr REGSAM k64 = KEY_WOW64_64KEY;
constexpr REGSAM k32 = KEY_WOW64_32KEY;
const char16_t kUninstall[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kRule[] = "*********************************************************************************";

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> out;
  for (const UString& s : list.Items()) out.push_back(ToUtf8(s));
  return out;
}

// The lines from a key line up to (not including) the next empty line.
std::vector<std::string> Block(const std::vector<std::string>& lines, const std::string& key_line) {
  auto it = std::find(lines.begin(), lines.end(), key_line);
  if (it == lines.end()) return {"(missing) " + key_line};
  return std::vector<std::string>(it, std::find(it, lines.end(), std::string()));
}

// Value lines in the order the registry enumerates the key's values (Wine
// keeps them sorted by name, Windows in the order they were set).
std::vector<std::string> InRegistryOrder(HKEY root, const UString& path, REGSAM view,
                                         const std::string& key_line, std::vector<std::string> values) {
  std::vector<std::string> names;
  UniqueRegKey k;
  if (RegOpenKeyExW(root, WidePtr(path), 0, KEY_READ | view, k.put()) == ERROR_SUCCESS) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD n = 256;
      if (RegEnumValueW(k.get(), i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.push_back("\"" + ToUtf8(FromWide(name, n)) + "\"=");
    }
  }
  auto rank = [&](const std::string& line) {
    for (size_t i = 0; i < names.size(); ++i)
      if (line.rfind(names[i], 0) == 0) return i;
    return names.size();
  };
  std::stable_sort(values.begin(), values.end(),
                   [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
  values.insert(values.begin(), key_line);
  return values;
}

ptrdiff_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : it - lines.begin();
}

TEST(WinRegistry, The64BitBuildStandsInForThe32BitProgram) {
  EXPECT_TRUE(IsWow64());
  EXPECT_TRUE(SystemRegistry().OnWow64());
  InitWow64Redirection();
  void* old = nullptr;
  EXPECT_TRUE(DisableWow64Redirection(&old));
  EXPECT_TRUE(RevertWow64Redirection(old));
}

TEST(WinRegistry, ViewsFollowThePathAndTheDefaultIsThe32BitView) {
  ScratchKey k64key(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Views", k64);
  ScratchKey k32key(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Views", k32);
  ASSERT_TRUE(k64key.ok() && k32key.ok());
  k64key.SetText(u"View", u"64");
  k32key.SetText(u"View", u"32");

  TRegistry reg(SystemRegistry());
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\VeltoTest\\Views", false));
  EXPECT_EQ(reg.ReadText(u"View"), u"64");
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\Wow6432Node\\VeltoTest\\Views", false));
  EXPECT_EQ(reg.ReadText(u"View"), u"32");
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\VeltoTest\\Views\\", false));  // trailing backslash
  EXPECT_EQ(reg.ReadText(u"View"), u"64");
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\VeltoTest\\Views\\");

  reg.AutoSelectView = false;
  reg.AccessMask = kKeyAllAccess;
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\VeltoTest\\Views", false));
  EXPECT_EQ(reg.ReadText(u"View"), u"32");
  reg.AccessMask = kKeyAllAccess | kKeyWow64_32Key;
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\Wow6432Node\\VeltoTest\\Views", false));
  EXPECT_EQ(reg.ReadText(u"View"), u"32") << "an explicit Wow6432Node is not redirected twice";

  TStringList browser;
  ExportKeyTreeInView(SystemRegistry(), u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\VeltoTest\\Views", true, browser);
  ExportKeyTreeInView(SystemRegistry(), u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\VeltoTest\\Views", false, browser);
  EXPECT_EQ(Lines(browser), (std::vector<std::string>{"", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VeltoTest\\Views]",
                                                      "\"View\"=64", "", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VeltoTest\\Views]",
                                                      "\"View\"=32"}));
}

TEST(WinRegistry, ValueRulesOnRealData) {
  ScratchKey key(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Values", k64);
  ASSERT_TRUE(key.ok());
  key.SetDword(u"Ten", 10);
  key.Set(u"Bin", REG_BINARY, {0x01, 0xAB, 0xFF});
  key.Set(u"EmptyBin", REG_BINARY, {});
  key.Set(u"Multi", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0});
  key.Set(u"Q", REG_QWORD, {8, 7, 6, 5, 4, 3, 2, 1});
  key.Set(u"Odd", REG_SZ, {'a', 0, 'b', 0, 'c'});
  key.Set(u"LongDword", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  key.SetText(u"S1023", UString(1023, u'x'));
  key.SetText(u"S1024", UString(1024, u'y'));

  TRegistry aware(SystemRegistry());
  TRegistry plain(SystemRegistry(), RegFlavour::Plain);
  for (TRegistry* reg : {&aware, &plain}) {
    reg->SelectRootKey(kHkeyLocalMachine);
    reg->AccessMask |= kKeyWow64_64Key;
    ASSERT_TRUE(reg->OpenKeyPath(u"SOFTWARE\\VeltoTest\\Values", false));
    EXPECT_EQ(reg->ValueAsText(u"Ten", true), u"dword:0000000A");
    EXPECT_EQ(reg->ValueAsText(u"Bin", true), u"hex:01,AB,FF");
    EXPECT_EQ(reg->ValueAsText(u"EmptyBin", true), u"");
    EXPECT_EQ(reg->ValueAsText(u"Multi", true), u"hex:61,00,00,00,00,00");
    EXPECT_EQ(reg->ValueAsText(u"Q", true), u"hex:08,07,06,05,04,03,02,01");
    EXPECT_EQ(reg->ReadText(u"Odd"), u"ab");
    EXPECT_EQ(reg->ReadText(u"S1023"), UString(1023, u'x'));
    EXPECT_EQ(reg->ValueSize(u"Missing"), -1);
    EXPECT_EQ(reg->ReadText(u"Missing"), u"");
    TStringList names;
    reg->ListValueNames(names);
    EXPECT_EQ(names.Count(), 9u);
  }
  EXPECT_EQ(aware.ReadText(u"S1024"), u"");
  EXPECT_EQ(plain.ReadText(u"S1024"), UString(1024, u'y'));
  EXPECT_EQ(aware.ValueAsText(u"LongDword", true), u"veltoreaderror");
  try {
    aware.ReadText(u"Ten");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), u"Invalid data type for 'Ten'");
  }
}

// A key whose security grants only reading: Wine enforces the descriptor, so
// a full-access open fails as it does on Windows for TrustedInstaller's keys.
TEST(WinRegistry, ReadOnlyKeyOpensForReadingOnly) {
  ScratchKey key(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Locked", k64);
  ASSERT_TRUE(key.ok());
  key.SetText(u"Name", u"locked");
  ASSERT_TRUE(testing_win::LockKeyReadOnly(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Locked", k64));
  TRegistry reg(SystemRegistry());
  reg.SelectRootKey(kHkeyLocalMachine);
  EXPECT_FALSE(reg.OpenKeyPath(u"SOFTWARE\\VeltoTest\\Locked", false));
  ASSERT_TRUE(reg.OpenKeyForReading(u"SOFTWARE\\VeltoTest\\Locked"));
  EXPECT_EQ(reg.AccessMask, kKeyRead | kKeyWow64_64Key);
  EXPECT_EQ(reg.ReadText(u"Name"), u"locked");
}

// Seeds one tree in the 64-bit view and one in the 32-bit view, then checks
// that the uninstall writer's lines carry exactly what reg.exe exports for the
// same trees (Wow6432Node subtrees aside, which the writer skips on purpose).
class WinExportAgreement : public ::testing::Test {
 protected:
  static void Seed(ScratchKey& k, const UString& tag) {
    k.SetText(u"Str", u"C:\\A\\b.exe");
    k.SetText(u"Exp", u"%SystemRoot%\\x", REG_EXPAND_SZ);
    k.SetDword(u"Dw", 255);
    k.Set(u"Bin", REG_BINARY, {0x00, 0x10, 0xFF});
    k.Set(u"EmptyBin", REG_BINARY, {});
    k.Set(u"Multi", REG_MULTI_SZ, testing_win::Utf16Bytes(UString(u"a\0b\0", 4), true));
    k.Set(u"Qw", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    k.Set(u"None", REG_NONE, {0xAA, 0xBB});
    k.SetText(u"", u"default " + tag);
    k.SetText(u"Say \"hi\" [x]\t{y}", u"q\"uote");
    k.SetText(u"Long", UString(1023, u'L'));
  }
  std::vector<ExportedKey> RegExport(const UString& path) {
    const UString file = testing_win::TempFilePath("velto_reg_export.reg");
    const int rc = testing_win::RunBounded(
        u"C:\\windows\\system32\\reg.exe export \"HKLM\\" + path + u"\" \"" + file + u"\" /y", 60000);
    EXPECT_EQ(rc, 0) << "reg export of " << ToUtf8(path);
    std::string bytes;
    std::vector<ExportedKey> keys;
    EXPECT_TRUE(ReadWholeFile(file, &bytes));
    EXPECT_TRUE(testing_win::ParseRegExport(bytes, &keys));
    RemoveFile(file);
    return keys;
  }
  // What the uninstall writer must write for the keys reg.exe exported.
  static std::vector<std::string> Expected(const std::vector<ExportedKey>& keys, const UString& start) {
    std::vector<std::string> out;
    for (const ExportedKey& key : keys) {
      if (FindText(key.Path.substr(start.size()), u"\\Wow6432Node") != UString::npos) continue;
      out.push_back("");
      out.push_back("[" + ToUtf8(key.Path) + "]");
      for (const auto& v : key.Values) {
        UString data;
        if (v.Type == REG_SZ || v.Type == REG_EXPAND_SZ) {
          UString s;
          for (size_t i = 0; i + 1 < v.Data.size(); i += 2) {
            const char16_t c = static_cast<char16_t>(v.Data[i] | (v.Data[i + 1] << 8));
            if (c == 0) break;
            s.push_back(c);
          }
          data = u"\"" + ReplaceAllText(s, u"\\", u"\\\\") + u"\"";
        } else if (v.Type == REG_DWORD && v.Data.size() == 4) {
          data = u"dword:" + HexUpper(v.Data[0] | (v.Data[1] << 8) | (v.Data[2] << 16) | (static_cast<uint32_t>(v.Data[3]) << 24), 8);
        } else if (!v.Data.empty()) {
          data = BytesToHexText(v.Data.data(), v.Data.size(), u"hex:");
        }
        out.push_back("\"" + ToUtf8(v.Name) + "\"=" + ToUtf8(data));
      }
    }
    return out;
  }
};

TEST_F(WinExportAgreement, UninstallWriterMatchesRegExportInBothViews) {
  ScratchKey top64(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree", k64);
  ScratchKey child64(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree\\Child\\Grand", k64);
  ScratchKey wow64(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree\\Wow6432Node\\Hidden", k64);
  ScratchKey locked(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree\\Locked\\Inner", k64);
  ScratchKey top32(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree", k32);
  ScratchKey child32(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree\\Only32", k32);
  ASSERT_TRUE(top64.ok() && child64.ok() && wow64.ok() && locked.ok() && top32.ok() && child32.ok());
  Seed(top64, u"64");
  Seed(top32, u"32");
  child64.SetDword(u"Depth", 2);
  wow64.SetText(u"Never", u"skipped");
  locked.SetText(u"Inner", u"below a locked key");
  child32.SetText(u"Path", u"C:\\Program Files (x86)\\V\\");
  {
    UniqueRegKey lk;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VeltoTest\\Tree\\Locked", 0, KEY_SET_VALUE | k64, lk.put()), 0);
    RegSetValueExW(lk.get(), L"State", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"ro"), 6);
  }
  ASSERT_TRUE(testing_win::LockKeyReadOnly(HKEY_LOCAL_MACHINE, u"SOFTWARE\\VeltoTest\\Tree\\Locked", k64));

  for (const UString start : {u"SOFTWARE\\VeltoTest\\Tree", u"SOFTWARE\\Wow6432Node\\VeltoTest\\Tree"}) {
    const std::vector<ExportedKey> reference = RegExport(start);
    ASSERT_FALSE(reference.empty());
    TRegistry reg(SystemRegistry(), kKeyRead);
    reg.SelectRootKey(kHkeyLocalMachine);
    TStringList ours;
    ExportKeyTree(start, u"HKEY_LOCAL_MACHINE", reg, ours);
    EXPECT_EQ(Lines(ours), Expected(reference, u"HKEY_LOCAL_MACHINE\\" + start)) << ToUtf8(start);
  }
}

TEST(WinDumps, UninstallDumpLineByLineInItsOrder) {
  const UString u32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const UString u = kUninstall;
  ScratchKey app64(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestApp64", k64);
  ScratchKey ghost(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestApp64\\Wow6432Node\\Ghost", k64);
  ScratchKey app32(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestApp32", k32);
  ScratchKey lockedApp(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestLocked\\Inner", k64);
  ScratchKey vendor32(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velto\\VeltoTest", k32);
  ScratchKey vendor64(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Velto\\VeltoTest64", k64);
  ScratchKey user(HKEY_CURRENT_USER, u + u"\\VeltoTestUser", k64);
  ScratchKey user32(HKEY_CURRENT_USER, u32 + u"\\VeltoTestUser32", k64);
  for (ScratchKey* k : {&app64, &ghost, &app32, &lockedApp, &vendor32, &vendor64, &user, &user32}) ASSERT_TRUE(k->ok());
  app64.SetText(u"DisplayName", u"Velto Test 64");
  app64.SetText(u"UninstallString", u"\"C:\\Program Files\\Velto\\unins000.exe\" /S");
  app64.SetDword(u"EstimatedSize", 0x4D2);
  app64.Set(u"Blob", REG_BINARY, {0xDE, 0xAD});
  app64.Set(u"Langs", REG_MULTI_SZ, {'e', 0, 0, 0, 0, 0});
  ghost.SetText(u"Hidden", u"never dumped");
  app32.SetText(u"DisplayName", u"Velto Test 32");
  app32.SetText(u"InstallLocation", u"C:\\Program Files (x86)\\Velto\\", REG_EXPAND_SZ);
  lockedApp.SetText(u"Part", u"inner");
  {
    UniqueRegKey lk;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, WidePtr(u + u"\\VeltoTestLocked"), 0, KEY_SET_VALUE | k64, lk.put()), 0);
    RegSetValueExW(lk.get(), L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Locked"), 14);
  }
  ASSERT_TRUE(testing_win::LockKeyReadOnly(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestLocked", k64));
  vendor32.SetDword(u"Build", 7);
  vendor64.SetDword(u"Build", 64);
  user.SetText(u"DisplayName", u"Velto User");
  user32.SetText(u"DisplayName", u"Velto User 32");

  TStringList out;
  CollectUninstallKeys(SystemRegistry(), out);
  const auto lines = Lines(out);
  const std::string lm = "[HKEY_LOCAL_MACHINE\\", cu = "[HKEY_CURRENT_USER\\";
  const std::string su = ToUtf8(u), su32 = ToUtf8(u32);
  EXPECT_EQ(Block(lines, lm + su + "\\VeltoTestApp64]"),
            InRegistryOrder(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestApp64", k64, lm + su + "\\VeltoTestApp64]",
                                      {"\"DisplayName\"=\"Velto Test 64\"",
                                      "\"UninstallString\"=\"\"C:\\\\Program Files\\\\Velto\\\\unins000.exe\" /S\"",
                                      "\"EstimatedSize\"=dword:000004D2", "\"Blob\"=hex:DE,AD",
                                      "\"Langs\"=hex:65,00,00,00,00,00"}));
  EXPECT_EQ(Block(lines, lm + su32 + "\\VeltoTestApp32]"),
            InRegistryOrder(HKEY_LOCAL_MACHINE, u + u"\\VeltoTestApp32", k32, lm + su32 + "\\VeltoTestApp32]",
                                      {"\"DisplayName\"=\"Velto Test 32\"",
                                      "\"InstallLocation\"=\"C:\\\\Program Files (x86)\\\\Velto\\\\\""}));
  EXPECT_EQ(Block(lines, lm + su + "\\VeltoTestLocked]"),
            (std::vector<std::string>{lm + su + "\\VeltoTestLocked]", "\"DisplayName\"=\"Locked\""}));
  EXPECT_EQ(Block(lines, lm + su + "\\VeltoTestLocked\\Inner]"),
            (std::vector<std::string>{lm + su + "\\VeltoTestLocked\\Inner]", "\"Part\"=\"inner\""}));
  EXPECT_EQ(Block(lines, lm + "SOFTWARE\\Wow6432Node\\Velto\\VeltoTest]"),
            (std::vector<std::string>{lm + "SOFTWARE\\Wow6432Node\\Velto\\VeltoTest]", "\"Build\"=dword:00000007"}));
  EXPECT_EQ(IndexOf(lines, lm + "SOFTWARE\\Velto\\VeltoTest64]"), -1) << "only the 32-bit vendor key";
  EXPECT_EQ(IndexOf(lines, lm + su + "\\VeltoTestApp64\\Wow6432Node]"), -1);
  EXPECT_EQ(IndexOf(lines, lm + su + "\\VeltoTestApp32]"), -1) << "a 32-bit entry is written once";

  const std::vector<ptrdiff_t> order = {
      IndexOf(lines, lm + "SOFTWARE\\Wow6432Node\\Velto]"),   IndexOf(lines, lm + su + "]"),
      IndexOf(lines, lm + su + "\\VeltoTestApp64]"),          IndexOf(lines, lm + su32 + "]"),
      IndexOf(lines, lm + su32 + "\\VeltoTestApp32]"),         IndexOf(lines, cu + su + "]"),
      IndexOf(lines, cu + su + "\\VeltoTestUser]"),           IndexOf(lines, cu + su32 + "]"),
      IndexOf(lines, cu + su32 + "\\VeltoTestUser32]")};
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_GE(order[i], 0) << i;
    if (i > 0) {
      EXPECT_LT(order[i - 1], order[i]) << i;
    }
  }
}

TEST(WinDumps, ServicesDumpLineByLine) {
  const UString base = u"SYSTEM\\CurrentControlSet\\Services\\";
  ScratchKey svc(HKEY_LOCAL_MACHINE, base + u"VeltoTestSvc", k64);
  ScratchKey params(HKEY_LOCAL_MACHINE, base + u"VeltoTestSvc\\Parameters", k64);
  ScratchKey locked(HKEY_LOCAL_MACHINE, base + u"VeltoTestSvcLocked", k64);
  ASSERT_TRUE(svc.ok() && params.ok() && locked.ok());
  svc.SetText(u"ImagePath", u"\"C:\\Program Files\\Velto\\veltosvc.exe\" -k", REG_EXPAND_SZ);
  svc.SetText(u"DisplayName", u"Velto Test Service");
  svc.SetDword(u"Start", 2);
  svc.SetDword(u"Type", 16);
  svc.Set(u"DependOnService", REG_MULTI_SZ, {'R', 0, 'p', 0, 'c', 0, 0, 0, 0, 0});
  svc.Set(u"FailureActions", REG_BINARY, {1, 2, 3});
  svc.Set(u"Q", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
  params.SetText(u"ServiceDll", u"C:\\Velto\\svc.dll");
  locked.SetDword(u"Start", 4);
  ASSERT_TRUE(testing_win::LockKeyReadOnly(HKEY_LOCAL_MACHINE, base + u"VeltoTestSvcLocked", k64));

  TStringList out;
  CollectServicesKeys(SystemRegistry(), out);
  const auto lines = Lines(out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], kRule);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services]");
  const std::string key = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\VeltoTestSvc";
  EXPECT_EQ(Block(lines, key + "]"),
            InRegistryOrder(HKEY_LOCAL_MACHINE, base + u"VeltoTestSvc", k64, key + "]",
                                      {"\"ImagePath\"=\"\"C:\\Program Files\\Velto\\veltosvc.exe\" -k\"",
                                      "\"DisplayName\"=\"Velto Test Service\"", "\"Start\"=dword:00000002",
                                      "\"Type\"=dword:00000010"}));
  EXPECT_EQ(Block(lines, key + "\\Parameters]"),
            (std::vector<std::string>{key + "\\Parameters]", "\"ServiceDll\"=\"C:\\Velto\\svc.dll\""}));
  EXPECT_EQ(IndexOf(lines, key + "\\Parameters]"), IndexOf(lines, key + "]") + 6) << "subkeys follow their service";
  EXPECT_EQ(Block(lines, key + "Locked]"), (std::vector<std::string>{key + "Locked]", "\"Start\"=dword:00000004"}));
  for (const std::string& l : lines) EXPECT_EQ(l.find("=hex:"), std::string::npos) << l;
}

}  // namespace
}  // namespace velto
