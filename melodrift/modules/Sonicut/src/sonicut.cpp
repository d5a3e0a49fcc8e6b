// Sonicut.dll: the exports the host looks for. Nothing may throw past them.
#include "sonicut_window.h"

#include "single_window_module.h"

namespace {

using Module = orvo::CSingleWindowModule<sonicut::CSonicutWindow>;

sonicut::CSonicutWindow* For(HWND window) { return Module::For(window); }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) { return Module::OnDllMain(instance, reason); }

ORVO_MODULE_EXPORT int __cdecl OrvoGetModuleInfo(int, ModuleInfo* info)
{
    if (!info) return 0;
    info->Name = sonicut::kModuleName;
    return 1;
}

ORVO_MODULE_EXPORT HWND __cdecl OrvoInitialize(HWND parent, wchar_t* scratch, int scratchSize, IQueryInterface* host)
{
    return Module::Initialize(parent, scratch, scratchSize, host);
}

ORVO_MODULE_EXPORT HMENU __cdecl OrvoGetMenu(HWND window) { return Module::GetMenu(window); }

ORVO_MODULE_EXPORT HACCEL __cdecl OrvoGetAccelTable(HWND window) { return Module::GetAccelTable(window); }

ORVO_MODULE_EXPORT void __cdecl OrvoChangeState(HWND, int) {}

ORVO_MODULE_EXPORT void __cdecl OrvoLoadSkin(HWND window, int) { Module::LoadSkin(window); }

ORVO_MODULE_EXPORT int __cdecl OrvoPassMessage(HWND window, const wchar_t* sender, const wchar_t* message)
{
    try {
        auto* self = For(window);
        return self && self->OnBusMessage(sender, message) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

ORVO_MODULE_EXPORT int __cdecl OrvoOnCmdMsg(HWND window, UINT id, int code, void* extra, void* handlerInfo)
{
    return Module::OnCmdMsg(window, id, code, extra, handlerInfo);
}

ORVO_MODULE_EXPORT int __cdecl OrvoPreTranslateMessage(HWND, MSG* msg)
{
    try {
        return Module::Current() && Module::Current()->PreTranslate(msg) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

ORVO_MODULE_EXPORT int __cdecl OrvoTryClose()
{
    // A recording in progress is finished properly before the program closes.
    try {
        if (Module::Current()) Module::Current()->StopForClose();
    } catch (...) {
    }
    return 1;
}
