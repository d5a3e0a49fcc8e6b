// The frame's rules without windows: the merged menu, the effect menus, the
// accelerators, the control table, the frame layout and the slider tooltips.
#include "../res/resource.h"
#include "frame_layout.h"
#include "frame_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mdframe;

namespace {

HMENU Popup(std::initializer_list<std::pair<UINT, const wchar_t*>> items) {
    HMENU menu = CreatePopupMenu();
    for (const auto& [id, text] : items) {
        if (!text) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else AppendMenuW(menu, MF_STRING, id, text);
    }
    return menu;
}

void AddPopup(HMENU bar, const wchar_t* title, HMENU popup) {
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), title);
}

// "text=id" per item, "drawn=id" for owner-drawn ones, "-" for separators, "text>" for sub-menus.
std::vector<std::wstring> Items(HMENU menu) {
    std::vector<std::wstring> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) out.push_back(L"-");
        else if (info.fType & MFT_OWNERDRAW) out.push_back(L"drawn=" + std::to_wstring(static_cast<int>(info.wID)));
        else if (info.hSubMenu) out.push_back(MenuItemText(menu, i) + L">");
        else out.push_back(MenuItemText(menu, i) + L"=" + std::to_wstring(static_cast<int>(info.wID)));
    }
    return out;
}

std::vector<std::wstring> Titles(HMENU bar) {
    std::vector<std::wstring> out;
    for (int i = 0; i < GetMenuItemCount(bar); ++i) out.push_back(MenuItemText(bar, i));
    return out;
}

bool Grayed(HMENU bar, int position) { return (GetMenuState(bar, static_cast<UINT>(position), MF_BYPOSITION) & MF_GRAYED) != 0; }

class FrameMenu : public ::testing::Test {
protected:
    FrameMenu() {
        m_frame = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
        m_voice = BuildEffectMenu(m_effects, kVoiceMorphingType, L"none");
    }
    ~FrameMenu() override {
        for (HMENU m : {m_frame, m_voice, m_result}) if (m) DestroyMenu(m);
    }
    std::vector<EffectDescription> m_effects = {
        {1, 3, L"Robot", 0}, {0, 4, L"Echo", 0}, {1, 5, L"Elf", 0}, {0, 6, L"Hall", 2}};
    HMENU m_frame = nullptr;
    HMENU m_voice = nullptr;
    HMENU m_result = nullptr;
};

}  // namespace

TEST_F(FrameMenu, WithoutAnActiveModuleTheFrameMenuGetsTheVoiceMorphingMenuUnderMorph) {
    ASSERT_NE(m_frame, nullptr);
    m_result = BuildMergedMenu(m_frame, nullptr, {}, m_voice, MenuTexts());
    EXPECT_EQ(Titles(m_result),
              (std::vector<std::wstring>{L"&File", L"&Edit", L"&View", L"&Play", L"&Morph", L"&Window", L"&Help"}));
    HMENU morph = GetSubMenu(m_result, 4);
    EXPECT_EQ(Items(morph), (std::vector<std::wstring>{L"Morph Selected Files=10000", L"-", L"Voice Morphing>"}));
    EXPECT_EQ(Items(GetSubMenu(morph, 2)), (std::vector<std::wstring>{L"Robot=17103", L"Elf=17105"}));
    // "Edit" holds only a separator: nothing to choose.
    EXPECT_TRUE(Grayed(m_result, 1));
    EXPECT_FALSE(Grayed(m_result, 0));
    EXPECT_EQ(Items(GetSubMenu(m_result, 6)).back(), L"About Melodrift=230");
    // The copy is deep: the frame's own menu is untouched.
    EXPECT_EQ(Items(GetSubMenu(m_frame, 4)).size(), 2u);
}

TEST_F(FrameMenu, AModuleMenuOfEightPopupsMergesFourInsertsItsSeventhAndMergesHelp) {
    HMENU module = CreateMenu();
    AddPopup(module, L"File", Popup({{100, L"Open..."}, {101, L"E&xit\tCtrl+T"}}));
    AddPopup(module, L"Edit", Popup({{102, L"Cut"}, {103, L"Copy"}}));
    AddPopup(module, L"View", Popup({{104, L"Zoom"}}));
    AddPopup(module, L"Play", Popup({{105, L"Loop"}}));
    AddPopup(module, L"Morph", Popup({{106, L"Morph Tracks"}}));
    AddPopup(module, L"Window", Popup({{107, L"Arrange"}, {108, L"Close All"}}));
    AddPopup(module, L"Tools", Popup({{109, L"Options"}}));
    AddPopup(module, L"Help", Popup({{110, L"Module Help"}}));
    m_result = BuildMergedMenu(m_frame, module, {module}, m_voice, MenuTexts());

    EXPECT_EQ(Titles(m_result), (std::vector<std::wstring>{L"&File", L"&Edit", L"&View", L"&Play", L"&Morph",
                                                           L"Window", L"Tools", L"&Help"}));
    // Front mode with a separator; "Exit" of the module overwrites the frame's.
    EXPECT_EQ(Items(GetSubMenu(m_result, 0)), (std::vector<std::wstring>{L"Open...=100", L"-", L"E&xit\tCtrl+T=101"}));
    // The frame's Edit held only a separator, which goes first.
    EXPECT_EQ(Items(GetSubMenu(m_result, 1)), (std::vector<std::wstring>{L"Cut=102", L"Copy=103"}));
    EXPECT_EQ(Items(GetSubMenu(m_result, 3)).front(), L"Loop=105");
    EXPECT_EQ(Items(GetSubMenu(m_result, 3))[1], L"-");
    EXPECT_EQ(Items(GetSubMenu(m_result, 5)), (std::vector<std::wstring>{L"Arrange=107", L"Close All=108"}));
    EXPECT_EQ(Items(GetSubMenu(m_result, 6)), (std::vector<std::wstring>{L"Options=109"}));
    EXPECT_EQ(Items(GetSubMenu(m_result, 7)),
              (std::vector<std::wstring>{L"Module Help=110", L"-", L"Help Topics=57670", L"Online Tutorials...=233",
                                         L"Community=235", L"About Melodrift=230"}));
    EXPECT_FALSE(Grayed(m_result, 1));
    DestroyMenu(module);
}

TEST_F(FrameMenu, ModulesOfferingEffectMenusJoinTheMorphMenuAtItsEnd) {
    HMENU other = CreateMenu();
    AddPopup(other, L"File", Popup({{100, L"Open"}}));
    HMENU morph = CreatePopupMenu();
    AppendMenuW(morph, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(Popup({{17200, L"Chorus"}})), L"Single Effects");
    AppendMenuW(morph, MF_STRING, 120, L"Batch Morph");
    AddPopup(other, L"Morph", morph);
    m_result = BuildMergedMenu(m_frame, nullptr, {nullptr, other}, m_voice, MenuTexts());
    EXPECT_EQ(Items(GetSubMenu(m_result, 4)),
              (std::vector<std::wstring>{L"Morph Selected Files=10000", L"-", L"Voice Morphing>", L"Single Effects>",
                                         L"Batch Morph=120"}));
    DestroyMenu(other);
}

TEST_F(FrameMenu, EffectMenusListVoiceMorphingAndOnlySpecialEffectsWithPresets) {
    HMENU special = BuildEffectMenu(m_effects, kSpecialEffectType, L"none");
    EXPECT_EQ(Items(special), (std::vector<std::wstring>{L"Hall=17106"}));
    DestroyMenu(special);
    // No special effect with presets: "none", which is no command.
    std::vector<EffectDescription> table = {{1, 1, L"Robot", 0}, {0, 2, L"Echo", 0}};
    special = BuildEffectMenu(table, kSpecialEffectType, L"none");
    EXPECT_EQ(Items(special), (std::vector<std::wstring>{L"none=-1"}));
    // A pop-up that offers only "none" is disabled in the merged menu.
    HMENU bar = CreateMenu();
    AddPopup(bar, L"Effects", special);
    AddPopup(bar, L"File", Popup({{57665, L"Exit"}}));
    HMENU merged = BuildMergedMenu(bar, nullptr, {}, nullptr, MenuTexts());
    EXPECT_TRUE(Grayed(merged, 0));
    EXPECT_FALSE(Grayed(merged, 1));
    DestroyMenu(merged);
    DestroyMenu(bar);
}

TEST(FrameMenuMerge, TheSeparatorStandsBetweenTheInsertedBlockAndTheOwnItems) {
    HMENU dest = Popup({{1, L"One"}, {2, L"Two"}});
    HMENU source = Popup({{20, L"two"}, {3, L"Three"}, {4, L"Four"}});
    MergePopup(dest, source, MergeMode::End, true);
    EXPECT_EQ(Items(dest), (std::vector<std::wstring>{L"One=1", L"two=20", L"-", L"Three=3", L"Four=4"}));
    DestroyMenu(dest);
    DestroyMenu(source);
    // A text-less item first (owner-drawn, no separator): it stays with the inserted
    // block, and the separator comes after the whole block.
    dest = Popup({{1, L"One"}});
    source = Popup({{3, L"Three"}, {4, L"Four"}});
    InsertMenuW(source, 0, MF_BYPOSITION | MF_OWNERDRAW, 5, nullptr);
    MergePopup(dest, source, MergeMode::Front, true);
    EXPECT_EQ(Items(dest), (std::vector<std::wstring>{L"drawn=5", L"Three=3", L"Four=4", L"-", L"One=1"}));
    DestroyMenu(dest);
    DestroyMenu(source);
    // A source ending with a separator brings its own.
    dest = Popup({{1, L"One"}});
    source = Popup({{3, L"Three"}, {0, nullptr}});
    MergePopup(dest, source, MergeMode::Front, true);
    EXPECT_EQ(Items(dest), (std::vector<std::wstring>{L"Three=3", L"-", L"One=1"}));
    DestroyMenu(dest);
    DestroyMenu(source);
}

TEST(FrameMenuMerge, AcceleratorsOfTheModuleComeFirstAndNoneGiveNoTable) {
    ACCEL moduleKeys[] = {{FVIRTKEY | FCONTROL, 'O', 100}};
    ACCEL frameKeys[] = {{FVIRTKEY | FCONTROL, 'T', 57665}};
    HACCEL module = CreateAcceleratorTableW(moduleKeys, 1), frame = CreateAcceleratorTableW(frameKeys, 1);
    HACCEL both = BuildAccelerators(module, frame);
    ACCEL out[2] = {};
    ASSERT_EQ(CopyAcceleratorTableW(both, out, 2), 2);
    EXPECT_EQ(out[0].cmd, 100);
    EXPECT_EQ(out[1].cmd, 57665);
    EXPECT_EQ(BuildAccelerators(nullptr, nullptr), nullptr);
    for (HACCEL a : {module, frame, both}) DestroyAcceleratorTable(a);
}

TEST(FrameTable, InstancesMapToTheirRowAndNamesIgnoreCase) {
    int play = FindControlRow(L"player_play");
    ASSERT_GE(play, 0);
    EXPECT_EQ(ControlTable()[play].command, 13010u);
    EXPECT_EQ(RowOfControlId(13011), play);
    EXPECT_EQ(RowOfControlId(13012), play);
    EXPECT_EQ(RowOfControlId(13010), -1);  // the command itself is no control id
    EXPECT_EQ(ControlTable()[RowOfControlId(16091)].command, 16090u);
    EXPECT_EQ(FindControlRow(L"PLAYER_SOMETHING"), -1);
    EXPECT_EQ(FindPanel(L"framepanelplayer"), kPanelPlayer);
    EXPECT_EQ(ControlTable()[FindControlRow(L"SURR_SHOW")].kind, ControlKind::CheckButton);
    EXPECT_EQ(ControlTable()[FindControlRow(L"STATUS_BAR")].tooltip, 0u);
}

// Where the panels stand in a real frame is checked with its windows; here what
// a window cannot be made to show: a frame smaller than its panels.
TEST(FrameLayoutRules, AFrameTooSmallKeepsThePanelsAndLeavesAnEmptyModuleArea) {
    PanelSizes sizes;
    sizes.size[kPanelUp] = {500, 40};
    sizes.size[kPanelDown] = {0, 24};
    sizes.size[kPanelLeft] = {72, 0};
    sizes.size[kPanelRight] = {8, 0};
    sizes.size[kPanelPlayer] = {0, 64};
    FrameLayout tiny = ComputeFrameLayout({0, 0, 60, 150}, sizes, 6, true);
    EXPECT_EQ(tiny.panel[kPanelUp].right, 500);
    EXPECT_GE(tiny.panel[kPanelPlayer].top, tiny.panel[kPanelUp].bottom + 24);
    EXPECT_GE(tiny.client.right, tiny.client.left);
    EXPECT_GE(tiny.client.bottom, tiny.client.top);
}

TEST(FrameLayoutRules, MinimumSizeFromTheSkinOrThePanels) {
    PanelSizes sizes;
    sizes.size[kPanelUp] = {300, 40};
    sizes.size[kPanelDown] = {200, 24};
    sizes.size[kPanelLeft] = {72, 100};
    sizes.size[kPanelRight] = {8, 120};
    sizes.size[kPanelPlayer] = {400, 64};
    SIZE given = MinimumFrameSize(sizes, 900, 640);
    EXPECT_EQ(given.cx, 900);
    EXPECT_EQ(given.cy, 640);
    SIZE computed = MinimumFrameSize(sizes, 0, 0);
    EXPECT_EQ(computed.cx, 400);
    EXPECT_EQ(computed.cy, 120 + 64 + 24 + 40);
}

TEST(FrameLayoutRules, SliderTooltipsInPercent) {
    EXPECT_EQ(PercentTooltip(L"Position: %d%%", 500, 0, 1000), L"Position: 50%");
    EXPECT_EQ(PercentTooltip(L"Volume: %d%%", 100, 0, 100), L"Volume: 100%");
    EXPECT_EQ(PercentTooltip(L"Volume: %d%%", 5, 5, 5), L"Volume: 0%");  // an empty range
    EXPECT_EQ(PercentTooltip(L"Volume: %d%%", -3, 0, 100), L"Volume: 0%");  // outside the range
    const wchar_t* left = L"Balance: %d%% left";
    const wchar_t* right = L"Balance: %d%% right";
    const wchar_t* centre = L"Balance: 0%%";
    EXPECT_EQ(BalanceTooltip(left, right, centre, 0, 0, 200), L"Balance: 100% left");
    EXPECT_EQ(BalanceTooltip(left, right, centre, 150, 0, 200), L"Balance: 50% right");
    EXPECT_EQ(BalanceTooltip(left, right, centre, 100, 0, 200), L"Balance: 0%");
}
