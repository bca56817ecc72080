// Texts shared by the report's writers.
#pragma once

namespace velto {

// The line of 81 asterisks between the sections of the main report and at
// the head of several of its files.
inline constexpr char16_t kSectionRule[] =
    u"*********************************************************************************";

}  // namespace velto
