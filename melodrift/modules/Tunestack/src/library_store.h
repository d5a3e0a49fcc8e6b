// Tunestack's files on disk: the data folder the host's library chooser reads
// from, whole-file reads, writes that replace a file only once the new
// content is complete on disk, the recursive folder scan and the tags of one
// file.
#pragma once

#include "tunestack/library_files.h"
#include "tunestack/track_info.h"

#include <windows.h>

#include <atomic>
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

// Every supported audio file under `folder` (sub-folders included, links to
// folders not followed), sorted by path. Stops after `limit` files, or early
// (with what it found so far) when `cancel` becomes true.
std::vector<std::wstring> ScanFolder(const std::wstring& folder, std::size_t limit = 100000,
                                     const std::atomic<bool>* cancel = nullptr);

// The tags of a file on disk (an empty record when it cannot be opened).
TrackInfo ReadFileTrackInfo(const std::wstring& path);

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
    // Writes both files; false when one of them could not be written.
    bool Save(const Library& library);
    bool HadBadFile() const { return m_badFileList || m_badPlaylists; }

private:
    bool SaveOne(const std::wstring& path, const std::string& bytes, bool& bad);

    std::wstring m_folder;
    bool m_badFileList = false;
    bool m_badPlaylists = false;
};

}  // namespace tunestack
