#include "klarwin/online/update_threads.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "klarwin/online/online_config.h"
#include "klarwin/update_messages.h"
#include "klarwin/version_info.h"

namespace {

const wchar_t* const kAcceptAll[] = {L"*/*", nullptr};

bool Online() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}

void Post(HWND wnd, UINT message, WPARAM wParam = 0) {
    if (wnd) PostMessageW(wnd, message, wParam, 0);
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
    InternetSetOptionW(handle, option, &ms, sizeof(ms));
}

HINTERNET SendGet(HINTERNET connection, const wchar_t* object, DWORD& length) {
    if (!connection) return nullptr;
    HINTERNET request = HttpOpenRequestW(connection, L"GET", object, nullptr, nullptr,
                                         const_cast<LPCWSTR*>(kAcceptAll), INTERNET_FLAG_RELOAD, 0);
    if (!request) return nullptr;
    // On the request too: not every WinINet passes the session's on to it.
    SetTimeout(request, INTERNET_OPTION_SEND_TIMEOUT, kReceiveTimeoutMs);
    SetTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
    DWORD status = 0, size = sizeof(status);
    length = 0;
    DWORD lengthSize = sizeof(length);
    if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0) ||
        !HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status != 200 ||
        !HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &lengthSize, nullptr)) {
        InternetCloseHandle(request);
        return nullptr;
    }
    return request;
}

// Reads exactly `size` bytes at `offset` of an open file.
bool ReadAt(HANDLE file, DWORD offset, void* buffer, DWORD size) {
    if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// The machine the running program is built for: what a new version must be too.
#if defined(_WIN64)
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr WORD kOwnOptionalMagic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
constexpr WORD kOwnOptionalMagic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
#endif

// A Windows executable (not a DLL) for the machine of the running program (the
// products are 32-bit): "MZ", the "PE" header it points to, an image of that
// machine marked executable. The optional header's first field (its magic) sits
// at the same place in both header forms.
bool IsWindowsProgram(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    IMAGE_DOS_HEADER dos = {};
    IMAGE_NT_HEADERS32 nt = {};
    const DWORD fileSize = GetFileSize(file, nullptr);
    if (ReadAt(file, 0, &dos, sizeof(dos)) && dos.e_magic == IMAGE_DOS_SIGNATURE && dos.e_lfanew > 0 &&
        static_cast<DWORD>(dos.e_lfanew) < fileSize && ReadAt(file, static_cast<DWORD>(dos.e_lfanew), &nt, sizeof(nt))) {
        const WORD flags = nt.FileHeader.Characteristics;
        ok = nt.Signature == IMAGE_NT_SIGNATURE && nt.FileHeader.Machine == kOwnMachine &&
             nt.OptionalHeader.Magic == kOwnOptionalMagic && (flags & IMAGE_FILE_EXECUTABLE_IMAGE) &&
             !(flags & IMAGE_FILE_DLL);
    }
    CloseHandle(file);
    return ok;
}

// What the session's thread is asked to do.
enum SessionCall { kCallGet, kCallRead, kCallEndRequest };

}  // namespace

struct CUpdateSession::Shared {
    ~Shared() {
        for (HANDLE event : {work, done, aborted})
            if (event) CloseHandle(event);
    }

    // Set before the thread starts.
    std::wstring agent;
    ServerAddress server;
    HANDLE work = CreateEventW(nullptr, FALSE, FALSE, nullptr);    // a call or the end is asked for
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);    // the call asked for returned
    HANDLE aborted = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set by Abort, for good
    std::atomic<bool> quit{false};
    // The call and its results: the caller writes them only while no call is
    // under way and reads them only once it has returned (never after Abort).
    int call = kCallGet;
    std::wstring object;
    std::vector<char> buffer;
    DWORD length = 0;
    bool ok = false;
    // Used and closed on the session's thread only.
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;

    void Perform() {
        if (request) InternetCloseHandle(request);
        request = nullptr;
        ok = false;
        if (call == kCallGet) {
            request = SendGet(connection, object.c_str(), length);
            ok = request != nullptr;
        }
    }
    void Run() {
        internet = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (internet) {
            // Inherited by the connection and its requests: a server that stops
            // answering fails the request instead of holding the thread.
            SetTimeout(internet, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
            SetTimeout(internet, INTERNET_OPTION_SEND_TIMEOUT, kReceiveTimeoutMs);
            SetTimeout(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
            SetTimeout(internet, INTERNET_OPTION_DATA_SEND_TIMEOUT, kReceiveTimeoutMs);
            SetTimeout(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
            connection = InternetConnectW(internet, server.host.c_str(), server.port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
        }
        while (WaitForSingleObject(work, INFINITE) == WAIT_OBJECT_0 && !quit) {
            if (call == kCallRead) {
                DWORD got = 0;
                ok = request && InternetReadFile(request, buffer.data(), length, &got);
                length = got;
            } else {
                Perform();
            }
            SetEvent(done);
        }
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (internet) InternetCloseHandle(internet);
    }
};

DWORD WINAPI CUpdateSession::ThreadMain(void* param) {
    auto* held = static_cast<std::shared_ptr<Shared>*>(param);
    std::shared_ptr<Shared> shared = std::move(*held);
    delete held;
    shared->Run();
    return 0;
}

CUpdateSession::CUpdateSession(const wchar_t* agent) {
    auto shared = std::make_shared<Shared>();
    if (!shared->work || !shared->done || !shared->aborted) return;
    shared->agent = agent;
    shared->server = GetUpdateServer();
    auto* held = new std::shared_ptr<Shared>(shared);
    HANDLE thread = CreateThread(nullptr, 0, &ThreadMain, held, 0, nullptr);
    if (!thread) {
        delete held;
        return;
    }
    CloseHandle(thread);
    m_shared = std::move(shared);
}

CUpdateSession::~CUpdateSession() {
    if (!m_shared) return;
    m_shared->quit = true;
    SetEvent(m_shared->work);
}

bool CUpdateSession::Aborted() const {
    return !m_shared || WaitForSingleObject(m_shared->aborted, 0) == WAIT_OBJECT_0;
}

void CUpdateSession::Abort() {
    if (m_shared) SetEvent(m_shared->aborted);
}

bool CUpdateSession::Call(int call) {
    m_shared->call = call;
    SetEvent(m_shared->work);
    // Both set: the call returned, and its result stands.
    HANDLE events[] = {m_shared->done, m_shared->aborted};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 && m_shared->ok;
}

bool CUpdateSession::Get(const wchar_t* object, DWORD& length) {
    length = 0;
    if (Aborted()) return false;
    m_shared->object = object;
    if (!Call(kCallGet)) return false;
    length = m_shared->length;
    return true;
}

bool CUpdateSession::Read(void* buffer, DWORD size, DWORD& got) {
    got = 0;
    if (Aborted()) return false;
    if (m_shared->buffer.size() < size) m_shared->buffer.resize(size);
    m_shared->length = size;
    if (!Call(kCallRead)) return false;
    got = m_shared->length;
    memcpy(buffer, m_shared->buffer.data(), got);
    return true;
}

void CUpdateSession::EndRequest() {
    if (!Aborted()) Call(kCallEndRequest);
}

DownloadedProgram CheckDownloadedProgram(const std::wstring& file, const std::wstring& ownVersion) {
    if (!IsWindowsProgram(file)) return DownloadedProgram::NotAProgram;
    CVersionInfo info(file);
    if (!info.HasVersionInfo() || info.GetString(L"ProductName") != kUpdateProductName)
        return DownloadedProgram::OtherProduct;
    const std::wstring version = info.GetString(L"ProductVersion");
    if (version.empty() || version == ownVersion) return DownloadedProgram::SameVersion;
    return DownloadedProgram::Accepted;
}

bool ReadSmallServerFile(CUpdateSession& session, const wchar_t* object, std::wstring& text) {
    text.clear();
    DWORD length = 0;
    if (!session.Get(object, length)) return false;
    // Never more than the buffer holds, whatever the header announces.
    char buffer[kSmallFileLimit] = {};
    DWORD wanted = length < kSmallFileLimit - 1 ? length : kSmallFileLimit - 1;
    DWORD total = 0;
    while (total < wanted) {
        DWORD got = 0;
        if (!session.Read(buffer + total, wanted - total, got) || got == 0) break;
        total += got;
    }
    session.EndRequest();
    if (session.Aborted()) return false;
    for (DWORD i = 0; i < total && buffer[i]; ++i) text += static_cast<wchar_t>(static_cast<unsigned char>(buffer[i]));
    return true;
}

bool IsDifferentVersion(const std::wstring& serverVersion, const std::wstring& ownVersion) {
    if (serverVersion.empty() || serverVersion[0] < L'0' || serverVersion[0] > L'9') return false;
    return serverVersion != ownVersion;
}

uint64_t DownloadBytesPerSecond(uint64_t bytes, uint64_t elapsedMs) {
    if (elapsedMs == 0) elapsedMs = 1;
    return bytes * 1000 / elapsedMs;
}

// ---------------------------------------------------------------------------

CAutoFindNewVersion::CAutoFindNewVersion(HWND mainWnd, const std::wstring& ownVersion)
    : m_mainWnd(mainWnd), m_ownVersion(ownVersion) {
    m_bAutoDelete = FALSE;
}

CAutoFindNewVersion::~CAutoFindNewVersion() = default;

void CAutoFindNewVersion::SleepWhileRunning(DWORD ms) {
    // Looks at the flags every 50 ms so that a stop or a new request is seen at once.
    for (DWORD slept = 0; slept < ms && m_running; slept += 50) {
        if (m_checkRequested) return;
        Sleep(50);
    }
}

int CAutoFindNewVersion::Run() {
    while (m_running) {
        if (m_checkRequested) {
            Check();
            m_running = false;
            break;
        }
        SleepWhileRunning(m_pollMs);
    }
    return 0;
}

void CAutoFindNewVersion::Check() {
    if (Online() && m_checkRequested) {
        std::wstring version;
        if (ReadSmallServerFile(m_session, kVersionObject, version) && m_mainWnd && m_checkRequested) {
            if (IsDifferentVersion(version, m_ownVersion))
                Post(m_mainWnd, WM_UPDATE_AVAILABLE);
            else if (m_notifyIfCurrent)
                Post(m_mainWnd, WM_UPDATE_NONE);
        }
    }
    m_running = false;
    m_checkRequested = false;
}

// ---------------------------------------------------------------------------

CDownloadAppNewVersion::CDownloadAppNewVersion(HWND mainWnd, const std::wstring& programPath,
                                               const std::wstring& ownVersion)
    : m_mainWnd(mainWnd), m_programPath(programPath), m_ownVersion(ownVersion) {
    m_bAutoDelete = FALSE;
    if (m_ownVersion.empty()) m_ownVersion = CVersionInfo(m_programPath).GetString(L"ProductVersion");
}

CDownloadAppNewVersion::~CDownloadAppNewVersion() = default;

void CDownloadAppNewVersion::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_stateLock);
        m_running = false;
    }
    m_session.Abort();
}

void CDownloadAppNewVersion::PostWhileRunning(UINT message, WPARAM wParam) {
    std::lock_guard<std::mutex> guard(m_stateLock);
    if (m_running) Post(m_mainWnd, message, wParam);
}

std::wstring CDownloadAppNewVersion::GetDownloadTarget() const {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    size_t slash = m_programPath.rfind(L'\\');
    return std::wstring(temp) + (slash == std::wstring::npos ? m_programPath : m_programPath.substr(slash + 1));
}

int CDownloadAppNewVersion::Run() {
    // A stop may come before this point: it is never undone here.
    if (!m_running) return 1;
    bool installed = false;
    WPARAM reason = kUpdateFailedDownload;
    std::wstring sizeText;
    if (Online() && ReadSmallServerFile(m_session, kAppSizeObject, sizeText)) {
        uint64_t expected = wcstoull(sizeText.c_str(), nullptr, 10);
        std::wstring target = GetDownloadTarget();
        if (Download(target, expected)) reason = Install(target, installed);
        DeleteFileW(target.c_str());
    }
    // Without the size file the download window is told all the same: it
    // would otherwise wait for a start that never comes.
    PostWhileRunning(installed ? WM_UPDATE_INSTALLED : WM_UPDATE_FAILED, installed ? 0 : reason);
    m_running = false;
    return installed ? 0 : 1;
}

// The download is copied beside the program file (the temporary folder may be
// on another volume, and anyone may write there), and that copy is checked and
// renamed into place: what was checked is what runs, and a stop or the end of
// the process never leaves the program file in part. A stop is looked at until
// the swap begins; from there the swap is completed or rolled back.
WPARAM CDownloadAppNewVersion::Install(const std::wstring& target, bool& installed) {
    const std::wstring staged = GetStagedCopy();
    WPARAM reason = kUpdateFailedDownload;
    if (CopyWhileRunning(target, staged)) {
        // What comes over plain HTTP replaces the program only when it is
        // this product's program in another version.
        if (CheckDownloadedProgram(staged, m_ownVersion) != DownloadedProgram::Accepted) {
            reason = kUpdateFailedNotAProgram;
        } else {
            {
                std::lock_guard<std::mutex> guard(m_stateLock);
                m_replacing = m_running.load();
            }
            if (m_replacing) installed = ReplaceProgramFile(m_programPath, staged);
            m_replacing = false;
        }
    }
    if (!installed) DeleteFileW(staged.c_str());
    return reason;
}

bool CDownloadAppNewVersion::CopyWhileRunning(const std::wstring& from, const std::wstring& to) {
    if (!m_running) return false;
    HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = out != INVALID_HANDLE_VALUE;
    std::vector<char> block(64 * 1024);
    while (ok) {
        DWORD got = 0, written = 0;
        ok = m_running && ReadFile(in, block.data(), static_cast<DWORD>(block.size()), &got, nullptr);
        if (!ok || got == 0) break;
        ok = WriteFile(out, block.data(), got, &written, nullptr) && written == got;
    }
    // On disk before it is renamed into place.
    if (ok) ok = FlushFileBuffers(out) != FALSE;
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    CloseHandle(in);
    return ok && m_running;
}

bool CDownloadAppNewVersion::Download(const std::wstring& target, uint64_t expectedSize) {
    if (!m_running) return false;
    PostWhileRunning(WM_DOWNLOAD_START, static_cast<WPARAM>(expectedSize));
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    DWORD length = 0;
    if (m_session.Get(kProgramObject, length)) {
        std::vector<char> block(4096);
        uint64_t total = 0;
        while (Online()) {
            DWORD got = 0;
            if (!m_session.Read(block.data(), static_cast<DWORD>(block.size()), got) || !m_running) break;
            if (got == 0) {
                // The server stopped sending: complete only when everything
                // announced (header and size file) has arrived.
                ok = total == length && total == expectedSize;
                if (ok) PostWhileRunning(WM_DOWNLOAD_COMPLETE);
                break;
            }
            DWORD written = 0;
            if (!WriteFile(file, block.data(), got, &written, nullptr) || written != got) break;
            total += got;
            PostWhileRunning(WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(total));
        }
    }
    m_session.EndRequest();
    CloseHandle(file);
    return ok && m_running;
}

bool ReplaceProgramFile(const std::wstring& program, const std::wstring& newFile) {
    std::wstring backup = program + L".bak";
    DeleteFileW(backup.c_str());
    // Renames only: a copy could be cut part way.
    if (!MoveFileExW(program.c_str(), backup.c_str(), 0)) return false;
    if (!MoveFileExW(newFile.c_str(), program.c_str(), 0)) {
        MoveFileExW(backup.c_str(), program.c_str(), 0);  // keep the program
        return false;
    }
    DeleteFileW(backup.c_str());
    return true;
}
