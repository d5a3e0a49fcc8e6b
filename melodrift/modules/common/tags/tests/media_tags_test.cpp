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
    int track;
};

// 2 s of sound at 44.1 kHz (Opus at 48 kHz, lsf.mp3 at 22.05 kHz), title
// "Grüße Ωμέγα", artist "Zoë Čapek", album "Tonleiter", track 3 (none in the
// QuickTime items of qt.m4a). Beside the plain files, the kinds our readers
// once refused: MPEG-2 MP3, FLAC in Ogg, a comment header over more than 64
// pages, QuickTime text items, a video stream before the sound.
TEST(MediaTags, FilesOfTheEncodersGiveTheirTagsAndLength)
{
    const Encoded files[] = {
        {"tune.flac", MediaFormat::Flac, 88200, 44100, 3},     {"tune.ogg", MediaFormat::OggVorbis, 88200, 44100, 3},
        {"tune.opus", MediaFormat::Opus, 96000, 48000, 3},     {"tune.m4a", MediaFormat::Mp4, 88200, 44100, 3},
        {"tune.wma", MediaFormat::Asf, -1, 0, 3},              {"tune.mp3", MediaFormat::Mp3, 88200, 44100, 3},
        {"lsf.mp3", MediaFormat::Mp3, 44100, 22050, 3},        {"tune.oga", MediaFormat::Flac, 88200, 44100, 3},
        {"cover.ogg", MediaFormat::OggVorbis, 88200, 44100, 3}, {"qt.m4a", MediaFormat::Mp4, 88200, 44100, 0},
        {"video.ogg", MediaFormat::OggVorbis, 88200, 44100, 3},
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
        EXPECT_EQ(tags.track, f.track);
        EXPECT_FALSE(tags.damaged);
        EXPECT_FALSE(tags.noSound);
        EXPECT_NEAR(static_cast<double>(tags.durationMs), 2000.0, 60.0);
        if (f.frames > 0) {
            EXPECT_EQ(tags.frames, f.frames);
            EXPECT_EQ(tags.rate, f.rate);
        }
        EXPECT_EQ(DisplayName(tags, L"tune"), L"Zo\u00eb \u010capek \u2013 Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1");
    }
    if (read == 0) GTEST_SKIP() << "no encoder was present at build time";
}

const std::wstring kTitle = L"Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1";

// Every file cut short at many places and with bytes overwritten: nothing is
// read from outside the bytes (the sanitizers watch), a file cut inside its
// headers is damaged, no tag is made up, and one cut or garbled in its sound
// still gives the tags in front of it (an MP4's "moov" stands at its end).
TEST(MediaTags, DamagedFilesAreReadWithinTheirBytes)
{
    for (const char* name : {"tune.flac", "tune.ogg", "tune.opus", "tune.m4a", "tune.wma", "tune.mp3", "tune.oga", "qt.m4a",
                             "video.ogg"}) {
        SCOPED_TRACE(name);
        const std::string bytes = Load(name);
        if (bytes.empty()) continue;
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 3) {
            MediaTags tags;
            Read(bytes.substr(0, cut), tags);
            EXPECT_TRUE(tags.title.empty() || tags.title == kTitle);
        }
        // Cut inside the headers (as the player's test cuts them): damaged,
        // and known to hold no sound, so that no decoder is asked to play it.
        for (std::size_t cut : {40, 200}) {
            MediaTags headerOnly;
            const MediaFormat format = Read(bytes.substr(0, cut), headerOnly);
            if (format != MediaFormat::Mp3) {
                EXPECT_TRUE(headerOnly.damaged) << cut;
                EXPECT_TRUE(headerOnly.noSound) << cut;
            }
        }
        const bool tagsFirst = std::string(name).find("m4a") == std::string::npos;
        MediaTags cutShort;
        Read(bytes.substr(0, bytes.size() * 3 / 4), cutShort);
        if (tagsFirst) {
            EXPECT_EQ(cutShort.title, kTitle);
            EXPECT_FALSE(cutShort.noSound);   // the sound that is there plays
        }
        std::string garbled = bytes;
        for (std::size_t at = bytes.size() / 2; at < garbled.size(); at += 97) garbled[at] = static_cast<char>(0xFF - garbled[at]);
        MediaTags tags;
        Read(garbled, tags);
        if (tagsFirst) {
            EXPECT_EQ(tags.title, kTitle);
        }
        EXPECT_TRUE(tags.frames < 0 || tags.rate > 0);
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
    // MP4: a meta atom too short for its version and flags (or for a child after
    // them); nothing is read beyond it.
    for (std::size_t length = 0; length < 12; ++length) {
        mp4 = Atom("ftyp", "M4A ") + Atom("moov", Atom("udta", Atom("meta", std::string(length, '\0')) + Atom("free", "\xA9nam" + data)));
        EXPECT_EQ(Read(mp4, tags), MediaFormat::Mp4);
        EXPECT_EQ(tags.title, L"") << length;
    }
    // FLAC: a picture block that states 40 bytes more than it holds before the
    // comments: it is passed by its own length, and the comments are read.
    const std::string picture = Be32(3) + Be32(9) + "image/png" + Be32(0) + std::string(16, '\0') + Be32(10) + std::string(10, '\x89');
    const std::string comment = std::string("\0\0\0\0\x01\0\0\0\x0B\0\0\0", 12) + "TITLE=Inner";
    flac = "fLaC" + std::string("\x00\x00\x00\x22", 4) + std::string(10, '\0') + std::string("\x0A\xC4\x40\xF0\x00\x00\xAC\x44", 8) +
           std::string(16, '\0') + "\x06" + Be32(static_cast<std::uint32_t>(picture.size() + 40)).substr(1) + picture + "\x84" +
           Be32(static_cast<std::uint32_t>(comment.size())).substr(1) + comment + std::string("\xFF\xF8", 2) + std::string(60, '\x11');
    EXPECT_EQ(Read(flac, tags), MediaFormat::Flac);
    EXPECT_EQ(tags.title, L"Inner");
    EXPECT_EQ(tags.frames, 44100);
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

// An M4A sound track of 2,048 + 44,100 + 500 frames at 44.1 kHz: iTunes'
// gapless item gives the length without the encoder's delay and padding, and
// the delay, where no edit list does; one broken or beyond the track is not believed.
TEST(MediaTags, Mp4GaplessItemGivesTheLengthAndTheDelayWithoutAnEditList)
{
    const std::string times = Be32(0) + Be32(0) + Be32(0) + Be32(44100) + Be32(2048 + 44100 + 500);
    const std::string mdia = Atom("mdia", Atom("mdhd", times) + Atom("hdlr", Be32(0) + Be32(0) + "soun"));
    const auto mp4 = [&](const std::string& edts, const std::string& smpb) {
        const std::string item = Atom("----", Atom("mean", Be32(0) + "com.apple.iTunes") + Atom("name", Be32(0) + "iTunSMPB") +
                                                  Atom("data", Be32(1) + Be32(0) + smpb));
        return Atom("ftyp", "M4A ") + Atom("moov", Atom("mvhd", times) + Atom("trak", edts + mdia) +
                                                    Atom("udta", Atom("meta", Be32(0) + Atom("ilst", item))));
    };
    const std::string edit = Atom("edts", Atom("elst", Be32(0) + Be32(1) + Be32(44100 + 100) + Be32(2048) + Be32(0x10000)));
    const std::string item = " 00000000 00000800 000001F4 000000000000ac44 00000000";
    const struct {
        std::string edts, smpb;
        std::int64_t frames, lead;
    } cases[] = {{"", item, 44100, 2048}, {edit, item, 44100 + 100, 0}, {"", " 00000000 00000800 000001F4", 46648, 0},
                 {"", " 00000000 00000800 000001F4 00000000000AC44Z", 46648, 0},
                 {"", " 00000000 00000800 000001F4 000000000000B000", 46648, 0}};
    for (const auto& c : cases) {
        MediaTags tags;
        ASSERT_EQ(Read(mp4(c.edts, c.smpb), tags), MediaFormat::Mp4);
        EXPECT_EQ(tags.frames, c.frames) << c.smpb;
        EXPECT_EQ(tags.leadFrames, c.lead) << c.smpb;
    }
}

std::string Synchsafe(std::size_t n)
{
    return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F), static_cast<char>((n >> 7) & 0x7F),
            static_cast<char>(n & 0x7F)};
}

// One MPEG-1 layer III frame of 417 bytes (128 kbit/s, 44.1 kHz) with `inside`
// where a "Xing" or "VBRI" header stands.
std::string MpegFrame(const std::string& inside = "")
{
    std::string frame = std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
    frame.replace(36, inside.size(), inside);
    return frame;
}

// Each ID3v2 version's frames and text encodings, each with the value the reader
// must give: v2.4 in UTF-16 with a byte-order mark and big-endian, UTF-8 with
// several values, a frame unsynchronised on its own, a picture larger than
// the reader takes before them; v2.3 unsynchronised as a whole with an
// extended header, "/" between artists and a frame whose size would wrap;
// v2.2; ID3v1.1's track.
TEST(MediaTags, Id3VersionsTextEncodingsAndValues)
{
    const auto frame = [](const char* id, const std::string& body, char flags = 0) {
        return std::string(id) + Synchsafe(body.size()) + std::string{0, flags} + body;
    };
    std::string frames = frame("APIC", std::string(300 * 1024, '\x5A')) +
                         frame("TIT2", std::string("\x01\xFF\xFE\xA9\x03\x00\x00", 7)) +   // "Ω" in UTF-16LE
                         frame("TPE1", std::string("\x03") + "Zo\xC3\xAB" + std::string(1, '\0') + "Ann" + std::string(1, '\0')) +
                         frame("TALB", std::string("\x00\xFF\x00\xE0", 4), 0x02) +   // "ÿà", FF 00 E0 once unsynchronised
                         frame("TRCK", std::string(1, '\0') + "7/12");
    MediaTags tags;
    EXPECT_EQ(Read(std::string("ID3\x04\x00\x00", 6) + Synchsafe(frames.size()) + frames, tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.title, L"\u03a9");
    EXPECT_EQ(tags.artist, L"Zo\u00eb / Ann");
    EXPECT_EQ(tags.album, L"\u00ff\u00e0");
    EXPECT_EQ(tags.track, 7);
    EXPECT_TRUE(tags.damaged);   // a tag and no sound after it
    frames = frame("TIT2", std::string("\x02\x03\xA9\x00\x20\x00\x41", 7));   // UTF-16BE
    EXPECT_EQ(Read(std::string("ID3\x04\x00\x00", 6) + Synchsafe(frames.size()) + frames + MpegFrame(), tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.title, L"\u03a9 A");
    EXPECT_FALSE(tags.damaged);
    // v2.3: the extended header (6 bytes after its size) and the frames, unsynchronised together.
    const auto frame3 = [](const char* id, const std::string& body) { return std::string(id) + Be32(static_cast<std::uint32_t>(body.size())) + std::string(2, '\0') + body; };
    const std::string plain = Be32(6) + std::string(6, '\0') + frame3("TIT2", std::string(1, '\0') + "\xFF\xE0x") +
                              frame3("TPE1", std::string(1, '\0') + "AC/DC/ Bo") + frame3("TRCK", std::string(1, '\0') + "5") +
                              frame3("TALB", "") + Be32(0xFFFFFFF0u) + "\0\0";   // a frame that claims 4 GB: the end
    std::string unsynchronised;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        unsynchronised += plain[i];
        if (plain[i] == '\xFF' && i + 1 < plain.size() && (static_cast<unsigned char>(plain[i + 1]) >= 0xE0 || plain[i + 1] == 0)) unsynchronised += '\0';
    }
    EXPECT_EQ(Read(std::string("ID3\x03\x00\xC0", 6) + Synchsafe(unsynchronised.size()) + unsynchronised + MpegFrame(), tags),
              MediaFormat::Mp3);
    EXPECT_EQ(tags.title, L"\u00ff\u00e0x");
    EXPECT_EQ(tags.artist, L"AC / DC / Bo");
    EXPECT_EQ(tags.track, 5);
    // v2.2: three-letter names and three-byte sizes.
    const std::string v22 = std::string("TT2\0\0\x04\0One", 10) + std::string("TRK\0\0\x02\0" "9", 8);
    EXPECT_EQ(Read(std::string("ID3\x02\x00\x00", 6) + Synchsafe(v22.size()) + v22 + MpegFrame(), tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.title, L"One");
    EXPECT_EQ(tags.track, 9);
    // ID3v1.1: the track in the comment's last byte, after a NUL.
    std::string v1 = std::string("TAG") + "Old" + std::string(27, '\0') + std::string(60, ' ') + std::string(4, '0') + std::string(28, '\0');
    v1 += std::string("\0\x0B\x00", 3);
    EXPECT_EQ(Read(MpegFrame() + MpegFrame() + v1, tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.title, L"Old");
    EXPECT_EQ(tags.track, 11);
    // The frame counts of "Xing" (with LAME's delay and padding) and "VBRI" give the length.
    std::string lame = "Xing" + Be32(1) + Be32(100) + "LAME3.100" + std::string(12, '\0') + std::string("\x24\x03\x40", 3);
    std::string mp3 = MpegFrame();
    mp3.replace(4 + 32, lame.size(), lame);
    EXPECT_EQ(Read(mp3 + MpegFrame(), tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.frames, 100 * 1152 - 576 - 832);
    EXPECT_EQ(Read(MpegFrame("VBRI" + std::string(6, '\0') + Be32(41700) + Be32(100)) + MpegFrame(), tags), MediaFormat::Mp3);
    EXPECT_EQ(tags.frames, 100 * 1152);
    EXPECT_EQ(DisplayName(MediaTags(), L"file name"), L"file name");
    EXPECT_TRUE(IsAudioFileName(L"C:\\m\\a.FLAC"));
    EXPECT_TRUE(IsAudioFileName(L"b.opus"));
    EXPECT_FALSE(IsAudioFileName(L"c.m3u"));
    EXPECT_TRUE(IsPlaylistFileName(L"c.M3U8"));
}

}  // namespace
