#include "platform/wow64.h"

namespace velto {

bool IsWow64() { return false; }
void InitWow64Redirection() {}
bool DisableWow64Redirection(void** old_state) {
  if (old_state != nullptr) *old_state = nullptr;
  return false;
}
bool RevertWow64Redirection(void*) { return false; }

}  // namespace velto
