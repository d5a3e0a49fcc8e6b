// Title, artist and duration of an audio file, from what is cheap to read:
// the RIFF chunks of a WAV file ("fmt ", "data", "LIST"/"INFO" with "INAM"
// and "IART"), the ID3v2 frames at the start of an MP3 file (TIT2/TPE1,
// TT2/TP1), its ID3v1 tag at the end, and its duration from the first MPEG
// frame (a "Xing"/"Info" frame count when there is one, else the bit rate).
// Platform-neutral: the bytes come through ByteSource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunestack {

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

struct TrackInfo {
    std::wstring title;            // empty when the file names none
    std::wstring artist;
    std::int64_t durationMs = -1;  // -1 when unknown
};

enum class AudioKind { Unknown, Wav, Mp3 };

// What the bytes hold; a file that is neither gives Unknown and an empty record.
AudioKind ReadTrackInfo(ByteSource& source, TrackInfo& info);

// "m:ss" (or "h:mm:ss"), empty for an unknown duration.
std::wstring FormatDuration(std::int64_t durationMs);

}  // namespace tunestack
