#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <random>

#include "app/file_list.h"
#include "app/report_archive.h"
#include "app/zip_writer.h"
#include "archive_test_util.h"

namespace velto {
namespace {

using testutil::ScratchDir;

// Python's zipfile is the oracle: CRC test of every member, then per member
// the fields of the central entry and whether the local header (read raw)
// agrees with it and carries the final CRC and sizes.
const char kInspect[] = R"PY(
import sys, zipfile, struct
z = zipfile.ZipFile(sys.argv[1])
print('testzip', z.testzip())
raw = open(sys.argv[1], 'rb').read()
for i in z.infolist():
    o = i.header_offset
    sig, ver, flags, method, t, d, crc, cs, us, nl, el = struct.unpack('<IHHHHHIIIHH', raw[o:o+30])
    same = sig == 0x04034b50 and crc == i.CRC and cs == i.compress_size and us == i.file_size and flags == i.flag_bits
    print('|'.join(str(x) for x in [i.filename, hex(i.flag_bits), hex((i.create_system << 8) | i.create_version),
          i.extract_version, hex(i.external_attr), i.compress_type, ver, same]))
)PY";

struct Member {
  std::string name, flags, made_by, needed, attrs, method, local_needed, local_same;
};

std::vector<Member> Inspect(const std::string& archive, std::string* testzip) {
  std::vector<Member> out;
  // One script per process: CTest runs tests of this file side by side.
  const std::string script = "/tmp/velto-inspect-" + std::to_string(getpid()) + ".py";
  testutil::WriteFile(script, kInspect);
  const std::string text = testutil::Run("python3 " + script + " '" + archive + "'");
  std::remove(script.c_str());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    const std::string line = text.substr(pos, nl - pos);
    pos = nl == std::string::npos ? text.size() : nl + 1;
    if (line.rfind("testzip ", 0) == 0) {
      *testzip = line.substr(8);
      continue;
    }
    std::vector<std::string> f;
    size_t a = 0, b;
    while ((b = line.find('|', a)) != std::string::npos) {
      f.push_back(line.substr(a, b - a));
      a = b + 1;
    }
    f.push_back(line.substr(a));
    if (f.size() == 8) out.push_back(Member{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
  }
  return out;
}

std::string Name(const ScratchDir& d, const std::string& rel) { return (d / rel).substr(1); }

class ZipArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testutil::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
  }
  ScratchDir dir_;
};

TEST_F(ZipArchiveTest, OrderNamesFlagsVersionsAndSkippedFiles) {
  const ScratchDir& d = dir_;
  d.Put("prod/a.log", std::string(100000, 'a'));
  d.Put("prod/b.log", "bee");
  d.Put("prod/.system.dat", "hidden plain entry");
  d.Put("work/GetInfoDir/Velto_Debug_Info.txt", "report");
  d.Put("work/GetInfoDir/sub/DiskInfo.txt", "disk");
  d.Put("work/GetInfoDir/sub/deep/z.txt", "deep");
  d.Put("work/GetInfoDir/task.txt", "tasks");
  d.Put("work/GetInfoDir/.hidden.txt", "hidden");
  d.Put("work/GetInfoDir/.hiddendir/inside.txt", "never entered");
  chmod((d / "prod/b.log").c_str(), 0444);
  const std::vector<UString> list = {
      d.Win("prod/a.log"),
      d.Win("work/GetInfoDir/*.*"),  // appended before later plain entries
      d.Win("prod/b.log"),
      d.Win("prod/a.log"),  // listed twice
      u"",
      d.Win("prod/missing.log"),
      d.Win("work/GetInfoDir/Velto_Debug_Info.txt"),  // also found by the mask
      d.Win("prod/.system.dat"),
  };
  const std::string archive = d / "out.zip";
  EXPECT_EQ(ZipFiles(list, FromUtf8(archive), kReportLevel, false), 6);
  std::string testzip;
  const auto members = Inspect(archive, &testzip);
  EXPECT_EQ(testzip, "None");
  ASSERT_EQ(members.size(), 6u);
  EXPECT_EQ(members[0].name, Name(d, "prod/a.log"));
  EXPECT_EQ(members[1].name, Name(d, "prod/b.log"));
  EXPECT_EQ(members[2].name, Name(d, "work/GetInfoDir/Velto_Debug_Info.txt"));
  std::vector<std::string> masked;
  for (size_t i = 3; i < members.size(); ++i) masked.push_back(members[i].name);
  std::vector<std::string> sorted = masked;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{Name(d, "work/GetInfoDir/sub/DiskInfo.txt"),
                                              Name(d, "work/GetInfoDir/sub/deep/z.txt"),
                                              Name(d, "work/GetInfoDir/task.txt")}));
  // Depth first: the two files below sub/ are adjacent.
  const auto disk = std::find(masked.begin(), masked.end(), Name(d, "work/GetInfoDir/sub/DiskInfo.txt"));
  const auto deep = std::find(masked.begin(), masked.end(), Name(d, "work/GetInfoDir/sub/deep/z.txt"));
  EXPECT_EQ(std::abs(disk - deep), 1);
  for (const auto& m : members) {
    EXPECT_EQ(m.flags, "0x2") << m.name;  // level 8: deflate option bit 1, no data descriptor
    EXPECT_EQ(m.made_by, "0x2d") << m.name;
    EXPECT_EQ(m.needed, "20") << m.name;
    EXPECT_EQ(m.method, "8") << m.name;
    EXPECT_EQ(m.local_needed, "20") << m.name;
    EXPECT_EQ(m.local_same, "True") << m.name;  // local header completed after the data
  }
  EXPECT_EQ(members[0].attrs, "0x20");
  EXPECT_EQ(members[1].attrs, "0x21");  // read-only files are included with their bit
  if (testutil::HaveTool("unzip")) {
    int status = -1;
    testutil::Run("unzip -tq '" + archive + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
  }
}

TEST_F(ZipArchiveTest, Utf8NamesAndLevelFour) {
  dir_.Put("logs/\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB.txt", "cyrillic name");  // журнал
  dir_.Put("logs/caf\xC3\xA9.txt", "oem name");
  const std::string archive = dir_ / "plain.zip";
  EXPECT_EQ(PackWorkFolderPlain(dir_.Win("logs/*.*"), FromUtf8(archive)), 2);
  std::string testzip;
  const auto members = Inspect(archive, &testzip);
  EXPECT_EQ(testzip, "None");
  ASSERT_EQ(members.size(), 2u);
  for (const auto& m : members) {
    if (m.name.find("caf") != std::string::npos) {
      EXPECT_EQ(m.name, Name(dir_, "logs/caf\xC3\xA9.txt"));  // OEM 437 bytes decode back
      EXPECT_EQ(m.flags, "0x0");
      EXPECT_EQ(m.made_by, "0x2d");
    } else {
      EXPECT_EQ(m.name, Name(dir_, "logs/\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB.txt"));
      EXPECT_EQ(m.flags, "0x800");  // level 4: no option bits; UTF-8 name
      EXPECT_EQ(m.made_by, "0xb2d");
    }
  }
}

TEST_F(ZipArchiveTest, SameBytesWhateverTheThreadCount) {
  std::mt19937 rng(11);
  std::string noise(6 << 20, '\0');
  for (auto& c : noise) c = static_cast<char>(rng());
  std::string text;
  while (text.size() < (12u << 20)) text += "2026-12-09 06:43:41 service started, code " + std::to_string(rng() % 1000) + "\r\n";
  dir_.Put("in/noise.bin", noise);
  dir_.Put("in/log.txt", text);
  for (int i = 0; i < 40; ++i) dir_.Put("in/small/s" + std::to_string(i) + ".txt", std::string(i * 97, 'x'));
  dir_.Put("in/tail.bin", noise.substr(0, 300000));
  const auto candidates = ExpandFileList({dir_.Win("in/*.*")}, u"", {});
  ASSERT_EQ(candidates.size(), 43u);
  ZipOptions one, many;
  one.threads = 1;
  many.threads = 3;
  EXPECT_EQ(WriteZipArchive(candidates, FromUtf8(dir_ / "one.zip"), one), 43);
  EXPECT_EQ(WriteZipArchive(candidates, FromUtf8(dir_ / "many.zip"), many), 43);
  EXPECT_TRUE(testutil::ReadFile(dir_ / "one.zip") == testutil::ReadFile(dir_ / "many.zip"));
  std::string testzip;
  EXPECT_EQ(Inspect(dir_ / "many.zip", &testzip).size(), 43u);
  EXPECT_EQ(testzip, "None");
}

void SetMtime(const std::string& path, time_t t) {
  struct utimbuf u{t, t};
  utime(path.c_str(), &u);
}

TEST_F(ZipArchiveTest, UpdateKeepsMembersAndReplacesOnlyNewerFiles) {
  const time_t base = 1700000000;
  dir_.Put("f/a.txt", "old a");
  dir_.Put("f/b.txt", "old b");
  dir_.Put("f/gone.txt", "only in the old archive");
  for (auto n : {"f/a.txt", "f/b.txt", "f/gone.txt"}) SetMtime(dir_ / n, base);
  const UString archive = FromUtf8(dir_ / "u.zip");
  ASSERT_EQ(ZipFiles({dir_.Win("f/a.txt"), dir_.Win("f/b.txt"), dir_.Win("f/gone.txt")}, archive, 8, false), 3);
  dir_.Put("f/a.txt", "new a, but dated earlier");
  SetMtime(dir_ / "f/a.txt", base - 100);
  dir_.Put("f/b.txt", "new b");
  SetMtime(dir_ / "f/b.txt", base + 100);
  dir_.Put("f/c.txt", "new c");
  EXPECT_EQ(ZipFiles({dir_.Win("f/c.txt"), dir_.Win("f/a.txt"), dir_.Win("f/b.txt")}, archive, 8, true), 2);
  std::string testzip;
  const auto members = Inspect(dir_ / "u.zip", &testzip);
  EXPECT_EQ(testzip, "None");
  ASSERT_EQ(members.size(), 4u);
  EXPECT_EQ(members[0].name, Name(dir_, "f/a.txt"));
  EXPECT_EQ(members[1].name, Name(dir_, "f/b.txt"));  // replaced in place
  EXPECT_EQ(members[2].name, Name(dir_, "f/gone.txt"));
  EXPECT_EQ(members[3].name, Name(dir_, "f/c.txt"));
  const std::string unzip = "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                            "print(z.read(sys.argv[2]).decode())\" '" + (dir_ / "u.zip") + "' ";
  EXPECT_EQ(testutil::Run(unzip + "'" + Name(dir_, "f/a.txt") + "'"), "old a\n");
  EXPECT_EQ(testutil::Run(unzip + "'" + Name(dir_, "f/b.txt") + "'"), "new b\n");
  EXPECT_FALSE(testutil::Exists(dir_ / "u.zip.tmp"));
  // Without update the archive holds only what is listed now.
  EXPECT_EQ(ZipFiles({dir_.Win("f/c.txt")}, archive, 8, false), 1);
  EXPECT_EQ(Inspect(dir_ / "u.zip", &testzip).size(), 1u);
}

TEST_F(ZipArchiveTest, NothingToArchiveLeavesNoArchive) {
  dir_.Put("e/.hidden", "x");
  EXPECT_EQ(ZipFiles({u"", dir_.Win("e/missing"), dir_.Win("e/.hidden"), dir_.Win("e/*.*")},
                     FromUtf8(dir_ / "none.zip"), 8, false),
            0);
  EXPECT_FALSE(testutil::Exists(dir_ / "none.zip"));
  // A damaged archive to update is an error, and it is left as it was.
  dir_.Put("bad.zip", "not a zip");
  dir_.Put("e/x.txt", "x");
  EXPECT_THROW(ZipFiles({dir_.Win("e/x.txt")}, FromUtf8(dir_ / "bad.zip"), 8, true), ZipError);
  EXPECT_EQ(testutil::ReadFile(dir_ / "bad.zip"), "not a zip");
  // An archive in a folder that does not exist cannot be created.
  EXPECT_THROW(ZipFiles({dir_.Win("e/x.txt")}, FromUtf8(dir_ / "no/such/a.zip"), 8, false), ZipError);
}

TEST_F(ZipArchiveTest, EntriesWithoutFolderAreRelativeToTheCurrentFolder) {
  char old[4096];
  ASSERT_TRUE(getcwd(old, sizeof old));
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  // The product collector's placeholder "0" names no file here: dropped.
  EXPECT_EQ(ZipFiles({u"0"}, FromUtf8(dir_ / "r.zip"), 8, false), 0);
  dir_.Put("0", "a file named 0");
  EXPECT_EQ(ZipFiles({u"0"}, FromUtf8(dir_ / "r.zip"), 8, false), 1);
  ASSERT_EQ(chdir(old), 0);
  std::string testzip;
  const auto members = Inspect(dir_ / "r.zip", &testzip);
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].name, Name(dir_, "0"));
}

TEST_F(ZipArchiveTest, TheArchiveNeverTakesItself) {
  dir_.Put("self/a.txt", "a");
  const UString archive = dir_.Win("self/archive.zip");
  EXPECT_EQ(ZipFiles({dir_.Win("self/*.*")}, archive, 8, false), 1);
  EXPECT_EQ(ZipFiles({dir_.Win("self/*.*"), archive}, archive, 8, true), 0);  // a.txt not newer
  std::string testzip;
  EXPECT_EQ(Inspect(dir_ / "self/archive.zip", &testzip).size(), 1u);
}

}  // namespace
}  // namespace velto
