// The tool prints UTF-8; a Windows console shows it only when its output
// code page says so. The console belongs to whoever started the tool, so
// the code page it had is put back when the tool ends. Compiled into every
// build of the tool: the native build has no console code page to set.
#ifdef _WIN32
#include <windows.h>
#endif

namespace velto {

#ifdef _WIN32
namespace {

// Puts the console's output code page back at exit (static destruction runs
// on every return from wmain and on exit()).
class ConsoleCodePage {
 public:
  ConsoleCodePage() : saved_(::GetConsoleOutputCP()) {
    // Both fail harmlessly when there is no console (output redirected and
    // no console attached): then there is nothing to restore either.
    changed_ = saved_ != 0 && saved_ != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8);
  }
  ~ConsoleCodePage() {
    if (changed_) ::SetConsoleOutputCP(saved_);
  }
  ConsoleCodePage(const ConsoleCodePage&) = delete;
  ConsoleCodePage& operator=(const ConsoleCodePage&) = delete;

 private:
  UINT saved_;
  bool changed_ = false;
};

}  // namespace
#endif

void UseUtf8Console() {
#ifdef _WIN32
  static ConsoleCodePage code_page;
#endif
}

}  // namespace velto
