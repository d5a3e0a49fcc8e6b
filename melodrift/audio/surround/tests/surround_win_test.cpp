// The surround settings on Windows: the sound card's support, playback in
// every speaker mode, the settings and presets files, the dialogs driven as
// a user would, and the restart of playback for a new layout.
#include "fw/testing/find_window.h"
#include "surround/surround_dialogs.h"

#include "audiotest/recorder.h"
#include "audiotest/tone_analysis.h"
#include "fw/testing/screenshot.h"
#include "player/ext_player_dx.h"
#include "surround/surround_res.h"
#include "xml/enxml.h"
#include "../../player/tests/player_test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using playertest::ToneSource;

namespace {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

fs::path TestFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    fs::path folder = fs::path(temp) / L"melodrift-surround-test";
    fs::create_directories(folder);
    return folder;
}

HWND WaitForDialog(const wchar_t* title)
{
    return fw::testing::WaitForProcessWindow(0, L"#32770", title, 10000);
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[512] = {};
    SendMessageW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

// Closes a dialog with its button and waits until it is gone.
void Press(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

class FakeFrame : public ISurroundFrame {
public:
    int position = 0;
    std::vector<int> positionsSet;
    std::vector<bool> switches;
    int GetPositionSlider() override { return position; }
    void SetPositionSlider(int p) override { positionsSet.push_back(p); }
    void SetSurroundSwitch(bool on) override { switches.push_back(on); }
};

SurroundPreset TestPreset(const std::wstring& name, float width)
{
    SurroundPreset p;
    p.name = name;
    p.roomWidth = width;
    p.roomHeight = width;
    p.absorptionLevel = 0.25f;
    p.hiFreqDecay = 0.5f;
    p.positioningVolume = 2.0f;
    p.originalVolume = 0.3f;
    p.reverberationVolume = 0.8f;
    p.lfeFrequency = 120;
    p.lfeVolume = 100;
    p.delays = 1;
    p.reverberation = 1;
    p.processAdvance = 1;
    p.soundPosX = 4.0f;
    p.soundPosY = 2.0f;
    return p;
}

}  // namespace

TEST(SurroundSupport, TheTestDeviceTakesEveryMode)
{
    EXPECT_EQ(TestSurroundSupport(), kAllSurroundModes);
    EXPECT_TRUE(TestSurroundMode(0x3, 2));
}

TEST(SurroundPlayback, EachModePlaysWithItsChannelCount)
{
    const std::uint32_t support = TestSurroundSupport();
    for (int mode = 0; mode <= kSurroundStereoMode; ++mode) {
        const SurroundModeInfo* info = GetSurroundMode(mode);
        if (mode < kSurroundModeCount && !(support & SurroundSupportBit(mode))) continue;
        audiotest::CTestRecorder recorder;
        ASSERT_TRUE(recorder.Start() && recorder.WaitForData(200, 10000)) << recorder.Error();
        CExtPlayerDX player;
        player.SetVolume(100);
        player.SetBalance(50);
        player.SetSurroundOn(true);
        player.SetSurroundParam(kSurroundSpeakers, static_cast<std::int32_t>(info->mask));
        EXPECT_EQ(player.GetSurroundChannels(), info->channels);
        ToneSource tone(440, 0.5, 440, 0.5, 0.5);
        ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        ASSERT_EQ(player.Play(), 0) << mode;
        WAVEFORMATEXTENSIBLE buffer = {};
        ASSERT_TRUE(player.QueryBufferFormat(buffer));
        EXPECT_EQ(buffer.Format.nChannels, info->channels) << mode;
        EXPECT_EQ(buffer.Format.nBlockAlign, 2 * info->channels) << mode;
        EXPECT_EQ(player.GetDeviceFormat().Format.nChannels, info->channels) << mode;
        EXPECT_EQ(player.GetDeviceFormat().dwChannelMask, info->mask) << mode;
        EXPECT_EQ(player.GetBufferBytes() % (2 * info->channels), 0u);
        ASSERT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000)) << mode;
        Sleep(300);
        const std::vector<std::int16_t> samples = recorder.Stop();
        // The server mixes the speakers down to its two channels: the tone is heard.
        const std::vector<double> left = audiotest::Channel(samples, 2, 0);
        const audiotest::Span heard = audiotest::FindSound(left, 200);
        EXPECT_GT(heard.Length(), 0.4 * 44100) << mode;
        EXPECT_NEAR(audiotest::MeasureFrequency(left, heard.first, heard.first + 8820, 44100), 440, 2) << mode;
    }
}

TEST(SurroundFiles, SettingsFileRoundTrips)
{
    const fs::path folder = TestFolder();
    const std::wstring path = (folder / L"Rezodovave.xml").wstring();
    SurroundSettings s;
    s.soundPosX = 3.5f;
    s.soundPosY = 12.25f;
    s.mode = 5;
    s.reverb = false;
    s.processAdvance = true;
    s.showSupportDialog = false;
    s.lfeFrequency = 150;
    s.basisPreset = L"Hall & \"Stage\"";
    s.revSize = 345;
    s.lfeVolume = 0;
    ASSERT_TRUE(SaveSurroundSettingsFile(path, s));
    std::ifstream in(fs::path(path), std::ios::binary);
    char bom[2] = {};
    in.read(bom, 2);
    EXPECT_EQ(static_cast<unsigned char>(bom[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bom[1]), 0xFE);
    in.close();

    const std::unique_ptr<enXml> document = LoadSurroundSettingsFile(path);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->Name(), L"Rezodovave");
    SurroundSettings back;
    ReadSurroundSettings(*document, back);
    EXPECT_EQ(back, s);
    EXPECT_EQ(LoadSurroundSettingsFile((folder / L"missing.xml").wstring()), nullptr);
    fs::remove_all(folder);
}

TEST(SurroundFiles, ShippedPresetsStartWithTheDefaults)
{
    const std::string shipped = KM_SHIPPED_SURROUND_PRESETS;
    const SurroundPresetList presets = LoadSurroundPresets(std::wstring(shipped.begin(), shipped.end()));
    ASSERT_GE(presets.size(), 5u);
    EXPECT_EQ(presets[0].name, L"Default");
    bool separator = false;
    for (const SurroundPreset& p : presets) separator = separator || p.IsSeparator();
    EXPECT_TRUE(separator);
    // The first preset is what the dialog starts with.
    SurroundSettings fromPreset;
    TakeSurroundPreset(presets[0], fromPreset);
    SurroundSettings defaults;
    defaults.basisPreset = fromPreset.basisPreset;
    defaults.soundPosX = fromPreset.soundPosX;
    defaults.soundPosY = fromPreset.soundPosY;
    EXPECT_EQ(fromPreset, defaults);
    EXPECT_TRUE(LoadSurroundPresets(L"C:\\no\\such\\Surr_presets.xml").empty());
}

TEST(SurroundDialogs, SupportNoticeListsTheMissingModes)
{
    CExtPlayerDX player;
    CSurroundDlg dlg(player, (TestFolder() / L"Rezodovave.xml").wstring(), L"");
    dlg.LoadSettings(false, SurroundSupportBit(0) | SurroundSupportBit(2));   // 4.0 and 5.1 only
    std::wstring message;
    bool checkedWhenShown = false;
    std::vector<bool> modeEnabled;
    std::thread driver([&] {
        HWND notice = WaitForDialog(L"Surround support");
        if (!notice) return;
        message = TextOf(GetDlgItem(notice, IDC_SUPPORT_TEXT));
        checkedWhenShown = SendMessageW(GetDlgItem(notice, IDC_SUPPORT_SHOW), BM_GETCHECK, 0, 0) == BST_CHECKED;
        Press(notice, IDC_SUPPORT_SHOW);   // do not show it again
        Press(notice, IDOK);
        HWND dialog = WaitForDialog(L"Rezodovave");
        if (!dialog) return;
        for (int id = IDC_SURROUND_MODE_FIRST; id <= IDC_SURROUND_MODE_LAST; ++id) {
            modeEnabled.push_back(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE);
        }
        Press(dialog, IDOK);
    });
    dlg.SetSurroundOn(true);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.join();
    EXPECT_EQ(message,
              L"Your sound card doesn't support surround 4.1, 6.1, 7.1, 7.1 Front modes, which will be disabled.");
    EXPECT_TRUE(checkedWhenShown);
    EXPECT_EQ(modeEnabled, (std::vector<bool>{true, false, true, false, false, false}));
    EXPECT_FALSE(dlg.Controller().Settings().showSupportDialog);

    // Not shown again; and with no mode at all the string resource says so.
    CSurroundDlg none(player, (TestFolder() / L"Rezodovave.xml").wstring(), L"");
    none.LoadSettings(false, 0);
    std::wstring noneMessage;
    std::thread second([&] {
        HWND notice = WaitForDialog(L"Surround support");
        if (!notice) return;
        noneMessage = TextOf(GetDlgItem(notice, IDC_SUPPORT_TEXT));
        Press(notice, IDOK);
        HWND dialog = WaitForDialog(L"Rezodovave");
        if (dialog) Press(dialog, IDOK);
    });
    none.DoModal();
    second.join();
    EXPECT_EQ(noneMessage, L"Your sound card does not support any surround modes. Rezodovave will be disabled.");
    EXPECT_TRUE(none.Controller().Settings().showSupportDialog);   // left checked
}

TEST(SurroundDialogs, ControlsFollowAndChangeTheSettings)
{
    const fs::path folder = TestFolder();
    const std::wstring presets = (folder / L"Surr_presets.xml").wstring();
    ASSERT_TRUE(BuildSurroundPresetsDocument({TestPreset(L"First", 20.0f), TestPreset(L"Small", 12.34f)})->Save(presets));
    CExtPlayerDX player;
    CSurroundDlg dlg(player, (folder / L"Rezodovave.xml").wstring(), presets);
    dlg.LoadSettings(false, kAllSurroundModes);
    dlg.SetSurroundOn(true);

    std::wstring lfeLabel, roomLabel, originalLabel, roomAfterPreset, positioningAfterThumb;
    int presetCount = 0;
    LRESULT roomPosition = 0;
    bool roomEnabledBefore = false, roomEnabledAfter = true, advanceChecked = true, lfeEnabledIn40 = true;
    bool screenshot = false;
    std::thread driver([&] {
        HWND dialog = WaitForDialog(L"Rezodovave");
        if (!dialog) return;
        lfeLabel = TextOf(GetDlgItem(dialog, IDC_SURROUND_LFE_FREQ + IDC_SURROUND_LABEL_OFFSET));
        roomLabel = TextOf(GetDlgItem(dialog, IDC_SURROUND_ROOM + IDC_SURROUND_LABEL_OFFSET));
        originalLabel = TextOf(GetDlgItem(dialog, IDC_SURROUND_ORIGINAL + IDC_SURROUND_LABEL_OFFSET));
        HWND combo = GetDlgItem(dialog, IDC_SURROUND_PRESET);
        presetCount = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));

        // A preset chosen in the combo box.
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SURROUND_PRESET, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        roomAfterPreset = TextOf(GetDlgItem(dialog, IDC_SURROUND_ROOM + IDC_SURROUND_LABEL_OFFSET));
        roomPosition = SendMessageW(GetDlgItem(dialog, IDC_SURROUND_ROOM), TBM_GETPOS, 0, 0);

        // A thumb moved.
        HWND positioning = GetDlgItem(dialog, IDC_SURROUND_POSITIONING);
        SendMessageW(positioning, TBM_SETPOS, TRUE, 275);
        SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 275), reinterpret_cast<LPARAM>(positioning));
        positioningAfterThumb = TextOf(GetDlgItem(dialog, IDC_SURROUND_POSITIONING + IDC_SURROUND_LABEL_OFFSET));

        // The source dragged to the middle of the view's top half.
        HWND view = GetDlgItem(dialog, IDC_SURROUND_VIEW + 1);
        RECT client = {};
        GetClientRect(view, &client);
        const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 4);
        PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(view, WM_LBUTTONUP, 0, at);
        Sleep(200);

        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        screenshot = fw::testing::SaveWindowScreenshot(dialog, fw::testing::ScreenshotPath(L"melodrift-surround.png"));

        // Reverberation off: the room's controls go grey, early reflections off.
        roomEnabledBefore = IsWindowEnabled(GetDlgItem(dialog, IDC_SURROUND_ROOM)) != FALSE;
        Press(dialog, IDC_SURROUND_REVERB);
        roomEnabledAfter = IsWindowEnabled(GetDlgItem(dialog, IDC_SURROUND_ROOM)) != FALSE;
        advanceChecked = SendMessageW(GetDlgItem(dialog, IDC_SURROUND_ADVANCE), BM_GETCHECK, 0, 0) == BST_CHECKED;

        // 4.0 has no LFE speaker.
        Press(dialog, IDC_SURROUND_MODE_FIRST);
        lfeEnabledIn40 = IsWindowEnabled(GetDlgItem(dialog, IDC_SURROUND_LFE_FREQ)) != FALSE;
        Press(dialog, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.join();

    EXPECT_EQ(lfeLabel, L"80 Hz");
    EXPECT_EQ(roomLabel, L"20.0 m.");
    EXPECT_EQ(originalLabel, L"21 %");
    EXPECT_EQ(presetCount, 2);
    EXPECT_EQ(roomAfterPreset, L"12.3 m.");
    EXPECT_EQ(roomPosition, 123);
    EXPECT_EQ(positioningAfterThumb, L"275 %");
    EXPECT_TRUE(roomEnabledBefore);
    EXPECT_FALSE(roomEnabledAfter);
    EXPECT_FALSE(advanceChecked);
    EXPECT_FALSE(lfeEnabledIn40);
    EXPECT_TRUE(screenshot);

    const SurroundSettings& s = dlg.Controller().Settings();
    EXPECT_EQ(s.basisPreset, L"Small");
    EXPECT_EQ(s.volPositioning, 275);
    EXPECT_FALSE(s.reverb);
    EXPECT_FALSE(s.processAdvance);
    EXPECT_EQ(s.mode, 0);
    EXPECT_NEAR(s.soundPosX, 12.3f / 2, 0.2f);
    EXPECT_NEAR(s.soundPosY, 12.3f / 4, 0.2f);
    EXPECT_EQ(player.GetSurroundChannelMask(), 0x33u);   // the 4.0 layout reached the processor

    // The settings file keeps what the dialog left.
    ASSERT_TRUE(dlg.SaveSettings());
    CSurroundDlg reread(player, (folder / L"Rezodovave.xml").wstring(), presets);
    reread.LoadSettings(false, kAllSurroundModes);
    // Positions are kept with six decimals.
    SurroundSettings back = reread.Controller().Settings();
    EXPECT_NEAR(back.soundPosX, s.soundPosX, 1e-5);
    EXPECT_NEAR(back.soundPosY, s.soundPosY, 1e-5);
    back.soundPosX = s.soundPosX;
    back.soundPosY = s.soundPosY;
    EXPECT_EQ(back, s);
    fs::remove_all(folder);
}

TEST(SurroundStartUp, SavedModeFallsBackAndNoSupportSwitchesSurroundOff)
{
    const fs::path folder = TestFolder();
    const std::wstring settings = (folder / L"Rezodovave.xml").wstring();
    SurroundSettings saved;
    saved.mode = 4;   // 7.1
    ASSERT_TRUE(SaveSurroundSettingsFile(settings, saved));
    CExtPlayerDX player;
    player.SetSurroundOn(true);
    FakeFrame frame;
    CSurroundDlg dlg(player, settings, L"", &frame);
    dlg.LoadSettings(true, kAllSurroundModes & ~SurroundSupportBit(4));
    EXPECT_EQ(dlg.Controller().Settings().mode, 2);
    EXPECT_EQ(player.GetSurroundChannelMask(), 0x3Fu);
    EXPECT_TRUE(frame.switches.empty());
    EXPECT_TRUE(player.IsSurroundOn());

    CSurroundDlg none(player, settings, L"", &frame);
    none.LoadSettings(true, 0);
    EXPECT_EQ(frame.switches, (std::vector<bool>{false}));
    EXPECT_FALSE(player.IsSurroundOn());
    fs::remove_all(folder);
}

TEST(SurroundRestart, SwitchAndLayoutChangesRestartPlayback)
{
    CExtPlayerDX player;
    ToneSource tone(440, 0.2, 440, 0.2, -1);
    ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
    FakeFrame frame;
    frame.position = 417;

    // Stopped: the change is made, nothing starts.
    RestartForSurroundChange(player, [&] { player.SetSurroundOn(true); }, &frame);
    EXPECT_EQ(player.GetState(), kPlayerStopped);
    EXPECT_TRUE(frame.positionsSet.empty());

    // Playing: stopped, changed, started again in the new layout, position put back.
    ASSERT_EQ(player.Play(), 0);
    EXPECT_EQ(player.GetDeviceFormat().Format.nChannels, 6);
    RestartForSurroundChange(
        player, [&] { player.SetSurroundParam(kSurroundSpeakers, 0x63F); }, &frame);
    EXPECT_EQ(player.GetState(), kPlayerPlaying);
    EXPECT_EQ(player.GetDeviceFormat().Format.nChannels, 8);
    EXPECT_EQ(frame.positionsSet, (std::vector<int>{417}));

    // Paused: paused again afterwards; surround off gives the engine's own format.
    ASSERT_EQ(player.Pause(), 0);
    RestartForSurroundChange(player, [&] { player.SetSurroundOn(false); }, &frame);
    EXPECT_EQ(player.GetState(), kPlayerPaused);
    EXPECT_EQ(player.GetDeviceFormat().Format.nChannels, 2);

    // A preset while playing: paused around the change, playing afterwards.
    ASSERT_EQ(player.Pause(), 0);
    player.SetSurroundPreset(TestPreset(L"P", 10.0f));
    EXPECT_EQ(player.GetState(), kPlayerPlaying);
    EXPECT_EQ(player.Stop(kStopRequested), 0);
    // Stopped, a preset leaves the engine stopped.
    player.SetSurroundPreset(TestPreset(L"P", 10.0f));
    EXPECT_EQ(player.GetState(), kPlayerStopped);
}
