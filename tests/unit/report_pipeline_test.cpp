#include "app/report_pipeline.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/file_io.h"

namespace velto {
namespace {

namespace fs = std::filesystem;

struct Message {
  GenInfoCode code;
  int value;
  bool sent;
};

class RecordingWindow : public ReportWindow {
 public:
  void SendGenInfo(GenInfoCode code, int value) override { log.push_back({code, value, true}); }
  void PostGenInfo(GenInfoCode code, int value) override { log.push_back({code, value, false}); }
  std::vector<int> Ticks() const {
    std::vector<int> t;
    for (const auto& m : log)
      if (m.code == GENINFO_STEP) t.push_back(m.value);
    return t;
  }
  std::vector<Message> log;
};

class TestProduct : public ProductCollector {
 public:
  explicit TestProduct(std::vector<UString> files) : files_(std::move(files)) {}
  std::vector<UString>& ZipFileList() override { return files_; }

 private:
  std::vector<UString> files_;
};

class TestBrowser : public BrowserCollector {
 public:
  TestBrowser(bool* released, bool firefox_fails) : released_(released), firefox_fails_(firefox_fails) {}
  ~TestBrowser() override { *released_ = true; }
  std::vector<UString> ChromePreferenceFiles() override { return {u"/c/Preferences", u"/c/Secure Preferences"}; }
  UString ChromeRegistryFile() override { return u"/t/chrome.reg"; }
  std::vector<UString> FirefoxFiles() override {
    if (firefox_fails_) throw std::runtime_error("profile folder unreadable");
    return {u"/f/prefs.js"};
  }
  std::vector<UString> OperaFiles() override { return {}; }
  UString LogFileName() override { return u"/t/PlugingetLog.txt"; }

 private:
  bool* released_;
  bool firefox_fails_;
};

// Steps that write real files into a scratch folder, record what ran, and fail
// where a test asks them to.
class TestSteps : public ReportSteps {
 public:
  explicit TestSteps(const fs::path& root) : root_(root) {
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "prog");
  }

  UString TempFolder() override { return FromUtf8((root_ / "tmp").string()) + u"\\"; }
  UString ProgramFolder() override { return FromUtf8((root_ / "prog").string()) + u"\\"; }
  UString OutputFileName() override { return FromUtf8((root_ / "out.log").string()); }
  bool DeleteFolderTree(const UString& folder) override {
    const fs::path p = ToUtf8(ExcludeTrailingBackslash(folder));
    std::string native = p.string();
    for (auto& c : native)
      if (c == '\\') c = '/';
    work_files.clear();  // what the last deletion found
    if (fs::exists(native)) {
      for (const auto& e : fs::recursive_directory_iterator(native)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        work_files[e.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
    }
    std::error_code ec;
    fs::remove_all(native, ec);
    return !ec;
  }

  UString ProgramFileVersion() override { return u"1.2.3.4"; }
  UString CurrentDateTimeText() override { Maybe("date"); return u"09.12.2026 10:11:12"; }
  void AddSystemSummary(TStringList& r) override { Maybe("summary"); r.Add(u"SUMMARY"); }
  void AddProductSummary(TStringList& r) override { Maybe("product_summary"); r.Add(u"PRODUCTS"); }
  UString BuildProcessListing() override { Maybe("processes"); return u"P1\r\nP2"; }
  void CollectServiceBinaries(TStringList& r) override { Maybe("binaries"); r.Add(u"BINARIES"); }
  void CollectBrowserHelperObjects(TStringList& r) override { Maybe("bho"); r.Add(u"BHO"); }
  void CollectAutoruns(TStringList& r) override { Maybe("autoruns"); r.Add(u"AUTORUNS"); }
  void CollectSecurityProducts(TStringList& r) override { Maybe("security"); r.Add(u"SECURITY"); }
  void CollectProductFileInventory(TStringList& r) override { Maybe("inventory"); r.Add(u"INVENTORY"); }
  void CollectUninstallKeys(TStringList& r) override { Maybe("uninstall"); r.Add(u"[U]"); }
  void CollectServicesKeys(TStringList& r) override { Maybe("services"); r.Add(u"[S]"); }
  void CollectDiskInfo(TStringList& r) override { Maybe("disk"); r.Add(u"DISK"); }
  void GetSystemInfoText(TStringList& r) override { Maybe("sysinfo"); r.Add(u"SYSINFO"); }
  void SaveScheduledTasks(const UString&) override { Maybe("tasks"); }
  std::unique_ptr<ProductCollector> CreateProductCollector() override {
    Maybe("product");
    return std::make_unique<TestProduct>(std::vector<UString>{u"/p/a.txt", u""});
  }
  std::unique_ptr<BrowserCollector> CreateBrowserCollector() override {
    Maybe("browser");
    return std::make_unique<TestBrowser>(&browser_released, firefox_fails);
  }
  UString StartMetroCollector() override { Maybe("metro"); return u"/t/metrologinfo.txt"; }

  int PackReport(const std::vector<UString>& files) override {
    packs.push_back("report");
    packed = files;
    return pack_report_result;
  }
  int PackReportToProgramFolder(const std::vector<UString>& files) override {
    packs.push_back("program");
    packed = files;
    if (program_throws) throw std::runtime_error("program folder not writable");
    return program_result;
  }
  int PackWorkFolderPlain(const UString& mask, const UString&) override {
    packs.push_back("plain");
    plain_mask = mask;
    return plain_result;
  }

  std::set<std::string> failing;
  std::map<std::string, std::string> work_files;
  std::vector<std::string> packs;
  std::vector<UString> packed;
  UString plain_mask;
  int pack_report_result = 3, program_result = 3, plain_result = 1;
  bool program_throws = false;
  bool browser_released = false;
  bool firefox_fails = false;

 private:
  void Maybe(const std::string& step) {
    if (failing.count(step)) throw std::runtime_error(step + " failed on purpose");
  }
  fs::path root_;
};

std::string Utf16File(const UString& text) { return EncodeUtf16Le(text, true); }

class ReportPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/velto_pipeline_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    steps_ = std::make_unique<TestSteps>(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
  std::unique_ptr<TestSteps> steps_;
  RecordingWindow window_;
};

TEST_F(ReportPipelineTest, CompleteRunAnnouncesFifteenPostsSeventeenAndFinishes) {
  RunReport(*steps_, window_);
  ASSERT_GE(window_.log.size(), 2u);
  EXPECT_EQ(window_.log.front().code, GENINFO_START);
  EXPECT_EQ(window_.log.front().value, 15);
  EXPECT_TRUE(window_.log.front().sent);
  EXPECT_EQ(window_.log.back().code, GENINFO_DONE);
  EXPECT_TRUE(window_.log.back().sent);
  std::vector<int> expected;
  for (int i = 1; i <= 17; ++i) expected.push_back(i);
  EXPECT_EQ(window_.Ticks(), expected);
  for (const auto& m : window_.log) {
    if (m.code == GENINFO_STEP) {
      EXPECT_FALSE(m.sent);
    }
  }
}

TEST_F(ReportPipelineTest, CompleteRunWritesTheWorkFilesInTheirForms) {
  RunReport(*steps_, window_);
  auto& files = steps_->work_files;
  EXPECT_EQ(files["GetInfoLog.txt"], std::string("\xFF\xFE"));
  const UString rule = kSectionRule;
  EXPECT_EQ(files["Velto_Debug_Info.txt"],
            Utf16File(u"Version:1.2.3.4\r\nDate:09.12.2026 10:11:12\r\nSUMMARY\r\nPRODUCTS\r\n" +
                      rule + u"\r\nP1\r\nP2\r\nBINARIES\r\n" + rule + u"\r\nBHO\r\nAUTORUNS\r\n" +
                      rule + u"\r\nSECURITY\r\nINVENTORY\r\n"));
  EXPECT_EQ(files["uninstall.txt"], Utf16File(u"Windows Registry Editor Version 5.00\r\n[U]\r\n"));
  EXPECT_EQ(files["services.txt"], Utf16File(u"[S]\r\n"));
  EXPECT_EQ(files["DiskInfo.txt"], Utf16File(u"DISK\r\n"));
  EXPECT_EQ(files["SystemInfo.txt"], Utf16File(u"SYSINFO\r\n"));
  EXPECT_EQ(rule.size(), 81u);
  // The working folder is gone afterwards.
  EXPECT_FALSE(fs::exists(root_ / "tmp" / "GetInfoDir"));
}

TEST_F(ReportPipelineTest, FileListGetsWorkFolderThenBrowserThenStoreEntries) {
  RunReport(*steps_, window_);
  const UString work = FromUtf8((root_ / "tmp").string()) + u"\\GetInfoDir\\";
  const std::vector<UString> expected = {
      u"/p/a.txt",       u"",           work + u"*.*",         u"/c/Preferences",
      u"/c/Secure Preferences", u"/t/chrome.reg", u"/f/prefs.js", u"/t/PlugingetLog.txt",
      u"/t/metrologinfo.txt"};
  EXPECT_EQ(steps_->packed, expected);
  EXPECT_EQ(steps_->packs, std::vector<std::string>{"report"});
  EXPECT_TRUE(steps_->browser_released);
}

TEST_F(ReportPipelineTest, FailingSystemSummaryEndsGroupBAndLaterTicksRenumber) {
  steps_->failing = {"summary"};
  RunReport(*steps_, window_);
  const std::string report = steps_->work_files["Velto_Debug_Info.txt"];
  EXPECT_EQ(report.find(EncodeUtf16Le(u"PRODUCTS", false)), std::string::npos);
  EXPECT_EQ(report.find(EncodeUtf16Le(u"BHO", false)), std::string::npos);
  EXPECT_NE(report.find(EncodeUtf16Le(u"AUTORUNS", false)), std::string::npos);
  EXPECT_EQ(steps_->work_files["GetInfoLog.txt"], Utf16File(u"!!Error:2!!\r\n"));
  // Group B's five ticks are skipped: group D's first tick carries 1.
  const auto ticks = window_.Ticks();
  ASSERT_EQ(ticks.size(), 12u);
  EXPECT_EQ(ticks.front(), 1);
  EXPECT_EQ(ticks.back(), 12);
}

TEST_F(ReportPipelineTest, EachGroupLogsItsOwnMarkerOnceAndTheRunGoesOn) {
  steps_->failing = {"date", "binaries", "autoruns", "uninstall", "tasks"};
  RunReport(*steps_, window_);
  EXPECT_EQ(steps_->work_files["GetInfoLog.txt"],
            Utf16File(u"!!Error:1!!\r\n!!Error:2!!\r\n!!Error:3!!\r\n!!Error:4!!\r\n!!Error:5!!\r\n"));
  // A failure inside group D leaves the later dumps out of the package.
  EXPECT_TRUE(steps_->work_files.count("Velto_Debug_Info.txt"));
  EXPECT_FALSE(steps_->work_files.count("uninstall.txt"));
  EXPECT_FALSE(steps_->work_files.count("services.txt"));
  EXPECT_FALSE(steps_->work_files.count("SystemInfo.txt"));
  EXPECT_EQ(window_.log.back().code, GENINFO_DONE);
}

TEST_F(ReportPipelineTest, StoreAppFailureIsSilent) {
  steps_->failing = {"metro"};
  RunReport(*steps_, window_);
  EXPECT_EQ(steps_->work_files["GetInfoLog.txt"], std::string("\xFF\xFE"));
  EXPECT_NE(steps_->packed.back(), u"/t/metrologinfo.txt");
}

TEST_F(ReportPipelineTest, WithoutProductCollectorThePackageIsThePlainWorkFolder) {
  steps_->failing = {"product"};
  RunReport(*steps_, window_);
  EXPECT_EQ(steps_->work_files["GetInfoLog.txt"], Utf16File(u"!!Error:6!!\r\n!!Error:7!!\r\n"));
  EXPECT_EQ(steps_->packs, std::vector<std::string>{"plain"});
  // Group G ends after its first tick: 5 + 6 + 1 + the tick after packaging.
  std::vector<int> expected;
  for (int i = 1; i <= 13; ++i) expected.push_back(i);
  EXPECT_EQ(window_.Ticks(), expected);
  EXPECT_TRUE(steps_->browser_released);
  EXPECT_EQ(steps_->plain_mask, FromUtf8((root_ / "tmp").string()) + u"\\GetInfoDir\\*.*");
}

TEST_F(ReportPipelineTest, BrowserFailurePartWayKeepsTheFilesAlreadyListed) {
  steps_->firefox_fails = true;
  RunReport(*steps_, window_);
  EXPECT_EQ(steps_->work_files["GetInfoLog.txt"], Utf16File(u"!!Error:7!!\r\n"));
  const std::vector<UString>& packed = steps_->packed;
  EXPECT_NE(std::find(packed.begin(), packed.end(), u"/t/chrome.reg"), packed.end());
  EXPECT_EQ(std::find(packed.begin(), packed.end(), u"/t/PlugingetLog.txt"), packed.end());
  // Group G posted 2 of its 4 ticks; the Store-app log is still listed.
  EXPECT_EQ(window_.Ticks().back(), 15);
  EXPECT_EQ(packed.back(), u"/t/metrologinfo.txt");
}

TEST_F(ReportPipelineTest, PackagingChainFallsBackInOrder) {
  steps_->pack_report_result = 0;
  steps_->program_result = 0;
  RunReport(*steps_, window_);
  EXPECT_EQ(steps_->packs, (std::vector<std::string>{"report", "program", "plain"}));
}

TEST_F(ReportPipelineTest, ProgramFolderErrorsAreRetriedOnceThenPlain) {
  steps_->pack_report_result = 0;
  steps_->program_throws = true;
  RunReport(*steps_, window_);
  EXPECT_EQ(steps_->packs, (std::vector<std::string>{"report", "program", "program", "plain"}));
  EXPECT_EQ(window_.Ticks().back(), 17);
}

TEST_F(ReportPipelineTest, LeftoverWorkFolderAndOldPackageAreRemovedFirst) {
  fs::create_directories(root_ / "tmp" / "GetInfoDir" / "sub");
  std::ofstream(root_ / "tmp" / "GetInfoDir" / "stale.txt") << "old";
  std::ofstream(root_ / "out.log") << "old package";
  steps_->pack_report_result = 0;
  steps_->program_result = 0;
  steps_->plain_result = 0;
  RunReport(*steps_, window_);
  EXPECT_FALSE(steps_->work_files.count("stale.txt"));
  // Every attempt failed, so no package remains at the output path.
  EXPECT_FALSE(fs::exists(root_ / "out.log"));
}

TEST_F(ReportPipelineTest, UncreatableWorkFolderFallsBackBesideTheProgramAndStillFinishes) {
  class NoTempSteps : public TestSteps {
   public:
    using TestSteps::TestSteps;
    UString TempFolder() override { return u"/proc/velto-no-such-place/"; }
  } steps(root_);
  class EmptyTempSteps : public TestSteps {
   public:
    using TestSteps::TestSteps;
    UString TempFolder() override { return UString(); }
  } empty_temp(root_);
  RecordingWindow other;
  RunReport(empty_temp, other);
  ASSERT_GE(empty_temp.packed.size(), 3u);
  EXPECT_EQ(empty_temp.packed[2], FromUtf8((root_ / "prog").string()) + u"\\GetInfoDir\\*.*");
  RunReport(steps, window_);
  EXPECT_EQ(steps.plain_mask, UString());  // encrypted attempt still ran with the list
  ASSERT_FALSE(steps.packed.empty());
  EXPECT_EQ(steps.packed[2], FromUtf8((root_ / "prog").string()) + u"\\GetInfoDir\\*.*");
  // The fallback folder is not created, so saving fails visibly rather than silently.
  EXPECT_FALSE(fs::exists(root_ / "prog" / "GetInfoDir"));
  EXPECT_EQ(window_.log.back().code, GENINFO_DONE);
}

}  // namespace
}  // namespace velto
