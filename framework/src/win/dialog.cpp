#include "fw/win/dialog.h"

#include "fw/win/app.h"

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_lpszTemplateName(MAKEINTRESOURCEW(templateId)), m_pParentWnd(parent) {}

CDialog::CDialog(const wchar_t* templateName, CWnd* parent) : m_lpszTemplateName(templateName), m_pParentWnd(parent) {
    if (IS_INTRESOURCE(templateName))
        m_nIDTemplate = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(templateName));
}

CDialog::~CDialog() = default;

const CMessageMap& CDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CDialog>(&CWnd::GetThisMessageMap())
        .OnMessage(WM_INITDIALOG, &CDialog::HandleInitDialog)
        .OnCommand(IDOK, &CDialog::OnOK)
        .OnCommand(IDCANCEL, &CDialog::OnCancel);  // the system's dialog procedure turns WM_CLOSE into IDCANCEL
    return map;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    // Every message reaches the object through StdWndProc first; this is only
    // the procedure the system's dialog code asks for.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() { return TRUE; }
void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::CreateFromTemplate(HWND owner) {
    if (m_hWnd || !m_lpszTemplateName) return false;
    // The resource module (a language's, say) first; a template it lacks comes
    // from the program itself.
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = FindResourceW(module, m_lpszTemplateName, MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!found && module != AfxGetInstanceHandle()) {
        module = AfxGetInstanceHandle();
        found = FindResourceW(module, m_lpszTemplateName, MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    }
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(loaded ? LockResource(loaded) : nullptr);
    if (!dialogTemplate) return false;
    HookWindowCreate(this);
    HWND hwnd = CreateDialogIndirectParamW(module, dialogTemplate, owner, &CDialog::DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    UnhookWindowCreate();
    return hwnd != nullptr;
}

bool CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    return Create(MAKEINTRESOURCEW(templateId), parent);
}

bool CDialog::Create(const wchar_t* templateName, CWnd* parent) {
    m_lpszTemplateName = templateName;
    m_pParentWnd = parent;
    m_bInModalLoop = false;
    return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd) return -1;  // already on screen
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this) owner = main->m_hWnd;
    }
    while (owner && (GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);

    bool ownerDisabled = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    m_bInModalLoop = true;
    m_bModalDone = false;
    m_nModalResult = -1;
    INT_PTR result = -1;
    if (CreateFromTemplate(owner)) result = RunModalLoop();
    m_bInModalLoop = false;

    // Hide first, then give the owner back its input and activation, then destroy.
    if (m_hWnd) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                               SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (ownerDisabled) ::EnableWindow(owner, TRUE);
    if (owner && m_hWnd && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(owner);
    if (m_hWnd) DestroyWindow();
    return result;
}

namespace {
bool RestartsIdle(const MSG& msg) {
    return msg.message != WM_PAINT && msg.message != 0x0118 /* the caret's timer */ && msg.message != WM_MOUSEMOVE &&
           msg.message != WM_NCMOUSEMOVE;
}
}  // namespace

INT_PTR CDialog::RunModalLoop() {
    HWND self = m_hWnd;
    if (!m_bModalDone && !(GetStyle() & WS_VISIBLE)) {
        ShowWindow(SW_SHOWNORMAL);
        UpdateWindow();
    }
    bool idle = true;
    LONG idleCount = 0;
    MSG msg = {};
    while (!m_bModalDone) {
        // Idle: update the controls once, then let the dialog ask for more.
        while (idle && !m_bModalDone && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (idleCount == 0) SendMessage(WM_IDLEUPDATECMDUI, FALSE, 0);
            if (!SendMessage(WM_KICKIDLE, MSGF_DIALOGBOX, idleCount++)) idle = false;
        }
        if (m_bModalDone) break;
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            // WM_QUIT: end the dialog and leave the quit for the outer loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            break;
        }
        CWinApp* app = AfxGetApp();
        bool taken = app ? app->PreTranslateMessage(&msg) != FALSE : fw::WalkPreTranslateTree(nullptr, &msg);
        if (!taken) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (m_hWnd != self || !IsWindow(self)) {  // destroyed without EndDialog
            if (!m_bModalDone) m_nModalResult = IDABORT;
            break;
        }
        if (RestartsIdle(msg)) {
            idle = true;
            idleCount = 0;
        }
    }
    return m_nModalResult;
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_bInModalLoop) {
        m_nModalResult = result;
        m_bModalDone = true;
        PostMessage(WM_NULL);  // wakes the loop when it waits for a message
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    bool keyboard = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
    bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
    if (!m_hWnd || (!keyboard && !mouse)) return FALSE;
    return IsDialogMessageW(m_hWnd, msg);
}

void CDialog::OnIdleUpdateCmdUI(bool) { UpdateDialogControls(this, false); }

void CDialog::SetDefID(UINT id) { SendMessage(DM_SETDEFID, id); }

UINT CDialog::GetDefID() const {
    LRESULT r = SendMessage(DM_GETDEFID);
    return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0;
}

void CDialog::GotoDlgCtrl(HWND control) { SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE); }
void CDialog::NextDlgCtrl() const { SendMessage(WM_NEXTDLGCTL, 0, FALSE); }
void CDialog::PrevDlgCtrl() const { SendMessage(WM_NEXTDLGCTL, 1, FALSE); }

RECT CDialog::MapDialogRect(const RECT& dialogUnits) const {
    RECT r = dialogUnits;
    ::MapDialogRect(m_hWnd, &r);
    return r;
}
