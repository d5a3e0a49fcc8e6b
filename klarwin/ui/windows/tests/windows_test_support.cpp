#include "windows_test_support.h"

#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/section_controls.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace kwtest {

namespace {
constexpr wchar_t kKey[] = L"Software\\Klarwin";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
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

void KnownSettings() {
    SetSetting(L"StartWithWindows", L"false");
    SetSetting(L"StartScanAtProgramStartup", L"false");
    SetSetting(L"ShowInTaskbarOnClose", L"true");
    SetSetting(L"AllowAutoUpdates", L"false");
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

HWND CreateMessageWindow(const wchar_t* className, WNDPROC proc, void* self) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    return hwnd;
}

CMessageSink::CMessageSink() : m_hwnd(CreateMessageWindow(L"KwWinTestSink", &CMessageSink::Proc, this)) {}

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

HWND WaitTop(const std::wstring& title) {
    return uidriver::WaitForTopWindow({.title = title, .processId = GetCurrentProcessId()});
}

std::optional<std::wstring> RunValue() {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

void DeleteRunValue() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin"); }

INT_PTR RunWindow(CDialog& dlg, uidriver::WindowQuery query, const std::function<void(HWND)>& user) {
    query.processId = GetCurrentProcessId();
    INT_PTR result = 0;
    RunWithUser([&] { result = dlg.DoModal(); },
                [&] {
                    HWND wnd = uidriver::WaitForTopWindow(query);
                    ASSERT_NE(wnd, nullptr);
                    user(wnd);
                });
    return result;
}

void RunMainWindow(CDialog& dlg, const std::function<void(HWND)>& user) {
    RunWindow(dlg, {.title = CScanDialog::kTitle}, user);
}

void RunResultsWindow(CDialog& dlg, const std::function<void(HWND)>& user) {
    RunWindow(dlg, {.title = L"Repair Problems"}, user);
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

bool WaitForOtherMessageBox(uidriver::MessageBoxInfo& box, HWND other) {
    return uidriver::WaitUntil([&] {
        for (HWND hwnd : uidriver::FindTopWindows({.className = L"#32770"}))
            if (hwnd != other && uidriver::ReadMessageBox(hwnd, box)) return true;
        return false;
    });
}

CError MakeError(int section, int n, int type) {
    CError e;
    e.ErrorType = type;
    e.Section = section;
    e.Title = L"Entry " + std::to_wstring(section) + L"-" + std::to_wstring(n);
    e.Reason = L"The file C:\\KwWin2\\missing" + std::to_wstring(n) + L".dll does not exist";
    e.FilePath = L"C:\\KwWin2\\Folder\\missing" + std::to_wstring(n) + L".dll";
    e.Item.RootKey = RootLocalMachine();
    e.Item.RootName = L"HKEY_LOCAL_MACHINE";
    e.Item.SubKey = L"Software\\KwWin2Results\\S" + std::to_wstring(section);
    e.Item.ValueName = L"V" + std::to_wstring(n);
    return e;
}

void SeedErrors(CBriskoEngine& engine, const std::vector<std::pair<int, int>>& perSection) {
    engine.GetErrorList().RemoveAll();
    engine.GetCounters().Reset();
    for (auto [section, count] : perSection) {
        for (int i = 0; i < count; ++i) engine.GetErrorList().Add(MakeError(section, i, i % 2));
        engine.GetCounters()[section].Found += count;
    }
}

void SelectSections(HWND main, const std::set<int>& wanted) {
    auto boxOn = [&](int s) {
        return SendMessageW(uidriver::FindControl(main, kwui::kSectionCheckIds[s]), BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    for (int s = 0; s < 12; ++s)
        if (boxOn(s) != (wanted.count(s) > 0)) uidriver::PostClick(uidriver::FindControl(main, kwui::kSectionCheckIds[s]));
    EXPECT_TRUE(uidriver::WaitUntil([&] {
        for (int s = 0; s < 12; ++s)
            if (boxOn(s) != (wanted.count(s) > 0)) return false;
        return true;
    }));
}

HWND WaitForResults() {
    return uidriver::WaitForTopWindow({.title = L"Repair Problems", .processId = GetCurrentProcessId()});
}

HWND ScanToResults(HWND main, const std::set<int>& sections) {
    SelectSections(main, sections);
    uidriver::PostClick(uidriver::FindControl(main, IDC_SCAN_NOW));
    ExpectMessageBox(L"The scan completed successfully.");
    return WaitForResults();
}

HWND PressRepair(HWND results) {
    uidriver::PostClick(uidriver::FindControl(results, IDC_REPAIR_PROBLEMS));
    return uidriver::WaitForTopWindow({.title = L"Repairing Errors", .processId = GetCurrentProcessId()});
}

int CountFiles(const std::wstring& folder, const wchar_t* extension) {
    int n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), ec))
        if (entry.path().extension() == extension) ++n;
    return n;
}

std::wstring ReadUtf16(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return L"<missing>";
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string raw = bytes.str();
    std::wstring text;
    for (size_t i = 0; i + 1 < raw.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(raw[i]) | (static_cast<unsigned char>(raw[i + 1]) << 8));
    return text;
}

HWND ChildDialog(HWND parent) { return FindWindowExW(parent, nullptr, L"#32770", nullptr); }

}  // namespace kwtest
