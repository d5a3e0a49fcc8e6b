// Message boxes in the skin's colours: a dialog made from an in-memory
// template, whose icon, text and buttons are laid out when it opens.
#include "utilon/utilon.h"

#include "patinex/patinex.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct ButtonDef {
    int id;
    const wchar_t* text;
};

// The buttons of an MB_* type, left to right.
std::vector<ButtonDef> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, L"OK"}, {IDCANCEL, L"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, L"&Abort"}, {IDRETRY, L"&Retry"}, {IDIGNORE, L"&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, L"&Yes"}, {IDNO, L"&No"}, {IDCANCEL, L"Cancel"}};
    case MB_YESNO: return {{IDYES, L"&Yes"}, {IDNO, L"&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, L"&Retry"}, {IDCANCEL, L"Cancel"}};
    case MB_CANCELTRYCONTINUE:
        return {{IDCANCEL, L"Cancel"}, {IDTRYAGAIN, L"&Try Again"}, {IDCONTINUE, L"&Continue"}};
    default: return {{IDOK, L"OK"}};
    }
}

const wchar_t* IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return IDI_HAND;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONEXCLAMATION: return IDI_EXCLAMATION;
    case MB_ICONASTERISK: return IDI_ASTERISK;
    default: return nullptr;
    }
}

std::wstring& TitleSetting() {
    static std::wstring title;
    return title;
}
CRITICAL_SECTION& TitleLock() {
    static CRITICAL_SECTION* lock = [] {
        auto* cs = new CRITICAL_SECTION;
        InitializeCriticalSection(cs);
        return cs;
    }();
    return *lock;
}

std::wstring ProgramTitle() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring p(path, n);
    std::size_t slash = p.find_last_of(L"\\/");
    if (slash != std::wstring::npos) p.erase(0, slash + 1);
    std::size_t dot = p.find_last_of(L'.');
    if (dot != std::wstring::npos) p.resize(dot);
    return p;
}

std::wstring CurrentTitle() {
    EnterCriticalSection(&TitleLock());
    std::wstring title = TitleSetting();
    LeaveCriticalSection(&TitleLock());
    return title.empty() ? ProgramTitle() : title;
}

// A text value of ShowMessageBox: a pointer, or a string id of `module`.
std::wstring TextOf(UINT_PTR value, HINSTANCE module) {
    if (value == 0) return std::wstring();
    if (IS_INTRESOURCE(value)) {
        const wchar_t* text = nullptr;
        int n = LoadStringW(module ? module : GetModuleHandleW(nullptr), static_cast<UINT>(value),
                            reinterpret_cast<LPWSTR>(&text), 0);
        return n > 0 && text ? std::wstring(text, static_cast<std::size_t>(n)) : std::wstring();
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(value));
}

HWND DefaultOwner() {
    HWND owner = GetActiveWindow();
    if (!owner) {
        HWND fg = GetForegroundWindow();
        DWORD pid = 0;
        if (fg) GetWindowThreadProcessId(fg, &pid);
        if (pid == GetCurrentProcessId()) owner = fg;
    }
    return owner;
}

struct BoxState {
    std::wstring text;
    std::wstring caption;
    UINT type = MB_OK;
    std::vector<ButtonDef> buttons;
    HFONT font = nullptr;
    HBRUSH background = nullptr;
    COLORREF textColor = 0;
};

bool HasButton(const BoxState& s, int id) {
    return std::any_of(s.buttons.begin(), s.buttons.end(), [id](const ButtonDef& b) { return b.id == id; });
}

constexpr int kMargin = 12;
constexpr int kGap = 8;
constexpr int kIconSize = 32;
constexpr int kTextIconGap = 10;
constexpr int kButtonHeight = 23;
constexpr int kMinButtonWidth = 75;

void LayOut(HWND dlg, BoxState& s) {
    HDC dc = GetDC(dlg);
    HGDIOBJ oldFont = SelectObject(dc, s.font);

    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int maxTextWidth = std::max(200, std::min(480, static_cast<int>((work.right - work.left) * 3 / 5)));
    RECT textRect = {0, 0, maxTextWidth, 0};
    DrawTextW(dc, s.text.empty() ? L" " : s.text.c_str(), -1, &textRect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    int textWidth = textRect.right - textRect.left;
    int textHeight = textRect.bottom - textRect.top;

    std::vector<int> widths;
    int buttonsWidth = 0;
    for (const ButtonDef& b : s.buttons) {
        RECT r = {0, 0, 0, 0};
        DrawTextW(dc, b.text, -1, &r, DT_CALCRECT | DT_SINGLELINE);
        int w = std::max(kMinButtonWidth, static_cast<int>(r.right - r.left) + 20);
        widths.push_back(w);
        buttonsWidth += w;
    }
    buttonsWidth += kGap * static_cast<int>(s.buttons.size() - 1);
    // The caption should not be cut: its width plus room for the close box.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);
    SelectObject(dc, captionFont);
    RECT captionRect = {0, 0, 0, 0};
    DrawTextW(dc, s.caption.c_str(), -1, &captionRect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    int captionWidth = std::min(static_cast<int>(captionRect.right) + 3 * GetSystemMetrics(SM_CXSIZE), maxTextWidth);
    SelectObject(dc, oldFont);
    DeleteObject(captionFont);
    ReleaseDC(dlg, dc);

    HINSTANCE self = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dlg, GWLP_HINSTANCE));
    const wchar_t* iconName = IconOf(s.type);
    int x = kMargin;
    int contentHeight = textHeight;
    if (iconName) {
        HWND icon = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, kMargin, kMargin,
                                    kIconSize, kIconSize, dlg, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(0xFFFE)),
                                    self, nullptr);
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, iconName)), 0);
        x += kIconSize + kTextIconGap;
        contentHeight = std::max(contentHeight, kIconSize);
    }
    int textTop = kMargin + (contentHeight - textHeight) / 2;
    HWND label = CreateWindowExW(0, L"STATIC", s.text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, x,
                                 textTop, textWidth, textHeight, dlg,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(0xFFFF)), self, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);

    int clientWidth = std::max({x + textWidth + kMargin, buttonsWidth + 2 * kMargin, captionWidth});
    int buttonsTop = kMargin + contentHeight + 2 * kGap;
    int clientHeight = buttonsTop + kButtonHeight + kMargin;

    UINT defIndex = (s.type & MB_DEFMASK) >> 8;
    if (defIndex >= s.buttons.size()) defIndex = 0;
    int bx = (clientWidth - buttonsWidth) / 2;
    for (std::size_t i = 0; i < s.buttons.size(); ++i) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        if (i == 0) style |= WS_GROUP;
        HWND button = CreateWindowExW(0, L"BUTTON", s.buttons[i].text, style, bx, buttonsTop, widths[i],
                                      kButtonHeight, dlg,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(s.buttons[i].id)), self, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
        bx += widths[i] + kGap;
    }
    SendMessageW(dlg, DM_SETDEFID, static_cast<WPARAM>(s.buttons[defIndex].id), 0);
    SetFocus(GetDlgItem(dlg, s.buttons[defIndex].id));

    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE)));
    int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT around = work;
    HWND owner = GetWindow(dlg, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
    int left = around.left + ((around.right - around.left) - w) / 2;
    int top = around.top + ((around.bottom - around.top) - h) / 2;
    left = std::max(static_cast<int>(work.left), std::min(left, static_cast<int>(work.right) - w));
    top = std::max(static_cast<int>(work.top), std::min(top, static_cast<int>(work.bottom) - h));
    SetWindowPos(dlg, (s.type & MB_TOPMOST) ? HWND_TOPMOST : nullptr, left, top, w, h,
                 (s.type & MB_TOPMOST) ? 0 : SWP_NOZORDER);

    // A box that cannot be cancelled has no working close box.
    if (!HasButton(s, IDCANCEL) && s.buttons.size() > 1)
        EnableMenuItem(GetSystemMenu(dlg, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

INT_PTR CALLBACK BoxProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* s = reinterpret_cast<BoxState*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        s = reinterpret_cast<BoxState*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        SetWindowTextW(dlg, s->caption.c_str());
        LayOut(dlg, *s);
        if (s->type & MB_SETFOREGROUND) SetForegroundWindow(dlg);
        return FALSE;  // the focus is set
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        if (!s) break;
        SetTextColor(reinterpret_cast<HDC>(wParam), s->textColor);
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(s->background);
    case WM_COMMAND: {
        if (!s || HIWORD(wParam) != BN_CLICKED) break;
        int id = LOWORD(wParam);
        if (id == IDCANCEL && !HasButton(*s, IDCANCEL)) {
            // Escape and the close box: OK for a box that has only OK.
            if (s->buttons.size() == 1) EndDialog(dlg, s->buttons[0].id);
            return TRUE;
        }
        if (HasButton(*s, id)) EndDialog(dlg, id);
        return TRUE;
    }
    default: break;
    }
    return FALSE;
}

// A dialog template without items: caption and controls come at WM_INITDIALOG.
static_assert(sizeof(DLGTEMPLATE) == 18, "the template header is packed");

std::vector<WORD> EmptyTemplate(bool topmost) {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG;
    d->dwExtendedStyle = WS_EX_DLGMODALFRAME | (topmost ? WS_EX_TOPMOST : 0);
    d->cdit = 0;
    // Menu, class and title: three empty words after the header.
    return t;
}

int RunBox(std::wstring text, std::wstring caption, UINT type, HWND owner) {
    BoxState s;
    s.text = std::move(text);
    s.caption = caption.empty() ? CurrentTitle() : std::move(caption);
    s.type = type;
    s.buttons = ButtonsOf(type);

    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    s.font = CreateFontIndirectW(&metrics.lfMessageFont);
    s.background = CreateSolidBrush(GetSkinColor(L"MessageBoxBackground", GetSysColor(COLOR_BTNFACE)));
    s.textColor = GetSkinColor(L"MessageBoxText", GetSysColor(COLOR_BTNTEXT));

    if (owner) owner = GetAncestor(owner, GA_ROOT);
    if (!owner) owner = DefaultOwner();
    std::vector<WORD> dlgTemplate = EmptyTemplate((type & MB_TOPMOST) != 0);
    HINSTANCE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&BoxProc), reinterpret_cast<HMODULE*>(&self));
    if (type & MB_ICONMASK) {
        UINT sound = type & MB_ICONMASK;
        MessageBeep(sound);
    }
    INT_PTR result = DialogBoxIndirectParamW(self, reinterpret_cast<const DLGTEMPLATE*>(dlgTemplate.data()), owner,
                                             &BoxProc, reinterpret_cast<LPARAM>(&s));
    DeleteObject(s.font);
    DeleteObject(s.background);
    return result > 0 ? static_cast<int>(result) : 0;
}

}  // namespace

extern "C" UTILON_API int __cdecl AfxPtMessageBox(const wchar_t* text, UINT type, UINT /*helpId*/) {
    return RunBox(text ? text : L"", std::wstring(), type, nullptr);
}

extern "C" UTILON_API int __cdecl ShowMessageBox(UINT_PTR text, UINT_PTR caption, UINT_PTR type, UINT_PTR module,
                                                 HWND parent) {
    HINSTANCE strings = reinterpret_cast<HINSTANCE>(module);
    return RunBox(TextOf(text, strings), TextOf(caption, strings), static_cast<UINT>(type), parent);
}

extern "C" UTILON_API void __cdecl SetMessageBoxTitle(const wchar_t* title) {
    EnterCriticalSection(&TitleLock());
    TitleSetting() = title ? title : L"";
    LeaveCriticalSection(&TitleLock());
}
