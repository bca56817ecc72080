// The support tool against hostile packages: names that are Windows devices
// or would be renamed, names carrying terminal controls, and text members
// far larger than memory should have to hold.
#include <gtest/gtest.h>

#include "app/member_text.h"
#include "app/package_reader.h"
#include "archive_test_util.h"

namespace velto {
namespace {

using testutil::ScratchDir;

TEST(PackageNames, WindowsDeviceNamesAndDroppedEndingsAreRefused) {
  std::vector<UString> parts;
  std::string why;
  for (const UString& bad :
       std::vector<UString>{u"CON", u"con.txt", u"logs/Aux.tar.gz", u"LPT9", u"com1", u"a/nul .txt", u"Prn/x.txt",
                            u"COM\u00B9.log", u"conin$", u"dir./x.txt", u"x/file ", u"trailing.", u"a/.../b"}) {
    EXPECT_FALSE(SafeRelativePath(bad, &parts, &why)) << ToUtf8(bad);
    EXPECT_FALSE(why.empty());
  }
  for (const UString& good : std::vector<UString>{u"CONSOLE.txt", u"com10.txt", u"LPT0", u"nul_file", u"conf/aux_x",
                                                  u"COM.txt", u".hidden", u"a.b/c", u"folder/"})
    EXPECT_TRUE(SafeRelativePath(good, &parts, &why)) << ToUtf8(good) << ": " << why;
}

TEST(MemberText, NamesLoseTheirControlCharacters) {
  EXPECT_EQ(PrintableName(u"a\x1b[31mb\a\n\x7f\u009b\u00e9/ok.txt"), "a?[31mb????\xC3\xA9/ok.txt");
}

std::string Utf16(const UString& text) {
  std::string s("\xFF\xFE", 2);
  for (char16_t c : text) {
    s.push_back(static_cast<char>(c & 0xFF));
    s.push_back(static_cast<char>(c >> 8));
  }
  return s;
}

TEST(MemberText, DecodingDoesNotDependOnWherePiecesAreCut) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Utf16(u"Version:1.0\r\nCaf\u00e9 \u0436 \U0001F600\r\n\r"), "Version:1.0\nCaf\xC3\xA9 \xD0\xB6 \xF0\x9F\x98\x80\n\r"},
      {"\xEF\xBB\xBFplain \xC3\xA9\r\r\nx", "plain \xC3\xA9\r\nx"},
      {"ansi caf\xE9\r\nline", "ansi caf\xC3\xA9\nline"},
      {"\xFF" "x", "\xC3\xBFx"},
      {"\xEF", "\xC3\xAF"},
      {"", ""},
  };
  for (const auto& c : cases) {
    for (size_t piece = 1; piece <= 7; ++piece) {
      MemberTextDecoder decoder(true);
      std::string out;
      for (size_t at = 0; at < c.first.size(); at += piece)
        decoder.Feed(reinterpret_cast<const uint8_t*>(c.first.data()) + at, std::min(piece, c.first.size() - at),
                     &out);
      decoder.Finish(&out);
      EXPECT_EQ(out, c.second) << testutil::Hex(c.first) << " in pieces of " << piece;
    }
  }
  // Without line-end conversion the whole-member form keeps CR LF.
  EXPECT_EQ(MemberTextToUtf8(Utf16(u"a\r\nb")), "a\r\nb");
}

#ifdef VELTO_VELTOPKG
class VeltopkgSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testutil::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
  }
  std::string Tool(const std::string& args, int* status) {
    return testutil::Run(std::string("'") + VELTO_VELTOPKG + "' " + args + " 2>&1", status);
  }
  std::string Q(const std::string& rel) { return "'" + (dir_ / rel) + "'"; }
  void MakeZip(const std::string& zip, const std::string& python_members) {
    testutil::WriteFile(dir_ / "make.py", "import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n" +
                                              python_members);
    testutil::Run("python3 " + Q("make.py") + " " + Q(zip));
  }
  ScratchDir dir_;
};

TEST_F(VeltopkgSafetyTest, MemberNamesCannotDriveTheTerminal) {
  MakeZip("esc.zip",
          "    z.writestr('evil\\x1b]0;owned\\x07\\x1b[2J.txt', 'x')\n"
          "    z.writestr('del\\x7f\\x9bname.txt', 'y')\n");
  for (const std::string command : {"list", "verify", "extract"}) {
    int status = -1;
    const std::string out = Tool(command + " " + Q("esc.zip") + (command == "extract" ? " " + Q("out") : ""), &status);
    if (command != "verify") {  // verify names only damaged members
      EXPECT_NE(out.find("evil?]0;owned??[2J.txt"), std::string::npos) << command << ": " << out;
    }
    for (unsigned char c : out) {
      EXPECT_TRUE((c >= 0x20 && c != 0x7F) || c == '\n') << command << ": " << int(c);
    }
    EXPECT_EQ(out.find("\xC2\x9B"), std::string::npos) << command;
  }
}

TEST_F(VeltopkgSafetyTest, PrintStreamsALargeMember) {
  // 80 MiB of UTF-16 text (a few hundred KiB compressed): printing it must
  // not take the tool's memory anywhere near the member's size.
  MakeZip("big.zip", "    z.writestr('big.txt', b'\\xff\\xfe' + 'line of text\\r\\n'.encode('utf-16-le') * ((80 << 20) // 28))\n");
  const std::string script =
      "import resource, subprocess, sys\n"
      "import os\n"
      "# The address sanitizer keeps freed memory in quarantine (256 MiB): keep\n"
      "# that small, or it alone would fill the figure with freed pieces.\n"
      "env = dict(os.environ, ASAN_OPTIONS=os.environ.get('ASAN_OPTIONS', '') + ':quarantine_size_mb=4')\n"
      "r = subprocess.run([sys.argv[1], 'print', sys.argv[2], 'big.txt'], stdout=subprocess.PIPE, env=env)\n"
      "lines = r.stdout.count(b'line of text\\n')\n"
      "print(r.returncode, lines, len(r.stdout), resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024)\n";
  testutil::WriteFile(dir_ / "peak.py", script);
  const std::string out = testutil::Run("python3 " + Q("peak.py") + " '" + VELTO_VELTOPKG + "' " + Q("big.zip"));
  int rc = -1;
  long lines = 0, bytes = 0, peak_mib = 0;
  ASSERT_EQ(std::sscanf(out.c_str(), "%d %ld %ld %ld", &rc, &lines, &bytes, &peak_mib), 4) << out;
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(lines, (80l << 20) / 28);
  EXPECT_EQ(bytes, lines * 13);
  // Holding the member whole (let alone its decoded copies) needs 80 MiB.
  EXPECT_LT(peak_mib, 40) << "peak resident size " << peak_mib << " MiB";
}
#endif

}  // namespace
}  // namespace velto
