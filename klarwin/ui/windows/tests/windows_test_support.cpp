#include "windows_test_support.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <oleauto.h>

#include <thread>

namespace kwtest {

namespace {
constexpr wchar_t kKey[] = L"Software\\Klarwin";
}

std::optional<std::wstring> ReadSetting(const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

void SetSetting(const wchar_t* name, const std::optional<std::wstring>& value) {
    if (!value) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, name);
        return;
    }
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, REG_SZ, value->c_str(),
                    static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
}

EngineOptions TestEngineOptions(double pacing) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    EngineOptions options;
    options.dataFolder = std::wstring(temp) + L"kwwin-test-data";
    CreateDirectoryW(options.dataFolder.c_str(), nullptr);
    DeleteFileW((options.dataFolder + L"\\unresolvederrors.dat").c_str());
    options.backupFolder = std::wstring(temp) + L"kwwin-test-backup";
    options.reportsFolder = std::wstring(temp) + L"kwwin-test-reports";
    options.pacingScale = pacing;
    return options;
}

CMessageSink::CMessageSink() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CMessageSink::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KwWinTestSink";
    RegisterClassW(&wc);
    m_hwnd = CreateWindowW(L"KwWinTestSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CMessageSink::~CMessageSink() {
    MSG msg;
    while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    DestroyWindow(m_hwnd);
}

LRESULT CALLBACK CMessageSink::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == 0x810D || message == 0x8115 || message == 0x8118) {
        SysFreeString(reinterpret_cast<BSTR>(wParam));
        if (auto* sink = reinterpret_cast<CMessageSink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) ++sink->m_freed;
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RunWithUser(const std::function<void()>& modal, const std::function<void()>& user) {
    std::thread thread(user);
    modal();
    thread.join();
}

void ExpectMessageBox(const std::wstring& text, int button) {
    uidriver::MessageBoxInfo box;
    ASSERT_TRUE(uidriver::WaitForMessageBox(box)) << "no message box for: " << std::string(text.begin(), text.end());
    EXPECT_EQ(box.text, text);
    EXPECT_TRUE(uidriver::AnswerMessageBox(box.hwnd, button));
    uidriver::WaitForWindowGone(box.hwnd);
}

int ProgressPosition(HWND bar) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
    return static_cast<int>(result);
}

}  // namespace kwtest
