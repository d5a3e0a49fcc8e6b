// CTrayIcon: the program's icon in the notification area. Mouse clicks on it
// become commands of its notification window: a double click restores the
// frame (command 14080), a left press brings the window forward, a right
// release shows the first pop-up of the menu resource that bears the icon's
// id (its fourth item, Restore/Zoom, as the default item).
//
// The notification window forwards its callback message to
// OnTrayNotification(wParam, lParam).
#pragma once

#include "fw/win/msgmap.h"

#include <shellapi.h>

#include <string>

class CTrayIcon : public CCmdTarget {
public:
    // The command a double click sends: restore or zoom the frame.
    static constexpr UINT kRestoreCommand = 14080;
    // The record size the shell is given (the record with the balloon texts
    // and the item GUID, without the balloon icon).
    static constexpr DWORD kRecordSize = 952;
    // The tooltip field: 128 units including the terminating NUL.
    static constexpr std::size_t kTipCapacity = 128;

    // `id` is the icon's identifier and the id of its tooltip string and menu resource.
    explicit CTrayIcon(UINT id);
    ~CTrayIcon() override;  // removes the icon

    // False when `wnd` is not a window. A message below WM_USER other than 0 becomes 0.
    bool SetNotificationWnd(HWND wnd, UINT message);
    // With an icon: adds it (or modifies the one shown); without one: deletes
    // the icon shown (nothing to do when none is). The tooltip, when given, is
    // cut to what the record holds. True when the shell call succeeded.
    bool SetIcon(HICON icon, const wchar_t* tip);
    // The icon and tooltip string of a resource id; 0 removes the icon.
    bool SetIcon(UINT resourceId);

    // The callback message: (icon id, mouse message). 1 for the three clicks
    // it acts on, 0 otherwise.
    LRESULT OnTrayNotification(WPARAM id, LPARAM event);

    bool IsShown() const { return m_shown; }
    const NOTIFYICONDATAW& Data() const { return m_nid; }

private:
    NOTIFYICONDATAW m_nid;
    bool m_shown = false;
};
