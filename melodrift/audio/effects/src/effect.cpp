// The effect base (parameters, presets, format, sanitised processing) and the
// catalog of the shipped effects.
#include "effects/effect.h"

#include "effects_internal.h"

#include <algorithm>
#include <cmath>

namespace effects {

Effect::Effect(const EffectDescriptor& descriptor) : m_descriptor(descriptor)
{
    for (int i = 0; i < descriptor.paramCount && i < kMaxParams; ++i) {
        m_params[i] = descriptor.params[i].defaultValue;
    }
}

float Effect::Param(int index) const
{
    return index >= 0 && index < ParamCount() ? m_params[index] : 0.0f;
}

bool Effect::SetParam(int index, float value)
{
    if (index < 0 || index >= ParamCount()) {
        return false;
    }
    if (std::isnan(value)) {
        return true;
    }
    const ParamSpec& spec = m_descriptor.params[index];
    m_params[index] = std::clamp(value, spec.minimum, spec.maximum);
    if (m_prepared) {
        OnParams();
    }
    return true;
}

bool Effect::ApplyPreset(int index)
{
    if (index < 0 || index >= m_descriptor.presetCount) {
        return false;
    }
    const Preset& preset = m_descriptor.presets[index];
    for (int i = 0; i < ParamCount(); ++i) {
        const ParamSpec& spec = m_descriptor.params[i];
        m_params[i] = std::clamp(preset.values[i], spec.minimum, spec.maximum);
    }
    if (m_prepared) {
        OnParams();
    }
    return true;
}

bool Effect::SetFormat(int channels, int sampleRate)
{
    if (channels < 1 || channels > kMaxChannels || sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) {
        return false;
    }
    m_channels = channels;
    m_sampleRate = sampleRate;
    m_prepared = false;
    Prepare();
    return true;
}

namespace {
constexpr std::int64_t kChunk = 4096;
}

void Effect::Prepare()
{
    if (!m_prepared) {
        m_interleaved.assign(static_cast<std::size_t>(kChunk * m_channels), 0.0f);
        OnFormat();
        OnParams();
        Clear();
        m_prepared = true;
    }
}

void Effect::Reset()
{
    Prepare();
    Clear();
}

bool Effect::Process(float* samples, std::int64_t frames)
{
    if (frames < 0 || (frames > 0 && !samples)) {
        return false;
    }
    Prepare();
    while (frames > 0) {
        const int count = static_cast<int>(std::min(frames, kChunk));
        const int n = count * m_channels;
        for (int i = 0; i < n; ++i) {
            const float v = samples[i];
            samples[i] = std::isfinite(v) ? std::clamp(v, -kInputLimit, kInputLimit) : 0.0f;
        }
        Run(samples, count);
        bool sound = true;
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(samples[i])) {
                samples[i] = 0.0f;
                sound = false;
            }
        }
        if (!sound) {
            Clear();
        }
        samples += n;
        frames -= count;
    }
    return true;
}

bool Effect::ProcessPlanar(float* const* channels, std::int64_t frames)
{
    if (frames < 0) {
        return false;
    }
    if (frames == 0) {
        return true;
    }
    if (!channels) {
        return false;
    }
    for (int c = 0; c < m_channels; ++c) {
        if (!channels[c]) {
            return false;
        }
    }
    Prepare();
    std::int64_t done = 0;
    while (done < frames) {
        const int count = static_cast<int>(std::min(frames - done, kChunk));
        for (int c = 0; c < m_channels; ++c) {
            const float* in = channels[c] + done;
            for (int f = 0; f < count; ++f) {
                m_interleaved[static_cast<std::size_t>(f * m_channels + c)] = in[f];
            }
        }
        Process(m_interleaved.data(), count);
        for (int c = 0; c < m_channels; ++c) {
            float* out = channels[c] + done;
            for (int f = 0; f < count; ++f) {
                out[f] = m_interleaved[static_cast<std::size_t>(f * m_channels + c)];
            }
        }
        done += count;
    }
    return true;
}

// ---- Catalog -------------------------------------------------------------------

namespace {

// Voice morphing: pitch shifters (semitones, mix, keep formants: 0 the voice's
// resonances move with the pitch, 1 they stay where they are).
const ParamSpec kPitchUpParams[] = {
    {L"Semitones", 0.0f, 12.0f, 4.0f}, {L"Mix", 0.0f, 1.0f, 1.0f}, {L"Keep Formants", 0.0f, 1.0f, 1.0f}};
const Preset kPitchUpPresets[] = {
    {L"Minor Third", {3.0f, 1.0f, 1.0f}}, {L"Major Third", {4.0f, 1.0f, 1.0f}}, {L"Fifth", {7.0f, 1.0f, 1.0f}},
    {L"Octave", {12.0f, 1.0f, 1.0f}}, {L"Fifth Harmony", {7.0f, 0.5f, 1.0f}}};
const ParamSpec kPitchDownParams[] = {
    {L"Semitones", -12.0f, 0.0f, -4.0f}, {L"Mix", 0.0f, 1.0f, 1.0f}, {L"Keep Formants", 0.0f, 1.0f, 1.0f}};
const Preset kPitchDownPresets[] = {
    {L"Minor Third", {-3.0f, 1.0f, 1.0f}}, {L"Major Third", {-4.0f, 1.0f, 1.0f}}, {L"Fifth", {-7.0f, 1.0f, 1.0f}},
    {L"Octave", {-12.0f, 1.0f, 1.0f}}, {L"Octave Harmony", {-12.0f, 0.5f, 1.0f}}};
const ParamSpec kChipmunkParams[] = {
    {L"Semitones", 5.0f, 19.0f, 9.0f}, {L"Mix", 0.0f, 1.0f, 1.0f}, {L"Keep Formants", 0.0f, 1.0f, 0.0f}};
const Preset kChipmunkPresets[] = {{L"Cartoon", {9.0f, 1.0f, 0.0f}}, {L"Squeaky", {14.0f, 1.0f, 0.0f}}};
const ParamSpec kGiantParams[] = {
    {L"Semitones", -19.0f, -5.0f, -8.0f}, {L"Mix", 0.0f, 1.0f, 1.0f}, {L"Keep Formants", 0.0f, 1.0f, 0.0f}};
const Preset kGiantPresets[] = {{L"Ogre", {-8.0f, 1.0f, 0.0f}}, {L"Monster", {-14.0f, 1.0f, 0.0f}}};
// Robot: carrier frequency, comb resonance, mix.
const ParamSpec kRobotParams[] = {
    {L"Carrier (Hz)", 20.0f, 400.0f, 110.0f}, {L"Resonance", 0.0f, 0.95f, 0.6f}, {L"Mix", 0.0f, 1.0f, 1.0f}};
const Preset kRobotPresets[] = {
    {L"Android", {110.0f, 0.6f, 1.0f}}, {L"Dalek", {30.0f, 0.3f, 1.0f}}, {L"Tin Can", {220.0f, 0.85f, 1.0f}}};
// Whisper: mix.
const ParamSpec kWhisperParams[] = {{L"Mix", 0.0f, 1.0f, 1.0f}};
const Preset kWhisperPresets[] = {{L"Whisper", {1.0f}}, {L"Breathy", {0.5f}}};

// Special effects.
// Echo: delay, feedback, level of the echoes.
const ParamSpec kEchoParams[] = {
    {L"Delay (ms)", 1.0f, 2000.0f, 350.0f}, {L"Feedback", 0.0f, 0.95f, 0.45f}, {L"Echo Level", 0.0f, 1.0f, 0.5f}};
const Preset kEchoPresets[] = {
    {L"Slapback", {90.0f, 0.1f, 0.5f}}, {L"Stadium", {400.0f, 0.5f, 0.45f}},
    {L"Canyon", {750.0f, 0.65f, 0.55f}}, {L"Long Repeats", {500.0f, 0.8f, 0.4f}}};
// Reverb: room size, damping, wet level, dry level.
const ParamSpec kReverbParams[] = {{L"Room Size", 0.0f, 1.0f, 0.6f},
                                   {L"Damping", 0.0f, 1.0f, 0.5f},
                                   {L"Wet Level", 0.0f, 1.0f, 0.3f},
                                   {L"Dry Level", 0.0f, 1.0f, 1.0f}};
const Preset kReverbPresets[] = {
    {L"Small Room", {0.3f, 0.6f, 0.25f, 1.0f}}, {L"Concert Hall", {0.8f, 0.4f, 0.35f, 0.9f}},
    {L"Cathedral", {0.95f, 0.25f, 0.45f, 0.8f}}, {L"Plate", {0.6f, 0.1f, 0.3f, 1.0f}}};
// Chorus: rate, depth, base delay, mix.
const ParamSpec kChorusParams[] = {{L"Rate (Hz)", 0.05f, 5.0f, 0.8f},
                                   {L"Depth (ms)", 0.0f, 10.0f, 3.0f},
                                   {L"Delay (ms)", 5.0f, 40.0f, 15.0f},
                                   {L"Mix", 0.0f, 1.0f, 0.5f}};
const Preset kChorusPresets[] = {
    {L"Gentle", {0.5f, 2.0f, 15.0f, 0.4f}}, {L"Ensemble", {1.2f, 4.0f, 20.0f, 0.5f}},
    {L"Warble", {3.5f, 6.0f, 10.0f, 0.5f}}};
// Flanger: rate, depth, feedback, mix.
const ParamSpec kFlangerParams[] = {{L"Rate (Hz)", 0.05f, 5.0f, 0.25f},
                                    {L"Depth (ms)", 0.0f, 5.0f, 2.0f},
                                    {L"Feedback", -0.95f, 0.95f, 0.5f},
                                    {L"Mix", 0.0f, 1.0f, 0.5f}};
const Preset kFlangerPresets[] = {
    {L"Jet", {0.15f, 3.0f, 0.8f, 0.5f}}, {L"Subtle", {0.3f, 1.0f, 0.3f, 0.4f}},
    {L"Metallic", {1.0f, 1.5f, -0.8f, 0.5f}}};
// Distortion: drive, tone (low-pass cut-off), output level, mix.
const ParamSpec kDistortionParams[] = {{L"Drive (dB)", 0.0f, 40.0f, 20.0f},
                                       {L"Tone (Hz)", 500.0f, 20000.0f, 6000.0f},
                                       {L"Level", 0.0f, 1.0f, 0.5f},
                                       {L"Mix", 0.0f, 1.0f, 1.0f}};
const Preset kDistortionPresets[] = {
    {L"Overdrive", {12.0f, 8000.0f, 0.6f, 1.0f}}, {L"Fuzz", {35.0f, 4000.0f, 0.4f, 1.0f}},
    {L"Telephone", {18.0f, 2500.0f, 0.5f, 1.0f}}};
// Tremolo: rate, depth.
const ParamSpec kTremoloParams[] = {{L"Rate (Hz)", 0.1f, 20.0f, 5.0f}, {L"Depth", 0.0f, 1.0f, 0.5f}};
const Preset kTremoloPresets[] = {{L"Slow Pulse", {2.0f, 0.6f}}, {L"Vibrant", {6.0f, 0.5f}}, {L"Helicopter", {14.0f, 1.0f}}};
// Gain: a plain level stage, no presets.
const ParamSpec kGainParams[] = {{L"Gain (dB)", -40.0f, 20.0f, 0.0f}};

template <typename T, int N>
constexpr int Count(const T (&)[N])
{
    return N;
}

#define EFFECTS_ENTRY(id, type, name, params, presets, make) \
    {id, type, name, params, Count(params), presets, Count(presets), make}

const EffectDescriptor kCatalog[] = {
    EFFECTS_ENTRY(1, kVoiceMorphing, L"Pitch Up", kPitchUpParams, kPitchUpPresets, MakePitchShifter),
    EFFECTS_ENTRY(2, kVoiceMorphing, L"Pitch Down", kPitchDownParams, kPitchDownPresets, MakePitchShifter),
    EFFECTS_ENTRY(3, kVoiceMorphing, L"Chipmunk", kChipmunkParams, kChipmunkPresets, MakePitchShifter),
    EFFECTS_ENTRY(4, kVoiceMorphing, L"Giant", kGiantParams, kGiantPresets, MakePitchShifter),
    EFFECTS_ENTRY(5, kVoiceMorphing, L"Robot", kRobotParams, kRobotPresets, MakeRobot),
    EFFECTS_ENTRY(6, kVoiceMorphing, L"Whisper", kWhisperParams, kWhisperPresets, MakeWhisper),
    EFFECTS_ENTRY(20, kSpecialEffect, L"Echo", kEchoParams, kEchoPresets, MakeEcho),
    EFFECTS_ENTRY(21, kSpecialEffect, L"Reverb", kReverbParams, kReverbPresets, MakeReverb),
    EFFECTS_ENTRY(22, kSpecialEffect, L"Chorus", kChorusParams, kChorusPresets, MakeChorus),
    EFFECTS_ENTRY(23, kSpecialEffect, L"Flanger", kFlangerParams, kFlangerPresets, MakeFlanger),
    EFFECTS_ENTRY(24, kSpecialEffect, L"Distortion", kDistortionParams, kDistortionPresets, MakeDistortion),
    EFFECTS_ENTRY(25, kSpecialEffect, L"Tremolo", kTremoloParams, kTremoloPresets, MakeTremolo),
    {26, kSpecialEffect, L"Gain", kGainParams, Count(kGainParams), nullptr, 0, MakeGain},
};

#undef EFFECTS_ENTRY

}  // namespace

int CatalogCount()
{
    return Count(kCatalog);
}

const EffectDescriptor* CatalogAt(int index)
{
    return index >= 0 && index < CatalogCount() ? &kCatalog[index] : nullptr;
}

const EffectDescriptor* CatalogFind(int id)
{
    for (const EffectDescriptor& entry : kCatalog) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

std::unique_ptr<Effect> CreateEffect(const EffectDescriptor& descriptor)
{
    try {
        return descriptor.create ? descriptor.create(descriptor) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace effects
