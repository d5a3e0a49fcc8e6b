#include "vocalith_window.h"

#include "morph_files.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

namespace vocalith {

namespace {

const wchar_t kClassName[] = L"VocalithPlaylistWindow";

struct ButtonSpec {
    const wchar_t* text;
    UINT id;
};
const ButtonSpec kButtons[] = {
    {L"Previous", ORVO_CMD_PREVIOUS}, {L"Play", ORVO_CMD_PLAY},         {L"Pause", ORVO_CMD_PAUSE},
    {L"Stop", ORVO_CMD_STOP},         {L"Next", ORVO_CMD_NEXT},         {L"Add...", kIdAdd},
    {L"Library...", kIdLibrary},      {L"Remove", kIdRemove},
};

}  // namespace

CVocalith::CVocalith(HINSTANCE instance, IQueryInterface* host) : m_instance(instance), m_host(host) {
    InitializeCriticalSection(&m_nextLock);
    if (m_host) {
        m_app = m_host->GetApplication();
        m_player = m_host->GetPlayer();
    }
}

CVocalith::~CVocalith() {
    for (CTrackSource& source : m_sources) source.Close();
    if (m_window && IsWindow(m_window)) DestroyWindow(m_window);
    if (m_menu) DestroyMenu(m_menu);
    if (m_accel) DestroyAcceleratorTable(m_accel);
    if (m_font) DeleteObject(m_font);
    DeleteCriticalSection(&m_nextLock);
}

HWND CVocalith::Create(HWND parent) {
    // The skin's colours before any control is made, so that none is ever drawn in others.
    m_colors.Load(m_host);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CVocalith::WindowProc;
    wc.hInstance = m_instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(m_instance, kClassName, &existing) && !RegisterClassExW(&wc)) return nullptr;
    RECT area = {0, 0, 480, 320};
    if (parent) GetClientRect(parent, &area);
    m_window = CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, kName, WS_CHILD | WS_CLIPCHILDREN, 0, 0,
                               std::max<LONG>(area.right, 200), std::max<LONG>(area.bottom, 150), parent, nullptr,
                               m_instance, this);
    if (!m_window) return nullptr;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        m_font = CreateFontIndirectW(&metrics.lfMessageFont);
    m_title = CreateWindowExW(0, L"STATIC", L"No track", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0,
                              0, 10, 10, m_window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kIdTitle)),
                              m_instance, nullptr);
    m_time = CreateWindowExW(0, L"STATIC", L"0:00 / 0:00", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 10, 10, m_window,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kIdTime)), m_instance, nullptr);
    // Drawn by the window, so that the chosen track stands in the skin's highlight. It keeps
    // no rows of its own (a list of any length shows at once): a row's text is the window's.
    m_list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"Playlist",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                                 LBS_OWNERDRAWFIXED | LBS_NODATA | LBS_EXTENDEDSEL,
                             0, 0,
                             10, 10, m_window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kIdList)), m_instance,
                             nullptr);
    if (m_list) {
        // Said to hold strings once made (the list made itself without any): LB_GETTEXT
        // from another process (a screen reader, say) is then given the row's text.
        SetWindowLongPtrW(m_list, GWL_STYLE, GetWindowLongPtrW(m_list, GWL_STYLE) | LBS_HASSTRINGS);
        SetWindowLongPtrW(m_list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CVocalith::ListProc)));
    }
    for (const ButtonSpec& b : kButtons) m_buttons.push_back(AddButton(b.text, b.id));
    for (HWND child : {m_title, m_time, m_list}) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), 0);
    // Its rows as high as the font's lines.
    if (HDC dc = GetDC(m_list)) {
        HGDIOBJ old = SelectObject(dc, m_font ? static_cast<HGDIOBJ>(m_font) : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW text = {};
        if (GetTextMetricsW(dc, &text)) SendMessageW(m_list, LB_SETITEMHEIGHT, 0, text.tmHeight + 2);
        SelectObject(dc, old);
        ReleaseDC(m_list, dc);
    }
    DragAcceptFiles(m_window, TRUE);
    m_toolbar.Load(m_window, m_host, kName);
    m_colors.Apply(m_window);
    m_morph.Initialize(m_host, kName, m_instance, m_window);
    m_morph.SetChangeListener(&CVocalith::OnEffectsChanged, this);
    m_reader.SetWindow(m_window, kMsgInfoRead);
    LoadList();
    Layout();
    return m_window;
}

HWND CVocalith::AddButton(const wchar_t* text, UINT id) {
    HWND button = CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 10, 10,
                                  m_window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), m_instance, nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), 0);
    return button;
}

void CVocalith::Layout() {
    // WM_SIZE comes already while the window is being created, before its controls.
    if (!m_window || !m_list || m_buttons.empty()) return;
    RECT r;
    GetClientRect(m_window, &r);
    const int margin = 8, line = 20, buttonH = 26;
    const int width = std::max<int>(r.right - 2 * margin, 50);
    // The skin's toolbar, when there is one, holds the commands of the buttons.
    const int top = m_toolbar.Place(r.right);
    const bool buttons = !m_toolbar.Exists();
    MoveWindow(m_title, margin, top + margin, width - 150, line, TRUE);
    m_timeRight = margin + width;
    m_timeTop = top + margin;
    PlaceTime();
    const int buttonsY = top + margin + line + 6;
    const int count = static_cast<int>(m_buttons.size());
    const int bw = std::max(40, (width - (count - 1) * 4) / count);
    for (int i = 0; i < count; ++i) {
        MoveWindow(m_buttons[i], margin + i * (bw + 4), buttonsY, bw, buttonH, TRUE);
        ShowWindow(m_buttons[i], buttons ? SW_SHOWNA : SW_HIDE);
    }
    const int listY = buttons ? buttonsY + buttonH + 6 : buttonsY;
    MoveWindow(m_list, margin, listY, width, std::max<int>(r.bottom - listY - margin, 20), TRUE);
}

// The time stands right-aligned at the end of the title row, as wide as its text
// (measured here: a right-aligned static may cut the last pixels of its text).
void CVocalith::PlaceTime() {
    if (!m_time) return;
    wchar_t text[64] = {};
    const int length = GetWindowTextW(m_time, text, 64);
    SIZE extent = {0, 0};
    if (HDC dc = GetDC(m_time)) {
        HGDIOBJ old = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, text, length, &extent);
        SelectObject(dc, old);
        ReleaseDC(m_time, dc);
    }
    const int width = std::min(140, static_cast<int>(extent.cx) + 4);
    MoveWindow(m_time, m_timeRight - width, m_timeTop, width, 20, TRUE);
}

HMENU CVocalith::GetMenu() {
    if (!m_menu) {
        m_menu = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, kIdAdd, L"Add Files to Playlist...\tCtrl+O");
        AppendMenuW(file, MF_STRING, kIdLibrary, L"Add from Library...\tCtrl+L");
        AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(file, MF_STRING, kIdOpenPlaylist, L"Open Playlist...");
        AppendMenuW(file, MF_STRING, kIdSavePlaylist, L"Save Playlist As...");
        AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
        HMENU edit = CreatePopupMenu();
        AppendMenuW(edit, MF_STRING, kIdRemove, L"Remove from Playlist\tDel");
        AppendMenuW(edit, MF_STRING, kIdClear, L"Clear Playlist");
        AppendMenuW(m_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"Edit");
        // The effects: merged by the frame into its "Morph" menu.
        m_morph.AppendMenu(m_menu);
        int morph = GetMenuItemCount(m_menu) - 1;
        if (HMENU popup = morph >= 2 ? GetSubMenu(m_menu, morph) : nullptr) {
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(popup, MF_STRING, kIdMorphBeside, L"Morphed Files Beside Originals");
            AppendMenuW(popup, MF_STRING, kIdMorphFolder, L"Morphed Files Folder...");
        }
    }
    return m_menu;
}

HACCEL CVocalith::GetAccelerators() {
    if (!m_accel) {
        ACCEL keys[] = {
            {FCONTROL | FVIRTKEY, 'O', static_cast<WORD>(kIdAdd)},
            {FCONTROL | FVIRTKEY, 'L', static_cast<WORD>(kIdLibrary)},
            {FVIRTKEY, VK_DELETE, static_cast<WORD>(kIdRemove)},
        };
        m_accel = CreateAcceleratorTableW(keys, static_cast<int>(sizeof(keys) / sizeof(keys[0])));
    }
    return m_accel;
}

void CVocalith::OnActivate(bool active) {
    if (!m_window) return;
    if (active) {
        Layout();
        ShowWindow(m_window, SW_SHOW);
    } else {
        ShowWindow(m_window, SW_HIDE);
        // The host deactivates a module before it lets it go, and only then
        // would a write still on its way be refused.
        FinishSaving();
    }
}

void CVocalith::OnLoadSkin() {
    m_colors.Load(m_host);
    if (m_window) {
        m_toolbar.Load(m_window, m_host, kName);
        Layout();
        m_colors.Apply(m_window);
    }
}

int CVocalith::OnBusMessage(const wchar_t* sender, const wchar_t* message) {
    if (m_morph.OnBusMessage(sender, message)) return 1;
    std::vector<std::wstring> names;
    bool addOnly = false;
    if (!message || !ParseOpenMessage(message, names, &addOnly)) return 0;
    if (!m_window) return 0;
    // The bus may call on any thread; the window's thread does the work.
    SendMessageW(m_window, kMsgOpenFiles, addOnly ? 1 : 0, reinterpret_cast<LPARAM>(&names));
    return 1;
}

bool CVocalith::HandleOwnCommand(UINT id) {
    switch (id) {
    case ORVO_CMD_PREVIOUS: Previous(); return true;
    case ORVO_CMD_PLAY: Play(); return true;
    case ORVO_CMD_PAUSE: Pause(); return true;
    case ORVO_CMD_STOP: Stop(); return true;
    case ORVO_CMD_NEXT: Next(); return true;
    case kIdAdd: ChooseFiles(); return true;
    case kIdLibrary: ChooseFromLibrary(); return true;
    case kIdOpenPlaylist: ChoosePlaylistToOpen(); return true;
    case kIdSavePlaylist: ChoosePlaylistToSave(); return true;
    case kIdRemove: {
        std::vector<int> selected = SelectedTracks();
        for (auto at = selected.rbegin(); at != selected.rend(); ++at) RemoveTrack(*at);
        return true;
    }
    case kIdClear:
        Stop();
        m_playlist.Clear();
        RefreshList();
        SaveList();
        return true;
    case kIdPlaySelected: {
        int selected = FocusedTrack();
        if (selected >= 0) PlayTrack(selected);
        return true;
    }
    case orvo::kCmdMorphFiles: MorphSelectedFiles(); return true;
    case kIdMorphFolder: ChooseMorphFolder(); return true;
    case kIdMorphBeside:
        if (m_app) m_app->WriteSetting(kName, L"MorphFolder", L"");
        return true;
    default: return false;
    }
}

int CVocalith::OnCommand(UINT id, int code, void* extra, bool queryOnly) {
    bool enabled = true;
    int check = -1;
    const bool effects = m_morph.Query(id, enabled, check);
    const bool ours = id == kIdAdd || id == kIdLibrary || id == kIdRemove || id == kIdClear ||
                      id == kIdOpenPlaylist || id == kIdSavePlaylist || id == orvo::kCmdMorphFiles ||
                      id == kIdMorphFolder || id == kIdMorphBeside;
    if (!ours && !effects) return 0;
    if (queryOnly) return 1;
    if (code == ORVO_CN_UPDATE_COMMAND_UI) {
        if (auto* state = static_cast<ORVO_CMD_UI*>(extra)) {
            state->Check = -1;
            if (effects) {
                state->Enabled = enabled ? TRUE : FALSE;
                state->Check = check;
            } else if (id == kIdRemove) {
                state->Enabled = !SelectedTracks().empty();
            } else if (id == kIdClear || id == kIdSavePlaylist) {
                state->Enabled = !m_playlist.Empty();
            } else if (id == orvo::kCmdMorphFiles) {
                state->Enabled = m_morph.HasEffects() ? TRUE : FALSE;
            } else if (id == kIdMorphBeside || id == kIdMorphFolder) {
                state->Enabled = m_morph.Link().Loaded() ? TRUE : FALSE;
                state->Check = (id == kIdMorphBeside) == MorphFolder().empty() ? 1 : 0;
            } else {
                state->Enabled = TRUE;
            }
        }
        return 1;
    }
    if (code != ORVO_CN_COMMAND) return 0;
    if (effects) m_morph.OnCommand(id);
    else HandleOwnCommand(id);
    return 1;
}

// ---- Morphing files -------------------------------------------------------------

std::wstring CVocalith::MorphFolder() const {
    std::vector<wchar_t> folder(32768, L'\0');
    if (!m_app || !m_app->ReadSetting(kName, L"MorphFolder", folder.data(), static_cast<int>(folder.size()))) return {};
    return folder.data();
}

void CVocalith::ChooseMorphFolder() {
    BROWSEINFOW info = {};
    info.hwndOwner = GetAncestor(m_window, GA_ROOT);
    info.lpszTitle = L"The folder for morphed files";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path) && m_app) m_app->WriteSetting(kName, L"MorphFolder", path);
    CoTaskMemFree(chosen);
}

void CVocalith::MorphSelectedFiles() {
    if (!m_morph.HasEffects()) {
        SetError(L"Choose an effect in the Morph menu first.");
        return;
    }
    std::vector<std::wstring> files;
    for (int index : SelectedTracks())
        if (index < m_playlist.Count()) files.push_back(m_playlist.At(index));
    if (files.empty()) {
        // None chosen in the list: the user names them.
        files = ChooseAudioFiles(GetAncestor(m_window, GA_ROOT), L"Morph Files", VOCALITH_AUDIO_FILTER L"All files (*.*)\0*.*\0");
    }
    if (files.empty()) return;
    MorphOutcome outcome =
        MorphFiles(m_instance, GetAncestor(m_window, GA_ROOT), m_morph.Link(), m_morph.Choice(), files, MorphFolder());
    if (m_app)
        m_app->ShowStatusText((std::to_wstring(outcome.written.size()) + L" of " + std::to_wstring(files.size()) +
                               L" files morphed").c_str(), 5000);
}

void CVocalith::ShowTrackInfo() {
    std::wstring title = L"No track";
    if (m_playing >= 0 && m_playing < m_playlist.Count()) {
        const std::wstring& path = m_playlist.At(m_playing);
        title = TrackName(path);
        const mediatags::MediaTags& tags = TagsFor(path).tags;
        if (!tags.album.empty())
            title += L"  (" + tags.album + (tags.track > 0 ? L", track " + std::to_wstring(tags.track) : L"") + L")";
    }
    SetWindowTextW(m_title, title.c_str());
    ShowTime();
}

void CVocalith::ShowTime() {
    std::int64_t total = 0, at = 0;
    if (Source().IsOpen() && Source().Rate() > 0) {
        total = Source().TotalFrames();
        at = Source().Position();
        // What has been read is ahead of what is heard: while the engine plays
        // the track, the time follows its play cursor.
        const int state = m_player && OwnsPlayer() ? m_player->GetState() : ORVO_PLAYER_STOPPED;
        if (state == ORVO_PLAYER_PLAYING || state == ORVO_PLAYER_PAUSED) at = m_startFrame + m_player->GetPlayedFrames();
        at = std::clamp<std::int64_t>(at, 0, total);
    }
    const int rate = std::max(1, Source().Rate());
    std::wstring text = FormatTime(at / rate) + L" / " + FormatTime(total / rate);
    SetWindowTextW(m_time, text.c_str());
    PlaceTime();
    if (m_player && total > 0 && OwnsPlayer()) {
        const LPARAM position = static_cast<LPARAM>(at * m_player->GetPositionRange() / total);
        HWND root = GetAncestor(m_window, GA_ROOT);
        if (root && root != m_window) SendMessageW(root, WM_COMMAND, ORVO_CMD_POSITION, position);
    }
}

void CVocalith::SetError(const std::wstring& text) {
    if (m_app) m_app->ShowStatusText(text.c_str(), 5000);
}

// ---- Window procedure ----------------------------------------------------------

LRESULT CALLBACK CVocalith::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    CVocalith* self = reinterpret_cast<CVocalith*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CVocalith*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = window;
    }
    if (!self) return DefWindowProcW(window, message, w, l);
    LRESULT result = self->Handle(message, w, l);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
    }
    return result;
}

LRESULT CVocalith::Handle(UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DRAWITEM && w == kIdList && l)
        ReadFirst(static_cast<int>(reinterpret_cast<const DRAWITEMSTRUCT*>(l)->itemID));
    LRESULT coloured = 0;
    if (m_colors.Handle(m_window, message, w, l, coloured)) return coloured;
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case kMsgInfoRead:
        TakeInfo();
        return 0;
    case WM_COMMAND: {
        const UINT id = LOWORD(w);
        if (w == ORVO_CMD_POSITION) {   // the frame's position slider was moved
            SeekTo(static_cast<int>(l));
            return 0;
        }
        if (id == kIdList && HIWORD(w) == LBN_DBLCLK) {
            HandleOwnCommand(kIdPlaySelected);
            return 0;
        }
        if (HIWORD(w) == BN_CLICKED || HIWORD(w) == 0 || HIWORD(w) == 1) {
            if (HandleOwnCommand(id)) return 0;
        }
        break;
    }
    case WM_TIMER:
        if (w == kUiTimer) {
            ShowTime();
            m_morph.CheckFailure();
            return 0;
        }
        break;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(w);
        std::vector<std::wstring> files;
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            UINT length = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring name(length + 1, L'\0');
            DragQueryFileW(drop, i, name.data(), length + 1);
            name.resize(length);
            files.push_back(name);
        }
        DragFinish(drop);
        AddFiles(files, false);
        return 0;
    }
    case kMsgOpenFiles: {
        const auto* names = reinterpret_cast<const std::vector<std::wstring>*>(l);
        if (names) AddFiles(*names, w == 0);
        return 0;
    }
    case kMsgTrackAdvanced: {
        // The player's thread went on into the armed track: it is the one playing now.
        const int index = m_nextIndex;
        DisarmNext();   // closes the finished one
        if (static_cast<LONG>(w) != m_generation || index < 0 || index >= m_playlist.Count()) return 0;
        m_playing = index;
        m_playlist.SetCurrent(index);
        // The time follows the engine's count of frames played since the start.
        m_startFrame -= static_cast<std::int64_t>(l);
        if (m_app) m_app->SetStatusText((L"Playing " + TrackName(m_playlist.At(index))).c_str());
        SelectTrack(index);
        SaveList();
        ShowTrackInfo();
        ArmNext();
        return 0;
    }
    case kMsgSkipFailed: {
        // Unless something else was started since the track failed.
        if (m_playing >= 0 || static_cast<LONG>(w) != m_generation) return 0;
        const bool shuffle = m_player && m_player->GetShuffle();
        const bool repeat = m_player && m_player->GetRepeat();
        const int next = m_playlist.Next(shuffle, repeat);
        if (next >= 0) PlayTrack(next);
        else m_failures = 0;
        return 0;
    }
    case kMsgTrackEnded: {
        // The engine has stopped by itself; pick the next track (unless the
        // notice is about a track that has been replaced since).
        if (m_playing < 0 || static_cast<LONG>(w) != m_generation) return 0;
        const bool shuffle = m_player && m_player->GetShuffle();
        const bool repeat = m_player && m_player->GetRepeat();
        const int next = m_playlist.Next(shuffle, repeat);
        if (next >= 0) {
            PlayTrack(next);
        } else {
            Stop();
        }
        return 0;
    }
    case ORVO_WM_PLAYER_ACQUIRED:
        return 0;
    case ORVO_WM_PLAYER_RELEASED:
        // Another module took the player: this one's playback is over.
        KillTimer(m_window, kUiTimer);
        DisarmNext();
        Source().Close();
        m_playing = -1;
        ShowTrackInfo();
        return 0;
    case WM_DESTROY:
        KillTimer(m_window, kUiTimer);
        // Here, not later: the module may be unloaded before its object goes.
        m_reader.Stop();
        FinishSaving();
        // The module is going away: the player must not call into it again.
        if (m_player && m_callbackSet) {
            if (OwnsPlayer()) m_player->Stop();
            m_player->SetDataCallback(nullptr, 0);
        }
        break;
    default: break;
    }
    return DefWindowProcW(m_window, message, w, l);
}

}  // namespace vocalith
