#include "frame_layout.h"

#include "fw/strutil.h"

#include <algorithm>

namespace mdframe {
namespace {

constexpr ControlRow kTable[] = {
    {L"PLAYER_GOTOPREV", 13000, ControlKind::PushButton, 275},
    {L"PLAYER_BACKWARD", 13005, ControlKind::PushButton, 276},
    {L"PLAYER_PLAY", 13010, ControlKind::PushButton, 277},
    {L"PLAYER_PAUSE", 13015, ControlKind::PushButton, 278},
    {L"PLAYER_STOP", 13020, ControlKind::PushButton, 279},
    {L"PLAYER_FORWARD", 13025, ControlKind::PushButton, 280},
    {L"PLAYER_GOTONEXT", 13030, ControlKind::PushButton, 281},
    {L"PLAYER_RECORD", 13090, ControlKind::PushButton, 282},
    {L"PLAYER_SHUFFLE", 13035, ControlKind::CheckButton, 283},
    {L"PLAYER_REPEAT", 13040, ControlKind::CheckButton, 284},
    {L"PLAYER_POSITION", 14010, ControlKind::Slider, 290},
    {L"PLAYER_VOLUME", 14020, ControlKind::Slider, 291},
    {L"PLAYER_BALANCE", 14030, ControlKind::Slider, 292},
    {L"EQUA_SLIDER1", 16000, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER2", 16010, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER3", 16020, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER4", 16030, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER5", 16040, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER6", 16050, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER7", 16060, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER8", 16070, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER9", 16080, ControlKind::VerticalSlider, 293},
    {L"EQUA_SLIDER10", 16090, ControlKind::VerticalSlider, 293},
    {L"SURR_SHOW", 16135, ControlKind::CheckButton, 294},
    {L"SURR_VIEW", 16125, ControlKind::SurroundView, 295},
    {L"EQUA_TURN", 14040, ControlKind::CheckButton, 296},
    {L"EQUA_PRESET", 14050, ControlKind::PushButton, 297},
    {L"STATUS_BAR", 14120, ControlKind::StatusText, 0},
    {L"MENU_FILE", 15000, ControlKind::PushButton, 0},
    {L"MENU_EDIT", 15010, ControlKind::PushButton, 0},
    {L"MENU_VIEW", 15020, ControlKind::PushButton, 0},
    {L"MENU_PLAY", 15030, ControlKind::PushButton, 0},
    {L"MENU_MORPH", 15040, ControlKind::PushButton, 0},
    {L"MENU_WINDOW", 15050, ControlKind::PushButton, 0},
    {L"MENU_HELP", 15060, ControlKind::PushButton, 0},
    {L"FRAME_MINI", 14070, ControlKind::PushButton, 300},
    {L"FRAME_ZOOM", 14080, ControlKind::PushButton, 301},
    {L"FRAME_CLOSE", 14090, ControlKind::PushButton, 302},
};

constexpr const wchar_t* kPanelNames[kPanelCount] = {L"FramePanelUp", L"FramePanelDown", L"FramePanelLeft",
                                                      L"FramePanelRight", L"FramePanelPlayer"};

}  // namespace

const ControlRow* ControlTable() { return kTable; }
int ControlTableSize() { return static_cast<int>(sizeof kTable / sizeof kTable[0]); }

int FindControlRow(std::wstring_view name) {
    for (int i = 0; i < ControlTableSize(); ++i)
        if (fw::EqualsNoCase(name, kTable[i].name)) return i;
    return -1;
}

int RowOfControlId(UINT id) {
    for (int i = 0; i < ControlTableSize(); ++i)
        if (id > kTable[i].command && id <= kTable[i].command + kMaxInstances) return i;
    return -1;
}

int RowOfCommand(UINT command) {
    for (int i = 0; i < ControlTableSize(); ++i)
        if (kTable[i].command == command) return i;
    return -1;
}

const wchar_t* PanelElementName(int panel) { return panel >= 0 && panel < kPanelCount ? kPanelNames[panel] : L""; }

int FindPanel(const std::wstring& owner) {
    for (int i = 0; i < kPanelCount; ++i)
        if (fw::EqualsNoCase(owner, kPanelNames[i])) return i;
    return -1;
}

FrameLayout ComputeFrameLayout(RECT r, const PanelSizes& sizes, int dialogFrameHeight, bool playerOn) {
    FrameLayout out;
    const SIZE up = sizes.size[kPanelUp], down = sizes.size[kPanelDown], left = sizes.size[kPanelLeft],
               right = sizes.size[kPanelRight], player = sizes.size[kPanelPlayer];

    int upHeight = up.cy + dialogFrameHeight + 90;
    out.panel[kPanelUp] = {r.left, r.top, std::max<LONG>(r.right, up.cx), r.top + upHeight};
    r.top += upHeight;

    out.playerShown = playerOn;
    if (playerOn) {
        LONG top = std::max<LONG>(r.bottom - player.cy, r.top + down.cy);
        out.panel[kPanelPlayer] = {r.left, top, std::max<LONG>(r.right, player.cx), top + player.cy};
        r.bottom = top;
    }

    LONG downTop = std::max<LONG>(r.bottom - down.cy, r.top);
    out.panel[kPanelDown] = {r.left, downTop, std::max<LONG>(r.right, down.cx), downTop + down.cy};
    r.bottom = downTop;

    LONG sideBottom = std::max<LONG>(left.cy, r.bottom);
    out.panel[kPanelLeft] = {r.left, r.top, r.left + left.cx, sideBottom};
    r.left += left.cx;

    r.right -= right.cx;
    LONG rightX = std::max(r.left, r.right);
    LONG rightBottom = std::max<LONG>(right.cy, r.bottom);
    out.panel[kPanelRight] = {rightX, r.top, rightX + right.cx, rightBottom};

    out.client = {r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom)};
    return out;
}

SIZE MinimumFrameSize(const PanelSizes& sizes, int skinWidth, int skinHeight) {
    const SIZE* s = sizes.size;
    SIZE out = {skinWidth, skinHeight};
    if (skinWidth <= 0) out.cx = std::max({s[kPanelPlayer].cx, s[kPanelDown].cx, s[kPanelUp].cx});
    if (skinHeight <= 0)
        out.cy = std::max(s[kPanelRight].cy, s[kPanelLeft].cy) + s[kPanelPlayer].cy + s[kPanelDown].cy + s[kPanelUp].cy;
    return out;
}

std::wstring PercentTooltip(const std::wstring& format, int value, int minimum, int maximum) {
    value = std::clamp(value, std::min(minimum, maximum), std::max(minimum, maximum));
    unsigned range = static_cast<unsigned>(maximum - minimum);
    unsigned percent = range ? static_cast<unsigned>(value - minimum) * 100u / range : 0u;
    return fw::Format(format.c_str(), static_cast<int>(percent));
}

std::wstring BalanceTooltip(const std::wstring& leftFormat, const std::wstring& rightFormat,
                            const std::wstring& centreText, int value, int minimum, int maximum) {
    int centre = (minimum + maximum) / 2, half = (maximum - minimum) / 2;
    if (half <= 0 || value == centre) return fw::Format(centreText.c_str());
    if (value < centre) return fw::Format(leftFormat.c_str(), (centre - value) * 100 / half);
    return fw::Format(rightFormat.c_str(), (value - centre) * 100 / half);
}

}  // namespace mdframe
