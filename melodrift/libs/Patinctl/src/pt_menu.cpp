// Owner-drawn menus in the skin's colours. PtChangeToOwnerDraw turns every
// item of a menu (and of its pop-ups) into an owner-drawn item that keeps its
// text, and subclasses the owner window, which answers WM_MEASUREITEM and
// WM_DRAWITEM for those items; PtClearOwnerDraw gives the items their texts
// back.
#include "pt_internal.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>

namespace pt {
namespace {

struct ItemData {
    std::wstring text;
    bool topLevel = false;  // an item of a window's menu bar
    bool separator = false;
};

struct Registry {
    std::mutex lock;
    std::set<ItemData*> items;      // alive item data (the only pointers we dereference)
    std::map<HMENU, HWND> menus;    // converted menus and their owners
};

Registry& Reg() {
    static Registry registry;
    return registry;
}

const UINT_PTR kSubclassId = 0x50544D4E;  // "PTMN"

HFONT MenuFont() {
    static HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            return CreateFontIndirectW(&metrics.lfMenuFont);
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

ItemData* Lookup(ULONG_PTR data) {
    auto* item = reinterpret_cast<ItemData*>(data);
    std::lock_guard<std::mutex> guard(Reg().lock);
    return Reg().items.count(item) ? item : nullptr;
}

void Split(const std::wstring& text, std::wstring& label, std::wstring& accel) {
    size_t tab = text.find(L'\t');
    label = text.substr(0, tab);
    accel = tab == std::wstring::npos ? L"" : text.substr(tab + 1);
}

void Measure(MEASUREITEMSTRUCT& m, const ItemData& item) {
    if (item.separator) {
        m.itemWidth = 10;
        m.itemHeight = 7;
        return;
    }
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    std::wstring label, accel;
    Split(item.text, label, accel);
    RECT labelRect = {0, 0, 0, 0}, accelRect = {0, 0, 0, 0};
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &labelRect, DT_SINGLELINE | DT_CALCRECT);
    if (!accel.empty())
        DrawTextW(dc, accel.c_str(), static_cast<int>(accel.size()), &accelRect, DT_SINGLELINE | DT_CALCRECT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (item.topLevel) {
        m.itemWidth = static_cast<UINT>(labelRect.right + 12);
        m.itemHeight = static_cast<UINT>(std::max<LONG>(GetSystemMetrics(SM_CYMENU), metrics.tmHeight + 4));
        return;
    }
    m.itemWidth = static_cast<UINT>(22 + labelRect.right + (accel.empty() ? 0 : 28 + accelRect.right) + 16);
    m.itemHeight = static_cast<UINT>(std::max<LONG>(22, metrics.tmHeight + 8));
}

void Draw(const DRAWITEMSTRUCT& d, const ItemData& item) {
    HDC dc = d.hDC;
    RECT rc = d.rcItem;
    bool selected = (d.itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0;
    bool disabled = (d.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    COLORREF back = SkinColor(L"MenuBackground", GetSysColor(COLOR_MENU));
    COLORREF text = SkinColor(L"MenuText", GetSysColor(COLOR_MENUTEXT));
    if (selected && !item.separator) {
        back = SkinColor(L"MenuHighlight", GetSysColor(COLOR_HIGHLIGHT));
        text = SkinColor(L"MenuHighlightText", GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    if (disabled) text = SkinColor(L"MenuDisabledText", GetSysColor(COLOR_GRAYTEXT));
    FillSolid(dc, rc, back);
    if (item.separator) {
        RECT line = {rc.left + 4, (rc.top + rc.bottom) / 2, rc.right - 4, (rc.top + rc.bottom) / 2 + 1};
        FillSolid(dc, line, SkinColor(L"MenuSeparator", GetSysColor(COLOR_GRAYTEXT)));
        return;
    }
    std::wstring label, accel;
    Split(item.text, label, accel);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    UINT prefix = (d.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
    if (item.topLevel) {
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER | prefix);
    } else {
        if (d.itemState & ODS_CHECKED) {
            HPEN pen = CreatePen(PS_SOLID, 2, text);
            HGDIOBJ oldPen = SelectObject(dc, pen);
            int cy = (rc.top + rc.bottom) / 2;
            MoveToEx(dc, rc.left + 6, cy, nullptr);
            LineTo(dc, rc.left + 9, cy + 3);
            LineTo(dc, rc.left + 15, cy - 4);
            SelectObject(dc, oldPen);
            DeleteObject(pen);
        }
        RECT labelRect = rc;
        labelRect.left += 22;
        labelRect.right -= 16;
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &labelRect, DT_SINGLELINE | DT_VCENTER | prefix);
        if (!accel.empty())
            DrawTextW(dc, accel.c_str(), static_cast<int>(accel.size()), &labelRect,
                      DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_MEASUREITEM: {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (m && m->CtlType == ODT_MENU)
            if (ItemData* item = Lookup(m->itemData)) {
                Measure(*m, *item);
                return TRUE;
            }
        break;
    }
    case WM_DRAWITEM: {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (d && d->CtlType == ODT_MENU)
            if (ItemData* item = Lookup(d->itemData)) {
                Draw(*d, *item);
                return TRUE;
            }
        break;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &OwnerProc, kSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void Convert(HMENU menu, bool topLevel) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = nullptr;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        if (info.hSubMenu) Convert(info.hSubMenu, false);
        if (info.fType & (MFT_OWNERDRAW | MFT_BITMAP)) continue;  // drawn by someone already, or a picture
        std::wstring text;
        if (!(info.fType & MFT_SEPARATOR) && info.cch > 0) {
            text.resize(info.cch + 1);
            MENUITEMINFOW textInfo{};
            textInfo.cbSize = sizeof(textInfo);
            textInfo.fMask = MIIM_STRING;
            textInfo.dwTypeData = text.data();
            textInfo.cch = info.cch + 1;
            GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &textInfo);
            text.resize(textInfo.cch);
        }
        auto* item = new ItemData{text, topLevel, (info.fType & MFT_SEPARATOR) != 0};
        {
            std::lock_guard<std::mutex> guard(Reg().lock);
            Reg().items.insert(item);
        }
        MENUITEMINFOW set{};
        set.cbSize = sizeof(set);
        set.fMask = MIIM_FTYPE | MIIM_DATA;
        set.fType = info.fType | MFT_OWNERDRAW;
        set.dwItemData = reinterpret_cast<ULONG_PTR>(item);
        SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set);
    }
}

void Restore(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        if (info.hSubMenu) Restore(info.hSubMenu);
        ItemData* item = (info.fType & MFT_OWNERDRAW) ? Lookup(info.dwItemData) : nullptr;
        if (!item) continue;
        MENUITEMINFOW set{};
        set.cbSize = sizeof(set);
        set.fMask = MIIM_FTYPE | MIIM_DATA | (item->separator ? 0u : MIIM_STRING);
        set.fType = info.fType & ~static_cast<UINT>(MFT_OWNERDRAW);
        set.dwItemData = 0;
        set.dwTypeData = item->text.data();
        set.cch = static_cast<UINT>(item->text.size());
        SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &set);
        {
            std::lock_guard<std::mutex> guard(Reg().lock);
            Reg().items.erase(item);
        }
        delete item;
    }
}

}  // namespace
}  // namespace pt

using namespace pt;

extern "C" PATINCTL_API BOOL __cdecl PtChangeToOwnerDraw(HMENU menu, HWND owner) {
    if (!menu || !IsMenu(menu) || !IsWindow(owner)) return FALSE;
    {
        std::lock_guard<std::mutex> guard(Reg().lock);
        auto it = Reg().menus.find(menu);
        if (it != Reg().menus.end() && it->second == owner) return TRUE;  // already done
    }
    if (!SetWindowSubclass(owner, &OwnerProc, kSubclassId, 0)) return FALSE;
    Convert(menu, GetMenu(owner) == menu);
    std::lock_guard<std::mutex> guard(Reg().lock);
    Reg().menus[menu] = owner;
    return TRUE;
}

extern "C" PATINCTL_API BOOL __cdecl PtClearOwnerDraw(HMENU menu) {
    HWND owner = nullptr;
    {
        std::lock_guard<std::mutex> guard(Reg().lock);
        auto it = Reg().menus.find(menu);
        if (it == Reg().menus.end()) return FALSE;
        owner = it->second;
        Reg().menus.erase(it);
    }
    if (IsMenu(menu)) Restore(menu);
    bool ownerStillUsed = false;
    {
        std::lock_guard<std::mutex> guard(Reg().lock);
        for (const auto& entry : Reg().menus)
            if (entry.second == owner) ownerStillUsed = true;
    }
    if (!ownerStillUsed && IsWindow(owner)) RemoveWindowSubclass(owner, &OwnerProc, kSubclassId);
    if (GetMenu(owner) == menu) DrawMenuBar(owner);
    return TRUE;
}
