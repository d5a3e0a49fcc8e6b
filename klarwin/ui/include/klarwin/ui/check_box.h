// CCheckBox: an owner-drawn check box with its own images for unchecked and
// checked, each normal, hot (pointer over it) and pressed, and its caption
// (the window text) beside the image.
//
// The control keeps the checked state itself and answers BM_GETCHECK and
// BM_SETCHECK (any non-zero check counts as checked). A left click that is
// released inside toggles it, as does the space key (pressed look on key
// down, toggle on key up); each toggle redraws and tells the parent with
// BN_CLICKED. BM_CLICK toggles like a click. The template control must have
// BS_OWNERDRAW.
//
// Images: two strips of three cells each (normal, hot, pressed), one strip for
// unchecked and one for checked, from the resources; the cell size is the
// strip's height. Without images the system's check box is drawn.
#pragma once

#include "klarwin/ui/control_base.h"

class CCheckBox : public CButton {
public:
    CCheckBox();
    ~CCheckBox() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // The two image strips (unchecked, checked). False when either is missing.
    bool LoadImages(UINT uncheckedStrip, UINT checkedStrip);
    void SetCaptionColor(COLORREF colour);

    bool IsChecked() const { return m_bChecked; }
    bool IsHot() const { return m_bHot; }
    bool IsPressed() const { return m_bPressed; }

    // The cell drawn now: 0 normal, 1 hot, 2 pressed.
    int CurrentCell() const;

protected:
    void PreSubclassWindow() override;
    void Draw(HDC dc, const RECT& rc);
    void Toggle();

    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnDrawItemReflect(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetCheck(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCheck(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetState(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnClick(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnFocus(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnEnable(WPARAM wParam, LPARAM lParam);

private:
    bool PointInside(LPARAM lParam) const;
    void Redraw();

    CBitmap m_unchecked, m_checked;
    COLORREF m_crCaption = RGB(0, 0, 0);
    bool m_bChecked = false;
    bool m_bHot = false;        // the pointer is over the control
    bool m_bPressed = false;    // a press (mouse or space) is under way
    bool m_bMouseDown = false;  // the press is the mouse's (the control has the capture)
    bool m_bTracking = false;   // TrackMouseEvent asked for WM_MOUSELEAVE
};
