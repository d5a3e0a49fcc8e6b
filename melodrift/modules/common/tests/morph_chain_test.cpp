// The effects chain of the modules' data paths with the effect manager's own
// effects: a choice switched while a tone streams through in player-sized
// blocks is heard at once without a gap and taken off again to the untouched
// sound; what leaves is finite and within full scale whatever comes in; an
// effect that fails leaves the sound as it was and says so once.
#include "morph_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

// Allocations made while the chain runs its data path on this thread.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"   // the replaced forms pair with malloc and free
#endif
namespace {
thread_local bool t_onDataPath = false;
thread_local int t_dataPathAllocations = 0;
}  // namespace
void* operator new(std::size_t size) {
    if (t_onDataPath) ++t_dataPathAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (t_onDataPath) ++t_dataPathAllocations;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// The table of the effect manager, read as the modules read it.
struct Table {
    CSonarix sonarix;
    std::vector<orvo::EffectEntry> entries;
    Table() {
        sonarix.Initialize();
        CEffectTable* table = sonarix.GetEffectTable();
        for (int i = 0; table && i < table->GetCount(); ++i) {
            CEffectInfo* info = table->GetAt(i);
            enEffect* effect = info->CreateEffect();
            orvo::EffectEntry e;
            e.id = info->GetID();
            e.type = info->GetEffectType();
            e.name = info->GetName();
            e.info = info;
            for (int p = 0; p < effect->GetParamCount(); ++p) {
                SonarixParamInfo pi = {};
                effect->GetParamInfo(p, &pi);
                e.params.push_back({pi.name, pi.minimum, pi.maximum, pi.defaultValue});
            }
            effect->Destroy();
            entries.push_back(e);
        }
    }
};

// Streams a stereo sine through the chain in blocks of 512 frames; returns the left channel out.
std::vector<float> Stream(orvo::CEffectChain& chain, double hz, int from, int frames, std::vector<float>* input = nullptr,
                          int rate = kRate) {
    std::vector<float> out;
    std::vector<float> block(1024);
    for (int at = from; at < from + frames; at += 512) {
        for (int f = 0; f < 512; ++f) block[2 * f] = block[2 * f + 1] = static_cast<float>(0.5 * std::sin(2 * kPi * hz * (at + f) / rate));
        if (input)
            for (int f = 0; f < 512; ++f) input->push_back(block[2 * f]);
        t_onDataPath = true;
        chain.Process(block.data(), 512, 2, rate);
        t_onDataPath = false;
        for (int f = 0; f < 512; ++f) out.push_back(block[2 * f]);
    }
    return out;
}

// The largest step between neighbouring samples.
float LargestStep(const std::vector<float>& x) {
    float step = 0;
    for (std::size_t i = 1; i < x.size(); ++i) step = std::max(step, std::fabs(x[i] - x[i - 1]));
    return step;
}

// Frequency from the rising zero crossings of [from, to).
double Frequency(const std::vector<float>& x, std::size_t from, std::size_t to, int rate = kRate) {
    double first = -1, last = -1;
    int periods = -1;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = t;
            last = t;
            ++periods;
        }
    }
    return periods > 0 ? periods * rate / (last - first) : 0;
}

// An effect that takes every format and fails on every block.
class FailingEffect final : public enEffect {
public:
    const wchar_t* SONARIX_METHOD GetName() override { return L"Failing"; }
    int SONARIX_METHOD GetEffectType() override { return SONARIX_SPECIAL_EFFECT; }
    int SONARIX_METHOD GetID() override { return 40; }
    int SONARIX_METHOD GetPresetCount() override { return 0; }
    const wchar_t* SONARIX_METHOD GetPresetName(int) override { return nullptr; }
    int SONARIX_METHOD ApplyPreset(int) override { return 0; }
    int SONARIX_METHOD GetParamCount() override { return 0; }
    int SONARIX_METHOD GetParamInfo(int, SonarixParamInfo*) override { return 0; }
    float SONARIX_METHOD GetParam(int) override { return 0; }
    int SONARIX_METHOD SetParam(int, float) override { return 0; }
    int SONARIX_METHOD SetFormat(int, int) override { return 1; }
    int SONARIX_METHOD Process(float*, int) override { return 0; }
    int SONARIX_METHOD ProcessBlock(SampleBlock*) override { return 0; }
    void SONARIX_METHOD Reset() override {}
    void SONARIX_METHOD Destroy() override { delete this; }
};
class FailingInfo final : public CEffectInfo {
public:
    int SONARIX_METHOD GetEffectType() override { return SONARIX_SPECIAL_EFFECT; }
    int SONARIX_METHOD GetID() override { return 40; }
    const wchar_t* SONARIX_METHOD GetName() override { return L"Failing"; }
    enEffect* SONARIX_METHOD CreateEffect() override { return new FailingEffect; }
};

}  // namespace

TEST(MorphChain, SwitchesWithoutAGapAndTakesTheEffectOffAgain) {
    Table table;
    orvo::CEffectChain chain;
    std::vector<float> input;
    std::vector<float> out = Stream(chain, 440, 0, kRate, &input);
    EXPECT_EQ(out, input);   // nothing chosen: the sound passes untouched
    orvo::MorphChoice choice;
    choice.voice = SONARIX_ID_PITCH_UP;   // four semitones
    ASSERT_TRUE(chain.Choose(choice, table.entries));
    const std::vector<float> up = Stream(chain, 440, kRate, kRate + kRate / 2);
    choice.voice = 0;
    ASSERT_TRUE(chain.Choose(choice, table.entries));
    std::vector<float> backIn;
    const std::vector<float> back = Stream(chain, 440, 2 * kRate + kRate / 2, kRate, &backIn);
    out.insert(out.end(), up.begin(), up.end());
    out.insert(out.end(), back.begin(), back.end());

    const double ratio = std::pow(2.0, 4.0 / 12.0);
    EXPECT_NEAR(Frequency(up, kRate / 10, up.size()), 440 * ratio, 440 * ratio * 0.01);
    // Back to the untouched sound once the fade is over.
    const std::size_t settled = kRate / 10;
    EXPECT_TRUE(std::equal(back.begin() + settled, back.end(), backIn.begin() + settled));
    EXPECT_FALSE(chain.TakeFailure());
    // No gap: every 5 ms of the whole stream keeps a good part of the tone's
    // level (the phase vocoder's output of a pure tone itself wavers by 10 dB).
    const std::size_t window = kRate / 200;
    double quietest = 1;
    for (std::size_t at = 0; at + window <= out.size(); at += window / 2) {
        double sum = 0;
        for (std::size_t i = at; i < at + window; ++i) sum += out[i] * out[i];
        quietest = std::min(quietest, std::sqrt(sum / window));
    }
    EXPECT_GT(quietest, 0.5 / std::sqrt(2.0) * 0.2);

    // Switches that follow one another within the fade fade from what is heard
    // then (none dropped half-way: no step beyond a tone's own), and the data
    // path neither allocates nor frees for them.
    const int before = t_dataPathAllocations;
    std::vector<float> quick;
    const int pitchUp = SONARIX_ID_PITCH_UP;
    for (int voice : {pitchUp, 0, pitchUp, 0, pitchUp, 0}) {
        choice.voice = voice;
        ASSERT_TRUE(chain.Choose(choice, table.entries));
        const std::vector<float> part = Stream(chain, 440, 4 * kRate + static_cast<int>(quick.size()), 512 * 2);
        quick.insert(quick.end(), part.begin(), part.end());
    }
    const std::vector<float> rest = Stream(chain, 440, 4 * kRate + static_cast<int>(quick.size()), kRate / 4);
    quick.insert(quick.end(), rest.begin(), rest.end());
    EXPECT_LT(LargestStep(quick), 2.5 * 0.5 * 2 * kPi * 440 * ratio / kRate);
    EXPECT_EQ(t_dataPathAllocations, before);

    // Streams slower than the effects take are morphed as well (the effects
    // run at a multiple of their rate), switched just as allocation-free.
    for (const int slow : {4000, 6000}) {
        SCOPED_TRACE(slow);
        orvo::CEffectChain slowChain;
        std::vector<float> slowIn;
        EXPECT_EQ(Stream(slowChain, 440, 0, slow / 2, &slowIn, slow), slowIn);
        choice.voice = SONARIX_ID_PITCH_UP;
        ASSERT_TRUE(slowChain.Choose(choice, table.entries));
        const int slowBefore = t_dataPathAllocations;
        slowIn.clear();
        const std::vector<float> slowUp = Stream(slowChain, 440, slow / 2, 2 * slow, &slowIn, slow);
        EXPECT_EQ(t_dataPathAllocations, slowBefore);
        EXPECT_FALSE(slowChain.TakeFailure());
        ASSERT_EQ(slowUp.size(), slowIn.size());
        EXPECT_NEAR(Frequency(slowUp, slow / 2, slowUp.size(), slow), 440 * ratio, 440 * ratio * 0.01);
        double level = 0;
        for (std::size_t i = slow / 2; i < slowUp.size(); ++i) level += slowUp[i] * slowUp[i];
        EXPECT_GT(std::sqrt(level / (slowUp.size() - slow / 2)), 0.5 / std::sqrt(2.0) * 0.5);
    }
}

TEST(MorphChain, LeavesOnlyFiniteSoundWithinFullScaleAndPassesTheSoundWhenAnEffectFails) {
    Table table;
    {
        orvo::CEffectChain chain;
        orvo::MorphChoice choice;
        choice.special = SONARIX_ID_GAIN;
        choice.params[SONARIX_ID_GAIN] = {20.0f};   // ten times louder
        ASSERT_TRUE(chain.Choose(choice, table.entries));
        std::vector<float> block(2 * 512);
        for (int b = 0; b < 40; ++b) {
            for (int f = 0; f < 512; ++f)
                block[2 * f] = block[2 * f + 1] = static_cast<float>(0.9 * std::sin(2 * kPi * 1000 * (b * 512 + f) / kRate));
            if (b == 20) {
                block[10] = std::numeric_limits<float>::quiet_NaN();
                block[11] = std::numeric_limits<float>::infinity();
                block[12] = 1e30f;
            }
            chain.Process(block.data(), 512, 2, kRate);
            for (float v : block) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f) << "block " << b << ": " << v;
        }
    }
    orvo::CEffectChain chain;
    FailingInfo failing;
    orvo::EffectEntry entry;
    entry.id = 40;
    entry.info = &failing;
    orvo::MorphChoice choice;
    choice.special = 40;
    ASSERT_TRUE(chain.Choose(choice, {entry}));
    std::vector<float> input;
    const std::vector<float> out = Stream(chain, 440, 0, kRate / 2, &input);
    EXPECT_EQ(out, input);
    EXPECT_TRUE(chain.TakeFailure());
    EXPECT_FALSE(chain.TakeFailure());
}
