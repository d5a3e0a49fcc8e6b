// The WAV writer and reader and the level measurements.
#include "sonicut/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonicut {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
void Put32(std::uint8_t* p, std::uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}
std::uint32_t Get16(const char* p) { return static_cast<std::uint8_t>(p[0]) | (static_cast<std::uint8_t>(p[1]) << 8); }
std::uint32_t Get32(const char* p) { return Get16(p) | (Get16(p + 2) << 16); }

}  // namespace

std::array<std::uint8_t, kWavHeaderBytes> MakeWavHeader(const PcmFormat& format, std::uint32_t dataBytes)
{
    std::array<std::uint8_t, kWavHeaderBytes> h = {};
    std::memcpy(&h[0], "RIFF", 4);
    // The RIFF size counts a pad byte after odd data.
    const std::uint64_t riff = 36ull + dataBytes + (dataBytes & 1);
    Put32(&h[4], static_cast<std::uint32_t>(std::min<std::uint64_t>(riff, 0xFFFFFFFFull)));
    std::memcpy(&h[8], "WAVEfmt ", 8);
    Put32(&h[16], 16);
    Put16(&h[20], 1);
    Put16(&h[22], format.channels);
    Put32(&h[24], format.rate);
    Put32(&h[28], format.BytesPerSecond());
    Put16(&h[32], format.BlockAlign());
    Put16(&h[34], format.bits);
    std::memcpy(&h[36], "data", 4);
    Put32(&h[40], dataBytes);
    return h;
}

WavWriter::WavWriter(WavOutput& output, const PcmFormat& format, std::uint32_t refresh)
    : m_output(output), m_format(format), m_refresh(std::max<std::uint32_t>(refresh, 1))
{
}

bool WavWriter::Begin()
{
    const auto header = MakeWavHeader(m_format, 0);
    m_failed = !m_output.WriteAt(0, header.data(), header.size());
    return !m_failed;
}

bool WavWriter::WriteSizes()
{
    const auto header = MakeWavHeader(m_format, static_cast<std::uint32_t>(m_dataBytes));
    // Only the two size fields change.
    if (!m_output.WriteAt(4, &header[4], 4) || !m_output.WriteAt(40, &header[40], 4)) return false;
    m_sizesWrittenAt = m_dataBytes;
    return true;
}

bool WavWriter::Append(const void* data, std::size_t bytes)
{
    if (m_failed || m_full) return false;
    if (!data || bytes == 0) return true;
    const std::size_t block = m_format.BlockAlign();
    const auto* p = static_cast<const std::uint8_t*>(data);
    // Complete the frame left over from the last call.
    if (!m_partial.empty()) {
        const std::size_t take = std::min(bytes, block - m_partial.size());
        m_partial.insert(m_partial.end(), p, p + take);
        p += take;
        bytes -= take;
        if (m_partial.size() < block) return true;
        std::vector<std::uint8_t> frame;
        frame.swap(m_partial);
        if (!Append(frame.data(), frame.size())) return false;
    }
    std::size_t whole = bytes - bytes % block;
    const std::uint64_t room = (kMaxWavDataBytes - m_dataBytes) / block * block;
    bool full = false;
    if (whole > room) {
        whole = static_cast<std::size_t>(room);
        full = true;
    }
    if (whole > 0) {
        if (!m_output.WriteAt(kWavHeaderBytes + m_dataBytes, p, whole)) {
            m_failed = true;
            return false;
        }
        m_dataBytes += whole;
    }
    if (full) {
        m_full = true;
        WriteSizes();
        return false;
    }
    m_partial.assign(p + whole, p + bytes);
    if (m_dataBytes - m_sizesWrittenAt >= m_refresh && !WriteSizes()) {
        m_failed = true;
        return false;
    }
    return true;
}

bool WavWriter::Finish()
{
    m_partial.clear();   // a part of a frame cannot be played
    if (m_failed) return false;
    if (m_dataBytes & 1) {
        const std::uint8_t pad = 0;
        if (!m_output.WriteAt(kWavHeaderBytes + m_dataBytes, &pad, 1)) return false;
    }
    return WriteSizes();
}

std::optional<WavInfo> ParseWav(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") return std::nullopt;
    WavInfo info;
    bool haveFormat = false;
    std::uint64_t pos = 12;
    for (int chunks = 0; chunks < 10000 && pos + 8 <= bytes.size(); ++chunks) {
        const char* chunk = bytes.data() + pos;
        const std::uint32_t size = Get32(chunk + 4);
        const std::uint64_t body = pos + 8;
        const std::uint64_t available = bytes.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || available < 16) return std::nullopt;
            const char* f = chunk + 8;
            info.formatTag = static_cast<std::uint16_t>(Get16(f));
            info.format.channels = static_cast<std::uint16_t>(Get16(f + 2));
            info.format.rate = Get32(f + 4);
            info.format.bits = static_cast<std::uint16_t>(Get16(f + 14));
            if (Get16(f + 12) != info.format.BlockAlign() || info.format.BlockAlign() == 0) return std::nullopt;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return std::nullopt;
            info.dataOffset = body;
            info.claimedBytes = size;
            info.dataBytes = std::min<std::uint64_t>(size, available);
            return info;
        }
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}

std::vector<ChannelLevel> MeasureLevels(const void* data, std::size_t bytes, const PcmFormat& format)
{
    std::vector<ChannelLevel> levels(format.channels);
    const std::size_t block = format.BlockAlign();
    if (!data || block == 0 || format.channels == 0) return levels;
    const std::size_t frames = bytes / block;
    if (frames == 0) return levels;
    std::vector<double> sums(format.channels, 0.0);
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t c = 0; c < format.channels; ++c) {
            double v = 0;
            if (format.bits == 16) {
                const std::size_t at = f * block + c * 2;
                const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8)));
                v = sample / 32768.0;
            } else {
                v = (static_cast<int>(p[f * block + c]) - 128) / 128.0;
            }
            levels[c].peak = std::max(levels[c].peak, std::fabs(v));
            sums[c] += v * v;
        }
    }
    for (std::size_t c = 0; c < format.channels; ++c) levels[c].rms = std::sqrt(sums[c] / static_cast<double>(frames));
    return levels;
}

double ToDecibels(double level)
{
    if (!(level > 0)) return -96.0;
    return std::max(-96.0, 20.0 * std::log10(level));
}

std::wstring FormatElapsed(std::uint64_t milliseconds)
{
    const std::uint64_t seconds = milliseconds / 1000;
    const auto two = [](std::uint64_t v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    return two(seconds / 3600) + L":" + two((seconds / 60) % 60) + L":" + two(seconds % 60);
}

}  // namespace sonicut
