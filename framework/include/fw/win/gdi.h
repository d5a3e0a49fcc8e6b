// GDI objects and device contexts that clean up after themselves.
//
//   CPaintDC dc(m_hWnd);                       // BeginPaint ... EndPaint
//   CCompatibleDC mem(dc);                     // CreateCompatibleDC ... DeleteDC
//   mem.SelectObject(m_background);            // put back before the DC goes
//   dc.BitBlt(0, 0, w, h, mem, 0, 0, SRCCOPY);
//
// Every DC class here selects the original pen, brush, font and bitmap back
// into the DC when it ends, so the objects selected into it can be deleted.
// CSelectObject does the same for one object within a smaller scope.
#pragma once

#include <windows.h>

#include <string_view>
#include <utility>

// An owned GDI object of handle type H, deleted with DeleteObject.
template <class H>
class CGdiObjectT {
public:
    CGdiObjectT() noexcept = default;
    explicit CGdiObjectT(H handle) noexcept : m_handle(handle) {}
    CGdiObjectT(CGdiObjectT&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    CGdiObjectT& operator=(CGdiObjectT&& other) noexcept {
        if (this != &other) Attach(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    ~CGdiObjectT() { DeleteObject(); }

    H Get() const noexcept { return m_handle; }
    operator H() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != nullptr; }
    // Deletes what is held and takes over `handle`.
    void Attach(H handle) noexcept {
        if (handle != m_handle) DeleteObject();
        m_handle = handle;
    }
    H Detach() noexcept { return std::exchange(m_handle, nullptr); }
    bool DeleteObject() noexcept {
        bool ok = !m_handle || ::DeleteObject(m_handle) != FALSE;
        m_handle = nullptr;
        return ok;
    }

protected:
    H m_handle = nullptr;
};

class CPen : public CGdiObjectT<HPEN> {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    bool CreatePen(int style, int width, COLORREF color) {
        Attach(::CreatePen(style, width, color));
        return m_handle != nullptr;
    }
};

class CBrush : public CGdiObjectT<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    bool CreateSolidBrush(COLORREF color) {
        Attach(::CreateSolidBrush(color));
        return m_handle != nullptr;
    }
    bool CreateHatchBrush(int hatch, COLORREF color) {
        Attach(::CreateHatchBrush(hatch, color));
        return m_handle != nullptr;
    }
    bool CreatePatternBrush(HBITMAP bitmap) {
        Attach(::CreatePatternBrush(bitmap));
        return m_handle != nullptr;
    }
};

class CFont : public CGdiObjectT<HFONT> {
public:
    CFont() = default;
    bool CreateFontIndirect(const LOGFONTW& lf) {
        Attach(::CreateFontIndirectW(&lf));
        return m_handle != nullptr;
    }
    // A font of the given size in points for the screen (or for `dc`):
    // height -MulDiv(points, LOGPIXELSY, 72).
    bool CreatePointFont(int points, std::wstring_view face, int weight = FW_NORMAL, bool italic = false,
                         bool underline = false, HDC dc = nullptr);
    bool GetLogFont(LOGFONTW& lf) const {
        return m_handle && ::GetObjectW(m_handle, sizeof lf, &lf) == static_cast<int>(sizeof lf);
    }
};

class CBitmap : public CGdiObjectT<HBITMAP> {
public:
    CBitmap() = default;
    // From the resource module (or `module`); false when the bitmap is missing.
    bool LoadBitmap(UINT id, HINSTANCE module = nullptr);
    bool CreateCompatibleBitmap(HDC dc, int width, int height) {
        Attach(::CreateCompatibleBitmap(dc, width, height));
        return m_handle != nullptr;
    }
    // A top-down 32-bit DIB section; `bits` (when given) receives its pixels.
    bool CreateDibSection(int width, int height, void** bits = nullptr);
    SIZE GetSize() const;
};

// A device context that is not owned (the base of the owning ones below).
class CDC {
public:
    CDC() noexcept = default;
    explicit CDC(HDC dc) noexcept : m_hDC(dc) {}
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    // Selects an object; the first object of each kind that was replaced is
    // remembered and put back by RestoreObjects (which the owning DCs call).
    HGDIOBJ SelectObject(HGDIOBJ object);
    void RestoreObjects();

    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    void FillSolidRect(const RECT& rect, COLORREF color);
    int DrawText(std::wstring_view text, RECT& rect, UINT format);
    bool BitBlt(int x, int y, int width, int height, HDC source, int srcX, int srcY, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, width, height, source, srcX, srcY, rop) != FALSE;
    }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

    HDC m_hDC = nullptr;

private:
    HGDIOBJ m_oldPen = nullptr;
    HGDIOBJ m_oldBrush = nullptr;
    HGDIOBJ m_oldFont = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
};

// BeginPaint / EndPaint for WM_PAINT.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hwnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps = {};

private:
    HWND m_hWnd;
};

// GetDC / ReleaseDC of a window's client area.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND hwnd);
    ~CClientDC() override;

private:
    HWND m_hWnd;
};

// GetWindowDC / ReleaseDC: the whole window, frame included.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND hwnd);
    ~CWindowDC() override;

private:
    HWND m_hWnd;
};

// A memory DC compatible with `reference` (the screen when null).
class CCompatibleDC : public CDC {
public:
    explicit CCompatibleDC(HDC reference = nullptr);
    ~CCompatibleDC() override;
};

// Selects one object into a DC for the life of the scope.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_old(object ? ::SelectObject(dc, object) : nullptr) {}
    ~CSelectObject() {
        if (m_old && m_old != HGDI_ERROR) ::SelectObject(m_hDC, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    HGDIOBJ Previous() const { return m_old; }

private:
    HDC m_hDC;
    HGDIOBJ m_old;
};
