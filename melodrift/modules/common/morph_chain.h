// The effects of the Morph menu in a module's data path (module_morph, no
// Windows header: tested natively with the effect manager's effects). The
// window's thread makes the effects of a new choice and hands them over by an
// atomic pointer, with no lock and nothing allocated or freed on the data
// path; the data path primes them with the last tenth of a second it passed,
// fades from what is heard to the new effects over 40 ms and limits what
// leaves to finite samples within full scale. Nothing here throws.
#pragma once

#include "sonarix/sonarix.h"

#include <atomic>
#include <cstddef>
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

const EffectEntry* FindEffect(const std::vector<EffectEntry>& entries, int id);

// ---- The choice

struct MorphChoice {
    int voice = 0;             // effect id of the voice morph, 0 none
    int special = 0;           // effect id of the special effect, 0 none
    int specialPreset = -1;    // the preset last chosen for it, -1 none
    std::vector<std::vector<float>> params = std::vector<std::vector<float>>(kMaxEffectId + 1);   // by effect id; empty: defaults

    // The values of an effect's parameters: the kept ones within range, else the defaults.
    std::vector<float> ParamsOf(const EffectEntry& e) const;
    // The name the morphed files carry: "Pitch Up", "Echo", "Pitch Up + Echo".
    std::wstring Title(const std::vector<EffectEntry>& entries) const;
};

// ---- The effects in a data path --------------------------------------------------------

// What the data path hands back to the window's thread to be freed there: the
// data path neither allocates nor frees while the sound runs.
class CRetired {
public:
    virtual ~CRetired() = default;
    CRetired* m_nextRetired = nullptr;
};

// An effect run at a whole multiple of the stream's rate, for streams slower
// than the effect takes (the effects need 8 kHz; a player plays slower files
// too): each block goes up to the effect's rate, through the effect and back
// down. Both steps are the same windowed-sinc low-pass, polyphase on the way
// up, cut a little below the stream's own Nyquist frequency, so that what the
// effect moves above it is not folded back. Everything is sized by Prepare();
// Run() neither allocates nor frees. The sound comes out kDelay frames late.
class CRateBridge {
public:
    static constexpr int kTapsPerPhase = 32;
    static constexpr int kDelay = kTapsPerPhase;   // frames of the stream, both filters together

    // The arrays for `channels` at `factor` times the rate; false when out of memory.
    bool Prepare(int channels, int factor);
    int Factor() const { return m_factor; }
    void Reset();
    // `frames` interleaved frames in place through `effect` at the higher rate.
    bool Run(enEffect* effect, float* samples, int frames);

private:
    static constexpr int kInnerChunk = 2048;                 // frames at the effect's rate per step
    static constexpr int kUpHistory = kTapsPerPhase;         // frames the way up looks back
    std::vector<float> m_filter, m_in, m_inner;
    int m_channels = 0, m_factor = 0, m_taps = 0, m_chunk = 1;
};

// Effects made from the choice for one stream: the voice morph first, then the special effect.
class CEffectStage final : public CRetired {
public:
    CEffectStage() = default;
    ~CEffectStage() override;
    CEffectStage(const CEffectStage&) = delete;
    CEffectStage& operator=(const CEffectStage&) = delete;

    // False when an effect could not be created (it is left out).
    bool Add(const EffectEntry& e, const std::vector<float>& values);
    bool Empty() const { return m_slots.empty(); }
    // Makes the effects ready for the stream's format; false when one refuses
    // it. An effect that refuses the stream's rate runs at the lowest whole
    // multiple of it that it takes (see CRateBridge).
    bool Prepare(int channels, int rate);
    bool Run(float* samples, int frames);
    void Reset();
    // The factor an effect's rate is of the stream's (1: the stream's own), by position.
    int RateFactor(std::size_t slot) const;
    void SetParams(int id, const std::vector<float>& values);

private:
    struct Slot {
        enEffect* effect;
        int id;
        CRateBridge* bridge;   // null: the effect runs at the stream's rate
    };

    static bool PrepareSlot(Slot& s, int channels, int rate);
    std::vector<Slot> m_slots;
    int m_channels = 0, m_rate = 0;
    bool m_ready = false;
};

// New parameter values for the data path: every effect's latest, gathered on
// the window's thread.
class CParamUpdates final : public CRetired {
public:
    struct Update {
        int id;
        std::vector<float> values;
    };
    std::vector<Update> updates;
};

// The handover from the window's thread to the data path: the new effects,
// made and made ready for the stream's last format on the window's thread,
// pass by an atomic pointer; what the data path leaves goes back on a
// lock-free list that the window's thread empties. Successive switches fade
// from what is heard at that moment: up to kFading effects fade out at once,
// each from the level it had.
class CEffectChain {
public:
    static constexpr int kFading = 4;

    CEffectChain() = default;
    ~CEffectChain();
    CEffectChain(const CEffectChain&) = delete;
    CEffectChain& operator=(const CEffectChain&) = delete;

    // ---- the window's thread

    // Makes the effects of the choice and hands them to the data path, which
    // fades them in. False when one could not be made (the others run).
    bool Choose(const MorphChoice& choice, const std::vector<EffectEntry>& entries);
    // New values for the parameters of one effect, taken on the next block.
    void SetParams(int id, const std::vector<float>& values);
    // Frees what the data path has left (also done by Choose and SetParams).
    void Collect();
    // Playback starts over (another track, another place): tails and history go.
    void RequestReset() { m_resetRequested = true; }
    // True once after the effects failed on the data path (the sound then passes unchanged).
    bool TakeFailure() { return m_failed.exchange(false); }

    // ---- the data path

    // The data path goes back to an earlier place of the same stream (what
    // the player held ahead is made again): the effects of the latest choice
    // start there at once, without a fade (the player fades the seam),
    // primed with `primer`, the frames just before that place (interleaved).
    void Restart(const float* primer, int primerFrames, int channels, int rate);
    // One array per channel.
    void ProcessPlanar(float* const* channels, int frames, int channelCount, int rate);
    // Interleaved frames in place.
    void Process(float* samples, int frames, int channels, int rate);

private:
    struct Fading {
        CEffectStage* stage;
        float from;   // its level when it was replaced
        int at;       // frames of its fade done
    };

    void Retire(CRetired* r);
    void DropFading(int k);
    void DropAllFading();
    void TakeHandOver(int channels, int rate);
    // From the plain sound to the plain sound there is nothing to fade.
    void DropPlainFade();
    float FadingLevel(const Fading& f) const;
    // An effect that fails is dropped: the sound passes unchanged.
    void Fail(CEffectStage*& stage);
    void RunStage(CEffectStage*& stage, float* samples, int frames);
    // The last tenth of a second of the input, so that new effects start with
    // their delay lines and frames filled (no hole while they fill up).
    void Remember(const float* samples, int frames, int channels);
    void Prime(CEffectStage*& stage);
    // Whatever the effects did, what leaves is a number within full scale: a
    // limiter that takes the gain down at once and gives it back over 200 ms.
    void Limit(float* samples, int frames, int channels, int rate);

    // Shared between the threads.
    std::atomic<CEffectStage*> m_pending{nullptr};
    std::atomic<CParamUpdates*> m_params{nullptr};
    std::atomic<CRetired*> m_retired{nullptr};
    std::atomic<bool> m_resetRequested{false};
    std::atomic<bool> m_failed{false};
    std::atomic<int> m_knownChannels{0}, m_knownRate{0};   // the stream's last format
    // The data path's own.
    CEffectStage m_plain;   // no effects
    CEffectStage* m_current = &m_plain;
    Fading m_fading[kFading] = {};
    int m_fadingCount = 0;
    int m_inAt = 1;   // frames of the current effects' fade in done
    int m_fadeLength = 1;
    int m_channels = 0, m_rate = 0;
    std::vector<float> m_io, m_wet, m_oldWet, m_mix, m_dry, m_history, m_primer;
    int m_historyAt = 0, m_historyFrames = 0;
    float m_gain = 1.0f;
};

}  // namespace orvo
