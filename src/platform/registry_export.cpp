#include "platform/registry_export.h"

#include <exception>

namespace velto {
namespace {

// Registry keys nest at most 512 levels; a deeper walk can only come from a
// link that loops back on its own path, and would otherwise exhaust the stack.
constexpr int kMaxDepth = 512;

UString DoubleBackslashes(const UString& text) {
  UString out;
  out.reserve(text.size());
  for (char16_t c : text) {
    out.push_back(c);
    if (c == u'\\') out.push_back(u'\\');
  }
  return out;
}

UString KeyLine(const UString& root_name, const UString& key_path) {
  return u"[" + root_name + u"\\" + key_path + u"]";
}

UString ValueLine(const UString& name, const UString& data) { return u"\"" + name + u"\"=" + data; }

enum class DumpStyle { Uninstall, Services };

// Data text of one value, or false when the services dump leaves the kind out.
bool DumpData(TRegistry& reg, const UString& name, DumpStyle style, UString* data) {
  const RegValueKind kind = reg.ValueKind(name);
  switch (kind) {
    case RegValueKind::String:
    case RegValueKind::ExpandString: {
      const UString text = reg.ReadText(name);
      *data = u"\"" + (style == DumpStyle::Uninstall ? DoubleBackslashes(text) : text) + u"\"";
      return true;
    }
    case RegValueKind::Integer:
      if (style == DumpStyle::Uninstall)
        *data = reg.ValueAsText(name, true);
      else
        *data = u"dword:" + HexUpper(static_cast<uint32_t>(reg.ReadDword(name)), 8);
      return true;
    default:
      if (style == DumpStyle::Services) return false;
      *data = reg.ValueAsText(name, true);
      return true;
  }
}

// The dumps read keys with read rights only: a key that even an elevated
// process may not write (a TrustedInstaller-owned key, say) must still appear.
// A value whose read fails (it changed its kind or size between the kind
// query and the read) gets the read-error marker and the dump goes on.
void DumpTree(const UString& key_path, const UString& root_name, TRegistry& reg, TStringList& out,
              DumpStyle style, int depth) {
  reg.CloseCurrentKey();
  if (depth > kMaxDepth || !reg.OpenKeyForReading(key_path)) return;
  out.Add(UString());
  out.Add(KeyLine(root_name, key_path));

  TStringList names;
  reg.ListValueNames(names);
  for (const UString& name : names.Items()) {
    UString data;
    try {
      if (!DumpData(reg, name, style, &data)) continue;
    } catch (const std::exception&) {
      data = RegistryClassEx::kReadErrorMarker;
    }
    out.Add(ValueLine(name, data));
  }
  if (!reg.HasChildKeys()) return;
  // Every recursive step closes the key, so the names are gathered first.
  reg.ListSubkeyNames(names);
  for (const UString& name : names.Items())
    DumpTree(key_path + u"\\" + name, root_name, reg, out, style, depth + 1);
}

bool RootByName(const UString& name, RegHandle* root) {
  if (name == u"HKEY_LOCAL_MACHINE") *root = kHkeyLocalMachine;
  else if (name == u"HKEY_CURRENT_USER") *root = kHkeyCurrentUser;
  else if (name == u"HKEY_CLASSES_ROOT") *root = kHkeyClassesRoot;
  else if (name == u"HKEY_USERS") *root = kHkeyUsers;
  else return false;
  return true;
}

void ExportInView(IRawRegistry& raw, const UString& root_name, const UString& key_path,
                  bool view64, TStringList& out, int depth) {
  if (depth > kMaxDepth) return;
  try {
    TStringList names;
    TRegistry reg(raw, RegFlavour::Plain);
    if (view64) reg.AccessMask |= kKeyWow64_64Key;
    RegHandle root = 0;
    if (!RootByName(root_name, &root)) return;
    reg.SelectRootKey(root);
    // Read rights only, for the same reason as the dumps above.
    if (!reg.OpenKeyForReading(key_path)) return;
    out.Add(UString());
    out.Add(KeyLine(root_name, key_path));
    reg.ListValueNames(names);
    for (const UString& name : names.Items()) {
      const RegValueKind kind = reg.ValueKind(name);
      if (kind == RegValueKind::String || kind == RegValueKind::ExpandString ||
          kind == RegValueKind::Integer)
        out.Add(ValueLine(name, reg.ValueAsText(name, true)));
    }
    if (!reg.HasChildKeys()) return;
    reg.ListSubkeyNames(names);
    for (const UString& name : names.Items())
      ExportInView(raw, root_name, key_path + u"\\" + name, view64, out, depth + 1);
  } catch (...) {
    // A failed read ends this key's level; the parent goes on with its next subkey.
  }
}

}  // namespace

void ExportKeyTree(const UString& key_path, const UString& root_name, TRegistry& reg,
                   TStringList& out) {
  DumpTree(key_path, root_name, reg, out, DumpStyle::Uninstall, 0);
}

void ExportServicesKeyTree(const UString& key_path, TRegistry& reg, TStringList& out) {
  DumpTree(key_path, u"HKEY_LOCAL_MACHINE", reg, out, DumpStyle::Services, 0);
}

void ExportKeyTreeInView(IRawRegistry& raw, const UString& root_name, const UString& key_path,
                         bool view64, TStringList& out) {
  ExportInView(raw, root_name, key_path, view64, out, 0);
}

}  // namespace velto
