// An in-memory registry with the behaviour the program meets on Windows:
// predefined roots, the 32-bit and 64-bit views of HKLM\SOFTWARE on 64-bit
// Windows (the 32-bit view stored below a "Wow6432Node" subkey, as the 64-bit
// side sees it), handles that carry their access rights, keys whose security
// refuses some rights, every value type and a stable enumeration order
// (subkeys sorted case-insensitively as a hive keeps them, values in the order
// they were set). It stands in for the real registry in the native tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/raw_registry.h"

namespace velto {

class MemoryRegistry : public IRawRegistry {
 public:
  // The program is always the 32-bit one: on 64-bit Windows opens without a
  // view bit land in the 32-bit view.
  enum class Machine { Windows32, Windows64 };

  // Ways to make the registry misbehave as a hostile or changing machine can.
  struct Quirks {
    bool UnderstateNameLengths = false;  // key info claims every name is 0 characters long
    bool OverstateCounts = false;        // key info claims 3 more subkeys and values than exist
    bool OverstateReadSize = false;      // a successful value read claims 100 bytes more than it wrote
  };

  explicit MemoryRegistry(Machine machine = Machine::Windows64);
  ~MemoryRegistry() override;

  // --- seeding and inspection (paths name stored keys literally, so the
  // 32-bit view of HKLM\SOFTWARE\X is written SOFTWARE\Wow6432Node\X) ---
  void AddKey(RegHandle root, const UString& path);
  void SetValue(RegHandle root, const UString& path, const UString& name, uint32_t type,
                const std::vector<uint8_t>& data);
  void SetString(RegHandle root, const UString& path, const UString& name, const UString& text,
                 uint32_t type = kRegSz);  // stored with its terminator
  void SetDword(RegHandle root, const UString& path, const UString& name, uint32_t value);
  void SetQword(RegHandle root, const UString& path, const UString& name, uint64_t value);
  void SetMultiString(RegHandle root, const UString& path, const UString& name,
                      const std::vector<UString>& items);  // with the final empty string
  // Rights an open may be granted on the key (its security); 0 refuses every open that asks for a right.
  void SetAllowedAccess(RegHandle root, const UString& path, uint32_t rights);
  // Called at the start of every value query with the value's name, so a test
  // can change the value between the size query and the read.
  void SetQueryHook(std::function<void(const UString& name)> hook) { query_hook_ = std::move(hook); }
  void SetQuirks(const Quirks& quirks) { quirks_ = quirks; }
  size_t OpenHandleCount() const { return handles_.size(); }

  // --- IRawRegistry ---
  bool OnWow64() const override { return machine_ == Machine::Windows64; }
  long OpenKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) override;
  long CreateKey(RegHandle base, const UString& sub, uint32_t access, RegHandle* out) override;
  void CloseKey(RegHandle key) override;
  long QueryInfoKey(RegHandle key, RegKeyInfo* info) override;
  long EnumKey(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) override;
  long EnumValueName(RegHandle key, uint32_t index, char16_t* name, uint32_t* chars) override;
  long QueryValue(RegHandle key, const UString& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegHandle key, const UString& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long DeleteValue(RegHandle key, const UString& name) override;

 private:
  struct Value {
    UString Name;
    uint32_t Type = kRegNone;
    std::vector<uint8_t> Data;
  };
  struct Node {
    UString Name;
    std::vector<std::unique_ptr<Node>> Subkeys;  // sorted case-insensitively
    std::vector<Value> Values;                   // in the order they were set
    uint32_t Allowed = 0xFFFFFFFFu;
    bool Redirected = false;  // HKLM\SOFTWARE on 64-bit Windows
    Node* Child(const UString& name) const;
    Node* AddChild(const UString& name);
    Value* FindValue(const UString& name);
  };
  struct Handle {
    Node* Target = nullptr;
    uint32_t Rights = 0;
  };

  Node* Root(RegHandle root) const;
  Node* Seed(RegHandle root, const UString& path);  // creates the literal path
  long Resolve(RegHandle base, const UString& sub, uint32_t access, bool create, Node** out);
  long Use(RegHandle key, uint32_t right, Node** out) const;
  RegHandle NewHandle(Node* target, uint32_t rights);

  Machine machine_;
  Quirks quirks_;
  std::map<RegHandle, std::unique_ptr<Node>> roots_;
  std::map<RegHandle, Handle> handles_;
  RegHandle next_handle_ = 0x1000;
  std::function<void(const UString&)> query_hook_;
};

}  // namespace velto
