// COrvoFrameApp: Melodrift's application object. Start-up chooses the
// user-interface language (a language DLL becomes the resource module),
// applies the association switches of the command line ("reg", "unreg",
// "nostart"), shows the splash window while the main frame is built, offers
// to become the default MP3 player and hands files of the command line to a
// module over the message bus. A later start hands its files to the copy
// already running and ends (single_instance.h). It keeps idle time flowing to
// the active module and restarts the program after a language change.
#pragma once

#include "command_line.h"
#include "fw/win/app.h"
#include "hand_over.h"
#include "languages.h"

#include <memory>
#include <string>

class CMainFrame;
class CSingleInstance;
class CStartingDlg;

class COrvoFrameApp : public CWinApp {
public:
    static constexpr const wchar_t* kAppName = L"Melodrift 4.0";
    // How long a later start waits for the running copy to take its files.
    static constexpr unsigned long kHandOverTimeoutMs = 5000;

    COrvoFrameApp();
    ~COrvoFrameApp() override;
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnIdle(LONG count) override;

    // Language.ini of the data folder.
    static std::wstring LanguageIniPath();
    // Stores the entry of that name (exact) as the language choice.
    bool SaveLanguageChoice(const std::wstring& name);
    // The stored (name, short name); chosen by the code page on the first run.
    void ReadLanguageChoice(std::wstring& name, std::wstring& shortName);

    CMainFrame* MainFrame() const;

    CLanguageList m_languages;
    COrvoCommandLineInfo m_cmdInfo;
    BYTE m_restart = 0;

private:
    void OnLanguage(UINT id);
    void OnUpdateLanguage(CCmdUI* ui);
    void ApplyAssociationSwitches();
    void OfferDefaultPlayer();
    void OpenCommandLineFiles();
    // "AllowSeveral" of the frame's settings: Yes, On or 1 lets every start run a copy of its own.
    bool AllowSeveral() const;
    // The command line's files with full names, and "/add".
    mdhost::HandOver CommandLineHandOver() const;
    void CloseSplash();

    HMODULE m_languageModule = nullptr;
    HRESULT m_oleInit = E_FAIL;
    int m_failedStartCode = 0;   // the exit code when the frame could not be built
    CStartingDlg* m_splash = nullptr;
    std::unique_ptr<CSingleInstance> m_instance;
};
