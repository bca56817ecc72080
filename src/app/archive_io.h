// File access for archives: a buffered sequential writer that can patch
// bytes it wrote earlier (to complete local headers), and random-access
// readers over a file or a memory block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/zip_format.h"
#include "platform/file_io.h"

namespace velto {

class ArchiveOut {
 public:
  bool Create(const UString& path);
  bool Write(const void* data, size_t size);
  uint64_t Position() const { return flushed_ + buffer_.size(); }
  // Overwrites bytes at `offset` (< Position()) and keeps writing at the end.
  bool Patch(uint64_t offset, const std::string& bytes);
  // Drops everything written from `offset` (<= Position()) on; writing goes
  // on from there.
  bool Rewind(uint64_t offset);
  bool Finish();  // flushes and closes
  void Abandon() { file_.Close(); }
  // Test seam: a write that would take the file past `bytes` fails, the way
  // it does on a full disk.
  void LimitSize(uint64_t bytes) { limit_ = bytes; }

 private:
  bool Flush();
  bool WriteThrough(const void* data, size_t size);
  File file_;
  uint64_t limit_ = ~0ull;
  std::vector<uint8_t> buffer_;
  uint64_t flushed_ = 0;
};

class FileRandomReader : public RandomReader {
 public:
  bool Open(const UString& path);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  File file_;
  uint64_t size_ = 0;
  uint64_t position_ = ~0ull;  // saves a seek for sequential reads
};

class MemoryRandomReader : public RandomReader {
 public:
  MemoryRandomReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace velto
