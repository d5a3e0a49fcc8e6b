// Thin wrappers of the standard controls the skinned classes build on, and the
// drawing helpers they share.
//
// A control object is bound to a control of a dialog template with
// SubclassDlgItem (or to any existing control with SubclassWindow), or makes
// its own with Create. Either way PreSubclassWindow runs once the control is
// bound, which is where a class adjusts styles and prepares fonts.
//
//   CXColorStatic m_title;                       // a member of the dialog
//   m_title.SubclassDlgItem(IDC_TITLE, this);    // in OnInitDialog
#pragma once

#include "fw/win/gdi.h"
#include "fw/win/wnd.h"

#include <commctrl.h>

#include <string>
#include <string_view>

// The common base: binding with a hook after it, creation of a control of a
// given window class.
class CControlWnd : public CWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Bind an existing control; PreSubclassWindow runs after the binding.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    // Create a control of `className` as a child of `parent` (client
    // coordinates); PreSubclassWindow runs after the creation.
    bool CreateControl(const wchar_t* className, std::wstring_view text, DWORD style, const RECT& rect, CWnd* parent,
                       UINT id, DWORD exStyle = 0);

protected:
    virtual void PreSubclassWindow() {}
};

// A button ("Button" class).
class CButton : public CControlWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    bool Create(std::wstring_view caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};

// A static control ("Static" class).
class CStatic : public CControlWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    bool Create(std::wstring_view text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // A bitmap for an SS_BITMAP static; returns the previous one. The control
    // does not own it.
    HBITMAP SetBitmap(HBITMAP bitmap);
    HBITMAP GetBitmap() const;
};

// A list view ("SysListView32" class).
class CListCtrl : public CControlWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    bool Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int InsertColumn(int column, std::wstring_view heading, int format = LVCFMT_LEFT, int width = -1);
    int InsertItem(int item, std::wstring_view text);
    bool SetItemText(int item, int subItem, std::wstring_view text);
    std::wstring GetItemText(int item, int subItem) const;
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    bool DeleteAllItems() { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    DWORD SetExtendedStyle(DWORD exStyle);
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
    int HitTest(LVHITTESTINFO& info) const;
    bool RedrawItems(int first, int last);
    bool GetItemRect(int item, RECT& rect, int code) const;
};

// A tool-tip control ("tooltips_class32"), one per owner window, whose tools
// are child windows of that owner.
class CToolTipCtrl : public CControlWnd {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    bool Create(CWnd* owner, DWORD style = TTS_ALWAYSTIP);
    // A tool for a child window of the owner, showing `text`.
    bool AddTool(HWND tool, std::wstring_view text);
    bool UpdateTipText(HWND tool, std::wstring_view text);
    std::wstring GetToolText(HWND tool) const;
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    void Activate(bool active) { SendMessage(TTM_ACTIVATE, active ? TRUE : FALSE); }
    int SetMaxTipWidth(int width) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width)); }
    // TTDT_AUTOPOP, TTDT_INITIAL or TTDT_RESHOW, in milliseconds.
    void SetDelayTime(DWORD which, int ms) { SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(ms, 0)); }
    void SetTipBkColor(COLORREF colour) { SendMessage(TTM_SETTIPBKCOLOR, colour); }
    // Hands a mouse message of the owner's thread to the control.
    void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }

private:
    TTTOOLINFOW ToolInfo(HWND tool) const;
    HWND m_hOwner = nullptr;
};

namespace kwui {

// Paints what lies under `child` into `dc`, whose origin is the child's client
// origin: the parent's background (its WM_ERASEBKGND, with the origin
// shifted), then every visible sibling below the child in the z-order that it
// covers, bottom first (WM_PRINTCLIENT). This is how the skinned controls look
// transparent over a bitmap background, and over a picture placed under them.
void PaintBackgroundUnder(HWND child, HDC dc);

// Invalidates (with erasing) the part of the parent under `child`, and the
// child itself, so that both repaint.
void InvalidateParentUnder(HWND child);

// A DC that paints into an off-screen bitmap of the target's size and copies
// it to the target at the end, so that a control repaints without flicker.
class COffscreenDC : public CDC {
public:
    COffscreenDC(HDC target, const RECT& rect);
    ~COffscreenDC() override;
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

private:
    HDC m_target;
    RECT m_rect;
    CBitmap m_bitmap;
};

// The "Arial" font of the given size in points for the screen and weight,
// height -MulDiv(points, LOGPIXELSY, 72); false when it cannot be made.
bool CreateArialFont(CFont& font, int points, int weight, bool underline = false);

// A copy of `source` (or of the default GUI font when null) with underlining
// switched on or off.
bool CreateFontVariant(CFont& font, HFONT source, bool underline);

// The DrawText flags that draw a text as a static control of `style` does:
// left, centred or right (SS_CENTER, SS_RIGHT), one line centred upright
// (SS_CENTERIMAGE) or wrapped at words, without prefixes (SS_NOPREFIX).
UINT StaticTextFlags(DWORD style);

// Whether the pointer, where it was when the message being handled was
// posted, lies outside the client area of `wnd`: a control's hover timer ends
// its hovering then.
bool PointerOutside(HWND wnd);

}  // namespace kwui
