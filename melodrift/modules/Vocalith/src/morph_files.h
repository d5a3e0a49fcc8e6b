// "Morph Selected Files": the chosen effects applied to whole files, each
// written as a new WAV file "<name> - <effects>.wav" beside its original (or
// into a chosen folder). An existing file is never replaced (a number is
// added), the original is only read, and a file is written under a temporary
// name and renamed when complete, so that a cancel, a full disk or a failure
// leaves nothing behind. A progress window with the file, a bar and Cancel is
// shown while a worker thread morphs; a summary follows.
#pragma once

#include "morph_effects.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vocalith {

struct MorphOutcome {
    std::vector<std::wstring> written;   // the new files
    std::vector<std::wstring> failed;    // "<file>: <reason>"
    bool cancelled = false;
};

// The name the morphed copy of `path` gets in `folder` (with its trailing
// backslash; empty: the original's folder), with a number added while such a
// file exists.
std::wstring MorphedName(const std::wstring& path, const std::wstring& folder, const std::wstring& title);

// Morphs the files with the progress window owned by `owner` (disabled
// meanwhile) and shows the summary. Returns what happened.
MorphOutcome MorphFiles(HINSTANCE instance, HWND owner, const orvo::CSonarixLink& link, const orvo::MorphChoice& choice,
                        const std::vector<std::wstring>& files, const std::wstring& folder);

}  // namespace vocalith
