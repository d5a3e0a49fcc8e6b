// The media-library chooser as a real modal dialog, driven from a second
// thread: its tree, double-clicks on a group, a playlist and a track.
#include "fw/testing/find_window.h"
#include "library/library_dlg.h"

#include "fw/testing/screenshot.h"
#include "library/library_res.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path TestFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    fs::path folder = fs::path(temp) / L"melodrift-library-test";
    fs::create_directories(folder);
    return folder;
}

void WriteUtf16(const fs::path& file, const std::wstring& text)
{
    std::ofstream out(file, std::ios::binary);
    out.write("\xFF\xFE", 2);
    for (wchar_t c : text) {
        const char bytes[2] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
        out.write(bytes, 2);
    }
}

HWND WaitForDialog()
{
    // Only this test's dialog: another test beside it may show one too.
    return fw::testing::WaitForProcessWindow(0, L"#32770", L"Media Library", 10000);
}

std::wstring ItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[2048] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = 2048;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

// The tree as lines of text, children indented by two blanks.
void Walk(HWND tree, HTREEITEM first, int depth, std::vector<std::wstring>& lines)
{
    for (HTREEITEM item = first; item;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        lines.push_back(std::wstring(2 * depth, L' ') + ItemText(tree, item));
        const auto child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        Walk(tree, child, depth + 1, lines);
    }
}

HTREEITEM FindItem(HWND tree, HTREEITEM first, const std::wstring& text)
{
    for (HTREEITEM item = first; item;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        if (ItemText(tree, item) == text) return item;
        const auto child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        if (HTREEITEM found = FindItem(tree, child, text)) return found;
    }
    return nullptr;
}

// Selects the item and double-clicks it with the mouse, as a user would.
void DoubleClick(HWND tree, HTREEITEM item)
{
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    // TVM_GETITEMRECT takes the item in the rectangle's first bytes.
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof(item));
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    // Near the start of the text: a long one runs past the tree's right edge.
    const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
    // Posted, as the mouse would: the tree tracks a press by reading its queue.
    PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tree, WM_LBUTTONUP, 0, at);
    PostMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(tree, WM_LBUTTONUP, 0, at);
}

class LibraryDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = TestFolder();
        fileDb = folder / L"fileDB.dat";
        playlists = folder / L"playlists.xml";
        longPath = L"C:\\Music\\";
        while (longPath.size() < 300) longPath += L"long name ";
        longPath += L".mp3";
        WriteUtf16(fileDb, L"C:\\Music\\first.mp3\r\n\r\nC:\\Music\\second.mp3\r\n" + longPath + L"\r\n");
        std::ofstream xml(playlists, std::ios::binary);
        xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<Library>\n"
               "  <group Name=\"Rock\">\n"
               "    <playlist Name=\"Evening\">\n"
               "      <t id=\"1\"/>\n"
               "      <t id=\"7\"/>\n"
               "      <t id=\"2\"/>\n"
               "    </playlist>\n"
               "  </group>\n"
               "  <t id=\"0\"/>\n"
               "</Library>\n";
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs the dialog modally while `drive` works on its window from another thread.
    INT_PTR Run(CLibraryDlg& dlg, const std::function<void(HWND dialog, HWND tree)>& drive)
    {
        std::thread driver([&] {
            HWND dialog = WaitForDialog();
            if (!dialog) return;
            HWND tree = GetDlgItem(dialog, IDC_LIBRARY_TREE);
            drive(dialog, tree);
            // A dialog that did not close by itself is cancelled, so that a
            // failure shows as a wrong result rather than a hang.
            for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
            if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        const INT_PTR result = dlg.DoModal();
        driver.join();
        return result;
    }

    fs::path folder, fileDb, playlists;
    std::wstring longPath;
};

}  // namespace

TEST_F(LibraryDialog, ShowsTheLibraryAndChoosesATrack)
{
    CLibraryDlg dlg(fileDb, playlists.wstring());
    std::vector<std::wstring> lines;
    bool stillOpenAfterGroup = false;
    bool screenshot = false;
    const INT_PTR result = Run(dlg, [&](HWND dialog, HWND tree) {
        const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        Walk(tree, root, 0, lines);
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(FindItem(tree, root, L"Evening")));
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        screenshot = fw::testing::SaveWindowScreenshot(dialog, fw::testing::ScreenshotPath(L"melodrift-library.png"));
        DoubleClick(tree, FindItem(tree, root, L"Rock"));   // a group: nothing happens
        Sleep(200);
        stillOpenAfterGroup = IsWindowVisible(dialog) != FALSE;
        DoubleClick(tree, FindItem(tree, root, longPath));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(dlg.IsLibraryLoaded());
    EXPECT_TRUE(stillOpenAfterGroup);
    EXPECT_TRUE(screenshot);
    const std::vector<std::wstring> expected = {L"Rock", L"  Evening", L"    C:\\Music\\second.mp3",
                                                L"    " + longPath, L"C:\\Music\\first.mp3"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(dlg.GetChosen(), (std::vector<std::wstring>{longPath}));
}

TEST_F(LibraryDialog, PlaylistClosesWithNothingChosen)
{
    CLibraryDlg dlg(fileDb, playlists.wstring());
    const INT_PTR result = Run(dlg, [&](HWND, HWND tree) {
        const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        DoubleClick(tree, FindItem(tree, root, L"Evening"));
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(dlg.GetChosen().empty());

    // The first track (id 0), in a second run of the same object.
    const INT_PTR again = Run(dlg, [&](HWND, HWND tree) {
        const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        DoubleClick(tree, FindItem(tree, root, L"C:\\Music\\first.mp3"));
    });
    EXPECT_EQ(again, IDOK);
    EXPECT_EQ(dlg.GetChosen(), (std::vector<std::wstring>{L"C:\\Music\\first.mp3"}));
}

TEST_F(LibraryDialog, MissingOrBrokenFilesGiveAnEmptyTree)
{
    std::ofstream(playlists, std::ios::binary) << "<Library><group Name=\"x\">";   // not well formed
    for (const fs::path& xml : {playlists, folder / L"missing.xml"}) {
        CLibraryDlg dlg(fileDb, xml.wstring());
        HTREEITEM root = reinterpret_cast<HTREEITEM>(1);
        const INT_PTR result = Run(dlg, [&](HWND dialog, HWND tree) {
            root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_FALSE(dlg.IsLibraryLoaded());
        EXPECT_EQ(root, nullptr);
        EXPECT_TRUE(dlg.GetChosen().empty());
    }
    // Without the file list the tracks cannot be shown; groups and playlists still are.
    std::ofstream(playlists, std::ios::binary) << "<Library><playlist Name=\"P\"><t id=\"0\"/></playlist></Library>";
    CLibraryDlg dlg(folder / L"missing.dat", playlists.wstring());
    std::vector<std::wstring> lines;
    Run(dlg, [&](HWND dialog, HWND tree) {
        Walk(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0, lines);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"P"}));
}
