// CBitmapDialog under the virtual display: the background bitmap 1:1 in the
// client area, default erasing without one, transparent statics, and moving
// the window by dragging any point of its surface.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

// A point of the test dialog that no control covers.
constexpr POINT kBare = {470, 420};

}  // namespace

TEST(KwCtlDialog, BackgroundBitmapIsCopiedOneToOne) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    int loaded = -1;
    dlg.onInit = [&](CHostDialog& d) { loaded = d.SetBitmap(IDB_DIALOG_LARGE); };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        for (POINT p : {POINT{0, 0}, kBare, POINT{300, 400}, POINT{520, 5}})
            EXPECT_EQ(uidriver::GetPixel(hwnd, p), ResourcePixel(IDB_DIALOG_LARGE, p.x, p.y)) << p.x << "," << p.y;
    });
    EXPECT_EQ(loaded, 1);
}

TEST(KwCtlDialog, MissingBitmapLeavesDefaultErasing) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    int first = -1, second = -1;
    bool has = true;
    dlg.onInit = [&](CHostDialog& d) {
        first = d.SetBitmap(IDB_DIALOG_LARGE);
        second = d.SetBitmap(9999);  // no such bitmap: the earlier one goes too
        has = d.HasBitmap();
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        EXPECT_EQ(uidriver::GetPixel(hwnd, kBare), GetSysColor(COLOR_BTNFACE));
    });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(has);
}

TEST(KwCtlDialog, StaticsAreTransparentUntilTurnedOff) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    dlg.onInit = [](CHostDialog& d) { d.SetBitmap(IDB_DIALOG_LARGE); };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND plain = uidriver::FindControl(hwnd, IDC_T_PLAIN_STATIC);
        RECT rc = uidriver::GetRectInParent(plain);
        // Right of the short text, inside the static.
        POINT inside = {rc.right - 4, rc.bottom - 3};
        COLORREF under = ResourcePixel(IDB_DIALOG_LARGE, inside.x, inside.y);
        EXPECT_EQ(uidriver::GetPixel(hwnd, inside), under);
        RunOnUi(hwnd, [&] {
            dlg.m_bTransparentStatics = false;
            InvalidateRect(plain, nullptr, TRUE);
        });
        SettlePainting(hwnd);
        EXPECT_EQ(uidriver::GetPixel(hwnd, inside), GetSysColor(COLOR_BTNFACE));
    });
}

TEST(KwCtlDialog, DraggingAnyPointMovesTheWindowOnlyWhenEnabled) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    dlg.onInit = [](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        d.MoveWindow(100, 80, 534, 490);
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        // Real input goes to the window under the pointer: be on top of any
        // window another test may show meanwhile.
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        // Off from construction: pressing and moving does nothing.
        RECT before = uidriver::GetScreenRect(hwnd);
        RECT client = uidriver::GetClientScreenRect(hwnd);
        POINT from = {client.left + kBare.x, client.top + kBare.y};
        ASSERT_TRUE(uidriver::RealMouseDrag(from, {from.x + 60, from.y + 40}));
        SettlePainting(hwnd);
        RECT still = uidriver::GetScreenRect(hwnd);
        EXPECT_EQ(still.left, before.left);
        EXPECT_EQ(still.top, before.top);

        RunOnUi(hwnd, [&] { dlg.m_bDragEnabled = true; });
        ASSERT_TRUE(uidriver::RealMouseDrag(from, {from.x + 60, from.y + 40}));
        ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetScreenRect(hwnd).left != before.left; }, 3000));
        SettlePainting(hwnd);
        RECT moved = uidriver::GetScreenRect(hwnd);
        EXPECT_EQ(moved.left - before.left, 60);
        EXPECT_EQ(moved.top - before.top, 40);
        EXPECT_EQ(moved.right - moved.left, before.right - before.left);  // moved, not resized
    });
}
