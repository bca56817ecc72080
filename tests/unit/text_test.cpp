#include <gtest/gtest.h>

#include "platform/text.h"

namespace velto {
namespace {

TEST(Text, Utf8RoundTripKeepsEveryPlane) {
  const std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  const UString u = FromUtf8(s);
  EXPECT_EQ(u.size(), 6u);  // the emoji is a surrogate pair
  EXPECT_EQ(ToUtf8(u), s);
}

TEST(Text, InvalidUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(FromUtf8("\xC3"), UString(1, 0xFFFD));
  EXPECT_EQ(FromUtf8("\xED\xA0\x80x"), UString(u"\uFFFD\uFFFD\uFFFDx"));  // encoded surrogate
  EXPECT_EQ(ToUtf8(UString(1, 0xD800)), "\xEF\xBF\xBD");
}

TEST(Text, CaseInsensitiveComparisonCoversAccentsAndCyrillic) {
  EXPECT_TRUE(SameText(u"Admin", u"aDMIN"));
  EXPECT_TRUE(SameText(u"J\u00f6rg", u"J\u00d6RG"));
  EXPECT_TRUE(SameText(u"\u0438\u0432\u0430\u043d", u"\u0418\u0412\u0410\u041d"));
  EXPECT_FALSE(SameText(u"admin", u"admin2"));
}

TEST(Text, ReplaceAllTextIsCaseInsensitiveAndDoesNotRescan) {
  EXPECT_EQ(ReplaceAllText(u"\\A\\x\\a\\", u"\\a\\", u"\\b\\"), u"\\b\\x\\b\\");
  EXPECT_EQ(ReplaceAllText(u"aaa", u"a", u"aa"), u"aaaaaa");
  EXPECT_EQ(ReplaceAllText(u"abc", u"", u"x"), u"abc");
}

TEST(Text, NumbersAndPaths) {
  EXPECT_EQ(IntToText(-2147483648LL), u"-2147483648");
  EXPECT_EQ(UIntToText(18446744073709551615ULL), u"18446744073709551615");
  EXPECT_EQ(HexUpper(0x40904B0, 8), u"040904B0");
  EXPECT_EQ(ExtractFilePath(u"C:\\a\\b.txt"), u"C:\\a\\");
  EXPECT_EQ(ExtractFileName(u"C:b.txt"), u"b.txt");
  EXPECT_EQ(IncludeTrailingBackslash(u"C:\\a"), u"C:\\a\\");
  EXPECT_EQ(ExcludeTrailingBackslash(u"C:\\a\\"), u"C:\\a");
  EXPECT_EQ(Trim(u" \t x y \r\n"), u"x y");
}

}  // namespace
}  // namespace velto
