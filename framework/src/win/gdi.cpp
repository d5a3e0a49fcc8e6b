#include "fw/win/gdi.h"

#include "fw/win/app.h"
#include "fw/win/menu.h"

#include <string>

bool CFont::CreatePointFont(int points, std::wstring_view face, int weight, bool italic, bool underline, HDC dc) {
    HDC screen = dc ? dc : GetDC(nullptr);
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    if (!dc) ReleaseDC(nullptr, screen);
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(points, dpi, 72);
    lf.lfWeight = weight;
    lf.lfItalic = italic ? TRUE : FALSE;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    std::wstring name(face.substr(0, LF_FACESIZE - 1));
    name.copy(lf.lfFaceName, name.size());
    return CreateFontIndirect(lf);
}

bool CBitmap::LoadBitmap(UINT id, HINSTANCE module) {
    HANDLE image = LoadImageW(module ? module : AfxGetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION);
    Attach(static_cast<HBITMAP>(image));
    return m_handle != nullptr;
}

bool CBitmap::CreateDibSection(int width, int height, void** bits) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    Attach(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (bits) *bits = m_handle ? pixels : nullptr;
    return m_handle != nullptr;
}

SIZE CBitmap::GetSize() const {
    SIZE size = {0, 0};
    BITMAP bm = {};
    if (m_handle && ::GetObjectW(m_handle, sizeof bm, &bm)) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
    return size;
}

// ---------------------------------------------------------------------------
// Device contexts

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
    if (!m_hDC || !object) return nullptr;
    HGDIOBJ old = ::SelectObject(m_hDC, object);
    if (!old || old == HGDI_ERROR) return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (GetObjectType(object)) {
    case OBJ_PEN:
    case OBJ_EXTPEN: slot = &m_oldPen; break;
    case OBJ_BRUSH: slot = &m_oldBrush; break;
    case OBJ_FONT: slot = &m_oldFont; break;
    case OBJ_BITMAP: slot = &m_oldBitmap; break;
    default: break;
    }
    if (slot && !*slot) *slot = old;
    return old;
}

void CDC::RestoreObjects() {
    if (!m_hDC) return;
    for (HGDIOBJ* slot : {&m_oldPen, &m_oldBrush, &m_oldFont, &m_oldBitmap}) {
        if (*slot) ::SelectObject(m_hDC, *slot);
        *slot = nullptr;
    }
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
    COLORREF old = ::SetBkColor(m_hDC, color);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

int CDC::DrawText(std::wstring_view text, RECT& rect, UINT format) {
    return ::DrawTextW(m_hDC, text.data(), static_cast<int>(text.size()), &rect, format);
}

CPaintDC::CPaintDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = BeginPaint(hwnd, &m_ps); }

CPaintDC::~CPaintDC() {
    RestoreObjects();
    EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = GetDC(hwnd); }

CClientDC::~CClientDC() {
    RestoreObjects();
    if (m_hDC) ReleaseDC(m_hWnd, m_hDC);
}

CWindowDC::CWindowDC(HWND hwnd) : m_hWnd(hwnd) { m_hDC = GetWindowDC(hwnd); }

CWindowDC::~CWindowDC() {
    RestoreObjects();
    if (m_hDC) ReleaseDC(m_hWnd, m_hDC);
}

CCompatibleDC::CCompatibleDC(HDC reference) { m_hDC = CreateCompatibleDC(reference); }

CCompatibleDC::~CCompatibleDC() {
    RestoreObjects();
    if (m_hDC) DeleteDC(m_hDC);
}

// ---------------------------------------------------------------------------
// Menus

bool CMenu::LoadMenu(UINT id, HINSTANCE module) {
    Attach(::LoadMenuW(module ? module : AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
    return m_hMenu != nullptr;
}

bool CMenu::CreateMenu() {
    Attach(::CreateMenu());
    return m_hMenu != nullptr;
}

bool CMenu::CreatePopupMenu() {
    Attach(::CreatePopupMenu());
    return m_hMenu != nullptr;
}

bool CMenu::DestroyMenu() {
    bool ok = !m_hMenu || ::DestroyMenu(m_hMenu) != FALSE;
    m_hMenu = nullptr;
    return ok;
}

void CMenu::Attach(HMENU menu) {
    if (menu != m_hMenu) DestroyMenu();
    m_hMenu = menu;
}

std::wstring CMenu::GetMenuString(UINT item, UINT flags) const {
    int len = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
    if (len <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
    int got = ::GetMenuStringW(m_hMenu, item, text.data(), len + 1, flags);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}
