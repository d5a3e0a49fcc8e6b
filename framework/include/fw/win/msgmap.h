// Message maps and command targets.
//
// Every class that handles messages or commands has its own message map: a
// static table built once from typed entries, chained to the map of its base
// class. A class declares
//
//     static const CMessageMap& GetThisMessageMap();
//     const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }
//
// and defines the table in its source file:
//
//     const CMessageMap& CMyDlg::GetThisMessageMap() {
//         static const CMessageMap map = CMessageMap::Build<CMyDlg>(&CDialog::GetThisMessageMap())
//             .OnMessage(WM_PAINT, &CMyDlg::OnPaint)                 // LRESULT (WPARAM, LPARAM) or void ()
//             .OnCommand(IDC_SCAN, &CMyDlg::OnScan)                  // void ()
//             .OnCommandRange(500, 515, &CMyDlg::OnSkin)             // void (UINT id)
//             .OnControl(IDC_NAME, EN_CHANGE, &CMyDlg::OnNameChange) // void ()
//             .OnNotify(IDC_LIST, NM_CLICK, &CMyDlg::OnListClick)    // void (NMHDR*, LRESULT*)
//             .OnUpdate(ID_PLAY, &CMyDlg::OnUpdatePlay);             // void (CCmdUI*)
//         return map;
//     }
//
// How a message reaches its handler (all of it in CWnd::WindowProc, wnd.cpp):
//   1. WM_COMMAND, WM_NOTIFY and the owner-draw / colour messages a control
//      sends to its parent are first offered to that control's own object, as
//      ReflectedMessage(msg) in the control's map (see CWnd::OnChildNotify).
//   2. WM_COMMAND goes to OnCommand, which routes it through OnCmdMsg (a frame
//      window first asks its active MDI child, then itself, then the
//      application); OnCmdMsg looks for a command, range or control entry.
//   3. WM_NOTIFY goes to OnNotify, which looks for a notification entry.
//   4. Every other message is looked up by number: the map of the object's own
//      class first, then each base class map in turn.
//   5. A message that no entry takes goes to the virtual DefWindowProc (the
//      window's original procedure, DefDlgProc for dialogs).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

class CCmdTarget;
class CCmdUI;

// The code of a command (menu item, accelerator, button click) and the code of
// a command-update request, as OnCmdMsg receives them.
constexpr int CN_COMMAND = 0;
constexpr int CN_UPDATE_COMMAND_UI = -1;

// Messages the framework sends itself.
constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;  // wParam: disable commands without handler
constexpr UINT WM_KICKIDLE = 0x036A;         // sent to a modal dialog when its loop is idle
constexpr UINT WM_REFLECT_BASE = 0xBC00;     // + message: a notification offered back to the control

constexpr UINT ReflectedMessage(UINT message) { return WM_REFLECT_BASE + message; }

class CMessageMap {
public:
    enum class Kind { Message, Command, Control, Notify, Update };

    struct Entry {
        Kind kind = Kind::Message;
        UINT message = 0;   // Message: the message number
        UINT idFirst = 0;   // Command, Control, Notify, Update: the id range
        UINT idLast = 0;
        UINT code = 0;      // Control: notification code of WM_COMMAND; Notify: NMHDR code
        std::function<LRESULT(CCmdTarget*, WPARAM, LPARAM)> onMessage;
        std::function<void(CCmdTarget*, UINT)> onCommand;
        std::function<void(CCmdTarget*, NMHDR*, LRESULT*)> onNotify;
        std::function<void(CCmdTarget*, CCmdUI*)> onUpdate;

        bool HasId(UINT id) const { return id >= idFirst && id <= idLast; }
    };

    template <class T>
    class Builder;

    // Starts the map of class T, chained to the map of its base class (null
    // only for the root of the hierarchy).
    template <class T>
    static Builder<T> Build(const CMessageMap* base) {
        return Builder<T>(base);
    }

    const CMessageMap* Base() const { return m_base; }
    const std::vector<Entry>& Entries() const { return m_entries; }

    // Lookups over this map and its bases, most derived first.
    const Entry* FindMessage(UINT message) const;
    const Entry* FindCommand(UINT id) const;
    const Entry* FindControl(UINT id, UINT code) const;
    const Entry* FindNotify(UINT id, UINT code) const;
    const Entry* FindUpdate(UINT id) const;

    explicit CMessageMap(const CMessageMap* base = nullptr) : m_base(base) {}

private:
    template <class Match>
    const Entry* Find(Match match) const {
        for (const CMessageMap* map = this; map; map = map->m_base)
            for (const Entry& e : map->m_entries)
                if (match(e)) return &e;
        return nullptr;
    }

    const CMessageMap* m_base = nullptr;
    std::vector<Entry> m_entries;
};

// Collects the entries of class T's map. Handlers are member functions of T
// (or of its bases); the target object is cast to T when one is called.
template <class T>
class CMessageMap::Builder {
public:
    explicit Builder(const CMessageMap* base) : m_map(base) {}

    Builder&& OnMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM)) && {
        Entry e;
        e.kind = Kind::Message;
        e.message = message;
        e.onMessage = [handler](CCmdTarget* t, WPARAM w, LPARAM l) { return (static_cast<T*>(t)->*handler)(w, l); };
        return Add(std::move(e));
    }
    // A handler without parameters; the message's result is 0.
    Builder&& OnMessage(UINT message, void (T::*handler)()) && {
        Entry e;
        e.kind = Kind::Message;
        e.message = message;
        e.onMessage = [handler](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {
            (static_cast<T*>(t)->*handler)();
            return 0;
        };
        return Add(std::move(e));
    }
    // A command: a menu item, an accelerator, or a control notifying with code 0 (BN_CLICKED).
    Builder&& OnCommand(UINT id, void (T::*handler)()) && {
        Entry e = Ids(Kind::Command, id, id);
        e.onCommand = [handler](CCmdTarget* t, UINT) { (static_cast<T*>(t)->*handler)(); };
        return Add(std::move(e));
    }
    Builder&& OnCommandRange(UINT first, UINT last, void (T::*handler)(UINT)) && {
        Entry e = Ids(Kind::Command, first, last);
        e.onCommand = [handler](CCmdTarget* t, UINT id) { (static_cast<T*>(t)->*handler)(id); };
        return Add(std::move(e));
    }
    // A WM_COMMAND notification with a given code from a control (EN_CHANGE, LBN_SELCHANGE, ...).
    Builder&& OnControl(UINT id, UINT code, void (T::*handler)()) && {
        Entry e = Ids(Kind::Control, id, id);
        e.code = code;
        e.onCommand = [handler](CCmdTarget* t, UINT) { (static_cast<T*>(t)->*handler)(); };
        return Add(std::move(e));
    }
    Builder&& OnNotify(UINT id, UINT code, void (T::*handler)(NMHDR*, LRESULT*)) && {
        Entry e = Ids(Kind::Notify, id, id);
        e.code = code;
        e.onNotify = [handler](CCmdTarget* t, NMHDR* nm, LRESULT* r) { (static_cast<T*>(t)->*handler)(nm, r); };
        return Add(std::move(e));
    }
    Builder&& OnNotifyRange(UINT first, UINT last, UINT code, void (T::*handler)(NMHDR*, LRESULT*)) && {
        Entry e = Ids(Kind::Notify, first, last);
        e.code = code;
        e.onNotify = [handler](CCmdTarget* t, NMHDR* nm, LRESULT* r) { (static_cast<T*>(t)->*handler)(nm, r); };
        return Add(std::move(e));
    }
    Builder&& OnUpdate(UINT id, void (T::*handler)(CCmdUI*)) && {
        Entry e = Ids(Kind::Update, id, id);
        e.onUpdate = [handler](CCmdTarget* t, CCmdUI* ui) { (static_cast<T*>(t)->*handler)(ui); };
        return Add(std::move(e));
    }
    Builder&& OnUpdateRange(UINT first, UINT last, void (T::*handler)(CCmdUI*)) && {
        Entry e = Ids(Kind::Update, first, last);
        e.onUpdate = [handler](CCmdTarget* t, CCmdUI* ui) { (static_cast<T*>(t)->*handler)(ui); };
        return Add(std::move(e));
    }

    operator CMessageMap() && { return std::move(m_map); }

private:
    static Entry Ids(Kind kind, UINT first, UINT last) {
        Entry e;
        e.kind = kind;
        e.idFirst = first;
        e.idLast = last;
        return e;
    }
    Builder&& Add(Entry e) {
        m_map.m_entries.push_back(std::move(e));
        return std::move(*this);
    }

    CMessageMap m_map;
};

// The root of everything that has a message map: windows and the application.
class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    static const CMessageMap& GetThisMessageMap();
    virtual const CMessageMap& GetMessageMap() const { return GetThisMessageMap(); }

    // Looks for the handler of a command in this object's map.
    //   code CN_COMMAND            run the command handler of `id`
    //   code CN_UPDATE_COMMAND_UI  run the update handler of `id` with extra = CCmdUI*
    //   other codes                run the control entry of (`id`, code)
    // With queryOnly set nothing runs: the answer only tells whether a
    // handler exists. Returns true when a handler was found.
    virtual bool OnCmdMsg(UINT id, int code, void* extra, bool queryOnly);
};

// The state of one user-interface element of a command (a menu item or a
// control) while its update handler decides it. Handlers call Enable,
// SetCheck, SetRadio and SetText; DoUpdate asks a target for the handler.
class CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;         // position in m_hMenu
    HMENU m_hMenu = nullptr;   // the menu holding the item, or null for a control
    HWND m_hWndOther = nullptr;  // the control, or null for a menu item
    bool m_bEnableChanged = false;  // an update handler called Enable
    bool m_bEnabled = true;         // the state Enable set last

    virtual ~CCmdUI() = default;
    virtual void Enable(bool on = true);
    // 0 unchecked, 1 checked, 2 indeterminate (controls only).
    virtual void SetCheck(int check = 1);
    // Checked with the radio-button look on menus.
    virtual void SetRadio(bool on = true);
    virtual void SetText(const wchar_t* text);

    // Asks the target for the update handler of m_nID. When there is none and
    // disableIfNoHandler is set, the element is enabled exactly when the
    // target has a command handler for the id. Returns true when an update
    // handler ran.
    bool DoUpdate(CCmdTarget* target, bool disableIfNoHandler);
};
