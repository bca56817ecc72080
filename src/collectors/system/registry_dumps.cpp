#include "collectors/system/registry_dumps.h"

#include "platform/registry.h"
#include "platform/registry_export.h"
#include "platform/report_text.h"

namespace velto {
namespace {

const char16_t kMachine[] = u"HKEY_LOCAL_MACHINE";
const char16_t kUser[] = u"HKEY_CURRENT_USER";
const char16_t kUninstall[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char16_t kUninstall32[] =
    u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

}  // namespace

void CollectUninstallKeys(IRawRegistry& raw, TStringList& out) {
  try {
    // Read rights are all a dump needs; asking for more would hide every key
    // the process may read but not write.
    TRegistry reg(raw, kKeyRead);
    reg.SelectRootKey(kHkeyLocalMachine);
    ExportKeyTree(raw.OnWow64() ? u"SOFTWARE\\Wow6432Node\\Velto" : u"SOFTWARE\\Velto", kMachine,
                  reg, out);
    ExportKeyTree(kUninstall, kMachine, reg, out);
    if (raw.OnWow64()) ExportKeyTree(kUninstall32, kMachine, reg, out);
    reg.SelectRootKey(kHkeyCurrentUser);
    ExportKeyTree(kUninstall, kUser, reg, out);
    if (raw.OnWow64()) ExportKeyTree(kUninstall32, kUser, reg, out);
  } catch (...) {
    // The lines written so far stay; the rest of this dump is missing.
  }
}

void CollectServicesKeys(IRawRegistry& raw, TStringList& out) {
  try {
    TRegistry reg(raw, kKeyRead);
    reg.SelectRootKey(kHkeyLocalMachine);
    out.Add(kSectionRule);
    ExportServicesKeyTree(u"SYSTEM\\CurrentControlSet\\services", reg, out);
  } catch (...) {
  }
}

}  // namespace velto
