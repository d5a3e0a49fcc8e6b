// CCtrlButton and CBitmapButtonEx: the owner-drawn bitmap buttons of the windows.
//
// CCtrlButton is the common base: a tab stop whose Tab and Shift+Tab move the
// focus through the dialog, and which swallows character messages.
//
// CBitmapButtonEx draws one of four bitmaps stretched over itself, with a
// colour key for TransparentBlt, and then its caption. The bitmap is chosen as
//   pressed   while pushed, when there is a pressed bitmap; otherwise
//   hover     while the pointer is over the button, when there is one; otherwise
//   disabled  while disabled, when there is one (caption in COLOR_GRAYTEXT); otherwise
//   normal.
// While the pointer is over the button its caption is underlined, with or
// without a hover bitmap. The template control must have BS_OWNERDRAW.
//
//   m_stop.SubclassDlgItem(IDC_STOP, this);
//   m_stop.LoadBitmaps(RGB(255, 0, 0), IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL);
//   m_stop.SizeToBitmap();
//   m_stop.MoveWindow(415, 398, 81, 21);
//   m_stop.SetCaptionFont(8, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
//   m_stop.SetCaption(L"Stop Scan");            // also the window text
//   m_stop.SetCaptionRect({0, 0, 81, 21});
//
// Accessibility: the caption is always the button's window text as well (a
// SetWindowText on a captioned button changes the caption). A button whose
// text is part of its bitmap has no caption; its window text (from the
// template) names it.
#pragma once

#include "klarwin/ui/control_base.h"

#include <string>

class CCtrlButton : public CButton {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void PreSubclassWindow() override;
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
};

class CBitmapButtonEx : public CCtrlButton {
public:
    CBitmapButtonEx();
    ~CBitmapButtonEx() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    static constexpr UINT_PTR kHoverTimer = 99;
    static constexpr UINT kHoverIntervalMs = 100;

    // The bitmaps (0: none) and the colour key. False when the normal bitmap
    // is missing; a missing optional bitmap counts as not given.
    bool LoadBitmaps(COLORREF transparent, UINT normal, UINT pressed = 0, UINT hover = 0, UINT disabled = 0);
    // Resizes the button to its normal bitmap.
    void SizeToBitmap();

    // Caption font "Arial" of `points` (weight 400) and the DrawText flags.
    void SetCaptionFont(int points, UINT drawTextFlags);
    void SetCaption(std::wstring_view text);
    const std::wstring& GetCaption() const { return m_strCaption; }
    bool HasCaption() const { return m_bHasCaption; }
    void SetCaptionRect(const RECT& rect);
    void SetCaptionColor(COLORREF colour);
    COLORREF GetTransparentColor() const { return m_crTransparent; }
    bool IsHovering() const { return m_bHover; }

protected:
    virtual void DrawItem(const DRAWITEMSTRUCT& dis);
    LRESULT OnDrawItemReflect(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnEnable(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

private:
    HBITMAP ChooseBitmap(bool selected, bool disabled, bool& grayCaption) const;

    CBitmap m_normal, m_pressed, m_hover, m_disabled;
    COLORREF m_crTransparent = RGB(255, 0, 0);
    COLORREF m_crCaption = RGB(255, 255, 255);
    CFont m_font, m_fontUnderline;
    UINT m_nDrawFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    std::wstring m_strCaption;
    bool m_bHasCaption = false;
    bool m_bCaptionRectSet = false;
    RECT m_rcCaption = {};
    bool m_bHover = false;
    bool m_bSettingCaption = false;
};
