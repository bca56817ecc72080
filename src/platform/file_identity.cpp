#include "platform/file_identity.h"

#include <cstring>
#include <exception>
#include <vector>

#include "platform/file_io.h"
#include "platform/md5.h"
#include "platform/version_resource.h"

namespace velto {

const char16_t kWowVersionKey[] = u"WOW Version";

namespace {

constexpr size_t kFixedInfoBytes = 13 * 4;
// Reading in pieces keeps memory flat and works for files of any size, where
// one mapping of the whole file fails beyond the free address space.
constexpr size_t kDigestChunk = 1 << 20;

uint32_t LittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadFixedInfo(const VersionResource& resource, std::array<uint32_t, 13>* words) {
  VersionResource::Value root;
  if (!resource.Query(u"\\", &root) || root.size < kFixedInfoBytes) return false;
  for (size_t i = 0; i < words->size(); ++i) (*words)[i] = LittleEndian32(root.data + i * 4);
  return true;
}

}  // namespace

bool ReadFileInfoFromBlock(const uint8_t* block, size_t size, const UString& extraKey, TFileInfo* info) {
  const VersionResource resource(block, size);
  if (!resource.Valid()) return false;

  VersionResource::Value translation;
  if (!resource.Query(u"\\VarFileInfo\\Translation", &translation) || translation.size < 4) return false;
  const uint32_t language = translation.data[0] | (translation.data[1] << 8);
  const uint32_t codePage = translation.data[2] | (translation.data[3] << 8);
  UString table = u"\\StringFileInfo\\" + HexUpper(language, 4) + HexUpper(codePage, 4) + u"\\";
  VersionResource::Value probe;
  if (!resource.Query(table, &probe)) {
    // Files whose translation entry names no table of theirs are common
    // (a copied translation, a table added in another language).
    const UString first = resource.FirstChildKey(u"\\StringFileInfo");
    if (!first.empty()) table = u"\\StringFileInfo\\" + first + u"\\";
  }

  struct Field {
    const char16_t* name;
    UString TFileInfo::*member;
  };
  static const Field kFields[] = {
      {u"CompanyName", &TFileInfo::CompanyName},     {u"FileDescription", &TFileInfo::FileDescription},
      {u"FileVersion", &TFileInfo::FileVersion},     {u"InternalName", &TFileInfo::InternalName},
      {u"LegalCopyright", &TFileInfo::LegalCopyright}, {u"LegalTrademarks", &TFileInfo::LegalTrademarks},
      {u"OriginalFileName", &TFileInfo::OriginalFileName}, {u"ProductName", &TFileInfo::ProductName},
      {u"ProductVersion", &TFileInfo::ProductVersion}, {u"Comments", &TFileInfo::Comments},
  };
  VersionResource::Value value;
  for (const Field& field : kFields) {
    if (resource.Query(table + field.name, &value)) info->*field.member = VersionResource::ValueText(value);
  }
  ReadFixedInfo(resource, &info->FixedInfo);
  if (!extraKey.empty() && resource.Query(table + extraKey, &value)) info->ExtraValue = VersionResource::ValueText(value);
  return true;
}

bool FixedFileVersionFromBlock(const uint8_t* block, size_t size, UString* version) {
  const VersionResource resource(block, size);
  std::array<uint32_t, 13> words{};
  if (!ReadFixedInfo(resource, &words)) return false;
  *version = FormatFileVersion(words[kFixedFileVersionMS], words[kFixedFileVersionLS]);
  return true;
}

UString FormatFileVersion(uint32_t versionMS, uint32_t versionLS) {
  return UIntToText(versionMS >> 16) + u"." + UIntToText(versionMS & 0xFFFF) + u"." + UIntToText(versionLS >> 16) +
         u"." + UIntToText(versionLS & 0xFFFF);
}

UString FileInfoStringOfKind(const TFileInfo& info, int kind) {
  switch (kind) {
    case 0: return info.Comments;
    case 1: return info.CompanyName;
    case 2: return info.FileDescription;
    case 3: return info.FileVersion;
    case 4: return info.InternalName;
    case 5: return info.LegalCopyright;
    case 6: return info.LegalTrademarks;
    case 7: return info.OriginalFileName;
    case 8: return info.ProductName;
    case 9: return info.ProductVersion;
    case 10: return info.ExtraValue;
    default: return UString();
  }
}

UString FileMD5(const UString& path) {
  Md5 md5;
  try {
    File file = File::Open(path, File::Mode::kRead);
    if (file.IsOpen()) {
      std::vector<uint8_t> chunk(kDigestChunk);
      for (;;) {
        const int64_t got = file.Read(chunk.data(), chunk.size());
        if (got < 0) {
          // A read that fails part-way (a locked range, a vanished network
          // file) must not pass for the file's content.
          md5.Reset();
          break;
        }
        if (got == 0) break;
        md5.Update(chunk.data(), static_cast<size_t>(got));
      }
    }
  } catch (const std::exception&) {
    md5.Reset();
  }
  return Ascii(md5.FinishHex().c_str());
}

}  // namespace velto
