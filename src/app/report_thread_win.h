// The report worker, TGenInfoThread: one thread that runs the report and
// releases itself when the run returns.
#pragma once

#include <windows.h>

namespace velto {

// Starts the worker, which reports to `window` through WM_GENINFO.
// False when the thread could not be created.
bool StartReportThread(HWND window);

// Fixes OutputFileName on the interactive user's Desktop (called on the
// window's thread before the worker starts).
void ResolveOutputFileName();

}  // namespace velto
