#include <windows.h>

#include <algorithm>

#include "platform/handles_win.h"
#include "platform/raw_registry_win.h"
#include "platform/wow64.h"

namespace velto {
namespace {

// Predefined roots are small 32-bit numbers that a 64-bit HKEY holds sign-extended.
HKEY ToHkey(RegHandle h) {
  if (IsPredefinedKey(h))
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(static_cast<uint32_t>(h))));
  return reinterpret_cast<HKEY>(static_cast<uintptr_t>(h));
}

RegHandle FromHkey(HKEY k) {
  const auto bits = reinterpret_cast<uintptr_t>(k);
  const RegHandle low = static_cast<uint32_t>(bits);
  if (IsPredefinedKey(low) && ToHkey(low) == k) return low;
  return static_cast<RegHandle>(bits);
}

// The 32-bit program opens keys in the 32-bit view unless it names a view.
// The 64-bit build stands in for it (see wow64.h), so it asks for that view
// itself; paths that name Wow6432Node reach the same key in either view.
REGSAM ViewedAccess(uint32_t access) {
#ifdef _WIN64
  if ((access & kKeyViewBits) == 0) access |= KEY_WOW64_32KEY;
#endif
  return static_cast<REGSAM>(access);
}

const wchar_t* NameOrNull(const UString& name) { return name.empty() ? nullptr : WidePtr(name); }

class Win32Registry : public IRawRegistry {
 public:
  bool OnWow64() const override { return IsWow64(); }

  long OpenKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) override {
    UniqueRegKey key;
    const LONG rc = RegOpenKeyExW(ToHkey(base), WidePtr(sub), 0, ViewedAccess(access), key.put());
    return Handed(rc, key, out);
  }

  long CreateKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) override {
    UniqueRegKey key;
    const LONG rc = RegCreateKeyExW(ToHkey(base), WidePtr(sub), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    ViewedAccess(access), nullptr, key.put(), nullptr);
    return Handed(rc, key, out);
  }

  void CloseKey(RegHandle key) override {
    if (key != 0 && !IsPredefinedKey(key)) UniqueRegKey closing(ToHkey(key));
  }

  long QueryInfoKey(RegHandle key, RegKeyInfo* info) override {
    DWORD subkeys = 0, max_subkey = 0, values = 0, max_name = 0, max_data = 0;
    FILETIME written{};
    const LONG rc = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subkeys, &max_subkey,
                                     nullptr, &values, &max_name, &max_data, nullptr, &written);
    if (rc != ERROR_SUCCESS) return rc;
    info->SubKeyCount = subkeys;
    info->MaxSubKeyLen = max_subkey;
    info->ValueCount = values;
    info->MaxValueNameLen = max_name;
    info->MaxValueLen = max_data;
    info->LastWriteTime = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return ERROR_SUCCESS;
  }

  long EnumKey(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) override {
    DWORD n = *chars;
    const LONG rc = RegEnumKeyExW(ToHkey(key), index, reinterpret_cast<wchar_t*>(name), &n, nullptr,
                                  nullptr, nullptr, nullptr);
    return Named(rc, n, name, chars);
  }

  long EnumValueName(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) override {
    DWORD n = *chars;
    const LONG rc = RegEnumValueW(ToHkey(key), index, reinterpret_cast<wchar_t*>(name), &n, nullptr,
                                  nullptr, nullptr, nullptr);
    return Named(rc, n, name, chars);
  }

  long QueryValue(RegHandle key, const UString& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override {
    DWORD t = REG_NONE;
    DWORD n = size != nullptr ? *size : 0;
    const DWORD room = n;
    const LONG rc = RegQueryValueExW(ToHkey(key), NameOrNull(name), nullptr, &t, data,
                                     size != nullptr ? &n : nullptr);
    if (type != nullptr) *type = t;
    if (size != nullptr) *size = n;
    if (rc == ERROR_SUCCESS && data != nullptr && n > room) {
      *size = room;  // never report more bytes than the buffer holds
      return ERROR_MORE_DATA;
    }
    return rc;
  }

  long SetValue(RegHandle key, const UString& name, uint32_t type, const uint8_t* data,
                uint32_t size) override {
    return RegSetValueExW(ToHkey(key), NameOrNull(name), 0, type, data, size);
  }

  long DeleteValue(RegHandle key, const UString& name) override {
    return RegDeleteValueW(ToHkey(key), NameOrNull(name));
  }

 private:
  static long Handed(LONG rc, UniqueRegKey& key, RegHandle* out) {
    if (rc != ERROR_SUCCESS) return rc;
    *out = FromHkey(key.release());
    return ERROR_SUCCESS;
  }

  // The length the API hands back is kept inside the buffer and ends at a NUL.
  static long Named(LONG rc, DWORD n, char16_t* name, uint32_t* chars) {
    if (rc != ERROR_SUCCESS) return rc;
    if (*chars == 0) return ERROR_MORE_DATA;
    n = std::min<DWORD>(n, *chars - 1);
    name[n] = 0;
    *chars = n;
    return ERROR_SUCCESS;
  }
};

}  // namespace

IRawRegistry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace velto
