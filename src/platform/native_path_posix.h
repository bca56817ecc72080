// Native builds take the core's Windows-style paths with '\\' as '/'.
#pragma once

#include <string>

#include "platform/text.h"

namespace velto {

inline std::string NativePath(const UString& path) {
  std::string out = ToUtf8(path);
  for (auto& c : out)
    if (c == '\\') c = '/';
  return out;
}

}  // namespace velto
