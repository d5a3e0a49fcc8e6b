// Start-up pieces in the test's own process: the command line, program-
// relative paths and the product folder, language discovery and choice with
// real language DLLs, the two start-up dialogs and the splash window.
#include "fw/testing/find_window.h"
#include "registry_test_support.h"

#include "command_line.h"
#include "fw/strutil.h"
#include "hand_over.h"
#include "fw/testing/screenshot.h"
#include "host_dialogs.h"
#include "languages.h"
#include "paths.h"
#include "starting_dlg.h"
#include "resource.h"

#include <atomic>
#include <functional>
#include <thread>

namespace {

// ---- Command line ------------------------------------------------------------------

TEST(MdHostCommandLine, SwitchesAndFilesInOrder) {
    COrvoCommandLineInfo info;
    ParseOrvoCommandLine(L"/reg -UNREG \"C:\\Music\\a b.mp3\" x.wav -nostart", info);
    EXPECT_EQ(info.m_switches.Items(), (std::vector<std::wstring>{L"reg", L"UNREG", L"nostart"}));
    EXPECT_EQ(info.m_files.Items(), (std::vector<std::wstring>{L"C:\\Music\\a b.mp3", L"x.wav"}));
    EXPECT_TRUE(info.HasSwitch(L"unreg"));
    EXPECT_TRUE(info.HasSwitch(L"NoStart"));
    EXPECT_FALSE(info.HasSwitch(L"re"));
    EXPECT_EQ(BuildOpenCommand(info.m_files), L"open \"C:\\Music\\a b.mp3\" \"x.wav\"");

    COrvoCommandLineInfo empty;
    ParseOrvoCommandLine(L"", empty);
    EXPECT_TRUE(empty.m_switches.IsEmpty());
    EXPECT_TRUE(empty.m_files.IsEmpty());
    ParseOrvoCommandLine(nullptr, empty);
    EXPECT_TRUE(empty.m_files.IsEmpty());

    COrvoCommandLineInfo longSwitch;
    ParseOrvoCommandLine((L"/" + std::wstring(300, L'r')).c_str(), longSwitch);
    longSwitch.m_switches.Add(std::wstring(261, L'x'));
    EXPECT_FALSE(longSwitch.HasSwitch(std::wstring(261, L'x').c_str()));  // too long to be compared
}

// The block a later start hands over: what it encodes decodes again, within
// the bound; anything malformed is refused whole.
TEST(MdHostHandOver, RoundTripAndMalformedBlocks) {
    mdhost::HandOver sent{true, {L"C:\\a b.mp3", L"", L"\u97f3.wav", std::wstring(40000, L'x')}}, got;
    std::vector<std::uint16_t> block = mdhost::EncodeHandOver(sent);
    ASSERT_TRUE(mdhost::DecodeHandOver(block.data(), block.size() * 2, got));
    EXPECT_TRUE(got.addOnly);
    EXPECT_EQ(got.files, (std::vector<std::wstring>{L"C:\\a b.mp3", L"\u97f3.wav"}));   // empty and over-long left out
    sent.files.assign(2000, std::wstring(300, L'n'));
    block = mdhost::EncodeHandOver(sent);
    ASSERT_TRUE(mdhost::DecodeHandOver(block.data(), block.size() * 2, got));
    EXPECT_EQ(got.files.size(), (mdhost::kMaxHandOverBytes / 2 - 3) / 301);

    const std::vector<std::vector<std::uint16_t>> malformed = {
        {0, 1}, {2, 0, 0},                  // no room for the count; unknown flags
        {0, 1, 0, 'a'}, {0, 1, 0, 0, 'a', 0},   // no terminator; an empty name
        {0, 2, 0, 'a', 0}, {0, 0, 0, 'a', 0}, {0, 0xFFFF, 0xFFFF, 'a', 0},   // counts that do not match
    };
    for (const auto& bad : malformed) {
        got.files = {L"kept?"};
        EXPECT_FALSE(mdhost::DecodeHandOver(bad.data(), bad.size() * 2, got)) << bad.size();
        EXPECT_TRUE(got.files.empty());
    }
    EXPECT_FALSE(mdhost::DecodeHandOver(malformed[4].data(), 9, got));   // odd size
    std::vector<std::uint16_t> huge(mdhost::kMaxHandOverBytes / 2 + 1, 'x');
    huge[0] = huge[1] = huge[2] = huge.back() = 0;
    EXPECT_FALSE(mdhost::DecodeHandOver(huge.data(), huge.size() * 2, got));
}

// ---- Paths -------------------------------------------------------------------------

TEST(MdHostPaths, ProgramRelativeAndAbsoluteNames) {
    EXPECT_EQ(mdhost::GetProgramRelativePath(L"D:\\Data\\x.xml", L"C:\\P\\"), L"D:\\Data\\x.xml");
    EXPECT_EQ(mdhost::GetProgramRelativePath(L"Skins\\a.xml", L"C:\\P\\"), L"C:\\P\\Skins\\a.xml");
    EXPECT_EQ(mdhost::GetProgramRelativePath(L"C:", L"C:\\P\\"), L"C:\\P\\C:");  // not longer than two
    EXPECT_EQ(mdhost::ProgramFolder(), mdtest::TestFolder());
}

TEST(MdHostPaths, ProductFolderFromAppDataDefault) {
    mdtest::ScratchFolder folder(L"product");
    EXPECT_EQ(mdhost::ReadProductFolderName(folder.Path()), L"Cantorel Voro 5.0");  // no file
    auto write = [&](const std::string& name) {
        mdtest::WriteBytes(folder / L"appdatadefault.ini", "[General]\r\nName=" + name + "\r\n");
    };
    write("Melodrift Test");
    EXPECT_EQ(mdhost::ReadProductFolderName(folder.Path()), L"Melodrift Test");
    write(std::string(120, 'n'));
    EXPECT_EQ(mdhost::ReadProductFolderName(folder.Path()), std::wstring(99, L'n'));
    for (const char* unsafe : {"", "..", "..\\..\\Windows", "a/b", "C:x", "bad*name"}) {
        write(unsafe);
        EXPECT_EQ(mdhost::ReadProductFolderName(folder.Path()), L"Cantorel Voro 5.0") << unsafe;
    }
    mdtest::WriteBytes(folder / L"appdatadefault.ini", "[Other]\r\nName=x\r\n");
    EXPECT_EQ(mdhost::ReadProductFolderName(folder.Path()), L"Cantorel Voro 5.0");
    EXPECT_EQ(mdhost::GetDataFilePath(L""), L"");
}

// ---- Languages -------------------------------------------------------------------

class MdHostLanguages : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* name : {L"tl_eng", L"tl_eng2", L"tl_rus", L"tl_jpn", L"tl_no_short", L"tl_no_name"})
            ASSERT_TRUE(mdtest::CopyInto(mdtest::TestLanguage(name), m_program / L"Language"));
        mdtest::WriteBytes(m_program / L"Language\\Broken.dll", "not a library");
        m_ini = m_program / L"Language.ini";
    }
    std::vector<std::wstring> Shorts(const CLanguageList& list) {
        std::vector<std::wstring> s;
        for (const LanguageEntry& e : list.m_entries) s.push_back(e.ShortName);
        return s;
    }
    mdtest::ScratchFolder m_program{L"lang"};
    std::wstring m_ini;
};

TEST_F(MdHostLanguages, DiscoveryKeepsValidLibrariesAndPutsEnglishFirst) {
    CLanguageList list;
    list.Discover(m_program.Path());
    // Both named English: each moves to the front when met, so the later one ends first.
    EXPECT_EQ(Shorts(list), (std::vector<std::wstring>{L"en2", L"eng", L"jpn", L"RUS"}));
    EXPECT_EQ(list.m_entries[0].Path, m_program / L"Language\\tl_eng2.dll");
    EXPECT_EQ(list.m_entries[2].Name, L"\u65e5\u672c\u8a9e");
    EXPECT_EQ(list.m_entries[3].Name, L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439");
    for (const LanguageEntry& e : list.m_entries) EXPECT_EQ(e.Selected, 0);
    CLanguageList none;
    none.Discover(m_program / L"nowhere\\");
    EXPECT_TRUE(none.m_entries.IsEmpty());
}

TEST_F(MdHostLanguages, FirstRunChoosesByCodePageAndStoresTheChoice) {
    struct Case {
        UINT codePage;
        const wchar_t* shortName;
        const wchar_t* file;
    };
    for (const Case& c : {Case{1251, L"RUS", L"tl_rus.dll"}, Case{866, L"RUS", L"tl_rus.dll"},
                          Case{932, L"jpn", L"tl_jpn.dll"}, Case{50221, L"jpn", L"tl_jpn.dll"},
                          Case{1252, L"eng", L"tl_eng.dll"}, Case{1258, L"en2", L"tl_eng2.dll"}}) {
        DeleteFileW(m_ini.c_str());
        CLanguageList list;
        list.Discover(m_program.Path());
        std::wstring name, shortName;
        list.ReadChoice(m_ini, c.codePage, name, shortName);
        EXPECT_EQ(shortName, c.shortName) << c.codePage;
        EXPECT_EQ(mdtest::ReadIni(m_ini, L"Language", L"Path"), m_program / (std::wstring(L"Language\\") + c.file));
        EXPECT_EQ(mdtest::ReadIni(m_ini, L"Language", L"ShortName"), c.shortName);
        EXPECT_EQ(mdtest::ReadIni(m_ini, L"Language", L"Name"), name);
        // A later run keeps the choice whatever the code page.
        CLanguageList again;
        again.Discover(m_program.Path());
        std::wstring name2, short2;
        again.ReadChoice(m_ini, 437, name2, short2);
        EXPECT_EQ(name2, name);
        EXPECT_EQ(short2, shortName);
    }
}

TEST_F(MdHostLanguages, WithoutLanguageDllsEnglishIsAddedAndStored) {
    CLanguageList list;
    std::wstring name, shortName;
    list.ReadChoice(m_ini, 1251, name, shortName);
    ASSERT_EQ(list.m_entries.GetSize(), 1);
    EXPECT_EQ(list.m_entries[0].Name, L"English");
    EXPECT_EQ(list.m_entries[0].ShortName, L"Eng");
    EXPECT_EQ(list.m_entries[0].Path, L"");
    EXPECT_EQ(name, L"English");
    EXPECT_EQ(mdtest::ReadIni(m_ini, L"Language", L"ShortName"), L"Eng");
    EXPECT_EQ(mdtest::ReadIni(m_ini, L"Language", L"Path", L"absent"), L"");
}

TEST_F(MdHostLanguages, SavingAndMarkingByExactName) {
    CLanguageList list;
    list.Discover(m_program.Path());
    EXPECT_FALSE(list.SaveChoice(L"english", m_ini));  // exact names only
    EXPECT_EQ(GetFileAttributesW(m_ini.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(list.SaveChoice(L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439", m_ini));
    EXPECT_EQ(mdtest::ReadIni(m_ini, L"Language", L"Name"), L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439");
    list.MarkSelected(L"English");
    EXPECT_EQ(list.m_entries[0].Selected, 1);  // the first of the two
    EXPECT_EQ(list.m_entries[1].Selected, 0);
    list.MarkSelected(L"\u65e5\u672c\u8a9e");
    EXPECT_EQ(list.m_entries[0].Selected, 0);
    EXPECT_EQ(list.m_entries[2].Selected, 1);
    EXPECT_STREQ(CLanguageList::ShortCodeForCodePage(1258), L"viet");
    EXPECT_STREQ(CLanguageList::ShortCodeForCodePage(20866), L"rus");
    EXPECT_STREQ(CLanguageList::ShortCodeForCodePage(10001), L"jpn");
    EXPECT_STREQ(CLanguageList::ShortCodeForCodePage(1250), L"eng");
}

// ---- Dialogs ---------------------------------------------------------------------

HWND WaitForOwnWindow(const wchar_t* title) {
    return fw::testing::WaitForProcessWindow(0, nullptr, title, 10000);
}

// Runs the modal dialog here while `user` acts on it from another thread.
INT_PTR RunDialog(const std::function<INT_PTR()>& run, const wchar_t* title, const std::function<void(HWND)>& user) {
    std::thread other([&] {
        HWND dlg = WaitForOwnWindow(title);
        if (dlg) user(dlg);
    });
    INT_PTR result = run();
    other.join();
    return result;
}

bool IsChecked(HWND dlg, int id) { return SendDlgItemMessageW(dlg, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Click(HWND dlg, int id) { PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

using MdHostDialogs = RegistryTest;

TEST_F(MdHostDialogs, ChooseModuleOffersTwoChoicesAndStoresTheAnswer) {
    IApplication* app = m_services.Application();
    app->WriteSetting(L"Main frame", L"AutoOpen", L"SONICUT");
    bool sonicut = false, vocalith = true, studioVisible = true;
    RECT studio = {}, moved = {};
    INT_PTR result = RunDialog(
        [&] { return CChooseModuleMusicDlg(app).DoModal(); }, L"Choose Module", [&](HWND dlg) {
            sonicut = IsChecked(dlg, IDC_RADIO_SONICUT);
            vocalith = IsChecked(dlg, IDC_RADIO_VOCALITH);
            studioVisible = IsWindowVisible(GetDlgItem(dlg, IDC_RADIO_VOCALITH_STUDIO)) != FALSE;
            GetWindowRect(GetDlgItem(dlg, IDC_RADIO_VOCALITH_STUDIO), &studio);
            GetWindowRect(GetDlgItem(dlg, IDC_RADIO_SONICUT), &moved);
            fw::testing::SaveWindowScreenshot(dlg, fw::testing::ScreenshotPath(L"md_host_choose_module.png"));
            SendDlgItemMessageW(dlg, IDC_CHECK_ASK, BM_SETCHECK, BST_CHECKED, 0);
            Click(dlg, IDC_YES_OK);
        });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(sonicut);
    EXPECT_FALSE(vocalith);
    EXPECT_FALSE(studioVisible);
    EXPECT_EQ(moved.top, studio.top);
    EXPECT_EQ(moved.left, studio.left);
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"AutoOpen"), L"Sonicut");
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"AutoOpen_AskMe"), L"No");

    // Vocalith is the default choice; Cancel writes nothing.
    app->WriteSetting(L"Main frame", L"AutoOpen", L"");
    result = RunDialog([&] { return CChooseModuleMusicDlg(app).DoModal(); }, L"Choose Module", [&](HWND dlg) {
        vocalith = IsChecked(dlg, IDC_RADIO_VOCALITH);
        Click(dlg, IDC_NO_CANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(vocalith);
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"AutoOpen"), L"");
    result = RunDialog([&] { return CChooseModuleMusicDlg(app).DoModal(); }, L"Choose Module",
                       [&](HWND dlg) { Click(dlg, IDC_YES_OK); });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"AutoOpen"), L"Vocalith");
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"AutoOpen_AskMe"), L"Yes");
}

TEST_F(MdHostDialogs, DefaultPlayerAnswersAndRemembersWhetherToAskAgain) {
    IApplication* app = m_services.Application();
    bool checked = false;
    INT_PTR result = RunDialog([&] { return CDefaultPlayerDlg(app).DoModal(); }, L"Default Player", [&](HWND dlg) {
        checked = IsChecked(dlg, IDC_CHECK_ASK);
        fw::testing::SaveWindowScreenshot(dlg, fw::testing::ScreenshotPath(L"md_host_default_player.png"));
        Click(dlg, IDC_YES_OK);
    });
    EXPECT_EQ(result, IDYES);
    EXPECT_TRUE(checked);
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"CheckDefaultPlayer"), L"Yes");
    result = RunDialog([&] { return CDefaultPlayerDlg(app).DoModal(); }, L"Default Player", [&](HWND dlg) {
        SendDlgItemMessageW(dlg, IDC_CHECK_ASK, BM_SETCHECK, BST_UNCHECKED, 0);
        Click(dlg, IDC_NO_CANCEL);
    });
    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(mdtest::ReadIni(m_settings.Path(), L"Main frame: params", L"CheckDefaultPlayer"), L"No");
}

// ---- Splash ------------------------------------------------------------------------

// What the screen shows of a window (a layered window draws nothing into its own DC).
fw::testing::Image ScreenOf(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    fw::testing::Image image;
    image.width = r.right - r.left;
    image.height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = image.width;
    bi.bmiHeader.biHeight = -image.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, image.width, image.height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    image.pixels.assign(p, p + static_cast<std::size_t>(image.width) * image.height);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return image;
}

void Pump(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
}

int Brightness(std::uint32_t pixel) { return ((pixel >> 16) & 255) + ((pixel >> 8) & 255) + (pixel & 255); }

TEST(MdHostSplash, PictureAndStatusTextOnTheScreen) {
    CStartingDlg splash;
    ASSERT_TRUE(splash.CreateSplash());
    EXPECT_TRUE(splash.HasPicture());
    EXPECT_TRUE(GetWindowLongW(splash.m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(GetWindowLongW(splash.m_hWnd, GWL_STYLE) & WS_CAPTION, 0);
    splash.SetStatus(L"Loading...");
    splash.ShowWindow(SW_SHOW);
    // Windows of tests running beside this one must not cover what is read
    // back from the screen.
    SetWindowPos(splash.m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Pump(300);
    fw::testing::Image before = ScreenOf(splash.m_hWnd);
    fw::testing::SaveImage(before, fw::testing::ScreenshotPath(L"md_host_splash.png"));
    ASSERT_GT(before.width, 300);
    ASSERT_GT(before.height, 280);
    // The picture: its dark top half; the light band with black text at (47, 265).
    EXPECT_LT(Brightness(before.At(before.width / 2, 30)), 300);
    int darkInText = 0;
    for (int y = 265; y < 280; ++y)
        for (int x = 47; x < 120; ++x)
            if (Brightness(before.At(x, y)) < 200) ++darkInText;
    EXPECT_GT(darkInText, 20);
    EXPECT_GT(Brightness(before.At(before.width - 60, 258)), 600);  // band, right of the text

    // Each stage replaces the text.
    splash.SetStatus(L"Creating Main Frame...");
    Pump(200);
    wchar_t text[64] = {};
    GetDlgItemTextW(splash.m_hWnd, IDC_STARTING_STATUS, text, 64);
    EXPECT_EQ(std::wstring(text), L"Creating Main Frame...");
    fw::testing::Image after = ScreenOf(splash.m_hWnd);
    int changed = 0;
    for (int y = 262; y < 282; ++y)
        for (int x = 47; x < 250; ++x)
            if (after.At(x, y) != before.At(x, y)) ++changed;
    EXPECT_GT(changed, 50);
    splash.DestroyWindow();
}

}  // namespace
