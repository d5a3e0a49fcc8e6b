// A module's own toolbar from the current skin, shared by our modules (header
// only): the skin's "ModuleToolbar" element of the module, found through the
// host's ISkin, made into a row of skinned buttons by Patinctl and kept
// across the top of the module's window. Its buttons send the module's own
// commands to the window as WM_COMMAND, like its other buttons.
//
// Load it when the window is created and again whenever the host asks the
// module to reload its skin (OrvoLoadSkin): the old toolbar goes, and a skin
// without the element leaves the module without a toolbar.
#pragma once

#ifndef PATINCTL_NO_WRAPPERS
#define PATINCTL_NO_WRAPPERS  // modules are built without the host's window framework
#endif

#include "host/host_interfaces.h"
#include "patinctl/patinctl.h"

#include <windows.h>

namespace orvo {

class CModuleToolbar {
public:
    // The toolbar's child-window id inside the module's window.
    static constexpr UINT kWindowId = 0x7F00;

    CModuleToolbar() = default;
    ~CModuleToolbar() { Destroy(); }
    CModuleToolbar(const CModuleToolbar&) = delete;
    CModuleToolbar& operator=(const CModuleToolbar&) = delete;

    // Replaces the toolbar of `window` by the skin's toolbar `toolbarId` of the
    // module; true when the skin gives one that could be made.
    bool Load(HWND window, IQueryInterface* host, const wchar_t* moduleName, const wchar_t* toolbarId = L"Main") {
        Destroy();
        if (!window || !host || !moduleName) return false;
        ISkin* skin = host->GetSkin();
        const enXml* element = skin ? skin->GetModuleToolbar(moduleName, toolbarId) : nullptr;
        if (!element) return false;
        m_hwnd = PtCreateModuleToolbar(window, element, kWindowId);
        return m_hwnd != nullptr;
    }

    void Destroy() {
        if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
    }

    HWND Hwnd() const { return m_hwnd && IsWindow(m_hwnd) ? m_hwnd : nullptr; }
    bool Exists() const { return Hwnd() != nullptr; }

    // Stretches the toolbar across the top of a window `width` wide; the
    // height it takes (0 without a toolbar), where the other controls start.
    int Place(int width) {
        HWND bar = Hwnd();
        if (!bar) return 0;
        RECT rc = {};
        GetWindowRect(bar, &rc);
        const int height = rc.bottom - rc.top;
        SetWindowPos(bar, nullptr, 0, 0, width > 0 ? width : 0, height, SWP_NOZORDER | SWP_NOACTIVATE);
        return height;
    }

    // Enables or disables the toolbar's button of `command`, when it has one.
    void Enable(UINT command, bool enabled) {
        HWND bar = Hwnd();
        HWND button = bar ? GetDlgItem(bar, static_cast<int>(command)) : nullptr;
        if (button && (IsWindowEnabled(button) != FALSE) != enabled) EnableWindow(button, enabled ? TRUE : FALSE);
    }

private:
    HWND m_hwnd = nullptr;
};

}  // namespace orvo
