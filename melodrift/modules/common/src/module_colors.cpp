// The skin's colours of a module window and its controls.
#include "module_colors.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>

namespace orvo {

CModuleColors::~CModuleColors()
{
    for (HWND header : m_headers) {
        if (IsWindow(header)) RemoveWindowSubclass(header, &HeaderProc, kHeaderSubclass);
    }
    for (const auto& list : m_lists) {
        if (IsWindow(list.first)) RemoveWindowSubclass(list.first, &ListFrameProc, kListSubclass);
    }
    FreeBrushes();
}

ModuleColorSet CModuleColors::SystemColors()
{
    return {GetSysColor(COLOR_BTNFACE),   GetSysColor(COLOR_BTNTEXT),     GetSysColor(COLOR_WINDOW),
            GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW),      GetSysColor(COLOR_WINDOWTEXT),
            GetSysColor(COLOR_HIGHLIGHT),  GetSysColor(COLOR_HIGHLIGHTTEXT)};
}

ModuleColorSet CModuleColors::FromSkin(IQueryInterface* host)
{
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

void CModuleColors::Set(const ModuleColorSet& colors)
{
    FreeBrushes();
    m_colors = colors;
    m_windowBrush = CreateSolidBrush(colors.windowBack);
    m_editBrush = CreateSolidBrush(colors.editBack);
    m_listBrush = CreateSolidBrush(colors.listBack);
    // Borders and scroll bars stay the system's while the lists are.
    m_drawFrames = colors.listBack != GetSysColor(COLOR_WINDOW) || colors.listText != GetSysColor(COLOR_WINDOWTEXT);
}

void CModuleColors::Apply(HWND window)
{
    if (!window) return;
    // Every descendant: a module may keep its lists inside a panel of its own.
    std::vector<HWND> children;
    EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
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
        if (lstrcmpiW(name, WC_LISTVIEWW) == 0 || lstrcmpiW(name, WC_TREEVIEWW) == 0 ||
            lstrcmpiW(name, L"ListBox") == 0)
            FrameList(child);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool CModuleColors::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const
{
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

bool CModuleColors::IsEditBox(HWND control)
{
    wchar_t name[16] = {};
    return control && GetClassNameW(control, name, 16) && lstrcmpiW(name, L"Edit") == 0;
}

bool CModuleColors::Colour(HDC dc, COLORREF back, COLORREF text, HBRUSH brush, LRESULT& result)
{
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    result = reinterpret_cast<LRESULT>(brush);
    return true;
}

LRESULT CModuleColors::ListViewDraw(NMLVCUSTOMDRAW* draw) const
{
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    const int item = static_cast<int>(draw->nmcd.dwItemSpec);
    const bool selected = ListView_GetItemState(draw->nmcd.hdr.hwndFrom, item, LVIS_SELECTED) != 0;
    draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
    draw->clrText = selected ? m_colors.selectedText : m_colors.listText;
    draw->clrTextBk = selected ? m_colors.selectedBack : m_colors.listBack;
    return CDRF_NEWFONT;
}

void CModuleColors::DrawListBoxItem(const DRAWITEMSTRUCT& draw) const
{
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

BOOL CALLBACK CModuleColors::CollectChild(HWND child, LPARAM all)
{
    reinterpret_cast<std::vector<HWND>*>(all)->push_back(child);
    return TRUE;
}

void CModuleColors::FrameList(HWND list)
{
    for (const auto& known : m_lists)
        if (known.first == list) return;
    if (SetWindowSubclass(list, &ListFrameProc, kListSubclass, reinterpret_cast<DWORD_PTR>(this)))
        m_lists.push_back({list, {}});
}

std::array<int, 8> CModuleColors::ScrollState(HWND list)
{
    std::array<int, 8> state = {};
    int i = 0;
    for (LONG object : {OBJID_VSCROLL, OBJID_HSCROLL}) {
        SCROLLBARINFO info = {};
        info.cbSize = sizeof info;
        if (GetScrollBarInfo(list, object, &info)) {
            state[i] = static_cast<int>(info.rgstate[0]);
            state[i + 1] = static_cast<int>(info.rgstate[1] | (info.rgstate[5] << 16));
            state[i + 2] = info.xyThumbTop;
            state[i + 3] = info.xyThumbBottom;
        }
        i += 4;
    }
    return state;
}

LRESULT CALLBACK CModuleColors::ListFrameProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data)
{
    auto* self = reinterpret_cast<CModuleColors*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, &ListFrameProc, id);
        for (auto it = self->m_lists.begin(); it != self->m_lists.end(); ++it)
            if (it->first == list) {
                self->m_lists.erase(it);
                break;
            }
        return DefSubclassProc(list, message, wParam, lParam);
    }
    const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_GETFONT:
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_GETOBJECT:
        break;
    default:
        // The system draws a scroll bar straight away when it changes (a
        // scroll, a new range, a thumb dragged; a list view may do so while
        // it paints): drawn again in the skin's colours.
        for (auto& known : self->m_lists) {
            if (known.first != list) continue;
            const std::array<int, 8> state = ScrollState(list);
            if (message == WM_NCPAINT || message == WM_PAINT || state != known.second) {
                known.second = state;
                self->PaintFrame(list);
            }
            break;
        }
        break;
    }
    return result;
}

void CModuleColors::PaintFrame(HWND list) const
{
    if (!m_drawFrames || !IsWindowVisible(list)) return;
    RECT window = {};
    GetWindowRect(list, &window);
    HDC dc = GetWindowDC(list);
    if (!dc) return;
    const LONG style = GetWindowLongW(list, GWL_STYLE), exStyle = GetWindowLongW(list, GWL_EXSTYLE);
    const int ring = (exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : (style & WS_BORDER) ? 1 : 0;
    RECT edge = {0, 0, window.right - window.left, window.bottom - window.top};
    HBRUSH border = CreateSolidBrush(BorderColour());
    for (int i = 0; i < ring; ++i) {
        FrameRect(dc, &edge, i == 0 ? border : m_listBrush);
        InflateRect(&edge, -1, -1);
    }
    RECT bars[2] = {};
    bool shown[2] = {false, false};
    int i = 0;
    for (LONG object : {OBJID_VSCROLL, OBJID_HSCROLL}) {
        SCROLLBARINFO info = {};
        info.cbSize = sizeof info;
        if (GetScrollBarInfo(list, object, &info) &&
            !(info.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)) &&
            !IsRectEmpty(&info.rcScrollBar)) {
            bars[i] = info.rcScrollBar;
            OffsetRect(&bars[i], -window.left, -window.top);
            PaintScrollBar(dc, bars[i], info, object == OBJID_VSCROLL);
            shown[i] = true;
        }
        ++i;
    }
    if (shown[0] && shown[1]) {  // the corner between the two bars
        RECT corner = {bars[0].left, bars[1].top, bars[0].right, bars[1].bottom};
        FillRect(dc, &corner, m_listBrush);
    }
    DeleteObject(border);
    ReleaseDC(list, dc);
}

void CModuleColors::PaintScrollBar(HDC dc, const RECT& bar, const SCROLLBARINFO& info, bool vertical) const
{
    const bool unavailable = (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0;
    HBRUSH track = CreateSolidBrush(TrackColour());
    FillRect(dc, &bar, track);
    DeleteObject(track);
    const int length = vertical ? bar.bottom - bar.top : bar.right - bar.left;
    const int button = std::min(static_cast<int>(info.dxyLineButton), length / 2);
    const COLORREF glyph = unavailable ? Mix(m_colors.listBack, m_colors.listText, 3) : m_colors.listText;
    HBRUSH glyphBrush = CreateSolidBrush(glyph);
    HPEN glyphPen = CreatePen(PS_SOLID, 1, glyph);
    HGDIOBJ oldBrush = SelectObject(dc, glyphBrush), oldPen = SelectObject(dc, glyphPen);
    for (int end = 0; end < 2; ++end) {
        RECT r = bar;
        if (vertical) {
            if (end == 0) r.bottom = r.top + button;
            else r.top = r.bottom - button;
        } else {
            if (end == 0) r.right = r.left + button;
            else r.left = r.right - button;
        }
        const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        const int half = std::max(2, static_cast<int>(std::min(r.right - r.left, r.bottom - r.top)) / 5);
        // The tip toward the end of the bar, the base across it.
        const int tip = end == 0 ? -half / 2 : half / 2;
        POINT arrow[3];
        if (vertical) {
            arrow[0] = POINT{cx, cy + tip};
            arrow[1] = POINT{cx - half, cy - tip};
            arrow[2] = POINT{cx + half, cy - tip};
        } else {
            arrow[0] = POINT{cx + tip, cy};
            arrow[1] = POINT{cx - tip, cy - half};
            arrow[2] = POINT{cx - tip, cy + half};
        }
        Polygon(dc, arrow, 3);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(glyphBrush);
    DeleteObject(glyphPen);
    if (unavailable || info.xyThumbBottom <= info.xyThumbTop) return;
    RECT thumb = bar;
    if (vertical) {
        thumb.top = bar.top + info.xyThumbTop;
        thumb.bottom = bar.top + info.xyThumbBottom;
        InflateRect(&thumb, -2, -1);
    } else {
        thumb.left = bar.left + info.xyThumbTop;
        thumb.right = bar.left + info.xyThumbBottom;
        InflateRect(&thumb, -1, -2);
    }
    HBRUSH thumbBrush = CreateSolidBrush(ThumbColour());
    FillRect(dc, &thumb, thumbBrush);
    DeleteObject(thumbBrush);
}

LRESULT CALLBACK CModuleColors::HeaderProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data)
{
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

void CModuleColors::PaintHeader(HWND header, HDC dc) const
{
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

COLORREF CModuleColors::Mix(COLORREF a, COLORREF b, int parts)
{
    const auto channel = [parts](int x, int y) { return x + (y - x) / parts; };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

void CModuleColors::FreeBrushes()
{
    for (HBRUSH* brush : {&m_windowBrush, &m_editBrush, &m_listBrush}) {
        if (*brush) DeleteObject(*brush);
        *brush = nullptr;
    }
}

}  // namespace orvo
