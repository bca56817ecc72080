// Date and time texts of the report.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace velto {

struct LocalDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "yyyymmdd", as used in the package's file name.
UString FormatYmd(const LocalDateTime& t);

// The report's date line value: the short date, one blank and the long time,
// or only the short date when the time is exactly midnight.
UString JoinDateAndTime(const LocalDateTime& t, const UString& short_date, const UString& long_time);

}  // namespace velto
