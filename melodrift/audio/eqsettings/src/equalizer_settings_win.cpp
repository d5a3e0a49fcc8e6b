// The equalizer's settings in the settings file.
#include "eqsettings/equalizer_settings.h"

#include "fw/strutil.h"
#include "player/ext_player.h"

#include <windows.h>

namespace {
const wchar_t kSection[] = L"PLAYER";
}

EqualizerSettings LoadEqualizerSettings(const std::wstring& iniPath)
{
    EqualizerSettings settings;
    for (int b = 0; b < CEqualizerPreset::kValueCount; ++b) {
        const std::wstring key = fw::Format(L"EqualizerBand%i", b + 1);
        settings.positions[b] = static_cast<std::int32_t>(
            GetPrivateProfileIntW(kSection, key.c_str(), CEqualizerPreset::kFlatPosition, iniPath.c_str()));
    }
    wchar_t turn[16] = {};
    GetPrivateProfileStringW(kSection, L"EqualizerTurn", L"Off", turn, 16, iniPath.c_str());
    settings.on = fw::EqualsNoCase(turn, L"On");
    return settings;
}

bool SaveEqualizerBands(const std::wstring& iniPath, const EqualizerSettings& settings)
{
    bool ok = true;
    for (int b = 0; b < CEqualizerPreset::kValueCount; ++b) {
        const std::wstring key = fw::Format(L"EqualizerBand%i", b + 1);
        const std::wstring value = fw::Format(L"%i", settings.positions[b]);
        ok = WritePrivateProfileStringW(kSection, key.c_str(), value.c_str(), iniPath.c_str()) && ok;
    }
    return ok;
}

bool SaveEqualizerTurn(const std::wstring& iniPath, bool on)
{
    return WritePrivateProfileStringW(kSection, L"EqualizerTurn", on ? L"On" : L"Off", iniPath.c_str()) != FALSE;
}

void ApplyEqualizerSettings(CExtPlayer& player, const EqualizerSettings& settings)
{
    float gains[CEqualizerPreset::kValueCount];
    EqualizerGainsFromPositions(settings.positions, gains);
    player.SetEqualizer(gains, CEqualizerPreset::kValueCount, settings.on);
}
