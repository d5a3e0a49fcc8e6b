// Melodrift.exe itself for the tests: a copy of the installed program in a
// scratch folder with a product (and so a data folder) of its own, run as a
// process and watched from outside; and the association state of the test
// prefix, put back after a test.
#pragma once

#include "desktop/default_player.h"
#include "fw/strutil.h"
#include "fw/testing/screenshot.h"
#include "fw/win/registry.h"
#include "host_test_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <optional>
#include <system_error>

namespace mdtest {


inline std::wstring MelodriftFolder() {
    std::wstring unixPath = fw::FromUtf8(MD_MELODRIFT_DIR);
    for (wchar_t& c : unixPath)
        if (c == L'/') c = L'\\';
    return L"Z:" + unixPath + L"\\";
}

// A copy of the installed program with a data folder of its own.
struct Install {
    explicit Install(const std::wstring& tag) : folder(tag) {
        const std::wstring from = MelodriftFolder();
        for (const wchar_t* name : {L"Melodrift.exe", L"Journix.dll", L"Patinex.dll", L"Patinctl.dll", L"Utilon.dll",
                                    L"Mediscan.dll"})
            EXPECT_TRUE(CopyInto(from + name, folder.Path())) << fw::ToUtf8(name);
        EXPECT_TRUE(CopyInto(from + L"Skins\\Standard-eng.xml", folder / L"Skins"));
        EXPECT_TRUE(CopyInto(from + L"Language\\English.dll", folder / L"Language"));
        MakeFolder(folder / L"Modules");
        product = fw::Format(L"Melodrift test %lu %s", GetCurrentProcessId(), tag.c_str());
        WriteBytes(folder / L"appdatadefault.ini", "[General]\r\nName=" + fw::ToUtf8(product) + "\r\n");
        wchar_t common[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
        data = std::wstring(common) + L"\\Corvena\\" + product + L"\\";
        exe = folder / L"Melodrift.exe";
    }
    ~Install() {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(data), ec);
    }
    // Settings of "Main frame" in config.ini, written before the program runs.
    void FrameSetting(const wchar_t* key, const wchar_t* value) {
        MakeFolder(data);
        WritePrivateProfileStringW(L"Main frame: params", key, value, (data + L"config.ini").c_str());
    }

    ScratchFolder folder;
    std::wstring product, data, exe;
};

struct Process {
    PROCESS_INFORMATION pi = {};
    bool started = false;

    Process(const std::wstring& exe, const std::wstring& args) {
        std::wstring line = L"\"" + exe + L"\" " + args;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
    }
    ~Process() {
        if (!started) return;
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    bool Ended(DWORD ms) { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }

    struct Search {
        DWORD pid;
        const wchar_t* title;  // prefix; null: any
        const wchar_t* className;
        HWND found;
    };
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
        wchar_t title[256] = {};
        GetWindowTextW(hwnd, title, 256);
        if (s->title && std::wstring(title).rfind(s->title, 0) != 0) return TRUE;
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (s->className && std::wstring(cls) != s->className) return TRUE;
        s->found = hwnd;
        return FALSE;
    }
    // A visible top-level window of the process whose title starts with
    // `title` (and whose class is `className`, when given).
    HWND FindWindow(const wchar_t* title = nullptr, const wchar_t* className = nullptr) {
        Search s = {pi.dwProcessId, title, className, nullptr};
        EnumWindows(&Visit, reinterpret_cast<LPARAM>(&s));
        return s.found;
    }
    HWND WaitForWindow(const wchar_t* title, DWORD ms = 30000, const wchar_t* className = nullptr) {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            if (HWND hwnd = FindWindow(title, className)) return hwnd;
            if (Ended(0)) return nullptr;
            Sleep(50);
        }
        return nullptr;
    }
};

// A visible top-level window of another process running `exe` (a restarted
// program), with its process id.
struct OtherInstance {
    const std::wstring* exe;
    DWORD skipPid;
    const wchar_t* title;      // prefix, or null
    const wchar_t* notClass;   // a class to pass over, or null
    HWND found;
    DWORD pid;
};
inline BOOL CALLBACK VisitOther(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<OtherInstance*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->skipPid || pid == GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t title[128] = {}, cls[64] = {};
    GetWindowTextW(hwnd, title, 128);
    GetClassNameW(hwnd, cls, 64);
    if (s->title && std::wstring(title).rfind(s->title, 0) != 0) return TRUE;
    if (s->notClass && std::wstring(cls) == s->notClass) return TRUE;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return TRUE;
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    bool same = QueryFullProcessImageNameW(process, 0, image, &size) && fw::EqualsNoCase(image, *s->exe);
    CloseHandle(process);
    if (!same) return TRUE;
    s->found = hwnd;
    s->pid = pid;
    return FALSE;
}
inline OtherInstance WaitForOtherInstance(const std::wstring& exe, DWORD skipPid, DWORD ms,
                                          const wchar_t* title = nullptr, const wchar_t* notClass = nullptr) {
    OtherInstance s = {&exe, skipPid, title, notClass, nullptr, 0};
    for (DWORD waited = 0; waited < ms && !s.found; waited += 100) {
        EnumWindows(&VisitOther, reinterpret_cast<LPARAM>(&s));
        if (!s.found) Sleep(100);
    }
    return s;
}

inline bool WaitForFile(const std::wstring& path, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return false;
}

// The association state of the prefix, put back at the end of a test.
class AssociationGuard {
public:
    AssociationGuard() {
        for (const wchar_t* ext : {L".wav", L".mp3"}) {
            CRegKey k;
            std::wstring v;
            Saved s;
            if (k.Open(HKEY_CLASSES_ROOT, ext, KEY_READ) == ERROR_SUCCESS) {
                s.exists = true;
                if (k.QueryStringValue(nullptr, v) == ERROR_SUCCESS) s.value = v;
                if (k.QueryStringValue(L"Tonvar_Back", v) == ERROR_SUCCESS) s.backup = v;
            }
            m_saved.emplace_back(ext, s);
        }
        CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L"Melodrift.Player");
    }
    ~AssociationGuard() {
        CRegKey::DeleteTree(HKEY_CLASSES_ROOT, L"Melodrift.Player");
        for (auto& [ext, s] : m_saved) {
            if (!s.exists) {
                CRegKey::DeleteTree(HKEY_CLASSES_ROOT, ext.c_str());
                continue;
            }
            CRegKey k;
            k.Create(HKEY_CLASSES_ROOT, ext.c_str());
            if (s.value) k.SetStringValue(nullptr, *s.value);
            else k.DeleteValue(nullptr);
            if (s.backup) k.SetStringValue(L"Tonvar_Back", *s.backup);
            else k.DeleteValue(L"Tonvar_Back");
        }
    }

private:
    struct Saved {
        bool exists = false;
        std::optional<std::wstring> value, backup;
    };
    std::vector<std::pair<std::wstring, Saved>> m_saved;
};

}  // namespace mdtest
