// The installers as a user meets them, in a Wine prefix made fresh for these
// tests: silent installation (files, folders, shortcut, Uninstall entry,
// association), the installed program started from its installed place, silent
// uninstallation down to the user's data, an upgrade over an installation
// that has user data, upgrades and uninstallations while the program runs (it
// is closed; when it does not close, nothing is changed), and Melodrift's
// installer driven through its pages.
#include "ui_driver.h"

#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>
#include <commctrl.h>
#include <tlhelp32.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <mstask.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::wstring Wide(const char* text) {
    std::wstring out;
    for (const char* p = text; *p; ++p) out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return out;
}

// A path of the build (a Unix path) as this process sees it.
std::wstring BuildPath(const char* unixPath) {
    std::wstring path = L"Z:" + Wide(unixPath);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool IsFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- Registry --------------------------------------------------------------------

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

bool ReadString(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring& value) {
    wchar_t data[2048] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return false;
    value = data;
    return true;
}

std::wstring String(HKEY root, const std::wstring& key, const wchar_t* name) {
    std::wstring value;
    ReadString(root, key, name, value);
    return value;
}

bool ReadDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD& value) {
    DWORD size = sizeof value;
    return RegGetValueW(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

void WriteString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), ERROR_SUCCESS);
    RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

// ---- Files of a program ----------------------------------------------------------

std::wstring VersionString(const std::wstring& file, const wchar_t* name) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (!size) return L"";
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return L"";
    struct Translation {
        WORD language, codePage;
    }* tr = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &len) || !len)
        return L"";
    wchar_t query[128];
    swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", tr->language, tr->codePage, name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&value), &len) || !value) return L"";
    return value;
}

// The target of a shortcut file; empty when it cannot be read.
std::wstring ShortcutTarget(const std::wstring& lnk) {
    std::wstring target;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(lnk.c_str(), STGM_READ))) {
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) target = path;
        }
        file->Release();
    }
    link->Release();
    return target;
}

// The files the installer packed (the build's list), relative to the program folder.
std::vector<std::wstring> PackedFiles(const char* listPath) {
    std::vector<std::wstring> files;
    std::ifstream in(fs::path(BuildPath(listPath)));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) files.push_back(Wide(line.c_str()));
    }
    return files;
}

// ---- Running ---------------------------------------------------------------------

// Runs a program to its end; its exit code, or a negative number.
long RunToEnd(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 180000) {
    uidriver::CProcess process;
    if (!process.Start(program, arguments)) return -1;
    DWORD code = 0;
    if (!process.WaitForExit(timeoutMs, &code)) {
        process.Terminate();
        return -2;
    }
    return static_cast<long>(code);
}

const wchar_t* const kUninstallRoot = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Runs the entry's QuietUninstallString, the way the system uninstalls
// silently; the uninstaller's exit code, or a negative number.
long RunQuietUninstall(const std::wstring& product) {
    std::wstring quiet;
    if (!ReadString(HKEY_LOCAL_MACHINE, kUninstallRoot + product, L"QuietUninstallString", quiet)) return -3;
    const size_t close = quiet.find(L'"', 1);
    if (quiet.empty() || quiet.front() != L'"' || close == std::wstring::npos) return -4;
    std::wstring arguments = quiet.substr(close + 1);
    while (!arguments.empty() && arguments.front() == L' ') arguments.erase(0, 1);
    return RunToEnd(quiet.substr(1, close - 1), arguments);
}

// Uninstalls silently. The quiet command returns when the work is done; its
// own file goes a moment later, from a copy that waited for it to end.
void UninstallSilently(const std::wstring& product) {
    const std::wstring key = kUninstallRoot + product;
    std::wstring folder;
    ASSERT_TRUE(ReadString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", folder));
    EXPECT_EQ(RunQuietUninstall(product), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << "the uninstaller ended before its work was done";
    EXPECT_TRUE(uidriver::WaitUntil([&] { return !Exists(folder + L"\\uninstall.exe"); }, 30000, 100))
        << "the uninstaller's file was left";
}

void CheckUninstallEntry(const std::wstring& product, const std::wstring& displayName, const std::wstring& version,
                         const std::wstring& publisher, const std::wstring& folder) {
    const std::wstring key = kUninstallRoot + product;
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"DisplayName"), displayName);
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"DisplayVersion"), version);
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"Publisher"), publisher);
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"InstallLocation"), folder);
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"UninstallString"), L"\"" + folder + L"\\uninstall.exe\"");
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"QuietUninstallString"),
              L"\"" + folder + L"\\uninstall.exe\" /S _?=" + folder);
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, key, L"DisplayIcon"), folder + L"\\" + product + L".exe,0");
    DWORD size = 0;
    EXPECT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, key, L"EstimatedSize", size));
    EXPECT_GT(size, 100u) << "KB";
}

void CheckInstalledFiles(const std::wstring& folder, const char* listPath) {
    const std::vector<std::wstring> files = PackedFiles(listPath);
    EXPECT_FALSE(files.empty());
    for (const std::wstring& file : files) EXPECT_TRUE(Exists(folder + L"\\" + file)) << fs::path(file).string();
    EXPECT_TRUE(Exists(folder + L"\\uninstall.exe"));
}

// The installer's own file: its name and version information carry the version.
void CheckInstaller(const std::wstring& setup, const std::wstring& product, const std::wstring& version) {
    EXPECT_EQ(fs::path(setup).filename().wstring(), product + L"Setup-" + version + L".exe");
    EXPECT_EQ(VersionString(setup, L"ProductVersion"), version);
    EXPECT_EQ(VersionString(setup, L"FileVersion"), version);
}

class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

// ---- Klarwin ---------------------------------------------------------------------

const std::wstring kKlarwinVersion = Wide(KLARWIN_VERSION);
const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kAppPathsKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// The Task Scheduler 1.0 ids, here so that no import library has to provide them.
const GUID kClsidTask = {0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kClsidTaskScheduler = {0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTask = {0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
const GUID kIidTaskScheduler = {0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

// The scheduled scan as the settings window makes it: the work item "Klarwin"
// running the program with "-scan".
bool ScheduleScan(const std::wstring& program) {
    ITaskScheduler* scheduler = nullptr;
    if (FAILED(CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                                reinterpret_cast<void**>(&scheduler))))
        return false;
    ITask* task = nullptr;
    bool saved = false;
    if (SUCCEEDED(scheduler->NewWorkItem(L"Klarwin", kClsidTask, kIidTask, reinterpret_cast<IUnknown**>(&task)))) {
        task->SetApplicationName(program.c_str());
        task->SetParameters(L"-scan");
        IPersistFile* file = nullptr;
        if (SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(nullptr, TRUE));
            file->Release();
        }
        task->Release();
    }
    scheduler->Release();
    return saved;
}

bool ScanScheduled() {
    ITaskScheduler* scheduler = nullptr;
    if (FAILED(CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                                reinterpret_cast<void**>(&scheduler))))
        return false;
    ITask* task = nullptr;
    const bool found = SUCCEEDED(scheduler->Activate(L"Klarwin", kIidTask, reinterpret_cast<IUnknown**>(&task)));
    if (task) task->Release();
    scheduler->Release();
    return found;
}

bool DeleteScheduledScan() {
    ITaskScheduler* scheduler = nullptr;
    if (FAILED(CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                                reinterpret_cast<void**>(&scheduler))))
        return false;
    const bool deleted = SUCCEEDED(scheduler->Delete(L"Klarwin"));
    scheduler->Release();
    return deleted;
}

// ---- What a case leaves behind ---------------------------------------------------

// The processes of the prefix, as the system lists them.
std::vector<PROCESSENTRY32W> Processes() {
    std::vector<PROCESSENTRY32W> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return processes;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        processes.push_back(entry);
    CloseHandle(snapshot);
    return processes;
}

// The processes started by a process (its children), also after it ended.
std::vector<DWORD> ChildProcesses(DWORD parent) {
    std::vector<DWORD> children;
    for (const PROCESSENTRY32W& p : Processes())
        if (p.th32ParentProcessID == parent && p.th32ProcessID != parent) children.push_back(p.th32ProcessID);
    return children;
}

// Ends every program a case may have left running in the prefix (the prefix is
// these tests' own): the products, their installers and uninstallers, and the
// copies the uninstallers run from the temporary folder.
void EndLeftPrograms() {
    std::vector<HANDLE> ending;
    for (const PROCESSENTRY32W& p : Processes()) {
        std::wstring name = p.szExeFile;
        for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
        const bool left = name == L"klarwin.exe" || name == L"melodrift.exe" || name == L"rebooter.exe" ||
                          name == L"uninstall.exe" || name == L"au_.exe" || name.rfind(L"un_", 0) == 0 ||
                          name.rfind(L"klarwinsetup", 0) == 0 || name.rfind(L"melodriftsetup", 0) == 0;
        if (!left || p.th32ProcessID == GetCurrentProcessId()) continue;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, p.th32ProcessID)) {
            TerminateProcess(process, 1);
            ending.push_back(process);
        }
    }
    for (HANDLE process : ending) {
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

// Every case leaves the prefix as it found it, whether it passed or failed
// (a program left running would also hold the test's output open, and CTest
// would wait for it): what it left running is ended, an installation it left
// is uninstalled in place and its folder removed, and the user data the cases
// make is taken away.
class InstallerCase : public ::testing::Test {
protected:
    void SetUp() override { m_hadMp3 = ReadString(HKEY_CLASSES_ROOT, L".mp3", L"", m_mp3); }
    void TearDown() override {
        EndLeftPrograms();
        for (const wchar_t* product : {L"Klarwin", L"Melodrift"}) RemoveLeftInstallation(product);
        std::error_code ec;
        for (int folder : {CSIDL_COMMON_APPDATA, CSIDL_APPDATA}) {
            fs::remove_all(fs::path(ShellFolder(folder) + L"\\Klarwin"), ec);
            fs::remove_all(fs::path(ShellFolder(folder) + L"\\Corvena"), ec);
        }
        fs::remove_all(fs::path(L"C:\\Apps"), ec);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Klarwin");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Melodrift.Player");
        if (m_hadMp3) {
            WriteString(HKEY_CLASSES_ROOT, L".mp3", L"", m_mp3);
            RegDeleteKeyValueW(HKEY_CLASSES_ROOT, L".mp3", L"Tonvar_Back");
        } else {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L".mp3");
        }
        ComScope com;
        DeleteScheduledScan();
    }

private:
    static void RemoveLeftInstallation(const std::wstring& product) {
        const std::wstring key = kUninstallRoot + product;
        std::wstring folder;
        if (!ReadString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", folder) || folder.empty()) return;
        // In place (_?=): the uninstaller does its work and ends, with no copy of itself.
        RunToEnd(folder + L"\\uninstall.exe", L"/S _?=" + folder, 120000);
        EndLeftPrograms();
        std::error_code ec;
        fs::remove_all(fs::path(folder), ec);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }

    bool m_hadMp3 = false;
    std::wstring m_mp3;
};
class InstallerKlarwin : public InstallerCase {};
class InstallerMelodrift : public InstallerCase {};

std::wstring KlarwinSetup() { return BuildPath(KLARWIN_SETUP); }
std::wstring KlarwinReports() { return ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Klarwin"; }
std::wstring KlarwinShortcut() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Klarwin.lnk"; }

void ExpectKlarwinGone(const std::wstring& folder) {
    EXPECT_FALSE(Exists(folder + L"\\Klarwin.exe"));
    EXPECT_FALSE(Exists(folder + L"\\rebooter.exe"));
    EXPECT_FALSE(Exists(folder + L"\\Loading.gif"));
    EXPECT_FALSE(Exists(folder + L"\\uninstall.exe"));
    EXPECT_FALSE(Exists(KlarwinShortcut()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Klarwin"));
    std::wstring run;
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin", run)) << "Run value left: " << fs::path(run);
}

// Installs, runs a scan from the installed program up to its results, and
// uninstalls down to nothing of the program.
TEST_F(InstallerKlarwin, SilentInstallScanAndUninstall) {
    ComScope com;
    const std::wstring setup = KlarwinSetup();
    CheckInstaller(setup, L"Klarwin", kKlarwinVersion);
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Klarwin")) << "installed before";

    ASSERT_EQ(RunToEnd(setup, L"/S"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Klarwin";
    CheckInstalledFiles(folder, KLARWIN_FILES);
    for (const wchar_t* name : {L"Klarwin.exe", L"rebooter.exe", L"Loading.gif"})
        EXPECT_TRUE(Exists(folder + L"\\" + name)) << fs::path(name);
    EXPECT_TRUE(IsFolder(folder + L"\\backup"));
    EXPECT_TRUE(IsFolder(KlarwinReports()));
    EXPECT_EQ(ShortcutTarget(KlarwinShortcut()), folder + L"\\Klarwin.exe");
    CheckUninstallEntry(L"Klarwin", L"Klarwin 2011", kKlarwinVersion, L"Klarwin", folder);
    EXPECT_EQ(VersionString(folder + L"\\Klarwin.exe", L"ProductVersion"), kKlarwinVersion);

    // A first start (no settings yet) registers the program to start with Windows.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Klarwin");
    // A dangling application path, so that the scan has something to show.
    const std::wstring planted = std::wstring(kAppPathsKey) + L"InstallerTestMissing.exe";
    WriteString(HKEY_LOCAL_MACHINE, planted, L"", L"C:\\Missing\\InstallerTestMissing.exe");
    {
        uidriver::CProcess klarwin;
        ASSERT_TRUE(klarwin.Start(folder + L"\\Klarwin.exe", L"-scan"));
        EXPECT_NE(uidriver::WaitForTopWindow({.title = L"Scan in Progress", .processId = klarwin.Id()}, 60000),
                  nullptr);
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box, klarwin.Id(), L"Klarwin", 240000)) << "the scan did not end";
        EXPECT_EQ(box.text, L"The scan completed successfully.");
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        EXPECT_NE(uidriver::WaitForTopWindow({.title = L"Repair Problems", .processId = klarwin.Id()}, 60000),
                  nullptr)
            << "no results window";
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, planted.c_str());
        // The first start registered the program to start with Windows.
        EXPECT_EQ(String(HKEY_LOCAL_MACHINE, kRunKey, L"Klarwin"), folder + L"\\Klarwin.exe");

        ASSERT_TRUE(ScheduleScan(folder + L"\\Klarwin.exe"));
        ASSERT_TRUE(ScanScheduled());

        // Uninstalled while it runs (its results window open): the uninstaller
        // ends it through its Exit command.
        UninstallSilently(L"Klarwin");
        EXPECT_FALSE(ScanScheduled()) << "the scheduled scan was left";
        EXPECT_TRUE(klarwin.WaitForExit(10000)) << "the uninstaller left Klarwin running";
    }
    ExpectKlarwinGone(folder);
    EXPECT_FALSE(Exists(folder)) << "program folder left";
    EXPECT_FALSE(Exists(KlarwinReports())) << "empty reports folder left";
    // The settings are the user's.
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, L"Software\\Klarwin", L"StartWithWindows"), L"true");
}

// An installation in a folder of the user's choice, with user data; installing
// again goes to the same folder, replaces the program and keeps the data; the
// uninstaller keeps it too.
TEST_F(InstallerKlarwin, UpgradeKeepsTheUsersData) {
    ComScope com;
    const std::wstring folder = L"C:\\Apps\\Klarwin Cleaner";
    ASSERT_EQ(RunToEnd(KlarwinSetup(), L"/S /D=" + folder), 0);
    ASSERT_TRUE(Exists(folder + L"\\Klarwin.exe"));
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Klarwin", L"InstallLocation"), folder);

    // The user's data: settings, ignore list, unresolved errors, a backup, a report.
    WriteString(HKEY_LOCAL_MACHINE, L"Software\\Klarwin", L"StartScanAtProgramStartup", L"true");
    const std::wstring userFolder = ShellFolder(CSIDL_APPDATA) + L"\\Klarwin";
    const std::wstring ignoreList = userFolder + L"\\log.dat";
    const std::wstring unresolved = userFolder + L"\\unresolvederrors.dat";
    const std::wstring backup = folder + L"\\backup\\20261208_0341.dat";
    const std::wstring report = KlarwinReports() + L"\\krw_100_20261208_034513.html";
    const std::string ignoreBytes("H\0K\0L\0M\0:\0:\0", 12), backupBytes("1\0:\0:\0", 6), reportBytes("<html/>");
    WriteFile(ignoreList, ignoreBytes);
    WriteFile(unresolved, ignoreBytes);
    WriteFile(backup, backupBytes);
    WriteFile(report, reportBytes);
    // A file an earlier version installed and this one does not ship.
    WriteFile(folder + L"\\old-helper.dll", "MZ");
    std::string list = ReadFile(folder + L"\\uninstall.lst");
    ASSERT_FALSE(list.empty());
    WriteFile(folder + L"\\Old Plugins\\old.dll", "MZ");
    WriteFile(folder + L"\\uninstall.lst",
              list + "old-helper.dll\r\nOld Plugins\\old.dll\r\n..\\outside.txt\r\nC:\\Apps\\outside.txt\r\n");
    WriteFile(L"C:\\Apps\\outside.txt", "not the installer's");

    ASSERT_EQ(RunToEnd(KlarwinSetup(), L"/S"), 0);
    EXPECT_TRUE(Exists(folder + L"\\Klarwin.exe"));
    EXPECT_FALSE(Exists(folder + L"\\old-helper.dll")) << "the earlier version's file stayed";
    EXPECT_FALSE(Exists(folder + L"\\Old Plugins")) << "the earlier version's folder stayed";
    EXPECT_EQ(ReadFile(L"C:\\Apps\\outside.txt"), "not the installer's");
    EXPECT_EQ(ReadFile(folder + L"\\uninstall.lst"), list);
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Klarwin"));
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, L"Software\\Klarwin", L"StartScanAtProgramStartup"), L"true");
    EXPECT_EQ(ReadFile(ignoreList), ignoreBytes);
    EXPECT_EQ(ReadFile(unresolved), ignoreBytes);
    EXPECT_EQ(ReadFile(backup), backupBytes);
    EXPECT_EQ(ReadFile(report), reportBytes);

    // The scheduled scan of another copy is not this installation's to remove.
    DeleteScheduledScan();
    ASSERT_TRUE(ScheduleScan(L"C:\\Other Copy\\Klarwin.exe"));
    UninstallSilently(L"Klarwin");
    ExpectKlarwinGone(folder);
    EXPECT_TRUE(ScanScheduled()) << "another copy's scheduled scan was removed";
    DeleteScheduledScan();
    EXPECT_EQ(ReadFile(backup), backupBytes);
    EXPECT_EQ(ReadFile(report), reportBytes);
    EXPECT_EQ(ReadFile(ignoreList), ignoreBytes);
    EXPECT_EQ(String(HKEY_LOCAL_MACHINE, L"Software\\Klarwin", L"StartScanAtProgramStartup"), L"true");
    // Only the user's data is left of the program folder.
    std::vector<std::wstring> left;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(folder), ec))
        if (entry.is_regular_file()) left.push_back(entry.path().wstring());
    EXPECT_EQ(left, std::vector<std::wstring>{backup});

    fs::remove_all(fs::path(L"C:\\Apps"), ec);
    fs::remove_all(fs::path(KlarwinReports()), ec);
    fs::remove_all(fs::path(userFolder), ec);
    WriteString(HKEY_LOCAL_MACHINE, L"Software\\Klarwin", L"StartScanAtProgramStartup", L"false");
}

// ---- Melodrift -------------------------------------------------------------------

const std::wstring kMelodriftVersion = Wide(MELODRIFT_VERSION);
const wchar_t* const kAssocKey = L"Melodrift.Player";

std::wstring MelodriftSetup() { return BuildPath(MELODRIFT_SETUP); }
std::wstring MelodriftShortcut() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Melodrift.lnk"; }
std::wstring MelodriftData(const std::wstring& folder) {
    wchar_t product[100] = {};
    GetPrivateProfileStringW(L"General", L"Name", L"Cantorel Voro 5.0", product, 100,
                             (folder + L"\\appdatadefault.ini").c_str());
    return ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Corvena\\" + product;
}

void ExpectMelodriftGone(const std::wstring& folder) {
    EXPECT_FALSE(Exists(folder)) << "program folder left";
    EXPECT_FALSE(Exists(MelodriftShortcut()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Melodrift"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAssocKey));
}

// The top-level windows of a process, for a failure's message.
std::string DescribeWindows(DWORD processId) {
    std::string out;
    for (HWND w : uidriver::FindTopWindows({.processId = processId, .visibleOnly = false})) {
        out += "\n  \"" + fs::path(uidriver::GetText(w)).string() + "\" " + fs::path(uidriver::GetClass(w)).string();
        if (!IsWindowVisible(w)) out += " (hidden)";
        if (uidriver::MessageBoxInfo box; uidriver::ReadMessageBox(w, box))
            out += ": \"" + fs::path(box.text).string() + "\"";
    }
    return out;
}

// The main frame of a started Melodrift, once it is there (null after 90 s).
HWND WaitForMelodriftFrame(const uidriver::CProcess& melodrift) {
    HWND frame = nullptr;
    uidriver::WaitUntil(
        [&] {
            for (HWND w : uidriver::FindTopWindows({.processId = melodrift.Id()})) {
                const std::wstring title = uidriver::GetText(w);
                if (title.rfind(L"Melodrift", 0) == 0 && uidriver::GetClass(w) != L"#32770") frame = w;
            }
            return frame != nullptr;
        },
        90000, 100);
    if (!frame) std::printf("no Melodrift frame; its windows:%s\n", DescribeWindows(melodrift.Id()).c_str());
    return frame;
}

// The modules of Modules\ that the process has loaded, and those it has not.
std::vector<std::wstring> ModulesNotLoaded(HANDLE process, const std::wstring& folder) {
    std::vector<std::wstring> expected;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(folder + L"\\Modules"), ec)) {
        std::wstring name = entry.path().filename().wstring();
        if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".dll") == 0) expected.push_back(name);
    }
    HMODULE modules[512];
    DWORD needed = 0;
    EnumProcessModules(process, modules, sizeof modules, &needed);
    std::vector<std::wstring> loaded;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t path[MAX_PATH] = {};
        if (GetModuleFileNameExW(process, modules[i], path, MAX_PATH)) loaded.push_back(path);
    }
    std::vector<std::wstring> missing;
    for (const std::wstring& name : expected) {
        bool found = false;
        for (const std::wstring& path : loaded)
            found = found || _wcsicmp(path.c_str(), (folder + L"\\Modules\\" + name).c_str()) == 0;
        if (!found) missing.push_back(name);
    }
    return missing;
}

// A 16-bit mono WAV file with a 440 Hz tone.
void WriteTone(const std::wstring& path, int seconds) {
    const uint32_t rate = 44100, samples = rate * seconds, bytes = samples * 2;
    std::string wav;
    auto put32 = [&](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav += "RIFF";
    put32(36 + bytes);
    wav += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    wav += "data";
    put32(bytes);
    for (uint32_t i = 0; i < samples; ++i)
        put16(static_cast<uint16_t>(static_cast<int16_t>(12000 * std::sin(2 * 3.14159265 * 440 * i / rate))));
    WriteFile(path, wav);
}

// The loudest level (RMS of 16-bit samples) the default recording device (the
// sound server's monitor of what is played) hears within the time.
double RecordedLevel(DWORD ms) {
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    HWAVEIN in = nullptr;
    if (waveInOpen(&in, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return -1;
    std::vector<int16_t> buffer(44100 / 5);
    double loudest = 0;
    for (DWORD waited = 0; waited < ms; waited += 200) {
        WAVEHDR header = {};
        header.lpData = reinterpret_cast<LPSTR>(buffer.data());
        header.dwBufferLength = static_cast<DWORD>(buffer.size() * 2);
        waveInPrepareHeader(in, &header, sizeof header);
        waveInAddBuffer(in, &header, sizeof header);
        waveInStart(in);
        for (int i = 0; i < 100 && !(header.dwFlags & WHDR_DONE); ++i) Sleep(20);
        waveInStop(in);
        waveInReset(in);
        waveInUnprepareHeader(in, &header, sizeof header);
        double sum = 0;
        const size_t n = header.dwBytesRecorded / 2;
        for (size_t i = 0; i < n; ++i) sum += double(buffer[i]) * buffer[i];
        if (n) loudest = std::max(loudest, std::sqrt(sum / n));
    }
    waveInClose(in);
    return loudest;
}

// Installs with the default-player component, starts the installed program
// (and plays a file once the player module is there), uninstalls: the file
// types go back to their earlier owner and nothing of the program is left but
// the user's data.
TEST_F(InstallerMelodrift, SilentInstallStartAndUninstall) {
    ComScope com;
    const std::wstring setup = MelodriftSetup();
    CheckInstaller(setup, L"Melodrift", kMelodriftVersion);
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Melodrift")) << "installed before";
    WriteString(HKEY_CLASSES_ROOT, L".mp3", L"", L"InstallerTest.EarlierPlayer");

    ASSERT_EQ(RunToEnd(setup, L"/S"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift";
    const std::wstring exe = folder + L"\\Melodrift.exe";
    CheckInstalledFiles(folder, MELODRIFT_FILES);
    for (const wchar_t* name : {L"Melodrift.exe", L"appdatadefault.ini", L"Language\\English.dll",
                                L"Language\\eng\\Equalizer_presets.xml", L"Language\\eng\\Surr_presets.xml"})
        EXPECT_TRUE(Exists(folder + L"\\" + name)) << fs::path(name);
    for (const wchar_t* name : {L"Modules", L"Skins", L"Language"}) EXPECT_TRUE(IsFolder(folder + L"\\" + name));
    EXPECT_EQ(ShortcutTarget(MelodriftShortcut()), exe);
    CheckUninstallEntry(L"Melodrift", L"Melodrift 4.0", kMelodriftVersion, L"Corvena", folder);
    EXPECT_EQ(VersionString(exe, L"ProductVersion"), kMelodriftVersion);
    // The default-player component ran the installed program's "/reg /nostart".
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L"Melodrift.Player\\shell\\open\\command", L""),
              L"\"" + exe + L"\" \"%1\"");
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L"Melodrift.Player\\shell\\enqueue\\command", L""),
              L"\"" + exe + L"\" /add \"%1\"");
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L".mp3", L""), L"Melodrift.Player");

    const std::wstring data = MelodriftData(folder);
    const bool canPlay = Exists(folder + L"\\Modules\\Vocalith.dll");
    std::wstring tone;
    if (canPlay) {
        // Files from the command line go to the player module without a question.
        CreateDirectoryW((ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Corvena").c_str(), nullptr);
        CreateDirectoryW(data.c_str(), nullptr);
        WritePrivateProfileStringW(L"Main frame: params", L"AutoOpen_AskMe", L"No", (data + L"\\config.ini").c_str());
        WritePrivateProfileStringW(L"Main frame: params", L"AutoOpen", L"Vocalith", (data + L"\\config.ini").c_str());
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        tone = std::wstring(temp) + L"installer_tone.wav";
        WriteTone(tone, 8);
    }
    {
        uidriver::CProcess melodrift;
        ASSERT_TRUE(melodrift.Start(exe, canPlay ? L"\"" + tone + L"\"" : L""));
        const HWND frame = WaitForMelodriftFrame(melodrift);
        EXPECT_NE(frame, nullptr) << "no main frame";
        EXPECT_TRUE(melodrift.IsRunning());
        const std::vector<std::wstring> missing = ModulesNotLoaded(melodrift.Handle(), folder);
        EXPECT_TRUE(missing.empty()) << "modules not loaded: " << missing.size();
        if (canPlay) {
            const double level = RecordedLevel(8000);
            std::printf("level of what was played: %.0f\n", level);
            EXPECT_GT(level, 500.0) << "nothing was played";
        } else {
            std::printf("no Modules\\Vocalith.dll: nothing to play with, the play check is left out\n");
        }
        if (frame) uidriver::PostClose(frame);
        if (!melodrift.WaitForExit(30000)) melodrift.Terminate();
    }
    if (!tone.empty()) DeleteFileW(tone.c_str());
    EXPECT_TRUE(IsFolder(data)) << "the program made no data folder";

    // A type whose earlier owner is the program itself (it made itself the
    // default twice): after the removal it must not name the removed program.
    WriteString(HKEY_CLASSES_ROOT, L".wav", L"", L"Melodrift.Player");
    WriteString(HKEY_CLASSES_ROOT, L".wav", L"Tonvar_Back", L"Melodrift.Player");
    // A class changed since: the program no longer counts as the default player,
    // so "/unreg" leaves everything; the uninstaller removes the class itself.
    WriteString(HKEY_CLASSES_ROOT, kAssocKey, L"", L"Melodrift Player (changed)");

    UninstallSilently(L"Melodrift");
    ExpectMelodriftGone(folder);
    // The type went back to its earlier owner all the same.
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L".mp3", L""), L"InstallerTest.EarlierPlayer");
    std::wstring value;
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, L".mp3", L"Tonvar_Back", value));
    EXPECT_NE(String(HKEY_CLASSES_ROOT, L".wav", L""), L"Melodrift.Player");
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, L".wav", L"Tonvar_Back", value));
    // The user's data stays.
    EXPECT_TRUE(IsFolder(data));
    std::error_code ec;
    fs::remove_all(fs::path(data), ec);
}

// Installed without the default-player component, then again (with it) over
// the first installation: the user's settings, playlists and library stay, and
// the uninstaller keeps them too.
TEST_F(InstallerMelodrift, UpgradeKeepsTheUsersData) {
    ComScope com;
    ASSERT_EQ(RunToEnd(MelodriftSetup(), L"/S /NOASSOC"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift";
    ASSERT_TRUE(Exists(folder + L"\\Melodrift.exe"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAssocKey)) << "/NOASSOC made the association";

    const std::wstring data = MelodriftData(folder);
    const std::string config = "[Main frame: params]\r\nCheckDefaultPlayer=No\r\n[PLAYER]\r\nShuffle=On\r\n";
    const std::string language = "[Language]\r\nName=English\r\nShortName=eng\r\n";
    const std::string playlists("\xFF\xFE<\0r\0/\0>\0", 10);
    const std::string library("\xFF\xFE" "C\0:\0\\\0a\0.\0m\0p\0\x33\0", 18);
    WriteFile(data + L"\\config.ini", config);
    WriteFile(data + L"\\Language.ini", language);
    WriteFile(data + L"\\playlists.xml", playlists);
    WriteFile(data + L"\\fileDB.dat", library);

    ASSERT_EQ(RunToEnd(MelodriftSetup(), L"/S"), 0);
    EXPECT_TRUE(Exists(folder + L"\\Melodrift.exe"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kAssocKey));
    EXPECT_EQ(ReadFile(data + L"\\config.ini"), config);
    EXPECT_EQ(ReadFile(data + L"\\Language.ini"), language);
    EXPECT_EQ(ReadFile(data + L"\\playlists.xml"), playlists);
    EXPECT_EQ(ReadFile(data + L"\\fileDB.dat"), library);

    UninstallSilently(L"Melodrift");
    ExpectMelodriftGone(folder);
    EXPECT_EQ(ReadFile(data + L"\\config.ini"), config);
    EXPECT_EQ(ReadFile(data + L"\\Language.ini"), language);
    EXPECT_EQ(ReadFile(data + L"\\playlists.xml"), playlists);
    EXPECT_EQ(ReadFile(data + L"\\fileDB.dat"), library);
    std::error_code ec;
    fs::remove_all(fs::path(data), ec);
}

// ---- Melodrift running during an upgrade or an uninstallation --------------------

const wchar_t* const kFrameSection = L"Main frame: params";

// The settings a started Melodrift needs to come up without a question, with a
// mark in place of a setting the program writes only when it closes.
void PrepareMelodriftSettings(const std::wstring& data) {
    const std::wstring config = data + L"\\config.ini";
    CreateDirectoryW((ShellFolder(CSIDL_COMMON_APPDATA) + L"\\Corvena").c_str(), nullptr);
    CreateDirectoryW(data.c_str(), nullptr);
    WritePrivateProfileStringW(kFrameSection, L"CheckDefaultPlayer", L"No", config.c_str());
    WritePrivateProfileStringW(L"PLAYER", L"Shuffle", L"Mark", config.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());
}

// "On" or "Off" once the program has saved its settings on closing; "Mark" before.
std::wstring SavedShuffle(const std::wstring& data) {
    wchar_t value[32] = {};
    GetPrivateProfileStringW(L"PLAYER", L"Shuffle", L"", value, 32, (data + L"\\config.ini").c_str());
    return value;
}

// Upgraded, then uninstalled, while the installed program runs: each time the
// installer closes it as its own Close does (it saves its settings), and goes on.
TEST_F(InstallerMelodrift, RunningProgramClosedByUpgradeAndUninstall) {
    ComScope com;
    ASSERT_EQ(RunToEnd(MelodriftSetup(), L"/S /NOASSOC"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift";
    const std::wstring exe = folder + L"\\Melodrift.exe";
    ASSERT_TRUE(Exists(exe));
    const std::wstring data = MelodriftData(folder);

    for (const bool uninstall : {false, true}) {
        SCOPED_TRACE(uninstall ? "uninstall" : "upgrade");
        PrepareMelodriftSettings(data);
        ASSERT_EQ(SavedShuffle(data), L"Mark");
        uidriver::CProcess melodrift;
        ASSERT_TRUE(melodrift.Start(exe));
        ASSERT_NE(WaitForMelodriftFrame(melodrift), nullptr) << "no main frame";
        if (uninstall) {
            UninstallSilently(L"Melodrift");
        } else {
            EXPECT_EQ(RunToEnd(MelodriftSetup(), L"/S /NOASSOC"), 0);
        }
        // The installer waits for the program's end before it touches a file.
        EXPECT_TRUE(melodrift.WaitForExit(5000)) << "the program was left running";
        const std::wstring shuffle = SavedShuffle(data);
        EXPECT_TRUE(shuffle == L"On" || shuffle == L"Off") << "settings not saved on closing: " << fs::path(shuffle);
        if (!uninstall) {
            CheckInstalledFiles(folder, MELODRIFT_FILES);
            CheckUninstallEntry(L"Melodrift", L"Melodrift 4.0", kMelodriftVersion, L"Corvena", folder);
        }
    }
    ExpectMelodriftGone(folder);
    EXPECT_TRUE(IsFolder(data));
    std::error_code ec;
    fs::remove_all(fs::path(data), ec);
}

// Holds every thread of a process still while it lives (a program that does
// not answer), but the one given, and lets them go on again.
class FrozenProcess {
public:
    explicit FrozenProcess(DWORD processId, DWORD exceptThreadId = 0) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return;
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID != processId || entry.th32ThreadID == exceptThreadId) continue;
            HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
            if (!thread) continue;
            if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
                CloseHandle(thread);
                continue;
            }
            m_threads.push_back(thread);
        }
        CloseHandle(snapshot);
    }
    ~FrozenProcess() { Thaw(); }
    bool Frozen() const { return !m_threads.empty(); }
    void Thaw() {
        for (HANDLE thread : m_threads) {
            ResumeThread(thread);
            CloseHandle(thread);
        }
        m_threads.clear();
    }

private:
    std::vector<HANDLE> m_threads;
};

// Files of an installation, with their sizes and times: what "nothing
// changed" is measured by.
std::vector<std::wstring> FolderState(const std::wstring& folder) {
    std::vector<std::wstring> state;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(folder), ec)) {
        std::wstring line = entry.path().wstring();
        if (entry.is_regular_file()) {
            WIN32_FILE_ATTRIBUTE_DATA a = {};
            GetFileAttributesExW(line.c_str(), GetFileExInfoStandard, &a);
            line += L" " + std::to_wstring(a.nFileSizeLow) + L" " + std::to_wstring(a.ftLastWriteTime.dwLowDateTime);
        }
        state.push_back(line);
    }
    return state;
}

// A program that does not close (it does not answer): a silent upgrade and a
// silent uninstallation stop with an error and leave the installation as it
// is; once it answers again, it closes and the uninstallation goes through.
TEST_F(InstallerMelodrift, ProgramThatDoesNotCloseStopsSilentRuns) {
    ComScope com;
    ASSERT_EQ(RunToEnd(MelodriftSetup(), L"/S /NOASSOC"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift";
    const std::wstring exe = folder + L"\\Melodrift.exe";
    const std::wstring data = MelodriftData(folder);
    // A file an earlier version installed: an upgrade that went on would take it away.
    WriteFile(folder + L"\\old-helper.dll", "MZ");
    WriteFile(folder + L"\\uninstall.lst", ReadFile(folder + L"\\uninstall.lst") + "old-helper.dll\r\n");
    PrepareMelodriftSettings(data);

    uidriver::CProcess melodrift;
    ASSERT_TRUE(melodrift.Start(exe));
    ASSERT_NE(WaitForMelodriftFrame(melodrift), nullptr) << "no main frame";
    const std::vector<std::wstring> before = FolderState(folder);
    {
        FrozenProcess frozen(melodrift.Id());
        ASSERT_TRUE(frozen.Frozen());
        EXPECT_EQ(RunToEnd(MelodriftSetup(), L"/S /NOASSOC"), 2);
        // The registered quiet command tells its caller.
        EXPECT_EQ(RunQuietUninstall(L"Melodrift"), 2);
        EXPECT_TRUE(melodrift.IsRunning());
        EXPECT_EQ(FolderState(folder), before) << "the installation was changed";
        EXPECT_TRUE(Exists(MelodriftShortcut()));
        CheckUninstallEntry(L"Melodrift", L"Melodrift 4.0", kMelodriftVersion, L"Corvena", folder);
        EXPECT_EQ(SavedShuffle(data), L"Mark");
    }
    // It answers again: the close it was asked for goes through.
    EXPECT_TRUE(melodrift.WaitForExit(60000)) << "the program did not close once it answered";
    if (melodrift.IsRunning()) melodrift.Terminate();
    DeleteFileW((folder + L"\\old-helper.dll").c_str());
    UninstallSilently(L"Melodrift");
    ExpectMelodriftGone(folder);
    std::error_code ec;
    fs::remove_all(fs::path(data), ec);
}

// A Klarwin that will not close because a scan runs (its scan held still part
// way): it refuses the Exit command it is sent, so a silent upgrade and a
// silent uninstallation stop with an error and leave the installation as it is.
TEST_F(InstallerKlarwin, ScanRunningStopsSilentRuns) {
    ComScope com;
    ASSERT_EQ(RunToEnd(KlarwinSetup(), L"/S"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Klarwin";
    // A file an earlier version installed: an upgrade that went on would take it away.
    WriteFile(folder + L"\\old-helper.dll", "MZ");
    WriteFile(folder + L"\\uninstall.lst", ReadFile(folder + L"\\uninstall.lst") + "old-helper.dll\r\n");

    uidriver::CProcess klarwin;
    ASSERT_TRUE(klarwin.Start(folder + L"\\Klarwin.exe", L"-scan"));
    ASSERT_NE(uidriver::WaitForTopWindow({.title = L"Scan in Progress", .processId = klarwin.Id()}, 60000), nullptr);
    const HWND main = uidriver::WaitForTopWindow({.title = L"Klarwin 2011 | Registry Cleaner",
                                                  .processId = klarwin.Id()}, 10000);
    ASSERT_NE(main, nullptr);
    const std::vector<std::wstring> before = FolderState(folder);
    {
        // Only the window thread goes on: the scan stays running however long the test takes.
        FrozenProcess scan(klarwin.Id(), GetWindowThreadProcessId(main, nullptr));
        ASSERT_TRUE(scan.Frozen());
        EXPECT_EQ(RunToEnd(KlarwinSetup(), L"/S"), 2);
        EXPECT_EQ(RunQuietUninstall(L"Klarwin"), 2);
        EXPECT_TRUE(klarwin.IsRunning());
        EXPECT_EQ(FolderState(folder), before) << "the installation was changed";
        EXPECT_TRUE(Exists(KlarwinShortcut()));
        CheckUninstallEntry(L"Klarwin", L"Klarwin 2011", kKlarwinVersion, L"Klarwin", folder);
        // Klarwin was asked, and refused with its own word.
        uidriver::MessageBoxInfo box;
        EXPECT_TRUE(uidriver::WaitForMessageBox(box, klarwin.Id(), L"Klarwin", 10000));
        EXPECT_EQ(box.text, L"Please wait for the scan to complete.");
        klarwin.Terminate();
    }
    EXPECT_TRUE(klarwin.WaitForExit(10000));
    DeleteFileW((folder + L"\\old-helper.dll").c_str());
    UninstallSilently(L"Klarwin");
    ExpectKlarwinGone(folder);
}

// ---- Melodrift's installer driven through its pages ------------------------------

// Ids of the installer's windows (the installer system's own resources).
constexpr int kNextButton = 1;
constexpr int kComponentsTree = 1032;
constexpr int kFolderEdit = 1019;

// An item's text in a tree view of another process.
std::wstring TreeItemText(HANDLE process, HWND tree, HTREEITEM item) {
    const SIZE_T textBytes = 260 * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + textBytes, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return L"";
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(TVITEMW));
    tvi.cchTextMax = 260;
    wchar_t text[260] = {};
    DWORD_PTR ok = 0;
    if (WriteProcessMemory(process, remote, &tvi, sizeof tvi, nullptr) &&
        SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 10000, &ok) &&
        ok) {
        ReadProcessMemory(process, tvi.pszText, text, sizeof text - sizeof(wchar_t), nullptr);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

// The state picture of a components tree item: ticked or not.
bool ItemTicked(HWND tree, HTREEITEM item) {
    const LRESULT state = SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    // Pictures: 1 unticked, 2 ticked; 4 and 5 the same for an item that cannot be changed.
    const int picture = static_cast<int>((state & TVIS_STATEIMAGEMASK) >> 12);
    return picture == 2 || picture == 5;
}

// The installer's window and the page in it that holds a control with the id.
HWND InstallerPageControl(DWORD processId, int id) {
    for (HWND w : uidriver::FindTopWindows({.className = L"#32770", .processId = processId}))
        if (HWND control = uidriver::FindControl(w, id); control && uidriver::IsVisible(control)) return control;
    return nullptr;
}

HWND InstallerWindow(DWORD processId) {
    for (HWND w : uidriver::FindTopWindows({.className = L"#32770", .processId = processId}))
        if (uidriver::GetText(w) == L"Melodrift 4.0 Setup") return w;
    return nullptr;
}

// Presses Next (Install, Finish) once it can be pressed.
void PressNext(HWND installer) {
    const HWND next = GetDlgItem(installer, kNextButton);
    ASSERT_TRUE(uidriver::WaitUntil([&] { return uidriver::IsEnabled(next); }, 60000, 50)) << "Next stays disabled";
    ASSERT_TRUE(uidriver::PostCommand(installer, kNextButton));
}

// The first visible check box of the page whose text begins with `text`.
struct CheckBoxSearch {
    std::wstring text;
    HWND found = nullptr;
};

BOOL CALLBACK MatchCheckBox(HWND w, LPARAM param) {
    auto* search = reinterpret_cast<CheckBoxSearch*>(param);
    const DWORD type = uidriver::GetStyle(w) & BS_TYPEMASK;
    if (uidriver::GetClass(w) == L"Button" && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) &&
        uidriver::IsVisible(w) && uidriver::GetText(w).rfind(search->text, 0) == 0) {
        search->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND FindCheckBox(HWND installer, const std::wstring& text) {
    CheckBoxSearch search{text};
    EnumChildWindows(installer, &MatchCheckBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Runs the installer as a user does: Next on the welcome page; on the
// components page the default-player item as `tick` says; Next on the folder
// page (Install); on the finish page "Run Melodrift" unticked and Finish.
void InstallThroughThePages(const std::wstring& arguments, bool tick, const std::wstring& screenshot) {
    uidriver::CProcess setup;
    ASSERT_TRUE(setup.Start(MelodriftSetup(), arguments));
    HWND installer = nullptr;
    ASSERT_TRUE(uidriver::WaitUntil([&] { return (installer = InstallerWindow(setup.Id())) != nullptr; }, 60000, 100))
        << "no installer window";
    // Welcome.
    ASSERT_NO_FATAL_FAILURE(PressNext(installer));

    // Components: the program (always) and the default player.
    HWND tree = nullptr;
    const auto componentsPage = [&] { return (tree = InstallerPageControl(setup.Id(), kComponentsTree)) != nullptr; };
    ASSERT_TRUE(uidriver::WaitUntil(componentsPage, 30000, 50))
        << "no components page";
    const HTREEITEM program = TreeView_GetRoot(tree);
    ASSERT_NE(program, nullptr);
    const HTREEITEM assoc = TreeView_GetNextSibling(tree, program);
    ASSERT_NE(assoc, nullptr);
    EXPECT_EQ(TreeItemText(setup.Handle(), tree, program), L"Melodrift");
    EXPECT_EQ(TreeItemText(setup.Handle(), tree, assoc), L"Make Melodrift the default player");
    EXPECT_TRUE(ItemTicked(tree, program));
    const bool ticked = ItemTicked(tree, assoc);
    EXPECT_EQ(ticked, arguments.find(L"/NOASSOC") == std::wstring::npos) << "the item's first state";
    if (!screenshot.empty()) {
        SetWindowPos(installer, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        // Drawn once the page has been painted.
        uidriver::WaitUntil([&] { return GetUpdateRect(tree, nullptr, FALSE) == FALSE; }, 2000, 50);
        Sleep(300);
        EXPECT_FALSE(uidriver::SaveScreenshot(installer, screenshot).empty());
    }
    if (ticked != tick) {
        // As the keyboard does it: the item chosen, the space bar pressed.
        TreeView_SelectItem(tree, assoc);
        ASSERT_TRUE(uidriver::PostKey(tree, VK_SPACE));
        EXPECT_TRUE(uidriver::WaitUntil([&] { return ItemTicked(tree, assoc) == tick; }, 10000, 50))
            << "the item did not change";
        EXPECT_TRUE(ItemTicked(tree, program)) << "the program itself cannot be left out";
    }
    ASSERT_NO_FATAL_FAILURE(PressNext(installer));

    // Folder; its button is Install.
    HWND edit = nullptr;
    const auto folderPage = [&] { return (edit = InstallerPageControl(setup.Id(), kFolderEdit)) != nullptr; };
    ASSERT_TRUE(uidriver::WaitUntil(folderPage, 30000, 50))
        << "no folder page";
    EXPECT_EQ(uidriver::GetText(edit), ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift");
    ASSERT_NO_FATAL_FAILURE(PressNext(installer));

    // Installing, then the finish page (it follows by itself).
    HWND run = nullptr;
    const auto finishPage = [&] { return (run = FindCheckBox(installer, L"&Run Melodrift")) != nullptr; };
    ASSERT_TRUE(uidriver::WaitUntil(finishPage, 180000, 100))
        << "no finish page";
    if (uidriver::GetCheck(run) == BST_CHECKED) {
        ASSERT_TRUE(uidriver::PostClick(run));
    }
    EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetCheck(run) == BST_UNCHECKED; }, 10000, 50));
    ASSERT_NO_FATAL_FAILURE(PressNext(installer));
    DWORD code = 99;
    ASSERT_TRUE(setup.WaitForExit(60000, &code)) << "the installer did not end";
    EXPECT_EQ(code, 0u);
}

// The installer through its pages, twice: with the default-player item
// unticked (it is ticked at first) nothing is associated; ticked (after
// /NOASSOC left it unticked) the program's "/reg /nostart" made it the
// default player.
TEST_F(InstallerMelodrift, InteractivePagesAndTheDefaultPlayerItem) {
    ComScope com;
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift";
    const std::wstring exe = folder + L"\\Melodrift.exe";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Melodrift")) << "installed before";
    WriteString(HKEY_CLASSES_ROOT, L".mp3", L"", L"InstallerTest.EarlierPlayer");

    ASSERT_NO_FATAL_FAILURE(InstallThroughThePages(L"", false, L"melodrift_installer"));
    CheckInstalledFiles(folder, MELODRIFT_FILES);
    CheckUninstallEntry(L"Melodrift", L"Melodrift 4.0", kMelodriftVersion, L"Corvena", folder);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAssocKey)) << "associated though unticked";
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L".mp3", L""), L"InstallerTest.EarlierPlayer");
    UninstallSilently(L"Melodrift");
    ExpectMelodriftGone(folder);

    ASSERT_NO_FATAL_FAILURE(InstallThroughThePages(L"/NOASSOC", true, L""));
    CheckInstalledFiles(folder, MELODRIFT_FILES);
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L"Melodrift.Player\\shell\\open\\command", L""), L"\"" + exe + L"\" \"%1\"");
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L".mp3", L""), L"Melodrift.Player");
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L".mp3", L"Tonvar_Back"), L"InstallerTest.EarlierPlayer");
    UninstallSilently(L"Melodrift");
    ExpectMelodriftGone(folder);
    EXPECT_EQ(String(HKEY_CLASSES_ROOT, L".mp3", L""), L"InstallerTest.EarlierPlayer");
    std::error_code ec;
    fs::remove_all(fs::path(MelodriftData(folder)), ec);
}

// The uninstaller as Programs and Features starts it, through its pages, while
// the program does not answer: it tells the user, who makes the program answer
// again and retries; then it closes the program and removes everything.
TEST_F(InstallerMelodrift, UninstallerAsksWhileTheProgramDoesNotClose) {
    ComScope com;
    ASSERT_EQ(RunToEnd(MelodriftSetup(), L"/S /NOASSOC"), 0);
    const std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Melodrift";
    const std::wstring data = MelodriftData(folder);
    PrepareMelodriftSettings(data);
    uidriver::CProcess melodrift;
    ASSERT_TRUE(melodrift.Start(folder + L"\\Melodrift.exe"));
    ASSERT_NE(WaitForMelodriftFrame(melodrift), nullptr) << "no main frame";
    auto frozen = std::make_unique<FrozenProcess>(melodrift.Id());
    ASSERT_TRUE(frozen->Frozen());

    // The uninstaller goes on as a copy of itself, started by it: its window is
    // found among the windows of the processes it started.
    uidriver::CProcess stub;
    ASSERT_TRUE(stub.Start(folder + L"\\uninstall.exe"));
    DWORD stubCode = 99;
    ASSERT_TRUE(stub.WaitForExit(60000, &stubCode));
    ASSERT_EQ(stubCode, 0u);
    // Its title ends in a blank.
    const std::wstring kUninstallerTitle = L"Melodrift 4.0 Uninstall";
    HWND uninstaller = nullptr;
    ASSERT_TRUE(uidriver::WaitUntil(
        [&] {
            for (DWORD child : ChildProcesses(stub.Id()))
                for (HWND w : uidriver::FindTopWindows({.className = L"#32770", .processId = child}))
                    if (uidriver::GetText(w).rfind(kUninstallerTitle, 0) == 0) uninstaller = w;
            return uninstaller != nullptr;
        },
        60000, 100))
        << "no uninstaller window";
    DWORD uninstallerId = 0;
    GetWindowThreadProcessId(uninstaller, &uninstallerId);
    // Confirmation page: Uninstall.
    ASSERT_NO_FATAL_FAILURE(PressNext(uninstaller));

    uidriver::MessageBoxInfo box;
    ASSERT_TRUE(uidriver::WaitForMessageBox(box, uninstallerId, L"", 120000)) << "the user was not told";
    // Read again once the box has its text (it may be found while it is made).
    const HWND boxWindow = box.hwnd;
    uidriver::WaitUntil([&] { return uidriver::ReadMessageBox(boxWindow, box) && !box.text.empty(); }, 10000, 50);
    EXPECT_NE(box.text.find(L"Melodrift is still running"), std::wstring::npos) << fs::path(box.text);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
    EXPECT_TRUE(Exists(folder + L"\\Melodrift.exe")) << "removed before the program closed";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstallRoot) + L"Melodrift"));

    frozen.reset();
    ASSERT_TRUE(uidriver::AnswerMessageBox(box.hwnd, IDRETRY));
    EXPECT_TRUE(melodrift.WaitForExit(60000)) << "the program did not close";
    const std::wstring entry = std::wstring(kUninstallRoot) + L"Melodrift";
    EXPECT_TRUE(uidriver::WaitUntil([&] { return !KeyExists(HKEY_LOCAL_MACHINE, entry); }, 120000, 200))
        << "the uninstallation did not go on";
    // Done: Close.
    ASSERT_NO_FATAL_FAILURE(PressNext(uninstaller));
    EXPECT_TRUE(uidriver::WaitForWindowGone(uninstaller, 60000));
    // The copy ends right after its window.
    Sleep(500);
    ExpectMelodriftGone(folder);
    const std::wstring shuffle = SavedShuffle(data);
    EXPECT_TRUE(shuffle == L"On" || shuffle == L"Off") << "settings not saved on closing: " << fs::path(shuffle);
    std::error_code ec;
    fs::remove_all(fs::path(data), ec);
}

}  // namespace
