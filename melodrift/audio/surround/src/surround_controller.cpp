// The surround dialog's behaviour without its window.
#include "surround/surround_controller.h"

#include "fw/strutil.h"
#include "xml/enxml.h"

#include <algorithm>

namespace {

const SurroundSliderInfo kSliders[] = {
    {kSliderLfeFrequency, 40, 200, kSurroundLfeFrequency},
    {kSliderLfeVolume, 0, 200, kSurroundLfeVolume},
    {kSliderRoomSize, 20, 500, kSurroundRoomSize},
    {kSliderAbsorb, 1, 99, kSurroundAbsorb},
    {kSliderDecay, 0, 100, kSurroundDecay},
    {kSliderPositioning, 0, 300, kSurroundPositioning},
    {kSliderOriginal, 0, 100, kSurroundOriginal},
    {kSliderReverbVolume, 0, 200, kSurroundReverbVolume},
};

}  // namespace

const SurroundSliderInfo* GetSurroundSlider(int id)
{
    for (const SurroundSliderInfo& s : kSliders) {
        if (s.id == id) {
            return &s;
        }
    }
    return nullptr;
}

const SurroundSliderInfo* SurroundSliders(int& count)
{
    count = static_cast<int>(sizeof(kSliders) / sizeof(kSliders[0]));
    return kSliders;
}

SurroundController::SurroundController(ISurroundSettingsTarget& target) : m_target(target) {}

void SurroundController::Load(const enXml* document)
{
    m_settings = SurroundSettings();
    m_loaded = document != nullptr;
    if (document) {
        ReadSurroundSettings(*document, m_settings);
    }
}

bool SurroundController::ApplyStartup(std::uint32_t supportFlags)
{
    m_support = supportFlags;
    const int basis = ResolveSurroundBasis(m_settings, m_loaded, m_presets);
    const int mode = FallbackSurroundMode(m_settings.mode, supportFlags);
    if (mode >= 0) {
        m_settings.mode = mode;
    }
    ApplySurroundSettings(m_target, m_settings, m_presets, basis);
    return mode >= 0;
}

int* SurroundController::SettingOf(int id)
{
    switch (id) {
    case kSliderLfeFrequency: return &m_settings.lfeFrequency;
    case kSliderLfeVolume: return &m_settings.lfeVolume;
    case kSliderRoomSize: return &m_settings.revSize;
    case kSliderAbsorb: return &m_settings.revAbsorb;
    case kSliderDecay: return &m_settings.revDecay;
    case kSliderPositioning: return &m_settings.volPositioning;
    case kSliderOriginal: return &m_settings.volOriginal;
    case kSliderReverbVolume: return &m_settings.volReverb;
    default: return nullptr;
    }
}

int SurroundController::SliderValue(int id) const
{
    const int* value = const_cast<SurroundController*>(this)->SettingOf(id);
    return value ? *value : 0;
}

std::wstring SurroundController::SliderLabel(int id) const
{
    const int value = SliderValue(id);
    switch (id) {
    case kSliderLfeFrequency: return fw::Format(L"%d Hz", value);
    case kSliderRoomSize: return fw::Format(L"%3.1f m.", value / 10.0);
    default: return GetSurroundSlider(id) ? fw::Format(L"%d %%", value) : std::wstring();
    }
}

void SurroundController::SliderThumb(int id, int value)
{
    const SurroundSliderInfo* info = GetSurroundSlider(id);
    int* setting = SettingOf(id);
    if (!info || !setting) {
        return;
    }
    *setting = std::clamp(value, info->minimum, info->maximum);
    if (id != kSliderRoomSize) {
        Send(info->code, *setting);
    }
}

void SurroundController::SliderEnd(int id, int value)
{
    const SurroundSliderInfo* info = GetSurroundSlider(id);
    int* setting = SettingOf(id);
    if (!info || !setting) {
        return;
    }
    value = std::clamp(value, info->minimum, info->maximum);
    if (value != *setting || id == kSliderRoomSize) {
        *setting = value;
        Send(info->code, value);
    }
}

void SurroundController::ToggleReverb()
{
    m_settings.reverb = !m_settings.reverb;
    if (!m_settings.reverb) {
        m_settings.processAdvance = false;
    }
    Send(kSurroundReverb, m_settings.reverb ? 1 : 0);
    Send(kSurroundProcessAdvance, m_settings.processAdvance ? 1 : 0);
}

void SurroundController::ToggleDelays()
{
    m_settings.delays = !m_settings.delays;
    Send(kSurroundDelays, m_settings.delays ? 1 : 0);
}

void SurroundController::ToggleProcessAdvance()
{
    m_settings.processAdvance = !m_settings.processAdvance;
    Send(kSurroundProcessAdvance, m_settings.processAdvance ? 1 : 0);
}

void SurroundController::ChooseMode(int mode)
{
    if (GetSurroundMode(mode)) {
        m_settings.mode = mode;
    }
}

bool SurroundController::ChoosePreset(int index)
{
    if (index < 0 || index >= static_cast<int>(m_presets.size()) || m_presets[index].IsSeparator()) {
        return false;
    }
    TakeSurroundPreset(m_presets[index], m_settings);
    m_target.SetSurroundPreset(m_presets[index]);
    return true;
}

void SurroundController::DragSource(int x, int y, int viewWidth, int viewHeight)
{
    if (viewWidth <= 0 || viewHeight <= 0) {
        return;
    }
    const float room = static_cast<float>(m_settings.revSize) / 10.0f;
    m_settings.soundPosX = static_cast<float>(x) * room / static_cast<float>(viewWidth);
    m_settings.soundPosY = static_cast<float>(y) * room / static_cast<float>(viewHeight);
    m_target.SetSurroundSoundPos(m_settings.soundPosX, m_settings.soundPosY);
}

bool SurroundController::ModeEnabled(int mode) const
{
    return m_surroundOn && mode >= 0 && mode < kSurroundModeCount && (m_support & SurroundSupportBit(mode));
}

int SurroundController::BasisIndex() const
{
    return m_settings.basisPreset.empty() ? -1 : FindSurroundPreset(m_presets, m_settings.basisPreset);
}
