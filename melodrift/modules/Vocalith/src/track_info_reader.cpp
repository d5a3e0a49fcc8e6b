#include "track_info_reader.h"

#include <algorithm>

namespace vocalith {

namespace {

// What the worker gathers before it tells the window: the window redraws once
// for each batch, not for each file.
constexpr std::size_t kBatch = 256;
constexpr DWORD kBatchMs = 50;

}  // namespace

CFileBytes::CFileBytes(const std::wstring& path) {
    m_file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size = {};
    if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size)) m_size = static_cast<std::uint64_t>(size.QuadPart);
}

CFileBytes::~CFileBytes() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

std::size_t CFileBytes::Read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset >= m_size) return 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>({count, m_size - offset, 1u << 24}));
    if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN) || !ReadFile(m_file, buffer, want, &got, nullptr)) return 0;
    return got;
}

void ReadTrackInfo(const std::wstring& path, TrackInfo& info) {
    CFileBytes file(path);
    if (!file.IsOpen()) {
        info.missing = GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    } else {
        mediatags::ReadMediaTags(file, info.tags);
    }
}

void CTrackInfoReader::SetWindow(HWND window, UINT message) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_window = window;
    m_message = message;
}

void CTrackInfoReader::Want(const std::vector<std::wstring>& paths, bool first) {
    if (paths.empty()) return;
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_stop) return;
    if (first) {
        // The last asked stand first: the rows drawn lately are those on screen.
        for (const std::wstring& p : paths)
            if (!m_done.count(p)) m_first.push_front(p);
    } else {
        for (const std::wstring& p : paths)
            if (!m_done.count(p)) m_rest.push_back(p);
    }
    if (!m_worker.joinable()) m_worker = std::thread([this] { Run(); });
    m_wake.notify_one();
}

void CTrackInfoReader::Forget() {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_generation;
    m_first.clear();
    m_rest.clear();
    m_done.clear();
    m_read.clear();
}

std::vector<std::pair<std::wstring, TrackInfo>> CTrackInfoReader::Take() {
    std::vector<std::pair<std::wstring, TrackInfo>> read;
    std::lock_guard<std::mutex> guard(m_lock);
    read.swap(m_read);
    m_posted = false;
    return read;
}

void CTrackInfoReader::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
        m_first.clear();
        m_rest.clear();
        m_wake.notify_all();
    }
    if (m_worker.joinable()) m_worker.join();
}

void CTrackInfoReader::Run() {
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stop || !m_first.empty() || !m_rest.empty(); });
        if (m_stop) return;
        std::deque<std::wstring>& from = m_first.empty() ? m_rest : m_first;
        std::wstring path = std::move(from.front());
        from.pop_front();
        if (!m_done.insert(path).second) continue;
        const unsigned generation = m_generation;
        guard.unlock();
        TrackInfo info;
        ReadTrackInfo(path, info);
        guard.lock();
        if (m_stop) return;
        if (generation != m_generation) continue;   // forgotten meanwhile
        m_read.emplace_back(std::move(path), std::move(info));
        // Posted (never sent): the window may be waiting for this lock's owner
        // no more than the time it takes to queue a notice.
        const DWORD now = GetTickCount();
        const bool due = (m_first.empty() && m_rest.empty()) || m_read.size() >= kBatch || now - m_lastPost >= kBatchMs;
        if (due && !m_posted && m_window) {
            m_posted = PostMessageW(m_window, m_message, 0, 0) != FALSE;
            m_lastPost = now;
        }
    }
}

}  // namespace vocalith
