// Frame windows: a top-level window with a menu and accelerators (CFrameWnd),
// an MDI frame whose client area holds child windows (CMDIFrameWnd) and those
// children (CMDIChildWnd).
//
// Command routing: a WM_COMMAND that reaches a frame (from its menu, an
// accelerator or a control) goes to OnCmdMsg, which asks, in order, the
// active MDI child (MDI frames only), the frame's own map, and the
// application object. The same order finds the update handlers that set the
// state of a pop-up menu's items when it opens (WM_INITMENUPOPUP); with
// m_bAutoMenuEnable, items whose command nobody handles are disabled.
//
// Frames are made with new and delete themselves when their window is
// destroyed (m_bAutoDelete), also when creation fails.
#pragma once

#include "fw/fwres.h"
#include "fw/win/wnd.h"

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // A frame of the given class (null: the framework's frame class), with an
    // optional menu resource. Position and size are the system's default.
    bool Create(const wchar_t* className, const wchar_t* title, DWORD style = WS_OVERLAPPEDWINDOW,
                const RECT* rect = nullptr, CWnd* parent = nullptr, UINT menuId = 0, DWORD exStyle = 0);
    // A frame from the resources sharing one id: the title (string, up to its
    // first line break), the menu, the accelerators and the icon, each used
    // when present. False when the window could not be created.
    virtual bool LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW, CWnd* parent = nullptr);

    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnIdleUpdateCmdUI(bool disableIfNoHandler) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    // WM_CREATE: the base calls OnCreateClient; -1 fails the creation.
    virtual int OnCreate(CREATESTRUCTW* cs);
    virtual BOOL OnCreateClient(CREATESTRUCTW* cs);
    // WM_CLOSE: destroys the window.
    virtual void OnClose();
    // Places the client area's windows (WM_SIZE); nothing for a plain frame.
    virtual void RecalcLayout();
    // Shows the frame (cmdShow -1: restored when minimised, else as it is) and brings it forward.
    virtual void ActivateFrame(int cmdShow = -1);

    HMENU m_hMenuDefault = nullptr;   // the frame's own menu (destroyed with the frame)
    HACCEL m_hAccelTable = nullptr;   // translated in PreTranslateMessage; not destroyed by the frame
    bool m_bAutoMenuEnable = true;
    bool m_bAutoDelete = true;

protected:
    LRESULT HandleCreate(WPARAM wParam, LPARAM lParam);
    LRESULT HandleClose(WPARAM wParam, LPARAM lParam);
    LRESULT HandleSize(WPARAM wParam, LPARAM lParam);
    LRESULT HandleInitMenuPopup(WPARAM wParam, LPARAM lParam);
};

class CMDIChildWnd;

class CMDIFrameWnd : public CFrameWnd {
public:
    CMDIFrameWnd();

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Creates the MDI client (id AFX_IDW_PANE_FIRST unless given) filling the
    // frame; windowMenu is the pop-up that lists the children (may be null).
    bool CreateClient(HMENU windowMenu, DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                      UINT id = AFX_IDW_PANE_FIRST, DWORD exStyle = WS_EX_CLIENTEDGE);
    // The default creates the client with the menu's pop-up that holds the
    // Window commands as its window list.
    BOOL OnCreateClient(CREATESTRUCTW* cs) override;
    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The client fills the frame's client area.
    void RecalcLayout() override;

    // The active child window (and whether it is maximised), or null.
    HWND MDIGetActive(bool* maximized = nullptr) const;
    CMDIChildWnd* GetActiveChild() const;
    void MDIActivate(HWND child);
    void MDICascade();
    void MDITile(UINT how = MDITILE_VERTICAL);
    void MDIIconArrange();
    void MDINext(bool previous = false);
    void MDIMaximize(HWND child);
    void MDIRestore(HWND child);

    HWND m_hWndMDIClient = nullptr;

protected:
    void OnWindowCommand(UINT id);
};

class CMDIChildWnd : public CFrameWnd {
public:
    CMDIChildWnd();

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Creates the child in the frame's MDI client (null class: the framework's).
    bool Create(const wchar_t* className, const wchar_t* title, CMDIFrameWnd* frame,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, const RECT* rect = nullptr);
    // Closing a child asks the MDI client to destroy it.
    bool DestroyWindow() override;
    // The child's own map only: the frame asks it first, then itself.
    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void RecalcLayout() override {}
    void MDIActivate();
    CMDIFrameWnd* GetMDIFrame() const { return m_pMDIFrame; }

protected:
    LRESULT HandleChildSize(WPARAM wParam, LPARAM lParam);
    CMDIFrameWnd* m_pMDIFrame = nullptr;
};
