// The tone measurements the playback and capture tests rely on: they must
// notice a gap, a dropped stretch, a repeated stretch and a level change.
#include "audiotest/tone_analysis.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace audiotest;

namespace {

constexpr double kRate = 44100;

std::vector<double> Tone(double hz, double amplitude, int frames, int silenceBefore = 0, int silenceAfter = 0)
{
    std::vector<double> x(silenceBefore, 0.0);
    for (int i = 0; i < frames; ++i) {
        x.push_back(std::round(amplitude * std::sin(2 * 3.14159265358979 * hz * i / kRate + 0.3)));
    }
    x.insert(x.end(), silenceAfter, 0.0);
    return x;
}

}  // namespace

TEST(AudioTestAnalysis, MeasuresAWholeTone)
{
    const std::vector<double> x = Tone(997, 16383, 88200, 5000, 3000);
    const Span s = FindSound(x, 300);
    EXPECT_NEAR(s.first, 5000, 2);
    EXPECT_NEAR(s.Length(), 88200, 30);
    EXPECT_NEAR(MeasureFrequency(x, s.first, s.last, kRate), 997.0, 0.05);
    EXPECT_NEAR(Rms(x, s.first, s.last) * std::sqrt(2.0), 16383, 20);
    const ToneCheck c = CheckTone(x, s.first + 441, s.last - 441, 997, kRate);
    EXPECT_TRUE(c.continuous) << c.Describe();
    EXPECT_NEAR(c.amplitude, 16383, 10);
}

TEST(AudioTestAnalysis, NoticesGapsDropsRepeatsAndLevelChanges)
{
    const std::vector<double> clean = Tone(997, 16383, 88200);
    auto check = [](const std::vector<double>& x) { return CheckTone(x, 441, static_cast<std::int64_t>(x.size()) - 441, 997, kRate); };

    std::vector<double> gap = clean;   // 5 ms of silence in the middle
    gap.insert(gap.begin() + 40000, 220, 0.0);
    EXPECT_FALSE(check(gap).continuous);

    std::vector<double> dropped = clean;   // a 10 ms stretch lost
    dropped.erase(dropped.begin() + 40000, dropped.begin() + 40441);
    EXPECT_FALSE(check(dropped).continuous) << check(dropped).Describe();

    std::vector<double> repeated = clean;   // a segment's worth played twice
    repeated.insert(repeated.begin() + 44100, clean.begin() + 33075, clean.begin() + 44100);
    EXPECT_FALSE(check(repeated).continuous);

    std::vector<double> quieter = clean;   // the second half at half level
    for (std::size_t i = 44100; i < quieter.size(); ++i) quieter[i] *= 0.5;
    EXPECT_FALSE(check(quieter).continuous);

    EXPECT_TRUE(check(clean).continuous);
}

TEST(AudioTestAnalysis, ChannelsAndEmptyInput)
{
    const std::vector<std::int16_t> interleaved = {1, -1, 2, -2, 3, -3};
    EXPECT_EQ(Channel(interleaved, 2, 1), (std::vector<double>{-1, -2, -3}));
    EXPECT_TRUE(Channel(interleaved, 2, 2).empty());
    EXPECT_EQ(FindSound({}, 1).first, -1);
    EXPECT_EQ(FindSound({}, 1).Length(), 0);
    EXPECT_EQ(Rms({}, 0, 10), 0.0);
    EXPECT_EQ(MeasureFrequency({1, 2, 3}, 0, 3, kRate), 0.0);
    EXPECT_FALSE(CheckTone(std::vector<double>(100, 0.0), 0, 100, 997, kRate).continuous);
}

namespace {

// Two channels of tone (997 Hz left, 1499 Hz right) with silence around it.
std::vector<std::int16_t> Stereo(int frames, int before, int after)
{
    const std::vector<double> l = Tone(997, 16383, frames, before, after);
    const std::vector<double> r = Tone(1499, 8191, frames, before, after);
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i < l.size(); ++i) {
        out.push_back(static_cast<std::int16_t>(l[i]));
        out.push_back(static_cast<std::int16_t>(r[i]));
    }
    return out;
}

void InsertSilence(std::vector<std::int16_t>& x, int atFrame, int frames)
{
    x.insert(x.begin() + 2 * atFrame, static_cast<std::size_t>(2 * frames), std::int16_t{0});
}

}  // namespace

TEST(AudioTestAnalysis, SilenceTheServerInsertedIsTakenOutAndTheToneIsWholeAgain)
{
    const std::vector<std::int16_t> clean = Stereo(88200, 3000, 2000);
    std::vector<std::int16_t> x = clean;
    InsertSilence(x, 60000, 2787);   // a long one, then one of 1 ms
    InsertSilence(x, 30000, 44);
    Dropouts d;
    const std::vector<std::int16_t> out = RemoveDropouts(x, 2, &d);
    EXPECT_EQ(out, clean);
    EXPECT_EQ(d.count, 2);
    EXPECT_EQ(d.frames, 2787 + 44);
    EXPECT_EQ(d.longest, 2787);
    EXPECT_NE(d.Describe().find("2 stretches"), std::string::npos) << d.Describe();

    // Without the server's silence the same recording is untouched.
    Dropouts none;
    EXPECT_EQ(RemoveDropouts(clean, 2, &none), clean);
    EXPECT_EQ(none.count, 0);

    // Six frames of it stay in the recording (shorter than a check takes out),
    // and they are still told as the server's: a reason to record again.
    std::vector<std::int16_t> brief = clean;
    InsertSilence(brief, 20000, 6);
    EXPECT_EQ(RemoveDropouts(brief, 2), brief);
    EXPECT_NE(ServerAlterations(brief, 2).find("inserted silence"), std::string::npos);
    EXPECT_EQ(ServerAlterations(clean, 2), "");

    // Judged by the tones: the server's silence loses nothing, even in a
    // cluster; 50 ms of zeros written over the tone take its frames.
    InsertSilence(brief, 20010, 3);
    std::vector<Silence> found = FindSilences(brief, 2, {997, 1499}, kRate);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(found[0].LostNothing() && found[1].LostNothing()) << found[0].Describe(kRate);
    std::vector<std::int16_t> written = clean;
    std::fill(written.begin() + 2 * 44110, written.begin() + 2 * (44110 + 2205), std::int16_t{0});
    found = FindSilences(written, 2, {997, 1499}, kRate);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].LostNothing()) << found[0].Describe(kRate);
    EXPECT_TRUE(found[0].Told());
    // A tone that is not there tells nothing; quiet sound crossing zero now
    // and then holds no silence inside the sound.
    EXPECT_FALSE(FindSilences(brief, 2, {500, 500}, kRate)[0].Told());
    for (std::int16_t& v : brief) v = static_cast<std::int16_t>(v / 200);
    EXPECT_TRUE(FindSilences(brief, 2, {997, 1499}, kRate).empty());
}

TEST(AudioTestAnalysis, SilenceThatIsNotTheServersStays)
{
    std::vector<std::int16_t> x = Stereo(44100, 100, 100);
    // Zeros in one channel only: the program played them.
    for (int f = 20000; f < 21000; ++f) x[2 * f + 1] = 0;
    // A run shorter than the least dropout, and a pause longer than the most.
    InsertSilence(x, 10000, 31);
    InsertSilence(x, 30000, 30000);
    Dropouts d;
    EXPECT_EQ(RemoveDropouts(x, 2, &d), x);
    EXPECT_EQ(d.count, 0);
    // The same pause counts as a dropout when the caller allows that length.
    EXPECT_EQ(RemoveDropouts(x, 2, &d, 32, 30000).size(), x.size() - 2 * 30000);

    // A lost stretch is not silence: nothing is taken out and the gap shows.
    const std::vector<std::int16_t> clean = Stereo(88200, 0, 0);
    std::vector<std::int16_t> lost = clean;
    lost.erase(lost.begin() + 2 * 40000, lost.begin() + 2 * 40034);
    const std::vector<double> left = Channel(RemoveDropouts(lost, 2, &d), 2, 0);
    EXPECT_EQ(d.count, 0);
    EXPECT_FALSE(CheckTone(left, 441, static_cast<std::int64_t>(left.size()) - 441, 997, kRate).continuous);

    // Odd input: no channels, a partial frame at the end.
    EXPECT_EQ(RemoveDropouts({1, 2, 3}, 0, &d), (std::vector<std::int16_t>{1, 2, 3}));
    EXPECT_EQ(RemoveDropouts({1, 2, 0}, 2, &d), (std::vector<std::int16_t>{1, 2, 0}));
}

TEST(AudioTestAnalysis, SlipsOfTheServerAreToldFromStretchesTheProgramLost)
{
    const std::vector<std::int16_t> clean = Stereo(88200, 0, 0);
    auto slipsOf = [](const std::vector<std::int16_t>& x) {
        return FindSlips(Channel(x, 2, 0), Channel(x, 2, 1), 441, static_cast<std::int64_t>(x.size() / 2) - 441, 997,
                         1499, kRate);
    };
    EXPECT_EQ(slipsOf(clean).count, 0);

    // A few frames lost, or doubled, in both channels at once (inside a window,
    // on a window's edge, and so near a window's end that the window barely
    // moves and the next one shows the step): the server's slips.
    std::vector<std::int16_t> lost = clean;
    lost.erase(lost.begin() + 2 * 30100, lost.begin() + 2 * 30105);
    lost.insert(lost.begin() + 2 * 61740, lost.begin() + 2 * 61737, lost.begin() + 2 * 61740);
    lost.erase(lost.begin() + 2 * 79330, lost.begin() + 2 * 79333);
    const Slips slips = slipsOf(lost);
    EXPECT_EQ(slips.count, 3) << slips.Describe();
    EXPECT_NEAR(slips.largest, 5, 0.3) << slips.Describe();

    // Stretches a program would lose (a window, a block, a period of one tone):
    // the two tones shift by different times, so none is a slip.
    for (int frames : {441, 1024, 4410, 44, 176}) {
        std::vector<std::int16_t> x = clean;
        x.erase(x.begin() + 2 * 40000, x.begin() + 2 * (40000 + frames));
        EXPECT_EQ(slipsOf(x).count, 0) << frames << " frames lost: " << slipsOf(x).Describe();
    }
}

