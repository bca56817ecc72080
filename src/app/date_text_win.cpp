#include <windows.h>

#include <stdexcept>

#include "app/date_text.h"
#include "app/date_text_win.h"
#include "platform/handles_win.h"

namespace velto {

namespace {

LocalDateTime FromSystemTime(const SYSTEMTIME& st) {
  return LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                       st.wMilliseconds};
}

}  // namespace

UString CurrentDateTimeText() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t date[128], time[128];
  if (::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128) <= 0 ||
      ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128) <= 0)
    throw std::runtime_error("the user locale cannot format the date");
  return JoinDateAndTime(FromSystemTime(now), FromWide(date), FromWide(time));
}

UString TodayYmd() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  if (now.wYear < 1 || now.wMonth < 1 || now.wMonth > 12 || now.wDay < 1 || now.wDay > 31)
    return u"0";
  return FormatYmd(FromSystemTime(now));
}

}  // namespace velto
