#include "app/archive_io.h"

#include <cstring>

namespace velto {

namespace {
constexpr size_t kOutBuffer = 1 << 20;
}

bool ArchiveOut::Create(const UString& path) {
  file_ = File::Open(path, File::Mode::kCreate);
  buffer_.clear();
  buffer_.reserve(kOutBuffer);
  flushed_ = 0;
  return file_.IsOpen();
}

bool ArchiveOut::WriteThrough(const void* data, size_t size) {
  if (size > limit_ || flushed_ > limit_ - size) return false;
  return file_.Write(data, size);
}

bool ArchiveOut::Flush() {
  if (buffer_.empty()) return true;
  if (!WriteThrough(buffer_.data(), buffer_.size())) return false;
  flushed_ += buffer_.size();
  buffer_.clear();
  return true;
}

bool ArchiveOut::Write(const void* data, size_t size) {
  if (buffer_.size() + size > kOutBuffer && !Flush()) return false;
  if (size >= kOutBuffer) {
    if (!WriteThrough(data, size)) return false;
    flushed_ += size;
    return true;
  }
  const auto* p = static_cast<const uint8_t*>(data);
  buffer_.insert(buffer_.end(), p, p + size);
  return true;
}

bool ArchiveOut::Patch(uint64_t offset, const std::string& bytes) {
  if (offset + bytes.size() > Position()) return false;
  if (offset >= flushed_) {  // still in the buffer: no seek needed
    std::memcpy(buffer_.data() + (offset - flushed_), bytes.data(), bytes.size());
    return true;
  }
  if (!Flush()) return false;
  return file_.Seek(offset) && file_.Write(bytes.data(), bytes.size()) && file_.SeekEnd();
}

bool ArchiveOut::Rewind(uint64_t offset) {
  if (offset > Position()) return false;
  if (offset >= flushed_) {
    buffer_.resize(static_cast<size_t>(offset - flushed_));
    return true;
  }
  buffer_.clear();
  if (!file_.Truncate(offset) || !file_.SeekEnd()) return false;
  flushed_ = offset;
  return true;
}

bool ArchiveOut::Finish() {
  const bool ok = Flush();
  file_.Close();
  return ok;
}

bool FileRandomReader::Open(const UString& path) {
  file_ = File::Open(path, File::Mode::kRead);
  if (!file_.IsOpen()) return false;
  const int64_t size = file_.Size();
  if (size < 0) return false;
  size_ = static_cast<uint64_t>(size);
  position_ = 0;
  return true;
}

bool FileRandomReader::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (position_ != offset && !file_.Seek(offset)) {
    position_ = ~0ull;
    return false;
  }
  auto* p = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < size) {
    const int64_t n = file_.Read(p + done, size - done);
    if (n <= 0) {
      position_ = ~0ull;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  position_ = offset + size;
  return true;
}

bool MemoryRandomReader::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (size) std::memcpy(buffer, data_ + offset, size);
  return true;
}

}  // namespace velto
