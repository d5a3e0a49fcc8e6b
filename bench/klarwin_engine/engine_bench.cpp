// 1. HTML report: writes reports of 1,000 and of 100,000 errors and prints the
//    ratio of the time per error (target at most 1.5: the report is linear).
// 2. Scan then repair, pacing off: values with missing files made under the
//    sound-events key of the user (and removed afterwards), scanned and then
//    repaired through the engine; prints the cost per error of each.
//
//   tools/wine-run build/<dir>/bench/klarwin_engine/klarwin_engine_bench.exe [values]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fw/strutil.h"
#include "fw/win/registry.h"
#include "klarwin/brisko_engine.h"

namespace {

const wchar_t kSounds[] = L"AppEvents\\Schemes\\Apps";

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

CErrorListEx MakeErrors(int count) {
    CErrorListEx errors;
    errors.Reserve(count);
    for (int i = 0; i < count; ++i) {
        CError e;
        e.ErrorType = i % 7 == 0 ? kErrorFile : kErrorValue;
        e.Section = i % 7 == 0 ? kSectionShortcuts : i % 11;
        e.FilePath = fw::Format(L"C:\\Program Files\\Vendor %d\\app<%d>.exe", i, i);
        e.Reason = fw::Format(L"The value in HKEY_LOCAL_MACHINE\\Software\\V%d  contains an invalid path \"%s\"", i,
                              e.FilePath.c_str());
        e.Title = L"The file is missing or invalid.";
        e.Item.RootName = L"HKEY_LOCAL_MACHINE";
        e.Item.SubKey = fw::Format(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app%d.exe", i);
        e.Item.ValueName = L"Path & more";
        e.Item.ValueData = e.FilePath;
        errors.Add(e);
    }
    return errors;
}

// Best time per error over a few rounds, in microseconds.
double ReportTimePerError(const std::wstring& folder, int count, int rounds) {
    CErrorListEx errors = MakeErrors(count);
    HtmlReportHeader header;
    header.Version = L"3.0.5";
    header.ReleaseDate = L"08-12-2026";
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        header.ScanDate = CurrentLocalTime();
        std::wstring file;
        double start = Now();
        if (!WriteHtmlReportFile(folder, header, errors, file)) return -1;
        double elapsed = Now() - start;
        DeleteFileW(file.c_str());
        if (elapsed < best) best = elapsed;
    }
    return best * 1000.0 / count;
}

void WaitFor(CWinThread* thread) {
    if (thread) WaitForSingleObject(thread->m_hThread, INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int values = argc > 1 ? _wtoi(argv[1]) : 2000;
    if (values <= 0) values = 2000;
    std::wstring folder = std::filesystem::temp_directory_path().wstring() +
                          fw::Format(L"klarwin-engine-bench-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    double small = ReportTimePerError(folder, 1000, 20);
    double large = ReportTimePerError(folder, 100000, 3);
    std::printf("html report: %.3f us/error at 1,000 errors, %.3f us/error at 100,000 errors\n", small, large);
    std::printf("html report ratio (100,000 / 1,000 per error): %.2f (target <= 1.5)\n", large / small);

    // Scan then repair.
    const std::wstring app = fw::Format(L"KlarwinBench-%lu", GetCurrentProcessId());
    const std::wstring key = std::wstring(kSounds) + L"\\" + app;
    {
        CRegKey k;
        if (k.Create(HKEY_CURRENT_USER, key.c_str()) != ERROR_SUCCESS) {
            std::printf("could not create %ls\n", key.c_str());
            return 1;
        }
        for (int i = 0; i < values; ++i) {
            std::wstring data = fw::Format(L"C:\\klarwin-bench-missing\\sound%d.wav", i);
            k.SetStringValue(fw::Format(L"v%05d", i).c_str(), data);
        }
    }
    EngineOptions options;
    options.backupFolder = folder + L"\\backup";
    options.dataFolder = folder + L"\\data";
    options.reportsFolder = folder;
    options.pacingScale = 0;
    {
        CBriskoEngine engine(options);
        bool enabled[kSectionCount] = {};
        enabled[kSectionSoundFiles] = true;
        double start = Now();
        engine.StartScan(enabled);
        WaitFor(engine.GetScanThread());
        double scanMs = Now() - start;
        int found = engine.GetErrorList().GetSize();
        start = Now();
        engine.StartRepair(found);
        WaitFor(engine.GetRepairThread());
        double repairMs = Now() - start;
        std::printf("scan of %d values: %d errors, %.1f ms (%.3f ms/error)\n", values, found, scanMs,
                    found ? scanMs / found : 0.0);
        std::printf("repair of %d errors with backup: %.1f ms (%.3f ms/error)\n", found, repairMs,
                    found ? repairMs / found : 0.0);
        std::printf("scan then repair: %.3f ms/error\n", found ? (scanMs + repairMs) / found : 0.0);
    }
    CRegKey::DeleteTree(HKEY_CURRENT_USER, key.c_str());
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder), ec);
    return 0;
}
