// What a module needs to offer the effects (module_morph): the library, the
// choice kept in the module's settings and shared with the other modules, the
// chain in the module's data path, the "Morph" pop-up of its menu with the
// checked items, and the "Effects Library" window (every effect with its
// parameters as sliders and its presets, usable with the keyboard; every
// control has a name).
//
// The module calls, on its window's thread:
//   Initialize(host, owner)           once its window exists
//   AppendMenu(menu)                  while making its menu
//   OnCommand(id) / Query(id, ...)    for the commands the frame routes to it
//   OnBusMessage(sender, message)     for "effects" from the other modules
//   PreTranslate(msg)                 so that Tab moves through the window
//   CheckFailure()                    now and then (a timer): a failure said once, and
//                                     what the data path left is freed
// and Chain().Process... on its data path.
#pragma once

#include "morph_effects.h"

#include <string>
#include <vector>

namespace orvo {

class CMorphController {
public:
    CMorphController() = default;
    ~CMorphController();
    CMorphController(const CMorphController&) = delete;
    CMorphController& operator=(const CMorphController&) = delete;

    void Initialize(IQueryInterface* host, const wchar_t* owner, HINSTANCE instance, HWND moduleWindow);

    const CSonarixLink& Link() const { return m_link; }
    const MorphChoice& Choice() const { return m_choice; }
    CEffectChain& Chain() { return m_chain; }
    bool HasEffects() const { return m_choice.voice != 0 || m_choice.special != 0; }

    void AppendMenu(HMENU menu) { AppendMorphMenu(menu, m_link); }

    // True when the command is one of the effects' (and was carried out).
    bool OnCommand(UINT id);

    // The state of an effects command: false when it is not one.
    bool Query(UINT id, bool& enabled, int& check) const;

    // "effects" from another module: its choice, read from its settings, becomes this one's.
    bool OnBusMessage(const wchar_t* sender, const wchar_t* message);

    bool PreTranslate(MSG* msg);

    void CheckFailure();

    HWND LibraryWindow() const { return m_window; }

    // Called on the window's thread after each change of the effects in the
    // chain (the module has the change heard at once: see IPlayer::RequestRewrite).
    void SetChangeListener(void (*listener)(void* context), void* context) {
        m_listener = listener;
        m_listenerContext = context;
    }

private:
    enum : int {
        kIdList = 100,
        kIdUse = 101,
        kIdPreset = 102,
        kIdLabel = 200,
        kIdSlider = 300,
        kIdValue = 400,
    };
    static constexpr int kSteps = 1000;   // slider positions over a parameter's range

    void NotifyChange() {
        if (m_listener) m_listener(m_listenerContext);
    }

    void ReportFailure();

    void ChoiceChanged();

    // ---- The "Effects Library" window

    void ShowWindow();

    HWND Make(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h);

    bool CreateLibraryWindow();

    static LRESULT CALLBACK LibraryProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);

    // The shown effect's parameters, presets and whether it is in use.
    void ShowEffect(int id);

    void ShowValue(int p, float value);

    void OnLibraryCommand(UINT id, UINT code);

    // A slider moved: the parameter changes live; it is kept when the slider is let go.
    void OnSlider(HWND slider, UINT code);

    static constexpr int kMaxShownParams = 6;

    IQueryInterface* m_host = nullptr;
    IApplication* m_app = nullptr;
    std::wstring m_owner;
    HINSTANCE m_instance = nullptr;
    HWND m_moduleWindow = nullptr;
    HWND m_window = nullptr;
    int m_shownId = 0;
    CSonarixLink m_link;
    MorphChoice m_choice;
    CEffectChain m_chain;
    void (*m_listener)(void*) = nullptr;
    void* m_listenerContext = nullptr;
};

}  // namespace orvo
