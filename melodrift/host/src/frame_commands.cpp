// The frame's command map, its commands and their states, and the skin switch.
#include "main_frame.h"

#include "../res/resource.h"
#include "frame_effects.h"
#include "fw/strutil.h"
#include "fw/win/module.h"
#include "command_line.h"
#include "host_resources.h"
#include "paths.h"
#include "patinex/patinex.h"
#include "surround/surround_dialogs.h"
#include "utilon/utilon.h"

#include <commctrl.h>

#include <algorithm>
#include <shellapi.h>

namespace {
using namespace mdframe;

constexpr UINT kFrameworkStatus = 0x0362;  // a status text from the framework (WM_SETMESSAGESTRING)

}  // namespace

const CMessageMap& CMainFrame::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CMainFrame>(&CMDIFrameWnd::GetThisMessageMap())
        .OnCommandRange(kCmdPrev, kCmdNext, &CMainFrame::OnTransport)
        .OnCommandRange(kCmdShuffle, kCmdRepeat, &CMainFrame::OnShuffleRepeat)
        .OnCommand(kCmdRecord, &CMainFrame::OnRecord)
        .OnCommand(kCmdEqualizerTurn, &CMainFrame::OnEqualizerTurn)
        .OnCommand(kCmdEqualizerPreset, &CMainFrame::OnEqualizerPresets)
        .OnCommand(kCmdPlayerPanel, &CMainFrame::OnPlayerPanel)
        .OnCommand(ID_VIEW_PLAYER_BAR, &CMainFrame::OnPlayerPanel)
        .OnCommand(kCmdMinimize, &CMainFrame::OnMinimize)
        .OnUpdate(kCmdMinimize, &CMainFrame::OnUpdateMinimize)
        .OnCommand(kCmdZoom, &CMainFrame::OnZoom)
        .OnCommand(kCmdClose, &CMainFrame::OnCloseCommand)
        .OnCommand(ID_APP_EXIT_CMD, &CMainFrame::OnCloseCommand)
        .OnCommandRange(kCmdMenuFirst, kCmdMenuLast, &CMainFrame::OnMenuButton)
        .OnCommand(kCmdSurroundShow, &CMainFrame::OnSurroundSettings)
        .OnCommandRange(ID_GOTO_FIRST, ID_GOTO_LAST, &CMainFrame::OnGoTo)
        .OnUpdateRange(ID_GOTO_FIRST, ID_GOTO_LAST, &CMainFrame::OnUpdateGoTo)
        .OnCommandRange(ID_SKIN_FIRST, ID_SKIN_LAST_LISTED, &CMainFrame::OnSkin)
        .OnUpdateRange(ID_SKIN_FIRST, ID_SKIN_LAST_LISTED, &CMainFrame::OnUpdateSkin)
        .OnCommand(ID_HELP_TOPICS, &CMainFrame::OnHelpTopics)
        .OnCommand(ID_HELP_ABOUT, &CMainFrame::OnAbout)
        .OnCommandRange(ID_HELP_TUTORIALS, ID_HELP_COMMUNITY, &CMainFrame::OnWebPage)
        .OnUpdateRange(ID_HELP_TUTORIALS, ID_HELP_COMMUNITY, &CMainFrame::OnUpdateWebPage)
        .OnCommandRange(366, 367, &CMainFrame::OnZoomAlias)
        .OnCommand(214, &CMainFrame::OnIgnored)
        .OnCommand(13045, &CMainFrame::OnIgnored)
        .OnCommand(11001, &CMainFrame::OnIgnored)
        .OnCommand(11002, &CMainFrame::OnIgnored)
        .OnMessage(kTrayMessage, &CMainFrame::OnTrayNotification);
    return map;
}

BOOL CMainFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    // The player's owner reports where playback stands; the position timer shows it.
    if (id == ORVO_CMD_POSITION && HIWORD(wParam) == 0) {
        EnterCriticalSection(&m_lock);
        m_position = static_cast<int>(std::clamp<LPARAM>(lParam, 0, ORVO_POSITION_RANGE));
        LeaveCriticalSection(&m_lock);
        return TRUE;
    }
    // Every instance of a table row acts as the row's command.
    int row = RowOfControlId(id);
    if (row >= 0 && lParam) {
        UINT command = ControlTable()[row].command;
        return CMDIFrameWnd::OnCommand(MAKEWPARAM(command, HIWORD(wParam)), lParam);
    }
    // Commands 14000 to 14999 that 236 + order would never reach; the range 236-266 is the module buttons'.
    return CMDIFrameWnd::OnCommand(wParam, lParam);
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam) {
            OnScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kPositionTimer || wParam == kStatusTimer) {
            OnTimerTick(wParam);
            return 0;
        }
        break;
    case WM_GETMINMAXINFO: {
        LRESULT r = CMDIFrameWnd::WindowProc(message, wParam, lParam);
        RECT border = {0, 0, 0, 0};
        AdjustWindowRect(&border, WS_DLGFRAME, FALSE);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = m_minSize.cx + (border.right - border.left);
        info->ptMinTrackSize.y = m_minSize.cy + (border.bottom - border.top);
        return r;
    }
    case WM_SIZE: {
        LRESULT r = CMDIFrameWnd::WindowProc(message, wParam, lParam);
        std::wstring tip = mdhost::HostString(wParam == SIZE_MAXIMIZED ? 315 : 301);
        m_controls.ForEach(kCmdZoom, [&](HWND h) {
            ::SendMessageW(h, PTM_SETTOOLTIP, reinterpret_cast<WPARAM>(L""), reinterpret_cast<LPARAM>(tip.c_str()));
            ::SetWindowTextW(h, tip.c_str());
        });
        return r;
    }
    case kFrameworkStatus:
        if (lParam) ShowStatusText(reinterpret_cast<const wchar_t*>(lParam), 1000);
        return 0;
    case WM_NOTIFY:
    case WM_DEVICECHANGE:
        if (CModuleEntry* active = m_registry.FindActive(); active && active->Window)
            ::SendMessageW(active->Window, message, wParam, lParam);
        break;
    case WM_NCLBUTTONDOWN:
        if (IsZoomed(m_hWnd)) return 0;
        break;
    case WM_SYSCOMMAND:
        break;
    case WM_COMMAND:
        // System commands chosen from the merged menu go to the active module.
        if (HIWORD(wParam) == 0 && lParam == 0 && (LOWORD(wParam) & 0xF000) == 0xF000) {
            if (CModuleEntry* active = m_registry.FindActive(); active && active->Window) {
                ::SendMessageW(active->Window, WM_SYSCOMMAND, LOWORD(wParam), 0);
                return 0;
            }
        }
        break;
    case WM_COPYDATA: {
        // A later start's files: taken here, acted on once the sender has its answer.
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        mdhost::HandOver handOver;
        if (!data || data->dwData != mdhost::kHandOverTag || !mdhost::DecodeHandOver(data->lpData, data->cbData, handOver))
            return FALSE;
        TakeHandOver(std::move(handOver));
        return TRUE;
    }
    case kHandOverMessage: {
        std::vector<mdhost::HandOver> taken;
        taken.swap(m_handOvers);
        for (mdhost::HandOver& handOver : taken) {
            if (handOver.files.empty()) {
                BringToFront();
                continue;
            }
            CArray<std::wstring> files;
            for (std::wstring& file : handOver.files) files.Add(std::move(file));
            const std::wstring command = BuildOpenCommand(files, handOver.addOnly ? L"add" : L"open");
            // The player in front; activating it again would reload its skin for nothing.
            const CModuleEntry* active = m_registry.FindActive();
            if (!handOver.addOnly && !(active && std::wstring(active->Name()) == L"Vocalith"))
                m_services.Application()->ActivateModule(L"Vocalith");
            m_services.ModuleCom()->SendMessage(L"Vocalith", ORVO_MAIN_FRAME_NAME, command.c_str());
        }
        return 0;
    }
    case WM_APPCOMMAND:
        if (OnMediaCommand(GET_APPCOMMAND_LPARAM(lParam))) return TRUE;
        break;
    case WM_HOTKEY:
        if (OnMediaCommand(static_cast<int>(wParam))) return 0;
        break;
    case WM_DESTROY:
        ReleaseMediaKeys();
        KillTimer(kPositionTimer);
        KillTimer(kStatusTimer);
        if (m_surround && m_surround->m_hWnd) m_surround->DestroyWindow();
        m_surround.reset();
        DestroyModuleButtons();
        m_controls.DestroyControls();
        m_controls.DestroyPanels();
        if (m_hAccelTable) DestroyAcceleratorTable(m_hAccelTable);
        m_hAccelTable = nullptr;
        break;
    default:
        break;
    }
    return CMDIFrameWnd::WindowProc(message, wParam, lParam);
}

// ---- Transport and switches ------------------------------------------------------

void CMainFrame::OnTransport(UINT id) {
    if (id % 5 != 0) return;
    if (id == kCmdPlay) {
        CModuleEntry* active = m_registry.FindActive();
        CModuleEntry* owner = m_registry.FindLastPlayerOwner();
        if (active && !owner) {
            ::SendMessageW(active->Window, WM_USER + 10, 0, 0);
            active->PlayerOwner = 1;
        } else if (active && owner && owner != active && active->CanPlay) {
            if (m_player) m_player->Stop(1);
            ::SendMessageW(owner->Window, WM_USER + 12, 0, 0);
            owner->PlayerOwner = 0;
            ::SendMessageW(active->Window, WM_USER + 10, 0, 0);
            active->PlayerOwner = 1;
        }
    }
    if (CModuleEntry* owner = m_registry.FindLastPlayerOwner()) {
        ::SendMessageW(owner->Window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        if (id == kCmdStop) owner->PlayerOwner = 0;
    }
    RefreshCommandStates();
}

void CMainFrame::OnShuffleRepeat(UINT id) {
    if (id == kCmdShuffle) {
        m_shuffle = !m_shuffle;
        SetChecks(kCmdShuffle, m_shuffle);
        m_services.SetShuffle(m_shuffle);
    } else if (id == kCmdRepeat) {
        m_repeat = !m_repeat;
        SetChecks(kCmdRepeat, m_repeat);
        m_services.SetRepeat(m_repeat);
    }
}

void CMainFrame::OnRecord() {
    if (CModuleEntry* active = m_registry.FindActive(); active && active->Window)
        ::SendMessageW(active->Window, WM_COMMAND, MAKEWPARAM(kCmdRecord, 0), 0);
}

void CMainFrame::OnEqualizerTurn() {
    m_eq.on = !m_eq.on;
    SetChecks(kCmdEqualizerTurn, m_eq.on);
    SaveEqualizerFromControls();
    if (m_player) ApplyEqualizerSettings(*m_player, m_eq);
}

void CMainFrame::OnEqualizerPresets() {
    SaveEqualizerFromControls();
    HMENU menu = CreatePopupMenu();
    for (const EqualizerPresetMenuItem& item : BuildEqualizerPresetMenu(m_eqPresets, m_eq.positions)) {
        if (item.separator) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else AppendMenuW(menu, MF_STRING | (item.checked ? MF_CHECKED : 0u), item.id, item.text.c_str());
    }
    POINT at = {};
    GetCursorPos(&at);
    mdframe::PtOwnerDraw(menu, m_hWnd, true);
    UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0,
                                                   m_hWnd, nullptr));
    mdframe::PtOwnerDraw(menu, m_hWnd, false);
    DestroyMenu(menu);
    if (chosen) ChooseEqualizerPreset(chosen);
}

bool CMainFrame::ChooseEqualizerPreset(UINT command) {
    const CEqualizerPreset* preset = EqualizerPresetForCommand(m_eqPresets, command);
    if (!preset) return false;
    for (int band = 0; band < CEqualizerPreset::kValueCount; ++band) m_eq.positions[band] = preset->GetValue(band);
    ApplyEqualizerToControls();
    if (m_player) ApplyEqualizerSettings(*m_player, m_eq);
    return true;
}

void CMainFrame::OnPlayerPanel() {
    m_playerPanel = !m_playerPanel;
    SetChecks(kCmdPlayerPanel, !m_playerPanel);
    LayOutFrame();
}

void CMainFrame::OnMinimize() {
    StorePlacement(true);
    ShowWindow(SW_MINIMIZE);
    ShowWindow(SW_HIDE);
}

void CMainFrame::OnUpdateMinimize(CCmdUI* ui) { ui->Enable(IsWindowVisible()); }

void CMainFrame::OnZoom() {
    if (!IsWindowVisible() || IsIconic(m_hWnd)) {
        // Back from the tray (or the task bar) to the state the frame had.
        ShowWindow(SW_RESTORE);
        ShowWindow(SW_SHOW);
        if (IsZoomed(m_hWnd)) ModifyStyle(WS_OVERLAPPEDWINDOW, 0);
        SetForegroundWindow(m_hWnd);
        LayOutFrame();
        return;
    }
    if (!IsZoomed(m_hWnd)) {
        ModifyStyle(WS_OVERLAPPEDWINDOW, 0);
        ShowWindow(SW_SHOWMAXIMIZED);
    } else {
        ModifyStyle(0, WS_OVERLAPPEDWINDOW);
        ModifyStyle(WS_CAPTION, 0);
        ShowWindow(SW_SHOWNORMAL);
    }
}

void CMainFrame::OnZoomAlias(UINT) { SendMessage(WM_COMMAND, MAKEWPARAM(kCmdZoom, 0), 0); }

void CMainFrame::OnIgnored() {}

void CMainFrame::OnCloseCommand() { PostMessage(WM_CLOSE); }

void CMainFrame::OnMenuButton(UINT id) {
    HMENU popup = MenuOfButton(id);
    _MAINFRAME_CONTROL_* first = m_controls.Controls(id - (id - kCmdMenuFirst) % 10);
    while (first && first->next) first = first->next;
    if (!popup || !first || !first->control->m_hWnd) return;
    RECT r = first->control->GetWindowRect();
    UpdateMenuPopup(popup, true);
    mdframe::PtOwnerDraw(popup, m_hWnd, true);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, r.left, r.bottom, 0, m_hWnd, nullptr);
    mdframe::PtOwnerDraw(popup, m_hWnd, false);
}

void CMainFrame::OnSurroundSettings() {
    if (!m_surround) return;
    // The button's check follows the switch, not the click.
    SetChecks(kCmdSurroundShow, m_surroundOn);
    m_surround->DoModal();
    std::uint32_t support = m_surround->Controller().SupportFlags();
    m_surroundOn = m_surround->Controller().SurroundOn();
    m_surround->SaveSettings();
    // A fresh dialog object rereads the presets and the settings, and keeps the support found.
    m_surround = std::make_unique<CSurroundDlg>(*m_player, m_surroundSettingsPath, m_surroundPresetsPath, this, this);
    m_surround->SetSurroundOn(m_surroundOn);
    m_surround->LoadSettings(false, support);
    m_surround->Controller().SetSupportFlags(support);
    SetChecks(kCmdSurroundShow, m_surroundOn);
}

void CMainFrame::OnGoTo(UINT id) { m_registry.ActivateModule(static_cast<int>(id - ID_GOTO_FIRST)); }

void CMainFrame::OnUpdateGoTo(CCmdUI* ui) {
    ui->SetCheck(m_registry.GetActiveOrder() == static_cast<int>(ui->m_nID - ID_GOTO_FIRST) ? 1 : 0);
}

void CMainFrame::OnSkin(UINT id) {
    if (id > ID_SKIN_LAST_HANDLED) return;
    SwitchSkin(static_cast<int>(id - ID_SKIN_FIRST));
}

void CMainFrame::OnUpdateSkin(CCmdUI* ui) {
    ui->Enable(ui->m_nID <= ID_SKIN_LAST_HANDLED);
    ui->SetCheck(static_cast<int>(ui->m_nID - ID_SKIN_FIRST) == m_registry.CurrentSkin() ? 1 : 0);
}

void CMainFrame::OnHelpTopics() {
    std::wstring help = mdhost::HelpFilePath(m_setup.programFolder);
    if (GetFileAttributesW(help.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Message(fw::Format(mdhost::HostString(IDS_HELP_MISSING).c_str(), help.c_str()), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_services.Application()->ShowHelp();
}

void CMainFrame::OnAbout() {
    if (mdframe::ShowAboutBox(m_setup.programFolder, m_hWnd)) return;
    // Without the media-info library: the product's name and version.
    Message(fw::Format(m_menuTexts.aboutFormat.c_str(), L"Melodrift") + L"\n\nMelodrift 4.0.96", MB_OK | MB_ICONINFORMATION);
}

std::wstring CMainFrame::WebPageOf(UINT id) const {
    if (id != ID_HELP_TUTORIALS && id != ID_HELP_COMMUNITY) return {};
    return mdhost::ReadOnlineAddress(m_setup.programFolder, id == ID_HELP_TUTORIALS ? L"Tutorials" : L"Community");
}

void CMainFrame::OnWebPage(UINT id) {
    std::wstring address = WebPageOf(id);
    if (!address.empty()) ShellExecuteW(m_hWnd, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Without an address the item is not offered.
void CMainFrame::OnUpdateWebPage(CCmdUI* ui) { ui->Enable(!WebPageOf(ui->m_nID).empty()); }

LRESULT CMainFrame::OnTrayNotification(WPARAM wParam, LPARAM lParam) { return m_tray.OnTrayNotification(wParam, lParam); }

// ---- Command states ----------------------------------------------------------------

void CMainFrame::RefreshCommandStates() {
    CModuleEntry* owner = m_registry.FindLastPlayerOwner();
    CModuleEntry* active = m_registry.FindActive();
    CModuleEntry* decides = owner ? owner : active;
    bool canPlay = decides && decides->CanPlay;
    int state = m_player ? m_player->GetState() : 0;
    bool playing = canPlay && (state == 0 || state == 1);
    for (UINT command : {kCmdPrev, kCmdBackward, kCmdPause, kCmdStop, kCmdForward, kCmdNext, kCmdPosition})
        m_controls.ForEach(command, [&](HWND h) { ::EnableWindow(h, playing); });
    for (UINT command : {kCmdPlay, kCmdVolume, kCmdBalance})
        m_controls.ForEach(command, [&](HWND h) { ::EnableWindow(h, canPlay); });
    for (UINT command : {kCmdShuffle, kCmdRepeat}) m_controls.ForEach(command, [&](HWND h) { ::EnableWindow(h, TRUE); });
    CModuleEntry* recorder = m_registry.FindRecorderOwner();
    if (!recorder) recorder = active;
    bool canRecord = recorder && recorder->CanRecord;
    m_controls.ForEach(kCmdRecord, [&](HWND h) { ::EnableWindow(h, canRecord); });

    // A Play and a Pause button on the same spot take turns.
    for (_MAINFRAME_CONTROL_* play = m_controls.Controls(kCmdPlay); play; play = play->next)
        for (_MAINFRAME_CONTROL_* pause = m_controls.Controls(kCmdPause); pause; pause = pause->next) {
            if (!m_controls.IsPlaced(play->control->m_hWnd) || !m_controls.IsPlaced(pause->control->m_hWnd)) continue;
            RECT a = play->control->GetWindowRect(), b = pause->control->GetWindowRect();
            if (a.left != b.left || a.top != b.top) continue;
            play->control->ShowWindow(state != 0 ? SW_SHOWNA : SW_HIDE);
            pause->control->ShowWindow(state == 0 ? SW_SHOWNA : SW_HIDE);
        }
}

// ---- Skin switch ---------------------------------------------------------------------

void CMainFrame::SwitchSkin(int index) {
    if (index < 0 || index >= m_registry.Skins().GetSize()) return;
    SaveEqualizerFromControls();
    SaveEqualizerBands(m_setup.configPath, m_eq);
    EnterCriticalSection(&m_lock);
    int previous = m_registry.CurrentSkin();
    const std::wstring path = m_registry.Skins()[index].Path;
    bool ok = SUCCEEDED(LoadStandardSkin(path.c_str()));
    if (ok) {
        m_registry.SetCurrentSkin(index);
        ok = LayOutCurrentSkin();
    }
    if (!ok) {
        // Back to the skin that worked.
        bool back = previous >= 0 && SUCCEEDED(LoadStandardSkin(m_registry.Skins()[previous].Path.c_str()));
        if (back) {
            m_registry.SetCurrentSkin(previous);
            back = LayOutCurrentSkin();
        }
        if (!back) {
            LeaveCriticalSection(&m_lock);
            if (m_setup.exitProcess) {
                m_setup.exitProcess(1);
                return;
            }
            ExitProcess(1);
        }
    }
    CModuleEntry* active = m_registry.FindActive();
    if (active && active->OrvoLoadSkin) active->OrvoLoadSkin(active->Window, 0);
    LeaveCriticalSection(&m_lock);
    if (active) m_registry.ActivateEntry(active);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
    if (!ok) Message(L"Can't load skin: " + path, MB_OK | MB_ICONEXCLAMATION);
}

const enXml* CMainFrame::GetSkinDocument() {
    enXml* root = nullptr;
    if (m_registry.CurrentSkin() < 0 || FAILED(GetSkinXMLRoot(this, &root))) return nullptr;
    return root;
}
