// COrvoCommandLineInfo: Melodrift's command line, in command-line order:
// the switches (parameters that began with "/" or "-", without that prefix)
// and the plain parameters (file names).
#pragma once

#include "fw/array.h"

#include <string>

class COrvoCommandLineInfo {
public:
    virtual ~COrvoCommandLineInfo() = default;

    // One parameter as the parser found it: `flag` when it began with "/" or
    // "-" (already removed), `last` for the final one.
    virtual void ParseParam(const wchar_t* param, bool flag, bool last);

    // Whether a switch equals `name` (letter case ignored); switches longer
    // than 260 characters are not compared.
    bool HasSwitch(const wchar_t* name) const;

    CArray<std::wstring> m_switches;
    CArray<std::wstring> m_files;
};

// Splits the command line after the program name by the system's rules
// (CommandLineToArgvW) and hands each parameter to info.ParseParam.
void ParseOrvoCommandLine(const wchar_t* commandLine, COrvoCommandLineInfo& info);

// The bus message that hands files to a module: "open" (or another word:
// "add" lists them without playing), then for each file a blank and the name
// in double quotes.
std::wstring BuildOpenCommand(const CArray<std::wstring>& files, const wchar_t* word = L"open");
