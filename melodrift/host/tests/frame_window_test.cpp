// The main frame as real windows under the virtual display: skins with
// pictures drawn by the test, test modules, the settings file of a scratch
// program folder; the frame is driven through its messages.
#include "fw/testing/find_window.h"
#include "../res/resource.h"
#include "fw/strutil.h"
#include "fw/testing/find_window.h"
#include "fw/testing/screenshot.h"
#include "host/command_ranges.h"
#include "host_resources.h"
#include "host_test_support.h"
#include "journix/journix.h"
#include "main_frame.h"
#include "patinctl/patinctl.h"
#include "patinex/patinex.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>
#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <filesystem>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A 24-bit BMP of one colour.
std::string Bmp(int width, int height, COLORREF colour) {
    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string out(reinterpret_cast<const char*>(&file), sizeof file);
    out.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < width; ++x) {
        row[static_cast<std::size_t>(x * 3)] = static_cast<char>(GetBValue(colour));
        row[static_cast<std::size_t>(x * 3 + 1)] = static_cast<char>(GetGValue(colour));
        row[static_cast<std::size_t>(x * 3 + 2)] = static_cast<char>(GetRValue(colour));
    }
    for (int y = 0; y < height; ++y) out += row;
    return out;
}

std::string Controls(const std::string& extra) {
    return R"(
      <PLAYER_PLAY Owner="FramePanelPlayer" Source="t\play.bmp" X="8" Y="8"/>
      <PLAYER_PLAY Owner="FramePanelUp" Source="t\play.bmp" X="200" Y="4"/>
      <PLAYER_STOP Owner="FramePanelPlayer" Source="t\missing.bmp" X="48" Y="8"/>
      <PLAYER_SHUFFLE Owner="FramePanelPlayer" Source="t\check.bmp" X="88" Y="8"/>
      <PLAYER_BALANCE Owner="FramePanelPlayer" Type="Horizontal" Source="t\slider.bmp" X="130" Y="8" Width="120"/>
      <EQUA_SLIDER1 Owner="FramePanelPlayer" Source="t\vslider.bmp" X="270" Y="4" Height="56"/>
      <STATUS_BAR Owner="FramePanelDown" X="6" Y="2" Width="400" Height="20"/>
      <FRAME_CLOSE Owner="FramePanelUp" Source="t\play.bmp" Right="4" Y="4"/>
)" + extra;
}

std::string Skin(const std::string& caption, const std::string& controls, int width = 640, int height = 480) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<SKIN_MM Caption=")" + caption + R"(" Width=")" + std::to_string(width) + R"(" Height=")" + std::to_string(height) + R"(">
  <MAINFRAME>
    <Panels>
      <FramePanelUp Height="40" Background="#203050"/>
      <FramePanelDown Height="24" Background="#304060"/>
      <FramePanelLeft Width="72" Background="#405070"/>
      <FramePanelRight Width="8" Background="#506080"/>
      <FramePanelPlayer Height="64" Background="#102040"/>
    </Panels>
    <Controls>)" + controls + R"(
      <SOMETHING_ELSE Owner="FramePanelUp"/>
    </Controls>
    <Modules>
      <Module Name="Alpha"><ModuleButton Owner="FramePanelLeft" Source="t\module.bmp" X="8" Y="8"/></Module>
      <Module Name="Sonicut"><ModuleButton Owner="FramePanelLeft" Source="t\module.bmp" X="8" Y="64"/></Module>
      <Module Name="Beta"><ModuleButton Owner="FramePanelLeft" Source="t\module.bmp" X="8" Y="120"/></Module>
      <Module Name="Playvox"/>
    </Modules>
  </MAINFRAME>
</SKIN_MM>
)";
}

void Pump() {
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

RECT InFrame(HWND frame, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring Text(HWND h) {
    wchar_t buffer[512] = {};
    GetWindowTextW(h, buffer, 512);
    return buffer;
}

// A visible message box of this process; its text; pressed OK.
struct BoxWatcher {
    std::atomic<bool> stop{false};
    std::wstring text;
    std::thread thread;
    void Start() {
        thread = std::thread([this] {
            for (int i = 0; i < 1500 && !stop; ++i) {
                HWND found = fw::testing::FindOwnWindow(L"#32770", nullptr, true);
                if (found) {
                    wchar_t buffer[1024] = {};
                    GetDlgItemTextW(found, 0xFFFF, buffer, 1024);
                    text = buffer;
                    if (text.empty())
                        for (HWND c = GetWindow(found, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                            wchar_t cls[32] = {};
                            GetClassNameW(c, cls, 32);
                            if (fw::EqualsNoCase(cls, L"Static") && GetWindowTextLengthW(c) > 20) text = Text(c);
                        }
                    PostMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                    return;
                }
                Sleep(20);
            }
        });
    }
    ~BoxWatcher() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
};

// Files on the clipboard format the shell drags (CF_HDROP).
class FileData : public IDataObject {
public:
    explicit FileData(const std::wstring& file) : m_file(file) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *out = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--m_refs); }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        std::size_t bytes = sizeof(DROPFILES) + (m_file.size() + 2) * sizeof(wchar_t);
        HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(global));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), m_file.c_str(), m_file.size() * sizeof(wchar_t));
        GlobalUnlock(global);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::wstring m_file;
    int m_refs = 1;
};

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindControl(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<ControlSearch*>(p);
    if (GetDlgCtrlID(h) != s->id) return TRUE;
    s->found = h;
    return FALSE;
}

class FrameWindow : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ISWQueryInterface* query = nullptr;
        if (SUCCEEDED(GetSWQueryInterface(&query))) SetSWQueryInterface(query);
        enJournix()->SetLogFile((m_folder / L"debug.log").c_str());
        mdtest::MakeFolder(m_folder / L"Skins");
        mdtest::MakeFolder(m_folder / L"Skins\\t");
        mdtest::MakeFolder(m_folder / L"Modules");
        Picture(L"play.bmp", 128, 32, RGB(60, 200, 90));
        Picture(L"check.bmp", 256, 32, RGB(200, 160, 40));
        Picture(L"slider.bmp", 140, 16, RGB(180, 180, 200));
        Picture(L"vslider.bmp", 48, 56, RGB(120, 200, 220));
        Picture(L"module.bmp", 448, 48, RGB(90, 120, 230));
        for (const wchar_t* m : {L"tm_alpha", L"tm_beta", L"tm_stubborn"}) m_modules.push_back(m);
    }
    void TearDown() override {
        if (m_frame && IsWindow(m_hwnd)) {
            m_frame->m_bForceClose = true;
            SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
            if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        }
        Pump();
        enJournix()->SetLogFile(nullptr);
    }
    void Picture(const std::wstring& name, int w, int h, COLORREF c) {
        ASSERT_TRUE(mdtest::WriteBytes(m_folder / (L"Skins\\t\\" + name), Bmp(w, h, c)));
    }
    void AddSkin(const std::wstring& file, const std::string& xml) {
        ASSERT_TRUE(mdtest::WriteBytes(m_folder / (L"Skins\\" + file), xml));
    }
    void Ini(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
        WritePrivateProfileStringW(section, key, value, Config().c_str());
    }
    std::wstring Config() { return m_folder / L"config.ini"; }
    std::wstring ReadIni(const wchar_t* section, const wchar_t* key) { return mdtest::ReadIni(Config(), section, key); }

    CMainFrame* Open() {
        for (const std::wstring& m : m_modules) mdtest::CopyInto(mdtest::TestModule(m), m_folder / L"Modules");
        CMainFrame::Setup setup;
        setup.programFolder = m_folder.Path();
        setup.configPath = Config();
        setup.languageShortName = L"eng";
        setup.languages = &m_languages;
        setup.testSurroundSupport = false;
        setup.surroundSupport = m_surroundSupport;
        setup.messageBox = [this](const std::wstring& text, UINT) {
            m_messages.push_back(text);
            return m_answer;
        };
        setup.restartInLanguage = [this](const LanguageEntry& language) { m_restartIn = language.Name; };
        setup.exitProcess = [this](int code) { m_exitCode = code; };
        if (!m_realEffects)
            setup.effects = [] {
                return std::vector<mdframe::EffectDescription>{{1, 2, L"Robot", 0}, {0, 3, L"Echo", 0}};
            };
        m_frame = new CMainFrame(setup);
        if (!m_frame->LoadFrame(IDR_MAINFRAME, 0x00CF0000)) {
            m_frame = nullptr;
            return nullptr;
        }
        m_hwnd = m_frame->m_hWnd;
        m_frame->RestoreFrameState();
        m_frame->ShowWindow(m_frame->ShowState());
        m_frame->UpdateWindow();
        Pump();
        return m_frame;
    }
    // A control of the frame, wherever its panel put it.
    HWND Control(UINT id) {
        ControlSearch search = {static_cast<int>(id), nullptr};
        EnumChildWindows(m_hwnd, &FindControl, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    CModuleEntry* Module(const wchar_t* name) { return m_frame->Registry().FindByName(name); }
    bool Placed(UINT id) { return m_frame->Controls().IsPlaced(Control(id)); }
    static bool SkinnedControlsAvailable() { return mdframe::PatinctlClassesRegistered(); }

    mdtest::ScratchFolder m_folder{L"frame"};
    CArray<LanguageEntry> m_languages;
    std::vector<std::wstring> m_modules;
    std::vector<std::wstring> m_messages;
    CMainFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
    int m_exitCode = -1;
    bool m_realEffects = false;
    int m_answer = IDOK;
    std::uint32_t m_surroundSupport = kAllSurroundModes;
    std::wstring m_restartIn;
};

// What a test module did with a command it was told to claim (TmClaimCommand).
int ClaimCommand(const CModuleEntry* module, UINT id) {
    using Fn = int(__cdecl*)(UINT);
    auto claim = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module->Library, "TmClaimCommand")));
    return claim ? claim(id) : -1;
}

bool HasItem(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1); }

// The name (and role) a screen reader reads: the control's accessible object asked
// through WM_GETOBJECT ("" when there is none).
std::wstring AccessibleName(HWND h, long* role = nullptr) {
    IAccessible* acc = nullptr;
    std::wstring out;
    if (FAILED(AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&acc))) || !acc)
        return out;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(acc->get_accName(self, &text)) && text) out = text;
    SysFreeString(text);
    VARIANT kind;
    VariantInit(&kind);
    if (role) *role = SUCCEEDED(acc->get_accRole(self, &kind)) && kind.vt == VT_I4 ? kind.lVal : 0;
    acc->Release();
    return out;
}

#define REQUIRE_SKINNED_CONTROLS()                                                        \
    if (!SkinnedControlsAvailable()) GTEST_SKIP() << "Patinctl.dll registers no control classes yet"

}  // namespace

TEST_F(FrameWindow, ControlsComeFromTheSkinOneIdPerInstance) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"One-eng.xml", Skin("One", Controls(R"(<PLAYER_VOLUME Owner="FramePanelPlayer" Source="t\slider.bmp" X="300" Y="8"/>)")));
    ASSERT_NE(Open(), nullptr);
    // Two "PLAYER_PLAY" elements: 13011 and 13012, both acting as Play.
    HWND play1 = Control(13011), play2 = Control(13012);
    ASSERT_NE(play1, nullptr);
    ASSERT_NE(play2, nullptr);
    EXPECT_EQ(Control(13013), nullptr);
    EXPECT_TRUE(Placed(13011));
    EXPECT_TRUE(Placed(13012));
    // A volume slider without "Type" makes no control.
    EXPECT_EQ(Control(14021), nullptr);
    EXPECT_EQ(m_frame->Controls().Controls(14020), nullptr);
    // The missing picture: created, not placed; the rest is.
    ASSERT_NE(Control(13021), nullptr);
    EXPECT_FALSE(Placed(13021));
    EXPECT_TRUE(Placed(13036));
    EXPECT_TRUE(Placed(14031));
    // Accessible names: the tooltip texts; the status line shows its text.
    EXPECT_EQ(Text(play1), L"Play");
    EXPECT_EQ(Text(Control(14031)), L"Balance");
    // The status line: the start-up notice for a while, then "Ready".
    EXPECT_EQ(Text(Control(14121)), L"Melodrift, version 4.0.96 loaded successfully.");
    SendMessageW(m_hwnd, WM_TIMER, CMainFrame::kStatusTimer, 0);
    EXPECT_EQ(Text(Control(14121)), L"Ready");
    m_frame->ShowStatusText(L"", 1000);  // an empty text changes nothing
    EXPECT_EQ(Text(Control(14121)), L"Ready");
    // The equalizer slider: range 0 to 200, the centre style.
    EXPECT_EQ(SendMessageW(Control(16001), TBM_GETRANGEMAX, 0, 0), 200);
    EXPECT_TRUE(GetWindowLongW(Control(16001), GWL_STYLE) & 0x1000);

    // Play from the second instance settles the player ownership for the active module.
    CModuleEntry* alpha = Module(L"Alpha");
    ASSERT_NE(alpha, nullptr);
    ASSERT_TRUE(alpha->Active);
    EXPECT_EQ(alpha->PlayerOwner, 0);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(13012, BN_CLICKED), reinterpret_cast<LPARAM>(play2));
    EXPECT_EQ(alpha->PlayerOwner, 1);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(13036, BN_CLICKED), reinterpret_cast<LPARAM>(Control(13036)));
    EXPECT_TRUE(m_frame->Shuffle());
    EXPECT_TRUE(m_frame->Services().GetShuffle());  // what modules read through IPlayer
    EXPECT_EQ(SendMessageW(Control(13036), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(FrameWindow, PanelsStandWhereTheFrameLayoutPutsThem) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"One-eng.xml", Skin("One", Controls("")));
    ASSERT_NE(Open(), nullptr);
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    RECT border = {0, 0, 0, 0};
    AdjustWindowRect(&border, WS_DLGFRAME, FALSE);
    LONG upHeight = 40 + (border.bottom - border.top) + 90;
    CFrameControls& c = m_frame->Controls();
    RECT up = InFrame(m_hwnd, c.Panel(mdframe::kPanelUp)->m_hWnd);
    RECT player = InFrame(m_hwnd, c.Panel(mdframe::kPanelPlayer)->m_hWnd);
    RECT down = InFrame(m_hwnd, c.Panel(mdframe::kPanelDown)->m_hWnd);
    RECT left = InFrame(m_hwnd, c.Panel(mdframe::kPanelLeft)->m_hWnd);
    RECT right = InFrame(m_hwnd, c.Panel(mdframe::kPanelRight)->m_hWnd);
    RECT modules = InFrame(m_hwnd, m_frame->m_hWndMDIClient);
    EXPECT_EQ(up.top, 0);
    EXPECT_EQ(up.bottom, upHeight);
    EXPECT_EQ(up.right, client.right);
    EXPECT_EQ(player.bottom, client.bottom);
    EXPECT_EQ(player.top, client.bottom - 64);
    EXPECT_EQ(down.bottom, player.top);
    EXPECT_EQ(down.top, player.top - 24);
    EXPECT_EQ(left.top, upHeight);
    EXPECT_EQ(left.bottom, down.top);
    EXPECT_EQ(left.right, 72);
    EXPECT_EQ(right.left, client.right - 8);
    EXPECT_EQ(modules.left, 72);
    EXPECT_EQ(modules.top, upHeight);
    EXPECT_EQ(modules.right, client.right - 8);
    EXPECT_EQ(modules.bottom, down.top);
    EXPECT_TRUE(EqualRect(&modules, &m_frame->LastLayout().client));
    fw::testing::SaveWindowScreenshot(m_hwnd, fw::testing::ScreenshotPath(L"frame_test_player_on.png"));

    // The player panel off (from the menu command): hidden, the bottom panel goes down.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(ID_VIEW_PLAYER_BAR, 0), 0);
    Pump();
    EXPECT_FALSE(IsWindowVisible(c.Panel(mdframe::kPanelPlayer)->m_hWnd));
    EXPECT_EQ(InFrame(m_hwnd, c.Panel(mdframe::kPanelDown)->m_hWnd).bottom, client.bottom);
    EXPECT_EQ(InFrame(m_hwnd, m_frame->m_hWndMDIClient).bottom, client.bottom - 24);
}

TEST_F(FrameWindow, StoredPlacementAndTheTray) {
    AddSkin(L"One-eng.xml", Skin("One", ""));
    // Only three of the four values: the default rectangle.
    Ini(L"Main frame: params", L"Left", L"30");
    Ini(L"Main frame: params", L"Top", L"40");
    Ini(L"Main frame: params", L"Width", L"700");
    ASSERT_NE(Open(), nullptr);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    ASSERT_TRUE(GetWindowPlacement(m_hwnd, &placement));
    EXPECT_EQ(placement.rcNormalPosition.left, 100);
    EXPECT_EQ(placement.rcNormalPosition.top, 100);
    EXPECT_EQ(placement.rcNormalPosition.right, 1000);
    EXPECT_EQ(placement.rcNormalPosition.bottom, 800);
    EXPECT_TRUE(IsWindowVisible(m_hwnd));
    EXPECT_FALSE(GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CAPTION);
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    Pump();
    m_frame = nullptr;

    // "Minimize": the frame starts in the tray.
    Ini(L"Main frame: params", L"Size", L"Minimize");
    ASSERT_NE(Open(), nullptr);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_EQ(m_frame->ShowState(), SW_HIDE);
    // A double click on the tray icon (Restore/Zoom) brings it back as it was: normal.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdZoom, 0), 0);
    Pump();
    EXPECT_TRUE(IsWindowVisible(m_hwnd));
    EXPECT_FALSE(IsIconic(m_hwnd));
    EXPECT_FALSE(IsZoomed(m_hwnd));
    // Zoom: maximised without the overlapped-window styles; again: normal, without caption.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdZoom, 0), 0);
    Pump();
    EXPECT_TRUE(IsZoomed(m_hwnd));
    EXPECT_FALSE(GetWindowLongW(m_hwnd, GWL_STYLE) & WS_THICKFRAME);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(366, 0), 0);  // the top panel's double click
    Pump();
    EXPECT_FALSE(IsZoomed(m_hwnd));
    EXPECT_FALSE(GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CAPTION);
    // Maximised again and restored from outside (the task bar): the sizing border comes back.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdZoom, 0), 0);
    Pump();
    ASSERT_TRUE(IsZoomed(m_hwnd));
    ShowWindow(m_hwnd, SW_RESTORE);
    Pump();
    EXPECT_FALSE(IsZoomed(m_hwnd));
    EXPECT_TRUE(GetWindowLongW(m_hwnd, GWL_STYLE) & WS_THICKFRAME);
    // Minimise from a normal frame: "Exact" with the window rectangle, then hidden.
    SetWindowPos(m_hwnd, nullptr, 120, 130, 800, 600, SWP_NOZORDER);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdMinimize, 0), 0);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_EQ(ReadIni(L"Main frame: params", L"Left"), L"120");
    EXPECT_EQ(ReadIni(L"Main frame: params", L"Height"), L"600");
}

TEST_F(FrameWindow, SkinsBeyondSixteenAreListedButCannotBeChosen) {
    for (int i = 0; i < 17; ++i) {
        wchar_t file[32];
        swprintf(file, 32, L"S%02d-eng.xml", i);
        AddSkin(file, Skin("S" + std::to_string(i), ""));
    }
    ASSERT_NE(Open(), nullptr);
    HMENU skins = m_frame->Registry().SkinsMenu();
    ASSERT_EQ(GetMenuItemCount(skins), 17);
    SendMessageW(m_hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(skins), 0);
    EXPECT_FALSE(GetMenuState(skins, 515, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(skins, 516, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(skins, 500, MF_BYCOMMAND) & MF_CHECKED);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(516, 0), 0);
    EXPECT_EQ(m_frame->Registry().CurrentSkin(), 0);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(515, 0), 0);
    EXPECT_EQ(m_frame->Registry().CurrentSkin(), 15);
}

TEST_F(FrameWindow, SkinSwitchKeepsSlidersAndThePressedModuleButtonAndFallsBackFromABrokenSkin) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls("")));
    AddSkin(L"B-eng.xml", Skin("B", Controls(""), 700, 500));
    AddSkin(L"C-eng.xml", Skin("C", Controls("")));
    ASSERT_NE(Open(), nullptr);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(236 + 1, BN_CLICKED), 0);  // Beta
    ASSERT_TRUE(Module(L"Beta")->Active);
    SendMessageW(Control(14031), TBM_SETPOS, TRUE, 37);
    SendMessageW(Control(16001), TBM_SETPOS, TRUE, 150);

    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(501, 0), 0);
    Pump();
    EXPECT_EQ(m_frame->Registry().CurrentSkin(), 1);
    EXPECT_EQ(SendMessageW(Control(14031), TBM_GETPOS, 0, 0), 37);
    EXPECT_EQ(SendMessageW(Control(16001), TBM_GETPOS, 0, 0), 150);
    HWND beta = Control(237);
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(SendMessageW(beta, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Control(236), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // The module that is not loaded: a disabled button.
    bool disabledSeen = false;
    for (const _CONTROL_INFO_STRUCT_* info : m_frame->ModuleInfos())
        if (info->name == L"Sonicut") {
            disabledSeen = true;
            EXPECT_EQ(info->commandId, 0);
            ASSERT_NE(info->controls, nullptr);
            EXPECT_FALSE(IsWindowEnabled(info->controls->control->m_hWnd));
        }
    EXPECT_TRUE(disabledSeen);

    // Skin C breaks after discovery: back to B, with the message.
    ASSERT_TRUE(mdtest::WriteBytes(m_folder / L"Skins\\C-eng.xml", "<not xml"));
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(502, 0), 0);
    Pump();
    EXPECT_EQ(m_frame->Registry().CurrentSkin(), 1);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], L"Can't load skin: " + (m_folder / L"Skins\\C-eng.xml"));
    EXPECT_EQ(SendMessageW(Control(14031), TBM_GETPOS, 0, 0), 37);
    EXPECT_EQ(SendMessageW(Control(237), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(m_exitCode, -1);

    // B breaks too: the way back fails as well, and the program ends with code 1.
    ASSERT_TRUE(mdtest::WriteBytes(m_folder / L"Skins\\B-eng.xml", "<not xml either"));
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(502, 0), 0);
    EXPECT_EQ(m_exitCode, 1);
}

TEST_F(FrameWindow, ARefusedCloseSavesNothingAndANormalCloseSavesEverything) {
    AddSkin(L"A-eng.xml", Skin("A", Controls("")));
    ASSERT_NE(Open(), nullptr);
    // Stubborn refuses.
    EXPECT_FALSE(m_frame->PrepareClose(false));
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_EQ(ReadIni(L"FRAME OPTIONS", L"PanelPlayer"), L"");
    EXPECT_EQ(ReadIni(L"CURRENTSKIN", L"Name"), L"");
    EXPECT_EQ(ReadIni(L"Main frame: params", L"Size"), L"");
    EXPECT_EQ(ReadIni(L"MODULES_ORDER", L"_1"), L"");
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_EQ(ReadIni(L"FRAME OPTIONS", L"PanelPlayer"), L"");

    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdRepeat, 0), 0);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(ID_VIEW_PLAYER_BAR, 0), 0);
    m_frame->m_bForceClose = true;
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(m_hwnd));
    m_frame = nullptr;
    EXPECT_EQ(ReadIni(L"FRAME OPTIONS", L"PanelPlayer"), L"Off");
    EXPECT_EQ(ReadIni(L"CURRENTSKIN", L"name"), L"A");
    EXPECT_EQ(ReadIni(L"PLAYER", L"Repeat"), L"On");
    EXPECT_EQ(ReadIni(L"PLAYER", L"Shuffle"), L"Off");
    EXPECT_EQ(ReadIni(L"PLAYER", L"EqualizerTurn"), L"Off");
    EXPECT_EQ(ReadIni(L"PLAYER", L"RezodovaveTurn"), L"Off");
    EXPECT_EQ(ReadIni(L"PLAYER", L"EqualizerBand1"), L"100");
    EXPECT_EQ(ReadIni(L"Main frame: params", L"Size"), L"Exact");
    EXPECT_EQ(ReadIni(L"Main frame: params", L"Width"), L"900");
    EXPECT_NE(ReadIni(L"MODULES_ORDER", L"_1"), L"");
    EXPECT_EQ(GetFileAttributesW((m_folder / L"Rezodovave.xml").c_str()) != INVALID_FILE_ATTRIBUTES, true);
}

TEST_F(FrameWindow, EffectMenusComeFromTheEffectManager) {
    AddSkin(L"A-eng.xml", Skin("A", ""));
    ASSERT_TRUE(mdtest::CopyInto(std::wstring(L"" MD_MELODRIFT_DIR) + L"\\Sonarix.dll", m_folder.Path()));
    m_realEffects = true;
    ASSERT_NE(Open(), nullptr);
    HMENU voice = m_frame->VoiceMorphingMenu();
    HMENU special = m_frame->SpecialEffectMenu();
    // Every voice-morphing effect; special effects only with presets (the gain stage has none).
    for (UINT id = 1; id <= 6; ++id) EXPECT_TRUE(HasItem(voice, 17100 + id)) << id;
    EXPECT_FALSE(HasItem(voice, 17120));
    for (UINT id = 20; id <= 25; ++id) EXPECT_TRUE(HasItem(special, 17100 + id)) << id;
    EXPECT_FALSE(HasItem(special, 17126));
    // The merged menu carries the voice-morphing menu under "Morph"; a menu button opens its pop-up.
    HMENU morph = m_frame->MenuOfButton(15040);
    ASSERT_NE(morph, nullptr);
    EXPECT_EQ(mdframe::MenuItemText(morph, GetMenuItemCount(morph) - 1), L"Voice Morphing");
    EXPECT_EQ(m_frame->MenuOfButton(15000), GetSubMenu(m_frame->MergedMenu(), 0));
    EXPECT_EQ(m_frame->MenuOfButton(15070), nullptr);
}

namespace {
// The skins of the program's folder other than the plain standard one.
std::vector<std::wstring> ShippedSkins() {
    std::vector<std::wstring> out;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::wstring(L"" MD_MELODRIFT_DIR) + L"\\Skins", ec)) {
        std::wstring name = entry.path().filename().wstring();
        if (entry.is_regular_file() && name.size() > 8 && name.substr(name.size() - 8) == L"-eng.xml" &&
            name != L"Standard-eng.xml")
            out.push_back(name);
    }
    return out;
}
}  // namespace

TEST_F(FrameWindow, ScreenshotsOfTheShippedSkinsWithThePlayerPanelOnAndOff) {
    REQUIRE_SKINNED_CONTROLS();
    std::vector<std::wstring> skins = ShippedSkins();
    if (skins.empty()) GTEST_SKIP() << "no shipped skins in the program folder";
    std::error_code ec;
    std::filesystem::copy(std::wstring(L"" MD_MELODRIFT_DIR) + L"\\Skins", m_folder / L"Skins",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec);
    DeleteFileW((m_folder / L"Skins\\Standard-eng.xml").c_str());
    m_modules = {L"tm_vocalith", L"tm_discreel", L"tm_sonicut"};
    ASSERT_TRUE(mdtest::CopyInto(std::wstring(L"" MD_MELODRIFT_DIR) + L"\\Sonarix.dll", m_folder.Path()));
    m_realEffects = true;
    ASSERT_NE(Open(), nullptr);
    const auto& list = m_frame->Registry().Skins();
    ASSERT_EQ(list.GetSize(), static_cast<int>(skins.size()));
    for (int i = 0; i < list.GetSize(); ++i) {
        SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(500 + i, 0), 0);
        SendMessageW(m_hwnd, WM_TIMER, CMainFrame::kStatusTimer, 0);
        Pump();
        ASSERT_EQ(m_frame->Registry().CurrentSkin(), i);
        EXPECT_TRUE(m_messages.empty());
        // Every control the skin names is placed.
        for (const mdframe::ControlRow* row = mdframe::ControlTable();
             row != mdframe::ControlTable() + mdframe::ControlTableSize(); ++row)
            for (_MAINFRAME_CONTROL_* c = m_frame->Controls().Controls(row->command); c; c = c->next)
                EXPECT_TRUE(m_frame->Controls().IsPlaced(c->control->m_hWnd)) << list[i].Caption.c_str() << " " << c->id;
        std::wstring caption = list[i].Caption;
        for (wchar_t& ch : caption) ch = static_cast<wchar_t>(towlower(ch));
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
        Pump();
        EXPECT_TRUE(fw::testing::SaveWindowScreenshot(
            m_hwnd, fw::testing::ScreenshotPath(L"melodrift_" + caption + L"_player_on.png")));
        SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdPlayerPanel, BN_CLICKED), 0);
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE);
        Pump();
        EXPECT_FALSE(m_frame->PlayerPanelOn());
        EXPECT_TRUE(fw::testing::SaveWindowScreenshot(
            m_hwnd, fw::testing::ScreenshotPath(L"melodrift_" + caption + L"_player_off.png")));
        SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdPlayerPanel, BN_CLICKED), 0);
    }
}

namespace {
// A drag source that keeps dragging for a few rounds of the drag loop, then drops.
class CountingSource : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
            *out = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
        if (escape) return DRAGDROP_S_CANCEL;
        return ++rounds < 6 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
    int rounds = 0;
};
}  // namespace

TEST_F(FrameWindow, DraggingOverAModuleButtonSwitchesModulesAndItsDropIsRefused) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls("")));
    ASSERT_NE(Open(), nullptr);
    SetForegroundWindow(m_hwnd);
    HWND betaButton = Control(237);
    ASSERT_NE(betaButton, nullptr);
    ASSERT_TRUE(Module(L"Alpha")->Active);
    // What the drag offers: a move, which the button takes while it switches, and refuses at the drop.
    auto* target = static_cast<IDropTarget*>(GetPropW(Control(236), L"OleDropTargetInterface"));
    ASSERT_NE(target, nullptr);
    FileData offered(m_folder / L"song.wav");
    DWORD offer = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragEnter(&offered, MK_LBUTTON, POINTL{0, 0}, &offer), S_OK);
    EXPECT_EQ(offer, static_cast<DWORD>(DROPEFFECT_MOVE));
    offer = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->DragOver(MK_LBUTTON, POINTL{0, 0}, &offer), S_OK);
    EXPECT_EQ(offer, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(target->DragLeave(), S_OK);
    // A real drag of this process over Beta's button.
    RECT r = {};
    GetWindowRect(betaButton, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump();
    FileData data(m_folder / L"song.wav");
    CountingSource source;
    BoxWatcher watcher;
    watcher.Start();
    DWORD effect = 12345;
    HRESULT hr = DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    watcher.stop = true;
    watcher.thread.join();
    EXPECT_GE(source.rounds, 6);
    EXPECT_TRUE(Module(L"Beta")->Active);
    EXPECT_FALSE(Module(L"Alpha")->Active);
    EXPECT_EQ(SendMessageW(betaButton, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(watcher.text, mdhost::HostString(IDS_CANNOT_DROP));
    // Nothing was dropped.
    EXPECT_TRUE(hr == DRAGDROP_S_CANCEL || (hr == DRAGDROP_S_DROP && effect == DROPEFFECT_NONE)) << std::hex << hr;
}

TEST_F(FrameWindow, ButtonsAndSlidersCarryTheirTooltipsAsAccessibleNames) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls("")));
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(AccessibleName(Control(13011)), L"Play");
    EXPECT_EQ(AccessibleName(Control(13036)), L"Shuffle");
    long role = 0;
    EXPECT_EQ(AccessibleName(Control(14031), &role), L"Balance");
    // The control's own object, not the system's for any window (whose name would be the same text).
    EXPECT_EQ(role, ROLE_SYSTEM_SLIDER);
    EXPECT_EQ(AccessibleName(Control(16001)), L"Equalizer");
    EXPECT_EQ(AccessibleName(Control(14091)), L"Close");
    EXPECT_EQ(AccessibleName(Control(236)), L"Alpha");
}

TEST_F(FrameWindow, SlidersSetTheEngineAndEachOtherWithTheirTooltips) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls(R"(
      <PLAYER_BALANCE Owner="FramePanelUp" Type="Round" Source="t\slider.bmp" X="300" Y="4" Width="32" Height="32"/>
      <PLAYER_VOLUME Owner="FramePanelPlayer" Type="Horizontal" HorzStretch="Yes" Source="t\slider.bmp" X="400" Y="8" Width="100"/>
      <PLAYER_POSITION Owner="FramePanelPlayer" Type="Horizontal" Source="t\slider.bmp" X="8" Y="44" Width="300"/>
      <PLAYER_POSITION Owner="FramePanelUp" Type="Horizontal" Source="t\slider.bmp" X="340" Y="4" Width="100"/>)")));
    ASSERT_NE(Open(), nullptr);
    HWND balance1 = Control(14031), balance2 = Control(14032);
    ASSERT_NE(balance2, nullptr);
    SendMessageW(balance1, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(balance1, TBM_SETRANGEMAX, TRUE, 100);
    SendMessageW(balance1, TBM_SETPOS, TRUE, 75);
    SendMessageW(m_hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 75), reinterpret_cast<LPARAM>(balance1));
    EXPECT_EQ(m_frame->Player()->GetBalance(), 75);
    EXPECT_EQ(SendMessageW(balance2, TBM_GETPOS, 0, 0), 75);
    EXPECT_EQ(AccessibleName(balance1), L"Balance: 50% right");

    HWND volume = Control(14021);
    ASSERT_NE(volume, nullptr);
    SendMessageW(volume, TBM_SETPOS, TRUE, 40);
    SendMessageW(m_hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 40), reinterpret_cast<LPARAM>(volume));
    EXPECT_EQ(m_frame->Player()->GetVolume(), 40);

    // Position sliders: 0 to 1000, the jump style; thumb-position copies to the others.
    HWND position1 = Control(14011), position2 = Control(14012);
    ASSERT_NE(position2, nullptr);
    EXPECT_EQ(SendMessageW(position1, TBM_GETRANGEMAX, 0, 0), 1000);
    EXPECT_EQ(GetWindowLongW(position1, GWL_STYLE) & 0x0202, 0x0202);
    SendMessageW(position1, TBM_SETPOS, TRUE, 250);
    SendMessageW(m_hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 250), reinterpret_cast<LPARAM>(position1));
    EXPECT_EQ(SendMessageW(position2, TBM_GETPOS, 0, 0), 0);  // only on thumb-position
    SendMessageW(m_hwnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 250), reinterpret_cast<LPARAM>(position1));
    EXPECT_EQ(SendMessageW(position2, TBM_GETPOS, 0, 0), 250);
    EXPECT_EQ(AccessibleName(position2), L"Position: 25%");

    // The player's owner reports the position; the position timer shows it on every slider.
    SendMessageW(m_hwnd, WM_COMMAND, ORVO_CMD_POSITION, 600);
    SendMessageW(m_hwnd, WM_TIMER, CMainFrame::kPositionTimer, 0);
    EXPECT_EQ(SendMessageW(position1, TBM_GETPOS, 0, 0), 600);
    EXPECT_EQ(SendMessageW(position2, TBM_GETPOS, 0, 0), 600);
    EXPECT_EQ(AccessibleName(position1), L"Position: 60%");
    SendMessageW(m_hwnd, WM_COMMAND, ORVO_CMD_POSITION, 5000);  // beyond the range: the end
    SendMessageW(m_hwnd, WM_TIMER, CMainFrame::kPositionTimer, 0);
    EXPECT_EQ(SendMessageW(position2, TBM_GETPOS, 0, 0), 1000);

    // Playback stopped: every position slider back to 0.
    m_frame->OnPlaybackStopped();
    EXPECT_EQ(SendMessageW(position1, TBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(SendMessageW(position2, TBM_GETPOS, 0, 0), 0);
}

TEST_F(FrameWindow, TransportControlsFollowWhatTheModulesCanDo) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls(R"(
      <PLAYER_PAUSE Owner="FramePanelPlayer" Source="t\play.bmp" X="8" Y="8"/>
      <PLAYER_RECORD Owner="FramePanelPlayer" Source="t\play.bmp" X="300" Y="8"/>
      <PLAYER_VOLUME Owner="FramePanelPlayer" Type="Horizontal" Source="t\slider.bmp" X="400" Y="8" Width="100"/>)")));
    ASSERT_NE(Open(), nullptr);
    CModuleEntry* alpha = Module(L"Alpha");
    ASSERT_TRUE(alpha && alpha->Active);
    HWND play = Control(13011), pause = Control(13016), stop = Control(13021), shuffle = Control(13036);
    HWND record = Control(13091), volume = Control(14021);
    alpha->CanPlay = 0;
    alpha->CanRecord = 0;
    m_frame->RefreshCommandStates();
    EXPECT_FALSE(IsWindowEnabled(play));
    EXPECT_FALSE(IsWindowEnabled(stop));
    EXPECT_FALSE(IsWindowEnabled(volume));
    EXPECT_FALSE(IsWindowEnabled(record));
    EXPECT_TRUE(IsWindowEnabled(shuffle));
    // The engine is stopped: Play shows where Pause stands.
    EXPECT_TRUE(IsWindowVisible(play));
    EXPECT_FALSE(IsWindowVisible(pause));

    alpha->CanPlay = 1;
    alpha->CanRecord = 1;
    m_frame->RefreshCommandStates();
    EXPECT_TRUE(IsWindowEnabled(play));
    EXPECT_TRUE(IsWindowEnabled(volume));
    EXPECT_TRUE(IsWindowEnabled(record));
    EXPECT_FALSE(IsWindowEnabled(stop));  // stopped: nothing to stop
    EXPECT_FALSE(IsWindowEnabled(pause));
}

namespace {
HMENU g_shownMenu = nullptr;
int g_menuChecks = 0;
void CALLBACK CloseMenuSoon(HWND, UINT, UINT_PTR id, DWORD) {
    HWND popup = fw::testing::FindOwnWindow(L"#32768", nullptr, true);
    if (popup && IsWindowVisible(popup)) {
        g_shownMenu = reinterpret_cast<HMENU>(SendMessageW(popup, 0x01E1 /* MN_GETHMENU */, 0, 0));
    } else if (++g_menuChecks < 50) {
        return;
    }
    KillTimer(nullptr, id);
    EndMenu();
}
}  // namespace

TEST_F(FrameWindow, AMenuButtonOpensItsPopupOfTheMergedMenu) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls(R"(
      <MENU_FILE Owner="FramePanelUp" Source="t\play.bmp" X="100" Y="4"/>
      <MENU_HELP Owner="FramePanelUp" Source="t\play.bmp" X="140" Y="4"/>)")));
    ASSERT_NE(Open(), nullptr);
    HWND help = Control(15061);
    ASSERT_NE(help, nullptr);
    g_shownMenu = nullptr;
    g_menuChecks = 0;
    SetTimer(nullptr, 0, 100, &CloseMenuSoon);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(15061, BN_CLICKED), reinterpret_cast<LPARAM>(help));
    HMENU expected = m_frame->MenuOfButton(15060);
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(g_shownMenu, expected);
    EXPECT_EQ(mdframe::MenuItemText(expected, GetMenuItemCount(expected) - 1), L"About Melodrift");
}

TEST_F(FrameWindow, EqualizerPresetsMenuSetsTheBandSliders) {
    REQUIRE_SKINNED_CONTROLS();
    mdtest::MakeFolder(m_folder / L"Language");
    mdtest::MakeFolder(m_folder / L"Language\\eng");
    ASSERT_TRUE(mdtest::WriteBytes(m_folder / L"Language\\eng\\Equalizer_presets.xml", R"(<?xml version="1.0"?>
<EqualizerPresets>
  <Preset1><Name Value="Flat"/></Preset1>
  <Preset2><Name Value="----"/></Preset2>
  <Preset3><Name Value="Bass"/><Band1 Value="180"/><Band2 Value="150"/></Preset3>
</EqualizerPresets>
)"));
    AddSkin(L"A-eng.xml", Skin("A", Controls(R"(
      <EQUA_SLIDER1 Owner="FramePanelPlayer" Source="t\vslider.bmp" X="330" Y="4" Height="56"/>
      <EQUA_PRESET Owner="FramePanelPlayer" Source="t\play.bmp" X="360" Y="8"/>)")));
    ASSERT_NE(Open(), nullptr);
    ASSERT_EQ(m_frame->EqualizerPresets().size(), 3u);
    // The menu lists the presets (separator included) at the pointer.
    g_shownMenu = nullptr;
    g_menuChecks = 0;
    SetTimer(nullptr, 0, 100, &CloseMenuSoon);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(14051, BN_CLICKED), reinterpret_cast<LPARAM>(Control(14051)));
    EXPECT_NE(g_shownMenu, nullptr);
    // Choosing "Bass": every slider of band 1 and band 2 takes its value.
    EXPECT_FALSE(m_frame->ChooseEqualizerPreset(2));  // the separator
    ASSERT_TRUE(m_frame->ChooseEqualizerPreset(3));
    EXPECT_EQ(SendMessageW(Control(16001), TBM_GETPOS, 0, 0), 180);
    EXPECT_EQ(SendMessageW(Control(16002), TBM_GETPOS, 0, 0), 180);
    m_frame->m_bForceClose = true;
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    Pump();
    m_frame = nullptr;
    EXPECT_EQ(ReadIni(L"PLAYER", L"EqualizerBand1"), L"180");
    EXPECT_EQ(ReadIni(L"PLAYER", L"EqualizerBand2"), L"150");
}

TEST_F(FrameWindow, TheActiveModuleGetsACommandTheFrameMapsTooFirst) {
    AddSkin(L"A-eng.xml", Skin("A", ""));
    ASSERT_NE(Open(), nullptr);
    CModuleEntry* alpha = Module(L"Alpha");
    ASSERT_TRUE(alpha && alpha->Active);
    // Repeat is the frame's, but the module handles it too: the module's handler runs, the frame's not.
    ASSERT_EQ(ClaimCommand(alpha, mdframe::kCmdRepeat), 0);
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdRepeat, 0), 0);
    EXPECT_FALSE(m_frame->Repeat());
    EXPECT_EQ(ClaimCommand(alpha, 0), 1);
    // Once the module no longer handles it, the frame does.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(mdframe::kCmdRepeat, 0), 0);
    EXPECT_TRUE(m_frame->Repeat());

    // The effects are the program's: a module behind the active one carries out
    // "Effects Library" and sets its state; its other commands stay its own.
    CModuleEntry* beta = Module(L"Beta");
    ASSERT_TRUE(beta && !beta->Active);
    for (UINT id : {UINT{ID_VIEW_EFFECTS_LIBRARY}, UINT{41010}}) {
        SCOPED_TRACE(id);
        ClaimCommand(beta, id);
        CCmdUI ui;
        ui.m_nID = id;
        ui.DoUpdate(m_frame, true);
        SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        const bool routed = id == ID_VIEW_EFFECTS_LIBRARY;
        EXPECT_EQ(ui.m_bEnabled, routed);
        EXPECT_EQ(ClaimCommand(beta, 0), routed ? 1 : 0);
    }
}

// The real modules side by side: apart from the program's effects and the
// transport commands the frame hands to the player's owner, no command
// number is used by two modules, or by a module and the frame.
TEST_F(FrameWindow, ShippedModulesHaveCommandNumbersOfTheirOwn) {
    AddSkin(L"A-eng.xml", Skin("A", ""));
    m_modules.clear();
    const std::wstring shipped = std::wstring(L"" MD_MELODRIFT_DIR) + L"\\";
    ASSERT_TRUE(mdtest::CopyInto(shipped + L"Sonarix.dll", m_folder.Path()));
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((shipped + L"Modules\\*.dll").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        names.push_back(found.cFileName);
        ASSERT_TRUE(mdtest::CopyInto(shipped + L"Modules\\" + found.cFileName, m_folder / L"Modules"));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    m_realEffects = true;
    ASSERT_NE(Open(), nullptr);
    ASSERT_EQ(m_frame->Registry().Entries().GetSize(), static_cast<int>(names.size()));

    const auto shared = [](UINT id) {
        return id == ID_VIEW_EFFECTS_LIBRARY || id == ID_MORPH_SELECTED || orvo::kEffectCommands.Holds(id) ||
               (id >= ID_PLAYER_PREV && id <= ID_PLAYER_RECORD);
    };
    const auto commands = [&](HMENU menu, HACCEL accel) {
        std::vector<UINT> out;
        std::function<void(HMENU)> walk = [&](HMENU m) {
            for (int i = 0; m && i < GetMenuItemCount(m); ++i) {
                if (HMENU sub = GetSubMenu(m, i)) walk(sub);
                else if (UINT id = GetMenuItemID(m, i); id != 0 && id != static_cast<UINT>(-1) && !shared(id)) out.push_back(id);
            }
        };
        walk(menu);
        std::vector<ACCEL> keys(accel ? static_cast<std::size_t>(CopyAcceleratorTableW(accel, nullptr, 0)) : 0);
        if (!keys.empty()) CopyAcceleratorTableW(accel, keys.data(), static_cast<int>(keys.size()));
        for (const ACCEL& k : keys)
            if (!shared(k.cmd)) out.push_back(k.cmd);
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    };
    std::vector<std::pair<std::wstring, std::vector<UINT>>> owners;
    HMENU frameMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    owners.emplace_back(L"the frame", commands(frameMenu, LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))));
    DestroyMenu(frameMenu);
    for (CModuleEntry* e : m_frame->Registry().Entries()) {
        HMENU menu = e->Menu ? e->Menu : e->OrvoGetMenu(e->Window);   // asked for when first shown
        EXPECT_NE(menu, nullptr) << fw::ToUtf8(e->DisplayName);
        owners.emplace_back(e->Name(), commands(menu, e->Accel ? e->Accel : e->OrvoGetAccelTable ? e->OrvoGetAccelTable(e->Window) : nullptr));
    }
    // Each shipped module within its own range, the frame outside all of them.
    for (const auto& [owner, ids] : owners) {
        const orvo::CommandRange* range = orvo::ShippedModuleCommands(owner.c_str());
        for (UINT id : ids) {
            const bool inModuleRanges = id >= orvo::kModuleCommandsFirst && id <= orvo::kModuleCommandsLast;
            if (range ? !range->Holds(id) : inModuleRanges)
                ADD_FAILURE() << id << " of " << fw::ToUtf8(owner) << " is outside its command range";
        }
    }
    for (std::size_t a = 0; a < owners.size(); ++a)
        for (std::size_t b = a + 1; b < owners.size(); ++b) {
            std::vector<UINT> both;
            std::set_intersection(owners[a].second.begin(), owners[a].second.end(), owners[b].second.begin(),
                                  owners[b].second.end(), std::back_inserter(both));
            for (UINT id : both)
                ADD_FAILURE() << id << " is used by " << fw::ToUtf8(owners[a].first) << " and " << fw::ToUtf8(owners[b].first);
        }
}

TEST_F(FrameWindow, SurroundWithoutASupportedModeSwitchesTheFrameOffAndPutsThePositionBack) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls(R"(
      <SURR_SHOW Owner="FramePanelPlayer" Source="t\check.bmp" X="300" Y="8"/>
      <PLAYER_POSITION Owner="FramePanelPlayer" Type="Horizontal" Source="t\slider.bmp" X="8" Y="44" Width="300"/>)")));
    Ini(L"PLAYER", L"RezodovaveTurn", L"On");
    Ini(L"PLAYER", L"Shuffle", L"on");  // any letter case counts
    m_surroundSupport = 0;              // the sound card takes no speaker mode
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(m_frame->Shuffle());
    EXPECT_FALSE(m_frame->SurroundOn());
    EXPECT_FALSE(m_frame->Player()->IsSurroundOn());
    EXPECT_EQ(SendMessageW(Control(16136), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(ReadIni(L"PLAYER", L"RezodovaveTurn"), L"Off");
    // After a skin switch (the settings are read again) it stays off.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(500, 0), 0);
    EXPECT_FALSE(m_frame->SurroundOn());
    EXPECT_EQ(SendMessageW(Control(16136), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // The restart after a surround change notes the position and puts it back.
    ISurroundFrame* frame = m_frame;
    frame->SetPositionSlider(400);
    EXPECT_EQ(SendMessageW(Control(14011), TBM_GETPOS, 0, 0), 400);
    EXPECT_EQ(frame->GetPositionSlider(), 400);
    frame->SetPositionSlider(5000);
    EXPECT_EQ(frame->GetPositionSlider(), 1000);
}

TEST_F(FrameWindow, NoSkinForTheLanguageBuildsNoFrameAndOffersALanguageThatHasOne) {
    AddSkin(L"D-deu.xml", Skin("D", ""));
    m_languages.Add(LanguageEntry{m_folder / L"Language\\English.dll", L"English", L"eng", 1});
    m_languages.Add(LanguageEntry{m_folder / L"Language\\Deutsch.dll", L"Deutsch", L"deu", 0});
    m_answer = IDNO;
    EXPECT_EQ(Open(), nullptr);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].find(L"\"eng\""), std::wstring::npos) << fw::ToUtf8(m_messages[0]);
    EXPECT_NE(m_messages[0].find(L"\"Deutsch\""), std::wstring::npos) << fw::ToUtf8(m_messages[0]);
    EXPECT_EQ(m_restartIn, L"");
    m_answer = IDYES;
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(m_restartIn, L"Deutsch");
    // Without any skin: what to reinstall.
    DeleteFileW((m_folder / L"Skins\\D-deu.xml").c_str());
    m_messages.clear();
    EXPECT_EQ(Open(), nullptr);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].find(L"Install Melodrift again"), std::wstring::npos) << fw::ToUtf8(m_messages[0]);
}

TEST_F(FrameWindow, HelpComesFromTheShippedPageAndOnlineAddressesFromTheProgramsSettings) {
    AddSkin(L"A-eng.xml", Skin("A", ""));
    ASSERT_NE(Open(), nullptr);
    // The scratch program folder ships no help page: the user is told what to do.
    SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(ID_HELP_TOPICS, 0), 0);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].find(m_folder / L"Help\\Melodrift.html"), std::wstring::npos);
    EXPECT_EQ(m_frame->Services().Application()->ShowHelp(), 0);
    // No addresses: the two items are not offered; a web address is, anything else is not.
    HMENU help = m_frame->MenuOfButton(15060);
    ASSERT_NE(help, nullptr);
    auto offered = [&](UINT id) {
        SendMessageW(m_hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), 6);
        return !(GetMenuState(help, id, MF_BYCOMMAND) & MF_GRAYED);
    };
    EXPECT_FALSE(offered(ID_HELP_TUTORIALS));
    EXPECT_FALSE(offered(ID_HELP_COMMUNITY));
    const std::wstring defaults = m_folder / L"appdatadefault.ini";
    WritePrivateProfileStringW(L"Online", L"Tutorials", L"https://tutorials.test/melodrift", defaults.c_str());
    WritePrivateProfileStringW(L"Online", L"Community", L"C:\\Windows\\notepad.exe", defaults.c_str());
    EXPECT_TRUE(offered(ID_HELP_TUTORIALS));
    EXPECT_FALSE(offered(ID_HELP_COMMUNITY));

    // The page the program ships covers what the user meets.
    std::string page = mdtest::ReadBytes(std::wstring(L"" MD_MELODRIFT_DIR) + L"\\Help\\Melodrift.html");
    for (const char* section : {"modules", "skins", "keyboard", "equalizer", "surround", "morphing"})
        EXPECT_NE(page.find(std::string("id=\"") + section + "\""), std::string::npos) << section;
}

TEST_F(FrameWindow, TheLibraryChooserTakesTheFontOfTheStatusLine) {
    REQUIRE_SKINNED_CONTROLS();
    AddSkin(L"A-eng.xml", Skin("A", Controls("")));
    ASSERT_NE(Open(), nullptr);
    HFONT status = reinterpret_cast<HFONT>(SendMessageW(Control(14121), WM_GETFONT, 0, 0));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(m_frame->GetReferenceFont(), status);
    // The dialog's tree, read while it is open, then closed.
    std::atomic<HFONT> treeFont{nullptr};
    std::atomic<bool> seen{false};
    std::thread watcher([&] {
        for (int i = 0; i < 500 && !seen; ++i) {
            HWND dialog = fw::testing::FindOwnWindow(L"#32770", L"Media Library");
            if (HWND tree = dialog ? FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr) : nullptr) {
                treeFont = reinterpret_cast<HFONT>(SendMessageW(tree, WM_GETFONT, 0, 0));
                seen = true;
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
            Sleep(20);
        }
    });
    m_frame->Services().Application()->ChooseFromLibrary();
    watcher.join();
    ASSERT_TRUE(seen);
    EXPECT_EQ(treeFont.load(), status);
}
