// Panels placing controls from their elements, panel drawing from the skin,
// texts with "TextColor" and "LogFont", saved control state, owner-drawn
// menus, tooltips and accessible names; and a screenshot of a panel with
// every kind of control.
#include "pt_test_support.h"

#include <oleacc.h>

#include <gtest/gtest.h>

using namespace pttest;

namespace {

DWORD Argb(COLORREF c) {
    return 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// A 4-frame 20x16 button strip.
std::wstring ButtonPicture(const TempDir& dir, COLORREF colour = RGB(200, 0, 0)) {
    std::wstring path = dir.File(L"button.png");
    WritePng(path, 80, 16, [colour](int x, int) { return Argb(x < 20 ? colour : RGB(0, 0, 200)); });
    return path;
}

HWND Child(HWND parent, const wchar_t* cls, DWORD style, int id, const wchar_t* text = L"") {
    return CreateWindowExW(0, cls, text, WS_CHILD | style, 0, 0, 50, 50, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

RECT RectIn(HWND control, HWND parent) {
    RECT rc;
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

::testing::AssertionResult RectIs(const RECT& rc, int l, int t, int r, int b) {
    if (rc.left == l && rc.top == t && rc.right == r && rc.bottom == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rect " << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom
                                         << " expected " << l << "," << t << "," << r << "," << b;
}

// A skin file of its own with named colours, made current through the skin manager.
std::wstring LoadTestSkin(const TempDir& dir) {
    std::wstring path = dir.File(L"Test-eng.xml");
    WriteText(path,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<SKIN_MM Caption=\"Test\" Width=\"300\" Height=\"200\"><Colors>"
              "<Color Name=\"FrameBackground\" Value=\"#102030\"/>"
              "<Color Name=\"FrameText\" Value=\"#F0F0F0\"/>"
              "<Color Name=\"MenuBackground\" Value=\"#203040\"/>"
              "<Color Name=\"MenuHighlight\" Value=\"#C06000\"/>"
              "<Color Name=\"TooltipBackground\" Value=\"#303010\"/>"
              "</Colors><MAINFRAME/></SKIN_MM>\n");
    LoadStandardSkin(path.c_str());
    return path;
}

TEST(PatinctlPanel, PlacesControlsFromTheirElementsAndAgainWhenResized) {
    TempDir dir;
    Host host(500, 300);
    CAutoPanel panel;
    ASSERT_TRUE(panel.CreateEx(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 100, host.Hwnd(),
                               reinterpret_cast<HMENU>(366)));
    auto panelElement = Element(L"FramePanelPlayer", {{L"Width", L"72"}, {L"Height", L"64"}});
    EXPECT_TRUE(panel.SetSkinElement(panelElement.get()));
    SIZE initial = panel.GetInitialSize();
    EXPECT_EQ(initial.cx, 72);
    EXPECT_EQ(initial.cy, 64);

    PictureFile picture(ButtonPicture(dir));
    auto e1 = Element(L"PLAYER_PLAY", {{L"Owner", L"FramePanelPlayer"}, {L"X", L"10"}, {L"Y", L"5"}});
    auto e2 = Element(L"PLAYER_STOP", {{L"Right", L"10"}, {L"Top", L"5"}, {L"Width", L"40"}, {L"Height", L"20"}});
    auto e3 = Element(L"PLAYER_POSITION", {{L"Left", L"10"}, {L"Right", L"10"}, {L"Bottom", L"5"}, {L"Height", L"20"}});
    auto e4 = Element(L"PLAYER_PAUSE", {{L"HCenter", L"-30"}});
    const enXml* elements[] = {e1.get(), e2.get(), e3.get(), e4.get()};
    HWND controls[4];
    for (int i = 0; i < 4; ++i) {
        controls[i] = Child(host.Hwnd(), i == 2 ? PT_WC_SLIDER : PT_WC_BUTTON, 0, 13010 + i);
        ASSERT_TRUE(UseSkin(controls[i], picture.Get(), nullptr, elements[i]));
        EXPECT_FALSE(IsWindowVisible(controls[i]));
        ASSERT_TRUE(panel.AutoDisposeControl(controls[i], elements[i]));
        EXPECT_EQ(GetParent(controls[i]), panel.GetSafeHwnd());
        EXPECT_TRUE(IsWindowVisible(controls[i]));
    }
    EXPECT_FALSE(panel.AutoDisposeControl(nullptr, e1.get()));
    EXPECT_FALSE(panel.AutoDisposeControl(controls[0], nullptr));

    EXPECT_TRUE(RectIs(RectIn(controls[0], panel), 10, 5, 30, 21));  // the picture's frame size
    EXPECT_TRUE(RectIs(RectIn(controls[1], panel), 250, 5, 290, 25));
    EXPECT_TRUE(RectIs(RectIn(controls[2], panel), 10, 75, 290, 95));
    EXPECT_TRUE(RectIs(RectIn(controls[3], panel), 110, 42, 130, 58));

    SetWindowPos(panel, nullptr, 0, 0, 400, 120, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_TRUE(RectIs(RectIn(controls[0], panel), 10, 5, 30, 21));
    EXPECT_TRUE(RectIs(RectIn(controls[1], panel), 350, 5, 390, 25));
    EXPECT_TRUE(RectIs(RectIn(controls[2], panel), 10, 95, 390, 115));
    EXPECT_TRUE(RectIs(RectIn(controls[3], panel), 160, 52, 180, 68));

    // Notifications of placed controls reach the panel's parent.
    MouseDown(controls[0], 3, 3);
    MouseUp(controls[0], 3, 3);
    auto commands = host.Of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 13010);
    SendMessageW(controls[2], WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_FALSE(host.Of(WM_HSCROLL).empty());

    EXPECT_EQ(panel.DetachAllControls(), 4);
    for (HWND control : controls) {
        EXPECT_EQ(GetParent(control), host.Hwnd());
        EXPECT_FALSE(IsWindowVisible(control));
    }
    EXPECT_EQ(panel.DetachAllControls(), 0);
    // A control destroyed while placed is forgotten.
    ASSERT_TRUE(panel.AutoDisposeControl(controls[0], e1.get()));
    DestroyWindow(controls[0]);
    EXPECT_EQ(panel.DetachAllControls(), 0);
}

TEST(PatinctlPanel, ControlsWithoutPlacementFollowEachOther) {
    TempDir dir;
    Host host(500, 300);
    HWND left = CreateWindowExW(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_VISIBLE, 0, 0, 72, 250, host.Hwnd(), nullptr,
                                nullptr, nullptr);
    HWND up = CreateWindowExW(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_VISIBLE, 80, 0, 400, 40, host.Hwnd(), nullptr,
                              nullptr, nullptr);
    PictureFile picture(ButtonPicture(dir));
    // As the module buttons of the standard skin: only "Owner" and "Source".
    auto moduleButton = Element(L"ModuleButton", {{L"Owner", L"FramePanelLeft"}, {L"Source", L"Standard\\a.bmp"}});
    auto sized = Element(L"ModuleButton", {{L"Width", L"30"}, {L"Height", L"30"}});
    auto placed = Element(L"ModuleButton", {{L"X", L"0"}, {L"Y", L"200"}});
    HWND buttons[4];
    const enXml* elements[4] = {moduleButton.get(), sized.get(), placed.get(), moduleButton.get()};
    for (int i = 0; i < 4; ++i) {
        buttons[i] = Child(host.Hwnd(), PT_WC_BUTTON, BS_PUSHBUTTON, 236 + i);  // four frames of 20x16
        ASSERT_TRUE(UseSkin(buttons[i], picture.Get(), nullptr, elements[i]));
        ASSERT_TRUE(SendMessageW(left, PTM_AUTODISPOSECONTROL, reinterpret_cast<WPARAM>(buttons[i]),
                                 reinterpret_cast<LPARAM>(elements[i])));
    }
    EXPECT_TRUE(RectIs(RectIn(buttons[0], left), 26, 4, 46, 20));
    EXPECT_TRUE(RectIs(RectIn(buttons[1], left), 21, 24, 51, 54));
    EXPECT_TRUE(RectIs(RectIn(buttons[2], left), 0, 200, 20, 216));  // placed ones do not take part
    EXPECT_TRUE(RectIs(RectIn(buttons[3], left), 26, 58, 46, 74));
    // In a wide panel they make a row.
    HWND row[2];
    for (int i = 0; i < 2; ++i) {
        row[i] = Child(host.Hwnd(), PT_WC_BUTTON, 0, 300 + i);
        ASSERT_TRUE(UseSkin(row[i], picture.Get(), nullptr, moduleButton.get()));
        ASSERT_TRUE(SendMessageW(up, PTM_AUTODISPOSECONTROL, reinterpret_cast<WPARAM>(row[i]),
                                 reinterpret_cast<LPARAM>(moduleButton.get())));
    }
    EXPECT_TRUE(RectIs(RectIn(row[0], up), 4, 12, 24, 28));
    EXPECT_TRUE(RectIs(RectIn(row[1], up), 28, 12, 48, 28));
}

TEST(PatinctlPanel, CaptionPanelDoubleClickMaximisesAndRestoresItsWindow) {
    Host host;
    // Maximised, it must not cover the windows of tests that use the real mouse.
    SetWindowPos(host.Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND caption = CreateWindowExW(0, PT_WC_AUTOPANELCAPTION, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 30, host.Hwnd(),
                                   nullptr, nullptr, nullptr);
    SendMessageW(caption, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    EXPECT_TRUE(WaitFor([&] { return IsZoomed(host.Hwnd()) != FALSE; }));
    SendMessageW(caption, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    EXPECT_TRUE(WaitFor([&] { return IsZoomed(host.Hwnd()) == FALSE; }));
    // A plain panel does not.
    HWND plain = CreateWindowExW(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_VISIBLE, 0, 40, 200, 30, host.Hwnd(), nullptr,
                                 nullptr, nullptr);
    SendMessageW(plain, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    Pump(200);
    EXPECT_FALSE(IsZoomed(host.Hwnd()));
}

TEST(PatinctlPanel, DrawsItsBackgroundLabelsAndImagesFromTheSkin) {
    TempDir dir;
    LoadTestSkin(dir);
    Host host;
    std::wstring image = dir.File(L"logo.png");
    ASSERT_TRUE(WritePng(image, 8, 8, [](int, int) { return Argb(RGB(250, 250, 0)); }));
    HWND panel = CreateWindowExW(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 60, host.Hwnd(), nullptr,
                                 nullptr, nullptr);
    auto plain = Element(L"FramePanelDown", {{L"Height", L"24"}});
    ASSERT_TRUE(SendMessageW(panel, PTM_SETSKINELEMENT, 0, reinterpret_cast<LPARAM>(plain.get())));
    EXPECT_TRUE(Near(PixelAt(panel, 100, 30), RGB(0x10, 0x20, 0x30)));  // the skin's FrameBackground

    auto element = Element(L"FramePanelUp", {{L"Background", L"#000000"}, {L"GradientTo", L"#0000FF"},
                                             {L"BorderColor", L"#FF0000"}});
    auto* label = new enXml(L"Label");
    label->SetAttribute(L"Text", L"MMMM");
    label->SetAttribute(L"X", L"100");
    label->SetAttribute(L"Y", L"5");
    label->SetAttribute(L"Width", L"90");
    label->SetAttribute(L"Height", L"40");
    label->SetAttribute(L"TextColor", L"#00FF00");
    label->SetAttribute(L"LogFont", L"Arial,36,Bold");
    element->AddChild(label);
    auto* logo = new enXml(L"Image");
    logo->SetAttribute(L"Source", L"logo.png");
    logo->SetAttribute(L"X", L"20");
    logo->SetAttribute(L"Y", L"20");
    element->AddChild(logo);
    ASSERT_TRUE(SendMessageW(panel, PTM_SETSKINELEMENT, 0, reinterpret_cast<LPARAM>(element.get())));
    EXPECT_TRUE(Near(PixelAt(panel, 0, 0), RGB(255, 0, 0)));   // border
    EXPECT_TRUE(Near(PixelAt(panel, 5, 2), RGB(0, 0, 8), 12));  // gradient top
    EXPECT_TRUE(Near(PixelAt(panel, 5, 57), RGB(0, 0, 247), 12));
    EXPECT_TRUE(Near(PixelAt(panel, 23, 23), RGB(250, 250, 0)));  // the image, relative to the skin's folder
    bool green = false;
    for (int x = 100; x < 190 && !green; ++x)
        for (int y = 5; y < 45 && !green; ++y) green = Near(PixelAt(panel, x, y), RGB(0, 255, 0), 40);
    EXPECT_TRUE(green);
}

TEST(PatinctlText, StaticTextHonoursTextColorLogFontAndKeepsItsWindowText) {
    TempDir dir;
    LoadTestSkin(dir);
    Host host;
    HWND text = Child(host.Hwnd(), PT_WC_STATIC, WS_VISIBLE, 14120, L"WWWW");
    SetWindowPos(text, nullptr, 0, 0, 200, 40, SWP_NOZORDER);
    auto element = Element(L"STATUS_BAR", {{L"TextColor", L"#FF0000"}, {L"LogFont", L"Arial,30,Bold"},
                                           {L"Background", L"#000000"}});
    EXPECT_TRUE(UseSkin(text, nullptr, nullptr, element.get()));  // a text needs no picture
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font, sizeof(lf), &lf));
    EXPECT_EQ(std::abs(lf.lfHeight), 30);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    int red = 0;
    for (int x = 0; x < 120; x += 2)
        for (int y = 0; y < 40; y += 2)
            if (Near(PixelAt(text, x, y), RGB(255, 0, 0), 60)) ++red;
    EXPECT_GT(red, 10);
    SetWindowTextW(text, L"Ready");
    wchar_t buffer[16] = {};
    GetWindowTextW(text, buffer, 16);
    EXPECT_STREQ(buffer, L"Ready");
    // The scrolling static keeps its text as well and runs a too-long one.
    HWND scroll = Child(host.Hwnd(), PT_WC_SCROLLSTATIC, WS_VISIBLE, 14121,
                        L"A title much longer than the narrow control that shows it");
    SetWindowPos(scroll, nullptr, 0, 50, 60, 20, SWP_NOZORDER);
    GetWindowTextW(scroll, buffer, 16);
    EXPECT_EQ(std::wstring(buffer), L"A title much lo");
    Pump(200);
}

TEST(PatinctlState, ControlStateSurvivesARecreatedControl) {
    Host host;
    HWND slider = Child(host.Hwnd(), PT_WC_SLIDER, 0, 14020);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 1000));
    SendMessageW(slider, TBM_SETPOS, TRUE, 640);
    HWND button = Child(host.Hwnd(), PT_WC_BUTTON, BS_AUTOCHECKBOX, 13035);
    SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    HWND text = Child(host.Hwnd(), PT_WC_STATIC, 0, 14120, L"Playing");

    void* sliderState = PtSaveControlState(slider);
    void* buttonState = PtSaveControlState(button);
    void* textState = PtSaveControlState(text);
    ASSERT_TRUE(sliderState && buttonState && textState);
    DestroyWindow(slider);
    DestroyWindow(button);
    DestroyWindow(text);

    slider = Child(host.Hwnd(), PT_WC_SCALESLIDER, 0, 14020);
    button = Child(host.Hwnd(), PT_WC_BUTTON, BS_AUTOCHECKBOX, 13035);
    text = Child(host.Hwnd(), PT_WC_STATIC, 0, 14120);
    EXPECT_TRUE(PtLoadControlState(slider, sliderState));
    EXPECT_TRUE(PtLoadControlState(button, buttonState));
    EXPECT_TRUE(PtLoadControlState(text, textState));
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 1000);
    EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 640);
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    wchar_t buffer[16] = {};
    GetWindowTextW(text, buffer, 16);
    EXPECT_STREQ(buffer, L"Playing");
    // A state of another kind changes only what fits.
    EXPECT_TRUE(PtLoadControlState(button, sliderState));
    EXPECT_EQ(SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(host.Of(WM_HSCROLL).empty());

    // Not a Patinctl window, not a state: refused.
    HWND plain = Child(host.Hwnd(), L"Static", 0, 1);
    EXPECT_EQ(PtSaveControlState(plain), nullptr);
    EXPECT_EQ(PtSaveControlState(nullptr), nullptr);
    EXPECT_FALSE(PtLoadControlState(plain, sliderState));
    EXPECT_FALSE(PtLoadControlState(slider, nullptr));
    int notAState[16] = {};
    EXPECT_FALSE(PtLoadControlState(slider, notAState));
    PtFreeMemory(notAState);  // not Patinctl's: left alone
    PtFreeMemory(nullptr);
    PtFreeMemory(sliderState);
    PtFreeMemory(buttonState);
    PtFreeMemory(textState);
}

TEST(PatinctlGroups, GroupMembersAreTheSlidersAddedAndDestroyedOnesCanBeMoved) {
    Host host;
    int group = GetUniqueGroupID();
    HWND sliders[3];
    for (int i = 0; i < 3; ++i) {
        sliders[i] = Child(host.Hwnd(), PT_WC_SLIDER, TBS_VERT, 16000 + 10 * i);
        EXPECT_TRUE(AddToGroup(group, sliders[i]));
    }
    HWND members[3] = {};
    ASSERT_EQ(GetGroupMembers(group, members, 3), 3);
    EXPECT_EQ(members[2], sliders[2]);
    int next = GetUniqueGroupID();
    EXPECT_GT(next, group);
    EXPECT_TRUE(RemoveGroup(group));
    EXPECT_EQ(GetGroupMembers(group, members, 3), 0);
}

TEST(PatinctlMenu, OwnerDrawnItemsAreMeasuredDrawnAndGivenBack) {
    TempDir dir;
    LoadTestSkin(dir);
    Host host;
    HMENU menu = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 2001, L"&Inner");
    AppendMenuW(menu, MF_STRING, 1001, L"&Open...\tCtrl+O");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), L"&More");
    AppendMenuW(menu, MF_OWNERDRAW, 1002, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(12345)));

    EXPECT_FALSE(PtChangeToOwnerDraw(nullptr, host.Hwnd()));
    EXPECT_FALSE(PtChangeToOwnerDraw(menu, nullptr));
    ASSERT_TRUE(PtChangeToOwnerDraw(menu, host.Hwnd()));
    EXPECT_TRUE(PtChangeToOwnerDraw(menu, host.Hwnd()));  // twice is harmless

    auto itemOf = [](HMENU m, UINT index) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID;
        GetMenuItemInfoW(m, index, TRUE, &info);
        return info;
    };
    MENUITEMINFOW open = itemOf(menu, 0), separator = itemOf(menu, 1), inner = itemOf(sub, 0), foreign = itemOf(menu, 3);
    EXPECT_TRUE(open.fType & MFT_OWNERDRAW);
    EXPECT_TRUE(separator.fType & MFT_OWNERDRAW);
    EXPECT_TRUE(inner.fType & MFT_OWNERDRAW);
    EXPECT_EQ(foreign.dwItemData, 12345u);  // someone else's owner-drawn item is left alone

    MEASUREITEMSTRUCT measureOpen{ODT_MENU, 0, 1001, 0, 0, open.dwItemData};
    ASSERT_TRUE(SendMessageW(host.Hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measureOpen)));
    MEASUREITEMSTRUCT measureSeparator{ODT_MENU, 0, 0, 0, 0, separator.dwItemData};
    ASSERT_TRUE(SendMessageW(host.Hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measureSeparator)));
    EXPECT_GT(measureOpen.itemWidth, 60u);
    EXPECT_GE(measureOpen.itemHeight, 16u);
    EXPECT_LT(measureSeparator.itemHeight, measureOpen.itemHeight);
    MEASUREITEMSTRUCT measureForeign{ODT_MENU, 0, 1002, 0, 0, 12345};
    EXPECT_FALSE(SendMessageW(host.Hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measureForeign)));

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 200, 30);
    HGDIOBJ old = SelectObject(dc, bmp);
    DRAWITEMSTRUCT draw{ODT_MENU, 0, 1001, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(menu), dc, {0, 0, 200, 24},
                        open.dwItemData};
    ASSERT_TRUE(SendMessageW(host.Hwnd(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    EXPECT_TRUE(Near(GetPixel(dc, 2, 2), RGB(0x20, 0x30, 0x40)));
    draw.itemState = ODS_SELECTED;
    ASSERT_TRUE(SendMessageW(host.Hwnd(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    EXPECT_TRUE(Near(GetPixel(dc, 2, 2), RGB(0xC0, 0x60, 0x00)));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);

    ASSERT_TRUE(PtClearOwnerDraw(menu));
    EXPECT_FALSE(PtClearOwnerDraw(menu));
    EXPECT_FALSE(itemOf(menu, 0).fType & MFT_OWNERDRAW);
    EXPECT_FALSE(itemOf(sub, 0).fType & MFT_OWNERDRAW);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Open...\tCtrl+O");
    GetMenuStringW(sub, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Inner");
    // The owner no longer measures items once no menu of it is owner-drawn.
    EXPECT_FALSE(SendMessageW(host.Hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measureOpen)));
    DestroyMenu(menu);
}

TEST(PatinctlAccess, ButtonsAndSlidersAreNamedByTheirTooltips) {
    TempDir dir;
    LoadTestSkin(dir);  // with tooltip colours
    Host host;
    CoInitialize(nullptr);
    HWND play = Child(host.Hwnd(), PT_WC_BUTTON, WS_VISIBLE, 13010);
    HWND shuffle = Child(host.Hwnd(), PT_WC_BUTTON, WS_VISIBLE | BS_AUTOCHECKBOX, 13035, L"Shuffle mode");
    HWND volume = Child(host.Hwnd(), PT_WC_SLIDER, WS_VISIBLE, 14020);
    EXPECT_TRUE(SendMessageW(play, PTM_SETTOOLTIP, 0, reinterpret_cast<LPARAM>(L"Play")));
    EXPECT_TRUE(SendMessageW(shuffle, PTM_SETTOOLTIP, reinterpret_cast<WPARAM>(L"Player"),
                             reinterpret_cast<LPARAM>(L"Shuffle")));
    EXPECT_TRUE(SendMessageW(volume, PTM_SETTOOLTIP, 0, reinterpret_cast<LPARAM>(L"Volume: 50%")));
    SendMessageW(volume, TBM_SETPOS, TRUE, 50);

    wchar_t text[32] = {};
    GetWindowTextW(play, text, 32);
    EXPECT_STREQ(text, L"Play");  // no text of its own: the tooltip is its text
    GetWindowTextW(shuffle, text, 32);
    EXPECT_STREQ(text, L"Shuffle mode");
    GetWindowTextW(volume, text, 32);
    EXPECT_STREQ(text, L"Volume: 50%");
    SendMessageW(volume, PTM_SETTOOLTIP, 0, reinterpret_cast<LPARAM>(L"Volume: 60%"));
    GetWindowTextW(volume, text, 32);
    EXPECT_STREQ(text, L"Volume: 60%");

    struct Case {
        HWND hwnd;
        const wchar_t* name;
        long role;
    } cases[] = {{play, L"Play", ROLE_SYSTEM_PUSHBUTTON},
                 {shuffle, L"Shuffle", ROLE_SYSTEM_CHECKBUTTON},
                 {volume, L"Volume: 60%", ROLE_SYSTEM_SLIDER}};
    for (const Case& c : cases) {
        IAccessible* acc = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(c.hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&acc)),
                  S_OK);
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        ASSERT_EQ(acc->get_accName(self, &name), S_OK);
        EXPECT_STREQ(name, c.name);
        SysFreeString(name);
        VARIANT role;
        VariantInit(&role);
        ASSERT_EQ(acc->get_accRole(self, &role), S_OK);
        EXPECT_EQ(role.lVal, c.role);
        acc->Release();
    }
    // The tooltip itself carries the text.
    HWND tip = reinterpret_cast<HWND>(SendMessageW(volume, TBM_GETTOOLTIPS, 0, 0));
    ASSERT_TRUE(IsWindow(tip));
    wchar_t tipText[64] = {};
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = host.Hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(volume);
    info.lpszText = tipText;
    SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(tipText, L"Volume: 60%");
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tip, TTM_GETTIPBKCOLOR, 0, 0)), RGB(0x30, 0x30, 0x10));

    // The slider's value is its position.
    IAccessible* acc = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(volume, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&acc)),
              S_OK);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR value = nullptr;
    ASSERT_EQ(acc->get_accValue(self, &value), S_OK);
    EXPECT_STREQ(value, L"50");
    SysFreeString(value);
    acc->Release();
    CoUninitialize();
}

TEST(PatinctlMisc, ComboEditTreeBrowserAndSurroundViewWorkAsWindows) {
    Host host;
    HWND combo = Child(host.Hwnd(), PT_WC_COMBOBOX, WS_VISIBLE | CBS_DROPDOWNLIST, 1);
    ASSERT_TRUE(combo);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Rock"));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Jazz"));
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);

    HWND edit = Child(host.Hwnd(), PT_WC_EDITBOX, WS_VISIBLE, 2, L"name");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"preset"));
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(text, L"preset");
    auto element = Element(L"EDIT", {{L"LogFont", L"Arial,14"}, {L"TextColor", L"#FF0000"}});
    EXPECT_TRUE(UseSkin(edit, nullptr, nullptr, element.get()));
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    EXPECT_EQ(std::abs(lf.lfHeight), 14);

    HWND tree = Child(host.Hwnd(), PT_WC_TREECTRL, WS_VISIBLE, 3);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(L"Library");
    EXPECT_TRUE(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 1);

    HWND browser = Child(host.Hwnd(), PT_WC_HTMLBROWSER, WS_VISIBLE, 4, L"<p>Hello &amp; welcome</p>");
    GetWindowTextW(browser, text, 32);
    EXPECT_STREQ(text, L"<p>Hello &amp; welcome</p>");
    EXPECT_NE(PixelAt(browser, 5, 5), CLR_INVALID);
    HWND view = Child(host.Hwnd(), PT_WC_SURROUNDVIEW, WS_VISIBLE, 5);
    EXPECT_TRUE(IsWindow(view));
    EXPECT_NE(PixelAt(view, 25, 25), CLR_INVALID);

    // Every Patinctl window answers a skin change.
    HWND all[] = {combo, edit, tree, browser, view};
    for (HWND w : all) SendMessageW(w, PTM_SKINCHANGED, 0, 0);

    // A dialog skinned in place keeps working.
    HWND dialogLike = CreateWindowExW(0, L"#32770", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, host.Hwnd(), nullptr,
                                      nullptr, nullptr);
    ASSERT_TRUE(dialogLike);
    EXPECT_TRUE(PtSkinWindow(dialogLike, PT_KIND_SCALEDIALOG, TRUE));
    EXPECT_FALSE(PtSkinWindow(dialogLike, PT_KIND_STATIC, TRUE));
    RedrawWindow(dialogLike, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

}  // namespace
