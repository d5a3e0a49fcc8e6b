// The export bodies of a module that shows one window, shared by our own
// modules (header only: each module stays one DLL built against the host's
// public header). Window is the module's window class and offers:
//   Window(HINSTANCE, IQueryInterface*)        made in OrvoInitialize
//   bool Create(HWND parent); HWND Window() const;
//   HMENU Menu(); HACCEL Accelerators();
//   bool QueryCommand(UINT id, bool& enabled)   whether the command is its own
//   void OnCommand(UINT id)
//   int CommandCheck(UINT id) const             optional: 1 checked, 0 not, -1 left alone
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

private:
    static inline HINSTANCE s_instance = nullptr;
    static inline std::unique_ptr<Window> s_window;
};

}  // namespace orvo
