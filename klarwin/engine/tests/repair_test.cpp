// The repair thread, its backups and their restore, through the engine, on
// real registry values and files of the test prefix.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "engine_test_support.h"
#include "fw/strutil.h"
#include "fw/textfile.h"
#include "fw/win/registry.h"
#include "klarwin/backup_files.h"
#include "klarwin/record_format.h"

using namespace enginetest;

namespace {

const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

CError ValueError(int section, HKEY root, const std::wstring& subKey, const std::wstring& name, int type = 1,
                  const std::wstring& data = L"") {
    CError e;
    e.ErrorType = kErrorValue;
    e.Section = section;
    e.Title = L"The file is missing or invalid.";
    e.Protected = GetScanSectionInfo(section)->Protected;
    e.Item.ValueType = type;
    e.Item.RootKey = reinterpret_cast<RootKeyHandle>(root);
    e.Item.RootName = RootNameFromKey(e.Item.RootKey);
    e.Item.SubKey = subKey;
    e.Item.ValueName = name;
    e.Item.ValueData = data;
    return e;
}

// Random UTF-16 text with what the record files treat specially.
std::wstring RandomText(std::mt19937& rng, std::size_t length) {
    static const std::wstring pieces[] = {L"::", L";;\r\n", L":", L";", L"\r\n", std::wstring(1, kEscapeMarker),
                                          L"ValueName=", L"ValueData=", L"\x00e4\x00df", L"\x4e2d\x6587",
                                          L"\xd83d\xde00", L"\\", L"%SystemRoot%", L"<&>"};
    std::wstring out;
    while (out.size() < length) {
        unsigned pick = rng() % 4;
        if (pick == 0) {
            out += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        } else if (pick == 1) {
            wchar_t c = static_cast<wchar_t>(0x00A0 + rng() % 0xD000);  // below the surrogates
            out += c;
        } else {
            out += static_cast<wchar_t>(0x20 + rng() % 0x5F);
        }
    }
    if (out.size() > length && length > 0) {
        out.resize(length);
        // Never end in half a surrogate pair.
        if (out.back() >= 0xD800 && out.back() <= 0xDBFF) out.back() = L'x';
    }
    return out;
}

struct ValueSpec {
    std::wstring name;
    DWORD type;
    std::wstring text;
    DWORD number = 0;
};

}  // namespace

// Values with random names and data survive repair -> backup -> restore with
// their exact data and type.
TEST(KlarwinRepair, RoundTripRestoresExactDataAndType) {
    EngineRun run;
    scantest::RegistryFixture fixture;
    const std::wstring key = L"Software\\" + scantest::UniqueName(L"KlarwinRepairTest");
    ASSERT_TRUE(fixture.CreateKey(HKEY_CURRENT_USER, key));

    std::mt19937 rng(20261208);
    std::vector<ValueSpec> specs;
    specs.push_back({L"", REG_SZ, L"default value", 0});
    specs.push_back({L"empty", REG_SZ, L"", 0});
    specs.push_back({L"long", REG_SZ, RandomText(rng, 1000), 0});
    specs.push_back({L"ValueName=lead", REG_EXPAND_SZ, L"%SystemRoot%\\system32\\x.exe", 0});
    specs.push_back({L"dword", REG_DWORD, L"", 5});
    specs.push_back({L"dword-high", REG_DWORD, L"", 0xFFFFFFF0u});
    for (int i = 0; i < 30; ++i) {
        ValueSpec s;
        s.name = RandomText(rng, rng() % 40) + fw::Format(L"#%d", i);
        s.type = i % 3 == 0 ? REG_DWORD : (i % 3 == 1 ? REG_SZ : REG_EXPAND_SZ);
        if (s.type == REG_DWORD)
            s.number = rng();
        else
            s.text = RandomText(rng, rng() % 200);
        specs.push_back(s);
    }

    CErrorListEx& errors = run.engine->GetErrorList();
    for (const ValueSpec& s : specs) {
        if (s.type == REG_DWORD)
            ASSERT_TRUE(fixture.SetDword(HKEY_CURRENT_USER, key, s.name, s.number));
        else
            ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, key, s.name, s.text, s.type));
        // What the scan had read is older than the registry: the backup must
        // hold what is there at repair time.
        errors.Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, key, s.name, 1, L"stale"));
    }

    ASSERT_TRUE(run.Repair(static_cast<int>(specs.size())));
    for (const ValueSpec& s : specs) {
        DWORD type;
        std::wstring text;
        DWORD number;
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, key, s.name, type, text, number)) << scantest::Narrow(s.name);
    }
    EXPECT_EQ(run.engine->GetCounters()[kSectionSoundFiles].Repaired, static_cast<int>(specs.size()));

    std::vector<std::wstring> files = run.BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    ASSERT_TRUE(run.engine->RestoreBackup(run.BackupFolder() + L"\\" + files[0]));
    for (const ValueSpec& s : specs) {
        DWORD type = 0;
        std::wstring text;
        DWORD number = 0;
        ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, key, s.name, type, text, number)) << scantest::Narrow(s.name);
        EXPECT_EQ(type, s.type) << scantest::Narrow(s.name);
        if (s.type == REG_DWORD)
            EXPECT_EQ(number, s.number);
        else
            EXPECT_TRUE(text == s.text) << scantest::Narrow(s.name);
    }
}

// A protected error keeps its value, is ignored by the next scan, and a
// restore makes the scan report it again.
TEST(KlarwinRepair, ProtectedErrorIsIgnoredUntilRestore) {
    EngineRun run;
    scantest::RegistryFixture fixture;
    const std::wstring sub = std::wstring(kAppPaths) + L"\\" + scantest::UniqueName(L"KlarwinProt");
    const std::wstring missing = L"C:\\klarwin-missing-folder\\gone.exe";
    ASSERT_TRUE(fixture.SetString(HKEY_LOCAL_MACHINE, sub, L"Path", missing));

    ASSERT_TRUE(run.Scan({kSectionAppPaths}));
    std::vector<CError> found = scantest::ErrorsWith(run.engine->GetErrorList(), sub);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].Protected);
    CErrorListEx& errors = run.engine->GetErrorList();
    errors.RemoveAll();
    errors.Add(found[0]);

    ASSERT_TRUE(run.Repair(1));
    DWORD type;
    std::wstring text;
    DWORD number;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, sub, L"Path", type, text, number));
    EXPECT_TRUE(text == missing);

    const std::wstring ignoreFile = run.engine->GetIgnoreFilePath();
    CArray<CRegistryItem> ignored;
    ASSERT_EQ(LoadIgnoreFile(std::filesystem::path(ignoreFile), ignored), RecordFileResult::Ok);
    EXPECT_TRUE(IsItemInList(ignored, found[0].Item));

    std::vector<std::wstring> files = run.BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::wstring backup = run.BackupFolder() + L"\\" + files[0];
    CArray<BackupRecord> records;
    ReadBackupRecords(ReadFileText(backup), records);
    ASSERT_EQ(records.GetSize(), 1);
    EXPECT_EQ(records[0].Kind, 1);
    EXPECT_TRUE(records[0].Item.SubKey == sub);

    ASSERT_TRUE(run.Scan({kSectionAppPaths}));
    EXPECT_TRUE(scantest::ErrorsWith(run.engine->GetErrorList(), sub).empty());

    ASSERT_TRUE(run.engine->RestoreBackup(backup));
    EXPECT_FALSE(FileExists(ignoreFile));
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, sub, L"Path", type, text, number));
    EXPECT_TRUE(text == missing);
    ASSERT_TRUE(run.Scan({kSectionAppPaths}));
    EXPECT_EQ(scantest::ErrorsWith(run.engine->GetErrorList(), sub).size(), 1u);
}

// An error reloaded from the unresolved list has no protected flag of its own;
// its section still protects it.
TEST(KlarwinRepair, ReloadedErrorOfProtectedSectionStaysProtected) {
    EngineRun run;
    scantest::RegistryFixture fixture;
    const std::wstring sub = std::wstring(kAppPaths) + L"\\" + scantest::UniqueName(L"KlarwinReload");
    ASSERT_TRUE(fixture.SetString(HKEY_LOCAL_MACHINE, sub, L"Path", L"C:\\nowhere\\x.exe"));
    CErrorListEx list;
    list.Add(ValueError(kSectionAppPaths, HKEY_LOCAL_MACHINE, sub, L"Path"));
    ASSERT_TRUE(run.engine->SaveUnresolvedErrors(list));
    run.engine->LoadUnresolvedErrors();
    ASSERT_EQ(run.engine->GetErrorList().GetSize(), 1);
    EXPECT_FALSE(run.engine->GetErrorList()[0].Protected);
    ASSERT_TRUE(run.Repair(1));
    DWORD type;
    std::wstring text;
    DWORD number;
    EXPECT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, sub, L"Path", type, text, number));
}

TEST(KlarwinRepair, CountZeroAndCountBeyondTheList) {
    EngineRun run;
    scantest::RegistryFixture fixture;
    const std::wstring key = L"Software\\" + scantest::UniqueName(L"KlarwinCount");
    ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, key, L"a", L"1"));
    ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, key, L"b", L"2"));
    run.engine->GetErrorList().Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, key, L"a"));
    run.engine->GetErrorList().Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, key, L"b"));

    ASSERT_TRUE(run.Repair(0));
    std::vector<Message> m = run.recorder.Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, WM_REPAIR_START);
    EXPECT_EQ(m[0].wParam, 0u);
    EXPECT_EQ(m[1].message, WM_REPAIR_DONE);
    std::vector<std::wstring> files = run.BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(ReadFileText(run.BackupFolder() + L"\\" + files[0]).empty());

    run.recorder.Clear();
    ASSERT_TRUE(run.Repair(10));
    EXPECT_EQ(run.recorder.Only(WM_REPAIR_START).at(0).wParam, 10u);
    std::vector<Message> items = run.recorder.Only(WM_REPAIR_ITEM);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].text == L"HKEY_CURRENT_USER\\" + key + L"\\a");
    std::vector<Message> progress = run.recorder.Only(WM_REPAIR_PROGRESS);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[1].wParam, 2u);
    EXPECT_EQ(run.recorder.Messages().back().message, WM_REPAIR_DONE);
    // The second repair of the same minute has a backup of its own.
    files = run.BackupFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(run.engine->GetCounters()[kSectionSoundFiles].Repaired, 2);
}

TEST(KlarwinRepair, ShortcutErrorDeletesTheFileWithoutBackupLine) {
    EngineRun run;
    std::wstring link = run.folder.File(L"links\\broken.lnk", "not really a link");
    CError e;
    e.ErrorType = kErrorFile;
    e.Section = kSectionShortcuts;
    e.FilePath = link;
    e.Item.RootKey = reinterpret_cast<RootKeyHandle>(HKEY_CURRENT_USER);
    e.Item.RootName = L"HKEY_CURRENT_USER";
    run.engine->GetErrorList().Add(e);
    ASSERT_TRUE(run.Repair(1));
    EXPECT_FALSE(FileExists(link));
    std::vector<Message> items = run.recorder.Only(WM_REPAIR_ITEM);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0].text == link);
    std::vector<std::wstring> files = run.BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(ReadFileText(run.BackupFolder() + L"\\" + files[0]).empty());
}

TEST(KlarwinRepair, StopHalfWay) {
    EngineRun run;
    run.engine->SetPacingScale(1.0);
    scantest::RegistryFixture fixture;
    const std::wstring key = L"Software\\" + scantest::UniqueName(L"KlarwinStop");
    for (int i = 0; i < 6; ++i) {
        std::wstring name = fw::Format(L"v%d", i);
        ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, key, name, L"x"));
        run.engine->GetErrorList().Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, key, name));
    }
    ASSERT_TRUE(run.engine->StartRepair(6));
    ASSERT_TRUE(run.recorder.PumpUntil(WM_REPAIR_PROGRESS));
    run.engine->StopRepair();
    EXPECT_EQ(run.engine->GetRepairThread(), nullptr);
    run.recorder.Drain();
    int repaired = run.engine->GetCounters()[kSectionSoundFiles].Repaired;
    EXPECT_GE(repaired, 1);
    EXPECT_LT(repaired, 6);
    int remaining = 0;
    for (int i = 0; i < 6; ++i) {
        DWORD type;
        std::wstring text;
        DWORD number;
        if (ReadValue(HKEY_CURRENT_USER, key, fw::Format(L"v%d", i), type, text, number)) ++remaining;
    }
    EXPECT_EQ(remaining, 6 - repaired);
    std::vector<std::wstring> files = run.BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    CArray<BackupRecord> records;
    ReadBackupRecords(ReadFileText(run.BackupFolder() + L"\\" + files[0]), records);
    EXPECT_EQ(records.GetSize(), repaired);
}

TEST(KlarwinBackup, NamesOfTheSameMinuteNeverClash) {
    scantest::TempFolder folder(std::filesystem::temp_directory_path().wstring());
    const std::wstring backups = folder.Path() + L"\\nested\\backup";
    LocalTime t{2026, 12, 8, 3, 41, 5};
    std::wstring first = CreateBackupFile(backups, t);
    ASSERT_FALSE(first.empty());
    CRegistryItem item;
    item.RootName = L"HKEY_CURRENT_USER";
    item.SubKey = L"Software\\X";
    ASSERT_TRUE(AppendBackupLine(first, 1, item));
    std::wstring second = CreateBackupFile(backups, t);
    std::wstring third = CreateBackupFile(backups, t);
    EXPECT_TRUE(first == backups + L"\\20261208_0341.dat");
    EXPECT_TRUE(second == backups + L"\\20261208_0341_2.dat");
    EXPECT_TRUE(third == backups + L"\\20261208_0341_3.dat");
    EXPECT_FALSE(ReadFileText(first).empty());
    EXPECT_TRUE(ReadFileText(second).empty());
    EXPECT_TRUE(first < second && second < third);
    EXPECT_TRUE(third < backups + L"\\20261208_0342.dat");
}

TEST(KlarwinBackup, RestoreLinesAndFailures) {
    EngineRun run;
    scantest::RegistryFixture cleanup;
    const std::wstring key = L"Software\\" + scantest::UniqueName(L"KlarwinRestore");
    ASSERT_TRUE(cleanup.CreateKey(HKEY_CURRENT_USER, key));
    ASSERT_TRUE(EnsureFolder(run.DataFolder()));
    const std::wstring ignoreFile = run.engine->GetIgnoreFilePath();
    auto makeIgnoreFile = [&] {
        CArray<CRegistryItem> list;
        list.Add(CRegistryItem());
        ASSERT_EQ(SaveIgnoreFile(std::filesystem::path(ignoreFile), list), RecordFileResult::Ok);
    };

    // DWORD 5 in a subkey that does not exist yet; a key line; the last line
    // without its record end is not applied.
    std::wstring text = L"1::HKEY_CURRENT_USER::REG_DWORD::" + key + L"\\deep::ValueName=five::5::;;\r\n" +
                        L"2::HKEY_CURRENT_USER::REG_SZ::" + key + L"\\emptykey::ValueName=::::;;\r\n" +
                        L"1::HKEY_CURRENT_USER::REG_SZ::" + key + L"::ValueName=tail::x::";
    std::wstring file = run.folder.Path() + L"\\a.dat";
    ASSERT_TRUE(fw::WriteUtf16File(std::filesystem::path(file), text, false));
    makeIgnoreFile();
    EXPECT_TRUE(run.engine->RestoreBackup(file));
    DWORD type = 0;
    std::wstring s;
    DWORD number = 0;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, key + L"\\deep", L"five", type, s, number));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number, 5u);
    EXPECT_TRUE(CRegKey::KeyExists(HKEY_CURRENT_USER, (key + L"\\emptykey").c_str()));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, key, L"tail", type, s, number));
    EXPECT_FALSE(FileExists(ignoreFile));
    EXPECT_TRUE(FileExists(file));  // the engine keeps the backup

    // A short line ends the restore there and keeps the ignore list.
    text = L"1::HKEY_CURRENT_USER::REG_SZ::" + key + L"::ValueName=first::1::;;\r\n" + L"1::short::;;\r\n" +
           L"1::HKEY_CURRENT_USER::REG_SZ::" + key + L"::ValueName=after::2::;;\r\n";
    ASSERT_TRUE(fw::WriteUtf16File(std::filesystem::path(file), text, false));
    makeIgnoreFile();
    RestoreReport report;
    EXPECT_FALSE(run.engine->RestoreBackup(file, &report));
    EXPECT_EQ(report.Result, RestoreResult::Incomplete);
    EXPECT_TRUE(report.Damaged);
    EXPECT_EQ(report.Restored, 1);
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, key, L"first", type, s, number));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, key, L"after", type, s, number));
    EXPECT_TRUE(FileExists(ignoreFile));

    // A location that cannot be written is named; the others are restored.
    const std::wstring tooLong(300, L'k');
    text = L"1::HKEY_CURRENT_USER::REG_SZ::" + key + L"\\" + tooLong + L"::ValueName=x::1::;;\r\n" +
           L"1::HKEY_CURRENT_USER::REG_SZ::" + key + L"::ValueName=second::2::;;\r\n";
    ASSERT_TRUE(fw::WriteUtf16File(std::filesystem::path(file), text, false));
    EXPECT_FALSE(run.engine->RestoreBackup(file, &report));
    EXPECT_EQ(report.Result, RestoreResult::WriteFailed);
    EXPECT_FALSE(report.Damaged);
    EXPECT_EQ(report.Restored, 1);
    ASSERT_EQ(report.NotWritten.GetSize(), 1);
    EXPECT_TRUE(report.NotWritten[0] == L"HKEY_CURRENT_USER\\" + key + L"\\" + tooLong + L"\\x");
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, key, L"second", type, s, number));

    EXPECT_FALSE(run.engine->RestoreBackup(run.folder.Path() + L"\\missing.dat", &report));
    EXPECT_EQ(report.Result, RestoreResult::NotFound);
    CRegKey::DeleteTree(HKEY_CURRENT_USER, key.c_str());
}

TEST(KlarwinBackup, ListBackupsPostsEveryFile) {
    EngineRun run;
    EXPECT_EQ(run.engine->ListBackups(), 0);  // no folder yet
    LocalTime t{2026, 12, 8, 3, 41, 0};
    std::set<std::wstring> made;
    for (int i = 0; i < 3; ++i) made.insert(CreateBackupFile(run.BackupFolder(), t));
    run.folder.File(L"backup\\notes.txt");
    EXPECT_EQ(run.engine->ListBackups(), 3);
    run.recorder.Drain();
    std::set<std::wstring> posted;
    for (const Message& m : run.recorder.Only(WM_BACKUP_FOUND)) posted.insert(m.text);
    EXPECT_TRUE(posted == made);
}

// Without a backup file nothing is changed, nothing counts as repaired, and
// the end message says how many errors were left.
TEST(KlarwinRepair, NoBackupNothingRepaired) {
    scantest::TempFolder folder(std::filesystem::temp_directory_path().wstring());
    Recorder recorder;
    EngineOptions options;
    options.backupFolder = folder.File(L"a-file") + L"\\backup";  // below a file: cannot be made
    options.dataFolder = folder.Path() + L"\\data";
    options.notifyWindow = recorder.Window();
    options.pacingScale = 0;
    SavedValue ignoredCount(HKEY_LOCAL_MACHINE, kSettingsKey, L"IgnoredErrorsCount");
    CBriskoEngine engine(options);
    scantest::RegistryFixture fixture;
    const std::wstring key = L"Software\\" + scantest::UniqueName(L"KlarwinNoBackup");
    ASSERT_TRUE(fixture.SetString(HKEY_CURRENT_USER, key, L"v", L"kept"));
    engine.GetErrorList().Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, key, L"v"));
    CError link;
    link.ErrorType = kErrorFile;
    link.Section = kSectionShortcuts;
    link.FilePath = folder.File(L"broken.lnk");
    engine.GetErrorList().Add(link);
    ASSERT_TRUE(engine.StartRepair(2));
    ASSERT_TRUE(recorder.PumpUntilEnded(engine.GetRepairThread()->m_hThread));
    EXPECT_TRUE(engine.GetRepairThread()->GetBackupPath().empty());
    DWORD type;
    std::wstring text;
    DWORD number;
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, key, L"v", type, text, number));
    EXPECT_TRUE(FileExists(link.FilePath));
    EXPECT_EQ(engine.GetCounters().TotalRepaired(), 0);
    EXPECT_TRUE(recorder.Only(WM_REPAIR_ITEM).empty());
    ASSERT_EQ(recorder.Messages().back().message, WM_REPAIR_DONE);
    EXPECT_EQ(recorder.Messages().back().wParam, 2u);
}

// Key errors, values a backup cannot hold, and locations already gone when
// the repair comes: an empty key is removed; a key with subkeys stays and is
// left unrepaired, as is a binary value (named as unreadable); a protected
// key, and a protected value of a kind a backup cannot hold, go on the ignore
// list; a key or value already gone counts as repaired and is not recorded,
// so a restore never creates it. What was left joins the unresolved errors.
TEST(KlarwinRepair, KeyErrorsAndLocationsAlreadyGone) {
    EngineRun run;
    scantest::RegistryFixture fixture;
    const std::wstring base = L"Software\\" + scantest::UniqueName(L"KlarwinKeys");
    ASSERT_TRUE(fixture.CreateKey(HKEY_CURRENT_USER, base + L"\\Empty"));
    ASSERT_TRUE(fixture.CreateKey(HKEY_CURRENT_USER, base + L"\\Parent\\Child"));
    ASSERT_TRUE(fixture.CreateKey(HKEY_CURRENT_USER, base + L"\\Protected"));
    auto keyError = [&](int section, const std::wstring& subKey) {
        CError e = ValueError(section, HKEY_CURRENT_USER, subKey, L"", 0);
        e.ErrorType = kErrorKey;
        return e;
    };
    CErrorListEx& errors = run.engine->GetErrorList();
    errors.Add(keyError(kSectionEmptyKeys, base + L"\\Empty"));
    errors.Add(keyError(kSectionEmptyKeys, base + L"\\Parent"));
    errors.Add(keyError(kSectionAppPaths, base + L"\\Protected"));
    errors.Add(keyError(kSectionEmptyKeys, base + L"\\Gone"));
    errors.Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, base, L"gone", 1, L"C:\\old.wav"));
    const BYTE bytes[] = {1, 2, 3};
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, base.c_str(), L"binary", REG_BINARY, bytes, sizeof bytes),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, base.c_str(), L"multi", REG_MULTI_SZ, L"a\0b\0", 6 * sizeof(wchar_t)),
              ERROR_SUCCESS);
    errors.Add(ValueError(kSectionSoundFiles, HKEY_CURRENT_USER, base, L"binary"));
    errors.Add(ValueError(kSectionAppPaths, HKEY_CURRENT_USER, base, L"multi"));
    ASSERT_TRUE(run.Repair(7));
    RepairReport done;
    EXPECT_EQ(run.engine->StopRepair(&done), 2);
    EXPECT_EQ(done.repaired, 5);
    ASSERT_EQ(done.notDeleted.GetSize(), 1);
    EXPECT_TRUE(done.notDeleted[0] == L"HKEY_CURRENT_USER\\" + base + L"\\Parent");
    ASSERT_EQ(done.unreadable.GetSize(), 1);
    EXPECT_TRUE(done.unreadable[0] == L"HKEY_CURRENT_USER\\" + base + L"\\binary");
    CErrorListEx kept;
    ASSERT_EQ(LoadErrorFile(std::filesystem::path(run.engine->GetUnresolvedFilePath()), kept), RecordFileResult::Ok);
    ASSERT_EQ(kept.GetSize(), 2);
    EXPECT_TRUE(kept[1].Item.ValueName == L"binary");
    EXPECT_TRUE(CRegKey::KeyExists(HKEY_CURRENT_USER, base.c_str()));

    EXPECT_FALSE(CRegKey::KeyExists(HKEY_CURRENT_USER, (base + L"\\Empty").c_str()));
    EXPECT_TRUE(CRegKey::KeyExists(HKEY_CURRENT_USER, (base + L"\\Parent\\Child").c_str()));
    EXPECT_TRUE(CRegKey::KeyExists(HKEY_CURRENT_USER, (base + L"\\Protected").c_str()));
    EXPECT_EQ(run.engine->GetCounters()[kSectionEmptyKeys].Repaired, 2);
    EXPECT_EQ(run.engine->GetCounters()[kSectionEmptyKeys].Ignored, 1);
    EXPECT_EQ(run.engine->GetCounters()[kSectionAppPaths].Repaired, 2);
    EXPECT_EQ(run.engine->GetCounters()[kSectionSoundFiles].Repaired, 1);
    EXPECT_EQ(run.recorder.Messages().back().wParam, 0u);  // nothing left for want of a backup
    CArray<CRegistryItem> ignored;
    ASSERT_EQ(LoadIgnoreFile(std::filesystem::path(run.engine->GetIgnoreFilePath()), ignored), RecordFileResult::Ok);
    ASSERT_EQ(ignored.GetSize(), 2);
    EXPECT_TRUE(ignored[0].SubKey == base + L"\\Protected");
    EXPECT_TRUE(ignored[1].ValueName == L"multi");

    std::vector<std::wstring> files = run.BackupFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::wstring backup = run.BackupFolder() + L"\\" + files[0];
    CArray<BackupRecord> records;
    ReadBackupRecords(ReadFileText(backup), records);
    ASSERT_EQ(records.GetSize(), 3);  // neither value that could not be read
    for (const BackupRecord& r : records) EXPECT_EQ(r.Kind, kErrorKey);
    EXPECT_TRUE(records[0].Item.SubKey == base + L"\\Empty");

    RestoreReport report;
    ASSERT_TRUE(run.engine->RestoreBackup(backup, &report));
    EXPECT_EQ(report.Restored, 3);
    EXPECT_TRUE(CRegKey::KeyExists(HKEY_CURRENT_USER, (base + L"\\Empty").c_str()));
    EXPECT_FALSE(CRegKey::KeyExists(HKEY_CURRENT_USER, (base + L"\\Gone").c_str()));
    DWORD type;
    std::wstring text;
    DWORD number;
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, base, L"gone", type, text, number));
    CRegKey::DeleteTree(HKEY_CURRENT_USER, base.c_str());
}
