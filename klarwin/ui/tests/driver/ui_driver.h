// A small driver for tests of real windows under the virtual display: it finds
// windows and controls, reads what they show, acts on them the way a user or a
// screen reader would, and answers message boxes. Everything works on windows
// of this process (on another thread) and of other processes alike.
//
// The usual shape of a test of a modal window of this process:
//
//   CMyDialog dlg;
//   std::thread user([&] {
//       HWND wnd = uidriver::WaitForTopWindow({.title = L"Scan in Progress"});
//       EXPECT_EQ(uidriver::GetControlText(wnd, IDC_TITLE), L"REGISTRY SCAN");
//       uidriver::PostClick(uidriver::FindControl(wnd, IDC_STOP));
//       uidriver::MessageBoxInfo box;
//       ASSERT_TRUE(uidriver::WaitForMessageBox(box));
//       EXPECT_EQ(box.text, L"The scanning process has been interrupted by the user.");
//       uidriver::AnswerMessageBox(box.hwnd, IDOK);
//   });
//   dlg.DoModal();          // the window runs on the test's thread
//   user.join();
//
// and of another program: uidriver::CProcess runs it, the same calls drive
// its windows (with .processId set in the queries).
//
// Actions are posted, never sent, so that a click that opens a modal window
// or a message box does not block the driver. Reads use SendMessageTimeout,
// so a hung window gives an empty answer instead of a hung test.
//
// Shared things of the virtual display: the pointer (SetCursorPos, real input)
// is one for all windows, so tests that move it or hover take the CTest lock
// klarwin_screen_pointer (km_add_test ... LOCK klarwin_screen_pointer). Real
// input and the colours of another program's windows come from the screen, so
// such a window is made topmost first (SetWindowPos HWND_TOPMOST) when other
// tests may show windows at the same time.
#pragma once

#include <windows.h>

#include "fw/testing/screenshot.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace uidriver {

constexpr DWORD kDefaultTimeoutMs = 10000;

// Polls `condition` every `pollMs` until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kDefaultTimeoutMs, DWORD pollMs = 20);

// ---------------------------------------------------------------------------
// Finding windows
// ---------------------------------------------------------------------------

// What a top-level window must match; empty or zero fields match anything.
// Tests run side by side: a query looks among the windows of one process only,
// this one unless another is named (a child the test started). kAnyProcess is
// for a program whose process the test cannot know; it must then be told apart
// by more than its title (see ProcessImage).
constexpr DWORD kAnyProcess = 0xFFFFFFFF;

struct WindowQuery {
    std::wstring title;      // the exact window text
    std::wstring className;  // the exact class name, e.g. L"#32770" for dialogs and message boxes
    DWORD processId = 0;     // the process that owns the window (0: this one; kAnyProcess)
    HWND owner = nullptr;    // the owner window (GW_OWNER)
    bool visibleOnly = true;
};

std::vector<HWND> FindTopWindows(const WindowQuery& query);
HWND FindTopWindow(const WindowQuery& query);
// The full path of the program that owns the window; empty when unknown.
std::wstring ProcessImage(HWND hwnd);
HWND WaitForTopWindow(const WindowQuery& query, DWORD timeoutMs = kDefaultTimeoutMs);
// True once the window no longer exists (or is hidden, with hiddenCounts).
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kDefaultTimeoutMs, bool hiddenCounts = false);

// A control by its id: a direct child first, then any descendant (controls of
// child dialogs). Null when there is none.
HWND FindControl(HWND parent, int id);

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

std::wstring GetText(HWND hwnd);
std::wstring GetControlText(HWND parent, int id);
std::wstring GetClass(HWND hwnd);
// BM_GETCHECK: BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE; -1 when the
// control does not answer.
int GetCheck(HWND control);
bool IsVisible(HWND hwnd);  // the window and all its parents are visible
bool IsEnabled(HWND hwnd);
DWORD GetStyle(HWND hwnd);
DWORD GetExStyle(HWND hwnd);

// The window rectangle on the screen, the client area on the screen, and a
// control's place in its parent's client area (what MoveWindow was given).
RECT GetScreenRect(HWND hwnd);
RECT GetClientScreenRect(HWND hwnd);
RECT GetRectInParent(HWND control);
SIZE GetClientSize(HWND hwnd);

// ---------------------------------------------------------------------------
// Colours and screenshots
// ---------------------------------------------------------------------------

// What the window shows now, frame included: a window of this process as it
// has drawn itself, one of another process as the screen shows it (so it
// must not be covered).
bool Capture(HWND hwnd, fw::testing::Image& image);
// One pixel of the client area (client coordinates of `hwnd`); CLR_INVALID
// when it cannot be read.
COLORREF GetPixel(HWND hwnd, POINT clientPoint);
// Pixels of a client rectangle, top row first, as COLORREFs.
bool GetPixels(HWND hwnd, const RECT& clientRect, std::vector<COLORREF>& pixels);
// How many pixels of a client rectangle are (within `tolerance` per channel)
// of the colour.
int CountPixels(HWND hwnd, const RECT& clientRect, COLORREF colour, int tolerance = 0);
bool ColoursClose(COLORREF a, COLORREF b, int tolerance);
// <build folder>/screenshots/<name>.png of the window (as Capture sees it);
// the path written, or an empty path on failure.
std::filesystem::path SaveScreenshot(HWND hwnd, const std::wstring& name);

// ---------------------------------------------------------------------------
// Acting
// ---------------------------------------------------------------------------

// A click on a button as BM_CLICK (posted).
bool PostClick(HWND button);
// The notification a button sends when clicked, posted to its parent.
bool PostCommand(HWND dialog, int id, int code = BN_CLICKED);
// Mouse messages (posted) to a point of the window's client area: a move,
// then a press and a release of the left button.
bool PostMouseClick(HWND hwnd, POINT clientPoint);
bool PostMouseMove(HWND hwnd, POINT clientPoint);
// A key pressed and released (posted to the window with the focus, or `hwnd`).
bool PostKey(HWND hwnd, UINT virtualKey);
// Real input through the system (SendInput), as from the mouse: the pointer
// moves to `from`, the left button goes down, the pointer moves to `to` in a
// few steps and the button goes up. Screen coordinates.
bool RealMouseDrag(POINT from, POINT to);
bool RealMouseMove(POINT to);
// Closes a window as its close box does (posted WM_SYSCOMMAND SC_CLOSE).
bool PostClose(HWND hwnd);

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

struct MessageBoxInfo {
    HWND hwnd = nullptr;
    std::wstring title;
    std::wstring text;
    std::vector<int> buttons;  // ids of the buttons: IDOK, IDCANCEL, IDYES, IDNO ...
};

// Reads a window as a message box; false when it is not one (a dialog with
// a message text and at least one of the standard buttons).
bool ReadMessageBox(HWND hwnd, MessageBoxInfo& info);
// Waits for a visible message box of the process (0: this process) whose
// title is `title` (empty: any).
bool WaitForMessageBox(MessageBoxInfo& info, DWORD processId = 0, const std::wstring& title = L"",
                       DWORD timeoutMs = kDefaultTimeoutMs);
// Presses one of its buttons (IDOK, IDYES, ...); false when it has no such button.
bool AnswerMessageBox(HWND box, int buttonId);

// ---------------------------------------------------------------------------
// Programs
// ---------------------------------------------------------------------------

// A program started for a test, ended (terminated) when the object goes if it
// still runs.
class CProcess {
public:
    CProcess() = default;
    ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // Starts `program` with the arguments (appended after a blank, as given).
    bool Start(const std::filesystem::path& program, const std::wstring& arguments = L"");
    DWORD Id() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    // True when the program ended within the time; its exit code then.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool IsRunning() const;
    void Terminate();

private:
    PROCESS_INFORMATION m_pi = {};
};

// The folder of the running test program (where the build puts the programs
// and files the tests need).
std::filesystem::path TestProgramFolder();

}  // namespace uidriver
