// The frame's sliders (position, volume, balance, equalizer) and its status
// line, and what the host interfaces and the surround dialog ask of them.
#include "main_frame.h"

#include "frame_effects.h"
#include "host_resources.h"
#include "patinex/patinex.h"

#include <commctrl.h>

#include <algorithm>

namespace {
using namespace mdframe;

constexpr UINT kPositionToModule = 1035;
}  // namespace

// ---- Sliders ------------------------------------------------------------------------

void CMainFrame::UpdateSliderTooltip(UINT command, HWND slider) {
    int value = static_cast<int>(::SendMessageW(slider, TBM_GETPOS, 0, 0));
    int low = static_cast<int>(::SendMessageW(slider, TBM_GETRANGEMIN, 0, 0));
    int high = static_cast<int>(::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0));
    std::wstring text;
    if (command == kCmdPosition) text = PercentTooltip(mdhost::HostString(328), value, low, high);
    else if (command == kCmdVolume) text = PercentTooltip(mdhost::HostString(329), value, low, high);
    else if (command == kCmdBalance)
        text = BalanceTooltip(mdhost::HostString(330), mdhost::HostString(331), mdhost::HostString(332), value, low, high);
    else return;
    ::SendMessageW(slider, PTM_SETTOOLTIP, reinterpret_cast<WPARAM>(L""), reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::OnScroll(HWND slider, int code) {
    UINT id = static_cast<UINT>(::GetDlgCtrlID(slider));
    int row = RowOfControlId(id);
    if (row < 0) return;
    UINT command = ControlTable()[row].command;
    int value = static_cast<int>(::SendMessageW(slider, TBM_GETPOS, 0, 0));
    if (command >= kCmdEqualizerFirst && command <= kCmdEqualizerLast) {
        value = static_cast<int>(::SendMessageW(slider, WM_USER, 0, 0));
        m_controls.ForEach(command, [&](HWND h) {
            if (h != slider) ::SendMessageW(h, 0x0405, 1, value);
        });
        SaveEqualizerFromControls();
        if (m_player) ApplyEqualizerSettings(*m_player, m_eq);
        return;
    }
    if (command == kCmdVolume || command == kCmdBalance) {
        if (code != TB_THUMBTRACK && code != TB_THUMBPOSITION && code != TB_ENDTRACK) return;
        if (m_player) {
            if (command == kCmdVolume) m_player->SetVolume(value);
            else m_player->SetBalance(value);
        }
        m_controls.ForEach(command, [&](HWND h) {
            if (h != slider) ::SendMessageW(h, TBM_SETPOS, TRUE, value);
            UpdateSliderTooltip(command, h);
        });
        return;
    }
    if (command == kCmdPosition && (code == TB_THUMBPOSITION || code == TB_ENDTRACK)) {
        m_position = value;
        m_controls.ForEach(command, [&](HWND h) {
            if (h != slider) ::SendMessageW(h, TBM_SETPOS, TRUE, value);
            UpdateSliderTooltip(command, h);
        });
        if (CModuleEntry* owner = m_registry.FindLastPlayerOwner())
            ::SendMessageW(owner->Window, WM_COMMAND, kPositionToModule, value);
    }
}

void CMainFrame::OnTimerTick(UINT_PTR id) {
    if (id == kStatusTimer) {
        EnterCriticalSection(&m_statusLock);
        KillTimer(kStatusTimer);
        ShowStatusNow(m_statusText);
        LeaveCriticalSection(&m_statusLock);
        return;
    }
    EnterCriticalSection(&m_lock);
    HWND captured = ::GetCapture();
    m_controls.ForEach(kCmdPosition, [&](HWND h) {
        if (h == captured) return;
        ::SendMessageW(h, TBM_SETPOS, TRUE, m_position);
        UpdateSliderTooltip(kCmdPosition, h);
    });
    LeaveCriticalSection(&m_lock);
}

// ---- Status line --------------------------------------------------------------------

void CMainFrame::ShowStatusNow(const std::wstring& text) {
    m_controls.ForEach(kCmdStatusBar, [&](HWND h) { ::SetWindowTextW(h, text.c_str()); });
}

void CMainFrame::SetStatusText(const wchar_t* text) {
    EnterCriticalSection(&m_statusLock);
    m_statusText = text ? text : L"";
    ShowStatusNow(m_statusText);
    LeaveCriticalSection(&m_statusLock);
}

void CMainFrame::ShowStatusText(const wchar_t* text, UINT milliseconds) {
    if (!text || !*text) return;
    EnterCriticalSection(&m_statusLock);
    ShowStatusNow(text);
    if (m_hWnd) SetTimer(kStatusTimer, milliseconds);
    LeaveCriticalSection(&m_statusLock);
}

// ---- What the host interfaces ask of the frame ---------------------------------------

void CMainFrame::OnPlaybackStarted() {
    if (m_hWnd) SetTimer(kPositionTimer, 100);
    RefreshCommandStates();
}

void CMainFrame::OnPlaybackStopped() {
    SetStatusText(L"");
    EnterCriticalSection(&m_lock);
    m_position = 0;
    m_controls.ForEach(kCmdPosition, [&](HWND h) {
        ::SendMessageW(h, TBM_SETPOS, TRUE, 0);
        UpdateSliderTooltip(kCmdPosition, h);
    });
    LeaveCriticalSection(&m_lock);
    if (m_hWnd) KillTimer(kPositionTimer);
    RefreshCommandStates();
}

bool CMainFrame::GetVolumeSlider(int& position) {
    _MAINFRAME_CONTROL_* c = m_controls.Controls(kCmdVolume);
    if (!c || !c->control->m_hWnd) return false;
    position = static_cast<int>(::SendMessageW(c->control->m_hWnd, TBM_GETPOS, 0, 0));
    return true;
}

bool CMainFrame::GetBalanceSlider(int& position) {
    _MAINFRAME_CONTROL_* c = m_controls.Controls(kCmdBalance);
    if (!c || !c->control->m_hWnd) return false;
    position = static_cast<int>(::SendMessageW(c->control->m_hWnd, TBM_GETPOS, 0, 0));
    return true;
}

void CMainFrame::SetVolumeSliders(int position) {
    m_controls.ForEach(kCmdVolume, [&](HWND h) {
        ::SendMessageW(h, TBM_SETPOS, TRUE, position);
        UpdateSliderTooltip(kCmdVolume, h);
    });
}

void CMainFrame::SetBalanceSliders(int position) {
    m_controls.ForEach(kCmdBalance, [&](HWND h) {
        ::SendMessageW(h, TBM_SETPOS, TRUE, position);
        UpdateSliderTooltip(kCmdBalance, h);
    });
}

HFONT CMainFrame::GetReferenceFont() {
    _MAINFRAME_CONTROL_* status = m_controls.Controls(kCmdStatusBar);
    while (status && status->next) status = status->next;  // the first of the skin's status lines
    if (!status || !status->control || !status->control->m_hWnd) return nullptr;
    return reinterpret_cast<HFONT>(::SendMessageW(status->control->m_hWnd, WM_GETFONT, 0, 0));
}

// ---- What the surround dialog asks of the frame ---------------------------------------

int CMainFrame::GetPositionSlider() {
    _MAINFRAME_CONTROL_* c = m_controls.Controls(kCmdPosition);
    if (c && c->control && c->control->m_hWnd)
        return static_cast<int>(::SendMessageW(c->control->m_hWnd, TBM_GETPOS, 0, 0));
    EnterCriticalSection(&m_lock);
    int position = m_position;
    LeaveCriticalSection(&m_lock);
    return position;
}

void CMainFrame::SetPositionSlider(int position) {
    // As if the user had put the slider there: the sliders show it and the player's owner goes there.
    position = std::clamp(position, 0, static_cast<int>(ORVO_POSITION_RANGE));
    EnterCriticalSection(&m_lock);
    m_position = position;
    m_controls.ForEach(kCmdPosition, [&](HWND h) {
        ::SendMessageW(h, TBM_SETPOS, TRUE, position);
        UpdateSliderTooltip(kCmdPosition, h);
    });
    LeaveCriticalSection(&m_lock);
    if (CModuleEntry* owner = m_registry.FindLastPlayerOwner())
        ::SendMessageW(owner->Window, WM_COMMAND, kPositionToModule, position);
}

void CMainFrame::SetSurroundSwitch(bool on) {
    m_surroundOn = on;
    SetChecks(kCmdSurroundShow, on);
    // Kept at once: the player options are read again when the frame state is restored.
    m_settings.Write(L"PLAYER", L"RezodovaveTurn", on ? L"On" : L"Off");
}
