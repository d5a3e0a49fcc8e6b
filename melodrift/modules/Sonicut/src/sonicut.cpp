// Sonicut.dll: the exports the host looks for. Nothing may throw past them.
#include "sonicut_window.h"

#include <memory>

namespace {

HINSTANCE g_instance = nullptr;
std::unique_ptr<sonicut::CSonicutWindow> g_window;

sonicut::CSonicutWindow* For(HWND window)
{
    return g_window && window && g_window->Window() == window ? g_window.get() : nullptr;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

ORVO_MODULE_EXPORT int __cdecl OrvoGetModuleInfo(int, ModuleInfo* info)
{
    if (!info) return 0;
    info->Name = sonicut::kModuleName;
    return 1;
}

ORVO_MODULE_EXPORT HWND __cdecl OrvoInitialize(HWND parent, wchar_t* scratch, int scratchSize, IQueryInterface* host)
{
    if (scratch && scratchSize > 0) scratch[0] = L'\0';
    try {
        g_window.reset();
        auto window = std::make_unique<sonicut::CSonicutWindow>(g_instance, host);
        if (!window->Create(parent)) return nullptr;
        g_window = std::move(window);
        return g_window->Window();
    } catch (...) {
        g_window.reset();
        return nullptr;
    }
}

ORVO_MODULE_EXPORT HMENU __cdecl OrvoGetMenu(HWND window)
{
    auto* self = For(window);
    return self ? self->Menu() : nullptr;
}

ORVO_MODULE_EXPORT HACCEL __cdecl OrvoGetAccelTable(HWND window)
{
    auto* self = For(window);
    return self ? self->Accelerators() : nullptr;
}

ORVO_MODULE_EXPORT void __cdecl OrvoChangeState(HWND, int) {}

ORVO_MODULE_EXPORT int __cdecl OrvoPassMessage(HWND window, const wchar_t*, const wchar_t* message)
{
    try {
        auto* self = For(window);
        return self && self->OnBusMessage(message) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

ORVO_MODULE_EXPORT int __cdecl OrvoOnCmdMsg(HWND window, UINT id, int code, void* extra, void* handlerInfo)
{
    try {
        auto* self = For(window);
        if (!self) return 0;
        bool enabled = false;
        if (!self->QueryCommand(id, enabled)) return 0;
        if (handlerInfo) return 1;
        if (code == ORVO_CN_UPDATE_COMMAND_UI) {
            if (auto* ui = static_cast<ORVO_CMD_UI*>(extra)) {
                ui->Enabled = enabled ? TRUE : FALSE;
                ui->Check = -1;
            }
            return 1;
        }
        if (code != ORVO_CN_COMMAND) return 0;
        if (enabled) self->OnCommand(id);
        return 1;
    } catch (...) {
        return 0;
    }
}

ORVO_MODULE_EXPORT int __cdecl OrvoTryClose()
{
    // A recording in progress is finished properly before the program closes.
    try {
        if (g_window) g_window->StopForClose();
    } catch (...) {
    }
    return 1;
}
