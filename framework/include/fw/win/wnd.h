// CWnd: an object bound to one window handle, with a message map.
//
// A window created through Create/CreateEx (or a dialog of CDialog, or a frame)
// is bound to its object from its very first message: the object is recorded
// in a window property and the window's procedure is replaced by
// CWnd::StdWndProc, which calls the object's virtual WindowProc. An existing
// window can be bound with SubclassWindow (messages then reach the object) or
// only Attach-ed (the object is a handle wrapper, no messages).
//
// When the window is destroyed, the binding is undone at WM_NCDESTROY and
// PostNcDestroy runs (frame windows delete themselves there). When the object
// is destroyed first, it unbinds and destroys the window it created or
// subclassed (a window that was only attached is left alone).
#pragma once

#include "fw/win/msgmap.h"

#include <string>
#include <string_view>

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // ---- Binding -----------------------------------------------------------
    // The object bound to a window (by Create, SubclassWindow or Attach), or null.
    static CWnd* FromHandlePermanent(HWND hwnd);
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Binds without taking the messages. False when either side is already bound.
    bool Attach(HWND hwnd);
    // Unbinds (and gives the window its own procedure back); returns the handle.
    HWND Detach();
    // Binds and routes the window's messages through this object.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // ---- Creation ----------------------------------------------------------
    // className null: a plain window class of the framework (see RegisterWindowClass).
    virtual bool CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x,
                          int y, int width, int height, HWND parent, HMENU menuOrId, void* param = nullptr);
    bool Create(const wchar_t* className, const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id, void* param = nullptr);
    // May adjust the creation parameters; FALSE cancels the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTW& cs);
    // When creation fails, PostNcDestroy has run (a frame has deleted itself).
    virtual bool DestroyWindow();

    // ---- Message processing ------------------------------------------------
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // What happens to a message no entry takes: the window's original procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default processing of the message being handled now.
    LRESULT Default();
    // Keyboard and mouse messages of the thread's loop pass here first (for
    // this window and each of its parents); true means handled, not dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A message a control sent to its parent, offered to the control's object
    // first; by default looked up as ReflectedMessage(message) in its map.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Idle update of command states (WM_IDLEUPDATECMDUI); nothing by default.
    virtual void OnIdleUpdateCmdUI(bool disableIfNoHandler);
    // Runs after WM_NCDESTROY, when the window is gone and the binding undone.
    virtual void PostNcDestroy();

    // Runs the update handlers of this window's child controls whose ids have
    // one in `target` (the controls keep their state when nothing handles them,
    // unless disableIfNoHandler is set).
    void UpdateDialogControls(CCmdTarget* target, bool disableIfNoHandler);
    // Updates the items of a pop-up menu that is about to open through this
    // window's command routing (disabling items without a handler when asked).
    void UpdateMenuPopup(HMENU popup, bool disableIfNoHandler);

    // ---- Common helpers ----------------------------------------------------
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    HWND GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    HWND GetParent() const;
    std::wstring GetWindowText() const;
    void SetWindowText(std::wstring_view text);
    std::wstring GetDlgItemText(int id) const;
    void SetDlgItemText(int id, std::wstring_view text);
    UINT IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, UINT check);
    void CheckRadioButton(int firstId, int lastId, int checkId);
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool ShowWindow(int cmdShow);
    bool IsWindowVisible() const;
    bool EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    void MoveWindow(const RECT& rect, bool repaint = true);
    bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    void Invalidate(bool erase = true);
    void InvalidateRect(const RECT* rect, bool erase = true);
    void UpdateWindow();
    HWND SetFocus();
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Removes then adds style bits; with swpFlags, also refreshes the frame.
    bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    void SetFont(HFONT font, bool redraw = true);
    HFONT GetFont() const;
    HICON SetIcon(HICON icon, bool big);
    void CenterWindow(HWND alternateOwner = nullptr);
    int MessageBox(const wchar_t* text, const wchar_t* caption = nullptr, UINT type = MB_OK);

    HWND m_hWnd = nullptr;

    // The procedure that receives every message of a bound window.
    static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Looks the message up (steps 1 to 4 of msgmap.h); false when nothing took it.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Offers a control's notification to the control's own object.
    bool ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    WNDPROC m_pfnSuper = nullptr;  // the procedure the window had before it was bound

    // Creation binds the first window made on this thread to `wnd`; called
    // around the system call that creates the window.
    static void HookWindowCreate(CWnd* wnd);
    static bool UnhookWindowCreate();

private:
    friend struct CWndCreateHook;
    void BindCreatedWindow(HWND hwnd);
    void AfterNcDestroy();
    bool m_bSubclassed = false;
};

namespace fw {

// Registers (once) and names a window class with the given look, for CreateEx.
// The class procedure is DefWindowProc; the framework binds the window itself.
const wchar_t* RegisterWindowClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                   HICON icon = nullptr);

// Offers a message of the thread's loop to the PreTranslateMessage of the
// window it is for and of each of its parents and owners, up to `stop`
// (inclusive; null: to the top). True when one of them took it.
bool WalkPreTranslateTree(HWND stop, MSG* msg);

}  // namespace fw
