// Surround presets, the settings document, speaker modes and support, and the
// order in which settings reach the processor.
#include "surround/surround_settings.h"

#include "xml/enxml.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Records every processor call as text.
class RecordingControl : public ISurroundControl {
public:
    std::vector<std::string> calls;

    void SetSoundPos(float x, float y, bool u) override { Add("SoundPos", x, y, u); }
    void SetRoomSize(float w, float h, bool u) override { Add("RoomSize", w, h, u); }
    void SetRevHFDecay(float v) override { Add("HFDecay", v); }
    void SetRevAbsorb(float v) override { Add("Absorb", v); }
    void SetRevDry(float v) override { Add("Dry", v); }
    void SetRevWet(float v) override { Add("Wet", v); }
    void SetLFEVolume(float v, bool u) override { Add("LFEVolume", v, u); }
    void SetVolume(float v, bool u) override { Add("Volume", v, u); }
    void SetLFEMaxFreq(std::int32_t hz, bool u) override { Add("LFEMaxFreq", hz, u); }
    bool SetSpeakersConfig(std::uint32_t m, bool u) override
    {
        Add("Speakers", m, u);
        return true;
    }
    void SetReverb(bool on) override { Add("Reverb", on); }
    void SetProcessAdvance(bool on) override { Add("Advance", on); }
    void SetMoveOff(bool on) override { Add("Delays", on); }

private:
    template <class... T>
    void Add(const char* name, T... values)
    {
        std::ostringstream out;
        out << name << "(";
        const char* sep = "";
        ((out << sep << values, sep = ","), ...);
        out << ")";
        calls.push_back(out.str());
    }
};

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

void AddValue(enXml& parent, const wchar_t* name, const std::wstring& value)
{
    auto* node = new enXml(name);
    node->SetAttribute(L"Value", value);
    parent.AddChild(node);
}

enXml* AddPreset(enXml& root, int n, const std::wstring& name)
{
    auto* preset = new enXml(L"Preset" + std::to_wstring(n));
    root.AddChild(preset);
    if (!name.empty()) {
        AddValue(*preset, L"Name", name);
    }
    return preset;
}

SurroundPreset Sample(const std::wstring& name)
{
    SurroundPreset p;
    p.name = name;
    p.lfeFrequency = 90;
    p.lfeVolume = 120;
    p.lowPassFrequency = 150;
    p.lowPass = 1;
    p.delays = 1;
    p.reverberation = 0;
    p.processAdvance = 1;
    p.positioningVolume = 2.5f;
    p.reverberationVolume = 0.75f;
    p.originalVolume = 0.25f;
    p.roomWidth = 12.34f;
    p.roomHeight = 8.5f;
    p.soundPosX = 3.5f;
    p.soundPosY = 1.25f;
    p.absorptionLevel = 0.29f;
    p.hiFreqDecay = 0.55f;
    return p;
}

}  // namespace

TEST(SurroundPresets, ReadInFileOrderUntilTheFirstGap)
{
    enXml root(L"SurroundPresets");
    enXml* first = AddPreset(root, 1, L"Hall");
    AddValue(*first, L"AbsorbtionLevel", L"0.25");
    AddValue(*first, L"hifreqdecay", L"0.5");   // names match case-insensitively
    AddValue(*first, L"PositioningVolume", L"2.24");
    AddValue(*first, L"LFEVolume", L"110");
    AddValue(*first, L"LFEFrequention", L"70");
    AddValue(*first, L"LowPass", L"1");
    AddValue(*first, L"Delays", L"1");
    AddValue(*first, L"RoomWidth", L"30.5");
    AddValue(*first, L"SoundPosY", L"abc");   // not a number: 0
    enXml* separator = AddPreset(root, 2, L"----");
    AddValue(*separator, L"RoomWidth", L"9");
    AddPreset(root, 4, L"Lost");   // Preset3 is missing

    const SurroundPresetList presets = ReadSurroundPresets(root);
    ASSERT_EQ(presets.size(), 2u);
    const SurroundPreset& hall = presets[0];
    EXPECT_EQ(hall.name, L"Hall");
    EXPECT_FLOAT_EQ(hall.absorptionLevel, 0.25f);
    EXPECT_FLOAT_EQ(hall.hiFreqDecay, 0.5f);
    EXPECT_FLOAT_EQ(hall.positioningVolume, 2.24f);
    EXPECT_EQ(hall.lfeVolume, 110);
    EXPECT_EQ(hall.lfeFrequency, 70);
    EXPECT_EQ(hall.lowPass, 1);
    EXPECT_EQ(hall.delays, 1);
    EXPECT_EQ(hall.reverberation, 0);   // missing: 0
    EXPECT_FLOAT_EQ(hall.roomWidth, 30.5f);
    EXPECT_FLOAT_EQ(hall.roomHeight, 0.0f);
    EXPECT_FLOAT_EQ(hall.soundPosY, 0.0f);
    EXPECT_TRUE(presets[1].IsSeparator());
    EXPECT_FLOAT_EQ(presets[1].roomWidth, 0.0f);

    // A preset without a name (or with an empty one) ends the list too.
    enXml unnamed(L"SurroundPresets");
    AddPreset(unnamed, 1, L"One");
    AddPreset(unnamed, 2, L"");
    AddPreset(unnamed, 3, L"Three");
    EXPECT_EQ(ReadSurroundPresets(unnamed).size(), 1u);
}

TEST(SurroundPresets, DocumentReadsBackAndPathsFollowTheLanguage)
{
    SurroundPresetList presets = {Sample(L"A"), SurroundPreset{}, Sample(L"B")};
    presets[1].name = L"----";
    presets[2].lfeFrequency = 200;
    const auto doc = BuildSurroundPresetsDocument(presets);
    const SurroundPresetList back = ReadSurroundPresets(*doc);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, L"A");
    EXPECT_EQ(back[0].lowPassFrequency, 150);
    EXPECT_FLOAT_EQ(back[0].roomWidth, 12.34f);
    EXPECT_FLOAT_EQ(back[0].hiFreqDecay, 0.55f);
    EXPECT_TRUE(back[1].IsSeparator());
    EXPECT_EQ(back[2].lfeFrequency, 200);
    EXPECT_EQ(FindSurroundPreset(back, L"B"), 2);
    EXPECT_EQ(FindSurroundPreset(back, L"b"), -1);   // exact

    EXPECT_EQ(SurroundPresetsPath(L"C:\\Melodrift\\", L"rus"), L"C:\\Melodrift\\Language\\rus\\Surr_presets.xml");
    EXPECT_EQ(SurroundPresetsPath(L"C:\\Melodrift", L""), L"C:\\Melodrift\\Language\\eng\\Surr_presets.xml");
}

TEST(SurroundModes, TableFallbackAndSupportBits)
{
    const std::uint32_t masks[] = {0x33, 0x10F, 0x3F, 0x63B, 0x63F, 0xFF, 0x3};
    const int channels[] = {4, 5, 6, 7, 8, 8, 2};
    for (int m = 0; m <= 6; ++m) {
        ASSERT_NE(GetSurroundMode(m), nullptr);
        EXPECT_EQ(GetSurroundMode(m)->mask, masks[m]);
        EXPECT_EQ(GetSurroundMode(m)->channels, channels[m]);
    }
    EXPECT_EQ(GetSurroundMode(7), nullptr);
    EXPECT_EQ(GetSurroundMode(-1), nullptr);
    EXPECT_EQ(SurroundSupportBit(0), 0x02u);
    EXPECT_EQ(SurroundSupportBit(5), 0x40u);

    // A saved 7.1 on a card without 7.1 but with 5.1 becomes 5.1.
    const std::uint32_t no71 = kAllSurroundModes & ~SurroundSupportBit(4);
    EXPECT_EQ(FallbackSurroundMode(4, no71), 2);
    EXPECT_EQ(FallbackSurroundMode(3, no71), 3);
    // Order of the fall-back: 2, 4, 5, 3, 1, 0.
    EXPECT_EQ(FallbackSurroundMode(0, SurroundSupportBit(5) | SurroundSupportBit(3)), 5);
    EXPECT_EQ(FallbackSurroundMode(2, SurroundSupportBit(1) | SurroundSupportBit(0)), 1);
    EXPECT_EQ(FallbackSurroundMode(9, SurroundSupportBit(0)), 0);
    EXPECT_EQ(FallbackSurroundMode(2, 0), -1);
}

TEST(SurroundModes, SupportMessageNamesWhatIsMissing)
{
    const std::wstring none =
        L"Your sound card does not support any surround modes. Rezodovave will be disabled.";
    EXPECT_EQ(SurroundSupportMessage(0, none), none);
    EXPECT_EQ(SurroundSupportMessage(0x81, none), none);   // bits outside the modes count for nothing
    EXPECT_EQ(SurroundSupportMessage(kAllSurroundModes, none), L"");
    // 4.0 and 5.1 only.
    EXPECT_EQ(SurroundSupportMessage(SurroundSupportBit(0) | SurroundSupportBit(2), none),
              L"Your sound card doesn't support surround 4.1, 6.1, 7.1, 7.1 Front modes, which will be disabled.");
    // Everything but 7.1 Front.
    EXPECT_EQ(SurroundSupportMessage(kAllSurroundModes & ~SurroundSupportBit(5), none),
              L"Your sound card doesn't support surround 7.1 Front mode, which will be disabled.");
    EXPECT_EQ(SurroundSupportMessage(kAllSurroundModes & ~SurroundSupportBit(0), none),
              L"Your sound card doesn't support surround 4.0 mode, which will be disabled.");
}

TEST(SurroundSettingsFile, WrittenInTableOrderAndReadBack)
{
    SurroundSettings s;
    const auto defaults = BuildSurroundSettingsDocument(s);
    std::vector<std::wstring> names;
    for (const enXml* n = defaults->FirstChild(); n; n = n->NextSibling()) names.push_back(n->GetName());
    const std::vector<std::wstring> expected = {
        L"SurroundSoundPosX", L"SurroundSoundPosY", L"SurroundMode", L"SurroundReverb", L"SurroundDelays",
        L"SurroundProcessAdvance", L"SurroundSupportFormatDlg", L"SurroundLFE", L"SurroundVolOriginal",
        L"SurroundVolPositioning", L"SurroundVolReverb", L"SurroundRevDecay", L"SurroundRevAbsorb",
        L"SurroundRevSize", L"SurroundLFEVolume"};
    EXPECT_EQ(names, expected);   // no basis preset while none is selected
    EXPECT_EQ(defaults->Name(), L"Rezodovave");
    std::wstring text;
    defaults->FindChild(L"SurroundSoundPosX")->GetAttribute(L"Value", text);
    EXPECT_EQ(text, L"-1.000000");
    defaults->FindChild(L"SurroundReverb")->GetAttribute(L"Value", text);
    EXPECT_EQ(text, L"On");
    defaults->FindChild(L"SurroundProcessAdvance")->GetAttribute(L"Value", text);
    EXPECT_EQ(text, L"Off");
    defaults->FindChild(L"SurroundRevSize")->GetAttribute(L"Value", text);
    EXPECT_EQ(text, L"200");

    s.soundPosX = 3.25f;
    s.soundPosY = 7.5f;
    s.mode = 4;
    s.reverb = false;
    s.delays = false;
    s.processAdvance = true;
    s.showSupportDialog = false;
    s.lfeFrequency = 120;
    s.basisPreset = L"Cathedral";
    s.volOriginal = 0;
    s.volPositioning = 300;
    s.volReverb = 7;
    s.revDecay = 99;
    s.revAbsorb = 1;
    s.revSize = 500;
    s.lfeVolume = 200;
    const auto doc = BuildSurroundSettingsDocument(s);
    EXPECT_NE(doc->FindChild(L"SurroundBasisPreset"), nullptr);
    SurroundSettings back;
    ReadSurroundSettings(*doc, back);
    EXPECT_EQ(back, s);
}

TEST(SurroundSettingsFile, MissingElementsKeepDefaultsAndSwitchesNeedOn)
{
    enXml root(L"Rezodovave");
    AddValue(root, L"SurroundReverb", L"on");     // any letter case
    AddValue(root, L"SurroundDelays", L"Yes");    // anything else is off
    AddValue(root, L"SurroundMode", L"5");
    auto* bare = new enXml(L"SurroundSupportFormatDlg");   // no Value: stays as it was
    root.AddChild(bare);
    SurroundSettings s;
    s.reverb = false;
    ReadSurroundSettings(root, s);
    EXPECT_TRUE(s.reverb);
    EXPECT_FALSE(s.delays);
    EXPECT_TRUE(s.showSupportDialog);
    EXPECT_EQ(s.mode, 5);
    EXPECT_EQ(s.revSize, 200);
    EXPECT_FLOAT_EQ(s.soundPosX, -1.0f);
    EXPECT_TRUE(s.basisPreset.empty());
}

TEST(SurroundSettingsFile, ChosenPresetBecomesTheSettings)
{
    SurroundSettings s;
    TakeSurroundPreset(Sample(L"Room"), s);
    EXPECT_EQ(s.revSize, 123);   // 12.34 m: the slider shows 12.3 m
    EXPECT_EQ(s.revAbsorb, 29);
    EXPECT_EQ(s.revDecay, 55);
    EXPECT_EQ(s.volOriginal, 25);
    EXPECT_EQ(s.volPositioning, 250);
    EXPECT_EQ(s.volReverb, 75);
    EXPECT_EQ(s.lfeFrequency, 90);
    EXPECT_EQ(s.lfeVolume, 120);
    EXPECT_TRUE(s.delays);
    EXPECT_FALSE(s.reverb);
    EXPECT_TRUE(s.processAdvance);
    EXPECT_FLOAT_EQ(s.soundPosX, 3.5f);
    EXPECT_FLOAT_EQ(s.soundPosY, 1.25f);
    EXPECT_EQ(s.basisPreset, L"Room");
}

TEST(SurroundApplying, PresetValuesGoInTheirFixedOrder)
{
    RecordingControl c;
    ApplySurroundPresetValues(c, Sample(L"Room"));
    const std::vector<std::string> expected = {
        "LFEMaxFreq(90,1)", "Volume(2.5,1)", "LFEVolume(1.2,1)", "Wet(0.75)", "Dry(0.25)", "Absorb(0.29)",
        "HFDecay(0.55)", "RoomSize(12.34,8.5,1)", "SoundPos(3.5,1.25,1)", "Delays(1)", "Reverb(0)", "Advance(1)"};
    EXPECT_EQ(c.calls, expected);
}

TEST(SurroundApplying, EachCodeMakesItsCall)
{
    RecordingControl c;
    const std::int32_t codes[][2] = {{1, 80}, {3, 150}, {4, 0x3F}, {5, 1}, {6, 0}, {7, 2}, {11, 123},
                                     {12, 14}, {13, 42}, {14, 224}, {15, 21}, {16, 101}, {2, 5}, {8, 1},
                                     {17, 1}, {0, 0}};
    for (const auto& code : codes) ApplySurroundCode(c, code[0], code[1]);
    const std::vector<std::string> expected = {
        "LFEMaxFreq(80,1)", "LFEVolume(1.5,1)", "Speakers(63,1)", "Reverb(1)", "Delays(0)", "Advance(1)",
        "RoomSize(12.3,12.3,1)", "Absorb(0.14)", "HFDecay(0.42)", "Volume(2.24,1)", "Dry(0.21)", "Wet(1.01)"};
    EXPECT_EQ(c.calls, expected);
}

TEST(SurroundApplying, StartUpChoosesTheBasisAndAppliesInOrder)
{
    SurroundPresetList presets = {Sample(L"First"), Sample(L"Second")};
    presets[1].soundPosX = 9.0f;
    presets[1].soundPosY = 4.0f;

    // Without a settings file nothing is chosen.
    SurroundSettings s;
    EXPECT_EQ(ResolveSurroundBasis(s, false, presets), -1);
    EXPECT_FLOAT_EQ(s.soundPosX, -1.0f);

    // Empty name: the first preset; its position replaces the missing one.
    EXPECT_EQ(ResolveSurroundBasis(s, true, presets), 0);
    EXPECT_EQ(s.basisPreset, L"First");
    EXPECT_FLOAT_EQ(s.soundPosX, 3.5f);

    // A known name is taken, a stored position kept.
    s.basisPreset = L"Second";
    s.soundPosX = 1.0f;
    s.soundPosY = 2.0f;
    EXPECT_EQ(ResolveSurroundBasis(s, true, presets), 1);
    EXPECT_FLOAT_EQ(s.soundPosX, 1.0f);

    // An unknown (or differently cased) name falls back to the first preset.
    s.basisPreset = L"second";
    EXPECT_EQ(ResolveSurroundBasis(s, true, presets), 0);
    EXPECT_EQ(s.basisPreset, L"First");
    EXPECT_EQ(ResolveSurroundBasis(s, true, {}), -1);

    SurroundSettings loaded;
    loaded.mode = 4;
    loaded.soundPosX = 1.5f;
    loaded.soundPosY = 2.5f;
    RecordingTarget t;
    ApplySurroundSettings(t, loaded, presets, 1);
    const std::vector<std::string> expected = {
        "preset Second", "4=1599", "1=80", "3=100", "14=224", "15=21", "16=101", "5=1", "6=1", "7=0",
        "11=200", "12=14", "13=42", "pos(1.5,2.5)"};
    EXPECT_EQ(t.calls, expected);

    // No basis: no preset; a mode beyond the table sets no speakers.
    loaded.mode = 9;
    t.calls.clear();
    ApplySurroundSettings(t, loaded, presets, -1);
    EXPECT_EQ(t.calls.front(), "1=80");
    EXPECT_EQ(t.calls.size(), 12u);
}
