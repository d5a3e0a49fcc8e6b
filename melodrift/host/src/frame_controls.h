// The frame's skinned controls: the five panels, the rows of the control
// table with their live controls, and the pass that turns the "Controls"
// children of a skin into controls on the panels. The main frame owns one
// CFrameControls; the module buttons are made by the frame (module_buttons.h)
// and placed through the same panels.
#pragma once

#include "frame_layout.h"
#include "patinctl/patinctl.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class enXml;

// One live control of a table row (rows keep them newest first).
struct _MAINFRAME_CONTROL_ {
    UINT id = 0;                           // child-window id
    CWnd* control = nullptr;
    _MAINFRAME_CONTROL_* next = nullptr;
};

class CFrameControls {
public:
    // The tooltip texts of the rows (string ids of the table) come from here.
    using StringLoader = std::function<std::wstring(UINT id)>;

    CFrameControls();
    ~CFrameControls();
    CFrameControls(const CFrameControls&) = delete;
    CFrameControls& operator=(const CFrameControls&) = delete;

    // Loads the tooltip texts of the table.
    void LoadTooltips(const StringLoader& load);
    const std::wstring& Tooltip(int row) const { return m_tooltips[static_cast<std::size_t>(row)]; }

    // The five panels as children of the frame, visible, with empty captions
    // (the top panel moves the frame and has the id 366).
    bool CreatePanels(CWnd* frame);
    CAutoPanel* Panel(int index) const { return m_panels[static_cast<std::size_t>(index)].get(); }
    mdframe::PanelSizes PanelSizes() const;

    // The controls of the "MAINFRAME" element of a skin: detaches and destroys
    // the previous ones (their states kept), hands the panels their elements,
    // makes and places the new controls, restores the states, ties the
    // equalizer sliders into a group and sets the slider ranges and styles.
    // `skinsFolder` ends with a backslash. False when `mainframe` is null.
    bool LayOut(CWnd* frame, const enXml* mainframe, const std::wstring& skinsFolder);
    // Everything gone: controls (also from the panels), the picture handles, the group.
    void DestroyControls();
    void DestroyPanels();

    // The controls of a command (the row's command id), newest first; null for none.
    _MAINFRAME_CONTROL_* Controls(UINT command) const;
    template <class F> void ForEach(UINT command, F f) const {
        for (_MAINFRAME_CONTROL_* c = Controls(command); c; c = c->next)
            if (c->control && c->control->m_hWnd) f(c->control->m_hWnd);
    }
    // Whether the last layout placed this control on a panel.
    bool IsPlaced(HWND control) const;

    // Opens a skin picture for reading (shared for reading), kept open until
    // the next layout; INVALID_HANDLE_VALUE when it cannot be opened.
    HANDLE OpenPicture(const std::wstring& skinsFolder, const std::wstring& relative);
    void ClosePictures();

    int EqualizerGroup() const { return m_equalizerGroup; }
    void MarkPlaced(HWND control) { m_placed.push_back(control); }

private:
    struct Row {
        _MAINFRAME_CONTROL_* controls = nullptr;
        void* savedState = nullptr;    // the library's saved state of the row's first control
        bool hasSaved = false;          // the values below are valid
        int savedPos = 0, savedMin = 0, savedMax = 0, savedCheck = 0;
    };
    CWnd* CreateControl(CWnd* frame, int row, const enXml& element, UINT id, const std::wstring& skinsFolder);
    void SaveAndDestroyRow(Row& row, int index);

    std::vector<Row> m_rows;
    std::vector<std::wstring> m_tooltips;
    std::vector<std::unique_ptr<CAutoPanel>> m_panels;
    std::vector<HANDLE> m_pictures;
    std::vector<HWND> m_placed;
    int m_equalizerGroup = 0;
};

namespace mdframe {
// The skinned-control library's optional calls, looked up in Patinctl.dll
// (null while the loaded library does not offer them).
bool PatinctlClassesRegistered();
// Shows a menu owner-drawn in the skin's look (on) or plain again (off).
void PtOwnerDraw(HMENU menu, HWND owner, bool on);
}  // namespace mdframe
