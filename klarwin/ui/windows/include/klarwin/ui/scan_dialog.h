// CScanDialog: Klarwin's main window. The user chooses the scan sections,
// starts a scan and is led through progress and results; the window shows
// the problems left from the last scan, the last scan date, the version and
// the update status, opens the secondary windows, keeps the tray icon and its
// menu, and receives every message the engine's threads post, handling some
// and re-posting the others unchanged to the window concerned.
//
// The window owns the engine (CBriskoEngine) for its whole life.
#pragma once

#include "fw/singleton.h"
#include "fw/win/menu.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/check_box.h"
#include "klarwin/ui/color_static.h"
#include "klarwin/ui/hyperlink.h"

#include <shellapi.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

class CScanDialog : public CBitmapDialog, public CSingleton<CScanDialog> {
public:
    static constexpr wchar_t kTitle[] = L"Klarwin 2011 | Registry Cleaner";

    // options: where the engine keeps its files (tests); null for the program's own.
    explicit CScanDialog(bool scanOnStart, const EngineOptions* options = nullptr, CWnd* parent = nullptr);
    ~CScanDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnOK() override;

    // The scan command: checks, progress window, results or good news.
    void OnScan();
    // Text, colour and image of the problems display from "IgnoredErrorsCount".
    void UpdateProblemsDisplay();
    // The exit path: refused while a scan runs; during a repair it asks, and
    // stops the repair at a safe point; a download is stopped and waited
    // for; then the tray icon goes and the process ends.
    void ExitProgram();
    // A scan's flow (from its start until its results windows are closed),
    // a results window or a repair uses the engine's error list: no scan may
    // start now.
    bool ResultsInUse() const;
    // Writes the four settings that are still empty with their defaults.
    void ApplySettingDefaults();

    CBriskoEngine& Engine() { return *m_engine; }
    // The bitmap the status image shows now (0 before the first).
    UINT GetStatusBitmapId() const { return m_nStatusBitmap; }
    const CXColorStatic& GetProblemsStatic() const { return m_problems; }
    const CXColorStatic& GetUpdateStatusStatic() const { return m_updateStatus; }
    bool IsTrayIconAdded() const { return m_bTrayIconAdded; }
    // The "Tray" popup of the tray menu.
    HMENU GetTrayPopup() { return m_trayMenu.GetSubMenu(0); }

    // What ends the process on the exit path (ExitProcess unless replaced).
    std::function<void(UINT)> m_endProcess;

    bool m_bScanOnStart = false;
    bool m_bStartupScanChecked = true;
    bool m_bUpdatePromptPending = false;
    bool m_bReportUpdateResult = false;

protected:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnStartupScan(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // Re-posts the message to the window of kind Target (0 progress, 1 repair,
    // 2 restore, 3 download) when it is open.
    template <UINT Message, int Target>
    LRESULT RelayTo(WPARAM wParam, LPARAM lParam);
    LRESULT OnIgnore(WPARAM wParam, LPARAM lParam);
    LRESULT OnUpdateAvailable(WPARAM wParam, LPARAM lParam);
    LRESULT OnUpdateNone(WPARAM wParam, LPARAM lParam);
    LRESULT OnUpdateInstalled(WPARAM wParam, LPARAM lParam);
    LRESULT OnUpdateFailed(WPARAM wParam, LPARAM lParam);
    LRESULT OnStartupComplete(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

    void OnViewLastResults();
    void OnSettings();
    void OnRestore();
    void OnManageStartup();
    void OnCustomSolution();
    void OnCheckUpdates();
    void OnHelp();
    void OnMinimise();
    void OnCloseButton();
    void OnTrayOpen();
    void OnTrayScan();
    void OnTrayStartupYes();
    void OnTrayStartupNo();
    void OnTrayLanguage();

private:
    bool SettingOn(const wchar_t* name) const;
    // Tells the user and answers true while a scan runs or ResultsInUse.
    bool RefuseWhileBusy();
    void OpenCustomSolutionTarget();
    void AskGoodNews();
    void AskDownload();
    void SetStatusBitmap(UINT id);
    // Posts the message on to `target`; a message that cannot be delivered
    // frees the string it carries.
    static void Relay(HWND target, UINT message, WPARAM wParam, LPARAM lParam);
    static HWND RelayTarget(int target);
    void LayOut();
    void SetUpTray();
    void RemoveTrayIcon();

    std::unique_ptr<CBriskoEngine> m_engine;
    CCheckBox m_checks[12];
    CXColorStatic m_labels[12];
    CBitmapButtonEx m_scanNow, m_lastResults, m_update, m_help, m_minimise, m_close;
    CBitmapButtonEx m_navScan, m_navSettings, m_navRestore, m_navStartup, m_navSolution;
    CXColorStatic m_titleVersion, m_productVersion, m_releaseDate, m_updateStatus, m_lastScanDate, m_problems;
    CStatic m_statusImage, m_promotionImage;
    CHyperLink m_promotionLink;
    CToolTipCtrl m_tooltip;
    std::map<UINT, CBitmap> m_bitmaps;
    UINT m_nStatusBitmap = 0;
    NOTIFYICONDATAW m_nid = {};
    bool m_bTrayIconAdded = false;
    CMenu m_trayMenu;
    // OnScan or OnViewLastResults is under way (its windows are open).
    bool m_bResultsFlow = false;
};
