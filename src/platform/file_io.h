// Small file-system layer used by the portable core. The Windows build uses
// the Win32 API (file_io_win.cpp); the native build maps the same calls onto
// POSIX (file_io_posix.cpp), where '\\' in a path is taken as '/', so the
// core's Windows-style path joins work unchanged in native tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/text.h"

namespace velto {

// File attribute bits as Windows reports them.
enum : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
  kAttrReparsePoint = 0x400,  // a junction or symbolic link
  kInvalidAttributes = 0xFFFFFFFFu,
};

bool FileExists(const UString& path);       // exists and is not a folder
bool DirectoryExists(const UString& path);  // exists and is a folder
// Attribute bits of a file or folder, kInvalidAttributes when it does not exist.
uint32_t GetAttributes(const UString& path);
// Creates the folder and every missing parent; true when the folder exists afterwards.
bool ForceDirectories(const UString& path);
bool RemoveFile(const UString& path);
// Last-write time as a Windows FILETIME value (100 ns since 1601-01-01 UTC); 0 when unknown.
uint64_t GetLastWriteTime(const UString& path);

// One open file; closed when the object goes away. Move-only.
class File {
 public:
  enum class Mode {
    kRead,       // existing file, others may read and write it meanwhile
    kCreate,     // create or truncate, exclusive
    kReadWrite,  // existing file opened for update
  };
  File();
  ~File();
  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static File Open(const UString& path, Mode mode);
  bool IsOpen() const;
  // Reads up to `size` bytes; returns the count read, 0 at the end, -1 on error.
  int64_t Read(void* buffer, size_t size);
  // Writes all bytes or fails.
  bool Write(const void* data, size_t size);
  bool Seek(uint64_t offset);
  bool SeekEnd();
  // Current size in bytes, -1 on error.
  int64_t Size();
  bool Truncate(uint64_t size);
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

bool ReadWholeFile(const UString& path, std::string* bytes);
bool WriteWholeFile(const UString& path, const std::string& bytes);

}  // namespace velto
