// Tunestack's tag cache, "tagcache.dat".
#include "tunestack/library_files.h"

#include <algorithm>

namespace tunestack {

namespace {

// The bytes sized first and written in place.
class CacheWriter {
public:
    explicit CacheWriter(std::size_t bytes) : m_out(bytes, '\0'), m_at(m_out.data()) {}
    void Put32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) *m_at++ = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void Put64(std::uint64_t v)
    {
        Put32(static_cast<std::uint32_t>(v));
        Put32(static_cast<std::uint32_t>(v >> 32));
    }
    void PutString(const std::wstring& text)
    {
        Put32(static_cast<std::uint32_t>(text.size()));
        for (wchar_t c : text) {
            const auto unit = static_cast<std::uint32_t>(c) & 0xFFFF;
            *m_at++ = static_cast<char>(unit & 0xFF);
            *m_at++ = static_cast<char>(unit >> 8);
        }
    }
    void PutRecord(const std::wstring& path, std::uint64_t size, std::uint64_t time, const mediatags::MediaTags& tags)
    {
        PutString(path);
        PutString(tags.title);
        PutString(tags.artist);
        PutString(tags.album);
        Put64(size);
        Put64(time);
        Put32(static_cast<std::uint32_t>(tags.track));
        Put64(static_cast<std::uint64_t>(tags.durationMs));
    }
    static std::size_t RecordBytes(const std::wstring& path, const mediatags::MediaTags& tags)
    {
        return 44 + 2 * (path.size() + tags.title.size() + tags.artist.size() + tags.album.size());
    }
    std::string Take() { return std::move(m_out); }

private:
    std::string m_out;
    char* m_at;
};

constexpr std::size_t kHeaderBytes = 12;   // "TSTC", version, count

class CacheReader {
public:
    explicit CacheReader(std::string_view bytes) : m_bytes(bytes) {}
    bool Get32(std::uint32_t& v)
    {
        if (m_bytes.size() - m_pos < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[m_pos + i])) << (8 * i);
        m_pos += 4;
        return true;
    }
    bool Get64(std::uint64_t& v)
    {
        std::uint32_t lo = 0, hi = 0;
        if (!Get32(lo) || !Get32(hi)) return false;
        v = lo | (static_cast<std::uint64_t>(hi) << 32);
        return true;
    }
    bool GetString(std::wstring& text)
    {
        std::uint32_t units = 0;
        if (!Get32(units) || (m_bytes.size() - m_pos) / 2 < units) return false;
        text.resize(units);
        for (std::uint32_t i = 0; i < units; ++i) {
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(m_bytes[m_pos]) |
                                           (static_cast<unsigned char>(m_bytes[m_pos + 1]) << 8));
            m_pos += 2;
        }
        return true;
    }
    std::size_t Left() const { return m_bytes.size() - m_pos; }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

}  // namespace

std::string SerializeTagCache(const std::vector<CachedTags>& records)
{
    std::size_t bytes = kHeaderBytes;
    for (const CachedTags& r : records) bytes += CacheWriter::RecordBytes(r.path, r.tags);
    CacheWriter out(bytes);
    out.Put32(0x43545354);   // "TSTC"
    out.Put32(1);
    out.Put32(static_cast<std::uint32_t>(records.size()));
    for (const CachedTags& r : records) out.PutRecord(r.path, r.size, r.time, r.tags);
    return out.Take();
}

std::string SerializeTagCache(const std::vector<std::wstring>& paths,
                              const std::vector<std::optional<mediatags::MediaTags>>& tags,
                              const std::vector<std::pair<std::uint64_t, std::uint64_t>>& stamps)
{
    const std::size_t known = std::min(paths.size(), tags.size());
    std::size_t bytes = kHeaderBytes;
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < known; ++i) {
        if (!tags[i]) continue;
        bytes += CacheWriter::RecordBytes(paths[i], *tags[i]);
        ++count;
    }
    CacheWriter out(bytes);
    out.Put32(0x43545354);   // "TSTC"
    out.Put32(1);
    out.Put32(count);
    for (std::size_t i = 0; i < known; ++i) {
        if (!tags[i]) continue;
        const auto stamp = i < stamps.size() ? stamps[i] : std::pair<std::uint64_t, std::uint64_t>{0, 0};
        out.PutRecord(paths[i], stamp.first, stamp.second, *tags[i]);
    }
    return out.Take();
}

std::vector<CachedTags> ParseTagCache(std::string_view bytes)
{
    std::vector<CachedTags> records;
    if (bytes.substr(0, 4) != "TSTC") return records;
    CacheReader in(bytes.substr(4));
    std::uint32_t version = 0, count = 0;
    if (!in.Get32(version) || version != 1 || !in.Get32(count)) return records;
    // Each record takes at least 44 bytes: a count beyond that is not believed.
    records.reserve(std::min<std::size_t>(count, in.Left() / 44));
    for (std::uint32_t i = 0; i < count; ++i) {
        CachedTags r;
        std::uint32_t track = 0;
        std::uint64_t duration = 0;
        if (!in.GetString(r.path) || !in.GetString(r.tags.title) || !in.GetString(r.tags.artist) ||
            !in.GetString(r.tags.album) || !in.Get64(r.size) || !in.Get64(r.time) || !in.Get32(track) || !in.Get64(duration)) {
            break;
        }
        r.tags.track = static_cast<int>(track);
        r.tags.durationMs = static_cast<std::int64_t>(duration);
        if (r.tags.track < 0) r.tags.track = 0;
        if (r.tags.durationMs < -1) r.tags.durationMs = -1;
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace tunestack
