// CHyperLink: a static text that opens its URL through the shell when clicked.
//
// When bound, the control gets SS_NOTIFY, its URL defaults to its window text,
// and a normal and an underlined copy of its font are made. The text is drawn
// in the link colour (the visited colour once opened), underlined while the
// pointer is over it (checked by a 100 ms timer), with the hand cursor. It is
// drawn over what lies under it: the parent's background and any sibling
// picture it is placed on.
//
// Opening: ShellExecute "open" of the URL; when that fails, the program
// registered for ".htm" ("<class>\shell\open\command" under HKEY_CLASSES_ROOT)
// is run with "%1" replaced by the URL; when that fails too, a beep and the
// message box "Unable to open hyperlink:\n\n" followed by the reason of the
// ShellExecute failure.
#pragma once

#include "klarwin/ui/control_base.h"

#include <string>

class CHyperLink : public CStatic {
public:
    CHyperLink();
    ~CHyperLink() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    static constexpr UINT_PTR kHoverTimer = 100;
    static constexpr UINT kHoverIntervalMs = 100;

    void SetURL(std::wstring_view url) { m_strURL.assign(url); }
    const std::wstring& GetURL() const { return m_strURL; }
    void SetColours(COLORREF link, COLORREF visited, COLORREF hover);
    void SetVisited(bool visited);
    bool IsVisited() const { return m_bVisited; }
    bool IsHovering() const { return m_bHover; }

    // Opens the URL as a click does. True when it was opened.
    bool OpenURL();

    // The extension whose registered program is the fallback (".htm").
    void SetFallbackExtension(std::wstring_view extension) { m_strFallbackExtension.assign(extension); }

    // The message shown when a URL cannot be opened, for a ShellExecute result.
    static std::wstring FailureMessage(INT_PTR shellResult);
    // The reason text of a ShellExecute result of 32 or less.
    static std::wstring ShellErrorText(INT_PTR shellResult);
    // The command line of a registered "shell\open\command" for `url`: every
    // "%1" replaced by the URL, or the URL appended when there is none.
    static std::wstring CommandForURL(std::wstring_view command, std::wstring_view url);

protected:
    void PreSubclassWindow() override;
    // Runs the registered program of the fallback extension; true when it started.
    virtual bool OpenWithRegisteredBrowser(const std::wstring& url);

    LRESULT OnClickedReflect(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);

private:
    void MakeFonts(HFONT source);
    void Redraw();
    void Paint(HDC dc);

    std::wstring m_strURL;
    std::wstring m_strFallbackExtension = L".htm";
    COLORREF m_crLink = RGB(0, 0, 238);
    COLORREF m_crVisited = RGB(85, 26, 139);
    COLORREF m_crHover = RGB(0, 0, 238);
    CFont m_font, m_fontUnderline;
    bool m_bVisited = false;
    bool m_bHover = false;
};
