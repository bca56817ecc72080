// POSIX stand-in of the file layer for the native build (tests and the
// support-side tool). Windows attributes are approximated: a name starting
// with '.' is hidden, a file without write permission is read-only.
#include "platform/file_io.h"
#include "platform/native_path_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velto {

uint32_t GetAttributes(const UString& path) {
  struct stat st;
  const std::string p = NativePath(path);
  if (p.empty() || stat(p.c_str(), &st) != 0) return kInvalidAttributes;
  uint32_t attrs = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
  std::string name = p;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  const size_t slash = name.rfind('/');
  name = slash == std::string::npos ? name : name.substr(slash + 1);
  if (name.size() > 1 && name[0] == '.' && name != "..") attrs |= kAttrHidden;
  if (!(st.st_mode & S_IWUSR)) attrs |= kAttrReadOnly;
  return attrs;
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
  std::string p = NativePath(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      const std::string part = p.substr(0, i);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const UString& path) { return unlink(NativePath(path).c_str()) == 0; }

uint64_t GetLastWriteTime(const UString& path) {
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) != 0) return 0;
  const uint64_t kEpochDelta = 116444736000000000ULL;  // 1601 -> 1970 in 100 ns
  return kEpochDelta + static_cast<uint64_t>(st.st_mtim.tv_sec) * 10000000ULL +
         static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
}

struct File::Impl {
  int fd = -1;
};

File::File() : impl_(new Impl) {}
File::~File() { Close(); }
File::File(File&&) noexcept = default;
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

File File::Open(const UString& path, Mode mode) {
  File f;
  int flags = O_RDONLY;
  if (mode == Mode::kCreate) flags = O_RDWR | O_CREAT | O_TRUNC;
  if (mode == Mode::kReadWrite) flags = O_RDWR;
  const std::string p = NativePath(path);
  if (!p.empty()) {
    f.impl_->fd = ::open(p.c_str(), flags | O_CLOEXEC, 0666);
    struct stat st;
    if (f.impl_->fd >= 0 && (fstat(f.impl_->fd, &st) != 0 || S_ISDIR(st.st_mode))) f.Close();
  }
  return f;
}

bool File::IsOpen() const { return impl_ && impl_->fd >= 0; }

int64_t File::Read(void* buffer, size_t size) {
  if (!IsOpen()) return -1;
  for (;;) {
    const ssize_t n = ::read(impl_->fd, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool File::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(impl_->fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool File::Seek(uint64_t offset) {
  return IsOpen() && lseek(impl_->fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool File::SeekEnd() { return IsOpen() && lseek(impl_->fd, 0, SEEK_END) >= 0; }

int64_t File::Size() {
  struct stat st;
  if (!IsOpen() || fstat(impl_->fd, &st) != 0) return -1;
  return st.st_size;
}

bool File::Truncate(uint64_t size) {
  return IsOpen() && ftruncate(impl_->fd, static_cast<off_t>(size)) == 0;
}

void File::Close() {
  if (impl_ && impl_->fd >= 0) {
    ::close(impl_->fd);
    impl_->fd = -1;
  }
}

}  // namespace velto
