// Messages the registry scan thread posts to the window it reports to (the
// program's main window). Numbers are absolute. A string carried in wParam is
// a BSTR allocated by the sender and freed by the receiver (SysFreeString).
#pragma once

#include <windows.h>

constexpr UINT WM_SCAN_ERROR_FOUND = 0x810C;    // wParam section, lParam ordinal: a CError was appended
constexpr UINT WM_SCAN_PROGRESS_TEXT = 0x810D;  // wParam BSTR: what is being examined; lParam 0
constexpr UINT WM_SCAN_COMPLETE = 0x810F;       // 0, 0: the last section ended and the scan was not stopped
constexpr UINT WM_SCAN_SECTION_START = 0x8110;  // wParam section, lParam ordinal
constexpr UINT WM_SCAN_SECTION_END = 0x8111;    // wParam section, lParam ordinal
// wParam section, lParam ordinal: the section was not checked (between its
// start and end): the shortcut section when the system gave the scan no
// shell-link object to read shortcuts with.
constexpr UINT WM_SCAN_SECTION_SKIPPED = 0x8117;
