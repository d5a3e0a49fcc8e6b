// The equalizer's settings in the player's settings file (section "PLAYER"):
// "EqualizerBand1" .. "EqualizerBand10", the slider positions (100 = flat,
// default 100), and "EqualizerTurn", "On" or "Off" (any other value, or none,
// is off). The bands are written when the main frame closes and before it
// switches skins, the switch when it closes.
#pragma once

#include "dsp/equalizer_preset.h"

#include <cstdint>
#include <string>

struct EqualizerSettings {
    std::int32_t positions[CEqualizerPreset::kValueCount] = {100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
    bool on = false;
};

// The ten gains of the slider positions (EqualizerSliderToGain).
void EqualizerGainsFromPositions(const std::int32_t positions[CEqualizerPreset::kValueCount],
                                 float gains[CEqualizerPreset::kValueCount]);

#if defined(_WIN32)
class CExtPlayer;

EqualizerSettings LoadEqualizerSettings(const std::wstring& iniPath);
bool SaveEqualizerBands(const std::wstring& iniPath, const EqualizerSettings& settings);
bool SaveEqualizerTurn(const std::wstring& iniPath, bool on);
// Hands the gains of the positions and the switch to the player.
void ApplyEqualizerSettings(CExtPlayer& player, const EqualizerSettings& settings);
#endif
