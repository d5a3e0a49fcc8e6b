// CRepairErrorsThread: the worker thread that repairs the first `count` errors
// of a list, one by one, and reports to a window by posted messages
// (repair_messages.h).
//
//   RepairSetup setup;                  // errors, counters, ignore list, folders, window
//   auto* repair = new CRepairErrorsThread(setup, count);
//   repair->Start();
//   ...                                 // WM_REPAIR_START, _ITEM, _PROGRESS ..., _DONE
//   repair->Stop();                     // clear running, wait
//   delete repair;
//
// Per error: a broken shortcut file is deleted; a registry value or key is
// first recorded in the run's backup file with what the registry holds at
// that moment, then deleted; an error of a protected section only puts its
// location on the ignore list (and is recorded too, so a restore brings it
// back into later scans). A value or key already gone records nothing and
// counts as repaired. Left alone, and not counted as repaired: a registry
// location whose backup line could not be written (when the run's backup
// file cannot be made at all, nothing is repaired), a value that cannot be
// read or has a type a backup line cannot hold (a protected one is still put
// on the ignore list, which changes nothing in the registry), and a location
// whose deletion failed. WM_REPAIR_DONE tells how many errors were left for
// want of a backup; GetReport and GetUnrepaired tell the rest once the thread
// has ended.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "fw/win/thread.h"
#include "klarwin/repair_messages.h"
#include "klarwin/scan_records.h"

struct RepairSetup {
    const CErrorListEx* errors = nullptr;         // copied when the thread is made
    SectionCounters* counters = nullptr;          // Repaired is counted here (may be null)
    CArray<CRegistryItem>* ignoreList = nullptr;  // protected locations are added here (may be null)
    std::wstring ignoreFile;                      // the list is written here at the end (none when empty)
    std::wstring backupFolder;                    // where the run's backup file is made
    HWND notifyWindow = nullptr;                  // receives the messages (none when null)
    // Scale of the one-second pauses after each error and at the end: 1 is
    // the normal pacing, 0 none.
    double pacingScale = 1.0;
};

// What a repair run did with the errors it was given.
struct RepairReport {
    int workCount = 0;          // errors the run was given
    int repaired = 0;
    int notBackedUp = 0;        // left: their backup could not be written
    CStringArrayEx unreadable;  // left: could not be read, or of a type a backup cannot hold (RepairItemText)
    CStringArrayEx notDeleted;  // left: the deletion failed (RepairItemText)
    int notReached = 0;         // left: the run was stopped before them
    int Left() const {
        return notBackedUp + static_cast<int>(unreadable.GetSize()) + static_cast<int>(notDeleted.GetSize()) +
               notReached;
    }
};

// The text shown for an error: the file path (type 0), "root\subkey\value"
// (type 1), "root\subkey" (type 2), empty otherwise.
std::wstring RepairItemText(const CError& error);

// Whether a repair only ignores the error's location: the error's own flag or
// its section's (errors reloaded from a file carry no flag).
bool IsProtectedError(const CError& error);

class CRepairErrorsThread : public CWinThread {
public:
    CRepairErrorsThread(const RepairSetup& setup, int count);
    ~CRepairErrorsThread() override;

    bool Start();
    // Safe from any thread: the repair ends after the error it is working on.
    void RequestStop() {
        m_stop.store(true);
        m_running.store(false);
    }
    void Stop();

    bool IsRepairing() const { return m_running.load(); }
    int GetCount() const { return m_count; }
    // How many errors this run repairs: `count`, or fewer when the list was shorter.
    int GetWorkCount() const { return static_cast<int>(m_work.GetSize()); }
    // The backup file of this run (empty before it was made or when it could not be).
    std::wstring GetBackupPath() const;
    int GetProcessed() const { return m_processed.load(); }
    // Errors left unrepaired because their backup could not be written (all
    // of them when the backup file could not be made).
    int GetNotBackedUp() const { return m_notBackedUp.load(); }
    // Once the thread has ended (after Stop or Wait): what the run did, and
    // the errors it did not repair (those it did not reach included), in
    // list order.
    RepairReport GetReport() const;
    CErrorListEx GetUnrepaired() const;

    int Run() override;

private:
    void Post(UINT message, WPARAM wParam, LPARAM lParam);
    void PostText(UINT message, const std::wstring& text);
    void Pause(DWORD milliseconds);
    enum class Outcome { NotReached, Repaired, NotBackedUp, Unreadable, NotDeleted };
    Outcome RepairOne(const CError& error);

    CErrorListEx m_work;
    std::vector<Outcome> m_outcomes;  // one per error of m_work, written by the thread
    int m_count;
    RepairSetup m_setup;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_processed{0};
    std::atomic<int> m_notBackedUp{0};
    std::wstring m_backupPath;
    std::atomic<bool> m_backupReady{false};
};
