// What the surround dialog does, without its window: the settings it shows,
// the presets it offers, which controls are enabled, the value labels, and the
// calls each control makes on the player. CSurroundDlg maps its controls onto
// this. Platform-neutral.
#pragma once

#include "surround/surround_settings.h"

#include <cstdint>
#include <memory>
#include <string>

class enXml;

// The sliders, by control id, with their ranges, codes and labels.
enum SurroundSlider : int {
    kSliderLfeFrequency = 310,   // 40..200 Hz, "%d Hz"
    kSliderLfeVolume = 311,      // 0..200 %
    kSliderRoomSize = 312,       // 20..500 tenths of a metre, "%3.1f m."
    kSliderAbsorb = 313,         // 1..99 %
    kSliderDecay = 314,          // 0..100 %
    kSliderPositioning = 315,    // 0..300 %
    kSliderOriginal = 334,       // 0..100 %
    kSliderReverbVolume = 335,   // 0..200 %
};

struct SurroundSliderInfo {
    int id;
    int minimum;
    int maximum;
    std::int32_t code;
};

// The eight sliders in the order the dialog lays them out; null for an unknown id.
const SurroundSliderInfo* GetSurroundSlider(int id);
const SurroundSliderInfo* SurroundSliders(int& count);

class SurroundController {
public:
    explicit SurroundController(ISurroundSettingsTarget& target);

    SurroundSettings& Settings() { return m_settings; }
    const SurroundSettings& Settings() const { return m_settings; }
    const SurroundPresetList& Presets() const { return m_presets; }
    void SetPresets(SurroundPresetList presets) { m_presets = std::move(presets); }

    // Defaults, then the settings document when there is one (null: not read).
    void Load(const enXml* document);
    bool WasLoaded() const { return m_loaded; }
    // The start-up load: after Load, the basis preset, the mode the card
    // supports (false when it supports none) and every setting sent to the
    // player in the fixed order.
    bool ApplyStartup(std::uint32_t supportFlags);
    std::unique_ptr<enXml> SaveDocument() const { return BuildSurroundSettingsDocument(m_settings); }

    std::uint32_t SupportFlags() const { return m_support; }
    void SetSupportFlags(std::uint32_t flags) { m_support = flags; }
    // The frame's surround switch, as far as the dialog is concerned.
    bool SurroundOn() const { return m_surroundOn; }
    void SetSurroundOn(bool on) { m_surroundOn = on; }

    // ---- Controls ---------------------------------------------------------
    int SliderValue(int id) const;
    std::wstring SliderLabel(int id) const;
    // The thumb dragged or set to `value` (limited to the slider's range):
    // the setting and its label follow, and the code goes to the player at
    // once, except for the room size, which waits for the end of the scroll.
    void SliderThumb(int id, int value);
    // The scroll ended at `value` (also after keyboard and page moves): the
    // setting follows and, when it changed or is the room size, is sent.
    void SliderEnd(int id, int value);

    void ToggleReverb();          // off also turns process advance off
    void ToggleDelays();
    void ToggleProcessAdvance();
    void ChooseMode(int mode);    // the settings only: the caller restarts the player
    // A preset of the combo box (separators and unknown indexes do nothing):
    // its values become the settings and it is applied.
    bool ChoosePreset(int index);
    // The source dragged to a point of a view of the given size.
    void DragSource(int x, int y, int viewWidth, int viewHeight);

    bool ReverbControlsEnabled() const { return m_surroundOn && m_settings.reverb; }
    bool LfeControlsEnabled() const { return m_surroundOn && m_settings.mode != 0; }
    bool ModeEnabled(int mode) const;
    // The index of the basis preset in the list, or -1.
    int BasisIndex() const;

private:
    int* SettingOf(int id);
    void Send(std::int32_t code, std::int32_t value) { m_target.SetSurroundParam(code, value); }

    ISurroundSettingsTarget& m_target;
    SurroundSettings m_settings;
    SurroundPresetList m_presets;
    std::uint32_t m_support = kAllSurroundModes;
    bool m_surroundOn = true;
    bool m_loaded = false;
};
