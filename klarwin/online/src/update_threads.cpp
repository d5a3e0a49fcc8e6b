#include "klarwin/online/update_threads.h"

#include <cstdlib>
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

void OpenConnection(const wchar_t* agent, HINTERNET& internet, HINTERNET& connection) {
    internet = InternetOpenW(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return;
    // Inherited by the connection and its requests: a server that stops
    // answering fails the request instead of holding the thread.
    SetTimeout(internet, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
    SetTimeout(internet, INTERNET_OPTION_SEND_TIMEOUT, kReceiveTimeoutMs);
    SetTimeout(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
    SetTimeout(internet, INTERNET_OPTION_DATA_SEND_TIMEOUT, kReceiveTimeoutMs);
    SetTimeout(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
    ServerAddress server = GetUpdateServer();
    connection = InternetConnectW(internet, server.host.c_str(), server.port, nullptr, nullptr,
                                  INTERNET_SERVICE_HTTP, 0, 0);
}

void CloseConnection(HINTERNET& internet, HINTERNET& connection) {
    if (connection) InternetCloseHandle(connection);
    if (internet) InternetCloseHandle(internet);
    connection = internet = nullptr;
}

void CloseRequest(HINTERNET request, CRequestSlot* slot) {
    if (!request) return;
    if (slot)
        slot->Close(request);
    else
        InternetCloseHandle(request);
}

// Sends a GET for object; the request handle on an answer with status 200.
// With a slot the request is held there from before it is sent.
HINTERNET SendGet(HINTERNET connection, const wchar_t* object, CRequestSlot* slot) {
    if (!connection) return nullptr;
    HINTERNET request = HttpOpenRequestW(connection, L"GET", object, nullptr, nullptr,
                                         const_cast<LPCWSTR*>(kAcceptAll), INTERNET_FLAG_RELOAD, 0);
    if (!request) return nullptr;
    // On the request too: not every WinINet passes the session's on to it.
    SetTimeout(request, INTERNET_OPTION_SEND_TIMEOUT, kReceiveTimeoutMs);
    SetTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
    if (slot && !slot->Hold(request)) return nullptr;
    DWORD status = 0, size = sizeof(status);
    if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0) ||
        !HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status != 200) {
        CloseRequest(request, slot);
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

bool ContentLength(HINTERNET request, DWORD& length) {
    DWORD size = sizeof(length);
    length = 0;
    return HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr) !=
           FALSE;
}

}  // namespace

bool CRequestSlot::Hold(HINTERNET request) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_aborted) {
        InternetCloseHandle(request);
        return false;
    }
    m_request = request;
    return true;
}

void CRequestSlot::Close(HINTERNET request) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_request != request) return;  // closed by Abort
    InternetCloseHandle(request);
    m_request = nullptr;
}

namespace {

DWORD WINAPI CloseRequestThread(void* request) {
    InternetCloseHandle(static_cast<HINTERNET>(request));
    return 0;
}

}  // namespace

void CRequestSlot::Abort() {
    HINTERNET request = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_aborted = true;
        request = m_request;
        m_request = nullptr;
    }
    if (!request) return;
    // Closed on a thread of its own: the stopping side (the window) never
    // waits inside WinINet, however long the close of a busy request takes.
    HANDLE closer = CreateThread(nullptr, 0, &CloseRequestThread, request, 0, nullptr);
    if (closer)
        CloseHandle(closer);
    else
        InternetCloseHandle(request);
}

bool CRequestSlot::Aborted() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_aborted;
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

bool ReadSmallServerFile(HINTERNET connection, const wchar_t* object, std::wstring& text, CRequestSlot* slot) {
    text.clear();
    HINTERNET request = SendGet(connection, object, slot);
    if (!request) return false;
    DWORD length = 0;
    bool ok = ContentLength(request, length);
    if (ok) {
        // Never more than the buffer holds, whatever the header announces.
        char buffer[kSmallFileLimit] = {};
        DWORD wanted = length < kSmallFileLimit - 1 ? length : kSmallFileLimit - 1;
        DWORD total = 0;
        while (total < wanted) {
            DWORD got = 0;
            if (!InternetReadFile(request, buffer + total, wanted - total, &got) || got == 0) break;
            total += got;
        }
        for (DWORD i = 0; i < total && buffer[i]; ++i) text += static_cast<wchar_t>(static_cast<unsigned char>(buffer[i]));
    }
    CloseRequest(request, slot);
    return ok;
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

CAutoFindNewVersion::~CAutoFindNewVersion() {
    CloseConnection(m_internet, m_connection);
}

void CAutoFindNewVersion::SleepWhileRunning(DWORD ms) {
    // Looks at the flags every 50 ms so that a stop or a new request is seen at once.
    for (DWORD slept = 0; slept < ms && m_running; slept += 50) {
        if (m_checkRequested) return;
        Sleep(50);
    }
}

int CAutoFindNewVersion::Run() {
    OpenConnection(L"AutoFindNewVersion", m_internet, m_connection);
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
    if (Online() && m_internet && m_checkRequested) {
        std::wstring version;
        if (ReadSmallServerFile(m_connection, kVersionObject, version, &m_slot) && m_mainWnd && m_checkRequested) {
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
    OpenConnection(L"DownloadNewVersion", m_internet, m_connection);
}

CDownloadAppNewVersion::~CDownloadAppNewVersion() {
    CloseConnection(m_internet, m_connection);
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
    if (Online() && m_internet) {
        std::wstring sizeText;
        if (ReadSmallServerFile(m_connection, kAppSizeObject, sizeText, &m_slot)) {
            uint64_t expected = wcstoull(sizeText.c_str(), nullptr, 10);
            std::wstring target = GetDownloadTarget();
            if (Download(target, expected) && m_running) {
                // What comes over plain HTTP replaces the program only when it
                // is this product's program in another version.
                if (CheckDownloadedProgram(target, m_ownVersion) == DownloadedProgram::Accepted)
                    installed = ReplaceProgramFile(m_programPath, target);
                else
                    reason = kUpdateFailedNotAProgram;
            }
            if (!installed) DeleteFileW(target.c_str());
        }
        // Without the size file the download window is told all the same: it
        // would otherwise wait for a start that never comes.
    }
    if (m_running) Post(m_mainWnd, installed ? WM_UPDATE_INSTALLED : WM_UPDATE_FAILED, installed ? 0 : reason);
    m_running = false;
    return installed ? 0 : 1;
}

bool CDownloadAppNewVersion::Download(const std::wstring& target, uint64_t expectedSize) {
    if (!m_running) return false;
    Post(m_mainWnd, WM_DOWNLOAD_START, static_cast<WPARAM>(expectedSize));
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    HINTERNET request = SendGet(m_connection, kProgramObject, &m_slot);
    DWORD length = 0;
    if (request && ContentLength(request, length)) {
        std::vector<char> block(4096);
        uint64_t total = 0;
        while (Online() && m_internet) {
            DWORD got = 0;
            if (!InternetReadFile(request, block.data(), static_cast<DWORD>(block.size()), &got)) break;
            if (!m_running) break;
            if (got == 0) {
                // The server stopped sending: complete only when everything
                // announced (header and size file) has arrived.
                ok = total == length && total == expectedSize;
                if (ok) {
                    CloseHandle(file);
                    file = INVALID_HANDLE_VALUE;
                    Post(m_mainWnd, WM_DOWNLOAD_COMPLETE);
                }
                break;
            }
            DWORD written = 0;
            if (!WriteFile(file, block.data(), got, &written, nullptr) || written != got) break;
            total += got;
            Post(m_mainWnd, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(total));
        }
    }
    CloseRequest(request, &m_slot);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok;
}

bool ReplaceProgramFile(const std::wstring& program, const std::wstring& newFile) {
    std::wstring backup = program + L".bak";
    DeleteFileW(backup.c_str());
    if (!MoveFileExW(program.c_str(), backup.c_str(), MOVEFILE_COPY_ALLOWED)) return false;
    if (!MoveFileExW(newFile.c_str(), program.c_str(), MOVEFILE_COPY_ALLOWED)) {
        MoveFileExW(backup.c_str(), program.c_str(), MOVEFILE_COPY_ALLOWED);  // keep the program
        return false;
    }
    DeleteFileW(backup.c_str());
    return true;
}
