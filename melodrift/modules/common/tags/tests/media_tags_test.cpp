// The tag readers over files of Debian's own encoders (made at build time,
// all tagged alike with non-ASCII text), the same files damaged, and
// handmade files for what the encoders do not write.
#include "mediatags/media_tags.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using namespace mediatags;

std::string Load(const std::string& name)
{
    std::ifstream in(std::string(MODULE_TAGS_MEDIA_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

MediaFormat Read(const std::string& bytes, MediaTags& tags)
{
    MemorySource source(bytes.data(), bytes.size());
    return ReadMediaTags(source, tags);
}

struct Encoded {
    const char* file;
    MediaFormat format;
    std::int64_t frames;   // exact length where the file states it, else -1
    int rate;
};

// 2 s of sound at 44.1 kHz (Opus at 48 kHz), title "Grüße Ωμέγα", artist
// "Zoë Čapek", album "Tonleiter", track 3.
TEST(MediaTags, FilesOfTheEncodersGiveTheirTagsAndLength)
{
    const Encoded files[] = {
        {"tune.flac", MediaFormat::Flac, 88200, 44100},    {"tune.ogg", MediaFormat::OggVorbis, 88200, 44100},
        {"tune.opus", MediaFormat::Opus, 96000, 48000},    {"tune.m4a", MediaFormat::Mp4, 88200, 44100},
        {"tune.wma", MediaFormat::Asf, -1, 0},             {"tune.mp3", MediaFormat::Mp3, -1, 0},
    };
    int read = 0;
    for (const Encoded& f : files) {
        SCOPED_TRACE(f.file);
        const std::string bytes = Load(f.file);
        if (bytes.empty()) continue;   // its encoder was missing at build time
        ++read;
        MediaTags tags;
        ASSERT_EQ(Read(bytes, tags), f.format);
        EXPECT_EQ(tags.title, L"Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1");
        EXPECT_EQ(tags.artist, L"Zo\u00eb \u010capek");
        EXPECT_EQ(tags.album, L"Tonleiter");
        EXPECT_EQ(tags.track, 3);
        EXPECT_FALSE(tags.damaged);
        EXPECT_NEAR(static_cast<double>(tags.durationMs), 2000.0, 60.0);
        if (f.frames > 0) {
            EXPECT_EQ(tags.frames, f.frames);
            EXPECT_EQ(tags.rate, f.rate);
        }
        EXPECT_EQ(DisplayName(tags, L"tune"), L"Zo\u00eb \u010capek \u2013 Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1");
    }
    if (read == 0) GTEST_SKIP() << "no encoder was present at build time";
}

// Every file cut short at many places and with bytes overwritten: nothing is
// read from outside the bytes (the sanitizers watch), a file cut inside its
// headers is damaged, and no tag is made up.
TEST(MediaTags, DamagedFilesAreReadWithinTheirBytes)
{
    for (const char* name : {"tune.flac", "tune.ogg", "tune.opus", "tune.m4a", "tune.wma", "tune.mp3"}) {
        SCOPED_TRACE(name);
        const std::string bytes = Load(name);
        if (bytes.empty()) continue;
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 3) {
            MediaTags tags;
            Read(bytes.substr(0, cut), tags);
            EXPECT_TRUE(tags.title.empty() || tags.title == L"Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1");
        }
        // Cut inside the headers (as the player's test cuts them): damaged.
        for (std::size_t cut : {40, 200}) {
            MediaTags headerOnly;
            const MediaFormat format = Read(bytes.substr(0, cut), headerOnly);
            if (format != MediaFormat::Mp3) {
                EXPECT_TRUE(headerOnly.damaged) << cut;
            }
        }
        std::string garbled = bytes;
        for (std::size_t at = 4; at < garbled.size(); at += 97) garbled[at] = static_cast<char>(0xFF - garbled[at]);
        MediaTags tags;
        Read(garbled, tags);
    }
}

std::string Be32(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string Atom(const char* type, const std::string& body) { return Be32(static_cast<std::uint32_t>(8 + body.size())) + type + body; }

TEST(MediaTags, HandmadeHeadersThatClaimMoreThanTheFileHolds)
{
    MediaTags tags;
    // FLAC: a comment block longer than the file.
    std::string flac = "fLaC";
    flac += std::string("\x00\x00\x00\x22", 4) + std::string(10, '\0') + std::string("\x0A\xC4\x40\xF0", 4) + std::string(20, '\0');
    flac += std::string("\x84\x7F\xFF\xFF", 4) + "short";
    EXPECT_EQ(Read(flac, tags), MediaFormat::Flac);
    EXPECT_TRUE(tags.damaged);
    EXPECT_EQ(tags.rate, 0);
    // MP4: an item list whose atom runs past its parent; the title before it is kept.
    const std::string data = Atom("data", std::string("\x00\x00\x00\x01\x00\x00\x00\x00", 8) + "Caf\xC3\xA9");
    std::string ilst = Atom("\xA9nam", data) + Be32(4000) + "\xA9" "ART";
    const std::string meta = Atom("meta", std::string(4, '\0') + Atom("ilst", ilst));
    std::string mp4 = Atom("ftyp", "M4A ") + Atom("moov", Atom("udta", meta));
    EXPECT_EQ(Read(mp4, tags), MediaFormat::Mp4);
    EXPECT_EQ(tags.title, L"Caf\u00e9");
    EXPECT_TRUE(tags.damaged);   // and no sound track
    // MP4: a meta atom too short for its version and flags; nothing is read beyond it.
    mp4 = Atom("ftyp", "M4A ") + Atom("moov", Atom("udta", Atom("meta", "") + Atom("free", "\xA9nam" + data)));
    EXPECT_EQ(Read(mp4, tags), MediaFormat::Mp4);
    EXPECT_EQ(tags.title, L"");
    // ID3v2.3 with an extended header, a title frame and one MPEG frame; extended header sizes
    // near 2^32 (which wrap when its own 4 bytes are added) leave the tag damaged and unread.
    const std::string title = std::string("TIT2") + Be32(5) + std::string(3, '\0') + "Late";
    for (std::uint32_t extended : {6u, 0xFFFFFFFBu, 0xFFFFFFFCu, 0xFFFFFFFFu}) {
        const std::string body = Be32(extended) + std::string(6, '\0') + title;
        const std::string mp3 = std::string("ID3\x03\x00\x40\x00\x00\x00", 9) + static_cast<char>(body.size()) + body +
                                "\xFF\xFB\x90\x00" + std::string(413, '\0');
        const bool sound = extended == 6;
        EXPECT_EQ(Read(mp3, tags), MediaFormat::Mp3) << extended;
        EXPECT_EQ(tags.title, sound ? L"Late" : L"") << extended;
        EXPECT_EQ(tags.damaged, !sound) << extended;
    }
    // ASF: a header that claims more than the file.
    std::string asf("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
    asf += std::string("\xFF\xFF\xFF\x7F\x00\x00\x00\x00", 8) + std::string("\x05\x00\x00\x00\x01\x02", 6);
    EXPECT_EQ(Read(asf, tags), MediaFormat::Asf);
    EXPECT_TRUE(tags.damaged);
    // Ogg: a first page that is no codec header.
    std::string ogg = "OggS" + std::string(1, '\0') + std::string(1, '\x02') + std::string(20, '\0') + std::string("\x01\x05", 2) + "hello";
    EXPECT_EQ(Read(ogg, tags), MediaFormat::OggVorbis);
    EXPECT_TRUE(tags.damaged);
}

// ID3v2.4 in UTF-16 with a byte-order mark, UTF-8 and Latin-1; album and track
// number; a frame unsynchronised on its own.
TEST(MediaTags, Id3TextEncodingsAlbumAndTrack)
{
    const auto frame = [](const char* id, const std::string& body, char flags = 0) {
        const std::uint32_t n = static_cast<std::uint32_t>(body.size());
        return std::string(id) +
               std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                           static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)} +
               std::string{0, flags} + body;
    };
    std::string frames = frame("TIT2", std::string("\x01\xFF\xFE\xA9\x03\x00\x00", 7)) +   // "Ω" in UTF-16LE
                         frame("TPE1", std::string("\x03") + "Zo\xC3\xAB") + frame("TALB", std::string(1, '\0') + "K\xF6ln") +
                         frame("TRCK", std::string(1, '\0') + "7/12") +
                         frame("TCOM", std::string("\x00\xFF\x00\xE0", 4), 0x02);
    const std::uint32_t n = static_cast<std::uint32_t>(frames.size());
    std::string tag = std::string("ID3\x04\x00\x00", 6) +
                      std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                                  static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)} +
                      frames;
    MediaTags tags;
    EXPECT_EQ(Read(tag, tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.title, L"\u03a9");
    EXPECT_EQ(tags.artist, L"Zo\u00eb");
    EXPECT_EQ(tags.album, L"K\u00f6ln");
    EXPECT_EQ(tags.track, 7);
    EXPECT_TRUE(tags.damaged);   // a tag and no sound after it
    EXPECT_EQ(DisplayName(MediaTags(), L"file name"), L"file name");
    EXPECT_TRUE(IsAudioFileName(L"C:\\m\\a.FLAC"));
    EXPECT_TRUE(IsAudioFileName(L"b.opus"));
    EXPECT_FALSE(IsAudioFileName(L"c.m3u"));
    EXPECT_TRUE(IsPlaylistFileName(L"c.M3U8"));
}

}  // namespace
