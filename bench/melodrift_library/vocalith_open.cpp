// Vocalith.dll in a host of the program's own classes (as its tests load it):
// a playlist file of many entries opened, timed until its rows are listed
// and until every row has been looked at behind the list.
#include "vocalith_open.h"

#include "frame_services.h"
#include "host_services.h"
#include "message_bus.h"
#include "module_test_host.h"
#include "module_registry.h"
#include "settings.h"

#include "fw/testing/input.h"

#include <chrono>
#include <string>

namespace {

class BenchFrame : public IFrameServices {
public:
    BenchFrame() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LibraryBenchFrame";
        RegisterClassW(&wc);
        m_main = CreateWindowExW(0, wc.lpszClassName, L"bench frame", WS_OVERLAPPEDWINDOW, 0, 0, 640, 400, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    }
    ~BenchFrame() override { DestroyWindow(m_main); }
    HWND GetModuleParent() override { return m_main; }
    HWND GetMainWindow() override { return m_main; }
    IQueryInterface* GetHostQueryInterface() override { return query; }

    HWND m_main = nullptr;
    IQueryInterface* query = nullptr;
};

}  // namespace

bool MeasureVocalithOpen(const std::wstring& module, int entries, VocalithOpenTimes& times) {
    using Clock = std::chrono::steady_clock;
    const std::wstring folder = mdtest::FreshTempFolder(L"library-bench-vocalith");
    const std::wstring modules = folder + L"Modules\\";
    CHostSettings settings(folder + L"config.ini");
    BenchFrame frame;
    CModuleRegistry registry(frame);
    CMessageBus bus(registry);
    CHostServices services(registry, bus, settings, frame, folder);
    frame.query = services.Query();
    // The host loads a module with the module's folder searched, not the
    // program's: the skin controls the module links go beside it.
    CreateDirectoryW(modules.c_str(), nullptr);
    if (!CopyFileW(module.c_str(), (modules + L"Vocalith.dll").c_str(), FALSE) ||
        !CopyFileW((mdtest::ExeFolder() + L"Patinctl.dll").c_str(), (modules + L"Patinctl.dll").c_str(), FALSE)) {
        mdtest::RemoveTree(folder);
        return false;
    }
    HMENU view = CreatePopupMenu();
    CArray<LanguageEntry> languages;
    CModuleRegistry::LoadParams p;
    p.programFolder = folder;
    p.languageShortName = L"eng";
    p.languages = &languages;
    p.viewMenu = view;
    registry.Load(p);
    CModuleEntry* entry = registry.FindByName(L"Vocalith");
    bool ok = entry && entry->Window;
    if (ok) {
        registry.ActivateEntry(entry);
        // Entries whose files are not there: the list shows them at once, and
        // learns behind it that they are missing.
        std::string m3u8 = "#EXTM3U\r\n";
        for (int i = 0; i < entries; ++i)
            m3u8 += "#EXTINF:200,Title " + std::to_string(i) + "\r\nArtist " + std::to_string(i / 1000) + "\\" +
                    std::to_string(i) + " Track.mp3\r\n";
        const std::wstring list = folder + L"long.m3u8";
        ok = mdtest::WriteBytes(list, m3u8);
        HWND rows = GetDlgItem(entry->Window, 1003);
        const auto start = Clock::now();
        const std::wstring message = L"add \"" + list + L"\"";
        ok = ok && services.ModuleCom()->SendMessage(L"Vocalith", ORVO_MAIN_FRAME_NAME, message.c_str()) == MESSAGE_OK;
        // The rows on screen painted (what the reader posts meanwhile is not taken yet).
        RedrawWindow(entry->Window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        times.shownSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        ok = ok && SendMessageW(rows, LB_GETCOUNT, 0, 0) == entries;
        // Filled in when the last row says its file is missing.
        const auto last = [&] {
            wchar_t text[512] = {};
            if (SendMessageW(rows, LB_GETTEXTLEN, entries - 1, 0) >= 512) return false;
            SendMessageW(rows, LB_GETTEXT, entries - 1, reinterpret_cast<LPARAM>(text));
            return std::wstring(text).find(L"(missing)") != std::wstring::npos;
        };
        while (ok && !last()) {
            if (std::chrono::duration<double>(Clock::now() - start).count() > 600) ok = false;
            fw::testing::PumpFor(5);
        }
        times.filledSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        SendMessageW(entry->Window, WM_COMMAND, 43004, 0);   // the list cleared: its settings go too
    }
    registry.Unload();
    DestroyMenu(view);
    mdtest::RemoveTree(folder);
    return ok;
}
