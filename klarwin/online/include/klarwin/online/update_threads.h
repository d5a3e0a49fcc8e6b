// The update check and the download of a new program file, each on a worker
// thread that reports to the main window with the messages of
// klarwin/update_messages.h.
//
//   auto check = std::make_unique<CAutoFindNewVersion>(mainWnd, L"3.0.5");
//   check->m_bAutoDelete = FALSE;
//   check->CreateThread();
//   check->RequestCheck();           // answered within the thread's poll period
//   ...
//   check->Stop(); check->Wait(1000); // before deleting it
//
// A stop ends the thread at once, whatever the server does: the thread leaves
// the WinINet call it waits for to its session (CUpdateSession), where the
// connection, send and receive time-outs (kConnectTimeoutMs,
// kReceiveTimeoutMs) end it.
//
// Server files (below the update server's root):
//   "/klarwin-latest-version/klarwin_version.txt"  the published version
//   "/klarwin-latest-version/klarwin_appsize.txt"  the program file's size
//   "/klarwin-latest-version/Klarwin.exe"          the program file
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "fw/win/thread.h"

constexpr wchar_t kVersionObject[] = L"/klarwin-latest-version/klarwin_version.txt";
constexpr wchar_t kAppSizeObject[] = L"/klarwin-latest-version/klarwin_appsize.txt";
constexpr wchar_t kProgramObject[] = L"/klarwin-latest-version/Klarwin.exe";

// Largest small file (version, size) read; longer answers are cut to it.
constexpr DWORD kSmallFileLimit = 4096;

// WinINet time-outs of both threads (ms): connecting, and sending or
// receiving (each wait for data).
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kReceiveTimeoutMs = 15000;

// The ProductName a downloaded program must carry to replace this one.
constexpr wchar_t kUpdateProductName[] = L"Klarwin 2011";

// A session with the update server whose blocking WinINet calls (sending a
// request, reading its answer) run on a thread of its own, one at a time; the
// caller waits for the call or for Abort, whichever comes first. A stop thus
// never waits for the server: closing a request from another thread does not
// end a send or read in progress everywhere (under Wine only the receive
// time-out ends it). An abandoned call ends by its time-outs on the session's
// thread, which then closes the handles and ends. Every handle is used and
// closed on that thread only, so none is used again once closed (WinINet
// reuses handle values).
class CUpdateSession {
public:
    // Connects to the update server (GetUpdateServer) with this user agent.
    explicit CUpdateSession(const wchar_t* agent);
    // Returns at once; the session's thread ends after its call in progress.
    ~CUpdateSession();
    CUpdateSession(const CUpdateSession&) = delete;
    CUpdateSession& operator=(const CUpdateSession&) = delete;

    // Sends a GET for object (ending the request before it). True on status
    // 200 with a Content-Length (length); the request then stays open to Read.
    bool Get(const wchar_t* object, DWORD& length);
    // Reads at most size bytes of the open request; got is 0 at its end.
    bool Read(void* buffer, DWORD size, DWORD& got);
    // Closes the open request.
    void EndRequest();
    // From any thread, at once: the call in progress and every later call
    // return false.
    void Abort();
    bool Aborted() const;

private:
    struct Shared;
    static DWORD WINAPI ThreadMain(void* shared);
    bool Call(int call);

    std::shared_ptr<Shared> m_shared;  // null when the thread could not start
};

// Reads a small single-byte text file from the server into text. Fails without
// a Content-Length header or on a non-200 answer; reads at most
// kSmallFileLimit - 1 bytes whatever the header says.
bool ReadSmallServerFile(CUpdateSession& session, const wchar_t* object, std::wstring& text);

// What a downloaded file is, as a replacement of the running program.
enum class DownloadedProgram {
    Accepted,       // a Windows executable of this product in another version
    NotAProgram,    // not a 32-bit Windows executable
    OtherProduct,   // no version resource, or another ProductName
    SameVersion,    // the running program's ProductVersion (or none)
};
DownloadedProgram CheckDownloadedProgram(const std::wstring& file, const std::wstring& ownVersion);

// True when the server's version text names a different version: it starts
// with a decimal digit and differs in any character (a line end included).
bool IsDifferentVersion(const std::wstring& serverVersion, const std::wstring& ownVersion);

// Bytes per second for the download window; before a whole second has passed
// the rate is taken over the milliseconds that have (at least one).
uint64_t DownloadBytesPerSecond(uint64_t bytes, uint64_t elapsedMs);

class CAutoFindNewVersion : public CWinThread {
public:
    CAutoFindNewVersion(HWND mainWnd, const std::wstring& ownVersion);
    ~CAutoFindNewVersion() override;

    void RequestCheck() { m_checkRequested = true; }
    // Ends the thread soon: no check, nothing posted, the request in work closed.
    void Stop() {
        m_running = false;
        m_checkRequested = false;
        m_session.Abort();
    }

    std::atomic<bool> m_running{true};
    std::atomic<bool> m_checkRequested{false};
    std::atomic<bool> m_notifyIfCurrent{true};
    // How long the thread sleeps between looks at its flags (ms): 60 seconds.
    DWORD m_pollMs = 60000;

    int Run() override;

private:
    void Check();
    void SleepWhileRunning(DWORD ms);

    HWND m_mainWnd;
    std::wstring m_ownVersion;
    CUpdateSession m_session{L"AutoFindNewVersion"};
};

class CDownloadAppNewVersion : public CWinThread {
public:
    // programPath: the program file to replace (the running Klarwin.exe);
    // ownVersion: its version, which the download must differ from (default:
    // the program file's "ProductVersion").
    CDownloadAppNewVersion(HWND mainWnd, const std::wstring& programPath, const std::wstring& ownVersion = {});
    ~CDownloadAppNewVersion() override;

    // Ends the thread at once, whether it has started or not: nothing more is
    // posted once it returns, the download and its copy are deleted and the
    // program file stays. Only a swap of the program file already begun goes
    // on to its end (two renames, a third to roll back): wait for the thread
    // while Replacing() says so before the process ends.
    void Stop();
    bool Replacing() const { return m_replacing; }
    // Set from construction: a stop before the thread runs is kept.
    std::atomic<bool> m_running{true};

    int Run() override;

    // The downloaded file (the temporary folder and the program file's name).
    std::wstring GetDownloadTarget() const;

    // The download's copy beside the program file, which is checked and swapped in.
    std::wstring GetStagedCopy() const { return m_programPath + L".new"; }

private:
    bool Download(const std::wstring& target, uint64_t expectedSize);
    WPARAM Install(const std::wstring& target, bool& installed);
    bool CopyWhileRunning(const std::wstring& from, const std::wstring& to);
    // Posts unless stopped; Stop waits for a post under way.
    void PostWhileRunning(UINT message, WPARAM wParam = 0);

    HWND m_mainWnd;
    std::wstring m_programPath;
    std::wstring m_ownVersion;
    CUpdateSession m_session{L"DownloadNewVersion"};
    std::mutex m_stateLock;  // m_running's end, posts and m_replacing's start
    std::atomic<bool> m_replacing{false};
};

// Puts newFile, a file in program's folder, in place of program with two
// renames, neither of which copies (newFile on another volume fails): program
// goes to program + ".bak" first; when the second rename fails the ".bak" file
// is renamed back, so the program file always exists, old or new, never in
// part. The ".bak" file is deleted when possible (not while the old program runs).
bool ReplaceProgramFile(const std::wstring& program, const std::wstring& newFile);
