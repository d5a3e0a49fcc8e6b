// The engine's states, result codes, settings and notices, on the real device.
#include "player/ext_player_dx.h"

#include "player_test_support.h"

#include <gtest/gtest.h>


using playertest::ToneSource;

namespace {

WAVEFORMATEXTENSIBLE Pcm(WORD channels, DWORD rate, WORD bits = 16)
{
    WAVEFORMATEXTENSIBLE f = {};
    f.Format.wFormatTag = WAVE_FORMAT_PCM;
    f.Format.nChannels = channels;
    f.Format.nSamplesPerSec = rate;
    f.Format.wBitsPerSample = bits;
    f.Format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
    return f;
}

}  // namespace

TEST(PlayerState, StartsStoppedWithTheDefaultFormat)
{
    CExtPlayerDX player;
    EXPECT_EQ(player.GetState(), kPlayerStopped);
    EXPECT_EQ(player.GetStopReason(), kStopNone);
    EXPECT_EQ(player.GetSegmentCount(), 5);
    EXPECT_EQ(player.GetSegmentBytes(), 44100);
    const WAVEFORMATEXTENSIBLE* f = player.GetFormat();
    EXPECT_EQ(f->Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(f->Format.nChannels, 2);
    EXPECT_EQ(f->Format.nSamplesPerSec, 44100u);
    EXPECT_EQ(f->Format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f->Format.nBlockAlign, 4);
    EXPECT_EQ(f->Format.wBitsPerSample, 16);
    EXPECT_EQ(f->Format.cbSize, 22);
    EXPECT_EQ(f->Samples.wValidBitsPerSample, 0);
    EXPECT_EQ(f->dwChannelMask, 3u);
    EXPECT_FALSE(player.IsEqualizerOn());
    EXPECT_FALSE(player.IsSurroundOn());
    // The system's wave-out volume: full and centred in the test prefix.
    EXPECT_EQ(player.GetVolume(), 100);
    EXPECT_EQ(player.GetBalance(), 50);
}

TEST(PlayerState, ResultCodesOfTheOperations)
{
    CExtPlayerDX player;
    EXPECT_EQ(player.Play(), kPlayerFailedState);   // no callback
    EXPECT_EQ(player.Pause(), 0);                    // stopped: nothing
    EXPECT_EQ(player.Stop(kStopRequested), 0);
    EXPECT_EQ(player.Stop(7), 1);
    EXPECT_EQ(player.SetSegmentCount(101), 1);
    EXPECT_EQ(player.SetSegmentCount(0), 1);
    EXPECT_EQ(player.GetSegmentCount(), 5);
    EXPECT_EQ(player.SetSegmentBytes(3), 1);         // less than a frame
    EXPECT_EQ(player.SetSegmentBytes(4 * ((1 << 20) + 1)), 1);
    EXPECT_EQ(player.GetSegmentBytes(), 44100);

    ToneSource tone(997, 0.1, 997, 0.1, -1);
    ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
    ASSERT_EQ(player.Play(), 0);
    EXPECT_EQ(player.Play(), 0);   // already playing
    EXPECT_EQ(player.GetState(), kPlayerPlaying);
    EXPECT_EQ(player.SetSegmentCount(10), kPlayerNotStopped);
    EXPECT_EQ(player.SetSegmentBytes(8820), kPlayerNotStopped);
    WAVEFORMATEXTENSIBLE mono = Pcm(1, 44100);
    EXPECT_EQ(player.SetFormat(&mono), kPlayerNotStopped);
    EXPECT_EQ(player.SetDataCallback(nullptr, 0), kPlayerNotStopped);
    ASSERT_EQ(player.Pause(), 0);
    EXPECT_EQ(player.SetDataCallback(nullptr, 0), kPlayerNotStopped);
    EXPECT_EQ(player.Stop(kStopRequested), 0);
    EXPECT_EQ(player.GetState(), kPlayerStopped);
    EXPECT_EQ(player.GetStopReason(), kStopRequested);
    EXPECT_FALSE(player.IsFeederRunning());
    EXPECT_EQ(tone.endNotices, 0);   // a requested stop sends no end notice

    // Stopped again, everything is allowed, and it plays again.
    EXPECT_EQ(player.SetSegmentCount(10), 0);
    EXPECT_EQ(player.SetSegmentBytes(8820), 0);
    ASSERT_EQ(player.Play(), 0);
    EXPECT_EQ(player.Close(), 0);
    EXPECT_EQ(player.GetState(), kPlayerStopped);
    EXPECT_EQ(player.GetStopReason(), kStopNone);
    EXPECT_FALSE(player.IsFeederRunning());
}

TEST(PlayerState, DeviceFailureHoldsUntilClose)
{
    CExtPlayerDX player;
    ToneSource tone(997, 0.1, 997, 0.1, -1);
    ASSERT_EQ(player.SetDataCallback(&ToneSource::Callback, tone.User()), 0);
    // 100 segments of 4 MiB: more than a sound buffer may hold.
    ASSERT_EQ(player.SetSegmentCount(100), 0);
    ASSERT_EQ(player.SetSegmentBytes(4 << 20), 0);
    EXPECT_EQ(player.Play(), kPlayerDeviceError);
    EXPECT_EQ(player.GetState(), kPlayerFailed);
    EXPECT_EQ(player.GetStopReason(), kStopStartFailed);
    EXPECT_EQ(player.Play(), kPlayerFailedState);
    EXPECT_EQ(player.Pause(), kPlayerFailedState);
    EXPECT_EQ(player.Stop(kStopRequested), kPlayerFailedState);
    EXPECT_EQ(player.SetSegmentCount(5), kPlayerFailedState);
    EXPECT_EQ(player.SetSegmentBytes(44100), kPlayerFailedState);
    EXPECT_FALSE(player.IsFeederRunning());

    // Close brings it back; so does SetFormat, which closes a failed engine first.
    EXPECT_EQ(player.Close(), 0);
    EXPECT_EQ(player.GetState(), kPlayerStopped);
    EXPECT_EQ(player.GetStopReason(), kStopNone);
    EXPECT_EQ(player.Play(), kPlayerDeviceError);
    WAVEFORMATEXTENSIBLE stereo = Pcm(2, 44100);
    EXPECT_EQ(player.SetFormat(&stereo), 0);
    EXPECT_EQ(player.GetState(), kPlayerStopped);
    ASSERT_EQ(player.SetSegmentBytes(44100), 0);
    ASSERT_EQ(player.SetSegmentCount(5), 0);
    EXPECT_EQ(player.Play(), 0);
    EXPECT_EQ(player.Stop(kStopRequested), 0);
}

TEST(PlayerState, ReplacedCallbacksGetTheirDetachNotice)
{
    CExtPlayerDX player;
    ToneSource a(997, 0.1, 997, 0.1, 1), b(997, 0.1, 997, 0.1, 1);
    EXPECT_EQ(player.SetDataCallback(&ToneSource::Callback, a.User()), 0);
    EXPECT_EQ(a.detachNotices, 0);
    EXPECT_EQ(player.SetDataCallback(&ToneSource::Callback, a.User()), 0);   // the same pair
    EXPECT_EQ(a.detachNotices, 0);
    EXPECT_EQ(player.SetDataCallback(&ToneSource::Callback, b.User()), 0);   // other user data
    EXPECT_EQ(a.detachNotices, 1);
    EXPECT_EQ(player.SetDataCallback(nullptr, 0), 0);
    EXPECT_EQ(b.detachNotices, 1);
    EXPECT_EQ(player.SetDataCallback(nullptr, 0), 0);
    EXPECT_EQ(a.badBlocks + b.badBlocks, 0);
}

TEST(PlayerState, VolumeAndBalanceAreClampedAndGiveTheGains)
{
    CExtPlayerDX player;
    player.SetVolume(100);
    player.SetBalance(0);
    EXPECT_FLOAT_EQ(player.GetGains().left, 1.0f);
    EXPECT_FLOAT_EQ(player.GetGains().right, 0.0f);
    player.SetBalance(100);
    EXPECT_FLOAT_EQ(player.GetGains().left, 0.0f);
    EXPECT_FLOAT_EQ(player.GetGains().right, 1.0f);
    player.SetBalance(50);
    EXPECT_FLOAT_EQ(player.GetGains().left, 1.0f);
    EXPECT_FLOAT_EQ(player.GetGains().right, 1.0f);

    // Out of range at either end: clamped, never inverted.
    player.SetBalance(-30);
    EXPECT_EQ(player.GetBalance(), 0);
    EXPECT_FLOAT_EQ(player.GetGains().right, 0.0f);
    player.SetBalance(250);
    EXPECT_EQ(player.GetBalance(), 100);
    EXPECT_FLOAT_EQ(player.GetGains().left, 0.0f);
    player.SetVolume(-20);
    EXPECT_EQ(player.GetVolume(), 0);
    EXPECT_FLOAT_EQ(player.GetGains().plain, 0.0f);
    EXPECT_FLOAT_EQ(player.GetGains().right, 0.0f);
    player.SetVolume(150);
    EXPECT_EQ(player.GetVolume(), 100);
    // Volume changes keep the balance.
    player.SetBalance(25);
    player.SetVolume(50);
    EXPECT_FLOAT_EQ(player.GetGains().left, 0.5f);
    EXPECT_FLOAT_EQ(player.GetGains().right, 0.25f);
    EXPECT_FLOAT_EQ(player.GetGains().plain, 0.5f);
}

TEST(PlayerState, FormatsAreCheckedAndPlainOnesMadeExtensible)
{
    CExtPlayerDX player;
    EXPECT_EQ(player.SetFormat(nullptr), 1);
    WAVEFORMATEXTENSIBLE eight = Pcm(2, 44100, 8);
    EXPECT_EQ(player.SetFormat(&eight), 1);
    WAVEFORMATEXTENSIBLE nine = Pcm(9, 44100);
    EXPECT_EQ(player.SetFormat(&nine), 1);
    WAVEFORMATEXTENSIBLE badAlign = Pcm(2, 44100);
    badAlign.Format.nBlockAlign = 6;
    EXPECT_EQ(player.SetFormat(&badAlign), 1);
    WAVEFORMATEXTENSIBLE zeroRate = Pcm(2, 0);
    EXPECT_EQ(player.SetFormat(&zeroRate), 1);
    WAVEFORMATEXTENSIBLE floats = Pcm(2, 44100);
    floats.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    floats.Format.cbSize = 22;
    floats.SubFormat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    EXPECT_EQ(player.SetFormat(&floats), 1);
    EXPECT_EQ(player.GetFormat()->Format.nChannels, 2);   // unchanged

    WAVEFORMATEXTENSIBLE mono = Pcm(1, 22050);
    mono.Format.nAvgBytesPerSec = 1;   // inconsistent: recomputed
    ASSERT_EQ(player.SetFormat(&mono), 0);
    const WAVEFORMATEXTENSIBLE* f = player.GetFormat();
    EXPECT_EQ(f->Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
    EXPECT_EQ(f->Format.nChannels, 1);
    EXPECT_EQ(f->Format.nSamplesPerSec, 22050u);
    EXPECT_EQ(f->Format.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(f->Format.cbSize, 22);
    EXPECT_EQ(f->dwChannelMask, static_cast<DWORD>(SPEAKER_FRONT_CENTER));

    WAVEFORMATEXTENSIBLE six = Pcm(6, 48000);
    six.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    six.Format.cbSize = 22;
    six.dwChannelMask = 0x3F;
    six.SubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    ASSERT_EQ(player.SetFormat(&six), 0);
    EXPECT_EQ(player.GetFormat()->dwChannelMask, 0x3Fu);
    EXPECT_EQ(player.GetFormat()->Format.nBlockAlign, 12);
}
