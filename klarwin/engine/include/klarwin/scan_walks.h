// The walks of the twelve scan sections. Each runs on the scan thread over a
// ScanContext whose section, root and ordinal are set, and stops as soon as the
// context's running flag is cleared. Keys are opened for reading only; a key,
// value or name that cannot be read, or is over its limit (names 255
// characters, string data 1024 bytes), is skipped.
#pragma once

#include <string>

#include "klarwin/scan_context.h"

// One whole section: begin (WM_SCAN_SECTION_START), its walk, end (pause and
// WM_SCAN_SECTION_END). Section 4 begins a second time for its second root.
void RunScanSection(ScanContext& ctx, int section);

// The values of one key under the context's root: every value's name is posted
// as progress, string values go through the path test.
void CheckKeyValues(ScanContext& ctx, const std::wstring& subKey);
// The same for the key and its subkeys down to depth 11 (the key is depth 1).
void CheckValuesRecursively(ScanContext& ctx, const std::wstring& subKey, int depth = 1);
// The DWORD values of one key whose names are file paths.
void CheckSharedDlls(ScanContext& ctx, const std::wstring& subKey);
// Keys without subkeys and values, more than two levels below the start.
void WalkEmptyKeys(ScanContext& ctx, const std::wstring& subKey, int depth = 1);
// Classes whose "AppID" names no "AppID\..." key; classes whose "TypeLib"
// names no "TypeLib\..." key.
void CheckActiveXAppIds(ScanContext& ctx);
void CheckActiveXTypeLibs(ScanContext& ctx);
// ".lnk" files under the user's profile whose target is gone; without the
// context's shell-link object, WM_SCAN_SECTION_SKIPPED and nothing else.
void SearchShortcuts(ScanContext& ctx);
