// Tunestack.dll in a test host, driven through its own window: folders added,
// playlists made, renamed, filled and deleted, the files read back by the
// host's media-library chooser and a track double-clicked there handed to the
// player module on the bus; unreadable files kept aside; settings kept.
#include "module_test_host.h"

#include "fw/testing/screenshot.h"
#include "library/library_model.h"
#include "library/library_res.h"
#include "tunestack/library_files.h"

#include "fw/testing/find_window.h"
#include "fw/testing/input.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace mdtest;

namespace {

// Command and control identifiers of the module (its window's children).
constexpr UINT kAddToPlaylist = 41005;
constexpr UINT kNewPlaylist = 41002;
constexpr UINT kRenamePlaylist = 41003;
constexpr UINT kDeletePlaylist = 41004;
constexpr UINT kRemoveFromPlaylist = 41006;
constexpr UINT kChooseFromLibrary = 41007;
constexpr UINT kExportPlaylist = 41010;
constexpr UINT kPlaylists = 41201;
constexpr UINT kTracks = 41202;
constexpr UINT kTarget = 41203;
constexpr UINT kStatus = 41204;
constexpr UINT kFinishWrites = WM_APP + 4;

void Le32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// `frames` of silence (one second unless told), 16-bit stereo at 44100 Hz, with title and artist when given.
std::string Wav(const std::string& title, const std::string& artist, std::uint32_t frames = 44100)
{
    std::string body = "WAVEfmt ";
    Le32(body, 16);
    body += std::string("\x01\x00\x02\x00", 4);
    Le32(body, 44100);
    Le32(body, 176400);
    body += std::string("\x04\x00\x10\x00", 4);
    body += "data";
    Le32(body, frames * 4);
    body += std::string(frames * 4, '\0');
    if (!title.empty()) {
        std::string list = "INFO";
        const auto item = [&](const char* id, const std::string& text) {
            list += id;
            const std::string value = text + std::string(2 - text.size() % 2, '\0');
            Le32(list, static_cast<std::uint32_t>(value.size()));
            list += value;
        };
        item("INAM", title);
        item("IART", artist);
        body += "LIST";
        Le32(body, static_cast<std::uint32_t>(list.size()));
        body += list;
    }
    std::string file = "RIFF";
    Le32(file, static_cast<std::uint32_t>(body.size()));
    return file + body;
}

// An MP3 file of 200 silent-ish frames with an ID3v2.3 title (about 5.2 s).
std::string Mp3(const std::string& title)
{
    std::string frame = std::string("\0", 1) + title;
    std::string tag = "TIT2";
    for (int i = 3; i >= 0; --i) tag.push_back(static_cast<char>((frame.size() >> (8 * i)) & 0xFF));
    tag += std::string(2, '\0') + frame;
    std::string out = "ID3";
    out += std::string("\x03\x00\x00", 3);
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((tag.size() >> (7 * i)) & 0x7F));
    out += tag;
    for (int i = 0; i < 200; ++i) {
        std::string f("\xFF\xFB\x90\x00", 4);
        f.resize(417, '\0');
        out += f;
    }
    return out;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring Text(HWND hwnd)
{
    wchar_t text[2048] = {};
    GetWindowTextW(hwnd, text, 2048);
    return text;
}

std::wstring Cell(HWND list, int row, int column)
{
    wchar_t text[1024] = {};
    ListView_GetItemText(list, row, column, text, 1024);
    return text;
}

std::vector<std::wstring> Column(HWND list, int column)
{
    std::vector<std::wstring> cells;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) cells.push_back(Cell(list, row, column));
    return cells;
}

void Select(HWND list, std::initializer_list<int> rows)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Types `name` into the label editor the module opened and presses Enter.
bool TypeLabel(HWND list, const std::wstring& name)
{
    // The edit box comes with the label editing the module started; Enter ends it.
    // Both are waited for: a busy machine may take longer than a moment.
    if (!PumpUntil([&] { return ListView_GetEditControl(list) != nullptr; }, 5000)) return false;
    HWND edit = ListView_GetEditControl(list);
    SetWindowTextW(edit, name.c_str());
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    return PumpUntil([&] { return ListView_GetEditControl(list) == nullptr; }, 5000);
}

// ---- The chooser's tree (as a user sees and clicks it) ----------------------------------------

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

void Walk(HWND tree, HTREEITEM first, int depth, std::vector<std::wstring>& lines)
{
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        lines.push_back(std::wstring(2 * depth, L' ') + ItemText(tree, item));
        Walk(tree, TreeView_GetChild(tree, item), depth + 1, lines);
    }
}

HTREEITEM FindItem(HWND tree, HTREEITEM first, const std::wstring& text)
{
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        if (ItemText(tree, item) == text) return item;
        if (HTREEITEM found = FindItem(tree, TreeView_GetChild(tree, item), text)) return found;
    }
    return nullptr;
}

void DoubleClick(HWND tree, HTREEITEM item)
{
    TreeView_EnsureVisible(tree, item);
    TreeView_SelectItem(tree, item);
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof(item));
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
    PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tree, WM_LBUTTONUP, 0, at);
    PostMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(tree, WM_LBUTTONUP, 0, at);
}

class TunestackModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = FreshTempFolder(L"tunestack-program");
        ASSERT_TRUE(WriteBytes(program + L"appdatadefault.ini", "[General]\r\nName=TunestackTest\r\n"));
        wchar_t common[MAX_PATH] = {};
        ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, common)));
        data = std::wstring(common) + L"\\Corvena\\TunestackTest\\";
        RemoveTree(data);
        music = FreshTempFolder(L"tunestack-music");
        CreateDirectoryW((music + L"sub").c_str(), nullptr);
        CreateDirectoryW((music + L"sub\\deeper").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(music + L"a.wav", Wav("Alpha", "Band")));
        ASSERT_TRUE(WriteBytes(music + L"sub\\b.wav", Wav("", "")));
        ASSERT_TRUE(WriteBytes(music + L"sub\\deeper\\c.MP3", Mp3("Gamma")));
        ASSERT_TRUE(WriteBytes(music + L"notes.txt", "not music"));
        a = music + L"a.wav";
        b = music + L"sub\\b.wav";
        c = music + L"sub\\deeper\\c.MP3";
        host = std::make_unique<CModuleTestHost>(program);
        host->AddPeer(L"Vocalith");
        host->SetLibraryFolder(data);
    }
    void TearDown() override
    {
        host.reset();
        RemoveTree(program);
        RemoveTree(music);
        RemoveTree(data);
    }

    void LoadModule()
    {
        ASSERT_TRUE(host->Load(ExeFolder() + L"Tunestack.dll")) << std::string(host->Error().begin(), host->Error().end());
        window = host->ModuleWindow();
        playlists = GetDlgItem(window, kPlaylists);
        tracks = GetDlgItem(window, kTracks);
        target = GetDlgItem(window, kTarget);
        status = GetDlgItem(window, kStatus);
        ASSERT_TRUE(playlists && tracks && target && status);
        Pump(50);
    }
    void Click(UINT id)
    {
        SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
        Pump(50);
    }
    // Waits until the module's writers have put what it saved on disk; true
    // when its last save of the library succeeded.
    bool Written() { return SendMessageW(window, kFinishWrites, 0, 0) == 1; }
    library::FileList SavedFiles()
    {
        EXPECT_TRUE(Written());
        return library::LoadFileList(data + L"fileDB.dat");
    }
    tunestack::Library ReadBack()
    {
        EXPECT_TRUE(Written());
        tunestack::Library library;
        EXPECT_TRUE(library.LoadFileList(ReadBytes(data + L"fileDB.dat")));
        EXPECT_TRUE(library.LoadPlaylists(ReadBytes(data + L"playlists.xml")));
        return library;
    }
    std::wstring Setting(const wchar_t* key)
    {
        wchar_t buffer[512] = {};
        GetPrivateProfileStringW(L"Tunestack: params", key, L"", buffer, 512, host->SettingsFile().c_str());
        return buffer;
    }

    std::wstring program, data, music, a, b, c;
    std::unique_ptr<CModuleTestHost> host;
    HWND window = nullptr, playlists = nullptr, tracks = nullptr, target = nullptr, status = nullptr;
};

}  // namespace

TEST_F(TunestackModule, BuildsTheLibraryThatTheChooserReads)
{
    LoadModule();
    EXPECT_EQ(Text(window), L"Tunestack");
    EXPECT_EQ(Column(playlists, 0), (std::vector<std::wstring>{L"All tracks"}));
    wchar_t menuText[64] = {};
    GetMenuStringW(host->Menu(), 0, menuText, 64, MF_BYPOSITION);
    EXPECT_STREQ(menuText, L"&Library");
    EXPECT_NE(host->Accelerators(), nullptr);

    // A folder from the bus, scanned on a worker thread: the three music
    // files, sub-folders included, sorted by path.
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"addfolder \"" + music + L"\"").c_str()), 1);
    ASSERT_TRUE(PumpUntil([&] { return Text(status).rfind(L"Added ", 0) == 0; }, 30000)) << Narrow(Text(status));
    EXPECT_EQ(Text(status), L"Added 3 files from " + music + L" (3 found).");
    EXPECT_EQ(SavedFiles(), (library::FileList{a, b, c}));
    EXPECT_EQ(Column(tracks, 0), (std::vector<std::wstring>{L"Alpha", L"b", L"Gamma"}));
    EXPECT_EQ(Column(tracks, 1), (std::vector<std::wstring>{L"Band", L"", L""}));
    EXPECT_EQ(Column(tracks, 4), (std::vector<std::wstring>{L"0:01", L"0:01", L"0:05"}));
    EXPECT_EQ(Column(tracks, 5), (std::vector<std::wstring>{a, b, c}));
    // The same folder again adds nothing; a folder that does not exist is refused.
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"addfolder \"" + music + L"\"").c_str()), 1);
    EXPECT_TRUE(PumpUntil([&] { return Text(status) == L"Added 0 files from " + music + L" (3 found)."; }, 30000))
        << Narrow(Text(status));
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"addfolder \"" + music + L"nowhere\"").c_str()), 0);
    EXPECT_EQ(Text(status), L"The folder " + music + L"nowhere does not exist.");
    EXPECT_EQ(host->PassMessage(L"Main frame", L"something else"), 0);

    // Commands that need a playlist are disabled on "All tracks"; a query runs nothing.
    ORVO_CMD_UI ui = {kRenamePlaylist, TRUE, 0};
    EXPECT_EQ(host->OnCmdMsg(kRenamePlaylist, ORVO_CN_UPDATE_COMMAND_UI, &ui), 1);
    EXPECT_FALSE(ui.Enabled);
    EXPECT_EQ(host->OnCmdMsg(kNewPlaylist, ORVO_CN_COMMAND, nullptr, true), 1);
    EXPECT_EQ(ListView_GetItemCount(playlists), 1);
    EXPECT_EQ(host->OnCmdMsg(12345, ORVO_CN_COMMAND), 0);

    // A new playlist, named as it is made; then a second one through the menu command.
    Click(kNewPlaylist);
    ASSERT_TRUE(TypeLabel(playlists, L"Evening"));
    EXPECT_EQ(host->OnCmdMsg(kNewPlaylist, ORVO_CN_COMMAND), 1);
    Pump(50);
    ASSERT_TRUE(TypeLabel(playlists, L"Morning"));
    EXPECT_EQ(Column(playlists, 0), (std::vector<std::wstring>{L"All tracks", L"Evening", L"Morning"}));

    // Tracks a and c into "Evening", b into "Morning".
    Select(playlists, {0});
    Pump(50);
    ASSERT_EQ(ListView_GetItemCount(tracks), 3);
    Select(tracks, {0, 2});
    SendMessageW(target, CB_SETCURSEL, 0, 0);
    Click(kAddToPlaylist);
    EXPECT_EQ(Text(status), L"Added 2 tracks to Evening.");
    Select(tracks, {1});
    SendMessageW(target, CB_SETCURSEL, 1, 0);
    Click(kAddToPlaylist);
    Select(playlists, {1});
    Pump(50);
    EXPECT_EQ(Column(tracks, 0), (std::vector<std::wstring>{L"Alpha", L"Gamma"}));

    // Renamed with characters XML must escape.
    ui = {kRenamePlaylist, FALSE, 0};
    host->OnCmdMsg(kRenamePlaylist, ORVO_CN_UPDATE_COMMAND_UI, &ui);
    EXPECT_TRUE(ui.Enabled);
    Click(kRenamePlaylist);
    ASSERT_TRUE(TypeLabel(playlists, L"Evening & <Night>"));
    EXPECT_EQ(Setting(L"Playlist"), L"Evening & <Night>");
    EXPECT_EQ(Setting(L"LastFolder"), music);

    tunestack::Library saved = ReadBack();
    ASSERT_EQ(saved.Playlists().size(), 2u);
    EXPECT_EQ(*saved.Playlists()[0]->Attribute(L"Name"), L"Evening & <Night>");
    EXPECT_EQ(tunestack::Library::Tracks(*saved.Playlists()[0]), (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(tunestack::Library::Tracks(*saved.Playlists()[1]), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(GetFileAttributesW((data + L"playlists.xml.tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    const bool shot = fw::testing::SaveWindowScreenshot(host->Frame(), fw::testing::ScreenshotPath(L"melodrift_tunestack.png"));
    EXPECT_TRUE(shot);

    // The host's chooser reads both files; a double-click on a track hands it to the player module.
    std::vector<std::wstring> lines;
    std::thread driver([&] {
        HWND dialog = WaitForDialog(L"Media Library");
        if (!dialog) return;
        HWND tree = GetDlgItem(dialog, IDC_LIBRARY_TREE);
        Walk(tree, TreeView_GetRoot(tree), 0, lines);
        DoubleClick(tree, FindItem(tree, TreeView_GetRoot(tree), c));
        for (int i = 0; i < 250 && IsWindow(dialog); ++i) Sleep(20);
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Click(kChooseFromLibrary);
    driver.join();
    EXPECT_EQ(host->LibraryRuns(), 1);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"Evening & <Night>", L"  " + a, L"  " + c, L"Morning", L"  " + b}));
    const std::vector<BusRecord> messages = host->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].recipient, L"Vocalith");
    EXPECT_EQ(messages[0].sender, L"Tunestack");
    EXPECT_EQ(messages[0].message, L"open \"" + c + L"\"");
    EXPECT_EQ(messages[0].result, MESSAGE_OK);
    EXPECT_EQ(host->Activated(), (std::vector<std::wstring>{L"Vocalith"}));

    // A track removed from the playlist; the playlist deleted after the question is answered.
    Select(tracks, {0});
    Click(kRemoveFromPlaylist);
    EXPECT_EQ(Column(tracks, 0), (std::vector<std::wstring>{L"Gamma"}));
    std::wstring question;
    std::thread answer([&] {
        HWND box = WaitForDialog(L"Tunestack");
        if (!box) return;
        HWND text = FindWindowExW(box, nullptr, L"Static", nullptr);
        while (text && Text(text).empty()) text = FindWindowExW(box, text, L"Static", nullptr);
        if (text) question = Text(text);
        PostMessageW(box, WM_COMMAND, IDYES, 0);
    });
    Click(kDeletePlaylist);
    answer.join();
    Pump(100);
    EXPECT_EQ(question, L"Delete the playlist \"Evening & <Night>\"?\n\nThe tracks stay in the library.");
    EXPECT_EQ(Column(playlists, 0), (std::vector<std::wstring>{L"All tracks", L"Morning"}));
    saved = ReadBack();
    ASSERT_EQ(saved.Playlists().size(), 1u);
    EXPECT_EQ(saved.Files().size(), 3u);
}

TEST_F(TunestackModule, KeepsUnreadableFilesAsideAndComesBackAsLeft)
{
    CreateDirectoryW(data.substr(0, data.size() - 1).c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(data + L"fileDB.dat", "C:\\no-byte-order-mark.mp3\r\n"));
    ASSERT_TRUE(WriteBytes(data + L"playlists.xml", "<Library><playlist Name=\"cut off"));
    LoadModule();
    EXPECT_NE(Text(status).find(L"could not be read"), std::wstring::npos) << std::string(Text(status).begin(), Text(status).end());
    EXPECT_EQ(ListView_GetItemCount(tracks), 0);

    // The first change saves: the unreadable files are kept as ".bad", the new ones are whole.
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"add \"" + a + L"\" \"" + music + L"notes.txt\" \"" + music +
                                                L"missing.wav\"").c_str()),
              1);
    EXPECT_EQ(Text(status), L"Added 1 file to the library.");
    EXPECT_TRUE(Written());
    EXPECT_EQ(ReadBytes(data + L"fileDB.dat.bad"), "C:\\no-byte-order-mark.mp3\r\n");
    EXPECT_EQ(ReadBytes(data + L"playlists.xml.bad"), "<Library><playlist Name=\"cut off");
    EXPECT_EQ(SavedFiles(), (library::FileList{a}));
    Click(kNewPlaylist);
    ASSERT_TRUE(TypeLabel(playlists, L"Kept"));
    Select(playlists, {0});
    Pump(50);
    Select(tracks, {0});
    Click(kAddToPlaylist);
    Select(playlists, {1});
    Pump(50);

    // Loaded again: the same library, and the playlist shown last is shown again.
    host->Unload();
    LoadModule();
    EXPECT_EQ(Column(playlists, 0), (std::vector<std::wstring>{L"All tracks", L"Kept"}));
    EXPECT_EQ(ListView_GetNextItem(playlists, -1, LVNI_SELECTED), 1);
    EXPECT_EQ(Column(tracks, 5), (std::vector<std::wstring>{a}));
    EXPECT_EQ(Text(status), L"Kept: 1 track");
    // The ".bad" copies are not touched again by later saves.
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"open \"" + b + L"\"").c_str()), 1);
    EXPECT_TRUE(Written());
    EXPECT_EQ(ReadBytes(data + L"fileDB.dat.bad"), "C:\\no-byte-order-mark.mp3\r\n");

    // Two folders in one message are scanned one after the other.
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"addfolder \"" + music + L"sub\" \"" + music + L"\"").c_str()), 1);
    EXPECT_TRUE(PumpUntil([&] { return Text(status) == L"Added 0 files from " + music + L" (3 found)."; }, 30000))
        << Narrow(Text(status));
    EXPECT_EQ(SavedFiles(), (library::FileList{a, b, c}));

    // Dropped from the shell: a folder is scanned, a file is added, other files are not.
    host->Unload();
    RemoveTree(data);
    LoadModule();
    EXPECT_EQ(ListView_GetItemCount(tracks), 0);
    DropFiles(window, {music + L"sub", a, music + L"notes.txt"});
    EXPECT_TRUE(PumpUntil([&] { return Text(status) == L"Added 2 files from " + music + L"sub (2 found)."; }, 30000))
        << Narrow(Text(status));
    EXPECT_EQ(SavedFiles(), (library::FileList{a, b, c}));

    // Nothing chosen in the chooser (cancelled): nothing goes to the player.
    std::thread driver([&] {
        HWND dialog = WaitForDialog(L"Media Library");
        if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Click(kChooseFromLibrary);
    driver.join();
    EXPECT_TRUE(host->Messages().empty());
    EXPECT_EQ(Text(status), L"Nothing was chosen in the library.");

    // A file that cannot be replaced (a folder in its place): the failed write
    // behind the window is told and leaves no temporary file; the next change saves.
    host->Unload();
    RemoveTree(data);
    CreateDirectoryW(data.substr(0, data.size() - 1).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW((data + L"playlists.xml").c_str(), nullptr));
    LoadModule();
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"add \"" + a + L"\"").c_str()), 1);
    EXPECT_FALSE(Written());
    EXPECT_TRUE(PumpUntil([&] { return Text(status) == L"The library could not be saved to " + data + L"."; }, 5000))
        << Narrow(Text(status));
    EXPECT_EQ(GetFileAttributesW((data + L"playlists.xml.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(RemoveDirectoryW((data + L"playlists.xml").c_str()));
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"add \"" + b + L"\"").c_str()), 1);
    EXPECT_EQ(ReadBack().Files(), (std::vector<std::wstring>{a, b}));
}

namespace {

HWND g_addWindow = nullptr, g_cancel = nullptr, g_progress = nullptr;
bool g_shownWhileAdding = false, g_clicked = false;

// Clicks Cancel as the first batch a folder's worker read reaches the window.
LRESULT CALLBACK CancelOnFirstBatch(int code, WPARAM w, LPARAM l)
{
    const MSG* msg = reinterpret_cast<const MSG*>(l);
    if (code == HC_ACTION && w == PM_REMOVE && !g_clicked && msg->hwnd == g_addWindow && msg->message == WM_APP + 2) {
        g_shownWhileAdding = IsWindowVisible(g_cancel) && IsWindowVisible(g_progress);
        g_clicked = true;
        SendMessageW(g_cancel, BM_CLICK, 0, 0);
    }
    return CallNextHookEx(nullptr, code, w, l);
}

}  // namespace

// A folder of 2,000 files in nested folders added by the worker: cancelled
// half-way what was added stays (in the list and in fileDB.dat); added again,
// the rest joins with each file's tags, which sort the list even for files
// deleted since; the tags come back from the cache after a restart, read
// again for a file changed since.
TEST_F(TunestackModule, ALargeFolderIsAddedBehindWithProgressCancelAndKeptTags)
{
    const std::wstring big = music + L"big\\";
    CreateDirectoryW(big.c_str(), nullptr);
    for (int f = 0; f < 20; ++f) {
        const std::wstring folder = big + L"disc " + std::to_wstring(f) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < 100; ++i) {
            const std::string n = std::to_string(f * 100 + i);
            ASSERT_TRUE(WriteBytes(folder + L"t" + std::to_wstring(i) + L".wav", Wav("Title " + n, "Artist " + n, 441)));
        }
    }
    LoadModule();
    HWND progress = GetDlgItem(window, 41205);
    HWND cancel = GetDlgItem(window, 41011);
    ASSERT_TRUE(progress && cancel);
    EXPECT_FALSE(IsWindowVisible(cancel));
    // Cancel is clicked as the first batch of what the worker read reaches the
    // window (a small folder is read faster than a person could click).
    g_addWindow = window;
    g_cancel = cancel;
    g_progress = progress;
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CancelOnFirstBatch, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    ASSERT_TRUE(host->PassMessage(L"Main frame", (L"addfolder \"" + big + L"\"").c_str()));
    const bool stopped = PumpUntil([&] { return Text(status).rfind(L"Stopped adding", 0) == 0; }, 30000);
    UnhookWindowsHookEx(hook);
    ASSERT_TRUE(stopped) << Narrow(Text(status));
    EXPECT_TRUE(g_shownWhileAdding);
    const int kept = ListView_GetItemCount(tracks);
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 2000);
    EXPECT_EQ(Text(status), L"Stopped adding from " + big + L": " + std::to_wstring(kept) + L" files added.");
    EXPECT_EQ(SavedFiles().size(), static_cast<std::size_t>(kept));
    EXPECT_FALSE(IsWindowVisible(cancel));

    ASSERT_TRUE(host->PassMessage(L"Main frame", (L"addfolder \"" + big + L"\"").c_str()));
    ASSERT_TRUE(PumpUntil([&] { return Text(status).rfind(L"Added ", 0) == 0; }, 60000)) << Narrow(Text(status));
    EXPECT_EQ(Text(status), L"Added " + std::to_wstring(2000 - kept) + L" files from " + big + L" (2000 found).");
    ASSERT_EQ(ListView_GetItemCount(tracks), 2000);
    const auto rowOf = [&](const std::wstring& path) {
        const std::vector<std::wstring> paths = Column(tracks, 5);
        return static_cast<int>(std::find(paths.begin(), paths.end(), path) - paths.begin());
    };
    const std::wstring sample = big + L"disc 17\\t42.wav";
    int row = rowOf(sample);
    ASSERT_LT(row, 2000);
    EXPECT_EQ(Cell(tracks, row, 0), L"Title 1742");
    EXPECT_EQ(Cell(tracks, row, 1), L"Artist 1742");
    EXPECT_EQ(Cell(tracks, row, 4), L"0:00");

    // Sorted by artist with a disc's files deleted: the order comes from the
    // tags read, so those rows keep their artists and their places.
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(DeleteFileW((big + L"disc 3\\t" + std::to_wstring(i) + L".wav").c_str()));
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = tracks;
    click.hdr.idFrom = kTracks;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 1;
    SendMessageW(window, WM_NOTIFY, kTracks, reinterpret_cast<LPARAM>(&click));
    const std::vector<std::wstring> artists = Column(tracks, 1);
    ASSERT_EQ(artists.size(), 2000u);
    EXPECT_TRUE(std::is_sorted(artists.begin(), artists.end(), [](const std::wstring& x, const std::wstring& y) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.c_str(), -1, y.c_str(), -1) == CSTR_LESS_THAN;
    }));
    row = rowOf(big + L"disc 3\\t42.wav");
    ASSERT_LT(row, 2000);
    EXPECT_EQ(Cell(tracks, row, 1), L"Artist 342");
    EXPECT_EQ(Cell(tracks, row - 1, 1), L"Artist 341");

    // Back after a restart with the tags kept; a file rewritten since is read again.
    host->Unload();
    ASSERT_TRUE(WriteBytes(sample, Wav("Title 1742b", "Artist 1742", 441)));
    const std::wstring other = big + L"disc 4\\t5.wav";
    LoadModule();
    ASSERT_EQ(ListView_GetItemCount(tracks), 2000);
    row = rowOf(other);
    EXPECT_TRUE(PumpUntil([&] { return Cell(tracks, row, 0) == L"Title 405"; }, 10000));
    row = rowOf(sample);
    EXPECT_TRUE(PumpUntil([&] { return Cell(tracks, row, 0) == L"Title 1742b"; }, 30000)) << Narrow(Cell(tracks, row, 0));
}

// A playlist file of another player dropped on the window (a non-ASCII name,
// relative and absolute entries, one missing) becomes a playlist whose missing
// entry is shown as missing; the tracks sort by a column; exported as PLS and
// imported again, the same entries in the playlist's own order.
TEST_F(TunestackModule, PlaylistFilesImportedSortedAndExported)
{
    const std::wstring lists = music + L"Listen \u00fc\\";
    CreateDirectoryW(lists.c_str(), nullptr);
    const std::wstring beside = lists + L"Gr\u00fc\u00dfe \u00fc.wav";
    ASSERT_TRUE(WriteBytes(beside, Wav("Zeta", "Choir")));
    const std::string m3u8 = "#EXTM3U\r\n#EXTINF:1,Choir - Zeta\r\nGr\xC3\xBC\xC3\x9F" "e \xC3\xBC.wav\r\ngone.mp3\r\n" +
                             std::string(a.begin(), a.end()) + "\r\n";
    ASSERT_TRUE(WriteBytes(lists + L"Liste \u00fc.m3u8", m3u8));
    LoadModule();
    DropFiles(window, {lists + L"Liste \u00fc.m3u8"});
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(playlists) == 2; }, 10000));
    EXPECT_EQ(Column(playlists, 0), (std::vector<std::wstring>{L"All tracks", L"Liste \u00fc"}));
    // The entries show at once; their tags follow from the tag reader.
    EXPECT_TRUE(PumpUntil([&] { return Column(tracks, 0) == std::vector<std::wstring>{L"Zeta", L"gone (missing)", L"Alpha"}; }, 10000))
        << Narrow(Column(tracks, 0)[0]);
    EXPECT_EQ(Column(tracks, 5), (std::vector<std::wstring>{beside, lists + L"gone.mp3", a}));
    EXPECT_EQ(Text(status), L"Imported 3 tracks from " + lists + L"Liste \u00fc.m3u8 (1 missing).");

    // A click on the title's header sorts by it, a second turns the order round.
    const auto clickHeader = [&](int column) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = tracks;
        click.hdr.idFrom = kTracks;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(window, WM_NOTIFY, kTracks, reinterpret_cast<LPARAM>(&click));
    };
    clickHeader(0);
    EXPECT_EQ(Column(tracks, 0), (std::vector<std::wstring>{L"Alpha", L"gone (missing)", L"Zeta"}));
    clickHeader(0);
    EXPECT_EQ(Column(tracks, 0), (std::vector<std::wstring>{L"Zeta", L"gone (missing)", L"Alpha"}));
    clickHeader(1);
    EXPECT_EQ(Column(tracks, 1), (std::vector<std::wstring>{L"", L"Band", L"Choir"}));
    // Removing a sorted row removes that track from the playlist.
    Select(tracks, {1});
    Click(kRemoveFromPlaylist);
    EXPECT_EQ(Column(tracks, 1), (std::vector<std::wstring>{L"", L"Choir"}));
    host->OnCmdMsg(kNewPlaylist, ORVO_CN_COMMAND);
    ASSERT_TRUE(TypeLabel(playlists, L"Scratch"));
    Select(playlists, {1});
    Pump(50);

    const std::wstring exported = lists + L"Export \u00fc.pls";
    std::thread driver([&] {
        HWND dialog = fw::testing::WaitForProcessWindow(0, L"#32770", L"Export Playlist File", 10000, false);
        if (!dialog) return;
        Sleep(300);
        SetDlgItemTextW(dialog, 0x480, exported.c_str());
        SetDlgItemTextW(dialog, 0x47C, exported.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    host->OnCmdMsg(kExportPlaylist, ORVO_CN_COMMAND);
    driver.join();
    const std::string pls = ReadBytes(exported);
    EXPECT_NE(pls.find("File1=Gr"), std::string::npos) << pls;   // beside the playlist: relative
    EXPECT_NE(pls.find("File2=gone.mp3"), std::string::npos) << pls;
    EXPECT_NE(pls.find("Title1=Choir "), std::string::npos) << pls;
    EXPECT_NE(pls.find("Length1=1\r\n"), std::string::npos) << pls;
    EXPECT_NE(pls.find("NumberOfEntries=2"), std::string::npos) << pls;
    EXPECT_EQ(host->PassMessage(L"Main frame", (L"add \"" + exported + L"\"").c_str()), 1);
    EXPECT_EQ(Text(status), L"Imported 2 tracks from " + exported + L" (1 missing).");
    EXPECT_EQ(Column(playlists, 0), (std::vector<std::wstring>{L"All tracks", L"Liste \u00fc", L"Scratch", L"Export \u00fc"}));
    // Both entries, the missing one too, shown in the order of the column sorted above.
    std::vector<std::wstring> imported = Column(tracks, 5);
    std::sort(imported.begin(), imported.end());
    std::vector<std::wstring> expected = {beside, lists + L"gone.mp3"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(imported, expected);
}

// The skin's toolbar of the module: made from the program's skin, a real
// click on its "New playlist" adds a playlist, no toolbar without the
// element, and a skin change replaces it (the old one gone).
TEST_F(TunestackModule, TheSkinsToolbarRunsItsCommandsAndFollowsSkinChanges)
{
    constexpr int kToolbar = 0x7F00;
    ASSERT_TRUE(host->SetSkin(MD_SKINS_DIR L"/Midnight-eng.xml"));
    LoadModule();
    // Where the windows of the controls' own tests do not lie: real mouse clicks.
    SetWindowPos(host->Frame(), HWND_TOP, 10, 380, 900, 420, SWP_NOACTIVATE);
    Pump(50);
    HWND bar = GetDlgItem(window, kToolbar);
    ASSERT_TRUE(bar);
    EXPECT_TRUE(IsWindowVisible(bar));
    // The toolbar stands for the module's own buttons; the lists start below it.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, kNewPlaylist)));
    RECT barRect = {}, listRect = {};
    GetWindowRect(bar, &barRect);
    GetWindowRect(playlists, &listRect);
    EXPECT_GE(listRect.top, barRect.bottom);
    HWND newPlaylist = GetDlgItem(bar, kNewPlaylist);
    ASSERT_TRUE(newPlaylist);
    const int before = ListView_GetItemCount(playlists);
    ASSERT_TRUE(fw::testing::ClickWindowCentre(newPlaylist));
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(playlists) == before + 1; }, 10000));
    if (HWND edit = ListView_GetEditControl(playlists)) SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump(50);

    const auto toolbars = [&] {
        int count = 0;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (GetDlgCtrlID(child) == kToolbar) ++count;
        return count;
    };
    // A skin without the element: no toolbar, the buttons are back.
    ASSERT_TRUE(host->SetSkin(L""));
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_EQ(toolbars(), 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, kNewPlaylist)));
    // Another skin: one new toolbar.
    ASSERT_TRUE(host->SetSkin(MD_SKINS_DIR L"/Daylight-eng.xml"));
    EXPECT_EQ(toolbars(), 1);
    HWND again = GetDlgItem(window, kToolbar);
    ASSERT_TRUE(again);
    ASSERT_TRUE(host->SetSkin(MD_SKINS_DIR L"/Midnight-eng.xml"));
    EXPECT_FALSE(IsWindow(again));
    EXPECT_EQ(toolbars(), 1);
}
