// Messages of Klarwin's windows beyond those the engine's threads post
// (scan_messages.h, repair_messages.h): the update and download messages the
// online side posts to the main window, the tray callback and the main
// window's own start-up messages.
#pragma once

#include <windows.h>

#include "klarwin/update_messages.h"  // WM_UPDATE_* and WM_DOWNLOAD_*

constexpr UINT WM_SCAN_UNUSED_810E = 0x810E;    // accepted and ignored by the main window
constexpr UINT WM_STARTUP_COMPLETE = 0x8122;    // the main window to itself, once after initialisation

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 0x38;  // lParam: the mouse message over the tray icon
constexpr UINT WM_STARTUP_SCAN = WM_USER + 0x39; // the first paint asks for the start-up scan

// The messages whose wParam is a system string (BSTR) the receiver frees.
constexpr bool MessageCarriesString(UINT message) {
    return message == 0x810D /* WM_SCAN_PROGRESS_TEXT */ || message == 0x8115 /* WM_REPAIR_ITEM */ ||
           message == 0x8118 /* WM_BACKUP_FOUND */;
}
