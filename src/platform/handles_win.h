// Owners for Win32 handles: one type per handle kind, its invalid value part
// of the type, closing on every path while keeping the caller's last error.
#pragma once

#include <windows.h>

#include <utility>

#include "platform/text.h"

namespace velto {

// wchar_t is UTF-16 on Windows, so the system's text crosses by reinterpretation.
inline const wchar_t* WidePtr(const UString& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline UString FromWide(const wchar_t* s) {
  return s ? UString(reinterpret_cast<const char16_t*>(s)) : UString();
}
inline UString FromWide(const wchar_t* s, size_t n) {
  return UString(reinterpret_cast<const char16_t*>(s), n);
}
// Text of a fixed buffer of `cap` characters up to its first NUL, never past
// its end: platform calls do not always terminate what they fill.
inline UString FromWideBounded(const wchar_t* p, size_t cap) {
  size_t n = 0;
  while (n < cap && p[n] != 0) ++n;
  return FromWide(p, n);
}

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Type get() const { return h_; }
  bool valid() const { return h_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }
  Type release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(Type h = Traits::Invalid()) {
    if (valid()) {
      const DWORD err = GetLastError();
      Traits::Close(h_);
      SetLastError(err);
    }
    h_ = h;
  }
  // For APIs that return the handle through an out-parameter.
  Type* put() {
    reset();
    return &h_;
  }

 private:
  Type h_ = Traits::Invalid();
};

struct FileHandleTraits {  // CreateFile and FindFirstFile-style: INVALID_HANDLE_VALUE
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {  // OpenProcess, CreateFileMapping, threads: NULL
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {  // predefined roots are never owned by this type
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};
struct LocalMemTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::LocalFree(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueLocal = UniqueHandle<LocalMemTraits>;

}  // namespace velto
