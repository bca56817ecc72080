#include <windows.h>

#include "platform/codepage.h"
#include "platform/handles_win.h"

namespace velto {

namespace {

std::string Narrow(UINT cp, const UString& text) {
  if (text.empty()) return std::string();
  const int n = ::WideCharToMultiByte(cp, 0, WidePtr(text), static_cast<int>(text.size()), nullptr,
                                      0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(cp, 0, WidePtr(text), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
  return out;
}

UString Widen(UINT cp, const std::string& bytes) {
  if (bytes.empty()) return UString();
  const int n =
      ::MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return UString();
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return FromWide(out.data(), out.size());
}

}  // namespace

std::string ToAnsi(const UString& text) { return Narrow(CP_ACP, text); }
UString FromAnsi(const std::string& bytes) { return Widen(CP_ACP, bytes); }
std::string ToOem(const UString& text) { return Narrow(CP_OEMCP, text); }
UString FromOem(const std::string& bytes) { return Widen(CP_OEMCP, bytes); }

}  // namespace velto
