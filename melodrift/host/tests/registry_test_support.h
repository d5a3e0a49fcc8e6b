// A module registry over a scratch program folder, with a frame of the test's
// own that records what the registry asks of it, and the host interfaces and
// bus the modules reach.
#pragma once

#include "host_services.h"
#include "host_test_support.h"
#include "message_bus.h"
#include "module_registry.h"
#include "settings.h"
#include "frame_services.h"
#include "journix/journix.h"
#include "patinex/patinex.h"
#include "xml/enxml.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// What the test modules count (the layout of their TmCounters).
struct TmCounters {
    int initialize;
    int getMenu;
    int getAccel;
    int activated;
    int deactivated;
    int loadSkin;
    int idle;
    int preTranslate;
    int cmdMsg;
    int tryClose;
    int lastState;
    UINT lastCommand;
    int lastCode;
    int queryOnly;
    HWND parent;
    IQueryInterface* host;
};

class TestFrame : public IFrameServices {
public:
    struct Button {
        std::wstring name;
        CModuleEntry* module;
    };

    TestFrame() {
        m_parent = CreateWindowExW(0, L"STATIC", L"test frame", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    ~TestFrame() override { DestroyWindow(m_parent); }

    HWND GetModuleParent() override { return m_parent; }
    HWND GetMainWindow() override { return m_parent; }
    IQueryInterface* GetHostQueryInterface() override { return query; }
    void SetSplashStatus(const std::wstring& text) override { statuses.push_back(text); }
    void SetFrameTitle(const std::wstring& text) override { title = text; }
    void* CreateModuleButton(const enXml& child, CModuleEntry* module) override {
        std::wstring name;
        child.GetAttribute(L"Name", name);
        buttons.push_back({name, module});
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(buttons.size()));
    }
    void CheckModuleButton(void* button, bool checked) override { checks[button] = checked; }
    void OnActivationChanged() override { ++activations; }
    void OnModuleMenuChanged(CModuleEntry*) override { ++menuChanges; }

    HWND m_parent = nullptr;
    IQueryInterface* query = nullptr;
    std::vector<std::wstring> statuses;
    std::wstring title;
    std::vector<Button> buttons;
    std::map<void*, bool> checks;
    int activations = 0;
    int menuChanges = 0;
};

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest()
        : m_folder(L"reg"),
          m_settings(m_folder / L"config.ini"),
          m_registry(m_frame),
          m_bus(m_registry),
          m_services(m_registry, m_bus, m_settings, m_frame, m_folder.Path()) {
        m_frame.query = m_services.Query();
        m_log = m_folder / L"debug.log";
        enJournix()->SetLogFile(m_log.c_str());
    }
    ~RegistryTest() override {
        m_registry.Unload();
        enJournix()->SetLogFile(nullptr);
        if (m_view) DestroyMenu(m_view);
    }

    void AddModules(const std::vector<std::wstring>& names) {
        for (const std::wstring& n : names) ASSERT_TRUE(mdtest::CopyInto(mdtest::TestModule(n), m_folder / L"Modules"));
    }
    void AddSkin(const std::wstring& file, const std::string& xml) {
        mdtest::MakeFolder(m_folder / L"Skins");
        ASSERT_TRUE(mdtest::WriteBytes(m_folder / (L"Skins\\" + file), xml));
    }
    void Load(const std::wstring& shortName = L"eng", const std::wstring& currentSkin = L"") {
        m_view = CreatePopupMenu();
        AppendMenuW(m_view, MF_STRING, 227, L"Player Bar");
        CModuleRegistry::LoadParams p;
        p.programFolder = m_folder.Path();
        p.languageShortName = shortName;
        p.currentSkinName = currentSkin;
        p.languages = &m_languages;
        p.viewMenu = m_view;
        m_registry.Load(p);
    }
    // Load, then order by the current skin.
    void LoadAndOrder() {
        Load();
        enXml* root = nullptr;
        ASSERT_EQ(GetSkinXMLRoot(nullptr, &root), S_OK);
        m_registry.ApplyModuleOrder(root);
    }

    CModuleEntry* Entry(const wchar_t* name) {
        for (CModuleEntry* e : m_registry.Entries())
            if (std::wstring(e->Name()) == name) return e;
        return nullptr;
    }
    static TmCounters* Counters(const CModuleEntry* e) {
        using Fn = TmCounters*(__cdecl*)();
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(e->Library, "TmGetCounters")));
        return fn ? fn() : nullptr;
    }
    static int MessageCount(const CModuleEntry* e) {
        using Fn = int(__cdecl*)();
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(e->Library, "TmMessageCount")));
        return fn ? fn() : -1;
    }
    static std::pair<std::wstring, std::wstring> Message(const CModuleEntry* e, int i) {
        using Fn = int(__cdecl*)(int, wchar_t*, int, wchar_t*, int);
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(e->Library, "TmMessage")));
        wchar_t sender[256] = {}, text[1024] = {};
        if (!fn || !fn(i, sender, 256, text, 1024)) return {};
        return {sender, text};
    }
    // The debug log's texts after "INFO: ".
    std::vector<std::wstring> LogTexts() {
        std::vector<std::wstring> texts;
        for (std::wstring line : mdtest::ReadUtf8Lines(m_log)) {
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            std::size_t at = line.find(L"] INFO: ");
            if (at != std::wstring::npos) texts.push_back(line.substr(at + 8));
        }
        return texts;
    }

    mdtest::ScratchFolder m_folder;
    CHostSettings m_settings;
    TestFrame m_frame;
    CModuleRegistry m_registry;
    CMessageBus m_bus;
    CHostServices m_services;
    CArray<LanguageEntry> m_languages;
    HMENU m_view = nullptr;
    std::wstring m_log;
};
