// The tool prints UTF-8; a Windows console shows it only when its output
// code page says so. Compiled into every build of the tool: the native
// build has no console code page to set.
#ifdef _WIN32
#include <windows.h>
#endif

namespace velto {

void UseUtf8Console() {
#ifdef _WIN32
  // Fails harmlessly when stdout is not a console (redirected to a file).
  ::SetConsoleOutputCP(CP_UTF8);
#endif
}

}  // namespace velto
