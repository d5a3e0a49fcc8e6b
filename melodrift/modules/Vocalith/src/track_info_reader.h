// What the list shows of its tracks beyond their names (tags, lengths, whether
// the file is there), read on a worker thread behind the list: the window asks
// for every listed track, and again, ahead of the rest, for the rows it draws;
// the worker posts one notice at a time and the window takes what was read in
// batches. The worker never waits on the window, and the window waits on the
// worker only to stop it (when the window is destroyed).
#pragma once

#include "mediatags/media_tags.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vocalith {

// A file's bytes for the tag readers, read as they are asked for.
class CFileBytes : public mediatags::ByteSource {
public:
    explicit CFileBytes(const std::wstring& path);
    ~CFileBytes() override;
    CFileBytes(const CFileBytes&) = delete;
    CFileBytes& operator=(const CFileBytes&) = delete;
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    std::uint64_t Size() const override { return m_size; }
    std::size_t Read(std::uint64_t offset, void* buffer, std::size_t count) override;

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::uint64_t m_size = 0;
};

struct TrackInfo {
    mediatags::MediaTags tags;
    bool missing = false;   // no file by that name (a file that cannot be opened is not missing)
};

// The file's tags and length, or that it is missing; on the calling thread.
void ReadTrackInfo(const std::wstring& path, TrackInfo& info);

class CTrackInfoReader {
public:
    CTrackInfoReader() = default;
    ~CTrackInfoReader() { Stop(); }
    CTrackInfoReader(const CTrackInfoReader&) = delete;
    CTrackInfoReader& operator=(const CTrackInfoReader&) = delete;

    // The window that is told (by `message`, posted) when something was read.
    void SetWindow(HWND window, UINT message);
    // Files to read: after those asked for before, or (`first`) ahead of them.
    // A file already read since the last Forget is not read again.
    void Want(const std::vector<std::wstring>& paths, bool first);
    // Everything asked for and read but not taken is dropped (the list was
    // cleared or replaced); a read under way is dropped when it ends.
    void Forget();
    // What was read since the last call (window's thread).
    std::vector<std::pair<std::wstring, TrackInfo>> Take();
    // The worker ends after the file it reads; nothing is read after this.
    void Stop();

private:
    void Run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_worker;
    HWND m_window = nullptr;
    UINT m_message = 0;
    // Under m_lock:
    std::deque<std::wstring> m_first, m_rest;
    std::unordered_set<std::wstring> m_done;
    std::vector<std::pair<std::wstring, TrackInfo>> m_read;
    unsigned m_generation = 0;   // counts the Forgets
    bool m_posted = false;
    bool m_stop = false;
    DWORD m_lastPost = 0;
};

}  // namespace vocalith
