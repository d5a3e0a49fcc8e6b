// Sonicut.dll in the test host with the real capture engine behind IMicro. In
// the test environment the default wave-input device is the null sink's
// monitor, so a tone played on the wave-output device comes back through the
// microphone: the recording must hold it (frequency and level), the meter
// must show its level, and every way a recording ends must leave a valid file.
#include "module_test_host.h"

#include "audiotest/recorder.h"
#include "audiotest/tone_analysis.h"
#include "fw/testing/screenshot.h"
#include "micro/ext_micro.h"
#include "sonicut/wav_file.h"

#include "fw/testing/find_window.h"
#include "fw/testing/input.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <atomic>
#include <thread>
#include <vector>

using namespace mdtest;

namespace {

constexpr UINT kRecord = 42010;
constexpr UINT kPause = 42011;
constexpr UINT kStop = 42012;
constexpr UINT kBrowse = 42013;
constexpr UINT kFile = 42101;
constexpr UINT kFormat = 42102;
constexpr UINT kMeter = 42103;
constexpr UINT kTime = 42104;
constexpr UINT kStatus = 42105;

std::wstring Text(HWND hwnd)
{
    wchar_t text[2048] = {};
    GetWindowTextW(hwnd, text, 2048);
    return text;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Plays a stereo 16-bit tone on the default wave-output device (the null sink).
class CTonePlayer {
public:
    CTonePlayer(double hz, double amplitude, double seconds)
    {
        const int frames = static_cast<int>(seconds * 44100);
        m_samples.resize(static_cast<std::size_t>(frames) * 2);
        for (int f = 0; f < frames; ++f) {
            const auto v = static_cast<std::int16_t>(std::lround(amplitude * 32767 * std::sin(2 * 3.14159265358979 * hz * f / 44100)));
            m_samples[2 * f] = v;
            m_samples[2 * f + 1] = v;
        }
    }
    ~CTonePlayer() { Stop(); }
    bool Start()
    {
        WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        if (waveOutOpen(&m_device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
        m_header = {};
        m_header.lpData = reinterpret_cast<LPSTR>(m_samples.data());
        m_header.dwBufferLength = static_cast<DWORD>(m_samples.size() * 2);
        return waveOutPrepareHeader(m_device, &m_header, sizeof(m_header)) == MMSYSERR_NOERROR &&
               waveOutWrite(m_device, &m_header, sizeof(m_header)) == MMSYSERR_NOERROR;
    }
    void Stop()
    {
        if (!m_device) return;
        waveOutReset(m_device);
        waveOutUnprepareHeader(m_device, &m_header, sizeof(m_header));
        waveOutClose(m_device);
        m_device = nullptr;
    }

private:
    std::vector<std::int16_t> m_samples;
    HWAVEOUT m_device = nullptr;
    WAVEHDR m_header = {};
};

// The number after `label` in `text`, or NaN.
double NumberAfter(const std::wstring& text, const std::wstring& label)
{
    const std::size_t at = text.find(label);
    if (at == std::wstring::npos) return NAN;
    return std::wcstod(text.c_str() + at + label.size(), nullptr);
}

// Answers the module's file chooser (from another thread) with `path`, and
// cancels it when it does not close.
void AnswerFileChooser(HWND dialog, const std::wstring& path)
{
    Sleep(300);
    // The file name box (edt1, or the combo box cmb13 of the explorer-style dialog).
    SetDlgItemTextW(dialog, 0x480, path.c_str());
    SetDlgItemTextW(dialog, 0x47C, path.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The test tone: its samples repeat only once a second, so a few of them
// find their place in another recording of it.
constexpr double kHz = 997;

class SonicutModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = FreshTempFolder(L"sonicut-program");
        folder = FreshTempFolder(L"sonicut-recordings");
        host = std::make_unique<CModuleTestHost>(program);
        // The effect manager in the program folder, where the module looks for it.
        ASSERT_TRUE(CopyFileW((ExeFolder() + L"Sonarix.dll").c_str(), (program + L"Sonarix.dll").c_str(), FALSE));
        ASSERT_TRUE(host->Load(ExeFolder() + L"Sonicut.dll")) << Narrow(host->Error());
        window = host->ModuleWindow();
        file = GetDlgItem(window, kFile);
        format = GetDlgItem(window, kFormat);
        meter = GetDlgItem(window, kMeter);
        time = GetDlgItem(window, kTime);
        status = GetDlgItem(window, kStatus);
        ASSERT_TRUE(file && format && meter && time && status);
    }
    void TearDown() override
    {
        host.reset();
        RemoveTree(program);
        RemoveTree(folder);
    }
    void Click(UINT id)
    {
        SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
        Pump(20);
    }
    // Pumps until the recorded time shows at least `seconds`.
    bool RecordFor(int seconds)
    {
        wchar_t want[16] = {};
        std::swprintf(want, 16, L"00:00:%02d", seconds);
        return PumpUntil([&] { return Text(time) >= want; }, 20000);
    }
    std::wstring Setting(const wchar_t* key)
    {
        wchar_t buffer[512] = {};
        GetPrivateProfileStringW(L"Sonicut: params", key, L"", buffer, 512, host->SettingsFile().c_str());
        return buffer;
    }

    std::wstring program, folder;
    std::unique_ptr<CModuleTestHost> host;
    HWND window = nullptr, file = nullptr, format = nullptr, meter = nullptr, time = nullptr, status = nullptr;
};

// What is wrong with the recorded tone; empty when it is right. Under load
// the sound server's capture streams can drop a moment of sound on their
// own (an independent recorder on the same monitor shows such gaps at other
// places), so the tone is judged on its best stretch of 1.5 seconds, which
// must run without a gap at the tone's frequency and level; a recorder that
// lost, repeated or reordered its buffers (a tenth of a second each) has no
// such stretch.
// The 16-bit samples of a WAV file's bytes; empty when it is none.
std::vector<std::int16_t> SamplesOf(const std::string& bytes)
{
    const auto info = sonicut::ParseWav(bytes);
    if (!info || info->format.bits != 16) return {};
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info->dataBytes / 2));
    std::memcpy(samples.data(), bytes.data() + info->dataOffset, samples.size() * 2);
    return samples;
}

// The file's `bytes`, judged on its `samples` (those of the file, or fewer).
std::string ToneFindings(const std::string& bytes, const std::vector<std::int16_t>& samples)
{
    const auto info = sonicut::ParseWav(bytes);
    if (!info) return "not a WAV file";
    if (info->format.channels != 2 || info->format.rate != 44100 || info->format.bits != 16) return "wrong format";
    if (info->dataBytes != info->claimedBytes) return "header and data differ";
    std::string findings;
    for (int channel = 0; channel < 2; ++channel) {
        const std::vector<double> x = audiotest::Channel(samples, 2, channel);
        const audiotest::Span sound = audiotest::FindSound(x, 3000);
        if (sound.Length() < 3 * 44100) return "less than three seconds of tone: " + std::to_string(sound.Length());
        std::string best = "no continuous stretch; ";
        for (std::int64_t from = sound.first + 441; from + 66150 <= sound.last - 441 && !best.empty(); from += 11025) {
            const std::int64_t to = from + 66150;
            const auto check = audiotest::CheckTone(x, from, to, kHz, 44100);
            if (!check.continuous) continue;
            best.clear();
            const double hz = audiotest::MeasureFrequency(x, from, to, 44100);
            if (std::fabs(hz - kHz) > 2) best += "frequency " + std::to_string(hz) + "; ";
            if (std::fabs(check.amplitude - 0.5 * 32767) > 0.03 * 0.5 * 32767) {
                best += "amplitude " + std::to_string(check.amplitude) + "; ";
            }
            if (!best.empty()) break;   // a clean stretch at the wrong frequency or level is a fault
        }
        findings += best;
    }
    return findings;
}

// The recording of the null sink's monitor that monitor-run makes in a
// process of its own (named in MD_MONITOR_RECORDING): what the server played
// from the moment Start was called.
class CMonitorRecording {
public:
    bool Start()
    {
        wchar_t path[MAX_PATH] = {};
        if (!GetEnvironmentVariableW(L"MD_MONITOR_RECORDING", path, MAX_PATH)) return false;
        m_path = path;
        m_from = ReadBytes(m_path).size() / 4 * 4;
        return true;
    }
    std::vector<std::int16_t> Stop()
    {
        Sleep(300);   // the reader's latency
        const std::string bytes = ReadBytes(m_path);
        std::vector<std::int16_t> samples(bytes.size() > m_from ? (bytes.size() - m_from) / 4 * 2 : 0);
        if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + m_from, samples.size() * 2);
        return samples;
    }

private:
    std::wstring m_path;
    std::size_t m_from = 0;
};

// The stretches of silence inside the tone of Sonicut's file, each taken for
// the sound server's only when `monitor` (what the server played) holds a
// silence at least as long between the same sound before and after it. The
// tone's samples repeat only once a second, so the sound on each side is
// found in one place. Silence where the server played the tone, or played on
// without a break, is Sonicut's: the file is its output.
struct FileSilences {
    std::vector<audiotest::Silence> played;   // by the server
    std::string own;                          // Sonicut's, described
};

FileSilences JudgeFileSilences(const std::vector<std::int16_t>& file, const std::vector<std::int16_t>& monitor)
{
    FileSilences out;
    const auto fileFrames = static_cast<std::int64_t>(file.size() / 2);
    const auto monitorFrames = static_cast<std::int64_t>(monitor.size() / 2);
    auto same = [&](std::int64_t a, std::int64_t b) {   // 32 frames of the file at a, of the monitor at b
        if (a < 0 || b < 0 || a + 32 > fileFrames || b + 32 > monitorFrames) return false;
        for (std::int64_t i = 0; i < 64; ++i) {
            if (std::abs(file[static_cast<std::size_t>(2 * a + i)] - monitor[static_cast<std::size_t>(2 * b + i)]) > 2) {
                return false;
            }
        }
        return true;
    };
    // The server's silences: stretches of exact zeros, first and end frame.
    std::vector<std::pair<std::int64_t, std::int64_t>> zeros;
    for (std::int64_t f = 0; f < monitorFrames; ++f) {
        if (monitor[static_cast<std::size_t>(2 * f)] != 0 || monitor[static_cast<std::size_t>(2 * f + 1)] != 0) continue;
        if (!zeros.empty() && zeros.back().second == f) {
            zeros.back().second = f + 1;
        } else {
            zeros.emplace_back(f, f + 1);
        }
    }
    // The file's silence lies in one of them when the sound before it is the
    // sound before that silence and the sound after it the sound after, up to
    // what Sonicut's capture stream lost on either side (it stalls with the
    // program, and then drops a piece that may take a little of the tone too).
    constexpr std::int64_t kLost = 4410;
    auto played = [&](const audiotest::Silence& s) {
        for (std::int64_t before = 0; before + 32 <= monitorFrames; ++before) {
            if (!same(s.frame - 32, before)) continue;
            const std::int64_t from = before + 32;
            for (const auto& [first, end] : zeros) {
                if (first < from || first - from > kLost || end - first < s.frames - 2) continue;
                for (std::int64_t after = end; after - end <= kLost - (first - from); ++after) {
                    if (same(s.frame + s.frames, after)) return true;
                }
            }
        }
        return false;
    };
    for (const audiotest::Silence& s : audiotest::FindSilences(file, 2, {kHz, kHz}, 44100)) {
        if (played(s)) {
            out.played.push_back(s);
        } else {
            out.own += s.Describe(44100) + "; ";
        }
    }
    return out;
}

}  // namespace

// The sound server can drop out for a moment on a busy machine and play
// silence into the tone: the file holds it then, as a recorder on the same
// monitor does, and it is taken out before the tone is judged. The recording
// is made again (three times in all) only when the meter, read at a place
// where the server played such silence, missed the tone; silence in the file
// that the monitor did not play, and any other fault, fail at once.
TEST_F(SonicutModule, RecordsAToneWithItsFrequencyAndLevel)
{
    EXPECT_EQ(Text(window), L"Sonicut");
    EXPECT_EQ(Text(status), L"Ready.");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kStop)));
    std::string findings;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const std::wstring path = folder + L"tone " + std::to_wstring(attempt) + L".wav";
        SetWindowTextW(file, path.c_str());
        SendMessageW(format, CB_SETCURSEL, 0, 0);   // 44100 Hz, 16-bit, stereo
        CMonitorRecording monitor;
        ASSERT_TRUE(monitor.Start()) << "no recording of the monitor: run through monitor-run";
        CTonePlayer tone(kHz, 0.5, 6.0);
        ASSERT_TRUE(tone.Start());
        Pump(400);
        Click(kRecord);
        ASSERT_EQ(Text(status), L"Recording to " + path);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kRecord)));
        EXPECT_FALSE(IsWindowEnabled(file));
        ASSERT_TRUE(RecordFor(2));
        // The meter shows the tone: peak at half scale (-6 dB), RMS 3 dB lower.
        // Between buffers it falls back, so it is read a few times for the
        // highest reading (a buffer late on a busy machine shows it falling).
        std::wstring level = Text(meter);
        const std::int64_t levelAt = (static_cast<std::int64_t>(ReadBytes(path).size()) - 44) / 4;
        for (int read = 0; read < 4; ++read) {
            Pump(60);
            const std::wstring again = Text(meter);
            if (NumberAfter(again, L"left peak ") > NumberAfter(level, L"left peak ")) level = again;
        }
        ASSERT_TRUE(RecordFor(3));
        fw::testing::SaveWindowScreenshot(host->Frame(), fw::testing::ScreenshotPath(L"melodrift_sonicut.png"));
        ASSERT_TRUE(RecordFor(4));
        Click(kStop);
        tone.Stop();
        const std::vector<std::int16_t> monitored = monitor.Stop();
        EXPECT_EQ(Text(status).substr(0, 6), L"Saved ") << Narrow(Text(status));
        EXPECT_NE(Text(status).find(path), std::wstring::npos);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kRecord)));
        EXPECT_EQ(Text(meter), L"Level: not recording");
        const std::string recorded = ReadBytes(path);
        const std::vector<std::int16_t> samples = SamplesOf(recorded);
        const FileSilences silences = JudgeFileSilences(samples, monitored);
        EXPECT_EQ(silences.own, "") << "silence in the file that the sound server did not play (the monitor's "
                                    << "recording kept as sonicut_monitor_" << attempt << ".wav)";
        if (!silences.own.empty()) {
            audiotest::WriteWav(L"sonicut_monitor_" + std::to_wstring(attempt) + L".wav", monitored, 2, 44100);
            CopyFileW(path.c_str(), (L"sonicut_file_" + std::to_wstring(attempt) + L".wav").c_str(), FALSE);
        }
        for (const audiotest::Silence& s : silences.played) std::printf("the server's silence: %s\n", s.Describe(44100).c_str());
        findings = ToneFindings(recorded, audiotest::WithoutSilences(samples, 2, silences.played));
        std::string meter;
        if (!(std::fabs(NumberAfter(level, L"left peak ") + 6.0) < 0.5)) meter += "meter " + Narrow(level) + "; ";
        if (std::fabs(NumberAfter(level, L", RMS ") + 9.0) > 0.5) meter += "meter RMS " + Narrow(level) + "; ";
        if (findings.empty() && meter.empty()) break;
        // The meter shows the last tenths of a second before it was read.
        std::string cause;
        for (const audiotest::Silence& s : silences.played) {
            if (s.frame + s.frames >= levelAt - 11025 && s.frame <= levelAt + 15435) cause += s.Describe(44100) + "; ";
        }
        // With no stretch of 1.5 seconds free of the server's silence the tone
        // cannot be judged: another attempt.
        const bool unjudged = findings == "no continuous stretch; no continuous stretch; " && !silences.played.empty();
        if (unjudged) cause += std::to_string(silences.played.size()) + " stretches of the server's silence; ";
        findings += meter;
        if (!findings.empty() && (cause.empty() || !silences.own.empty() || (findings != meter && !unjudged))) break;
        std::printf("attempt %d: %s\n  tried again: the sound server altered the stream where the meter was read (%s)\n",
                    attempt, findings.c_str(), cause.c_str());
    }
    EXPECT_EQ(findings, "");
    EXPECT_EQ(Setting(L"Folder") + L"\\", folder);
    EXPECT_EQ(Setting(L"Format"), L"44100 Hz, 16-bit, stereo");
}

// Pitch Up chosen from the Morph menu (the frame routes its commands to the
// module): the menu shows it checked, it is kept, and, with its semitones
// set to six (formants not kept) in the Effects Library, chosen while a
// tone is recorded, and "none" half a second later: the file holds the tone
// at that ratio from within 150 ms of each command's place in it (the frames
// it held when the command came) with no gap and nothing lost or repeated
// across the switches. Then a special effect used from the library: its menu item
// checked with and without a preset, the preset's item only while its values
// are the ones in use.
TEST_F(SonicutModule, RecordsWithTheEffectChosenInTheMorphMenu)
{
    ASSERT_EQ(host->OnCmdMsg(17101, ORVO_CN_COMMAND), 1);
    const auto check = [&](UINT id) {
        ORVO_CMD_UI ui = {id, FALSE, -1};
        return host->OnCmdMsg(id, ORVO_CN_UPDATE_COMMAND_UI, &ui) == 1 && ui.Enabled ? ui.Check : -2;
    };
    EXPECT_EQ((std::vector<int>{check(17101), check(17100), check(17105)}), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(Setting(L"MorphVoice"), L"1");
    // The Effects Library (View menu) opens on the effect in use.
    ASSERT_EQ(host->OnCmdMsg(372, ORVO_CN_COMMAND), 1);
    Pump(50);
    HWND library = fw::testing::FindOwnWindow(L"MorphEffectsLibrary", L"Effects Library", true);
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(check(372) == 1 && IsDlgButtonChecked(library, 101) == BST_CHECKED);
    const auto slide = [&](int slider, int position) {
        SendDlgItemMessageW(library, slider, TBM_SETPOS, TRUE, position);
        SendMessageW(library, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(GetDlgItem(library, slider)));
        Pump(20);
    };
    slide(300, 500);   // Semitones: half of 0..12
    slide(302, 0);     // Keep Formants off (a pure tone has no formants to keep)
    EXPECT_EQ(Setting(L"MorphParams1"), L"6;1;0");
    const double hz = kHz * std::pow(2.0, 6.0 / 12.0);
    std::string findings;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const std::wstring path = folder + L"morphed " + std::to_wstring(attempt) + L".wav";
        SetWindowTextW(file, path.c_str());
        SendMessageW(format, CB_SETCURSEL, 0, 0);
        CTonePlayer tone(kHz, 0.3, 6.0);
        ASSERT_TRUE(tone.Start());
        ASSERT_EQ(host->OnCmdMsg(17100, ORVO_CN_COMMAND), 1);
        Pump(400);
        Click(kRecord);
        const auto framesNow = [&] {
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? (std::int64_t{data.nFileSizeLow} - 44) / 4 : 0;
        };
        // Pitch Up for half a second: the plain tone on both sides is judged
        // across it, and the longer the stretch, the likelier the capture
        // stream under load slips a frame or two of its own in it.
        ASSERT_TRUE(RecordFor(1));
        std::int64_t upAt = framesNow();
        ASSERT_EQ(host->OnCmdMsg(17101, ORVO_CN_COMMAND), 1);
        ASSERT_TRUE(PumpUntil([&] { return framesNow() >= upAt + 22050; }, 20000));
        std::int64_t backAt = framesNow();
        ASSERT_EQ(host->OnCmdMsg(17100, ORVO_CN_COMMAND), 1);
        ASSERT_TRUE(RecordFor(3));
        Click(kStop);
        tone.Stop();
        const std::string bytes = ReadBytes(path);
        // Judged without the silence a busy sound server plays on its own, the commands' places moved along.
        const std::vector<std::int16_t> recorded = SamplesOf(bytes);
        ASSERT_FALSE(recorded.empty());
        const std::vector<audiotest::Silence> dropouts = audiotest::FindSilences(recorded, 2, {kHz, kHz}, 44100);
        for (std::int64_t* at : {&upAt, &backAt}) {
            std::int64_t removed = 0;
            for (const audiotest::Silence& d : dropouts) removed += std::clamp<std::int64_t>(*at - d.frame, 0, d.frames);
            *at -= removed;
        }
        const std::vector<double> x = audiotest::Channel(audiotest::WithoutSilences(recorded, 2, dropouts), 2, 0);
        const audiotest::Span sound = audiotest::FindSound(x, 2000);
        findings.clear();
        if (sound.Length() < 2 * 44100 || upAt < sound.first + 22050 || backAt < upAt + 17640 || backAt + 44100 > sound.last) {
            findings = "too little sound around the commands; ";
        } else {
            const double measured = audiotest::MeasureFrequency(x, upAt + 6615, backAt, 44100);
            if (std::fabs(measured - hz) > 0.01 * hz) findings = "recorded at " + std::to_string(measured) + " Hz; ";
            const double between = (kHz + hz) / 2;
            const std::int64_t up = audiotest::FramesUntilPitch(x, upAt, between, true, 44100), back = audiotest::FramesUntilPitch(x, backAt, between, false, 44100);
            std::printf("attempt %d: Pitch Up in the file %.3f s after the command's place, none %.3f s after\n", attempt,
                        up / 44100.0, back / 44100.0);
            if (up < 0 || up > 6615 || back < 0 || back > 6615) {
                findings += "switched " + std::to_string(up / 44100.0) + " s and " + std::to_string(back / 44100.0) + " s late; ";
            }
            // No gap: nothing silent for more than 5 ms inside the sound.
            std::int64_t quiet = 0, longest = 0, longestEnd = 0;
            for (std::int64_t i = sound.first; i <= sound.last; ++i) {
                quiet = std::fabs(x[static_cast<std::size_t>(i)]) < 0.02 * 0.3 * 32767 ? quiet + 1 : 0;
                if (quiet > longest) longest = quiet, longestEnd = i + 1;
            }
            if (longest > 220) {
                findings += "a gap of " + std::to_string(longest) + " samples before " + std::to_string(longestEnd) + " (commands at " +
                            std::to_string(upAt) + " and " + std::to_string(backAt) + "); ";
            }
            // No click: from sample to sample the sound moves no faster than
            // the two tones faded into each other can (about 2,400 here).
            double step = 0;
            for (std::int64_t i = upAt - 4410; i < backAt + 4410; ++i) {
                step = std::max(step, std::fabs(x[static_cast<std::size_t>(i + 1)] - x[static_cast<std::size_t>(i)]));
            }
            if (step > 3000) findings += "a click of " + std::to_string(step) + " from one sample to the next; ";
            // The plain tone after both switches is in phase with the plain
            // tone before: a buffer (a tenth of a second) lost or repeated
            // moves it by 108 degrees; the capture stream of a busy machine
            // slips by a frame or three now and then (8 degrees each).
            const double slip = std::fabs(std::remainder(audiotest::PhaseAt(x, backAt + 13230, backAt + 35280, kHz, 44100) -
                                                         audiotest::PhaseAt(x, upAt - 22050, upAt, kHz, 44100), 360.0));
            if (slip > 30) findings += "the tone's phase moved " + std::to_string(slip) + " degrees across the switches; ";
        }
        if (findings.empty()) break;
        std::printf("attempt %d: %s(kept as sonicut_morphed_%d.wav)\n", attempt, findings.c_str(), attempt);
        CopyFileW(path.c_str(), (L"sonicut_morphed_" + std::to_wstring(attempt) + L".wav").c_str(), FALSE);
    }
    EXPECT_EQ(findings, "");

    // Echo used from the library: checked in the menu beside the voice morph, no preset of it.
    ASSERT_EQ(host->OnCmdMsg(17101, ORVO_CN_COMMAND), 1);
    HWND list = GetDlgItem(library, 100);
    const LRESULT echo = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Echo"));
    ASSERT_GE(echo, 0);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(echo), 0);
    SendMessageW(library, WM_COMMAND, MAKEWPARAM(100, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(IsDlgButtonChecked(library, 101), BST_UNCHECKED);
    SendDlgItemMessageW(library, 101, BM_CLICK, 0, 0);
    Pump(20);
    const UINT echoItem = 17120, stadium = 17200 + 20 * 16 + 1;
    EXPECT_EQ((std::vector<int>{check(echoItem), check(17101), check(stadium)}), (std::vector<int>{1, 1, 0}));
    // A preset chosen in the library is the menu's; a parameter moved after it leaves the effect checked, the preset not.
    SendDlgItemMessageW(library, 102, CB_SETCURSEL, 2, 0);
    SendMessageW(library, WM_COMMAND, MAKEWPARAM(102, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(library, 102)));
    Pump(20);
    EXPECT_EQ((std::vector<int>{check(echoItem), check(stadium)}), (std::vector<int>{1, 1}));
    EXPECT_EQ(Setting(L"MorphSpecialPreset"), L"1");
    slide(301, 100);   // Feedback
    EXPECT_EQ((std::vector<int>{check(echoItem), check(stadium)}), (std::vector<int>{1, 0}));
    EXPECT_EQ(Setting(L"MorphSpecial"), L"20");
    EXPECT_EQ(Setting(L"MorphSpecialPreset"), L"-1");
    SendMessageW(library, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(check(372), 0);
}

TEST_F(SonicutModule, PauseStopAndLosingTheMicrophoneLeaveValidFiles)
{
    // 8-bit mono, paused for a while: the file does not grow and the time stands still.
    const std::wstring path = folder + L"paused.wav";
    SetWindowTextW(file, path.c_str());
    SendMessageW(format, CB_SETCURSEL, 5, 0);   // 44100 Hz, 8-bit, mono
    Click(kRecord);
    ASSERT_TRUE(RecordFor(1));
    Click(kPause);
    EXPECT_EQ(Text(GetDlgItem(window, kPause)), L"Resume");
    EXPECT_EQ(Text(status), L"Paused: " + path);
    Pump(300);   // the buffer being filled comes back
    const std::wstring pausedAt = Text(time);
    const auto sizeNow = [&] { return ReadBytes(path).size(); };
    const std::size_t pausedSize = sizeNow();
    Pump(1500);
    EXPECT_EQ(Text(time), pausedAt);
    EXPECT_EQ(sizeNow(), pausedSize);
    // While recording, the file on disk is already a WAV file (sizes kept up to date).
    EXPECT_TRUE(sonicut::ParseWav(ReadBytes(path)).has_value());
    Click(kPause);
    EXPECT_EQ(Text(GetDlgItem(window, kPause)), L"Pause");
    ASSERT_TRUE(RecordFor(2));
    Click(kStop);
    auto info = sonicut::ParseWav(ReadBytes(path));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->format.channels, 1);
    EXPECT_EQ(info->format.bits, 8);
    EXPECT_EQ(info->dataBytes, info->claimedBytes);
    EXPECT_GE(info->dataBytes, 2u * 44100u);
    EXPECT_LT(info->dataBytes, 4u * 44100u);
    EXPECT_EQ(ReadBytes(path).size(), 44u + info->dataBytes + (info->dataBytes & 1));

    // Recording over an existing file asks first: No records nothing, Yes replaces it.
    const std::wstring other = folder + L"existing.wav";
    ASSERT_TRUE(WriteBytes(other, "keep me"));
    for (const int answer : {IDNO, IDYES}) {
        SendMessageW(format, CB_SETCURSEL, 1, 0);   // 44100 Hz, 16-bit, mono
        SetWindowTextW(file, other.c_str());
        std::thread driver([&] {
            HWND box = WaitForDialog(L"Sonicut");
            if (box) PostMessageW(box, WM_COMMAND, answer, 0);
        });
        Click(kRecord);
        driver.join();
        Pump(50);
        if (answer == IDNO) {
            EXPECT_EQ(ReadBytes(other), "keep me");
            EXPECT_EQ(Text(GetDlgItem(window, kStop)), L"Stop");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kStop)));
        }
    }
    ASSERT_TRUE(RecordFor(1));
    // Another module takes the microphone: the recording ends as a whole file.
    SendMessageW(window, ORVO_WM_RECORDER_RELEASED, 0, 0);
    Pump(50);
    EXPECT_EQ(Text(status).substr(0, 35), L"Another module took the microphone.") << Narrow(Text(status));
    info = sonicut::ParseWav(ReadBytes(other));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->format.channels, 1);
    EXPECT_EQ(info->dataBytes, info->claimedBytes);
    EXPECT_GE(info->dataBytes, 88200u);

    // The bus: "record" with a quoted name and "stop"; the frame's Record command.
    const std::wstring bus = folder + L"from the bus.wav";
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"record \"" + bus + L"\"").c_str()), 1);
    ASSERT_TRUE(RecordFor(1));
    EXPECT_EQ(host->PassMessage(L"Main frame", L"stop"), 1);
    EXPECT_TRUE(sonicut::ParseWav(ReadBytes(bus)).has_value());
    const std::wstring viaFrame = folder + L"via the frame.wav";
    SetWindowTextW(file, viaFrame.c_str());
    SendMessageW(window, WM_COMMAND, ORVO_CMD_RECORD, 0);
    ASSERT_TRUE(RecordFor(1));
    ORVO_CMD_UI ui = {kStop, FALSE, 0};
    EXPECT_EQ(host->OnCmdMsg(kStop, ORVO_CN_UPDATE_COMMAND_UI, &ui), 1);
    EXPECT_TRUE(ui.Enabled);
    // Closing the program while recording finishes the file.
    host->Unload();
    info = sonicut::ParseWav(ReadBytes(viaFrame));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->dataBytes, info->claimedBytes);
    EXPECT_GT(info->dataBytes, 0u);
}

TEST_F(SonicutModule, TheSaveDialogChoosesTheFile)
{
    const std::wstring chosen = folder + L"chosen.wav";
    std::thread driver([&] {
        if (HWND dialog = WaitForDialog(L"Record to")) AnswerFileChooser(dialog, chosen);
    });
    Click(kBrowse);
    driver.join();
    EXPECT_EQ(Text(file), chosen);
    EXPECT_EQ(Setting(L"Folder") + L"\\", folder);
}

// Run by the next test in a child process of this program (disabled in the
// ordinary run): records to the file it is given until the process is ended
// from outside.
TEST_F(SonicutModule, DISABLED_ChildRecordsUntilEnded)
{
    wchar_t target[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"SONICUT_CHILD_FILE", target, MAX_PATH)) GTEST_SKIP() << "run by CrashLeavesAReadableFile";
    SetWindowTextW(file, target);
    Click(kRecord);
    Pump(120000);
}

TEST_F(SonicutModule, CrashLeavesAReadableFile)
{
    const std::wstring crashFolder = FreshTempFolder(L"sonicut-crash");
    const std::wstring path = crashFolder + L"cut short.wav";
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=SonicutModule.DISABLED_ChildRecordsUntilEnded";
    SetEnvironmentVariableW(L"SONICUT_CHILD_FILE", path.c_str());
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION child = {};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"SONICUT_CHILD_FILE", nullptr);
    ASSERT_TRUE(started);
    // Two and a half seconds of sound in the file, then the program ends without a word.
    const bool grew = PumpUntil([&] { return ReadBytes(path).size() >= 44u + 176400u * 5 / 2; }, 60000);
    TerminateProcess(child.hProcess, 3);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    // The child ended without its clean-up.
    RemoveTree(TempFolderOf(L"sonicut-program", child.dwProcessId));
    RemoveTree(TempFolderOf(L"sonicut-recordings", child.dwProcessId));
    ASSERT_TRUE(grew);
    const std::string bytes = ReadBytes(path);
    const auto info = sonicut::ParseWav(bytes);
    ASSERT_TRUE(info.has_value());
    // The header was last brought up to date at most a second (and a buffer) before the end.
    EXPECT_GE(info->claimedBytes, 176400u);
    EXPECT_EQ(info->dataBytes, info->claimedBytes);
    EXPECT_LE(bytes.size() - 44 - info->dataBytes, 176400u + 17640u);
    EXPECT_EQ(info->dataBytes % 4, 0u);
    RemoveTree(crashFolder);
}

// The skin's toolbar of the module, made when the skin changes: a real click
// on its "Save to..." opens the file chooser, its buttons follow the
// recorder's state, and a skin without the element takes it away again.
TEST_F(SonicutModule, TheSkinsToolbarChoosesTheFileAndFollowsTheRecorder)
{
    constexpr int kToolbar = 0x7F00;
    EXPECT_FALSE(GetDlgItem(window, kToolbar));
    ASSERT_TRUE(host->SetSkin(MD_SKINS_DIR L"/Midnight-eng.xml"));
    // Where the windows of the controls' own tests do not lie: real mouse clicks.
    SetWindowPos(host->Frame(), HWND_TOP, 10, 380, 760, 360, SWP_NOACTIVATE);
    Pump(50);
    HWND bar = GetDlgItem(window, kToolbar);
    ASSERT_TRUE(bar);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, kBrowse)));
    RECT barRect = {}, fileRect = {};
    GetWindowRect(bar, &barRect);
    GetWindowRect(file, &fileRect);
    EXPECT_GE(fileRect.top, barRect.bottom);
    // Stopped: nothing to pause or stop.
    ASSERT_TRUE(GetDlgItem(bar, kBrowse));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(bar, kBrowse)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(bar, kStop)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(bar, kPause)));

    const std::wstring chosen = folder + L"from-toolbar.wav";
    std::atomic<bool> shown{false}, done{false};
    std::thread driver([&] {
        if (HWND dialog = WaitForDialog(L"Record to")) {
            shown = true;
            AnswerFileChooser(dialog, chosen);
        }
        done = true;
    });
    ASSERT_TRUE(fw::testing::ClickWindowCentre(GetDlgItem(bar, kBrowse)));
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 20000));
    driver.join();
    EXPECT_TRUE(shown);
    EXPECT_EQ(Text(file), chosen);

    ASSERT_TRUE(host->SetSkin(L""));
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_FALSE(GetDlgItem(window, kToolbar));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, kBrowse)));
}
