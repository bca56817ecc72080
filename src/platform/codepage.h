// Conversions between the system's UTF-16 text and the machine's 8-bit code
// pages. On Windows these are the ANSI (CP_ACP) and OEM (CP_OEMCP) pages; the
// native build stands in Windows-1252 for ANSI and code page 437 for OEM.
#pragma once

#include <string>

#include "platform/text.h"

namespace velto {

std::string ToAnsi(const UString& text);
UString FromAnsi(const std::string& bytes);
std::string ToOem(const UString& text);
UString FromOem(const std::string& bytes);

}  // namespace velto
