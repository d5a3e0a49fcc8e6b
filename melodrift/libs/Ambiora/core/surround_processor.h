// The surround processor behind Ambiora: places a source in a virtual room over
// a speaker layout, adds the room's early reflections and reverberation tail,
// and feeds the low-frequency channel. Platform-neutral; the DLL wraps it.
//
// Geometry (metres, top view): the room spans x = 0..width (left to right) and
// y = 0..height (front to back); the listener sits in the middle and faces the
// front wall (y = 0). The speakers of the layout stand on a circle around the
// listener at their usual directions (front left -30 degrees, surround left
// -90, back left -140, ...).
//
// Signal paths, summed into the output speakers:
//   original     the input channels as they are, on the matching speakers
//                (front left/right for mono and stereo), times the dry level
//   positioned   the source (the mean of the input channels) panned between
//                the two speakers around its direction, spread over all
//                speakers as it nears the listener, attenuated with distance,
//                each speaker delayed by its extra path when delays are on,
//                times the positioning volume
//   reflections  with reverberation and "process advance" on: the four
//                first-order wall reflections (image sources), each delayed,
//                damped by the wall absorption and panned from its direction
//   reverb       with reverberation on: an eight-line feedback delay network
//                whose line lengths follow the room's mean free path and whose
//                decay follows Sabine's reverberation time from the room size
//                and absorption; high frequencies decay faster with the
//                high-frequency decay; every speaker gets its own mix of the
//                lines; times the wet level
//   low frequency  the source below the cut-off (fourth-order low-pass), times
//                the LFE volume, on the LFE speaker when the layout has one
//
// Setters that take an `update` flag store the value and, when the flag is set,
// bring every derived coefficient up to date; with the flag clear the value
// waits for the next update. Changes of position, room or layout are faded in
// over a few milliseconds, so nothing clicks.
//
// Not thread-safe: one thread at a time (the player calls it under its effects
// lock). Process allocates nothing; SetInputFormat and the constructor do.
#pragma once

#include <cstdint>
#include <vector>

namespace ambiora {

// Speaker positions of a channel mask, as in the platform's wave formats.
enum : std::uint32_t {
    kFrontLeft = 0x1,
    kFrontRight = 0x2,
    kFrontCenter = 0x4,
    kLowFrequency = 0x8,
    kBackLeft = 0x10,
    kBackRight = 0x20,
    kFrontLeftOfCenter = 0x40,
    kFrontRightOfCenter = 0x80,
    kBackCenter = 0x100,
    kSideLeft = 0x200,
    kSideRight = 0x400,
    kKnownSpeakers = 0x7FF,
};

constexpr int kMaxChannels = 8;

// Number of speakers in a mask.
int SpeakerCount(std::uint32_t mask);
// Whether the processor can drive this layout: known speakers only, 1 to 8 of
// them, at least one that is not the LFE.
bool IsSupportedLayout(std::uint32_t mask);
// The usual mask of a channel count (1 centre, 2 stereo, 4 quad, 6 5.1, ...).
std::uint32_t DefaultMask(int channels);
// Direction of a speaker in degrees (0 front, positive to the right), or a NaN
// for the LFE and unknown bits.
double SpeakerAzimuth(std::uint32_t speakerBit);

struct StreamFormat {
    std::int32_t channels = 2;
    std::int32_t sampleRate = 44100;
    std::uint32_t channelMask = kFrontLeft | kFrontRight;
};

class SurroundProcessor {
public:
    // Stereo input at 44.1 kHz, 5.1 output, a 20 m room, the source in front.
    SurroundProcessor();
    ~SurroundProcessor();
    SurroundProcessor(const SurroundProcessor&) = delete;
    SurroundProcessor& operator=(const SurroundProcessor&) = delete;

    // 1 to 8 channels at 8 kHz to 384 kHz; a mask whose speaker count does not
    // match the channels is replaced by the usual one. False (nothing changed)
    // otherwise. Clears the sound held in the delay lines and the tail.
    bool SetInputFormat(const StreamFormat& format);
    StreamFormat GetInputFormat() const { return m_input; }

    // Output layout; false (layout unchanged) for an unsupported mask.
    bool SetSpeakersConfig(std::uint32_t mask, bool update);
    std::int32_t GetOutputChannels() const { return static_cast<std::int32_t>(m_speakers.size()); }
    std::uint32_t GetOutputChannelMask() const { return m_outputMask; }

    // Source position in metres (kept inside the room when applied).
    void SetSoundPos(float x, float y, bool update);
    // Room width and depth in metres, each limited to 1..60.
    void SetRoomSize(float width, float height, bool update);
    // 0..1: how much faster high frequencies die away in the tail.
    void SetRevHFDecay(float value);
    // 0.01..0.99: absorption of the walls (more absorption, shorter tail).
    void SetRevAbsorb(float value);
    // Levels (linear, 0..4) of the original sound and of the reverberation.
    void SetRevDry(float value);
    void SetRevWet(float value);
    // Levels (linear, 0..4) of the low-frequency channel and the positioned sound.
    void SetLFEVolume(float value, bool update);
    void SetVolume(float value, bool update);
    // Cut-off of the low-frequency channel in Hz (limited to 20..500 and below
    // 0.45 of the sample rate).
    void SetLFEMaxFreq(std::int32_t hz, bool update);
    void SetReverb(bool on);
    void SetProcessAdvance(bool on);   // early reflections (with reverberation on)
    void SetMoveOff(bool on);          // per-speaker path delays

    // Processes `frames` frames in place: reads the input channels from
    // channels[0 .. input channels - 1] and writes the output channels to
    // channels[0 .. output channels - 1]; `slots` is the number of arrays the
    // caller holds. False, with nothing touched, for null arrays, a frame count
    // below 1 or fewer slots than either channel count.
    bool Process(float* const* channels, std::int32_t slots, std::int32_t frames);

    // Silences the delay lines, the tail and the filters.
    void Reset();

    // Reverberation time (seconds to fall by 60 dB) of the current room.
    double GetReverbTime() const { return m_rt60; }

private:
    struct Tap {
        std::int32_t delay;   // samples behind the newest source sample
        std::int32_t speaker;
        float gain;
    };
    struct Biquad {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        double z1 = 0, z2 = 0;
        float Run(float x);
    };

    void Update();
    void UpdateRoute();
    void UpdateReverb();
    void UpdateLowFrequency();
    void BuildTaps(std::vector<Tap>& taps) const;
    void PanDirection(double azimuth, double spread, double gains[kMaxChannels]) const;
    void ProcessChunk(float* const* channels, std::int32_t offset, std::int32_t frames);

    StreamFormat m_input;
    std::uint32_t m_outputMask = 0;
    std::vector<std::uint32_t> m_speakers;   // speaker bit of each output channel
    int m_lfeChannel = -1;

    // Pending and applied settings.
    std::uint32_t m_pendingMask = 0;
    float m_x = 0, m_y = 0, m_width = 20, m_height = 20;
    float m_hfDecay = 0.42f, m_absorb = 0.14f, m_dry = 0.21f, m_wet = 1.01f;
    float m_lfeVolume = 1.0f, m_volume = 2.24f;
    std::int32_t m_lfeFreq = 80;
    bool m_reverbOn = true, m_advanceOn = false, m_delaysOn = true;

    // Applied state.
    float m_appliedDry = 0.21f, m_appliedLfeVolume = 1.0f;
    float m_route[kMaxChannels][kMaxChannels] = {};   // original sound: input channel -> output
    std::vector<Tap> m_taps[2];
    int m_current = 0;
    std::int32_t m_fadeLeft = 0;
    std::int32_t m_fadeLength = 1;
    std::uint32_t m_appliedMask = 0;

    // Source delay line (power-of-two length).
    std::vector<float> m_line;
    std::uint32_t m_lineMask = 0;
    std::uint32_t m_writePos = 0;

    // Reverberation network.
    static constexpr int kLines = 8;
    std::vector<float> m_fdn[kLines];
    std::int32_t m_fdnLength[kLines] = {};
    std::int32_t m_fdnPos[kLines] = {};
    float m_fdnGain[kLines] = {};
    float m_fdnDamp = 0;
    float m_fdnState[kLines] = {};
    std::int32_t m_preDelay = 0;
    double m_rt60 = 0;

    Biquad m_lfe[2];

    // Scratch for one chunk.
    static constexpr int kChunk = 256;
    float m_in[kMaxChannels][kChunk] = {};
    float m_mono[kChunk] = {};
};

}  // namespace ambiora
