// The surround dialog's behaviour: sliders, switches, presets, enabled
// controls and the start-up load, against a recording player.
#include "surround/surround_controller.h"

#include "xml/enxml.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

class RecordingTarget : public ISurroundSettingsTarget {
public:
    std::vector<std::string> calls;
    void SetSurroundParam(std::int32_t code, std::int32_t value) override
    {
        calls.push_back(std::to_string(code) + "=" + std::to_string(value));
    }
    void SetSurroundSoundPos(float x, float y) override
    {
        std::ostringstream out;
        out << "pos(" << x << "," << y << ")";
        calls.push_back(out.str());
    }
    void SetSurroundPreset(const SurroundPreset& preset) override
    {
        calls.push_back("preset " + std::string(preset.name.begin(), preset.name.end()));
    }
};

SurroundPreset Preset(const std::wstring& name, float width)
{
    SurroundPreset p;
    p.name = name;
    p.roomWidth = width;
    p.roomHeight = width;
    p.absorptionLevel = 0.3f;
    p.hiFreqDecay = 0.5f;
    p.positioningVolume = 2.0f;
    p.originalVolume = 0.3f;
    p.reverberationVolume = 1.2f;
    p.lfeFrequency = 100;
    p.lfeVolume = 90;
    p.reverberation = 1;
    p.soundPosX = 2.0f;
    p.soundPosY = 3.0f;
    return p;
}

}  // namespace

TEST(SurroundController, SlidersSendTheirCodesAndLabelTheirValues)
{
    RecordingTarget t;
    SurroundController c(t);
    EXPECT_EQ(c.SliderLabel(kSliderLfeFrequency), L"80 Hz");
    EXPECT_EQ(c.SliderLabel(kSliderRoomSize), L"20.0 m.");
    EXPECT_EQ(c.SliderLabel(kSliderOriginal), L"21 %");
    EXPECT_EQ(c.SliderLabel(999), L"");

    c.SliderThumb(kSliderPositioning, 250);
    c.SliderThumb(kSliderLfeFrequency, 10);    // below its range: 40
    c.SliderThumb(kSliderRoomSize, 123);       // waits for the end of the scroll
    EXPECT_EQ(c.SliderLabel(kSliderRoomSize), L"12.3 m.");
    EXPECT_EQ(t.calls, (std::vector<std::string>{"14=250", "1=40"}));
    c.SliderEnd(kSliderRoomSize, 123);
    c.SliderEnd(kSliderPositioning, 250);      // unchanged: nothing more
    c.SliderEnd(kSliderAbsorb, 30);            // a keyboard move: applied at the end
    c.SliderEnd(999, 5);
    EXPECT_EQ(t.calls, (std::vector<std::string>{"14=250", "1=40", "11=123", "12=30"}));
    EXPECT_EQ(c.SliderValue(kSliderAbsorb), 30);
    EXPECT_EQ(c.Settings().revAbsorb, 30);

    int count = 0;
    const SurroundSliderInfo* sliders = SurroundSliders(count);
    ASSERT_EQ(count, 8);
    EXPECT_EQ(sliders[2].id, kSliderRoomSize);
    EXPECT_EQ(GetSurroundSlider(kSliderReverbVolume)->maximum, 200);
}

TEST(SurroundController, SwitchesAndWhatTheyEnable)
{
    RecordingTarget t;
    SurroundController c(t);
    c.Settings().processAdvance = true;
    EXPECT_TRUE(c.ReverbControlsEnabled());
    c.ToggleReverb();   // off: process advance goes too
    EXPECT_FALSE(c.Settings().reverb);
    EXPECT_FALSE(c.Settings().processAdvance);
    EXPECT_FALSE(c.ReverbControlsEnabled());
    c.ToggleDelays();
    c.ToggleProcessAdvance();
    c.ToggleReverb();
    EXPECT_EQ(t.calls, (std::vector<std::string>{"5=0", "7=0", "6=0", "7=1", "5=1", "7=1"}));

    EXPECT_TRUE(c.LfeControlsEnabled());
    c.ChooseMode(0);   // 4.0 has no LFE speaker
    EXPECT_FALSE(c.LfeControlsEnabled());
    c.ChooseMode(9);
    EXPECT_EQ(c.Settings().mode, 0);

    c.SetSupportFlags(SurroundSupportBit(0) | SurroundSupportBit(2));
    EXPECT_TRUE(c.ModeEnabled(0));
    EXPECT_FALSE(c.ModeEnabled(1));
    EXPECT_TRUE(c.ModeEnabled(2));
    EXPECT_FALSE(c.ModeEnabled(6));
    c.SetSurroundOn(false);
    EXPECT_FALSE(c.ModeEnabled(2));
    EXPECT_FALSE(c.ReverbControlsEnabled());
    EXPECT_FALSE(c.LfeControlsEnabled());
}

TEST(SurroundController, ChosenPresetAndDraggedSource)
{
    RecordingTarget t;
    SurroundController c(t);
    SurroundPresetList presets = {Preset(L"Hall", 12.34f), SurroundPreset{}};
    presets[1].name = L"----";
    c.SetPresets(presets);
    EXPECT_FALSE(c.ChoosePreset(1));   // a separator
    EXPECT_FALSE(c.ChoosePreset(5));
    EXPECT_TRUE(t.calls.empty());
    ASSERT_TRUE(c.ChoosePreset(0));
    EXPECT_EQ(t.calls, (std::vector<std::string>{"preset Hall"}));
    EXPECT_EQ(c.SliderValue(kSliderRoomSize), 123);
    EXPECT_EQ(c.SliderLabel(kSliderRoomSize), L"12.3 m.");
    EXPECT_EQ(c.SliderValue(kSliderReverbVolume), 120);
    EXPECT_EQ(c.BasisIndex(), 0);

    // 12.3 m shown over 200 x 100 pixels.
    c.DragSource(100, 25, 200, 100);
    EXPECT_FLOAT_EQ(c.Settings().soundPosX, 6.15f);
    EXPECT_FLOAT_EQ(c.Settings().soundPosY, 3.075f);
    EXPECT_EQ(t.calls.back(), "pos(6.15,3.075)");
    c.DragSource(1, 1, 0, 100);   // no view: nothing
    EXPECT_EQ(t.calls.size(), 2u);
}

TEST(SurroundController, StartUpLoadFallsBackToASupportedMode)
{
    enXml doc(L"Rezodovave");
    auto* mode = new enXml(L"SurroundMode");
    mode->SetAttribute(L"Value", L"4");
    doc.AddChild(mode);
    RecordingTarget t;
    SurroundController c(t);
    c.SetPresets({Preset(L"Hall", 20.0f)});
    c.Load(&doc);
    EXPECT_TRUE(c.WasLoaded());
    // No 7.1 here, but 5.1.
    EXPECT_TRUE(c.ApplyStartup(kAllSurroundModes & ~SurroundSupportBit(4)));
    EXPECT_EQ(c.Settings().mode, 2);
    EXPECT_EQ(c.Settings().basisPreset, L"Hall");
    ASSERT_GE(t.calls.size(), 2u);
    EXPECT_EQ(t.calls[0], "preset Hall");
    EXPECT_EQ(t.calls[1], "4=63");
    EXPECT_EQ(t.calls.back(), "pos(2,3)");   // the basis preset's position

    // Nothing supported: the caller turns surround off; the settings still go out.
    t.calls.clear();
    c.Load(nullptr);
    EXPECT_FALSE(c.WasLoaded());
    EXPECT_FALSE(c.ApplyStartup(0));
    EXPECT_EQ(c.Settings().mode, 2);
    EXPECT_EQ(t.calls[0], "4=63");   // no basis without a settings file
    EXPECT_EQ(t.calls.back(), "pos(-1,-1)");
}
