// The Tunestack window.
#include "tunestack_window.h"

#include "tunestack_window_parts.h"

#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>

namespace tunestack {

const wchar_t kModuleName[] = L"Tunestack";

namespace {

const wchar_t kWindowClass[] = L"TunestackWindow";
const wchar_t kNewPlaylist[] = L"New playlist";

struct ButtonDef {
    UINT id;
    const wchar_t* text;
    int width;
};
const ButtonDef kButtons[] = {
    {ID_TS_ADD_FOLDER, L"Add folder...", 96},
    {ID_TS_NEW_PLAYLIST, L"New playlist", 90},
    {ID_TS_RENAME_PLAYLIST, L"Rename", 64},
    {ID_TS_DELETE_PLAYLIST, L"Delete playlist", 100},
    {ID_TS_ADD_TO_PLAYLIST, L"Add to playlist", 100},
    {ID_TS_REMOVE_FROM_PLAYLIST, L"Remove from playlist", 136},
    {ID_TS_CHOOSE_FROM_LIBRARY, L"Choose from library...", 140},
};

constexpr int kMargin = 6;
constexpr int kButtonHeight = 26;
constexpr int kStatusHeight = 20;
constexpr int kPlaylistWidth = 200;

}  // namespace

CTunestackWindow::CTunestackWindow(HINSTANCE instance, IQueryInterface* host)
    : CModuleWindow(instance, host, kModuleName), m_store(std::wstring())
{
    if (m_host) m_com = m_host->GetModuleCom();
    std::wstring programFolder;
    if (m_app && m_app->GetProgramFolder()) programFolder = m_app->GetProgramFolder();
    m_store = LibraryStore(DataFolder(programFolder));
}

CTunestackWindow::~CTunestackWindow()
{
    StopWorkers();
    if (m_cacheDirty) SaveTagCache();
    DestroyModuleWindow();
}

HWND CTunestackWindow::Create(HWND parent)
{
    if (!CreateModuleWindow(parent, kWindowClass, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS, 760, 480))
        return nullptr;
    DragAcceptFiles(m_hwnd, TRUE);
    const auto font = [&](HWND child) { SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE); };
    for (const ButtonDef& def : kButtons) {
        HWND button = CreateWindowExW(0, L"BUTTON", def.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0,
                                      def.width, kButtonHeight, m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(def.id)),
                                      m_instance, nullptr);
        font(button);
        m_buttons.push_back(button);
    }
    m_target = CreateWindowExW(0, L"COMBOBOX", L"Playlist to add to", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                               0, 0, 150, 200, m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TS_TARGET)), m_instance, nullptr);
    font(m_target);
    m_playlists = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"Playlists",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                      LVS_EDITLABELS | LVS_NOSORTHEADER,
                                  0, 0, kPlaylistWidth, 300, m_hwnd,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TS_PLAYLISTS)), m_instance, nullptr);
    font(m_playlists);
    ListView_SetExtendedListViewStyle(m_playlists, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = kPlaylistWidth - 24;
    column.pszText = const_cast<wchar_t*>(L"Library");
    ListView_InsertColumn(m_playlists, 0, &column);

    m_tracks = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"Tracks",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, 0, 0, 400,
                               300, m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TS_TRACKS)), m_instance, nullptr);
    font(m_tracks);
    ListView_SetExtendedListViewStyle(m_tracks, LVS_EX_FULLROWSELECT);
    const struct {
        const wchar_t* text;
        int width;
    } columns[] = {{L"Title", 180}, {L"Artist", 120}, {L"Album", 120}, {L"Track", 44}, {L"Length", 56}, {L"Path", 320}};
    for (int i = 0; i < 6; ++i) {
        column.cx = columns[i].width;
        column.pszText = const_cast<wchar_t*>(columns[i].text);
        ListView_InsertColumn(m_tracks, i, &column);
    }
    m_status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 0, 400,
                               kStatusHeight, m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TS_STATUS)),
                               m_instance, nullptr);
    font(m_status);
    m_progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 0, 0, 160, kStatusHeight, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_TS_PROGRESS)), m_instance, nullptr);
    m_cancel = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 64, kStatusHeight,
                               m_hwnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ID_TS_CANCEL_ADD)), m_instance, nullptr);
    font(m_cancel);

    // The menu the frame merges in, and the accelerators.
    m_menu = orvo::MakeModuleMenu(L"&Library", {
        {ID_TS_ADD_FOLDER, L"&Add folder...\tCtrl+O"},
        {0, nullptr},
        {ID_TS_NEW_PLAYLIST, L"&New playlist\tCtrl+N"},
        {ID_TS_RENAME_PLAYLIST, L"&Rename playlist\tF2"},
        {ID_TS_DELETE_PLAYLIST, L"&Delete playlist"},
        {0, nullptr},
        {ID_TS_ADD_TO_PLAYLIST, L"Add &to playlist"},
        {ID_TS_REMOVE_FROM_PLAYLIST, L"Re&move from playlist"},
        {ID_TS_IMPORT_PLAYLIST, L"&Import playlist file..."},
        {ID_TS_EXPORT_PLAYLIST, L"&Export playlist file..."},
        {0, nullptr},
        {ID_TS_PLAY_SELECTED, L"&Play selected\tEnter"},
        {ID_TS_CHOOSE_FROM_LIBRARY, L"&Choose from library...\tCtrl+L"},
    });
    m_accel = orvo::MakeModuleAccelerators({
        {FCONTROL | FVIRTKEY, 'O', static_cast<WORD>(ID_TS_ADD_FOLDER)},
        {FCONTROL | FVIRTKEY, 'N', static_cast<WORD>(ID_TS_NEW_PLAYLIST)},
        {FVIRTKEY, VK_F2, static_cast<WORD>(ID_TS_RENAME_PLAYLIST)},
        {FCONTROL | FVIRTKEY, 'L', static_cast<WORD>(ID_TS_CHOOSE_FROM_LIBRARY)},
    });

    const bool loaded = m_store.Load(m_library);
    HWND window = m_hwnd;
    m_libraryWriter.OnWritten([window](bool ok) {
        if (!ok) PostMessageW(window, kSaveFailed, 0, 0);
    });
    m_info.assign(m_library.Files().size(), std::nullopt);
    LoadTagCache();
    StartTagReader();
    // The entry shown last time, by playlist name.
    int select = 0;
    const std::wstring last = ReadSetting(L"Playlist");
    const auto playlists = m_library.Playlists();
    for (std::size_t i = 0; i < playlists.size() && !last.empty(); ++i) {
        const std::wstring* name = playlists[i]->Attribute(L"Name");
        if (name && *name == last) {
            select = static_cast<int>(i) + 1;
            break;
        }
    }
    RefreshPlaylists(select);
    ShowSkin();
    if (!loaded) {
        SetStatus(L"The library files in " + m_store.Folder() +
                  L" could not be read; they will be kept as \".bad\" files when the library is next saved.");
    }
    return m_hwnd;
}

void CTunestackWindow::OnWindowDestroy()
{
    // The workers end with the window: the module's own destruction may
    // come while the system's loader lock is held, where no thread may be waited for.
    StopWorkers();
    if (m_cacheDirty) SaveTagCache();
    m_cacheWriter.Finish();
    m_libraryWriter.Finish();
}

LRESULT CTunestackWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case kScanDone:
        OnScanDone();
        return 0;
    case kResults:
        TakeResults();
        return 0;
    case kSaveFailed:
        SetStatus(L"The library could not be saved to " + m_store.Folder() + L".");
        return 0;
    case kFinishWrites:
        m_libraryWriter.Finish();
        m_cacheWriter.Finish();
        return m_libraryWriter.Failed() ? 0 : 1;
    case WM_TIMER:
        if (wParam == kProgressTimer) {
            ShowScanProgress();
            return 0;
        }
        break;
    case WM_DROPFILES: {
        // Files dropped from the shell join the library; folders are scanned.
        auto drop = reinterpret_cast<HDROP>(wParam);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        std::vector<std::wstring> files;
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring path(length + 1, L'\0');
            DragQueryFileW(drop, i, path.data(), length + 1);
            path.resize(length);
            const DWORD attributes = GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) AddFolder(path);
            else if (mediatags::IsPlaylistFileName(path)) ImportPlaylist(path);
            else files.push_back(path);
        }
        DragFinish(drop);
        if (!files.empty()) {
            const int added = AddFiles(files);
            if (!m_scanning) {
                SetStatus(L"Added " + std::to_wstring(added) + (added == 1 ? L" file" : L" files") + L" to the library.");
            }
        }
        return 0;
    }
    case WM_SETCURSOR:
        if (m_scanning && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void CTunestackWindow::Layout()
{
    if (!m_hwnd || !m_tracks) return;
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    const int bar = m_toolbar.Place(static_cast<int>(client.right));
    for (HWND button : m_buttons) ShowWindow(button, bar ? SW_HIDE : SW_SHOWNA);
    int x = kMargin;
    int y = kMargin;
    if (bar) {
        // The skin's toolbar holds the commands; the playlist to add to stands at
        // its right end when there is room beside its buttons, else below it.
        int buttonsRight = 0;
        for (HWND child = GetWindow(m_toolbar.Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rc = {};
            GetWindowRect(child, &rc);
            MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rc), 2);
            buttonsRight = std::max(buttonsRight, static_cast<int>(rc.right));
        }
        RECT combo = {};
        GetWindowRect(m_target, &combo);
        const int comboHeight = combo.bottom - combo.top;
        const int comboX = static_cast<int>(client.right) - kMargin - 150;
        const bool beside = comboX >= buttonsRight + kMargin;
        SetWindowPos(m_target, HWND_TOP, beside ? comboX : kMargin,
                     beside ? (bar - comboHeight) / 2 : bar + kMargin, 150, 200, SWP_NOACTIVATE);
        PlaceLists(beside ? bar + kMargin : bar + kMargin + comboHeight + kMargin);
        return;
    }
    // The buttons run in rows as wide as the window allows.
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const bool withTarget = kButtons[i].id == ID_TS_ADD_TO_PLAYLIST;
        const int width = kButtons[i].width + (withTarget ? 154 : 0);
        if (x > kMargin && x + width > client.right - kMargin) {
            x = kMargin;
            y += kButtonHeight + 4;
        }
        MoveWindow(m_buttons[i], x, y, kButtons[i].width, kButtonHeight, TRUE);
        x += kButtons[i].width + 4;
        if (withTarget) {
            // The playlist to add to stands right after its button.
            MoveWindow(m_target, x, y + 2, 150, 200, TRUE);
            x += 154;
        }
    }
    PlaceLists(y + kButtonHeight + kMargin);
}

// The two lists side by side from `top` down to the status line.
void CTunestackWindow::PlaceLists(int top)
{
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    const int bottom = std::max(top + 40, static_cast<int>(client.bottom) - kMargin - kStatusHeight - 4);
    const int right = std::max(kPlaylistWidth + 3 * kMargin + 40, static_cast<int>(client.right) - kMargin);
    MoveWindow(m_playlists, kMargin, top, kPlaylistWidth, bottom - top, TRUE);
    MoveWindow(m_tracks, kMargin * 2 + kPlaylistWidth, top, right - (kMargin * 2 + kPlaylistWidth), bottom - top, TRUE);
    // While a folder is added, its progress and Cancel stand at the right of the status line.
    const int progressWidth = m_scanning ? 160 + 4 + 64 + 4 : 0;
    MoveWindow(m_status, kMargin, bottom + 4, right - kMargin - progressWidth, kStatusHeight, TRUE);
    MoveWindow(m_progress, right - 64 - 4 - 160, bottom + 4, 160, kStatusHeight, TRUE);
    MoveWindow(m_cancel, right - 64, bottom + 4, 64, kStatusHeight, TRUE);
    ShowWindow(m_progress, m_scanning ? SW_SHOWNA : SW_HIDE);
    ShowWindow(m_cancel, m_scanning ? SW_SHOWNA : SW_HIDE);
}

void CTunestackWindow::SetStatus(const std::wstring& text)
{
    if (m_status) SetWindowTextW(m_status, text.c_str());
}

// Sends the files to the module that opens files ("AutoOpen" of the host,
// "Vocalith" unless set) on the bus and brings it to the front.
void CTunestackWindow::HandToPlayer(const std::vector<std::wstring>& paths)
{
    if (paths.empty()) return;
    std::wstring player = L"Vocalith";
    wchar_t buffer[261] = {};
    if (m_app && m_app->ReadSetting(L"Main frame", L"AutoOpen", buffer, 261) && buffer[0]) player = buffer;
    if (!m_com) return;
    const std::wstring message = MakeBusCommand(L"open", paths);
    const int result = m_com->SendMessage(player.c_str(), kModuleName, message.c_str());
    if (result == MESSAGE_OK) {
        if (m_app) m_app->ActivateModule(player.c_str());
        SetStatus(paths.size() == 1 ? L"Sent to " + player + L": " + paths[0]
                                    : L"Sent " + std::to_wstring(paths.size()) + L" tracks to " + player + L".");
    } else {
        SetStatus(L"The module " + player + L" did not take the tracks.");
    }
}

// ---- Commands -------------------------------------------------------------------------------------

bool CTunestackWindow::OnCommand(UINT id)
{
    switch (id) {
    case ID_TS_ADD_FOLDER: OnAddFolder(); return true;
    case ID_TS_NEW_PLAYLIST: OnNewPlaylist(); return true;
    case ID_TS_RENAME_PLAYLIST: OnRenamePlaylist(); return true;
    case ID_TS_DELETE_PLAYLIST: OnDeletePlaylist(); return true;
    case ID_TS_ADD_TO_PLAYLIST: OnAddToPlaylist(); return true;
    case ID_TS_REMOVE_FROM_PLAYLIST: OnRemoveFromPlaylist(); return true;
    case ID_TS_CHOOSE_FROM_LIBRARY: OnChooseFromLibrary(); return true;
    case ID_TS_IMPORT_PLAYLIST: OnImportPlaylist(); return true;
    case ID_TS_EXPORT_PLAYLIST: OnExportPlaylist(); return true;
    case ID_TS_CANCEL_ADD: CancelAdd(); return true;
    case ID_TS_PLAY_SELECTED: {
        std::vector<std::wstring> paths;
        for (std::int32_t fileId : SelectedFileIds()) paths.push_back(m_library.Files()[static_cast<std::size_t>(fileId)]);
        HandToPlayer(paths);
        return true;
    }
    default: return false;
    }
}

bool CTunestackWindow::QueryCommand(UINT id, bool& enabled) const
{
    const bool playlist = m_entry > 0;
    const bool selection = ListView_GetSelectedCount(m_tracks) > 0;
    switch (id) {
    case ID_TS_ADD_FOLDER: enabled = !m_scanning; return true;
    case ID_TS_CANCEL_ADD: enabled = m_scanning; return true;
    case ID_TS_NEW_PLAYLIST:
    case ID_TS_IMPORT_PLAYLIST:
    case ID_TS_CHOOSE_FROM_LIBRARY: enabled = true; return true;
    case ID_TS_EXPORT_PLAYLIST: enabled = !m_rows.empty(); return true;
    case ID_TS_RENAME_PLAYLIST:
    case ID_TS_DELETE_PLAYLIST: enabled = playlist; return true;
    case ID_TS_ADD_TO_PLAYLIST: enabled = selection && SendMessageW(m_target, CB_GETCURSEL, 0, 0) >= 0; return true;
    case ID_TS_REMOVE_FROM_PLAYLIST: enabled = playlist && selection; return true;
    case ID_TS_PLAY_SELECTED: enabled = selection; return true;
    default: return false;
    }
}

int CTunestackWindow::AddFiles(const std::vector<std::wstring>& paths)
{
    const std::size_t before = m_library.Files().size();
    for (const std::wstring& path : paths) {
        if (mediatags::IsPlaylistFileName(path)) {
            ImportPlaylist(path);
            continue;
        }
        if (!IsSupportedAudioFile(path)) continue;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        m_library.AddFile(path);
    }
    const int added = static_cast<int>(m_library.Files().size() - before);
    if (added > 0) {
        Save();
        m_info.resize(m_library.Files().size());
        ShowEntry(m_entry);
    }
    return added;
}

void CTunestackWindow::OnNewPlaylist()
{
    // A name no playlist has yet: "New playlist", "New playlist 2", ...
    std::wstring name = kNewPlaylist;
    for (int n = 2;; ++n) {
        bool taken = false;
        for (XmlNode* playlist : m_library.Playlists()) {
            const std::wstring* existing = playlist->Attribute(L"Name");
            if (existing && *existing == name) taken = true;
        }
        if (!taken) break;
        name = std::wstring(kNewPlaylist) + L" " + std::to_wstring(n);
    }
    m_library.AddPlaylist(name);
    Save();
    const int entry = static_cast<int>(m_library.Playlists().size());
    RefreshPlaylists(entry);
    WriteSetting(L"Playlist", name);
    // The user types the real name at once.
    SetFocus(m_playlists);
    ListView_EditLabel(m_playlists, entry);
}

void CTunestackWindow::OnRenamePlaylist()
{
    if (m_entry <= 0) return;
    SetFocus(m_playlists);
    ListView_EditLabel(m_playlists, m_entry);
}

void CTunestackWindow::OnDeletePlaylist()
{
    XmlNode* playlist = CurrentPlaylist();
    if (!playlist) return;
    const std::wstring* name = playlist->Attribute(L"Name");
    const std::wstring question = L"Delete the playlist \"" + (name ? *name : std::wstring()) +
                                  L"\"?\n\nThe tracks stay in the library.";
    if (MessageBoxW(GetAncestor(m_hwnd, GA_ROOT), question.c_str(), kModuleName, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    const int entry = m_entry;
    m_library.RemovePlaylist(playlist);
    Save();
    RefreshPlaylists(entry - 1);
}

void CTunestackWindow::OnAddToPlaylist()
{
    const int target = static_cast<int>(SendMessageW(m_target, CB_GETCURSEL, 0, 0));
    const auto playlists = m_library.Playlists();
    if (target < 0 || static_cast<std::size_t>(target) >= playlists.size()) {
        SetStatus(L"Make a playlist first, then choose it beside \"Add to playlist\".");
        return;
    }
    const std::vector<std::int32_t> ids = SelectedFileIds();
    if (ids.empty()) {
        SetStatus(L"Select the tracks to add first.");
        return;
    }
    XmlNode& playlist = *playlists[static_cast<std::size_t>(target)];
    for (std::int32_t fileId : ids) m_library.AddTrack(playlist, fileId);
    Save();
    const std::wstring* name = playlist.Attribute(L"Name");
    if (m_entry == target + 1) ShowEntry(m_entry);
    SetStatus(L"Added " + std::to_wstring(ids.size()) + (ids.size() == 1 ? L" track" : L" tracks") + L" to " +
              (name ? *name : std::wstring()) + L".");
}

void CTunestackWindow::OnRemoveFromPlaylist()
{
    XmlNode* playlist = CurrentPlaylist();
    if (!playlist) return;
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    std::sort(rows.rbegin(), rows.rend());
    // Rows stand in the order of the sorted column: each removes its own place in the playlist.
    std::vector<std::size_t> places;
    for (int row : rows)
        if (static_cast<std::size_t>(row) < m_rowIndex.size()) places.push_back(m_rowIndex[static_cast<std::size_t>(row)]);
    std::sort(places.rbegin(), places.rend());
    for (std::size_t place : places) m_library.RemoveTrack(*playlist, place);
    Save();
    ShowEntry(m_entry);
}

void CTunestackWindow::OnChooseFromLibrary()
{
    if (!m_app) return;
    const ORVO_TEXT_LIST* chosen = m_app->ChooseFromLibrary();
    std::vector<std::wstring> paths;
    if (chosen && chosen->Items) {
        for (int i = 0; i < chosen->Count; ++i) {
            if (chosen->Items[i] && chosen->Items[i][0]) paths.push_back(chosen->Items[i]);
        }
    }
    if (paths.empty()) {
        SetStatus(L"Nothing was chosen in the library.");
        return;
    }
    HandToPlayer(paths);
}

bool CTunestackWindow::OnBusMessage(const wchar_t*, const wchar_t* message)
{
    if (!message) return false;
    const BusCommand command = ParseBusCommand(message);
    if (command.verb == L"addfolder") {
        if (command.names.empty()) return false;
        bool any = false;
        for (const std::wstring& folder : command.names) any = AddFolder(folder) || any;
        return any;
    }
    if (command.verb == L"add" || command.verb == L"open") {
        if (command.names.empty()) return false;
        // Playlist files become playlists; the other files join the library.
        std::vector<std::wstring> files;
        for (const std::wstring& name : command.names) {
            if (mediatags::IsPlaylistFileName(name)) ImportPlaylist(name);
            else files.push_back(name);
        }
        if (files.empty()) return true;
        const int added = AddFiles(files);
        SetStatus(L"Added " + std::to_wstring(added) + (added == 1 ? L" file" : L" files") + L" to the library.");
        return true;
    }
    return false;
}

}  // namespace tunestack
