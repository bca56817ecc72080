#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/output_location.h"
#include "app/report_pipeline.h"
#include "app/report_thread_win.h"
#include "platform/file_io.h"
#include "platform/handles_win.h"

namespace velto {

namespace {

const wchar_t kClassName[] = L"TForm_VeltoInfo";
const wchar_t kCaption[] = L"Get Velto Configuration File";
const wchar_t kLabelText[] =
    L"Info Helper collects infomation about your system...\r\n\r\n"
    L"Press the button below to generate an info file.";
const wchar_t kButtonText[] = L"Save report to Desktop";
const wchar_t kSavedText[] = L"The info file: Velto_Debug_Info.zip has been saved to:\r";
const wchar_t kFailedText[] = L"The info file save failed";

constexpr int kClientWidth = 305;
constexpr int kClientHeight = 148;
constexpr int kButtonId = 1;
constexpr int kLabelId = 2;
constexpr int kProgressId = 3;

// The window's state; one window per process.
struct Form {
  HWND window = nullptr;
  HWND button = nullptr;
  HWND label = nullptr;
  HWND progress = nullptr;
  HFONT font = nullptr;
  bool busy = false;      // hourglass over the whole application
  bool finished = false;  // the one run of this process has reported completion
  int bar_max = 20;
};
Form g_form;

// Lets pending input and paint messages through while a handler holds the thread.
void ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!::IsDialogMessageW(g_form.window, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

void SetBusy(bool busy) {
  g_form.busy = busy;
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void SetBar(int position) {
  ::SendMessageW(g_form.progress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// Bar full, then hidden and reset; button and cursor back to normal.
void ResetAfterRun() {
  SetBar(g_form.bar_max);
  ProcessMessages();
  ::ShowWindow(g_form.progress, SW_HIDE);
  SetBar(0);
  ::EnableWindow(g_form.button, TRUE);
  SetBusy(false);
  ProcessMessages();
}

void ShowFailure() {
  ::MessageBoxW(g_form.window, kFailedText, L"Error", MB_OK | MB_ICONERROR);
}

void OnDone() {
  // The button comes back enabled below, but this process makes one package:
  // a click queued before the end must not start a second run that would
  // delete the package just reported.
  g_form.finished = true;
  ResetAfterRun();
  const UString& output = OutputFileName();
  if (FileExists(output)) {
    const UString text = FromWide(kSavedText) + output;
    ::MessageBoxW(g_form.window, WidePtr(text), L"Information", MB_OK | MB_ICONINFORMATION);
    const UString params = u"/select," + output;
    // A failure to start Explorer changes nothing for the user: the path was shown.
    ::ShellExecuteW(nullptr, L"open", L"Explorer.exe", WidePtr(params), nullptr, SW_SHOW);
  } else {
    ShowFailure();
  }
  // One run per process. The worker is still waiting inside SendMessage for
  // this handler; it ends with the process.
  ::TerminateProcess(::GetCurrentProcess(), 0);
}

void OnGenInfoMessage(WPARAM code, LPARAM value) {
  switch (code) {
    case GENINFO_START:
      SetBar(0);
      g_form.bar_max = static_cast<int>(value);
      ::SendMessageW(g_form.progress, PBM_SETRANGE32, 0, value);
      ::ShowWindow(g_form.progress, SW_SHOW);
      ProcessMessages();
      break;
    case GENINFO_STEP:
      SetBar(static_cast<int>(value));  // the control clamps to its maximum
      ProcessMessages();
      break;
    case GENINFO_DONE:
      OnDone();
      break;
    case GENINFO_FAILED:
      ResetAfterRun();
      ShowFailure();
      break;
    default:
      break;
  }
}

void Button_GenClick() {
  if (g_form.finished) return;
  ::EnableWindow(g_form.button, FALSE);
  SetBusy(true);
  ProcessMessages();
  ResolveOutputFileName();
  if (!StartReportThread(g_form.window)) {
    // Without a worker there is no run: say so and let the user try again.
    OnGenInfoMessage(GENINFO_FAILED, 0);
  }
}

HWND AddControl(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                int id) {
  HWND hwnd = ::CreateWindowExW(0, cls, text, WS_CHILD | style, x, y, w, h, g_form.window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                ::GetModuleHandleW(nullptr), nullptr);
  if (hwnd && g_form.font) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(g_form.font), FALSE);
  return hwnd;
}

bool FormCreate() {
  g_form.font = ::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
  if (g_form.font)
    ::SendMessageW(g_form.window, WM_SETFONT, reinterpret_cast<WPARAM>(g_form.font), FALSE);
  // Creation order is tab order: the button first, then the progress bar.
  g_form.button = AddControl(L"BUTTON", kButtonText, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                             61, 82, 169, 25, kButtonId);
  g_form.label = AddControl(L"STATIC", kLabelText, WS_VISIBLE | SS_LEFT, 25, 15, 250, 39, kLabelId);
  g_form.progress = AddControl(PROGRESS_CLASSW, L"", PBS_SMOOTH, 31, 122, 253, 17, kProgressId);
  if (!g_form.button || !g_form.label || !g_form.progress) return false;
  ::SendMessageW(g_form.progress, PBM_SETRANGE32, 0, g_form.bar_max);
  ::SendMessageW(g_form.progress, PBM_SETSTEP, 1, 0);
  return true;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      g_form.window = hwnd;
      return FormCreate() ? 0 : -1;
    case WM_COMMAND:
      if (LOWORD(wp) == kButtonId && HIWORD(wp) == BN_CLICKED) Button_GenClick();
      return 0;
    case WM_GENINFO:
      OnGenInfoMessage(wp, lp);
      return 0;
    case WM_SETCURSOR:
      if (g_form.busy) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC:
      ::SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
      // Closing mid-run would cut the worker off with a half-built package
      // and the working folder left behind; the run ends the process itself.
      if (g_form.busy) return 0;
      break;
    case WM_DESTROY:
      if (g_form.font) ::DeleteObject(g_form.font);
      g_form.font = nullptr;
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance, int show) {
  WNDCLASSEXW wc;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc)) return nullptr;

  // Tool-window border: small caption, fixed size, no minimise or maximise box.
  // WS_EX_APPWINDOW keeps the window itself on the taskbar.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT rect = {0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND hwnd = ::CreateWindowExW(ex_style, kClassName, kCaption, style, x, y, width, height, nullptr,
                                nullptr, instance, nullptr);
  if (!hwnd) return nullptr;
  ::ShowWindow(hwnd, show);
  ::UpdateWindow(hwnd);
  return hwnd;
}

int RunMessageLoop(HWND main_window) {
  MSG msg;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    if (!::IsDialogMessageW(main_window, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

}  // namespace velto
