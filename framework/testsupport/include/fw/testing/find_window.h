// Window look-ups for tests. Tests run side by side, so a test looks a window up
// only among the windows of its own process or of a child it started: a look-up
// by class and title over the whole desktop can find another test's window.
#pragma once

#include <windows.h>

namespace fw::testing {

// The first top-level window of process `processId` (0: this process) whose class
// and title equal the ones given (nullptr: any). Hidden windows count too.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title);

// FindProcessWindow for this process.
inline HWND FindOwnWindow(const wchar_t* className, const wchar_t* title) {
    return FindProcessWindow(0, className, title);
}

// Looks for the window every 20 ms for up to `timeoutMs`, handling the calling
// thread's messages in between when `pump` is set (a dialog of this thread needs
// that to appear). Null when it did not appear in time.
HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                          DWORD timeoutMs, bool pump = true);

}  // namespace fw::testing
