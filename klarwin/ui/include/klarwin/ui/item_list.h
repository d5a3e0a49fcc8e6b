// CItemListCtrl: a standard list view that tells its owner when the state
// image (the check box of LVS_EX_CHECKBOXES) of an item is clicked: the item
// is redrawn and the owner receives WM_ITEM_STATE_CLICKED with the item's
// index in wParam and the list's control id in lParam. The owner still gets
// every notification of the list, NM_CLICK included; a list without state
// images never sends the message.
#pragma once

#include "klarwin/ui/control_base.h"

constexpr UINT WM_ITEM_STATE_CLICKED = 0x8112;

class CItemListCtrl : public CListCtrl {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnClick(const NMITEMACTIVATE& click);
};
