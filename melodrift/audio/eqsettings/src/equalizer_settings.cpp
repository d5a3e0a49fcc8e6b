// The equalizer's settings.
#include "eqsettings/equalizer_settings.h"

void EqualizerGainsFromPositions(const std::int32_t positions[CEqualizerPreset::kValueCount],
                                 float gains[CEqualizerPreset::kValueCount])
{
    for (int b = 0; b < CEqualizerPreset::kValueCount; ++b) {
        gains[b] = EqualizerSliderToGain(positions[b]);
    }
}
