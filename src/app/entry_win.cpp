// Program entry: start-up of every module, the main window, the message loop.
// Command-line arguments are not read.
#include <windows.h>
#include <commctrl.h>

#include "app/accounts_win.h"
#include "app/main_window_win.h"
#include "platform/known_folders.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  velto::SharedAppFrame();  // the folders every collector uses, settled once
  velto::InitWindows2000Test();

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  HWND window = velto::CreateMainWindow(instance, show);
  if (!window) {
    ::MessageBoxW(nullptr, L"The window could not be created.", L"Error", MB_OK | MB_ICONERROR);
    return 1;
  }
  return velto::RunMessageLoop(window);
}
