// Messages the repair thread and the backup listing post to the window they
// report to (the program's main window). Numbers are absolute. A string
// carried in wParam is a BSTR allocated by the sender and freed by the
// receiver (SysFreeString).
#pragma once

#include <windows.h>

constexpr UINT WM_REPAIR_START = 0x8113;     // wParam count, lParam 0: the backup file exists, repairs begin
constexpr UINT WM_REPAIR_PROGRESS = 0x8114;  // wParam errors processed so far (1, 2, ...)
constexpr UINT WM_REPAIR_ITEM = 0x8115;      // wParam BSTR: the error about to be repaired
// The repair has ended. wParam: how many errors were left unrepaired because
// no backup of them could be written (0 normally); lParam: 1 when the repair
// was stopped before its end, 0 otherwise.
constexpr UINT WM_REPAIR_DONE = 0x8116;
constexpr UINT WM_BACKUP_FOUND = 0x8118;     // wParam BSTR: full path of a backup file
