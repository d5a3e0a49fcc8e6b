// The player, microphone and skin interfaces with real module DLLs and a test
// frame that owns the real engines: ownership and its window messages,
// playback stopped by a new acquisition, the frame's hooks for sliders and
// the position timer, capture from the sound server's monitor, the module
// toolbar lookup in a skin document.
#include "host_services.h"
#include "host_test_support.h"
#include "message_bus.h"
#include "micro/ext_micro.h"
#include "module_registry.h"
#include "player/ext_player_dx.h"
#include "settings.h"
#include "frame_services.h"
#include "journix/journix.h"
#include "xml/enxml.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// A frame over the real engines that records what the interfaces ask of it.
class EngineFrame : public IFrameServices {
public:
    EngineFrame() {
        m_parent = CreateWindowExW(0, L"STATIC", L"test frame", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                   nullptr, nullptr);
    }
    ~EngineFrame() override { DestroyWindow(m_parent); }

    HWND GetModuleParent() override { return m_parent; }
    HWND GetMainWindow() override { return m_parent; }
    IQueryInterface* GetHostQueryInterface() override { return query; }
    CExtPlayerDX* GetPlayerEngine() override { return withEngines ? &player : nullptr; }
    CExtMicro* GetMicroEngine() override { return withEngines ? &micro : nullptr; }
    void OnPlaybackStarted() override { ++started; }
    void OnPlaybackStopped() override { ++stopped; }
    bool GetVolumeSlider(int& position) override {
        position = volumeSlider;
        return volumeSlider >= 0;
    }
    bool GetBalanceSlider(int& position) override {
        position = balanceSlider;
        return balanceSlider >= 0;
    }
    void SetVolumeSliders(int position) override { volumeSlider = position; }
    void SetBalanceSliders(int position) override { balanceSlider = position; }
    void RefreshCommandStates() override { ++refreshes; }
    const enXml* GetSkinDocument() override { return skin; }

    HWND m_parent = nullptr;
    IQueryInterface* query = nullptr;
    bool withEngines = true;
    CExtPlayerDX player;
    CExtMicro micro;
    int started = 0;
    int stopped = 0;
    int refreshes = 0;
    int volumeSlider = -1;
    int balanceSlider = -1;
    const enXml* skin = nullptr;
};

// Window messages the host sent to a module's window.
std::map<HWND, std::vector<UINT>> g_received;
std::map<HWND, WNDPROC> g_original;

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message >= WM_USER && message <= WM_USER + 40) g_received[window].push_back(message);
    return CallWindowProcW(g_original[window], window, message, w, l);
}

class HostIf : public ::testing::Test {
protected:
    HostIf()
        : m_folder(L"hostif"),
          m_settings(m_folder / L"config.ini"),
          m_registry(m_frame),
          m_bus(m_registry),
          m_services(m_registry, m_bus, m_settings, m_frame, m_folder.Path()) {
        m_frame.query = m_services.Query();
        enJournix()->SetLogFile((m_folder / L"debug.log").c_str());
    }
    ~HostIf() override {
        m_frame.player.Stop(kStopRequested);
        m_frame.micro.Stop();
        m_registry.Unload();
        enJournix()->SetLogFile(nullptr);
        if (m_view) DestroyMenu(m_view);
        g_received.clear();
        g_original.clear();
    }

    void LoadModules(const std::vector<std::wstring>& names) {
        for (const std::wstring& n : names) ASSERT_TRUE(mdtest::CopyInto(mdtest::TestModule(n), m_folder / L"Modules"));
        m_view = CreatePopupMenu();
        CModuleRegistry::LoadParams p;
        p.programFolder = m_folder.Path();
        p.languageShortName = L"eng";
        p.languages = &m_languages;
        p.viewMenu = m_view;
        m_registry.Load(p);
        for (CModuleEntry* e : m_registry.Entries()) {
            ASSERT_NE(e->Window, nullptr);
            g_original[e->Window] = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(e->Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
        }
    }
    CModuleEntry* Entry(const wchar_t* name) {
        for (CModuleEntry* e : m_registry.Entries())
            if (std::wstring(e->Name()) == name) return e;
        return nullptr;
    }
    std::vector<UINT> Received(const wchar_t* name) { return g_received[Entry(name)->Window]; }

    IPlayer* Player() { return m_services.Query()->GetPlayer(); }
    IMicro* Micro() { return m_services.Query()->GetMicro(); }

    mdtest::ScratchFolder m_folder;
    CHostSettings m_settings;
    EngineFrame m_frame;
    CModuleRegistry m_registry;
    CMessageBus m_bus;
    CHostServices m_services;
    CArray<LanguageEntry> m_languages;
    HMENU m_view = nullptr;
};

// A quiet tone for as long as the player asks.
struct Tone {
    std::atomic<int> calls{0};
    std::atomic<int> detached{0};
    double phase = 0;
    static int __cdecl Fill(UINT_PTR user, ORVO_SAMPLE_BLOCK* block, int) {
        Tone* tone = reinterpret_cast<Tone*>(user);
        if (!block->Channels) {
            if (block->Capacity == 0) ++tone->detached;
            return 0;
        }
        for (int i = 0; i < block->Capacity; ++i) {
            float v = static_cast<float>(0.1 * std::sin(tone->phase));
            tone->phase += 2 * 3.14159265358979 * 440 / 44100;
            block->Channels[0][i] = v;
            block->Channels[1][i] = v;
        }
        block->Filled = block->Capacity;
        ++tone->calls;
        return 1;
    }
};

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 20000) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    return true;
}

const UINT kAcquired = WM_USER + 10;
const UINT kReleased = WM_USER + 12;

TEST_F(HostIf, PlayerOwnershipMovesWithItsMessages) {
    LoadModules({L"tm_vocalith", L"tm_sonicut"});
    IPlayer* player = Player();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->GetPlayerOwner(), nullptr);
    EXPECT_FALSE(player->AcquirePlayer(L"nobody"));
    EXPECT_FALSE(player->AcquirePlayer(nullptr));

    EXPECT_TRUE(player->AcquirePlayer(L"vocalith"));   // letter case ignored
    EXPECT_EQ(std::wstring(player->GetPlayerOwner()), L"Vocalith");
    EXPECT_EQ(Received(L"Vocalith"), std::vector<UINT>{kAcquired});

    EXPECT_TRUE(player->AcquirePlayer(L"Sonicut"));
    EXPECT_EQ(std::wstring(player->GetPlayerOwner()), L"Sonicut");
    EXPECT_EQ(Received(L"Vocalith"), (std::vector<UINT>{kAcquired, kReleased}));
    EXPECT_EQ(Received(L"Sonicut"), std::vector<UINT>{kAcquired});
    EXPECT_EQ(Entry(L"Vocalith")->PlayerOwner, 0);

    EXPECT_TRUE(player->ReleasePlayer(L"Vocalith"));   // found, not the owner: nothing changes
    EXPECT_EQ(std::wstring(player->GetPlayerOwner()), L"Sonicut");
    EXPECT_TRUE(player->ReleasePlayer(L"Sonicut"));
    EXPECT_EQ(player->GetPlayerOwner(), nullptr);
    EXPECT_FALSE(player->ReleasePlayer(L"nobody"));
    EXPECT_EQ(Received(L"Sonicut"), std::vector<UINT>{kAcquired});   // release sends nothing

    EXPECT_TRUE(player->SetCanPlay(L"Sonicut", TRUE));
    EXPECT_EQ(Entry(L"Sonicut")->CanPlay, 1);
    EXPECT_EQ(m_frame.refreshes, 1);
    EXPECT_FALSE(player->SetCanPlay(L"nobody", TRUE));
}

TEST_F(HostIf, AcquiringThePlayerAgainWhilePlayingStopsAndTellsTheOwnerAgain) {
    LoadModules({L"tm_vocalith"});
    IPlayer* player = Player();
    Tone tone;
    ASSERT_TRUE(player->AcquirePlayer(L"Vocalith"));
    ASSERT_TRUE(player->SetDataCallback(&Tone::Fill, reinterpret_cast<UINT_PTR>(&tone)));
    ASSERT_TRUE(player->Play());
    EXPECT_EQ(m_frame.started, 1);
    EXPECT_EQ(player->GetState(), ORVO_PLAYER_PLAYING);
    ASSERT_TRUE(WaitFor([&] { return tone.calls > 2; }));
    EXPECT_FALSE(player->SetDataCallback(&Tone::Fill, 0));   // not while playing

    EXPECT_TRUE(player->AcquirePlayer(L"Vocalith"));
    EXPECT_EQ(player->GetState(), ORVO_PLAYER_STOPPED);
    EXPECT_EQ(Received(L"Vocalith"), (std::vector<UINT>{kAcquired, kAcquired}));
    EXPECT_EQ(std::wstring(player->GetPlayerOwner()), L"Vocalith");

    ASSERT_TRUE(player->Play());
    EXPECT_TRUE(player->Pause());
    EXPECT_EQ(player->GetState(), ORVO_PLAYER_PAUSED);
    EXPECT_TRUE(player->Stop());
    EXPECT_EQ(player->GetState(), ORVO_PLAYER_STOPPED);
    EXPECT_EQ(m_frame.stopped, 1);
    // A new callback detaches the old one with its notice.
    Tone other;
    EXPECT_TRUE(player->SetDataCallback(&Tone::Fill, reinterpret_cast<UINT_PTR>(&other)));
    EXPECT_EQ(tone.detached, 1);
}

TEST_F(HostIf, PlayerSettingsReachTheEngineAndTheSliders) {
    LoadModules({L"tm_vocalith"});
    IPlayer* player = Player();
    EXPECT_EQ(player->GetPositionRange(), 1000);
    EXPECT_EQ(player->GetUserValue(), 0u);
    EXPECT_TRUE(player->SetUserValue(0xDEADBEEF));
    EXPECT_EQ(player->GetUserValue(), 0xDEADBEEFu);

    // Without sliders the engine answers; with them the first slider does.
    m_frame.player.SetVolume(80);
    EXPECT_EQ(player->GetVolume(), 80);
    player->SetVolume(35);
    EXPECT_EQ(m_frame.volumeSlider, 35);
    EXPECT_EQ(m_frame.player.GetVolume(), 35);
    EXPECT_EQ(player->GetVolume(), 35);
    player->SetBalance(20);
    EXPECT_EQ(m_frame.balanceSlider, 20);
    EXPECT_EQ(m_frame.player.GetBalance(), 20);
    EXPECT_EQ(player->GetBalance(), 20);

    EXPECT_TRUE(player->SetSegmentCount(7));
    EXPECT_EQ(player->GetSegmentCount(), 7);
    EXPECT_FALSE(player->SetSegmentCount(0));
    EXPECT_TRUE(player->SetSegmentBytes(8820));
    EXPECT_EQ(player->GetSegmentBytes(), 8820);
    WAVEFORMATEXTENSIBLE format = *player->GetFormat();
    format.Format.nChannels = 1;
    format.Format.nSamplesPerSec = 22050;
    format.Format.nBlockAlign = 2;
    format.Format.nAvgBytesPerSec = 44100;
    format.Format.wFormatTag = WAVE_FORMAT_PCM;
    format.Format.cbSize = 0;
    EXPECT_TRUE(player->SetFormat(&format));
    EXPECT_EQ(player->GetFormat()->Format.nSamplesPerSec, 22050u);
    EXPECT_FALSE(player->SetFormat(nullptr));

    EXPECT_FALSE(player->GetShuffle());
    EXPECT_FALSE(player->GetRepeat());
    m_services.SetShuffle(true);
    m_services.SetRepeat(true);
    EXPECT_EQ(player->GetShuffle(), TRUE);
    EXPECT_EQ(player->GetRepeat(), TRUE);

    // A frame without engines: everything fails, nothing crashes.
    m_frame.withEngines = false;
    EXPECT_FALSE(player->Play());
    EXPECT_FALSE(player->Stop());
    EXPECT_EQ(player->GetState(), ORVO_PLAYER_FAILED);
    EXPECT_EQ(player->GetFormat(), nullptr);
    EXPECT_FALSE(player->SetDataCallback(&Tone::Fill, 0));
    EXPECT_EQ(Micro()->GetState(), ORVO_MICRO_FAILED);
    EXPECT_FALSE(Micro()->Start());
    EXPECT_EQ(m_frame.started, 0);
}

struct Capture {
    std::atomic<int> bytes{0};
    std::atomic<int> detached{0};
    static int __cdecl Take(UINT_PTR user, void* data, int n) {
        Capture* c = reinterpret_cast<Capture*>(user);
        if (!data) {
            ++c->detached;
            return 0;
        }
        c->bytes += n;
        return 1;
    }
};

TEST_F(HostIf, MicrophoneOwnershipAndCapture) {
    LoadModules({L"tm_vocalith", L"tm_sonicut"});
    IMicro* micro = Micro();
    ASSERT_NE(micro, nullptr);
    EXPECT_EQ(micro->GetRecorderOwner(), nullptr);
    EXPECT_FALSE(micro->AcquireRecorder(L"nobody"));
    EXPECT_TRUE(micro->AcquireRecorder(L"Sonicut"));
    EXPECT_EQ(std::wstring(micro->GetRecorderOwner()), L"Sonicut");
    EXPECT_EQ(Received(L"Sonicut"), std::vector<UINT>{WM_USER + 30});

    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    EXPECT_TRUE(micro->SetFormat(&format));
    EXPECT_EQ(micro->GetFormat()->nChannels, 1);
    EXPECT_TRUE(micro->SetBufferCount(4));
    EXPECT_EQ(micro->GetBufferCount(), 4);
    EXPECT_TRUE(micro->SetBufferBytes(8820));
    EXPECT_EQ(micro->GetBufferBytes(), 8820);
    EXPECT_FALSE(micro->SetBufferCount(0));

    Capture capture;
    ASSERT_TRUE(micro->SetDataCallback(&Capture::Take, reinterpret_cast<UINT_PTR>(&capture)));
    ASSERT_TRUE(micro->Start());
    EXPECT_EQ(micro->GetState(), ORVO_MICRO_RECORDING);
    EXPECT_TRUE(WaitFor([&] { return capture.bytes >= 8820 * 2; }));

    // Another module takes the microphone: capture stops, both are told.
    EXPECT_TRUE(micro->AcquireRecorder(L"Vocalith"));
    EXPECT_EQ(micro->GetState(), ORVO_MICRO_STOPPED);
    EXPECT_EQ(Received(L"Sonicut"), (std::vector<UINT>{WM_USER + 30, WM_USER + 31}));
    EXPECT_EQ(Received(L"Vocalith"), std::vector<UINT>{WM_USER + 30});
    EXPECT_TRUE(micro->ReleaseRecorder(L"Vocalith"));
    EXPECT_EQ(micro->GetRecorderOwner(), nullptr);
    EXPECT_TRUE(micro->SetCanRecord(L"Vocalith", TRUE));
    EXPECT_EQ(Entry(L"Vocalith")->CanRecord, 1);
    EXPECT_FALSE(micro->SetCanRecord(L"nobody", TRUE));
}

TEST_F(HostIf, SkinFindsTheModuleToolbarAndSkinsWindows) {
    LoadModules({L"tm_vocalith"});
    ISkin* skin = m_services.Query()->GetSkin();
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->GetModuleToolbar(L"Vocalith", L"Main"), nullptr);   // no skin document

    const std::string xml =
        "<MAINFRAME><Modules>"
        "<Module Name=\"Sonicut\"><ModuleToolbar ID=\"Main\"/></Module>"
        "<Module Name=\"vocalith\"><Other ID=\"Main\"/><ModuleToolbar ID=\"Side\"/><ModuleToolbar ID=\"MAIN\" X=\"7\"/>"
        "</Module></Modules></MAINFRAME>";
    ASSERT_TRUE(mdtest::WriteBytes(m_folder / L"skin.xml", xml));
    enXml root;
    ASSERT_TRUE(root.Load(m_folder / L"skin.xml"));
    m_frame.skin = &root;
    enXml* toolbar = skin->GetModuleToolbar(L"VOCALITH", L"main");
    ASSERT_NE(toolbar, nullptr);
    std::wstring x;
    EXPECT_TRUE(toolbar->GetAttribute(L"X", x));
    EXPECT_EQ(x, L"7");
    EXPECT_EQ(skin->GetModuleToolbar(L"Vocalith", L"None"), nullptr);
    EXPECT_EQ(skin->GetModuleToolbar(L"Nobody", L"Main"), nullptr);
    EXPECT_EQ(skin->GetModuleToolbar(nullptr, L"Main"), nullptr);

    EXPECT_EQ(skin->GetSkinColor(L"NoSuchColour", RGB(1, 2, 3)), RGB(1, 2, 3));
    HWND window = CreateWindowExW(0, L"STATIC", L"panel", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                  nullptr);
    CreateWindowExW(0, L"BUTTON", L"Check", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 50, 20, window, nullptr, nullptr,
                    nullptr);
    EXPECT_EQ(skin->SkinWindow(window, TRUE), TRUE);
    EXPECT_EQ(skin->SkinWindow(nullptr, TRUE), TRUE);
    DestroyWindow(window);
}

}  // namespace
