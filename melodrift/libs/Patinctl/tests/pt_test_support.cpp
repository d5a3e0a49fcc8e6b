#include "pt_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <objidl.h>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
#include <shellapi.h>

namespace pttest {
namespace {

std::vector<Message> g_messages;

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
        g_messages.push_back({message, wParam, lParam});
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

struct GdiPlus {
    GdiPlus() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    ULONG_PTR token = 0;
};

bool PngEncoder(CLSID& clsid) {
    static GdiPlus gdi;
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i)
        if (lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

}  // namespace

TempDir::TempDir() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    m_path = std::wstring(base) + L"pttest_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++counter);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

TempDir::~TempDir() {
    std::wstring from = m_path + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

bool WriteBmp(const std::wstring& path, int width, int height, const std::function<COLORREF(int, int)>& pixel) {
    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<BYTE> data(info.biSizeImage);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            BYTE* p = &data[static_cast<size_t>((height - 1 - y) * stride + x * 3)];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, &file, sizeof(file), &written, nullptr) && WriteFile(h, &info, sizeof(info), &written, nullptr) &&
              WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(h);
    return ok;
}

bool WritePng(const std::wstring& path, int width, int height, const std::function<DWORD(int, int)>& pixel) {
    CLSID png{};
    if (!PngEncoder(png)) return false;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(pixel(x, y)));
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool WriteText(const std::wstring& path, const std::string& text) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
    CloseHandle(h);
    return ok;
}

PictureFile::PictureFile(const std::wstring& path)
    : m_handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr)) {}

PictureFile::~PictureFile() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
}

Host::Host(int width, int height, int x, int y) {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PtTestHost";
        wc.hbrBackground = CreateSolidBrush(kBackground);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        return RegisterClassW(&wc);
    }();
    (void)atom;
    PtRegisterClasses();
    m_hwnd = CreateWindowExW(WS_EX_TOPMOST, L"PtTestHost", L"Patinctl test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x,
                             y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    g_messages.clear();
    Pump(50);
}

Host::~Host() {
    DestroyWindow(m_hwnd);
    g_messages.clear();
}

std::vector<Message>& Host::Messages() { return g_messages; }

std::vector<Message> Host::Of(UINT message) {
    std::vector<Message> out;
    for (const Message& m : g_messages)
        if (m.message == message) out.push_back(m);
    return out;
}

std::unique_ptr<enXml> Element(const wchar_t* name,
                               std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes) {
    auto element = std::make_unique<enXml>(name);
    for (const auto& [key, value] : attributes) element->SetAttribute(key, value);
    return element;
}

BOOL UseSkin(HWND control, HANDLE picture, HANDLE alpha, const enXml* element) {
    PT_SKIN_RESOURCE resource{};
    resource.cbSize = sizeof(resource);
    resource.hPicture = picture;
    resource.hAlphaPicture = alpha;
    resource.pElement = element;
    return static_cast<BOOL>(SendMessageW(control, PTM_USECUSTOMSKIN, 0, reinterpret_cast<LPARAM>(&resource)));
}

COLORREF PixelAt(HWND control, int x, int y) {
    RECT rc;
    GetClientRect(control, &rc);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = std::max<LONG>(rc.right, 1);
    info.bmiHeader.biHeight = -std::max<LONG>(rc.bottom, 1);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    COLORREF color = GetPixel(mem, x, y);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return color;
}

COLORREF ScreenPixelAt(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return color;
}

void Pump(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (static_cast<LONG>(end - GetTickCount()) <= 0) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (true);
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (!done()) {
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return done();
        Pump(20);
    }
    return true;
}

void MouseDown(HWND hwnd, int x, int y) { SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void MouseMove(HWND hwnd, int x, int y, bool down) {
    SendMessageW(hwnd, WM_MOUSEMOVE, down ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}
void MouseUp(HWND hwnd, int x, int y) { SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

bool Near(COLORREF a, COLORREF b, int room) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= room && std::abs(GetGValue(a) - GetGValue(b)) <= room &&
           std::abs(GetBValue(a) - GetBValue(b)) <= room;
}

bool SaveWindowPng(HWND window, const std::wstring& path) {
    CLSID png{};
    if (!PngEncoder(png)) return false;
    RECT rc;
    GetWindowRect(window, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    SelectObject(mem, old);
    bool ok = false;
    {
        Gdiplus::Bitmap bitmap(bmp, nullptr);
        ok = bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

}  // namespace pttest
