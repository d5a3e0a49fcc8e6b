// Push, check and radio buttons drawn from a strip of state pictures; the
// scaled button stretches its state picture to the control.
#include "pt_internal.h"

#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>

namespace pt {
namespace {

class Button : public Control {
public:
    explicit Button(Kind kind) : Control(kind) {}

    bool NeedsPicture() const override { return true; }

    void OnSkinApplied() override {
        std::wstring text = m_attr.Text(L"Text");
        if (!text.empty() && GetWindowTextLengthW(m_hwnd) == 0) SetWindowTextW(m_hwnd, text.c_str());
        Invalidate();
    }

    bool IdealSize(SIZE& size) const override {
        if (!m_picture) return false;
        int n = States();
        if (Vertical()) {
            size.cx = m_picture->Width();
            size.cy = m_picture->Height() / n;
        } else {
            size.cx = m_picture->Width() / n;
            size.cy = m_picture->Height();
        }
        return size.cx > 0 && size.cy > 0;
    }

    long AccRole() const override {
        LONG type = Type();
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return ROLE_SYSTEM_RADIOBUTTON;
        return TwoState() && !(GetWindowLongW(m_hwnd, GWL_STYLE) & BS_PUSHLIKE) ? ROLE_SYSTEM_CHECKBUTTON
                                                                               : ROLE_SYSTEM_PUSHBUTTON;
    }
    long AccState() const override {
        return (TwoState() && m_check ? STATE_SYSTEM_CHECKED : 0) | (m_pressed ? STATE_SYSTEM_PRESSED : 0);
    }

    void SaveState(State& state) const override {
        state.hasCheck = true;
        state.check = m_check;
    }
    void LoadState(const State& state) override {
        if (state.hasCheck && TwoState()) {
            m_check = state.check;
            Invalidate();
        }
    }

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (LRESULT painted = 0; PaintMessage(message, wParam, painted)) return painted;
        switch (message) {
        case WM_MOUSEMOVE: {
            if (!m_tracking) {
                TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hwnd, 0};
                m_tracking = TrackMouseEvent(&track) != FALSE;
            }
            bool inside = Inside(lParam);
            bool hot = inside;
            bool pressed = m_capture ? inside : m_pressed;
            if (hot != m_hot || pressed != m_pressed) {
                m_hot = hot;
                m_pressed = pressed;
                Invalidate();
            }
            return 0;
        }
        case WM_MOUSELEAVE:
            m_tracking = false;
            if (m_hot) {
                m_hot = false;
                Invalidate();
            }
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!IsWindowEnabled(m_hwnd)) return 0;
            if (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_TABSTOP) SetFocus(m_hwnd);
            m_capture = true;
            SetCapture(m_hwnd);
            m_pressed = true;
            Invalidate();
            return 0;
        case WM_LBUTTONUP:
            if (m_capture) {
                bool inside = Inside(lParam);
                m_capture = false;
                m_pressed = false;
                ReleaseCapture();
                Invalidate();
                if (inside) Click();
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (m_capture) {
                m_capture = false;
                m_pressed = false;
                Invalidate();
            }
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE && !m_spaceDown) {
                m_spaceDown = true;
                m_pressed = true;
                Invalidate();
            }
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && m_spaceDown) {
                m_spaceDown = false;
                m_pressed = false;
                Invalidate();
                Click();
            }
            return 0;
        case WM_GETDLGCODE: {
            LONG type = Type();
            if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return DLGC_BUTTON | DLGC_RADIOBUTTON;
            if (TwoState()) return DLGC_BUTTON;
            return DLGC_BUTTON | (type == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            m_focus = message == WM_SETFOCUS;
            if (!m_focus && m_spaceDown) {
                m_spaceDown = false;
                m_pressed = false;
            }
            Invalidate();
            return 0;
        case WM_ENABLE:
            if (!wParam) m_pressed = m_hot = false;
            Invalidate();
            return 0;
        case WM_SETTEXT: {
            LRESULT result = CallBase(message, wParam, lParam);
            m_textFromTip = false;
            Invalidate();
            return result;
        }
        case WM_STYLECHANGED:
            Invalidate();
            return CallBase(message, wParam, lParam);
        case BM_GETCHECK:
            return TwoState() ? m_check : BST_UNCHECKED;
        case BM_SETCHECK:
            if (TwoState()) {
                int check = static_cast<int>(wParam) & 3;
                if (check == 3) check = 1;
                if (check != m_check) {
                    m_check = check;
                    Invalidate();
                }
            }
            return 0;
        case BM_GETSTATE:
            return (TwoState() ? m_check : 0) | (m_pressed ? BST_PUSHED : 0) | (m_hot ? BST_HOT : 0) |
                   (m_focus ? BST_FOCUS : 0);
        case BM_SETSTATE:
            m_pressed = wParam != 0;
            Invalidate();
            return 0;
        case BM_SETSTYLE: {
            LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
            SetWindowLongW(m_hwnd, GWL_STYLE, static_cast<LONG>((style & 0xFFFF0000) | LOWORD(wParam)));
            if (lParam) Invalidate();
            return 0;
        }
        case BM_CLICK:
            if (IsWindowEnabled(m_hwnd)) Click();
            return 0;
        default:
            return CallBase(message, wParam, lParam);
        }
    }

private:
    LONG Type() const { return GetWindowLongW(m_hwnd, GWL_STYLE) & BS_TYPEMASK; }
    bool TwoState() const {
        switch (Type()) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_AUTORADIOBUTTON:
            return true;
        default:
            return false;
        }
    }
    int States() const { return std::clamp(m_attr.Int(L"States", TwoState() ? 8 : 4), 1, 8); }
    bool Vertical() const { return m_attr.Is(L"StateLayout", L"Vertical"); }
    bool Inside(LPARAM lParam) const {
        RECT rc;
        GetClientRect(m_hwnd, &rc);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        return PtInRect(&rc, pt) != FALSE;
    }

    void Click() {
        switch (Type()) {
        case BS_AUTOCHECKBOX:
            m_check = m_check ? 0 : 1;
            break;
        case BS_AUTO3STATE:
            m_check = (m_check + 1) % 3;
            break;
        case BS_AUTORADIOBUTTON:
            m_check = 1;
            UncheckGroup();
            break;
        default:
            break;
        }
        Invalidate();
        HWND self = m_hwnd;
        Notify(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(self), BN_CLICKED), reinterpret_cast<LPARAM>(self));
    }

    void UncheckGroup() {
        HWND parent = GetParent(m_hwnd);
        if (!parent) return;
        HWND other = GetNextDlgGroupItem(parent, m_hwnd, FALSE);
        for (int guard = 0; other && other != m_hwnd && guard < 1000; ++guard) {
            LONG type = GetWindowLongW(other, GWL_STYLE) & BS_TYPEMASK;
            if (type == BS_AUTORADIOBUTTON) SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
            other = GetNextDlgGroupItem(parent, other, FALSE);
        }
    }

    // The frame to draw for the current state and whether to fade it.
    int PickFrame(bool& faded) const {
        faded = false;
        int n = States();
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        int base = !enabled ? 3 : m_pressed ? 2 : m_hot ? 1 : 0;
        bool checked = TwoState() && m_check != 0;
        if (checked && n <= 4) {
            // Without checked frames a checked button looks pressed.
            checked = false;
            if (base != 3) base = 2;
        }
        int offset = checked ? 4 : 0;
        if (offset + base >= n) {
            if (base == 3) faded = true;
            base = 0;
        }
        if (offset + base >= n) offset = 0;
        return std::min(offset + base, n - 1);
    }

    void Paint(HDC dc, const RECT& rc) override {
        PaintParentBackground(dc);
        bool checked = TwoState() && m_check != 0;
        if (m_picture) {
            bool faded = false;
            int frame = PickFrame(faded);
            SIZE one{};
            IdealSize(one);
            RECT src = Vertical() ? RECT{0, frame * one.cy, one.cx, (frame + 1) * one.cy}
                                  : RECT{frame * one.cx, 0, (frame + 1) * one.cx, one.cy};
            RECT dst = rc;
            if (m_kind == K_BUTTON) {
                int x = (rc.right - one.cx) / 2, y = (rc.bottom - one.cy) / 2;
                dst = {x, y, x + one.cx, y + one.cy};
            }
            m_picture->Draw(dc, src, dst, faded ? 110 : 255);
        } else if (TwoState() && !(GetWindowLongW(m_hwnd, GWL_STYLE) & BS_PUSHLIKE)) {
            PaintPlainCheck(dc, rc, checked);
            return;
        } else {
            // No picture: a plain button that still shows its state and text.
            COLORREF face = !IsWindowEnabled(m_hwnd) ? SkinColor(L"ButtonDisabled", RGB(70, 74, 80))
                            : (checked || m_pressed) ? SkinColor(L"ButtonPressed", RGB(40, 90, 150))
                            : m_hot                  ? SkinColor(L"ButtonHot", RGB(90, 96, 106))
                                                     : SkinColor(L"ButtonBackground", RGB(72, 78, 88));
            HBRUSH brush = CreateSolidBrush(face);
            HPEN pen = CreatePen(PS_SOLID, 1, SkinColor(L"ButtonBorder", RGB(140, 150, 165)));
            HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
            RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 6, 6);
            SelectObject(dc, oldBrush);
            SelectObject(dc, oldPen);
            DeleteObject(brush);
            DeleteObject(pen);
            if (m_focus) {
                RECT focus = rc;
                InflateRect(&focus, -3, -3);
                SetTextColor(dc, RGB(0, 0, 0));
                SetBkColor(dc, RGB(255, 255, 255));
                DrawFocusRect(dc, &focus);
            }
        }
        bool drawText = !m_picture || m_attr.Has(L"TextColor");
        std::wstring text = WindowText();
        if (drawText && !text.empty()) {
            COLORREF color = m_attr.Color(L"TextColor", m_picture ? RGB(235, 238, 242) : SkinColor(L"ButtonText", RGB(235, 238, 242)));
            if (checked || m_pressed) color = m_attr.Color(L"CheckedTextColor", color);
            if (!IsWindowEnabled(m_hwnd)) color = RGB(150, 150, 150);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, color);
            HGDIOBJ oldFont = SelectObject(dc, Font());
            UINT align = m_attr.Is(L"Align", L"Left") ? DT_LEFT : m_attr.Is(L"Align", L"Right") ? DT_RIGHT : DT_CENTER;
            RECT textRect = rc;
            InflateRect(&textRect, -3, 0);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                      align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
            SelectObject(dc, oldFont);
        }
    }

    // A check box or radio button without a picture: a small box or circle and its text.
    void PaintPlainCheck(HDC dc, const RECT& rc, bool checked) {
        bool radio = Type() == BS_RADIOBUTTON || Type() == BS_AUTORADIOBUTTON;
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        COLORREF text = m_attr.Color(L"TextColor", SkinColor(L"DialogText", GetSysColor(COLOR_BTNTEXT)));
        if (!enabled) text = GetSysColor(COLOR_GRAYTEXT);
        int box = 13, top = (rc.bottom - box) / 2;
        HBRUSH face = CreateSolidBrush(m_pressed ? SkinColor(L"ButtonHot", RGB(200, 205, 212))
                                                 : SkinColor(L"DialogBackground", GetSysColor(COLOR_WINDOW)));
        HPEN pen = CreatePen(PS_SOLID, 1, text);
        HGDIOBJ oldBrush = SelectObject(dc, face), oldPen = SelectObject(dc, pen);
        if (radio)
            Ellipse(dc, 0, top, box, top + box);
        else
            Rectangle(dc, 0, top, box, top + box);
        if (checked) {
            HBRUSH mark = CreateSolidBrush(text);
            if (radio) {
                SelectObject(dc, mark);
                Ellipse(dc, 4, top + 4, box - 4, top + box - 4);
            } else {
                HPEN markPen = CreatePen(PS_SOLID, 2, text);
                SelectObject(dc, markPen);
                MoveToEx(dc, 3, top + 6, nullptr);
                LineTo(dc, 5, top + 9);
                LineTo(dc, 10, top + 3);
                SelectObject(dc, pen);
                DeleteObject(markPen);
            }
            SelectObject(dc, face);
            DeleteObject(mark);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(face);
        DeleteObject(pen);
        std::wstring label = WindowText();
        RECT textRect = {box + 5, rc.top, rc.right, rc.bottom};
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, text);
        HGDIOBJ oldFont = SelectObject(dc, Font());
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (m_focus) {
            RECT focus = textRect;
            DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &focus,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
            LONG height = focus.bottom - focus.top;
            focus.top = std::max<LONG>(rc.top, (rc.bottom - height) / 2);
            focus.bottom = std::min<LONG>(rc.bottom, focus.top + height);
            InflateRect(&focus, 1, 0);
            DrawFocusRect(dc, &focus);
        }
        SelectObject(dc, oldFont);
    }

    int m_check = 0;
    bool m_hot = false, m_pressed = false, m_tracking = false, m_capture = false, m_focus = false,
         m_spaceDown = false;
};

}  // namespace

Control* NewButton(Kind kind) { return new Button(kind); }

}  // namespace pt
