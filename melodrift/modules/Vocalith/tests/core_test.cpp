// The player module's platform-neutral parts: WAV headers of every sample
// format it plays and of damaged files, sample conversion, MP3 frame
// headers, the playlist under shuffle and repeat, the "open" message.
#include "core/mp3_frames.h"
#include "core/playlist.h"
#include "core/wav_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace vocalith;

namespace {

void Put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void PutTag(std::vector<std::uint8_t>& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(tag[i]));
}

struct WavSpec {
    std::uint16_t tag = 1;
    std::uint16_t channels = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    bool extensible = false;
    std::uint16_t subTag = 1;
    std::uint32_t mask = 3;
    std::vector<std::uint8_t> data;
    std::int64_t dataSizeField = -1;   // -1: the real size
    bool junkBefore = false;
};

std::vector<std::uint8_t> MakeWav(const WavSpec& s) {
    std::vector<std::uint8_t> b;
    PutTag(b, "RIFF");
    Put32(b, 0);
    PutTag(b, "WAVE");
    if (s.junkBefore) {
        PutTag(b, "LIST");
        Put32(b, 3);   // odd: one pad byte follows
        b.insert(b.end(), {'a', 'b', 'c', 0});
    }
    PutTag(b, "fmt ");
    Put32(b, s.extensible ? 40 : 16);
    Put16(b, s.extensible ? 0xFFFE : s.tag);
    Put16(b, s.channels);
    Put32(b, s.rate);
    Put32(b, s.rate * s.channels * (s.bits / 8));
    Put16(b, static_cast<std::uint16_t>(s.channels * (s.bits / 8)));
    Put16(b, s.bits);
    if (s.extensible) {
        Put16(b, 22);
        Put16(b, s.bits);
        Put32(b, s.mask);
        Put16(b, s.subTag);
        const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        b.insert(b.end(), tail, tail + 14);
    }
    PutTag(b, "data");
    Put32(b, s.dataSizeField < 0 ? static_cast<std::uint32_t>(s.data.size()) : static_cast<std::uint32_t>(s.dataSizeField));
    b.insert(b.end(), s.data.begin(), s.data.end());
    return b;
}

WavResult Read(const std::vector<std::uint8_t>& bytes, WavInfo& info) {
    CMemorySource source(bytes.data(), bytes.size());
    return ReadWavHeader(source, info);
}

// Decodes the whole data of a file into channel arrays.
std::vector<std::vector<float>> Decode(const std::vector<std::uint8_t>& bytes, WavInfo& info) {
    EXPECT_EQ(Read(bytes, info), WavResult::Ok);
    std::vector<std::vector<float>> out(info.channels, std::vector<float>(info.frames));
    std::vector<float*> table;
    for (auto& c : out) table.push_back(c.data());
    ConvertFrames(info, bytes.data() + info.dataOffset, info.frames, table.data(), 0);
    return out;
}

TEST(VocalithWav, EverySampleFormatDecodesToTheSameValues) {
    // Two frames of two channels: (0.5, -0.5), (-1, 0.25) in every format.
    const double values[4] = {0.5, -0.5, -1.0, 0.25};
    struct Case {
        const char* name;
        std::uint16_t tag, bits;
        bool extensible;
    };
    const Case cases[] = {{"pcm8", 1, 8, false},          {"pcm16", 1, 16, false},  {"pcm24", 1, 24, false},
                          {"pcm32", 1, 32, false},        {"float32", 3, 32, false}, {"float64", 3, 64, false},
                          {"ext pcm24", 1, 24, true},     {"ext float32", 3, 32, true}};
    for (const Case& c : cases) {
        WavSpec s;
        s.tag = c.tag;
        s.subTag = c.tag;
        s.bits = c.bits;
        s.extensible = c.extensible;
        for (double v : values) {
            if (c.tag == 3 && c.bits == 32) {
                float f = static_cast<float>(v);
                std::uint32_t u;
                std::memcpy(&u, &f, 4);
                Put32(s.data, u);
            } else if (c.tag == 3) {
                std::uint64_t u;
                std::memcpy(&u, &v, 8);
                Put32(s.data, static_cast<std::uint32_t>(u));
                Put32(s.data, static_cast<std::uint32_t>(u >> 32));
            } else if (c.bits == 8) {
                s.data.push_back(static_cast<std::uint8_t>(128 + v * 128 < 0 ? 0 : 128 + v * 128));
            } else {
                std::int64_t full = static_cast<std::int64_t>(v * std::pow(2.0, c.bits - 1));
                if (full >= std::pow(2.0, c.bits - 1)) full -= 1;
                for (int byte = 0; byte < c.bits / 8; ++byte) s.data.push_back(static_cast<std::uint8_t>(full >> (8 * byte)));
            }
        }
        WavInfo info;
        auto out = Decode(MakeWav(s), info);
        SCOPED_TRACE(c.name);
        ASSERT_EQ(info.channels, 2);
        ASSERT_EQ(info.frames, 2u);
        EXPECT_EQ(info.type, c.tag == 3 ? SampleType::Float : SampleType::Integer);
        EXPECT_EQ(info.channelMask, c.extensible ? 3u : 0u);
        const double tolerance = c.bits == 8 ? 1.0 / 128 : 1e-4;
        EXPECT_NEAR(out[0][0], 0.5, tolerance);
        EXPECT_NEAR(out[1][0], -0.5, tolerance);
        EXPECT_NEAR(out[0][1], -1.0, tolerance);
        EXPECT_NEAR(out[1][1], 0.25, tolerance);
    }
}

TEST(VocalithWav, MonoToSevenOneAndChunksBeforeTheFormat) {
    for (std::uint16_t channels : {1, 2, 4, 6, 8}) {
        WavSpec s;
        s.channels = channels;
        s.extensible = channels > 2;
        s.mask = channels == 8 ? 0x63F : 0;
        s.junkBefore = true;
        for (int c = 0; c < channels; ++c) Put16(s.data, static_cast<unsigned>(c * 1000));
        WavInfo info;
        auto out = Decode(MakeWav(s), info);
        ASSERT_EQ(info.channels, channels);
        ASSERT_EQ(info.frames, 1u);
        for (int c = 0; c < channels; ++c) EXPECT_FLOAT_EQ(out[c][0], c * 1000 / 32768.0f);
    }
}

TEST(VocalithWav, DamagedFilesGiveAClearResult) {
    WavInfo info;
    WavSpec good;
    Put16(good.data, 0);
    Put16(good.data, 0);
    std::vector<std::uint8_t> bytes = MakeWav(good);
    EXPECT_EQ(Read(bytes, info), WavResult::Ok);

    EXPECT_EQ(Read({}, info), WavResult::NotRiff);
    EXPECT_EQ(Read(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 11), info), WavResult::NotRiff);
    auto notWave = bytes;
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    EXPECT_EQ(Read(notWave, info), WavResult::NotWave);
    // Cut inside the format chunk; cut before the data chunk.
    EXPECT_EQ(Read(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 24), info), WavResult::NoFormat);
    EXPECT_EQ(Read(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 36), info), WavResult::NoData);

    WavSpec s = good;
    s.tag = 0x55;   // MPEG inside a WAV: not for this reader
    EXPECT_EQ(Read(MakeWav(s), info), WavResult::UnsupportedFormat);
    s = good;
    s.bits = 12;
    EXPECT_EQ(Read(MakeWav(s), info), WavResult::UnsupportedFormat);
    s = good;
    s.channels = 9;
    EXPECT_EQ(Read(MakeWav(s), info), WavResult::UnsupportedFormat);
    s = good;
    s.channels = 0;
    EXPECT_EQ(Read(MakeWav(s), info), WavResult::BadFormat);
    s = good;
    s.rate = 0;
    EXPECT_EQ(Read(MakeWav(s), info), WavResult::BadFormat);
    auto badAlign = bytes;
    badAlign[32] = 3;   // block align 3 for two 16-bit channels
    EXPECT_EQ(Read(badAlign, info), WavResult::BadFormat);
    s = good;
    s.extensible = true;
    s.subTag = 0x55;
    EXPECT_EQ(Read(MakeWav(s), info), WavResult::UnsupportedFormat);

    // A data chunk that claims more than is there plays what is there; a
    // half frame at the end is left out.
    s = good;
    s.dataSizeField = 0x7FFFFFF0;
    s.data.push_back(1);
    ASSERT_EQ(Read(MakeWav(s), info), WavResult::Ok);
    EXPECT_TRUE(info.truncated);
    EXPECT_EQ(info.frames, 1u);
    // A chunk whose size runs past the end ends the walk without reading beyond.
    auto huge = bytes;
    std::memcpy(huge.data() + 12, "junk", 4);
    huge[16] = huge[17] = huge[18] = huge[19] = 0xFF;
    EXPECT_EQ(Read(huge, info), WavResult::NoFormat);
}

TEST(VocalithWav, FloatValuesThatAreNotNumbersBecomeSilence) {
    WavSpec s;
    s.tag = 3;
    s.bits = 32;
    s.channels = 1;
    const float values[3] = {NAN, INFINITY, 1e30f};
    for (float f : values) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        Put32(s.data, u);
    }
    WavInfo info;
    auto out = Decode(MakeWav(s), info);
    EXPECT_EQ(out[0][0], 0.0f);
    EXPECT_EQ(out[0][1], 0.0f);
    EXPECT_EQ(out[0][2], 8.0f);
}

TEST(VocalithMp3, HeadersAndTheFirstConfirmedFrame) {
    Mp3Frame f;
    const std::uint8_t mpeg1[4] = {0xFF, 0xFB, 0x90, 0x64};   // MPEG-1 L3 128 kbit/s 44100 joint stereo
    ASSERT_TRUE(ParseMp3Header(mpeg1, f));
    EXPECT_EQ(f.version, 10);
    EXPECT_EQ(f.bitrate, 128);
    EXPECT_EQ(f.rate, 44100);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.frameBytes, 417);
    EXPECT_EQ(f.samplesPerFrame, 1152);
    const std::uint8_t mpeg2mono[4] = {0xFF, 0xF3, 0x80, 0xC4};   // MPEG-2 L3 64 kbit/s 22050 mono
    ASSERT_TRUE(ParseMp3Header(mpeg2mono, f));
    EXPECT_EQ(f.version, 20);
    EXPECT_EQ(f.rate, 22050);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerFrame, 576);
    const std::uint8_t layer2[4] = {0xFF, 0xFD, 0x90, 0x64};
    EXPECT_FALSE(ParseMp3Header(layer2, f));
    const std::uint8_t freeFormat[4] = {0xFF, 0xFB, 0x00, 0x64};
    EXPECT_FALSE(ParseMp3Header(freeFormat, f));

    // ID3v2 tag, a false sync inside garbage, then two real frames.
    std::vector<std::uint8_t> file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 5, 1, 2, 3, 4, 5};
    file.insert(file.end(), {0xFF, 0xFB, 0x90, 0x64, 0x00});
    const std::size_t first = file.size();
    for (int frame = 0; frame < 2; ++frame) {
        std::vector<std::uint8_t> body(417, 0);
        std::memcpy(body.data(), mpeg1, 4);
        file.insert(file.end(), body.begin(), body.end());
    }
    EXPECT_EQ(Id3v2Size(file.data(), file.size()), 15u);
    EXPECT_EQ(FindFirstMp3Frame(file.data(), file.size(), f), static_cast<std::int64_t>(first));
    std::vector<std::uint8_t> noise(5000, 0xFF);
    EXPECT_EQ(FindFirstMp3Frame(noise.data(), noise.size(), f), -1);
    EXPECT_EQ(FindFirstMp3Frame(nullptr, 0, f), -1);
}

namespace {

void PutBe32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
    d[at] = static_cast<std::uint8_t>(v >> 24);
    d[at + 1] = static_cast<std::uint8_t>(v >> 16);
    d[at + 2] = static_cast<std::uint8_t>(v >> 8);
    d[at + 3] = static_cast<std::uint8_t>(v);
}

// A first frame with a "Xing"-style header after the side information.
std::vector<std::uint8_t> HeaderFrame(const std::uint8_t (&header)[4], std::size_t side, const char* tag,
                                      std::uint32_t flags, std::uint32_t frames, std::uint32_t bytes,
                                      const std::vector<std::uint8_t>& toc) {
    std::vector<std::uint8_t> d(417, 0);
    std::memcpy(d.data(), header, 4);
    std::size_t at = 4 + side;
    std::memcpy(&d[at], tag, 4);
    PutBe32(d, at + 4, flags);
    at += 8;
    if (flags & 1) { PutBe32(d, at, frames); at += 4; }
    if (flags & 2) { PutBe32(d, at, bytes); at += 4; }
    if (flags & 4) std::copy(toc.begin(), toc.end(), d.begin() + static_cast<std::ptrdiff_t>(at));
    return d;
}

}  // namespace

// The count and seek table of variable bit-rate files, and what is refused:
// headers without a count, cut short, with no frames, or with a table that goes back.
TEST(VocalithMp3, StreamHeadersGiveTheFrameCountAndTheSeekTable) {
    const std::uint8_t stereo[4] = {0xFF, 0xFB, 0x90, 0x64};   // MPEG-1, no checksum, side info 32 bytes
    Mp3Frame f;
    ASSERT_TRUE(ParseMp3Header(stereo, f));
    std::vector<std::uint8_t> toc(100);
    for (int i = 0; i < 100; ++i) toc[i] = static_cast<std::uint8_t>(i < 50 ? i / 2 : 25 + (i - 50) * 230 / 50);

    Mp3StreamInfo info;
    auto xing = HeaderFrame(stereo, 32, "Xing", 0xF, 1000, 400000, toc);
    ASSERT_TRUE(ReadMp3StreamInfo(xing.data(), xing.size(), f, info));
    EXPECT_EQ(info.frames, 1000u);
    EXPECT_EQ(info.bytes, 400000u);
    EXPECT_TRUE(info.hasToc);
    // The first half of the time lies in the first 25/256 of the bytes.
    EXPECT_EQ(Mp3SeekOffset(info, 0.0, 0), 0u);
    EXPECT_EQ(Mp3SeekOffset(info, 0.5, 0), 400000u * 25 / 256);
    EXPECT_EQ(Mp3SeekOffset(info, 0.255, 0), static_cast<std::uint64_t>(12.5 / 256 * 400000));   // between entries 12 and 13
    EXPECT_EQ(Mp3SeekOffset(info, 1.0, 0), 400000u);
    EXPECT_EQ(Mp3SeekOffset(info, 7.0, 0), 400000u);
    EXPECT_EQ(Mp3SeekOffset(info, -1.0, 0), 0u);
    EXPECT_EQ(Mp3SeekOffset(info, std::nan(""), 0), 0u);

    EXPECT_FALSE(info.hasEncoderTag);
    EXPECT_EQ(info.delay + info.padding, 0u);
    // LAME's tag after the table and the quality: 576 samples of delay, 1000 of padding.
    std::memcpy(&xing[156], "LAME3.100", 9);
    xing[156 + 21] = 0x24, xing[156 + 22] = 0x03, xing[156 + 23] = 0xE8;
    ASSERT_TRUE(ReadMp3StreamInfo(xing.data(), xing.size(), f, info));
    EXPECT_TRUE(info.hasEncoderTag);
    EXPECT_EQ(info.delay, 576u);
    EXPECT_EQ(info.padding, 1000u);

    // "Info" (a constant rate) with the count only: positions in proportion to the
    // stream. LAME's tag after it: 576 samples of delay, 832 of padding.
    auto plain = HeaderFrame(stereo, 32, "Info", 0x1, 77, 0, {});
    std::memcpy(&plain[48], "LAME3.100", 9);
    plain[48 + 21] = 0x24, plain[48 + 22] = 0x03, plain[48 + 23] = 0x40;
    ASSERT_TRUE(ReadMp3StreamInfo(plain.data(), plain.size(), f, info));
    EXPECT_EQ(info.frames, 77u);
    EXPECT_EQ(info.bytes, 0u);
    EXPECT_FALSE(info.hasToc);
    EXPECT_EQ(info.delay, 576u);
    EXPECT_EQ(info.padding, 832u);
    EXPECT_EQ(Mp3SeekOffset(info, 0.5, 1000), 500u);

    // Mono frames have shorter side information; a checksum moves the header by two bytes.
    const std::uint8_t mono[4] = {0xFF, 0xFB, 0x90, 0xC4};
    ASSERT_TRUE(ParseMp3Header(mono, f));
    auto monoXing = HeaderFrame(mono, 17, "Xing", 0x1, 5, 0, {});
    EXPECT_TRUE(ReadMp3StreamInfo(monoXing.data(), monoXing.size(), f, info));
    const std::uint8_t checked[4] = {0xFF, 0xFA, 0x90, 0xC4};
    ASSERT_TRUE(ParseMp3Header(checked, f));
    auto checkedXing = HeaderFrame(checked, 19, "Xing", 0x1, 6, 0, {});
    ASSERT_TRUE(ReadMp3StreamInfo(checkedXing.data(), checkedXing.size(), f, info));
    EXPECT_EQ(info.frames, 6u);

    // "VBRI" 32 bytes after the header: bytes, then frames, then a table of the
    // bytes of four groups of 80 frames (2 bytes each, scale 1), seeked by.
    ASSERT_TRUE(ParseMp3Header(stereo, f));
    std::vector<std::uint8_t> vbri(417, 0);
    std::memcpy(vbri.data(), stereo, 4);
    std::memcpy(&vbri[36], "VBRI", 4);
    PutBe32(vbri, 46, 123456);
    PutBe32(vbri, 50, 321);
    PutBe32(vbri, 54, 0x00040001);
    PutBe32(vbri, 58, 0x00020050);
    PutBe32(vbri, 62, (10000u << 16) | 30000u);
    PutBe32(vbri, 66, (40000u << 16) | 43456u);
    ASSERT_TRUE(ReadMp3StreamInfo(vbri.data(), vbri.size(), f, info));
    EXPECT_EQ(info.frames, 321u);
    EXPECT_EQ(info.bytes, 123456u);
    ASSERT_TRUE(info.hasToc);
    EXPECT_EQ(Mp3SeekOffset(info, 0.5, 0), 40000u * 256 / 123456 * 123456 / 256);   // frame 160 starts the third group
    vbri[59] = 0;   // no table without a size of its entries
    ASSERT_TRUE(ReadMp3StreamInfo(vbri.data(), vbri.size(), f, info));
    EXPECT_FALSE(info.hasToc);

    // Refused, and what was read before stays as it was.
    const Mp3StreamInfo before = info;
    auto noCount = HeaderFrame(stereo, 32, "Xing", 0x6, 0, 1000, toc);
    EXPECT_FALSE(ReadMp3StreamInfo(noCount.data(), noCount.size(), f, info));
    auto noFrames = HeaderFrame(stereo, 32, "Xing", 0x1, 0, 0, {});
    EXPECT_FALSE(ReadMp3StreamInfo(noFrames.data(), noFrames.size(), f, info));
    EXPECT_FALSE(ReadMp3StreamInfo(xing.data(), 36 + 8 + 8 + 50, f, info)) << "table cut short";
    EXPECT_FALSE(ReadMp3StreamInfo(xing.data(), 3, f, info));
    EXPECT_FALSE(ReadMp3StreamInfo(nullptr, 417, f, info));
    std::vector<std::uint8_t> none(417, 0);
    std::memcpy(none.data(), stereo, 4);
    EXPECT_FALSE(ReadMp3StreamInfo(none.data(), none.size(), f, info));
    EXPECT_EQ(info.frames, before.frames);
    EXPECT_EQ(info.bytes, before.bytes);

    std::vector<std::uint8_t> backwards = toc;
    backwards[60] = 3;
    auto damaged = HeaderFrame(stereo, 32, "Xing", 0x7, 10, 1000, backwards);
    ASSERT_TRUE(ReadMp3StreamInfo(damaged.data(), damaged.size(), f, info));
    EXPECT_FALSE(info.hasToc);
    EXPECT_EQ(Mp3SeekOffset(info, 0.5, 0), 500u);

    // The frames walked for seeking: 417 and 418 bytes (padded), garbage and a frame of another rate
    // stepped over, a last frame cut short read next time (or counted at the end of the file).
    std::vector<std::uint8_t> stream(417 + 418 + 7 + 400 + 304, 0x11);
    const std::uint8_t padded[4] = {0xFF, 0xFB, 0x92, 0x64}, other[4] = {0xFF, 0xFB, 0x94, 0x64};
    for (auto [at, header] : {std::pair{0, stereo}, {417, padded}, {842, other}, {1242, stereo}}) std::memcpy(&stream[at], header, 4);
    std::vector<std::uint64_t> offsets, whole;
    EXPECT_EQ(IndexMp3Frames(stream.data(), stream.size(), 1000, f, false, offsets), 1242u);
    EXPECT_EQ(IndexMp3Frames(stream.data(), stream.size(), 0, f, true, whole), stream.size());
    EXPECT_EQ(offsets, (std::vector<std::uint64_t>{1000, 1417}));
    EXPECT_EQ(whole, (std::vector<std::uint64_t>{0, 417, 1242}));
}

TEST(VocalithPlaylist, AddRemoveAndTheCurrentTrack) {
    CPlaylist list;
    EXPECT_EQ(list.Current(), -1);
    EXPECT_EQ(list.Next(false, true), -1);
    EXPECT_EQ(list.Add(L"a"), 0);
    EXPECT_EQ(list.Current(), 0);
    list.Add(L"b");
    list.Add(L"c");
    list.Add(L"d");
    EXPECT_TRUE(list.SetCurrent(2));
    EXPECT_FALSE(list.SetCurrent(4));
    EXPECT_TRUE(list.Remove(0));   // before the current: it keeps pointing at "c"
    EXPECT_EQ(list.At(list.Current()), L"c");
    EXPECT_TRUE(list.Remove(1));   // the current itself: the one that took its place
    EXPECT_EQ(list.At(list.Current()), L"d");
    EXPECT_TRUE(list.Remove(1));   // the last: the new last
    EXPECT_EQ(list.At(list.Current()), L"b");
    EXPECT_FALSE(list.Remove(5));
    EXPECT_TRUE(list.Remove(0));
    EXPECT_EQ(list.Current(), -1);
}

TEST(VocalithPlaylist, NextAndPreviousWithAndWithoutRepeat) {
    CPlaylist list;
    for (const wchar_t* t : {L"a", L"b", L"c"}) list.Add(t);
    EXPECT_EQ(list.Next(false, false), 1);
    EXPECT_EQ(list.Next(false, false), 2);
    EXPECT_EQ(list.Next(false, false), -1);
    EXPECT_EQ(list.Current(), 2);
    EXPECT_EQ(list.Next(false, true), 0);
    EXPECT_EQ(list.Previous(false, false), -1);
    EXPECT_EQ(list.Previous(false, true), 2);
    EXPECT_EQ(list.Previous(false, true), 1);
}

TEST(VocalithPlaylist, ShufflePlaysEveryTrackOnceARound) {
    CPlaylist list;
    for (int i = 0; i < 8; ++i) list.Add(std::to_wstring(i));
    list.Seed(7);
    std::set<int> seen = {list.Current()};
    std::vector<int> order = {list.Current()};
    for (int i = 0; i < 7; ++i) {
        int n = list.Next(true, false);
        ASSERT_GE(n, 0);
        EXPECT_TRUE(seen.insert(n).second) << "track " << n << " came twice";
        order.push_back(n);
    }
    EXPECT_EQ(list.Next(true, false), -1);   // the round is over and there is no repeat
    EXPECT_NE(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Previous walks the shuffle history back.
    EXPECT_EQ(list.Previous(true, false), order[6]);
    EXPECT_EQ(list.Previous(true, false), order[5]);
    // With repeat a new round begins and does not start with the track just heard.
    list.SetCurrent(order[7]);
    int fresh = list.Next(true, true);
    EXPECT_GE(fresh, 0);
    // Removing a track during the round keeps the history consistent.
    EXPECT_TRUE(list.Remove(0));
    for (int i = 0; i < 20; ++i) {
        int n = list.Next(true, true);
        ASSERT_GE(n, 0);
        ASSERT_LT(n, list.Count());
    }
    CPlaylist one;
    one.Add(L"x");
    EXPECT_EQ(one.Next(true, true), 0);
    EXPECT_EQ(one.Next(true, false), -1);
}

TEST(VocalithOpenMessage, QuotedNamesBlanksAndOtherMessages) {
    std::vector<std::wstring> names;
    ASSERT_TRUE(ParseOpenMessage(L"open \"C:\\My Music\\a b.wav\" \"d:\\x.mp3\"", names));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"C:\\My Music\\a b.wav", L"d:\\x.mp3"}));
    ASSERT_TRUE(ParseOpenMessage(L"OPEN plain.wav  \"q.wav\"", names));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"plain.wav", L"q.wav"}));
    ASSERT_TRUE(ParseOpenMessage(L"open", names));
    EXPECT_TRUE(names.empty());
    ASSERT_TRUE(ParseOpenMessage(L"open \"\" \"unclosed name", names));
    EXPECT_EQ(names, std::vector<std::wstring>{L"unclosed name"});
    bool addOnly = false;
    ASSERT_TRUE(ParseOpenMessage(L" ADD \"b.wav\" c.wav", names, &addOnly) && addOnly);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"b.wav", L"c.wav"}));
    EXPECT_FALSE(ParseOpenMessage(L"adds \"a\"", names) || ParseOpenMessage(L"ad", names));
    EXPECT_FALSE(ParseOpenMessage(L"opened \"a\"", names));
    EXPECT_FALSE(ParseOpenMessage(L"play", names));
    EXPECT_FALSE(ParseOpenMessage(L"", names));
    ASSERT_TRUE(ParseOpenMessage(L"open \"\u97f3\u697d.wav\"", names));
    EXPECT_EQ(names, std::vector<std::wstring>{L"\u97f3\u697d.wav"});
}

TEST(VocalithOpenMessage, TimesAsTheWindowShowsThem) {
    EXPECT_EQ(FormatTime(0), L"0:00");
    EXPECT_EQ(FormatTime(65), L"1:05");
    EXPECT_EQ(FormatTime(3601), L"1:00:01");
    EXPECT_EQ(FormatTime(-5), L"0:00");
}

}  // namespace
