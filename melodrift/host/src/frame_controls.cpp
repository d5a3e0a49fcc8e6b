#include "frame_controls.h"

#include "fw/strutil.h"
#include "xml/enxml.h"

#include <commctrl.h>

#include <algorithm>

namespace {

using namespace mdframe;

// Calls of Patinctl.dll that came later than the first version of the
// library: looked up at run time, so the frame also runs beside an older one.
struct PtCalls {
    BOOL(__cdecl* registerClasses)() = nullptr;
    void*(__cdecl* saveState)(HWND) = nullptr;
    BOOL(__cdecl* loadState)(HWND, const void*) = nullptr;
    void(__cdecl* freeMemory)(void*) = nullptr;
    BOOL(__cdecl* ownerDraw)(HMENU, HWND) = nullptr;
    BOOL(__cdecl* clearOwnerDraw)(HMENU) = nullptr;
};

const PtCalls& Pt() {
    static const PtCalls calls = [] {
        PtCalls c;
        // The library is linked (SetSWQueryInterface), so it is loaded.
        HMODULE dll = GetModuleHandleW(L"Patinctl.dll");
        if (!dll) return c;
        c.registerClasses = reinterpret_cast<decltype(c.registerClasses)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "PtRegisterClasses")));
        c.saveState = reinterpret_cast<decltype(c.saveState)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "PtSaveControlState")));
        c.loadState = reinterpret_cast<decltype(c.loadState)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "PtLoadControlState")));
        c.freeMemory = reinterpret_cast<decltype(c.freeMemory)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "PtFreeMemory")));
        c.ownerDraw = reinterpret_cast<decltype(c.ownerDraw)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "PtChangeToOwnerDraw")));
        c.clearOwnerDraw = reinterpret_cast<decltype(c.clearOwnerDraw)>(
            reinterpret_cast<void*>(GetProcAddress(dll, "PtClearOwnerDraw")));
        return c;
    }();
    return calls;
}

bool RegisterPtClasses() {
    if (Pt().registerClasses) Pt().registerClasses();
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(GetModuleHandleW(L"Patinctl.dll"), PT_WC_BUTTON, &wc) ||
           GetClassInfoExW(nullptr, PT_WC_BUTTON, &wc);
}

// A control window of a Patinctl class for the wrapper object `wnd`.
template <class T>
CWnd* MakeControl(const wchar_t* className, const wchar_t* text, DWORD style, CWnd* parent, UINT id) {
    auto* control = new T;
    RECT r = {0, 0, 16, 16};
    if (!control->CWnd::Create(className, text, style, r, parent, id)) {
        delete control;
        return nullptr;
    }
    return control;
}

bool AttributeIs(const enXml& element, const wchar_t* name, const wchar_t* value) {
    std::wstring text;
    return element.GetAttribute(name, text) && fw::EqualsNoCase(text, value);
}

}  // namespace

namespace mdframe {
bool PatinctlClassesRegistered() { return RegisterPtClasses(); }
void PtOwnerDraw(HMENU menu, HWND owner, bool on) {
    if (on && Pt().ownerDraw) Pt().ownerDraw(menu, owner);
    if (!on && Pt().clearOwnerDraw) Pt().clearOwnerDraw(menu);
}
}  // namespace mdframe

CFrameControls::CFrameControls() : m_rows(static_cast<std::size_t>(ControlTableSize())),
                                   m_tooltips(static_cast<std::size_t>(ControlTableSize())) {}

CFrameControls::~CFrameControls() {
    DestroyControls();
    DestroyPanels();
    for (Row& row : m_rows)
        if (row.savedState && Pt().freeMemory) Pt().freeMemory(row.savedState);
}

void CFrameControls::LoadTooltips(const StringLoader& load) {
    for (int i = 0; i < ControlTableSize(); ++i)
        m_tooltips[static_cast<std::size_t>(i)] = ControlTable()[i].tooltip ? load(ControlTable()[i].tooltip) : L"";
}

bool CFrameControls::CreatePanels(CWnd* frame) {
    RegisterPtClasses();
    m_panels.clear();
    bool all = true;
    for (int i = 0; i < kPanelCount; ++i) {
        std::unique_ptr<CAutoPanel> panel = i == kPanelUp ? std::make_unique<CAutoPanelCaption>()
                                                          : std::make_unique<CAutoPanel>();
        const wchar_t* cls = i == kPanelUp ? PT_WC_AUTOPANELCAPTION : PT_WC_AUTOPANEL;
        UINT id = i == kPanelUp ? 366u : i == kPanelDown ? static_cast<UINT>(-1) : 0u;
        RECT r = {0, 0, 0, 0};
        if (!panel->CWnd::Create(cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, r, frame, id))
            all = false;
        m_panels.push_back(std::move(panel));
    }
    return all;
}

void CFrameControls::DestroyPanels() {
    for (auto& panel : m_panels)
        if (panel && panel->m_hWnd) panel->DestroyWindow();
    m_panels.clear();
}

mdframe::PanelSizes CFrameControls::PanelSizes() const {
    mdframe::PanelSizes sizes;
    for (int i = 0; i < kPanelCount && i < static_cast<int>(m_panels.size()); ++i)
        if (m_panels[static_cast<std::size_t>(i)]->m_hWnd) sizes.size[i] = m_panels[static_cast<std::size_t>(i)]->GetInitialSize();
    return sizes;
}

_MAINFRAME_CONTROL_* CFrameControls::Controls(UINT command) const {
    int row = RowOfCommand(command);
    return row >= 0 ? m_rows[static_cast<std::size_t>(row)].controls : nullptr;
}

bool CFrameControls::IsPlaced(HWND control) const {
    return std::find(m_placed.begin(), m_placed.end(), control) != m_placed.end();
}

HANDLE CFrameControls::OpenPicture(const std::wstring& skinsFolder, const std::wstring& relative) {
    if (relative.empty()) return INVALID_HANDLE_VALUE;
    std::wstring path = skinsFolder + relative;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) m_pictures.push_back(file);
    return file;
}

void CFrameControls::ClosePictures() {
    for (HANDLE h : m_pictures) CloseHandle(h);
    m_pictures.clear();
}

void CFrameControls::SaveAndDestroyRow(Row& row, int index) {
    (void)index;
    // The state of the row's first control (the oldest: the end of the list).
    _MAINFRAME_CONTROL_* first = row.controls;
    while (first && first->next) first = first->next;
    if (first && first->control && first->control->m_hWnd) {
        HWND h = first->control->m_hWnd;
        if (row.savedState && Pt().freeMemory) Pt().freeMemory(row.savedState);
        row.savedState = Pt().saveState ? Pt().saveState(h) : nullptr;
        row.hasSaved = true;
        row.savedPos = static_cast<int>(SendMessageW(h, TBM_GETPOS, 0, 0));
        row.savedMin = static_cast<int>(SendMessageW(h, TBM_GETRANGEMIN, 0, 0));
        row.savedMax = static_cast<int>(SendMessageW(h, TBM_GETRANGEMAX, 0, 0));
        row.savedCheck = static_cast<int>(SendMessageW(h, BM_GETCHECK, 0, 0));
    }
    while (row.controls) {
        _MAINFRAME_CONTROL_* c = row.controls;
        row.controls = c->next;
        if (c->control) {
            if (c->control->m_hWnd) c->control->DestroyWindow();
            delete c->control;
        }
        delete c;
    }
}

void CFrameControls::DestroyControls() {
    for (auto& panel : m_panels)
        if (panel && panel->m_hWnd) panel->DetachAllControls();
    ClosePictures();
    if (m_equalizerGroup) RemoveGroup(m_equalizerGroup);
    m_equalizerGroup = 0;
    for (int i = 0; i < ControlTableSize(); ++i) SaveAndDestroyRow(m_rows[static_cast<std::size_t>(i)], i);
    m_placed.clear();
}

CWnd* CFrameControls::CreateControl(CWnd* frame, int rowIndex, const enXml& element, UINT id,
                                    const std::wstring& skinsFolder) {
    const ControlRow& row = ControlTable()[rowIndex];
    const std::wstring& tip = m_tooltips[static_cast<std::size_t>(rowIndex)];
    // Buttons and sliders carry their tooltip as window text: their accessible name.
    const wchar_t* name = tip.c_str();
    CWnd* control = nullptr;
    bool needsPicture = true;
    switch (row.kind) {
    case ControlKind::PushButton:
        control = MakeControl<CPtButton>(PT_WC_BUTTON, name, WS_CHILD | BS_PUSHBUTTON, frame, id);
        break;
    case ControlKind::CheckButton:
        control = MakeControl<CPtButton>(PT_WC_BUTTON, name, WS_CHILD | BS_AUTOCHECKBOX | BS_PUSHLIKE, frame, id);
        break;
    case ControlKind::Slider:
    case ControlKind::VerticalSlider: {
        std::wstring type;
        bool vertical = row.kind == ControlKind::VerticalSlider;
        if (row.kind == ControlKind::Slider) {
            if (!element.GetAttribute(L"Type", type)) return nullptr;  // a slider needs its type
            if (fw::EqualsNoCase(type, L"Round")) {
                control = MakeControl<CPtSliderRound>(PT_WC_SLIDERROUND, name, WS_CHILD, frame, id);
                break;
            }
            if (fw::EqualsNoCase(type, L"Vertical")) vertical = true;
            else if (!fw::EqualsNoCase(type, L"Horizontal")) return nullptr;
        }
        bool stretch = AttributeIs(element, vertical ? L"VertStretch" : L"HorzStretch", L"Yes");
        DWORD style = WS_CHILD | (vertical ? TBS_VERT : TBS_HORZ);
        control = stretch ? MakeControl<CPtSlider>(PT_WC_SLIDER, name, style, frame, id)
                          : MakeControl<CPtScaleSlider>(PT_WC_SCALESLIDER, name, style, frame, id);
        break;
    }
    case ControlKind::StatusText:
        control = MakeControl<CPtStatic>(PT_WC_STATIC, L"", WS_CHILD | SS_LEFT, frame, id);
        needsPicture = false;
        break;
    case ControlKind::SurroundView:
        return nullptr;
    }
    if (!control) return nullptr;

    // The list first: a control whose picture is missing stays created, unplaced.
    auto* entry = new _MAINFRAME_CONTROL_{id, control, m_rows[static_cast<std::size_t>(rowIndex)].controls};
    m_rows[static_cast<std::size_t>(rowIndex)].controls = entry;

    std::wstring source, alpha, owner;
    element.GetAttribute(L"Source", source);
    element.GetAttribute(L"Owner", owner);
    PT_SKIN_RESOURCE resource = {};
    resource.cbSize = sizeof resource;
    resource.pElement = &element;
    std::wstring sourcePath = source.empty() ? std::wstring() : skinsFolder + source;
    resource.pszSource = sourcePath.empty() ? nullptr : sourcePath.c_str();
    if (!source.empty()) {
        HANDLE picture = OpenPicture(skinsFolder, source);
        if (picture == INVALID_HANDLE_VALUE) return control;
        resource.hPicture = picture;
    } else if (needsPicture) {
        return control;
    }
    bool button = row.kind == ControlKind::PushButton || row.kind == ControlKind::CheckButton;
    if (button && element.GetAttribute(L"SourceAlpha", alpha)) {
        HANDLE mask = OpenPicture(skinsFolder, alpha);
        if (mask != INVALID_HANDLE_VALUE) resource.hAlphaPicture = mask;
    }
    auto* skinned = dynamic_cast<CSkinBase*>(control);
    if (skinned) skinned->UseCustomSkin(&resource);

    int panel = FindPanel(owner);
    if (panel >= 0 && panel < static_cast<int>(m_panels.size()) &&
        m_panels[static_cast<std::size_t>(panel)]->AutoDisposeControl(control->m_hWnd, &element))
        m_placed.push_back(control->m_hWnd);
    if (skinned && !tip.empty()) skinned->SetTooltip(L"", tip.c_str());
    return control;
}

bool CFrameControls::LayOut(CWnd* frame, const enXml* mainframe, const std::wstring& skinsFolder) {
    if (!mainframe) return false;
    RegisterPtClasses();
    DestroyControls();

    if (const enXml* panels = mainframe->FindChild(L"Panels")) {
        for (int i = 0; i < kPanelCount && i < static_cast<int>(m_panels.size()); ++i) {
            CAutoPanel* panel = m_panels[static_cast<std::size_t>(i)].get();
            if (!panel->m_hWnd) continue;
            panel->SetSkinElement(panels->FindChild(PanelElementName(i)));
            ::RedrawWindow(panel->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
    }

    if (const enXml* controls = mainframe->FindChild(L"Controls")) {
        for (const enXml* child = controls->FirstChild(); child; child = child->NextSibling()) {
            int row = FindControlRow(child->Name());
            if (row < 0) continue;
            int instance = 1;
            for (_MAINFRAME_CONTROL_* c = m_rows[static_cast<std::size_t>(row)].controls; c; c = c->next) ++instance;
            if (instance > kMaxInstances) continue;  // ids beyond would run into the next row's
            CreateControl(frame, row, *child, ControlTable()[row].command + static_cast<UINT>(instance), skinsFolder);
        }
    }

    // The saved states back.
    for (int i = 0; i < ControlTableSize(); ++i) {
        Row& row = m_rows[static_cast<std::size_t>(i)];
        if (!row.hasSaved) continue;
        for (_MAINFRAME_CONTROL_* c = row.controls; c; c = c->next) {
            HWND h = c->control->m_hWnd;
            if (row.savedState && Pt().loadState) Pt().loadState(h, row.savedState);
            ControlKind kind = ControlTable()[i].kind;
            if (kind == ControlKind::CheckButton) SendMessageW(h, BM_SETCHECK, static_cast<WPARAM>(row.savedCheck), 0);
        }
    }

    // Equalizer group, ranges and styles.
    m_equalizerGroup = GetUniqueGroupID();
    for (UINT command = kCmdEqualizerFirst; command <= kCmdEqualizerFirst + 90; command += 10)
        ForEach(command, [&](HWND h) {
            SendMessageW(h, TBM_SETRANGEMIN, FALSE, 0);
            SendMessageW(h, TBM_SETRANGEMAX, TRUE, 200);
            SetWindowLongW(h, GWL_STYLE, GetWindowLongW(h, GWL_STYLE) | 0x1000);
            AddToGroup(m_equalizerGroup, h);
        });
    ForEach(kCmdBalance, [](HWND h) { SetWindowLongW(h, GWL_STYLE, GetWindowLongW(h, GWL_STYLE) | 0x1000); });
    ForEach(kCmdSurroundLevel, [](HWND h) {
        SendMessageW(h, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(h, TBM_SETRANGEMAX, TRUE, 200);
        SetWindowLongW(h, GWL_STYLE, GetWindowLongW(h, GWL_STYLE) | 0x1000);
    });
    ForEach(kCmdPosition, [](HWND h) {
        SetWindowLongW(h, GWL_STYLE, GetWindowLongW(h, GWL_STYLE) | 0x0202);
        SendMessageW(h, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(h, TBM_SETRANGEMAX, TRUE, 1000);
    });
    // Slider positions last, once the ranges are final.
    for (int i = 0; i < ControlTableSize(); ++i) {
        Row& row = m_rows[static_cast<std::size_t>(i)];
        ControlKind kind = ControlTable()[i].kind;
        if (!row.hasSaved || (kind != ControlKind::Slider && kind != ControlKind::VerticalSlider)) continue;
        for (_MAINFRAME_CONTROL_* c = row.controls; c; c = c->next)
            SendMessageW(c->control->m_hWnd, TBM_SETPOS, TRUE, row.savedPos);
    }
    return true;
}
