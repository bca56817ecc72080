// MS-DOS date and time as the ZIP format stores them (local time, two-second
// steps, years 1980 to 2107). Pure functions, so the clamping rules are
// tested natively.
#pragma once

#include <cstdint>

#include "platform/folder_enum.h"

namespace velto {

// (date << 16) | time. Dates before 1980 give 1980-01-01 00:00:00, dates after
// 2107 give 2107-12-31 23:59:58; odd seconds round down; fields out of their
// ranges are clamped into them.
uint32_t DosDateTime(const LocalTime& t);
LocalTime LocalTimeFromDos(uint32_t dos);

// The DOS form of a FILETIME value in the machine's local time; 1980-01-01
// when the time is unknown (0) or cannot be converted.
uint32_t DosDateTimeFromFileTime(uint64_t filetime);

}  // namespace velto
