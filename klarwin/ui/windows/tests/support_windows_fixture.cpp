#include "support_windows_fixture.h"

#include "klarwin/online/online_config.h"
#include "online_test_support.h"
#include "windows_test_support.h"

#include <cctype>
#include <cwchar>
#include <filesystem>
#include <fstream>

namespace kwsupport {

namespace {

constexpr wchar_t kSettingsKeyPath[] = L"Software\\Klarwin";

}  // namespace

std::optional<DWORD> ReadLogId() {
    DWORD data = 0, size = sizeof(data);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, L"LogID", RRF_RT_REG_DWORD, nullptr, &data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

void SetLogId(std::optional<DWORD> id) {
    if (!id) {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, L"LogID");
        return;
    }
    const DWORD data = *id;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, L"LogID", REG_DWORD, &data, sizeof data);
}

std::wstring UrlEncode(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    std::wstring out;
    for (unsigned char c : utf8) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            wchar_t hex[4];
            swprintf(hex, 4, L"%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::wstring Widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void SetEditText(HWND dialog, int id, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(uidriver::FindControl(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

void ExpectBox(const std::wstring& title, const std::wstring& text) {
    uidriver::MessageBoxInfo box;
    ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, title, 30000))
        << "no message box for: " << std::string(text.begin(), text.end());
    EXPECT_EQ(box.text, text);
    EXPECT_TRUE(uidriver::AnswerMessageBox(box.hwnd, IDOK));
    uidriver::WaitForWindowGone(box.hwnd);
}

std::wstring WriteRunningProgram(const std::wstring& folder) {
    const std::wstring program = folder + L"\\Klarwin.exe";
    std::ofstream(std::filesystem::path(program), std::ios::binary) << "the running program";
    return program;
}

void SupportWindowsTest::SetUp() {
    updatePort = UseLoopbackUpdateServer();
    logPort = UseLoopbackLogServer();
    ASSERT_NE(updatePort, 0);
    ASSERT_NE(logPort, 0);
    ASSERT_EQ(HttpGet(logPort, L"/control"), "ok");
    ASSERT_EQ(HttpGet(updatePort, L"/control"), "ok");
    folder = TempFolder(L"kwsupport-test");
    program = WriteRunningProgram(folder);
    options = kwtest::TestEngineOptions();
    engine = std::make_unique<CBriskoEngine>(options);
}

void SupportWindowsTest::UseOnlineServices(HWND mainWnd) {
    auto services = std::make_unique<COnlineServices>(mainWnd, program, L"3.0.5");
    online = services.get();
    engine->SetOnlineServices(std::move(services));
}

void SupportWindowsTest::TearDown() {
    engine.reset();
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder), ec);
    SetUpdateServer({});
    SetLogServer({});
}

}  // namespace kwsupport
