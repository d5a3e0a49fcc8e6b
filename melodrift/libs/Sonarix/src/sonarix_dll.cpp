// Sonarix.dll: the catalog of melodrift_effects behind the interfaces of
// sonarix/sonarix.h. Every method catches whatever the effects could throw
// (only allocation failures) and answers 0 instead.
#include "sonarix/sonarix.h"

#include "effects/effect.h"

#include <memory>
#include <new>
#include <vector>

namespace {

class EffectObject final : public enEffect {
public:
    explicit EffectObject(std::unique_ptr<effects::Effect> effect) : m_effect(std::move(effect)) {}

    const wchar_t* SONARIX_METHOD GetName() override { return m_effect->Descriptor().name; }
    int SONARIX_METHOD GetEffectType() override { return m_effect->Descriptor().type; }
    int SONARIX_METHOD GetID() override { return m_effect->Descriptor().id; }

    int SONARIX_METHOD GetPresetCount() override { return m_effect->Descriptor().presetCount; }
    const wchar_t* SONARIX_METHOD GetPresetName(int index) override
    {
        const effects::EffectDescriptor& d = m_effect->Descriptor();
        return index >= 0 && index < d.presetCount ? d.presets[index].name : nullptr;
    }
    int SONARIX_METHOD ApplyPreset(int index) override { return m_effect->ApplyPreset(index) ? 1 : 0; }

    int SONARIX_METHOD GetParamCount() override { return m_effect->ParamCount(); }
    int SONARIX_METHOD GetParamInfo(int index, SonarixParamInfo* info) override
    {
        if (!info || index < 0 || index >= m_effect->ParamCount()) {
            return 0;
        }
        const effects::ParamSpec& spec = m_effect->Descriptor().params[index];
        info->name = spec.name;
        info->minimum = spec.minimum;
        info->maximum = spec.maximum;
        info->defaultValue = spec.defaultValue;
        return 1;
    }
    float SONARIX_METHOD GetParam(int index) override { return m_effect->Param(index); }
    int SONARIX_METHOD SetParam(int index, float value) override { return m_effect->SetParam(index, value) ? 1 : 0; }

    int SONARIX_METHOD SetFormat(int channels, int sampleRate) override
    {
        try {
            return m_effect->SetFormat(channels, sampleRate) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int SONARIX_METHOD Process(float* samples, int frames) override
    {
        try {
            return m_effect->Process(samples, frames) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    int SONARIX_METHOD ProcessBlock(SampleBlock* block) override
    {
        if (!block || block->filled < 0 || block->filled > block->capacity ||
            (block->filled > 0 && !block->channels)) {
            return 0;
        }
        try {
            return m_effect->ProcessPlanar(block->channels, block->filled) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
    void SONARIX_METHOD Reset() override
    {
        try {
            m_effect->Reset();
        } catch (...) {
        }
    }
    void SONARIX_METHOD Destroy() override { delete this; }

private:
    ~EffectObject() = default;

    std::unique_ptr<effects::Effect> m_effect;
};

class EffectInfo final : public CEffectInfo {
public:
    explicit EffectInfo(const effects::EffectDescriptor& descriptor) : m_descriptor(&descriptor) {}

    int SONARIX_METHOD GetEffectType() override { return m_descriptor->type; }
    int SONARIX_METHOD GetID() override { return m_descriptor->id; }
    const wchar_t* SONARIX_METHOD GetName() override { return m_descriptor->name; }
    enEffect* SONARIX_METHOD CreateEffect() override
    {
        try {
            std::unique_ptr<effects::Effect> effect = effects::CreateEffect(*m_descriptor);
            return effect ? new EffectObject(std::move(effect)) : nullptr;
        } catch (...) {
            return nullptr;
        }
    }

private:
    const effects::EffectDescriptor* m_descriptor;
};

class Manager final : public enSonarix, public CEffectTable {
public:
    Manager()
    {
        m_entries.reserve(static_cast<std::size_t>(effects::CatalogCount()));
        for (int i = 0; i < effects::CatalogCount(); ++i) {
            m_entries.emplace_back(*effects::CatalogAt(i));
        }
    }

    CEffectTable* SONARIX_METHOD GetEffectTable() override { return this; }
    void SONARIX_METHOD Destroy() override { delete this; }

    int SONARIX_METHOD GetCount() override { return static_cast<int>(m_entries.size()); }
    CEffectInfo* SONARIX_METHOD GetAt(int index) override
    {
        return index >= 0 && index < GetCount() ? &m_entries[static_cast<std::size_t>(index)] : nullptr;
    }
    CEffectInfo* SONARIX_METHOD FindByID(int id) override
    {
        for (EffectInfo& entry : m_entries) {
            if (entry.GetID() == id) {
                return &entry;
            }
        }
        return nullptr;
    }

private:
    ~Manager() = default;

    std::vector<EffectInfo> m_entries;
};

}  // namespace

extern "C" SONARIX_API enSonarix* SONARIX_CALL SonarixCreateManager(void)
{
    try {
        return static_cast<enSonarix*>(new Manager);
    } catch (...) {
        return nullptr;
    }
}
