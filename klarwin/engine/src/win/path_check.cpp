#include "klarwin/path_check.h"

#include <shlwapi.h>

#include <vector>

#include "fw/strutil.h"
#include "fw/win/com.h"
#include "klarwin/scan_context.h"

std::wstring ExpandEnvironment(std::wstring_view text, std::size_t limit) {
    std::wstring source(text);
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    if (needed == 0) return source;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(needed) + 1, L'\0');
    DWORD got = ExpandEnvironmentStringsW(source.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0 || got > buffer.size()) return source;
    std::wstring out(buffer.data());
    if (limit > 0 && out.size() > limit - 1) out.resize(limit - 1);
    return out;
}

namespace {

bool IsNotFoundError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NO_MORE_FILES:
        case ERROR_DIRECTORY:
        case ERROR_FILENAME_EXCED_RANGE:
            return true;
        default:
            return false;
    }
}

PathState FindFirst(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        return PathState::Exists;
    }
    return IsNotFoundError(GetLastError()) ? PathState::Missing : PathState::Unknown;
}

constexpr std::wstring_view kSystemRootToken = L"\\systemroot";

}  // namespace

PathState LookUpPath(const std::wstring& path, bool& folderMissing) {
    folderMissing = false;
    if (path.empty() || path.size() >= kMaxLookupPath) return PathState::Missing;
    // Wildcards: any match counts, as with a directory search.
    if (path.find_first_of(L"*?") != std::wstring::npos) return FindFirst(path);
    // Otherwise asking for the attributes is the same question, answered
    // without opening the folder; what it cannot settle goes to the search.
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return PathState::Exists;
    DWORD error = GetLastError();
    if (IsNotFoundError(error)) {
        folderMissing = error == ERROR_PATH_NOT_FOUND;
        return PathState::Missing;
    }
    return FindFirst(path);
}

PathState LookUpPath(const std::wstring& path) {
    bool folderMissing = false;
    return LookUpPath(path, folderMissing);
}

PathState CPathLookupCache::LookUp(const std::wstring& path) {
    auto it = m_states.find(path);
    if (it != m_states.end()) return it->second;
    std::size_t slash = path.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    bool wildcards = path.find_first_of(L"*?") != std::wstring::npos;
    PathState state;
    bool folderMissing = false;
    if (!folder.empty() && !wildcards && m_missingFolders.count(folder))
        state = PathState::Missing;
    else
        state = LookUpPath(path, folderMissing);
    if (m_states.size() >= kMaxEntries) {
        m_states.clear();
        m_missingFolders.clear();
    }
    m_states.emplace(path, state);
    if (folderMissing && !folder.empty() && !wildcards) m_missingFolders.insert(std::move(folder));
    return state;
}

bool IsPathCandidateMissing(std::wstring_view candidate, std::wstring_view systemRoot, CPathLookupCache* cache) {
    // Most registry texts hold no variable: nothing to expand (nor copy) then.
    std::wstring expandedText;
    std::wstring_view expanded = candidate;
    if (candidate.find(L'%') != std::wstring_view::npos) {
        expandedText = ExpandEnvironment(candidate);
        expanded = expandedText;
    }
    bool hasDrive;
    if (expanded.find(L'%') == std::wstring_view::npos &&
        fw::FindNoCase(expanded, kSystemRootToken) == std::wstring_view::npos) {
        hasDrive = expanded.find(L':') != std::wstring_view::npos;  // the drive test would change nothing
    } else {
        hasDrive = ExpandEnvironment(DriveTestText(expanded)).find(L':') != std::wstring::npos;
    }
    if (ClassifyPathCandidate(expanded, hasDrive ? L":" : L"") != PathVerdict::MustExist) return false;
    std::wstring lookup = LookupPathText(expanded, systemRoot);
    return (cache ? cache->LookUp(lookup) : LookUpPath(lookup)) == PathState::Missing;
}

void PathTest(ScanContext& ctx, const CRegistryItem& item, const std::wstring& displayText,
              const std::wstring& candidate) {
    if (IsPathCandidateMissing(candidate, ctx.systemRoot, &ctx.pathCache)) ReportMissingPath(ctx, item, displayText, candidate);
}

void ReportMissingPath(ScanContext& ctx, CRegistryItem item, const std::wstring& displayText,
                       std::wstring_view candidate) {
    CError error;
    error.ErrorType = kErrorValue;
    error.FilePath = std::wstring(candidate);
    error.Reason = fw::Format(L"The value in %s  contains an invalid path %s", displayText.c_str(),
                              error.FilePath.c_str());
    error.Title = L"The file is missing or invalid.";
    error.Item = std::move(item);
    AddScanError(ctx, std::move(error));
}

bool ShortcutTest(ScanContext& ctx, const std::wstring& path) {
    if (!ctx.shellLink || !ctx.running.load()) return false;
    return ShortcutResolves(ctx.shellLink.Get(), path);
}

bool ShortcutResolves(IShellLinkW* link, const std::wstring& path) {
    if (!link) return false;
    fw::ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.ReleaseAndGetAddressOf()))))
        return false;
    if (FAILED(file->Load(path.c_str(), STGM_READ))) return false;
    const DWORD flags = SLR_NO_UI | SLR_NOUPDATE | SLR_NOSEARCH | SLR_NOTRACK | SLR_NOLINKINFO;
    if (link->Resolve(nullptr, flags) != S_OK) return false;

    wchar_t target[MAX_PATH + 1] = {};
    WIN32_FIND_DATAW data;
    if (link->GetPath(target, MAX_PATH, &data, SLGP_RAWPATH) != S_OK || target[0] == L'\0') return true;
    std::wstring expanded = ExpandEnvironment(target, MAX_PATH + 1);
    if (PathIsRelativeW(expanded.c_str())) return true;  // only the shell can say where that is
    return LookUpPath(expanded) != PathState::Missing;
}
