#include "fw/testing/screenshot.h"

#include <array>
#include <cstring>
#include <fstream>
#include <system_error>

namespace fw::testing {

bool CaptureWindow(HWND hwnd, Image& image) {
    RECT rc = {};
    if (!GetWindowRect(hwnd, &rc)) return false;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) return false;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    // The window's own DC: what the window has drawn, even before the display
    // server was told about it (Wine draws into a surface of its own first).
    HDC source = GetWindowDC(hwnd);
    HBITMAP dib = CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(source);
    bool ok = false;
    if (dib && mem) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, h, source, 0, 0, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(mem, old);
        if (ok) {
            image.width = w;
            image.height = h;
            const auto* p = static_cast<const std::uint32_t*>(bits);
            image.pixels.assign(p, p + static_cast<std::size_t>(w) * h);
        }
    }
    if (mem) DeleteDC(mem);
    if (dib) DeleteObject(dib);
    ReleaseDC(hwnd, source);
    return ok;
}

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    PutBig32(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBig32(png, Crc32(body.data(), body.size()));
}

// PNG with an uncompressed ("stored") deflate stream: no compression library needed.
std::vector<std::uint8_t> EncodePng(const Image& image) {
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(image.height) * (1 + 3 * static_cast<std::size_t>(image.width)));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t p = image.At(x, y);
            raw.push_back(static_cast<std::uint8_t>(p >> 16));
            raw.push_back(static_cast<std::uint8_t>(p >> 8));
            raw.push_back(static_cast<std::uint8_t>(p));
        }
    }
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        std::size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<std::uint8_t>(n));
        z.push_back(static_cast<std::uint8_t>(n >> 8));
        z.push_back(static_cast<std::uint8_t>(~n));
        z.push_back(static_cast<std::uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(z, (b << 16) | a);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    PutBig32(ihdr, static_cast<std::uint32_t>(image.width));
    PutBig32(ihdr, static_cast<std::uint32_t>(image.height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

std::vector<std::uint8_t> EncodeBmp(const Image& image) {
    std::uint32_t rowBytes = static_cast<std::uint32_t>(image.width) * 4;
    std::uint32_t dataSize = rowBytes * static_cast<std::uint32_t>(image.height);
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + dataSize;
    ih.biSize = sizeof ih;
    ih.biWidth = image.width;
    ih.biHeight = -image.height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    std::vector<std::uint8_t> out(fh.bfSize);
    std::memcpy(out.data(), &fh, sizeof fh);
    std::memcpy(out.data() + sizeof fh, &ih, sizeof ih);
    std::memcpy(out.data() + fh.bfOffBits, image.pixels.data(), dataSize);
    return out;
}

}  // namespace

bool SaveImage(const Image& image, const std::filesystem::path& file) {
    if (image.width <= 0 || image.height <= 0) return false;
    std::wstring ext = file.extension().wstring();
    bool bmp = ext == L".bmp" || ext == L".BMP";
    std::vector<std::uint8_t> bytes = bmp ? EncodeBmp(image) : EncodePng(image);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool SaveWindowScreenshot(HWND hwnd, const std::filesystem::path& file) {
    Image image;
    return CaptureWindow(hwnd, image) && SaveImage(image, file);
}

std::filesystem::path ScreenshotPath(const std::wstring& name) {
    wchar_t exe[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH * 2);
    std::filesystem::path start = std::filesystem::path(exe).parent_path();
    std::filesystem::path build = start;
    std::error_code ec;
    for (std::filesystem::path d = start; !d.empty(); d = d.parent_path()) {
        if (std::filesystem::exists(d / L"CMakeCache.txt", ec)) {
            build = d;
            break;
        }
        if (d == d.parent_path()) break;
    }
    std::filesystem::path folder = build / L"screenshots";
    std::filesystem::create_directories(folder, ec);
    return folder / name;
}

}  // namespace fw::testing
