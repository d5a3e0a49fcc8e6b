// What the window tests share: Klarwin's settings in the registry, a window
// that takes the scan thread's messages and drops them (freeing their
// strings), engine options with a private data folder, and running a modal
// window on the test's thread while a "user" thread drives it.
#pragma once

#include "fw/win/dialog.h"
#include "klarwin/brisko_engine.h"
#include "ui_driver.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kwtest {

// A setting under HKEY_LOCAL_MACHINE\Software\Klarwin; nullopt when missing.
std::optional<std::wstring> ReadSetting(const wchar_t* name);
// Writes it, or deletes it for nullopt.
void SetSetting(const wchar_t* name, const std::optional<std::wstring>& value);

// The four settings a first start writes, as a later start finds them
// (start-up scan off; the Run value untouched).
void KnownSettings();

// Engine options for a test: a fresh data folder under %TEMP%, no pauses
// unless asked.
EngineOptions TestEngineOptions(double pacing = 0.0);

// A message-only window of the calling thread, of the class `className`
// (registered here) with `proc`; `self` is kept in its user data.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC proc, void* self);

// A hidden window of the calling thread that swallows whatever is posted to it.
class CMessageSink {
public:
    CMessageSink();
    ~CMessageSink();
    HWND Handle() const { return m_hwnd; }
    int StringsFreed() const { return m_freed; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_hwnd = nullptr;
    int m_freed = 0;
};

// Runs `modal` (which shows a modal window) on this thread while `user` runs
// on another; joins the user thread afterwards.
void RunWithUser(const std::function<void()>& modal, const std::function<void()>& user);

// A top window of this process with that title (null on time-out).
HWND WaitTop(const std::wstring& title);

// Klarwin's Run value under HKEY_LOCAL_MACHINE; nullopt when missing.
std::optional<std::wstring> RunValue();
void DeleteRunValue();

// The opening of a window scenario: shows `dlg` modally on this thread while
// `user` drives, from another thread, its window of this process that `query`
// finds (the test fails when it does not come up); the dialog's result.
INT_PTR RunWindow(CDialog& dlg, uidriver::WindowQuery query, const std::function<void(HWND)>& user);
// RunWindow for Klarwin's main window and for the results window.
void RunMainWindow(CDialog& dlg, const std::function<void(HWND)>& user);
void RunResultsWindow(CDialog& dlg, const std::function<void(HWND)>& user);

// Waits for a message box of this process, checks its text and presses the button.
void ExpectMessageBox(const std::wstring& text, int button = IDOK);

// The bar position of a progress control, or -1.
int ProgressPosition(HWND bar);

// Waits for a message box of this process other than `other` (one shown over
// another), reads it and leaves it open.
bool WaitForOtherMessageBox(uidriver::MessageBoxInfo& box, HWND other);

// ---------------------------------------------------------------------------
// The openings the results scenarios share.

// How many files of that extension (".dat") the folder holds.
int CountFiles(const std::wstring& folder, const wchar_t* extension);
// The text of a file of UTF-16 units, little-endian ("<missing>" when it
// cannot be read).
std::wstring ReadUtf16(const std::wstring& path);
// The first child dialog of `parent` (the list of a results window).
HWND ChildDialog(HWND parent);

// Error n of a section (type 1 a value, 0 a file) under a key no scan walks.
CError MakeError(int section, int n, int type = 1);
// Replaces the engine's list by `perSection[s]` errors of each section s,
// counted as found.
void SeedErrors(CBriskoEngine& engine, const std::vector<std::pair<int, int>>& perSection);
// Checks exactly the given sections' boxes in the main window (clicking as a
// user does) and waits until it shows them.
void SelectSections(HWND main, const std::set<int>& wanted);
// The results window of this process once it is up (null on time-out).
HWND WaitForResults();
// Scans the given sections from the main window, answers the message that
// the scan completed and returns the results window once it is up (null on
// time-out).
HWND ScanToResults(HWND main, const std::set<int>& sections);
// Presses "Repair Problems" in the results window and returns the repair
// window once it is up (null on time-out).
HWND PressRepair(HWND results);

}  // namespace kwtest
