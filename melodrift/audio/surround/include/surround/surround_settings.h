// The surround settings of the player: the presets file ("Surr_presets.xml" in
// the language folder), the settings file (root "Rezodovave"), the speaker
// modes and the sound card's support for them, and the order in which
// settings and presets reach the surround processor. Platform-neutral; the
// dialogs and the files on disk are in surround_dialogs.h / surround_files.h.
#pragma once

#include "surround/surround_control.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class enXml;

// ---------------------------------------------------------------------------
// Presets

struct SurroundPreset {
    std::wstring name;   // "----" marks a separator
    std::int32_t lfeFrequency = 0;
    std::int32_t lfeVolume = 0;          // percent
    std::int32_t lowPassFrequency = 0;   // read and kept, not used
    std::int32_t lowPass = 0;            // read and kept, not used
    std::int32_t delays = 0;
    std::int32_t reverberation = 0;
    std::int32_t processAdvance = 0;
    float positioningVolume = 0;   // linear levels
    float reverberationVolume = 0;
    float originalVolume = 0;
    float roomWidth = 0;   // metres
    float roomHeight = 0;
    float soundPosX = 0;
    float soundPosY = 0;
    float absorptionLevel = 0;   // 0..1
    float hiFreqDecay = 0;       // 0..1

    bool IsSeparator() const { return name == L"----"; }
};

using SurroundPresetList = std::vector<SurroundPreset>;

// programFolder + "Language\" + language + "\Surr_presets.xml" (an empty
// language counts as "eng").
std::wstring SurroundPresetsPath(const std::wstring& programFolder, const std::wstring& language);

// Preset1, Preset2, ... of the root, in order, up to the first missing one or
// the first without a name. A missing value element leaves 0; a separator
// keeps all values at 0.
SurroundPresetList ReadSurroundPresets(const enXml& root);
// The document ReadSurroundPresets reads back (root "SurroundPresets").
std::unique_ptr<enXml> BuildSurroundPresetsDocument(const SurroundPresetList& presets);

// The index of the preset named exactly `name`, or -1.
int FindSurroundPreset(const SurroundPresetList& presets, const std::wstring& name);

// ---------------------------------------------------------------------------
// Speaker modes and support

constexpr int kSurroundModeCount = 6;          // modes with a button: 0..5
constexpr int kSurroundStereoMode = 6;         // front left and right, no button
constexpr std::uint32_t kAllSurroundModes = 126;   // bits 1..6

struct SurroundModeInfo {
    const wchar_t* name;   // as listed in the support message, with ", "
    std::uint32_t mask;
    std::int32_t channels;
};

// Modes 0..6; null for any other.
const SurroundModeInfo* GetSurroundMode(int mode);
// The support bit of a mode: 1 << (mode + 1).
constexpr std::uint32_t SurroundSupportBit(int mode) { return 1u << (mode + 1); }
// `mode` when supported, else the first supported of 2, 4, 5, 3, 1, 0; -1
// when none is.
int FallbackSurroundMode(int mode, std::uint32_t supportFlags);

// The message of the support dialog: `noneText` when no mode is supported;
// otherwise the unsupported modes by name, with "mode" or "modes". Empty when
// every mode is supported.
std::wstring SurroundSupportMessage(std::uint32_t supportFlags, const std::wstring& noneText);

// ---------------------------------------------------------------------------
// Settings and their file

struct SurroundSettings {
    float soundPosX = -1.0f;   // metres; below 0: take the basis preset's
    float soundPosY = -1.0f;
    std::int32_t mode = 2;
    bool reverb = true;
    bool delays = true;
    bool processAdvance = false;
    bool showSupportDialog = true;
    std::int32_t lfeFrequency = 80;    // Hz, 40..200
    std::wstring basisPreset;          // empty: none selected
    std::int32_t volOriginal = 21;     // percent, 0..100
    std::int32_t volPositioning = 224; // percent, 0..300
    std::int32_t volReverb = 101;      // percent, 0..200
    std::int32_t revDecay = 42;        // percent, 0..100
    std::int32_t revAbsorb = 14;       // percent, 1..99
    std::int32_t revSize = 200;        // tenths of a metre, 20..500
    std::int32_t lfeVolume = 100;      // percent, 0..200

    bool operator==(const SurroundSettings&) const = default;
};

// Elements of the settings document present in `root` override `settings`.
void ReadSurroundSettings(const enXml& root, SurroundSettings& settings);
// The settings document: root "Rezodovave", one element per setting with the
// attribute "Value"; positions as "%f", switches "On"/"Off", the basis preset
// only when one is selected.
std::unique_ptr<enXml> BuildSurroundSettingsDocument(const SurroundSettings& settings);

// A preset chosen in the dialog: its values become the settings (room size
// and percentages rounded to the nearest integer) and it becomes the basis.
void TakeSurroundPreset(const SurroundPreset& preset, SurroundSettings& settings);

// ---------------------------------------------------------------------------
// Applying settings

// Parameter codes of the player's surround setter.
enum SurroundCode : std::int32_t {
    kSurroundLfeFrequency = 1,
    kSurroundLfeVolume = 3,
    kSurroundSpeakers = 4,
    kSurroundReverb = 5,
    kSurroundDelays = 6,
    kSurroundProcessAdvance = 7,
    kSurroundRoomSize = 11,
    kSurroundAbsorb = 12,
    kSurroundDecay = 13,
    kSurroundPositioning = 14,
    kSurroundOriginal = 15,
    kSurroundReverbVolume = 16,
};

// The processor call of one code (other codes do nothing).
void ApplySurroundCode(ISurroundControl& control, std::int32_t code, std::int32_t value);
// A preset's values, in the fixed order: LFE frequency, positioning volume,
// LFE volume, reverberation volume, original volume, absorption, decay, room,
// position, delays, reverberation, process advance.
void ApplySurroundPresetValues(ISurroundControl& control, const SurroundPreset& preset);

// What the player offers for surround settings (CExtPlayer implements it).
class ISurroundSettingsTarget {
public:
    virtual ~ISurroundSettingsTarget() = default;
    virtual void SetSurroundParam(std::int32_t code, std::int32_t value) = 0;
    virtual void SetSurroundSoundPos(float x, float y) = 0;
    virtual void SetSurroundPreset(const SurroundPreset& preset) = 0;
};

// Start-up load after the settings file: when the file was read, the basis
// preset is chosen (an empty name means the first preset; an unknown name
// falls back to the first preset, whose name is then taken) and a negative
// position is replaced by the basis preset's. Returns the basis preset's
// index, or -1.
int ResolveSurroundBasis(SurroundSettings& settings, bool fileRead, const SurroundPresetList& presets);

// Applies the loaded settings: the basis preset (when not -1), the speaker
// mode's mask, then LFE frequency, LFE volume, positioning, original and
// reverberation volumes, reverberation, delays, process advance, room size,
// absorption, decay, and last the position.
void ApplySurroundSettings(ISurroundSettingsTarget& target, const SurroundSettings& settings,
                           const SurroundPresetList& presets, int basis);
