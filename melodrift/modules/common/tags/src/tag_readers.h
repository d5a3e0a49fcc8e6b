// Shared by the tag readers of each format (media_tags.cpp reads a file by
// its first bytes and hands it to one of them): byte order, text decoding and
// the readers themselves. Internal to module_tags.
#pragma once

#include "mediatags/media_tags.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mediatags::detail {

constexpr std::size_t kMaxCommentBytes = 1024 * 1024;   // Vorbis comments (a cover picture, mostly, beyond)
constexpr std::size_t kMaxItemBytes = 64 * 1024;        // one MP4 item or ASF object read for its text

inline std::uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
inline std::uint32_t Be32(const unsigned char* p) { return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
inline std::uint32_t Be24(const unsigned char* p) { return (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2]; }
inline std::uint64_t Le64(const unsigned char* p) { return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32); }
inline std::uint64_t Be64(const unsigned char* p) { return (static_cast<std::uint64_t>(Be32(p)) << 32) | Be32(p + 4); }
inline std::uint32_t Synchsafe(const unsigned char* p)
{
    return ((p[0] & 0x7Fu) << 21) | ((p[1] & 0x7Fu) << 14) | ((p[2] & 0x7Fu) << 7) | (p[3] & 0x7Fu);
}

// Up to `count` bytes from `offset` (fewer at the end of the file).
std::vector<unsigned char> ReadAt(ByteSource& source, std::uint64_t offset, std::size_t count);
// Without spaces (and NULs) at either end.
std::wstring Trim(std::wstring text);
// A number at the start of the text ("3", "3/12"); 0 when there is none.
int LeadingNumber(const std::wstring& text);
std::wstring Latin1(const unsigned char* p, std::size_t n);
// UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
std::wstring Utf8OrLatin1(const unsigned char* p, std::size_t n);
std::wstring Utf16(const unsigned char* p, std::size_t n, bool bigEndian);
bool SameAsciiNoCase(std::string_view a, std::string_view b);
// The exact length: `frames` at `rate`.
void SetLength(MediaTags& info, std::uint64_t frames, int rate);

// id3.cpp: the ID3v2 tag at the start (the offset after it), ID3v1 at the end.
std::uint64_t ReadId3v2(ByteSource& source, MediaTags& info, bool& found);
void ReadId3v1(ByteSource& source, MediaTags& info, bool& found);
// mp3_frames.cpp: the length from the MPEG frames after `start`; false when there are none.
bool ReadMpegDuration(ByteSource& source, std::uint64_t start, bool id3v1, MediaTags& info);
// wav.cpp
bool ReadWav(ByteSource& source, MediaTags& info);
// flac.cpp: "fLaC" at `start`; and the Vorbis comment block FLAC and Ogg share.
void ReadFlac(ByteSource& source, std::uint64_t start, MediaTags& info);
bool ReadVorbisComment(const unsigned char* p, std::size_t n, MediaTags& info);
// The 34 bytes of a STREAMINFO block: the rate and length; false without a rate.
bool ReadStreamInfo(const unsigned char* si, MediaTags& info);
// ogg.cpp
MediaFormat ReadOgg(ByteSource& source, MediaTags& info);
// mp4.cpp
void ReadMp4(ByteSource& source, MediaTags& info);
// asf.cpp
bool IsAsfHeader(const unsigned char* p);
void ReadAsf(ByteSource& source, MediaTags& info);

}  // namespace mediatags::detail
