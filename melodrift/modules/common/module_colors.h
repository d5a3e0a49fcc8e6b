// The colours of a module's window from the current skin, shared by our
// modules (the static library module_common). The window, its static texts, edit and combo boxes
// take the skin's dialog colours; lists (list boxes, list views, tree views)
// its frame colours, with the menu's highlight for the selected rows, and in a
// skin their borders and scroll bars too (drawn over what the system drew,
// again whenever a scroll bar changed). Each
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

#include <array>
#include <utility>
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
    ~CModuleColors();
    CModuleColors(const CModuleColors&) = delete;
    CModuleColors& operator=(const CModuleColors&) = delete;

    // The system's colours, used for every colour the skin does not name.
    static ModuleColorSet SystemColors();

    // The current skin's colours through the host (system colours without a
    // host or skin). Each part takes its skin colours only when the skin names
    // both its background and its text, so that a skin naming one of them
    // never leaves a text on a background chosen without it.
    static ModuleColorSet FromSkin(IQueryInterface* host);

    void Load(IQueryInterface* host) { Set(FromSkin(host)); }

    void Set(const ModuleColorSet& colors);

    // The colours of a list's border and scroll bars (in a skin).
    COLORREF BorderColour() const { return Mix(m_colors.listBack, m_colors.listText, 3); }
    COLORREF TrackColour() const { return Mix(m_colors.listBack, m_colors.listText, 12); }
    COLORREF ThumbColour() const { return Mix(m_colors.listBack, m_colors.listText, 3); }

    const ModuleColorSet& Colors() const { return m_colors; }

    // Gives the list views and tree views among the children of `window` the
    // list colours, the list views' column headers the window's, and repaints
    // the window with everything in it.
    void Apply(HWND window);

    // The window's messages about colours: true with `result` when handled.
    // `window` is the module's window.
    bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const;

private:
    static bool IsEditBox(HWND control);

    static bool Colour(HDC dc, COLORREF back, COLORREF text, HBRUSH brush, LRESULT& result);

    // Selected rows in the selection colours, whether or not the list has the focus.
    LRESULT ListViewDraw(NMLVCUSTOMDRAW* draw) const;

    void DrawListBoxItem(const DRAWITEMSTRUCT& draw) const;

    static BOOL CALLBACK CollectChild(HWND child, LPARAM all);

    static constexpr UINT_PTR kHeaderSubclass = 0x4D43;
    static constexpr UINT_PTR kListSubclass = 0x4D44;

    // A list whose border and scroll bars this object draws while it lives.
    void FrameList(HWND list);

    // What the scroll bars of a list look like: shown, their state, where the thumb stands.
    static std::array<int, 8> ScrollState(HWND list);

    static LRESULT CALLBACK ListFrameProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR data);

    void PaintFrame(HWND list) const;

    // The track, the two arrow buttons with their arrows and the thumb.
    void PaintScrollBar(HDC dc, const RECT& bar, const SCROLLBARINFO& info, bool vertical) const;

    static LRESULT CALLBACK HeaderProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);

    // The column titles on the window's background, a line right of each
    // column and under them all.
    void PaintHeader(HWND header, HDC dc) const;

    // `a` moved 1/parts of the way toward `b`.
    static COLORREF Mix(COLORREF a, COLORREF b, int parts);

    void FreeBrushes();

    ModuleColorSet m_colors = {};
    HBRUSH m_windowBrush = nullptr;
    HBRUSH m_editBrush = nullptr;
    HBRUSH m_listBrush = nullptr;
    std::vector<HWND> m_headers;   // the headers drawn by this object
    // The lists whose border and scroll bars this object draws, with how their scroll bars looked last.
    std::vector<std::pair<HWND, std::array<int, 8>>> m_lists;
    bool m_drawFrames = false;
};

}  // namespace orvo
