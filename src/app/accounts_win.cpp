#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

#include <vector>

#include "app/accounts_win.h"
#include "platform/handles_win.h"

namespace velto {

namespace {

using ActiveConsoleSessionFn = DWORD(WINAPI*)();

bool g_is_windows_2000 = false;
ActiveConsoleSessionFn g_active_console_session = nullptr;

// Terminal Services hands out buffers that only WTSFreeMemory may release.
class WtsBuffer {
 public:
  WtsBuffer() = default;
  ~WtsBuffer() {
    if (p_) ::WTSFreeMemory(p_);
  }
  WtsBuffer(const WtsBuffer&) = delete;
  WtsBuffer& operator=(const WtsBuffer&) = delete;
  LPWSTR* put() { return &p_; }
  LPWSTR get() const { return p_; }

 private:
  LPWSTR p_ = nullptr;
};

// Runs `visit` for every process of a fresh snapshot, in snapshot order, until
// it returns true. Returns the id it stopped at, or 0.
template <typename Visit>
uint32_t WalkProcesses(Visit&& visit) {
  UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok;
       ok = ::Process32NextW(snapshot.get(), &entry)) {
    entry.szExeFile[MAX_PATH - 1] = L'\0';
    const UString name = ExtractFileName(FromWide(entry.szExeFile));
    if (visit(name, static_cast<uint32_t>(entry.th32ProcessID))) return entry.th32ProcessID;
  }
  return 0;
}

bool SessionIsActive(DWORD session) {
  WtsBuffer buffer;
  DWORD bytes = 0;
  if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSConnectState,
                                     buffer.put(), &bytes))
    return false;
  if (!buffer.get() || bytes < sizeof(WTS_CONNECTSTATE_CLASS)) return false;
  return *reinterpret_cast<const WTS_CONNECTSTATE_CLASS*>(buffer.get()) == WTSActive;
}

}  // namespace

void InitWindows2000Test() {
  OSVERSIONINFOW info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const bool known = ::GetVersionExW(&info) != 0;
#pragma GCC diagnostic pop
  g_is_windows_2000 = known && info.dwMajorVersion == 5 && info.dwMinorVersion == 0;
  if (g_is_windows_2000) return;
  // kernel32 is mapped into every process, so the module handle stays valid.
  if (HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll")) {
    g_active_console_session = reinterpret_cast<ActiveConsoleSessionFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "WTSGetActiveConsoleSessionId")));
  }
}

bool IsWindows2000() { return g_is_windows_2000; }

uint32_t GetInteractiveSessionId() {
  DWORD found = 0;
  WalkProcesses([&](const UString& name, uint32_t pid) {
    if (!SameText(name, u"explorer.exe")) return false;
    DWORD session = 0;
    if (!::ProcessIdToSessionId(pid, &session)) return false;
    if (!SessionIsActive(session)) return false;
    found = session;
    return true;
  });
  // 0xFFFFFFFF (no session attached to the console) passes through: asking
  // for that session's user then fails, giving the empty name.
  if (found == 0 && g_active_console_session) return g_active_console_session();
  return found;
}

UString GetInteractiveUserName() {
  if (g_is_windows_2000) return GetProcessUserName(FindExplorerProcessId(UString()));
  const DWORD session = GetInteractiveSessionId();
  WtsBuffer buffer;
  DWORD bytes = 0;
  if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName,
                                     buffer.put(), &bytes) ||
      !buffer.get())
    return UString();
  // Never read past what the call says it returned, terminator or not.
  const UString name = FromWideBounded(buffer.get(), bytes / sizeof(wchar_t));
  return SameText(name, u"system") ? UString() : name;
}

UString GetProcessUserName(uint32_t process_id) {
  UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
  if (!process) return UString();
  UniqueKernelHandle token;
  if (!::OpenProcessToken(process.get(), TOKEN_QUERY, token.put())) return UString();

  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer;
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (size == 0 || size > 64 * 1024) return UString();
    buffer.assign(size, 0);
    if (::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) break;
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return UString();
    if (attempt == 7) return UString();
  }
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;

  DWORD name_len = 0, domain_len = 0;
  SID_NAME_USE use;
  ::LookupAccountSidW(nullptr, sid, nullptr, &name_len, nullptr, &domain_len, &use);
  if (name_len == 0 || domain_len == 0) return UString();
  std::vector<wchar_t> name(name_len + 1, L'\0'), domain(domain_len + 1, L'\0');
  if (!::LookupAccountSidW(nullptr, sid, name.data(), &name_len, domain.data(), &domain_len, &use))
    return UString();
  return FromWide(name.data());  // cut at the first NUL
}

uint32_t FindProcessId(const UString& exe_name, const UString& account_name) {
  return WalkProcesses([&](const UString& name, uint32_t pid) {
    if (!SameText(name, exe_name)) return false;
    return account_name.empty() || SameText(GetProcessUserName(pid), account_name);
  });
}

uint32_t FindExplorerProcessId(const UString& account_name) {
  return FindProcessId(u"explorer.exe", account_name);
}

UString GetAccountSid(const UString& account_name) {
  if (account_name.empty()) return UString();
  DWORD sid_size = 0;
  std::vector<wchar_t> domain(2050, L'\0');
  DWORD domain_len = static_cast<DWORD>(domain.size());
  SID_NAME_USE use;
  ::LookupAccountNameW(nullptr, WidePtr(account_name), nullptr, &sid_size, domain.data(),
                       &domain_len, &use);
  if (sid_size == 0 || sid_size > SECURITY_MAX_SID_SIZE * 4) return UString();
  std::vector<unsigned char> sid(sid_size, 0);
  domain_len = static_cast<DWORD>(domain.size());
  if (!::LookupAccountNameW(nullptr, WidePtr(account_name), sid.data(), &sid_size, domain.data(),
                            &domain_len, &use))
    return UString();
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(sid.data(), &text)) return UString();
  UniqueLocal owner(text);
  return FromWide(text);
}

UString GetInteractiveUserSid() {
  const UString name = GetInteractiveUserName();
  return name.empty() ? UString() : GetAccountSid(name);
}

}  // namespace velto
