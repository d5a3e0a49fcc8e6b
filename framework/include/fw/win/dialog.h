// CDialog: a dialog box from a dialog template resource, modal or modeless.
//
// The object may live long before and after its window: DoModal creates the
// window from the template, runs the dialog until EndDialog, destroys the
// window and returns the code given to EndDialog; it can be called again on
// the same object. Templates are loaded from AfxGetResourceHandle().
//
// The dialog's window is bound to the object from its first message, so its
// message map sees WM_INITDIALOG (which calls OnInitDialog) and everything
// after it; what the map does not take goes to the system's dialog procedure.
#pragma once

#include "fw/win/wnd.h"

class CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    explicit CDialog(const wchar_t* templateName, CWnd* parent = nullptr);
    ~CDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Runs the dialog modally. The owner (the parent given at construction, or
    // else the application's main window) is disabled meanwhile. Returns the
    // code passed to EndDialog, or -1 when the window could not be created
    // (missing template) and IDABORT when it was destroyed without EndDialog.
    virtual INT_PTR DoModal();

    // Creates the dialog modeless (visible when its template says so).
    bool Create(UINT templateId, CWnd* parent = nullptr);
    bool Create(const wchar_t* templateName, CWnd* parent = nullptr);

    // Ends a modal dialog with the given code (DoModal returns it once the
    // current message has been handled); hides a modeless one.
    void EndDialog(INT_PTR result);

    // WM_INITDIALOG: return TRUE to let the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();      // IDOK: EndDialog(IDOK)
    virtual void OnCancel();  // IDCANCEL (also Escape and the close box): EndDialog(IDCANCEL)

    // Keyboard navigation of the dialog (IsDialogMessage) for keyboard and
    // mouse messages.
    BOOL PreTranslateMessage(MSG* msg) override;
    // Idle command update of the dialog's controls through its own map.
    void OnIdleUpdateCmdUI(bool disableIfNoHandler) override;

    // Default push button, and focus moves as the dialog manager does them.
    void SetDefID(UINT id);
    UINT GetDefID() const;
    void GotoDlgCtrl(HWND control);
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    // Dialog units to pixels in this dialog's font.
    RECT MapDialogRect(const RECT& dialogUnits) const;
    // The font the template asked for (after creation), used by the controls.
    HFONT GetDialogFont() const { return GetFont(); }

    bool IsModal() const { return m_bInModalLoop; }

    UINT m_nIDTemplate = 0;
    const wchar_t* m_lpszTemplateName = nullptr;  // a name, or MAKEINTRESOURCE(m_nIDTemplate)
    CWnd* m_pParentWnd = nullptr;

protected:
    LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    // Creates the window from the template, bound to this object.
    bool CreateFromTemplate(HWND owner);
    // Runs the modal loop until EndDialog; returns the result.
    INT_PTR RunModalLoop();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool m_bInModalLoop = false;
    bool m_bModalDone = false;
    INT_PTR m_nModalResult = -1;
};
