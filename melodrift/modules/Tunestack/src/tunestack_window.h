// The Tunestack window inside the frame: the library's playlists on the left
// ("All tracks" first), the tracks of the chosen entry on the right, buttons
// along the top. Every change is saved at once (library_store.h).
#pragma once

#include "host/host_interfaces.h"
#include "library_store.h"
#include "module_colors.h"
#include "module_toolbar.h"

#include <commctrl.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tunestack {

extern const wchar_t kModuleName[];   // "Tunestack"

// Command identifiers (menu items, buttons and accelerators).
enum : UINT {
    ID_TS_ADD_FOLDER = 41001,
    ID_TS_NEW_PLAYLIST = 41002,
    ID_TS_RENAME_PLAYLIST = 41003,
    ID_TS_DELETE_PLAYLIST = 41004,
    ID_TS_ADD_TO_PLAYLIST = 41005,
    ID_TS_REMOVE_FROM_PLAYLIST = 41006,
    ID_TS_CHOOSE_FROM_LIBRARY = 41007,
    ID_TS_PLAY_SELECTED = 41008,
    ID_TS_IMPORT_PLAYLIST = 41009,
    ID_TS_EXPORT_PLAYLIST = 41010,
};

// Control identifiers.
enum : UINT {
    IDC_TS_PLAYLISTS = 41201,
    IDC_TS_TRACKS = 41202,
    IDC_TS_TARGET = 41203,   // the playlist "Add to playlist" adds to
    IDC_TS_STATUS = 41204,
};

class CTunestackWindow {
public:
    CTunestackWindow(HINSTANCE instance, IQueryInterface* host);
    ~CTunestackWindow();
    CTunestackWindow(const CTunestackWindow&) = delete;
    CTunestackWindow& operator=(const CTunestackWindow&) = delete;

    HWND Create(HWND parent);
    HWND Window() const { return m_hwnd; }
    HMENU Menu() const { return m_menu; }
    HACCEL Accelerators() const { return m_accel; }

    // A command from the menu, a button or an accelerator; false when it is not ours.
    bool OnCommand(UINT id);
    // Whether the command can run now; false when it is not ours.
    bool QueryCommand(UINT id, bool& enabled) const;
    // "addfolder" with folder names, "add"/"open" with file names.
    bool OnBusMessage(const wchar_t* sender, const wchar_t* message);
    // The skin changed: the skin's toolbar of the module is made again.
    void LoadSkin();

    // Scans `folder` on a worker thread for supported files and adds them
    // when the scan is done (folders asked for meanwhile wait their turn);
    // false when the folder does not exist.
    bool AddFolder(const std::wstring& folder);
    bool Scanning() const { return m_scanning; }
    // Adds the files; the number added. Playlist files (M3U, M3U8, PLS) among
    // them are imported instead.
    int AddFiles(const std::vector<std::wstring>& paths);
    // A playlist file of another player as a new playlist of the library (its
    // missing entries too, shown as missing); false when it cannot be read.
    bool ImportPlaylist(const std::wstring& path);
    // The playlist shown (or all tracks) as a playlist file; false when it cannot be written.
    bool ExportPlaylist(const std::wstring& path);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(NMHDR* header);
    void Layout();
    void PlaceLists(int top);

    void Save();
    void RefreshPlaylists(int select);
    void ShowEntry(int entry);
    void RefreshTarget();
    std::vector<std::int32_t> SelectedFileIds() const;
    std::vector<int> SelectedRows() const;
    XmlNode* CurrentPlaylist();
    const TrackInfo& InfoFor(std::int32_t id);
    bool IsMissing(std::int32_t id);
    // The title column: the tag's title, else the file name; "(missing)" after a missing file.
    std::wstring TitleFor(std::int32_t id);
    // The rows in the order of the chosen column (tunestack_playlists.cpp).
    void SortRows();
    void OnImportPlaylist();
    void OnExportPlaylist();
    void SetStatus(const std::wstring& text);
    void HandToPlayer(const std::vector<std::wstring>& paths);
    std::wstring ReadSetting(const wchar_t* key) const;
    void WriteSetting(const wchar_t* key, const std::wstring& value);

    void OnAddFolder();
    void StartNextScan();
    void OnScanDone();
    void OnNewPlaylist();
    void OnRenamePlaylist();
    void OnDeletePlaylist();
    void OnAddToPlaylist();
    void OnRemoveFromPlaylist();
    void OnChooseFromLibrary();

    HINSTANCE m_instance;
    IQueryInterface* m_host;
    IApplication* m_app = nullptr;
    IModuleCom* m_com = nullptr;
    HWND m_hwnd = nullptr;
    HWND m_playlists = nullptr;
    HWND m_tracks = nullptr;
    HWND m_target = nullptr;
    HWND m_status = nullptr;
    std::vector<HWND> m_buttons;
    orvo::CModuleColors m_colors;     // the skin's colours of the window and its controls
    orvo::CModuleToolbar m_toolbar;   // when the skin gives one, it stands for the buttons
    HMENU m_menu = nullptr;
    HACCEL m_accel = nullptr;
    HFONT m_font = nullptr;

    Library m_library;
    LibraryStore m_store;
    int m_entry = 0;                        // 0 all tracks, i > 0 the (i-1)-th playlist
    std::vector<std::int32_t> m_rows;       // file identifier of each row of the track list
    std::vector<std::size_t> m_rowIndex;    // each row's place among the playlist's tracks
    int m_sortColumn = -1;                  // -1: the playlist's own order
    bool m_sortDescending = false;
    std::vector<std::int8_t> m_missing;     // per file: -1 not yet looked at, 0 there, 1 missing
    std::vector<std::optional<TrackInfo>> m_info;   // read when first shown
    TrackInfo m_unknown;

    // The folder scan.
    std::thread m_scanner;
    std::atomic<bool> m_cancelScan{false};
    bool m_scanning = false;
    std::deque<std::wstring> m_waitingFolders;
    std::wstring m_scannedFolder;
    std::vector<std::wstring> m_scannedFiles;   // handed over under m_scanLock
    std::mutex m_scanLock;
};

}  // namespace tunestack
