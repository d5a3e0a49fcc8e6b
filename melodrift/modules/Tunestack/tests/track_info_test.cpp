// Titles, artists and durations from generated WAV and MP3 files, and files
// that are neither or are cut short.
#include "tunestack/track_info.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace tunestack;

namespace {

void Le32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Be32(std::string& out, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Synchsafe(std::string& out, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (7 * i)) & 0x7F));
}
void Chunk(std::string& out, const char* id, const std::string& body)
{
    out.append(id, 4);
    Le32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
    if (body.size() & 1) out.push_back('\0');
}

// 16-bit stereo 44100 Hz: 176400 bytes per second.
std::string Wav(std::uint32_t dataBytes, const std::string& list, bool listFirst, std::uint32_t claimed = 0)
{
    std::string fmt;
    fmt += std::string("\x01\x00\x02\x00", 4);
    Le32(fmt, 44100);
    Le32(fmt, 176400);
    fmt += std::string("\x04\x00\x10\x00", 4);
    std::string body = "WAVE";
    Chunk(body, "fmt ", fmt);
    if (listFirst && !list.empty()) Chunk(body, "LIST", list);
    body += "data";
    Le32(body, claimed ? claimed : dataBytes);
    body += std::string(dataBytes, '\0');
    if (!listFirst && !list.empty()) Chunk(body, "LIST", list);
    std::string file = "RIFF";
    Le32(file, static_cast<std::uint32_t>(body.size()));
    return file + body;
}

std::string Info(const std::string& title, const std::string& artist)
{
    std::string list = "INFO";
    Chunk(list, "INAM", title + std::string(1, '\0'));
    Chunk(list, "IART", artist + std::string(1, '\0'));
    return list;
}

// MPEG-1 layer 3, 128 kbit/s, 44100 Hz, stereo: 417-byte frames.
std::string Frames(int count, std::uint32_t xingFrames = 0)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string frame("\xFF\xFB\x90\x00", 4);
        frame.resize(417, '\0');
        if (i == 0 && xingFrames) {
            std::string xing = "Xing";
            Be32(xing, 1);
            Be32(xing, xingFrames);
            frame.replace(4 + 32, xing.size(), xing);
        }
        out += frame;
    }
    return out;
}

std::string Id3v2Frame(int version, const char* id, const std::string& body)
{
    std::string out(id, 4);
    if (version == 4) Synchsafe(out, static_cast<std::uint32_t>(body.size()));
    else Be32(out, static_cast<std::uint32_t>(body.size()));
    out += std::string(2, '\0');
    return out + body;
}

std::string Id3v2(int version, const std::string& frames, std::size_t padding = 0)
{
    std::string out = "ID3";
    out.push_back(static_cast<char>(version));
    out += std::string(2, '\0');
    Synchsafe(out, static_cast<std::uint32_t>(frames.size() + padding));
    return out + frames + std::string(padding, '\0');
}

AudioKind Read(const std::string& bytes, TrackInfo& info)
{
    MemorySource source(bytes.data(), bytes.size());
    return ReadTrackInfo(source, info);
}

}  // namespace

TEST(TunestackTrackInfo, WavChunksGiveTitleArtistAndDuration)
{
    TrackInfo info;
    // Two seconds, the names in a LIST chunk after the data, one in UTF-8 and one in Latin-1.
    ASSERT_EQ(Read(Wav(352800, Info("Caf\xC3\xA9 song", "Art\xE9"), false), info), AudioKind::Wav);
    EXPECT_EQ(info.title, L"Caf\u00e9 song");
    EXPECT_EQ(info.artist, L"Art\u00e9");
    EXPECT_EQ(info.durationMs, 2000);

    // Names before the data; half a second.
    ASSERT_EQ(Read(Wav(88200, Info("T", "A"), true), info), AudioKind::Wav);
    EXPECT_EQ(info.title, L"T");
    EXPECT_EQ(info.durationMs, 500);

    // A recording cut short claims more data than the file holds: what is there counts.
    ASSERT_EQ(Read(Wav(176400, "", false, 176400 * 10), info), AudioKind::Wav);
    EXPECT_EQ(info.durationMs, 1000);
    EXPECT_TRUE(info.title.empty());

    // A header without a format chunk: a WAV file of unknown duration.
    std::string noFmt = "RIFF";
    Le32(noFmt, 4);
    noFmt += "WAVE";
    ASSERT_EQ(Read(noFmt, info), AudioKind::Wav);
    EXPECT_EQ(info.durationMs, -1);
}

TEST(TunestackTrackInfo, Mp3TagsAndDurations)
{
    TrackInfo info;
    // ID3v2.3 with UTF-16 title (byte-order mark) and Latin-1 artist; 100 CBR frames.
    std::string title16("\x01\xFF\xFE", 3);
    for (char c : std::string("Hello")) {
        title16.push_back(c);
        title16.push_back('\0');
    }
    const std::string v23 = Id3v2(3, Id3v2Frame(3, "TIT2", title16) + Id3v2Frame(3, "TPE1", std::string("\0Band\0", 6)), 50);
    ASSERT_EQ(Read(v23 + Frames(100), info), AudioKind::Mp3);
    EXPECT_EQ(info.title, L"Hello");
    EXPECT_EQ(info.artist, L"Band");
    EXPECT_EQ(info.durationMs, 417 * 100 * 8000 / 128000);

    // ID3v2.4 with UTF-8 and a Xing frame count (1000 frames of 1152 samples).
    const std::string v24 = Id3v2(4, Id3v2Frame(4, "TIT2", "\x03" "Stra\xC3\x9F" "e") + Id3v2Frame(4, "TPE1", std::string("\x02\x00Z", 3)));
    ASSERT_EQ(Read(v24 + Frames(3, 1000), info), AudioKind::Mp3);
    EXPECT_EQ(info.title, L"Stra\u00dfe");
    EXPECT_EQ(info.artist, L"Z");
    EXPECT_EQ(info.durationMs, 1000LL * 1152 * 1000 / 44100);

    // Only an ID3v1 tag at the end: its names; its 128 bytes are not audio.
    std::string v1 = "TAG";
    v1 += std::string("Old title") + std::string(21, ' ');
    v1 += std::string("Old artist") + std::string(20, '\0');
    v1.resize(128, '\0');
    ASSERT_EQ(Read(Frames(50) + v1, info), AudioKind::Mp3);
    EXPECT_EQ(info.title, L"Old title");
    EXPECT_EQ(info.artist, L"Old artist");
    EXPECT_EQ(info.durationMs, 417 * 50 * 8000 / 128000);
}

TEST(TunestackTrackInfo, DamagedAndForeignFilesAreHarmless)
{
    TrackInfo info;
    EXPECT_EQ(Read("", info), AudioKind::Unknown);
    EXPECT_EQ(Read("plain text, not sound", info), AudioKind::Unknown);
    EXPECT_EQ(info.durationMs, -1);
    // A frame size beyond the tag, a size byte with the high bit, a tag cut short.
    std::string lying = Id3v2(3, Id3v2Frame(3, "TIT2", "\0abc"));
    lying[13] = '\x7F';
    EXPECT_EQ(Read(lying, info), AudioKind::Mp3);
    EXPECT_TRUE(info.title.empty());
    std::string badSize = Id3v2(3, "");
    badSize[6] = '\x80';
    EXPECT_EQ(Read(badSize, info), AudioKind::Unknown);
    EXPECT_EQ(Read(Id3v2(3, Id3v2Frame(3, "TIT2", "\0abc")).substr(0, 15), info), AudioKind::Mp3);
    // RIFF chunks whose sizes run past the end.
    std::string riff = "RIFF";
    Le32(riff, 100);
    riff += "WAVELIST";
    Le32(riff, 0xFFFFFFF0u);
    riff += "INFO";
    EXPECT_EQ(Read(riff, info), AudioKind::Wav);
    // Frame-like bytes that are not followed by a second frame are not taken.
    std::string lone("\xFF\xFB\x90\x00", 4);
    lone += std::string(500, '\x11');
    EXPECT_EQ(Read(lone, info), AudioKind::Unknown);
}

TEST(TunestackTrackInfo, FormatsDurations)
{
    EXPECT_EQ(FormatDuration(-1), L"");
    EXPECT_EQ(FormatDuration(0), L"0:00");
    EXPECT_EQ(FormatDuration(65999), L"1:05");
    EXPECT_EQ(FormatDuration(3600000 + 62000), L"1:01:02");
}
