// Sonicut's recordings: a WAV writer that keeps the file readable while it
// grows (the header's sizes are brought up to date at least once per
// `refresh` bytes, so a recording that ends without Finish, a crash, keeps
// all but the last moments), the header reader used to check recordings,
// and the level measurements of the meter. Platform-neutral: the writer
// reaches its file through WavOutput.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonicut {

struct PcmFormat {
    std::uint16_t channels = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;   // 8 (unsigned) or 16 (signed)

    std::uint16_t BlockAlign() const { return static_cast<std::uint16_t>(channels * (bits / 8)); }
    std::uint32_t BytesPerSecond() const { return rate * BlockAlign(); }
    bool IsValid() const { return channels >= 1 && channels <= 8 && rate >= 1000 && rate <= 384000 && (bits == 8 || bits == 16); }
};

constexpr std::size_t kWavHeaderBytes = 44;
// The largest data chunk a RIFF file can describe (its size is 32 bits), kept even.
constexpr std::uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 36 - 1;

// The canonical 44-byte header: RIFF, "fmt " (PCM) and the "data" chunk header.
std::array<std::uint8_t, kWavHeaderBytes> MakeWavHeader(const PcmFormat& format, std::uint32_t dataBytes);

class WavOutput {
public:
    virtual ~WavOutput() = default;
    virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t bytes) = 0;
};

class WavWriter {
public:
    // `refresh`: how many data bytes may be written before the header is brought up to date.
    WavWriter(WavOutput& output, const PcmFormat& format, std::uint32_t refresh);

    // Writes the header of an empty recording.
    bool Begin();
    // Appends PCM bytes; a trailing part of a frame waits for the next call.
    // False when writing failed or the file is full (nothing more is taken).
    bool Append(const void* data, std::size_t bytes);
    // Pads the data to an even length and writes the final sizes.
    bool Finish();

    std::uint64_t DataBytes() const { return m_dataBytes; }
    bool Full() const { return m_full; }
    bool Failed() const { return m_failed; }
    const PcmFormat& Format() const { return m_format; }

private:
    bool WriteSizes();

    WavOutput& m_output;
    PcmFormat m_format;
    std::uint32_t m_refresh;
    std::uint64_t m_dataBytes = 0;
    std::uint64_t m_sizesWrittenAt = 0;
    std::vector<std::uint8_t> m_partial;   // less than one frame
    bool m_full = false;
    bool m_failed = false;
};

struct WavInfo {
    PcmFormat format;
    std::uint16_t formatTag = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytes = 0;      // what the file holds (at most what the header claims)
    std::uint64_t claimedBytes = 0;   // what the header claims
};

// The format and data chunk of a WAV file's bytes (PCM or extensible), or
// nothing when the bytes are not a WAV file with both chunks.
std::optional<WavInfo> ParseWav(std::string_view bytes);

// ---- Levels -------------------------------------------------------------------------------

struct ChannelLevel {
    double peak = 0;   // largest magnitude, 1 = full scale
    double rms = 0;    // root mean square, a full-scale sine gives 0.707
};

// Per channel over the whole frames of the block (a trailing part is ignored).
std::vector<ChannelLevel> MeasureLevels(const void* data, std::size_t bytes, const PcmFormat& format);

// Decibels of full scale, no lower than -96 (silence).
double ToDecibels(double level);

// "hh:mm:ss" of a number of milliseconds.
std::wstring FormatElapsed(std::uint64_t milliseconds);

}  // namespace sonicut
