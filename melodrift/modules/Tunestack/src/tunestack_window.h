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
#include <condition_variable>
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
    ID_TS_CANCEL_ADD = 41011,   // stops adding a folder; what was added stays
};

// Control identifiers.
enum : UINT {
    IDC_TS_PLAYLISTS = 41201,
    IDC_TS_TRACKS = 41202,
    IDC_TS_TARGET = 41203,   // the playlist "Add to playlist" adds to
    IDC_TS_STATUS = 41204,
    IDC_TS_PROGRESS = 41205,   // shown while a folder is added
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

    // Walks `folder` on a worker thread for supported files, reads each
    // one's tags there and adds them in batches as they come, with a progress
    // bar and Cancel (folders asked for meanwhile wait their turn); false when
    // the folder does not exist.
    bool AddFolder(const std::wstring& folder);
    bool Scanning() const { return m_scanning; }
    // Stops adding; what was added so far stays in the library.
    void CancelAdd();
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
    // The file's tags as far as they are known; unknown ones are asked of the
    // tag reader (rows on screen first) and an empty record is given meanwhile.
    const TrackInfo& InfoFor(std::int32_t id);
    // The same, read here and now when not yet known (for an export).
    const TrackInfo& InfoNow(std::int32_t id);
    // Known missing (seen so by an import or the tag reader); no file is looked at.
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
    void ShowScanProgress();
    // Takes what the workers read: scanned files join the library, tags read
    // for files already in it are kept; the list is told once.
    void TakeResults();
    void SetInfo(std::int32_t id, const TrackInfo& info, std::uint64_t size, std::uint64_t time);
    void LoadTagCache();
    void SaveTagCache();
    void StartTagReader();
    void StopWorkers();
    std::wstring TagCachePath() const { return m_store.Folder() + L"tagcache.dat"; }
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
    std::vector<std::int8_t> m_missing;     // per file: -1 not known, 0 there, 1 missing
    std::vector<std::optional<TrackInfo>> m_info;   // per file, from the cache or the tag reader
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_stamps;   // size and write time the tags were read at
    std::vector<std::uint8_t> m_asked;     // per file: already asked of the tag reader
    std::vector<std::string> m_sortKeys[6];   // per column and file, made when first sorted by
    bool m_cacheDirty = false;
    TrackInfo m_unknown;

    // What a worker read, handed to the window's thread in batches (kResults).
    struct ReadResult {
        std::wstring path;
        TrackInfo info;
        std::uint64_t size = 0;
        std::uint64_t time = 0;
        bool scanned = false;   // from a folder being added: joins the library
        bool gone = false;      // the file is not there (tag reader only)
    };
    std::mutex m_resultLock;
    std::vector<ReadResult> m_results;
    bool m_resultsPosted = false;
    std::condition_variable m_resultSpace;   // the window took what was read
    void HandOverResults(std::vector<ReadResult>& batch, bool waitForRoom, HWND window);

    // The folder scan.
    std::thread m_scanner;
    std::atomic<bool> m_cancelScan{false};
    bool m_scanning = false;
    std::deque<std::wstring> m_waitingFolders;
    std::wstring m_scanRoot;                     // the folder being added
    std::atomic<std::size_t> m_scanFound{0};     // files found by the walk so far
    std::atomic<std::size_t> m_scanTotal{0};     // files to read, once the walk is over
    std::atomic<std::size_t> m_scanRead{0};
    std::size_t m_scanAdded = 0;                 // joined the library (window's thread)
    std::mutex m_scanLock;
    std::wstring m_scanFolderNow;                // under m_scanLock
    WalkProblems m_scanProblems;                 // under m_scanLock, once the walk is over
    std::size_t m_scanGone = 0;                  // under m_scanLock: vanished before being read
    HWND m_progress = nullptr;
    HWND m_cancel = nullptr;

    // The tag reader: files of the library whose tags are not known or may be stale.
    struct TagRequest {
        std::wstring path;
        std::uint64_t size = 0;
        std::uint64_t time = 0;
        bool stamped = false;   // the tags are known: read again only when size or time differ
    };
    std::thread m_tagThread;
    std::mutex m_tagLock;
    std::condition_variable m_tagWake;
    std::deque<TagRequest> m_tagWanted;
    bool m_tagStop = false;
};

}  // namespace tunestack
