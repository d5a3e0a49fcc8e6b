#include "app.h"

#include "../res/resource.h"
#include "desktop/default_player.h"
#include "fw/strutil.h"
#include "fw/win/module.h"
#include "host_dialogs.h"
#include "host_resources.h"
#include "main_frame.h"
#include "paths.h"
#include "patinctl/patinctl.h"
#include "single_instance.h"
#include "starting_dlg.h"
#include "utilon/utilon.h"

#include <ole2.h>

namespace {
const std::wstring kFrameSection = CHostSettings::OwnerSection(ORVO_MAIN_FRAME_NAME);
}

COrvoFrameApp::COrvoFrameApp() : CWinApp(kAppName) {}

COrvoFrameApp::~COrvoFrameApp() { CloseSplash(); }

const CMessageMap& COrvoFrameApp::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<COrvoFrameApp>(&CWinApp::GetThisMessageMap())
        .OnCommandRange(ID_LANGUAGE_FIRST, ID_LANGUAGE_LAST, &COrvoFrameApp::OnLanguage)
        .OnUpdateRange(ID_LANGUAGE_FIRST, ID_LANGUAGE_LAST, &COrvoFrameApp::OnUpdateLanguage);
    return map;
}

std::wstring COrvoFrameApp::LanguageIniPath() { return mdhost::GetDataFilePath(L"Language.ini"); }

bool COrvoFrameApp::SaveLanguageChoice(const std::wstring& name) { return m_languages.SaveChoice(name, LanguageIniPath()); }

void COrvoFrameApp::ReadLanguageChoice(std::wstring& name, std::wstring& shortName) {
    m_languages.ReadChoice(LanguageIniPath(), GetACP(), name, shortName);
}

CMainFrame* COrvoFrameApp::MainFrame() const { return static_cast<CMainFrame*>(m_pMainWnd); }

BOOL COrvoFrameApp::InitInstance() {
    SetMessageBoxTitle(L"Melodrift");
    const std::wstring& programFolder = mdhost::ProgramFolder();

    // Languages: discovery, then the choice, then its resources for everything that follows.
    m_languages.Discover(programFolder);
    m_oleInit = OleInitialize(nullptr);
    std::wstring name, shortName;
    ReadLanguageChoice(name, shortName);
    m_languages.MarkSelected(name);
    std::wstring languagePath = mdhost::ReadProfileString(LanguageIniPath(), L"Language", L"Path", L"", 260);
    if (!languagePath.empty()) {
        // Loaded as data: a language DLL brings resources, never code.
        m_languageModule = LoadLibraryExW(languagePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (m_languageModule) AfxSetResourceHandle(m_languageModule);
    }

    ParseOrvoCommandLine(m_lpCmdLine, m_cmdInfo);
    ApplyAssociationSwitches();
    if (m_cmdInfo.HasSwitch(L"nostart")) return FALSE;

    // One Melodrift: a later start hands its files to the running copy and
    // ends, unless the settings or "/new" ask for another copy.
    m_instance = std::make_unique<CSingleInstance>(mdhost::GetDataFilePath(L"config.ini"));
    if (!m_instance->First() && !m_cmdInfo.HasSwitch(L"new") && !AllowSeveral() &&
        m_instance->HandOver(CommandLineHandOver(), kHandOverTimeoutMs))
        return FALSE;

    m_splash = new CStartingDlg;
    if (m_splash->CreateSplash()) {
        m_splash->SetStatus(mdhost::HostString(IDS_LOADING));
        m_splash->ShowWindow(SW_SHOW);
        m_splash->UpdateWindow();
    }

    ISWQueryInterface* query = nullptr;
    if (SUCCEEDED(GetSWQueryInterface(&query))) SetSWQueryInterface(query);
    SetRegistryKey((std::wstring(L"Corvena\\") + kAppName).c_str());

    if (m_splash) m_splash->SetStatus(mdhost::HostString(IDS_CREATING_MAIN_FRAME));
    CMainFrame::Setup setup;
    setup.programFolder = programFolder;
    setup.configPath = mdhost::GetDataFilePath(L"config.ini");
    setup.languageShortName = mdhost::ReadProfileString(LanguageIniPath(), L"Language", L"ShortName", L"eng", 100);
    setup.languages = &m_languages.m_entries;
    setup.splash = m_splash;
    setup.restartInLanguage = [this](const LanguageEntry& language) {
        CLanguageList::SaveEntry(language, LanguageIniPath());
        m_restart = 1;
    };
    auto* frame = new CMainFrame(setup);
    m_pMainWnd = frame;
    HINSTANCE frameResources = mdhost::ResourceModuleFor(MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(4));
    HINSTANCE previous = AfxGetResourceHandle();
    AfxSetResourceHandle(frameResources);
    bool created = frame->LoadFrame(IDR_MAINFRAME, 0x00CF0000);
    AfxSetResourceHandle(previous);
    if (!created) {
        m_pMainWnd = nullptr;  // the frame deleted itself
        m_failedStartCode = m_restart ? 0 : 1;
        CloseSplash();
        return FALSE;
    }
    if (m_splash) m_splash->SetStatus(mdhost::HostString(IDS_CREATING_MAIN_MENU));
    frame->RestoreFrameState();
    frame->SetSplash(nullptr);
    CloseSplash();
    frame->ShowWindow(frame->ShowState());
    frame->UpdateWindow();
    m_instance->PublishFrame(frame->m_hWnd);

    OfferDefaultPlayer();
    OpenCommandLineFiles();
    return TRUE;
}

void COrvoFrameApp::CloseSplash() {
    if (!m_splash) return;
    if (m_splash->m_hWnd) {
        m_splash->ShowWindow(SW_HIDE);
        m_splash->DestroyWindow();
    }
    delete m_splash;
    m_splash = nullptr;
}

void COrvoFrameApp::ApplyAssociationSwitches() {
    CDefaultPlayer player;
    if (m_cmdInfo.HasSwitch(L"reg")) {
        if (!player.IsDefault()) player.MakeDefault();
    } else if (m_cmdInfo.HasSwitch(L"unreg")) {
        if (player.IsDefault()) player.RemoveAssociation();
    }
}

bool COrvoFrameApp::AllowSeveral() const {
    const std::wstring value =
        mdhost::ReadProfileString(mdhost::GetDataFilePath(L"config.ini"), kFrameSection.c_str(), L"AllowSeveral", L"", 10);
    return fw::EqualsNoCase(value, L"Yes") || fw::EqualsNoCase(value, L"On") || value == L"1";
}

mdhost::HandOver COrvoFrameApp::CommandLineHandOver() const {
    mdhost::HandOver handOver;
    handOver.addOnly = m_cmdInfo.HasSwitch(L"add");
    // Full names: the running copy has a working folder of its own.
    for (const std::wstring& file : m_cmdInfo.m_files) {
        std::wstring full(32768, L'\0');
        const DWORD length = GetFullPathNameW(file.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0 || length >= full.size()) continue;
        full.resize(length);
        handOver.files.push_back(std::move(full));
    }
    return handOver;
}

void COrvoFrameApp::OfferDefaultPlayer() {
    CMainFrame* frame = MainFrame();
    std::wstring check = frame->Settings().Read(kFrameSection, L"CheckDefaultPlayer", L"", 10);
    if (fw::EqualsNoCase(check, L"No")) return;
    CDefaultPlayer player;
    if (player.IsDefault()) return;
    CDefaultPlayerDlg dlg(frame->Services().Application(), frame);
    if (dlg.DoModal() == IDYES) player.MakeDefault();
}

void COrvoFrameApp::OpenCommandLineFiles() {
    if (m_cmdInfo.m_files.IsEmpty()) return;
    CMainFrame* frame = MainFrame();
    IApplication* app = frame->Services().Application();
    std::wstring command = BuildOpenCommand(m_cmdInfo.m_files, m_cmdInfo.HasSwitch(L"add") ? L"add" : L"open");
    std::wstring ask = frame->Settings().Read(kFrameSection, L"AutoOpen_AskMe", L"", 10);
    if (ask.empty() || fw::EqualsNoCase(ask, L"Yes")) {
        CChooseModuleMusicDlg dlg(app, frame);
        if (dlg.DoModal() != IDOK) return;
    }
    std::wstring module = frame->Settings().Read(kFrameSection, L"AutoOpen", L"Vocalith", 260);
    app->ActivateModule(module.c_str());
    frame->Services().ModuleCom()->SendMessage(module.c_str(), ORVO_MAIN_FRAME_NAME, command.c_str());
}

int COrvoFrameApp::ExitInstance() {
    int code = m_failedStartCode ? m_failedStartCode : CWinApp::ExitInstance();
    m_instance.reset();   // the mutex goes before a restart starts the next copy
    if (SUCCEEDED(m_oleInit)) OleUninitialize();
    m_oleInit = E_FAIL;
    if (m_restart) {
        std::wstring exe = fw::GetModulePath(nullptr);
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    return code;
}

BOOL COrvoFrameApp::OnIdle(LONG count) {
    if (CWinApp::OnIdle(count)) return TRUE;
    if (CMainFrame* frame = MainFrame(); frame && frame->m_hWnd) frame->Registry().OnIdle();
    return FALSE;
}

void COrvoFrameApp::OnLanguage(UINT id) {
    int index = static_cast<int>(id - ID_LANGUAGE_FIRST);
    if (index < 0 || index >= m_languages.m_entries.GetSize()) return;
    const LanguageEntry& entry = m_languages.m_entries[index];
    // The entry itself, also when two entries bear the same name.
    CLanguageList::SaveEntry(entry, LanguageIniPath());
    if (entry.Selected) return;
    if (AfxPtMessageBox(mdhost::HostString(IDS_RESTART_QUESTION).c_str(), MB_YESNO | MB_ICONQUESTION, 0) == IDYES) {
        m_restart = 1;
        if (CMainFrame* frame = MainFrame()) {
            frame->m_bForceClose = true;
            frame->PostMessage(WM_CLOSE);
        }
    }
}

void COrvoFrameApp::OnUpdateLanguage(CCmdUI* ui) {
    int index = static_cast<int>(ui->m_nID - ID_LANGUAGE_FIRST);
    bool valid = index >= 0 && index < m_languages.m_entries.GetSize();
    ui->Enable(valid);
    ui->SetCheck(valid && m_languages.m_entries[index].Selected ? 1 : 0);
}
