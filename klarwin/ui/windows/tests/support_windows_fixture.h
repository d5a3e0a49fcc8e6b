// What the support windows' tests share: the engine the windows reach with
// the online services pointed at the loopback servers (SupportWindowsTest),
// the Run value and the stored log of the prefix's registry, and the
// entries, message boxes and texts a test reads and writes.
#pragma once

#include "klarwin/brisko_engine.h"
#include "fw/win/dialog.h"
#include "klarwin/online/online_services.h"
#include "ui_driver.h"
#include "windows_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kwsupport {

using kwtest::DeleteRunValue;
using kwtest::RunValue;
using kwtest::RunWindow;
using kwtest::WaitTop;

// The stored log's "LogID" under Klarwin's settings; nullopt when missing.
std::optional<DWORD> ReadLogId();
// Writes it, or deletes it for nullopt.
void SetLogId(std::optional<DWORD> id);

// Percent-encodes a query value (UTF-8).
std::wstring UrlEncode(const std::wstring& text);
// UTF-8 to UTF-16.
std::wstring Widen(const std::string& text);
// A folder of that name under %TEMP%, made when missing.
std::wstring TempFolder(const wchar_t* name);

// Sets the text of an entry of the dialog.
void SetEditText(HWND dialog, int id, const std::wstring& text);
// Waits for a message box, checks its title and text, and presses OK.
void ExpectBox(const std::wstring& title, const std::wstring& text);

// Klarwin.exe in `folder`, a few bytes standing in for the running program;
// its path.
std::wstring WriteRunningProgram(const std::wstring& folder);

// The engine the windows reach, with the online services pointed at the
// loopback servers; the services' threads post to `mainWnd`.
class SupportWindowsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void UseOnlineServices(HWND mainWnd);
    void TearDown() override;

    unsigned short updatePort = 0, logPort = 0;
    std::wstring folder, program;
    COnlineServices* online = nullptr;
    EngineOptions options;
    std::unique_ptr<CBriskoEngine> engine;
};

}  // namespace kwsupport
