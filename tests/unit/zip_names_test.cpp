#include <gtest/gtest.h>

#include "app/dos_time.h"
#include "app/zip_names.h"

namespace velto {
namespace {

TEST(ZipNames, MemberNameDropsDriveOrShareAndUsesSlashes) {
  EXPECT_EQ(MemberNameFromPath(u"C:\\Users\\admin\\AppData\\Local\\Temp\\GetInfoDir\\DiskInfo.txt"),
            u"Users/admin/AppData/Local/Temp/GetInfoDir/DiskInfo.txt");
  EXPECT_EQ(MemberNameFromPath(u"\\\\server\\share\\logs\\a.log"), u"logs/a.log");
  EXPECT_EQ(MemberNameFromPath(u"\\\\?\\C:\\x\\y.txt"), u"x/y.txt");
  EXPECT_EQ(MemberNameFromPath(u"\\\\?\\UNC\\srv\\sh\\z.txt"), u"z.txt");
  EXPECT_EQ(MemberNameFromPath(u"\\rooted\\file"), u"rooted/file");
  EXPECT_EQ(MemberNameFromPath(u"d:file.txt"), u"file.txt");
  EXPECT_EQ(MemberNameFromPath(u"/tmp/native\\GetInfoDir\\x"), u"tmp/native/GetInfoDir/x");
}

TEST(ZipNames, WildcardsAndMasks) {
  EXPECT_TRUE(HasWildcard(u"C:\\a\\*.*"));
  EXPECT_TRUE(HasWildcard(u"C:\\a\\f?.txt"));
  EXPECT_TRUE(HasWildcard(u"C:\\a\\<"));
  EXPECT_FALSE(HasWildcard(u"C:\\a\\b.txt"));
  EXPECT_TRUE(MatchesMask(u"README", u"*.*"));  // no dot, still matched
  EXPECT_TRUE(MatchesMask(u"a.b.c", u"*.*"));
  EXPECT_TRUE(MatchesMask(u"Report.TXT", u"*.txt"));
  EXPECT_FALSE(MatchesMask(u"report.txt.bak", u"*.txt"));
  EXPECT_TRUE(MatchesMask(u"f1.log", u"f?.log"));
  EXPECT_FALSE(MatchesMask(u"f12.log", u"f?.log"));
  EXPECT_TRUE(MatchesMask(u"abc", u"abc.*"));
  EXPECT_TRUE(MatchesMask(std::u16string(5000, u'a'), std::u16string(60, u'*') + u"b*") == false);
}

TEST(ZipNames, OemWhenTheRoundTripSurvivesElseUtf8) {
  // The native build stands in 1252 for ANSI and 437 for OEM.
  EncodedName plain = EncodeMemberName(u"Users/admin/x.txt");
  EXPECT_FALSE(plain.utf8);
  EXPECT_EQ(plain.bytes, "Users/admin/x.txt");
  EncodedName accent = EncodeMemberName(u"J\u00f6rg/caf\u00e9.txt");  // in both pages
  EXPECT_FALSE(accent.utf8);
  EXPECT_EQ(accent.bytes, "J\x94rg/caf\x82.txt");
  EncodedName euro = EncodeMemberName(u"\u20ac.txt");  // ANSI yes, OEM no
  EXPECT_TRUE(euro.utf8);
  EXPECT_EQ(euro.bytes, "\xE2\x82\xAC.txt");
  EncodedName box = EncodeMemberName(u"\u2500.txt");  // OEM yes, ANSI no
  EXPECT_TRUE(box.utf8);
  EXPECT_TRUE(EncodeMemberName(u"\u0436.txt").utf8);  // Cyrillic: neither
  EXPECT_EQ(DecodeMemberName(accent.bytes, false), u"J\u00f6rg/caf\u00e9.txt");
  EXPECT_EQ(DecodeMemberName(euro.bytes, true), u"\u20ac.txt");
}

TEST(DosTime, PacksAndClamps) {
  LocalTime t;
  t.year = 2026; t.month = 12; t.day = 9; t.hour = 6; t.minute = 43; t.second = 41;
  const uint32_t dos = DosDateTime(t);
  EXPECT_EQ(dos >> 16, ((2026u - 1980) << 9) | (12 << 5) | 9);
  EXPECT_EQ(dos & 0xFFFF, (6u << 11) | (43 << 5) | 20);  // odd second rounds down
  const LocalTime back = LocalTimeFromDos(dos);
  EXPECT_EQ(back.second, 40);
  EXPECT_EQ(back.year, 2026);
  t.year = 1970;
  EXPECT_EQ(DosDateTime(t), (((0u << 9) | (1 << 5) | 1) << 16));
  t.year = 2200;
  const LocalTime last = LocalTimeFromDos(DosDateTime(t));
  EXPECT_EQ(last.year, 2107);
  EXPECT_EQ(last.month, 12);
  EXPECT_EQ(last.day, 31);
  EXPECT_EQ(last.second, 58);
  t.year = 2000; t.month = 13; t.day = 0; t.hour = 25; t.minute = -1; t.second = 61;
  const LocalTime clamped = LocalTimeFromDos(DosDateTime(t));
  EXPECT_EQ(clamped.month, 12);
  EXPECT_EQ(clamped.day, 1);
  EXPECT_EQ(clamped.hour, 23);
  EXPECT_EQ(clamped.minute, 0);
  EXPECT_EQ(clamped.second, 58);
  EXPECT_EQ(DosDateTimeFromFileTime(0), DosDateTime(LocalTime()));
}

}  // namespace
}  // namespace velto
