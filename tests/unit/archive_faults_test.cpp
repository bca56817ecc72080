// The archive and cipher under faults the system can throw at them: a full
// disk part-way, a member whose read fails part-way, threads that cannot be
// started, linked folders, and names equal only under case folding.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <system_error>

#include "app/descrypt.h"
#include "app/file_list.h"
#include "app/zip_writer.h"
#include "archive_test_util.h"

namespace velto {
namespace {

using testutil::ScratchDir;

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// Member names and contents as Python's zipfile reads them, after its CRC test.
std::string PythonListing(const std::string& archive) {
  return testutil::Run(
      "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); print(z.testzip()); "
      "[print(i.filename.rsplit('/', 1)[-1], i.file_size, z.read(i)[:12]) for i in z.infolist()]\" '" +
      archive + "' 2>&1");
}

// Starts `allowed` threads, then refuses like a system out of threads.
ThreadStarter RefuseAfter(unsigned allowed, unsigned* asked) {
  return [allowed, asked](std::function<void()> body) {
    if ((*asked)++ >= allowed)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return std::thread(std::move(body));
  };
}

class ArchiveFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testutil::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
    dir_.Put("in/a.txt", "first small file");
    dir_.Put("in/big.bin", Noise(3 << 20, 5));
    dir_.Put("in/c.txt", "last small file");
    candidates_ = ExpandFileList({dir_.Win("in/a.txt"), dir_.Win("in/big.bin"), dir_.Win("in/c.txt")}, u"", {});
    ASSERT_EQ(candidates_.size(), 3u);
  }
  ScratchDir dir_;
  std::vector<ArchiveCandidate> candidates_;
};

TEST_F(ArchiveFaultTest, WriteFailurePartWayLeavesNoArchive) {
  ZipOptions options;
  options.archive_size_limit = 1 << 20;  // the noise does not fit
  EXPECT_THROW(WriteZipArchive(candidates_, FromUtf8(dir_ / "full.zip"), options), ZipError);
  EXPECT_FALSE(testutil::Exists(dir_ / "full.zip"));
  // An update that fails leaves the archive it started from as it was.
  ASSERT_EQ(WriteZipArchive({candidates_[0]}, FromUtf8(dir_ / "old.zip"), ZipOptions()), 1);
  const std::string before = testutil::ReadFile(dir_ / "old.zip");
  options.update_existing = true;
  EXPECT_THROW(WriteZipArchive(candidates_, FromUtf8(dir_ / "old.zip"), options), ZipError);
  EXPECT_EQ(testutil::ReadFile(dir_ / "old.zip"), before);
  EXPECT_FALSE(testutil::Exists(dir_ / "old.zip.tmp"));
}

TEST_F(ArchiveFaultTest, RealFileSizeLimitLeavesNoArchive) {
  // The process's own file size limit makes write() fail with EFBIG.
  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(WriteZipArchive(candidates_, FromUtf8(dir_ / "limited.zip"), ZipOptions()), ZipError);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(testutil::Exists(dir_ / "limited.zip"));
}

TEST_F(ArchiveFaultTest, MemberWhoseReadFailsIsLeftOutNotTruncated) {
  for (unsigned threads : {1u, 3u}) {
    ZipOptions options;
    options.threads = threads;
    options.member_read_limit = 1 << 20;  // big.bin fails after its first MiB
    const std::string archive = dir_ / ("r" + std::to_string(threads) + ".zip");
    EXPECT_EQ(WriteZipArchive(candidates_, FromUtf8(archive), options), 2);
    EXPECT_EQ(PythonListing(archive),
              "None\na.txt 16 b'first small '\nc.txt 15 b'last small f'\n") << threads;
  }
  // A same-named fallback (run on the writer's thread) stands in for a file
  // that failed; when it fails too the name is absent.
  dir_.Put("in/BIG.BIN", "small fallback");
  dir_.Put("in/C.TXT", Noise(2 << 20, 6));
  dir_.Put("in/d.bin", Noise(2 << 20, 7));
  dir_.Put("in/D.BIN", Noise(2 << 20, 8));
  const auto with_fallbacks =
      ExpandFileList({dir_.Win("in/big.bin"), dir_.Win("in/BIG.BIN"), dir_.Win("in/C.TXT"), dir_.Win("in/c.txt"),
                      dir_.Win("in/d.bin"), dir_.Win("in/D.BIN"), dir_.Win("in/a.txt")},
                     u"", {});
  ASSERT_EQ(with_fallbacks.size(), 7u);
  ZipOptions options;
  options.member_read_limit = 1 << 20;
  EXPECT_EQ(WriteZipArchive(with_fallbacks, FromUtf8(dir_ / "f.zip"), options), 3);
  EXPECT_EQ(PythonListing(dir_ / "f.zip"),
            "None\nBIG.BIN 14 b'small fallba'\nc.txt 15 b'last small f'\na.txt 16 b'first small '\n");
}

TEST_F(ArchiveFaultTest, ThreadsThatCannotStartChangeNothingInTheArchive) {
  ZipOptions normal;
  normal.threads = 3;
  ASSERT_EQ(WriteZipArchive(candidates_, FromUtf8(dir_ / "normal.zip"), normal), 3);
  const std::string expected = testutil::ReadFile(dir_ / "normal.zip");
  for (unsigned allowed : {0u, 1u}) {
    unsigned asked = 0;
    ZipOptions options = normal;
    options.start_thread = RefuseAfter(allowed, &asked);
    const std::string archive = dir_ / ("t" + std::to_string(allowed) + ".zip");
    EXPECT_EQ(WriteZipArchive(candidates_, FromUtf8(archive), options), 3);
    EXPECT_GT(asked, allowed);
    EXPECT_TRUE(testutil::ReadFile(archive) == expected) << allowed;
  }
}

class VectorSource : public ByteSource {
 public:
  explicit VectorSource(const std::string& s) : s_(s) {}
  int64_t Read(void* buffer, size_t size) override {
    const size_t n = std::min(size, s_.size() - pos_);
    std::copy(s_.data() + pos_, s_.data() + pos_ + n, static_cast<char*>(buffer));
    pos_ += n;
    return static_cast<int64_t>(n);
  }

 private:
  const std::string& s_;
  size_t pos_ = 0;
};

class StringSink : public ByteSink {
 public:
  bool Write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
    return true;
  }
  std::string out;
};

TEST(CipherFaults, HelpersThatCannotStartLeaveTheirPartToTheCaller) {
  const std::string input = Noise((3 << 20) + 13, 9);
  VectorSource one_source(input);
  StringSink one;
  EncryptStream(one_source, one, kReportPassPhrase, 1);
  for (unsigned allowed : {0u, 1u, 2u}) {
    unsigned asked = 0;
    VectorSource source(input);
    StringSink sink;
    EncryptStream(source, sink, kReportPassPhrase, 4, RefuseAfter(allowed, &asked));
    EXPECT_GT(asked, allowed);
    EXPECT_TRUE(sink.out == one.out) << allowed;
  }
}

TEST_F(ArchiveFaultTest, LinkedFoldersAreNotEnteredLinkedFilesAreKept) {
  dir_.Put("tree/sub/inner.txt", "inner");
  dir_.Put("elsewhere/target.txt", "outside the tree");
  ASSERT_EQ(symlink("..", (dir_ / "tree/sub/up").c_str()), 0);  // a loop
  ASSERT_EQ(symlink((dir_ / "elsewhere").c_str(), (dir_ / "tree/away").c_str()), 0);
  ASSERT_EQ(symlink((dir_ / "elsewhere/target.txt").c_str(), (dir_ / "tree/linked.txt").c_str()), 0);
  const auto found = ExpandFileList({dir_.Win("tree/*.*")}, u"", {});
  std::vector<std::string> names;
  for (const auto& c : found) names.push_back(ToUtf8(c.path).substr(dir_.path().size() + 1));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"tree\\linked.txt", "tree\\sub\\inner.txt"}));
}

TEST_F(ArchiveFaultTest, NamesEqualUnderCaseFoldingShareOneMember) {
  // Cyrillic beyond the basic alphabet (Ё/ё), Greek and Latin Extended-A.
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0.txt", "\xD1\x91\xD0\xBB\xD0\xBA\xD0\xB0.txt"},  // Ёлка / ёлка
      {"\xCE\x91\xCE\x92\xCE\x93.txt", "\xCE\xB1\xCE\xB2\xCE\xB3.txt"},                  // ΑΒΓ / αβγ
      {"\xC5\x81\xC3\xB3" "d\xC5\xBA.txt", "\xC5\x82\xC3\xB3" "d\xC5\xBA.txt"},                  // Łódź / łódź
  };
  std::vector<UString> list;
  for (const auto& p : pairs) {
    dir_.Put("case/" + p.first, "upper");
    dir_.Put("case/" + p.second, "lower");
    list.push_back(dir_.Win("case/" + p.first));
    list.push_back(dir_.Win("case/" + p.second));
  }
  const auto candidates = ExpandFileList(list, u"", {});
  ASSERT_EQ(candidates.size(), 6u);
  EXPECT_EQ(WriteZipArchive(candidates, FromUtf8(dir_ / "case.zip"), ZipOptions()), 3);
  EXPECT_EQ(PythonListing(dir_ / "case.zip"),
            "None\n" + pairs[0].first + " 5 b'upper'\n" + pairs[1].first + " 5 b'upper'\n" + pairs[2].first +
                " 5 b'upper'\n");
}

}  // namespace
}  // namespace velto
