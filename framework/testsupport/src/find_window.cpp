#include "fw/testing/find_window.h"

#include <cwchar>

namespace fw::testing {
namespace {

struct Search {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->processId) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
    if (search->className) {
        wchar_t cls[256] = {};
        GetClassNameW(hwnd, cls, 256);
        if (std::wcscmp(cls, search->className) != 0) return TRUE;
    }
    if (search->title) {
        wchar_t text[512] = {};
        // The process's own windows answer WM_GETTEXT; a child's window may be
        // busy, so ask with a bound.
        DWORD_PTR len = 0;
        if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                                 SMTO_ABORTIFHUNG, 1000, &len))
            return TRUE;
        if (std::wcscmp(text, search->title) != 0) return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                       bool visibleOnly) {
    Search search{processId ? processId : GetCurrentProcessId(), className, title, visibleOnly, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                          DWORD timeoutMs, bool pump) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND hwnd = FindProcessWindow(processId, className, title, true)) return hwnd;
        if (GetTickCount64() >= end) return nullptr;
        if (pump) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        Sleep(20);
    }
}

}  // namespace fw::testing
