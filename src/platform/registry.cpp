#include "platform/registry.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace velto {
namespace RegistryClassEx {
namespace {

// The view-aware flavour reads strings into a buffer of this many bytes, so a
// string of 1023 characters plus its terminator is the longest it returns.
constexpr uint32_t kViewAwareStringBytes = 2048;
// Longest names the registry allows, in characters with the terminator.
constexpr size_t kMaxKeyNameChars = 256;
constexpr size_t kMaxValueNameChars = 16384;
constexpr long kRegNotEnoughMemory = 8;

UString Message(const char* form, const UString& name) {
  UString text = Ascii(form);
  const size_t at = text.find(u"%s");
  if (at != UString::npos) text.replace(at, 2, name);
  return text;
}

[[noreturn]] void RaiseInvalidType(const UString& name) {
  throw ERegistryException(Message("Invalid data type for '%s'", name));
}
[[noreturn]] void RaiseGetFailed(const UString& name) {
  throw ERegistryException(Message("Failed to get data for '%s'", name));
}
[[noreturn]] void RaiseSetFailed(const UString& name) {
  throw ERegistryException(Message("Failed to set data for '%s'", name));
}

bool IsRelative(const UString& path) { return path.empty() || path[0] != u'\\'; }

// Registry bytes as UTF-16 up to the first NUL. An odd trailing byte is not
// half a character we could show, so it is dropped.
UString DecodeString(const std::vector<uint8_t>& data) {
  UString text;
  text.reserve(data.size() / 2);
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

bool IsWowNodeName(const UString& name) { return LowerCase(Trim(name)) == u"wow6432node"; }

}  // namespace

const char16_t kReadErrorMarker[] = u"veltoreaderror";

RegValueKind KindFromRegType(uint32_t type) {
  switch (type) {
    case kRegSz: return RegValueKind::String;
    case kRegExpandSz: return RegValueKind::ExpandString;
    case kRegDword: return RegValueKind::Integer;
    case kRegBinary: return RegValueKind::Binary;
    default: return RegValueKind::Unknown;
  }
}

uint32_t RegTypeFromKind(RegValueKind kind) {
  switch (kind) {
    case RegValueKind::String: return kRegSz;
    case RegValueKind::ExpandString: return kRegExpandSz;
    case RegValueKind::Integer: return kRegDword;
    case RegValueKind::Binary: return kRegBinary;
    default: return kRegNone;
  }
}

UString BytesToHexText(const uint8_t* data, size_t count, const UString& prefix) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  UString out;
  out.reserve(prefix.size() + (count > 0 ? count * 3 - 1 : 0));
  out += prefix;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out.push_back(u',');
    out.push_back(kDigits[data[i] >> 4]);
    out.push_back(kDigits[data[i] & 0xF]);
  }
  return out;
}

TRegistry::TRegistry(IRawRegistry& raw, RegFlavour flavour) : raw_(raw), flavour_(flavour) {
  if (flavour_ == RegFlavour::ViewAware) on_wow64_ = raw_.OnWow64();
}

TRegistry::TRegistry(IRawRegistry& raw, uint32_t access_mask) : TRegistry(raw, RegFlavour::ViewAware) {
  AccessMask = access_mask;
}

TRegistry::~TRegistry() = default;

void TRegistry::SelectRootKey(RegHandle root) {
  if (root == root_) return;
  root_ = root;
  CloseCurrentKey();
}

void TRegistry::CloseCurrentKey() {
  open_ = RawKey();
  open_path_.clear();
}

void TRegistry::SelectViewForPath(const UString& path) {
  if (flavour_ != RegFlavour::ViewAware || !on_wow64_ || !AutoSelectView) return;
  UString full;
  if (IsRelative(path)) {
    full = open_path_;
    if (full.empty() || full.back() != u'\\') full += u'\\';
    full += path;
  } else {
    full = path;
  }
  if (LowerCase(full).find(u"wow6432node") != UString::npos)
    AccessMask &= ~kKeyWow64_64Key;
  else
    AccessMask |= kKeyWow64_64Key;
}

bool TRegistry::OpenWithMask(const UString& path, bool can_create, uint32_t mask) {
  const bool relative = IsRelative(path);
  const UString sub = relative ? path : path.substr(1);
  const bool below_open = relative && open_;
  const RegHandle base = below_open ? open_.Get() : root_;
  RegHandle h = 0;
  const long rc = (can_create && !sub.empty()) ? raw_.CreateKey(base, sub, mask, &h)
                                               : raw_.OpenKey(base, sub, mask, &h);
  if (rc != kRegOk || h == 0) return false;
  RawKey opened(&raw_, h);
  UString new_path = below_open ? open_path_ + u"\\" + sub : sub;
  open_ = std::move(opened);  // the previous key closes only now that the new one is open
  open_path_ = std::move(new_path);
  return true;
}

bool TRegistry::OpenKeyPath(const UString& path, bool can_create) {
  SelectViewForPath(path);
  return OpenWithMask(path, can_create, AccessMask);
}

bool TRegistry::OpenKeyForReading(const UString& path) {
  SelectViewForPath(path);
  const uint32_t view = AccessMask & kKeyViewBits;
  for (uint32_t rights : {kKeyRead, kKeyReadNoNotify, kKeyQueryValue}) {
    if (OpenWithMask(path, false, view | rights)) {
      AccessMask = view | rights;
      return true;
    }
  }
  return false;
}

bool TRegistry::KeyPathExists(const UString& path) {
  const bool relative = IsRelative(path);
  const RegHandle base = (relative && open_) ? open_.Get() : root_;
  RegHandle h = 0;
  const long rc = raw_.OpenKey(base, relative ? path : path.substr(1),
                               (AccessMask & kKeyViewBits) | kKeyReadNoNotify, &h);
  RawKey probe(&raw_, rc == kRegOk ? h : 0);
  return rc == kRegOk;
}

bool TRegistry::HasChildKeys() {
  RegKeyInfo info;
  return open_ && raw_.QueryInfoKey(open_.Get(), &info) == kRegOk && info.SubKeyCount > 0;
}

// Names are asked for with room for the longest name the key information
// claims; that claim may be stale or wrong, so a "more data" answer grows the
// buffer up to the registry's own limit, and the count only bounds the walk.
void TRegistry::ListNames(bool subkeys, TStringList& list) {
  list.Clear();
  RegKeyInfo info;
  if (!open_ || raw_.QueryInfoKey(open_.Get(), &info) != kRegOk) return;
  const uint32_t count = subkeys ? info.SubKeyCount : info.ValueCount;
  const size_t limit = subkeys ? kMaxKeyNameChars : kMaxValueNameChars;
  const size_t longest = subkeys ? info.MaxSubKeyLen : info.MaxValueNameLen;
  std::vector<char16_t> buf(std::min(longest, limit - 1) + 1);
  for (uint32_t i = 0; i < count; ++i) {
    long rc;
    uint32_t chars;
    for (;;) {
      chars = static_cast<uint32_t>(buf.size());
      rc = subkeys ? raw_.EnumKey(open_.Get(), i, buf.data(), &chars)
                   : raw_.EnumValueName(open_.Get(), i, buf.data(), &chars);
      if (rc != kRegMoreData || buf.size() >= limit) break;
      buf.resize(std::min(buf.size() * 2, limit));
    }
    if (rc == kRegMoreData) continue;  // longer than any name the registry allows
    if (rc != kRegOk) break;
    const size_t len = std::min<size_t>(chars, buf.size());
    UString name(buf.data(), std::find(buf.data(), buf.data() + len, u'\0'));
    if (subkeys && flavour_ == RegFlavour::ViewAware && IsWowNodeName(name)) continue;
    list.Add(name);
  }
}

void TRegistry::ListSubkeyNames(TStringList& list) { ListNames(true, list); }
void TRegistry::ListValueNames(TStringList& list) { ListNames(false, list); }

bool TRegistry::QueryValueInfo(const UString& name, RegValueInfo* info) {
  *info = RegValueInfo();
  if (!open_) return false;
  uint32_t type = 0, size = 0;
  if (raw_.QueryValue(open_.Get(), name, &type, nullptr, &size) != kRegOk) return false;
  info->Kind = KindFromRegType(type);
  info->Size = size;
  info->Type = type;
  return true;
}

int64_t TRegistry::ValueSize(const UString& name) {
  RegValueInfo info;
  return QueryValueInfo(name, &info) ? static_cast<int64_t>(info.Size) : -1;
}

RegValueKind TRegistry::ValueKind(const UString& name) {
  RegValueInfo info;
  QueryValueInfo(name, &info);
  return info.Kind;
}

bool TRegistry::HasValue(const UString& name) {
  RegValueInfo info;
  return QueryValueInfo(name, &info);
}

// Reads a value's data. With a fixed room the data must fit it; otherwise the
// size is asked first and the read retried while the value keeps growing.
// The size the registry reports back is never taken beyond the buffer.
long TRegistry::ReadData(const UString& name, uint32_t fixed_room, uint32_t* type,
                         std::vector<uint8_t>* data) {
  data->clear();
  if (!open_) return kRegInvalidHandle;
  uint32_t room = fixed_room;
  if (fixed_room == 0) {
    const long rc = raw_.QueryValue(open_.Get(), name, type, nullptr, &room);
    if (rc != kRegOk) return rc;
  }
  try {
    for (int attempt = 0; attempt < 4; ++attempt) {
      data->assign(std::max<uint32_t>(room, 1), 0);  // a null buffer would only ask the size
      uint32_t got = room;
      const long rc = raw_.QueryValue(open_.Get(), name, type, data->data(), &got);
      if (rc == kRegOk) {
        data->resize(std::min(got, room));
        return kRegOk;
      }
      data->clear();
      if (rc != kRegMoreData || fixed_room != 0 || got <= room) return rc;
      room = got;
    }
  } catch (const std::bad_alloc&) {
    data->clear();
    return kRegNotEnoughMemory;
  }
  return kRegMoreData;
}

bool TRegistry::ReadStringData(const UString& name, uint32_t* type, UString* text) {
  std::vector<uint8_t> data;
  const uint32_t room = flavour_ == RegFlavour::ViewAware ? kViewAwareStringBytes : 0;
  if (ReadData(name, room, type, &data) != kRegOk) return false;
  *text = DecodeString(data);
  return true;
}

UString TRegistry::ReadText(const UString& name) {
  if (ValueSize(name) <= 0) return UString();
  uint32_t type = 0;
  UString text;
  if (!ReadStringData(name, &type, &text)) {
    if (flavour_ == RegFlavour::ViewAware) return UString();
    RaiseGetFailed(name);
  }
  if (type != kRegSz && type != kRegExpandSz) RaiseInvalidType(name);
  return text;
}

int32_t TRegistry::ReadDword(const UString& name) {
  if (flavour_ == RegFlavour::ViewAware) {
    RegValueInfo info;
    if (!QueryValueInfo(name, &info)) RaiseGetFailed(name);
    if (info.Type != kRegDword) RaiseInvalidType(name);
  }
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (ReadData(name, 4, &type, &data) != kRegOk) RaiseGetFailed(name);
  if (type != kRegDword) RaiseInvalidType(name);
  uint32_t value = 0;  // a short value is zero-extended
  for (size_t i = 0; i < data.size() && i < 4; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
  return static_cast<int32_t>(value);
}

size_t TRegistry::ReadBytes(const UString& name, void* buffer, size_t size) {
  RegValueInfo info;
  if (!QueryValueInfo(name, &info)) return 0;
  const bool bytes_kind = info.Kind == RegValueKind::Binary || info.Kind == RegValueKind::Unknown;
  if (!bytes_kind || info.Size > size) RaiseInvalidType(name);
  uint8_t spare = 0;  // a zero-length read still needs a buffer, or it becomes a size query
  uint8_t* target = size > 0 ? static_cast<uint8_t*>(buffer) : &spare;
  const uint32_t room = static_cast<uint32_t>(std::min<size_t>(size, std::numeric_limits<uint32_t>::max()));
  uint32_t got = room;
  uint32_t type = 0;
  if (raw_.QueryValue(open_.Get(), name, &type, target, &got) != kRegOk) RaiseGetFailed(name);
  // The kind may have changed after the size query.
  const RegValueKind now = KindFromRegType(type);
  if (now != RegValueKind::Binary && now != RegValueKind::Unknown) RaiseInvalidType(name);
  return std::min<size_t>(got, room);
}

UString TRegistry::FormValueText(const UString& name, bool type_prefix) {
  RegValueInfo info;
  if (!QueryValueInfo(name, &info) || info.Size == 0) return UString();
  switch (info.Kind) {
    case RegValueKind::String:
    case RegValueKind::ExpandString: {
      uint32_t type = 0;
      UString text;
      if (!ReadStringData(name, &type, &text)) {
        if (flavour_ == RegFlavour::ViewAware) return UString();  // too long for the buffer
        RaiseGetFailed(name);
      }
      // The value may have become another kind since the info query; its
      // bytes are then no text to show.
      if (type != kRegSz && type != kRegExpandSz) RaiseInvalidType(name);
      return text;
    }
    case RegValueKind::Integer: {
      const int32_t value = ReadDword(name);
      return type_prefix ? u"dword:" + HexUpper(static_cast<uint32_t>(value), 8) : IntToText(value);
    }
    default: {
      std::vector<uint8_t> bytes(info.Size);
      const size_t n = ReadBytes(name, bytes.data(), bytes.size());
      return BytesToHexText(bytes.data(), n, type_prefix ? u"hex:" : u"");
    }
  }
}

UString TRegistry::ValueAsText(const UString& name, bool type_prefix) {
  if (flavour_ == RegFlavour::Plain) return FormValueText(name, type_prefix);
  try {
    return FormValueText(name, type_prefix);
  } catch (...) {
    return kReadErrorMarker;
  }
}

void TRegistry::WriteDword(const UString& name, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint8_t data[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                           static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  if (!open_ || raw_.SetValue(open_.Get(), name, kRegDword, data, 4) != kRegOk) RaiseSetFailed(name);
}

bool TRegistry::RemoveValue(const UString& name) {
  return open_ && raw_.DeleteValue(open_.Get(), name) == kRegOk;
}

}  // namespace RegistryClassEx
}  // namespace velto
