// CStartingDlg: the splash window shown while the main frame is built. A
// borderless per-pixel-alpha window: the picture resource 365 (type "IMG",
// read through GDI+) fills it, and the status text of the current stage is
// drawn over it at (47, 265) in black, in the dialog font's face and height.
#pragma once

#include "fw/win/dialog.h"

#include <memory>
#include <string>

class CStartingDlg : public CDialog {
public:
    static constexpr int kTextX = 47;
    static constexpr int kTextY = 265;

    CStartingDlg();
    ~CStartingDlg() override;
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Creates the window (hidden) from template 202; false when it cannot.
    bool CreateSplash(CWnd* parent = nullptr);
    BOOL OnInitDialog() override;

    // Replaces the status text and redraws.
    void SetStatus(const std::wstring& text);
    const std::wstring& Status() const { return m_status; }
    // Whether the picture resource could be read.
    bool HasPicture() const;

private:
    void Redraw();
    struct Gdi;
    std::unique_ptr<Gdi> m_gdi;
    std::wstring m_status;
};
