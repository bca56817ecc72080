#include <windows.h>

#include <string>

#include "platform/handles_win.h"
#include "platform/known_folders.h"

namespace velto {

UString GetCurrentUserName() {
  wchar_t buffer[260] = {};
  DWORD size = 260;
  if (!::GetUserNameW(buffer, &size)) return UString();
  return FromWideBounded(buffer, 260);
}

std::string GetSystemLanguageName() {
  char buffer[260] = {};
  const int n = ::GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, buffer, sizeof(buffer));
  if (n <= 0) return std::string();
  size_t len = 0;
  while (len < sizeof(buffer) && buffer[len] != 0) ++len;
  return std::string(buffer, len);
}

}  // namespace velto
