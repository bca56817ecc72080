#include <windows.h>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/handles_win.h"
#include "platform/string_list.h"

namespace velto {
namespace {

TEST(FileIoWin, SavedListIsUtf16WithBomAndCrLf) {
  wchar_t tmp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, tmp), 0u);
  const UString path = FromWide(tmp) + u"velto_list_test.txt";
  TStringList list;
  list.Add(u"Version:1");
  list.Add(u"\u00e9");
  ASSERT_TRUE(list.SaveToFileUtf16(path));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, &bytes));
  EXPECT_EQ(bytes, std::string("\xFF\xFEV\0e\0r\0s\0i\0o\0n\0:\0001\0\r\0\n\0\xE9\0\r\0\n\0", 30));
  EXPECT_TRUE(RemoveFile(path));
  EXPECT_FALSE(FileExists(path));
}

TEST(FileIoWin, AnsiRoundTripOfLatinText) {
  EXPECT_EQ(FromAnsi(ToAnsi(u"caf\u00e9")), u"caf\u00e9");
}

}  // namespace
}  // namespace velto
