// The package path on the real (Wine) machine: the Desktop of the user at the
// console, named after today's date.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "app/accounts_win.h"
#include "app/date_text_win.h"
#include "app/output_location.h"
#include "app/report_thread_win.h"
#include "platform/handles_win.h"

namespace velto {
namespace {

TEST(OutputLocationWin, PackageGoesToTheConsoleUsersDesktop) {
  InitWindows2000Test();
  wchar_t desktop[MAX_PATH];
  ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t name[64];
  std::swprintf(name, 64, L"\\qn_logs_%04u%02u%02u.log", now.wYear, now.wMonth, now.wDay);

  ResolveOutputFileName();
  // Same account at the console and in this process: the Desktop is used as it is.
  EXPECT_TRUE(SameText(OutputFileName(), FromWide(desktop) + FromWide(name)))
      << ToUtf8(OutputFileName());
  EXPECT_EQ(TodayYmd(), FromWide(name).substr(9, 8));
}

TEST(OutputLocationWin, DateLineFollowsTheUserLocale) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t date[128];
  ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128), 0);
  const UString line = CurrentDateTimeText();
  // Starts with today's short date, then one blank and the time (unless it is midnight).
  EXPECT_EQ(line.substr(0, FromWide(date).size()), FromWide(date));
  EXPECT_GT(line.size(), FromWide(date).size() + 1);
  EXPECT_EQ(line[FromWide(date).size()], u' ');
}

}  // namespace
}  // namespace velto
