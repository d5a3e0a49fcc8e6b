// CXColorStatic under the virtual display: colours and fonts, transparent or
// filled background, alignment, offsets, icons, and the own text that later
// SetWindowText calls change neither on screen nor in the window text.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "klarwin/ui/color_static.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kRed = RGB(200, 0, 0);

bool IsRed(COLORREF c) { return GetRValue(c) > 120 && GetGValue(c) < 90 && GetBValue(c) < 90; }

// The horizontal extent of the red text pixels of a static: {first, last} column.
std::pair<int, int> RedColumns(HWND control) {
    SIZE size = uidriver::GetClientSize(control);
    std::vector<COLORREF> pixels;
    uidriver::GetPixels(control, RECT{0, 0, size.cx, size.cy}, pixels);
    int first = size.cx, last = -1;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            if (IsRed(pixels[static_cast<std::size_t>(y) * size.cx + x])) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

std::vector<COLORREF> Snapshot(HWND control) {
    SIZE size = uidriver::GetClientSize(control);
    std::vector<COLORREF> pixels;
    uidriver::GetPixels(control, RECT{0, 0, size.cx, size.cy}, pixels);
    return pixels;
}

struct Statics {
    CXColorStatic see, opaque, icon;
};

}  // namespace

TEST(KwCtlColor, OwnTextStaysPaintedAndStaysTheWindowText) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Statics s;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        s.see.SubclassDlgItem(IDC_T_COLOR, &d);
        s.see.SetTextColor(kRed);
        s.see.SetFont(14, FW_BOLD);
        s.see.SetText(L"Own text");
        s.opaque.SubclassDlgItem(IDC_T_COLOR2, &d);
        s.opaque.SetTextColor(kRed);
        s.opaque.SetFont(14, FW_BOLD);
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND see = uidriver::FindControl(hwnd, IDC_T_COLOR);
        HWND opaque = uidriver::FindControl(hwnd, IDC_T_COLOR2);
        EXPECT_EQ(uidriver::GetText(see), L"Own text");
        std::vector<COLORREF> before = Snapshot(see);

        SetWindowTextW(see, L"Somebody else's words");
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetText(see), L"Own text");
        EXPECT_EQ(Snapshot(see), before);

        // SetText again changes both.
        RunOnUi(hwnd, [&] { s.see.SetText(L"New own"); });
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetText(see), L"New own");
        EXPECT_NE(Snapshot(see), before);

        // Without own text the window text is what is painted.
        std::vector<COLORREF> opaqueBefore = Snapshot(opaque);
        SetWindowTextW(opaque, L"Changed");
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetText(opaque), L"Changed");
        EXPECT_NE(Snapshot(opaque), opaqueBefore);
    });
}

TEST(KwCtlColor, TextColourAndTransparentOrFilledBackground) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Statics s;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        s.see.SubclassDlgItem(IDC_T_COLOR, &d);
        s.see.SetTextColor(kRed);
        s.see.SetFont(14, FW_BOLD);
        s.see.SetBackgroundColor(RGB(0, 0, 128));  // not used: the control is transparent
        s.opaque.SubclassDlgItem(IDC_T_COLOR2, &d);
        s.opaque.SetTextColor(kRed);
        s.opaque.SetFont(14, FW_BOLD);
        s.opaque.SetBackgroundColor(RGB(0, 0, 128));
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND see = uidriver::FindControl(hwnd, IDC_T_COLOR);
        HWND opaque = uidriver::FindControl(hwnd, IDC_T_COLOR2);
        SIZE size = uidriver::GetClientSize(see);
        EXPECT_GT(uidriver::CountPixels(see, RECT{0, 0, size.cx, size.cy}, kRed, 30), 20);
        RECT place = uidriver::GetRectInParent(see);
        POINT corner = {size.cx - 2, size.cy - 2};
        EXPECT_EQ(uidriver::GetPixel(see, corner),
                  ResourcePixel(IDB_DIALOG_LARGE, place.left + corner.x, place.top + corner.y));
        SIZE osize = uidriver::GetClientSize(opaque);
        EXPECT_EQ(uidriver::GetPixel(opaque, {osize.cx - 2, osize.cy - 2}), RGB(0, 0, 128));
        EXPECT_GT(uidriver::CountPixels(opaque, RECT{0, 0, osize.cx, osize.cy}, kRed, 30), 20);

        // Disabled text is grey.
        EnableWindow(see, FALSE);
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::CountPixels(see, RECT{0, 0, size.cx, size.cy}, kRed, 30), 0);
    });
}

TEST(KwCtlColor, AlignmentFromStyleOrFlagsAndOffsets) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Statics s;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        s.see.SubclassDlgItem(IDC_T_COLOR, &d);
        s.see.SetTextColor(kRed);
        s.see.SetFont(12, FW_BOLD);
        s.see.SetText(L"Middle");
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND see = uidriver::FindControl(hwnd, IDC_T_COLOR);
        int width = uidriver::GetClientSize(see).cx;
        auto [l0, r0] = RedColumns(see);  // the template's style: left
        ASSERT_GE(r0, 0);
        EXPECT_LE(l0, 3);

        RunOnUi(hwnd, [&] { s.see.SetAlignment(SS_CENTER); });
        SettlePainting(hwnd);
        auto [l1, r1] = RedColumns(see);
        EXPECT_LE(std::abs(l1 - (width - 1 - r1)), 4);

        RunOnUi(hwnd, [&] { s.see.SetAlignment(SS_RIGHT); });
        SettlePainting(hwnd);
        auto [l2, r2] = RedColumns(see);
        EXPECT_GE(r2, width - 5);
        EXPECT_EQ(r2 - l2, r0 - l0);

        // Back to the style, shifted by an offset.
        RunOnUi(hwnd, [&] {
            s.see.SetUseStyle(true);
            s.see.SetTextOffset(30, 0);
        });
        SettlePainting(hwnd);
        auto [l3, r3] = RedColumns(see);
        EXPECT_EQ(l3, l0 + 30);
        EXPECT_EQ(r3, r0 + 30);

        // SS_CENTERIMAGE: one vertically centred line.
        UINT flags = 0;
        RunOnUi(hwnd, [&] {
            s.see.ModifyStyle(0, SS_CENTERIMAGE);
            flags = s.see.GetDrawFlags();
        });
        EXPECT_EQ(flags & (DT_VCENTER | DT_SINGLELINE | DT_WORDBREAK), static_cast<UINT>(DT_VCENTER | DT_SINGLELINE));
    });
}

TEST(KwCtlColor, AnIconIsDrawnCentredInsteadOfTheText) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Statics s;
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KLARWIN), IMAGE_ICON, 32,
                                               32, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    dlg.onInit = [&](CHostDialog& d) {
        s.icon.SubclassDlgItem(IDC_T_ICON, &d);
        s.icon.SetBackgroundColor(RGB(255, 255, 255));
        s.icon.SetTextColor(kRed);
        s.icon.SetFont(12, FW_BOLD);
        s.icon.SetText(L"WWWW");
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND control = uidriver::FindControl(hwnd, IDC_T_ICON);
        SIZE size = uidriver::GetClientSize(control);
        EXPECT_GT(uidriver::CountPixels(control, RECT{0, 0, size.cx, size.cy}, kRed, 30), 5);
        RunOnUi(hwnd, [&] { s.icon.SetIcon(icon); });
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::CountPixels(control, RECT{0, 0, size.cx, size.cy}, kRed, 30), 0);
        // The middle is the icon's, the corners stay white.
        int inIcon = size.cx * size.cy - uidriver::CountPixels(control, RECT{0, 0, size.cx, size.cy}, RGB(255, 255, 255));
        EXPECT_GT(inIcon, 100);
        EXPECT_EQ(uidriver::GetPixel(control, {1, 1}), RGB(255, 255, 255));
        EXPECT_EQ(uidriver::GetText(control), L"WWWW");  // still read out
    });
    DestroyIcon(icon);
}

TEST(KwCtlColor, TooltipTextsBecomeToolsOfTheSharedTooltip) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Statics s;
    CToolTipCtrl tips;
    dlg.onInit = [&](CHostDialog& d) {
        s.see.SubclassDlgItem(IDC_T_COLOR, &d);
        s.see.SetTooltipText(L"What the colour text means.");
        s.opaque.SubclassDlgItem(IDC_T_COLOR2, &d);
        s.opaque.SetTooltipText(L"Another explanation.");
        tips.Create(&d);
        tips.Activate(true);
        tips.SetMaxTipWidth(400);
        tips.AddTool(s.see, s.see.GetTooltipText());
        tips.AddTool(s.opaque, s.opaque.GetTooltipText());
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND see = uidriver::FindControl(hwnd, IDC_T_COLOR);
        HWND opaque = uidriver::FindControl(hwnd, IDC_T_COLOR2);
        int count = 0;
        std::wstring first, second;
        RunOnUi(hwnd, [&] {
            count = tips.GetToolCount();
            first = tips.GetToolText(see);
            tips.UpdateTipText(opaque, L"Changed explanation.");
            second = tips.GetToolText(opaque);
        });
        EXPECT_EQ(count, 2);
        EXPECT_EQ(first, L"What the colour text means.");
        EXPECT_EQ(second, L"Changed explanation.");
    });
}
