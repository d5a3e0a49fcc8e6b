// The window classes of the controls, registered once, and skinning a window
// the program made itself as one of them.
#include "pt_internal.h"

#include <utility>

namespace pt {

namespace {

struct ClassEntry {
    const wchar_t* name;
    Kind kind;
    const wchar_t* base;  // superclassed system class, or null
    WNDPROC baseProc;
};

ClassEntry g_classes[] = {
    {PT_WC_BUTTON, K_BUTTON, nullptr, nullptr},
    {PT_WC_SCALEBUTTON, K_SCALEBUTTON, nullptr, nullptr},
    {PT_WC_STATIC, K_STATIC, nullptr, nullptr},
    {PT_WC_SCROLLSTATIC, K_SCROLLSTATIC, nullptr, nullptr},
    {PT_WC_SLIDER, K_SLIDER, nullptr, nullptr},
    {PT_WC_SCALESLIDER, K_SCALESLIDER, nullptr, nullptr},
    {PT_WC_SLIDERROUND, K_SLIDERROUND, nullptr, nullptr},
    {PT_WC_COMBOBOX, K_COMBOBOX, L"ComboBox", nullptr},
    {PT_WC_EDITBOX, K_EDITBOX, L"Edit", nullptr},
    {PT_WC_HTMLBROWSER, K_HTMLBROWSER, nullptr, nullptr},
    {PT_WC_SURROUNDVIEW, K_SURROUNDVIEW, nullptr, nullptr},
    {PT_WC_TREECTRL, K_TREECTRL, WC_TREEVIEWW, nullptr},
    {PT_WC_AUTOPANEL, K_AUTOPANEL, nullptr, nullptr},
    {PT_WC_AUTOPANELCAPTION, K_AUTOPANELCAPTION, nullptr, nullptr},
};

Control* NewControl(Kind kind) {
    switch (kind) {
    case K_BUTTON:
    case K_SCALEBUTTON:
        return NewButton(kind);
    case K_STATIC:
    case K_SCROLLSTATIC:
        return NewStatic(kind);
    case K_SLIDER:
    case K_SCALESLIDER:
    case K_SLIDERROUND:
        return NewSlider(kind);
    case K_AUTOPANEL:
    case K_AUTOPANELCAPTION:
        return NewPanel(kind);
    case K_SCALEDIALOG:
        return NewDialogSkin();
    default:
        return NewMisc(kind);
    }
}

template <size_t I>
LRESULT CALLBACK ClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Control* control = Control::From(hwnd)) return control->Handle(message, wParam, lParam);
    const ClassEntry& entry = g_classes[I];
    if (message == WM_NCCREATE) {
        Control* control = NewControl(entry.kind);
        control->Bind(hwnd, entry.baseProc);
        return control->Handle(message, wParam, lParam);
    }
    return entry.baseProc ? CallWindowProcW(entry.baseProc, hwnd, message, wParam, lParam)
                          : DefWindowProcW(hwnd, message, wParam, lParam);
}

template <size_t... I>
constexpr WNDPROC ProcOf(size_t index, std::index_sequence<I...>) {
    WNDPROC procs[] = {&ClassProc<I>...};
    return procs[index];
}

BOOL RegisterAll() {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    constexpr size_t count = sizeof(g_classes) / sizeof(g_classes[0]);
    BOOL ok = TRUE;
    for (size_t i = 0; i < count; ++i) {
        ClassEntry& entry = g_classes[i];
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        if (entry.base) {
            if (!GetClassInfoExW(nullptr, entry.base, &wc)) {
                ok = FALSE;
                continue;
            }
            entry.baseProc = wc.lpfnWndProc;
        } else {
            wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            wc.style = CS_DBLCLKS;
        }
        wc.cbSize = sizeof(wc);
        wc.style |= CS_GLOBALCLASS;
        wc.style &= ~static_cast<UINT>(CS_VREDRAW | CS_HREDRAW);
        wc.lpfnWndProc = ProcOf(i, std::make_index_sequence<count>{});
        wc.hInstance = ModuleInstance();
        wc.lpszClassName = entry.name;
        wc.hbrBackground = nullptr;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) ok = FALSE;
    }
    return ok;
}

}  // namespace

}  // namespace pt

using namespace pt;

namespace {
BOOL g_registered = FALSE;
BOOL CALLBACK RegisterOnce(PINIT_ONCE, PVOID, PVOID*) {
    g_registered = RegisterAll();
    return TRUE;
}
}  // namespace

extern "C" PATINCTL_API BOOL __cdecl PtRegisterClasses(void) {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    InitOnceExecuteOnce(&once, &RegisterOnce, nullptr, nullptr);
    return g_registered;
}

extern "C" PATINCTL_API BOOL __cdecl PtSkinWindow(HWND window, int kind, BOOL flag) {
    if (!IsWindow(window) || Control::From(window)) return FALSE;
    PtRegisterClasses();
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    Control* control = nullptr;
    bool replaces = true;
    switch (kind) {
    case PT_KIND_STATIC:
        if (lstrcmpiW(className, L"Static") != 0) return FALSE;
        switch (style & SS_TYPEMASK) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            break;
        default:
            return FALSE;  // pictures, frames and lines keep the system's drawing
        }
        control = NewStatic(K_STATIC);
        break;
    case PT_KIND_SCALEDIALOG:
        if (lstrcmpiW(className, L"#32770") != 0) return FALSE;
        control = NewDialogSkin();
        replaces = false;
        break;
    case PT_KIND_SCALESLIDER:
        if (lstrcmpiW(className, TRACKBAR_CLASSW) != 0) return FALSE;
        control = NewSlider(K_SCALESLIDER);
        break;
    case PT_KIND_COMBOBOX:
        if (lstrcmpiW(className, L"ComboBox") != 0) return FALSE;
        control = NewMisc(K_COMBOBOX);
        replaces = false;
        break;
    case PT_KIND_EDITBOX:
        if (lstrcmpiW(className, L"Edit") != 0) return FALSE;
        control = NewMisc(K_EDITBOX);
        replaces = false;
        break;
    case PT_KIND_CHECKBUTTON:
    case PT_KIND_SCALEBUTTON: {
        if (lstrcmpiW(className, L"Button") != 0) return FALSE;
        LONG type = style & BS_TYPEMASK;
        if (type == BS_GROUPBOX || type == BS_OWNERDRAW) return FALSE;
        control = NewButton(kind == PT_KIND_SCALEBUTTON ? K_SCALEBUTTON : K_BUTTON);
        break;
    }
    default:
        return FALSE;
    }
    (void)flag;
    // What the system control holds now is taken over before its procedure is replaced.
    Control::State state;
    if (kind == PT_KIND_SCALESLIDER) {
        state.hasRange = true;
        state.min = static_cast<int>(SendMessageW(window, TBM_GETRANGEMIN, 0, 0));
        state.max = static_cast<int>(SendMessageW(window, TBM_GETRANGEMAX, 0, 0));
        state.pos = static_cast<int>(SendMessageW(window, TBM_GETPOS, 0, 0));
        state.page = static_cast<int>(SendMessageW(window, TBM_GETPAGESIZE, 0, 0));
        state.line = static_cast<int>(SendMessageW(window, TBM_GETLINESIZE, 0, 0));
    } else if (kind == PT_KIND_CHECKBUTTON || kind == PT_KIND_SCALEBUTTON) {
        state.hasCheck = true;
        state.check = static_cast<int>(SendMessageW(window, BM_GETCHECK, 0, 0));
    }
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    control->Bind(window, old);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::Dispatch));
    // With `replaces` the object answers the kind's messages itself from now on.
    control->SetReplaces(replaces);
    control->InitFromWindow();
    if (state.hasRange || state.hasCheck) control->LoadState(state);
    InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}
