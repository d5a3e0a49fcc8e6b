// The effects of the Morph menu in a module's data path (header only, no
// Windows header: tested natively with the effect manager's effects). The
// window's thread makes the effects of a new choice and hands them over by a
// pointer swap under a short lock; the data path primes them with the last
// tenth of a second it passed, fades from the old effects to the new ones over
// 40 ms and limits what leaves to finite samples within full scale. Nothing
// here throws.
#pragma once

#include "sonarix/sonarix.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace orvo {

constexpr int kMaxEffectId = 63;

// ---- An effect of the table, with its parameters and presets

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

inline const EffectEntry* FindEffect(const std::vector<EffectEntry>& entries, int id) {
    for (const EffectEntry& e : entries)
        if (e.id == id) return &e;
    return nullptr;
}

// ---- The choice

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
    std::wstring Title(const std::vector<EffectEntry>& entries) const {
        std::wstring out;
        for (int id : {voice, special})
            if (const EffectEntry* e = FindEffect(entries, id)) out += (out.empty() ? L"" : L" + ") + e->name;
        return out;
    }
};

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
    CEffectChain() = default;
    ~CEffectChain() {
        delete m_pending;
        delete m_current;
        delete m_old;
    }
    CEffectChain(const CEffectChain&) = delete;
    CEffectChain& operator=(const CEffectChain&) = delete;

    // ---- the window's thread

    // Makes the effects of the choice and hands them to the data path, which
    // fades them in. False when one could not be made (the others run).
    bool Choose(const MorphChoice& choice, const std::vector<EffectEntry>& entries) {
        CEffectStage* stage = new (std::nothrow) CEffectStage;
        if (!stage) return false;
        bool ok = true;
        for (int id : {choice.voice, choice.special})
            if (const EffectEntry* e = FindEffect(entries, id)) ok = stage->Add(*e, choice.ParamsOf(*e)) && ok;
        CEffectStage* replaced = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            replaced = m_pending;
            m_pending = stage;
            m_hasPending = true;
        }
        delete replaced;
        return ok;
    }
    // New values for the parameters of one effect, taken on the next block.
    void SetParams(int id, const std::vector<float>& values) {
        std::lock_guard<std::mutex> guard(m_lock);
        try {
            m_paramUpdates.push_back({id, values});
            m_hasParams = true;
        } catch (...) {
        }
    }
    // Playback starts over (another track, another place): tails and history go.
    void RequestReset() { m_resetRequested = true; }
    // True once after the effects failed on the data path (the sound then passes unchanged).
    bool TakeFailure() { return m_failed.exchange(false); }

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
        if (IsEmpty(m_current) && !m_old) {
            Remember(samples, frames, channels);
            return;
        }
        const std::size_t count = static_cast<std::size_t>(frames) * channels;
        if (!Reserve(m_wet, count) || (m_old && !Reserve(m_oldWet, count))) return;
        std::copy(samples, samples + count, m_wet.begin());
        RunStage(m_current, m_wet.data(), frames);
        DropPlainFade();   // the new effects may have failed
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
        if (m_resetRequested.exchange(false)) {
            if (m_current) m_current->Reset();
            delete m_old;
            m_old = nullptr;
            m_historyFrames = 0;
            m_historyAt = 0;
        }
        if (m_hasPending) {
            CEffectStage* next = nullptr;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                next = m_pending;
                m_pending = nullptr;
                m_hasPending = false;
            }
            if (next) {
                if (!next->Empty() && !next->Prepare(channels, rate)) Fail(next);
                Prime(next);
                delete m_old;
                m_old = m_current ? m_current : new (std::nothrow) CEffectStage;
                m_current = next;
                m_fadeAt = 0;
                m_fadeLength = std::max(1, rate / 25);   // 40 ms
                DropPlainFade();
            }
        }
        if (m_hasParams) {
            std::vector<ParamUpdate> updates;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                updates.swap(m_paramUpdates);
                m_hasParams = false;
            }
            for (const ParamUpdate& u : updates)
                if (m_current) m_current->SetParams(u.id, u.values);
        }
    }

    static bool IsEmpty(const CEffectStage* stage) { return !stage || stage->Empty(); }

    // From the plain sound to the plain sound there is nothing to fade.
    void DropPlainFade() {
        if (m_old && IsEmpty(m_old) && IsEmpty(m_current)) {
            delete m_old;
            m_old = nullptr;
        }
    }

    // An effect that fails is dropped from the stage: the sound passes unchanged.
    void Fail(CEffectStage*& stage) {
        delete stage;
        stage = new (std::nothrow) CEffectStage;
        m_failed = true;
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

    std::mutex m_lock;
    // Shared with the window's thread (under m_lock; the flags read without it).
    CEffectStage* m_pending = nullptr;
    std::atomic<bool> m_hasPending{false};
    std::vector<ParamUpdate> m_paramUpdates;
    std::atomic<bool> m_hasParams{false};
    std::atomic<bool> m_resetRequested{false};
    std::atomic<bool> m_failed{false};
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
