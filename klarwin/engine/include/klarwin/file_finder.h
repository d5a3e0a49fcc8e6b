// CFileFinder: a folder search, optionally recursive, that collects the full
// paths of every entry matching a mask and reports its progress through a
// callback. A search can be stopped from another thread.
//
// Order: in a recursive search the subfolders of a folder are searched (depth
// first, in enumeration order) before the folder's own matches, so the events
// of a folder come after all events of its subfolders. Folders that are links
// to other places (junctions, symbolic links) are not entered: they would
// report the same files twice, or loop. Only entries whose own name matches
// the mask are found (not those the system matches by their short name).
//
// A search can be tied to a flag of its owner (SetRunningFlag): it then also
// ends as soon as that flag is false, so a stop request made before the
// search starts (which clears the finder's own stop flag) is not lost.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "fw/array.h"
#include "klarwin/path_text.h"

class CFileFinder;

// Event codes handed to the callback.
constexpr int kFinderFileFound = 0;      // a match was appended (the newest entry of the found list)
constexpr int kFinderFolderStarted = 2;  // the matches of the current folder are about to be searched

using FileFinderCallback = void (*)(CFileFinder* finder, int event, void* userData);

class CFileFinder {
public:
    CFileFinder() = default;
    CFileFinder(const CFileFinder&) = delete;
    CFileFinder& operator=(const CFileFinder&) = delete;

    void SetCallback(FileFinderCallback callback, void* userData) {
        m_callback = callback;
        m_userData = userData;
    }

    // Runs a search and returns the size of the found list afterwards. The list
    // is appended to, not cleared; the stop flag is cleared when the search starts.
    int FindFiles(const std::wstring& baseFolder, const std::wstring& mask, bool recursive);

    // Ends a running search at its next step. Safe from any thread.
    void StopSearch() { m_stop.store(true); }
    bool IsStopped() const { return m_stop.load() || (m_running && !m_running->load()); }
    // A flag owned by the caller that must stay true while searches go on
    // (null: none).
    void SetRunningFlag(const std::atomic<bool>* running) { m_running = running; }

    int GetFoundCount() const { return m_found.GetSize(); }
    // The found entry as a path (an empty path outside the list); a folder has a
    // trailing backslash.
    CPath GetFoundPath(int index) const;
    const std::wstring& GetFoundText(int index) const { return m_found[index]; }
    const std::wstring& GetLastFound() const { return m_found[m_found.GetUpperBound()]; }
    const std::wstring& GetCurrentFolder() const { return m_currentFolder; }
    void RemoveAll() { m_found.RemoveAll(); }

private:
    void Search(std::wstring folder, const std::wstring& mask, bool recursive);
    void Raise(int event) {
        if (m_callback) m_callback(this, event, m_userData);
    }

    CArray<std::wstring> m_found;
    std::atomic<bool> m_stop{false};
    const std::atomic<bool>* m_running = nullptr;
    std::wstring m_currentFolder;
    FileFinderCallback m_callback = nullptr;
    void* m_userData = nullptr;
};
