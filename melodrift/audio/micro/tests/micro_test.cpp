// The capture engine on the wave-input device, which in the test environment
// records what the sound server plays: a tone played by the playback engine
// comes back through the data callback.
#include "micro/ext_micro.h"

#include "audiotest/tone_analysis.h"
#include "player/ext_player_dx.h"
#include "../../player/tests/player_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

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

// Collects what the capture engine delivers.
class Sink {
public:
    static int __cdecl Callback(std::uintptr_t user, void* data, std::int32_t bytes)
    {
        return reinterpret_cast<Sink*>(user)->Take(data, bytes);
    }
    std::uintptr_t User() { return reinterpret_cast<std::uintptr_t>(this); }

    std::function<void(int)> onBuffer;   // runs inside the callback with the buffer's number
    std::atomic<int> buffers{0};
    std::atomic<int> detachNotices{0};
    std::atomic<DWORD> thread{0};
    std::atomic<bool> otherThread{false};

    std::vector<std::int16_t> Samples()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }
    std::vector<std::int32_t> Lengths()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lengths;
    }

private:
    int Take(void* data, std::int32_t bytes)
    {
        if (!data) {
            if (bytes == 0) ++detachNotices;
            return 0;
        }
        const DWORD me = GetCurrentThreadId();
        if (thread == 0) thread = me;
        if (thread != me) otherThread = true;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto* s = static_cast<const std::int16_t*>(data);
            m_samples.insert(m_samples.end(), s, s + bytes / 2);
            m_lengths.push_back(bytes);
        }
        const int n = ++buffers;
        if (onBuffer) onBuffer(n);
        return 0;
    }

    std::mutex m_mutex;
    std::vector<std::int16_t> m_samples;
    std::vector<std::int32_t> m_lengths;
};

}  // namespace

TEST(MicroState, ResultCodesAndFormat)
{
    CExtMicro micro;
    EXPECT_EQ(micro.GetState(), kMicroStopped);
    EXPECT_EQ(micro.Start(), kMicroFailedState);   // no callback
    EXPECT_EQ(micro.Stop(), 0);
    EXPECT_EQ(micro.Pause(), 0);
    EXPECT_EQ(micro.GetBufferCount(), 5);
    EXPECT_EQ(micro.GetBufferBytes(), 44100);
    EXPECT_EQ(micro.SetBufferCount(101), kMicroDeviceError);
    EXPECT_EQ(micro.SetBufferCount(0), kMicroDeviceError);
    EXPECT_EQ(micro.GetBufferCount(), 5);
    EXPECT_EQ(micro.SetBufferBytes(0), kMicroDeviceError);
    EXPECT_EQ(micro.SetFormat(nullptr), kMicroDeviceError);

    const WAVEFORMATEX* f = micro.GetFormat();
    EXPECT_EQ(f->wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(f->cbSize, 0);
    EXPECT_EQ(f->nChannels, 1);
    EXPECT_EQ(f->nSamplesPerSec, 44100u);
    EXPECT_EQ(f->nAvgBytesPerSec, 88200u);
    EXPECT_EQ(f->nBlockAlign, 2);
    EXPECT_EQ(f->wBitsPerSample, 16);

    // Any tag is stored as PCM; the reported one is 0xFFFE with no extra bytes.
    WAVEFORMATEX stereo = {WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 192000, 4, 16, 12};
    ASSERT_EQ(micro.SetFormat(&stereo), 0);
    f = micro.GetFormat();
    EXPECT_EQ(f->wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(f->cbSize, 0);
    EXPECT_EQ(f->nChannels, 2);
    EXPECT_EQ(f->nSamplesPerSec, 48000u);

    Sink a, b;
    EXPECT_EQ(micro.SetDataCallback(&Sink::Callback, a.User()), 0);
    EXPECT_EQ(micro.SetDataCallback(&Sink::Callback, a.User()), 0);   // the same pair: nothing
    EXPECT_EQ(a.detachNotices, 0);
    EXPECT_EQ(micro.SetDataCallback(&Sink::Callback, b.User()), 0);
    EXPECT_EQ(a.detachNotices, 1);

    ASSERT_EQ(micro.Start(), 0);
    EXPECT_EQ(micro.GetState(), kMicroRecording);
    EXPECT_EQ(micro.Start(), 0);
    EXPECT_TRUE(micro.IsCaptureThreadRunning());
    EXPECT_EQ(micro.SetFormat(&stereo), kMicroNotStopped);
    EXPECT_EQ(micro.SetBufferCount(3), kMicroNotStopped);
    EXPECT_EQ(micro.SetBufferBytes(100), kMicroNotStopped);
    EXPECT_EQ(micro.SetDataCallback(&Sink::Callback, a.User()), kMicroNotStopped);
    ASSERT_EQ(micro.Pause(), 0);
    EXPECT_EQ(micro.GetState(), kMicroPaused);
    EXPECT_EQ(micro.SetDataCallback(nullptr, 0), kMicroNotStopped);
    ASSERT_EQ(micro.Start(), 0);   // Start resumes a paused capture
    EXPECT_EQ(micro.GetState(), kMicroRecording);
    EXPECT_EQ(micro.Stop(), 0);
    EXPECT_EQ(micro.GetState(), kMicroStopped);
    EXPECT_FALSE(micro.IsCaptureThreadRunning());
    EXPECT_EQ(micro.SetBufferCount(3), 0);
}

TEST(MicroState, DeviceFailureHoldsUntilClose)
{
    CExtMicro micro;
    Sink sink;
    ASSERT_EQ(micro.SetDataCallback(&Sink::Callback, sink.User()), 0);
    WAVEFORMATEX impossible = {WAVE_FORMAT_PCM, 1, 0, 0, 2, 16, 0};   // no rate: refused
    ASSERT_EQ(micro.SetFormat(&impossible), 0);
    EXPECT_EQ(micro.Start(), kMicroDeviceError);
    EXPECT_EQ(micro.GetState(), kMicroFailed);
    EXPECT_FALSE(micro.IsCaptureThreadRunning());
    EXPECT_EQ(micro.Start(), kMicroFailedState);
    EXPECT_EQ(micro.Stop(), kMicroFailedState);
    EXPECT_EQ(micro.Pause(), kMicroFailedState);
    EXPECT_EQ(micro.SetFormat(&impossible), kMicroFailedState);
    EXPECT_EQ(micro.SetBufferCount(5), kMicroFailedState);
    EXPECT_EQ(micro.SetBufferBytes(5), kMicroFailedState);
    EXPECT_EQ(micro.Close(), 0);
    EXPECT_EQ(micro.GetState(), kMicroStopped);
    WAVEFORMATEX mono = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    ASSERT_EQ(micro.SetFormat(&mono), 0);
    EXPECT_EQ(micro.Start(), 0);
    EXPECT_EQ(micro.Stop(), 0);
}

namespace {

// Plays `seconds` of a 997 Hz tone at half level while capturing with
// `buffers` buffers of `bytes`; returns once the tone has ended.
void PlayWhileCapturing(CExtMicro& micro, Sink& sink, double seconds)
{
    ASSERT_EQ(micro.SetDataCallback(&Sink::Callback, sink.User()), 0);
    ASSERT_EQ(micro.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return sink.buffers >= 2; }, 10000)) << "nothing captured";
    CExtPlayerDX player;
    player.SetVolume(100);
    player.SetBalance(50);
    ToneSource tone(997, 0.5, 997, 0.5, seconds);
    ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
    ASSERT_EQ(player.Play(), 0);
    ASSERT_TRUE(WaitFor([&] { return tone.endNotices > 0; }, 20000));
    Sleep(500);
}

// The tone in the captured samples, checked whole; empty when it is.
// The sound server's own silence (see the playback tests) is taken out first.
std::string ToneFindings(const std::vector<std::int16_t>& captured, double seconds)
{
    audiotest::Dropouts dropouts;
    const std::vector<std::int16_t> samples = audiotest::RemoveDropouts(captured, 1, &dropouts);
    const std::vector<double> x = audiotest::Channel(samples, 1, 0);
    const audiotest::Span s = audiotest::FindSound(x, 0.5);
    if (s.first < 0) return "no tone captured";
    std::string findings;
    if (dropouts.count > 64) {
        findings += "too many gaps: " + dropouts.Describe() + "; ";
    } else if (dropouts.count > 0) {
        std::printf("%s\n", dropouts.Describe().c_str());
    }
    if (std::fabs(static_cast<double>(s.Length()) - seconds * 44100) > 441) {
        findings += "tone of " + std::to_string(s.Length()) + " samples; ";
    }
    const auto check = audiotest::CheckTone(x, s.first + 441, s.last - 441, 997, 44100);
    if (!check.continuous) findings += "not continuous: " + check.Describe() + "; ";
    // Both channels at half level, mixed to one.
    if (std::fabs(check.amplitude - 0.5 * 32767) > 0.03 * 0.5 * 32767) {
        findings += "amplitude " + std::to_string(check.amplitude) + "; ";
    }
    return findings;
}

}  // namespace

// The sound server can drop out for a moment on a busy machine (see the
// playback tests): a capture that is not clean is tried again, three times
// in all; a fault of the engine shows every time.
TEST(MicroCapture, ToneArrivesInFillOrderWithFullBuffers)
{
    // Buffers of 2.5 ms: several fill at once (within one millisecond tick),
    // also across the end of the buffer list, and the order must still be
    // the order of filling.
    for (const int bytes : {8820, 220}) {
        std::string findings;
        for (int attempt = 1; attempt <= 3; ++attempt) {
            CExtMicro micro;
            ASSERT_EQ(micro.SetBufferCount(bytes == 8820 ? 10 : 100), 0);
            ASSERT_EQ(micro.SetBufferBytes(bytes), 0);
            Sink sink;
            PlayWhileCapturing(micro, sink, 1.5);
            if (HasFatalFailure()) return;
            ASSERT_EQ(micro.Stop(), 0);
            EXPECT_FALSE(sink.otherThread);
            EXPECT_NE(sink.thread, GetCurrentThreadId());
            for (std::int32_t length : sink.Lengths()) {
                ASSERT_EQ(length, bytes);
            }
            findings = ToneFindings(sink.Samples(), 1.5);
            if (findings.empty()) break;
            std::printf("buffers of %d bytes, attempt %d: %s\n", bytes, attempt, findings.c_str());
        }
        EXPECT_EQ(findings, "") << bytes;
    }
}

TEST(MicroCapture, AfterStopNothingIsDeliveredAndNoThreadIsLeft)
{
    CExtMicro micro;
    ASSERT_EQ(micro.SetBufferCount(8), 0);
    ASSERT_EQ(micro.SetBufferBytes(4410), 0);
    Sink sink;
    ASSERT_EQ(micro.SetDataCallback(&Sink::Callback, sink.User()), 0);
    ASSERT_EQ(micro.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return sink.buffers >= 5; }, 10000));
    ASSERT_EQ(micro.Stop(), 0);
    EXPECT_FALSE(micro.IsCaptureThreadRunning());
    const int delivered = sink.buffers;
    Sleep(600);
    EXPECT_EQ(sink.buffers, delivered);

    // Stopped from inside its own callback: the same, without waiting on itself.
    Sink inner;
    inner.onBuffer = [&](int n) {
        if (n == 3) micro.Stop();
    };
    ASSERT_EQ(micro.SetDataCallback(&Sink::Callback, inner.User()), 0);
    ASSERT_EQ(micro.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return micro.GetState() == kMicroStopped; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return !micro.IsCaptureThreadRunning(); }, 3000));
    Sleep(600);
    EXPECT_EQ(inner.buffers, 3);

    // And it captures again afterwards.
    Sink again;
    ASSERT_EQ(micro.SetDataCallback(&Sink::Callback, again.User()), 0);
    ASSERT_EQ(micro.Start(), 0);
    EXPECT_TRUE(WaitFor([&] { return again.buffers >= 2; }, 10000));
    EXPECT_EQ(micro.Close(), 0);
    EXPECT_FALSE(micro.IsCaptureThreadRunning());
}

TEST(MicroCapture, PauseDeliversTheStartedBufferWithItsRecordedLength)
{
    CExtMicro micro;
    ASSERT_EQ(micro.SetBufferCount(4), 0);
    ASSERT_EQ(micro.SetBufferBytes(88200), 0);   // a second each
    Sink sink;
    ASSERT_EQ(micro.SetDataCallback(&Sink::Callback, sink.User()), 0);
    ASSERT_EQ(micro.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return sink.buffers >= 1; }, 10000));
    Sleep(300);
    ASSERT_EQ(micro.Pause(), 0);
    // The buffer being filled comes back with what it holds, not its whole length.
    ASSERT_TRUE(WaitFor([&] { return sink.buffers >= 2; }, 5000));
    const std::vector<std::int32_t> lengths = sink.Lengths();
    EXPECT_EQ(lengths[0], 88200);
    EXPECT_GT(lengths[1], 0);
    EXPECT_LT(lengths[1], 88200);
    EXPECT_EQ(lengths[1] % 2, 0);
    const int delivered = sink.buffers;
    Sleep(1500);
    EXPECT_EQ(sink.buffers, delivered);   // nothing while paused
    ASSERT_EQ(micro.Pause(), 0);
    EXPECT_EQ(micro.GetState(), kMicroRecording);
    EXPECT_TRUE(WaitFor([&] { return sink.buffers > delivered; }, 5000));
    EXPECT_EQ(micro.Stop(), 0);
}
