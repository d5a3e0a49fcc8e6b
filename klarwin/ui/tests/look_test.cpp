// The windows' look from the real templates, artwork and controls: the
// progress window (template 130) and the main window (template 129) are set up
// the way those windows set themselves up, photographed into
// <build>/screenshots, and checked for what a user and a screen reader see.
#include "controls_test_support.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/check_box.h"
#include "klarwin/ui/color_static.h"
#include "klarwin/ui/hyperlink.h"
#include "klarwin/ui/picture_box.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

constexpr COLORREF kTitleBlue = RGB(13, 90, 153);
constexpr COLORREF kKey = RGB(255, 0, 0);
const wchar_t* const kSections[12] = {
    L"ActiveX / OLE",       L"Application Paths", L"Sound Files",    L"Help Files",
    L"Windows Startup",     L"System Software Settings", L"Shared Dll", L"Empty Registry Keys",
    L"System Drivers",      L"Uninstall Files",   L"Windows Fonts",  L"Program Shortcuts"};
const int kLabelIds[12] = {IDC_LABEL_ACTIVEX,    IDC_LABEL_APP_PATHS, IDC_LABEL_SOUND,    IDC_LABEL_HELP,
                           IDC_LABEL_STARTUP,    IDC_LABEL_SOFTWARE,  IDC_LABEL_SHARED_DLL, IDC_LABEL_EMPTY_KEYS,
                           IDC_LABEL_DRIVERS,    IDC_LABEL_UNINSTALL, IDC_LABEL_FONTS,    IDC_LABEL_SHORTCUTS};
const int kCountIds[12] = {IDC_COUNT_ACTIVEX,    IDC_COUNT_APP_PATHS, IDC_COUNT_SOUND,    IDC_COUNT_HELP,
                           IDC_COUNT_STARTUP,    IDC_COUNT_SOFTWARE,  IDC_COUNT_SHARED_DLL, IDC_COUNT_EMPTY_KEYS,
                           IDC_COUNT_DRIVERS,    IDC_COUNT_UNINSTALL, IDC_COUNT_FONTS,    IDC_COUNT_SHORTCUTS};
const int kCheckIds[12] = {IDC_CHECK_ACTIVEX,    IDC_CHECK_APP_PATHS, IDC_CHECK_SOUND,    IDC_CHECK_HELP,
                           IDC_CHECK_STARTUP,    IDC_CHECK_SOFTWARE,  IDC_CHECK_SHARED_DLL, IDC_CHECK_EMPTY_KEYS,
                           IDC_CHECK_DRIVERS,    IDC_CHECK_UNINSTALL, IDC_CHECK_FONTS,    IDC_CHECK_SHORTCUTS};

void Colour(CXColorStatic& s, CWnd* parent, int id, COLORREF colour, int points, int weight) {
    s.SubclassDlgItem(id, parent);
    s.SetTextColor(colour);
    s.SetFont(points, weight);
}

void Button(CBitmapButtonEx& b, CWnd* parent, int id, COLORREF key, UINT normal, UINT pressed, UINT hover,
            UINT disabled, RECT place) {
    b.SubclassDlgItem(id, parent);
    b.LoadBitmaps(key, normal, pressed, hover, disabled);
    b.SizeToBitmap();
    b.MoveWindow(place.left, place.top, place.right, place.bottom);
}

void Captioned(CBitmapButtonEx& b, const wchar_t* caption, int points, int width, int height) {
    b.SetCaptionFont(points, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    b.SetCaption(caption);
    b.SetCaptionRect({0, 0, width, height});
}

void Place(CWnd& w, int x, int y, int cx, int cy) { w.MoveWindow(x, y, cx, cy); }

struct ProgressLook {
    CXColorStatic title, note, item;
    std::array<CXColorStatic, 12> labels, counts;
    CBitmapButtonEx stop;
    CPictureBoxEx loading;
};

struct MainLook {
    std::array<CCheckBox, 12> checks;
    std::array<CXColorStatic, 12> labels;
    CBitmapButtonEx scan, last, update, help, minimise, close, navScan, navSettings, navRestore, navStartup,
        navSolution;
    CXColorStatic version, productVersion, releaseDate, updateStatus, lastScan, problems;
    CStatic status, promotion;
    CHyperLink download;
    CBitmap statusImage, promotionImage;
};

}  // namespace

TEST(KwCtlLook, ProgressWindow) {
    CHostDialog dlg(IDD_SCAN_PROGRESS);
    ProgressLook l;
    bool gif = false;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        d.m_bDragEnabled = true;
        d.SetWindowPos(nullptr, (GetSystemMetrics(SM_CXFULLSCREEN) - 528) / 2,
                       (GetSystemMetrics(SM_CYFULLSCREEN) - 461) / 2, 528, 481, SWP_NOZORDER);
        Button(l.stop, &d, IDC_STOP_SCAN, kKey, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL, IDB_BUTTON_SMALL,
               IDB_BUTTON_SMALL, {415, 398, 81, 21});
        Captioned(l.stop, L"Stop Scan", 8, 81, 21);
        Colour(l.title, &d, IDC_TITLE, kTitleBlue, 14, FW_NORMAL);
        Place(l.title, 50, 30, 181, 21);
        Colour(l.note, &d, IDC_SUBTITLE, RGB(0, 0, 0), 9, FW_BOLD);
        Place(l.note, 50, 90, 420, 21);
        Colour(l.item, &d, IDC_CURRENT_ITEM, RGB(128, 128, 128), 8, FW_NORMAL);
        Place(l.item, 50, 110, 420, 21);
        l.item.SetText(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Updater..");
        d.SendDlgItemMessage(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        d.SendDlgItemMessage(IDC_PROGRESS, PBM_SETSTEP, 8, 0);
        d.SendDlgItemMessage(IDC_PROGRESS, PBM_SETPOS, 41, 0);
        const int counts[12] = {3, 0, 12, 1, 5, 0, 0, 0, 0, 0, 0, 0};
        for (int i = 0; i < 12; ++i) {
            int x = i < 6 ? 50 : 300;
            Colour(l.counts[i], &d, kCountIds[i], RGB(154, 0, 0), 7, FW_NORMAL);
            Place(l.counts[i], x, 227 + (i % 6) * 20, 25, 21);
            l.counts[i].SetText(i <= 4 ? L"(" + std::to_wstring(counts[i]) + L")" : L"(0)");
            Colour(l.labels[i], &d, kLabelIds[i], kTitleBlue, 10, FW_NORMAL);
            Place(l.labels[i], x + 25, 225 + (i % 6) * 20, 200, 21);
            l.labels[i].SetText(kSections[i]);
        }
        l.loading.SubclassDlgItem(IDC_LOADING, &d);
        Place(l.loading, 25, 225 + 4 * 20, 21, 21);  // section 4 is being scanned
        gif = l.loading.Load((uidriver::TestProgramFolder() / L"Loading.gif").wstring());
        l.loading.Draw();
    };
    RunWithUser(dlg, L"Scan in Progress", [&](HWND hwnd) {
        EXPECT_TRUE(gif);
        Sleep(400);
        SettlePainting(hwnd);
        EXPECT_FALSE(uidriver::SaveScreenshot(hwnd, L"klarwin_progress_look").empty());
        // What a screen reader reads is what is shown.
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_TITLE), L"REGISTRY SCAN");
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_STOP_SCAN), L"Stop Scan");
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_COUNT_SOUND), L"(12)");
        for (int i = 0; i < 12; ++i) EXPECT_EQ(uidriver::GetControlText(hwnd, kLabelIds[i]), kSections[i]);
        // The frame is the template's: a caption, 20 pixels above the bitmap.
        EXPECT_TRUE(uidriver::GetStyle(hwnd) & WS_CAPTION);
        RECT window = uidriver::GetScreenRect(hwnd);
        EXPECT_EQ(window.bottom - window.top, 481);
        HWND title = uidriver::FindControl(hwnd, IDC_TITLE);
        EXPECT_GT(uidriver::CountPixels(title, RECT{0, 0, 181, 21}, kTitleBlue, 40), 20);
        HWND stop = uidriver::FindControl(hwnd, IDC_STOP_SCAN);
        EXPECT_GT(uidriver::CountPixels(stop, RECT{10, 0, 70, 21}, RGB(255, 255, 255), 40), 10);
    });
}

TEST(KwCtlLook, MainWindow) {
    CHostDialog dlg(IDD_SCAN);
    auto l = std::make_unique<MainLook>();
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_MAIN_WINDOW);
        d.m_bDragEnabled = true;
        d.SetWindowText(L"Klarwin 2011 | Registry Cleaner");
        d.SetWindowPos(nullptr, (GetSystemMetrics(SM_CXFULLSCREEN) - 770) / 2,
                       (GetSystemMetrics(SM_CYFULLSCREEN) - 571) / 2 - 20, 770, 571, SWP_NOZORDER);
        for (int i = 0; i < 12; ++i) {
            int x = i < 6 ? 280 : 510, y = 225 + (i % 6) * 20;
            l->checks[i].SubclassDlgItem(kCheckIds[i], &d);
            l->checks[i].LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
            Place(l->checks[i], x, y, 13, 13);
            l->checks[i].SetCheck(i == 7 ? BST_UNCHECKED : BST_CHECKED);
            Colour(l->labels[i], &d, kLabelIds[i], kTitleBlue, 10, FW_NORMAL);
            Place(l->labels[i], x + 20, y - 2, 160, 21);
        }
        Button(l->scan, &d, IDC_SCAN_NOW, kKey, IDB_SCAN_NOW, IDB_SCAN_NOW_HOVER, IDB_SCAN_NOW_HOVER,
               IDB_SCAN_NOW_HOVER, {589, 476, 113, 31});
        Button(l->last, &d, IDC_VIEW_LAST_RESULTS, kKey, IDB_LAST_RESULTS, IDB_LAST_RESULTS_HOVER,
               IDB_LAST_RESULTS_HOVER, IDB_LAST_RESULTS_HOVER, {469, 476, 113, 31});
        Button(l->update, &d, IDC_CHECK_UPDATES, kKey, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER,
               IDB_BUTTON_HEADER, {488, 51, 80, 31});
        Captioned(l->update, L"Update", 9, 80, 31);
        Button(l->help, &d, IDC_HELP_BUTTON, kKey, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER, IDB_BUTTON_HEADER,
               IDB_BUTTON_HEADER, {652, 51, 80, 31});
        Captioned(l->help, L"Help", 9, 80, 31);
        Button(l->minimise, &d, IDC_MINIMIZE, kKey, IDB_MINIMISE, IDB_MINIMISE_HOVER, IDB_MINIMISE_HOVER,
               IDB_MINIMISE_HOVER, {708, 9, 24, 24});
        Button(l->close, &d, IDC_CLOSE, RGB(255, 10, 0), IDB_CLOSE, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER,
               IDB_CLOSE_HOVER, {735, 9, 24, 24});
        Button(l->navScan, &d, IDC_NAV_SCAN, kKey, IDB_NAV_SCAN, IDB_NAV_SCAN_HOVER, IDB_NAV_SCAN_HOVER, IDB_NAV_SCAN,
               {32, 92, 181, 50});
        Button(l->navSettings, &d, IDC_NAV_SETTINGS, kKey, IDB_NAV_SETTINGS, IDB_NAV_SETTINGS_HOVER,
               IDB_NAV_SETTINGS_HOVER, IDB_NAV_SETTINGS, {32, 152, 181, 50});
        Button(l->navRestore, &d, IDC_NAV_RESTORE, kKey, IDB_NAV_RESTORE, IDB_NAV_RESTORE_HOVER,
               IDB_NAV_RESTORE_HOVER, IDB_NAV_RESTORE, {32, 212, 181, 50});
        Button(l->navStartup, &d, IDC_NAV_STARTUP, kKey, IDB_NAV_STARTUP, IDB_NAV_STARTUP, IDB_NAV_STARTUP_HOVER,
               IDB_NAV_STARTUP_HOVER, {32, 272, 181, 50});
        Button(l->navSolution, &d, IDC_NAV_SOLUTION, kKey, IDB_NAV_SOLUTION, IDB_NAV_SOLUTION,
               IDB_NAV_SOLUTION_HOVER, IDB_NAV_SOLUTION_HOVER, {30, 334, 181, 50});
        Colour(l->version, &d, IDC_TITLE_VERSION, RGB(255, 255, 255), 10, FW_BOLD);
        Place(l->version, 18, 12, 90, 15);
        l->version.SetText(L"Klarwin v1.0.0");
        Colour(l->productVersion, &d, IDC_PRODUCT_VERSION, RGB(255, 255, 255), 8, FW_NORMAL);
        l->productVersion.SetText(L"1.0.0");
        Colour(l->releaseDate, &d, IDC_RELEASE_DATE, RGB(255, 255, 255), 8, FW_NORMAL);
        l->releaseDate.SetText(L"01-MAY-2011");
        Colour(l->updateStatus, &d, IDC_UPDATE_STATUS, RGB(255, 255, 0), 8, FW_BOLD);
        l->updateStatus.SetText(L"Available");
        Colour(l->lastScan, &d, IDC_LAST_SCAN_DATE, RGB(255, 0, 0), 10, FW_BOLD);
        Place(l->lastScan, 257, 390, 200, 15);
        l->lastScan.SetText(L"08-DEC-2026");
        Colour(l->problems, &d, IDC_PROBLEMS, RGB(255, 0, 0), 11, FW_BOLD);
        Place(l->problems, 257, 409, 200, 21);
        l->problems.SetText(L"25 registry errors");
        l->status.SubclassDlgItem(IDC_STATUS_IMAGE, &d);
        l->statusImage.LoadBitmap(IDB_HEALTH_1);
        l->status.SetBitmap(l->statusImage);
        Place(l->status, 480, 380, 210, 75);
        l->promotion.SubclassDlgItem(IDC_PROMOTION_IMAGE, &d);
        l->promotionImage.LoadBitmap(IDB_PROMOTION);
        l->promotion.SetBitmap(l->promotionImage);
        Place(l->promotion, 244, 452, 213, 61);
        l->promotion.ShowWindow(SW_SHOW);
        l->download.SubclassDlgItem(IDC_PROMOTION_LINK, &d);
        l->download.SetURL(L"https://www.example.com/companion");
        Place(l->download, 374, 485, 80, 14);
        l->download.ShowWindow(SW_SHOW);
    };
    RunWithUser(dlg, L"Klarwin 2011 | Registry Cleaner", [&](HWND hwnd) {
        Sleep(200);
        SettlePainting(hwnd);
        EXPECT_FALSE(uidriver::SaveScreenshot(hwnd, L"klarwin_main_look").empty());
        // The frame of the template: a thin border and no caption.
        DWORD style = uidriver::GetStyle(hwnd);
        EXPECT_NE(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
        EXPECT_TRUE(style & WS_BORDER);
        // The statics the template alone places sit where the artwork has their labels.
        const struct {
            int id;
            RECT art;
        } placed[] = {{IDC_PRODUCT_VERSION, {115, 486, 215, 501}},
                      {IDC_RELEASE_DATE, {115, 504, 215, 519}},
                      {IDC_UPDATE_STATUS, {115, 522, 200, 540}}};
        for (const auto& p : placed) {
            RECT rc = uidriver::GetRectInParent(uidriver::FindControl(hwnd, p.id));
            EXPECT_NEAR(rc.left, p.art.left, 2) << p.id;
            EXPECT_NEAR(rc.top, p.art.top, 2) << p.id;
            EXPECT_NEAR(rc.right, p.art.right, 2) << p.id;
            EXPECT_NEAR(rc.bottom, p.art.bottom, 2) << p.id;
        }
        // Texts in the artwork are the window texts of the buttons that show them.
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_SCAN_NOW), L"Scan Now");
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_NAV_SETTINGS), L"Settings");
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_CHECK_UPDATES), L"Update");
        EXPECT_EQ(uidriver::GetControlText(hwnd, IDC_PROBLEMS), L"25 registry errors");
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(hwnd, IDC_CHECK_EMPTY_KEYS)), BST_UNCHECKED);
        EXPECT_EQ(uidriver::GetCheck(uidriver::FindControl(hwnd, IDC_CHECK_FONTS)), BST_CHECKED);
        HWND link = uidriver::FindControl(hwnd, IDC_PROMOTION_LINK);
        EXPECT_TRUE(uidriver::IsVisible(link));
        EXPECT_EQ(uidriver::GetText(link), L"Download Now");
        EXPECT_GT(uidriver::CountPixels(link, RECT{0, 0, 80, 14}, RGB(0, 0, 238), 60), 10);
        HWND problems = uidriver::FindControl(hwnd, IDC_PROBLEMS);
        EXPECT_GT(uidriver::CountPixels(problems, RECT{0, 0, 200, 21}, RGB(255, 0, 0), 40), 20);
    });
}
