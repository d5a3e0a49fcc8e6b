// The choice kept and shared, its commands and the "Effects Library" window (see morph_controller.h).
#include "morph_controller.h"

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <cwchar>

namespace orvo {

CMorphController::~CMorphController() {
    if (m_window && IsWindow(m_window)) DestroyWindow(m_window);
}

void CMorphController::Initialize(IQueryInterface* host, const wchar_t* owner, HINSTANCE instance, HWND moduleWindow) {
    m_host = host;
    m_app = host ? host->GetApplication() : nullptr;
    m_owner = owner;
    m_instance = instance;
    m_moduleWindow = moduleWindow;
    if (!m_app || !m_link.Load(m_app->GetProgramFolder())) return;
    m_choice = LoadMorphChoice(m_app, m_owner.c_str(), m_link);
    if (!m_chain.Choose(m_choice, m_link.Entries())) ReportFailure();
}

bool CMorphController::OnCommand(UINT id) {
    if (id == kCmdEffectsLibrary) {
        ShowWindow();
        return true;
    }
    if (!IsMorphCommand(id)) return false;
    MorphChoice next = m_choice;
    if (!ApplyMorphCommand(id, next, m_link)) return true;
    m_choice = next;
    ChoiceChanged();
    return true;
}

bool CMorphController::Query(UINT id, bool& enabled, int& check) const {
    if (id == kCmdEffectsLibrary) {
        enabled = m_link.Loaded();
        check = m_window && IsWindowVisible(m_window) ? 1 : 0;
        return true;
    }
    if (!IsMorphCommand(id)) return false;
    enabled = m_link.Loaded();
    check = MorphCheck(id, m_choice);
    return true;
}

bool CMorphController::OnBusMessage(const wchar_t* sender, const wchar_t* message) {
    if (!message || _wcsicmp(message, kEffectsMessage) != 0 || !sender || !m_link.Loaded()) return false;
    m_choice = LoadMorphChoice(m_app, sender, m_link);
    SaveMorphChoice(m_app, m_owner.c_str(), m_choice, m_link);
    if (!m_chain.Choose(m_choice, m_link.Entries())) ReportFailure();
    NotifyChange();
    ShowEffect(m_shownId);
    return true;
}

bool CMorphController::PreTranslate(MSG* msg) {
    return msg && m_window && IsWindowVisible(m_window) && (msg->hwnd == m_window || IsChild(m_window, msg->hwnd)) &&
           IsDialogMessageW(m_window, msg);
}

void CMorphController::CheckFailure() {
    m_chain.Collect();
    if (m_chain.TakeFailure()) ReportFailure();
}

void CMorphController::ReportFailure() {
    if (m_app) m_app->ShowStatusText(L"An effect could not be used; the sound plays unchanged.", 5000);
}

void CMorphController::ChoiceChanged() {
    SaveMorphChoice(m_app, m_owner.c_str(), m_choice, m_link);
    if (!m_chain.Choose(m_choice, m_link.Entries())) ReportFailure();
    NotifyChange();
    BroadcastMorphChoice(m_host, m_owner.c_str());
    if (m_window) ShowEffect(m_shownId);
}

void CMorphController::ShowWindow() {
    if (!m_link.Loaded()) return;
    if (!m_window && !CreateLibraryWindow()) return;
    ::ShowWindow(m_window, SW_SHOW);
    SetForegroundWindow(m_window);
    SetFocus(GetDlgItem(m_window, kIdList));
}

HWND CMorphController::Make(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return c;
}

bool CMorphController::CreateLibraryWindow() {
    if (m_link.Entries().empty()) return false;
    static const wchar_t kClass[] = L"MorphEffectsLibrary";
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(m_instance, kClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &CMorphController::LibraryProc;
        wc.hInstance = m_instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        if (!RegisterClassExW(&wc)) return false;
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HWND owner = m_moduleWindow ? GetAncestor(m_moduleWindow, GA_ROOT) : nullptr;
    RECT r = {0, 0, 520, 120 + kMaxShownParams * 34};
    AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    m_window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClass, L"Effects Library",
                               WS_POPUP | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                               r.bottom - r.top, owner, nullptr, m_instance, this);
    if (!m_window) return false;
    Make(L"STATIC", L"&Effects:", SS_LEFT, 0xFFFF, 10, 10, 160, 16);
    HWND list = Make(L"LISTBOX", L"Effects", WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                     kIdList, 10, 28, 160, 82 + kMaxShownParams * 34);
    for (const EffectEntry& e : m_link.Entries()) {
        std::wstring line = e.name + (e.type == SONARIX_VOICE_MORPHING ? L" (voice)" : L"");
        const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), e.id);
    }
    Make(L"BUTTON", L"&Use this effect", WS_TABSTOP | BS_AUTOCHECKBOX, kIdUse, 186, 10, 320, 20);
    Make(L"STATIC", L"&Preset:", SS_LEFT, 0xFFFF, 186, 40, 60, 16);
    Make(L"COMBOBOX", L"Preset", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kIdPreset, 250, 36, 256, 200);
    for (int p = 0; p < kMaxShownParams; ++p) {
        const int y = 74 + p * 34;
        Make(L"STATIC", L"", SS_LEFT, kIdLabel + p, 186, y + 4, 110, 16);
        Make(TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, kIdSlider + p, 296, y, 150, 26);
        SendDlgItemMessageW(m_window, kIdSlider + p, TBM_SETRANGE, TRUE, MAKELPARAM(0, kSteps));
        SendDlgItemMessageW(m_window, kIdSlider + p, TBM_SETPAGESIZE, 0, kSteps / 20);
        Make(L"STATIC", L"", SS_LEFT, kIdValue + p, 450, y + 4, 60, 16);
    }
    Make(L"BUTTON", L"Close", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 426, 84 + kMaxShownParams * 34, 80, 26);
    // The effect in use first, else the first one.
    int first = m_choice.voice ? m_choice.voice : m_choice.special ? m_choice.special : m_link.Entries().front().id;
    ShowEffect(first);
    return true;
}

LRESULT CALLBACK CMorphController::LibraryProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    auto* self = reinterpret_cast<CMorphController*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, w, l);
    try {
        switch (message) {
        case WM_CLOSE: ::ShowWindow(hwnd, SW_HIDE); return 0;
        case WM_COMMAND: self->OnLibraryCommand(LOWORD(w), HIWORD(w)); return 0;
        case WM_HSCROLL: self->OnSlider(reinterpret_cast<HWND>(l), LOWORD(w)); return 0;
        case WM_NCDESTROY: self->m_window = nullptr; break;
        default: break;
        }
    } catch (...) {
    }
    return DefWindowProcW(hwnd, message, w, l);
}

void CMorphController::ShowEffect(int id) {
    if (!m_window) return;
    const EffectEntry* e = m_link.Find(id);
    if (!e && !m_link.Entries().empty()) e = &m_link.Entries().front();
    if (!e) return;
    m_shownId = e->id;
    HWND list = GetDlgItem(m_window, kIdList);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (static_cast<int>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == e->id)
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    const bool used = e->id == m_choice.voice || e->id == m_choice.special;
    CheckDlgButton(m_window, kIdUse, used ? BST_CHECKED : BST_UNCHECKED);
    HWND presets = GetDlgItem(m_window, kIdPreset);
    SendMessageW(presets, CB_RESETCONTENT, 0, 0);
    SendMessageW(presets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"(own settings)"));
    for (const EffectPreset& p : e->presets) SendMessageW(presets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p.name.c_str()));
    SendMessageW(presets, CB_SETCURSEL, static_cast<WPARAM>(e->id == m_choice.special ? m_choice.specialPreset + 1 : 0), 0);
    EnableWindow(presets, !e->presets.empty());
    const std::vector<float> values = m_choice.ParamsOf(*e);
    for (int p = 0; p < kMaxShownParams; ++p) {
        const bool shown = p < static_cast<int>(e->params.size());
        HWND label = GetDlgItem(m_window, kIdLabel + p), slider = GetDlgItem(m_window, kIdSlider + p);
        const std::wstring name = shown ? e->params[static_cast<std::size_t>(p)].name + L":" : L"";
        SetWindowTextW(label, name.c_str());
        // The slider's own text names it for screen readers.
        SetWindowTextW(slider, shown ? e->params[static_cast<std::size_t>(p)].name.c_str() : L"");
        for (HWND c : {label, slider, GetDlgItem(m_window, kIdValue + p)}) ::ShowWindow(c, shown ? SW_SHOWNA : SW_HIDE);
        if (!shown) continue;
        const EffectParam& param = e->params[static_cast<std::size_t>(p)];
        const float span = param.maximum - param.minimum;
        const int position = span != 0 ? static_cast<int>(std::lround((values[static_cast<std::size_t>(p)] - param.minimum) / span * kSteps)) : 0;
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        ShowValue(p, values[static_cast<std::size_t>(p)]);
    }
}

void CMorphController::ShowValue(int p, float value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.2f", static_cast<double>(value));
    SetDlgItemTextW(m_window, kIdValue + p, text);
}

void CMorphController::OnLibraryCommand(UINT id, UINT code) {
    const EffectEntry* e = m_link.Find(m_shownId);
    if (id == IDCANCEL) {
        ::ShowWindow(m_window, SW_HIDE);
    } else if (id == kIdList && code == LBN_SELCHANGE) {
        HWND list = GetDlgItem(m_window, kIdList);
        const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (at >= 0) ShowEffect(static_cast<int>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(at), 0)));
    } else if (id == kIdUse && code == BN_CLICKED && e) {
        const bool use = IsDlgButtonChecked(m_window, kIdUse) == BST_CHECKED;
        int& slot = e->type == SONARIX_VOICE_MORPHING ? m_choice.voice : m_choice.special;
        if (use) slot = e->id;
        else if (slot == e->id) slot = 0;
        if (e->type != SONARIX_VOICE_MORPHING && !use) m_choice.specialPreset = -1;
        ChoiceChanged();
    } else if (id == kIdPreset && code == CBN_SELCHANGE && e) {
        const int preset = static_cast<int>(SendDlgItemMessageW(m_window, kIdPreset, CB_GETCURSEL, 0, 0)) - 1;
        if (preset < 0 || preset >= static_cast<int>(e->presets.size())) return;
        m_choice.params[static_cast<std::size_t>(e->id)] = e->presets[static_cast<std::size_t>(preset)].values;
        if (e->id == m_choice.special) m_choice.specialPreset = preset;
        m_chain.SetParams(e->id, m_choice.params[static_cast<std::size_t>(e->id)]);
        ChoiceChanged();
    }
}

void CMorphController::OnSlider(HWND slider, UINT code) {
    const EffectEntry* e = m_link.Find(m_shownId);
    if (!e) return;
    const int p = GetDlgCtrlID(slider) - kIdSlider;
    if (p < 0 || p >= static_cast<int>(e->params.size())) return;
    std::vector<float> values = m_choice.ParamsOf(*e);
    const EffectParam& param = e->params[static_cast<std::size_t>(p)];
    const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    values[static_cast<std::size_t>(p)] = param.minimum + (param.maximum - param.minimum) * position / kSteps;
    m_choice.params[static_cast<std::size_t>(e->id)] = values;
    if (e->id == m_choice.special) m_choice.specialPreset = -1;
    ShowValue(p, values[static_cast<std::size_t>(p)]);
    SendDlgItemMessageW(m_window, kIdPreset, CB_SETCURSEL, 0, 0);
    m_chain.SetParams(e->id, values);
    NotifyChange();
    if (code == TB_ENDTRACK || code == TB_THUMBPOSITION) {
        SaveMorphChoice(m_app, m_owner.c_str(), m_choice, m_link);
        BroadcastMorphChoice(m_host, m_owner.c_str());
    }
}

}  // namespace orvo
