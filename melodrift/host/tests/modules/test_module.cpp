// A plug-in module for the tests, compiled into several DLLs that differ by
// these definitions:
//   TM_NAME=<identifier>  the module's name (TM_NAME_EMPTY: "", TM_NAME_NULL: no
//                         name pointer, TM_NAME_CYRILLIC: a name outside ANSI)
//   TM_NO_INFO            no OrvoGetModuleInfo
//   TM_REFUSE             OrvoInitialize answers null
//   TM_NO_PASS            no OrvoPassMessage
//   TM_PASS_RESULT=<n>    what OrvoPassMessage answers (1 unless given)
//   TM_TRY_CLOSE=<n>      OrvoTryClose is exported and answers n
//   TM_RECORD_FILE        every message received is appended to
//                         "<name>_received.txt" beside the DLL (UTF-8)
// TmCounters, TmClaimCommand, TmMessage and TmHammerBus let a test in the same process see
// what the host did.
#include "host/host_interfaces.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#define TM_WIDEN2(x) L## #x
#define TM_WIDEN(x) TM_WIDEN2(x)

#if defined(TM_NAME_EMPTY)
static const wchar_t kName[] = L"";
#elif defined(TM_NAME_CYRILLIC)
static const wchar_t kName[] = L"\u0412\u043e\u043a\u0430\u043b\u0438\u0442";
#elif defined(TM_NAME)
static const wchar_t kName[] = TM_WIDEN(TM_NAME);
#else
static const wchar_t kName[] = L"";
#endif

#ifndef TM_PASS_RESULT
#define TM_PASS_RESULT 1
#endif

// What the host did to this module (read by the tests through TmCounters).
struct TmCounters {
    int initialize;
    int getMenu;
    int getAccel;
    int activated;
    int deactivated;
    int loadSkin;
    int idle;
    int preTranslate;
    int cmdMsg;
    int tryClose;
    int lastState;
    UINT lastCommand;
    int lastCode;
    int queryOnly;
    HWND parent;
    IQueryInterface* host;
};

namespace {

TmCounters g_counters;
UINT g_claimed = 0;     // a command the module handles besides 40001 (TmClaimCommand)
int g_claimedRuns = 0;
HWND g_window = nullptr;
HMENU g_menu = nullptr;
HMODULE g_self = nullptr;
std::mutex g_lock;
std::vector<std::pair<std::wstring, std::wstring>> g_messages;

[[maybe_unused]] void Record(const wchar_t* sender, const wchar_t* message) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_messages.emplace_back(sender ? sender : L"(null)", message ? message : L"(null)");
#ifdef TM_RECORD_FILE
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_self, path, MAX_PATH);
    std::wstring file = path;
    file = file.substr(0, file.find_last_of(L'\\') + 1) + kName + L"_received.txt";
    std::wstring line = std::wstring(sender ? sender : L"") + L"\t" + (message ? message : L"") + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), n, nullptr, nullptr);
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
#endif
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    if (reason == DLL_PROCESS_DETACH && g_menu) DestroyMenu(g_menu);
    return TRUE;
}

ORVO_MODULE_EXPORT HWND __cdecl OrvoInitialize(HWND parent, wchar_t* scratch, int scratchSize, IQueryInterface* host) {
    ++g_counters.initialize;
    g_counters.parent = parent;
    g_counters.host = host;
    if (scratch && scratchSize > 0) scratch[0] = L'\0';
#ifdef TM_REFUSE
    g_window = nullptr;
    return g_window;
#else
    g_window = CreateWindowExW(0, L"STATIC", kName, WS_CHILD | SS_CENTER | SS_SUNKEN, 0, 0, 200, 100, parent, nullptr,
                               g_self, nullptr);
    g_menu = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 40001, L"Module command");
    AppendMenuW(g_menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), kName);
    return g_window;
#endif
}

ORVO_MODULE_EXPORT HMENU __cdecl OrvoGetMenu(HWND) {
    ++g_counters.getMenu;
    return g_menu;
}

ORVO_MODULE_EXPORT HACCEL __cdecl OrvoGetAccelTable(HWND) {
    ++g_counters.getAccel;
    return nullptr;
}

ORVO_MODULE_EXPORT void __cdecl OrvoChangeState(HWND, int active) {
    g_counters.lastState = active;
    if (active) ++g_counters.activated;
    else ++g_counters.deactivated;
}

ORVO_MODULE_EXPORT void __cdecl OrvoLoadSkin(HWND, int) { ++g_counters.loadSkin; }

#ifndef TM_NO_PASS
ORVO_MODULE_EXPORT int __cdecl OrvoPassMessage(HWND, const wchar_t* sender, const wchar_t* message) {
    Record(sender, message);
    return TM_PASS_RESULT;
}
#endif

ORVO_MODULE_EXPORT void __cdecl OrvoProcessDllIdle() { ++g_counters.idle; }

ORVO_MODULE_EXPORT int __cdecl OrvoOnCmdMsg(HWND, UINT id, int code, void* extra, void* handlerInfo) {
    ++g_counters.cmdMsg;
    g_counters.lastCommand = id;
    g_counters.lastCode = code;
    if (handlerInfo) ++g_counters.queryOnly;
    if (id != 0 && id == g_claimed) {
        if (code == ORVO_CN_COMMAND && !handlerInfo) ++g_claimedRuns;
        return 1;
    }
    if (id != 40001) return 0;
    if (code == ORVO_CN_UPDATE_COMMAND_UI && extra) {
        auto* state = static_cast<ORVO_CMD_UI*>(extra);
        state->Enabled = FALSE;
        state->Check = 1;
    }
    return 1;
}

ORVO_MODULE_EXPORT int __cdecl OrvoPreTranslateMessage(HWND, MSG* message) {
    ++g_counters.preTranslate;
    return message && message->message == WM_APP + 77 ? 1 : 0;
}

#ifdef TM_TRY_CLOSE
ORVO_MODULE_EXPORT int __cdecl OrvoTryClose() {
    ++g_counters.tryClose;
    return TM_TRY_CLOSE;
}
#endif

#ifndef TM_NO_INFO
ORVO_MODULE_EXPORT int __cdecl OrvoGetModuleInfo(int, ModuleInfo* info) {
    if (!info || info->Size < sizeof(ModuleInfo)) return 0;
#ifdef TM_NAME_NULL
    info->Name = nullptr;
#else
    info->Name = kName;
#endif
    info->Reserved[0] = 1;
    return 1;
}
#endif

// ---- For the tests ------------------------------------------------------------------

ORVO_MODULE_EXPORT TmCounters* __cdecl TmGetCounters() { return &g_counters; }

// The module handles `id` too from now on (0: no more); answers how often it
// ran the command it claimed before.
ORVO_MODULE_EXPORT int __cdecl TmClaimCommand(UINT id) {
    int runs = g_claimedRuns;
    g_claimed = id;
    g_claimedRuns = 0;
    return runs;
}

ORVO_MODULE_EXPORT int __cdecl TmMessageCount() {
    std::lock_guard<std::mutex> guard(g_lock);
    return static_cast<int>(g_messages.size());
}

// Copies message i (sender and text, cut to the buffers); false when there is none.
ORVO_MODULE_EXPORT int __cdecl TmMessage(int i, wchar_t* sender, int senderSize, wchar_t* text, int textSize) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (i < 0 || i >= static_cast<int>(g_messages.size())) return 0;
    const auto& m = g_messages[static_cast<size_t>(i)];
    lstrcpynW(sender, m.first.c_str(), senderSize);
    lstrcpynW(text, m.second.c_str(), textSize);
    return 1;
}

// Sends perThread messages to itself from each of `threads` threads at once
// through the host's bus; returns how many came back MESSAGE_OK.
ORVO_MODULE_EXPORT int __cdecl TmHammerBus(int threads, int perThread) {
    IModuleCom* bus = g_counters.host ? g_counters.host->GetModuleCom() : nullptr;
    if (!bus) return -1;
    std::atomic<int> ok{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < perThread; ++i) {
                std::wstring text = L"ping " + std::to_wstring(t) + L" " + std::to_wstring(i);
                if (bus->SendMessage(kName, kName, text.c_str()) == MESSAGE_OK) ++ok;
            }
        });
    go = true;
    for (auto& w : workers) w.join();
    return ok;
}
