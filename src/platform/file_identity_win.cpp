#include <windows.h>

#include <exception>
#include <vector>

#include "platform/file_identity.h"
#include "platform/handles_win.h"

namespace velto {
namespace {

// The version-information block of a file, or an empty vector when the file
// carries none or it cannot be read.
std::vector<uint8_t> LoadVersionBlock(const UString& path) {
  if (path.empty()) return {};
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(WidePtr(path), &ignored);
  if (size == 0) return {};
  std::vector<uint8_t> block(size, 0);
  if (!::GetFileVersionInfoW(WidePtr(path), 0, size, block.data())) return {};
  return block;
}

}  // namespace

bool ReadFileInfo(const UString& path, TFileInfo* info, const UString& extraKey) {
  try {
    const std::vector<uint8_t> block = LoadVersionBlock(path);
    if (block.empty()) return false;
    return ReadFileInfoFromBlock(block.data(), block.size(), extraKey, info);
  } catch (const std::exception&) {
    return false;
  }
}

UString GetFileInfoString(const UString& path, int kind, const UString& defaultText) {
  try {
    TFileInfo info;
    if (!ReadFileInfo(path, &info, kWowVersionKey)) return defaultText;
    return FileInfoStringOfKind(info, kind);
  } catch (const std::exception&) {
    return defaultText;
  }
}

UString FixedFileVersion(const UString& path) {
  try {
    const std::vector<uint8_t> block = LoadVersionBlock(path);
    UString version;
    if (block.empty() || !FixedFileVersionFromBlock(block.data(), block.size(), &version)) return UString();
    return version;
  } catch (const std::exception&) {
    return UString();
  }
}

}  // namespace velto
