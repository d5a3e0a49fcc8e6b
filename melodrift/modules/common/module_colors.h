// The colours of a module's window from the current skin, shared by our
// modules (header only). The window, its static texts, edit and combo boxes
// take the skin's dialog colours; lists (list boxes, list views, tree views)
// its frame colours, with the menu's highlight for the selected rows. Each
// background or text the skin does not name together with its partner (and
// all of them without a skin) is the system's colour for that part.
//
// Load the colours when the window is created and again whenever the host
// asks the module to reload its skin (OrvoLoadSkin), then Apply them to the
// window's children; the window's procedure passes WM_ERASEBKGND,
// WM_CTLCOLOR*, the list views' NM_CUSTOMDRAW and the owner-drawn list boxes'
// WM_DRAWITEM through Handle first. The brushes
// belong to this object and live until the next Load or its destruction; the
// list views' column headers are drawn by it (subclassed) while it lives.
#pragma once

#include "host/host_interfaces.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <vector>

namespace orvo {

struct ModuleColorSet {
    COLORREF windowBack;    // the window and its static texts
    COLORREF windowText;
    COLORREF editBack;      // edit and combo boxes
    COLORREF editText;
    COLORREF listBack;      // list boxes, list views, tree views
    COLORREF listText;
    COLORREF selectedBack;  // selected rows of list views and owner-drawn list boxes
    COLORREF selectedText;
};

class CModuleColors {
public:
    CModuleColors() { Set(SystemColors()); }
    ~CModuleColors() {
        for (HWND header : m_headers) {
            if (IsWindow(header)) RemoveWindowSubclass(header, &HeaderProc, kHeaderSubclass);
        }
        FreeBrushes();
    }
    CModuleColors(const CModuleColors&) = delete;
    CModuleColors& operator=(const CModuleColors&) = delete;

    // The system's colours, used for every colour the skin does not name.
    static ModuleColorSet SystemColors() {
        return {GetSysColor(COLOR_BTNFACE),   GetSysColor(COLOR_BTNTEXT),     GetSysColor(COLOR_WINDOW),
                GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW),      GetSysColor(COLOR_WINDOWTEXT),
                GetSysColor(COLOR_HIGHLIGHT),  GetSysColor(COLOR_HIGHLIGHTTEXT)};
    }

    // The current skin's colours through the host (system colours without a
    // host or skin). Each part takes its skin colours only when the skin names
    // both its background and its text, so that a skin naming one of them
    // never leaves a text on a background chosen without it.
    static ModuleColorSet FromSkin(IQueryInterface* host) {
        ModuleColorSet c = SystemColors();
        ISkin* skin = host ? host->GetSkin() : nullptr;
        if (!skin) return c;
        const auto pair = [skin](const wchar_t* backName, const wchar_t* textName, COLORREF& back, COLORREF& text) {
            const COLORREF b = skin->GetSkinColor(backName, CLR_INVALID);
            const COLORREF t = skin->GetSkinColor(textName, CLR_INVALID);
            if (b == CLR_INVALID || t == CLR_INVALID) return;
            back = b;
            text = t;
        };
        pair(L"DialogBackground", L"DialogText", c.windowBack, c.windowText);
        pair(L"DialogBackground", L"DialogText", c.editBack, c.editText);
        pair(L"FrameBackground", L"FrameText", c.listBack, c.listText);
        pair(L"MenuHighlight", L"MenuHighlightText", c.selectedBack, c.selectedText);
        return c;
    }

    void Load(IQueryInterface* host) { Set(FromSkin(host)); }

    void Set(const ModuleColorSet& colors) {
        FreeBrushes();
        m_colors = colors;
        m_windowBrush = CreateSolidBrush(colors.windowBack);
        m_editBrush = CreateSolidBrush(colors.editBack);
        m_listBrush = CreateSolidBrush(colors.listBack);
    }

    const ModuleColorSet& Colors() const { return m_colors; }

    // Gives the list views and tree views among the children of `window` the
    // list colours, the list views' column headers the window's, and repaints
    // the window with everything in it.
    void Apply(HWND window) {
        if (!window) return;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            // Each child on its own too: a combo box does not always follow its parent's redrawing.
            InvalidateRect(child, nullptr, TRUE);
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if (lstrcmpiW(name, WC_LISTVIEWW) == 0) {
                ListView_SetBkColor(child, m_colors.listBack);
                ListView_SetTextBkColor(child, m_colors.listBack);
                ListView_SetTextColor(child, m_colors.listText);
                // The header draws itself here: its parent, the list, does not
                // pass its custom drawing on everywhere.
                HWND header = ListView_GetHeader(child);
                if (header && SetWindowSubclass(header, &HeaderProc, kHeaderSubclass, reinterpret_cast<DWORD_PTR>(this))) {
                    bool known = false;
                    for (HWND h : m_headers) known = known || h == header;
                    if (!known) m_headers.push_back(header);
                }
            } else if (lstrcmpiW(name, WC_TREEVIEWW) == 0) {
                TreeView_SetBkColor(child, m_colors.listBack);
                TreeView_SetTextColor(child, m_colors.listText);
            }
        }
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }

    // The window's messages about colours: true with `result` when handled.
    // `window` is the module's window.
    bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const {
        HDC dc = reinterpret_cast<HDC>(wParam);
        switch (message) {
        case WM_ERASEBKGND: {
            RECT client = {};
            GetClientRect(window, &client);
            FillRect(dc, &client, m_windowBrush);
            result = 1;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
            // Read-only edit boxes ask as static texts; they keep the box's colours.
            if (message == WM_CTLCOLORSTATIC && IsEditBox(reinterpret_cast<HWND>(lParam))) {
                return Colour(dc, m_colors.editBack, m_colors.editText, m_editBrush, result);
            }
            return Colour(dc, m_colors.windowBack, m_colors.windowText, m_windowBrush, result);
        case WM_CTLCOLOREDIT:
            return Colour(dc, m_colors.editBack, m_colors.editText, m_editBrush, result);
        case WM_CTLCOLORLISTBOX:
            return Colour(dc, m_colors.listBack, m_colors.listText, m_listBrush, result);
        case WM_DRAWITEM: {
            // Owner-drawn list boxes: their rows in the list colours, the selected one in the highlight.
            auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            if (!draw || draw->CtlType != ODT_LISTBOX) return false;
            DrawListBoxItem(*draw);
            result = TRUE;
            return true;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header || header->code != static_cast<UINT>(NM_CUSTOMDRAW)) return false;
            wchar_t name[64] = {};
            GetClassNameW(header->hwndFrom, name, 64);
            if (lstrcmpiW(name, WC_LISTVIEWW) != 0) return false;
            result = ListViewDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            return true;
        }
        default:
            return false;
        }
    }

private:
    static bool IsEditBox(HWND control) {
        wchar_t name[16] = {};
        return control && GetClassNameW(control, name, 16) && lstrcmpiW(name, L"Edit") == 0;
    }

    static bool Colour(HDC dc, COLORREF back, COLORREF text, HBRUSH brush, LRESULT& result) {
        SetTextColor(dc, text);
        SetBkColor(dc, back);
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }

    // Selected rows in the selection colours, whether or not the list has the focus.
    LRESULT ListViewDraw(NMLVCUSTOMDRAW* draw) const {
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
        const int item = static_cast<int>(draw->nmcd.dwItemSpec);
        const bool selected = ListView_GetItemState(draw->nmcd.hdr.hwndFrom, item, LVIS_SELECTED) != 0;
        draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
        draw->clrText = selected ? m_colors.selectedText : m_colors.listText;
        draw->clrTextBk = selected ? m_colors.selectedBack : m_colors.listBack;
        return CDRF_NEWFONT;
    }

    void DrawListBoxItem(const DRAWITEMSTRUCT& draw) const {
        HDC dc = draw.hDC;
        const bool selected = (draw.itemState & ODS_SELECTED) != 0;
        const COLORREF back = selected ? m_colors.selectedBack : m_colors.listBack;
        HBRUSH brush = selected ? CreateSolidBrush(back) : m_listBrush;
        FillRect(dc, &draw.rcItem, brush);
        if (selected) DeleteObject(brush);
        if (draw.itemID != static_cast<UINT>(-1)) {
            const LRESULT length = SendMessageW(draw.hwndItem, LB_GETTEXTLEN, draw.itemID, 0);
            if (length > 0) {
                std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
                SendMessageW(draw.hwndItem, LB_GETTEXT, draw.itemID, reinterpret_cast<LPARAM>(text.data()));
                RECT r = draw.rcItem;
                r.left += 2;
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, selected ? m_colors.selectedText : m_colors.listText);
                // A line "name<tab>detail" shows its detail (a length, say) at the right edge.
                const wchar_t* tab = wcschr(text.data(), L'\t');
                if (tab) {
                    RECT right = r;
                    right.right -= 4;
                    DrawTextW(dc, tab + 1, -1, &right, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                    SIZE extent = {};
                    GetTextExtentPoint32W(dc, tab + 1, static_cast<int>(wcslen(tab + 1)), &extent);
                    r.right = std::max<LONG>(r.left, right.right - extent.cx - 8);
                }
                DrawTextW(dc, text.data(), tab ? static_cast<int>(tab - text.data()) : -1, &r,
                          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
            }
        }
        if (draw.itemState & ODS_FOCUS) DrawFocusRect(dc, &draw.rcItem);
    }

    static constexpr UINT_PTR kHeaderSubclass = 0x4D43;

    static LRESULT CALLBACK HeaderProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data) {
        const auto* self = reinterpret_cast<const CModuleColors*>(data);
        switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            PAINTSTRUCT paint = {};
            HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(header, &paint);
            self->PaintHeader(header, dc);
            if (!wParam) EndPaint(header, &paint);
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(header, &HeaderProc, id);
            break;
        default:
            break;
        }
        return DefSubclassProc(header, message, wParam, lParam);
    }

    // The column titles on the window's background, a line right of each
    // column and under them all.
    void PaintHeader(HWND header, HDC dc) const {
        RECT client = {};
        GetClientRect(header, &client);
        FillRect(dc, &client, m_windowBrush);
        HBRUSH line = CreateSolidBrush(Mix(m_colors.windowBack, m_colors.windowText, 4));
        RECT bottom = {client.left, client.bottom - 1, client.right, client.bottom};
        FillRect(dc, &bottom, line);
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, m_colors.windowText);
        const int count = Header_GetItemCount(header);
        for (int i = 0; i < count; ++i) {
            RECT r = {};
            if (!Header_GetItemRect(header, i, &r)) continue;
            RECT edge = {r.right - 1, r.top + 4, r.right, r.bottom - 4};
            FillRect(dc, &edge, line);
            wchar_t title[128] = {};
            HDITEMW item = {};
            item.mask = HDI_TEXT | HDI_FORMAT;
            item.pszText = title;
            item.cchTextMax = 128;
            if (!Header_GetItem(header, i, &item)) continue;
            const int format = item.fmt & HDF_JUSTIFYMASK;
            r.left += 6;
            r.right -= 6;
            DrawTextW(dc, title, -1, &r,
                      (format == HDF_RIGHT ? DT_RIGHT : format == HDF_CENTER ? DT_CENTER : DT_LEFT) | DT_VCENTER |
                          DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        SelectObject(dc, oldFont);
        DeleteObject(line);
    }

    // `a` moved 1/parts of the way toward `b`.
    static COLORREF Mix(COLORREF a, COLORREF b, int parts) {
        const auto channel = [parts](int x, int y) { return x + (y - x) / parts; };
        return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
                   channel(GetBValue(a), GetBValue(b)));
    }

    void FreeBrushes() {
        for (HBRUSH* brush : {&m_windowBrush, &m_editBrush, &m_listBrush}) {
            if (*brush) DeleteObject(*brush);
            *brush = nullptr;
        }
    }

    ModuleColorSet m_colors = {};
    HBRUSH m_windowBrush = nullptr;
    HBRUSH m_editBrush = nullptr;
    HBRUSH m_listBrush = nullptr;
    std::vector<HWND> m_headers;   // the headers drawn by this object
};

}  // namespace orvo
