#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "app/des_tables.h"
#include "app/descrypt.h"
#include "archive_test_util.h"
#include "platform/file_io.h"

namespace velto {
namespace {

using testutil::Hex;

DesBlock BlockFromHex(const std::string& hex) {
  DesBlock b{};
  for (size_t i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return b;
}

std::string HexOf(const DesBlock& b) { return Hex(std::string(b.begin(), b.end())); }

std::string EncryptHex(const std::string& key_hex, const std::string& plain_hex) {
  const DesBlock key = BlockFromHex(key_hex), plain = BlockFromHex(plain_hex);
  DesBlock out{};
  DesKeySchedule(key).EncryptBlocks(plain.data(), out.data(), 1);
  return HexOf(out);
}

// Published vectors: the FIPS 46 worked example, the classic "Now is t" case,
// and entries of the NBS SP 500-20 variable-plaintext and variable-key tables.
TEST(Des, KnownAnswerVectors) {
  EXPECT_EQ(EncryptHex("133457799BBCDFF1", "0123456789ABCDEF"), "85E813540F0AB405");
  EXPECT_EQ(EncryptHex("0123456789ABCDEF", "4E6F772069732074"), "3FA40E8A984D4815");
  EXPECT_EQ(EncryptHex("0101010101010101", "8000000000000000"), "95F8A5E5DD31D900");
  EXPECT_EQ(EncryptHex("0101010101010101", "4000000000000000"), "DD7F121CA5015619");
  EXPECT_EQ(EncryptHex("8001010101010101", "0000000000000000"), "95A8D72813DAA94D");
  EXPECT_EQ(EncryptHex("4001010101010101", "0000000000000000"), "0EEC1487DD8C26D5");
  // Parity bits (the low bit of each key byte) do not matter.
  EXPECT_EQ(EncryptHex("123456789ABCDEF0", "0123456789ABCDEF"), EncryptHex("133557799BBDDFF1", "0123456789ABCDEF"));
}

TEST(Des, FastPathAgreesWithBitByBitReferenceAndDecrypts) {
  std::mt19937_64 rng(42);
  std::vector<uint8_t> plain(8 * 257), cipher(plain.size()), back(plain.size());
  for (int round = 0; round < 40; ++round) {
    DesKey key;
    const uint64_t k = rng();
    for (int i = 0; i < 8; ++i) key[i] = static_cast<uint8_t>(k >> (8 * i));
    for (auto& b : plain) b = static_cast<uint8_t>(rng());
    const DesKeySchedule schedule(key);
    schedule.EncryptBlocks(plain.data(), cipher.data(), plain.size() / 8);  // odd count: both loops
    schedule.DecryptBlocks(cipher.data(), back.data(), plain.size() / 8);
    ASSERT_EQ(plain, back);
    for (size_t blk = 0; blk < plain.size() / 8; blk += 37) {
      uint64_t in = 0, out = 0;
      for (int i = 0; i < 8; ++i) {
        in = (in << 8) | plain[blk * 8 + i];
        out = (out << 8) | cipher[blk * 8 + i];
      }
      ASSERT_EQ(out, des::ReferenceEncrypt(in, key.data())) << "block " << blk;
    }
  }
}

TEST(Des, DeriveKeyFoldsThePassPhrase) {
  auto hex = [](const DesKey& k) { return Hex(std::string(k.begin(), k.end())); };
  EXPECT_EQ(hex(DeriveKey("")), "0000000000000000");
  EXPECT_EQ(hex(DeriveKey("abc")), "0061626300000000");
  // Ninth and tenth bytes are added to key bytes 1 and 2; the eighth lands in byte 0.
  EXPECT_EQ(hex(DeriveKey("ABCDEFGHIJ")), "488A8C4344454647");
  EXPECT_EQ(hex(DeriveKey("marbleoxtide")), "78E1CAD6C76C656F");
  // Sums wrap modulo 256.
  EXPECT_EQ(hex(DeriveKey(std::string("\xF0\x00\x00\x00\x00\x00\x00\x00\x20", 9))), "0010000000000000");
}

TEST(Des, EncryptBlockUsesTheDerivedKey) {
  const DesBlock plain = BlockFromHex("0123456789ABCDEF");
  DesBlock expected{};
  DesKeySchedule(DeriveKey("marbleoxtide")).EncryptBlocks(plain.data(), expected.data(), 1);
  EXPECT_EQ(EncryptBlock(plain, "marbleoxtide"), expected);
  EXPECT_NE(EncryptBlock(plain, "marbleoxtidf"), expected);
}

class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string s, size_t piece = 1 << 30) : s_(std::move(s)), piece_(piece) {}
  int64_t Read(void* buffer, size_t size) override {
    const size_t n = std::min({size, piece_, s_.size() - pos_});
    std::memcpy(buffer, s_.data() + pos_, n);
    pos_ += n;
    return static_cast<int64_t>(n);
  }

 private:
  std::string s_;
  size_t piece_;
  size_t pos_ = 0;
};

class StringSink : public ByteSink {
 public:
  bool Write(const void* data, size_t size) override {
    s.append(static_cast<const char*>(data), size);
    return true;
  }
  std::string s;
};

std::string Container(const std::string& input, unsigned threads = 1, size_t piece = 1 << 30) {
  StringSource in(input, piece);
  StringSink out;
  EncryptStream(in, out, "marbleoxtide", threads);
  return out.s;
}

TEST(Des, ContainerSizesAndLengthField) {
  EXPECT_EQ(Hex(Container("")), "00000000");
  const std::string eight = Container("ABCDEFGH");
  ASSERT_EQ(eight.size(), 12u);
  EXPECT_EQ(Hex(eight.substr(8)), "08000000");
  const std::string nine = Container("ABCDEFGHI");
  ASSERT_EQ(nine.size(), 20u);
  EXPECT_EQ(Hex(nine.substr(16)), "09000000");
  EXPECT_EQ(nine.substr(0, 8), eight.substr(0, 8));
  // Electronic code book: equal blocks give equal ciphertext.
  const std::string twice = Container("SAMEBLKSAMEBLK!!SAMEBLKSAMEBLK!!");
  EXPECT_EQ(twice.substr(0, 16), twice.substr(16, 16));
  EXPECT_EQ(Hex(twice.substr(32)), "20000000");
}

TEST(Des, ContainerDoesNotDependOnThreadsOrReadSizes) {
  std::string big(3 * (1 << 20) + 13, '\0');
  std::mt19937 rng(7);
  for (auto& c : big) c = static_cast<char>(rng());
  const std::string one = Container(big, 1);
  EXPECT_EQ(Container(big, 4), one);
  EXPECT_EQ(Container(big, 2, 777), one);  // short reads never split a block wrongly
  EXPECT_EQ(one.size(), (big.size() + 7) / 8 * 8 + 4);
}

// OpenSSL's DES is the oracle: it must decrypt the body under the key from
// "marbleoxtide" to the input (padded with zeros).
TEST(Des, OpenSslDecryptsThePackageBody) {
  if (!testutil::HaveTool("openssl")) GTEST_SKIP() << "openssl not installed";
  testutil::ScratchDir dir;
  for (size_t size : {1u, 8u, 9u, 1000u, (1u << 20) + 3}) {
    std::string input(size, '\0');
    for (size_t i = 0; i < size; ++i) input[i] = static_cast<char>(i * 131 + size);
    const std::string pkg = Container(input, 2);
    testutil::WriteFile(dir / "body", pkg.substr(0, pkg.size() - 4));
    const std::string plain = testutil::Run(
        "openssl enc -d -des-ecb -nopad -provider legacy -provider default -K 78E1CAD6C76C656F -in '" +
        (dir / "body") + "'");
    ASSERT_EQ(plain.size(), (size + 7) / 8 * 8) << size;
    EXPECT_EQ(plain.substr(0, size), input) << size;
    EXPECT_EQ(plain.substr(size), std::string(plain.size() - size, '\0'));
  }
}

TEST(Des, EncryptFileEdgeCases) {
  testutil::ScratchDir dir;
  testutil::WriteFile(dir / "in", "ABCDEFGHI");
  // Empty strings: nothing happens.
  EncryptFile(FromUtf8(dir / "in"), FromUtf8(dir / "out"), u"");
  EncryptFile(FromUtf8(dir / "in"), u"", u"marbleoxtide");
  EXPECT_FALSE(testutil::Exists(dir / "out"));
  EncryptFile(FromUtf8(dir / "in"), FromUtf8(dir / "out"), u"marbleoxtide");
  EXPECT_EQ(testutil::ReadFile(dir / "out"), Container("ABCDEFGHI"));
  EXPECT_THROW(EncryptFile(FromUtf8(dir / "missing"), FromUtf8(dir / "out2"), u"marbleoxtide"), EncryptError);
  EXPECT_FALSE(testutil::Exists(dir / "out2"));
  EXPECT_THROW(EncryptFile(FromUtf8(dir / "in"), FromUtf8(dir / "no/such/dir/out"), u"marbleoxtide"),
               EncryptError);
}

// The length field is a signed 32-bit number: 2 GiB cannot be described, and
// no package may be written for it.
TEST(Des, ArchiveOfTwoGibibytesIsRefused) {
  testutil::ScratchDir dir;
  {
    File f = File::Open(FromUtf8(dir / "huge"), File::Mode::kCreate);
    ASSERT_TRUE(f.IsOpen());
    ASSERT_TRUE(f.Truncate(0x80000000ull));  // sparse
  }
  EXPECT_THROW(EncryptFile(FromUtf8(dir / "huge"), FromUtf8(dir / "pkg"), u"marbleoxtide"), EncryptError);
  EXPECT_FALSE(testutil::Exists(dir / "pkg"));
}

}  // namespace
}  // namespace velto
