// The player module's window: the playlist, the title and time of the
// current track, the buttons, the module menu and accelerators, files
// dropped on it, and playback through the host's player.
#pragma once

#include "core/playlist.h"
#include "host/command_ranges.h"
#include "host/host_interfaces.h"
#include "latest_writer.h"
#include "mediatags/media_tags.h"
#include "module_colors.h"
#include "module_toolbar.h"
#include "morph_controller.h"
#include "track_info_reader.h"
#include "track_source.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace vocalith {

// Window messages of the module's own.
constexpr UINT kMsgTrackEnded = WM_APP + 1;   // posted from the player's thread
constexpr UINT kMsgOpenFiles = WM_APP + 2;    // lParam: const std::vector<std::wstring>*; wParam 1: list only
constexpr UINT kMsgSkipFailed = WM_APP + 3;   // a track could not be played: on to the next
constexpr UINT kMsgTrackAdvanced = WM_APP + 4; // the player went on into the next track without a gap
constexpr UINT kMsgInfoRead = WM_APP + 5;     // the track info reader has read some files

// Control identifiers.
enum : UINT {
    kIdTitle = 1001,
    kIdTime = 1002,
    kIdList = 1003,
};

// Command identifiers, in the module's own range (command_ranges.h): the frame
// shows the Morph pop-up of every module whichever is active, and routes its
// items by their numbers.
enum : UINT {
    kIdAdd = orvo::kVocalithCommands.first + 1,
    kIdLibrary = orvo::kVocalithCommands.first + 2,
    kIdRemove = orvo::kVocalithCommands.first + 3,
    kIdClear = orvo::kVocalithCommands.first + 4,
    kIdPlaySelected = orvo::kVocalithCommands.first + 5,
    kIdOpenPlaylist = orvo::kVocalithCommands.first + 6,
    kIdSavePlaylist = orvo::kVocalithCommands.first + 7,
    kIdMorphFolder = orvo::kVocalithCommands.first + 10,   // the folder morphed files go to
    kIdMorphBeside = orvo::kVocalithCommands.first + 11,   // morphed files beside their originals
};

// Every format the player plays, for the file choosers.
#define VOCALITH_AUDIO_FILTER                                                                 \
    L"Audio files (*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.mp4;*.wma)\0"     \
    L"*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.mp4;*.wma\0"

// The open-file dialog for several files of `filter` (VOCALITH_AUDIO_FILTER and
// more, NUL-separated, ending in two NULs) over `owner`: the chosen paths, none
// when it was cancelled.
std::vector<std::wstring> ChooseAudioFiles(HWND owner, const wchar_t* title, const wchar_t* filter);

class CVocalith {
public:
    static constexpr const wchar_t* kName = L"Vocalith";
    static constexpr UINT_PTR kUiTimer = 1;

    CVocalith(HINSTANCE instance, IQueryInterface* host);
    ~CVocalith();
    CVocalith(const CVocalith&) = delete;
    CVocalith& operator=(const CVocalith&) = delete;

    HWND Create(HWND parent);
    HWND Window() const { return m_window; }
    HMENU GetMenu();
    HACCEL GetAccelerators();
    void OnActivate(bool active);
    // Waits until the list's settings handed to the writer are written: the
    // host takes them only from a module it still holds.
    void FinishSaving();
    void OnLoadSkin();
    // The bus: "open" (or "add", which only lists them) with quoted names; 1 when taken.
    int OnBusMessage(const wchar_t* sender, const wchar_t* message);
    // A command routed by the frame (code 0), or a state request (code -1).
    int OnCommand(UINT id, int code, void* extra, bool queryOnly);
    // Keyboard navigation of the module's own windows.
    bool PreTranslate(MSG* msg) { return m_morph.PreTranslate(msg); }

    // Playlist operations (also used by the tests through the window).
    void AddFiles(const std::vector<std::wstring>& files, bool playFirst);
    void RemoveTrack(int index);
    bool PlayTrack(int index);
    void Next();
    void Previous();
    void Stop();
    void Pause();
    void Play();
    void SeekTo(int position);   // 0 .. the host's position range

    const CPlaylist& Playlist() const { return m_playlist; }
    int PlayingIndex() const { return m_playing; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static int __cdecl Fill(UINT_PTR user, ORVO_SAMPLE_BLOCK* block, int reserved);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void Layout();
    void RefreshList();
    void ShowTrackInfo();
    void ShowTime();
    void PlaceTime();
    void SaveList();
    void LoadList();
    // On the writer's thread: the settings made as `wanted`, only what changed written.
    bool WriteList(const std::map<std::wstring, std::wstring>& wanted);
    void SetError(const std::wstring& text);
    void ChooseFiles();
    void ChooseFromLibrary();
    bool OwnsPlayer();
    bool SetOutputFormat();
    HWND AddButton(const wchar_t* text, UINT id);
    bool HandleOwnCommand(UINT id);
    // No gap between tracks: while a track plays, the next one of the list
    // (in order, not shuffled) is opened beside it when it has the same rate
    // and channel count; the player's thread reads on into it in the same
    // block when the first ends. Window's thread only.
    CTrackSource& Source() { return m_sources[m_current]; }
    const CTrackSource& Source() const { return m_sources[m_current]; }
    void ArmNext();
    void DisarmNext();
    // The player's thread: the block's rest from the next track; frames added.
    int ReadOnIntoNext(ORVO_SAMPLE_BLOCK* block, int filled);
    // The tracks chosen in the list (several may be).
    std::vector<int> SelectedTracks() const;
    int FocusedTrack() const;
    void SelectTrack(int index);
    // The chosen tracks (or files asked for) morphed with the current effects.
    void MorphSelectedFiles();
    void ChooseMorphFolder();
    std::wstring MorphFolder() const;

    // What was given to the player lately, as read (before the effects), so
    // that a change of the effects is heard at once: the player gives back
    // what it held ahead and it is given again through the new effects.
    // Made afresh (window's thread, player stopped) for each start of playback.
    void ResetReplay();
    // The player's notice that it takes `frames` back: those it gets again (feeder's thread).
    int TakeBack(int frames);
    int ReplayRead(float* const* channels, int capacity);
    void KeepForReplay(const float* const* channels, int frames);
    static void OnEffectsChanged(void* self);

    // Tags and playlist files (vocalith_playlists.cpp).
    struct TrackTags {
        mediatags::MediaTags tags;
        bool missing = false;
        bool read = false;             // the file was looked at (its tags, or that it is missing)
        bool asked = false;            // asked of the reader ahead of the rest (its row was drawn)
        std::wstring listedTitle;      // a playlist file's title for the entry
        std::int64_t listedSeconds = -1;
    };
    // The track's tags, read here and now when they are not yet (to play it, say).
    const TrackTags& TagsFor(const std::wstring& path);
    // What is known of the track without reading it.
    TrackTags& KnownTags(const std::wstring& path);
    // "Artist – Title" (the file name without tags), "(missing)" after a file
    // that is not there, the length after a tab; from what is known.
    std::wstring ListLine(const std::wstring& path);
    std::wstring TrackName(const std::wstring& path);
    static std::wstring NameOf(const TrackTags& t, const std::wstring& path);
    // The list's tracks from `from` on that are not read yet, to the reader.
    void ReadBehind(int from);
    // A row drawn: its track read ahead of the rest.
    void ReadFirst(int row);
    // What the reader read, into the list's rows.
    void TakeInfo();
    // The rows drawn again, from what is known now.
    void RedrawRows();
    // The list's own procedure before ListProc: the list keeps no text, a row's
    // text is asked of the window (LB_GETTEXT) when it is drawn.
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM w, LPARAM l);
    WNDPROC m_listProc = nullptr;
    // Files with each playlist file among them replaced by its entries.
    std::vector<std::wstring> ExpandPlaylists(const std::vector<std::wstring>& files);
    bool SavePlaylist(const std::wstring& path);
    void ChoosePlaylistToOpen();
    void ChoosePlaylistToSave();

    HINSTANCE m_instance;
    IQueryInterface* m_host;
    IApplication* m_app = nullptr;
    IPlayer* m_player = nullptr;
    HWND m_window = nullptr;
    HWND m_title = nullptr;
    HWND m_time = nullptr;
    int m_timeRight = 0, m_timeTop = 0;   // where the time's right edge and top stand
    HWND m_list = nullptr;
    std::vector<HWND> m_buttons;    // shown when the skin gives the module no toolbar
    orvo::CModuleToolbar m_toolbar;
    HMENU m_menu = nullptr;
    HACCEL m_accel = nullptr;
    HFONT m_font = nullptr;
    orvo::CModuleColors m_colors;   // the skin's colours of the window and its controls
    CPlaylist m_playlist;
    CTrackSource m_sources[2];            // the playing track, and the next one when armed
    volatile LONG m_current = 0;          // which of them plays
    CRITICAL_SECTION m_nextLock;          // the switch against arming and disarming
    bool m_nextArmed = false;
    int m_nextIndex = -1;
    int m_playing = -1;   // the track the source holds, or -1
    std::int64_t m_startFrame = 0;    // where in the track the engine last started
    volatile LONG m_generation = 0;   // counts the starts and stops of playback
    volatile LONG m_callbackSet = 0;  // the player holds this module's data callback
    bool m_restoring = false;
    orvo::CMorphController m_morph;   // the effects on what is played, their menu and window
    // The replay ring (interleaved, the source's format): frames given in all,
    // and of the last of them those to be given again.
    std::vector<float> m_replay, m_primer;
    int m_replayCapacity = 0, m_replayChannels = 0, m_replayRate = 0;
    std::int64_t m_replayEnd = 0, m_replayBack = 0;
    std::map<std::wstring, TrackTags> m_tags;   // by path
    // The list's settings: as last handed to the writer (or read), and as the
    // writer last wrote them (its own thread's, but while it is finished).
    std::map<std::wstring, std::wstring> m_saved, m_written;
    module_common::LatestWriter m_listWriter;   // writes the list's settings
    CTrackInfoReader m_reader;
    int m_failures = 0;                         // tracks that failed one after another
};

}  // namespace vocalith
