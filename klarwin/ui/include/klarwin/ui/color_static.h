// CXColorStatic: a static text (or icon) in its own colour and font.
//
// Painting: the text colour; the background transparent when the control has
// WS_EX_TRANSPARENT (what the parent shows under it), otherwise the background
// colour. The text is the control's own text once SetText was called, and the
// window text before. Alignment comes from the control's style when the
// use-style flag is set (the default), from the stored flags otherwise:
// SS_CENTER centres, SS_RIGHT right-aligns; SS_CENTERIMAGE makes one
// vertically centred line, otherwise the text word-breaks. The text rectangle
// can be shifted by an offset. An icon, when set, is drawn centred instead of
// the text.
//
// Accessibility: the window text always equals the text painted. SetText
// stores the own text and makes it the window text; a later SetWindowText
// on a control with own text changes neither what is painted nor the window
// text, so screen readers read what the user sees.
#pragma once

#include "klarwin/ui/control_base.h"

#include <string>

class CXColorStatic : public CStatic {
public:
    CXColorStatic();
    ~CXColorStatic() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    void SetTextColor(COLORREF colour);
    COLORREF GetTextColor() const { return m_crText; }
    void SetBackgroundColor(COLORREF colour);
    COLORREF GetBackgroundColor() const { return m_crBackground; }
    // Face "Arial", height -MulDiv(points, LOGPIXELSY, 72), the given weight.
    using CStatic::SetFont;
    void SetFont(int points, int weight);
    // The own text: painted from now on, and the window text.
    void SetText(std::wstring_view text);
    bool HasOwnText() const { return m_bOwnText; }
    const std::wstring& GetOwnText() const { return m_strText; }
    // The text painted now.
    std::wstring GetDisplayText() const;
    void SetTooltipText(std::wstring_view text) { m_strTooltip.assign(text); }
    const std::wstring& GetTooltipText() const { return m_strTooltip; }
    // Alignment by SS_ flags (SS_CENTER, SS_RIGHT, SS_CENTERIMAGE) instead of
    // the control's style.
    void SetAlignment(DWORD staticStyle);
    void SetUseStyle(bool useStyle);
    void SetTextOffset(int dx, int dy);
    // An icon drawn centred instead of the text (null: the text again). The
    // control does not own it.
    void SetIcon(HICON icon);
    // The DrawText flags of the current alignment.
    UINT GetDrawFlags() const;

protected:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc);

private:
    bool IsTransparent() const;
    void Redraw();

    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crBackground;
    CBrush m_brBackground;
    CFont m_font;
    std::wstring m_strText;
    bool m_bOwnText = false;
    bool m_bSettingOwnText = false;
    std::wstring m_strTooltip;
    DWORD m_dwAlignment = SS_LEFT;
    bool m_bUseStyle = true;
    int m_nOffsetX = 0;
    int m_nOffsetY = 0;
    HICON m_hIcon = nullptr;
};
