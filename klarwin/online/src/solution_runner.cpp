#include "klarwin/online/solution_runner.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>

#include "klarwin/online/solution_text.h"

const wchar_t kSolutionNothingToDo[] =
    L"Our staff has thoroughly checked / repaired your Windows registry;\n"
    L"your computer is now free from registry errors caused by spyware, adware and other type of malware. "
    L"Click OK to proceed.";

namespace {

std::vector<std::wstring> Tokenise(const std::wstring& text, const wchar_t* separators) {
    return TokeniseText(text, separators);
}

std::wstring Format(const wchar_t* format, const std::wstring& a, const std::wstring& b = {},
                    const std::wstring& c = {}) {
    std::wstring out;
    size_t size = wcslen(format) + a.size() + b.size() + c.size() + 64;
    out.resize(size);
    int n = _snwprintf(&out[0], size, format, a.c_str(), b.c_str(), c.c_str());
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

bool PathExists(const std::wstring& path) {
    if (path.empty()) return false;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

HKEY RootFromName(const std::wstring& name, bool allowUsers) {
    if (name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (allowUsers && name == L"HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

bool RegistryValueExists(HKEY root, const std::wstring& subkey, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    LONG rc = RegQueryValueExW(key, value.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void AddProcessActions(const std::wstring& exeName, std::vector<std::wstring>& pending) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID != 0 && exeName == entry.szExeFile)
            pending.push_back(L"1;" + std::to_wstring(entry.th32ProcessID) + L";" + entry.szExeFile);
    }
    CloseHandle(snapshot);
}

void EndProcess(const std::wstring& pidText, const std::wstring& name, std::wstring& log) {
    bool killed = false;
    DWORD pid = wcstoul(pidText.c_str(), nullptr, 10);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (process) {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        killed = TerminateProcess(process, code) != FALSE;
        CloseHandle(process);
    }
    log += Format(killed ? L"Process = %ls has been killed\r\n" : L"Process = %ls was not killed\r\n", name);
}

void DeleteRegistryValueAction(const std::wstring& rootName, const std::wstring& subkey, const std::wstring& value,
                               std::wstring& log) {
    bool deleted = false;
    if (HKEY root = RootFromName(rootName, false)) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            deleted = RegDeleteValueW(key, value.c_str()) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    log += Format(deleted ? L"Registry Item = %ls\\%ls /%ls has been deleted\r\n"
                          : L"Registry Item =  %ls\\%ls /%ls was not deleted\r\n",
                  rootName, subkey, value);
}

void RemoveDll(const std::wstring& path, std::wstring& log) {
    if (path.empty()) return;
    bool unregistered = false;
    if (HMODULE dll = LoadLibraryW(path.c_str())) {
        using UnregisterFn = HRESULT(__stdcall*)();
        auto unregister = reinterpret_cast<UnregisterFn>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
        if (unregister) {
            unregister();
            unregistered = true;
        }
        FreeLibrary(dll);
    }
    if (!unregistered) log += Format(L"Dll = %ls could not be unregistered because it was not registered.\r\n", path);
    const bool deleted = DeleteFileW(path.c_str()) != FALSE;
    log += Format(deleted ? L"Dll = %ls has been deleted.\r\n" : L"Dll = %ls was not deleted.\r\n", path);
}

void RemoveBrowserHelperObject(const std::wstring& clsid, std::wstring& log) {
    HKEY server = nullptr;
    std::wstring serverKey = L"CLSID\\" + clsid + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, KEY_QUERY_VALUE, &server) == ERROR_SUCCESS) {
        wchar_t dll[513] = {};
        DWORD size = 1024, type = 0;
        if (RegQueryValueExW(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(dll), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            dll[512] = 0;
            std::wstring path = dll;
            if (type == REG_EXPAND_SZ) {
                // "%SystemRoot%\..." and the like: the file the system would load.
                wchar_t expanded[MAX_PATH * 2] = {};
                const DWORD n = ExpandEnvironmentStringsW(dll, expanded, MAX_PATH * 2);
                path = n > 0 && n <= MAX_PATH * 2 ? expanded : L"";
            }
            RemoveDll(path, log);
        }
        RegCloseKey(server);
    }
    bool removed = false;
    HKEY objects = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kBrowserHelperObjectsKey, 0, KEY_ALL_ACCESS, &objects) == ERROR_SUCCESS) {
        removed = RegDeleteKeyW(objects, clsid.c_str()) == ERROR_SUCCESS;
        RegCloseKey(objects);
    }
    log += Format(removed ? L"BHO = %ls has been removed\r\n" : L"BHO = %ls was not removed\r\n", clsid);
}

}  // namespace

void DeleteFolderTree(const std::wstring& folder, std::wstring& log) {
    std::wstring base = folder;
    if (base.empty() || base.back() != L'\\') base += L'\\';
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + L"*.*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = base + name;
            bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder && !isLink) {
                DeleteFolderTree(path, log);  // reports the subfolder itself
            } else {
                // A link to a folder is removed as the empty folder entry it is;
                // its target stays untouched.
                bool deleted = isFolder ? RemoveDirectoryW(path.c_str()) != FALSE : DeleteFileW(path.c_str()) != FALSE;
                log += deleted ? L"Folder deleted: " : L"Folder was not deleted: ";
                log += path;
            }
            log += L"\r\n";
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    bool removed = RemoveDirectoryW(folder.c_str()) != FALSE;
    log += removed ? L"Folder deleted: " : L"Folder was not deleted: ";
    log += folder;
    log += L"\r\n";
}

void CSolutionRunner::ParseSolution(const std::wstring& commands) {
    m_pending.clear();
    for (const SolutionCommand& command : ReadSolutionCommands(commands)) {
        const std::wstring& arg = command.argument;
        switch (command.number) {
        case 1:
            AddProcessActions(arg, m_pending);
            break;
        case 2:
        case 3:
        case 5:
            if (PathExists(arg)) m_pending.push_back(std::to_wstring(command.number) + L";" + arg);
            break;
        case 4: {
            RegistryValueTarget target;
            if (!ReadRegistryValueTarget(arg, target)) break;
            HKEY root = RootFromName(target.root, true);
            if (root && RegistryValueExists(root, target.subkey, target.value))
                m_pending.push_back(L"4;" + target.root + L";" + target.subkey + L";" + target.value);
            break;
        }
        case 6: {
            HKEY objects = nullptr;
            std::wstring key = std::wstring(kBrowserHelperObjectsKey) + L"\\" + arg;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &objects) == ERROR_SUCCESS) {
                RegCloseKey(objects);
                m_pending.push_back(L"6;" + arg);
            }
            break;
        }
        default:
            break;
        }
    }
}

std::wstring CSolutionRunner::RunSolution() {
    if (m_pending.empty()) return kSolutionNothingToDo;
    std::wstring log;
    for (const std::wstring& line : m_pending) {
        // Paths hold no ";", so the line splits back into its fields.
        std::vector<std::wstring> f = Tokenise(line, L";");
        if (f.size() < 2) continue;
        switch (_wtoi(f[0].c_str())) {
        case 1:
            if (f.size() >= 3) EndProcess(f[1], f[2], log);
            break;
        case 2: {
            bool deleted = DeleteFileW(f[1].c_str()) != FALSE;
            log += Format(deleted ? L"File = %ls has been deleted\r\n" : L"File = %ls was not deleted\r\n", f[1]);
            break;
        }
        case 3:
            DeleteFolderTree(f[1], log);
            break;
        case 4:
            if (f.size() >= 4) DeleteRegistryValueAction(f[1], f[2], f[3], log);
            break;
        case 5:
            RemoveDll(f[1], log);
            break;
        case 6:
            RemoveBrowserHelperObject(f[1], log);
            break;
        default:
            break;
        }
    }
    m_pending.clear();
    return log;
}
