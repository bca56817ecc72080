// Helpers for the archive and package tests: scratch folders, running the
// external oracles (python3 zipfile, unzip, openssl) and reading results.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/text.h"

namespace velto {
namespace testutil {

inline std::string Run(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// A fresh scratch folder under /tmp, removed with its content afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/velto-archive-XXXXXX";
    path_ = mkdtemp(tmpl) ? tmpl : "";
  }
  ~ScratchDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }
  // The same path the way the product writes it (backslash joins).
  UString Win(const std::string& rel) const {
    std::string p = rel;
    for (auto& c : p)
      if (c == '/') c = '\\';
    return FromUtf8(path_ + "\\" + p);
  }
  void Put(const std::string& rel, const std::string& bytes) const {
    std::system(("mkdir -p \"$(dirname '" + (*this / rel) + "')\"").c_str());
    WriteFile(*this / rel, bytes);
  }

 private:
  std::string path_;
};

inline std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    s.push_back(d[c >> 4]);
    s.push_back(d[c & 15]);
  }
  return s;
}

}  // namespace testutil
}  // namespace velto
