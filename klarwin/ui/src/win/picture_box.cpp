#include "klarwin/ui/picture_box.h"

#include "fw/win/thread.h"
#include "klarwin/ui/gif_frames.h"

#include <fstream>
#include <iterator>

// The thread that shows frame after frame until the exit event is set.
class CPictureBoxEx::CAnimationThread : public CWinThread {
public:
    explicit CAnimationThread(CPictureBoxEx* owner) : m_owner(owner) { m_bAutoDelete = FALSE; }
    int Run() override {
        m_owner->RunAnimation();
        return 0;
    }

private:
    CPictureBoxEx* m_owner;
};

namespace {

IPicture* PictureFromBytes(const std::vector<std::uint8_t>& bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!memory) return nullptr;
    void* p = GlobalLock(memory);
    if (!p) {
        GlobalFree(memory);
        return nullptr;
    }
    memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    IPicture* picture = nullptr;
    HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                reinterpret_cast<void**>(&picture));
    stream->Release();  // frees the memory too
    return SUCCEEDED(hr) ? picture : nullptr;
}

}  // namespace

CPictureBoxEx::CPictureBoxEx() : m_crBackground(GetSysColor(COLOR_BTNFACE)) {}

CPictureBoxEx::~CPictureBoxEx() {
    Stop();
    Unload();
    if (m_exitEvent) CloseHandle(m_exitEvent);
}

const CMessageMap& CPictureBoxEx::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CPictureBoxEx>(&CStatic::GetThisMessageMap())
        .OnMessage(WM_PAINT, &CPictureBoxEx::OnPaint)
        .OnMessage(WM_ERASEBKGND, &CPictureBoxEx::OnEraseBkgnd)
        .OnMessage(WM_WINDOWPOSCHANGED, &CPictureBoxEx::OnWindowPosChanged)
        .OnMessage(WM_DESTROY, &CPictureBoxEx::OnDestroy);
    return map;
}

bool CPictureBoxEx::Load(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) {
        Stop();
        Unload();
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    if (length <= 0 || static_cast<std::uint64_t>(length) > kwui::kMaxGifFileSize) {
        Stop();
        Unload();
        return false;
    }
    in.seekg(0, std::ios::beg);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        Stop();
        Unload();
        return false;
    }
    return LoadFromMemory(bytes);
}

bool CPictureBoxEx::LoadFromMemory(const std::vector<unsigned char>& bytes) {
    Stop();
    Unload();
    kwui::GifAnimation animation;
    if (!kwui::SplitGifFrames(bytes.data(), bytes.size(), animation)) return false;
    std::vector<Frame> frames;
    for (const kwui::GifFrame& f : animation.frames) {
        Frame frame;
        frame.picture = PictureFromBytes(f.file);
        if (!frame.picture) continue;  // a frame the system cannot decode is left out
        frame.left = f.left;
        frame.top = f.top;
        frame.width = f.width;
        frame.height = f.height;
        frame.delayMs = kwui::GifFrameDelay(f);
        frame.disposal = static_cast<int>(f.disposal);
        frames.push_back(frame);
    }
    if (frames.empty()) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    m_frames = std::move(frames);
    m_size = {animation.width, animation.height};
    for (const Frame& f : m_frames) {  // a screen smaller than its frames is widened
        if (f.left + f.width > m_size.cx) m_size.cx = f.left + f.width;
        if (f.top + f.height > m_size.cy) m_size.cy = f.top + f.height;
    }
    m_currentFrame = -1;
    m_framesDrawn = 0;
    return true;
}

void CPictureBoxEx::Unload() {
    std::lock_guard<std::mutex> guard(m_lock);
    for (Frame& f : m_frames)
        if (f.picture) f.picture->Release();
    m_frames.clear();
    m_size = {0, 0};
    m_canvas.DeleteObject();
    m_saved.DeleteObject();
    m_currentFrame = -1;
}

int CPictureBoxEx::GetFrameDelay(int index) const {
    if (index < 0 || index >= static_cast<int>(m_frames.size())) return 0;
    return m_frames[static_cast<std::size_t>(index)].delayMs;
}

void CPictureBoxEx::SetBackgroundColor(COLORREF colour) {
    m_crBackground = colour;
    m_bPlainBackground = true;
    if (m_hWnd) {
        TakeBackground();
        Invalidate(false);
    }
}

bool CPictureBoxEx::Draw() {
    if (!m_hWnd || m_frames.empty()) return false;
    Stop();
    if (!m_exitEvent) m_exitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_exitEvent) return false;
    ResetEvent(m_exitEvent);
    TakeBackground();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ResetCanvas();
    }
    m_thread = new CAnimationThread(this);
    if (!m_thread->CreateThread(CREATE_SUSPENDED)) {
        delete m_thread;
        m_thread = nullptr;
        return false;
    }
    m_thread->ResumeThread();
    return true;
}

void CPictureBoxEx::Stop() {
    if (!m_thread) return;
    SetEvent(m_exitEvent);
    m_thread->Wait();
    delete m_thread;
    m_thread = nullptr;
}

// ---------------------------------------------------------------------------
// Composing (under m_lock)
// ---------------------------------------------------------------------------

void CPictureBoxEx::TakeBackground() {
    if (!m_hWnd) return;
    RECT rc = GetClientRect();
    int w = rc.right, h = rc.bottom;
    CBitmap background;
    if (w > 0 && h > 0) {
        CClientDC screen(nullptr);
        background.CreateCompatibleBitmap(screen, w, h);
        CCompatibleDC mem(screen);
        mem.SelectObject(background);
        if (m_bPlainBackground || !GetParent()) mem.FillSolidRect(rc, m_crBackground);
        else {
            mem.FillSolidRect(rc, m_crBackground);
            kwui::PaintBackgroundUnder(m_hWnd, mem);
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_background = std::move(background);
    m_backgroundSize = {w, h};
    // The canvas holds background where the frames leave it: start it again
    // and put the current frame back on it.
    ResetCanvas();
    int current = m_currentFrame.load();
    if (current >= 0 && current < static_cast<int>(m_frames.size())) ComposeFrame(current, -1);
}

void CPictureBoxEx::ResetCanvas() {
    if (m_size.cx <= 0 || m_size.cy <= 0) return;
    CClientDC screen(nullptr);
    if (!m_canvas) m_canvas.CreateCompatibleBitmap(screen, m_size.cx, m_size.cy);
    CCompatibleDC canvas(screen);
    canvas.SelectObject(m_canvas);
    RECT all = {0, 0, m_size.cx, m_size.cy};
    canvas.FillSolidRect(all, m_crBackground);
    if (m_background) {
        CCompatibleDC background(screen);
        background.SelectObject(m_background);
        int ox = (m_backgroundSize.cx - m_size.cx) / 2, oy = (m_backgroundSize.cy - m_size.cy) / 2;
        canvas.BitBlt(0, 0, m_size.cx, m_size.cy, background, ox, oy, SRCCOPY);
    }
}

void CPictureBoxEx::ComposeFrame(int index, int previous) {
    if (!m_canvas || index < 0 || index >= static_cast<int>(m_frames.size())) return;
    bool restart = index == 0 && previous != 0;
    if (restart) ResetCanvas();  // every round starts from the background
    CClientDC screen(nullptr);
    CCompatibleDC canvas(screen);
    canvas.SelectObject(m_canvas);
    if (!restart && previous >= 0) {
        const Frame& p = m_frames[static_cast<std::size_t>(previous)];
        if (p.disposal == static_cast<int>(kwui::GifDisposal::Background) && m_background) {
            CCompatibleDC background(screen);
            background.SelectObject(m_background);
            int ox = (m_backgroundSize.cx - m_size.cx) / 2, oy = (m_backgroundSize.cy - m_size.cy) / 2;
            canvas.BitBlt(p.left, p.top, p.width, p.height, background, p.left + ox, p.top + oy, SRCCOPY);
        } else if (p.disposal == static_cast<int>(kwui::GifDisposal::Previous) && m_saved) {
            CCompatibleDC saved(screen);
            saved.SelectObject(m_saved);
            canvas.BitBlt(p.left, p.top, p.width, p.height, saved, p.left, p.top, SRCCOPY);
        }
    }
    const Frame& f = m_frames[static_cast<std::size_t>(index)];
    if (f.disposal == static_cast<int>(kwui::GifDisposal::Previous)) {
        if (!m_saved) m_saved.CreateCompatibleBitmap(screen, m_size.cx, m_size.cy);
        CCompatibleDC saved(screen);
        saved.SelectObject(m_saved);
        saved.BitBlt(f.left, f.top, f.width, f.height, canvas, f.left, f.top, SRCCOPY);
    }
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    f.picture->get_Width(&hmWidth);
    f.picture->get_Height(&hmHeight);
    f.picture->Render(canvas, f.left, f.top, f.width, f.height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
}

void CPictureBoxEx::Present(HDC target) {
    RECT rc = GetClientRect();
    kwui::COffscreenDC dc(target, rc);
    CClientDC screen(nullptr);
    if (m_background) {
        CCompatibleDC background(screen);
        background.SelectObject(m_background);
        dc.BitBlt(0, 0, m_backgroundSize.cx, m_backgroundSize.cy, background, 0, 0, SRCCOPY);
    } else {
        dc.FillSolidRect(rc, m_crBackground);
    }
    if (m_canvas && m_currentFrame.load() >= 0) {
        CCompatibleDC canvas(screen);
        canvas.SelectObject(m_canvas);
        int ox = (rc.right - m_size.cx) / 2, oy = (rc.bottom - m_size.cy) / 2;
        dc.BitBlt(ox, oy, m_size.cx, m_size.cy, canvas, 0, 0, SRCCOPY);
    }
}

void CPictureBoxEx::RunAnimation() {
    int count = static_cast<int>(m_frames.size());
    int previous = -1;
    int index = 0;
    for (;;) {
        int delay = 0;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_frames.empty()) return;
            ComposeFrame(index, previous);
            m_currentFrame = index;
            HDC dc = ::GetDC(m_hWnd);
            if (dc) {
                Present(dc);
                ::ReleaseDC(m_hWnd, dc);
            }
            delay = m_frames[static_cast<std::size_t>(index)].delayMs;
        }
        ++m_framesDrawn;
        if (count == 1) delay = INFINITE;
        if (WaitForSingleObject(m_exitEvent, static_cast<DWORD>(delay)) != WAIT_TIMEOUT) return;
        previous = index;
        index = (index + 1) % count;
    }
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

LRESULT CPictureBoxEx::OnPaint(WPARAM, LPARAM) {
    CPaintDC dc(m_hWnd);
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_background) {
        Present(dc);
    } else {
        // Not animated yet: only the background.
        RECT rc = GetClientRect();
        kwui::COffscreenDC off(dc, rc);
        off.FillSolidRect(rc, m_crBackground);
        if (!m_bPlainBackground) kwui::PaintBackgroundUnder(m_hWnd, off);
    }
    return 0;
}

LRESULT CPictureBoxEx::OnEraseBkgnd(WPARAM, LPARAM) { return TRUE; }  // painting covers it

LRESULT CPictureBoxEx::OnWindowPosChanged(WPARAM, LPARAM lParam) {
    LRESULT result = Default();
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && (pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE) && m_thread) {
        TakeBackground();
        Invalidate(false);
    }
    return result;
}

LRESULT CPictureBoxEx::OnDestroy(WPARAM, LPARAM) {
    Stop();
    Unload();
    return Default();
}
