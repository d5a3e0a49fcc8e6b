// The registry scan thread against the prefix's real registry and files:
// fixtures under every scanned location, what is reported and what is not, the
// counters, and the messages exactly as a window receives them.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>

#include "klarwin/path_check.h"
#include "klarwin/record_format.h"
#include "klarwin/scan_walks.h"
#include "scan_test_support.h"

using namespace scantest;

namespace {

const std::wstring kAppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kSharedDlls = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kFonts = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::wstring kSnapIns = L"Software\\Microsoft\\MMC\\SnapIns";
const std::wstring kSessionLauncher = L"SYSTEM\\CurrentControlSet\\Services\\SessionLauncher";
const std::wstring kSounds = L"AppEvents\\Schemes\\Apps";

std::wstring Existing() { return ExpandEnvironment(L"%SystemRoot%\\system32\\kernel32.dll"); }

std::wstring NewGuid() {
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

// Start, end and completion messages only.
std::string Sections(const MessageRecorder& recorder) {
    std::vector<Received> out;
    for (const Received& r : recorder.Messages())
        if (r.message != WM_SCAN_PROGRESS_TEXT && r.message != WM_SCAN_ERROR_FOUND) out.push_back(r);
    return Describe(out);
}

// What must hold for any scan: every error was announced once, in list order,
// inside its own section and with its ordinal; the counters count the list.
void ExpectConsistent(const ScanRun& run) {
    int open = -1;
    long ordinal = -1;
    int index = 0;
    bool complete = false;
    for (const Received& r : run.recorder.Messages()) {
        EXPECT_FALSE(complete) << "a message after the completion";
        switch (r.message) {
            case WM_SCAN_SECTION_START:
                open = static_cast<int>(r.wParam);
                ordinal = static_cast<long>(r.lParam);
                break;
            case WM_SCAN_SECTION_END:
                EXPECT_EQ(static_cast<int>(r.wParam), open);
                EXPECT_EQ(static_cast<long>(r.lParam), ordinal);
                open = -1;
                break;
            case WM_SCAN_ERROR_FOUND:
                EXPECT_EQ(static_cast<int>(r.wParam), open);
                EXPECT_EQ(static_cast<long>(r.lParam), ordinal);
                if (index < run.errors.GetSize()) {
                    EXPECT_EQ(run.errors[index].Section, open);
                }
                ++index;
                break;
            case WM_SCAN_PROGRESS_TEXT:
                EXPECT_NE(open, -1) << "progress outside a section";
                break;
            case WM_SCAN_COMPLETE:
                complete = true;
                break;
        }
    }
    EXPECT_EQ(index, run.errors.GetSize());
    int perSection[kSectionCount] = {};
    for (const CError& e : run.errors) {
        ASSERT_GE(e.Section, 0);
        ASSERT_LT(e.Section, kSectionCount);
        ++perSection[e.Section];
        EXPECT_EQ(e.Protected, GetScanSectionInfo(e.Section)->Protected);
    }
    for (int s = 0; s < kSectionCount; ++s) {
        EXPECT_EQ(run.counters[s].Found, perSection[s]) << "section " << s;
        EXPECT_EQ(run.counters[s].Repaired, 0);
    }
}

// Position in the message list of the error message for errors[index].
int ErrorMessagePosition(const ScanRun& run, int index) {
    int seen = 0;
    const auto& m = run.recorder.Messages();
    for (std::size_t i = 0; i < m.size(); ++i)
        if (m[i].message == WM_SCAN_ERROR_FOUND && seen++ == index) return static_cast<int>(i);
    return -1;
}

int IndexOf(const CErrorListEx& errors, const std::wstring& subKey, const std::wstring& valueName) {
    for (int i = 0; i < errors.GetSize(); ++i)
        if (errors[i].Item.SubKey == subKey && errors[i].Item.ValueName == valueName) return i;
    return -1;
}

std::set<std::wstring> ValueNames(const std::vector<CError>& errors) {
    std::set<std::wstring> names;
    for (const CError& e : errors) names.insert(e.Item.ValueName);
    return names;
}

// USERPROFILE pointed elsewhere for the life of the object.
class ProfileOverride {
public:
    explicit ProfileOverride(const std::wstring& folder) : m_old(ExpandEnvironment(L"%USERPROFILE%")) {
        SetEnvironmentVariableW(L"USERPROFILE", folder.c_str());
    }
    ~ProfileOverride() { SetEnvironmentVariableW(L"USERPROFILE", m_old.c_str()); }

private:
    std::wstring m_old;
};

std::wstring TempRoot() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    std::wstring path(buffer, n);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

class KlarwinScan : public ::testing::Test {
protected:
    CComInit m_com;
    RegistryFixture m_registry;
    std::wstring m_id = UniqueName(L"KlarwinTest");
    std::wstring Missing(const wchar_t* file) { return L"C:\\" + m_id + L"-missing\\" + file; }
};

}  // namespace

TEST_F(KlarwinScan, NoSectionsOnlyCompletes) {
    ScanRun run;
    ASSERT_TRUE(run.Run({}));
    EXPECT_EQ(Describe(run.recorder.Messages()), "complete(0,0) ");
    EXPECT_EQ(run.errors.GetSize(), 0);
}

TEST_F(KlarwinScan, SectionMessagesCountOnlyEnabledSections) {
    ScanRun one;
    ASSERT_TRUE(one.Run({7}));
    EXPECT_EQ(Sections(one.recorder), "start(7,0) end(7,0) complete(0,0) ");
    ExpectConsistent(one);

    ScanRun three;
    ASSERT_TRUE(three.Run({3, 7, 10}));
    EXPECT_EQ(Sections(three.recorder), "start(3,0) end(3,0) start(7,1) end(7,1) start(10,2) end(10,2) complete(0,0) ");
    ExpectConsistent(three);
}

TEST_F(KlarwinScan, StartupSectionStartsOncePerRoot) {
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, kRun, m_id + L"-M", Missing(L"machine.exe")));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, kRun, m_id + L"-ok", Existing()));
    ASSERT_TRUE(m_registry.SetString(HKEY_CURRENT_USER, kRun, m_id + L"-U", Missing(L"user.exe")));
    ASSERT_TRUE(m_registry.SetString(HKEY_CURRENT_USER, kRun, m_id + L"-switch", Missing(L"user.exe") + L" -q"));

    ScanRun run;
    ASSERT_TRUE(run.Run({2, 4}));
    EXPECT_EQ(Sections(run.recorder), "start(2,0) end(2,0) start(4,1) start(4,1) end(4,1) complete(0,0) ");
    ExpectConsistent(run);

    std::vector<CError> found = ErrorsWith(run.errors, m_id);
    ASSERT_EQ(found.size(), 2u);
    int machine = IndexOf(run.errors, kRun, m_id + L"-M");
    int user = IndexOf(run.errors, kRun, m_id + L"-U");
    ASSERT_GE(machine, 0);
    ASSERT_GE(user, 0);
    EXPECT_EQ(run.errors[machine].Item.RootKey, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(run.errors[machine].Item.RootName, L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(run.errors[user].Item.RootKey, HKEY_CURRENT_USER);
    EXPECT_EQ(run.errors[user].Item.RootName, L"HKEY_CURRENT_USER");
    EXPECT_FALSE(run.errors[user].Protected);
    EXPECT_EQ(run.errors[user].Reason, L"The value in HKEY_CURRENT_USER\\" + kRun + L"\\" + m_id +
                                           L"-U  contains an invalid path " + Missing(L"user.exe"));

    // The machine's entry is announced before the second start, the user's after it.
    const auto& m = run.recorder.Messages();
    int secondStart = -1, starts = 0;
    for (std::size_t i = 0; i < m.size(); ++i)
        if (m[i].message == WM_SCAN_SECTION_START && m[i].wParam == 4 && ++starts == 2) secondStart = static_cast<int>(i);
    EXPECT_LT(ErrorMessagePosition(run, machine), secondStart);
    EXPECT_GT(ErrorMessagePosition(run, user), secondStart);
}

// Application paths: the path test's edge cases, the depth limit, the data
// limit, the ignore list, and the progress texts.
TEST_F(KlarwinScan, ApplicationPathsReportsMissingFiles) {
    const std::wstring key = kAppPaths + L"\\" + m_id;
    const HKEY hklm = HKEY_LOCAL_MACHINE;
    struct Entry {
        const wchar_t* name;
        std::wstring data;
        DWORD type;
        bool reported;
    } entries[] = {
        {L"", Missing(L"app.exe"), REG_SZ, true},
        {L"Upper", Missing(L"APP.EXE"), REG_SZ, true},
        {L"Expand", L"%SystemRoot%\\" + m_id + L"-missing.dll", REG_EXPAND_SZ, true},
        {L"SysRootVar", L"%systemroot%\\" + m_id + L".exe", REG_SZ, true},
        {L"SysRootBare", L"\\SystemRoot\\" + m_id + L".dll", REG_SZ, true},
        {L"Long500", L"C:\\" + std::wstring(495, L'a') + L".exe", REG_SZ, true},  // 1002 bytes, too long a path
        {L"CaseIgnored", Missing(L"case.exe"), REG_SZ, true},
        {L"Existing", Existing(), REG_SZ, false},
        {L"SysRootExisting", L"%SYSTEMROOT%\\system32\\kernel32.dll", REG_SZ, false},
        {L"SysRootBareExisting", L"\\systemroot\\system32\\kernel32.dll", REG_SZ, false},
        {L"Dotted", L"C:\\" + m_id + L".dir\\app.exe", REG_SZ, false},
        {L"Quoted", L"\"" + Missing(L"app.exe") + L"\"", REG_SZ, false},
        {L"Switch", Missing(L"app.exe") + L" /s", REG_SZ, false},
        {L"Launcher", L"C:\\" + m_id + L"\\rundll32 x.exe", REG_SZ, false},
        {L"BareName", L"klarwin.ttf", REG_SZ, false},
        {L"Long600", L"C:\\" + std::wstring(600, L'a') + L".exe", REG_SZ, false},  // over 1024 bytes: not examined
        {L"Ignored", Missing(L"ignored.exe"), REG_SZ, false},
    };
    for (const Entry& e : entries) ASSERT_TRUE(m_registry.SetString(hklm, key, e.name, e.data, e.type));
    ASSERT_TRUE(m_registry.SetDword(hklm, key, L"Dword", 1));

    // Keys down to depth 11 are checked, depth 12 is not (App Paths is depth 1).
    std::wstring deep = key;
    for (int depth = 3; depth <= 12; ++depth) {
        deep += L"\\d" + std::to_wstring(depth);
        ASSERT_TRUE(m_registry.SetString(hklm, deep, L"Depth" + std::to_wstring(depth), Missing(L"deep.exe")));
    }

    ScanRun run;
    // On the ignore list: one entry (with other data), and one only in another letter case.
    CRegistryItem ignored;
    ignored.RootKey = hklm;
    ignored.SubKey = key;
    ignored.ValueName = L"Ignored";
    ignored.ValueData = L"whatever";
    run.ignore.Add(ignored);
    ignored.ValueName = L"caseignored";
    run.ignore.Add(ignored);
    ASSERT_TRUE(run.Run({1}));
    ExpectConsistent(run);

    std::set<std::wstring> expected;
    for (const Entry& e : entries)
        if (e.reported) expected.insert(e.name);
    for (int depth = 3; depth <= 11; ++depth) expected.insert(L"Depth" + std::to_wstring(depth));
    EXPECT_EQ(ValueNames(ErrorsWith(run.errors, m_id)), expected);

    // The fields of one finding.
    int i = IndexOf(run.errors, key, L"");
    ASSERT_GE(i, 0);
    const CError& e = run.errors[i];
    EXPECT_EQ(e.ErrorType, 1);
    EXPECT_EQ(e.Section, 1);
    EXPECT_EQ(e.FilePath, Missing(L"app.exe"));
    EXPECT_EQ(e.Reason, L"The value in HKEY_LOCAL_MACHINE\\" + key + L"\\  contains an invalid path " + Missing(L"app.exe"));
    EXPECT_EQ(e.Title, L"The file is missing or invalid.");
    EXPECT_TRUE(e.Protected);
    EXPECT_EQ(e.Item.ValueType, 1);
    EXPECT_EQ(e.Item.RootKey, hklm);
    EXPECT_EQ(e.Item.RootName, L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(e.Item.ValueData, Missing(L"app.exe"));
    // An expandable value keeps its type and its unexpanded text.
    i = IndexOf(run.errors, key, L"Expand");
    ASSERT_GE(i, 0);
    EXPECT_EQ(run.errors[i].Item.ValueType, 2);
    EXPECT_EQ(run.errors[i].FilePath, L"%SystemRoot%\\" + m_id + L"-missing.dll");

    // With no throttling every value examined is announced, including the
    // ones that are not tested.
    std::vector<std::wstring> texts = run.recorder.ProgressTexts();
    std::set<std::wstring> progress(texts.begin(), texts.end());
    for (const wchar_t* name : {L"", L"Dword", L"Long600", L"Dotted"})
        EXPECT_TRUE(progress.count(L"HKEY_LOCAL_MACHINE\\" + key + L"\\" + name)) << Narrow(name);
}

TEST_F(KlarwinScan, ValueSectionsUseTheirRootsAndFlags) {
    const std::wstring sound = kSounds + L"\\" + m_id + L"\\Event\\.Current";
    ASSERT_TRUE(m_registry.SetString(HKEY_CURRENT_USER, sound, L"", Missing(L"ding.wav")));
    ASSERT_TRUE(m_registry.SetString(HKEY_CURRENT_USER, sound, L"Other", Existing()));
    const std::wstring help = L"Software\\Microsoft\\Windows\\Help";
    const std::wstring htmlHelp = L"Software\\Microsoft\\Windows\\HTML Help";
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, help, m_id + L".chm", Missing(L"a.chm")));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, htmlHelp, m_id + L".chm", Missing(L"b.chm")));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, help + L"\\" + m_id, L"Sub", Missing(L"c.chm")));  // not walked
    const std::wstring snapIn = kSnapIns + L"\\" + m_id;
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, snapIn, L"About", Missing(L"about.dll")));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, snapIn + L"\\Node", L"Help", Existing()));
    const std::wstring service = kSessionLauncher;
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, service, m_id + L"-Image", Missing(L"launcher.exe"),
                                     REG_EXPAND_SZ));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, service + L"\\" + m_id, L"ServiceDll", Missing(L"svc.dll")));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, service + L"\\" + m_id, L"Main", L"ServiceMain"));
    const std::wstring uninstall = kUninstall + L"\\" + m_id;
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", Missing(L"app.exe")));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, uninstall, L"IconIndex", Missing(L"app.exe") + L",0"));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, uninstall, L"UninstallString", Missing(L"un.exe") + L" /x"));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, kFonts, m_id + L" (TrueType)", m_id + L".ttf"));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, kFonts, m_id + L" Bold", Missing(L"bold.ttf")));

    ScanRun run;
    ASSERT_TRUE(run.Run({2, 3, 5, 8, 9, 10}));
    ExpectConsistent(run);
    EXPECT_EQ(Sections(run.recorder),
              "start(2,0) end(2,0) start(3,1) end(3,1) start(5,2) end(5,2) start(8,3) end(8,3) start(9,4) end(9,4) "
              "start(10,5) end(10,5) complete(0,0) ");

    std::map<std::wstring, std::pair<int, bool>> expected = {
        {L"", {2, false}},
        {m_id + L".chm", {3, false}},  // once in Help, once in HTML Help
        {L"About", {5, true}},
        {m_id + L"-Image", {8, true}},
        {L"ServiceDll", {8, true}},
        {L"DisplayIcon", {9, false}},
        {m_id + L" Bold", {10, false}},
    };
    std::vector<CError> found = ErrorsWith(run.errors, m_id);
    EXPECT_EQ(found.size(), expected.size() + 1);
    for (const CError& e : found) {
        auto it = expected.find(e.Item.ValueName);
        ASSERT_NE(it, expected.end()) << Narrow(e.Item.SubKey + L"\\" + e.Item.ValueName);
        EXPECT_EQ(e.Section, it->second.first);
        EXPECT_EQ(e.Protected, it->second.second);
        EXPECT_EQ(e.Item.RootName, e.Section == 2 ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE");
    }
    // Help before HTML Help.
    EXPECT_LT(IndexOf(run.errors, help, m_id + L".chm"), IndexOf(run.errors, htmlHelp, m_id + L".chm"));
    int image = IndexOf(run.errors, service, m_id + L"-Image");
    ASSERT_GE(image, 0);
    EXPECT_EQ(run.errors[image].Item.ValueType, 2);
}

TEST_F(KlarwinScan, SharedDllsTestValueNames) {
    ASSERT_TRUE(m_registry.SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, Missing(L"shared.dll"), 3));
    ASSERT_TRUE(m_registry.SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, Missing(L"negative.dll"), 0xFFFFFFFFu));
    ASSERT_TRUE(m_registry.SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, Existing(), 1));
    ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, kSharedDlls, Missing(L"string.dll"), L"1"));

    ScanRun run;
    ASSERT_TRUE(run.Run({1, 6}));
    ExpectConsistent(run);
    std::vector<CError> found = ErrorsWith(run.errors, m_id);
    ASSERT_EQ(found.size(), 2u);
    int i = IndexOf(run.errors, kSharedDlls, Missing(L"shared.dll"));
    ASSERT_GE(i, 0);
    const CError& e = run.errors[i];
    EXPECT_EQ(e.Section, 6);
    EXPECT_EQ(e.FilePath, Missing(L"shared.dll"));
    EXPECT_EQ(e.Item.ValueType, 4);
    EXPECT_EQ(e.Item.ValueData, L"3");
    EXPECT_EQ(e.Item.Tag, 1);  // the section's ordinal
    EXPECT_EQ(e.Reason, L"The value in HKEY_LOCAL_MACHINE\\" + kSharedDlls + L"\\" + Missing(L"shared.dll") +
                            L"  contains an invalid path " + Missing(L"shared.dll"));
    i = IndexOf(run.errors, kSharedDlls, Missing(L"negative.dll"));
    ASSERT_GE(i, 0);
    EXPECT_EQ(run.errors[i].Item.ValueData, L"-1");  // reads back to the same DWORD
}

TEST_F(KlarwinScan, EmptyKeysBelowServiceAccounts) {
    const std::wstring top = L"S-1-5-18\\" + m_id;
    ASSERT_TRUE(m_registry.CreateKey(HKEY_USERS, top + L"\\A"));
    ASSERT_TRUE(m_registry.SetString(HKEY_USERS, top + L"\\B", L"v", L"x"));
    ASSERT_TRUE(m_registry.CreateKey(HKEY_USERS, top + L"\\C\\D"));
    ASSERT_TRUE(m_registry.CreateKey(HKEY_USERS, L"S-1-5-19\\" + m_id));  // depth 2: not reported
    ASSERT_TRUE(m_registry.CreateKey(HKEY_USERS, L"S-1-5-20\\" + m_id + L"\\E"));

    ScanRun run;
    ASSERT_TRUE(run.Run({6, 7}));
    ExpectConsistent(run);
    std::vector<CError> found = ErrorsWith(run.errors, m_id);
    std::vector<std::wstring> paths;
    for (const CError& e : found) paths.push_back(e.FilePath);
    // In walk order: the accounts one after the other.
    ASSERT_EQ(paths.size(), 3u);
    std::set<std::wstring> first(paths.begin(), paths.begin() + 2);
    EXPECT_EQ(first, (std::set<std::wstring>{top + L"\\A", top + L"\\C\\D"}));
    EXPECT_EQ(paths[2], L"S-1-5-20\\" + m_id + L"\\E");

    const CError& e = found[0];
    EXPECT_EQ(e.ErrorType, 2);
    EXPECT_EQ(e.Section, 7);
    EXPECT_EQ(e.Title, L"Empty Registry Key.");
    EXPECT_EQ(e.Reason, L"The key " + e.FilePath + L" is a empty registry key");
    EXPECT_EQ(e.Item.ValueType, 0);
    EXPECT_EQ(e.Item.RootKey, HKEY_USERS);
    EXPECT_EQ(e.Item.RootName, L"HKEY_USERS");
    EXPECT_EQ(e.Item.SubKey, e.FilePath);
    EXPECT_EQ(e.Item.ValueName, L"");
    EXPECT_EQ(e.Item.Tag, 1);
    EXPECT_FALSE(e.Protected);

    // The empty-key walk announces no progress.
    bool inSeven = false;
    for (const Received& r : run.recorder.Messages()) {
        if (r.message == WM_SCAN_SECTION_START) inSeven = r.wParam == 7;
        if (inSeven) {
            EXPECT_NE(r.message, static_cast<UINT>(WM_SCAN_PROGRESS_TEXT));
        }
    }
}

TEST_F(KlarwinScan, ClassesWithMissingAppIdOrTypeLib) {
    const std::wstring missingApp = NewGuid(), presentApp = NewGuid(), missingLib = NewGuid(), presentLib = NewGuid();
    const std::wstring c1 = NewGuid(), c2 = NewGuid(), c3 = NewGuid(), c4 = NewGuid(), c5 = NewGuid();
    const HKEY hkcr = HKEY_CLASSES_ROOT;
    ASSERT_TRUE(m_registry.SetString(hkcr, L"CLSID\\" + c1, L"AppID", missingApp));
    ASSERT_TRUE(m_registry.SetString(hkcr, L"CLSID\\" + c2, L"AppID", presentApp));
    ASSERT_TRUE(m_registry.CreateKey(hkcr, L"AppID\\" + presentApp));
    ASSERT_TRUE(m_registry.SetString(hkcr, L"CLSID\\" + c3 + L"\\TypeLib", L"", missingLib));
    ASSERT_TRUE(m_registry.SetString(hkcr, L"CLSID\\" + c4 + L"\\TypeLib", L"", presentLib));
    ASSERT_TRUE(m_registry.CreateKey(hkcr, L"TypeLib\\" + presentLib));
    ASSERT_TRUE(m_registry.SetString(hkcr, L"CLSID\\" + c5, L"AppID", L""));  // empty: nothing to look for

    ScanRun run;
    ASSERT_TRUE(run.Run({0}));
    ExpectConsistent(run);
    int app = IndexOf(run.errors, L"CLSID\\" + c1, L"AppID");
    int lib = IndexOf(run.errors, L"CLSID\\" + c3 + L"\\TypeLib", L"");
    ASSERT_GE(app, 0);
    ASSERT_GE(lib, 0);
    EXPECT_LT(app, lib);  // every AppID finding comes before the TypeLib findings
    for (const std::wstring& c : {c2, c4, c5}) {
        for (const CError& e : run.errors) EXPECT_EQ(e.Item.SubKey.find(c), std::wstring::npos) << Narrow(c);
    }

    const CError& a = run.errors[app];
    EXPECT_EQ(a.ErrorType, 1);
    EXPECT_TRUE(a.Protected);
    EXPECT_EQ(a.FilePath, L"");
    EXPECT_EQ(a.Title, L"Missing AppID or CLSID.");
    EXPECT_EQ(a.Reason, L"The key HKEY_CLASSES_ROOT\\CLSID\\" + c1 + L" points to a missing CLSID " + missingApp);
    EXPECT_EQ(a.Item.ValueType, 1);
    EXPECT_EQ(a.Item.RootKey, hkcr);
    EXPECT_EQ(a.Item.RootName, L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(a.Item.ValueData, missingApp);
    const CError& t = run.errors[lib];
    EXPECT_EQ(t.Title, L"Missing Typelib or CLSID.");
    EXPECT_EQ(t.Reason, L"The key HKEY_CLASSES_ROOT\\CLSID\\" + c3 + L"\\TypeLib points to a missing CLSID " + missingLib);
    EXPECT_EQ(t.Item.ValueData, missingLib);
}

TEST_F(KlarwinScan, ShortcutsUnderTheProfile) {
    TempFolder profile(TempRoot());
    ProfileOverride useProfile(profile.Path());
    std::wstring target = profile.File(L"target.exe");
    std::wstring gone = profile.File(L"gone.exe");
    ASSERT_TRUE(CreateShortcut(profile.Path() + L"\\missing.lnk", gone));
    ASSERT_TRUE(CreateShortcut(profile.Path() + L"\\file.lnk", target));
    ASSERT_TRUE(CreateShortcut(profile.Path() + L"\\folder.lnk", profile.Folder(L"somewhere")));
    profile.Folder(L"sub\\deep");
    ASSERT_TRUE(CreateShortcut(profile.Path() + L"\\sub\\deep\\gone.lnk", gone));
    profile.Folder(L"dir.lnk");
    ASSERT_TRUE(DeleteFileW(gone.c_str()));

    ScanRun run;
    // An ignore entry matching the shortcut findings' item does not hide them.
    CRegistryItem everyShortcut;
    everyShortcut.RootKey = HKEY_CURRENT_USER;
    run.ignore.Add(everyShortcut);
    ASSERT_TRUE(run.Run({11}));
    ExpectConsistent(run);
    EXPECT_EQ(Sections(run.recorder), "start(11,0) end(11,0) complete(0,0) ");

    ASSERT_EQ(run.errors.GetSize(), 2);
    EXPECT_EQ(run.errors[0].FilePath, profile.Path() + L"\\sub\\deep\\gone.lnk");  // deepest first
    EXPECT_EQ(run.errors[1].FilePath, profile.Path() + L"\\missing.lnk");
    const CError& e = run.errors[1];
    EXPECT_EQ(e.ErrorType, 0);
    EXPECT_EQ(e.Section, 11);
    EXPECT_EQ(e.Reason, L"The target file for this shortcut file does not exist.");
    EXPECT_EQ(e.Title, L"Missing Shortcut.");
    EXPECT_FALSE(e.Protected);
    EXPECT_EQ(e.Item.RootKey, HKEY_CURRENT_USER);
    EXPECT_EQ(e.Item.RootName, L"HKEY_CURRENT_USER");
    EXPECT_EQ(e.Item.SubKey, L"");
    EXPECT_EQ(e.Item.ValueType, 0);
    EXPECT_EQ(run.counters[11].Found, 2);

    // Progress names each folder as it is searched, without a root name; the
    // profile folder itself comes last.
    std::vector<std::wstring> texts = run.recorder.ProgressTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), profile.Path() + L"\\");
    EXPECT_NE(std::find(texts.begin(), texts.end(), profile.Path() + L"\\sub\\deep\\"), texts.end());

    // Without a shell-link object no shortcut can be read: the section says it
    // was not checked and reports nothing.
    MessageRecorder recorder;
    CErrorListEx errors;
    ScanSetup setup;
    setup.errors = &errors;
    setup.notifyWindow = recorder.Window();
    setup.pacingScale = 0;
    ScanContext bare(setup);
    bare.running = true;
    RunScanSection(bare, kSectionShortcuts);
    recorder.Drain();
    EXPECT_EQ(Describe(recorder.WithoutProgress()), "start(11,0) skipped(11,0) end(11,0) ");
    EXPECT_EQ(errors.GetSize(), 0);
    EXPECT_EQ(bare.finder.GetFoundCount(), 0);
}

namespace {

std::atomic<CRegistryScanThread*> g_stopTarget{nullptr};
std::atomic<UINT> g_stopAfter{WM_SCAN_ERROR_FOUND};

// Posts, and stops the scan right after the first message g_stopAfter of
// section 11 was posted, as a window would that stops it on that message.
BOOL WINAPI PostThenStop(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    BOOL ok = PostMessageW(hwnd, msg, wParam, lParam);
    if (msg == g_stopAfter.load() && wParam == 11) {
        if (CRegistryScanThread* t = g_stopTarget.load()) t->RequestStop();
    }
    return ok;
}

}  // namespace

TEST_F(KlarwinScan, StopDuringShortcutSearch) {
    TempFolder profile(TempRoot());
    ProfileOverride useProfile(profile.Path());
    std::wstring gone = profile.File(L"gone.exe");
    for (int i = 0; i < 60; ++i) {
        std::wstring folder = profile.Folder(L"f" + std::to_wstring(i));
        ASSERT_TRUE(CreateShortcut(folder + L"\\broken.lnk", gone));
    }
    ASSERT_TRUE(DeleteFileW(gone.c_str()));

    // Stopped at the section's start (the search never begins) or at the first
    // finding: nothing follows, not even the section's end.
    for (UINT stopAfter : {WM_SCAN_SECTION_START, WM_SCAN_ERROR_FOUND}) {
        SCOPED_TRACE(stopAfter);
        const bool atStart = stopAfter == WM_SCAN_SECTION_START;
        g_stopAfter = stopAfter;
        ScanRun run;
        bool enabled[kSectionCount] = {};
        enabled[11] = true;
        ScanSetup setup;
        setup.errors = &run.errors;
        setup.counters = &run.counters;
        setup.notifyWindow = run.recorder.Window();
        setup.pacingScale = 0;
        setup.postMessage = &PostThenStop;
        CRegistryScanThread scan(enabled, setup);
        g_stopTarget = &scan;
        ASSERT_TRUE(scan.Start());
        ASSERT_TRUE(run.recorder.PumpUntilEnded(scan.m_hThread));
        g_stopTarget = nullptr;
        std::vector<Received> seen = run.recorder.WithoutProgress();
        EXPECT_EQ(Describe(seen), atStart ? "start(11,0) " : "start(11,0) error(11,0) ");
        EXPECT_EQ(run.errors.GetSize(), atStart ? 0 : 1);
        EXPECT_EQ(run.counters[11].Found, atStart ? 0 : 1);
        // The folder search ended there, or never began.
        EXPECT_LT(scan.Context().finder.GetFoundCount(), atStart ? 1 : 3);
        EXPECT_FALSE(scan.IsScanning());
    }

    // Stopped by the window's thread on the first finding it receives, with
    // every finding announced at once and with later ones held for their
    // interval (those still held are dropped: the list holds what was announced).
    for (DWORD interval : {DWORD{0}, kDefaultProgressIntervalMs}) {
        SCOPED_TRACE(interval);
        ScanRun run;
        run.progressIntervalMs = interval;
        bool stopped = false;
        std::size_t messagesAtStop = 0;
        run.recorder.onMessage = [&](const Received& r) {
            if (!stopped && r.message == WM_SCAN_ERROR_FOUND && run.thread) {
                stopped = true;
                run.thread->Stop();
                messagesAtStop = run.recorder.Messages().size();
            }
        };
        ASSERT_TRUE(run.Run({10, 11}));
        ASSERT_TRUE(stopped);
        for (const Received& r : run.recorder.Messages()) {
            EXPECT_NE(r.message, static_cast<UINT>(WM_SCAN_COMPLETE));
            EXPECT_FALSE(r.message == WM_SCAN_SECTION_END && r.wParam == 11);
        }
        EXPECT_LT(run.errors.GetSize(), 60);
        EXPECT_GE(run.recorder.Messages().size(), messagesAtStop);
        ExpectConsistent(run);
    }
}

namespace {

// A window queue that holds at most a few posted messages, as a real queue
// holds at most 10,000: posting fails with ERROR_NOT_ENOUGH_QUOTA until the
// window has worked some off.
std::atomic<int> g_queued{0};
std::atomic<int> g_refusedProgress{0};
std::atomic<int> g_refusedOther{0};
constexpr int kQueueCapacity = 12;

BOOL WINAPI PostToSmallQueue(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_queued.load() >= kQueueCapacity) {
        ++(msg == WM_SCAN_PROGRESS_TEXT ? g_refusedProgress : g_refusedOther);
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    ++g_queued;
    if (PostMessageW(hwnd, msg, wParam, lParam)) return TRUE;
    --g_queued;
    return FALSE;
}

}  // namespace

TEST_F(KlarwinScan, FullQueueLosesOnlyProgressTexts) {
    const std::wstring key = kAppPaths + L"\\" + m_id;
    const int kValues = 300;
    for (int i = 0; i < kValues; ++i)
        ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, key, L"v" + std::to_wstring(i), Missing(L"x.exe")));

    ScanRun run;
    g_queued = 0;
    g_refusedProgress = 0;
    g_refusedOther = 0;
    run.postMessage = &PostToSmallQueue;
    run.recorder.slowness = 1;
    run.recorder.onMessage = [](const Received&) { --g_queued; };
    ASSERT_TRUE(run.Run({1}));
    ExpectConsistent(run);
    EXPECT_EQ(static_cast<int>(ErrorsWith(run.errors, m_id).size()), kValues);
    EXPECT_EQ(Sections(run.recorder), "start(1,0) end(1,0) complete(0,0) ");
    // The queue was full at times: findings waited, progress texts were dropped.
    EXPECT_GT(g_refusedOther.load(), 0);
    EXPECT_GT(g_refusedProgress.load(), 0);
    EXPECT_LT(static_cast<int>(run.recorder.ProgressTexts().size()), kValues);
}

TEST_F(KlarwinScan, ProgressTextsAreCoalesced) {
    const std::wstring key = kAppPaths + L"\\" + m_id;
    for (int i = 0; i < 400; ++i)
        ASSERT_TRUE(m_registry.SetString(HKEY_LOCAL_MACHINE, key, L"v" + std::to_wstring(i), Existing()));
    ScanRun run;
    run.progressIntervalMs = kDefaultProgressIntervalMs;
    ASSERT_TRUE(run.Run({1, 3}));
    ExpectConsistent(run);
    // At most one text per interval, plus the first one of each section.
    std::size_t texts = run.recorder.ProgressTexts().size();
    EXPECT_GE(texts, 1u);
    EXPECT_LE(texts, run.elapsedMs / kDefaultProgressIntervalMs + 2 + 1);
}

// A whole scan of the prefix's registry finishes and finds the same again.
TEST_F(KlarwinScan, WholeScanIsStable) {
    ScanRun first;
    ASSERT_TRUE(first.RunAll());
    ExpectConsistent(first);
    EXPECT_EQ(Sections(first.recorder),
              "start(0,0) end(0,0) start(1,1) end(1,1) start(2,2) end(2,2) start(3,3) end(3,3) start(4,4) start(4,4) "
              "end(4,4) start(5,5) end(5,5) start(6,6) end(6,6) start(7,7) end(7,7) start(8,8) end(8,8) "
              "start(9,9) end(9,9) start(10,10) end(10,10) start(11,11) end(11,11) complete(0,0) ");

    ScanRun second;
    ASSERT_TRUE(second.RunAll());
    EXPECT_EQ(FormatErrorRecords(second.errors), FormatErrorRecords(first.errors));
    for (int s = 0; s < kSectionCount; ++s) EXPECT_EQ(second.counters[s].Found, first.counters[s].Found);
}

TEST_F(KlarwinScan, PausesAfterEachSectionByDefault) {
    ScanRun run;
    run.pacingScale = 1;
    ASSERT_TRUE(run.Run({10}));
    EXPECT_GE(run.elapsedMs, 90u);  // 100 to 2000 ms (tick resolution aside)
    EXPECT_LE(run.elapsedMs, 4000u);
}

TEST_F(KlarwinScan, ContextStepsOutsideAScan) {
    MessageRecorder recorder;
    CErrorListEx errors;
    SectionCounters counters;
    CRegistryItemListEx ignore;
    CRegistryItem hidden;
    hidden.RootKey = HKEY_LOCAL_MACHINE;
    hidden.SubKey = L"K";
    ignore.Add(hidden);
    ScanSetup setup;
    setup.errors = &errors;
    setup.counters = &counters;
    setup.ignoreList = &ignore;
    setup.notifyWindow = recorder.Window();
    ScanContext ctx(setup);
    ctx.section = 3;
    ctx.ordinal = 2;

    CError e;
    e.Item = hidden;
    AddScanError(ctx, e);  // not running: nothing
    EXPECT_EQ(errors.GetSize(), 0);
    ctx.running = true;
    AddScanError(ctx, e);  // ignored
    EXPECT_EQ(errors.GetSize(), 0);
    AddScanError(ctx, e, false);  // without the ignore test
    ASSERT_EQ(errors.GetSize(), 1);
    EXPECT_EQ(errors[0].Section, 3);
    EXPECT_EQ(counters[3].Found, 1);
    recorder.Drain();
    EXPECT_EQ(Describe(recorder.Messages()), "error(3,2) ");

    // Later findings wait for their interval (a long one here), then come in
    // order, each with its message, before the next section message; a stop
    // drops what still waits.
    ctx.progressIntervalMs = 60000;
    e.Item.ValueName = L"second";
    AddScanError(ctx, e, false);
    e.Item.ValueName = L"third";
    AddScanError(ctx, e, false);
    PostScanProgress(ctx, L"not due");
    EXPECT_EQ(errors.GetSize(), 1);
    EXPECT_EQ(counters[3].Found, 1);
    EXPECT_TRUE(PostScanMessage(ctx, WM_SCAN_SECTION_END, 3, 2));
    ASSERT_EQ(errors.GetSize(), 3);
    EXPECT_EQ(errors[2].Item.ValueName, L"third");
    EXPECT_EQ(counters[3].Found, 3);
    recorder.Drain();
    EXPECT_EQ(Describe(recorder.WithoutProgress()), "error(3,2) error(3,2) error(3,2) end(3,2) ");
    AddScanError(ctx, e, false);
    ctx.running = false;
    EXPECT_FALSE(PostScanMessage(ctx, WM_SCAN_COMPLETE, 0, 0));
    EXPECT_EQ(errors.GetSize(), 3);
    EXPECT_EQ(counters[3].Found, 3);
    ctx.running = true;

    // A window that is gone: the post fails at once, nothing waits.
    MessageRecorder* gone = new MessageRecorder;
    ctx.notifyWindow = gone->Window();
    delete gone;
    EXPECT_FALSE(PostScanMessage(ctx, WM_SCAN_COMPLETE, 0, 0));
    PostScanProgress(ctx, L"x");  // its string is freed again
    ctx.notifyWindow = nullptr;
    EXPECT_FALSE(PostScanMessage(ctx, WM_SCAN_COMPLETE, 0, 0));
}
