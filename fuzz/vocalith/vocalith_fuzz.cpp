// Any bytes as a WAV file (header, then every frame converted), as the start
// of an MP3 file (with the frame count and seek table of its first frame),
// and as an "open" message: no crash, no read outside the
// input, and results that agree with the input's size.
#include "core/mp3_frames.h"
#include "core/playlist.h"
#include "core/wav_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vocalith;
    CMemorySource source(data, size);
    WavInfo info;
    if (ReadWavHeader(source, info) == WavResult::Ok) {
        if (info.channels < 1 || info.channels > kMaxChannels || info.blockAlign == 0) std::abort();
        if (info.dataOffset + info.frames * info.blockAlign > size) std::abort();
        std::vector<std::vector<float>> channels(info.channels, std::vector<float>(64));
        std::vector<float*> table;
        for (auto& c : channels) table.push_back(c.data());
        for (std::uint64_t at = 0; at < info.frames; at += 64) {
            const std::size_t n = static_cast<std::size_t>(info.frames - at < 64 ? info.frames - at : 64);
            ConvertFrames(info, data + info.dataOffset + at * info.blockAlign, n, table.data(), 0);
            for (auto& c : channels)
                for (std::size_t i = 0; i < n; ++i)
                    if (!(c[i] >= -8.0f && c[i] <= 8.0f)) std::abort();
        }
    }

    Mp3Frame frame;
    const std::int64_t first = FindFirstMp3Frame(data, size, frame);
    if (first >= 0 && (static_cast<std::uint64_t>(first) + 4 > size || frame.frameBytes <= 4 || frame.rate <= 0))
        std::abort();
    if (first >= 0) {
        const std::size_t at = static_cast<std::size_t>(first);
        Mp3StreamInfo stream;
        if (ReadMp3StreamInfo(data + at, size - at, frame, stream)) {
            if (stream.frames == 0) std::abort();
            // Seek positions never go back as the time goes on, nor past the stream.
            std::uint64_t previous = 0;
            for (int step = 0; step <= 20; ++step) {
                const std::uint64_t offset = Mp3SeekOffset(stream, step / 20.0, size - at);
                const std::uint64_t bytes = stream.bytes ? stream.bytes : size - at;
                if (offset < previous || offset > bytes) std::abort();
                previous = offset;
            }
        }
    }
    Id3v2Size(data, size);

    std::wstring message;
    for (std::size_t i = 0; i + 1 < size; i += 2) message.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    std::vector<std::wstring> names;
    if (ParseOpenMessage(message, names))
        for (const std::wstring& n : names)
            if (n.empty() || n.size() > message.size()) std::abort();
    return 0;
}
