#include "module_buttons.h"

#include "patinex/patinex.h"
#include "utilon/utilon.h"

namespace {
std::wstring& DropText() {
    static std::wstring text;
    return text;
}
}  // namespace

void SetModuleButtonDropText(const std::wstring& text) { DropText() = text; }

// ---- CModuleButtonDropTarget ----------------------------------------------------

HRESULT STDMETHODCALLTYPE CModuleButtonDropTarget::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CModuleButtonDropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG STDMETHODCALLTYPE CModuleButtonDropTarget::Release() {
    LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT STDMETHODCALLTYPE CModuleButtonDropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) {
    m_button.OnDragEnter();
    if (effect) *effect = DROPEFFECT_MOVE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CModuleButtonDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_MOVE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CModuleButtonDropTarget::DragLeave() { return S_OK; }

HRESULT STDMETHODCALLTYPE CModuleButtonDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_NONE;
    m_button.OnDrop();
    return S_OK;
}

// ---- CModuleButton ----------------------------------------------------------------

CModuleButton::CModuleButton() : m_target(new CModuleButtonDropTarget(*this)) {}

CModuleButton::~CModuleButton() {
    if (m_hWnd) DestroyWindow();
    if (m_target) m_target->Release();
}

bool CModuleButton::CreateButton(CWnd* frame, const std::wstring& caption, UINT id) {
    mdframe::PatinctlClassesRegistered();
    RECT r = {0, 0, 50, 50};
    if (!CWnd::Create(PT_WC_BUTTON, caption.c_str(), kStyle, r, frame, id)) return false;
    m_registered = SUCCEEDED(RegisterDragDrop(m_hWnd, m_target));
    return true;
}

LRESULT CModuleButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && m_registered) {
        RevokeDragDrop(m_hWnd);
        m_registered = false;
    }
    return CPtButton::WindowProc(message, wParam, lParam);
}

void CModuleButton::OnDragEnter() {
    int id = GetDlgCtrlID();
    HWND parent = GetParent();
    // The module comes forward at once, so that the files can be dropped into its window.
    if (parent && id >= static_cast<int>(kModuleButtonFirst) && IsWindowEnabled())
        ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

void CModuleButton::OnDrop() {
    const std::wstring& text = DropText();
    AfxPtMessageBox(text.empty() ? L"You cannot drop an item onto a module button." : text.c_str(),
                    MB_OK | MB_ICONINFORMATION, 0);
}

// ---- CModulesFrame ------------------------------------------------------------------

LRESULT CModulesFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCACTIVATE) {
        if (HWND top = ::GetWindow(m_hWnd, GW_CHILD)) ::SendMessageW(top, WM_NCACTIVATE, wParam, lParam);
    }
    const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    if (message == WM_NCPAINT) PaintEdge();
    return result;
}

// The sunken edge around the modules, drawn by the system in its own 3D
// colours (white on a dark skin), is drawn again in the skin's: a line a
// little lighter than the frame's background, and the background inside it.
void CModulesFrame::PaintEdge() const {
    if (!(::GetWindowLongW(m_hWnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) return;
    const COLORREF back = ::GetSkinColor(L"FrameBackground", CLR_INVALID);
    const COLORREF text = ::GetSkinColor(L"FrameText", CLR_INVALID);
    if (back == CLR_INVALID || text == CLR_INVALID) return;
    auto mix = [](BYTE a, BYTE b) { return static_cast<BYTE>((a * 3 + b) / 4); };
    const COLORREF line = RGB(mix(GetRValue(back), GetRValue(text)), mix(GetGValue(back), GetGValue(text)),
                              mix(GetBValue(back), GetBValue(text)));
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    RECT edge = {0, 0, window.right - window.left, window.bottom - window.top};
    HDC dc = ::GetWindowDC(m_hWnd);
    if (!dc) return;
    HBRUSH brushes[2] = {::CreateSolidBrush(line), ::CreateSolidBrush(back)};
    const int ring = ::GetSystemMetrics(SM_CXEDGE);
    for (int i = 0; i < ring; ++i) {
        ::FrameRect(dc, &edge, brushes[i == 0 ? 0 : 1]);
        ::InflateRect(&edge, -1, -1);
    }
    for (HBRUSH brush : brushes) ::DeleteObject(brush);
    ::ReleaseDC(m_hWnd, dc);
}
