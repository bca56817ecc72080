// TRegistry's view, path, access and value rules over the in-memory registry.
#include <gtest/gtest.h>

#include "platform/raw_registry_memory.h"
#include "platform/registry.h"

namespace velto {
namespace {

using Machine = MemoryRegistry::Machine;
const char16_t kUninstall[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char16_t kUninstall32[] = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string U8(const UString& s) { return ToUtf8(s); }

std::string Names(const TStringList& list) {
  std::string out;
  for (const UString& s : list.Items()) out += "[" + U8(s) + "]";
  return out;
}

std::string RaisedMessage(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const ERegistryException& e) {
    return U8(e.Message());
  }
  return "(nothing raised)";
}

// A 64-bit machine with the same key in both views, told apart by a value.
class RegistryViews : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* base : {u"SOFTWARE\\", u"SOFTWARE\\Wow6432Node\\"}) {
      const UString b = base;
      const UString view = b.size() > 9 ? u"32" : u"64";
      mem.SetString(kHkeyLocalMachine, b + u"Microsoft\\Windows\\CurrentVersion\\Uninstall", u"View", view);
      mem.SetString(kHkeyLocalMachine, b + u"Velto", u"View", view);
      mem.SetString(kHkeyLocalMachine, b + u"Velto\\Sub", u"View", view);
      mem.SetString(kHkeyLocalMachine, b + u"X", u"View", view);
    }
  }
  MemoryRegistry mem{Machine::Windows64};
};

TEST_F(RegistryViews, PathPicksTheViewOn64BitWindows) {
  TRegistry reg(mem);
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(kUninstall, false));
  EXPECT_EQ(reg.AccessMask, kKeyAllAccess | kKeyWow64_64Key);
  EXPECT_EQ(reg.ReadText(u"View"), u"64");

  ASSERT_TRUE(reg.OpenKeyPath(u"\\" + UString(kUninstall32), false));
  EXPECT_EQ(reg.AccessMask, kKeyAllAccess);
  EXPECT_EQ(reg.ReadText(u"View"), u"32");
  EXPECT_EQ(reg.OpenPath(), kUninstall32);

  ASSERT_TRUE(reg.OpenKeyPath(u"\\Software\\WOW6432NODE\\x", false));
  EXPECT_EQ(reg.AccessMask & kKeyWow64_64Key, 0u);
  EXPECT_EQ(reg.ReadText(u"View"), u"32");

  // Bit 0x200 is never touched by the path rule.
  reg.AccessMask |= kKeyWow64_32Key;
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\X", false));
  EXPECT_EQ(reg.AccessMask, kKeyAllAccess | kKeyWow64_64Key | kKeyWow64_32Key);
}

TEST_F(RegistryViews, RelativeOpenJoinsTheOpenPathForTheViewChoice) {
  TRegistry reg(mem);
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\Wow6432Node\\Velto", false));
  ASSERT_TRUE(reg.OpenKeyPath(u"Sub", false));
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\Wow6432Node\\Velto\\Sub");
  EXPECT_EQ(reg.AccessMask & kKeyWow64_64Key, 0u);
  EXPECT_EQ(reg.ReadText(u"View"), u"32");

  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\Velto", false));
  ASSERT_TRUE(reg.OpenKeyPath(u"Sub", false));
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\Velto\\Sub");
  EXPECT_EQ(reg.ReadText(u"View"), u"64");
}

TEST_F(RegistryViews, WithoutAutoSelectTheMaskDecidesAndADefaultObjectReads32Bit) {
  TRegistry reg(mem);
  reg.AutoSelectView = false;
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\X", false));
  EXPECT_EQ(reg.AccessMask, kKeyAllAccess);
  EXPECT_EQ(reg.ReadText(u"View"), u"32");

  TRegistry plain(mem, RegFlavour::Plain);
  plain.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(plain.OpenKeyPath(u"SOFTWARE\\X", false));
  EXPECT_EQ(plain.ReadText(u"View"), u"32");
  plain.AccessMask |= kKeyWow64_64Key;
  ASSERT_TRUE(plain.OpenKeyPath(u"\\SOFTWARE\\X", false));
  EXPECT_EQ(plain.ReadText(u"View"), u"64");
  // The plain flavour never rewrites the view bits.
  ASSERT_TRUE(plain.OpenKeyPath(u"\\SOFTWARE\\Wow6432Node\\X", false));
  EXPECT_EQ(plain.AccessMask, kKeyAllAccess | kKeyWow64_64Key);
  EXPECT_EQ(plain.ReadText(u"View"), u"32");
}

TEST(Registry32BitWindows, NoViewBitAndWow6432NodeIsJustAName) {
  MemoryRegistry mem(Machine::Windows32);
  mem.SetString(kHkeyLocalMachine, u"SOFTWARE\\X", u"View", u"only");
  mem.SetString(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\X", u"View", u"literal");
  TRegistry reg(mem);
  EXPECT_FALSE(reg.OnWow64());
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\X", false));
  EXPECT_EQ(reg.AccessMask, kKeyAllAccess);
  EXPECT_EQ(reg.ReadText(u"View"), u"only");
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\Wow6432Node\\X", false));
  EXPECT_EQ(reg.ReadText(u"View"), u"literal");
}

TEST_F(RegistryViews, PathBookkeepingAndFailedOpens) {
  TRegistry reg(mem);
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\Velto", false));
  // Absolute: below the root although a key is open; the trailing backslash stays.
  ASSERT_TRUE(reg.OpenKeyPath(u"\\SOFTWARE\\X\\", false));
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\X\\");
  EXPECT_EQ(reg.ReadText(u"View"), u"64");

  const RegHandle before = reg.OpenHandle();
  EXPECT_FALSE(reg.OpenKeyPath(u"Missing", false));
  EXPECT_FALSE(reg.OpenKeyPath(u"\\\\SOFTWARE", false));  // one leading backslash is removed, not two
  EXPECT_EQ(reg.OpenHandle(), before);
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\X\\");

  // The empty relative path is a second handle to the open key itself.
  ASSERT_TRUE(reg.OpenKeyPath(u"", false));
  EXPECT_NE(reg.OpenHandle(), before);
  EXPECT_EQ(reg.ReadText(u"View"), u"64");
  EXPECT_EQ(mem.OpenHandleCount(), 1u);

  // The same root keeps the key; another root closes it.
  reg.SelectRootKey(kHkeyLocalMachine);
  EXPECT_NE(reg.OpenHandle(), 0u);
  reg.SelectRootKey(kHkeyCurrentUser);
  EXPECT_EQ(reg.OpenHandle(), 0u);
  EXPECT_EQ(reg.OpenPath(), u"");
  EXPECT_EQ(mem.OpenHandleCount(), 0u);
}

TEST_F(RegistryViews, CreateMakesTheKeyInTheChosenView) {
  TRegistry reg(mem, RegFlavour::Plain);
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\Fresh\\Deep", true));
  reg.WriteDword(u"N", -2);
  EXPECT_EQ(reg.ReadDword(u"N"), -2);
  TRegistry check(mem, RegFlavour::Plain);
  check.SelectRootKey(kHkeyLocalMachine);
  EXPECT_TRUE(check.KeyPathExists(u"SOFTWARE\\Wow6432Node\\Fresh\\Deep"));
  check.AccessMask |= kKeyWow64_64Key;
  EXPECT_FALSE(check.KeyPathExists(u"SOFTWARE\\Fresh"));
  EXPECT_TRUE(reg.RemoveValue(u"N"));
  EXPECT_FALSE(reg.RemoveValue(u"N"));
  EXPECT_FALSE(reg.HasValue(u"N"));
}

TEST(RegistryAccess, OpenKeyForReadingNarrowsTheMaskToWhatTheKeyGrants) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetDword(kHkeyLocalMachine, u"SOFTWARE\\Locked", u"N", 1);
  mem.SetAllowedAccess(kHkeyLocalMachine, u"SOFTWARE\\Locked", kKeyRead);
  mem.SetDword(kHkeyLocalMachine, u"SOFTWARE\\NoNotify", u"N", 2);
  mem.SetAllowedAccess(kHkeyLocalMachine, u"SOFTWARE\\NoNotify", kKeyReadNoNotify);
  mem.SetDword(kHkeyLocalMachine, u"SOFTWARE\\QueryOnly", u"N", 3);
  mem.SetAllowedAccess(kHkeyLocalMachine, u"SOFTWARE\\QueryOnly", kKeyQueryValue);
  mem.SetDword(kHkeyLocalMachine, u"SOFTWARE\\Closed", u"N", 4);
  mem.SetAllowedAccess(kHkeyLocalMachine, u"SOFTWARE\\Closed", 0);

  TRegistry reg(mem);
  reg.SelectRootKey(kHkeyLocalMachine);
  EXPECT_FALSE(reg.OpenKeyPath(u"SOFTWARE\\Locked", false));
  ASSERT_TRUE(reg.OpenKeyForReading(u"SOFTWARE\\Locked"));
  EXPECT_EQ(reg.AccessMask, kKeyRead | kKeyWow64_64Key);
  EXPECT_EQ(reg.ValueAsText(u"N", true), u"dword:00000001");

  ASSERT_TRUE(reg.OpenKeyForReading(u"\\SOFTWARE\\NoNotify"));
  EXPECT_EQ(reg.AccessMask, kKeyReadNoNotify | kKeyWow64_64Key);
  ASSERT_TRUE(reg.OpenKeyForReading(u"\\SOFTWARE\\QueryOnly"));
  EXPECT_EQ(reg.AccessMask, kKeyQueryValue | kKeyWow64_64Key);
  EXPECT_EQ(reg.ReadDword(u"N"), 3);

  EXPECT_FALSE(reg.OpenKeyForReading(u"\\SOFTWARE\\Closed"));
  EXPECT_EQ(reg.AccessMask, kKeyQueryValue | kKeyWow64_64Key);
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\QueryOnly");

  // An object that started with full rights has none left to write with.
  TRegistry plain(mem, RegFlavour::Plain);
  plain.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(plain.OpenKeyForReading(u"SOFTWARE\\Wow6432Node"));
  EXPECT_EQ(plain.AccessMask, kKeyRead);
  EXPECT_EQ(RaisedMessage([&] { plain.WriteDword(u"W", 1); }), "Failed to set data for 'W'");
  EXPECT_FALSE(plain.OpenKeyPath(u"New", true));
}

TEST(RegistryAccess, KeyPathExistsNeedsOnlyReadRightsAndKeepsTheObject) {
  MemoryRegistry mem(Machine::Windows64);
  mem.AddKey(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Locked");
  mem.SetAllowedAccess(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Locked", kKeyRead);
  mem.AddKey(kHkeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Other");
  TRegistry reg(mem, RegFlavour::Plain);
  reg.SelectRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyPath(u"SOFTWARE\\Other", false));
  EXPECT_TRUE(reg.KeyPathExists(u"\\SOFTWARE\\Locked"));
  EXPECT_FALSE(reg.KeyPathExists(u"\\SOFTWARE\\Missing"));
  EXPECT_EQ(reg.OpenPath(), u"SOFTWARE\\Other");
  EXPECT_EQ(reg.AccessMask, kKeyAllAccess);
  EXPECT_EQ(mem.OpenHandleCount(), 1u);
}

TEST(RegistryListing, Wow6432NodeIsHiddenOnlyByTheViewAwareListing) {
  MemoryRegistry mem(Machine::Windows64);
  for (const char16_t* name : {u"Classes", u"Wow6432Node", u" wow6432node "})
    mem.AddKey(kHkeyCurrentUser, u"Software\\Top\\" + UString(name));
  TRegistry aware(mem);
  ASSERT_TRUE(aware.OpenKeyPath(u"Software\\Top", false));
  TStringList list;
  list.Add(u"stale");
  aware.ListSubkeyNames(list);
  EXPECT_EQ(Names(list), "[Classes]");

  TRegistry plain(mem, RegFlavour::Plain);
  ASSERT_TRUE(plain.OpenKeyPath(u"Software\\Top", false));
  plain.ListSubkeyNames(list);
  EXPECT_EQ(Names(list), "[ wow6432node ][Classes][Wow6432Node]");
}

TEST(RegistryListing, NamesSurviveWrongKeyInformation) {
  MemoryRegistry mem(Machine::Windows64);
  const UString long_key(255, u'k');
  const UString long_value(5000, u'v');
  mem.AddKey(kHkeyCurrentUser, u"Software\\T\\" + long_key);
  mem.AddKey(kHkeyCurrentUser, u"Software\\T\\b");
  mem.SetDword(kHkeyCurrentUser, u"Software\\T", long_value, 1);
  mem.SetDword(kHkeyCurrentUser, u"Software\\T", u"", 2);
  mem.SetQuirks({true, true, false});
  TRegistry reg(mem);
  ASSERT_TRUE(reg.OpenKeyPath(u"Software\\T", false));
  TStringList list;
  reg.ListSubkeyNames(list);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list[0], u"b");
  EXPECT_EQ(list[1], long_key);
  reg.ListValueNames(list);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list[0], long_value);
  EXPECT_EQ(list[1], u"");  // the default value, listed because it is set
}

TEST(RegistryListing, ClosedObjectBehavesLikeAnInvalidKey) {
  MemoryRegistry mem(Machine::Windows64);
  TRegistry reg(mem);
  TStringList list;
  list.Add(u"stale");
  reg.ListValueNames(list);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_FALSE(reg.HasChildKeys());
  EXPECT_EQ(reg.ValueSize(u"x"), -1);
  EXPECT_EQ(reg.ValueKind(u"x"), RegValueKind::Unknown);
  EXPECT_EQ(reg.ReadText(u"x"), u"");
  EXPECT_EQ(reg.ValueAsText(u"x", true), u"");
  uint8_t buf[4];
  EXPECT_EQ(reg.ReadBytes(u"x", buf, sizeof buf), 0u);
  EXPECT_FALSE(reg.RemoveValue(u"x"));
}

class RegistryValues : public ::testing::Test {
 protected:
  const UString key = u"Software\\Values";
  void SetUp() override {
    mem.SetDword(kHkeyCurrentUser, key, u"Ten", 10);
    mem.SetDword(kHkeyCurrentUser, key, u"All", 0xFFFFFFFFu);
    mem.SetValue(kHkeyCurrentUser, key, u"Bin", kRegBinary, {0x01, 0xAB, 0xFF});
    mem.SetValue(kHkeyCurrentUser, key, u"EmptyBin", kRegBinary, {});
    mem.SetValue(kHkeyCurrentUser, key, u"EmptySz", kRegSz, {});
    mem.SetMultiString(kHkeyCurrentUser, key, u"Multi", {u"a"});
    mem.SetQword(kHkeyCurrentUser, key, u"Q", 0x0102030405060708ull);
    mem.SetString(kHkeyCurrentUser, key, u"Path", u"C:\\A\\b.exe");
    mem.SetString(kHkeyCurrentUser, key, u"Exp", u"%SystemRoot%\\x", kRegExpandSz);
    mem.SetValue(kHkeyCurrentUser, key, u"ShortDword", kRegDword, {0x34, 0x12});
    mem.SetValue(kHkeyCurrentUser, key, u"LongDword", kRegDword, {1, 2, 3, 4, 5, 6, 7, 8});
    mem.SetValue(kHkeyCurrentUser, key, u"Odd", kRegSz, {'a', 0, 'b', 0, 'c'});
    mem.SetValue(kHkeyCurrentUser, key, u"NoNul", kRegSz, {'h', 0, 'i', 0});
    mem.SetValue(kHkeyCurrentUser, key, u"MultiNoEnd", kRegMultiSz, {'a', 0, 0, 0, 'b', 0});
    mem.SetValue(kHkeyCurrentUser, key, u"One", kRegBinary, {0x7F});
    ASSERT_TRUE(aware.OpenKeyPath(key, false));
    ASSERT_TRUE(plain.OpenKeyPath(key, false));
  }
  MemoryRegistry mem{Machine::Windows64};
  TRegistry aware{mem};
  TRegistry plain{mem, RegFlavour::Plain};
};

TEST_F(RegistryValues, ValueAsTextForms) {
  for (TRegistry* reg : {&aware, &plain}) {
    EXPECT_EQ(reg->ValueAsText(u"Ten", true), u"dword:0000000A");
    EXPECT_EQ(reg->ValueAsText(u"Ten", false), u"10");
    EXPECT_EQ(reg->ValueAsText(u"All", true), u"dword:FFFFFFFF");
    EXPECT_EQ(reg->ValueAsText(u"All", false), u"-1");
    EXPECT_EQ(reg->ValueAsText(u"Bin", true), u"hex:01,AB,FF");
    EXPECT_EQ(reg->ValueAsText(u"Bin", false), u"01,AB,FF");
    EXPECT_EQ(reg->ValueAsText(u"One", true), u"hex:7F");
    EXPECT_EQ(reg->ValueAsText(u"Multi", true), u"hex:61,00,00,00,00,00");
    EXPECT_EQ(reg->ValueAsText(u"MultiNoEnd", true), u"hex:61,00,00,00,62,00");
    EXPECT_EQ(reg->ValueAsText(u"Q", true), u"hex:08,07,06,05,04,03,02,01");
    EXPECT_EQ(reg->ValueAsText(u"Path", true), u"C:\\A\\b.exe");
    EXPECT_EQ(reg->ValueAsText(u"Exp", true), u"%SystemRoot%\\x");
    EXPECT_EQ(reg->ValueAsText(u"EmptyBin", true), u"");
    EXPECT_EQ(reg->ValueAsText(u"EmptySz", true), u"");
    EXPECT_EQ(reg->ValueAsText(u"Missing", true), u"");
    EXPECT_EQ(reg->ValueAsText(u"ShortDword", true), u"dword:00001234");
  }
  EXPECT_EQ(aware.ValueKind(u"Multi"), RegValueKind::Unknown);
  EXPECT_EQ(aware.ValueKind(u"Q"), RegValueKind::Unknown);
  EXPECT_EQ(aware.ValueSize(u"EmptyBin"), 0);
  EXPECT_TRUE(aware.HasValue(u"EmptyBin"));
  EXPECT_EQ(aware.ValueSize(u"Missing"), -1);
  EXPECT_FALSE(aware.HasValue(u"Missing"));
  // A REG_DWORD of eight bytes does not fit the read: the marker, or the plain flavour raises.
  EXPECT_EQ(aware.ValueAsText(u"LongDword", true), u"veltoreaderror");
  EXPECT_EQ(RaisedMessage([&] { plain.ValueAsText(u"LongDword", true); }),
            "Failed to get data for 'LongDword'");
}

TEST_F(RegistryValues, StringDecodingIsDefensive) {
  for (TRegistry* reg : {&aware, &plain}) {
    EXPECT_EQ(reg->ReadText(u"Odd"), u"ab");  // the odd trailing byte is dropped
    EXPECT_EQ(reg->ReadText(u"NoNul"), u"hi");
    EXPECT_EQ(reg->ReadText(u"EmptySz"), u"");
    // An empty value of any kind reads as empty text before its type matters;
    // a non-empty one of the wrong kind raises.
    EXPECT_EQ(reg->ReadText(u"EmptyBin"), u"");
    EXPECT_EQ(RaisedMessage([&] { reg->ReadText(u"One"); }), "Invalid data type for 'One'");
  }
}

TEST_F(RegistryValues, TypedReadsRaiseWithTheValueName) {
  for (TRegistry* reg : {&aware, &plain}) {
    EXPECT_EQ(RaisedMessage([&] { reg->ReadText(u"Ten"); }), "Invalid data type for 'Ten'");
    EXPECT_EQ(reg->ReadDword(u"Ten"), 10);
    EXPECT_EQ(reg->ReadDword(u"ShortDword"), 0x1234);
    uint8_t two[2];
    EXPECT_EQ(RaisedMessage([&] { reg->ReadBytes(u"Bin", two, sizeof two); }), "Invalid data type for 'Bin'");
    EXPECT_EQ(RaisedMessage([&] { reg->ReadBytes(u"Ten", two, sizeof two); }), "Invalid data type for 'Ten'");
    uint8_t four[4] = {9, 9, 9, 9};
    EXPECT_EQ(reg->ReadBytes(u"Bin", four, sizeof four), 3u);
    EXPECT_EQ(four[2], 0xFF);
    EXPECT_EQ(reg->ReadBytes(u"Missing", four, sizeof four), 0u);
    EXPECT_EQ(reg->ReadText(u"Path"), u"C:\\A\\b.exe") << "the object stays usable";
  }
  mem.SetString(kHkeyCurrentUser, key, u"A", u"a");  // four bytes: fits a DWORD read
  EXPECT_EQ(RaisedMessage([&] { plain.ReadDword(u"A"); }), "Invalid data type for 'A'");
  EXPECT_EQ(RaisedMessage([&] { plain.ReadDword(u"Path"); }), "Failed to get data for 'Path'");
  EXPECT_EQ(RaisedMessage([&] { aware.ReadDword(u"Path"); }), "Invalid data type for 'Path'");
  EXPECT_EQ(RaisedMessage([&] { plain.ReadDword(u"Missing"); }), "Failed to get data for 'Missing'");
}

TEST(RegistryStrings, ViewAwareReadsStopAt2048BytesPlainReadsEverything) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetString(kHkeyCurrentUser, u"Software\\S", u"S1023", UString(1023, u'x'));
  mem.SetString(kHkeyCurrentUser, u"Software\\S", u"S1024", UString(1024, u'y'));
  mem.SetString(kHkeyCurrentUser, u"Software\\S", u"S5000", UString(5000, u'z'));
  TRegistry aware(mem);
  TRegistry plain(mem, RegFlavour::Plain);
  ASSERT_TRUE(aware.OpenKeyPath(u"Software\\S", false));
  ASSERT_TRUE(plain.OpenKeyPath(u"Software\\S", false));
  EXPECT_EQ(aware.ReadText(u"S1023"), UString(1023, u'x'));
  EXPECT_EQ(aware.ReadText(u"S1024"), u"");
  EXPECT_EQ(aware.ValueAsText(u"S1024", true), u"") << "too long is empty text, not the marker";
  EXPECT_EQ(plain.ReadText(u"S1024"), UString(1024, u'y'));
  EXPECT_EQ(plain.ValueAsText(u"S5000", true), UString(5000, u'z'));
}

// A value that changes between the size query and the read.
TEST(RegistryRaces, ChangedValuesGiveTheMarkerOrAnExceptionNeverGarbage) {
  MemoryRegistry mem(Machine::Windows64);
  const UString key = u"Software\\Race";
  mem.SetValue(kHkeyCurrentUser, key, u"Grows", kRegBinary, {1, 2});
  mem.SetValue(kHkeyCurrentUser, key, u"Turns", kRegBinary, {1, 2, 3, 4});
  mem.SetString(kHkeyCurrentUser, key, u"Text", u"short");
  int queries = 0, trigger = 2;
  UString target;
  mem.SetQueryHook([&](const UString& name) {
    if (name != target || ++queries != trigger) return;
    if (name == u"Grows") mem.SetValue(kHkeyCurrentUser, key, name, kRegBinary, std::vector<uint8_t>(64, 7));
    if (name == u"Turns") mem.SetDword(kHkeyCurrentUser, key, name, 5);
    if (name == u"Text") mem.SetString(kHkeyCurrentUser, key, name, UString(300, u'L'));
    if (name == u"Flips") mem.SetValue(kHkeyCurrentUser, key, name, kRegBinary, {'h', 0, 'i', 0, 0, 0});
  });
  TRegistry aware(mem);
  TRegistry plain(mem, RegFlavour::Plain);
  ASSERT_TRUE(aware.OpenKeyPath(key, false));
  ASSERT_TRUE(plain.OpenKeyPath(key, false));
  auto arm = [&](const char16_t* name, int at = 2) {
    queries = 0;
    trigger = at;
    target = name;
  };
  arm(u"Grows");
  EXPECT_EQ(aware.ValueAsText(u"Grows", true), u"veltoreaderror");
  mem.SetValue(kHkeyCurrentUser, key, u"Grows", kRegBinary, {1, 2});
  arm(u"Grows");
  EXPECT_EQ(RaisedMessage([&] { plain.ValueAsText(u"Grows", true); }), "Invalid data type for 'Grows'");
  arm(u"Turns");
  EXPECT_EQ(aware.ValueAsText(u"Turns", true), u"veltoreaderror");
  // A string that turns into bytes after the info query must not be shown as
  // text: these bytes would decode as "hi".
  auto flip_at = [&](int at) {
    mem.SetString(kHkeyCurrentUser, key, u"Flips", u"short");
    arm(u"Flips", at);
  };
  flip_at(2);  // the view-aware read asks no size of its own
  EXPECT_EQ(aware.ValueAsText(u"Flips", true), u"veltoreaderror");
  for (int at : {2, 3}) {  // before the plain read's size query, and after it
    flip_at(at);
    EXPECT_EQ(RaisedMessage([&] { plain.ValueAsText(u"Flips", true); }), "Invalid data type for 'Flips'") << at;
  }
  // A string that grows after the size query is read again at its new size.
  arm(u"Text", 3);
  EXPECT_EQ(plain.ReadText(u"Text"), UString(300, u'L'));
  mem.SetString(kHkeyCurrentUser, key, u"Text", u"short");
  arm(u"Text", 2);  // the view-aware read asks no second size
  EXPECT_EQ(aware.ReadText(u"Text"), UString(300, u'L')) << "still within 2048 bytes";
}

TEST(RegistryRaces, ReportedReadSizesAreNotTrusted) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetValue(kHkeyCurrentUser, u"Software\\L", u"Bin", kRegBinary, {0xAA, 0xBB});
  mem.SetString(kHkeyCurrentUser, u"Software\\L", u"S", u"ok");
  mem.SetQuirks({false, false, true});
  for (RegFlavour f : {RegFlavour::ViewAware, RegFlavour::Plain}) {
    TRegistry reg(mem, f);
    ASSERT_TRUE(reg.OpenKeyPath(u"Software\\L", false));
    EXPECT_EQ(reg.ValueAsText(u"Bin", true), u"hex:AA,BB");
    EXPECT_EQ(reg.ReadText(u"S"), u"ok");
  }
}

TEST(RegistryHandles, EveryHandleIsClosed) {
  MemoryRegistry mem(Machine::Windows64);
  mem.AddKey(kHkeyCurrentUser, u"Software\\A\\B");
  {
    TRegistry reg(mem);
    ASSERT_TRUE(reg.OpenKeyPath(u"Software\\A", false));
    ASSERT_TRUE(reg.OpenKeyPath(u"B", false));
    ASSERT_TRUE(reg.OpenKeyForReading(u"\\Software\\A"));
    EXPECT_TRUE(reg.KeyPathExists(u"B"));
    EXPECT_EQ(mem.OpenHandleCount(), 1u);
    reg.CloseCurrentKey();
    EXPECT_EQ(mem.OpenHandleCount(), 0u);
    ASSERT_TRUE(reg.OpenKeyPath(u"Software\\A", false));
  }
  EXPECT_EQ(mem.OpenHandleCount(), 0u);
}

TEST(BytesToHexText, PrefixCommasAndLength) {
  const uint8_t bytes[] = {0x01, 0xAB, 0xFF, 0x00};
  EXPECT_EQ(BytesToHexText(bytes, 3, u"hex:"), u"hex:01,AB,FF");
  EXPECT_EQ(BytesToHexText(bytes, 3, u""), u"01,AB,FF");
  EXPECT_EQ(BytesToHexText(bytes, 0, u"hex:"), u"hex:");
}

}  // namespace
}  // namespace velto
