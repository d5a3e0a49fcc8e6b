// Inside Patinctl.dll: the pictures, the skin attributes a control keeps, and
// the base of every control window.
#ifndef PATINCTL_PT_INTERNAL_H
#define PATINCTL_PT_INTERNAL_H

#include "patinctl/patinctl.h"

#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pt {

// ---- Pictures ------------------------------------------------------------------
// A picture as a 32-bit top-down DIB with premultiplied alpha, ready for AlphaBlend.
class Picture {
public:
    ~Picture();
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    HBITMAP Bitmap() const { return m_bitmap; }
    // Pixel as 0xAARRGGBB (premultiplied).
    DWORD Pixel(int x, int y) const;
    // Draws the part `src` of the picture into `dst` (scaled), at `opacity` (0..255).
    void Draw(HDC dc, const RECT& src, const RECT& dst, BYTE opacity = 255) const;

    // The picture from a file handle (read from its start; the file position is
    // not relied on). `mask` (optional): brightness becomes the opacity.
    // `transparent` (CLR_INVALID for none): pixels of that colour become transparent.
    static std::shared_ptr<Picture> FromHandle(HANDLE file, HANDLE mask, COLORREF transparent);
    static std::shared_ptr<Picture> FromPath(const std::wstring& path, const std::wstring& maskPath,
                                             COLORREF transparent);
    static std::shared_ptr<Picture> FromBytes(const std::vector<BYTE>& bytes, const std::vector<BYTE>* mask,
                                              COLORREF transparent);

private:
    HBITMAP m_bitmap = nullptr;
    DWORD* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// Draws `src` of the picture into `dst` keeping `cap` source pixels at both
// ends along the axis unstretched (horizontal when `horizontal`).
void DrawThreePart(HDC dc, const Picture& pic, const RECT& src, const RECT& dst, int cap, bool horizontal);
// Nine-part drawing: corners kept, edges and middle stretched.
void DrawNinePart(HDC dc, const Picture& pic, const RECT& src, const RECT& dst, int left, int top, int right,
                  int bottom);

// ---- Skin attributes -------------------------------------------------------------
// The attributes of a skin element, copied (the element belongs to the skin manager).
class Attributes {
public:
    Attributes() = default;
    explicit Attributes(const enXml* element);
    bool Empty() const { return m_values.empty(); }
    bool Has(const wchar_t* name) const;
    std::wstring Text(const wchar_t* name, const wchar_t* fallback = L"") const;
    int Int(const wchar_t* name, int fallback) const;
    bool IntIf(const wchar_t* name, int& out) const;
    bool Yes(const wchar_t* name) const;
    bool Is(const wchar_t* name, const wchar_t* value) const;
    // A colour attribute through the skin manager; `fallback` when absent or unreadable.
    COLORREF Color(const wchar_t* name, COLORREF fallback) const;
    // A font attribute; false when absent or unreadable.
    bool Font(const wchar_t* name, LOGFONTW& font) const;

private:
    std::map<std::wstring, std::wstring> m_values;  // names in lower case
};

// Skin manager access (through the query interface when one was handed over).
COLORREF SkinColor(const wchar_t* name, COLORREF fallback);
COLORREF ParseColor(const wchar_t* text);
bool ParseFont(LOGFONTW& font, const wchar_t* text);
// The folder of the current skin file (with a trailing backslash), or empty.
std::wstring SkinFolder();
// A picture path of a skin element: relative ones are relative to SkinFolder().
std::wstring SkinFilePath(const std::wstring& path);
// The default font of controls (the system's message font).
HFONT DefaultFont();

// ---- Control base ------------------------------------------------------------------
enum Kind {
    K_BUTTON = 1,
    K_SCALEBUTTON,
    K_STATIC,
    K_SCROLLSTATIC,
    K_SLIDER,
    K_SCALESLIDER,
    K_SLIDERROUND,
    K_COMBOBOX,
    K_EDITBOX,
    K_HTMLBROWSER,
    K_SURROUNDVIEW,
    K_TREECTRL,
    K_AUTOPANEL,
    K_AUTOPANELCAPTION,
    K_SCALEDIALOG,
};

class Control {
public:
    explicit Control(Kind kind) : m_kind(kind) {}
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind GetKind() const { return m_kind; }
    HWND Hwnd() const { return m_hwnd; }
    const std::wstring& TooltipText() const { return m_tipText; }

    // The control bound to a window, or null.
    static Control* From(HWND hwnd);
    // Binds the object to the window; `base` handles what the object does not
    // (null: DefWindowProcW). The object is deleted at WM_NCDESTROY.
    void Bind(HWND hwnd, WNDPROC base);
    LRESULT CallBase(UINT message, WPARAM wParam, LPARAM lParam);
    // For a skinned system window: whether the object replaces its procedure
    // (only creation and destruction still reach it).
    void SetReplaces(bool replaces) { m_replaces = replaces; }
    // Takes over what an existing window shows (PtSkinWindow).
    virtual void InitFromWindow() { Invalidate(); }
    static LRESULT CALLBACK Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The messages of every control; then Proc.
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) { return CallBase(message, wParam, lParam); }

    // Pictures and element (PTM_USECUSTOMSKIN); TRUE when what the kind needs could be read.
    BOOL UseSkin(const PT_SKIN_RESOURCE* resource);
    // Whether the kind cannot do without a picture ("Source").
    virtual bool NeedsPicture() const { return false; }
    // After new pictures or attributes.
    virtual void OnSkinApplied() { Invalidate(); }
    // Takes the look attributes of an element when the control has none yet.
    void ApplyElement(const Attributes& attributes);
    bool HasElement() const { return m_hasElement; }
    const Attributes& Attr() const { return m_attr; }
    // One state of the control's picture (the placement's default size); false without one.
    virtual bool IdealSize(SIZE& size) const;
    // Re-reads colours and fonts of the current skin and redraws.
    virtual void SkinChanged();
    // Colours for WM_CTLCOLOR* of this control (its brush), or null for the default.
    virtual HBRUSH CtlColor(HDC) { return nullptr; }
    // What the accessible object tells about the control (role 0: the standard one).
    virtual long AccRole() const { return 0; }
    virtual long AccState() const { return 0; }
    virtual std::wstring AccValue() const { return L""; }

    // State kept across a re-layout.
    struct State {
        int check = 0;
        int min = 0, max = 0, pos = 0, page = 0, line = 0;
        bool hasRange = false;
        bool hasCheck = false;
        bool hasText = false;
        std::wstring text;
    };
    virtual void SaveState(State& state) const;
    virtual void LoadState(const State& state);

protected:
    // What the control shows, drawn into `dc` over the client rectangle `rc`.
    virtual void Paint(HDC, const RECT&) {}
    // WM_PAINT (drawn off screen, then copied), WM_PRINTCLIENT and WM_ERASEBKGND
    // through Paint; false, and nothing done, for any other message.
    bool PaintMessage(UINT message, WPARAM wParam, LRESULT& result);
    // Paints what lies under the control (its parent's background) into `dc`.
    void PaintParentBackground(HDC dc) const;
    void Invalidate() const { InvalidateRect(m_hwnd, nullptr, FALSE); }
    std::wstring WindowText() const;
    HFONT Font() const;
    // Sends a notification to the parent.
    LRESULT Notify(UINT message, WPARAM wParam, LPARAM lParam) const;
    void SetTooltip(const wchar_t* title, const wchar_t* text);
    void UpdateTooltip();
    void ColorTooltip();

    Kind m_kind;
    HWND m_hwnd = nullptr;
    WNDPROC m_base = nullptr;
    std::shared_ptr<Picture> m_picture;
    Attributes m_attr;
    bool m_hasElement = false;
    HFONT m_font = nullptr;       // WM_SETFONT
    HFONT m_skinFont = nullptr;   // from "LogFont", owned
    std::wstring m_tipTitle, m_tipText;
    HWND m_tooltip = nullptr;
    bool m_textFromTip = false;   // the window text was set from the tooltip
    bool m_replaces = false;      // the base procedure is a subclassed system control replaced by this object
};

// Runs `paint` on a memory DC of the client size and copies it to the window.
template <class F>
void PaintBuffered(HWND hwnd, HDC target, F paint) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    if (rc.right <= 0 || rc.bottom <= 0) return;
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bmp = CreateCompatibleBitmap(target, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(mem, bmp);
    paint(mem, rc);
    BitBlt(target, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
}

void FillSolid(HDC dc, const RECT& rc, COLORREF color);
void FillGradient(HDC dc, const RECT& rc, COLORREF from, COLORREF to, bool vertical);

// The rectangle a placement element asks for in a panel of that size (see FORMAT.md).
RECT PlaceRect(const Attributes& attributes, int width, int height, SIZE ideal);

// Hands a file handle to a panel (PtAutoPanel), which closes it when it is
// destroyed; false (the handle not taken) for any other window.
bool PanelKeepFile(HWND panel, HANDLE file);

// Factories (one per source file).
Control* NewButton(Kind kind);
Control* NewStatic(Kind kind);
Control* NewSlider(Kind kind);
Control* NewPanel(Kind kind);
Control* NewMisc(Kind kind);
Control* NewDialogSkin();

// Accessibility: the answer to WM_GETOBJECT naming the control by `name`.
// `role` 0 keeps the standard object's role; `state` bits are added to its state.
LRESULT AccessibleObject(HWND hwnd, WPARAM wParam, LPARAM lParam, const std::wstring& name, long role, long state,
                         const std::wstring& value);

HINSTANCE ModuleInstance();
bool IsPatinctlWindow(HWND hwnd);

}  // namespace pt

#endif
