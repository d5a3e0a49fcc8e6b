// The exports of a module that shows one window, shared by our own modules
// (header only: each module stays one DLL built against the host's public
// header). A module's exports file says
//     ORVO_SINGLE_WINDOW_MODULE(its::CWindow, its::kModuleName)
// and nothing else. Window is the module's window class (module_window.h gives
// it its opening) and offers:
//   Window(HINSTANCE, IQueryInterface*)        made in OrvoInitialize
//   bool Create(HWND parent); HWND Window() const;
//   HMENU Menu(); HACCEL Accelerators(); void LoadSkin();
//   bool QueryCommand(UINT id, bool& enabled)   whether the command is its own
//   void OnCommand(UINT id)
//   bool OnBusMessage(const wchar_t* sender, const wchar_t* message)
//   int CommandCheck(UINT id) const             optional: 1 checked, 0 not, -1 left alone
//   bool PreTranslate(MSG*)                     optional: a message it took
//   void StopForClose()                         optional: ends its work before the program closes
// No exception leaves these functions; failures are the host's results.
#pragma once

#include "host/host_interfaces.h"

#include <memory>

namespace orvo {

template <class Window>
class CSingleWindowModule {
public:
    static BOOL OnDllMain(HINSTANCE instance, DWORD reason) {
        if (reason == DLL_PROCESS_ATTACH) {
            s_instance = instance;
            DisableThreadLibraryCalls(instance);
        }
        return TRUE;
    }

    // The window, when `window` is its handle; null otherwise.
    static Window* For(HWND window) {
        return s_window && window && s_window->Window() == window ? s_window.get() : nullptr;
    }
    static Window* Current() { return s_window.get(); }

    static HWND Initialize(HWND parent, wchar_t* scratch, int scratchSize, IQueryInterface* host) {
        if (scratch && scratchSize > 0) scratch[0] = L'\0';
        try {
            s_window.reset();
            auto window = std::make_unique<Window>(s_instance, host);
            if (!window->Create(parent)) return nullptr;
            s_window = std::move(window);
            return s_window->Window();
        } catch (...) {
            s_window.reset();
            return nullptr;
        }
    }

    static HMENU GetMenu(HWND window) {
        Window* self = For(window);
        return self ? self->Menu() : nullptr;
    }

    static HACCEL GetAccelTable(HWND window) {
        Window* self = For(window);
        return self ? self->Accelerators() : nullptr;
    }

    // The host asks the module to reload its skin (toolbar, colours).
    static void LoadSkin(HWND window) {
        try {
            if (Window* self = For(window)) self->LoadSkin();
        } catch (...) {
        }
    }

    static int OnCmdMsg(HWND window, UINT id, int code, void* extra, void* handlerInfo) {
        try {
            Window* self = For(window);
            if (!self) return 0;
            bool enabled = false;
            if (!self->QueryCommand(id, enabled)) return 0;
            if (handlerInfo) return 1;  // asked only whether the command is ours
            if (code == ORVO_CN_UPDATE_COMMAND_UI) {
                if (auto* ui = static_cast<ORVO_CMD_UI*>(extra)) {
                    ui->Enabled = enabled ? TRUE : FALSE;
                    ui->Check = -1;
                    // A window that checks items (the effects') says so.
                    if constexpr (requires(const Window& w) { w.CommandCheck(UINT{}); }) ui->Check = self->CommandCheck(id);
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

    static int GetModuleInfo(ModuleInfo* info, const wchar_t* name) {
        if (!info) return 0;
        info->Name = name;
        return 1;
    }

    static int PassMessage(HWND window, const wchar_t* sender, const wchar_t* message) {
        try {
            Window* self = For(window);
            return self && self->OnBusMessage(sender, message) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }

    static int PreTranslateMessage(MSG* msg) {
        if constexpr (requires(Window& w, MSG* m) { w.PreTranslate(m); }) {
            try {
                return s_window && s_window->PreTranslate(msg) ? 1 : 0;
            } catch (...) {
                return 0;
            }
        }
        return 0;
    }

    // Work in progress (a recording, say) is finished properly; the module never refuses.
    static int TryClose() {
        if constexpr (requires(Window& w) { w.StopForClose(); }) {
            try {
                if (s_window) s_window->StopForClose();
            } catch (...) {
            }
        }
        return 1;
    }

private:
    static inline HINSTANCE s_instance = nullptr;
    static inline std::unique_ptr<Window> s_window;
};

}  // namespace orvo

// The exports the host looks for, for the module window class `WindowClass`
// named `moduleName`.
#define ORVO_SINGLE_WINDOW_MODULE(WindowClass, moduleName)                                                          \
    BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {                                                  \
        return orvo::CSingleWindowModule<WindowClass>::OnDllMain(instance, reason);                                  \
    }                                                                                                                \
    ORVO_MODULE_EXPORT int __cdecl OrvoGetModuleInfo(int, ModuleInfo* info) {                                        \
        return orvo::CSingleWindowModule<WindowClass>::GetModuleInfo(info, moduleName);                              \
    }                                                                                                                \
    ORVO_MODULE_EXPORT HWND __cdecl OrvoInitialize(HWND parent, wchar_t* scratch, int scratchSize,                   \
                                                   IQueryInterface* host) {                                          \
        return orvo::CSingleWindowModule<WindowClass>::Initialize(parent, scratch, scratchSize, host);               \
    }                                                                                                                \
    ORVO_MODULE_EXPORT HMENU __cdecl OrvoGetMenu(HWND window) {                                                      \
        return orvo::CSingleWindowModule<WindowClass>::GetMenu(window);                                              \
    }                                                                                                                \
    ORVO_MODULE_EXPORT HACCEL __cdecl OrvoGetAccelTable(HWND window) {                                               \
        return orvo::CSingleWindowModule<WindowClass>::GetAccelTable(window);                                        \
    }                                                                                                                \
    ORVO_MODULE_EXPORT void __cdecl OrvoChangeState(HWND, int) {}                                                    \
    ORVO_MODULE_EXPORT void __cdecl OrvoLoadSkin(HWND window, int) {                                                 \
        orvo::CSingleWindowModule<WindowClass>::LoadSkin(window);                                                    \
    }                                                                                                                \
    ORVO_MODULE_EXPORT int __cdecl OrvoPassMessage(HWND window, const wchar_t* sender, const wchar_t* message) {     \
        return orvo::CSingleWindowModule<WindowClass>::PassMessage(window, sender, message);                         \
    }                                                                                                                \
    ORVO_MODULE_EXPORT int __cdecl OrvoOnCmdMsg(HWND window, UINT id, int code, void* extra, void* handlerInfo) {    \
        return orvo::CSingleWindowModule<WindowClass>::OnCmdMsg(window, id, code, extra, handlerInfo);               \
    }                                                                                                                \
    ORVO_MODULE_EXPORT int __cdecl OrvoPreTranslateMessage(HWND, MSG* msg) {                                         \
        return orvo::CSingleWindowModule<WindowClass>::PreTranslateMessage(msg);                                     \
    }                                                                                                                \
    ORVO_MODULE_EXPORT int __cdecl OrvoTryClose() { return orvo::CSingleWindowModule<WindowClass>::TryClose(); }
