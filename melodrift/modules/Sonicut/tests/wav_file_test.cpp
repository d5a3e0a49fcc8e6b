// Sonicut's WAV writer (valid at every moment, exact at the end), the header
// reader, and the level and time texts of the window.
#include "sonicut/wav_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace sonicut;

namespace {

// A file in memory, with a switch that makes writes fail.
class MemoryOutput : public WavOutput {
public:
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t bytes) override
    {
        ++writes;
        if (failFrom >= 0 && writes >= failFrom) return false;
        if (bytes == 0) return true;
        if (file.size() < offset + bytes) file.resize(offset + bytes, '\xAA');
        std::memcpy(file.data() + offset, data, bytes);
        return true;
    }
    std::string file;
    int writes = 0;
    int failFrom = -1;
};

std::vector<std::uint8_t> Ramp(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

std::vector<std::uint8_t> Sine16(int frames, int channels, double amplitude, double hz = 1000, double rate = 44100)
{
    std::vector<std::uint8_t> bytes;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double v = (c == 0 ? 1.0 : 0.5) * amplitude * std::sin(2 * 3.14159265358979 * hz * f / rate);
            const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
            bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
        }
    }
    return bytes;
}

}  // namespace

TEST(SonicutWav, HeaderAndDataReadBackExactly)
{
    const PcmFormat format{2, 44100, 16};
    MemoryOutput out;
    WavWriter writer(out, format, 1 << 30);
    ASSERT_TRUE(writer.Begin());
    // An empty recording is already a valid file.
    auto info = ParseWav(out.file);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->dataBytes, 0u);

    // Pieces that split frames anywhere: the data comes out whole and in order.
    const std::vector<std::uint8_t> data = Ramp(4000);
    std::size_t at = 0;
    for (std::size_t piece : {3u, 1u, 6u, 990u, 1u, 1999u, 1000u}) {
        ASSERT_TRUE(writer.Append(data.data() + at, piece));
        at += piece;
    }
    EXPECT_EQ(writer.DataBytes(), 4000u);
    ASSERT_TRUE(writer.Finish());
    info = ParseWav(out.file);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->formatTag, 1);
    EXPECT_EQ(info->format.channels, 2);
    EXPECT_EQ(info->format.rate, 44100u);
    EXPECT_EQ(info->format.bits, 16);
    EXPECT_EQ(info->dataOffset, 44u);
    EXPECT_EQ(info->dataBytes, 4000u);
    EXPECT_EQ(info->claimedBytes, 4000u);
    EXPECT_EQ(out.file.size(), 44u + 4000u);
    EXPECT_EQ(std::memcmp(out.file.data() + 44, data.data(), data.size()), 0);
    const auto header = MakeWavHeader(format, 4000);
    EXPECT_EQ(std::memcmp(out.file.data(), header.data(), 44), 0);
    EXPECT_EQ(std::string(out.file.data() + 4, 4), std::string("\xC4\x0F\x00\x00", 4));   // 36 + 4000
    EXPECT_EQ(std::string(out.file.data() + 28, 4), std::string("\x10\xB1\x02\x00", 4));  // 176400 bytes a second

    // A trailing part of a frame is not written; an odd length gets its pad byte.
    MemoryOutput mono8;
    WavWriter odd(mono8, PcmFormat{1, 8000, 8}, 1 << 30);
    ASSERT_TRUE(odd.Begin());
    ASSERT_TRUE(odd.Append(data.data(), 3));
    ASSERT_TRUE(odd.Finish());
    EXPECT_EQ(mono8.file.size(), 44u + 4u);
    info = ParseWav(mono8.file);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->dataBytes, 3u);
    EXPECT_EQ(std::string(mono8.file.data() + 4, 4), std::string("\x28\x00\x00\x00", 4));   // 36 + 3 + pad
    MemoryOutput stereo;
    WavWriter partial(stereo, format, 1 << 30);
    ASSERT_TRUE(partial.Begin());
    ASSERT_TRUE(partial.Append(data.data(), 7));
    ASSERT_TRUE(partial.Finish());
    EXPECT_EQ(ParseWav(stereo.file)->dataBytes, 4u);
}

TEST(SonicutWav, AFileLeftUnfinishedStaysReadable)
{
    // The header is brought up to date after every second of sound; a
    // recording that never reaches Finish (the program ended) loses at most that.
    const PcmFormat format{1, 8000, 16};
    MemoryOutput out;
    WavWriter writer(out, format, format.BytesPerSecond());
    ASSERT_TRUE(writer.Begin());
    const std::vector<std::uint8_t> data = Ramp(1000);
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(writer.Append(data.data(), data.size()));
    const auto info = ParseWav(out.file);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->dataBytes, 48000u);   // the last refresh, after 48000 bytes
    EXPECT_GE(info->dataBytes + format.BytesPerSecond(), writer.DataBytes());
    EXPECT_EQ(out.file.size(), 44u + 50000u);

    // A failing write is reported and nothing more is taken.
    MemoryOutput failing;
    failing.failFrom = 3;
    WavWriter broken(failing, format, 1 << 30);
    ASSERT_TRUE(broken.Begin());
    EXPECT_TRUE(broken.Append(data.data(), 100));
    EXPECT_FALSE(broken.Append(data.data(), 100));
    EXPECT_TRUE(broken.Failed());
    EXPECT_FALSE(broken.Append(data.data(), 100));
    EXPECT_FALSE(broken.Finish());
    EXPECT_EQ(broken.DataBytes(), 100u);
}

TEST(SonicutWav, ReaderRefusesWhatIsNotAWavFile)
{
    EXPECT_FALSE(ParseWav("").has_value());
    EXPECT_FALSE(ParseWav("RIFF\x04\x00\x00\x00WAVE").has_value());   // no chunks
    const auto header = MakeWavHeader(PcmFormat{2, 44100, 16}, 100);
    std::string file(reinterpret_cast<const char*>(header.data()), header.size());
    // Data claimed beyond the end: what is there counts.
    auto info = ParseWav(file + std::string(10, '\0'));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->dataBytes, 10u);
    EXPECT_EQ(info->claimedBytes, 100u);
    // A block alignment that does not match the channels and bits.
    std::string bad = file;
    bad[32] = 3;
    EXPECT_FALSE(ParseWav(bad).has_value());
    // Data before the format.
    std::string order = "RIFF" + std::string(4, '\0') + "WAVEdata" + std::string(4, '\0');
    EXPECT_FALSE(ParseWav(order).has_value());
    // An unknown chunk before "fmt " is skipped.
    std::string extra = "RIFF" + std::string(4, '\0') + std::string("WAVEjunk\x03\x00\x00\x00xyz\0", 16) + file.substr(12);
    EXPECT_TRUE(ParseWav(extra).has_value());
}

TEST(SonicutLevels, PeakAndRmsPerChannel)
{
    // Left at half scale, right at a quarter: a sine's RMS is its peak over the square root of two.
    const std::vector<std::uint8_t> sine = Sine16(4410, 2, 0.5);
    const auto levels = MeasureLevels(sine.data(), sine.size(), PcmFormat{2, 44100, 16});
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_NEAR(levels[0].peak, 0.5, 0.001);
    EXPECT_NEAR(levels[0].rms, 0.5 / std::sqrt(2.0), 0.001);
    EXPECT_NEAR(levels[1].peak, 0.25, 0.001);
    EXPECT_NEAR(ToDecibels(levels[0].peak), -6.02, 0.02);
    EXPECT_NEAR(ToDecibels(levels[0].rms), -9.03, 0.02);

    // Full scale negative, 8-bit silence and full scale, a trailing part of a frame.
    const std::uint8_t full[] = {0x00, 0x80, 0x00, 0x00, 0x7F};
    const auto edge = MeasureLevels(full, sizeof full, PcmFormat{1, 8000, 16});
    EXPECT_DOUBLE_EQ(edge[0].peak, 1.0);
    EXPECT_DOUBLE_EQ(edge[0].rms, std::sqrt(0.5));
    const std::uint8_t eight[] = {128, 128, 0, 255};
    const auto levels8 = MeasureLevels(eight, sizeof eight, PcmFormat{1, 8000, 8});
    EXPECT_DOUBLE_EQ(levels8[0].peak, 1.0);
    EXPECT_EQ(MeasureLevels(nullptr, 10, PcmFormat{2, 44100, 16})[1].peak, 0.0);
    EXPECT_EQ(ToDecibels(0), -96.0);
    EXPECT_EQ(ToDecibels(1e-9), -96.0);
}

TEST(SonicutLevels, ElapsedTime)
{
    EXPECT_EQ(FormatElapsed(0), L"00:00:00");
    EXPECT_EQ(FormatElapsed(59999), L"00:00:59");
    EXPECT_EQ(FormatElapsed(3600000 + 61000), L"01:01:01");
}
