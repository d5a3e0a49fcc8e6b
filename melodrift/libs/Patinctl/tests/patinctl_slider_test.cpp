// Skinned sliders in real windows: trackbar messages, the parent's scroll
// notifications while dragging, paging and jumping, orientation and
// "DrawAlign", scaled and round sliders, and the drawn thumb and fill.
#include "pt_test_support.h"

#include <gtest/gtest.h>

using namespace pttest;

namespace {

const COLORREF kTrack = RGB(80, 80, 80), kFill = RGB(0, 120, 255);
const COLORREF kThumb[3] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(255, 0, 0)};

DWORD Argb(COLORREF c) {
    return 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// Horizontal strip: track 60x10, filled track 60x10, three 10x10 thumbs.
std::wstring HorizontalPicture(const TempDir& dir) {
    std::wstring path = dir.File(L"hslider.png");
    WritePng(path, 150, 10, [](int x, int) {
        if (x < 60) return Argb(kTrack);
        if (x < 120) return Argb(kFill);
        return Argb(kThumb[(x - 120) / 10]);
    });
    return path;
}

// Vertical strip: four columns of 10 (track, three thumbs), 60 tall; thumbs 10x10 at the top.
std::wstring VerticalPicture(const TempDir& dir) {
    std::wstring path = dir.File(L"vslider.png");
    WritePng(path, 40, 60, [](int x, int y) {
        if (x < 10) return Argb(kTrack);
        return y < 10 ? Argb(kThumb[(x - 10) / 10]) : 0u;
    });
    return path;
}

HWND MakeSlider(HWND parent, const wchar_t* cls, DWORD style, int id, int w, int h) {
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

struct Note {
    UINT message;
    int code;
    int pos;
};

std::vector<Note> Notes(Host& host) {
    std::vector<Note> out;
    for (const Message& m : host.Messages())
        if (m.message == WM_HSCROLL || m.message == WM_VSCROLL)
            out.push_back({m.message, LOWORD(m.wParam), static_cast<short>(HIWORD(m.wParam))});
    return out;
}

TEST(PatinctlSlider, AnswersTrackbarMessages) {
    TempDir dir;
    Host host;
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SLIDER, 0, 200, 110, 10);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 100);
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(10, 20));
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 10);
    SendMessageW(slider, TBM_SETPOS, TRUE, 15);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 15);
    SendMessageW(slider, TBM_SETPOS, TRUE, 99);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 20);
    SendMessageW(slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(slider, TBM_SETRANGEMAX, TRUE, 1000);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 1000);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 20);
    SendMessageW(slider, TBM_SETRANGEMAX, TRUE, 5);  // the position follows a shrinking range
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 5);
    EXPECT_EQ(SendMessageW(slider, TBM_SETPAGESIZE, 0, 7), 1);  // the old page: a fifth of the range
    EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 7);
    SendMessageW(slider, TBM_SETLINESIZE, 0, 2);
    EXPECT_EQ(SendMessageW(slider, TBM_GETLINESIZE, 0, 0), 2);
    SendMessageW(slider, TBM_SETSEL, FALSE, MAKELPARAM(1, 3));
    EXPECT_EQ(SendMessageW(slider, TBM_GETSELSTART, 0, 0), 1);
    EXPECT_EQ(SendMessageW(slider, TBM_GETSELEND, 0, 0), 3);
    // Setting the position from outside notifies nobody.
    EXPECT_TRUE(Notes(host).empty());
    // Without a picture it is still drawn and usable.
    EXPECT_FALSE(UseSkin(slider, nullptr, nullptr, nullptr));
    EXPECT_NE(PixelAt(slider, 55, 5), CLR_INVALID);
}

TEST(PatinctlSlider, StretchedSliderDrawsTrackFillAndThumbWhereThePositionIs) {
    TempDir dir;
    Host host;
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SLIDER, 0, 201, 110, 10);
    PictureFile picture(HorizontalPicture(dir));
    auto element = Element(L"PLAYER_VOLUME", {{L"Type", L"Horizontal"}, {L"HorzStretch", L"Yes"}, {L"FilledTrack", L"Yes"}});
    ASSERT_TRUE(UseSkin(slider, picture.Get(), nullptr, element.get()));
    SendMessageW(slider, TBM_SETPOS, TRUE, 50);
    RECT thumb{};
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    // The thumb's centre travels from 5 to 105 (half a thumb inside each end).
    EXPECT_EQ(thumb.left, 50);
    EXPECT_EQ(thumb.right, 60);
    EXPECT_TRUE(Near(PixelAt(slider, 55, 5), kThumb[0]));
    EXPECT_TRUE(Near(PixelAt(slider, 30, 5), kFill));
    EXPECT_TRUE(Near(PixelAt(slider, 80, 5), kTrack));
    SendMessageW(slider, TBM_SETPOS, TRUE, 0);
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_EQ(thumb.left, 0);
    // Hovering the thumb shows its second frame.
    MouseMove(slider, 5, 5, false);
    EXPECT_TRUE(Near(PixelAt(slider, 5, 5), kThumb[1]));
}

TEST(PatinctlSlider, DraggingTheThumbNotifiesTheParentLikeATrackbar) {
    TempDir dir;
    Host host;
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SLIDER, 0, 202, 110, 10);
    PictureFile picture(HorizontalPicture(dir));
    ASSERT_TRUE(UseSkin(slider, picture.Get(), nullptr, nullptr));
    SendMessageW(slider, TBM_SETPOS, TRUE, 50);
    MouseDown(slider, 55, 5);
    MouseMove(slider, 75, 5, true);
    EXPECT_TRUE(Near(PixelAt(slider, 75, 5), kThumb[2]));  // pressed thumb
    MouseMove(slider, 300, 5, true);                       // beyond the end: the maximum
    MouseUp(slider, 300, 5);
    auto notes = Notes(host);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].message, static_cast<UINT>(WM_HSCROLL));
    EXPECT_EQ(notes[0].code, TB_THUMBTRACK);
    EXPECT_EQ(notes[0].pos, 70);
    EXPECT_EQ(notes[1].code, TB_THUMBTRACK);
    EXPECT_EQ(notes[1].pos, 100);
    EXPECT_EQ(notes[2].code, TB_THUMBPOSITION);
    EXPECT_EQ(notes[2].pos, 100);
    EXPECT_EQ(notes[3].code, TB_ENDTRACK);
    EXPECT_EQ(reinterpret_cast<HWND>(host.Messages().back().lParam), slider);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
}

TEST(PatinctlSlider, ClickOnTheTrackPagesOrJumpsWithTheJumpStyle) {
    TempDir dir;
    Host host;
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SLIDER, 0, 203, 110, 10);
    PictureFile picture(HorizontalPicture(dir));
    ASSERT_TRUE(UseSkin(slider, picture.Get(), nullptr, nullptr));
    SendMessageW(slider, TBM_SETPOS, TRUE, 50);
    MouseDown(slider, 100, 5);
    MouseUp(slider, 100, 5);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 70);
    auto notes = Notes(host);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].code, TB_PAGEDOWN);
    EXPECT_EQ(notes[1].code, TB_ENDTRACK);
    MouseDown(slider, 10, 5);
    MouseUp(slider, 10, 5);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 50);

    // The frame adds 0x0202 to its position sliders: a click jumps, the slider stays horizontal.
    SetWindowLongW(slider, GWL_STYLE, GetWindowLongW(slider, GWL_STYLE) | 0x0202);
    host.Clear();
    MouseDown(slider, 25, 5);
    MouseUp(slider, 25, 5);
    notes = Notes(host);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].message, static_cast<UINT>(WM_HSCROLL));
    EXPECT_EQ(notes[0].code, TB_THUMBTRACK);
    EXPECT_EQ(notes[0].pos, 20);
    EXPECT_EQ(notes[1].code, TB_THUMBPOSITION);
    EXPECT_EQ(notes[1].pos, 20);
    EXPECT_EQ(notes[2].code, TB_ENDTRACK);
}

TEST(PatinctlSlider, VerticalSliderHasItsMinimumAtTheBottomUnlessDrawAlignSaysOtherwise) {
    TempDir dir;
    Host host;
    PictureFile picture(VerticalPicture(dir));
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SLIDER, TBS_VERT, 204, 10, 110);
    auto element = Element(L"EQUA_SLIDER1", {{L"Type", L"Vertical"}, {L"VertStretch", L"Yes"}});
    ASSERT_TRUE(UseSkin(slider, picture.Get(), nullptr, element.get()));
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 200));
    RECT thumb{};
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_EQ(thumb.bottom, 110);
    EXPECT_TRUE(Near(PixelAt(slider, 5, 105), kThumb[0]));
    // Up on screen is more.
    MouseDown(slider, 5, 105);
    MouseMove(slider, 5, 55, true);
    MouseUp(slider, 5, 55);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
    auto notes = Notes(host);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes[0].message, static_cast<UINT>(WM_VSCROLL));
    host.Clear();
    SendMessageW(slider, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 101);
    notes = Notes(host);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].code, TB_LINEDOWN);

    // "Type" turns a slider created without TBS_VERT; DrawAlign puts its minimum at the top.
    HWND top = MakeSlider(host.Hwnd(), PT_WC_SLIDER, 0, 205, 10, 110);
    auto topElement = Element(L"EQUA_SLIDER2", {{L"Type", L"Vertical"}, {L"DrawAlign", L"ALIGN_LEFT/TOP"}});
    ASSERT_TRUE(UseSkin(top, picture.Get(), nullptr, topElement.get()));
    SendMessageW(top, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_EQ(thumb.top, 0);
    host.Clear();
    SendMessageW(top, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_EQ(SendMessageW(top, TBM_GETPOS, 0, 0), 1);
    ASSERT_FALSE(Notes(host).empty());
    EXPECT_EQ(Notes(host)[0].message, static_cast<UINT>(WM_VSCROLL));
}

TEST(PatinctlSlider, ScaledSliderScalesTrackThumbAndOffsets) {
    TempDir dir;
    Host host;
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SCALESLIDER, 0, 206, 300, 20);
    PictureFile picture(HorizontalPicture(dir));
    auto element = Element(L"PLAYER_POSITION", {{L"Type", L"Horizontal"}, {L"FilledTrack", L"Yes"},
                                                {L"BeginTrackOffset", L"10"}, {L"EndTrackOffset", L"10"}});
    ASSERT_TRUE(UseSkin(slider, picture.Get(), nullptr, element.get()));
    SIZE ideal{};
    ASSERT_TRUE(SendMessageW(slider, PTM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    EXPECT_EQ(ideal.cx, 60);
    EXPECT_EQ(ideal.cy, 10);
    // Scale 5 along, 2 across: the thumb is 50x20, its centre travels from 50 to 250.
    RECT thumb{};
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_EQ(thumb.left, 25);
    EXPECT_EQ(thumb.right, 75);
    EXPECT_EQ(thumb.bottom - thumb.top, 20);
    SendMessageW(slider, TBM_SETPOS, TRUE, 100);
    SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_EQ(thumb.left, 225);
    EXPECT_TRUE(Near(PixelAt(slider, 250, 10), kThumb[0]));
    EXPECT_TRUE(Near(PixelAt(slider, 150, 10), kFill));
}

TEST(PatinctlSlider, CentreFillStyleFillsFromTheMiddle) {
    TempDir dir;
    Host host;
    HWND slider = MakeSlider(host.Hwnd(), PT_WC_SLIDER, PTS_CENTERFILL, 207, 110, 10);
    PictureFile picture(HorizontalPicture(dir));
    auto element = Element(L"PLAYER_BALANCE", {{L"FilledTrack", L"Yes"}});
    ASSERT_TRUE(UseSkin(slider, picture.Get(), nullptr, element.get()));
    SendMessageW(slider, TBM_SETPOS, TRUE, 80);
    EXPECT_TRUE(Near(PixelAt(slider, 30, 5), kTrack));
    EXPECT_TRUE(Near(PixelAt(slider, 70, 5), kFill));
    EXPECT_TRUE(Near(PixelAt(slider, 100, 5), kTrack));
}

TEST(PatinctlSlider, RoundSliderTurnsByDraggingAndShowsTheMatchingFrame) {
    TempDir dir;
    Host host;
    const COLORREF frames[4] = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(200, 200, 200)};
    std::wstring path = dir.File(L"knob.png");
    ASSERT_TRUE(WritePng(path, 40, 10, [&](int x, int) { return Argb(frames[x / 10]); }));
    HWND knob = MakeSlider(host.Hwnd(), PT_WC_SLIDERROUND, 0, 208, 30, 30);
    PictureFile picture(path);
    ASSERT_TRUE(UseSkin(knob, picture.Get(), nullptr, nullptr));
    SendMessageW(knob, TBM_SETRANGE, TRUE, MAKELPARAM(0, 90));
    EXPECT_TRUE(Near(PixelAt(knob, 15, 15), frames[0]));
    SendMessageW(knob, TBM_SETPOS, TRUE, 90);
    EXPECT_TRUE(Near(PixelAt(knob, 15, 15), frames[3]));
    SendMessageW(knob, TBM_SETPOS, TRUE, 30);
    EXPECT_TRUE(Near(PixelAt(knob, 15, 15), frames[1]));
    MouseDown(knob, 15, 15);
    MouseMove(knob, 15, -35, true);  // 50 pixels up: a third of the range more
    MouseUp(knob, 15, -35);
    EXPECT_EQ(SendMessageW(knob, TBM_GETPOS, 0, 0), 60);
    auto notes = Notes(host);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].code, TB_THUMBTRACK);
    EXPECT_EQ(notes[1].code, TB_THUMBPOSITION);
    EXPECT_EQ(notes[1].pos, 60);
    EXPECT_EQ(notes[2].code, TB_ENDTRACK);
}

TEST(PatinctlSlider, SkinnedSystemTrackbarKeepsItsStateAndAnswersLikeTheSkinnedSlider) {
    TempDir dir;
    Host host;
    HWND trackbar = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 110, 10, host.Hwnd(),
                                    reinterpret_cast<HMENU>(209), nullptr, nullptr);
    ASSERT_TRUE(trackbar);
    SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 40));
    SendMessageW(trackbar, TBM_SETPOS, TRUE, 30);
    ASSERT_TRUE(PtSkinWindow(trackbar, PT_KIND_SCALESLIDER, TRUE));
    EXPECT_FALSE(PtSkinWindow(trackbar, PT_KIND_SCALESLIDER, TRUE));  // once only
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETRANGEMAX, 0, 0), 40);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 30);
    PictureFile picture(HorizontalPicture(dir));
    EXPECT_TRUE(UseSkin(trackbar, picture.Get(), nullptr, nullptr));
    SendMessageW(trackbar, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 31);
    EXPECT_FALSE(Notes(host).empty());
    // A window of another kind is refused.
    HWND edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 10, 10, host.Hwnd(), nullptr, nullptr, nullptr);
    EXPECT_FALSE(PtSkinWindow(edit, PT_KIND_SCALESLIDER, TRUE));
    EXPECT_FALSE(PtSkinWindow(edit, 99, TRUE));
    EXPECT_TRUE(PtSkinWindow(edit, PT_KIND_EDITBOX, TRUE));
    SetWindowTextW(edit, L"still an edit");
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(text, L"still an edit");
}

// The frame may rebuild its controls while handling a notification.
LRESULT CALLBACK DestroyingHost(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL || message == WM_COMMAND) {
        DestroyWindow(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(PatinctlSlider, ControlsDestroyedByTheirParentDuringANotificationCauseNoHarm) {
    PtRegisterClasses();
    WNDCLASSW wc{};
    wc.lpfnWndProc = DestroyingHost;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PtDestroyingHost";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, L"PtDestroyingHost", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(host);
    auto make = [&](const wchar_t* cls, DWORD style) {
        return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 110, 10, host, nullptr, nullptr, nullptr);
    };
    HWND slider = make(PT_WC_SLIDER, 0);
    SendMessageW(slider, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_FALSE(IsWindow(slider));
    slider = make(PT_WC_SLIDER, 0);
    SendMessageW(slider, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_FALSE(IsWindow(slider));
    slider = make(PT_WC_SLIDER, 0);
    SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_FALSE(IsWindow(slider));
    slider = make(PT_WC_SLIDER, PTS_JUMPTOCLICK);
    MouseDown(slider, 50, 5);
    EXPECT_FALSE(IsWindow(slider));
    slider = make(PT_WC_SLIDERROUND, 0);
    MouseDown(slider, 5, 5);
    MouseMove(slider, 5, -100, true);
    EXPECT_FALSE(IsWindow(slider));
    HWND button = make(PT_WC_BUTTON, BS_AUTOCHECKBOX);
    MouseDown(button, 5, 5);
    MouseUp(button, 5, 5);
    EXPECT_FALSE(IsWindow(button));
    button = make(PT_WC_BUTTON, BS_AUTORADIOBUTTON);
    SendMessageW(button, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(button, WM_KEYUP, VK_SPACE, 0);
    EXPECT_FALSE(IsWindow(button));
    DestroyWindow(host);
}

}  // namespace
