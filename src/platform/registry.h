// TRegistry: every registry read of the program goes through this class. It
// wraps one open key below a predefined root and comes in two flavours, fixed
// when the object is built:
//  - view-aware: on 64-bit Windows each open picks the registry view from the
//    path (a path that mentions Wow6432Node is read in the 32-bit view, any
//    other in the 64-bit view), listings hide "Wow6432Node" subkeys, string
//    reads stop at 2048 bytes and ValueAsText answers "veltoreaderror" for a
//    value it cannot read instead of raising;
//  - plain: opens in whatever view AccessMask names, lists everything, reads
//    strings of any length and lets read failures raise.
// The class works over IRawRegistry, so its rules run unchanged over the real
// registry and over the in-memory one of the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/raw_registry.h"
#include "platform/string_list.h"
#include "platform/text.h"

namespace velto {
namespace RegistryClassEx {

// Raised by the typed reads and writes; the message names the value.
class ERegistryException : public std::runtime_error {
 public:
  explicit ERegistryException(const UString& message)
      : std::runtime_error(ToUtf8(message)), message_(message) {}
  const UString& Message() const { return message_; }

 private:
  UString message_;
};

enum class RegValueKind { Unknown = 0, String = 1, ExpandString = 2, Integer = 3, Binary = 4 };

RegValueKind KindFromRegType(uint32_t type);
uint32_t RegTypeFromKind(RegValueKind kind);

enum class RegFlavour { ViewAware, Plain };

struct RegValueInfo {
  RegValueKind Kind = RegValueKind::Unknown;
  uint32_t Size = 0;   // bytes
  uint32_t Type = 0;   // the registry's own type number
};

// "hex:01,AB,FF" for the bytes 01 AB FF and the prefix "hex:".
UString BytesToHexText(const uint8_t* data, size_t count, const UString& prefix);

// Shown in place of a value's text when the view-aware flavour cannot read it.
extern const char16_t kReadErrorMarker[];  // "veltoreaderror"

class TRegistry {
 public:
  // View-aware unless told otherwise: root HKEY_CURRENT_USER, KEY_ALL_ACCESS.
  explicit TRegistry(IRawRegistry& raw, RegFlavour flavour = RegFlavour::ViewAware);
  // View-aware with the given access mask.
  TRegistry(IRawRegistry& raw, uint32_t access_mask);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Mask passed to every open; bit 0x100 selects the 64-bit view, 0x200 the 32-bit view.
  uint32_t AccessMask = kKeyAllAccess;
  // View-aware flavour: when false the view bits of AccessMask are used as they stand.
  bool AutoSelectView = true;

  RegFlavour Flavour() const { return flavour_; }
  bool OnWow64() const { return on_wow64_; }
  RegHandle OpenHandle() const { return open_.Get(); }
  RegHandle RootHandle() const { return root_; }
  const UString& OpenPath() const { return open_path_; }

  // A different root closes the open key; the same root changes nothing.
  void SelectRootKey(RegHandle root);
  void CloseCurrentKey();
  // Paths starting with "\" resolve below the root, others below the open key
  // (or the root when none is open). On failure the open key stays open.
  bool OpenKeyPath(const UString& path, bool can_create);
  // Opens with the first of KEY_READ, KEY_READ without KEY_NOTIFY, and
  // KEY_QUERY_VALUE that the key grants; that mask (plus the view bits)
  // becomes AccessMask for later opens.
  bool OpenKeyForReading(const UString& path);
  // Plain flavour: whether the path opens for reading; the open key is kept.
  bool KeyPathExists(const UString& path);

  bool HasChildKeys();
  void ListSubkeyNames(TStringList& list);
  void ListValueNames(TStringList& list);

  // The empty name stands for the key's default value.
  bool QueryValueInfo(const UString& name, RegValueInfo* info);
  int64_t ValueSize(const UString& name);  // -1 when the value cannot be queried
  RegValueKind ValueKind(const UString& name);
  bool HasValue(const UString& name);

  // Empty text for a missing or empty value; raises "Invalid data type for
  // '%s'" for a value that is not a string.
  UString ReadText(const UString& name);
  int32_t ReadDword(const UString& name);
  // Reads a Binary or Unknown value into `buffer`; returns the bytes read.
  size_t ReadBytes(const UString& name, void* buffer, size_t size);
  // One line of text for any value (see registry.cpp for the forms).
  UString ValueAsText(const UString& name, bool type_prefix);

  // Plain flavour writes.
  void WriteDword(const UString& name, int32_t value);
  bool RemoveValue(const UString& name);

 private:
  void SelectViewForPath(const UString& path);
  bool OpenWithMask(const UString& path, bool can_create, uint32_t mask);
  bool ReadStringData(const UString& name, uint32_t* type, UString* text);
  long ReadData(const UString& name, uint32_t limit, uint32_t* type, std::vector<uint8_t>* data);
  UString FormValueText(const UString& name, bool type_prefix);
  void ListNames(bool subkeys, TStringList& list);

  IRawRegistry& raw_;
  RegFlavour flavour_;
  bool on_wow64_ = false;
  RawKey open_;
  RegHandle root_ = kHkeyCurrentUser;
  UString open_path_;
};

}  // namespace RegistryClassEx

using RegistryClassEx::ERegistryException;
using RegistryClassEx::RegFlavour;
using RegistryClassEx::RegValueInfo;
using RegistryClassEx::RegValueKind;
using RegistryClassEx::TRegistry;
using RegistryClassEx::BytesToHexText;

}  // namespace velto
