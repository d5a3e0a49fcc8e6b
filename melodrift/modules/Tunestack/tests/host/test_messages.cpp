// The test's messages and windows.
#include "test_messages.h"

#include "fw/testing/find_window.h"

#include <shlobj.h>

#include <cstring>

namespace mdtest {

void Pump(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void DropFiles(HWND window, const std::vector<std::wstring>& paths, bool wait)
{
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (wait) SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    else PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

HWND WaitForDialog(const wchar_t* title, DWORD timeoutMs)
{
    return fw::testing::WaitForProcessWindow(0, L"#32770", title, timeoutMs);
}

}  // namespace mdtest
