// CWinApp: the application object. A program defines exactly one, as a global
// object, and calls RunApplication from its entry point:
//
//   class CMyApp : public CWinApp { BOOL InitInstance() override; };
//   CMyApp theApp;
//   int WINAPI wWinMain(HINSTANCE h, HINSTANCE, LPWSTR cmdLine, int show) {
//       return RunApplication(h, cmdLine, show);
//   }
//
// RunApplication fills in the instance and the command line, then calls
// InitInstance. When it returns FALSE the program ends (ExitInstance still
// runs); otherwise Run pumps messages, with idle processing between them,
// until WM_QUIT (posted when the main window is destroyed), then calls
// ExitInstance, whose result is the program's exit code.
#pragma once

#include "fw/win/wnd.h"

#include <string>

class CWinApp : public CCmdTarget {
public:
    // appName: the title of message boxes; null takes the program file's name
    // without extension.
    explicit CWinApp(const wchar_t* appName = nullptr);
    ~CWinApp() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // Called while the queue is empty with 0, 1, 2, ...; return TRUE to be
    // called again before waiting for the next message. The default sends the
    // idle command update to the main window at count 0 and wants no more
    // after that.
    virtual BOOL OnIdle(LONG count);
    virtual int Run();
    // Offered each message before it is dispatched: the windows it is for get
    // their PreTranslateMessage (see fw::WalkPreTranslateTree).
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Takes one message from the queue, pre-translates and dispatches it;
    // false when it was WM_QUIT (whose code is then in m_msgCur.wParam).
    bool PumpMessage();
    // False for messages that should not restart idle processing (a mouse
    // move to the same spot, WM_PAINT, the caret's timer).
    virtual bool IsIdleMessage(const MSG* msg);

    // Sets the registry key under HKEY_CURRENT_USER\Software that settings of
    // the framework would use ("company\application").
    void SetRegistryKey(const wchar_t* key);

    HINSTANCE m_hInstance = nullptr;
    // The command line after the program name, exactly as the entry point got it.
    const wchar_t* m_lpCmdLine = L"";
    int m_nCmdShow = SW_SHOWDEFAULT;
    CWnd* m_pMainWnd = nullptr;
    std::wstring m_strAppName;
    std::wstring m_strRegistryKey;
    MSG m_msgCur = {};

private:
    POINT m_lastMousePos = {-1, -1};
    UINT m_lastMouseMsg = 0;
};

// The application object (null before it is constructed and after it is destroyed).
CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();

// The module that dialogs, menus, strings and bitmaps are loaded from: the
// program itself unless a language library was set.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// A message box owned by the active window of the program (or its main
// window), titled with the application's name. Returns the button pressed.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

namespace fw {
// A message box with everything given.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
}  // namespace fw

// The entry point's work: see the top of this file.
int RunApplication(HINSTANCE instance, const wchar_t* cmdLine, int cmdShow = SW_SHOWDEFAULT);

namespace fw {
// What the C runtime hands wWinMain as its command line: the full command line
// (GetCommandLineW) without the program name, which ends at the closing quote
// when it starts with one and at the first blank otherwise, and without the
// blanks that follow it.
const wchar_t* CommandLineAfterProgramName(const wchar_t* fullCommandLine);
}  // namespace fw
