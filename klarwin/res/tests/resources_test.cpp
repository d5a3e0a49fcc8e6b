// The resource script as the program loads it: each window's template opens
// with the frame and caption its window has, holds the controls the windows
// address (each once, inside the window), is sized for its background bitmap;
// the tray menu, the strings whose escapes are easy to get wrong, the version
// and the icon.
#include "fw/strutil.h"
#include "fw/win/dialog.h"
#include "fw/win/menu.h"
#include "fw/win/resources.h"
#include "klarwin_version.h"
#include "resource.h"
#include "ui_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

enum class Frame { Caption, ThinBorder, Child, None };

struct Template {
    UINT id;
    const wchar_t* caption;  // null: no caption
    Frame frame;
    UINT background;         // the bitmap the window is painted with (0: none)
    std::vector<int> controls;
};

const std::vector<int> kSectionLabels = {IDC_LABEL_ACTIVEX,    IDC_LABEL_APP_PATHS,  IDC_LABEL_SOUND,
                                         IDC_LABEL_HELP,       IDC_LABEL_STARTUP,    IDC_LABEL_SOFTWARE,
                                         IDC_LABEL_SHARED_DLL, IDC_LABEL_EMPTY_KEYS, IDC_LABEL_DRIVERS,
                                         IDC_LABEL_UNINSTALL,  IDC_LABEL_FONTS,      IDC_LABEL_SHORTCUTS};

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Template>& Templates() {
    static const std::vector<Template> all = {
        {IDD_SCAN, nullptr, Frame::ThinBorder, IDB_MAIN_WINDOW,
         Join({1018, 1007, 1009, 1010, 1011, 1008, 1012, 1015, 1013, 1014, 1006, 1016, 1020, 1052, 1021, 1022, 1025,
               1024, 1005, 1001, 1002, 1028, 1029, 1067, 1049, 1050, 1159, 1156, 1142, 1146, 1153, 1154},
              kSectionLabels)},
        {IDD_SCAN_PROGRESS, L"Scan in Progress", Frame::Caption, IDB_DIALOG_LARGE,
         Join({1054, 1061, 1023, 1022, 1020, 1084, 1108, 1098, 1100, 1101, 1107, 1099, 1102, 1105, 1103, 1104, 1097,
               1106},
              kSectionLabels)},
        {IDD_SCAN_RESULTS, L"Repair Problems", Frame::Caption, IDB_RESULTS, {1054, 1027, 1055, 1024, 1052}},
        {IDD_SCAN_RESULT_CONTAINER, nullptr, Frame::Child, 0, {}},
        {IDD_SECTION_RESULT, L"Scanning results by section", Frame::Caption, IDB_DIALOG_LARGE,
         {1054, 1027, 1028, 1129, 1052}},
        {IDD_SECTION_RESULTS_CONTAINER, nullptr, Frame::Child, 0, {}},
        {IDD_RESULT_STATUS, L"Repair results summary", Frame::Caption, IDB_SUMMARY,
         {1054, 1055, 1056, 1057, 1124, 1096, 1108, 1120, 1144, 1086, 1098, 1110, 1134, 1088, 1100, 1112, 1136,
          1089, 1101, 1113, 1137, 1090, 1102, 1114, 1138, 1087, 1099, 1111, 1135, 1091, 1103, 1115, 1139, 1094, 1106,
          1118, 1142, 1092, 1104, 1116, 1140, 1093, 1105, 1117, 1141, 1085, 1097, 1109, 1133, 1095, 1107, 1119, 1143}},
        {IDD_REPAIR_ERRORS, L"Repairing Errors", Frame::Caption, IDB_DIALOG_SMALL, {1054, 1055, 1038, 1022, IDCANCEL}},
        {IDD_RESTORE_BACKUPS, L"Restore Backups", Frame::Caption, IDB_DIALOG_SMALL,
         {1054, 1061, 1141, 1140, 1040, 1041, 1039, 1124}},
        {IDD_MANAGE_STARTUP, L"Manage Windows Startup", Frame::Caption, IDB_DIALOG_LARGE, {1024, 1059, 1026, 1124}},
        {IDD_SETTINGS, L"Settings", Frame::Caption, IDB_DIALOG_SMALL,
         {1027, 1028, 1029, 1030, 1065, 1066, 1067, 1068, 1052, 1039, 1040, 1137, 1140, 1141, 1142, 1143, 1144, 1145,
          1138, IDOK, IDCANCEL, 1054, 1130, 1165, 1132, 1133, 1135}},
        {IDD_SEND_LOG, L"Send Report", Frame::Caption, IDB_DIALOG_LARGE,
         {1041, 1042, 1043, 1044, IDOK, IDCANCEL, 1054, 1061, 1055, 1072, 1070, 1071}},
        {IDD_CUSTOM_SOLUTION, L"Custom Solution", Frame::Caption, IDB_DIALOG_LARGE, {1043, 1044, 1045, 1054, 1069, 1068}},
        {IDD_DOWNLOAD, nullptr, Frame::None, IDB_DIALOG_SMALL, {IDABORT, 1022, 1054, 1061}},
    };
    return all;
}

class CTemplateDialog : public CDialog {
public:
    explicit CTemplateDialog(UINT id) : CDialog(id) {}
};

SIZE BitmapSize(UINT id) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP bm = {};
    if (bitmap) GetObjectW(bitmap, sizeof bm, &bm);
    if (bitmap) DeleteObject(bitmap);
    return SIZE{bm.bmWidth, bm.bmHeight};
}

std::wstring MenuText(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return text;
}

}  // namespace

class KwResourcesTemplate : public ::testing::TestWithParam<Template> {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
        InitCommonControlsEx(&icc);
    }
};

TEST_P(KwResourcesTemplate, OpensWithItsFrameControlsAndSize) {
    const Template& t = GetParam();
    // The child lists are made inside the windows that hold them.
    CWnd host;
    HWND parent = nullptr;
    if (t.frame == Frame::Child) {
        parent = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(host.Attach(parent));
    }
    CTemplateDialog dlg(t.id);
    ASSERT_TRUE(dlg.Create(t.id, parent ? &host : nullptr)) << t.id;
    HWND hwnd = dlg.m_hWnd;
    DWORD style = uidriver::GetStyle(hwnd);

    switch (t.frame) {
    case Frame::Caption:
        EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_EQ(uidriver::GetText(hwnd), t.caption);
        break;
    case Frame::ThinBorder:
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_TRUE(style & WS_BORDER);
        EXPECT_FALSE(style & WS_DLGFRAME);  // no caption, no dialog frame
        EXPECT_FALSE(style & WS_THICKFRAME);
        EXPECT_EQ(uidriver::GetText(hwnd), L"");
        break;
    case Frame::Child:
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_TRUE(style & WS_VSCROLL);
        break;
    case Frame::None:
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME));
        break;
    }

    // The system dialog font of 8 points.
    LOGFONTW lf = {};
    ASSERT_TRUE(GetObjectW(dlg.GetFont(), sizeof lf, &lf));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);

    // The client area is that of the background bitmap, give or take the
    // rounding of dialog units.
    SIZE client = uidriver::GetClientSize(hwnd);
    if (t.background) {
        SIZE bitmap = BitmapSize(t.background);
        EXPECT_NEAR(client.cx, bitmap.cx, 8) << t.id;
        EXPECT_NEAR(client.cy, bitmap.cy, 8) << t.id;
    }

    // Every control the windows address is there, once, inside the window.
    std::map<int, int> seen;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(c);
        ++seen[id];
        RECT rc = uidriver::GetRectInParent(c);
        EXPECT_GE(rc.left, 0) << t.id << "/" << id;
        EXPECT_GE(rc.top, 0) << t.id << "/" << id;
        EXPECT_LE(rc.right, client.cx + 2) << t.id << "/" << id;
        std::wstring cls = uidriver::GetClass(c);
        if (fw::EqualsNoCase(cls, L"ComboBox")) continue;  // its height holds the drop-down list
        EXPECT_LE(rc.bottom, client.cy + 2) << t.id << "/" << id;
    }
    for (const auto& [id, count] : seen) {
        EXPECT_EQ(count, 1) << t.id << ": id " << id << " twice";
    }
    for (int id : t.controls) EXPECT_EQ(seen[id], 1) << t.id << ": id " << id << " missing";
    EXPECT_EQ(seen.size(), t.controls.size() + (t.id == IDD_SETTINGS ? 7u : t.id == IDD_DOWNLOAD ? 8u : 0u))
        << t.id << ": controls nobody addresses";

    dlg.DestroyWindow();
    if (parent) {
        host.Detach();
        DestroyWindow(parent);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, KwResourcesTemplate, ::testing::ValuesIn(Templates()),
                         [](const ::testing::TestParamInfo<Template>& info) {
                             return "T" + std::to_string(info.param.id);
                         });

TEST(KwResources, TextsAndKindsOfTheControls) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
    InitCommonControlsEx(&icc);
    struct Expect {
        UINT dialog;
        int id;
        const wchar_t* cls;
        const wchar_t* text;  // null: not checked (the picker's text is its time)
        DWORD style;          // bits that must be set
    };
    const Expect expected[] = {
        {IDD_SCAN, IDC_SCAN_NOW, L"Button", L"Scan Now", BS_OWNERDRAW | WS_TABSTOP},
        {IDD_SCAN, IDC_CHECK_ACTIVEX, L"Button", L"", BS_OWNERDRAW | WS_TABSTOP},
        {IDD_SCAN, IDC_LABEL_SOFTWARE, L"Static", L"System Software Settings", SS_NOTIFY},
        {IDD_SCAN, IDC_NAV_SOLUTION, L"Button", L"Advanced Repair", WS_DISABLED},
        {IDD_SCAN, IDC_PROBLEMS, L"Static", L"Problems found in last scan: 0", SS_NOTIFY},
        {IDD_SCAN, IDC_STATUS_IMAGE, L"Static", L"", SS_BITMAP},
        {IDD_SCAN, IDC_PROMOTION_LINK, L"Static", L"Download Now", SS_NOTIFY},
        {IDD_SCAN, IDC_UPDATE_STATUS, L"Static", L"Checking...", 0},
        {IDD_SCAN_PROGRESS, IDC_PROGRESS, PROGRESS_CLASSW, L"", 0},
        {IDD_SCAN_PROGRESS, IDC_COUNT_SHORTCUTS, L"Static", L"(0)", 0},
        {IDD_SCAN_PROGRESS, IDC_LABEL_SHORTCUTS, L"Static", L"Program Shortcuts", 0},
        {IDD_SCAN_PROGRESS, IDC_SUBTITLE, L"Static",
         L"PC scan in progress. Please wait for a few moments until completion.", 0},
        {IDD_SCAN_PROGRESS, IDC_STOP_SCAN, L"Button", L"Stop Scan", BS_OWNERDRAW},
        {IDD_RESTORE_BACKUPS, IDC_BACKUP_LIST, L"ListBox", L"", LBS_MULTIPLESEL},
        {IDD_RESTORE_BACKUPS, IDC_SUBTITLE, L"Static",
         L"A registry backup is automatically created anytime you run a PC repair. If you want to restore a previous "
         L"registry configuration, please select one of the dates below and click on the \"Restore\" button.",
         0},
        {IDD_MANAGE_STARTUP, IDC_STARTUP_LIST, WC_LISTVIEWW, L"", LVS_REPORT},
        {IDD_SETTINGS, IDC_SCAN_TIME, DATETIMEPICK_CLASSW, nullptr, DTS_TIMEFORMAT},
        {IDD_SETTINGS, IDC_SCHEDULE, L"ComboBox", L"", CBS_DROPDOWNLIST},
        {IDD_SETTINGS, IDC_DAY_SATURDAY, L"Button", L"", BS_OWNERDRAW},
        {IDD_SETTINGS, IDC_DAY_WEDNESDAY_LABEL, L"Static", L"Wednesday", 0},
        {IDD_SETTINGS, IDOK, L"Button", L"Save", BS_OWNERDRAW},
        {IDD_SEND_LOG, IDC_REPORT_EDIT, L"Edit", L"", ES_MULTILINE | ES_READONLY},
        {IDD_SEND_LOG, IDC_DESCRIPTION_EDIT, L"Edit", L"", ES_MULTILINE | WS_VSCROLL},
        {IDD_CUSTOM_SOLUTION, IDC_RUN_SOLUTION, L"Button", L"Run Custom Solution", BS_OWNERDRAW},
        {IDD_DOWNLOAD, IDC_DL_SPEED_LABEL, L"Static", L"Download Speed:", 0},
        {IDD_RESULT_STATUS, IDC_SUMMARY_NAME_FONTS, L"Static", L"Windows Fonts", 0},
        {IDD_RESULT_STATUS, IDC_TOTAL_IGNORED, L"Static", L"0", SS_CENTER},
    };
    for (const Expect& e : expected) {
        CTemplateDialog dlg(e.dialog);
        ASSERT_TRUE(dlg.Create(e.dialog)) << e.dialog;
        HWND c = GetDlgItem(dlg.m_hWnd, e.id);
        ASSERT_NE(c, nullptr) << e.dialog << "/" << e.id;
        EXPECT_TRUE(fw::EqualsNoCase(uidriver::GetClass(c), e.cls)) << e.dialog << "/" << e.id;
        if (e.text) {
            EXPECT_EQ(uidriver::GetText(c), e.text) << e.dialog << "/" << e.id;
        }
        EXPECT_EQ(uidriver::GetStyle(c) & e.style, e.style) << e.dialog << "/" << e.id;
        dlg.DestroyWindow();
    }
}

TEST(KwResources, MainWindowControlsTheTemplateAlonePlaces) {
    // Statics whose place is the template's: where the artwork has their labels.
    CTemplateDialog dlg(IDD_SCAN);
    ASSERT_TRUE(dlg.Create(IDD_SCAN));
    const struct {
        int id;
        RECT art;
    } placed[] = {{IDC_PRODUCT_VERSION, {115, 486, 215, 501}},
                  {IDC_RELEASE_DATE, {115, 504, 215, 519}},
                  {IDC_UPDATE_STATUS, {115, 522, 200, 540}}};
    for (const auto& p : placed) {
        RECT rc = uidriver::GetRectInParent(GetDlgItem(dlg.m_hWnd, p.id));
        EXPECT_NEAR(rc.left, p.art.left, 2) << p.id;
        EXPECT_NEAR(rc.top, p.art.top, 2) << p.id;
        EXPECT_NEAR(rc.right, p.art.right, 2) << p.id;
        EXPECT_NEAR(rc.bottom, p.art.bottom, 2) << p.id;
    }
    // The update status lies inside the rectangle the main window repaints
    // when the status changes.
    RECT status = uidriver::GetRectInParent(GetDlgItem(dlg.m_hWnd, IDC_UPDATE_STATUS));
    EXPECT_GE(status.left, 115);
    EXPECT_GE(status.top, 522);
    EXPECT_LE(status.right, 200);
    EXPECT_LE(status.bottom, 542);
    dlg.DestroyWindow();
}

TEST(KwResources, TrayMenu) {
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_TRAY_MENU));
    ASSERT_EQ(menu.GetMenuItemCount(), 1);
    EXPECT_EQ(MenuText(menu, 0), L"Tray");
    HMENU tray = menu.GetSubMenu(0);
    const struct {
        const wchar_t* text;
        UINT id;  // 0: separator, -1: a sub-menu
    } items[] = {{L"Open Klarwin", 32774},     {L"Scan PC now", 32777}, {L"", 0},
                 {L"Check updates", 32778},    {L"Languages", static_cast<UINT>(-1)},
                 {L"Launch at Windows Startup", static_cast<UINT>(-1)}, {L"", 0},
                 {L"Exit", 32773}};
    ASSERT_EQ(GetMenuItemCount(tray), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(GetMenuItemID(tray, i), items[i].id) << i;
        if (items[i].id != 0) {
            EXPECT_EQ(MenuText(tray, i), items[i].text) << i;
        }
    }
    HMENU languages = GetSubMenu(tray, 4);
    ASSERT_EQ(GetMenuItemCount(languages), 1);
    EXPECT_EQ(MenuText(languages, 0), L"English");
    EXPECT_EQ(GetMenuItemID(languages, 0), 32781u);
    EXPECT_TRUE(GetMenuState(languages, 32781, MF_BYCOMMAND) & MF_CHECKED);
    HMENU launch = GetSubMenu(tray, 5);
    ASSERT_EQ(GetMenuItemCount(launch), 2);
    EXPECT_EQ(MenuText(launch, 0), L"Yes");
    EXPECT_EQ(GetMenuItemID(launch, 0), 32782u);
    EXPECT_EQ(MenuText(launch, 1), L"No");
    EXPECT_EQ(GetMenuItemID(launch, 1), 32783u);
}

TEST(KwResources, StringsKeepTheirQuotesLineBreaksAndFormats) {
    EXPECT_EQ(fw::LoadResourceString(IDS_MAIN_TITLE), L"Klarwin 2011 | Registry Cleaner");
    EXPECT_EQ(fw::LoadResourceString(IDS_RESTORE_NOTE),
              L"A registry backup is automatically created anytime you run a PC repair. If you want to restore a "
              L"previous registry configuration, please select one of the dates below and click on the \"Restore\" "
              L"button.");
    EXPECT_EQ(fw::LoadResourceString(IDS_GOOD_NEWS),
              L"Good news! The PC scan is clear and no registry errors were found on your PC.\n\nIf you believe your "
              L"computer is affected by any technical problem, you may \r\nsend us your scan log report. One of our "
              L"Technical Engineers will analyze it and\r\nhelp you find a custom solution to optimize the performance "
              L"of your PC.\n\nDo you want to send the Scan Log Report now?");
    EXPECT_EQ(fw::LoadResourceString(IDS_RESULTS_HEADLINE_FORMAT), L"Attention!   %d registry errors were found");
    EXPECT_EQ(fw::LoadResourceString(IDS_SPEED_FORMAT), L"%0.1f KB per sec");
    EXPECT_EQ(fw::LoadResourceString(IDS_BACKUP_DATE_FORMAT), L"%A, %B %d, %Y %H:%M");
    EXPECT_EQ(fw::Format(fw::LoadResourceString(IDS_ERRORS_FORMAT).c_str(), L"25"), L"25 registry errors");
    EXPECT_EQ(fw::LoadResourceString(IDS_SOLUTION_DONE),
              L"Our staff has thoroughly checked / repaired your Windows registry;\nyour computer is now free from "
              L"registry errors caused by spyware, adware and other type of malware. Click OK to proceed.");
    // Every section has its name and its description, which begins with its subject.
    for (int i = 0; i < 12; ++i) {
        std::wstring name = fw::LoadResourceString(IDS_SECTION_NAME_FIRST + i);
        std::wstring description = fw::LoadResourceString(IDS_SECTION_DESCRIPTION_FIRST + i);
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_NE(description.find(L": "), std::wstring::npos) << i;
    }
    EXPECT_EQ(fw::LoadResourceString(IDS_SECTION_NAME_FIRST + 5), L"System Software Settings");
    std::wstring missing;
    EXPECT_FALSE(fw::TryLoadResourceString(IDS_SECTION_NAME_FIRST + 12, missing));
}

TEST(KwResources, VersionComesFromTheProjectVersion) {
    std::wstring self = uidriver::TestProgramFolder() / L"klarwin_resources_test.exe";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(self.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(self.c_str(), 0, size, data.data()));
    // The strings are found through the last translation entry, as the engine reads them.
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                               &length));
    ASSERT_GE(length, sizeof(Translation));
    const Translation& last = translations[length / sizeof(Translation) - 1];
    std::wstring prefix = fw::Format(L"\\StringFileInfo\\%04x%04x\\", last.language, last.codePage);
    auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT n = 0;
        std::wstring path = prefix + name;
        if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &n) || !text)
            return std::wstring(L"<missing>");
        return std::wstring(text);
    };
    EXPECT_EQ(value(L"ProductVersion"), fw::FromUtf8(KLARWIN_VERSION_STRING));
    EXPECT_EQ(value(L"ReleaseDate"), fw::FromUtf8(KLARWIN_RELEASE_DATE));
    EXPECT_EQ(value(L"FileVersion"), fw::FromUtf8(KLARWIN_FILE_VERSION_STRING));
    EXPECT_EQ(value(L"ProductName"), L"Klarwin 2011");
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwProductVersionMS), KLARWIN_VERSION_MAJOR);
    EXPECT_EQ(LOWORD(fixed->dwProductVersionMS), KLARWIN_VERSION_MINOR);
    EXPECT_EQ(HIWORD(fixed->dwProductVersionLS), KLARWIN_VERSION_PATCH);
}

TEST(KwResources, ProgramIconAtTheUsualSizes) {
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KLARWIN), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}
