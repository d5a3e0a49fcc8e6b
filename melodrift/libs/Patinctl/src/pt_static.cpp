// Static and status texts ("TextColor", "LogFont", "Align"), optionally over a
// picture, and the scrolling static whose too-long text runs through it.
#include "pt_internal.h"

#include <oleacc.h>

#include <algorithm>

namespace pt {
namespace {

const UINT_PTR kScrollTimer = 1;
const int kScrollGap = 40;

class Static : public Control {
public:
    explicit Static(Kind kind) : Control(kind) {}

    long AccRole() const override { return ROLE_SYSTEM_STATICTEXT; }

    void OnSkinApplied() override {
        m_offset = 0;
        UpdateScrolling();
        Invalidate();
    }

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (LRESULT painted = 0; PaintMessage(message, wParam, painted)) return painted;
        switch (message) {
        case WM_NCHITTEST:
            if (!(GetWindowLongW(m_hwnd, GWL_STYLE) & SS_NOTIFY) && m_tipText.empty()) return HTTRANSPARENT;
            return CallBase(message, wParam, lParam);
        case WM_SETTEXT: {
            LRESULT result = CallBase(message, wParam, lParam);
            m_offset = 0;
            UpdateScrolling();
            Invalidate();
            return result;
        }
        case WM_SIZE:
            UpdateScrolling();
            Invalidate();
            return CallBase(message, wParam, lParam);
        case WM_TIMER:
            if (wParam == kScrollTimer) {
                int step = std::max(1, m_attr.Int(L"ScrollSpeed", 1));
                m_offset += step;
                if (m_offset >= m_textWidth + kScrollGap) m_offset = 0;
                Invalidate();
                return 0;
            }
            return CallBase(message, wParam, lParam);
        case WM_DESTROY:
            KillTimer(m_hwnd, kScrollTimer);
            return CallBase(message, wParam, lParam);
        case STM_SETIMAGE:
        case STM_GETIMAGE:
        case STM_SETICON:
        case STM_GETICON:
            return 0;
        default:
            return CallBase(message, wParam, lParam);
        }
    }

private:
    bool Scrolls() const { return m_kind == K_SCROLLSTATIC || m_attr.Yes(L"Scroll"); }

    COLORREF TextColor() const {
        COLORREF fallback = IsPatinctlWindow(GetParent(m_hwnd))
                                ? SkinColor(L"FrameText", RGB(224, 224, 224))
                                : SkinColor(L"DialogText", GetSysColor(COLOR_WINDOWTEXT));
        return m_attr.Color(L"TextColor", fallback);
    }

    void UpdateScrolling() {
        if (!m_hwnd) return;
        bool run = false;
        if (Scrolls()) {
            std::wstring text = WindowText();
            HDC dc = GetDC(m_hwnd);
            HGDIOBJ old = SelectObject(dc, Font());
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            SelectObject(dc, old);
            ReleaseDC(m_hwnd, dc);
            m_textWidth = extent.cx;
            RECT rc;
            GetClientRect(m_hwnd, &rc);
            run = m_textWidth > rc.right;
        }
        if (run && !m_running) SetTimer(m_hwnd, kScrollTimer, 40, nullptr);
        if (!run && m_running) KillTimer(m_hwnd, kScrollTimer);
        if (!run) m_offset = 0;
        m_running = run;
    }

    void Paint(HDC dc, const RECT& rc) override {
        if (m_attr.Has(L"Background"))
            FillSolid(dc, rc, m_attr.Color(L"Background", RGB(0, 0, 0)));
        else
            PaintParentBackground(dc);
        if (m_picture) m_picture->Draw(dc, {0, 0, m_picture->Width(), m_picture->Height()}, rc);
        std::wstring text = WindowText();
        if (text.empty()) return;
        SetBkMode(dc, TRANSPARENT);
        COLORREF color = TextColor();
        if (!IsWindowEnabled(m_hwnd)) color = RGB(128, 128, 128);
        SetTextColor(dc, color);
        HGDIOBJ oldFont = SelectObject(dc, Font());
        LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
        UINT align = DT_LEFT;
        if (m_attr.Is(L"Align", L"Center") || (!m_attr.Has(L"Align") && (style & SS_TYPEMASK) == SS_CENTER))
            align = DT_CENTER;
        if (m_attr.Is(L"Align", L"Right") || (!m_attr.Has(L"Align") && (style & SS_TYPEMASK) == SS_RIGHT))
            align = DT_RIGHT;
        RECT textRect = rc;
        InflateRect(&textRect, -2, 0);
        if (m_running) {
            RECT first = textRect;
            first.left = textRect.left - m_offset;
            first.right = first.left + m_textWidth + 4;
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &first,
                      DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
            RECT second = first;
            OffsetRect(&second, m_textWidth + kScrollGap, 0);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &second,
                      DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
        } else {
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            bool multiLine = text.find(L'\n') != std::wstring::npos || rc.bottom >= 2 * metrics.tmHeight + 4;
            UINT format = align | DT_NOPREFIX | (multiLine ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
        }
        SelectObject(dc, oldFont);
    }

    int m_offset = 0;
    int m_textWidth = 0;
    bool m_running = false;
};

}  // namespace

Control* NewStatic(Kind kind) { return new Static(kind); }

}  // namespace pt
