// The base of every control window: binding, the messages all controls
// answer, skin attributes and tooltips.
#include "pt_internal.h"

#include <algorithm>
#include <cwctype>

namespace pt {
namespace {

const wchar_t kProp[] = L"PatinctlControl";

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

HINSTANCE ModuleInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

bool IsPatinctlWindow(HWND hwnd) { return hwnd && GetPropW(hwnd, kProp) != nullptr; }

// ---- Skin manager ------------------------------------------------------------------

COLORREF ParseColor(const wchar_t* text) {
    if (!text || !*text) return CLR_INVALID;
    if (ISWQueryInterface* query = PtGetSWQueryInterface()) return query->LoadColor(text);
    return ::LoadColor(text);
}

bool ParseFont(LOGFONTW& font, const wchar_t* text) {
    if (!text || !*text) return false;
    if (ISWQueryInterface* query = PtGetSWQueryInterface()) return query->LoadFont(&font, text) != FALSE;
    return ::LoadFont(&font, text) != FALSE;
}

COLORREF SkinColor(const wchar_t* name, COLORREF fallback) {
    if (ISWQueryInterface* query = PtGetSWQueryInterface()) return query->GetSkinColor(name, fallback);
    return ::GetSkinColor(name, fallback);
}

std::wstring SkinFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = 0;
    if (ISWQueryInterface* query = PtGetSWQueryInterface())
        length = query->GetSkinPath(path, MAX_PATH * 2);
    else
        length = ::GetSkinPath(path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2) return L"";
    std::wstring folder(path);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"" : folder.substr(0, slash + 1);
}

HFONT DefaultFont() {
    static HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
            return CreateFontIndirectW(&metrics.lfMessageFont);
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

// ---- Attributes ------------------------------------------------------------------------

Attributes::Attributes(const enXml* element) {
    if (!element) return;
    for (const auto& attribute : element->Attributes())
        m_values[Lower(std::wstring(attribute.first))].assign(attribute.second);
}

bool Attributes::Has(const wchar_t* name) const { return m_values.count(Lower(name)) != 0; }

std::wstring Attributes::Text(const wchar_t* name, const wchar_t* fallback) const {
    auto it = m_values.find(Lower(name));
    return it == m_values.end() ? std::wstring(fallback) : it->second;
}

bool Attributes::IntIf(const wchar_t* name, int& out) const {
    auto it = m_values.find(Lower(name));
    if (it == m_values.end()) return false;
    const std::wstring& text = it->second;
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    if (i >= text.size() || !std::iswdigit(text[i])) return false;
    long long value = 0;
    while (i < text.size() && std::iswdigit(text[i])) {
        value = value * 10 + (text[i++] - L'0');
        if (value > 1000000) value = 1000000;  // a skin has no use for larger numbers
    }
    out = static_cast<int>(negative ? -value : value);
    return true;
}

int Attributes::Int(const wchar_t* name, int fallback) const {
    int value = fallback;
    return IntIf(name, value) ? value : fallback;
}

bool Attributes::Yes(const wchar_t* name) const { return Is(name, L"yes") || Is(name, L"true") || Is(name, L"1"); }

bool Attributes::Is(const wchar_t* name, const wchar_t* value) const {
    auto it = m_values.find(Lower(name));
    return it != m_values.end() && Lower(it->second) == Lower(value);
}

COLORREF Attributes::Color(const wchar_t* name, COLORREF fallback) const {
    auto it = m_values.find(Lower(name));
    if (it == m_values.end()) return fallback;
    COLORREF color = ParseColor(it->second.c_str());
    return color == CLR_INVALID ? fallback : color;
}

bool Attributes::Font(const wchar_t* name, LOGFONTW& font) const {
    auto it = m_values.find(Lower(name));
    return it != m_values.end() && ParseFont(font, it->second.c_str());
}

// ---- Control ------------------------------------------------------------------------------

Control::~Control() {
    if (m_skinFont) DeleteObject(m_skinFont);
}

Control* Control::From(HWND hwnd) { return hwnd ? static_cast<Control*>(GetPropW(hwnd, kProp)) : nullptr; }

void Control::Bind(HWND hwnd, WNDPROC base) {
    m_hwnd = hwnd;
    m_base = base;
    SetPropW(hwnd, kProp, this);
}

LRESULT Control::CallBase(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_base || (m_replaces && message != WM_NCDESTROY && message != WM_DESTROY))
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    return CallWindowProcW(m_base, m_hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Control::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Control* control = From(hwnd)) return control->Handle(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Control::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case PTM_USECUSTOMSKIN:
        return UseSkin(reinterpret_cast<const PT_SKIN_RESOURCE*>(lParam));
    case PTM_SETTOOLTIP:
        SetTooltip(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<const wchar_t*>(lParam));
        return TRUE;
    case PTM_GETIDEALSIZE: {
        SIZE* size = reinterpret_cast<SIZE*>(lParam);
        if (!size) return FALSE;
        return IdealSize(*size) ? TRUE : FALSE;
    }
    case PTM_SKINCHANGED:
        SkinChanged();
        return 0;
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) Invalidate();
        return Proc(message, wParam, lParam);
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(Font());
    case WM_GETOBJECT:
        if (static_cast<LONG>(lParam) == OBJID_CLIENT) {
            std::wstring name = m_tipText.empty() ? WindowText() : m_tipText;
            if (!name.empty()) {
                LRESULT result = AccessibleObject(m_hwnd, wParam, lParam, name, AccRole(), AccState(), AccValue());
                if (result > 0) return result;
            }
        }
        return Proc(message, wParam, lParam);
    case WM_DESTROY:
        if (m_tooltip) {
            DestroyWindow(m_tooltip);
            m_tooltip = nullptr;
        }
        return Proc(message, wParam, lParam);
    case WM_NCDESTROY: {
        LRESULT result = Proc(message, wParam, lParam);
        RemovePropW(m_hwnd, kProp);
        delete this;
        return result;
    }
    default:
        return Proc(message, wParam, lParam);
    }
}

BOOL Control::UseSkin(const PT_SKIN_RESOURCE* resource) {
    if (!resource || resource->cbSize < sizeof(PT_SKIN_RESOURCE)) return FALSE;
    if (resource->pElement) {
        m_attr = Attributes(resource->pElement);
        m_hasElement = true;
    }
    if (m_skinFont) {
        DeleteObject(m_skinFont);
        m_skinFont = nullptr;
    }
    LOGFONTW font{};
    if (m_attr.Font(L"LogFont", font)) m_skinFont = CreateFontIndirectW(&font);
    m_picture.reset();
    BOOL ok = TRUE;
    if (resource->hPicture && resource->hPicture != INVALID_HANDLE_VALUE) {
        m_picture = Picture::FromHandle(resource->hPicture, resource->hAlphaPicture,
                                        m_attr.Color(L"TransparentColor", CLR_INVALID));
        if (!m_picture) ok = FALSE;
    } else if (NeedsPicture()) {
        ok = FALSE;
    }
    OnSkinApplied();
    return ok;
}

void Control::ApplyElement(const Attributes& attributes) {
    if (m_hasElement) return;
    m_attr = attributes;
    m_hasElement = true;
    LOGFONTW font{};
    if (!m_skinFont && m_attr.Font(L"LogFont", font)) m_skinFont = CreateFontIndirectW(&font);
    OnSkinApplied();
}

bool Control::IdealSize(SIZE& size) const {
    if (!m_picture) return false;
    size.cx = m_picture->Width();
    size.cy = m_picture->Height();
    return true;
}

// The skin's tooltip colours, where it names them (the system may draw themed
// tooltips in its own colours regardless).
void Control::ColorTooltip() {
    if (!m_tooltip) return;
    COLORREF back = SkinColor(L"TooltipBackground", CLR_INVALID);
    COLORREF text = SkinColor(L"TooltipText", CLR_INVALID);
    if (back != CLR_INVALID) SendMessageW(m_tooltip, TTM_SETTIPBKCOLOR, back, 0);
    if (text != CLR_INVALID) SendMessageW(m_tooltip, TTM_SETTIPTEXTCOLOR, text, 0);
}

void Control::SkinChanged() {
    ColorTooltip();
    if (m_skinFont) {
        DeleteObject(m_skinFont);
        m_skinFont = nullptr;
    }
    LOGFONTW font{};
    if (m_attr.Font(L"LogFont", font)) m_skinFont = CreateFontIndirectW(&font);
    OnSkinApplied();
}

void Control::SaveState(State& state) const {
    state.hasText = true;
    state.text = WindowText();
}

void Control::LoadState(const State& state) {
    if (state.hasText) SetWindowTextW(m_hwnd, state.text.c_str());
}

void Control::PaintParentBackground(HDC dc) const {
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    HWND parent = GetParent(m_hwnd);
    if (!parent) {
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    POINT origin = {0, 0};
    MapWindowPoints(m_hwnd, parent, &origin, 1);
    if (!IsPatinctlWindow(parent)) {
        HBRUSH brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(parent, GCLP_HBRBACKGROUND));
        if (reinterpret_cast<ULONG_PTR>(brush) > 0 && reinterpret_cast<ULONG_PTR>(brush) <= COLOR_MENUBAR + 1)
            brush = GetSysColorBrush(static_cast<int>(reinterpret_cast<ULONG_PTR>(brush) - 1));
        FillRect(dc, &rc, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    POINT old;
    SetViewportOrgEx(dc, -origin.x, -origin.y, &old);
    SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

std::wstring Control::WindowText() const {
    int length = GetWindowTextLengthW(m_hwnd);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    int got = GetWindowTextW(m_hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

HFONT Control::Font() const { return m_skinFont ? m_skinFont : m_font ? m_font : DefaultFont(); }

LRESULT Control::Notify(UINT message, WPARAM wParam, LPARAM lParam) const {
    HWND parent = GetParent(m_hwnd);
    return parent ? SendMessageW(parent, message, wParam, lParam) : 0;
}

void Control::SetTooltip(const wchar_t* title, const wchar_t* text) {
    m_tipTitle = title ? title : L"";
    m_tipText = text ? text : L"";
    // The tooltip is also the accessible name; buttons without a text of their
    // own and sliders carry it as their window text as well.
    bool slider = m_kind == K_SLIDER || m_kind == K_SCALESLIDER || m_kind == K_SLIDERROUND;
    bool button = m_kind == K_BUTTON || m_kind == K_SCALEBUTTON;
    if (slider || (button && (m_textFromTip || GetWindowTextLengthW(m_hwnd) == 0))) {
        SetWindowTextW(m_hwnd, m_tipText.c_str());
        m_textFromTip = true;
    }
    UpdateTooltip();
}

void Control::UpdateTooltip() {
    if (m_tipText.empty() && !m_tooltip) return;
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(m_hwnd) ? GetParent(m_hwnd) : m_hwnd;
    info.uId = reinterpret_cast<UINT_PTR>(m_hwnd);
    info.lpszText = const_cast<wchar_t*>(m_tipText.c_str());
    if (!m_tooltip) {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        m_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                    ModuleInstance(), nullptr);
        if (!m_tooltip) return;
        SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 400);
        SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        ColorTooltip();
    } else {
        SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    }
    SendMessageW(m_tooltip, TTM_SETTITLEW, m_tipTitle.empty() ? TTI_NONE : TTI_INFO,
                 reinterpret_cast<LPARAM>(m_tipTitle.c_str()));
}

}  // namespace pt

bool pt::Control::PaintMessage(UINT message, WPARAM wParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hwnd, &ps);
        PaintBuffered(m_hwnd, dc, [this](HDC mem, const RECT& rc) { Paint(mem, rc); });
        EndPaint(m_hwnd, &ps);
        result = 0;
        return true;
    }
    case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(m_hwnd, &rc);
        Paint(reinterpret_cast<HDC>(wParam), rc);
        result = 0;
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    default:
        return false;
    }
}
