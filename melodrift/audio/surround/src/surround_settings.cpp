// Surround presets, settings, modes and the order of applying them.
#include "surround/surround_settings.h"

#include "fw/strutil.h"
#include "xml/enxml.h"

#include <cmath>
#include <utility>

namespace {

const SurroundModeInfo kModes[] = {
    {L"4.0, ", 0x33, 4},
    {L"4.1, ", 0x10F, 5},
    {L"5.1, ", 0x3F, 6},
    {L"6.1, ", 0x63B, 7},
    {L"7.1, ", 0x63F, 8},
    {L"7.1 Front, ", 0xFF, 8},
    {L"", 0x3, 2},
};

// Integer part of value x 100 + 0.5 (the way slider positions come from levels).
std::int32_t Percent(float value)
{
    const double v = static_cast<double>(value) * 100.0 + 0.5;
    if (!(v == v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return 2147483647;
    }
    if (v <= -2147483648.0) {
        return -2147483647 - 1;
    }
    return static_cast<std::int32_t>(v);
}

std::wstring OnOff(bool on)
{
    return on ? L"On" : L"Off";
}

void AddValue(enXml& root, const wchar_t* name, const std::wstring& value)
{
    auto* node = new enXml(name);
    node->SetAttribute(L"Value", value);
    root.AddChild(node);
}

const enXml* ValueNode(const enXml& root, const wchar_t* name)
{
    const enXml* node = root.FindChild(name);
    return node && node->FindAttribute(L"Value") ? node : nullptr;
}

void ReadInt(const enXml& root, const wchar_t* name, std::int32_t& out)
{
    if (const enXml* node = root.FindChild(name)) {
        node->GetAttributeInt(L"Value", out);
    }
}

void ReadFloat(const enXml& root, const wchar_t* name, float& out)
{
    if (const enXml* node = root.FindChild(name)) {
        node->GetAttributeFloat(L"Value", out);
    }
}

void ReadSwitch(const enXml& root, const wchar_t* name, bool& out)
{
    if (const enXml* node = ValueNode(root, name)) {
        std::wstring value;
        node->GetAttribute(L"Value", value);
        out = fw::EqualsNoCase(value, L"On");
    }
}

}  // namespace

std::wstring SurroundPresetsPath(const std::wstring& programFolder, const std::wstring& language)
{
    std::wstring path = programFolder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    path += L"Language\\";
    path += language.empty() ? std::wstring(L"eng") : language;
    path += L"\\Surr_presets.xml";
    return path;
}

SurroundPresetList ReadSurroundPresets(const enXml& root)
{
    SurroundPresetList presets;
    for (int n = 1;; ++n) {
        const enXml* node = root.FindChild(L"Preset" + std::to_wstring(n));
        if (!node) {
            break;
        }
        const enXml* nameNode = node->FindChild(L"Name");
        SurroundPreset preset;
        if (!nameNode || !nameNode->GetAttribute(L"Value", preset.name) || preset.name.empty()) {
            break;
        }
        if (!preset.IsSeparator()) {
            ReadFloat(*node, L"AbsorbtionLevel", preset.absorptionLevel);
            ReadFloat(*node, L"HiFreqDecay", preset.hiFreqDecay);
            ReadFloat(*node, L"PositioningVolume", preset.positioningVolume);
            ReadFloat(*node, L"OriginalVolume", preset.originalVolume);
            ReadFloat(*node, L"ReverberationVolume", preset.reverberationVolume);
            ReadInt(*node, L"LFEVolume", preset.lfeVolume);
            ReadInt(*node, L"LowPassFrequention", preset.lowPassFrequency);
            ReadInt(*node, L"LFEFrequention", preset.lfeFrequency);
            ReadInt(*node, L"LowPass", preset.lowPass);
            ReadInt(*node, L"Delays", preset.delays);
            ReadInt(*node, L"Reverberation", preset.reverberation);
            ReadInt(*node, L"ProcessAdvance", preset.processAdvance);
            ReadFloat(*node, L"RoomWidth", preset.roomWidth);
            ReadFloat(*node, L"RoomHeight", preset.roomHeight);
            ReadFloat(*node, L"SoundPosX", preset.soundPosX);
            ReadFloat(*node, L"SoundPosY", preset.soundPosY);
        }
        presets.push_back(std::move(preset));
    }
    return presets;
}

std::unique_ptr<enXml> BuildSurroundPresetsDocument(const SurroundPresetList& presets)
{
    auto root = std::make_unique<enXml>(L"SurroundPresets");
    int n = 0;
    for (const SurroundPreset& p : presets) {
        auto* node = new enXml(L"Preset" + std::to_wstring(++n));
        root->AddChild(node);
        AddValue(*node, L"Name", p.name);
        if (p.IsSeparator()) {
            continue;
        }
        auto f = [](float v) { return fw::Format(L"%g", static_cast<double>(v)); };
        auto i = [](std::int32_t v) { return std::to_wstring(v); };
        AddValue(*node, L"AbsorbtionLevel", f(p.absorptionLevel));
        AddValue(*node, L"HiFreqDecay", f(p.hiFreqDecay));
        AddValue(*node, L"PositioningVolume", f(p.positioningVolume));
        AddValue(*node, L"OriginalVolume", f(p.originalVolume));
        AddValue(*node, L"ReverberationVolume", f(p.reverberationVolume));
        AddValue(*node, L"LFEVolume", i(p.lfeVolume));
        AddValue(*node, L"LowPassFrequention", i(p.lowPassFrequency));
        AddValue(*node, L"LFEFrequention", i(p.lfeFrequency));
        AddValue(*node, L"LowPass", i(p.lowPass));
        AddValue(*node, L"Delays", i(p.delays));
        AddValue(*node, L"Reverberation", i(p.reverberation));
        AddValue(*node, L"ProcessAdvance", i(p.processAdvance));
        AddValue(*node, L"RoomWidth", f(p.roomWidth));
        AddValue(*node, L"RoomHeight", f(p.roomHeight));
        AddValue(*node, L"SoundPosX", f(p.soundPosX));
        AddValue(*node, L"SoundPosY", f(p.soundPosY));
    }
    return root;
}

int FindSurroundPreset(const SurroundPresetList& presets, const std::wstring& name)
{
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const SurroundModeInfo* GetSurroundMode(int mode)
{
    if (mode < 0 || mode > kSurroundStereoMode) {
        return nullptr;
    }
    return &kModes[mode];
}

int FallbackSurroundMode(int mode, std::uint32_t supportFlags)
{
    if (mode >= 0 && mode < kSurroundModeCount && (supportFlags & SurroundSupportBit(mode))) {
        return mode;
    }
    for (int candidate : {2, 4, 5, 3, 1, 0}) {
        if (supportFlags & SurroundSupportBit(candidate)) {
            return candidate;
        }
    }
    return -1;
}

std::wstring SurroundSupportMessage(std::uint32_t supportFlags, const std::wstring& noneText)
{
    const std::uint32_t supported = supportFlags & kAllSurroundModes;
    if (supported == 0) {
        return noneText;
    }
    if (supported == kAllSurroundModes) {
        return {};
    }
    std::wstring names;
    int missing = 0;
    for (int mode = 0; mode < kSurroundModeCount; ++mode) {
        if (!(supported & SurroundSupportBit(mode))) {
            names += kModes[mode].name;
            ++missing;
        }
    }
    names.resize(names.size() - 2);   // the last ", "
    return L"Your sound card doesn't support surround " + names +
           (missing == 1 ? L" mode, which will be disabled." : L" modes, which will be disabled.");
}

void ReadSurroundSettings(const enXml& root, SurroundSettings& s)
{
    ReadFloat(root, L"SurroundSoundPosX", s.soundPosX);
    ReadFloat(root, L"SurroundSoundPosY", s.soundPosY);
    ReadInt(root, L"SurroundMode", s.mode);
    ReadSwitch(root, L"SurroundReverb", s.reverb);
    ReadSwitch(root, L"SurroundDelays", s.delays);
    ReadSwitch(root, L"SurroundProcessAdvance", s.processAdvance);
    ReadSwitch(root, L"SurroundSupportFormatDlg", s.showSupportDialog);
    ReadInt(root, L"SurroundLFE", s.lfeFrequency);
    if (const enXml* node = root.FindChild(L"SurroundBasisPreset")) {
        node->GetAttribute(L"Value", s.basisPreset);
    }
    ReadInt(root, L"SurroundVolOriginal", s.volOriginal);
    ReadInt(root, L"SurroundVolPositioning", s.volPositioning);
    ReadInt(root, L"SurroundVolReverb", s.volReverb);
    ReadInt(root, L"SurroundRevDecay", s.revDecay);
    ReadInt(root, L"SurroundRevAbsorb", s.revAbsorb);
    ReadInt(root, L"SurroundRevSize", s.revSize);
    ReadInt(root, L"SurroundLFEVolume", s.lfeVolume);
}

std::unique_ptr<enXml> BuildSurroundSettingsDocument(const SurroundSettings& s)
{
    auto root = std::make_unique<enXml>(L"Rezodovave");
    auto i = [](std::int32_t v) { return std::to_wstring(v); };
    AddValue(*root, L"SurroundSoundPosX", fw::Format(L"%f", static_cast<double>(s.soundPosX)));
    AddValue(*root, L"SurroundSoundPosY", fw::Format(L"%f", static_cast<double>(s.soundPosY)));
    AddValue(*root, L"SurroundMode", i(s.mode));
    AddValue(*root, L"SurroundReverb", OnOff(s.reverb));
    AddValue(*root, L"SurroundDelays", OnOff(s.delays));
    AddValue(*root, L"SurroundProcessAdvance", OnOff(s.processAdvance));
    AddValue(*root, L"SurroundSupportFormatDlg", OnOff(s.showSupportDialog));
    AddValue(*root, L"SurroundLFE", i(s.lfeFrequency));
    if (!s.basisPreset.empty()) {
        AddValue(*root, L"SurroundBasisPreset", s.basisPreset);
    }
    AddValue(*root, L"SurroundVolOriginal", i(s.volOriginal));
    AddValue(*root, L"SurroundVolPositioning", i(s.volPositioning));
    AddValue(*root, L"SurroundVolReverb", i(s.volReverb));
    AddValue(*root, L"SurroundRevDecay", i(s.revDecay));
    AddValue(*root, L"SurroundRevAbsorb", i(s.revAbsorb));
    AddValue(*root, L"SurroundRevSize", i(s.revSize));
    AddValue(*root, L"SurroundLFEVolume", i(s.lfeVolume));
    return root;
}

void TakeSurroundPreset(const SurroundPreset& p, SurroundSettings& s)
{
    // Tenths of a metre: integer part of width x 10 + 0.5.
    const double tenths = static_cast<double>(p.roomWidth) * 10.0 + 0.5;
    s.revSize = tenths == tenths && std::fabs(tenths) < 2147483647.0 ? static_cast<std::int32_t>(tenths) : 0;
    s.revAbsorb = Percent(p.absorptionLevel);
    s.revDecay = Percent(p.hiFreqDecay);
    s.volOriginal = Percent(p.originalVolume);
    s.volPositioning = Percent(p.positioningVolume);
    s.volReverb = Percent(p.reverberationVolume);
    s.lfeFrequency = p.lfeFrequency;
    s.lfeVolume = p.lfeVolume;
    s.delays = p.delays != 0;
    s.reverb = p.reverberation != 0;
    s.processAdvance = p.processAdvance != 0;
    s.soundPosX = p.soundPosX;
    s.soundPosY = p.soundPosY;
    s.basisPreset = p.name;
}

void ApplySurroundCode(ISurroundControl& c, std::int32_t code, std::int32_t value)
{
    const float hundredth = static_cast<float>(value) / 100.0f;
    switch (code) {
    case kSurroundLfeFrequency: c.SetLFEMaxFreq(value, true); break;
    case kSurroundLfeVolume: c.SetLFEVolume(hundredth, true); break;
    case kSurroundSpeakers: c.SetSpeakersConfig(static_cast<std::uint32_t>(value), true); break;
    case kSurroundReverb: c.SetReverb(value != 0); break;
    case kSurroundDelays: c.SetMoveOff(value != 0); break;
    case kSurroundProcessAdvance: c.SetProcessAdvance(value != 0); break;
    case kSurroundRoomSize: {
        const float metres = static_cast<float>(value) / 10.0f;
        c.SetRoomSize(metres, metres, true);
        break;
    }
    case kSurroundAbsorb: c.SetRevAbsorb(hundredth); break;
    case kSurroundDecay: c.SetRevHFDecay(hundredth); break;
    case kSurroundPositioning: c.SetVolume(hundredth, true); break;
    case kSurroundOriginal: c.SetRevDry(hundredth); break;
    case kSurroundReverbVolume: c.SetRevWet(hundredth); break;
    default: break;
    }
}

void ApplySurroundPresetValues(ISurroundControl& c, const SurroundPreset& p)
{
    c.SetLFEMaxFreq(p.lfeFrequency, true);
    c.SetVolume(p.positioningVolume, true);
    c.SetLFEVolume(static_cast<float>(p.lfeVolume) / 100.0f, true);
    c.SetRevWet(p.reverberationVolume);
    c.SetRevDry(p.originalVolume);
    c.SetRevAbsorb(p.absorptionLevel);
    c.SetRevHFDecay(p.hiFreqDecay);
    c.SetRoomSize(p.roomWidth, p.roomHeight, true);
    c.SetSoundPos(p.soundPosX, p.soundPosY, true);
    c.SetMoveOff(p.delays != 0);
    c.SetReverb(p.reverberation != 0);
    c.SetProcessAdvance(p.processAdvance != 0);
}

int ResolveSurroundBasis(SurroundSettings& s, bool fileRead, const SurroundPresetList& presets)
{
    if (!fileRead || presets.empty()) {
        return -1;
    }
    int basis = FindSurroundPreset(presets, s.basisPreset.empty() ? presets.front().name : s.basisPreset);
    if (basis < 0) {
        basis = 0;
    }
    s.basisPreset = presets[basis].name;
    if (s.soundPosX < 0.0f || s.soundPosY < 0.0f) {
        s.soundPosX = presets[basis].soundPosX;
        s.soundPosY = presets[basis].soundPosY;
    }
    return basis;
}

void ApplySurroundSettings(ISurroundSettingsTarget& t, const SurroundSettings& s, const SurroundPresetList& presets,
                           int basis)
{
    if (basis >= 0 && basis < static_cast<int>(presets.size())) {
        t.SetSurroundPreset(presets[basis]);
    }
    if (const SurroundModeInfo* mode = GetSurroundMode(s.mode)) {
        t.SetSurroundParam(kSurroundSpeakers, static_cast<std::int32_t>(mode->mask));
    }
    t.SetSurroundParam(kSurroundLfeFrequency, s.lfeFrequency);
    t.SetSurroundParam(kSurroundLfeVolume, s.lfeVolume);
    t.SetSurroundParam(kSurroundPositioning, s.volPositioning);
    t.SetSurroundParam(kSurroundOriginal, s.volOriginal);
    t.SetSurroundParam(kSurroundReverbVolume, s.volReverb);
    t.SetSurroundParam(kSurroundReverb, s.reverb ? 1 : 0);
    t.SetSurroundParam(kSurroundDelays, s.delays ? 1 : 0);
    t.SetSurroundParam(kSurroundProcessAdvance, s.processAdvance ? 1 : 0);
    t.SetSurroundParam(kSurroundRoomSize, s.revSize);
    t.SetSurroundParam(kSurroundAbsorb, s.revAbsorb);
    t.SetSurroundParam(kSurroundDecay, s.revDecay);
    t.SetSurroundSoundPos(s.soundPosX, s.soundPosY);
}
