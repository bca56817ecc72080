// The program's one window: two sentences, one button, a progress bar, and
// the completion message. The report worker reports through WM_GENINFO.
#pragma once

#include <windows.h>

namespace velto {

constexpr UINT WM_GENINFO = 0x8200;

// Creates and shows Form_VeltoInfo; returns its handle, or nullptr.
HWND CreateMainWindow(HINSTANCE instance, int show);

// Runs the message loop until the window is closed; returns the exit code.
int RunMessageLoop(HWND main_window);

}  // namespace velto
