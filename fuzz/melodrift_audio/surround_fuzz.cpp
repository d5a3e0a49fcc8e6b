// Arbitrary settings and samples through the surround processor: whatever it
// is told, its output stays finite and it never writes outside the arrays it
// was given (AddressSanitizer watches).
#include "surround_processor.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool More() const { return pos < size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    float Float()
    {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | Byte();
        float v;
        std::memcpy(&v, &bits, sizeof(v));
        return v;
    }
    std::int32_t Int()
    {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | Byte();
        return static_cast<std::int32_t>(bits);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    ambiora::SurroundProcessor p;
    std::vector<std::vector<float>> arrays(8, std::vector<float>(512, 0.0f));
    float* table[8];
    for (int c = 0; c < 8; ++c) table[c] = arrays[c].data();
    int steps = 0;
    while (in.More() && steps++ < 64) {
        const bool update = (in.Byte() & 1) != 0;
        switch (in.Byte() % 16) {
        case 0: {
            ambiora::StreamFormat f;
            f.channels = in.Byte() % 10;
            f.sampleRate = 8000 + static_cast<std::int32_t>(in.Byte()) * 1500;
            f.channelMask = static_cast<std::uint32_t>(in.Int());
            p.SetInputFormat(f);
            break;
        }
        case 1: p.SetSpeakersConfig(static_cast<std::uint32_t>(in.Int()), update); break;
        case 2: p.SetSoundPos(in.Float(), in.Float(), update); break;
        case 3: p.SetRoomSize(in.Float(), in.Float(), update); break;
        case 4: p.SetRevHFDecay(in.Float()); break;
        case 5: p.SetRevAbsorb(in.Float()); break;
        case 6: p.SetRevDry(in.Float()); break;
        case 7: p.SetRevWet(in.Float()); break;
        case 8: p.SetLFEVolume(in.Float(), update); break;
        case 9: p.SetVolume(in.Float(), update); break;
        case 10: p.SetLFEMaxFreq(in.Int(), update); break;
        case 11: p.SetReverb(update); break;
        case 12: p.SetProcessAdvance(update); break;
        case 13: p.SetMoveOff(update); break;
        case 14: p.Reset(); break;
        default: {
            const int frames = 1 + in.Byte() * 2;
            for (int c = 0; c < 8; ++c) {
                for (int i = 0; i < frames; ++i) arrays[c][i] = in.Float();
            }
            if (!p.Process(table, 8, frames)) std::abort();
            for (int c = 0; c < p.GetOutputChannels(); ++c) {
                for (int i = 0; i < frames; ++i) {
                    if (!std::isfinite(arrays[c][i])) std::abort();
                }
            }
            break;
        }
        }
    }
    return 0;
}
