// The WAV file reader of the player module: the RIFF/WAVE chunk walk, the
// format chunk (plain PCM, IEEE float and WAVE_FORMAT_EXTENSIBLE with either
// sub-format), the data chunk's place, and the conversion of interleaved
// samples to one float array per channel. No Windows header: the bytes come
// through IByteSource, so the reader runs over files, memory and fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vocalith {

// Random access to the bytes of a file.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Exactly `count` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

// A source over bytes in memory (not copied).
class CMemorySource : public IByteSource {
public:
    CMemorySource(const void* data, std::size_t size) : m_data(static_cast<const std::uint8_t*>(data)), m_size(size) {}
    std::uint64_t Size() const override { return m_size; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

enum class WavResult {
    Ok,
    NotRiff,          // no "RIFF" header (or the file is shorter than 12 bytes)
    NotWave,          // a RIFF file of another form
    NoFormat,         // no complete "fmt " chunk before the data
    NoData,           // no "data" chunk
    UnsupportedFormat,  // a compressed format, or one the player cannot take
    BadFormat,        // contradictory fields (block size, channels, rate)
    ReadError,        // the source failed
};

// A short English text for a result (for the status line).
const char* WavResultText(WavResult result);

enum class SampleType {
    Integer,   // 8-bit unsigned, 16-, 24- or 32-bit signed
    Float,     // 32- or 64-bit IEEE
};

struct WavInfo {
    std::uint16_t channels = 0;        // 1 to 8
    std::uint32_t rate = 0;            // frames per second, 1 to 384000
    std::uint16_t bitsPerSample = 0;   // container bits: 8, 16, 24, 32 or 64
    std::uint16_t blockAlign = 0;      // bytes per frame
    SampleType type = SampleType::Integer;
    std::uint32_t channelMask = 0;     // from an extensible format, or 0
    std::uint64_t dataOffset = 0;      // first byte of the samples
    std::uint64_t frames = 0;          // whole frames present in the file
    bool truncated = false;            // the data chunk claims more than the file holds
};

constexpr std::uint16_t kMaxChannels = 8;
constexpr std::uint32_t kMaxRate = 384000;

// Reads the header. On success `info` describes the samples; a data chunk
// that runs past the end of the file is cut to what is there (truncated).
WavResult ReadWavHeader(IByteSource& source, WavInfo& info);

// Converts `frames` interleaved frames of the format at `data` into the
// channel arrays, each written from `firstFrame` on; values in -1 .. 1 (a
// float file's values pass through, limited to -8 .. 8, non-finite ones become 0).
void ConvertFrames(const WavInfo& info, const std::uint8_t* data, std::size_t frames, float* const* channels,
                   std::size_t firstFrame);

}  // namespace vocalith
