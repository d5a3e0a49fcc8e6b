// The colours of a module's window from the current skin, shared by our
// modules (header only). The window, its static texts, edit and combo boxes
// take the skin's dialog colours; lists (list boxes, list views, tree views)
// its frame colours, with the menu's highlight for the selected rows. Each
// colour the skin does not name (or all of them without a skin) is the
// system's colour for that part.
//
// Load the colours when the window is created and again whenever the host
// asks the module to reload its skin (OrvoLoadSkin), then Apply them to the
// window's children; the window's procedure passes WM_ERASEBKGND,
// WM_CTLCOLOR* and the lists' NM_CUSTOMDRAW through Handle. The brushes
// belong to this object and live until the next Load or its destruction.
#pragma once

#include "host/host_interfaces.h"

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

namespace orvo {

struct ModuleColorSet {
    COLORREF windowBack;    // the window and its static texts
    COLORREF windowText;
    COLORREF editBack;      // edit and combo boxes
    COLORREF editText;
    COLORREF listBack;      // list boxes, list views, tree views
    COLORREF listText;
    COLORREF selectedBack;  // selected rows of list views
    COLORREF selectedText;
};

class CModuleColors {
public:
    CModuleColors() { Set(SystemColors()); }
    ~CModuleColors() { FreeBrushes(); }
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
    // list colours and repaints the window with everything in it.
    void Apply(HWND window) const {
        if (!window) return;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if (lstrcmpiW(name, WC_LISTVIEWW) == 0) {
                ListView_SetBkColor(child, m_colors.listBack);
                ListView_SetTextBkColor(child, m_colors.listBack);
                ListView_SetTextColor(child, m_colors.listText);
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
};

}  // namespace orvo
