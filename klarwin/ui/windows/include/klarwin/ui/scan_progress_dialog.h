// CScanProgressDialog: the modal window shown while a registry scan runs. The
// main window sets the twelve section flags and runs it; the window starts
// the scan itself, shows per-section activity and error counts, the item
// being checked and the overall progress (a section that could not be
// checked says so in its row), and closes when the scan completes or the user
// stops it, or at once when the scan could not be started. Everything it shows arrives as the scan thread's
// messages, re-posted to it unchanged by the main window.
#pragma once

#include "fw/singleton.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/color_static.h"
#include "klarwin/ui/picture_box.h"

#include <string>

class CScanProgressDialog : public CBitmapDialog, public CSingleton<CScanProgressDialog> {
public:
    CScanProgressDialog();
    ~CScanProgressDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // The item text as the window shows it: 70 characters and ".." when longer.
    static std::wstring ShortenItemText(const std::wstring& text);
    // The bar position after section `index` has ended.
    static int ProgressAfterSection(int index);

    bool m_bSections[12] = {};
    int m_nSectionErrors = 0;
    // Whether the engine started the scan (set when the window opens).
    bool m_bScanStarted = false;
    // Whether the scan ran to its end (not stopped by the user).
    bool m_bScanCompleted = false;

protected:
    LRESULT OnSectionStart(WPARAM wParam, LPARAM lParam);
    LRESULT OnErrorFound(WPARAM wParam, LPARAM lParam);
    LRESULT OnProgressText(WPARAM wParam, LPARAM lParam);
    LRESULT OnSectionEnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnSectionSkipped(WPARAM wParam, LPARAM lParam);
    LRESULT OnScanComplete(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    void OnStopScan();

private:
    // Stops and deletes the engine's scan thread; true when there was one.
    bool StopScan();
    void ShowInterrupted();

    CXColorStatic m_title, m_note, m_item;
    CXColorStatic m_counts[12], m_names[12];
    CBitmapButtonEx m_stop;
    CPictureBoxEx m_loading;
};
