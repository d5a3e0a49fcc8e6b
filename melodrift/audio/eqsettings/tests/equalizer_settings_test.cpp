// The equalizer's slider positions and switch in the settings file, and what
// reaches the player.
#include "eqsettings/equalizer_settings.h"

#include "player/ext_player_dx.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::wstring TempIni()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const fs::path path = fs::path(temp) / L"melodrift-eqsettings-test.ini";
    fs::remove(path);
    return path.wstring();
}

}  // namespace

TEST(EqualizerSettings, DefaultsWhenNothingIsStored)
{
    const std::wstring ini = TempIni();
    const EqualizerSettings s = LoadEqualizerSettings(ini);
    for (std::int32_t p : s.positions) EXPECT_EQ(p, 100);
    EXPECT_FALSE(s.on);
}

TEST(EqualizerSettings, WrittenAndReadBack)
{
    const std::wstring ini = TempIni();
    EqualizerSettings s;
    for (int b = 0; b < 10; ++b) s.positions[b] = b * 20;
    ASSERT_TRUE(SaveEqualizerBands(ini, s));
    ASSERT_TRUE(SaveEqualizerTurn(ini, true));
    wchar_t text[32] = {};
    GetPrivateProfileStringW(L"PLAYER", L"EqualizerBand10", L"", text, 32, ini.c_str());
    EXPECT_STREQ(text, L"180");
    GetPrivateProfileStringW(L"PLAYER", L"EqualizerTurn", L"", text, 32, ini.c_str());
    EXPECT_STREQ(text, L"On");
    const EqualizerSettings back = LoadEqualizerSettings(ini);
    for (int b = 0; b < 10; ++b) EXPECT_EQ(back.positions[b], b * 20);
    EXPECT_TRUE(back.on);

    // The switch is on only for "On", in any letter case.
    WritePrivateProfileStringW(L"PLAYER", L"EqualizerTurn", L"oN", ini.c_str());
    EXPECT_TRUE(LoadEqualizerSettings(ini).on);
    WritePrivateProfileStringW(L"PLAYER", L"EqualizerTurn", L"Yes", ini.c_str());
    EXPECT_FALSE(LoadEqualizerSettings(ini).on);
    // A value that is no number reads as 0.
    WritePrivateProfileStringW(L"PLAYER", L"EqualizerBand3", L"loud", ini.c_str());
    EXPECT_EQ(LoadEqualizerSettings(ini).positions[2], 0);
    fs::remove(ini);
}

TEST(EqualizerSettings, PositionsBecomeThePlayersGains)
{
    EqualizerSettings s;
    s.positions[0] = 0;     // gain 2 (x5 after the equalizer's mapping)
    s.positions[1] = 200;   // silent
    s.positions[2] = 150;
    s.on = true;
    float gains[10];
    EqualizerGainsFromPositions(s.positions, gains);
    EXPECT_FLOAT_EQ(gains[0], 2.0f);
    EXPECT_FLOAT_EQ(gains[1], 0.0f);
    EXPECT_FLOAT_EQ(gains[2], 0.5f);
    EXPECT_FLOAT_EQ(gains[3], 1.0f);
    CExtPlayerDX player;
    ApplyEqualizerSettings(player, s);
    EXPECT_TRUE(player.IsEqualizerOn());
}
