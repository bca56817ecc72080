// The application-data folders Explorer records, read as the 32-bit program
// reads them, over the in-memory registry.
#include <gtest/gtest.h>

#include "platform/raw_registry_memory.h"
#include "platform/shell_folders.h"

namespace velto {
namespace {

using Machine = MemoryRegistry::Machine;
const UString kKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const UString kKey32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

TEST(ShellFoldersAppData, ReadsTheDefaultViewOfEachRoot) {
  MemoryRegistry mem(Machine::Windows64);
  mem.SetString(kHkeyLocalMachine, kKey, u"Common AppData", u"C:\\Native");
  mem.SetString(kHkeyLocalMachine, kKey32, u"Common AppData", u"C:\\ProgramData");
  mem.SetString(kHkeyLocalMachine, kKey, u"AppData", u"C:\\WrongRoot");
  mem.SetString(kHkeyCurrentUser, kKey, u"AppData", u"%USERPROFILE%\\AppData\\Roaming", kRegExpandSz);
  // The 32-bit program sees the 32-bit view of HKLM\SOFTWARE; HKCU has one view.
  EXPECT_EQ(ReadShellFoldersAppData(mem, true), u"C:\\ProgramData");
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"%USERPROFILE%\\AppData\\Roaming");
  EXPECT_EQ(mem.OpenHandleCount(), 0u);

  MemoryRegistry old(Machine::Windows32);
  old.SetString(kHkeyLocalMachine, kKey, u"Common AppData", u"C:\\All Users");
  EXPECT_EQ(ReadShellFoldersAppData(old, true), u"C:\\All Users");
}

TEST(ShellFoldersAppData, AnythingButAReadableStringIsEmpty) {
  MemoryRegistry mem(Machine::Windows64);
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"") << "no key";
  mem.AddKey(kHkeyCurrentUser, kKey);
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"") << "no value";
  mem.SetValue(kHkeyCurrentUser, kKey, u"AppData", kRegBinary, {'C', 0, ':', 0, 0, 0});
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"") << "bytes, not text";
  mem.SetDword(kHkeyCurrentUser, kKey, u"AppData", 0x3A43);
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"");
  mem.SetValue(kHkeyCurrentUser, kKey, u"AppData", kRegSz, {'C', 0, ':', 0, '\\', 0, 'x'});
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"C:\\") << "half a character dropped";
  mem.SetString(kHkeyCurrentUser, kKey, u"AppData", u"C:\\Fine");
  mem.SetAllowedAccess(kHkeyCurrentUser, kKey, 0);
  EXPECT_EQ(ReadShellFoldersAppData(mem, false), u"") << "key refuses to open";
  // A value that turns into bytes between the size query and the read.
  MemoryRegistry racing(Machine::Windows64);
  racing.SetString(kHkeyCurrentUser, kKey, u"AppData", u"C:\\Fine");
  int queries = 0;
  racing.SetQueryHook([&](const UString& name) {
    if (name == u"AppData" && ++queries == 2)
      racing.SetValue(kHkeyCurrentUser, kKey, name, kRegBinary, {'C', 0, 0, 0});
  });
  EXPECT_EQ(ReadShellFoldersAppData(racing, false), u"");
  EXPECT_EQ(racing.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace velto
