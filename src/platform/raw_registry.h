// The small registry interface that the registry class, its exports and the
// registry-reading collectors work over. It mirrors the Windows registry API
// closely (error codes, byte sizes, "more data" answers) so that the rules
// built on top behave the same over the real registry and over the in-memory
// one used by the native tests.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace velto {

// An open key of a raw registry; 0 is "no key". The predefined roots carry
// the values Windows gives them, so they can be written and compared portably.
using RegHandle = uint64_t;

inline constexpr RegHandle kHkeyClassesRoot = 0x80000000u;
inline constexpr RegHandle kHkeyCurrentUser = 0x80000001u;
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;
inline constexpr RegHandle kHkeyUsers = 0x80000003u;
inline constexpr RegHandle kHkeyCurrentConfig = 0x80000005u;

inline bool IsPredefinedKey(RegHandle h) { return h >= 0x80000000u && h <= 0x80000006u; }

// Access rights and view bits, as the registry API numbers them.
inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeySetValue = 0x0002;
inline constexpr uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr uint32_t kKeyNotify = 0x0010;
inline constexpr uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr uint32_t kKeyWow64_32Key = 0x0200;
inline constexpr uint32_t kKeyViewBits = kKeyWow64_64Key | kKeyWow64_32Key;
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyReadNoNotify = 0x20009;
inline constexpr uint32_t kKeyAllAccess = 0xF003F;

// Value types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegDwordBigEndian = 5;
inline constexpr uint32_t kRegLink = 6;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// Result codes (Win32 error numbers).
inline constexpr long kRegOk = 0;
inline constexpr long kRegNotFound = 2;
inline constexpr long kRegAccessDenied = 5;
inline constexpr long kRegInvalidHandle = 6;
inline constexpr long kRegInvalidParameter = 87;
inline constexpr long kRegBadPathName = 161;
inline constexpr long kRegMoreData = 234;
inline constexpr long kRegNoMoreItems = 259;

// What RegQueryInfoKeyW reports: counts, longest names in characters (without
// the terminator), longest data in bytes, last write time as a FILETIME.
struct RegKeyInfo {
  uint32_t SubKeyCount = 0;
  uint32_t MaxSubKeyLen = 0;
  uint32_t ValueCount = 0;
  uint32_t MaxValueNameLen = 0;
  uint32_t MaxValueLen = 0;
  uint64_t LastWriteTime = 0;
};

class IRawRegistry {
 public:
  virtual ~IRawRegistry() = default;

  // True when the machine is 64-bit Windows seen from the 32-bit program, so
  // that both registry views exist and "Wow6432Node" paths mean something.
  virtual bool OnWow64() const = 0;

  // `access` holds the rights asked for plus the view bits. `sub` is relative
  // to `base`; the empty text opens a new handle to `base` itself.
  virtual long OpenKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) = 0;
  virtual long CreateKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) = 0;
  // Predefined roots are never closed.
  virtual void CloseKey(RegHandle key) = 0;

  virtual long QueryInfoKey(RegHandle key, RegKeyInfo* info) = 0;
  // `name` has room for *chars characters including the terminator; on success
  // *chars is the name's length without it. kRegMoreData when it does not fit,
  // kRegNoMoreItems past the last index.
  virtual long EnumKey(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) = 0;
  virtual long EnumValueName(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) = 0;
  // With `data` null only the type and size are asked for. Otherwise *size is
  // the room in `data` on entry and the bytes written on return; kRegMoreData
  // (with *size the size needed) when the data does not fit.
  virtual long QueryValue(RegHandle key, const UString& name, uint32_t* type, uint8_t* data,
                          uint32_t* size) = 0;
  virtual long SetValue(RegHandle key, const UString& name, uint32_t type, const uint8_t* data,
                        uint32_t size) = 0;
  virtual long DeleteValue(RegHandle key, const UString& name) = 0;
};

// Owns one key of a raw registry for the length of a scope.
class RawKey {
 public:
  RawKey() = default;
  RawKey(IRawRegistry* reg, RegHandle h) : reg_(reg), h_(h) {}
  ~RawKey() { Reset(); }
  RawKey(RawKey&& o) noexcept : reg_(o.reg_), h_(o.Release()) {}
  RawKey& operator=(RawKey&& o) noexcept {
    if (this != &o) {
      Reset();
      reg_ = o.reg_;
      h_ = o.Release();
    }
    return *this;
  }
  RawKey(const RawKey&) = delete;
  RawKey& operator=(const RawKey&) = delete;

  RegHandle Get() const { return h_; }
  explicit operator bool() const { return h_ != 0; }
  RegHandle Release() {
    const RegHandle h = h_;
    h_ = 0;
    return h;
  }
  void Reset() {
    if (h_ != 0 && reg_ != nullptr) reg_->CloseKey(h_);
    h_ = 0;
  }

 private:
  IRawRegistry* reg_ = nullptr;
  RegHandle h_ = 0;
};

}  // namespace velto
