// The report run: every collector once, in a fixed order of guarded groups,
// into a private working folder, then packaging and clean-up.
//
// The order, the guards, the error markers, the progress ticks and the
// packaging chain live here as portable code. What each step does on the
// machine comes in through ReportSteps, so the rules can be exercised with
// steps that fail on purpose.
#pragma once

#include <memory>
#include <vector>

#include "platform/report_text.h"
#include "platform/string_list.h"
#include "platform/text.h"

namespace velto {

// WM_GENINFO codes (the window message the worker uses to talk to the window).
enum GenInfoCode : int {
  GENINFO_START = 0,   // sent; lParam: number of steps to expect
  GENINFO_STEP = 1,    // posted; lParam: running tick number
  GENINFO_DONE = 2,    // sent; lParam 0
  GENINFO_FAILED = 3,  // not sent by the pipeline
};

// The number of steps announced at the start. A complete run posts 17 ticks;
// the window shows a full bar from tick 15 on.
constexpr int kAnnouncedSteps = 15;


// How the worker reaches the main window.
class ReportWindow {
 public:
  virtual ~ReportWindow() = default;
  virtual void SendGenInfo(GenInfoCode code, int value) = 0;  // waits until handled
  virtual void PostGenInfo(GenInfoCode code, int value) = 0;  // does not wait
};

// The product collector: does all of its collecting when created and owns
// the archive's file list.
class ProductCollector {
 public:
  virtual ~ProductCollector() = default;  // removes its registry export files
  virtual std::vector<UString>& ZipFileList() = 0;
};

// The browser profile collector; releasing it writes its log file.
class BrowserCollector {
 public:
  virtual ~BrowserCollector() = default;
  virtual std::vector<UString> ChromePreferenceFiles() = 0;
  virtual UString ChromeRegistryFile() = 0;
  virtual std::vector<UString> FirefoxFiles() = 0;
  virtual std::vector<UString> OperaFiles() = 0;
  virtual UString LogFileName() = 0;
};

// Everything the run does on the machine. Any step may throw; the pipeline
// decides what a failure costs. A step with no collector in this build yet
// does nothing: it adds no text and no file.
class ReportSteps {
 public:
  virtual ~ReportSteps() = default;

  virtual void InitWow64Redirection() {}
  virtual UString TempFolder() = 0;     // with trailing backslash
  virtual UString ProgramFolder() = 0;  // folder of the program file, with trailing backslash
  virtual UString OutputFileName() = 0;
  virtual bool DeleteFolderTree(const UString& folder) = 0;

  virtual UString ProgramFileVersion() = 0;  // "Version:" value
  virtual UString CurrentDateTimeText() = 0;  // "Date:" value

  // Group B
  virtual void AddSystemSummary(TStringList& report) { (void)report; }
  virtual void AddProductSummary(TStringList& report) { (void)report; }
  virtual UString BuildProcessListing() { return UString(); }
  virtual void CollectServiceBinaries(TStringList& report) { (void)report; }
  virtual void CollectBrowserHelperObjects(TStringList& out) { (void)out; }
  // Group C
  virtual void CollectAutoruns(TStringList& out) { (void)out; }
  // Group D
  virtual void CollectSecurityProducts(TStringList& report) { (void)report; }
  virtual void DetectAppPath() {}
  virtual void CollectProductFileInventory(TStringList& report) { (void)report; }
  virtual void CollectUninstallKeys(TStringList& out) { (void)out; }
  virtual void CollectServicesKeys(TStringList& out) { (void)out; }
  virtual void CollectDiskInfo(TStringList& out) { (void)out; }
  virtual void GatherDumpsAndLogs(const UString& work_folder) { (void)work_folder; }
  virtual void GetSystemInfoText(TStringList& out) { (void)out; }
  // Group E: writes work_folder + "task.txt" itself.
  virtual void SaveScheduledTasks(const UString& work_folder) { (void)work_folder; }
  // Group F, G, H
  virtual std::unique_ptr<ProductCollector> CreateProductCollector() = 0;
  virtual std::unique_ptr<BrowserCollector> CreateBrowserCollector() { return nullptr; }
  // Starts the Store-app collector (kept alive until the process ends) and
  // returns its log file's path; empty when there is none.
  virtual UString StartMetroCollector() { return UString(); }

  // Packaging attempts: each returns the number of files archived, 0 = failed.
  virtual int PackReport(const std::vector<UString>& files) = 0;  // never throws
  virtual int PackReportToProgramFolder(const std::vector<UString>& files) = 0;  // may throw
  virtual int PackWorkFolderPlain(const UString& mask, const UString& output) = 0;  // never throws
};

// The worker's body. Never throws; ends with GENINFO_DONE sent to the window.
void RunReport(ReportSteps& steps, ReportWindow& window);

}  // namespace velto
