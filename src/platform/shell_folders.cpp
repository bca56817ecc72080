#include "platform/shell_folders.h"

#include <exception>

#include "platform/registry.h"

namespace velto {

UString ReadShellFoldersAppData(IRawRegistry& registry, bool common) {
  static const char16_t kKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  UString path;
  try {
    TRegistry reg(registry, RegFlavour::Plain);
    reg.AccessMask = kKeyQueryValue;
    reg.SelectRootKey(common ? kHkeyLocalMachine : kHkeyCurrentUser);
    if (reg.KeyPathExists(kKey) && reg.OpenKeyPath(kKey, false)) {
      path = reg.ReadText(common ? u"Common AppData" : u"AppData");
      reg.CloseCurrentKey();
    }
  } catch (const std::exception&) {
    // A damaged value only costs this source; the caller has a fixed default.
    path.clear();
  }
  return path;
}

}  // namespace velto
