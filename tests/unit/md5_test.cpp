#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/file_identity.h"
#include "platform/file_io.h"
#include "platform/md5.h"

namespace velto {
namespace {

std::string Hex(const std::string& s) { return Md5Hex(s.data(), s.size()); }

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

// Any way of cutting the input into pieces gives the one-piece digest,
// including pieces that straddle the 64-byte blocks and the padding edge.
TEST(Md5, PiecewiseFeedingMatchesOneShot) {
  std::string data;
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
    const std::string part = data.substr(0, length);
    const std::string whole = Hex(part);
    for (size_t step : {1u, 3u, 63u, 64u, 65u}) {
      Md5 md5;
      for (size_t pos = 0; pos < part.size(); pos += step) md5.Update(part.data() + pos, std::min(step, part.size() - pos));
      EXPECT_EQ(md5.FinishHex(), whole) << "length " << length << " step " << step;
    }
  }
}

TEST(Md5, ResetStartsAgain) {
  Md5 md5;
  md5.Update("garbage", 7);
  md5.Reset();
  md5.Update("abc", 3);
  EXPECT_EQ(md5.FinishHex(), "900150983cd24fb0d6963f7d28e17f72");
}

class FileMd5Native : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/velto_md5_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // The digest md5sum gives for a file: the oracle is not our code.
  static std::string Md5sum(const std::string& path) {
    std::string out;
    FILE* pipe = popen(("md5sum '" + path + "'").c_str(), "r");
    if (!pipe) return out;
    char buf[128];
    if (fgets(buf, sizeof(buf), pipe)) out.assign(buf, 32);
    pclose(pipe);
    return out;
  }

  std::string dir_;
};

TEST_F(FileMd5Native, EqualsMd5sumAroundTheChunkSize) {
  const size_t chunk = 1 << 20;
  for (size_t size : {size_t{1}, size_t{64}, chunk - 1, chunk, chunk + 1, 3 * chunk + 17}) {
    std::string bytes(size, '\0');
    uint32_t x = static_cast<uint32_t>(size);
    for (char& c : bytes) {
      x = x * 1103515245u + 12345u;
      c = static_cast<char>(x >> 23);
    }
    const std::string path = dir_ + "/f" + std::to_string(size);
    ASSERT_TRUE(WriteWholeFile(FromUtf8(path), bytes));
    const std::string expected = Md5sum(path);
    ASSERT_EQ(expected.size(), 32u) << "md5sum is needed for this test";
    EXPECT_EQ(ToUtf8(FileMD5(FromUtf8(path))), expected) << "size " << size;
  }
}

TEST_F(FileMd5Native, UnreadableInputGivesTheEmptyDigest) {
  const std::string empty = "d41d8cd98f00b204e9800998ecf8427e";
  ASSERT_TRUE(WriteWholeFile(FromUtf8(dir_ + "/empty"), std::string()));
  EXPECT_EQ(ToUtf8(FileMD5(FromUtf8(dir_ + "/empty"))), empty);
  EXPECT_EQ(ToUtf8(FileMD5(FromUtf8(dir_ + "/missing"))), empty);
  EXPECT_EQ(ToUtf8(FileMD5(FromUtf8(dir_))), empty);  // a folder reads as an error
  EXPECT_EQ(ToUtf8(FileMD5(u"")), empty);
}

}  // namespace
}  // namespace velto
