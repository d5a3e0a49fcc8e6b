#include "klarwin/ui/dialog_setup.h"

#include "fw/singleton.h"
#include "fw/win/resources.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/window_messages.h"
#include "resource.h"

#include <commctrl.h>
#include <oleauto.h>

namespace kwui {

std::wstring Str(UINT id) { return fw::LoadResourceString(id); }

std::wstring FormatString(UINT formatId, const std::wstring& value) {
    std::wstring format = Str(formatId);
    const size_t at = format.find(L"%s");
    if (at != std::wstring::npos) format.replace(at, 2, value);
    return format;
}

CBriskoEngine* Engine() { return CSingleton<CBriskoEngine>::GetInstance(); }

void InitControls(DWORD classes) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), classes | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
}

void PlaceWindow(CWnd& wnd, int width, int height, int bitmapHeight) {
    const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - bitmapHeight) / 2;
    wnd.SetWindowPos(HWND_NOTOPMOST, x, y, width, height, SWP_NOACTIVATE);
}

void OpenWindow(CBitmapDialog& dialog, UINT bitmap, UINT caption, int width, int height, int bitmapHeight) {
    dialog.CBitmapDialog::OnInitDialog();
    dialog.SetBitmap(bitmap);
    dialog.m_bDragEnabled = true;
    if (caption) dialog.SetWindowText(Str(caption));
    PlaceWindow(dialog, width, height, bitmapHeight);
}

void SetUpButton(CBitmapButtonEx& button, UINT id, CWnd* parent, UINT bitmap, const RECT& place,
                 const std::wstring& caption) {
    button.SubclassDlgItem(id, parent);
    button.LoadBitmaps(RGB(255, 0, 0), bitmap, bitmap, bitmap, bitmap);
    button.SizeToBitmap();
    button.MoveWindow(place.left, place.top, place.right, place.bottom);
    button.SetCaptionFont(8, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    button.SetCaption(caption);
    button.SetCaptionRect({0, 0, place.right, place.bottom});
}

void SetUpStatic(CXColorStatic& text, UINT id, CWnd* parent, const RECT& place, COLORREF colour, int points,
                 int weight, const std::wstring& value) {
    text.SubclassDlgItem(id, parent);
    text.MoveWindow(place.left, place.top, place.right, place.bottom);
    text.SetTextColor(colour);
    text.SetFont(points, weight);
    text.SetText(value);
}

void SetUpHeading(CXColorStatic& title, CWnd* parent, const RECT& place, const std::wstring& value) {
    SetUpStatic(title, IDC_TITLE, parent, place, kHeadingBlue, 14, FW_NORMAL, value);
}

void SetUpButtonRow(CWnd* parent, UINT bitmap, int y, std::initializer_list<RowButton> buttons) {
    for (const RowButton& b : buttons) SetUpButton(*b.button, b.id, parent, bitmap, {b.x, y, 81, 21}, Str(b.caption));
}

HWND OpenWindowOf(CWnd* wnd) { return wnd && wnd->m_hWnd && ::IsWindow(wnd->m_hWnd) ? wnd->m_hWnd : nullptr; }

std::wstring TakeString(WPARAM wParam) {
    BSTR bstr = reinterpret_cast<BSTR>(wParam);
    std::wstring text = bstr ? std::wstring(bstr, SysStringLen(bstr)) : std::wstring();
    SysFreeString(bstr);
    return text;
}

int FreeQueuedStrings(HWND window) {
    if (!window) return 0;
    int freed = 0;
    for (UINT message : {WM_SCAN_PROGRESS_TEXT, WM_REPAIR_ITEM, WM_BACKUP_FOUND}) {
        static_assert(MessageCarriesString(WM_SCAN_PROGRESS_TEXT) && MessageCarriesString(WM_REPAIR_ITEM) &&
                      MessageCarriesString(WM_BACKUP_FOUND));
        MSG msg;
        while (PeekMessageW(&msg, window, message, message, PM_REMOVE | PM_NOYIELD)) {
            SysFreeString(reinterpret_cast<BSTR>(msg.wParam));
            ++freed;
        }
    }
    return freed;
}

}  // namespace kwui
