// Tone measurements for the audio tests.
#include "audiotest/tone_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace audiotest {

namespace {
constexpr double kPi = 3.14159265358979323846;

// The phase of a sine of angular frequency `w` fitted to x[start, start + window).
// False where the window holds no such tone.
bool FitPhase(const std::vector<double>& x, std::int64_t start, std::int64_t window, double w, double* phase,
              double* amplitude)
{
    double ss = 0, cc = 0, sc = 0, xs = 0, xc = 0;
    for (std::int64_t n = start; n < start + window; ++n) {
        const double s = std::sin(w * static_cast<double>(n));
        const double c = std::cos(w * static_cast<double>(n));
        ss += s * s;
        cc += c * c;
        sc += s * c;
        xs += x[n] * s;
        xc += x[n] * c;
    }
    const double det = ss * cc - sc * sc;
    if (det == 0) {
        return false;
    }
    const double a = (xs * cc - xc * sc) / det;
    const double b = (xc * ss - xs * sc) / det;
    *amplitude = std::hypot(a, b);
    *phase = std::atan2(b, a);
    return *amplitude > 0;
}

// A phase step brought into (-pi, pi].
double Wrap(double step)
{
    step = std::remainder(step, 2 * kPi);
    return step <= -kPi ? step + 2 * kPi : step;
}

// A phase step as a shift of the tone in time, in frames: within half a period.
double StepAsFrames(double step, double hz, double rate)
{
    return Wrap(step) / (2 * kPi) * rate / hz;
}
}  // namespace

std::vector<double> Channel(const std::vector<std::int16_t>& interleaved, int channels, int channel)
{
    std::vector<double> out;
    if (channels < 1 || channel < 0 || channel >= channels) {
        return out;
    }
    out.reserve(interleaved.size() / channels);
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += channels) {
        out.push_back(interleaved[i]);
    }
    return out;
}

Span FindSound(const std::vector<double>& x, double threshold, std::int64_t from)
{
    Span span;
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < static_cast<std::int64_t>(x.size()); ++i) {
        if (std::fabs(x[i]) > threshold) {
            if (span.first < 0) {
                span.first = i;
            }
            span.last = i;
        }
    }
    return span;
}

double Rms(const std::vector<double>& x, std::int64_t from, std::int64_t to)
{
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, static_cast<std::int64_t>(x.size()));
    if (to <= from) {
        return 0;
    }
    double sum = 0;
    for (std::int64_t i = from; i < to; ++i) {
        sum += x[i] * x[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

std::int64_t FramesUntilPitch(const std::vector<double>& x, std::int64_t from, double hz, bool above, int rate)
{
    const std::int64_t window = rate / 100;
    int run = 0;
    for (std::int64_t at = std::max<std::int64_t>(0, from); at + window <= static_cast<std::int64_t>(x.size()); at += window) {
        const double f = MeasureFrequency(x, at, at + window, rate);
        run = f > 0 && (f > hz) == above ? run + 1 : 0;
        if (run == 10) return at - 9 * window + window / 2 - from;
    }
    return -1;
}

double PhaseAt(const std::vector<double>& x, std::int64_t from, std::int64_t to, double hz, int rate)
{
    double s = 0, c = 0;
    for (std::int64_t i = std::max<std::int64_t>(0, from); i < to && i < static_cast<std::int64_t>(x.size()); ++i) {
        s += x[static_cast<std::size_t>(i)] * std::sin(2 * kPi * hz * static_cast<double>(i) / rate);
        c += x[static_cast<std::size_t>(i)] * std::cos(2 * kPi * hz * static_cast<double>(i) / rate);
    }
    return std::atan2(c, s) * 180 / kPi;
}

double MeasureFrequency(const std::vector<double>& x, std::int64_t from, std::int64_t to, double rate)
{
    from = std::max<std::int64_t>(from, 1);
    to = std::min<std::int64_t>(to, static_cast<std::int64_t>(x.size()));
    std::vector<double> crossings;
    for (std::int64_t i = from; i < to; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            crossings.push_back(static_cast<double>(i - 1) + (-x[i - 1]) / (x[i] - x[i - 1]));
        }
    }
    if (crossings.size() < 2) {
        return 0;
    }
    // The median period: a stray crossing or a gap moves it little.
    std::vector<double> periods;
    for (std::size_t i = 1; i < crossings.size(); ++i) {
        periods.push_back(crossings[i] - crossings[i - 1]);
    }
    std::sort(periods.begin(), periods.end());
    const double median = periods[periods.size() / 2];
    // Refined over the crossings whose periods agree with it.
    double sum = 0;
    int count = 0;
    for (double p : periods) {
        if (std::fabs(p - median) < 0.05 * median) {
            sum += p;
            ++count;
        }
    }
    return rate / (sum / count);
}

ToneCheck CheckTone(const std::vector<double>& x, std::int64_t from, std::int64_t to, double hz, double rate,
                    std::int64_t window, double maxPhaseDegrees, double maxLevel)
{
    ToneCheck check;
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, static_cast<std::int64_t>(x.size()));
    if (window < 8 || to - from < 2 * window) {
        return check;
    }
    const double w = 2 * kPi * hz / rate;
    std::vector<double> amplitudes;
    std::vector<double> phases;
    for (std::int64_t start = from; start + window <= to; start += window) {
        // Least squares of a sin(w n) + b cos(w n) on the absolute sample index.
        double phase = 0, amplitude = 0;
        FitPhase(x, start, window, w, &phase, &amplitude);
        amplitudes.push_back(amplitude);
        phases.push_back(phase);
    }
    std::vector<double> sorted = amplitudes;
    std::sort(sorted.begin(), sorted.end());
    check.amplitude = sorted[sorted.size() / 2];
    check.continuous = check.amplitude > 0;
    for (std::size_t i = 0; i < amplitudes.size(); ++i) {
        const double level = std::fabs(amplitudes[i] / check.amplitude - 1.0);
        bool fault = level > maxLevel;
        if (level > check.worstLevel) {
            check.worstLevel = level;
            if (level > maxLevel) {
                check.worstWindow = static_cast<std::int64_t>(i);
            }
        }
        if (i > 0) {
            double step = std::fabs(phases[i] - phases[i - 1]) * 180.0 / kPi;
            if (step > 180.0) {
                step = 360.0 - step;
            }
            if (step > check.worstPhase) {
                check.worstPhase = step;
                if (step > maxPhaseDegrees) {
                    check.worstWindow = static_cast<std::int64_t>(i);
                }
            }
            fault = fault || step > maxPhaseDegrees;
        }
        if (fault) {
            check.faults.push_back(from + static_cast<std::int64_t>(i) * window);
        }
    }
    check.continuous = check.continuous && check.worstPhase <= maxPhaseDegrees && check.worstLevel <= maxLevel;
    return check;
}

std::vector<Silence> FindSilences(const std::vector<std::int16_t>& interleaved, int channels,
                                  const std::vector<double>& hz, double rate, std::int64_t minFrames,
                                  std::int64_t maxFrames, int level)
{
    std::vector<Silence> found;
    if (channels < 1) {
        return found;
    }
    const std::int64_t frames = static_cast<std::int64_t>(interleaved.size()) / channels;
    auto silent = [&](std::int64_t frame) {
        for (int c = 0; c < channels; ++c) {
            if (interleaved[static_cast<std::size_t>(frame * channels + c)] != 0) {
                return false;
            }
        }
        return true;
    };
    std::int64_t first = 0;
    while (first < frames && silent(first)) {
        ++first;
    }
    for (std::int64_t i = first; i < frames;) {
        if (!silent(i)) {
            ++i;
            continue;
        }
        std::int64_t end = i;
        while (end < frames && silent(end)) {
            ++end;
        }
        // Loud sound on both sides, within a few periods of it.
        auto loud = [&](std::int64_t from, std::int64_t to) {
            from = std::max<std::int64_t>(from, 0);
            to = std::min(to, frames);
            for (std::int64_t f = from; f < to; ++f) {
                for (int c = 0; c < channels; ++c) {
                    if (std::abs(interleaved[static_cast<std::size_t>(f * channels + c)]) >= level) {
                        return true;
                    }
                }
            }
            return false;
        };
        if (end < frames && end - i >= minFrames && end - i <= maxFrames && loud(i - 64, i) && loud(end, end + 64)) {
            Silence s;
            s.frame = i;
            s.frames = end - i;
            found.push_back(s);
        }
        i = end;
    }
    // Each group of stretches with less than `kLeast` sounding frames between
    // them is judged by the sound around the group: up to `kWindow` frames
    // each side, as far as the next stretch of silence of any length.
    constexpr std::int64_t kLeast = 32;
    constexpr std::int64_t kWindow = 441;
    std::vector<std::vector<double>> x;
    for (int c = 0; c < channels; ++c) {
        x.push_back(c < static_cast<int>(hz.size()) && hz[c] > 0 ? Channel(interleaved, channels, c)
                                                                   : std::vector<double>());
    }
    // Sounding frames from `at` on in the direction of `step`, up to `most`
    // (a single silent frame is a tone's zero crossing).
    auto soundingFrom = [&](std::int64_t at, std::int64_t step, std::int64_t most) {
        std::int64_t n = 0;
        for (; n < most; ++n) {
            const std::int64_t f = at + step * n;
            const std::int64_t next = f + step;
            if (f < 0 || f >= frames || (silent(f) && (next < 0 || next >= frames || silent(next)))) {
                break;
            }
        }
        return n;
    };
    for (std::size_t g = 0; g < found.size();) {
        std::size_t last = g;
        std::int64_t silence = found[g].frames;
        while (last + 1 < found.size() &&
               found[last + 1].frame - (found[last].frame + found[last].frames) < kLeast) {
            silence += found[last + 1].frames;
            ++last;
        }
        const std::int64_t before = soundingFrom(found[g].frame - 1, -1, kWindow);
        const std::int64_t afterStart = found[last].frame + found[last].frames;
        const std::int64_t after = soundingFrom(afterStart, 1, kWindow);
        double lost = std::numeric_limits<double>::quiet_NaN();
        for (int c = 0; c < channels && before >= kLeast && after >= kLeast; ++c) {
            if (x[c].empty()) {
                continue;
            }
            const double w = 2 * kPi * hz[c] / rate;
            double pb = 0, ab = 0, pa = 0, aa = 0;
            if (!FitPhase(x[c], found[g].frame - before, before, w, &pb, &ab) ||
                !FitPhase(x[c], afterStart, after, w, &pa, &aa)) {
                continue;
            }
            // Each side must hold the tone at one level: the fit explains it.
            const double rb = Rms(x[c], found[g].frame - before, found[g].frame) * std::sqrt(2.0);
            const double ra = Rms(x[c], afterStart, afterStart + after) * std::sqrt(2.0);
            if (std::fabs(rb / ab - 1) > 0.1 || std::fabs(ra / aa - 1) > 0.1 || std::fabs(aa / ab - 1) > 0.2) {
                continue;
            }
            // Nothing lost: the tone after the silence is the one before it,
            // later by the silence's length.
            const double shift = StepAsFrames(pa - pb + w * static_cast<double>(silence), hz[c], rate);
            if (!(std::fabs(shift) <= std::fabs(lost))) {
                lost = shift;
            }
        }
        for (std::size_t k = g; k <= last; ++k) {
            found[k].lost = lost;
        }
        g = last + 1;
    }
    return found;
}

std::vector<std::int16_t> WithoutSilences(const std::vector<std::int16_t>& interleaved, int channels,
                                          const std::vector<Silence>& silences)
{
    if (channels < 1) {
        return interleaved;
    }
    std::vector<std::int16_t> out;
    out.reserve(interleaved.size());
    std::size_t from = 0;
    for (const Silence& s : silences) {
        const std::size_t at = static_cast<std::size_t>(s.frame * channels);
        if (at < from || at + static_cast<std::size_t>(s.frames * channels) > interleaved.size()) {
            continue;
        }
        out.insert(out.end(), interleaved.begin() + static_cast<std::ptrdiff_t>(from),
                   interleaved.begin() + static_cast<std::ptrdiff_t>(at));
        from = at + static_cast<std::size_t>(s.frames * channels);
    }
    out.insert(out.end(), interleaved.begin() + static_cast<std::ptrdiff_t>(from), interleaved.end());
    return out;
}

std::string Silence::Describe(double rate) const
{
    std::ostringstream out;
    out << frames << " frames of silence at " << static_cast<double>(frame) / rate << " s, ";
    if (!Told()) {
        out << "the stream around it tells nothing";
    } else if (LostNothing()) {
        out << "the stream went on unchanged after it";
    } else {
        out << lost << " frames of the stream lost across it";
    }
    return out.str();
}

std::vector<std::int16_t> RemoveDropouts(const std::vector<std::int16_t>& interleaved, int channels,
                                         Dropouts* found, std::int64_t minFrames, std::int64_t maxFrames)
{
    const std::vector<Silence> silences = FindSilences(interleaved, channels, {}, 0, minFrames, maxFrames, 1);
    Dropouts dropouts;
    for (const Silence& s : silences) {
        ++dropouts.count;
        dropouts.frames += s.frames;
        dropouts.longest = std::max(dropouts.longest, s.frames);
    }
    if (found) {
        *found = dropouts;
    }
    return WithoutSilences(interleaved, channels, silences);
}

std::string Dropouts::Describe() const
{
    std::ostringstream out;
    out << count << " stretch" << (count == 1 ? "" : "es") << " of silence from the sound server taken out ("
        << frames << " frames, the longest " << longest << ")";
    return out.str();
}

Slips FindSlips(const std::vector<double>& left, const std::vector<double>& right, std::int64_t from,
                std::int64_t to, double hzLeft, double hzRight, double rate, double maxFrames, std::int64_t window,
                double minPhaseDegrees)
{
    Slips slips;
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>({to, static_cast<std::int64_t>(left.size()), static_cast<std::int64_t>(right.size())});
    if (window < 8 || hzLeft <= 0 || hzRight <= 0 || std::fabs(hzLeft - hzRight) < 1) {
        return slips;
    }
    const double wl = 2 * kPi * hzLeft / rate;
    const double wr = 2 * kPi * hzRight / rate;
    std::vector<double> pl, pr;
    for (std::int64_t start = from; start + window <= to; start += window) {
        double l = 0, r = 0, al = 0, ar = 0;
        if (!FitPhase(left, start, window, wl, &l, &al) || !FitPhase(right, start, window, wr, &r, &ar)) {
            break;
        }
        pl.push_back(l);
        pr.push_back(r);
    }
    const double minStep = minPhaseDegrees * kPi / 180.0;
    for (std::size_t i = 1; i + 1 < pl.size(); ++i) {
        if (std::fabs(Wrap(pl[i] - pl[i - 1])) <= minStep && std::fabs(Wrap(pr[i] - pr[i - 1])) <= minStep) {
            continue;
        }
        // The shift across the window that holds the step, between whole
        // windows around it: the step may lie in this window, or so late in the
        // one before that that one barely moved. Frames lost put the tone ahead
        // (a forward phase step); the same whole number of frames in both channels.
        const std::size_t before = i >= 2 ? i - 2 : i - 1;
        const double sl = StepAsFrames(pl[i + 1] - pl[before], hzLeft, rate);
        const double sr = StepAsFrames(pr[i + 1] - pr[before], hzRight, rate);
        const double shift = (sl + sr) / 2;
        const bool whole = std::fabs(sl - std::round(sl)) <= 0.3 && std::fabs(sr - std::round(sr)) <= 0.3;
        if (std::fabs(sl - sr) <= 0.35 && whole && std::fabs(shift) >= 0.6 && std::fabs(shift) <= maxFrames) {
            ++slips.count;
            slips.at.push_back(from + static_cast<std::int64_t>(i) * window);
            if (std::fabs(shift) > std::fabs(slips.largest)) {
                slips.largest = shift;
            }
            ++i;   // the next window's step is the same one
        }
    }
    return slips;
}

std::string ServerAlterations(const std::vector<std::int16_t>& interleaved, int channels, double hzLeft,
                              double hzRight, double rate)
{
    // Even a few frames of exact zero in every channel inside a tone are the
    // server's: its stream ran dry for a moment (the checks themselves take
    // out only longer stretches).
    Dropouts dropouts;
    const std::vector<std::int16_t> rest = RemoveDropouts(interleaved, channels, &dropouts, 4);
    std::string cause = dropouts.count > 0 ? "inserted silence: " + dropouts.Describe() : std::string();
    if (channels >= 2 && hzLeft > 0 && hzRight > 0) {
        const std::vector<double> left = Channel(rest, channels, 0);
        const std::vector<double> right = Channel(rest, channels, 1);
        const Span sound = FindSound(left, 100);
        const std::int64_t edge = static_cast<std::int64_t>(rate / 100);
        const Slips slips = FindSlips(left, right, sound.first + edge, sound.last - edge, hzLeft, hzRight, rate);
        if (slips.count > 0) {
            cause += (cause.empty() ? "slip: " : "; slip: ") + slips.Describe();
        }
    }
    return cause;
}

std::string Slips::Describe() const
{
    std::ostringstream out;
    out << count << " slip" << (count == 1 ? "" : "s") << " of the sound server (frames lost or doubled in both "
        << "channels at once, the largest " << largest << " frames)";
    return out.str();
}

std::string ToneCheck::Describe() const
{
    std::ostringstream out;
    out << "amplitude " << amplitude << ", worst phase step " << worstPhase << " deg, worst level "
        << worstLevel * 100 << " %, at window " << worstWindow;
    return out.str();
}

}  // namespace audiotest
