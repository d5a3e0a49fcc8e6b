// Backup files of the repairs and their restore.
//
// Every repair run creates one backup file in the folder "backup" beside the
// program, named after the local time at its start ("20261208_0341.dat"); a
// second repair in the same minute gets the next free name of that minute
// ("20261208_0341_2.dat"), so no backup is ever overwritten or merged. The
// file holds one backup line per registry location the repair handled, in
// the order of the repairs.
#pragma once

#include <windows.h>

#include <string>

#include "klarwin/record_format.h"
#include "klarwin/report_text.h"

LocalTime CurrentLocalTime();

// Full path of the program file, and its folder (without trailing backslash).
std::wstring ProgramFilePath();
std::wstring ProgramFolder();
// "<program folder>\backup".
std::wstring DefaultBackupFolder();

// Creates the folder and its missing parents; true when it exists afterwards.
bool EnsureFolder(const std::wstring& folder);

// Makes sure the folder exists and creates a new, empty backup file named from
// `time`, never reusing an existing name. Returns its full path, or an empty
// text when no file could be created.
std::wstring CreateBackupFile(const std::wstring& folder, const LocalTime& time);
std::wstring CreateBackupFile(const std::wstring& folder);

// Appends one backup line (kind 1 a value, 2 a key) at the end of the file.
bool AppendBackupLine(const std::wstring& path, int kind, const CRegistryItem& item);

// Reads the value root\subKey\valueName as a backup records it: its type (1,
// 2 or 4) and its data as text (decimal for REG_DWORD). False when the value
// does not exist or has a type a backup line cannot hold; `item` then keeps
// what it had.
bool ReadValueForBackup(HKEY root, const std::wstring& subKey, const std::wstring& valueName,
                        CRegistryItem& item);

enum class RestoreResult {
    Ok,             // every line applied
    NotFound,       // no such file
    ReadError,      // the file could not be read
    Incomplete,     // a line with too few fields ended the restore there
    WriteFailed,    // every line was read, but some value or key could not be written
};

// What a restore did: how many lines were applied, which registry locations
// ("root\subkey\value" or "root\subkey") could not be written, and whether a
// damaged line ended the restore before the end of the file.
struct RestoreReport {
    RestoreResult Result = RestoreResult::NotFound;
    int Restored = 0;
    CStringArrayEx NotWritten;
    bool Damaged = false;
};

// Applies a backup file in line order: a value line writes the value back
// with the type recorded in it (REG_SZ, REG_EXPAND_SZ or REG_DWORD), creating
// its key when needed; a key line creates the key. When every line was read
// (result Ok or WriteFailed) the ignore-list file is deleted, so errors hidden
// by earlier repairs are reported again. The backup file itself is kept.
RestoreResult RestoreBackupFile(const std::wstring& path, const std::wstring& ignoreFile,
                                RestoreReport* report = nullptr);
