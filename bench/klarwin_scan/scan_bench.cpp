// Scan cost on a synthetic registry of 100,000 values made under the
// application-paths key of the machine (and removed afterwards):
//   1. the scan of that section (pacing off) against the same walk with its
//      reports: a thread that enumerates the same keys, reads the same values
//      and posts one WM_SCAN_ERROR_FOUND per finding of the scan (as many,
//      evenly spread) to the same window, which takes them as they come;
//   2. the same scan with a 10,000-entry ignore list against an empty one.
// The message per finding is what the scan owes its window, and so part of the
// baseline: under Wine a post with the wake-up of the window's thread costs as
// much as reading two to four values, a quarter of the walk or more with one
// finding in ten values. The ratio of that walk to a bare walk (the same reads
// on the calling thread, nothing posted) is printed beside it, and so is the
// scan against the bare walk. The scan's file look-ups are not in the
// baseline: a scan asks the file system about each path once and skips the
// files of folders known to be gone, which on this registry leaves two
// look-ups per scan.
// Prints the ratios; targets at most 1.1 (scan / bare walk; the scan against the
// walk with its reports tells the scan's own part) and 1.05 (ignore list).
//
//   tools/wine-run build/<dir>/bench/klarwin_scan/klarwin_scan_bench.exe [keys] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "fw/strutil.h"
#include "klarwin/path_check.h"
#include "klarwin/registry_scan_thread.h"

namespace {

const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const wchar_t kBenchPrefix[] = L"KlarwinBench-";
constexpr int kValuesPerKey = 10;

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& data) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void RemoveOldBenchKeys() {
    HKEY paths = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppPaths, 0, KEY_READ | KEY_WRITE, &paths) != ERROR_SUCCESS) return;
    std::vector<std::wstring> old;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(paths, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (wcsncmp(name, kBenchPrefix, wcslen(kBenchPrefix)) == 0) old.push_back(name);
    }
    for (const std::wstring& n : old) RegDeleteTreeW(paths, n.c_str());
    RegCloseKey(paths);
}

// keys x 10 values: paths that exist, that are missing, and texts the path test
// lets pass early, as application entries hold them.
bool MakeRegistry(const std::wstring& root, int keys) {
    std::wstring existing = ExpandEnvironment(L"%SystemRoot%\\system32\\kernel32.dll");
    for (int k = 0; k < keys; ++k) {
        HKEY key = nullptr;
        std::wstring path = root + fw::Format(L"\\app%05d.exe", k);
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        SetString(key, L"", existing);
        SetString(key, L"Path", fw::Format(L"C:\\Program Files\\Vendor %d\\App", k));
        SetString(key, L"Missing", fw::Format(L"C:\\KlarwinBenchGone\\app%05d.exe", k));
        SetString(key, L"Env", L"%SystemRoot%\\system32\\kernel32.dll");
        SetString(key, L"Args", fw::Format(L"C:\\Program Files\\Vendor %d\\app.exe /quiet", k));
        SetString(key, L"Quoted", fw::Format(L"\"C:\\Program Files\\Vendor %d\\app.exe\"", k));
        SetString(key, L"Icon", fw::Format(L"C:\\Program Files\\Vendor %d\\app.exe,0", k));
        SetString(key, L"Description", L"An application of the benchmark");
        DWORD one = 1;
        RegSetValueExW(key, L"UseUrl", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        BYTE blob[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, sizeof(blob));
        RegCloseKey(key);
    }
    return true;
}

// Posts `findings` error messages to a window, evenly over `values` values
// read.
struct Reports {
    HWND window = nullptr;
    long long values = 1;
    long long findings = 0;
    long long due = 0;

    void ValueRead() {
        due += findings;
        if (due < values) return;
        due -= values;
        PostMessageW(window, WM_SCAN_ERROR_FOUND, static_cast<WPARAM>(kSectionAppPaths), 0);
    }
};

// The baseline: the same keys (depth 1 to 11) opened below their parent,
// enumerated, and every value read with its data; with `reports`, the scan's
// messages posted along the way.
long long BareWalk(HKEY parent, const std::wstring& name, int depth, Reports* reports = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD subKeys = 0, values = 0;
    long long count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS) {
        wchar_t valueName[256];
        wchar_t data[513];
        for (DWORD i = 0; i < values; ++i) {
            DWORD nameLength = 256, type = 0, bytes = 1024;
            if (RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                              &bytes) == ERROR_SUCCESS) {
                ++count;
                if (reports) reports->ValueRead();
            }
        }
        if (depth <= 10) {
            wchar_t child[256];
            for (DWORD i = 0; i < subKeys; ++i) {
                DWORD length = 256;
                if (RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
                    count += BareWalk(key, child, depth + 1, reports);
            }
        }
    }
    RegCloseKey(key);
    return count;
}

LRESULT CALLBACK SinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SCAN_PROGRESS_TEXT) {
        SysFreeString(reinterpret_cast<BSTR>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Takes the window's messages until the thread has ended.
void PumpUntilEnded(HANDLE thread) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (r == WAIT_OBJECT_0) break;
    }
}

struct ScanResult {
    double ms = 0;
    int errors = 0;
};

// The application-paths section alone, pacing off, reporting to a window of
// this thread that takes the messages as they come.
ScanResult Scan(HWND window, const CRegistryItemListEx& ignore) {
    CErrorListEx errors;
    SectionCounters counters;
    ScanSetup setup;
    setup.errors = &errors;
    setup.counters = &counters;
    setup.ignoreList = &ignore;
    setup.notifyWindow = window;
    setup.pacingScale = 0;
    bool enabled[kSectionCount] = {};
    enabled[kSectionAppPaths] = true;
    double start = Now();
    CRegistryScanThread scan(enabled, setup);
    scan.Start();
    PumpUntilEnded(scan.m_hThread);
    ScanResult result;
    result.ms = Now() - start;
    result.errors = errors.GetSize();
    return result;
}

DWORD WINAPI WalkThread(void* reports) {
    BareWalk(HKEY_LOCAL_MACHINE, kAppPaths, 1, static_cast<Reports*>(reports));
    return 0;
}

// The baseline walk on a thread of its own, as the scan runs, posting the
// scan's messages to the window of this thread.
double WalkWithReports(HWND window, long long values, long long findings) {
    Reports reports;
    reports.window = window;
    reports.values = values > 0 ? values : 1;
    reports.findings = findings;
    double start = Now();
    HANDLE thread = CreateThread(nullptr, 0, &WalkThread, &reports, 0, nullptr);
    if (!thread) return 0;
    PumpUntilEnded(thread);
    double ms = Now() - start;
    CloseHandle(thread);
    return ms;
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int keys = argc > 1 ? _wtoi(argv[1]) : 10000;
    int rounds = argc > 2 ? _wtoi(argv[2]) : 7;
    if (keys < 1) keys = 1;
    if (rounds < 1) rounds = 1;

    RemoveOldBenchKeys();
    std::wstring root = std::wstring(kAppPaths) + L"\\" + kBenchPrefix + std::to_wstring(GetCurrentProcessId());
    double t0 = Now();
    if (!MakeRegistry(root, keys)) {
        std::printf("could not create the synthetic registry (rights?)\n");
        RemoveOldBenchKeys();
        return 1;
    }
    std::printf("synthetic registry: %d keys, %d values, made in %.0f ms\n", keys, keys * kValuesPerKey, Now() - t0);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = &SinkProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KlarwinScanBenchSink";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    // Ignore entries for the same keys under other value names: every finding
    // is looked up and none is hidden, so both scans report the same.
    CRegistryItemListEx emptyIgnore, bigIgnore;
    for (int i = 0; i < 10000; ++i) {
        CRegistryItem item;
        item.RootKey = HKEY_LOCAL_MACHINE;
        item.RootName = L"HKEY_LOCAL_MACHINE";
        item.SubKey = root + fw::Format(L"\\app%05d.exe", i % keys);
        item.ValueName = fw::Format(L"Other%d", i);
        bigIgnore.Add(item);
    }

    // Warm up (first use of the keys and files), then alternate the runs.
    long long walked = BareWalk(HKEY_LOCAL_MACHINE, kAppPaths, 1);
    if (walked < keys * kValuesPerKey) std::printf("warning: walked only %lld values\n", walked);
    int findings = Scan(window, emptyIgnore).errors;
    WalkWithReports(window, walked, findings);
    std::vector<double> bare, reported, plain, ignored;
    int errorsPlain = 0, errorsIgnored = 0;
    for (int r = 0; r < rounds; ++r) {
        double s = Now();
        walked = BareWalk(HKEY_LOCAL_MACHINE, kAppPaths, 1);
        bare.push_back(Now() - s);
        reported.push_back(WalkWithReports(window, walked, findings));
        ScanResult a = Scan(window, emptyIgnore);
        plain.push_back(a.ms);
        errorsPlain = a.errors;
        ScanResult b = Scan(window, bigIgnore);
        ignored.push_back(b.ms);
        errorsIgnored = b.errors;
    }

    // The fastest of the rounds is the cost with the least interference from
    // other work on the machine; the medians are shown beside it.
    double bareMs = Min(bare), reportedMs = Min(reported), plainMs = Min(plain), ignoredMs = Min(ignored);
    std::printf("values walked: %lld (findings %d, with the ignore list %d), %d rounds\n", walked, errorsPlain,
                errorsIgnored, rounds);
    std::printf("                           fastest               median\n");
    std::printf("bare walk:                 %8.1f ms %6.2f us/value  %8.1f ms\n", bareMs, bareMs * 1000.0 / walked,
                Median(bare));
    std::printf("walk with the reports:     %8.1f ms %6.2f us/value  %8.1f ms\n", reportedMs,
                reportedMs * 1000.0 / walked, Median(reported));
    std::printf("scan, empty ignore list:   %8.1f ms %6.2f us/value  %8.1f ms\n", plainMs, plainMs * 1000.0 / walked,
                Median(plain));
    std::printf("scan, 10,000-entry list:   %8.1f ms %6.2f us/value  %8.1f ms\n", ignoredMs,
                ignoredMs * 1000.0 / walked, Median(ignored));
    std::printf("ratio scan / walk with reports:  %.3f (the scan's own work)\n", plainMs / reportedMs);
    std::printf("ratio ignore list / empty list:  %.3f (target <= 1.05)\n", ignoredMs / plainMs);
    std::printf("ratio walk with reports / bare:  %.3f (the %d messages and their thread)\n", reportedMs / bareMs,
                findings);
    std::printf("ratio scan / bare walk:          %.3f (target <= 1.1)\n", plainMs / bareMs);

    DestroyWindow(window);
    RemoveOldBenchKeys();
    return 0;
}
