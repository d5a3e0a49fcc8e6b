// Patinctl: the skinned controls and the panels that place them.
//
// How the controls cross the DLL boundary: as windows, not as C++ objects.
// Patinctl.dll registers one window class per control kind; its window
// procedures do all the drawing and keep all the state. What passes between
// the DLL and its callers is window handles, window messages, plain records
// and C functions, as with the system's common controls. The C++ classes at
// the end of this file are thin inline wrappers compiled into each caller on
// top of the caller's own framework (CWnd): they create a window of the
// class, or skin an existing window, and talk to it by messages. So no C++
// object, standard-library object or exception passes between Patinctl.dll
// and the host or a module, and every control answers the messages of its
// base kind (a skinned button answers BM_GETCHECK, a skinned slider TBM_SETPOS,
// and so on), so that it can be created, shown, enabled, set and positioned
// as that kind.
//
// Memory rule: anything Patinctl allocates for a caller (a saved control
// state) is freed by Patinctl (PtFreeMemory); a skin element passed in is the
// skin manager's (Patinex) and only read.
//
// Panels and placement: AutoDisposeControl makes the control a child window
// of the panel and places it from the attributes of its skin element (the
// vocabulary is in melodrift/skins/FORMAT.md), again whenever the panel
// changes size; the panel passes its controls' WM_COMMAND, WM_NOTIFY,
// WM_HSCROLL and WM_VSCROLL on to its own parent, so the window holding the
// panels receives them as from its own children. DetachAllControls hides the
// controls and gives them back to their previous parent.
//
// Accessibility: every control keeps the text it shows as its window text;
// buttons without a text of their own and sliders take their tooltip as
// window text, and every control answers WM_GETOBJECT with an accessible
// object named by its tooltip (or its text).
//
// Pictures (PNG or BMP, read with GDI+) come from the file handles of
// PT_SKIN_RESOURCE; a panel reads its own pictures from the skin's folder.
#ifndef PATINCTL_PATINCTL_H
#define PATINCTL_PATINCTL_H

#include <windows.h>

#include <commctrl.h>

#include "patinex/patinex.h"

#ifdef PATINCTL_BUILD
#define PATINCTL_API __declspec(dllexport)
#else
#define PATINCTL_API __declspec(dllimport)
#endif

// ---- Window classes ----------------------------------------------------------
#define PT_WC_BUTTON L"PtButton"                 // CPtButton: push, check and radio button (BUTTON messages)
#define PT_WC_SCALEBUTTON L"PtScaleButton"       // CPtScaleButton: button whose picture is scaled
#define PT_WC_STATIC L"PtStatic"                 // CPtStatic: text or picture (STATIC messages)
#define PT_WC_SCROLLSTATIC L"PtScrollStatic"     // CPtScrollStatic: text that scrolls when too long
#define PT_WC_SLIDER L"PtSlider"                 // CPtSlider: stretchable slider (trackbar messages)
#define PT_WC_SCALESLIDER L"PtScaleSlider"       // CPtScaleSlider: slider whose pictures are scaled
#define PT_WC_SLIDERROUND L"PtSliderRound"       // CPtSliderRound: round knob (trackbar messages)
#define PT_WC_COMBOBOX L"PtComboBox"             // CPtComboBox (COMBOBOX messages)
#define PT_WC_EDITBOX L"PtEditBox"               // CPtEditBox (EDIT messages)
#define PT_WC_HTMLBROWSER L"PtHtmlBrowser"       // CPtHtmlBrowser
#define PT_WC_SURROUNDVIEW L"PtSurroundView"     // CPtSurroundView
#define PT_WC_TREECTRL L"PtTreeCtrl"             // CPtTreeCtrl (tree-view messages)
#define PT_WC_AUTOPANEL L"PtAutoPanel"           // CAutoPanel
#define PT_WC_AUTOPANELCAPTION L"PtAutoPanelCaption"  // CAutoPanelCaption: a panel that moves its frame

// Kinds for PtSkinWindow (an existing standard window skinned in place).
enum PtControlKind {
    PT_KIND_STATIC = 1,       // "Static"
    PT_KIND_SCALEDIALOG = 2,  // "#32770"
    PT_KIND_SCALESLIDER = 3,  // "msctls_trackbar32"
    PT_KIND_COMBOBOX = 4,     // "ComboBox"
    PT_KIND_EDITBOX = 5,      // "Edit"
    PT_KIND_CHECKBUTTON = 6,  // "Button" that is a check box or radio button
    PT_KIND_SCALEBUTTON = 7,  // any other "Button"
};

// ---- Records -------------------------------------------------------------------

// The pictures of a control (UseCustomSkin). The file handles are opened by
// the caller (read access, read sharing) and stay open, owned by the caller,
// until its next layout; the control reads them when it needs to.
struct PT_SKIN_RESOURCE {
    DWORD cbSize;                 // sizeof(PT_SKIN_RESOURCE)
    HANDLE hPicture;              // the picture file ("Source")
    HANDLE hAlphaPicture;         // the mask picture ("SourceAlpha") or null
    const wchar_t* pszSource;     // the picture's path (for messages), or null
    const enXml* pElement;        // the skin element of the control, or null
};

// ---- Messages to the controls (answered by every Patinctl window) -------------
#define PTM_FIRST (WM_APP + 0x0700)
// (0, const PT_SKIN_RESOURCE*) -> TRUE when the pictures could be read
#define PTM_USECUSTOMSKIN (PTM_FIRST + 0)
// (const wchar_t* title, const wchar_t* text) -> TRUE
#define PTM_SETTOOLTIP (PTM_FIRST + 1)
// Panels: (0, const enXml* panel element) -> TRUE; the panel sizes and draws itself from it
#define PTM_SETSKINELEMENT (PTM_FIRST + 2)
// Panels: (HWND control, const enXml* control element) -> TRUE when placed
#define PTM_AUTODISPOSECONTROL (PTM_FIRST + 3)
// Panels: (0, 0) -> the number of controls detached
#define PTM_DETACHALLCONTROLS (PTM_FIRST + 4)
// Panels: (0, SIZE*) -> TRUE; the size the skin element gives the panel
#define PTM_GETINITIALSIZE (PTM_FIRST + 5)
// (0, SIZE*) -> TRUE; one state of the control's picture (its size when placed without "Width"/"Height")
#define PTM_GETIDEALSIZE (PTM_FIRST + 6)

// Sent by the frame to all its descendants after a skin was laid out: every
// Patinctl window re-reads the colours and fonts of the current skin and redraws.
#define PTM_SKINCHANGED 0x046F

// Slider styles beyond the trackbar's (the orientation is fixed when the slider
// is created: TBS_VERT then, or the "Type" of its skin element; later style
// changes do not turn it).
#define PTS_JUMPTOCLICK 0x0200  // a click on the track moves the thumb there at once (else by a page)
#define PTS_CENTERFILL 0x1000   // the filled track runs from the centre of the range to the thumb

extern "C" {

// ---- Skin manager link ---------------------------------------------------------
// Hands the skin manager's query interface (Patinex GetSWQueryInterface) to the
// controls; call it before any skinned window exists. FALSE for null.
PATINCTL_API BOOL __cdecl SetSWQueryInterface(ISWQueryInterface* query);
// The interface handed over last, or null.
PATINCTL_API ISWQueryInterface* __cdecl PtGetSWQueryInterface(void);

// ---- Slider groups ---------------------------------------------------------------
// A new group id (never 0, never repeated in the process).
PATINCTL_API int __cdecl GetUniqueGroupID(void);
// Puts a control into a group (a control is in at most one group: adding
// moves it). FALSE for group 0 or a handle that is not a window.
PATINCTL_API BOOL __cdecl AddToGroup(int group, HWND control);
// Forgets a group; FALSE when it had no members.
PATINCTL_API BOOL __cdecl RemoveGroup(int group);
// The members of a group in the order they were added: their number; up to
// `size` of them are copied to `controls` (which may be null).
PATINCTL_API int __cdecl GetGroupMembers(int group, HWND* controls, int size);

// ---- With the controls ------------------------------------------------------------
// Registers the window classes (idempotent).
PATINCTL_API BOOL __cdecl PtRegisterClasses(void);
// Skins an existing standard window in place (subclassing it). Texts, sliders
// and buttons are then drawn and run by Patinctl (taking over the window's
// text, range, position and check state); dialogs, combo and edit boxes keep
// their own behaviour in the skin's colours and font. FALSE when the window's
// class does not match `kind`, for statics that show a picture, frame or line,
// for group boxes and owner-drawn buttons, and for a window skinned already.
// `flag` is kept for the callers and changes nothing.
PATINCTL_API BOOL __cdecl PtSkinWindow(HWND window, int kind, BOOL flag);
// A control's state (position, range, check, text) in memory of Patinctl;
// null for a window that is not a Patinctl control. Loading applies what fits
// the control (a slider's state to a slider, a check to a button) without
// notifying anybody; FALSE for a null or foreign record. PtFreeMemory ignores
// null and records Patinctl did not make.
PATINCTL_API void* __cdecl PtSaveControlState(HWND control);
PATINCTL_API BOOL __cdecl PtLoadControlState(HWND control, const void* state);
PATINCTL_API void __cdecl PtFreeMemory(void* state);
// Owner-drawn menus in the skin's look; `owner` receives the menu's commands.
// The items of the menu and of its pop-ups keep their texts; `owner` (a window
// of the calling thread) is subclassed to measure and draw them, so it must be
// the window the menu is shown for (TrackPopupMenu's owner). Items that are
// owner-drawn by someone else or show a bitmap are left alone. Clearing gives
// the items their texts back and releases the owner when it has no other
// converted menu; FALSE for a menu that was not converted.
PATINCTL_API BOOL __cdecl PtChangeToOwnerDraw(HMENU menu, HWND owner);
PATINCTL_API BOOL __cdecl PtClearOwnerDraw(HMENU menu);

// ---- Module toolbars ---------------------------------------------------------------
// A toolbar made from a "ModuleToolbar" skin element (ISkin::GetModuleToolbar;
// the vocabulary is in melodrift/skins/FORMAT.md): a PtAutoPanel child window
// `id` of `parent`, at its top left, as wide as its client area and as tall as
// the element's "Height" (else the tallest button and 4 pixels above and
// below), drawn like a frame panel from the element. It holds one skinned
// button per "Button" child: its control id is the child's "Command", so its
// WM_COMMAND reaches `parent`; "Source"/"SourceAlpha" are its pictures,
// "Tip" its tooltip and accessible name, "Type"="Check" makes it two-state;
// it is placed from the placement attributes (a row from the left without
// them). A button without a "Command" or whose picture cannot be read is left
// out. The toolbar keeps the picture files open and closes them when it is
// destroyed (DestroyWindow; the caller places and destroys it). Null for a
// null element, an element of another name, a parent that is not a window,
// and when no button could be made.
PATINCTL_API HWND __cdecl PtCreateModuleToolbar(HWND parent, const enXml* element, UINT id);
}

// ---- C++ wrappers (inline, compiled into the caller) ---------------------------
// Built on the framework's CWnd; a caller without the framework (a plug-in
// module) defines PATINCTL_NO_WRAPPERS and uses the functions and messages.
#if defined(__cplusplus) && !defined(PATINCTL_BUILD) && !defined(PATINCTL_NO_WRAPPERS)
#include "fw/win/wnd.h"

// What every skinned control offers, over its window handle.
class CSkinBase {
public:
    virtual ~CSkinBase() = default;
    virtual HWND GetSkinWindow() const = 0;

    BOOL UseCustomSkin(const PT_SKIN_RESOURCE* resource) {
        return static_cast<BOOL>(
            ::SendMessageW(GetSkinWindow(), PTM_USECUSTOMSKIN, 0, reinterpret_cast<LPARAM>(resource)));
    }
    BOOL SetTooltip(const wchar_t* title, const wchar_t* text) {
        return static_cast<BOOL>(::SendMessageW(GetSkinWindow(), PTM_SETTOOLTIP, reinterpret_cast<WPARAM>(title),
                                                reinterpret_cast<LPARAM>(text)));
    }
    void* SaveControlState() { return PtSaveControlState(GetSkinWindow()); }
    BOOL LoadControlState(const void* state) { return PtLoadControlState(GetSkinWindow(), state); }
    static void FreeMemory(void* state) { PtFreeMemory(state); }
};

// A control of one Patinctl window class.
template <const wchar_t* (*ClassName)()>
class CPtControlT : public CWnd, public CSkinBase {
public:
    HWND GetSkinWindow() const override { return m_hWnd; }
    bool Create(const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        PtRegisterClasses();
        return CWnd::Create(ClassName(), text, style, rect, parent, id);
    }
    // Skins an existing window of the base kind in place.
    bool SkinExisting(HWND window, int kind, BOOL flag) {
        return PtSkinWindow(window, kind, flag) != FALSE && SubclassWindow(window);
    }
};

namespace patinctl {
inline const wchar_t* ButtonClass() { return PT_WC_BUTTON; }
inline const wchar_t* ScaleButtonClass() { return PT_WC_SCALEBUTTON; }
inline const wchar_t* StaticClass() { return PT_WC_STATIC; }
inline const wchar_t* ScrollStaticClass() { return PT_WC_SCROLLSTATIC; }
inline const wchar_t* SliderClass() { return PT_WC_SLIDER; }
inline const wchar_t* ScaleSliderClass() { return PT_WC_SCALESLIDER; }
inline const wchar_t* SliderRoundClass() { return PT_WC_SLIDERROUND; }
inline const wchar_t* ComboBoxClass() { return PT_WC_COMBOBOX; }
inline const wchar_t* EditBoxClass() { return PT_WC_EDITBOX; }
inline const wchar_t* HtmlBrowserClass() { return PT_WC_HTMLBROWSER; }
inline const wchar_t* SurroundViewClass() { return PT_WC_SURROUNDVIEW; }
inline const wchar_t* TreeCtrlClass() { return PT_WC_TREECTRL; }
inline const wchar_t* AutoPanelClass() { return PT_WC_AUTOPANEL; }
inline const wchar_t* AutoPanelCaptionClass() { return PT_WC_AUTOPANELCAPTION; }
inline const wchar_t* ScaleDialogClass() { return L"#32770"; }
}  // namespace patinctl

class CPtButton : public CPtControlT<&patinctl::ButtonClass> {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};
class CPtScaleButton : public CPtControlT<&patinctl::ScaleButtonClass> {};
class CPtStatic : public CPtControlT<&patinctl::StaticClass> {};
class CPtScrollStatic : public CPtControlT<&patinctl::ScrollStaticClass> {};
class CPtSlider : public CPtControlT<&patinctl::SliderClass> {
public:
    int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetPos(int pos) { SendMessage(TBM_SETPOS, TRUE, pos); }
    void SetRange(int low, int high) {
        SendMessage(TBM_SETRANGEMIN, FALSE, low);
        SendMessage(TBM_SETRANGEMAX, TRUE, high);
    }
};
class CPtScaleSlider : public CPtControlT<&patinctl::ScaleSliderClass> {};
class CPtSliderRound : public CPtControlT<&patinctl::SliderRoundClass> {};
class CPtComboBox : public CPtControlT<&patinctl::ComboBoxClass> {};
class CPtEditBox : public CPtControlT<&patinctl::EditBoxClass> {};
class CPtHtmlBrowser : public CPtControlT<&patinctl::HtmlBrowserClass> {};
class CPtSurroundView : public CPtControlT<&patinctl::SurroundViewClass> {};
class CPtTreeCtrl : public CPtControlT<&patinctl::TreeCtrlClass> {};
// A dialog skinned in place (SkinExisting with PT_KIND_SCALEDIALOG).
class CPtScaleDialog : public CPtControlT<&patinctl::ScaleDialogClass> {};

class CAutoPanel : public CPtControlT<&patinctl::AutoPanelClass> {
public:
    BOOL SetSkinElement(const enXml* element) {
        return static_cast<BOOL>(SendMessage(PTM_SETSKINELEMENT, 0, reinterpret_cast<LPARAM>(element)));
    }
    BOOL AutoDisposeControl(HWND control, const enXml* element) {
        return static_cast<BOOL>(SendMessage(PTM_AUTODISPOSECONTROL, reinterpret_cast<WPARAM>(control),
                                             reinterpret_cast<LPARAM>(element)));
    }
    int DetachAllControls() { return static_cast<int>(SendMessage(PTM_DETACHALLCONTROLS)); }
    SIZE GetInitialSize() const {
        SIZE size = {0, 0};
        SendMessage(PTM_GETINITIALSIZE, 0, reinterpret_cast<LPARAM>(&size));
        return size;
    }
};
class CAutoPanelCaption : public CAutoPanel {
public:
    bool Create(const wchar_t* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
        PtRegisterClasses();
        return CWnd::Create(PT_WC_AUTOPANELCAPTION, text, style, rect, parent, id);
    }
};

// A menu shown owner-drawn in the skin's look.
class CPtMenu {
public:
    explicit CPtMenu(HMENU menu = nullptr) : m_hMenu(menu) {}
    BOOL ChangeToOwnerDraw(HWND owner) { return PtChangeToOwnerDraw(m_hMenu, owner); }
    BOOL ClearOwnerDraw() { return PtClearOwnerDraw(m_hMenu); }
    HMENU m_hMenu;
};
#endif

#endif
