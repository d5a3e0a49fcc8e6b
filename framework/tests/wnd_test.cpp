// Windows, message maps, command routing and command updates, frames and the
// application loop, on real windows under Wine.
#include "fw/testing/find_window.h"
#include "fw/strutil.h"
#include "fw/win/app.h"
#include "fw/win/frame.h"
#include "fw/win/menu.h"
#include "fw_test_res.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Records every handler it reaches and every message that fell to the default.
class CLogWnd : public CWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    std::vector<std::wstring> log;
    std::vector<std::wstring> defaults;

    bool CreateTopLevel() {
        return CreateEx(0, nullptr, L"log window", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr, nullptr);
    }
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND) defaults.push_back(fw::Format(L"command %u", LOWORD(wParam)));
        if (message >= WM_APP) defaults.push_back(fw::Format(L"message %u", message - WM_APP));
        return CWnd::DefWindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override { log.push_back(L"post-nc-destroy"); }

    LRESULT OnApp1(WPARAM wParam, LPARAM lParam) {
        log.push_back(L"app1");
        return static_cast<LRESULT>(wParam + lParam);
    }
    void OnApp3() { log.push_back(L"app3"); }
    void OnCommand100() { log.push_back(L"command 100"); }
    void OnRange(UINT id) { log.push_back(fw::Format(L"range %u", id)); }
    void OnEditChange() { log.push_back(L"edit changed"); }
    void OnListClick(NMHDR* nm, LRESULT* result) {
        log.push_back(fw::Format(L"click from %u", static_cast<unsigned>(nm->idFrom)));
        *result = 42;
    }
    void OnRangeNotify(NMHDR* nm, LRESULT*) {
        log.push_back(fw::Format(L"notify range %u", static_cast<unsigned>(nm->idFrom)));
    }
};

const CMessageMap& CLogWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CLogWnd>(&CWnd::GetThisMessageMap())
        .OnMessage(WM_APP + 1, &CLogWnd::OnApp1)
        .OnMessage(WM_APP + 3, &CLogWnd::OnApp3)
        .OnCommand(100, &CLogWnd::OnCommand100)
        .OnCommandRange(200, 210, &CLogWnd::OnRange)
        .OnControl(300, EN_CHANGE, &CLogWnd::OnEditChange)
        .OnNotify(400, NM_CLICK, &CLogWnd::OnListClick)
        .OnNotifyRange(500, 505, NM_RETURN, &CLogWnd::OnRangeNotify);
    return map;
}

// A derived class: its own entries come first, the base's still answer.
class CDerivedLogWnd : public CLogWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    void OnCommand100Derived() { log.push_back(L"derived 100"); }
    LRESULT OnApp2(WPARAM, LPARAM) {
        log.push_back(L"app2");
        return 2;
    }
};

const CMessageMap& CDerivedLogWnd::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CDerivedLogWnd>(&CLogWnd::GetThisMessageMap())
        .OnCommand(100, &CDerivedLogWnd::OnCommand100Derived)
        .OnMessage(WM_APP + 2, &CDerivedLogWnd::OnApp2);
    return map;
}

// A button that handles its own clicks and drawing through reflection.
class CSelfButton : public CWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    int clicks = 0;
    int draws = 0;
    LRESULT OnReflectedCommand(WPARAM wParam, LPARAM) {
        if (HIWORD(wParam) == BN_CLICKED) ++clicks;
        return 0;
    }
    LRESULT OnReflectedDraw(WPARAM, LPARAM lParam) {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ++draws;
        return TRUE;
    }
};

const CMessageMap& CSelfButton::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CSelfButton>(&CWnd::GetThisMessageMap())
        .OnMessage(ReflectedMessage(WM_COMMAND), &CSelfButton::OnReflectedCommand)
        .OnMessage(ReflectedMessage(WM_DRAWITEM), &CSelfButton::OnReflectedDraw);
    return map;
}

// An edit control taken over by subclassing: it swallows digits.
class CNoDigitsEdit : public CWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    int swallowed = 0;
    LRESULT OnChar(WPARAM wParam, LPARAM) {
        if (wParam >= L'0' && wParam <= L'9') {
            ++swallowed;
            return 0;
        }
        return Default();
    }
};

const CMessageMap& CNoDigitsEdit::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CNoDigitsEdit>(&CWnd::GetThisMessageMap())
        .OnMessage(WM_CHAR, &CNoDigitsEdit::OnChar);
    return map;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Message maps

TEST(FwMessageMap, CommandReachesHandlerAndUnregisteredFallsToDefault) {
    CLogWnd wnd;
    ASSERT_TRUE(wnd.CreateTopLevel());
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);

    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(100, 0), 0);        // a menu command
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(100, 1), 0);        // the same from an accelerator
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(205, 0), 0);        // in a range
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(150, 0), 0);        // nobody's
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(211, 0), 0);        // just past the range
    EXPECT_EQ(wnd.SendMessage(WM_APP + 1, 40, 2), 42);         // a message with a result
    EXPECT_EQ(wnd.SendMessage(WM_APP + 2, 0, 0), 0);           // not in this class's map
    EXPECT_EQ(wnd.log, (std::vector<std::wstring>{L"command 100", L"command 100", L"range 205", L"app1"}));
    EXPECT_EQ(wnd.defaults, (std::vector<std::wstring>{L"command 150", L"command 211", L"message 2"}));

    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.log.back(), L"post-nc-destroy");
}

TEST(FwMessageMap, DerivedMapComesFirstAndBaseStillAnswers) {
    CDerivedLogWnd wnd;
    ASSERT_TRUE(wnd.CreateTopLevel());
    wnd.SendMessage(WM_COMMAND, 100, 0);
    wnd.SendMessage(WM_COMMAND, 201, 0);
    EXPECT_EQ(wnd.SendMessage(WM_APP + 2), 2);
    wnd.SendMessage(WM_APP + 3);
    EXPECT_EQ(wnd.log, (std::vector<std::wstring>{L"derived 100", L"range 201", L"app2", L"app3"}));
    EXPECT_TRUE(wnd.defaults.empty());
}

TEST(FwMessageMap, NotificationsAndControlCodes) {
    CLogWnd wnd;
    ASSERT_TRUE(wnd.CreateTopLevel());
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, wnd, reinterpret_cast<HMENU>(300),
                                nullptr, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE, 5, 30, 60, 20, wnd,
                                  reinterpret_cast<HMENU>(100), nullptr, nullptr);
    ASSERT_TRUE(edit && button);
    SetWindowTextW(edit, L"typed");                    // the edit sends EN_CHANGE to us
    ::SendMessageW(button, BM_CLICK, 0, 0);            // BN_CLICKED (code 0) counts as the command
    ::SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(300, EN_SETFOCUS), reinterpret_cast<LPARAM>(edit));  // no entry

    NMHDR nm = {};
    nm.hwndFrom = button;
    nm.idFrom = 400;
    nm.code = NM_CLICK;
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, 400, reinterpret_cast<LPARAM>(&nm)), 42);
    nm.code = NM_DBLCLK;  // same control, other code: not ours
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, 400, reinterpret_cast<LPARAM>(&nm)), 0);
    nm.idFrom = 503;
    nm.code = NM_RETURN;
    wnd.SendMessage(WM_NOTIFY, 503, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(wnd.log, (std::vector<std::wstring>{L"edit changed", L"command 100", L"click from 400",
                                                  L"notify range 503"}));
    // EN_UPDATE from the edit and the EN_SETFOCUS sent by hand have no entry.
    EXPECT_EQ(wnd.defaults, (std::vector<std::wstring>{L"command 300", L"command 300"}));
}

TEST(FwMessageMap, ReflectedNotificationsReachTheControlFirst) {
    CLogWnd parent;
    ASSERT_TRUE(parent.CreateTopLevel());
    parent.ShowWindow(SW_SHOW);
    CSelfButton button;
    RECT rc = {5, 5, 85, 35};
    ASSERT_TRUE(button.Create(L"BUTTON", L"Self", WS_VISIBLE | BS_OWNERDRAW, rc, &parent, 100));
    button.SendMessage(BM_CLICK);
    EXPECT_EQ(button.clicks, 1);
    EXPECT_TRUE(parent.log.empty());  // the control took its own click
    button.Invalidate();
    button.UpdateWindow();
    EXPECT_GE(button.draws, 1);
}

TEST(FwMessageMap, SubclassAttachAndDetach) {
    CLogWnd parent;
    ASSERT_TRUE(parent.CreateTopLevel());
    HWND hwnd = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 5, 5, 100, 20, parent,
                                reinterpret_cast<HMENU>(301), nullptr, nullptr);
    auto original = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    CNoDigitsEdit edit;
    ASSERT_TRUE(edit.SubclassDlgItem(301, &parent));
    EXPECT_FALSE(CNoDigitsEdit().SubclassWindow(hwnd));  // one object per window
    for (wchar_t c : std::wstring(L"a1b2c"))
        edit.SendMessage(WM_CHAR, c, 1);
    EXPECT_EQ(edit.GetWindowText(), L"abc");  // the edit's own procedure still does the typing
    EXPECT_EQ(edit.swallowed, 2);
    EXPECT_EQ(edit.UnsubclassWindow(), hwnd);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_WNDPROC), original);
    ::SendMessageW(hwnd, WM_CHAR, L'9', 1);
    EXPECT_EQ(edit.swallowed, 2);

    // Attach only wraps the handle: no messages come through.
    CNoDigitsEdit wrapper;
    ASSERT_TRUE(wrapper.Attach(hwnd));
    wrapper.SendMessage(WM_CHAR, L'7', 1);
    EXPECT_EQ(wrapper.swallowed, 0);
    EXPECT_EQ(wrapper.GetWindowText(), L"abc97");
    EXPECT_EQ(wrapper.Detach(), hwnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    EXPECT_TRUE(IsWindow(hwnd));  // detached wrappers leave the window alone
}

TEST(FwMessageMap, ObjectDestroyedFirstTakesItsWindowAlong) {
    HWND hwnd = nullptr;
    {
        CLogWnd wnd;
        ASSERT_TRUE(wnd.CreateTopLevel());
        hwnd = wnd.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(hwnd));
}

// ---------------------------------------------------------------------------
// Frames, command routing and command updates

namespace {

class CTestFrame : public CMDIFrameWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    std::vector<std::wstring>* log = nullptr;
    bool* destroyed = nullptr;
    bool saveEnabled = false;
    int skin = 1;
    ~CTestFrame() override {
        if (destroyed) *destroyed = true;
    }
    void OnOpen() { log->push_back(L"frame open"); }
    void OnSave() { log->push_back(L"frame save"); }
    void OnRecent() { log->push_back(L"frame recent"); }
    void OnSkin(UINT id) { skin = static_cast<int>(id - ID_SKIN_FIRST); }
    void OnUpdateSave(CCmdUI* ui) { ui->Enable(saveEnabled); }
    void OnUpdateRecent(CCmdUI* ui) {
        ui->SetCheck(1);
        ui->SetText(L"Recent (3)");
    }
    void OnUpdateSkin(CCmdUI* ui) { ui->SetRadio(static_cast<int>(ui->m_nID - ID_SKIN_FIRST) == skin); }
};

const CMessageMap& CTestFrame::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CTestFrame>(&CMDIFrameWnd::GetThisMessageMap())
        .OnCommand(ID_OPEN, &CTestFrame::OnOpen)
        .OnCommand(ID_SAVE, &CTestFrame::OnSave)
        .OnCommand(ID_RECENT, &CTestFrame::OnRecent)
        .OnCommandRange(ID_SKIN_FIRST, ID_SKIN_LAST, &CTestFrame::OnSkin)
        .OnUpdate(ID_SAVE, &CTestFrame::OnUpdateSave)
        .OnUpdate(ID_RECENT, &CTestFrame::OnUpdateRecent)
        .OnUpdateRange(ID_SKIN_FIRST, ID_SKIN_LAST, &CTestFrame::OnUpdateSkin);
    return map;
}

class CTestChild : public CMDIChildWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    std::wstring name;
    std::vector<std::wstring>* log = nullptr;
    bool handlesCommands = false;
    bool* destroyed = nullptr;
    ~CTestChild() override {
        if (destroyed) *destroyed = true;
    }
    bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) override {
        return handlesCommands && CMDIChildWnd::OnCmdMsg(id, code, extra, queryOnly);
    }
    void OnOpen() { log->push_back(name + L" open"); }
    void OnChildOnly() { log->push_back(name + L" child-only"); }
};

const CMessageMap& CTestChild::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CTestChild>(&CMDIChildWnd::GetThisMessageMap())
        .OnCommand(ID_OPEN, &CTestChild::OnOpen)
        .OnCommand(ID_CHILDONLY, &CTestChild::OnChildOnly);
    return map;
}

UINT StateOf(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND); }

}  // namespace

TEST(FwCmdUI, PopupItemsAreUpdatedWhenTheMenuOpens) {
    std::vector<std::wstring> log;
    bool destroyed = false;
    auto* frame = new CTestFrame;
    frame->log = &log;
    frame->destroyed = &destroyed;
    ASSERT_TRUE(frame->LoadFrame(IDR_TESTFRAME));
    EXPECT_EQ(frame->GetWindowText(), L"Framework test frame");
    ASSERT_NE(frame->m_hWndMDIClient, nullptr);
    HMENU file = GetSubMenu(GetMenu(*frame), 0);
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);

    EXPECT_EQ(StateOf(file, ID_OPEN) & (MF_GRAYED | MF_DISABLED), 0u);  // has a handler
    EXPECT_NE(StateOf(file, ID_SAVE) & MF_GRAYED, 0u);                   // its update handler said no
    EXPECT_NE(StateOf(file, ID_RECENT) & MF_CHECKED, 0u);
    CMenu fileMenu(file);
    EXPECT_EQ(fileMenu.GetMenuString(ID_RECENT, MF_BYCOMMAND), L"Recent (3)");
    EXPECT_NE(StateOf(file, ID_UNHANDLED) & MF_GRAYED, 0u);  // nobody handles it
    EXPECT_EQ(StateOf(file, ID_SKIN_FIRST) & MF_CHECKED, 0u);
    EXPECT_NE(StateOf(file, ID_SKIN_FIRST + 1) & MF_CHECKED, 0u);
    fileMenu.Detach();

    frame->saveEnabled = true;
    frame->skin = 0;
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_EQ(StateOf(file, ID_SAVE) & MF_GRAYED, 0u);
    EXPECT_NE(StateOf(file, ID_SKIN_FIRST) & MF_CHECKED, 0u);

    frame->SendMessage(WM_COMMAND, ID_SKIN_FIRST + 1, 0);
    EXPECT_EQ(frame->skin, 1);
    frame->SendMessage(WM_CLOSE);  // the frame destroys and deletes itself
    EXPECT_TRUE(destroyed);
}

TEST(FwCmdUI, AcceleratorsRunCommandsUnlessDisabled) {
    std::vector<std::wstring> log;
    auto* frame = new CTestFrame;
    frame->log = &log;
    ASSERT_TRUE(frame->LoadFrame(IDR_TESTFRAME));
    frame->ShowWindow(SW_SHOW);
    MSG f5 = {frame->m_hWnd, WM_KEYDOWN, VK_F5, 0x003F0001, 0, {0, 0}};
    EXPECT_TRUE(frame->PreTranslateMessage(&f5));
    MSG f6 = {frame->m_hWnd, WM_KEYDOWN, VK_F6, 0x00400001, 0, {0, 0}};
    frame->PreTranslateMessage(&f6);  // disabled by its update handler: does not run
    frame->saveEnabled = true;
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(GetMenu(*frame), 0)), 0);
    EXPECT_TRUE(frame->PreTranslateMessage(&f6));
    MSG other = {frame->m_hWnd, WM_KEYDOWN, VK_F7, 0, 0, {0, 0}};
    EXPECT_FALSE(frame->PreTranslateMessage(&other));
    EXPECT_EQ(log, (std::vector<std::wstring>{L"frame open", L"frame save"}));
    frame->DestroyWindow();
}

TEST(FwMdi, CommandsGoToTheActiveChildFirst) {
    std::vector<std::wstring> log;
    auto* frame = new CTestFrame;
    frame->log = &log;
    ASSERT_TRUE(frame->LoadFrame(IDR_TESTFRAME));
    frame->ShowWindow(SW_SHOW);
    bool aGone = false;
    auto* a = new CTestChild;
    a->name = L"A";
    a->log = &log;
    a->handlesCommands = true;
    a->destroyed = &aGone;
    auto* b = new CTestChild;
    b->name = L"B";
    b->log = &log;
    ASSERT_TRUE(a->Create(nullptr, L"Child A", frame));
    ASSERT_TRUE(b->Create(nullptr, L"Child B", frame));
    HMENU file = GetSubMenu(GetMenu(*frame), 0);

    frame->MDIActivate(*a);
    EXPECT_EQ(frame->GetActiveChild(), a);
    frame->SendMessage(WM_COMMAND, ID_OPEN, 0);
    frame->SendMessage(WM_COMMAND, ID_CHILDONLY, 0);
    frame->SendMessage(WM_COMMAND, ID_RECENT, 0);  // the child has none: the frame's
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_EQ(StateOf(file, ID_CHILDONLY) & MF_GRAYED, 0u);

    frame->MDIActivate(*b);
    EXPECT_EQ(frame->GetActiveChild(), b);
    frame->SendMessage(WM_COMMAND, ID_OPEN, 0);
    frame->SendMessage(WM_COMMAND, ID_CHILDONLY, 0);  // nobody: nothing happens
    frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_NE(StateOf(file, ID_CHILDONLY) & MF_GRAYED, 0u);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"A open", L"A child-only", L"frame recent", L"frame open"}));

    // Window menu commands are the MDI frame's own.
    frame->SendMessage(WM_COMMAND, ID_WINDOW_TILE_VERT, 0);
    RECT ra = a->GetWindowRect(), rb = b->GetWindowRect();
    EXPECT_EQ(ra.right - ra.left, rb.right - rb.left);  // tiled: equal sizes side by side
    EXPECT_NE(ra.left, rb.left);

    // Closing a child destroys it through the MDI client; it deletes itself.
    a->SendMessage(WM_CLOSE);
    EXPECT_TRUE(aGone);
    EXPECT_EQ(frame->GetActiveChild(), b);
    frame->DestroyWindow();
}

// ---------------------------------------------------------------------------
// The application object and its loop

namespace {

class CTestApp : public CWinApp {
public:
    CTestApp() : CWinApp(L"Fw Test App") {}
    std::vector<std::wstring> log;
    std::wstring cmdLine;
    bool failInit = false;
    int idleCalls = 0;
    bool closePosted = false;

    BOOL InitInstance() override {
        cmdLine = m_lpCmdLine;
        if (failInit) return FALSE;
        auto* frame = new CTestFrame;
        frame->log = &log;
        if (!frame->LoadFrame(IDR_TESTFRAME)) return FALSE;
        m_pMainWnd = frame;
        frame->ShowWindow(SW_SHOW);
        frame->PostMessage(WM_COMMAND, ID_OPEN);
        return TRUE;
    }
    BOOL OnIdle(LONG count) override {
        ++idleCalls;
        BOOL more = CWinApp::OnIdle(count);
        if (!more && !closePosted && m_pMainWnd) {
            closePosted = true;
            m_pMainWnd->PostMessage(WM_CLOSE);
        }
        return more;
    }
    int ExitInstance() override {
        log.push_back(L"exit");
        return CWinApp::ExitInstance() + 5;
    }
};

}  // namespace

TEST(FwApp, RunLoopIdlesAndEndsWithTheMainWindow) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    {
        CTestApp app;
        EXPECT_EQ(AfxGetApp(), &app);
        int code = RunApplication(GetModuleHandleW(nullptr), L"-scan  extra", SW_SHOW);
        EXPECT_EQ(code, 5);
        EXPECT_EQ(app.cmdLine, L"-scan  extra");
        EXPECT_GE(app.idleCalls, 2);
        EXPECT_EQ(app.log, (std::vector<std::wstring>{L"frame open", L"exit"}));
        EXPECT_EQ(app.m_pMainWnd, nullptr);  // cleared when the main window went
        EXPECT_EQ(app.m_strAppName, L"Fw Test App");
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST(FwApp, CommandLineAsTheRuntimePassesIt) {
    EXPECT_STREQ(fw::CommandLineAfterProgramName(L"klarwin.exe -scan"), L"-scan");
    EXPECT_STREQ(fw::CommandLineAfterProgramName(L"\"C:\\Program Files\\K\\klarwin.exe\"  -scan x"), L"-scan x");
    EXPECT_STREQ(fw::CommandLineAfterProgramName(L"\"C:\\K\\k.exe\"\" -scan\""), L"\" -scan\"");
    EXPECT_STREQ(fw::CommandLineAfterProgramName(L"k.exe"), L"");
    EXPECT_STREQ(fw::CommandLineAfterProgramName(L"k.exe -scan "), L"-scan ");
    EXPECT_STREQ(fw::CommandLineAfterProgramName(L"\"unterminated"), L"");
    // This very process: the runtime saw the same.
    const wchar_t* mine = fw::CommandLineAfterProgramName(GetCommandLineW());
    EXPECT_NE(std::wstring(mine).find(L"--gtest"), std::wstring::npos) << mine;
}

TEST(FwApp, FailedInitInstanceStillExits) {
    CTestApp app;
    app.failInit = true;
    EXPECT_EQ(RunApplication(nullptr, nullptr), 5);
    EXPECT_EQ(app.cmdLine, L"");
    EXPECT_EQ(app.log, std::vector<std::wstring>{L"exit"});
}

TEST(FwApp, MessageBoxCarriesTheApplicationTitle) {
    CTestApp app;
    std::wstring seenText;
    std::thread closer([&] {
        for (int i = 0; i < 500; ++i) {
            HWND box = fw::testing::FindOwnWindow(L"#32770", L"Fw Test App");
            if (box) {
                HWND text = GetDlgItem(box, 0xFFFF);
                wchar_t buf[256] = {};
                if (text) GetWindowTextW(text, buf, 256);
                seenText = buf;
                PostMessageW(box, WM_COMMAND, IDNO, 0);
                return;
            }
            Sleep(20);
        }
    });
    int answer = AfxMessageBox(L"Please wait for the scan to complete.", MB_YESNO);
    closer.join();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(seenText, L"Please wait for the scan to complete.");
}

TEST(FwApp, IdleUpdatesControlsOfTheMainWindow) {
    CTestApp app;
    std::vector<std::wstring> log;
    auto* frame = new CTestFrame;
    frame->log = &log;
    ASSERT_TRUE(frame->LoadFrame(IDR_TESTFRAME));
    frame->ShowWindow(SW_SHOW);
    app.m_pMainWnd = frame;
    HWND save = CreateWindowExW(0, L"BUTTON", L"Save", WS_CHILD | WS_VISIBLE, 0, 0, 60, 20, *frame,
                                reinterpret_cast<HMENU>(ID_SAVE), nullptr, nullptr);
    EXPECT_TRUE(IsWindowEnabled(save));
    app.OnIdle(0);
    EXPECT_FALSE(IsWindowEnabled(save));
    frame->saveEnabled = true;
    app.CWinApp::OnIdle(0);
    EXPECT_TRUE(IsWindowEnabled(save));
    frame->DestroyWindow();
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    Pump();  // the quit message the main window's end posted
}
