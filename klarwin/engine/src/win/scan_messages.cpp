#include <cstdlib>
#include <ctime>

#include "klarwin/scan_context.h"

ScanContext::ScanContext(const ScanSetup& setup)
    : errors(setup.errors),
      counters(setup.counters),
      notifyWindow(setup.notifyWindow),
      pacingScale(setup.pacingScale < 0 ? 0 : setup.pacingScale),
      progressIntervalMs(setup.progressIntervalMs),
      postMessage(setup.postMessage ? setup.postMessage : &PostMessageW) {
    if (setup.ignoreList) ignore.Assign(*setup.ignoreList);
}

void BeginScanSection(ScanContext& ctx, int section, HKEY root, const wchar_t* rootName) {
    const ScanSectionInfo* info = GetScanSectionInfo(section);
    ctx.section = section;
    ctx.rootKey = root;
    ctx.rootName = rootName;
    ctx.isProtected = info && info->Protected;
    ctx.progressPace.Restart();
    ctx.findingsPace.Restart();
    PostScanMessage(ctx, WM_SCAN_SECTION_START, static_cast<WPARAM>(section), static_cast<LPARAM>(ctx.ordinal));
}

void EndScanSection(ScanContext& ctx) {
    // The pause after a section: 100 to 2000 ms, drawn from the C runtime's
    // generator seeded from the clock and the date.
    std::time_t now = std::time(nullptr);
    std::tm local = {};
#ifdef _MSC_VER
    localtime_s(&local, &now);
#else
    if (std::tm* t = std::localtime(&now)) local = *t;
#endif
    unsigned seed = static_cast<unsigned>(static_cast<unsigned long long>(now) & 0xFFFFFFFFu) +
                    static_cast<unsigned>(local.tm_mday + local.tm_mon + local.tm_year + 1901);
    std::srand(seed);
    DWORD pause = static_cast<DWORD>(100.0 * (1 + std::rand() % 20) * ctx.pacingScale);
    // Sleep in slices so that a stop request does not wait out the pause.
    DWORD start = GetTickCount();
    while (pause > 0 && ctx.running.load()) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= pause) break;
        DWORD slice = pause - elapsed;
        Sleep(slice < 50 ? slice : 50);
    }
    PostScanMessage(ctx, WM_SCAN_SECTION_END, static_cast<WPARAM>(ctx.section), static_cast<LPARAM>(ctx.ordinal));
}

namespace {

bool PostNow(ScanContext& ctx, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!ctx.notifyWindow) return false;
    for (;;) {
        if (!ctx.running.load()) return false;
        if (ctx.postMessage(ctx.notifyWindow, message, wParam, lParam)) return true;
        DWORD error = GetLastError();
        // A full queue (10,000 posted messages) empties as the window works;
        // any other failure (no such window) will not get better.
        if (error != ERROR_NOT_ENOUGH_QUOTA && error != ERROR_NOT_ENOUGH_MEMORY && error != ERROR_OUTOFMEMORY)
            return false;
        Sleep(5);
    }
}

void AnnounceHeldErrors(ScanContext& ctx) {
    for (CError& error : ctx.heldErrors) {
        if (!ctx.running.load()) break;
        const int section = error.Section;
        if (ctx.counters) ++(*ctx.counters)[section].Found;
        if (ctx.errors) ctx.errors->Add(std::move(error));
        PostNow(ctx, WM_SCAN_ERROR_FOUND, static_cast<WPARAM>(section), static_cast<LPARAM>(ctx.heldOrdinal));
    }
    ctx.heldErrors.clear();
    ctx.findingsPace.Mark(GetTickCount());
}

}  // namespace

bool PostScanMessage(ScanContext& ctx, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!ctx.heldErrors.empty()) AnnounceHeldErrors(ctx);
    return PostNow(ctx, message, wParam, lParam);
}

void AnnounceDueScanErrors(ScanContext& ctx) {
    if (ctx.heldErrors.empty()) return;
    if (ctx.findingsPace.Passed(GetTickCount(), ctx.progressIntervalMs)) AnnounceHeldErrors(ctx);
}

namespace {

void PostProgressText(ScanContext& ctx, std::wstring_view first, bool join, std::wstring_view second) {
    AnnounceDueScanErrors(ctx);
    if (!ctx.notifyWindow || !ctx.running.load()) return;
    DWORD now = GetTickCount();
    if (!ctx.progressPace.Passed(now, ctx.progressIntervalMs)) return;

    std::wstring text;
    text.reserve(ctx.rootName.size() + first.size() + second.size() + 2);
    if (ctx.section != kSectionShortcuts) {
        text += ctx.rootName;
        text += L'\\';
    }
    text += first;
    if (join) {
        text += L'\\';
        text += second;
    }
    BSTR posted = CBstr::Alloc(text);
    if (!posted) return;
    if (!ctx.postMessage(ctx.notifyWindow, WM_SCAN_PROGRESS_TEXT, reinterpret_cast<WPARAM>(posted), 0))
        SysFreeString(posted);
    ctx.progressPace.Mark(now);
}

}  // namespace

void PostScanProgress(ScanContext& ctx, std::wstring_view path) {
    PostProgressText(ctx, path, false, {});
}

void PostScanProgress(ScanContext& ctx, std::wstring_view subKey, std::wstring_view valueName) {
    PostProgressText(ctx, subKey, true, valueName);
}

void AddScanError(ScanContext& ctx, CError error, bool checkIgnore) {
    if (!ctx.running.load()) return;
    if (checkIgnore && ctx.ignore.Contains(error.Item)) return;
    error.Section = ctx.section;
    error.Protected = ctx.isProtected;
    if (!ctx.heldErrors.empty() && ctx.heldOrdinal != ctx.ordinal) AnnounceHeldErrors(ctx);
    if (ctx.heldErrors.empty()) ctx.heldOrdinal = ctx.ordinal;
    ctx.heldErrors.push_back(std::move(error));
    AnnounceDueScanErrors(ctx);
}
