// CRegistryScanThread: the worker thread that walks the enabled scan sections
// in order, appends every finding to the engine's error list, counts it, and
// reports to a window by posted messages (scan_messages.h).
//
//   ScanSetup setup;                       // the engine's list, counters, ignore list, window
//   auto* scan = new CRegistryScanThread(enabled, setup);
//   scan->Start();
//   ...
//   scan->Stop();                          // clear running, stop the folder search, wait
//   delete scan;
//
// The window receives WM_SCAN_SECTION_START / _END per section (section 4
// starts twice, once per root), WM_SCAN_ERROR_FOUND per finding, progress
// texts, WM_SCAN_SECTION_SKIPPED for a section that could not be checked,
// and WM_SCAN_COMPLETE at the end unless the scan was stopped. Once
// stopped, nothing more is posted. The error list and counters may be read
// after WM_SCAN_COMPLETE or after Stop().
#pragma once

#include <windows.h>

#include "fw/win/thread.h"
#include "klarwin/scan_context.h"

class CRegistryScanThread : public CWinThread {
public:
    CRegistryScanThread(const bool enabled[kSectionCount], const ScanSetup& setup);
    ~CRegistryScanThread() override;

    // Sets the running flag and starts the thread, which the creator deletes.
    bool Start();
    // The first half of stopping, safe from any thread: the scan posts nothing
    // more and ends at its next check.
    void RequestStop();
    // RequestStop, then waits without time-out for the thread to end.
    void Stop();

    bool IsSectionEnabled(int section) const;
    bool IsScanning() const { return m_context.running.load(); }
    ScanContext& Context() { return m_context; }

    int Run() override;

private:
    bool m_enabled[kSectionCount];
    CErrorListEx* m_errors;
    ScanContext m_context;
};
