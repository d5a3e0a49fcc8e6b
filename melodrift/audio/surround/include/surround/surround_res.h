// Resource ids of the surround dialogs (res/surround.rc). The control ids of
// the settings are fixed by the player's skins and settings.
#pragma once

#define IDD_SURROUND 21110
#define IDD_SURROUND_SUPPORT 21120
#define IDC_SUPPORT_TEXT 21121
#define IDC_SUPPORT_SHOW 21122

#define IDC_SURROUND_PRESET 308
#define IDC_SURROUND_LFE_FREQ 310
#define IDC_SURROUND_LFE_VOLUME 311
#define IDC_SURROUND_ROOM 312
#define IDC_SURROUND_ABSORB 313
#define IDC_SURROUND_DECAY 314
#define IDC_SURROUND_POSITIONING 315
#define IDC_SURROUND_ON 321
#define IDC_SURROUND_REVERB 322
#define IDC_SURROUND_ADVANCE 324
#define IDC_SURROUND_DELAYS 325
#define IDC_SURROUND_VIEW 330
#define IDC_SURROUND_ORIGINAL 334
#define IDC_SURROUND_REVERB_VOLUME 335
#define IDC_SURROUND_MODE_FIRST 344   // 344..349: 4.0, 4.1, 5.1, 6.1, 7.1, 7.1 Front
#define IDC_SURROUND_MODE_LAST 349
// The value label of slider n is n + 100.
#define IDC_SURROUND_LABEL_OFFSET 100
// Names of the sliders.
#define IDC_SURROUND_NAME_FIRST 21130

#define IDS_SURROUND_NONE 333
