// Measuring recorded test tones: where the sound is, its frequency and level,
// and whether it ran on without gaps, dropped or repeated stretches.
// Platform-neutral, so the measurements themselves are tested natively.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace audiotest {

// One channel of a 16-bit interleaved recording, as floats in sample units.
std::vector<double> Channel(const std::vector<std::int16_t>& interleaved, int channels, int channel);

struct Span {
    std::int64_t first = -1;   // first sample above the threshold, -1 when none
    std::int64_t last = -1;    // last sample above it
    std::int64_t Length() const { return first < 0 ? 0 : last - first + 1; }
};

// The stretch from the first to the last sample whose magnitude exceeds `threshold`.
Span FindSound(const std::vector<double>& x, double threshold, std::int64_t from = 0);

// Root mean square over [from, to).
double Rms(const std::vector<double>& x, std::int64_t from, std::int64_t to);

// Frequency in Hz from the rising zero crossings in [from, to), interpolated:
// the mean of the periods near their median (stray crossings and gaps do not count).
double MeasureFrequency(const std::vector<double>& x, std::int64_t from, std::int64_t to, double rate);

// Frames from frame `from` until the tone is above `hz` (`above`) or below
// it, in 10 ms windows (counted from the first's middle), for 100 ms on end;
// -1 when never. How late a switch of pitch is heard.
std::int64_t FramesUntilPitch(const std::vector<double>& x, std::int64_t from, double hz, bool above, int rate);

// The phase (degrees) of a sine of `hz` fitted over [from, to), counted from
// frame 0: the same before and after a stretch exactly when nothing of the
// stream was lost or repeated in between.
double PhaseAt(const std::vector<double>& x, std::int64_t from, std::int64_t to, double hz, int rate);

struct ToneCheck {
    bool continuous = false;      // every window matched the tone's phase and level
    double amplitude = 0;         // median fitted amplitude
    double worstPhase = 0;        // largest phase step between windows, degrees
    double worstLevel = 0;        // largest relative level difference of a window
    std::int64_t worstWindow = -1;
    std::vector<std::int64_t> faults;   // first samples of the windows that did not match
    std::string Describe() const;
};

// Fits a sine of `hz` in consecutive windows of `window` samples over
// [from, to) (the sound itself, without its edges) and checks that its phase
// stays put (a gap or a repeated stretch shifts it) and its level too (a
// stretch of silence lowers it): phase steps at most `maxPhaseDegrees`, level
// within `maxLevel` of the median.
ToneCheck CheckTone(const std::vector<double>& x, std::int64_t from, std::int64_t to, double hz, double rate,
                    std::int64_t window = 441, double maxPhaseDegrees = 4.0, double maxLevel = 0.05);

// A stretch of silence inside the sound: frames at exact zero in every
// channel, with sounding frames before and after it.
struct Silence {
    std::int64_t frame = 0;    // its first frame in the recording
    std::int64_t frames = 0;   // its length
    // Frames of the stream missing across it, told by the tones on both sides
    // (each to within half its period; the worst of the channels), NaN where
    // no tone tells. Silence the sound server inserts loses nothing: its
    // stream goes on after it unchanged, at most a frame early or late (where
    // it starts again). Silence written over the stream (a program's) takes
    // the frames it covers.
    double lost = std::numeric_limits<double>::quiet_NaN();
    bool LostNothing() const { return std::fabs(lost) <= 1.5; }
    bool Told() const { return !std::isnan(lost); }
    std::string Describe(double rate) const;
};

// Every stretch of `minFrames` to `maxFrames` frames at exact zero in every
// channel, between sounding frames (silence before and after the sound, and
// longer pauses, are none) with a sample of at least `level` within 64 frames
// on each side (a quiet onset or fade crosses zero now and then), judged by the tones of `hz` (one a channel, 0
// where a channel tells nothing) in the sound around it. Stretches closer
// together than a few periods are judged as one.
std::vector<Silence> FindSilences(const std::vector<std::int16_t>& interleaved, int channels,
                                  const std::vector<double>& hz, double rate, std::int64_t minFrames = 2,
                                  std::int64_t maxFrames = 22050, int level = 1000);

// The recording without the given stretches (those of FindSilences, in order).
std::vector<std::int16_t> WithoutSilences(const std::vector<std::int16_t>& interleaved, int channels,
                                          const std::vector<Silence>& silences);

// Stretches of silence the sound server played on its own. When a playing
// program falls behind, the server plays digital silence in every channel
// and then the rest of the stream, later but unchanged (its null sink runs
// without rewinds in the tests, so nothing already rendered is replaced).
struct Dropouts {
    int count = 0;
    std::int64_t frames = 0;     // in all
    std::int64_t longest = 0;
    std::string Describe() const;
};

// The recording without such stretches: runs of `minFrames` to `maxFrames`
// frames at exact zero in every channel, lying between sounding frames
// (silence before and after the sound stays, and so do longer pauses).
// A tone never holds a whole run of zeros in every channel, so a stretch the
// program played itself is never taken out unless it was silence.
std::vector<std::int16_t> RemoveDropouts(const std::vector<std::int16_t>& interleaved, int channels,
                                         Dropouts* found = nullptr, std::int64_t minFrames = 32,
                                         std::int64_t maxFrames = 22050);

// Places where the sound server lost (or doubled) a few frames of a stereo
// stream: both channels shift together by the same small time. Wine's way to
// the sound server does that when its threads were starved. It needs a tone of
// a different frequency in each channel: then a lost stretch of the program's
// own (a block, a period) shifts the two phases by different times and is not
// taken for a slip.
struct Slips {
    int count = 0;
    double largest = 0;        // largest shift, frames (negative: frames doubled)
    std::vector<std::int64_t> at;   // where each one is (the first frame of its window)
    std::string Describe() const;
};

// Slips of at most `maxFrames` frames in [from, to) of a recording whose left
// channel holds a sine of `hzLeft` and the right one of `hzRight` (windows of
// `window` frames, a phase step above `minPhaseDegrees` in either channel counts).
Slips FindSlips(const std::vector<double>& left, const std::vector<double>& right, std::int64_t from,
                std::int64_t to, double hzLeft, double hzRight, double rate, double maxFrames = 16,
                std::int64_t window = 441, double minPhaseDegrees = 4.0);

// Why a recording that was not as expected may be made again: what the sound
// server did to it (its inserted silence; slips, where the left and right
// channels hold tones of `hzLeft` and `hzRight` that tell them). Empty when it
// shows nothing of the kind: then the fault is the program's, and a test must
// not try again.
std::string ServerAlterations(const std::vector<std::int16_t>& interleaved, int channels, double hzLeft = 0,
                              double hzRight = 0, double rate = 44100);

}  // namespace audiotest
