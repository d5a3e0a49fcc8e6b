#include "klarwin/path_text.h"

#include "fw/strutil.h"

namespace {

constexpr std::wstring_view kSystemRootToken = L"\\systemroot";
constexpr std::wstring_view kCheckedEndings[] = {L".exe", L".dll", L".txt", L".ttf", L".chm",
                                                 L".wav", L".jpg", L".bmp", L".xml"};

// Characters of a path buffer, and of each part of a split path (without terminator).
constexpr std::size_t kPathBuffer = 259;
constexpr std::size_t kPartLimit = 255;

std::wstring Cut(std::wstring_view text, std::size_t limit) {
    return std::wstring(text.substr(0, limit));
}

}  // namespace

std::wstring DriveTestText(std::wstring_view expanded) {
    std::wstring lower = fw::ToLower(expanded);
    std::wstring out;
    out.reserve(lower.size() + 8);
    std::size_t start = 0;
    for (;;) {
        std::size_t hit = lower.find(kSystemRootToken, start);
        if (hit == std::wstring::npos) break;
        out.append(lower, start, hit - start);
        out += L"%systemroot%";
        start = hit + kSystemRootToken.size();
    }
    out.append(lower, start, std::wstring::npos);
    return out;
}

PathVerdict ClassifyPathCandidate(std::wstring_view expanded, std::wstring_view driveExpanded) {
    if (driveExpanded.find(L':') == std::wstring_view::npos) return PathVerdict::NoDrive;

    if (expanded.find_first_of(L",;{}") != std::wstring_view::npos) return PathVerdict::NotSinglePath;
    std::size_t dot = expanded.find(L'.');
    if (dot == std::wstring_view::npos || expanded.find(L'.', dot + 1) != std::wstring_view::npos)
        return PathVerdict::NotSinglePath;

    if (expanded.find(L"msiexec.exe") != std::wstring_view::npos ||
        expanded.find(L"rundll32") != std::wstring_view::npos)
        return PathVerdict::Launcher;

    std::wstring_view tail = expanded.size() > 4 ? expanded.substr(expanded.size() - 4) : expanded;
    std::wstring ending = fw::ToLower(tail);
    for (std::wstring_view checked : kCheckedEndings)
        if (ending == checked) return PathVerdict::MustExist;
    return PathVerdict::OtherExtension;
}

std::wstring LookupPathText(std::wstring_view expanded, std::wstring_view systemRoot) {
    std::size_t n = kSystemRootToken.size();
    if (!systemRoot.empty() && expanded.size() >= n && fw::EqualsNoCase(expanded.substr(0, n), kSystemRootToken) &&
        (expanded.size() == n || expanded[n] == L'\\')) {
        std::wstring out(systemRoot);
        out.append(expanded.substr(n));
        return out;
    }
    return std::wstring(expanded);
}

CPath::CPath(std::wstring_view text) {
    std::wstring buffer = Cut(text, kPathBuffer);
    // Enclosing quotes go, as the shell's unquoting does.
    if (buffer.size() >= 2 && buffer.front() == L'"' && buffer.back() == L'"') buffer = buffer.substr(1, buffer.size() - 2);
    m_text = buffer;
    if (buffer.empty()) return;

    std::wstring_view rest(buffer);
    if (rest.size() >= 2 && rest[1] == L':') {
        m_drive = std::wstring(rest.substr(0, 2));
        rest.remove_prefix(2);
    }
    std::size_t slash = rest.find_last_of(L"\\/");
    if (slash != std::wstring_view::npos) {
        m_directory = Cut(rest.substr(0, slash + 1), kPartLimit);
        rest.remove_prefix(slash + 1);
    }
    std::size_t dot = rest.rfind(L'.');
    if (dot != std::wstring_view::npos) {
        m_fileName = Cut(rest.substr(0, dot), kPartLimit);
        m_extension = Cut(rest.substr(dot + 1), kPartLimit - 1);
    } else {
        m_fileName = Cut(rest, kPartLimit);
    }
    m_relative = !m_directory.empty() && m_directory.front() != L'\\';
}

std::wstring CPath::GetFullPath() const {
    std::wstring out = m_drive + m_directory + m_fileName;
    if (!m_extension.empty()) {
        out += L'.';
        out += m_extension;
    }
    return out;
}

bool MatchesFileMask(std::wstring_view name, std::wstring_view mask) {
    // Greedy matching with one back-tracking point: the last "*" seen.
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::wstring_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == L'*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == L'?' || fw::ToLower(mask[m]) == fw::ToLower(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::wstring_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}
