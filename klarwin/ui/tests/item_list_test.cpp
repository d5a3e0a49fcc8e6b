// CItemListCtrl under the virtual display: a click on an item's state image
// tells the owner with WM_ITEM_STATE_CLICKED; other clicks, and lists without
// state images, do not; the owner still gets the list's notifications.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "klarwin/ui/item_list.h"

#include <gtest/gtest.h>

namespace {

// A point of item `item` of the list where the hit test answers `wanted`.
POINT FindHit(CItemListCtrl& list, int item, UINT wanted) {
    RECT bounds = {};
    list.GetItemRect(item, bounds, LVIR_BOUNDS);
    int y = (bounds.top + bounds.bottom) / 2;
    for (int x = bounds.left; x < bounds.right; ++x) {
        LVHITTESTINFO hit = {};
        hit.pt = {x, y};
        if (list.HitTest(hit) == item && (hit.flags & LVHT_ONITEM) == wanted) return hit.pt;
    }
    return POINT{-1, -1};
}

void Fill(CItemListCtrl& list, DWORD exStyle) {
    list.SetExtendedStyle(exStyle);
    list.InsertColumn(0, L"Program", LVCFMT_LEFT, 120);
    list.InsertColumn(1, L"File Name", LVCFMT_LEFT, 165);
    for (int i = 0; i < 3; ++i) {
        list.InsertItem(i, L"Item " + std::to_wstring(i));
        list.SetItemText(i, 1, L"C:\\file" + std::to_wstring(i) + L".exe");
    }
}

}  // namespace

TEST(KwCtlList, ClicksOnTheStateImageAreReported) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CItemListCtrl list;
    dlg.onInit = [&](CHostDialog& d) {
        list.SubclassDlgItem(IDC_T_LIST, &d);
        Fill(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND control = uidriver::FindControl(hwnd, IDC_T_LIST);
        POINT stateIcon = {-1, -1}, label = {-1, -1};
        std::wstring text;
        RunOnUi(hwnd, [&] {
            stateIcon = FindHit(list, 1, LVHT_ONITEMSTATEICON);
            label = FindHit(list, 1, LVHT_ONITEMLABEL);
            text = list.GetItemText(1, 1);
        });
        EXPECT_EQ(text, L"C:\\file1.exe");
        ASSERT_GE(stateIcon.x, 0);
        ASSERT_GE(label.x, 0);

        uidriver::PostMouseClick(control, stateIcon);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return dlg.StateClicks().size() == 1; }, 3000));
        EXPECT_EQ(dlg.StateClicks().front(), 1u);
        int notified = dlg.NotifyClicks();
        EXPECT_GE(notified, 1);  // the owner still gets NM_CLICK

        uidriver::PostMouseClick(control, label);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return dlg.NotifyClicks() > notified; }, 3000));
        SettlePainting(hwnd);
        EXPECT_EQ(dlg.StateClicks().size(), 1u);
    });
}

TEST(KwCtlList, AListWithoutStateImagesNeverReports) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CItemListCtrl list;
    dlg.onInit = [&](CHostDialog& d) {
        list.SubclassDlgItem(IDC_T_LIST, &d);
        Fill(list, LVS_EX_FULLROWSELECT);
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND control = uidriver::FindControl(hwnd, IDC_T_LIST);
        RECT bounds = {};
        RunOnUi(hwnd, [&] { list.GetItemRect(2, bounds, LVIR_BOUNDS); });
        for (int x : {2, 6, 10, 14, 40}) {
            uidriver::PostMouseClick(control, {bounds.left + x, (bounds.top + bounds.bottom) / 2});
        }
        ASSERT_TRUE(uidriver::WaitUntil([&] { return dlg.NotifyClicks() >= 5; }, 3000));
        int selected = -1;
        RunOnUi(hwnd, [&] { selected = list.GetSelectionMark(); });
        EXPECT_EQ(selected, 2);
        EXPECT_TRUE(dlg.StateClicks().empty());
    });
}
