// Tunestack.dll adding a large folder in the modules' test host, the window
// answering meanwhile: a thread posts it a message every 10 ms stamped with
// the time it was posted, and the window's thread notes how long each waited
// behind what the module posts itself (the workers' batches) and does.
#include "tunestack_add.h"

#include "module_test_host.h"

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT kProbe = WM_APP + 0x3A0;   // beyond the module's own messages
constexpr DWORD kAfterAddMs = 500;
constexpr UINT kProgress = 41205, kCancel = 41011, kStatus = 41204, kTracks = 41202;

Clock::time_point g_start;
WNDPROC g_moduleProc = nullptr;
double g_longestMs = 0;
double g_longestAtS = 0;   // when it was handled, since the add began
bool g_shown = false;
double g_longestStepMs = 0;   // the longest the module's window took over one message of its own
UINT g_longestStepMessage = 0;

long long SinceStartUs() { return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - g_start).count(); }

LRESULT CALLBACK Probed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kProbe) {
        const auto before = Clock::now();
        const LRESULT result = CallWindowProcW(g_moduleProc, hwnd, message, wParam, lParam);
        const double took = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
        if (took > g_longestStepMs) {
            g_longestStepMs = took;
            g_longestStepMessage = message;
        }
        return result;
    }
    // The stamp is the posting time in microseconds, kept to 31 bits (35 minutes).
    const double waited = static_cast<double>((SinceStartUs() - static_cast<long long>(lParam)) & 0x7FFFFFFF) / 1000;
    if (waited > g_longestMs) {
        g_longestMs = waited;
        g_longestAtS = static_cast<double>(SinceStartUs()) / 1e6;
    }
    if (IsWindowVisible(GetDlgItem(hwnd, kProgress)) && IsWindowVisible(GetDlgItem(hwnd, kCancel))) g_shown = true;
    return 0;
}

std::wstring StatusText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(GetDlgItem(window, kStatus), text, 1024);
    return text;
}

}  // namespace

bool MeasureTunestackAdd(const std::wstring& module, const std::wstring& folder, TunestackAddTimes& times)
{
    // The library's data folder is named by the program folder's appdatadefault.ini: one of this run's own.
    const std::wstring name = L"LibraryBench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring program = mdtest::FreshTempFolder(L"library-bench-program");
    wchar_t common[MAX_PATH] = {};
    if (!SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, common))) return false;
    const std::wstring data = std::wstring(common) + L"\\Corvena\\" + name + L"\\";
    const std::string ini = "[General]\r\nName=" + std::string(name.begin(), name.end()) + "\r\n";
    bool ok = mdtest::WriteBytes(program + L"appdatadefault.ini", ini);
    {
        mdtest::CModuleTestHost host(program);
        ok = ok && host.Load(module);
        HWND window = ok ? host.ModuleWindow() : nullptr;
        if (window) {
            g_start = Clock::now();
            g_longestMs = 0;
            g_longestStepMs = 0;
            g_shown = false;
            g_moduleProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Probed)));
            std::atomic<bool> adding{true};
            std::thread poster([&] {
                while (adding) {
                    PostMessageW(window, kProbe, 0, static_cast<LPARAM>(SinceStartUs() & 0x7FFFFFFF));
                    ++times.posted;
                    Sleep(10);
                }
            });
            const auto start = Clock::now();
            ok = host.PassMessage(L"Main frame", (L"addfolder \"" + folder + L"\"").c_str()) != 0;
            ok = ok && mdtest::PumpUntil([&] { return StatusText(window).rfind(L"Added ", 0) == 0; }, 600000);
            times.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            // The library's files are written behind the window after the add: probed meanwhile too.
            mdtest::Pump(kAfterAddMs);
            adding = false;
            poster.join();
            mdtest::Pump(50);   // the last probes taken
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_moduleProc));
            times.longestWaitMs = g_longestMs;
            times.longestAtSeconds = g_longestAtS;
            times.progressShown = g_shown;
            times.longestStepMs = g_longestStepMs;
            times.longestStepMessage = g_longestStepMessage;
            times.rows = static_cast<int>(SendMessageW(GetDlgItem(window, kTracks), LVM_GETITEMCOUNT, 0, 0));
        }
        host.Unload();
    }
    mdtest::RemoveTree(data);
    mdtest::RemoveTree(program);
    return ok;
}
