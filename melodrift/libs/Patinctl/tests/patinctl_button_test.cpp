// Skinned buttons in real windows: state pictures, clicks, check and radio
// behaviour, alpha from PNG and from a mask, missing pictures.
#include "pt_test_support.h"

#include "fw/testing/input.h"

#include <gtest/gtest.h>

using namespace pttest;

namespace {

// One colour per state frame: normal, hover, pressed, disabled, then checked ones.
const COLORREF kFrames[8] = {RGB(220, 0, 0),   RGB(0, 0, 220),   RGB(220, 220, 0), RGB(100, 100, 100),
                             RGB(0, 220, 220), RGB(220, 0, 220), RGB(255, 128, 0), RGB(255, 255, 255)};
const int kW = 20, kH = 16;

std::wstring StripPng(const TempDir& dir, int frames) {
    std::wstring path = dir.File(L"strip" + std::to_wstring(frames) + L".png");
    WritePng(path, kW * frames, kH, [](int x, int) {
        COLORREF c = kFrames[x / kW];
        return 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
               GetBValue(c);
    });
    return path;
}

HWND MakeButton(HWND parent, const wchar_t* cls, DWORD style, int id, int w = 40, int h = 30, int x = 10, int y = 10) {
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

COLORREF Centre(HWND button) {
    RECT rc;
    GetClientRect(button, &rc);
    return PixelAt(button, rc.right / 2, rc.bottom / 2);
}

TEST(PatinctlButton, TwoStateButtonDrawsEachStateFromItsFrame) {
    TempDir dir;
    Host host;
    HWND button = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_AUTOCHECKBOX | BS_PUSHLIKE, 101);
    ASSERT_TRUE(button);
    PictureFile picture(StripPng(dir, 8));
    ASSERT_TRUE(UseSkin(button, picture.Get(), nullptr, nullptr));
    SIZE ideal{};
    ASSERT_TRUE(SendMessageW(button, PTM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    EXPECT_EQ(ideal.cx, kW);
    EXPECT_EQ(ideal.cy, kH);

    EXPECT_TRUE(Near(Centre(button), kFrames[0]));
    // The frame is drawn at its own size, centred: the corner shows the parent.
    EXPECT_TRUE(Near(PixelAt(button, 1, 1), Host::kBackground));
    MouseMove(button, 20, 15, false);
    EXPECT_TRUE(Near(Centre(button), kFrames[1]));
    MouseDown(button, 20, 15);
    EXPECT_TRUE(Near(Centre(button), kFrames[2]));
    EXPECT_TRUE(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED);
    MouseUp(button, 20, 15);
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(Near(Centre(button), kFrames[5]));  // checked, pointer still over it
    SendMessageW(button, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(Near(Centre(button), kFrames[4]));
    EnableWindow(button, FALSE);
    EXPECT_TRUE(Near(Centre(button), kFrames[7]));
    SendMessageW(button, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_TRUE(Near(Centre(button), kFrames[3]));

    auto commands = host.Of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 101);
    EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
    EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), button);
}

TEST(PatinctlButton, PushButtonClicksOnlyWhenReleasedOverIt) {
    TempDir dir;
    Host host;
    HWND button = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_PUSHBUTTON, 102);
    PictureFile picture(StripPng(dir, 4));
    ASSERT_TRUE(UseSkin(button, picture.Get(), nullptr, nullptr));
    MouseDown(button, 5, 5);
    MouseMove(button, 100, 100, true);
    EXPECT_FALSE(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED);
    MouseUp(button, 100, 100);
    EXPECT_TRUE(host.Of(WM_COMMAND).empty());
    MouseDown(button, 5, 5);
    MouseUp(button, 6, 6);
    EXPECT_EQ(host.Of(WM_COMMAND).size(), 1u);
    // A push button has no check state.
    SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(host.Of(WM_COMMAND).size(), 2u);
    EnableWindow(button, FALSE);
    SendMessageW(button, BM_CLICK, 0, 0);
    MouseDown(button, 5, 5);
    MouseUp(button, 5, 5);
    EXPECT_EQ(host.Of(WM_COMMAND).size(), 2u);
}

TEST(PatinctlButton, RealMouseClickTogglesACheckButton) {
    TempDir dir;
    Host host(200, 150, 760, 720);
    HWND button = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_AUTOCHECKBOX | BS_PUSHLIKE, 103, 60, 40, 50, 50);
    PictureFile picture(StripPng(dir, 8));
    ASSERT_TRUE(UseSkin(button, picture.Get(), nullptr, nullptr));
    ASSERT_TRUE(fw::testing::ClickWindowCentre(button));
    ASSERT_TRUE(WaitFor([&] { return !host.Of(WM_COMMAND).empty(); }));
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(LOWORD(host.Of(WM_COMMAND)[0].wParam), 103);
}

TEST(PatinctlButton, TransparencyComesFromPngAlphaMaskOrKeyColour) {
    TempDir dir;
    Host host;
    auto element = Element(L"B", {{L"States", L"1"}});
    // PNG: left half opaque red, right half fully transparent.
    std::wstring png = dir.File(L"alpha.png");
    ASSERT_TRUE(WritePng(png, kW, kH, [](int x, int) { return x < kW / 2 ? 0xFFDC0000u : 0x00DC0000u; }));
    // BMP with a mask: white (opaque) left, black (transparent) right.
    std::wstring bmp = dir.File(L"plain.bmp"), mask = dir.File(L"mask.bmp");
    ASSERT_TRUE(WriteBmp(bmp, kW, kH, [](int, int) { return RGB(220, 0, 0); }));
    ASSERT_TRUE(WriteBmp(mask, kW, kH, [](int x, int) { return x < kW / 2 ? RGB(255, 255, 255) : RGB(0, 0, 0); }));
    // BMP with a key colour on the right.
    std::wstring keyed = dir.File(L"keyed.bmp");
    ASSERT_TRUE(WriteBmp(keyed, kW, kH, [](int x, int) { return x < kW / 2 ? RGB(220, 0, 0) : RGB(255, 0, 255); }));
    auto keyElement = Element(L"B", {{L"States", L"1"}, {L"TransparentColor", L"#FF00FF"}});

    struct Case {
        std::wstring picture, mask;
        const enXml* element;
    } cases[] = {{png, L"", element.get()}, {bmp, mask, element.get()}, {keyed, L"", keyElement.get()}};
    int id = 110;
    for (const Case& c : cases) {
        HWND button = MakeButton(host.Hwnd(), PT_WC_SCALEBUTTON, BS_PUSHBUTTON, id++, kW, kH);
        PictureFile picture(c.picture);
        PictureFile alpha(c.mask);
        ASSERT_TRUE(UseSkin(button, picture.Get(), c.mask.empty() ? nullptr : alpha.Get(), c.element));
        EXPECT_TRUE(Near(PixelAt(button, 3, 8), RGB(220, 0, 0)));
        EXPECT_TRUE(Near(PixelAt(button, kW - 3, 8), Host::kBackground));
        DestroyWindow(button);
    }
}

TEST(PatinctlButton, MissingOrUnreadablePictureLeavesAUsableButton) {
    TempDir dir;
    Host host;
    HWND button = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_AUTOCHECKBOX | BS_PUSHLIKE, 120);
    EXPECT_FALSE(UseSkin(button, nullptr, nullptr, nullptr));
    std::wstring text = dir.File(L"notapicture.png");
    ASSERT_TRUE(WriteText(text, "this is not a picture"));
    PictureFile broken(text);
    EXPECT_FALSE(UseSkin(button, broken.Get(), nullptr, nullptr));
    PictureFile good(StripPng(dir, 8));
    PictureFile badMask(text);
    EXPECT_FALSE(UseSkin(button, good.Get(), badMask.Get(), nullptr));
    EXPECT_FALSE(UseSkin(button, INVALID_HANDLE_VALUE, nullptr, nullptr));
    PT_SKIN_RESOURCE tooSmall{};
    tooSmall.cbSize = 4;
    EXPECT_FALSE(SendMessageW(button, PTM_USECUSTOMSKIN, 0, reinterpret_cast<LPARAM>(&tooSmall)));
    EXPECT_FALSE(SendMessageW(button, PTM_USECUSTOMSKIN, 0, 0));

    // Still a working button, drawn plainly.
    SIZE ideal{};
    EXPECT_FALSE(SendMessageW(button, PTM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_FALSE(Near(Centre(button), Host::kBackground));
    MouseDown(button, 5, 5);
    MouseUp(button, 5, 5);
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(host.Of(WM_COMMAND).size(), 1u);
}

TEST(PatinctlButton, ScaledButtonStretchesItsFrameAndFourFramesShowCheckedAsPressed) {
    TempDir dir;
    Host host;
    HWND scaled = MakeButton(host.Hwnd(), PT_WC_SCALEBUTTON, BS_AUTOCHECKBOX | BS_PUSHLIKE, 130, 80, 64);
    PictureFile picture(StripPng(dir, 4));
    ASSERT_TRUE(UseSkin(scaled, picture.Get(), nullptr, nullptr));
    EXPECT_TRUE(Near(PixelAt(scaled, 2, 2), kFrames[0]));
    EXPECT_TRUE(Near(PixelAt(scaled, 77, 61), kFrames[0]));
    SendMessageW(scaled, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(Near(PixelAt(scaled, 40, 32), kFrames[2]));
}

TEST(PatinctlButton, AutoRadioButtonsUncheckTheirGroup) {
    TempDir dir;
    Host host;
    PictureFile picture(StripPng(dir, 8));
    HWND radios[3];
    for (int i = 0; i < 3; ++i) {
        radios[i] = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0), 140 + i, 20, 16,
                               10 + 30 * i, 10);
        ASSERT_TRUE(UseSkin(radios[i], picture.Get(), nullptr, nullptr));
    }
    HWND other = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_AUTORADIOBUTTON | WS_GROUP, 150, 20, 16, 200, 10);
    SendMessageW(other, BM_SETCHECK, BST_CHECKED, 0);
    MouseDown(radios[1], 3, 3);
    MouseUp(radios[1], 3, 3);
    EXPECT_EQ(SendMessageW(radios[1], BM_GETCHECK, 0, 0), BST_CHECKED);
    MouseDown(radios[2], 3, 3);
    MouseUp(radios[2], 3, 3);
    EXPECT_EQ(SendMessageW(radios[1], BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(radios[2], BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(other, BM_GETCHECK, 0, 0), BST_CHECKED);  // another group
}

TEST(PatinctlButton, TextAttributeGivesAWindowTextOnlyWhenItHasNone) {
    TempDir dir;
    Host host;
    PictureFile picture(StripPng(dir, 4));
    auto element = Element(L"MENU_FILE", {{L"Text", L"File"}, {L"TextColor", L"#FFFFFF"}});
    HWND blank = MakeButton(host.Hwnd(), PT_WC_BUTTON, BS_PUSHBUTTON, 160);
    ASSERT_TRUE(UseSkin(blank, picture.Get(), nullptr, element.get()));
    wchar_t text[32] = {};
    GetWindowTextW(blank, text, 32);
    EXPECT_STREQ(text, L"File");
    HWND named = CreateWindowExW(0, PT_WC_BUTTON, L"Datei", WS_CHILD | WS_VISIBLE, 60, 10, 40, 20, host.Hwnd(), nullptr,
                                 nullptr, nullptr);
    ASSERT_TRUE(UseSkin(named, picture.Get(), nullptr, element.get()));
    GetWindowTextW(named, text, 32);
    EXPECT_STREQ(text, L"Datei");
}

TEST(PatinctlButton, SkinnedDialogCheckBoxesKeepTheirLookAndBehaviour) {
    Host host;
    HWND dialog = CreateWindowExW(0, L"#32770", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, host.Hwnd(), nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(PtSkinWindow(dialog, PT_KIND_SCALEDIALOG, TRUE));
    HWND check = CreateWindowExW(0, L"Button", L"Loudness", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 10,
                                 10, 120, 20, dialog, reinterpret_cast<HMENU>(170), nullptr, nullptr);
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    ASSERT_TRUE(PtSkinWindow(check, PT_KIND_CHECKBUTTON, TRUE));
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);  // taken over from the system control
    // A small box at the left (its frame in the text colour), not a push button.
    COLORREF frame = PixelAt(check, 0, 10);
    COLORREF inside = PixelAt(check, 60, 2);
    EXPECT_FALSE(Near(frame, inside, 30));
    MouseDown(check, 5, 10);
    MouseUp(check, 5, 10);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    wchar_t text[32] = {};
    GetWindowTextW(check, text, 32);
    EXPECT_STREQ(text, L"Loudness");
    // Pictures, frames and lines of a dialog keep the system's drawing.
    HWND line = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 10, 40, 100, 2, dialog,
                                nullptr, nullptr, nullptr);
    EXPECT_FALSE(PtSkinWindow(line, PT_KIND_STATIC, TRUE));
    HWND label = CreateWindowExW(0, L"Static", L"Bass", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 50, 100, 20, dialog,
                                 nullptr, nullptr, nullptr);
    EXPECT_TRUE(PtSkinWindow(label, PT_KIND_STATIC, TRUE));
    GetWindowTextW(label, text, 32);
    EXPECT_STREQ(text, L"Bass");
    HWND group = CreateWindowExW(0, L"Button", L"Group", WS_CHILD | BS_GROUPBOX, 0, 0, 10, 10, dialog, nullptr, nullptr,
                                 nullptr);
    EXPECT_FALSE(PtSkinWindow(group, PT_KIND_SCALEBUTTON, TRUE));
}

}  // namespace
