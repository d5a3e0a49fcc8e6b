#include "starting_dlg.h"

#include "../res/resource.h"
#include "host_resources.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <objidl.h>
// GDI+ uses min and max unqualified.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

struct CStartingDlg::Gdi {
    ULONG_PTR token = 0;
    std::unique_ptr<Gdiplus::Bitmap> picture;
    IStream* stream = nullptr;  // the picture reads from it for its whole life

    Gdi() {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) token = 0;
    }
    ~Gdi() {
        picture.reset();
        if (stream) stream->Release();
        if (token) Gdiplus::GdiplusShutdown(token);
    }

    void LoadPicture() {
        HINSTANCE module = mdhost::ResourceModuleFor(MAKEINTRESOURCEW(IDR_SPLASH_PICTURE), L"IMG");
        HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(IDR_SPLASH_PICTURE), L"IMG");
        HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        DWORD size = info ? SizeofResource(module, info) : 0;
        if (!token || !bytes || size == 0) return;
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!copy) return;
        std::memcpy(GlobalLock(copy), bytes, size);
        GlobalUnlock(copy);
        if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
            GlobalFree(copy);
            stream = nullptr;
            return;
        }
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream);
        if (bitmap->GetLastStatus() == Gdiplus::Ok) picture = std::move(bitmap);
    }
};

CStartingDlg::CStartingDlg() : CDialog(IDD_STARTING), m_gdi(std::make_unique<Gdi>()) {}

CStartingDlg::~CStartingDlg() {
    if (m_hWnd) DestroyWindow();
}

const CMessageMap& CStartingDlg::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CStartingDlg>(&CDialog::GetThisMessageMap());
    return map;
}

bool CStartingDlg::CreateSplash(CWnd* parent) {
    mdhost::CDialogResourceScope scope(IDD_STARTING);
    return Create(IDD_STARTING, parent);
}

bool CStartingDlg::HasPicture() const { return m_gdi->picture != nullptr; }

BOOL CStartingDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ModifyStyle(WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME, 0);
    ModifyStyleEx(WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    CenterWindow();
    m_gdi->LoadPicture();
    Redraw();
    return TRUE;
}

void CStartingDlg::SetStatus(const std::wstring& text) {
    m_status = text;
    if (!m_hWnd) return;
    SetDlgItemText(IDC_STARTING_STATUS, text);
    Redraw();
}

void CStartingDlg::Redraw() {
    if (!m_hWnd) return;
    RECT rc = GetWindowRect();
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) return;

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) {
        ::ReleaseDC(nullptr, screen);
        return;
    }
    {
        // Premultiplied ARGB straight into the bitmap the window is updated from.
        Gdiplus::Bitmap canvas(w, h, w * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
        Gdiplus::Graphics g(&canvas);
        g.Clear(Gdiplus::Color(0, 0, 0, 0));
        g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        if (m_gdi->picture) g.DrawImage(m_gdi->picture.get(), 0, 0, w, h);
        else g.Clear(Gdiplus::Color(255, 240, 240, 240));

        LOGFONTW lf = {};
        HFONT dialogFont = GetFont();
        if (!dialogFont || !GetObjectW(dialogFont, sizeof lf, &lf)) {
            lf.lfHeight = -11;
            wcscpy_s(lf.lfFaceName, L"Microsoft Sans Serif");
        }
        const wchar_t* faces[] = {lf.lfFaceName, L"Microsoft Sans Serif", L"Arial"};
        std::unique_ptr<Gdiplus::FontFamily> family;
        for (const wchar_t* face : faces) {
            auto f = std::make_unique<Gdiplus::FontFamily>(face);
            if (f->IsAvailable()) {
                family = std::move(f);
                break;
            }
        }
        if (family) {
            Gdiplus::REAL height = static_cast<Gdiplus::REAL>(lf.lfHeight < 0 ? -lf.lfHeight : (lf.lfHeight ? lf.lfHeight : 11));
            Gdiplus::Font font(family.get(), height, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
            Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
            g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
            g.DrawString(m_status.c_str(), -1, &font, Gdiplus::PointF(kTextX, kTextY), &black);
        }
    }
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, dib);
    POINT position = {rc.left, rc.top};
    SIZE size = {w, h};
    POINT origin = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(m_hWnd, screen, &position, &size, mem, &origin, 0, &blend, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    ::ReleaseDC(nullptr, screen);
}
