#include "platform/file_io.h"

namespace velto {

bool ReadWholeFile(const UString& path, std::string* bytes) {
  File f = File::Open(path, File::Mode::kRead);
  if (!f.IsOpen()) return false;
  bytes->clear();
  char buf[65536];
  for (;;) {
    const int64_t n = f.Read(buf, sizeof buf);
    if (n < 0) return false;
    if (n == 0) return true;
    bytes->append(buf, static_cast<size_t>(n));
  }
}

bool WriteWholeFile(const UString& path, const std::string& bytes) {
  File f = File::Open(path, File::Mode::kCreate);
  return f.IsOpen() && f.Write(bytes.data(), bytes.size());
}

}  // namespace velto
