// CSettingsDialog: the four start-up and update options, the scheduled scan
// (none, daily or weekly at a time of day, through the Task Scheduler), the
// language (English only) and a button that opens the folder of the HTML scan
// reports. Every opening reads the values again; Save writes the options, the
// Run value and the schedule, Cancel writes nothing.
#pragma once

#include "fw/singleton.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/check_box.h"
#include "klarwin/ui/color_static.h"

class CSettingsDialog : public CBitmapDialog, public CSingleton<CSettingsDialog> {
public:
    explicit CSettingsDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnSave();
    void OnViewReports();
    void OnScheduleChanged();

    // The Task Scheduler day bits of the checked day boxes.
    int CheckedDays() const;

    // The day boxes in the order Sunday to Saturday, with their day bits.
    static constexpr int kDayCount = 7;
    static const int kDayIds[kDayCount];
    static const int kDayBits[kDayCount];

protected:
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    void LoadValues();
    // The picker only for a daily or weekly schedule, the days only for a weekly one.
    void EnableScheduleControls();

    CXColorStatic m_title, m_general, m_reports, m_language, m_scheduler, m_time;
    CXColorStatic m_optionLabels[4];
    CXColorStatic m_dayLabels[kDayCount];
    CCheckBox m_options[4];
    CCheckBox m_days[kDayCount];
    CBitmapButtonEx m_save, m_cancel, m_viewReports;
};
