// What starts with Windows on this computer: the entries of the two Run keys,
// and the system report (running processes with file size and MD5 digest,
// both Run keys, the browser helper objects) as plain text and as lightly
// tagged HTML.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "klarwin/scan_records.h"

constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kBrowserHelpersPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// CMD5: the MD5 digest (RFC 1321) of bytes or of a file, computed by the
// system's cryptographic provider. Files are read in pieces, not held whole.
class CMD5 {
public:
    // 32 lower-case hexadecimal digits; empty when the digest could not be made.
    static std::wstring OfBytes(const void* data, std::size_t size);
    // Empty when the file cannot be read.
    static std::wstring OfFile(const std::wstring& path);
};

// The values of the Run key under one root, in enumeration order, as start-up
// items (ValueType 0). Names over 255 characters and data over 1024 bytes are
// left out; data of any type is read as UTF-16 text up to its first NUL.
void AppendStartupItems(HKEY root, CRegistryItemListEx& items);
// HKEY_CURRENT_USER's entries, then HKEY_LOCAL_MACHINE's.
CRegistryItemListEx GetStartupItems();

// Full paths of the main modules of every running process that can be opened
// and named, in the system's order (however many there are).
std::vector<std::wstring> GetRunningProcessPaths();

// The report's inputs, gathered from the system by GatherSystemReport.
struct SystemReportData {
    struct RunEntry {
        std::wstring Name;
        std::wstring Data;
    };
    struct Process {
        std::wstring Path;
        long long Size = -1;   // -1 when unknown
        std::wstring Digest;   // empty when the file could not be read
    };
    std::vector<RunEntry> MachineRun;
    std::vector<RunEntry> UserRun;
    std::vector<std::wstring> BrowserHelpers;
    std::vector<Process> Processes;
};

SystemReportData GatherSystemReport();
// Both texts from gathered data. Values from the registry and file paths are
// escaped in the HTML.
void FormatSystemReport(const SystemReportData& data, std::wstring& text, std::wstring& html);
void BuildSystemReport(std::wstring& text, std::wstring& html);
