// The path test applied to registry texts and the shortcut test applied to
// ".lnk" files (the Windows side; which texts are tested is in path_text.h).
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "klarwin/path_text.h"
#include "klarwin/scan_records.h"

struct ScanContext;

// ExpandEnvironmentStringsW, the result cut to limit - 1 characters. A text
// that cannot be expanded comes back as it is.
std::wstring ExpandEnvironment(std::wstring_view text, std::size_t limit = kExpandLimit);

enum class PathState { Exists, Missing, Unknown };

// Whether an entry (file or folder) is at `path`, which may hold wildcards (then
// any match counts). Unknown when the system could not tell (access denied,
// device not ready ...). A path of kMaxLookupPath characters or more is Missing.
PathState LookUpPath(const std::wstring& path);

// The same, telling also whether the folder the path names is missing as a
// whole (the system said so): then nothing else in that folder is there either.
PathState LookUpPath(const std::wstring& path, bool& folderMissing);

// What one scan found at the paths it looked up. Registries name the same
// files again and again, and the leftovers of a removed program lie in the same
// gone folder; within one scan a path, and a folder known to be gone, is looked
// up once.
class CPathLookupCache {
public:
    PathState LookUp(const std::wstring& path);
    void Clear() {
        m_states.clear();
        m_missingFolders.clear();
    }
    std::size_t Size() const { return m_states.size(); }

private:
    static constexpr std::size_t kMaxEntries = 100000;
    std::unordered_map<std::wstring, PathState> m_states;
    std::unordered_set<std::wstring> m_missingFolders;
};

// Steps 1-5 of the path test on one candidate: true when it looks like one
// absolute file path of a checked type and nothing is there. `systemRoot` is
// the expansion of "%systemroot%"; `cache` (when given) answers paths already
// looked up.
bool IsPathCandidateMissing(std::wstring_view candidate, std::wstring_view systemRoot,
                            CPathLookupCache* cache = nullptr);

// The whole path test: on a missing file adds the error "The file is missing or
// invalid." for `item` through the scan's add-error step. `displayText` is
// "<root name>\<subkey>\<value name>".
void PathTest(ScanContext& ctx, const CRegistryItem& item, const std::wstring& displayText,
              const std::wstring& candidate);

// Adds that error without testing again (for callers that already did).
void ReportMissingPath(ScanContext& ctx, CRegistryItem item, const std::wstring& displayText,
                       std::wstring_view candidate);

// The shortcut test of a scan: false when the context has no shell-link object
// or the scan has been stopped, otherwise ShortcutResolves.
bool ShortcutTest(ScanContext& ctx, const std::wstring& path);

// True when the shortcut loads, resolves (without user interface, search or
// tracking) and its target, when it names one in the file system, is there.
// The target is checked as well because some systems answer the resolve with
// success for a target that is gone.
bool ShortcutResolves(IShellLinkW* link, const std::wstring& path);
