// Playback through the real DirectSound device into the sound server's null
// sink, recorded from its monitor and measured.
//
// The way from the device to the recording (Wine's mixer, the sound server)
// can drop out for a moment when the machine is busy: the server then plays
// a stretch of silence that no playback engine wrote, and after it the rest of
// the stream unchanged (its null sink runs without rewinds). Every stretch of
// silence inside a tone is found and judged by the tone around it: one across
// which frames of the stream are missing was written over the stream, by the
// engine, and fails the test at once. One that lost nothing is taken out
// before the tone is measured, but the attempt does not count: these sources
// always have data until they end, so the engine never writes silence inside
// their streams, and a stretch that looks like the server's is one only if it
// does not come back. A scenario is played again (up to five times in all)
// only while every fault its checks found lies where the recording shows the
// server's work (its silence, or a slip where the tones tell one); each retry
// prints that cause. Any other fault is the engine's, and fails at once.
#include "player/ext_player_dx.h"

#include "audiotest/recorder.h"
#include "audiotest/tone_analysis.h"
#include "player_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

using audiotest::CheckTone;
using audiotest::CTestRecorder;
using audiotest::FindSound;
using audiotest::Span;
using playertest::ToneSource;

namespace {

constexpr double kRate = 44100;
constexpr double kFull = 32767;
// Attempts at a scenario: a busy spell of the machine can spoil a few in a row.
constexpr int kAttempts = 5;

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

// Where the sound server altered a recording, in the recording without its
// silence (where the checks look).
struct Alteration {
    std::int64_t frame = 0;
    std::string what;
};

struct Recording {
    std::vector<std::int16_t> raw;       // as recorded
    std::vector<audiotest::Silence> silences;   // every stretch of silence inside the sound
    std::vector<std::int16_t> samples;   // without the stretches that lost nothing
    std::vector<double> left;
    std::vector<double> right;
    std::vector<Alteration> alterations;
    // The stretches of silence left in `samples` whose tones could not tell
    // whose they are (too little sound after them): where, and how long.
    std::vector<std::pair<std::int64_t, std::int64_t>> untold;
    // Where the stretches that lost nothing were in the stream (frames of it
    // before them, counted from its first sounding frame), and its length.
    std::vector<std::int64_t> silencesInStream;
    std::int64_t streamFrames = 0;
};

// One attempt: a fresh engine and a recording around what the scenario plays.
class Attempt {
public:
    Attempt()
    {
        player.SetVolume(100);
        player.SetBalance(50);
        started = recorder.Start() && recorder.WaitForData(200, 10000);
    }

    // `hzLeft` and `hzRight`: the tones the channels hold (0: none, or several),
    // which judge the silence inside the sound and, where they differ, tell the
    // server's slips. `longestSilence`: longer stretches are pauses, not judged
    // (a scenario with pauses of its own passes less).
    Recording Finish(double hzLeft, double hzRight, std::int64_t longestSilence = 22050)
    {
        Sleep(400);
        Recording r;
        r.raw = recorder.Stop();
        r.silences = audiotest::FindSilences(r.raw, 2, {hzLeft, hzRight}, kRate, 2, longestSilence);
        std::vector<audiotest::Silence> server;
        std::int64_t removed = 0;
        for (const audiotest::Silence& s : r.silences) {
            if (s.LostNothing()) {
                server.push_back(s);
            }
            if (s.LostNothing() || !s.Told()) {
                r.alterations.push_back({s.frame - removed, s.Describe(kRate)});
            }
            if (!s.Told()) {
                r.untold.push_back({s.frame - removed, s.frames});
            }
            removed += s.LostNothing() ? s.frames : 0;
        }
        r.samples = audiotest::WithoutSilences(r.raw, 2, server);
        r.left = audiotest::Channel(r.samples, 2, 0);
        r.right = audiotest::Channel(r.samples, 2, 1);
        const Span left = FindSound(r.left, 0.5), right = FindSound(r.right, 0.5);
        const std::int64_t onset = left.first < 0 ? right.first : right.first < 0 ? left.first
                                                                                  : std::min(left.first, right.first);
        r.streamFrames = std::max(left.last, right.last) - onset + 1;
        removed = 0;
        for (const audiotest::Silence& s : server) {
            r.silencesInStream.push_back(s.frame - removed - onset);
            removed += s.frames;
        }
        if (hzLeft > 0 && hzRight > 0) {
            const Span sound = FindSound(r.left, 100);
            const audiotest::Slips slips =
                audiotest::FindSlips(r.left, r.right, sound.first + 441, sound.last - 441, hzLeft, hzRight, kRate);
            for (std::int64_t at : slips.at) {
                r.alterations.push_back({at, "a slip of the sound server (" + slips.Describe() + ")"});
            }
        }
        return r;
    }

    CExtPlayerDX player;
    CTestRecorder recorder;
    bool started = false;
};

// Findings about a recording: faults the engine is to blame for, and faults
// that lie where the sound server altered the stream. Both empty when the
// recording is as expected.
class Findings {
public:
    explicit Findings(const Recording& r) : m_recording(&r) {}

    void Check(bool ok, const std::string& what)
    {
        if (!ok) {
            m_blamed += what + "; ";
        }
    }
    void Near(double value, double expected, double tolerance, const std::string& what)
    {
        if (!(std::fabs(value - expected) <= tolerance)) {
            std::ostringstream out;
            out << what << " is " << value << ", expected " << expected << " +- " << tolerance;
            Check(false, out.str());
        }
    }
    // A fault over [from, to) of the recording: the server's doing only
    // where it altered the stream there.
    void Located(bool ok, const std::string& what, std::int64_t from, std::int64_t to)
    {
        if (!ok) {
            Excuse(what, {{from, to}});
        }
    }
    // A tone's continuity over [from, to) of `x`: a window that does not match
    // is the server's doing only where it altered the stream, in or next to it.
    // `place` gives where a sample of `x` is in the recording.
    void Continuous(const std::vector<double>& x, std::int64_t from, std::int64_t to, double hz, const std::string& what,
                    const std::function<std::int64_t(std::int64_t)>& place = nullptr)
    {
        constexpr std::int64_t kWindow = 441;
        const auto tone = CheckTone(x, from, to, hz, kRate, kWindow);
        if (tone.continuous) {
            return;
        }
        std::vector<std::pair<std::int64_t, std::int64_t>> at;
        for (std::int64_t f : tone.faults) {
            const std::int64_t p = place ? place(f) : f;
            at.push_back({p - kWindow, p + 2 * kWindow});
        }
        Excuse(what + " not continuous: " + tone.Describe(), at);
    }
    // The whole tone in one channel: length, frequency, level, continuity.
    // `extra` is the length the effects may add (filter ringing).
    void WholeTone(const std::vector<double>& x, double hz, double amplitude, double seconds, const char* what,
                   double extra = 0, std::int64_t edge = 441)
    {
        const Span s = FindSound(x, 0.5);
        if (s.first < 0) {
            Check(false, std::string(what) + ": nothing heard");
            return;
        }
        // Silence that could not be told adds to the length: the server's doing
        // (another attempt) when the length is right without it.
        std::int64_t untold = 0;
        std::vector<std::pair<std::int64_t, std::int64_t>> places;
        for (const auto& [at, frames] : m_recording->untold) {
            if (at >= s.first && at <= s.last) {
                untold += frames;
                places.push_back({at, at});
            }
        }
        const double length = static_cast<double>(s.Length()), expected = seconds * kRate + extra;
        if (!places.empty() && std::fabs(length - expected) > 0.005 * kRate &&
            std::fabs(length - static_cast<double>(untold) - expected) <= 0.005 * kRate) {
            Excuse(std::string(what) + " length is " + std::to_string(length) + " with silence that tells nothing",
                   places);
        } else {
            Near(length, expected, 0.005 * kRate, std::string(what) + " length");
        }
        Near(audiotest::MeasureFrequency(x, s.first + edge, s.last - edge, kRate), hz, 0.5,
             std::string(what) + " frequency");
        Continuous(x, s.first + edge, s.last - edge, hz, what);
        Near(CheckTone(x, s.first + edge, s.last - edge, hz, kRate).amplitude, amplitude, 0.02 * amplitude,
             std::string(what) + " amplitude");
    }
    const std::string& Blamed() const { return m_blamed; }
    // A fault at `places`: excused when the server altered the stream at each.
    void Excuse(const std::string& text, const std::vector<std::pair<std::int64_t, std::int64_t>>& places)
    {
        std::string causes;
        for (const auto& [from, to] : places) {
            const auto match = std::find_if(m_recording->alterations.begin(), m_recording->alterations.end(),
                                            [&](const Alteration& a) { return a.frame >= from && a.frame <= to; });
            if (match == m_recording->alterations.end()) {
                Check(false, text);
                return;
            }
            causes += match->what + "; ";
        }
        if (places.empty()) {
            Check(false, text);
        } else {
            m_excused += text + " (where the server altered it: " + causes + "); ";
        }
    }
    const std::string& Excused() const { return m_excused; }

private:
    const Recording* m_recording;
    std::string m_blamed;
    std::string m_excused;
};

// Runs `scenario` until its recording is clean: again (at most five times in
// all) only while every fault lies where the sound server altered the stream.
void PlayUntilClean(const char* name, const std::function<Findings(Attempt&, Recording&)>& scenario)
{
    std::vector<Recording> heard;   // the attempts before
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        Attempt a;
        ASSERT_TRUE(a.started) << "the capture does not run: " << a.recorder.Error();
        Recording r;
        Findings f = scenario(a, r);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
        // A stretch that lost nothing is the server's once an earlier attempt
        // played that place of the stream without one; one that comes back
        // each time is the engine's.
        std::string server, cleared;
        std::size_t next = 0;
        for (const audiotest::Silence& s : r.silences) {
            if (!s.Told()) {
                continue;
            }
            if (!s.LostNothing()) {
                f.Check(false, s.Describe(kRate) + ": written over the stream");
                continue;
            }
            const std::int64_t at = r.silencesInStream[next++];
            const bool playedWithout = std::any_of(heard.begin(), heard.end(), [&](const Recording& e) {
                return at < e.streamFrames && std::none_of(e.silencesInStream.begin(), e.silencesInStream.end(),
                                                           [&](std::int64_t o) { return std::llabs(o - at) <= 32; });
            });
            (playedWithout ? cleared : server) += s.Describe(kRate) + "; ";
        }
        if (f.Blamed().empty() && f.Excused().empty() && server.empty()) {
            if (!cleared.empty()) {
                std::printf("attempt %d: whole without the sound server's silence: %s\n", attempt, cleared.c_str());
            }
            return;
        }
        const std::string file = std::string("player_") + name + "_" + std::to_string(attempt) + ".wav";
        audiotest::WriteWav(std::wstring(file.begin(), file.end()), r.raw, 2, 44100);
        if (!f.Blamed().empty()) {
            ADD_FAILURE() << "attempt " << attempt << " (kept as " << file << "), the engine's: " << f.Blamed()
                          << f.Excused() << server;
            return;
        }
        const std::string findings = f.Excused().empty() ? "whole without the silence" : f.Excused();
        const std::string cause = server.empty() ? "the slips named above" : server;
        if (attempt < kAttempts) {
            std::printf("attempt %d: %s\n  tried again: the sound server altered the stream (%s)\n", attempt,
                        findings.c_str(), cause.c_str());
        } else {
            ADD_FAILURE() << "the sound server kept altering the stream, or the engine wrote silence at the same "
                          << "place every time: " << findings << "; " << cause;
        }
        r.raw.clear();
        heard.push_back(std::move(r));
    }
}

}  // namespace

TEST(PlayerSound, SineArrivesWholeAtItsFrequencyAndLevel)
{
    PlayUntilClean("sine", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 1499, 0.25, 2.0);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_EQ(a.player.GetState(), kPlayerPlaying);
        EXPECT_TRUE(a.player.IsFeederRunning());
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(997, 1499);
        EXPECT_EQ(a.player.GetState(), kPlayerStopped);
        EXPECT_EQ(a.player.GetStopReason(), kStopDataEnded);
        EXPECT_EQ(tone.endNotices, 1);
        EXPECT_EQ(tone.badBlocks, 0);
        Findings f(r);
        f.WholeTone(r.left, 997, 0.5 * kFull, 2.0, "left");
        f.WholeTone(r.right, 1499, 0.25 * kFull, 2.0, "right");
        return f;
    });
}

TEST(PlayerSound, BalanceZeroSilencesTheRightChannel)
{
    PlayUntilClean("balance", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 997, 0.5, 1.0);
        a.player.SetBalance(0);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(997, 0);
        Findings f(r);
        f.WholeTone(r.left, 997, 0.5 * kFull, 1.0, "left");
        EXPECT_EQ(FindSound(r.right, 0.5).first, -1) << "the right channel was heard";
        return f;
    });
}

TEST(PlayerSound, EqualizerAttenuatesItsBand)
{
    // The bands 400-800 and 800-1500 Hz at gain 0.5: the 800-1500 Hz band is
    // flat at 0.5. 4500 Hz lies in a band left at 1.
    PlayUntilClean("equalizer", [](Attempt& a, Recording& r) {
        ToneSource tone(1100, 0.5, 4500, 0.5, 2.0);
        const float gains[10] = {1, 1, 1, 1, 0.5f, 0.5f, 1, 1, 1, 1};
        a.player.SetEqualizer(gains, 10, true);
        EXPECT_TRUE(a.player.IsEqualizerOn());
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(1100, 4500);
        // Away from the filter's ringing at the start and end.
        Findings f(r);
        f.WholeTone(r.left, 1100, 0.25 * kFull, 2.0, "left", 2048, 4410);
        f.WholeTone(r.right, 4500, 0.5 * kFull, 2.0, "right", 2048, 4410);
        return f;
    });
}

TEST(PlayerSound, PartialBlocksKeepTheEqualizedStreamWhole)
{
    // A source that fills 1000 frames at a time: the equalizer must see only
    // those frames, or the stream comes out cut up; and its last samples must
    // be heard when the data ends.
    PlayUntilClean("partial", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 997, 0.5, 2.0);
        tone.SetChunk(1000);
        const float flat[10] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        a.player.SetEqualizer(flat, 10, true);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(997, 997);
        Findings f(r);
        f.WholeTone(r.left, 997, 0.5 * kFull, 2.0, "left", 2048, 4410);
        return f;
    });
}

TEST(PlayerSound, EndOfDataStopsWithTheNoticeFromTheFeeder)
{
    PlayUntilClean("end", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 997, 0.5, 0.5);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(997, 997);
        EXPECT_NE(tone.endNoticeThread, GetCurrentThreadId());
        EXPECT_EQ(a.player.GetStopReason(), kStopDataEnded);
        EXPECT_TRUE(WaitFor([&] { return !a.player.IsFeederRunning(); }, 2000));
        // Everything that was given was heard, once.
        Findings f(r);
        f.WholeTone(r.left, 997, 0.5 * kFull, 0.5, "left");
        return f;
    });
}

TEST(PlayerSound, DataEndingInTheFirstSegmentIsHeardOnce)
{
    // A quarter of the first segment: the rest of the buffer must not play
    // it again before the engine stops.
    PlayUntilClean("short", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 997, 0.5, 0.06);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(997, 997);
        Findings f(r);
        f.WholeTone(r.left, 997, 0.5 * kFull, 0.06, "left");
        return f;
    });
}

TEST(PlayerSound, NoDataAtAllStopsAfterSilence)
{
    PlayUntilClean("nodata", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 997, 0.5, 0.0);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        r = a.Finish(997, 997);
        EXPECT_EQ(a.player.GetState(), kPlayerStopped);
        EXPECT_EQ(a.player.GetStopReason(), kStopDataEnded);
        // The first fill was told the end; whether the silence written at the
        // end asks again depends on how far the cursor moved by then.
        EXPECT_GE(tone.endAnswers, 1);
        EXPECT_EQ(tone.dataCalls, 0);
        EXPECT_EQ(FindSound(r.left, 0.5).first, -1);
        return Findings(r);
    });
}

TEST(PlayerSound, PauseAndResumeContinueTheStream)
{
    // Blocks of 1000 frames against segments of 11025: every pause and
    // every Play falls inside a block, whose rest must be heard on resuming.
    PlayUntilClean("pause", [](Attempt& a, Recording& r) {
        ToneSource tone(997, 0.5, 997, 0.5, -1);
        tone.SetChunk(1000);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        Sleep(400);
        EXPECT_EQ(a.player.Play(), 0);   // already playing: the stream goes on untouched
        Sleep(400);
        EXPECT_EQ(a.player.Pause(), 0);
        EXPECT_EQ(a.player.GetState(), kPlayerPaused);
        Sleep(700);
        EXPECT_EQ(a.player.Play(), 0);   // Play resumes a paused engine
        EXPECT_EQ(a.player.GetState(), kPlayerPlaying);
        Sleep(250);
        EXPECT_EQ(a.player.Play(), 0);
        Sleep(250);
        EXPECT_EQ(a.player.Pause(), 0);
        Sleep(400);
        EXPECT_EQ(a.player.Pause(), 0);   // and so does Pause
        EXPECT_EQ(a.player.GetState(), kPlayerPlaying);
        Sleep(600);
        EXPECT_EQ(a.player.Stop(kStopRequested), 0);
        EXPECT_EQ(a.player.GetStopReason(), kStopRequested);
        EXPECT_FALSE(a.player.IsFeederRunning());
        r = a.Finish(997, 997, 8820);   // the pauses last 400 ms and more

        // Three stretches of tone with silence between; put together they
        // must make one continuous tone.
        std::vector<double> joined;
        std::vector<std::pair<std::int64_t, std::int64_t>> starts;   // of each stretch: in joined, in the recording
        int stretches = 0;
        const std::vector<double>& x = r.left;
        std::size_t i = 0;
        while (i < x.size()) {
            while (i < x.size() && x[i] == 0) ++i;
            if (i >= x.size()) break;
            const std::size_t start = i;
            std::size_t quiet = 0;
            while (i < x.size() && quiet < 2205) {
                quiet = x[i] == 0 ? quiet + 1 : 0;
                ++i;
            }
            const std::size_t end = i - quiet;
            if (end - start > 4410) {
                ++stretches;
                starts.push_back({static_cast<std::int64_t>(joined.size()), static_cast<std::int64_t>(start)});
                joined.insert(joined.end(), x.begin() + start, x.begin() + end);
            }
        }
        Findings f(r);
        f.Check(stretches == 3, "stretches of tone: " + std::to_string(stretches));
        const Span s = FindSound(joined, 0.5);
        f.Continuous(joined, s.first + 441, s.last - 441, 997, "joined stretches", [&](std::int64_t at) {
            auto k = starts.size();
            while (k > 1 && starts[k - 1].first > at) --k;
            return k == 0 ? at : starts[k - 1].second + (at - starts[k - 1].first);
        });
        return f;
    });
}

TEST(PlayerSound, StopAndPauseFromInsideTheCallback)
{
    // Call 3 comes during the first fill (on this thread), call 8 from the feeder.
    CExtPlayerDX player;
    for (int stopAt : {3, 8}) {
        ToneSource tone(997, 0.5, 997, 0.5, 5.0);
        tone.onData = [&](int call) {
            if (call == stopAt) {
                player.Stop(kStopRequested);
            }
        };
        ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        ASSERT_EQ(player.Play(), 0);
        ASSERT_TRUE(WaitFor([&] { return player.GetState() == kPlayerStopped; }, 10000)) << stopAt;
        EXPECT_EQ(player.GetStopReason(), kStopRequested);
        EXPECT_TRUE(WaitFor([&] { return !player.IsFeederRunning(); }, 3000)) << stopAt;
        EXPECT_EQ(tone.endNotices, 0);
        EXPECT_EQ(tone.dataCalls, stopAt);
        ASSERT_EQ(player.SetDataCallback(nullptr, 0), 0);
    }
    // A pause asked for during the first fill holds; lifted (by Pause, then
    // by Play after another pause), the feeder carries the data on to its end.
    {
        ToneSource tone(997, 0.5, 997, 0.5, 2.5);
        tone.onData = [&](int call) {
            if (call == 2) {
                player.Pause();
            }
        };
        ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        ASSERT_EQ(player.Play(), 0);
        EXPECT_EQ(player.GetState(), kPlayerPaused);
        EXPECT_TRUE(player.IsFeederRunning());
        const int firstFill = tone.dataCalls;
        Sleep(300);
        EXPECT_EQ(tone.dataCalls, firstFill);   // nothing plays, nothing is pulled
        EXPECT_EQ(player.Pause(), 0);
        EXPECT_EQ(player.GetState(), kPlayerPlaying);
        EXPECT_TRUE(WaitFor([&] { return tone.dataCalls > firstFill; }, 3000));
        EXPECT_EQ(player.Pause(), 0);
        EXPECT_EQ(player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
        EXPECT_EQ(tone.frames, static_cast<std::int64_t>(2.5 * kRate));
        EXPECT_EQ(player.GetStopReason(), kStopDataEnded);
        ASSERT_EQ(player.SetDataCallback(nullptr, 0), 0);
    }
    // The engine plays again afterwards.
    ToneSource tone(997, 0.5, 997, 0.5, 0.3);
    ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
    ASSERT_EQ(player.Play(), 0);
    EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 15000));
}

// Other rates and layouts play at their pitch and end on time: the engine's
// buffer lasts as long at every rate, and the end comes as soon as the last
// sample has been heard. The next track, started at the end notice as a
// playlist does, follows within a quarter second.
struct RateCase {
    int rate;
    int channels;
};

class PlayerRates : public ::testing::TestWithParam<RateCase> {};

TEST_P(PlayerRates, PlayAtTheirPitchAndEndOnTime)
{
    const RateCase c = GetParam();
    PlayUntilClean(("rate" + std::to_string(c.rate)).c_str(), [c](Attempt& a, Recording& r) {
        WAVEFORMATEXTENSIBLE format = {};
        format.Format.wFormatTag = WAVE_FORMAT_PCM;
        format.Format.nChannels = static_cast<WORD>(c.channels);
        format.Format.nSamplesPerSec = static_cast<DWORD>(c.rate);
        format.Format.wBitsPerSample = 16;
        format.Format.nBlockAlign = static_cast<WORD>(2 * c.channels);
        format.Format.nAvgBytesPerSec = format.Format.nBlockAlign * format.Format.nSamplesPerSec;
        EXPECT_EQ(a.player.SetFormat(&format), 0);
        ToneSource first(500, 0.5, 500, 0.5, 1.0, c.rate);
        first.SetChannels(c.channels);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, first.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        // Five segments of a quarter second.
        EXPECT_NEAR(static_cast<double>(a.player.GetBufferBytes()) / format.Format.nAvgBytesPerSec, 1.25, 0.001);
        EXPECT_TRUE(WaitFor([&] { return first.endNotices > 0; }, 15000));
        ToneSource next(1500, 0.5, 1500, 0.5, 0.3, c.rate);
        next.SetChannels(c.channels);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, next.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return next.endNotices > 0; }, 15000));
        // Silence between the tracks (other tones on its two sides) tells
        // nothing and stays in the recording.
        r = a.Finish(500, 500);

        // The server mixes it to both channels at its own rate.
        Findings f(r);
        const Span s = FindSound(r.left, 0.5);
        if (s.first < 0) {
            f.Check(false, "nothing heard");
            return f;
        }
        f.Near(audiotest::MeasureFrequency(r.left, s.first + 441, s.first + 39690, kRate), 500, 0.5,
               "frequency of the first track");
        f.Near(audiotest::MeasureFrequency(r.left, s.last - 11025, s.last - 441, kRate), 1500, 1,
               "frequency of the next track");
        f.Check(FindSound(r.right, 0.5).Length() > 0, "right silent");
        // Both tracks whole (1.3 s), and between them less than a quarter second.
        const double between = static_cast<double>(s.Length()) / kRate - 1.3;
        std::printf("silence between the tracks: %.3f s\n", between);
        f.Check(between > -0.01, "sound missing: " + std::to_string(-between) + " s");
        // Late only where the server was starved just before or in the gap.
        const std::int64_t end = s.first + static_cast<std::int64_t>(kRate);
        f.Located(between < 0.25, "the next track came " + std::to_string(between) + " s after the last sample",
                  end - 11025, end + static_cast<std::int64_t>(between * kRate) + 441);
        return f;
    });
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayerRates,
                         ::testing::Values(RateCase{8000, 1}, RateCase{22050, 1}, RateCase{44100, 2},
                                           RateCase{96000, 2}),
                         [](const ::testing::TestParamInfo<RateCase>& info) {
                             return std::to_string(info.param.rate) + (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

// Segment counts up to 100 (more than the 63 events a wait can take besides
// the stop event) all play the whole stream.
class PlayerSegments : public ::testing::TestWithParam<int> {};

TEST_P(PlayerSegments, PlayWithoutGaps)
{
    const int count = GetParam();
    PlayUntilClean(("segments" + std::to_string(count)).c_str(), [count](Attempt& a, Recording& r) {
        EXPECT_EQ(a.player.SetSegmentCount(count), 0);
        EXPECT_EQ(a.player.SetSegmentBytes(count == 5 ? 44100 : 4408), 0);
        // Longer than the buffer, so that the feeder refills every segment.
        ToneSource tone(997, 0.5, 997, 0.5, 3.0);
        EXPECT_EQ(a.player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
        EXPECT_EQ(a.player.Play(), 0);
        EXPECT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 20000));
        r = a.Finish(997, 997);
        EXPECT_EQ(a.player.GetStopReason(), kStopDataEnded);
        Findings f(r);
        f.WholeTone(r.left, 997, 0.5 * kFull, 3.0, "left");
        return f;
    });
}

INSTANTIATE_TEST_SUITE_P(Counts, PlayerSegments, ::testing::Values(5, 64, 100));
