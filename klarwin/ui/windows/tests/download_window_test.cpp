// The download window following a real download from the loopback update
// server, its abort and its texts; the whole update from the main window's
// "Update" button. A screenshot of the download window.
#include "klarwin/online/online_config.h"
#include "klarwin/ui/scan_dialog.h"
#include "klarwin/ui/support_dialogs.h"
#include "klarwin/ui/window_messages.h"
#include "online_test_support.h"
#include "resource.h"
#include "support_windows_fixture.h"
#include "windows_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace kwsupport;

TEST(KwSupportDownloadTexts, SpeedElapsedTimeAndSize) {
    DownloadProgressTexts t = FormatDownloadProgress(300 * 1024, 1000);
    EXPECT_EQ(t.kilobytes, 300);
    EXPECT_EQ(t.downloaded, L"300 KB");
    EXPECT_EQ(t.speed, L"300.0 KB per sec");
    EXPECT_EQ(t.elapsed, L"0 mins 1 secs");
    // Rounded to the nearest second.
    t = FormatDownloadProgress(300 * 1024 + 1023, 1499);
    EXPECT_EQ(t.kilobytes, 300);
    EXPECT_EQ(t.speed, L"300.0 KB per sec");
    t = FormatDownloadProgress(1024 * 1024, 125500);
    EXPECT_EQ(t.speed, L"8.1 KB per sec");  // 1024 KB in 126 s
    EXPECT_EQ(t.elapsed, L"2 mins 6 secs");
    // Before the first whole second: the time that really passed, never a division by zero.
    t = FormatDownloadProgress(10 * 1024, 250);
    EXPECT_EQ(t.speed, L"40.0 KB per sec");
    EXPECT_EQ(t.elapsed, L"0 mins 0 secs");
    t = FormatDownloadProgress(10 * 1024, 0);
    EXPECT_EQ(t.speed, L"Initializing..");
    EXPECT_EQ(t.elapsed, L"0 mins 0 secs");
}

namespace {

// Stands in for the main window: takes what the download thread posts and
// re-posts the download messages to the open download window.
class CRelay {
public:
    CRelay() : m_hwnd(kwtest::CreateMessageWindow(L"KwSupportRelay", &CRelay::Proc, this)) {}
    ~CRelay() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    std::atomic<int> installed{0}, failed{0}, progress{0};
    // Pumps this thread's messages until `condition` holds.
    bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        while (!condition()) {
            if (GetTickCount64() > end) return false;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(10);
        }
        return true;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CRelay*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            if (message == WM_DOWNLOAD_START || message == WM_DOWNLOAD_PROGRESS || message == WM_DOWNLOAD_COMPLETE) {
                if (message == WM_DOWNLOAD_PROGRESS) ++self->progress;
                CDownloadDialog* dlg = CDownloadDialog::GetInstance();
                if (dlg && dlg->m_hWnd && IsWindow(dlg->m_hWnd)) PostMessageW(dlg->m_hWnd, message, wParam, lParam);
                return 1;
            }
            if (message == WM_UPDATE_INSTALLED) ++self->installed;
            if (message == WM_UPDATE_FAILED) {
                ++self->failed;
                // As the main window does: an open download window tells the user.
                CDownloadDialog* dlg = CDownloadDialog::GetInstance();
                if (dlg && dlg->m_hWnd && IsWindow(dlg->m_hWnd)) SendMessageW(dlg->m_hWnd, message, wParam, lParam);
                return 1;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};

std::uintmax_t FileSize(const std::wstring& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::path(path), ec);
    return ec ? 0 : size;
}

}  // namespace

class KwSupportDownload : public SupportWindowsTest {
protected:
    void SetUp() override {
        SupportWindowsTest::SetUp();
        UseOnlineServices(relay.Handle());
    }
    void TearDown() override {
        SupportWindowsTest::TearDown();  // joins the download thread
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CRelay relay;
};

// The stand-in for a new Klarwin that the update server sends, and its size.
std::wstring MarkerUnixPath() { return Widen(KWONLINE_MARKER_UNIX_PATH); }
std::uintmax_t MarkerSize() { return FileSize(L"Z:" + MarkerUnixPath()); }

TEST_F(KwSupportDownload, FollowsARealDownloadToItsEnd) {
    // A new program (some hundred KB) in blocks of 4096, 50 ms apart.
    const std::uintmax_t size = MarkerSize();
    ASSERT_GT(size, 100u * 1024);
    ASSERT_EQ(HttpGet(updatePort, L"/control?exe_file=" + MarkerUnixPath()), "ok");
    CDownloadDialog dlg;
    ASSERT_TRUE(engine->StartUpdateDownload());
    INT_PTR result = 0;
    std::wstring sizeText;
    result = RunWindow(dlg, {.className = L"#32770"}, [&](HWND wnd) {
        const RECT frame = uidriver::GetScreenRect(wnd);
        EXPECT_EQ(frame.right - frame.left, 450);
        EXPECT_EQ(frame.bottom - frame.top, 393);
        EXPECT_EQ(uidriver::GetStyle(wnd) & (WS_CAPTION | WS_BORDER), 0u);
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"DOWNLOADING");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDABORT), L"Abort");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED_LABEL), L"Download Speed:");
        // Part way: the size is known and a good part has arrived.
        HWND bar = uidriver::FindControl(wnd, IDC_PROGRESS);
        EXPECT_TRUE(
            uidriver::WaitUntil([&] { return kwtest::ProgressPosition(bar) >= 60; }, 30000));
        sizeText = uidriver::GetControlText(wnd, IDC_DL_SIZE);
        EXPECT_FALSE(uidriver::SaveScreenshot(wnd, L"klarwin_download").empty());
        // The window ends by itself when the download is complete.
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd, 60000));
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(sizeText, std::to_wstring(size / 1024) + L" KB");
    EXPECT_GT(relay.progress.load(), 1);
    EXPECT_TRUE(relay.PumpUntil([&] { return relay.installed.load() == 1; }, 30000));
    EXPECT_EQ(relay.failed.load(), 0);
    EXPECT_EQ(FileSize(program), size);
}

TEST_F(KwSupportDownload, AbortStopsTheDownloadAndKeepsTheProgram) {
    // The server sends the first block, then holds the connection without a word.
    ASSERT_EQ(HttpGet(updatePort, L"/control?exe_size=2000000&hold=exe"), "ok");
    const std::uintmax_t before = FileSize(program);
    CDownloadDialog dlg;
    ASSERT_TRUE(engine->StartUpdateDownload());
    INT_PTR result = RunWindow(dlg, {.className = L"#32770"}, [&](HWND wnd) {
        ASSERT_TRUE(uidriver::WaitUntil([&] {
            return uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED) == L"4 KB";
        }, 20000));
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SIZE), L"1953 KB");
        uidriver::PostClick(uidriver::FindControl(wnd, IDABORT));
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd, 20000));
    });
    EXPECT_EQ(result, IDCANCEL);
    // The thread ended within the abort's wait of a second (else it would be
    // set aside): nothing more arrives, the program file is as it was.
    EXPECT_EQ(online->GetThreadsSetAside(), 0u);
    relay.PumpUntil([] { return false; }, 1000);
    EXPECT_EQ(relay.installed.load(), 0);
    EXPECT_EQ(relay.failed.load(), 0);
    EXPECT_EQ(FileSize(program), before);

    // Without the size file the window is told, tells the user and closes.
    ASSERT_EQ(HttpGet(updatePort, L"/control?nolength=appsize"), "ok");
    ASSERT_TRUE(engine->StartUpdateDownload());
    kwtest::RunWithUser([&] { result = dlg.DoModal(); },
                        [&] {
                            ExpectBox(L"Klarwin",
                                      L"The new version was not downloaded successfully. You need to download it again");
                        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(relay.failed.load(), 1);
    EXPECT_EQ(FileSize(program), before);
}

TEST_F(KwSupportDownload, ProgressTextsFollowTheClock) {
    // The messages as the main window re-posts them, with a clock the test sets.
    std::atomic<unsigned long long> now{5000};
    CDownloadDialog dlg;
    dlg.m_clock = [&] { return now.load(); };
    RunWindow(dlg, {.className = L"#32770"}, [&](HWND wnd) {
        HWND bar = uidriver::FindControl(wnd, IDC_PROGRESS);
        PostMessageW(wnd, WM_DOWNLOAD_START, 1000 * 1024, 0);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(wnd, IDC_DL_SIZE) == L"1000 KB"; }));
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"Initializing..");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_ELAPSED), L"0 mins 0 secs");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED), L"0 KB");
        EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);
        // At once: no whole second yet.
        PostMessageW(wnd, WM_DOWNLOAD_PROGRESS, 4096, 0);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED) == L"4 KB"; }));
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"Initializing..");
        now = 6000;
        PostMessageW(wnd, WM_DOWNLOAD_PROGRESS, 300 * 1024, 0);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(wnd, IDC_DL_DOWNLOADED) == L"300 KB"; }));
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"300.0 KB per sec");
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_ELAPSED), L"0 mins 1 secs");
        EXPECT_EQ(kwtest::ProgressPosition(bar), 300);
        now = 5000 + 61000;
        PostMessageW(wnd, WM_DOWNLOAD_PROGRESS, 610 * 1024, 0);
        EXPECT_TRUE(uidriver::WaitUntil(
            [&] { return uidriver::GetControlText(wnd, IDC_DL_ELAPSED) == L"1 mins 1 secs"; }));
        EXPECT_EQ(uidriver::GetControlText(wnd, IDC_DL_SPEED), L"10.0 KB per sec");
        PostMessageW(wnd, WM_DOWNLOAD_COMPLETE, 0, 0);
        EXPECT_TRUE(uidriver::WaitForWindowGone(wnd));
    });
}

namespace {

// Stands in for the threads' view of the program: what they post reaches the
// main window that is open.
class CToMainWindow {
public:
    CToMainWindow() : m_hwnd(kwtest::CreateMessageWindow(L"KwSupportToMainWindow", &CToMainWindow::Proc, nullptr)) {}
    ~CToMainWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message >= WM_UPDATE_AVAILABLE && message <= WM_DOWNLOAD_PROGRESS) {
            CScanDialog* main = CScanDialog::GetInstance();
            if (main && main->m_hWnd) PostMessageW(main->m_hWnd, message, wParam, lParam);
            return 1;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};

}  // namespace

// The update from the main window's "Update" button: no update ("Not ready
// yet" and its message, once); then a download that is no program (discarded,
// the user told); then the question, the download window fed through the main
// window, the new program in place and the success message.
TEST(KwSupportUpdateFlow, UpdateButtonDownloadsThroughTheDownloadWindow) {
    const unsigned short updatePort = UseLoopbackUpdateServer();
    ASSERT_NE(updatePort, 0);
    ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.5"), "ok");
    kwtest::KnownSettings();
    const std::wstring folder = TempFolder(L"kwsupport-update");
    const std::wstring program = WriteRunningProgram(folder);

    CToMainWindow toMain;
    const EngineOptions options = kwtest::TestEngineOptions();
    {
        CScanDialog dlg(false, &options);
        dlg.m_endProcess = [](UINT) {};
        dlg.Engine().SetOnlineServices(std::make_unique<COnlineServices>(toMain.Handle(), program, L"3.0.5"));
        RunWindow(dlg, {.title = CScanDialog::kTitle}, [&](HWND wnd) {
            // The start-up check finds no other version and only says so.
            EXPECT_TRUE(uidriver::WaitUntil(
                [&] { return uidriver::GetControlText(wnd, IDC_UPDATE_STATUS) == L"Not ready yet"; }, 30000));
            uidriver::PostClick(uidriver::FindControl(wnd, IDC_CHECK_UPDATES));
            ExpectBox(L"Updates",
                      L"No updates available. The latest version of Klarwin is already installed on your PC.");
            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_UPDATE_STATUS), L"Not ready yet");

            uidriver::MessageBoxInfo box;
            const auto askAndAgree = [&] {
                uidriver::PostClick(uidriver::FindControl(wnd, IDC_CHECK_UPDATES));
                ASSERT_TRUE(uidriver::WaitForMessageBox(box, 0, L"Klarwin", 30000));
                EXPECT_EQ(box.text, L"A new version of Klarwin is available. Do you want to download it now?");
                uidriver::AnswerMessageBox(box.hwnd, IDYES);
                uidriver::WaitForWindowGone(box.hwnd);
            };
            // Bytes that are no program: downloaded, then discarded with a word.
            ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.6&exe_size=100000"), "ok");
            askAndAgree();
            ExpectBox(L"Klarwin", L"The downloaded file is not a new version of Klarwin and has been discarded. "
                                  L"Your Klarwin has not been changed.");
            EXPECT_EQ(uidriver::GetControlText(wnd, IDC_UPDATE_STATUS), L"Available");

            // A new program.
            ASSERT_EQ(HttpGet(updatePort, L"/control?version=3.0.6&exe_file=" + MarkerUnixPath()), "ok");
            askAndAgree();
            // The download window follows the download and ends by itself.
            HWND download = nullptr;
            EXPECT_TRUE(uidriver::WaitUntil([&] {
                download = nullptr;
                for (HWND top : uidriver::FindTopWindows({.className = L"#32770",
                                                            .processId = GetCurrentProcessId()}))
                    if (uidriver::GetControlText(top, IDC_TITLE) == L"DOWNLOADING") download = top;
                return download != nullptr;
            }, 30000));
            // The download window has a standard button too: the message box is told by its text.
            const std::wstring congratulations =
                L"Congratulations! You have successfully updated Klarwin 2011.\nThe program will be "
                L"automatically restarted. Please click OK to proceed.";
            EXPECT_TRUE(uidriver::WaitUntil([&] {
                for (HWND top : uidriver::FindTopWindows({.className = L"#32770",
                                                            .processId = GetCurrentProcessId()}))
                    if (uidriver::ReadMessageBox(top, box) && box.text == congratulations) return true;
                return false;
            }, 60000));
            uidriver::AnswerMessageBox(box.hwnd, IDOK);
            uidriver::WaitForWindowGone(box.hwnd);
            EXPECT_TRUE(uidriver::WaitForWindowGone(download));
            PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
            EXPECT_TRUE(uidriver::WaitForWindowGone(wnd, 30000));
        });
    }
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(program), ec), MarkerSize());
    std::filesystem::remove_all(std::filesystem::path(folder), ec);
    SetUpdateServer({});
}
