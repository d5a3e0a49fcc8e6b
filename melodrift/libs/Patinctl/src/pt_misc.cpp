// Combo boxes, edit boxes and trees (the system controls in the skin's
// colours and font), the simple text browser, the surround view and the
// skinned dialog.
#include "pt_internal.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>

namespace pt {
namespace {

// The system controls keep all their behaviour; the skin gives colours and font.
class SystemControl : public Control {
public:
    explicit SystemControl(Kind kind) : Control(kind) {}
    ~SystemControl() override {
        if (m_brush) DeleteObject(m_brush);
    }

    void OnSkinApplied() override {
        if (m_brush) {
            DeleteObject(m_brush);
            m_brush = nullptr;
        }
        if (m_skinFont) CallBase(WM_SETFONT, reinterpret_cast<WPARAM>(m_skinFont), TRUE);
        if (m_kind == K_TREECTRL) {
            CallBase(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(Back()));
            CallBase(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(Text()));
        }
        InvalidateRect(m_hwnd, nullptr, TRUE);
    }

    HBRUSH CtlColor(HDC dc) override {
        if (!m_hasElement && !PtGetSWQueryInterface()) return nullptr;
        if (!m_brush) m_brush = CreateSolidBrush(Back());
        SetTextColor(dc, Text());
        SetBkColor(dc, Back());
        return m_brush;
    }

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            // A combo box's own edit and list.
            if (HBRUSH brush = CtlColor(reinterpret_cast<HDC>(wParam))) return reinterpret_cast<LRESULT>(brush);
            return CallBase(message, wParam, lParam);
        default:
            return CallBase(message, wParam, lParam);
        }
    }

private:
    COLORREF Back() const {
        return m_attr.Color(L"Background", SkinColor(L"DialogBackground", GetSysColor(COLOR_WINDOW)));
    }
    COLORREF Text() const { return m_attr.Color(L"TextColor", SkinColor(L"DialogText", GetSysColor(COLOR_WINDOWTEXT))); }

    HBRUSH m_brush = nullptr;
};

// Shows its window text (an HTML page) as plain, wrapped text.
class HtmlBrowser : public Control {
public:
    HtmlBrowser() : Control(K_HTMLBROWSER) {}

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (LRESULT painted = 0; PaintMessage(message, wParam, painted)) return painted;
        switch (message) {
        case WM_SETTEXT:
        case WM_SIZE: {
            LRESULT result = CallBase(message, wParam, lParam);
            Invalidate();
            return result;
        }
        default:
            return CallBase(message, wParam, lParam);
        }
    }

    // The page without its markup.
    static std::wstring PlainText(const std::wstring& html) {
        std::wstring out;
        for (size_t i = 0; i < html.size();) {
            if (html[i] == L'<') {
                size_t close = html.find(L'>', i);
                if (close == std::wstring::npos) break;
                std::wstring tag = html.substr(i + 1, close - i - 1);
                for (wchar_t& c : tag) c = static_cast<wchar_t>(towlower(c));
                if (tag == L"br" || tag == L"br/" || tag == L"br /" || tag == L"/p" || tag == L"/div" ||
                    tag.rfind(L"/h", 0) == 0 || tag == L"/li")
                    out += L"\r\n";
                i = close + 1;
            } else if (html[i] == L'&') {
                static const struct {
                    const wchar_t* name;
                    wchar_t c;
                } entities[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&nbsp;", L' '}};
                bool done = false;
                for (const auto& e : entities) {
                    size_t n = wcslen(e.name);
                    if (html.compare(i, n, e.name) == 0) {
                        out += e.c;
                        i += n;
                        done = true;
                        break;
                    }
                }
                if (!done) out += html[i++];
            } else {
                out += html[i++];
            }
        }
        return out;
    }

private:
    void Paint(HDC dc, const RECT& rc) override {
        FillSolid(dc, rc, m_attr.Color(L"Background", SkinColor(L"DialogBackground", GetSysColor(COLOR_WINDOW))));
        std::wstring text = PlainText(WindowText());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, m_attr.Color(L"TextColor", SkinColor(L"DialogText", GetSysColor(COLOR_WINDOWTEXT))));
        HGDIOBJ old = SelectObject(dc, Font());
        RECT inner = rc;
        InflateRect(&inner, -6, -4);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
    }
};

// A view of the listener among the speakers (a picture when the skin gives one).
class SurroundView : public Control {
public:
    SurroundView() : Control(K_SURROUNDVIEW) {}

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (LRESULT painted = 0; PaintMessage(message, wParam, painted)) return painted;
        switch (message) {
        case WM_SIZE:
            Invalidate();
            return CallBase(message, wParam, lParam);
        default:
            return CallBase(message, wParam, lParam);
        }
    }

private:
    void Paint(HDC dc, const RECT& rc) override {
        PaintParentBackground(dc);
        if (m_picture) {
            m_picture->Draw(dc, {0, 0, m_picture->Width(), m_picture->Height()}, rc);
            return;
        }
        COLORREF line = m_attr.Color(L"TextColor", SkinColor(L"FrameText", RGB(200, 206, 216)));
        HPEN pen = CreatePen(PS_SOLID, 1, line);
        HBRUSH brush = CreateSolidBrush(line);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        int side = std::min(rc.right, rc.bottom) - 8;
        int cx = rc.right / 2, cy = rc.bottom / 2;
        Ellipse(dc, cx - side / 2, cy - side / 2, cx + side / 2, cy + side / 2);
        SelectObject(dc, brush);
        // Five speakers round the circle and the listener in the middle.
        const double angles[] = {-30, 0, 30, 110, -110};
        for (double a : angles) {
            double r = a * 3.14159265358979 / 180.0;
            int x = cx + static_cast<int>(std::lround(std::sin(r) * side / 2));
            int y = cy - static_cast<int>(std::lround(std::cos(r) * side / 2));
            Rectangle(dc, x - 3, y - 3, x + 4, y + 4);
        }
        Ellipse(dc, cx - 4, cy - 4, cx + 5, cy + 5);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
};

// A dialog in the skin's colours (its own procedure keeps working).
class DialogSkin : public Control {
public:
    DialogSkin() : Control(K_SCALEDIALOG) {}
    ~DialogSkin() override {
        if (m_brush) DeleteObject(m_brush);
    }

    void SkinChanged() override {
        if (m_brush) {
            DeleteObject(m_brush);
            m_brush = nullptr;
        }
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_ERASEBKGND: {
            RECT rc;
            GetClientRect(m_hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wParam), &rc, Brush());
            return 1;
        }
        case WM_PRINTCLIENT: {
            RECT rc;
            GetClientRect(m_hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wParam), &rc, Brush());
            return CallBase(message, wParam, lParam);
        }
        case WM_CTLCOLORDLG:
            return reinterpret_cast<LRESULT>(Brush());
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, SkinColor(L"DialogText", GetSysColor(COLOR_BTNTEXT)));
            SetBkColor(dc, Back());
            return reinterpret_cast<LRESULT>(Brush());
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (Control* child = Control::From(reinterpret_cast<HWND>(lParam)))
                if (HBRUSH brush = child->CtlColor(reinterpret_cast<HDC>(wParam)))
                    return reinterpret_cast<LRESULT>(brush);
            return CallBase(message, wParam, lParam);
        default:
            return CallBase(message, wParam, lParam);
        }
    }

private:
    COLORREF Back() const { return SkinColor(L"DialogBackground", GetSysColor(COLOR_BTNFACE)); }
    HBRUSH Brush() {
        if (!m_brush) m_brush = CreateSolidBrush(Back());
        return m_brush;
    }
    HBRUSH m_brush = nullptr;
};

}  // namespace

Control* NewMisc(Kind kind) {
    switch (kind) {
    case K_HTMLBROWSER:
        return new HtmlBrowser();
    case K_SURROUNDVIEW:
        return new SurroundView();
    default:
        return new SystemControl(kind);
    }
}

Control* NewDialogSkin() { return new DialogSkin(); }

}  // namespace pt
