// Our own readers of the tags and lengths of WAV, MP3, FLAC, Ogg, MP4 and ASF files.
#include "mediatags/media_tags.h"
#include "tag_readers.h"

#include <algorithm>
#include <initializer_list>
#include <cstring>
#include <string_view>
#include <vector>

namespace mediatags {

std::size_t MemorySource::Read(std::uint64_t offset, void* buffer, std::size_t count)
{
    if (offset >= m_size) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    if (n == 0) return 0;   // an empty read may come with no buffer at all
    std::memcpy(buffer, m_data + offset, n);
    return n;
}

namespace detail {

std::vector<unsigned char> ReadAt(ByteSource& source, std::uint64_t offset, std::size_t count)
{
    // No more room than the file holds from there: a size a file claims may be far beyond it.
    const std::uint64_t size = source.Size();
    if (offset >= size) return {};
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset)));
    bytes.resize(source.Read(offset, bytes.data(), bytes.size()));
    return bytes;
}

std::wstring Trim(std::wstring text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == 0)) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && text[start] == L' ') ++start;
    return text.substr(start);
}

// A number at the start of the text ("3", "3/12"); 0 when there is none.
int LeadingNumber(const std::wstring& text)
{
    int value = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ') ++i;
    const std::size_t first = i;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && i - first < 6; ++i) value = value * 10 + (text[i] - L'0');
    return value;
}

std::wstring Latin1(const unsigned char* p, std::size_t n)
{
    std::wstring text;
    for (std::size_t i = 0; i < n && p[i]; ++i) text.push_back(static_cast<wchar_t>(p[i]));
    return text;
}

// UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
std::wstring Utf8OrLatin1(const unsigned char* p, std::size_t n)
{
    std::size_t length = 0;
    while (length < n && p[length]) ++length;
    std::wstring text;
    for (std::size_t i = 0; i < length;) {
        const unsigned char b = p[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || (extra > 0 && i + static_cast<std::size_t>(extra) >= length)) return Latin1(p, length);
        std::uint32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return Latin1(p, length);
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return Latin1(p, length);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return text;
}

std::wstring Utf16(const unsigned char* p, std::size_t n, bool bigEndian)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        const wchar_t c = static_cast<wchar_t>(bigEndian ? (p[i] << 8) | p[i + 1] : p[i] | (p[i + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

bool SameAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

void SetLength(MediaTags& info, std::uint64_t frames, int rate)
{
    if (rate <= 0 || frames > (1ull << 50)) return;
    info.frames = static_cast<std::int64_t>(frames);
    info.rate = rate;
    info.durationMs = static_cast<std::int64_t>(frames * 1000 / static_cast<std::uint64_t>(rate));
}

}  // namespace detail

using namespace detail;

MediaFormat SniffFormat(const void* head, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(head);
    if (size >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WAVE", 4) == 0) return MediaFormat::Wav;
    if (size >= 4 && std::memcmp(p, "fLaC", 4) == 0) return MediaFormat::Flac;
    if (size >= 4 && std::memcmp(p, "OggS", 4) == 0) return MediaFormat::OggVorbis;
    if (size >= 8 && std::memcmp(p + 4, "ftyp", 4) == 0) return MediaFormat::Mp4;
    if (size >= 16 && IsAsfHeader(p)) return MediaFormat::Asf;
    return MediaFormat::Unknown;
}

MediaFormat ReadMediaTags(ByteSource& source, MediaTags& info)
{
    info = MediaTags();
    const std::vector<unsigned char> head = ReadAt(source, 0, 16);
    switch (SniffFormat(head.data(), head.size())) {
    case MediaFormat::Wav: ReadWav(source, info); return MediaFormat::Wav;
    case MediaFormat::Flac: ReadFlac(source, 0, info); return MediaFormat::Flac;
    case MediaFormat::OggVorbis: return ReadOgg(source, info);
    case MediaFormat::Mp4: ReadMp4(source, info); return MediaFormat::Mp4;
    case MediaFormat::Asf: ReadAsf(source, info); return MediaFormat::Asf;
    default: break;
    }
    bool id3v2 = false;
    bool id3v1 = false;
    const std::uint64_t audioStart = ReadId3v2(source, info, id3v2);
    // A FLAC file may carry an ID3v2 tag in front.
    const std::vector<unsigned char> after = ReadAt(source, audioStart, 4);
    if (id3v2 && after.size() == 4 && std::memcmp(after.data(), "fLaC", 4) == 0) {
        MediaTags flac;
        ReadFlac(source, audioStart, flac);
        if (flac.title.empty()) flac.title = info.title;
        if (flac.artist.empty()) flac.artist = info.artist;
        if (flac.album.empty()) flac.album = info.album;
        if (flac.track == 0) flac.track = info.track;
        info = flac;
        return MediaFormat::Flac;
    }
    ReadId3v1(source, info, id3v1);
    const bool frames = ReadMpegDuration(source, audioStart, id3v1, info);
    if (!id3v2 && !frames) {
        info = MediaTags();
        return MediaFormat::Unknown;
    }
    if (!frames) info.damaged = true;
    return MediaFormat::Mp3;
}

const wchar_t* FormatName(MediaFormat format)
{
    switch (format) {
    case MediaFormat::Wav: return L"WAV";
    case MediaFormat::Mp3: return L"MP3";
    case MediaFormat::Flac: return L"FLAC";
    case MediaFormat::OggVorbis: return L"Ogg Vorbis";
    case MediaFormat::Opus: return L"Opus";
    case MediaFormat::Mp4: return L"MP4";
    case MediaFormat::Asf: return L"WMA";
    default: return L"";
    }
}

std::wstring DisplayName(const MediaTags& tags, const std::wstring& fallback)
{
    if (tags.title.empty()) return fallback;
    if (tags.artist.empty()) return tags.title;
    return tags.artist + L" \u2013 " + tags.title;
}

std::wstring FormatDuration(std::int64_t durationMs)
{
    if (durationMs < 0) return {};
    const std::int64_t seconds = durationMs / 1000;
    const std::int64_t h = seconds / 3600, m = (seconds / 60) % 60, s = seconds % 60;
    const auto two = [](std::int64_t v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    if (h > 0) return std::to_wstring(h) + L":" + two(m) + L":" + two(s);
    return std::to_wstring(m) + L":" + two(s);
}

namespace {

bool HasExtension(std::wstring_view path, std::initializer_list<std::wstring_view> extensions)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring_view::npos) return false;
    const std::wstring_view extension = name.substr(dot + 1);
    for (std::wstring_view e : extensions) {
        if (e.size() != extension.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < e.size() && same; ++i) {
            wchar_t c = extension[i];
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
            same = c == e[i];
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

bool IsAudioFileName(std::wstring_view path)
{
    return HasExtension(path, {L"wav", L"mp3", L"flac", L"ogg", L"oga", L"opus", L"m4a", L"mp4", L"wma"});
}

bool IsPlaylistFileName(std::wstring_view path)
{
    return HasExtension(path, {L"m3u", L"m3u8", L"pls"});
}

}  // namespace mediatags
