#include "app/report_steps_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

#include "app/date_text_win.h"
#include "app/output_location.h"
#include "app/report_archive.h"
#include "collectors/products/product_collector.h"
#include "collectors/system/registry_dumps.h"
#include "platform/file_identity.h"
#include "platform/handles_win.h"
#include "platform/known_folders.h"
#include "platform/raw_registry_win.h"
#include "platform/wow64.h"

namespace velto {

namespace {

class WinReportSteps : public ReportSteps {
 public:
  void InitWow64Redirection() override { velto::InitWow64Redirection(); }
  UString TempFolder() override { return GetTempFolder(); }
  UString ProgramFolder() override { return velto::ProgramFolder(); }
  UString OutputFileName() override { return velto::OutputFileName(); }

  // Asks the shell to delete the folder and everything in it, permanently.
  bool DeleteFolderTree(const UString& folder) override {
    UString from = ExcludeTrailingBackslash(folder);
    // Only a fully qualified folder below a drive or share: a relative path
    // would be resolved against wherever the process stands.
    if (from.size() < 4 || ::PathIsRelativeW(WidePtr(from))) return false;
    from.push_back(u'\0');  // the source list ends with two NULs
    SHFILEOPSTRUCTW op;
    ZeroMemory(&op, sizeof op);
    op.wFunc = FO_DELETE;
    op.pFrom = WidePtr(from);
    // Silent and unconfirmed; no error dialog either, which would hold the
    // worker until someone answers it.
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return ::SHFileOperationW(&op) == 0;
  }

  UString ProgramFileVersion() override { return GetFileInfoString(ProgramFilePath(), 3, u"Unknown"); }
  UString CurrentDateTimeText() override { return velto::CurrentDateTimeText(); }

  void CollectUninstallKeys(TStringList& out) override {
    velto::CollectUninstallKeys(SystemRegistry(), out);
  }
  void CollectServicesKeys(TStringList& out) override {
    velto::CollectServicesKeys(SystemRegistry(), out);
  }

  std::unique_ptr<ProductCollector> CreateProductCollector() override {
    return std::make_unique<TTSQNGetInfo>();
  }

  int PackReport(const std::vector<UString>& files) override {
    return velto::PackReport(files, Context());
  }
  int PackReportToProgramFolder(const std::vector<UString>& files) override {
    return velto::PackReportToProgramFolder(files, Context());
  }
  int PackWorkFolderPlain(const UString& mask, const UString& output) override {
    return velto::PackWorkFolderPlain(mask, output);
  }

 private:
  static PackContext Context() {
    PackContext ctx;
    ctx.program_folder = velto::ProgramFolder();
    ctx.output_file_name = velto::OutputFileName();
    ctx.local_date_text = &TodayYmd;
    return ctx;
  }
};

}  // namespace

UString ProgramFolder() { return SharedAppFrame().ExePath; }

std::unique_ptr<ReportSteps> CreateReportSteps() { return std::make_unique<WinReportSteps>(); }

}  // namespace velto
