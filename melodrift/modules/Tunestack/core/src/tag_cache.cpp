// Tunestack's tag cache, "tagcache.dat".
#include "tunestack/library_files.h"

#include "text_units.h"

#include <algorithm>

namespace tunestack {

using units::PutText;

namespace {

void Put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Put64(std::string& out, std::uint64_t v)
{
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

void PutString(std::string& out, const std::wstring& text)
{
    Put32(out, static_cast<std::uint32_t>(text.size()));
    PutText(out, text);
}

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
    std::string out = "TSTC";
    Put32(out, 1);
    Put32(out, static_cast<std::uint32_t>(records.size()));
    for (const CachedTags& r : records) {
        PutString(out, r.path);
        PutString(out, r.tags.title);
        PutString(out, r.tags.artist);
        PutString(out, r.tags.album);
        Put64(out, r.size);
        Put64(out, r.time);
        Put32(out, static_cast<std::uint32_t>(r.tags.track));
        Put64(out, static_cast<std::uint64_t>(r.tags.durationMs));
    }
    return out;
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
