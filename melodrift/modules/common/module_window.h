// The opening every window of a one-window module shares (see
// single_window_module.h): the handles the host asks for, the window class and
// the child window made in the frame, the skin's colours and toolbar, the
// module's menu, accelerators and commands, and its settings. Derived is the
// module's window class, befriends this class and offers:
//   LRESULT Handle(UINT, WPARAM, LPARAM)   its other messages (WM_NCDESTROY excepted)
//   bool OnCommand(UINT id)                 a menu item, button or accelerator; false when not its own
//   void Layout()                           places the controls (at WM_SIZE)
//   void ArrangeForSkin()                   after a new skin's toolbar: lay out again
//   void OnWindowDestroy()                  at WM_DESTROY, before the children go
// Derived's destructor calls DestroyModuleWindow first, while its own members
// still live for the messages of the window's end.
#pragma once

#include "host/command_ranges.h"
#include "host/host_interfaces.h"
#include "module_colors.h"
#include "module_toolbar.h"

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <string>

namespace orvo {

// Registers the class once per module instance; false when that fails.
bool RegisterModuleWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);
// The module's setting `key`; empty when there is none or no host.
std::wstring ReadModuleSetting(IApplication* app, const wchar_t* module, const wchar_t* key);
void WriteModuleSetting(IApplication* app, const wchar_t* module, const wchar_t* key, const std::wstring& value);

// An item of a module's menu; id 0 is a separator.
struct ModuleMenuItem {
    UINT id;
    const wchar_t* text;
};
// The menu the frame merges in: one pop-up `title` of `items`.
HMENU MakeModuleMenu(const wchar_t* title, std::initializer_list<ModuleMenuItem> items);
// The accelerator table of `keys` (null when there are none or it cannot be made).
HACCEL MakeModuleAccelerators(std::initializer_list<ACCEL> keys);

template <class Derived>
class CModuleWindow {
public:
    HWND Window() const { return m_hwnd; }
    HMENU Menu() const { return m_menu; }
    HACCEL Accelerators() const { return m_accel; }

    // The skin changed: its colours, then its toolbar of the module, are taken again.
    void LoadSkin() {
        m_colors.Load(m_host);
        ShowSkin();
    }

protected:
    CModuleWindow(HINSTANCE instance, IQueryInterface* host, const wchar_t* name)
        : m_instance(instance), m_host(host), m_app(host ? host->GetApplication() : nullptr), m_name(name) {}
    ~CModuleWindow() = default;
    CModuleWindow(const CModuleWindow&) = delete;
    CModuleWindow& operator=(const CModuleWindow&) = delete;

    // The skin's colours (before any control is made, so that none is ever
    // drawn in others), the common controls of `commonControls`, and the
    // module's window of `className` in `parent`, hidden, with the GUI font
    // for its children. False when the window could not be made.
    bool CreateModuleWindow(HWND parent, const wchar_t* className, DWORD commonControls, int width, int height) {
        m_colors.Load(m_host);
        INITCOMMONCONTROLSEX controls = {sizeof(controls), commonControls};
        InitCommonControlsEx(&controls);
        if (!RegisterModuleWindowClass(m_instance, className, &WindowProc)) return false;
        m_hwnd = CreateWindowExW(0, className, m_name, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, width, height,
                                 parent, nullptr, m_instance, static_cast<Derived*>(this));
        if (!m_hwnd) return false;
        m_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        return true;
    }

    // The skin's toolbar of the module, the controls laid out for it and the
    // skin's colours on them: the end of the window's creation, and again for a new skin.
    void ShowSkin() {
        if (!m_hwnd) return;
        m_toolbar.Load(m_hwnd, m_host, m_name);
        static_cast<Derived*>(this)->ArrangeForSkin();
        m_colors.Apply(m_hwnd);
    }

    // The window, the menu and the accelerators go.
    void DestroyModuleWindow() {
        if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        if (m_menu) DestroyMenu(m_menu);
        if (m_accel) DestroyAcceleratorTable(m_accel);
        m_menu = nullptr;
        m_accel = nullptr;
    }

    std::wstring ReadSetting(const wchar_t* key) const { return ReadModuleSetting(m_app, m_name, key); }
    void WriteSetting(const wchar_t* key, const std::wstring& value) { WriteModuleSetting(m_app, m_name, key, value); }

    HINSTANCE m_instance;
    IQueryInterface* m_host;
    IApplication* m_app;
    const wchar_t* m_name;
    HWND m_hwnd = nullptr;
    CModuleColors m_colors;     // the skin's colours of the window and its controls
    CModuleToolbar m_toolbar;   // when the skin gives one, it stands for the module's buttons
    HMENU m_menu = nullptr;
    HACCEL m_accel = nullptr;
    HFONT m_font = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->m_hwnd = hwnd;
        }
        auto* self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_DESTROY) self->OnWindowDestroy();
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->m_hwnd = nullptr;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        LRESULT coloured = 0;
        if (self->m_colors.Handle(hwnd, message, wParam, lParam, coloured)) return coloured;
        if (message == WM_SIZE) {
            self->Layout();
            return 0;
        }
        // Menu items and buttons (code 0) and accelerators (1) that are the
        // module's commands; other commands and the controls' notices go on.
        if (message == WM_COMMAND && HIWORD(wParam) <= 1 && self->OnCommand(LOWORD(wParam))) return 0;
        return self->Handle(message, wParam, lParam);
    }
};

}  // namespace orvo
