// Sonarix.dll as the frame and the modules use it: the table in its fixed
// order, the effects it creates and gives back, processing through the
// interface.
#include "sonarix/sonarix.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Expected {
    int type;
    int id;
    const wchar_t* name;
    int presets;
};

// The shipped table: order, types, identifiers (menu items 17100 + id),
// names and preset counts.
const Expected kTable[] = {
    {SONARIX_VOICE_MORPHING, 1, L"Pitch Up", 5},   {SONARIX_VOICE_MORPHING, 2, L"Pitch Down", 5},
    {SONARIX_VOICE_MORPHING, 3, L"Chipmunk", 2},   {SONARIX_VOICE_MORPHING, 4, L"Giant", 2},
    {SONARIX_VOICE_MORPHING, 5, L"Robot", 3},      {SONARIX_VOICE_MORPHING, 6, L"Whisper", 2},
    {SONARIX_SPECIAL_EFFECT, 20, L"Echo", 4},      {SONARIX_SPECIAL_EFFECT, 21, L"Reverb", 4},
    {SONARIX_SPECIAL_EFFECT, 22, L"Chorus", 3},    {SONARIX_SPECIAL_EFFECT, 23, L"Flanger", 3},
    {SONARIX_SPECIAL_EFFECT, 24, L"Distortion", 3}, {SONARIX_SPECIAL_EFFECT, 25, L"Tremolo", 3},
    {SONARIX_SPECIAL_EFFECT, 26, L"Gain", 0},
};

TEST(SonarixDll, TableHasTheEffectsInTheirFixedOrder)
{
    CSonarix sonarix;
    EXPECT_EQ(sonarix.GetEffectTable(), nullptr);
    ASSERT_TRUE(sonarix.Initialize());
    ASSERT_TRUE(sonarix.Initialize());   // a second call keeps the manager
    CEffectTable* table = sonarix.GetManager()->GetEffectTable();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->GetCount(), static_cast<int>(std::size(kTable)));
    EXPECT_EQ(table->GetAt(-1), nullptr);
    EXPECT_EQ(table->GetAt(table->GetCount()), nullptr);
    for (int i = 0; i < table->GetCount(); ++i) {
        SCOPED_TRACE(i);
        CEffectInfo* info = table->GetAt(i);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->GetEffectType(), kTable[i].type);
        EXPECT_EQ(info->GetID(), kTable[i].id);
        EXPECT_STREQ(info->GetName(), kTable[i].name);
        EXPECT_EQ(table->FindByID(kTable[i].id), info);
        // Menu items 17100 + id stay below the next command range.
        EXPECT_GT(info->GetID(), 0);
        EXPECT_LT(info->GetID(), 100);

        enEffect* effect = info->CreateEffect();
        ASSERT_NE(effect, nullptr);
        EXPECT_STREQ(effect->GetName(), kTable[i].name);
        EXPECT_EQ(effect->GetID(), kTable[i].id);
        EXPECT_EQ(effect->GetEffectType(), kTable[i].type);
        ASSERT_EQ(effect->GetPresetCount(), kTable[i].presets);
        for (int p = 0; p < effect->GetPresetCount(); ++p) {
            ASSERT_NE(effect->GetPresetName(p), nullptr);
            EXPECT_GT(std::wcslen(effect->GetPresetName(p)), 0u);
            EXPECT_EQ(effect->ApplyPreset(p), 1);
        }
        EXPECT_EQ(effect->GetPresetName(effect->GetPresetCount()), nullptr);
        EXPECT_EQ(effect->ApplyPreset(-1), 0);
        effect->Destroy();
    }
    EXPECT_EQ(table->FindByID(0), nullptr);
    EXPECT_EQ(table->FindByID(17100), nullptr);
}

// The frame's special-effect menu lists the type-0 effects that have
// presets; the table keeps one without presets.
TEST(SonarixDll, SpecialEffectMenuRuleListsOnlyEffectsWithPresets)
{
    CSonarix sonarix;
    ASSERT_TRUE(sonarix.Initialize());
    CEffectTable* table = sonarix.GetEffectTable();
    std::vector<std::wstring> voice;
    std::vector<std::wstring> special;
    int specialWithout = 0;
    for (int i = 0; i < table->GetCount(); ++i) {
        CEffectInfo* info = table->GetAt(i);
        enEffect* effect = info->CreateEffect();
        ASSERT_NE(effect, nullptr);
        if (info->GetEffectType() == SONARIX_VOICE_MORPHING) {
            voice.push_back(effect->GetName());
        } else if (effect->GetPresetCount() > 0) {
            special.push_back(effect->GetName());
        } else {
            ++specialWithout;
        }
        effect->Destroy();
    }
    EXPECT_EQ(voice, (std::vector<std::wstring>{L"Pitch Up", L"Pitch Down", L"Chipmunk", L"Giant", L"Robot",
                                                L"Whisper"}));
    EXPECT_EQ(special, (std::vector<std::wstring>{L"Echo", L"Reverb", L"Chorus", L"Flanger", L"Distortion",
                                                  L"Tremolo"}));
    EXPECT_EQ(specialWithout, 1);
}

TEST(SonarixDll, ParametersAreDescribedAndClamped)
{
    CSonarix sonarix;
    ASSERT_TRUE(sonarix.Initialize());
    enEffect* echo = sonarix.GetEffectTable()->FindByID(SONARIX_ID_ECHO)->CreateEffect();
    ASSERT_NE(echo, nullptr);
    ASSERT_EQ(echo->GetParamCount(), 3);
    SonarixParamInfo info = {};
    ASSERT_EQ(echo->GetParamInfo(0, &info), 1);
    EXPECT_STREQ(info.name, L"Delay (ms)");
    EXPECT_FLOAT_EQ(echo->GetParam(0), info.defaultValue);
    EXPECT_EQ(echo->GetParamInfo(3, &info), 0);
    EXPECT_EQ(echo->GetParamInfo(0, nullptr), 0);
    EXPECT_EQ(echo->SetParam(0, 1e9f), 1);
    EXPECT_FLOAT_EQ(echo->GetParam(0), info.maximum);
    EXPECT_EQ(echo->SetParam(0, -5.0f), 1);
    EXPECT_FLOAT_EQ(echo->GetParam(0), info.minimum);
    EXPECT_EQ(echo->SetParam(7, 1.0f), 0);
    EXPECT_EQ(echo->ApplyPreset(0), 1);   // "Slapback"
    EXPECT_FLOAT_EQ(echo->GetParam(0), 90.0f);
    echo->Destroy();
}

// Every effect through the interface: a format, a block of tone, finite
// output; refused formats and arguments keep the effect usable.
TEST(SonarixDll, EveryEffectProcessesThroughTheInterface)
{
    CSonarix sonarix;
    ASSERT_TRUE(sonarix.Initialize());
    CEffectTable* table = sonarix.GetEffectTable();
    for (int i = 0; i < table->GetCount(); ++i) {
        SCOPED_TRACE(i);
        enEffect* effect = table->GetAt(i)->CreateEffect();
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->SetFormat(0, 44100), 0);
        EXPECT_EQ(effect->SetFormat(9, 44100), 0);
        EXPECT_EQ(effect->SetFormat(2, 1000), 0);
        ASSERT_EQ(effect->SetFormat(2, 48000), 1);
        std::vector<float> samples(2 * 9000);
        for (std::size_t n = 0; n < samples.size() / 2; ++n) {
            const float v = 0.5f * static_cast<float>(std::sin(6.283185307 * 440.0 * n / 48000.0));
            samples[2 * n] = v;
            samples[2 * n + 1] = v;
        }
        EXPECT_EQ(effect->Process(nullptr, 10), 0);
        EXPECT_EQ(effect->Process(samples.data(), -1), 0);
        ASSERT_EQ(effect->Process(samples.data(), 9000), 1);
        double energy = 0.0;
        for (float v : samples) {
            ASSERT_TRUE(std::isfinite(v));
            energy += static_cast<double>(v) * v;
        }
        EXPECT_GT(energy, 1.0);   // the effects keep the sound (after their latency)
        effect->Reset();
        effect->Destroy();
    }
}

// The player's sample blocks: one array per channel, the filled frames only.
TEST(SonarixDll, ProcessesSampleBlocks)
{
    CSonarix sonarix;
    ASSERT_TRUE(sonarix.Initialize());
    enEffect* gain = sonarix.GetEffectTable()->FindByID(SONARIX_ID_GAIN)->CreateEffect();
    ASSERT_NE(gain, nullptr);
    ASSERT_EQ(gain->SetParam(0, 20.0f), 1);   // ten times
    ASSERT_EQ(gain->SetFormat(2, 44100), 1);
    std::vector<float> left(8, 0.01f);
    std::vector<float> right(8, -0.02f);
    float* table[2] = {left.data(), right.data()};
    SampleBlock block = {0, table, 8, 5};
    ASSERT_EQ(gain->ProcessBlock(&block), 1);
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(left[i], i < 5 ? 0.1f : 0.01f, 1e-6f) << i;
        EXPECT_NEAR(right[i], i < 5 ? -0.2f : -0.02f, 1e-6f) << i;
    }
    block.filled = 9;   // more than the arrays hold
    EXPECT_EQ(gain->ProcessBlock(&block), 0);
    block.filled = -1;
    EXPECT_EQ(gain->ProcessBlock(&block), 0);
    EXPECT_EQ(gain->ProcessBlock(nullptr), 0);
    float* missing[2] = {left.data(), nullptr};
    SampleBlock broken = {0, missing, 8, 8};
    EXPECT_EQ(gain->ProcessBlock(&broken), 0);
    EXPECT_NEAR(left[0], 0.1f, 1e-6f);   // nothing touched
    SampleBlock none = {0, nullptr, 0, 0};
    EXPECT_EQ(gain->ProcessBlock(&none), 1);
    gain->Destroy();
}

// The frame loads the DLL at run time and looks the manager up by its plain
// name; a manager made that way works like one made through CSonarix.
TEST(SonarixDll, ManagerFoundByNameAtRunTime)
{
    HMODULE dll = LoadLibraryW(L"Sonarix.dll");
    ASSERT_NE(dll, nullptr);
    using Create = enSonarix*(SONARIX_CALL*)();
    auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(dll, "SonarixCreateManager")));
    ASSERT_NE(create, nullptr);
    enSonarix* manager = create();
    ASSERT_NE(manager, nullptr);
    ASSERT_EQ(manager->GetEffectTable()->GetCount(), static_cast<int>(std::size(kTable)));
    EXPECT_STREQ(manager->GetEffectTable()->GetAt(0)->GetName(), L"Pitch Up");
    manager->Destroy();
    FreeLibrary(dll);
}

TEST(SonarixDll, CreatesAndDestroysManyTimes)
{
    for (int round = 0; round < 20; ++round) {
        CSonarix sonarix;
        ASSERT_TRUE(sonarix.Initialize());
        CEffectTable* table = sonarix.GetEffectTable();
        for (int k = 0; k < 10; ++k) {
            for (int i = 0; i < table->GetCount(); ++i) {
                enEffect* effect = table->GetAt(i)->CreateEffect();
                ASSERT_NE(effect, nullptr);
                if ((k + i) % 3 == 0) {
                    float frame[2] = {0.1f, -0.1f};
                    EXPECT_EQ(effect->Process(frame, 1), 1);
                }
                effect->Destroy();
            }
        }
    }
}

}  // namespace
