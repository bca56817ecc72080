// Native stand-ins for the Windows code pages: Windows-1252 as the ANSI page
// and code page 437 as the OEM page (the pages of a US-English Windows).
// Characters a page cannot hold become '?', as WideCharToMultiByte does.
#include <array>

#include "platform/codepage.h"

namespace velto {

namespace {

using Table = std::array<char16_t, 128>;  // the upper half, bytes 0x80..0xFF

Table MakeTable(const char* utf8_upper_half) {
  const UString chars = FromUtf8(utf8_upper_half);
  Table t{};
  for (size_t i = 0; i < t.size() && i < chars.size(); ++i) t[i] = chars[i];
  return t;
}

const Table& Cp1252() {
  // Five bytes are unassigned in 1252; they map to the C1 controls as Windows does.
  static const Table t = [] {
    Table x = MakeTable(
        "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008dŽ\u008f\u0090‘’“”•–—˜™š›œ\u009džŸ");
    for (size_t i = 32; i < 128; ++i) x[i] = static_cast<char16_t>(0x80 + i);
    return x;
  }();
  return t;
}

const Table& Cp437() {
  static const Table t = MakeTable(
      "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»"
      "░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
      "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0");
  return t;
}

std::string Narrow(const Table& t, const UString& text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char b = '?';
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] == c) {
        b = static_cast<char>(0x80 + i);
        break;
      }
    }
    out.push_back(b);
  }
  return out;
}

UString Widen(const Table& t, const std::string& bytes) {
  UString out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) out.push_back(b < 0x80 ? b : t[b - 0x80]);
  return out;
}

}  // namespace

std::string ToAnsi(const UString& text) { return Narrow(Cp1252(), text); }
UString FromAnsi(const std::string& bytes) { return Widen(Cp1252(), bytes); }
std::string ToOem(const UString& text) { return Narrow(Cp437(), text); }
UString FromOem(const std::string& bytes) { return Widen(Cp437(), bytes); }

}  // namespace velto
