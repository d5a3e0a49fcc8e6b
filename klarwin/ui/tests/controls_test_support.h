// What the control tests share: a host dialog whose set-up is a function and
// which records what its controls tell it, a way to run a modal dialog on the
// test's thread while a "user" drives it from another, a way to run code on
// the dialog's thread, and pixels of bitmap resources.
#pragma once

#include "klarwin/ui/bitmap_dialog.h"
#include "ui_driver.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CHostDialog : public CBitmapDialog {
public:
    explicit CHostDialog(UINT templateId) : CBitmapDialog(templateId) {}

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Runs in OnInitDialog, after the base.
    std::function<void(CHostDialog&)> onInit;

    // What the controls told the dialog (read them from any thread).
    std::vector<std::pair<int, int>> Commands() const;  // (id, notification code)
    std::vector<WPARAM> StateClicks() const;            // WM_ITEM_STATE_CLICKED
    int NotifyClicks() const { return m_notifyClicks.load(); }

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // The message by which RunOnUi hands a function to the dialog's thread.
    static constexpr UINT kRunMessage = WM_APP + 0x177;

protected:
    LRESULT OnRun(WPARAM wParam, LPARAM lParam);
    LRESULT OnStateClick(WPARAM wParam, LPARAM lParam);

private:
    mutable std::mutex m_lock;
    std::vector<std::pair<int, int>> m_commands;
    std::vector<WPARAM> m_stateClicks;
    std::atomic<int> m_notifyClicks{0};
};

// Runs `fn` on the thread of the dialog `hwnd` (a CHostDialog) and waits for it.
void RunOnUi(HWND hwnd, const std::function<void()>& fn);

// Runs the dialog modally on this thread; `user` gets its window (found by
// its title) on another thread. Once `user` returns the dialog is cancelled,
// whatever happened. Returns DoModal's result.
INT_PTR RunWithUser(CDialog& dialog, const std::wstring& title, const std::function<void(HWND)>& user);

// A pixel of a bitmap resource of the test program; CLR_INVALID when missing.
COLORREF ResourcePixel(UINT bitmapId, int x, int y);
SIZE ResourceBitmapSize(UINT bitmapId);

// Waits until the window has painted what it has to (its message queue ran
// dry once).
void SettlePainting(HWND hwnd);
