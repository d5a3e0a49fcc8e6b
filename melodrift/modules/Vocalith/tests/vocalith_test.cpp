// Vocalith.dll loaded by a test host (module registry, message bus and host
// interfaces over the real playback engine), driven as the frame and the
// user drive it: the bus message "open", dropped files, the transport and
// playlist commands, the position command, the host's shuffle and repeat.
// What it plays goes into the sound server's null sink and is recorded from
// the monitor; a recording that is not clean (a busy machine can make the
// server drop out for a moment) is played again, at most three times.
#include "audiotest/recorder.h"
#include "audiotest/tone_analysis.h"
#include "frame_services.h"
#include "host_services.h"
#include "host_test_support.h"
#include "journix/journix.h"
#include "message_bus.h"
#include "micro/ext_micro.h"
#include "module_registry.h"
#include "patinex/patinex.h"
#include "player/ext_player_dx.h"
#include "settings.h"
#include "test_messages.h"
#include "xml/enxml.h"
#include "fw/testing/find_window.h"
#include "fw/testing/input.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
// The module's own commands and controls.
constexpr UINT kIdRemove = 43003;
constexpr UINT kIdClearForTest = 43004;
constexpr UINT kIdSavePlaylist = 43007;
constexpr int kIdTitle = 1001;
constexpr int kIdTime = 1002;

// The test's frame: the real engines, the status line and the positions the
// module reports kept for the checks.
class PlayerFrame : public IFrameServices {
public:
    PlayerFrame() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &PlayerFrame::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VocalithTestFrame";
        RegisterClassW(&wc);
        m_main = CreateWindowExW(0, L"VocalithTestFrame", L"test frame", WS_OVERLAPPEDWINDOW, 0, 0, 640, 400, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~PlayerFrame() override { DestroyWindow(m_main); }

    HWND GetModuleParent() override { return m_main; }
    HWND GetMainWindow() override { return m_main; }
    IQueryInterface* GetHostQueryInterface() override { return query; }
    const enXml* GetSkinDocument() override { return skin; }
    CExtPlayerDX* GetPlayerEngine() override { return &player; }
    CExtMicro* GetMicroEngine() override { return &micro; }
    void SetStatusText(const wchar_t* text) override { status = text ? text : L""; }
    void ShowStatusText(const wchar_t* text, UINT) override {
        transient = text ? text : L"";
        transients.push_back(transient);
    }
    void OnPlaybackStopped() override { positions.push_back(0); }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<PlayerFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_COMMAND && w == ORVO_CMD_POSITION) {
            self->positions.push_back(static_cast<int>(l));
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    }

    HWND m_main = nullptr;
    IQueryInterface* query = nullptr;
    const enXml* skin = nullptr;   // the current skin's document, or none
    CExtPlayerDX player;
    CExtMicro micro;
    std::wstring status;
    std::wstring transient;
    std::vector<std::wstring> transients;
    std::vector<int> positions;
};

using mdtest::PumpUntil;

void Put16(std::string& b, unsigned v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A WAV file of any layout: the format chunk as given, then the data.
std::string WavOf(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, const std::string& data,
                  std::uint32_t mask = 0, std::uint32_t rate = kRate) {
    const bool extensible = tag == 0xFFFE;
    std::string b = "RIFF";
    Put32(b, static_cast<std::uint32_t>((extensible ? 60 : 36) + data.size()));
    b += "WAVEfmt ";
    Put32(b, extensible ? 40 : 16);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * bits / 8);
    Put16(b, static_cast<unsigned>(channels * bits / 8));
    Put16(b, bits);
    if (extensible) {
        Put16(b, 22);
        Put16(b, bits);
        Put32(b, mask);
        b += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    }
    b += "data";
    Put32(b, static_cast<std::uint32_t>(data.size()));
    return b + data;
}

// A 16-bit stereo WAV file: a sine per channel.
std::string ToneWav(double seconds, double leftHz, double rightHz, double amplitude) {
    const int frames = static_cast<int>(seconds * kRate);
    std::string data;
    for (int i = 0; i < frames; ++i) {
        for (double hz : {leftHz, rightHz}) {
            const auto s = static_cast<std::int16_t>(std::lround(amplitude * 32767 * std::sin(2 * kPi * hz * i / kRate)));
            Put16(data, static_cast<std::uint16_t>(s));
        }
    }
    std::string b = "RIFF";
    Put32(b, static_cast<std::uint32_t>(36 + data.size()));
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 2);
    Put32(b, kRate);
    Put32(b, kRate * 4);
    Put16(b, 4);
    Put16(b, 16);
    b += "data";
    Put32(b, static_cast<std::uint32_t>(data.size()));
    return b + data;
}

class Vocalith : public ::testing::Test {
protected:
    Vocalith()
        : m_folder(L"vocalith"),
          m_settings(m_folder / L"config.ini"),
          m_registry(m_frame),
          m_bus(m_registry),
          m_services(m_registry, m_bus, m_settings, m_frame, m_folder.Path()) {
        m_frame.query = m_services.Query();
        enJournix()->SetLogFile((m_folder / L"debug.log").c_str());
    }
    ~Vocalith() override {
        m_frame.player.Stop(kStopRequested);
        m_registry.Unload();
        enJournix()->SetLogFile(nullptr);
        if (m_view) DestroyMenu(m_view);
    }

    void LoadModule() {
        ASSERT_TRUE(mdtest::CopyInto(mdtest::TestFolder() + L"Vocalith.dll", m_folder / L"Modules"));
        m_view = CreatePopupMenu();
        CModuleRegistry::LoadParams p;
        p.programFolder = m_folder.Path();
        p.languageShortName = L"eng";
        p.languages = &m_languages;
        p.viewMenu = m_view;
        m_registry.Load(p);
        m_module = m_registry.FindByName(L"Vocalith");
        ASSERT_NE(m_module, nullptr);
        ASSERT_NE(m_module->Window, nullptr);
        m_registry.ActivateEntry(m_module);
        m_frame.player.SetVolume(100);
        m_frame.player.SetBalance(50);
    }
    void UnloadModule() {
        m_registry.Unload();
        m_module = nullptr;
    }

    std::wstring File(const std::wstring& name, const std::string& bytes) {
        std::wstring path = m_folder / name;
        EXPECT_TRUE(mdtest::WriteBytes(path, bytes));
        return path;
    }
    int Open(const std::vector<std::wstring>& files) {
        std::wstring text = L"open";
        for (const std::wstring& f : files) text += L" \"" + f + L"\"";
        return m_services.ModuleCom()->SendMessage(L"Vocalith", ORVO_MAIN_FRAME_NAME, text.c_str());
    }
    void Command(UINT id) { SendMessageW(m_module->Window, WM_COMMAND, id, 0); }

    // Records what `play` plays (it returns once playback has stopped) and
    // hands the recording to `judge`, whose findings are empty when it is as
    // expected; up to three attempts, each from an emptied list, and another
    // only while the sound server is seen to have altered the stream.
    // Recordings of failed attempts are kept as "vocalith_<name>_<attempt>.wav".
    void RecordUntilClean(const std::wstring& name, const std::function<void()>& play,
                          const std::function<std::string(const std::vector<std::int16_t>&)>& judge) {
        std::string findings;
        for (int attempt = 1; attempt <= 3; ++attempt) {
            audiotest::CTestRecorder recorder;
            ASSERT_TRUE(recorder.Start() && recorder.WaitForData(200, 10000)) << recorder.Error();
            play();
            if (::testing::Test::HasFatalFailure()) return;
            Sleep(400);
            const std::vector<std::int16_t> recorded = recorder.Stop();
            findings = judge(recorded);
            if (findings.empty()) return;
            audiotest::WriteWav(L"vocalith_" + name + L"_" + std::to_wstring(attempt) + L".wav", recorded, 2, kRate);
            const std::string cause = audiotest::ServerAlterations(recorded, 2);
            if (cause.empty()) {
                ADD_FAILURE() << "attempt " << attempt << ", the sound server altered nothing that shows: " << findings;
                return;
            }
            std::printf("attempt %d: %s\n  tried again: the sound server altered the stream (%s)\n", attempt,
                        findings.c_str(), cause.c_str());
            Command(kIdClearForTest);
        }
        ADD_FAILURE() << findings;
    }
    std::wstring Text(int id) {
        wchar_t text[512] = {};
        GetWindowTextW(GetDlgItem(m_module->Window, id), text, 512);
        return text;
    }
    HWND List() { return GetDlgItem(m_module->Window, 1003); }
    // Chooses one track of the list (which takes several), as a click on it does.
    void Select(int index) {
        SendMessageW(List(), LB_SETSEL, FALSE, -1);
        SendMessageW(List(), LB_SETSEL, TRUE, index);
        SendMessageW(List(), LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
    }
    std::vector<std::wstring> ListItems(bool withLength = false) {
        std::vector<std::wstring> items;
        lengths.clear();
        const int n = static_cast<int>(SendMessageW(List(), LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t text[512] = {};
            SendMessageW(List(), LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            std::wstring line = text;
            if (withLength) lengths.push_back(line.find(L'\t') == std::wstring::npos ? L"" : line.substr(line.find(L'\t') + 1));
            items.push_back(line.substr(0, line.find(L'\t')));   // the length stands after a tab
        }
        return items;
    }
    int State() { return m_frame.player.GetState(); }

    mdtest::ScratchFolder m_folder;
    CHostSettings m_settings;
    PlayerFrame m_frame;
    CModuleRegistry m_registry;
    CMessageBus m_bus;
    CHostServices m_services;
    CArray<LanguageEntry> m_languages;
    HMENU m_view = nullptr;
    CModuleEntry* m_module = nullptr;
    std::vector<std::wstring> lengths;   // the lengths of the last ListItems(true)
};

// What differs between a recorded channel and a whole tone of `seconds`
// at `hz` and `amplitude` (sample units): its frequency, level and length.
// Empty when it matches. The way through the sound server (its resampler, a
// moment of silence when the machine is busy) belongs to the engine's own
// tests; here it matters that the file's whole content came out in the
// right channels: nothing of it missing, the right tone at the right level.
std::string ToneFindings(const std::vector<double>& x, double hz, double amplitude, double seconds, const char* what) {
    std::ostringstream out;
    const audiotest::Span s = audiotest::FindSound(x, 0.02 * amplitude);
    if (s.first < 0) return std::string(what) + ": nothing heard; ";
    const double length = static_cast<double>(s.Length()) / kRate;
    if (length < seconds - 0.005 || length > seconds + 0.5) out << what << " length " << length << " s; ";
    const std::int64_t edge = 441;
    const double measured = audiotest::MeasureFrequency(x, s.first + edge, s.last - edge, kRate);
    if (std::fabs(measured - hz) > 0.5) out << what << " at " << measured << " Hz; ";
    const audiotest::ToneCheck tone = audiotest::CheckTone(x, s.first + edge, s.last - edge, hz, kRate);
    if (std::fabs(tone.amplitude - amplitude) > 0.02 * amplitude) out << what << " amplitude " << tone.amplitude << "; ";
    return out.str();
}

TEST_F(Vocalith, OpenMessagePlaysTheWavFileIntoTheSoundServerAsItIs) {
    LoadModule();
    const std::wstring wav = File(L"two tones.wav", ToneWav(1.5, 440, 660, 0.5));
    RecordUntilClean(L"wav", [&] {
        m_frame.positions.clear();
        ASSERT_EQ(Open({wav}), MESSAGE_OK);
        EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
        EXPECT_EQ(std::wstring(m_services.Player()->GetPlayerOwner()), L"Vocalith");
        EXPECT_EQ(Text(kIdTitle), L"two tones");
        EXPECT_EQ(m_frame.status, L"Playing two tones");
        // The track ends by itself (no repeat): the engine stops, the title goes.
        ASSERT_TRUE(PumpUntil([&] { return State() == ORVO_PLAYER_STOPPED && Text(kIdTitle) == L"No track"; }));
    }, [&](const std::vector<std::int16_t>& recorded) {
        // The frame was told where playback stood, moving forward.
        bool forward = m_frame.positions.size() >= 3;
        for (std::size_t i = 1; i + 1 < m_frame.positions.size(); ++i)
            forward = forward && m_frame.positions[i] >= m_frame.positions[i - 1];
        EXPECT_TRUE(forward);
        return ToneFindings(audiotest::Channel(recorded, 2, 0), 440, 0.5 * 32767, 1.5, "left") +
               ToneFindings(audiotest::Channel(recorded, 2, 1), 660, 0.5 * 32767, 1.5, "right");
    });
}

TEST_F(Vocalith, Mp3FileIsDecodedAndPlayed) {
    const std::wstring mp3 = mdtest::TestFolder() + L"tone.mp3";
    if (GetFileAttributesW(mp3.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no MP3 encoder at build time";
    LoadModule();
    RecordUntilClean(L"mp3", [&] {
        ASSERT_EQ(Open({mp3}), MESSAGE_OK);
        EXPECT_EQ(State(), ORVO_PLAYER_PLAYING) << std::string(m_frame.transient.begin(), m_frame.transient.end());
        EXPECT_EQ(Text(kIdTitle), L"tone");
        EXPECT_NE(Text(kIdTime).find(L" / 0:01"), std::wstring::npos) << "length shown as " << std::string(Text(kIdTime).begin(), Text(kIdTime).end());
        ASSERT_TRUE(PumpUntil([&] { return State() == ORVO_PLAYER_STOPPED; }));
    }, [](const std::vector<std::int16_t>& recorded) {
        const std::vector<double> left = audiotest::Channel(recorded, 2, 0);
        const std::vector<double> right = audiotest::Channel(recorded, 2, 1);
        const audiotest::Span s = audiotest::FindSound(left, 200);
        if (s.first < 0) return std::string("nothing heard");
        // 1.5 s of 440 Hz left and 660 Hz right at half scale, to 1 % (LAME's delay and padding dropped).
        std::ostringstream out;
        const double seconds = static_cast<double>(s.Length()) / kRate;
        const double leftHz = audiotest::MeasureFrequency(left, s.first + 4410, s.last - 4410, kRate);
        const double rightHz = audiotest::MeasureFrequency(right, s.first + 4410, s.last - 4410, kRate);
        const double rms = audiotest::Rms(left, s.first + 4410, s.last - 4410);
        if (std::fabs(seconds - 1.5) > 0.015) out << "length " << seconds << " s; ";
        if (std::fabs(leftHz - 440) > 1) out << "left at " << leftHz << " Hz; ";
        if (std::fabs(rightHz - 660) > 1) out << "right at " << rightHz << " Hz; ";
        if (std::fabs(rms - 0.5 * 32767 / std::sqrt(2.0)) > 0.05 * 0.5 * 32767) out << "left level " << rms << "; ";
        return out.str();
    });
}

// A variable-rate file (4 s of tone, then 4 s of noise that takes most of
// its bytes): the length comes from the frame count in its first frame, and
// a move to a quarter lands a quarter of the playing time in, by the file's
// seek table, not a quarter of its bytes in (which lies in the noise).
TEST_F(Vocalith, VariableRateMp3HasItsWholeLengthAndSeeksByTime) {
    const std::wstring mp3 = mdtest::TestFolder() + L"halves.mp3";
    if (GetFileAttributesW(mp3.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no MP3 encoder at build time";
    LoadModule();
    RecordUntilClean(L"halves", [&] {
        ASSERT_EQ(Open({mp3}), MESSAGE_OK);
        const std::wstring length = Text(kIdTime);
        EXPECT_NE(length.find(L"/ 0:08"), std::wstring::npos) << "length shown as " << std::string(length.begin(), length.end());
        SendMessageW(m_module->Window, WM_COMMAND, ORVO_CMD_POSITION, 250);
        EXPECT_EQ(Text(kIdTime), L"0:02 / 0:08");
        ASSERT_TRUE(PumpUntil([&] { return State() == ORVO_PLAYER_STOPPED; }));
    }, [](const std::vector<std::int16_t>& recorded) {
        // Tone and noise told apart by their zero crossings in 10 ms windows.
        const std::vector<double> left = audiotest::Channel(recorded, 2, 0);
        const std::size_t window = 441;
        int tone = 0, noise = 0;
        for (std::size_t at = 0; at + window <= left.size(); at += window) {
            double peak = 0;
            int crossings = 0;
            for (std::size_t i = at; i < at + window; ++i) {
                peak = std::max(peak, std::fabs(left[i]));
                if (i > at && (left[i] < 0) != (left[i - 1] < 0)) ++crossings;
            }
            if (peak < 1000) continue;
            (crossings < 40 ? tone : noise) += 1;
        }
        std::ostringstream out;
        if (std::abs(tone - 200) > 30) out << "tone heard for " << tone * 10 << " ms, expected 2000; ";
        if (std::abs(noise - 400) > 30) out << "noise heard for " << noise * 10 << " ms, expected 4000; ";
        return out.str();
    });
}

// The format test files (make_formats.sh) are tagged alike.
const std::wstring kTagged = L"Zo\u00eb \u010capek \u2013 Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1";

std::wstring EncodedFile(const wchar_t* name) { return mdtest::TestFolder() + L"media\\" + name; }
bool Encoded(const wchar_t* name) { return GetFileAttributesW(EncodedFile(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Their sound: 1 s of 440 Hz, then 1 s of 660 Hz, left at half scale, right at
// a quarter. Played from the middle, only the second half is heard, whole.
std::string SecondHalfFindings(const std::vector<std::int16_t>& recorded) {
    const std::vector<double> left = audiotest::Channel(recorded, 2, 0);
    const std::vector<double> right = audiotest::Channel(recorded, 2, 1);
    const audiotest::Span s = audiotest::FindSound(left, 0.02 * 0.5 * 32767);
    if (s.first < 0) return "nothing heard";
    std::ostringstream out;
    const double seconds = static_cast<double>(s.Length()) / kRate;
    if (std::fabs(seconds - 1.0) > 0.06) out << "heard for " << seconds << " s; ";
    // The tone is measured from 0.1 s in: a decoder's own delay (WMA's 2,048
    // frames under Wine) may carry a little of the first half past the middle.
    const std::int64_t from = s.first + 4410, to = s.last - 882;
    const double leftHz = audiotest::MeasureFrequency(left, from, to, kRate);
    const double rightHz = audiotest::MeasureFrequency(right, from, to, kRate);
    if (std::fabs(leftHz - 660) > 1) out << "left at " << leftHz << " Hz; ";
    if (std::fabs(rightHz - 660) > 1) out << "right at " << rightHz << " Hz; ";
    const double leftRms = audiotest::Rms(left, from, to), rightRms = audiotest::Rms(right, from, to);
    if (std::fabs(leftRms - 0.5 * 32767 / std::sqrt(2.0)) > 0.08 * 0.5 * 32767 / std::sqrt(2.0)) out << "left level " << leftRms << "; ";
    if (std::fabs(rightRms - 0.25 * 32767 / std::sqrt(2.0)) > 0.08 * 0.25 * 32767 / std::sqrt(2.0)) out << "right level " << rightRms << "; ";
    return out.str();
}

// Beside the plain files, the kinds other players play that our header readers
// once refused: FLAC in Ogg, a comment header over more than 64 pages,
// QuickTime text items (no track number), a video stream before the sound.
// Seeking to the middle leaves a second of sound: the length the player goes
// by is the true one. MPEG-2 MP3 (576 samples a frame, LAME's delay and
// padding) plays whole: two seconds heard, two shown; so does the file with the
// long comment header (a move within it leaves a gap in the system decoder's
// sound while it reads past the 4 MB header again).
TEST_F(Vocalith, EncodedFilesPlayThroughTheMediaFrameworkWithTheirTagsLengthAndSeeking) {
    LoadModule();
    int played = 0;
    for (const wchar_t* name : {L"tune.flac", L"tune.ogg", L"tune.opus", L"tune.m4a", L"tune.oga", L"cover.ogg", L"qt.m4a",
                                L"video.ogg", L"lsf.mp3"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        if (!Encoded(name)) {
            std::printf("%ls: its encoder was missing at build time; skipped\n", name);
            continue;
        }
        const bool whole = name == std::wstring(L"lsf.mp3") || name == std::wstring(L"cover.ogg");
        const std::wstring album = name == std::wstring(L"qt.m4a") ? L"  (Tonleiter)" : L"  (Tonleiter, track 3)";
        ++played;
        RecordUntilClean(name, [&] {
            ASSERT_EQ(Open({EncodedFile(name)}), MESSAGE_OK);
            ASSERT_EQ(State(), ORVO_PLAYER_PLAYING) << std::string(m_frame.transient.begin(), m_frame.transient.end());
            EXPECT_EQ(Text(kIdTitle), kTagged + album);
            EXPECT_EQ(m_frame.status, L"Playing " + kTagged);
            EXPECT_EQ(ListItems(true).back(), kTagged);
            EXPECT_EQ(lengths.back(), L"0:02");
            EXPECT_NE(Text(kIdTime).find(L"/ 0:02"), std::wstring::npos);
            if (!whole) SendMessageW(m_module->Window, WM_COMMAND, ORVO_CMD_POSITION, 500);
            ASSERT_TRUE(PumpUntil([&] { return State() == ORVO_PLAYER_STOPPED; }));
        }, [&](const std::vector<std::int16_t>& recorded) {
            if (!whole) return SecondHalfFindings(recorded);
            const audiotest::Span s = audiotest::FindSound(audiotest::Channel(recorded, 2, 0), 0.02 * 0.5 * 32767);
            const double seconds = static_cast<double>(s.Length()) / kRate;
            // The MP3 file's length is exact (LAME's delay and padding dropped): to 1 %.
            const double tolerance = name == std::wstring(L"lsf.mp3") ? 0.02 : 0.05;
            return s.first >= 0 && std::fabs(seconds - 2.0) <= tolerance ? std::string() : "heard for " + std::to_string(seconds) + " s";
        });
        Command(kIdClearForTest);
    }
    // The MP3 reader of our own shows the ID3v2 tag too.
    if (Encoded(L"tune.mp3")) {
        ASSERT_EQ(Open({EncodedFile(L"tune.mp3")}), MESSAGE_OK);
        EXPECT_EQ(Text(kIdTitle), kTagged + L"  (Tonleiter, track 3)");
        Command(ORVO_CMD_STOP);
    }
    if (played == 0) GTEST_SKIP() << "no encoder was present at build time";
}

// WMA needs the system's ASF decoder: Windows has it; under Wine it comes with
// GStreamer's "ugly" plug-ins, if at all.
TEST_F(Vocalith, WmaPlaysWhereTheSystemDecodesIt) {
    if (!Encoded(L"tune.wma")) GTEST_SKIP() << "no WMA encoder at build time";
    LoadModule();
    ASSERT_EQ(Open({EncodedFile(L"tune.wma")}), MESSAGE_OK);
    if (State() != ORVO_PLAYER_PLAYING && m_frame.transient.find(L"no decoder for WMA") != std::wstring::npos)
        GTEST_SKIP() << "WMA: this system's media framework has no ASF decoder (a known gap of Wine's)";
    Command(ORVO_CMD_STOP);
    RecordUntilClean(L"wma", [&] {
        ASSERT_EQ(Open({EncodedFile(L"tune.wma")}), MESSAGE_OK);
        ASSERT_EQ(State(), ORVO_PLAYER_PLAYING) << std::string(m_frame.transient.begin(), m_frame.transient.end());
        EXPECT_EQ(Text(kIdTitle), kTagged + L"  (Tonleiter, track 3)");
        SendMessageW(m_module->Window, WM_COMMAND, ORVO_CMD_POSITION, 500);
        ASSERT_TRUE(PumpUntil([&] { return State() == ORVO_PLAYER_STOPPED; }));
    }, SecondHalfFindings);
}

// Damaged files of each kind in a list: each is named with the reason on the
// status line, and the list goes on to the track that plays.
TEST_F(Vocalith, DamagedFilesAreNamedAndTheNextTrackPlays) {
    LoadModule();
    std::vector<std::wstring> files;
    std::vector<std::wstring> expected;
    const struct {
        const wchar_t* name;
        const wchar_t* format;
    } kinds[] = {{L"tune.flac", L"FLAC"}, {L"tune.ogg", L"Ogg Vorbis"}, {L"tune.opus", L"Opus"}, {L"tune.m4a", L"MP4"}, {L"tune.wma", L"WMA"}};
    for (const auto& kind : kinds) {
        if (!Encoded(kind.name)) continue;
        const std::wstring extension = std::wstring(kind.name).substr(5);
        // Cut inside its headers.
        files.push_back(File(L"bad " + extension + L"." + extension, mdtest::ReadBytes(EncodedFile(kind.name)).substr(0, 200)));
        expected.push_back(L"Cannot play bad " + extension + L": the " + kind.format + L" file is damaged");
    }
    files.push_back(File(L"fine.wav", ToneWav(1, 440, 440, 0.05)));
    m_frame.transients.clear();
    ASSERT_EQ(Open(files), MESSAGE_OK);
    ASSERT_TRUE(PumpUntil([&] { return Text(kIdTitle) == L"fine" && State() == ORVO_PLAYER_PLAYING; }, 30000));
    EXPECT_EQ(m_frame.transients, expected);
    Command(ORVO_CMD_STOP);
}

// Answers the module's file chooser (from another thread) with `path`, and
// cancels it when it does not close.
void AnswerFileChooser(const wchar_t* title, const std::wstring& path) {
    HWND dialog = fw::testing::WaitForProcessWindow(0, L"#32770", title, 10000, false);
    if (!dialog) return;
    Sleep(300);
    // The file name box (edt1, or the combo box cmb13 of the explorer-style dialog).
    SetDlgItemTextW(dialog, 0x480, path.c_str());
    SetDlgItemTextW(dialog, 0x47C, path.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The list saved as each kind of playlist file under a non-ASCII name, with a
// non-ASCII entry beside it and a missing one, and opened again: the same
// list, the missing entry shown as missing.
TEST_F(Vocalith, PlaylistFilesSavedAndOpenedKeepEveryEntry) {
    LoadModule();
    const std::wstring music = m_folder / L"Musik \u00fc";
    mdtest::MakeFolder(music);
    const std::wstring beside = music + L"\\Gr\u00fc\u00dfe \u00fc.wav";
    ASSERT_TRUE(mdtest::WriteBytes(beside, ToneWav(0.5, 440, 440, 0.05)));
    const std::wstring elsewhere = File(L"a.wav", ToneWav(0.5, 440, 440, 0.05));
    const std::wstring gone = music + L"\\gone.ogg";
    mdtest::DropFiles(m_module->Window, {beside, gone, elsewhere}, true);
    const std::vector<std::wstring> shown = {L"Gr\u00fc\u00dfe \u00fc", L"gone (missing)", L"a"};
    ASSERT_EQ(ListItems(), shown);
    for (const wchar_t* extension : {L"m3u8", L"m3u", L"pls"}) {
        SCOPED_TRACE(std::string(extension, extension + wcslen(extension)));
        const std::wstring list = music + L"\\Liste \u00fc." + extension;
        std::thread driver([&] { AnswerFileChooser(L"Save Playlist", list); });
        Command(kIdSavePlaylist);
        driver.join();
        const std::string bytes = mdtest::ReadBytes(list);
        ASSERT_FALSE(bytes.empty());
        // The entries beside the playlist are written relative to it.
        EXPECT_EQ(bytes.find("Musik"), std::string::npos);
        EXPECT_NE(bytes.find("gone.ogg"), std::string::npos);
        Command(kIdClearForTest);
        ASSERT_TRUE(ListItems().empty());
        ASSERT_EQ(Open({list}), MESSAGE_OK);
        // Whether an entry's file is there is learnt behind the list, as its tags are read.
        EXPECT_TRUE(PumpUntil([&] { return ListItems() == shown; }, 10000));
        EXPECT_EQ(Text(kIdTitle), L"Gr\u00fc\u00dfe \u00fc");
        Command(ORVO_CMD_STOP);
        Command(kIdClearForTest);
        mdtest::DropFiles(m_module->Window, {beside, gone, elsewhere}, true);
    }

    // A playlist of 2,000 entries (one of them missing) is listed at once with
    // its own titles and lengths, and the files' tags and lengths follow.
    std::string tagged = ToneWav(0.01, 440, 440, 0.05) + "LIST";
    Put32(tagged, 4 + 8 + 14);
    tagged += "INFOINAM";
    Put32(tagged, 14);
    tagged += std::string("Tagged title") + std::string(2, '\0');
    std::string size;
    Put32(size, static_cast<std::uint32_t>(tagged.size() - 8));
    tagged.replace(4, 4, size);
    std::string m3u8 = "#EXTM3U\r\n";
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "t" + std::to_string(i) + ".wav";
        if (i != 1000) {
            ASSERT_TRUE(mdtest::WriteBytes(music + L"\\" + std::wstring(name.begin(), name.end()), tagged));
        }
        m3u8 += "#EXTINF:7,Listed " + std::to_string(i) + "\r\n" + name + "\r\n";
    }
    const std::wstring big = music + L"\\big.m3u8";
    ASSERT_TRUE(mdtest::WriteBytes(big, m3u8));
    const auto allRead = [&] {
        const std::vector<std::wstring> items = ListItems(true);
        return items.size() == 2000 && std::count(items.begin(), items.end(), L"Tagged title") == 1999 &&
               items[1000].ends_with(L" (missing)") && lengths[1999] == L"0:00";
    };
    Command(ORVO_CMD_STOP);
    Command(kIdClearForTest);
    for (int round = 0; round < 2; ++round) {
        // The second time round the list is cleared half-way and opened again:
        // nothing of the first reading comes into the new list, all is read again.
        ASSERT_EQ(Open({big}), MESSAGE_OK);
        std::vector<std::wstring> items = ListItems(true);
        ASSERT_EQ(items.size(), 2000u);
        EXPECT_EQ(items[0], L"Tagged title");   // the one played is read first
        EXPECT_EQ(Text(kIdTitle), L"Tagged title");
        if (round == 1) {
            Command(ORVO_CMD_STOP);
            Command(kIdClearForTest);
            PumpUntil([] { return false; }, 300);
            EXPECT_TRUE(ListItems().empty());
            ASSERT_EQ(Open({big}), MESSAGE_OK);
        }
        EXPECT_TRUE(PumpUntil(allRead, 60000)) << round;
        Command(ORVO_CMD_STOP);
        Command(kIdClearForTest);
    }
    // The module goes away while the reader is busy: it stops, nothing hangs;
    // the long list kept in the settings comes back whole, and is read again.
    ASSERT_EQ(Open({big}), MESSAGE_OK);
    Command(ORVO_CMD_STOP);
    UnloadModule();
    LoadModule();
    EXPECT_TRUE(PumpUntil(allRead, 60000));
    EXPECT_EQ(ListItems()[1000], L"t1000 (missing)");

    // A list of 20,000 entries (in blocks of a million characters): a change
    // to it leaves the window answering while the settings are written, and
    // the last change is what the next start finds.
    Command(kIdClearForTest);
    std::string huge = "#EXTM3U\r\n";
    for (int i = 0; i < 20000; ++i) huge += "far\\away\\track " + std::to_string(100000 + i) + ".wav\r\n";
    const std::wstring hugeList = music + L"\\huge.m3u8";
    ASSERT_TRUE(mdtest::WriteBytes(hugeList, huge));
    mdtest::DropFiles(m_module->Window, {hugeList}, true);
    const auto count = [&] { return static_cast<int>(SendMessageW(List(), LB_GETCOUNT, 0, 0)); };
    ASSERT_EQ(count(), 20000);
    DWORD fastest = INFINITE;   // of three (a busy machine may hold up one): writing the file takes ~0.5 s
    for (int removed = 1; removed <= 3; ++removed) {
        Select(0);
        const DWORD start = GetTickCount();
        Command(kIdRemove);
        fastest = std::min(fastest, GetTickCount() - start);
        EXPECT_EQ(count(), 20000 - removed);
    }
    EXPECT_LT(fastest, 150u);
    UnloadModule();
    const std::wstring config = m_settings.Path();
    EXPECT_EQ(mdtest::ReadIni(config, L"Vocalith: params", L"Tracks"), L"19997");
    EXPECT_NE(mdtest::ReadIni(config, L"Vocalith: params", L"TrackBlock1"), L"");
    LoadModule();
    ASSERT_EQ(count(), 19997);
    EXPECT_TRUE(PumpUntil([&] {
        wchar_t first[512] = {};
        SendMessageW(List(), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
        return std::wstring(first).starts_with(L"track 100003 (missing)");
    }, 10000));
    Command(kIdClearForTest);
}

TEST_F(Vocalith, EveryLayoutReachesThePlayerInItsOwnFormat) {
    LoadModule();
    // Mono 32-bit float, 5.1 in 24 bits (extensible), 8-bit stereo: half a second each.
    std::string mono, surround, eight;
    for (int i = 0; i < kRate / 2; ++i) {
        const float v = static_cast<float>(0.25 * std::sin(2 * kPi * 440 * i / kRate));
        std::uint32_t bits;
        memcpy(&bits, &v, 4);
        Put32(mono, bits);
        for (int c = 0; c < 6; ++c) {
            const std::int32_t s = static_cast<std::int32_t>(v * 8388607);
            surround.push_back(static_cast<char>(s & 0xFF));
            surround.push_back(static_cast<char>((s >> 8) & 0xFF));
            surround.push_back(static_cast<char>((s >> 16) & 0xFF));
        }
        eight.push_back(static_cast<char>(128 + static_cast<int>(v * 127)));
        eight.push_back(static_cast<char>(128 + static_cast<int>(v * 127)));
    }
    struct Case {
        std::wstring name;
        std::string bytes;
        int channels;
        DWORD mask;
    };
    const Case cases[] = {
        {L"mono float.wav", WavOf(3, 1, 32, mono), 1, 0},
        {L"surround.wav", WavOf(0xFFFE, 6, 24, surround, 0x3F), 6, 0x3F},
        {L"eight bits.wav", WavOf(1, 2, 8, eight), 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        ASSERT_EQ(Open({File(c.name, c.bytes)}), MESSAGE_OK);
        EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
        const WAVEFORMATEXTENSIBLE* format = m_services.Player()->GetFormat();
        EXPECT_EQ(format->Format.nChannels, c.channels);
        EXPECT_EQ(format->Format.nSamplesPerSec, static_cast<DWORD>(kRate));
        EXPECT_EQ(format->Format.wBitsPerSample, 16);
        if (c.channels > 2) {
            EXPECT_EQ(format->dwChannelMask, c.mask);
        }
        Command(ORVO_CMD_STOP);
        EXPECT_EQ(State(), ORVO_PLAYER_STOPPED);
    }
    // A damaged file is named on the status line and nothing plays; the next good one does.
    std::string broken = ToneWav(0.2, 440, 440, 0.1);
    broken[20] = 0x55;   // an MPEG tag inside a WAV file
    ASSERT_EQ(Open({File(L"broken.wav", broken)}), MESSAGE_OK);
    EXPECT_NE(State(), ORVO_PLAYER_PLAYING);
    EXPECT_EQ(m_frame.transient, L"Cannot play broken: unsupported sample format");
    ASSERT_EQ(Open({File(L"not audio.mp3", std::string(5000, 'x'))}), MESSAGE_OK);
    EXPECT_EQ(m_frame.transient, L"Cannot play not audio: neither a WAV nor an MP3 file");
    ASSERT_EQ(Open({File(L"fine.wav", ToneWav(0.2, 440, 440, 0.1))}), MESSAGE_OK);
    EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
    EXPECT_EQ(Text(kIdTitle), L"fine");
}

TEST_F(Vocalith, PlaylistOfDroppedFilesWithRemoveNextPreviousPauseAndItsSettings) {
    LoadModule();
    const std::wstring a = File(L"a.wav", ToneWav(2, 440, 440, 0.05));
    const std::wstring b = File(L"b.wav", ToneWav(2, 440, 440, 0.05));
    const std::wstring c = File(L"c.wav", ToneWav(2, 440, 440, 0.05));
    mdtest::DropFiles(m_module->Window, {a, b, c}, true);
    EXPECT_EQ(ListItems(), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(State(), ORVO_PLAYER_STOPPED);   // dropping adds, it does not play
    EXPECT_EQ(m_module->CanPlay, 1);
    // The settings follow the list (written behind the window).
    const std::wstring config = m_settings.Path();
    const auto saved = [&](const wchar_t* key) { return mdtest::ReadIni(config, L"Vocalith: params", key, L"absent"); };
    EXPECT_TRUE(PumpUntil([&] { return saved(L"Tracks") == L"3" && saved(L"Track1") == b; }, 10000));

    Select(1);
    Command(kIdRemove);
    EXPECT_EQ(ListItems(), (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_TRUE(PumpUntil([&] { return saved(L"Tracks") == L"2" && saved(L"Track2") == L"absent"; }, 10000));

    Command(ORVO_CMD_PLAY);
    EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
    EXPECT_EQ(Text(kIdTitle), L"a");
    Command(ORVO_CMD_NEXT);
    EXPECT_EQ(Text(kIdTitle), L"c");
    Command(ORVO_CMD_NEXT);   // the end of the list without repeat: c plays on
    EXPECT_EQ(Text(kIdTitle), L"c");
    EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
    Command(ORVO_CMD_PREVIOUS);
    EXPECT_EQ(Text(kIdTitle), L"a");
    Command(ORVO_CMD_PAUSE);
    EXPECT_EQ(State(), ORVO_PLAYER_PAUSED);
    Command(ORVO_CMD_PLAY);   // resumes the same track
    EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
    EXPECT_EQ(Text(kIdTitle), L"a");
    Command(ORVO_CMD_STOP);
    EXPECT_EQ(State(), ORVO_PLAYER_STOPPED);
    EXPECT_EQ(Text(kIdTitle), L"No track");
    // A file opened again plays where it stands in the list; it is not added twice.
    ASSERT_EQ(Open({c}), MESSAGE_OK);
    EXPECT_EQ(ListItems(), (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_EQ(Text(kIdTitle), L"c");
    Command(ORVO_CMD_STOP);
    // A double-click on a line plays it.
    Select(1);
    SendMessageW(m_module->Window, WM_COMMAND, MAKEWPARAM(1003, LBN_DBLCLK), reinterpret_cast<LPARAM>(List()));
    EXPECT_EQ(Text(kIdTitle), L"c");
    EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);

    m_services.Player()->Stop();
    UnloadModule();
    LoadModule();   // the playlist comes back from the settings
    EXPECT_EQ(ListItems(), (std::vector<std::wstring>{L"a", L"c"}));
    EXPECT_EQ(SendMessageW(List(), LB_GETCURSEL, 0, 0), 1);

    // The module's menu and its state answers.
    HMENU menu = m_module->OrvoGetMenu(m_module->Window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    ORVO_CMD_UI state = {kIdRemove, FALSE, 0};
    EXPECT_EQ(m_module->OrvoOnCmdMsg(m_module->Window, kIdRemove, ORVO_CN_UPDATE_COMMAND_UI, &state, nullptr), 1);
    EXPECT_TRUE(state.Enabled);
    EXPECT_EQ(m_module->OrvoOnCmdMsg(m_module->Window, 99, ORVO_CN_COMMAND, nullptr, nullptr), 0);
    EXPECT_NE(m_module->OrvoGetAccelTable, nullptr);
    Command(kIdClearForTest);
    EXPECT_TRUE(ListItems().empty());
    EXPECT_EQ(m_module->CanPlay, 0);
}

TEST_F(Vocalith, TracksFollowEachOtherUnderShuffleAndRepeat) {
    LoadModule();
    std::vector<std::wstring> files;
    for (int i = 0; i < 5; ++i) files.push_back(File(L"t" + std::to_wstring(i) + L".wav", ToneWav(0.2, 440, 440, 0.05)));
    m_services.SetShuffle(true);
    m_services.SetRepeat(false);
    // With shuffle and without repeat: each track once, then the end.
    std::vector<std::wstring> heard;
    ASSERT_EQ(Open(files), MESSAGE_OK);
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::wstring title = Text(kIdTitle);
            if (title != L"No track" && (heard.empty() || heard.back() != title)) heard.push_back(title);
            return title == L"No track" && State() == ORVO_PLAYER_STOPPED;
        },
        60000));
    std::vector<std::wstring> sorted = heard;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L"t0", L"t1", L"t2", L"t3", L"t4"}));

    // Without shuffle, with repeat: after the last comes the first.
    m_services.SetShuffle(false);
    m_services.SetRepeat(true);
    Select(4);
    SendMessageW(m_module->Window, WM_COMMAND, MAKEWPARAM(1003, LBN_DBLCLK), reinterpret_cast<LPARAM>(List()));
    EXPECT_EQ(Text(kIdTitle), L"t4");
    ASSERT_TRUE(PumpUntil([&] { return Text(kIdTitle) == L"t0"; }, 30000));
    Command(ORVO_CMD_PREVIOUS);   // before the first, with repeat: the last
    EXPECT_EQ(Text(kIdTitle), L"t4");
    Command(ORVO_CMD_STOP);
}

TEST_F(Vocalith, PositionCommandMovesPlaybackAndTheTimeFollows) {
    LoadModule();
    ASSERT_EQ(Open({File(L"long.wav", ToneWav(4, 440, 440, 0.05))}), MESSAGE_OK);
    ASSERT_EQ(State(), ORVO_PLAYER_PLAYING);
    EXPECT_EQ(Text(kIdTime).substr(Text(kIdTime).find(L'/')), L"/ 0:04");
    m_frame.positions.clear();
    SendMessageW(m_module->Window, WM_COMMAND, ORVO_CMD_POSITION, 500);
    EXPECT_EQ(State(), ORVO_PLAYER_PLAYING);
    EXPECT_EQ(Text(kIdTime), L"0:02 / 0:04");
    ASSERT_FALSE(m_frame.positions.empty());
    EXPECT_GE(m_frame.positions.back(), 450);
    EXPECT_LE(m_frame.positions.back(), 600);
    // The rest plays to its end, and the frame's slider goes back to the start.
    ASSERT_TRUE(PumpUntil([&] { return State() == ORVO_PLAYER_STOPPED && Text(kIdTitle) == L"No track"; }, 20000));
    EXPECT_EQ(m_frame.positions.back(), 0);

    // At a low rate too the time and the slider follow what is heard, second
    // by second, up to the end of the track.
    std::string low;
    for (int i = 0; i < 3 * 8000; ++i)
        Put16(low, static_cast<std::uint16_t>(static_cast<std::int16_t>(1500 * std::sin(2 * kPi * 440 * i / 8000))));
    ASSERT_EQ(Open({File(L"low.wav", WavOf(1, 1, 16, low, 0, 8000))}), MESSAGE_OK);
    m_frame.positions.clear();
    std::vector<std::wstring> shown;
    ASSERT_TRUE(PumpUntil([&] {
        const std::wstring time = Text(kIdTime);
        if (State() == ORVO_PLAYER_PLAYING && (shown.empty() || shown.back() != time)) shown.push_back(time);
        return State() == ORVO_PLAYER_STOPPED && Text(kIdTitle) == L"No track";
    }));
    if (shown.size() == 4 && shown.back() == L"0:03 / 0:03") shown.pop_back();   // the last sample is being let out
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"0:00 / 0:03", L"0:01 / 0:03", L"0:02 / 0:03"}));
    ASSERT_FALSE(m_frame.positions.empty());
    EXPECT_GE(*std::max_element(m_frame.positions.begin(), m_frame.positions.end()), 600);
}

}  // namespace

// The skin's toolbar of the module: made with the window from the program's
// skin, a real click on its "Remove" removes the selected track, and after a
// skin change (OrvoLoadSkin) it is made again or, without the element, gone.
TEST_F(Vocalith, TheSkinsToolbarRemovesTheSelectedTrackAndFollowsSkinChanges) {
    constexpr int kToolbar = 0x7F00;
    const std::wstring skinFile = MD_SKINS_DIR L"/Midnight-eng.xml";
    enXml skin;
    ASSERT_TRUE(skin.Load(skinFile));
    ASSERT_EQ(LoadStandardSkin(skinFile.c_str()), S_OK);   // where the skin's pictures are found
    m_frame.skin = &skin;
    LoadModule();
    HWND window = m_module->Window;
    // Where the windows of the controls' own tests do not lie: real mouse clicks.
    SetWindowPos(m_frame.m_main, HWND_TOP, 10, 380, 700, 360, SWP_SHOWWINDOW);
    MoveWindow(window, 0, 0, 680, 300, TRUE);
    ShowWindow(window, SW_SHOW);
    HWND bar = GetDlgItem(window, kToolbar);
    ASSERT_TRUE(bar);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, kIdRemove)));   // the toolbar stands for the buttons
    RECT barRect = {}, listRect = {};
    GetWindowRect(bar, &barRect);
    GetWindowRect(List(), &listRect);
    EXPECT_GE(listRect.top, barRect.bottom);

    mdtest::DropFiles(m_module->Window,
                      {File(L"a.wav", ToneWav(1, 440, 440, 0.05)), File(L"b.wav", ToneWav(1, 440, 440, 0.05)),
                       File(L"c.wav", ToneWav(1, 440, 440, 0.05))},
                      true);
    Select(1);
    HWND remove = GetDlgItem(bar, kIdRemove);
    ASSERT_TRUE(remove);
    ASSERT_TRUE(fw::testing::ClickWindowCentre(remove));
    EXPECT_TRUE(PumpUntil([&] { return ListItems().size() == 2; }, 10000));
    EXPECT_EQ(ListItems(), (std::vector<std::wstring>{L"a", L"c"}));

    const auto toolbars = [&] {
        int count = 0;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (GetDlgCtrlID(child) == kToolbar) ++count;
        return count;
    };
    ASSERT_NE(m_module->OrvoLoadSkin, nullptr);
    m_module->OrvoLoadSkin(window, 0);   // the same skin again: a new toolbar in place of the old
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_EQ(toolbars(), 1);
    m_frame.skin = nullptr;               // a skin without the element
    m_module->OrvoLoadSkin(window, 0);
    EXPECT_EQ(toolbars(), 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, kIdRemove)));
    UnloadModule();
}
