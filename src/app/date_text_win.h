#pragma once

#include "platform/text.h"

namespace velto {

// Now in the user's locale: short date, one blank, long time (date only at
// exactly midnight). Throws std::runtime_error when the locale cannot format it.
UString CurrentDateTimeText();

// Today's local date as "yyyymmdd", or "0" when it cannot be formatted.
UString TodayYmd();

}  // namespace velto
