// Helpers shared by the presets tests: a small list of presets and the check
// that a list read back holds the same ones.
#pragma once

#include "dsp/equalizer_presets.h"

#include <gtest/gtest.h>

#include <memory>

namespace eqtest {

// "Flat", a separator and `third`, whose band b has the value base + step * b.
inline EqualizerPresetList ThreePresets(const wchar_t* third, int base, int step)
{
    EqualizerPresetList presets;
    presets.push_back(std::make_unique<CEqualizerPreset>(L"Flat"));
    presets.push_back(std::make_unique<CEqualizerPreset>(L"----"));
    presets.push_back(std::make_unique<CEqualizerPreset>(third));
    for (int b = 0; b < 10; ++b) {
        presets[2]->SetValue(b, base + step * b);
    }
    return presets;
}

inline void ExpectSamePresets(const EqualizerPresetList& back, const EqualizerPresetList& presets)
{
    ASSERT_EQ(back.size(), presets.size());
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(back[i]->GetName(), presets[i]->GetName());
        EXPECT_TRUE(back[i]->Matches(presets[i]->GetValues())) << i;
    }
}

}  // namespace eqtest
