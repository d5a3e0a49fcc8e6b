// The two questions of start-up: which module opens files given on the
// command line (CChooseModuleMusicDlg), and whether Melodrift should become
// the default MP3 player (CDefaultPlayerDlg). Both keep their answers as
// settings of "Main frame" through IApplication.
#pragma once

#include "fw/win/dialog.h"
#include "host/host_interfaces.h"

class CChooseModuleMusicDlg : public CDialog {
public:
    explicit CChooseModuleMusicDlg(IApplication* app, CWnd* parent = nullptr);
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;

private:
    void OnOk();
    void OnCancelButton();
    IApplication* m_app;
};

class CDefaultPlayerDlg : public CDialog {
public:
    explicit CDefaultPlayerDlg(IApplication* app, CWnd* parent = nullptr);
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    INT_PTR DoModal() override;
    BOOL OnInitDialog() override;

private:
    void OnYes();
    void OnNo();
    void WriteAnswer();
    IApplication* m_app;
};
