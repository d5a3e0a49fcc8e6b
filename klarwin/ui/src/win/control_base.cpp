#include "klarwin/ui/control_base.h"

#include <vector>

// ===========================================================================
// CControlWnd
// ===========================================================================

const CMessageMap& CControlWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CControlWnd>(&CWnd::GetThisMessageMap());
    return map;
}

bool CControlWnd::SubclassWindow(HWND hwnd) {
    if (!CWnd::SubclassWindow(hwnd)) return false;
    PreSubclassWindow();
    return true;
}

bool CControlWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent || !parent->m_hWnd) return false;
    HWND item = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
    return item && SubclassWindow(item);
}

bool CControlWnd::CreateControl(const wchar_t* className, std::wstring_view text, DWORD style, const RECT& rect,
                                CWnd* parent, UINT id, DWORD exStyle) {
    if (m_hWnd || !parent || !parent->m_hWnd) return false;
    std::wstring caption(text);
    if (!CreateEx(exStyle, className, caption.c_str(), style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent->m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id))))
        return false;
    PreSubclassWindow();
    return true;
}

// ===========================================================================
// CButton, CStatic
// ===========================================================================

const CMessageMap& CButton::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CButton>(&CControlWnd::GetThisMessageMap());
    return map;
}

bool CButton::Create(std::wstring_view caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateControl(L"Button", caption, style, rect, parent, id);
}

const CMessageMap& CStatic::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CStatic>(&CControlWnd::GetThisMessageMap());
    return map;
}

bool CStatic::Create(std::wstring_view text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateControl(L"Static", text, style, rect, parent, id);
}

HBITMAP CStatic::SetBitmap(HBITMAP bitmap) {
    return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
}

HBITMAP CStatic::GetBitmap() const {
    return reinterpret_cast<HBITMAP>(SendMessage(STM_GETIMAGE, IMAGE_BITMAP, 0));
}

// ===========================================================================
// CListCtrl
// ===========================================================================

const CMessageMap& CListCtrl::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CListCtrl>(&CControlWnd::GetThisMessageMap());
    return map;
}

bool CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateControl(WC_LISTVIEWW, L"", style, rect, parent, id);
}

int CListCtrl::InsertColumn(int column, std::wstring_view heading, int format, int width) {
    std::wstring text(heading);
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = format;
    col.pszText = text.data();
    col.iSubItem = column;
    if (width >= 0) {
        col.mask |= LVCF_WIDTH;
        col.cx = width;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int item, std::wstring_view text) {
    std::wstring copy(text);
    LVITEMW lvi = {};
    lvi.mask = LVIF_TEXT;
    lvi.iItem = item;
    lvi.pszText = copy.data();
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi)));
}

bool CListCtrl::SetItemText(int item, int subItem, std::wstring_view text) {
    std::wstring copy(text);
    LVITEMW lvi = {};
    lvi.iSubItem = subItem;
    lvi.pszText = copy.data();
    return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)) != 0;
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW lvi = {};
        lvi.iSubItem = subItem;
        lvi.pszText = buffer.data();
        lvi.cchTextMax = static_cast<int>(buffer.size());
        LRESULT n = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
        if (n < static_cast<LRESULT>(buffer.size()) - 1 || buffer.size() >= 65536)
            return std::wstring(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0));
        buffer.resize(buffer.size() * 4);
    }
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle));
}

int CListCtrl::HitTest(LVHITTESTINFO& info) const {
    return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
}

bool CListCtrl::RedrawItems(int first, int last) {
    if (!SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(first), last)) return false;
    UpdateWindow();
    return true;
}

bool CListCtrl::GetItemRect(int item, RECT& rect, int code) const {
    rect = {};
    rect.left = code;
    return SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)) != 0;
}

// ===========================================================================
// CToolTipCtrl
// ===========================================================================

const CMessageMap& CToolTipCtrl::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CToolTipCtrl>(&CControlWnd::GetThisMessageMap());
    return map;
}

bool CToolTipCtrl::Create(CWnd* owner, DWORD style) {
    if (m_hWnd || !owner || !owner->m_hWnd) return false;
    if (!CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, owner->m_hWnd, nullptr))
        return false;
    m_hOwner = owner->m_hWnd;
    PreSubclassWindow();
    return true;
}

TTTOOLINFOW CToolTipCtrl::ToolInfo(HWND tool) const {
    TTTOOLINFOW ti = {};
    // The size without the reserved pointer at the end, which older common
    // controls reject.
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hOwner;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    return ti;
}

bool CToolTipCtrl::AddTool(HWND tool, std::wstring_view text) {
    if (!m_hWnd || !tool) return false;
    std::wstring copy(text);
    TTTOOLINFOW ti = ToolInfo(tool);
    ti.lpszText = copy.data();
    return SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}

bool CToolTipCtrl::UpdateTipText(HWND tool, std::wstring_view text) {
    if (!m_hWnd || !tool) return false;
    std::wstring copy(text);
    TTTOOLINFOW ti = ToolInfo(tool);
    ti.lpszText = copy.data();
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    return true;
}

std::wstring CToolTipCtrl::GetToolText(HWND tool) const {
    if (!m_hWnd || !tool) return std::wstring();
    // TTM_GETTEXT has no size: the buffer must hold the longest tip we set.
    std::vector<wchar_t> buffer(4096, L'\0');
    TTTOOLINFOW ti = ToolInfo(tool);
    ti.lpszText = buffer.data();
    SendMessage(TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&ti));
    return std::wstring(buffer.data());
}

// ===========================================================================
// Drawing helpers
// ===========================================================================
namespace kwui {

UINT StaticTextFlags(DWORD style) {
    UINT flags = 0;
    const DWORD type = style & SS_TYPEMASK;
    if (type == SS_CENTER) flags |= DT_CENTER;
    else if (type == SS_RIGHT) flags |= DT_RIGHT;
    else flags |= DT_LEFT;
    if (style & SS_CENTERIMAGE) flags |= DT_VCENTER | DT_SINGLELINE;
    else flags |= DT_WORDBREAK;
    if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
    return flags;
}

bool PointerOutside(HWND wnd) {
    const DWORD pos = GetMessagePos();
    POINT pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    ScreenToClient(wnd, &pt);
    RECT rc = {};
    GetClientRect(wnd, &rc);
    return !PtInRect(&rc, pt);
}

void PaintBackgroundUnder(HWND child, HDC dc) {
    HWND parent = ::GetParent(child);
    if (!parent || !dc) return;
    POINT origin = {0, 0};
    MapWindowPoints(child, parent, &origin, 1);
    POINT old = {};
    OffsetWindowOrgEx(dc, origin.x, origin.y, &old);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SetWindowOrgEx(dc, old.x, old.y, nullptr);

    // Siblings below the child that it covers, painted bottom first.
    RECT area = {};
    ::GetWindowRect(child, &area);
    std::vector<HWND> under;
    for (HWND s = GetWindow(child, GW_HWNDNEXT); s; s = GetWindow(s, GW_HWNDNEXT)) {
        RECT rc = {}, common = {};
        if (!::IsWindowVisible(s) || !::GetWindowRect(s, &rc) || !IntersectRect(&common, &rc, &area)) continue;
        under.push_back(s);
    }
    for (auto it = under.rbegin(); it != under.rend(); ++it) {
        POINT at = {0, 0};
        MapWindowPoints(*it, child, &at, 1);
        OffsetWindowOrgEx(dc, -at.x, -at.y, &old);
        ::SendMessageW(*it, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
        SetWindowOrgEx(dc, old.x, old.y, nullptr);
    }
}

void InvalidateParentUnder(HWND child) {
    HWND parent = ::GetParent(child);
    if (!parent) {
        ::InvalidateRect(child, nullptr, TRUE);
        return;
    }
    RECT rc = {};
    ::GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    RedrawWindow(parent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

COffscreenDC::COffscreenDC(HDC target, const RECT& rect) : m_target(target), m_rect(rect) {
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    m_hDC = CreateCompatibleDC(target);
    if (m_hDC && w > 0 && h > 0 && m_bitmap.CreateCompatibleBitmap(target, w, h)) {
        SelectObject(m_bitmap);
        SetWindowOrgEx(m_hDC, rect.left, rect.top, nullptr);
    } else if (m_hDC) {
        // No off-screen bitmap: paint straight into the target.
        DeleteDC(m_hDC);
        m_hDC = target;
    }
}

COffscreenDC::~COffscreenDC() {
    if (!m_hDC) return;
    if (m_hDC != m_target) {
        int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
        SetWindowOrgEx(m_hDC, 0, 0, nullptr);
        ::BitBlt(m_target, m_rect.left, m_rect.top, w, h, m_hDC, 0, 0, SRCCOPY);
    }
    RestoreObjects();
    if (m_hDC != m_target) DeleteDC(m_hDC);
    m_hDC = nullptr;
}

bool CreateArialFont(CFont& font, int points, int weight, bool underline) {
    return font.CreatePointFont(points, L"Arial", weight, false, underline);
}

bool CreateFontVariant(CFont& font, HFONT source, bool underline) {
    LOGFONTW lf = {};
    HGDIOBJ from = source ? static_cast<HGDIOBJ>(source) : GetStockObject(DEFAULT_GUI_FONT);
    if (GetObjectW(from, sizeof lf, &lf) != static_cast<int>(sizeof lf)) return false;
    lf.lfUnderline = underline ? TRUE : FALSE;
    return font.CreateFontIndirect(lf);
}

}  // namespace kwui
