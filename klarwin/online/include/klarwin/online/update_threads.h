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
// Stop also closes the request the thread is working on, so that a read from a
// server that stopped answering returns at once; the connection, send and
// receive time-outs (kConnectTimeoutMs, kReceiveTimeoutMs) end the thread
// by themselves however the server behaves.
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

// The request a worker thread is working on, which the stopping side may close
// so that a blocked send or read returns. Once aborted, no request is taken.
class CRequestSlot {
public:
    // Takes the request; false (the request then closed) once aborted.
    bool Hold(HINTERNET request);
    // The worker is done with the request: closes it unless Abort already did.
    void Close(HINTERNET request);
    // From the stopping side: closes the request held and refuses later ones.
    void Abort();
    bool Aborted();

private:
    std::mutex m_lock;
    HINTERNET m_request = nullptr;
    bool m_aborted = false;
};

// Reads a small single-byte text file from the server into text. Fails without
// a Content-Length header or on a non-200 answer; reads at most
// kSmallFileLimit - 1 bytes whatever the header says. With a slot, the request
// is held there while it is worked on.
bool ReadSmallServerFile(HINTERNET connection, const wchar_t* object, std::wstring& text,
                         CRequestSlot* slot = nullptr);

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
        m_slot.Abort();
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
    HINTERNET m_internet = nullptr;
    HINTERNET m_connection = nullptr;
    CRequestSlot m_slot;
};

class CDownloadAppNewVersion : public CWinThread {
public:
    // programPath: the program file to replace (the running Klarwin.exe);
    // ownVersion: its version, which the download must differ from (default:
    // the program file's "ProductVersion").
    CDownloadAppNewVersion(HWND mainWnd, const std::wstring& programPath, const std::wstring& ownVersion = {});
    ~CDownloadAppNewVersion() override;

    // Ends the thread soon, whether it has started or not: nothing more is
    // posted, the program file stays, the request in work is closed.
    void Stop() {
        m_running = false;
        m_slot.Abort();
    }
    // Set from construction: a stop before the thread runs is kept.
    std::atomic<bool> m_running{true};

    int Run() override;

    // The downloaded file (the temporary folder and the program file's name).
    std::wstring GetDownloadTarget() const;

private:
    bool Download(const std::wstring& target, uint64_t expectedSize);

    HWND m_mainWnd;
    std::wstring m_programPath;
    std::wstring m_ownVersion;
    HINTERNET m_internet = nullptr;
    HINTERNET m_connection = nullptr;
    CRequestSlot m_slot;
};

// Puts newFile in place of program: program goes to program + ".bak" first;
// when the second move fails the ".bak" file is moved back, so the program
// file always exists. The ".bak" file is deleted when possible (not while the
// old program runs).
bool ReplaceProgramFile(const std::wstring& program, const std::wstring& newFile);
