// What the source files of the Tunestack window share: the messages its
// workers post to it, its timer and the sizes of the workers' batches.
// tunestack_window.cpp makes the window and runs its commands,
// tunestack_list.cpp shows the library (the playlists and the track list),
// tunestack_workers.cpp adds folders and reads tags on worker threads,
// tunestack_playlists.cpp sorts and imports and exports playlist files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

namespace tunestack {

inline constexpr wchar_t kAllTracks[] = L"All tracks";
inline constexpr UINT kScanDone = WM_APP + 1;
inline constexpr UINT kResults = WM_APP + 2;     // a worker has read something
inline constexpr UINT kSaveFailed = WM_APP + 3;  // the library's writer could not write its files
// Sent: waits until the files handed to the writers are on disk; answers 1
// when the library's last save succeeded, 0 when it failed.
inline constexpr UINT kFinishWrites = WM_APP + 4;
inline constexpr UINT_PTR kProgressTimer = 1;
// A worker hands over what it read at least this often while it reads.
inline constexpr DWORD kBatchMs = 40;
inline constexpr std::size_t kBatchFiles = 256;
// A folder's worker waits while this many files it read are not yet taken by
// the window: what is shown stays close to what was read, and memory bounded.
inline constexpr std::size_t kMaxAhead = 512;

// The text of a list view's row, first column.
inline std::wstring ListText(HWND list, int item)
{
    wchar_t text[1024] = {};
    ListView_GetItemText(list, item, 0, text, 1024);
    return text;
}

}  // namespace tunestack
