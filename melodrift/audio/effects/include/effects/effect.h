// The effects of Melodrift's effect manager, without any Windows header: an
// effect processes interleaved float frames in place for any channel count
// (1..8) and sample rate (8 kHz..384 kHz), has named parameters with ranges
// and may have named presets. The catalog lists every effect in its fixed
// order with its identifier and type.
//
// Every effect's output depends only on the samples and the parameters, not
// on how the stream is cut into blocks: state advances sample by sample, and
// the spectral effects collect their frames in FIFOs with a fixed latency.
//
// Input samples that are not numbers are taken as silence and samples far
// beyond full scale are clipped to +-kInputLimit before they reach any
// feedback path, so a bad block cannot poison a tail.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace effects {

inline constexpr int kMaxChannels = 8;
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 384000;
inline constexpr int kMaxParams = 8;
inline constexpr float kInputLimit = 64.0f;

enum EffectType : int {
    kSpecialEffect = 0,
    kVoiceMorphing = 1,
};

struct ParamSpec {
    const wchar_t* name;
    float minimum;
    float maximum;
    float defaultValue;
};

struct Preset {
    const wchar_t* name;
    float values[kMaxParams];   // one per parameter, in parameter order
};

class Effect;

struct EffectDescriptor {
    int id;
    EffectType type;
    const wchar_t* name;
    const ParamSpec* params;
    int paramCount;
    const Preset* presets;
    int presetCount;
    std::unique_ptr<Effect> (*create)(const EffectDescriptor& descriptor);
};

class Effect {
public:
    explicit Effect(const EffectDescriptor& descriptor);
    virtual ~Effect() = default;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    const EffectDescriptor& Descriptor() const { return m_descriptor; }

    int ParamCount() const { return m_descriptor.paramCount; }
    // The parameter's value, 0 for an index out of range.
    float Param(int index) const;
    // Sets a parameter, clamped to its range (a value that is not a number
    // leaves it unchanged); false for an index out of range.
    bool SetParam(int index, float value);
    // Sets every parameter from the preset; false for an index out of range.
    bool ApplyPreset(int index);

    int Channels() const { return m_channels; }
    int SampleRate() const { return m_sampleRate; }
    // 1..8 channels, 8 kHz..384 kHz; resets the state. False when refused
    // (the old format stays).
    bool SetFormat(int channels, int sampleRate);

    // Processes `frames` interleaved frames in place; false for a null array
    // with frames or a negative count.
    bool Process(float* samples, std::int64_t frames);
    // The same for one array per channel (the player's sample blocks): the
    // first Channels() arrays of `channels`; false for a null table or array
    // with frames or a negative count.
    bool ProcessPlanar(float* const* channels, std::int64_t frames);
    void Reset();

protected:
    // Called after the format changed (also once before the first Process)
    // to size the state; then Clear() follows.
    virtual void OnFormat() = 0;
    // Called after parameters changed.
    virtual void OnParams() {}
    // Silences the state.
    virtual void Clear() = 0;
    // Processes sanitised interleaved frames in place.
    virtual void Run(float* samples, int frames) = 0;

    float P(int index) const { return m_params[index]; }

private:
    void Prepare();

    const EffectDescriptor& m_descriptor;
    std::vector<float> m_interleaved;   // ProcessPlanar's frames, made when the format is set
    float m_params[kMaxParams] = {};
    int m_channels = 2;
    int m_sampleRate = 44100;
    bool m_prepared = false;
};

// The effect table in its fixed order.
int CatalogCount();
const EffectDescriptor* CatalogAt(int index);     // null when out of range
const EffectDescriptor* CatalogFind(int id);       // null when unknown
// A new effect of the descriptor with its default parameters, or null.
std::unique_ptr<Effect> CreateEffect(const EffectDescriptor& descriptor);

}  // namespace effects
