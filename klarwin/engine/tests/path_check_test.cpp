// The path test and the shortcut test on real files of the prefix, and the
// folder search.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "klarwin/file_finder.h"
#include "klarwin/path_check.h"
#include "scan_test_support.h"

using namespace scantest;

namespace {

std::wstring TempRoot() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    std::wstring path(buffer, n);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring SystemRoot() { return ExpandEnvironment(L"%SystemRoot%"); }

}  // namespace

TEST(KlarwinPathCheck, ExpansionAndLookup) {
    TempFolder dir(TempRoot());
    std::wstring file = dir.File(L"present.exe");
    std::wstring folder = dir.Folder(L"sub.dir");

    EXPECT_EQ(LookUpPath(file), PathState::Exists);
    EXPECT_EQ(LookUpPath(folder), PathState::Exists);  // a folder counts too
    EXPECT_EQ(LookUpPath(dir.Path() + L"\\absent.exe"), PathState::Missing);
    EXPECT_EQ(LookUpPath(dir.Path() + L"\\no-folder\\absent.exe"), PathState::Missing);
    EXPECT_EQ(LookUpPath(dir.Path() + L"\\pres*.exe"), PathState::Exists);  // wildcards match as a search does
    EXPECT_EQ(LookUpPath(dir.Path() + L"\\abs?nt.exe"), PathState::Missing);
    EXPECT_EQ(LookUpPath(L""), PathState::Missing);
    // 260 characters or more are never looked up.
    std::wstring longPath = dir.Path() + L"\\" + std::wstring(300 - dir.Path().size(), L'a') + L".exe";
    EXPECT_EQ(LookUpPath(longPath), PathState::Missing);

    SetEnvironmentVariableW(L"KLARWIN_TEST_DIR", dir.Path().c_str());
    EXPECT_EQ(ExpandEnvironment(L"%KLARWIN_TEST_DIR%\\x"), dir.Path() + L"\\x");
    EXPECT_EQ(ExpandEnvironment(L"%KLARWIN_NO_SUCH_VAR%"), L"%KLARWIN_NO_SUCH_VAR%");
    EXPECT_EQ(ExpandEnvironment(L"%KLARWIN_TEST_DIR%" + std::wstring(2000, L'b')).size(), 1023u);
}

// The path test against files that are or are not there.
TEST(KlarwinPathCheck, CandidatesOnRealFiles) {
    TempFolder dir(TempRoot());
    const std::wstring& d = dir.Path();
    dir.File(L"present.exe");
    dir.File(L"Upper.EXE");
    dir.Folder(L"dotted.dir");
    dir.File(L"dotted.dir\\inner.exe");
    SetEnvironmentVariableW(L"KLARWIN_TEST_DIR", d.c_str());
    std::wstring root = SystemRoot();
    ASSERT_FALSE(root.empty());

    struct Case {
        std::wstring text;
        bool missing;
    } cases[] = {
        {d + L"\\present.exe", false},
        {d + L"\\absent.exe", true},
        {d + L"\\ABSENT.EXE", true},             // the ending is lower-cased
        {d + L"\\upper.exe", false},             // file names are not case-sensitive
        {d + L"\\absent.dll", true},
        {d + L"\\absent.wav", true},
        {d + L"\\absent.sys", false},            // not a checked type
        {d + L"\\absent.exe /quiet", false},     // a switch after the path
        {L"\"" + d + L"\\absent.exe\"", false},  // quoted
        {d + L"\\dotted.dir\\absent.exe", false},  // two dots: not taken for one path
        {d + L"\\absent.exe,0", false},
        {L"absent.ttf", false},                  // no drive: a bare file name
        {d + L"\\rundll32 absent.exe", false},
        {L"%KLARWIN_TEST_DIR%\\present.exe", false},
        {L"%KLARWIN_TEST_DIR%\\absent.exe", true},
        {L"%SystemRoot%\\system32\\kernel32.dll", false},
        {L"%SYSTEMROOT%\\klarwin-absent.dll", true},
        {L"%systemroot%\\klarwin-absent.dll", true},
        // "\SystemRoot" names the system folder: found where it really is.
        {L"\\SystemRoot\\system32\\kernel32.dll", false},
        {L"\\SYSTEMROOT\\klarwin-absent.dll", true},
        {d + L"\\" + std::wstring(270, L'a') + L".exe", true},  // too long to be a path
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPathCandidateMissing(c.text, root), c.missing) << Narrow(c.text);
}

// Within one scan a path is looked up once, and a folder the system reported
// missing is not asked about again.
TEST(KlarwinPathCheck, LookupCacheOfOneScan) {
    TempFolder dir(TempRoot());
    std::wstring present = dir.File(L"present.exe");
    const std::wstring gone = dir.Path() + L"\\gone";
    CPathLookupCache cache;
    EXPECT_EQ(cache.LookUp(present), PathState::Exists);
    EXPECT_EQ(cache.LookUp(gone + L"\\a.exe"), PathState::Missing);
    EXPECT_EQ(cache.LookUp(dir.Path() + L"\\absent.exe"), PathState::Missing);

    // Made after the first look: the scan still sees its snapshot ...
    dir.File(L"gone\\b.exe");
    dir.File(L"absent.exe");
    EXPECT_EQ(cache.LookUp(gone + L"\\b.exe"), PathState::Missing);  // its folder was gone
    EXPECT_EQ(cache.LookUp(dir.Path() + L"\\absent.exe"), PathState::Missing);
    EXPECT_EQ(cache.LookUp(dir.Path() + L"\\gone\\b*.exe"), PathState::Exists);  // wildcards are searched
    // ... while a new scan sees the files.
    cache.Clear();
    EXPECT_EQ(cache.LookUp(gone + L"\\b.exe"), PathState::Exists);
    EXPECT_EQ(cache.LookUp(dir.Path() + L"\\absent.exe"), PathState::Exists);
    EXPECT_TRUE(IsPathCandidateMissing(gone + L"\\c.exe", L"", &cache));
    EXPECT_FALSE(IsPathCandidateMissing(present, L"", &cache));
}

TEST(KlarwinPathCheck, ShortcutResolution) {
    CComInit com;
    TempFolder dir(TempRoot());
    std::wstring target = dir.File(L"target.exe");
    std::wstring gone = dir.File(L"gone.exe");
    std::wstring folder = dir.Folder(L"folder");
    ASSERT_TRUE(CreateShortcut(dir.Path() + L"\\to-file.lnk", target));
    ASSERT_TRUE(CreateShortcut(dir.Path() + L"\\to-gone.lnk", gone));
    ASSERT_TRUE(CreateShortcut(dir.Path() + L"\\to-folder.lnk", folder));
    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    dir.File(L"not-a-link.lnk", "this is no shortcut");

    fw::ComPtr<IShellLinkW> link;
    ASSERT_TRUE(SUCCEEDED(link.CoCreateInstance(CLSID_ShellLink, IID_IShellLinkW)));
    EXPECT_TRUE(ShortcutResolves(link.Get(), dir.Path() + L"\\to-file.lnk"));
    EXPECT_TRUE(ShortcutResolves(link.Get(), dir.Path() + L"\\to-folder.lnk"));
    EXPECT_FALSE(ShortcutResolves(link.Get(), dir.Path() + L"\\to-gone.lnk"));
    EXPECT_FALSE(ShortcutResolves(link.Get(), dir.Path() + L"\\missing.lnk"));
    EXPECT_FALSE(ShortcutResolves(link.Get(), dir.Path() + L"\\not-a-link.lnk"));
    // The same object serves one shortcut after another.
    EXPECT_TRUE(ShortcutResolves(link.Get(), dir.Path() + L"\\to-file.lnk"));
    EXPECT_FALSE(ShortcutResolves(nullptr, dir.Path() + L"\\to-file.lnk"));

    // Within a scan: no object, or a stopped scan, fails every shortcut.
    ScanContext ctx{ScanSetup()};
    ctx.running = true;
    EXPECT_FALSE(ShortcutTest(ctx, dir.Path() + L"\\to-file.lnk"));
    ctx.shellLink = link;
    EXPECT_TRUE(ShortcutTest(ctx, dir.Path() + L"\\to-file.lnk"));
    ctx.running = false;
    EXPECT_FALSE(ShortcutTest(ctx, dir.Path() + L"\\to-file.lnk"));
}

namespace {

struct FinderLog {
    std::vector<std::pair<int, std::wstring>> events;
    int stopAtEvent = -1;
    CFileFinder* finder = nullptr;
};

void LogEvent(CFileFinder* finder, int event, void* user) {
    auto* log = static_cast<FinderLog*>(user);
    log->events.emplace_back(event, event == kFinderFolderStarted ? finder->GetCurrentFolder() : finder->GetLastFound());
    if (static_cast<int>(log->events.size()) == log->stopAtEvent) finder->StopSearch();
}

}  // namespace

TEST(KlarwinFileFinder, DepthFirstOrderAndFolders) {
    TempFolder dir(TempRoot());
    const std::wstring base = dir.Path() + L"\\";
    dir.File(L"a.lnk");
    dir.File(L"b.txt");
    dir.File(L"one\\c.lnk");
    dir.File(L"one\\deep\\d.lnk");
    dir.Folder(L"two");
    dir.Folder(L"folder.lnk");  // a folder that matches the mask
    dir.File(L"F.LNK");         // letters compare without case
    // Not shortcuts, though the system's search matches their short names
    // ("E~1.LNK") against the mask.
    dir.File(L"e.lnk_old");
    dir.File(L"one\\shortcut.lnkbackup");

    CFileFinder finder;
    FinderLog log;
    finder.SetCallback(&LogEvent, &log);
    EXPECT_EQ(finder.FindFiles(dir.Path(), L"*.lnk", true), 5);

    // Every folder's subfolders come before its own entries; the base folder's
    // start event is the last start event.
    std::vector<std::pair<int, std::wstring>> starts;
    for (auto& e : log.events)
        if (e.first == kFinderFolderStarted) starts.push_back(e);
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.back().second, base);
    auto position = [&log](const std::wstring& path) {
        for (std::size_t i = 0; i < log.events.size(); ++i)
            if (log.events[i].second == path) return static_cast<int>(i);
        return -1;
    };
    EXPECT_LT(position(base + L"one\\deep\\d.lnk"), position(base + L"one\\c.lnk"));
    EXPECT_LT(position(base + L"one\\c.lnk"), position(base + L"a.lnk"));
    EXPECT_LT(position(base + L"one\\deep\\"), position(base + L"one\\"));
    EXPECT_GE(position(base + L"two\\"), 0);
    EXPECT_GE(position(base + L"folder.lnk\\"), 0);  // found, with its trailing backslash
    EXPECT_EQ(position(base + L"b.txt"), -1);
    EXPECT_GE(position(base + L"F.LNK"), 0);
    EXPECT_EQ(position(base + L"e.lnk_old"), -1);
    EXPECT_EQ(position(base + L"one\\shortcut.lnkbackup"), -1);

    // Found entries as paths; the list grows with every search.
    CPath first = finder.GetFoundPath(0);
    EXPECT_EQ(first.GetExtension(), L"lnk");
    EXPECT_EQ(finder.GetFoundPath(99).GetFullPath(), L"");
    EXPECT_EQ(finder.GetFoundPath(-1).GetFullPath(), L"");
    EXPECT_EQ(finder.FindFiles(base, L"*.lnk", false), 8);  // base only: a.lnk, folder.lnk and F.LNK
}

TEST(KlarwinFileFinder, StopEndsTheWholeSearch) {
    TempFolder dir(TempRoot());
    for (int i = 0; i < 5; ++i) dir.File(L"f" + std::to_wstring(i) + L"\\x.lnk");
    dir.File(L"top.lnk");

    CFileFinder finder;
    FinderLog log;
    log.stopAtEvent = 2;  // the first subfolder's start event, then its file
    finder.SetCallback(&LogEvent, &log);
    int found = finder.FindFiles(dir.Path(), L"*.lnk", true);
    // Stopped inside the first subfolder: nothing of the other folders, not the
    // base folder's own file, no further start events.
    EXPECT_EQ(log.events.size(), 2u);
    EXPECT_LE(found, 1);
    EXPECT_TRUE(finder.IsStopped());

    // A new search clears the stop flag.
    log.events.clear();
    log.stopAtEvent = -1;
    EXPECT_EQ(finder.FindFiles(dir.Path(), L"*.lnk", true), found + 6);
    EXPECT_FALSE(finder.IsStopped());

    // Tied to its owner's flag, a search does not start once the owner has
    // stopped, although it clears its own stop flag.
    std::atomic<bool> running{false};
    finder.SetRunningFlag(&running);
    log.events.clear();
    EXPECT_EQ(finder.FindFiles(dir.Path(), L"*.lnk", true), found + 6);
    EXPECT_TRUE(log.events.empty());
    running = true;
    EXPECT_EQ(finder.FindFiles(dir.Path(), L"*.lnk", true), found + 12);
    finder.SetRunningFlag(nullptr);

    // A folder that cannot be searched contributes nothing.
    EXPECT_EQ(finder.FindFiles(dir.Path() + L"\\no-such-folder", L"*.lnk", true), found + 12);
}
