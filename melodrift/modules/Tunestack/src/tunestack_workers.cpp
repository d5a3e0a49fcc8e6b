// The Tunestack window's workers: folders added on a thread of their own,
// tags read in the background and their cache, handed to the window in batches.
#include "tunestack_window.h"

#include "tunestack_window_parts.h"

#include <shlobj.h>

#include <memory>
#include <unordered_map>

namespace tunestack {

namespace {

int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data) SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

void CTunestackWindow::OnAddFolder()
{
    const std::wstring last = ReadSetting(L"LastFolder");
    BROWSEINFOW browse = {};
    browse.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    browse.lpszTitle = L"Choose a folder with music to add to the library:";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = BrowseCallback;
    browse.lParam = last.empty() ? 0 : reinterpret_cast<LPARAM>(last.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (ok && path[0]) AddFolder(path);
}

bool CTunestackWindow::AddFolder(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetStatus(L"The folder " + folder + L" does not exist.");
        return false;
    }
    WriteSetting(L"LastFolder", folder);
    m_waitingFolders.push_back(folder);
    if (!m_scanning) StartNextScan();
    return true;
}

// Hands a worker's batch to the window: one posted message wakes it for every batch it has
// not taken yet. The folder walk waits while the window is too far behind, so that what is
// shown stays close to what was read (unless the walk is cancelled).
void CTunestackWindow::HandOverResults(std::vector<ReadResult>& batch, bool waitForRoom, HWND window)
{
    bool post = false;
    {
        std::unique_lock<std::mutex> guard(m_resultLock);
        if (waitForRoom)
            m_resultSpace.wait(guard, [&] { return m_results.size() + batch.size() <= kMaxAhead || m_cancelScan; });
        for (ReadResult& r : batch) m_results.push_back(std::move(r));
        post = !m_resultsPosted;
        m_resultsPosted = true;
    }
    batch.clear();
    if (post) PostMessageW(window, kResults, 0, 0);
}

void CTunestackWindow::StartNextScan()
{
    if (m_scanner.joinable()) m_scanner.join();
    if (m_waitingFolders.empty()) {
        m_scanning = false;
        KillTimer(m_hwnd, kProgressTimer);
        Layout();
        return;
    }
    const std::wstring folder = m_waitingFolders.front();
    m_waitingFolders.pop_front();
    m_scanning = true;
    m_cancelScan = false;
    m_scanRoot = folder;
    m_scanFound = 0;
    m_scanTotal = 0;
    m_scanRead = 0;
    m_scanAdded = 0;
    {
        std::lock_guard<std::mutex> guard(m_scanLock);
        m_scanFolderNow = folder;
        m_scanProblems = WalkProblems();
        m_scanGone = 0;
    }
    SendMessageW(m_progress, PBM_SETRANGE32, 0, 1);
    SendMessageW(m_progress, PBM_SETPOS, 0, 0);
    Layout();
    SetStatus(L"Looking for music in " + folder + L"...");
    SetTimer(m_hwnd, kProgressTimer, 200, nullptr);

    // Files already known with their tags are not read again unless they changed since.
    auto known = std::make_shared<std::unordered_map<std::wstring, std::pair<std::uint64_t, std::uint64_t>>>();
    for (std::size_t i = 0; i < m_library.Files().size() && i < m_info.size(); ++i) {
        if (m_info[i] && i < m_stamps.size() && m_stamps[i].second != 0) known->emplace(FoldPath(m_library.Files()[i]), m_stamps[i]);
    }
    HWND window = m_hwnd;
    m_scanner = std::thread([this, folder, window, known] {
        WalkProblems problems;
        const std::vector<WalkedFile> files = WalkFolder(folder, problems, 100000, &m_cancelScan,
                                                         [&](const std::wstring& at, std::size_t found) {
                                                             m_scanFound = found;
                                                             std::lock_guard<std::mutex> guard(m_scanLock);
                                                             m_scanFolderNow = at;
                                                         });
        m_scanFound = files.size();
        m_scanTotal = files.size();
        {
            std::lock_guard<std::mutex> guard(m_scanLock);
            m_scanProblems = problems;
        }
        std::vector<ReadResult> batch;
        DWORD last = GetTickCount();
        std::size_t gone = 0;
        const auto handOver = [&](bool force) {
            if (!batch.empty() && (force || batch.size() >= kBatchFiles || GetTickCount() - last >= kBatchMs)) {
                HandOverResults(batch, true, window);
                last = GetTickCount();
            }
        };
        for (const WalkedFile& file : files) {
            if (m_cancelScan) break;
            ReadResult r;
            r.path = file.path;
            r.size = file.size;
            r.time = file.time;
            r.scanned = true;
            const auto stamp = known->find(FoldPath(file.path));
            if (stamp == known->end() || stamp->second != std::make_pair(file.size, file.time)) {
                if (!ReadFileTrackInfo(file.path, r.info) && GetFileAttributesW(file.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                    ++gone;   // gone since the walk: nothing to add
                    ++m_scanRead;
                    continue;
                }
            } else {
                r.size = r.time = 0;   // the tags the library has stay
            }
            batch.push_back(std::move(r));
            ++m_scanRead;
            handOver(false);
        }
        handOver(true);
        {
            std::lock_guard<std::mutex> guard(m_scanLock);
            m_scanGone = gone;
        }
        PostMessageW(window, kScanDone, 0, 0);
    });
}

void CTunestackWindow::TellRowCount()
{
    if (ListView_GetItemCount(m_tracks) != static_cast<int>(m_rows.size()))
        ListView_SetItemCountEx(m_tracks, static_cast<int>(m_rows.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

void CTunestackWindow::ShowScanProgress()
{
    if (!m_scanning) return;
    TellRowCount();
    std::wstring at;
    {
        std::lock_guard<std::mutex> guard(m_scanLock);
        at = m_scanFolderNow;
    }
    const std::size_t total = m_scanTotal;
    if (total == 0) {
        SetStatus(L"Looking for music in " + m_scanRoot + L": " + std::to_wstring(m_scanFound.load()) + L" found (" + at + L")");
        return;
    }
    const std::size_t read = m_scanRead;
    SendMessageW(m_progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(read), 0);
    SetStatus(L"Adding " + std::to_wstring(read) + L" of " + std::to_wstring(total) + L" files from " + m_scanRoot + L"...");
}

void CTunestackWindow::CancelAdd()
{
    if (!m_scanning) return;
    m_waitingFolders.clear();
    {
        std::lock_guard<std::mutex> guard(m_resultLock);
        m_cancelScan = true;
    }
    m_resultSpace.notify_all();
}

void CTunestackWindow::OnScanDone()
{
    if (m_scanner.joinable()) m_scanner.join();
    TakeResults();
    TellRowCount();
    WalkProblems problems;
    std::size_t gone = 0;
    {
        std::lock_guard<std::mutex> guard(m_scanLock);
        problems = m_scanProblems;
        gone = m_scanGone;
    }
    const std::size_t added = m_scanAdded;
    Save();
    // The new files joined "All tracks" as they came; a sorted list is sorted again.
    if (added > 0 && m_entry == 0 && m_sortColumn >= 0) ShowEntry(m_entry);
    const std::wstring files = std::to_wstring(added) + (added == 1 ? L" file" : L" files");
    std::wstring text = m_cancelScan ? L"Stopped adding from " + m_scanRoot + L": " + files + L" added."
                                     : L"Added " + files + L" from " + m_scanRoot + L" (" +
                                           std::to_wstring(m_scanTotal.load()) + L" found).";
    // What could not be done, each said once.
    const auto count = [](std::size_t n, const wchar_t* one, const wchar_t* many) {
        return std::to_wstring(n) + L" " + (n == 1 ? one : many);
    };
    if (problems.unreadableFolders > 0)
        text += L" " + count(problems.unreadableFolders, L"folder", L"folders") + L" could not be read.";
    if (gone > 0) text += L" " + count(gone, L"file was", L"files were") + L" gone before it could be read.";
    if (problems.links + problems.loops > 0)
        text += L" " + count(problems.links + problems.loops, L"link to a folder was", L"links to folders were") +
                L" not followed.";
    StartNextScan();
    SetStatus(text);
}

void CTunestackWindow::SetInfo(std::int32_t id, const TrackInfo& info, std::uint64_t size, std::uint64_t time)
{
    const auto at = static_cast<std::size_t>(id);
    const std::size_t files = m_library.Files().size();
    if (m_info.size() < files) m_info.resize(files);
    if (m_stamps.size() < files) m_stamps.resize(files);
    m_info[at] = info;
    m_stamps[at] = {size, time};
    m_sorter.Forget(at);
    m_cacheDirty = true;
}

void CTunestackWindow::TakeResults()
{
    std::vector<ReadResult> results;
    {
        std::lock_guard<std::mutex> guard(m_resultLock);
        results.swap(m_results);
        m_resultsPosted = false;
    }
    m_resultSpace.notify_all();
    if (results.empty()) return;
    const std::size_t before = m_library.Files().size();
    bool shownChanged = false;
    for (ReadResult& r : results) {
        std::int32_t id = -1;
        if (r.scanned) {
            id = m_library.AddFile(r.path);
            if (static_cast<std::size_t>(id) >= before) ++m_scanAdded;
        } else if (auto found = m_library.FindFile(r.path)) {
            id = *found;
        }
        if (id < 0) continue;
        if (m_missing.size() < m_library.Files().size()) m_missing.resize(m_library.Files().size(), -1);
        const std::int8_t missing = r.gone ? 1 : 0;
        if (m_missing[static_cast<std::size_t>(id)] != missing) {
            shownChanged = true;
            m_sorter.Forget(static_cast<std::size_t>(id));   // the title says whether it is missing
        }
        m_missing[static_cast<std::size_t>(id)] = missing;
        if (r.scanned && r.size == 0 && r.time == 0 && static_cast<std::size_t>(id) < m_info.size() && m_info[static_cast<std::size_t>(id)])
            continue;   // unchanged since its tags were read
        SetInfo(id, r.info, r.size, r.time);
        shownChanged = true;
    }
    const std::size_t after = m_library.Files().size();
    if (after > before && m_entry == 0) {
        // New files join "All tracks" as they come, shown with the progress (the
        // list is told its count then, not for every batch); a sorted list is
        // sorted again when the folder is done.
        for (std::size_t i = before; i < after; ++i) {
            m_rows.push_back(static_cast<std::int32_t>(i));
            m_rowIndex.push_back(m_rowIndex.size());
        }
        if (!m_scanning) TellRowCount();
    }
    if (shownChanged) InvalidateRect(m_tracks, nullptr, FALSE);
    bool idle = false;
    {
        std::lock_guard<std::mutex> guard(m_tagLock);
        idle = m_tagWanted.empty();
    }
    if (idle && !m_scanning && m_cacheDirty) SaveTagCache();
}

void CTunestackWindow::LoadTagCache()
{
    std::string bytes;
    if (!ReadWholeFile(TagCachePath(), bytes)) return;
    const std::size_t files = m_library.Files().size();
    m_stamps.assign(files, {0, 0});
    for (CachedTags& record : ParseTagCache(bytes)) {
        const std::optional<std::int32_t> id = m_library.FindFile(record.path);
        if (!id) continue;
        m_info[static_cast<std::size_t>(*id)] = std::move(record.tags);
        m_stamps[static_cast<std::size_t>(*id)] = {record.size, record.time};
    }
}

void CTunestackWindow::SaveTagCache()
{
    // Made into bytes here in one pass and written behind the window (a
    // failure only means tags are read again later).
    auto bytes = std::make_shared<std::string>(SerializeTagCache(m_library.Files(), m_info, m_stamps));
    m_cacheWriter.Write(TagCachePath(), [bytes] { return std::move(*bytes); });
    m_cacheDirty = false;
}

void CTunestackWindow::StartTagReader()
{
    // Every file of the library: those without tags are read, the others
    // looked at for a change of size or time since.
    {
        std::lock_guard<std::mutex> guard(m_tagLock);
        for (std::size_t i = 0; i < m_library.Files().size(); ++i) {
            TagRequest request{m_library.Files()[i]};
            if (i < m_info.size() && m_info[i] && i < m_stamps.size() && m_stamps[i].second != 0) {
                request.size = m_stamps[i].first;
                request.time = m_stamps[i].second;
                request.stamped = true;
            }
            m_tagWanted.push_back(std::move(request));
        }
    }
    m_asked.assign(m_library.Files().size(), 1);
    HWND window = m_hwnd;
    m_tagThread = std::thread([this, window] {
        std::vector<ReadResult> batch;
        DWORD last = GetTickCount();
        const auto handOver = [&](bool force) {
            if (!batch.empty() && (force || batch.size() >= kBatchFiles || GetTickCount() - last >= kBatchMs)) {
                HandOverResults(batch, false, window);
                last = GetTickCount();
            }
        };
        for (;;) {
            TagRequest request;
            {
                std::unique_lock<std::mutex> guard(m_tagLock);
                if (m_tagWanted.empty()) {
                    guard.unlock();
                    handOver(true);
                    guard.lock();
                    m_tagWake.wait(guard, [&] { return m_tagStop || !m_tagWanted.empty(); });
                }
                if (m_tagStop) return;
                request = std::move(m_tagWanted.front());
                m_tagWanted.pop_front();
            }
            ReadResult r;
            r.path = request.path;
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            if (!GetFileAttributesExW(request.path.c_str(), GetFileExInfoStandard, &data)) {
                r.gone = true;
            } else {
                r.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
                r.time = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
                if (request.stamped && request.size == r.size && request.time == r.time) continue;
                ReadFileTrackInfo(request.path, r.info);
            }
            batch.push_back(std::move(r));
            handOver(false);
        }
    });
}

void CTunestackWindow::StopWorkers()
{
    {
        std::lock_guard<std::mutex> guard(m_resultLock);
        m_cancelScan = true;
    }
    m_resultSpace.notify_all();
    if (m_scanner.joinable()) m_scanner.join();
    {
        std::lock_guard<std::mutex> guard(m_tagLock);
        m_tagStop = true;
        m_tagWake.notify_all();
    }
    if (m_tagThread.joinable()) m_tagThread.join();
}

}  // namespace tunestack
