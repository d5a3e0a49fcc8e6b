// What a music file tells about itself, read by our own small readers (the
// system's media framework may offer no metadata at all): title, artist,
// album, track number and length from
//   WAV     RIFF "LIST"/"INFO" (INAM, IART, IPRD, ITRK) and "fmt "/"data"
//   MP3     ID3v2.2/2.3/2.4 at the start, ID3v1(.1) at the end, the length from
//           the first MPEG frame ("Xing"/"Info" frame count less LAME's delay
//           and padding, or "VBRI"'s, else the bit rate)
//   FLAC    STREAMINFO and the Vorbis comment block
//   Ogg     the first Vorbis, Opus, FLAC or Speex stream (after a Skeleton or
//           video stream): identification and comment headers, the length
//           from the last page's granule position; FLAC in Ogg reads as Flac
//   MP4     (M4A) moov/mvhd, the sound track's mdhd and edit list, the iTunes
//           item list (udta/meta/ilst: ©nam, ©ART, ©alb, trkn, and iTunes'
//           "iTunSMPB" item: the encoder's delay and the sample count, for a
//           track without an edit list) or QuickTime's text items in udta
//   ASF     (WMA) File Properties, Content Description, Extended Content
//           Description (WM/AlbumTitle, WM/TrackNumber)
// Platform-neutral and bounded: every size a file claims is checked against
// what it holds, and no reader takes more than a fixed amount of memory. A
// file cut short gives what it holds (and is damaged).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mediatags {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Up to `count` bytes from `offset`; the number read (fewer at the end or on an error).
    virtual std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size) : m_data(static_cast<const unsigned char*>(data)), m_size(size) {}
    std::uint64_t Size() const override { return m_size; }
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    const unsigned char* m_data;
    std::size_t m_size;
};

enum class MediaFormat { Unknown, Wav, Mp3, Flac, OggVorbis, Opus, Mp4, Asf };

struct MediaTags {
    std::wstring title;            // empty when the file names none
    std::wstring artist;
    std::wstring album;
    int track = 0;                 // 0 when none
    std::int64_t durationMs = -1;  // -1 when unknown
    // The exact length in frames at `rate`, where the file states it (FLAC,
    // Ogg, an MP4 edit list, an MP3's frame count); -1 otherwise.
    std::int64_t frames = -1;
    int rate = 0;
    // Frames of the encoder's delay the decoded sound starts with, before the
    // file's first (an MP4 file's "iTunSMPB" item where no edit list skips
    // them; the length in `frames` then leaves them out); 0 when none is known.
    std::int64_t leadFrames = 0;
    // The format was recognised but its structure is broken (a header cut
    // short, a size beyond the end of the file, a required part missing).
    bool damaged = false;
    // The file ends before its first coded sound, or describes no sound a
    // decoder could find (headers cut short, no sound track): nothing plays it.
    bool noSound = false;
};

// The format by the first bytes of a file alone (after an ID3v2 tag, which
// also stands before some FLAC files): Wav, Flac, OggVorbis (any Ogg), Mp4,
// Asf, or Unknown (MP3 has no signature of its own).
MediaFormat SniffFormat(const void* head, std::size_t size);

// Reads what the file holds. A file of no known format gives Unknown and an
// empty record.
MediaFormat ReadMediaTags(ByteSource& source, MediaTags& tags);

// "FLAC", "Ogg Vorbis", "Opus", "MP4", "WMA", "WAV", "MP3"; empty for Unknown.
const wchar_t* FormatName(MediaFormat format);

// "Artist – Title"; the title alone without an artist; `fallback` (the file
// name, say) without a title.
std::wstring DisplayName(const MediaTags& tags, const std::wstring& fallback);

// "m:ss" (or "h:mm:ss"), empty for an unknown duration.
std::wstring FormatDuration(std::int64_t durationMs);

// Whether the name ends in an extension of a sound file the player opens
// (wav, mp3, flac, ogg, oga, opus, m4a, mp4, wma; letter case ignored).
bool IsAudioFileName(std::wstring_view path);
// The same for playlists (m3u, m3u8, pls).
bool IsPlaylistFileName(std::wstring_view path);

}  // namespace mediatags
