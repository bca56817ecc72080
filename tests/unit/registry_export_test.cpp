// The three export writers and the uninstall/services dumps over the in-memory registry.
#include <gtest/gtest.h>

#include "collectors/system/registry_dumps.h"
#include "platform/raw_registry_memory.h"
#include "platform/registry_export.h"

namespace velto {
namespace {

using Machine = MemoryRegistry::Machine;
const char16_t kUninstall[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char16_t kUninstall32[] = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kRule[] = "*********************************************************************************";

std::string Lines(const TStringList& list) {
  std::string out;
  for (const UString& s : list.Items()) out += ToUtf8(s) + "\n";
  return out;
}

std::string KeyLines(const TStringList& list) {
  std::string out;
  for (const UString& s : list.Items())
    if (!s.empty() && s[0] == u'[') out += ToUtf8(s) + "\n";
  return out;
}

TStringList Uninstall(MemoryRegistry& mem, const UString& path, RegHandle root = kHkeyLocalMachine) {
  TRegistry reg(mem);
  reg.SelectRootKey(root);
  TStringList out;
  ExportKeyTree(path, root == kHkeyLocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER", reg, out);
  return out;
}

TStringList Services(MemoryRegistry& mem, const UString& path) {
  TRegistry reg(mem);
  reg.SelectRootKey(kHkeyLocalMachine);
  TStringList out;
  ExportServicesKeyTree(path, reg, out);
  return out;
}

TStringList InView(MemoryRegistry& mem, const UString& root, const UString& path, bool view64) {
  TStringList out;
  ExportKeyTreeInView(mem, root, path, view64, out);
  return out;
}

class ExportForms : public ::testing::Test {
 protected:
  // The same values in both views, so every writer sees them whichever view it reads.
  void SetUp() override {
    for (const UString base : {u"SOFTWARE\\App", u"SOFTWARE\\Wow6432Node\\App"}) {
      mem.SetString(kHkeyLocalMachine, base, u"Path", u"C:\\A\\b.exe");
      mem.SetString(kHkeyLocalMachine, base, u"", u"x");
      mem.SetDword(kHkeyLocalMachine, base, u"Start", 255);
      mem.SetValue(kHkeyLocalMachine, base, u"Bin", kRegBinary, {0x00, 0x10});
      mem.SetValue(kHkeyLocalMachine, base, u"Empty", kRegBinary, {});
      mem.SetMultiString(kHkeyLocalMachine, base, u"Multi", {u"a", u"b"});
      mem.SetString(kHkeyLocalMachine, base, u"Exp", u"%windir%\\x", kRegExpandSz);
      mem.SetString(kHkeyLocalMachine, base, u"Say \"hi\" [now]\t\x01", u"q\"uote");
      mem.AddKey(kHkeyLocalMachine, base + u"\\Bare");
      mem.SetDword(kHkeyLocalMachine, base + u"\\Odd [k] \"q\"\x7F", u"=", 1);
    }
  }
  MemoryRegistry mem{Machine::Windows64};
};

TEST_F(ExportForms, UninstallWriterQuotesAndDoublesBackslashes) {
  EXPECT_EQ(Lines(Uninstall(mem, u"SOFTWARE\\App")),
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n"
            "\"Path\"=\"C:\\\\A\\\\b.exe\"\n"
            "\"\"=\"x\"\n"
            "\"Start\"=dword:000000FF\n"
            "\"Bin\"=hex:00,10\n"
            "\"Empty\"=\n"
            "\"Multi\"=hex:61,00,00,00,62,00,00,00,00,00\n"
            "\"Exp\"=\"%windir%\\\\x\"\n"
            "\"Say \"hi\" [now]\t\x01\"=\"q\"uote\"\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Bare]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Odd [k] \"q\"\x7F]\n"
            "\"=\"=dword:00000001\n");
}

TEST_F(ExportForms, ServicesWriterKeepsStringsAndDwordsOnly) {
  EXPECT_EQ(Lines(Services(mem, u"SOFTWARE\\App")),
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n"
            "\"Path\"=\"C:\\A\\b.exe\"\n"
            "\"\"=\"x\"\n"
            "\"Start\"=dword:000000FF\n"
            "\"Exp\"=\"%windir%\\x\"\n"
            "\"Say \"hi\" [now]\t\x01\"=\"q\"uote\"\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Bare]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Odd [k] \"q\"\x7F]\n"
            "\"=\"=dword:00000001\n");
}

TEST_F(ExportForms, InViewWriterWritesStringsBare) {
  const std::string expected =
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n"
      "\"Path\"=C:\\A\\b.exe\n"
      "\"\"=x\n"
      "\"Start\"=dword:000000FF\n"
      "\"Exp\"=%windir%\\x\n"
      "\"Say \"hi\" [now]\t\x01\"=q\"uote\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Bare]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Odd [k] \"q\"\x7F]\n"
      "\"=\"=dword:00000001\n";
  EXPECT_EQ(Lines(InView(mem, u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\App", true)), expected);
  EXPECT_EQ(Lines(InView(mem, u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\App", false)), expected);
}

TEST(ExportTree, PreOrderDepthFirstInRegistryOrder) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetDword(kHkeyCurrentUser, u"Software\\T", u"v", 1);
  mem.SetDword(kHkeyCurrentUser, u"Software\\T\\b", u"v", 2);
  mem.SetDword(kHkeyCurrentUser, u"Software\\T\\B\\deep", u"v", 3);
  mem.SetDword(kHkeyCurrentUser, u"Software\\T\\a", u"v", 4);
  mem.AddKey(kHkeyCurrentUser, u"Software\\T\\C");
  EXPECT_EQ(Lines(Uninstall(mem, u"Software\\T", kHkeyCurrentUser)),
            "\n[HKEY_CURRENT_USER\\Software\\T]\n\"v\"=dword:00000001\n"
            "\n[HKEY_CURRENT_USER\\Software\\T\\a]\n\"v\"=dword:00000004\n"
            "\n[HKEY_CURRENT_USER\\Software\\T\\b]\n\"v\"=dword:00000002\n"
            "\n[HKEY_CURRENT_USER\\Software\\T\\b\\deep]\n\"v\"=dword:00000003\n"
            "\n[HKEY_CURRENT_USER\\Software\\T\\C]\n");
  EXPECT_EQ(mem.OpenHandleCount(), 0u);
}

TEST(ExportTree, Wow6432NodeBelowTheStartIsSkippedByTheDumpsOnly) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetDword(kHkeyCurrentUser, u"Software\\Classes\\CLSID\\{1}", u"v", 1);
  mem.SetDword(kHkeyCurrentUser, u"Software\\Classes\\CLSID\\Wow6432Node\\{2}", u"v", 2);
  const UString start = u"Software\\Classes\\CLSID";
  EXPECT_EQ(KeyLines(Uninstall(mem, start, kHkeyCurrentUser)),
            "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID]\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{1}]\n");
  EXPECT_EQ(KeyLines(InView(mem, u"HKEY_CURRENT_USER", start, true)),
            "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID]\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\Wow6432Node]\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\Wow6432Node\\{2}]\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{1}]\n");  // 'W' sorts before '{
}

TEST(ExportTree, MissingStartsAndUnknownRootsWriteNothing) {
  MemoryRegistry mem(Machine::Windows64);
  mem.AddKey(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Only32");
  EXPECT_EQ(Uninstall(mem, u"SOFTWARE\\Missing").Count(), 0u);
  EXPECT_EQ(Services(mem, u"SOFTWARE\\Missing").Count(), 0u);
  EXPECT_EQ(InView(mem, u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\Only32", true).Count(), 0u);
  EXPECT_EQ(InView(mem, u"HKEY_LOCAL_MACHINE", u"SOFTWARE\\Only32", false).Count(), 2u);
  EXPECT_EQ(InView(mem, u"HKEY_CURRENT_CONFIG", u"SOFTWARE", true).Count(), 0u);
  EXPECT_EQ(InView(mem, u"hkey_local_machine", u"SOFTWARE\\Only32", false).Count(), 0u);
  // The view-aware dumps pick the view from the path, so only Wow6432Node reaches the key.
  EXPECT_EQ(Uninstall(mem, u"SOFTWARE\\Only32").Count(), 0u);
  EXPECT_EQ(KeyLines(Uninstall(mem, u"SOFTWARE\\Wow6432Node\\Only32")),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Only32]\n");
}

// Keys an elevated process may read but not write (TrustedInstaller's, say)
// are written with their subtrees; keys that refuse reading are left out.
TEST(ExportTree, ReadOnlyKeysAreDumpedUnreadableOnesHidden) {
  MemoryRegistry mem(Machine::Windows64);
  const UString base = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  mem.SetString(kHkeyLocalMachine, base + u"\\Locked", u"DisplayName", u"Locked app");
  mem.SetString(kHkeyLocalMachine, base + u"\\Locked\\Child", u"N", u"c");
  mem.SetAllowedAccess(kHkeyLocalMachine, base + u"\\Locked", kKeyRead);
  mem.SetString(kHkeyLocalMachine, base + u"\\QueryOnly", u"N", u"q");
  mem.SetAllowedAccess(kHkeyLocalMachine, base + u"\\QueryOnly", kKeyQueryValue);
  mem.SetString(kHkeyLocalMachine, base + u"\\Secret\\Below", u"N", u"s");
  mem.SetAllowedAccess(kHkeyLocalMachine, base + u"\\Secret", 0);
  const std::string expected =
      "\n[HKEY_LOCAL_MACHINE\\" + ToUtf8(base) + "]\n"
      "\n[HKEY_LOCAL_MACHINE\\" + ToUtf8(base) + "\\Locked]\n\"DisplayName\"=\"Locked app\"\n"
      "\n[HKEY_LOCAL_MACHINE\\" + ToUtf8(base) + "\\Locked\\Child]\n\"N\"=\"c\"\n"
      "\n[HKEY_LOCAL_MACHINE\\" + ToUtf8(base) + "\\QueryOnly]\n\"N\"=\"q\"\n";
  EXPECT_EQ(Lines(Uninstall(mem, base)), expected);
  TStringList services = Services(mem, base);
  EXPECT_EQ(Lines(services), expected);
  EXPECT_EQ(KeyLines(InView(mem, u"HKEY_LOCAL_MACHINE", base, true)), KeyLines(services));
}

TEST(ExportTree, ValueChangingUnderTheDumpGetsTheMarkerAndTheDumpGoesOn) {
  MemoryRegistry mem(Machine::Windows64);
  const UString key = u"Software\\Moving";
  mem.SetString(kHkeyCurrentUser, key, u"Name", u"n");
  mem.SetDword(kHkeyCurrentUser, key, u"Count", 1);
  mem.SetDword(kHkeyCurrentUser, key + u"\\After", u"v", 9);
  // Queries per value: the writer's kind query, then the reader's own ones;
  // each value changes after the writer has seen its kind.
  int seen = 0;
  mem.SetQueryHook([&](const UString& name) {
    if (name != u"Name" && name != u"Count") return;
    if (++seen == 2) mem.SetDword(kHkeyCurrentUser, key, u"Name", 7);
    if (seen == 6) mem.SetValue(kHkeyCurrentUser, key, u"Count", kRegBinary, {1, 2, 3, 4, 5});
  });
  EXPECT_EQ(Lines(Uninstall(mem, key, kHkeyCurrentUser)),
            "\n[HKEY_CURRENT_USER\\Software\\Moving]\n"
            "\"Name\"=veltoreaderror\n"
            "\"Count\"=veltoreaderror\n"
            "\n[HKEY_CURRENT_USER\\Software\\Moving\\After]\n\"v\"=dword:00000009\n");
}

TEST(ExportTree, InViewSkipsTheRestOfALevelWhoseReadFails) {
  MemoryRegistry mem(Machine::Windows64);
  const UString key = u"Software\\Br";
  mem.SetDword(kHkeyCurrentUser, key + u"\\A", u"first", 1);
  mem.SetDword(kHkeyCurrentUser, key + u"\\A", u"grows", 2);
  mem.SetDword(kHkeyCurrentUser, key + u"\\A", u"last", 3);
  mem.SetDword(kHkeyCurrentUser, key + u"\\A\\Child", u"v", 4);
  mem.SetDword(kHkeyCurrentUser, key + u"\\B", u"v", 5);
  int seen = 0;
  mem.SetQueryHook([&](const UString& name) {
    if (name == u"grows" && ++seen == 2)  // after the kind query, before the read
      mem.SetValue(kHkeyCurrentUser, key + u"\\A", name, kRegDword, {1, 2, 3, 4, 5, 6, 7, 8});
  });
  EXPECT_EQ(Lines(InView(mem, u"HKEY_CURRENT_USER", key, true)),
            "\n[HKEY_CURRENT_USER\\Software\\Br]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Br\\A]\n\"first\"=dword:00000001\n"
            "\n[HKEY_CURRENT_USER\\Software\\Br\\B]\n\"v\"=dword:00000005\n");
  EXPECT_EQ(mem.OpenHandleCount(), 0u);
}

TEST(ExportTree, HugeValuesAreWrittenWhole) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetValue(kHkeyCurrentUser, u"Software\\Big", u"Blob", kRegBinary, std::vector<uint8_t>(1 << 20, 0xEE));
  mem.SetString(kHkeyCurrentUser, u"Software\\Big", u"Long", UString(100000, u'a'));
  TStringList out = Uninstall(mem, u"Software\\Big", kHkeyCurrentUser);
  ASSERT_EQ(out.Count(), 4u);
  EXPECT_EQ(out[2].size(), std::string("\"Blob\"=hex:").size() + 3 * (1u << 20) - 1);
  EXPECT_EQ(out[3], u"\"Long\"=\"\"") << "longer than the view-aware string buffer";
}

// --- the dumps ---------------------------------------------------------------

void SeedUninstallAreas(MemoryRegistry& mem) {
  mem.SetString(kHkeyLocalMachine, u"SOFTWARE\\Velto", u"View", u"vendor64");
  mem.SetString(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Velto", u"View", u"vendor32");
  mem.SetString(kHkeyLocalMachine, UString(kUninstall) + u"\\App64", u"DisplayName", u"App 64");
  mem.SetString(kHkeyLocalMachine, UString(kUninstall32) + u"\\App32", u"DisplayName", u"App 32");
  mem.SetString(kHkeyCurrentUser, UString(kUninstall) + u"\\UserApp", u"DisplayName", u"User app");
  mem.SetString(kHkeyCurrentUser, UString(kUninstall32) + u"\\UserApp32", u"DisplayName", u"User 32");
}

TEST(UninstallDump, OrderOn64BitWindows) {
  MemoryRegistry mem(Machine::Windows64);
  SeedUninstallAreas(mem);
  TStringList out;
  CollectUninstallKeys(mem, out);
  EXPECT_EQ(KeyLines(out),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Velto]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App64]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App32]\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\UserApp]\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\UserApp32]\n");
  const std::string text = Lines(out);
  EXPECT_NE(text.find("\"View\"=\"vendor32\""), std::string::npos);
  EXPECT_EQ(text.find("vendor64"), std::string::npos);
  EXPECT_EQ(text.find("App 32"), text.rfind("App 32")) << "written once";
  EXPECT_EQ(mem.OpenHandleCount(), 0u);
}

TEST(UninstallDump, OrderOn32BitWindows) {
  MemoryRegistry mem(Machine::Windows32);
  SeedUninstallAreas(mem);  // Wow6432Node keys exist here only as literal names
  TStringList out;
  CollectUninstallKeys(mem, out);
  EXPECT_EQ(KeyLines(out),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velto]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App64]\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\UserApp]\n");
}

TEST(UninstallDump, NothingReadableWritesNothing) {
  MemoryRegistry mem(Machine::Windows64);
  mem.AddKey(kHkeyLocalMachine, kUninstall);
  mem.SetAllowedAccess(kHkeyLocalMachine, kUninstall, 0);
  TStringList out;
  out.Add(u"Windows Registry Editor Version 5.00");
  CollectUninstallKeys(mem, out);
  EXPECT_EQ(Lines(out), "Windows Registry Editor Version 5.00\n");
}

TEST(ServicesDump, RuleThenServicesWithStringsAndDwordsOnly) {
  MemoryRegistry mem(Machine::Windows64);
  const UString svc = u"SYSTEM\\CurrentControlSet\\services";
  mem.SetString(kHkeyLocalMachine, svc + u"\\beta", u"ImagePath", u"\\SystemRoot\\b.sys", kRegExpandSz);
  mem.SetDword(kHkeyLocalMachine, svc + u"\\beta", u"Start", 3);
  mem.SetMultiString(kHkeyLocalMachine, svc + u"\\beta", u"DependOnService", {u"alpha"});
  mem.SetValue(kHkeyLocalMachine, svc + u"\\beta", u"FailureActions", kRegBinary, {1, 2});
  mem.SetQword(kHkeyLocalMachine, svc + u"\\beta", u"Q", 1);
  mem.SetString(kHkeyLocalMachine, svc + u"\\beta\\Parameters", u"ServiceDll", u"C:\\b.dll");
  mem.SetDword(kHkeyLocalMachine, svc + u"\\Alpha", u"Type", 16);
  mem.SetDword(kHkeyLocalMachine, svc + u"\\Alpha\\Security", u"x", 1);
  mem.SetAllowedAccess(kHkeyLocalMachine, svc + u"\\Alpha\\Security", kKeyRead);
  TStringList out;
  CollectServicesKeys(mem, out);
  EXPECT_EQ(Lines(out),
            std::string(kRule) + "\n"
            "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services]\n"
            "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\Alpha]\n\"Type\"=dword:00000010\n"
            "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\Alpha\\Security]\n\"x\"=dword:00000001\n"
            "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\beta]\n"
            "\"ImagePath\"=\"\\SystemRoot\\b.sys\"\n\"Start\"=dword:00000003\n"
            "\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\beta\\Parameters]\n"
            "\"ServiceDll\"=\"C:\\b.dll\"\n");
  EXPECT_EQ(Lines(out).find("hex:"), std::string::npos);
}

TEST(ServicesDump, NoServicesKeyLeavesOnlyTheRule) {
  MemoryRegistry mem(Machine::Windows32);
  TStringList out;
  CollectServicesKeys(mem, out);
  EXPECT_EQ(Lines(out), std::string(kRule) + "\n");
}

}  // namespace
}  // namespace velto
