#include "app/zip_format.h"

#include <algorithm>

namespace velto {

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint16_t kZip64ExtraId = 0x0001;

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}
uint32_t Clip(uint64_t v) { return v >= kMax32 ? kMax32 : static_cast<uint32_t>(v); }

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
uint64_t Get64(const unsigned char* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

}  // namespace

bool NeedsZip64(uint64_t size) {
  // zlib's deflateBound for a raw stream: 5 bytes per 16 KiB stored block plus a little.
  const uint64_t bound = size + (size >> 12) + (size >> 14) + (size >> 25) + 13 + 5 * (size / 16383 + 1);
  return bound >= kMax32;
}

std::string LocalHeaderBytes(const ZipMember& m) {
  std::string s;
  Put32(s, kLocalSignature);
  Put16(s, m.zip64_local ? kVersionNeededZip64 : m.version_needed);
  Put16(s, m.flags);
  Put16(s, m.method);
  Put16(s, m.dos_time & 0xFFFF);
  Put16(s, m.dos_time >> 16);
  Put32(s, m.crc);
  Put32(s, m.zip64_local ? kMax32 : static_cast<uint32_t>(m.compressed_size));
  Put32(s, m.zip64_local ? kMax32 : static_cast<uint32_t>(m.uncompressed_size));
  Put16(s, static_cast<uint32_t>(m.name.size()));
  Put16(s, m.zip64_local ? 20 : 0);
  s += m.name;
  if (m.zip64_local) {
    Put16(s, kZip64ExtraId);
    Put16(s, 16);
    Put64(s, m.uncompressed_size);
    Put64(s, m.compressed_size);
  }
  return s;
}

std::string CentralEntryBytes(const ZipMember& m) {
  const bool big_sizes = m.zip64_local || m.uncompressed_size >= kMax32 || m.compressed_size >= kMax32;
  const bool big_offset = m.local_header_offset >= kMax32;
  std::string zip64;
  if (big_sizes) {
    Put64(zip64, m.uncompressed_size);
    Put64(zip64, m.compressed_size);
  }
  if (big_offset) Put64(zip64, m.local_header_offset);
  std::string extra;
  if (!zip64.empty()) {
    Put16(extra, kZip64ExtraId);
    Put16(extra, static_cast<uint32_t>(zip64.size()));
    extra += zip64;
  }
  extra += m.extra;
  std::string s;
  Put32(s, kCentralSignature);
  Put16(s, m.version_made_by);
  Put16(s, zip64.empty() ? m.version_needed : std::max<uint16_t>(m.version_needed, kVersionNeededZip64));
  Put16(s, m.flags);
  Put16(s, m.method);
  Put16(s, m.dos_time & 0xFFFF);
  Put16(s, m.dos_time >> 16);
  Put32(s, m.crc);
  Put32(s, big_sizes ? kMax32 : static_cast<uint32_t>(m.compressed_size));
  Put32(s, big_sizes ? kMax32 : static_cast<uint32_t>(m.uncompressed_size));
  Put16(s, static_cast<uint32_t>(m.name.size()));
  Put16(s, static_cast<uint32_t>(extra.size()));
  Put16(s, static_cast<uint32_t>(m.comment.size()));
  Put16(s, 0);  // disk number start
  Put16(s, m.internal_attributes);
  Put32(s, m.external_attributes);
  Put32(s, Clip(m.local_header_offset));
  s += m.name;
  s += extra;
  s += m.comment;
  return s;
}

std::string EndRecordsBytes(uint64_t entries, uint64_t directory_offset, uint64_t directory_size) {
  std::string s;
  const bool zip64 = entries >= 0xFFFF || directory_offset >= kMax32 || directory_size >= kMax32;
  if (zip64) {
    const uint64_t record_offset = directory_offset + directory_size;
    Put32(s, kZip64EndSignature);
    Put64(s, 44);  // size of the rest of this record
    Put16(s, kVersionNeededZip64);
    Put16(s, kVersionNeededZip64);
    Put32(s, 0);
    Put32(s, 0);
    Put64(s, entries);
    Put64(s, entries);
    Put64(s, directory_size);
    Put64(s, directory_offset);
    Put32(s, kZip64LocatorSignature);
    Put32(s, 0);
    Put64(s, record_offset);
    Put32(s, 1);
  }
  Put32(s, kEndSignature);
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, entries >= 0xFFFF ? 0xFFFF : static_cast<uint32_t>(entries));
  Put16(s, entries >= 0xFFFF ? 0xFFFF : static_cast<uint32_t>(entries));
  Put32(s, Clip(directory_size));
  Put32(s, Clip(directory_offset));
  Put16(s, 0);
  return s;
}

namespace {

bool Fail(std::string* error, const char* message) {
  if (error) *error = message;
  return false;
}

// Applies a Zip64 extra field to the values the classic fields marked as too large.
bool ApplyZip64(const std::string& extra, ZipMember* m, bool* big_offset, std::string* rest) {
  size_t pos = 0;
  rest->clear();
  while (pos + 4 <= extra.size()) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data()) + pos;
    const uint16_t id = Get16(p), len = Get16(p + 2);
    if (pos + 4 + len > extra.size()) return false;
    if (id == kZip64ExtraId) {
      size_t q = 4;
      auto take = [&](uint64_t* v) {
        if (q + 8 > 4u + len) return false;
        *v = Get64(p + q);
        q += 8;
        return true;
      };
      if (m->uncompressed_size == kMax32 && !take(&m->uncompressed_size)) return false;
      if (m->compressed_size == kMax32 && !take(&m->compressed_size)) return false;
      if (*big_offset && !take(&m->local_header_offset)) return false;
      *big_offset = false;
    } else {
      rest->append(extra, pos, 4 + len);
    }
    pos += 4 + len;
  }
  return pos == extra.size();
}

}  // namespace

bool ReadZipDirectory(RandomReader& in, std::vector<ZipMember>* members, std::string* error) {
  members->clear();
  const uint64_t size = in.Size();
  if (size < 22) return Fail(error, "the archive is too short to be a ZIP file");
  // The end record sits in the last 22 + 65535 bytes (its comment is at most 65535 bytes).
  const uint64_t window = std::min<uint64_t>(size, 22 + 65535);
  std::string tail(static_cast<size_t>(window), '\0');
  if (!in.ReadAt(size - window, &tail[0], tail.size())) return Fail(error, "the archive cannot be read");
  const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
  size_t end = std::string::npos;
  for (size_t i = tail.size() - 22 + 1; i-- > 0;) {
    if (Get32(t + i) == kEndSignature && i + 22 + Get16(t + i + 20) == tail.size()) {
      end = i;
      break;
    }
  }
  if (end == std::string::npos) return Fail(error, "no end-of-central-directory record: not a ZIP archive or cut short");
  const uint64_t end_offset = size - window + end;
  uint64_t entries = Get16(t + end + 10);
  uint64_t dir_size = Get32(t + end + 12);
  uint64_t dir_offset = Get32(t + end + 16);
  if (end_offset >= 20) {
    unsigned char loc[20];
    if (in.ReadAt(end_offset - 20, loc, sizeof loc) && Get32(loc) == kZip64LocatorSignature) {
      const uint64_t rec = Get64(loc + 8);
      unsigned char z[56];
      if (rec > end_offset || end_offset - rec < 56 || !in.ReadAt(rec, z, sizeof z) ||
          Get32(z) != kZip64EndSignature)
        return Fail(error, "damaged Zip64 end record");
      entries = Get64(z + 32);
      dir_size = Get64(z + 40);
      dir_offset = Get64(z + 48);
    }
  }
  if (dir_offset > end_offset || dir_size > end_offset - dir_offset)
    return Fail(error, "the central directory lies outside the archive");
  if (entries > dir_size / 46) return Fail(error, "the central directory is too small for its entry count");
  uint64_t pos = dir_offset;
  const uint64_t dir_end = dir_offset + dir_size;
  members->reserve(static_cast<size_t>(entries));
  for (uint64_t i = 0; i < entries; ++i) {
    unsigned char h[46];
    if (dir_end - pos < 46 || !in.ReadAt(pos, h, sizeof h) || Get32(h) != kCentralSignature)
      return Fail(error, "damaged central directory entry");
    const size_t name_len = Get16(h + 28), extra_len = Get16(h + 30), comment_len = Get16(h + 32);
    if (dir_end - pos - 46 < name_len + extra_len + comment_len)
      return Fail(error, "a central directory entry runs past the directory");
    std::string var(name_len + extra_len + comment_len, '\0');
    if (!var.empty() && !in.ReadAt(pos + 46, &var[0], var.size()))
      return Fail(error, "the central directory cannot be read");
    ZipMember m;
    m.version_made_by = Get16(h + 4);
    m.version_needed = Get16(h + 6);
    m.flags = Get16(h + 8);
    m.method = Get16(h + 10);
    m.dos_time = Get16(h + 12) | (static_cast<uint32_t>(Get16(h + 14)) << 16);
    m.crc = Get32(h + 16);
    m.compressed_size = Get32(h + 20);
    m.uncompressed_size = Get32(h + 24);
    m.internal_attributes = Get16(h + 36);
    m.external_attributes = Get32(h + 38);
    m.local_header_offset = Get32(h + 42);
    m.name = var.substr(0, name_len);
    m.comment = var.substr(name_len + extra_len);
    bool big_offset = m.local_header_offset == kMax32;
    if (!ApplyZip64(var.substr(name_len, extra_len), &m, &big_offset, &m.extra) || big_offset)
      return Fail(error, "damaged Zip64 extra field");
    if (m.local_header_offset >= dir_offset)
      return Fail(error, "a member's local header lies outside the data area");
    members->push_back(std::move(m));
    pos += 46 + var.size();
  }
  return true;
}

bool MemberDataOffset(RandomReader& in, const ZipMember& m, uint64_t* offset, std::string* error) {
  unsigned char h[30];
  if (!in.ReadAt(m.local_header_offset, h, sizeof h) || Get32(h) != kLocalSignature)
    return Fail(error, "a member's local header is missing");
  const uint64_t data = m.local_header_offset + 30 + Get16(h + 26) + Get16(h + 28);
  if (data > in.Size() || m.compressed_size > in.Size() - data)
    return Fail(error, "a member's data runs past the end of the archive");
  *offset = data;
  return true;
}

}  // namespace velto
