// Window look-ups for tests. Tests run side by side, so a test looks a window up
// only among the windows of its own process or of a child it started: a look-up
// by class and title over the whole desktop can find another test's window.
#pragma once

#include <windows.h>

namespace fw::testing {

// The first top-level window of process `processId` (0: this process) whose class
// and title equal the ones given (nullptr: any); hidden windows count too unless
// `visibleOnly` is set.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                       bool visibleOnly = false);

// FindProcessWindow for this process.
inline HWND FindOwnWindow(const wchar_t* className, const wchar_t* title, bool visibleOnly = false) {
    return FindProcessWindow(0, className, title, visibleOnly);
}

// Waits up to `timeoutMs` for a visible window of the process, looking every
// 20 ms and handling the calling thread's messages in between when `pump` is set
// (a window of this thread may need that to appear). Null when none appeared.
HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                          DWORD timeoutMs, bool pump = false);

}  // namespace fw::testing
