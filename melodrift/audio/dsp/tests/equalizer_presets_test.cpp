// Reading the presets document, building it back, and the presets menu.
#include "dsp/equalizer_presets.h"

#include "eq_presets_test_support.h"

#include "xml/enxml.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

enXml* Child(enXml& parent, const std::wstring& name)
{
    auto* node = new enXml(name);
    parent.AddChild(node);
    return node;
}

enXml* Valued(enXml& parent, const std::wstring& name, const std::wstring& value)
{
    enXml* node = Child(parent, name);
    node->SetAttribute(L"Value", value);
    return node;
}

TEST(DspEqualizerPresets, ReadsPresetsInOrderUntilTheFirstGap)
{
    enXml root(L"Presets");
    enXml* p1 = Child(root, L"Preset1");
    Valued(*p1, L"Name", L"Rock");
    Valued(*p1, L"Band1", L"60");
    Valued(*p1, L"band10", L"140");           // names match in any letter case
    Valued(*p1, L"Band3", L"abc");            // not a number: 0
    Child(*p1, L"Band4");                      // no Value: 100
    Valued(*p1, L"Band11", L"7");             // no such band
    enXml* p2 = Child(root, L"PRESET2");
    Valued(*p2, L"NAME", L"----");
    Valued(*p2, L"Band1", L"10");             // a separator keeps 100
    enXml* p4 = Child(root, L"Preset4");      // after the gap at 3: not read
    Valued(*p4, L"Name", L"Late");

    const EqualizerPresetList presets = ReadEqualizerPresets(root);
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0]->GetName(), L"Rock");
    const std::int32_t expected[10] = {60, 100, 0, 100, 100, 100, 100, 100, 100, 140};
    EXPECT_TRUE(presets[0]->Matches(expected));
    EXPECT_TRUE(presets[1]->IsSeparator());
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(presets[1]->GetValue(b), 100);
    }
}

TEST(DspEqualizerPresets, APresetWithoutANameEndsTheList)
{
    for (int variant = 0; variant < 3; ++variant) {
        enXml root(L"Presets");
        Valued(*Child(root, L"Preset1"), L"Name", L"First");
        enXml* second = Child(root, L"Preset2");
        if (variant == 1) {
            Child(*second, L"Name");                // no Value
        } else if (variant == 2) {
            Valued(*second, L"Name", L"");          // empty
        }
        Valued(*second, L"Band1", L"20");
        Valued(*Child(root, L"Preset3"), L"Name", L"Third");
        const EqualizerPresetList presets = ReadEqualizerPresets(root);
        ASSERT_EQ(presets.size(), 1u) << variant;
        EXPECT_EQ(presets[0]->GetName(), L"First");
    }
    enXml empty(L"Presets");
    EXPECT_TRUE(ReadEqualizerPresets(empty).empty());
}

TEST(DspEqualizerPresets, BuiltDocumentReadsBackTheSame)
{
    const EqualizerPresetList presets = eqtest::ThreePresets(L"Bass & \"more\" <\u00e9>", -5, 20);
    const std::unique_ptr<enXml> document = BuildEqualizerPresetsDocument(presets);
    // Separators carry no bands.
    EXPECT_EQ(document->FindChild(L"Preset2")->GetChildCount(), 1);
    std::string bytes;
    EXPECT_TRUE(document->SaveToBuffer(bytes));

    const EqualizerPresetList back = ReadEqualizerPresets(*document);
    eqtest::ExpectSamePresets(back, presets);
}

TEST(DspEqualizerPresets, MenuEntriesIdsSeparatorsAndCheckMarks)
{
    EqualizerPresetList presets;
    presets.push_back(std::make_unique<CEqualizerPreset>(L"Flat"));
    presets.push_back(std::make_unique<CEqualizerPreset>(L"----"));
    presets.push_back(std::make_unique<CEqualizerPreset>(L"Also flat"));
    presets.push_back(std::make_unique<CEqualizerPreset>(L"Rock"));
    presets[3]->SetValue(0, 60);

    std::int32_t positions[10] = {100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
    auto menu = BuildEqualizerPresetMenu(presets, positions);
    ASSERT_EQ(menu.size(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(menu[i].id, i + 1);
    }
    // The first preset never carries a check mark, even when it matches.
    EXPECT_EQ(menu[0].text, L"Flat");
    EXPECT_FALSE(menu[0].checked);
    EXPECT_TRUE(menu[1].separator);
    EXPECT_TRUE(menu[1].text.empty());
    EXPECT_FALSE(menu[1].checked);
    EXPECT_TRUE(menu[2].checked);
    EXPECT_FALSE(menu[3].checked);

    positions[0] = 60;
    menu = BuildEqualizerPresetMenu(presets, positions);
    EXPECT_FALSE(menu[2].checked);
    EXPECT_TRUE(menu[3].checked);

    EXPECT_EQ(EqualizerPresetForCommand(presets, 4), presets[3].get());
    EXPECT_EQ(EqualizerPresetForCommand(presets, 1), presets[0].get());
    EXPECT_EQ(EqualizerPresetForCommand(presets, 2), nullptr);   // separator
    EXPECT_EQ(EqualizerPresetForCommand(presets, 0), nullptr);
    EXPECT_EQ(EqualizerPresetForCommand(presets, 5), nullptr);
}

TEST(DspEqualizerPresets, FilePath)
{
    EXPECT_EQ(EqualizerPresetsPath(L"C:\\Program Files\\Melodrift\\", L"eng"),
              L"C:\\Program Files\\Melodrift\\Language\\eng\\Equalizer_presets.xml");
    EXPECT_EQ(EqualizerPresetsPath(L"D:\\Apps\\Melodrift", L"deu"),
              L"D:\\Apps\\Melodrift\\Language\\deu\\Equalizer_presets.xml");
    EXPECT_EQ(EqualizerPresetsPath(L"D:\\M\\", L""), L"D:\\M\\Language\\eng\\Equalizer_presets.xml");
}

}  // namespace
