#include "klarwin/ui/hyperlink.h"

#include "fw/strutil.h"
#include "fw/win/app.h"
#include "fw/win/registry.h"

#include <shellapi.h>

#include <vector>

CHyperLink::CHyperLink() = default;
CHyperLink::~CHyperLink() = default;

const CMessageMap& CHyperLink::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CHyperLink>(&CStatic::GetThisMessageMap())
        .OnMessage(ReflectedMessage(WM_COMMAND), &CHyperLink::OnClickedReflect)
        .OnMessage(WM_PAINT, &CHyperLink::OnPaint)
        .OnMessage(WM_PRINTCLIENT, &CHyperLink::OnPrintClient)
        .OnMessage(WM_ERASEBKGND, &CHyperLink::OnEraseBkgnd)
        .OnMessage(WM_SETCURSOR, &CHyperLink::OnSetCursor)
        .OnMessage(WM_MOUSEMOVE, &CHyperLink::OnMouseMove)
        .OnMessage(WM_TIMER, &CHyperLink::OnTimer)
        .OnMessage(WM_SETTEXT, &CHyperLink::OnSetText)
        .OnMessage(WM_SETFONT, &CHyperLink::OnSetFont)
        .OnMessage(WM_DESTROY, &CHyperLink::OnDestroy);
    return map;
}

void CHyperLink::PreSubclassWindow() {
    ModifyStyle(0, SS_NOTIFY);
    if (m_strURL.empty()) m_strURL = GetWindowText();
    MakeFonts(GetFont());
}

void CHyperLink::MakeFonts(HFONT source) {
    kwui::CreateFontVariant(m_font, source, false);
    kwui::CreateFontVariant(m_fontUnderline, source, true);
}

void CHyperLink::SetColours(COLORREF link, COLORREF visited, COLORREF hover) {
    m_crLink = link;
    m_crVisited = visited;
    m_crHover = hover;
    Redraw();
}

void CHyperLink::SetVisited(bool visited) {
    m_bVisited = visited;
    Redraw();
}

// ---------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------

std::wstring CHyperLink::ShellErrorText(INT_PTR result) {
    switch (result) {
    case 0: return L"The operating system is out of memory or resources.";
    case SE_ERR_FNF: return L"The specified file was not found.";
    case SE_ERR_PNF: return L"The specified path was not found.";
    case ERROR_BAD_FORMAT: return L"The .exe file is invalid (non-Win32 .exe or error in .exe image).";
    case SE_ERR_ACCESSDENIED: return L"The operating system denied access to the specified file.";
    case SE_ERR_ASSOCINCOMPLETE: return L"The file name association is incomplete or invalid.";
    case SE_ERR_DDEBUSY:
        return L"The DDE transaction could not be completed because other DDE transactions were being processed.";
    case SE_ERR_DDEFAIL: return L"The DDE transaction failed.";
    case SE_ERR_DDETIMEOUT: return L"The DDE transaction could not be completed because the request timed out.";
    case SE_ERR_DLLNOTFOUND: return L"The specified dynamic-link library was not found.";
    case SE_ERR_NOASSOC: return L"There is no application associated with the given file name extension.";
    case SE_ERR_OOM: return L"There was not enough memory to complete the operation.";
    case SE_ERR_SHARE: return L"A sharing violation occurred.";
    default: return fw::Format(L"Unknown Error (%d) occurred.", static_cast<int>(result));
    }
}

std::wstring CHyperLink::FailureMessage(INT_PTR shellResult) {
    return L"Unable to open hyperlink:\n\n" + ShellErrorText(shellResult);
}

std::wstring CHyperLink::CommandForURL(std::wstring_view command, std::wstring_view url) {
    std::wstring out;
    bool replaced = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == L'%' && i + 1 < command.size() && command[i + 1] == L'1') {
            out.append(url);
            ++i;
            replaced = true;
        } else {
            out.push_back(command[i]);
        }
    }
    if (!replaced) {
        if (!out.empty() && out.back() != L' ') out.push_back(L' ');
        out.append(url);
    }
    return out;
}

bool CHyperLink::OpenWithRegisteredBrowser(const std::wstring& url) {
    if (m_strFallbackExtension.empty()) return false;
    CRegKey extension;
    std::wstring fileClass;
    if (extension.Open(HKEY_CLASSES_ROOT, m_strFallbackExtension.c_str(), KEY_READ) != ERROR_SUCCESS ||
        extension.QueryStringValue(nullptr, fileClass) != ERROR_SUCCESS || fileClass.empty())
        return false;
    CRegKey commandKey;
    std::wstring command;
    std::wstring path = fileClass + L"\\shell\\open\\command";
    if (commandKey.Open(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ) != ERROR_SUCCESS ||
        commandKey.QueryStringValue(nullptr, command) != ERROR_SUCCESS || command.empty())
        return false;
    // Commands are often REG_EXPAND_SZ ("%ProgramFiles%\..."): expand them.
    DWORD needed = ExpandEnvironmentStringsW(command.c_str(), nullptr, 0);
    if (needed > 0) {
        std::vector<wchar_t> expanded(needed + 1, L'\0');
        if (ExpandEnvironmentStringsW(command.c_str(), expanded.data(), needed + 1) > 0) command = expanded.data();
    }
    std::wstring commandLine = CommandForURL(command, url);
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool CHyperLink::OpenURL() {
    INT_PTR result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", m_strURL.c_str(), nullptr, nullptr, SW_SHOW));
    if (result > 32 || OpenWithRegisteredBrowser(m_strURL)) {
        SetVisited(true);
        return true;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    AfxMessageBox(FailureMessage(result).c_str(), MB_ICONEXCLAMATION | MB_OK);
    return false;
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

LRESULT CHyperLink::OnClickedReflect(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) == STN_CLICKED) OpenURL();
    return 0;
}

void CHyperLink::Redraw() {
    if (m_hWnd) Invalidate(true);
}

LRESULT CHyperLink::OnPaint(WPARAM, LPARAM) {
    CPaintDC paint(m_hWnd);
    Paint(paint);
    return 0;
}

LRESULT CHyperLink::OnPrintClient(WPARAM wParam, LPARAM) {
    Paint(reinterpret_cast<HDC>(wParam));
    return 0;
}

void CHyperLink::Paint(HDC target) {
    RECT rc = GetClientRect();
    kwui::COffscreenDC dc(target, rc);
    kwui::PaintBackgroundUnder(m_hWnd, dc);
    std::wstring text = GetWindowText();
    if (text.empty()) return;
    HFONT font = m_bHover ? m_fontUnderline.Get() : m_font.Get();
    CSelectObject selectFont(dc, font ? font : GetFont());
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(m_bHover ? m_crHover : (m_bVisited ? m_crVisited : m_crLink));
    dc.DrawText(text, rc, kwui::StaticTextFlags(GetStyle()));
}

LRESULT CHyperLink::OnEraseBkgnd(WPARAM, LPARAM) { return TRUE; }  // painting covers it

LRESULT CHyperLink::OnSetCursor(WPARAM, LPARAM) {
    ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

LRESULT CHyperLink::OnMouseMove(WPARAM, LPARAM) {
    if (!m_bHover) {
        m_bHover = true;
        Redraw();
        SetTimer(kHoverTimer, kHoverIntervalMs);
    }
    return Default();
}

LRESULT CHyperLink::OnTimer(WPARAM wParam, LPARAM) {
    if (wParam != kHoverTimer) return Default();
    if (kwui::PointerOutside(m_hWnd)) {
        m_bHover = false;
        KillTimer(kHoverTimer);
        Redraw();
    }
    return 0;
}

LRESULT CHyperLink::OnSetText(WPARAM, LPARAM) {
    LRESULT result = Default();
    Redraw();
    return result;
}

LRESULT CHyperLink::OnSetFont(WPARAM wParam, LPARAM) {
    LRESULT result = Default();
    MakeFonts(reinterpret_cast<HFONT>(wParam));
    Redraw();
    return result;
}

LRESULT CHyperLink::OnDestroy(WPARAM, LPARAM) {
    KillTimer(kHoverTimer);
    m_bHover = false;
    return Default();
}
