// The Tunestack window inside the frame: the library's playlists on the left
// ("All tracks" first), the tracks of the chosen entry on the right, buttons
// along the top. Every change is saved at once (library_store.h), written
// behind the window.
#pragma once

#include "latest_writer.h"
#include "library_store.h"
#include "module_window.h"
#include "track_sort.h"

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

// Command identifiers (menu items, buttons and accelerators), in the module's range.
enum : UINT {
    ID_TS_ADD_FOLDER = orvo::kTunestackCommands.first + 1,
    ID_TS_NEW_PLAYLIST = orvo::kTunestackCommands.first + 2,
    ID_TS_RENAME_PLAYLIST = orvo::kTunestackCommands.first + 3,
    ID_TS_DELETE_PLAYLIST = orvo::kTunestackCommands.first + 4,
    ID_TS_ADD_TO_PLAYLIST = orvo::kTunestackCommands.first + 5,
    ID_TS_REMOVE_FROM_PLAYLIST = orvo::kTunestackCommands.first + 6,
    ID_TS_CHOOSE_FROM_LIBRARY = orvo::kTunestackCommands.first + 7,
    ID_TS_PLAY_SELECTED = orvo::kTunestackCommands.first + 8,
    ID_TS_IMPORT_PLAYLIST = orvo::kTunestackCommands.first + 9,
    ID_TS_EXPORT_PLAYLIST = orvo::kTunestackCommands.first + 10,
    ID_TS_CANCEL_ADD = orvo::kTunestackCommands.first + 11,   // stops adding a folder; what was added stays
};

// Control identifiers.
enum : UINT {
    IDC_TS_PLAYLISTS = orvo::kTunestackCommands.first + 201,
    IDC_TS_TRACKS = orvo::kTunestackCommands.first + 202,
    IDC_TS_TARGET = orvo::kTunestackCommands.first + 203,     // the playlist "Add to playlist" adds to
    IDC_TS_STATUS = orvo::kTunestackCommands.first + 204,
    IDC_TS_PROGRESS = orvo::kTunestackCommands.first + 205,   // shown while a folder is added
};

class CTunestackWindow : public orvo::CModuleWindow<CTunestackWindow> {
public:
    CTunestackWindow(HINSTANCE instance, IQueryInterface* host);
    ~CTunestackWindow();

    HWND Create(HWND parent);

    // A command from the menu, a button or an accelerator; false when it is not ours.
    bool OnCommand(UINT id);
    // Whether the command can run now; false when it is not ours.
    bool QueryCommand(UINT id, bool& enabled) const;
    // "addfolder" with folder names, "add"/"open" with file names.
    bool OnBusMessage(const wchar_t* sender, const wchar_t* message);

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
    friend class orvo::CModuleWindow<CTunestackWindow>;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void ArrangeForSkin() { Layout(); }
    // The workers end with the window.
    void OnWindowDestroy();
    LRESULT OnNotify(NMHDR* header);
    void Layout();
    void PlaceLists(int top);

    // Hands both files of the library to their writer; a failure is told on the status line.
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

    void OnAddFolder();
    void StartNextScan();
    void OnScanDone();
    // The progress of the add and the rows it added so far, on the progress timer.
    void ShowScanProgress();
    // Tells the track list how many rows there are now (a costly call on some
    // systems: made with the progress, not for each batch).
    void TellRowCount();
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

    IModuleCom* m_com = nullptr;
    HWND m_playlists = nullptr;
    HWND m_tracks = nullptr;
    HWND m_target = nullptr;
    HWND m_status = nullptr;
    std::vector<HWND> m_buttons;

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
    TrackSorter m_sorter;                   // keeps each file's sort keys until its tags change
    bool m_cacheDirty = false;
    LatestWriter m_cacheWriter;             // writes tagcache.dat
    LatestWriter m_libraryWriter;           // writes fileDB.dat and playlists.xml (m_store)
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
