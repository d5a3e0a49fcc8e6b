// Messages the online side's update-check and download threads post to the
// main window (all with lParam 0).
#pragma once

#include <windows.h>

constexpr UINT WM_UPDATE_AVAILABLE = 0x811B;   // the server's version differs from the program's
constexpr UINT WM_UPDATE_NONE = 0x811C;        // the same version (only when asked to tell)
constexpr UINT WM_UPDATE_INSTALLED = 0x811D;   // the new program file is in place
constexpr UINT WM_UPDATE_FAILED = 0x811E;      // wParam: why (below); the program file stays
constexpr UINT WM_DOWNLOAD_START = 0x811F;     // wParam: expected size in bytes
constexpr UINT WM_DOWNLOAD_COMPLETE = 0x8120;  // the whole file has been received
constexpr UINT WM_DOWNLOAD_PROGRESS = 0x8121;  // wParam: bytes received so far

// Why WM_UPDATE_FAILED: the download (or the size file, or the replacement)
// failed; or what arrived is not this product's program in another version
// and was discarded.
constexpr WPARAM kUpdateFailedDownload = 0;
constexpr WPARAM kUpdateFailedNotAProgram = 1;
