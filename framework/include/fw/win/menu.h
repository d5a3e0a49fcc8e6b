// CMenu: an owned menu (destroyed with the object unless detached).
#pragma once

#include <windows.h>

#include <string>
#include <utility>

class CMenu {
public:
    CMenu() noexcept = default;
    explicit CMenu(HMENU menu) noexcept : m_hMenu(menu) {}
    CMenu(CMenu&& other) noexcept : m_hMenu(std::exchange(other.m_hMenu, nullptr)) {}
    CMenu& operator=(CMenu&& other) noexcept {
        if (this != &other) Attach(std::exchange(other.m_hMenu, nullptr));
        return *this;
    }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    ~CMenu() { DestroyMenu(); }

    // From the resource module (or `module`).
    bool LoadMenu(UINT id, HINSTANCE module = nullptr);
    bool CreateMenu();
    bool CreatePopupMenu();
    bool DestroyMenu();
    void Attach(HMENU menu);
    HMENU Detach() { return std::exchange(m_hMenu, nullptr); }

    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }

    // The pop-up at a position (owned by this menu; do not destroy it).
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    std::wstring GetMenuString(UINT item, UINT flags) const;
    UINT GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }
    DWORD CheckMenuItem(UINT item, UINT flags) { return ::CheckMenuItem(m_hMenu, item, flags); }
    BOOL EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }
    bool AppendMenu(UINT flags, UINT_PTR idOrPopup = 0, const wchar_t* text = nullptr) {
        return ::AppendMenuW(m_hMenu, flags, idOrPopup, text) != FALSE;
    }
    bool InsertMenu(UINT position, UINT flags, UINT_PTR idOrPopup = 0, const wchar_t* text = nullptr) {
        return ::InsertMenuW(m_hMenu, position, flags, idOrPopup, text) != FALSE;
    }
    bool RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags) != FALSE; }
    bool DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags) != FALSE; }
    // Shows the menu (a pop-up) at screen coordinates; with TPM_RETURNCMD the
    // chosen command is returned instead of being sent to the owner.
    BOOL TrackPopupMenu(UINT flags, int x, int y, HWND owner) const {
        return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner, nullptr);
    }

private:
    HMENU m_hMenu = nullptr;
};
