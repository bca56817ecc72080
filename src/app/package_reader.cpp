#include "app/package_reader.h"

#include <zlib.h>

#include <algorithm>

#include "app/zip_names.h"
#include "platform/codepage.h"

namespace velto {

namespace {

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

struct Inflater {
  z_stream z{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
};

bool LooksLikeZip(RandomReader& r) {
  unsigned char sig[4];
  if (r.Size() < 22 || !r.ReadAt(0, sig, 4)) return false;
  return sig[0] == 'P' && sig[1] == 'K' && ((sig[2] == 3 && sig[3] == 4) || (sig[2] == 5 && sig[3] == 6));
}

}  // namespace

bool CheckContainerLayout(uint64_t file_size, int32_t length, std::string* error) {
  if (file_size < 4) return Fail(error, "the file is too short for a package (under 4 bytes)");
  const uint64_t body = file_size - 4;
  if (body % 8 != 0)
    return Fail(error, "the encrypted body (" + std::to_string(body) + " bytes) is not a multiple of 8 bytes");
  if (length < 0) return Fail(error, "the length field is negative (" + std::to_string(length) + ")");
  if (static_cast<uint64_t>(length) > body)
    return Fail(error, "the length field (" + std::to_string(length) + ") is larger than the encrypted body (" +
                           std::to_string(body) + " bytes): the package is truncated");
  if ((static_cast<uint64_t>(length) + 7) / 8 * 8 != body)
    return Fail(error, "the encrypted body (" + std::to_string(body) + " bytes) does not match the length field (" +
                           std::to_string(length) + ")");
  return true;
}

bool DecryptingReader::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > length_ || size > length_ - offset) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  uint8_t blocks[65536];
  while (size > 0) {
    const uint64_t first = offset / 8 * 8;
    const uint64_t last = std::min<uint64_t>((offset + size + 7) / 8 * 8, first + sizeof blocks);
    const size_t span = static_cast<size_t>(last - first);
    if (!container_.ReadAt(first, blocks, span)) return false;
    schedule_.DecryptBlocks(blocks, blocks, span / 8);
    const size_t skip = static_cast<size_t>(offset - first);
    const size_t take = std::min(size, span - skip);
    std::copy(blocks + skip, blocks + skip + take, out);
    out += take;
    offset += take;
    size -= take;
  }
  return true;
}

bool PackageReader::Open(std::unique_ptr<RandomReader> file, std::string* error) {
  file_ = std::move(file);
  decrypted_.reset();
  members_.clear();
  std::string zip_error;
  if (LooksLikeZip(*file_) && ReadZipDirectory(*file_, &members_, &zip_error)) {
    kind_ = PackageKind::kPlainZip;
    archive_ = file_.get();
    return true;
  }
  const uint64_t size = file_->Size();
  unsigned char tail[4] = {0, 0, 0, 0};
  if (size >= 4 && !file_->ReadAt(size - 4, tail, 4)) return Fail(error, "the package cannot be read");
  const int32_t length = static_cast<int32_t>(tail[0] | (tail[1] << 8) | (tail[2] << 16) |
                                              (static_cast<uint32_t>(tail[3]) << 24));
  std::string layout_error;
  if (!CheckContainerLayout(size, length, &layout_error)) {
    if (LooksLikeZip(*file_)) return Fail(error, "damaged ZIP archive: " + zip_error);
    return Fail(error, "not a package: " + layout_error);
  }
  if (length == 0) return Fail(error, "the package holds an empty archive (length 0)");
  decrypted_ = std::make_unique<DecryptingReader>(*file_, DeriveKey(kReportPassPhrase),
                                                  static_cast<uint64_t>(length));
  if (!ReadZipDirectory(*decrypted_, &members_, &zip_error))
    return Fail(error, "the decrypted archive is damaged (or another pass phrase was used): " + zip_error);
  kind_ = PackageKind::kEncrypted;
  archive_ = decrypted_.get();
  return true;
}

UString PackageReader::MemberName(size_t index) const {
  const ZipMember& m = members_.at(index);
  return DecodeMemberName(m.name, (m.flags & kFlagUtf8) != 0);
}

bool PackageReader::ReadMember(size_t index, const ByteCallback& sink, std::string* error) {
  if (index >= members_.size()) return Fail(error, "no such member");
  const ZipMember& m = members_[index];
  if (m.flags & 0x0001) return Fail(error, "the member is encrypted with a ZIP password");
  uint64_t data = 0;
  if (!MemberDataOffset(*archive_, m, &data, error)) return false;
  std::vector<uint8_t> in(65536), out(65536);
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t produced = 0;
  auto deliver = [&](const uint8_t* p, size_t n) {
    produced += n;
    if (produced > m.uncompressed_size) return false;
    crc = crc32(crc, p, static_cast<uInt>(n));
    return sink(p, n);
  };
  if (m.method == kMethodStored) {
    if (m.compressed_size != m.uncompressed_size) return Fail(error, "a stored member's sizes disagree");
    for (uint64_t done = 0; done < m.compressed_size;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(in.size(), m.compressed_size - done));
      if (!archive_->ReadAt(data + done, in.data(), n)) return Fail(error, "the member's data cannot be read");
      if (!deliver(in.data(), n)) return Fail(error, "the member is longer than its recorded size, or output failed");
      done += n;
    }
  } else if (m.method == kMethodDeflate) {
    Inflater inf;
    if (inflateInit2(&inf.z, -15) != Z_OK) return Fail(error, "inflate could not start");
    inf.ready = true;
    uint64_t consumed = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
      if (inf.z.avail_in == 0) {
        if (consumed >= m.compressed_size) return Fail(error, "the member's compressed data ends early");
        const size_t n = static_cast<size_t>(std::min<uint64_t>(in.size(), m.compressed_size - consumed));
        if (!archive_->ReadAt(data + consumed, in.data(), n)) return Fail(error, "the member's data cannot be read");
        consumed += n;
        inf.z.next_in = in.data();
        inf.z.avail_in = static_cast<uInt>(n);
      }
      inf.z.next_out = out.data();
      inf.z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&inf.z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END) return Fail(error, "the member's compressed data is damaged");
      const size_t n = out.size() - inf.z.avail_out;
      if (n && !deliver(out.data(), n)) return Fail(error, "the member is longer than its recorded size, or output failed");
    }
  } else {
    return Fail(error, "unsupported compression method " + std::to_string(m.method));
  }
  if (produced != m.uncompressed_size) return Fail(error, "the member is shorter than its recorded size");
  if (static_cast<uint32_t>(crc) != m.crc) return Fail(error, "CRC-32 mismatch");
  return true;
}

bool PackageReader::CopyArchive(const ByteCallback& sink, std::string* error) {
  std::vector<uint8_t> buffer(1 << 20);
  const uint64_t size = archive_->Size();
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done));
    if (!archive_->ReadAt(done, buffer.data(), n)) return Fail(error, "the package cannot be read");
    if (!sink(buffer.data(), n)) return Fail(error, "the archive could not be written");
    done += n;
  }
  return true;
}

namespace {

// Windows opens a device for these names whatever extension follows (and
// trailing spaces before it), in any folder: "aux.txt" is the AUX device.
bool IsDeviceName(const UString& part) {
  UString base = part.substr(0, part.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  base = UpperCase(base);
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (base == device) return true;
  if (base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0)) {
    const char16_t n = base[3];
    // Windows also takes the superscript digits one to three as port numbers.
    return (n >= u'1' && n <= u'9') || n == u'\u00B9' || n == u'\u00B2' || n == u'\u00B3';
  }
  return false;
}

}  // namespace

bool SafeRelativePath(const UString& name, std::vector<UString>* parts, std::string* why) {
  parts->clear();
  if (name.empty()) return Fail(why, "empty name");
  if (name[0] == u'/' || name[0] == u'\\') return Fail(why, "absolute path");
  if (name.size() >= 2 && name[1] == u':') return Fail(why, "drive letter");
  UString part;
  // A part Windows would store under another name, or open as a device,
  // is refused on every system: the package may be extracted anywhere.
  const char* refusal = nullptr;
  auto flush = [&]() -> bool {
    if (part == u"..") {
      refusal = "climbs out of the folder (..)";
      return false;
    }
    if (!part.empty() && part != u".") {
      if (part.back() == u'.' || part.back() == u' ') {
        refusal = "a name part ends in '.' or ' ', which Windows drops";
        return false;
      }
      if (IsDeviceName(part)) {
        refusal = "a name part is a Windows device name";
        return false;
      }
      parts->push_back(part);
    }
    part.clear();
    return true;
  };
  for (char16_t c : name) {
    if (c == u'/' || c == u'\\') {
      if (!flush()) return Fail(why, refusal);
      continue;
    }
    if (c < 0x20 || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|')
      return Fail(why, "holds a character no file name may hold");
    part.push_back(c);
  }
  if (!flush()) return Fail(why, refusal);
  if (parts->empty()) return Fail(why, "names no file");
  return true;
}

}  // namespace velto
