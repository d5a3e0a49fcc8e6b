// Fuzzer over Sonicut's WAV reader and level measurements.
#include "sonicut/wav_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto info = sonicut::ParseWav(std::string_view(reinterpret_cast<const char*>(data), size));
    if (info) {
        if (info->dataOffset + info->dataBytes > size) std::abort();
        if (info->format.IsValid()) {
            const auto levels = sonicut::MeasureLevels(data + info->dataOffset, static_cast<std::size_t>(info->dataBytes),
                                                       info->format);
            for (const auto& level : levels) {
                if (level.peak > 1.0 || level.rms > level.peak + 1e-9) std::abort();
            }
        }
    }
    return 0;
}
