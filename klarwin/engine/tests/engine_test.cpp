// The engine facade: settings, last-scan date, unresolved errors, version
// resource, scheduled scan, start-up items, system report and HTML report
// files, on the real registry, Task Scheduler and files of the test prefix.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine_test_support.h"
#include "fw/strutil.h"
#include "fw/textfile.h"
#include "fw/win/com.h"
#include "fw/win/registry.h"
#include "klarwin/version_info.h"

using namespace enginetest;

namespace {

CError MakeError(int section, const std::wstring& subKey) {
    CError e;
    e.ErrorType = section == kSectionShortcuts ? kErrorFile : kErrorValue;
    e.Section = section;
    e.Reason = L"reason";
    e.Title = L"title";
    e.Item.RootName = L"HKEY_LOCAL_MACHINE";
    e.Item.RootKey = RootKeyFromName(e.Item.RootName);
    e.Item.SubKey = subKey;
    return e;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(KlarwinEngine, SingletonLivesWithTheEngine) {
    EXPECT_EQ(CSingleton<CBriskoEngine>::GetInstance(), nullptr);
    {
        EngineRun run;
        EXPECT_EQ(CSingleton<CBriskoEngine>::GetInstance(), run.engine.get());
    }
    EXPECT_EQ(CSingleton<CBriskoEngine>::GetInstance(), nullptr);
}

TEST(KlarwinEngine, SettingsAndLastScanDate) {
    SavedValue last(HKEY_LOCAL_MACHINE, kSettingsKey, L"LastScanDate");
    SavedValue flag(HKEY_LOCAL_MACHINE, kSettingsKey, L"StartScanAtProgramStartup");
    CRegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSettingsKey, KEY_WRITE) == ERROR_SUCCESS) {
        key.DeleteValue(L"LastScanDate");
        key.DeleteValue(L"StartScanAtProgramStartup");
    }
    EngineRun run;
    EXPECT_TRUE(run.engine->GetLastScanDate() == L"Not scanned yet");
    EXPECT_TRUE(run.engine->ReadSetting(L"StartScanAtProgramStartup").empty());
    ASSERT_TRUE(run.engine->WriteSetting(L"StartScanAtProgramStartup", L"true"));
    EXPECT_TRUE(run.engine->ReadSetting(L"StartScanAtProgramStartup") == L"true");
    DWORD type = 0;
    std::wstring text;
    DWORD number;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kSettingsKey, L"StartScanAtProgramStartup", type, text, number));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    // A scan of nothing still records its date.
    ASSERT_TRUE(run.Scan({}));
    std::wstring today = FormatLastScanDate(CurrentLocalTime());
    EXPECT_TRUE(run.engine->GetLastScanDate() == today);
    EXPECT_TRUE(run.engine->ReadSetting(L"LastScanDate") == today);
    EXPECT_EQ(run.recorder.Messages().back().message, WM_SCAN_COMPLETE);
    EngineRun later;
    EXPECT_TRUE(later.engine->GetLastScanDate() == today);
}

TEST(KlarwinEngine, StartWithWindows) {
    SavedValue setting(HKEY_LOCAL_MACHINE, kSettingsKey, L"StartWithWindows");
    SavedValue run(HKEY_LOCAL_MACHINE, kRunKeyPath, kRunValueName);
    EngineRun e;
    e.engine->SetStartWithWindows(true);
    EXPECT_TRUE(e.engine->ReadSetting(L"StartWithWindows") == L"true");
    EXPECT_TRUE(e.engine->ReadRunEntry(kRunKeyPath) == e.engine->GetProgramPath());
    e.engine->SetStartWithWindows(false);
    EXPECT_TRUE(e.engine->ReadSetting(L"StartWithWindows") == L"false");
    EXPECT_TRUE(e.engine->ReadRunEntry(kRunKeyPath).empty());
    // Off again with no Run value: only the setting is written.
    e.engine->SetStartWithWindows(false);
    EXPECT_TRUE(e.engine->ReadSetting(L"StartWithWindows") == L"false");
}

TEST(KlarwinEngine, UnresolvedErrorsRebuildTheFoundCounters) {
    EngineRun run;
    run.engine->LoadUnresolvedErrors();  // no file yet
    EXPECT_EQ(run.engine->GetErrorList().GetSize(), 0);
    EXPECT_EQ(run.engine->GetTotalErrorCount(), 0);

    CErrorListEx list;
    list.Add(MakeError(2, L"a"));
    list.Add(MakeError(11, L""));
    list.Add(MakeError(2, L"b"));
    ASSERT_TRUE(run.engine->SaveUnresolvedErrors(list));
    run.engine->GetCounters()[3].Repaired = 7;
    run.engine->LoadUnresolvedErrors();
    ASSERT_EQ(run.engine->GetErrorList().GetSize(), 3);
    EXPECT_TRUE(run.engine->GetSectionFoundText(2) == L"2");
    EXPECT_TRUE(run.engine->GetSectionFoundText(11) == L"1");
    EXPECT_TRUE(run.engine->GetTotalFoundText() == L"3");
    EXPECT_TRUE(run.engine->GetTotalRepairedText() == L"0");
    EXPECT_EQ(run.engine->GetTotalErrorCount(), 3);

    CErrorListEx two = run.engine->GetSectionErrors(2);
    ASSERT_EQ(two.GetSize(), 2);
    EXPECT_TRUE(two[0].Item.SubKey == L"a" && two[1].Item.SubKey == L"b");
    EXPECT_EQ(run.engine->GetSectionErrors(5).GetSize(), 0);
    EXPECT_TRUE(run.engine->GetSectionName(0) == L"ActiveX / OLE");
    EXPECT_TRUE(run.engine->GetSectionName(12).empty());
}

TEST(KlarwinEngine, VersionResourceOfTheProgramFile) {
    EngineRun run;
    // The test program carries a version resource with two translations; the
    // last one is read.
    EXPECT_TRUE(run.engine->GetProductVersion() == L"3.0.5");
    EXPECT_TRUE(run.engine->GetReleaseDate() == L"08-12-2026");
    CVersionInfo info(run.engine->GetProgramPath());
    EXPECT_TRUE(info.GetPrefix() == L"\\StringFileInfo\\040904b0\\");
    EXPECT_TRUE(info.GetString(L"NoSuchString").empty());
    CVersionInfo none(run.folder.File(L"plain.txt"));
    EXPECT_TRUE(none.GetString(L"ProductVersion") == L"<no version info found>");
}

// The child side of the schedule test: prints what a new process reads.
TEST(KlarwinSchedule, DISABLED_ReadInChildProcess) {
    const char* out = std::getenv("KLARWIN_SCHEDULE_OUT");
    ASSERT_NE(out, nullptr);
    EngineRun run;
    ScanSchedule s;
    bool exists = run.engine->GetScanSchedule(s);
    std::ofstream file(out);
    file << exists << ' ' << s.HasTrigger << ' ' << s.TriggerType << ' ' << s.Hour << ' ' << s.Minute << ' '
         << s.DaysOfWeek;
}

namespace {

std::string ReadScheduleInNewProcess(const std::wstring& folder) {
    std::wstring out = folder + L"\\schedule.txt";
    DeleteFileW(out.c_str());
    SetEnvironmentVariableW(L"KLARWIN_SCHEDULE_OUT", out.c_str());
    std::wstring command = L"\"" + ProgramFilePath() +
                           L"\" --gtest_filter=KlarwinSchedule.DISABLED_ReadInChildProcess "
                           L"--gtest_also_run_disabled_tests";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return "no process";
    WaitForSingleObject(pi.hProcess, 120000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ReadBytes(out);
}

}  // namespace

TEST(KlarwinSchedule, WrittenThroughTheTaskSchedulerAndReadBack) {
    EngineRun run;
    CComInit com;
    ScanSchedule before;
    bool existed = ReadScanSchedule(L"Klarwin", before) && before.Exists;

    ASSERT_TRUE(run.engine->SetScanSchedule(kScheduleDaily, 14, 30, 0));
    EXPECT_EQ(ReadScheduleInNewProcess(run.folder.Path()), "1 1 1 14 30 0");

    ASSERT_TRUE(run.engine->SetScanSchedule(kScheduleWeekly, 9, 5, kScheduleMonday | kScheduleFriday));
    EXPECT_EQ(ReadScheduleInNewProcess(run.folder.Path()), "1 1 2 9 5 34");

    // None: the trigger goes, the task stays.
    ASSERT_TRUE(run.engine->SetScanSchedule(kScheduleNone, 0, 0, 0));
    EXPECT_EQ(ReadScheduleInNewProcess(run.folder.Path()), "1 0 0 0 0 0");
    ScanSchedule s;
    EXPECT_TRUE(run.engine->GetScanSchedule(s));

    if (!existed) {
        EXPECT_TRUE(DeleteScanTask(L"Klarwin"));
        EXPECT_FALSE(run.engine->GetScanSchedule(s));
    }
}

TEST(KlarwinStartup, UserEntriesComeBeforeTheMachines) {
    const std::wstring name = scantest::UniqueName(L"KlarwinStartupTest");
    scantest::RegistryFixture fixture;
    ASSERT_TRUE(fixture.SetString(HKEY_LOCAL_MACHINE, kRunKeyPath, name + L"-m", L"C:\\machine.exe"));
    ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, kRunKeyPath, name + L"-u", L"C:\\user.exe -x"));
    // Not text: read as UTF-16 up to the first NUL.
    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kRunKeyPath, KEY_WRITE), ERROR_SUCCESS);
    const BYTE binary[] = {'h', 0, 'i', 0, 0, 0, 'x', 0};
    ASSERT_EQ(key.SetValue((name + L"-b").c_str(), REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    // Over the data limit: left out.
    std::wstring big(600, L'z');
    ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, kRunKeyPath, name + L"-big", big));

    EngineRun run;
    CRegistryItemListEx items = run.engine->GetStartupItems();
    key.DeleteValue((name + L"-b").c_str());
    int user = -1, machine = -1, binaryAt = -1;
    for (int i = 0; i < items.GetSize(); ++i) {
        const CRegistryItem& item = items[i];
        if (item.ValueName == name + L"-u") user = i;
        if (item.ValueName == name + L"-m") machine = i;
        if (item.ValueName == name + L"-b") binaryAt = i;
        EXPECT_FALSE(item.ValueName == name + L"-big");
        EXPECT_EQ(item.ValueType, 0);
        EXPECT_TRUE(item.SubKey == kRunKeyPath);
    }
    ASSERT_GE(user, 0);
    ASSERT_GE(machine, 0);
    ASSERT_GE(binaryAt, 0);
    EXPECT_LT(user, machine);
    EXPECT_TRUE(items[user].RootName == L"HKEY_CURRENT_USER");
    EXPECT_TRUE(items[user].ValueData == L"C:\\user.exe -x");
    EXPECT_TRUE(items[machine].RootName == L"HKEY_LOCAL_MACHINE");
    EXPECT_TRUE(items[binaryAt].ValueData == L"hi");

    EXPECT_TRUE(run.engine->DeleteRegistryValue(HKEY_CURRENT_USER, kRunKeyPath, name + L"-u"));
    DWORD type;
    std::wstring text;
    DWORD number;
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKeyPath, name + L"-u", type, text, number));
}

TEST(KlarwinSystemReport, SectionsInOrderWithDigests) {
    const std::wstring name = scantest::UniqueName(L"KlarwinReport");
    scantest::RegistryFixture fixture;
    ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, kRunKeyPath, name, L"C:\\a<b>.exe"));
    std::wstring text, html;
    EngineRun run;
    run.engine->BuildSystemReport(text, html);

    auto order = [](const std::wstring& s, std::initializer_list<const wchar_t*> titles) {
        std::size_t at = 0;
        for (const wchar_t* t : titles) {
            std::size_t found = s.find(t, at);
            if (found == std::wstring::npos) return false;
            at = found + 1;
        }
        return true;
    };
    EXPECT_TRUE(text.rfind(L"\r\nRunning Processes\r\n", 0) == 0);
    EXPECT_TRUE(order(text, {L"\r\nRunning Processes\r\n", L"\r\nHKEY_LOCAL_MACHINE\r\n", L"\r\nHKEY_CURRENT_USER\r\n",
                             L"\r\nBHO Items\r\n"}));
    EXPECT_TRUE(order(html, {L"\r\n<b>Running Processes</b>\r\n",
                             L"\r\n<b>Startup registry items (LOCAL MACHINE)</b>\r\n",
                             L"\r\n<b>Startup registry items (CURRENT USER)</b>\r\n", L"\r\n<b>BHO Items</b>\r\n"}));
    EXPECT_NE(text.find(L"ValueName= [" + name + L"], C:\\a<b>.exe\r\n"), std::wstring::npos);
    EXPECT_NE(html.find(L"<b>[" + name + L"]</b>, C:\\a&lt;b&gt;.exe\r\n"), std::wstring::npos);

    // This test program is running: its path, size and digest are listed.
    std::wstring self = ProgramFilePath();
    std::string bytes = ReadBytes(self);
    std::wstring line = self + fw::Format(L", %lld, ", static_cast<long long>(bytes.size())) +
                        CMD5::OfBytes(bytes.data(), bytes.size()) + L"\r\n";
    EXPECT_NE(html.find(line), std::wstring::npos);
    EXPECT_NE(text.find(self + L"\r\n"), std::wstring::npos);

    // Without helper objects the section is its title alone.
    SystemReportData data;
    FormatSystemReport(data, text, html);
    EXPECT_TRUE(html == L"\r\n<b>Running Processes</b>\r\n\r\n<b>Startup registry items (LOCAL MACHINE)</b>\r\n"
                        L"\r\n<b>Startup registry items (CURRENT USER)</b>\r\n\r\n<b>BHO Items</b>\r\n");
    EXPECT_TRUE(text == L"\r\nRunning Processes\r\n\r\nHKEY_LOCAL_MACHINE\r\n\r\nHKEY_CURRENT_USER\r\n\r\nBHO Items\r\n");
}

TEST(KlarwinSystemReport, ProcessListHasEveryRunningCopy) {
    // Two more processes of the same program: each is listed.
    std::wstring notepad = ExpandEnvironment(L"%SystemRoot%\\system32\\notepad.exe");
    std::vector<PROCESS_INFORMATION> started;
    for (int i = 0; i < 2; ++i) {
        std::wstring command = L"\"" + notepad + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            started.push_back(pi);
    }
    if (started.size() != 2) GTEST_SKIP() << "notepad could not be started";
    for (PROCESS_INFORMATION& pi : started) WaitForInputIdle(pi.hProcess, 5000);
    std::vector<std::wstring> paths = GetRunningProcessPaths();
    int count = 0;
    for (const std::wstring& p : paths)
        if (fw::EqualsNoCase(p, notepad)) ++count;
    for (PROCESS_INFORMATION& pi : started) {
        TerminateProcess(pi.hProcess, 0);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    EXPECT_GE(count, 2);
}

TEST(KlarwinSystemReport, Md5OfTheRfcVectors) {
    const std::pair<const char*, const wchar_t*> vectors[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"a", L"0cc175b9c0f1b6a831c399e269772661"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", L"d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         L"57edf4a22be3c955ac49da2e2107b67a"},
    };
    scantest::TempFolder folder(std::filesystem::temp_directory_path().wstring());
    for (const auto& v : vectors) {
        EXPECT_TRUE(CMD5::OfBytes(v.first, strlen(v.first)) == v.second) << v.first;
        std::wstring file = folder.File(L"v.bin", v.first);
        EXPECT_TRUE(CMD5::OfFile(file) == v.second) << v.first;
    }
    // More than one read buffer.
    std::string big(200000, 'a');
    std::wstring file = folder.Path() + L"\\big.bin";
    std::ofstream(std::filesystem::path(file), std::ios::binary) << big;
    EXPECT_TRUE(CMD5::OfFile(file) == CMD5::OfBytes(big.data(), big.size()));
    EXPECT_TRUE(CMD5::OfFile(folder.Path() + L"\\missing.bin").empty());
}

TEST(KlarwinHtmlReport, FilesInTheReportsFolder) {
    EngineRun run;
    std::wstring folder, file;
    // The reports folder is not made by the engine.
    EXPECT_FALSE(run.engine->CreateHtmlReport(folder, file));
    ASSERT_TRUE(EnsureFolder(run.ReportsFolder()));

    CError e = MakeError(2, L"Software\\<script>alert('x')</script>");
    e.Reason = L"a & b";
    run.engine->GetErrorList().Add(e);
    ASSERT_TRUE(run.engine->CreateHtmlReport(folder, file));
    EXPECT_TRUE(folder == run.folder.Path());
    EXPECT_TRUE(file.rfind(run.ReportsFolder() + L"\\krw_305_", 0) == 0);
    std::string page = ReadBytes(file);
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.rfind("<!DOCTYPE html", 0), 0u);  // UTF-8 without byte-order mark
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("a &amp; b"), std::string::npos);

    // More reports in the same second keep every earlier one.
    std::wstring second, third;
    ASSERT_TRUE(run.engine->CreateHtmlReport(folder, second));
    ASSERT_TRUE(run.engine->CreateHtmlReport(folder, third));
    EXPECT_TRUE(file != second && second != third && file != third);
    EXPECT_TRUE(FileExists(file) && FileExists(second) && FileExists(third));

    HtmlReportHeader header;
    header.Version = L"1.2";
    header.ScanDate = LocalTime{2026, 12, 8, 3, 45, 13};
    std::wstring a, b;
    ASSERT_TRUE(WriteHtmlReportFile(run.ReportsFolder(), header, run.engine->GetErrorList(), a));
    ASSERT_TRUE(WriteHtmlReportFile(run.ReportsFolder(), header, run.engine->GetErrorList(), b));
    EXPECT_TRUE(a == run.ReportsFolder() + L"\\krw_12_20261208_034513.html");
    EXPECT_TRUE(b == run.ReportsFolder() + L"\\krw_12_20261208_034513_2.html");
    EXPECT_EQ(ReadBytes(a), fw::ToUtf8(BuildHtmlReport(header, run.engine->GetErrorList())));
}

TEST(KlarwinEngine, ThreadsEndBeforeTheEngineGoes) {
    scantest::RegistryFixture fixture;
    const std::wstring key = L"Software\\" + scantest::UniqueName(L"KlarwinEnd");
    HANDLE thread = nullptr;
    {
        EngineRun run;
        run.engine->SetPacingScale(1.0);
        // A repair is refused while a scan fills the list.
        const bool emptyKeys[kSectionCount] = {false, false, false, false, false, false, false, true};
        ASSERT_TRUE(run.engine->StartScan(emptyKeys));
        EXPECT_FALSE(run.engine->StartRepair(5));
        EXPECT_EQ(run.engine->GetRepairThread(), nullptr);
        run.engine->StopScan();

        run.engine->GetErrorList().RemoveAll();
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, key, fw::Format(L"v%d", i), L"x"));
            CError e = MakeError(2, key);
            e.Item.RootKey = reinterpret_cast<RootKeyHandle>(HKEY_CURRENT_USER);
            e.Item.RootName = L"HKEY_CURRENT_USER";
            e.Item.ValueName = fw::Format(L"v%d", i);
            run.engine->GetErrorList().Add(e);
        }
        ASSERT_TRUE(run.engine->StartRepair(5));
        // A second repair is refused while the first runs, and so is a scan:
        // the list the repair works on stays as it is.
        EXPECT_FALSE(run.engine->StartRepair(5));
        EXPECT_FALSE(run.engine->StartScan(emptyKeys));
        EXPECT_EQ(run.engine->GetScanThread(), nullptr);
        EXPECT_EQ(run.engine->GetErrorList().GetSize(), 5);
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), run.engine->GetRepairThread()->m_hThread,
                                    GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0));
    }
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
}
