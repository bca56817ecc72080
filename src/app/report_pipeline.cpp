#include "app/report_pipeline.h"

#include <stdexcept>

#include "platform/file_io.h"

namespace velto {

namespace {

const char16_t kWorkFolderName[] = u"GetInfoDir\\";

class SaveError : public std::runtime_error {
 public:
  explicit SaveError(const UString& path) : std::runtime_error("cannot write " + ToUtf8(path)) {}
};

void SaveOrThrow(const TStringList& list, const UString& path) {
  if (!list.SaveToFileUtf16(path)) throw SaveError(path);
}

// One run's state; the groups are its member functions so each reads as the
// list of steps it is.
class ReportRun {
 public:
  ReportRun(ReportSteps& steps, ReportWindow& window) : steps_(steps), window_(window) {}

  void Run() {
    steps_.InitWow64Redirection();
    ticks_ = 0;
    window_.SendGenInfo(GENINFO_START, kAnnouncedSteps);
    PrepareWorkFolder();
    try {
      Body();
    } catch (...) {
      // Nothing that escapes the body may stop the clean-up or the completion message.
    }
    try {
      steps_.DeleteFolderTree(work_folder_);
    } catch (...) {
    }
    window_.SendGenInfo(GENINFO_DONE, 0);
  }

 private:
  void StepProgress() { window_.PostGenInfo(GENINFO_STEP, ++ticks_); }

  // Runs one group under its guard; a failure ends the group and logs its marker.
  template <typename F>
  void Group(int marker, F&& body) {
    try {
      body();
    } catch (...) {
      if (marker > 0) error_log_.Add(u"!!Error:" + IntToText(marker) + u"!!");
    }
  }

  void PrepareWorkFolder() {
    try {
      const UString temp = steps_.TempFolder();
      // No temporary folder would make the working folder a relative path,
      // created and later deleted wherever the process happens to stand.
      if (temp.empty()) throw std::runtime_error("no temporary folder");
      work_folder_ = temp + kWorkFolderName;
      if (DirectoryExists(work_folder_)) steps_.DeleteFolderTree(work_folder_);
      if (!DirectoryExists(work_folder_)) ForceDirectories(work_folder_);
      // Without a working folder the files are saved beside the program. That
      // folder is not created here: saving into it then fails visibly as markers.
      if (!DirectoryExists(work_folder_)) work_folder_ = FallbackWorkFolder();
      work_folder_ = IncludeTrailingBackslash(work_folder_);
    } catch (...) {
      work_folder_ = FallbackWorkFolder();
    }
  }

  UString FallbackWorkFolder() {
    try {
      return IncludeTrailingBackslash(steps_.ProgramFolder()) + kWorkFolderName;
    } catch (...) {
      return kWorkFolderName;
    }
  }

  void Body() {
    report_.Add(u"Version:" + steps_.ProgramFileVersion());
    Group(1, [&] { report_.Add(u"Date:" + steps_.CurrentDateTimeText()); });
    Group(2, [&] { GroupB(); });
    Group(3, [&] {
      TStringList autoruns;
      steps_.CollectAutoruns(autoruns);
      report_.AddStrings(autoruns);
    });
    Group(4, [&] { GroupD(); });
    Group(5, [&] { steps_.SaveScheduledTasks(work_folder_); });
    Group(6, [&] {
      product_ = steps_.CreateProductCollector();
      StepProgress();
      if (product_) product_->ZipFileList().push_back(work_folder_ + u"*.*");
    });
    Group(7, [&] { GroupG(); });
    Group(0, [&] {
      const UString log = steps_.StartMetroCollector();
      if (product_ && !log.empty()) product_->ZipFileList().push_back(log);
    });
    Group(0, [&] {
      error_log_.SaveToFileUtf16(work_folder_ + u"GetInfoLog.txt");
      const UString output = steps_.OutputFileName();
      if (FileExists(output)) RemoveFile(output);
    });
    Package();
    StepProgress();
    product_.reset();
  }

  void GroupB() {
    steps_.AddSystemSummary(report_);
    StepProgress();
    steps_.AddProductSummary(report_);
    StepProgress();
    report_.Add(kSectionRule);
    report_.Add(steps_.BuildProcessListing());
    StepProgress();
    steps_.CollectServiceBinaries(report_);
    StepProgress();
    report_.Add(kSectionRule);
    TStringList helpers;
    steps_.CollectBrowserHelperObjects(helpers);
    report_.AddStrings(helpers);
    StepProgress();
  }

  void GroupD() {
    report_.Add(kSectionRule);
    steps_.CollectSecurityProducts(report_);
    StepProgress();
    steps_.DetectAppPath();
    steps_.CollectProductFileInventory(report_);
    StepProgress();
    SaveOrThrow(report_, work_folder_ + u"Velto_Debug_Info.txt");

    report_.Clear();
    report_.Add(u"Windows Registry Editor Version 5.00");
    steps_.CollectUninstallKeys(report_);
    SaveOrThrow(report_, work_folder_ + u"uninstall.txt");
    StepProgress();

    report_.Clear();
    steps_.CollectServicesKeys(report_);
    SaveOrThrow(report_, work_folder_ + u"services.txt");
    StepProgress();

    report_.Clear();
    steps_.CollectDiskInfo(report_);
    SaveOrThrow(report_, work_folder_ + u"DiskInfo.txt");

    steps_.GatherDumpsAndLogs(work_folder_);
    StepProgress();

    TStringList system_info;
    steps_.GetSystemInfoText(system_info);
    SaveOrThrow(system_info, work_folder_ + u"SystemInfo.txt");
    StepProgress();
  }

  void GroupG() {
    std::unique_ptr<BrowserCollector> browser = steps_.CreateBrowserCollector();
    StepProgress();
    // Without a product collector there is no file list to extend: that ends
    // this group as a failure (the collector is still released, writing its log).
    if (!product_) throw std::runtime_error("no archive file list");
    auto& list = product_->ZipFileList();
    if (browser) {
      for (const auto& f : browser->ChromePreferenceFiles()) list.push_back(f);
      list.push_back(browser->ChromeRegistryFile());
    }
    StepProgress();
    if (browser) {
      for (const auto& f : browser->FirefoxFiles()) list.push_back(f);
      for (const auto& f : browser->OperaFiles()) list.push_back(f);
    }
    StepProgress();
    if (browser) list.push_back(browser->LogFileName());
    browser.reset();  // writes the collector's log file
    StepProgress();
  }

  // The three packaging attempts: encrypted beside the program and moved to
  // the output, encrypted into the program's folder, and last a plain ZIP of
  // the working folder at the output.
  void Package() {
    const UString mask = work_folder_ + u"*.*";
    const UString output = steps_.OutputFileName();
    std::vector<UString> none;
    const std::vector<UString>& files = product_ ? product_->ZipFileList() : none;
    try {
      int count = product_ ? steps_.PackReport(files) : 0;
      if (count == 0 && product_) count = steps_.PackReportToProgramFolder(files);
      if (count == 0) steps_.PackWorkFolderPlain(mask, output);
    } catch (...) {
      try {
        const int count = product_ ? steps_.PackReportToProgramFolder(files) : 0;
        if (count == 0) steps_.PackWorkFolderPlain(mask, output);
      } catch (...) {
        try {
          steps_.PackWorkFolderPlain(mask, output);
        } catch (...) {
        }
      }
    }
  }

  ReportSteps& steps_;
  ReportWindow& window_;
  UString work_folder_;
  TStringList report_;
  TStringList error_log_;
  std::unique_ptr<ProductCollector> product_;
  int32_t ticks_ = 0;
};

}  // namespace

void RunReport(ReportSteps& steps, ReportWindow& window) {
  try {
    ReportRun(steps, window).Run();
  } catch (...) {
    // The window must always hear that the run has ended.
    try {
      window.SendGenInfo(GENINFO_DONE, 0);
    } catch (...) {
    }
  }
}

}  // namespace velto
