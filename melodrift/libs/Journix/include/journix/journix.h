// Journix: the debug log of Melodrift and its modules.
//
//   enJournix()->WriteLogMessage(L"MainFrame", L"Loaded library %s successfully.", path);
//
// Every line goes to one UTF-8 text file, by default beside the program as
// "<program title>_debug.log" (Melodrift.exe logs to Melodrift_debug.log), and
// reads
//
//   2024-05-17 14:03:09.125 [MainFrame] INFO: Loaded library C:\...\x.dll successfully.
//
// (local time with milliseconds, the source name, the level, the text; line
// breaks inside the text become blanks, the line ends with CR LF).
//
// Levels: JOURNIX_TRACE 0, JOURNIX_INFO 1, JOURNIX_WARNING 2, JOURNIX_ERROR 3.
// A line is written when its level is at least the filter level; the filter
// level 0 (the default) writes everything, 4 or more writes nothing. The host
// sets it from "FilterLevel" of section "Debug" of its settings file.
//
// Formats are printf-style with the meanings of the framework's formatter:
// %s and %ls take const wchar_t*, %hs takes a UTF-8 const char*.
//
// Crossing the DLL boundary: the logger is a table of functions (the
// platform's member-function convention, like a COM interface without
// IUnknown); only C types pass. The object lives inside Journix.dll for the
// whole process; callers never delete it. Every operation may be called from
// any thread; one line is written as a whole or not at all.
#ifndef JOURNIX_JOURNIX_H
#define JOURNIX_JOURNIX_H

#include <windows.h>

#include <stdarg.h>

#ifdef JOURNIX_BUILD
#define JOURNIX_API __declspec(dllexport)
#else
#define JOURNIX_API __declspec(dllimport)
#endif

enum JournixLevel {
    JOURNIX_TRACE = 0,
    JOURNIX_INFO = 1,
    JOURNIX_WARNING = 2,
    JOURNIX_ERROR = 3,
};

struct IJournix {
    // One line at level JOURNIX_INFO.
    virtual void __cdecl WriteLogMessage(const wchar_t* source, const wchar_t* format, ...) = 0;
    // One line at the given level.
    virtual void __cdecl WriteLogMessageLevel(int level, const wchar_t* source, const wchar_t* format, ...) = 0;
    virtual void WriteLogMessageV(int level, const wchar_t* source, const wchar_t* format, va_list args) = 0;

    virtual void SetFilterLevel(int level) = 0;
    virtual int GetFilterLevel() = 0;

    // Sends the lines to another file (created when missing, appended to
    // otherwise); null or empty goes back to the default file. FALSE when the
    // file cannot be opened for appending (the previous file stays in use).
    virtual BOOL SetLogFile(const wchar_t* path) = 0;
    // The file in use: its length in characters (without the NUL); the text
    // is copied when it fits into `size` characters with its NUL.
    virtual DWORD GetLogFile(wchar_t* buffer, DWORD size) = 0;
};

extern "C" {
// The process-wide logger (never null).
JOURNIX_API IJournix* __cdecl enJournix(void);
}

#endif
