// CSolutionRunner: carries out the solution commands the log service returns.
// The command text is "number%argument" commands separated by ";":
//   1 end every process of that executable name   4 delete a registry value
//   2 delete a file                                  ("ROOT:subkey:value")
//   3 delete a folder and everything in it         5 unregister and delete a DLL
//                                                  6 remove a browser helper object
// ParseSolution keeps only the commands whose targets exist now as pending
// actions; RunSolution executes them in order and returns a readable log.
//
//   CSolutionRunner runner;                       // one per process (singleton)
//   runner.ParseSolution(L"2%C:\\bad.exe;1%bad.exe");
//   std::wstring log = runner.RunSolution();
//
// Used from the user-interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "fw/singleton.h"

// The log of a run with nothing to do.
extern const wchar_t kSolutionNothingToDo[];

// Where browser helper objects are registered (under HKEY_LOCAL_MACHINE).
constexpr wchar_t kBrowserHelperObjectsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

class CSolutionRunner : public CSingleton<CSolutionRunner> {
public:
    void ParseSolution(const std::wstring& commands);
    std::wstring RunSolution();

    // The pending action lines ("1;pid;name", "2;path", "4;root;subkey;value", ...).
    const std::vector<std::wstring>& GetPendingActions() const { return m_pending; }

private:
    std::vector<std::wstring> m_pending;
};

// Deletes a folder with everything in it, appending one entry per file and
// folder to log. Links (junctions, symbolic links) inside are removed
// themselves; what they point to is never touched.
void DeleteFolderTree(const std::wstring& folder, std::wstring& log);
