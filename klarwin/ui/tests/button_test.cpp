// CBitmapButtonEx and CCtrlButton under the virtual display: which bitmap
// shows in which state, the colour key, the caption (underlined while
// hovered, grey when disabled with a disabled bitmap, always the window
// text), and keyboard focus moves with Tab and Shift+Tab.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "klarwin/ui/bitmap_button.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr COLORREF kKey = RGB(255, 0, 0);
constexpr COLORREF kCaptionGreen = RGB(0, 255, 0);

// A point of bitmap `a` that is no key colour and differs from the same point
// of every bitmap in `others`, away from the middle where the caption goes.
POINT DistinctPoint(UINT a, std::initializer_list<UINT> others) {
    SIZE size = ResourceBitmapSize(a);
    for (int y = 2; y < size.cy - 2; ++y)
        for (int x = 2; x < size.cx / 4; ++x) {
            COLORREF c = ResourcePixel(a, x, y);
            if (c == kKey) continue;
            bool distinct = true;
            for (UINT o : others)
                if (ResourcePixel(o, x, y) == c) distinct = false;
            if (distinct) return POINT{x, y};
        }
    return POINT{-1, -1};
}

POINT KeyPoint(UINT bitmap) {
    SIZE size = ResourceBitmapSize(bitmap);
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            if (ResourcePixel(bitmap, x, y) == kKey) return POINT{x, y};
    return POINT{-1, -1};
}

// Pixels of the caption band of a button, as the screen shows them.
std::vector<COLORREF> CaptionBand(HWND button) {
    SIZE size = uidriver::GetClientSize(button);
    std::vector<COLORREF> pixels;
    uidriver::GetPixels(button, RECT{size.cx / 4, 0, size.cx * 3 / 4, size.cy}, pixels);
    return pixels;
}

int CountNear(const std::vector<COLORREF>& pixels, COLORREF colour, int tolerance) {
    int n = 0;
    for (COLORREF c : pixels) n += uidriver::ColoursClose(c, colour, tolerance) ? 1 : 0;
    return n;
}

void PointerOver(HWND hwnd) {
    RECT rc = uidriver::GetClientScreenRect(hwnd);
    POINT centre = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    SetCursorPos(centre.x, centre.y);
    uidriver::PostMouseMove(hwnd, {(rc.right - rc.left) / 2, (rc.bottom - rc.top) / 2});
}

void PointerAway() { SetCursorPos(5, 5); }

struct Buttons {
    CBitmapButtonEx first, second;
};

}  // namespace

TEST(KwCtlButton, WithoutHoverBitmapKeepsItsImageButUnderlinesTheCaption) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Buttons b;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        b.first.SubclassDlgItem(IDC_T_BUTTON, &d);
        b.first.LoadBitmaps(kKey, IDB_SCAN_NOW);
        b.first.SizeToBitmap();
        b.first.SetCaptionFont(14, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        b.first.SetCaption(L"Go");
        b.first.SetCaptionRect({0, 0, 113, 31});
    };
    PointerAway();
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND button = uidriver::FindControl(hwnd, IDC_T_BUTTON);
        EXPECT_EQ(uidriver::GetText(button), L"Go");  // the caption is the window text
        POINT p = DistinctPoint(IDB_SCAN_NOW, {IDB_SCAN_NOW_HOVER});
        ASSERT_GE(p.x, 0);
        EXPECT_EQ(uidriver::GetPixel(button, p), ResourcePixel(IDB_SCAN_NOW, p.x, p.y));
        std::vector<COLORREF> plain = CaptionBand(button);

        PointerOver(button);
        ASSERT_TRUE(uidriver::WaitUntil([&] {
            bool hover = false;
            RunOnUi(hwnd, [&] { hover = b.first.IsHovering(); });
            return hover;
        }, 3000));
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetPixel(button, p), ResourcePixel(IDB_SCAN_NOW, p.x, p.y));
        std::vector<COLORREF> hovered = CaptionBand(button);
        ASSERT_EQ(plain.size(), hovered.size());
        // The difference is the underline: one or two rows of changed pixels.
        SIZE size = uidriver::GetClientSize(button);
        int bandWidth = size.cx * 3 / 4 - size.cx / 4;
        std::set<int> rows;
        int changed = 0;
        for (std::size_t i = 0; i < plain.size(); ++i)
            if (plain[i] != hovered[i]) {
                ++changed;
                rows.insert(static_cast<int>(i) / bandWidth);
            }
        EXPECT_GE(changed, 8);
        EXPECT_LE(rows.size(), 3u);

        // The pointer leaves: within a few timer ticks the caption is plain again.
        PointerAway();
        ASSERT_TRUE(uidriver::WaitUntil([&] {
            bool hover = true;
            RunOnUi(hwnd, [&] { hover = b.first.IsHovering(); });
            return !hover;
        }, 3000));
        SettlePainting(hwnd);
        EXPECT_EQ(CaptionBand(button), plain);
    });
}

TEST(KwCtlButton, ChoosesPressedHoverDisabledOrNormal) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Buttons b;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        b.first.SubclassDlgItem(IDC_T_BUTTON, &d);
        b.first.LoadBitmaps(kKey, IDB_SCAN_NOW, IDB_LAST_RESULTS_HOVER, IDB_SCAN_NOW_HOVER, IDB_SCAN_NOW_DISABLED);
        b.first.SizeToBitmap();
        b.first.SetCaptionFont(14, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        b.first.SetCaptionColor(kCaptionGreen);
        b.first.SetCaption(L"Ill");
        b.second.SubclassDlgItem(IDC_T_BUTTON2, &d);
        b.second.LoadBitmaps(kKey, IDB_SCAN_NOW);  // no disabled bitmap
        b.second.SizeToBitmap();
        b.second.SetCaptionFont(14, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        b.second.SetCaptionColor(kCaptionGreen);
        b.second.SetCaption(L"Ill");
    };
    PointerAway();
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND button = uidriver::FindControl(hwnd, IDC_T_BUTTON);
        HWND second = uidriver::FindControl(hwnd, IDC_T_BUTTON2);
        POINT p = DistinctPoint(IDB_SCAN_NOW, {IDB_SCAN_NOW_HOVER, IDB_LAST_RESULTS_HOVER, IDB_SCAN_NOW_DISABLED});
        ASSERT_GE(p.x, 0);
        auto shows = [&](HWND w, UINT bitmap) { return uidriver::GetPixel(w, p) == ResourcePixel(bitmap, p.x, p.y); };
        EXPECT_TRUE(shows(button, IDB_SCAN_NOW));

        PointerOver(button);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return shows(button, IDB_SCAN_NOW_HOVER); }, 3000));
        // Pushed wins over hovering.
        SendMessageW(button, BM_SETSTATE, TRUE, 0);
        SettlePainting(hwnd);
        EXPECT_TRUE(shows(button, IDB_LAST_RESULTS_HOVER));
        SendMessageW(button, BM_SETSTATE, FALSE, 0);
        PointerAway();
        ASSERT_TRUE(uidriver::WaitUntil([&] { return shows(button, IDB_SCAN_NOW); }, 3000));

        // Disabled: the disabled bitmap and a grey caption; without a disabled
        // bitmap the normal one and the caption's own colour.
        std::vector<COLORREF> enabledBand = CaptionBand(button);
        EXPECT_GT(CountNear(enabledBand, kCaptionGreen, 40), 5);
        EnableWindow(button, FALSE);
        EnableWindow(second, FALSE);
        SettlePainting(hwnd);
        EXPECT_TRUE(shows(button, IDB_SCAN_NOW_DISABLED));
        std::vector<COLORREF> disabledBand = CaptionBand(button);
        EXPECT_EQ(CountNear(disabledBand, kCaptionGreen, 40), 0);
        EXPECT_GT(CountNear(disabledBand, GetSysColor(COLOR_GRAYTEXT), 24),
                  CountNear(enabledBand, GetSysColor(COLOR_GRAYTEXT), 24));
        EXPECT_TRUE(shows(second, IDB_SCAN_NOW));
        EXPECT_GT(CountNear(CaptionBand(second), kCaptionGreen, 40), 5);
    });
}

TEST(KwCtlButton, KeyedPixelsShowTheDialogAndTheCaptionFollowsTheWindowText) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Buttons b;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        b.first.SubclassDlgItem(IDC_T_BUTTON, &d);
        b.first.LoadBitmaps(kKey, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL);
        b.first.SizeToBitmap();
        b.first.SetCaptionFont(8, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        b.first.SetCaption(L"Stop Scan");
        b.first.SetCaptionRect({0, 0, 81, 21});
    };
    PointerAway();
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND button = uidriver::FindControl(hwnd, IDC_T_BUTTON);
        EXPECT_EQ(uidriver::GetClientSize(button).cx, 81);
        EXPECT_EQ(uidriver::GetClientSize(button).cy, 21);
        POINT key = KeyPoint(IDB_BUTTON_SMALL);
        ASSERT_GE(key.x, 0) << "the small button has keyed corners";
        RECT place = uidriver::GetRectInParent(button);
        EXPECT_EQ(uidriver::GetPixel(button, key),
                  ResourcePixel(IDB_DIALOG_LARGE, place.left + key.x, place.top + key.y));

        std::vector<COLORREF> before = CaptionBand(button);
        SetWindowTextW(button, L"Resume");
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetText(button), L"Resume");
        std::wstring caption;
        RunOnUi(hwnd, [&] { caption = b.first.GetCaption(); });
        EXPECT_EQ(caption, L"Resume");
        EXPECT_NE(CaptionBand(button), before);
    });
}

TEST(KwCtlButton, TabAndShiftTabMoveTheFocus) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    Buttons b;
    dlg.onInit = [&](CHostDialog& d) {
        b.first.SubclassDlgItem(IDC_T_BUTTON, &d);
        b.first.LoadBitmaps(kKey, IDB_BUTTON_SMALL);
        b.second.SubclassDlgItem(IDC_T_BUTTON2, &d);
        b.second.LoadBitmaps(kKey, IDB_BUTTON_SMALL);
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND first = uidriver::FindControl(hwnd, IDC_T_BUTTON);
        HWND second = uidriver::FindControl(hwnd, IDC_T_BUTTON2);
        // The template gave the first button no tab stop; binding adds it.
        EXPECT_TRUE(uidriver::GetStyle(first) & WS_TABSTOP);
        EXPECT_TRUE(SendMessageW(first, WM_GETDLGCODE, 0, 0) & DLGC_WANTTAB);

        HWND focus = nullptr;
        RunOnUi(hwnd, [&] { ::SetFocus(first); });
        uidriver::PostKey(first, VK_TAB);
        SettlePainting(hwnd);
        RunOnUi(hwnd, [&] { focus = GetFocus(); });
        EXPECT_EQ(focus, second);

        // Shift+Tab: the shift key is down on the dialog's thread.
        RunOnUi(hwnd, [&] {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_SHIFT] = 0x80;
            SetKeyboardState(keys);
            SendMessageW(second, WM_KEYDOWN, VK_TAB, 1);
            keys[VK_SHIFT] = 0;
            SetKeyboardState(keys);
            focus = GetFocus();
        });
        EXPECT_EQ(focus, first);
    });
}
