#include <gtest/gtest.h>

#include "app/archive_io.h"
#include "app/descrypt.h"
#include "app/package_reader.h"
#include "app/report_archive.h"
#include "app/zip_writer.h"
#include "archive_test_util.h"
#include "platform/string_list.h"

namespace velto {
namespace {

using testutil::ScratchDir;

std::string OpenSslDecrypt(const ScratchDir& d, const std::string& package) {
  const std::string bytes = testutil::ReadFile(package);
  if (bytes.size() < 4) return "";
  const uint32_t length = static_cast<unsigned char>(bytes[bytes.size() - 4]) |
                          (static_cast<unsigned char>(bytes[bytes.size() - 3]) << 8) |
                          (static_cast<unsigned char>(bytes[bytes.size() - 2]) << 16) |
                          (static_cast<uint32_t>(static_cast<unsigned char>(bytes[bytes.size() - 1])) << 24);
  testutil::WriteFile(d / "body.bin", bytes.substr(0, bytes.size() - 4));
  const DesKey key = DeriveKey("marbleoxtide");
  const std::string plain = testutil::Run(
      "openssl enc -d -des-ecb -nopad -provider legacy -provider default -K " +
      testutil::Hex(std::string(key.begin(), key.end())) + " -in '" + (d / "body.bin") + "'");
  return plain.substr(0, length);
}

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto tool : {"openssl", "python3", "unzip"})
      if (!testutil::HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
    dir_.Put("prog/VeltoInfo.exe", "program");
    dir_.Put("desk/.keep", "");
    TStringList report;
    report.Add(u"Version:1.0.0.1");
    report.Add(u"Caf\u00e9 \u0436");
    dir_.Put("work/GetInfoDir/task.txt", "task list\r\n");
    ASSERT_TRUE(report.SaveToFileUtf16(dir_.Win("work/GetInfoDir/Velto_Debug_Info.txt")));
    dir_.Put("prod/product.log", std::string(50000, 'p'));
    ctx_.program_folder = FromUtf8(dir_ / "prog/");
    ctx_.output_file_name = FromUtf8(dir_ / "desk/qn_logs_20261209.log");
    ctx_.local_date_text = [] { return UString(u"20261209"); };
    list_ = {dir_.Win("prod/product.log"), dir_.Win("work/GetInfoDir/*.*")};
  }
  ScratchDir dir_;
  PackContext ctx_;
  std::vector<UString> list_;
};

TEST_F(PackageTest, PackReportWritesAPackageOpenSslAndZipToolsAccept) {
  EXPECT_EQ(PackReport(list_, ctx_), 3);
  EXPECT_FALSE(testutil::Exists(dir_ / "prog/info.data"));
  const std::string zip = OpenSslDecrypt(dir_, dir_ / "desk/qn_logs_20261209.log");
  testutil::WriteFile(dir_ / "dec.zip", zip);
  int status = -1;
  testutil::Run("unzip -tq '" + (dir_ / "dec.zip") + "' 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(testutil::Run("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); print(z.testzip(), len(z.infolist()))\" '" +
                          (dir_ / "dec.zip") + "'"),
            "None 3\n");
}

TEST_F(PackageTest, LeftoverInfoDataDoesNotLeakIntoTheNextPackage) {
  dir_.Put("old/stale.txt", "from an interrupted run");
  ASSERT_EQ(ZipFiles({dir_.Win("old/stale.txt")}, FromUtf8(dir_ / "prog/info.data"), 8, false), 1);
  EXPECT_EQ(PackReport(list_, ctx_), 3);
  const std::string zip = OpenSslDecrypt(dir_, dir_ / "desk/qn_logs_20261209.log");
  EXPECT_EQ(zip.find("stale.txt"), std::string::npos);
  EXPECT_NE(zip.find("product.log"), std::string::npos);
}

TEST_F(PackageTest, FailedEncryptionRemovesThePlaintextArchive) {
  ctx_.output_file_name = FromUtf8(dir_ / "no/such/desk/qn_logs.log");
  EXPECT_EQ(PackReport(list_, ctx_), 0);
  EXPECT_FALSE(testutil::Exists(dir_ / "prog/info.data"));
  ctx_.program_folder = FromUtf8(dir_ / "no/such/prog/");
  EXPECT_EQ(PackReport(list_, ctx_), 0);
}

TEST_F(PackageTest, SecondAttemptNamesItsFileByTheDateAndRaises) {
  ctx_.local_date_text = [] { return UString(u"20270101"); };  // the run passed midnight
  EXPECT_EQ(PackReportToProgramFolder(list_, ctx_), 3);
  EXPECT_TRUE(testutil::Exists(dir_ / "prog/qn_logs_20270101.log"));
  EXPECT_FALSE(testutil::Exists(dir_ / "desk/qn_logs_20261209.log"));
  EXPECT_FALSE(testutil::Exists(dir_ / "prog/info.data"));
  ctx_.local_date_text = []() -> UString { throw std::runtime_error("no locale"); };
  EXPECT_EQ(PackReportToProgramFolder(list_, ctx_), 3);
  EXPECT_TRUE(testutil::Exists(dir_ / "prog/qn_logs_0.log"));
  ctx_.program_folder = FromUtf8(dir_ / "no/such/prog/");
  EXPECT_THROW(PackReportToProgramFolder(list_, ctx_), ZipError);
}

TEST_F(PackageTest, LastResortIsAFreshPlainArchive) {
  dir_.Put("desk/qn_logs_20261209.log", "an old package that could not be deleted");
  EXPECT_EQ(PackWorkFolderPlain(dir_.Win("work/GetInfoDir/*.*"), ctx_.output_file_name), 2);
  int status = -1;
  testutil::Run("unzip -tq '" + (dir_ / "desk/qn_logs_20261209.log") + "' 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(PackWorkFolderPlain(dir_.Win("nothing/*.*"), FromUtf8(dir_ / "desk/empty.log")), 0);
  EXPECT_FALSE(testutil::Exists(dir_ / "desk/empty.log"));
}

TEST_F(PackageTest, ReaderOpensBothKindsAndChecksEveryMember) {
  ASSERT_EQ(PackReport(list_, ctx_), 3);
  for (const std::string& path : {dir_ / "desk/qn_logs_20261209.log", dir_ / "plain.zip"}) {
    if (path.find("plain") != std::string::npos) {
      ASSERT_EQ(ZipFiles(list_, FromUtf8(path), 4, false), 3);
    }
    auto file = std::make_unique<FileRandomReader>();
    ASSERT_TRUE(file->Open(FromUtf8(path)));
    PackageReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(std::move(file), &error)) << error;
    EXPECT_EQ(reader.kind(), path.find("plain") != std::string::npos ? PackageKind::kPlainZip
                                                                      : PackageKind::kEncrypted);
    ASSERT_EQ(reader.members().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      std::string bytes;
      ASSERT_TRUE(reader.ReadMember(i, [&](const uint8_t* p, size_t n) {
        bytes.append(reinterpret_cast<const char*>(p), n);
        return true;
      }, &error)) << error;
      if (ToUtf8(reader.MemberName(i)).find("Velto_Debug_Info.txt") != std::string::npos) {
        EXPECT_EQ(MemberTextToUtf8(bytes), "Version:1.0.0.1\r\nCaf\xC3\xA9 \xD0\xB6\r\n");
      }
    }
  }
}

TEST(PackageLayout, ContainerChecks) {
  std::string e;
  EXPECT_TRUE(CheckContainerLayout(4, 0, &e));
  EXPECT_TRUE(CheckContainerLayout(12, 8, &e));
  EXPECT_TRUE(CheckContainerLayout(20, 9, &e));
  EXPECT_FALSE(CheckContainerLayout(3, 0, &e));
  EXPECT_FALSE(CheckContainerLayout(13, 8, &e));
  EXPECT_NE(e.find("multiple of 8"), std::string::npos);
  EXPECT_FALSE(CheckContainerLayout(12, 9, &e));
  EXPECT_NE(e.find("larger than"), std::string::npos);
  EXPECT_FALSE(CheckContainerLayout(20, 8, &e));
  EXPECT_FALSE(CheckContainerLayout(12, -1, &e));
}

TEST(PackageNames, HostileNamesAreRefused) {
  std::vector<UString> parts;
  std::string why;
  EXPECT_TRUE(SafeRelativePath(u"Users/admin/./x.txt", &parts, &why));
  EXPECT_EQ(parts, (std::vector<UString>{u"Users", u"admin", u"x.txt"}));
  for (const UString& bad : std::vector<UString>{u"../evil", u"a/../../evil", u"/etc/passwd", u"\\evil", u"C:/x", u"a\\..\\..\\b",
                             u"", u"./", u"a/b:stream", UString(u"a\0b", 3)})
    EXPECT_FALSE(SafeRelativePath(bad, &parts, &why)) << ToUtf8(bad);
}

#ifdef VELTO_VELTOPKG
// The real tool against good and hostile packages: clear message, non-zero exit.
class VeltopkgTest : public PackageTest {
 protected:
  std::string Tool(const std::string& args, int* status) {
    return testutil::Run(std::string("'") + VELTO_VELTOPKG + "' " + args + " 2>&1", status);
  }
  std::string Q(const std::string& rel) { return "'" + (dir_ / rel) + "'"; }
};

TEST_F(VeltopkgTest, VerifyListPrintExtractDecrypt) {
  ASSERT_EQ(PackReport(list_, ctx_), 3);
  int status = -1;
  const std::string pkg = Q("desk/qn_logs_20261209.log");
  EXPECT_NE(Tool("verify " + pkg, &status).find("all members OK"), std::string::npos);
  EXPECT_EQ(status, 0);
  EXPECT_NE(Tool("list " + pkg, &status).find("GetInfoDir/task.txt"), std::string::npos);
  EXPECT_EQ(Tool("print " + pkg, &status), "Version:1.0.0.1\nCaf\xC3\xA9 \xD0\xB6\n");
  EXPECT_EQ(Tool("print " + pkg + " task.txt", &status), "task list\n");
  Tool("extract " + pkg + " " + Q("x") + " task.txt", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(testutil::ReadFile(dir_ / ("x/" + dir_.path().substr(1) + "/work/GetInfoDir/task.txt")), "task list\r\n");
  Tool("decrypt " + pkg + " " + Q("d.zip"), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(testutil::ReadFile(dir_ / "d.zip"), OpenSslDecrypt(dir_, dir_ / "desk/qn_logs_20261209.log"));
  Tool("--help", &status);
  EXPECT_EQ(status, 0);
  Tool("frobnicate " + pkg, &status);
  EXPECT_EQ(status, 2);
}

TEST_F(VeltopkgTest, DamagedPackagesGiveAMessageAndFailure) {
  ASSERT_EQ(PackReport(list_, ctx_), 3);
  const std::string good = testutil::ReadFile(dir_ / "desk/qn_logs_20261209.log");
  struct Case {
    std::string name, bytes, message;
  };
  std::string longer = good;
  longer[longer.size() - 2] = 0x10;  // length field far beyond the body
  std::string flipped = good;
  flipped[100] ^= 0x55;  // inside the first member's data
  const std::vector<Case> cases = {
      {"truncated", good.substr(0, good.size() - 5), "multiple of 8"},
      {"cut by blocks", good.substr(0, good.size() - 12) + good.substr(good.size() - 4), "larger than"},
      {"length", longer, "larger than"},
      {"odd body", good.substr(0, 8) + "x" + good.substr(good.size() - 4), "multiple of 8"},
      {"tiny", "ab", "too short"},
      {"empty file", "", "too short"},
      {"flipped", flipped, "BAD"},
      {"random", std::string(4000, '\x5a') + std::string("\xA0\x0F\x00\x00", 4), "damaged"},
  };
  for (const auto& c : cases) {
    testutil::WriteFile(dir_ / "bad.log", c.bytes);
    int status = -1;
    const std::string out = Tool("verify " + Q("bad.log"), &status);
    EXPECT_EQ(status, 1) << c.name << ": " << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.name << ": " << out;
  }
}

TEST_F(VeltopkgTest, HostileMemberNamesNeverLandOutsideTheFolder) {
  const std::string make = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for n in ['../evil.txt', '/abs_evil.txt', 'ok/../../evil2.txt', 'C:/evil3.txt', 'good.txt']:
        z.writestr(n, 'payload ' + n)
)PY";
  testutil::WriteFile(dir_ / "make.py", make);
  testutil::Run("python3 " + Q("make.py") + " " + Q("hostile.zip"));
  EncryptFile(FromUtf8(dir_ / "hostile.zip"), FromUtf8(dir_ / "hostile.log"), u"marbleoxtide");
  for (const std::string pkg : {"hostile.zip", "hostile.log"}) {
    int status = -1;
    const std::string out = Tool("extract " + Q(pkg) + " " + Q("box/inner"), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("refused"), std::string::npos) << out;
    EXPECT_TRUE(testutil::Exists(dir_ / "box/inner/good.txt"));
    EXPECT_FALSE(testutil::Exists(dir_ / "box/evil.txt"));
    EXPECT_FALSE(testutil::Exists(dir_ / "evil2.txt"));
    EXPECT_FALSE(testutil::Exists(dir_ / "box/evil2.txt"));
    EXPECT_FALSE(testutil::Exists("/abs_evil.txt"));
  }
}
#endif

}  // namespace
}  // namespace velto
