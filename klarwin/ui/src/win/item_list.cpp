#include "klarwin/ui/item_list.h"

const CMessageMap& CItemListCtrl::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CItemListCtrl>(&CListCtrl::GetThisMessageMap());
    return map;
}

BOOL CItemListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_NOTIFY && lParam) {
        const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
        if (nm->code == NM_CLICK && nm->hwndFrom == m_hWnd) OnClick(*reinterpret_cast<const NMITEMACTIVATE*>(lParam));
    }
    // The owner gets the notification as well.
    return CListCtrl::OnChildNotify(message, wParam, lParam, result);
}

void CItemListCtrl::OnClick(const NMITEMACTIVATE& click) {
    LVHITTESTINFO hit = {};
    hit.pt = click.ptAction;  // list coordinates
    int item = HitTest(hit);
    if (item < 0 || (hit.flags & LVHT_ONITEM) != LVHT_ONITEMSTATEICON) return;
    RedrawItems(item, item);
    HWND owner = GetParent();
    if (owner) ::SendMessageW(owner, WM_ITEM_STATE_CLICKED, static_cast<WPARAM>(item), GetDlgCtrlID());
}
