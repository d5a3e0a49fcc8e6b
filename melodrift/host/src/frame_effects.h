// The frame's outside libraries that it can run without: the effect manager
// (Sonarix.dll: the effect table behind the "Morph" menus) and the media-info
// box (Mediview.dll: the About box). Both are loaded from the program folder
// when first needed.
#pragma once

#include "frame_menu.h"

#include <windows.h>

#include <string>
#include <vector>

namespace mdframe {

// The effect table of the effect manager in <programFolder>Sonarix.dll, in
// its order: every effect is created once to read its name and presets and
// destroyed again. Empty when the library is missing.
std::vector<EffectDescription> ReadEffectTable(const std::wstring& programFolder);

// The About box of <programFolder>Mediview.dll for Melodrift; false when the
// library is missing or the box could not be shown.
bool ShowAboutBox(const std::wstring& programFolder, HWND owner);

}  // namespace mdframe
