// The text side of the path checks: which registry texts are taken for one
// file path that must exist, and CPath, a path split into its parts.
// Platform-neutral; the Windows side (environment expansion, the file lookup)
// is in path_check.h.
#pragma once

#include <string>
#include <string_view>

#include "fw/array.h"

// Longest text the path checks work on after environment expansion.
constexpr std::size_t kExpandLimit = 1024;
// A path of this length or more is never looked up (and so counts as missing).
constexpr std::size_t kMaxLookupPath = 260;

// The copy of an expanded candidate that the drive test expands once more:
// lower-cased, with every "\systemroot" replaced by "%systemroot%".
std::wstring DriveTestText(std::wstring_view expanded);

// What the path test does with a candidate, given the candidate after one
// environment expansion (`expanded`) and the drive-test text after its own
// expansion (`driveExpanded`):
enum class PathVerdict {
    NoDrive,         // no colon even after expansion: not an absolute path, accepted
    NotSinglePath,   // holds , ; { } or not exactly one dot: accepted
    Launcher,        // names "msiexec.exe" or "rundll32": accepted
    OtherExtension,  // does not end in a checked file type: accepted
    MustExist,       // the file must exist
};
PathVerdict ClassifyPathCandidate(std::wstring_view expanded, std::wstring_view driveExpanded);

// The text that is looked up for a candidate that must exist. It is the
// expanded candidate, except that a leading "\systemroot" (any letter case)
// is given the system folder the drive test resolved it to, so that a path
// the system writes as "\SystemRoot\..." is found where it really is.
// `systemRoot` is the expansion of "%systemroot%".
std::wstring LookupPathText(std::wstring_view expanded, std::wstring_view systemRoot);

// Whether a file's own (long) name matches a search mask of "*" (any run of
// characters) and "?" (one character), letters compared without case. The
// system's folder search also matches masks against generated short names
// ("x.lnk_old" may be found as "X~1.LNK" by "*.lnk"); this test is on the
// name itself.
bool MatchesFileMask(std::wstring_view name, std::wstring_view mask);

// One command-line switch: prefix character, name, value.
struct CArgument {
    wchar_t Prefix = L'/';
    std::wstring Name;
    std::wstring Value;
};

// A path split into drive ("C:"), directory (with its leading and trailing
// backslashes as written), file name and extension (without the dot).
class CPath {
public:
    CPath() = default;
    explicit CPath(std::wstring_view text);

    const std::wstring& GetText() const { return m_text; }
    const std::wstring& GetDrive() const { return m_drive; }
    const std::wstring& GetDirectory() const { return m_directory; }
    const std::wstring& GetFileName() const { return m_fileName; }
    const std::wstring& GetExtension() const { return m_extension; }
    // The directory is non-empty and does not start with a backslash.
    bool IsRelative() const { return m_relative; }
    // Drive + directory + file name, then "." and the extension when there is one.
    std::wstring GetFullPath() const;

    CArray<CArgument>& Arguments() { return m_arguments; }
    const CArray<CArgument>& Arguments() const { return m_arguments; }

private:
    std::wstring m_text;
    std::wstring m_drive;
    std::wstring m_directory;
    std::wstring m_fileName;
    std::wstring m_extension;
    bool m_relative = false;
    CArray<CArgument> m_arguments;
};
