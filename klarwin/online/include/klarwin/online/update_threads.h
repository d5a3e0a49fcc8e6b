// The update check and the download of a new program file, each on a worker
// thread that reports to the main window with the messages of
// klarwin/update_messages.h.
//
//   auto check = std::make_unique<CAutoFindNewVersion>(mainWnd, L"3.0.5");
//   check->m_bAutoDelete = FALSE;
//   check->CreateThread();
//   check->RequestCheck();           // answered within the thread's poll period
//   ...
//   check->Stop(); check->Wait();    // before deleting it
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
#include <string>

#include "fw/win/thread.h"

constexpr wchar_t kVersionObject[] = L"/klarwin-latest-version/klarwin_version.txt";
constexpr wchar_t kAppSizeObject[] = L"/klarwin-latest-version/klarwin_appsize.txt";
constexpr wchar_t kProgramObject[] = L"/klarwin-latest-version/Klarwin.exe";

// Largest small file (version, size) read; longer answers are cut to it.
constexpr DWORD kSmallFileLimit = 4096;

// Reads a small single-byte text file from the server into text. Fails without
// a Content-Length header or on a non-200 answer; reads at most
// kSmallFileLimit - 1 bytes whatever the header says.
bool ReadSmallServerFile(HINTERNET connection, const wchar_t* object, std::wstring& text);

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
    void Stop() { m_running = false; m_checkRequested = false; }

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
};

class CDownloadAppNewVersion : public CWinThread {
public:
    // programPath: the program file to replace (the running Klarwin.exe).
    CDownloadAppNewVersion(HWND mainWnd, const std::wstring& programPath);
    ~CDownloadAppNewVersion() override;

    void Stop() { m_running = false; }
    std::atomic<bool> m_running{false};

    int Run() override;

    // The downloaded file (the temporary folder and the program file's name).
    std::wstring GetDownloadTarget() const;

private:
    bool Download(const std::wstring& target, uint64_t expectedSize);

    HWND m_mainWnd;
    std::wstring m_programPath;
    HINTERNET m_internet = nullptr;
    HINTERNET m_connection = nullptr;
};

// Puts newFile in place of program: program goes to program + ".bak" first;
// when the second move fails the ".bak" file is moved back, so the program
// file always exists. The ".bak" file is deleted when possible (not while the
// old program runs).
bool ReplaceProgramFile(const std::wstring& program, const std::wstring& newFile);
