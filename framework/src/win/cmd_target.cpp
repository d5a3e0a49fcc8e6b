// Message maps, command targets and the command-update interface.
#include "fw/win/wnd.h"

// ===========================================================================
// Message maps and command targets
// ===========================================================================

const CMessageMap::Entry* CMessageMap::FindMessage(UINT message) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Message && e.message == message; });
}

const CMessageMap::Entry* CMessageMap::FindCommand(UINT id) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Command && e.HasId(id); });
}

const CMessageMap::Entry* CMessageMap::FindControl(UINT id, UINT code) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Control && e.code == code && e.HasId(id); });
}

const CMessageMap::Entry* CMessageMap::FindNotify(UINT id, UINT code) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Notify && e.code == code && e.HasId(id); });
}

const CMessageMap::Entry* CMessageMap::FindUpdate(UINT id) const {
    return Find([&](const Entry& e) { return e.kind == Kind::Update && e.HasId(id); });
}

const CMessageMap& CCmdTarget::GetThisMessageMap() {
    static const CMessageMap map(nullptr);
    return map;
}

bool CCmdTarget::OnCmdMsg(UINT id, int code, void* extra, bool queryOnly) {
    const CMessageMap& map = GetMessageMap();
    if (code == CN_UPDATE_COMMAND_UI) {
        const CMessageMap::Entry* e = map.FindUpdate(id);
        if (!e) return false;
        if (!queryOnly) e->onUpdate(this, static_cast<CCmdUI*>(extra));
        return true;
    }
    const CMessageMap::Entry* e = nullptr;
    if (code == CN_COMMAND) e = map.FindCommand(id);  // code 0 is also BN_CLICKED
    if (!e) e = map.FindControl(id, static_cast<UINT>(code));
    if (!e) return false;
    if (!queryOnly) e->onCommand(this, id);
    return true;
}

// ===========================================================================
// CCmdUI
// ===========================================================================

void CCmdUI::Enable(bool on) {
    m_bEnabled = on;
    m_bEnableChanged = true;
    if (m_hMenu) {
        EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    } else if (m_hWndOther) {
        // Disabling the control with the focus would leave the focus nowhere.
        if (!on && GetFocus() == m_hWndOther) {
            HWND parent = ::GetParent(m_hWndOther);
            if (parent) ::SendMessageW(parent, WM_NEXTDLGCTL, 0, FALSE);
        }
        ::EnableWindow(m_hWndOther, on);
    }
}

void CCmdUI::SetCheck(int check) {
    if (m_hMenu) {
        CheckMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
    } else if (m_hWndOther) {
        if (::SendMessageW(m_hWndOther, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)
            ::SendMessageW(m_hWndOther, BM_SETCHECK, static_cast<WPARAM>(check), 0);
    }
}

void CCmdUI::SetRadio(bool on) {
    if (m_hMenu) {
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE;
        if (!GetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &mii)) return;
        mii.fType = on ? (mii.fType | MFT_RADIOCHECK) : (mii.fType & ~static_cast<UINT>(MFT_RADIOCHECK));
        mii.fState = on ? (mii.fState | MFS_CHECKED) : (mii.fState & ~static_cast<UINT>(MFS_CHECKED));
        SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &mii);
    } else {
        SetCheck(on ? 1 : 0);
    }
}

void CCmdUI::SetText(const wchar_t* text) {
    if (!text) text = L"";
    if (m_hMenu) {
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_STRING;
        mii.dwTypeData = const_cast<wchar_t*>(text);
        SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &mii);
    } else if (m_hWndOther) {
        int len = GetWindowTextLengthW(m_hWndOther);
        std::wstring current(static_cast<std::size_t>(len) + 1, L'\0');
        GetWindowTextW(m_hWndOther, current.data(), len + 1);
        current.resize(static_cast<std::size_t>(len));
        if (current != text) SetWindowTextW(m_hWndOther, text);  // no flicker when unchanged
    }
}

bool CCmdUI::DoUpdate(CCmdTarget* target, bool disableIfNoHandler) {
    m_bEnableChanged = false;
    if (!target) return false;
    if (target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, false)) return true;
    if (disableIfNoHandler && !m_bEnableChanged) Enable(target->OnCmdMsg(m_nID, CN_COMMAND, nullptr, true));
    return false;
}
