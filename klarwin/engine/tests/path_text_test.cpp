// Which registry texts the path test looks up, and CPath.
#include <gtest/gtest.h>

#include "klarwin/path_text.h"

namespace {

// The candidate as if the environment held only SystemRoot=C:\Windows.
std::wstring Expand(std::wstring_view text) {
    std::wstring out(text);
    for (std::wstring var : {L"%systemroot%", L"%SystemRoot%", L"%SYSTEMROOT%"}) {
        for (std::size_t p; (p = out.find(var)) != std::wstring::npos;) out.replace(p, var.size(), L"C:\\Windows");
    }
    return out;
}

PathVerdict Classify(std::wstring_view candidate) {
    std::wstring e = Expand(candidate);
    return ClassifyPathCandidate(e, Expand(DriveTestText(e)));
}

}  // namespace

TEST(KlarwinPathText, WhichTextsAreLookedUp) {
    struct Case {
        const wchar_t* text;
        PathVerdict verdict;
    } cases[] = {
        {L"C:\\Program Files\\App\\app.exe", PathVerdict::MustExist},
        {L"C:\\Program Files\\App\\APP.EXE", PathVerdict::MustExist},  // the ending is lower-cased
        {L"C:\\x\\lib.DLL", PathVerdict::MustExist},
        {L"C:\\x\\a.txt", PathVerdict::MustExist},
        {L"C:\\x\\a.ttf", PathVerdict::MustExist},
        {L"C:\\x\\a.chm", PathVerdict::MustExist},
        {L"C:\\x\\a.wav", PathVerdict::MustExist},
        {L"C:\\x\\a.jpg", PathVerdict::MustExist},
        {L"C:\\x\\a.bmp", PathVerdict::MustExist},
        {L"C:\\x\\a.xml", PathVerdict::MustExist},
        {L"C:\\x\\a.sys", PathVerdict::OtherExtension},
        {L"C:\\x\\a.exe /switch", PathVerdict::OtherExtension},
        {L"\"C:\\x\\a.exe\"", PathVerdict::OtherExtension},
        {L"C:\\x.y\\a.exe", PathVerdict::NotSinglePath},  // a dotted folder
        {L"C:\\x\\noext", PathVerdict::NotSinglePath},
        {L"C:\\x\\a.exe,1", PathVerdict::NotSinglePath},
        {L"C:\\x\\a.exe;C:\\y", PathVerdict::NotSinglePath},
        {L"{C:\\x\\a.exe}", PathVerdict::NotSinglePath},
        {L"C:\\Windows\\rundll32 shell.exe", PathVerdict::Launcher},
        {L"C:\\Windows\\msiexec.exe", PathVerdict::Launcher},
        // In capitals the launcher words are not recognised ...
        {L"C:\\Windows\\MSIEXEC.EXE", PathVerdict::MustExist},
        // ... but such command lines carry a comma or a second dot anyway.
        {L"C:\\Windows\\RUNDLL32.EXE shell32.dll,Control_RunDLL", PathVerdict::NotSinglePath},
        {L"arial.ttf", PathVerdict::NoDrive},  // a bare font file name
        {L"\\x\\a.exe", PathVerdict::NoDrive},
        {L"%SystemRoot%\\notepad.exe", PathVerdict::MustExist},
        {L"%SYSTEMROOT%\\notepad.exe", PathVerdict::MustExist},
        {L"\\SystemRoot\\System32\\a.dll", PathVerdict::MustExist},  // resolved by the drive test only
        {L"\\SYSTEMROOT\\a.exe", PathVerdict::MustExist},
        {L"C:", PathVerdict::NotSinglePath},
        {L".exe:", PathVerdict::OtherExtension},
        {L"C:.exe", PathVerdict::MustExist},
        {L"", PathVerdict::NoDrive},
    };
    for (const Case& c : cases) EXPECT_EQ(Classify(c.text), c.verdict) << std::string(c.text, c.text + wcslen(c.text));
}

TEST(KlarwinPathText, DriveTestAndLookupTexts) {
    EXPECT_EQ(DriveTestText(L"\\SystemRoot\\A.exe"), L"%systemroot%\\a.exe");
    EXPECT_EQ(DriveTestText(L"x\\SYSTEMROOT\\y\\systemroot"), L"x%systemroot%\\y%systemroot%");
    EXPECT_EQ(DriveTestText(L"C:\\Plain"), L"c:\\plain");

    EXPECT_EQ(LookupPathText(L"\\SystemRoot\\System32\\a.dll", L"C:\\windows"), L"C:\\windows\\System32\\a.dll");
    EXPECT_EQ(LookupPathText(L"\\systemroot", L"C:\\windows"), L"C:\\windows");
    // Only a whole leading folder name is replaced.
    EXPECT_EQ(LookupPathText(L"\\SystemRootX\\a.dll", L"C:\\windows"), L"\\SystemRootX\\a.dll");
    EXPECT_EQ(LookupPathText(L"C:\\d\\systemroot\\a.dll", L"C:\\windows"), L"C:\\d\\systemroot\\a.dll");
    EXPECT_EQ(LookupPathText(L"\\SystemRoot\\a.dll", L""), L"\\SystemRoot\\a.dll");
}

TEST(KlarwinPathText, PathParts) {
    CPath p(L"C:\\Program Files\\App\\tool.v2.exe");
    EXPECT_EQ(p.GetDrive(), L"C:");
    EXPECT_EQ(p.GetDirectory(), L"\\Program Files\\App\\");
    EXPECT_EQ(p.GetFileName(), L"tool.v2");
    EXPECT_EQ(p.GetExtension(), L"exe");
    EXPECT_FALSE(p.IsRelative());
    EXPECT_EQ(p.GetFullPath(), L"C:\\Program Files\\App\\tool.v2.exe");

    CPath quoted(L"\"C:\\a b\\c.lnk\"");
    EXPECT_EQ(quoted.GetText(), L"C:\\a b\\c.lnk");
    EXPECT_EQ(quoted.GetFullPath(), L"C:\\a b\\c.lnk");

    CPath folder(L"C:\\Users\\me\\Desktop\\");
    EXPECT_EQ(folder.GetDirectory(), L"\\Users\\me\\Desktop\\");
    EXPECT_EQ(folder.GetFileName(), L"");
    EXPECT_EQ(folder.GetFullPath(), L"C:\\Users\\me\\Desktop\\");

    CPath relative(L"sub\\file");
    EXPECT_TRUE(relative.IsRelative());
    EXPECT_EQ(relative.GetExtension(), L"");
    EXPECT_EQ(relative.GetFullPath(), L"sub\\file");

    CPath empty(L"\"\"");
    EXPECT_EQ(empty.GetText(), L"");
    EXPECT_EQ(empty.GetFullPath(), L"");
    EXPECT_EQ(CPath().GetFullPath(), L"");
    EXPECT_EQ(empty.Arguments().GetSize(), 0);

    // Texts longer than a path buffer are cut, never overrun.
    std::wstring longText = L"C:\\" + std::wstring(600, L'a') + L".exe";
    CPath cut(longText);
    EXPECT_EQ(cut.GetText().size(), 259u);
    EXPECT_LE(cut.GetFileName().size(), 255u);
}

TEST(KlarwinPathText, FileMasksMatchTheWholeName) {
    EXPECT_TRUE(MatchesFileMask(L"a.lnk", L"*.lnk"));
    EXPECT_TRUE(MatchesFileMask(L"My Shortcut.LNK", L"*.lnk"));
    EXPECT_TRUE(MatchesFileMask(L".lnk", L"*.lnk"));
    EXPECT_TRUE(MatchesFileMask(L"x.lnk.lnk", L"*.lnk"));
    EXPECT_FALSE(MatchesFileMask(L"x.lnk_old", L"*.lnk"));
    EXPECT_FALSE(MatchesFileMask(L"x.lnk.txt", L"*.lnk"));
    EXPECT_FALSE(MatchesFileMask(L"lnk", L"*.lnk"));
    EXPECT_TRUE(MatchesFileMask(L"20261208_0341_2.dat", L"*.dat"));
    EXPECT_FALSE(MatchesFileMask(L"20261208_0341.dat~", L"*.dat"));
    EXPECT_TRUE(MatchesFileMask(L"abc", L"a?c"));
    EXPECT_FALSE(MatchesFileMask(L"ac", L"a?c"));
    EXPECT_TRUE(MatchesFileMask(L"anything", L"*"));
    EXPECT_TRUE(MatchesFileMask(L"", L"*"));
    EXPECT_FALSE(MatchesFileMask(L"", L"?"));
}
