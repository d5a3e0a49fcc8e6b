// Panels: draw themselves from their skin element (fill, gradient, picture,
// border, labels and images) and place the controls handed to them from the
// controls' own elements, again whenever they change size.
#include "pt_internal.h"

#include <windowsx.h>

#include <algorithm>

namespace pt {

// The rectangle an element asks for inside a panel of `width` x `height`,
// `ideal` being the size used where the element gives none.
RECT PlaceRect(const Attributes& a, int width, int height, SIZE ideal) {
    auto axis = [&a](const wchar_t* start, const wchar_t* startAlias, const wchar_t* endName, const wchar_t* sizeName,
                     const wchar_t* centreName, int extent, int idealSize, int& lo, int& hi) {
        int size = std::max(0, a.Int(sizeName, idealSize));
        int from = 0, to = 0;
        bool hasFrom = a.IntIf(start, from) || a.IntIf(startAlias, from);
        bool hasTo = a.IntIf(endName, to);
        if (hasFrom && hasTo) {
            lo = from;
            hi = extent - to;
        } else if (hasFrom) {
            lo = from;
            hi = from + size;
        } else if (hasTo) {
            hi = extent - to;
            lo = hi - size;
        } else {
            lo = (extent - size) / 2 + a.Int(centreName, 0);
            hi = lo + size;
        }
        if (hi < lo) hi = lo;
    };
    RECT rc{};
    int l = 0, r = 0, t = 0, b = 0;
    axis(L"X", L"Left", L"Right", L"Width", L"HCenter", width, ideal.cx, l, r);
    axis(L"Y", L"Top", L"Bottom", L"Height", L"VCenter", height, ideal.cy, t, b);
    rc = {l, t, r, b};
    return rc;
}

std::wstring SkinFilePath(const std::wstring& path) {
    if (path.empty()) return path;
    bool absolute = path.size() > 1 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
    return absolute ? path : SkinFolder() + path;
}

namespace {

std::shared_ptr<Picture> LoadSkinPicture(const std::wstring& source, const std::wstring& alpha, COLORREF key) {
    if (source.empty()) return nullptr;
    return Picture::FromPath(SkinFilePath(source), alpha.empty() ? L"" : SkinFilePath(alpha), key);
}

struct Decoration {
    bool image = false;
    Attributes attr;
    std::shared_ptr<Picture> picture;
    HFONT font = nullptr;
};

struct Placed {
    HWND hwnd;
    Attributes attr;
    HWND oldParent;
};

class Panel : public Control {
public:
    explicit Panel(Kind kind) : Control(kind) {}
    ~Panel() override {
        ClearDecorations();
        DropCache();
        for (HANDLE file : m_files) CloseHandle(file);
    }

    // Files the panel keeps open for its controls and closes when destroyed.
    void KeepFile(HANDLE file) { m_files.push_back(file); }

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_CREATE:
            SetWindowLongW(m_hwnd, GWL_STYLE, GetWindowLongW(m_hwnd, GWL_STYLE) | WS_CLIPCHILDREN);
            return CallBase(message, wParam, lParam);
        case PTM_SETSKINELEMENT:
            return SetElement(reinterpret_cast<const enXml*>(lParam));
        case PTM_GETINITIALSIZE:
            if (SIZE* size = reinterpret_cast<SIZE*>(lParam)) {
                size->cx = std::max(0, m_attr.Int(L"Width", 0));
                size->cy = std::max(0, m_attr.Int(L"Height", 0));
                return TRUE;
            }
            return FALSE;
        case PTM_AUTODISPOSECONTROL:
            return Dispose(reinterpret_cast<HWND>(wParam), reinterpret_cast<const enXml*>(lParam));
        case PTM_DETACHALLCONTROLS:
            return DetachAll();
        case WM_SIZE:
            DropCache();
            PlaceAll();
            InvalidateRect(m_hwnd, nullptr, FALSE);
            return CallBase(message, wParam, lParam);
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(m_hwnd, &ps);
            PaintCached(dc);
            EndPaint(m_hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            // Also how the controls on the panel ask for what lies under them.
            PaintCached(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CONTEXTMENU:
            // The controls' notifications belong to the window the panel lives in.
            return Notify(message, wParam, lParam);
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (Control* child = Control::From(reinterpret_cast<HWND>(lParam)))
                if (HBRUSH brush = child->CtlColor(reinterpret_cast<HDC>(wParam)))
                    return reinterpret_cast<LRESULT>(brush);
            return Notify(message, wParam, lParam);
        case WM_LBUTTONDOWN:
            if (m_kind == K_AUTOPANELCAPTION) {
                HWND root = GetAncestor(m_hwnd, GA_ROOT);
                if (root && root != m_hwnd && !IsZoomed(root)) {
                    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                    ClientToScreen(m_hwnd, &pt);
                    ReleaseCapture();
                    SendMessageW(root, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
                }
                return 0;
            }
            return CallBase(message, wParam, lParam);
        case WM_LBUTTONDBLCLK:
            if (m_kind == K_AUTOPANELCAPTION) {
                HWND root = GetAncestor(m_hwnd, GA_ROOT);
                if (root && root != m_hwnd)
                    PostMessageW(root, WM_SYSCOMMAND, IsZoomed(root) ? SC_RESTORE : SC_MAXIMIZE, 0);
                return 0;
            }
            return CallBase(message, wParam, lParam);
        default:
            return CallBase(message, wParam, lParam);
        }
    }

    void SkinChanged() override {
        DropCache();
        Invalidate();
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

private:
    void ClearDecorations() {
        for (Decoration& d : m_decorations)
            if (d.font) DeleteObject(d.font);
        m_decorations.clear();
    }

    BOOL SetElement(const enXml* element) {
        ClearDecorations();
        DropCache();
        m_attr = Attributes(element);
        m_hasElement = element != nullptr;
        m_background = LoadSkinPicture(m_attr.Text(L"Source"), m_attr.Text(L"SourceAlpha"),
                                       m_attr.Color(L"TransparentColor", CLR_INVALID));
        if (element) {
            for (const enXml* child = element->FirstChild(); child; child = child->NextSibling()) {
                bool image = lstrcmpiW(child->Name().c_str(), L"Image") == 0;
                bool label = lstrcmpiW(child->Name().c_str(), L"Label") == 0;
                if (!image && !label) continue;
                Decoration d;
                d.image = image;
                d.attr = Attributes(child);
                if (image) {
                    d.picture = LoadSkinPicture(d.attr.Text(L"Source"), d.attr.Text(L"SourceAlpha"),
                                                d.attr.Color(L"TransparentColor", CLR_INVALID));
                    if (!d.picture) continue;
                } else {
                    LOGFONTW font{};
                    if (d.attr.Font(L"LogFont", font)) d.font = CreateFontIndirectW(&font);
                }
                m_decorations.push_back(std::move(d));
            }
        }
        PlaceAll();
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return element ? TRUE : FALSE;
    }

    static SIZE IdealOf(HWND control) {
        SIZE size = {0, 0};
        if (IsPatinctlWindow(control) && SendMessageW(control, PTM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size)))
            return size;
        RECT rc;
        GetWindowRect(control, &rc);
        size = {rc.right - rc.left, rc.bottom - rc.top};
        if (size.cx <= 0) size.cx = 24;
        if (size.cy <= 0) size.cy = 24;
        return size;
    }

    BOOL Dispose(HWND control, const enXml* element) {
        if (!IsWindow(control) || !element || control == m_hwnd) return FALSE;
        Attributes attr(element);
        if (Control* c = Control::From(control)) c->ApplyElement(attr);
        auto it = std::find_if(m_placed.begin(), m_placed.end(), [control](const Placed& p) { return p.hwnd == control; });
        if (it == m_placed.end()) {
            HWND oldParent = GetParent(control);
            if (oldParent != m_hwnd) SetParent(control, m_hwnd);
            m_placed.push_back({control, attr, oldParent == m_hwnd ? nullptr : oldParent});
            it = m_placed.end() - 1;
        } else {
            it->attr = attr;
        }
        PlaceAll();
        ShowWindow(control, SW_SHOWNA);
        return TRUE;
    }

    // Whether an element says nothing about where it sits: such controls flow.
    static bool Unplaced(const Attributes& a) {
        static const wchar_t* const names[] = {L"X", L"Left", L"Y", L"Top", L"Right", L"Bottom", L"HCenter", L"VCenter"};
        for (const wchar_t* name : names)
            if (a.Has(name)) return false;
        return true;
    }

    void PlaceAll() {
        m_placed.erase(std::remove_if(m_placed.begin(), m_placed.end(),
                                      [this](const Placed& p) { return !IsWindow(p.hwnd) || GetParent(p.hwnd) != m_hwnd; }),
                       m_placed.end());
        RECT client;
        GetClientRect(m_hwnd, &client);
        // Controls without placement follow each other from the panel's start,
        // in a column when the panel is taller than wide, else in a row.
        bool column = client.bottom > client.right;
        int flow = kFlowGap;
        for (const Placed& p : m_placed) {
            SIZE ideal = IdealOf(p.hwnd);
            RECT rc;
            if (Unplaced(p.attr)) {
                int w = std::max(0, p.attr.Int(L"Width", ideal.cx)), h = std::max(0, p.attr.Int(L"Height", ideal.cy));
                if (column) {
                    rc = {(client.right - w) / 2, flow, (client.right - w) / 2 + w, flow + h};
                    flow += h + kFlowGap;
                } else {
                    rc = {flow, (client.bottom - h) / 2, flow + w, (client.bottom - h) / 2 + h};
                    flow += w + kFlowGap;
                }
            } else {
                rc = PlaceRect(p.attr, client.right, client.bottom, ideal);
            }
            SetWindowPos(p.hwnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    static constexpr int kFlowGap = 4;

    int DetachAll() {
        int count = 0;
        for (const Placed& p : m_placed) {
            if (!IsWindow(p.hwnd) || GetParent(p.hwnd) != m_hwnd) continue;
            ShowWindow(p.hwnd, SW_HIDE);
            if (p.oldParent && IsWindow(p.oldParent)) SetParent(p.hwnd, p.oldParent);
            ++count;
        }
        m_placed.clear();
        return count;
    }

    void DropCache() {
        if (m_cache) DeleteObject(m_cache);
        m_cache = nullptr;
    }

    // The background is drawn once per size and skin and then copied: every
    // control on the panel asks for it whenever it paints.
    void PaintCached(HDC dc) {
        RECT rc;
        GetClientRect(m_hwnd, &rc);
        if (rc.right <= 0 || rc.bottom <= 0) return;
        HDC mem = CreateCompatibleDC(dc);
        if (!m_cache) {
            HDC screen = GetDC(nullptr);
            m_cache = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
            ReleaseDC(nullptr, screen);
            HGDIOBJ old = SelectObject(mem, m_cache);
            Paint(mem, rc);
            SelectObject(mem, old);
        }
        HGDIOBJ old = SelectObject(mem, m_cache);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    }

    void Paint(HDC dc, const RECT& rc) override {
        COLORREF back = m_attr.Color(L"Background", SkinColor(L"FrameBackground", RGB(32, 40, 48)));
        if (m_attr.Has(L"GradientTo"))
            FillGradient(dc, rc, back, m_attr.Color(L"GradientTo", back),
                         !m_attr.Is(L"GradientDirection", L"Horizontal"));
        else
            FillSolid(dc, rc, back);
        if (m_background) {
            const Picture& pic = *m_background;
            RECT all = {0, 0, pic.Width(), pic.Height()};
            if (m_attr.Is(L"SourceMode", L"Tile")) {
                for (int y = 0; y < rc.bottom; y += pic.Height())
                    for (int x = 0; x < rc.right; x += pic.Width())
                        pic.Draw(dc, all, {x, y, x + pic.Width(), y + pic.Height()});
            } else if (m_attr.Is(L"SourceMode", L"Center")) {
                int x = (rc.right - pic.Width()) / 2, y = (rc.bottom - pic.Height()) / 2;
                pic.Draw(dc, all, {x, y, x + pic.Width(), y + pic.Height()});
            } else if (m_attr.Is(L"SourceMode", L"TopLeft")) {
                pic.Draw(dc, all, {0, 0, pic.Width(), pic.Height()});
            } else if (m_attr.Is(L"SourceMode", L"Frame")) {
                DrawNinePart(dc, pic, all, rc, m_attr.Int(L"FrameLeft", 0), m_attr.Int(L"FrameTop", 0),
                             m_attr.Int(L"FrameRight", 0), m_attr.Int(L"FrameBottom", 0));
            } else {
                pic.Draw(dc, all, rc);
            }
        }
        for (const Decoration& d : m_decorations) {
            if (d.image) {
                RECT place = PlaceRect(d.attr, rc.right, rc.bottom, {d.picture->Width(), d.picture->Height()});
                d.picture->Draw(dc, {0, 0, d.picture->Width(), d.picture->Height()}, place);
                continue;
            }
            std::wstring text = d.attr.Text(L"Text");
            if (text.empty()) continue;
            HGDIOBJ oldFont = SelectObject(dc, d.font ? d.font : DefaultFont());
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            RECT place = PlaceRect(d.attr, rc.right, rc.bottom, extent);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, d.attr.Color(L"TextColor", SkinColor(L"FrameText", RGB(224, 224, 224))));
            UINT align = d.attr.Is(L"Align", L"Center") ? DT_CENTER : d.attr.Is(L"Align", L"Right") ? DT_RIGHT : DT_LEFT;
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place,
                      align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
            SelectObject(dc, oldFont);
        }
        if (m_attr.Has(L"BorderColor")) {
            HBRUSH border = CreateSolidBrush(m_attr.Color(L"BorderColor", RGB(0, 0, 0)));
            FrameRect(dc, &rc, border);
            DeleteObject(border);
        }
    }

    HBITMAP m_cache = nullptr;
    std::shared_ptr<Picture> m_background;
    std::vector<Decoration> m_decorations;
    std::vector<Placed> m_placed;
    std::vector<HANDLE> m_files;
};

}  // namespace

Control* NewPanel(Kind kind) { return new Panel(kind); }

bool PanelKeepFile(HWND panel, HANDLE file) {
    Control* control = Control::From(panel);
    if (!control || (control->GetKind() != K_AUTOPANEL && control->GetKind() != K_AUTOPANELCAPTION)) return false;
    static_cast<Panel*>(control)->KeepFile(file);
    return true;
}

}  // namespace pt
