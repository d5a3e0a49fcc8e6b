#include "klarwin/ui/settings_dialog.h"

#include "klarwin/brisko_engine.h"
#include "klarwin/ui/dialog_setup.h"
#include "resource.h"

#include <commctrl.h>

namespace {

using kwui::Engine;
using kwui::kBlack;
using kwui::kHeadingBlue;
using kwui::SetUpButton;
using kwui::SetUpStatic;
using kwui::Str;

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct Option {
    int box, label;
    UINT text;
    const wchar_t* setting;
    const wchar_t* fallback;  // written when the setting is empty
    int y, labelWidth;
};

// The four options in the order of their boxes 1027 to 1030.
const Option kOptions[4] = {
    {IDC_OPT_START_WITH_WINDOWS, IDC_OPT_START_WITH_WINDOWS_LABEL, IDS_OPT_START_WITH_WINDOWS, L"StartWithWindows",
     L"true", 100, 251},
    {IDC_OPT_SCAN_AT_STARTUP, IDC_OPT_SCAN_AT_STARTUP_LABEL, IDS_OPT_SCAN_AT_STARTUP, L"StartScanAtProgramStartup",
     L"false", 125, 351},
    {IDC_OPT_TRAY_ON_CLOSE, IDC_OPT_TRAY_ON_CLOSE_LABEL, IDS_OPT_TRAY_ON_CLOSE, L"ShowInTaskbarOnClose", L"true", 150,
     251},
    {IDC_OPT_AUTO_UPDATES, IDC_OPT_AUTO_UPDATES_LABEL, IDS_OPT_AUTO_UPDATES, L"AllowAutoUpdates", L"false", 175, 251},
};

// Day boxes Sunday to Saturday: label, caption, box place and label width.
struct DayPlace {
    int label;
    UINT text;
    int x, y, labelWidth;
};
const DayPlace kDayPlaces[CSettingsDialog::kDayCount] = {
    {IDC_DAY_SUNDAY_LABEL, IDS_SUNDAY, 360, 330, 50},       {IDC_DAY_MONDAY_LABEL, IDS_MONDAY, 150, 310, 50},
    {IDC_DAY_TUESDAY_LABEL, IDS_TUESDAY, 220, 310, 50},     {IDC_DAY_WEDNESDAY_LABEL, IDS_WEDNESDAY, 290, 310, 70},
    {IDC_DAY_THURSDAY_LABEL, IDS_THURSDAY, 150, 330, 50},   {IDC_DAY_FRIDAY_LABEL, IDS_FRIDAY, 220, 330, 50},
    {IDC_DAY_SATURDAY_LABEL, IDS_SATURDAY, 290, 330, 50},
};

// Schedule combo entries in list order.
constexpr int kScheduleNoneIndex = 0;
constexpr int kScheduleDailyIndex = 1;
constexpr int kScheduleWeeklyIndex = 2;

// The list part of a drop-down list is part of its window's height.
constexpr int kComboListHeight = 100;

}  // namespace

const int CSettingsDialog::kDayIds[kDayCount] = {IDC_DAY_SUNDAY,   IDC_DAY_MONDAY, IDC_DAY_TUESDAY,
                                                 IDC_DAY_WEDNESDAY, IDC_DAY_THURSDAY, IDC_DAY_FRIDAY,
                                                 IDC_DAY_SATURDAY};
const int CSettingsDialog::kDayBits[kDayCount] = {kScheduleSunday,   kScheduleMonday,   kScheduleTuesday,
                                                  kScheduleWednesday, kScheduleThursday, kScheduleFriday,
                                                  kScheduleSaturday};

CSettingsDialog::CSettingsDialog(CWnd* parent) : CBitmapDialog(IDD_SETTINGS, parent) {
    // The template holds a date-time picker.
    kwui::InitControls(ICC_DATE_CLASSES);
}

const CMessageMap& CSettingsDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CSettingsDialog>(&CBitmapDialog::GetThisMessageMap())
                                       .OnMessage(WM_CLOSE, &CSettingsDialog::OnClose)
                                       .OnCommand(IDOK, &CSettingsDialog::OnSave)
                                       .OnCommand(IDC_VIEW_REPORTS, &CSettingsDialog::OnViewReports)
                                       .OnControl(IDC_SCHEDULE, CBN_SELCHANGE, &CSettingsDialog::OnScheduleChanged);
    return map;
}

BOOL CSettingsDialog::OnInitDialog() {
    kwui::OpenWindow(*this, IDB_DIALOG_SMALL, IDS_SETTINGS_CAPTION, 450, 413, 393);

    kwui::SetUpButtonRow(this, IDB_BUTTON_SMALL, 353, {{&m_save, IDOK, IDS_SAVE, 240}, {&m_cancel, IDCANCEL, IDS_CANCEL, 340}});

    kwui::SetUpHeading(m_title, this, {50, 30, 181, 21}, Str(IDS_SETTINGS_HEADING));
    SetUpStatic(m_general, IDC_HEADING_GENERAL, this, {50, 100, 70, 21}, kHeadingBlue, 9, FW_NORMAL,
                Str(IDS_HEADING_GENERAL));
    SetUpStatic(m_reports, IDC_HEADING_REPORTS, this, {50, 222, 70, 21}, kHeadingBlue, 9, FW_NORMAL,
                Str(IDS_HEADING_REPORTS));
    SetUpStatic(m_language, IDC_HEADING_LANGUAGE, this, {50, 246, 70, 21}, kHeadingBlue, 9, FW_NORMAL,
                Str(IDS_HEADING_LANGUAGE));
    SetUpStatic(m_scheduler, IDC_HEADING_SCHEDULER, this, {50, 280, 150, 21}, kHeadingBlue, 9, FW_NORMAL,
                Str(IDS_HEADING_SCHEDULER));

    for (int i = 0; i < 4; ++i) {
        const Option& o = kOptions[i];
        m_options[i].SubclassDlgItem(o.box, this);
        m_options[i].LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
        m_options[i].MoveWindow(130, o.y, 13, 13);
        // The label's text names the box for screen readers (the box is too
        // narrow to paint a caption of its own).
        m_options[i].SetWindowText(Str(o.text));
        SetUpStatic(m_optionLabels[i], o.label, this, {150, o.y, o.labelWidth, 21}, kBlack, 8, FW_NORMAL, Str(o.text));
    }

    SetUpButton(m_viewReports, IDC_VIEW_REPORTS, this, IDB_BUTTON_LIGHT, {130, 218, 100, 21}, Str(IDS_VIEW_REPORTS));
    m_viewReports.SetCaptionColor(RGB(0, 0, 255));

    HWND language = GetDlgItem(IDC_LANGUAGE);
    ::MoveWindow(language, 130, 244, 100, 21 + kComboListHeight, TRUE);
    SendDlgItemMessage(IDC_LANGUAGE, CB_RESETCONTENT);
    const std::wstring english = Str(IDS_LANGUAGE_ENGLISH);
    SendDlgItemMessage(IDC_LANGUAGE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(english.c_str()));
    SendDlgItemMessage(IDC_LANGUAGE, CB_SETCURSEL, 0);

    HWND schedule = GetDlgItem(IDC_SCHEDULE);
    ::MoveWindow(schedule, 150, 280, 100, 21 + kComboListHeight, TRUE);
    SendDlgItemMessage(IDC_SCHEDULE, CB_RESETCONTENT);
    for (UINT id : {IDS_SCHEDULE_NONE, IDS_SCHEDULE_DAILY, IDS_SCHEDULE_WEEKLY}) {
        const std::wstring entry = Str(id);
        SendDlgItemMessage(IDC_SCHEDULE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SetUpStatic(m_time, IDC_HEADING_TIME, this, {280, 280, 50, 21}, kHeadingBlue, 9, FW_NORMAL, Str(IDS_HEADING_TIME));
    ::MoveWindow(GetDlgItem(IDC_SCAN_TIME), 340, 280, 60, 21, TRUE);
    const std::wstring timeFormat = Str(IDS_TIME_FORMAT);
    SendDlgItemMessage(IDC_SCAN_TIME, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(timeFormat.c_str()));

    for (int i = 0; i < kDayCount; ++i) {
        const DayPlace& d = kDayPlaces[i];
        m_days[i].SubclassDlgItem(kDayIds[i], this);
        m_days[i].LoadImages(IDB_CHECKBOX_OFF, IDB_CHECKBOX_ON);
        m_days[i].MoveWindow(d.x, d.y, 13, 13);
        m_days[i].SetWindowText(Str(d.text));
        SetUpStatic(m_dayLabels[i], d.label, this, {d.x + 20, d.y, d.labelWidth, 21}, kBlack, 8, FW_NORMAL, Str(d.text));
    }

    LoadValues();
    return TRUE;
}

void CSettingsDialog::LoadValues() {
    CBriskoEngine* engine = Engine();
    if (!engine) return;
    for (int i = 0; i < 4; ++i) {
        if (engine->ReadSetting(kOptions[i].setting).empty()) engine->WriteSetting(kOptions[i].setting, kOptions[i].fallback);
    }
    // Start with Windows shows the Run value itself, whatever the setting says.
    m_options[0].SetCheck(engine->ReadRunEntry(kRunKey).empty() ? BST_UNCHECKED : BST_CHECKED);
    for (int i = 1; i < 4; ++i)
        m_options[i].SetCheck(engine->ReadSetting(kOptions[i].setting) == L"true" ? BST_CHECKED : BST_UNCHECKED);

    for (CCheckBox& day : m_days) day.SetCheck(BST_UNCHECKED);
    ScanSchedule schedule;
    engine->GetScanSchedule(schedule);
    int selection = kScheduleNoneIndex;
    if (schedule.Exists && schedule.HasTrigger &&
        (schedule.TriggerType == kTriggerDaily || schedule.TriggerType == kTriggerWeekly)) {
        selection = schedule.TriggerType == kTriggerDaily ? kScheduleDailyIndex : kScheduleWeeklyIndex;
        SYSTEMTIME time = {};
        GetLocalTime(&time);
        time.wHour = static_cast<WORD>(schedule.Hour);
        time.wMinute = static_cast<WORD>(schedule.Minute);
        time.wSecond = 0;
        time.wMilliseconds = 0;
        SendDlgItemMessage(IDC_SCAN_TIME, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
        if (selection == kScheduleWeeklyIndex) {
            for (int i = 0; i < kDayCount; ++i)
                if (schedule.DaysOfWeek & kDayBits[i]) m_days[i].SetCheck(BST_CHECKED);
        }
    }
    SendDlgItemMessage(IDC_SCHEDULE, CB_SETCURSEL, selection);
    EnableScheduleControls();
}

void CSettingsDialog::EnableScheduleControls() {
    const int selection = static_cast<int>(SendDlgItemMessage(IDC_SCHEDULE, CB_GETCURSEL));
    const bool timed = selection == kScheduleDailyIndex || selection == kScheduleWeeklyIndex;
    ::EnableWindow(GetDlgItem(IDC_SCAN_TIME), timed);
    for (CCheckBox& day : m_days) day.EnableWindow(selection == kScheduleWeeklyIndex);
}

void CSettingsDialog::OnScheduleChanged() { EnableScheduleControls(); }

int CSettingsDialog::CheckedDays() const {
    int days = 0;
    for (int i = 0; i < kDayCount; ++i)
        if (SendDlgItemMessage(kDayIds[i], BM_GETCHECK) == BST_CHECKED) days += kDayBits[i];
    return days;
}

void CSettingsDialog::OnSave() {
    if (CBriskoEngine* engine = Engine()) {
        bool checked[4];
        for (int i = 0; i < 4; ++i) {
            checked[i] = SendDlgItemMessage(kOptions[i].box, BM_GETCHECK) == BST_CHECKED;
            engine->WriteSetting(kOptions[i].setting, checked[i] ? L"true" : L"false");
        }
        if (checked[0])
            engine->WriteMachineString(kRunKey, kRunValueName, engine->GetProgramPath());
        else
            engine->DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);

        SYSTEMTIME time = {};
        const bool haveTime =
            SendDlgItemMessage(IDC_SCAN_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID;
        const int hour = haveTime ? time.wHour : 0;
        const int minute = haveTime ? time.wMinute : 0;
        switch (static_cast<int>(SendDlgItemMessage(IDC_SCHEDULE, CB_GETCURSEL))) {
        case kScheduleNoneIndex: engine->SetScanSchedule(kScheduleNone, 0, 0, 0); break;
        case kScheduleDailyIndex: engine->SetScanSchedule(kScheduleDaily, hour, minute, 0); break;
        case kScheduleWeeklyIndex: engine->SetScanSchedule(kScheduleWeekly, hour, minute, CheckedDays()); break;
        default: break;  // no selection: the schedule stays as it is
        }
    }
    MessageBox(Str(IDS_SETTINGS_SAVED).c_str(), Str(IDS_SETTINGS_CAPTION).c_str(), MB_ICONEXCLAMATION);
    OnOK();
}

void CSettingsDialog::OnViewReports() {
    if (CBriskoEngine* engine = Engine()) engine->OpenReportsFolder();
}

LRESULT CSettingsDialog::OnClose(WPARAM, LPARAM) {
    OnCancel();
    return 0;
}
