// libFuzzer target for the support-side package reader: any byte string is
// opened as a package (plain ZIP or DES container), its members listed, read
// and checked, and their names checked for extraction. Nothing may crash,
// hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/archive_io.h"
#include "app/package_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velto;
  // Let the fuzzer reach the ZIP parser behind the cipher too: inputs that
  // start with '!' are wrapped into a container first.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!bytes.empty() && bytes[0] == '!') {
    std::string plain = bytes.substr(1);
    const size_t length = plain.size();
    plain.resize((length + 7) / 8 * 8, '\0');
    const DesKeySchedule schedule(DeriveKey(kReportPassPhrase));
    schedule.EncryptBlocks(reinterpret_cast<const uint8_t*>(plain.data()),
                           reinterpret_cast<uint8_t*>(&plain[0]), plain.size() / 8);
    for (int i = 0; i < 4; ++i) plain.push_back(static_cast<char>(length >> (8 * i)));
    bytes = plain;
  }
  PackageReader reader;
  std::string error;
  if (!reader.Open(std::make_unique<MemoryRandomReader>(bytes.data(), bytes.size()), &error)) return 0;
  uint64_t budget = 64 << 20;  // bound the work per input
  for (size_t i = 0; i < reader.members().size() && i < 64; ++i) {
    std::vector<UString> parts;
    std::string why;
    SafeRelativePath(reader.MemberName(i), &parts, &why);
    std::string text;
    reader.ReadMember(i, [&](const uint8_t* p, size_t n) {
      if (n > budget) return false;
      budget -= n;
      if (text.size() < 4096) text.append(reinterpret_cast<const char*>(p), n < 4096 ? n : 4096);
      return true;
    }, &error);
    MemberTextToUtf8(text);
  }
  return 0;
}
