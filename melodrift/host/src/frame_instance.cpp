// CMainFrame: what reaches the running Melodrift from outside its own
// windows: the files a later start hands over, and the media keys.
#include "main_frame.h"

#include "host/host_interfaces.h"

namespace {

struct MediaKey {
    UINT virtualKey;
    int appCommand;   // also the hot key's id
};
constexpr MediaKey kMediaKeys[] = {
    {VK_MEDIA_PLAY_PAUSE, APPCOMMAND_MEDIA_PLAY_PAUSE},
    {VK_MEDIA_STOP, APPCOMMAND_MEDIA_STOP},
    {VK_MEDIA_NEXT_TRACK, APPCOMMAND_MEDIA_NEXTTRACK},
    {VK_MEDIA_PREV_TRACK, APPCOMMAND_MEDIA_PREVIOUSTRACK},
};

}  // namespace

void CMainFrame::TakeHandOver(mdhost::HandOver handOver) {
    // Bounded: a flood of starts keeps the latest few.
    if (m_handOvers.size() >= 64) m_handOvers.erase(m_handOvers.begin());
    m_handOvers.push_back(std::move(handOver));
    PostMessage(kHandOverMessage);
}

void CMainFrame::BringToFront() {
    if (!IsWindowVisible() || IsIconic(m_hWnd)) {
        OnZoom();   // back from the tray or the task bar, as the tray's Restore does it
        return;
    }
    SetForegroundWindow(m_hWnd);
}

void CMainFrame::HoldMediaKeys() {
    for (std::size_t i = 0; i < std::size(kMediaKeys); ++i)
        if (!(m_mediaKeys & (1u << i)) && RegisterHotKey(m_hWnd, kMediaKeys[i].appCommand, 0, kMediaKeys[i].virtualKey))
            m_mediaKeys |= 1u << i;
}

void CMainFrame::ReleaseMediaKeys() {
    for (std::size_t i = 0; i < std::size(kMediaKeys); ++i)
        if (m_mediaKeys & (1u << i)) UnregisterHotKey(m_hWnd, kMediaKeys[i].appCommand);
    m_mediaKeys = 0;
}

bool CMainFrame::OnMediaCommand(int appCommand) {
    UINT command = 0;
    switch (appCommand) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
        command = m_player && m_player->GetState() == ORVO_PLAYER_PLAYING ? ORVO_CMD_PAUSE : ORVO_CMD_PLAY;
        break;
    case APPCOMMAND_MEDIA_PLAY: command = ORVO_CMD_PLAY; break;
    case APPCOMMAND_MEDIA_PAUSE: command = ORVO_CMD_PAUSE; break;
    case APPCOMMAND_MEDIA_STOP: command = ORVO_CMD_STOP; break;
    case APPCOMMAND_MEDIA_NEXTTRACK: command = ORVO_CMD_NEXT; break;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK: command = ORVO_CMD_PREVIOUS; break;
    default: return false;
    }
    // The keys belong to the player, whichever module is in front.
    if (CModuleEntry* player = m_registry.FindByName(L"Vocalith"); player && player->Window)
        ::SendMessageW(player->Window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    RefreshCommandStates();
    return true;
}
