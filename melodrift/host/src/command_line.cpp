#include "command_line.h"

#include "fw/strutil.h"

#include <windows.h>
#include <shellapi.h>

void COrvoCommandLineInfo::ParseParam(const wchar_t* param, bool flag, bool /*last*/) {
    if (flag) m_switches.Add(param);
    else m_files.Add(param);
}

bool COrvoCommandLineInfo::HasSwitch(const wchar_t* name) const {
    for (const std::wstring& s : m_switches)
        if (s.size() <= 260 && fw::EqualsNoCase(s, name)) return true;
    return false;
}

void ParseOrvoCommandLine(const wchar_t* commandLine, COrvoCommandLineInfo& info) {
    // A program name first: CommandLineToArgvW takes the first word as one
    // (and answers the program's own path for an empty line).
    std::wstring line = L"x ";
    line += commandLine ? commandLine : L"";
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(line.c_str(), &count);
    if (!args) return;
    for (int i = 1; i < count; ++i) {
        const wchar_t* p = args[i];
        bool flag = p[0] == L'/' || p[0] == L'-';
        info.ParseParam(flag ? p + 1 : p, flag, i == count - 1);
    }
    LocalFree(args);
}

std::wstring BuildOpenCommand(const CArray<std::wstring>& files, const wchar_t* word) {
    std::wstring text = word;
    for (const std::wstring& f : files) text += L" \"" + f + L"\"";
    return text;
}
