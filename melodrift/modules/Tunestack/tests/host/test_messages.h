// The messages and windows of a test's own thread, shared by the module tests:
// pumping until something holds, files dropped on a window, a dialog waited for.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace mdtest {

// Handles the thread's messages until `condition` holds; false after `timeoutMs`.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
void Pump(DWORD milliseconds);

// The files dropped on the window as the shell drops them: posted, or with
// `wait` handled before this returns.
void DropFiles(HWND window, const std::vector<std::wstring>& paths, bool wait = false);

// A visible top-level dialog of that title (class #32770), or null after the time-out.
HWND WaitForDialog(const wchar_t* title, DWORD timeoutMs = 10000);

}  // namespace mdtest
