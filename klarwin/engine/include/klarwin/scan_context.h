// ScanContext: the state one registry scan works on, and the steps every
// section walk shares: beginning and ending a section, posting progress and
// messages, adding a finding.
//
// The engine hands the scan its error list, counters and ignore list through
// ScanSetup; the context keeps pointers to the first two (the engine owns
// them) and an index over a copy of the third, built once when the scan is
// made, so that the is-ignored test costs the same for any list length.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "fw/win/com.h"
#include "klarwin/file_finder.h"
#include "klarwin/path_check.h"
#include "klarwin/scan_messages.h"
#include "klarwin/scan_records.h"

// The function the scan posts its messages with: PostMessageW. Replaceable only
// so that tests can give the scan a window queue that fills up, which Wine's
// queues never do.
using ScanPostFunction = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

// Progress texts are posted at most this often (the window shows only the
// latest one); the first text of a section is always posted. Findings are
// announced at the same pace: the first of a section at once, later ones
// together once the interval has passed (each with its own message), so that
// the window's thread wakes once for a run of findings.
constexpr DWORD kDefaultProgressIntervalMs = 50;

struct ScanSetup {
    CErrorListEx* errors = nullptr;                  // findings are appended here
    SectionCounters* counters = nullptr;             // Found is counted here (may be null)
    const CArray<CRegistryItem>* ignoreList = nullptr;  // locations never reported (may be null)
    HWND notifyWindow = nullptr;                     // receives the scan messages (none when null)
    // Scale of the pauses after each section: 1 is the normal pacing, 0 none.
    double pacingScale = 1.0;
    DWORD progressIntervalMs = kDefaultProgressIntervalMs;
    ScanPostFunction postMessage = nullptr;          // null: PostMessageW
};

// At once the first time (after Restart), then at most once per interval.
struct ScanPace {
    DWORD last = 0;
    bool due = true;
    bool Passed(DWORD now, DWORD interval) const { return due || now - last >= interval; }
    void Mark(DWORD now) {
        last = now;
        due = false;
    }
    void Restart() { due = true; }
};

struct ScanContext {
    explicit ScanContext(const ScanSetup& setup);
    ScanContext(const ScanContext&) = delete;
    ScanContext& operator=(const ScanContext&) = delete;

    CErrorListEx* errors;
    SectionCounters* counters;
    CIgnoreSet ignore;
    std::atomic<bool> running{false};

    // The section now being scanned.
    int section = 0;
    bool isProtected = false;
    std::wstring rootName;
    HKEY rootKey = nullptr;
    int ordinal = 0;

    // Made and used on the scan thread (the thread's own apartment); null when
    // it could not be created, and every shortcut then counts as broken.
    fw::ComPtr<IShellLinkW> shellLink;
    CFileFinder finder;

    HWND notifyWindow;
    double pacingScale;
    DWORD progressIntervalMs;
    ScanPostFunction postMessage;

    // What "%systemroot%" expands to, for texts that name "\SystemRoot\...".
    std::wstring systemRoot;
    // Paths this scan has looked up.
    CPathLookupCache pathCache;

    // Progress texts and announcements of findings: each section's first at once.
    ScanPace progressPace;
    ScanPace findingsPace;

    // Findings not announced yet: counted, appended and posted together when
    // due. A stop drops them, as it drops a finding made after it.
    std::vector<CError> heldErrors;
    int heldOrdinal = 0;
};

// Stores the section in the context and posts WM_SCAN_SECTION_START.
void BeginScanSection(ScanContext& ctx, int section, HKEY root, const wchar_t* rootName);
// Pauses (100 to 2000 ms times the pacing scale) and posts WM_SCAN_SECTION_END.
void EndScanSection(ScanContext& ctx);

// Posts a message that must arrive (error, section, completion): while the
// window's queue is full the post is retried until it goes through or the scan
// is stopped. Nothing is posted once the scan is stopped. True when posted.
// Findings held back are announced first, so that they arrive in their section.
bool PostScanMessage(ScanContext& ctx, UINT message, WPARAM wParam, LPARAM lParam);

// Posts the progress text "<root name>\<path>" (section 11: the path alone).
// Texts come at most once per progress interval; a BSTR whose post fails is
// freed here.
void PostScanProgress(ScanContext& ctx, std::wstring_view path);
// The same for "<subkey>\<value name>" (joined even when the name is empty).
void PostScanProgress(ScanContext& ctx, std::wstring_view subKey, std::wstring_view valueName);

// Adds a finding: nothing once the scan is stopped, nothing when `checkIgnore`
// and the item is on the ignore list; otherwise the error gets the context's
// section and protected flag, and is counted, appended and WM_SCAN_ERROR_FOUND
// posted: at once for the first finding of a section or when the progress
// interval has passed since the last announcement, else with the next that is
// due (at the latest before the next section, end or completion message).
void AddScanError(ScanContext& ctx, CError error, bool checkIgnore = true);
// Announces the findings held back when their interval has passed (called by
// the walks as they go, also by those that post no progress text).
void AnnounceDueScanErrors(ScanContext& ctx);
