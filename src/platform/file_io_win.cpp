#include <windows.h>

#include <algorithm>

#include "platform/file_io.h"
#include "platform/handles_win.h"

namespace velto {

uint32_t GetAttributes(const UString& path) {
  if (path.empty()) return kInvalidAttributes;
  const DWORD a = ::GetFileAttributesW(WidePtr(path));
  return a == INVALID_FILE_ATTRIBUTES ? static_cast<uint32_t>(kInvalidAttributes) : static_cast<uint32_t>(a);
}

bool FileExists(const UString& path) {
  const uint32_t a = GetAttributes(path);
  return a != kInvalidAttributes && !(a & kAttrDirectory);
}

bool DirectoryExists(const UString& path) {
  const uint32_t a = GetAttributes(path);
  return a != kInvalidAttributes && (a & kAttrDirectory);
}

bool ForceDirectories(const UString& path) {
  const UString p = ExcludeTrailingBackslash(path);
  if (p.empty()) return false;
  if (DirectoryExists(p)) return true;
  // A drive ("C:") or a server share root ("\\server\share", or the bare
  // "\\server") cannot be created, so the walk up stops there.
  const auto is_root = [](const UString& q) {
    if (q.size() == 2 && q[1] == u':') return true;
    if (q.size() < 3 || q[0] != u'\\' || q[1] != u'\\') return false;
    return std::count(q.begin() + 2, q.end(), u'\\') <= 1;
  };
  const UString parent = ExcludeTrailingBackslash(ExtractFilePath(p));
  if (!parent.empty() && parent != p && !is_root(parent)) ForceDirectories(parent);
  return ::CreateDirectoryW(WidePtr(p), nullptr) || DirectoryExists(p);
}

bool RemoveFile(const UString& path) { return ::DeleteFileW(WidePtr(path)) != 0; }

uint64_t GetLastWriteTime(const UString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

struct File::Impl {
  UniqueFile handle;
};

File::File() : impl_(new Impl) {}
File::~File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;

File File::Open(const UString& path, Mode mode) {
  File f;
  if (path.empty()) return f;
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE, disposition = OPEN_EXISTING;
  if (mode == Mode::kCreate) {
    access = GENERIC_READ | GENERIC_WRITE;
    share = 0;
    disposition = CREATE_ALWAYS;
  } else if (mode == Mode::kReadWrite) {
    access = GENERIC_READ | GENERIC_WRITE;
    share = FILE_SHARE_READ;
  }
  f.impl_->handle.reset(::CreateFileW(WidePtr(path), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  return f;
}

bool File::IsOpen() const { return impl_ && impl_->handle.valid(); }

int64_t File::Read(void* buffer, size_t size) {
  if (!IsOpen()) return -1;
  DWORD got = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!::ReadFile(impl_->handle.get(), buffer, want, &got, nullptr)) return -1;
  return got;
}

bool File::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!::WriteFile(impl_->handle.get(), p, chunk, &done, nullptr) || done == 0) return false;
    p += done;
    size -= done;
  }
  return true;
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER li;
  li.QuadPart = static_cast<LONGLONG>(offset);
  return IsOpen() && ::SetFilePointerEx(impl_->handle.get(), li, nullptr, FILE_BEGIN);
}

bool File::SeekEnd() {
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  return IsOpen() && ::SetFilePointerEx(impl_->handle.get(), zero, nullptr, FILE_END);
}

int64_t File::Size() {
  LARGE_INTEGER li;
  if (!IsOpen() || !::GetFileSizeEx(impl_->handle.get(), &li)) return -1;
  return li.QuadPart;
}

bool File::Truncate(uint64_t size) {
  return Seek(size) && ::SetEndOfFile(impl_->handle.get());
}

void File::Close() {
  if (impl_) impl_->handle.reset();
}

}  // namespace velto
