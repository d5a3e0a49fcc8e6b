// The frame's layout: the control table (which skin element asks for which
// control), the rectangles of the five panels and the module area, and the
// slider tooltips. No windows here, so that the rules can be checked alone.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace mdframe {

enum class ControlKind { PushButton, CheckButton, Slider, VerticalSlider, StatusText, SurroundView };

// One row of the control table.
struct ControlRow {
    const wchar_t* name;  // the skin element asking for the control
    UINT command;         // instance k gets the child-window id command + k
    ControlKind kind;
    UINT tooltip;         // string id, 0 for none
};

// The table, in its fixed order.
const ControlRow* ControlTable();
int ControlTableSize();
// The row of a skin element's name (letter case ignored), or -1.
int FindControlRow(std::wstring_view name);
// The row a child-window id belongs to (command + 1 up to command + 4), or -1.
int RowOfControlId(UINT id);
// The row of a command id, or -1.
int RowOfCommand(UINT command);

// Commands of the table that others use.
constexpr UINT kCmdPrev = 13000, kCmdBackward = 13005, kCmdPlay = 13010, kCmdPause = 13015, kCmdStop = 13020,
               kCmdForward = 13025, kCmdNext = 13030, kCmdShuffle = 13035, kCmdRepeat = 13040, kCmdRecord = 13090;
constexpr UINT kCmdPosition = 14010, kCmdVolume = 14020, kCmdBalance = 14030, kCmdEqualizerTurn = 14040,
               kCmdEqualizerPreset = 14050, kCmdPlayerPanel = 14060, kCmdMinimize = 14070, kCmdZoom = 14080,
               kCmdClose = 14090, kCmdStatusBar = 14120, kCmdEqualizerShow = 14170;
constexpr UINT kCmdEqualizerFirst = 16000, kCmdEqualizerLast = 16099, kCmdSurroundLevel = 16100,
               kCmdSurroundView = 16125, kCmdSurroundShow = 16135;
constexpr UINT kCmdMenuFirst = 15000, kCmdMenuLast = 15060;
// Instances of one element name a skin may hold (ids command + 1 .. command + 4).
constexpr int kMaxInstances = 4;

// The five panels.
enum PanelIndex { kPanelUp, kPanelDown, kPanelLeft, kPanelRight, kPanelPlayer, kPanelCount };
const wchar_t* PanelElementName(int panel);
// The panel of an "Owner" value (letter case ignored), or -1.
int FindPanel(const std::wstring& owner);

struct PanelSizes {
    SIZE size[kPanelCount] = {};  // initial sizes from the skin
};

struct FrameLayout {
    RECT panel[kPanelCount] = {};
    bool playerShown = false;
    RECT client = {};  // the module area
};

// The frame layout over the client rectangle `r`. `dialogFrameHeight` is the
// height a dialog frame adds to a window (AdjustWindowRect of an empty rectangle).
FrameLayout ComputeFrameLayout(RECT r, const PanelSizes& sizes, int dialogFrameHeight, bool playerOn);

// The frame's minimum size from the panels when the skin gives none (0 = not given).
SIZE MinimumFrameSize(const PanelSizes& sizes, int skinWidth, int skinHeight);

// Slider tooltips: position and volume in percent of the range; balance left or right of the centre.
std::wstring PercentTooltip(const std::wstring& format, int value, int minimum, int maximum);
std::wstring BalanceTooltip(const std::wstring& leftFormat, const std::wstring& rightFormat,
                            const std::wstring& centreText, int value, int minimum, int maximum);

}  // namespace mdframe
