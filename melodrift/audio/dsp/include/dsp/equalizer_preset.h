// A named set of the ten equalizer slider positions, as offered in the
// presets menu, and the slider mapping of the equalizer panel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CEqualizerPreset {
public:
    static constexpr std::int32_t kValueCount = 10;
    static constexpr std::int32_t kFlatPosition = 100;

    // Ten values of 100 (flat).
    explicit CEqualizerPreset(std::wstring name);
    virtual ~CEqualizerPreset();

    const std::wstring& GetName() const { return m_name; }
    // The name "----" marks a separator in the menu.
    bool IsSeparator() const { return m_name == L"----"; }
    std::int32_t GetCount() const { return m_count; }
    // Value of band `index` (0-based); out-of-range indices read as flat.
    std::int32_t GetValue(std::int32_t index) const;
    void SetValue(std::int32_t index, std::int32_t value);
    const std::int32_t* GetValues() const { return m_values.data(); }
    // Whether the ten slider positions equal the preset's values.
    bool Matches(const std::int32_t positions[kValueCount]) const;

private:
    std::wstring m_name;
    std::int32_t m_count = kValueCount;
    std::vector<std::int32_t> m_values;
};

// Gain of a band slider at position p (0..200, 100 in the middle): (200 - p) / 100,
// so 100 is flat, 0 gives 2 and 200 silences the band.
float EqualizerSliderToGain(std::int32_t position);
