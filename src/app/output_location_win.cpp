#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "app/accounts_win.h"
#include "app/date_text_win.h"
#include "app/output_location.h"
#include "app/report_steps_win.h"
#include "app/report_thread_win.h"
#include "platform/handles_win.h"
#include "platform/known_folders.h"

namespace velto {

namespace {

// The absolute, normalised form of a path; the path itself when that fails.
UString FullPath(const UString& path) {
  DWORD size = ::GetFullPathNameW(WidePtr(path), 0, nullptr, nullptr);
  for (int attempt = 0; attempt < 4 && size > 0; ++attempt) {
    std::vector<wchar_t> buffer(size + 1, L'\0');
    const DWORD got = ::GetFullPathNameW(WidePtr(path), size + 1, buffer.data(), nullptr);
    if (got == 0) break;
    if (got <= size) return FromWide(buffer.data(), got);
    size = got;
  }
  return path;
}

}  // namespace

void ResolveOutputFileName() {
  OutputLocationFacts facts;
  facts.desktop_folder = GetSpecialFolderWithFallback(nullptr, CSIDL_DESKTOPDIRECTORY);
  facts.program_folder = ProgramFolder();
  if (!facts.desktop_folder.empty()) {
    facts.interactive_user = GetInteractiveUserName();
    facts.process_owner = GetProcessUserName(::GetCurrentProcessId());
  }
  facts.date_text = TodayYmd();
  SetOutputFileName(FullPath(ComposeOutputFileName(facts)));
}

}  // namespace velto
