#include "wav_file.h"

#include <cmath>
#include <cstring>

namespace vocalith {

namespace {

constexpr std::uint16_t kTagPcm = 0x0001;
constexpr std::uint16_t kTagFloat = 0x0003;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
// The tail shared by the sub-format GUIDs of PCM and IEEE float (the first
// two bytes hold the format tag).
constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// A walk over a hostile file ends after this many chunks.
constexpr int kMaxChunks = 1 << 16;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

WavResult ParseFormat(const std::uint8_t* f, std::uint32_t size, WavInfo& info) {
    std::uint16_t tag = Le16(f);
    info.channels = Le16(f + 2);
    info.rate = Le32(f + 4);
    info.blockAlign = Le16(f + 12);
    info.bitsPerSample = size >= 16 ? Le16(f + 14) : 0;
    info.channelMask = 0;
    if (tag == kTagExtensible) {
        if (size < 40 || Le16(f + 16) < 22) return WavResult::BadFormat;
        std::uint16_t validBits = Le16(f + 18);
        info.channelMask = Le32(f + 20);
        const std::uint8_t* guid = f + 24;
        if (std::memcmp(guid + 2, kGuidTail, sizeof kGuidTail) != 0) return WavResult::UnsupportedFormat;
        tag = Le16(guid);
        if (validBits > info.bitsPerSample) return WavResult::BadFormat;
    }
    if (tag == kTagPcm) {
        info.type = SampleType::Integer;
        if (info.bitsPerSample != 8 && info.bitsPerSample != 16 && info.bitsPerSample != 24 && info.bitsPerSample != 32)
            return WavResult::UnsupportedFormat;
    } else if (tag == kTagFloat) {
        info.type = SampleType::Float;
        if (info.bitsPerSample != 32 && info.bitsPerSample != 64) return WavResult::UnsupportedFormat;
    } else {
        return WavResult::UnsupportedFormat;
    }
    if (info.channels == 0 || info.rate == 0 || info.rate > kMaxRate) return WavResult::BadFormat;
    if (info.channels > kMaxChannels) return WavResult::UnsupportedFormat;
    if (info.blockAlign != info.channels * (info.bitsPerSample / 8)) return WavResult::BadFormat;
    return WavResult::Ok;
}

}  // namespace

bool CMemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset > m_size || count > m_size - offset) return false;
    if (count) std::memcpy(buffer, m_data + offset, count);
    return true;
}

const char* WavResultText(WavResult result) {
    switch (result) {
    case WavResult::Ok: return "OK";
    case WavResult::NotRiff: return "not a RIFF file";
    case WavResult::NotWave: return "not a WAVE file";
    case WavResult::NoFormat: return "no format chunk";
    case WavResult::NoData: return "no data chunk";
    case WavResult::UnsupportedFormat: return "unsupported sample format";
    case WavResult::BadFormat: return "damaged format chunk";
    case WavResult::ReadError: return "the file could not be read";
    }
    return "unknown error";
}

WavResult ReadWavHeader(IByteSource& source, WavInfo& info) {
    info = WavInfo();
    const std::uint64_t size = source.Size();
    std::uint8_t header[12];
    if (size < 12 || !source.ReadAt(0, header, 12)) return WavResult::NotRiff;
    if (std::memcmp(header, "RIFF", 4) != 0) return WavResult::NotRiff;
    if (std::memcmp(header + 8, "WAVE", 4) != 0) return WavResult::NotWave;

    bool haveFormat = false;
    WavResult formatResult = WavResult::NoFormat;
    std::uint64_t at = 12;
    for (int chunk = 0; chunk < kMaxChunks && at + 8 <= size; ++chunk) {
        std::uint8_t head[8];
        if (!source.ReadAt(at, head, 8)) return WavResult::ReadError;
        const std::uint32_t chunkSize = Le32(head + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(head, "fmt ", 4) == 0) {
            std::uint8_t format[40] = {};
            if (chunkSize < 14 || body + (chunkSize < 40 ? chunkSize : 40) > size) return WavResult::NoFormat;
            const std::uint32_t take = chunkSize < 40 ? chunkSize : 40;
            if (!source.ReadAt(body, format, take)) return WavResult::ReadError;
            formatResult = ParseFormat(format, chunkSize, info);
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat) return WavResult::NoFormat;
            if (formatResult != WavResult::Ok) return formatResult;
            std::uint64_t bytes = chunkSize;
            if (body + bytes > size) {
                bytes = size - body;
                info.truncated = true;
            }
            info.dataOffset = body;
            info.frames = bytes / info.blockAlign;
            return WavResult::Ok;
        }
        at = body + chunkSize + (chunkSize & 1);
    }
    if (haveFormat && formatResult != WavResult::Ok) return formatResult;
    return haveFormat ? WavResult::NoData : WavResult::NoFormat;
}

void ConvertFrames(const WavInfo& info, const std::uint8_t* data, std::size_t frames, float* const* channels,
                   std::size_t firstFrame) {
    const int n = info.channels;
    const std::size_t step = info.bitsPerSample / 8;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint8_t* frame = data + i * info.blockAlign;
        for (int c = 0; c < n; ++c) {
            const std::uint8_t* p = frame + c * step;
            float v = 0.0f;
            if (info.type == SampleType::Float) {
                double d = 0.0;
                if (step == 4) {
                    std::uint32_t bits = Le32(p);
                    float f;
                    std::memcpy(&f, &bits, 4);
                    d = f;
                } else {
                    std::uint64_t bits = static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
                    std::memcpy(&d, &bits, 8);
                }
                v = std::isfinite(d) ? static_cast<float>(d < -8.0 ? -8.0 : (d > 8.0 ? 8.0 : d)) : 0.0f;
            } else {
                switch (step) {
                case 1: v = (static_cast<int>(p[0]) - 128) / 128.0f; break;
                case 2: v = static_cast<std::int16_t>(Le16(p)) / 32768.0f; break;
                case 3: {
                    std::int32_t s = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                               static_cast<std::uint32_t>(p[1]) << 16 |
                                                               static_cast<std::uint32_t>(p[2]) << 24);
                    v = static_cast<float>(s / 2147483648.0);
                    break;
                }
                default: v = static_cast<float>(static_cast<std::int32_t>(Le32(p)) / 2147483648.0); break;
                }
            }
            channels[c][firstFrame + i] = v;
        }
    }
}

}  // namespace vocalith
