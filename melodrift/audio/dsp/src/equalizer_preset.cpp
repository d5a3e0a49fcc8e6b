// Equalizer presets and the slider mapping.
#include "dsp/equalizer_preset.h"

#include <utility>

CEqualizerPreset::CEqualizerPreset(std::wstring name)
    : m_name(std::move(name)), m_values(static_cast<std::size_t>(kValueCount), kFlatPosition)
{
}

CEqualizerPreset::~CEqualizerPreset() = default;

std::int32_t CEqualizerPreset::GetValue(std::int32_t index) const
{
    if (index < 0 || index >= m_count) {
        return kFlatPosition;
    }
    return m_values[static_cast<std::size_t>(index)];
}

void CEqualizerPreset::SetValue(std::int32_t index, std::int32_t value)
{
    if (index >= 0 && index < m_count) {
        m_values[static_cast<std::size_t>(index)] = value;
    }
}

bool CEqualizerPreset::Matches(const std::int32_t positions[kValueCount]) const
{
    for (std::int32_t i = 0; i < m_count; ++i) {
        if (positions[i] != m_values[static_cast<std::size_t>(i)]) {
            return false;
        }
    }
    return true;
}

float EqualizerSliderToGain(std::int32_t position)
{
    return static_cast<float>(200 - position) / 100.0f;
}
