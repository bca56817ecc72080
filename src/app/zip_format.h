// ZIP records (PKWARE application note): building the local header, central
// directory entry and end records the writer emits, and reading the central
// directory of an existing archive defensively (every length and offset is
// checked against the file, so damaged or hostile archives give an error).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velto {

constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kVersionNeeded = 20;
constexpr uint16_t kVersionNeededZip64 = 45;
constexpr uint16_t kVersionMadeByDos = 45;       // host 0 (FAT), names in the OEM page
constexpr uint16_t kVersionMadeByNtfs = 0x0B2D;  // host 11 (NTFS), names in UTF-8
constexpr uint16_t kFlagMaximum = 0x0002;        // deflate option bit for levels 8 and 9
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;

struct ZipMember {
  std::string name;  // as stored: OEM bytes, or UTF-8 with kFlagUtf8
  uint16_t version_made_by = kVersionMadeByDos;
  uint16_t version_needed = kVersionNeeded;
  uint16_t flags = 0;
  uint16_t method = kMethodDeflate;
  uint32_t dos_time = 0;  // (date << 16) | time
  uint32_t crc = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  uint16_t internal_attributes = 0;
  uint32_t external_attributes = 0;
  uint64_t local_header_offset = 0;
  bool zip64_local = false;   // the local header carries a Zip64 extra field
  std::string extra;          // other extra fields of the central entry, kept by copies
  std::string comment;
};

// Whether a member of `size` bytes may need Zip64 once compressed (deflate
// can grow incompressible data a little), so the decision is made before
// its local header is written.
bool NeedsZip64(uint64_t size);

// Local header; with `m.zip64_local` the sizes go into a Zip64 extra field.
std::string LocalHeaderBytes(const ZipMember& m);
// Central directory entry; Zip64 fields only for values that need them.
std::string CentralEntryBytes(const ZipMember& m);
// End of central directory, preceded by the Zip64 end record and locator
// only when the count, size or offset does not fit the classic record.
std::string EndRecordsBytes(uint64_t entries, uint64_t directory_offset, uint64_t directory_size);

// Random access to an archive's bytes.
class RandomReader {
 public:
  virtual ~RandomReader() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly `size` bytes at `offset`; false when that is not possible.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

// Reads the central directory. False with a message in `error` when the
// archive is damaged.
bool ReadZipDirectory(RandomReader& in, std::vector<ZipMember>* members, std::string* error);

// Offset of a member's data, after its local header. False when the local
// header is missing or its data would run past the end of the archive.
bool MemberDataOffset(RandomReader& in, const ZipMember& m, uint64_t* offset, std::string* error);

}  // namespace velto
