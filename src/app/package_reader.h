// Support-side reading of a package: the DES container around the report
// archive, or the plain ZIP archive written by the last-resort attempt,
// told apart by content. Every length, offset and name in the file is
// treated as hostile: bad input gives an error message, never a crash.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/descrypt.h"
#include "app/member_text.h"
#include "app/zip_format.h"
#include "platform/text.h"

namespace velto {

enum class PackageKind { kEncrypted, kPlainZip };

// Checks the container layout of a file of `file_size` bytes whose last four
// bytes hold `length`: a body of whole 8-byte blocks, exactly enough of them
// for `length` bytes. False with a message otherwise.
bool CheckContainerLayout(uint64_t file_size, int32_t length, std::string* error);

// The plaintext of a container, decrypted block by block on demand (ECB
// allows random access), so large packages need no large buffers.
class DecryptingReader : public RandomReader {
 public:
  DecryptingReader(RandomReader& container, const DesKey& key, uint64_t length)
      : container_(container), schedule_(key), length_(length) {}
  uint64_t Size() const override { return length_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  RandomReader& container_;
  DesKeySchedule schedule_;
  uint64_t length_;
};

using ByteCallback = std::function<bool(const uint8_t*, size_t)>;

class PackageReader {
 public:
  // Opens a package read through `file` (kept by the reader). False with a
  // message in `error` when it is neither a sound container nor a plain ZIP.
  bool Open(std::unique_ptr<RandomReader> file, std::string* error);

  PackageKind kind() const { return kind_; }
  uint64_t ArchiveSize() const { return archive_->Size(); }
  const std::vector<ZipMember>& members() const { return members_; }
  UString MemberName(size_t index) const;

  // Streams a member's uncompressed bytes to `sink` and checks its size and
  // CRC-32. False with a message on damage or when `sink` returns false.
  bool ReadMember(size_t index, const ByteCallback& sink, std::string* error);
  // Streams the (decrypted) ZIP archive.
  bool CopyArchive(const ByteCallback& sink, std::string* error);

 private:
  std::unique_ptr<RandomReader> file_;
  std::unique_ptr<DecryptingReader> decrypted_;
  RandomReader* archive_ = nullptr;
  PackageKind kind_ = PackageKind::kPlainZip;
  std::vector<ZipMember> members_;
};

// Splits a member name into path components that stay inside an extraction
// folder. False with the reason for names that are absolute ("/x", "\x",
// "C:x"), climb out (".."), hold characters no file name may hold, or have
// a part Windows would not take as a plain file name: a device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with any extension, in any case) or one
// ending in '.' or ' '. Refused on every system: packages travel.
bool SafeRelativePath(const UString& name, std::vector<UString>* parts, std::string* why);


}  // namespace velto
