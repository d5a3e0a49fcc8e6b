// IFrameServices: what the module registry and the host interfaces need from
// the main frame. The frame implements it; the defaults do nothing, so that a
// frame provides only what it has (and tests can run the registry without one).
#pragma once

#include <windows.h>

#include <string>

class enXml;
class CModuleEntry;
struct IQueryInterface;

class IFrameServices {
public:
    virtual ~IFrameServices() = default;

    // The parent of module windows (the MDI client) and the main window.
    virtual HWND GetModuleParent() = 0;
    virtual HWND GetMainWindow() { return nullptr; }
    // Handed to each module's OrvoInitialize.
    virtual IQueryInterface* GetHostQueryInterface() { return nullptr; }

    // The splash window's status line while the frame is built.
    virtual void SetSplashStatus(const std::wstring& /*text*/) {}
    virtual void SetFrameTitle(const std::wstring& /*title*/) {}

    // The module toolbar: a button for one "Modules" child of the skin (module
    // null when no loaded module bears its name: the button is disabled);
    // returns the button, which is kept in the module's entry.
    virtual void* CreateModuleButton(const enXml& /*child*/, CModuleEntry* /*module*/) { return nullptr; }
    virtual void CheckModuleButton(void* /*button*/, bool /*checked*/) {}

    // After an activation: rebuild the merged menu and accelerators, lay out,
    // refresh command states.
    virtual void OnActivationChanged() {}
    // A module's menu was fetched again (IApplication::RefreshModuleMenu).
    virtual void OnModuleMenuChanged(CModuleEntry* /*module*/) {}

    // The status line (IApplication).
    virtual void SetStatusText(const wchar_t* /*text*/) {}
    virtual void ShowStatusText(const wchar_t* /*text*/, UINT /*milliseconds*/) {}
};
