// The voice morphing and special effects of the effect manager (Sonarix.dll,
// loaded from the program folder) as our modules use them (header only, so
// that each module stays one DLL built against the host's public header):
//
//   CSonarixLink     the library, its table read once: effects, parameters, presets
//   MorphChoice      the chosen voice morph and special effect with the parameters
//                    of every effect, kept in the module's settings
//   CEffectChain     runs the chosen effects in a module's data path (the player's
//                    or the microphone's thread); a new choice is handed over by a
//                    pointer swap under a short lock and faded in over 40 ms
//   the "Morph" pop-up of the module menu, the commands of its items and their
//   checked state
//
// Nothing here throws: failures are results (allocation failures included).
#pragma once

#include "host/host_interfaces.h"
#include "sonarix/sonarix.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

namespace orvo {

// ---- Commands ---------------------------------------------------------------------

constexpr UINT kCmdMorphFiles = 10000;       // the frame's "Morph Selected Files"
constexpr UINT kCmdEffectsLibrary = 372;     // the frame's "Effects Library"
constexpr UINT kCmdEffectBase = 17100;       // + effect id: choose that effect (voice morph or special effect)
constexpr UINT kCmdVoiceNone = 17100;        // no voice morph
constexpr UINT kCmdSpecialNone = 17199;      // no special effect
constexpr UINT kCmdPresetBase = 17200;       // + id * 16 + preset: a special effect with one of its presets
constexpr int kMaxEffectId = 63;
constexpr int kMaxPresets = 16;
constexpr UINT kCmdPresetLast = kCmdPresetBase + (kMaxEffectId + 1) * kMaxPresets - 1;

// The modules that share the effect choice (each tells the others with the bus message "effects").
constexpr const wchar_t* kMorphModules[] = {L"Vocalith", L"Sonicut"};
constexpr const wchar_t kEffectsMessage[] = L"effects";

// ---- The library ---------------------------------------------------------------------

struct EffectParam {
    std::wstring name;
    float minimum = 0, maximum = 1, defaultValue = 0;
};

struct EffectPreset {
    std::wstring name;
    std::vector<float> values;
};

struct EffectEntry {
    int id = 0;
    int type = SONARIX_SPECIAL_EFFECT;
    std::wstring name;
    std::vector<EffectParam> params;
    std::vector<EffectPreset> presets;
    CEffectInfo* info = nullptr;
};

class CSonarixLink {
public:
    CSonarixLink() = default;
    ~CSonarixLink() {
        if (m_manager) m_manager->Destroy();
        if (m_library) FreeLibrary(m_library);
    }
    CSonarixLink(const CSonarixLink&) = delete;
    CSonarixLink& operator=(const CSonarixLink&) = delete;

    // Loads <programFolder>Sonarix.dll and reads its table; false when it is missing.
    bool Load(const wchar_t* programFolder) {
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
    bool Loaded() const { return m_manager != nullptr; }
    const std::vector<EffectEntry>& Entries() const { return m_entries; }
    const EffectEntry* Find(int id) const {
        for (const EffectEntry& e : m_entries)
            if (e.id == id) return &e;
        return nullptr;
    }

private:
    HMODULE m_library = nullptr;
    enSonarix* m_manager = nullptr;
    std::vector<EffectEntry> m_entries;
};

// ---- The choice and its settings -------------------------------------------------------

struct MorphChoice {
    int voice = 0;             // effect id of the voice morph, 0 none
    int special = 0;           // effect id of the special effect, 0 none
    int specialPreset = -1;    // the preset last chosen for it, -1 none
    std::vector<std::vector<float>> params = std::vector<std::vector<float>>(kMaxEffectId + 1);   // by effect id; empty: defaults

    // The values of an effect's parameters: the kept ones within range, else the defaults.
    std::vector<float> ParamsOf(const EffectEntry& e) const {
        std::vector<float> out;
        const std::vector<float>& kept = params[static_cast<std::size_t>(e.id)];
        for (std::size_t p = 0; p < e.params.size(); ++p) {
            float v = p < kept.size() ? kept[p] : e.params[p].defaultValue;
            if (!std::isfinite(v)) v = e.params[p].defaultValue;
            out.push_back(std::clamp(v, std::min(e.params[p].minimum, e.params[p].maximum),
                                     std::max(e.params[p].minimum, e.params[p].maximum)));
        }
        return out;
    }
    // The name the morphed files carry: "Pitch Up", "Echo", "Pitch Up + Echo".
    std::wstring Title(const CSonarixLink& link) const {
        std::wstring out;
        for (int id : {voice, special})
            if (const EffectEntry* e = link.Find(id)) out += (out.empty() ? L"" : L" + ") + e->name;
        return out;
    }
};

inline int ReadIntSetting(IApplication* app, const wchar_t* owner, const wchar_t* key, int fallback) {
    wchar_t value[32] = {};
    if (!app || !app->ReadSetting(owner, key, value, 32)) return fallback;
    wchar_t* end = nullptr;
    long v = std::wcstol(value, &end, 10);
    return end && end != value ? static_cast<int>(v) : fallback;
}

// Reads the choice from `owner`'s settings; ids the library does not know are taken as none.
inline MorphChoice LoadMorphChoice(IApplication* app, const wchar_t* owner, const CSonarixLink& link) {
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

inline void SaveMorphChoice(IApplication* app, const wchar_t* owner, const MorphChoice& c, const CSonarixLink& link) {
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

// Tells the other modules that share the choice to read it from `owner`'s settings.
inline void BroadcastMorphChoice(IQueryInterface* host, const wchar_t* owner) {
    IModuleCom* bus = host ? host->GetModuleCom() : nullptr;
    if (!bus) return;
    for (const wchar_t* peer : kMorphModules)
        if (_wcsicmp(peer, owner) != 0 && bus->GetModuleInfo(peer)) bus->SendMessage(peer, owner, kEffectsMessage);
}

// ---- The menu ---------------------------------------------------------------------------

// Appends the "Morph" pop-up: "Voice Morphing" (none and every voice morph) and
// "Special Effects" (none, and every special effect with its presets).
inline void AppendMorphMenu(HMENU menu, const CSonarixLink& link) {
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

inline bool IsMorphCommand(UINT id) {
    return (id >= kCmdEffectBase && id <= kCmdEffectBase + kMaxEffectId) || id == kCmdSpecialNone ||
           (id >= kCmdPresetBase && id <= kCmdPresetLast);
}

// Applies a Morph command to the choice; false when it is not one (or names no effect of the table).
inline bool ApplyMorphCommand(UINT id, MorphChoice& c, const CSonarixLink& link) {
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

// The checked state of a Morph command's item (1 checked, 0 not).
inline int MorphCheck(UINT id, const MorphChoice& c) {
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

// ---- The effects in a data path --------------------------------------------------------

// Effects made from the choice for one stream: the voice morph first, then the special effect.
class CEffectStage {
public:
    CEffectStage() = default;
    ~CEffectStage() {
        for (Slot& s : m_slots)
            if (s.effect) s.effect->Destroy();
    }
    CEffectStage(const CEffectStage&) = delete;
    CEffectStage& operator=(const CEffectStage&) = delete;

    // False when an effect could not be created (it is left out).
    bool Add(const EffectEntry& e, const std::vector<float>& values) {
        enEffect* effect = e.info ? e.info->CreateEffect() : nullptr;
        if (!effect) return false;
        try {
            m_slots.push_back({effect, e.id});
        } catch (...) {
            effect->Destroy();
            return false;
        }
        for (std::size_t p = 0; p < values.size(); ++p) effect->SetParam(static_cast<int>(p), values[p]);
        return true;
    }
    bool Empty() const { return m_slots.empty(); }
    // Makes the effects ready for the stream's format; false when one refuses it.
    bool Prepare(int channels, int rate) {
        if (channels == m_channels && rate == m_rate) return m_ready;
        m_channels = channels;
        m_rate = rate;
        m_ready = true;
        for (Slot& s : m_slots) m_ready = s.effect->SetFormat(channels, rate) != 0 && m_ready;
        return m_ready;
    }
    bool Run(float* samples, int frames) {
        for (Slot& s : m_slots)
            if (!s.effect->Process(samples, frames)) return false;
        return true;
    }
    void Reset() {
        for (Slot& s : m_slots) s.effect->Reset();
    }
    void SetParams(int id, const std::vector<float>& values) {
        for (Slot& s : m_slots)
            if (s.id == id)
                for (std::size_t p = 0; p < values.size(); ++p) s.effect->SetParam(static_cast<int>(p), values[p]);
    }

private:
    struct Slot {
        enEffect* effect;
        int id;
    };
    std::vector<Slot> m_slots;
    int m_channels = 0, m_rate = 0;
    bool m_ready = false;
};

class CEffectChain {
public:
    CEffectChain() { InitializeCriticalSection(&m_lock); }
    ~CEffectChain() {
        delete m_pending;
        delete m_current;
        delete m_old;
        DeleteCriticalSection(&m_lock);
    }
    CEffectChain(const CEffectChain&) = delete;
    CEffectChain& operator=(const CEffectChain&) = delete;

    // ---- the window's thread

    // Makes the effects of the choice and hands them to the data path, which
    // fades them in. False when one could not be made (the others run).
    bool Choose(const MorphChoice& choice, const CSonarixLink& link) {
        CEffectStage* stage = new (std::nothrow) CEffectStage;
        if (!stage) return false;
        bool ok = true;
        for (int id : {choice.voice, choice.special})
            if (const EffectEntry* e = link.Find(id)) ok = stage->Add(*e, choice.ParamsOf(*e)) && ok;
        EnterCriticalSection(&m_lock);
        CEffectStage* replaced = m_pending;
        m_pending = stage;
        m_hasPending = 1;
        LeaveCriticalSection(&m_lock);
        delete replaced;
        return ok;
    }
    // New values for the parameters of one effect, taken on the next block.
    void SetParams(int id, const std::vector<float>& values) {
        EnterCriticalSection(&m_lock);
        try {
            m_paramUpdates.push_back({id, values});
            m_hasParams = 1;
        } catch (...) {
        }
        LeaveCriticalSection(&m_lock);
    }
    // Playback starts over (another track, another place): tails and history go.
    void RequestReset() { InterlockedExchange(&m_resetRequested, 1); }
    // True once after the effects failed on the data path (the sound then passes unchanged).
    bool TakeFailure() { return InterlockedExchange(&m_failed, 0) != 0; }

    // ---- the data path

    // One array per channel.
    void ProcessPlanar(float* const* channels, int frames, int channelCount, int rate) {
        if (!channels || frames <= 0 || channelCount <= 0 || !Active()) return;
        if (!Reserve(m_io, static_cast<std::size_t>(frames) * channelCount)) return;
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channelCount; ++c) m_io[static_cast<std::size_t>(f) * channelCount + c] = channels[c][f];
        Process(m_io.data(), frames, channelCount, rate);
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channelCount; ++c) channels[c][f] = m_io[static_cast<std::size_t>(f) * channelCount + c];
    }

    // Interleaved frames in place.
    void Process(float* samples, int frames, int channels, int rate) {
        if (!samples || frames <= 0 || channels <= 0 || rate <= 0) return;
        TakeHandOver(channels, rate);
        const bool running = (m_current && !m_current->Empty()) || (m_old && !m_old->Empty());
        if (!running && !m_old) {
            Remember(samples, frames, channels);
            return;
        }
        const std::size_t count = static_cast<std::size_t>(frames) * channels;
        if (!Reserve(m_wet, count) || (m_old && !Reserve(m_oldWet, count))) return;
        std::copy(samples, samples + count, m_wet.begin());
        RunStage(m_current, m_wet.data(), frames);
        if (m_old) {
            std::copy(samples, samples + count, m_oldWet.begin());
            RunStage(m_old, m_oldWet.data(), frames);
            // An equal-power fade from the old effects to the new ones.
            for (int f = 0; f < frames; ++f) {
                const float t = m_fadeAt >= m_fadeLength ? 1.0f : static_cast<float>(m_fadeAt) / m_fadeLength;
                const float in = std::sin(1.5707963f * t), out = std::cos(1.5707963f * t);
                for (int c = 0; c < channels; ++c) {
                    const std::size_t i = static_cast<std::size_t>(f) * channels + c;
                    m_wet[i] = m_wet[i] * in + m_oldWet[i] * out;
                }
                ++m_fadeAt;
            }
            if (m_fadeAt >= m_fadeLength) {
                delete m_old;
                m_old = nullptr;
            }
        }
        Remember(samples, frames, channels);
        Limit(m_wet.data(), frames, channels, rate);
        std::copy(m_wet.begin(), m_wet.begin() + static_cast<std::ptrdiff_t>(count), samples);
    }

private:
    static bool Reserve(std::vector<float>& v, std::size_t count) {
        if (v.size() >= count) return true;
        try {
            v.resize(count);
            return true;
        } catch (...) {
            return false;
        }
    }

    bool Active() const { return m_current || m_old || m_hasPending; }

    void TakeHandOver(int channels, int rate) {
        if (channels != m_channels || rate != m_rate) {
            // Another stream: no history of the old one, no fade across.
            m_channels = channels;
            m_rate = rate;
            m_historyFrames = 0;
            m_historyAt = 0;
            delete m_old;
            m_old = nullptr;
            if (m_current && !m_current->Prepare(channels, rate)) Fail(m_current);
        }
        if (InterlockedExchange(&m_resetRequested, 0)) {
            if (m_current) m_current->Reset();
            delete m_old;
            m_old = nullptr;
            m_historyFrames = 0;
            m_historyAt = 0;
        }
        if (m_hasPending) {
            EnterCriticalSection(&m_lock);
            CEffectStage* next = m_pending;
            m_pending = nullptr;
            m_hasPending = 0;
            LeaveCriticalSection(&m_lock);
            if (next) {
                if (!next->Empty() && !next->Prepare(channels, rate)) Fail(next);
                Prime(next);
                delete m_old;
                m_old = m_current ? m_current : new (std::nothrow) CEffectStage;
                m_current = next;
                m_fadeAt = 0;
                m_fadeLength = std::max(1, rate / 25);   // 40 ms
            }
        }
        if (m_hasParams) {
            std::vector<ParamUpdate> updates;
            EnterCriticalSection(&m_lock);
            updates.swap(m_paramUpdates);
            m_hasParams = 0;
            LeaveCriticalSection(&m_lock);
            for (const ParamUpdate& u : updates)
                if (m_current) m_current->SetParams(u.id, u.values);
        }
    }

    // An effect that fails is dropped from the stage: the sound passes unchanged.
    void Fail(CEffectStage*& stage) {
        delete stage;
        stage = new (std::nothrow) CEffectStage;
        InterlockedExchange(&m_failed, 1);
    }

    void RunStage(CEffectStage*& stage, float* samples, int frames) {
        if (!stage || stage->Empty()) return;
        const std::size_t count = static_cast<std::size_t>(frames) * m_channels;
        if (!Reserve(m_dry, count)) return;
        std::copy(samples, samples + count, m_dry.begin());
        if (!stage->Run(samples, frames)) {
            std::copy(m_dry.begin(), m_dry.begin() + static_cast<std::ptrdiff_t>(count), samples);
            Fail(stage);
        }
    }

    // The last tenth of a second of the input, so that new effects start with
    // their delay lines and frames filled (no hole while they fill up).
    void Remember(const float* samples, int frames, int channels) {
        const int capacity = std::max(1, m_rate / 10);
        if (!Reserve(m_history, static_cast<std::size_t>(capacity) * channels)) return;
        for (int f = 0; f < frames; ++f) {
            std::copy(samples + static_cast<std::size_t>(f) * channels, samples + static_cast<std::size_t>(f + 1) * channels,
                      m_history.begin() + static_cast<std::ptrdiff_t>(m_historyAt) * channels);
            m_historyAt = (m_historyAt + 1) % capacity;
        }
        m_historyFrames = std::min(capacity, m_historyFrames + frames);
    }

    void Prime(CEffectStage*& stage) {
        if (!stage || stage->Empty() || m_historyFrames <= 0 || m_channels <= 0) return;
        const int capacity = std::max(1, m_rate / 10);
        const int start = (m_historyAt - m_historyFrames + capacity) % capacity;
        if (!Reserve(m_primer, static_cast<std::size_t>(m_historyFrames) * m_channels)) return;
        for (int f = 0; f < m_historyFrames; ++f) {
            const int from = (start + f) % capacity;
            std::copy(m_history.begin() + static_cast<std::ptrdiff_t>(from) * m_channels,
                      m_history.begin() + static_cast<std::ptrdiff_t>(from + 1) * m_channels,
                      m_primer.begin() + static_cast<std::ptrdiff_t>(f) * m_channels);
        }
        RunStage(stage, m_primer.data(), m_historyFrames);
    }

    // Whatever the effects did, what leaves is a number within full scale: a
    // limiter that takes the gain down at once and gives it back over 200 ms.
    void Limit(float* samples, int frames, int channels, int rate) {
        const float release = 1.0f - std::exp(-1.0f / (0.2f * static_cast<float>(rate)));
        for (int f = 0; f < frames; ++f) {
            float* frame = samples + static_cast<std::size_t>(f) * channels;
            float peak = 0.0f;
            for (int c = 0; c < channels; ++c) {
                if (!std::isfinite(frame[c])) frame[c] = 0.0f;
                peak = std::max(peak, std::fabs(frame[c]));
            }
            if (peak * m_gain > 0.99f) m_gain = 0.99f / peak;
            for (int c = 0; c < channels; ++c) frame[c] = std::clamp(frame[c] * m_gain, -1.0f, 1.0f);
            m_gain += (1.0f - m_gain) * release;
        }
    }

    struct ParamUpdate {
        int id;
        std::vector<float> values;
    };

    CRITICAL_SECTION m_lock;
    // Shared with the window's thread (under m_lock; the flags read without it).
    CEffectStage* m_pending = nullptr;
    volatile LONG m_hasPending = 0;
    std::vector<ParamUpdate> m_paramUpdates;
    volatile LONG m_hasParams = 0;
    volatile LONG m_resetRequested = 0;
    volatile LONG m_failed = 0;
    // The data path's own.
    CEffectStage* m_current = nullptr;
    CEffectStage* m_old = nullptr;   // fading out
    int m_fadeAt = 0, m_fadeLength = 1;
    int m_channels = 0, m_rate = 0;
    std::vector<float> m_io, m_wet, m_oldWet, m_dry, m_history, m_primer;
    int m_historyAt = 0, m_historyFrames = 0;
    float m_gain = 1.0f;
};

}  // namespace orvo
