// Each of our modules in the module test host, coloured by the skin: with a
// skin of known colours, the window's background and the background of its
// list (or edit box) are read back from a screenshot of the window; after a
// change to a skin of other colours they follow at once; without a skin, or
// with a skin that names a background without its text, the system's colours
// are used. Texts are checked to stay readable against their backgrounds,
// in these skins and in the program's own skins.
#include "module_test_host.h"

#include "fw/testing/screenshot.h"
#include "patinex/patinex.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace mdtest;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// What the test looks at in one module's window.
struct ModuleCase {
    const wchar_t* dll;
    UINT list;      // the list (or for the recorder its file-name box), coloured as a list or as an edit box
    bool editBox;   // the control takes the edit boxes' colours (the dialog's), not the lists'
    UINT text;      // a static text of the window
};

// Named in the test's names by the DLL alone.
void PrintTo(const ModuleCase& module, std::ostream* out)
{
    *out << Narrow(module.dll);
}

const ModuleCase kModules[] = {
    {L"Vocalith.dll", 1003, false, 1001},
    {L"Tunestack.dll", 41202, false, 41204},
    {L"Sonicut.dll", 42101, true, 42104},
};

struct SkinColours {
    COLORREF dialogBack, dialogText, frameBack, frameText, highlightBack, highlightText;
};

// Well apart from each other and from the system colours of the test prefix.
const SkinColours kFirst = {RGB(0x2A, 0x33, 0x40), RGB(0xF0, 0xE6, 0xC8), RGB(0x10, 0x30, 0x20),
                            RGB(0xE0, 0xF0, 0xE8), RGB(0xC0, 0x40, 0x80), RGB(0xFF, 0xFF, 0xFF)};
const SkinColours kSecond = {RGB(0xE8, 0xE0, 0xF8), RGB(0x20, 0x10, 0x40), RGB(0xFF, 0xF4, 0xD8),
                             RGB(0x30, 0x28, 0x10), RGB(0x10, 0x70, 0x60), RGB(0xFF, 0xFF, 0xF0)};

std::string Hex(COLORREF c)
{
    char text[8];
    std::snprintf(text, sizeof(text), "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

std::string ColourEntry(const char* name, COLORREF value)
{
    return std::string("    <Color Name=\"") + name + "\" Value=\"" + Hex(value) + "\"/>\r\n";
}

// A skin file of nothing but named colours.
std::string SkinFile(const std::string& colours)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<SKIN_MM Caption=\"Colours\">\r\n  <Colors>\r\n" + colours +
           "  </Colors>\r\n</SKIN_MM>\r\n";
}

std::string SkinFile(const SkinColours& c)
{
    return SkinFile(ColourEntry("DialogBackground", c.dialogBack) + ColourEntry("DialogText", c.dialogText) +
                    ColourEntry("FrameBackground", c.frameBack) + ColourEntry("FrameText", c.frameText) +
                    ColourEntry("MenuHighlight", c.highlightBack) + ColourEntry("MenuHighlightText", c.highlightText));
}

COLORREF FromPixel(std::uint32_t argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// The relative luminance and contrast ratio of the accessibility guidelines:
// 1 for the same colour, 21 for black on white; 4.5 is their threshold for
// body text.
double Luminance(COLORREF c)
{
    const auto channel = [](int value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}

double Contrast(COLORREF a, COLORREF b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

constexpr double kReadable = 4.5;

class ModuleColours : public ::testing::TestWithParam<ModuleCase> {
protected:
    void SetUp() override
    {
        program = FreshTempFolder(L"module-colours-program");
        skins = FreshTempFolder(L"module-colours-skins");
        // The library module keeps its files in a data folder of this name.
        ASSERT_TRUE(WriteBytes(program + L"appdatadefault.ini", "[General]\r\nName=ModuleColoursTest\r\n"));
        wchar_t common[MAX_PATH] = {};
        ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, common)));
        data = std::wstring(common) + L"\\Corvena\\ModuleColoursTest\\";
        RemoveTree(data);
        host = std::make_unique<CModuleTestHost>(program);
        host->SetLibraryFolder(data);
        ASSERT_TRUE(host->Load(ExeFolder() + GetParam().dll)) << Narrow(host->Error());
        window = host->ModuleWindow();
        list = GetDlgItem(window, GetParam().list);
        text = GetDlgItem(window, GetParam().text);
        ASSERT_TRUE(window && list && text);
        // An empty box shows nothing but its background.
        if (GetParam().editBox) SetWindowTextW(list, L"");
        SetWindowPos(host->Frame(), HWND_TOP, 20, 20, 760, 420, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        Pump(50);
    }
    void TearDown() override
    {
        host.reset();
        RemoveTree(program);
        RemoveTree(skins);
        RemoveTree(data);
    }

    bool UseSkin(const std::wstring& name, const std::string& file)
    {
        const std::wstring path = skins + name;
        return WriteBytes(path, file) && host->SetSkin(path);
    }

    // A point of the module's window (in its own coordinates) that no child covers.
    POINT FreePoint() const
    {
        RECT client = {};
        GetClientRect(window, &client);
        for (LONG y = client.bottom - 3; y >= 2; --y) {
            for (LONG x = 2; x < client.right - 2; x += 3) {
                POINT p = {x, y};
                ClientToScreen(window, &p);
                bool covered = false;
                for (HWND child = GetWindow(window, GW_CHILD); child && !covered; child = GetWindow(child, GW_HWNDNEXT)) {
                    if (!IsWindowVisible(child)) continue;
                    RECT r = {};
                    GetWindowRect(child, &r);
                    InflateRect(&r, 2, 2);
                    covered = PtInRect(&r, p) != FALSE;
                }
                if (!covered) return {x, y};
            }
        }
        return {-1, -1};
    }

    // The pixel of the window's screenshot at a point of `control`'s client area.
    bool Pixel(HWND control, POINT p, COLORREF& colour) const
    {
        fw::testing::Image image;
        if (!fw::testing::CaptureWindow(window, image)) return false;
        ClientToScreen(control, &p);
        RECT frame = {};
        GetWindowRect(window, &frame);
        const int x = p.x - frame.left, y = p.y - frame.top;
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) return false;
        colour = FromPixel(image.At(x, y));
        return true;
    }

    // Waits until the window's background and the list's background are
    // painted in these colours; the colours last seen in `window`/`listBack`.
    bool WaitForColours(COLORREF wantWindow, COLORREF wantList, COLORREF& seenWindow, COLORREF& seenList)
    {
        const POINT free = FreePoint();
        RECT inside = {};
        GetClientRect(list, &inside);
        // The bottom right corner of the list: past its rows and its texts.
        const POINT corner = {inside.right - 3, inside.bottom - 3};
        if (free.x < 0) return false;
        return PumpUntil(
            [&] {
                const bool read = Pixel(window, free, seenWindow) && Pixel(list, corner, seenList);
                return read && seenWindow == wantWindow && seenList == wantList;
            },
            10000);
    }

    // The colours the window gives the static text: its text and its background.
    void StaticColours(COLORREF& foreground, COLORREF& background) const
    {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(text));
        foreground = GetTextColor(dc);
        background = GetBkColor(dc);
        DeleteDC(dc);
    }

    // The list's text colour as it draws its rows.
    COLORREF ListTextColour() const
    {
        wchar_t name[64] = {};
        GetClassNameW(list, name, 64);
        if (lstrcmpiW(name, WC_LISTVIEWW) == 0) return ListView_GetTextColor(list);
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(window, GetParam().editBox ? WM_CTLCOLOREDIT : WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(list));
        const COLORREF colour = GetTextColor(dc);
        DeleteDC(dc);
        return colour;
    }

    // The window and its list in a skin of these colours, texts readable.
    void ExpectColours(const SkinColours& c)
    {
        const COLORREF listBack = GetParam().editBox ? c.dialogBack : c.frameBack;
        const COLORREF listText = GetParam().editBox ? c.dialogText : c.frameText;
        COLORREF seenWindow = CLR_INVALID, seenList = CLR_INVALID;
        EXPECT_TRUE(WaitForColours(c.dialogBack, listBack, seenWindow, seenList));
        EXPECT_EQ(Hex(seenWindow), Hex(c.dialogBack));
        EXPECT_EQ(Hex(seenList), Hex(listBack));
        COLORREF foreground = CLR_INVALID, background = CLR_INVALID;
        StaticColours(foreground, background);
        EXPECT_EQ(Hex(foreground), Hex(c.dialogText));
        EXPECT_GE(Contrast(foreground, seenWindow), kReadable);
        EXPECT_EQ(Hex(ListTextColour()), Hex(listText));
        EXPECT_GE(Contrast(ListTextColour(), seenList), kReadable);
    }

    // The pixel of the window's screenshot at a point of the screen.
    bool ScreenPixel(POINT p, COLORREF& colour) const
    {
        fw::testing::Image image;
        RECT frame = {};
        if (!fw::testing::CaptureWindow(window, image) || !GetWindowRect(window, &frame)) return false;
        const int x = p.x - frame.left, y = p.y - frame.top;
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) return false;
        colour = FromPixel(image.At(x, y));
        return true;
    }

    // The list, given rows enough for a vertical scroll bar: its border, the
    // thumb and the track in the skin's colours, not the system's.
    void ExpectListFrame(const SkinColours& c)
    {
        wchar_t name[64] = {};
        GetClassNameW(list, name, 64);
        const bool virtualList = (GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA) && lstrcmpiW(name, WC_LISTVIEWW) == 0;
        if (virtualList) ListView_SetItemCount(list, 80);  // rows the module shows empty
        for (int i = 0; i < 80 && !virtualList; ++i) {
            wchar_t row[32];
            std::swprintf(row, 32, L"Row %d", i);
            if (lstrcmpiW(name, WC_LISTVIEWW) == 0) {
                LVITEMW item = {};
                item.mask = LVIF_TEXT;
                item.iItem = i;
                item.pszText = row;
                ListView_InsertItem(list, &item);
            } else {
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
            }
        }
        SCROLLBARINFO info = {};
        info.cbSize = sizeof info;
        ASSERT_TRUE(PumpUntil(
            [&] { return GetScrollBarInfo(list, OBJID_VSCROLL, &info) && !(info.rgstate[0] & STATE_SYSTEM_INVISIBLE); },
            5000));
        ASSERT_GT(info.xyThumbBottom, info.xyThumbTop);
        const auto mix = [](COLORREF a, COLORREF b, int parts) {
            const auto channel = [parts](int x, int y) { return x + (y - x) / parts; };
            return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
                       channel(GetBValue(a), GetBValue(b)));
        };
        RECT outer = {};
        GetWindowRect(list, &outer);
        const RECT bar = info.rcScrollBar;
        const POINT corner = {outer.left, outer.top};
        const POINT thumb = {(bar.left + bar.right) / 2, bar.top + (info.xyThumbTop + info.xyThumbBottom) / 2};
        const POINT button = {bar.left + 1, bar.top + 1};
        COLORREF seenBorder = CLR_INVALID, seenThumb = CLR_INVALID, seenButton = CLR_INVALID;
        EXPECT_TRUE(PumpUntil(
            [&] {
                return ScreenPixel(corner, seenBorder) && ScreenPixel(thumb, seenThumb) &&
                       ScreenPixel(button, seenButton) && seenBorder == mix(c.frameBack, c.frameText, 3) &&
                       seenThumb == mix(c.frameBack, c.frameText, 3) && seenButton == mix(c.frameBack, c.frameText, 12);
            },
            10000));
        EXPECT_EQ(Hex(seenBorder), Hex(mix(c.frameBack, c.frameText, 3)));
        EXPECT_EQ(Hex(seenThumb), Hex(mix(c.frameBack, c.frameText, 3)));
        EXPECT_EQ(Hex(seenButton), Hex(mix(c.frameBack, c.frameText, 12)));
    }

    std::wstring program, skins, data;
    std::unique_ptr<CModuleTestHost> host;
    HWND window = nullptr;
    HWND list = nullptr;
    HWND text = nullptr;
};

TEST_P(ModuleColours, TheWindowAndItsListTakeTheSkinsColoursAndFollowASkinChange)
{
    ASSERT_TRUE(UseSkin(L"first.xml", SkinFile(kFirst)));
    ExpectColours(kFirst);
    if (!GetParam().editBox) ExpectListFrame(kFirst);
    // Another skin recolours the window at once.
    ASSERT_TRUE(UseSkin(L"second.xml", SkinFile(kSecond)));
    ExpectColours(kSecond);
}

TEST_P(ModuleColours, WithoutTheSkinsColoursTheSystemsAreUsed)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF box = GetSysColor(COLOR_WINDOW);
    const COLORREF listBack = box;   // lists and edit boxes alike
    COLORREF seenWindow = CLR_INVALID, seenList = CLR_INVALID;

    // Skinned first, then no skin at all.
    ASSERT_TRUE(UseSkin(L"first.xml", SkinFile(kFirst)));
    ASSERT_TRUE(WaitForColours(kFirst.dialogBack, GetParam().editBox ? kFirst.dialogBack : kFirst.frameBack, seenWindow,
                               seenList));
    ASSERT_TRUE(host->SetSkin(L""));
    EXPECT_TRUE(WaitForColours(face, listBack, seenWindow, seenList));
    EXPECT_EQ(Hex(seenWindow), Hex(face));
    EXPECT_EQ(Hex(seenList), Hex(listBack));
    COLORREF foreground = CLR_INVALID, background = CLR_INVALID;
    StaticColours(foreground, background);
    EXPECT_EQ(Hex(foreground), Hex(GetSysColor(COLOR_BTNTEXT)));
    EXPECT_EQ(Hex(ListTextColour()), Hex(GetSysColor(COLOR_WINDOWTEXT)));

    // A skin naming backgrounds without their texts: a light text on a light
    // system background would be unreadable, so the system's pairs stay.
    ASSERT_TRUE(UseSkin(L"half.xml", SkinFile(ColourEntry("DialogBackground", RGB(0x20, 0x20, 0x20)) +
                                              ColourEntry("FrameBackground", RGB(0x10, 0x10, 0x10)))));
    Pump(100);
    EXPECT_TRUE(WaitForColours(face, listBack, seenWindow, seenList));
    EXPECT_EQ(Hex(seenWindow), Hex(face));
    EXPECT_EQ(Hex(seenList), Hex(listBack));
    StaticColours(foreground, background);
    EXPECT_EQ(Hex(foreground), Hex(GetSysColor(COLOR_BTNTEXT)));
}

// The program's own skins: every text of the window readable on what it is drawn on.
TEST_P(ModuleColours, TextsStayReadableInTheProgramsSkins)
{
    const std::wstring dll = GetParam().dll;
    const std::wstring module = dll.substr(0, dll.find(L'.'));
    for (const wchar_t* name : {L"Midnight", L"Daylight"}) {
        const std::wstring skin = std::wstring(MD_SKINS_DIR L"/") + name + L"-eng.xml";
        SCOPED_TRACE(Narrow(skin));
        ASSERT_TRUE(host->SetSkin(skin));
        Pump(100);
        COLORREF seenWindow = CLR_INVALID, seenList = CLR_INVALID;
        const COLORREF wantWindow = GetSkinColor(L"DialogBackground", CLR_INVALID);
        const COLORREF wantList = GetSkinColor(GetParam().editBox ? L"DialogBackground" : L"FrameBackground", CLR_INVALID);
        ASSERT_NE(wantWindow, CLR_INVALID);
        ASSERT_NE(wantList, CLR_INVALID);
        EXPECT_TRUE(WaitForColours(wantWindow, wantList, seenWindow, seenList));
        COLORREF foreground = CLR_INVALID, background = CLR_INVALID;
        StaticColours(foreground, background);
        EXPECT_GE(Contrast(foreground, seenWindow), kReadable) << Hex(foreground) << " on " << Hex(seenWindow);
        EXPECT_GE(Contrast(ListTextColour(), seenList), kReadable) << Hex(ListTextColour()) << " on " << Hex(seenList);
        const COLORREF high = GetSkinColor(L"MenuHighlight", CLR_INVALID);
        const COLORREF highText = GetSkinColor(L"MenuHighlightText", CLR_INVALID);
        EXPECT_GE(Contrast(highText, high), kReadable) << Hex(highText) << " on " << Hex(high);
        // To look at: the module's window in the skin.
        EXPECT_TRUE(fw::testing::SaveWindowScreenshot(
            window, fw::testing::ScreenshotPath(L"module_colors_" + module + L"_" + name + L".png")));
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleColours, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<ModuleCase>& info) {
                             const std::wstring dll = info.param.dll;
                             return Narrow(dll.substr(0, dll.find(L'.')));
                         });

// The library module's selected playlist in the skin's highlight, whether or
// not its list has the focus; its column titles in the window's colours.
TEST(ModuleColoursSelection, TheSelectedRowOfAListIsInTheHighlight)
{
    const std::wstring program = FreshTempFolder(L"module-colours-selection");
    ASSERT_TRUE(WriteBytes(program + L"appdatadefault.ini", "[General]\r\nName=ModuleColoursTest\r\n"));
    const std::wstring skin = program + L"first.xml";
    ASSERT_TRUE(WriteBytes(skin, SkinFile(kFirst)));
    {
        CModuleTestHost host(program);
        ASSERT_TRUE(host.Load(ExeFolder() + L"Tunestack.dll")) << Narrow(host.Error());
        SetWindowPos(host.Frame(), HWND_TOP, 20, 20, 760, 420, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        ASSERT_TRUE(host.SetSkin(skin));
        HWND playlists = GetDlgItem(host.ModuleWindow(), 41201);
        ASSERT_TRUE(playlists);
        ASSERT_GE(ListView_GetItemCount(playlists), 1);
        ListView_SetItemState(playlists, 0, LVIS_SELECTED, LVIS_SELECTED);
        SetFocus(nullptr);
        RECT row = {};
        ASSERT_TRUE(ListView_GetItemRect(playlists, 0, &row, LVIR_BOUNDS));
        // Past the row's text, at its right end.
        POINT p = {row.right - 4, (row.top + row.bottom) / 2};
        ClientToScreen(playlists, &p);
        RECT frame = {};
        GetWindowRect(host.ModuleWindow(), &frame);
        COLORREF seen = CLR_INVALID;
        EXPECT_TRUE(PumpUntil(
            [&] {
                fw::testing::Image image;
                if (!fw::testing::CaptureWindow(host.ModuleWindow(), image)) return false;
                seen = FromPixel(image.At(p.x - frame.left, p.y - frame.top));
                return seen == kFirst.highlightBack;
            },
            10000));
        EXPECT_EQ(Hex(seen), Hex(kFirst.highlightBack));

        // The column titles of the tracks on the window's background, in its text colour.
        HWND header = ListView_GetHeader(GetDlgItem(host.ModuleWindow(), 41202));
        ASSERT_TRUE(header);
        RECT title = {};
        ASSERT_TRUE(Header_GetItemRect(header, 0, &title));
        POINT q = {title.right - 8, (title.top + title.bottom) / 2};   // right of the word "Title"
        ClientToScreen(header, &q);
        InvalidateRect(header, nullptr, TRUE);
        int textPixels = 0;
        EXPECT_TRUE(PumpUntil(
            [&] {
                fw::testing::Image image;
                if (!fw::testing::CaptureWindow(host.ModuleWindow(), image)) return false;
                seen = FromPixel(image.At(q.x - frame.left, q.y - frame.top));
                textPixels = 0;
                POINT from = {title.left, title.top};
                ClientToScreen(header, &from);
                for (int y = from.y - frame.top; y < from.y - frame.top + (title.bottom - title.top); ++y)
                    for (int x = from.x - frame.left; x < q.x - frame.left; ++x)
                        if (FromPixel(image.At(x, y)) == kFirst.dialogText) ++textPixels;
                return seen == kFirst.dialogBack && textPixels > 0;
            },
            10000));
        EXPECT_EQ(Hex(seen), Hex(kFirst.dialogBack));
        EXPECT_GT(textPixels, 0);
    }
    wchar_t common[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common)))
        RemoveTree(std::wstring(common) + L"\\Corvena\\ModuleColoursTest\\");
    RemoveTree(program);
}

// The player's playlist: the chosen track in the skin's highlight, the others
// in the list colours.
TEST(ModuleColoursSelection, TheChosenTrackOfThePlaylistIsInTheHighlight)
{
    const std::wstring program = FreshTempFolder(L"module-colours-playlist");
    const std::wstring skin = program + L"first.xml";
    ASSERT_TRUE(WriteBytes(skin, SkinFile(kFirst)));
    {
        CModuleTestHost host(program);
        ASSERT_TRUE(host.Load(ExeFolder() + L"Vocalith.dll")) << Narrow(host.Error());
        SetWindowPos(host.Frame(), HWND_TOP, 20, 20, 760, 420, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        ASSERT_TRUE(host.SetSkin(skin));
        HWND list = GetDlgItem(host.ModuleWindow(), 1003);
        ASSERT_TRUE(list);
        // Three tracks dropped on the player (its list shows what it holds; it takes no strings).
        std::string wav = std::string("RIFF\x44\x03\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E\0\0\x02\0\x10\0data\x20\x03\0\0", 44);
        wav += std::string(800, '\0');
        std::vector<std::wstring> tracks;
        for (const wchar_t* track : {L"First", L"Second", L"Third"}) {
            tracks.push_back(program + track + L".wav");
            ASSERT_TRUE(WriteBytes(tracks.back(), wav));
        }
        DropFiles(host.ModuleWindow(), tracks);
        ASSERT_TRUE(PumpUntil([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 3; }, 10000));
        SendMessageW(list, LB_SETSEL, FALSE, -1);
        SendMessageW(list, LB_SETSEL, TRUE, 1);   // the playlist takes several tracks
        InvalidateRect(list, nullptr, TRUE);
        RECT chosen = {}, other = {};
        ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&chosen)), LB_ERR);
        ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&other)), LB_ERR);
        // Right of the texts, in the middle of each row.
        POINT a = {chosen.right - 6, (chosen.top + chosen.bottom) / 2};
        POINT b = {other.right - 6, (other.top + other.bottom) / 2};
        ClientToScreen(list, &a);
        ClientToScreen(list, &b);
        RECT frame = {};
        GetWindowRect(host.ModuleWindow(), &frame);
        COLORREF seenChosen = CLR_INVALID, seenOther = CLR_INVALID;
        int textPixels = 0;
        EXPECT_TRUE(PumpUntil(
            [&] {
                fw::testing::Image image;
                if (!fw::testing::CaptureWindow(host.ModuleWindow(), image)) return false;
                seenChosen = FromPixel(image.At(a.x - frame.left, a.y - frame.top));
                seenOther = FromPixel(image.At(b.x - frame.left, b.y - frame.top));
                // The chosen track's name drawn in the highlight's text colour.
                textPixels = 0;
                POINT from = {chosen.left, chosen.top};
                ClientToScreen(list, &from);
                for (int y = from.y - frame.top; y < from.y - frame.top + (chosen.bottom - chosen.top); ++y)
                    for (int x = from.x - frame.left; x < from.x - frame.left + 60; ++x)
                        if (FromPixel(image.At(x, y)) == kFirst.highlightText) ++textPixels;
                return seenChosen == kFirst.highlightBack && seenOther == kFirst.frameBack && textPixels > 0;
            },
            10000));
        EXPECT_EQ(Hex(seenChosen), Hex(kFirst.highlightBack));
        EXPECT_EQ(Hex(seenOther), Hex(kFirst.frameBack));
        EXPECT_GT(textPixels, 0);
        EXPECT_GE(Contrast(kFirst.highlightText, kFirst.highlightBack), kReadable);
    }
    RemoveTree(program);
}

}  // namespace
