#include "frame_menu.h"

#include "fw/strutil.h"

#include <algorithm>
#include <cwctype>

namespace mdframe {
namespace {

std::wstring WithoutMnemonics(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') out += L'&', ++i;
            continue;
        }
        if (text[i] == L'\t') break;  // the accelerator text is no part of the title
        out += text[i];
    }
    return out;
}

// Everything of one item, with its text kept apart (the info's pointer points into it).
struct ItemCopy {
    MENUITEMINFOW info = {};
    std::wstring text;
};

bool ReadItem(HMENU menu, int position, ItemCopy& item) {
    item.info = {};
    item.info.cbSize = sizeof item.info;
    item.info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_DATA;
    item.info.dwTypeData = nullptr;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item.info)) return false;
    item.text.assign(item.info.cch + 1, L'\0');
    item.info.cch += 1;
    item.info.dwTypeData = item.text.data();
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item.info)) return false;
    item.text.resize(item.info.cch);
    item.info.dwTypeData = item.text.data();
    return true;
}

bool IsSeparator(const MENUITEMINFOW& info) { return (info.fType & MFT_SEPARATOR) != 0; }

// Inserts a copy of the item (its sub-menu copied deeply) at `position` (-1: the end).
void InsertCopy(HMENU dest, int position, ItemCopy& item) {
    MENUITEMINFOW info = item.info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA;
    if (!IsSeparator(info)) {
        info.fMask |= MIIM_STRING;
        info.dwTypeData = item.text.data();
        info.cch = static_cast<UINT>(item.text.size());
    }
    info.hSubMenu = item.info.hSubMenu ? CopyMenuDeep(item.info.hSubMenu) : nullptr;
    UINT at = position < 0 ? static_cast<UINT>(GetMenuItemCount(dest)) : static_cast<UINT>(position);
    InsertMenuItemW(dest, at, TRUE, &info);
}

int FindByText(HMENU menu, const std::wstring& text) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (MenuTitlesEqual(MenuItemText(menu, i), text)) return i;
    return -1;
}

// The first top-level pop-up titled `title`, or -1.
int FindPopup(HMENU menu, const std::wstring& title) {
    int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i)
        if (GetSubMenu(menu, i) && MenuTitlesEqual(MenuItemText(menu, i), title)) return i;
    return -1;
}

void ReplaceWithCopy(HMENU dest, int position, ItemCopy& item) {
    HMENU oldSub = GetSubMenu(dest, position);
    RemoveMenu(dest, static_cast<UINT>(position), MF_BYPOSITION);
    if (oldSub) DestroyMenu(oldSub);
    InsertCopy(dest, position, item);
}

}  // namespace

bool MenuTitlesEqual(const std::wstring& a, const std::wstring& b) {
    return fw::EqualsNoCase(WithoutMnemonics(a), WithoutMnemonics(b));
}

std::wstring MenuItemText(HMENU menu, int position) {
    ItemCopy item;
    if (!menu || !ReadItem(menu, position, item) || IsSeparator(item.info)) return {};
    return item.text;
}

HMENU CopyMenuDeep(HMENU source, bool popup) {
    HMENU copy = popup ? CreatePopupMenu() : CreateMenu();
    if (!copy || !source) return copy;
    int count = GetMenuItemCount(source);
    for (int i = 0; i < count; ++i) {
        ItemCopy item;
        if (ReadItem(source, i, item)) InsertCopy(copy, -1, item);
    }
    return copy;
}

void MergePopup(HMENU dest, HMENU source, MergeMode mode, bool separator) {
    if (!dest || !source) return;
    if (GetMenuItemCount(dest) == 1) {
        ItemCopy only;
        if (ReadItem(dest, 0, only) && IsSeparator(only.info)) RemoveMenu(dest, 0, MF_BYPOSITION);
    }
    int sourceCount = GetMenuItemCount(source);
    bool sourceEndsWithSeparator = false;
    if (sourceCount > 0) {
        ItemCopy last;
        sourceEndsWithSeparator = ReadItem(source, sourceCount - 1, last) && IsSeparator(last.info);
    }
    bool inserted = false;
    int frontPosition = 0;
    for (int i = 0; i < sourceCount; ++i) {
        ItemCopy item;
        if (!ReadItem(source, i, item)) continue;
        bool hasText = !IsSeparator(item.info) && !item.text.empty();
        int match = hasText ? FindByText(dest, item.text) : -1;
        if (match >= 0) {
            ReplaceWithCopy(dest, match, item);
            continue;
        }
        if (hasText && !inserted && separator && GetMenuItemCount(dest) > 0 && !sourceEndsWithSeparator) {
            // The separator between the inserted block and the destination's own items.
            // In front mode it goes after what was inserted so far (text-less items may have come first).
            InsertMenuW(dest,
                        mode == MergeMode::Front ? static_cast<UINT>(frontPosition)
                                                 : static_cast<UINT>(GetMenuItemCount(dest)),
                        MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        }
        if (hasText) inserted = true;
        if (mode == MergeMode::Front) InsertCopy(dest, frontPosition++, item);
        else InsertCopy(dest, -1, item);
    }
}

HMENU BuildEffectMenu(const std::vector<EffectDescription>& table, int type, const std::wstring& noneText) {
    HMENU menu = CreatePopupMenu();
    int listed = 0;
    for (const EffectDescription& effect : table) {
        if (effect.type != type) continue;
        if (type == kSpecialEffectType && effect.presetCount <= 0) continue;
        AppendMenuW(menu, MF_STRING, kEffectCommandBase + static_cast<UINT>(effect.id), effect.name.c_str());
        ++listed;
    }
    if (listed == 0) AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(-1), noneText.c_str());
    return menu;
}

HMENU BuildMergedMenu(HMENU frameMenu, HMENU moduleMenu, const std::vector<HMENU>& moduleMenus, HMENU voiceMenu,
                      const MenuTexts& texts) {
    HMENU result = CopyMenuDeep(frameMenu, false);
    const int frameCount = GetMenuItemCount(result);
    const int moduleCount = moduleMenu ? GetMenuItemCount(moduleMenu) : 0;

    // The first four pop-ups of the same titles.
    int merged = 0;
    for (int i = 0; i < 4 && i < frameCount && i < moduleCount; ++i) {
        HMENU framePopup = GetSubMenu(result, i), modulePopup = GetSubMenu(moduleMenu, i);
        if (!framePopup || !modulePopup || !MenuTitlesEqual(MenuItemText(result, i), MenuItemText(moduleMenu, i)))
            break;
        MergePopup(framePopup, modulePopup, MergeMode::Front, true);
        ++merged;
    }

    // The voice-morphing menu under "Morph".
    int morphAt = FindPopup(result, texts.morph);
    if (morphAt < 0 && frameCount > 4) morphAt = 4;
    HMENU morph = morphAt >= 0 ? GetSubMenu(result, morphAt) : nullptr;
    if (morph && voiceMenu)
        AppendMenuW(morph, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(CopyMenuDeep(voiceMenu)),
                    texts.voiceMorphing.c_str());

    // The "Morph" menus of modules that offer one of the three effect sub-menus.
    if (morph) {
        for (const std::wstring* title : {&texts.voiceMorphing, &texts.singleEffects, &texts.specialEffects}) {
            for (HMENU menu : moduleMenus) {
                int at = FindPopup(menu, texts.morph);
                if (at < 0) continue;
                HMENU moduleMorph = GetSubMenu(menu, at);
                if (GetMenuItemCount(moduleMorph) < 1 || !GetSubMenu(moduleMorph, 0) ||
                    !MenuTitlesEqual(MenuItemText(moduleMorph, 0), *title))
                    continue;
                MergePopup(morph, moduleMorph, MergeMode::End, false);
                break;
            }
        }
    }

    // The module's "Window" menu when it has more than the frame's empty one.
    int moduleWindow = FindPopup(moduleMenu, texts.window);
    int frameWindow = FindPopup(result, texts.window);
    if (moduleWindow >= 0 && frameWindow >= 0 && GetMenuItemCount(GetSubMenu(moduleMenu, moduleWindow)) > 1) {
        ItemCopy item;
        if (ReadItem(moduleMenu, moduleWindow, item)) {
            ReplaceWithCopy(result, frameWindow, item);
        }
    }

    // "Help" of both, and the product's name in "About".
    bool helpMerged = false;
    int frameLast = GetMenuItemCount(result) - 1;
    if (frameLast >= 0 && GetSubMenu(result, frameLast) && MenuTitlesEqual(MenuItemText(result, frameLast), texts.help)) {
        HMENU frameHelp = GetSubMenu(result, frameLast);
        if (moduleCount > 0 && GetSubMenu(moduleMenu, moduleCount - 1) &&
            MenuTitlesEqual(MenuItemText(moduleMenu, moduleCount - 1), texts.help)) {
            MergePopup(frameHelp, GetSubMenu(moduleMenu, moduleCount - 1), MergeMode::Front, true);
            helpMerged = true;
        }
        std::wstring about = fw::Format(texts.aboutFormat.c_str(), texts.productName.c_str());
        ModifyMenuW(frameHelp, 230, MF_BYCOMMAND | MF_STRING, 230, about.c_str());
    }

    // The module's own pop-ups between the merged ones and "Help".
    if (moduleMenu) {
        int end = helpMerged ? moduleCount - 2 : frameCount - 1;
        for (int i = merged + 2; i <= end && i < moduleCount; ++i) {
            if (!GetSubMenu(moduleMenu, i)) break;
            ItemCopy item;
            if (!ReadItem(moduleMenu, i, item)) break;
            int at = std::min(i + 4 - merged, GetMenuItemCount(result));
            InsertCopy(result, at, item);
        }
    }

    // Pop-ups with nothing to choose are disabled.
    int count = GetMenuItemCount(result);
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(result, i);
        if (!popup || GetMenuItemCount(popup) != 1) continue;
        ItemCopy only;
        if (!ReadItem(popup, 0, only)) continue;
        bool none = !IsSeparator(only.info) &&
                    (MenuTitlesEqual(only.text, texts.none326) || MenuTitlesEqual(only.text, texts.none327));
        if (none || IsSeparator(only.info)) EnableMenuItem(result, static_cast<UINT>(i), MF_BYPOSITION | MF_GRAYED);
    }
    return result;
}

namespace {

void CollectCommands(HMENU menu, std::vector<UINT>& out) {
    const int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            CollectCommands(sub, out);
            continue;
        }
        const UINT id = GetMenuItemID(menu, i);
        if (id != 0 && id != static_cast<UINT>(-1)) out.push_back(id);
    }
}

}  // namespace

std::vector<UINT> MorphCommands(HMENU mergedMenu, const MenuTexts& texts) {
    std::vector<UINT> out;
    const int at = FindPopup(mergedMenu, texts.morph);
    if (at >= 0) CollectCommands(GetSubMenu(mergedMenu, at), out);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

HACCEL BuildAccelerators(HACCEL moduleAccel, HACCEL frameAccel) {
    int moduleCount = moduleAccel ? CopyAcceleratorTableW(moduleAccel, nullptr, 0) : 0;
    int frameCount = frameAccel ? CopyAcceleratorTableW(frameAccel, nullptr, 0) : 0;
    if (moduleCount + frameCount == 0) return nullptr;
    std::vector<ACCEL> entries(static_cast<std::size_t>(moduleCount + frameCount));
    if (moduleCount) CopyAcceleratorTableW(moduleAccel, entries.data(), moduleCount);
    if (frameCount) CopyAcceleratorTableW(frameAccel, entries.data() + moduleCount, frameCount);
    return CreateAcceleratorTableW(entries.data(), moduleCount + frameCount);
}

}  // namespace mdframe
