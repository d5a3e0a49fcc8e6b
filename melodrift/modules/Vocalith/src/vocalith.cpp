// The exports of the player module "Vocalith" (Modules\Vocalith.dll).
#include "host/command_ranges.h"
#include "host/host_interfaces.h"
#include "vocalith_window.h"

#include <windows.h>

#include <new>

// The module's commands stay in its own range (host/command_ranges.h).
static_assert(orvo::kVocalithCommands.Holds(vocalith::kIdAdd) && orvo::kVocalithCommands.Holds(vocalith::kIdLibrary) &&
              orvo::kVocalithCommands.Holds(vocalith::kIdRemove) && orvo::kVocalithCommands.Holds(vocalith::kIdClear) &&
              orvo::kVocalithCommands.Holds(vocalith::kIdPlaySelected) &&
              orvo::kVocalithCommands.Holds(vocalith::kIdOpenPlaylist) &&
              orvo::kVocalithCommands.Holds(vocalith::kIdSavePlaylist) &&
              orvo::kVocalithCommands.Holds(vocalith::kIdMorphFolder) &&
              orvo::kVocalithCommands.Holds(vocalith::kIdMorphBeside));

namespace {

HINSTANCE g_instance = nullptr;
vocalith::CVocalith* g_module = nullptr;
const wchar_t kModuleName[] = L"Vocalith";

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

ORVO_MODULE_EXPORT HWND __cdecl OrvoInitialize(HWND parent, wchar_t* scratch, int scratchSize, IQueryInterface* host) {
    if (scratch && scratchSize > 0) scratch[0] = L'\0';
    if (g_module) return g_module->Window();
    g_module = new (std::nothrow) vocalith::CVocalith(g_instance, host);
    if (!g_module) return nullptr;
    HWND window = g_module->Create(parent);
    if (!window) {
        delete g_module;
        g_module = nullptr;
    }
    return window;
}

ORVO_MODULE_EXPORT HMENU __cdecl OrvoGetMenu(HWND) { return g_module ? g_module->GetMenu() : nullptr; }

ORVO_MODULE_EXPORT HACCEL __cdecl OrvoGetAccelTable(HWND) { return g_module ? g_module->GetAccelerators() : nullptr; }

ORVO_MODULE_EXPORT void __cdecl OrvoChangeState(HWND, int active) {
    if (g_module) g_module->OnActivate(active != 0);
}

ORVO_MODULE_EXPORT void __cdecl OrvoLoadSkin(HWND, int) {
    if (g_module) g_module->OnLoadSkin();
}

ORVO_MODULE_EXPORT int __cdecl OrvoPassMessage(HWND, const wchar_t* sender, const wchar_t* message) {
    return g_module ? g_module->OnBusMessage(sender, message) : 0;
}

ORVO_MODULE_EXPORT void __cdecl OrvoProcessDllIdle() {}

ORVO_MODULE_EXPORT int __cdecl OrvoOnCmdMsg(HWND, UINT id, int code, void* extra, void* handlerInfo) {
    return g_module ? g_module->OnCommand(id, code, extra, handlerInfo != nullptr) : 0;
}

ORVO_MODULE_EXPORT int __cdecl OrvoPreTranslateMessage(HWND, MSG* msg) { return g_module && g_module->PreTranslate(msg) ? 1 : 0; }

ORVO_MODULE_EXPORT int __cdecl OrvoTryClose() {
    // Playback ends with the program; the playlist is saved as it changes,
    // the last of it written before the host lets the module go.
    if (g_module) {
        g_module->Stop();
        g_module->FinishSaving();
    }
    return 1;
}

ORVO_MODULE_EXPORT int __cdecl OrvoGetModuleInfo(int, ModuleInfo* info) {
    if (!info) return 0;
    info->Name = kModuleName;
    return 1;
}
