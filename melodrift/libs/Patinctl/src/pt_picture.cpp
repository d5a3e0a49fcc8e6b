// Pictures: BMP and PNG files read by GDI+ into premultiplied 32-bit DIBs.
#include "pt_internal.h"

#include <algorithm>
#include <cstring>

#include <objidl.h>
// GDI+ uses min and max unqualified.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace pt {
namespace {

// GDI+ is started once, on the first picture, and left running for the life
// of the process (it must not be started or stopped inside DllMain).
bool g_gdiplusStarted = false;

BOOL CALLBACK StartOnce(PINIT_ONCE, PVOID, PVOID*) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    g_gdiplusStarted = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    return TRUE;
}

bool StartGdiPlus() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, &StartOnce, nullptr, nullptr);
    return g_gdiplusStarted;
}

// The whole file behind a handle, read from offset 0 (pictures are small;
// anything over 64 MB is refused).
bool ReadAll(HANDLE file, std::vector<BYTE>& out) {
    out.clear();
    if (!file || file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > 64 * 1024 * 1024) return false;
    out.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1 << 20));
        if (!ReadFile(file, out.data() + done, want, &got, &at) || got == 0) return false;
        done += got;
    }
    return true;
}

// Decodes a picture to straight (not premultiplied) ARGB pixels.
bool Decode(const std::vector<BYTE>& bytes, int& width, int& height, std::vector<DWORD>& pixels) {
    if (bytes.empty() || !StartGdiPlus()) return false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!memory) return false;
    void* dst = GlobalLock(memory);
    std::memcpy(dst, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return false;
    }
    bool ok = false;
    {
        Gdiplus::Bitmap bitmap(stream, FALSE);
        if (bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0 &&
            bitmap.GetWidth() <= 16384 && bitmap.GetHeight() <= 16384 &&
            static_cast<unsigned long long>(bitmap.GetWidth()) * bitmap.GetHeight() <= 16ull * 1024 * 1024) {
            width = static_cast<int>(bitmap.GetWidth());
            height = static_cast<int>(bitmap.GetHeight());
            Gdiplus::Rect all(0, 0, width, height);
            Gdiplus::BitmapData data{};
            if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
                pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
                for (int y = 0; y < height; ++y) {
                    const BYTE* row = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
                    std::memcpy(&pixels[static_cast<size_t>(y) * static_cast<size_t>(width)], row,
                                static_cast<size_t>(width) * 4);
                }
                bitmap.UnlockBits(&data);
                ok = true;
            }
        }
    }
    stream->Release();
    return ok;
}

}  // namespace

Picture::~Picture() {
    if (m_bitmap) DeleteObject(m_bitmap);
}

DWORD Picture::Pixel(int x, int y) const {
    if (!m_bits || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    return m_bits[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
}

void Picture::Draw(HDC dc, const RECT& src, const RECT& dst, BYTE opacity) const {
    if (!m_bitmap) return;
    int sw = src.right - src.left, sh = src.bottom - src.top;
    int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, m_bitmap);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    AlphaBlend(dc, dst.left, dst.top, dw, dh, mem, src.left, src.top, sw, sh, blend);
    SetStretchBltMode(dc, oldMode);
    SelectObject(mem, old);
    DeleteDC(mem);
}

std::shared_ptr<Picture> Picture::FromBytes(const std::vector<BYTE>& bytes, const std::vector<BYTE>* mask,
                                            COLORREF transparent) {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    if (!Decode(bytes, width, height, pixels)) return nullptr;
    if (mask) {
        int mw = 0, mh = 0;
        std::vector<DWORD> alpha;
        if (!Decode(*mask, mw, mh, alpha)) return nullptr;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                DWORD& p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
                DWORD a = 0;
                if (x < mw && y < mh) {
                    DWORD m = alpha[static_cast<size_t>(y) * static_cast<size_t>(mw) + static_cast<size_t>(x)];
                    a = (((m >> 16) & 0xFF) * 30 + ((m >> 8) & 0xFF) * 59 + (m & 0xFF) * 11) / 100;
                }
                p = (p & 0x00FFFFFF) | (a << 24);
            }
        }
    } else if (transparent != CLR_INVALID) {
        DWORD key = (static_cast<DWORD>(GetRValue(transparent)) << 16) |
                    (static_cast<DWORD>(GetGValue(transparent)) << 8) | GetBValue(transparent);
        for (DWORD& p : pixels)
            if ((p & 0x00FFFFFF) == key) p = 0;
    }
    auto picture = std::make_shared<Picture>();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture->m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!picture->m_bitmap || !bits) return nullptr;
    picture->m_bits = static_cast<DWORD*>(bits);
    picture->m_width = width;
    picture->m_height = height;
    for (size_t i = 0; i < pixels.size(); ++i) {
        DWORD p = pixels[i];
        DWORD a = p >> 24;
        DWORD r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
        picture->m_bits[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    GdiFlush();
    return picture;
}

std::shared_ptr<Picture> Picture::FromHandle(HANDLE file, HANDLE mask, COLORREF transparent) {
    std::vector<BYTE> bytes, maskBytes;
    if (!ReadAll(file, bytes)) return nullptr;
    if (mask && mask != INVALID_HANDLE_VALUE) {
        if (!ReadAll(mask, maskBytes)) return nullptr;
        return FromBytes(bytes, &maskBytes, transparent);
    }
    return FromBytes(bytes, nullptr, transparent);
}

std::shared_ptr<Picture> Picture::FromPath(const std::wstring& path, const std::wstring& maskPath,
                                           COLORREF transparent) {
    auto open = [](const std::wstring& p) {
        return CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    };
    HANDLE file = open(path);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE mask = maskPath.empty() ? nullptr : open(maskPath);
    std::shared_ptr<Picture> picture;
    if (mask != INVALID_HANDLE_VALUE) picture = FromHandle(file, mask, transparent);
    CloseHandle(file);
    if (mask && mask != INVALID_HANDLE_VALUE) CloseHandle(mask);
    return picture;
}

void DrawThreePart(HDC dc, const Picture& pic, const RECT& src, const RECT& dst, int cap, bool horizontal) {
    int slen = horizontal ? src.right - src.left : src.bottom - src.top;
    int dlen = horizontal ? dst.right - dst.left : dst.bottom - dst.top;
    cap = std::max(0, std::min(cap, std::min(slen / 2, dlen / 2)));
    if (cap == 0) {
        pic.Draw(dc, src, dst);
        return;
    }
    if (horizontal) {
        pic.Draw(dc, {src.left, src.top, src.left + cap, src.bottom}, {dst.left, dst.top, dst.left + cap, dst.bottom});
        pic.Draw(dc, {src.left + cap, src.top, src.right - cap, src.bottom},
                 {dst.left + cap, dst.top, dst.right - cap, dst.bottom});
        pic.Draw(dc, {src.right - cap, src.top, src.right, src.bottom}, {dst.right - cap, dst.top, dst.right, dst.bottom});
    } else {
        pic.Draw(dc, {src.left, src.top, src.right, src.top + cap}, {dst.left, dst.top, dst.right, dst.top + cap});
        pic.Draw(dc, {src.left, src.top + cap, src.right, src.bottom - cap},
                 {dst.left, dst.top + cap, dst.right, dst.bottom - cap});
        pic.Draw(dc, {src.left, src.bottom - cap, src.right, src.bottom}, {dst.left, dst.bottom - cap, dst.right, dst.bottom});
    }
}

void DrawNinePart(HDC dc, const Picture& pic, const RECT& src, const RECT& dst, int l, int t, int r, int b) {
    int sx[4] = {src.left, src.left + l, src.right - r, src.right};
    int sy[4] = {src.top, src.top + t, src.bottom - b, src.bottom};
    int dx[4] = {dst.left, dst.left + l, dst.right - r, dst.right};
    int dy[4] = {dst.top, dst.top + t, dst.bottom - b, dst.bottom};
    if (sx[1] > sx[2] || sy[1] > sy[2] || dx[1] > dx[2] || dy[1] > dy[2]) {
        pic.Draw(dc, src, dst);
        return;
    }
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            pic.Draw(dc, {sx[i], sy[j], sx[i + 1], sy[j + 1]}, {dx[i], dy[j], dx[i + 1], dy[j + 1]});
}

void FillSolid(HDC dc, const RECT& rc, COLORREF color) {
    COLORREF old = SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void FillGradient(HDC dc, const RECT& rc, COLORREF from, COLORREF to, bool vertical) {
    TRIVERTEX v[2] = {};
    v[0].x = rc.left;
    v[0].y = rc.top;
    v[0].Red = static_cast<COLOR16>(GetRValue(from) << 8);
    v[0].Green = static_cast<COLOR16>(GetGValue(from) << 8);
    v[0].Blue = static_cast<COLOR16>(GetBValue(from) << 8);
    v[1].x = rc.right;
    v[1].y = rc.bottom;
    v[1].Red = static_cast<COLOR16>(GetRValue(to) << 8);
    v[1].Green = static_cast<COLOR16>(GetGValue(to) << 8);
    v[1].Blue = static_cast<COLOR16>(GetBValue(to) << 8);
    GRADIENT_RECT gr = {0, 1};
    GradientFill(dc, v, 2, &gr, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

}  // namespace pt
