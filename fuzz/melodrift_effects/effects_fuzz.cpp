// Arbitrary effects, formats, parameters, presets, samples and block sizes:
// the output stays finite and bounded, and nothing is read or written outside
// the arrays (AddressSanitizer watches).
#include "effects/effect.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool More() const { return pos < size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    std::uint32_t Word()
    {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | Byte();
        return bits;
    }
    float Float()
    {
        const std::uint32_t bits = Word();
        float v;
        std::memcpy(&v, &bits, sizeof(v));
        return v;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const effects::EffectDescriptor* d = effects::CatalogAt(in.Byte() % effects::CatalogCount());
    std::unique_ptr<effects::Effect> effect = effects::CreateEffect(*d);
    if (!effect) {
        std::abort();
    }
    std::vector<float> samples;
    int steps = 0;
    while (in.More() && steps++ < 32) {
        switch (in.Byte() % 6) {
        case 0: {
            const int channels = static_cast<int>(in.Byte() % 10);
            static const int kRates[] = {0, 7999, 8000, 11025, 22050, 44100, 48000, 96000, 384000, 384001};
            const int rate = kRates[in.Byte() % 10];
            const bool ok = effect->SetFormat(channels, rate);
            if (ok != (channels >= 1 && channels <= 8 && rate >= 8000 && rate <= 384000)) {
                std::abort();
            }
            break;
        }
        case 1:
            effect->SetParam(static_cast<int>(in.Byte() % 10) - 1, in.Float());
            break;
        case 2:
            effect->ApplyPreset(static_cast<int>(in.Byte() % 8) - 1);
            break;
        case 3:
            effect->Reset();
            break;
        default: {
            const int frames = static_cast<int>(in.Byte()) * 8 + in.Byte() % 8;
            samples.assign(static_cast<std::size_t>(frames) * effect->Channels(), 0.0f);
            for (float& v : samples) {
                v = in.More() ? in.Float() : 0.0f;
            }
            if (!effect->Process(samples.data(), frames)) {
                std::abort();
            }
            for (float v : samples) {
                if (!std::isfinite(v) || std::fabs(v) > 1e5f) {
                    std::abort();
                }
            }
            break;
        }
        }
    }
    return 0;
}
