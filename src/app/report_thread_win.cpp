#include "app/report_thread_win.h"

#include <memory>

#include "app/main_window_win.h"
#include "app/report_pipeline.h"
#include "app/report_steps_win.h"

namespace velto {

namespace {

class WindowMessages : public ReportWindow {
 public:
  explicit WindowMessages(HWND window) : window_(window) {}
  void SendGenInfo(GenInfoCode code, int value) override {
    ::SendMessageW(window_, WM_GENINFO, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
  }
  void PostGenInfo(GenInfoCode code, int value) override {
    // A tick that cannot be queued only leaves the bar behind; the run goes on.
    ::PostMessageW(window_, WM_GENINFO, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
  }

 private:
  HWND window_;
};

class TGenInfoThread {
 public:
  explicit TGenInfoThread(HWND window) : window_(window) {}

  static DWORD WINAPI ThreadProc(void* param) {
    // Free on terminate: the thread owns its object.
    std::unique_ptr<TGenInfoThread> self(static_cast<TGenInfoThread*>(param));
    try {
      self->RunReport();
    } catch (...) {
      // Only setting up the run can throw here (RunReport itself never does);
      // the window must still hear that the run is over.
      self->window_.SendGenInfo(GENINFO_DONE, 0);
    }
    return 0;
  }

 private:
  void RunReport() {
    std::unique_ptr<ReportSteps> steps = CreateReportSteps();
    velto::RunReport(*steps, window_);
  }

  WindowMessages window_;
};

}  // namespace

bool StartReportThread(HWND window) {
  auto thread = std::make_unique<TGenInfoThread>(window);
  HANDLE handle = ::CreateThread(nullptr, 0, &TGenInfoThread::ThreadProc, thread.get(), 0, nullptr);
  if (!handle) return false;
  thread.release();  // now owned by the running thread
  ::CloseHandle(handle);
  return true;
}

}  // namespace velto
