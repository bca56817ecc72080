#include <windows.h>

#include <atomic>

#include "platform/wow64.h"

namespace velto {

#ifdef _WIN64

bool IsWow64() { return true; }
void InitWow64Redirection() {}
bool DisableWow64Redirection(void** old_state) {
  if (old_state != nullptr) *old_state = nullptr;
  return true;
}
bool RevertWow64Redirection(void*) { return true; }

#else

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

// Windows before XP SP2 lacks these entry points, so they are looked up rather
// than linked.
template <typename Fn>
Fn Kernel32Proc(const char* name) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

// 0 not yet asked, 1 false, 2 true. Every thread that fills it computes the same answer.
std::atomic<int> g_wow64{0};
std::atomic<DisableFn> g_disable{nullptr};
std::atomic<RevertFn> g_revert{nullptr};

}  // namespace

bool IsWow64() {
  int state = g_wow64.load(std::memory_order_relaxed);
  if (state == 0) {
    BOOL flag = FALSE;
    const auto fn = Kernel32Proc<IsWow64ProcessFn>("IsWow64Process");
    state = (fn != nullptr && fn(GetCurrentProcess(), &flag) && flag) ? 2 : 1;
    g_wow64.store(state, std::memory_order_relaxed);
  }
  return state == 2;
}

void InitWow64Redirection() {
  if (!IsWow64() || g_disable.load() != nullptr) return;
  g_disable.store(Kernel32Proc<DisableFn>("Wow64DisableWow64FsRedirection"));
  g_revert.store(Kernel32Proc<RevertFn>("Wow64RevertWow64FsRedirection"));
}

bool DisableWow64Redirection(void** old_state) {
  const DisableFn fn = g_disable.load();
  return fn != nullptr && old_state != nullptr && fn(old_state) != FALSE;
}

bool RevertWow64Redirection(void* old_state) {
  const RevertFn fn = g_revert.load();
  return fn != nullptr && fn(old_state) != FALSE;
}

#endif

}  // namespace velto
