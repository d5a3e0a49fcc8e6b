// Reading and building the equalizer presets document, and the presets menu.
#include "dsp/equalizer_presets.h"

#include "xml/enxml.h"

#include <utility>

std::wstring EqualizerPresetsPath(const std::wstring& programFolder, const std::wstring& language)
{
    std::wstring path = programFolder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    path += L"Language\\";
    path += language.empty() ? std::wstring(L"eng") : language;
    path += L"\\Equalizer_presets.xml";
    return path;
}

EqualizerPresetList ReadEqualizerPresets(const enXml& root)
{
    EqualizerPresetList presets;
    for (int n = 1;; ++n) {
        const enXml* node = root.FindChild(L"Preset" + std::to_wstring(n));
        if (node == nullptr) {
            break;
        }
        const enXml* nameNode = node->FindChild(L"Name");
        std::wstring name;
        if (nameNode == nullptr || !nameNode->GetAttribute(L"Value", name) || name.empty()) {
            break;
        }
        auto preset = std::make_unique<CEqualizerPreset>(name);
        if (!preset->IsSeparator()) {
            for (int b = 1; b <= CEqualizerPreset::kValueCount; ++b) {
                const enXml* band = node->FindChild(L"Band" + std::to_wstring(b));
                if (band == nullptr) {
                    continue;
                }
                std::int32_t value = CEqualizerPreset::kFlatPosition;
                band->GetAttributeInt(L"Value", value);
                preset->SetValue(b - 1, value);
            }
        }
        presets.push_back(std::move(preset));
    }
    return presets;
}

std::unique_ptr<enXml> BuildEqualizerPresetsDocument(const EqualizerPresetList& presets)
{
    auto root = std::make_unique<enXml>(L"EqualizerPresets");
    int n = 0;
    for (const auto& preset : presets) {
        auto* node = new enXml(L"Preset" + std::to_wstring(++n));
        root->AddChild(node);
        auto* name = new enXml(L"Name");
        name->SetAttribute(L"Value", preset->GetName());
        node->AddChild(name);
        if (preset->IsSeparator()) {
            continue;
        }
        for (int b = 1; b <= CEqualizerPreset::kValueCount; ++b) {
            auto* band = new enXml(L"Band" + std::to_wstring(b));
            band->SetAttribute(L"Value", std::to_wstring(preset->GetValue(b - 1)));
            node->AddChild(band);
        }
    }
    return root;
}

std::vector<EqualizerPresetMenuItem> BuildEqualizerPresetMenu(
    const EqualizerPresetList& presets, const std::int32_t positions[CEqualizerPreset::kValueCount])
{
    std::vector<EqualizerPresetMenuItem> items;
    items.reserve(presets.size());
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const CEqualizerPreset& preset = *presets[i];
        EqualizerPresetMenuItem item{static_cast<std::uint32_t>(i + 1), preset.IsSeparator(), {}, false};
        if (!item.separator) {
            item.text = preset.GetName();
            item.checked = i != 0 && preset.Matches(positions);
        }
        items.push_back(std::move(item));
    }
    return items;
}

const CEqualizerPreset* EqualizerPresetForCommand(const EqualizerPresetList& presets, std::uint32_t id)
{
    if (id == 0 || id > presets.size()) {
        return nullptr;
    }
    const CEqualizerPreset* preset = presets[id - 1].get();
    return preset->IsSeparator() ? nullptr : preset;
}
