// The frame's menus: the merged menu (the frame's menu resource, the active
// module's menu and the effect menus), the effect menus built from the effect
// table, and the combined accelerator table. Plain Win32 menu handles; the
// functions own nothing they are given and return new menus the caller
// destroys.
#pragma once

#include "host/command_ranges.h"

#include <windows.h>

#include <string>
#include <vector>

namespace mdframe {

// Effect items of the "Morph" menus are 17100 + the effect's identifier (host/command_ranges.h).
constexpr UINT kEffectCommandBase = orvo::kEffectCommandFirst;
constexpr int kVoiceMorphingType = 1;
constexpr int kSpecialEffectType = 0;

// One effect of the effect manager's table, as the menus need it.
struct EffectDescription {
    int type = 0;          // 0 special effect, 1 voice morphing
    int id = 0;
    std::wstring name;
    int presetCount = 0;   // presets of a special effect
};

// The texts the merged menu recognises pop-ups by (the language's strings).
struct MenuTexts {
    std::wstring voiceMorphing = L"Voice Morphing";    // 316
    std::wstring morph = L"Morph";                      // 317
    std::wstring singleEffects = L"Single Effects";    // 318
    std::wstring specialEffects = L"Special Effects";  // 319
    std::wstring window = L"Window";                    // 322
    std::wstring help = L"Help";                        // 323
    std::wstring none326 = L"none";
    std::wstring none327 = L"none";
    std::wstring aboutFormat = L"About %s";             // 369
    std::wstring productName = L"Melodrift";
};

// Menu titles compare without their mnemonic marks and letter case ("&File" = "file").
bool MenuTitlesEqual(const std::wstring& a, const std::wstring& b);
std::wstring MenuItemText(HMENU menu, int position);
// A deep copy: every sub-menu copied. Top-level menus (`popup` false) are menu bars.
HMENU CopyMenuDeep(HMENU source, bool popup = true);

enum class MergeMode { Front, End };
// Merges the items of `source` into `dest` (see the merge rules in the frame notes).
void MergePopup(HMENU dest, HMENU source, MergeMode mode, bool separator);

// The menu of one effect type: every voice morphing effect, special effects
// with presets only; "none" (id -1) when nothing is listed.
HMENU BuildEffectMenu(const std::vector<EffectDescription>& table, int type, const std::wstring& noneText);

// The merged menu. `frameMenu` is the frame's menu resource, `moduleMenu` the
// active module's menu (or null), `moduleMenus` the menus of all modules in
// registry order (nulls allowed), `voiceMenu` the voice-morphing menu.
HMENU BuildMergedMenu(HMENU frameMenu, HMENU moduleMenu, const std::vector<HMENU>& moduleMenus, HMENU voiceMenu,
                      const MenuTexts& texts);

// The commands of the merged menu's "Morph" pop-up (its sub-menus included):
// the effects of the program, carried out by the modules that offer them
// whichever module is active.
std::vector<UINT> MorphCommands(HMENU mergedMenu, const MenuTexts& texts);

// The module's accelerators first, then the frame's; null when both are empty.
HACCEL BuildAccelerators(HACCEL moduleAccel, HACCEL frameAccel);

}  // namespace mdframe
