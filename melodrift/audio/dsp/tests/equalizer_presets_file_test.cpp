// The presets file on disk, through the system XML parser: saving and loading,
// a missing file, and the English presets shipped with the program.
#include "dsp/equalizer_presets.h"

#include "eq_presets_test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#ifndef KM_SHIPPED_EQ_PRESETS
#error "KM_SHIPPED_EQ_PRESETS must name the shipped presets file"
#endif

namespace {

std::wstring TempPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// The build folder's path as Wine sees it (the Unix root is drive Z:).
std::wstring Widen(const char* text)
{
    std::wstring out = text[0] == '/' ? L"Z:" : L"";
    for (const char* p = text; *p; ++p) {
        out.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    }
    return out;
}

TEST(DspEqualizerPresetsFile, SavedFileLoadsBack)
{
    const EqualizerPresetList presets = eqtest::ThreePresets(L"B\u00e4sse & H\u00f6hen", 200, -15);
    const std::wstring path = TempPath(L"dsp_eq_presets_test.xml");
    ASSERT_TRUE(SaveEqualizerPresets(path, presets));
    const EqualizerPresetList back = LoadEqualizerPresets(path);
    DeleteFileW(path.c_str());
    eqtest::ExpectSamePresets(back, presets);
}

TEST(DspEqualizerPresetsFile, MissingOrBrokenFileGivesNoPresets)
{
    EXPECT_TRUE(LoadEqualizerPresets(TempPath(L"dsp_no_such_presets.xml")).empty());
    const std::wstring path = TempPath(L"dsp_broken_presets.xml");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char text[] = "<Presets><Preset1><Name Value=\"Cut";
    DWORD written = 0;
    WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
    CloseHandle(file);
    EXPECT_TRUE(LoadEqualizerPresets(path).empty());
    DeleteFileW(path.c_str());
}

TEST(DspEqualizerPresetsFile, ShippedEnglishPresetsStartFlat)
{
    const EqualizerPresetList presets = LoadEqualizerPresets(Widen(KM_SHIPPED_EQ_PRESETS));
    ASSERT_GE(presets.size(), 10u);
    EXPECT_EQ(presets[0]->GetName(), L"Flat");
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(presets[0]->GetValue(b), 100);
    }
    EXPECT_TRUE(presets[1]->IsSeparator());
    // Every other preset has a name of its own and slider positions within 0..200.
    std::set<std::wstring> names;
    for (const auto& preset : presets) {
        for (int b = 0; b < 10; ++b) {
            const std::int32_t v = preset->GetValue(b);
            EXPECT_TRUE(v >= 0 && v <= 200) << b;
        }
        if (!preset->IsSeparator()) {
            EXPECT_TRUE(names.insert(preset->GetName()).second) << "duplicate preset name";
        }
    }
}

}  // namespace
