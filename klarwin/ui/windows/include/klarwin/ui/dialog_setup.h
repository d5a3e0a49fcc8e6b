// What Klarwin's secondary windows share when they open: a resource string,
// the engine, the background, caption and place of the window, and setting up
// the skinned buttons and colour statics of their templates.
#pragma once

#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/color_static.h"

#include <windows.h>

#include <initializer_list>
#include <string>

class CBriskoEngine;

namespace kwui {

constexpr COLORREF kHeadingBlue = RGB(13, 90, 153);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A string of the program's resources.
std::wstring Str(UINT id);
// The resource string `formatId` with its first "%s" replaced by `value` as it
// is (the wide printf family does not read %s the same way on every runtime).
std::wstring FormatString(UINT formatId, const std::wstring& value);
// The engine instance (null before it exists).
CBriskoEngine* Engine();

// Registers the common-control window classes a template holds (`classes`
// as ICC_ flags) with the standard ones.
void InitControls(DWORD classes);

// Sizes the window and centres it on the work area by its background bitmap's
// height (a captioned window is taller than its bitmap by the caption bar).
void PlaceWindow(CWnd& wnd, int width, int height, int bitmapHeight);

// The opening of a window's OnInitDialog: the dialog's own initialisation,
// its background bitmap, dragging by any point, its caption (none for 0) and
// its place as PlaceWindow gives it.
void OpenWindow(CBitmapDialog& dialog, UINT bitmap, UINT caption, int width, int height, int bitmapHeight);

// A template button made a skinned one: one bitmap in all four states,
// `place` as x, y, width, height, the caption in Arial 8 pt centred on one line.
void SetUpButton(CBitmapButtonEx& button, UINT id, CWnd* parent, UINT bitmap, const RECT& place,
                 const std::wstring& caption);

// A template static made a colour static at `place` (x, y, width, height)
// with its colour, Arial font and text.
void SetUpStatic(CXColorStatic& text, UINT id, CWnd* parent, const RECT& place, COLORREF colour, int points,
                 int weight, const std::wstring& value);

// A window's heading: its template static IDC_TITLE at `place` in blue Arial 14.
void SetUpHeading(CXColorStatic& title, CWnd* parent, const RECT& place, const std::wstring& value);

// One button of a row: the member, its template id, its caption's string and its left edge.
struct RowButton {
    CBitmapButtonEx* button;
    UINT id;
    UINT caption;
    int x;
};

// A row of skinned buttons of one bitmap, each 81 by 21 at height `y`, as SetUpButton makes them.
void SetUpButtonRow(CWnd* parent, UINT bitmap, int y, std::initializer_list<RowButton> buttons);

// The window of `wnd` while it is open (null otherwise).
HWND OpenWindowOf(CWnd* wnd);

// Shows the one window of class T modally over `parent`: the instance that
// exists, or one made for the time it is shown.
template <class T>
void RunSingleton(CWnd* parent) {
    if (T* dlg = T::GetInstance()) {
        dlg->m_pParentWnd = parent;
        dlg->DoModal();
    } else {
        T local(parent);
        local.DoModal();
    }
}

// The text of a system string carried in a posted message; frees the string.
std::wstring TakeString(WPARAM wParam);

// Takes from the queue every posted message for `window` that carries a
// system string, and frees the strings: a window about to be destroyed calls
// it, as the system would drop them unread. Returns how many were freed.
int FreeQueuedStrings(HWND window);

}  // namespace kwui
