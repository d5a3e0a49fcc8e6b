// The solution runner against real processes, files, folders, registry values,
// a DLL exporting DllUnregisterServer and a browser helper object key.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "klarwin/online/solution_runner.h"

namespace {

const wchar_t kTestKey[] = L"Software\\KlarwinOnlineTest";

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.rfind(L'\\') + 1);
}

std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteFile(const std::wstring& path, const char* text = "x") {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(f, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(f);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetValue(HKEY root, const std::wstring& subkey, const wchar_t* name, DWORD data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(key);
}

bool ValueExists(HKEY root, const std::wstring& subkey, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

class SolutionRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    CSolutionRunner runner;
};

TEST_F(SolutionRunnerTest, OnlineSolutionNothingToDoGivesTheSingleSuccessText) {
    runner.ParseSolution(L"");
    EXPECT_TRUE(runner.GetPendingActions().empty());
    std::wstring log = runner.RunSolution();
    EXPECT_EQ(log, kSolutionNothingToDo);
    EXPECT_EQ(log.rfind(L"Our staff has thoroughly checked", 0), 0u);

    // Missing targets, unknown numbers and commands without "%" are all dropped.
    std::wstring missing = TempFolder(L"kwsoln_missing") + L"\\nothing-here.txt";
    runner.ParseSolution(L"2%" + missing + L";9%C:\\windows;2;%;;3" + L";4%HKEY_CURRENT_USER:Software");
    EXPECT_TRUE(runner.GetPendingActions().empty());
    EXPECT_EQ(runner.RunSolution(), kSolutionNothingToDo);
}

TEST_F(SolutionRunnerTest, OnlineSolutionFileDeletedAndLoggedOnlyWhenPresent) {
    std::wstring folder = TempFolder(L"kwsoln_files");
    std::wstring file = folder + L"\\bad file.exe";
    WriteFile(file);
    std::wstring missing = folder + L"\\gone.exe";
    DeleteFileW(missing.c_str());
    runner.ParseSolution(L";;2%" + missing + L";2%" + file + L";");
    ASSERT_EQ(runner.GetPendingActions().size(), 1u);
    EXPECT_EQ(runner.GetPendingActions()[0], L"2;" + file);
    EXPECT_EQ(runner.RunSolution(), L"File = " + file + L" has been deleted\r\n");
    EXPECT_FALSE(Exists(file));
    RemoveDirectoryW(folder.c_str());
}

TEST_F(SolutionRunnerTest, OnlineSolutionRegistryValuesUnderTheThreeRoots) {
    SetValue(HKEY_CURRENT_USER, kTestKey, L"Bad", 1);
    SetValue(HKEY_CURRENT_USER, kTestKey, L"Keep", 1);
    // Under HKEY_USERS the value is found at parse time but never deleted.
    std::wstring usersKey = L".DEFAULT\\Software\\KlarwinOnlineTest";
    SetValue(HKEY_USERS, usersKey, L"Bad", 1);

    runner.ParseSolution(std::wstring(L"4%HKEY_CURRENT_USER:") + kTestKey + L":Bad;4%HKEY_USERS:" + usersKey +
                         L":Bad;4%HKEY_CURRENT_USER:" + kTestKey + L";4%HKEY_CURRENT_USER:" + kTestKey +
                         L":Missing;4%HKEY_CLASSES_ROOT:CLSID:x");
    ASSERT_EQ(runner.GetPendingActions().size(), 2u);
    EXPECT_EQ(runner.GetPendingActions()[1], L"4;HKEY_USERS;" + usersKey + L";Bad");
    std::wstring log = runner.RunSolution();
    EXPECT_EQ(log, std::wstring(L"Registry Item = HKEY_CURRENT_USER\\") + kTestKey + L" /Bad has been deleted\r\n" +
                       L"Registry Item =  HKEY_USERS\\" + usersKey + L" /Bad was not deleted\r\n");
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kTestKey, L"Bad"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kTestKey, L"Keep"));
    EXPECT_TRUE(ValueExists(HKEY_USERS, usersKey, L"Bad"));
    RegDeleteTreeW(HKEY_USERS, usersKey.c_str());
}

TEST_F(SolutionRunnerTest, OnlineSolutionTwoProcessesOfOneNameBothEnd) {
    std::wstring exe = ExeFolder() + L"kwonline_sleeper.exe";
    PROCESS_INFORMATION pi[2] = {};
    for (auto& p : pi) {
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        std::wstring cmd = L"\"" + exe + L"\"";
        ASSERT_TRUE(CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p));
    }
    // The name must match exactly, case included.
    runner.ParseSolution(L"1%KWONLINE_SLEEPER.EXE;1%kwonline_sleeper");
    EXPECT_TRUE(runner.GetPendingActions().empty());
    runner.ParseSolution(L"1%kwonline_sleeper.exe");
    EXPECT_EQ(runner.GetPendingActions().size(), 2u);
    std::wstring log = runner.RunSolution();
    EXPECT_EQ(log, L"Process = kwonline_sleeper.exe has been killed\r\n"
                   L"Process = kwonline_sleeper.exe has been killed\r\n");
    for (auto& p : pi) {
        EXPECT_EQ(WaitForSingleObject(p.hProcess, 10000), WAIT_OBJECT_0);
        TerminateProcess(p.hProcess, 0);
        CloseHandle(p.hProcess);
        CloseHandle(p.hThread);
    }
}

TEST_F(SolutionRunnerTest, OnlineSolutionFolderTreeGivesOneEntryPerItem) {
    std::wstring folder = TempFolder(L"kwsoln_tree");
    std::wstring sub = folder + L"\\sub";
    CreateDirectoryW(sub.c_str(), nullptr);
    WriteFile(folder + L"\\a.txt");
    WriteFile(sub + L"\\b.txt");
    runner.ParseSolution(L"3%" + folder);
    ASSERT_EQ(runner.GetPendingActions().size(), 1u);
    std::wstring log = runner.RunSolution();
    EXPECT_FALSE(Exists(folder));
    EXPECT_NE(log.find(L"Folder deleted: " + folder + L"\\a.txt\r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"Folder deleted: " + sub + L"\\b.txt\r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"Folder deleted: " + sub + L"\r\n\r\n"), std::wstring::npos);
    EXPECT_EQ(log.size() - log.rfind(L"Folder deleted: " + folder + L"\r\n"), folder.size() + 18);
}

TEST_F(SolutionRunnerTest, OnlineSolutionFolderLinkIsRemovedButNotFollowed) {
    std::wstring outside = TempFolder(L"kwsoln_outside");
    WriteFile(outside + L"\\precious.txt");
    std::wstring folder = TempFolder(L"kwsoln_linked");
    std::wstring link = folder + L"\\link";
    if (!CreateSymbolicLinkW(link.c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        RemoveDirectoryW(folder.c_str());
        GTEST_SKIP() << "Wine gap: Wine 8 cannot create directory symbolic links (CreateSymbolicLinkW fails)";
    }
    DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        GTEST_SKIP() << "Wine gap: directory links are not reported as reparse points";
    }
    runner.ParseSolution(L"3%" + folder);
    runner.RunSolution();
    EXPECT_TRUE(Exists(outside + L"\\precious.txt"));
    EXPECT_FALSE(Exists(link));
    DeleteFileW((outside + L"\\precious.txt").c_str());
    RemoveDirectoryW(outside.c_str());
}

TEST_F(SolutionRunnerTest, OnlineSolutionDllUnregisteredAndBrowserHelperRemoved) {
    std::wstring folder = TempFolder(L"kwsoln_dll");
    std::wstring dll = folder + L"\\helper.dll";
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"kwonline_testdll.dll").c_str(), dll.c_str(), FALSE));
    std::wstring plain = folder + L"\\plain.dll";
    WriteFile(plain, "not a library");

    // A read-only file is not deleted, and the log says so. "5x" is no command.
    ASSERT_TRUE(SetFileAttributesW(plain.c_str(), FILE_ATTRIBUTE_READONLY));
    runner.ParseSolution(L"5%" + dll + L";5%" + plain + L";5x%" + dll);
    ASSERT_EQ(runner.GetPendingActions().size(), 2u);
    std::wstring log = runner.RunSolution();
    EXPECT_EQ(log, L"Dll = " + dll + L" has been deleted.\r\n" + L"Dll = " + plain +
                       L" could not be unregistered because it was not registered.\r\n" + L"Dll = " + plain +
                       L" was not deleted.\r\n");
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kTestKey, L"Unregistered"));
    EXPECT_FALSE(Exists(dll));
    EXPECT_TRUE(Exists(plain));
    SetFileAttributesW(plain.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(plain.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);

    // A helper object whose class names the DLL: both go.
    const std::wstring clsid = L"{6B1F0C2A-5E7D-4C1B-9A11-0E2F3D4C5B6A}";
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"kwonline_testdll.dll").c_str(), dll.c_str(), FALSE));
    std::wstring serverKey = L"CLSID\\" + clsid + L"\\InprocServer32";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    // The server's path as an expandable string, the way the system registers many.
    ASSERT_TRUE(SetEnvironmentVariableW(L"KWSOLN_DLL_FOLDER", folder.c_str()));
    const std::wstring unexpanded = L"%KWSOLN_DLL_FOLDER%\\helper.dll";
    RegSetValueExW(key, nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(unexpanded.c_str()),
                   static_cast<DWORD>((unexpanded.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    std::wstring bhoKey = std::wstring(kBrowserHelperObjectsKey) + L"\\" + clsid;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, bhoKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    runner.ParseSolution(L"6%" + clsid + L";6%{00000000-0000-0000-0000-000000000000}");
    ASSERT_EQ(runner.GetPendingActions().size(), 1u);
    log = runner.RunSolution();
    EXPECT_EQ(log, L"Dll = " + dll + L" has been deleted.\r\nBHO = " + clsid + L" has been removed\r\n");
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kTestKey, L"Unregistered"));
    EXPECT_FALSE(Exists(dll));
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, bhoKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
