// veltopkg: the support side of the report package. Opens a package (the
// DES container, or the plain ZIP of the last-resort attempt), verifies,
// lists, extracts and prints its members, or writes the decrypted archive.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/archive_io.h"
#include "app/dos_time.h"
#include "app/package_reader.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace velto {

void UseUtf8Console();  // console_win.cpp

namespace {

const char kUsage[] =
    "usage: veltopkg COMMAND PACKAGE [ARGS]\n"
    "\n"
    "Opens a VeltoInfo package (qn_logs_<date>.log): the encrypted container or the\n"
    "plain ZIP archive written when encryption was not possible; the kind is told by\n"
    "content.\n"
    "\n"
    "commands:\n"
    "  verify PACKAGE                 check the container and every member's CRC-32\n"
    "  list PACKAGE                   list members: size, date and time, name\n"
    "  extract PACKAGE FOLDER [NAME...]\n"
    "                                 extract all members, or those named, into FOLDER;\n"
    "                                 names that would land outside FOLDER are refused\n"
    "  print PACKAGE [NAME]           print a text member as UTF-8 (default: the main\n"
    "                                 report Velto_Debug_Info.txt)\n"
    "  decrypt PACKAGE OUTPUT.zip     write the decrypted ZIP archive\n"
    "\n"
    "A NAME matches a member's full name or its last part(s) after a '/'.\n"
    "Exit status: 0 success, 1 damaged package or failed member, 2 usage error.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool Open(const std::string& path, PackageReader* reader) {
  auto file = std::make_unique<FileRandomReader>();
  if (!file->Open(FromUtf8(path))) {
    std::fprintf(stderr, "veltopkg: cannot open %s\n", path.c_str());
    return false;
  }
  std::string error;
  if (!reader->Open(std::move(file), &error)) {
    std::fprintf(stderr, "veltopkg: %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

// A member name as printed: the package is untrusted, and a name could
// carry escape sequences for the terminal.
std::string NameOf(const PackageReader& r, size_t i) { return PrintableName(r.MemberName(i)); }

bool NameMatches(const std::string& name, const std::string& wanted) {
  if (SameText(FromUtf8(name), FromUtf8(wanted))) return true;
  if (wanted.size() >= name.size()) return false;
  return name[name.size() - wanted.size() - 1] == '/' &&
         SameText(FromUtf8(name.substr(name.size() - wanted.size())), FromUtf8(wanted));
}

int Verify(PackageReader& r) {
  std::printf("%s, archive %llu bytes, %zu members\n",
              r.kind() == PackageKind::kEncrypted ? "encrypted package" : "plain ZIP package",
              static_cast<unsigned long long>(r.ArchiveSize()), r.members().size());
  int bad = 0;
  for (size_t i = 0; i < r.members().size(); ++i) {
    std::string error;
    if (r.ReadMember(i, [](const uint8_t*, size_t) { return true; }, &error)) continue;
    std::printf("BAD  %s: %s\n", NameOf(r, i).c_str(), error.c_str());
    ++bad;
  }
  std::printf(bad ? "%d damaged member(s)\n" : "all members OK\n", bad);
  return bad ? 1 : 0;
}

int List(PackageReader& r) {
  for (size_t i = 0; i < r.members().size(); ++i) {
    const ZipMember& m = r.members()[i];
    const LocalTime t = LocalTimeFromDos(m.dos_time);
    std::printf("%12llu  %04d-%02d-%02d %02d:%02d:%02d  %s\n",
                static_cast<unsigned long long>(m.uncompressed_size), t.year, t.month, t.day, t.hour,
                t.minute, t.second, NameOf(r, i).c_str());
  }
  return 0;
}

int Extract(PackageReader& r, const std::string& folder, const std::vector<std::string>& wanted) {
  const UString root = FromUtf8(folder);
  if (!ForceDirectories(root)) {
    std::fprintf(stderr, "veltopkg: cannot create %s\n", folder.c_str());
    return 1;
  }
  int failures = 0;
  std::vector<bool> used(wanted.size(), false);
  for (size_t i = 0; i < r.members().size(); ++i) {
    const std::string name = NameOf(r, i);
    const std::string real_name = ToUtf8(r.MemberName(i));
    bool take = wanted.empty();
    for (size_t w = 0; w < wanted.size(); ++w)
      if (NameMatches(real_name, wanted[w])) take = used[w] = true;
    if (!take) continue;
    std::vector<UString> parts;
    std::string why;
    const UString uname = r.MemberName(i);
    const bool folder_member = !uname.empty() && uname.back() == u'/';
    if (!SafeRelativePath(uname, &parts, &why)) {
      std::fprintf(stderr, "veltopkg: refused member \"%s\": %s\n", name.c_str(), why.c_str());
      ++failures;
      continue;
    }
    UString target = ExcludeTrailingBackslash(root);
    for (size_t p = 0; p + 1 < parts.size(); ++p) target += u"\\" + parts[p];
    if (folder_member) {
      ForceDirectories(target + u"\\" + parts.back());
      continue;
    }
    if (!ForceDirectories(target)) {
      std::fprintf(stderr, "veltopkg: cannot create the folder for %s\n", name.c_str());
      ++failures;
      continue;
    }
    target += u"\\" + parts.back();
    File out = File::Open(target, File::Mode::kCreate);
    std::string error;
    if (!out.IsOpen()) {
      std::fprintf(stderr, "veltopkg: cannot create %s\n", PrintableName(target).c_str());
      ++failures;
    } else if (!r.ReadMember(i, [&](const uint8_t* p, size_t n) { return out.Write(p, n); }, &error)) {
      std::fprintf(stderr, "veltopkg: %s: %s\n", name.c_str(), error.c_str());
      out.Close();
      RemoveFile(target);
      ++failures;
    } else {
      std::printf("%s\n", name.c_str());
    }
  }
  for (size_t w = 0; w < wanted.size(); ++w) {
    if (used[w]) continue;
    std::fprintf(stderr, "veltopkg: no member named %s\n", wanted[w].c_str());
    ++failures;
  }
  return failures ? 1 : 0;
}

int Print(PackageReader& r, const std::string& wanted) {
  for (size_t i = 0; i < r.members().size(); ++i) {
    if (!NameMatches(ToUtf8(r.MemberName(i)), wanted)) continue;
    // Decoded and written piece by piece: the member's size is whatever the
    // package claims, and nothing here holds more than a piece of it.
#ifdef _WIN32
    MemberTextDecoder decoder;
#else
    MemberTextDecoder decoder(true);  // a terminal here ends lines with LF alone
#endif
    std::string text, error;
    bool written = true;
    auto write = [&]() {
      written = written && std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
      text.clear();
      return written;
    };
    if (!r.ReadMember(i, [&](const uint8_t* p, size_t n) {
          decoder.Feed(p, n, &text);
          return write();
        }, &error)) {
      std::fflush(stdout);
      std::fprintf(stderr, "veltopkg: %s: %s\n", NameOf(r, i).c_str(), error.c_str());
      return 1;
    }
    decoder.Finish(&text);
    write();
    return std::fflush(stdout) == 0 && written ? 0 : 1;
  }
  std::fprintf(stderr, "veltopkg: no member named %s\n", wanted.c_str());
  return 1;
}

int Decrypt(PackageReader& r, const std::string& output) {
  File out = File::Open(FromUtf8(output), File::Mode::kCreate);
  if (!out.IsOpen()) {
    std::fprintf(stderr, "veltopkg: cannot create %s\n", output.c_str());
    return 1;
  }
  std::string error;
  if (!r.CopyArchive([&](const uint8_t* p, size_t n) { return out.Write(p, n); }, &error)) {
    std::fprintf(stderr, "veltopkg: %s\n", error.c_str());
    out.Close();
    RemoveFile(FromUtf8(output));
    return 1;
  }
  return 0;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() < 2) return Usage();
  const bool known = command == "verify" || command == "list" || command == "extract" ||
                     command == "print" || command == "decrypt";
  if (!known) {
    std::fprintf(stderr, "veltopkg: unknown command %s\n", command.c_str());
    return Usage();
  }
  if ((command == "extract" && args.size() < 3) || (command == "decrypt" && args.size() != 3) ||
      ((command == "verify" || command == "list") && args.size() != 2) ||
      (command == "print" && args.size() > 3))
    return Usage();
  PackageReader reader;
  if (!Open(args[1], &reader)) return 1;
  if (command == "verify") return Verify(reader);
  if (command == "list") return List(reader);
  if (command == "extract")
    return Extract(reader, args[2], std::vector<std::string>(args.begin() + 3, args.end()));
  if (command == "print") return Print(reader, args.size() == 3 ? args[2] : "Velto_Debug_Info.txt");
  return Decrypt(reader, args[2]);
}

}  // namespace
}  // namespace velto

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  velto::UseUtf8Console();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(velto::ToUtf8(velto::UString(reinterpret_cast<const char16_t*>(argv[i]))));
  return velto::Run(args);
}
#else
int main(int argc, char** argv) { return velto::Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
