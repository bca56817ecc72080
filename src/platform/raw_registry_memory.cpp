#include "platform/raw_registry_memory.h"

#include <algorithm>
#include <cstring>

namespace velto {
namespace {

const char16_t kWowNode[] = u"Wow6432Node";

// Components of a subkey path. Windows accepts repeated and trailing
// backslashes between components but refuses a path that starts with one.
bool SplitPath(const UString& path, std::vector<UString>* parts) {
  if (!path.empty() && path[0] == u'\\') return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == UString::npos) end = path.size();
    if (end > start) parts->push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

std::vector<uint8_t> Utf16Bytes(const UString& text, bool terminator) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminator) out.insert(out.end(), {0, 0});
  return out;
}

long CopyName(const UString& name, char16_t* buf, uint32_t* chars) {
  if (chars == nullptr || buf == nullptr) return kRegInvalidParameter;
  if (name.size() + 1 > *chars) return kRegMoreData;
  std::copy(name.begin(), name.end(), buf);
  buf[name.size()] = 0;
  *chars = static_cast<uint32_t>(name.size());
  return kRegOk;
}

}  // namespace

MemoryRegistry::Node* MemoryRegistry::Node::Child(const UString& name) const {
  for (const auto& n : Subkeys)
    if (SameText(n->Name, name)) return n.get();
  return nullptr;
}

MemoryRegistry::Node* MemoryRegistry::Node::AddChild(const UString& name) {
  if (Node* n = Child(name)) return n;
  auto node = std::make_unique<Node>();
  node->Name = name;
  const UString key = UpperCase(name);
  auto at = std::find_if(Subkeys.begin(), Subkeys.end(),
                         [&](const std::unique_ptr<Node>& n) { return UpperCase(n->Name) > key; });
  return Subkeys.insert(at, std::move(node))->get();
}

MemoryRegistry::Value* MemoryRegistry::Node::FindValue(const UString& name) {
  for (auto& v : Values)
    if (SameText(v.Name, name)) return &v;
  return nullptr;
}

MemoryRegistry::MemoryRegistry(Machine machine) : machine_(machine) {
  for (RegHandle r : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers,
                      kHkeyCurrentConfig})
    roots_[r] = std::make_unique<Node>();
  Node* software = roots_[kHkeyLocalMachine]->AddChild(u"SOFTWARE");
  if (machine_ == Machine::Windows64) {
    software->Redirected = true;
    software->AddChild(kWowNode);
  }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Root(RegHandle root) const {
  auto it = roots_.find(root);
  return it == roots_.end() ? nullptr : it->second.get();
}

MemoryRegistry::Node* MemoryRegistry::Seed(RegHandle root, const UString& path) {
  Node* node = Root(root);
  std::vector<UString> parts;
  if (node == nullptr || !SplitPath(path, &parts)) return nullptr;
  for (const UString& p : parts) node = node->AddChild(p);
  return node;
}

void MemoryRegistry::AddKey(RegHandle root, const UString& path) { Seed(root, path); }

void MemoryRegistry::SetValue(RegHandle root, const UString& path, const UString& name,
                              uint32_t type, const std::vector<uint8_t>& data) {
  Node* node = Seed(root, path);
  if (node == nullptr) return;
  if (Value* v = node->FindValue(name)) {
    v->Type = type;
    v->Data = data;
  } else {
    node->Values.push_back(Value{name, type, data});
  }
}

void MemoryRegistry::SetString(RegHandle root, const UString& path, const UString& name,
                               const UString& text, uint32_t type) {
  SetValue(root, path, name, type, Utf16Bytes(text, true));
}

void MemoryRegistry::SetDword(RegHandle root, const UString& path, const UString& name,
                              uint32_t value) {
  SetValue(root, path, name, kRegDword,
           {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
}

void MemoryRegistry::SetQword(RegHandle root, const UString& path, const UString& name,
                              uint64_t value) {
  std::vector<uint8_t> data;
  for (int i = 0; i < 8; ++i) data.push_back(static_cast<uint8_t>(value >> (8 * i)));
  SetValue(root, path, name, kRegQword, data);
}

void MemoryRegistry::SetMultiString(RegHandle root, const UString& path, const UString& name,
                                    const std::vector<UString>& items) {
  std::vector<uint8_t> data;
  for (const UString& s : items) {
    const auto b = Utf16Bytes(s, true);
    data.insert(data.end(), b.begin(), b.end());
  }
  data.insert(data.end(), {0, 0});
  SetValue(root, path, name, kRegMultiSz, data);
}

void MemoryRegistry::SetAllowedAccess(RegHandle root, const UString& path, uint32_t rights) {
  if (Node* node = Seed(root, path)) node->Allowed = rights;
}

// Walks `sub` below `base`. In the 32-bit view on 64-bit Windows, a walk that
// reaches HKLM\SOFTWARE continues in its Wow6432Node child, unless the path
// itself names Wow6432Node next (64-bit Windows does not redirect twice).
long MemoryRegistry::Resolve(RegHandle base, const UString& sub, uint32_t access, bool create,
                             Node** out) {
  Node* node = nullptr;
  uint32_t base_rights = 0xFFFFFFFFu;
  if (IsPredefinedKey(base)) {
    node = Root(base);
  } else {
    auto it = handles_.find(base);
    if (it != handles_.end()) {
      node = it->second.Target;
      base_rights = it->second.Rights;
    }
  }
  if (node == nullptr) return kRegInvalidHandle;
  std::vector<UString> parts;
  if (!SplitPath(sub, &parts)) return kRegBadPathName;

  bool view32 = false;
  if (machine_ == Machine::Windows64)
    view32 = (access & kKeyWow64_32Key) != 0 || (access & kKeyWow64_64Key) == 0;

  if (view32 && node->Redirected && !parts.empty() && !SameText(parts[0], kWowNode))
    node = node->AddChild(kWowNode);
  for (size_t i = 0; i < parts.size(); ++i) {
    Node* next = node->Child(parts[i]);
    if (next == nullptr) {
      if (!create) return kRegNotFound;
      if ((base_rights & kKeyCreateSubKey) == 0) return kRegAccessDenied;
      next = node->AddChild(parts[i]);
    }
    node = next;
    const bool names_wow_next = i + 1 < parts.size() && SameText(parts[i + 1], kWowNode);
    if (view32 && node->Redirected && !names_wow_next) node = node->AddChild(kWowNode);
  }
  const uint32_t rights = access & ~kKeyViewBits;
  if ((rights & ~node->Allowed) != 0) return kRegAccessDenied;
  *out = node;
  return kRegOk;
}

RegHandle MemoryRegistry::NewHandle(Node* target, uint32_t rights) {
  const RegHandle h = next_handle_;
  next_handle_ += 4;
  handles_[h] = Handle{target, rights};
  return h;
}

long MemoryRegistry::OpenKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) {
  Node* node = nullptr;
  const long rc = Resolve(base, sub, access, false, &node);
  if (rc != kRegOk) return rc;
  *out = NewHandle(node, access & ~kKeyViewBits);
  return kRegOk;
}

long MemoryRegistry::CreateKey(RegHandle base, const UString& sub, uint32_t access,
                               RegHandle* out) {
  Node* node = nullptr;
  const long rc = Resolve(base, sub, access, true, &node);
  if (rc != kRegOk) return rc;
  *out = NewHandle(node, access & ~kKeyViewBits);
  return kRegOk;
}

void MemoryRegistry::CloseKey(RegHandle key) {
  if (!IsPredefinedKey(key)) handles_.erase(key);
}

long MemoryRegistry::Use(RegHandle key, uint32_t right, Node** out) const {
  if (IsPredefinedKey(key)) {
    *out = Root(key);
    return *out != nullptr ? kRegOk : kRegInvalidHandle;
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return kRegInvalidHandle;
  if ((it->second.Rights & right) != right) return kRegAccessDenied;
  *out = it->second.Target;
  return kRegOk;
}

long MemoryRegistry::QueryInfoKey(RegHandle key, RegKeyInfo* info) {
  Node* node = nullptr;
  const long rc = Use(key, kKeyQueryValue, &node);
  if (rc != kRegOk) return rc;
  *info = RegKeyInfo();
  info->SubKeyCount = static_cast<uint32_t>(node->Subkeys.size());
  info->ValueCount = static_cast<uint32_t>(node->Values.size());
  for (const auto& n : node->Subkeys)
    info->MaxSubKeyLen = std::max<uint32_t>(info->MaxSubKeyLen, static_cast<uint32_t>(n->Name.size()));
  for (const auto& v : node->Values) {
    info->MaxValueNameLen = std::max<uint32_t>(info->MaxValueNameLen, static_cast<uint32_t>(v.Name.size()));
    info->MaxValueLen = std::max<uint32_t>(info->MaxValueLen, static_cast<uint32_t>(v.Data.size()));
  }
  if (quirks_.UnderstateNameLengths) info->MaxSubKeyLen = info->MaxValueNameLen = 0;
  if (quirks_.OverstateCounts) {
    info->SubKeyCount += 3;
    info->ValueCount += 3;
  }
  return kRegOk;
}

long MemoryRegistry::EnumKey(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) {
  Node* node = nullptr;
  const long rc = Use(key, kKeyEnumerateSubKeys, &node);
  if (rc != kRegOk) return rc;
  if (index >= node->Subkeys.size()) return kRegNoMoreItems;
  return CopyName(node->Subkeys[index]->Name, name, chars);
}

long MemoryRegistry::EnumValueName(RegHandle key, uint32_t index, char16_t* name,
                                   uint32_t* chars) {
  Node* node = nullptr;
  const long rc = Use(key, kKeyQueryValue, &node);
  if (rc != kRegOk) return rc;
  if (index >= node->Values.size()) return kRegNoMoreItems;
  return CopyName(node->Values[index].Name, name, chars);
}

long MemoryRegistry::QueryValue(RegHandle key, const UString& name, uint32_t* type, uint8_t* data,
                                uint32_t* size) {
  if (query_hook_) query_hook_(name);
  Node* node = nullptr;
  const long rc = Use(key, kKeyQueryValue, &node);
  if (rc != kRegOk) return rc;
  const Value* v = node->FindValue(name);
  if (v == nullptr) return kRegNotFound;
  if (type != nullptr) *type = v->Type;
  if (size == nullptr) return data == nullptr ? kRegOk : kRegInvalidParameter;
  const uint32_t needed = static_cast<uint32_t>(v->Data.size());
  if (data == nullptr) {
    *size = needed;
    return kRegOk;
  }
  if (needed > *size) {
    *size = needed;
    return kRegMoreData;
  }
  if (needed > 0) std::memcpy(data, v->Data.data(), needed);
  *size = needed + (quirks_.OverstateReadSize ? 100 : 0);
  return kRegOk;
}

long MemoryRegistry::SetValue(RegHandle key, const UString& name, uint32_t type,
                              const uint8_t* data, uint32_t size) {
  Node* node = nullptr;
  const long rc = Use(key, kKeySetValue, &node);
  if (rc != kRegOk) return rc;
  std::vector<uint8_t> bytes(data, data + size);
  if (Value* v = node->FindValue(name)) {
    v->Type = type;
    v->Data = std::move(bytes);
  } else {
    node->Values.push_back(Value{name, type, std::move(bytes)});
  }
  return kRegOk;
}

long MemoryRegistry::DeleteValue(RegHandle key, const UString& name) {
  Node* node = nullptr;
  const long rc = Use(key, kKeySetValue, &node);
  if (rc != kRegOk) return rc;
  auto it = std::find_if(node->Values.begin(), node->Values.end(),
                         [&](const Value& v) { return SameText(v.Name, name); });
  if (it == node->Values.end()) return kRegNotFound;
  node->Values.erase(it);
  return kRegOk;
}

}  // namespace velto
