// Sliders: horizontal and vertical (stretched or scaled) and round knobs. They
// keep the trackbar's state and messages and notify their parent with
// WM_HSCROLL / WM_VSCROLL like a trackbar.
#include "pt_internal.h"

#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <string>

#ifndef TBM_SETPOSNOTIFY
#define TBM_SETPOSNOTIFY (WM_USER + 34)
#endif

namespace pt {
namespace {

class Slider : public Control {
public:
    explicit Slider(Kind kind) : Control(kind) {}

    bool NeedsPicture() const override { return true; }

    void OnSkinApplied() override {
        if (m_attr.Is(L"Type", L"Vertical")) m_vertical = true;
        if (m_attr.Is(L"Type", L"Horizontal")) m_vertical = false;
        Invalidate();
    }

    void InitFromWindow() override {
        m_vertical = (GetWindowLongW(m_hwnd, GWL_STYLE) & TBS_VERT) != 0;
        Invalidate();
    }

    bool IdealSize(SIZE& size) const override {
        Metrics m;
        if (!GetMetrics(m)) return false;
        if (m_kind == K_SLIDERROUND) {
            size.cx = RoundFrameWidth();
            size.cy = m.picH;
        } else {
            size.cx = m_vertical ? std::max(m.trackW, m.thumbW) : m.trackW;
            size.cy = m_vertical ? m.picH : std::max(m.picH, m.thumbH);
        }
        return size.cx > 0 && size.cy > 0;
    }

    long AccRole() const override { return ROLE_SYSTEM_SLIDER; }
    std::wstring AccValue() const override { return std::to_wstring(m_pos); }

    void SaveState(State& state) const override {
        state.hasRange = true;
        state.min = m_min;
        state.max = m_max;
        state.pos = m_pos;
        state.page = m_page;
        state.line = m_line;
    }
    void LoadState(const State& state) override {
        if (!state.hasRange) return;
        m_min = state.min;
        m_max = std::max(state.min, state.max);
        m_page = state.page > 0 ? state.page : m_page;
        m_line = state.line > 0 ? state.line : m_line;
        m_pageSet = true;
        m_pos = Clamp(state.pos);
        Invalidate();
    }

    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (LRESULT painted = 0; PaintMessage(message, wParam, painted)) return painted;
        switch (message) {
        case WM_CREATE:
            m_vertical = (reinterpret_cast<const CREATESTRUCTW*>(lParam)->style & TBS_VERT) != 0;
            return CallBase(message, wParam, lParam);
        case WM_SIZE:
            Invalidate();
            return CallBase(message, wParam, lParam);
        case WM_ENABLE:
            Invalidate();
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_MOUSELEAVE:
            m_tracking = false;
            if (m_hot) {
                m_hot = false;
                Invalidate();
            }
            return 0;
        case WM_LBUTTONUP:
            EndMouse(true);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != m_hwnd) EndMouse(false);
            return 0;
        case WM_MOUSEWHEEL: {
            if (!IsWindowEnabled(m_hwnd)) return 0;
            int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            Step(delta > 0 ? m_line : -m_line);
            SendPair(delta > 0 ? TB_LINEDOWN : TB_LINEUP, 0, TB_ENDTRACK);
            return 0;
        }
        case WM_KEYDOWN:
            OnKey(static_cast<UINT>(wParam));
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            return 0;

        // ---- trackbar messages ----
        case TBM_GETPOS:
            return m_pos;
        case TBM_GETRANGEMIN:
            return m_min;
        case TBM_GETRANGEMAX:
            return m_max;
        case TBM_SETPOS:
            SetPos(static_cast<int>(lParam));
            return 0;
        case TBM_SETPOSNOTIFY:
            SetPos(static_cast<int>(lParam));
            Send(TB_THUMBPOSITION, m_pos);
            return 0;
        case TBM_SETRANGE:
            SetRange(static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
            return 0;
        case TBM_SETRANGEMIN:
            SetRange(static_cast<int>(lParam), std::max(m_max, static_cast<int>(lParam)));
            return 0;
        case TBM_SETRANGEMAX:
            SetRange(std::min(m_min, static_cast<int>(lParam)), static_cast<int>(lParam));
            return 0;
        case TBM_SETPAGESIZE: {
            int old = m_page;
            m_page = static_cast<int>(lParam);
            m_pageSet = true;
            return old;
        }
        case TBM_GETPAGESIZE:
            return m_page;
        case TBM_SETLINESIZE: {
            int old = m_line;
            m_line = static_cast<int>(lParam);
            return old;
        }
        case TBM_GETLINESIZE:
            return m_line;
        case TBM_SETSEL:
            m_selStart = static_cast<SHORT>(LOWORD(lParam));
            m_selEnd = static_cast<SHORT>(HIWORD(lParam));
            if (wParam) Invalidate();
            return 0;
        case TBM_SETSELSTART:
            m_selStart = static_cast<int>(lParam);
            if (wParam) Invalidate();
            return 0;
        case TBM_SETSELEND:
            m_selEnd = static_cast<int>(lParam);
            if (wParam) Invalidate();
            return 0;
        case TBM_GETSELSTART:
            return m_selStart;
        case TBM_GETSELEND:
            return m_selEnd;
        case TBM_CLEARSEL:
            m_selStart = m_selEnd = 0;
            if (wParam) Invalidate();
            return 0;
        case TBM_GETTHUMBRECT:
            if (RECT* rect = reinterpret_cast<RECT*>(lParam)) *rect = Geometry().thumb;
            return 0;
        case TBM_GETCHANNELRECT:
            if (RECT* rect = reinterpret_cast<RECT*>(lParam)) *rect = Geometry().track;
            return 0;
        case TBM_GETTHUMBLENGTH: {
            Geo g = Geometry();
            return m_vertical ? g.thumb.right - g.thumb.left : g.thumb.bottom - g.thumb.top;
        }
        case TBM_SETTHUMBLENGTH:
        case TBM_SETTICFREQ:
        case TBM_CLEARTICS:
            return 0;
        case TBM_SETTIC:
            return TRUE;
        case TBM_GETTIC:
        case TBM_GETTICPOS:
            return -1;
        case TBM_GETNUMTICS:
            return 2;
        case TBM_GETPTICS:
        case TBM_GETBUDDY:
        case TBM_SETBUDDY:
            return 0;
        case TBM_GETTOOLTIPS:
            return reinterpret_cast<LRESULT>(m_tooltip);
        case TBM_SETTOOLTIPS:
            return 0;
        default:
            return CallBase(message, wParam, lParam);
        }
    }

private:
    struct Metrics {
        int picW = 0, picH = 0, tracks = 1, states = 3, trackW = 0, thumbW = 0, thumbH = 0;
    };
    struct Geo {
        RECT track{};      // where the track is drawn
        RECT thumb{};      // the thumb
        int begin = 0, end = 0;  // travel of the thumb's centre along the axis
        double scale = 1;  // picture pixels to control pixels along the axis
    };

    bool GetMetrics(Metrics& m) const {
        if (!m_picture) return false;
        m.picW = m_picture->Width();
        m.picH = m_picture->Height();
        if (m_kind == K_SLIDERROUND) return m.picH > 0;
        m.tracks = m_attr.Yes(L"FilledTrack") ? 2 : 1;
        m.states = std::clamp(m_attr.Int(L"ThumbStates", 3), 1, 3);
        int thumbW = 0;
        if (m_attr.IntIf(L"ThumbWidth", thumbW) && thumbW > 0) {
            m.thumbW = thumbW;
            m.thumbH = m_attr.Int(L"ThumbHeight", m_vertical ? thumbW : m.picH);
            m.trackW = (m.picW - m.states * thumbW) / m.tracks;
        } else if (m_vertical) {
            int column = m.picW / (m.tracks + m.states);
            m.thumbW = column;
            m.thumbH = m_attr.Int(L"ThumbHeight", column);
            m.trackW = column;
        } else {
            m.thumbW = m.picH;
            m.thumbH = m_attr.Int(L"ThumbHeight", m.picH);
            m.trackW = (m.picW - m.states * m.thumbW) / m.tracks;
        }
        m.thumbH = std::clamp(m.thumbH, 1, m.picH);
        return m.trackW > 0 && m.thumbW > 0;
    }

    bool MinAtEnd() const {
        if (!m_attr.Has(L"DrawAlign")) return m_vertical;
        std::wstring align = m_attr.Text(L"DrawAlign");
        for (wchar_t& c : align) c = static_cast<wchar_t>(towupper(c));
        return align.find(L"RIGHT") != std::wstring::npos || align.find(L"BOTTOM") != std::wstring::npos;
    }

    double Fraction(int pos) const {
        if (m_max <= m_min) return 0;
        double f = static_cast<double>(pos - m_min) / static_cast<double>(m_max - m_min);
        return MinAtEnd() ? 1 - f : f;
    }

    Geo Geometry() const {
        RECT rc;
        GetClientRect(m_hwnd, &rc);
        int W = rc.right, H = rc.bottom;
        int L = m_vertical ? H : W;
        Geo g;
        Metrics m;
        int thumbLen = 0, thumbCross = 0;
        if (GetMetrics(m)) {
            // The stretchable slider keeps the picture's scale; the scaled one fits it to the control.
            bool stretched = m_kind == K_SLIDER;
            double sx = 1, sy = 1;
            if (stretched) {
                if (m_vertical)
                    g.track = {(W - m.trackW) / 2, 0, (W - m.trackW) / 2 + m.trackW, H};
                else
                    g.track = {0, (H - m.picH) / 2, W, (H - m.picH) / 2 + m.picH};
            } else {
                sx = static_cast<double>(W) / m.trackW;
                sy = static_cast<double>(H) / m.picH;
                g.track = rc;
            }
            int tw = std::max(1, static_cast<int>(std::lround(m.thumbW * sx)));
            int th = std::max(1, static_cast<int>(std::lround(m.thumbH * sy)));
            thumbLen = m_vertical ? th : tw;
            thumbCross = m_vertical ? tw : th;
            g.scale = m_vertical ? sy : sx;
        } else {
            g.track = m_vertical ? RECT{W / 2 - 2, 0, W / 2 + 2, H} : RECT{0, H / 2 - 2, W, H / 2 + 2};
            thumbLen = std::min(10, std::max(L / 4, 4));
            thumbCross = std::max((m_vertical ? W : H) - 4, 4);
        }
        int trackStart = m_vertical ? g.track.top : g.track.left;
        int trackEnd = m_vertical ? g.track.bottom : g.track.right;
        int offset = 0;
        g.begin = trackStart + (m_attr.IntIf(L"BeginTrackOffset", offset)
                                    ? static_cast<int>(std::lround(offset * g.scale))
                                    : thumbLen / 2);
        g.end = trackEnd - (m_attr.IntIf(L"EndTrackOffset", offset) ? static_cast<int>(std::lround(offset * g.scale))
                                                                     : thumbLen - thumbLen / 2);
        if (g.end < g.begin) g.end = g.begin;
        int centre = g.begin + static_cast<int>(std::lround(Fraction(m_pos) * (g.end - g.begin)));
        int crossCentre = m_vertical ? W / 2 : H / 2;
        if (m_vertical)
            g.thumb = {crossCentre - thumbCross / 2, centre - thumbLen / 2, crossCentre - thumbCross / 2 + thumbCross,
                       centre - thumbLen / 2 + thumbLen};
        else
            g.thumb = {centre - thumbLen / 2, crossCentre - thumbCross / 2, centre - thumbLen / 2 + thumbLen,
                       crossCentre - thumbCross / 2 + thumbCross};
        return g;
    }

    int Clamp(int pos) const { return std::clamp(pos, m_min, std::max(m_min, m_max)); }

    void SetPos(int pos) {
        pos = Clamp(pos);
        if (pos != m_pos) {
            m_pos = pos;
            Invalidate();
        }
    }

    void SetRange(int low, int high) {
        m_min = low;
        m_max = std::max(low, high);
        if (!m_pageSet) m_page = std::max(1, (m_max - m_min) / 5);
        m_pos = Clamp(m_pos);
        Invalidate();
    }

    // The parent may destroy the slider while handling a notification: after
    // the first of two notifications only copies of the members are used.
    void SendPair(int first, int pos, int second) const {
        HWND hwnd = m_hwnd;
        bool vertical = m_vertical;
        SendScroll(hwnd, vertical, first, pos);
        SendScroll(hwnd, vertical, second, 0);
    }
    static void SendScroll(HWND hwnd, bool vertical, int code, int pos) {
        HWND parent = IsWindow(hwnd) ? GetParent(hwnd) : nullptr;
        if (parent)
            SendMessageW(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(hwnd));
    }

    void Send(int code, int pos) const {
        Notify(m_vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(m_hwnd));
    }

    void Step(int delta) {
        int pos = Clamp(m_pos + delta);
        if (pos != m_pos) {
            m_pos = pos;
            Invalidate();
        }
    }

    int PosFromPoint(int along) const {
        Geo g = Geometry();
        if (g.end <= g.begin || m_max <= m_min) return m_pos;
        double f = static_cast<double>(along - g.begin) / (g.end - g.begin);
        f = std::clamp(f, 0.0, 1.0);
        if (MinAtEnd()) f = 1 - f;
        return m_min + static_cast<int>(std::lround(f * (m_max - m_min)));
    }

    void OnButtonDown(int x, int y) {
        if (!IsWindowEnabled(m_hwnd)) return;
        if (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_TABSTOP) SetFocus(m_hwnd);
        SetCapture(m_hwnd);
        if (m_kind == K_SLIDERROUND) {
            m_mode = Drag;
            m_startX = x;
            m_startY = y;
            m_startPos = m_pos;
            Invalidate();
            return;
        }
        Geo g = Geometry();
        POINT pt = {x, y};
        int along = m_vertical ? y : x;
        int centre = m_vertical ? (g.thumb.top + g.thumb.bottom) / 2 : (g.thumb.left + g.thumb.right) / 2;
        if (PtInRect(&g.thumb, pt)) {
            m_mode = Drag;
            m_dragDelta = along - centre;
        } else if (GetWindowLongW(m_hwnd, GWL_STYLE) & PTS_JUMPTOCLICK) {
            m_mode = Drag;
            m_dragDelta = 0;
            m_pos = PosFromPoint(along);
            Invalidate();
            Send(TB_THUMBTRACK, m_pos);
            return;
        } else {
            m_mode = Page;
            // A click after the thumb (on screen) moves it on by a page.
            bool after = along > centre;
            bool increase = MinAtEnd() ? !after : after;
            Step(increase ? m_page : -m_page);
            Invalidate();
            Send(increase ? TB_PAGEDOWN : TB_PAGEUP, 0);
            return;
        }
        Invalidate();
    }

    void OnMouseMove(int x, int y) {
        if (!m_tracking) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hwnd, 0};
            m_tracking = TrackMouseEvent(&track) != FALSE;
        }
        if (m_mode == Drag) {
            int pos;
            if (m_kind == K_SLIDERROUND) {
                int delta = (m_startY - y) + (x - m_startX);
                pos = Clamp(m_startPos + static_cast<int>(std::lround(delta * (m_max - m_min) / 150.0)));
            } else {
                pos = PosFromPoint((m_vertical ? y : x) - m_dragDelta);
            }
            if (pos != m_pos) {
                m_pos = pos;
                Invalidate();
                Send(TB_THUMBTRACK, m_pos);
            }
            return;
        }
        Geo g = Geometry();
        POINT pt = {x, y};
        bool hot = m_kind == K_SLIDERROUND || PtInRect(&g.thumb, pt);
        if (hot != m_hot) {
            m_hot = hot;
            Invalidate();
        }
    }

    void EndMouse(bool release) {
        Mode mode = m_mode;
        m_mode = None;
        if (mode == None) return;
        if (release && GetCapture() == m_hwnd) ReleaseCapture();
        Invalidate();
        if (mode == Drag)
            SendPair(TB_THUMBPOSITION, m_pos, TB_ENDTRACK);
        else
            Send(TB_ENDTRACK, 0);
    }

    void OnKey(UINT key) {
        if (!IsWindowEnabled(m_hwnd)) return;
        // Right and Up move the thumb right and up on the screen, Left and Down back.
        int forward = (m_vertical ? MinAtEnd() : !MinAtEnd()) ? 1 : -1;
        int sign = 0, code = 0, amount = m_line;
        switch (key) {
        case VK_RIGHT:
        case VK_UP:
            sign = forward;
            break;
        case VK_LEFT:
        case VK_DOWN:
            sign = -forward;
            break;
        case VK_PRIOR:
            sign = -1;
            amount = m_page;
            break;
        case VK_NEXT:
            sign = 1;
            amount = m_page;
            break;
        case VK_HOME:
            m_pos = m_min;
            Invalidate();
            SendPair(TB_TOP, 0, TB_ENDTRACK);
            return;
        case VK_END:
            m_pos = m_max;
            Invalidate();
            SendPair(TB_BOTTOM, 0, TB_ENDTRACK);
            return;
        default:
            return;
        }
        if (amount == m_page)
            code = sign > 0 ? TB_PAGEDOWN : TB_PAGEUP;
        else
            code = sign > 0 ? TB_LINEDOWN : TB_LINEUP;
        Step(sign * amount);
        SendPair(code, 0, TB_ENDTRACK);
    }

    void Paint(HDC dc, const RECT& rc) override {
        PaintParentBackground(dc);
        if (m_kind == K_SLIDERROUND) {
            PaintRound(dc, rc);
            return;
        }
        Geo g = Geometry();
        Metrics m;
        bool enabled = IsWindowEnabled(m_hwnd) != FALSE;
        int fillFrom = 0, fillTo = 0;  // along the axis
        int centre = m_vertical ? (g.thumb.top + g.thumb.bottom) / 2 : (g.thumb.left + g.thumb.right) / 2;
        if (GetWindowLongW(m_hwnd, GWL_STYLE) & PTS_CENTERFILL) {
            int mid = (g.begin + g.end) / 2;
            fillFrom = std::min(mid, centre);
            fillTo = std::max(mid, centre);
        } else if (MinAtEnd()) {
            fillFrom = centre;
            fillTo = m_vertical ? rc.bottom : rc.right;
        } else {
            fillFrom = 0;
            fillTo = centre;
        }
        if (GetMetrics(m)) {
            RECT track = {0, 0, m.trackW, m.picH};
            int cap = m_attr.Int(L"TrackCap", 4);
            bool scaled = m_kind != K_SLIDER;
            auto drawTrack = [&](const RECT& src) {
                if (scaled)
                    m_picture->Draw(dc, src, g.track);
                else
                    DrawThreePart(dc, *m_picture, src, g.track, cap, !m_vertical);
            };
            drawTrack(track);
            if (m.tracks == 2 && fillTo > fillFrom) {
                int saved = SaveDC(dc);
                if (m_vertical)
                    IntersectClipRect(dc, rc.left, fillFrom, rc.right, fillTo);
                else
                    IntersectClipRect(dc, fillFrom, rc.top, fillTo, rc.bottom);
                drawTrack({m.trackW, 0, 2 * m.trackW, m.picH});
                RestoreDC(dc, saved);
            }
            int state = (m_mode == Drag) ? 2 : m_hot ? 1 : 0;
            state = std::min(state, m.states - 1);
            int x = m.tracks * m.trackW + state * m.thumbW;
            m_picture->Draw(dc, {x, 0, x + m.thumbW, m.thumbH}, g.thumb, enabled ? 255 : 110);
        } else {
            FillSolid(dc, g.track, RGB(60, 66, 76));
            RECT fill = g.track;
            if (m_vertical) {
                fill.top = fillFrom;
                fill.bottom = fillTo;
            } else {
                fill.left = fillFrom;
                fill.right = fillTo;
            }
            if (fill.right > fill.left && fill.bottom > fill.top) FillSolid(dc, fill, RGB(70, 140, 210));
            FillSolid(dc, g.thumb, enabled ? (m_mode == Drag || m_hot ? RGB(235, 240, 250) : RGB(200, 206, 216))
                                           : RGB(120, 120, 120));
        }
    }

    // Round knob frames: "Frames" of them side by side (square ones by default).
    int RoundFrames() const {
        if (!m_picture || m_picture->Height() <= 0) return 1;
        int fallback = std::max(1, m_picture->Width() / m_picture->Height());
        return std::clamp(m_attr.Int(L"Frames", fallback), 1, std::max(1, m_picture->Width()));
    }
    int RoundFrameWidth() const { return m_picture ? m_picture->Width() / RoundFrames() : 0; }

    void PaintRound(HDC dc, const RECT& rc) {
        double f = m_max > m_min ? static_cast<double>(m_pos - m_min) / (m_max - m_min) : 0;
        if (m_picture && m_picture->Height() > 0) {
            int frames = RoundFrames(), fw = RoundFrameWidth(), fh = m_picture->Height();
            int frame = static_cast<int>(std::lround(f * (frames - 1)));
            // Fitted into the control keeping the frame's proportions.
            double scale = std::min(static_cast<double>(rc.right) / fw, static_cast<double>(rc.bottom) / fh);
            int w = static_cast<int>(fw * scale), h = static_cast<int>(fh * scale);
            RECT dst = {(rc.right - w) / 2, (rc.bottom - h) / 2, (rc.right - w) / 2 + w, (rc.bottom - h) / 2 + h};
            m_picture->Draw(dc, {frame * fw, 0, (frame + 1) * fw, fh}, dst, IsWindowEnabled(m_hwnd) ? 255 : 110);
            return;
        }
        int side = std::min(rc.right, rc.bottom);
        RECT dst = {(rc.right - side) / 2, (rc.bottom - side) / 2, (rc.right - side) / 2 + side,
                    (rc.bottom - side) / 2 + side};
        HBRUSH brush = CreateSolidBrush(RGB(72, 78, 88));
        HPEN pen = CreatePen(PS_SOLID, 2, RGB(200, 206, 216));
        HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
        Ellipse(dc, dst.left + 1, dst.top + 1, dst.right - 1, dst.bottom - 1);
        double angle = (-135.0 + 270.0 * f) * 3.14159265358979 / 180.0;
        int cx = (dst.left + dst.right) / 2, cy = (dst.top + dst.bottom) / 2, r = side / 2 - 4;
        MoveToEx(dc, cx, cy, nullptr);
        LineTo(dc, cx + static_cast<int>(std::lround(std::sin(angle) * r)),
               cy - static_cast<int>(std::lround(std::cos(angle) * r)));
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(brush);
        DeleteObject(pen);
    }

    enum Mode { None, Drag, Page };
    int m_min = 0, m_max = 100, m_pos = 0, m_page = 20, m_line = 1, m_selStart = 0, m_selEnd = 0;
    bool m_pageSet = false;
    bool m_vertical = false;
    bool m_hot = false, m_tracking = false;
    Mode m_mode = None;
    int m_dragDelta = 0, m_startX = 0, m_startY = 0, m_startPos = 0;
};

}  // namespace

Control* NewSlider(Kind kind) { return new Slider(kind); }

}  // namespace pt
