// SD2MME: the engine's float blocks to the 16-bit PCM of its output format.
#include "utilon/utilon.h"

#include "dsp/pcm16.h"

#include <mmreg.h>

namespace {

// The PCM sub-format of WAVEFORMATEXTENSIBLE.
constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

bool IsPcm16(const WAVEFORMATEX& f) {
    if (f.wBitsPerSample != 16 || f.nChannels < 1 || f.nBlockAlign != 2 * f.nChannels) return false;
    if (f.wFormatTag == WAVE_FORMAT_PCM) return true;
    if (f.wFormatTag == WAVE_FORMAT_EXTENSIBLE && f.cbSize >= 22) {
        const auto& x = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(f);
        return IsEqualGUID(x.SubFormat, kSubtypePcm) != 0;
    }
    return false;
}

}  // namespace

extern "C" UTILON_API int __cdecl SD2MME(const SampleBlock* block, int firstFrame, int frameCount, void* dest,
                                         const WAVEFORMATEX* format) {
    if (!block || !dest || !format || !IsPcm16(*format)) return 0;
    return ConvertBlockToPcm16(block, firstFrame, frameCount, format->nChannels, dest);
}
