// Messages of Klarwin's windows beyond those the engine's threads post
// (scan_messages.h, repair_messages.h): the update and download messages the
// online side posts to the main window, the tray callback and the main
// window's own start-up messages.
#pragma once

#include <windows.h>

constexpr UINT WM_SCAN_UNUSED_810E = 0x810E;    // accepted and ignored by the main window
constexpr UINT WM_UPDATE_AVAILABLE = 0x811B;
constexpr UINT WM_UPDATE_NONE = 0x811C;
constexpr UINT WM_UPDATE_INSTALLED = 0x811D;
constexpr UINT WM_UPDATE_FAILED = 0x811E;
constexpr UINT WM_DOWNLOAD_START = 0x811F;
constexpr UINT WM_DOWNLOAD_COMPLETE = 0x8120;
constexpr UINT WM_DOWNLOAD_PROGRESS = 0x8121;
constexpr UINT WM_STARTUP_COMPLETE = 0x8122;    // the main window to itself, once after initialisation

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 0x38;  // lParam: the mouse message over the tray icon
constexpr UINT WM_STARTUP_SCAN = WM_USER + 0x39; // the first paint asks for the start-up scan

// The messages whose wParam is a system string (BSTR) the receiver frees.
constexpr bool MessageCarriesString(UINT message) {
    return message == 0x810D /* WM_SCAN_PROGRESS_TEXT */ || message == 0x8115 /* WM_REPAIR_ITEM */ ||
           message == 0x8118 /* WM_BACKUP_FOUND */;
}
