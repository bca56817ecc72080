#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/file_identity.h"
#include "platform/version_resource.h"

namespace velto {
namespace {

// Builds version-information blocks in the layout resource compilers write:
// length, value length, type, NUL-terminated key, padding, value, padding,
// children, every node on a 4-byte boundary.
struct Node {
  UString key;
  std::vector<uint8_t> value;
  bool text = false;
  std::vector<Node> children;
};

Node Text(const UString& key, const UString& text) {
  Node n{key, {}, true, {}};
  for (char16_t c : text + UString(1, u'\0')) {
    n.value.push_back(static_cast<uint8_t>(c));
    n.value.push_back(static_cast<uint8_t>(c >> 8));
  }
  return n;
}

Node Binary(const UString& key, std::vector<uint8_t> bytes) { return Node{key, std::move(bytes), false, {}}; }

Node Branch(const UString& key, std::vector<Node> children) { return Node{key, {}, false, std::move(children)}; }

void Put16(std::vector<uint8_t>* out, size_t at, size_t v) {
  (*out)[at] = static_cast<uint8_t>(v);
  (*out)[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Align(std::vector<uint8_t>* out) {
  while (out->size() % 4) out->push_back(0);
}

void Encode(const Node& node, std::vector<uint8_t>* out) {
  Align(out);
  const size_t start = out->size();
  out->resize(start + 6);
  for (char16_t c : node.key + UString(1, u'\0')) {
    out->push_back(static_cast<uint8_t>(c));
    out->push_back(static_cast<uint8_t>(c >> 8));
  }
  Align(out);
  out->insert(out->end(), node.value.begin(), node.value.end());
  for (const Node& child : node.children) Encode(child, out);
  Put16(out, start, out->size() - start);
  Put16(out, start + 2, node.text ? node.value.size() / 2 : node.value.size());
  Put16(out, start + 4, node.text ? 1 : 0);
}

std::vector<uint8_t> FixedInfo(uint32_t ms, uint32_t ls, uint32_t pms, uint32_t pls) {
  const uint32_t words[13] = {0xFEEF04BD, 0x10000, ms, ls, pms, pls, 0x3F, 0, 0x40004, 1, 0, 0, 0};
  std::vector<uint8_t> bytes;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return bytes;
}

std::vector<uint8_t> Translation(uint16_t language, uint16_t codePage) {
  return {static_cast<uint8_t>(language), static_cast<uint8_t>(language >> 8), static_cast<uint8_t>(codePage),
          static_cast<uint8_t>(codePage >> 8)};
}

std::vector<uint8_t> Block(std::vector<Node> stringTables, std::vector<uint8_t> translation,
                           std::vector<uint8_t> fixed = FixedInfo(0x000A0002, 0x00C80001, 0xFFFF0000, 0x0007FFFF)) {
  Node root{u"VS_VERSION_INFO", std::move(fixed), false, {}};
  root.children.push_back(Branch(u"StringFileInfo", std::move(stringTables)));
  if (!translation.empty()) root.children.push_back(Branch(u"VarFileInfo", {Binary(u"Translation", translation)}));
  std::vector<uint8_t> out;
  Encode(root, &out);
  return out;
}

TEST(FileIdentity, ReadsTheTableNamedByTheTranslation) {
  const auto block = Block({Branch(u"041904E3", {Text(u"FileVersion", u"wrong table")}),
                            Branch(u"040904B0", {Text(u"FileVersion", u"1.2"), Text(u"OriginalFilename", u"a.exe"),
                                                 Text(u"Comments", u""), Text(u"WOW Version", u"w")})},
                           Translation(0x0409, 0x04B0));
  TFileInfo info;
  ASSERT_TRUE(ReadFileInfoFromBlock(block.data(), block.size(), kWowVersionKey, &info));
  EXPECT_EQ(info.FileVersion, u"1.2");
  // Keys compare without regard to case, as the platform's lookup does.
  EXPECT_EQ(info.OriginalFileName, u"a.exe");
  EXPECT_EQ(info.Comments, u"");
  EXPECT_EQ(info.ExtraValue, u"w");
  EXPECT_EQ(info.CompanyName, u"");
  EXPECT_EQ(info.FixedInfo[0], 0xFEEF04BDu);
  EXPECT_EQ(info.FixedInfo[2], 0x000A0002u);
  EXPECT_EQ(info.FixedInfo[5], 0x0007FFFFu);
  EXPECT_EQ(FileInfoStringOfKind(info, 3), u"1.2");
  EXPECT_EQ(FileInfoStringOfKind(info, 7), u"a.exe");
  EXPECT_EQ(FileInfoStringOfKind(info, 10), u"w");
  EXPECT_EQ(FileInfoStringOfKind(info, 11), u"");
  EXPECT_EQ(FileInfoStringOfKind(info, -1), u"");
}

TEST(FileIdentity, FallsBackToTheFirstTableTheBlockHolds) {
  const auto block = Block({Branch(u"041904E3", {Text(u"ProductName", u"P")}), Branch(u"040704B0", {})},
                           Translation(0x0409, 0x04B0));
  TFileInfo info;
  ASSERT_TRUE(ReadFileInfoFromBlock(block.data(), block.size(), u"", &info));
  EXPECT_EQ(info.ProductName, u"P");
  EXPECT_EQ(info.ExtraValue, u"");
}

TEST(FileIdentity, NoTranslationMeansNoReadableInformation) {
  const auto block = Block({Branch(u"040904B0", {Text(u"FileVersion", u"1")})}, {});
  TFileInfo info;
  EXPECT_FALSE(ReadFileInfoFromBlock(block.data(), block.size(), u"", &info));
  EXPECT_EQ(info.FileVersion, u"");
  const auto shortTranslation = Block({}, {0x09, 0x04});
  EXPECT_FALSE(ReadFileInfoFromBlock(shortTranslation.data(), shortTranslation.size(), u"", &info));
}

TEST(FileIdentity, FixedVersionHalvesAreUnsigned) {
  EXPECT_EQ(FormatFileVersion(0x000A0002, 0x00C80001), u"10.2.200.1");
  EXPECT_EQ(FormatFileVersion(0xFFFF0000, 0x0007FFFF), u"65535.0.7.65535");
  const auto block = Block({}, Translation(0x0409, 0x04B0));
  UString version;
  ASSERT_TRUE(FixedFileVersionFromBlock(block.data(), block.size(), &version));
  EXPECT_EQ(version, u"10.2.200.1");
  // A root value shorter than the fixed block counts as missing.
  const auto stub = Block({}, Translation(0x0409, 0x04B0), std::vector<uint8_t>(20, 1));
  EXPECT_FALSE(FixedFileVersionFromBlock(stub.data(), stub.size(), &version));
  TFileInfo info;
  ASSERT_TRUE(ReadFileInfoFromBlock(stub.data(), stub.size(), u"", &info));
  EXPECT_EQ(info.FixedInfo[0], 0u);
}

// Every truncation of a valid block, and every single corrupted length word,
// must be read without touching bytes outside the block (ASan checks this).
TEST(FileIdentity, DamagedBlocksStayInBounds) {
  const auto block = Block({Branch(u"040904B0", {Text(u"FileVersion", u"1.0"), Text(u"CompanyName", u"C")})},
                           Translation(0x0409, 0x04B0));
  for (size_t cut = 0; cut <= block.size(); ++cut) {
    std::vector<uint8_t> part(block.begin(), block.begin() + cut);
    TFileInfo info;
    ReadFileInfoFromBlock(part.data(), part.size(), u"X", &info);
    UString v;
    FixedFileVersionFromBlock(part.data(), part.size(), &v);
  }
  for (size_t at = 0; at + 1 < block.size(); at += 2) {
    for (uint16_t bad : {0, 1, 5, 6, 7, 0x7FFF, 0xFFFF}) {
      std::vector<uint8_t> broken = block;
      broken[at] = static_cast<uint8_t>(bad);
      broken[at + 1] = static_cast<uint8_t>(bad >> 8);
      TFileInfo info;
      ReadFileInfoFromBlock(broken.data(), broken.size(), u"X", &info);
    }
  }
  TFileInfo info;
  EXPECT_FALSE(ReadFileInfoFromBlock(nullptr, 0, u"", &info));
}

TEST(FileIdentity, TextWithoutTerminatorEndsAtTheNode) {
  // A string whose declared length overruns its node and carries no NUL.
  std::vector<uint8_t> block = Block({Branch(u"040904B0", {Text(u"FileVersion", u"1.0")})}, Translation(0x0409, 0x04B0));
  VersionResource resource(block.data(), block.size());
  VersionResource::Value value;
  ASSERT_TRUE(resource.Query(u"\\StringFileInfo\\040904b0\\fileversion", &value));
  EXPECT_EQ(VersionResource::ValueText(value), u"1.0");
  VersionResource::Value truncated = value;
  truncated.available = 4;  // two characters, no terminator
  EXPECT_EQ(VersionResource::ValueText(truncated), u"1.");
  EXPECT_FALSE(resource.Query(u"\\StringFileInfo\\040904B0\\Missing", &value));
  EXPECT_EQ(resource.FirstChildKey(u"\\StringFileInfo"), u"040904B0");
}

}  // namespace
}  // namespace velto
