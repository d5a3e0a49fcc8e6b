// rebooter.exe: restarts Klarwin after an update. Klarwin starts it from its
// own folder once the new program file is in place; it asks the running
// Klarwin of that folder to close, ends it when it is still running after a
// grace period, and starts the updated "Klarwin.exe" of the folder.
//
//   rebooter.exe [/grace milliseconds]      (default 10 seconds)
//
// Exit code 0 when the updated program was started, 1 otherwise.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring OwnFolder() {
    std::wstring path(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(n);
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring ImagePath(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, &path[0], &size)) return {};
    path.resize(size);
    return path;
}

// The running copies of the program (also under its ".bak" name: the old
// file was moved there while it ran).
std::vector<DWORD> RunningCopies(const std::wstring& program) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    std::wstring backup = program + L".bak";
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == GetCurrentProcessId()) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) continue;
        std::wstring image = ImagePath(process);
        CloseHandle(process);
        if (_wcsicmp(image.c_str(), program.c_str()) == 0 || _wcsicmp(image.c_str(), backup.c_str()) == 0)
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

BOOL CALLBACK CloseWindowsOf(HWND hwnd, LPARAM pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == static_cast<DWORD>(pid)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

void EndRunningCopies(const std::wstring& program, DWORD graceMs) {
    std::vector<HANDLE> processes;
    for (DWORD pid : RunningCopies(program)) {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        if (!process) continue;
        processes.push_back(process);
        EnumWindows(CloseWindowsOf, static_cast<LPARAM>(pid));
    }
    DWORD start = GetTickCount();
    for (HANDLE process : processes) {
        DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(process, spent < graceMs ? graceMs - spent : 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    DWORD graceMs = 10000;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i + 1 < argc; ++i) {
        if (_wcsicmp(argv[i], L"/grace") == 0) graceMs = wcstoul(argv[i + 1], nullptr, 10);
    }
    if (argv) LocalFree(argv);

    std::wstring folder = OwnFolder();
    std::wstring program = folder + L"\\Klarwin.exe";
    EndRunningCopies(program, graceMs);
    // The old file is no longer in use now.
    DeleteFileW((program + L".bak").c_str());

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                        &pi))
        return 1;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
