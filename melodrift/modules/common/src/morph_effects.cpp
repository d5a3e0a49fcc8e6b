// The effect manager's library, the choice's settings and the Morph menu (see morph_effects.h).
#include "morph_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <new>

namespace orvo {

bool CSonarixLink::Load(const wchar_t* programFolder) {
    if (m_manager) return true;
    try {
        std::wstring path = std::wstring(programFolder ? programFolder : L"") + L"Sonarix.dll";
        m_library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!m_library) m_library = LoadLibraryW(L"Sonarix.dll");
        if (!m_library) return false;
        using Create = enSonarix*(SONARIX_CALL*)();
        auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(m_library, "SonarixCreateManager")));
        m_manager = create ? create() : nullptr;
        CEffectTable* table = m_manager ? m_manager->GetEffectTable() : nullptr;
        if (!table) return false;
        for (int i = 0; i < table->GetCount(); ++i) {
            CEffectInfo* info = table->GetAt(i);
            if (!info || info->GetID() <= 0 || info->GetID() > kMaxEffectId) continue;
            enEffect* effect = info->CreateEffect();
            if (!effect) continue;
            EffectEntry e;
            e.id = info->GetID();
            e.type = info->GetEffectType();
            e.info = info;
            e.name = effect->GetName() ? effect->GetName() : L"";
            for (int p = 0; p < effect->GetParamCount(); ++p) {
                SonarixParamInfo pi = {};
                if (!effect->GetParamInfo(p, &pi)) break;
                e.params.push_back({pi.name ? pi.name : L"", pi.minimum, pi.maximum, pi.defaultValue});
            }
            for (int k = 0; k < effect->GetPresetCount() && k < kMaxPresets; ++k) {
                EffectPreset preset;
                preset.name = effect->GetPresetName(k) ? effect->GetPresetName(k) : L"";
                effect->ApplyPreset(k);
                for (int p = 0; p < static_cast<int>(e.params.size()); ++p) preset.values.push_back(effect->GetParam(p));
                e.presets.push_back(std::move(preset));
            }
            effect->Destroy();
            m_entries.push_back(std::move(e));
        }
        return true;
    } catch (...) {
        return false;
    }
}

int ReadIntSetting(IApplication* app, const wchar_t* owner, const wchar_t* key, int fallback) {
    wchar_t value[32] = {};
    if (!app || !app->ReadSetting(owner, key, value, 32)) return fallback;
    wchar_t* end = nullptr;
    long v = std::wcstol(value, &end, 10);
    return end && end != value ? static_cast<int>(v) : fallback;
}

MorphChoice LoadMorphChoice(IApplication* app, const wchar_t* owner, const CSonarixLink& link) {
    MorphChoice c;
    if (!app) return c;
    c.voice = ReadIntSetting(app, owner, L"MorphVoice", 0);
    c.special = ReadIntSetting(app, owner, L"MorphSpecial", 0);
    c.specialPreset = ReadIntSetting(app, owner, L"MorphSpecialPreset", -1);
    const EffectEntry* v = link.Find(c.voice);
    if (!v || v->type != SONARIX_VOICE_MORPHING) c.voice = 0;
    const EffectEntry* s = link.Find(c.special);
    if (!s || s->type != SONARIX_SPECIAL_EFFECT) c.special = 0, c.specialPreset = -1;
    for (const EffectEntry& e : link.Entries()) {
        wchar_t key[32], value[256] = {};
        std::swprintf(key, 32, L"MorphParams%d", e.id);
        if (!app->ReadSetting(owner, key, value, 256)) continue;
        std::vector<float>& out = c.params[static_cast<std::size_t>(e.id)];
        const wchar_t* p = value;
        for (std::size_t i = 0; i < e.params.size() && *p; ++i) {
            wchar_t* end = nullptr;
            const float f = std::wcstof(p, &end);
            if (!end || end == p) break;
            out.push_back(f);
            p = end;
            while (*p == L' ' || *p == L';') ++p;
        }
    }
    return c;
}

void SaveMorphChoice(IApplication* app, const wchar_t* owner, const MorphChoice& c, const CSonarixLink& link) {
    if (!app) return;
    app->WriteSetting(owner, L"MorphVoice", std::to_wstring(c.voice).c_str());
    app->WriteSetting(owner, L"MorphSpecial", std::to_wstring(c.special).c_str());
    app->WriteSetting(owner, L"MorphSpecialPreset", std::to_wstring(c.specialPreset).c_str());
    for (const EffectEntry& e : link.Entries()) {
        const std::vector<float>& kept = c.params[static_cast<std::size_t>(e.id)];
        if (kept.empty()) continue;
        std::wstring text;
        for (float v : kept) {
            wchar_t number[32];
            std::swprintf(number, 32, L"%g", static_cast<double>(v));
            text += (text.empty() ? L"" : L";") + std::wstring(number);
        }
        wchar_t key[32];
        std::swprintf(key, 32, L"MorphParams%d", e.id);
        app->WriteSetting(owner, key, text.c_str());
    }
}

void BroadcastMorphChoice(IQueryInterface* host, const wchar_t* owner) {
    IModuleCom* bus = host ? host->GetModuleCom() : nullptr;
    if (!bus) return;
    for (const wchar_t* peer : kMorphModules)
        if (_wcsicmp(peer, owner) != 0 && bus->GetModuleInfo(peer)) bus->SendMessage(peer, owner, kEffectsMessage);
}

void AppendMorphMenu(HMENU menu, const CSonarixLink& link) {
    if (!menu || !link.Loaded()) return;
    HMENU morph = CreatePopupMenu();
    HMENU voice = CreatePopupMenu();
    HMENU special = CreatePopupMenu();
    AppendMenuW(voice, MF_STRING, kCmdVoiceNone, L"none");
    AppendMenuW(special, MF_STRING, kCmdSpecialNone, L"none");
    for (const EffectEntry& e : link.Entries()) {
        if (e.type == SONARIX_VOICE_MORPHING) {
            AppendMenuW(voice, MF_STRING, kCmdEffectBase + static_cast<UINT>(e.id), e.name.c_str());
        } else if (!e.presets.empty()) {
            HMENU presets = CreatePopupMenu();
            for (std::size_t k = 0; k < e.presets.size(); ++k)
                AppendMenuW(presets, MF_STRING, kCmdPresetBase + static_cast<UINT>(e.id * kMaxPresets + static_cast<int>(k)),
                            e.presets[k].name.c_str());
            AppendMenuW(special, MF_POPUP, reinterpret_cast<UINT_PTR>(presets), e.name.c_str());
        }
    }
    AppendMenuW(morph, MF_POPUP, reinterpret_cast<UINT_PTR>(voice), L"Voice Morphing");
    AppendMenuW(morph, MF_POPUP, reinterpret_cast<UINT_PTR>(special), L"Special Effects");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(morph), L"Morph");
}

bool IsMorphCommand(UINT id) {
    return (id >= kCmdEffectBase && id <= kCmdEffectBase + kMaxEffectId) || id == kCmdSpecialNone ||
           (id >= kCmdPresetBase && id <= kCmdPresetLast);
}

bool ApplyMorphCommand(UINT id, MorphChoice& c, const CSonarixLink& link) {
    if (id == kCmdVoiceNone) return c.voice = 0, true;
    if (id == kCmdSpecialNone) return c.special = 0, c.specialPreset = -1, true;
    if (id > kCmdEffectBase && id <= kCmdEffectBase + kMaxEffectId) {
        const EffectEntry* e = link.Find(static_cast<int>(id - kCmdEffectBase));
        if (!e) return false;
        if (e->type == SONARIX_VOICE_MORPHING) c.voice = e->id;
        else c.special = e->id, c.specialPreset = -1;
        return true;
    }
    if (id >= kCmdPresetBase && id <= kCmdPresetLast) {
        const int effect = static_cast<int>(id - kCmdPresetBase) / kMaxPresets;
        const int preset = static_cast<int>(id - kCmdPresetBase) % kMaxPresets;
        const EffectEntry* e = link.Find(effect);
        if (!e || preset >= static_cast<int>(e->presets.size())) return false;
        if (e->type == SONARIX_VOICE_MORPHING) c.voice = e->id;
        else c.special = e->id, c.specialPreset = preset;
        c.params[static_cast<std::size_t>(e->id)] = e->presets[static_cast<std::size_t>(preset)].values;
        return true;
    }
    return false;
}

int MorphCheck(UINT id, const MorphChoice& c) {
    if (id == kCmdVoiceNone) return c.voice == 0 ? 1 : 0;
    if (id == kCmdSpecialNone) return c.special == 0 ? 1 : 0;
    if (id > kCmdEffectBase && id <= kCmdEffectBase + kMaxEffectId) {
        const int e = static_cast<int>(id - kCmdEffectBase);
        return e == c.voice || e == c.special ? 1 : 0;
    }
    if (id >= kCmdPresetBase && id <= kCmdPresetLast) {
        const int effect = static_cast<int>(id - kCmdPresetBase) / kMaxPresets;
        const int preset = static_cast<int>(id - kCmdPresetBase) % kMaxPresets;
        return effect == c.special && preset == c.specialPreset ? 1 : 0;
    }
    return 0;
}

}  // namespace orvo
