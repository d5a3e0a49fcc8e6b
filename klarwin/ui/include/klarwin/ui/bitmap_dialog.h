// CBitmapDialog: the base of every Klarwin window. A dialog from a template,
// painted with a background bitmap copied 1:1 to the client area from its top
// left corner, with transparent static backgrounds and, when asked, draggable
// by any point of its surface. The window keeps the frame its template gives.
//
//   class CMyDlg : public CBitmapDialog { ... };
//   BOOL CMyDlg::OnInitDialog() {
//       CBitmapDialog::OnInitDialog();
//       SetBitmap(IDB_DIALOG_LARGE);
//       m_bDragEnabled = true;
//       ...
//   }
#pragma once

#include "fw/win/dialog.h"
#include "fw/win/gdi.h"

class CBitmapDialog : public CDialog {
public:
    explicit CBitmapDialog(UINT templateId, CWnd* parent = nullptr);
    ~CBitmapDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Loads the background bitmap from the resources, replacing the previous
    // one. Returns 1 on success; 0 when it cannot be loaded, which leaves the
    // window without a background bitmap (default erasing).
    int SetBitmap(UINT bitmapId);
    bool HasBitmap() const { return static_cast<bool>(m_background); }
    // The size of the background bitmap ({0, 0} without one).
    SIZE GetBitmapSize() const;

    // Static controls get a transparent background and a hollow brush (on
    // from construction).
    bool m_bTransparentStatics = true;
    // A left button press anywhere on the surface moves the window (off from
    // construction; the windows turn it on).
    bool m_bDragEnabled = false;

protected:
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnCtlColorStatic(WPARAM wParam, LPARAM lParam);

private:
    CBitmap m_background;
};
