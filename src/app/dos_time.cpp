#include "app/dos_time.h"

#include <algorithm>

namespace velto {

uint32_t DosDateTime(const LocalTime& t) {
  if (t.year < 1980) return (uint32_t((0 << 9) | (1 << 5) | 1) << 16);
  if (t.year > 2107) return (uint32_t((127 << 9) | (12 << 5) | 31) << 16) | ((23 << 11) | (59 << 5) | 29);
  const uint32_t month = static_cast<uint32_t>(std::clamp(t.month, 1, 12));
  const uint32_t day = static_cast<uint32_t>(std::clamp(t.day, 1, 31));
  const uint32_t hour = static_cast<uint32_t>(std::clamp(t.hour, 0, 23));
  const uint32_t minute = static_cast<uint32_t>(std::clamp(t.minute, 0, 59));
  const uint32_t second = static_cast<uint32_t>(std::clamp(t.second, 0, 59));
  const uint32_t date = (static_cast<uint32_t>(t.year - 1980) << 9) | (month << 5) | day;
  const uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return (date << 16) | time;
}

LocalTime LocalTimeFromDos(uint32_t dos) {
  LocalTime t;
  const uint32_t date = dos >> 16, time = dos & 0xFFFF;
  t.year = 1980 + static_cast<int>(date >> 9);
  t.month = static_cast<int>((date >> 5) & 0xF);
  t.day = static_cast<int>(date & 0x1F);
  t.hour = static_cast<int>(time >> 11);
  t.minute = static_cast<int>((time >> 5) & 0x3F);
  t.second = static_cast<int>((time & 0x1F) * 2);
  return t;
}

uint32_t DosDateTimeFromFileTime(uint64_t filetime) {
  LocalTime t;
  if (filetime == 0 || !FileTimeToLocal(filetime, &t)) t = LocalTime();
  return DosDateTime(t);
}

}  // namespace velto
