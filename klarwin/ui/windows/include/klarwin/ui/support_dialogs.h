// The support windows: CSendLogDialog sends the system report with the user's
// description and e-mail address to the log service; CCustomSolnDialog asks
// the service whether a repair solution for the sent log is ready, shows its
// instructions and runs it; CDownloadDialog follows the download of a new
// program version, whose thread posts to the main window, which re-posts the
// download messages here unchanged.
#pragma once

#include "fw/singleton.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/color_static.h"

#include <windows.h>

#include <functional>
#include <string>

// True for an address with a name part, an "@" and a part after it made of at
// least two labels separated by "." (runs of separators count as one, and
// separators at the start are skipped).
bool IsEmailFormValid(const std::wstring& address);

class CSendLogDialog : public CBitmapDialog, public CSingleton<CSendLogDialog> {
public:
    explicit CSendLogDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnSendReport();

    std::wstring m_strReport;       // the system report as shown, built at each opening
    std::wstring m_strReportHtml;   // the same report as the service receives it
    std::wstring m_strEmail;        // edit 1042
    std::wstring m_strDescription;  // edit 1043

protected:
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    void Tell(UINT stringId);

    CXColorStatic m_title, m_intro, m_text, m_nameLabel, m_emailLabel, m_descriptionLabel;
    CBitmapButtonEx m_send, m_cancel;
};

class CCustomSolnDialog : public CBitmapDialog, public CSingleton<CCustomSolnDialog> {
public:
    explicit CCustomSolnDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnRunSolution();

    std::wstring m_strSolution;  // the commands received; empty until a solution is ready

protected:
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    CXColorStatic m_title, m_statusLabel, m_status, m_instructionsLabel;
    CBitmapButtonEx m_run;
};

// What the download window shows for `bytes` received `elapsedMs` after the start.
struct DownloadProgressTexts {
    int kilobytes = 0;      // the bar position
    std::wstring downloaded;
    std::wstring speed;
    std::wstring elapsed;
};
DownloadProgressTexts FormatDownloadProgress(unsigned long long bytes, unsigned long long elapsedMs);

// What the user is told about a failed update (the WM_UPDATE_FAILED reason).
std::wstring UpdateFailedText(WPARAM reason);

class CDownloadDialog : public CBitmapDialog, public CSingleton<CDownloadDialog> {
public:
    explicit CDownloadDialog(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    // Stops the download thread, waits for it, releases it and ends the window.
    void OnAbortDownload();

    // The clock the elapsed time is measured with (milliseconds, steady).
    std::function<unsigned long long()> m_clock;

protected:
    LRESULT OnDownloadStart(WPARAM wParam, LPARAM lParam);
    LRESULT OnDownloadComplete(WPARAM wParam, LPARAM lParam);
    LRESULT OnDownloadProgress(WPARAM wParam, LPARAM lParam);
    // WM_UPDATE_FAILED, handed on by the main window: tells the user, ends the window.
    LRESULT OnUpdateFailed(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    unsigned long long m_start = 0;  // the clock at the start message
    CXColorStatic m_title, m_note;
    CXColorStatic m_labels[4];
    CXColorStatic m_downloaded, m_speed, m_size, m_elapsed;
    CBitmapButtonEx m_abort;
};
