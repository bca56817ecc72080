// The report cipher: DES (FIPS 46-3) in electronic code book mode under a key
// folded from a pass phrase, wrapped in the package container:
//   n encrypted 8-byte blocks (the input zero-padded to a multiple of 8),
//   then the input's length as a signed 32-bit little-endian integer.
// An empty input gives the four bytes 00 00 00 00.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "app/worker_threads.h"
#include "platform/text.h"

namespace velto {

using DesKey = std::array<uint8_t, 8>;
using DesBlock = std::array<uint8_t, 8>;

// Raised when the container cannot be read, written or represented.
class EncryptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Folds the pass phrase into 8 key bytes: byte i is added (mod 256) to key
// byte (i + 1) mod 8, starting from eight zeros.
DesKey DeriveKey(const std::string& pass_phrase);

// The 16 encryption round keys of one DES key, built once and reused for
// every block. Cheap to copy; thread-safe to use from several threads.
class DesKeySchedule {
 public:
  explicit DesKeySchedule(const DesKey& key);
  // Encrypts `blocks` 8-byte blocks from `in` to `out` (which may be the same
  // buffer), each on its own.
  void EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
  // The decryption direction, for the support-side reader.
  void DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;

 private:
  std::array<uint32_t, 32> keys_;  // two words per round, in the layout of the SP tables
};

// One block under the key derived from `pass_phrase`. Never fails: the block
// cipher has no failure path, so the "eight zero bytes on failure" result of
// the interface cannot occur.
DesBlock EncryptBlock(const DesBlock& block, const std::string& pass_phrase);

// Byte streams for EncryptStream. Read returns the count read, 0 at the end
// and -1 on error; Write returns false on error.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t Read(void* buffer, size_t size) = 0;
};
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, size_t size) = 0;
};

// Reads the whole input chunk by chunk and appends the container to `out`.
// Memory stays constant whatever the input's size. Inputs of 2 GiB or more
// cannot be described by the length field and raise EncryptError, as do
// read and write failures. `threads` > 1 encrypts each chunk on that many
// threads (the output bytes do not depend on it), started with `starter`
// (std::thread when empty); parts whose thread cannot start are encrypted on
// the calling thread.
void EncryptStream(ByteSource& in, ByteSink& out, const std::string& pass_phrase,
                   unsigned threads = 1, const ThreadStarter& starter = {});

// Encrypts the file `input` into the package file `output` (created or
// overwritten) under the pass phrase converted to the ANSI code page. Does
// nothing when any of the three strings is empty. Raises EncryptError when
// the input cannot be read, the output cannot be written, or the input is
// 2 GiB or larger; a partly written output is removed before raising, so no
// unreadable package is left behind.
void EncryptFile(const UString& input, const UString& output, const UString& pass_phrase);

// The system's fixed pass phrase.
extern const char kReportPassPhrase[];

}  // namespace velto
