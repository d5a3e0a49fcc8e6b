// Tunestack's files on disk: the data folder the host's library chooser reads
// from, whole-file reads, writes that replace a file only once the new
// content is complete on disk, the recursive folder scan and the tags of one
// file.
#pragma once

#include "tunestack/library_files.h"
#include "tunestack/track_info.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunestack {

// <all users' application data>\Corvena\<product folder>\, the product folder
// named by "Name" of [General] in appdatadefault.ini in the program folder
// ("Cantorel Voro 5.0" when absent or not a plain folder name). Both levels
// are created when missing. Ends with a backslash.
std::wstring DataFolder(const std::wstring& programFolder);

// The whole file; false when it does not exist or cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);
// Writes "<path>.tmp", flushes it and moves it over `path`; on any failure
// the old file stays untouched and the temporary file is removed.
bool WriteFileAtomically(const std::wstring& path, const std::string& bytes);

// A supported audio file found by WalkFolder, with the size and the time of
// the last write the folder listing gave for it.
struct WalkedFile {
    std::wstring path;
    std::uint64_t size = 0;
    std::uint64_t time = 0;
};

// What a walk could not do; each kind is told once when the walk is over.
struct WalkProblems {
    int unreadableFolders = 0;   // listing refused (no access, gone meanwhile)
    int links = 0;               // links to folders, not followed
    int loops = 0;               // a folder met again under another name
};

// Every supported audio file under `folder` (sub-folders included, links to
// folders not followed, no folder walked twice), sorted by path. Stops after
// `limit` files, or early (with what it found so far) when `cancel` becomes
// true. `onFolder` is told each folder as the walk enters it and how many
// files were found so far.
std::vector<WalkedFile> WalkFolder(const std::wstring& folder, WalkProblems& problems, std::size_t limit = 100000,
                                   const std::atomic<bool>* cancel = nullptr,
                                   const std::function<void(const std::wstring&, std::size_t)>& onFolder = {});

// The tags of a file on disk, its head read in one go; false when it cannot
// be opened (gone since it was listed, say).
bool ReadFileTrackInfo(const std::wstring& path, TrackInfo& info);

// Loads and saves the two files of the data folder. A file that exists but
// cannot be read as its format is kept: before the first save over it, it is
// moved aside to "<name>.bad", so nothing the user had is lost silently.
class LibraryStore {
public:
    explicit LibraryStore(std::wstring folder);

    const std::wstring& Folder() const { return m_folder; }
    std::wstring FileListPath() const { return m_folder + L"fileDB.dat"; }
    std::wstring PlaylistsPath() const { return m_folder + L"playlists.xml"; }

    // Reads both files into `library`; false when one of them existed but was unreadable.
    bool Load(Library& library);
    // Writes both files (the bytes of Library::FileListBytes and
    // PlaylistsBytes); false when one of them could not be written. After
    // Load, only one thread at a time may save.
    bool Save(const std::string& fileList, const std::string& playlists);
    bool HadBadFile() const { return m_badFileList || m_badPlaylists; }

private:
    bool SaveOne(const std::wstring& path, const std::string& bytes, bool& bad);

    std::wstring m_folder;
    bool m_badFileList = false;
    bool m_badPlaylists = false;
};

}  // namespace tunestack
