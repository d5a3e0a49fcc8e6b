// The equalizer presets file ("Equalizer_presets.xml" in the language folder)
// and the presets menu built from it.
//
// The file's root element holds Preset1, Preset2, ... in order; each holds a
// Name element with a Value attribute and Band1 ... Band10 elements each with a
// Value attribute (a slider position, 100 = flat). Names match
// case-insensitively. The list ends at the first missing PresetN, or at one
// without a name.
#pragma once

#include "dsp/equalizer_preset.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class enXml;

using EqualizerPresetList = std::vector<std::unique_ptr<CEqualizerPreset>>;

// programFolder + "Language\" + language + "\Equalizer_presets.xml"; a missing
// backslash after the folder is added, an empty language counts as "eng".
std::wstring EqualizerPresetsPath(const std::wstring& programFolder, const std::wstring& language);

// The presets of a loaded document, in file order. A Band element without a
// Value keeps 100; a non-numeric value reads as 0; a preset named "----" (a
// separator) keeps all values at 100.
EqualizerPresetList ReadEqualizerPresets(const enXml& root);

// The document for `presets` (root element "EqualizerPresets"), as
// ReadEqualizerPresets reads it back. Separators get no Band elements.
std::unique_ptr<enXml> BuildEqualizerPresetsDocument(const EqualizerPresetList& presets);

// One entry of the presets pop-up menu: command id = index + 1.
struct EqualizerPresetMenuItem {
    std::uint32_t id;
    bool separator;
    std::wstring text;
    bool checked;   // the sliders stand at the preset's values (never the first preset)
};

std::vector<EqualizerPresetMenuItem> BuildEqualizerPresetMenu(
    const EqualizerPresetList& presets, const std::int32_t positions[CEqualizerPreset::kValueCount]);

// The preset a menu command chose, or null for an id outside the list or a separator.
const CEqualizerPreset* EqualizerPresetForCommand(const EqualizerPresetList& presets, std::uint32_t id);

#if defined(_WIN32)
// Loads the presets file; a missing or unreadable file gives an empty list.
EqualizerPresetList LoadEqualizerPresets(const std::wstring& path);
// Writes the presets file (UTF-16LE with byte-order mark); false when it could not be written.
bool SaveEqualizerPresets(const std::wstring& path, const EqualizerPresetList& presets);
#endif
