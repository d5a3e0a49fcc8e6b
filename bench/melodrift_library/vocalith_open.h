#pragma once

#include <string>

struct VocalithOpenTimes {
    double shownSeconds = 0;    // the bus message "add" with the playlist file, until its rows are painted
    double filledSeconds = 0;   // until the last row was looked at behind the list
};

// Opens a playlist of `entries` entries in the module (the DLL at `module`).
bool MeasureVocalithOpen(const std::wstring& module, int entries, VocalithOpenTimes& times);
