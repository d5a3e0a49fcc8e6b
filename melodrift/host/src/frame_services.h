// IFrameServices: what the module registry and the host interfaces need from
// the main frame. The frame implements it; the defaults do nothing, so that a
// frame provides only what it has (and tests can run the registry without one).
#pragma once

#include <windows.h>

#include <string>

class enXml;
class CModuleEntry;
class CExtPlayerDX;
class CExtMicro;
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

    // ---- The audio engines and the player controls (IPlayer, IMicro) ------
    // The frame's engines; null while it has none (the interfaces then fail).
    virtual CExtPlayerDX* GetPlayerEngine() { return nullptr; }
    virtual CExtMicro* GetMicroEngine() { return nullptr; }
    // Playback started: the frame starts its position timer (timer 1, 100 ms).
    virtual void OnPlaybackStarted() {}
    // Playback stopped on request: the frame clears the persistent status
    // text, sets every position slider to 0 (with its tooltip) and stops timer 1.
    virtual void OnPlaybackStopped() {}
    // The first volume / balance slider's position; false when there is no
    // slider (the engine's value is used then).
    virtual bool GetVolumeSlider(int& /*position*/) { return false; }
    virtual bool GetBalanceSlider(int& /*position*/) { return false; }
    // Sets every volume / balance slider and its tooltip (the engine is set by the caller).
    virtual void SetVolumeSliders(int /*position*/) {}
    virtual void SetBalanceSliders(int /*position*/) {}
    // A module's CanPlay / CanRecord changed: refresh the command states.
    virtual void RefreshCommandStates() {}

    // ---- Skin (ISkin) -------------------------------------------------------
    // The current skin document's root element, or null.
    virtual const enXml* GetSkinDocument() { return nullptr; }
    // The font of the frame's reference control (its status line), which the
    // host's own windows (the library chooser) take; null for the system's.
    virtual HFONT GetReferenceFont() { return nullptr; }
};
