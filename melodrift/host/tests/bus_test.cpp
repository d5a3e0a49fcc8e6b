// The message bus and the interfaces modules reach it and the host through,
// with real module DLLs: every outcome code, names in any letter case, the
// reserved names, the log file, "MODULES_ORDER", and many threads at once.
#include "registry_test_support.h"

#include "fw/strutil.h"

#include <filesystem>
#include <regex>
#include <set>

namespace {

class MdHostBus : public RegistryTest {
protected:
    void SetUp() override {
        AddModules({L"tm_vocalith", L"tm_silent", L"tm_grumpy", L"tm_twin_a", L"tm_twin_b", L"tm_cyrillic"});
        Load();
    }
    int Send(const wchar_t* to, const wchar_t* from, const wchar_t* text) {
        return m_services.Query()->GetModuleCom()->SendMessage(to, from, text);
    }
    CModuleEntry* TwinAt(const wchar_t* file) {
        for (CModuleEntry* e : m_registry.Entries())
            if (e->Path.find(file) != std::wstring::npos) return e;
        return nullptr;
    }
    int Received() {
        int total = 0;
        for (CModuleEntry* e : m_registry.Entries()) total += std::max(0, MessageCount(e));
        return total;
    }
};

TEST_F(MdHostBus, EveryOutcomeCode) {
    CModuleEntry* vocalith = Entry(L"Vocalith");
    EXPECT_EQ(Send(L"Vocalith", L"Main frame", L"hello"), MESSAGE_OK);
    ASSERT_EQ(MessageCount(vocalith), 1);
    EXPECT_EQ(Message(vocalith, 0), (std::pair<std::wstring, std::wstring>{L"Main frame", L"hello"}));
    EXPECT_EQ(Send(L"nobody", L"nobody", L"x"), MESSAGE_RECIPIER_NOT_FOUND);  // the sender is not examined
    EXPECT_EQ(Send(L"Vocalith", L"nobody", L"x"), MESSAGE_SENDER_NOT_FOUND);
    EXPECT_EQ(Send(L"Silent", L"Vocalith", L"x"), MESSAGE_RECIPIER_ERROR);   // no OrvoPassMessage
    EXPECT_EQ(Send(L"Grumpy", L"Vocalith", L"x"), MESSAGE_RECIPIER_ERROR);   // answers 0
    EXPECT_EQ(MessageCount(Entry(L"Grumpy")), 1);
    EXPECT_EQ(Send(nullptr, nullptr, nullptr), MESSAGE_RECIPIER_NOT_FOUND);

    std::vector<int> results;
    for (std::size_t i = 0; i < m_bus.GetItemCount(); ++i) results.push_back(m_bus.GetItem(i).Result);
    EXPECT_EQ(results, (std::vector<int>{0, 1, 2, 3, 3, 1}));
    _MESSAGE_QUERY_ITEM_ first = m_bus.GetItem(0);
    EXPECT_EQ(first.Recipient, L"Vocalith");
    EXPECT_EQ(first.Sender, L"Main frame");
    EXPECT_EQ(first.Message, L"hello");
    EXPECT_LE(std::abs(first.Time - static_cast<std::int64_t>(std::time(nullptr))), 5);
}

TEST_F(MdHostBus, NamesMatchInAnyLetterCaseAndTheLastOfTwoNamesakesGetsIt) {
    EXPECT_EQ(Send(L"VOCALITH", L"main FRAME", L"case"), MESSAGE_OK);
    EXPECT_EQ(Send(L"vocalith", L"GRUMPY", L"case"), MESSAGE_OK);
    EXPECT_EQ(MessageCount(Entry(L"Vocalith")), 2);
    EXPECT_EQ(Send(L"twin", L"Main frame", L"which one?"), MESSAGE_OK);
    EXPECT_EQ(MessageCount(TwinAt(L"tm_twin_a.dll")), 0);
    EXPECT_EQ(MessageCount(TwinAt(L"tm_twin_b.dll")), 1);
    // Lookups by name find the first.
    EXPECT_EQ(m_services.Query()->GetModuleCom()->GetModuleInfo(L"TWIN"), &TwinAt(L"tm_twin_a.dll")->Info);
    EXPECT_EQ(m_services.Query()->GetModuleCom()->GetModuleInfo(L"nobody"), nullptr);
}

TEST_F(MdHostBus, ReservedRecipientsAreRecordedButReachNoModule) {
    EXPECT_EQ(Send(L"All modules", L"Vocalith", L"to everybody"), MESSAGE_RECIPIER_ERROR);
    EXPECT_EQ(Send(L"main frame", L"Vocalith", L"to the host"), MESSAGE_RECIPIER_ERROR);
    EXPECT_EQ(Send(L"ALL MODULES", L"Main frame", L"from the host"), MESSAGE_RECIPIER_ERROR);
    EXPECT_EQ(Send(L"All modules", L"nobody", L"unknown sender"), MESSAGE_SENDER_NOT_FOUND);
    EXPECT_EQ(Received(), 0);
    EXPECT_EQ(m_bus.GetItemCount(), 4u);
}

TEST_F(MdHostBus, ThreeMessagesGiveThreeSixLineBlocksInUtf8) {
    const std::wstring cyrillic = L"\u0412\u043e\u043a\u0430\u043b\u0438\u0442";
    EXPECT_EQ(Send(L"Vocalith", L"Main frame", L"open \"C:\\Music\\a b.mp3\""), MESSAGE_OK);
    EXPECT_EQ(Send(cyrillic.c_str(), L"Vocalith", L"\u00e9t\u00e9 \u97f3\u697d"), MESSAGE_OK);
    EXPECT_EQ(Send(L"nobody", L"Vocalith", L"lost"), MESSAGE_RECIPIER_NOT_FOUND);
    const std::wstring log = m_folder / L"bus.log";
    mdtest::WriteBytes(log, "old content that must go\n");
    ASSERT_TRUE(m_bus.WriteLog(log));
    std::vector<std::wstring> lines = mdtest::ReadUtf8Lines(log);
    ASSERT_EQ(lines.size(), 18u);
    std::wregex time(LR"(Time: \d\d:\d\d:\d\d)");
    for (int b = 0; b < 3; ++b) {
        EXPECT_TRUE(std::regex_match(lines[b * 6], time)) << fw::ToUtf8(lines[b * 6]);
        EXPECT_EQ(lines[b * 6 + 5], L"");
    }
    EXPECT_EQ(lines[1], L"Recipient: Vocalith");
    EXPECT_EQ(lines[2], L"Sender: Main frame");
    EXPECT_EQ(lines[3], L"Message: open \"C:\\Music\\a b.mp3\"");
    EXPECT_EQ(lines[4], L"Result: MESSAGE_OK");
    EXPECT_EQ(lines[7], L"Recipient: " + cyrillic);
    EXPECT_EQ(lines[9], L"Message: \u00e9t\u00e9 \u97f3\u697d");
    EXPECT_EQ(lines[16], L"Result: MESSAGE_RECIPIER_NOT_FOUND");
    std::string bytes = mdtest::ReadBytes(log);
    EXPECT_EQ(bytes.find('\r'), std::string::npos);  // line feeds only

    EXPECT_EQ(CMessageBus::LogPathFor(L"C:\\Program Files\\Melodrift\\Melodrift.exe"),
              L"C:\\Program Files\\Melodrift\\Melodrift.log");
    EXPECT_EQ(CMessageBus::LogPathFor(L"C:\\NoExtension"), L"");
    EXPECT_FALSE(m_bus.WriteLog(L""));
    EXPECT_FALSE(m_bus.WriteLog(m_folder / L"no\\such\\folder\\bus.log"));
}

TEST_F(MdHostBus, ModulesOrderIsRewrittenAndOlderKeysEmptied) {
    const std::wstring config = m_settings.Path();
    for (int i = 1; i <= 7; ++i)
        WritePrivateProfileStringW(L"MODULES_ORDER", (L"_" + std::to_wstring(i)).c_str(), L"old", config.c_str());
    m_bus.WriteModulesOrder(config);
    std::vector<std::wstring> names;
    for (CModuleEntry* e : m_registry.Entries()) names.push_back(e->Name());
    ASSERT_EQ(names.size(), 6u);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", (L"_" + std::to_wstring(i + 1)).c_str()), names[i]);
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_7", L"absent"), L"");  // emptied, still there
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_8", L"absent"), L"absent");
    // The name outside the ANSI code page survives in the file.
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_1"), L"\u0412\u043e\u043a\u0430\u043b\u0438\u0442");
}

TEST_F(MdHostBus, ModulesOrderOfAnEarlierRunWithMoreModules) {
    const std::wstring config = m_settings.Path();
    WritePrivateProfileStringW(L"MODULES_ORDER", L"_1", L"a", config.c_str());
    WritePrivateProfileStringW(L"MODULES_ORDER", L"_2", L"b", config.c_str());
    WritePrivateProfileStringW(L"MODULES_ORDER", L"_3", L"c", config.c_str());
    WritePrivateProfileStringW(L"MODULES_ORDER", L"_4", L"d", config.c_str());
    m_registry.Unload();
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(m_folder / L"Modules"), ec);
    AddModules({L"tm_alpha", L"tm_beta", L"tm_discreel"});
    Load();
    ASSERT_EQ(m_registry.Entries().GetSize(), 3);
    m_bus.WriteModulesOrder(config);
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_1"), L"Alpha");
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_2"), L"Beta");
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_3"), L"Discreel");
    EXPECT_EQ(mdtest::ReadIni(config, L"MODULES_ORDER", L"_4", L"absent"), L"");
}

TEST_F(MdHostBus, ManyThreadsOfAModuleLoseNoMessage) {
    CModuleEntry* vocalith = Entry(L"Vocalith");
    using Hammer = int(__cdecl*)(int, int);
    auto hammer = reinterpret_cast<Hammer>(reinterpret_cast<void*>(GetProcAddress(vocalith->Library, "TmHammerBus")));
    ASSERT_NE(hammer, nullptr);
    constexpr int kThreads = 8, kEach = 250;
    EXPECT_EQ(hammer(kThreads, kEach), kThreads * kEach);
    EXPECT_EQ(MessageCount(vocalith), kThreads * kEach);
    ASSERT_EQ(m_bus.GetItemCount(), static_cast<std::size_t>(kThreads * kEach));
    std::set<std::wstring> texts;
    for (std::size_t i = 0; i < m_bus.GetItemCount(); ++i) {
        _MESSAGE_QUERY_ITEM_ item = m_bus.GetItem(i);
        EXPECT_EQ(item.Result, MESSAGE_OK);
        texts.insert(item.Message);
    }
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(kThreads * kEach));
    const std::wstring log = m_folder / L"threads.log";
    ASSERT_TRUE(m_bus.WriteLog(log));
    std::vector<std::wstring> lines = mdtest::ReadUtf8Lines(log);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(6 * kThreads * kEach));
    std::set<std::wstring> logged;
    for (std::size_t i = 3; i < lines.size(); i += 6) logged.insert(lines[i]);
    EXPECT_EQ(logged.size(), static_cast<std::size_t>(kThreads * kEach));
}

using MdHostInterfaces = RegistryTest;

TEST_F(MdHostInterfaces, SettingsOnlyForLoadedModulesAndTheMainFrame) {
    AddModules({L"tm_vocalith"});
    Load();
    IApplication* app = m_services.Query()->GetApplication();
    EXPECT_EQ(m_services.Query()->GetVersion(), 0x04000060u);
    wchar_t buffer[64] = {L'x'};
    EXPECT_FALSE(app->ReadSetting(L"Main frame", L"AutoOpen", buffer, 64));
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_TRUE(app->WriteSetting(L"Main frame", L"AutoOpen", L"Sonicut"));
    EXPECT_TRUE(app->ReadSetting(L"Main frame", L"AutoOpen", buffer, 64));
    EXPECT_EQ(std::wstring(buffer), L"Sonicut");
    EXPECT_TRUE(app->WriteSetting(L"vocalith", L"Volume", L"7"));
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"vocalith: params", L"Volume"), L"7");
    EXPECT_FALSE(app->WriteSetting(L"Stranger", L"Volume", L"7"));
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Stranger: params", L"Volume", L"absent"), L"absent");
    EXPECT_FALSE(app->ReadSetting(L"Stranger", L"Volume", buffer, 64));
    wchar_t small[4] = {};
    EXPECT_TRUE(app->ReadSetting(L"Main frame", L"AutoOpen", small, 4));
    EXPECT_EQ(std::wstring(small), L"Son");
}

TEST_F(MdHostInterfaces, DeleteSettingRemovesTheKeyOfTheOwnersSectionOnly) {
    AddModules({L"tm_vocalith"});
    Load();
    IApplication* app = m_services.Query()->GetApplication();
    app->WriteSetting(L"Vocalith", L"Key", L"module");
    app->WriteSetting(L"Main frame", L"Key", L"frame");
    app->WriteSetting(L"Main frame", L"Other", L"stays");
    EXPECT_TRUE(app->DeleteSetting(L"Main frame", L"Key"));
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"Key", L"absent"), L"absent");
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"Other"), L"stays");
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Vocalith: params", L"Key"), L"module");
    EXPECT_TRUE(app->DeleteSetting(L"Main frame", L"Key"));   // section there, key gone: still 1
    EXPECT_FALSE(app->DeleteSetting(L"Stranger", L"Key"));
    m_settings.Write(L"Keep", L"x", L"\u97f3");               // the rest of the file is kept as it was
    EXPECT_TRUE(app->DeleteSetting(L"VOCALITH", L"key"));      // names in any letter case, as the profile functions
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Vocalith: params", L"Key", L"absent"), L"absent");
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Keep", L"x"), L"\u97f3");

    // A file that cannot be rewritten (its new text has nowhere to go): no success, the key stays.
    ASSERT_TRUE(mdtest::WriteBytes(m_settings.Path(), "[Main frame: params]\r\nKey=kept\r\n"));
    ASSERT_TRUE(CreateDirectoryW((m_settings.Path() + L".tmp").c_str(), nullptr));
    EXPECT_FALSE(app->DeleteSetting(L"Main frame", L"Key"));
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"Key"), L"kept");
    RemoveDirectoryW((m_settings.Path() + L".tmp").c_str());
}

TEST_F(MdHostInterfaces, ModulesAreActivatedAndNamedThroughTheApplication) {
    AddModules({L"tm_vocalith", L"tm_alpha"});
    AddSkin(L"A-eng.xml", mdtest::SkinXml("A", {"Vocalith"}));
    LoadAndOrder();
    IApplication* app = m_services.Query()->GetApplication();
    EXPECT_EQ(app->GetActiveModuleName(), nullptr);
    EXPECT_TRUE(app->ActivateModule(L"Alpha"));
    EXPECT_EQ(std::wstring(app->GetActiveModuleName()), L"Alpha");
    EXPECT_FALSE(app->ActivateModule(L"ALPHA"));
    EXPECT_FALSE(app->ActivateModule(L"nobody"));
    EXPECT_EQ(std::wstring(app->GetProgramFolder()), m_folder.Path());
    EXPECT_TRUE(app->RefreshModuleMenu(L"alpha"));
    EXPECT_EQ(m_frame.menuChanges, 1);
    EXPECT_FALSE(app->RefreshModuleMenu(L"nobody"));
    BSTR path = nullptr;
    ASSERT_EQ(m_services.Query()->GetCurrentSkinPath(&path), S_OK);
    EXPECT_EQ(std::wstring(path), m_folder / L"Skins\\A-eng.xml");
    SysFreeString(path);
    EXPECT_EQ(m_services.Query()->GetCurrentSkinPath(nullptr), E_POINTER);
    const ORVO_TEXT_LIST* chosen = app->ChooseFromLibrary();
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->Count, 0);
}

}  // namespace
