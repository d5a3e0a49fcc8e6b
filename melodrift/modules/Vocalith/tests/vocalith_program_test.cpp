// Melodrift.exe with Vocalith in its Modules folder, run from a scratch copy
// and watched from outside: a WAV file named on the command line reaches
// Vocalith over the bus and is heard in the sound server's monitor, with the
// volume and balance set from the frame's sliders, and the frame's position
// slider following it; the frame's Pause and Stop act on it. One Melodrift:
// later starts hand their files over to the running copy; the media keys act
// on Vocalith. And the frame with each of the three modules in front, their
// skin toolbars at the top.
#include "audiotest/recorder.h"
#include "audiotest/tone_analysis.h"
#include "fw/testing/find_window.h"
#include "fw/testing/input.h"
#include "fw/testing/screenshot.h"
#include "program_test_support.h"
#include "tunestack/library_files.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

void Put16(std::string& b, unsigned v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// Frames [from, to) of the tone (to < 0: its end).
std::string ToneWav(double seconds, double leftHz, double rightHz, double amplitude, int channels = 2, int rate = kRate,
                    int from = 0, int to = -1) {
    std::string data;
    for (int i = from; i < (to < 0 ? static_cast<int>(seconds * rate) : to); ++i)
        for (int c = 0; c < channels; ++c) {
            const double hz = c == 0 ? leftHz : rightHz;
            Put16(data, static_cast<std::uint16_t>(
                            static_cast<std::int16_t>(std::lround(amplitude * 32767 * std::sin(2 * kPi * hz * i / rate)))));
        }
    std::string b = "RIFF";
    Put32(b, static_cast<std::uint32_t>(36 + data.size()));
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, static_cast<unsigned>(channels));
    Put32(b, static_cast<std::uint32_t>(rate));
    Put32(b, static_cast<std::uint32_t>(rate * 2 * channels));
    Put16(b, static_cast<unsigned>(2 * channels));
    Put16(b, 16);
    b += "data";
    Put32(b, static_cast<std::uint32_t>(data.size()));
    return b + data;
}

// Every DLL of the installed program and the module, into the scratch copy.
void CompleteInstall(mdtest::Install& install) {
    const std::wstring from = mdtest::MelodriftFolder();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"*.dll").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            mdtest::CopyInto(from + found.cFileName, install.folder.Path());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // The skins with their pictures.
    std::error_code error;
    std::filesystem::copy(std::filesystem::path(from + L"Skins"), std::filesystem::path(install.folder / L"Skins"),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                          error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_TRUE(mdtest::CopyInto(from + L"Modules\\Vocalith.dll", install.folder / L"Modules"));
}

struct Find {
    const wchar_t* className;
    UINT firstId, lastId;
    HWND found;
};
BOOL CALLBACK VisitChild(HWND hwnd, LPARAM param) {
    auto* f = reinterpret_cast<Find*>(param);
    if (f->className) {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (std::wstring(cls) != f->className) return TRUE;
    } else {
        const UINT id = static_cast<UINT>(GetDlgCtrlID(hwnd));
        if (id < f->firstId || id > f->lastId) return TRUE;
    }
    f->found = hwnd;
    return FALSE;
}
HWND FindDescendant(HWND parent, const wchar_t* className, UINT firstId = 0, UINT lastId = 0) {
    Find f = {className, firstId, lastId, nullptr};
    EnumChildWindows(parent, &VisitChild, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    if (window) SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, nullptr);
    return text;
}

// A slider of the frame moved to `value` as the user would leave it.
bool MoveSlider(HWND frame, UINT command, int value) {
    // The frame numbers up to four instances of a control after its command.
    HWND slider = FindDescendant(frame, nullptr, command + 1, command + 4);
    if (!slider) return false;
    SendMessageW(slider, TBM_SETPOS, TRUE, value);
    const UINT scroll = (GetWindowLongW(slider, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(frame, scroll, MAKEWPARAM(TB_THUMBPOSITION, value), reinterpret_cast<LPARAM>(slider));
    return true;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (condition()) return true;
        Sleep(50);
    }
    return condition();
}

// Melodrift as `run` started it: its frame and Vocalith's window with its
// title line, once that shows `firstTitle` (the first file it was given).
struct Started {
    HWND frame = nullptr, module = nullptr, title = nullptr;
};
void WaitForVocalith(mdtest::Process& run, const std::wstring& firstTitle, Started& out) {
    ASSERT_TRUE(run.started);
    out.frame = run.WaitForWindow(L"Melodrift", 60000);
    ASSERT_NE(out.frame, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return (out.module = FindDescendant(out.frame, L"VocalithPlaylistWindow")) != nullptr; }, 30000));
    out.title = GetDlgItem(out.module, 1001);
    ASSERT_TRUE(WaitUntil([&] { return TextOf(out.title) == firstTitle; }, 30000)) << fw::ToUtf8(TextOf(out.title));
}

std::string ToneFindings(const std::vector<double>& x, double hz, double amplitude, double minSeconds,
                         double maxSeconds, const char* what, double levelTolerance = 0.03) {
    std::ostringstream out;
    const audiotest::Span s = audiotest::FindSound(x, 0.05 * amplitude);
    if (s.first < 0) return std::string(what) + ": nothing heard; ";
    const double length = static_cast<double>(s.Length()) / kRate;
    if (length < minSeconds || length > maxSeconds) out << what << " length " << length << " s; ";
    const std::int64_t edge = 4410;
    const double measured = audiotest::MeasureFrequency(x, s.first + edge, s.last - edge, kRate);
    if (std::fabs(measured - hz) > 0.5) out << what << " at " << measured << " Hz; ";
    const audiotest::ToneCheck tone = audiotest::CheckTone(x, s.first + edge, s.last - edge, hz, kRate);
    if (std::fabs(tone.amplitude - amplitude) > levelTolerance * amplitude)
        out << what << " amplitude " << tone.amplitude << "; ";
    return out.str();
}

// After an attempt that was not clean: true (and the cause printed) when the
// sound server is seen to have altered the recording, so that another attempt
// may be made; else the failure is reported at once.
bool ServerAlteredTheStream(int attempt, const std::string& findings, const std::vector<std::int16_t>& samples,
                            double hzLeft, double hzRight) {
    const std::string cause = audiotest::ServerAlterations(samples, 2, hzLeft, hzRight);
    if (cause.empty()) {
        ADD_FAILURE() << "attempt " << attempt << ", the sound server altered nothing that shows: " << findings;
        return false;
    }
    std::printf("attempt %d: %s\n  tried again: the sound server altered the stream (%s)\n", attempt,
                findings.c_str(), cause.c_str());
    return true;
}

TEST(VocalithProgram, FileOnTheCommandLinePlaysThroughVocalithWithTheFramesSliders) {
    mdtest::Install install(L"vocalith play");
    CompleteInstall(install);
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");   // the module for files: Vocalith (the default)
    const std::wstring wav = install.folder / L"three tones.wav";
    ASSERT_TRUE(mdtest::WriteBytes(wav, ToneWav(3.0, 440, 660, 0.5)));

    std::string findings;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        audiotest::CTestRecorder recorder;
        ASSERT_TRUE(recorder.Start() && recorder.WaitForData(200, 10000)) << recorder.Error();
        mdtest::Process run(install.exe, L"\"" + wav + L"\"");
        Started started;
        ASSERT_NO_FATAL_FAILURE(WaitForVocalith(run, L"three tones", started));
        HWND frame = started.frame, title = started.title;
        // The equalizer switched on with its bands flat (a fresh data folder):
        // the level stays, the sound comes the equalizer's delay later.
        SendMessageW(frame, WM_COMMAND, 14040, 0);
        // Volume 80 and balance 75: left 0.4, right 0.8 of the file's level.
        ASSERT_TRUE(MoveSlider(frame, 14020, 80));
        ASSERT_TRUE(MoveSlider(frame, 14030, 75));
        const double leftGain = 0.4, rightGain = 0.8;
        // The position slider follows playback.
        HWND position = FindDescendant(frame, nullptr, 14011, 14014);
        ASSERT_NE(position, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return SendMessageW(position, TBM_GETPOS, 0, 0) > 0; }, 10000));
        // Pause for a second, then play on.
        Sleep(800);
        SendMessageW(frame, WM_COMMAND, 13015, 0);
        Sleep(1000);
        SendMessageW(frame, WM_COMMAND, 13010, 0);
        // The track plays to its end; the title goes.
        EXPECT_TRUE(WaitUntil([&] { return TextOf(title) == L"No track"; }, 30000));
        Sleep(400);
        std::vector<std::int16_t> samples = recorder.Stop();
        PostMessageW(frame, WM_CLOSE, 0, 0);
        EXPECT_TRUE(run.Ended(20000));
        // The equalizer was on while it played (the frame keeps its switch).
        EXPECT_EQ(mdtest::ReadIni(install.data + L"config.ini", L"PLAYER", L"EqualizerTurn"), L"On");
        mdtest::WriteBytes(install.data + L"config.ini",
                           "[Main frame: params]\r\nCheckDefaultPlayer=No\r\nAutoOpen_AskMe=No\r\n");

        const std::vector<double> left = audiotest::Channel(samples, 2, 0);
        const std::vector<double> right = audiotest::Channel(samples, 2, 1);
        // The pause lies inside the sound: from the first to the last sample
        // it lasts the file's three seconds and the pause's one at least.
        findings = ToneFindings(left, 440, 0.5 * leftGain * 32767, 3.5, 5.5, "left") +
                   ToneFindings(right, 660, 0.5 * rightGain * 32767, 3.5, 5.5, "right");
        // Somewhere in it a stretch of silence of most of a second.
        const audiotest::Span s = audiotest::FindSound(right, 0.05 * 0.4 * 32767);
        std::int64_t longestQuiet = 0, quiet = 0;
        for (std::int64_t i = s.first; s.first >= 0 && i <= s.last; ++i) {
            quiet = std::fabs(right[static_cast<std::size_t>(i)]) < 100 ? quiet + 1 : 0;
            longestQuiet = std::max(longestQuiet, quiet);
        }
        if (longestQuiet < kRate * 7 / 10) findings += "no pause heard; ";
        if (findings.empty()) return;
        audiotest::WriteWav(L"vocalith_program_" + std::to_wstring(attempt) + L".wav", samples, 2, kRate);
        if (!ServerAlteredTheStream(attempt, findings, samples, 440, 660)) return;
    }
    ADD_FAILURE() << findings;
}

TEST(VocalithProgram, Mp3FileOnTheCommandLinePlays) {
    const std::wstring encoded = mdtest::TestFolder() + L"tone.mp3";
    if (GetFileAttributesW(encoded.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no MP3 encoder at build time";
    mdtest::Install install(L"vocalith mp3");
    CompleteInstall(install);
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");
    ASSERT_TRUE(mdtest::CopyInto(encoded, install.folder.Path(), L"song.mp3"));
    const std::wstring mp3 = install.folder / L"song.mp3";
    std::string findings;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        audiotest::CTestRecorder recorder;
        ASSERT_TRUE(recorder.Start() && recorder.WaitForData(200, 10000)) << recorder.Error();
        mdtest::Process run(install.exe, L"\"" + mp3 + L"\"");
        Started started;
        ASSERT_NO_FATAL_FAILURE(WaitForVocalith(run, L"song", started));
        HWND frame = started.frame, title = started.title;
        EXPECT_TRUE(WaitUntil([&] { return TextOf(title) == L"No track"; }, 30000));
        Sleep(400);
        std::vector<std::int16_t> samples = recorder.Stop();
        PostMessageW(frame, WM_CLOSE, 0, 0);
        run.Ended(20000);
        // The 1.5 s tone of the encoder's input to 1 % (LAME's delay and
        // padding dropped); a lossy code keeps the level within 10 %.
        findings = ToneFindings(audiotest::Channel(samples, 2, 0), 440, 0.5 * 32767, 1.485, 1.515, "left", 0.1) +
                   ToneFindings(audiotest::Channel(samples, 2, 1), 660, 0.5 * 32767, 1.485, 1.515, "right", 0.1);
        if (findings.empty()) return;
        if (!ServerAlteredTheStream(attempt, findings, samples, 440, 660)) return;
    }
    ADD_FAILURE() << findings;
}

// Three tracks of the same format cut from one tone, not where it crosses
// zero: heard as the one tone, without a gap or a jump of its phase. WAV
// files, then MP3 files cut alike and encoded one by one (LAME's delay and
// padding dropped, they add up to the tone's exact length).
TEST(VocalithProgram, TracksOfTheSameFormatFollowWithoutAGap) {
    mdtest::Install install(L"vocalith gapless");
    CompleteInstall(install);
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");
    const int cuts[] = {0, 2 * kRate + 37, 4 * kRate + 91, 6 * kRate};   // as the MP3 pieces were cut at build time
    std::wstring args[2];
    bool haveMp3 = true;
    for (int i = 0; i < 3; ++i) {
        const std::wstring name = L"piece " + std::to_wstring(i + 1);
        ASSERT_TRUE(mdtest::WriteBytes(install.folder / (name + L".wav"),
                                       ToneWav(6.0, 440, 660, 0.5, 2, kRate, cuts[i], cuts[i + 1])));
        args[0] += L"\"" + (install.folder / (name + L".wav")) + L"\" ";
        const std::wstring encoded = mdtest::TestFolder() + L"piece" + std::to_wstring(i + 1) + L".mp3";
        haveMp3 = haveMp3 && GetFileAttributesW(encoded.c_str()) != INVALID_FILE_ATTRIBUTES &&
                  mdtest::CopyInto(encoded, install.folder.Path(), name + L".mp3");
        args[1] += L"\"" + (install.folder / (name + L".mp3")) + L"\" ";
    }
    for (int format = 0; format < (haveMp3 ? 2 : 1); ++format) {
        SCOPED_TRACE(format ? "MP3" : "WAV");
        // A lossy code keeps the level within 10 %, the length within 1 %.
        const double shortest = format ? 5.94 : 5.95, longest = format ? 6.06 : 6.3, level = format ? 0.1 : 0.03;
        std::string findings;
        for (int attempt = 1; attempt <= 3; ++attempt) {
            audiotest::CTestRecorder recorder;
            ASSERT_TRUE(recorder.Start() && recorder.WaitForData(200, 10000)) << recorder.Error();
            mdtest::Process run(install.exe, args[format]);
            Started started;
            ASSERT_NO_FATAL_FAILURE(WaitForVocalith(run, L"piece 1", started));
            EXPECT_TRUE(WaitUntil([&] { return TextOf(started.title) == L"piece 3"; }, 20000));
            EXPECT_TRUE(WaitUntil([&] { return TextOf(started.title) == L"No track"; }, 20000));
            Sleep(400);
            std::vector<std::int16_t> samples = recorder.Stop();
            PostMessageW(started.frame, WM_CLOSE, 0, 0);
            run.Ended(20000);
            findings.clear();
            for (int c = 0; c < 2; ++c) {
                const std::vector<double> x = audiotest::Channel(samples, 2, c);
                findings += ToneFindings(x, c ? 660 : 440, 0.5 * 32767, shortest, longest, c ? "right" : "left", level);
                const audiotest::Span s = audiotest::FindSound(x, 0.05 * 0.5 * 32767);
                const audiotest::ToneCheck tone = audiotest::CheckTone(x, s.first + 4410, s.last - 4410, c ? 660 : 440, kRate);
                if (s.first >= 0 && !tone.continuous) findings += tone.Describe() + "; ";
            }
            if (findings.empty()) break;
            audiotest::WriteWav(L"vocalith_gapless_" + std::to_wstring(format) + L"_" + std::to_wstring(attempt) + L".wav",
                                samples, 2, kRate);
            if (!ServerAlteredTheStream(attempt, findings, samples, 440, 660)) break;
            if (attempt == 3) ADD_FAILURE() << findings;
        }
    }
}

TEST(VocalithProgram, StopFromTheFrameEndsPlayback) {
    mdtest::Install install(L"vocalith stop");
    CompleteInstall(install);
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");
    const std::wstring wav = install.folder / L"long tone.wav";
    ASSERT_TRUE(mdtest::WriteBytes(wav, ToneWav(20.0, 440, 440, 0.2)));
    mdtest::Process run(install.exe, L"\"" + wav + L"\"");
    Started started;
    ASSERT_NO_FATAL_FAILURE(WaitForVocalith(run, L"long tone", started));
    HWND frame = started.frame, title = started.title;
    SendMessageW(frame, WM_COMMAND, 13020, 0);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(title) == L"No track"; }, 10000));
    // Nothing more is heard after the engine's buffer.
    Sleep(1500);
    audiotest::CTestRecorder recorder;
    ASSERT_TRUE(recorder.Start() && recorder.WaitForData(1000, 10000));
    std::vector<std::int16_t> samples = recorder.Stop();
    EXPECT_EQ(audiotest::FindSound(audiotest::Channel(samples, 2, 0), 100).first, -1);
    PostMessageW(frame, WM_CLOSE, 0, 0);
    run.Ended(20000);
}

// Every thread of a process suspended (true) or resumed (false).
void SuspendProcess(DWORD pid, bool suspend) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 e = {sizeof e};
    for (BOOL more = Thread32First(snapshot, &e); more; more = Thread32Next(snapshot, &e)) {
        HANDLE thread = e.th32OwnerProcessID == pid ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, e.th32ThreadID) : nullptr;
        if (thread) (suspend ? SuspendThread(thread) : ResumeThread(thread)), CloseHandle(thread);
    }
    CloseHandle(snapshot);
}

// A start of the program that should hand its command line over and end at once.
void HandOver(const mdtest::Install& install, const std::wstring& args) {
    mdtest::Process start(install.exe, args);
    ASSERT_TRUE(start.Ended(10000)) << "a second copy ran: " << fw::ToUtf8(args);
    EXPECT_EQ(start.ExitCode(), 0u);
}

TEST(VocalithProgram, LaterStartsHandTheirFilesToTheRunningCopyAndMediaKeysActOnIt) {
    mdtest::Install install(L"one player");
    CompleteInstall(install);
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");
    std::wstring wav[3];
    const wchar_t* names[3] = {L"queued", L"first", L"second"};
    for (int i = 0; i < 3; ++i) {
        wav[i] = install.folder / (std::wstring(names[i]) + L".wav");
        ASSERT_TRUE(mdtest::WriteBytes(wav[i], ToneWav(30.0, 440, 440, 0.1)));
    }
    mdtest::Process running(install.exe, L"");
    ASSERT_TRUE(running.started);
    HWND frame = running.WaitForWindow(L"Melodrift", 60000);
    ASSERT_NE(frame, nullptr);
    HWND module = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (module = FindDescendant(frame, L"VocalithPlaylistWindow")) != nullptr; }, 30000));
    HWND title = GetDlgItem(module, 1001), list = GetDlgItem(module, 1003);
    auto tracks = [&] { return SendMessageW(list, LB_GETCOUNT, 0, 0); };

    // "/add" only lists (a name relative to the later start's folder made
    // whole: it is no missing file); files play the first and list the rest.
    wchar_t here[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, here);
    SetCurrentDirectoryW(install.folder.Path().c_str());
    HandOver(install, L"/add queued.wav");
    SetCurrentDirectoryW(here);
    EXPECT_TRUE(WaitUntil([&] { return tracks() == 1; }, 5000));
    EXPECT_EQ(TextOf(title), L"No track");
    wchar_t line[512] = {};
    EXPECT_EQ(std::wstring(line, SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line))), L"queued\t0:30");
    const ULONGLONG start = GetTickCount64();
    ASSERT_NO_FATAL_FAILURE(HandOver(install, L"\"" + wav[1] + L"\" \"" + wav[2] + L"\""));
    ASSERT_TRUE(WaitUntil([&] { return TextOf(title) == L"first"; }, 10000)) << fw::ToUtf8(TextOf(title));
    std::printf("hand-over: %llu ms from the second start to the first file playing\n", GetTickCount64() - start);
    EXPECT_EQ(tracks(), 3);

    // Malformed hand-overs are refused and change nothing: an odd size, a count beyond the names.
    std::uint16_t bad[] = {0, 5, 0, L'a', 0};
    for (DWORD bytes : {9ul, 10ul}) {
        COPYDATASTRUCT data = {0x4D444831, bytes, bad};
        DWORD_PTR answer = 1;
        EXPECT_TRUE(SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_BLOCK, 5000, &answer));
        EXPECT_EQ(answer, 0u);
    }
    EXPECT_EQ(tracks(), 3);

    // Media keys: a posted WM_APPCOMMAND pauses (the position stands still);
    // keys pressed while another window has the focus play on and go to the next track.
    HWND position = FindDescendant(frame, nullptr, 14011, 14014);
    ASSERT_NE(position, nullptr);
    auto where = [&] { return SendMessageW(position, TBM_GETPOS, 0, 0); };
    PostMessageW(frame, WM_APPCOMMAND, reinterpret_cast<WPARAM>(frame), MAKELPARAM(0, APPCOMMAND_MEDIA_PLAY_PAUSE));
    Sleep(600);
    const LRESULT paused = where();
    Sleep(1200);
    EXPECT_EQ(where(), paused);
    HWND other = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    fw::testing::PumpFor(300);
    auto press = [](BYTE key) { keybd_event(key, 0, 0, 0), keybd_event(key, 0, KEYEVENTF_KEYUP, 0); };
    press(VK_MEDIA_PLAY_PAUSE);
    EXPECT_TRUE(WaitUntil([&] { return where() > paused; }, 5000));
    press(VK_MEDIA_NEXT_TRACK);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(title) == L"second"; }, 5000)) << fw::ToUtf8(TextOf(title));
    PostMessageW(frame, WM_APPCOMMAND, reinterpret_cast<WPARAM>(frame), MAKELPARAM(0, APPCOMMAND_MEDIA_STOP));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(title) == L"No track"; }, 5000));
    DestroyWindow(other);

    // A start without files brings the frame back from the tray.
    SendMessageW(frame, WM_COMMAND, 14070, 0);
    ASSERT_FALSE(IsWindowVisible(frame));
    ASSERT_NO_FATAL_FAILURE(HandOver(install, L""));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(frame) != FALSE; }, 5000));

    // "/new", and a running copy that does not answer, give a copy of its own.
    for (const bool hung : {false, true}) {
        if (hung) SuspendProcess(running.pi.dwProcessId, true);
        mdtest::Process another(install.exe, hung ? L"" : L"/new");
        HWND own = another.WaitForWindow(L"Melodrift", 60000);
        if (hung) SuspendProcess(running.pi.dwProcessId, false);
        EXPECT_NE(own, nullptr) << "hung: " << hung;
        if (own) PostMessageW(own, WM_CLOSE, 0, 0);
        EXPECT_TRUE(another.Ended(30000));
    }
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(running.Ended(30000));
}

// A module button of the frame: the skinned check button captioned with the module's name.
struct ModuleButtonSearch {
    const wchar_t* name;
    HWND found;
};
BOOL CALLBACK VisitModuleButton(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<ModuleButtonSearch*>(param);
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) != L"PtButton" || TextOf(hwnd) != search->name) return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

// The three modules in the program's frame with the Midnight skin, each with
// the skin's toolbar across the top of its window: a screenshot of the frame
// with each module in front (the player playing the first of three tracks,
// the library holding them in a playlist, the recorder ready).
TEST(VocalithProgram, ModulesShowTheirSkinToolbarsInTheFrame) {
    mdtest::Install install(L"module toolbars");
    CompleteInstall(install);
    const std::wstring from = mdtest::MelodriftFolder();
    for (const wchar_t* module : {L"Tunestack.dll", L"Sonicut.dll"})
        ASSERT_TRUE(mdtest::CopyInto(from + L"Modules\\" + module, install.folder / L"Modules"));
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");
    const std::wstring config = install.data + L"config.ini";
    WritePrivateProfileStringW(L"CURRENTSKIN", L"name", L"Midnight", config.c_str());
    // The tracks in a folder of the user's music, as a user would keep them.
    wchar_t music[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC | CSIDL_FLAG_CREATE, nullptr, 0, music)));
    struct Folder {
        std::filesystem::path path;
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } album{std::filesystem::path(music) / L"Evening Session"};   // the program tests run one at a time
    std::error_code ec;
    std::filesystem::remove_all(album.path, ec);
    std::filesystem::create_directories(album.path);
    std::vector<std::wstring> tracks;
    for (const wchar_t* name : {L"Evening Tide", L"Harbour Lights", L"Northern Road"}) {
        tracks.push_back((album.path / (std::wstring(name) + L".wav")).wstring());
        ASSERT_TRUE(mdtest::WriteBytes(tracks.back(), ToneWav(40.0, 220, 220, 0.05)));
    }
    // The library as Tunestack keeps it: the three files in a playlist.
    tunestack::Library library;
    tunestack::XmlNode* playlist = library.AddPlaylist(L"Evening");
    for (const std::wstring& track : tracks) library.AddTrack(*playlist, library.AddFile(track));
    ASSERT_TRUE(mdtest::WriteBytes(install.data + L"fileDB.dat", library.FileListBytes()));
    ASSERT_TRUE(mdtest::WriteBytes(install.data + L"playlists.xml", library.PlaylistsBytes()));

    std::wstring args;
    for (const std::wstring& track : tracks) args += L"\"" + track + L"\" ";
    mdtest::Process run(install.exe, args);
    ASSERT_TRUE(run.started);
    HWND frame = run.WaitForWindow(L"Melodrift", 60000);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, HWND_TOP, 0, 0, 900, 700, SWP_NOACTIVATE);
    constexpr UINT kToolbar = 0x7F00;
    const auto moduleWindow = [&](const wchar_t* cls) {
        HWND window = FindDescendant(frame, cls);
        return window && IsWindowVisible(window) ? window : nullptr;
    };
    struct Shot {
        const wchar_t* module;
        const wchar_t* windowClass;
        const wchar_t* file;
    } shots[] = {{L"Vocalith", L"VocalithPlaylistWindow", L"melodrift_vocalith_frame.png"},
                 {L"Tunestack", L"TunestackWindow", L"melodrift_tunestack_frame.png"},
                 {L"Sonicut", L"SonicutWindow", L"melodrift_sonicut_frame.png"}};
    for (const Shot& shot : shots) {
        SCOPED_TRACE(fw::ToUtf8(shot.module));
        if (std::wstring(shot.module) != L"Vocalith") {
            // Shown by its module button, as the user would.
            ModuleButtonSearch want{shot.module, nullptr};
            EnumChildWindows(frame, &VisitModuleButton, reinterpret_cast<LPARAM>(&want));
            ASSERT_NE(want.found, nullptr);
            PostMessageW(frame, WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID(want.found)), 0);
        }
        HWND window = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (window = moduleWindow(shot.windowClass)) != nullptr; }, 30000));
        HWND bar = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (bar = GetDlgItem(window, kToolbar)) != nullptr && IsWindowVisible(bar); }, 10000));
        if (std::wstring(shot.module) == L"Vocalith") {
            HWND title = GetDlgItem(window, 1001);
            ASSERT_TRUE(WaitUntil([&] { return TextOf(title) == L"Evening Tide"; }, 30000));
            HWND position = FindDescendant(frame, nullptr, 14011, 14014);
            EXPECT_TRUE(WaitUntil([&] { return position && SendMessageW(position, TBM_GETPOS, 0, 0) > 0; }, 20000));
        }
        Sleep(500);   // the frame's position and time ticks
        RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        // The module's window drawn to the end: the same in two pictures taken apart.
        RECT area = {};
        GetWindowRect(window, &area);
        MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&area), 2);
        RECT outer = {};
        GetWindowRect(frame, &outer);
        POINT origin = {0, 0};
        ClientToScreen(frame, &origin);
        OffsetRect(&area, origin.x - outer.left, origin.y - outer.top);
        std::vector<std::uint32_t> last;
        EXPECT_TRUE(WaitUntil([&] {
            Sleep(200);
            fw::testing::Image image;
            if (!fw::testing::CaptureWindow(frame, image)) return false;
            std::vector<std::uint32_t> now;
            for (int y = std::max(0L, area.top); y < std::min<LONG>(image.height, area.bottom); ++y)
                for (int x = std::max(0L, area.left); x < std::min<LONG>(image.width, area.right); ++x) now.push_back(image.At(x, y));
            const bool same = !now.empty() && now == last;
            last = std::move(now);
            return same;
        }, 15000));
        EXPECT_TRUE(fw::testing::SaveWindowScreenshot(frame, fw::testing::ScreenshotPath(shot.file)));
    }
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(run.Ended(20000));
}

namespace {

// The frequency of the samples in consecutive quarter seconds (0 where nothing sounds).
std::vector<double> FrequencyTrack(const std::vector<double>& x, int rate) {
    std::vector<double> out;
    const std::int64_t step = rate / 4;
    for (std::int64_t at = 0; at + step <= static_cast<std::int64_t>(x.size()); at += step)
        out.push_back(audiotest::Rms(x, at, at + step) < 300 ? 0.0 : audiotest::MeasureFrequency(x, at, at + step, rate));
    return out;
}

// The samples of a 16-bit WAV file and its format; empty when it is not one.
std::vector<std::int16_t> ReadWav16(const std::wstring& path, int& channels, int& rate) {
    const std::string b = mdtest::ReadBytes(path);
    channels = rate = 0;
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(12, 4, "fmt ") != 0) return {};
    auto u16 = [&](std::size_t at) { return static_cast<int>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8)); };
    channels = u16(22);
    rate = u16(24) | (u16(26) << 16);
    const std::size_t data = 20 + static_cast<std::size_t>(u16(16)) + 8;
    if (u16(34) != 16 || b.size() < data) return {};
    std::vector<std::int16_t> samples((b.size() - data) / 2);
    std::memcpy(samples.data(), b.data() + data, samples.size() * 2);
    return samples;
}

// The texts of a message box's static controls.
BOOL CALLBACK CollectText(HWND hwnd, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (_wcsicmp(cls, L"Static") == 0) *reinterpret_cast<std::wstring*>(param) += TextOf(hwnd);
    return TRUE;
}

// Morph Selected Files with the playlist's entries first..last chosen: the
// summary's text, the box closed. With `cancel`, Cancel is pressed as soon as
// the progress window shows.
std::wstring MorphAndReadSummary(const mdtest::Process& run, HWND frame, HWND list, int first, int last, bool cancel = false) {
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    SendMessageW(list, LB_SELITEMRANGEEX, static_cast<WPARAM>(first), last);
    PostMessageW(frame, WM_COMMAND, 10000, 0);
    if (cancel) {
        HWND progress = fw::testing::WaitForProcessWindow(run.pi.dwProcessId, L"VocalithMorphProgress", L"Morphing Files", 60000, false);
        if (!progress) return L"(no progress window)";
        PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    }
    HWND box = fw::testing::WaitForProcessWindow(run.pi.dwProcessId, L"#32770", L"Morph Selected Files", 60000, false);
    if (!box) return L"(no summary)";
    std::wstring text;
    EnumChildWindows(box, &CollectText, reinterpret_cast<LPARAM>(&text));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); }, 10000);
    return text;
}

}  // namespace

// The Morph menu on what plays, with the library (Tunestack) in front: Pitch
// Up chosen from the frame while a 440 Hz tone plays is heard at the effect's
// ratio within 150 ms, "none" brings 440 Hz back as soon, and neither switch
// leaves a gap or loses or repeats anything of the tone. Then Morph Selected Files on the playlist: a
// morphed copy of each file beside it at the effect's pitch and in the file's
// own format, the originals untouched, the broken file named in the summary,
// and a second run adding a number instead of replacing; a run cancelled
// while it morphs a long file, and one into a folder that takes no file, both
// say so and leave nothing behind.
TEST(VocalithProgram, MorphMenuActsOnWhatPlaysAndOnSelectedFiles) {
    mdtest::Install install(L"vocalith morph");
    CompleteInstall(install);
    ASSERT_TRUE(mdtest::CopyInto(mdtest::MelodriftFolder() + L"Modules\\Tunestack.dll", install.folder / L"Modules"));
    WritePrivateProfileStringW(L"CURRENTSKIN", L"name", L"Midnight", (install.data + L"config.ini").c_str());   // with module buttons
    install.FrameSetting(L"CheckDefaultPlayer", L"No");
    install.FrameSetting(L"AutoOpen_AskMe", L"No");
    const std::wstring tone = install.folder / L"tone.wav", voice = install.folder / L"voice.wav",
                       broken = install.folder / L"broken.wav", long_ = install.folder / L"long.wav";
    // The tone outlasts the switches on a slow start too: within the player's
    // buffer of its end the data has all been read and what is queued is no
    // longer made again, and the next track (another format) would answer
    // the pitch checks in its place.
    const std::string toneBytes = ToneWav(20.0, 440, 440, 0.3), voiceBytes = ToneWav(1.0, 330, 330, 0.3, 1, 22050),
                      brokenBytes = std::string("RIFF\x10\0\0\0WAVEjunkjunkjunk", 24);
    ASSERT_TRUE(mdtest::WriteBytes(tone, toneBytes) && mdtest::WriteBytes(voice, voiceBytes) &&
                mdtest::WriteBytes(broken, brokenBytes) && mdtest::WriteBytes(long_, ToneWav(300.0, 440, 440, 0.3, 1)));
    const double ratio = std::pow(2.0, 4.0 / 12.0);   // Pitch Up's four semitones

    std::string findings;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        audiotest::CTestRecorder recorder;
        ASSERT_TRUE(recorder.Start() && recorder.WaitForData(200, 10000)) << recorder.Error();
        mdtest::Process run(install.exe, L"\"" + tone + L"\" \"" + voice + L"\" \"" + broken + L"\" \"" + long_ + L"\"");
        Started started;
        ASSERT_NO_FATAL_FAILURE(WaitForVocalith(run, L"tone", started));
        HWND frame = started.frame, module = started.module;
        // The library in front: the effects are the program's, not the active module's.
        ModuleButtonSearch library{L"Tunestack", nullptr};
        EnumChildWindows(frame, &VisitModuleButton, reinterpret_cast<LPARAM>(&library));
        ASSERT_NE(library.found, nullptr);
        PostMessageW(frame, WM_COMMAND, static_cast<WPARAM>(GetDlgCtrlID(library.found)), 0);
        ASSERT_TRUE(WaitUntil([&] {
            HWND w = FindDescendant(frame, L"TunestackWindow");
            return w && IsWindowVisible(w);
        }, 20000));
        Sleep(1500);
        std::int64_t upAt = recorder.FramesNow();
        SendMessageW(frame, WM_COMMAND, 17101, 0);   // Voice Morphing > Pitch Up
        Sleep(3000);
        std::int64_t backAt = recorder.FramesNow();
        SendMessageW(frame, WM_COMMAND, 17100, 0);   // Voice Morphing > none
        Sleep(2500);
        const bool stillTone = TextOf(started.title) == L"tone";
        SendMessageW(frame, WM_COMMAND, 13020, 0);
        std::vector<std::int16_t> recorded = recorder.Stop();
        // Judged without the silence a busy sound server plays on its own
        // (the stream goes on after it unchanged), the commands' frames moved along.
        const std::vector<audiotest::Silence> dropouts = audiotest::FindSilences(recorded, 2, {440.0, 440.0}, kRate);
        const std::vector<std::int16_t> samples = audiotest::WithoutSilences(recorded, 2, dropouts);
        for (std::int64_t* at : {&upAt, &backAt}) {
            std::int64_t removed = 0;
            for (const audiotest::Silence& d : dropouts) removed += std::clamp<std::int64_t>(*at - d.frame, 0, d.frames);
            *at -= removed;
        }

        // What was heard: 440 Hz, then a second and more at the ratio, then 440 Hz again.
        const std::vector<double> left = audiotest::Channel(samples, 2, 0);
        const std::vector<double> track = FrequencyTrack(left, kRate);
        int phase = 0, run440 = 0, runUp = 0, runBack = 0;
        for (double hz : track) {
            const bool at440 = std::fabs(hz - 440) < 4.4, atUp = std::fabs(hz - 440 * ratio) < 4.4 * ratio;
            if (phase == 0 && at440) run440++;
            if (phase <= 1 && atUp) phase = 1, runUp++;
            if (phase >= 1 && at440) phase = 2, runBack++;
        }
        findings.clear();
        if (run440 < 4 || runUp < 6 || runBack < 4) {
            std::ostringstream out;
            out << "quarter seconds at 440 Hz " << run440 << ", at the ratio " << runUp << ", back at 440 Hz " << runBack << "; ";
            findings += out.str();
        }
        // No gap: inside the sound nothing is silent for more than 5 ms.
        const audiotest::Span s = audiotest::FindSound(left, 0.05 * 0.3 * 32767);
        std::int64_t quiet = 0, longestQuiet = 0;
        for (std::int64_t i = s.first; s.first >= 0 && i <= s.last; ++i) {
            quiet = std::fabs(left[static_cast<std::size_t>(i)]) < 0.02 * 0.3 * 32767 ? quiet + 1 : 0;
            longestQuiet = std::max(longestQuiet, quiet);
        }
        if (longestQuiet > kRate / 200) findings += "a gap of " + std::to_string(longestQuiet) + " samples; ";
        // Heard at once (the time counted from the command includes the capture's own latency).
        const double upLatency = static_cast<double>(audiotest::FramesUntilPitch(left, upAt, 440 * (1 + ratio) / 2, true, kRate)) / kRate;
        const double backLatency = static_cast<double>(audiotest::FramesUntilPitch(left, backAt, 440 * (1 + ratio) / 2, false, kRate)) / kRate;
        std::printf("attempt %d: Pitch Up heard after %.3f s, none after %.3f s\n", attempt, upLatency, backLatency);
        if (upLatency < 0 || upLatency > 0.15 || backLatency < 0 || backLatency > 0.15) {
            std::ostringstream out;
            out << "heard " << upLatency << " s and " << backLatency << " s after the commands; ";
            findings += out.str();
        }
        // Nothing of the tone lost or repeated across the two switches: the
        // plain tone after them is in phase with the plain tone before.
        const double before = audiotest::PhaseAt(left, upAt - kRate / 2, upAt, 440, kRate);
        const double after = audiotest::PhaseAt(left, backAt + kRate / 2, backAt + kRate, 440, kRate);
        const double slip = std::fabs(std::remainder(after - before, 360.0));
        if (slip > 15) findings += "the tone's phase moved " + std::to_string(slip) + " degrees across the switches; ";
        if (!stillTone) findings += "the tone no longer played after the switches; ";
        if (findings.empty() || attempt == 3) {
            // The playlist morphed with Pitch Up, twice.
            HWND list = GetDlgItem(module, 1003);
            SendMessageW(frame, WM_COMMAND, 17101, 0);
            const std::wstring first = MorphAndReadSummary(run, frame, list, 0, 2);
            const std::wstring second = MorphAndReadSummary(run, frame, list, 0, 2);
            const std::wstring cancelled = MorphAndReadSummary(run, frame, list, 3, 3, true);
            // The folder for morphed files set to one that cannot hold a file (its
            // name is a file's): no run of Wine's as root refuses files to a real
            // folder, whatever its attributes or access list.
            const std::wstring unwritable = install.folder / L"tone.wav\\";
            WritePrivateProfileStringW(L"Vocalith: params", L"MorphFolder", unwritable.c_str(), (install.data + L"config.ini").c_str());
            const std::wstring refused = MorphAndReadSummary(run, frame, list, 0, 1);
            WritePrivateProfileStringW(L"Vocalith: params", L"MorphFolder", nullptr, (install.data + L"config.ini").c_str());
            PostMessageW(frame, WM_CLOSE, 0, 0);
            EXPECT_TRUE(run.Ended(20000));
            EXPECT_NE(first.find(L"2 files morphed"), std::wstring::npos) << fw::ToUtf8(first);
            EXPECT_NE(first.find(L"broken.wav: "), std::wstring::npos) << fw::ToUtf8(first);
            EXPECT_NE(second.find(L"voice - Pitch Up (2).wav"), std::wstring::npos) << fw::ToUtf8(second);
            EXPECT_EQ(cancelled.rfind(L"Cancelled. 0 files morphed.", 0), 0u) << fw::ToUtf8(cancelled);
            EXPECT_EQ(GetFileAttributesW((install.folder / L"long - Pitch Up.wav").c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(refused.rfind(L"0 files morphed.", 0), 0u) << fw::ToUtf8(refused);
            EXPECT_NE(refused.find(L"tone.wav: the folder " + unwritable + L" cannot be written to"), std::wstring::npos) << fw::ToUtf8(refused);
            EXPECT_NE(refused.find(L"voice.wav: the folder " + unwritable + L" cannot be written to"), std::wstring::npos) << fw::ToUtf8(refused);
            EXPECT_EQ(mdtest::ReadBytes(tone), toneBytes);
            EXPECT_EQ(mdtest::ReadBytes(voice), voiceBytes);
            EXPECT_EQ(mdtest::ReadBytes(broken), brokenBytes);
            struct Output {
                const wchar_t* name;
                int channels, rate;
                double hz;
            } outputs[] = {{L"tone - Pitch Up.wav", 2, kRate, 440 * ratio},
                           {L"voice - Pitch Up.wav", 1, 22050, 330 * ratio},
                           {L"voice - Pitch Up (2).wav", 1, 22050, 330 * ratio}};
            for (const Output& o : outputs) {
                SCOPED_TRACE(fw::ToUtf8(o.name));
                int channels = 0, rate = 0;
                const std::vector<std::int16_t> morphed = ReadWav16(install.folder / o.name, channels, rate);
                ASSERT_FALSE(morphed.empty());
                EXPECT_EQ(channels, o.channels);
                EXPECT_EQ(rate, o.rate);
                const std::vector<double> x = audiotest::Channel(morphed, channels, 0);
                const std::int64_t edge = rate / 5;
                EXPECT_NEAR(audiotest::MeasureFrequency(x, edge, static_cast<std::int64_t>(x.size()) - 2 * edge, rate), o.hz, o.hz * 0.01);
            }
            // Nothing half-written is left behind.
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW((install.folder / L"*.tmp").c_str(), &found);
            EXPECT_EQ(search, INVALID_HANDLE_VALUE);
            if (search != INVALID_HANDLE_VALUE) FindClose(search);
        } else {
            PostMessageW(frame, WM_CLOSE, 0, 0);
            run.Ended(20000);
        }
        if (findings.empty()) return;
        std::printf("attempt %d: %s\n", attempt, findings.c_str());
        audiotest::WriteWav(L"vocalith_morph_" + std::to_wstring(attempt) + L".wav", recorded, 2, kRate);
    }
    ADD_FAILURE() << findings;
}
