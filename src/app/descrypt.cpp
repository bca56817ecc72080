#include "app/descrypt.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "app/des_tables.h"
#include "platform/codepage.h"
#include "platform/file_io.h"

namespace velto {

const char kReportPassPhrase[] = "marbleoxtide";

namespace {

inline uint32_t RotateRight(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }
inline uint32_t LoadBig(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void StoreBig(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// One step of the initial/final permutation as a network of masked swaps:
// the five steps below give exactly the initial permutation, and the same
// steps in reverse order give its inverse.
#define VELTO_SWAP(a, b, n, m)          \
  do {                                  \
    const uint32_t t = (((a) >> (n)) ^ (b)) & (m); \
    (b) ^= t;                           \
    (a) ^= t << (n);                    \
  } while (0)

inline void InitialPermutation(uint32_t& l, uint32_t& r) {
  VELTO_SWAP(l, r, 4, 0x0F0F0F0Fu);
  VELTO_SWAP(l, r, 16, 0x0000FFFFu);
  VELTO_SWAP(r, l, 2, 0x33333333u);
  VELTO_SWAP(r, l, 8, 0x00FF00FFu);
  VELTO_SWAP(l, r, 1, 0x55555555u);
}

inline void FinalPermutation(uint32_t& l, uint32_t& r) {
  VELTO_SWAP(l, r, 1, 0x55555555u);
  VELTO_SWAP(r, l, 8, 0x00FF00FFu);
  VELTO_SWAP(r, l, 2, 0x33333333u);
  VELTO_SWAP(l, r, 16, 0x0000FFFFu);
  VELTO_SWAP(l, r, 4, 0x0F0F0F0Fu);
}
#undef VELTO_SWAP

// The halves are kept rotated right by one bit, so the expansion's six-bit
// groups sit at fixed positions of the half and of the half rotated by four
// more: groups 1, 3, 5, 7 and groups 8, 2, 4, 6 at bits 31-26, 23-18, 15-10, 7-2.
inline uint32_t Look(const des::SpTables& sp, int box, uint32_t byte_offset) {
  // `byte_offset` is the group already multiplied by 4 (two low bits clear),
  // which saves a shift per lookup.
  return *reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(sp[box].data()) +
                                            byte_offset);
}

inline uint32_t Round(uint32_t r, uint32_t ka, uint32_t kb, const des::SpTables& sp) {
  const uint32_t a = r ^ ka;
  const uint32_t b = RotateRight(r, 4) ^ kb;
  return Look(sp, 0, (a >> 24) & 0xFC) ^ Look(sp, 2, (a >> 16) & 0xFC) ^
         Look(sp, 4, (a >> 8) & 0xFC) ^ Look(sp, 6, a & 0xFC) ^ Look(sp, 7, (b >> 24) & 0xFC) ^
         Look(sp, 1, (b >> 16) & 0xFC) ^ Look(sp, 3, (b >> 8) & 0xFC) ^ Look(sp, 5, b & 0xFC);
}

// `step` is +2 for encryption (round keys 1..16) and -2 for decryption.
void CryptBlocks(const uint32_t* keys, int step, const uint8_t* in, uint8_t* out, size_t blocks) {
  const des::SpTables& sp = des::Sp();
  const uint32_t* first = step > 0 ? keys : keys + 30;
  size_t i = 0;
  // Two independent blocks per pass keep both lookup chains in flight.
  for (; i + 2 <= blocks; i += 2, in += 16, out += 16) {
    uint32_t l0 = LoadBig(in), r0 = LoadBig(in + 4), l1 = LoadBig(in + 8), r1 = LoadBig(in + 12);
    InitialPermutation(l0, r0);
    InitialPermutation(l1, r1);
    l0 = RotateRight(l0, 1);
    r0 = RotateRight(r0, 1);
    l1 = RotateRight(l1, 1);
    r1 = RotateRight(r1, 1);
    const uint32_t* k = first;
    for (int round = 0; round < 8; ++round) {
      l0 ^= Round(r0, k[0], k[1], sp);
      l1 ^= Round(r1, k[0], k[1], sp);
      k += step;
      r0 ^= Round(l0, k[0], k[1], sp);
      r1 ^= Round(l1, k[0], k[1], sp);
      k += step;
    }
    uint32_t hi0 = RotateRight(r0, 31), lo0 = RotateRight(l0, 31);
    uint32_t hi1 = RotateRight(r1, 31), lo1 = RotateRight(l1, 31);
    FinalPermutation(hi0, lo0);
    FinalPermutation(hi1, lo1);
    StoreBig(out, hi0);
    StoreBig(out + 4, lo0);
    StoreBig(out + 8, hi1);
    StoreBig(out + 12, lo1);
  }
  for (; i < blocks; ++i, in += 8, out += 8) {
    uint32_t l = LoadBig(in), r = LoadBig(in + 4);
    InitialPermutation(l, r);
    l = RotateRight(l, 1);
    r = RotateRight(r, 1);
    const uint32_t* k = first;
    for (int round = 0; round < 8; ++round) {
      l ^= Round(r, k[0], k[1], sp);
      k += step;
      r ^= Round(l, k[0], k[1], sp);
      k += step;
    }
    // The output takes R16 before L16.
    uint32_t hi = RotateRight(r, 31), lo = RotateRight(l, 31);
    FinalPermutation(hi, lo);
    StoreBig(out, hi);
    StoreBig(out + 4, lo);
  }
}

}  // namespace

DesKey DeriveKey(const std::string& pass_phrase) {
  DesKey key{};
  for (size_t i = 0; i < pass_phrase.size(); ++i)
    key[(i + 1) % 8] = static_cast<uint8_t>(key[(i + 1) % 8] + static_cast<uint8_t>(pass_phrase[i]));
  return key;
}

DesKeySchedule::DesKeySchedule(const DesKey& key) {
  const auto subkeys = des::RoundSubkeys(key.data());
  for (int round = 0; round < 16; ++round) {
    uint32_t g[8];
    for (int i = 0; i < 8; ++i) g[i] = static_cast<uint32_t>(subkeys[round] >> (42 - 6 * i)) & 0x3F;
    keys_[2 * round] = (g[0] << 26) | (g[2] << 18) | (g[4] << 10) | (g[6] << 2);
    keys_[2 * round + 1] = (g[7] << 26) | (g[1] << 18) | (g[3] << 10) | (g[5] << 2);
  }
}

void DesKeySchedule::EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
  CryptBlocks(keys_.data(), 2, in, out, blocks);
}

void DesKeySchedule::DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
  CryptBlocks(keys_.data(), -2, in, out, blocks);
}

DesBlock EncryptBlock(const DesBlock& block, const std::string& pass_phrase) {
  DesBlock out{};
  DesKeySchedule(DeriveKey(pass_phrase)).EncryptBlocks(block.data(), out.data(), 1);
  return out;
}

namespace {

constexpr size_t kChunk = 1 << 20;  // multiple of 8

void EncryptChunk(const DesKeySchedule& schedule, uint8_t* data, size_t blocks, unsigned threads,
                  const ThreadStarter& starter) {
  // Below a few hundred KiB a second thread costs more than it saves.
  if (threads <= 1 || blocks < 32768) {
    schedule.EncryptBlocks(data, data, blocks);
    return;
  }
  const size_t per = (blocks + threads - 1) / threads;
  auto span = [&](unsigned part, size_t* begin, size_t* end) {
    *begin = std::min(blocks, per * part);
    *end = std::min(blocks, per * (part + 1));
  };
  // Helpers take parts 1.. in order; a part whose helper could not be started
  // is encrypted here, so a system short of threads only makes this slower.
  std::vector<std::thread> helpers;
  const size_t started = StartThreads(
      threads - 1,
      [&schedule, data, span](unsigned t) {
        size_t begin, end;
        span(t + 1, &begin, &end);
        if (begin < end) schedule.EncryptBlocks(data + begin * 8, data + begin * 8, end - begin);
      },
      starter, &helpers);
  schedule.EncryptBlocks(data, data, std::min(blocks, per));
  for (unsigned part = static_cast<unsigned>(started) + 1; part < threads; ++part) {
    size_t begin, end;
    span(part, &begin, &end);
    if (begin < end) schedule.EncryptBlocks(data + begin * 8, data + begin * 8, end - begin);
  }
  for (auto& h : helpers) h.join();
}

}  // namespace

void EncryptStream(ByteSource& in, ByteSink& out, const std::string& pass_phrase,
                   unsigned threads, const ThreadStarter& starter) {
  const DesKeySchedule schedule(DeriveKey(pass_phrase));
  std::vector<uint8_t> buffer(kChunk);
  uint64_t total = 0;
  for (;;) {
    // Fill the chunk completely (short reads are allowed) so that only the
    // last chunk can end in a partial block.
    size_t filled = 0;
    while (filled < buffer.size()) {
      const int64_t n = in.Read(buffer.data() + filled, buffer.size() - filled);
      if (n < 0) throw EncryptError("the archive could not be read");
      if (n == 0) break;
      filled += static_cast<size_t>(n);
    }
    total += filled;
    if (total > 0x7FFFFFFFu)
      throw EncryptError("the archive is 2 GiB or larger; the package cannot describe it");
    if (filled == 0) break;
    const size_t padded = (filled + 7) / 8 * 8;
    std::fill(buffer.begin() + static_cast<ptrdiff_t>(filled),
              buffer.begin() + static_cast<ptrdiff_t>(padded), 0);
    EncryptChunk(schedule, buffer.data(), padded / 8, threads, starter);
    if (!out.Write(buffer.data(), padded)) throw EncryptError("the package could not be written");
    if (filled < buffer.size()) break;
  }
  const uint32_t length = static_cast<uint32_t>(total);
  const uint8_t tail[4] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                           uint8_t(length >> 24)};
  if (!out.Write(tail, sizeof tail)) throw EncryptError("the package could not be written");
}

namespace {

class FileSource : public ByteSource {
 public:
  explicit FileSource(File& f) : f_(f) {}
  int64_t Read(void* buffer, size_t size) override { return f_.Read(buffer, size); }

 private:
  File& f_;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(File& f) : f_(f) {}
  bool Write(const void* data, size_t size) override { return f_.Write(data, size); }

 private:
  File& f_;
};

}  // namespace

void EncryptFile(const UString& input, const UString& output, const UString& pass_phrase) {
  if (input.empty() || output.empty() || pass_phrase.empty()) return;
  File in = File::Open(input, File::Mode::kRead);
  if (!in.IsOpen()) throw EncryptError("the archive could not be opened");
  const int64_t size = in.Size();
  if (size < 0) throw EncryptError("the archive could not be read");
  if (size > 0x7FFFFFFF)
    throw EncryptError("the archive is 2 GiB or larger; the package cannot describe it");
  File out = File::Open(output, File::Mode::kCreate);
  if (!out.IsOpen()) throw EncryptError("the package could not be created");
  try {
    FileSource source(in);
    FileSink sink(out);
    const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    EncryptStream(source, sink, ToAnsi(pass_phrase), cores);
  } catch (...) {
    out.Close();
    RemoveFile(output);
    throw;
  }
  out.Close();
}

}  // namespace velto
