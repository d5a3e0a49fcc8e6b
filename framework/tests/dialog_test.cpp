// Dialogs from the test's own resource script, run modally and modeless under
// Wine's virtual display, and the proof that the pieces meet: a real modal
// dialog driven from another thread, checked and photographed.
#include "fw/testing/find_window.h"
#include "fw/strutil.h"
#include "fw/testing/screenshot.h"
#include "fw/win/app.h"
#include "fw/win/dialog.h"
#include "fw_test_res.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Ends itself from a timer with the code it was given.
class CSimpleDlg : public CDialog {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    CSimpleDlg() : CDialog(IDD_SIMPLE) {}

    INT_PTR endWith = 0;
    int inits = 0;
    std::wstring greeting;
    HWND owner = nullptr;
    bool ownerWasDisabled = false;
    bool destroyInsteadOfEnding = false;

    BOOL OnInitDialog() override {
        ++inits;
        greeting = GetDlgItemText(IDC_GREETING);
        SetDlgItemText(IDC_GREETING, fw::Format(L"Run %d", inits));
        if (endWith != 0 || destroyInsteadOfEnding) SetTimer(1, 10);
        return TRUE;
    }
    void OnTimer() {
        KillTimer(1);
        ownerWasDisabled = owner && !::IsWindowEnabled(owner);
        if (destroyInsteadOfEnding) DestroyWindow();
        else EndDialog(endWith);
    }
    void OnUpdateOK(CCmdUI* ui) { ui->Enable(false); }
};

const CMessageMap& CSimpleDlg::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CSimpleDlg>(&CDialog::GetThisMessageMap())
        .OnMessage(WM_TIMER, &CSimpleDlg::OnTimer)
        .OnUpdate(IDOK, &CSimpleDlg::OnUpdateOK);
    return map;
}

HWND WaitForWindow(const wchar_t* title) {
    return fw::testing::WaitForProcessWindow(0, L"#32770", title, 10000);
}

}  // namespace

TEST(FwDialog, ModalReturnsTheEndDialogCodeAndRunsAgain) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    CWnd ownerWnd;
    ASSERT_TRUE(ownerWnd.Attach(owner));
    CSimpleDlg dlg;  // made long before its window exists
    dlg.m_pParentWnd = &ownerWnd;
    dlg.owner = owner;
    dlg.endWith = 42;
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.greeting, L"Hello");
    EXPECT_TRUE(dlg.ownerWasDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(dlg.m_hWnd, nullptr);

    dlg.endWith = 43;
    EXPECT_EQ(dlg.DoModal(), 43);
    EXPECT_EQ(dlg.inits, 2);
    EXPECT_EQ(dlg.greeting, L"Hello");  // a fresh window from the template
    ownerWnd.Detach();
    DestroyWindow(owner);
}

TEST(FwDialog, MissingTemplateAndDestroyedDialog) {
    CDialog missing(IDD_MISSING);
    EXPECT_EQ(missing.DoModal(), -1);
    CSimpleDlg dlg;
    dlg.destroyInsteadOfEnding = true;
    EXPECT_EQ(dlg.DoModal(), IDABORT);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(FwDialog, TemplateMissingFromTheResourceModuleComesFromTheProgram) {
    // A resource module (a language's) without the template: the program's own is used.
    AfxSetResourceHandle(GetModuleHandleW(L"kernel32.dll"));
    CSimpleDlg dlg;
    dlg.endWith = 7;
    INT_PTR result = dlg.DoModal();
    CDialog missing(IDD_MISSING);
    INT_PTR missingResult = missing.DoModal();
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(dlg.greeting, L"Hello");
    EXPECT_EQ(missingResult, -1);
}

TEST(FwDialog, CloseBoxAndEscapeCancel) {
    for (int way = 0; way < 2; ++way) {
        CSimpleDlg dlg;
        std::thread driver([&] {
            HWND hwnd = WaitForWindow(L"Simple");
            if (!hwnd) return;
            if (way == 0) {
                PostMessageW(hwnd, WM_CLOSE, 0, 0);
            } else {
                // Escape typed into the focused button: the dialog manager turns it into IDCANCEL.
                HWND ok = GetDlgItem(hwnd, IDOK);
                PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            }
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << way;
        driver.join();
    }
}

TEST(FwDialog, ModelessDialogAndIdleUpdate) {
    CSimpleDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_SIMPLE));
    EXPECT_FALSE(dlg.IsWindowVisible());  // the template has no WS_VISIBLE
    EXPECT_EQ(dlg.GetDlgItemText(IDC_GREETING), L"Run 1");
    EXPECT_NE(dlg.GetDialogFont(), nullptr);
    HWND ok = dlg.GetDlgItem(IDOK);
    EXPECT_TRUE(IsWindowEnabled(ok));
    dlg.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_FALSE(IsWindowEnabled(ok));  // its update handler disabled it
    EXPECT_EQ(dlg.GetDefID(), static_cast<UINT>(IDOK));
    dlg.EndDialog(IDOK);  // modeless: only hides
    EXPECT_NE(dlg.m_hWnd, nullptr);
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

// ---------------------------------------------------------------------------
// The proof: a modal dialog from the template, driven by messages from a
// second thread, its texts checked, photographed and closed with its OK button.

namespace {

constexpr UINT WM_APP_SCREENSHOT = WM_APP + 10;

class CProofDlg : public CDialog {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
    CProofDlg() : CDialog(IDD_PROOF) {}

    std::wstring name;
    bool remember = false;
    int nameChanges = 0;
    bool screenshotSaved = false;
    fw::testing::Image image;

    BOOL OnInitDialog() override {
        CheckDlgButton(IDC_REMEMBER, BST_UNCHECKED);
        return TRUE;
    }
    void OnApply() {
        std::wstring text = L"Hello, " + GetDlgItemText(IDC_NAME);
        if (IsDlgButtonChecked(IDC_REMEMBER) == BST_CHECKED) text += L" (remembered)";
        SetDlgItemText(IDC_STATUS, text);
    }
    void OnNameChange() { ++nameChanges; }
    void OnOK() override {
        name = GetDlgItemText(IDC_NAME);
        remember = IsDlgButtonChecked(IDC_REMEMBER) == BST_CHECKED;
        CDialog::OnOK();
    }
    LRESULT OnScreenshot(WPARAM, LPARAM) {
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        GdiFlush();
        Sleep(200);  // let the display server catch up
        screenshotSaved = fw::testing::CaptureWindow(m_hWnd, image) &&
                          fw::testing::SaveImage(image, fw::testing::ScreenshotPath(L"framework-dialog.png"));
        return screenshotSaved ? 1 : 0;
    }
};

const CMessageMap& CProofDlg::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CProofDlg>(&CDialog::GetThisMessageMap())
        .OnCommand(IDC_APPLY, &CProofDlg::OnApply)
        .OnControl(IDC_NAME, EN_CHANGE, &CProofDlg::OnNameChange)
        .OnMessage(WM_APP_SCREENSHOT, &CProofDlg::OnScreenshot);
    return map;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buf[256] = {};
    ::SendMessageW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buf));
    return buf;
}

}  // namespace

TEST(FwDialogProof, RealDialogDrivenFromAnotherThread) {
    CProofDlg dlg;
    std::wstring initialStatus, statusAfterApply, okText;
    LRESULT shot = 0;
    bool found = false;
    std::thread driver([&] {
        HWND hwnd = WaitForWindow(L"Framework dialog proof");
        if (!hwnd) {
            return;
        }
        found = true;
        HWND edit = GetDlgItem(hwnd, IDC_NAME);
        HWND check = GetDlgItem(hwnd, IDC_REMEMBER);
        HWND status = GetDlgItem(hwnd, IDC_STATUS);
        initialStatus = TextOf(status);
        okText = TextOf(GetDlgItem(hwnd, IDOK));
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Ada Lovelace"));
        ::SendMessageW(check, BM_CLICK, 0, 0);
        ::SendMessageW(GetDlgItem(hwnd, IDC_APPLY), BM_CLICK, 0, 0);
        statusAfterApply = TextOf(status);
        shot = ::SendMessageW(hwnd, WM_APP_SCREENSHOT, 0, 0);
        ::SendMessageW(GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
    });
    INT_PTR result = dlg.DoModal();
    driver.join();
    ASSERT_TRUE(found) << "the dialog never appeared";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(initialStatus, L"Waiting for input");
    EXPECT_EQ(okText, L"OK");
    EXPECT_EQ(statusAfterApply, L"Hello, Ada Lovelace (remembered)");
    EXPECT_EQ(dlg.name, L"Ada Lovelace");
    EXPECT_TRUE(dlg.remember);
    EXPECT_GE(dlg.nameChanges, 1);
    EXPECT_EQ(shot, 1);
    ASSERT_TRUE(dlg.screenshotSaved);

    // The picture shows a window, not an empty screen: many distinct colours.
    const fw::testing::Image& img = dlg.image;
    EXPECT_GT(img.width, 200);
    EXPECT_GT(img.height, 100);
    std::vector<std::uint32_t> colours;
    for (std::uint32_t p : img.pixels) {
        p &= 0xFFFFFF;
        if (std::find(colours.begin(), colours.end(), p) == colours.end()) colours.push_back(p);
        if (colours.size() > 3) break;
    }
    EXPECT_GT(colours.size(), 3u);
}
