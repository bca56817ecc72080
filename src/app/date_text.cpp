#include "app/date_text.h"

namespace velto {

namespace {
UString Padded(int value, size_t width) {
  UString s = UIntToText(static_cast<uint64_t>(value < 0 ? 0 : value));
  if (s.size() < width) s.insert(0, width - s.size(), u'0');
  return s;
}
}  // namespace

UString FormatYmd(const LocalDateTime& t) {
  return Padded(t.year, 4) + Padded(t.month, 2) + Padded(t.day, 2);
}

UString JoinDateAndTime(const LocalDateTime& t, const UString& short_date, const UString& long_time) {
  const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
  return midnight ? short_date : short_date + u" " + long_time;
}

}  // namespace velto
