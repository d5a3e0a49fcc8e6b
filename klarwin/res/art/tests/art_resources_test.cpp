// Loads Klarwin's generated artwork the way the windows use it: bitmaps and the program
// icon from the resources, buttons through TransparentBlt with their colour key (stretched
// where a window stretches them), and Loading.gif through OLE from the program's folder.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kKey = RGB(255, 0, 0);
constexpr COLORREF kCloseKey = RGB(255, 10, 0);

struct BitmapSpec {
    int id;
    int width;
    int height;
};

// Every bitmap the windows load, in the size their layouts are made for.
const BitmapSpec kBitmaps[] = {
    {149, 770, 571}, {154, 24, 24},   {155, 24, 24},   {156, 24, 24},   {157, 24, 24},
    {187, 181, 50},  {188, 181, 50},  {189, 181, 50},  {190, 181, 50},  {191, 181, 50},
    {192, 181, 50},  {193, 181, 50},  {194, 181, 50},  {195, 181, 50},  {196, 181, 50},
    {197, 26, 13},   {200, 528, 461}, {201, 450, 393}, {202, 81, 21},   {203, 121, 21},
    {204, 80, 31},   {211, 570, 498}, {237, 113, 31},  {238, 113, 31},  {240, 113, 31},
    {241, 113, 31},  {242, 100, 21},  {247, 528, 461}, {248, 16, 16},   {252, 145, 33},
    {253, 145, 33},  {254, 145, 33},  {255, 145, 33},  {256, 145, 33},  {257, 210, 75},
    {259, 210, 75},  {260, 210, 75},  {261, 210, 75},  {262, 210, 75},  {265, 213, 61},
    {267, 210, 75},
};

struct ButtonUse {
    int id;
    COLORREF key;
    int width;  // size the window gives the button (the bitmap is stretched over it)
    int height;
};

const ButtonUse kButtons[] = {
    {154, kCloseKey, 24, 24}, {155, kCloseKey, 24, 24}, {156, kKey, 24, 24}, {157, kKey, 24, 24},
    {187, kKey, 181, 50},     {188, kKey, 181, 50},     {189, kKey, 181, 50}, {190, kKey, 181, 50},
    {191, kKey, 181, 50},     {192, kKey, 181, 50},     {193, kKey, 181, 50}, {194, kKey, 181, 50},
    {195, kKey, 181, 50},     {196, kKey, 181, 50},     {202, kKey, 81, 21},  {203, kKey, 121, 21},
    {203, kKey, 90, 21},      {203, kKey, 118, 21},     {204, kKey, 80, 31},  {237, kKey, 113, 31},
    {238, kKey, 113, 31},     {240, kKey, 113, 31},     {241, kKey, 113, 31}, {242, kKey, 100, 21},
};

// A 32-bit top-down DIB section selected into a memory DC, for reading pixels back.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<std::uint32_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool valid() const { return bits_ != nullptr; }
    HDC dc() const { return dc_; }
    void fill(COLORREF colour) {
        GdiFlush();
        for (int i = 0; i < width_ * height_; ++i)
            bits_[i] = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    }
    COLORREF at(int x, int y) const {
        GdiFlush();
        std::uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

HBITMAP loadBitmap(int id) {
    return static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

int colourDistance(COLORREF a, COLORREF b) {
    int dr = GetRValue(a) - GetRValue(b), dg = GetGValue(a) - GetGValue(b), db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

// Draws bitmap `id` into a surface of its own size and returns the pixel at x, y.
COLORREF bitmapPixel(int id, int width, int height, int x, int y) {
    HBITMAP bitmap = loadBitmap(id);
    Surface surface(width, height);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(surface.dc(), 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(bitmap);
    return surface.at(x, y);
}

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::vector<char> readFile(const std::wstring& path) {
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, nullptr);
    DWORD read = 0;
    bytes.resize(size);
    if (size == INVALID_FILE_SIZE || !ReadFile(file, bytes.data(), size, &read, nullptr) || read != size)
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

TEST(KlarwinArtResources, EveryBitmapLoadsAt24BitsInItsLayoutSize) {
    for (const BitmapSpec& spec : kBitmaps) {
        SCOPED_TRACE(spec.id);
        HBITMAP bitmap = loadBitmap(spec.id);
        ASSERT_NE(bitmap, nullptr);
        DIBSECTION section = {};
        ASSERT_EQ(GetObjectW(bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
        EXPECT_EQ(section.dsBm.bmWidth, spec.width);
        EXPECT_EQ(std::abs(section.dsBm.bmHeight), spec.height);
        EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
        DeleteObject(bitmap);
    }
}

TEST(KlarwinArtResources, KeyedButtonsShowTheWindowAtTheirCornersAndNoKeyColour) {
    const COLORREF window = RGB(1, 2, 3);  // stands for whatever the window painted under the button
    for (const ButtonUse& use : kButtons) {
        SCOPED_TRACE(testing::Message() << use.id << " at " << use.width << "x" << use.height);
        HBITMAP bitmap = loadBitmap(use.id);
        ASSERT_NE(bitmap, nullptr);
        BITMAP info = {};
        GetObjectW(bitmap, sizeof(info), &info);
        Surface surface(use.width, use.height);
        ASSERT_TRUE(surface.valid());
        surface.fill(window);
        HDC source = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(source, bitmap);
        ASSERT_TRUE(TransparentBlt(surface.dc(), 0, 0, use.width, use.height, source, 0, 0, info.bmWidth,
                                   info.bmHeight, use.key));
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(bitmap);

        EXPECT_EQ(surface.at(0, 0), window);
        EXPECT_EQ(surface.at(use.width - 1, use.height - 1), window);
        if (use.id != 154 && use.id != 156) {  // bare glyphs leave their middle open
            EXPECT_NE(surface.at(use.width / 2, use.height / 2), window);
        }
        int reddish = 0;
        int shown = 0;
        for (int y = 0; y < use.height; ++y) {
            for (int x = 0; x < use.width; ++x) {
                COLORREF p = surface.at(x, y);
                if (p != window)
                    ++shown;
                if (colourDistance(p, use.key) < 60 * 60)
                    ++reddish;
            }
        }
        EXPECT_EQ(reddish, 0);
        EXPECT_GT(shown, use.width * use.height / 40);
    }
}

TEST(KlarwinArtResources, ProgramIconOffersEveryStandardSize) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(227), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(self, group)));
    ASSERT_NE(directory, nullptr);
    for (int size : {16, 24, 32, 48, 256}) {
        SCOPED_TRACE(size);
        int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        ASSERT_GT(id, 0);
        HRSRC entry = FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
        ASSERT_NE(entry, nullptr);
        DWORD length = SizeofResource(self, entry);
        auto* data = static_cast<BYTE*>(LockResource(LoadResource(self, entry)));
        HICON icon = CreateIconFromResourceEx(data, length, TRUE, 0x00030000, size, size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    // The tray and the window caption ask for the small and the large system size.
    for (int size : {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CXICON)}) {
        HICON icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(227), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        DestroyIcon(icon);
    }
}

TEST(KlarwinArtFiles, LoadingAnimationOpensThroughOleOnTheProgressWindowColour) {
    std::vector<char> bytes = readFile(programFolder() + L"\\Loading.gif");
    ASSERT_GT(bytes.size(), 100u);

    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(memory, TRUE, &stream), S_OK);
    IPicture* picture = nullptr;
    ASSERT_EQ(OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                             reinterpret_cast<void**>(&picture)),
              S_OK);
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(MulDiv(width, GetDeviceCaps(screen, LOGPIXELSX), 2540), 21);
    EXPECT_EQ(MulDiv(height, GetDeviceCaps(screen, LOGPIXELSY), 2540), 21);
    ReleaseDC(nullptr, screen);

    Surface surface(21, 21);
    surface.fill(RGB(1, 2, 3));
    ASSERT_EQ(picture->Render(surface.dc(), 0, 0, 21, 21, 0, height, width, -height, nullptr), S_OK);
    // The frames are opaque and drawn over the colour of the progress window where
    // the animation sits, so no fringe shows around it.
    COLORREF under = bitmapPixel(200, 528, 461, 25, 225);
    EXPECT_EQ(surface.at(0, 0), under);
    EXPECT_EQ(surface.at(20, 20), under);
    int drawn = 0;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x)
            drawn += colourDistance(surface.at(x, y), under) > 40 * 40 ? 1 : 0;
    EXPECT_GT(drawn, 20);
    picture->Release();
    stream->Release();
    CoUninitialize();
}

}  // namespace
