// CCheckBox under the virtual display: the state machine of mouse, space key
// and BM_CLICK, its own answers to BM_GETCHECK and BM_SETCHECK, the image cell
// it shows (unchecked or checked; normal, hot or pressed), BN_CLICKED to the
// parent, and its caption as the window text.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "klarwin/ui/check_box.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

// Which of the six cells (unchecked normal, hot, pressed, then checked ...)
// the control shows: -1 when none matches.
int ShownCell(HWND check) {
    SIZE size = uidriver::GetClientSize(check);
    int top = (size.cy - 13) / 2;
    std::vector<COLORREF> shown;
    if (!uidriver::GetPixels(check, RECT{0, top, 13, top + 13}, shown)) return -1;
    for (int strip = 0; strip < 2; ++strip)
        for (int cell = 0; cell < 3; ++cell) {
            bool same = true;
            for (int y = 0; y < 13 && same; ++y)
                for (int x = 0; x < 13 && same; ++x)
                    same = shown[static_cast<std::size_t>(y) * 13 + x] ==
                           ResourcePixel(strip ? IDB_CHECKBOX_ON : IDB_CHECKBOX_OFF, cell * 13 + x, y);
            if (same) return strip * 3 + cell;
        }
    return -1;
}

enum Cell { kOff = 0, kOffHot = 1, kOffPressed = 2, kOn = 3, kOnHot = 4, kOnPressed = 5 };

int Clicks(const CHostDialog& dlg, int id) {
    int n = 0;
    for (auto [cid, code] : dlg.Commands()) n += (cid == id && code == BN_CLICKED) ? 1 : 0;
    return n;
}

void Post(HWND hwnd, UINT message, WPARAM wParam, POINT at) {
    PostMessageW(hwnd, message, wParam, MAKELPARAM(at.x, at.y));
}

}  // namespace

TEST(KwCtlCheck, MouseSpaceAndClickDriveTheState) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CCheckBox box;
    bool images = false;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        box.SubclassDlgItem(IDC_T_CHECK, &d);
        images = box.LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
    };
    SetCursorPos(5, 5);
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND check = uidriver::FindControl(hwnd, IDC_T_CHECK);
        auto settle = [&] { SettlePainting(hwnd); };
        EXPECT_EQ(uidriver::GetText(check), L"Check me");
        EXPECT_EQ(uidriver::GetCheck(check), BST_UNCHECKED);
        EXPECT_EQ(ShownCell(check), kOff);

        // BM_SETCHECK: any non-zero value checks; no notification.
        SendMessageW(check, BM_SETCHECK, BST_INDETERMINATE, 0);
        settle();
        EXPECT_EQ(uidriver::GetCheck(check), BST_CHECKED);
        EXPECT_EQ(ShownCell(check), kOn);
        EXPECT_EQ(Clicks(dlg, IDC_T_CHECK), 0);

        // Hot, pressed, released inside: toggled, one BN_CLICKED.
        POINT inside = {6, 10}, outside = {300, 10};
        Post(check, WM_MOUSEMOVE, 0, inside);
        settle();
        EXPECT_EQ(ShownCell(check), kOnHot);
        Post(check, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        settle();
        EXPECT_EQ(ShownCell(check), kOnPressed);
        EXPECT_TRUE(SendMessageW(check, BM_GETSTATE, 0, 0) & BST_PUSHED);
        Post(check, WM_LBUTTONUP, 0, inside);
        settle();
        EXPECT_EQ(uidriver::GetCheck(check), BST_UNCHECKED);
        EXPECT_EQ(ShownCell(check), kOffHot);
        EXPECT_EQ(Clicks(dlg, IDC_T_CHECK), 1);

        // Pressed inside, released outside: nothing changes.
        Post(check, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        Post(check, WM_MOUSEMOVE, MK_LBUTTON, outside);
        settle();
        EXPECT_EQ(ShownCell(check), kOff);  // the press shows only while inside
        Post(check, WM_LBUTTONUP, 0, outside);
        settle();
        EXPECT_EQ(uidriver::GetCheck(check), BST_UNCHECKED);
        EXPECT_EQ(Clicks(dlg, IDC_T_CHECK), 1);
        PostMessageW(check, WM_MOUSELEAVE, 0, 0);
        settle();
        EXPECT_EQ(ShownCell(check), kOff);

        // The space key: pressed look on key down, toggle on key up.
        PostMessageW(check, WM_KEYDOWN, VK_SPACE, 0x00390001);
        settle();
        EXPECT_EQ(ShownCell(check), kOffPressed);
        EXPECT_EQ(uidriver::GetCheck(check), BST_UNCHECKED);
        PostMessageW(check, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
        settle();
        EXPECT_EQ(uidriver::GetCheck(check), BST_CHECKED);
        EXPECT_EQ(ShownCell(check), kOn);
        EXPECT_EQ(Clicks(dlg, IDC_T_CHECK), 2);

        // BM_CLICK, as the test driver and screen readers click.
        uidriver::PostClick(check);
        settle();
        EXPECT_EQ(uidriver::GetCheck(check), BST_UNCHECKED);
        EXPECT_EQ(Clicks(dlg, IDC_T_CHECK), 3);

        // Disabled: clicks do nothing.
        EnableWindow(check, FALSE);
        uidriver::PostClick(check);
        Post(check, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        Post(check, WM_LBUTTONUP, 0, inside);
        settle();
        EXPECT_EQ(uidriver::GetCheck(check), BST_UNCHECKED);
        EXPECT_EQ(Clicks(dlg, IDC_T_CHECK), 3);
    });
    EXPECT_TRUE(images);
}

TEST(KwCtlCheck, CaptionIsDrawnBesideTheImageAndFollowsTheWindowText) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CCheckBox withCaption, bare;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        withCaption.SubclassDlgItem(IDC_T_CHECK, &d);
        withCaption.LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
        bare.SubclassDlgItem(IDC_T_CHECK2, &d);
        bare.LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
    };
    SetCursorPos(5, 5);
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND check = uidriver::FindControl(hwnd, IDC_T_CHECK);
        SIZE size = uidriver::GetClientSize(check);
        RECT text = {17, 0, size.cx, size.cy};
        EXPECT_GT(uidriver::CountPixels(check, text, RGB(0, 0, 0), 100), 5);
        std::vector<COLORREF> before;
        uidriver::GetPixels(check, text, before);
        SetWindowTextW(check, L"Other words");
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetText(check), L"Other words");
        std::vector<COLORREF> after;
        uidriver::GetPixels(check, text, after);
        EXPECT_NE(before, after);
        // Without a caption the box is just its image.
        EXPECT_EQ(ShownCell(uidriver::FindControl(hwnd, IDC_T_CHECK2)), kOff);
    });
}

TEST(KwCtlCheck, WithoutImagesTheSystemBoxIsDrawn) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CCheckBox box;
    bool loaded = true;
    dlg.onInit = [&](CHostDialog& d) {
        box.SubclassDlgItem(IDC_T_CHECK2, &d);
        loaded = box.LoadImages(9998, 9999);
        box.SetCheck(BST_CHECKED);
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND check = uidriver::FindControl(hwnd, IDC_T_CHECK2);
        EXPECT_EQ(uidriver::GetCheck(check), BST_CHECKED);
        // Something dark is drawn (the frame and the mark).
        EXPECT_GT(uidriver::CountPixels(check, RECT{0, 0, 13, 13}, RGB(0, 0, 0), 110), 6);
    });
    EXPECT_FALSE(loaded);
}
