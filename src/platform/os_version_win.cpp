#include <windows.h>
#include <winternl.h>

#include "platform/handles_win.h"
#include "platform/os_version.h"

namespace velto {
namespace {

// GetVersionExW as the program saw it at start-up: the "new layout" of the
// folder fallbacks and the last resort of the true version are decided by it.
const OSVERSIONINFOEXW& StartupVersionInfo() {
  static const OSVERSIONINFOEXW info = [] {
    OSVERSIONINFOEXW v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) {
      v = {};
      v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
      if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) v = {};
    }
    return v;
  }();
  return info;
}

// Taken while the program starts, before any code can ask.
[[maybe_unused]] const bool g_startupVersionTaken = (StartupVersionInfo(), true);

template <typename Fn>
Fn Lookup(const wchar_t* module, const char* name) {
  const HMODULE handle = ::GetModuleHandleW(module);
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(handle, name))) : nullptr;
}

uint32_t NativeArchitecture() {
  using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  SYSTEM_INFO info = {};
  if (const auto native = Lookup<GetNativeSystemInfoFn>(L"kernel32.dll", "GetNativeSystemInfo"))
    native(&info);
  else
    ::GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

// The version numbers in the process environment block, which compatibility
// shims leave alone. The layout is undocumented but fixed per bitness.
bool ReadPebVersion(TrueOsVersion* version) {
#ifdef _WIN64
  constexpr size_t kMajorOffset = 0x118;
#else
  constexpr size_t kMajorOffset = 0xA4;
#endif
  using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = Lookup<NtQueryInformationProcessFn>(L"ntdll.dll", "NtQueryInformationProcess");
  if (!query) return false;
  PROCESS_BASIC_INFORMATION basic = {};
  ULONG got = 0;
  if (query(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), &got) < 0 ||
      basic.PebBaseAddress == nullptr)
    return false;
  // Major (32 bits), minor (32 bits), build (16 bits), back to back.
  struct {
    ULONG major;
    ULONG minor;
    USHORT build;
  } fields = {};
  SIZE_T read = 0;
  const auto* at = reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + kMajorOffset;
  if (!::ReadProcessMemory(::GetCurrentProcess(), at, &fields, 10, &read) || read != 10) return false;
  if (fields.major == 0) return false;
  version->Major = fields.major;
  version->Minor = fields.minor;
  version->Build = fields.build;
  return true;
}

OsVersionRecord ComputeOsDescription() {
  using RtlGetVersionFn = LONG(NTAPI*)(OSVERSIONINFOEXW*);
  OSVERSIONINFOEXW v = {};
  v.dwOSVersionInfoSize = sizeof(v);
  const auto rtlGetVersion = Lookup<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
  bool filled = rtlGetVersion && rtlGetVersion(&v) >= 0;
  if (!filled) {
    v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    filled = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v)) != 0;
  }
  if (!filled) {
    v = {};
    v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) v = {};
  }
  OsDescriptionFacts facts;
  facts.isNt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
  facts.major = v.dwMajorVersion;
  facts.minor = v.dwMinorVersion;
  facts.build = v.dwBuildNumber;
  facts.productType = v.wProductType;
  facts.servicePack = FromWideBounded(v.szCSDVersion, 128);
  facts.isX64 = Lookup<void(WINAPI*)(LPSYSTEM_INFO)>(L"kernel32.dll", "GetNativeSystemInfo") != nullptr &&
                NativeArchitecture() == PROCESSOR_ARCHITECTURE_AMD64;
  if (facts.isNt) {
    facts.serverR2 = ::GetSystemMetrics(SM_SERVERR2) != 0;
    facts.tabletPc = ::GetSystemMetrics(SM_TABLETPC) != 0;
    facts.starter = ::GetSystemMetrics(SM_STARTER) != 0;
    facts.mediaCenter = ::GetSystemMetrics(SM_MEDIACENTER) != 0;
  }
  return DescribeOs(facts);
}

}  // namespace

uint32_t StartupOsMajorVersion() { return StartupVersionInfo().dwMajorVersion; }

TrueOsVersion StartupOsVersion() {
  const OSVERSIONINFOEXW& v = StartupVersionInfo();
  TrueOsVersion version;
  version.Major = v.dwMajorVersion;
  version.Minor = v.dwMinorVersion;
  version.Build = v.dwBuildNumber;
  return version;
}

TrueOsVersion GetTrueOsVersion() {
  static const TrueOsVersion version = [] {
    TrueOsVersion v;
    if (!ReadPebVersion(&v)) v = StartupOsVersion();
    return v;
  }();
  return version;
}

UString GetShortOsName(bool useTrueVersion) {
  OSVERSIONINFOEXW v = {};
  v.dwOSVersionInfoSize = sizeof(v);
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return UString();
  ShortOsFacts facts;
  facts.isNt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
  facts.major = v.dwMajorVersion;
  facts.minor = v.dwMinorVersion;
  facts.productType = v.wProductType;
  facts.nativeArchitecture = NativeArchitecture();
  if (useTrueVersion) {
    const TrueOsVersion real = GetTrueOsVersion();
    facts.major = real.Major;
    facts.minor = real.Minor;
  }
  return ShortOsName(facts);
}

const OsVersionRecord& GetOsDescription() {
  static const OsVersionRecord record = ComputeOsDescription();
  return record;
}

}  // namespace velto
