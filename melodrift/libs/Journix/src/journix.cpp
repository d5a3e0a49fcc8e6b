// The debug log: one UTF-8 file, one line per message, written whole under a lock.
#include "journix/journix.h"

#include "fw/strutil.h"

#include <string>

namespace {

const wchar_t* LevelName(int level) {
    switch (level) {
    case JOURNIX_TRACE: return L"TRACE";
    case JOURNIX_INFO: return L"INFO";
    case JOURNIX_WARNING: return L"WARNING";
    case JOURNIX_ERROR: return L"ERROR";
    default: return L"LEVEL";
    }
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// "<folder>\<title>_debug.log" for the running program.
std::wstring DefaultLogFile() {
    std::wstring path = ProgramPath();
    std::size_t slash = path.find_last_of(L"\\/");
    std::size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.resize(dot);
    return path + L"_debug.log";
}

// One message as it stands in a line: control characters become blanks.
std::wstring OneLine(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n' || c == L'\t' || c == L'\0') c = L' ';
    return text;
}

class CJournix final : public IJournix {
public:
    CJournix() { InitializeCriticalSection(&m_lock); }
    // Never destroyed: the object must outlive every caller, including those
    // that log while the process ends.

    void __cdecl WriteLogMessage(const wchar_t* source, const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        WriteLogMessageV(JOURNIX_INFO, source, format, args);
        va_end(args);
    }

    void __cdecl WriteLogMessageLevel(int level, const wchar_t* source, const wchar_t* format, ...) override {
        va_list args;
        va_start(args, format);
        WriteLogMessageV(level, source, format, args);
        va_end(args);
    }

    void WriteLogMessageV(int level, const wchar_t* source, const wchar_t* format, va_list args) override {
        if (level < GetFilterLevel()) return;
        std::wstring text = format ? fw::FormatV(format, args) : std::wstring();
        SYSTEMTIME t = {};
        GetLocalTime(&t);
        std::wstring line = fw::Format(L"%04u-%02u-%02u %02u:%02u:%02u.%03u [%s] %s: ", t.wYear, t.wMonth, t.wDay,
                                       t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, source ? source : L"",
                                       LevelName(level));
        line += OneLine(std::move(text));
        line += L"\r\n";
        std::string bytes = fw::ToUtf8(line);

        EnterCriticalSection(&m_lock);
        std::wstring file = CurrentFile();
        HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(h);
        }
        LeaveCriticalSection(&m_lock);
    }

    void SetFilterLevel(int level) override { InterlockedExchange(&m_filterLevel, level); }
    int GetFilterLevel() override { return static_cast<int>(InterlockedCompareExchange(&m_filterLevel, 0, 0)); }

    BOOL SetLogFile(const wchar_t* path) override {
        std::wstring wanted = path ? path : L"";
        if (!wanted.empty()) {
            HANDLE h = CreateFileW(wanted.c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) return FALSE;
            CloseHandle(h);
        }
        EnterCriticalSection(&m_lock);
        m_file = wanted;
        LeaveCriticalSection(&m_lock);
        return TRUE;
    }

    DWORD GetLogFile(wchar_t* buffer, DWORD size) override {
        EnterCriticalSection(&m_lock);
        std::wstring file = CurrentFile();
        LeaveCriticalSection(&m_lock);
        if (buffer && size > file.size()) {
            file.copy(buffer, file.size());
            buffer[file.size()] = L'\0';
        }
        return static_cast<DWORD>(file.size());
    }

private:
    // Under the lock.
    std::wstring CurrentFile() {
        if (m_file.empty()) m_file = DefaultLogFile();
        return m_file;
    }

    CRITICAL_SECTION m_lock;
    std::wstring m_file;
    volatile LONG m_filterLevel = 0;
};

CJournix& TheLog() {
    // Allocated once and never freed (see the class).
    static CJournix* log = new CJournix;
    return *log;
}

}  // namespace

extern "C" JOURNIX_API IJournix* __cdecl enJournix(void) { return &TheLog(); }
