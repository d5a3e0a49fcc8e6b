// The module registry with real module DLLs: which modules load and which are
// dropped (with the log lines), the order and "Go to..." items the skin gives,
// the skin list, activation, routing and unloading.
#include "registry_test_support.h"

#include "fw/strutil.h"
#include "fw/win/msgmap.h"

namespace {

std::wstring MenuText(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return text;
}

using Items = std::vector<std::pair<UINT, std::wstring>>;
Items MenuItems(HMENU menu) {
    Items items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) items.emplace_back(GetMenuItemID(menu, i), MenuText(menu, i));
    return items;
}

using MdHostLoader = RegistryTest;

TEST_F(MdHostLoader, GoodModulesLoadAndBadOnesAreDroppedWithTheirLogLines) {
    AddModules({L"tm_vocalith", L"tm_alpha", L"tm_no_info", L"tm_empty_name", L"tm_null_name", L"tm_refuse"});
    ASSERT_TRUE(mdtest::WriteBytes(m_folder / L"Modules\\Broken.dll", "not a library"));
    Load();

    ASSERT_EQ(m_registry.Entries().GetSize(), 2);
    CModuleEntry* alpha = m_registry.Entries()[0];
    CModuleEntry* vocalith = m_registry.Entries()[1];
    EXPECT_EQ(std::wstring(alpha->Name()), L"Alpha");
    EXPECT_EQ(std::wstring(vocalith->Name()), L"Vocalith");
    const std::wstring modules = m_folder / L"Modules\\";
    EXPECT_EQ(vocalith->Path, modules + L"tm_vocalith.dll");
    EXPECT_EQ(vocalith->OrderFile, L"tm_vocalith.mvm");
    EXPECT_EQ(vocalith->Info.Size, sizeof(void*) == 4 ? 20u : 32u);   // as the 32-bit programs know it
    EXPECT_EQ(vocalith->DisplayName, L"Vocalith");  // string 339
    EXPECT_EQ(alpha->DisplayName, L"Alpha");        // a name the table does not know: its own
    EXPECT_EQ(vocalith->Order, 0xFFFF);
    EXPECT_FALSE(vocalith->Active);
    ASSERT_NE(vocalith->Window, nullptr);
    EXPECT_EQ(GetParent(vocalith->Window), m_frame.m_parent);
    TmCounters* c = Counters(vocalith);
    EXPECT_EQ(c->initialize, 1);
    EXPECT_EQ(c->getAccel, 1);
    EXPECT_EQ(c->parent, m_frame.m_parent);
    EXPECT_EQ(c->host, m_services.Query());
    // The refused module is gone, its library freed.
    EXPECT_EQ(GetModuleHandleW((modules + L"tm_refuse.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleW((modules + L"tm_no_info.dll").c_str()), nullptr);

    std::vector<std::wstring> expected = {
        L"Starting load modules...",
        L"Failed to load library " + modules + L"Broken.dll.",
        L"Loaded library " + modules + L"tm_alpha.dll successfully.",
        L"Attached module Alpha successfully.",
        L"Loaded library " + modules + L"tm_empty_name.dll successfully.",
        L"Failed to attach library " + modules + L"tm_empty_name.dll.",
        L"Loaded library " + modules + L"tm_no_info.dll successfully.",
        L"Failed to attach library " + modules + L"tm_no_info.dll.",
        L"Loaded library " + modules + L"tm_null_name.dll successfully.",
        L"Failed to attach library " + modules + L"tm_null_name.dll.",
        L"Loaded library " + modules + L"tm_refuse.dll successfully.",
        L"Failed to attach module Refuser.",
        L"Loaded library " + modules + L"tm_vocalith.dll successfully.",
        L"Attached module Vocalith successfully.",
        L"Finished load modules...",
    };
    EXPECT_EQ(LogTexts(), expected);
    EXPECT_EQ(m_frame.statuses, (std::vector<std::wstring>{L"Loading module: Alpha", L"Loading module: Refuser",
                                                          L"Loading module: Vocalith"}));
}

TEST_F(MdHostLoader, MenusGoToTheTopOfTheViewMenu) {
    LanguageEntry english, russian;
    english.Name = L"English";
    russian.Name = L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439";
    m_languages.Add(english);
    m_languages.Add(russian);
    AddSkin(L"Blue-eng.xml", mdtest::SkinXml("Blue", {}));
    AddSkin(L"Red-eng.xml", mdtest::SkinXml("Red", {}));
    Load();
    ASSERT_EQ(GetMenuItemCount(m_view), 4);
    EXPECT_EQ(MenuText(m_view, 0), L"Go to...");
    EXPECT_EQ(MenuText(m_view, 1), L"Skins...");
    EXPECT_EQ(MenuText(m_view, 2), L"Language...");
    EXPECT_EQ(MenuText(m_view, 3), L"Player Bar");
    EXPECT_EQ(GetSubMenu(m_view, 0), m_registry.GoToMenu());
    EXPECT_EQ(MenuItems(m_registry.SkinsMenu()), (Items{{500, L"Blue"}, {501, L"Red"}}));
    EXPECT_EQ(MenuItems(m_registry.LanguageMenu()), (Items{{580, english.Name}, {581, russian.Name}}));
}

using MdHostSkins = RegistryTest;

TEST_F(MdHostSkins, OnlyTheFirst51AreListedAndTheStoredOneIsCurrent) {
    for (int i = 0; i < 60; ++i)
        AddSkin(fw::Format(L"Skin%02deng.xml", i), mdtest::SkinXml(fw::ToUtf8(fw::Format(L"Skin %02d", i)), {}));
    Load(L"eng", L"SKIN 07");
    EXPECT_EQ(m_registry.Skins().GetSize(), 60);
    ASSERT_EQ(GetMenuItemCount(m_registry.SkinsMenu()), 51);
    EXPECT_EQ(GetMenuItemID(m_registry.SkinsMenu(), 50), 550u);
    EXPECT_EQ(MenuText(m_registry.SkinsMenu(), 50), L"Skin 50");
    ASSERT_EQ(m_registry.CurrentSkin(), 7);
    wchar_t path[MAX_PATH] = {};
    GetSkinPath(path, MAX_PATH);
    EXPECT_EQ(std::wstring(path), m_folder / L"Skins\\Skin07eng.xml");
    EXPECT_EQ(m_registry.Skins()[7].Width, 800);
    EXPECT_EQ(m_registry.Skins()[7].Height, 600);
}

TEST_F(MdHostSkins, CandidatesEndWithTheShortNameAndMustBeSkins) {
    AddSkin(L"Nightviet.xml", mdtest::SkinXml("Night", {}));
    AddSkin(L"Night-eng.xml", mdtest::SkinXml("Night English", {}));
    AddSkin(L"viet.xml", mdtest::SkinXml("Whole name", {}));
    AddSkin(L"DAYVIET.XML", mdtest::SkinXml("Day", {}));
    AddSkin(L"Brokenviet.xml", "<SKIN_MM Caption=\"Broken\"><MAINFRAME></SKIN_MM>");
    AddSkin(L"Otherviet.xml", "<OTHER Caption=\"Other\"/>");
    AddSkin(L"Nocaptionviet.xml", "<SKIN_MM Caption=\"\"/>");
    AddSkin(L"Lowerviet.xml", "<skin_mm Caption=\"Lower\"/>");
    CArray<_sSkin> skins = CModuleRegistry::DiscoverSkins(m_folder.Path(), L"viet");
    std::vector<std::wstring> captions;
    for (const _sSkin& s : skins) captions.push_back(s.Caption);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"Day", L"Lower", L"Night"}));
    EXPECT_TRUE(CModuleRegistry::DiscoverSkins(m_folder.Path(), L"jpn").IsEmpty());
}

TEST_F(MdHostSkins, WithoutSkinsThereIsNoCurrentSkin) {
    AddModules({L"tm_vocalith"});
    Load(L"rus");
    EXPECT_EQ(m_registry.CurrentSkin(), -1);
    EXPECT_EQ(GetMenuItemCount(m_registry.SkinsMenu()), 0);
    EXPECT_EQ(m_registry.Entries().GetSize(), 1);
}

using MdHostOrder = RegistryTest;

TEST_F(MdHostOrder, OrderGoToItemsAndButtonsFollowTheSkin) {
    AddModules({L"tm_vocalith", L"tm_discreel", L"tm_sonicut", L"tm_alpha", L"tm_beta", L"tm_unlisted", L"tm_playvox"});
    AddSkin(L"Order-eng.xml",
            mdtest::SkinXml("Order", {"Vocalith", "Sonicut", "Missing", "alpha", "Discreel", "Playvox", "Beta", ""}));
    LoadAndOrder();

    auto order = [&](const wchar_t* n) { return Entry(n)->Order; };
    EXPECT_EQ(order(L"Vocalith"), 0);  // fixed
    EXPECT_EQ(order(L"Sonicut"), 1);   // its place in the list
    EXPECT_EQ(order(L"Alpha"), 2);     // "Missing" is not loaded and takes no place
    EXPECT_EQ(order(L"Discreel"), 3);  // fixed
    EXPECT_EQ(order(L"Playvox"), 8);   // fixed, and counts as a place
    EXPECT_EQ(order(L"Beta"), 5);
    EXPECT_EQ(order(L"Unlisted"), -1);

    std::vector<std::wstring> sorted;
    for (CModuleEntry* e : m_registry.Entries()) sorted.push_back(e->Name());
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L"Unlisted", L"Vocalith", L"Sonicut", L"Alpha", L"Discreel", L"Beta",
                                                 L"Playvox"}));

    // Every placed module has its item at 236 + order, past the gap at order 4.
    EXPECT_EQ(MenuItems(m_registry.GoToMenu()),
              (Items{{236, L"Vocalith"}, {237, L"Sonicut"}, {238, L"Alpha"}, {239, L"Discreel"}, {241, L"Beta"},
                     {244, L"Playvox"}}));
    EXPECT_EQ(Counters(Entry(L"Beta"))->getMenu, 1);
    EXPECT_EQ(Counters(Entry(L"Unlisted"))->getMenu, 0);
    EXPECT_EQ(Entry(L"Vocalith")->Menu, Entry(L"Vocalith")->OrvoGetMenu(Entry(L"Vocalith")->Window));

    // Buttons: every named child but Playvox; "Missing" gets one without a module.
    ASSERT_EQ(m_frame.buttons.size(), 6u);
    std::vector<std::wstring> names;
    for (const auto& b : m_frame.buttons) names.push_back(b.name);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Vocalith", L"Sonicut", L"Missing", L"alpha", L"Discreel", L"Beta"}));
    EXPECT_EQ(m_frame.buttons[2].module, nullptr);
    EXPECT_EQ(m_frame.buttons[3].module, Entry(L"Alpha"));
    EXPECT_NE(Entry(L"Alpha")->Button, nullptr);
    EXPECT_EQ(Entry(L"Playvox")->Button, nullptr);
    EXPECT_EQ(Entry(L"Unlisted")->Button, nullptr);

    // The unlisted module is reached by its name only.
    EXPECT_FALSE(m_registry.ActivateModule(-1));
    EXPECT_TRUE(m_registry.ActivateModuleByName(L"Unlisted"));
    EXPECT_EQ(m_registry.FindActive(), Entry(L"Unlisted"));
    EXPECT_FALSE(m_registry.ActivateModuleByName(L"unlisted"));  // exact name
    EXPECT_EQ(m_registry.FindActive(), Entry(L"Unlisted"));
}

TEST_F(MdHostOrder, TwoModulesOfOneNameTheFirstIsFoundAndOrdered) {
    AddModules({L"tm_twin_a", L"tm_twin_b"});
    AddSkin(L"Twins-eng.xml", mdtest::SkinXml("Twins", {"TWIN"}));
    Load();
    ASSERT_EQ(m_registry.Entries().GetSize(), 2);
    CModuleEntry* a = m_registry.Entries()[0];
    CModuleEntry* b = m_registry.Entries()[1];
    ASSERT_NE(a->Path.find(L"tm_twin_a.dll"), std::wstring::npos);
    EXPECT_EQ(m_registry.FindByName(L"twin"), a);
    EXPECT_EQ(m_registry.GetModuleInfo(L"Twin"), &a->Info);
    // The skin's list places the first; the second keeps no place and sorts in front.
    enXml* root = nullptr;
    ASSERT_EQ(GetSkinXMLRoot(nullptr, &root), S_OK);
    m_registry.ApplyModuleOrder(root);
    EXPECT_EQ(a->Order, 0);
    EXPECT_EQ(b->Order, -1);
    EXPECT_EQ(m_registry.Entries()[0], b);
    EXPECT_EQ(MenuItems(m_registry.GoToMenu()), (Items{{236, L"Twin"}}));
    EXPECT_EQ(Counters(b)->getMenu, 0);
}

using MdHostActivation = RegistryTest;

TEST_F(MdHostActivation, OneModuleAtATimeIsActiveShownAndNamedInTheTitle) {
    AddModules({L"tm_vocalith", L"tm_sonicut", L"tm_alpha"});
    AddSkin(L"A-eng.xml", mdtest::SkinXml("A", {"Vocalith", "Sonicut", "Alpha"}));
    LoadAndOrder();
    CModuleEntry* v = Entry(L"Vocalith");
    CModuleEntry* s = Entry(L"Sonicut");
    int changes = m_frame.activations;

    ASSERT_TRUE(m_registry.ActivateModule(0));
    EXPECT_TRUE(v->Active);
    EXPECT_TRUE(IsWindowVisible(v->Window) || (GetWindowLongW(v->Window, GWL_STYLE) & WS_VISIBLE));
    EXPECT_EQ(Counters(v)->activated, 1);
    EXPECT_EQ(Counters(v)->loadSkin, 1);
    EXPECT_EQ(m_frame.title, L"Melodrift : Vocalith");
    EXPECT_TRUE(m_frame.checks[v->Button]);
    EXPECT_EQ(m_registry.GetActiveOrder(), 0);

    ASSERT_TRUE(m_registry.ActivateModule(1));
    EXPECT_FALSE(v->Active);
    EXPECT_TRUE(s->Active);
    EXPECT_EQ(GetWindowLongW(v->Window, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(Counters(v)->deactivated, 1);
    EXPECT_EQ(Counters(v)->lastState, 0);
    EXPECT_EQ(Counters(s)->lastState, 1);
    EXPECT_FALSE(m_frame.checks[v->Button]);
    EXPECT_TRUE(m_frame.checks[s->Button]);
    EXPECT_EQ(m_frame.title, L"Melodrift : Sonicut");

    // An order no module has, and -1: nothing active afterwards.
    EXPECT_FALSE(m_registry.ActivateModule(-1));
    EXPECT_EQ(m_registry.FindActive(), nullptr);
    EXPECT_EQ(m_registry.GetActiveOrder(), -1);
    EXPECT_EQ(Counters(s)->deactivated, 1);
    EXPECT_FALSE(m_registry.ActivateModule(17));
    EXPECT_EQ(m_frame.activations, changes + 4);
}

TEST_F(MdHostActivation, MessagesCommandsAndIdleReachOnlyTheActiveModule) {
    AddModules({L"tm_vocalith", L"tm_alpha"});
    AddSkin(L"A-eng.xml", mdtest::SkinXml("A", {"Vocalith", "Alpha"}));
    LoadAndOrder();
    CModuleEntry* v = Entry(L"Vocalith");
    CModuleEntry* a = Entry(L"Alpha");

    MSG taken = {};
    taken.message = WM_APP + 77;
    MSG other = {};
    other.message = WM_KEYDOWN;
    EXPECT_FALSE(m_registry.PreTranslateMessage(&taken));  // nothing active yet
    EXPECT_FALSE(m_registry.OnCmdMsg(40001, CN_COMMAND, nullptr, false));
    m_registry.OnIdle();
    EXPECT_EQ(Counters(v)->preTranslate + Counters(v)->cmdMsg + Counters(v)->idle, 0);

    m_registry.ActivateModule(1);  // Alpha
    EXPECT_TRUE(m_registry.PreTranslateMessage(&taken));
    EXPECT_FALSE(m_registry.PreTranslateMessage(&other));
    EXPECT_TRUE(m_registry.OnCmdMsg(40001, CN_COMMAND, nullptr, false));
    EXPECT_FALSE(m_registry.OnCmdMsg(40002, CN_COMMAND, nullptr, false));
    EXPECT_TRUE(m_registry.OnCmdMsg(40001, CN_COMMAND, nullptr, true));
    EXPECT_EQ(Counters(a)->queryOnly, 1);
    m_registry.OnIdle();
    m_registry.OnIdle();
    EXPECT_EQ(Counters(a)->preTranslate, 2);
    EXPECT_EQ(Counters(a)->cmdMsg, 3);
    EXPECT_EQ(Counters(a)->idle, 2);
    EXPECT_EQ(Counters(v)->preTranslate + Counters(v)->cmdMsg + Counters(v)->idle, 0);

    // A command-state request: the module sees a plain record, the menu item its answer.
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 40001, L"Module command");
    CCmdUI ui;
    ui.m_nID = 40001;
    ui.m_nIndex = 0;
    ui.m_hMenu = menu;
    EXPECT_TRUE(m_registry.OnCmdMsg(40001, CN_UPDATE_COMMAND_UI, &ui, false));
    EXPECT_EQ(Counters(a)->lastCode, -1);
    UINT state = GetMenuState(menu, 40001, MF_BYCOMMAND);
    EXPECT_TRUE(state & MF_GRAYED);
    EXPECT_TRUE(state & MF_CHECKED);
    DestroyMenu(menu);
}

TEST_F(MdHostActivation, CloseAsksModulesAndUnloadFreesEverything) {
    AddModules({L"tm_vocalith", L"tm_stubborn"});
    AddSkin(L"A-eng.xml", mdtest::SkinXml("A", {"Vocalith", "Stubborn"}));
    LoadAndOrder();
    CModuleEntry* v = Entry(L"Vocalith");
    CModuleEntry* stubborn = Entry(L"Stubborn");
    EXPECT_FALSE(m_registry.TryCloseModules());
    EXPECT_EQ(Counters(stubborn)->tryClose, 1);

    m_registry.ActivateModule(0);
    // Keep the library mapped to read its counters after the registry let it go.
    HMODULE extra = LoadLibraryW(v->Path.c_str());
    TmCounters* c = Counters(v);
    HWND window = v->Window;
    std::wstring path = v->Path, stubbornPath = stubborn->Path;
    m_registry.Unload();
    EXPECT_TRUE(m_registry.Entries().IsEmpty());
    EXPECT_EQ(c->lastState, 0);
    EXPECT_EQ(c->deactivated, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetModuleHandleW(stubbornPath.c_str()), nullptr);
    FreeLibrary(extra);
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

}  // namespace
