// MD5 message digest (RFC 1321), fed incrementally so that files of any size
// can be digested with a fixed buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velto {

class Md5 {
 public:
  Md5();
  // Starts a new digest; the object may be reused after Finish.
  void Reset();
  void Update(const void* data, size_t size);
  // Completes the digest; the object must be Reset before it is fed again.
  void Finish(uint8_t digest[16]);
  // Completes the digest and returns it as 32 lower-case hexadecimal digits.
  std::string FinishHex();

 private:
  void Transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint64_t length_;  // bytes fed so far (the message length modulo 2^64 bits needs only this)
  uint8_t buffer_[64];
  size_t buffered_;
};

// Lower-case hexadecimal form of a 16-byte digest.
std::string DigestToHex(const uint8_t digest[16]);

// Digest of a byte string in one call.
std::string Md5Hex(const void* data, size_t size);

}  // namespace velto
