// CHyperLink under the virtual display: a link that cannot be opened by any
// means reports why; the registered program of the fallback extension gets
// the URL in place of "%1"; hovering underlines; the text is the window text.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "fw/win/registry.h"
#include "klarwin/ui/hyperlink.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <fstream>
#include <sstream>

namespace {

std::vector<COLORREF> Snapshot(HWND control) {
    SIZE size = uidriver::GetClientSize(control);
    std::vector<COLORREF> pixels;
    uidriver::GetPixels(control, RECT{0, 0, size.cx, size.cy}, pixels);
    return pixels;
}

// A file class registered for the test: ".kwtestlink" runs the test peer,
// which writes what it was given into `record`.
class CTestAssociation {
public:
    explicit CTestAssociation(const std::filesystem::path& record) {
        std::filesystem::path peer = uidriver::TestProgramFolder() / L"klarwin_ui_test_peer.exe";
        CRegKey ext, command;
        m_ok = ext.Create(HKEY_CLASSES_ROOT, L".kwtestlink") == ERROR_SUCCESS &&
               ext.SetStringValue(nullptr, L"KwTestLink.File") == ERROR_SUCCESS &&
               command.Create(HKEY_CLASSES_ROOT, L"KwTestLink.File\\shell\\open\\command") == ERROR_SUCCESS &&
               command.SetStringValue(nullptr, L"\"" + peer.wstring() + L"\" --record \"" + record.wstring() +
                                                   L"\" \"%1\"") == ERROR_SUCCESS;
    }
    ~CTestAssociation() {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".kwtestlink");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L".kwtestlink");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"KwTestLink.File");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L"KwTestLink.File");
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

}  // namespace

TEST(KwCtlLink, ALinkThatCannotBeOpenedSaysWhy) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CHyperLink link;
    std::wstring url;
    DWORD style = 0;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        link.SubclassDlgItem(IDC_T_LINK, &d);
        url = link.GetURL();
        style = link.GetStyle();
        link.SetURL(L"C:\\kwtest-missing-folder\\nothing-here.kwz");
        link.SetFallbackExtension(L".kwtest-no-such-extension");
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND control = uidriver::FindControl(hwnd, IDC_T_LINK);
        EXPECT_EQ(uidriver::GetText(control), L"Link text");
        uidriver::PostMouseClick(control, {3, 3});
        uidriver::MessageBoxInfo box;
        ASSERT_TRUE(uidriver::WaitForMessageBox(box));
        EXPECT_EQ(box.text, L"Unable to open hyperlink:\n\nThe specified file was not found.");
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        uidriver::AnswerMessageBox(box.hwnd, IDOK);
        ASSERT_TRUE(uidriver::WaitForWindowGone(box.hwnd));
        bool visited = true;
        RunOnUi(hwnd, [&] { visited = link.IsVisited(); });
        EXPECT_FALSE(visited);
    });
    EXPECT_EQ(url, L"Link text");  // the URL defaults to the window text
    EXPECT_TRUE(style & SS_NOTIFY);
}

TEST(KwCtlLink, TheRegisteredProgramGetsTheUrlInPlaceOfPercentOne) {
    std::filesystem::path record = uidriver::TestProgramFolder() / L"kwtest_link_record.txt";
    std::filesystem::remove(record);
    CTestAssociation association(record);
    ASSERT_TRUE(association.ok());
    const std::wstring url = L"kwtest-unknown-scheme://klarwin/page?a=1";

    CHostDialog dlg(IDD_CONTROLS_TEST);
    CHyperLink link;
    dlg.onInit = [&](CHostDialog& d) {
        link.SubclassDlgItem(IDC_T_LINK, &d);
        link.SetURL(url);
        link.SetFallbackExtension(L".kwtestlink");
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        uidriver::PostMouseClick(uidriver::FindControl(hwnd, IDC_T_LINK), {3, 3});
        ASSERT_TRUE(uidriver::WaitUntil([&] { return std::filesystem::exists(record); }, 15000));
        bool visited = false;
        RunOnUi(hwnd, [&] { visited = link.IsVisited(); });
        EXPECT_TRUE(visited);
        uidriver::MessageBoxInfo box;
        EXPECT_FALSE(uidriver::WaitForMessageBox(box, 0, L"", 300));
    });
    std::string text;
    ASSERT_TRUE(uidriver::WaitUntil([&] {
        std::ifstream in(record, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
        return !text.empty();
    }, 5000));
    EXPECT_EQ(text, "kwtest-unknown-scheme://klarwin/page?a=1\n");
    std::filesystem::remove(record);
}

TEST(KwCtlLink, HoveringUnderlinesUntilThePointerLeaves) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CHyperLink link;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        link.SubclassDlgItem(IDC_T_LINK, &d);
    };
    SetCursorPos(5, 5);
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        HWND control = uidriver::FindControl(hwnd, IDC_T_LINK);
        std::vector<COLORREF> plain = Snapshot(control);
        // Blue text on the dialog's background.
        SIZE size = uidriver::GetClientSize(control);
        EXPECT_GT(uidriver::CountPixels(control, RECT{0, 0, size.cx, size.cy}, RGB(0, 0, 238), 60), 5);
        RECT rc = uidriver::GetClientScreenRect(control);
        SetCursorPos(rc.left + 3, rc.top + 3);
        uidriver::PostMouseMove(control, {3, 3});
        auto hovering = [&] {
            bool h = false;
            RunOnUi(hwnd, [&] { h = link.IsHovering(); });
            return h;
        };
        ASSERT_TRUE(uidriver::WaitUntil(hovering, 3000));
        SettlePainting(hwnd);
        EXPECT_NE(Snapshot(control), plain);
        EXPECT_EQ(SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, 0)),
                  TRUE);
        SetCursorPos(5, 5);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return !hovering(); }, 3000));
        SettlePainting(hwnd);
        EXPECT_EQ(Snapshot(control), plain);
    });
}

TEST(KwCtlLink, MessagesAndCommandLines) {
    EXPECT_EQ(CHyperLink::FailureMessage(SE_ERR_NOASSOC),
              L"Unable to open hyperlink:\n\nThere is no application associated with the given file name extension.");
    EXPECT_EQ(CHyperLink::FailureMessage(77), L"Unable to open hyperlink:\n\nUnknown Error (77) occurred.");
    EXPECT_EQ(CHyperLink::CommandForURL(L"\"C:\\b\\web.exe\" \"%1\"", L"http://x/?q=%1"),
              L"\"C:\\b\\web.exe\" \"http://x/?q=%1\"");
    EXPECT_EQ(CHyperLink::CommandForURL(L"C:\\b\\web.exe -nohome", L"http://x/"), L"C:\\b\\web.exe -nohome http://x/");
    EXPECT_EQ(CHyperLink::CommandForURL(L"web %1 %1", L"u"), L"web u u");
}
