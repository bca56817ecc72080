#include "app/output_location.h"

#include <gtest/gtest.h>

#include "app/date_text.h"

namespace velto {
namespace {

OutputLocationFacts Facts(const UString& desktop, const UString& user, const UString& owner) {
  OutputLocationFacts f;
  f.desktop_folder = desktop;
  f.program_folder = u"D:\\tools\\";
  f.interactive_user = user;
  f.process_owner = owner;
  f.date_text = u"20210504";
  return f;
}

TEST(OutputLocation, DesktopOfTheInteractiveUser) {
  struct Case {
    const char16_t* desktop;
    const char16_t* user;
    const char16_t* owner;
    const char16_t* expected;
  } cases[] = {
      // same account: unchanged
      {u"C:\\Users\\admin\\Desktop", u"admin", u"admin", u"C:\\Users\\admin\\Desktop"},
      // names differing only in letter case are the same account
      {u"C:\\Users\\Admin\\Desktop", u"ADMIN", u"admin", u"C:\\Users\\Admin\\Desktop"},
      // a technician's account: moved to the console user's Desktop
      {u"C:\\Users\\admin\\Desktop", u"user1", u"admin", u"C:\\Users\\user1\\Desktop"},
      {u"C:\\Users\\ADMIN\\Desktop", u"user1", u"admin", u"C:\\Users\\user1\\Desktop"},
      // only a whole segment is replaced
      {u"C:\\Users\\admins\\Desktop", u"user1", u"admin", u"C:\\Users\\admins\\Desktop"},
      {u"C:\\Users\\xadmin\\Desktop", u"user1", u"admin", u"C:\\Users\\xadmin\\Desktop"},
      // every occurrence along the path
      {u"C:\\admin\\Users\\admin\\Desktop", u"u", u"admin", u"C:\\u\\Users\\u\\Desktop"},
      // unknown interactive user or owner: the Desktop stays as it is
      {u"C:\\Users\\admin\\Desktop", u"", u"admin", u"C:\\Users\\admin\\Desktop"},
      {u"\\\\srv\\share\\Desktop", u"user1", u"", u"\\\\srv\\share\\Desktop"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseOutputFolder(Facts(c.desktop, c.user, c.owner)), UString(c.expected))
        << ToUtf8(c.desktop) << " / " << ToUtf8(c.user) << " / " << ToUtf8(c.owner);
  }
}

TEST(OutputLocation, NoDesktopMeansTheProgramFolder) {
  EXPECT_EQ(ComposeOutputFileName(Facts(u"", u"user1", u"admin")), u"D:\\tools\\qn_logs_20210504.log");
}

TEST(OutputLocation, FileNameJoinsFolderDateAndExtension) {
  EXPECT_EQ(ComposeOutputFileName(Facts(u"C:\\Users\\a\\Desktop", u"a", u"a")),
            u"C:\\Users\\a\\Desktop\\qn_logs_20210504.log");
  auto f = Facts(u"C:\\", u"a", u"a");
  f.date_text = u"0";
  EXPECT_EQ(ComposeOutputFileName(f), u"C:\\qn_logs_0.log");
}

TEST(DateText, YmdAndMidnightRule) {
  LocalDateTime t{2026, 1, 9, 0, 0, 0, 0};
  EXPECT_EQ(FormatYmd(t), u"20260109");
  EXPECT_EQ(JoinDateAndTime(t, u"09.01.2026", u"00:00:00"), u"09.01.2026");
  t.millisecond = 1;
  EXPECT_EQ(JoinDateAndTime(t, u"09.01.2026", u"00:00:00"), u"09.01.2026 00:00:00");
  t = {2026, 12, 31, 23, 59, 59, 0};
  EXPECT_EQ(JoinDateAndTime(t, u"12/31/2026", u"11:59:59 PM"), u"12/31/2026 11:59:59 PM");
}

}  // namespace
}  // namespace velto
